#include "support/game/gameworld.h"
#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"
#include "support/logcapture.h"
#include "support/workingfolder.h"

#include "engine/core/body.h"
#include "engine/core/bodytemplate.h"
#include "engine/core/simulator.h"
#include "game/level/block.h"
#include "game/level/datafile.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/multiplayer/playermanager.h"
#include "toolkit/file.h"
#include "toolkit/xmlelement.h"

#include <OgreSceneManager.h>

#include <gtest/gtest.h>

#include <utime.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace
{
using game::LevelPoint;

bool contains(const std::vector<std::string>& lines, const std::string& text)
{
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

// A body template of a box 0.5 wide, 1 high and 0.5 deep that falls.
void addCrateTemplate(brix::Simulator& simulator)
{
    brix::BodyTemplate* crate = simulator.createTemplate("testcrate");
    brix::BodyTemplate::TShape box;
    box.type = brix::BodyTemplate::SHAPE_BOX;
    box.size = Ogre::Vector3(0.5f, 1.0f, 0.5f);
    crate->addShape(box);
    crate->setMass(10.0f);
    crate->setMaterial("level");
}

brix::Body* dropCrate(brix::Simulator& simulator, const Ogre::Vector3& position,
                      const Ogre::Vector3& velocity = Ogre::Vector3::ZERO)
{
    brix::Body* crate = simulator.createBody("testcrate");
    crate->deploy(position, Ogre::Quaternion::IDENTITY, velocity, Ogre::Vector3::ZERO);
    return crate;
}

// Writes a level file by hand into the user's level folder, for contents the level itself
// would never write.
void writeUserLevel(test::LevelWorld& world, const std::string& name, const std::string& points)
{
    test::writeFile(world.userLevelFile(name),
                    "<level><version>1.4.2</version><title>Hand made</title><targettime>42.5</targettime>" +
                        points + "</level>");
}

TEST(Level, SavesAndReloadsEveryKindOfPointWithItsHeader)
{
    test::LevelWorld world;
    const Ogre::Quaternion turned(Ogre::Degree(90), Ogre::Vector3::UNIT_Z);
    test::LevelBuilder builder;
    builder.title("Round trip").author("Tester").next("sp01").targetTime(75.5f);
    builder.block("techfloor", Ogre::Vector3(0, -0.5f, 0), turned)
        .entity("platform", Ogre::Vector3(1, 2, 0.5f), "closed", turned, {Ogre::Vector3(1, 6, 0.5f)})
        .special("hint", Ogre::Vector3(3, 1, 0), "Jump!");
    // What each type does not use is dropped on saving.
    std::vector<LevelPoint> points = builder.points();
    points[0].state = "lost";
    points[0].value = "lost";
    points[1].value = "lost";
    points[2].orientation = turned;
    ASSERT_TRUE(builder.save(world.level(), "roundtrip"));
    world.level().getPoints() = points;
    ASSERT_TRUE(world.level().save());

    ASSERT_TRUE(world.load("roundtrip"));
    game::Level& level = world.level();
    EXPECT_EQ("roundtrip", level.getName());
    EXPECT_EQ(world.userLevelFile("roundtrip"), level.getFileName());
    EXPECT_EQ("Round trip", level.getTitle());
    EXPECT_EQ("Tester", level.getAuthor());
    EXPECT_EQ("sp01", level.getNext());
    EXPECT_FLOAT_EQ(75.5f, level.getTargetTime());
    EXPECT_EQ(0x01040200u, level.getVersion());
    EXPECT_FALSE(level.isBuiltin());
    ASSERT_EQ(3u, level.getPoints().size());

    const LevelPoint& block = level.getPoints()[0];
    EXPECT_EQ(unsigned(LevelPoint::TYPE_BLOCK), block.type);
    EXPECT_EQ("techfloor", block.name);
    EXPECT_TRUE(block.orientation.equals(turned, Ogre::Degree(0.01f)));
    EXPECT_EQ("", block.state);
    EXPECT_EQ("", block.value);
    const LevelPoint& entity = level.getPoints()[1];
    EXPECT_EQ(unsigned(LevelPoint::TYPE_ENTITY), entity.type);
    EXPECT_EQ("closed", entity.state);
    EXPECT_EQ("", entity.value);
    ASSERT_EQ(2u, entity.positions.size());
    EXPECT_EQ(Ogre::Vector3(1, 6, 0.5f), entity.positions[1]);
    const LevelPoint& hint = level.getPoints()[2];
    EXPECT_EQ("Jump!", hint.value);
    EXPECT_EQ(Ogre::Quaternion::IDENTITY, hint.orientation);

    // The checksum is the file's, and the cache agrees.
    brix::XMLElement file("level");
    ASSERT_GE(file.load(level.getFileName()), 0);
    EXPECT_EQ("1.4.2", file.getValue("version", ""));
    EXPECT_EQ(game::calculateDataChecksum(file), level.getChecksum());
    EXPECT_EQ(level.getChecksum(), level.getLevelCache()->getChecksum("roundtrip"));
}

TEST(Level, RefusesBadPointsAndLeavesNothingOfTheLevelBehind)
{
    struct TCase
    {
        std::string points;
        std::string error;
    };
    const TCase cases[] = {
        {"<point><type>door</type><position>0 0 0</position></point>", "Unsupported level point type 'door'"},
        {"<point><type>special</type><name>hint</name></point>",
         "Level point definition without position(s)"},
        {"<point><type>block</type><position>0 0 0</position><name>nosuch</name></point>",
         "Reference to non-existing level block 'nosuch'"},
        {"<point><type>entity</type><position>0 0 0</position></point>", "Level entity point with no name"},
        // What the file names reaches the log as cleanly as its texts reach the screen.
        {"<point><type>block</type><position>0 0 0</position>"
         "<name>no\x1b[2J\xe2\x80\xaesuch\xff</name></point>",
         "Reference to non-existing level block 'no[2Jsuch'"},
        // A stranger's long name is quoted short.
        {"<point><type>" + std::string(1024, 'd') + "</type><position>0 0 0</position></point>",
         "Unsupported level point type '" + std::string(game::LevelPoint::MAX_QUOTE_SIZE, 'd') + "...'"},
        {"<point><type>entity</type><position>0 0 0</position><name>ghost</name></point>",
         "Reference to non-existing entity 'ghost'"},
    };
    test::LevelWorld world;
    // The game world tells the level which prototypes exist, and the match start is the host's.
    test::GameWorld entities(world);
    entities.loadEntities();
    game::PlayerManager players;
    players.initialize(&entities.events(), nullptr, &world.level(), &entities.entities(), nullptr);
    for (const TCase& bad : cases)
    {
        SCOPED_TRACE(bad.error);
        test::LevelBuilder good;
        good.smallRoom().title("Good");
        ASSERT_TRUE(world.load(good, "good"));
        writeUserLevel(world, "bad",
                       std::string("<points><point><type>special</type><position>1 1 0</position>"
                                   "<name>mpstart</name></point>") +
                           bad.points + "</points>");
        test::LogCapture log;
        // The level cache lists no level that load refuses: it checks the same way.
        EXPECT_FALSE(world.load("bad"));
        EXPECT_FALSE(world.level().getLevelCache()->hasLevel("bad"));
        EXPECT_TRUE(contains(log.errors(), "E Error loading level file '" + world.userLevelFile("bad") +
                                               "': point 1: " + bad.error));
        // Nor does the match start take it, for the same cause, from a listed level's file that has
        // come to hold it since the last scan.
        test::writeFile(world.userLevelFile("good"), test::readFile(world.userLevelFile("bad")));
        world.level().clear();
        EXPECT_FALSE(players.startMatch("good", 0, false, false));
        EXPECT_TRUE(contains(log.errors(), "E " + bad.error));
        EXPECT_TRUE(contains(log.errors(), "E Level 'good' loading failed"));
        const game::Level& level = world.level();
        EXPECT_EQ("", level.getName());
        EXPECT_EQ("", level.getTitle());
        EXPECT_EQ(0u, level.getChecksum());
        EXPECT_EQ(0.0f, level.getTargetTime());
        EXPECT_TRUE(level.getPoints().empty());
        EXPECT_TRUE(level.getMultiplayerStarts().empty());
    }
    // Nor does a level the cache does not know or one whose file no longer reads: the level held
    // stays as it was, nothing of the failed one mixed in.
    test::LevelBuilder timed;
    ASSERT_TRUE(world.load(timed.smallRoom().targetTime(30), "timed"));
    const unsigned checksum = world.level().getChecksum();
    const size_t points = world.level().getPoints().size();
    test::writeFile(world.userLevelFile("timed"), "<level><title>Cut</level>");
    test::LogCapture log;
    EXPECT_FALSE(world.level().load("timed", false));
    EXPECT_FALSE(world.level().load("missing", false));
    EXPECT_TRUE(contains(log.errors(), "E File name for level 'missing' not found in cache"));
    EXPECT_EQ("timed", world.level().getName());
    EXPECT_EQ(30.0f, world.level().getTargetTime());
    EXPECT_EQ(checksum, world.level().getChecksum());
    EXPECT_EQ(points, world.level().getPoints().size());
}

// The game, the level cache and the level's writer draw each limit at the same place: a level
// exactly at it is read by both readers and written, one past it by none of them.
TEST(Level, TakesALevelExactlyAtEachLimitAndNoneOnePast)
{
    const auto points = [](unsigned count, unsigned positions)
    {
        std::string point = "<point><type>entity</type>", text = "<level><points>";
        while (positions-- > 0)
            point += "<position>1 2 0</position>";
        while (count-- > 0)
            text += point + "<name>lift</name></point>";
        return text + "</points></level>";
    };
    const auto sized = [](unsigned size)
    { return "<level><title>" + std::string(size - 30, 'x') + "</title></level>"; };
    const unsigned most = game::Level::MAX_POINTS, route = LevelPoint::MAX_POSITIONS,
                   largest = game::Level::MAX_FILE_SIZE;
    const std::pair<std::string, bool> files[] = {{points(most, 1), true},  {points(most + 1, 1), false},
                                                  {points(1, route), true}, {points(1, route + 1), false},
                                                  {sized(largest), true},   {sized(largest + 1), false}};
    test::LevelWorld world;
    game::Level& level = world.level();
    test::LevelBuilder good;
    good.smallRoom();
    for (const auto& limit : files)
    {
        const std::string name = "limit" + std::to_string(&limit - files), file = world.userLevelFile(name);
        SCOPED_TRACE(name);
        ASSERT_TRUE(world.load(good, name));
        test::writeFile(file, limit.first);
        EXPECT_EQ(limit.second, level.load(name, false));
        utimbuf later{2000000, 2000000};
        ASSERT_EQ(0, utime(file.c_str(), &later));
        level.updateLevelCache();
        EXPECT_EQ(limit.second, level.getLevelCache()->hasLevel(name));
    }

    // Written at the limits; one point or position past them, not written. The readers and the
    // writer word the position limit alike.
    ASSERT_TRUE(world.load("limit0"));
    level.getPoints()[0].positions.assign(route, Ogre::Vector3::UNIT_X);
    EXPECT_TRUE(level.save());
    level.getPoints().push_back(level.getPoints()[1]);
    EXPECT_FALSE(level.save());
    level.getPoints().pop_back();
    level.getPoints()[0].positions.push_back(Ogre::Vector3::UNIT_X);
    const std::string tooMany = "point 0 ('lift'): more than the 64 positions a point may have";
    {
        test::LogCapture log;
        EXPECT_FALSE(level.save());
        EXPECT_TRUE(contains(log.errors(), "E Error saving level '" + level.getFileName() + "': " + tooMany));
    }
    // A file of the largest size is written and read; one byte more keeps the file as it was.
    level.getPoints().assign(1, level.getPoints()[1]);
    level.setTitle(std::string(100, 'x'));
    ASSERT_TRUE(level.save());
    level.setTitle(std::string(100 + largest - brix::File::fileSize(level.getFileName()), 'x'));
    EXPECT_TRUE(level.save());
    level.setTitle(level.getTitle() + "x");
    test::LogCapture log;
    EXPECT_FALSE(level.save());
    EXPECT_TRUE(contains(log.errors(), "E Error saving level '" + level.getFileName() +
                                           "': Text of 2097153 bytes, more than the 2097152 allowed"));
    EXPECT_EQ(largest, brix::File::fileSize(level.getFileName()));
    EXPECT_TRUE(world.load("limit0"));
    // The whole size counts: a file just past 4 GiB (sparse: the level's text, then zeros, where
    // the reader would stop) is refused, not taken for the one byte 32 bits of its size leave.
    const std::string file = level.getFileName();
    std::filesystem::resize_file(file, (std::uintmax_t(1) << 32) + 1);
    utimbuf latest{3000000, 3000000};
    ASSERT_EQ(0, utime(file.c_str(), &latest));
    EXPECT_FALSE(level.load("limit0", false));
    EXPECT_TRUE(contains(log.errors(), "E Error loading level '" + file +
                                           "': 4294967297 bytes, more than the 2097152 a level may have"));
    level.updateLevelCache();
    EXPECT_FALSE(level.getLevelCache()->hasLevel("limit0"));
    // A listed level whose file came to hold a position too many since: load and the cache's
    // scan refuse it in the writer's words.
    const std::string route2 = world.userLevelFile("limit2");
    test::writeFile(route2, points(1, route + 1));
    EXPECT_FALSE(level.load("limit2", false));
    level.updateLevelCache();
    EXPECT_FALSE(level.getLevelCache()->hasLevel("limit2"));
    EXPECT_TRUE(contains(log.errors(), "E Error loading level '" + route2 + "': " + tooMany));
    EXPECT_TRUE(contains(log.errors(), "E Error loading level file '" + route2 + "': " + tooMany));
}

TEST(Level, ReadsWhatAHandWrittenFileLeavesOut)
{
    test::LevelWorld world;
    writeUserLevel(world, "bare", "");
    writeUserLevel(world, "loose",
                   "<points><point><type>special</type><position>1 2</position><position>4 5 6</position>"
                   "<orientation>bad</orientation><name>MPSTART</name></point></points>");
    ASSERT_TRUE(world.load("bare"));
    EXPECT_TRUE(world.level().getPoints().empty());
    EXPECT_FLOAT_EQ(42.5f, world.level().getTargetTime());
    {
        test::LogCapture log;
        world.level().createScene();
        EXPECT_EQ(Ogre::Vector3::ZERO, world.level().getSinglePlayerStart());
        EXPECT_EQ(Ogre::Vector3::ZERO, world.level().getRandomMultiplayerStart());
        EXPECT_TRUE(contains(log.errors(), "E No single player start point found in level"));
        EXPECT_TRUE(contains(log.errors(), "E No multiplayer start points found in level"));
    }

    // A malformed position reads as zero, a malformed orientation as identity, and start
    // names are compared exactly.
    ASSERT_TRUE(world.load("loose"));
    const LevelPoint& point = world.level().getPoints().at(0);
    ASSERT_EQ(2u, point.positions.size());
    EXPECT_EQ(Ogre::Vector3::ZERO, point.positions[0]);
    EXPECT_EQ(Ogre::Vector3(4, 5, 6), point.positions[1]);
    EXPECT_EQ(Ogre::Quaternion::IDENTITY, point.orientation);
    EXPECT_TRUE(world.level().getMultiplayerStarts().empty());

    // Numbers that are no numbers read the same way, orientations without a direction as
    // identity and others of the wrong length made unit length: each logged with its point.
    test::writeFile(world.userLevelFile("odd"),
                    "<level><targettime>-5</targettime><points>"
                    "<point><type>entity</type><position>nan 1 2</position><position>3 -inf 0</position>"
                    "<orientation>0 0 0 0</orientation><name>platform</name></point>"
                    "<point><type>block</type><position>1 2 0</position><orientation>1 80 0 0</orientation>"
                    "<name>techfloor</name></point><point><type>special</type>"
                    "<position>250 -250 100</position><position>250.5 -250.01 -100.5</position>"
                    "<name>hint</name></point><point><type>special</type><position>250.5 1 2</position>"
                    "<position>1 -250.5 2</position><position>1 2 100.5</position><name>hint</name></point>"
                    "</points></level>");
    test::LogCapture log;
    ASSERT_TRUE(world.load("odd"));
    const LevelPoint& route = world.level().getPoints().at(0);
    EXPECT_EQ(Ogre::Vector3::ZERO, route.positions.at(0));
    EXPECT_EQ(Ogre::Vector3::ZERO, route.positions.at(1));
    EXPECT_EQ(Ogre::Quaternion::IDENTITY, route.orientation);
    const Ogre::Quaternion turned = world.level().getPoints().at(1).orientation;
    EXPECT_FLOAT_EQ(1.0f, turned.Norm());
    EXPECT_FLOAT_EQ(80.0f * turned.w, turned.x);
    EXPECT_EQ(0.0f, world.level().getTargetTime());
    // At the world's edge a position stays; past it, also on one axis alone (the depth reaches
    // less far than the other two), it is brought to the edge.
    const std::vector<Ogre::Vector3> edges{{250, -250, 100}, {250, -250, -100}},
        axes{{250, 1, 2}, {1, -250, 2}, {1, 2, 100}};
    EXPECT_EQ(edges, world.level().getPoints().at(2).positions);
    EXPECT_EQ(axes, world.level().getPoints().at(3).positions);
    EXPECT_EQ(5u, world.level().getRepairCount());
    for (const char* line :
         {"E Level 'odd' target time '-5' is not a number of seconds, read as 0",
          "E Level point 0 ('platform'): position 0 (nan 1 2) is not a number, read as zero; position 1 (3 "
          "-inf 0) "
          "is not a number, read as zero; orientation (0 0 0 0) has no direction, read as identity",
          "E Level point 1 ('techfloor'): orientation (1 80 0 0) of length 80.006250 made unit length",
          "E Level point 2 ('hint'): position 1 (250.5 -250.01 -100.5) lies outside the level world (-250 "
          "-250 -100 to 250 250 100), read as (250 -250 -100)"})
        EXPECT_TRUE(contains(log.errors(), line)) << line;

    // A stranger's texts are read clean, the title cut at its limit; the level cache reads them
    // the same way.
    const std::string title(game::Level::MAX_TITLE_SIZE, 't');
    test::writeFile(
        world.userLevelFile("stranger"),
        "<level><title>\x1b" + title +
            "x</title><author>Ev\xc2\x85"
            "e\xe2\x80\xae\x1b[0m\xff</author><points><point><type>special</type><position>1 1 0"
            "</position><value>Ju\x1bmp\xe2\x81\xa6!|Press\xc0 #JUMP#</value><name>hint</name></point>"
            "</points></level>");
    ASSERT_TRUE(world.load("stranger"));
    EXPECT_EQ(title, world.level().getTitle());
    EXPECT_EQ("Eve[0m", world.level().getAuthor());
    EXPECT_EQ("Jump!|Press #JUMP#", world.level().getPoints().at(0).value);
    EXPECT_EQ(title, world.level().getLevelCache()->getTitle("stranger"));
    EXPECT_EQ("Eve[0m", world.level().getLevelCache()->getAuthor("stranger"));
}

TEST(Level, HandsOutStartsAndTakesEachTriggerOnce)
{
    test::LevelWorld world;
    test::LevelBuilder builder;
    builder.smallRoom()
        .special("hint", Ogre::Vector3(0, 1, 0), "Crouch!")
        .special("sound", Ogre::Vector3(5, 1, 0), "")
        .special("spstart", Ogre::Vector3(6, 1, 0));
    ASSERT_TRUE(world.load(builder, "starts"));
    game::Level& level = world.level();
    EXPECT_EQ(Ogre::Vector3(-4, 1, 0), level.getSinglePlayerStart());
    ASSERT_EQ(2u, level.getMultiplayerStarts().size());
    for (int draw = 0; draw < 20; ++draw)
    {
        const Ogre::Vector3 start = level.getRandomMultiplayerStart();
        EXPECT_TRUE(start == Ogre::Vector3(-2, 1, 0) || start == Ogre::Vector3(2, 1, 0));
    }

    LevelPoint taken;
    EXPECT_FALSE(level.takeTriggerPoint(Ogre::Vector3(0, 1, 0), taken)) << "disarmed until reset";
    level.resetTriggerPoints();
    // Exactly the range away in x and in y still counts; depth does not matter.
    EXPECT_FALSE(level.takeTriggerPoint(Ogre::Vector3(1.01f, 1, 0), taken));
    ASSERT_TRUE(level.takeTriggerPoint(Ogre::Vector3(1, 2, 7), taken));
    EXPECT_EQ("hint", taken.name);
    EXPECT_EQ("Crouch!", taken.value);
    EXPECT_FALSE(level.takeTriggerPoint(Ogre::Vector3(1, 2, 7), taken));
    ASSERT_TRUE(level.takeTriggerPoint(Ogre::Vector3(5, 1, 0), taken));
    EXPECT_EQ("sound", taken.name);
    level.resetTriggerPoints();
    EXPECT_TRUE(level.takeTriggerPoint(Ogre::Vector3(0, 1, 0), taken));

    // The editor may empty the points in place; the lists made at loading must not reach past them.
    level.resetTriggerPoints();
    level.getPoints().clear();
    EXPECT_FALSE(level.takeTriggerPoint(Ogre::Vector3(5, 1, 0), taken));
    EXPECT_EQ(Ogre::Vector3::ZERO, level.getRandomMultiplayerStart()) << "the origin: no box without a scene";
}

TEST(Level, NamesHighScoresOfUserLevelsByTheirChecksum)
{
    test::LevelWorld world;
    test::LevelBuilder builder;
    ASSERT_TRUE(world.load(builder.smallRoom(), "mine"));
    game::Level& level = world.level();
    char expected[32];
    std::snprintf(expected, sizeof expected, "mine@%x", level.getChecksum());
    EXPECT_EQ(expected, level.getHighScoreName("mine"));
    EXPECT_EQ("sp01", level.getHighScoreName("sp01"));
    EXPECT_EQ("mine", game::Level::getLevelNameOfHighScoreName(expected));
    EXPECT_EQ("a", game::Level::getLevelNameOfHighScoreName("a@b@c"));
    EXPECT_EQ("plain", game::Level::getLevelNameOfHighScoreName("plain"));
}

TEST(Level, BuildsABodyThatHoldsCratesOnTheFloorAndInsideTheDepth)
{
    test::LevelWorld world;
    test::LevelBuilder builder;
    ASSERT_TRUE(world.load(builder.smallRoom(), "room"));
    game::Level& level = world.level();
    // Built again, the scene replaces the first, body and all.
    level.createScene();
    level.createScene();
    ASSERT_NE(nullptr, level.getBody());
    // The slabs' centres run from (-6, -0.5) to (6, -0.5); the margins grow that.
    EXPECT_EQ(Ogre::Vector3(-11, -5.5f, -10), level.getBoundingBox().getMinimum());
    EXPECT_EQ(Ogre::Vector3(11, 4.5f, 10), level.getBoundingBox().getMaximum());

    addCrateTemplate(world.simulator());
    brix::Body* resting = dropCrate(world.simulator(), level.getSinglePlayerStart());
    // Pushed hard towards the viewer and away from it: the depth walls stop both.
    brix::Body* towards = dropCrate(world.simulator(), Ogre::Vector3(0, 1, 0), Ogre::Vector3(0, 0, 8));
    brix::Body* away = dropCrate(world.simulator(), Ogre::Vector3(3, 1, 0), Ogre::Vector3(0, 0, -8));
    world.simulate(3.0f);
    EXPECT_NEAR(0.5f, resting->getPosition().y, 0.05f);
    EXPECT_NEAR(-4.0f, resting->getPosition().x, 0.05f);
    EXPECT_LT(towards->getPosition().z, game::Level::DEPTH_WALL_Z);
    EXPECT_GT(away->getPosition().z, -game::Level::DEPTH_WALL_Z);
    // It may topple when it bounces off the wall, but it stays on the floor.
    EXPECT_GT(towards->getPosition().y, 0.2f);

    // Rays from the play plane meet the depth walls' front faces.
    brix::TTraceContact contact;
    EXPECT_EQ(level.getBody(),
              world.simulator().traceRay(Ogre::Vector3(0, 3, 0), Ogre::Vector3(0, 3, 5), &contact, nullptr));
    EXPECT_NEAR(game::Level::DEPTH_WALL_Z, contact.position.z, 1e-4f);

    level.destroyScene();
    EXPECT_EQ(nullptr, level.getBody());
    EXPECT_FALSE(world.simulator().hasTemplate(game::Level::LEVEL_BODY));
    EXPECT_EQ(nullptr,
              world.simulator().traceRay(Ogre::Vector3(0, 3, 0), Ogre::Vector3(0, 3, 5), &contact, nullptr));
}

// What the level draws hides what stands behind it; the invisible depth walls do not, and past
// them the first thing met decides. Each ray is judged on its own hits.
TEST(Level, HidesWhatItsBlocksStandBeforeButNotWhatOnlyItsDepthWallsDo)
{
    test::LevelWorld world;
    test::LevelBuilder builder;
    // Cubes as deep as the walkway: one in the play plane, and two beyond the far depth wall,
    // the second behind a crate.
    builder.block("techcube", Ogre::Vector3(0, 0, 0))
        .block("techcube", Ogre::Vector3(4, 0, -5))
        .block("techcube", Ogre::Vector3(8, 0, -5));
    ASSERT_TRUE(world.load(builder, "cubes", true));
    const game::Level& level = world.level();
    addCrateTemplate(world.simulator());
    dropCrate(world.simulator(), Ogre::Vector3(8, 0, -2.5f));

    // Seen from before the near wall, which faces the play plane and so lets the view through.
    const struct
    {
        const char* what;
        float x;
        bool hidden;
    } views[] = {
        {"a cube in the play plane", 0, true},
        {"a cube beyond the far wall", 4, true},
        {"nothing beyond the far wall", 12, false},
        {"a crate before a cube beyond the far wall", 8, false},
    };
    for (const auto& view : views)
        EXPECT_EQ(view.hidden, level.hides(Ogre::Vector3(view.x, 0, 5), Ogre::Vector3(view.x, 0, -5)))
            << view.what;

    // Every triangle of the blocks hides, seen from its front; no triangle of the walls does.
    const std::vector<Ogre::Vector3>& mesh =
        world.simulator().getTemplate(game::Level::LEVEL_BODY)->getShape(0).points;
    const size_t walls = mesh.size() / 3 - 4;
    for (size_t triangle = 0; triangle < mesh.size() / 3; ++triangle)
    {
        const Ogre::Vector3 &a = mesh[3 * triangle], &b = mesh[3 * triangle + 1], &c = mesh[3 * triangle + 2];
        const Ogre::Vector3 normal = (b - a).crossProduct(c - a);
        if (normal.length() < 1e-6f)
            continue;
        const Ogre::Vector3 middle = (a + b + c) / 3.0f, front = normal.normalisedCopy() * 0.2f;
        EXPECT_EQ(triangle < walls, level.hides(middle + front, middle - front)) << triangle;
    }
}

TEST(Level, GivesALevelWithoutBlocksABoxAroundTheOrigin)
{
    test::LevelWorld world;
    test::LevelBuilder wide;
    wide.row("techfloor", 100, 140, 4, 50);
    ASSERT_TRUE(world.load(wide, "wide"));
    world.level().createScene();
    test::LevelBuilder empty;
    empty.special("spstart", Ogre::Vector3(30, 30, 0));
    ASSERT_TRUE(world.load(empty, "empty"));
    world.level().createScene();
    EXPECT_EQ(Ogre::Vector3(-5, -5, -10), world.level().getBoundingBox().getMinimum());
    EXPECT_EQ(Ogre::Vector3(5, 5, 10), world.level().getBoundingBox().getMaximum());
}

TEST(Level, BuildsRenderGeometryOnlyWithASceneManager)
{
    test::LevelWorld world(true);
    test::LevelBuilder builder;
    ASSERT_TRUE(world.load(builder.smallRoom().block("pipe", Ogre::Vector3(0, 3, 0)), "drawn", true));
    EXPECT_TRUE(world.sceneManager().hasStaticGeometry(game::Level::LEVEL_BODY));
    // The pipe has no body: the level body holds only the slabs and the two depth walls.
    const brix::BodyTemplate* body = world.simulator().getTemplate(game::Level::LEVEL_BODY);
    const brix::BodyTemplate* slab = world.simulator().getTemplate("techfloor");
    ASSERT_NE(nullptr, body);
    EXPECT_EQ(4 * slab->getShape(0).points.size() + 12, body->getShape(0).points.size());
    world.level().clear();
    EXPECT_FALSE(world.sceneManager().hasStaticGeometry(game::Level::LEVEL_BODY));
}

// The height of the first surface straight below the point in the play plane.
float surfaceBelow(brix::Simulator& simulator, float x, float fromY)
{
    brix::TTraceContact contact;
    if (!simulator.traceRay(Ogre::Vector3(x, fromY, 0), Ogre::Vector3(x, fromY - 20, 0), &contact, nullptr))
        return -1000.0f;
    return contact.position.y;
}

TEST(Level, LoadsTheShippedLevels)
{
    test::LevelWorld world;
    ASSERT_TRUE(world.load("sp01", true));
    game::Level& level = world.level();
    // Who falls into the gap climbs back out: its floor lies less than a metre below the floors
    // on both sides of it.
    const float pit = surfaceBelow(world.simulator(), 26.25f, 3.0f);
    EXPECT_NEAR(0.5f, pit, 1e-3f);
    for (float x : {24.0f, 28.5f})
        EXPECT_NEAR(1.25f, surfaceBelow(world.simulator(), x, 3.0f), 1e-3f) << "at x = " << x;
    EXPECT_TRUE(level.isBuiltin());
    EXPECT_EQ("levels/sp01.xml", level.getFileName());
    EXPECT_FALSE(level.isModified());
    EXPECT_EQ("First Steps", level.getTitle());
    addCrateTemplate(world.simulator());
    brix::Body* crate = dropCrate(world.simulator(), level.getSinglePlayerStart());
    world.simulate(2.0f);
    EXPECT_NEAR(0.5f, crate->getPosition().y, 0.05f);

    ASSERT_TRUE(world.load("arena", true));
    EXPECT_EQ(8u, world.level().getMultiplayerStarts().size());
    EXPECT_FALSE(world.level().isModified());

    // The shipped file changed by hand, in a copy of the levels folder, is modified.
    std::string changed = test::readFile(test::sourcePath("levels/sp01.xml"));
    changed.replace(changed.find("First Steps"), 5, "Final");
    test::WorkingFolder folder;
    folder.write("levels/sp01.xml", changed);
    ASSERT_TRUE(world.load("sp01"));
    EXPECT_EQ("Final Steps", world.level().getTitle());
    EXPECT_TRUE(world.level().isModified());
}
TEST(Level, ShipsTheLevelsItsGeneratorMakes)
{
    const char* binaries = std::getenv("KORVANE_BINARY_DIR");
    ASSERT_NE(nullptr, binaries);
    test::TempDir root;
    const std::string command =
        std::string(binaries) + "/bin/korvane-levelgen " + root.path() + " > /dev/null";
    ASSERT_EQ(0, std::system(command.c_str()));
    // Every level it makes is shipped as it makes it, and nothing else is shipped.
    const auto levelFiles = [](const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".xml")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> made = levelFiles(root.file("levels"));
    const std::vector<std::string> shipped = levelFiles(test::sourcePath("levels"));
    EXPECT_EQ(shipped, made);
    for (const std::string& name : made)
        EXPECT_EQ(test::readFile(test::sourcePath("levels/" + name)),
                  test::readFile(root.file("levels/" + name)))
            << name << " differs from what tools/level/levelgen.cpp makes";
}
} // namespace
