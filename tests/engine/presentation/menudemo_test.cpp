#include "engine/presentation/ogreimagearray.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenuactionitem.h"
#include "engine/presentation/ogremenuitem.h"
#include "engine/presentation/ogremenulistitem.h"
#include "engine/presentation/ogremenupage.h"
#include "engine/presentation/ogremenutextitem.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/ogrewindow.h"
#include "support/ogre/referenceimage.h"
#include "support/tempdir.h"

#include <OgreHardwarePixelBuffer.h>
#include <OgreMaterialManager.h>
#include <OgreMaterial.h>
#include <OgreOverlaySystem.h>
#include <OgrePass.h>
#include <OgreRenderWindow.h>
#include <OgreSceneManager.h>
#include <OgreTechnique.h>
#include <OgreTextureManager.h>
#include <OgreViewport.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
const char* const REFERENCE = "tests/engine/presentation/reference/menu.png";
const unsigned int WIDTH = 640, HEIGHT = 480;

// Four portraits side by side, 32 x 32 each, behind the material "DemoPortraits": a face-like
// disc in a different colour on each.
void makePortraits()
{
    const int w = 128, h = 32;
    Ogre::TexturePtr texture = Ogre::TextureManager::getSingleton().createManual(
        "demoportraits", test::dataGroup(), Ogre::TEX_TYPE_2D, w, h, 0, Ogre::PF_BYTE_RGBA);
    static const unsigned char COLOURS[4][3] = {
        {220, 90, 70}, {90, 190, 110}, {80, 120, 230}, {230, 200, 70}};
    std::vector<unsigned char> pixels(w * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const int dx = x % 32 - 16, dy = y - 16;
            const bool disc = dx * dx + dy * dy < 12 * 12;
            const unsigned char* c = COLOURS[x / 32];
            unsigned char* p = &pixels[(y * w + x) * 4];
            p[0] = disc ? c[0] : 40;
            p[1] = disc ? c[1] : 40;
            p[2] = disc ? c[2] : 50;
            p[3] = 255;
        }
    texture->getBuffer()->blitFromMemory(Ogre::PixelBox(w, h, 1, Ogre::PF_BYTE_RGBA, pixels.data()));
    Ogre::MaterialPtr material =
        Ogre::MaterialManager::getSingleton().create("DemoPortraits", test::dataGroup());
    material->setLightingEnabled(false);
    material->setDepthCheckEnabled(false);
    material->getTechnique(0)->getPass(0)->setSceneBlending(Ogre::SBT_TRANSPARENT_ALPHA);
    material->getTechnique(0)->getPass(0)->createTextureUnitState("demoportraits");
}
} // namespace

// A menu page with every item kind, in screen space, drawn by RenderSystem_GL and compared
// with the reviewed reference image. Set KORVANE_UPDATE_REFERENCE=1 to write a new reference
// after a reviewed change.
TEST(MenuDemo, DrawsAPageWithEveryItemKindAsReviewed)
{
    test::TempDir dir;
    const std::string shot = dir.file("menu.png");
    test::OgreWindow ogre(WIDTH, HEIGHT, {"Codec_STBI", "Plugin_ParticleFX"});
    // The overlay system brings the font manager, which reads the .fontdef scripts.
    std::unique_ptr<Ogre::OverlaySystem> overlays(new Ogre::OverlaySystem());
    ogre.loadGameData();
    {
        Ogre::SceneManager& scene = ogre.sceneManager();
        ogre.renderWindow().getViewport(0)->setBackgroundColour(Ogre::ColourValue(0.12f, 0.1f, 0.16f));
        makePortraits();
        brix::OgreImageArray portraits("DemoPortraits", 4, 1);

        brix::OgreMenu menu(&scene, scene.getRootSceneNode(), "menufont", 0.07f,
                            Ogre::ColourValue(0.85f, 0.85f, 0.9f), Ogre::ColourValue(1.0f, 0.8f, 0.25f), true,
                            ogre.window());
        menu.setAspectRatio(static_cast<float>(WIDTH) / HEIGHT);
        brix::OgreMenuPage* page = menu.addPage("setup", "Player setup", nullptr);
        page->addActionItem("start", "Start match", "Opens the level list", "levels");
        page->addTextItem("name", "Name", "", 16, "Korva")->setState(brix::OgreMenuItem::STATE_NORMAL);
        page->addTextItem("host", "Host", "", 16, "192.168.0.7")
            ->setState(brix::OgreMenuItem::STATE_READ_ONLY);
        page->addValueItem("volume", "Volume", "", 0, 1, 0.1f, 0.7f);
        page->addListItem("mode", "Mode", "", {"Deathmatch", "Co-op", "Race"}, 1);
        page->addImageItem("face", "Portrait", "Left and right choose", 0.16f, &portraits, 2);
        brix::OgreMenuActionItem* best = page->addActionItem("best", "Foundry|1:42.5", "", "");
        best->setTitleFormat("0.4l|0.25r_");
        page->addActionItem("locked", "Online scores", "", "")->setState(brix::OgreMenuItem::STATE_DISABLED);
        menu.addPage("levels", "Levels", nullptr);

        menu.show("setup");
        page->setCurrentItem("face");
        menu.update(0);
        ogre.renderFrame();
        ogre.renderFrame();
        ogre.renderWindow().writeContentsToFile(shot);
    }
    const std::string problem = test::compareWithReference(shot, REFERENCE);
    EXPECT_EQ("", problem);
}
