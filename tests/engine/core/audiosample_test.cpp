#include "audiotest.h"

#include <OgreException.h>

using brix::AudioSample;
using brix::AudioSamplePtr;
using test::WavFields;

namespace
{
class AudioSampleTest : public test::AudioTest
{
protected:
    void SetUp() override { makeAudio(2); }

    // Loads the file as a sample and returns the text of the refusal, or "" when it loads.
    std::string refusal(const std::string& name, const std::string& content)
    {
        addFile(name, content);
        Ogre::ResourcePtr sample = mAudio->createResource(name, GROUP);
        try
        {
            sample->load();
        }
        catch (const Ogre::InternalErrorException& e)
        {
            mAudio->remove(sample);
            return e.getDescription();
        }
        mAudio->remove(sample);
        return "";
    }

    static std::string pcm(size_t bytes) { return std::string(bytes, '\x10'); }

    ALint bufferValue(const AudioSamplePtr& sample, ALenum parameter)
    {
        ALint value = -1;
        alGetBufferi(sample->_getBuffer(), parameter, &value);
        return value;
    }
};
} // namespace

TEST_F(AudioSampleTest, RefusesFilesItCannotPlayWithTheirMessages)
{
    EXPECT_EQ(refusal("empty.wav", ""), "Unable to load sample (empty.wav) of unknown length");

    WavFields valid;
    valid.pcm = "";
    std::string shortFile = test::wavFile(valid).substr(0, 43);
    EXPECT_EQ(refusal("short.wav", shortFile), "Unable to load too short sample file (short.wav)");

    WavFields fields;
    fields.pcm = pcm(100);
    fields.riff = "RIFX";
    EXPECT_EQ(refusal("riff.wav", test::wavFile(fields)), "Bad sample RIFF chunk ('riff.wav')");
    fields = WavFields();
    fields.pcm = pcm(100);
    fields.wave = "AVI ";
    EXPECT_EQ(refusal("form.wav", test::wavFile(fields)), "Bad sample RIFF chunk ('form.wav')");

    fields = WavFields();
    fields.pcm = pcm(100);
    fields.chunkBefore = std::string("LIST\x04\0\0\0INFO", 12);
    EXPECT_EQ(refusal("list.wav", test::wavFile(fields)), "Bad sample format chunk ('list.wav')");

    // A format chunk too short for its fields would otherwise make the skip run backwards.
    fields = WavFields();
    fields.pcm = pcm(100);
    fields.formatChunkSize = 14;
    EXPECT_EQ(refusal("fmt14.wav", test::wavFile(fields)), "Bad sample format chunk ('fmt14.wav')");

    fields = WavFields();
    fields.pcm = pcm(100);
    fields.audioFormat = 3;
    EXPECT_EQ(refusal("float.wav", test::wavFile(fields)), "Unsupported non-PCM sample ('float.wav')");

    fields = WavFields();
    fields.pcm = pcm(100);
    fields.channels = 2;
    EXPECT_EQ(refusal("stereo.wav", test::wavFile(fields)),
              "Unsupported multichannel sample format ('stereo.wav')");

    fields = WavFields();
    fields.pcm = pcm(99);
    fields.bits = 24;
    EXPECT_EQ(refusal("24bit.wav", test::wavFile(fields)), "Unsupported sample resolution ('24bit.wav')");

    for (uint32_t rate : {3999u, 44101u, 48000u})
    {
        fields = WavFields();
        fields.pcm = pcm(100);
        fields.rate = rate;
        EXPECT_EQ(refusal("rate.wav", test::wavFile(fields)), "Unsupported sample frequency ('rate.wav')")
            << rate;
    }

    fields = WavFields();
    fields.pcm = pcm(100);
    fields.dataId = "fact";
    EXPECT_EQ(refusal("fact.wav", test::wavFile(fields)), "Bad sample data chunk ('fact.wav')");

    // A format chunk claiming more than the file holds leaves no data chunk to read.
    fields = WavFields();
    fields.pcm = pcm(100);
    fields.formatChunkSize = 16;
    std::string hugeFormat = test::wavFile(fields);
    hugeFormat[16] = '\xF0';
    hugeFormat[19] = '\x7F';
    EXPECT_EQ(refusal("hugefmt.wav", hugeFormat), "Bad sample data chunk ('hugefmt.wav')");
    // The same from memory, where a skip past the end would abort the program.
    EXPECT_EQ(brix::AudioTestAccess::wavRefusal("hugefmt.wav", hugeFormat),
              "Bad sample data chunk ('hugefmt.wav')");

    fields = WavFields();
    fields.pcm = pcm(100);
    fields.dataSizeClaim = 101;
    EXPECT_EQ(refusal("long.wav", test::wavFile(fields)), "Bad sample data chunk size ('long.wav')");
    fields.dataSizeClaim = 0xFFFFFFFF;
    EXPECT_EQ(refusal("huge.wav", test::wavFile(fields)), "Bad sample data chunk size ('huge.wav')");
}

TEST_F(AudioSampleTest, LoadsMonoPcmAtTheLimitsIntoOneBuffer)
{
    WavFields fields;
    fields.bits = 8;
    fields.rate = 4000;
    fields.pcm = pcm(101);
    // Extra format bytes are skipped.
    fields.formatChunkSize = 18;
    addFile("low.wav", test::wavFile(fields));
    AudioSamplePtr low = mAudio->load("low.wav", GROUP);
    ASSERT_TRUE(low);
    EXPECT_EQ(bufferValue(low, AL_FREQUENCY), 4000);
    EXPECT_EQ(bufferValue(low, AL_BITS), 8);
    EXPECT_EQ(bufferValue(low, AL_SIZE), 101);
    EXPECT_EQ(low->getSize(), 101u);
    EXPECT_TRUE(logged('I', "Audio sample 'low.wav' loaded"));

    fields = WavFields();
    fields.rate = 44100;
    fields.pcm = pcm(200);
    addFile("high.wav", test::wavFile(fields));
    AudioSamplePtr high = mAudio->load("high.wav", GROUP);
    ASSERT_TRUE(high);
    EXPECT_EQ(bufferValue(high, AL_FREQUENCY), 44100);
    EXPECT_EQ(bufferValue(high, AL_BITS), 16);
    EXPECT_EQ(bufferValue(high, AL_SIZE), 200);

    // A sample asked for in another group is found where its file is.
    EXPECT_TRUE(mAudio->load("high.wav", Ogre::ResourceGroupManager::DEFAULT_RESOURCE_GROUP_NAME));

    // A second load finds the same sample; unloading frees its buffer.
    EXPECT_EQ(mAudio->load("high.wav", GROUP), high);
    EXPECT_EQ(mAudio->getByName("high.wav", GROUP), high);
    ALuint buffer = high->_getBuffer();
    high->unload();
    EXPECT_EQ(high->_getBuffer(), 0u);
    EXPECT_FALSE(alIsBuffer(buffer));
    EXPECT_TRUE(logged('I', "AudioSample 'high.wav' unloaded"));
    EXPECT_EQ(high->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false, -1), 0u);
}

TEST_F(AudioSampleTest, LoadGivesNullAndLogsForFilesItCannotUse)
{
    WavFields fields;
    fields.pcm = pcm(100);
    fields.channels = 2;
    addFile("stereo.wav", test::wavFile(fields));
    EXPECT_FALSE(mAudio->load("stereo.wav", GROUP));
    EXPECT_TRUE(logged('E', "Unsupported multichannel sample format ('stereo.wav')"));
    EXPECT_FALSE(mAudio->getByName("stereo.wav", GROUP));

    EXPECT_FALSE(mAudio->load("missing.wav", GROUP));
    EXPECT_FALSE(mAudio->getByName("missing.wav", GROUP));
    EXPECT_FALSE(mAudio->load("tone.wav", "NoSuchGroup"));

    // Once the file is mended the same name loads.
    fields.channels = 1;
    addFile("stereo.wav", test::wavFile(fields));
    EXPECT_TRUE(mAudio->load("stereo.wav", GROUP));
}
