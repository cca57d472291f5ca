#pragma once
#include "engine/core/movable.h"
#include "engine/core/movablecontroller.h"
#include "game/world/entity.h"
#include "game/world/eventtrigger.h"
#include "game/world/mechanismparts.h"

#include <OgreMesh.h>

#include <string>

namespace Ogre
{
class AnimationState;
}

namespace brix
{
class Body;
}

namespace game
{
// What drones and crawlers share: a mesh and an optional physics body that the enemy steers
// itself as the body's controller, a damage fraction that grows by amount / "integrity" with
// every hit until the enemy dies in its explosion and posts its kill event once, crush damage
// from the body's sensor 0, and the damage sound that every side plays from a replicated
// trigger. An "integrity" of 0 makes the enemy immune, with health 0.
//
// The replicated state starts with position (as doors send it) and linear velocity; each kind
// binds its own fields after it.
class Enemy : public Entity, public brix::MovableController
{
public:
    // Velocity travels in 6 bits within +-10 units a second.
    static constexpr float VELOCITY_LIMIT = 10.0f;
    static constexpr unsigned VELOCITY_BITS = 6;
    // The body reports contacts to its entity; the engine reads the bits.
    static constexpr unsigned CONTACT_INFO_FLAGS = 3;
    // Damage fractions are float sums: ten hits of a tenth of the integrity must kill.
    static constexpr float DEATH_TOLERANCE = 1e-5f;

    ~Enemy() override;

    // The shared fields; throws Ogre::InvalidParametersException for an empty "mesh".
    void load(const brix::XMLElement* element) override;
    void copyDefinition(const Entity* prototype) override;
    Ogre::MeshPtr getMesh() const override { return mMesh; }
    // Body, node and looping animation; the damage fraction and trigger start over.
    void spawn() override;
    void remove() override;
    void kill() override;
    void setTick(uint16_t tick) override;
    void setEnabled(bool enabled) override;
    // Only while active and not immune; a hit that completes the fraction kills.
    void damage(float amount, const Ogre::Vector3& point, const Ogre::Vector3& direction,
                uint32_t attackerId) override;
    void applyImpulse(const Ogre::Vector3& point, const Ogre::Vector3& impulse) override;
    float getHealth() const override;

    // What the killer's player scores.
    int getKillScore() const { return mKillScore; }
    float getIntegrity() const { return mIntegrity; }
    // Null before spawn and for a definition without body.
    brix::Body* getBody() const { return mParts.body; }

protected:
    // The name of the mesh animation the enemy loops through, and the event its death posts.
    Enemy(EntityManager* manager, const char* animationName, unsigned killEvent);

    // Told of every hit that counts, before it is added up.
    virtual void onHit(const Ogre::Vector3& direction) {}
    // Told of every contact of the body in a tick (authoritative side); other is null for
    // level geometry.
    virtual void onContact(const brix::Movable::TContact& contact, Entity* other) {}

    // The start of every post-update: the previous transform is kept and the body's position
    // and velocity read back.
    void readBody();
    // Each contact of the body to onContact, then crush damage from sensor 0; both only on
    // the authoritative side and while the enemy lives.
    void handleContacts();
    void applyCrushDamage();
    // Moves the looping animation on by a share of its cycle; each wrap plays an animation
    // sound at the simulated position.
    void advanceAnimation(float phaseStep);
    // The damage sound, once for each change of the trigger seen here.
    void playDamageSound();
    // The node follows the render pose and shows.
    void showNode();
    void playSound(const SoundList& sounds, const Ogre::Vector3& position, float pitch) const;

    // Definition.
    std::string mBodyTemplateName;
    Ogre::MeshPtr mMesh;
    SoundList mAnimationSounds;
    SoundList mDamageSounds;
    float mSpeed = 0.0f;
    float mAnimationLength = 0.0f;
    float mIntegrity = 0.0f;
    std::string mExplosion;
    int mKillScore = 0;
    TForceDamage mCrushDamage;

    // Run time.
    MechanismParts mParts;
    Ogre::AnimationState* mAnimationState = nullptr;
    float mAnimationPhase = 0.0f;
    float mDamage = 0.0f;
    EventTrigger mDamageTrigger;

private:
    const char* mAnimationName;
    unsigned mKillEvent;
};
} // namespace game
