#include "game/world/weapon.h"
#include "game/world/entity.h"
#include "game/world/weaponslot.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <OgreEntity.h>
#include <OgreMath.h>
#include <OgreMesh.h>
#include <OgreMeshManager.h>
#include <OgreStringConverter.h>
#include <OgreSubEntity.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
Ogre::Vector3 vector(const brix::XMLElement* element, const char* path)
{
    return Ogre::StringConverter::parseVector3(element->getValue(path, ""), Ogre::Vector3::ZERO);
}

Ogre::MeshPtr loadMesh(const brix::XMLElement* element, const char* path)
{
    std::string name = element->getValue(path, "");
    return name.empty() ? Ogre::MeshPtr() : Ogre::MeshManager::getSingleton().load(name, "default");
}

// A value the weapon slot's replicated state cannot carry would desync host and client, so it is
// brought within the field's range, with a line in the log.
template <typename T> T fitState(const std::string& weapon, const char* field, T value, T low, T high)
{
    const T fitted = std::clamp(value, low, high);
    if (fitted != value)
        brix::Log::error("Weapon '%s': %s %g does not fit its replicated state, clamped to %g",
                         weapon.c_str(), field, static_cast<double>(value), static_cast<double>(fitted));
    return fitted;
}

float fitDelay(const std::string& weapon, const char* field, float seconds)
{
    return fitState(weapon, field, seconds, 0.0f, WeaponSlot::MAX_TICKS * Entity::TICK_SECONDS);
}
} // namespace

const Ogre::Vector4 Weapon::GLOW_COLOUR(0.0f, 0.45f, 0.8f, 1.0f);

Weapon::Weapon(EntityManager* manager) : Item(manager) {}

Weapon::~Weapon() {}

void Weapon::load(const brix::XMLElement* element)
{
    Item::load(element);
    if (const brix::XMLElement* flash = element->getChild("flash"))
    {
        mFlashMesh = loadMesh(flash, "mesh");
        mFlashOffset = vector(flash, "offset");
        mFlashColor =
            Ogre::StringConverter::parseColourValue(flash->getValue("color", ""), Ogre::ColourValue::Black);
        mFlashRange = flash->getValueAsFloat("range", 0.0f);
        mFlashRotated = flash->getValueAsBoolean("rotate", false);
    }
    mShootSound = loadSound(element, "shootsound");
    mLoopSound = loadSound(element, "loopsound");
    mReloadSound = loadSound(element, "reloadsound");
    if (const brix::XMLElement* projectile = element->getChild("projectile"))
    {
        mProjectileName = projectile->getValue("name", "");
        mProjectileSpeed = projectile->getValueAsFloat("speed", 0.0f);
        mProjectileOffset = vector(projectile, "offset");
        mProjectileCount = projectile->getValueAsInteger("count", 1);
        mSpread = projectile->getValueAsFloat("spread", 0.0f);
    }
    if (const brix::XMLElement* beam = element->getChild("beam"))
    {
        mBeamOffset = vector(beam, "offset");
        mBeamRange = beam->getValueAsFloat("range", 0.0f);
        mBeamWidth = beam->getValueAsFloat("width", 0.0f);
        mBeamMaterial = beam->getValue("material", "");
        mBeamDamage = beam->getValueAsFloat("damage", 0.0f);
        mBeamSegmentLength = beam->getValueAsFloat("segmentlength", 0.0f);
        mBeamAnimation = beam->getValue("animation", "") == "electric" ? BEAM_ELECTRIC : BEAM_STRAIGHT;
        mBeamAnimationFrequency = beam->getValueAsFloat("animationfrequency", 0.0f);
        mBeamAnimationAmplitude = beam->getValueAsFloat("animationamplitude", 0.0f);
        mBeamParticleSystem = beam->getValue("particlesystem", "");
    }
    mHandleOffset = vector(element, "handleoffset");
    mShootDelay = fitDelay(mName, "shootdelay", element->getValueAsFloat("shootdelay", 0.0f));
    mReloadDelay = fitDelay(mName, "reloaddelay", element->getValueAsFloat("reloaddelay", 0.0f));
    mRecoil = element->getValueAsFloat("recoil", 0.0f);
    mRounds = fitState(mName, "rounds", element->getValueAsInteger("rounds", 0), 0,
                       static_cast<int>(WeaponSlot::MAX_ROUNDS));
    mRoundsPerClip = fitState(mName, "roundsperclip", element->getValueAsInteger("roundsperclip", 0), 0,
                              static_cast<int>(WeaponSlot::MAX_CLIP));
    mTimePerRound = fitDelay(mName, "timeperround", element->getValueAsFloat("timeperround", 0.0f));
    mAimMarkerDistance = element->getValueAsFloat("aimmarkerdistance", 0.0f);
    mHeavy = element->getValueAsBoolean("heavy", false);
    mBarrelLength = element->getValueAsFloat("barrellength", 0.0f);
}

void Weapon::copyDefinition(const Entity* entity)
{
    Item::copyDefinition(entity);
    const Weapon* prototype = static_cast<const Weapon*>(entity);
    mHandleOffset = prototype->mHandleOffset;
    mShootSound = prototype->mShootSound;
    mLoopSound = prototype->mLoopSound;
    mReloadSound = prototype->mReloadSound;
    mShootDelay = prototype->mShootDelay;
    mReloadDelay = prototype->mReloadDelay;
    mRecoil = prototype->mRecoil;
    mProjectileName = prototype->mProjectileName;
    mProjectileOffset = prototype->mProjectileOffset;
    mProjectileSpeed = prototype->mProjectileSpeed;
    mProjectileCount = prototype->mProjectileCount;
    mSpread = prototype->mSpread;
    mFlashMesh = prototype->mFlashMesh;
    mFlashOffset = prototype->mFlashOffset;
    mFlashRange = prototype->mFlashRange;
    mFlashColor = prototype->mFlashColor;
    mFlashRotated = prototype->mFlashRotated;
    mRounds = prototype->mRounds;
    mRoundsPerClip = prototype->mRoundsPerClip;
    mTimePerRound = prototype->mTimePerRound;
    mAimMarkerDistance = prototype->mAimMarkerDistance;
    mHeavy = prototype->mHeavy;
    mBarrelLength = prototype->mBarrelLength;
    mBeamOffset = prototype->mBeamOffset;
    mBeamRange = prototype->mBeamRange;
    mBeamWidth = prototype->mBeamWidth;
    mBeamMaterial = prototype->mBeamMaterial;
    mBeamDamage = prototype->mBeamDamage;
    mBeamSegmentLength = prototype->mBeamSegmentLength;
    mBeamAnimation = prototype->mBeamAnimation;
    mBeamAnimationFrequency = prototype->mBeamAnimationFrequency;
    mBeamAnimationAmplitude = prototype->mBeamAnimationAmplitude;
    mBeamParticleSystem = prototype->mBeamParticleSystem;
}

float Weapon::getGlow(float bobPhase)
{
    return std::max(0.0f, GLOW_STRENGTH * std::sin(2.0f * bobPhase));
}

void Weapon::interpolate(float frameSeconds, float fraction)
{
    Item::interpolate(frameSeconds, fraction);
    if (isAvailable())
        setGlow(getMeshEntity(), GLOW_COLOUR * getGlow(getBobPhase()));
}

void Weapon::setGlow(Ogre::Entity* entity, const Ogre::Vector4& glow)
{
    if (entity && entity->getNumSubEntities() > 0)
        entity->getSubEntity(0)->setCustomParameter(GLOW_PARAMETER, glow);
}
} // namespace game
