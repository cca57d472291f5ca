// The human's skeleton as the game's animation code measures it: bone positions sampled
// over the walk cycles and the aim sweeps, and the poses against the physics bodies.
#include "support/ogre/assetgroup.h"
#include "support/ogre/headlessogre.h"
#include "support/tempdir.h"

#include "toolkit/xmlelement.h"

#include <OgreAnimation.h>
#include <OgreBone.h>
#include <OgreSkeleton.h>
#include <OgreSkeletonManager.h>
#include <OgreStringConverter.h>

#include <gtest/gtest.h>

#include <set>

namespace
{
const char* const LEG_ANIMATIONS[] = {"walkhigh", "walklow", "standhigh", "standlow", "crouch", "jump"};
const char* const ARM_ANIMATIONS[] = {"aimlight",    "recoillight", "aimheavy",
                                      "recoilheavy", "aimblocked",  "reload"};
// The soles lie this far below the foot bone (the ankle) when the foot is level.
const float SOLE_DEPTH = 0.07f;

class HumanModel : public testing::Test
{
protected:
    void SetUp() override
    {
        mSkeleton = Ogre::static_pointer_cast<Ogre::Skeleton>(
            Ogre::SkeletonManager::getSingleton().load("human.skeleton", test::AssetGroup::NAME));
        ASSERT_TRUE(mSkeleton);
    }
    void TearDown() override { mSkeleton.reset(); }

    // Poses the skeleton with one animation at a fraction of its length.
    void pose(const std::string& animation, float fraction)
    {
        mSkeleton->reset(true);
        Ogre::Animation* track = mSkeleton->getAnimation(animation);
        track->apply(mSkeleton.get(), track->getLength() * fraction);
    }
    Ogre::Vector3 position(const std::string& bone)
    {
        return mSkeleton->getBone(bone)->_getDerivedPosition();
    }

    // The weapon's pointing angle in degrees, as the game measures it: the bone's orientation
    // turned by the fixed correction, applied to the x axis.
    float weaponAngle()
    {
        const Ogre::Quaternion correction = Ogre::Quaternion(Ogre::Degree(90), Ogre::Vector3::UNIT_Z) *
                                            Ogre::Quaternion(Ogre::Degree(180), Ogre::Vector3::UNIT_X);
        Ogre::Vector3 direction =
            mSkeleton->getBone("weapon")->_getDerivedOrientation() * correction * Ogre::Vector3::UNIT_X;
        return Ogre::Math::ATan2(direction.y, direction.x).valueDegrees();
    }

    std::set<unsigned short> keyedBones(const std::string& animation)
    {
        std::set<unsigned short> bones;
        for (const auto& track : mSkeleton->getAnimation(animation)->_getNodeTrackList())
            bones.insert(track.first);
        return bones;
    }

    // The lowest point of a body template of data/entitybodies.xml, and its mass.
    static float bodyBottom(const std::string& name, float* mass = nullptr)
    {
        brix::XMLElement bodies("");
        EXPECT_GE(bodies.load(test::sourcePath("data/entitybodies.xml")), 0);
        for (const brix::XMLElement* body = bodies.getChild("body"); body;
             body = bodies.getNextChild(body, "body"))
            if (body->getValue("name", "") == name)
            {
                if (mass)
                    *mass = body->getValueAsFloat("mass", 0);
                Ogre::Vector3 offset =
                    Ogre::StringConverter::parseVector3(body->getValue("shape/offset", ""));
                Ogre::Vector3 size = Ogre::StringConverter::parseVector3(body->getValue("shape/data", ""));
                return offset.y - size.y * 0.5f;
            }
        ADD_FAILURE() << "no body " << name;
        return 0;
    }

    test::HeadlessOgre mOgre;
    test::AssetGroup mAssets;
    Ogre::SkeletonPtr mSkeleton;
};
} // namespace

TEST_F(HumanModel, HasTheNamedBonesAndLegAndArmAnimationsOnSeparateBones)
{
    for (const char* bone : {"weapon", "holster", "foot.R"})
        EXPECT_TRUE(mSkeleton->hasBone(bone)) << bone;
    std::set<unsigned short> legs, arms;
    for (const char* animation : LEG_ANIMATIONS)
    {
        ASSERT_TRUE(mSkeleton->hasAnimation(animation)) << animation;
        std::set<unsigned short> keyed = keyedBones(animation);
        legs.insert(keyed.begin(), keyed.end());
    }
    for (const char* animation : ARM_ANIMATIONS)
    {
        ASSERT_TRUE(mSkeleton->hasAnimation(animation)) << animation;
        std::set<unsigned short> keyed = keyedBones(animation);
        arms.insert(keyed.begin(), keyed.end());
    }
    EXPECT_EQ(mSkeleton->getNumAnimations(), 12u);
    EXPECT_TRUE(legs.count(mSkeleton->getBone("foot.R")->getHandle()));
    EXPECT_TRUE(arms.count(mSkeleton->getBone("weapon")->getHandle()));
    for (unsigned short bone : legs)
        EXPECT_FALSE(arms.count(bone)) << mSkeleton->getBone(bone)->getName() << " is keyed by legs and arms";
}

TEST_F(HumanModel, WalkCyclesStrikeWithTheRightFootAtZeroAndTheLeftAtHalf)
{
    for (const char* walk : {"walkhigh", "walklow"})
    {
        pose(walk, 0.0f);
        Ogre::Vector3 rightAtStart = position("foot.R"), leftAtStart = position("foot.L");
        pose(walk, 0.5f);
        Ogre::Vector3 rightAtHalf = position("foot.R"), leftAtHalf = position("foot.L");
        pose(walk, 0.25f);
        Ogre::Vector3 rightBetween = position("foot.R");

        // The stride the game measures: foot.R from time 0 to half the cycle.
        EXPECT_GT(rightAtStart.distance(rightAtHalf), 0.5f) << walk;
        EXPECT_GT(rightAtStart.x, 0.2f) << walk;
        EXPECT_LT(rightAtHalf.x, -0.2f) << walk;
        // Half a cycle later the left foot is where the right one was, in x and y.
        EXPECT_NEAR(leftAtHalf.x, rightAtStart.x, 1e-3f) << walk;
        EXPECT_NEAR(leftAtHalf.y, rightAtStart.y, 1e-3f) << walk;
        EXPECT_NEAR(rightAtHalf.x, leftAtStart.x, 1e-3f) << walk;
        // The foot moves in between: it passes under the body.
        EXPECT_LT(std::abs(rightBetween.x), std::abs(rightAtStart.x)) << walk;
    }
}

TEST_F(HumanModel, AimSweepsRiseMonotonicallyFromTheLowestAngleAtTimeZero)
{
    for (const char* sweep : {"aimlight", "aimheavy", "recoillight", "recoilheavy"})
    {
        float previous = -1000;
        for (int sample = 0; sample < 10; ++sample)
        {
            pose(sweep, sample / 9.0f);
            float angle = weaponAngle();
            EXPECT_GT(angle, previous) << sweep << " sample " << sample;
            previous = angle;
        }
    }
    // The aim animations point the weapon exactly where the aim angle says, over -90 to 90.
    for (const char* aim : {"aimlight", "aimheavy"})
        for (int sample = 0; sample <= 18; ++sample)
        {
            pose(aim, sample / 18.0f);
            EXPECT_NEAR(weaponAngle(), -90.0f + sample * 10.0f, 0.5f) << aim << " sample " << sample;
        }
}

TEST_F(HumanModel, PosesPutTheSolesWhereTheBodiesReach)
{
    float standingMass = 0, crouchingMass = 0;
    float standingBottom = bodyBottom("humanstanding", &standingMass);
    float crouchingBottom = bodyBottom("humancrouching", &crouchingMass);
    // Standing upright the soles are at the stand height below the origin; the standing body
    // ends above that (the human floats on its hover force), the crouching one higher still.
    const float standHeight = 0.95f;
    EXPECT_GT(standingBottom, -standHeight);
    EXPECT_GT(crouchingBottom, standingBottom);
    EXPECT_NEAR(standingMass, 75.0f, 5.0f);
    EXPECT_EQ(crouchingMass, standingMass);

    pose("standhigh", 0);
    EXPECT_NEAR(position("foot.R").y - SOLE_DEPTH, -standHeight, 0.02f);
    // Fully bent legs meet the ground where the standing body ends, a crouch where the
    // crouching one ends.
    pose("standlow", 0);
    EXPECT_NEAR(position("foot.R").y - SOLE_DEPTH, standingBottom, 0.05f);
    pose("crouch", 0);
    EXPECT_NEAR(position("foot.R").y - SOLE_DEPTH, crouchingBottom, 0.05f);
}
