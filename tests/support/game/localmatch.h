#pragma once
#include "game/multiplayer/playermanager.h"
#include "support/game/gamerun.h"

#include <memory>
#include <string>
#include <vector>

namespace game
{
class Human;
}

namespace test
{
// A single-player match on a level inside a running game (test::GameRun), made without the
// game modes: a player manager of its own that the application's cameras, HUDs and audio
// listener follow, and one local player per human, each driven by the controller of the local
// client of its index (sampled every tick, the client not being connected) and followed by its
// camera. Two humans split the window. Make it in a step
// of the run and drop it in a later one, before the game tears down.
class LocalMatch
{
public:
    // Throws std::runtime_error when the level does not start.
    LocalMatch(GameRun& game, const std::string& level, unsigned int humans = 1);
    ~LocalMatch();
    LocalMatch(const LocalMatch&) = delete;
    LocalMatch& operator=(const LocalMatch&) = delete;

    game::PlayerManager& players() { return mPlayers; }
    game::Player* player(unsigned int index) const { return mPlayerRecords.at(index); }
    game::Human* human(unsigned int index) const;

private:
    GameRun& mGame;
    game::PlayerManager mPlayers;
    std::vector<game::Player*> mPlayerRecords;
};
} // namespace test
