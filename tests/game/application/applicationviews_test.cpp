#include "engine/core/audiomanager.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenupage.h"
#include "game/application/application.h"
#include "game/application/camera.h"
#include "game/application/hud.h"
#include "game/world/controller.h"
#include "game/world/human.h"
#include "support/game/gamerun.h"
#include "support/game/inputrig.h"
#include "support/game/localmatch.h"

#include <OgreManualObject.h>

#include <gtest/gtest.h>

#include <memory>

namespace
{
typedef game::Application::TSoundSample Sample;

void expectReverb(const game::Application::TListener& listener, float g, float r, float l, float d)
{
    EXPECT_FLOAT_EQ(g, listener.reverb[0]);
    EXPECT_FLOAT_EQ(r, listener.reverb[1]);
    EXPECT_FLOAT_EQ(l, listener.reverb[2]);
    EXPECT_FLOAT_EQ(d, listener.reverb[3]);
}
} // namespace

TEST(ApplicationAudioListener, HearsTheSurroundingsOfTheLocalHumans)
{
    // No local human: neutral surroundings at the origin.
    game::Application::TListener none = game::Application::listenFrom({}, 25.0f);
    expectReverb(none, 0.175f, 0.015f, 0.02f, 2.5f);
    EXPECT_EQ(Ogre::Vector3::ZERO, none.position);
    EXPECT_EQ(25.0f, none.audibleRange);

    // One human: its own surroundings and place.
    game::Application::TListener one =
        game::Application::listenFrom({{Ogre::Vector3(4, 2, 0), 1.0f, 0.0f}}, 25.0f);
    expectReverb(one, 0.05f, 0.03f, 0.0f, 1.0f);
    EXPECT_EQ(Ogre::Vector3(4, 2, 0), one.position);
    EXPECT_EQ(25.0f, one.audibleRange);

    // Two humans 6 apart: the averages, between them, hearing 3 farther.
    game::Application::TListener two = game::Application::listenFrom(
        {{Ogre::Vector3(0, 0, 0), 1.0f, 1.0f}, {Ogre::Vector3(6, 0, 0), 0.0f, 0.0f}}, 25.0f);
    expectReverb(two, 0.175f, 0.015f, 0.02f, 2.5f);
    EXPECT_EQ(Ogre::Vector3(3, 0, 0), two.position);
    EXPECT_FLOAT_EQ(28.0f, two.audibleRange);
}

// In a running game: the listener follows the local humans, the players' input reaches the
// controllers only while their listener group is enabled, and the controller hints show only in
// a match of modes 1 to 3.
TEST(ApplicationViews, ListenerInputMaskAndHintsFollowThePlayers)
{
    test::UserFolder user;
    user.writeTestConfiguration({{"misc/controllerinfo", "3"}, {"audio/audiblerange", "20"}});
    std::unique_ptr<test::LocalMatch> match;
    float ranges[2] = {0, 0};
    float moved[2] = {0, 0};
    unsigned int sections = 0;
    test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then(
                [&](test::GameRun& game)
                {
                    game.updateGame(0, 0.01f, 0.0f);
                    ranges[0] = brix::AudioManager::getSingleton().getAudibleRange();
                    match.reset(new test::LocalMatch(game, "sp01", 2));
                });
            game.then(
                [&](test::GameRun& game)
                {
                    // The humans stand 1.5 apart: the range grows by half that.
                    game.updateGame(0, 0.01f, 0.0f);
                    ranges[1] = brix::AudioManager::getSingleton().getAudibleRange();

                    // With the menu's group only, the arrow keys walk nobody.
                    game.getInputManager()->setListenerEnableMask(game::Application::INPUT_MENU);
                    const float start = match->human(0)->getPosition().x;
                    game.getInputManager()->keyCallback(game.getWindow(), test::KEY_RIGHT, 0, 1, 0);
                    for (int i = 0; i < 20; ++i)
                        game.updateGame(1, 0.025f, 0.0f);
                    moved[0] = match->human(0)->getPosition().x - start;
                    game.getInputManager()->setListenerEnableMask(game::Application::INPUT_MENU |
                                                                  game::Application::INPUT_PLAYERS);
                    game.getInputManager()->keyCallback(game.getWindow(), test::KEY_RIGHT, 0, 1, 0);
                    for (int i = 0; i < 20; ++i)
                        game.updateGame(1, 0.025f, 0.0f);
                    game.getInputManager()->keyCallback(game.getWindow(), test::KEY_RIGHT, 0, 0, 0);
                    moved[1] = match->human(0)->getPosition().x - start;

                    // Menus-only mode: no hint whatever the bits.
                    game.updateControllerInfo();
                    game.updateGame(0, 0.01f, 0.0f);
                    sections = game.getCamera(0)->getHUD()->getObject()->getNumSections();
                    // The menu takes the input back.
                    game.openMenu("main");
                    EXPECT_EQ(1u, game.getInputManager()->getListenerEnableMask());
                });
            game.then([&](test::GameRun&) { match.reset(); });
        });
    EXPECT_FLOAT_EQ(20.0f, ranges[0]);
    EXPECT_FLOAT_EQ(20.75f, ranges[1]);
    EXPECT_NEAR(0.0f, moved[0], 0.01f);
    EXPECT_GT(moved[1], 1.0f);
    EXPECT_EQ(1u, sections);
}

TEST(ApplicationViews, GamepadLayoutIsChosenOnlyForAGamepadThatIsLookedForAgain)
{
    test::FakeJoysticks joysticks(1);
    test::UserFolder user;
    user.writeTestConfiguration();
    std::vector<int> states;
    test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then(
                [&](test::GameRun& game)
                {
                    brix::OgreMenuPage* page = game.getMenu()->getPage("player2");
                    brix::OgreMenuItem* controller = page->getItem("controller");
                    for (const char* choice : {"Keyboard", "Gamepad 1", "Gamepad 2", "Keyboard+mouse"})
                    {
                        controller->setValue(std::string(choice));
                        game.updateGamepadItems(page);
                        states.push_back(page->getItem("gamepadlayout")->getState());
                    }
                    game.stop();
                });
        });
    EXPECT_EQ((std::vector<int>{3, 0, 0, 3}), states);
}
