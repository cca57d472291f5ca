#include "engine/presentation/labelmanager.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogreimagearray.h"
#include "engine/presentation/ogreobjectbuilder.h"
#include "engine/presentation/textlabel.h"
#include "engine/presentation/textlabelfactory.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/ogrewindow.h"
#include "support/ogre/referenceimage.h"
#include "support/tempdir.h"

#include <OgreCamera.h>
#include <OgreDataStream.h>
#include <OgreFontManager.h>
#include <OgreHardwarePixelBuffer.h>
#include <OgreImage.h>
#include <OgreManualObject.h>
#include <OgreMaterialManager.h>
#include <OgreMaterial.h>
#include <OgreOverlaySystem.h>
#include <OgreViewport.h>
#include <OgrePass.h>
#include <OgreRenderWindow.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreTechnique.h>
#include <OgreTextureManager.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace
{
const char* const REFERENCE = "tests/engine/presentation/reference/presentation.png";
const Ogre::Vector2 SOLID(0.03125f, 0.03125f), EDGE_A(0.015f, 0.03125f), EDGE_B(0.0475f, 0.03125f);

// A unit box in one colour, drawn without lighting.
void addBox(Ogre::SceneManager& scene, const Ogre::Vector3& at, const Ogre::ColourValue& colour)
{
    Ogre::ManualObject* box = scene.createManualObject();
    box->begin("BaseWhiteNoLighting", Ogre::RenderOperation::OT_TRIANGLE_LIST);
    for (int corner = 0; corner < 8; ++corner)
    {
        box->position((corner & 1) - 0.5f, ((corner >> 1) & 1) - 0.5f, ((corner >> 2) & 1) - 0.5f);
        box->colour(colour * (0.6f + 0.1f * (corner & 3)));
    }
    static const int FACES[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                    {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& face : FACES)
        box->quad(face[0], face[1], face[2], face[3]);
    box->end();
    scene.getRootSceneNode()->createChildSceneNode(at)->attachObject(box);
}

// A 64 x 64 sheet of four coloured squares behind the material "DemoSheet".
void makeSheet()
{
    Ogre::TexturePtr texture = Ogre::TextureManager::getSingleton().createManual(
        "demosheet", test::dataGroup(), Ogre::TEX_TYPE_2D, 64, 64, 0, Ogre::PF_BYTE_RGBA);
    std::vector<unsigned char> pixels(64 * 64 * 4);
    static const unsigned char COLOURS[4][3] = {{230, 60, 60}, {60, 200, 80}, {70, 110, 240}, {240, 210, 50}};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
        {
            const unsigned char* c = COLOURS[(y / 32) * 2 + x / 32];
            const bool ring = (x % 32) < 3 || (y % 32) < 3;
            unsigned char* p = &pixels[(y * 64 + x) * 4];
            p[0] = ring ? 255 : c[0];
            p[1] = ring ? 255 : c[1];
            p[2] = ring ? 255 : c[2];
            p[3] = 255;
        }
    texture->getBuffer()->blitFromMemory(Ogre::PixelBox(64, 64, 1, Ogre::PF_BYTE_RGBA, pixels.data()));
    Ogre::MaterialPtr material = Ogre::MaterialManager::getSingleton().create("DemoSheet", test::dataGroup());
    material->setLightingEnabled(false);
    material->getTechnique(0)->getPass(0)->createTextureUnitState("demosheet");
}

// Shapes and formatted text drawn straight in screen coordinates, as menu pages do.
void drawPanel(Ogre::SceneManager& scene, float aspectRatio)
{
    Ogre::ManualObject* panel = scene.createManualObject();
    panel->setUseIdentityProjection(true);
    panel->setUseIdentityView(true);
    panel->setRenderQueueGroup(99);
    Ogre::AxisAlignedBox infinite;
    infinite.setInfinite();
    scene.getRootSceneNode()->createChildSceneNode()->attachObject(panel);

    brix::OgreObjectBuilder builder(panel, "menufont", SOLID, EDGE_A, EDGE_B);
    builder.setAspectRatio(aspectRatio);
    builder.begin(false);
    const Ogre::ColourValue white(1, 1, 1), frame(0.9f, 0.75f, 0.3f), shade(0, 0, 0, 0.5f);
    builder.addRectangle(Ogre::Vector3(0.1f, -0.95f, 0), Ogre::Vector3(0.95f, -0.2f, 0), shade);
    builder.addRectangleOutline(Ogre::Vector3(0.1f, -0.95f, 0), Ogre::Vector3(0.95f, -0.2f, 0), 0.01f, frame);
    builder.addTextFormatted(Ogre::Vector3(0.15f, -0.25f, 0), "0.4l_|0.35r_", "Level|Time", 0.07f, frame,
                             brix::OgreObjectBuilder::ALIGN_LEFT, brix::OgreObjectBuilder::ALIGN_RIGHT);
    builder.addTextFormatted(Ogre::Vector3(0.15f, -0.36f, 0), "0.4l|0.35r", "Foundry \xC3\xA9tage 2|01:42.5",
                             0.06f, white, brix::OgreObjectBuilder::ALIGN_LEFT,
                             brix::OgreObjectBuilder::ALIGN_RIGHT);
    builder.addLine(Ogre::Vector3(0.15f, -0.5f, 0), Ogre::Vector3(0.9f, -0.5f, 0), 0.004f, 0.02f, white,
                    frame);
    builder.addCircleOutline(Ogre::Vector3(0.3f, -0.72f, 0), 0.12f, 0.02f, 32, frame, 0, 0);
    builder.addCircleOutline(Ogre::Vector3(0.3f, -0.72f, 0), 0.07f, 0.03f, 32, white, 90, 300);
    builder.addSpeechBubble(Ogre::Vector3(0.5f, -0.7f, 0), Ogre::Vector3(0.9f, -0.56f, 0), 0.04f, -0.1f,
                            0.01f, white);
    builder.addText(Ogre::Vector3(0.7f, -0.63f, 0), "Hold!", 0.06f, white,
                    brix::OgreObjectBuilder::ALIGN_MIDDLE, brix::OgreObjectBuilder::ALIGN_MIDDLE, 0);
    builder.end();

    brix::OgreImageArray sheet("DemoSheet", 2, 2);
    builder.begin("DemoSheet", false);
    for (unsigned i = 0; i < sheet.getCount(); ++i)
    {
        Ogre::Vector2 uv1, uv2;
        sheet.getUV(i, uv1, uv2);
        const float x = 0.5f + i * 0.1f, size = 0.08f;
        builder.addImage(Ogre::Vector3(x, -0.78f, 0),
                         Ogre::Vector3(x + size * sheet.getAspectRatio() / aspectRatio, -0.78f - size, 0),
                         uv1, uv2, Ogre::ColourValue::White);
    }
    builder.end();
    panel->setBoundingBox(infinite);
}

} // namespace

// Labels over objects, on-screen messages, and builder shapes with an image array, drawn
// by RenderSystem_GL and compared with the reviewed reference image. Set
// KORVANE_UPDATE_REFERENCE=1 to write a new reference after a reviewed change.
TEST(PresentationDemo, DrawsLabelsMessagesAndShapesAsReviewed)
{
    test::TempDir dir;
    const std::string shot = dir.file("presentation.png");
    test::OgreWindow ogre(640, 480, {"Codec_STBI", "Plugin_ParticleFX"});
    // The overlay system brings the font manager, which reads the .fontdef scripts.
    std::unique_ptr<Ogre::OverlaySystem> overlays(new Ogre::OverlaySystem());
    ogre.loadGameData();
    {
        Ogre::Camera& camera = ogre.camera();
        ogre.renderWindow().getViewport(0)->setBackgroundColour(Ogre::ColourValue(0.1f, 0.12f, 0.2f));
        camera.getParentSceneNode()->setPosition(0, 1, 9);
        makeSheet();

        Ogre::SceneManager& scene = ogre.sceneManager();
        addBox(scene, Ogre::Vector3(-3, 0, 0), Ogre::ColourValue(0.8f, 0.3f, 0.2f));
        addBox(scene, Ogre::Vector3(0, 0, 0), Ogre::ColourValue(0.3f, 0.6f, 0.9f));
        addBox(scene, Ogre::Vector3(3, 0, 0), Ogre::ColourValue(0.4f, 0.8f, 0.3f));

        brix::LabelManager labels(&scene, scene.getRootSceneNode()->createChildSceneNode(), "menufont", 1);
        labels.registerLabelType(new brix::TextLabelFactory());
        const char* names[3] = {"Guard", "J\xC3\xBCrgen", "bad \xFF name"};
        for (int i = 0; i < 3; ++i)
        {
            auto* label =
                static_cast<brix::TextLabel*>(labels.addLabel("text", Ogre::Vector3(i * 3.0f - 3, 1.2f, 0)));
            label->setText(names[i]);
            label->setSubText(std::to_string(100 - i * 35) + " HP");
            label->setTextSize(0.45f);
        }
        auto* score = static_cast<brix::TextLabel*>(labels.addLabel("text", Ogre::Vector3(0, -1.2f, 0)));
        score->setText("+250");
        score->setColor(Ogre::ColourValue(1, 0.85f, 0.2f));
        score->setTextSize(0.5f);
        score->setDuration(3);
        score->setAnimation(Ogre::Vector3(0, 1, 0), 0.5f, 0.5f);

        brix::MessageDisplay messages(&scene, 4, 5, "menufont", 0.07f, Ogre::ColourValue(0.9f, 0.9f, 0.9f));
        messages.setAspectRatio(640.0f / 480.0f);
        messages.writeMessage("Player Korva connected", true);
        messages.writeMessage("Downloading level 40%", false);
        messages.writeMessage("Level downloaded", true);
        messages.writeMessage("Match begins \xE2\x80\x94 good luck", true);

        drawPanel(scene, 640.0f / 480.0f);
        labels.update(1.0f);
        ogre.renderFrame();
        ogre.renderFrame();
        ogre.renderWindow().writeContentsToFile(shot);

        Ogre::FontPtr font = Ogre::FontManager::getSingleton().getByName("menufont", test::dataGroup());
        ASSERT_TRUE(font);
        EXPECT_NE(0, font->getGlyphTexCoords(0xFC).width());
        EXPECT_NE(0, font->getGlyphTexCoords(0xFFFD).width());
        font.reset();

        EXPECT_EQ(test::compareWithReference(shot, REFERENCE), "");
    }
}
