#pragma once
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <memory>
#include <string>
#include <vector>

namespace Ogre
{
class AnimationState;
class Entity;
} // namespace Ogre

namespace brix
{
class AnimationBlendNode;
}

namespace game
{
// Poses the skeleton of one human's mesh from a few continuous values each tick: two blend
// trees, the legs (walk high and low, stand high and low, crouch, jump) and the arms (light
// and heavy aim with their recoil, aim blocked, reload), blended cumulatively so that the two
// trees add up instead of averaging. At construction it measures the mesh: the stride of the
// walk cycle, and for the light and heavy aim where the weapon bone is and where it points
// at each aim angle, which the human uses to aim and to place its shots.
class HumanAnimation
{
public:
    // Poses measured across an aim animation.
    static constexpr unsigned AIM_SAMPLES = 10;

    // One measured pose: the weapon bone's position, and its pointing direction in x and y
    // with the aim angle (degrees) in z.
    struct TAimSample
    {
        Ogre::Vector3 position = Ogre::Vector3::ZERO;
        Ogre::Vector3 direction = Ogre::Vector3::ZERO;
    };

    struct TAimTable
    {
        float originHeight = 0.5f;
        // Sorted by aim angle.
        std::vector<TAimSample> samples;
    };

    // Throws Ogre::InvalidParametersException for an entity without skeleton. The entity is
    // not owned and must outlive the animation.
    explicit HumanAnimation(Ogre::Entity* entity);
    ~HumanAnimation();
    HumanAnimation(const HumanAnimation&) = delete;
    HumanAnimation& operator=(const HumanAnimation&) = delete;

    // Once per tick; every value 0 to 1 but the aim angle (degrees).
    void update(float stridePhase, float walk, float legExtension, float crouch, float jump, float aimAngle,
                float reloadProgress, float recoil, float heavy, float aimBlocked);

    // The distance the feet cover in one stride; 1.0 without a walk animation.
    float getStrideLength() const { return mStrideLength; }
    float getAimOriginHeight() const;
    Ogre::Vector3 getMuzzleOffset(float aimAngle, bool heavy) const;
    Ogre::Vector3 getAimOriginOffset(float aimAngle) const;
    // z is 0.
    Ogre::Vector3 getAimDirection(float aimAngle) const;
    // Where the selected and the other weapon go, in entity space; the orientations turn a
    // weapon's x axis along the barrel.
    Ogre::Vector3 getWeaponHandPosition() const;
    Ogre::Quaternion getWeaponHandOrientation() const;
    Ogre::Vector3 getHolsterPosition() const;
    Ogre::Quaternion getHolsterOrientation() const;
    const TAimTable& getAimTable(bool heavy) const { return heavy ? mHeavyAim : mLightAim; }

    // Table lookups by aim angle: the end samples beyond the range, else the two samples
    // around the angle mixed linearly.
    static Ogre::Vector3 lookUpPosition(const TAimTable& table, float aimAngle);
    static Ogre::Vector3 lookUpDirection(const TAimTable& table, float aimAngle);
    // The animation time (0 to 1) that poses the aim angle.
    static float findTime(const TAimTable& table, float aimAngle);
    // The reload's weight and phase for a progress of 0 to 1; both 0 outside (0, 1).
    static void getReloadBlend(float progress, float& weight, float& phase);

private:
    brix::AnimationBlendNode* createNode(const char* animation = nullptr, bool loop = true);
    void measureStride();
    void measureAim(const std::string& animation, TAimTable& table);
    Ogre::Vector3 mixAim(float aimAngle, bool direction) const;

    Ogre::Entity* mEntity;
    std::unique_ptr<brix::AnimationBlendNode> mLegs;
    std::unique_ptr<brix::AnimationBlendNode> mArms;
    brix::AnimationBlendNode* mGround = nullptr;
    brix::AnimationBlendNode* mUpright = nullptr;
    brix::AnimationBlendNode* mWalk = nullptr;
    brix::AnimationBlendNode* mStand = nullptr;
    brix::AnimationBlendNode* mAimOrBlocked = nullptr;
    brix::AnimationBlendNode* mAim = nullptr;
    brix::AnimationBlendNode* mLight = nullptr;
    brix::AnimationBlendNode* mHeavy = nullptr;
    brix::AnimationBlendNode* mBlocked = nullptr;
    brix::AnimationBlendNode* mReload = nullptr;
    float mStrideLength = 1.0f;
    TAimTable mLightAim;
    TAimTable mHeavyAim;
    float mHeavyWeight = 0.0f;
};
} // namespace game
