#include "support/ogre/headlessogre.h"

#include <OgreManualObject.h>
#include <OgreSceneManager.h>

#include <gtest/gtest.h>

// The headless Root the engine tests stand on: a manual object builds without any window.
TEST(HeadlessOgre, BuildsManualObjectsWithoutAWindow)
{
    test::HeadlessOgre ogre({"Plugin_ParticleFX"});
    Ogre::ManualObject* object = ogre.sceneManager().createManualObject("box");
    object->begin("BaseWhiteNoLighting", Ogre::RenderOperation::OT_LINE_LIST);
    object->position(-1, -2, -3);
    object->position(4, 5, 6);
    object->end();
    EXPECT_EQ(object->getBoundingBox().getMaximum(), Ogre::Vector3(4, 5, 6));
}
