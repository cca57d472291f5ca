// The players' screen filters (glow, pause, overlay compositors with their GLSL programs),
// drawn by RenderSystem_GL the way a camera chains them, with the cameras' glow picture.
#include "game/application/glowpicture.h"
#include "support/ogre/ogrewindow.h"
#include "support/ogre/scriptgroup.h"

#include <OgreCamera.h>
#include <OgreCompositorInstance.h>
#include <OgreCompositorManager.h>
#include <OgreGpuProgramParams.h>
#include <OgreManualObject.h>
#include <OgreMaterialManager.h>
#include <OgrePass.h>
#include <OgreRenderQueue.h>
#include <OgreResourceGroupManager.h>
#include <OgreRenderWindow.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreTechnique.h>
#include <OgreViewport.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
const unsigned SIZE = 64;
const Ogre::ColourValue BACKGROUND(0.2f, 0.4f, 0.8f);
// One step of an 8-bit channel, and a little more for filtering.
const float TOLERANCE = 3.0f / 255.0f;

// What the game does for materials without a glow technique: they draw "glowignore".
class GlowFallback : public Ogre::MaterialManager::Listener
{
public:
    Ogre::Technique* handleSchemeNotFound(unsigned short, const Ogre::String& scheme, Ogre::Material*,
                                          unsigned short, const Ogre::Renderable*) override
    {
        if (scheme != "glow")
            return nullptr;
        Ogre::MaterialPtr material =
            Ogre::MaterialManager::getSingleton().getByName("glowignore", "ScreenFilters");
        return material ? material->getTechnique(0) : nullptr;
    }
};

// What the camera does before the glow's passes: the red flash over the whole view, and the
// glow picture's view to add, which covers what glows.
class RedFlash : public Ogre::CompositorInstance::Listener
{
public:
    float intensity = 0;
    game::GlowPicture* glow = nullptr;

    void notifyMaterialRender(Ogre::uint32 passId, Ogre::MaterialPtr& material) override
    {
        Ogre::Pass* pass = material->getTechnique(0)->getPass(0);
        if (passId == 1)
        {
            pass->getVertexProgramParameters()->setNamedConstant(game::GlowPicture::AREA_CONSTANT,
                                                                 game::GlowPicture::WHOLE_VIEW);
            pass->getFragmentProgramParameters()->setNamedConstant("iRedFlashIntensity", intensity);
        }
        else if (passId == 2 && glow)
            glow->setUpAddPass(0, *pass);
        else if (passId == 2)
            pass->getVertexProgramParameters()->setNamedConstant(game::GlowPicture::AREA_CONSTANT,
                                                                 Ogre::Vector4::ZERO);
    }
};

class ScreenFilters : public testing::Test
{
protected:
    ScreenFilters()
    {
        Ogre::MaterialManager::getSingleton().addListener(&mFallback);
        mOgre.camera().setNearClipDistance(0.1f);
        mOgre.renderWindow().getViewport(0)->setBackgroundColour(BACKGROUND);
        mOgre.camera().getParentSceneNode()->setPosition(0, 0, 10);
        // As the camera makes sure: the glow's last pass runs once the scene reaches the last
        // render queue group, which OGRE reaches only when it exists.
        mOgre.sceneManager().getRenderQueue()->getQueueGroup(Ogre::RENDER_QUEUE_MAX);
    }
    ~ScreenFilters() override
    {
        Ogre::CompositorManager::getSingleton().removeCompositorChain(mOgre.renderWindow().getViewport(0));
        if (mGlow)
        {
            mGlow.reset();
            Ogre::ResourceGroupManager::getSingleton().destroyResourceGroup("default");
        }
        Ogre::MaterialManager::getSingleton().removeListener(&mFallback);
    }

    // Chains the camera's filters as the game does: glow, pause (off), overlay.
    Ogre::CompositorInstance* chain(int camera)
    {
        Ogre::CompositorManager& compositors = Ogre::CompositorManager::getSingleton();
        Ogre::Viewport* viewport = mOgre.renderWindow().getViewport(0);
        const std::string index = std::to_string(camera);
        Ogre::CompositorInstance* glow = compositors.addCompositor(viewport, "glow");
        EXPECT_TRUE(compositors.addCompositor(viewport, "pause"));
        EXPECT_TRUE(compositors.addCompositor(viewport, "overlay" + index));
        EXPECT_TRUE(glow);
        if (!glow)
            return nullptr;
        glow->addListener(&mFlash);
        compositors.setCompositorEnabled(viewport, "glow", true);
        compositors.setCompositorEnabled(viewport, "overlay" + index, true);
        return glow;
    }

    void setPaused(bool paused)
    {
        Ogre::CompositorManager::getSingleton().setCompositorEnabled(mOgre.renderWindow().getViewport(0),
                                                                     "pause", paused);
    }

    // A white square at the centre, a third of the view wide, that also draws in the glow scheme.
    void addGlowingSquare()
    {
        Ogre::MaterialPtr material = Ogre::MaterialManager::getSingleton().create("glowing", "ScreenFilters");
        material->getTechnique(0)->getPass(0)->setLightingEnabled(false);
        Ogre::Technique* glow = material->createTechnique();
        glow->setSchemeName("glow");
        glow->createPass()->setLightingEnabled(false);
        Ogre::ManualObject* square = mOgre.sceneManager().createManualObject();
        square->begin("glowing", Ogre::RenderOperation::OT_TRIANGLE_LIST, "ScreenFilters");
        const float h = 0.4f;
        square->position(-h, -h, 0);
        square->position(h, -h, 0);
        square->position(h, h, 0);
        square->position(-h, h, 0);
        square->quad(0, 1, 2, 3);
        square->end();
        mOgre.sceneManager().getRootSceneNode()->attachObject(square);
        mOgre.camera().setFOVy(Ogre::Degree(13.7f));
    }

    // The cameras' glow picture, with the one camera's view on the whole window, drawn before
    // the window as the game draws it.
    void addGlowPicture()
    {
        // Its pictures go in the game's group.
        Ogre::ResourceGroupManager::getSingleton().createResourceGroup("default");
        mGlow.reset(new game::GlowPicture(&mOgre.renderWindow(), &mOgre.sceneManager()));
        mGlow->addView(0, &mOgre.camera(), 0.0f, 0.0f, 1.0f, 1.0f, 0xFFFFFFFF);
        mGlow->setViewShown(0, true);
        mFlash.glow = mGlow.get();
    }

    Ogre::ColourValue pixel(unsigned x, unsigned y)
    {
        mOgre.renderFrame();
        mOgre.renderFrame();
        std::vector<unsigned char> bytes(SIZE * SIZE * 4);
        Ogre::PixelBox box(SIZE, SIZE, 1, Ogre::PF_BYTE_RGBA, bytes.data());
        mOgre.renderWindow().copyContentsToMemory(Ogre::Box(0, 0, SIZE, SIZE), box);
        return box.getColourAt(x, y, 0);
    }

    test::OgreWindow mOgre{SIZE, SIZE};
    test::ScriptGroup mGroup{
        "ScreenFilters",
        {"data/world.material", "data/filters.program", "data/filters.material", "data/filters.compositor"},
        "data"};
    GlowFallback mFallback;
    RedFlash mFlash;
    std::unique_ptr<game::GlowPicture> mGlow;
};

void expectColour(const Ogre::ColourValue& expected, const Ogre::ColourValue& actual)
{
    EXPECT_NEAR(expected.r, actual.r, TOLERANCE);
    EXPECT_NEAR(expected.g, actual.g, TOLERANCE);
    EXPECT_NEAR(expected.b, actual.b, TOLERANCE);
}

TEST_F(ScreenFilters, CompileAndLeaveAPictureWithoutGlowUnchanged)
{
    for (const std::string& error : mGroup.errors())
        ADD_FAILURE() << error;
    for (int camera : {1, 2})
    {
        SCOPED_TRACE(camera);
        ASSERT_TRUE(chain(camera));
        expectColour(BACKGROUND, pixel(SIZE / 2, SIZE / 2));
        Ogre::CompositorManager::getSingleton().removeCompositorChain(mOgre.renderWindow().getViewport(0));
    }
}

TEST_F(ScreenFilters, GlowSpreadsAroundWhatDrawsInTheGlowScheme)
{
    addGlowingSquare();
    // Just outside the square's edge, which spans the middle third of the view.
    const unsigned x = SIZE / 2 + SIZE / 6 + 3;
    const Ogre::ColourValue plain = pixel(x, SIZE / 2);
    expectColour(BACKGROUND, plain);
    addGlowPicture();
    ASSERT_TRUE(chain(1));
    const Ogre::ColourValue glowing = pixel(x, SIZE / 2);
    EXPECT_GT(glowing.r, plain.r + 0.1f);
    EXPECT_GT(glowing.g, plain.g + 0.1f);
}

// The whole glow, and its technique "flash" that the camera uses while nothing can glow.
TEST_F(ScreenFilters, RedFlashWashesThePictureWithRed)
{
    Ogre::CompositorInstance* glow = chain(1);
    ASSERT_TRUE(glow);
    for (const char* technique : {"", "flash"})
    {
        SCOPED_TRACE(technique);
        glow->setScheme(technique);
        mFlash.intensity = 1;
        expectColour(Ogre::ColourValue(0.2f * 0.45f + 0.55f, 0.4f * 0.45f, 0.8f * 0.45f),
                     pixel(SIZE / 2, SIZE / 2));
        mFlash.intensity = 0;
        expectColour(BACKGROUND, pixel(SIZE / 2, SIZE / 2));
    }
}

TEST_F(ScreenFilters, PauseGreysAndDarkensThePicture)
{
    ASSERT_TRUE(chain(2));
    setPaused(true);
    const Ogre::ColourValue paused = pixel(SIZE / 2, SIZE / 2);
    EXPECT_LT(std::abs(paused.r - paused.b), 0.1f);
    EXPECT_LT(paused.r + paused.g + paused.b, 0.75f * (BACKGROUND.r + BACKGROUND.g + BACKGROUND.b));
    setPaused(false);
    expectColour(BACKGROUND, pixel(SIZE / 2, SIZE / 2));
}
} // namespace
