// The sounds and music shipped in data, loaded the way the game loads them: samples through the
// audio manager's WAV reader, music through vorbisfile.
#include "engine/core/audiomanager.h"
#include "engine/core/audiosample.h"
#include "engine/core/audiostream.h"
#include "toolkit/log.h"

#include "support/ogre/headlessogre.h"
#include "support/sounds.h"
#include "support/tempdir.h"

#include <OgreResourceGroupManager.h>

#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace
{
const char* const DATA = "data";
const char* const TRACKS[] = {"menu.ogg", "ambient.ogg", "completion.ogg"};
const char* const GROUP = "ShippedSounds";
// The audio manager's lower frequency; samples made for it play unresampled there.
const unsigned RATE = 22050;
// Sounds and music together stay a small download.
const uintmax_t MAX_TOTAL_BYTES = 4u << 20;

std::vector<std::string> filesIn(const std::string& folder, const std::string& suffix)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
    {
        const std::string name = entry.path().filename().string();
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ShippedSounds : public testing::Test
{
protected:
    ShippedSounds()
    {
        brix::Log::open(mDir.file("application.log").c_str(), false);
        Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
        groups.addResourceLocation(DATA, "FileSystem", GROUP);
        mAudio = std::make_unique<brix::AudioManager>(RATE, true, 4, false);
    }
    ~ShippedSounds() override
    {
        mAudio.reset();
        brix::Log::close();
    }

    test::TempDir mDir;
    test::HeadlessOgre mOgre;
    std::unique_ptr<brix::AudioManager> mAudio;
};

TEST_F(ShippedSounds, TheNamesTheGameAsksForAreThere)
{
    for (const char* name : {"heartbeat.wav", "quellan1.wav", "quellan2.wav"})
        EXPECT_TRUE(std::filesystem::is_regular_file(std::string(DATA) + "/" + name)) << name;
    for (const char* name : TRACKS)
        EXPECT_TRUE(std::filesystem::is_regular_file(std::string(DATA) + "/" + name)) << name;

    uintmax_t total = 0;
    for (const std::string& name : filesIn(DATA, ".wav"))
        total += std::filesystem::file_size(std::string(DATA) + "/" + name);
    for (const std::string& name : filesIn(DATA, ".ogg"))
        total += std::filesystem::file_size(std::string(DATA) + "/" + name);
    EXPECT_LT(total, MAX_TOTAL_BYTES);
}

TEST_F(ShippedSounds, EverySampleLoadsAsAudibleUnclippedMonoAtTheGameRate)
{
    ASSERT_TRUE(mAudio->isInitialized());
    const std::vector<std::string> names = filesIn(DATA, ".wav");
    ASSERT_GE(names.size(), 40u);
    for (const std::string& name : names)
    {
        SCOPED_TRACE(name);
        const std::string path = std::string(DATA) + "/" + name;
        unsigned rate = 0, channels = 0;
        const std::vector<int16_t> samples = test::readWavSamples(path, rate, channels);
        ASSERT_FALSE(samples.empty());
        EXPECT_EQ(RATE, rate);
        EXPECT_EQ(1u, channels);
        // Nothing after the samples: the header's sizes cover the whole file.
        EXPECT_EQ(44 + 2 * samples.size(), std::filesystem::file_size(path));

        int peak = 0;
        for (int16_t sample : samples)
            peak = std::max(peak, std::abs((int)sample));
        EXPECT_GT(peak, 32767 / 10);
        EXPECT_LT(peak, 32767);

        brix::AudioSamplePtr sample = mAudio->load(name, GROUP);
        ASSERT_TRUE(sample);
        EXPECT_EQ(2 * samples.size(), sample->getSize());
    }
}

TEST_F(ShippedSounds, LoopsRunOnFromTheirEndIntoTheirStartWithoutAClick)
{
    size_t loops = 0;
    for (const std::string& name : filesIn(DATA, "loop.wav"))
    {
        SCOPED_TRACE(name);
        unsigned rate = 0, channels = 0;
        const std::vector<int16_t> samples =
            test::readWavSamples(std::string(DATA) + "/" + name, rate, channels);
        ASSERT_GT(samples.size(), 1u);
        // The step from the last sample to the first is no larger than the largest step
        // inside the sound.
        int largestStep = 0;
        for (size_t i = 1; i < samples.size(); ++i)
            largestStep = std::max(largestStep, std::abs(samples[i] - samples[i - 1]));
        EXPECT_LE(std::abs(samples.front() - samples.back()), largestStep);
        ++loops;
    }
    EXPECT_GE(loops, 5u);
}

TEST_F(ShippedSounds, MusicDecodesWholeAsStereoLoopsOfTwentyToFortySeconds)
{
    for (const std::string name : TRACKS)
    {
        SCOPED_TRACE(name);
        OggVorbis_File file;
        ASSERT_EQ(0, ov_fopen((std::string(DATA) + "/" + name).c_str(), &file));
        vorbis_info* info = ov_info(&file, -1);
        EXPECT_EQ(2, info->channels);
        EXPECT_EQ((long)RATE, info->rate);
        const double length = ov_time_total(&file, -1);
        EXPECT_GE(length, 20.0);
        EXPECT_LE(length, 40.0);

        char block[8192];
        long decoded = 0, result = 0;
        int section = 0, peak = 0;
        while ((result = ov_read(&file, block, sizeof block, 0, 2, 1, &section)) > 0)
        {
            decoded += result;
            const int16_t* pcm = reinterpret_cast<const int16_t*>(block);
            for (long i = 0; i < result / 2; ++i)
                peak = std::max(peak, std::abs((int)pcm[i]));
        }
        EXPECT_EQ(0, result);
        EXPECT_EQ(ov_pcm_total(&file, -1) * 4, decoded);
        EXPECT_GT(peak, 32767 / 4);
        ov_clear(&file);

        brix::AudioStream* stream = mAudio->createStream(name, GROUP);
        EXPECT_NEAR(length, stream->getLength(), 0.01);
        mAudio->destroyStream(stream);
    }
}
} // namespace
