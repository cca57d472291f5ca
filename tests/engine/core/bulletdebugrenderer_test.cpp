#include "engine/core/bulletdebugrenderer.h"
#include "physicsworld.h"
#include "support/ogre/headlessogre.h"

#include <OgreManualObject.h>
#include <OgreMaterialManager.h>
#include <OgreSceneManager.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

TEST(BulletDebugRenderer, RedrawsOneSectionAfterEachUpdateThatStepped)
{
    test::HeadlessOgre ogre;
    test::PhysicsWorld world;
    Ogre::ManualObject* object = ogre.sceneManager().createManualObject("physics");
    world.boxTemplate("crate", Ogre::Vector3(1, 1, 1), 1.0f);
    world.deployBody("crate", Ogre::Vector3(0, 5, 0));

    // Without a renderer nothing is drawn.
    world.ticks(1);
    EXPECT_TRUE(object->getSections().empty());

    // An empty world draws an empty frame.
    {
        test::PhysicsWorld empty;
        Ogre::ManualObject* nothing = ogre.sceneManager().createManualObject("nothing");
        empty.simulator.setDebugObject(nothing, "BaseWhiteNoLighting");
        empty.ticks(2);
        EXPECT_TRUE(nothing->getSections().empty());
    }

    // The lines' material comes with the game's data, in the game's own resource group.
    Ogre::MaterialManager::getSingleton().create("menufont", test::dataGroup());
    world.simulator.setDebugObject(object, "menufont");
    world.ticks(1);
    ASSERT_EQ(object->getSections().size(), 1u);
    EXPECT_EQ(object->getSections()[0]->getMaterialName(), "menufont");
    EXPECT_EQ(object->getSections()[0]->getRenderOperation()->operationType,
              Ogre::RenderOperation::OT_LINE_LIST);
    // The box's twelve edges, at least, as pairs of points around where it is now.
    size_t vertices = object->getSections()[0]->getRenderOperation()->vertexData->vertexCount;
    EXPECT_GE(vertices, 24u);
    EXPECT_EQ(vertices % 2, 0u);
    EXPECT_NEAR(object->getBoundingBox().getCenter().y, 5.0f, 0.6f);

    world.ticks(20);
    EXPECT_EQ(object->getSections().size(), 1u);
    EXPECT_EQ(object->getSections()[0]->getRenderOperation()->vertexData->vertexCount, vertices);
    EXPECT_LT(object->getBoundingBox().getCenter().y, 4.5f);

    // An update that steps nothing leaves the lines as they are; removing the renderer stops drawing.
    world.simulator.update(0.001f, false);
    world.simulator.setDebugObject(nullptr, "");
    world.ticks(5);
    EXPECT_LT(object->getBoundingBox().getCenter().y, 4.5f);
    EXPECT_GT(object->getBoundingBox().getCenter().y, 3.0f);
}

TEST(BulletDebugRenderer, ReportsWarningsToTheLogAndKeepsItsMode)
{
    test::LogCapture log;
    brix::BulletDebugRenderer renderer(nullptr, "none");
    renderer.reportErrorWarning("solver gave up");
    EXPECT_THAT(log.lines(), testing::Contains("I Bullet warning: solver gave up"));
    renderer.setDebugMode(0);
    EXPECT_EQ(renderer.getDebugMode(), 0x5801);
}
