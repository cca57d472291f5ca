#include "game/world/entitymanager.h"
#include "engine/core/movable.h"
#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/world/crawler.h"
#include "game/world/door.h"
#include "game/world/drone.h"
#include "game/world/entity.h"
#include "game/world/explosion.h"
#include "game/world/human.h"
#include "game/world/package.h"
#include "game/world/platform.h"
#include "game/world/projectile.h"
#include "game/world/prop.h"
#include "game/world/sentrygun.h"
#include "game/world/shield.h"
#include "game/world/weapon.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace game
{
EntityManager::EntityManager(brix::Simulator* simulator, Ogre::SceneManager* sceneManager,
                             Ogre::SceneNode* root)
    : mSimulator(simulator), mSceneManager(sceneManager), mRootSceneNode(root),
      mDynamicEntities(DYNAMIC_ENTITY_COUNT, nullptr), mObservers(MAX_OBSERVERS),
      mDeathTicks(DYNAMIC_ENTITY_COUNT, 0)
{
    for (Observer& observer : mObservers)
        observer.relevance.assign(DYNAMIC_ENTITY_COUNT, 0);
}

EntityManager::~EntityManager()
{
    destroyAllEntities();
    if (mLevel)
        mLevel->setEntityQuery(nullptr);
    for (Entity* prototype : mPrototypes)
        delete prototype;
}

void EntityManager::setServices(EventDispatcher* dispatcher, brix::LabelManager* labels,
                                ShadowManager* shadows, brix::OgreParticlePool* particles, Level* level)
{
    if (mLevel && mLevel != level)
        mLevel->setEntityQuery(nullptr);
    if (level)
        level->setEntityQuery(this);
    mEventDispatcher = dispatcher;
    mLabelManager = labels;
    mShadowManager = shadows;
    mParticlePool = particles;
    mLevel = level;
}

unsigned EntityManager::getEntityFlags(const void* userData) const
{
    return Entity::ofUserData(userData)->getFlags();
}

void EntityManager::setVisibleArea(float width, float height)
{
    mVisibleWidth = width;
    mVisibleHeight = height;
}

// Prototypes and instances

Entity* EntityManager::allocatePrototype(const std::string& name)
{
    if (name == "human")
        return new Human(this);
    if (name == "prop")
        return new Prop(this);
    if (name == "projectile")
        return new Projectile(this);
    if (name == "explosion")
        return new Explosion(this);
    if (name == "platform")
        return new Platform(this);
    if (name == "weapon")
        return new Weapon(this);
    if (name == "package")
        return new Package(this);
    if (name == "door")
        return new Door(this);
    if (name == "sentrygun")
        return new SentryGun(this);
    if (name == "drone")
        return new Drone(this);
    if (name == "crawler")
        return new Crawler(this);
    if (name == "shield")
        return new Shield(this);
    OGRE_EXCEPT(Ogre::Exception::ERR_NOT_IMPLEMENTED, "Unsupported entity type: " + name,
                "EntityManager::allocatePrototype");
}

void EntityManager::loadEntityPrototypes(const std::string& file)
{
    brix::XMLElement root("entities");
    int result = root.load(file);
    if (result < 0)
        OGRE_EXCEPT(Ogre::Exception::ERR_FILE_NOT_FOUND,
                    "Error loading entity prototypes from '" + file + "': " + std::to_string(result),
                    "EntityManager::loadEntityPrototypes");
    for (const brix::XMLElement* element = root.getChild(""); element;
         element = root.getNextChild(element, ""))
    {
        // Comments stay in the tree as elements named "!...".
        if (element->getName().compare(0, 1, "!") == 0)
            continue;
        Entity* prototype = allocatePrototype(element->getName());
        size_t index = mPrototypes.size();
        mPrototypes.push_back(prototype);
        prototype->load(element);
        const std::string& name = prototype->getName();
        if (!mPrototypeNames.emplace(name, index).second)
            OGRE_EXCEPT(Ogre::Exception::ERR_DUPLICATE_ITEM, "Duplicate entity name '" + name + "'",
                        "EntityManager::loadEntityPrototypes");
        if (!mPrototypeIds.emplace(static_cast<uint16_t>(prototype->getDefinitionId()), index).second)
            OGRE_EXCEPT(Ogre::Exception::ERR_DUPLICATE_ITEM, "Duplicate id for entity '" + name + "'",
                        "EntityManager::loadEntityPrototypes");
        brix::Log::info("Entity '%s' definition (type '%s', id %d) loaded", name.c_str(),
                        prototype->getType().c_str(), static_cast<int>(prototype->getDefinitionId()));
        brix::NetworkStateCodec* codec = prototype->getStateCodec();
        brix::Log::info("State data size for entity: %d bytes (%d bits)",
                        static_cast<int>(codec->getSizeBytes()), static_cast<int>(codec->getSizeBits()));
    }
}

Entity* EntityManager::getPrototype(const std::string& name) const
{
    auto found = mPrototypeNames.find(name);
    return found == mPrototypeNames.end() ? nullptr : mPrototypes[found->second];
}

Entity* EntityManager::getPrototypeById(uint32_t definitionId) const
{
    if (definitionId > Entity::MAX_DEFINITION_ID)
        return nullptr;
    auto found = mPrototypeIds.find(static_cast<uint16_t>(definitionId));
    return found == mPrototypeIds.end() ? nullptr : mPrototypes[found->second];
}

void EntityManager::getPrototypeNames(const std::string& type, std::vector<std::string>& names,
                                      bool includeHidden) const
{
    for (const Entity* prototype : mPrototypes)
    {
        if (!type.empty() && prototype->getType() != type)
            continue;
        if (!includeHidden && (prototype->getFlags() & Entity::ATTRIBUTE_EDITHIDE))
            continue;
        names.push_back(prototype->getName());
    }
}

Entity* EntityManager::instantiate(const std::string& name, const char* source)
{
    Entity* prototype = getPrototype(name);
    if (!prototype)
        OGRE_EXCEPT(Ogre::Exception::ERR_ITEM_NOT_FOUND, "Entity prototype not found ('" + name + "')",
                    source);
    return instantiate(prototype);
}

Entity* EntityManager::instantiate(Entity* prototype)
{
    if (prototype->getFlags() & Entity::ATTRIBUTE_STATIC)
    {
        Entity* entity = prototype->createInstance();
        entity->copyDefinition(prototype);
        entity->setId(FIRST_STATIC_ID + static_cast<uint32_t>(mStaticEntities.size()), isAuthoritative());
        mStaticEntities.push_back(entity);
        return entity;
    }
    unsigned index = 0;
    while (index < DYNAMIC_ENTITY_COUNT && mDynamicEntities[index])
        ++index;
    if (index == DYNAMIC_ENTITY_COUNT)
    {
        brix::Log::error("Dynamic entity array full");
        return nullptr;
    }
    return placeInstance(prototype, index);
}

Entity* EntityManager::placeInstance(Entity* prototype, unsigned index)
{
    Entity* entity = prototype->createInstance();
    entity->copyDefinition(prototype);
    entity->setId(index + 1, isAuthoritative());
    mDynamicEntities[index] = entity;
    mDeathTicks[index] = 0;
    // Slots a client fills from the server's records count as used too.
    if (index > mHighestIndex)
        mHighestIndex = index;
    return entity;
}

Entity* EntityManager::createEntity(const std::string& name, const Ogre::Vector3& position,
                                    const Ogre::Quaternion& orientation, const Ogre::Vector3& linearVelocity,
                                    const Ogre::Vector3& angularVelocity)
{
    Entity* entity = instantiate(name, "EntityManager::createEntity");
    if (!entity)
        return nullptr;
    entity->setPosition(position);
    entity->setOrientation(orientation);
    entity->setVelocity(linearVelocity, angularVelocity);
    entity->spawn();
    return entity;
}

Entity* EntityManager::createEntity(const std::string& name)
{
    return instantiate(name, "EntityManager::createEntity");
}

Entity* EntityManager::getEntity(uint32_t id) const
{
    if (id == 0 || id > DYNAMIC_ENTITY_COUNT)
        return nullptr;
    return mDynamicEntities[id - 1];
}

void EntityManager::clearSlot(unsigned index)
{
    Entity* entity = mDynamicEntities[index];
    if (entity->getState() != Entity::INACTIVE)
        entity->remove();
    delete entity;
    mDynamicEntities[index] = nullptr;
    mDeathTicks[index] = 0;
    while (mHighestIndex > 0 && !mDynamicEntities[mHighestIndex])
        --mHighestIndex;
}

void EntityManager::purgeEntities(bool force)
{
    for (unsigned index = 0; index <= mHighestIndex; ++index)
    {
        Entity* entity = mDynamicEntities[index];
        if (!entity || entity->getState() != Entity::KILLED)
            continue;
        if (!force)
        {
            uint32_t flags = entity->getFlags();
            if (flags & Entity::RUNTIME_KEEP)
                continue;
            if (!(flags & Entity::RUNTIME_PURGE_AT_ONCE) && mDeathTicks[index] < DEATH_TICKS)
            {
                ++mDeathTicks[index];
                continue;
            }
        }
        clearSlot(index);
    }
}

void EntityManager::destroyAllEntities()
{
    for (Entity* entity : mDynamicEntities)
        if (entity)
            entity->kill();
    purgeEntities(true);
    for (Entity* entity : mStaticEntities)
    {
        if (entity->getState() != Entity::INACTIVE)
            entity->remove();
        delete entity;
    }
    mStaticEntities.clear();
}

// Ticks and frames

bool EntityManager::isRunning(const Entity* entity, bool authoritative)
{
    return entity && entity->getState() == Entity::ACTIVE && (authoritative || entity->isEnabled());
}

void EntityManager::simulateTo(uint16_t tick)
{
    int16_t distance = static_cast<int16_t>(tick - mSimulatedTick);
    if (distance > MAX_TICK_STEPS || distance < -MAX_TICK_STEPS)
    {
        brix::Log::debug("Jumping to tick %d too far from source tick %d", tick, mSimulatedTick);
        mSimulatedTick = tick;
    }
    bool authoritative = isAuthoritative();
    while (isTickAfter(tick, mSimulatedTick))
    {
        ++mSimulatedTick;
        bool newTick = isTickAfter(mSimulatedTick, mSourceTick);
        // An entity created during the pass is not ticked before the next one.
        unsigned highest = mHighestIndex;
        for (unsigned index = 0; index <= highest; ++index)
            if (isRunning(mDynamicEntities[index], authoritative))
                mDynamicEntities[index]->update(mSimulatedTick, newTick);
        if (mSimulator)
            mSimulator->update(Entity::TICK_SECONDS, false);
        for (unsigned index = 0; index <= highest; ++index)
            if (isRunning(mDynamicEntities[index], authoritative))
                mDynamicEntities[index]->postUpdate(mSimulatedTick, newTick);
        if (!authoritative)
            for (unsigned index = 0; index <= mHighestIndex; ++index)
            {
                Entity* entity = mDynamicEntities[index];
                if (!isRunning(entity, false))
                    continue;
                entity->saveState();
                if (mSimulatedTick == mSourceTick)
                    entity->endCorrection();
            }
        if (mSimulator)
            mSimulator->flush();
    }
    if (authoritative)
    {
        killOutsideLevel();
        purgeEntities(false);
    }
    mSourceTick = mSimulatedTick;
}

void EntityManager::killOutsideLevel()
{
    if (!mLevel)
        return;
    const Ogre::AxisAlignedBox& box = mLevel->getBoundingBox();
    // A level whose box is not built yet bounds nothing.
    if (box.isNull())
        return;
    for (unsigned index = 0; index <= mHighestIndex; ++index)
    {
        Entity* entity = mDynamicEntities[index];
        if (entity && entity->getState() == Entity::ACTIVE && !box.intersects(entity->getPosition()))
            entity->kill();
    }
}

void EntityManager::interpolate(float frameSeconds, float tickFraction)
{
    for (unsigned index = 0; index <= mHighestIndex; ++index)
    {
        Entity* entity = mDynamicEntities[index];
        if (entity && entity->getState() == Entity::ACTIVE && entity->isEnabled())
            entity->interpolate(frameSeconds, tickFraction);
    }
    for (Entity* entity : mStaticEntities)
        entity->interpolate(frameSeconds, tickFraction);
}

bool EntityManager::isRelevant(const Entity* entity, const Entity* focus) const
{
    if (!focus)
        return false;
    if (entity == focus)
        return true;
    Ogre::Vector3 offset = entity->getPosition() - focus->getPosition();
    if (std::fabs(offset.x) <= mVisibleWidth && std::fabs(offset.y) < mVisibleHeight)
        return true;
    if (entity->getType() != "platform")
        return false;
    const Platform* platform = static_cast<const Platform*>(entity);
    for (unsigned i = 0; i < platform->getWaypointCount(); ++i)
    {
        Ogre::Vector3 waypoint = platform->getWaypoint(i) - focus->getPosition();
        if (std::fabs(waypoint.x) < mVisibleWidth && std::fabs(waypoint.y) < mVisibleHeight)
            return true;
    }
    return false;
}

void EntityManager::updateObserverVisibility()
{
    if (!isAuthoritative())
        return;
    for (Observer& observer : mObservers)
    {
        if (!observer.node)
            continue;
        const Entity* focus = getEntity(observer.focus);
        for (unsigned index = 0; index <= mHighestIndex; ++index)
        {
            const Entity* entity = mDynamicEntities[index];
            bool relevant = entity && entity->getState() == Entity::ACTIVE && isRelevant(entity, focus);
            observer.relevance[index] = relevant ? 1 : 0;
        }
        for (unsigned index = mHighestIndex + 1; index < DYNAMIC_ENTITY_COUNT; ++index)
            observer.relevance[index] = 0;
    }
}

void EntityManager::updateEntityActivation(bool all)
{
    for (unsigned index = 0; index <= mHighestIndex; ++index)
    {
        Entity* entity = mDynamicEntities[index];
        if (!entity)
            continue;
        bool enabled = false;
        if (all)
            enabled = entity->getState() == Entity::ACTIVE;
        else
            for (const Observer& observer : mObservers)
                if (observer.node && observer.local && observer.relevance[index])
                    enabled = true;
        if (enabled != entity->isEnabled())
            entity->setEnabled(enabled);
    }
}

// Observers

bool EntityManager::addObserver(uint16_t node, uint8_t local)
{
    for (Observer& observer : mObservers)
        if (!observer.node)
        {
            observer.node = node;
            observer.local = local;
            observer.focus = 0;
            observer.cursor = 0;
            observer.pass = 0;
            observer.relevance.assign(DYNAMIC_ENTITY_COUNT, 0);
            return true;
        }
    return false;
}

void EntityManager::removeObserver(uint16_t node)
{
    for (Observer& observer : mObservers)
        if (observer.node == node)
        {
            // A freed record keeps nothing that a mask or a later observer could read.
            observer = Observer();
            observer.relevance.assign(DYNAMIC_ENTITY_COUNT, 0);
            return;
        }
}

void EntityManager::setObserverFocus(uint16_t node, uint32_t entityId)
{
    for (Observer& observer : mObservers)
        if (observer.node == node)
            observer.focus = entityId;
}

const EntityManager::Observer* EntityManager::getObserver(uint16_t node) const
{
    for (const Observer& observer : mObservers)
        if (observer.node && observer.node == node)
            return &observer;
    return nullptr;
}

uint32_t EntityManager::getObserverMask(const Entity* entity) const
{
    uint32_t mask = 0;
    if (!entity)
        return mask;
    for (unsigned i = 0; i < MAX_OBSERVERS; ++i)
        if (mObservers[i].node && mObservers[i].focus && mObservers[i].focus == entity->getId())
            mask |= 1u << i;
    return mask;
}

bool EntityManager::isFocusNear(const Observer& observer, const Ogre::Vector3& point, float dx, float dy,
                                bool radial) const
{
    if (!observer.node)
        return false;
    const Entity* focus = getEntity(observer.focus);
    if (!focus || focus->getHealth() <= 0.0f)
        return false;
    Ogre::Vector3 offset = focus->getPosition() - point;
    if (radial)
        return offset.x * offset.x + offset.y * offset.y <= dx * dx;
    return std::fabs(offset.x) <= dx && std::fabs(offset.y) <= dy;
}

uint32_t EntityManager::getObserverMaskInRadius(const Ogre::Vector3& point, float radius) const
{
    uint32_t mask = 0;
    for (unsigned i = 0; i < MAX_OBSERVERS; ++i)
        if (isFocusNear(mObservers[i], point, radius, radius, true))
            mask |= 1u << i;
    return mask;
}

uint32_t EntityManager::getObserverMaskInBox(const Ogre::Vector3& point, const Ogre::Vector2& size) const
{
    uint32_t mask = 0;
    for (unsigned i = 0; i < MAX_OBSERVERS; ++i)
        if (isFocusNear(mObservers[i], point, size.x * 0.5f, size.y * 0.5f, false))
            mask |= 1u << i;
    return mask;
}

// Spatial queries

void EntityManager::findEntities(std::vector<Entity*>& out, const Ogre::Vector3& center, float radius,
                                 const std::string& type) const
{
    bool authoritative = isAuthoritative();
    float radiusSquared = radius * radius;
    for (unsigned index = 0; index <= mHighestIndex; ++index)
    {
        Entity* entity = mDynamicEntities[index];
        if (!isRunning(entity, authoritative))
            continue;
        if (!type.empty() && entity->getType() != type)
            continue;
        if (radius != 0.0f)
        {
            Ogre::Vector3 offset = entity->getPosition() - center;
            if (offset.x * offset.x + offset.y * offset.y > radiusSquared)
                continue;
        }
        out.push_back(entity);
    }
}

int EntityManager::traceEntities(const Entity* ignoreA, const Ogre::Vector3& from, const Entity* ignoreB,
                                 const Ogre::Vector3& to, bool stopAtEntity, uint32_t passMask, bool reverse)
{
    mTraceHits.clear();
    if (reverse)
        mSimulator->traceRayAll(to, from, mTraceHits);
    else
        mSimulator->traceRayAll(from, to, mTraceHits);
    int result = 2;
    for (const brix::TTraceContact& hit : mTraceHits)
    {
        const Entity* owner = Entity::ofMovable(hit.movable);
        if (owner && (owner == ignoreA || owner == ignoreB))
            continue;
        if (!owner)
            return 0;
        if (owner->getFlags() & passMask)
        {
            result = 1;
            continue;
        }
        if (stopAtEntity)
            return 0;
    }
    return result;
}

int EntityManager::checkVisibility(const Entity* ignoreA, const Ogre::Vector3& from, const Entity* target,
                                   bool stopAtEntity, uint32_t passMask, bool reverse)
{
    int result = traceEntities(ignoreA, from, target, target->getPosition(), stopAtEntity, passMask, reverse);
    if (result >= 2 || target->getType() != "human")
        return result;
    const Human* human = static_cast<const Human*>(target);
    result = std::max(
        result, traceEntities(ignoreA, from, target, human->getHeadPoint(), stopAtEntity, passMask, reverse));
    if (result < 2 && !human->isCrouched())
        result = std::max(result, traceEntities(ignoreA, from, target, human->getLowerPoint(), stopAtEntity,
                                                passMask, reverse));
    return result;
}

// Replication

bool EntityManager::isUpdateDue(const Entity* entity, uint16_t pass) const
{
    int motion = entity->getMotionState();
    if (motion <= 0)
        return false;
    if (motion == 1)
        return true;
    unsigned shift = std::min(static_cast<unsigned>(motion - 1), 16u);
    return (static_cast<uint32_t>(pass) & ((1u << shift) - 1)) == 0;
}

void EntityManager::acknowledgeNetworkData(unsigned short node, unsigned short sequence)
{
    // Every message carries whole current state, never changes against an acknowledged one.
}

void EntityManager::writeRun(brix::NetworkEncodeStream& stream, unsigned char id, unsigned char flag,
                             unsigned& runCount, unsigned char& runId, unsigned char& runFlag)
{
    ++runCount;
    if (runCount > 1 && runId == id && runFlag == flag && runCount <= CONTROL_COUNT)
    {
        stream.reverse(RECORD_SIZE);
        stream.encodeUInt8(id);
        stream.encodeUInt8(static_cast<unsigned char>(flag | runCount));
        return;
    }
    runCount = 1;
    runId = id;
    runFlag = flag;
    stream.encodeUInt8(id);
    stream.encodeUInt8(static_cast<unsigned char>(flag | 1));
}

void EntityManager::encodeNetworkData(unsigned short node, brix::NetworkEncodeStream& stream,
                                      unsigned short sequence)
{
    if (!isSyncEnabled() || node == 0)
        return;
    Observer* observer = nullptr;
    for (Observer& record : mObservers)
        if (record.node && record.node == node)
            observer = &record;
    if (!observer || !stream.encodeTest(HEADER_SIZE + RECORD_SIZE))
        return;
    stream.encodeUInt16(mApplicationTick);
    stream.encodeUInt16(observer->cursor);
    stream.encodeUInt16(static_cast<uint16_t>(observer->focus));
    unsigned runCount = 0;
    unsigned char runId = 0;
    unsigned char runFlag = 0;
    // Each slot is described at most once per message.
    for (unsigned described = 0; described < DYNAMIC_ENTITY_COUNT; ++described)
    {
        if (stream.getOffset() + RECORD_SIZE > stream.getBufferSize())
            break;
        unsigned index = observer->cursor;
        Entity* entity = mDynamicEntities[index];
        bool relevant = entity && observer->relevance[index];
        bool full = false;
        if (relevant && isUpdateDue(entity, observer->pass))
        {
            brix::NetworkEncodeStream data(stream, RECORD_SIZE, MAX_RECORD_DATA);
            bool roomForAny = data.getBufferSize() == MAX_RECORD_DATA;
            entity->getStateCodec()->encode(data);
            if (brix::NetworkStateCodec* extra = entity->getExtraStateCodec(node))
                extra->encode(data);
            if (data.getResult() == brix::NetworkStream::BUFFER_OVERFLOW && !roomForAny)
                break; // the packet is full: this entity comes first in the next one
            if (data.getResult() != brix::NetworkStream::SUCCESS || data.getOffset() == 0)
            {
                // State that can never be sent must not hold up the slots behind it.
                brix::Log::error("Entity %d (at index %d) state encoding failed: %s",
                                 static_cast<int>(entity->getDefinitionId()), static_cast<int>(index),
                                 data.getResult() == brix::NetworkStream::SUCCESS ? "Empty state"
                                                                                  : data.getResultText());
            }
            else
            {
                stream.encodeUInt8(static_cast<unsigned char>(entity->getDefinitionId()));
                stream.encodeUInt8(
                    static_cast<unsigned char>(data.getOffset() | CONTROL_RELEVANT | CONTROL_DATA));
                stream.skip(data.getOffset());
                runCount = 0;
                full = true;
            }
        }
        if (!full)
            writeRun(stream, entity ? static_cast<unsigned char>(entity->getDefinitionId()) : 0,
                     relevant ? CONTROL_RELEVANT : 0, runCount, runId, runFlag);
        if (++observer->cursor == DYNAMIC_ENTITY_COUNT)
        {
            observer->cursor = 0;
            ++observer->pass;
        }
    }
}

void EntityManager::decodeNetworkData(unsigned short node, brix::NetworkDecodeStream& stream,
                                      unsigned short sequence)
{
    if (!isSyncEnabled() || node != 0 || !stream.decodeTest(HEADER_SIZE))
        return;
    uint16_t tick = stream.decodeUInt16();
    uint16_t start = stream.decodeUInt16();
    if (start >= DYNAMIC_ENTITY_COUNT)
    {
        brix::Log::error("Invalid update index in entity manager update");
        return;
    }
    mObservers[0].focus = stream.decodeUInt16();
    syncTick(tick);
    rewindTo(tick);

    unsigned index = start;
    unsigned pending = 0;
    unsigned char id = 0;
    bool relevant = false;
    unsigned length = 0;
    while (true)
    {
        if (pending == 0)
        {
            if (stream.getRemaining() < RECORD_SIZE)
                break;
            id = stream.decodeUInt8();
            unsigned char control = stream.decodeUInt8();
            relevant = (control & CONTROL_RELEVANT) != 0;
            if (control & CONTROL_DATA)
            {
                length = control & CONTROL_COUNT;
                pending = 1;
                if (length == 0)
                {
                    brix::Log::error("Unexpected zero entity data size in entity data from server (entity %d "
                                     "at index %d)",
                                     id, static_cast<int>(index));
                    break;
                }
            }
            else
            {
                length = 0;
                pending = control & CONTROL_COUNT;
                if (pending == 0)
                {
                    brix::Log::error("Zero repeat count in entity data from server (entity %d at index %d)",
                                     id, static_cast<int>(index));
                    break;
                }
            }
        }
        Entity* entity = mDynamicEntities[index];
        if (entity && entity->getDefinitionId() != id)
        {
            clearSlot(index);
            entity = nullptr;
        }
        if (id != 0 && !entity)
        {
            auto found = mPrototypeIds.find(id);
            if (found == mPrototypeIds.end())
                brix::Log::error("Entity prototype not found for client entity (id %d at index %d)", id,
                                 static_cast<int>(index));
            else
                entity = placeInstance(mPrototypes[found->second], index);
        }
        if (stream.getRemaining() < length)
        {
            brix::Log::error(
                "Invalid entity data length for client entity (id %d at index %d, data length %d)", id,
                static_cast<int>(index), static_cast<int>(length));
            break;
        }
        if (entity && length && decodeState(*entity, stream, length))
        {
            // First sight: the entity spawns where its state puts it, then takes that state
            // again over what spawning reset (pose, weapon, damage); its triggers play nothing
            // that happened before.
            if (entity->getState() != Entity::ACTIVE)
            {
                // One that ended here first goes whole before it spawns again: spawning over
                // it would leave what it showed in the scene with nothing to take it away.
                if (entity->getState() == Entity::KILLED)
                    entity->remove();
                entity->spawn();
                decodeState(*entity, stream, length);
            }
            entity->setTick(tick);
            if (!entity->isEnabled())
                entity->setEnabled(true);
        }
        stream.skip(length);
        if (entity && !relevant && entity->isEnabled())
            entity->setEnabled(false);
        --pending;
        index = (index + 1) % DYNAMIC_ENTITY_COUNT;
    }
}

bool EntityManager::decodeState(Entity& entity, brix::NetworkDecodeStream& stream, unsigned length)
{
    brix::NetworkDecodeStream data(stream, 0, length);
    entity.getStateCodec()->decode(data);
    if (data.getOffset() < length)
        if (brix::NetworkStateCodec* extra = entity.getExtraStateCodec(0))
            extra->decode(data);
    return data.getResult() == brix::NetworkStream::SUCCESS;
}

void EntityManager::syncTick(uint16_t serverTick)
{
    int16_t difference = static_cast<int16_t>(serverTick - mApplicationTick);
    if (difference > MAX_TICK_DRIFT || difference < -MAX_TICK_DRIFT)
    {
        // The drift counter is left as it stands.
        mApplicationTick = serverTick;
        brix::Log::debug("Snapped tick to %d from server", serverTick);
        return;
    }
    if (difference >= 2)
        mTickDrift = static_cast<int16_t>(std::max<int16_t>(mTickDrift, 0) + 1);
    else if (difference <= -2)
        mTickDrift = static_cast<int16_t>(std::min<int16_t>(mTickDrift, 0) - 1);
    if (mTickDrift > DRIFT_LIMIT || mTickDrift < -DRIFT_LIMIT)
    {
        uint16_t previous = mApplicationTick;
        mApplicationTick = static_cast<uint16_t>(mApplicationTick + (mTickDrift > 0 ? 1 : -1));
        mTickDrift = 0;
        brix::Log::debug("Adjusted tick from %d to %d", previous, mApplicationTick);
    }
}

void EntityManager::rewindTo(uint16_t serverTick)
{
    for (unsigned index = 0; index <= mHighestIndex; ++index)
    {
        Entity* entity = mDynamicEntities[index];
        if (!entity || !entity->isEnabled() || !isTickAfter(entity->getTick(), serverTick))
            continue;
        entity->beginCorrection();
        entity->restoreState(serverTick);
        entity->setTick(serverTick);
    }
    mSimulatedTick = serverTick;
}
} // namespace game
