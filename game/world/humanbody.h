#pragma once
#include "engine/core/movablecontroller.h"

#include <OgreVector.h>

#include <cstdint>
#include <string>
#include <vector>

namespace brix
{
class Body;
class Movable;
class Simulator;
struct TTraceContact;
} // namespace brix

namespace game
{
class Entity;

// Moves the physics body of one human: a standing and a crouching body, exactly one of them
// in the world, driven by one force per physics step from the walk input, the ground under
// the body and its state. The body floats on a spring at the stand height above the ground,
// so it walks up steps and slopes without touching them. After each tick sense() probes the
// ground, the headroom and the speed of the last landing, which the human reads.
class HumanBody : public brix::MovableController
{
public:
    static constexpr float DEFAULT_STAND_HEIGHT = 0.95f;
    // Ground speed at full walk, and how hard the body is pushed toward it (N per m/s, limit).
    static constexpr float WALK_SPEED = 5.1f;
    static constexpr float WALK_GAIN = 3000.0f;
    static constexpr float MAX_WALK_FORCE = 1800.0f;
    // Steering in the air: a push toward AIR_SPEED times the walk value.
    static constexpr float AIR_SPEED = 2.0f;
    static constexpr float AIR_FORCE = 500.0f;
    // Upward speed a jump gives, on top of the ground's own.
    static constexpr float JUMP_SPEED = 4.7f;
    static constexpr float GRAVITY = 9.8f;
    // The hover spring that keeps the body at the stand height.
    static constexpr float HOVER_STIFFNESS = 20000.0f;
    static constexpr float HOVER_DAMPING = 800.0f;
    static constexpr float MAX_HOVER_FORCE = 2500.0f;
    // The depth spring that keeps the body on its lane in z.
    static constexpr float DEPTH_STIFFNESS = 10000.0f;
    static constexpr float DEPTH_DAMPING = 1000.0f;
    // Ground probe: the sweep runs from above the body to this far below it; steeper
    // surfaces than MIN_GROUND_NORMAL_Y are never ground.
    static constexpr float GROUND_PROBE_UP = 0.5f;
    static constexpr float GROUND_PROBE_DOWN = 4.0f;
    static constexpr float MIN_GROUND_NORMAL_Y = 0.5f;
    static constexpr float GROUND_MARGIN = 0.2f;
    // Headroom probe: up to this far above the origin; NO_CEILING when nothing is there.
    static constexpr float HEADROOM_PROBE_DOWN = 0.2f;
    static constexpr float HEADROOM_PROBE_UP = 1.0f;
    static constexpr float CEILING_NORMAL_Y = -0.2f;
    static constexpr float NO_CEILING = 1.0f;
    // The shadow fades out between the stand height and this height above its anchor.
    static constexpr float SHADOW_FADE_HEIGHT = 2.0f;

    // Creates both bodies from the templates bodyName + "standing" and + "crouching" (throws
    // like brix::Simulator::createBody for an unknown one), the standing one in the world.
    HumanBody(brix::Simulator* simulator, Entity* owner, const std::string& bodyName, float standHeight);
    ~HumanBody() override;
    HumanBody(const HumanBody&) = delete;
    HumanBody& operator=(const HumanBody&) = delete;

    // The force step, before every physics step.
    void update(brix::Movable* movable, float step) override;

    // Puts both bodies at the position with the velocity and takes over the given state, as
    // at spawn or after a correction from the network.
    void place(const Ogre::Vector3& position, const Ogre::Vector3& velocity, bool jumping, bool crouched,
               bool onGround);
    // Reads the active body and probes ground and headroom; once per tick after the physics.
    void sense();
    // Crouching and standing up of a player-controlled body; once per tick.
    void tick(uint16_t tick);

    void setWalk(float walk) { mWalk = walk; }
    void setJumpInput(bool jump) { mJumpInput = jump; }
    void setCrouchInput(bool crouch) { mCrouchInput = crouch; }
    void setDepthTarget(float z) { mDepthTarget = z; }
    float getDepthTarget() const { return mDepthTarget; }
    void setPlayerControlled(bool controlled) { mPlayerControlled = controlled; }

    const Ogre::Vector3& getPosition() const { return mPosition; }
    const Ogre::Vector3& getVelocity() const { return mVelocity; }
    bool isOnGround() const { return mOnGround; }
    bool isCrouched() const { return mCrouched; }
    bool isJumping() const { return mJumping; }
    const Ogre::Vector3& getGroundNormal() const { return mGroundNormal; }
    const Ogre::Vector3& getGroundVelocity() const { return mGroundVelocity; }
    // The stand height while in the air.
    float getHeightAboveGround() const { return mOnGround ? mHeightAboveGround : mStandHeight; }
    float getHeadroom() const { return mHeadroom; }
    float getImpactSpeed() const { return mImpactSpeed; }
    bool hasShadowAnchor() const { return mHasShadowAnchor; }
    const Ogre::Vector3& getShadowAnchorPoint() const { return mShadowAnchorPoint; }
    const Ogre::Vector3& getShadowAnchorNormal() const { return mShadowAnchorNormal; }
    // 1 at the stand height above the shadow anchor, 0 from SHADOW_FADE_HEIGHT above it.
    float getShadowStrength() const;
    // For the animation: how far the legs stretch (1 standing or in the air) and how far
    // the body is lowered toward the crouching foot depth.
    float getLegExtension() const;
    float getCrouchFactor() const;
    float getStandHeight() const { return mStandHeight; }
    float getStandingFootDepth() const { return mStandingFootDepth; }
    float getCrouchingFootDepth() const { return mCrouchingFootDepth; }
    float getExtraHeight() const { return mExtraHeight; }
    brix::Body* getActiveBody() const { return mCrouched ? mCrouchingBody : mStandingBody; }

    void setEnabled(bool enabled);
    void applyImpulse(const Ogre::Vector3& impulse, const Ogre::Vector3& position);
    // Sensor 0 of the active body (the crush sensor); 0 without one.
    float getSensorValue() const;

private:
    void computeExtents();
    void testGroundHit(const brix::TTraceContact& hit, float approach);
    void switchBody(bool crouched);

    brix::Simulator* mSimulator;
    brix::Body* mStandingBody = nullptr;
    brix::Body* mCrouchingBody = nullptr;
    float mStandHeight;
    float mStandingFootDepth = 0.0f;
    float mCrouchingFootDepth = 0.0f;
    float mExtraHeight = 0.0f;

    Ogre::Vector3 mPosition = Ogre::Vector3::ZERO;
    Ogre::Vector3 mVelocity = Ogre::Vector3::ZERO;
    bool mOnGround = false;
    Ogre::Vector3 mGroundNormal = Ogre::Vector3::ZERO;
    float mHeightAboveGround = 0.0f;
    Ogre::Vector3 mGroundVelocity = Ogre::Vector3::ZERO;
    bool mHasShadowAnchor = false;
    Ogre::Vector3 mShadowAnchorPoint = Ogre::Vector3::ZERO;
    Ogre::Vector3 mShadowAnchorNormal = Ogre::Vector3::UNIT_Y;
    float mHeadroom = NO_CEILING;
    float mImpactSpeed = 0.0f;

    float mWalk = 0.0f;
    bool mJumpInput = false;
    bool mCrouchInput = false;
    float mDepthTarget = 0.0f;
    bool mPlayerControlled = false;

    bool mJumping = false;
    bool mCrouched = false;
    uint16_t mTick = 0;

    // Reused by the probes so that sensing allocates nothing once grown.
    std::vector<brix::TTraceContact> mHits;
};
} // namespace game
