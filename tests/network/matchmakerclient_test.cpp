#include "network/matchmakerclient.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkserver.h"
#include "network/udpsocket.h"

#include "support/logcapture.h"
#include "support/loopback.h"
#include "support/services.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>

using brix::MatchMakerClient;
using brix::NetworkAddress;
using brix::NetworkServer;
using test::ScriptedServer;

namespace
{
const unsigned short GAME_ID = 1;
const unsigned int PROTOCOL_VERSION = 0x00140000;
// Eight slots, three players, password.
const unsigned int FLAGS = 8u << 28 | 3u << 24 | 1u << 23;

class Host : public NetworkServer::Listener
{
public:
    unsigned short onClientConnect(const std::string&, brix::NetworkDecodeStream&, unsigned int&) override
    {
        return NetworkServer::NO_NODE;
    }
    void onClientDisconnect(unsigned short, const std::string&, unsigned int) override {}
    void onAnnounceVerification(bool verified) override { mVerified = verified; }
    bool mVerified = false;
};

std::string reply(unsigned short gameId, const std::vector<std::string>& names, bool cutLast = false)
{
    unsigned char buffer[2048];
    brix::NetworkEncodeStream stream(buffer, sizeof(buffer));
    stream.encodeUInt8(MatchMakerClient::MESSAGE_RESPONSE);
    stream.encodeUInt16(0);
    stream.encodeUInt16(gameId);
    stream.encodeUInt16(static_cast<unsigned short>(names.size()));
    for (const std::string& name : names)
    {
        stream.encodeString(name);
        stream.encodeString("info");
        stream.encodeUInt32(FLAGS);
        stream.encodeUInt32(PROTOCOL_VERSION);
        stream.encodeUInt32(test::LOOPBACK);
        stream.encodeUInt16(4001);
    }
    return std::string(reinterpret_cast<char*>(buffer), stream.getOffset() - (cutLast ? 3 : 0));
}

bool logged(const test::LogCapture& log, const std::string& text)
{
    auto lines = log.lines();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}
} // namespace

TEST(MatchMakerClient, DecodesRepliesAndKeepsRecordsBeforeADamagedOne)
{
    test::LogCapture log;
    std::vector<MatchMakerClient::Match> matches;
    ASSERT_TRUE(MatchMakerClient::decodeMatches(reply(GAME_ID, {}), GAME_ID, 100, matches));
    EXPECT_TRUE(matches.empty());

    ASSERT_TRUE(MatchMakerClient::decodeMatches(reply(GAME_ID, {"a", "b"}), GAME_ID, 100, matches));
    ASSERT_EQ(2u, matches.size());
    EXPECT_EQ("b", matches[1].name);
    EXPECT_EQ("info", matches[1].info);
    EXPECT_EQ(FLAGS, matches[1].flags);
    EXPECT_EQ("127.0.0.1:4001", matches[1].address.toString());

    matches.clear();
    EXPECT_FALSE(
        MatchMakerClient::decodeMatches(reply(GAME_ID, {"kept", "cut"}, true), GAME_ID, 100, matches));
    ASSERT_EQ(1u, matches.size());
    EXPECT_EQ("kept", matches[0].name);

    EXPECT_FALSE(MatchMakerClient::decodeMatches(reply(7, {"x"}), GAME_ID, 100, matches));
    EXPECT_TRUE(logged(log, "E Mismatching game id 7 in matchmaker query response"));
    EXPECT_FALSE(MatchMakerClient::decodeMatches("", GAME_ID, 100, matches));
    EXPECT_TRUE(logged(log, "E No response from matchmaker server (query rejected)"));
    EXPECT_FALSE(MatchMakerClient::decodeMatches(std::string("\x68\x00", 2), GAME_ID, 100, matches));
    EXPECT_FALSE(MatchMakerClient::decodeMatches(std::string("\x65\0\0\1\0\0\0", 7), GAME_ID, 100, matches));
    EXPECT_TRUE(logged(log, "E Invalid message id 101 in matchmaker query response"));
    EXPECT_EQ(1u, matches.size());
}

TEST(MatchMakerClient, SendsTheListQueryInItsOrderAndKeepsToItsCount)
{
    std::string request;
    ScriptedServer server(
        [&](int socket)
        {
            request = ScriptedServer::readAvailable(socket, 300);
            ScriptedServer::send(socket, reply(GAME_ID, {"a", "b", "c"}));
        });
    MatchMakerClient client(NetworkAddress("127.0.0.1:" + std::to_string(server.getPort())), GAME_ID);
    std::vector<MatchMakerClient::Match> matches;
    EXPECT_TRUE(client.getMatches("ab", 5, 6, 7, 2, matches));
    const unsigned char expected[] = {103, 19, 0, 1, 0, 2, 'a', 'b', 7, 0, 0,
                                      0,   5,  0, 0, 0, 6, 0,   0,   0, 2, 0};
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(expected), sizeof(expected)), request);
    // The server sent more than were asked for.
    ASSERT_EQ(2u, matches.size());
    EXPECT_EQ("b", matches[1].name);
}

TEST(MatchMakerClient, StalledServerTimesOut)
{
    // Silent until it closes: the idle time-out ends the wait, before the total one.
    test::LogCapture log;
    ScriptedServer server(
        [](int socket)
        { ScriptedServer::readAvailable(socket, MatchMakerClient::RECEIVE_TOTAL_TIMEOUT + 5000); });
    MatchMakerClient client(NetworkAddress("127.0.0.1:" + std::to_string(server.getPort())), GAME_ID);
    std::vector<MatchMakerClient::Match> matches;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.getMatches(10, matches));
    auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(waited.count(), MatchMakerClient::RECEIVE_IDLE_TIMEOUT);
    EXPECT_LT(waited.count(), MatchMakerClient::RECEIVE_TOTAL_TIMEOUT);
    EXPECT_TRUE(logged(log, "E TCP socket receive timeout (receive idle time)"));
    EXPECT_TRUE(matches.empty());
}

TEST(MatchMakerService, ListsAVerifiedMatchAndRelaysPunchThrough)
{
    test::MatchMakerService service;
    ASSERT_TRUE(service.process.isRunning());
    const std::string maker = "127.0.0.1:" + std::to_string(service.port);

    // Announcements from forged addresses, more than the service lists matches, come first:
    // waiting for verification, they must not keep the real host below from being listed.
    unsigned char spoof[64];
    brix::NetworkEncodeStream announcement(spoof, sizeof(spoof));
    announcement.encodeUInt8(NetworkServer::PACKET_ANNOUNCEMENT);
    announcement.encodeUInt16(GAME_ID);
    announcement.encodeUInt16(0);
    announcement.encodeUInt8(0);
    announcement.encodeString("Spoof");
    announcement.encodeString("");
    announcement.encodeUInt32(FLAGS);
    announcement.encodeUInt32(PROTOCOL_VERSION);
    announcement.encodeUInt32(0);
    sockaddr_in makerAddress = {};
    makerAddress.sin_family = AF_INET;
    makerAddress.sin_addr.s_addr = htonl(test::LOOPBACK);
    makerAddress.sin_port = htons(service.port);
    for (unsigned int batch = 0; batch < 120; ++batch)
    {
        // Each batch from an address of its own, each of its sockets on a port of its own.
        sockaddr_in from = {};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(test::LOOPBACK + 0x100 + batch);
        std::vector<int> forged;
        for (int i = 0; i < 100; ++i)
        {
            forged.push_back(socket(AF_INET, SOCK_DGRAM, 0));
            ASSERT_EQ(0, bind(forged.back(), reinterpret_cast<sockaddr*>(&from), sizeof(from)));
            sendto(forged.back(), spoof, announcement.getOffset(), 0,
                   reinterpret_cast<sockaddr*>(&makerAddress), sizeof(makerAddress));
        }
        // The service answers each in turn: waiting for the last answer keeps its receive
        // buffer from dropping any.
        pollfd last = {forged.back(), POLLIN, 0};
        poll(&last, 1, 200);
        for (int handle : forged)
            close(handle);
    }

    Host host;
    NetworkServer server(GAME_ID);
    unsigned short serverPort = test::freeUdpPort();
    ASSERT_TRUE(server.setAnnounceServer(maker));
    ASSERT_TRUE(server.setPunchThroughServer(maker));
    ASSERT_TRUE(server.start(serverPort, &host, "Canyon brawl", "canyon", FLAGS, PROTOCOL_VERSION));

    MatchMakerClient client(NetworkAddress(maker), GAME_ID);
    std::vector<MatchMakerClient::Match> matches;
    // The match is listed once its second announcement carries the verification code.
    bool listed = test::pollUntil(
        [&]
        {
            server.update();
            matches.clear();
            client.getMatches("", 0, 0, PROTOCOL_VERSION, 100, matches);
        },
        [&] { return !matches.empty(); }, 15000, 100, 150);
    ASSERT_TRUE(listed);
    EXPECT_TRUE(host.mVerified);
    ASSERT_EQ(1u, matches.size());
    EXPECT_EQ("Canyon brawl", matches[0].name);
    EXPECT_EQ("canyon", matches[0].info);
    EXPECT_EQ(FLAGS, matches[0].flags);
    EXPECT_EQ(8u, matches[0].flags >> 28);
    EXPECT_EQ(3u, matches[0].flags >> 24 & 15);
    EXPECT_EQ("127.0.0.1:" + std::to_string(serverPort), matches[0].address.toString());

    MatchMakerClient::Match one;
    EXPECT_TRUE(client.getMatch("Canyon brawl", one));
    EXPECT_EQ(FLAGS, one.flags);
    EXPECT_FALSE(client.getMatch("Nobody", one));
    matches.clear();
    EXPECT_TRUE(client.getMatches("", 0, 0, PROTOCOL_VERSION + 1, 100, matches));
    EXPECT_TRUE(matches.empty());
    EXPECT_TRUE(client.getMatches("", 0, 1u << 23, 0, 100, matches));
    EXPECT_TRUE(matches.empty());
    EXPECT_TRUE(client.getMatches("BRAWL", 1u << 23, 1u << 23, 0, 100, matches));
    EXPECT_EQ(1u, matches.size());
    MatchMakerClient stranger(NetworkAddress(maker), GAME_ID + 1);
    std::vector<MatchMakerClient::Match> none;
    EXPECT_TRUE(stranger.getMatches(100, none));
    EXPECT_TRUE(none.empty());

    // A joining player asks the match maker to open the host's NAT towards it.
    brix::UDPSocket joiner;
    ASSERT_TRUE(joiner.open(0));
    unsigned char request[13] = {120};
    brix::NetworkEncodeStream stream(request + 7, 6);
    stream.encodeUInt32(test::LOOPBACK);
    stream.encodeUInt16(serverPort);
    ASSERT_TRUE(joiner.transmit(request, sizeof(request), NetworkAddress(maker)));
    unsigned char relayed[64];
    unsigned int length = 0;
    bool arrived =
        test::pollUntil([&] { server.update(); },
                        [&] { return joiner.receive(relayed, sizeof(relayed), length); }, 5000, 10, 500);
    ASSERT_TRUE(arrived);
    ASSERT_EQ(13u, length);
    EXPECT_EQ(serverPort, joiner.getRemoteAddress().getPort());
    brix::NetworkDecodeStream forward(relayed + 1, length - 1);
    unsigned short joinerPort = forward.decodeUInt16();
    EXPECT_EQ(test::LOOPBACK, forward.decodeUInt32());
    EXPECT_EQ(serverPort, forward.decodeUInt16());
    EXPECT_EQ(test::LOOPBACK, forward.decodeUInt32());
    EXPECT_NE(0, joinerPort);

    // Requests for an unlisted server, and garbage, get no answer.
    brix::NetworkEncodeStream other(request + 7, 6);
    other.encodeUInt32(test::LOOPBACK);
    other.encodeUInt16(static_cast<unsigned short>(serverPort + 1));
    ASSERT_TRUE(joiner.transmit(request, sizeof(request), NetworkAddress(maker)));
    const unsigned char junk[] = {100, 1};
    ASSERT_TRUE(joiner.transmit(junk, sizeof(junk), NetworkAddress(maker)));
    EXPECT_FALSE(joiner.wait(500));
}

TEST(MatchMakerService, KeepsServingThroughAFloodOfIdleConnections)
{
    // The service gets few file handles, so the flood below would use them all up.
    rlimit saved = {};
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &saved));
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &small));
    std::unique_ptr<test::MatchMakerService> service(new test::MatchMakerService());
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &saved));
    ASSERT_TRUE(service->process.isRunning());
    const NetworkAddress maker("127.0.0.1:" + std::to_string(service->port));

    {
        test::IdleConnections flood(service->port, 100, 1000);
        test::pollFor([] {}, 500, 50);
    }

    MatchMakerClient client(maker, GAME_ID);
    std::vector<MatchMakerClient::Match> matches;
    EXPECT_TRUE(test::pollUntil([] {}, [&] { return client.getMatches(10, matches); }, 5000, 100, 50));
}
