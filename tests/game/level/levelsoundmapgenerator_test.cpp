#include "support/game/mapworld.h"
#include "support/logcapture.h"

#include "game/level/level.h"
#include "game/level/levelsoundmapgenerator.h"
#include "toolkit/thread.h"

#include <gtest/gtest.h>

namespace
{
// Half a unit per texel over the box of this room (x from -13.5 to 13.5, y from -6.5 to 7),
// texel centres on quarter units: column c at x = -13.25 + c / 2, row r at y = 6.75 - r / 2.
const unsigned WIDTH = 54;
const unsigned HEIGHT = 27;
// Channels are written truncated to bytes: a mean of written texels is off by up to two.
const float TWO_BYTES = 2.0f / 255.0f;

// A floor two units thick (top at y = 0, from x = -8 to 8) and a wall on each end rising from
// it to y = 4; open above.
test::LevelBuilder room()
{
    test::LevelBuilder builder;
    builder.row("techfloor", -6, 6, 4, -0.5f).row("techfloor", -6, 6, 4, -1.5f);
    builder.block("techwall", Ogre::Vector3(-8.5f, 2, 0)).block("techwall", Ogre::Vector3(8.5f, 2, 0));
    return builder;
}

// The texels as bytes, red and green.
int red(const Ogre::Image& map, unsigned column, unsigned row)
{
    return int(map.getColourAt(column, row, 0).r * 255.0f + 0.5f);
}

int green(const Ogre::Image& map, unsigned column, unsigned row)
{
    return int(map.getColourAt(column, row, 0).g * 255.0f + 0.5f);
}

// The mean of the texel and its two neighbours across the row, or along the column.
Ogre::ColourValue meanOf(const Ogre::Image& map, unsigned column, unsigned row, bool alongColumn = false)
{
    Ogre::ColourValue sum(0, 0, 0, 0);
    for (int offset = -1; offset <= 1; ++offset)
        sum += map.getColourAt(alongColumn ? column : column + offset, alongColumn ? row + offset : row, 0);
    return sum / 3.0f;
}

class SoundMapGenerator : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(world.load(room(), "echo", true)); }

    // Runs a generator of the room to its end and reads what it wrote.
    Ogre::Image generate()
    {
        game::LevelSoundMapGenerator generator(&world.level(), file, WIDTH, HEIGHT, &source);
        EXPECT_TRUE(generator.start());
        while (generator.getState() != game::LevelMapGenerator::STATE_FINISHED)
            brix::Thread::sleep(1);
        return test::MapWorld::readMap(file);
    }

    test::MapWorld world;
    test::MapSource source;
    const std::string file = world.userMapFile("echo", "_test.png");
};

TEST_F(SoundMapGenerator, RedIsTheNearestFacingWallAndGreenTheMeanOpenness)
{
    const Ogre::Image map = generate();
    ASSERT_EQ(WIDTH, map.getWidth());
    ASSERT_EQ(HEIGHT, map.getHeight());
    // (0.25, 1.25): the floor 1.25 below is the nearest wall facing a ray; half the rays
    // leave the room upwards, so the mean distance is past the top of the scale.
    EXPECT_EQ(31, red(map, 27, 11));
    EXPECT_EQ(255, green(map, 27, 11));
    // (7.75, 2.25): the wall a quarter unit away; three rays climb out of the room.
    EXPECT_EQ(6, red(map, 42, 9));
    EXPECT_EQ(184, green(map, 42, 9));
    EXPECT_EQ(1.0f, map.getColourAt(42, 9, 0).a);
    EXPECT_EQ(0.0f, map.getColourAt(42, 9, 0).b);
}

TEST_F(SoundMapGenerator, RowZeroIsTheTopOfTheLevel)
{
    const Ogre::Image map = generate();
    // Above everything the floor is 6.75 below; under the floor it is 4.25 above.
    EXPECT_EQ(172, red(map, 27, 0));
    EXPECT_EQ(108, red(map, 27, HEIGHT - 1));
}

TEST_F(SoundMapGenerator, FillsTexelsInsideWallsFromTheOpenSpaceTwoDeep)
{
    const Ogre::Image map = generate();
    // The floor takes rows 14 to 17: the outer rows from the open rows beside them, the inner
    // ones from those in the second pass.
    for (unsigned column : {12u, 27u, 40u})
    {
        SCOPED_TRACE(column);
        const Ogre::ColourValue above = meanOf(map, column, 13);
        const Ogre::ColourValue filled = map.getColourAt(column, 14, 0);
        EXPECT_NEAR(above.r, filled.r, TWO_BYTES);
        EXPECT_NEAR(above.g, filled.g, TWO_BYTES);
        EXPECT_NEAR(meanOf(map, column, 14).r, map.getColourAt(column, 15, 0).r, TWO_BYTES);
        EXPECT_NEAR(meanOf(map, column, 18).r, map.getColourAt(column, 17, 0).r, TWO_BYTES);
        EXPECT_NEAR(meanOf(map, column, 17).r, map.getColourAt(column, 16, 0).r, TWO_BYTES);
        EXPECT_GT(filled.r, 0.0f);
        EXPECT_EQ(1.0f, filled.a);
    }
    // The wall between x = 8 and 9 takes the colour of the room on one side, of the outside
    // on the other.
    EXPECT_NEAR(meanOf(map, 42, 9, true).r, map.getColourAt(43, 9, 0).r, TWO_BYTES);
    EXPECT_NEAR(meanOf(map, 45, 9, true).g, map.getColourAt(44, 9, 0).g, TWO_BYTES);
}

TEST_F(SoundMapGenerator, TheLevelLoadsTheFinishedMapAndSamplesIt)
{
    EXPECT_TRUE(world.level().generateSoundMap(&source));
    world.runGenerators();
    ASSERT_TRUE(world.level().hasSoundMap());
    float red = 0.0f;
    float green = 0.0f;
    // Five above the middle of the floor.
    world.level().sampleSoundMap(Ogre::Vector3(0, 5, 0), red, green);
    EXPECT_NEAR(0.5f, red, 0.02f);
    EXPECT_EQ(1.0f, green);
}
} // namespace
