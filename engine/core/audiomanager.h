#pragma once
#include <OgreResourceManager.h>
#include <OgreSharedPtr.h>
#include <OgreSingleton.h>
#include <OgreVector.h>

#include <string>
#include <vector>

typedef struct ALCdevice_struct ALCdevice;
typedef struct ALCcontext_struct ALCcontext;

namespace brix
{
class AudioChannel;
class AudioEffect;
class AudioSample;
class AudioStream;

typedef Ogre::SharedPtr<AudioSample> AudioSamplePtr;

// Sound over OpenAL: the resource manager of "Sample" resources, a fixed pool of playback
// channels handed out by priority, the streams it created and the optional reverb.
// A playing sound is addressed by a handle: bits 28 to 31 all ones, bits 12 to 27 the
// channel's generation at the start of the sound, bits 0 to 11 the channel index; 0 is none.
// Without a device (frequency 0, or no driver) everything is accepted and nothing sounds.
// Main thread only.
class AudioManager : public Ogre::ResourceManager, public Ogre::Singleton<AudioManager>
{
public:
    // The handle index has 12 bits.
    static constexpr int MAX_CHANNELS = 1 << 12;

    // The second argument is not used. A frequency of 0 disables audio. Throws
    // Ogre::InternalErrorException when an opened device cannot be set up, and
    // Ogre::InvalidParametersException for more than MAX_CHANNELS channels.
    AudioManager(int frequency, bool, int channelCount, bool effects);
    virtual ~AudioManager();

    static AudioManager& getSingleton();
    static AudioManager* getSingletonPtr();

    bool isInitialized() const { return mDevice != nullptr; }
    bool isEffectsEnabled() const { return mEffect != nullptr; }
    int getFrequency() const { return mFrequency; }
    int getChannelCount() const { return mChannelCount; }
    ALCdevice* _getDevice() const { return mDevice; }

    // The named sample, created in the group when it does not exist yet, and loaded. A sample
    // that cannot be loaded is logged and dropped: the result is then a null pointer.
    AudioSamplePtr load(const std::string& name, const std::string& group);
    // The existing sample or a null pointer.
    AudioSamplePtr getByName(const std::string& name, const std::string& group);

    // Smaller priority values are more important. Returns the sound's handle, 0 when nothing
    // plays (no device, no sample data, or every channel busy with more important sounds).
    unsigned int play(AudioSample* sample, const Ogre::Vector3& position, float gain, float pitch, bool loop,
                      int priority);
    // Both do nothing for a handle that is 0, stale or not of this manager.
    void adjust(unsigned int handle, const Ogre::Vector3& position, float gain, float pitch);
    void stop(unsigned int handle);

    void setListener(const Ogre::Vector3& position, const Ogre::Vector3& direction, const Ogre::Vector3& up);
    // Sounds are at full gain up to a tenth of the range and fall to 5 % at the range.
    void setAudibleRange(float range);
    float getAudibleRange() const { return mAudibleRange; }
    // Forwarded to the reverb when effects are on; throws what the reverb throws.
    void setReverb(float gain, float reflectionsDelay, float lateReverbDelay, float decayTime);

    // The stream belongs to the manager's list until destroyStream; a stream that cannot be
    // opened throws Ogre exceptions and is not kept.
    AudioStream* createStream(const std::string& name, const std::string& group);
    // Ignores a stream this manager does not hold.
    void destroyStream(AudioStream* stream);

    // Refills every stream, in creation order. Once per frame.
    void update();

    static const char* _translateErrorAL(int error);
    static const char* _translateErrorALC(int error);
    static const char* _translateErrorOV(int error);

    // Opens a resource by name in the group, or in whichever group holds it when that one
    // does not. Throws Ogre exceptions when no group has it.
    static Ogre::DataStreamPtr _openResource(const std::string& name, const std::string& group);

protected:
    Ogre::Resource* createImpl(const Ogre::String& name, Ogre::ResourceHandle handle,
                               const Ogre::String& group, bool isManual, Ogre::ManualResourceLoader* loader,
                               const Ogre::NameValuePairList* createParams) override;

private:
    static const unsigned int HANDLE_TAG = 0xFu << 28;
    static const unsigned int HANDLE_TAG_MASK = 0xFu << 28;
    static const int HANDLE_GENERATION_SHIFT = 12;
    static const unsigned int HANDLE_INDEX_MASK = MAX_CHANNELS - 1;
    static const unsigned int HANDLE_GENERATION_MASK = 0xFFFF;
    // Full gain up to this share of the audible range, 5 % left at the range.
    static constexpr float REFERENCE_SHARE = 0.1f;
    static constexpr float ROLLOFF_FACTOR = 0.95f;

    friend class AudioTestAccess;

    void openDevice();
    // Releases channels, effect, sample buffers, context and device, in that order.
    void closeDevice();

    // The index of the channel to use, or -1 when none may be taken.
    int chooseChannel(unsigned int priority);
    unsigned int getHandleFromChannel(unsigned int index) const;
    // The channel a valid handle names, or null.
    AudioChannel* getChannelFromHandle(unsigned int handle) const;

    ALCdevice* mDevice = nullptr;
    ALCcontext* mContext = nullptr;
    float mAudibleRange = 100.0f;
    std::vector<AudioChannel*> mChannels;
    unsigned int mCursor = 0;
    int mFrequency;
    int mChannelCount;
    std::vector<AudioStream*> mStreams;
    AudioEffect* mEffect = nullptr;
};
} // namespace brix
