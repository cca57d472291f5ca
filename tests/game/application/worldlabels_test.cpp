#include "engine/presentation/labelmanager.h"
#include "engine/presentation/textlabelfactory.h"
#include "game/application/characterlabel.h"
#include "game/application/characterlabelfactory.h"
#include "game/application/interactionlabel.h"
#include "game/application/interactionlabelfactory.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/imagefont.h"
#include "support/ogre/manualobjectreader.h"
#include "support/ogre/shownlines.h"

#include <OgreManualObject.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <gtest/gtest.h>

#include <memory>

using game::CharacterLabel;
using game::InteractionLabel;
using game::WorldLabel;

namespace
{
typedef std::vector<std::string> Lines;
// Vertex colours are stored in 8 bits a channel.
const float ALPHA_STEP = 1.0f / 255.0f;

// The label manager as the game sets it up: two layers, the three label types in order.
class WorldLabelTest : public testing::Test
{
protected:
    WorldLabelTest()
        : node(ogre.sceneManager().getRootSceneNode()->createChildSceneNode()),
          labels(new brix::LabelManager(&ogre.sceneManager(), node, test::ImageFont::NAME, 2))
    {
        labels->registerLabelType(new brix::TextLabelFactory());
        labels->registerLabelType(new game::InteractionLabelFactory());
        labels->registerLabelType(new game::CharacterLabelFactory());
    }

    Ogre::ManualObject& layer(unsigned int i)
    {
        return *static_cast<Ogre::ManualObject*>(node->getAttachedObject(i));
    }
    WorldLabel* add(const char* type, const Ogre::Vector3& at = Ogre::Vector3::ZERO)
    {
        return static_cast<WorldLabel*>(labels->addLabel(type, at));
    }
    // Frames of the given length until the seconds have passed.
    void run(float seconds, float frame = 0.1f)
    {
        for (int i = 0; i < static_cast<int>(seconds / frame + 0.5f); ++i)
            labels->update(frame);
    }
    // What the layer draws; nothing when it has no section.
    test::SectionContents contents(unsigned int i)
    {
        return layer(i).getNumSections() ? test::readSection(layer(i)) : test::SectionContents();
    }
    std::vector<float> alphas(unsigned int i)
    {
        std::vector<float> result;
        for (const Ogre::ColourValue& colour : contents(i).colours)
            result.push_back(colour.a);
        return result;
    }

    test::HeadlessOgre ogre;
    test::ImageFont font;
    Ogre::SceneNode* node;
    std::unique_ptr<brix::LabelManager> labels;
};
} // namespace

TEST_F(WorldLabelTest, TypesAreMadeByName)
{
    EXPECT_NE(nullptr, dynamic_cast<CharacterLabel*>(add("character")));
    EXPECT_NE(nullptr, dynamic_cast<InteractionLabel*>(add("interaction")));
}

TEST_F(WorldLabelTest, SpeechShowsForItsTimeThenTheNameAgain)
{
    WorldLabel* label = add("character");
    label->setLayerFlags(0b01);
    label->setText("ANN");
    labels->update(0.0f);
    EXPECT_EQ((Lines{"ANN"}), test::shownLines(layer(0)));

    label->setSpeech("HI", 3.0f);
    labels->update(0.0f);
    const size_t nameTriangles = 3 * 2;
    EXPECT_GT(contents(0).triangleCount(), nameTriangles + 2 * 2);
    // The same line with less time left does not shorten it; with more it extends it.
    run(1.0f);
    label->setSpeech("HI", 1.0f);
    EXPECT_FLOAT_EQ(2.0f, static_cast<CharacterLabel*>(label)->getSpeechTime());
    label->setSpeech("HI", 2.5f);
    EXPECT_FLOAT_EQ(2.5f, static_cast<CharacterLabel*>(label)->getSpeechTime());
    run(2.4f);
    EXPECT_GT(contents(0).triangleCount(), nameTriangles);
    run(0.2f);
    EXPECT_EQ((Lines{"ANN"}), test::shownLines(layer(0)));
    EXPECT_EQ(0.0f, static_cast<CharacterLabel*>(label)->getSpeechTime());
}

TEST_F(WorldLabelTest, CharacterLabelDrawsMarkerAndFadingAimLineOnlyWhenSet)
{
    WorldLabel* label = add("character", Ogre::Vector3(1, 2, 0));
    label->setLayerFlags(0b10);
    label->setAimMarker(Ogre::Vector2(2, 0));
    labels->update(0.0f);
    // A square outline: four quads, each a faint white.
    const test::SectionContents marker = contents(1);
    ASSERT_FALSE(marker.positions.empty());
    float left = 1e9f, right = -1e9f;
    for (const Ogre::Vector3& p : marker.positions)
    {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
    }
    // Centred 2 to the right of the label, 0.3 wide plus the stroke.
    EXPECT_NEAR(3.0f - 0.15f - 0.025f, left, 1e-5f);
    EXPECT_NEAR(3.0f + 0.15f + 0.025f, right, 1e-5f);
    for (const Ogre::ColourValue& c : marker.colours)
        EXPECT_NEAR(0.2f, c.a, ALPHA_STEP);

    label->setAimMarker(Ogre::Vector2::ZERO);
    label->setAimLine(Ogre::Vector2(0, 0.5f), Ogre::Vector2(4, 0.5f));
    labels->update(0.0f);
    const std::vector<float> line = alphas(1);
    ASSERT_FALSE(line.empty());
    EXPECT_NEAR(0.2f, *std::max_element(line.begin(), line.end()), ALPHA_STEP);
    EXPECT_NEAR(0.01f, *std::min_element(line.begin(), line.end()), ALPHA_STEP);

    // Unchanged values cost no rebuild; a line from a point to itself draws nothing.
    label->setAimLine(Ogre::Vector2(0, 0.5f), Ogre::Vector2(4, 0.5f));
    EXPECT_EQ(0u, label->update(0.0f));
    label->setAimLine(Ogre::Vector2(1, 1), Ogre::Vector2(1, 1));
    labels->update(0.0f);
    EXPECT_TRUE(contents(1).positions.empty());
}

TEST_F(WorldLabelTest, InteractionLabelFadesOutThenHidesAndFadesBackIn)
{
    auto* label = static_cast<InteractionLabel*>(add("interaction"));
    label->setText("USE");
    // Nothing shows before the first flags.
    EXPECT_EQ(0u, label->getLayerFlags());
    labels->update(0.1f);
    EXPECT_EQ(Lines{}, test::shownLines(layer(0)));

    label->setLayerFlags(0b01);
    labels->update(0.1f);
    EXPECT_EQ((Lines{"USE"}), test::shownLines(layer(0)));
    EXPECT_NEAR(0.65f, alphas(0).front(), ALPHA_STEP);

    // The players walk away: 0.4 s of fading in the same layer, then gone (a fade that lands on
    // 0 exactly hides too).
    label->setLayerFlags(0);
    run(0.2f);
    EXPECT_EQ(0b01u, label->getLayerFlags());
    EXPECT_FLOAT_EQ(0.5f, label->getFade());
    EXPECT_NEAR(0.65f * 0.5f, alphas(0).front(), ALPHA_STEP);
    run(0.1f);
    EXPECT_EQ(0b01u, label->getLayerFlags());
    run(0.1f);
    EXPECT_EQ(0u, label->getLayerFlags());
    EXPECT_EQ(Lines{}, test::shownLines(layer(0)));
    EXPECT_EQ(0.0f, label->getFade());

    // They come back: shown at once, faded in over 0.4 s.
    label->setLayerFlags(0b11);
    labels->update(0.0f);
    EXPECT_EQ((Lines{"USE"}), test::shownLines(layer(1)));
    run(0.3f);
    EXPECT_NEAR(0.75f, label->getFade(), 1e-6f);
    run(0.1f);
    EXPECT_FLOAT_EQ(1.0f, label->getFade());
    EXPECT_EQ(0u, label->update(0.1f));
}

TEST_F(WorldLabelTest, InteractionLabelOutlinesItsBoxWithThePointerOnItsSide)
{
    auto* label = static_cast<InteractionLabel*>(add("interaction", Ogre::Vector3(10, 0, 0)));
    label->setLayerFlags(0b01);
    labels->update(0.0f);
    // A null box draws no outline, no placement no line, no text nothing at all.
    EXPECT_TRUE(contents(0).positions.empty());

    label->setBoundingBox(Ogre::AxisAlignedBox(Ogre::Vector3(-1, 0, -3), Ogre::Vector3(1, 2, 3)));
    label->setPlacement(InteractionLabel::PLACEMENT_RIGHT);
    labels->update(0.0f);
    const test::SectionContents right = contents(0);
    float maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
    for (const Ogre::Vector3& p : right.positions)
    {
        maxX = std::max(maxX, p.x);
        minZ = std::min(minZ, p.z);
        maxZ = std::max(maxZ, p.z);
    }
    // The line ends 0.4 beyond the right edge; depth is flattened.
    EXPECT_NEAR(10 + 1 + 0.4f, maxX, 0.03f);
    EXPECT_EQ(0.0f, minZ);
    EXPECT_EQ(0.0f, maxZ);

    label->setPlacement(InteractionLabel::PLACEMENT_ABOVE);
    label->setText("OPEN");
    labels->update(0.0f);
    float maxY = -1e9f;
    for (const Ogre::Vector3& p : contents(0).positions)
        maxY = std::max(maxY, p.y);
    // The caption stands above the line: box top 2, line to 2.4, text from 2.475 up 0.25.
    EXPECT_NEAR(2.0f + 0.4f + 0.075f + 0.25f, maxY, 1e-4f);
}
