#pragma once
#include "game/world/entity.h"

#include <string>
#include <vector>

namespace Ogre
{
class Entity;
class ParticleEmitter;
class SceneNode;
} // namespace Ogre

namespace brix
{
class AnimatedLight;
class Particle;
} // namespace brix

namespace game
{
// A shot in flight, fired by a weapon, a sentry gun or a drone: a physics particle with an
// optional mesh, light, sound and trail. On the authoritative side the first thing it hits is
// pushed and damaged (the projectile's owner is the attacker), an explosion of its definition
// appears at the hit unless the thing hit is of a type listed as "noexplosiontype", and the
// projectile dies; it also dies once it has travelled its distance limit. Clients only show it.
class Projectile : public Entity
{
public:
    static constexpr float POSITION_XY_LIMIT = 250.0f;
    static constexpr unsigned POSITION_XY_BITS = 16;
    static constexpr float POSITION_Z_LIMIT = 5.0f;
    static constexpr unsigned POSITION_Z_BITS = 8;
    static constexpr float VELOCITY_LIMIT = 200.0f;
    static constexpr unsigned VELOCITY_BITS = 6;

    explicit Projectile(EntityManager* manager);
    ~Projectile() override;

    std::string getType() const override { return "projectile"; }
    Entity* createInstance() override { return new Projectile(mManager); }
    // Throws Ogre::InvalidParametersException for a mass that is missing or not above 0.
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

    float getTravelledDistance() const { return mTravelledDistance; }
    brix::Particle* getParticle() const { return mParticle; }

private:
    // What the hit at the particle's first contact does: push, damage, explosion, death.
    void hit();
    bool isNoExplosionType(const Entity* entity) const;

    // Definition.
    float mMass = 0.0f;
    Ogre::MeshPtr mMesh;
    SamplePtr mSound;
    bool mSoundLooping = false;
    TLight mLight;
    TImpactSound mContact;
    float mRotation = 0.0f;
    std::string mExplosion;
    float mExplosionOrientation = 1.0f;
    float mImpulse = 0.0f;
    float mDamage = 0.0f;
    std::string mEffect;
    std::vector<std::string> mNoExplosionTypes;
    TPeriodicDamage mPeriodicDamage;
    float mDistanceLimit = 0.0f;

    // Run time.
    brix::Particle* mParticle = nullptr;
    Ogre::SceneNode* mNode = nullptr;
    Ogre::Entity* mMeshEntity = nullptr;
    Ogre::SceneNode* mLightNode = nullptr;
    brix::AnimatedLight* mAnimatedLight = nullptr;
    unsigned int mSoundHandle = 0;
    Ogre::ParticleEmitter* mEmitter = nullptr;
    float mSpinAngle = 0.0f;
    float mTravelledDistance = 0.0f;
};
} // namespace game
