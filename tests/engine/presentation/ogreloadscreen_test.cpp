#include "engine/presentation/ogreloadscreen.h"
#include "support/ogre/manualobjectreader.h"
#include "support/ogre/ogrewindow.h"

#include <OgreCamera.h>
#include <OgreImage.h>
#include <OgreManualObject.h>
#include <OgreRenderWindow.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreViewport.h>

#include <gtest/gtest.h>

using brix::OgreLoadScreen;

// The logo of the group "loader" (a 512 x 256 texture) centred on the background colour.
TEST(OgreLoadScreen, ShowsTheLogoCentredAndTakesEverythingDown)
{
    test::OgreWindow ogre(400, 300, {"Codec_STBI"});
    Ogre::SceneManager& scene = ogre.sceneManager();
    const Ogre::ColourValue background(0.2f, 0.4f, 0.6f);
    {
        OgreLoadScreen screen(&scene, &ogre.renderWindow(), 0.5f, background);
        ASSERT_TRUE(screen.show());

        Ogre::Camera* camera = scene.getCamera("loader");
        EXPECT_EQ(Ogre::PT_ORTHOGRAPHIC, camera->getProjectionType());
        EXPECT_FLOAT_EQ(2.0f, camera->getOrthoWindowWidth());
        EXPECT_FLOAT_EQ(1.5f, camera->getOrthoWindowHeight());
        EXPECT_EQ(Ogre::Vector3(0, 0, 10), camera->getDerivedPosition());
        Ogre::Viewport* viewport = camera->getViewport();
        ASSERT_NE(nullptr, viewport);
        EXPECT_EQ(brix::LoadScreenView::Z_ORDER, viewport->getZOrder());
        EXPECT_EQ(background, viewport->getBackgroundColour());

        // Twice as wide as tall, upright, the texture whole.
        test::SectionContents logo = test::readSection(*scene.getManualObject("loader"));
        EXPECT_EQ((std::vector<Ogre::Vector3>{
                      {-0.5f, 0.25f, 0}, {-0.5f, -0.25f, 0}, {0.5f, -0.25f, 0}, {0.5f, 0.25f, 0}}),
                  logo.positions);
        EXPECT_EQ((std::vector<Ogre::Vector2>{{0, 0}, {0, 1}, {1, 1}, {1, 0}}), logo.uvs);
        EXPECT_EQ(2u, logo.triangleCount());

        // The frame of show: background at the corner, the logo's dark disc in the middle.
        Ogre::Image frame(Ogre::PF_BYTE_RGBA, 400, 300);
        ogre.renderWindow().copyContentsToMemory(Ogre::Box(0, 0, 400, 300), frame.getPixelBox(),
                                                 Ogre::RenderTarget::FB_AUTO);
        EXPECT_TRUE(frame.getColourAt(2, 2, 0).r < 0.25f && frame.getColourAt(2, 2, 0).b > 0.55f);
        const Ogre::ColourValue middle = frame.getColourAt(200, 110, 0);
        EXPECT_LT(middle.b, 0.3f) << middle;

        screen.hide(0);
        EXPECT_FALSE(scene.hasManualObject("loader"));
        EXPECT_FALSE(scene.hasCamera("loader"));
        EXPECT_EQ(1u, ogre.renderWindow().getNumViewports());
        screen.hide(0);
    }
    // Deleting a shown screen takes it down too.
    {
        OgreLoadScreen screen(&scene, &ogre.renderWindow(), 0.5f, background);
        ASSERT_TRUE(screen.show());
    }
    EXPECT_FALSE(scene.hasManualObject("loader"));
    EXPECT_FALSE(scene.hasCamera("loader"));
}
