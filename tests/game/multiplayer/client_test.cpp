#include "game/multiplayer/client.h"
#include "engine/core/zlibcompressor.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "game/multiplayer/eventproxy.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/eventdispatcher.h"
#include "network/udpsocket.h"

#include "support/logcapture.h"
#include "support/game/matchpeer.h"
#include "support/loopback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using game::Client;
using game::EventProxy;
using Bytes = std::vector<unsigned char>;
using Lines = std::vector<std::string>;

bool has(const Lines& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return file ? text.str() : std::string();
}

// The file packed the way the server sends a level.
Bytes pack(const std::string& path)
{
    Bytes data(game::Server::MAX_LEVEL_DATA);
    brix::ZLibCompressor compressor;
    data.resize(compressor.compressFile(path, data.data(), static_cast<unsigned>(data.size())));
    return data;
}

// A joiner's client, told by hand what a server would say.
class ClientDownload : public ::testing::Test
{
protected:
    ClientDownload() : peer(ground, false), client(peer.addClient("Ann")) {}

    void prepare(const std::string& level)
    {
        client.onSystemEvent(0, EventProxy::PrepareMatch, 0, 0, level, nullptr, 0);
    }
    void respond(const std::string& level, const Bytes& data)
    {
        client.onSystemEvent(0, EventProxy::LevelDownloadResponse, 0, 0, level, data.data(),
                             static_cast<unsigned>(data.size()));
    }
    // The file of a level the joiner's world plays: the shipped ones name prototypes it lacks.
    std::string room()
    {
        EXPECT_TRUE(test::LevelBuilder().smallRoom().save(peer.level(), "room"));
        return peer.levelFile("room");
    }

    test::TempDir dir;
    test::MatchGround ground;
    test::MatchPeer peer;
    Client& client;
};

TEST_F(ClientDownload, StoresOnlyTheRequestedPlainNewLevelWithinItsSize)
{
    // The host's file says it is built in; in the joiner's folder it is the joiner's.
    std::string claim = readFile(room());
    claim.replace(claim.find("<builtin>false"), 14, "<builtin>true");
    const std::string file = dir.file("claim.xml");
    std::ofstream(file) << claim;
    const Bytes packed = pack(file);
    ASSERT_FALSE(packed.empty());

    prepare("fresh");
    EXPECT_EQ(client.getConnectionState(), Client::STATE_PREPARING);
    respond("fresh", packed);
    EXPECT_EQ(readFile(peer.levelFile("fresh")), claim);
    EXPECT_TRUE(peer.level().getLevelCache()->hasLevel("fresh"));
    EXPECT_EQ(peer.level().getLevelCache()->getFlags("fresh") & game::LevelCache::FLAG_BUILTIN, 0u);
    EXPECT_EQ(client.getConnectionState(), Client::STATE_PREPARING);

    // A second answer without a request is not taken.
    respond("fresh2", packed);
    EXPECT_EQ(readFile(peer.levelFile("fresh2")), "");

    // Another name than the one asked for, even a plain one.
    prepare("duel");
    respond("duel2", packed);
    EXPECT_EQ(client.getConnectionState(), Client::STATE_IDLE);
    EXPECT_EQ(readFile(peer.levelFile("duel2")), "");

    // A file of that name that the cache does not know is never overwritten.
    std::ofstream(peer.levelFile("taken")) << "keep";
    prepare("taken");
    respond("taken", packed);
    EXPECT_EQ(readFile(peer.levelFile("taken")), "keep");
    EXPECT_EQ(client.getConnectionState(), Client::STATE_IDLE);

    // Five MiB of zeros pack into a few KiB but unpack past the cap.
    const std::string zeros = dir.file("zeros");
    std::ofstream(zeros, std::ios::binary) << std::string(5 * 1024 * 1024, '\0');
    const Bytes bomb = pack(zeros);
    ASSERT_FALSE(bomb.empty());
    prepare("bomb");
    respond("bomb", bomb);
    EXPECT_EQ(readFile(peer.levelFile("bomb")), "");
    EXPECT_FALSE(peer.level().getLevelCache()->hasLevel("bomb"));
    EXPECT_TRUE(has(peer.shown(), "Match level 'bomb' download failed"));

    // A level of more points than the game reads is not kept.
    std::string crowd = "<level><points>";
    for (unsigned int i = 0; i <= game::Level::MAX_POINTS; ++i)
        crowd += "<point><type>special</type><position>0 0 0</position><name>x</name></point>";
    std::ofstream(dir.file("crowd.xml")) << crowd << "</points></level>";
    const Bytes crowded = pack(dir.file("crowd.xml"));
    ASSERT_FALSE(crowded.empty());
    prepare("crowd");
    respond("crowd", crowded);
    EXPECT_FALSE(std::ifstream(peer.levelFile("crowd")).good());
    EXPECT_TRUE(has(peer.shown(), "Match level 'crowd' download failed"));

    // Nor is a level the game would not play: a point of no known type.
    std::ofstream(dir.file("odd.xml"))
        << "<level><points><point><type>portal</type><position>0 0 0</position>"
           "<name>mpstart</name></point></points></level>";
    prepare("odd");
    respond("odd", pack(dir.file("odd.xml")));
    EXPECT_FALSE(std::ifstream(peer.levelFile("odd")).good());
    EXPECT_FALSE(peer.level().getLevelCache()->hasLevel("odd"));
    EXPECT_TRUE(has(peer.shown(), "Match level 'odd' download failed"));

    // Data too long for one event arrives empty.
    prepare("empty");
    respond("empty", Bytes());
    EXPECT_EQ(readFile(peer.levelFile("empty")), "");
    EXPECT_EQ(client.getConnectionState(), Client::STATE_IDLE);
}

TEST_F(ClientDownload, RefusesLevelNamesThatAreNotPlainBeforeAskingForThem)
{
    EXPECT_TRUE(Client::isPlainLevelName("Arena 2_b-c.v1"));
    EXPECT_TRUE(Client::isPlainLevelName(std::string(64, 'a')));
    EXPECT_FALSE(Client::isPlainLevelName(std::string(65, 'a')));
    EXPECT_FALSE(Client::isPlainLevelName(""));
    EXPECT_FALSE(Client::isPlainLevelName(".hidden"));
    for (const char* name :
         {"../evil", "a/b", "a\\b", "a\"b", "a'b", "a|b", "a<b", "a>b", "a\bb", "a\tb", "a:b"})
        EXPECT_FALSE(Client::isPlainLevelName(name)) << name;

    prepare("../evil");
    EXPECT_EQ(client.getConnectionState(), Client::STATE_IDLE);
    EXPECT_TRUE(has(peer.shown(), "Match level '../evil' not found!"));

    // A host's name for its level reaches neither the screen nor the log with its controls.
    test::LogCapture log;
    prepare("\x1b[2Jev\xe2\x80\xaeil\xff");
    EXPECT_TRUE(has(peer.shown(), "Match level '[2Jevil' not found!"));
    // Nor when it begins a match with a level of that name, nor in a name it gives a player.
    client.onSystemEvent(0, EventProxy::ConnectionReady, 1, 2, "", nullptr, 0);
    peer.players().createPlayer();
    std::ofstream(peer.levelFile("here")) << readFile(room());
    peer.level().updateLevelCache();
    prepare("here");
    client.tick(0);
    ASSERT_EQ(client.getConnectionState(), Client::STATE_PREPARED);
    client.onSystemEvent(0, EventProxy::BeginMatch, 0, 0, "\x1b[2Jgo\xe2\x80\xaene", nullptr, 0);
    EXPECT_TRUE(has(peer.shown(), "Match level '[2Jgone' not found!"));
    peer.events().post(game::EventDispatcher::PlayerEnteredMatch, 1, 0, "");
    peer.events().post(game::EventDispatcher::PlayerRenamed, 1, 0, "Ann");
    peer.events().post(game::EventDispatcher::PlayerRenamed, 1, 0, "E\x1b[2Jve\xe2\x80\xae");
    peer.events().dispatch();
    EXPECT_TRUE(has(peer.shown(), "Player Ann is now known as E[2Jve"));
    for (const std::string& line : log.lines())
        EXPECT_EQ(std::string::npos, line.find_first_of("\x1b\xe2\xff")) << line;
    EXPECT_FALSE(log.lines().empty());
}

TEST_F(ClientDownload, GivesUpWaitingForALevelAfterThirtySeconds)
{
    // A new preparation for a level at hand ends the wait for the one asked for before.
    std::ofstream(peer.levelFile("here")) << readFile(room());
    peer.level().updateLevelCache();
    prepare("gone");
    prepare("here");
    for (unsigned int tick = 0; tick <= Client::LEVEL_DOWNLOAD_TIMEOUT; ++tick)
        client.tick(static_cast<unsigned short>(tick));
    EXPECT_EQ(client.getConnectionState(), Client::STATE_PREPARING);
    EXPECT_FALSE(has(peer.shown(), "Match level 'gone' download timed out"));

    prepare("slow");
    for (unsigned int tick = 1; tick < Client::LEVEL_DOWNLOAD_TIMEOUT; ++tick)
        client.tick(static_cast<unsigned short>(tick));
    EXPECT_EQ(client.getConnectionState(), Client::STATE_PREPARING);
    client.tick(0);
    EXPECT_EQ(client.getConnectionState(), Client::STATE_IDLE);
    EXPECT_TRUE(has(peer.shown(), "Match level 'slow' download timed out"));
}

TEST(Client, SendsTheConnectionRequestBytes)
{
    test::MatchGround ground;
    test::MatchPeer peer(ground, false);
    brix::UDPSocket server;
    const unsigned short port = test::freeUdpPort();
    ASSERT_TRUE(server.open(port));
    ASSERT_TRUE(peer.addClient("Ann").connect("127.0.0.1:" + std::to_string(port), "pw"));

    unsigned char packet[600];
    unsigned int length = 0;
    ASSERT_TRUE(test::pollUntil([&] { peer.client(0).update(); },
                                [&] { return server.receive(packet, sizeof(packet), length) && length > 0; },
                                5000));
    EXPECT_EQ(Bytes(packet, packet + length),
              (Bytes{1, 0x00, 0x02, 0x04, 0x01, 0x00, 0x00, 0x15, 0x00, 2, 'p', 'w'}));
}

TEST(Client, NamesDisconnectReasonsAndPlansItsInputAdvance)
{
    const std::vector<std::pair<unsigned, std::string>> reasons = {{1, "Timeout"},
                                                                   {2, "Server shutdown"},
                                                                   {3, "Client shutdown"},
                                                                   {100, "Invalid data"},
                                                                   {101, "Incompatible version"},
                                                                   {102, "Wrong password"},
                                                                   {103, "Server full"},
                                                                   {4, "Unknown"}};
    for (const auto& reason : reasons)
        EXPECT_EQ(Client::getReasonText(reason.first), reason.second);

    // One tick more than the round trip plus twice its jitter, in whole 25 ms ticks.
    EXPECT_EQ(Client::getInputAdvanceTarget(0, 0), 1);
    EXPECT_EQ(Client::getInputAdvanceTarget(1, 0), 2);
    EXPECT_EQ(Client::getInputAdvanceTarget(25, 0), 2);
    EXPECT_EQ(Client::getInputAdvanceTarget(50, 10), 4);
    EXPECT_EQ(Client::getInputAdvanceTarget(200, 50), 13);
}
} // namespace
