#include "engine/core/particle.h"
#include "engine/core/movablecontroller.h"
#include "engine/core/simulator.h"

#include <OgreException.h>

namespace brix
{
Particle::Particle(Simulator* simulator, float mass) : Movable(simulator), mMass(mass)
{
    // Integration divides by the mass.
    if (!(mass > 0.0f))
        OGRE_EXCEPT(Ogre::Exception::ERR_INVALIDPARAMS, "Particle mass must be greater than 0",
                    "Particle::Particle");
}

void Particle::clearForces(bool recursive)
{
    mForce = Ogre::Vector3::ZERO;
}

void Particle::addForce(const Ogre::Vector3& force, const Ogre::Vector3& point, bool recursive)
{
    mForce += force;
}

void Particle::addForceLocal(const Ogre::Vector3& force, const Ogre::Vector3& point, bool recursive)
{
    mForce += force;
}

void Particle::addTorque(const Ogre::Vector3& torque, bool recursive) {}

void Particle::applyImpulse(const Ogre::Vector3& impulse, const Ogre::Vector3& point, bool recursive)
{
    mImpulse = impulse;
}

void Particle::deploy(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                      const Ogre::Vector3& linearVelocity, const Ogre::Vector3& angularVelocity)
{
    mPosition = position;
    mVelocity = linearVelocity;
    mEnabled = true;
    mDeployed = true;
}

void Particle::warp(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                    const Ogre::Vector3& linearVelocity, const Ogre::Vector3& angularVelocity)
{
    if (!mDeployed)
        return;
    mPosition = position;
    mVelocity = linearVelocity;
}

void Particle::setEnabled(bool enabled)
{
    if (mDeployed)
        mEnabled = enabled;
}

void Particle::beforeSimulation(const float& step) {}

void Particle::afterSimulation(const float& step)
{
    if (!mEnabled)
        return;
    mVelocity += (mForce / mMass) * step;
    mVelocity += mImpulse / mMass;
    mImpulse = Ogre::Vector3::ZERO;

    if (mInteractive)
    {
        Ogre::Vector3 target = mPosition + mVelocity * step;
        TTraceContact hit;
        Movable* other = mSimulator->traceRay(mPosition, target, &hit, nullptr);
        if (other)
        {
            mPosition = hit.position;
            if (mContacts.size() < MAX_CONTACTS)
            {
                TContact contact;
                contact.flags = other->getContactInfoFlags() | mContactInfoFlags;
                contact.movable = other;
                contact.position = hit.position;
                contact.normal = hit.normal;
                if (contact.flags & CONTACT_SPEED)
                    contact.speed = (mVelocity - other->getLinearVelocity()).length();
                contact.reserved = 0.0f;
                addContact(contact, other);
            }
        }
        else
            mPosition = target;
    }
    else
        mPosition += mVelocity * step;

    if (mController)
        mController->update(this, step);
}
} // namespace brix
