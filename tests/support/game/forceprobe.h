#pragma once
#include "engine/core/movable.h"

#include <OgreVector.h>

namespace test
{
// A movable that only records what a controller does to it: a chosen pose, velocity and mass
// go in, the forces it is given (summed since the last clear) come out. Header-only.
class ForceProbe : public brix::Movable
{
public:
    ForceProbe(const Ogre::Vector3& position, const Ogre::Vector3& velocity, float mass)
        : brix::Movable(nullptr), position(position), velocity(velocity), mass(mass)
    {
    }

    void clearForces(bool) override
    {
        force = Ogre::Vector3::ZERO;
        ++clears;
    }
    void addForce(const Ogre::Vector3& f, const Ogre::Vector3& point, bool) override
    {
        force += f;
        lastPoint = point;
    }
    void addForceLocal(const Ogre::Vector3& f, const Ogre::Vector3&, bool) override { force += f; }
    void addTorque(const Ogre::Vector3&, bool) override {}
    void applyImpulse(const Ogre::Vector3&, const Ogre::Vector3&, bool) override {}
    void deploy(const Ogre::Vector3&, const Ogre::Quaternion&, const Ogre::Vector3&,
                const Ogre::Vector3&) override
    {
    }
    void warp(const Ogre::Vector3&, const Ogre::Quaternion&, const Ogre::Vector3&,
              const Ogre::Vector3&) override
    {
    }
    bool isDeployed() const override { return true; }
    void setEnabled(bool) override {}
    bool isEnabled() const override { return true; }
    Ogre::Vector3 getPosition() override { return position; }
    Ogre::Quaternion getOrientation() override { return Ogre::Quaternion::IDENTITY; }
    Ogre::Vector3 getLinearVelocity() override { return velocity; }
    Ogre::Vector3 getLinearVelocityAtPoint(const Ogre::Vector3&) override { return velocity; }
    Ogre::Vector3 getAngularVelocity() override { return Ogre::Vector3::ZERO; }
    float getMass() const override { return mass; }
    void beforeSimulation(const float&) override {}
    void afterSimulation(const float&) override {}

    Ogre::Vector3 position;
    Ogre::Vector3 velocity;
    float mass;
    Ogre::Vector3 force = Ogre::Vector3::ZERO;
    Ogre::Vector3 lastPoint = Ogre::Vector3::ZERO;
    unsigned clears = 0;
};
} // namespace test
