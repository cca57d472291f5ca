#pragma once
#include <OgreVector.h>

#include <array>
#include <string>

namespace Ogre
{
class BillboardChain;
class ParticleEmitter;
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace brix
{
class Movable;
class OgreParticlePool;
class Simulator;
} // namespace brix

namespace game
{
// The continuous beam of a beam weapon: a billboard chain along the local x axis of its parent
// node, from the muzzle to the first thing the beam hits, optionally jittered like an electric
// arc, with sparks at the hit point. The weapon slot owns it, traces it every tick and deals
// the damage; the beam draws itself once per frame. Without a scene manager (a server) it only
// traces.
class WeaponBeam
{
public:
    // Chain elements at most: up to MAX_SEGMENTS interior ones and the end.
    static constexpr unsigned MAX_ELEMENTS = 20;
    static constexpr unsigned MAX_SEGMENTS = MAX_ELEMENTS - 1;
    // Animation kinds.
    static constexpr unsigned STRAIGHT = 0;
    static constexpr unsigned ELECTRIC = 1;
    // A hit distance that changes less than this does not redraw the beam.
    static constexpr float REBUILD_DISTANCE = 0.01f;
    // Jitter along the beam, as a share of the segment length.
    static constexpr float JITTER_ALONG = 0.4f;

    // The pool, the simulator and the scene manager are borrowed; the chain goes on the parent.
    WeaponBeam(Ogre::SceneManager* sceneManager, Ogre::SceneNode* parent, brix::OgreParticlePool* particles,
               brix::Simulator* simulator, const std::string& material, const std::string& particleSystem,
               float width, float segmentLength);
    ~WeaponBeam();
    WeaponBeam(const WeaponBeam&) = delete;
    WeaponBeam& operator=(const WeaponBeam&) = delete;

    void setRange(float range) { mRange = range; }
    // Restarts the jitter's phase.
    void setAnimation(unsigned kind, float frequency, float amplitude);
    // Once per tick: from the origin along the unit direction, up to the range.
    void trace(const Ogre::Vector3& origin, const Ogre::Vector3& direction);
    // Hidden, the beam also forgets its hit.
    void setVisible(bool visible);
    // Once per frame: jitter and redraw.
    void update(float frameSeconds);

    // What the last trace hit: null and the range when nothing.
    brix::Movable* getHitMovable() const { return mHitMovable; }
    float getHitDistance() const { return mHitDistance; }
    const Ogre::Vector3& getHitPoint() const { return mHitPoint; }
    const Ogre::Vector3& getHitNormal() const { return mHitNormal; }
    // Null without a scene manager.
    Ogre::BillboardChain* getChain() const { return mChain; }
    bool isDirty() const { return mDirty; }

private:
    void rebuild();
    void placeEmitter();

    Ogre::SceneManager* mSceneManager;
    brix::OgreParticlePool* mParticlePool;
    brix::Simulator* mSimulator;
    Ogre::SceneNode* mParent;
    Ogre::ParticleEmitter* mEmitter = nullptr;
    float mRange = 0.0f;
    float mWidth;
    float mSegmentLength;
    unsigned mAnimation = STRAIGHT;
    float mAnimationFrequency = 0.0f;
    float mAnimationAmplitude = 0.0f;
    brix::Movable* mHitMovable = nullptr;
    float mHitDistance = 0.0f;
    Ogre::Vector3 mHitPoint = Ogre::Vector3::ZERO;
    Ogre::Vector3 mHitNormal = Ogre::Vector3::ZERO;
    Ogre::BillboardChain* mChain = nullptr;
    float mAnimationPhase = 0.0f;
    std::array<Ogre::Vector3, MAX_ELEMENTS> mJitter;
    bool mDirty = false;
};
} // namespace game
