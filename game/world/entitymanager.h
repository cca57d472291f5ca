#pragma once
#include "game/level/levelentityquery.h"
#include "network/networkobject.h"

#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

namespace Ogre
{
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace brix
{
class LabelManager;
class OgreParticlePool;
class Simulator;
struct TTraceContact;
} // namespace brix

namespace game
{
class Entity;
class EventDispatcher;
class Level;
class ShadowManager;

// Owns every entity of the running level: the prototypes loaded from "entities.xml", 200
// dynamic slots (an entity's id is its slot index plus 1) and the static entities (ids from
// 1000, never ticked, replicated or looked up). It runs the tick around the physics step,
// interpolates once per frame and answers spatial queries.
//
// It is also network object 3: the server describes, per observing node, a window of the
// dynamic slots in each data packet; a client applies it with prediction, rewinding its
// entities to the server's tick and replaying them.
//
// Update message: uint16 tick, uint16 first slot index, uint16 focus entity id, then records
// of two bytes, uint8 definition id (0 = empty slot) and a control byte, each record covering
// the slots that follow the previous one (wrapping from 199 to 0). Control bit 7: the slot is
// relevant to the node. Bit 6 set: a full record, the low 6 bits the length of the entity's
// state that follows (1 to 63 bytes). Bit 6 clear: a run of as many slots as the low 6 bits
// (1 to 63) with the same id and relevance, no data.
class EntityManager : public brix::NetworkObject, public LevelEntityQuery
{
public:
    static constexpr unsigned DYNAMIC_ENTITY_COUNT = 200;
    static constexpr uint32_t FIRST_STATIC_ID = 1000;
    static constexpr unsigned MAX_OBSERVERS = 8;
    // A client that falls further behind than this jumps instead of simulating the way.
    static constexpr int MAX_TICK_STEPS = 40;
    // A killed entity stays in its slot this long (in purges, one per simulateTo) so its death
    // shows, unless its run-time flags say otherwise.
    static constexpr unsigned DEATH_TICKS = 80;

    // The update message.
    static constexpr unsigned HEADER_SIZE = 6;
    static constexpr unsigned RECORD_SIZE = 2;
    static constexpr unsigned char CONTROL_RELEVANT = 0x80;
    static constexpr unsigned char CONTROL_DATA = 0x40;
    static constexpr unsigned char CONTROL_COUNT = 0x3F;
    // The longest state a full record carries: its length has 6 bits.
    static constexpr unsigned MAX_RECORD_DATA = 63;
    // A client within this many ticks of the server drifts toward it instead of snapping.
    static constexpr int MAX_TICK_DRIFT = 4;
    // Consecutive messages off by two or more ticks before the client's tick moves by one.
    static constexpr int DRIFT_LIMIT = 10;

    // One network node that looks at the world.
    struct Observer
    {
        // 0 = record free.
        uint16_t node = 0;
        // 1 for a client in this process.
        uint8_t local = 0;
        // The entity the node's player controls; 0 = none.
        uint32_t focus = 0;
        // Next dynamic index to describe, and how often it wrapped.
        uint16_t cursor = 0;
        uint16_t pass = 0;
        // Non-zero where the dynamic entity at that index is relevant to this observer.
        std::vector<uint32_t> relevance;
    };

    EntityManager(brix::Simulator* simulator, Ogre::SceneManager* sceneManager, Ogre::SceneNode* root);
    ~EntityManager() override;
    EntityManager(const EntityManager&) = delete;
    EntityManager& operator=(const EntityManager&) = delete;

    // Services the entities use; none is owned, any may be null in tools and tests. The level
    // learns from the manager what the entities its traces hit are.
    void setServices(EventDispatcher* dispatcher, brix::LabelManager* labels, ShadowManager* shadows,
                     brix::OgreParticlePool* particles, Level* level);
    brix::Simulator* getSimulator() const { return mSimulator; }
    Ogre::SceneManager* getSceneManager() const { return mSceneManager; }
    Ogre::SceneNode* getRootSceneNode() const { return mRootSceneNode; }
    EventDispatcher* getEventDispatcher() const { return mEventDispatcher; }
    brix::LabelManager* getLabelManager() const { return mLabelManager; }
    ShadowManager* getShadowManager() const { return mShadowManager; }
    brix::OgreParticlePool* getParticlePool() const { return mParticlePool; }
    Level* getLevel() const { return mLevel; }

    // True where this process simulates everything (single player, host, editor).
    void setAuthoritative(bool authoritative) { mAuthoritative = authoritative ? 1 : 0; }
    bool isAuthoritative() const { return mAuthoritative != 0; }
    void setVisibleArea(float width, float height);

    // Throws Ogre exceptions for an unreadable file, an unknown element name, a bad definition
    // and duplicate names or ids; prototypes loaded before the failing element stay.
    void loadEntityPrototypes(const std::string& file);
    Entity* getPrototype(const std::string& name) const;
    // The prototype of a definition id (as replicated); null for an id nothing was loaded as.
    Entity* getPrototypeById(uint32_t definitionId) const;
    // Appends the names of the prototypes of the type (every type when empty), in file order.
    void getPrototypeNames(const std::string& type, std::vector<std::string>& names,
                           bool includeHidden) const;

    // Instantiates, places and spawns. Null when the dynamic slots are full; throws
    // Ogre::ItemIdentityException for a name without prototype.
    Entity* createEntity(const std::string& name, const Ogre::Vector3& position,
                         const Ogre::Quaternion& orientation, const Ogre::Vector3& linearVelocity,
                         const Ogre::Vector3& angularVelocity);
    // Instantiates only; the caller places and spawns it.
    Entity* createEntity(const std::string& name);
    // Dynamic ids (1 to 200) only.
    Entity* getEntity(uint32_t id) const;
    unsigned getDynamicEntityCapacity() const { return DYNAMIC_ENTITY_COUNT; }
    const std::list<Entity*>& getStaticEntities() const { return mStaticEntities; }
    void destroyAllEntities();

    // The application's tick counter.
    uint16_t nextTick() { return ++mApplicationTick; }
    uint16_t getTick() const { return mApplicationTick; }
    uint16_t getSimulatedTick() const { return mSimulatedTick; }
    // Runs the world up to the tick: entity logic, one tick of physics, entity reactions.
    void simulateTo(uint16_t tick);
    void updateObserverVisibility();
    // With all, every entity is enabled exactly while active; otherwise while relevant to a
    // local observer.
    void updateEntityActivation(bool all);
    void interpolate(float frameSeconds, float tickFraction);

    bool addObserver(uint16_t node, uint8_t local);
    void removeObserver(uint16_t node);
    void setObserverFocus(uint16_t node, uint32_t entityId);
    // Null when the node has no record.
    const Observer* getObserver(uint16_t node) const;
    // Bit i for each observer record i whose focus is the entity.
    uint32_t getObserverMask(const Entity* entity) const;
    // Bit i for each observer whose living focus entity lies within the radius (x/y plane).
    uint32_t getObserverMaskInRadius(const Ogre::Vector3& point, float radius) const;
    // Bit i for each observer whose living focus entity lies in the box of that size around
    // the point (x/y plane).
    uint32_t getObserverMaskInBox(const Ogre::Vector3& point, const Ogre::Vector2& size) const;

    // Appends the active dynamic entities (on a client, the enabled ones) of the type (any when
    // empty) within radius of the center in the x/y plane (anywhere when radius is 0).
    void findEntities(std::vector<Entity*>& out, const Ogre::Vector3& center, float radius,
                      const std::string& type) const;
    // Visibility along a line: 2 clear, 1 clear but for entities with a flag of passMask, 0
    // blocked by level geometry (or, with stopAtEntity, by any other entity).
    int traceEntities(const Entity* ignoreA, const Ogre::Vector3& from, const Entity* ignoreB,
                      const Ogre::Vector3& to, bool stopAtEntity, uint32_t passMask, bool reverse);
    // The best of the traces toward the target (for a human also its head and lower point).
    int checkVisibility(const Entity* ignoreA, const Ogre::Vector3& from, const Entity* target,
                        bool stopAtEntity, uint32_t passMask, bool reverse);

    // Replication switched on from the match start to its end.
    void setSyncEnabled(bool enabled) { mSyncEnabled = enabled ? 1 : 0; }
    bool isSyncEnabled() const { return mSyncEnabled != 0; }
    void acknowledgeNetworkData(unsigned short node, unsigned short sequence) override;
    void encodeNetworkData(unsigned short node, brix::NetworkEncodeStream& stream,
                           unsigned short sequence) override;
    void decodeNetworkData(unsigned short node, brix::NetworkDecodeStream& stream,
                           unsigned short sequence) override;

    // The flags of the entity that a physics movable carries as user data.
    unsigned getEntityFlags(const void* userData) const override;
    bool hasPrototype(const std::string& name) const override { return getPrototype(name) != nullptr; }

    // 16-bit tick order: a is after b when (a - b) lies in 1..32767.
    static bool isTickAfter(uint16_t a, uint16_t b)
    {
        uint16_t d = static_cast<uint16_t>(a - b);
        return d >= 1 && d <= 32767;
    }

private:
    Entity* allocatePrototype(const std::string& elementName);
    Entity* instantiate(const std::string& name, const char* source);
    Entity* instantiate(Entity* prototype);
    // A new instance of the prototype in the free dynamic slot, with the id of that slot.
    Entity* placeInstance(Entity* prototype, unsigned index);
    void purgeEntities(bool force);
    void clearSlot(unsigned index);
    void killOutsideLevel();
    bool isRelevant(const Entity* entity, const Entity* focus) const;
    bool isUpdateDue(const Entity* entity, uint16_t pass) const;
    static bool isRunning(const Entity* entity, bool authoritative);
    bool isFocusNear(const Observer& observer, const Ogre::Vector3& point, float dx, float dy,
                     bool radial) const;
    void writeRun(brix::NetworkEncodeStream& stream, unsigned char id, unsigned char flag, unsigned& runCount,
                  unsigned char& runId, unsigned char& runFlag);
    // An entity's record of that length at the stream's position, base state then extra; the
    // stream itself does not move. False when it does not decode.
    static bool decodeState(Entity& entity, brix::NetworkDecodeStream& stream, unsigned length);
    void syncTick(uint16_t serverTick);
    void rewindTo(uint16_t serverTick);

    brix::Simulator* mSimulator;
    Ogre::SceneManager* mSceneManager;
    Ogre::SceneNode* mRootSceneNode;
    EventDispatcher* mEventDispatcher = nullptr;
    brix::LabelManager* mLabelManager = nullptr;
    ShadowManager* mShadowManager = nullptr;
    brix::OgreParticlePool* mParticlePool = nullptr;
    Level* mLevel = nullptr;
    uint8_t mAuthoritative = 1;
    std::vector<Entity*> mPrototypes;
    std::map<std::string, size_t> mPrototypeNames;
    std::map<uint16_t, size_t> mPrototypeIds;
    std::vector<Entity*> mDynamicEntities;
    uint32_t mHighestIndex = 0;
    std::list<Entity*> mStaticEntities;
    std::vector<Observer> mObservers;
    float mVisibleWidth = 18.0f;
    float mVisibleHeight = 14.0f;
    uint16_t mApplicationTick = 0;
    int16_t mTickDrift = 0;
    uint16_t mSimulatedTick = 0;
    uint16_t mSourceTick = 0;
    uint8_t mSyncEnabled = 0;
    // Purges seen by each slot's killed entity.
    std::vector<unsigned> mDeathTicks;
    // Reused by the traces so a tick allocates nothing once they have grown.
    std::vector<brix::TTraceContact> mTraceHits;
};
} // namespace game
