#include "engine/core/animationblendnode.h"
#include "support/ogre/headlessogre.h"

#include <OgreAnimation.h>
#include <OgreAnimationState.h>
#include <OgreSkeleton.h>
#include <OgreSkeletonManager.h>

#include <gtest/gtest.h>

namespace
{
// A one-bone skeleton with four animations of 1, 2, 3 and 4 seconds, and their states.
class BlendTree : public testing::Test
{
protected:
    void SetUp() override
    {
        mSkeleton = Ogre::SkeletonManager::getSingleton().create("blend", "General", true);
        // Marked loaded while empty, so that removing it frees the bones and animations made here.
        mSkeleton->load();
        mSkeleton->createBone("root");
        for (int i = 0; i < 4; ++i)
            mSkeleton->createAnimation("anim" + std::to_string(i), float(i + 1))->createNodeTrack(0);
        mSkeleton->_initAnimationState(&mStates);
    }
    void TearDown() override
    {
        mSkeleton.reset();
        Ogre::SkeletonManager::getSingleton().remove("blend", "General");
    }

    Ogre::AnimationState* state(int i) { return mStates.getAnimationState("anim" + std::to_string(i)); }

    test::HeadlessOgre mOgre;
    Ogre::SkeletonPtr mSkeleton;
    Ogre::AnimationStateSet mStates;
};
} // namespace

TEST_F(BlendTree, SplitsTheWeightBetweenTheSides)
{
    brix::AnimationBlendNode root(state(0));
    root.setWeightA(0.25f);
    root.setChildA(new brix::AnimationBlendNode(state(1)));
    root.setChildB(new brix::AnimationBlendNode(state(2)));
    root.update(1.0f);
    EXPECT_FLOAT_EQ(state(0)->getWeight(), 1.0f);
    EXPECT_FLOAT_EQ(state(1)->getWeight(), 0.25f);
    EXPECT_FLOAT_EQ(state(2)->getWeight(), 0.75f);
    EXPECT_TRUE(state(1)->getEnabled());

    // All on the A side: B gets nothing and is switched off.
    root.setWeightB(0.0f);
    root.update(0.5f);
    EXPECT_FLOAT_EQ(state(1)->getWeight(), 0.5f);
    EXPECT_FLOAT_EQ(state(2)->getWeight(), 0.0f);
    EXPECT_FALSE(state(2)->getEnabled());
    root.setWeightB(0.3f);
    root.update(1.0f);
    EXPECT_FLOAT_EQ(state(1)->getWeight(), 0.7f);
}

TEST_F(BlendTree, ChainsPassTheRestDownAndSingleChildrenTakeItAll)
{
    // root (no state) -> A: state 0 at 0.5; B: node(no state) -> A: state 1 at 0.5; B: node(state 2) -> A
    // only: state 3.
    brix::AnimationBlendNode root(nullptr);
    root.setWeightA(0.5f);
    root.setChildA(new brix::AnimationBlendNode(state(0)));
    auto* middle = new brix::AnimationBlendNode(nullptr);
    middle->setWeightA(0.5f);
    middle->setChildA(new brix::AnimationBlendNode(state(1)));
    auto* tail = new brix::AnimationBlendNode(state(2));
    tail->setChildA(new brix::AnimationBlendNode(state(3)));
    middle->setChildB(tail);
    root.setChildB(middle);

    root.update(0.8f);
    EXPECT_FLOAT_EQ(state(0)->getWeight(), 0.4f);
    EXPECT_FLOAT_EQ(state(1)->getWeight(), 0.2f);
    EXPECT_FLOAT_EQ(state(2)->getWeight(), 0.2f);
    EXPECT_FLOAT_EQ(state(3)->getWeight(), 0.2f);

    root.disable(true);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(state(i)->getEnabled()) << i;
}

TEST_F(BlendTree, SetsPhasesAlongTheTree)
{
    brix::AnimationBlendNode root(state(1));
    root.setChildA(new brix::AnimationBlendNode(state(3)));
    root.setChildB(new brix::AnimationBlendNode(state(2)));

    root.setPhase(0.5f, false);
    EXPECT_FLOAT_EQ(state(1)->getTimePosition(), 1.0f);
    EXPECT_FLOAT_EQ(state(3)->getTimePosition(), 0.0f);
    root.setPhase(0.25f, true);
    EXPECT_FLOAT_EQ(state(1)->getTimePosition(), 0.5f);
    EXPECT_FLOAT_EQ(state(3)->getTimePosition(), 1.0f);
    EXPECT_FLOAT_EQ(state(2)->getTimePosition(), 0.75f);

    root.setWeightA(0.5f);
    root.update(1.0f);
    root.disable(false);
    EXPECT_FALSE(state(1)->getEnabled());
    EXPECT_TRUE(state(2)->getEnabled());
}
