#include "audiotest.h"

#include "support/loopback.h"

#include <OgreException.h>

#include <AL/alc.h>

#include <cmath>
#include <fstream>

using brix::AudioManager;
using brix::AudioSample;
using brix::AudioTestAccess;

namespace
{
class AudioManagerTest : public test::AudioTest
{
protected:
    bool playing(unsigned index)
    {
        ALint state = 0;
        alGetSourcei(AudioTestAccess::source(*mAudio, index), AL_SOURCE_STATE, &state);
        return state == AL_PLAYING;
    }
    float sourceFloat(unsigned index, ALenum parameter)
    {
        ALfloat value = -1.0f;
        alGetSourcef(AudioTestAccess::source(*mAudio, index), parameter, &value);
        return value;
    }
    Ogre::Vector3 sourcePosition(unsigned index)
    {
        ALfloat x = 0, y = 0, z = 0;
        alGetSource3f(AudioTestAccess::source(*mAudio, index), AL_POSITION, &x, &y, &z);
        return Ogre::Vector3(x, y, z);
    }
    bool sourceRelative(unsigned index)
    {
        ALint relative = -1;
        alGetSourcei(AudioTestAccess::source(*mAudio, index), AL_SOURCE_RELATIVE, &relative);
        return relative == AL_TRUE;
    }
};
} // namespace

TEST_F(AudioManagerTest, HandlesCarryGenerationAndIndexAndGoStaleWhenTheChannelIsTaken)
{
    makeAudio(2);
    AudioSample* sample = tone("tone.wav");
    ASSERT_NE(sample, nullptr);

    unsigned first = sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, -1);
    unsigned second = sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, -1);
    EXPECT_EQ(first, 0xF0001000u);
    EXPECT_EQ(second, 0xF0001001u);

    // Both busy with equals: the search starts at channel 1 and the last equal visited wins.
    unsigned third = sample->play(Ogre::Vector3::ZERO, 0.25f, 1.0f, false, -1);
    EXPECT_EQ(third, 0xF0002000u);

    // The stale handle reaches neither the new sound's placement nor its playing.
    mAudio->adjust(first, Ogre::Vector3(1, 2, 3), 0.75f, 2.0f);
    EXPECT_FLOAT_EQ(sourceFloat(0, AL_GAIN), 0.25f);
    EXPECT_FLOAT_EQ(sourceFloat(0, AL_PITCH), 1.0f);
    mAudio->stop(first);
    EXPECT_TRUE(playing(0));

    for (unsigned bad : {0u, 0x70002000u, 0xF0002002u, 0xF0002FFFu, 0xF0003000u})
    {
        mAudio->stop(bad);
        mAudio->adjust(bad, Ogre::Vector3::ZERO, 0.0f, 1.0f);
    }
    EXPECT_TRUE(playing(0));
    EXPECT_TRUE(playing(1));

    sample->adjust(third, Ogre::Vector3(1, 2, 3), 0.75f, 2.0f);
    EXPECT_FLOAT_EQ(sourceFloat(0, AL_GAIN), 0.75f);
    EXPECT_FLOAT_EQ(sourceFloat(0, AL_PITCH), 2.0f);
    sample->stop(third);
    EXPECT_FALSE(playing(0));
    EXPECT_TRUE(playing(1));

    // A free channel is taken before any playing one.
    EXPECT_EQ(sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, -1), 0xF0003000u);
}

TEST_F(AudioManagerTest, OneShotsStealFromOneShotsButNotFromLoopingSounds)
{
    makeAudio(3);
    AudioSample* sample = tone("tone.wav");
    for (int i = 0; i < 3; ++i)
        ASSERT_NE(sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, true, -1), 0u);

    EXPECT_EQ(sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, -1), 0u);
    EXPECT_EQ(sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, AudioSample::DEFAULT_LOOPING_PRIORITY + 1),
              0u);
    // As important as the looping sounds, or more: it may take one.
    EXPECT_NE(sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, AudioSample::DEFAULT_LOOPING_PRIORITY),
              0u);
    EXPECT_NE(sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, 5), 0u);

    // Now one channel holds a sound of priority 5, the others looping ones (100): a looping
    // sound takes one of those and never the more important one.
    makeAudio(2);
    sample = tone("tone2.wav");
    unsigned important = sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, 5);
    unsigned oneShot = sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, -1);
    unsigned looping = sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, true, -1);
    EXPECT_EQ(looping & 0xFFFu, oneShot & 0xFFFu);
    EXPECT_TRUE(playing(important & 0xFFFu));
    EXPECT_EQ(sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, -1), 0u);
}

TEST_F(AudioManagerTest, NegativeGainPlaysAtTheListenerWithItsAbsoluteValue)
{
    makeAudio(2);
    AudioSample* sample = tone("tone.wav");
    unsigned handle = sample->play(Ogre::Vector3(100, 0, 0), -0.5f, 1.5f, false, -1);
    EXPECT_TRUE(sourceRelative(0));
    EXPECT_EQ(sourcePosition(0), Ogre::Vector3::ZERO);
    EXPECT_FLOAT_EQ(sourceFloat(0, AL_GAIN), 0.5f);
    EXPECT_FLOAT_EQ(sourceFloat(0, AL_PITCH), 1.5f);

    mAudio->adjust(handle, Ogre::Vector3(3, 4, 5), 0.0f, 1.0f);
    EXPECT_FALSE(sourceRelative(0));
    EXPECT_EQ(sourcePosition(0), Ogre::Vector3(3, 4, 5));
    EXPECT_FLOAT_EQ(sourceFloat(0, AL_GAIN), 0.0f);

    mAudio->adjust(handle, Ogre::Vector3(3, 4, 5), -1.0f, 1.0f);
    EXPECT_TRUE(sourceRelative(0));
    EXPECT_EQ(sourcePosition(0), Ogre::Vector3::ZERO);
    EXPECT_FLOAT_EQ(sourceFloat(0, AL_GAIN), 1.0f);
}

TEST_F(AudioManagerTest, AudibleRangeSetsReferenceAndMaximumDistanceOfEveryChannel)
{
    makeAudio(3);
    EXPECT_FLOAT_EQ(mAudio->getAudibleRange(), 100.0f);
    EXPECT_FLOAT_EQ(sourceFloat(2, AL_REFERENCE_DISTANCE), 1.0f);

    mAudio->setAudibleRange(250.0f);
    for (unsigned i = 0; i < 3; ++i)
    {
        EXPECT_FLOAT_EQ(sourceFloat(i, AL_REFERENCE_DISTANCE), 25.0f);
        EXPECT_FLOAT_EQ(sourceFloat(i, AL_MAX_DISTANCE), 250.0f);
        EXPECT_FLOAT_EQ(sourceFloat(i, AL_ROLLOFF_FACTOR), 0.95f);
    }
    EXPECT_EQ(alGetInteger(AL_DISTANCE_MODEL), AL_LINEAR_DISTANCE_CLAMPED);
}

TEST_F(AudioManagerTest, FrequencyZeroDisablesAudioAndEveryCallIsHarmless)
{
    AudioManager& audio = makeAudio(16, true, 0);
    EXPECT_TRUE(logged('I', "AudioManager disabled, skipping OpenAL initialization"));
    EXPECT_FALSE(logged('I', "Detecting OpenAL devices.."));
    EXPECT_FALSE(audio.isInitialized());
    EXPECT_FALSE(audio.isEffectsEnabled());

    AudioSample* sample = tone("tone.wav");
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->_getBuffer(), 0u);
    EXPECT_EQ(sample->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, true, -1), 0u);
    audio.setListener(Ogre::Vector3::ZERO, Ogre::Vector3::UNIT_Z, Ogre::Vector3::UNIT_Y);
    audio.setAudibleRange(50.0f);
    audio.setReverb(1.0f, 0.1f, 0.1f, 1.5f);
    brix::AudioStream* stream = audio.createStream("missing.ogg", GROUP);
    stream->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, true);
    audio.update();
    EXPECT_EQ(stream->getState(), brix::AudioStream::STOPPED);
    EXPECT_EQ(stream->getLength(), 0.0f);
    audio.destroyStream(stream);
}

TEST_F(AudioManagerTest, WithoutAnyDriverTheManagerStaysInert)
{
    inFreshProcess({{"ALSOFT_DRIVERS", "no-such-driver"}},
                   [this]
                   {
                       AudioManager& audio = makeAudio(16, true);
                       EXPECT_FALSE(audio.isInitialized());
                       EXPECT_TRUE(logged('E', "OpenAL device opening failed with error: ALC_INVALID_VALUE"));
                       AudioSample* sample = tone("tone.wav");
                       ASSERT_NE(sample, nullptr);
                       EXPECT_EQ(sample->play(Ogre::Vector3::ZERO, -1.0f, 1.0f, false, -1), 0u);
                       sample->stop(0xF0001000u);
                       audio.setReverb(1.0f, 0.1f, 0.1f, 1.5f);
                       brix::AudioStream* stream = audio.createStream("missing.ogg", GROUP);
                       stream->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false);
                       stream->setTime(1.0f);
                       audio.update();
                       EXPECT_EQ(stream->getState(), brix::AudioStream::STOPPED);
                   });
}

TEST_F(AudioManagerTest, OpeningLogsTheDevicesAndRefusesTooManyChannels)
{
    makeAudio(1);
    EXPECT_TRUE(logged('I', "Detecting OpenAL devices.."));
    EXPECT_TRUE(logged('I', "OpenAL device #0: ", false));
    EXPECT_TRUE(logged('I', "OpenAL default device: ", false));
    EXPECT_TRUE(logged('I', "OpenAL renderer: ", false));
    mAudio.reset();

    EXPECT_THROW(makeAudio(AudioManager::MAX_CHANNELS + 1), Ogre::InvalidParametersException);
    // Nothing of the failed manager is left registered: another one can be made.
    EXPECT_TRUE(makeAudio(1).isInitialized());
}

namespace
{
// Seconds of sound in the recording the wave writer makes as it mixes: what it has written out
// so far, at most a few hundredths of a second behind the mix. The mix runs on OpenAL's own
// thread, which a busy machine holds back and which then catches up: the sounds are timed on
// this, not on the clock.
double recordedSeconds(const std::string& path)
{
    unsigned rate = 0, channels = 0;
    const size_t samples = test::readWavSamples(path, rate, channels).size();
    return rate && channels ? double(samples) / channels / rate : 0.0;
}

// Waits, at most 10 s, until the recording holds the given seconds.
bool recordedUntil(const std::string& path, double seconds)
{
    return test::pollUntil([] {}, [&] { return recordedSeconds(path) >= seconds; }, 10000, 5);
}
} // namespace

TEST_F(AudioManagerTest, APlayedSampleAndAStreamAreReallyMixed)
{
    const std::string recording = sharedFile("mix.wav");
    const std::string config = sharedFile("alsoft.conf");
    test::writeFile(config, "sample-type = int16\n[wave]\nfile = " + recording + "\n");
    inFreshProcess({{"ALSOFT_DRIVERS", "wave"}, {"ALSOFT_CONF", config}},
                   [this, &recording]
                   {
                       makeAudio(2);
                       AudioSample* sample = tone("tone.wav", 0.2);
                       ASSERT_NE(sample, nullptr);
                       // The same tone as Ogg Vorbis, decoded by the stream.
                       ASSERT_TRUE(test::writeOgg(mDir.file("tone.ogg"),
                                                  test::sinePcm16(22050, 0.2, 440.0, 0.5), 22050, 1));
                       addFile("tone.ogg.keep", "");
                       brix::AudioStream* stream = mAudio->createStream("tone.ogg", GROUP);
                       // Each sound starts once the recording shows the mix has gone far enough:
                       // 0.2 s of silence first, then past the 0.2 s tone, what the writer may
                       // still hold back and a quiet stretch.
                       ASSERT_TRUE(recordedUntil(recording, 0.2));
                       ASSERT_NE(sample->play(Ogre::Vector3::ZERO, -1.0f, 1.0f, false, -1), 0u);
                       ASSERT_TRUE(recordedUntil(recording, recordedSeconds(recording) + 0.5));
                       stream->play(Ogre::Vector3::ZERO, -1.0f, 1.0f, false);
                       ASSERT_TRUE(recordedUntil(recording, recordedSeconds(recording) + 0.5));
                       mAudio.reset();
                   });

    unsigned rate = 0, channels = 0;
    std::vector<int16_t> mix = test::readWavSamples(recording, rate, channels);
    ASSERT_GT(rate, 0u);
    ASSERT_GT(channels, 0u);
    // The sounding stretches of the first channel, split where it is quiet for 0.1 s.
    struct Burst
    {
        size_t first, last;
        int peak;
        unsigned crossings;
    };
    std::vector<Burst> bursts;
    for (size_t frame = 0; frame < mix.size() / channels; ++frame)
    {
        const int value = mix[frame * channels];
        if (std::abs(value) <= 1000)
            continue;
        if (bursts.empty() || frame - bursts.back().last > rate / 10)
            bursts.push_back(Burst{frame, frame, 0, 0});
        Burst& burst = bursts.back();
        burst.last = frame;
        burst.peak = std::max(burst.peak, std::abs(value));
    }
    for (Burst& burst : bursts)
        for (size_t frame = burst.first + 1; frame <= burst.last; ++frame)
            burst.crossings += (mix[(frame - 1) * channels] < 0) != (mix[frame * channels] < 0);
    ASSERT_EQ(bursts.size(), 2u) << "the recording of " << mix.size() << " samples";
    // Silence until the sample was started, then two 0.2 s tones of 440 Hz and one loudness:
    // samples decoded in the wrong byte order would sound as full-scale noise.
    EXPECT_GE(double(bursts[0].first) / rate, 0.1);
    for (const Burst& burst : bursts)
    {
        const double length = double(burst.last - burst.first) / rate;
        EXPECT_NEAR(length, 0.2, 0.03);
        EXPECT_NEAR(burst.crossings / length / 2, 440.0, 20.0);
    }
    EXPECT_NEAR(bursts[1].peak, bursts[0].peak, bursts[0].peak / 5);
}
