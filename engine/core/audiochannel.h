#pragma once
#include <OgreVector.h>

#include <cstdint>

namespace brix
{
class AudioEffect;
class AudioManager;

// One playback voice: an OpenAL source owned for the lifetime of the audio manager (or of a
// stream). The generation counts the starts of playback, so that a handle taken at one start
// stops matching once the voice is given to another sound. Main thread only.
class AudioChannel
{
public:
    // Throws Ogre::InternalErrorException when the source or its effect send cannot be set up.
    AudioChannel(AudioManager* manager, AudioEffect* effect);
    // Stops the source, waits until it no longer plays and deletes it.
    virtual ~AudioChannel();
    AudioChannel(const AudioChannel&) = delete;
    AudioChannel& operator=(const AudioChannel&) = delete;

    unsigned int getSource() const { return mSource; }
    bool isPlaying() const;

    uint32_t getPriority() const { return mPriority; }
    void setPriority(uint32_t priority) { mPriority = priority; }
    uint16_t getGeneration() const { return mGeneration; }
    // Called once for every start of playback; wraps after 65535.
    void increaseGeneration() { ++mGeneration; }

    // A gain of 0 or more places the sound in the world; a negative gain plays it at the
    // listener, unpositioned, with the gain's absolute value.
    void setPlacement(const Ogre::Vector3& position, float gain, float pitch);

private:
    // How long destruction waits, in 10 ms sleeps, for a stopped source to fall silent.
    static const unsigned STOP_WAIT_LIMIT = 100;

    AudioManager* mManager;
    AudioEffect* mEffect;
    unsigned int mSource = 0;
    uint32_t mPriority = 1;
    uint16_t mGeneration = 0;
};
} // namespace brix
