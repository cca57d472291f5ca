#pragma once
#include "support/game/levelbuilder.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/imagefont.h"
#include "support/tempdir.h"

#include "game/world/controller.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace brix
{
class MessageDisplay;
class Simulator;
} // namespace brix

namespace Ogre
{
class SceneManager;
}

namespace game
{
class Client;
class EntityManager;
class EventDispatcher;
class Human;
class Level;
class PlayerManager;
class Server;
} // namespace game

namespace test
{
// What every peer of a networked match in one process shares, headless: one OGRE root, the
// content pack's meshes, the materials of the content's human (untextured, in a group of their own
// as the game's are not in OGRE's default group), and the resource group "levels", to which each
// peer adds its own level folder. The built-in levels are left out: they name prototypes the
// peers' definitions lack, so no peer would play them. Make it before the peers and drop it
// after them.
class MatchGround
{
public:
    MatchGround();
    ~MatchGround();
    MatchGround(const MatchGround&) = delete;
    MatchGround& operator=(const MatchGround&) = delete;

    Ogre::SceneManager* createSceneManager();

private:
    HeadlessOgre mOgre;
    ImageFont mFont;
};

// A controller that plays back what the test queues: each sampled tick takes the next queued
// input, or none.
class ScriptedController : public game::Controller
{
public:
    ScriptedController() : game::Controller(0) {}
    void update(unsigned short tick) override;
    std::deque<TInput> script;
};

// One game process's share of a match, set up as the application does it, without a window:
// its own user folder and level folder, physics world, game::Level, event dispatcher, entity
// manager with the match definitions (its entities drawn in the peer's own scene), player
// manager and message display, and a game::Server (host) or nothing but a game::Client
// (joiner). Every tick runs as the application's: network traffic, the server's and clients'
// ticks, the world simulated to the tick, the players and events, then the server's packets.
class MatchPeer
{
public:
    // "player": the content's human figure, of integrity 100 with a "pistol", whose kill
    // scores KILL_SCORE, and which fires a "bullet" that runs out after 30; "crate": a prop.
    static const char* const DEFINITIONS;
    static constexpr unsigned int KILL_SCORE = 100;
    // How long the display holds a line by default, and so paces what it shows of newcomers:
    // longer than any test runs.
    static constexpr float MESSAGE_SECONDS = 3600.0f;

    // host: authoritative, with a server; otherwise a joiner's world that mirrors the host.
    // Lines shown stay on the display however long it holds them (it is never updated).
    MatchPeer(MatchGround& ground, bool host, float messageSeconds = MESSAGE_SECONDS);
    ~MatchPeer();
    MatchPeer(const MatchPeer&) = delete;
    MatchPeer& operator=(const MatchPeer&) = delete;

    // Saves the level as this peer's own and starts the match on it, then hides the level
    // folder from the other peers so that they must download it. False when it failed.
    bool startMatch(const LevelBuilder& builder, const std::string& name, unsigned int scoreLimit);
    // A client of this process with a scripted controller (index 0, then 1).
    game::Client& addClient(const std::string& name);

    // One application tick; packets go out at once (no pacing).
    void tick();
    // A joiner's world runs that many ticks further ahead of the host's states than its input
    // advance takes it, as a real line's latency makes it run (on loopback the advance stays 0).
    void setLead(unsigned int ticks) { mLead = ticks; }
    // While held, the clients' ticks are skipped: they hear all that comes over the network,
    // but never say they are prepared, so a joiner stays out of the match until let go.
    void holdClients(bool held) { mClientsHeld = held; }
    // The messages the display holds, oldest first, as written.
    std::vector<std::string> shown() const;
    // Empties the display, so that what is shown next is read alone.
    void clearShown();
    // The human of the player of that index, or null.
    game::Human* human(unsigned int playerIndex) const;
    // The path the level of that name has in this peer's level folder.
    std::string levelFile(const std::string& name) const;

    // Where this peer's world is drawn.
    Ogre::SceneManager& scene() { return *mSceneManager; }
    game::Level& level() { return *mLevel; }
    game::EntityManager& entities() { return *mEntities; }
    game::PlayerManager& players() { return *mPlayers; }
    game::EventDispatcher& events() { return *mEvents; }
    game::Server* server() { return mServer.get(); }
    game::Client& client(unsigned int index) { return *mClients[index]; }
    unsigned int clientCount() const { return static_cast<unsigned int>(mClients.size()); }
    ScriptedController& controller(unsigned int index) { return *mControllers[index]; }
    const std::string& userDirectory() const { return mUser.path(); }

private:
    TempDir mUser;
    std::string mLevelFolder;
    Ogre::SceneManager* mSceneManager;
    std::unique_ptr<brix::Simulator> mSimulator;
    std::unique_ptr<game::Level> mLevel;
    std::unique_ptr<game::EventDispatcher> mEvents;
    std::unique_ptr<game::EntityManager> mEntities;
    std::unique_ptr<game::PlayerManager> mPlayers;
    std::unique_ptr<brix::MessageDisplay> mDisplay;
    std::unique_ptr<game::Server> mServer;
    std::vector<std::unique_ptr<game::Client>> mClients;
    std::vector<ScriptedController*> mControllers;
    unsigned int mLead = 0;
    bool mClientsHeld = false;
};
} // namespace test
