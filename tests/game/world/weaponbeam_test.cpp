#include "game/world/weaponbeam.h"
#include "engine/core/movable.h"
#include "game/world/entity.h"
#include "game/world/entitymanager.h"
#include "support/game/gameworld.h"

#include <OgreBillboardChain.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace
{
class WeaponBeamTest : public testing::Test
{
protected:
    WeaponBeamTest() { world.loadEntities(); }

    game::WeaponBeam* make(float segmentLength, float range, const Ogre::Vector3& origin)
    {
        node = scene->getRootSceneNode()->createChildSceneNode(origin);
        beam = std::make_unique<game::WeaponBeam>(scene, node, nullptr, &world.simulator(), "", "", 0.15f,
                                                  segmentLength);
        beam->setRange(range);
        return beam.get();
    }

    // Chain elements from the muzzle to the end (the chain counts from its head, the end).
    std::vector<Ogre::BillboardChain::Element> elements() const
    {
        std::vector<Ogre::BillboardChain::Element> result;
        Ogre::BillboardChain* chain = beam->getChain();
        for (size_t i = chain->getNumChainElements(0); i-- > 0;)
            result.push_back(chain->getChainElement(0, i));
        return result;
    }

    test::GameOgre ogre;
    Ogre::SceneManager* scene = ogre.createSceneManager();
    test::GameWorld world{scene};
    Ogre::SceneNode* node = nullptr;
    std::unique_ptr<game::WeaponBeam> beam;
};
} // namespace

// Nothing in the way: 19 segments of 0.5 at most and a black end at the range of 20.
TEST_F(WeaponBeamTest, ABeamThatHitsNothingFadesAtItsRange)
{
    make(0.5f, 20.0f, Ogre::Vector3(0.0f, 10.0f, 0.0f))
        ->trace(Ogre::Vector3(0.0f, 10.0f, 0.0f), Ogre::Vector3::UNIT_X);
    EXPECT_EQ(beam->getHitMovable(), nullptr);
    EXPECT_EQ(beam->getHitDistance(), 20.0f);
    beam->update(0.025f);
    std::vector<Ogre::BillboardChain::Element> chain = elements();
    ASSERT_EQ(chain.size(), 20u);
    for (unsigned i = 0; i < 19; ++i)
    {
        EXPECT_EQ(chain[i].position, Ogre::Vector3(0.5f * i, 0.0f, 0.0f)) << i;
        EXPECT_EQ(chain[i].colour, Ogre::ColourValue::White);
        EXPECT_EQ(chain[i].width, 0.15f);
    }
    EXPECT_EQ(chain[19].position, Ogre::Vector3(20.0f, 0.0f, 0.0f));
    EXPECT_EQ(chain[19].colour, Ogre::ColourValue::Black);
}

// A crate 4.5 ahead: segments up to 4.0 (none within half a segment of the end), a white end
// on the crate's face, and the crate as what was hit.
TEST_F(WeaponBeamTest, ABeamEndsWhiteAtWhatItHits)
{
    game::Entity* crate = world.create("crate", Ogre::Vector3(5.0f, 0.5f, 0.0f));
    world.tick(1);
    make(0.5f, 10.0f, Ogre::Vector3(0.0f, 0.5f, 0.0f))
        ->trace(Ogre::Vector3(0.0f, 0.5f, 0.0f), Ogre::Vector3::UNIT_X);
    ASSERT_NE(beam->getHitMovable(), nullptr);
    EXPECT_EQ(beam->getHitMovable()->getUserData(), static_cast<void*>(crate));
    EXPECT_NEAR(beam->getHitDistance(), 4.5f, 1e-3f);
    EXPECT_TRUE(beam->getHitNormal().positionEquals(Ogre::Vector3::NEGATIVE_UNIT_X, 1e-3f));
    beam->update(0.025f);
    std::vector<Ogre::BillboardChain::Element> chain = elements();
    ASSERT_EQ(chain.size(), 10u);
    EXPECT_EQ(chain[8].position, Ogre::Vector3(4.0f, 0.0f, 0.0f));
    EXPECT_NEAR(chain[9].position.x, 4.5f, 1e-3f);
    EXPECT_EQ(chain[9].colour, Ogre::ColourValue::White);

    // Hidden, it forgets the hit.
    beam->setVisible(false);
    EXPECT_EQ(beam->getHitMovable(), nullptr);
    EXPECT_EQ(beam->getHitDistance(), 0.0f);
}

TEST_F(WeaponBeamTest, WithoutSegmentsTheBeamIsOneStraightPieceEvenWhenElectric)
{
    make(0.0f, 8.0f, Ogre::Vector3(0.0f, 10.0f, 0.0f));
    beam->setAnimation(game::WeaponBeam::ELECTRIC, 10.0f, 0.3f);
    beam->trace(Ogre::Vector3(0.0f, 10.0f, 0.0f), Ogre::Vector3::UNIT_X);
    beam->update(0.2f);
    std::vector<Ogre::BillboardChain::Element> chain = elements();
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0].position, Ogre::Vector3::ZERO);
    EXPECT_EQ(chain[1].position, Ogre::Vector3(8.0f, 0.0f, 0.0f));
}

// A hit distance that moves by 0.01 or less keeps the drawn beam; an electric beam is redrawn
// with new jitter at its frequency anyway.
TEST_F(WeaponBeamTest, RedrawsOnlyWhenTheEndMovesOrTheArcFlickers)
{
    world.create("crate", Ogre::Vector3(5.0f, 0.5f, 0.0f));
    world.tick(1);
    make(0.5f, 10.0f, Ogre::Vector3(0.0f, 0.5f, 0.0f))
        ->trace(Ogre::Vector3(0.0f, 0.5f, 0.0f), Ogre::Vector3::UNIT_X);
    beam->update(0.025f);
    beam->trace(Ogre::Vector3(0.009f, 0.5f, 0.0f), Ogre::Vector3::UNIT_X);
    EXPECT_FALSE(beam->isDirty());
    beam->trace(Ogre::Vector3(0.02f, 0.5f, 0.0f), Ogre::Vector3::UNIT_X);
    EXPECT_TRUE(beam->isDirty());
    beam->update(0.025f);

    beam->setAnimation(game::WeaponBeam::ELECTRIC, 20.0f, 0.1f);
    beam->update(0.025f);
    EXPECT_EQ(elements()[1].position, Ogre::Vector3(0.5f, 0.0f, 0.0f)) << "half a flicker: unchanged";
    beam->update(0.03f);
    std::vector<Ogre::BillboardChain::Element> chain = elements();
    EXPECT_EQ(chain[0].position, Ogre::Vector3::ZERO) << "the muzzle never moves";
    Ogre::Vector3 jitter = chain[1].position - Ogre::Vector3(0.5f, 0.0f, 0.0f);
    EXPECT_FALSE(jitter.isZeroLength());
    EXPECT_LE(std::fabs(jitter.x), 0.2f);
    EXPECT_LE(std::fabs(jitter.y), 0.1f);
    EXPECT_LE(std::fabs(jitter.z), 0.1f);
}
