// Feeds arbitrary bytes to the game as a level file in the user's level folder, which the level
// cache then finds. The level is started as a single-player game and as a multiplayer match the
// way the game starts it: loaded and checked, its level body and render geometry built in a
// scene without a render system, its entities and the player's human spawned from the game's
// own definitions, then played and drawn for a few ticks and ended. A level may be refused;
// nothing may crash, leak or leave anything behind for the next input.
#include "gamedata.h"
#include "levelplay.h"

#include "engine/core/simulator.h"
#include "game/level/level.h"
#include "game/multiplayer/playermanager.h"
#include "game/world/entitymanager.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace
{
const char* const LEVEL = "fuzzed";
const unsigned PLAY_TICKS = 4;

struct Game
{
    // The game's data files are read by paths relative to the source tree.
    static std::string prepare()
    {
        if (chdir(KORVANE_SOURCE_DIR) != 0)
            std::abort();
        std::string user;
        if (!levels::prepareUserFolder(user, "korvane-fuzz-level", ""))
            std::abort();
        return user;
    }

    Game()
        : user(prepare()), headless(user, user + "/ogre.log"), sceneManager(headless.createSceneManager()),
          level(sceneManager, &headless.simulator(), user)
    {
        level.initialize(nullptr);
        play = new levels::LevelPlay(level, headless.simulator(), sceneManager);
        file = user + "/" + game::Level::LEVEL_FOLDER + "/" + LEVEL + game::Level::FILE_EXTENSION;
    }

    std::string user;
    levels::HeadlessGame headless;
    Ogre::SceneManager* sceneManager;
    game::Level level;
    levels::LevelPlay* play = nullptr;
    std::string file;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Game* game = new Game();
    if (FILE* out = std::fopen(game->file.c_str(), "wb"))
    {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    game->level.updateLevelCache();
    for (bool singlePlayer : {true, false})
    {
        if (game->play->start(LEVEL, singlePlayer))
            for (unsigned tick = 0; tick < PLAY_TICKS; ++tick)
            {
                game->play->tick(game::Controller::TInput());
                game->play->entities().interpolate(levels::LevelPlay::TICK_SECONDS, 1.0f);
            }
        game->play->players().endMatch();
        game->play->players().deleteAllPlayers();
    }
    game->level.clear();
    game->headless.simulator().flush();
    return 0;
}
