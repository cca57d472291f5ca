#include "audiotest.h"

#include <OgreException.h>

using brix::AudioStream;
using brix::AudioTestAccess;

namespace
{
class AudioStreamTest : public test::AudioTest
{
protected:
    // Where the audio pages of a file from oggenc begin, past its three Vorbis headers.
    static const size_t HEADER_BYTES = 4000;

    void SetUp() override { makeAudio(2); }

    // An Ogg Vorbis tone in the resource folder, opened as a stream of the manager.
    AudioStream* stream(const std::string& name, double seconds, unsigned rate = 22050, unsigned channels = 1)
    {
        const std::string pcm = test::sinePcm16Channels(rate, channels, seconds, 440.0, 0.5);
        EXPECT_TRUE(test::writeOgg(mDir.file(name), pcm, rate, channels));
        addFile(name + ".keep", "");
        return mAudio->createStream(name, GROUP);
    }

    ALint sourceValue(AudioStream* stream, ALenum parameter)
    {
        ALint value = -1;
        alGetSourcei(AudioTestAccess::source(*stream), parameter, &value);
        return value;
    }

    // What a source does when it has played all it was given.
    void runDry(AudioStream* stream) { alSourceStop(AudioTestAccess::source(*stream)); }

    // The Ogg file with the type bit of every audio packet (the fourth packet on) set and the
    // page checksums made good again: its length is known and it seeks, but the decoder skips
    // each packet as not audio, so it decodes to nothing.
    static std::string withoutAudio(std::string file)
    {
        size_t packet = 0;
        for (size_t at = 0; at + 27 <= file.size();)
        {
            const unsigned segments = static_cast<unsigned char>(file[at + 26]);
            size_t offset = at + 27 + segments;
            bool starts = !(file[at + 5] & 1);
            for (unsigned i = 0; i < segments; ++i)
            {
                const unsigned lacing = static_cast<unsigned char>(file[at + 27 + i]);
                if (starts && packet++ >= 3 && lacing > 0)
                    file[offset] |= 1;
                starts = lacing < 255;
                offset += lacing;
            }
            // Ogg's CRC-32: polynomial 0x04C11DB7, not reflected, over the page with its
            // checksum field zero.
            file.replace(at + 22, 4, 4, '\0');
            uint32_t crc = 0;
            for (size_t i = at; i < offset; ++i)
            {
                crc ^= static_cast<uint32_t>(static_cast<unsigned char>(file[i])) << 24;
                for (int bit = 0; bit < 8; ++bit)
                    crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
            }
            for (int i = 0; i < 4; ++i)
                file[at + 22 + i] = static_cast<char>(crc >> (8 * i));
            at = offset;
        }
        return file;
    }

    // Decodes the stream's next block into a buffer of the test's own and returns its size.
    ALint decodeSize(AudioStream* stream, ALint* channels = nullptr)
    {
        ALuint buffer = 0;
        alGenBuffers(1, &buffer);
        ALint size = -1;
        if (AudioTestAccess::decode(*stream, buffer))
            alGetBufferi(buffer, AL_SIZE, &size);
        if (channels)
            alGetBufferi(buffer, AL_CHANNELS, channels);
        alDeleteBuffers(1, &buffer);
        return size;
    }
};
} // namespace

TEST_F(AudioStreamTest, AStreamShorterThanOneBufferFinishesWhenItsSourceRunsDry)
{
    AudioStream* music = stream("short.ogg", 0.3);
    EXPECT_TRUE(logged('I', "Audio stream 'short.ogg' opened"));
    EXPECT_EQ(music->getState(), AudioStream::STOPPED);

    music->play(Ogre::Vector3::ZERO, -1.0f, 1.0f, false);
    EXPECT_EQ(music->getState(), AudioStream::PLAYING);
    EXPECT_EQ(sourceValue(music, AL_BUFFERS_QUEUED), 1);
    EXPECT_EQ(sourceValue(music, AL_SOURCE_RELATIVE), AL_TRUE);
    EXPECT_TRUE(logged('D', "EOF"));

    mAudio->update();
    EXPECT_EQ(music->getState(), AudioStream::PLAYING);
    runDry(music);
    mAudio->update();
    EXPECT_EQ(music->getState(), AudioStream::FINISHED);
    EXPECT_FALSE(logged('D', "Audio stream stopped unexpectedly (buffer underrun)"));

    // From the start again, it plays anew instead of failing on the buffers of the last run.
    music->setTime(0.0f);
    music->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false);
    EXPECT_EQ(music->getState(), AudioStream::PLAYING);
    EXPECT_EQ(sourceValue(music, AL_BUFFERS_QUEUED), 1);
    EXPECT_FALSE(logged('E', "Copying data to stream buffer failed: ", false));
}

TEST_F(AudioStreamTest, ALongStreamRestartsAfterAnUnderrunAndStopsOnRequest)
{
    AudioStream* music = stream("long.ogg", 3.0, 44100);
    EXPECT_NEAR(music->getLength(), 3.0f, 0.01f);
    music->play(Ogre::Vector3(1, 2, 3), 0.5f, 1.0f, false);
    EXPECT_EQ(sourceValue(music, AL_BUFFERS_QUEUED), 2);
    EXPECT_FALSE(logged('D', "EOF"));

    runDry(music);
    mAudio->update();
    EXPECT_TRUE(logged('D', "Audio stream stopped unexpectedly (buffer underrun)"));
    EXPECT_EQ(music->getState(), AudioStream::PLAYING);
    EXPECT_EQ(sourceValue(music, AL_SOURCE_STATE), AL_PLAYING);
    EXPECT_EQ(sourceValue(music, AL_BUFFERS_QUEUED), 2);

    music->stop();
    EXPECT_EQ(music->getState(), AudioStream::STOPPED);
    EXPECT_EQ(sourceValue(music, AL_SOURCE_STATE), AL_STOPPED);
    EXPECT_EQ(sourceValue(music, AL_BUFFERS_QUEUED), 0);
    mAudio->destroyStream(music);
}

TEST_F(AudioStreamTest, SetTimeOnlyMovesAStreamThatIsNotPlaying)
{
    AudioStream* music = stream("long.ogg", 3.0, 44100);
    music->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, false);
    const float decoded = music->getTime();
    EXPECT_GT(decoded, 1.0f);
    music->setTime(0.0f);
    EXPECT_EQ(music->getTime(), decoded);

    music->stop();
    music->setTime(0.5f);
    EXPECT_NEAR(music->getTime(), 0.5f, 0.01f);
    EXPECT_FALSE(logged('E', "Ogg stream seekin failed: ", false));
}

TEST_F(AudioStreamTest, ALoopingStreamRewindsToFillWholeBuffers)
{
    AudioStream* music = stream("stereo.ogg", 0.3, 22050, 2);
    music->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, true);
    EXPECT_EQ(sourceValue(music, AL_BUFFERS_QUEUED), 2);
    ALint channels = 0;
    EXPECT_EQ(decodeSize(music, &channels), AudioStream::BUFFER_SIZE);
    EXPECT_EQ(channels, 2);
    EXPECT_FALSE(logged('D', "EOF"));
}

TEST_F(AudioStreamTest, AnEmptyLoopingStreamEndsInsteadOfRewindingForever)
{
    AudioStream* music = stream("empty.ogg", 0.0);
    music->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, true);
    EXPECT_EQ(sourceValue(music, AL_BUFFERS_QUEUED), 0);
    // There is no start to rewind to.
    EXPECT_EQ(music->getState(), AudioStream::FAILED);
    EXPECT_TRUE(logged('E', "Ogg stream rewinding failed: OV_EINVAL"));

    // One that rewinds but still yields nothing ends after the one rewind.
    ASSERT_TRUE(test::writeOgg(mDir.file("silent.ogg"), test::sinePcm16(22050, 5.0, 440.0, 0.5), 22050, 1));
    addFile("silent.ogg", withoutAudio(test::readFile(mDir.file("silent.ogg"))));
    AudioStream* silent = mAudio->createStream("silent.ogg", GROUP);
    EXPECT_GT(silent->getLength(), 1.0f);
    silent->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, true);
    EXPECT_EQ(sourceValue(silent, AL_BUFFERS_QUEUED), 0);
    EXPECT_TRUE(logged('D', "EOF"));
    mAudio->update();
    EXPECT_EQ(silent->getState(), AudioStream::FINISHED);
}

TEST_F(AudioStreamTest, AStreamThatIsNotOggVorbisIsRefused)
{
    test::WavFields fields;
    fields.pcm = test::sinePcm16(22050, 0.1, 440.0, 0.5);
    addFile("tone.wav", test::wavFile(fields));
    try
    {
        mAudio->createStream("tone.wav", GROUP);
        ADD_FAILURE() << "no exception";
    }
    catch (const Ogre::InternalErrorException& e)
    {
        EXPECT_EQ(e.getDescription(), "Unable initialize Ogg Vorbis stream ('tone.wav): OV_ENOTVORBIS");
    }
    EXPECT_THROW(mAudio->createStream("missing.ogg", GROUP), Ogre::Exception);

    // Neither half-made stream is left in the list that update walks.
    mAudio->update();
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
}

TEST_F(AudioStreamTest, ALoopingStreamWithoutReadableAudioFailsInsteadOfClaimingToPlay)
{
    const std::string pcm = test::sinePcm16(22050, 1.0, 440.0, 0.5);
    ASSERT_TRUE(test::writeOgg(mDir.file("garbled.ogg"), pcm, 22050, 1));
    std::string file = test::readFile(mDir.file("garbled.ogg"));
    // Everything after the headers of the first pages becomes noise.
    for (size_t i = HEADER_BYTES; i < file.size(); ++i)
        file[i] = (char)(i * 7);
    addFile("garbled.ogg", file);
    AudioStream* music = mAudio->createStream("garbled.ogg", GROUP);
    music->play(Ogre::Vector3::ZERO, 1.0f, 1.0f, true);
    mAudio->update();
    EXPECT_NE(music->getState(), AudioStream::PLAYING);
}
