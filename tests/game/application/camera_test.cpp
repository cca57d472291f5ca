#include "game/application/camera.h"

#include "game/application/hud.h"
#include "game/level/level.h"
#include "game/multiplayer/player.h"
#include "game/world/eventdispatcher.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "game/world/weapon.h"
#include "support/game/gamerun.h"
#include "support/game/levelbuilder.h"
#include "support/game/localmatch.h"
#include "support/tempdir.h"

#include <OgreCamera.h>
#include <OgreCompositor.h>
#include <OgreCompositorChain.h>
#include <OgreCompositorInstance.h>
#include <OgreCompositorManager.h>
#include <OgreImage.h>
#include <OgreRenderWindow.h>
#include <OgreViewport.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{
// Runs check once in a frame of a running game with sp01 under way (or the level given, saved
// as a user level), its one human followed by camera 0, then ends the match and the game.
void withMatch(const std::function<void(test::GameRun&, test::LocalMatch&)>& check, unsigned int humans = 1,
               std::vector<std::pair<std::string, std::string>> configuration = {},
               const test::LevelBuilder* level = nullptr)
{
    test::UserFolder user;
    user.writeTestConfiguration(configuration);
    std::unique_ptr<test::LocalMatch> match;
    const test::GameRun::TOutcome outcome = test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then(
                [&](test::GameRun& game)
                {
                    const bool saved = !level || level->save(*game.getLevel(), "hall");
                    ASSERT_TRUE(saved);
                    // A match plays what the lists know of the level's file.
                    game.getLevel()->updateLevelCache();
                    match.reset(new test::LocalMatch(game, level ? "hall" : "sp01", humans));
                });
            game.then([&](test::GameRun& game) { check(game, *match); });
            game.then([&](test::GameRun&) { match.reset(); });
        });
    EXPECT_EQ(0, outcome.result);
}

// The window's picture as the camera draws it now, without the game's next frame.
Ogre::Image drawNow(test::GameRun& game)
{
    Ogre::RenderWindow& window = *game.getRenderWindow();
    window.update(false);
    Ogre::Image picture(Ogre::PF_BYTE_RGBA, window.getWidth(), window.getHeight());
    window.copyContentsToMemory(Ogre::Box(0, 0, window.getWidth(), window.getHeight()),
                                picture.getPixelBox());
    return picture;
}

// How far around a point the glow is looked for, in pixels at 640 x 360.
const int GLOW_REACH = 20;

// The light (red, green and blue) of a square of pixels around a point of the world, as the
// camera sees it in its viewport.
float lightAround(const Ogre::Image& picture, game::Camera& camera, const Ogre::Vector3& point, int half)
{
    const Ogre::Vector3 screen =
        camera.getCamera()->getProjectionMatrix() * (camera.getCamera()->getViewMatrix() * point);
    const Ogre::Viewport& view = *camera.getViewport();
    const int cx = view.getActualLeft() + static_cast<int>((screen.x + 1.0f) * 0.5f * view.getActualWidth());
    const int cy = view.getActualTop() + static_cast<int>((1.0f - screen.y) * 0.5f * view.getActualHeight());
    float light = 0.0f;
    for (int y = std::max(0, cy - half); y < std::min<int>(picture.getHeight(), cy + half); ++y)
        for (int x = std::max(0, cx - half); x < std::min<int>(picture.getWidth(), cx + half); ++x)
        {
            const Ogre::ColourValue colour = picture.getColourAt(x, y, 0);
            light += colour.r + colour.g + colour.b;
        }
    return light;
}

// Turns an item to a bob phase, as its frames would.
void turnTo(game::Item& item, float phase)
{
    item.interpolate(std::fmod(phase - item.getBobPhase() + Ogre::Math::TWO_PI, Ogre::Math::TWO_PI) /
                         game::Item::BOB_SPEED,
                     1.0f);
}

// The mean colour of a picture.
Ogre::ColourValue meanColour(const Ogre::Image& picture)
{
    Ogre::ColourValue sum(0.0f, 0.0f, 0.0f, 0.0f);
    for (uint32_t y = 0; y < picture.getHeight(); ++y)
        for (uint32_t x = 0; x < picture.getWidth(); ++x)
            sum += picture.getColourAt(x, y, 0);
    return sum / static_cast<float>(picture.getWidth() * picture.getHeight());
}

// The window drawn now with the cameras' filters, and without them.
struct TFiltered
{
    Ogre::Image on, off;
};
TFiltered drawFiltered(test::GameRun& game)
{
    TFiltered pictures{drawNow(game), Ogre::Image()};
    bool enabled[game::Application::LOCAL_PLAYERS];
    for (unsigned int i = 0; i < game::Application::LOCAL_PLAYERS; ++i)
    {
        enabled[i] = game.getCamera(i)->isCompositorsEnabled();
        game.getCamera(i)->setCompositorsEnabled(false);
    }
    pictures.off = drawNow(game);
    for (unsigned int i = 0; i < game::Application::LOCAL_PLAYERS; ++i)
        game.getCamera(i)->setCompositorsEnabled(enabled[i]);
    return pictures;
}

// How much the filters add to the light around a point of the world in a camera's view.
float glowAround(const TFiltered& pictures, game::Camera& camera, const Ogre::Vector3& point,
                 int half = GLOW_REACH)
{
    return lightAround(pictures.on, camera, point, half) - lightAround(pictures.off, camera, point, half);
}

// A hall without a back wall: the small room's floor, longer, with a wall of the walkway's
// depth at x = 14; far from the start, and from the middles of the parts the level's geometry is
// drawn in, a ceiling with its lamps and a lab wall with its window.
test::LevelBuilder hall()
{
    test::LevelBuilder hall;
    hall.smallRoom()
        .row("techfloor", 10.0f, 22.0f, 4.0f, -0.5f)
        .block("techwall", Ogre::Vector3(14.0f, 2.0f, 0.0f))
        .block("techceiling", Ogre::Vector3(60.0f, -15.5f, 0.0f))
        .block("labwall", Ogre::Vector3(-60.0f, 2.0f, -1.8f));
    return hall;
}
// A lamp behind the hall's wall, and where cameras see it hidden and past the wall (near enough
// that the lamp is over a texel of the glow picture wide).
const Ogre::Vector3 BEHIND_WALL(14.0f, 1.5f, -3.0f);
const Ogre::Vector3 WALL_HIDES[2] = {{14.0f, 1.5f, -1.0f}, {14.0f, 2.0f, 3.0f}};
const Ogre::Vector3 PAST_WALL[2] = {{15.0f, 1.5f, -1.0f}, {18.0f, 2.0f, 2.0f}};

// The human's health becomes exactly this (the shipped player's integrity is 100).
void hurtTo(game::Human* human, float health)
{
    human->damage(100.0f * (human->getHealth() - health), human->getPosition(), Ogre::Vector3::UNIT_X, 0);
}
} // namespace

TEST(Camera, FlashesRedOnHealthDropsAndBeatsTheHeartWhileCritical)
{
    withMatch(
        [](test::GameRun& game, test::LocalMatch& match)
        {
            game::Camera& camera = *game.getCamera(0);
            game::Human* human = match.human(0);
            camera.tick();
            // A drop of 0.04 is no flash; of 0.1 half a flash, fading in half a second.
            hurtTo(human, 0.96f);
            camera.tick();
            EXPECT_EQ(0.0f, camera.getRedFlash());
            hurtTo(human, 0.86f);
            camera.tick();
            EXPECT_NEAR(0.5f, camera.getRedFlash(), 1e-4f);
            // On the screen: the picture dimmed to 0.725 and washed with 0.275 of red, then
            // left alone once the flash is gone.
            float redder[2];
            for (int faded = 0; faded < 2; ++faded)
            {
                const TFiltered pictures = drawFiltered(game);
                redder[faded] = meanColour(pictures.on).r - meanColour(pictures.off).r;
                camera.update(0.5f);
            }
            EXPECT_GT(redder[0], 0.15f);
            EXPECT_NEAR(0.0f, redder[1], 0.05f);
            hurtTo(human, 0.76f);
            camera.tick();
            camera.update(0.25f);
            EXPECT_NEAR(0.25f, camera.getRedFlash(), 1e-4f);
            // The game's materials glow: the whole glow stays, its last pass showing the flash.
            Ogre::CompositorInstance* glow = Ogre::CompositorManager::getSingleton()
                                                 .getCompositorChain(camera.getViewport())
                                                 ->getCompositor("glow");
            ASSERT_TRUE(glow);
            EXPECT_EQ("", glow->getScheme());
            camera.update(0.25f);
            EXPECT_EQ("", glow->getScheme());

            // Critical health: the heartbeat rises over 0.5 s; it falls over 4 s once the player
            // is no longer alive, and death flashes fully.
            hurtTo(human, 0.15f);
            camera.update(0.25f);
            EXPECT_FLOAT_EQ(0.5f, camera.getHeartbeatLevel());
            camera.update(0.25f);
            EXPECT_FLOAT_EQ(1.0f, camera.getHeartbeatLevel());
            camera.tick();
            camera.update(1.0f);
            EXPECT_EQ(0.0f, camera.getRedFlash());
            hurtTo(human, 0.0f);
            camera.tick();
            EXPECT_FLOAT_EQ(1.0f, camera.getRedFlash());
            camera.update(1.0f);
            EXPECT_FLOAT_EQ(0.75f, camera.getHeartbeatLevel());
            // Without a running match there is no heartbeat.
            match.players().endMatch();
            camera.update(0.01f);
            EXPECT_EQ(0.0f, camera.getHeartbeatLevel());
        });
}

TEST(Camera, ShakesOnlyHarderSwaysOnceIn24SecondsAndFollowsItsHuman)
{
    withMatch(
        [](test::GameRun& game, test::LocalMatch& match)
        {
            game::Camera& camera = *game.getCamera(0);
            camera.shake(2.4f);
            camera.shake(1.0f);
            EXPECT_FLOAT_EQ(2.4f, camera.getShakeStrength());
            camera.update(0.5f);
            EXPECT_FLOAT_EQ(1.4f, camera.getShakeStrength());
            camera.shake(0.0f);
            EXPECT_EQ(0.0f, camera.getShakeStrength());
            // ...and the view settles where it belongs, not on the last jolt.
            camera.update(1.0f);
            EXPECT_LT(camera.getCamera()->getRealPosition().distance(camera.getSmoothedPosition()), 1e-4f);

            const float sway = camera.getSwayAngle();
            camera.update(12.0f);
            EXPECT_NEAR(std::fmod(sway + 180.0f, 360.0f), camera.getSwayAngle(), 1e-3f);
            camera.update(12.0f);
            EXPECT_NEAR(sway, camera.getSwayAngle(), 1e-3f);

            // A whole second at follow speed 2.5 lands on the goal: 3 up and 10 back from the
            // human, 2.5 along its aim, looking 4 ahead along the aim.
            const Ogre::Vector3 at = match.human(0)->getRenderPosition();
            const Ogre::Vector3 aim = match.human(0)->getAimDirection();
            camera.update(1.0f);
            EXPECT_LT(camera.getSmoothedPosition().distance(at + Ogre::Vector3(0, 3, 10) + 2.5f * aim),
                      1e-3f);
            EXPECT_LT(camera.getSmoothedLookAt().distance(at + 4.0f * aim), 1e-3f);

            // A completed match frames the player's summary where the human stood at the end,
            // wherever the human goes afterwards.
            match.players().completeMatch(match.player(0)->getIndex());
            game.getEventDispatcher()->dispatch();
            const Ogre::Vector3 end = match.player(0)->getEndPosition();
            EXPECT_LT(end.distance(at), 0.5f);
            match.human(0)->setPosition(end + Ogre::Vector3(6, 0, 0));
            match.human(0)->interpolate(0.0f, 1.0f);
            camera.update(1.0f);
            EXPECT_LT(camera.getSmoothedLookAt().distance(end + Ogre::Vector3(0, 4, 0)), 1e-3f);

            // Without a player the default view from (0, 5, 25) swaying around the origin.
            camera.setPlayer(0);
            camera.update(1.0f);
            EXPECT_NEAR(camera.getSmoothedPosition().distance(Ogre::Vector3(0, 5, 25)),
                        Ogre::Vector3(0, 5, 25).length() * 0.25f *
                            Ogre::Vector2(std::cos(Ogre::Degree(camera.getSwayAngle()).valueRadians()),
                                          0.6f * std::sin(Ogre::Degree(camera.getSwayAngle()).valueRadians()))
                                .length(),
                        1e-3f);
        });
}

TEST(Camera, SplitScreenGivesEachCameraHalfTheWindowKeepingItsFilters)
{
    const test::LevelBuilder level = hall();
    withMatch(
        [&](test::GameRun& game, test::LocalMatch& match)
        {
            game::Camera& left = *game.getCamera(0);
            game::Camera& right = *game.getCamera(1);
            // Two weapons glow around themselves in the right half: one near its inner edge,
            // where the two views meet in the glow picture, one near its outer edge. The right
            // view's part of the picture is where the right half reads it.
            const Ogre::Vector3 at = match.human(1)->getPosition() + Ogre::Vector3(1.5f, 0.3f, 0.0f);
            game::Weapon* weapons[2];
            for (int outer = 0; outer < 2; ++outer)
            {
                weapons[outer] = static_cast<game::Weapon*>(game.getEntityManager()->createEntity(
                    "pistol", at + Ogre::Vector3(outer ? 2.8f : 0.0f, 0.0f, 0.0f), Ogre::Quaternion::IDENTITY,
                    Ogre::Vector3::ZERO, Ogre::Vector3::ZERO));
                ASSERT_TRUE(weapons[outer]);
            }
            right.setFixedView(at + Ogre::Vector3(1.5f, 0.0f, 0.0f), at + Ogre::Vector3(1.5f, 0.0f, 3.0f));
            game.runTicks(2);
            right.update(1.0f);
            for (game::Weapon* weapon : weapons)
                turnTo(*weapon, Ogre::Math::PI * 0.25f);
            const TFiltered pictures = drawFiltered(game);
            for (game::Weapon* weapon : weapons)
                EXPECT_GT(glowAround(pictures, right, weapon->getRenderPosition()), 10.0f);

            // A lamp behind the wall that one camera sees past it glows in that camera's half
            // alone, whichever camera that is, the other's wall hiding it.
            ASSERT_TRUE(game.getEntityManager()->createEntity("lamp", BEHIND_WALL, Ogre::Quaternion::IDENTITY,
                                                              Ogre::Vector3::ZERO, Ogre::Vector3::ZERO));
            for (int swapped = 0; swapped < 2; ++swapped)
            {
                SCOPED_TRACE(swapped);
                game::Camera& seeing = swapped ? left : right;
                game::Camera& hidden = swapped ? right : left;
                seeing.setFixedView(PAST_WALL[0], PAST_WALL[1]);
                hidden.setFixedView(WALL_HIDES[0], WALL_HIDES[1]);
                seeing.update(1.0f);
                hidden.update(1.0f);
                const TFiltered lamp = drawFiltered(game);
                EXPECT_GT(glowAround(lamp, seeing, BEHIND_WALL), 10.0f);
                EXPECT_NEAR(0.0f, glowAround(lamp, hidden, BEHIND_WALL), 0.5f);
            }

            EXPECT_EQ(game::Camera::VIEWPORT_LEFT, left.getViewportMode());
            EXPECT_EQ(game::Camera::VIEWPORT_RIGHT, right.getViewportMode());
            // 640 by 360: each half 320 wide, the aspect ratio of half the window.
            EXPECT_EQ(0, left.getViewport()->getActualLeft());
            EXPECT_EQ(320, right.getViewport()->getActualLeft());
            EXPECT_EQ(320, right.getViewport()->getActualWidth());
            EXPECT_FLOAT_EQ(320.0f / 360.0f, right.getCamera()->getAspectRatio());
            EXPECT_EQ(2u, right.getViewport()->getVisibilityMask());
            EXPECT_EQ(0, left.getViewport()->getZOrder());
            EXPECT_EQ(1, right.getViewport()->getZOrder());

            // The filters and the pause effect survive a change of layout.
            left.setPaused(true);
            left.setViewportMode(game::Camera::VIEWPORT_FULL);
            ASSERT_TRUE(left.isCompositorsEnabled());
            Ogre::CompositorChain* chain =
                Ogre::CompositorManager::getSingleton().getCompositorChain(left.getViewport());
            ASSERT_EQ(3u, chain->getNumCompositors());
            EXPECT_EQ("glow", chain->getCompositor(0)->getCompositor()->getName());
            EXPECT_TRUE(chain->getCompositor(1)->getEnabled());
            EXPECT_EQ("overlay1", chain->getCompositor(2)->getCompositor()->getName());
            EXPECT_FLOAT_EQ(640.0f / 360.0f, left.getCamera()->getAspectRatio());
            left.setPaused(false);
            EXPECT_FALSE(chain->getCompositor(1)->getEnabled());

            // Filters off remove the chain; no viewport, no chain.
            left.setCompositorsEnabled(false);
            EXPECT_FALSE(Ogre::CompositorManager::getSingleton().hasCompositorChain(left.getViewport()));
            right.setViewportMode(game::Camera::VIEWPORT_NONE);
            EXPECT_EQ(nullptr, right.getViewport());
        },
        2, {}, &level);
}

// A weapon lying in view beside a lamp and the exit: the camera draws the whole glow, and the
// weapon glows around itself while its pulse is up; while it is down the filters change nothing
// there, so what does not glow adds nothing to the glow. The same weapon in the human's hand
// never glows, nor does a lamp inside the wall on the left. With KORVANE_UPDATE_REFERENCE set, the frame at
// the pulse's height becomes docs/screens/glow.png.
TEST(Camera, AWeaponLyingInViewPulsesInTheGlowBesideALampAndTheExit)
{
    const std::string picture = std::string(std::getenv("KORVANE_BINARY_DIR")) + "/glow.png";
    withMatch(
        [&](test::GameRun& game, test::LocalMatch& match)
        {
            game::Camera& camera = *game.getCamera(0);
            game::EntityManager& entities = *game.getEntityManager();
            const Ogre::Vector3 at = match.human(0)->getPosition();
            auto place = [&](const char* name, const Ogre::Vector3& offset)
            {
                return entities.createEntity(name, at + offset, Ogre::Quaternion::IDENTITY,
                                             Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
            };
            auto* weapon = static_cast<game::Weapon*>(place("pistol", Ogre::Vector3(1.5f, 0.3f, 0.0f)));
            auto* exit = static_cast<game::Item*>(place("exit", Ogre::Vector3(4.0f, -0.9f, 0.0f)));
            const Ogre::Vector3 inWall(-2.5f, 1.5f, -0.5f);
            ASSERT_TRUE(weapon && exit && place("lamp", Ogre::Vector3(6.5f, 1.5f, 0.0f)) &&
                        place("lamp", inWall - at));
            camera.setFixedView(at + Ogre::Vector3(3.5f, 1.0f, 0.0f), at + Ogre::Vector3(3.5f, 2.0f, 7.0f));
            game.runTicks(10);
            camera.update(1.0f);
            EXPECT_EQ("", Ogre::CompositorManager::getSingleton()
                              .getCompositorChain(camera.getViewport())
                              ->getCompositor("glow")
                              ->getScheme());

            const Ogre::Vector3 hand = at + Ogre::Vector3(0.5f, 0.3f, 0.0f);
            float added[2], addedInHand[2], addedInWall[2];
            turnTo(*exit, 0.0f);
            for (int down = 0; down < 2; ++down)
            {
                // The weapon turned to a phase where its glow is at its height, then to one where
                // it is off.
                turnTo(*weapon, Ogre::Math::PI * (down ? 0.75f : 0.25f));
                TFiltered pictures = drawFiltered(game);
                if (!down)
                    pictures.on.save(picture);
                added[down] = glowAround(pictures, camera, weapon->getRenderPosition());
                addedInHand[down] = glowAround(pictures, camera, hand, GLOW_REACH / 2);
                addedInWall[down] = glowAround(pictures, camera, inWall);
            }
            EXPECT_GT(added[0], 10.0f);
            EXPECT_NEAR(0.0f, added[1], 0.5f);
            EXPECT_NEAR(0.0f, addedInHand[0], 0.5f);
            EXPECT_NEAR(0.0f, addedInHand[1], 0.5f);
            EXPECT_NEAR(0.0f, addedInWall[0], 0.5f);
            EXPECT_NEAR(0.0f, addedInWall[1], 0.5f);
        });
    if (std::getenv("KORVANE_UPDATE_REFERENCE"))
        test::writeFile(test::sourcePath("docs/screens/glow.png"), test::readFile(picture));
}

// In a hall without a back wall what glows in sight glows, however far back it stands; what a
// wall of the level hides does not, until the camera sees it past the wall; the level's own
// glowing blocks glow where they stand, far from the start. The depth walls that keep bodies on
// the walkway are not drawn and hide nothing.
TEST(Camera, WhatGlowsInSightGlowsAndWhatTheLevelHidesDoesNot)
{
    const test::LevelBuilder level = hall();
    withMatch(
        [&](test::GameRun& game, test::LocalMatch&)
        {
            struct TView
            {
                const char* what;
                Ogre::Vector3 lookAt, position, glowing;
                bool glows;
            };
            const TView views[] = {
                {"a lamp at depth -1.6", {1.5f, 1.5f, -1}, {1.5f, 2, 3}, {-1, 1.5f, -1.6f}, true},
                {"a lamp at depth -2", {1.5f, 1.5f, -1}, {1.5f, 2, 3}, {1.5f, 1.5f, -2}, true},
                {"a lamp at depth -3", {1.5f, 1.5f, -1}, {1.5f, 2, 3}, {4, 1.5f, -3}, true},
                {"a lamp behind a wall", WALL_HIDES[0], WALL_HIDES[1], BEHIND_WALL, false},
                {"the lamp seen past the wall", PAST_WALL[0], PAST_WALL[1], BEHIND_WALL, true},
                // Its centre under the floor, its sign above it.
                {"an exit sunk past its centre", {7, 0.5f, 0}, {7, 2, 5}, {7, 0.95f, 0}, true},
                {"a ceiling's lamp", {60, -16, 0}, {60, -19, 6}, {61, -16.01f, 0}, true},
                {"a lab wall's window", {-60, 2.6f, 0}, {-60, 2.6f, 6}, {-60, 2.6f, -1.55f}, true},
            };
            game::EntityManager& entities = *game.getEntityManager();
            auto place = [&](const char* name, const Ogre::Vector3& at)
            {
                return entities.createEntity(name, at, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                                             Ogre::Vector3::ZERO) != nullptr;
            };
            for (unsigned int i = 0; i < 4; ++i)
                ASSERT_TRUE(place("lamp", views[i].glowing));
            // The exit's sign stands 2.95 above its foot.
            ASSERT_TRUE(place("exit", views[5].glowing - Ogre::Vector3(0.0f, 2.95f, 0.0f)));
            game.runTicks(10);
            game::Camera& camera = *game.getCamera(0);
            for (const TView& view : views)
            {
                SCOPED_TRACE(view.what);
                camera.setFixedView(view.lookAt, view.position);
                camera.update(1.0f);
                const float added = glowAround(drawFiltered(game), camera, view.glowing);
                if (view.glows)
                    EXPECT_GT(added, 10.0f);
                else
                    EXPECT_NEAR(0.0f, added, 0.5f);
            }
        },
        1, {}, &level);
}
