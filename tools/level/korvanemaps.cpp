// Bakes the light map and the sound map of levels the way the editor does, without a window,
// and writes them as LEVEL_lightmap.png and LEVEL_soundmap.png. Run from the source tree's
// root:
//
//   build/bin/korvane-maps [--user DIR] [--out DIR] [--log FILE] LEVEL...
//
// DIR is the user data directory (default: a new folder under /tmp), where the generators
// write; --out copies the maps into another folder ("levels" for the built-in levels). FILE
// receives the game's log. Exits with 1 when a level cannot be loaded or a map is not made.
#include "game/world/entitymapsource.h"
#include "gamedata.h"

#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/world/entitymanager.h"
#include "toolkit/file.h"
#include "toolkit/log.h"
#include "toolkit/temporaryfile.h"
#include "toolkit/thread.h"

#include <OgreRoot.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
const char* const USAGE = "usage: %s [--user DIR] [--out DIR] [--log FILE] LEVEL...\n";
const char* const ENTITY_DEFINITIONS = "entities.xml";
const char* const ENTITY_BODIES = "data/entitybodies.xml";
// The PNG codec as the game loads it: our plug-in beside the libraries, in "lib" next to "bin".
const char* const PNG_PLUGIN = "/../lib/imagepng.so";
// How often the queue is polled while the generators run.
const unsigned POLL_MILLISECONDS = 10;

std::string executableDirectory()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return ".";
    const std::string executable(path, length);
    return executable.substr(0, executable.rfind('/'));
}

bool copyFile(const std::string& from, const std::string& to)
{
    std::ifstream input(from, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    brix::TemporaryFile output(to);
    return input && !bytes.empty() && output.write(bytes.data(), bytes.size()) && output.commit();
}

// Generates both maps of the level and waits for them; false when one is missing afterwards.
bool bake(game::Level& level, const game::LevelMapSource& entities, const std::string& user,
          const std::string& out)
{
    level.createScene();
    if (!level.generateLightMap(&entities) || !level.generateSoundMap(&entities))
        return false;
    while (level.getMapGeneratorCount() > 0)
    {
        level.updateMapGenerators();
        brix::Thread::sleep(POLL_MILLISECONDS);
    }
    bool complete = true;
    for (const char* suffix : {game::Level::LIGHT_MAP_SUFFIX, game::Level::SOUND_MAP_SUFFIX})
    {
        const std::string name = level.getName() + suffix;
        const std::string made = user + "/" + game::Level::LEVEL_FOLDER + "/" + name;
        if (!brix::File::fileExists(made))
        {
            std::fprintf(stderr, "%s was not made (see the log)\n", name.c_str());
            complete = false;
        }
        else if (!out.empty() && !copyFile(made, out + "/" + name))
        {
            std::fprintf(stderr, "Copying %s into %s failed\n", name.c_str(), out.c_str());
            complete = false;
        }
        else
            std::printf("%s\n", (out.empty() ? made : out + "/" + name).c_str());
    }
    level.clear();
    return complete;
}
} // namespace

int main(int argc, char** argv)
{
    std::string user;
    std::string out;
    std::string log;
    std::vector<std::string> names;
    for (int index = 1; index < argc; ++index)
    {
        const std::string argument = argv[index];
        if (argument == "--user" && index + 1 < argc)
            user = argv[++index];
        else if (argument == "--out" && index + 1 < argc)
            out = argv[++index];
        else if (argument == "--log" && index + 1 < argc)
            log = argv[++index];
        else if (argument.compare(0, 2, "--") != 0)
            names.push_back(argument);
        else
        {
            std::fprintf(stderr, USAGE, argv[0]);
            return 2;
        }
    }
    if (names.empty())
    {
        std::fprintf(stderr, USAGE, argv[0]);
        return 2;
    }
    if (!levels::prepareUserFolder(user, "korvane-maps", log))
        return 1;

    try
    {
        levels::HeadlessGame game(user, user + "/ogre.log");
        Ogre::Root::getSingleton().loadPlugin(executableDirectory() + PNG_PLUGIN);
        game.simulator().loadTemplates(ENTITY_BODIES);
        game::EntityManager entities(&game.simulator(), nullptr, nullptr);
        entities.loadEntityPrototypes(ENTITY_DEFINITIONS);
        const game::EntityMapSource source(entities);
        game::Level level(nullptr, &game.simulator(), user);
        level.initialize(nullptr);
        level.updateLevelCache();
        int result = 0;
        for (const std::string& name : names)
        {
            if (!level.load(name, false))
            {
                std::fprintf(stderr, "Level '%s' could not be loaded (see the log)\n", name.c_str());
                result = 1;
                continue;
            }
            if (!bake(level, source, user, out))
                result = 1;
        }
        return result;
    }
    catch (const Ogre::Exception& exception)
    {
        std::fprintf(stderr, "%s\n", exception.getFullDescription().c_str());
        return 1;
    }
}
