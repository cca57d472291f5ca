#include "engine/core/movable.h"

namespace brix
{
Movable::Movable(Simulator* simulator) : mSimulator(simulator)
{
    mContacts.reserve(MAX_CONTACTS);
}

Movable::~Movable() = default;

void Movable::setContactInfoFlags(unsigned flags)
{
    mContactInfoFlags = flags;
}

unsigned Movable::getContactInfoFlags() const
{
    return mContactInfoFlags;
}

void Movable::clearContacts(bool recursive)
{
    mContacts.clear();
}

unsigned Movable::numContacts() const
{
    return static_cast<unsigned>(mContacts.size());
}

const Movable::TContact& Movable::getContact(unsigned index) const
{
    return mContacts[index];
}

void* Movable::getUserData() const
{
    return mUserData;
}

void Movable::setUserData(void* data)
{
    mUserData = data;
}

void Movable::terminate()
{
    mTerminated = true;
}

bool Movable::isTerminated() const
{
    return mTerminated;
}

void Movable::addContact(const TContact& contact, Movable* other)
{
    if (mContacts.size() < MAX_CONTACTS)
        mContacts.push_back(contact);
    if (other && other->mContacts.size() < MAX_CONTACTS)
    {
        TContact mirrored = contact;
        mirrored.normal = -contact.normal;
        mirrored.movable = this;
        other->mContacts.push_back(mirrored);
    }
}
} // namespace brix
