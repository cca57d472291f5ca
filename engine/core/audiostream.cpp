#include "engine/core/audiostream.h"
#include "engine/core/audiochannel.h"
#include "engine/core/audiomanager.h"
#include "toolkit/log.h"

#include <OgreException.h>

#include <AL/al.h>
#include <vorbis/vorbisfile.h>

#include <cstdio>

namespace brix
{
namespace
{
size_t readData(void* to, size_t size, size_t count, void* source)
{
    return static_cast<Ogre::DataStream*>(source)->read(to, size * count);
}

int seekData(void* source, ogg_int64_t offset, int whence)
{
    Ogre::DataStream* stream = static_cast<Ogre::DataStream*>(source);
    ogg_int64_t target;
    switch (whence)
    {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = (ogg_int64_t)stream->tell() + offset;
        break;
    case SEEK_END:
        if (stream->size() == 0)
            return -1;
        target = (ogg_int64_t)stream->size() + offset;
        break;
    default:
        return -1;
    }
    if (target < 0)
        return -1;
    stream->seek((size_t)target);
    return 0;
}

int closeData(void*)
{
    return 0;
}

long tellData(void* source)
{
    return (long)static_cast<Ogre::DataStream*>(source)->tell();
}
} // namespace

AudioStream::AudioStream(AudioManager* manager, const std::string& name, const std::string& group)
    : mManager(manager)
{
    if (!mManager->isInitialized())
        return;
    try
    {
        mChannel.reset(new AudioChannel(mManager, nullptr));
        mData = AudioManager::_openResource(name, group);

        mDecoder.reset(new OggVorbis_File());
        ov_callbacks callbacks = {readData, seekData, closeData, tellData};
        int result = ov_open_callbacks(mData.get(), mDecoder.get(), nullptr, 0, callbacks);
        if (result < 0)
            OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR,
                        "Unable initialize Ogg Vorbis stream ('" + name +
                            "): " + AudioManager::_translateErrorOV(result),
                        "AudioStream::AudioStream");
        mDecoderOpen = true;

        vorbis_info* info = ov_info(mDecoder.get(), -1);
        mChannels = info->channels;
        mRate = info->rate;
        mFormat = mChannels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;

        alGetError();
        alGenBuffers(BUFFER_COUNT, mBuffers);
        ALenum error = alGetError();
        if (error != AL_NO_ERROR)
        {
            for (unsigned int& buffer : mBuffers)
                buffer = 0;
            OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR,
                        std::string("OpenAL buffer creation failed: ") +
                            AudioManager::_translateErrorAL(error),
                        "AudioStream::AudioStream");
        }
    }
    catch (...)
    {
        release();
        throw;
    }
    Log::info("Audio stream '%s' opened", name.c_str());
}

AudioStream::~AudioStream()
{
    release();
}

void AudioStream::release()
{
    mChannel.reset();
    if (mBuffers[0])
        alDeleteBuffers(BUFFER_COUNT, mBuffers);
    for (unsigned int& buffer : mBuffers)
        buffer = 0;
    if (mDecoderOpen)
        ov_clear(mDecoder.get());
    mDecoderOpen = false;
    mDecoder.reset();
    mData.reset();
}

void AudioStream::play(const Ogre::Vector3& position, float gain, float pitch, bool loop)
{
    if (!mChannel || mState == PLAYING)
        return;
    // Buffers still queued from the last run would refuse new data.
    halt();
    mEndOfData = false;
    mLoop = loop;
    mState = STOPPED;
    ALuint source = mChannel->getSource();
    for (unsigned int buffer : mBuffers)
    {
        if (decode(buffer))
            alSourceQueueBuffers(source, 1, &buffer);
        else if (mState == FAILED)
            return;
    }
    mChannel->setPlacement(position, gain, pitch);
    alSourcei(source, AL_LOOPING, AL_FALSE);
    alSourcePlay(source);
    mChannel->increaseGeneration();
    mState = PLAYING;
}

void AudioStream::adjust(const Ogre::Vector3& position, float gain, float pitch)
{
    if (mChannel)
        mChannel->setPlacement(position, gain, pitch);
}

void AudioStream::stop()
{
    if (mState != PLAYING)
        return;
    halt();
    mState = STOPPED;
}

void AudioStream::halt()
{
    if (!mChannel)
        return;
    ALuint source = mChannel->getSource();
    alSourceStop(source);
    ALint queued = 0;
    alGetSourcei(source, AL_BUFFERS_QUEUED, &queued);
    for (ALint i = 0; i < queued; ++i)
    {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source, 1, &buffer);
    }
}

void AudioStream::fail()
{
    halt();
    mState = FAILED;
}

float AudioStream::getLength() const
{
    if (!mChannel)
        return 0.0f;
    double length = ov_time_total(mDecoder.get(), -1);
    return length < 0.0 ? 0.0f : (float)length;
}

float AudioStream::getTime() const
{
    if (!mChannel)
        return 0.0f;
    double time = ov_time_tell(mDecoder.get());
    return time < 0.0 ? 0.0f : (float)time;
}

void AudioStream::setTime(float seconds)
{
    if (!mChannel || (mState != STOPPED && mState != FINISHED))
        return;
    if (!ov_seekable(mDecoder.get()))
    {
        Log::error("Attempt to seek an unseekable audio stream");
        return;
    }
    int result = ov_time_seek(mDecoder.get(), seconds);
    if (result < 0)
        Log::error("Ogg stream seekin failed: %s", AudioManager::_translateErrorOV(result));
}

void AudioStream::_update()
{
    if (!mChannel || mState != PLAYING)
        return;
    ALuint source = mChannel->getSource();
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    for (ALint i = 0; i < processed; ++i)
    {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source, 1, &buffer);
        if (decode(buffer))
            alSourceQueueBuffers(source, 1, &buffer);
        else if (mState == FAILED)
            return;
    }
    if (mChannel->isPlaying())
        return;
    if (mEndOfData)
    {
        halt();
        mState = FINISHED;
        return;
    }
    Log::debug("Audio stream stopped unexpectedly (buffer underrun)");
    alSourcePlay(source);
}

bool AudioStream::decode(unsigned int buffer)
{
    char block[BUFFER_SIZE];
    int filled = 0;
    // A looping stream that yields nothing between two rewinds is empty: it ends instead of
    // rewinding forever.
    bool rewound = false;
    while (filled < BUFFER_SIZE)
    {
        int section = 0;
        long result = ov_read(mDecoder.get(), block + filled, BUFFER_SIZE - filled, 0, 2, 1, &section);
        if (result < 0)
        {
            Log::error("Ogg stream decoding failed: %s", AudioManager::_translateErrorOV((int)result));
            fail();
            return false;
        }
        if (result > 0)
        {
            filled += (int)result;
            rewound = false;
            continue;
        }
        if (mLoop && !rewound)
        {
            int seek = ov_time_seek(mDecoder.get(), 0.0);
            if (seek < 0)
            {
                Log::error("Ogg stream rewinding failed: %s", AudioManager::_translateErrorOV(seek));
                fail();
                return false;
            }
            rewound = true;
            continue;
        }
        Log::debug("EOF");
        mEndOfData = true;
        break;
    }
    if (filled == 0)
        return false;
    alGetError();
    alBufferData(buffer, mFormat, block, filled, (ALsizei)mRate);
    ALenum error = alGetError();
    if (error != AL_NO_ERROR)
    {
        Log::error("Copying data to stream buffer failed: %s", AudioManager::_translateErrorAL(error));
        fail();
        return false;
    }
    return true;
}
} // namespace brix
