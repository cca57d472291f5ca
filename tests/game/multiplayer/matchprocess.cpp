// One process of a networked match on loopback, headless, for the test that runs a host and two
// joiners as separate programs:
//   korvane_matchprocess host <port>       hosts "duel" (score limit 300) with a player "Host"
//   korvane_matchprocess join <port> <name> joins as Ann (the killer) or Bo (who chats and leaves)
// The host waits for Ann and Bo, lets Ann kill Bo twice, waits for Bo's chat and departure, then
// lets Ann kill its own player, which ends the match, and stays until Ann has seen that and left. Each
// process checks what its player would see and exits 0, or prints what went wrong and exits 1. Every wait is
// bounded.
#include "game/level/level.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/human.h"
#include "toolkit/thread.h"

#include "support/game/matchpeer.h"
#include "support/loopback.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

namespace
{
using game::Client;
using game::PlayerManager;
using game::Server;

const unsigned int WAIT_MS = 60000;
const unsigned int TICK_SLEEP_MS = 2;
const int TICKS_BETWEEN_KILLS = 220;
const unsigned int SCORE_LIMIT = 300;
const char* const LEVEL = "duel";
const char* const CHAT = "gg";

bool fail(const std::string& what)
{
    std::printf("FAILED: %s\n", what.c_str());
    return false;
}

bool shows(test::MatchPeer& peer, const std::string& line)
{
    const std::vector<std::string> lines = peer.shown();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool runUntil(test::MatchPeer& peer, const std::function<bool()>& done, const std::string& what)
{
    if (test::pollUntil([&] { peer.tick(); }, done, WAIT_MS, TICK_SLEEP_MS))
        return true;
    return fail("timed out waiting for " + what);
}

void run(test::MatchPeer& peer, int ticks)
{
    for (int i = 0; i < ticks; ++i)
    {
        peer.tick();
        brix::Thread::sleep(TICK_SLEEP_MS);
    }
}

// The killer's human deals the victim's a deadly hit; afterwards the given ticks run.
bool kill(test::MatchPeer& host, unsigned int victim, unsigned int killer,
          int ticksAfter = TICKS_BETWEEN_KILLS)
{
    game::Human* human = host.human(victim);
    if (!human || !host.human(killer))
        return fail("no human for player " + std::to_string(victim) + " or " + std::to_string(killer));
    human->damage(1000.0f, human->getPosition(), Ogre::Vector3::ZERO, host.human(killer)->getId());
    run(host, ticksAfter);
    return true;
}

unsigned int score(test::MatchPeer& peer, unsigned int index)
{
    const game::Player* player = peer.players().getPlayer(index);
    return player ? player->getScore() : 0;
}

bool host(unsigned short port)
{
    test::MatchGround ground;
    test::MatchPeer peer(ground, true);
    if (!peer.startMatch(test::LevelBuilder().smallRoom(), LEVEL, SCORE_LIMIT))
        return fail("match start");
    if (!peer.server()->start(4, port, "", "Duel", "", 0))
        return fail("server start");
    if (!peer.addClient("Host").connectLocal(peer.server()))
        return fail("local client");
    Server& server = *peer.server();
    if (!runUntil(
            peer,
            [&]
            {
                return server.getSlotState(1) == Server::SLOT_IN_MATCH &&
                       server.getSlotState(2) == Server::SLOT_IN_MATCH;
            },
            "both joiners in the match"))
        return false;
    const unsigned int ann = peer.players().getPlayer(2)->getName() == "Ann" ? 2 : 3;
    const unsigned int bo = 5 - ann;
    if (!kill(peer, bo, ann) || !kill(peer, bo, ann))
        return false;
    if (!runUntil(
            peer, [&] { return shows(peer, "Bo: " + std::string(CHAT)); }, "Bo's chat") ||
        !runUntil(
            peer, [&] { return server.getSlotState(bo - 1) == Server::SLOT_FREE; }, "Bo leaving"))
        return false;
    if (!kill(peer, 1, ann, 0) ||
        !runUntil(
            peer, [&] { return peer.players().getMatchState() == PlayerManager::Complete; }, "the match end"))
        return false;
    if (peer.players().getMatchState() != PlayerManager::Complete || score(peer, ann) != SCORE_LIMIT)
        return fail("match not complete at the score limit (state " +
                    std::to_string(peer.players().getMatchState()) + ", Ann " +
                    std::to_string(score(peer, ann)) + " points as player " + std::to_string(ann) + ")");
    if (!shows(peer, "Match complete, player Ann wins"))
        return fail("host messages");
    std::printf("host: match complete, Ann %u points\n", score(peer, ann));
    // Until Ann has seen the end and left.
    return runUntil(
        peer, [&] { return server.getSlotState(ann - 1) == Server::SLOT_FREE; }, "Ann leaving");
}

bool join(unsigned short port, const std::string& name)
{
    test::MatchGround ground;
    test::MatchPeer peer(ground, false);
    Client& client = peer.addClient(name);
    if (std::ifstream(peer.levelFile(LEVEL)).good())
        return fail("the joiner has the level before the match");
    if (!client.connect("127.0.0.1:" + std::to_string(port), ""))
        return fail("connect");
    if (!runUntil(
            peer, [&] { return client.getConnectionState() == Client::STATE_IN_MATCH; }, "the match"))
        return false;
    if (!std::ifstream(peer.levelFile(LEVEL)).good())
        return fail("level not downloaded");
    const unsigned int ann = name == "Ann" ? client.getPlayerIndex() : 5 - client.getPlayerIndex();
    if (name == "Bo")
    {
        if (!runUntil(
                peer, [&] { return score(peer, ann) == 200; }, "Ann's two kills"))
            return false;
        if (!shows(peer, "Player Bo was killed by Ann"))
            return fail("Bo's death message");
        client.sendChatMessage(CHAT);
        if (!runUntil(
                peer, [&] { return shows(peer, "Bo: " + std::string(CHAT)); }, "the chat coming back"))
            return false;
        client.disconnect();
        run(peer, 100);
        std::printf("Bo: level %08X, left after chatting\n", peer.level().getChecksum());
        return true;
    }
    if (!runUntil(
            peer,
            [&]
            {
                return peer.players().getMatchState() == PlayerManager::Complete &&
                       shows(peer, "Match complete, player Ann wins");
            },
            "the match end"))
        return false;
    if (score(peer, ann) != SCORE_LIMIT || !shows(peer, "Bo: " + std::string(CHAT)) ||
        !shows(peer, "Player Bo left match"))
    {
        std::string seen;
        for (const std::string& line : peer.shown())
            seen += " [" + line + "]";
        return fail("Ann's view of the match: " + std::to_string(score(peer, ann)) + " points as player " +
                    std::to_string(ann) + ", shown" + seen);
    }
    std::printf("Ann: level %08X, won with %u points\n", peer.level().getChecksum(), score(peer, ann));
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: %s host <port> | join <port> <name>\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const unsigned short port = static_cast<unsigned short>(std::atoi(argv[2]));
    bool ok = false;
    if (mode == "host")
        ok = host(port);
    else if (mode == "join" && argc > 3)
        ok = join(port, argv[3]);
    return ok ? 0 : 1;
}
