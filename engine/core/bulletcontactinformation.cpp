#include "engine/core/bulletcontactinformation.h"
#include "engine/core/bulletconversion.h"
#include "engine/core/movable.h"

#include <btBulletCollisionCommon.h>

#include <algorithm>

namespace brix
{
BulletContactInformation::BulletContactInformation(Movable* a, Movable* b)
    : mMovableA(a), mMovableB(b), mFlags(a->getContactInfoFlags() | b->getContactInfoFlags())
{
}

void BulletContactInformation::addManifold(const btPersistentManifold* manifold, unsigned step)
{
    if (step != mLastStep)
    {
        mPointCount = 0;
        mPositionSum = Ogre::Vector3::ZERO;
        mNormalSum = Ogre::Vector3::ZERO;
        mLargestImpulse = 0.0f;
    }
    for (int i = 0; i < manifold->getNumContacts(); ++i)
    {
        const btManifoldPoint& point = manifold->getContactPoint(i);
        mPositionSum += BulletConversion::toOgre(point.getPositionWorldOnB());
        mNormalSum += BulletConversion::toOgre(point.m_normalWorldOnB);
        mLargestImpulse = std::max(mLargestImpulse, static_cast<float>(point.getAppliedImpulse()));
        ++mPointCount;
    }
    mLastStep = step;
}

void BulletContactInformation::report()
{
    if (mPointCount == 0)
        return;
    float massA = mMovableA->getMass();
    float massB = mMovableB->getMass();

    Movable::TContact contact;
    contact.flags = mFlags;
    contact.movable = mMovableB;
    contact.position = mPositionSum / static_cast<float>(mPointCount);
    contact.normal = mNormalSum.normalisedCopy();
    contact.speed = massA > 0.0f ? massA / (massB + massA) * mLargestImpulse / massA : 0.0f;
    mMovableA->addContact(contact, nullptr);

    contact.movable = mMovableA;
    contact.normal = -contact.normal;
    contact.speed = massB > 0.0f ? massB / (massA + massB) * mLargestImpulse / massB : 0.0f;
    mMovableB->addContact(contact, nullptr);
}
} // namespace brix
