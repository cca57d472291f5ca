#pragma once
#include "game/world/entity.h"

#include <string>
#include <vector>

namespace Ogre
{
class AnimationState;
class Entity;
class ParticleEmitter;
class SceneNode;
} // namespace Ogre

namespace brix
{
class AnimatedLight;
class Body;
} // namespace brix

namespace game
{
class RayCastShadow;

// The general physical scene object: crates, barrels, lamps, debris, fire and smoke, spawners
// of other entities and damaging areas. A mesh with an optional physics body, light, sound,
// particle effect, blob shadow and looping animation. It breaks when damaged past its
// integrity, expires after its duration, dies when it slows below its minimum velocity or when
// something comes near, and may leave an explosion and drop items when it dies.
class Prop : public Entity
{
public:
    // Seconds between two impact sounds of one prop.
    static constexpr float IMPACT_SOUND_COOLDOWN = 0.2f;
    // How far an impact's splat decal is cast from the contact point.
    static constexpr float SPLAT_DISTANCE = 0.2f;
    // Motion states: sent every pass while moving, every 8th pass at rest.
    static constexpr int MOTION_MOVING = 1;
    static constexpr int MOTION_AT_REST = 4;
    // Damage shares are float sums: a prop breaks once they come this near its integrity, so
    // that 9.9 and 0.1 of 10 break it as they should.
    static constexpr float BREAK_TOLERANCE = 1e-5f;
    // Sound priorities (smaller is more important).
    static constexpr int LOOPING_SOUND_PRIORITY = 20;
    static constexpr int SOUND_PRIORITY = 500;

    explicit Prop(EntityManager* manager);
    ~Prop() override;

    std::string getType() const override { return "prop"; }
    Entity* createInstance() override { return new Prop(mManager); }
    // Throws Ogre::InvalidParametersException for a prop without mesh.
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    Ogre::MeshPtr getMesh() const override { return mMesh; }
    void spawn() override;
    void remove() override;
    void kill() override;
    void update(uint16_t tick, bool newTick) override {}
    void postUpdate(uint16_t tick, bool newTick) override;
    void setTick(uint16_t tick) override;
    void setEnabled(bool enabled) override;
    void interpolate(float frameSeconds, float fraction) override;
    // Breaks the prop once the damage adds up to its integrity; unbreakable at integrity 0.
    void damage(float amount, const Ogre::Vector3& point, const Ogre::Vector3& direction,
                uint32_t attackerId) override;
    void applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse) override;
    bool getLight(Ogre::Vector3& offset, Ogre::ColourValue& colour, float& range,
                  float& angle) const override;
    float getHealth() const override;

    brix::Body* getBody() const { return mBody; }
    // The strongest impact since the last impact sound, in the physics wrapper's measure.
    float getLargestImpact() const { return mLargestImpact; }
    unsigned getAgeTicks() const { return mAgeTicks; }
    bool isSoundPlaying() const { return mSoundHandle != 0; }

private:
    // Dies this tick: the explosion (owned by the given id), the dropped item, then kill.
    void die(uint32_t ownerId);
    void playLoopingSound();
    void stopLoopingSound();

    // Definition.
    std::string mBodyTemplateName;
    Ogre::MeshPtr mMesh;
    SamplePtr mSound;
    bool mSoundLooping = false;
    TLight mLight;
    TImpactSound mContactSound;
    std::string mSplat;
    float mIntegrity = 0.0f;
    std::string mExplosion;
    std::string mEffect;
    Ogre::Vector3 mEffectOffset = Ogre::Vector3::ZERO;
    float mDuration = 0.0f;
    float mMinimumVelocity = 0.0f;
    TProximityTrigger mProximityTrigger;
    float mAnimationLength = 0.0f;
    float mAnimationLengthVariation = 0.0f;
    TItemDrop mItemDrop;
    float mShadowRadius = 0.0f;
    std::vector<TSpawner> mSpawners;
    TPeriodicDamage mPeriodicDamage;

    // Run time.
    brix::Body* mBody = nullptr;
    Ogre::Entity* mMeshEntity = nullptr;
    Ogre::SceneNode* mNode = nullptr;
    Ogre::SceneNode* mLightNode = nullptr;
    brix::AnimatedLight* mAnimatedLight = nullptr;
    Ogre::ParticleEmitter* mEmitter = nullptr;
    unsigned int mSoundHandle = 0;
    unsigned mAgeTicks = 0;
    float mLargestImpact = 0.0f;
    Ogre::Vector3 mContactPoint = Ogre::Vector3::ZERO;
    Ogre::Vector3 mContactNormal = Ogre::Vector3::ZERO;
    float mImpactCooldown = 0.0f;
    float mDamage = 0.0f;
    Ogre::AnimationState* mAnimationState = nullptr;
    float mAnimationPhase = 0.0f;
    float mInstanceAnimationLength = 0.0f;
    RayCastShadow* mShadow = nullptr;
};
} // namespace game
