#include "game/application/hud.h"

#include "game/application/camera.h"
#include "game/multiplayer/player.h"
#include "game/world/human.h"
#include "support/game/gamerun.h"
#include "support/game/localmatch.h"
#include "support/ogre/manualobjectreader.h"

#include <OgreManualObject.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace
{
typedef game::HUD::TStatus Status;

// The distinct colours the HUD's first section draws in, as (r, g, b, a) rounded to 8 bits.
std::vector<Ogre::ColourValue> colours(const game::HUD& hud)
{
    std::vector<Ogre::ColourValue> result;
    for (Ogre::ColourValue c : test::readSection(*hud.getObject()).colours)
    {
        for (float* channel : {&c.r, &c.g, &c.b, &c.a})
            *channel = std::round(*channel * 255.0f) / 255.0f;
        if (std::find(result.begin(), result.end(), c) == result.end())
            result.push_back(c);
    }
    return result;
}

bool has(const std::vector<Ogre::ColourValue>& colours, const Ogre::ColourValue& wanted)
{
    return std::any_of(colours.begin(), colours.end(),
                       [&](const Ogre::ColourValue& c)
                       {
                           return std::abs(c.r - wanted.r) < 0.003f && std::abs(c.g - wanted.g) < 0.003f &&
                                  std::abs(c.b - wanted.b) < 0.003f && std::abs(c.a - wanted.a) < 0.003f;
                       });
}

const Ogre::ColourValue FAINT(1, 1, 1, 0.25f);
const Ogre::ColourValue SHIELD(0, 0.523f, 0.561f, 1);
} // namespace

TEST(HUD, ColoursTheNameByHealthTheKeysHeldAndEmptyWeaponsRed)
{
    test::UserFolder user;
    user.writeTestConfiguration();
    test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then(
                [&](test::GameRun& game)
                {
                    game::HUD hud(0, game.getSceneManager());
                    Status status;
                    status.name = "Ann (300)";
                    status.health = 0.25f;
                    status.keyMask = 1 | 4 | 8;
                    status.weapons[0] = {"Pistol", 12, 10};
                    status.weapons[1] = {"Rocket launcher", 0, 1};
                    status.currentWeapon = 1;
                    status.shieldEnergy = 0.0f;
                    hud.update(status);
                    const std::vector<Ogre::ColourValue> drawn = colours(hud);
                    // The name from red to green; key A red and key C blue held, B faint, bit 8
                    // not shown; the current slot opaque and red for having no rounds beyond its
                    // clip, the other
                    // faint; an empty shield faint too.
                    EXPECT_TRUE(has(drawn, Ogre::ColourValue(0.75f, 0.25f, 0, 1)));
                    EXPECT_TRUE(has(drawn, Ogre::ColourValue(0.8f, 0, 0, 1)));
                    EXPECT_TRUE(has(drawn, Ogre::ColourValue(0, 0, 0.9f, 1)));
                    EXPECT_FALSE(has(drawn, Ogre::ColourValue(0, 0.8f, 0, 1)));
                    EXPECT_FALSE(has(drawn, Ogre::ColourValue(0.8f, 0.8f, 0, 1)));
                    EXPECT_TRUE(has(drawn, Ogre::ColourValue(1, 0, 0, 1)));
                    EXPECT_TRUE(has(drawn, FAINT));
                    EXPECT_FALSE(has(drawn, SHIELD));
                    EXPECT_EQ(5u, drawn.size());

                    status.shieldEnergy = 0.5f;
                    status.currentWeapon = 0;
                    hud.update(status);
                    EXPECT_TRUE(has(colours(hud), SHIELD));
                    EXPECT_TRUE(has(colours(hud), Ogre::ColourValue(1, 0, 0, 0.25f)));
                    EXPECT_TRUE(has(colours(hud), Ogre::ColourValue(1, 1, 1, 1)));
                    game.stop();
                });
        });
}

TEST(HUD, RebuildsOnlyWhenWhatItShowsChanges)
{
    test::UserFolder user;
    user.writeTestConfiguration();
    std::unique_ptr<test::LocalMatch> match;
    std::vector<unsigned int> rebuilds;
    test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then([&](test::GameRun& game) { match.reset(new test::LocalMatch(game, "sp01")); });
            game.wait(3);
            game.then(
                [&](test::GameRun& game)
                {
                    game::HUD& hud = *game.getCamera(0)->getHUD();
                    rebuilds.push_back(hud.getRebuildCount());
                    // The game's own frames with the human standing still rebuild nothing.
                    game.updateGame(0, 0.01f, 0.0f);
                    game.updateGame(0, 0.01f, 0.0f);
                    rebuilds.push_back(hud.getRebuildCount());
                    EXPECT_TRUE(hud.getObject()->isVisible());
                    match->human(0)->setKeyMask(2);
                    game.updateGame(0, 0.01f, 0.0f);
                    game.updateGame(0, 0.01f, 0.0f);
                    rebuilds.push_back(hud.getRebuildCount());
                    game.getCamera(0)->setInfoText("keyboardinfo");
                    game.updateGame(0, 0.01f, 0.0f);
                    EXPECT_EQ(2u, hud.getObject()->getNumSections());
                    game.getCamera(0)->setInfoText("");
                    game.updateGame(0, 0.01f, 0.0f);
                    EXPECT_EQ(1u, hud.getObject()->getNumSections());
                    rebuilds.push_back(hud.getRebuildCount());

                    // Hidden while the menu shows, and without a human.
                    // The view follows the menu from the next frame on.
                    game.openMenu("main");
                    game.updateGame(0, 0.01f, 0.0f);
                    game.updateGame(0, 0.01f, 0.0f);
                    EXPECT_FALSE(hud.getObject()->isVisible());
                    game.closeMenu(true);
                    game.getCamera(0)->setPlayer(0);
                    game.updateGame(0, 0.01f, 0.0f);
                    game.updateGame(0, 0.01f, 0.0f);
                    EXPECT_FALSE(hud.getObject()->isVisible());
                });
            game.then([&](test::GameRun&) { match.reset(); });
        });
    ASSERT_EQ(4u, rebuilds.size());
    EXPECT_EQ(rebuilds[0], rebuilds[1]);
    EXPECT_EQ(rebuilds[1] + 1, rebuilds[2]);
    EXPECT_EQ(rebuilds[2] + 2, rebuilds[3]);
}
