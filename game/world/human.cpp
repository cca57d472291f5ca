#include "game/world/human.h"
#include "engine/core/audiomanager.h"
#include "engine/core/body.h"
#include "engine/core/movable.h"
#include "engine/core/ogrescene.h"
#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/world/controller.h"
#include "game/world/entitymanager.h"
#include "game/world/eventdispatcher.h"
#include "game/world/humanai.h"
#include "game/world/sentrygun.h"
#include "game/world/humananimation.h"
#include "game/world/humanbody.h"
#include "game/world/manualshadow.h"
#include "game/world/package.h"
#include "game/world/platform.h"
#include "game/world/shadowmanager.h"
#include "game/world/shield.h"
#include "game/world/weapon.h"
#include "game/world/weaponslot.h"
#include "game/world/worldlabel.h"
#include "toolkit/log.h"
#include "toolkit/math.h"
#include "toolkit/xmlelement.h"

#include <OgreEntity.h>
#include <OgreException.h>
#include <OgreMaterialManager.h>
#include <OgreMath.h>
#include <OgreMeshManager.h>
#include <OgreParticleEmitter.h>
#include <OgreSceneNode.h>

#include <algorithm>
#include <cmath>

namespace game
{
namespace
{
constexpr float POSITION_LIMIT = 250.0f;
constexpr float DEPTH_LIMIT = 5.0f;
constexpr float VELOCITY_LIMIT = 10.0f;
constexpr float BLEND_STEP = Entity::TICK_SECONDS;
const char* const SKIN_NAMES[] = {"default", "securityguard", "militaryguard", "supporter"};
const char* const SPEECH_SOUNDS[] = {"targethumansound", "targetothersound", "targetkilledsound",
                                     "targetlostsound"};
const char* const RADIAL_BLOOD = "bloodsplatter/radial";
const char* const DIRECTIONAL_BLOOD = "bloodsplatter/directional";
const char* const EXPLOSION = "humanexplosion";
const char* const BLOODSTAIN = "bloodstain";
const char* const LABEL_TYPE = "character";
const char* const SHIELD = "shield";
const std::string WEAPON_TYPE = "weapon";
const std::string PACKAGE_TYPE = "package";
const std::string PLATFORM_TYPE = "platform";
const std::string SHIELD_TYPE = "shield";
const std::string SENTRY_GUN_TYPE = "sentrygun";
// A sentry gun answers to a human this near.
constexpr float SENTRY_GUN_REACH = 1.2f;
const std::string EXIT_PACKAGE = "exit";
const std::string CHECKPOINT_PACKAGE = "checkpoint";
// A shield is not raised against a wall steeper than this (|normal.x|), nor under a ledge
// lower than this above its spot; on a step it stands this high above the step.
constexpr float SHIELD_WALL_NORMAL = 0.5f;
constexpr float SHIELD_CEILING = -0.2f;
constexpr float SHIELD_STEP_HEIGHT = 0.8f;
// The shield's ground probe reaches this far above and below its spot.
constexpr float SHIELD_PROBE = 1.0f;
// Every layer shows a human's label.
constexpr unsigned ALL_LAYERS = ~0u;
// How far behind a hit the blood reaches, and by how much it strays from the hit's line.
constexpr float BLOODSTAIN_DISTANCE = 2.5f;
constexpr float BLOODSTAIN_SPREAD = 20.0f;

} // namespace

Human::Human(EntityManager* manager) : Entity(manager)
{
    mSupportedAttributes = FIXED_ATTRIBUTES | ATTRIBUTE_EDITHIDE;
    mMotionState = 1;
    mStateCodec.bind(&mPosition.x, -POSITION_LIMIT, POSITION_LIMIT, 16);
    mStateCodec.bind(&mPosition.y, -POSITION_LIMIT, POSITION_LIMIT, 16);
    mStateCodec.bind(&mPosition.z, -DEPTH_LIMIT, DEPTH_LIMIT, 8);
    mStateCodec.bind(&mLinearVelocity.x, -VELOCITY_LIMIT, VELOCITY_LIMIT, 8);
    mStateCodec.bind(&mLinearVelocity.y, -VELOCITY_LIMIT, VELOCITY_LIMIT, 8);
    mStateCodec.bind(&mOnGround);
    mStateCodec.bind(&mFacingRight);
    mStateCodec.bind(&mTurnAngle, -180.0f, 0.0f, 3);
    mStateCodec.bind(&mWalkValue, -1.0f, 1.0f, 4);
    mStateCodec.bind(&mAimAngle, -90.0f, 90.0f, 6);
    mStateCodec.bind(&mSelectedSlot, 1);
    mStateCodec.bind(&mHitHeight, -1.0f, 1.0f, 4);
    mStateCodec.bind(&mHitDirection.x, -1.0f, 1.0f, 3);
    mStateCodec.bind(&mHitDirection.y, -1.0f, 1.0f, 3);
    mStateCodec.bind(&mCrouched);
    mStateCodec.bind(&mFiredLastTick);
    mStateCodec.bind(&mHeavyPose);
    mShotTrigger.bind(mStateCodec);
    mReloadTrigger.bind(mStateCodec);
    mHitTrigger.bind(mStateCodec);

    mExtraCodec.bind(&mDamage, 0.0f, 1.0f, 4);
    mExtraCodec.bind(&mShieldEnergy, 0.0f, MAX_SHIELD_ENERGY, 4);
    mExtraCodec.bind(&mLatchedButtons, 6);
    mExtraCodec.bind(&mJumping);
    mExtraCodec.bind(&mKeyMask, 4);
    mAI.reset(new HumanAI(manager, this));
    for (std::unique_ptr<WeaponSlot>& slot : mSlots)
    {
        slot.reset(new WeaponSlot(manager, this));
        slot->bindState(mStateCodec, mExtraCodec);
    }
}

Human::~Human()
{
    if (mState != INACTIVE)
        remove();
}

void Human::load(const brix::XMLElement* element)
{
    Entity::load(element);
    mFlags |= FIXED_ATTRIBUTES;
    mBodyName = element->getValue("body", "");
    std::string mesh = element->getValue("mesh", "");
    if (!mesh.empty())
        mMesh = Ogre::MeshManager::getSingleton().load(
            mesh, "default", Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY,
            Ogre::HardwareBuffer::HBU_STATIC_WRITE_ONLY, true, true);
    mSkinName = element->getValue("skin", "default");
    mStandHeight = element->getValueAsFloat("standheight", DEFAULT_STAND_HEIGHT);
    mEyeHeight = element->getValueAsFloat("eyeheight", DEFAULT_EYE_HEIGHT);
    mFallDamageSpeed = element->getValueAsFloat("falldamagespeed", 0.0f);
    mFallDeathSpeed = element->getValueAsFloat("falldeathspeed", 0.0f);
    loadForceDamage(element->getChild("crushdamage"), mCrushDamage);
    loadSounds(element, "footstepsound", mFootstepSounds);
    loadSounds(element, "damagesound", mDamageSounds);
    loadSounds(element, "chatsound", mChatSounds);
    mInitialWeapon = element->getValue("weapon", "");
    if (mInitialWeapon.empty())
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "No initial weapon defined for human '" + mName + "'",
                    "Human::load");
    mUnlimitedRounds = element->getValueAsBoolean("unlimitedrounds", false);
    mMisaim = element->getValueAsFloat("misaim", 0.0f);
    mIntegrity = element->getValueAsFloat("integrity", 0.0f);
    mRegeneration = element->getValueAsFloat("regeneration", 0.0f);
    mKillScore = element->getValueAsInteger("killscore", 0);
    const brix::XMLElement* speech = element->getChild("speech");
    for (int i = 0; i < 4; ++i)
        loadSounds(speech, SPEECH_SOUNDS[i], mSpeechSounds[i]);
    mMinimumPitch = speech ? speech->getValueAsFloat("minimumpitch", 1.0f) : 1.0f;
    mMaximumPitch = speech ? speech->getValueAsFloat("maximumpitch", 1.0f) : 1.0f;
    loadItemDrop(element->getChild("items"), mItemDrop);
    mAI->load(element->getChild("ai"));
}

void Human::copyDefinition(const Entity* entity)
{
    Entity::copyDefinition(entity);
    const Human* prototype = static_cast<const Human*>(entity);
    mBodyName = prototype->mBodyName;
    mMesh = prototype->mMesh;
    mSkinName = prototype->mSkinName;
    mStandHeight = prototype->mStandHeight;
    mEyeHeight = prototype->mEyeHeight;
    mFallDamageSpeed = prototype->mFallDamageSpeed;
    mFallDeathSpeed = prototype->mFallDeathSpeed;
    mCrushDamage = prototype->mCrushDamage;
    mFootstepSounds = prototype->mFootstepSounds;
    mDamageSounds = prototype->mDamageSounds;
    mChatSounds = prototype->mChatSounds;
    mInitialWeapon = prototype->mInitialWeapon;
    mUnlimitedRounds = prototype->mUnlimitedRounds;
    mMisaim = prototype->mMisaim;
    mIntegrity = prototype->mIntegrity;
    mRegeneration = prototype->mRegeneration;
    mKillScore = prototype->mKillScore;
    for (int i = 0; i < 4; ++i)
        mSpeechSounds[i] = prototype->mSpeechSounds[i];
    mMinimumPitch = prototype->mMinimumPitch;
    mMaximumPitch = prototype->mMaximumPitch;
    mItemDrop = prototype->mItemDrop;
    mAI->copyParameters(*prototype->mAI);
}

void Human::setSkin(int skin)
{
    mSkinName = SKIN_NAMES[skin >= 1 && skin <= 3 ? skin : 0];
    applySkin();
}

void Human::setDisplayName(const std::string& name)
{
    mDisplayName = name;
    if (mLabel)
        mLabel->setText(name);
}

void Human::setId(uint32_t id, bool authoritative)
{
    Entity::setId(id, authoritative);
    for (std::unique_ptr<WeaponSlot>& slot : mSlots)
        slot->setAuthoritative(authoritative);
}

void Human::applySkin()
{
    // A skin missing from the content keeps the mesh's own material. The skins are looked
    // for in every group: the content's are not in OGRE's default one.
    const std::string& group = Ogre::ResourceGroupManager::AUTODETECT_RESOURCE_GROUP_NAME;
    std::string material = "skin" + mSkinName;
    if (mMeshEntity && Ogre::MaterialManager::getSingleton().resourceExists(material, group))
        mMeshEntity->setMaterialName(material, group);
}

void Human::spawn()
{
    Entity::spawn();
    brix::Simulator* simulator = mManager->getSimulator();
    // A human without a body (tools, bare test definitions) stands where it is put. The body
    // starts in the state a client was sent; the human reads it back after the next tick.
    if (simulator && !mBodyName.empty())
    {
        mBody.reset(new HumanBody(simulator, this, mBodyName, mStandHeight));
        mBody->place(mPosition, mLinearVelocity, mJumping, mCrouched, mOnGround);
    }
    if (mManager->getSceneManager() && mMesh)
    {
        brix::OgreScene scene(mManager->getSceneManager(), 0);
        scene.createSceneNode(mNode, mMeshEntity, mManager->getRootSceneNode(), mMesh->getName());
        mNode->setPosition(mPosition);
        mNode->setOrientation(mOrientation);
        applySkin();
        mAnimation.reset(new HumanAnimation(mMeshEntity));
    }
    mRadialBlood = createEmitter(RADIAL_BLOOD, mPosition);
    mDirectionalBlood = createEmitter(DIRECTIONAL_BLOOD, mPosition);
    for (Ogre::ParticleEmitter* emitter : {mRadialBlood, mDirectionalBlood})
        if (emitter)
            emitter->setEnabled(false);
    for (std::unique_ptr<WeaponSlot>& slot : mSlots)
    {
        slot->spawn(mBody.get(), mId);
        slot->setInfiniteRounds(mUnlimitedRounds);
        slot->setSpread(mMisaim);
    }
    if (isAuthoritative())
        giveInitialWeapon();
    mLabel = addWorldLabel(LABEL_TYPE, mPosition);
    if (mLabel)
    {
        mLabel->setText(mDisplayName);
        mLabel->setLayerFlags(mEnabled ? ALL_LAYERS : 0);
    }
    if (mManager->getShadowManager())
        mShadow = mManager->getShadowManager()->createManualShadow();
    mShotTrigger.reset();
    mReloadTrigger.reset();
    mHitTrigger.reset();
    mSpeechPitch = mMinimumPitch + Ogre::Math::UnitRandom() * (mMaximumPitch - mMinimumPitch);
    mShadowPoint = mPreviousShadowPoint = mPosition;
    mTurnAngle = 0.0f;
    mAimAngle = 0.0f;
    mWalkValue = 0.0f;
    mOnGround = false;
    mJumping = false;
    mCrouched = false;
    mSelectedSlot = 0;
    mFiredLastTick = false;
    mHeavyPose = false;
    mKeyMask = 0;
    mDamage = 0.0f;
    mShieldEnergy = 0.0f;
    mWalkBlend = 0.0f;
    mCriticalBlend = 0.0f;
    mStridePhase = 0.25f;
    mLatchedButtons = 0;
    mRecoil = Ogre::Vector3::ZERO;
    mAI->reset();
    mShieldId = 0;
}

void Human::giveInitialWeapon()
{
    // A new life starts with the initial weapon alone; the definition names it, checked here
    // because weapons may be defined after the humans that carry them.
    Entity* prototype = mManager->getPrototype(mInitialWeapon);
    if (!prototype || prototype->getType() != WEAPON_TYPE)
        brix::Log::error("Initial weapon '%s' of human '%s' is not a weapon", mInitialWeapon.c_str(),
                         mName.c_str());
    equipSlot(0, prototype && prototype->getType() == WEAPON_TYPE ? prototype->getDefinitionId() : 0);
    equipSlot(1, 0);
}

void Human::equipSlot(unsigned slot, uint32_t weaponId)
{
    mSlots[slot]->setWeaponId(weaponId);
    mSlots[slot]->refresh();
}

void Human::remove()
{
    Entity::remove();
    lowerShield(true);
    if (mSpeechSound && brix::AudioManager::getSingletonPtr())
        brix::AudioManager::getSingleton().stop(mSpeechSound);
    mSpeechSound = 0;
    mController = nullptr;
    for (std::unique_ptr<WeaponSlot>& slot : mSlots)
        slot->remove();
    removeWorldLabel(mLabel);
    if (mShadow && mManager->getShadowManager())
        mManager->getShadowManager()->removeShadow(mShadow);
    mShadow = nullptr;
    destroyEmitter(mRadialBlood);
    destroyEmitter(mDirectionalBlood);
    mAnimation.reset();
    if (mNode)
    {
        brix::OgreScene scene(mManager->getSceneManager(), 0);
        scene.destroySceneNode(mNode, mMeshEntity);
    }
    mBody.reset();
}

void Human::kill()
{
    Entity::kill();
    if (mBody)
        mBody->setEnabled(false);
}

float Human::getHealth() const
{
    // Killed by other means than damage (out of the level, by the manager) is dead all the same.
    return mIntegrity > 0.0f && mState == ACTIVE ? 1.0f - mDamage : 0.0f;
}

bool Human::isHealthCritical() const
{
    float health = getHealth();
    return health > 0.0f && health < CRITICAL_HEALTH;
}

Ogre::Vector2 Human::getAimOrigin() const
{
    float height = mAnimation ? mAnimation->getAimOriginHeight() : DEFAULT_AIM_ORIGIN_HEIGHT;
    return Ogre::Vector2(mPosition.x, mPosition.y + height);
}

Ogre::Vector3 Human::getFeetPosition() const
{
    float depth = mBody ? mBody->getCrouchingFootDepth() : mStandHeight;
    return mPosition - Ogre::Vector3(0.0f, depth, 0.0f);
}

Ogre::Vector3 Human::getHeadPoint() const
{
    return mPosition + Ogre::Vector3(0.0f, mStandHeight, 0.0f);
}

Ogre::Vector3 Human::getLowerPoint() const
{
    return mPosition - Ogre::Vector3(0.0f, mStandHeight, 0.0f);
}

Weapon* Human::getWeapon(unsigned slot, uint32_t& clip, uint32_t& reserve) const
{
    const WeaponSlot& weaponSlot = getWeaponSlot(slot);
    weaponSlot.getRounds(clip, reserve);
    return weaponSlot.getWeapon();
}

bool Human::isReloading() const
{
    return mSlots[mSelectedSlot]->isReloading();
}

bool Human::drainShieldEnergy(float amount)
{
    mShieldEnergy = std::max(0.0f, mShieldEnergy - amount);
    return mShieldEnergy > 0.0f;
}

void Human::applyCheats(bool invulnerable, bool equip)
{
    if (invulnerable)
    {
        mInvulnerable = true;
        mDamage = 0.0f;
    }
    if (equip)
    {
        mShieldEnergy = MAX_SHIELD_ENERGY;
        mKeyMask = 0xFFFFFFFFu;
        std::vector<std::string> weapons;
        mManager->getPrototypeNames(WEAPON_TYPE, weapons, true);
        for (std::unique_ptr<WeaponSlot>& slot : mSlots)
        {
            if (!slot->getWeapon() && !weapons.empty())
            {
                Entity* prototype = mManager->getPrototype(
                    weapons[brix::Math::random(static_cast<unsigned>(weapons.size()))]);
                slot->setWeaponId(prototype->getDefinitionId());
                slot->refresh();
            }
            slot->addRounds(1.0f);
        }
    }
}

void Human::showChatMessage(const std::string& text)
{
    if (mLabel)
        mLabel->setSpeech(text, CHAT_SECONDS);
    if (mEnabled && !mChatSounds.empty())
        playRandomSound(mChatSounds, mRenderPosition, 1.0f, 1.0f, false, SOUND_PRIORITY);
}

void Human::respawn(const Ogre::Vector3& position, bool keepEquipment)
{
    Controller* controller = mController;
    unsigned int keyMask = mKeyMask;
    float shieldEnergy = mShieldEnergy;
    unsigned selected = mSelectedSlot;
    uint32_t weapons[SLOT_COUNT], clips[SLOT_COUNT], reserves[SLOT_COUNT];
    for (unsigned i = 0; i < SLOT_COUNT; ++i)
    {
        weapons[i] = mSlots[i]->getWeapon() ? mSlots[i]->getWeaponId() : 0;
        mSlots[i]->getRounds(clips[i], reserves[i]);
    }
    remove();
    // A new life starts upright and still.
    mOnGround = false;
    mJumping = false;
    mCrouched = false;
    mPosition = position;
    mOrientation = Ogre::Quaternion::IDENTITY;
    mLinearVelocity = Ogre::Vector3::ZERO;
    mAngularVelocity = Ogre::Vector3::ZERO;
    spawn();
    mController = controller;
    mKeyMask = keyMask;
    if (!keepEquipment)
        return;
    mShieldEnergy = shieldEnergy;
    for (unsigned i = 0; i < SLOT_COUNT; ++i)
    {
        equipSlot(i, weapons[i]);
        mSlots[i]->setRounds(clips[i], reserves[i]);
    }
    mSelectedSlot = selected;
}

// Tick

void Human::update(uint16_t tick, bool newTick)
{
    mRecoil = Ogre::Vector3::ZERO;
    if (mBody)
        mBody->setEnabled(true);
    if (mController)
        applyInput(tick);
    else if (isAuthoritative() && mAI->isLoaded())
        applyAI();
    updateAim();
    brix::Math::adjustBlendFactor(mCriticalBlend, isHealthCritical(), 0.5f, 4.0f, BLEND_STEP);
    if (mBody)
    {
        updatePassing();
        mBody->setPlayerControlled(mController != nullptr);
        mBody->setWalk(mWalkValue);
        mBody->tick(tick);
    }
    if (isAuthoritative())
    {
        if (mPlayer)
            pickUpPackages();
        // The shield keeps its place before its owner as the owner moves.
        if (Shield* shield = getDeployedShield())
            shield->getController().setTarget(mPosition + mShieldOffset);
    }
    if (mRegeneration > 0.0f && mIntegrity > 0.0f && mDamage > 1.0f - REGENERATION_HEALTH)
        mDamage = std::max(0.0f, mDamage - mRegeneration * TICK_SECONDS / mIntegrity);
}

void Human::applyInput(uint16_t tick)
{
    Controller::TInput input;
    if (!mController->getInput(tick, input))
        brix::Log::debug("No input available for human %d (tick %d)", static_cast<int>(mId),
                         static_cast<int>(tick));
    // A client predicts from the input the server will have, not from the raw device values.
    if (!isAuthoritative())
        input = Controller::asSent(input);
    mFacingRight = input.aimX > 0.0f;
    mAimAngle = Ogre::Math::ATan2(input.aimY, std::fabs(input.aimX)).valueDegrees();
    float walk = input.move;
    if ((walk > 0.0f) != mFacingRight && walk != 0.0f)
        walk *= 0.75f;
    walk *= 1.0f - 0.4f * mCriticalBlend;
    if (mCrouched)
        walk *= 0.1f;
    mWalkValue = walk;
    handleButtons(input.buttons);
    if (!isAuthoritative())
    {
        mController->getLatestInput(input);
        input = Controller::asSent(input);
        mFacingRight = input.aimX > 0.0f;
        mAimAngle = Ogre::Math::ATan2(input.aimY, std::fabs(input.aimX)).valueDegrees();
    }
}

void Human::applyAI()
{
    mAI->update();
    Ogre::Vector2 aim = mAI->getAimDirection();
    mFacingRight = aim.x > 0.0f;
    mAimAngle = Ogre::Math::ATan2(aim.y, std::fabs(aim.x)).valueDegrees();
    mWalkValue = mAI->getMoveDirection().x;
    handleButtons((mAI->isFiring() ? Controller::BUTTON_SHOOT : 0u) |
                  (mAI->isSecondaryAction() ? Controller::BUTTON_RELOAD : 0u));
}

void Human::handleButtons(unsigned int buttons)
{
    mLatchedButtons &= buttons;
    unsigned int pressed = buttons & ~mLatchedButtons;
    handleWeaponButtons(buttons, pressed);
    if (mBody)
    {
        bool jump = false;
        if (pressed & Controller::BUTTON_JUMP)
        {
            mLatchedButtons |= Controller::BUTTON_JUMP;
            jump = mOnGround;
        }
        mBody->setJumpInput(jump);
        bool crouch = (buttons & Controller::BUTTON_CROUCH) != 0;
        // Crouching starts only on the ground; once down it holds in the air too.
        mBody->setCrouchInput(crouch && (mOnGround || mCrouched));
    }
    if (pressed & Controller::BUTTON_INTERACT)
    {
        interact();
        mLatchedButtons |= Controller::BUTTON_INTERACT;
    }
    if (pressed & Controller::BUTTON_SHIELD)
    {
        if (isAuthoritative())
            toggleShield();
        mLatchedButtons |= Controller::BUTTON_SHIELD;
    }
}

void Human::handleWeaponButtons(unsigned int buttons, unsigned int pressed)
{
    WeaponSlot& selected = *mSlots[mSelectedSlot];
    uint32_t clip, reserve;
    selected.getRounds(clip, reserve);
    // One of switching, reloading and a new shot's reload a tick, in that order.
    if ((pressed & Controller::BUTTON_SWITCH) && selected.isIdle())
    {
        switchWeapon();
        mLatchedButtons |= Controller::BUTTON_SWITCH;
    }
    else if ((pressed & Controller::BUTTON_RELOAD) && selected.canReload())
    {
        // Like a switch, a reload press waits while the weapon is busy and latches only once it
        // acts: a press made during the last shot's delay is not lost.
        selected.reload();
        mReloadTrigger.trigger();
        mLatchedButtons |= Controller::BUTTON_RELOAD;
    }
    else if (pressed & Controller::BUTTON_SHOOT)
    {
        if (clip == 0 && selected.canReload())
        {
            selected.reload();
            mReloadTrigger.trigger();
        }
        mLatchedButtons |= Controller::BUTTON_SHOOT;
    }
    WeaponSlot& slot = *mSlots[mSelectedSlot];
    if (!(buttons & Controller::BUTTON_SHOOT) || !slot.canFire() || mAimBlockedBlend != 0.0f)
    {
        mFiredLastTick = false;
        return;
    }
    slot.fire(!mOnGround);
    // Only the first shot after a pause is heard and kicks.
    if (!mFiredLastTick)
    {
        EventDispatcher* events = mManager->getEventDispatcher();
        if (events && isAuthoritative())
            events->post(EventDispatcher::Noise, static_cast<int>(mId), 0, "");
        mRecoil = -slot.getWeapon()->getRecoil() * mAimDirection;
    }
    mShotTrigger.trigger();
    mFiredLastTick = true;
}

void Human::switchWeapon()
{
    for (unsigned step = 1; step < SLOT_COUNT; ++step)
    {
        unsigned next = (mSelectedSlot + step) % SLOT_COUNT;
        if (mSlots[next]->getWeapon())
        {
            mSelectedSlot = next;
            return;
        }
    }
}

void Human::interact()
{
    Entity* nearest = nullptr;
    float nearestDistance = 0.0f;
    for (const std::string* type : {&WEAPON_TYPE, &PACKAGE_TYPE})
    {
        mFoundEntities.clear();
        mManager->findEntities(mFoundEntities, mPosition, PICKUP_DISTANCE, *type);
        for (Entity* entity : mFoundEntities)
        {
            const Item* item = static_cast<const Item*>(entity);
            if (!item->isAvailable() || item->isAutoPickup())
                continue;
            float distance = entity->getPosition().squaredDistance(mPosition);
            if (!nearest || distance < nearestDistance)
            {
                nearest = entity;
                nearestDistance = distance;
            }
        }
    }
    mFoundEntities.clear();
    mManager->findEntities(mFoundEntities, mPosition, SENTRY_GUN_REACH, SENTRY_GUN_TYPE);
    for (Entity* gun : mFoundEntities)
    {
        float distance = gun->getPosition().squaredDistance(mPosition);
        if (!nearest || distance < nearestDistance)
        {
            nearest = gun;
            nearestDistance = distance;
        }
    }
    if (nearest)
    {
        if (!isAuthoritative())
            return;
        if (nearest->getType() == SENTRY_GUN_TYPE)
        {
            SentryGun* gun = static_cast<SentryGun*>(nearest);
            gun->setArmed(!gun->isArmed());
        }
        else if (nearest->getType() == WEAPON_TYPE)
            pickUpWeapon(static_cast<Weapon*>(nearest));
        else
            applyPackage(static_cast<Package*>(nearest));
        return;
    }
    // Nothing to take: a platform with a stop here comes or turns.
    mFoundEntities.clear();
    mManager->findEntities(mFoundEntities, mPosition, 0.0f, PLATFORM_TYPE);
    for (Entity* platform : mFoundEntities)
        if (static_cast<Platform*>(platform)->call(mPosition))
            break;
}

void Human::pickUpWeapon(Weapon* weapon)
{
    uint32_t id = weapon->getDefinitionId();
    for (std::unique_ptr<WeaponSlot>& slot : mSlots)
    {
        if (slot->getWeapon() && slot->getWeaponId() == id)
        {
            slot->addRounds(1.0f);
            weapon->pickUp();
            return;
        }
    }
    unsigned target = mSelectedSlot;
    for (unsigned i = 0; i < SLOT_COUNT; ++i)
    {
        if (!mSlots[i]->getWeapon())
        {
            target = i;
            break;
        }
    }
    equipSlot(target, id);
    mSelectedSlot = target;
    weapon->pickUp();
}

void Human::applyPackage(Package* package)
{
    if (!isAuthoritative())
        return;
    EventDispatcher* events = mManager->getEventDispatcher();
    auto post = [&](unsigned id)
    {
        if (events)
            events->post(id, static_cast<int>(mId), static_cast<int>(package->getId()), "");
    };
    if (package->getHealth() > 0.0f)
    {
        mDamage = std::max(0.0f, mDamage - package->getHealth());
        post(EventDispatcher::HealthPickedUp);
    }
    if (package->getRounds() > 0.0f)
    {
        for (std::unique_ptr<WeaponSlot>& slot : mSlots)
            slot->addRounds(package->getRounds());
        post(EventDispatcher::AmmunitionPickedUp);
    }
    if (package->getVials() > 0)
        post(EventDispatcher::VialsPickedUp);
    if (package->getKeyMask() != 0)
    {
        mKeyMask |= static_cast<unsigned>(package->getKeyMask());
        post(EventDispatcher::KeyPickedUp);
    }
    if (package->getShieldEnergy() != 0.0f)
    {
        mShieldEnergy =
            Ogre::Math::Clamp(mShieldEnergy + package->getShieldEnergy(), 0.0f, MAX_SHIELD_ENERGY);
        post(EventDispatcher::ShieldEnergyPickedUp);
    }
    if (package->getName() == EXIT_PACKAGE)
        post(EventDispatcher::ExitReached);
    else if (package->getName() == CHECKPOINT_PACKAGE)
        post(EventDispatcher::CheckpointReached);
    package->pickUp();
}

void Human::pickUpPackages()
{
    mFoundEntities.clear();
    mManager->findEntities(mFoundEntities, mPosition, PICKUP_DISTANCE, PACKAGE_TYPE);
    for (Entity* entity : mFoundEntities)
    {
        Package* package = static_cast<Package*>(entity);
        if (package->isAvailable() && package->isAutoPickup())
            applyPackage(package);
    }
}

Shield* Human::getDeployedShield() const
{
    Entity* entity = mShieldId ? mManager->getEntity(mShieldId) : nullptr;
    if (!entity || entity->getType() != SHIELD_TYPE || entity->getState() != ACTIVE)
        return nullptr;
    return static_cast<Shield*>(entity);
}

void Human::toggleShield()
{
    if (getDeployedShield())
        lowerShield(false);
    else if (mShieldEnergy > 0.0f)
        deployShield();
}

void Human::lowerShield(bool kill)
{
    Shield* shield = getDeployedShield();
    if (shield)
    {
        shield->setPowered(false);
        if (kill)
            shield->kill();
    }
    // A lowered shield stays this human's while it fades, so a press meanwhile raises no second
    // one; it is forgotten once it is gone.
    if (kill || !shield)
        mShieldId = 0;
}

Ogre::Vector3 Human::getShieldSpot() const
{
    float ground = mPosition.y - (mBody ? mBody->getHeightAboveGround() : mStandHeight);
    return Ogre::Vector3(mPosition.x + getFacing() * SHIELD_AHEAD, ground + SHIELD_HEIGHT, mPosition.z);
}

void Human::deployShield()
{
    Ogre::Vector3 spot = getShieldSpot();
    brix::Simulator* simulator = mManager->getSimulator();
    if (simulator)
    {
        const brix::Movable* own = mBody ? mBody->getActiveBody() : nullptr;
        brix::TTraceContact contact;
        // No shield into a wall.
        if (simulator->traceRay(Ogre::Vector3(mPosition.x, spot.y, 0.0f), spot, &contact, own) &&
            std::fabs(contact.normal.x) > SHIELD_WALL_NORMAL)
            return;
        const Ogre::Vector3 probe(0.0f, SHIELD_PROBE, 0.0f);
        if (simulator->traceRay(spot + probe, spot - probe, &contact, own))
        {
            float d = spot.y - contact.position.y;
            if (d < SHIELD_CEILING)
                return;
            if (d < SHIELD_HEIGHT)
                spot.y += SHIELD_STEP_HEIGHT - d;
        }
    }
    Entity* entity =
        createNamedEntity(SHIELD, spot, Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
    if (!entity || entity->getType() != SHIELD_TYPE)
        return;
    static_cast<Shield*>(entity)->setOwner(this);
    mShieldId = entity->getId();
    mShieldOffset = spot - mPosition;
}

void Human::updatePassing()
{
    mFoundEntities.clear();
    mManager->findEntities(mFoundEntities, mPosition, PASSING_DISTANCE, "human");
    bool near = false;
    bool ahead = false;
    for (const Entity* other : mFoundEntities)
    {
        if (other == this || other->getHealth() <= 0.0f)
            continue;
        float dx = other->getPosition().x - mPosition.x;
        if (std::fabs(dx) >= PASSING_DISTANCE)
            continue;
        near = true;
        if ((mWalkValue > 0.0f && dx > 0.0f) || (mWalkValue < 0.0f && dx < 0.0f))
            ahead = true;
    }
    if (ahead)
        mBody->setDepthTarget(mWalkValue > 0.0f ? PASSING_DEPTH : -PASSING_DEPTH);
    else if (mWalkValue != 0.0f || !near)
        mBody->setDepthTarget(0.0f);
}

void Human::updateAim()
{
    if (mAnimation)
    {
        mAimDirection = mAnimation->getAimDirection(mAimAngle);
        mAimOriginOffset = mAnimation->getAimOriginOffset(mAimAngle);
        mAimOriginOffset.z = 0.0f;
    }
    else
    {
        // Without a scene (a server with no window) the aim runs straight from the origin.
        float radians = Ogre::Degree(mAimAngle).valueRadians();
        mAimDirection = Ogre::Vector3(std::cos(radians), std::sin(radians), 0.0f);
        mAimOriginOffset = Ogre::Vector3(0.0f, DEFAULT_AIM_ORIGIN_HEIGHT, 0.0f);
    }
    if (!mFacingRight)
    {
        mAimDirection.x = -mAimDirection.x;
        mAimOriginOffset.x = -mAimOriginOffset.x;
    }
}

void Human::postUpdate(uint16_t tick, bool newTick)
{
    mPreviousPosition = mPosition;
    mPreviousOrientation = mOrientation;
    mPreviousShadowPoint = mShadowPoint;
    bool wasOnGround = mOnGround;
    if (mBody)
    {
        mBody->sense();
        mPosition = mBody->getPosition();
        mLinearVelocity = mBody->getVelocity();
        mOnGround = mBody->isOnGround();
        mCrouched = mBody->isCrouched();
        mJumping = mBody->isJumping();
        if (mBody->hasShadowAnchor())
            mShadowPoint = mBody->getShadowAnchorPoint();
    }
    if (isAuthoritative() && mState == ACTIVE)
        applyEnvironmentDamage(wasOnGround);
    float target = mFacingRight ? 0.0f : -180.0f;
    mTurnAngle += (target - mTurnAngle) * 0.5f;
    mOrientation = Ogre::Quaternion(Ogre::Degree(mTurnAngle), Ogre::Vector3::UNIT_Y);
    if (isAuthoritative() || mController || newTick)
        updateWeapons();
    if (newTick)
        updateBlends();
    if (isAuthoritative() || mController || newTick)
        updateAnimation();
    if (isAuthoritative() && mShieldId && !getDeployedShield())
        mShieldId = 0;
    mTick = tick;
}

void Human::applyEnvironmentDamage(bool wasOnGround)
{
    if (!mBody)
        return;
    // The hover spring needs a few ticks to stop a fast fall, and each of them senses the
    // approach; only the first, the touch-down, counts.
    float impact = mBody->getImpactSpeed();
    if (!wasOnGround && mFallDamageSpeed > 0.0f && mFallDeathSpeed > 0.0f && impact > mFallDamageSpeed)
    {
        // A death speed at or below the damage speed makes every hurting landing deadly.
        float span = mFallDeathSpeed - mFallDamageSpeed;
        float share = span > 0.0f ? std::min(1.0f, (impact - mFallDamageSpeed) / span) : 1.0f;
        float amount = mIntegrity * share;
        if (amount > MIN_FALL_DAMAGE)
            damage(amount, mPosition - Ogre::Vector3(0.0f, 0.4f, 0.0f), Ogre::Vector3::ZERO, mId);
    }
    if (mState == ACTIVE)
        applyForceDamage(mCrushDamage, mBody->getSensorValue(), mIntegrity);
    if (mState == ACTIVE && mManager->getLevel())
    {
        const Ogre::AxisAlignedBox& box = mManager->getLevel()->getBoundingBox();
        if (!box.isNull() && !box.intersects(mPosition))
            damage(mIntegrity, mPosition, Ogre::Vector3::ZERO, mId);
    }
}

void Human::updateWeapons()
{
    Ogre::Vector3 hand = mPosition + mAimOriginOffset;
    for (std::unique_ptr<WeaponSlot>& slot : mSlots)
        slot->update(hand, mAimDirection);
    measureAimClearance();
}

Ogre::Vector3 Human::getMuzzlePoint(bool heavy) const
{
    if (!mAnimation)
        return mPosition + mAimOriginOffset;
    Ogre::Vector3 offset = mAnimation->getMuzzleOffset(mAimAngle, heavy);
    if (!mFacingRight)
        offset.x = -offset.x;
    offset.z = 0.0f;
    return mPosition + offset;
}

void Human::measureAimClearance()
{
    WeaponSlot& slot = *mSlots[mSelectedSlot];
    const Weapon* weapon = slot.getWeapon();
    float light = slot.traceFreeDistance(getMuzzlePoint(false), mAimDirection);
    if (!weapon || !weapon->isHeavy())
    {
        mHeavyPose = false;
        mFreeAimDistance = light;
        return;
    }
    float heavy = slot.traceFreeDistance(getMuzzlePoint(true), mAimDirection);
    // Shouldered with room ahead; lowered only where the light pose fits better.
    if (heavy >= HEAVY_POSE_DISTANCE)
        mHeavyPose = true;
    else if (heavy < HEAVY_POSE_LOWER_DISTANCE && heavy < light && weapon->getBarrelLength() < light)
        mHeavyPose = false;
    mFreeAimDistance = mHeavyPose ? heavy : light;
}

void Human::updateBlends()
{
    if (mOnGround)
        brix::Math::adjustBlendFactor(mWalkBlend, std::fabs(mWalkValue) > 0.1f, 0.2f, 0.25f, BLEND_STEP);
    brix::Math::adjustBlendFactor(mHeavyBlend, mHeavyPose, 0.35f, 0.4f, BLEND_STEP);
    bool airPose = false;
    if (mBody)
    {
        // Rising off the ground, or falling with no ground within the probe's reach.
        airPose = !mOnGround && (mLinearVelocity.y > 0.0f || mBody->getGroundNormal() == Ogre::Vector3::ZERO);
    }
    brix::Math::adjustBlendFactor(mJumpBlend, airPose, 0.4f, mOnGround ? 0.1f : 0.4f, BLEND_STEP);
    const Weapon* weapon = mSlots[mSelectedSlot]->getWeapon();
    bool blocked = weapon && weapon->getBarrelLength() > mFreeAimDistance;
    brix::Math::adjustBlendFactor(mAimBlockedBlend, blocked, 0.25f, 0.25f, BLEND_STEP);
}

void Human::updateAnimation()
{
    if (!mAnimation)
        return;
    float legExtension = mBody ? mBody->getLegExtension() : 1.0f;
    float crouch = mBody ? mBody->getCrouchFactor() : 0.0f;
    const WeaponSlot& slot = *mSlots[mSelectedSlot];
    mAnimation->update(mStridePhase, mWalkBlend, legExtension, crouch, mJumpBlend, mAimAngle,
                       slot.getReloadProgress(), slot.getRecoilKick(), mHeavyBlend, mAimBlockedBlend);
}

void Human::damage(float amount, const Ogre::Vector3& point, const Ogre::Vector3& direction,
                   uint32_t attackerId)
{
    if (mState != ACTIVE)
        return;
    mAI->notifyDamage(direction);
    EventDispatcher* events = mManager->getEventDispatcher();
    if (amount > 0.0f && mIntegrity > 0.0f && !mInvulnerable)
    {
        if (events)
            events->post(EventDispatcher::HumanHurt, static_cast<int>(mId), 0, "");
        mDamage += amount / mIntegrity;
        if (mDamage >= 1.0f - DEATH_TOLERANCE)
        {
            mDamage = 1.0f;
            kill();
            Entity* explosion = createNamedEntity(EXPLOSION, mPosition,
                                                  Ogre::Vector3::UNIT_X.getRotationTo(Ogre::Vector3::UNIT_Y),
                                                  Ogre::Vector3::ZERO, Ogre::Vector3::ZERO);
            if (explosion)
                explosion->setOwnerId(mId);
            lowerShield(false);
            dropItem(mItemDrop);
            if (events)
                events->post(EventDispatcher::HumanKilled, static_cast<int>(mId),
                             static_cast<int>(attackerId), "");
        }
    }
    mHitHeight = point.y - mPosition.y;
    mHitDirection = direction;
    mHitTrigger.trigger();
}

void Human::applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse)
{
    if (mBody)
        mBody->applyImpulse(impulse, point);
}

brix::NetworkStateCodec* Human::getExtraStateCodec(uint16_t node)
{
    if (!mController)
        return nullptr;
    if (isAuthoritative() && mController->getNodeId() != node)
        return nullptr;
    return &mExtraCodec;
}

void Human::setTick(uint16_t tick)
{
    Entity::setTick(tick);
    mLinearVelocity.z = 0.0f;
    mHitDirection.z = 0.0f;
    if (mBody)
        mBody->place(mPosition, mLinearVelocity, mJumping, mCrouched, mOnGround);
    for (std::unique_ptr<WeaponSlot>& slot : mSlots)
        slot->refresh();
}

void Human::setEnabled(bool enabled)
{
    Entity::setEnabled(enabled);
    if (mNode)
        mNode->setVisible(enabled);
    if (mShadow)
        mShadow->setVisible(enabled && mShadow->isVisible());
    if (!isAuthoritative() && mBody)
        mBody->setEnabled(enabled);
    if (mLabel)
        mLabel->setLayerFlags(enabled ? ALL_LAYERS : 0);
    for (std::unique_ptr<WeaponSlot>& slot : mSlots)
        slot->setVisible(enabled);
    if (enabled)
        mHitTrigger.poll();
}

// Frame

void Human::speak()
{
    int state = mAI->getSpeechState();
    if (!mAI->isLoaded() || state == mSpokenAIState)
        return;
    mSpokenAIState = state;
    if (state < HumanAI::SPEECH_TARGET_HUMAN || state > HumanAI::SPEECH_TARGET_LOST)
    {
        brix::Log::error("Unsupported AI state for human speech");
        return;
    }
    if (mSpeechSound && brix::AudioManager::getSingletonPtr())
        brix::AudioManager::getSingleton().stop(mSpeechSound);
    mSpeechSound = playRandomSound(mSpeechSounds[state - HumanAI::SPEECH_TARGET_HUMAN], mRenderPosition, 1.0f,
                                   mSpeechPitch, false, SOUND_PRIORITY);
}

void Human::advanceStride(float frameSeconds)
{
    float before = mStridePhase;
    if (!mOnGround)
    {
        // Legs drift toward the mid-stride poses while in the air.
        float goal = mStridePhase < 0.5f ? 0.25f : 0.75f;
        float offset = mStridePhase - goal;
        float drift = 0.2f * frameSeconds;
        if (std::fabs(offset) > 0.05f)
            mStridePhase -=
                offset > 0.0f ? std::min(drift, offset - 0.05f) : std::max(-drift, offset + 0.05f);
        return;
    }
    if (std::fabs(mWalkValue) <= 0.1f)
        return;
    float strideLength = mAnimation ? mAnimation->getStrideLength() : 1.0f;
    float advance = frameSeconds * std::fabs(mWalkValue) * STRIDE_RATE / (2.0f * strideLength);
    bool backwards = (mWalkValue > 0.0f) != mFacingRight;
    mStridePhase += backwards ? -advance : advance;
    mStridePhase -= std::floor(mStridePhase);
    auto crossed = [&](float mark)
    {
        float a = std::min(before, mStridePhase), b = std::max(before, mStridePhase);
        // A wrap through 0 crosses the marks outside the short span.
        bool wrapped = b - a > 0.5f;
        return wrapped ? (mark <= a || mark > b) : (mark > a && mark <= b);
    };
    if (crossed(0.25f) || crossed(0.75f))
        playRandomSound(mFootstepSounds, mRenderPosition, 1.0f, 0.8f + 0.4f * Ogre::Math::UnitRandom(), false,
                        SOUND_PRIORITY);
}

void Human::interpolate(float frameSeconds, float fraction)
{
    Entity::interpolate(frameSeconds, fraction);
    if (!isAuthoritative() && !mController)
        fireOnClient();
    advanceStride(frameSeconds);
    speak();
    if (mNode)
    {
        mNode->setPosition(mRenderPosition);
        mNode->setOrientation(mRenderOrientation);
    }
    if (mHitTrigger.poll())
    {
        Ogre::Vector3 point = mRenderPosition + Ogre::Vector3(0.0f, mHitHeight, 0.0f);
        Ogre::ParticleEmitter* emitter = mHitDirection.isZeroLength() ? mRadialBlood : mDirectionalBlood;
        if (emitter)
        {
            emitter->setPosition(point);
            if (!mHitDirection.isZeroLength())
                emitter->setDirection(mHitDirection.normalisedCopy());
            emitter->setEnabled(true);
        }
        // A hit from a direction splashes blood on whatever lies behind the human.
        if (!mHitDirection.isZeroLength() && mManager->getLevel())
            mManager->getLevel()->createDecal(
                BLOODSTAIN, point,
                mHitDirection.normalisedCopy().randomDeviant(Ogre::Degree(BLOODSTAIN_SPREAD)),
                BLOODSTAIN_DISTANCE, mBody ? mBody->getActiveBody() : nullptr, Ogre::Vector3::ZERO);
        playRandomSound(mDamageSounds, mRenderPosition, 1.0f, 0.8f + 0.4f * Ogre::Math::UnitRandom(), false,
                        SOUND_PRIORITY);
    }
    placeWeapons(frameSeconds);
    updateLabel();
    if (mShadow && mBody)
    {
        float strength = mBody->getShadowStrength();
        Ogre::Vector3 point = mPreviousShadowPoint * (1.0f - fraction) + mShadowPoint * fraction;
        mShadow->setPlacement(point, mBody->getShadowAnchorNormal(), SHADOW_SIZE);
        mShadow->setAlpha(strength);
        mShadow->setVisible(mEnabled && strength > 0.0f);
    }
}

void Human::fireOnClient()
{
    // Another player's or a guard's shots show from the replicated triggers.
    WeaponSlot& slot = *mSlots[mSelectedSlot];
    if (mShotTrigger.poll() || mFiredLastTick)
        slot.fire(false);
    else if (mReloadTrigger.poll())
        slot.reload();
}

void Human::placeWeapons(float frameSeconds)
{
    for (unsigned i = 0; i < SLOT_COUNT; ++i)
    {
        WeaponSlot& slot = *mSlots[i];
        if (!slot.getWeapon())
            continue;
        if (slot.isVisible() != (mEnabled != 0))
            slot.setVisible(mEnabled != 0);
        Ogre::Vector3 position = mRenderPosition + mAimOriginOffset;
        Ogre::Quaternion orientation = slot.getHandOrientation();
        if (mAnimation)
        {
            // The selected weapon in the hand, the other in the holster.
            bool hand = i == mSelectedSlot;
            Ogre::Vector3 local =
                hand ? mAnimation->getWeaponHandPosition() : mAnimation->getHolsterPosition();
            Ogre::Quaternion turn =
                hand ? mAnimation->getWeaponHandOrientation() : mAnimation->getHolsterOrientation();
            position = mRenderPosition + mRenderOrientation * local;
            orientation = mRenderOrientation * turn;
        }
        slot.interpolate(frameSeconds, position, orientation);
    }
}

void Human::updateLabel()
{
    if (!mLabel)
        return;
    mLabel->setPosition(mRenderPosition);
    if (!mAimMarkerVisible)
    {
        mLabel->setAimLine(Ogre::Vector2::ZERO, Ogre::Vector2::ZERO);
        mLabel->setAimMarker(Ogre::Vector2::ZERO);
        return;
    }
    const WeaponSlot& slot = *mSlots[mSelectedSlot];
    const Weapon* weapon = slot.getWeapon();
    float start = weapon ? weapon->getBarrelLength() + AIM_LINE_GAP : 0.0f;
    if (weapon && slot.isIdleOrRecovering() && weapon->getAimMarkerDistance() > 0.0f &&
        start < mFreeAimDistance)
    {
        Ogre::Vector3 from = mAimOriginOffset + mAimDirection * start;
        Ogre::Vector3 to = mAimOriginOffset + mAimDirection * mFreeAimDistance;
        mLabel->setAimLine(Ogre::Vector2(from.x, from.y), Ogre::Vector2(to.x, to.y));
    }
    else
        mLabel->setAimLine(Ogre::Vector2::ZERO, Ogre::Vector2::ZERO);
    if (mController)
    {
        Ogre::Vector2 pointer = mController->getPointerDirection();
        mLabel->setAimMarker(pointer.isZeroLength() ? Ogre::Vector2::ZERO
                                                    : Ogre::Vector2(mAimOriginOffset.x, mAimOriginOffset.y) +
                                                          pointer * AIM_MARKER_REACH);
    }
}
} // namespace game
