#pragma once
#include "game/multiplayer/client.h"

#include <OgreCompositorInstance.h>
#include <OgreRenderTarget.h>
#include <OgreVector.h>

#include <memory>
#include <string>

namespace Ogre
{
class Camera;
class Entity;
class Light;
class SceneManager;
class SceneNode;
class Viewport;
} // namespace Ogre

namespace brix
{
class AudioSample;
}

namespace game
{
class EntityManager;
class GlowPicture;
class HUD;
class PlayerManager;

// The view of one local player (index 0 or 1): an OGRE camera "camera<index>" with its own
// viewport on the window, a point light travelling with it, a parallax background, the screen
// filters glow, pause and overlay, and the HUD. It follows its player's human smoothly, looks
// ahead along the aim, sways, shakes on demand, kicks back with the weapon's recoil, flashes red
// when the player is hurt and plays a heartbeat while the player's health is critical. Without a
// player it shows a fixed view. What it draws for its player alone carries the visibility flag
// 1 << index, which is also its viewport's mask. Its glow comes from the glow picture the
// cameras share, where it has a view of its own. It is the view of the local client of the same
// index, which steps it per tick and per frame. Main thread only.
class Camera : public Ogre::CompositorInstance::Listener, public Client::View
{
public:
    enum ViewportMode
    {
        VIEWPORT_NONE = 0,
        VIEWPORT_FULL = 1,
        VIEWPORT_LEFT = 2,
        VIEWPORT_RIGHT = 3
    };

    static constexpr float NEAR_CLIP = 0.1f;
    static constexpr float FAR_CLIP = 200.0f;
    static constexpr float FIELD_OF_VIEW = 1.2f; // radians, vertical
    static constexpr float LIGHT_RANGE = 15.0f;
    static constexpr float DEFAULT_FOLLOW_SPEED = 2.5f;
    // Degrees per second; a whole turn takes 24 s.
    static constexpr float SWAY_RATE = 15.0f;
    // A shake draws a new offset this often and loses this much strength per second.
    static constexpr float SHAKE_INTERVAL = 0.05f;
    static constexpr float SHAKE_DECAY = 2.0f;
    // A health drop of more than this flashes, 5 flash per whole health, at most 1.
    static constexpr float FLASH_THRESHOLD = 0.05f;
    static constexpr float FLASH_PER_HEALTH = 5.0f;
    // The heartbeat rises over 0.5 s while health is critical and falls over 4 s after.
    static constexpr float HEARTBEAT_RISE = 0.5f;
    static constexpr float HEARTBEAT_FALL = 4.0f;
    static constexpr float HEARTBEAT_GAIN = 0.4f;
    // The recoil the human reports, per unit of camera kick.
    static constexpr float RECOIL_SCALE = 60.0f;
    // The glow's red flash, which covers the whole view while it shows and nothing otherwise,
    // and the pass that adds the glow, which covers the glow's area.
    static const unsigned int FLASH_PASS = 1;
    static const unsigned int GLOW_PASS = 2;
    // The glow's techniques besides the whole glow: the red flash alone, and nothing added.
    // The whole glow is used only when some material has a technique of the glow scheme
    // (looked up when the chain is made); the others cost next to nothing.
    static const char* const FLASH_TECHNIQUE;
    static const char* const PLAIN_TECHNIQUE;
    static const char* const HEARTBEAT_SAMPLE;
    static const char* const BACKGROUND_MESH;

    // The glow picture is not owned and outlives the camera; without one nothing glows.
    Camera(int index, Ogre::RenderTarget* target, Ogre::SceneManager* sceneManager, GlowPicture* glow);
    ~Camera() override;
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // Neither is owned.
    void setWorld(EntityManager* entities, PlayerManager* players);
    // Stops following; the view stands still without sway.
    void setFixedView(const Ogre::Vector3& lookAt, const Ogre::Vector3& position);
    // Follows that player (1 to 8); 0 returns to the default view with sway.
    void setPlayer(unsigned int playerIndex) override;
    // Taken when stronger than the running shake; 0 stops it at once.
    void shake(float strength) override;
    void setFollowSpeed(float speed) { mFollowSpeed = speed; }
    const Ogre::RenderTarget::FrameStats& getStatistics() const;
    Ogre::Vector3 getDirection() const;
    void setHUDVisible(bool visible);
    // The material of the controller help the HUD shows; empty for none.
    void setInfoText(const std::string& material);
    // A ViewportMode; any other value leaves the camera without a viewport.
    void setViewportMode(int mode);
    void setCompositorsEnabled(bool enabled);
    void setPaused(bool paused);

    // Per game tick: the red flash and the recoil kick from the followed player.
    void tick() override;
    // Per frame.
    void update(float frameSeconds) override;

    void notifyMaterialRender(Ogre::uint32 passId, Ogre::MaterialPtr& material) override;

    int getIndex() const { return mIndex; }
    Ogre::Camera* getCamera() const { return mCamera; }
    Ogre::Viewport* getViewport() const { return mViewport; }
    int getViewportMode() const { return mViewportMode; }
    unsigned int getPlayer() const { return mPlayer; }
    HUD* getHUD() const { return mHUD.get(); }
    bool isPaused() const { return mPaused; }
    bool isCompositorsEnabled() const { return mCompositorsEnabled; }
    float getRedFlash() const { return mRedFlash; }
    float getHeartbeatLevel() const { return mHeartbeatLevel; }
    float getShakeStrength() const { return mShakeStrength; }
    float getSwayAngle() const { return mSwayAngle; }
    const Ogre::Vector3& getSmoothedPosition() const { return mPosition; }
    const Ogre::Vector3& getSmoothedLookAt() const { return mLookAt; }

private:
    void setUpCompositors();
    // The glow's technique for this frame: the whole glow, the flash alone or nothing.
    void chooseGlowTechnique();
    void updateHeartbeat(float seconds);

    int mIndex;
    Ogre::RenderTarget* mTarget;
    Ogre::SceneManager* mSceneManager;
    Ogre::Camera* mCamera;
    Ogre::SceneNode* mCameraNode;
    Ogre::Viewport* mViewport = nullptr;
    int mViewportMode = VIEWPORT_NONE;
    Ogre::Light* mLight;
    Ogre::SceneNode* mLightNode;
    EntityManager* mEntities = nullptr;
    PlayerManager* mPlayers = nullptr;
    unsigned int mPlayer = 0;
    Ogre::Vector3 mFixedLookAt;
    Ogre::Vector3 mFixedPosition;
    bool mNoSway = false;
    Ogre::Vector3 mLookAt;
    Ogre::Vector3 mPosition;
    float mShakeStrength = 0.0f;
    Ogre::Vector3 mShakeOffset = Ogre::Vector3::ZERO;
    float mShakeTimer = 0.0f;
    Ogre::Vector3 mKick = Ogre::Vector3::ZERO;
    float mSwayAngle = 0.0f;
    Ogre::Vector3 mRecoilKick = Ogre::Vector3::ZERO;
    // Held by the audio manager; null without sound.
    brix::AudioSample* mHeartbeat = nullptr;
    unsigned int mHeartbeatSound = 0;
    float mHeartbeatLevel = 0.0f;
    Ogre::SceneNode* mBackgroundNode;
    Ogre::Entity* mBackground = nullptr;
    std::unique_ptr<HUD> mHUD;
    float mFollowSpeed = DEFAULT_FOLLOW_SPEED;
    bool mCompositorsEnabled = false;
    bool mPaused = false;
    bool mHasChain = false;
    GlowPicture* mGlowPicture;
    // The glow of the chain, null without one; whether any material glows when it was made.
    Ogre::CompositorInstance* mGlow = nullptr;
    bool mMaterialsGlow = false;
    float mRedFlash = 0.0f;
    float mLastHealth = 0.0f;
};
} // namespace game
