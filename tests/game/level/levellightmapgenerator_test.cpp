#include "support/game/mapworld.h"
#include "support/logcapture.h"
#include "support/tempdir.h"

#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/level/levellightmapgenerator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

namespace
{
using game::LevelLightMapGenerator;

// The generator's own steps, run on the test's thread.
class LightProbe : public LevelLightMapGenerator
{
public:
    using LevelLightMapGenerator::LevelLightMapGenerator;
    using LevelLightMapGenerator::prepare;
    using LevelLightMapGenerator::sample;
};

void expectColour(const Ogre::ColourValue& expected, const Ogre::ColourValue& actual)
{
    EXPECT_FLOAT_EQ(expected.r, actual.r);
    EXPECT_FLOAT_EQ(expected.g, actual.g);
    EXPECT_FLOAT_EQ(expected.b, actual.b);
    EXPECT_FLOAT_EQ(expected.a, actual.a);
}

// The light a point gets at the squared distance from a light of that colour and range.
Ogre::ColourValue lit(const Ogre::ColourValue& colour, float distanceSquared, float range)
{
    Ogre::ColourValue result =
        LevelLightMapGenerator::AMBIENT + colour / (1.0f + distanceSquared * 10.0f / (range * range));
    result.a = 1.0f;
    return result;
}

class LightMapGenerator : public testing::Test
{
protected:
    // The small room's floor (top at y = 0, from x = -8 to 8), a cube at (-2, 3.5) and
    // whatever the test adds.
    test::LevelBuilder roomWithCube()
    {
        test::LevelBuilder builder;
        builder.smallRoom().block("techcube", Ogre::Vector3(-2, 3.5f, 0));
        return builder;
    }

    // The texel of the 256 x 256 light map nearest to the point of the loaded level.
    static Ogre::ColourValue texelAt(const Ogre::Image& map, const game::Level& level, float x, float y)
    {
        const Ogre::AxisAlignedBox& box = level.getBoundingBox();
        const unsigned column = unsigned((x - box.getMinimum().x) / box.getSize().x * map.getWidth());
        const unsigned row = unsigned((box.getMaximum().y - y) / box.getSize().y * map.getHeight());
        return map.getColourAt(column, row, 0);
    }

    Ogre::Image bake(const std::string& name)
    {
        EXPECT_TRUE(world.level().generateLightMap(&source));
        world.runGenerators();
        return test::MapWorld::readMap(world.userMapFile(name, game::Level::LIGHT_MAP_SUFFIX));
    }

    test::MapWorld world;
    test::MapSource source;
};

TEST_F(LightMapGenerator, PointLightFallsOffWithDistanceUpToItsRangeAndCastsShadows)
{
    const Ogre::ColourValue colour(0.5f, 0.25f, 1.0f);
    source.lights["bulb"] = {Ogre::Vector3(0, 0.5f, 0), colour, 4.0f, 0.0f};
    ASSERT_TRUE(world.load(
        roomWithCube().entity("bulb", Ogre::Vector3(0, 3, 0)).entity("ghost", Ogre::Vector3(1, 1, 0)), "bulb",
        true));
    LightProbe probe(&world.level(), "unused.png", 1, 1, &source);
    probe.prepare();
    ASSERT_EQ(1u, probe.getLights().size());
    EXPECT_EQ(Ogre::Vector3(0, 3.5f, 0), probe.getLights()[0].position);

    expectColour(lit(colour, 4.0f, 4.0f), probe.sample(2, 3.5f));
    // At exactly the range the light still counts; a little further it does not.
    expectColour(lit(colour, 16.0f, 4.0f), probe.sample(4, 3.5f));
    expectColour(LevelLightMapGenerator::AMBIENT, probe.sample(4.01f, 3.5f));
    // Right at the light it shines fully, clamped to 1.
    expectColour(Ogre::ColourValue(0.52f, 0.27f, 1.0f, 1.0f), probe.sample(0, 3.55f));
    // Behind the cube and inside the floor it is dark.
    expectColour(LevelLightMapGenerator::AMBIENT, probe.sample(-3, 3.5f));
    expectColour(LevelLightMapGenerator::AMBIENT, probe.sample(0, -0.5f));
}

TEST_F(LightMapGenerator, SpotLightShinesAlongTheTurnedEntityWithinItsCone)
{
    source.lights["spot"] = {Ogre::Vector3::ZERO, Ogre::ColourValue::White, 10.0f, 30.0f};
    // Turned a quarter round z, the spot looks along +x instead of down.
    const Ogre::Quaternion turn(Ogre::Degree(90), Ogre::Vector3::UNIT_Z);
    ASSERT_TRUE(world.load(roomWithCube().entity("spot", Ogre::Vector3(0, 4, 0), "", turn), "spot", true));
    LightProbe probe(&world.level(), "unused.png", 1, 1, &source);
    probe.prepare();
    ASSERT_EQ(1u, probe.getLights().size());
    EXPECT_TRUE(probe.getLights()[0].direction.positionEquals(Ogre::Vector3::UNIT_X, 1e-6f));

    const auto at = [](float degrees)
    {
        const float radians = Ogre::Degree(degrees).valueRadians();
        return Ogre::Vector2(3 * std::cos(radians), 4 + 3 * std::sin(radians));
    };
    const Ogre::Vector2 inside = at(29.0f);
    expectColour(lit(Ogre::ColourValue::White, 9.0f, 10.0f), probe.sample(inside.x, inside.y));
    const Ogre::Vector2 outside = at(31.0f);
    expectColour(LevelLightMapGenerator::AMBIENT, probe.sample(outside.x, outside.y));
    expectColour(LevelLightMapGenerator::AMBIENT, probe.sample(-3, 4));
}

TEST_F(LightMapGenerator, UnlitLevelBakesToOpaqueBlackAndIsLoadedWhenDone)
{
    test::LevelBuilder builder;
    ASSERT_TRUE(world.load(builder.smallRoom(), "dark", true));
    EXPECT_FALSE(world.level().hasLightMap());
    const Ogre::Image map = bake("dark");
    ASSERT_EQ(256u, map.getWidth());
    ASSERT_EQ(256u, map.getHeight());
    unsigned black = 0;
    for (unsigned y = 0; y < map.getHeight(); ++y)
        for (unsigned x = 0; x < map.getWidth(); ++x)
            black += map.getColourAt(x, y, 0) == Ogre::ColourValue::Black;
    EXPECT_EQ(256u * 256u, black);
    EXPECT_TRUE(world.level().hasLightMap());
    world.level().useDefaultLightMap();
    EXPECT_FALSE(world.level().hasLightMap());
}

TEST_F(LightMapGenerator, ClosedDoorsBlockTheLightAndADoorWithoutABodyIsLeftOut)
{
    world.simulator().loadTemplates(test::sourcePath("data/entitybodies.xml"));
    source.lights["lamp"] = {Ogre::Vector3::ZERO, Ogre::ColourValue::White, 8.0f, 0.0f};
    source.doors["doora"] = "door";
    source.doors["broken"] = "nosuchbody";
    test::LevelBuilder builder;
    builder.smallRoom().entity("lamp", Ogre::Vector3(0, 1.5f, 0)).entity("doora", Ogre::Vector3(3, 1.5f, 0));
    builder.entity("broken", Ogre::Vector3(-3, 1.5f, 0));
    test::LogCapture log;
    ASSERT_TRUE(world.load(builder, "doors", true));
    const Ogre::Image map = bake("doors");
    ASSERT_EQ(256u, map.getWidth());
    // Behind the door no light comes, and the fill finds no lit texel there.
    EXPECT_EQ(Ogre::ColourValue::Black, texelAt(map, world.level(), 6, 1.5f));
    // The broken door lets it through: the lamp is 6 away, a seventh of its colour and the blur.
    EXPECT_NEAR(0.02f + 1.0f / 6.625f, texelAt(map, world.level(), -6, 1.5f).r, 0.02f);
    EXPECT_THAT(log.errors(),
                testing::Contains(testing::StartsWith("E Door 'broken' left out of level map")));
}
} // namespace
