#pragma once

namespace brix
{
class AudioManager;

// The one reverb of the audio system, an EFX effect in an auxiliary slot that every pool
// channel sends to. Main thread only.
class AudioEffect
{
public:
    // Throws Ogre::InternalErrorException when the device lacks EFX or the slot or effect
    // cannot be made; nothing is left behind then.
    explicit AudioEffect(AudioManager* manager);
    // Deletes the slot and the effect; the channels sending to it must be gone.
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // The values reach OpenAL as given (gain, then the two delays and the decay time, in
    // seconds). Throws Ogre::InternalErrorException when the effect cannot be reloaded.
    void setReverb(float gain, float reflectionsDelay, float lateReverbDelay, float decayTime);

    unsigned int getSlot() const { return mSlot; }

private:
    friend class AudioTestAccess;

    void release();

    AudioManager* mManager;
    unsigned int mSlot = 0;
    unsigned int mEffect = 0;
};
} // namespace brix
