#include "game/application/camera.h"

#include "engine/core/audiomanager.h"
#include "engine/core/audiosample.h"
#include "engine/core/ogrescene.h"
#include "game/application/glowpicture.h"
#include "game/application/hud.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/world/human.h"
#include "toolkit/log.h"
#include "toolkit/math.h"

#include <OgreCamera.h>
#include <OgreCompositorManager.h>
#include <OgreEntity.h>
#include <OgreGpuProgramParams.h>
#include <OgreLight.h>
#include <OgreMaterial.h>
#include <OgreMaterialManager.h>
#include <OgreMath.h>
#include <OgrePass.h>
#include <OgreRenderQueue.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreTechnique.h>
#include <OgreViewport.h>

#include <algorithm>
#include <cmath>

namespace game
{
const char* const Camera::HEARTBEAT_SAMPLE = "heartbeat.wav";
const char* const Camera::BACKGROUND_MESH = "background.mesh";
const char* const Camera::FLASH_TECHNIQUE = "flash";
const char* const Camera::PLAIN_TECHNIQUE = "plain";

namespace
{
const char* const RESOURCE_GROUP = "default";
const char* const GLOW_COMPOSITOR = "glow";
const char* const PAUSE_COMPOSITOR = "pause";
const char* const FLASH_CONSTANT = "iRedFlashIntensity";
const Ogre::ColourValue BACKGROUND_COLOUR(0.075f, 0.11f, 0.153f, 1.0f);
const Ogre::Vector3 DEFAULT_LOOK_AT(0.0f, 0.0f, 0.0f);
const Ogre::Vector3 DEFAULT_POSITION(0.0f, 5.0f, 25.0f);
// Where the smoothed view starts before the first frame.
const Ogre::Vector3 START(0.0f, 0.0f, 500.0f);
const float BACKGROUND_PARALLAX = 0.8f;
const float BACKGROUND_DEPTH = -10.0f;
// Camera offsets from the followed human.
const Ogre::Vector3 CLOSE_UP(0.0f, 1.8f, 6.0f);
const Ogre::Vector3 FULL_VIEW(0.0f, 3.0f, 10.0f);
const Ogre::Vector3 SPLIT_VIEW(0.0f, 4.0f, 14.0f);
const Ogre::Vector3 END_LOOK_AT(0.0f, 4.0f, 0.0f);
const Ogre::Vector3 END_VIEW(0.0f, 3.0f, 15.0f);
const float LOOK_AHEAD = 4.0f;
const float AIM_LEAD = 2.5f;
const float SWAY_SCALE = 2.5f;
const float FIXED_SWAY_SCALE = 0.25f;
const float KICK_LOOK = 0.75f;

// Whether any material has a technique for the glow scheme, so that the glow can show at all.
bool materialsGlow()
{
    auto materials = Ogre::MaterialManager::getSingleton().getResourceIterator();
    while (materials.hasMoreElements())
    {
        auto* material = static_cast<Ogre::Material*>(materials.getNext().get());
        for (const Ogre::Technique* technique : material->getTechniques())
            if (technique->getSchemeName() == GlowPicture::SCHEME)
                return true;
    }
    return false;
}

struct TViewportRect
{
    float left, top, width, height;
};
const TViewportRect VIEWPORT_RECTS[] = {
    {0.0f, 0.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 0.5f, 1.0f}, {0.5f, 0.0f, 0.5f, 1.0f}};
} // namespace

Camera::Camera(int index, Ogre::RenderTarget* target, Ogre::SceneManager* sceneManager, GlowPicture* glow)
    : mIndex(index), mTarget(target), mSceneManager(sceneManager),
      mCamera(sceneManager->createCamera("camera" + std::to_string(index))),
      mCameraNode(sceneManager->getRootSceneNode()->createChildSceneNode()),
      mLight(sceneManager->createLight()),
      mLightNode(sceneManager->getRootSceneNode()->createChildSceneNode()), mFixedLookAt(DEFAULT_LOOK_AT),
      mFixedPosition(DEFAULT_POSITION), mLookAt(START), mPosition(START),
      mBackgroundNode(sceneManager->getRootSceneNode()->createChildSceneNode()),
      mHUD(new HUD(index, sceneManager)), mGlowPicture(glow)
{
    mCamera->setNearClipDistance(NEAR_CLIP);
    mCamera->setFarClipDistance(FAR_CLIP);
    mCamera->setFOVy(Ogre::Radian(FIELD_OF_VIEW));
    mCameraNode->attachObject(mCamera);
    mCameraNode->setFixedYawAxis(true);

    mLight->setType(Ogre::Light::LT_POINT);
    brix::OgreScene::setLightRange(mLight, LIGHT_RANGE);
    mLight->setDiffuseColour(Ogre::ColourValue(0.75f, 0.75f, 0.75f, 1.0f));
    mLight->setSpecularColour(Ogre::ColourValue(0.5f, 0.5f, 0.5f, 1.0f));
    mLight->setVisibilityFlags(1u << index);
    mLightNode->attachObject(mLight);

    mBackground =
        mSceneManager->createEntity("background" + std::to_string(index), BACKGROUND_MESH, RESOURCE_GROUP);
    mBackground->setVisibilityFlags(1u << index);
    mBackgroundNode->attachObject(mBackground);

    if (brix::AudioManager* audio = brix::AudioManager::getSingletonPtr())
        mHeartbeat = audio->load(HEARTBEAT_SAMPLE, RESOURCE_GROUP).get();
}

Camera::~Camera()
{
    if (mHeartbeat && mHeartbeatSound)
        mHeartbeat->stop(mHeartbeatSound);
    setViewportMode(VIEWPORT_NONE);
    mHUD.reset();
    mBackgroundNode->detachObject(mBackground);
    mSceneManager->destroyEntity(mBackground);
    mSceneManager->destroySceneNode(mBackgroundNode);
    mLightNode->detachObject(mLight);
    mSceneManager->destroyLight(mLight);
    mSceneManager->destroySceneNode(mLightNode);
    mCameraNode->detachObject(mCamera);
    mSceneManager->destroyCamera(mCamera);
    mSceneManager->destroySceneNode(mCameraNode);
}

void Camera::setWorld(EntityManager* entities, PlayerManager* players)
{
    mEntities = entities;
    mPlayers = players;
}

void Camera::setFixedView(const Ogre::Vector3& lookAt, const Ogre::Vector3& position)
{
    mPlayer = 0;
    mFixedLookAt = lookAt;
    mFixedPosition = position;
    mNoSway = true;
}

void Camera::setPlayer(unsigned int playerIndex)
{
    mPlayer = playerIndex;
    if (playerIndex == 0)
    {
        mFixedLookAt = DEFAULT_LOOK_AT;
        mFixedPosition = DEFAULT_POSITION;
        mNoSway = false;
    }
}

void Camera::shake(float strength)
{
    if (strength > mShakeStrength || strength == 0.0f)
    {
        mShakeStrength = strength;
        mShakeTimer = 1.0f;
        if (strength == 0.0f)
            mShakeOffset = Ogre::Vector3::ZERO;
    }
}

const Ogre::RenderTarget::FrameStats& Camera::getStatistics() const
{
    return mTarget->getStatistics();
}

Ogre::Vector3 Camera::getDirection() const
{
    return mCamera->getRealDirection();
}

void Camera::setHUDVisible(bool visible)
{
    mHUD->setVisible(visible);
}

void Camera::setInfoText(const std::string& material)
{
    mHUD->setInfoText(material);
}

void Camera::setViewportMode(int mode)
{
    brix::Log::debug("Setting camera %d view port mode to %d", mIndex, mode);
    if (mViewport)
    {
        if (mHasChain)
            Ogre::CompositorManager::getSingleton().removeCompositorChain(mViewport);
        mHasChain = false;
        mGlow = nullptr;
        if (mGlowPicture)
            mGlowPicture->removeView(mIndex);
        mTarget->removeViewport(mIndex);
        mViewport = nullptr;
    }
    if (mode >= VIEWPORT_FULL && mode <= VIEWPORT_RIGHT)
    {
        const TViewportRect& rect = VIEWPORT_RECTS[mode - VIEWPORT_FULL];
        mViewport = mTarget->addViewport(mCamera, mIndex, rect.left, rect.top, rect.width, rect.height);
        mViewport->setBackgroundColour(BACKGROUND_COLOUR);
        mViewport->setVisibilityMask(1u << mIndex);
        const float aspect = static_cast<float>(mViewport->getActualWidth()) /
                             static_cast<float>(mViewport->getActualHeight());
        mCamera->setAspectRatio(aspect);
        mHUD->setAspectRatio(aspect);
        mHUD->setSeam(mode == VIEWPORT_LEFT ? 1 : mode == VIEWPORT_RIGHT ? -1 : 0);
        if (mGlowPicture)
            mGlowPicture->addView(mIndex, mCamera, rect.left, rect.top, rect.width, rect.height,
                                  1u << mIndex);
        setUpCompositors();
    }
    mViewportMode = mode;
}

void Camera::setCompositorsEnabled(bool enabled)
{
    mCompositorsEnabled = enabled;
    if (mViewport)
        setUpCompositors();
}

void Camera::setUpCompositors()
{
    Ogre::CompositorManager& compositors = Ogre::CompositorManager::getSingleton();
    const std::string number = std::to_string(mIndex + 1);
    if (mCompositorsEnabled && !mHasChain)
    {
        brix::Log::debug("Enabling compositors for camera %d", mIndex);
        Ogre::CompositorInstance* glow = compositors.addCompositor(mViewport, GLOW_COMPOSITOR);
        compositors.addCompositor(mViewport, PAUSE_COMPOSITOR);
        compositors.addCompositor(mViewport, "overlay" + number);
        mHasChain = true;
        mGlow = glow;
        mMaterialsGlow = materialsGlow();
        // The glow's last pass draws over the HUD when the scene reaches the last render queue
        // group, which OGRE does only for groups that exist.
        mSceneManager->getRenderQueue()->getQueueGroup(Ogre::RENDER_QUEUE_MAX);
        if (glow)
        {
            glow->addListener(this);
            glow->setEnabled(true);
            chooseGlowTechnique();
        }
        compositors.setCompositorEnabled(mViewport, PAUSE_COMPOSITOR, mPaused);
        compositors.setCompositorEnabled(mViewport, "overlay" + number, true);
    }
    else if (!mCompositorsEnabled && mHasChain)
    {
        brix::Log::debug("Disabling compositors for camera %d", mIndex);
        compositors.removeCompositorChain(mViewport);
        mHasChain = false;
        mGlow = nullptr;
        if (mGlowPicture)
            mGlowPicture->setViewShown(mIndex, false);
    }
}

void Camera::chooseGlowTechnique()
{
    if (!mGlow)
        return;
    const bool glows = mMaterialsGlow && mGlowPicture;
    const char* scheme = glows ? "" : mRedFlash > 0.0f ? FLASH_TECHNIQUE : PLAIN_TECHNIQUE;
    if (mGlow->getScheme() != scheme)
        mGlow->setScheme(scheme);
    if (mGlowPicture)
        mGlowPicture->setViewShown(mIndex, glows);
}

void Camera::setPaused(bool paused)
{
    mPaused = paused;
    if (mViewport && mHasChain)
        Ogre::CompositorManager::getSingleton().setCompositorEnabled(mViewport, PAUSE_COMPOSITOR, paused);
}

void Camera::notifyMaterialRender(Ogre::uint32 passId, Ogre::MaterialPtr& material)
{
    if (passId != FLASH_PASS && passId != GLOW_PASS)
        return;
    Ogre::Pass& pass = *material->getTechnique(0)->getPass(0);
    if (pass.hasFragmentProgram())
        pass.getFragmentProgramParameters()->setNamedConstant(FLASH_CONSTANT, mRedFlash);
    // The glow covers what lies around what glows (it is used only with a glow picture), the
    // red flash the whole view while it shows.
    if (passId == GLOW_PASS && mGlowPicture)
        mGlowPicture->setUpAddPass(mIndex, pass);
    else if (passId == FLASH_PASS && pass.hasVertexProgram())
        pass.getVertexProgramParameters()->setNamedConstant(
            GlowPicture::AREA_CONSTANT, mRedFlash > 0.0f ? GlowPicture::WHOLE_VIEW : Ogre::Vector4::ZERO);
}

void Camera::tick()
{
    Player* player = mPlayers && mPlayer ? mPlayers->getPlayer(mPlayer) : nullptr;
    if (!player || player->getState() == Player::NotInMatch)
        return;
    const float health = player->getHealth();
    if (mLastHealth - FLASH_THRESHOLD > health)
    {
        const float flash = health == 0.0f ? 1.0f : std::min(FLASH_PER_HEALTH * (mLastHealth - health), 1.0f);
        mRedFlash = std::max(mRedFlash, flash);
    }
    mLastHealth = health;
    if (Human* human = static_cast<Human*>(player->getHuman()))
    {
        const Ogre::Vector3 kick = human->getRecoil() / RECOIL_SCALE;
        if (kick != Ogre::Vector3::ZERO)
            mRecoilKick = kick;
    }
}

void Camera::update(float frameSeconds)
{
    const float dt = frameSeconds;
    if (mShakeStrength > 0.0f)
    {
        mShakeTimer += dt;
        if (mShakeTimer > SHAKE_INTERVAL)
        {
            mShakeOffset = Ogre::Vector3(Ogre::Math::SymmetricRandom() * mShakeStrength,
                                         Ogre::Math::SymmetricRandom() * mShakeStrength,
                                         Ogre::Math::SymmetricRandom() * mShakeStrength * 0.75f);
            mShakeTimer = 0.0f;
        }
        mShakeStrength -= SHAKE_DECAY * dt;
        if (mShakeStrength <= 0.0f)
        {
            mShakeStrength = 0.0f;
            mShakeOffset = Ogre::Vector3::ZERO;
        }
    }
    mRedFlash = std::max(0.0f, mRedFlash - dt);
    chooseGlowTechnique();
    mRecoilKick -= mRecoilKick * std::min(5.0f * dt, 1.0f);
    mSwayAngle = std::fmod(mSwayAngle + SWAY_RATE * dt, 360.0f);
    const Ogre::Radian sway(Ogre::Degree(mSwayAngle).valueRadians());
    const Ogre::Vector3 swayVector(Ogre::Math::Cos(sway), 0.6f * Ogre::Math::Sin(sway), 0.0f);

    Player* player = mPlayers && mPlayer ? mPlayers->getPlayer(mPlayer) : nullptr;
    Human* human = player ? static_cast<Human*>(player->getHuman()) : nullptr;
    const bool complete = mPlayers && mPlayers->getMatchState() == PlayerManager::Complete;
    Ogre::Vector3 target, position;
    if (human && complete)
    {
        // Where the player's summary stands.
        const Ogre::Vector3 end = player->getEndPosition();
        target = end + END_LOOK_AT;
        position = end + END_VIEW + SWAY_SCALE * swayVector;
    }
    else if (human && (human->isReloading() || human->getHealth() == 0.0f))
    {
        target = human->getRenderPosition();
        position = target + CLOSE_UP;
    }
    else if (human)
    {
        const Ogre::Vector3& at = human->getRenderPosition();
        const Ogre::Vector3& aim = human->getAimDirection();
        target = at + LOOK_AHEAD * aim;
        position = at + (mViewportMode == VIEWPORT_FULL ? FULL_VIEW : SPLIT_VIEW) + AIM_LEAD * aim;
    }
    else
    {
        target = mFixedLookAt;
        position = mFixedPosition;
        if (!mNoSway)
            position += swayVector * (position.distance(target) * FIXED_SWAY_SCALE);
    }

    const float f = std::min(mFollowSpeed * dt, 1.0f);
    const float g = std::min(4.0f * mFollowSpeed * dt, 1.0f);
    mKick += ((mShakeOffset + mRecoilKick) - mKick) * g;
    mPosition += (position - mPosition) * f;
    mLookAt += (target - mLookAt) * f;

    mCameraNode->setPosition(mPosition + mKick);
    mCameraNode->lookAt(mLookAt + KICK_LOOK * mKick, Ogre::Node::TS_WORLD);
    mLightNode->setPosition((mPosition + mLookAt) * 0.5f);
    mBackgroundNode->setPosition(BACKGROUND_PARALLAX * mPosition.x, BACKGROUND_PARALLAX * mPosition.y,
                                 BACKGROUND_DEPTH);

    updateHeartbeat(dt);
    mHUD->update(player);
}

void Camera::updateHeartbeat(float seconds)
{
    bool critical = false;
    if (mPlayers && mPlayers->getMatchState() == PlayerManager::Running)
    {
        Player* player = mPlayer ? mPlayers->getPlayer(mPlayer) : nullptr;
        Human* human =
            player && player->getState() == Player::Alive ? static_cast<Human*>(player->getHuman()) : nullptr;
        critical = human && human->isHealthCritical();
        brix::Math::adjustBlendFactor(mHeartbeatLevel, critical, HEARTBEAT_RISE, HEARTBEAT_FALL, seconds);
    }
    else
        mHeartbeatLevel = 0.0f;

    if (!mHeartbeat)
        return;
    if (mHeartbeatLevel <= 0.0f)
    {
        if (mHeartbeatSound)
            mHeartbeat->stop(mHeartbeatSound);
        mHeartbeatSound = 0;
    }
    else if (!mHeartbeatSound)
        mHeartbeatSound =
            mHeartbeat->play(Ogre::Vector3::ZERO, -HEARTBEAT_GAIN * mHeartbeatLevel, 1.0f, true, -1);
    else
        mHeartbeat->adjust(mHeartbeatSound, Ogre::Vector3::ZERO, -HEARTBEAT_GAIN * mHeartbeatLevel, 1.0f);
}
} // namespace game
