#include "game/application/application.h"

#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenuactionitem.h"
#include "engine/presentation/ogremenuchoiceitem.h"
#include "engine/presentation/ogremenulistitem.h"
#include "engine/presentation/ogremenutitleitem.h"
#include "game/application/filesharebrowser.h"
#include "game/application/matchbrowser.h"
#include "game/level/datafile.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "network/highscoremanager.h"
#include "support/game/gamerun.h"
#include "support/loopback.h"
#include "support/services.h"
#include "support/tempdir.h"
#include "toolkit/file.h"

#include <OgreString.h>
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace
{
using test::GameRun;
using test::UserFolder;

// Runs the game's update, one tick at a time outside the frame clock, until done holds.
bool runUntil(GameRun& game, const std::function<bool()>& done, unsigned int timeoutMs = 15000)
{
    return test::pollUntil([&] { game.updateGame(1, 0.025f, 0.0f); }, done, timeoutMs, 10);
}

void activate(GameRun& game, const std::string& page, const std::string& item)
{
    game.onMenuEvent(game.item(page, item), brix::OgreMenuListener::EVENT_ITEM_ACTIVATED);
}

std::string pageTitle(GameRun& game, const std::string& page)
{
    return static_cast<brix::OgreMenuTitleItem*>(game.getMenu()->getPage(page)->getItem(0u))->getTitle();
}

brix::OgreMenuActionItem* row(GameRun& game, const std::string& page, const std::string& name)
{
    return static_cast<brix::OgreMenuActionItem*>(game.item(page, name));
}

// A row as "title [state]".
std::string shown(GameRun& game, const std::string& page, const std::string& name)
{
    brix::OgreMenuActionItem* item = row(game, page, name);
    return item->getTitle() + " [" + std::to_string(item->getState()) + "]";
}

std::vector<std::string> messages(GameRun& game)
{
    return game.getMessageDisplay()->getMessages();
}

bool hasMessage(GameRun& game, const std::string& text)
{
    const std::vector<std::string> lines = messages(game);
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

std::string level(const std::string& title, const char* point)
{
    return "<level><title>" + title +
           "</title><author>Ann</author><points><point><type>special</type><position>0 0 0</position><name>" +
           point + "</name></point></points></level>\n";
}

// The level as a shipped file has it.
std::string claimBuiltin(std::string level)
{
    return level.insert(level.find("<title>"), "<builtin>true</builtin>");
}

// Where pictures of the pages go: docs/screens when the run asks for them, else the user folder.
std::string screenFolder(const UserFolder& user)
{
    const char* screens = std::getenv("KORVANE_SCREENS_DIR");
    return screens ? screens : user.path();
}

TEST(ApplicationBrowsers, SharedLevelPagesPageFilterDownloadUploadAndDelete)
{
    test::FileShareService service;
    ASSERT_TRUE(service.process.isRunning());
    // Seventeen shared levels: three pages of eight rows.
    for (int i = 1; i <= 17; ++i)
    {
        char name[16];
        std::snprintf(name, sizeof(name), "shared%02d", i);
        test::writeFile(service.levels() + "/" + name + ".xml",
                        level("Level " + std::to_string(i), i % 2 ? "spstart" : "mpstart"));
    }
    // The last one says it is built in, which a level in the player's folder never is.
    const std::string claimer = claimBuiltin(level("Level 17", "spstart"));
    test::writeFile(service.levels() + "/shared17.xml", claimer);
    UserFolder user;
    user.writeTestConfiguration({{"network/fileshareserver", service.server()}});
    brix::File::createDirectory(user.file("levels"));
    // The player's own level has a block: the lists know it only once the catalogue is read.
    std::string mine = level("My own", "spstart");
    mine.insert(mine.find("</points>"),
                "<point><type>block</type><position>0 -0.5 0</position><name>techfloor</name></point>");
    test::writeFile(user.file("levels/mine.xml"), mine);
    test::writeFile(user.file("levels/mine_lightmap.png"), "png");
    test::writeFile(user.file("levels/mine_soundmap.png"), "png");

    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    // From the start the lists hold every level the game plays.
                    EXPECT_TRUE(game.getLevel()->getLevelCache()->hasLevel("sp01"));
                    game.item("levels", "level")->setValue(std::string("mine"));
                    EXPECT_EQ("mine", game.item("levels", "level")->getValue());
                    activate(game, "levels", "download");
                    game.getMenu()->show("download");
                    EXPECT_EQ("Updating.. [3]", shown(game, "download", "level0"));
                    EXPECT_EQ("- [3]", shown(game, "download", "level7"));
                    // The share files new levels into its index within a few scans.
                    ASSERT_TRUE(runUntil(game,
                                         [&]
                                         {
                                             game.getFileShareBrowser()->update();
                                             if (game.getFileShareBrowser()->getItemCount() == 17)
                                                 return true;
                                             if (game.getFileShareBrowser()->getListState() !=
                                                 game::ListBrowser::STATE_REFRESHING)
                                                 game.getFileShareBrowser()->refresh();
                                             return false;
                                         }));
                    EXPECT_EQ("Browse shared levels(page 1/3)", pageTitle(game, "download"));
                    EXPECT_EQ(0, row(game, "download", "level7")->getState());
                    EXPECT_EQ(0, game.item("download", "next")->getState());
                    EXPECT_EQ(3, game.item("download", "previous")->getState());
                    EXPECT_EQ("0.35l|0.6l|0.15r", row(game, "download", "level0")->getTitleFormat());

                    // From "next" on the second page to the third, where "next" fades: the
                    // cursor moves to "previous".
                    activate(game, "download", "next");
                    game.getMenu()->getPage("download")->setCurrentItem("next");
                    activate(game, "download", "next");
                    EXPECT_EQ("Browse shared levels(page 3/3)", pageTitle(game, "download"));
                    EXPECT_EQ(0, row(game, "download", "level0")->getState());
                    EXPECT_EQ(" [3]", shown(game, "download", "level1"));
                    EXPECT_EQ(" [3]", shown(game, "download", "level7"));
                    EXPECT_EQ(3, game.item("download", "next")->getState());
                    EXPECT_EQ(0, game.item("download", "previous")->getState());
                    EXPECT_EQ("previous", game.currentItem());
                    // A faded row past the entries does nothing.
                    activate(game, "download", "level5");
                    EXPECT_EQ("download", game.currentPage());

                    // Single-player levels only: the odd ones, nine of them on two pages; the
                    // browser stays as far on as the shorter list goes.
                    game.item("filter", "type")->setIndex(2);
                    activate(game, "filter", "ready");
                    EXPECT_EQ(9u, game.getFileShareBrowser()->getItemCount());
                    EXPECT_EQ("Browse shared levels(page 2/2)", pageTitle(game, "download"));
                    game.item("filter", "type")->setIndex(0);
                    game.item("filter", "title")->setValue(std::string("level 17"));
                    activate(game, "filter", "ready");
                    EXPECT_EQ("Browse shared levels", pageTitle(game, "download"));
                    EXPECT_EQ("shared17|Level 17|S [0]", shown(game, "download", "level0"));

                    activate(game, "download", "level0");
                    EXPECT_EQ("preview", game.currentPage());
                    EXPECT_EQ("Level 17", game.item("preview", "title")->getValue());
                    EXPECT_EQ("shared17.xml", game.item("preview", "filename")->getValue());
                    EXPECT_EQ("Single player", game.item("preview", "type")->getValue());
                    EXPECT_EQ("Ann", game.item("preview", "author")->getValue());
                    EXPECT_EQ("Download [0]", shown(game, "preview", "download"));
                    activate(game, "preview", "download");
                    EXPECT_TRUE(hasMessage(game, "Downloading level 'shared17.xml'.."));
                    // Opening the page again at once keeps the download.
                    activate(game, "levels", "download");
                    ASSERT_TRUE(runUntil(
                        game, [&] { return hasMessage(game, "Level 'shared17.xml' download complete"); }));
                    EXPECT_EQ(claimer, test::readFile(user.file("levels/shared17.xml")));
                    // The level lists know it at once, as the player's own, whose scores are its file's.
                    game.item("sp", "level")->setValue(std::string("shared17"));
                    EXPECT_EQ("shared17", game.item("sp", "level")->getValue());
                    game.item("levels", "level")->setValue(std::string("shared17"));
                    EXPECT_EQ("shared17", game.item("levels", "level")->getValue());
                    EXPECT_EQ(0, game.item("levels", "delete")->getState());
                    EXPECT_NE("shared17", game.getLevel()->getHighScoreName("shared17"));
                    EXPECT_FALSE(brix::File::fileExists(user.file("levels/shared17.xml.download")));
                    // A second look, once the page listed the share again, offers to overwrite it.
                    ASSERT_TRUE(runUntil(game,
                                         [&]
                                         {
                                             game.getFileShareBrowser()->update();
                                             return game.getFileShareBrowser()->getListState() ==
                                                    game::ListBrowser::STATE_READY;
                                         }));
                    game.item("filter", "title")->setValue(std::string("level 17"));
                    activate(game, "filter", "ready");
                    activate(game, "download", "level0");
                    EXPECT_EQ("Download (overwrite existing) [0]", shown(game, "preview", "download"));
                    // A shared level named like one that comes with the game is refused before
                    // anything of it is fetched.
                    test::writeFile(service.levels() + "/sp01.xml", level("Not the first", "spstart"));
                    const std::string shipped = test::readFile("levels/sp01.xml");
                    game.getMessageDisplay()->clear();
                    EXPECT_FALSE(game.getFileShareBrowser()->download("sp01.xml"));
                    EXPECT_EQ(std::vector<std::string>{"File 'sp01.xml' download refused (a level that comes "
                                                       "with the game has that name)"},
                              messages(game));
                    EXPECT_FALSE(brix::File::fileExists(user.file("levels/sp01.xml")));
                    EXPECT_FALSE(brix::File::fileExists(user.file("levels/sp01.xml.download")));
                    EXPECT_EQ(shipped, test::readFile("levels/sp01.xml"));

                    // Sharing one's own level under a new password keeps the password.
                    game.item("levels", "level")->setValue(std::string("mine"));
                    activate(game, "levels", "upload");
                    EXPECT_EQ("Share level: mine", pageTitle(game, "upload"));
                    game.item("upload", "password")->setValue(std::string("hunter"));
                    activate(game, "upload", "upload");
                    EXPECT_TRUE(hasMessage(game, "Uploading level 'mine.xml'.."));
                    EXPECT_EQ("hunter", game.getConfiguration().getString("misc/sharepassword"));
                    ASSERT_TRUE(
                        runUntil(game, [&] { return hasMessage(game, "Level 'mine.xml' upload complete"); }));
                    EXPECT_TRUE(test::pollUntil(
                        [] {}, [&] { return brix::File::fileExists(service.levels() + "/mine.xml"); }, 10000,
                        100));

                    // The player plays his "mine" and gives it up; the share's "mine.xml", made
                    // anew meanwhile, is downloaded over it. The next start plays the new
                    // layout, and its score is filed under the new file's checksum.
                    game.item("sp", "level")->setValue(std::string("mine"));
                    activate(game, "sp", "ready");
                    ASSERT_EQ(1u, game.getGameMode());
                    ASSERT_TRUE(runUntil(
                        game, [&] { return game.getLevel()->getMapGeneratorCount() == 0; }, 60000));
                    game.openMenu("");
                    activate(game, "main", "abort");
                    std::string remade = level("Mine remade", "spstart");
                    remade.replace(remade.find("0 0 0"), 5, "3 1 0");
                    remade.insert(remade.find("</points>"), "<point><type>block</type><position>3 -0.5 "
                                                            "0</position><name>techfloor</name></point>");
                    test::writeFile(service.levels() + "/mine.xml", remade);
                    ASSERT_TRUE(
                        runUntil(game,
                                 [&]
                                 {
                                     game.getFileShareBrowser()->update();
                                     if (game.getFileShareBrowser()->getListState() ==
                                         game::ListBrowser::STATE_REFRESHING)
                                         return false;
                                     game.item("filter", "title")->setValue(std::string("Mine remade"));
                                     activate(game, "filter", "ready");
                                     if (game.getFileShareBrowser()->getItemCount() == 1)
                                         return true;
                                     game.getFileShareBrowser()->refresh();
                                     return false;
                                 }));
                    activate(game, "download", "level0");
                    EXPECT_EQ("Download (overwrite existing) [0]", shown(game, "preview", "download"));
                    activate(game, "preview", "download");
                    ASSERT_TRUE(runUntil(game, [&]
                                         { return hasMessage(game, "Level 'mine.xml' download complete"); }));
                    EXPECT_EQ("Mine remade", game.getLevel()->getLevelCache()->getTitle("mine"));
                    activate(game, "sp", "ready");
                    ASSERT_EQ(1u, game.getGameMode());
                    game::Client* client = game.getClient(0);
                    ASSERT_TRUE(runUntil(
                        game, [&] { return client->getConnectionState() == game::Client::STATE_IN_MATCH; }));
                    game::Player* player = game.getPlayerManager()->getPlayer(client->getPlayerIndex());
                    ASSERT_TRUE(player && player->getHuman());
                    EXPECT_NEAR(3.0f, player->getHuman()->getPosition().x, 0.5f);
                    brix::XMLElement file("level");
                    ASSERT_GE(file.load(user.file("levels/mine.xml")), 0);
                    char key[32];
                    std::snprintf(key, sizeof(key), "mine@%x", game::calculateDataChecksum(file));
                    game.getEventDispatcher()->post(game::EventDispatcher::ExitReached,
                                                    static_cast<int>(player->getEntityId()), 0, "");
                    ASSERT_TRUE(runUntil(
                        game,
                        [&]
                        {
                            return game.getPlayerManager()->getMatchState() ==
                                       game::PlayerManager::Complete &&
                                   game.getLevel()->getMapGeneratorCount() == 0;
                        },
                        60000));
                    game.onEvent(game::EventDispatcher::MenuEscape, 0, 0, "");
                    EXPECT_EQ("newscore", game.currentPage());
                    activate(game, "newscore", "ready");
                    std::list<brix::HighScore> filed;
                    game.getHighScoreManager()->getLocalHighScores(key, filed);
                    EXPECT_EQ(1u, filed.size()) << key;

                    // Deleting takes the file, both its maps and its scores.
                    brix::HighScore score;
                    score.level = game.getLevel()->getHighScoreName("mine");
                    score.name = "Ann";
                    score.score = 100;
                    game.getHighScoreManager()->add(score, false);
                    game.getHighScoreManager()->finalize("Ann");
                    activate(game, "levels", "delete");
                    EXPECT_EQ("Really delete level 'mine'?", row(game, "delete", "text")->getTitle());
                    activate(game, "delete", "yes");
                    EXPECT_TRUE(hasMessage(game, "Level 'mine' deleted"));
                    std::list<brix::HighScore> scores;
                    game.getHighScoreManager()->getLocalHighScores(score.level, scores);
                    EXPECT_TRUE(scores.empty());
                    EXPECT_FALSE(game.getLevel()->getLevelCache()->hasLevel("mine"));

                    // A built-in level stays, without a word.
                    const size_t before = messages(game).size();
                    game.deleteLevel("sp01");
                    EXPECT_TRUE(game.getLevel()->getLevelCache()->hasLevel("sp01"));
                    EXPECT_EQ(before, messages(game).size());
                });
        },
        {"--no-update-check"});
    EXPECT_EQ(0, outcome.result);
    EXPECT_FALSE(brix::File::fileExists(user.file("levels/mine.xml")));
    EXPECT_FALSE(brix::File::fileExists(user.file("levels/mine_lightmap.png")));
    EXPECT_FALSE(brix::File::fileExists(user.file("levels/mine_soundmap.png")));
    EXPECT_TRUE(brix::File::fileExists(user.file("levels/shared17.xml")));
}
} // namespace

namespace
{
// A score filed in the local table and, when online, posted to the online one as well.
void addLocalScore(GameRun& game, const std::string& level, const std::string& name, int points,
                   const std::string& custom, bool online = false)
{
    brix::HighScore score;
    score.level = game.getLevel()->getHighScoreName(level);
    score.name = name;
    score.score = points;
    score.custom = custom;
    game.getHighScoreManager()->add(score, online);
    game.getHighScoreManager()->finalize(name);
}

TEST(ApplicationHighScores, PagesShowTheLocalAndOnlineTablesAndFollowTheirDownloads)
{
    test::WebService web;
    ASSERT_TRUE(web.process.isRunning());
    UserFolder user;
    user.writeTestConfiguration({{"network/highscoresurl", web.url("/api/v1/highscores")}});
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    addLocalScore(game, "sp01", "Ann", 5000, "61.5|3|2");
                    addLocalScore(game, "sp01", "Bob", 7000, "odd");
                    game.item("sp", "level")->setValue(std::string("sp01"));
                    activate(game, "sp", "score");
                    game.getMenu()->show("highscore");
                    EXPECT_EQ("back", game.currentItem());
                    EXPECT_EQ("Local high-scores: First Steps", pageTitle(game, "highscore"));
                    EXPECT_EQ("1|Bob|7000 [1]", shown(game, "highscore", "score0"));
                    EXPECT_EQ("", row(game, "highscore", "score0")->getDescription());
                    EXPECT_EQ("2|Ann|5000 [1]", shown(game, "highscore", "score1"));
                    EXPECT_EQ("Completion time 61.5s, kills 3, vials 2",
                              row(game, "highscore", "score1")->getDescription());
                    EXPECT_EQ("3|-|- [3]", shown(game, "highscore", "score2"));
                    EXPECT_EQ("5|-|- [3]", shown(game, "highscore", "score4"));
                    EXPECT_EQ("0.05l|0.5l|0.15r", row(game, "highscore", "score4")->getTitleFormat());
                    EXPECT_EQ("Back", row(game, "highscore", "back")->getTitle());
                    EXPECT_EQ("Show online", row(game, "highscore", "switch")->getTitle());

                    // The online table is fetched first, and the page follows the download.
                    activate(game, "highscore", "switch");
                    EXPECT_EQ("Online high-scores: First Steps", pageTitle(game, "highscore"));
                    EXPECT_EQ("Updating.. [3]", shown(game, "highscore", "score0"));
                    EXPECT_EQ(" [3]", shown(game, "highscore", "score1"));
                    EXPECT_EQ("Show local", row(game, "highscore", "switch")->getTitle());
                    ASSERT_TRUE(
                        runUntil(game, [&] { return shown(game, "highscore", "score0") == "1|-|- [3]"; }));

                    // What other players posted comes back cleaned, each text in its own column: a
                    // bar that would start the score column, control and bidirectional characters.
                    addLocalScore(game, "sp01", "Eve|9999999", 300, "61.5|3|2", true);
                    addLocalScore(game, "sp01", "Mal\xc2\x85l\xe2\x80\xaeory", 200,
                                  "12.5\xc2\x9b|1\xe2\x81\xa6|0", true);
                    ASSERT_TRUE(
                        runUntil(game, [&] { return row(game, "highscore", "score1")->getState() == 1; }));
                    EXPECT_EQ("1|Eve\u00a69999999|300 [1]", shown(game, "highscore", "score0"));
                    EXPECT_EQ("2|Mallory|200 [1]", shown(game, "highscore", "score1"));
                    EXPECT_EQ("Completion time 12.5s, kills 1, vials 0",
                              row(game, "highscore", "score1")->getDescription());

                    // Back to local and online again: a table a few seconds old is shown as it is.
                    activate(game, "highscore", "switch");
                    EXPECT_EQ("1|Bob|7000 [1]", shown(game, "highscore", "score0"));
                    EXPECT_EQ("3|Eve\u00a69999999|300 [1]", shown(game, "highscore", "score2"));
                    activate(game, "highscore", "switch");
                    EXPECT_EQ("2|Mallory|200 [1]", shown(game, "highscore", "score1"));
                    // A local table changing under the online page leaves the page alone.
                    addLocalScore(game, "sp01", "Cy", 9000, "");
                    EXPECT_EQ("2|Mallory|200 [1]", shown(game, "highscore", "score1"));
                    activate(game, "highscore", "switch");
                });
            game.wait(60);
            game.then([&](GameRun& game) { game.screenshot(screenFolder(user) + "/highscore.png"); });
            game.wait(2);
        },
        {"--no-update-check"});
    EXPECT_EQ(0, outcome.result);
    EXPECT_GT(test::readFile(screenFolder(user) + "/highscore.png").size(), 8u);
}

TEST(ApplicationMenus, SettingsLevelsChatAndEditorActionsFollowTheirPages)
{
    UserFolder user;
    user.writeTestConfiguration();
    brix::File::createDirectory(user.file("levels"));
    test::writeFile(user.file("levels/mine.xml"), level("My own", "spstart"));
    // Not listed, as its point names no prototype, and still not to be written over.
    std::string unplayable = level("Unplayable", "spstart");
    unplayable.insert(unplayable.find("</points>"),
                      "<point><type>entity</type><position>0 0 0</position><name>ghost</name></point>");
    test::writeFile(user.file("levels/kept.xml"), unplayable);
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    brix::Configuration& configuration = game.getConfiguration();
                    // The stored window size, which the screen does not list, stays the choice:
                    // only the music changes, and no restart is asked for.
                    game.getMessageDisplay()->clear();
                    EXPECT_EQ("640x360", game.item("system", "mode")->getValue());
                    game.item("system", "music")->setIndex(1);
                    activate(game, "system", "ready");
                    EXPECT_EQ(640, configuration.getInteger("video/width"));
                    EXPECT_EQ(360, configuration.getInteger("video/height"));
                    EXPECT_TRUE(configuration.getBoolean("audio/music"));
                    EXPECT_TRUE(messages(game).empty());
                    EXPECT_EQ("main", game.currentPage());
                    // Only the music changes now: no restart is needed.
                    game.getMessageDisplay()->clear();
                    game.item("system", "music")->setIndex(0);
                    activate(game, "system", "ready");
                    EXPECT_TRUE(messages(game).empty());
                    EXPECT_FALSE(configuration.getBoolean("audio/music"));
                    game.item("system", "audio")->setIndex(1);
                    activate(game, "system", "ready");
                    EXPECT_EQ(
                        std::vector<std::string>{"Changes to audio quality settings will take effect next "
                                                 "time you start this game"},
                        messages(game));
                    EXPECT_NE(std::string::npos,
                              test::readFile(user.file("configuration.xml")).find("<quality>1</quality>"));
                    // A save that fails says so, and promises nothing for the next start.
                    std::filesystem::create_directory(user.file("configuration.xml.tmp"));
                    game.getMessageDisplay()->clear();
                    game.item("system", "audio")->setIndex(0);
                    activate(game, "system", "ready");
                    EXPECT_EQ(
                        std::vector<std::string>{"Settings could not be saved: Unable to open target file '" +
                                                 user.file("configuration.xml") + "': Is a directory"},
                        messages(game));
                    std::filesystem::remove(user.file("configuration.xml.tmp"));

                    game.item("player2", "name")->setValue(std::string("Second"));
                    activate(game, "player2", "ready");
                    EXPECT_EQ("Second", configuration.getString("player2/name"));
                    EXPECT_NE(std::string::npos,
                              test::readFile(user.file("configuration.xml")).find("Second"));

                    // A gamepad layout is chosen only for a gamepad, and the pad is looked for.
                    brix::OgreMenuItem* controller = game.item("player1", "controller");
                    auto* layout =
                        static_cast<brix::OgreMenuChoiceItem*>(game.item("player1", "gamepadlayout"));
                    EXPECT_EQ(3, layout->getState());
                    controller->setIndex(2);
                    EXPECT_EQ(0, layout->getState());
                    EXPECT_EQ("No gamepad device detected", layout->getDescription());
                    controller->setIndex(0);
                    EXPECT_EQ(3, layout->getState());

                    // "Keyboard" and "Keyboard+mouse" read the same keys: both pages say which
                    // of them drive both players, whichever of the two controllers changed.
                    auto help = [&](const char* page) {
                        return static_cast<brix::OgreMenuChoiceItem*>(game.item(page, "controller"))
                            ->getDescription();
                    };
                    EXPECT_EQ("Type of player controller", help("player1"))
                        << "player 2 plays with gamepad 1";
                    EXPECT_EQ("Type of player controller", help("player2"));
                    game.item("player2", "controller")->setIndex(1);
                    EXPECT_EQ(
                        "Keys that also drive player 2: A, D, Left, Right, Space, W, S, Ctrl, R, F, E, C, F1",
                        help("player1"));
                    EXPECT_EQ(
                        "Keys that also drive player 1: A, D, Left, Right, Space, W, S, Ctrl, R, F, E, C, F1",
                        help("player2"));
                    controller->setIndex(3);
                    EXPECT_EQ("Type of player controller", help("player1"));
                    EXPECT_EQ("Type of player controller", help("player2"));
                    game.item("player2", "controller")->setIndex(2);
                    controller->setIndex(0);

                    // Only the user's own levels can be edited without --developer.
                    brix::OgreMenuItem* levels = game.item("levels", "level");
                    levels->setIndex(0);
                    EXPECT_EQ("[create new]", levels->getValue());
                    EXPECT_EQ("Create a new level with name entered below",
                              static_cast<brix::OgreMenuChoiceItem*>(levels)->getDescription());
                    EXPECT_EQ(0, game.item("levels", "new")->getState());
                    EXPECT_EQ(3, game.item("levels", "delete")->getState());
                    EXPECT_EQ(3, game.item("levels", "upload")->getState());
                    levels->setIndex(1);
                    EXPECT_EQ("mine", levels->getValue());
                    EXPECT_EQ("My own by Ann",
                              static_cast<brix::OgreMenuChoiceItem*>(levels)->getDescription());
                    EXPECT_EQ(3, game.item("levels", "new")->getState());
                    EXPECT_EQ(0, game.item("levels", "delete")->getState());
                    levels->setIndex(2);
                    EXPECT_EQ("mine", levels->getValue());

                    game.getMessageDisplay()->clear();
                    levels->setIndex(0);
                    activate(game, "levels", "edit");
                    for (const char* taken : {"sp01", "kept"})
                    {
                        game.item("levels", "new")->setValue(std::string(taken));
                        activate(game, "levels", "edit");
                    }
                    EXPECT_EQ((std::vector<std::string>{
                                  "Please enter a name for the level to create",
                                  "Level 'sp01' already exists, choose another name",
                                  "Level file '" + user.file("levels/kept.xml") +
                                      "' cannot be played, remove it or choose another name"}),
                              messages(game));
                    EXPECT_EQ(unplayable, test::readFile(user.file("levels/kept.xml")));
                    EXPECT_EQ(0u, game.getGameMode());

                    // A slash line is a console command, not chat; the line empties and the
                    // menu closes even outside a game.
                    game.getMessageDisplay()->clear();
                    game.openMenu("chat");
                    game.item("chat", "message")->setValue(std::string("/get network/prediction"));
                    activate(game, "chat", "message");
                    EXPECT_EQ(std::vector<std::string>{"network/prediction=1.000000"}, messages(game));
                    EXPECT_EQ("", game.item("chat", "message")->getValue());
                    EXPECT_FALSE(game.getMenu()->isVisible());

                    // The scoreboard key outside a hosted or joined match does nothing.
                    game.onEvent(game::EventDispatcher::MenuScoreboard, 0, 0, "");
                    EXPECT_FALSE(game.getMenu()->isVisible());
                    game.onEvent(game::EventDispatcher::MenuEscape, 0, 0, "");
                    EXPECT_EQ("main", game.currentPage());
                });
        },
        {"--no-update-check"});
    EXPECT_EQ(0, outcome.result);
}
} // namespace

namespace
{
TEST(ApplicationModes, SinglePlayerPausesOnEscapeAndItsCompletionScoreGoesOnlineAndComesBack)
{
    test::WebService web;
    ASSERT_TRUE(web.process.isRunning());
    UserFolder user;
    user.writeTestConfiguration({{"network/highscoresurl", web.url("/api/v1/highscores")}});
    std::string uploaded;
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    game.item("sp", "level")->setValue(std::string("sp01"));
                    game.getMenu()->show("sp");
                    EXPECT_EQ("ready", game.currentItem());
                    activate(game, "sp", "ready");
                    EXPECT_EQ(1u, game.getGameMode());
                    EXPECT_FALSE(game.getMenu()->isVisible());
                    game::Client* client = game.getClient(0);
                    ASSERT_TRUE(runUntil(
                        game, [&] { return client->getConnectionState() == game::Client::STATE_IN_MATCH; }));
                    EXPECT_EQ(1u, game.getServer()->getSlotCount());
                    EXPECT_EQ(game::PlayerManager::Running, game.getPlayerManager()->getMatchState());
                    EXPECT_TRUE(game.getPlayerManager()->isAuthoritative());
                    EXPECT_EQ(game::Client::STATE_IDLE, game.getClient(1)->getConnectionState());

                    // Escape opens the main page over the game and stops the world's clock.
                    game.press(test::KEY_ESCAPE);
                    ASSERT_TRUE(runUntil(game, [&] { return game.getMenu()->isVisible(); }));
                    EXPECT_EQ("main", game.currentPage());
                    EXPECT_TRUE(game.isPaused());
                    EXPECT_EQ(0, game.item("main", "abort")->getState());
                    EXPECT_EQ(3, game.item("mp", "restart")->getState());
                    const uint16_t tick = game.getEntityManager()->getTick();
                    const float time = game.getPlayerManager()->getMatchTime();
                    for (int i = 0; i < 10; ++i)
                        game.updateGame(1, 0.025f, 0.0f);
                    EXPECT_EQ(tick, game.getEntityManager()->getTick());
                    EXPECT_EQ(time, game.getPlayerManager()->getMatchTime());
                    game.press(test::KEY_ESCAPE);
                    ASSERT_TRUE(runUntil(game, [&] { return !game.getMenu()->isVisible(); }));
                    EXPECT_FALSE(game.isPaused());
                    for (int i = 0; i < 10; ++i)
                        game.updateGame(1, 0.025f, 0.0f);
                    EXPECT_NE(tick, game.getEntityManager()->getTick());

                    // The match start asked for the online table; a score goes online only
                    // once it is known.
                    const std::string highScoreName = game.getLevel()->getHighScoreName("sp01");
                    ASSERT_TRUE(runUntil(game,
                                         [&]
                                         {
                                             std::list<brix::HighScore> scores;
                                             return game.getHighScoreManager()->getOnlineHighScores(
                                                        highScoreName, scores) ==
                                                    brix::HighScoreManager::STATUS_AVAILABLE;
                                         }));
                    // The player's human reaches the exit: the score tops both empty tables,
                    // and the local placing is the one shown.
                    game::Player* player = game.getPlayerManager()->getPlayer(client->getPlayerIndex());
                    ASSERT_NE(nullptr, player);
                    game.getEventDispatcher()->post(game::EventDispatcher::ExitReached,
                                                    static_cast<int>(player->getEntityId()), 0, "");
                    ASSERT_TRUE(runUntil(game,
                                         [&] {
                                             return game.getPlayerManager()->getMatchState() ==
                                                    game::PlayerManager::Complete;
                                         }));
                    uploaded = std::to_string(player->getScore());
                    EXPECT_EQ("sp01", game.getConfiguration().getString("misc/level"));
                    EXPECT_EQ("Local high-scores: First Steps", pageTitle(game, "highscore"));
                    EXPECT_EQ("Continue", row(game, "highscore", "back")->getTitle());

                    // Escape ends the completed game and asks for the name to file the score under.
                    game.press(test::KEY_ESCAPE);
                    ASSERT_TRUE(runUntil(game, [&] { return game.getMenu()->isVisible(); }));
                    EXPECT_EQ("newscore", game.currentPage());
                    EXPECT_EQ(0u, game.getGameMode());
                    EXPECT_EQ("Tester", game.item("newscore", "name")->getValue());
                    activate(game, "newscore", "ready");
                    ASSERT_TRUE(
                        runUntil(game, [&] { return hasMessage(game, "New high-score posted online"); }));
                    EXPECT_EQ("1|Tester|" + uploaded + " [1]", shown(game, "highscore", "score0"));
                    // The online table read back from the service after the upload shows it too.
                    ASSERT_TRUE(runUntil(game,
                                         [&]
                                         {
                                             std::list<brix::HighScore> scores;
                                             game.getHighScoreManager()->getOnlineHighScores(highScoreName,
                                                                                             scores);
                                             return scores.size() == 1;
                                         }));
                    activate(game, "highscore", "switch");
                    EXPECT_EQ("Online high-scores: First Steps", pageTitle(game, "highscore"));
                    EXPECT_EQ("1|Tester|" + uploaded + " [1]", shown(game, "highscore", "score0"));
                    EXPECT_EQ("2|-|- [3]", shown(game, "highscore", "score1"));

                    // Replay starts the level of the page again and closes the menu.
                    game.getMenu()->show("highscore");
                    activate(game, "highscore", "replay");
                    EXPECT_EQ(1u, game.getGameMode());
                    ASSERT_TRUE(runUntil(game, [&] { return !game.getMenu()->isVisible(); }));
                    EXPECT_EQ("sp01", game.getPlayerManager()->getLevelName());

                    // Ending the game from the menu returns to menus only, menu open.
                    game.openMenu("");
                    activate(game, "main", "abort");
                    EXPECT_EQ(0u, game.getGameMode());
                    EXPECT_TRUE(game.getMenu()->isVisible());
                    EXPECT_EQ(game::Client::STATE_IDLE, client->getConnectionState());
                    EXPECT_FALSE(game.getServer()->isStarted());
                });
        },
        {"--no-update-check"});
    EXPECT_EQ(0, outcome.result);
    EXPECT_NE("", uploaded);
}
} // namespace

namespace
{
// The joining side of the hosted match below, run as a process of its own: it finds the
// match through the browse page, joins it and stays until the host ends the match.
TEST(ApplicationModes, DISABLED_JoinerProcess)
{
    const char* maker = std::getenv("KORVANE_TEST_MATCH_MAKER");
    ASSERT_NE(nullptr, maker);
    UserFolder user;
    // A name that would start the score column of the host's scoreboard.
    user.writeTestConfiguration({{"player1/name", "Joiner|9999999"}, {"network/announceserver", maker}});
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    activate(game, "join", "browse");
                    game.getMenu()->show("browse");
                    game::MatchBrowser* browser = game.getMatchBrowser();
                    ASSERT_TRUE(runUntil(
                        game,
                        [&]
                        {
                            if (browser->getListState() != game::ListBrowser::STATE_REFRESHING &&
                                browser->getItemCount() == 0)
                                browser->refresh();
                            return browser->getItemCount() == 1;
                        },
                        40000));
                    EXPECT_EQ("Browse online matches", pageTitle(game, "browse"));
                    EXPECT_EQ("Split arena|arena|2/4 [0]", shown(game, "browse", "match0"));
                    EXPECT_EQ(" [3]", shown(game, "browse", "match1"));
                });
            game.wait(60);
            game.then([&](GameRun& game) { game.screenshot(screenFolder(user) + "/match-browser.png"); });
            game.then(
                [&](GameRun& game)
                {
                    activate(game, "browse", "match0");
                    EXPECT_EQ("join", game.currentPage());
                    EXPECT_EQ("ready", game.currentItem());
                    EXPECT_EQ("127.0.0.1", game.item("join", "address")->getValue());
                    activate(game, "join", "ready");
                    EXPECT_EQ(3u, game.getGameMode());
                    EXPECT_FALSE(game.getPlayerManager()->isAuthoritative());
                    ASSERT_TRUE(runUntil(
                        game,
                        [&]
                        { return game.getClient(0)->getConnectionState() == game::Client::STATE_IN_MATCH; },
                        30000));
                    // The host's two players and this one.
                    ASSERT_TRUE(runUntil(game,
                                         [&]
                                         {
                                             std::vector<game::Player*> players;
                                             game.getPlayerManager()->getPlayers(players);
                                             return players.size() == 3;
                                         }));
                    // The host moves the match to a level of its own: downloaded, it is offered
                    // at once for single play and for editing.
                    ASSERT_TRUE(runUntil(
                        game, [&] { return game.getPlayerManager()->getLevelName() == "hostroom"; }, 60000));
                    EXPECT_EQ("Host room", game.getLevel()->getTitle());
                    // Listed before it, the new level leaves the choice where it was.
                    EXPECT_EQ("sp01", game.item("sp", "level")->getValue());
                    for (const char* page : {"sp", "levels"})
                    {
                        game.item(page, "level")->setValue(std::string("hostroom"));
                        EXPECT_EQ("hostroom", game.item(page, "level")->getValue()) << page;
                    }
                    // The host's end drops this game back to its menu, saying why, with
                    // nothing of the match left.
                    ASSERT_TRUE(runUntil(
                        game, [&] { return game.getGameMode() == 0u; }, 60000));
                    EXPECT_EQ("main", game.currentPage());
                    EXPECT_TRUE(hasMessage(game, "Disconnected from server (Server shutdown)"));
                    EXPECT_EQ(game::Application::INPUT_MENU + 0u,
                              game.getInputManager()->getListenerEnableMask());
                    EXPECT_EQ(game::PlayerManager::NoMatch, game.getPlayerManager()->getMatchState());
                    std::vector<game::Player*> players;
                    game.getPlayerManager()->getPlayers(players);
                    EXPECT_TRUE(players.empty());
                });
        },
        {"--no-update-check"});
    EXPECT_EQ(0, outcome.result);
}

TEST(ApplicationModes, HostsSplitScreenAndAProcessJoinsThroughTheMatchBrowser)
{
    test::MatchMakerService service;
    ASSERT_TRUE(service.process.isRunning());
    const std::string maker = "127.0.0.1:" + std::to_string(service.port);
    UserFolder user;
    user.writeTestConfiguration({{"network/announceserver", maker}});
    brix::File::createDirectory(user.file("levels"));
    std::string room = level("Host room", "spstart");
    room.insert(room.find("</points>"),
                "<point><type>special</type><position>0 0 0</position><name>mpstart</name>"
                "</point><point><type>block</type><position>0 -0.5 0</position>"
                "<name>techfloor</name></point>");
    test::writeFile(user.file("levels/hostroom.xml"), room);
    pid_t joiner = 0;
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    game.getMessageDisplay()->clear();
                    // A port outside the UDP range fails visibly, and hosts nothing.
                    game.item("host", "level")->setValue(std::string("arena"));
                    game.item("host", "port")->setValue(std::string("70000"));
                    game.hostMatch();
                    EXPECT_EQ(0u, game.getGameMode());
                    EXPECT_FALSE(game.getServer()->isStarted());
                    EXPECT_EQ(
                        std::vector<std::string>{"Unable to start a multiplayer game with level 'arena', "
                                                 "see application.log for details"},
                        messages(game));

                    game.item("host", "port")->setValue(std::to_string(test::freeUdpPort()));
                    game.item("host", "name")->setValue(std::string("Split arena"));
                    game.item("host", "splitscreen")->setIndex(1);
                    game.item("host", "players")->setValue(4);
                    game.item("host", "scorelimit")->setValue(15000);
                    activate(game, "host", "ready");
                    ASSERT_EQ(2u, game.getGameMode());
                    EXPECT_FALSE(game.getMenu()->isVisible());
                    EXPECT_EQ("arena", game.item("restart", "level")->getValue());
                    EXPECT_EQ(15000, game.item("restart", "scorelimit")->getValueAsInteger());
                    EXPECT_EQ(4u, game.getServer()->getSlotCount());
                    EXPECT_TRUE(game.getClient(1)->isLocal());

                    setenv("KORVANE_TEST_MATCH_MAKER", maker.c_str(), 1);
                    joiner = fork();
                    if (joiner == 0)
                    {
                        execl("/proc/self/exe", "korvane_tests",
                              "--gtest_filter=ApplicationModes.DISABLED_JoinerProcess",
                              "--gtest_also_run_disabled_tests", static_cast<char*>(nullptr));
                        _exit(127);
                    }
                    ASSERT_GT(joiner, 0);
                    ASSERT_TRUE(runUntil(
                        game,
                        [&]
                        {
                            std::vector<game::Player*> players;
                            game.getPlayerManager()->getPlayers(players);
                            return players.size() == 3 &&
                                   game.getServer()->getSlotState(2) == game::Server::SLOT_IN_MATCH;
                        },
                        60000));
                    // The match moves to a level of this host's own, which the joiner downloads:
                    // the level this host plays, also when its file is rewritten meanwhile.
                    game.item("restart", "level")->setValue(std::string("hostroom"));
                    activate(game, "restart", "ready");
                    std::string rewritten = room;
                    rewritten.replace(rewritten.find("Host room"), 9, "Another room");
                    test::writeFile(user.file("levels/hostroom.xml"), rewritten);
                    EXPECT_EQ("Host room", game.getLevel()->getTitle());
                    ASSERT_TRUE(runUntil(
                        game,
                        [&] { return game.getServer()->getSlotState(2) == game::Server::SLOT_IN_MATCH; },
                        60000));

                    // Tab opens the scoreboard: three players, the fourth slot free, the rest empty.
                    game.press(test::KEY_TAB);
                    ASSERT_TRUE(runUntil(game, [&] { return game.getMenu()->isVisible(); }));
                    EXPECT_EQ("scoreboard", game.currentPage());
                    EXPECT_FALSE(game.isPaused());
                    // Rank, name and score, as the menu splits the row into its columns.
                    std::vector<std::string> names;
                    for (int i = 0; i < 3; ++i)
                    {
                        const std::vector<std::string> columns = Ogre::StringUtil::split(
                            row(game, "scoreboard", "player" + std::to_string(i))->getTitle(), "|");
                        ASSERT_EQ(3u, columns.size());
                        EXPECT_EQ(std::to_string(i + 1), columns[0]);
                        names.push_back(columns[1]);
                        EXPECT_EQ("0", columns[2]);
                        EXPECT_EQ("Kills 0, vials 0",
                                  row(game, "scoreboard", "player" + std::to_string(i))->getDescription());
                    }
                    std::sort(names.begin(), names.end());
                    EXPECT_EQ((std::vector<std::string>{"Joiner\u00a69999999", "Player 2", "Tester"}), names);
                    EXPECT_EQ("4|-|- [3]", shown(game, "scoreboard", "player3"));
                    EXPECT_EQ(" [3]", shown(game, "scoreboard", "player4"));
                    EXPECT_EQ(" [3]", shown(game, "scoreboard", "player7"));
                });
            game.wait(60);
            game.then([&](GameRun& game) { game.screenshot(screenFolder(user) + "/scoreboard.png"); });
            game.then(
                [&](GameRun& game)
                {
                    // Open, it follows the match: the second player's new name shows at once.
                    game.getConfiguration().setString("player2/name", "Second");
                    EXPECT_TRUE(runUntil(game,
                                         [&]
                                         {
                                             for (int i = 0; i < 3; ++i)
                                                 if (row(game, "scoreboard", "player" + std::to_string(i))
                                                         ->getTitle()
                                                         .find("|Second|") != std::string::npos)
                                                     return true;
                                             return false;
                                         }));
                    // Tab again closes it; over a hosted match the menu never pauses.
                    game.press(test::KEY_TAB);
                    ASSERT_TRUE(runUntil(game, [&] { return !game.getMenu()->isVisible(); }));
                    game.openMenu("");
                    EXPECT_FALSE(game.isPaused());
                    EXPECT_EQ(0, game.item("mp", "restart")->getState());
                    // The host ends its game; the joiner leaves once it is back at its menu.
                    activate(game, "main", "abort");
                    EXPECT_EQ(0u, game.getGameMode());
                    EXPECT_EQ("main", game.currentPage());
                    EXPECT_EQ(brix::OgreMenuItem::STATE_DISABLED, game.item("main", "abort")->getState())
                        << "no game left to end";
                    int status = -1;
                    runUntil(
                        game, [&] { return waitpid(joiner, &status, WNOHANG) == joiner; }, 60000);
                    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
                    joiner = 0;
                });
        },
        {"--no-update-check"});
    if (joiner > 0)
    {
        kill(joiner, SIGKILL);
        waitpid(joiner, nullptr, 0);
    }
    EXPECT_EQ(0, outcome.result);
}
} // namespace

namespace
{
TEST(ApplicationModes, FailedStartsFunctionKeysAndScreenshotsReportThemselves)
{
    UserFolder user;
    user.writeTestConfiguration();
    const std::vector<std::string> reason{"Invalid server address: 300.0.0.1:26001"};
    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    game.getMessageDisplay()->clear();
                    // An unknown level starts nothing, and says which.
                    static_cast<brix::OgreMenuListItem*>(game.item("restart", "level"))
                        ->setValues({"nowhere"});
                    game.restartMatch();
                    EXPECT_EQ(
                        std::vector<std::string>{"Unable to restart multiplayer game with level 'nowhere', "
                                                 "see application.log for details"},
                        messages(game));
                    game.getMessageDisplay()->clear();
                    static_cast<brix::OgreMenuListItem*>(game.item("sp", "level"))->setValues({"nowhere"});
                    game.startSinglePlayer(false);
                    EXPECT_EQ(0u, game.getGameMode());
                    EXPECT_FALSE(game.getServer()->isStarted());
                    EXPECT_EQ(
                        std::vector<std::string>{"Unable to start single player game with level 'nowhere', "
                                                 "see application.log for details"},
                        messages(game));

                    game.getMessageDisplay()->clear();
                    game.onEvent(game::EventDispatcher::MenuCommand, 7, 0, "");
                    EXPECT_TRUE(messages(game).empty()) << "F7 only while joined";
                    game.onEvent(game::EventDispatcher::MenuCommand, 6, 0, "");
                    EXPECT_EQ(
                        std::vector<std::string>{"Network TX: 0 B (0 B/s) 0 P (0 P/s)  RX: 0 B (0 B/s) 0 P "
                                                 "(0 P/s)"},
                        messages(game));

                    game.getMessageDisplay()->clear();
                    game.onEvent(game::EventDispatcher::MenuCommand, 4, 0, "");
                    EXPECT_TRUE(game.isRunning()) << "F4 only with a newer version known";
                    game.onEvent(game::EventDispatcher::MenuCommand, 5, 0, "");
                    ASSERT_EQ(1u, messages(game).size());
                    const std::string statistics = messages(game)[0];
                    EXPECT_EQ(0u, statistics.find("FPS: ")) << statistics;
                    for (const char* field : {" triangles: ", " batches: ", " mem: "})
                        EXPECT_NE(std::string::npos, statistics.find(field)) << statistics;

                    // Two screenshots in the same second are two files.
                    game.onEvent(game::EventDispatcher::MenuCommand, 9, 0, "");
                    game.onEvent(game::EventDispatcher::MenuCommand, 9, 0, "");
                });
            // A join that cannot even be tried says why, back at the menu, and the reason stays
            // past a line's lifetime until the player acts.
            game.then(
                [&](GameRun& game)
                {
                    game.getMessageDisplay()->clear();
                    game.item("join", "address")->setValue(std::string("300.0.0.1"));
                    activate(game, "join", "ready");
                    EXPECT_EQ(0u, game.getGameMode());
                    EXPECT_EQ("main", game.currentPage());
                    EXPECT_EQ(reason, messages(game));
                });
            game.wait(60);
            game.then(
                [&](GameRun& game)
                {
                    game.screenshot(screenFolder(user) + "/join-bad-address.png");
                    const unsigned int lifetime =
                        static_cast<unsigned int>(game::Application::MESSAGE_SECONDS * 1000);
                    test::pollFor([&] { game.updateGame(1, 0.025f, 0.0f); }, lifetime + 500, 10);
                    EXPECT_EQ(reason, messages(game));
                    // Once the player acts at the menu, it goes as any line goes.
                    activate(game, "main", "mp");
                    EXPECT_TRUE(runUntil(
                        game, [&] { return messages(game).empty(); }, lifetime + 5000));
                });
            // A join to a port where nobody answers says so, and made no connection to lose.
            game.then(
                [&](GameRun& game)
                {
                    const std::string silent = "127.0.0.1:" + std::to_string(test::freeUdpPort());
                    game.item("join", "address")->setValue(std::string("127.0.0.1"));
                    game.item("join", "port")->setValue(silent.substr(silent.find(':') + 1));
                    activate(game, "join", "ready");
                    EXPECT_EQ(3u, game.getGameMode());
                    EXPECT_TRUE(runUntil(
                        game, [&] { return game.getGameMode() == 0u; }, 20000));
                    EXPECT_EQ("main", game.currentPage());
                    EXPECT_EQ((std::vector<std::string>{"Connecting to " + silent + "..",
                                                        "Unable to connect to " + silent +
                                                            " (host did not answer)"}),
                              messages(game));
                });
        },
        {"--no-update-check"});
    EXPECT_EQ(0, outcome.result);
    std::vector<std::string> shots;
    if (DIR* folder = opendir(user.file("screenshots").c_str()))
    {
        while (dirent* entry = readdir(folder))
            if (entry->d_name[0] != '.')
                shots.push_back(entry->d_name);
        closedir(folder);
    }
    std::sort(shots.begin(), shots.end());
    ASSERT_EQ(2u, shots.size());
    // Unless the clock turned to the next second in between.
    if (shots[0].size() == 30u && shots[1].size() == 32u)
    {
        EXPECT_EQ(shots[0].substr(0, 26) + "-2.png", shots[1]);
    }
}
} // namespace

namespace
{
// A level from outside never takes the game down: what can be read in place of a bad value
// plays, drawn frame after frame, with its missing maps made; what cannot be used ends the
// start with its message, and the game goes on at the menu.
TEST(ApplicationModes, HostileLevelsPlayRepairedOrEndTheirStartWithItsMessage)
{
    struct TCase
    {
        const char* name;
        std::string content;
        bool plays;
    };
    std::ifstream source("levels/arena.xml");
    const std::string arena((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    const auto changed = [&](const std::string& from, const std::string& to, bool all)
    {
        std::string text = arena;
        for (size_t at = text.find(from); at != std::string::npos;
             at = all ? text.find(from, at + to.size()) : std::string::npos)
            text.replace(at, from.size(), to);
        return text;
    };
    const std::string block = "<position>-16 -0.5 0</position>";
    const std::string start = "<position>-16 1 0</position>";
    const std::string identity = "<orientation>1 0 0 0</orientation>";
    std::string crowd;
    for (unsigned i = 0; i <= game::Level::MAX_POINTS; ++i)
        crowd += "<point><type>block</type><position>0 -0.5 0</position><name>techfloor</name></point>";
    const TCase cases[] = {
        {"nanblock", changed(block, "<position>nan -0.5 0</position>", false), true},
        {"infblock", changed(block, "<position>inf -0.5 0</position>", false), true},
        {"nanstart", changed(start, "<position>nan nan nan</position>", false), true},
        {"flat", changed(identity, "<orientation>0 0 0 0</orientation>", true), true},
        {"stretched", changed(identity, "<orientation>1 80 0 0</orientation>", false), true},
        {"far", changed(block, "<position>1e30 -0.5 0</position>", false), true},
        {"deep", changed(block, "<position>-16 -0.5 120</position>", false), true},
        {"crowded", changed("<points>", "<points>" + crowd, false), false},
        {"cut", arena.substr(0, arena.size() / 2), false},
    };
    UserFolder user;
    user.writeTestConfiguration();
    brix::File::createDirectory(user.file("levels"));
    for (const TCase& level : cases)
        test::writeFile(user.file("levels/" + std::string(level.name) + ".xml"), level.content);

    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            for (const TCase& level : cases)
            {
                game.then(
                    [&](GameRun& game)
                    {
                        SCOPED_TRACE(level.name);
                        game.getMessageDisplay()->clear();
                        static_cast<brix::OgreMenuListItem*>(game.item("host", "level"))
                            ->setValues({level.name});
                        game.item("host", "port")->setValue(std::to_string(test::freeUdpPort()));
                        game.hostMatch();
                        if (level.plays)
                            EXPECT_EQ(2u, game.getGameMode()) << level.name;
                        else
                        {
                            EXPECT_EQ(0u, game.getGameMode());
                            EXPECT_FALSE(game.getServer()->isStarted());
                            EXPECT_EQ(
                                std::vector<std::string>{"Unable to start a multiplayer game with level '" +
                                                         std::string(level.name) +
                                                         "', see application.log for details"},
                                messages(game));
                        }
                    });
                // Drawn, and played a little.
                game.wait(3);
                game.then([&](GameRun& game) { game.runTicks(20); });
            }
            game.then(
                [&](GameRun& game)
                {
                    // The last start that played made the maps its level lacked.
                    static_cast<brix::OgreMenuListItem*>(game.item("sp", "level"))->setValues({"stretched"});
                    game.startSinglePlayer(false);
                    ASSERT_EQ(1u, game.getGameMode());
                    EXPECT_TRUE(runUntil(
                        game, [&] { return game.getLevel()->getMapGeneratorCount() == 0; }, 60000));
                    EXPECT_TRUE(game.getLevel()->hasLightMap());
                    EXPECT_TRUE(game.getLevel()->hasSoundMap());
                    EXPECT_TRUE(brix::File::fileExists(user.file("levels/stretched_lightmap.png")));
                    EXPECT_TRUE(brix::File::fileExists(user.file("levels/stretched_soundmap.png")));
                    game.endGame();
                });
        },
        {"--no-update-check"});
    EXPECT_EQ(0, outcome.result);
    EXPECT_FALSE(outcome.endedByGame);
}
} // namespace
