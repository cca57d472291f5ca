#include "engine/core/movable.h"
#include "engine/core/particle.h"
#include "physicsworld.h"

#include <gtest/gtest.h>

namespace
{
brix::Movable::TContact contactWithNormal(float y)
{
    brix::Movable::TContact contact;
    contact.normal = Ogre::Vector3(0, y, 0);
    contact.flags = 3;
    return contact;
}
} // namespace

TEST(Movable, KeepsAtMostEightContactsOnEachSide)
{
    test::PhysicsWorld world;
    brix::Movable* a = world.simulator.createParticle(1.0f);
    brix::Movable* b = world.simulator.createParticle(1.0f);
    EXPECT_EQ(a->getContactInfoFlags(), 0xFFFFFFFFu);

    for (unsigned i = 0; i < brix::Movable::MAX_CONTACTS; ++i)
        a->addContact(contactWithNormal(float(i)), nullptr);
    EXPECT_EQ(b->numContacts(), 0u);

    // The ninth is dropped here, and the earlier ones are kept; the other side still gets its copy.
    a->addContact(contactWithNormal(100.0f), b);
    EXPECT_EQ(a->numContacts(), brix::Movable::MAX_CONTACTS);
    EXPECT_EQ(a->getContact(7).normal.y, 7.0f);
    ASSERT_EQ(b->numContacts(), 1u);
    EXPECT_EQ(b->getContact(0).movable, a);
    EXPECT_EQ(b->getContact(0).normal.y, -100.0f);
    EXPECT_EQ(b->getContact(0).flags, 3u);

    a->clearContacts(false);
    EXPECT_EQ(a->numContacts(), 0u);
}

TEST(Movable, FlushDeletesTerminatedMovablesAndClearsTheOthersContacts)
{
    test::PhysicsWorld world;
    int owner = 0;
    brix::Movable* kept = world.simulator.createParticle(1.0f);
    kept->setUserData(&owner);
    brix::Particle* gone = world.simulator.createParticle(1.0f);
    kept->addContact(contactWithNormal(1.0f), gone);
    world.simulator.destroyParticle(gone);
    EXPECT_TRUE(gone->isTerminated());
    world.simulator.flush();
    EXPECT_EQ(kept->numContacts(), 0u);
    EXPECT_FALSE(kept->isTerminated());
    EXPECT_EQ(kept->getUserData(), &owner);
}
