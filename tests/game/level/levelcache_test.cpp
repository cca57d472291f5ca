#include "support/game/levelbuilder.h"
#include "support/game/levelworld.h"
#include "support/logcapture.h"
#include "support/ogre/headlessogre.h"
#include "support/workingfolder.h"

#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"

#include <OgreResourceGroupManager.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <cstdio>

namespace
{
using game::LevelCache;

bool contains(const std::vector<std::string>& lines, const std::string& text)
{
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

std::vector<std::string> levelNames(const LevelCache& cache, unsigned value, unsigned mask)
{
    std::vector<std::string> names;
    cache.getLevelNames(names, value, mask);
    return names;
}

void setFileTime(const std::string& path, time_t time)
{
    utimbuf times{time, time};
    ASSERT_EQ(0, utime(path.c_str(), &times));
}

TEST(LevelCache, FindsBuiltInAndUserLevelsWithTheirFlags)
{
    test::LevelWorld world;
    test::LevelBuilder arena;
    arena.row("techfloor", -4, 4, 4, -0.5f)
        .special("mpstart", Ogre::Vector3(0, 1, 0))
        .title("Mine")
        .author("Me");
    ASSERT_TRUE(world.load(arena, "myarena"));
    // A user level named like a built-in one stays hidden behind it.
    test::LevelBuilder impostor;
    ASSERT_TRUE(impostor.smallRoom().title("Impostor").save(world.level(), "sp01"));
    // A file in the player's folder is the player's, whatever it says of itself.
    test::writeFile(world.userLevelFile("claimer"),
                    "<level><builtin>true</builtin><points><point><type>special</type><position>0 0 0"
                    "</position><name>spstart</name></point></points></level>");
    world.level().updateLevelCache();

    const LevelCache& cache = *world.level().getLevelCache();
    EXPECT_EQ(unsigned(LevelCache::FLAG_SINGLE_PLAYER | LevelCache::FLAG_BUILTIN), cache.getFlags("sp01"));
    EXPECT_EQ("levels/sp01.xml", cache.getFileName("sp01"));
    EXPECT_EQ("First Steps", cache.getTitle("sp01"));
    EXPECT_EQ(unsigned(LevelCache::FLAG_MULTIPLAYER | LevelCache::FLAG_BUILTIN), cache.getFlags("arena"));
    EXPECT_EQ(unsigned(LevelCache::FLAG_MULTIPLAYER), cache.getFlags("myarena"));
    EXPECT_EQ("Mine", cache.getTitle("myarena"));
    EXPECT_EQ("Me", cache.getAuthor("myarena"));
    EXPECT_EQ(world.userLevelFile("myarena"), cache.getFileName("myarena"));
    EXPECT_EQ(unsigned(LevelCache::FLAG_SINGLE_PLAYER), cache.getFlags("claimer"));

    const std::vector<std::string> campaign = {"sp01", "sp02", "sp03", "sp04", "sp05",
                                               "sp06", "sp07", "sp08", "sp09", "sp10"};
    const std::vector<std::string> arenas = {"arena", "armory", "myarena", "pit", "square"};
    std::vector<std::string> singles = campaign;
    singles.insert(singles.begin(), "claimer");
    EXPECT_EQ(singles, levelNames(cache, 1, 1));
    EXPECT_EQ(arenas, levelNames(cache, 2, 2));
    EXPECT_EQ(std::vector<std::string>({"claimer", "myarena"}), levelNames(cache, 0, 4));
    std::vector<std::string> all = arenas;
    all.insert(all.end(), singles.begin(), singles.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, levelNames(cache, 0, 0));
    EXPECT_FALSE(cache.hasLevel("Arena"));
    EXPECT_EQ(0u, cache.getChecksum("nosuch"));
    EXPECT_EQ("", cache.getFileName("nosuch"));
    // The level as loaded, and where its scores are kept, agree with the cache.
    char claimer[32];
    std::snprintf(claimer, sizeof claimer, "claimer@%x", cache.getChecksum("claimer"));
    EXPECT_EQ(claimer, world.level().getHighScoreName("claimer"));
    EXPECT_EQ("sp01", world.level().getHighScoreName("sp01"));
    ASSERT_TRUE(world.level().load("claimer", false));
    EXPECT_FALSE(world.level().isBuiltin());
    ASSERT_TRUE(world.level().load("sp01", false));
    EXPECT_TRUE(world.level().isBuiltin());

    // The saved cache reads back the same, checksums of any size included.
    LevelCache reread(world.userDirectory(), world.level());
    for (const char* name : {"sp01", "arena", "myarena"})
    {
        EXPECT_EQ(cache.getChecksum(name), reread.getChecksum(name)) << name;
        EXPECT_EQ(cache.getFlags(name), reread.getFlags(name)) << name;
        EXPECT_EQ(cache.getFileName(name), reread.getFileName(name)) << name;
    }
}

TEST(LevelCache, StoresChecksumsAboveTheSignedRangeAsNegativeNumbers)
{
    test::TempDir user;
    test::writeFile(user.file("levels.xml"),
                    "<levels><version>17039876</version><level><name>big</name><title>Bi\x1bg\xe2\x80\xae"
                    "</title><file>x.xml</file><flags>4</flags><checksum>-1412628480</checksum>"
                    "<modificationtime>7</modificationtime></level></levels>");
    brix::Simulator simulator(false, 0.0125f);
    const game::Level level(nullptr, &simulator, user.path());
    const LevelCache& cache = *level.getLevelCache();
    EXPECT_EQ(0xABCD0000u, cache.getChecksum("big"));
    EXPECT_EQ("Big", cache.getTitle("big"));
    cache.save(user.file("copy.xml"));
    EXPECT_NE(std::string::npos,
              test::readFile(user.file("copy.xml")).find("<checksum>-1412628480</checksum>"));
}

TEST(LevelCache, StartsOverFromAnOlderOrBrokenCacheFile)
{
    // The older cache was written under the rules before: it lists a level the game does not
    // play (a point of no known type), and a player's level as built in for what its file says,
    // neither file changed since.
    const std::string claim = "<level><builtin>true</builtin><points><point><type>special</type>"
                              "<position>0 0 0</position><name>spstart</name></point></points></level>";
    for (std::string content :
         {"<levels><version>17039875</version><level><name>odd</name><file>FILE</file>"
          "<flags>2</flags><modificationtime>1000000</modificationtime></level><level><name>claimer"
          "</name><file>CLAIMER</file><flags>5</flags><modificationtime>1000000</modificationtime>"
          "<size>SIZE</size></level></levels>",
          "<levels><version>17039876</version><level><name>broken</level></levels>"})
    {
        test::LevelWorld world;
        const std::string path = world.userDirectory() + "/levels.xml", odd = world.userLevelFile("odd");
        const std::string claimer = world.userLevelFile("claimer");
        test::writeFile(odd, "<level><points><point><type>portal</type><position>0 0 0</position>"
                             "<name>mpstart</name></point></points></level>");
        test::writeFile(claimer, claim);
        setFileTime(odd, 1000000);
        setFileTime(claimer, 1000000);
        const bool older = content.find("17039875") != std::string::npos;
        if (older)
        {
            content.replace(content.find("FILE"), 4, odd);
            content.replace(content.find("CLAIMER"), 7, claimer);
            content.replace(content.find("SIZE"), 4, std::to_string(claim.size()));
        }
        test::writeFile(path, content);
        test::LogCapture log;
        LevelCache cache(world.userDirectory(), world.level());
        EXPECT_FALSE(cache.hasLevel("odd"));
        EXPECT_TRUE(contains(log.errors(), "E Level cache loading failed, recreating cache.."));
        if (older)
        {
            EXPECT_TRUE(contains(log.errors(),
                                 "E Level cache (" + path + ") version mismatch (01040203 vs 01040204)"));
        }
        cache.update();
        EXPECT_TRUE(cache.hasLevel("sp01"));
        EXPECT_FALSE(cache.hasLevel("odd"));
        EXPECT_FALSE(contains(levelNames(cache, 2, 2), "odd"));
        EXPECT_EQ(unsigned(LevelCache::FLAG_SINGLE_PLAYER), cache.getFlags("claimer"));
        EXPECT_TRUE(LevelCache(world.userDirectory(), world.level()).hasLevel("sp01"));
    }
}

TEST(LevelCache, RescansTouchedLevelsAndDropsMissingOnes)
{
    test::LevelWorld world;
    test::LevelBuilder builder;
    ASSERT_TRUE(world.load(builder.smallRoom().title("First"), "mine"));
    const std::string file = world.userLevelFile("mine");
    const std::string cacheFile = world.userDirectory() + "/levels.xml";
    const LevelCache& cache = *world.level().getLevelCache();
    setFileTime(file, 1000000);
    world.level().updateLevelCache();
    const unsigned firstChecksum = cache.getChecksum("mine");

    // New content of the same size under the old time is not looked at.
    ASSERT_TRUE(test::LevelBuilder(builder).title("Fifth").save(world.level(), "mine"));
    setFileTime(file, 1000000);
    world.level().updateLevelCache();
    EXPECT_EQ("First", cache.getTitle("mine"));
    // A new time is.
    setFileTime(file, 2000000);
    world.level().updateLevelCache();
    EXPECT_EQ("Fifth", cache.getTitle("mine"));
    EXPECT_NE(firstChecksum, cache.getChecksum("mine"));
    // So is a file rewritten within the same second to another size.
    ASSERT_TRUE(test::LevelBuilder(builder).title("Second").save(world.level(), "mine"));
    setFileTime(file, 2000000);
    world.level().updateLevelCache();
    EXPECT_EQ("Second", cache.getTitle("mine"));

    // A file that no longer reads is dropped, and so is a deleted one; the cache file follows.
    test::writeFile(file, "<level><title>broken</level>");
    setFileTime(file, 3000000);
    {
        test::LogCapture log;
        world.level().updateLevelCache();
        EXPECT_FALSE(cache.hasLevel("mine"));
        EXPECT_TRUE(contains(log.lines(), "I Removing invalid level 'mine' from cache"));
    }
    // So is one that reads but that the game would refuse to load, each for its cause.
    const std::string start = "<type>special</type><position>0 0 0</position><name>mpstart</name>";
    const std::pair<const char*, std::string> unplayable[] = {
        {"unknown type", "<type>portal</type><position>0 0 0</position><name>mpstart</name>"},
        {"no position", "<type>special</type><name>mpstart</name>"},
        {"unknown block", "<type>block</type><position>0 0 0</position><name>nosuchblock</name>"},
        {"nameless entity", "<type>entity</type><position>0 0 0</position>"}};
    time_t time = 3000000;
    for (const auto& level : unplayable)
    {
        test::writeFile(file, "<level><points><point>" + start + "</point><point>" + level.second +
                                  "</point></points></level>");
        setFileTime(file, time += 1000);
        world.level().updateLevelCache();
        EXPECT_FALSE(cache.hasLevel("mine")) << level.first;
        test::writeFile(file, "<level><points><point>" + start + "</point></points></level>");
        setFileTime(file, time += 1000);
        world.level().updateLevelCache();
        EXPECT_TRUE(cache.hasLevel("mine")) << level.first;
    }
    ASSERT_TRUE(builder.save(world.level(), "gone"));
    world.level().updateLevelCache();
    ASSERT_TRUE(cache.hasLevel("gone"));
    std::remove(world.userLevelFile("gone").c_str());
    world.level().updateLevelCache();
    EXPECT_FALSE(cache.hasLevel("gone"));
    EXPECT_EQ(std::string::npos, test::readFile(cacheFile).find("<name>gone</name>"));
    EXPECT_NE(std::string::npos, test::readFile(cacheFile).find("<name>sp01</name>"));
}

TEST(LevelCache, FlagsEveryLevelOfTheBuiltInFolderBuiltInAlsoAfterARescan)
{
    test::HeadlessOgre ogre;
    test::WorkingFolder folder;
    test::TempDir user;
    const std::string level = "<level><builtin>false</builtin><points><point><type>special</type>"
                              "<position>0 0 0</position><name>spstart</name></point></points></level>";
    folder.write("levels/plain.xml", level);
    setFileTime(folder.path() + "/levels/plain.xml", 1000000);
    Ogre::ResourceGroupManager& groups = Ogre::ResourceGroupManager::getSingleton();
    groups.createResourceGroup(LevelCache::RESOURCE_GROUP);
    groups.addResourceLocation(LevelCache::BUILTIN_ARCHIVE, "FileSystem", LevelCache::RESOURCE_GROUP);

    brix::Simulator simulator(false, 0.0125f);
    game::Level owner(nullptr, &simulator, user.path());
    LevelCache& cache = *owner.getLevelCache();
    cache.update();
    const unsigned builtInSinglePlayer = LevelCache::FLAG_SINGLE_PLAYER | LevelCache::FLAG_BUILTIN;
    EXPECT_EQ(builtInSinglePlayer, cache.getFlags("plain"));
    EXPECT_EQ("levels/plain.xml", cache.getFileName("plain"));
    folder.write("levels/plain.xml", level + "<!-- touched -->");
    setFileTime(folder.path() + "/levels/plain.xml", 2000000);
    cache.update();
    EXPECT_EQ(builtInSinglePlayer, cache.getFlags("plain"));

    // Without the resource group an update can tell nothing, so it changes nothing.
    groups.destroyResourceGroup(LevelCache::RESOURCE_GROUP);
    cache.update();
    EXPECT_TRUE(cache.hasLevel("plain"));
}

// A level written anew under the time and size the cache knows is read again when refreshed by
// name, as the editor does after a save, and the cache counts the change.
TEST(LevelCache, RefreshReadsALevelAgainWhateverItsTimeSays)
{
    test::LevelWorld world;
    test::LevelBuilder builder;
    ASSERT_TRUE(world.load(builder.smallRoom().title("First"), "mine"));
    const std::string file = world.userLevelFile("mine");
    setFileTime(file, 1000000);
    world.level().updateLevelCache();
    ASSERT_TRUE(test::LevelBuilder(builder).title("Other").save(world.level(), "mine"));
    setFileTime(file, 1000000);
    LevelCache& cache = *world.level().getLevelCache();
    const unsigned revision = cache.getRevision();
    cache.refresh("mine");
    EXPECT_EQ("Other", cache.getTitle("mine"));
    EXPECT_NE(revision, cache.getRevision());
}
} // namespace
