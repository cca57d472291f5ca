#pragma once
#include "game/world/entity.h"
#include "game/world/mechanismparts.h"
#include "game/world/sentrygunai.h"

#include <OgreAxisAlignedBox.h>
#include <OgreMesh.h>

#include <string>

namespace Ogre
{
class AnimationState;
class Light;
} // namespace Ogre

namespace game
{
class WorldLabel;

// A fixed enemy turret on a static body that never turns. While its AI holds a target it
// powers up, fires projectiles along its own facing with a random spread once per shoot delay,
// and after losing the target waits its power-down delay and powers down. A player switches it
// between armed and disarmed by interacting with it; a disarmed gun seeks nothing and powers
// down at once. Enough damage kills it into its explosion; it posts no game event and scores
// nothing.
//
// Definition: "body", "mesh" (required), "shootsound", "loopsound", "armedbeepsound",
// "disarmsound", "integrity", "explosion", "shootdelay", "poweruptime", "powerdowntime",
// "powerdowndelay" (seconds), "poweredanimationscale", "flash" ("mesh", "offset", "color",
// "range"), "projectile" ("name", "speed", "offset", "spread" in degrees) and "ai" (its
// SentryGunAI). Times of 0 or less take effect at once.
//
// Replicated state, in this order: position x, y (-250..250, 16 bits each), z (-5..5, 8), the
// orientation's x, y, z, w (-1..1, 4 each), power state (3), armed, has target, timer (8).
class SentryGun : public Entity
{
public:
    enum PowerState
    {
        OFF = 0,
        POWERING_UP = 1,
        POWERING_DOWN = 2,
        READY = 3,
        FIRED = 4,
        RELOADING = 5
    };

    // The gun faces left or right only, which four bits per quaternion part carry exactly.
    static constexpr unsigned ORIENTATION_BITS = 4;
    // Ticks a shot shows as fired before the gun reloads.
    static constexpr unsigned FIRED_TICKS = 6;
    // Rendered frames between two beeps of an armed gun.
    static constexpr unsigned BEEP_FRAMES = 79;
    // Players within this distance see the gun's label.
    static constexpr float LABEL_RADIUS = 1.2f;
    static constexpr float INTERACTION_BOX_SCALE = 1.2f;
    static constexpr float SHOT_GAIN = 2.0f;
    // The shot's pitch varies by this much either way.
    static constexpr float SHOT_PITCH_VARIATION = 0.1f;
    static constexpr int LOOP_SOUND_PRIORITY = 20;
    // The flash fades at this rate per second, shown 1.5 times as bright until it saturates.
    static constexpr float FLASH_FADE = 5.0f;
    static constexpr float FLASH_BOOST = 1.5f;
    // Damage fractions are float sums: a gun dies once they come this near its integrity.
    static constexpr float DEATH_TOLERANCE = 1e-5f;

    explicit SentryGun(EntityManager* manager);
    ~SentryGun() override;

    std::string getType() const override { return "sentrygun"; }
    Entity* createInstance() override { return new SentryGun(mManager); }
    // Throws Ogre::InvalidParametersException for a gun without mesh.
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    Ogre::MeshPtr getMesh() const override { return mMesh; }
    // "armed" and "disarmed"; anything else is logged and arms the gun.
    void getInitialStates(std::vector<std::string>& states) const override;
    void setInitialState(const std::string& state) override;
    void spawn() override;
    void remove() override;
    void kill() override;
    void update(uint16_t tick, bool newTick) override;
    void postUpdate(uint16_t tick, bool newTick) override;
    void setTick(uint16_t tick) override;
    void setEnabled(bool enabled) override;
    void interpolate(float frameSeconds, float fraction) override;
    void damage(float amount, const Ogre::Vector3& point, const Ogre::Vector3& direction,
                uint32_t attackerId) override;
    // 1 - damage while it has an integrity, else 0.
    float getHealth() const override;

    bool isArmed() const { return mArmed; }
    // Arming on the authoritative side starts the search afresh.
    void setArmed(bool armed);

    unsigned getPowerState() const { return mPowerState; }
    float getPowerLevel() const { return mPowerLevel; }
    unsigned getTimer() const { return mTimer; }
    bool hasTarget() const { return mHasTarget; }
    const SentryGunAI& getAI() const { return mAI; }
    SentryGunAI& getAI() { return mAI; }

private:
    // Whole ticks of a definition time; none for 0 or less.
    static unsigned ticksOf(float seconds);
    void runPowerStates();
    void fire();
    void presentPowerChange();
    void updateSounds(float frameSeconds);
    void updateFlash(float frameSeconds);
    void updateLabel();
    void stopLoopSound();

    // Definition.
    std::string mBodyTemplateName;
    Ogre::MeshPtr mMesh;
    SamplePtr mShotSound;
    SamplePtr mLoopSound;
    SamplePtr mBeepSound;
    SamplePtr mDisarmSound;
    float mIntegrity = 0.0f;
    std::string mExplosion;
    float mShootDelay = 0.0f;
    float mPowerUpTime = 0.0f;
    float mPowerDownTime = 0.0f;
    float mPowerDownDelay = 0.0f;
    float mPoweredAnimationScale = 1.0f;
    Ogre::MeshPtr mFlashMesh;
    Ogre::Vector3 mFlashOffset = Ogre::Vector3::ZERO;
    Ogre::ColourValue mFlashColour = Ogre::ColourValue::Black;
    float mFlashRange = 0.0f;
    std::string mProjectile;
    float mProjectileSpeed = 0.0f;
    Ogre::Vector3 mProjectileOffset = Ogre::Vector3::ZERO;
    float mProjectileSpread = 0.0f;
    SentryGunAI mAI;

    // Instance.
    bool mInitialArmed = true;
    bool mArmed = true;
    bool mLastArmed = true;
    unsigned mPowerState = OFF;
    unsigned mLastPowerState = OFF;
    unsigned mTimer = 0;
    bool mHasTarget = false;
    float mPowerLevel = 0.0f;
    float mDamage = 0.0f;
    float mFlashIntensity = 0.0f;
    float mPoweredPhase = 0.0f;
    unsigned mBeepCountdown = BEEP_FRAMES;

    // Run time.
    MechanismParts mParts;
    Ogre::SceneNode* mFlashNode = nullptr;
    Ogre::Entity* mFlashEntity = nullptr;
    Ogre::SceneNode* mLightNode = nullptr;
    Ogre::Light* mLight = nullptr;
    Ogre::AnimationState* mRecoilAnimation = nullptr;
    Ogre::AnimationState* mPoweredAnimation = nullptr;
    unsigned int mLoopSoundHandle = 0;
    WorldLabel* mLabel = nullptr;
    Ogre::AxisAlignedBox mInteractionBox;
};
} // namespace game
