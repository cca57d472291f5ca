#include "game/world/humananimation.h"
#include "engine/core/animationblendnode.h"
#include "toolkit/log.h"

#include <OgreAnimation.h>
#include <OgreAnimationState.h>
#include <OgreBone.h>
#include <OgreEntity.h>
#include <OgreException.h>
#include <OgreMath.h>
#include <OgreMesh.h>
#include <OgreSkeletonInstance.h>

#include <algorithm>

namespace game
{
namespace
{
const char* const WEAPON_BONE = "weapon";
const char* const HOLSTER_BONE = "holster";
const char* const STRIDE_BONE = "foot.R";
const char* const STRIDE_ANIMATION = "walkhigh";

// The weapon bone's frame points along its own axes; this turns it so that +x is the aim.
const Ogre::Quaternion BONE_CORRECTION = Ogre::Quaternion(Ogre::Degree(90.0f), Ogre::Vector3::UNIT_Z) *
                                         Ogre::Quaternion(Ogre::Degree(180.0f), Ogre::Vector3::UNIT_X);

Ogre::Bone* findBone(Ogre::Entity* entity, const char* name)
{
    Ogre::SkeletonInstance* skeleton = entity->getSkeleton();
    return skeleton->hasBone(name) ? skeleton->getBone(name) : nullptr;
}

// Poses the skeleton in one animation alone at the time.
bool pose(Ogre::Entity* entity, const std::string& name, float time)
{
    Ogre::SkeletonInstance* skeleton = entity->getSkeleton();
    if (!skeleton->hasAnimation(name))
        return false;
    skeleton->reset(true);
    skeleton->getAnimation(name)->apply(skeleton, time, 1.0f);
    return true;
}

// Where the angle lies among the samples: the index of the sample below it and the fraction
// toward the next one.
void locate(const HumanAnimation::TAimTable& table, float angle, size_t& index, float& fraction)
{
    const std::vector<HumanAnimation::TAimSample>& samples = table.samples;
    index = 0;
    fraction = 0.0f;
    if (samples.size() < 2 || angle <= samples.front().direction.z)
        return;
    if (angle >= samples.back().direction.z)
    {
        index = samples.size() - 2;
        fraction = 1.0f;
        return;
    }
    while (index + 2 < samples.size() && angle > samples[index + 1].direction.z)
        ++index;
    float span = samples[index + 1].direction.z - samples[index].direction.z;
    fraction = span > 0.0f ? (angle - samples[index].direction.z) / span : 0.0f;
}
} // namespace

HumanAnimation::HumanAnimation(Ogre::Entity* entity) : mEntity(entity)
{
    if (!entity->hasSkeleton())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "No skeleton for human entity '" + entity->getName() + "'",
                    "HumanAnimation::HumanAnimation");
    // The legs and the arms are two trees of full weight each: they must add, not average.
    entity->getSkeleton()->setBlendMode(Ogre::ANIMBLEND_CUMULATIVE);

    mLegs.reset(createNode());
    mGround = createNode();
    mUpright = createNode();
    mWalk = createNode();
    mStand = createNode();
    mLegs->setChildA(mGround);
    mLegs->setChildB(createNode("jump"));
    mGround->setChildA(mUpright);
    mGround->setChildB(createNode("crouch"));
    mUpright->setChildA(mWalk);
    mUpright->setChildB(mStand);
    mWalk->setChildA(createNode("walkhigh"));
    mWalk->setChildB(createNode("walklow"));
    mStand->setChildA(createNode("standhigh"));
    mStand->setChildB(createNode("standlow"));

    mArms.reset(createNode());
    mAimOrBlocked = createNode();
    mReload = createNode();
    mAim = createNode();
    mBlocked = createNode();
    mLight = createNode();
    mHeavy = createNode();
    mArms->setChildA(mAimOrBlocked);
    mArms->setChildB(mReload);
    mReload->setChildA(createNode("reload", false));
    mAimOrBlocked->setChildA(mAim);
    mAimOrBlocked->setChildB(mBlocked);
    mBlocked->setChildA(createNode("aimblocked", false));
    mAim->setChildA(mLight);
    mAim->setChildB(mHeavy);
    mLight->setChildA(createNode("aimlight"));
    mLight->setChildB(createNode("recoillight"));
    mHeavy->setChildA(createNode("aimheavy", false));
    mHeavy->setChildB(createNode("recoilheavy", false));

    measureStride();
    measureAim("aimlight", mLightAim);
    measureAim("aimheavy", mHeavyAim);
    entity->getSkeleton()->reset(true);
}

HumanAnimation::~HumanAnimation() {}

brix::AnimationBlendNode* HumanAnimation::createNode(const char* animation, bool loop)
{
    if (!animation)
        return new brix::AnimationBlendNode(nullptr);
    // A missing animation leaves its place in the tree empty.
    if (!mEntity->hasAnimationState(animation))
        return nullptr;
    Ogre::AnimationState* state = mEntity->getAnimationState(animation);
    state->setLoop(loop);
    state->setEnabled(false);
    return new brix::AnimationBlendNode(state);
}

void HumanAnimation::measureStride()
{
    Ogre::Bone* foot = findBone(mEntity, STRIDE_BONE);
    if (!foot || !pose(mEntity, STRIDE_ANIMATION, 0.0f))
        return;
    Ogre::Vector3 start = foot->_getDerivedPosition();
    float length = mEntity->getSkeleton()->getAnimation(STRIDE_ANIMATION)->getLength();
    pose(mEntity, STRIDE_ANIMATION, length * 0.5f);
    mStrideLength = start.distance(foot->_getDerivedPosition());
    brix::Log::debug("Calculated stride length %f from human animation '%s'", mStrideLength,
                     mEntity->getMesh()->getName().c_str());
}

void HumanAnimation::measureAim(const std::string& animation, TAimTable& table)
{
    table = TAimTable();
    Ogre::Bone* weapon = findBone(mEntity, WEAPON_BONE);
    if (!weapon || !mEntity->getSkeleton()->hasAnimation(animation))
    {
        // Down-forward to straight up, from the hip.
        table.samples.resize(2);
        table.samples[0].direction = Ogre::Vector3(0.707f, -0.707f, -45.0f);
        table.samples[1].direction = Ogre::Vector3(0.0f, 1.0f, 90.0f);
        return;
    }
    float length = mEntity->getSkeleton()->getAnimation(animation)->getLength();
    table.samples.resize(AIM_SAMPLES);
    float height = 0.0f;
    for (unsigned i = 0; i < AIM_SAMPLES; ++i)
    {
        pose(mEntity, animation, i * length / (AIM_SAMPLES - 1));
        TAimSample& sample = table.samples[i];
        sample.position = weapon->_getDerivedPosition();
        Ogre::Vector3 direction =
            (weapon->_getDerivedOrientation() * BONE_CORRECTION) * Ogre::Vector3::UNIT_X;
        direction.normalise();
        sample.direction = Ogre::Vector3(direction.x, direction.y,
                                         Ogre::Math::ATan2(direction.y, direction.x).valueDegrees());
        height += sample.position.y;
    }
    table.originHeight = height / AIM_SAMPLES;
    std::sort(table.samples.begin(), table.samples.end(),
              [](const TAimSample& a, const TAimSample& b) { return a.direction.z < b.direction.z; });
    brix::Log::debug("Calculated aim angle range %f - %f, aim origin height %f from human animation '%s'",
                     table.samples.front().direction.z, table.samples.back().direction.z, table.originHeight,
                     animation.c_str());
}

Ogre::Vector3 HumanAnimation::lookUpPosition(const TAimTable& table, float aimAngle)
{
    size_t index;
    float fraction;
    locate(table, aimAngle, index, fraction);
    if (table.samples.size() < 2)
        return table.samples.empty() ? Ogre::Vector3::ZERO : table.samples[0].position;
    return table.samples[index].position * (1.0f - fraction) + table.samples[index + 1].position * fraction;
}

Ogre::Vector3 HumanAnimation::lookUpDirection(const TAimTable& table, float aimAngle)
{
    size_t index;
    float fraction;
    locate(table, aimAngle, index, fraction);
    if (table.samples.size() < 2)
        return table.samples.empty() ? Ogre::Vector3::UNIT_X : table.samples[0].direction;
    return table.samples[index].direction * (1.0f - fraction) + table.samples[index + 1].direction * fraction;
}

float HumanAnimation::findTime(const TAimTable& table, float aimAngle)
{
    size_t index;
    float fraction;
    locate(table, aimAngle, index, fraction);
    if (table.samples.size() < 2)
        return 0.0f;
    return (index + fraction) / static_cast<float>(table.samples.size() - 1);
}

void HumanAnimation::getReloadBlend(float progress, float& weight, float& phase)
{
    weight = 0.0f;
    phase = 0.0f;
    if (progress <= 0.0f || progress >= 1.0f)
        return;
    if (progress < 0.25f)
        weight = 4.0f * progress;
    else if (progress <= 0.75f)
    {
        weight = 1.0f;
        phase = 2.0f * (progress - 0.25f);
    }
    else
    {
        weight = 1.0f - 4.0f * (progress - 0.75f);
        phase = 1.0f;
    }
}

Ogre::Vector3 HumanAnimation::mixAim(float aimAngle, bool direction) const
{
    auto lookUp = direction ? &HumanAnimation::lookUpDirection : &HumanAnimation::lookUpPosition;
    if (mHeavyWeight <= 0.0f)
        return lookUp(mLightAim, aimAngle);
    if (mHeavyWeight >= 1.0f)
        return lookUp(mHeavyAim, aimAngle);
    return lookUp(mLightAim, aimAngle) * (1.0f - mHeavyWeight) + lookUp(mHeavyAim, aimAngle) * mHeavyWeight;
}

float HumanAnimation::getAimOriginHeight() const
{
    return (1.0f - mHeavyWeight) * mLightAim.originHeight + mHeavyWeight * mHeavyAim.originHeight;
}

Ogre::Vector3 HumanAnimation::getMuzzleOffset(float aimAngle, bool heavy) const
{
    return lookUpPosition(heavy ? mHeavyAim : mLightAim, aimAngle);
}

Ogre::Vector3 HumanAnimation::getAimOriginOffset(float aimAngle) const
{
    return mixAim(aimAngle, false);
}

Ogre::Vector3 HumanAnimation::getAimDirection(float aimAngle) const
{
    Ogre::Vector3 direction = mixAim(aimAngle, true);
    direction.z = 0.0f;
    return direction;
}

void HumanAnimation::update(float stridePhase, float walk, float legExtension, float crouch, float jump,
                            float aimAngle, float reloadProgress, float recoil, float heavy, float aimBlocked)
{
    float lightTime = findTime(mLightAim, aimAngle);
    float heavyTime = findTime(mHeavyAim, aimAngle);
    float reloadWeight, reloadPhase;
    getReloadBlend(reloadProgress, reloadWeight, reloadPhase);

    mLegs->setPhase(stridePhase, true);
    mLight->setPhase(lightTime, true);
    mHeavy->setPhase(heavyTime, true);
    mBlocked->setPhase((1.0f - heavy) * lightTime + heavy * heavyTime, true);
    mReload->setPhase(reloadPhase, true);

    mGround->setWeightB(crouch);
    mUpright->setWeightA(walk);
    mWalk->setWeightA(legExtension);
    mStand->setWeightA(legExtension);
    mLegs->setWeightB(jump);
    mLegs->update(1.0f);

    mAim->setWeightB(heavy);
    mAimOrBlocked->setWeightB(aimBlocked);
    mLight->setWeightB(recoil);
    mHeavy->setWeightB(recoil);
    mArms->setWeightB(reloadWeight);
    mArms->update(1.0f);

    mHeavyWeight = heavy;
    mEntity->getSkeleton()->setAnimationState(*mEntity->getAllAnimationStates());
}

Ogre::Vector3 HumanAnimation::getWeaponHandPosition() const
{
    Ogre::Bone* bone = findBone(mEntity, WEAPON_BONE);
    return bone ? bone->_getDerivedPosition() : Ogre::Vector3::ZERO;
}

Ogre::Quaternion HumanAnimation::getWeaponHandOrientation() const
{
    Ogre::Bone* bone = findBone(mEntity, WEAPON_BONE);
    return bone ? bone->_getDerivedOrientation() * BONE_CORRECTION : Ogre::Quaternion::IDENTITY;
}

Ogre::Vector3 HumanAnimation::getHolsterPosition() const
{
    Ogre::Bone* bone = findBone(mEntity, HOLSTER_BONE);
    return bone ? bone->_getDerivedPosition() : Ogre::Vector3::ZERO;
}

Ogre::Quaternion HumanAnimation::getHolsterOrientation() const
{
    Ogre::Bone* bone = findBone(mEntity, HOLSTER_BONE);
    return bone ? bone->_getDerivedOrientation() * BONE_CORRECTION : Ogre::Quaternion::IDENTITY;
}
} // namespace game
