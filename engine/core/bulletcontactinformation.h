#pragma once
#include <OgreVector.h>

class btPersistentManifold;

namespace brix
{
class Movable;

// The contact state of one pair of movables over one physics step: the manifolds of the step
// are summed up, then each movable is told of one averaged contact.
class BulletContactInformation
{
public:
    // A is the movable of the first object of the manifold that made the record.
    BulletContactInformation(Movable* a, Movable* b);
    virtual ~BulletContactInformation() = default;

    // The first manifold of a new step starts the sums over.
    void addManifold(const btPersistentManifold* manifold, unsigned step);
    // Gives each movable the averaged contact, its normal pointing toward that movable.
    void report();

    unsigned getLastStep() const { return mLastStep; }
    Movable* getMovableA() const { return mMovableA; }
    Movable* getMovableB() const { return mMovableB; }

private:
    Movable* mMovableA;
    Movable* mMovableB;
    unsigned mLastStep = 0;
    unsigned mFlags;
    unsigned mPointCount = 0;
    Ogre::Vector3 mPositionSum = Ogre::Vector3::ZERO;
    Ogre::Vector3 mNormalSum = Ogre::Vector3::ZERO;
    float mLargestImpulse = 0.0f;
};
} // namespace brix
