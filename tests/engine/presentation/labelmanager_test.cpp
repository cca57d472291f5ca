#include "engine/presentation/labelmanager.h"
#include "engine/presentation/labelfactory.h"
#include "engine/presentation/ogreobjectbuilder.h"
#include "engine/presentation/textlabel.h"
#include "engine/presentation/textlabelfactory.h"
#include "support/logcapture.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/imagefont.h"
#include "support/ogre/manualobjectreader.h"
#include "support/ogre/shownlines.h"

#include <OgreException.h>
#include <OgreManualObject.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <gtest/gtest.h>

using brix::Label;
using brix::LabelManager;
using brix::TextLabel;

namespace
{
typedef std::vector<std::string> Lines;

// A label that counts how often it is drawn, of the type "counted".
struct CountedLabel : Label
{
    explicit CountedLabel(LabelManager* manager) : Label(manager) {}
    void rebuild(brix::OgreObjectBuilder&) override
    {
        ++rebuilds;
        mDirtyLayers = 0;
    }
    void touch() { mDirtyLayers |= mLayerFlags; }
    int rebuilds = 0;
};

struct CountedFactory : brix::LabelFactory
{
    explicit CountedFactory(int* alive) : alive(alive) { ++*alive; }
    ~CountedFactory() override { --*alive; }
    std::string getType() override { return "counted"; }
    Label* createLabel(LabelManager* manager) override { return new CountedLabel(manager); }
    int* alive;
};

class LabelManagerTest : public testing::Test
{
protected:
    LabelManagerTest()
        : node(ogre.sceneManager().getRootSceneNode()->createChildSceneNode()),
          manager(new LabelManager(&ogre.sceneManager(), node, test::ImageFont::NAME, 2))
    {
        manager->registerLabelType(new brix::TextLabelFactory());
        manager->registerLabelType(new CountedFactory(&factories));
    }
    ~LabelManagerTest() override { delete manager; }

    Ogre::ManualObject& layer(unsigned i)
    {
        return *static_cast<Ogre::ManualObject*>(node->getAttachedObject(i));
    }
    TextLabel* addText(const std::string& text, const Ogre::Vector3& at = Ogre::Vector3::ZERO)
    {
        auto* label = static_cast<TextLabel*>(manager->addLabel("text", at));
        label->setText(text);
        return label;
    }

    test::LogCapture log;
    test::HeadlessOgre ogre;
    test::ImageFont font;
    int factories = 0;
    Ogre::SceneNode* node;
    LabelManager* manager;
};
} // namespace

TEST_F(LabelManagerTest, LayersAreManualObjectsInQueueEighty)
{
    ASSERT_EQ(2u, node->numAttachedObjects());
    EXPECT_EQ(80, layer(1).getRenderQueueGroup());
    manager->setLayerVisibilityFlags(1, 0x4);
    manager->setLayerVisibilityFlags(2, 0x8);
    EXPECT_EQ(0x4u, layer(1).getVisibilityFlags());
    manager->setVisible(false);
    EXPECT_FALSE(layer(0).getVisible());
    delete manager;
    manager = nullptr;
    EXPECT_EQ(0u, node->numAttachedObjects());
    EXPECT_EQ(0, factories);
}

TEST_F(LabelManagerTest, FactoriesAreFoundByTypeAndTheFirstOfANameStays)
{
    int second = 0;
    manager->registerLabelType(new CountedFactory(&second));
    EXPECT_EQ(0, second);
    EXPECT_NE(nullptr, dynamic_cast<CountedLabel*>(manager->addLabel("counted", Ogre::Vector3::ZERO)));
    EXPECT_EQ((Lines{"I Registering label type 'text'", "I Registering label type 'counted'",
                     "I Registering label type 'counted'"}),
              log.lines());
    try
    {
        manager->addLabel("interaction", Ogre::Vector3::ZERO);
        FAIL() << "no exception";
    }
    catch (const Ogre::InvalidParametersException& e)
    {
        EXPECT_EQ("No factory for label type 'interaction' found", e.getDescription());
        EXPECT_EQ("LabelManager::addLabel", e.getSource());
    }
}

TEST_F(LabelManagerTest, OnlyLayersWithChangedLabelsAreRebuilt)
{
    auto* counted = static_cast<CountedLabel*>(manager->addLabel("counted", Ogre::Vector3::ZERO));
    counted->setLayerFlags(0b01);
    // Added at the origin, the label has nothing to draw until it changes; leaving layer 1
    // redraws only that layer, without it.
    manager->update(0.01f);
    EXPECT_EQ(0, counted->rebuilds);
    counted->setPosition(Ogre::Vector3::ZERO);
    manager->update(0.01f);
    EXPECT_EQ(0, counted->rebuilds);
    counted->touch();
    manager->update(0.01f);
    manager->update(0.01f);
    EXPECT_EQ(1, counted->rebuilds);

    // A neighbour in the same layer that changes redraws the whole layer.
    TextLabel* text = addText("hi");
    text->setLayerFlags(0b01);
    manager->update(0.01f);
    EXPECT_EQ(2, counted->rebuilds);
    EXPECT_EQ((Lines{"hi"}), test::shownLines(layer(0)));

    // Hidden everywhere, the label stops costing rebuilds after the one that removes it.
    text->setLayerFlags(0);
    manager->update(0.01f);
    manager->update(0.01f);
    manager->update(0.01f);
    EXPECT_EQ(3, counted->rebuilds);
    EXPECT_EQ(Lines{}, test::shownLines(layer(0)));
}

TEST_F(LabelManagerTest, MovingBetweenLayersRedrawsBoth)
{
    TextLabel* text = addText("go");
    text->setLayerFlags(0b01);
    manager->update(0);
    EXPECT_EQ((Lines{"go"}), test::shownLines(layer(0)));
    text->setLayerFlags(0b10);
    manager->update(0);
    EXPECT_EQ(Lines{}, test::shownLines(layer(0)));
    EXPECT_EQ((Lines{"go"}), test::shownLines(layer(1)));

    manager->removeLabel(text);
    manager->removeLabel(text);
    manager->update(0);
    EXPECT_EQ(Lines{}, test::shownLines(layer(1)));
}

TEST_F(LabelManagerTest, RemovingAllLabelsEmptiesEveryLayer)
{
    addText("a")->setLayerFlags(0b01);
    addText("b")->setLayerFlags(0b10);
    manager->update(0);
    manager->removeLabels();
    manager->update(0);
    EXPECT_EQ(Lines{}, test::shownLines(layer(0)));
    EXPECT_EQ(Lines{}, test::shownLines(layer(1)));
}

TEST_F(LabelManagerTest, TextAndSubTextAreCentredOnThePosition)
{
    TextLabel* text = addText("AB", Ogre::Vector3(1, 2, 3));
    text->setTextSize(1.0f);
    text->setSubText("c");
    text->setLayerFlags(0b01);
    manager->update(0);
    const test::SectionContents s = test::readSection(layer(0));
    ASSERT_EQ(12u, s.positions.size());
    EXPECT_FLOAT_EQ(1 - 0.525f, s.positions[0].x);
    EXPECT_FLOAT_EQ(2.5f, s.positions[0].y);
    EXPECT_FLOAT_EQ(3, s.positions[0].z);
    // Half as high, 0.85 sizes down.
    EXPECT_FLOAT_EQ(1 - 0.125f, s.positions[8].x);
    EXPECT_FLOAT_EQ(2 - 0.85f + 0.25f, s.positions[8].y);
}

TEST_F(LabelManagerTest, TimedLabelsWaitRiseFadeAndExpire)
{
    TextLabel* text = addText("up");
    text->setLayerFlags(0b01);
    text->setTextSize(1.0f);
    text->setDuration(2);
    text->setAnimation(Ogre::Vector3(0, 1, 0), 1, 1);
    auto topAndAlpha = [&]
    {
        const test::SectionContents s = test::readSection(layer(0));
        return std::make_pair(s.positions.at(0).y, s.colours.at(0).a);
    };
    manager->update(0.5f);
    EXPECT_EQ(std::make_pair(0.5f, 1.0f), topAndAlpha());
    manager->update(1.0f);
    EXPECT_FLOAT_EQ(1.0f, topAndAlpha().first);
    EXPECT_NEAR(0.5f, topAndAlpha().second, 1.0f / 255);
    manager->update(0.5f);
    EXPECT_FLOAT_EQ(1.5f, topAndAlpha().first);
    EXPECT_EQ(0.0f, topAndAlpha().second);
    // Expired on this update, removed (and its layer redrawn without it) on the next.
    manager->update(0.5f);
    EXPECT_FALSE(test::shownLines(layer(0)).empty());
    manager->update(0.5f);
    EXPECT_EQ(Lines{}, test::shownLines(layer(0)));
}

TEST_F(LabelManagerTest, FadingNeverWrapsAlphaRoundToOpaque)
{
    TextLabel* fast = addText("f");
    fast->setLayerFlags(0b01);
    fast->setDuration(10);
    fast->setAnimation(Ogre::Vector3::ZERO, 4, 0);
    TextLabel* brightening = addText("b");
    brightening->setLayerFlags(0b01);
    brightening->setColor(Ogre::ColourValue(1, 1, 1, 0.5f));
    brightening->setDuration(10);
    brightening->setAnimation(Ogre::Vector3::ZERO, -4, 0);
    manager->update(1.0f);
    const test::SectionContents s = test::readSection(layer(0));
    EXPECT_EQ(0.0f, s.colours.at(0).a);
    EXPECT_EQ(1.0f, s.colours.at(4).a);
}

TEST(LabelManager, RefusesMoreLayersThanFlagBits)
{
    test::HeadlessOgre ogre;
    Ogre::SceneNode* node = ogre.sceneManager().getRootSceneNode();
    EXPECT_THROW(LabelManager(&ogre.sceneManager(), node, "menufont", LabelManager::MAX_LAYERS + 1),
                 Ogre::InvalidParametersException);
    // One per flag bit is allowed.
    {
        LabelManager full(&ogre.sceneManager(), node, "menufont", LabelManager::MAX_LAYERS);
        EXPECT_EQ(node->numAttachedObjects(), 32u);
    }
    EXPECT_EQ(node->numAttachedObjects(), 0u);
}
