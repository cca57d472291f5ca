#include "engine/core/audiomanager.h"
#include "engine/core/audiochannel.h"
#include "engine/core/audioeffect.h"
#include "engine/core/audiosample.h"
#include "engine/core/audiostream.h"
#include "toolkit/log.h"

#include <OgreException.h>
#include <OgreResourceGroupManager.h>

#include <AL/al.h>
#include <AL/alc.h>

#include <algorithm>
#include <cstring>

template <> brix::AudioManager* Ogre::Singleton<brix::AudioManager>::msSingleton = nullptr;

namespace brix
{
AudioManager::AudioManager(int frequency, bool, int channelCount, bool effects)
    : mFrequency(frequency), mChannelCount(std::max(channelCount, 0))
{
    if (mChannelCount > MAX_CHANNELS)
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "Too many audio channels: " + std::to_string(channelCount) + " (at most " +
                        std::to_string(MAX_CHANNELS) + ")",
                    "AudioManager::AudioManager");
    mResourceType = "Sample";
    mLoadOrder = 75.0f;
    Ogre::ResourceGroupManager::getSingleton()._registerResourceManager(mResourceType, this);

    if (frequency == 0)
    {
        Log::info("AudioManager disabled, skipping OpenAL initialization");
        return;
    }
    try
    {
        openDevice();
        if (!mDevice)
            return;
        if (effects)
        {
            try
            {
                mEffect = new AudioEffect(this);
            }
            catch (const Ogre::Exception& e)
            {
                Log::error("Audio effect initialization failed: %s", e.getDescription().c_str());
                Log::info("Audio effects disabled");
            }
        }
        mChannels.reserve(mChannelCount);
        for (int i = 0; i < mChannelCount; ++i)
            mChannels.push_back(new AudioChannel(this, mEffect));

        const ALfloat orientation[6] = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f};
        alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
        alListenerfv(AL_ORIENTATION, orientation);
    }
    catch (...)
    {
        closeDevice();
        Ogre::ResourceGroupManager::getSingleton()._unregisterResourceManager(mResourceType);
        throw;
    }
}

AudioManager::~AudioManager()
{
    for (AudioStream* stream : mStreams)
        delete stream;
    mStreams.clear();
    closeDevice();
    removeAll();
    Ogre::ResourceGroupManager::getSingleton()._unregisterResourceManager(mResourceType);
}

AudioManager& AudioManager::getSingleton()
{
    assert(msSingleton);
    return *msSingleton;
}

AudioManager* AudioManager::getSingletonPtr()
{
    return msSingleton;
}

void AudioManager::openDevice()
{
    Log::info("Detecting OpenAL devices..");
    const ALCchar* names = alcGetString(nullptr, ALC_DEVICE_SPECIFIER);
    for (int index = 0; names && *names; names += strlen(names) + 1, ++index)
        Log::info("OpenAL device #%d: %s", index, names);
    const ALCchar* defaultName = alcGetString(nullptr, ALC_DEFAULT_DEVICE_SPECIFIER);
    Log::info("OpenAL default device: %s", defaultName ? defaultName : "");

    mDevice = alcOpenDevice(nullptr);
    if (!mDevice)
    {
        Log::error("OpenAL device opening failed with error: %s", _translateErrorALC(alcGetError(nullptr)));
        return;
    }
    const ALCint attributes[] = {ALC_FREQUENCY, mFrequency, 0};
    mContext = alcCreateContext(mDevice, attributes);
    if (!mContext || !alcMakeContextCurrent(mContext))
        OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR,
                    std::string("OpenAL context creation failed: ") +
                        _translateErrorALC(alcGetError(mDevice)),
                    "AudioManager::AudioManager");

    Log::info("OpenAL vendor: %s", alGetString(AL_VENDOR));
    Log::info("OpenAL version: %s", alGetString(AL_VERSION));
    Log::info("OpenAL renderer: %s", alGetString(AL_RENDERER));
    Log::info("OpenAL extensions: %s", alGetString(AL_EXTENSIONS));
    alDistanceModel(AL_LINEAR_DISTANCE_CLAMPED);
}

void AudioManager::closeDevice()
{
    for (AudioChannel* channel : mChannels)
        delete channel;
    mChannels.clear();
    delete mEffect;
    mEffect = nullptr;
    // Buffers go while the context is still current; the samples themselves stay known.
    unloadAll();
    if (mContext)
    {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(mContext);
        mContext = nullptr;
    }
    if (mDevice)
    {
        alcCloseDevice(mDevice);
        mDevice = nullptr;
    }
}

Ogre::Resource* AudioManager::createImpl(const Ogre::String& name, Ogre::ResourceHandle handle,
                                         const Ogre::String& group, bool isManual,
                                         Ogre::ManualResourceLoader* loader, const Ogre::NameValuePairList*)
{
    return new AudioSample(this, name, handle, group, isManual, loader);
}

AudioSamplePtr AudioManager::load(const std::string& name, const std::string& group)
{
    AudioSamplePtr sample;
    try
    {
        sample = getByName(name, group);
        if (!sample)
            sample = Ogre::static_pointer_cast<AudioSample>(createResource(name, group));
        sample->load();
    }
    catch (const Ogre::Exception& e)
    {
        // A sample that cannot be used is dropped, so that a mended file loads next time.
        Log::error(e.getDescription());
        if (sample)
            remove(sample);
        return AudioSamplePtr();
    }
    return sample;
}

AudioSamplePtr AudioManager::getByName(const std::string& name, const std::string& group)
{
    return Ogre::static_pointer_cast<AudioSample>(getResourceByName(name, group));
}

unsigned int AudioManager::play(AudioSample* sample, const Ogre::Vector3& position, float gain, float pitch,
                                bool loop, int priority)
{
    if (!mDevice || !sample || !sample->_getBuffer())
        return 0;
    int index = chooseChannel((unsigned int)priority);
    if (index < 0)
        return 0;
    AudioChannel* channel = mChannels[index];
    ALuint source = channel->getSource();
    channel->setPriority((unsigned int)priority);
    channel->setPlacement(position, gain, pitch);
    alSourceRewind(source);
    alSourcei(source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    alSourcei(source, AL_BUFFER, (ALint)sample->_getBuffer());
    alSourcePlay(source);
    channel->increaseGeneration();
    return getHandleFromChannel(index);
}

void AudioManager::adjust(unsigned int handle, const Ogre::Vector3& position, float gain, float pitch)
{
    if (AudioChannel* channel = getChannelFromHandle(handle))
        channel->setPlacement(position, gain, pitch);
}

void AudioManager::stop(unsigned int handle)
{
    if (AudioChannel* channel = getChannelFromHandle(handle))
        alSourceStop(channel->getSource());
}

void AudioManager::setListener(const Ogre::Vector3& position, const Ogre::Vector3& direction,
                               const Ogre::Vector3& up)
{
    if (!mDevice)
        return;
    const ALfloat orientation[6] = {direction.x, direction.y, direction.z, up.x, up.y, up.z};
    alListener3f(AL_POSITION, position.x, position.y, position.z);
    alListenerfv(AL_ORIENTATION, orientation);
}

void AudioManager::setAudibleRange(float range)
{
    mAudibleRange = range;
    if (!mDevice)
        return;
    for (AudioChannel* channel : mChannels)
    {
        alSourcef(channel->getSource(), AL_REFERENCE_DISTANCE, range * REFERENCE_SHARE);
        alSourcef(channel->getSource(), AL_MAX_DISTANCE, range);
        alSourcef(channel->getSource(), AL_ROLLOFF_FACTOR, ROLLOFF_FACTOR);
    }
}

void AudioManager::setReverb(float gain, float reflectionsDelay, float lateReverbDelay, float decayTime)
{
    if (mEffect)
        mEffect->setReverb(gain, reflectionsDelay, lateReverbDelay, decayTime);
}

AudioStream* AudioManager::createStream(const std::string& name, const std::string& group)
{
    AudioStream* stream = new AudioStream(this, name, group);
    mStreams.push_back(stream);
    return stream;
}

void AudioManager::destroyStream(AudioStream* stream)
{
    auto it = std::find(mStreams.begin(), mStreams.end(), stream);
    if (it == mStreams.end())
        return;
    mStreams.erase(it);
    delete stream;
}

void AudioManager::update()
{
    for (AudioStream* stream : mStreams)
        stream->_update();
}

int AudioManager::chooseChannel(unsigned int priority)
{
    const unsigned int count = (unsigned int)mChannels.size();
    int found = -1;
    unsigned int threshold = priority;
    for (unsigned int visit = 0; visit < count; ++visit)
    {
        unsigned int index = (mCursor + visit) % count;
        AudioChannel* channel = mChannels[index];
        if (!channel->isPlaying())
        {
            found = (int)index;
            break;
        }
        if (channel->getPriority() >= threshold)
        {
            found = (int)index;
            threshold = channel->getPriority();
        }
    }
    if (found >= 0)
        mCursor = (unsigned int)found;
    return found;
}

unsigned int AudioManager::getHandleFromChannel(unsigned int index) const
{
    return HANDLE_TAG | ((unsigned int)mChannels[index]->getGeneration() << HANDLE_GENERATION_SHIFT) | index;
}

AudioChannel* AudioManager::getChannelFromHandle(unsigned int handle) const
{
    if ((handle & HANDLE_TAG_MASK) != HANDLE_TAG)
        return nullptr;
    unsigned int index = handle & HANDLE_INDEX_MASK;
    if (index >= mChannels.size())
        return nullptr;
    AudioChannel* channel = mChannels[index];
    if (((handle >> HANDLE_GENERATION_SHIFT) & HANDLE_GENERATION_MASK) != channel->getGeneration())
        return nullptr;
    return channel;
}

Ogre::DataStreamPtr AudioManager::_openResource(const std::string& name, const std::string& group)
{
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    if (groups.resourceGroupExists(group) && groups.resourceExists(group, name))
        return groups.openResource(name, group);
    return groups.openResource(name, groups.findGroupContainingResource(name));
}

const char* AudioManager::_translateErrorAL(int error)
{
    switch (error)
    {
    case AL_NO_ERROR:
        return "AL_NO_ERROR";
    case AL_INVALID_NAME:
        return "AL_INVALID_NAME";
    case AL_INVALID_ENUM:
        return "AL_INVALID_ENUM";
    case AL_INVALID_VALUE:
        return "AL_INVALID_VALUE";
    case AL_INVALID_OPERATION:
        return "AL_INVALID_OPERATION";
    case AL_OUT_OF_MEMORY:
        return "AL_OUT_OF_MEMORY";
    default:
        return "Unknown AL error code";
    }
}

const char* AudioManager::_translateErrorALC(int error)
{
    switch (error)
    {
    case ALC_NO_ERROR:
        return "ALC_NO_ERROR";
    case ALC_INVALID_DEVICE:
        return "ALC_INVALID_DEVICE";
    case ALC_INVALID_CONTEXT:
        return "ALC_INVALID_CONTEXT";
    case ALC_INVALID_ENUM:
        return "ALC_INVALID_ENUM";
    case ALC_INVALID_VALUE:
        return "ALC_INVALID_VALUE";
    case ALC_OUT_OF_MEMORY:
        return "ALC_OUT_OF_MEMORY";
    default:
        return "Unknown ALC error code";
    }
}

const char* AudioManager::_translateErrorOV(int error)
{
    // libvorbisfile's codes run from -138 to -128.
    static const char* const NAMES[] = {"OV_ENOSEEK",  "OV_EBADLINK",   "OV_EBADPACKET", "OV_ENOTAUDIO",
                                        "OV_EVERSION", "OV_EBADHEADER", "OV_ENOTVORBIS", "OV_EINVAL",
                                        "OV_EIMPL",    "OV_EFAULT",     "OV_EREAD"};
    if (error < -138 || error > -128)
        return "Unknown OV error code";
    return NAMES[error + 138];
}
} // namespace brix
