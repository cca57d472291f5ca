#include "game/application/application.h"

#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenuactionitem.h"
#include "engine/presentation/ogremenuchoiceitem.h"
#include "engine/presentation/ogremenutitleitem.h"
#include "game/application/filesharebrowser.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "network/highscoremanager.h"
#include "support/game/gamerun.h"
#include "support/loopback.h"
#include "support/services.h"
#include "support/tempdir.h"
#include "toolkit/file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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
           "</title><author>Ann</author><points><point><type>special</type><name>" + point +
           "</name></point></points></level>\n";
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
    UserFolder user;
    user.writeTestConfiguration({{"network/fileshareserver", service.server()}});
    brix::File::createDirectory(user.file("levels"));
    test::writeFile(user.file("levels/mine.xml"), level("My own", "spstart"));
    test::writeFile(user.file("levels/mine_lightmap.png"), "png");
    test::writeFile(user.file("levels/mine_soundmap.png"), "png");

    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
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
                    ASSERT_TRUE(runUntil(
                        game, [&] { return hasMessage(game, "Level 'shared17.xml' download complete"); }));
                    EXPECT_EQ(level("Level 17", "spstart"), test::readFile(user.file("levels/shared17.xml")));
                    // The level lists know it at once.
                    game.item("sp", "level")->setValue(std::string("shared17"));
                    EXPECT_EQ("shared17", game.item("sp", "level")->getValue());
                    // A second look offers to overwrite it.
                    activate(game, "download", "level0");
                    EXPECT_EQ("Download (overwrite existing) [0]", shown(game, "preview", "download"));

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
