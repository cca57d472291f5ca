#pragma once
#include <OgreDataStream.h>
#include <OgreVector.h>

#include <memory>
#include <string>

struct OggVorbis_File;

namespace brix
{
class AudioChannel;
class AudioManager;

// Music or a long sound: Ogg Vorbis decoded through two rotating OpenAL buffers on a channel
// of its own, refilled by the audio manager's update. Without a device the stream is inert.
// Main thread only.
class AudioStream
{
public:
    enum State
    {
        STOPPED = 0,
        PLAYING = 1,
        FINISHED = 2,
        FAILED = 3
    };

    static constexpr int BUFFER_COUNT = 2;
    // Bytes of 16-bit PCM one buffer holds at most.
    static constexpr int BUFFER_SIZE = 65536;

    // Throws Ogre exceptions when the resource is missing or not Ogg Vorbis, or OpenAL refuses
    // the buffers.
    AudioStream(AudioManager* manager, const std::string& name, const std::string& group);
    virtual ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    // Starts from where the decoder stands (setTime(0) starts over). Does nothing while
    // playing. Gain and position follow the channel rule: a negative gain plays at the listener.
    void play(const Ogre::Vector3& position, float gain, float pitch, bool loop);
    void adjust(const Ogre::Vector3& position, float gain, float pitch);
    void stop();
    State getState() const { return mState; }

    // Seconds; 0 without a channel.
    float getLength() const;
    float getTime() const;
    // Only when stopped or finished.
    void setTime(float seconds);

    // Queues freshly decoded buffers in place of the ones played, and notices the end.
    void _update();

private:
    friend class AudioTestAccess;

    // Decodes up to BUFFER_SIZE bytes into the buffer; false when nothing was decoded or
    // decoding failed (the stream is then failed).
    bool decode(unsigned int buffer);
    // Stops the source and takes back every queued buffer.
    void halt();
    void fail();
    void release();

    AudioManager* mManager;
    std::unique_ptr<AudioChannel> mChannel;
    Ogre::DataStreamPtr mData;
    std::unique_ptr<OggVorbis_File> mDecoder;
    bool mDecoderOpen = false;
    int mChannels = 0;
    long mRate = 0;
    int mFormat = 0;
    unsigned int mBuffers[BUFFER_COUNT] = {};
    State mState = STOPPED;
    bool mEndOfData = false;
    bool mLoop = false;
};
} // namespace brix
