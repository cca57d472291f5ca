#pragma once
#include "network/networkstatecodec.h"

#include <OgreColourValue.h>
#include <OgrePrerequisites.h>
#include <OgreQuaternion.h>
#include <OgreSharedPtr.h>
#include <OgreVector.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Ogre
{
class Entity;
class ParticleEmitter;
class SceneNode;
} // namespace Ogre

namespace brix
{
class AnimatedLight;
class AudioSample;
class Movable;
class XMLElement;
} // namespace brix

namespace game
{
class EntityManager;
class WorldLabel;

// The base of every world object. Each entity exists once as a prototype, loaded from its
// element of "entities.xml" and owned by the entity manager, and any number of times as an
// instance copied from it (createInstance, then copyDefinition). An instance lives
// inactive -> spawn -> active -> kill -> killed -> purged by the manager (remove, delete).
//
// Time in the world runs in ticks of TICK_SECONDS; ages and timers count whole ticks so that
// a duration ends on the same tick on every side.
class Entity
{
public:
    typedef Ogre::SharedPtr<brix::AudioSample> SamplePtr;
    typedef std::vector<SamplePtr> SoundList;

    static constexpr float TICK_SECONDS = 0.025f;
    static constexpr float TICKS_PER_SECOND = 40.0f;

    enum State
    {
        INACTIVE = 0,
        ACTIVE = 1,
        KILLED = 2
    };

    // Attribute bits of the definition ("attributes" children); the low 24 bits of the flags.
    static constexpr uint32_t ATTRIBUTE_STATIC = 0x1;
    static constexpr uint32_t ATTRIBUTE_DECALS = 0x2;
    static constexpr uint32_t ATTRIBUTE_SEETHROUGH = 0x4;
    static constexpr uint32_t ATTRIBUTE_NOBLOCKAI = 0x8;
    static constexpr uint32_t ATTRIBUTE_BLOCKDAMAGE = 0x10;
    static constexpr uint32_t ATTRIBUTE_NOSHADOWS = 0x20;
    static constexpr uint32_t ATTRIBUTE_IMMOVABLE = 0x40;
    static constexpr uint32_t ATTRIBUTE_EDITNOMOVEZ = 0x100;
    static constexpr uint32_t ATTRIBUTE_EDITNOROTATE = 0x200;
    static constexpr uint32_t ATTRIBUTE_EDITHIDE = 0x400;
    static constexpr uint32_t ATTRIBUTE_MULTIPOSITION = 0x800;
    static constexpr uint32_t ATTRIBUTE_EDITROTATERANDOMX = 0x1000;
    static constexpr uint32_t ATTRIBUTE_EDITROTATERANDOMY = 0x2000;
    static constexpr uint32_t ATTRIBUTE_EDITROTATERANDOMZ = 0x4000;
    // Run-time flags, the top 8 bits: the manager purges the entity at once after its death,
    // or never before destroyAllEntities.
    static constexpr uint32_t RUNTIME_FLAGS = 0xFF000000;
    static constexpr uint32_t RUNTIME_PURGE_AT_ONCE = 0x1000000;
    static constexpr uint32_t RUNTIME_KEEP = 0x2000000;

    // Definition ids travel as one byte.
    static constexpr uint32_t MAX_DEFINITION_ID = 255;

    // Client snapshots: the encoded base and extra state of one tick.
    static constexpr unsigned MAX_SNAPSHOTS = 40;
    static constexpr unsigned SNAPSHOT_SIZE = 64;

    // Corrections shorter than this are dropped, longer ones snap; between, the rendered
    // entity glides to the corrected place, the offset fading at CORRECTION_FADE per second.
    static constexpr float MIN_CORRECTION = 0.01f;
    static constexpr float MAX_CORRECTION = 2.0f;
    static constexpr float CORRECTION_FADE = 10.0f;

    struct StateSnapshot
    {
        uint16_t tick = 0;
        unsigned char data[SNAPSHOT_SIZE] = {};
    };

    // Definition records that subclasses embed and load with the loaders below.
    struct TLight
    {
        Ogre::Vector3 offset = Ogre::Vector3::ZERO;
        Ogre::ColourValue colour = Ogre::ColourValue::Black;
        float range = 0.0f;
        float angle = 0.0f;
        // 0 none, 1 sine, 2 random, 3 ramp.
        int animationType = 0;
        float animationFrequency = 0.0f;
        float animationAmplitude = 0.0f;
    };

    struct TImpactSound
    {
        float minimumSpeed = 0.0f;
        float maximumSpeed = 0.0f;
        SoundList sounds;
        SamplePtr slidingSound;
        float pitchVariation = 0.0f;
    };

    struct TSpawner
    {
        Ogre::Vector3 offset = Ogre::Vector3::ZERO;
        float interval = 0.0f;
        bool onlyOne = false;
        std::vector<std::string> entities;
        SoundList sounds;
        // Spawns at most this many; 0 for no limit.
        unsigned limit = 0;
        uint32_t lastSpawnedId = 0;
        unsigned timerTicks = 0;
        unsigned spawnedCount = 0;
    };

    struct TItemDrop
    {
        std::vector<std::string> items;
        // Probability 0 to 1.
        float frequency = 0.0f;
        float height = 0.0f;
    };

    struct TPeriodicDamage
    {
        float range = 0.0f;
        float damage = 0.0f;
        float slope = 1.0f;
        float interval = 0.0f;
        unsigned timerTicks = 0;
    };

    struct TForceDamage
    {
        float minimum = 0.0f;
        float maximum = 0.0f;
        unsigned timerTicks = 0;
    };

    struct TProximityTrigger
    {
        float delay = 0.0f;
        float range = 0.0f;
        std::string type;
        std::string name;
    };

    explicit Entity(EntityManager* manager);
    virtual ~Entity();
    Entity(const Entity&) = delete;
    Entity& operator=(const Entity&) = delete;

    virtual std::string getType() const = 0;
    // A new, inactive object of the same class on the same manager.
    virtual Entity* createInstance() = 0;
    // The common definition; throws Ogre::InvalidParametersException for a missing name or an
    // id outside 1 to MAX_DEFINITION_ID. Subclasses call it first, then read their own children.
    virtual void load(const brix::XMLElement* element);
    // Subclasses call it first.
    virtual void copyDefinition(const Entity* prototype);
    virtual void setId(uint32_t id, bool authoritative);
    virtual Ogre::MeshPtr getMesh() const;
    virtual const Ogre::Vector3& getGridSnapOffset() const { return mGridSnapOffset; }
    virtual float getDefaultDepth() const { return mDefaultDepth; }
    virtual void getInitialStates(std::vector<std::string>& states) const {}
    virtual void setInitialState(const std::string& state) {}
    virtual void setPosition(const Ogre::Vector3& position) { mPosition = position; }
    virtual const Ogre::Vector3& getPosition() const { return mPosition; }
    virtual void setOrientation(const Ogre::Quaternion& orientation) { mOrientation = orientation; }
    virtual const Ogre::Quaternion& getOrientation() const { return mOrientation; }
    virtual void setVelocity(const Ogre::Vector3& linear, const Ogre::Vector3& angular);
    virtual const Ogre::Vector3& getLinearVelocity() const { return mLinearVelocity; }
    virtual const Ogre::Vector3& getAngularVelocity() const { return mAngularVelocity; }
    virtual void setOwnerId(uint32_t id) { mOwnerId = id; }
    virtual uint32_t getOwnerId() const { return mOwnerId; }
    virtual int getState() const { return mState; }
    // Active, the previous transform is the current one, enabled.
    virtual void spawn();
    // Back to inactive; subclasses destroy their scene nodes and bodies.
    virtual void remove();
    // Killed; the manager purges it later.
    virtual void kill();
    // Logic before the physics step; newTick is false for ticks a client replays.
    virtual void update(uint16_t tick, bool newTick) = 0;
    // Work after the physics step.
    virtual void postUpdate(uint16_t tick, bool newTick) = 0;
    virtual void setTick(uint16_t tick) { mTick = tick; }
    virtual void setEnabled(bool enabled) { mEnabled = enabled; }
    virtual bool isEnabled() const { return mEnabled; }
    // Once per rendered frame; fraction is the part of the tick passed since the last one.
    virtual void interpolate(float frameSeconds, float fraction);
    virtual const Ogre::Vector3& getRenderPosition() const { return mRenderPosition; }
    virtual const Ogre::Quaternion& getRenderOrientation() const { return mRenderOrientation; }
    virtual void damage(float amount, const Ogre::Vector3& point, const Ogre::Vector3& direction,
                        uint32_t attackerId)
    {
    }
    virtual void applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse) {}
    virtual bool getLight(Ogre::Vector3& offset, Ogre::ColourValue& colour, float& range, float& angle) const
    {
        return false;
    }
    virtual brix::NetworkStateCodec* getStateCodec() { return &mStateCodec; }
    // The codec of subclass state as sent to a node (node 0 for decoding and snapshots).
    virtual brix::NetworkStateCodec* getExtraStateCodec(uint16_t node) { return nullptr; }
    // The send rate: 0 never, 1 every pass, k above 1 every 2^(k-1)th pass.
    virtual int getMotionState() const { return mMotionState; }
    virtual uint16_t getTick() const { return mTick; }
    // Client prediction: keeps this tick's encoded state, MAX_SNAPSHOTS at most.
    virtual void saveState();
    // Drops snapshots newer than the tick and decodes the newest one left.
    virtual void restoreState(uint16_t tick);
    // Fraction 0 to 1; 0 when dead or without health.
    virtual float getHealth() const { return 0.0f; }
    virtual void beginCorrection() { mPreCorrectionPosition = mPosition; }
    virtual void endCorrection();
    virtual uint32_t loadAttributes(const brix::XMLElement* element);

    uint32_t getId() const { return mId; }
    const std::string& getName() const { return mName; }
    const std::string& getCategory() const { return mCategory; }
    uint32_t getDefinitionId() const { return mDefinitionId; }
    uint32_t getFlags() const { return mFlags; }
    // Only the top 8 bits of the value are taken, or cleared.
    void addRuntimeFlags(uint32_t flags) { mFlags |= flags & RUNTIME_FLAGS; }
    void removeRuntimeFlags(uint32_t flags) { mFlags &= ~(flags & RUNTIME_FLAGS); }
    bool isAuthoritative() const { return mAuthoritative != 0; }
    EntityManager* getManager() const { return mManager; }
    const Ogre::Vector3& getPreviousPosition() const { return mPreviousPosition; }
    const Ogre::Vector3& getErrorOffset() const { return mErrorOffset; }
    float getErrorWeight() const { return mErrorWeight; }
    unsigned getSnapshotCount() const { return mSnapshotCount; }

    // Definition loaders: a null element leaves the record at its defaults. Sounds load through
    // the audio manager; where there is none (a headless server, a tool) the lists stay empty.
    static void loadLight(const brix::XMLElement* element, TLight& light);
    static void loadSounds(const brix::XMLElement* element, const std::string& childName, SoundList& list);
    // The one sound named by the child at the path; empty when it is not given or cannot be
    // loaded (or there is no audio manager).
    static SamplePtr loadSound(const brix::XMLElement* element, const std::string& path);
    static void loadImpactSound(const brix::XMLElement* element, TImpactSound& record);
    static void loadSpawner(const brix::XMLElement* element, TSpawner& record);
    static void loadItemDrop(const brix::XMLElement* element, TItemDrop& record);
    static void loadPeriodicDamage(const brix::XMLElement* element, TPeriodicDamage& record);
    static void loadForceDamage(const brix::XMLElement* element, TForceDamage& record);
    static void loadProximityTrigger(const brix::XMLElement* element, TProximityTrigger& record);

    // Run-time counterparts, one tick per call where they count time.
    void playImpactSound(const TImpactSound& record, float speed) const;
    void updateSpawner(TSpawner& record);
    Entity* dropItem(const TItemDrop& record);
    void applyPeriodicDamage(TPeriodicDamage& record);
    void applyForceDamage(TForceDamage& record, float value, float amount);
    // True when, at least delay seconds into the entity's life (ageTicks), an entity of the
    // record's type (and name, when given) is within range.
    bool checkProximityTrigger(const TProximityTrigger& record, unsigned ageTicks) const;

    // Physics movables carry their entity as user data, stored as an Entity* (never a pointer to
    // a subclass). Null for level geometry, a null movable and movables of no entity.
    static Entity* ofMovable(const brix::Movable* movable);
    static Entity* ofUserData(const void* userData)
    {
        return static_cast<Entity*>(const_cast<void*>(userData));
    }

    // Whole ticks in a span of seconds, for comparing tick counters with definition times.
    static float toTicks(float seconds) { return seconds * TICKS_PER_SECOND; }

protected:
    // Binds position and orientation into the state codec: x and y in -250..250 on 16 bits,
    // z in -5..5 on 8 bits, the quaternion's four parts in -1..1 on orientationBits each.
    void bindPose(unsigned orientationBits = 8);
    // The previous transform becomes the current one and the tick is stored: the post-update of
    // an entity that does not move on its own.
    void holdPose(uint16_t tick);
    // Creates and spawns an entity of a prototype named in a definition. An unknown name is
    // logged and reported like a full array, with null, so a bad definition never ends a tick.
    Entity* createNamedEntity(const std::string& name, const Ogre::Vector3& position,
                              const Ogre::Quaternion& orientation, const Ogre::Vector3& linearVelocity,
                              const Ogre::Vector3& angularVelocity);
    // An animated light of the definition on a new node at its offset below the parent; nothing
    // when its range is not above 0.
    void createLight(const TLight& light, Ogre::SceneNode* parent, Ogre::SceneNode*& node,
                     brix::AnimatedLight*& animated) const;
    void destroyLight(Ogre::SceneNode*& node, brix::AnimatedLight*& animated) const;
    // A node below the manager's root at the entity's pose, carrying an entity of the mesh when
    // there is one; nothing without a scene manager.
    void createMeshNode(const Ogre::MeshPtr& mesh, Ogre::SceneNode*& node, Ogre::Entity*& entity) const;
    // Destroys both, when there are any, and forgets them.
    void destroyMeshNode(Ogre::SceneNode*& node, Ogre::Entity*& entity) const;
    // An emitter of the particle pool at the position; null without a name or a pool.
    Ogre::ParticleEmitter* createEmitter(const std::string& name, const Ogre::Vector3& position) const;
    // Gives the emitter back to the pool and forgets it.
    void destroyEmitter(Ogre::ParticleEmitter*& emitter) const;
    // A label of an application type ("interaction", "character") at the position; null
    // without a label manager (servers, tools, headless tests).
    WorldLabel* addWorldLabel(const char* type, const Ogre::Vector3& position) const;
    // Gives the label back to the manager and forgets it.
    void removeWorldLabel(WorldLabel*& label) const;
    // A sound of the list at random, at the position; 0 when the list is empty.
    unsigned int playRandomSound(const SoundList& sounds, const Ogre::Vector3& position, float volume,
                                 float pitch, bool loop, int priority) const;
    // The share of a blast or damaging area that reaches a distance: clamp((1 - distance /
    // range) * slope, 0, 1); 0 for a range that is not above 0.
    static float falloff(float distance, float range, float slope);

    EntityManager* mManager;
    uint32_t mDefinitionId = 0;
    std::string mName;
    std::string mCategory;
    uint32_t mSupportedAttributes = 0;
    uint32_t mFlags = 0;
    Ogre::Vector3 mGridSnapOffset = Ogre::Vector3::ZERO;
    float mDefaultDepth = 0.0f;
    uint32_t mId = 0;
    int mState = INACTIVE;
    uint8_t mAuthoritative = 1;
    brix::NetworkStateCodec mStateCodec;
    Ogre::Vector3 mPosition = Ogre::Vector3::ZERO;
    Ogre::Quaternion mOrientation = Ogre::Quaternion::IDENTITY;
    Ogre::Vector3 mLinearVelocity = Ogre::Vector3::ZERO;
    Ogre::Vector3 mAngularVelocity = Ogre::Vector3::ZERO;
    int mMotionState = 0;
    uint32_t mOwnerId = 0;
    uint8_t mEnabled = 1;
    uint16_t mTick = 0;
    Ogre::Vector3 mPreviousPosition = Ogre::Vector3::ZERO;
    Ogre::Quaternion mPreviousOrientation = Ogre::Quaternion::IDENTITY;
    Ogre::Vector3 mPreCorrectionPosition = Ogre::Vector3::ZERO;
    Ogre::Vector3 mErrorOffset = Ogre::Vector3::ZERO;
    float mErrorWeight = 0.0f;
    Ogre::Vector3 mRenderPosition = Ogre::Vector3::ZERO;
    Ogre::Quaternion mRenderOrientation = Ogre::Quaternion::IDENTITY;
    // What the last spatial query of this entity found; kept so that queries do not allocate.
    mutable std::vector<Entity*> mFoundEntities;

private:
    void encodeSnapshot(StateSnapshot& snapshot);
    void decodeSnapshot(const StateSnapshot& snapshot);

    // Newest first from mSnapshotHead, a ring so that saving allocates nothing.
    std::array<StateSnapshot, MAX_SNAPSHOTS> mSnapshots;
    unsigned mSnapshotHead = 0;
    unsigned mSnapshotCount = 0;
};
} // namespace game
