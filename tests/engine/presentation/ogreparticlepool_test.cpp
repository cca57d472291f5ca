#include "engine/presentation/ogreparticlepool.h"
#include "support/logcapture.h"
#include "support/ogre/headlessogre.h"

#include <OgreException.h>
#include <OgreParticle.h>
#include <OgreParticleEmitter.h>
#include <OgreParticleSystem.h>
#include <OgreResourceGroupManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

using brix::OgreParticlePool;

namespace
{
// The templates of tests/data/particles: "smoke" (quota 50, emitters "puff" and "sparks", one
// affector) and "fire" (quota 4, emitter "flame").
class ParticlePoolTest : public testing::Test
{
protected:
    ParticlePoolTest()
    {
        Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
        groups.addResourceLocation(test::sourcePath("tests/data/particles"), "FileSystem", "particles");
        groups.initialiseResourceGroup("particles");
    }

    Ogre::ParticleSystem* system(const std::string& name) { return mScene.getParticleSystem(name); }
    // A system makes its particles on its first frame.
    void runFrame(const std::string& name) { system(name)->_update(0.0f); }

    test::LogCapture mLog;
    test::HeadlessOgre mOgre{{"Plugin_ParticleFX"}};
    Ogre::SceneManager& mScene = mOgre.sceneManager();
};

void expectThrowsWithText(const std::function<void()>& call, const std::string& text)
{
    try
    {
        call();
        ADD_FAILURE() << "no exception for: " << text;
    }
    catch (const Ogre::InvalidParametersException& e)
    {
        EXPECT_EQ(text, e.getDescription());
    }
}
} // namespace

TEST_F(ParticlePoolTest, EveryTemplateGetsOneAttachedSystemWithItsEmittersOff)
{
    OgreParticlePool pool(&mScene, false);
    for (const char* name : {"smoke", "fire"})
    {
        Ogre::ParticleSystem* made = system(name);
        EXPECT_EQ(mScene.getRootSceneNode(), made->getParentSceneNode()) << name;
        for (unsigned short i = 0; i < made->getNumEmitters(); ++i)
            EXPECT_FALSE(made->getEmitter(i)->getEnabled()) << name << " " << i;
    }
    EXPECT_EQ(2u, system("smoke")->getNumEmitters());
}

TEST_F(ParticlePoolTest, LentEmittersAreCopiesOfTheNamedPrototype)
{
    OgreParticlePool pool(&mScene, false);
    Ogre::ParticleEmitter* first = pool.createEmitter("smoke", Ogre::Vector3(1, 2, 3));
    EXPECT_EQ("puff", first->getName());
    EXPECT_EQ("Point", first->getType());
    EXPECT_TRUE(first->getEnabled());
    EXPECT_EQ(Ogre::Vector3(1, 2, 3), first->getPosition());
    EXPECT_FLOAT_EQ(20.0f, first->getEmissionRate());

    Ogre::ParticleEmitter* sparks = pool.createEmitter("smoke/sparks", Ogre::Vector3::ZERO);
    EXPECT_EQ("sparks", sparks->getName());
    EXPECT_EQ("Box", sparks->getType());
    EXPECT_FLOAT_EQ(3.0f, sparks->getParticleVelocity());
    EXPECT_EQ(4u, system("smoke")->getNumEmitters());
    // The prototypes themselves stay off.
    EXPECT_FALSE(system("smoke")->getEmitter(0)->getEnabled());
    pool.destroyEmitter(first);
    pool.destroyEmitter(sparks);
}

TEST_F(ParticlePoolTest, GivenBackEmittersServeTheSamePathAgain)
{
    OgreParticlePool pool(&mScene, false);
    Ogre::ParticleEmitter* sparks = pool.createEmitter("smoke/sparks", Ogre::Vector3::ZERO);
    pool.destroyEmitter(sparks);
    EXPECT_FALSE(sparks->getEnabled());

    // The system name alone means the first prototype, not whichever emitter is free.
    Ogre::ParticleEmitter* puff = pool.createEmitter("smoke", Ogre::Vector3::ZERO);
    EXPECT_NE(sparks, puff);
    EXPECT_EQ("puff", puff->getName());

    Ogre::ParticleEmitter* again = pool.createEmitter("smoke/sparks", Ogre::Vector3(4, 5, 6));
    EXPECT_EQ(sparks, again);
    EXPECT_TRUE(again->getEnabled());
    EXPECT_EQ(Ogre::Vector3(4, 5, 6), again->getPosition());
    EXPECT_EQ(4u, system("smoke")->getNumEmitters());
    pool.destroyEmitter(puff);
    pool.destroyEmitter(again);
}

TEST_F(ParticlePoolTest, GivingBackTwiceNeverLendsOneEmitterToTwoOwners)
{
    OgreParticlePool pool(&mScene, false);
    Ogre::ParticleEmitter* flame = pool.createEmitter("fire", Ogre::Vector3::ZERO);
    pool.destroyEmitter(flame);
    pool.destroyEmitter(flame);
    EXPECT_EQ(std::vector<std::string>{"E Attempt to destroy pooled particle emitter 'flame' twice"},
              mLog.errors());
    Ogre::ParticleEmitter* a = pool.createEmitter("fire", Ogre::Vector3::ZERO);
    Ogre::ParticleEmitter* b = pool.createEmitter("fire", Ogre::Vector3::ZERO);
    EXPECT_EQ(flame, a);
    EXPECT_NE(a, b);
    pool.destroyEmitter(a);
    pool.destroyEmitter(b);
}

TEST_F(ParticlePoolTest, GrowingQuotaFollowsTheLentEmitters)
{
    {
        OgreParticlePool pool(&mScene, true);
        Ogre::ParticleEmitter* lent[3];
        for (auto& emitter : lent)
            emitter = pool.createEmitter("smoke", Ogre::Vector3::ZERO);
        EXPECT_EQ(150u, system("smoke")->getParticleQuota());
        // A recycled emitter adds nothing to the system, so the quota stays.
        pool.destroyEmitter(lent[2]);
        lent[2] = pool.createEmitter("smoke", Ogre::Vector3::ZERO);
        EXPECT_EQ(150u, system("smoke")->getParticleQuota());
        for (auto& emitter : lent)
            pool.destroyEmitter(emitter);
    }
    OgreParticlePool fixed(&mScene, false);
    Ogre::ParticleEmitter* first = fixed.createEmitter("smoke", Ogre::Vector3::ZERO);
    Ogre::ParticleEmitter* second = fixed.createEmitter("smoke", Ogre::Vector3::ZERO);
    EXPECT_EQ(50u, system("smoke")->getParticleQuota());
    fixed.destroyEmitter(first);
    fixed.destroyEmitter(second);
}

TEST_F(ParticlePoolTest, UnknownNamesThrowWithTheirNames)
{
    OgreParticlePool pool(&mScene, false);
    expectThrowsWithText([&] { pool.createEmitter("rain", Ogre::Vector3::ZERO); },
                         "No particle system 'rain' found");
    expectThrowsWithText([&] { pool.createEmitter("smoke/flame", Ogre::Vector3::ZERO); },
                         "No emitter 'flame' found in particle system 'smoke'");
    expectThrowsWithText(
        [&]
        {
            pool.emitParticles("fire/puff", 1, Ogre::Vector3::ZERO, Ogre::Vector3::ZERO,
                               Ogre::ColourValue::ZERO, Ogre::Vector3::ZERO);
        },
        "No emitter 'puff' found in particle system 'fire'");
    // Particles take the whole name: a path is no system name.
    expectThrowsWithText([&] { pool.createParticle("fire/flame"); }, "No particle system 'fire/flame' found");
    EXPECT_EQ(1u, system("fire")->getNumEmitters());
}

TEST_F(ParticlePoolTest, ForeignEmittersAreLoggedAndLeftAlone)
{
    OgreParticlePool pool(&mScene, false);
    // A prototype was never lent.
    Ogre::ParticleEmitter* prototype = system("fire")->getEmitter(0);
    prototype->setEnabled(true);
    pool.destroyEmitter(prototype);
    EXPECT_TRUE(prototype->getEnabled());
    EXPECT_EQ(std::vector<std::string>{"E Attempt to destroy pooled particle emitter 'flame' for particle "
                                       "system not in pool"},
              mLog.errors());
    // The prototype is not handed out as a free emitter either.
    Ogre::ParticleEmitter* lent = pool.createEmitter("fire", Ogre::Vector3::ZERO);
    EXPECT_NE(prototype, lent);
    pool.destroyEmitter(lent);
}

TEST_F(ParticlePoolTest, DestroyingThePoolLogsLentEmittersAndRemovesItsSystems)
{
    {
        OgreParticlePool pool(&mScene, false);
        pool.createEmitter("smoke", Ogre::Vector3::ZERO);
        pool.createEmitter("smoke/sparks", Ogre::Vector3::ZERO);
        pool.destroyEmitter(pool.createEmitter("fire", Ogre::Vector3::ZERO));
    }
    EXPECT_EQ(std::vector<std::string>{"E 2 particle emitters active in pooled particle system 'smoke'"},
              mLog.errors());
    EXPECT_FALSE(mScene.hasParticleSystem("smoke"));
    EXPECT_FALSE(mScene.hasParticleSystem("fire"));
    EXPECT_EQ(0u, mScene.getRootSceneNode()->numAttachedObjects());
}

TEST_F(ParticlePoolTest, HandMadeParticlesLiveUntilClearedAndStopAtTheQuota)
{
    OgreParticlePool pool(&mScene, false);
    runFrame("fire");
    for (int i = 0; i < 4; ++i)
    {
        Ogre::Particle* particle = pool.createParticle("fire");
        ASSERT_NE(nullptr, particle);
        EXPECT_TRUE(std::isinf(particle->mTimeToLive));
    }
    EXPECT_EQ(nullptr, pool.createParticle("fire"));
    pool.clearAllParticles();
    EXPECT_EQ(0u, system("fire")->getNumParticles());
    EXPECT_NE(nullptr, pool.createParticle("fire"));
}

TEST_F(ParticlePoolTest, EmittedParticlesLeaveThePrototypeAsItWas)
{
    OgreParticlePool pool(&mScene, false);
    Ogre::ParticleEmitter* prototype = system("fire")->getEmitter(0);
    const Ogre::ColourValue colour = prototype->getColour();
    const Ogre::Vector3 up = prototype->getUp();
    runFrame("fire");
    pool.emitParticles("fire", 6, Ogre::Vector3(10, 0, 0), Ogre::Vector3::UNIT_X, Ogre::ColourValue::Red,
                       Ogre::Vector3(0, 0, 5));
    // The quota of 4 caps the burst.
    ASSERT_EQ(4u, system("fire")->getNumParticles());
    Ogre::Particle* particle = system("fire")->getParticle(0);
    EXPECT_EQ(Ogre::Vector3(10, 0, 5), particle->mPosition);
    EXPECT_EQ(Ogre::ColourValue::Red, particle->mColour);
    EXPECT_EQ(Ogre::Vector3::ZERO, prototype->getPosition());
    EXPECT_EQ(colour, prototype->getColour());
    EXPECT_FALSE(prototype->getEnabled());
    // Emitters lent afterwards still head the template's way.
    EXPECT_EQ(Ogre::Vector3::UNIT_Y, prototype->getDirection());
    EXPECT_EQ(up, prototype->getUp());
    Ogre::ParticleEmitter* lent = pool.createEmitter("fire", Ogre::Vector3::ZERO);
    EXPECT_EQ(Ogre::Vector3::UNIT_Y, lent->getDirection());
    pool.destroyEmitter(lent);
}
