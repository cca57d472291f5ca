#include "game/application/musicplayer.h"

#include "engine/core/audiochannel.h"
#include "engine/core/audiomanager.h"
#include "engine/core/audiostream.h"
#include "support/game/gamerun.h"
#include "support/logcapture.h"
#include "support/ogre/headlessogre.h"
#include "support/sounds.h"
#include "support/tempdir.h"

#include <OgreResourceGroupManager.h>

#include <AL/al.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace brix
{
// What only the stream's channel can tell: the gain it plays at.
class AudioTestAccess
{
public:
    static ALuint source(const AudioStream& stream)
    {
        return stream.mChannel ? stream.mChannel->getSource() : 0;
    }
};
} // namespace brix

namespace game
{
class MusicPlayerTestAccess
{
public:
    static brix::AudioStream* stream(const MusicPlayer& player) { return player.mStream; }
    static float level(const MusicPlayer& player) { return player.mLevel; }
};
} // namespace game

namespace
{
using game::MusicPlayer;
using game::MusicPlayerTestAccess;
using Lines = std::vector<std::string>;

// Tracks of different lengths in the game's data group, and a sound device without output.
class MusicPlayerTest : public testing::Test
{
protected:
    static constexpr float MENU_SECONDS = 0.5f;
    static constexpr float AMBIENT_SECONDS = 1.0f;

    MusicPlayerTest() : audio(22050, true, 4, false)
    {
        writeTrack("menu.ogg", MENU_SECONDS);
        writeTrack("ambient.ogg", AMBIENT_SECONDS);
        std::ofstream(dir.file("broken.ogg")) << "not a vorbis file";
        Ogre::ResourceGroupManager::getSingleton().addResourceLocation(dir.path(), "FileSystem",
                                                                       test::dataGroup());
    }

    void writeTrack(const std::string& name, double seconds)
    {
        ASSERT_TRUE(test::writeOgg(dir.file(name), test::sinePcm16(22050, seconds, 440.0, 0.5), 22050, 1));
    }

    brix::AudioStream* stream() const { return MusicPlayerTestAccess::stream(player); }
    // The length of the track playing, 0 for silence.
    float playing() const { return stream() ? stream()->getLength() : 0.0f; }
    float gain() const
    {
        ALfloat value = -1.0f;
        alGetSourcef(brix::AudioTestAccess::source(*stream()), AL_GAIN, &value);
        return value;
    }
    bool atListener() const
    {
        ALint relative = AL_FALSE;
        alGetSourcei(brix::AudioTestAccess::source(*stream()), AL_SOURCE_RELATIVE, &relative);
        return relative == AL_TRUE;
    }

    test::TempDir dir;
    test::LogCapture log;
    test::HeadlessOgre ogre;
    brix::AudioManager audio;
    MusicPlayer player{&audio};
};

const float EPSILON = 1e-5f;
} // namespace

TEST_F(MusicPlayerTest, StartsAtFullLevelAndFadesOutOverTwoSecondsBeforeTheNextTrack)
{
    player.update(0.1f);
    EXPECT_EQ(stream(), nullptr) << "silent until asked";

    player.play("menu.ogg", true);
    player.update(0.016f);
    ASSERT_NE(stream(), nullptr) << "nothing to fade out: the track starts on the next update";
    EXPECT_FLOAT_EQ(playing(), MENU_SECONDS);
    EXPECT_EQ(stream()->getState(), brix::AudioStream::PLAYING);
    EXPECT_NEAR(gain(), MusicPlayer::VOLUME, EPSILON);
    EXPECT_TRUE(atListener());
    player.update(5.0f);
    EXPECT_NEAR(gain(), MusicPlayer::VOLUME, EPSILON) << "no fade while idle";

    player.play("ambient.ogg", true);
    player.update(0.5f);
    EXPECT_NEAR(gain(), MusicPlayer::VOLUME * 0.75f, EPSILON);
    player.update(1.0f);
    EXPECT_NEAR(gain(), MusicPlayer::VOLUME * 0.25f, EPSILON);
    EXPECT_FLOAT_EQ(playing(), MENU_SECONDS) << "the old track plays to the end of its fade";
    player.update(0.5f);
    EXPECT_FLOAT_EQ(playing(), AMBIENT_SECONDS) << "the new one starts as the old one reaches 0";
    EXPECT_NEAR(gain(), MusicPlayer::VOLUME, EPSILON) << "at full level, without a fade-in";
    EXPECT_EQ(stream()->getState(), brix::AudioStream::PLAYING);
}

TEST_F(MusicPlayerTest, SwitchesWithoutFadeOnTheNextUpdate)
{
    player.play("menu.ogg", false);
    player.update(0.0f);
    player.play("ambient.ogg", false);
    EXPECT_FLOAT_EQ(playing(), MENU_SECONDS);
    player.update(0.0f);
    EXPECT_FLOAT_EQ(playing(), AMBIENT_SECONDS);
    EXPECT_NEAR(gain(), MusicPlayer::VOLUME, EPSILON);
}

TEST_F(MusicPlayerTest, PlayingTheSameTrackStartsItOver)
{
    player.play("ambient.ogg", false);
    player.update(0.0f);
    // Halted from outside: only a new stream of the track plays again.
    stream()->stop();

    player.play("ambient.ogg", true);
    player.update(1.0f);
    EXPECT_EQ(stream()->getState(), brix::AudioStream::STOPPED) << "the old stream fades out first";
    player.update(1.0f);
    ASSERT_NE(stream(), nullptr);
    EXPECT_EQ(stream()->getState(), brix::AudioStream::PLAYING);
    EXPECT_FLOAT_EQ(playing(), AMBIENT_SECONDS);
    EXPECT_NEAR(gain(), MusicPlayer::VOLUME, EPSILON);
}

TEST_F(MusicPlayerTest, StopFadesToSilenceAndAPlayBeforeTheEndStartsWhenTheFadeEnds)
{
    player.play("menu.ogg", false);
    player.update(0.0f);
    player.stop();
    player.update(1.5f);
    player.play("ambient.ogg", true);
    EXPECT_FLOAT_EQ(playing(), MENU_SECONDS);
    EXPECT_NEAR(gain(), MusicPlayer::VOLUME * 0.25f, EPSILON) << "play does not restart the fade";
    player.update(0.5f);
    EXPECT_FLOAT_EQ(playing(), AMBIENT_SECONDS);

    player.stop();
    player.update(2.0f);
    EXPECT_EQ(stream(), nullptr);
    EXPECT_EQ(MusicPlayerTestAccess::level(player), 0.0f);
    player.update(1.0f);
    EXPECT_EQ(stream(), nullptr);
}

TEST_F(MusicPlayerTest, MissingOrBrokenTrackFadesToSilenceAndIsLoggedOnce)
{
    player.play("menu.ogg", false);
    player.update(0.0f);
    player.play("nowhere.ogg", true);
    player.update(1.0f);
    EXPECT_NEAR(gain(), MusicPlayer::VOLUME * 0.5f, EPSILON) << "the current music still fades out";
    player.update(1.0f);
    EXPECT_EQ(stream(), nullptr);
    player.update(1.0f);

    // A file that exists but does not decode leaves silence too, and the game running.
    player.play("broken.ogg", false);
    player.update(0.0f);
    EXPECT_EQ(stream(), nullptr);
    player.play("menu.ogg", false);
    player.update(0.0f);
    EXPECT_FLOAT_EQ(playing(), MENU_SECONDS);

    const Lines lines = log.lines();
    Lines music;
    for (const std::string& line : lines)
        if (line.find("music track") != std::string::npos)
            music.push_back(line.substr(0, line.find(".ogg") + 4));
    EXPECT_EQ(music, (Lines{"I Attempt to play non-existing music track: nowhere.ogg",
                            "E Could not play music track broken.ogg"}));
}

// The game's own music player: the menu track from the start when music is on, faded out over two
// seconds of the game's frames when another track is asked for, and the menu track again when
// music is switched back on with no match.
TEST(MusicPlayerInTheGame, PlaysTheMenuTrackAndFadesOverTheGamesFrames)
{
    test::UserFolder user;
    user.writeTestConfiguration({{"audio/music", "true"}});
    std::vector<float> levels;
    std::vector<bool> playing;
    test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then(
                [&](test::GameRun& game)
                {
                    MusicPlayer& music = *game.getMusicPlayer();
                    game.updateGame(0, 0.01f, 0.0f);
                    levels.push_back(MusicPlayerTestAccess::level(music));
                    music.play("ambient.ogg", true);
                    for (int i = 0; i < 10; ++i)
                        game.updateGame(0, 0.1f, 0.0f);
                    levels.push_back(MusicPlayerTestAccess::level(music));
                    for (int i = 0; i < 10; ++i)
                        game.updateGame(0, 0.1f, 0.0f);
                    levels.push_back(MusicPlayerTestAccess::level(music));
                    playing.push_back(MusicPlayerTestAccess::stream(music) != nullptr);

                    // Off with no match: silence after the fade; on again: the menu track.
                    game.getConfiguration().setBoolean("audio/music", false);
                    for (int i = 0; i < 21; ++i)
                        game.updateGame(0, 0.1f, 0.0f);
                    playing.push_back(MusicPlayerTestAccess::stream(music) != nullptr);
                    game.getConfiguration().setBoolean("audio/music", true);
                    game.updateGame(0, 0.01f, 0.0f);
                    playing.push_back(MusicPlayerTestAccess::stream(music) != nullptr);
                    game.stop();
                });
        });
    ASSERT_EQ(3u, levels.size());
    EXPECT_FLOAT_EQ(1.0f, levels[0]);
    EXPECT_NEAR(0.5f, levels[1], EPSILON);
    EXPECT_FLOAT_EQ(1.0f, levels[2]);
    EXPECT_EQ((std::vector<bool>{true, false, true}), playing);
}
