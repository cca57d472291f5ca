#pragma once
#include "game/world/droneai.h"
#include "game/world/enemy.h"

#include <OgreVector.h>

#include <string>

namespace Ogre
{
class Entity;
class SceneNode;
} // namespace Ogre

namespace game
{
// The flying enemy. Its body hovers against gravity and steers toward the velocity the drone
// asks for (move x "speed"); the drone turns to face left or right, tilts its nose toward its
// aim, fires projectiles, rams what its brain tells it to, and explodes when its integrity is
// used up, posting DroneKilled.
//
// Replicated after position and velocity: aim x and y (4 bits each), the brain's state (its
// low 2 bits) and the damage and shot triggers; every side turns these into the wake-up,
// attack, damage and shot sounds and the muzzle flash.
class Drone : public Enemy
{
public:
    // The hover controller's steering gain and the depth spring that holds the drone at z = 0.
    static constexpr float GRAVITY = 9.8f;
    static constexpr float STEERING_GAIN = 100.0f;
    static constexpr float DEPTH_STIFFNESS = 5000.0f;
    static constexpr float DEPTH_DAMPING = 500.0f;
    // Yaw and tilt close this share of their distance to the target each tick.
    static constexpr float TURN_RATE = 0.2f;
    // A drone that tilts fully toward its aim fires only once its nose is this close to it.
    static constexpr float FIRING_ANGLE = 2.5f;
    // How far below itself a drone looks for the ground.
    static constexpr float GROUND_PROBE = 10.0f;
    static constexpr float FLASH_FADE = 4.0f;
    static constexpr float COOLDOWN_TOLERANCE = 1e-4f;
    static constexpr unsigned AIM_BITS = 4;
    static constexpr unsigned STATE_BITS = 2;
    // The brain's states that the presentation plays sounds for.
    static constexpr unsigned STATE_IDLE = 0;
    static constexpr unsigned STATE_SEARCH = 1;
    static constexpr unsigned STATE_ATTACK = 2;

    explicit Drone(EntityManager* manager);
    ~Drone() override;

    std::string getType() const override { return "drone"; }
    Entity* createInstance() override { return new Drone(mManager); }
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    void spawn() override;
    void remove() override;
    void update(uint16_t tick, bool newTick) override;
    void postUpdate(uint16_t tick, bool newTick) override;
    void setEnabled(bool enabled) override;
    void interpolate(float frameSeconds, float fraction) override;
    // The hover controller, before every physics step.
    void update(brix::Movable* movable, float step) override;

    // Height above the first floor (a surface facing up) within GROUND_PROBE below; 0 when there
    // is none.
    float getHeightAboveGround() const;
    const Ogre::Vector2& getAim() const { return mAim; }
    const Ogre::Vector3& getMove() const { return mMove; }
    float getYaw() const { return mYaw; }
    float getTilt() const { return mTilt; }
    // The brain's state as replicated (on a client, its low 2 bits).
    unsigned getAIState() const { return mAIState; }
    float getShotCooldown() const { return mShotCooldown; }
    float getSpeed() const { return mSpeed; }

    DroneAI& getAI() { return mAI; }
    const DroneAI& getAI() const { return mAI; }

    // Steering and weapon use as the brain decides them; the authoritative side's loaded brain
    // sets them every tick.
    void steer(const Ogre::Vector3& move, const Ogre::Vector2& aim, unsigned state);
    // Fires when the cooldown is over, a projectile is defined and the nose points at the aim
    // (for drones that tilt fully). True when it fired.
    bool fireWhenReady();

protected:
    void onHit(const Ogre::Vector3& direction) override;
    // Rams what the brain tells it to with "attackdamage", in the name of its owner.
    void onContact(const brix::Movable::TContact& contact, Entity* other) override;

private:
    void shoot();
    void updateFlash(float frameSeconds);

    // Definition.
    SoundList mWakeUpSounds;
    SoundList mAttackSounds;
    SoundList mShootSounds;
    float mAnimationLengthVariation = 0.0f;
    float mAttackDamage = 0.0f;
    float mTiltFactor = 0.0f;
    float mTiltLimit = 90.0f;
    std::string mProjectile;
    float mProjectileSpeed = 0.0f;
    Ogre::Vector3 mProjectileOffset = Ogre::Vector3::ZERO;
    float mProjectileSpread = 0.0f;
    float mShootDelay = 0.0f;
    Ogre::MeshPtr mFlashMesh;
    Ogre::Vector3 mFlashOffset = Ogre::Vector3::ZERO;

    // Run time.
    DroneAI mAI;
    MechanismParts mFlash;
    Ogre::Vector2 mAim = Ogre::Vector2::UNIT_X;
    float mYaw = 0.0f;
    Ogre::Vector3 mMove = Ogre::Vector3::ZERO;
    float mCycleLength = 0.0f;
    float mTilt = 0.0f;
    unsigned mAIState = 0;
    unsigned mSeenAIState = 0;
    EventTrigger mShotTrigger;
    float mShotCooldown = 0.0f;
    float mFlashIntensity = 0.0f;
};
} // namespace game
