#include "engine/presentation/ogreimagearray.h"
#include "menutesting.h"
#include "support/logcapture.h"
#include "support/ogre/headlessogre.h"

#include <OgreException.h>
#include <OgreMaterialManager.h>
#include <OgreMaterial.h>
#include <OgrePass.h>
#include <OgreTechnique.h>
#include <OgreTextureManager.h>

#include <gtest/gtest.h>

using brix::OgreImageArray;

namespace
{
class ImageArrayTest : public testing::Test
{
protected:
    ImageArrayTest() { textures = new Ogre::DefaultTextureManager(); }
    ~ImageArrayTest() override
    {
        Ogre::MaterialManager::getSingleton().removeAll();
        delete textures;
    }

    test::LogCapture log;
    test::HeadlessOgre ogre;
    Ogre::TextureManager* textures;
};
} // namespace

TEST_F(ImageArrayTest, CellsAreNumberedRowByRowFromTheTopLeft)
{
    menutest::ImageSheet sheet("portraits", 512, 256);
    OgreImageArray images("portraits", 4, 2);
    EXPECT_EQ(8u, images.getCount());
    EXPECT_FLOAT_EQ(1.0f, images.getAspectRatio());
    EXPECT_EQ("portraits", images.getMaterial());
    Ogre::Vector2 uv1, uv2;
    images.getUV(5, uv1, uv2);
    EXPECT_EQ(Ogre::Vector2(0.25f, 0.5f), uv1);
    EXPECT_EQ(Ogre::Vector2(0.5f, 1.0f), uv2);
    // Past the last image the coordinates leave the texture; callers keep below the count.
    images.getUV(8, uv1, uv2);
    EXPECT_EQ(Ogre::Vector2(0, 1), uv1);
    EXPECT_EQ(Ogre::Vector2(0.25f, 1.5f), uv2);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(ImageArrayTest, AspectRatioUsesWholePixelCells)
{
    menutest::ImageSheet thumbnails("thumbnails", 100, 50);
    EXPECT_FLOAT_EQ(33.0f / 50.0f, OgreImageArray("thumbnails", 3, 1).getAspectRatio());
    // More divisions than pixels would divide by zero: logged, and the ratio stays 1.
    menutest::ImageSheet tiny("tiny", 2, 2);
    EXPECT_FLOAT_EQ(1.0f, OgreImageArray("tiny", 1, 3).getAspectRatio());
    EXPECT_EQ(std::vector<std::string>{"E Image array texture 'tiny.png' is too small for 1 x 3 images"},
              log.lines());
}

TEST_F(ImageArrayTest, ZeroDivisionsThrow)
{
    menutest::ImageSheet sheet("portraits", 512, 256);
    for (unsigned x : {0u, 1u})
    {
        try
        {
            OgreImageArray images("portraits", x, 1 - x);
            FAIL() << "no exception";
        }
        catch (const Ogre::InvalidParametersException& e)
        {
            EXPECT_EQ("Invalid image array division count", e.getDescription());
            EXPECT_EQ("OgreImageArray::OgreImageArray", e.getSource());
        }
    }
}

TEST_F(ImageArrayTest, MissingResourcesAreLoggedAndLeaveARatioOfOne)
{
    EXPECT_FLOAT_EQ(1.0f, OgreImageArray("nothing", 2, 2).getAspectRatio());
    Ogre::MaterialManager::getSingleton().create("plain", test::dataGroup());
    EXPECT_FLOAT_EQ(1.0f, OgreImageArray("plain", 2, 2).getAspectRatio());
    Ogre::MaterialManager::getSingleton()
        .create("lost", test::dataGroup())
        ->getTechnique(0)
        ->getPass(0)
        ->createTextureUnitState("lost.png");
    Ogre::TextureManager::getSingleton().remove("lost.png", test::dataGroup());
    EXPECT_FLOAT_EQ(1.0f, OgreImageArray("lost", 2, 2).getAspectRatio());
    EXPECT_EQ(
        (std::vector<std::string>{"E Image array material 'nothing' not found",
                                  "E Could not determine texture name for image array material 'nothing'",
                                  "E Could not determine texture name for image array material 'plain'",
                                  "E Image array texture 'lost.png' not found"}),
        log.lines());
}
