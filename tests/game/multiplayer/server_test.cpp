#include "game/multiplayer/server.h"
#include "game/multiplayer/client.h"
#include "game/multiplayer/eventproxy.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/world/human.h"
#include "network/networkdecodestream.h"
#include "network/udpsocket.h"

#include "support/game/eventlink.h"
#include "support/game/matchpeer.h"
#include "support/loopback.h"

#include <OgreEntity.h>
#include <OgreSubEntity.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace
{
using game::Server;
using Bytes = std::vector<unsigned char>;
using Lines = std::vector<std::string>;

bool has(const Lines& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A connection request: application version, protocol version, then the password when given.
Bytes request(unsigned application, unsigned protocol, const char* password)
{
    Bytes bytes;
    for (unsigned value : {application, protocol})
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<unsigned char>(value >> shift));
    if (password)
    {
        bytes.push_back(static_cast<unsigned char>(std::string(password).size()));
        bytes.insert(bytes.end(), password, password + std::string(password).size());
    }
    return bytes;
}

class Hosting : public ::testing::Test
{
protected:
    Hosting() : host(ground, true) { port = test::freeUdpPort(); }

    // The node given, and the reason left, for the request.
    std::pair<unsigned short, unsigned> connect(const Bytes& bytes)
    {
        brix::NetworkDecodeStream stream(bytes.data(), static_cast<unsigned>(bytes.size()));
        unsigned reason = 0;
        const unsigned short node = host.server()->onClientConnect("127.0.0.1:5000", stream, reason);
        return {node, reason};
    }

    test::MatchGround ground;
    test::MatchPeer host;
    unsigned short port = 0;
};

const unsigned short REFUSED = 65535;

TEST_F(Hosting, ChecksRequestsInOrderAndRefusesWithTheirReasons)
{
    ASSERT_TRUE(host.server()->start(3, port, "pw", "Duel", "", 0));
    // Unreadable before anything else: a missing password with a wrong protocol version.
    EXPECT_EQ(connect(request(0x01040200, 0x00130000, nullptr)), std::make_pair(REFUSED, 100u));
    EXPECT_EQ(connect(Bytes{0, 2}), std::make_pair(REFUSED, 100u));
    EXPECT_EQ(connect(request(0x01040200, 0x00130000, "pw")), std::make_pair(REFUSED, 101u));
    EXPECT_EQ(connect(request(0x01040200, 0x00150000, "PW")), std::make_pair(REFUSED, 102u));
    EXPECT_EQ(connect(request(0x01040200, 0x00150000, "")), std::make_pair(REFUSED, 102u));
    // Another application version is welcome.
    EXPECT_EQ(connect(request(0x01050000, 0x00150000, "pw")), std::make_pair<unsigned short>(1, 103u));
    EXPECT_EQ(connect(request(0x01040200, 0x00150000, "pw")), std::make_pair<unsigned short>(2, 103u));
    EXPECT_EQ(connect(request(0x01040200, 0x00150000, "pw")), std::make_pair<unsigned short>(3, 103u));
    EXPECT_EQ(connect(request(0x01040200, 0x00150000, "pw")), std::make_pair(REFUSED, 103u));
    EXPECT_EQ(host.server()->getSlotState(0), Server::SLOT_CONNECTED);
    EXPECT_NE(host.players().getPlayer(3), nullptr);
    EXPECT_TRUE(has(host.shown(), "Remote client from 127.0.0.1:5000 connected"));

    // A disconnection frees the slot on the next tick, and its player with it.
    host.server()->onClientDisconnect(2, "127.0.0.1:5000", 1);
    EXPECT_EQ(host.server()->getSlotState(1), Server::SLOT_REMOVING);
    host.tick();
    EXPECT_EQ(host.server()->getSlotState(1), Server::SLOT_FREE);
    EXPECT_EQ(host.players().getPlayer(2), nullptr);
    EXPECT_EQ(connect(request(0x01040200, 0x00150000, "pw")), std::make_pair<unsigned short>(2, 103u));
}

TEST_F(Hosting, AnnouncesSlotsPlayersPasswordAndTheLowTwentyBitsOfTheMatchFlags)
{
    ASSERT_TRUE(host.server()->start(8, port, "", "Duel", "", 0xFFFFFFFF));
    EXPECT_EQ(host.server()->getAnnounceFlags(), 0x800FFFFFu);
    ASSERT_TRUE(host.addClient("Host").connectLocal(host.server()));
    EXPECT_EQ(host.server()->getAnnounceFlags(), 0x810FFFFFu);
    ASSERT_TRUE(host.server()->start(4, port, "x", "Duel", "", 0x12345));
    EXPECT_EQ(host.server()->getAnnounceFlags(), 0x40812345u);
}

TEST_F(Hosting, SaysItListensOnlyWhenThePortOpened)
{
    brix::UDPSocket taken;
    ASSERT_TRUE(taken.open(port));
    EXPECT_FALSE(host.server()->start(4, port, "", "Duel", "", 0));
    EXPECT_FALSE(host.server()->isStarted());
    EXPECT_EQ(host.server()->getSlotCount(), 0u);
    const std::string number = std::to_string(port);
    EXPECT_TRUE(
        has(host.shown(), "Unable to start server on port " + number + ", see application.log for details"));
    EXPECT_FALSE(has(host.shown(), "Server listening on port " + number));

    // Single player opens no socket at all.
    EXPECT_TRUE(host.server()->start(1, port, "", "", "", 0));
    EXPECT_TRUE(host.server()->isStarted());

    const unsigned short free = test::freeUdpPort();
    EXPECT_TRUE(host.server()->start(4, free, "", "Duel", "", 0));
    EXPECT_TRUE(has(host.shown(), "Server listening on port " + std::to_string(free)));
}

TEST_F(Hosting, PreparesALocalPlayerAndPreparesItAgainForTheNextMatch)
{
    ASSERT_TRUE(host.startMatch(test::LevelBuilder().smallRoom(), "duel", 0));
    ASSERT_TRUE(host.server()->start(1, 0, "", "", "", 0));
    game::Client& client = host.addClient("Solo");
    ASSERT_TRUE(client.connectLocal(host.server()));
    EXPECT_FALSE(host.addClient("Second").connectLocal(host.server()));
    for (int i = 0; i < 6; ++i)
        host.tick();
    EXPECT_EQ(client.getConnectionState(), game::Client::STATE_IN_MATCH);
    EXPECT_EQ(host.server()->getSlotState(0), Server::SLOT_IN_MATCH);
    ASSERT_NE(host.human(1), nullptr);
    EXPECT_EQ(host.human(1)->getController(), &host.controller(0));
    EXPECT_EQ(host.players().getPlayer(1)->getName(), "Solo");
    EXPECT_TRUE(host.players().getPlayer(1)->isLocal());

    host.server()->updateMatch("", 0);
    EXPECT_EQ(host.server()->getSlotState(0), Server::SLOT_CONNECTED);
    host.tick();
    EXPECT_EQ(host.server()->getSlotState(0), Server::SLOT_PREPARING);
    // A controller changed between matches drives the next match's human.
    auto changed = std::make_unique<test::ScriptedController>();
    const game::Controller* next = changed.get();
    client.setController(std::move(changed));
    for (int i = 0; i < 6; ++i)
        host.tick();
    EXPECT_EQ(host.server()->getSlotState(0), Server::SLOT_IN_MATCH);
    ASSERT_NE(host.human(1), nullptr);
    EXPECT_EQ(host.human(1)->getController(), next);

    // Leaving takes the human out of the level first; the seat goes a tick later, after the
    // others heard who left.
    client.disconnect();
    host.tick();
    EXPECT_EQ(host.human(1), nullptr);
    EXPECT_EQ(host.players().getPlayer(1)->getState(), game::Player::NotInMatch);
    host.tick();
    EXPECT_EQ(host.server()->getSlotState(0), Server::SLOT_FREE);
    EXPECT_EQ(host.players().getPlayer(1), nullptr);
}

// Split screen on a level with two starts: match after match, the second local player enters
// on the start the first one leaves free, and each wears the skin he chose.
TEST_F(Hosting, TwoLocalPlayersEnterEveryMatchOnDifferentStartsInTheirSkins)
{
    ASSERT_TRUE(host.startMatch(test::LevelBuilder().smallRoom(), "duel", 0));
    ASSERT_TRUE(host.server()->start(2, 0, "", "", "", 0));
    host.addClient("Left").configurePlayer("Left", 3);
    host.addClient("Right").configurePlayer("Right", 1);
    ASSERT_TRUE(host.client(0).connectLocal(host.server()));
    ASSERT_TRUE(host.client(1).connectLocal(host.server()));
    for (int match = 0; match < 8; ++match)
    {
        SCOPED_TRACE(match);
        if (match > 0)
        {
            host.players().endMatch();
            ASSERT_TRUE(host.players().startMatch("duel", 0, false, false));
            host.server()->updateMatch("duel", 0);
        }
        for (int i = 0; i < 6; ++i)
            host.tick();
        ASSERT_TRUE(host.human(1) && host.human(2));
        // The starts of the room are 4 apart.
        EXPECT_NEAR(4.0f, std::fabs(host.human(1)->getPosition().x - host.human(2)->getPosition().x), 0.5f);
        EXPECT_EQ(host.human(1)->getMeshEntity()->getSubEntity(0)->getMaterialName(), "skinsupporter");
        EXPECT_EQ(host.human(2)->getMeshEntity()->getSubEntity(0)->getMaterialName(), "skinsecurityguard");
    }
}

// Remote seats that enter in the tick one in the match leaves: each is told every player in
// the match, and its name, once, from the others' states or as it happens, and told of the
// departure.
TEST_F(Hosting, SeatsEnteringTogetherAreToldEachEntryAndDepartureOnce)
{
    ASSERT_TRUE(host.startMatch(test::LevelBuilder().smallRoom(), "duel", 0));
    ASSERT_TRUE(host.server()->start(3, port, "", "Duel", "", 0));
    for (unsigned short node = 1; node <= 3; ++node)
        ASSERT_EQ(connect(request(0x01040200, 0x00150000, "")).first, node);
    host.tick();
    auto ready = [&](unsigned short node)
    { host.server()->onSystemEvent(node, game::EventProxy::PrepareReady, 1, 0, "", nullptr, 0); };
    // A name that comes with the seat's readiness holds the entry a tick, whoever's it is.
    ready(3);
    host.server()->onSystemEvent(1, game::EventProxy::ConfigurePlayer, 0, 0, "Ann", nullptr, 0);
    host.tick();
    EXPECT_EQ(host.server()->getSlotState(2), Server::SLOT_PREPARED);
    host.tick();
    ready(1);
    ready(2);
    host.server()->onClientDisconnect(3, "127.0.0.1:5000", 3);
    host.tick();
    ASSERT_EQ(host.players().getPlayer(3)->getState(), game::Player::NotInMatch);

    // "id:player" of the entries and departures sent to a seat.
    auto told = [&](unsigned int slot)
    {
        std::string text;
        for (const Bytes& message : test::sentMessages(*host.server()->getSlot(slot)->proxy))
            if (message[0] == game::EventDispatcher::PlayerEnteredMatch ||
                message[0] == game::EventDispatcher::PlayerLeftMatch)
                text += std::to_string(message[0]) + ":" + std::to_string(message[1]) + " ";
        return text;
    };
    EXPECT_EQ(told(0), "14:3 14:1 14:2 15:3 ");
    EXPECT_EQ(told(1), "14:1 14:3 14:2 15:3 ");
    const std::vector<Bytes> third = test::sentMessages(*host.server()->getSlot(2)->proxy);
    EXPECT_EQ(std::count(third.begin(), third.end(), Bytes{17, 1, 0, 3, 'A', 'n', 'n'}), 1);
}

TEST_F(Hosting, FreesTheSeatOfAClientThatLeavesBeforeAnyMatch)
{
    ASSERT_TRUE(host.server()->start(1, 0, "", "", "", 0));
    game::Client& client = host.addClient("Early");
    ASSERT_TRUE(client.connectLocal(host.server()));
    host.tick();
    host.tick();
    EXPECT_EQ(client.getConnectionState(), game::Client::STATE_IDLE);
    EXPECT_EQ(client.getPlayerIndex(), 1u);
    client.disconnect();
    host.tick();
    EXPECT_EQ(host.server()->getSlotState(0), Server::SLOT_FREE);
    EXPECT_TRUE(host.addClient("Next").connectLocal(host.server()));
}
} // namespace
