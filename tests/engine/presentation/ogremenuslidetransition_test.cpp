#include "engine/presentation/ogremenuslidetransition.h"
#include "menutesting.h"

#include <OgreSceneNode.h>

using menutest::MenuTest;

namespace
{
class SlideTransitionTest : public MenuTest
{
protected:
    SlideTransitionTest() : from(addPage("from")), to(addPage("to")) {}

    float toX() const { return to->getSceneNode()->getPosition().x; }
    float fromX() const { return from->getSceneNode()->getPosition().x; }

    brix::OgreMenuPage* from;
    brix::OgreMenuPage* to;
};
} // namespace

TEST_F(SlideTransitionTest, EasesOutAndCompletesAtItsDuration)
{
    brix::OgreMenuSlideTransition slide(Ogre::Vector3(4, 0, 0), 0.5f);
    EXPECT_TRUE(slide.isComplete());
    slide.start(from, to);
    EXPECT_FALSE(slide.isComplete());
    EXPECT_FLOAT_EQ(4, toX());
    EXPECT_FLOAT_EQ(0, fromX());

    slide.update(0.25f);
    // p = 1 - (1 - 0.5)^2 = 0.75
    EXPECT_FALSE(slide.isComplete());
    EXPECT_FLOAT_EQ(1, toX());
    EXPECT_FLOAT_EQ(-3, fromX());

    slide.update(0.25f);
    EXPECT_TRUE(slide.isComplete());
    EXPECT_FLOAT_EQ(0, toX());
    EXPECT_FLOAT_EQ(-4, fromX());

    // Starting again begins from the offset.
    slide.start(to, from);
    EXPECT_FLOAT_EQ(4, fromX());
    EXPECT_FLOAT_EQ(0, toX());
}

TEST_F(SlideTransitionTest, ZeroDurationAndCancelPutThePagesAtTheirEnds)
{
    brix::OgreMenuSlideTransition instant(Ogre::Vector3(0, 2, 0), 0);
    instant.start(from, to);
    EXPECT_TRUE(instant.isComplete());
    EXPECT_EQ(Ogre::Vector3::ZERO, to->getSceneNode()->getPosition());
    EXPECT_EQ(Ogre::Vector3(0, -2, 0), from->getSceneNode()->getPosition());

    brix::OgreMenuSlideTransition slow(Ogre::Vector3(1, 0, 0), 10);
    slow.start(to, from);
    slow.update(1);
    slow.cancel();
    EXPECT_TRUE(slow.isComplete());
    EXPECT_EQ(Ogre::Vector3::ZERO, from->getSceneNode()->getPosition());
    EXPECT_EQ(Ogre::Vector3(-1, 0, 0), to->getSceneNode()->getPosition());

    // Pages may be missing.
    slow.start(nullptr, to);
    slow.update(20);
    EXPECT_TRUE(slow.isComplete());
}
