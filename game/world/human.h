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
class Package;
class Shield;
class Weapon;
class WeaponSlot;
class WorldLabel;

// The character of the game: the player's figure and every enemy guard. Each tick it turns
// a player's controller input into walking, jumping, crouching, aiming, shooting, reloading,
// switching weapons, interacting and raising its shield; it takes damage, regenerates, dies
// into a "humanexplosion" and replicates its state to clients. It carries two weapon slots,
// keys and shield energy, and picks up weapons and packages. Its physics body is driven by a
// HumanBody, its skeleton by a HumanAnimation.
//
// Replicated state, in this order (entity codec): position x, y (-250..250, 16 bits each),
// z (-5..5, 8), velocity x, y (-10..10, 8 each), on ground, facing right, turn angle
// (-180..0, 3), walk value (-1..1, 4), aim angle (-90..90, 6), selected slot (1), hit height
// (-1..1, 4), hit direction x, y (-1..1, 3 each), crouched, fired last tick, heavy pose, and
// the shot, reload and hit triggers (2 each). The extra codec, sent only to the node whose
// controller drives the human: damage (0..1, 4), shield energy (0..100, 4), latched buttons
// (6), jumping and the key mask (4). Each weapon slot then adds its definition id to the
// entity codec and its firing state and rounds to the extra codec, slot 0 first.
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
    static constexpr unsigned SLOT_COUNT = 2;
    // Items and sentry guns within these distances (x/y plane) can be used.
    static constexpr float PICKUP_DISTANCE = 1.0f;
    static constexpr float SENTRY_GUN_DISTANCE = 1.2f;
    // A heavy weapon is shouldered with this much room ahead, and lowered only with less than
    // HEAVY_POSE_LOWER_DISTANCE.
    static constexpr float HEAVY_POSE_DISTANCE = 2.0f;
    static constexpr float HEAVY_POSE_LOWER_DISTANCE = 1.4f;
    // The shield goes up this far ahead and this high above the ground.
    static constexpr float SHIELD_AHEAD = 0.8f;
    static constexpr float SHIELD_HEIGHT = 0.75f;
    // The aim line starts this far beyond the barrel; the marker lies this far along the pointer.
    static constexpr float AIM_LINE_GAP = 0.2f;
    static constexpr float AIM_MARKER_REACH = 5.0f;

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
    // Also tells both weapon slots which side this is.
    void setId(uint32_t id, bool authoritative) override;
    void applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse) override;
    brix::NetworkStateCodec* getExtraStateCodec(uint16_t node) override;
    // 1 - damage while alive and the human can be hurt at all.
    float getHealth() const override;

    // Not owned; null for a human that no player drives.
    void setController(Controller* controller) { mController = controller; }
    Controller* getController() const { return mController; }
    void setPlayer(bool player) { mPlayer = player; }
    bool isPlayer() const { return mPlayer; }
    // Also the text of the character label.
    void setDisplayName(const std::string& name);
    const std::string& getDisplayName() const { return mDisplayName; }
    void setAimMarkerVisible(bool visible) { mAimMarkerVisible = visible; }
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
    // Null without a label manager.
    WorldLabel* getLabel() const { return mLabel; }
    // The drawn figure, which wears the skin; null without a scene.
    Ogre::Entity* getMeshEntity() const { return mMeshEntity; }

    unsigned getCurrentWeaponIndex() const { return mSelectedSlot; }
    // The slot's weapon prototype with its rounds; null with 0 and 0 when the slot is empty.
    Weapon* getWeapon(unsigned slot, uint32_t& clip, uint32_t& reserve) const;
    WeaponSlot& getWeaponSlot(unsigned slot) const { return *mSlots[slot % SLOT_COUNT]; }
    // The selected slot is reloading.
    bool isReloading() const;
    bool isHeavyPose() const { return mHeavyPose; }
    // How far the aim runs free from the muzzle of the pose in use.
    float getFreeAimDistance() const { return mFreeAimDistance; }
    // The entity id of the shield this human holds up, 0 for none.
    uint32_t getShieldId() const { return mShieldId; }

    // Takes a weapon into a slot: refills the slot holding the same weapon, else fills the first
    // empty slot or replaces the selected weapon, and selects it. The weapon item is taken.
    void pickUpWeapon(Weapon* weapon);
    // Gives the package's contents with their events and takes it (authoritative side only).
    void applyPackage(Package* package);

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
    // energy, gives it every key, a random weapon in each empty slot and full rounds.
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
    void handleWeaponButtons(unsigned int buttons, unsigned int pressed);
    void switchWeapon();
    void interact();
    void toggleShield();
    void deployShield();
    // Where the shield stands for the human's position and facing.
    Ogre::Vector3 getShieldSpot() const;
    void lowerShield(bool kill);
    void pickUpPackages();
    void updateWeapons();
    void measureAimClearance();
    void placeWeapons(float frameSeconds);
    // Attaches the weapon of that definition id (0 empties the slot) with its full load.
    void equipSlot(unsigned slot, uint32_t weaponId);
    void fireOnClient();
    void updateLabel();
    void giveInitialWeapon();
    // The muzzle of the light or heavy aim pose, in the world.
    Ogre::Vector3 getMuzzlePoint(bool heavy) const;
    // The shield this human holds up while it is still in the world.
    Shield* getDeployedShield() const;
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
    bool mAimMarkerVisible = false;
    WorldLabel* mLabel = nullptr;
    std::unique_ptr<WeaponSlot> mSlots[SLOT_COUNT];
    float mFreeAimDistance = 0.0f;
    uint32_t mShieldId = 0;
    // Where the shield stands from the position; the shield follows the human with it.
    Ogre::Vector3 mShieldOffset = Ogre::Vector3::ZERO;

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
