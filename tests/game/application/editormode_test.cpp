#include "game/application/application.h"
#include "engine/core/inputmanager.h"
#include "game/editor/leveleditor.h"
#include "game/editor/levelelement.h"
#include "game/editor/levelelementlayer.h"
#include "game/editor/levelelementposition.h"
#include "game/editor/levelelementselector.h"
#include "game/editor/levelelementtype.h"
#include "game/application/camera.h"
#include "game/level/level.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/human.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenuactionitem.h"
#include "network/highscoremanager.h"
#include "support/game/gamerun.h"
#include "support/loopback.h"
#include "support/services.h"

#include <GLFW/glfw3.h>
#include <OgreEntity.h>
#include <OgreSceneManager.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace
{
using test::GameRun;

// GLFW codes the editor listens to.
enum
{
    KEY_SPACE = 32,
    KEY_Y = 89,
    KEY_Z = 90,
    KEY_L = 76,
    KEY_LEFT_CONTROL = 341,
    BUTTON_LEFT = 0,
    BUTTON_RIGHT = 1
};

// The pointer as the window system reports it: absolute positions, from which the input
// manager hands the editor motion. It keeps the reported position near the origin, as the
// input manager brings a captured cursor back there.
class Pointer
{
public:
    explicit Pointer(GameRun& game) : mGame(game) {}

    // Makes the input manager's last position known: two reports of one place far out. The
    // window system's own pointer reports are cut off first, so that only the test moves it: the
    // window's capture of the cursor moves the pointer too.
    void synchronise()
    {
        glfwSetCursorPosCallback(mGame.getWindow(), nullptr);
        glfwSetMouseButtonCallback(mGame.getWindow(), nullptr);
        glfwSetScrollCallback(mGame.getWindow(), nullptr);
        report(2000.0, 2000.0);
        report(2000.0, 2000.0);
        mX = mY = 0.0;
    }
    // Moves the editor's cursor to the world point.
    void moveTo(float x, float y)
    {
        game::LevelEditor& editor = *mGame.getLevelEditor();
        for (int i = 0; i < 100; ++i)
        {
            const Ogre::Vector2 cursor = editor.getCursorPosition();
            const double dx = (x - cursor.x) * game::LevelEditor::POINTER_SCALE;
            const double dy = (cursor.y - y) * game::LevelEditor::POINTER_SCALE;
            if (std::fabs(dx) < 1e-3 && std::fabs(dy) < 1e-3)
                return;
            mX += std::max(-300.0, std::min(300.0, dx));
            mY += std::max(-300.0, std::min(300.0, dy));
            report(mX, mY);
            // The input manager brings its last position back to the origin on the report
            // after one beyond its range, which then moves nothing.
            if (std::fabs(mX) > brix::InputManager::CURSOR_RANGE ||
                std::fabs(mY) > brix::InputManager::CURSOR_RANGE)
            {
                report(mX, mY);
                mX = mY = 0.0;
            }
        }
    }
    void click(int button = BUTTON_LEFT)
    {
        mGame.getInputManager()->mouseButtonCallback(mGame.getWindow(), button, 1, 0);
        mGame.getInputManager()->mouseButtonCallback(mGame.getWindow(), button, 0, 0);
    }

private:
    void report(double x, double y)
    {
        mGame.getInputManager()->mousePositionCallback(mGame.getWindow(), x, y);
    }

    GameRun& mGame;
    double mX = 0.0, mY = 0.0;
};

void withControl(GameRun& game, int key)
{
    game.getInputManager()->keyCallback(game.getWindow(), KEY_LEFT_CONTROL, 0, 1, 0);
    game.press(key);
    game.getInputManager()->keyCallback(game.getWindow(), KEY_LEFT_CONTROL, 0, 0, 0);
}

// Picks the type from the palette with the pointer (Tab opens it).
void choose(GameRun& game, Pointer& pointer, const std::string& type)
{
    game::LevelEditor& editor = *game.getLevelEditor();
    std::vector<game::LevelElement*> previews;
    editor.getSelector()->getLayer()->collectElements(previews);
    Ogre::Vector3 current = Ogre::Vector3::ZERO, wanted = Ogre::Vector3::ZERO;
    for (const game::LevelElement* preview : previews)
    {
        if (preview->getType() == editor.getCurrentType())
            current = preview->getPosition(0)->getPosition();
        if (preview->getType()->getName() == type)
            wanted = preview->getPosition(0)->getPosition();
    }
    const Ogre::Vector2 cursor = editor.getCursorPosition();
    pointer.moveTo(cursor.x + wanted.x - current.x, cursor.y + wanted.y - current.y);
}

std::vector<std::string> describe(const game::LevelEditor& editor)
{
    std::vector<game::LevelPoint> points;
    editor.storeElements(points);
    std::vector<std::string> lines;
    for (const game::LevelPoint& point : points)
    {
        const Ogre::Vector3 p = point.getPosition();
        lines.push_back(point.name + "@" + std::to_string(p.x) + "," + std::to_string(p.y) + "," +
                        std::to_string(p.z));
    }
    return lines;
}

// The editor in the running game on the test run's X server, driven by keys and a pointer
// injected through the game's input manager: a level built, undone and redone, saved, reopened
// to the same elements and its maps made again. With KORVANE_SCREENS_DIR set, the pictures of
// the editor and its palette go there.
TEST(EditorMode, BuildsSavesReopensAndLightsALevelFromInjectedInput)
{
    test::UserFolder user;
    user.writeTestConfiguration();
    const char* screens = std::getenv("KORVANE_SCREENS_DIR");
    const std::string folder = screens ? screens : user.path();
    std::unique_ptr<Pointer> pointer;
    std::vector<std::string> built, undone, reopened;
    bool generated = false;

    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.wait(70);
            game.then(
                [&](GameRun& game)
                {
                    game.openLevelEditor("xvfbroom", true);
                    game.closeMenu(true);
                    pointer = std::make_unique<Pointer>(game);
                    pointer->synchronise();
                    game.press(KEY_SPACE);
                    for (float x = -6.0f; x <= 6.0f; x += 1.0f)
                    {
                        pointer->moveTo(x, -0.5f);
                        pointer->click();
                    }
                    for (float y = 0.5f; y <= 3.5f; y += 1.0f)
                        for (float x : {-6.0f, 6.0f})
                        {
                            pointer->moveTo(x, y);
                            pointer->click();
                        }
                    pointer->moveTo(-1.0f, 0.0f);
                    game.press(test::KEY_TAB);
                    choose(game, *pointer, "crate");
                });
            // The menu frame slides away meanwhile.
            game.wait(80);
            game.then([&](GameRun& game) { game.screenshot(folder + "/editor-selector.png"); });
            game.then(
                [&](GameRun& game)
                {
                    pointer->click();
                    pointer->moveTo(2.0f, 0.0f);
                    pointer->click();
                    pointer->moveTo(3.0f, 0.0f);
                    pointer->click();
                    pointer->click(BUTTON_RIGHT);
                    choose(game, *pointer, "spstart");
                });
            game.wait(2);
            game.then(
                [&](GameRun& game)
                {
                    pointer->click();
                    pointer->moveTo(-4.0f, 0.5f);
                    pointer->click();
                    game.press(KEY_SPACE);
                    pointer->moveTo(2.0f, 0.2f);
                    pointer->click();
                    pointer->moveTo(-1.0f, 2.5f);
                    built = describe(*game.getLevelEditor());
                });
            game.wait(5);
            game.then([&](GameRun& game) { game.screenshot(folder + "/editor.png"); });
            game.then(
                [&](GameRun& game)
                {
                    withControl(game, KEY_Z);
                    undone = describe(*game.getLevelEditor());
                    withControl(game, KEY_Y);
                    game.getLevel()->setTitle("Injected");
                    game.getLevelEditor()->saveLevel();
                    game.closeLevelEditor();
                    game.getLevel()->updateLevelCache();
                    game.openLevelEditor("xvfbroom", false);
                    game.closeMenu(true);
                    reopened = describe(*game.getLevelEditor());
                    game.press(KEY_L);
                });
            for (int i = 0; i < 3000; ++i)
                game.then(
                    [&](GameRun& game)
                    {
                        if (!game.getLevelEditor()->isGeneratingMaps())
                        {
                            generated = game.getLevel()->hasLightMap() && game.getLevel()->hasSoundMap();
                            game.stop();
                        }
                    });
        },
        {"--no-update-check"});

    EXPECT_EQ(outcome.result, 0);
    ASSERT_EQ(built.size(), 24u);
    EXPECT_EQ(built.front(), "techfloor@-6.000000,-0.500000,0.000000");
    EXPECT_EQ(built[21], "crate@2.000000,0.000000,0.000000");
    EXPECT_EQ(built[22], "crate@3.000000,0.000000,0.000000");
    EXPECT_EQ(built[23], "spstart@-4.000000,0.500000,0.000000");
    EXPECT_EQ(undone, std::vector<std::string>(built.begin(), built.end() - 1));
    EXPECT_EQ(reopened, built);
    EXPECT_TRUE(generated);
    EXPECT_TRUE(std::ifstream(user.file("levels/xvfbroom.xml")).good());
}
} // namespace

namespace
{
const int KEY_P = 80;

game::Human* previewHuman(GameRun& game)
{
    game::Player* player = game.getPlayerManager()->getPlayer(game.getClient(0)->getPlayerIndex());
    return player ? static_cast<game::Human*>(player->getHuman()) : nullptr;
}

// The editor's cursor is drawn.
bool cursorShown(GameRun& game)
{
    auto entities = game.getSceneManager()->getMovableObjectIterator("Entity");
    while (entities.hasMoreElements())
    {
        const auto* entity = static_cast<const Ogre::Entity*>(entities.getNext());
        if (entity->getMesh()->getName() == "leveleditorcursor")
            return entity->isVisible();
    }
    return false;
}

// The preview's human walks right, the arrow key held, until the level is complete; false when
// that did not happen within the ticks.
bool playToExit(GameRun& game)
{
    bool complete = false;
    for (int i = 0; i < 400 && !previewHuman(game); ++i)
        game.runTicks(1);
    game.getInputManager()->keyCallback(game.getWindow(), test::KEY_RIGHT, 0, 1, 0);
    for (int i = 0; i < 800 && !complete; ++i)
    {
        game.runTicks(1);
        complete = game.getPlayerManager()->getMatchState() == game::PlayerManager::Complete;
    }
    game.getInputManager()->keyCallback(game.getWindow(), test::KEY_RIGHT, 0, 0, 0);
    return complete;
}
} // namespace

// The editor opened from the level page on a new level, a floor, a start and an exit placed,
// the level saved and played in the preview (the first local client joins the server's preview
// match, the camera follows its human, the arrow keys walk it to the exit) with no editor cursor
// over it. P or Escape after the end gives the level back to the editor; Escape shows the
// results over it, filed under the saved level, and they lead back to the editor's page. "Exit
// editor" goes back to the menus, which look exactly as before: the editor leaves nothing.
TEST(EditorMode, OpensFromTheMenusPreviewPlaysTheLevelAndExits)
{
    test::UserFolder user;
    user.writeTestConfiguration();
    // Frames for the menu frame to slide in and the camera to settle on the menu's view.
    const unsigned int SETTLE_FRAMES = 120;
    std::unique_ptr<Pointer> pointer;
    unsigned int modes[3] = {0, 0, 0};
    unsigned int masks[3] = {0, 0, 0};
    bool menuShown = true, inMatch = false, followed = false, stopped = false;
    int viewport = -1;
    float walked = 0.0f;
    std::string exitPage, score;

    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.wait(SETTLE_FRAMES);
            game.then([&](GameRun& game) { game.screenshot(user.file("menu-before.png")); });
            game.then(
                [&](GameRun& game)
                {
                    game.getMenu()->show("levels");
                    game.item("levels", "level")->setIndex(0);
                    game.item("levels", "new")->setValue(std::string("xvfbplay"));
                    game.getMenu()->getPage("levels")->setCurrentItem("edit");
                    game.press(test::KEY_ENTER);
                    modes[0] = game.getGameMode();
                    menuShown = game.getMenu()->isVisible();
                    viewport = game.getCamera(0)->getViewportMode();
                    masks[0] = game.getInputManager()->getListenerEnableMask();
                    pointer = std::make_unique<Pointer>(game);
                    pointer->synchronise();
                    game.press(KEY_SPACE);
                    for (float x = -6.0f; x <= 6.0f; x += 1.0f)
                    {
                        pointer->moveTo(x, -0.5f);
                        pointer->click();
                    }
                    for (const std::string marker : {"spstart", "exit"})
                    {
                        pointer->moveTo(-1.0f, 0.0f);
                        game.press(test::KEY_TAB);
                        choose(game, *pointer, marker);
                        game.runTicks(1);
                        pointer->click();
                        pointer->moveTo(marker == "exit" ? -1.0f : -4.0f, 0.5f);
                        pointer->click();
                    }
                    game.press(KEY_SPACE);
                    game.press(test::KEY_ESCAPE);
                    game.runTicks(1);
                    game.press(test::KEY_ENTER);

                    game.press(KEY_P);
                    masks[1] = game.getInputManager()->getListenerEnableMask();
                    for (int i = 0; i < 400 && !inMatch; ++i)
                    {
                        game.runTicks(1);
                        inMatch = game.getClient(0)->getConnectionState() == game::Client::STATE_IN_MATCH &&
                                  previewHuman(game) != nullptr;
                    }
                    if (!inMatch)
                        return;
                    followed = game.getCamera(0)->getPlayer() == game.getClient(0)->getPlayerIndex();
                    const float start = previewHuman(game)->getPosition().x;
                    ASSERT_TRUE(playToExit(game));
                    walked = previewHuman(game)->getPosition().x - start;
                    EXPECT_FALSE(cursorShown(game));
                    // P ends it: the results that Escape would have shown are gone with it.
                    game.press(KEY_P);
                    stopped = !game.getServer()->isStarted() &&
                              game.getClient(0)->getConnectionState() == game::Client::STATE_IDLE &&
                              game.getCamera(0)->getPlayer() == 0;
                    modes[1] = game.getGameMode();
                    masks[2] = game.getInputManager()->getListenerEnableMask();
                    game.press(test::KEY_ESCAPE);
                    game.runTicks(1);
                    EXPECT_EQ("editor", game.currentPage());
                    game.press(test::KEY_ESCAPE);
                    game.runTicks(1);

                    // Escape after the end: the editor has the level back, nothing of the match
                    // is left, and the results come over the level without the cursor.
                    game.press(KEY_P);
                    ASSERT_TRUE(playToExit(game));
                    score = std::to_string(
                        game.getPlayerManager()->getPlayer(game.getClient(0)->getPlayerIndex())->getScore());
                    game.press(test::KEY_ESCAPE);
                    game.runTicks(1);
                    EXPECT_EQ("newscore", game.currentPage());
                    EXPECT_EQ(game::Application::MODE_EDITOR, game.getGameMode());
                    EXPECT_EQ(game::PlayerManager::NoMatch, game.getPlayerManager()->getMatchState());
                    std::vector<game::LevelElement*> elements;
                    game.getLevelEditor()->getLayer()->collectElements(elements);
                    ASSERT_EQ(15u, elements.size());
                    EXPECT_TRUE(elements.back()->getPosition(0)->isVisible());
                    EXPECT_FALSE(cursorShown(game));
                    game.press(test::KEY_ENTER);
                    EXPECT_EQ("highscore", game.currentPage());
                    EXPECT_EQ(brix::OgreMenuItem::STATE_DISABLED,
                              game.item("highscore", "replay")->getState());
                    game.press(test::KEY_ENTER);
                    EXPECT_EQ("editor", game.currentPage());
                    game.press(test::KEY_ESCAPE);
                    game.runTicks(1);
                    EXPECT_TRUE(cursorShown(game));
                });
            game.then(
                [&](GameRun& game)
                {
                    game.press(test::KEY_ESCAPE);
                    game.runTicks(1);
                    game.getMenu()->getPage("editor")->setCurrentItem("exit");
                    game.press(test::KEY_ENTER);
                    modes[2] = game.getGameMode();
                    exitPage = game.currentPage();
                    // The score the preview won is the saved level's in Single player.
                    game.item("sp", "level")->setValue(std::string("xvfbplay"));
                    game.onMenuEvent(game.item("sp", "score"), brix::OgreMenuListener::EVENT_ITEM_ACTIVATED);
                    EXPECT_EQ(
                        "1|Tester|" + score,
                        static_cast<brix::OgreMenuActionItem*>(game.item("highscore", "score0"))->getTitle());
                });
            game.wait(SETTLE_FRAMES);
            game.then([&](GameRun& game) { game.screenshot(user.file("menu-after.png")); });
            // A listed level whose file went since the lists were filled opens no editor, which
            // could never save: the game stays at the menus, says why and lists it no more.
            game.then(
                [&](GameRun& game)
                {
                    std::remove(user.file("levels/xvfbplay.xml").c_str());
                    game.getMenu()->show("levels");
                    game.item("levels", "level")->setValue(std::string("xvfbplay"));
                    game.getMessageDisplay()->clear();
                    game.onMenuEvent(game.item("levels", "edit"),
                                     brix::OgreMenuListener::EVENT_ITEM_ACTIVATED);
                    EXPECT_EQ(game::Application::MODE_MENUS, game.getGameMode());
                    EXPECT_EQ(nullptr, game.getLevelEditor());
                    EXPECT_EQ("levels", game.currentPage());
                    EXPECT_EQ(std::vector<std::string>{"Unable to load level 'xvfbplay' for editing, see "
                                                       "application.log for details"},
                              game.getMessageDisplay()->getMessages());
                    game.item("levels", "level")->setValue(std::string("xvfbplay"));
                    EXPECT_NE("xvfbplay", game.item("levels", "level")->getValue());
                });
        },
        {"--no-update-check"});

    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(game::Application::MODE_EDITOR, modes[0]);
    EXPECT_FALSE(menuShown);
    EXPECT_EQ(game::Camera::VIEWPORT_FULL, viewport);
    EXPECT_EQ(game::Application::INPUT_MENU | game::Application::INPUT_EDITOR, masks[0]);
    // While the preview plays, the players' input goes through as well.
    EXPECT_EQ(game::Application::INPUT_MENU | game::Application::INPUT_EDITOR |
                  game::Application::INPUT_PLAYERS,
              masks[1]);
    EXPECT_TRUE(inMatch);
    EXPECT_TRUE(followed);
    EXPECT_GT(walked, 1.0f);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(game::Application::MODE_EDITOR, modes[1]);
    EXPECT_EQ(masks[0], masks[2]);
    EXPECT_EQ(game::Application::MODE_MENUS, modes[2]);
    EXPECT_EQ("main", exitPage);
    const std::string before = test::readFile(user.file("menu-before.png"));
    EXPECT_FALSE(before.empty());
    EXPECT_TRUE(before == test::readFile(user.file("menu-after.png")))
        << "the menu after the editor differs from the menu before it";
}

namespace
{
// The game's update, one tick at a time, until the level's online table has come anew.
bool fetchOnlineTable(GameRun& game, const std::string& level, std::list<brix::HighScore>& scores)
{
    game.getHighScoreManager()->refresh(level);
    return test::pollUntil([&] { game.runTicks(1); },
                           [&]
                           {
                               return game.getHighScoreManager()->getOnlineHighScores(level, scores) ==
                                      brix::HighScoreManager::STATUS_AVAILABLE;
                           },
                           15000, 10);
}
} // namespace

// With --developer a campaign level opens in the editor. A preview of it as shipped files its
// score in the local table only, never in its online one; a preview of edits not saved files
// none at all.
TEST(EditorMode, PreviewsOfACampaignLevelStayOffItsOnlineTableAndEditsFileNoScore)
{
    test::WebService web;
    ASSERT_TRUE(web.process.isRunning());
    test::UserFolder user;
    user.writeTestConfiguration({{"network/highscoresurl", web.url("/api/v1/highscores")}});
    std::vector<std::string> pages;
    std::vector<size_t> local;
    size_t online = 0;

    GameRun::TOutcome outcome = GameRun::play(
        [&](GameRun& game)
        {
            game.then(
                [&](GameRun& game)
                {
                    // Known and empty, the online table would take any score.
                    std::list<brix::HighScore> scores;
                    ASSERT_TRUE(fetchOnlineTable(game, "sp01", scores));
                    ASSERT_TRUE(scores.empty());
                    game.getMenu()->show("levels");
                    game.item("levels", "level")->setValue(std::string("sp01"));
                    game.onMenuEvent(game.item("levels", "edit"),
                                     brix::OgreMenuListener::EVENT_ITEM_ACTIVATED);
                    ASSERT_EQ(game::Application::MODE_EDITOR, game.getGameMode());
                    Pointer pointer(game);
                    pointer.synchronise();
                    for (bool edited : {false, true})
                    {
                        if (edited)
                        {
                            game.press(KEY_SPACE);
                            const Ogre::Vector2 cursor = game.getLevelEditor()->getCursorPosition();
                            pointer.moveTo(cursor.x, cursor.y + 20.0f);
                            pointer.click();
                            game.press(KEY_SPACE);
                        }
                        game.press(KEY_P);
                        for (int i = 0; i < 400 && !previewHuman(game); ++i)
                            game.runTicks(1);
                        ASSERT_NE(nullptr, previewHuman(game));
                        game.getEventDispatcher()->post(game::EventDispatcher::ExitReached,
                                                        static_cast<int>(previewHuman(game)->getId()), 0, "");
                        for (int i = 0; i < 10 && game.getPlayerManager()->getMatchState() !=
                                                      game::PlayerManager::Complete;
                             ++i)
                            game.runTicks(1);
                        game.press(test::KEY_ESCAPE);
                        game.runTicks(1);
                        pages.push_back(game.currentPage());
                        // The name asked for, the results, and back to the editor.
                        if (game.currentPage() == "newscore")
                            game.press(test::KEY_ENTER);
                        game.press(test::KEY_ENTER);
                        game.press(test::KEY_ESCAPE);
                        game.runTicks(1);
                        game.getHighScoreManager()->getLocalHighScores("sp01", scores);
                        local.push_back(scores.size());
                    }
                    ASSERT_TRUE(fetchOnlineTable(game, "sp01", scores));
                    online = scores.size();
                });
        },
        {"--no-update-check", "--developer"});

    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ((std::vector<std::string>{"newscore", "highscore"}), pages);
    EXPECT_EQ((std::vector<size_t>{1, 1}), local);
    EXPECT_EQ(0u, online);
}
