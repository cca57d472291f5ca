#pragma once
#include <OgreDataStream.h>
#include <OgreResource.h>
#include <OgreVector.h>

namespace brix
{
class AudioManager;

// A short sound: an OGRE resource of the type "Sample" holding a mono PCM WAV file (8 or
// 16 bits, 4000 to 44100 Hz) in one OpenAL buffer. Made by the audio manager, which it
// forwards its playing to.
class AudioSample : public Ogre::Resource
{
public:
    // Smaller priority values are more important.
    static constexpr int DEFAULT_PRIORITY = 1000;
    static constexpr int DEFAULT_LOOPING_PRIORITY = 100;

    AudioSample(Ogre::ResourceManager* creator, const Ogre::String& name, Ogre::ResourceHandle handle,
                const Ogre::String& group, bool isManual = false,
                Ogre::ManualResourceLoader* loader = nullptr);
    virtual ~AudioSample();

    // A negative priority means DEFAULT_LOOPING_PRIORITY for a looping sound, else
    // DEFAULT_PRIORITY. Returns the handle, 0 when nothing plays.
    unsigned int play(const Ogre::Vector3& position, float gain, float pitch, bool loop, int priority);
    void adjust(unsigned int handle, const Ogre::Vector3& position, float gain, float pitch);
    void stop(unsigned int handle);

    // 0 while not loaded, and always without a device.
    unsigned int _getBuffer() const { return mBuffer; }

protected:
    // Throws Ogre::InternalErrorException for a file it cannot use; nothing is kept then.
    void loadImpl() override;
    void unloadImpl() override;
    size_t calculateSize() const override;

private:
    // The size of the RIFF header with the shortest "fmt " and "data" chunk headers.
    static const size_t MIN_FILE_SIZE = 44;
    // The fields of "fmt " that are read; the rest of the chunk is skipped.
    static const uint32_t FORMAT_CHUNK_SIZE = 16;
    static const int MIN_FREQUENCY = 4000;
    static const int MAX_FREQUENCY = 44100;

    friend class AudioTestAccess;

    // Reads a mono PCM WAV file whose chunks are "RIFF"/"WAVE", "fmt " and "data" in that
    // order. Returns the PCM data, newly allocated with new[]: the caller deletes it.
    static unsigned char* loadWavFile(Ogre::DataStreamPtr& stream, int& format, int& size, int& frequency);

    AudioManager* getAudioManager() const;

    unsigned int mBuffer = 0;
    size_t mDataSize = 0;
};
} // namespace brix
