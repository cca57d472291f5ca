#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"

#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/core/simulator.h"
#include "engine/presentation/decalmanager.h"
#include "game/level/level.h"
#include "game/level/levelentityquery.h"

#include <gtest/gtest.h>

namespace
{
// An entity is any object a movable carries; its flags are whatever the test says.
class FixedFlags : public game::LevelEntityQuery
{
public:
    unsigned flags = 0;
    unsigned getEntityFlags(const void*) const override { return flags; }
    bool hasPrototype(const std::string&) const override { return true; }
};

class LevelDecals : public testing::Test
{
protected:
    void SetUp() override
    {
        test::LevelBuilder builder;
        ASSERT_TRUE(world.load(builder.smallRoom(), "marked", true));
    }

    // Shoots one scorch mark straight down from just above the floor at that depth.
    void shootDown(float x, float z)
    {
        world.level().createDecal("scorch", Ogre::Vector3(x, 0.5f, z), Ogre::Vector3::NEGATIVE_UNIT_Y, 2.0f,
                                  nullptr, Ogre::Vector3::ZERO);
    }

    test::LevelWorld world{true};
};

TEST_F(LevelDecals, MarksTheLevelOnlyBetweenTheDepthWalls)
{
    brix::DecalManager& decals = world.decals();
    shootDown(0, 1.45f);
    shootDown(0, -1.45f);
    EXPECT_EQ(0u, decals.getDecalCount());
    shootDown(0, 1.35f);
    EXPECT_EQ(1u, decals.getDecalCount());
    // Into thin air: nothing.
    world.level().createDecal("scorch", Ogre::Vector3(0, 3, 0), Ogre::Vector3::UNIT_Y, 1.0f, nullptr,
                              Ogre::Vector3::ZERO);
    EXPECT_EQ(1u, decals.getDecalCount());
    world.level().createScatteredDecals("scorch", Ogre::Vector3(-4, 0.5f, 0), 200, 3.0f, nullptr);
    EXPECT_GT(decals.getDecalCount(), 1u);
    world.level().destroyScene();
    EXPECT_EQ(0u, decals.getDecalCount());
}

TEST_F(LevelDecals, MarksOnlyStaticEntitiesThatTakeDecals)
{
    brix::BodyTemplate* slab = world.simulator().createTemplate("testslab");
    brix::BodyTemplate::TShape box;
    box.type = brix::BodyTemplate::SHAPE_BOX;
    box.size = Ogre::Vector3(2, 0.2f, 2);
    slab->addShape(box);
    brix::Body* body = world.simulator().createBody("testslab");
    body->deploy(Ogre::Vector3(4, 0.2f, 0), Ogre::Quaternion::IDENTITY, Ogre::Vector3::ZERO,
                 Ogre::Vector3::ZERO);
    int entity = 0;
    body->setUserData(&entity);

    FixedFlags query;
    shootDown(4, 0);
    EXPECT_EQ(0u, world.decals().getDecalCount()) << "no entity takes decals while the world does not say so";
    world.level().setEntityQuery(&query);
    for (unsigned flags : {0u, game::Level::ENTITY_STATIC, game::Level::ENTITY_DECALS})
    {
        query.flags = flags;
        shootDown(4, 0);
        EXPECT_EQ(0u, world.decals().getDecalCount()) << flags;
    }
    query.flags = game::Level::ENTITY_STATIC | game::Level::ENTITY_DECALS;
    shootDown(4, 0);
    EXPECT_EQ(1u, world.decals().getDecalCount());
    world.level().setEntityQuery(nullptr);
}
} // namespace
