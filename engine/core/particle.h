#pragma once
#include "engine/core/movable.h"

namespace brix
{
// A point mass the engine integrates itself, outside Bullet, for small fast objects. When
// interactive it casts a ray along its path each step, stops at the first surface and records
// a contact with what it hit; its velocity is left for the game to change.
class Particle : public Movable
{
public:
    // The mass must be greater than 0.
    Particle(Simulator* simulator, float mass);

    void clearForces(bool recursive) override;
    // The point is ignored: a particle does not turn.
    void addForce(const Ogre::Vector3& force, const Ogre::Vector3& point, bool recursive) override;
    void addForceLocal(const Ogre::Vector3& force, const Ogre::Vector3& point, bool recursive) override;
    void addTorque(const Ogre::Vector3& torque, bool recursive) override;
    // Acts at the next step; a later call before it replaces the pending impulse.
    void applyImpulse(const Ogre::Vector3& impulse, const Ogre::Vector3& point, bool recursive) override;
    void deploy(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                const Ogre::Vector3& linearVelocity, const Ogre::Vector3& angularVelocity) override;
    void warp(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
              const Ogre::Vector3& linearVelocity, const Ogre::Vector3& angularVelocity) override;
    bool isDeployed() const override { return mDeployed; }
    // Only a deployed particle can be enabled or disabled.
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return mEnabled; }
    Ogre::Vector3 getPosition() override { return mPosition; }
    Ogre::Quaternion getOrientation() override { return Ogre::Quaternion::IDENTITY; }
    Ogre::Vector3 getLinearVelocity() override { return mVelocity; }
    Ogre::Vector3 getLinearVelocityAtPoint(const Ogre::Vector3& point) override { return mVelocity; }
    Ogre::Vector3 getAngularVelocity() override { return Ogre::Vector3::ZERO; }
    float getMass() const override { return mMass; }
    void beforeSimulation(const float& step) override;
    // Integrates force and impulse, moves (stopping at a hit when interactive), then runs the
    // controller.
    void afterSimulation(const float& step) override;

    void setInteractive(bool interactive) { mInteractive = interactive; }
    bool isInteractive() const { return mInteractive; }

private:
    float mMass;
    Ogre::Vector3 mPosition = Ogre::Vector3::ZERO;
    Ogre::Vector3 mVelocity = Ogre::Vector3::ZERO;
    Ogre::Vector3 mForce = Ogre::Vector3::ZERO;
    Ogre::Vector3 mImpulse = Ogre::Vector3::ZERO;
    bool mEnabled = false;
    bool mDeployed = false;
    bool mInteractive = true;
};
} // namespace brix
