#include "audiotest.h"

#include <OgreException.h>

#include <AL/efx.h>

#include <dlfcn.h>

#include <utility>
#include <vector>

// The engine looks the EFX entry points up by name; answering that look-up here lets the test
// see every float that reaches an effect, in order, on its way to OpenAL.
namespace
{
std::vector<std::pair<ALenum, ALfloat>> effectFloats;
LPALEFFECTF realEffectf = nullptr;

void AL_APIENTRY recordEffectf(ALuint effect, ALenum parameter, ALfloat value)
{
    effectFloats.emplace_back(parameter, value);
    realEffectf(effect, parameter, value);
}

void* realProcAddress(const ALchar* name)
{
    using LookUp = void* (*)(const ALchar*);
    static LookUp real = reinterpret_cast<LookUp>(dlsym(RTLD_NEXT, "alGetProcAddress"));
    return real(name);
}
} // namespace

void* AL_APIENTRY alGetProcAddress(const ALchar* name)
{
    void* function = realProcAddress(name);
    if (function && std::string(name) == "alEffectf")
    {
        realEffectf = reinterpret_cast<LPALEFFECTF>(function);
        return reinterpret_cast<void*>(&recordEffectf);
    }
    return function;
}

namespace
{
class AudioEffectTest : public test::AudioTest
{
protected:
    ALfloat reverbValue(ALuint effect, ALenum parameter)
    {
        auto getEffectf = reinterpret_cast<LPALGETEFFECTF>(realProcAddress("alGetEffectf"));
        ALfloat value = -1.0f;
        getEffectf(effect, parameter, &value);
        return value;
    }
};
} // namespace

TEST_F(AudioEffectTest, ReverbValuesReachTheEffectInTheirOrder)
{
    brix::AudioManager& audio = makeAudio(2, true);
    ASSERT_TRUE(audio.isEffectsEnabled());
    effectFloats.clear();
    audio.setReverb(0.3f, 0.05f, 0.02f, 2.5f);
    const std::vector<std::pair<ALenum, ALfloat>> expected = {{AL_REVERB_GAIN, 0.3f},
                                                              {AL_REVERB_REFLECTIONS_DELAY, 0.05f},
                                                              {AL_REVERB_LATE_REVERB_DELAY, 0.02f},
                                                              {AL_REVERB_DECAY_TIME, 2.5f}};
    EXPECT_EQ(effectFloats, expected);

    // The same values every frame leave the effect as it was.
    const ALuint effect = brix::AudioTestAccess::effect(audio);
    for (int frame = 0; frame < 3; ++frame)
        audio.setReverb(0.3f, 0.05f, 0.02f, 2.5f);
    EXPECT_FLOAT_EQ(reverbValue(effect, AL_REVERB_GAIN), 0.3f);
    EXPECT_FLOAT_EQ(reverbValue(effect, AL_REVERB_REFLECTIONS_DELAY), 0.05f);
    EXPECT_FLOAT_EQ(reverbValue(effect, AL_REVERB_LATE_REVERB_DELAY), 0.02f);
    EXPECT_FLOAT_EQ(reverbValue(effect, AL_REVERB_DECAY_TIME), 2.5f);
}

TEST_F(AudioEffectTest, AnErrorLeftByOtherCallsIsNotTakenForAReverbFailure)
{
    brix::AudioManager& audio = makeAudio(2, true);
    alSourcef(0xDEAD, AL_GAIN, 1.0f);
    EXPECT_NO_THROW(audio.setReverb(0.5f, 0.01f, 0.01f, 1.0f));
}

TEST_F(AudioEffectTest, WithoutAReverbTheManagerRunsOnWithoutEffects)
{
    const std::string config = sharedFile("alsoft.conf");
    test::writeFile(config, "excludefx = eaxreverb,reverb\n");
    inFreshProcess(
        {{"ALSOFT_CONF", config}},
        [this]
        {
            brix::AudioManager& audio = makeAudio(2, true);
            EXPECT_TRUE(audio.isInitialized());
            EXPECT_FALSE(audio.isEffectsEnabled());
            EXPECT_TRUE(logged(
                'E',
                "Audio effect initialization failed: OpenAL effect type setting failed: AL_INVALID_VALUE"));
            EXPECT_TRUE(logged('I', "Audio effects disabled"));
            audio.setReverb(0.3f, 0.05f, 0.02f, 2.5f);
            EXPECT_NE(tone("tone.wav")->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, -1), 0u);
        });
}
