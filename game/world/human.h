#pragma once
#include "game/world/entity.h"
#include "game/world/eventtrigger.h"

#include <OgreMesh.h>

#include <memory>

namespace Ogre
{
class Entity;
class ParticleEmitter;
class SceneNode;
} // namespace Ogre

namespace game
{
class Controller;
class HumanAI;
class HumanAnimation;
class HumanBody;
class ManualShadow;

// The character of the game: the player's figure and every enemy guard. Each tick it turns
// a player's controller input into walking, jumping, crouching and aiming; it takes damage,
// regenerates, dies into a "humanexplosion" and replicates its state to clients. Its physics
// body is driven by a HumanBody, its skeleton by a HumanAnimation.
//
// Replicated state, in this order (entity codec): position x, y (-250..250, 16 bits each),
// z (-5..5, 8), velocity x, y (-10..10, 8 each), on ground, facing right, turn angle
// (-180..0, 3), walk value (-1..1, 4), aim angle (-90..90, 6), selected slot (1), hit height
// (-1..1, 4), hit direction x, y (-1..1, 3 each), crouched, fired last tick, heavy pose, and
// the shot, reload and hit triggers (2 each). The extra codec, sent only to the node whose
// controller drives the human: damage (0..1, 4), shield energy (0..100, 4), latched buttons
// (6), jumping and the key mask (4).
class Human : public Entity
{
public:
    static constexpr float DEFAULT_STAND_HEIGHT = 0.95f;
    static constexpr float DEFAULT_EYE_HEIGHT = 0.75f;
    // Attributes every human has, whatever its definition says.
    static constexpr uint32_t FIXED_ATTRIBUTES =
        ATTRIBUTE_SEETHROUGH | ATTRIBUTE_NOSHADOWS | ATTRIBUTE_EDITNOMOVEZ | ATTRIBUTE_EDITNOROTATE;
    // Regeneration works only below this health.
    static constexpr float REGENERATION_HEALTH = 0.25f;
    // Health below which the human limps.
    static constexpr float CRITICAL_HEALTH = 0.2f;
    // Damage adds fractions of the integrity, which do not sum exactly: many small hits that
    // together take the whole integrity can stop this short of 1 and must still kill.
    static constexpr float DEATH_TOLERANCE = 1e-5f;
    // A landing costing no more than this is not worth a hurt.
    static constexpr float MIN_FALL_DAMAGE = 2.0f;
    // Walking toward another human this close makes room by stepping aside in depth.
    static constexpr float PASSING_DISTANCE = 1.0f;
    static constexpr float PASSING_DEPTH = 0.8f;
    static constexpr float MAX_SHIELD_ENERGY = 100.0f;
    static constexpr float SHADOW_SIZE = 0.75f;
    static constexpr float CHAT_SECONDS = 3.0f;
    // Where shots start above the position when no animation measured it.
    static constexpr float DEFAULT_AIM_ORIGIN_HEIGHT = 0.5f;
    static constexpr int SOUND_PRIORITY = 500;
    // Stride: feet per stride cycle at full walk.
    static constexpr float STRIDE_RATE = 4.0f;

    explicit Human(EntityManager* manager);
    ~Human() override;

    std::string getType() const override { return "human"; }
    Entity* createInstance() override { return new Human(mManager); }
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    Ogre::MeshPtr getMesh() const override { return mMesh; }
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
    void applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse) override;
    brix::NetworkStateCodec* getExtraStateCodec(uint16_t node) override;
    // 1 - damage while alive and the human can be hurt at all.
    float getHealth() const override;

    // Not owned; null for a human that no player drives.
    void setController(Controller* controller) { mController = controller; }
    Controller* getController() const { return mController; }
    void setPlayer(bool player) { mPlayer = player; }
    bool isPlayer() const { return mPlayer; }
    void setDisplayName(const std::string& name) { mDisplayName = name; }
    const std::string& getDisplayName() const { return mDisplayName; }
    // 1 "securityguard", 2 "militaryguard", 3 "supporter", any other "default".
    void setSkin(int skin);
    const std::string& getSkinName() const { return mSkinName; }

    const Ogre::Vector3& getAimDirection() const { return mAimDirection; }
    float getAimAngle() const { return mAimAngle; }
    // 1 facing right, -1 facing left.
    float getFacing() const { return mFacingRight ? 1.0f : -1.0f; }
    Ogre::Vector2 getAimOrigin() const;
    Ogre::Vector3 getEyePosition() const { return mPosition + Ogre::Vector3(0.0f, mEyeHeight, 0.0f); }
    Ogre::Vector3 getFeetPosition() const;
    bool isCrouched() const { return mCrouched; }
    bool isOnGround() const { return mOnGround; }
    bool isJumping() const { return mJumping; }
    float getWalkValue() const { return mWalkValue; }
    float getTurnAngle() const { return mTurnAngle; }
    HumanBody* getBody() const { return mBody.get(); }
    // Null without a scene.
    HumanAnimation* getAnimation() const { return mAnimation.get(); }
    // The brain of a guard; it runs only when its definition has an "ai" element, no
    // controller drives the human, and this side is authoritative.
    HumanAI* getAI() const { return mAI.get(); }

    // -1 = every key.
    void setKeyMask(uint32_t mask) { mKeyMask = mask; }
    uint32_t getKeyMask() const { return mKeyMask; }
    // 0 to 1.
    float getShieldEnergy() const { return mShieldEnergy / MAX_SHIELD_ENERGY; }
    // Takes energy, not below 0; true while some remains.
    bool drainShieldEnergy(float amount);
    int getKillScore() const { return mKillScore; }
    const Ogre::Vector3& getRecoil() const { return mRecoil; }
    bool isHealthCritical() const;

    // Back to life at the position, keeping controller and key mask.
    void respawn(const Ogre::Vector3& position, bool keepEquipment);
    // Says the text for CHAT_SECONDS with a chat sound.
    void showChatMessage(const std::string& text);
    // The first flag makes the human invulnerable and heals it; the second fills its shield
    // energy and gives it every key.
    void applyCheats(bool invulnerable, bool equip);

    // The points that line-of-sight tests aim at besides the position.
    Ogre::Vector3 getHeadPoint() const;
    Ogre::Vector3 getLowerPoint() const;

private:
    void applySkin();
    void applyInput(uint16_t tick);
    void applyAI();
    void speak();
    void handleButtons(unsigned int buttons);
    void updatePassing();
    void applyEnvironmentDamage(bool wasOnGround);
    void updateBlends();
    void updateAim();
    void advanceStride(float frameSeconds);
    void updateAnimation();

    // Definition.
    std::string mBodyName;
    Ogre::MeshPtr mMesh;
    std::string mSkinName = "default";
    float mStandHeight = DEFAULT_STAND_HEIGHT;
    float mEyeHeight = DEFAULT_EYE_HEIGHT;
    float mFallDamageSpeed = 0.0f;
    float mFallDeathSpeed = 0.0f;
    TForceDamage mCrushDamage;
    SoundList mFootstepSounds;
    SoundList mDamageSounds;
    SoundList mChatSounds;
    std::string mInitialWeapon;
    bool mUnlimitedRounds = false;
    float mMisaim = 0.0f;
    float mIntegrity = 0.0f;
    float mRegeneration = 0.0f;
    int mKillScore = 0;
    SoundList mSpeechSounds[4];
    float mMinimumPitch = 1.0f;
    float mMaximumPitch = 1.0f;
    TItemDrop mItemDrop;

    // Run time.
    std::unique_ptr<HumanAI> mAI;
    int mSpokenAIState = 0;
    unsigned int mSpeechSound = 0;
    std::unique_ptr<HumanBody> mBody;
    std::unique_ptr<HumanAnimation> mAnimation;
    Ogre::SceneNode* mNode = nullptr;
    Ogre::Entity* mMeshEntity = nullptr;
    ManualShadow* mShadow = nullptr;
    Ogre::ParticleEmitter* mRadialBlood = nullptr;
    Ogre::ParticleEmitter* mDirectionalBlood = nullptr;
    Controller* mController = nullptr;
    bool mPlayer = false;
    std::string mDisplayName;

    bool mFacingRight = true;
    float mTurnAngle = 0.0f;
    float mAimAngle = 0.0f;
    Ogre::Vector3 mAimDirection = Ogre::Vector3::UNIT_X;
    Ogre::Vector3 mAimOriginOffset = Ogre::Vector3::ZERO;
    float mWalkValue = 0.0f;
    bool mOnGround = false;
    bool mJumping = false;
    bool mCrouched = false;
    unsigned int mSelectedSlot = 0;
    float mDamage = 0.0f;
    float mShieldEnergy = 0.0f;
    // Only its low 4 bits travel.
    unsigned int mKeyMask = 0;
    bool mInvulnerable = false;
    unsigned int mLatchedButtons = 0;
    bool mFiredLastTick = false;
    bool mHeavyPose = false;
    Ogre::Vector3 mRecoil = Ogre::Vector3::ZERO;
    EventTrigger mShotTrigger;
    EventTrigger mReloadTrigger;
    EventTrigger mHitTrigger;
    float mHitHeight = 0.0f;
    Ogre::Vector3 mHitDirection = Ogre::Vector3::ZERO;

    float mWalkBlend = 0.0f;
    float mJumpBlend = 0.0f;
    float mHeavyBlend = 0.0f;
    float mAimBlockedBlend = 0.0f;
    float mCriticalBlend = 0.0f;
    float mStridePhase = 0.25f;
    float mSpeechPitch = 1.0f;
    Ogre::Vector3 mShadowPoint = Ogre::Vector3::ZERO;
    Ogre::Vector3 mPreviousShadowPoint = Ogre::Vector3::ZERO;

    brix::NetworkStateCodec mExtraCodec;
};
} // namespace game
