#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/player.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"

#include "support/game/eventlink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;
using game::EventDispatcher;
using game::Player;
using game::PlayerManager;

// What the manager writes for a node in a packet of the given room.
Bytes encodeBlock(PlayerManager& players, unsigned short node, unsigned short sequence, unsigned room = 64)
{
    Bytes buffer(room);
    brix::NetworkEncodeStream stream(buffer.data(), room);
    players.encodeNetworkData(node, stream, sequence);
    buffer.resize(stream.getOffset());
    return buffer;
}

brix::NetworkStream::Result decodeBlock(PlayerManager& players, unsigned short node, const Bytes& block)
{
    brix::NetworkDecodeStream stream(block.data(), static_cast<unsigned>(block.size()));
    players.decodeNetworkData(node, stream, 0);
    return stream.getResult();
}

unsigned occupied(const PlayerManager& players)
{
    unsigned mask = 0;
    for (unsigned index = 1; index <= PlayerManager::MAX_PLAYERS; ++index)
        if (players.getPlayer(index))
            mask |= 1u << (index - 1);
    return mask;
}

TEST(PlayerManager, SendsStateAndSlotsToClientsInEveryFourthPacket)
{
    PlayerManager server;
    server.createPlayer();
    Player* second = server.createPlayer();
    server.createPlayer();
    server.deletePlayer(second);

    EXPECT_EQ(encodeBlock(server, 1, 8), (Bytes{0, 0x05}));
    EXPECT_EQ(encodeBlock(server, 1, 9), Bytes{});
    EXPECT_EQ(encodeBlock(server, 1, 10), Bytes{});
    EXPECT_EQ(encodeBlock(server, 1, 11), Bytes{});
    EXPECT_EQ(encodeBlock(server, 8, 0), (Bytes{0, 0x05}));
    // Never to the server's own node, and only when both bytes fit.
    EXPECT_EQ(encodeBlock(server, 0, 8), Bytes{});
    EXPECT_EQ(encodeBlock(server, 1, 8, 1), Bytes{});
    // The freed slot is taken again first.
    EXPECT_EQ(server.createPlayer()->getIndex(), 2u);
    for (int i = 0; i < 5; ++i)
        server.createPlayer();
    EXPECT_EQ(encodeBlock(server, 1, 4), (Bytes{0, 0xFF}));
    EXPECT_EQ(server.createPlayer(), nullptr);
    EXPECT_EQ(server.getPlayer(0), nullptr);
    EXPECT_EQ(server.getPlayer(9), nullptr);
}

// A seat shown free to a node goes in every packet to it, and shows taken again only once the
// node acknowledged a packet that carried it free: not one that did not, nor one that carried
// only seats shown free before it, nor one too old to be remembered, across the sequence wrap.
TEST(PlayerManager, ASeatShownFreeStaysFreeUntilAPacketThatCarriedItIsAcknowledged)
{
    PlayerManager server;
    for (int i = 0; i < 3; ++i)
        server.createPlayer();
    server.showSeatFreed(2, 2);
    server.showSeatFreed(0, 1);
    server.showSeatFreed(9, 1);
    server.showSeatFreed(2, 9);
    EXPECT_EQ(encodeBlock(server, 1, 65533), Bytes{});
    EXPECT_EQ(encodeBlock(server, 2, 65533), (Bytes{0, 0x05}));
    // Sent before it, or too full to carry it.
    server.acknowledgeNetworkData(2, 65532);
    EXPECT_EQ(encodeBlock(server, 2, 65534, 1), Bytes{});
    EXPECT_EQ(encodeBlock(server, 2, 65535), (Bytes{0, 0x05}));
    server.acknowledgeNetworkData(2, 65534);
    EXPECT_EQ(encodeBlock(server, 2, 0), (Bytes{0, 0x05}));
    server.acknowledgeNetworkData(2, 0);
    EXPECT_EQ(encodeBlock(server, 2, 1), Bytes{});

    // A packet that carried seat 1 free says nothing of seat 3, shown free after it.
    server.showSeatFreed(2, 1);
    EXPECT_EQ(encodeBlock(server, 2, 2), (Bytes{0, 0x06}));
    server.showSeatFreed(2, 3);
    EXPECT_EQ(encodeBlock(server, 2, 3), (Bytes{0, 0x02}));
    server.acknowledgeNetworkData(2, 2);
    EXPECT_EQ(encodeBlock(server, 2, 5), (Bytes{0, 0x03}));
    // Nor one older than the packets remembered.
    for (unsigned short sequence = 6; sequence < 40; ++sequence)
        encodeBlock(server, 2, sequence);
    server.acknowledgeNetworkData(2, 5);
    EXPECT_EQ(encodeBlock(server, 2, 41), (Bytes{0, 0x03}));
    server.acknowledgeNetworkData(2, 41);
    EXPECT_EQ(encodeBlock(server, 2, 42), Bytes{});
    EXPECT_EQ(encodeBlock(server, 2, 44), (Bytes{0, 0x07}));
}

TEST(PlayerManager, AClientTakesSlotsFromTheServerButOnlyTheCompletionOfItsMatch)
{
    PlayerManager client;
    client.setAuthoritative(false);
    EXPECT_EQ(decodeBlock(client, 0, Bytes{2, 0x81}), brix::NetworkStream::SUCCESS);
    EXPECT_EQ(occupied(client), 0x81u);
    EXPECT_FALSE(client.getPlayer(1)->isAuthoritative());
    // Not running: a completed match from the server is not taken.
    EXPECT_EQ(client.getMatchState(), PlayerManager::NoMatch);
    EXPECT_EQ(decodeBlock(client, 0, Bytes{1, 0x02}), brix::NetworkStream::SUCCESS);
    EXPECT_EQ(occupied(client), 0x02u);
    EXPECT_EQ(client.getMatchState(), PlayerManager::NoMatch);
    // Only the server speaks for the match, and only a whole block counts.
    EXPECT_EQ(decodeBlock(client, 1, Bytes{1, 0xFF}), brix::NetworkStream::SUCCESS);
    EXPECT_EQ(decodeBlock(client, 0, Bytes{1}), brix::NetworkStream::SUCCESS);
    EXPECT_EQ(occupied(client), 0x02u);
    // A state no server sends is invalid data and changes nothing.
    EXPECT_EQ(decodeBlock(client, 0, Bytes{3, 0xFF}), brix::NetworkStream::INVALID_DATA);
    EXPECT_EQ(occupied(client), 0x02u);
}

TEST(PlayerManager, AClientMakesThePlayerAnEventNamesBeforeTheSlotsArrive)
{
    test::EventLink link;
    PlayerManager client;
    client.setAuthoritative(false);
    client.initialize(&link.clientEvents, nullptr, nullptr, nullptr, nullptr);

    link.serverEvents.post(EventDispatcher::PlayerEnteredMatch, 3, 17, "");
    link.serverEvents.post(EventDispatcher::PlayerRenamed, 3, 0, std::string(80, 'n'));
    link.serverEvents.post(EventDispatcher::KillScore, 3, 900, "3");
    link.serverEvents.post(EventDispatcher::VialScore, 3, 1200, "1");
    // Indices no player has are passed over.
    link.serverEvents.post(EventDispatcher::PlayerRenamed, 0, 0, "none");
    link.serverEvents.post(EventDispatcher::PlayerRenamed, 9, 0, "nine");
    link.serverEvents.post(EventDispatcher::PlayerKilled, -1, 0, "");
    link.serverEvents.dispatch();
    link.flush();
    link.clientEvents.dispatch();

    EXPECT_EQ(occupied(client), 0x04u);
    const Player* player = client.getPlayer(3);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->getEntityId(), 17u);
    EXPECT_EQ(player->getState(), Player::Alive);
    // A peer's name is cut to the longest name kept.
    EXPECT_EQ(player->getName(), std::string(Player::MAX_NAME_SIZE, 'n'));
    EXPECT_EQ(player->getScore(), 1200u);
    EXPECT_EQ(player->getKills(), 3u);
    EXPECT_EQ(player->getVials(), 1u);
    EXPECT_EQ(client.getPlayerByEntity(17), player);
    EXPECT_EQ(client.getPlayerByEntity(0), nullptr);

    // A block that overtakes the player's last events keeps its record until its departure
    // arrives: what it said before leaving bears its name.
    const auto deliver = [&link](unsigned int id, int a, const std::string& text)
    {
        link.serverEvents.post(id, a, 0, text);
        link.serverEvents.dispatch();
        link.flush();
        link.clientEvents.dispatch();
    };
    EXPECT_EQ(decodeBlock(client, 0, Bytes{0, 0}), brix::NetworkStream::SUCCESS);
    EXPECT_EQ(client.getPlayer(3), player);
    deliver(EventDispatcher::ChatMessage, 3, "gg");
    EXPECT_EQ(client.getPlayer(3), player);
    deliver(EventDispatcher::PlayerLeftMatch, 3, "");
    EXPECT_EQ(decodeBlock(client, 0, Bytes{0, 0}), brix::NetworkStream::SUCCESS);
    EXPECT_EQ(occupied(client), 0u);
    // Its name stays known for the departure message until the slot is taken again.
    EXPECT_EQ(client.getDepartedName(3), std::string(Player::MAX_NAME_SIZE, 'n'));
    // A departure that comes after the record went brings back no nameless one.
    deliver(EventDispatcher::PlayerLeftMatch, 3, "");
    EXPECT_EQ(occupied(client), 0u);
    EXPECT_EQ(decodeBlock(client, 0, Bytes{0, 0x04}), brix::NetworkStream::SUCCESS);
    EXPECT_EQ(client.getDepartedName(3), "");

    // A slot given again before the departure came: the record goes with its departure, and
    // the newcomer's first event gets a record of its own.
    deliver(EventDispatcher::PlayerEnteredMatch, 3, "");
    deliver(EventDispatcher::PlayerRenamed, 3, "Old");
    EXPECT_EQ(decodeBlock(client, 0, Bytes{0, 0}), brix::NetworkStream::SUCCESS);
    EXPECT_EQ(decodeBlock(client, 0, Bytes{0, 0x04}), brix::NetworkStream::SUCCESS);
    deliver(EventDispatcher::PlayerLeftMatch, 3, "");
    EXPECT_EQ(client.getPlayer(3), nullptr);
    deliver(EventDispatcher::PlayerConfigured, 3, "");
    ASSERT_NE(client.getPlayer(3), nullptr);
    EXPECT_EQ(client.getPlayer(3)->getName(), "");
    EXPECT_EQ(client.getDepartedName(3), "Old");
    client.initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
}

// Ends the match and frees every player the moment it hears the match end.
class MatchEnder : public EventDispatcher::Listener
{
public:
    explicit MatchEnder(PlayerManager& players) : mPlayers(players) {}
    void onEvent(unsigned int id, int, int, const std::string&) override
    {
        if (id == EventDispatcher::MatchEnded)
            mPlayers.deleteAllPlayers();
    }

private:
    PlayerManager& mPlayers;
};

TEST(PlayerManager, PlayersFreedAtTheMatchEndHearNothingMore)
{
    EventDispatcher events;
    PlayerManager players;
    MatchEnder ender(players);
    events.addListener(&ender);
    players.initialize(&events, nullptr, nullptr, nullptr, nullptr);
    Player* player = players.createPlayer();
    events.post(EventDispatcher::PlayerRenamed, 1, 0, "Ann");
    events.post(EventDispatcher::MatchEnded, 0, 0, "");
    events.post(EventDispatcher::PlayerRenamed, 1, 0, "Bo");
    events.post(EventDispatcher::PlayerConfigured, 1, 4, "");
    events.dispatch();
    EXPECT_EQ(players.getPlayer(1), nullptr);
    // The freed player took no more events (a sanitized build would report the use).
    player = players.createPlayer();
    EXPECT_EQ(player->getName(), "");
    events.removeListener(&ender);
    players.deleteAllPlayers();
    players.initialize(nullptr, nullptr, nullptr, nullptr, nullptr);
}
} // namespace
