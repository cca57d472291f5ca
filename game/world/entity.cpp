#include "game/world/entity.h"
#include "engine/core/animatedlight.h"
#include "engine/core/audiomanager.h"
#include "engine/core/audiosample.h"
#include "engine/core/movable.h"
#include "engine/core/ogrescene.h"
#include "engine/presentation/labelmanager.h"
#include "engine/presentation/ogreparticlepool.h"
#include "game/world/entitymanager.h"
#include "game/world/item.h"
#include "game/world/worldlabel.h"
#include "toolkit/log.h"
#include "toolkit/math.h"
#include "toolkit/xmlelement.h"

#include <OgreException.h>
#include <OgreMath.h>
#include <OgreMesh.h>
#include <OgreSceneNode.h>
#include <OgreStringConverter.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace game
{
namespace
{
struct TAttributeName
{
    const char* name;
    uint32_t bit;
};

const TAttributeName ATTRIBUTE_NAMES[] = {
    {"static", Entity::ATTRIBUTE_STATIC},
    {"decals", Entity::ATTRIBUTE_DECALS},
    {"seethrough", Entity::ATTRIBUTE_SEETHROUGH},
    {"noblockai", Entity::ATTRIBUTE_NOBLOCKAI},
    {"blockdamage", Entity::ATTRIBUTE_BLOCKDAMAGE},
    {"noshadows", Entity::ATTRIBUTE_NOSHADOWS},
    {"immovable", Entity::ATTRIBUTE_IMMOVABLE},
    {"editnomovez", Entity::ATTRIBUTE_EDITNOMOVEZ},
    {"editnorotate", Entity::ATTRIBUTE_EDITNOROTATE},
    {"edithide", Entity::ATTRIBUTE_EDITHIDE},
    {"editrotaterandomx", Entity::ATTRIBUTE_EDITROTATERANDOMX},
    {"editrotaterandomy", Entity::ATTRIBUTE_EDITROTATERANDOMY},
    {"editrotaterandomz", Entity::ATTRIBUTE_EDITROTATERANDOMZ},
};

const char* const LIGHT_ANIMATION_NAMES[] = {"none", "sine", "random", "ramp"};

// Pose quantisation shared by every replicated entity.
constexpr float POSITION_XY_LIMIT = 250.0f;
constexpr unsigned POSITION_XY_BITS = 16;
constexpr float POSITION_Z_LIMIT = 5.0f;
constexpr unsigned POSITION_Z_BITS = 8;

float value(const brix::XMLElement* element, const char* path, float defaultValue)
{
    return element->getValueAsFloat(path, defaultValue);
}

Ogre::Vector3 vector(const brix::XMLElement* element, const char* path)
{
    return Ogre::StringConverter::parseVector3(element->getValue(path, ""), Ogre::Vector3::ZERO);
}

std::vector<std::string> values(const brix::XMLElement* element, const std::string& childName)
{
    std::vector<std::string> result;
    for (const brix::XMLElement* child = element->getChild(childName); child;
         child = element->getNextChild(child, childName))
        result.push_back(child->getValue());
    return result;
}
} // namespace

Entity::Entity(EntityManager* manager) : mManager(manager) {}

Entity::~Entity() {}

void Entity::load(const brix::XMLElement* element)
{
    mName = element->getValue("name", "");
    if (mName.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "Attempt to load an entity without name",
                    "Entity::load");
    int id = element->getValueAsInteger("id", 0);
    // The id travels as one byte: anything else could never be replicated.
    if (id <= 0 || id > static_cast<int>(MAX_DEFINITION_ID))
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS,
                    "Attempt to load an entity '" + mName + "'with bad or missing identifier",
                    "Entity::load");
    mDefinitionId = static_cast<uint32_t>(id);
    if (const brix::XMLElement* attributes = element->getChild("attributes"))
        mFlags = loadAttributes(attributes);
    mCategory = element->getValue("category", "");
    mGridSnapOffset = vector(element, "gridsnapoffset");
    mDefaultDepth = value(element, "defaultdepth", 0.0f);
}

uint32_t Entity::loadAttributes(const brix::XMLElement* element)
{
    uint32_t flags = 0;
    for (const TAttributeName& attribute : ATTRIBUTE_NAMES)
        if (element->getValueAsBoolean(attribute.name, false))
            flags |= attribute.bit;
    uint32_t unsupported = flags & ~mSupportedAttributes;
    if (unsupported)
        brix::Log::error("Unsupported attributes (%08X) for entity '%s'", unsupported, mName.c_str());
    return flags & mSupportedAttributes;
}

void Entity::copyDefinition(const Entity* prototype)
{
    mDefinitionId = prototype->mDefinitionId;
    mName = prototype->mName;
    mFlags = prototype->mFlags;
    mGridSnapOffset = prototype->mGridSnapOffset;
    mDefaultDepth = prototype->mDefaultDepth;
    mMotionState = prototype->mMotionState;
}

void Entity::setId(uint32_t id, bool authoritative)
{
    mId = id;
    mAuthoritative = authoritative ? 1 : 0;
}

Ogre::MeshPtr Entity::getMesh() const
{
    return Ogre::MeshPtr();
}

void Entity::setVelocity(const Ogre::Vector3& linear, const Ogre::Vector3& angular)
{
    mLinearVelocity = linear;
    mAngularVelocity = angular;
}

void Entity::spawn()
{
    mState = ACTIVE;
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    mRenderPosition = mPosition;
    mRenderOrientation = mOrientation;
    mEnabled = 1;
}

void Entity::remove()
{
    mState = INACTIVE;
}

void Entity::kill()
{
    mState = KILLED;
}

void Entity::interpolate(float frameSeconds, float fraction)
{
    if (mErrorWeight > 0.0f)
        mErrorWeight = std::max(0.0f, mErrorWeight - frameSeconds * CORRECTION_FADE);
    mRenderPosition =
        mPreviousPosition * (1.0f - fraction) + mPosition * fraction + mErrorOffset * mErrorWeight;
    mRenderOrientation = Ogre::Quaternion::Slerp(fraction, mPreviousOrientation, mOrientation, true);
}

void Entity::endCorrection()
{
    mErrorOffset = (mPreCorrectionPosition + mErrorOffset * mErrorWeight) - mPosition;
    float length = mErrorOffset.length();
    if (length > MIN_CORRECTION && length < MAX_CORRECTION)
    {
        mErrorWeight = 1.0f;
        return;
    }
    mErrorOffset = Ogre::Vector3::ZERO;
    mErrorWeight = 0.0f;
}

void Entity::encodeSnapshot(StateSnapshot& snapshot)
{
    snapshot.tick = mTick;
    unsigned size = mStateCodec.getSizeBytes();
    mStateCodec.encode(snapshot.data, SNAPSHOT_SIZE);
    if (brix::NetworkStateCodec* extra = getExtraStateCodec(0))
        if (size < SNAPSHOT_SIZE)
            extra->encode(snapshot.data + size, SNAPSHOT_SIZE - size);
}

void Entity::decodeSnapshot(const StateSnapshot& snapshot)
{
    mTick = snapshot.tick;
    unsigned size = mStateCodec.getSizeBytes();
    mStateCodec.decode(snapshot.data, SNAPSHOT_SIZE);
    if (brix::NetworkStateCodec* extra = getExtraStateCodec(0))
        if (size < SNAPSHOT_SIZE)
            extra->decode(snapshot.data + size, SNAPSHOT_SIZE - size);
}

void Entity::saveState()
{
    // The ring drops the oldest by itself once it holds MAX_SNAPSHOTS.
    mSnapshotHead = (mSnapshotHead + MAX_SNAPSHOTS - 1) % MAX_SNAPSHOTS;
    mSnapshotCount = std::min(mSnapshotCount + 1, MAX_SNAPSHOTS);
    encodeSnapshot(mSnapshots[mSnapshotHead]);
}

void Entity::restoreState(uint16_t tick)
{
    while (mSnapshotCount > 1 && EntityManager::isTickAfter(mSnapshots[mSnapshotHead].tick, tick))
    {
        mSnapshotHead = (mSnapshotHead + 1) % MAX_SNAPSHOTS;
        --mSnapshotCount;
    }
    if (mSnapshotCount > 0)
        decodeSnapshot(mSnapshots[mSnapshotHead]);
}

void Entity::loadLight(const brix::XMLElement* element, TLight& light)
{
    light = TLight();
    if (!element)
        return;
    light.offset = vector(element, "offset");
    light.colour =
        Ogre::StringConverter::parseColourValue(element->getValue("color", ""), Ogre::ColourValue::Black);
    light.range = value(element, "range", 0.0f);
    light.angle = value(element, "angle", 0.0f);
    std::string type = element->getValue("animation/type", "");
    light.animationType = -1;
    if (type.empty())
        light.animationType = 0;
    for (int i = 0; i < 4; ++i)
        if (type == LIGHT_ANIMATION_NAMES[i])
            light.animationType = i;
    if (light.animationType < 0)
        OGRE_EXCEPT(Ogre::Exception::ERR_NOT_IMPLEMENTED, "Unsupported light animation type '" + type + "'",
                    "Entity::loadLight");
    light.animationFrequency = value(element, "animation/frequency", 0.0f);
    light.animationAmplitude = value(element, "animation/amplitude", 0.0f);
}

void Entity::loadSounds(const brix::XMLElement* element, const std::string& childName, SoundList& list)
{
    list.clear();
    if (!element)
        return;
    brix::AudioManager* audio = brix::AudioManager::getSingletonPtr();
    for (const std::string& name : values(element, childName))
        if (audio)
        {
            // A sample that cannot be loaded is logged by the audio manager and left out.
            SamplePtr sample = audio->load(name, "default");
            if (sample)
                list.push_back(sample);
        }
}

Entity::SamplePtr Entity::loadSound(const brix::XMLElement* element, const std::string& path)
{
    std::string name = element ? element->getValue(path, "") : std::string();
    if (name.empty() || !brix::AudioManager::getSingletonPtr())
        return SamplePtr();
    return brix::AudioManager::getSingleton().load(name, "default");
}

void Entity::loadImpactSound(const brix::XMLElement* element, TImpactSound& record)
{
    record = TImpactSound();
    if (!element)
        return;
    record.minimumSpeed = value(element, "minimumspeed", 0.0f);
    record.maximumSpeed = value(element, "maximumspeed", 0.0f);
    loadSounds(element, "sound", record.sounds);
    std::string sliding = element->getValue("slidingsound", "");
    if (!sliding.empty() && brix::AudioManager::getSingletonPtr())
        record.slidingSound = brix::AudioManager::getSingleton().load(sliding, "default");
    record.pitchVariation = value(element, "pitchvariation", 0.0f);
}

void Entity::loadSpawner(const brix::XMLElement* element, TSpawner& record)
{
    record = TSpawner();
    if (!element)
        return;
    record.offset = vector(element, "offset");
    record.interval = value(element, "interval", 0.0f);
    record.onlyOne = element->getValueAsBoolean("onlyone", false);
    record.limit = static_cast<unsigned>(std::max(0, element->getValueAsInteger("limit", 0)));
    record.entities = values(element, "entity");
    loadSounds(element, "sound", record.sounds);
}

void Entity::loadItemDrop(const brix::XMLElement* element, TItemDrop& record)
{
    record = TItemDrop();
    if (!element)
        return;
    record.items = values(element, "item");
    record.frequency = value(element, "frequency", 1.0f);
    record.height = value(element, "height", 0.0f);
}

void Entity::loadPeriodicDamage(const brix::XMLElement* element, TPeriodicDamage& record)
{
    record = TPeriodicDamage();
    if (!element)
        return;
    record.range = value(element, "range", 0.0f);
    record.interval = value(element, "interval", 0.0f);
    record.damage = value(element, "damage", 0.0f);
    record.slope = value(element, "slope", 1.0f);
}

void Entity::loadForceDamage(const brix::XMLElement* element, TForceDamage& record)
{
    record = TForceDamage();
    if (!element)
        return;
    record.minimum = value(element, "damageforce", 0.0f);
    record.maximum = value(element, "deathforce", 0.0f);
}

void Entity::loadProximityTrigger(const brix::XMLElement* element, TProximityTrigger& record)
{
    record = TProximityTrigger();
    if (!element)
        return;
    record.delay = value(element, "delay", 0.0f);
    record.range = value(element, "range", 0.0f);
    record.type = element->getValue("type", "");
    record.name = element->getValue("name", "");
}

void Entity::playImpactSound(const TImpactSound& record, float speed) const
{
    if (record.sounds.empty() || speed <= record.minimumSpeed)
        return;
    // A definition without a span between the speeds plays every impact above it at full volume.
    float span = record.maximumSpeed - record.minimumSpeed;
    float volume = span > 0.0f ? (speed - record.minimumSpeed) / span : 1.0f;
    volume = Ogre::Math::Clamp(volume, 0.1f, 1.0f);
    float pitch = Ogre::Math::RangeRandom(1.0f - record.pitchVariation, 1.0f + record.pitchVariation);
    playRandomSound(record.sounds, mRenderPosition, volume, pitch, false, -1);
}

unsigned int Entity::playRandomSound(const SoundList& sounds, const Ogre::Vector3& position, float volume,
                                     float pitch, bool loop, int priority) const
{
    if (sounds.empty())
        return 0;
    const SamplePtr& sample = sounds[brix::Math::random(static_cast<unsigned>(sounds.size()))];
    return sample ? sample->play(position, volume, pitch, loop, priority) : 0;
}

void Entity::updateSpawner(TSpawner& record)
{
    if (record.entities.empty())
        return;
    if (record.lastSpawnedId)
    {
        Entity* last = mManager->getEntity(record.lastSpawnedId);
        if (!last || last->getState() != ACTIVE)
            record.lastSpawnedId = 0;
    }
    if (record.lastSpawnedId)
        return;
    if (record.limit && record.spawnedCount >= record.limit)
        return;
    ++record.timerTicks;
    if (record.timerTicks < toTicks(record.interval))
        return;
    const std::string& name =
        record.entities[brix::Math::random(static_cast<unsigned>(record.entities.size()))];
    Entity* created = createNamedEntity(name, mPosition + record.offset, Ogre::Quaternion::IDENTITY,
                                        Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    if (created)
    {
        playRandomSound(record.sounds, mRenderPosition, 1.0f, 1.0f, false, -1);
        if (record.onlyOne)
            record.lastSpawnedId = created->getId();
    }
    ++record.spawnedCount;
    record.timerTicks = 0;
}

Entity* Entity::dropItem(const TItemDrop& record)
{
    if (record.items.empty() || record.frequency <= 0.0f)
        return nullptr;
    if (Ogre::Math::UnitRandom() > record.frequency)
        return nullptr;
    const std::string& name = record.items[brix::Math::random(static_cast<unsigned>(record.items.size()))];
    Entity* item = createNamedEntity(name, mPosition + Ogre::Vector3(0.0f, record.height, 0.0f),
                                     Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    if (item && (item->getType() == "package" || item->getType() == "weapon"))
        static_cast<Item*>(item)->disableRespawn();
    return item;
}

float Entity::falloff(float distance, float range, float slope)
{
    if (range <= 0.0f)
        return 0.0f;
    return Ogre::Math::Clamp((1.0f - distance / range) * slope, 0.0f, 1.0f);
}

void Entity::applyPeriodicDamage(TPeriodicDamage& record)
{
    if (record.range <= 0.0f)
        return;
    ++record.timerTicks;
    if (record.timerTicks < toTicks(record.interval))
        return;
    record.timerTicks = 0;
    mFoundEntities.clear();
    mManager->findEntities(mFoundEntities, mPosition, record.range, "");
    for (Entity* entity : mFoundEntities)
    {
        if (entity == this)
            continue;
        Ogre::Vector3 offset = entity->getPosition() - mPosition;
        float factor = falloff(Ogre::Vector2(offset.x, offset.y).length(), record.range, record.slope);
        if (factor <= 0.0f)
            continue;
        Ogre::Vector3 direction = offset.normalisedCopy();
        if (record.damage < 0.0f)
            direction = -direction;
        entity->damage(std::fabs(record.damage) * factor, entity->getPosition(), direction, mOwnerId);
    }
}

void Entity::applyForceDamage(TForceDamage& record, float value, float amount)
{
    if (record.minimum <= 0.0f || record.maximum <= 0.0f)
        return;
    if (value > record.maximum)
    {
        damage(amount, mPosition, Ogre::Vector3::ZERO, mId);
        return;
    }
    if (value <= record.minimum)
    {
        record.timerTicks = 0;
        return;
    }
    ++record.timerTicks;
    // The share is dealt every quarter of a second.
    if (record.timerTicks <= toTicks(0.25f))
        return;
    damage((value - record.minimum) * amount / (record.maximum - record.minimum) * 0.25f, mPosition,
           Ogre::Vector3::ZERO, mId);
    record.timerTicks = 0;
}

bool Entity::checkProximityTrigger(const TProximityTrigger& record, unsigned ageTicks) const
{
    if (record.range <= 0.0f || static_cast<float>(ageTicks) < toTicks(record.delay))
        return false;
    mFoundEntities.clear();
    mManager->findEntities(mFoundEntities, mPosition, record.range, record.type);
    for (Entity* entity : mFoundEntities)
        if (record.name.empty() || entity->getName() == record.name)
            return true;
    return false;
}

Entity* Entity::ofMovable(const brix::Movable* movable)
{
    return movable ? ofUserData(movable->getUserData()) : nullptr;
}

void Entity::bindPose(unsigned orientationBits)
{
    mStateCodec.bind(&mPosition.x, -POSITION_XY_LIMIT, POSITION_XY_LIMIT, POSITION_XY_BITS);
    mStateCodec.bind(&mPosition.y, -POSITION_XY_LIMIT, POSITION_XY_LIMIT, POSITION_XY_BITS);
    mStateCodec.bind(&mPosition.z, -POSITION_Z_LIMIT, POSITION_Z_LIMIT, POSITION_Z_BITS);
    mStateCodec.bind(&mOrientation.x, -1.0f, 1.0f, orientationBits);
    mStateCodec.bind(&mOrientation.y, -1.0f, 1.0f, orientationBits);
    mStateCodec.bind(&mOrientation.z, -1.0f, 1.0f, orientationBits);
    mStateCodec.bind(&mOrientation.w, -1.0f, 1.0f, orientationBits);
}

void Entity::holdPose(uint16_t tick)
{
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    mTick = tick;
}

Entity* Entity::createNamedEntity(const std::string& name, const Ogre::Vector3& position,
                                  const Ogre::Quaternion& orientation, const Ogre::Vector3& linearVelocity,
                                  const Ogre::Vector3& angularVelocity)
{
    if (!mManager->getPrototype(name))
    {
        brix::Log::error("Entity prototype not found ('%s') for entity '%s'", name.c_str(), mName.c_str());
        return nullptr;
    }
    return mManager->createEntity(name, position, orientation, linearVelocity, angularVelocity);
}

void Entity::createLight(const TLight& light, Ogre::SceneNode* parent, Ogre::SceneNode*& node,
                         brix::AnimatedLight*& animated) const
{
    if (light.range <= 0.0f || !mManager->getSceneManager())
        return;
    brix::OgreScene scene(mManager->getSceneManager(), 0);
    scene.createSceneNode(node, animated, parent);
    node->setPosition(light.offset);
    animated->setColor(light.colour);
    animated->setRange(light.range);
    animated->setAnimation(static_cast<brix::AnimatedLight::AnimationType>(light.animationType),
                           light.animationFrequency, light.animationAmplitude);
}

void Entity::destroyLight(Ogre::SceneNode*& node, brix::AnimatedLight*& animated) const
{
    if (!node && !animated)
        return;
    brix::OgreScene scene(mManager->getSceneManager(), 0);
    scene.destroySceneNode(node, animated);
}

void Entity::createMeshNode(const Ogre::MeshPtr& mesh, Ogre::SceneNode*& node, Ogre::Entity*& entity) const
{
    Ogre::SceneManager* sceneManager = mManager->getSceneManager();
    if (!sceneManager)
        return;
    brix::OgreScene scene(sceneManager, 0);
    scene.createSceneNode(node, entity, mManager->getRootSceneNode(), mesh ? mesh->getName() : "");
    node->setPosition(mPosition);
    node->setOrientation(mOrientation);
}

void Entity::destroyMeshNode(Ogre::SceneNode*& node, Ogre::Entity*& entity) const
{
    if (!node)
        return;
    brix::OgreScene scene(mManager->getSceneManager(), 0);
    scene.destroySceneNode(node, entity);
}

Ogre::ParticleEmitter* Entity::createEmitter(const std::string& name, const Ogre::Vector3& position) const
{
    if (name.empty() || !mManager->getParticlePool())
        return nullptr;
    return mManager->getParticlePool()->createEmitter(name, position);
}

void Entity::destroyEmitter(Ogre::ParticleEmitter*& emitter) const
{
    if (emitter && mManager->getParticlePool())
        mManager->getParticlePool()->destroyEmitter(emitter);
    emitter = nullptr;
}

WorldLabel* Entity::addWorldLabel(const char* type, const Ogre::Vector3& position) const
{
    brix::LabelManager* labels = mManager->getLabelManager();
    // The application registers these types with factories of WorldLabel subclasses.
    return labels ? static_cast<WorldLabel*>(labels->addLabel(type, position)) : nullptr;
}

void Entity::removeWorldLabel(WorldLabel*& label) const
{
    if (label && mManager->getLabelManager())
        mManager->getLabelManager()->removeLabel(label);
    label = nullptr;
}
} // namespace game
