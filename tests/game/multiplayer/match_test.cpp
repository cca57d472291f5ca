#include "game/level/level.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"

#include "support/game/matchpeer.h"
#include "support/loopback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace
{
using game::Client;
using game::PlayerManager;
using game::Server;
using Lines = std::vector<std::string>;

const unsigned int MAX_TICKS = 3000;
const unsigned int TIMEOUT_MS = 20000;
// Past the respawn delay and the kill streak window, so that every kill is a single one.
const int TICKS_BETWEEN_KILLS = 220;

bool has(const Lines& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool fileExists(const std::string& path)
{
    return std::ifstream(path).good();
}

// A host with a player of its own, and two players joining over loopback who lack the level.
class NetworkMatch : public ::testing::Test
{
protected:
    NetworkMatch() : host(ground, true), ann(ground, false), bo(ground, false)
    {
        port = test::freeUdpPort();
        address = "127.0.0.1:" + std::to_string(port);
    }

    void tick()
    {
        host.tick();
        ann.tick();
        bo.tick();
    }
    template <typename Done> bool runUntil(Done done)
    {
        return test::pollUntil([this] { tick(); }, done, TIMEOUT_MS, 1, MAX_TICKS);
    }
    void run(int ticks)
    {
        for (int i = 0; i < ticks; ++i)
            tick();
    }
    // The host's world decides a kill: the victim's human takes a deadly hit from the killer's.
    void kill(unsigned int victim, unsigned int killer)
    {
        game::Human* human = host.human(victim);
        ASSERT_NE(human, nullptr);
        human->damage(1000.0f, human->getPosition(), Ogre::Vector3::ZERO, host.human(killer)->getId());
        run(TICKS_BETWEEN_KILLS);
    }
    // What each side shows and where its handshake stands, for a failure's report.
    std::string report()
    {
        std::string text;
        for (test::MatchPeer* peer : {&host, &ann, &bo})
        {
            text += "[";
            for (const std::string& line : peer->shown())
                text += line + "; ";
            text += "]";
        }
        return text;
    }
    bool inMatch(test::MatchPeer& peer)
    {
        return peer.client(0).getConnectionState() == Client::STATE_IN_MATCH;
    }

    test::MatchGround ground;
    test::MatchPeer host;
    test::MatchPeer ann;
    test::MatchPeer bo;
    unsigned short port = 0;
    std::string address;
};

TEST_F(NetworkMatch, JoinersDownloadTheLevelScoreChatAndOneLeavesBeforeTheScoreLimitEndsIt)
{
    // A second floor far to the right, out of sight of the starts.
    ASSERT_TRUE(host.startMatch(
        test::LevelBuilder().smallRoom().row("techfloor", 56, 64, 4, -0.5f).title("Duel"), "duel", 300));
    ASSERT_TRUE(host.server()->start(4, port, "secret", "Duel", "", 0));
    ASSERT_TRUE(host.addClient("Host").connectLocal(host.server()));
    ASSERT_FALSE(fileExists(ann.levelFile("duel")));

    ASSERT_TRUE(ann.addClient("Ann").connect(address, "secret"));
    ASSERT_TRUE(runUntil([&] { return inMatch(host) && inMatch(ann); })) << report();
    ASSERT_TRUE(bo.addClient("Bo").connect(address, "secret"));
    ASSERT_TRUE(runUntil(
        [&] {
            return inMatch(bo) && bo.players().getPlayer(2) && bo.players().getPlayer(2)->getName() == "Ann";
        }));

    // Each joiner fetched the level into its own folder and runs the host's copy of it.
    EXPECT_TRUE(fileExists(ann.levelFile("duel")));
    EXPECT_TRUE(fileExists(bo.levelFile("duel")));
    EXPECT_EQ(ann.level().getChecksum(), host.level().getChecksum());
    EXPECT_EQ(bo.level().getChecksum(), host.level().getChecksum());
    EXPECT_TRUE(has(ann.shown(), "Matchlevel'duel'notfound,requestingdownloadfromserver"));
    EXPECT_EQ(host.server()->getAnnounceFlags(), 0x43800000u);
    for (test::MatchPeer* peer : {&host, &ann, &bo})
    {
        EXPECT_EQ(peer->players().getMatchState(), PlayerManager::Running);
        EXPECT_EQ(peer->players().getPlayer(1)->getName(), "Host");
        EXPECT_EQ(peer->players().getPlayer(2)->getName(), "Ann");
        EXPECT_EQ(peer->players().getPlayer(3)->getName(), "Bo");
    }
    EXPECT_EQ(bo.client(0).getPlayerIndex(), 3u);
    EXPECT_EQ(bo.client(0).getSlotCount(), 4u);
    EXPECT_TRUE(has(host.shown(), "PlayerBoenteredmatch"));

    // Ann's input reaches her human on the host.
    ann.controller(0).script.assign(40, game::Controller::TInput{0, 1.0f, 0.0f, 0.0f, 0});
    const float start = host.human(2)->getPosition().x;
    run(60);
    EXPECT_GT(host.human(2)->getPosition().x, start + 0.5f);
    // Out of sight of the host's own player, Ann's human is not drawn there but still obeys her.
    host.human(2)->respawn(Ogre::Vector3(60.0f, 1.0f, 0.0f), true);
    run(20);
    EXPECT_FALSE(host.human(2)->isEnabled());
    ann.controller(0).script.assign(40, game::Controller::TInput{0, 1.0f, 0.0f, 0.0f, 0});
    const float away = host.human(2)->getPosition().x;
    run(60);
    EXPECT_GT(host.human(2)->getPosition().x, away + 0.5f);

    kill(3, 2);
    kill(3, 2);
    for (test::MatchPeer* peer : {&host, &ann, &bo})
    {
        EXPECT_EQ(peer->players().getPlayer(2)->getScore(), 200u);
        EXPECT_EQ(peer->players().getPlayer(2)->getKills(), 2u);
        EXPECT_EQ(peer->players().getPlayer(3)->getScore(), 0u);
    }
    EXPECT_TRUE(has(bo.shown(), "PlayerBowaskilledbyAnn"));

    // Control characters go, and chat is cut to 100 bytes before anyone sees it.
    bo.client(0).sendChatMessage("gg\x07 \tnext" + std::string(120, 'x'));
    const std::string chat = "Bo:ggnext" + std::string(93, 'x');
    EXPECT_TRUE(
        runUntil([&] { return has(host.shown(), chat) && has(ann.shown(), chat) && has(bo.shown(), chat); }))
        << report();

    bo.client(0).disconnect();
    ASSERT_TRUE(runUntil(
        [&] { return host.server()->getSlotState(2) == Server::SLOT_FREE && !ann.players().getPlayer(3); }));
    EXPECT_TRUE(has(ann.shown(), "PlayerBoleftmatch"));
    EXPECT_EQ(host.server()->getAnnounceFlags(), 0x42800000u);

    kill(1, 2);
    for (test::MatchPeer* peer : {&host, &ann})
    {
        EXPECT_EQ(peer->players().getMatchState(), PlayerManager::Complete);
        EXPECT_EQ(peer->players().getPlayer(2)->getScore(), 300u);
        EXPECT_TRUE(has(peer->shown(), "Matchcomplete,playerAnnwins"));
    }
    // Labels name the others with their scores; one's own human carries no name.
    EXPECT_EQ(host.human(2)->getDisplayName(), "Ann (300)");
    EXPECT_EQ(ann.human(1)->getDisplayName(), "Host (0)");
    EXPECT_EQ(ann.human(2)->getDisplayName(), "");
    // Bo left before the end and saw none of it.
    EXPECT_EQ(bo.players().getMatchState(), PlayerManager::NoMatch);
}

TEST_F(NetworkMatch, RefusesAWrongPasswordAnotherLevelOfItsNameAndAFullServer)
{
    ASSERT_TRUE(host.startMatch(test::LevelBuilder().smallRoom(), "duel", 0));
    ASSERT_TRUE(host.server()->start(2, port, "secret", "Duel", "", 0));
    ASSERT_TRUE(host.addClient("Host").connectLocal(host.server()));

    ASSERT_TRUE(ann.addClient("Ann").connect(address, "Secret"));
    ASSERT_TRUE(
        runUntil([&] { return ann.client(0).getNetworkState() == brix::NetworkManager::DISCONNECTED; }));
    EXPECT_TRUE(has(ann.shown(), "Disconnectedfromserver(Wrongpassword)"));

    // A level of the same name that differs from the host's is not played.
    ASSERT_TRUE(test::LevelBuilder().smallRoom().title("Other").save(ann.level(), "duel"));
    ann.level().updateLevelCache();
    ASSERT_TRUE(ann.client(0).connect(address, "secret"));
    ASSERT_TRUE(
        runUntil([&] { return ann.client(0).getNetworkState() == brix::NetworkManager::DISCONNECTED; }));
    EXPECT_TRUE(has(ann.shown(), "Matchlevel'duel'checksummismatch!")) << report();
    EXPECT_EQ(ann.players().getMatchState(), PlayerManager::NoMatch);
    std::remove(ann.levelFile("duel").c_str());
    ann.level().updateLevelCache();

    ASSERT_TRUE(ann.client(0).connect(address, "secret"));
    ASSERT_TRUE(runUntil([&] { return inMatch(ann); }));
    ASSERT_TRUE(bo.addClient("Bo").connect(address, "secret"));
    ASSERT_TRUE(
        runUntil([&] { return bo.client(0).getNetworkState() == brix::NetworkManager::DISCONNECTED; }));
    EXPECT_TRUE(has(bo.shown(), "Disconnectedfromserver(Serverfull)"));
    EXPECT_FALSE(fileExists(bo.levelFile("duel")));

    // The host shutting down tells the joiner why.
    host.server()->stop();
    ASSERT_TRUE(
        runUntil([&] { return ann.client(0).getNetworkState() == brix::NetworkManager::DISCONNECTED; }));
    EXPECT_TRUE(has(ann.shown(), "Disconnectedfromserver(Servershutdown)"));
}
} // namespace
