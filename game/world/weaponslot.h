#pragma once
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <cstdint>
#include <vector>

namespace Ogre
{
class Entity;
class Light;
class SceneNode;
} // namespace Ogre

namespace brix
{
class NetworkStateCodec;
struct TTraceContact;
} // namespace brix

namespace game
{
class Entity;
class EntityManager;
class Human;
class HumanBody;
class Weapon;
class WeaponBeam;

// One weapon held by a human (a human has two). It never holds a weapon entity, only the
// "weapon" prototype of its definition id, and runs the weapon's small state machine:
// idle -> fire -> firing -> after half the shoot delay recovering -> idle, and idle -> reload
// -> reloading -> idle, counting whole ticks. A continuous weapon (time per round above 0) may
// fire again while firing and takes a round at each of its rounds. Firing launches the
// weapon's projectiles on the authoritative side and kicks the holder back; a beam weapon
// traces its beam every tick and damages what it hits at each round. Per frame it shows the
// weapon in the hand, the muzzle flash and light, the beam and the weapon's sounds.
class WeaponSlot
{
public:
    enum State
    {
        IDLE = 0,
        FIRING = 1,
        RECOVERING = 2,
        RELOADING = 3
    };

    // Replicated state: the definition id in the holder's first codec, the rest in its second.
    static constexpr unsigned DEFINITION_BITS = 8;
    static constexpr unsigned STATE_BITS = 2;
    static constexpr unsigned STATE_COUNTER_BITS = 7;
    static constexpr unsigned ROUND_TIMER_BITS = 7;
    static constexpr unsigned CLIP_BITS = 7;
    static constexpr unsigned RESERVE_BITS = 9;
    // What those fields hold: a weapon definition beyond them is clamped when it is loaded.
    static constexpr uint32_t MAX_TICKS = (1u << STATE_COUNTER_BITS) - 1;
    static constexpr uint32_t MAX_CLIP = (1u << CLIP_BITS) - 1;
    static constexpr uint32_t MAX_ROUNDS = (1u << RESERVE_BITS) - 1;
    // Run-time flags of the projectiles fired: purged at once when they die.
    static constexpr uint32_t PROJECTILE_FLAGS = 0x1000000;
    // The aim marker lies at least this far.
    static constexpr float MIN_AIM_MARKER_DISTANCE = 3.0f;
    static constexpr float SHOOT_SOUND_VOLUME = 2.0f;
    // The flash fades in a quarter of a second.
    static constexpr float FLASH_FADE = 4.0f;

    WeaponSlot(EntityManager* manager, Human* owner);
    virtual ~WeaponSlot();
    WeaponSlot(const WeaponSlot&) = delete;
    WeaponSlot& operator=(const WeaponSlot&) = delete;

    void setAuthoritative(bool authoritative) { mAuthoritative = authoritative ? 1 : 0; }
    void bindState(brix::NetworkStateCodec& first, brix::NetworkStateCodec& second);

    // The weapon's definition id, 0 for none; attached at spawn or refresh. An id that names
    // no "weapon" prototype leaves the slot empty.
    void setWeaponId(uint32_t definitionId) { mWeaponId = definitionId; }
    uint32_t getWeaponId() const { return mWeaponId; }
    // The attached prototype; null when empty.
    Weapon* getWeapon() const { return mWeapon; }

    // The holder's body and entity id, while it is spawned.
    void spawn(HumanBody* body, uint32_t ownerId);
    void remove();
    // After a state restore or decode: attaches what the definition id names.
    void refresh();

    // Once per tick, after the physics step, with the hand position and the unit aim.
    void update(const Ogre::Vector3& handPosition, const Ogre::Vector3& aim);
    // Once per frame.
    void interpolate(float frameSeconds, const Ogre::Vector3& handPosition,
                     const Ogre::Quaternion& handOrientation);
    void setVisible(bool visible);
    bool isVisible() const { return mVisible != 0; }

    // The holder pulls the trigger; recoil kicks the holder's body for projectile weapons.
    void fire(bool recoil);
    void reload();
    bool canFire() const;
    bool canReload() const;
    bool isIdle() const { return mState == IDLE; }
    bool isIdleOrRecovering() const { return mState == IDLE || mState == RECOVERING; }
    bool isReloading() const { return mState == RELOADING; }
    State getState() const { return static_cast<State>(mState); }
    // 0 to 1 while reloading, else 0.
    float getReloadProgress() const;
    // How far the weapon kicks back in the first ticks of a single shot.
    float getRecoilKick() const;

    // 0 and 0 without a weapon.
    void getRounds(uint32_t& clip, uint32_t& reserve) const;
    // Only with a weapon.
    void setRounds(uint32_t clip, uint32_t reserve);
    // Adds that share of the weapon's full load to the reserve, up to the full load.
    void addRounds(float fraction);
    // Reloading then takes nothing from the reserve.
    void setInfiniteRounds(bool infinite) { mInfiniteRounds = infinite ? 1 : 0; }
    // Degrees of random deviation of each shot.
    void setSpread(float degrees) { mSpread = degrees; }

    Ogre::Vector3 getMuzzleOffset() const;
    // How far the aim marker lies from the muzzle: the first thing the aim hits, or the weapon's
    // marker distance (at least MIN_AIM_MARKER_DISTANCE).
    float getAimMarkerDistance(const Ogre::Vector3& position, const Ogre::Vector3& aim);
    // How far the aim runs free from a muzzle point up to the aim marker's reach, ignoring the
    // holder's body; negative when the muzzle is already inside something.
    float traceFreeDistance(const Ogre::Vector3& muzzle, const Ogre::Vector3& aim);

    const Ogre::Vector3& getHandPosition() const { return mHandPosition; }
    const Ogre::Quaternion& getHandOrientation() const { return mHandOrientation; }
    // Null without a beam weapon.
    WeaponBeam* getBeam() const { return mBeam; }

    // Whole ticks of a definition's seconds; 0 for a time that is not above 0.
    static uint32_t toTicks(float seconds);

private:
    void attach(Weapon* weapon);
    void detach();
    void launchProjectiles();
    void damageWithBeam();
    Entity* getHolder() const;
    void stopLoopSound();

    EntityManager* mManager;
    Human* mOwner;
    uint8_t mAuthoritative = 1;
    uint32_t mOwnerId = 0;
    HumanBody* mBody = nullptr;
    bool mSpawned = false;
    Ogre::Vector3 mHandPosition = Ogre::Vector3::ZERO;
    Ogre::Quaternion mHandOrientation = Ogre::Quaternion::IDENTITY;
    Ogre::Vector3 mAim = Ogre::Vector3::UNIT_X;
    Ogre::Entity* mWeaponEntity = nullptr;
    Ogre::SceneNode* mWeaponNode = nullptr;
    Ogre::Entity* mFlashEntity = nullptr;
    Ogre::SceneNode* mFlashNode = nullptr;
    Ogre::Light* mFlashLight = nullptr;
    Ogre::SceneNode* mFlashLightNode = nullptr;
    Ogre::SceneNode* mBeamNode = nullptr;
    unsigned int mWeaponId = 0;
    Weapon* mWeapon = nullptr;
    unsigned int mReserveRounds = 0;
    unsigned int mClipRounds = 0;
    uint8_t mInfiniteRounds = 0;
    unsigned int mState = IDLE;
    unsigned int mStateCounter = 0;
    unsigned int mRoundTimer = 0;
    // A round began this tick: a beam deals its damage once per round.
    bool mRoundStarted = false;
    unsigned int mLastShownState = IDLE;
    Ogre::Quaternion mPreviousHandOrientation = Ogre::Quaternion::IDENTITY;
    uint8_t mReloadSoundPlayed = 0;
    uint8_t mVisible = 0;
    WeaponBeam* mBeam = nullptr;
    unsigned int mLoopSoundHandle = 0;
    float mFlashIntensity = 0.0f;
    float mSpread = 0.0f;
    // Reused by the aim marker's trace.
    std::vector<brix::TTraceContact> mTraceHits;
};
} // namespace game
