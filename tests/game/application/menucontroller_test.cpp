#include "game/application/menucontroller.h"

#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogremenutextitem.h"
#include "engine/core/gamepadlayout.h"
#include "game/application/keyboardcontroller.h"
#include "game/world/eventdispatcher.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/imagefont.h"

#include <OgreSceneManager.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
struct RecordingListener : public game::EventDispatcher::Listener
{
    void onEvent(unsigned int id, int a, int b, const std::string& text) override
    {
        events.push_back(std::to_string(id) + ":" + std::to_string(a));
    }
    std::vector<std::string> events;
};

// A headless menu with a page of a text item and two actions, driven through the controller.
class MenuControllerTest : public testing::Test
{
protected:
    MenuControllerTest()
        : menu(&ogre.sceneManager(), ogre.sceneManager().getRootSceneNode(), test::ImageFont::NAME, 0.1f,
               Ogre::ColourValue::White, Ogre::ColourValue::White, true, nullptr),
          controller(&menu, &dispatcher)
    {
        brix::OgreMenuPage* page = menu.addPage("main", "Main", nullptr);
        text = page->addTextItem("name", "Name", "", 15, "");
        page->addActionItem("first", "First", "", "");
        page->addActionItem("second", "Second", "", "");
        dispatcher.addListener(&listener);
    }

    void press(brix::KeyCode key) { controller.onKeyPress(key, 0); }
    void type(unsigned int character) { controller.onKeyPress(0, character); }
    std::vector<std::string> dispatched()
    {
        listener.events.clear();
        dispatcher.dispatch();
        return listener.events;
    }
    std::string current() { return menu.getCurrentPage()->getCurrentItem()->getName(); }

    test::HeadlessOgre ogre;
    test::ImageFont font;
    brix::OgreMenu menu;
    game::EventDispatcher dispatcher;
    RecordingListener listener;
    game::MenuController controller;
    brix::OgreMenuItem* text = nullptr;
};
} // namespace

TEST_F(MenuControllerTest, PostsTheMenuKeysAsGameEventsWhetherOrNotTheMenuIsShown)
{
    press(game::MenuController::KEY_ESCAPE);
    press(game::MenuController::KEY_T);
    press(game::MenuController::KEY_TAB);
    for (brix::KeyCode key = 293; key <= 301; ++key)
        press(key);
    // F3 and F13 are not menu keys.
    press(292);
    press(302);
    EXPECT_EQ(dispatched(), (std::vector<std::string>{"31:0", "32:0", "33:0", "34:4", "34:5", "34:6", "34:7",
                                                      "34:8", "34:9", "34:10", "34:11", "34:12"}));

    // With the menu hidden, navigation and typing do nothing.
    press(game::MenuController::KEY_DOWN);
    type('a');
    menu.show("main");
    EXPECT_EQ(current(), "name");
    EXPECT_EQ(text->getValue(), "");
}

TEST_F(MenuControllerTest, NavigatesAndTypesWhileTheMenuIsShown)
{
    menu.show("main");
    // T both posts its event and, as a character, types on the text item.
    press(game::MenuController::KEY_T);
    type('t');
    type('O');
    type(31);
    type(255);
    type(254);
    EXPECT_EQ(text->getValue(), "tO\xC3\xBE");
    press(game::MenuController::KEY_BACKSPACE);
    EXPECT_EQ(text->getValue(), "tO");
    EXPECT_EQ(dispatched(), std::vector<std::string>{"32:0"});

    // Holding Control, "c" and "v" copy and paste, and type nothing; released, "c" types.
    press(game::MenuController::KEY_LEFT_CONTROL);
    press(game::MenuController::KEY_C);
    type('c');
    EXPECT_EQ(text->getValue(), "tO");
    EXPECT_TRUE(controller.isControlHeld());
    controller.onKeyRelease(game::MenuController::KEY_LEFT_CONTROL);
    EXPECT_FALSE(controller.isControlHeld());
    type('c');
    EXPECT_EQ(text->getValue(), "tOc");

    press(game::MenuController::KEY_DOWN);
    EXPECT_EQ(current(), "first");
    press(game::MenuController::KEY_DOWN);
    press(game::MenuController::KEY_DOWN);
    EXPECT_EQ(current(), "name");
    press(game::MenuController::KEY_UP);
    EXPECT_EQ(current(), "second");
}

TEST_F(MenuControllerTest, TheFirstPlayersGamepadWalksTheMenuOneStepPerPush)
{
    // Raw numbers of the "Xbox" layout: left stick x 0 and y 1, lower action 0, right action 1,
    // select 6; the pad of the second player is joystick 1.
    brix::GamepadLayout layout;
    ASSERT_TRUE(layout.loadLayouts("gamepads.xml"));
    ASSERT_TRUE(layout.setLayout("Xbox"));
    game::KeyboardController keyboard(0);
    controller.bindGamepad(&layout, 0);
    ASSERT_TRUE(controller.hasGamepad());

    // Hidden, only "select" reaches the game.
    controller.onJoystickMove(0, 1, 0.9f);
    controller.onJoystickButtonPress(0, 1);
    controller.onJoystickButtonPress(0, 6);
    EXPECT_EQ(dispatched(), std::vector<std::string>{"31:0"});

    menu.show("main");
    controller.onJoystickMove(0, 1, 0.9f);
    EXPECT_EQ(current(), "first");
    // Held down, it does not repeat, nor does the other axis step meanwhile.
    controller.onJoystickMove(0, 1, 1.0f);
    controller.onJoystickMove(0, 0, -0.9f);
    EXPECT_EQ(current(), "first");
    controller.onJoystickMove(0, 1, 0.3f);
    controller.onJoystickMove(0, 1, 0.9f);
    EXPECT_EQ(current(), "first");
    controller.onJoystickMove(0, 1, 0.1f);
    controller.onJoystickMove(0, 1, -0.6f);
    EXPECT_EQ(current(), "name");
    // Another pad is not the first player's.
    controller.onJoystickMove(0, 1, 0.0f);
    controller.onJoystickMove(1, 1, 0.9f);
    controller.onJoystickButtonPress(1, 6);
    EXPECT_EQ(current(), "name");
    controller.onJoystickButtonPress(0, 1);
    EXPECT_EQ(dispatched(), std::vector<std::string>{"31:0"});

    // The keyboard leaves only the keys.
    controller.setController(&keyboard);
    EXPECT_FALSE(controller.hasGamepad());
    controller.onJoystickMove(0, 1, 0.9f);
    EXPECT_EQ(current(), "name");
}
