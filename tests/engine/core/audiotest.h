#pragma once
#include "engine/core/audiochannel.h"
#include "engine/core/audioeffect.h"
#include "engine/core/audiomanager.h"
#include "engine/core/audiosample.h"
#include "engine/core/audiostream.h"
#include "toolkit/log.h"

#include "support/ogre/headlessogre.h"
#include "support/sounds.h"
#include "support/tempdir.h"

#include <OgreDataStream.h>
#include <OgreException.h>
#include <OgreResourceGroupManager.h>

#include <AL/al.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>

namespace brix
{
// Reaches into the audio classes for what OpenAL alone cannot tell a test.
class AudioTestAccess
{
public:
    static ALuint source(const AudioManager& manager, unsigned index)
    {
        return manager.mChannels.at(index)->getSource();
    }
    static ALuint source(const AudioStream& stream)
    {
        return stream.mChannel ? stream.mChannel->getSource() : 0;
    }
    static bool decode(AudioStream& stream, unsigned buffer) { return stream.decode(buffer); }
    // The text of the refusal of a WAV file held in memory, or "" when it reads.
    static std::string wavRefusal(const std::string& name, const std::string& content)
    {
        Ogre::DataStreamPtr stream(
            new Ogre::MemoryDataStream(name, const_cast<char*>(content.data()), content.size(), false, true));
        int format = 0, size = 0, frequency = 0;
        try
        {
            delete[] AudioSample::loadWavFile(stream, format, size, frequency);
        }
        catch (const Ogre::InternalErrorException& e)
        {
            return e.getDescription();
        }
        return "";
    }
    static ALuint slot(const AudioManager& manager) { return manager.mEffect->getSlot(); }
    static ALuint effect(const AudioManager& manager) { return manager.mEffect->mEffect; }
};
} // namespace brix

namespace test
{
// A headless OGRE Root, a resource group "Audio" over a temporary folder, and the log in
// that folder. The manager is made by each test.
class AudioTest : public testing::Test
{
protected:
    static constexpr const char* GROUP = "Audio";
    // Where the text of a log line starts, after its level letter and time.
    static const size_t LOG_TEXT_COLUMN = 26;
    static constexpr const char* SHARED_FOLDER = "KORVANE_AUDIO_TEST_FOLDER";

    AudioTest()
    {
        brix::Log::open(mDir.file("application.log").c_str(), false);
        Ogre::ResourceGroupManager::getSingleton().addResourceLocation(mDir.path(), "FileSystem", GROUP);
    }
    ~AudioTest() override
    {
        for (brix::AudioSamplePtr& sample : mSamples)
            sample.reset();
        mAudio.reset();
        if (std::getenv("KORVANE_SHOW_LOG"))
            std::fputs(readFile(mDir.file("application.log")).c_str(), stdout);
        brix::Log::close();
        const char* shared = std::getenv(SHARED_FOLDER);
        if (shared && mDir.path() == shared)
            unsetenv(SHARED_FOLDER);
    }

    brix::AudioManager& makeAudio(int channels = 4, bool effects = false, int frequency = 22050)
    {
        mSamples.clear();
        mAudio.reset();
        mAudio = std::make_unique<brix::AudioManager>(frequency, true, channels, effects);
        return *mAudio;
    }

    // Writes a file into the resource folder and has OGRE index it again.
    void addFile(const std::string& name, const std::string& content)
    {
        writeFile(mDir.file(name), content);
        Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
        groups.removeResourceLocation(mDir.path(), GROUP);
        groups.addResourceLocation(mDir.path(), "FileSystem", GROUP);
    }

    // A loaded 16-bit tone of the given length, kept until the test ends.
    brix::AudioSample* tone(const std::string& name, double seconds = 2.0)
    {
        WavFields fields;
        fields.pcm = sinePcm16(22050, seconds, 440.0, 0.5);
        addFile(name, wavFile(fields));
        mSamples.push_back(mAudio->load(name, GROUP));
        return mSamples.back().get();
    }

    // Whether the log holds a line of that level letter whose text starts with the given one.
    bool logged(char tag, const std::string& text, bool whole = true) const
    {
        std::istringstream in(readFile(mDir.file("application.log")));
        for (std::string line; std::getline(in, line);)
            if (line.size() >= LOG_TEXT_COLUMN && line[0] == tag &&
                (whole ? line.substr(LOG_TEXT_COLUMN) == text
                       : line.compare(LOG_TEXT_COLUMN, text.size(), text) == 0))
                return true;
        return false;
    }

    // Runs the body in a fresh copy of the test program with the environment variables set,
    // since OpenAL reads its configuration once per process. The child runs this test again
    // from the start, with a fixture of its own; failures inside are reported by the child and
    // the parent sees its exit code.
    void inFreshProcess(const std::vector<std::pair<std::string, std::string>>& environment,
                        const std::function<void()>& body)
    {
        const std::string style = GTEST_FLAG_GET(death_test_style);
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(
            {
                for (const auto& variable : environment)
                    setenv(variable.first.c_str(), variable.second.c_str(), 1);
                body();
                mSamples.clear();
                mAudio.reset();
                brix::Log::close();
                const bool failed = testing::Test::HasFailure();
                std::error_code ignored;
                std::filesystem::remove_all(mDir.path(), ignored);
                std::fflush(stdout);
                std::_Exit(failed ? 1 : 0);
            },
            testing::ExitedWithCode(0), "");
        GTEST_FLAG_SET(death_test_style, style);
    }

    // A file in the parent test's folder, the same in a child made by inFreshProcess.
    std::string sharedFile(const std::string& name)
    {
        if (!std::getenv(SHARED_FOLDER))
            setenv(SHARED_FOLDER, mDir.path().c_str(), 1);
        return std::string(std::getenv(SHARED_FOLDER)) + "/" + name;
    }

    TempDir mDir;
    HeadlessOgre mOgre;
    std::unique_ptr<brix::AudioManager> mAudio;
    std::vector<brix::AudioSamplePtr> mSamples;
};
} // namespace test
