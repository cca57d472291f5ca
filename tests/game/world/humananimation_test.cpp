#include "game/world/humananimation.h"
#include "support/game/gameworld.h"

#include <OgreAnimationState.h>
#include <OgreEntity.h>
#include <OgreException.h>
#include <OgreSceneManager.h>
#include <OgreSkeletonInstance.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace
{
using game::HumanAnimation;

class HumanAnimationTest : public testing::Test
{
protected:
    float weight(const char* animation) const
    {
        Ogre::AnimationState* state = entity->getAnimationState(animation);
        return state->getEnabled() ? state->getWeight() : 0.0f;
    }

    test::GameOgre ogre;
    Ogre::SceneManager* scene = ogre.createSceneManager();
    Ogre::Entity* entity = scene->createEntity("human.mesh");
};

TEST_F(HumanAnimationTest, MeasuresStrideAndAimFromTheMesh)
{
    HumanAnimation animation(entity);
    EXPECT_GT(animation.getStrideLength(), 0.3f);
    EXPECT_LT(animation.getStrideLength(), 1.5f);
    EXPECT_NE(animation.getStrideLength(), 1.0f);
    for (bool heavy : {false, true})
    {
        // The pack's aim sweeps run evenly from straight down to straight up.
        const HumanAnimation::TAimTable& table = animation.getAimTable(heavy);
        ASSERT_EQ(table.samples.size(), HumanAnimation::AIM_SAMPLES);
        for (unsigned i = 0; i < HumanAnimation::AIM_SAMPLES; ++i)
        {
            float angle = -90.0f + 20.0f * i;
            EXPECT_NEAR(table.samples[i].direction.z, angle, 1.5f) << i;
        }
        EXPECT_GT(table.originHeight, 0.0f);
        EXPECT_NEAR(HumanAnimation::findTime(table, 10.0f), 5.0f / 9.0f, 0.02f);
    }
    Ogre::Vector3 level = animation.getAimDirection(0.0f);
    EXPECT_NEAR(level.x, 1.0f, 0.02f);
    EXPECT_NEAR(level.y, 0.0f, 0.02f);
    EXPECT_EQ(level.z, 0.0f);
    EXPECT_NEAR(animation.getAimDirection(45.0f).y, std::sqrt(0.5f), 0.03f);
    EXPECT_FLOAT_EQ(animation.getAimOriginHeight(), animation.getAimTable(false).originHeight);
    EXPECT_EQ(entity->getSkeleton()->getBlendMode(), Ogre::ANIMBLEND_CUMULATIVE);
}

TEST_F(HumanAnimationTest, LooksUpTheEndSamplesOutsideTheTableAndMixesBetween)
{
    // The defaults of a mesh without aim animations: down-forward at -45 and up at 90.
    HumanAnimation::TAimTable table;
    table.samples.resize(2);
    table.samples[0].direction = Ogre::Vector3(0.707f, -0.707f, -45.0f);
    table.samples[1].direction = Ogre::Vector3(0.0f, 1.0f, 90.0f);
    table.samples[1].position = Ogre::Vector3(0.0f, 2.0f, 0.0f);
    EXPECT_EQ(HumanAnimation::lookUpDirection(table, -80.0f), table.samples[0].direction);
    EXPECT_EQ(HumanAnimation::lookUpDirection(table, 90.0f), table.samples[1].direction);
    EXPECT_FLOAT_EQ(HumanAnimation::findTime(table, -90.0f), 0.0f);
    EXPECT_FLOAT_EQ(HumanAnimation::findTime(table, 120.0f), 1.0f);
    EXPECT_FLOAT_EQ(HumanAnimation::findTime(table, 0.0f), 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(HumanAnimation::lookUpPosition(table, 45.0f).y, 2.0f * 90.0f / 135.0f);

    float weight, phase;
    for (float progress : {0.0f, 1.0f, -0.5f, 1.5f})
    {
        HumanAnimation::getReloadBlend(progress, weight, phase);
        EXPECT_EQ(weight, 0.0f);
        EXPECT_EQ(phase, 0.0f);
    }
    HumanAnimation::getReloadBlend(0.125f, weight, phase);
    EXPECT_FLOAT_EQ(weight, 0.5f);
    EXPECT_FLOAT_EQ(phase, 0.0f);
    HumanAnimation::getReloadBlend(0.5f, weight, phase);
    EXPECT_FLOAT_EQ(weight, 1.0f);
    EXPECT_FLOAT_EQ(phase, 0.5f);
    HumanAnimation::getReloadBlend(0.875f, weight, phase);
    EXPECT_FLOAT_EQ(weight, 0.5f);
    EXPECT_FLOAT_EQ(phase, 1.0f);
}

TEST_F(HumanAnimationTest, SpreadsTheLegsAndArmsWeightsOverTheAnimations)
{
    HumanAnimation animation(entity);
    // Walking on stretched legs, a little crouched, aiming light with some recoil.
    animation.update(0.5f, 1.0f, 1.0f, 0.25f, 0.0f, 0.0f, 0.5f, 0.5f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(weight("walkhigh"), 0.75f);
    EXPECT_FLOAT_EQ(weight("crouch"), 0.25f);
    EXPECT_FLOAT_EQ(weight("standhigh"), 0.0f);
    EXPECT_FLOAT_EQ(weight("jump"), 0.0f);
    EXPECT_FLOAT_EQ(weight("aimlight"), 0.0f);
    EXPECT_FLOAT_EQ(weight("reload"), 1.0f);
    EXPECT_NEAR(entity->getAnimationState("walkhigh")->getTimePosition(), 0.5f, 1e-5f);

    // Standing half low, in the air, aiming heavy up high, no reload.
    animation.update(0.0f, 0.0f, 0.5f, 0.0f, 0.5f, 90.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    EXPECT_FLOAT_EQ(weight("standhigh"), 0.25f);
    EXPECT_FLOAT_EQ(weight("standlow"), 0.25f);
    EXPECT_FLOAT_EQ(weight("jump"), 0.5f);
    EXPECT_FLOAT_EQ(weight("aimheavy"), 1.0f);
    EXPECT_FLOAT_EQ(weight("aimlight"), 0.0f);
    EXPECT_NEAR(entity->getAnimationState("aimheavy")->getTimePosition(), 1.0f, 0.02f);
    EXPECT_FLOAT_EQ(animation.getAimOriginHeight(), animation.getAimTable(true).originHeight);
}

TEST_F(HumanAnimationTest, RefusesAMeshWithoutSkeleton)
{
    Ogre::Entity* crate = scene->createEntity("box", "crate.mesh");
    try
    {
        HumanAnimation animation(crate);
        FAIL();
    }
    catch (const Ogre::InvalidParametersException& e)
    {
        EXPECT_EQ(e.getDescription(), "No skeleton for human entity 'box'");
    }
}
} // namespace
