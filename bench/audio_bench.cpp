#include "engine/core/audiomanager.h"
#include "engine/core/audiostream.h"

#include <OgreLogManager.h>
#include <OgreResourceGroupManager.h>
#include <OgreRoot.h>

#include <AL/al.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

namespace brix
{
class AudioTestAccess
{
public:
    static bool decode(AudioStream& stream, unsigned buffer) { return stream.decode(buffer); }
};
}

namespace
{
const char* GROUP = "Bench";

// OGRE without a window, the audio manager on OpenAL's null output, and a 30 s stereo
// Ogg Vorbis tone made with sox and oggenc in a temporary folder.
class AudioBench
{
public:
    explicit AudioBench(int channels)
    {
        setenv("ALSOFT_DRIVERS", "null", 0);
        mFolder = (std::filesystem::temp_directory_path() / ("korvane-audio-bench-" + std::to_string(getpid())))
                      .string();
        std::filesystem::create_directories(mFolder);
        const std::string wav = mFolder + "/music.wav";
        const std::string command = "sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth 30 sine 440 vol 0.5 && " +
                                    "oggenc -Q -o '" + mFolder + "/music.ogg' '" + wav + "'";
        if (std::system(command.c_str()) != 0)
            throw std::runtime_error("cannot make the test music with sox and oggenc");

        mLogs = std::make_unique<Ogre::LogManager>();
        mLogs->createLog(mFolder + "/ogre.log", true, false, true);
        mRoot = std::make_unique<Ogre::Root>("", "", "");
        Ogre::ResourceGroupManager::getSingleton().addResourceLocation(mFolder, "FileSystem", GROUP);
        mAudio = std::make_unique<brix::AudioManager>(44100, true, channels, false);
    }
    ~AudioBench()
    {
        mAudio.reset();
        mRoot.reset();
        mLogs.reset();
        std::error_code ignored;
        std::filesystem::remove_all(mFolder, ignored);
    }

    brix::AudioManager& audio() { return *mAudio; }

private:
    std::string mFolder;
    std::unique_ptr<Ogre::LogManager> mLogs;
    std::unique_ptr<Ogre::Root> mRoot;
    std::unique_ptr<brix::AudioManager> mAudio;
};

// One 64 KB block of stereo 16-bit PCM decoded and handed to an OpenAL buffer.
void decodeOneBuffer(benchmark::State& state)
{
    AudioBench bench(1);
    brix::AudioStream* stream = bench.audio().createStream("music.ogg", GROUP);
    stream->play(Ogre::Vector3::ZERO, 0.0f, 1.0f, true);
    stream->stop();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    for (auto _ : state)
        if (!brix::AudioTestAccess::decode(*stream, buffer))
            state.SkipWithError("decoding failed");
    state.SetBytesProcessed(state.iterations() * brix::AudioStream::BUFFER_SIZE);
    alDeleteBuffers(1, &buffer);
}
BENCHMARK(decodeOneBuffer)->Unit(benchmark::kMicrosecond);

// The per-frame refill with 32 looping streams playing in real time: most frames find no
// buffer played, some decode one.
void updateWith32PlayingStreams(benchmark::State& state)
{
    AudioBench bench(0);
    std::vector<brix::AudioStream*> streams;
    for (int i = 0; i < 32; ++i)
    {
        streams.push_back(bench.audio().createStream("music.ogg", GROUP));
        streams.back()->setTime(float(i));
        streams.back()->play(Ogre::Vector3::ZERO, 0.0f, 1.0f, true);
    }
    for (auto _ : state)
        bench.audio().update();
    for (brix::AudioStream* stream : streams)
        if (stream->getState() != brix::AudioStream::PLAYING)
            state.SkipWithError("a stream stopped playing");
}
BENCHMARK(updateWith32PlayingStreams)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
}
