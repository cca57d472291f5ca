#include "support/game/mapworld.h"
#include "support/logcapture.h"

#include "game/level/level.h"
#include "game/level/levelmapgenerator.h"
#include "toolkit/file.h"
#include "toolkit/thread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace
{
using game::LevelMapGenerator;

// Holds its first sample until an abort is asked for, so the abort lands in the first row.
class StalledGenerator : public LevelMapGenerator
{
public:
    using LevelMapGenerator::LevelMapGenerator;
    // Its sample runs on the worker: the worker stops before this object goes.
    ~StalledGenerator() override { abort(); }

protected:
    Ogre::ColourValue sample(float, float) override
    {
        while (getState() == STATE_RUNNING)
            brix::Thread::yield();
        return Ogre::ColourValue::White;
    }
};

class MapQueue : public testing::Test
{
protected:
    void SetUp() override
    {
        test::LevelBuilder builder;
        ASSERT_TRUE(world.load(builder.smallRoom(), "queue", true));
    }

    test::MapWorld world;
    test::MapSource source;
};

TEST_F(MapQueue, TakesTwoRequestsRefusesAThirdAndRunsThemInOrder)
{
    game::Level& level = world.level();
    EXPECT_TRUE(level.generateLightMap(&source));
    EXPECT_TRUE(level.generateSoundMap(&source));
    EXPECT_FALSE(level.generateLightMap(&source));
    EXPECT_FALSE(level.generateSoundMap(&source));
    EXPECT_EQ(2u, level.getMapGeneratorCount());
    // The light map runs first; once it is finished and dropped, a request is taken again.
    while (level.getMapGeneratorCount() == 2)
    {
        level.updateMapGenerators();
        brix::Thread::sleep(1);
    }
    EXPECT_TRUE(brix::File::fileExists(world.userMapFile("queue", game::Level::LIGHT_MAP_SUFFIX)));
    EXPECT_FALSE(brix::File::fileExists(world.userMapFile("queue", game::Level::SOUND_MAP_SUFFIX)));
    EXPECT_TRUE(level.generateLightMap(&source));
    world.runGenerators();
    EXPECT_TRUE(level.hasLightMap());
    EXPECT_TRUE(level.hasSoundMap());
}

TEST_F(MapQueue, AnAbortInTheFirstRowWritesNothing)
{
    test::LogCapture log;
    const std::string file = world.userMapFile("queue", "_stalled.png");
    StalledGenerator generator(&world.level(), file, 16, 16);
    ASSERT_TRUE(generator.start());
    EXPECT_EQ(LevelMapGenerator::STATE_RUNNING, generator.getState());
    generator.abort();
    EXPECT_EQ(LevelMapGenerator::STATE_IDLE, generator.getState());
    EXPECT_FALSE(brix::File::fileExists(file));
    EXPECT_THAT(log.lines(), testing::Contains("D Level map '" + file + "' generating aborted"));
    // Aborted, it may start again, but not twice.
    ASSERT_TRUE(generator.start());
    EXPECT_FALSE(generator.start());
}

TEST_F(MapQueue, DeletingARunningGeneratorStopsItsThreadFirst)
{
    const std::string file = world.userMapFile("queue", "_deleted.png");
    auto generator = std::make_unique<StalledGenerator>(&world.level(), file, 16, 16);
    ASSERT_TRUE(generator->start());
    generator.reset();
    EXPECT_FALSE(brix::File::fileExists(file));

    // The level does the same with its queue when its scene goes.
    EXPECT_TRUE(world.level().generateSoundMap(&source));
    world.level().updateMapGenerators();
    world.level().destroyScene();
    EXPECT_EQ(0u, world.level().getMapGeneratorCount());
}

TEST_F(MapQueue, ALevelWithoutItsSceneIsNotSampled)
{
    test::LogCapture log;
    world.level().destroyScene();
    EXPECT_TRUE(world.level().generateLightMap(&source));
    world.level().updateMapGenerators();
    EXPECT_EQ(0u, world.level().getMapGeneratorCount());
    const std::string file = world.userMapFile("queue", game::Level::LIGHT_MAP_SUFFIX);
    EXPECT_FALSE(brix::File::fileExists(file));
    EXPECT_THAT(log.errors(), testing::Contains("E Level map '" + file + "' needs the level's scene"));
}
} // namespace
