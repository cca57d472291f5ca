#include "engine/presentation/ogreoverlayloadscreen.h"
#include "support/ogre/assetgroup.h"
#include "support/ogre/ogrewindow.h"
#include "support/tempdir.h"
#include "support/workingfolder.h"
#include "toolkit/thread.h"

#include <OgreImage.h>
#include <OgreOverlay.h>
#include <OgreOverlayElement.h>
#include <OgreOverlayManager.h>
#include <OgreOverlaySystem.h>
#include <OgreRenderTargetListener.h>
#include <OgreRenderWindow.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using brix::OgreOverlayLoadScreen;

namespace
{
// Notes the status line each time the window is drawn.
class FrameWatch : public Ogre::RenderTargetListener
{
public:
    void postRenderTargetUpdate(const Ogre::RenderTargetEvent&) override
    {
        Ogre::OverlayManager& overlays = Ogre::OverlayManager::getSingleton();
        captions.push_back(overlays.hasOverlayElement("statustext")
                               ? overlays.getOverlayElement("statustext")->getCaption().asUTF8()
                               : "-");
    }
    std::vector<std::string> captions;
};

class OverlayLoadScreenTest : public testing::Test
{
protected:
    OverlayLoadScreenTest()
    {
        mScene.addRenderQueueListener(mOverlays.get());
        mOgre.renderWindow().addListener(&mFrames);
    }
    ~OverlayLoadScreenTest() override { mOgre.renderWindow().removeListener(&mFrames); }

    bool hasLoaderViewport()
    {
        Ogre::RenderWindow& window = mOgre.renderWindow();
        for (unsigned short i = 0; i < window.getNumViewports(); ++i)
            if (window.getViewport(i)->getZOrder() == brix::LoadScreenView::Z_ORDER)
                return true;
        return false;
    }

    // ParticleFX for the particle scripts among the game's data.
    test::OgreWindow mOgre{640, 480, {"Codec_STBI", "Plugin_ParticleFX"}};
    std::unique_ptr<Ogre::OverlaySystem> mOverlays{new Ogre::OverlaySystem()};
    Ogre::SceneManager& mScene = mOgre.sceneManager();
    FrameWatch mFrames;
};
} // namespace

// The screen the game shows while it loads its data: each stage of OGRE's loading shows at once.
TEST_F(OverlayLoadScreenTest, StatusLineFollowsResourceLoadingUntilHidden)
{
    OgreOverlayLoadScreen screen(&mScene, mOverlays.get(), &mOgre.renderWindow());
    ASSERT_TRUE(screen.show());
    EXPECT_TRUE(Ogre::OverlayManager::getSingleton().getByName("loadscreen")->isVisible());
    EXPECT_TRUE(hasLoaderViewport());
    EXPECT_EQ(std::vector<std::string>{""}, mFrames.captions);

    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.addResourceLocation("data", "FileSystem", "default", true, true);
    test::AssetGroup::makeLightMapTexture();
    groups.initialiseResourceGroup("default");
    groups.loadResourceGroup("default");
    EXPECT_EQ((std::vector<std::string>{"", "Parsing resource scripts..", "Loading resources..",
                                        "Initializing application.."}),
              mFrames.captions);

    screen.hide(0);
    EXPECT_FALSE(Ogre::OverlayManager::getSingleton().getByName("loadscreen")->isVisible());
    EXPECT_FALSE(hasLoaderViewport());
    EXPECT_FALSE(mScene.hasCamera("loader"));
    // Once hidden, loading draws nothing more.
    mFrames.captions.clear();
    groups.createResourceGroup("later");
    groups.initialiseResourceGroup("later");
    EXPECT_TRUE(mFrames.captions.empty());
    // Hiding again is harmless.
    screen.hide(0);
}

TEST_F(OverlayLoadScreenTest, HideWaitsOutTheMinimumTimeOnlyOnce)
{
    OgreOverlayLoadScreen screen(&mScene, mOverlays.get(), &mOgre.renderWindow());
    ASSERT_TRUE(screen.show());
    const unsigned shown = brix::Thread::timer();
    brix::Thread::sleep(100);
    screen.hide(400);
    const unsigned waited = brix::Thread::timer() - shown;
    EXPECT_GE(waited, 390u);
    // The bounds below only tell "no wait" from the wait asked for, on a busy machine too.
    const unsigned before = brix::Thread::timer();
    screen.hide(400);
    EXPECT_LT(brix::Thread::timer() - before, 300u);

    // A screen never shown does not wait.
    OgreOverlayLoadScreen unused(&mScene, mOverlays.get(), &mOgre.renderWindow());
    const unsigned start = brix::Thread::timer();
    unused.hide(5000);
    EXPECT_LT(brix::Thread::timer() - start, 2500u);
}

TEST_F(OverlayLoadScreenTest, DeletingAShownScreenTakesItDown)
{
    {
        OgreOverlayLoadScreen screen(&mScene, mOverlays.get(), &mOgre.renderWindow());
        ASSERT_TRUE(screen.show());
    }
    EXPECT_FALSE(hasLoaderViewport());
    EXPECT_FALSE(mScene.hasCamera("loader"));
    // A later screen can take the same camera name.
    OgreOverlayLoadScreen again(&mScene, mOverlays.get(), &mOgre.renderWindow());
    EXPECT_TRUE(again.show());
}

namespace
{
// The widest run of columns without ink between the first and the last inked column of the
// status line as drawn, in pixels.
unsigned widestGap(test::OgreWindow& ogre)
{
    ogre.renderFrame();
    const Ogre::Box line(80, 420, 560, 446);
    Ogre::Image frame(Ogre::PF_BYTE_RGBA, line.getWidth(), line.getHeight());
    ogre.renderWindow().copyContentsToMemory(line, frame.getPixelBox(), Ogre::RenderTarget::FB_AUTO);
    unsigned widest = 0, gap = 0;
    bool inked = false;
    for (unsigned x = 0; x < line.getWidth(); ++x)
    {
        bool ink = false;
        for (unsigned y = 0; y < line.getHeight(); ++y)
            ink = ink || frame.getColourAt(x, y, 0).r > 0.5f;
        if (ink && inked)
            widest = std::max(widest, gap);
        gap = ink ? 0 : gap + 1;
        inked = inked || ink;
    }
    return widest;
}
} // namespace

// A blank in the status line is as wide as the loader font's own space, 0.318 of its em (the
// em is 20/24 of the 20-pixel line, the glyph cells being 24 pixels tall for a 20-pixel font):
// 5.3 pixels, not the width of a digit (10.8).
TEST_F(OverlayLoadScreenTest, StatusLineBlanksAreTheFontsOwnSpace)
{
    OgreOverlayLoadScreen screen(&mScene, mOverlays.get(), &mOgre.renderWindow());
    ASSERT_TRUE(screen.show());
    Ogre::OverlayElement* text = Ogre::OverlayManager::getSingleton().getOverlayElement("statustext");
    text->setCaption("ll");
    const unsigned touching = widestGap(mOgre);
    text->setCaption("l l");
    const unsigned spaced = widestGap(mOgre);
    EXPECT_GE(spaced - touching, 4u) << touching << " " << spaced;
    EXPECT_LE(spaced - touching, 6u) << touching << " " << spaced;
    screen.hide(0);
}

namespace
{
// A "loader" folder of the test's own, with the given overlay script.
class OwnLoaderTest : public OverlayLoadScreenTest
{
protected:
    test::WorkingFolder mFolder;
};
} // namespace

TEST_F(OwnLoaderTest, WithoutStatusTextTheScreenShowsNoStatus)
{
    mFolder.write("loader/plain.overlay", "overlay loadscreen\n{\n"
                                          "    container Panel(background)\n    {\n"
                                          "        container Panel(statuspanel) {}\n    }\n}\n");
    OgreOverlayLoadScreen screen(&mScene, mOverlays.get(), &mOgre.renderWindow());
    ASSERT_TRUE(screen.show());
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.createResourceGroup("more");
    groups.initialiseResourceGroup("more");
    groups.loadResourceGroup("more");
    // Only the frame of show itself.
    EXPECT_EQ(std::vector<std::string>{"-"}, mFrames.captions);
    screen.hide(0);
}

TEST_F(OwnLoaderTest, WithoutTheOverlayShowFails)
{
    mFolder.write("loader/other.overlay", "overlay notloadscreen\n{\n}\n");
    OgreOverlayLoadScreen screen(&mScene, mOverlays.get(), &mOgre.renderWindow());
    EXPECT_FALSE(screen.show());
    // The camera stays until hide.
    EXPECT_TRUE(mScene.hasCamera("loader"));
    screen.hide(0);
    EXPECT_FALSE(mScene.hasCamera("loader"));
    EXPECT_FALSE(hasLoaderViewport());
}
