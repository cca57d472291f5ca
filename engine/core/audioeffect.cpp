#include "engine/core/audioeffect.h"
#include "engine/core/audiomanager.h"

#include <OgreException.h>

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/efx.h>

namespace brix
{
namespace
{
// EFX entry points, looked up at run time and shared by the whole process.
LPALGENEFFECTS genEffects = nullptr;
LPALDELETEEFFECTS deleteEffects = nullptr;
LPALEFFECTI effecti = nullptr;
LPALEFFECTF effectf = nullptr;
LPALGENAUXILIARYEFFECTSLOTS genAuxiliaryEffectSlots = nullptr;
LPALDELETEAUXILIARYEFFECTSLOTS deleteAuxiliaryEffectSlots = nullptr;
LPALAUXILIARYEFFECTSLOTI auxiliaryEffectSloti = nullptr;

template <typename F> void lookUp(F& function, const char* name)
{
    function = reinterpret_cast<F>(alGetProcAddress(name));
    if (!function)
        OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR, std::string("OpenAL EFX function missing: ") + name,
                    "AudioEffect::AudioEffect");
}

// Throws the text with the pending OpenAL error's name when there is one.
void check(const char* text, const char* source)
{
    ALenum error = alGetError();
    if (error != AL_NO_ERROR)
        OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR,
                    std::string(text) + AudioManager::_translateErrorAL(error), source);
}
} // namespace

AudioEffect::AudioEffect(AudioManager* manager) : mManager(manager)
{
    const char* source = "AudioEffect::AudioEffect";
    if (!alcIsExtensionPresent(mManager->_getDevice(), "ALC_EXT_EFX"))
        OGRE_EXCEPT(Ogre::Exception::ERR_INTERNAL_ERROR, "OpenAL EFX extension not supported", source);
    lookUp(genEffects, "alGenEffects");
    lookUp(deleteEffects, "alDeleteEffects");
    lookUp(effecti, "alEffecti");
    lookUp(effectf, "alEffectf");
    lookUp(genAuxiliaryEffectSlots, "alGenAuxiliaryEffectSlots");
    lookUp(deleteAuxiliaryEffectSlots, "alDeleteAuxiliaryEffectSlots");
    lookUp(auxiliaryEffectSloti, "alAuxiliaryEffectSloti");

    try
    {
        alGetError();
        genAuxiliaryEffectSlots(1, &mSlot);
        check("OpenAL auxiliary effect slot creation failed: ", source);
        genEffects(1, &mEffect);
        check("OpenAL effect creation failed: ", source);
        effecti(mEffect, AL_EFFECT_TYPE, AL_EFFECT_REVERB);
        check("OpenAL effect type setting failed: ", source);
        auxiliaryEffectSloti(mSlot, AL_EFFECTSLOT_EFFECT, (ALint)mEffect);
        check("OpenAL effect attaching failed: ", source);
    }
    catch (...)
    {
        release();
        throw;
    }
}

AudioEffect::~AudioEffect()
{
    release();
}

void AudioEffect::release()
{
    if (mSlot)
    {
        auxiliaryEffectSloti(mSlot, AL_EFFECTSLOT_EFFECT, AL_EFFECT_NULL);
        deleteAuxiliaryEffectSlots(1, &mSlot);
        mSlot = 0;
    }
    if (mEffect)
    {
        deleteEffects(1, &mEffect);
        mEffect = 0;
    }
    alGetError();
}

void AudioEffect::setReverb(float gain, float reflectionsDelay, float lateReverbDelay, float decayTime)
{
    // An error left over from elsewhere must not be taken for this one.
    alGetError();
    effectf(mEffect, AL_REVERB_GAIN, gain);
    effectf(mEffect, AL_REVERB_REFLECTIONS_DELAY, reflectionsDelay);
    effectf(mEffect, AL_REVERB_LATE_REVERB_DELAY, lateReverbDelay);
    effectf(mEffect, AL_REVERB_DECAY_TIME, decayTime);
    auxiliaryEffectSloti(mSlot, AL_EFFECTSLOT_EFFECT, (ALint)mEffect);
    check("OpenAL effect attaching failed: ", "AudioEffect::setReverb");
}
} // namespace brix
