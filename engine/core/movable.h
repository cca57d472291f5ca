#pragma once
#include <OgreQuaternion.h>
#include <OgreVector.h>

#include <vector>

namespace brix
{
class MovableController;
class Simulator;

// Anything the physics simulator moves: rigid-body trees and point masses. Game entities
// push forces in, read pose, velocity and contacts out, and hang themselves on it as user
// data. Movables are made and deleted by their simulator only: terminate marks one, and the
// simulator's next flush deletes it.
class Movable
{
public:
    // Contacts kept between two flushes of the simulator; later ones are dropped.
    static constexpr unsigned MAX_CONTACTS = 8;
    // Contact info flag that asks particles to compute the impact speed of their contacts.
    static constexpr unsigned CONTACT_SPEED = 4;

    // One contact as the receiving movable sees it.
    struct TContact
    {
        // Contact info flags of both movables, ORed.
        unsigned flags = 0;
        // The other movable; null for a one-sided contact.
        Movable* movable = nullptr;
        // World contact point.
        Ogre::Vector3 position = Ogre::Vector3::ZERO;
        // Unit world normal pointing from the other movable toward this one.
        Ogre::Vector3 normal = Ogre::Vector3::ZERO;
        // Impact measure: strongest impulse over both masses for bodies, relative speed
        // for particles.
        float speed = 0.0f;
        float reserved = 0.0f;
    };

    explicit Movable(Simulator* simulator);
    virtual ~Movable();
    Movable(const Movable&) = delete;
    Movable& operator=(const Movable&) = delete;

    // Forces and torques accumulate in world space and act on every step until cleared.
    virtual void clearForces(bool recursive) = 0;
    // The point is in world coordinates.
    virtual void addForce(const Ogre::Vector3& force, const Ogre::Vector3& point, bool recursive) = 0;
    // Force and point in the movable's own frame.
    virtual void addForceLocal(const Ogre::Vector3& force, const Ogre::Vector3& point, bool recursive) = 0;
    virtual void addTorque(const Ogre::Vector3& torque, bool recursive) = 0;
    // Acts once.
    virtual void applyImpulse(const Ogre::Vector3& impulse, const Ogre::Vector3& point, bool recursive) = 0;
    // Places the movable in the world; meant to run once.
    virtual void deploy(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                        const Ogre::Vector3& linearVelocity, const Ogre::Vector3& angularVelocity) = 0;
    // Moves a deployed movable without simulating the way there.
    virtual void warp(const Ogre::Vector3& position, const Ogre::Quaternion& orientation,
                      const Ogre::Vector3& linearVelocity, const Ogre::Vector3& angularVelocity) = 0;
    virtual bool isDeployed() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    virtual Ogre::Vector3 getPosition() = 0;
    virtual Ogre::Quaternion getOrientation() = 0;
    virtual Ogre::Vector3 getLinearVelocity() = 0;
    virtual Ogre::Vector3 getLinearVelocityAtPoint(const Ogre::Vector3& point) = 0;
    virtual Ogre::Vector3 getAngularVelocity() = 0;
    virtual float getMass() const = 0;
    virtual void setContactInfoFlags(unsigned flags);
    virtual unsigned getContactInfoFlags() const;
    virtual void clearContacts(bool recursive);
    virtual unsigned numContacts() const;
    // The caller keeps index below numContacts().
    virtual const TContact& getContact(unsigned index) const;
    virtual void* getUserData() const;
    virtual void setUserData(void* data);
    // Only marks the movable; the simulator deletes it at its next flush.
    virtual void terminate();
    virtual bool isTerminated() const;
    // Called by the simulator around every fixed step, with the step length in seconds.
    virtual void beforeSimulation(const float& step) = 0;
    virtual void afterSimulation(const float& step) = 0;
    // Stores the contact here and a copy with the normal negated on the other movable, each
    // side only while it holds fewer than MAX_CONTACTS.
    virtual void addContact(const TContact& contact, Movable* other);

    Simulator* getSimulator() const { return mSimulator; }
    // Not owned; null detaches. The controller must outlive its attachment.
    void setController(MovableController* controller)
    {
        mController = controller;
        mIdle = false;
    }
    MovableController* getController() const { return mController; }
    // Nothing would change around the next step: the simulator leaves the movable out of
    // beforeSimulation and afterSimulation until anything about it changes.
    bool isIdle() const { return mIdle; }

protected:
    Simulator* mSimulator;
    void* mUserData = nullptr;
    MovableController* mController = nullptr;
    unsigned mContactInfoFlags = 0xFFFFFFFFu;
    std::vector<TContact> mContacts;
    bool mTerminated = false;
    // Set only by a movable that knows its step work has nothing left to do; cleared by
    // every call that could change that.
    bool mIdle = false;
};
} // namespace brix
