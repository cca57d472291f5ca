#pragma once
#include "game/world/controller.h"

#include <memory>
#include <string>

namespace brix
{
class Simulator;
}

namespace Ogre
{
class SceneManager;
}

namespace game
{
class EntityManager;
class EventDispatcher;
class Human;
class Level;
class Player;
class PlayerManager;
} // namespace game

namespace levels
{
// A single-player game of one level without a window, run tick by tick the way the game runs
// it: the match of the player manager over the shipped entity definitions, the player's human
// at the level's start, driven by a controller that the caller fills one record a tick, and
// brought back at the checkpoint after a death. The world is seeded the same on every start,
// so the same inputs play the same game. The level recorder and the campaign's playthrough
// test share it.
class LevelPlay
{
public:
    // The random seed of every game.
    static constexpr unsigned SEED = 26;
    static constexpr float TICK_SECONDS = 0.025f;

    // The level and the physics world are not owned; the world must hold the game's materials
    // and block bodies (levels::GameData). With a scene manager (not owned) the entities are
    // placed in it as the game places them. Paths are relative to the source tree's root.
    LevelPlay(game::Level& level, brix::Simulator& simulator, Ogre::SceneManager* sceneManager = nullptr);
    ~LevelPlay();
    LevelPlay(const LevelPlay&) = delete;
    LevelPlay& operator=(const LevelPlay&) = delete;

    // Starts the level in single player and puts the player's human at its start, or, for a
    // multiplayer level, a match with the human at one of its starts. False, with the cause in
    // the log, when the level does not load.
    bool start(const std::string& level, bool singlePlayer = true);
    // Runs one tick with the input (its tick is set here).
    void tick(game::Controller::TInput input);

    game::EntityManager& entities() { return *mEntities; }
    game::PlayerManager& players() { return *mPlayers; }
    game::Player& player() { return *mPlayer; }
    // Null while the player has no living human.
    game::Human* human() const;
    bool isComplete() const;
    // Seconds of the match so far.
    float getTime() const;

private:
    game::Level& mLevel;
    brix::Simulator& mSimulator;
    std::unique_ptr<game::EventDispatcher> mEvents;
    std::unique_ptr<game::EntityManager> mEntities;
    std::unique_ptr<game::PlayerManager> mPlayers;
    game::Controller mController;
    game::Player* mPlayer = nullptr;
};
} // namespace levels
