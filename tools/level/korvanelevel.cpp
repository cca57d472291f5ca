// Loads a level the way the game does, without a window, and prints what it holds: checksum,
// point counts, starts, box and the level body. It then starts the level as the game would, in
// single player and as a multiplayer match (scene with its render geometry, entities and the
// player's human placed in a scene without a render system), and plays a second of each. Last
// it saves a copy of the level as a user level (the original stays untouched) and reloads it,
// which must give the same checksum, or, for a level read with values in place of what it holds
// (a position that is not a number, say), read without any. Run from the source tree's root:
//
//   build/bin/korvane-level [--user DIR] [--log FILE] LEVEL
//
// DIR is the user data directory (default: a new folder under /tmp); FILE receives the game's
// log. Exits with 1 when the level cannot be loaded or played, or the round trip changes it.
#include "gamedata.h"
#include "levelplay.h"

#include "engine/core/bodytemplate.h"
#include "engine/core/simulator.h"
#include "game/level/datafile.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/world/entitymanager.h"
#include "toolkit/log.h"
#include "toolkit/xmlelement.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
// The name of the user level the round trip saves.
const char* const ROUND_TRIP_SUFFIX = "-roundtrip";
// Ticks of each test play: one second of game.
const unsigned PLAY_TICKS = 40;

void printVector(const char* label, const Ogre::Vector3& vector)
{
    std::printf("%s(%g, %g, %g)", label, vector.x, vector.y, vector.z);
}

void describe(const game::Level& level)
{
    std::printf("level '%s' in %s: \"%s\" by \"%s\", target time %g s, next '%s'%s\n",
                level.getName().c_str(), level.getFileName().c_str(), level.getTitle().c_str(),
                level.getAuthor().c_str(), level.getTargetTime(), level.getNext().c_str(),
                level.isBuiltin() ? ", built-in" : "");
    unsigned shipped = 0;
    std::printf("checksum %08X", level.getChecksum());
    if (game::getDataFileChecksum(level.getFileName(), shipped))
        std::printf(", shipped %08X%s", shipped, level.isModified() ? ", modified" : ", unmodified");
    std::printf("\n");

    unsigned counts[4] = {};
    for (const game::LevelPoint& point : level.getPoints())
        ++counts[point.type < 4 ? point.type : 0];
    std::printf("points %u: %u blocks, %u entities, %u special\n", unsigned(level.getPoints().size()),
                counts[game::LevelPoint::TYPE_BLOCK], counts[game::LevelPoint::TYPE_ENTITY],
                counts[game::LevelPoint::TYPE_SPECIAL]);
    for (const game::LevelPoint& point : level.getPoints())
        if (point.isSpecial(game::LevelPoint::SINGLE_PLAYER_START))
        {
            printVector("single-player start ", point.getPosition());
            std::printf("\n");
        }
    std::printf("multiplayer starts %u:", unsigned(level.getMultiplayerStarts().size()));
    for (unsigned index : level.getMultiplayerStarts())
        printVector(" ", level.getPoints()[index].getPosition());
    std::printf("\n");
    printVector("box ", level.getBoundingBox().getMinimum());
    printVector(" to ", level.getBoundingBox().getMaximum());
    std::printf("\n");
}
// Starts the held level in both kinds of match and runs each with an idle player, drawing
// every tick. False, with the cause in the log, when a start fails.
bool play(game::Level& level, brix::Simulator& simulator, Ogre::SceneManager* sceneManager)
{
    const std::string name = level.getName();
    for (bool singlePlayer : {true, false})
    {
        levels::LevelPlay match(level, simulator, sceneManager);
        if (!match.start(name, singlePlayer))
            return false;
        for (unsigned tick = 0; tick < PLAY_TICKS; ++tick)
        {
            match.tick(game::Controller::TInput());
            match.entities().interpolate(levels::LevelPlay::TICK_SECONDS, 1.0f);
        }
        std::printf("played %u ticks %s\n", PLAY_TICKS, singlePlayer ? "in single player" : "as a match");
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    std::string user;
    std::string log;
    std::string name;
    for (int index = 1; index < argc; ++index)
    {
        const std::string argument = argv[index];
        if (argument == "--user" && index + 1 < argc)
            user = argv[++index];
        else if (argument == "--log" && index + 1 < argc)
            log = argv[++index];
        else if (name.empty() && argument.compare(0, 2, "--") != 0)
            name = argument;
        else
        {
            std::fprintf(stderr, "usage: %s [--user DIR] [--log FILE] LEVEL\n", argv[0]);
            return 2;
        }
    }
    if (name.empty())
    {
        std::fprintf(stderr, "usage: %s [--user DIR] [--log FILE] LEVEL\n", argv[0]);
        return 2;
    }
    if (!levels::prepareUserFolder(user, "korvane-level", log))
        return 1;

    try
    {
        levels::HeadlessGame game(user, user + "/ogre.log");
        Ogre::SceneManager* sceneManager = game.createSceneManager();
        game::Level level(sceneManager, &game.simulator(), user);
        level.initialize(nullptr);
        level.updateLevelCache();
        if (!level.load(name, false))
        {
            std::fprintf(stderr, "Level '%s' could not be loaded (see the log)\n", name.c_str());
            return 1;
        }
        level.createScene();
        describe(level);
        const brix::BodyTemplate* body = game.simulator().getTemplate(game::Level::LEVEL_BODY);
        std::printf("level body %u vertices\n", body ? unsigned(body->getShape(0).points.size()) : 0u);
        if (!play(level, game.simulator(), sceneManager))
        {
            std::fprintf(stderr, "Level '%s' cannot be played (see the log)\n", name.c_str());
            return 1;
        }

        // The round trip runs on a user level with the same content, which is not built in
        // whatever the original says: the checksum is over the element tree, the copy's own.
        const std::string copy = name + ROUND_TRIP_SUFFIX;
        brix::XMLElement original("");
        std::string error;
        if (!game::Level::loadTree(level.getFileName(), original, error))
        {
            std::fprintf(stderr, "Copying '%s' failed\n", level.getFileName().c_str());
            return 1;
        }
        original.findChild("builtin", true)->setValue(false);
        const unsigned checksum = game::calculateDataChecksum(original);
        if (original.save(user + "/" + game::Level::LEVEL_FOLDER + "/" + copy + game::Level::FILE_EXTENSION,
                          true) < 0)
        {
            std::fprintf(stderr, "Copying '%s' failed\n", level.getFileName().c_str());
            return 1;
        }
        level.updateLevelCache();
        if (!level.load(copy, false) || !level.save())
        {
            std::fprintf(stderr, "Saving '%s' failed (see the log)\n", copy.c_str());
            return 1;
        }
        // A level read with values in place of what it holds is saved with those: its copy
        // must then read without any.
        const unsigned repairs = level.getRepairCount();
        level.updateLevelCache();
        if (!level.load(copy, false))
        {
            std::fprintf(stderr, "Level '%s' could not be reloaded (see the log)\n", copy.c_str());
            return 1;
        }
        if (repairs > 0)
        {
            std::printf("read with %u repairs (see the log); saved as %s and reloaded: %s\n", repairs,
                        level.getFileName().c_str(),
                        level.getRepairCount() == 0 ? "as saved" : "STILL REPAIRED");
            return level.getRepairCount() == 0 ? 0 : 1;
        }
        std::printf("saved as %s and reloaded: checksum %08X, %s\n", level.getFileName().c_str(),
                    level.getChecksum(), level.getChecksum() == checksum ? "the same" : "CHANGED");
        return level.getChecksum() == checksum ? 0 : 1;
    }
    catch (const std::exception& exception)
    {
        std::fprintf(stderr, "%s\n", exception.what());
        return 1;
    }
}
