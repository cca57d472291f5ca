#include "game/world/weaponslot.h"
#include "engine/core/audiosample.h"
#include "engine/core/movable.h"
#include "engine/core/ogrescene.h"
#include "engine/core/simulator.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "game/world/weapon.h"
#include "game/world/weaponbeam.h"
#include "network/networkstatecodec.h"
#include "toolkit/log.h"

#include <OgreEntity.h>
#include <OgreLight.h>
#include <OgreMath.h>
#include <OgreMesh.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
// The share of the reload after which the reload sound plays.
constexpr float RELOAD_SOUND_SHARE = 0.75f;
// Ticks of a single shot's kick and its step per tick.
constexpr uint32_t KICK_TICKS = 8;
constexpr float KICK_STEP = 0.125f;

// The weapon's turn for an aim: x onto the aim folded to the right, then a half turn about y
// when it points left.
Ogre::Quaternion handOrientationFor(const Ogre::Vector3& aim)
{
    Ogre::Vector3 folded(std::fabs(aim.x), aim.y, 0.0f);
    Ogre::Quaternion orientation =
        folded.isZeroLength() ? Ogre::Quaternion::IDENTITY : Ogre::Vector3::UNIT_X.getRotationTo(folded);
    if (aim.x < 0.0f)
        orientation = Ogre::Quaternion(Ogre::Degree(180.0f), Ogre::Vector3::UNIT_Y) * orientation;
    return orientation;
}
} // namespace

WeaponSlot::WeaponSlot(EntityManager* manager, Human* owner) : mManager(manager), mOwner(owner) {}

WeaponSlot::~WeaponSlot()
{
    detach();
}

uint32_t WeaponSlot::toTicks(float seconds)
{
    return seconds > 0.0f ? static_cast<uint32_t>(std::lround(Entity::toTicks(seconds))) : 0;
}

void WeaponSlot::bindState(brix::NetworkStateCodec& first, brix::NetworkStateCodec& second)
{
    first.bind(&mWeaponId, DEFINITION_BITS);
    second.bind(&mState, STATE_BITS);
    second.bind(&mStateCounter, STATE_COUNTER_BITS);
    second.bind(&mRoundTimer, ROUND_TIMER_BITS);
    second.bind(&mClipRounds, CLIP_BITS);
    second.bind(&mReserveRounds, RESERVE_BITS);
}

void WeaponSlot::spawn(HumanBody* body, uint32_t ownerId)
{
    mBody = body;
    mOwnerId = ownerId;
    mSpawned = true;
    refresh();
}

void WeaponSlot::remove()
{
    detach();
    mBody = nullptr;
    mOwnerId = 0;
    mSpawned = false;
}

void WeaponSlot::refresh()
{
    if (!mSpawned)
        return;
    if (mWeaponId == 0)
    {
        detach();
        return;
    }
    if (mWeapon && mWeapon->getDefinitionId() == mWeaponId)
        return;
    Entity* prototype = mManager->getPrototypeById(mWeaponId);
    if (!prototype || prototype->getType() != "weapon")
    {
        // Only a weapon can be held, whatever a peer sends.
        brix::Log::error("Weapon definition %u is not a weapon; the weapon slot stays empty", mWeaponId);
        mWeaponId = 0;
        detach();
        return;
    }
    attach(static_cast<Weapon*>(prototype));
}

void WeaponSlot::attach(Weapon* weapon)
{
    detach();
    mWeapon = weapon;
    if (Ogre::SceneManager* sceneManager = mManager->getSceneManager())
    {
        brix::OgreScene scene(sceneManager, 0);
        Ogre::SceneNode* root = mManager->getRootSceneNode();
        scene.createSceneNode(mWeaponNode, mWeaponEntity, root,
                              weapon->getMesh() ? weapon->getMesh()->getName() : "");
        // The same mesh as a weapon lying in the world, which glows; in the hand it never does.
        Weapon::setGlow(mWeaponEntity, Ogre::Vector4::ZERO);
        if (Ogre::MeshPtr flash = weapon->getFlashMesh())
        {
            scene.createSceneNode(mFlashNode, mFlashEntity, root, flash->getName());
            mFlashNode->setVisible(false, true);
        }
        if (weapon->getFlashRange() > 0.0f)
        {
            scene.createSceneNode(mFlashLightNode, mFlashLight, mWeaponNode);
            mFlashLightNode->setPosition(weapon->getFlashOffset());
            mFlashLight->setDiffuseColour(weapon->getFlashColor());
            mFlashLight->setSpecularColour(weapon->getFlashColor());
            brix::OgreScene::setLightRange(mFlashLight, weapon->getFlashRange());
            mFlashLight->setVisible(false);
        }
        if (weapon->getBeamRange() > 0.0f)
            mBeamNode = mWeaponNode->createChildSceneNode(weapon->getBeamOffset());
        mWeaponNode->setVisible(false, true);
    }
    if (weapon->getBeamRange() > 0.0f)
    {
        mBeam = new WeaponBeam(mManager->getSceneManager(), mBeamNode, mManager->getParticlePool(),
                               mManager->getSimulator(), weapon->getBeamMaterial(),
                               weapon->getBeamParticleSystem(), weapon->getBeamWidth(),
                               weapon->getBeamSegmentLength());
        mBeam->setRange(weapon->getBeamRange());
        mBeam->setAnimation(static_cast<unsigned>(std::max(0, weapon->getBeamAnimation())),
                            weapon->getBeamAnimationFrequency(), weapon->getBeamAnimationAmplitude());
    }
    mVisible = 0;
    // A definition with fewer rounds than a clip holds fills the clip with what there is.
    int rounds = std::max(0, weapon->getRounds());
    int perClip = std::max(0, weapon->getRoundsPerClip());
    mClipRounds = static_cast<unsigned>(std::min(perClip, rounds));
    mReserveRounds = static_cast<unsigned>(std::max(0, rounds - perClip));
    mState = IDLE;
    mStateCounter = 0;
    mRoundTimer = 0;
    mRoundStarted = false;
    mLastShownState = IDLE;
    mReloadSoundPlayed = 0;
    mFlashIntensity = 0.0f;
}

void WeaponSlot::detach()
{
    stopLoopSound();
    delete mBeam;
    mBeam = nullptr;
    if (Ogre::SceneManager* sceneManager = mManager->getSceneManager())
    {
        brix::OgreScene scene(sceneManager, 0);
        if (mFlashLightNode)
            scene.destroySceneNode(mFlashLightNode, mFlashLight);
        if (mBeamNode)
        {
            sceneManager->destroySceneNode(mBeamNode);
            mBeamNode = nullptr;
        }
        if (mFlashNode)
            scene.destroySceneNode(mFlashNode, mFlashEntity);
        if (mWeaponNode)
            scene.destroySceneNode(mWeaponNode, mWeaponEntity);
    }
    mWeapon = nullptr;
}

Entity* WeaponSlot::getHolder() const
{
    return mOwnerId ? mManager->getEntity(mOwnerId) : nullptr;
}

void WeaponSlot::update(const Ogre::Vector3& handPosition, const Ogre::Vector3& aim)
{
    if (!mWeapon)
        return;
    mHandPosition = handPosition;
    mHandOrientation = handOrientationFor(mAim);
    mAim = aim;
    if (mState != IDLE && mStateCounter > 0)
        --mStateCounter;
    if (mState == FIRING)
    {
        if (mRoundTimer > 0 && --mRoundTimer == 0 && mClipRounds > 0)
        {
            --mClipRounds;
            mRoundTimer = toTicks(mWeapon->getTimePerRound());
            mRoundStarted = true;
            // Each round a continuous weapon spends leaves its barrel, not only the first.
            if (mAuthoritative && !mWeapon->getProjectileName().empty())
                launchProjectiles();
        }
        if (mBeam)
        {
            mBeam->trace(mHandPosition + mHandOrientation * mWeapon->getBeamOffset(), mAim);
            if (mAuthoritative && mRoundStarted)
                damageWithBeam();
        }
        if (static_cast<float>(mStateCounter) <= Entity::toTicks(mWeapon->getShootDelay()) * 0.5f)
            mState = RECOVERING;
    }
    if (mState == RECOVERING)
        mRoundTimer = 0;
    if (mState != IDLE && mStateCounter == 0)
        mState = IDLE;
    mRoundStarted = false;
}

void WeaponSlot::damageWithBeam()
{
    brix::Movable* hit = mBeam->getHitMovable();
    Entity* target = hit ? static_cast<Entity*>(hit->getUserData()) : nullptr;
    if (target)
        target->damage(mWeapon->getBeamDamage(), mBeam->getHitPoint(),
                       mHandOrientation * Ogre::Vector3::UNIT_X, mOwnerId);
}

void WeaponSlot::fire(bool recoil)
{
    if (!mWeapon)
        return;
    if (mState == IDLE)
    {
        bool projectiles = !mWeapon->getProjectileName().empty();
        if (projectiles && mAuthoritative)
            launchProjectiles();
        if (projectiles && recoil)
            if (Entity* holder = getHolder())
                holder->applyImpulse(mHandPosition,
                                     mHandOrientation * Ogre::Vector3::UNIT_X * -mWeapon->getRecoil());
        if (mClipRounds > 0)
        {
            --mClipRounds;
            mRoundTimer = toTicks(mWeapon->getTimePerRound());
            mRoundStarted = true;
        }
        mPreviousHandOrientation = mHandOrientation;
    }
    mState = FIRING;
    mStateCounter = toTicks(mWeapon->getShootDelay());
}

void WeaponSlot::launchProjectiles()
{
    std::string name = mWeapon->getProjectileName();
    if (!mManager->getPrototype(name))
    {
        // A bad definition never ends a tick.
        brix::Log::error("Entity prototype not found ('%s') for weapon '%s'", name.c_str(),
                         mWeapon->getName().c_str());
        return;
    }
    Entity* holder = getHolder();
    Ogre::Vector3 carried = holder ? holder->getLinearVelocity() : Ogre::Vector3::ZERO;
    Ogre::Vector3 base = mAim.randomDeviant(Ogre::Degree(Ogre::Math::UnitRandom() * mSpread));
    for (int i = 0; i < mWeapon->getProjectileCount(); ++i)
    {
        Ogre::Vector3 direction =
            base.randomDeviant(Ogre::Degree(Ogre::Math::UnitRandom() * mWeapon->getSpread()));
        // Null once the dynamic slots are full: the rest of the shot is lost.
        Entity* projectile = mManager->createEntity(name);
        if (!projectile)
            break;
        projectile->setOwnerId(mOwnerId);
        projectile->setPosition(mHandPosition + mHandOrientation * mWeapon->getProjectileOffset());
        projectile->setOrientation(mHandOrientation);
        projectile->setVelocity(direction * mWeapon->getProjectileSpeed() + carried, Ogre::Vector3::ZERO);
        projectile->addRuntimeFlags(PROJECTILE_FLAGS);
        projectile->spawn();
    }
}

bool WeaponSlot::canFire() const
{
    if (!mWeapon || (mClipRounds == 0 && mRoundTimer == 0))
        return false;
    if (mState == IDLE)
        return true;
    return mState == FIRING && mWeapon->getTimePerRound() > 0.0f;
}

bool WeaponSlot::canReload() const
{
    return mWeapon && static_cast<int>(mClipRounds) < mWeapon->getRoundsPerClip() && mReserveRounds > 0 &&
           mState == IDLE;
}

void WeaponSlot::reload()
{
    if (!mWeapon)
        return;
    unsigned missing =
        static_cast<unsigned>(std::max(0, mWeapon->getRoundsPerClip() - static_cast<int>(mClipRounds)));
    unsigned take = std::min(missing, mReserveRounds);
    if (!mInfiniteRounds)
        mReserveRounds -= take;
    mClipRounds += take;
    mState = RELOADING;
    mStateCounter = toTicks(mWeapon->getReloadDelay());
}

float WeaponSlot::getReloadProgress() const
{
    if (!mWeapon || mState != RELOADING)
        return 0.0f;
    uint32_t total = toTicks(mWeapon->getReloadDelay());
    // A reload without a delay is done at once.
    if (total == 0)
        return 1.0f;
    return static_cast<float>(total - std::min(total, mStateCounter)) / static_cast<float>(total);
}

float WeaponSlot::getRecoilKick() const
{
    if (!mWeapon || mState != FIRING || mWeapon->getTimePerRound() > 0.0f || mWeapon->getRecoil() <= 0.0f)
        return 0.0f;
    uint32_t total = toTicks(mWeapon->getShootDelay());
    uint32_t k = total - std::min(total, mStateCounter);
    return k <= KICK_TICKS ? static_cast<float>(k) * KICK_STEP : 0.0f;
}

void WeaponSlot::getRounds(uint32_t& clip, uint32_t& reserve) const
{
    clip = mWeapon ? mClipRounds : 0;
    reserve = mWeapon ? mReserveRounds : 0;
}

void WeaponSlot::setRounds(uint32_t clip, uint32_t reserve)
{
    if (!mWeapon)
        return;
    mClipRounds = clip;
    mReserveRounds = reserve;
}

void WeaponSlot::addRounds(float fraction)
{
    if (!mWeapon)
        return;
    long long full = std::max(0, mWeapon->getRounds());
    long long added = std::max(0LL, static_cast<long long>(static_cast<float>(full) * fraction));
    mReserveRounds = static_cast<unsigned>(std::min(full, static_cast<long long>(mReserveRounds) + added));
}

Ogre::Vector3 WeaponSlot::getMuzzleOffset() const
{
    if (!mWeapon)
        return Ogre::Vector3::ZERO;
    if (!mWeapon->getProjectileName().empty())
        return mHandOrientation * Ogre::Vector3(0.0f, mWeapon->getProjectileOffset().y, 0.0f);
    if (mWeapon->getBeamRange() > 0.0f)
        return mHandOrientation * Ogre::Vector3(0.0f, mWeapon->getBeamOffset().y, 0.0f);
    return Ogre::Vector3::ZERO;
}

float WeaponSlot::getAimMarkerDistance(const Ogre::Vector3& position, const Ogre::Vector3& aim)
{
    return traceFreeDistance(position + getMuzzleOffset(), aim);
}

float WeaponSlot::traceFreeDistance(const Ogre::Vector3& muzzle, const Ogre::Vector3& aim)
{
    float distance = std::max(mWeapon ? mWeapon->getAimMarkerDistance() : 0.0f, MIN_AIM_MARKER_DISTANCE);
    brix::Simulator* simulator = mManager->getSimulator();
    if (!simulator)
        return distance;
    mTraceHits.clear();
    simulator->traceRayAll(muzzle - aim * 0.5f, muzzle + aim * distance, mTraceHits);
    const Entity* holder = getHolder();
    for (const brix::TTraceContact& hit : mTraceHits)
    {
        // The holder's own body never blocks its aim.
        if (holder && hit.movable && hit.movable->getUserData() == holder)
            continue;
        return hit.distance - 0.5f;
    }
    return distance;
}

void WeaponSlot::interpolate(float frameSeconds, const Ogre::Vector3& handPosition,
                             const Ogre::Quaternion& handOrientation)
{
    if (!mWeapon)
        return;
    Ogre::Vector3 weaponPosition = handPosition - handOrientation * mWeapon->getHandleOffset();
    if (mWeaponNode)
    {
        mWeaponNode->setPosition(weaponPosition);
        mWeaponNode->setOrientation(handOrientation);
    }
    if (mState != mLastShownState)
    {
        if (mState == FIRING)
        {
            mFlashIntensity = 1.0f;
            if (mFlashNode)
            {
                mFlashNode->setPosition(weaponPosition + handOrientation * mWeapon->getFlashOffset());
                Ogre::Quaternion orientation = mPreviousHandOrientation;
                if (mWeapon->isFlashRotated())
                    orientation =
                        orientation *
                        Ogre::Quaternion(Ogre::Radian(Ogre::Math::RangeRandom(0.0f, Ogre::Math::TWO_PI)),
                                         Ogre::Vector3::UNIT_X);
                mFlashNode->setOrientation(orientation);
            }
            if (Entity::SamplePtr sound = mWeapon->getShootSound())
                sound->play(handPosition, SHOOT_SOUND_VOLUME, Ogre::Math::RangeRandom(0.95f, 1.05f), false,
                            -1);
        }
        else if (mState == RELOADING)
            mReloadSoundPlayed = 0;
        else if (mState == IDLE)
            stopLoopSound();
        mLastShownState = mState;
    }
    if (mState == FIRING)
    {
        if (mBeam)
            mBeam->update(frameSeconds);
        mFlashIntensity = 1.0f;
        if (Entity::SamplePtr loop = mWeapon->getLoopSound())
        {
            if (mLoopSoundHandle)
                loop->adjust(mLoopSoundHandle, handPosition, 1.0f, 1.0f);
            else
                mLoopSoundHandle = loop->play(handPosition, 1.0f, 1.0f, true, -1);
        }
    }
    if (mState == RELOADING && !mReloadSoundPlayed &&
        static_cast<float>(mStateCounter) < RELOAD_SOUND_SHARE * Entity::toTicks(mWeapon->getReloadDelay()))
    {
        if (Entity::SamplePtr sound = mWeapon->getReloadSound())
            sound->play(handPosition, 1.0f, 1.0f, false, -1);
        mReloadSoundPlayed = 1;
    }
    if (mFlashIntensity <= 0.0f)
    {
        if (mFlashNode)
            mFlashNode->setVisible(false, true);
        if (mFlashLight)
            mFlashLight->setVisible(false);
    }
    else
    {
        float s = Ogre::Math::Clamp(mFlashIntensity * 1.5f, 0.0f, 1.0f);
        if (mFlashNode)
        {
            mFlashNode->setScale(s, s, s);
            mFlashNode->setVisible(true, true);
        }
        if (mFlashLight)
        {
            mFlashLight->setDiffuseColour(mWeapon->getFlashColor() * s);
            mFlashLight->setSpecularColour(mWeapon->getFlashColor() * s);
            mFlashLight->setVisible(true);
        }
        mFlashIntensity = std::max(0.0f, mFlashIntensity - frameSeconds * FLASH_FADE);
    }
    if (mBeam)
        mBeam->setVisible(mState == FIRING);
}

void WeaponSlot::setVisible(bool visible)
{
    mVisible = visible ? 1 : 0;
    if (mWeaponNode)
        mWeaponNode->setVisible(visible, true);
    if (visible)
        return;
    if (mFlashNode)
        mFlashNode->setVisible(false, true);
    if (mFlashLight)
        mFlashLight->setVisible(false);
    if (mBeam)
        mBeam->setVisible(false);
    stopLoopSound();
}

void WeaponSlot::stopLoopSound()
{
    if (mLoopSoundHandle && mWeapon)
        if (Entity::SamplePtr loop = mWeapon->getLoopSound())
            loop->stop(mLoopSoundHandle);
    mLoopSoundHandle = 0;
}
} // namespace game
