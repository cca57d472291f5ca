#include "game/application/menuframe.h"

#include "support/game/gamerun.h"

#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <gtest/gtest.h>

#include <memory>

namespace
{
struct TPlacement
{
    float slide;
    float logoY;
    float footerY;
    float menuY;
    bool visible;
};

// A frame of its own over the running game's menu, stepped by hand so the times are exact.
TPlacement place(test::GameRun& game, game::MenuFrame& frame, float seconds)
{
    frame.update(seconds);
    Ogre::SceneManager* scene = game.getMenu()->getSceneManager();
    Ogre::SceneNode* root = scene->getRootSceneNode();
    // The frame's two nodes are the last children of the root node.
    Ogre::SceneNode* logo = static_cast<Ogre::SceneNode*>(root->getChild(root->numChildren() - 2));
    Ogre::SceneNode* footer = static_cast<Ogre::SceneNode*>(root->getChild(root->numChildren() - 1));
    return {frame.getSlidePosition(), logo->getPosition().y, footer->getPosition().y,
            game.getMenu()->getSceneNode()->getPosition().y, logo->getAttachedObject(0)->isVisible()};
}
} // namespace

TEST(MenuFrame, SlidesInOnTheMainPageAndOutElsewhereOverHalfASecond)
{
    test::UserFolder user;
    user.writeTestConfiguration();
    std::vector<TPlacement> placements;
    test::GameRun::play(
        [&](test::GameRun& game)
        {
            game.then(
                [&](test::GameRun& game)
                {
                    Ogre::SceneManager* scene = game.getMenu()->getSceneManager();
                    game::MenuFrame frame(scene, scene->getRootSceneNode(), game.getMenu());
                    frame.setText("left\tright");
                    game.getMenu()->show("settings");
                    placements.push_back(place(game, frame, 0.1f));
                    frame.setVisible(true);
                    placements.push_back(place(game, frame, 0.1f));
                    game.getMenu()->show("main");
                    placements.push_back(place(game, frame, 0.1f));
                    placements.push_back(place(game, frame, 0.3f));
                    placements.push_back(place(game, frame, 0.1f));
                    game.getMenu()->show("system");
                    placements.push_back(place(game, frame, 0.25f));
                    placements.push_back(place(game, frame, 0.3f));
                    game.getMenu()->show("main");
                    frame.setVisible(false);
                    placements.push_back(place(game, frame, 0.1f));
                });
        },
        {"--no-update-check"});
    ASSERT_EQ(placements.size(), 8u);
    // Hidden and out of sight until shown on the main page.
    EXPECT_EQ(placements[0].slide, 0.0f);
    EXPECT_FALSE(placements[0].visible);
    EXPECT_FLOAT_EQ(placements[0].logoY, 1.2f);
    EXPECT_FLOAT_EQ(placements[0].footerY, -1.14f);
    EXPECT_EQ(placements[0].menuY, 0.0f);
    EXPECT_EQ(placements[1].slide, 0.0f);
    // A fifth of the way in after 0.1 s: (1 - 0.2)^2 of the offsets remain.
    EXPECT_FLOAT_EQ(placements[2].slide, 0.2f);
    EXPECT_TRUE(placements[2].visible);
    EXPECT_FLOAT_EQ(placements[2].logoY, 0.45f + 0.75f * 0.64f);
    EXPECT_FLOAT_EQ(placements[2].footerY, -0.94f - 0.2f * 0.64f);
    EXPECT_FLOAT_EQ(placements[2].menuY, -0.15f);
    EXPECT_FLOAT_EQ(placements[3].slide, 0.8f);
    // At rest after half a second.
    EXPECT_EQ(placements[4].slide, 1.0f);
    EXPECT_FLOAT_EQ(placements[4].logoY, 0.45f);
    EXPECT_FLOAT_EQ(placements[4].footerY, -0.94f);
    // Another page: out at the same rate, the menu back up at once, hidden when out.
    EXPECT_FLOAT_EQ(placements[5].slide, 0.5f);
    EXPECT_EQ(placements[5].menuY, 0.0f);
    EXPECT_TRUE(placements[5].visible);
    EXPECT_EQ(placements[6].slide, 0.0f);
    EXPECT_FALSE(placements[6].visible);
    // The main page with the menu hidden does not bring the frame back.
    EXPECT_EQ(placements[7].slide, 0.0f);
    EXPECT_FLOAT_EQ(placements[7].menuY, -0.15f);
}
