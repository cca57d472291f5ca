#include "PlugIns/PNGCodec/pngtestimage.h"

#include <OgreCodec.h>
#include <OgreImage.h>
#include <OgrePlugin.h>
#include <OgreRoot.h>

#include <gtest/gtest.h>

namespace
{
bool pluginInstalled(Ogre::Root& root)
{
    for (Ogre::Plugin* plugin : root.getInstalledPlugins())
        if (plugin->getName() == "TevraPNGPlugin")
            return true;
    return false;
}
} // namespace

// A Root that is never initialised (as in tools and tests) never shuts its plug-ins down:
// the codec must still leave OGRE's registry when the plug-in goes, or the next Root finds
// a deleted codec under "png".
TEST(TevraPNGPlugin, RegistersTheCodecWhileLoadedInEveryRootInTurn)
{
    test::TPngImage source;
    source.width = 2;
    source.colourType = PNG_COLOR_TYPE_GRAY;
    source.samples = {0, 255};
    const std::string png = test::encodePng(source);
    ASSERT_FALSE(Ogre::Codec::isCodecRegistered("png"));
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        {
            test::OgreWithPNG ogre;
            EXPECT_TRUE(pluginInstalled(ogre.root()));
            ASSERT_TRUE(Ogre::Codec::isCodecRegistered("png"));
            EXPECT_EQ(Ogre::Codec::getCodec("png")->getType(), "png");
            Ogre::Image image;
            image.load(test::streamOf(png));
            EXPECT_EQ(image.getColourAt(1, 0, 0).r, 1.0f);
        }
        EXPECT_FALSE(Ogre::Codec::isCodecRegistered("png"));
    }

    test::OgreWithPNG ogre;
    ogre.root().unloadPlugin(test::OgreWithPNG::pluginPath());
    EXPECT_FALSE(pluginInstalled(ogre.root()));
    EXPECT_FALSE(Ogre::Codec::isCodecRegistered("png"));
}
