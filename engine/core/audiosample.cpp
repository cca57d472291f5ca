#include "engine/core/audiosample.h"
#include "engine/core/audiomanager.h"
#include "toolkit/log.h"

#include <OgreException.h>

#include <AL/al.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace brix
{
namespace
{
// Fields of a WAV file, all little-endian; a read past the end of the stream leaves ok false.
class WavReader
{
public:
    explicit WavReader(Ogre::DataStream& stream) : mStream(stream) {}

    bool ok() const { return mOk; }
    void chunkId(char id[4]) { read(id, 4); }
    uint32_t u32()
    {
        unsigned char bytes[4] = {};
        read(bytes, 4);
        return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | ((uint32_t)bytes[3] << 24);
    }
    uint16_t u16()
    {
        unsigned char bytes[2] = {};
        read(bytes, 2);
        return (uint16_t)(bytes[0] | (bytes[1] << 8));
    }

private:
    void read(void* to, size_t count)
    {
        if (mStream.read(to, count) != count)
            mOk = false;
    }

    Ogre::DataStream& mStream;
    bool mOk = true;
};

[[noreturn]] void refuse(const std::string& text)
{
    OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR, text, "AudioSample::loadWavFile");
}
} // namespace

AudioSample::AudioSample(Ogre::ResourceManager* creator, const Ogre::String& name,
                         Ogre::ResourceHandle handle, const Ogre::String& group, bool isManual,
                         Ogre::ManualResourceLoader* loader)
    : Ogre::Resource(creator, name, handle, group, isManual, loader)
{
}

AudioSample::~AudioSample()
{
    // The manager unloads every sample before it goes, so this only acts while it lives.
    if (isLoaded())
        unloadImpl();
}

AudioManager* AudioSample::getAudioManager() const
{
    return static_cast<AudioManager*>(mCreator);
}

unsigned int AudioSample::play(const Ogre::Vector3& position, float gain, float pitch, bool loop,
                               int priority)
{
    if (priority < 0)
        priority = loop ? DEFAULT_LOOPING_PRIORITY : DEFAULT_PRIORITY;
    return getAudioManager()->play(this, position, gain, pitch, loop, priority);
}

void AudioSample::adjust(unsigned int handle, const Ogre::Vector3& position, float gain, float pitch)
{
    getAudioManager()->adjust(handle, position, gain, pitch);
}

void AudioSample::stop(unsigned int handle)
{
    getAudioManager()->stop(handle);
}

void AudioSample::loadImpl()
{
    if (!getAudioManager()->isInitialized())
        return;

    alGetError();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    ALenum error = alGetError();
    if (error != AL_NO_ERROR)
        OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR,
                    "Unable to create buffer for sample (" + mName + "): " + std::to_string(error),
                    "AudioSample::loadImpl");
    try
    {
        Ogre::DataStreamPtr stream = AudioManager::_openResource(mName, mGroup);
        int format = 0, size = 0, frequency = 0;
        std::unique_ptr<unsigned char[]> data(loadWavFile(stream, format, size, frequency));
        alBufferData(buffer, format, data.get(), size, frequency);
        error = alGetError();
        if (error != AL_NO_ERROR)
            OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR,
                        "Unable to copy sample (" + mName + ") data to buffer: " + std::to_string(error),
                        "AudioSample::loadImpl");
        mDataSize = (size_t)size;
    }
    catch (...)
    {
        alDeleteBuffers(1, &buffer);
        throw;
    }
    mBuffer = buffer;
    Log::info("Audio sample '%s' loaded", mName.c_str());
}

void AudioSample::unloadImpl()
{
    if (mBuffer)
    {
        alDeleteBuffers(1, &mBuffer);
        mBuffer = 0;
    }
    mDataSize = 0;
    Log::info("AudioSample '%s' unloaded", mName.c_str());
}

size_t AudioSample::calculateSize() const
{
    return mDataSize;
}

unsigned char* AudioSample::loadWavFile(Ogre::DataStreamPtr& stream, int& format, int& size, int& frequency)
{
    const std::string& name = stream->getName();
    const size_t streamSize = stream->size();
    if (streamSize == 0)
        refuse("Unable to load sample (" + name + ") of unknown length");
    if (streamSize < MIN_FILE_SIZE)
        refuse("Unable to load too short sample file (" + name + ")");

    WavReader reader(*stream);
    char id[4];
    reader.chunkId(id);
    reader.u32();
    char form[4];
    reader.chunkId(form);
    if (memcmp(id, "RIFF", 4) != 0 || memcmp(form, "WAVE", 4) != 0)
        refuse("Bad sample RIFF chunk ('" + name + "')");

    reader.chunkId(id);
    uint32_t chunkSize = reader.u32();
    // A "fmt " chunk too short for its own fields is as bad as a missing one.
    if (memcmp(id, "fmt ", 4) != 0 || chunkSize < FORMAT_CHUNK_SIZE)
        refuse("Bad sample format chunk ('" + name + "')");
    uint16_t audioFormat = reader.u16();
    uint16_t channels = reader.u16();
    uint32_t rate = reader.u32();
    reader.u32(); // byte rate
    reader.u16(); // block alignment
    uint16_t bits = reader.u16();
    // A chunk that claims more than the stream holds leaves no data chunk behind it. Memory
    // streams abort on a skip past their end, so the skip stops there.
    const size_t rest = streamSize - std::min(stream->tell(), streamSize);
    if (chunkSize - FORMAT_CHUNK_SIZE > rest)
        stream->seek(streamSize);
    else
        stream->skip((long)(chunkSize - FORMAT_CHUNK_SIZE));

    if (audioFormat != 1)
        refuse("Unsupported non-PCM sample ('" + name + "')");
    if (channels != 1)
        refuse("Unsupported multichannel sample format ('" + name + "')");
    if (bits == 8)
        format = AL_FORMAT_MONO8;
    else if (bits == 16)
        format = AL_FORMAT_MONO16;
    else
        refuse("Unsupported sample resolution ('" + name + "')");
    if (rate < (uint32_t)MIN_FREQUENCY || rate > (uint32_t)MAX_FREQUENCY)
        refuse("Unsupported sample frequency ('" + name + "')");

    reader.chunkId(id);
    uint32_t dataSize = reader.u32();
    if (!reader.ok() || memcmp(id, "data", 4) != 0)
        refuse("Bad sample data chunk ('" + name + "')");
    if (dataSize > streamSize - stream->tell())
        refuse("Bad sample data chunk size ('" + name + "')");

    unsigned char* data = new unsigned char[dataSize ? dataSize : 1];
    if (stream->read(data, dataSize) != dataSize)
    {
        delete[] data;
        refuse("Bad sample data chunk size ('" + name + "')");
    }
    size = (int)dataSize;
    frequency = (int)rate;
    return data;
}
} // namespace brix
