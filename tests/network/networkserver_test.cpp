#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkmessagequeue.h"
#include "network/networkserver.h"
#include "network/udpsocket.h"
#include "toolkit/logthrottle.h"

#include "support/logcapture.h"
#include "support/loopback.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using brix::NetworkAddress;
using brix::NetworkServer;
using brix::Thread;
using brix::UDPSocket;

namespace
{
class Host : public NetworkServer::Listener
{
public:
    unsigned short onClientConnect(const std::string& address, brix::NetworkDecodeStream& data,
                                   unsigned int& reason) override
    {
        mConnects.push_back(address);
        mConnectData.push_back(data.decodeString());
        if (mRefuseWith != 0)
        {
            reason = mRefuseWith;
            return NetworkServer::NO_NODE;
        }
        return static_cast<unsigned short>(10 + mConnects.size());
    }
    void onClientDisconnect(unsigned short node, const std::string&, unsigned int reason) override
    {
        mDisconnects.emplace_back(node, reason);
    }
    void onAnnounceVerification(bool verified) override { mVerifications.push_back(verified); }

    unsigned int mRefuseWith = 0;
    std::vector<std::string> mConnects;
    std::vector<std::string> mConnectData;
    std::vector<std::pair<unsigned short, unsigned int>> mDisconnects;
    std::vector<bool> mVerifications;
};

// A client played by hand: one socket aimed at the server.
class Peer
{
public:
    explicit Peer(unsigned short serverPort, unsigned short ownPort = 0)
    {
        mSocket.open(ownPort);
        mSocket.setTransmitAddress(NetworkAddress(test::LOOPBACK, serverPort));
    }
    void send(std::vector<unsigned char> bytes)
    {
        mSocket.transmit(bytes.data(), static_cast<unsigned int>(bytes.size()));
    }
    void connect(const std::string& text)
    {
        unsigned char buffer[64];
        brix::NetworkEncodeStream stream(buffer, sizeof(buffer));
        stream.encodeUInt8(NetworkServer::PACKET_CONNECT);
        stream.encodeString(text);
        send(std::vector<unsigned char>(buffer, buffer + stream.getOffset()));
    }
    // Every datagram waiting now.
    std::vector<std::vector<unsigned char>> drain()
    {
        std::vector<std::vector<unsigned char>> packets;
        unsigned char buffer[1024];
        unsigned int length = 0;
        while (mSocket.receive(buffer, sizeof(buffer), length))
            packets.emplace_back(buffer, buffer + length);
        return packets;
    }
    UDPSocket mSocket;
};

std::vector<unsigned char> dataPacket(unsigned short sequence, std::vector<unsigned char> chunks = {})
{
    std::vector<unsigned char> packet = {NetworkServer::PACKET_DATA,
                                         static_cast<unsigned char>(sequence),
                                         static_cast<unsigned char>(sequence >> 8),
                                         0,
                                         0,
                                         0};
    for (unsigned char byte : chunks)
        packet.push_back(byte);
    return packet;
}

class ServerTest : public testing::Test
{
protected:
    static constexpr unsigned char SERVER_FULL = 103;
    static constexpr unsigned char INVALID_DATA = 100;

    void SetUp() override { mPort = test::freeUdpPort(); }
    void TearDown() override { mServer->stop(0); }
    void start(unsigned int maxClients = 8, unsigned int timeout = 5000)
    {
        mServer.reset(new NetworkServer(1, maxClients, timeout, 50));
        // The game's numbers for what the layer finds itself.
        mServer->setServerFullReason(SERVER_FULL);
        mServer->setInvalidDataReason(INVALID_DATA);
        ASSERT_TRUE(mServer->start(mPort, &mHost, "", "", 0, 0));
    }
    void pump(unsigned int milliseconds)
    {
        test::pollFor([&] { mServer->update(); }, milliseconds);
    }

    unsigned short mPort = 0;
    Host mHost;
    std::unique_ptr<NetworkServer> mServer;
};
} // namespace

TEST_F(ServerTest, FillsEightSlotsAndTellsTheNinthClientTheServerIsFull)
{
    start();
    EXPECT_FALSE(mServer->start(mPort, &mHost, "", "", 0, 0));
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < 9; ++i)
    {
        peers.emplace_back(new Peer(mPort));
        peers.back()->connect("player" + std::to_string(i));
    }
    test::pollUntil([&] { mServer->update(); }, [&] { return mHost.mConnects.size() >= 8; }, 2000);
    pump(300);
    ASSERT_EQ(mHost.mConnects.size(), 8u);
    EXPECT_EQ(mHost.mConnectData[7], "player7");
    EXPECT_EQ(mHost.mConnects[0].rfind("127.0.0.1:", 0), 0u);
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(peers[i]->drain().empty()) << i;
    // Never asked about, and told at once rather than left to time out.
    EXPECT_EQ(peers[8]->drain(), (std::vector<std::vector<unsigned char>>{{3, SERVER_FULL, 0, 0, 0}}));
}

TEST_F(ServerTest, RefusedClientHearsItsReasonOnceAndKeepsNoNode)
{
    start(1);
    const unsigned int began = Thread::timer();
    mHost.mRefuseWith = 42;
    Peer refused(mPort);
    refused.connect("wrong password");
    pump(100);
    refused.connect("wrong password");
    pump(100);
    auto packets = refused.drain();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0], (std::vector<unsigned char>{3, 42, 0, 0, 0}));
    EXPECT_EQ(mHost.mConnects.size(), 1u);

    // Its goodbye reaches nobody, and its slot is free again.
    refused.send({3, 9, 0, 0, 0});
    pump(50);
    EXPECT_TRUE(mHost.mDisconnects.empty());
    mHost.mRefuseWith = 0;
    Peer next(mPort);
    next.connect("ok");
    test::pollUntil([&] { mServer->update(); }, [&] { return mHost.mConnects.size() == 2; }, 1000);
    EXPECT_EQ(mHost.mConnects.size(), 2u);

    // A full table of refusals forgets its oldest: with the first one above and one more than
    // it holds refused here, one at a time and a few milliseconds apart, the first two are
    // refused anew when they ask again and the third hears nothing more.
    std::vector<std::unique_ptr<Peer>> crowd;
    for (unsigned int i = 0; i <= NetworkServer::MAX_REFUSALS; ++i)
    {
        Thread::sleep(2);
        crowd.emplace_back(new Peer(mPort));
        crowd.back()->connect("crowd");
        size_t told = 0;
        test::pollUntil([&] { mServer->update(); },
                        [&] { return (told += crowd.back()->drain().size()) > 0; }, 1000);
        ASSERT_EQ(told, 1u) << i;
    }
    crowd[1]->connect("again");
    crowd[0]->connect("again");
    size_t told = 0;
    test::pollUntil([&] { mServer->update(); }, [&] { return (told += crowd[0]->drain().size()) > 0; }, 1000);
    pump(20);
    EXPECT_EQ(told, 1u);
    // Refusals are remembered for a while only: on a machine too busy to refuse them all in that
    // time, the third may have expired too.
    if (Thread::timer() - began < NetworkServer::DISCONNECT_LINGER)
        EXPECT_TRUE(crowd[1]->drain().empty());
}

TEST_F(ServerTest, PacesDataPacketsAndTimesOutASilentClient)
{
    start(8, 600);
    Peer peer(mPort);
    peer.connect("");
    // Times are read around each update, which reads the clock once: on a busy machine the test
    // may be held up anywhere, but an update's own time always lies between the two.
    int acceptedBefore = 0, acceptedAfter = 0;
    test::pollUntil(
        [&]
        {
            acceptedBefore = static_cast<int>(Thread::timer());
            mServer->update();
            acceptedAfter = static_cast<int>(Thread::timer());
        },
        [&] { return !mHost.mConnects.empty(); }, 1000);
    int lastQuiet = acceptedAfter, firstAfter = 0;
    std::vector<unsigned char> first;
    test::pollUntil(
        [&]
        {
            const int before = static_cast<int>(Thread::timer());
            mServer->update();
            auto packets = peer.drain();
            if (packets.empty())
                lastQuiet = before;
            else
            {
                first = packets[0];
                firstAfter = static_cast<int>(Thread::timer());
            }
        },
        [&] { return !first.empty(); }, 1000);
    ASSERT_EQ(first.size(), 6u);
    EXPECT_EQ(first[0], NetworkServer::PACKET_DATA);
    // Nothing heard from the client yet: the first packet waits the longest interval, and goes
    // with the first update past it.
    const int interval = static_cast<int>(NetworkServer::MAX_PACKET_INTERVAL);
    EXPECT_GE(firstAfter - acceptedBefore, interval);
    EXPECT_LT(lastQuiet - acceptedAfter, interval);

    // A client packet is answered by the next update once an update interval (50 ms) has passed
    // since the last packet, not at the end of the longest interval.
    pump(50);
    peer.send(dataPacket(1));
    const unsigned int sent = Thread::timer();
    mServer->update();
    EXPECT_FALSE(peer.drain().empty());

    // Then silence: one time-out, reason 1.
    test::pollUntil([&] { mServer->update(); }, [&] { return !mHost.mDisconnects.empty(); }, 3000);
    EXPECT_GE(Thread::timer() - sent, 600u);
    pump(100);
    ASSERT_EQ(mHost.mDisconnects.size(), 1u);
    EXPECT_EQ(mHost.mDisconnects[0], (std::pair<unsigned short, unsigned int>(11, 1)));
}

TEST_F(ServerTest, DropsClientThatSendsImpossibleMessages)
{
    start();
    brix::NetworkMessageQueue queue(11, 256, 100);
    mServer->registerObject(&queue, 4);
    Peer peer(mPort);
    peer.connect("");
    test::pollUntil([&] { mServer->update(); }, [&] { return !mHost.mConnects.empty(); }, 1000);

    // Oversize (one byte past the largest packet) and header-less datagrams are dropped without
    // effect; a packet of exactly the largest size is read.
    std::vector<unsigned char> oversize = dataPacket(1, {4, 3, 0, 1, 0xFF, 0xFF});
    oversize.resize(brix::NetworkManager::PACKET_SIZE + 1);
    peer.send(oversize);
    peer.send({2, 1});
    pump(50);
    EXPECT_TRUE(mHost.mDisconnects.empty());

    std::vector<unsigned char> largest = dataPacket(2, {4, 3, 0, 1, 0xFF, 0xFF});
    largest.resize(brix::NetworkManager::PACKET_SIZE);
    peer.send(largest);
    test::pollUntil([&] { mServer->update(); }, [&] { return !mHost.mDisconnects.empty(); }, 1000);
    ASSERT_EQ(mHost.mDisconnects.size(), 1u);
    // The reason the game gave for it, never one of its other reasons (3 is "Client shutdown").
    EXPECT_EQ(mHost.mDisconnects[0].second, INVALID_DATA);
    pump(50);
    bool told = false;
    for (auto& packet : peer.drain())
        told = told || packet == std::vector<unsigned char>{3, INVALID_DATA, 0, 0, 0};
    EXPECT_TRUE(told);
    // Its slot lingers without a node, so its late goodbye reaches nobody.
    peer.send({3, 9, 0, 0, 0});
    pump(50);
    EXPECT_EQ(mHost.mDisconnects.size(), 1u);
    mServer->unregisterObject(&queue);
}

TEST_F(ServerTest, CountsStrayDatagramsInsteadOfLoggingEachOne)
{
    test::LogCapture log;
    start();
    unsigned short strangerPort = test::freeUdpPort();
    Peer stranger(mPort, strangerPort);
    unsigned int began = Thread::timer();
    // A thousand tiny datagrams from an address without a slot, in bursts the socket holds.
    for (int burst = 0; burst < 20; ++burst)
    {
        for (int i = 0; i < 50; ++i)
            stranger.send({7});
        pump(5);
    }
    // One line for the first, then a count of the rest at most once a second.
    const std::string counted = " more unexpected packets ignored";
    auto strayLines = [&]
    {
        std::vector<std::string> lines;
        for (const std::string& line : log.lines())
            if (line.find("nexpected packet") != std::string::npos)
                lines.push_back(line);
        return lines;
    };
    test::pollUntil([&] { mServer->update(); },
                    [&]
                    {
                        auto lines = strayLines();
                        return !lines.empty() && lines.back().find(counted) != std::string::npos;
                    },
                    5000, 10);
    unsigned int seconds = (Thread::timer() - began) / 1000;
    auto lines = strayLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_LE(lines.size(), 2u + seconds);
    EXPECT_EQ(lines[0], "D Unexpected packet 7 from address: 127.0.0.1:" + std::to_string(strangerPort));
    unsigned long total = 0;
    for (size_t i = 1; i < lines.size(); ++i)
    {
        ASSERT_EQ(lines[i].substr(0, 2), "D ") << lines[i];
        ASSERT_EQ(lines[i].substr(lines[i].size() - counted.size()), counted) << lines[i];
        total += std::stoul(lines[i].substr(2));
    }
    EXPECT_EQ(total, 999u);

    // Once its count is written the line starts afresh: the next stray after a quiet interval
    // has a line of its own, not a count that grows.
    Thread::sleep(brix::LogThrottle::DEFAULT_INTERVAL + 10);
    stranger.send({8});
    test::pollUntil([&] { mServer->update(); }, [&] { return strayLines().size() > lines.size(); }, 5000, 10);
    pump(20);
    ASSERT_EQ(strayLines().size(), lines.size() + 1);
    EXPECT_EQ(strayLines().back(),
              "D Unexpected packet 8 from address: 127.0.0.1:" + std::to_string(strangerPort));
}

TEST_F(ServerTest, ClientDisconnectAndServerStop)
{
    start();
    Peer leaving(mPort), staying(mPort);
    leaving.connect("");
    staying.connect("");
    test::pollUntil([&] { mServer->update(); }, [&] { return mHost.mConnects.size() == 2; }, 1000);
    leaving.send({3, 1, 0});
    pump(20);
    EXPECT_TRUE(mHost.mDisconnects.empty());
    leaving.send({3, 7, 0, 0, 0});
    test::pollUntil([&] { mServer->update(); }, [&] { return !mHost.mDisconnects.empty(); }, 1000);
    ASSERT_EQ(mHost.mDisconnects.size(), 1u);
    EXPECT_EQ(mHost.mDisconnects[0].second, 7u);

    // A client the host drops keeps no node while its slot lingers: its late goodbye reaches
    // nobody, whoever the node is given to next.
    Peer kicked(mPort);
    kicked.connect("");
    test::pollUntil([&] { mServer->update(); }, [&] { return mHost.mConnects.size() == 3; }, 1000);
    mServer->disconnect(13, 6, false);
    kicked.send({3, 9, 0, 0, 0});
    pump(50);
    EXPECT_EQ(mHost.mDisconnects.size(), 1u);

    staying.drain();
    mServer->stop(5);
    EXPECT_FALSE(mServer->isRunning());
    auto packets = staying.drain();
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(packets.back(), (std::vector<unsigned char>{3, 5, 0, 0, 0}));
    EXPECT_EQ(mHost.mDisconnects.size(), 1u);

    // The next match on the same port never hears of a client of the last one.
    Host next;
    ASSERT_TRUE(mServer->start(mPort, &next, "", "", 0, 0));
    staying.send({3, 9, 0, 0, 0});
    pump(50);
    EXPECT_TRUE(next.mDisconnects.empty());
    EXPECT_TRUE(next.mConnects.empty());
}

TEST_F(ServerTest, RelaysPunchThroughOnlyFromItsServer)
{
    unsigned short matchMakerPort = test::freeUdpPort();
    Peer matchMaker(mPort, matchMakerPort), stranger(mPort);
    start();
    ASSERT_TRUE(mServer->setPunchThroughServer("127.0.0.1:" + std::to_string(matchMakerPort)));

    unsigned short joiningPort = test::freeUdpPort();
    UDPSocket joining;
    ASSERT_TRUE(joining.open(joiningPort));
    std::vector<unsigned char> forward = {120,
                                          static_cast<unsigned char>(joiningPort),
                                          static_cast<unsigned char>(joiningPort >> 8),
                                          1,
                                          0,
                                          0,
                                          127,
                                          0,
                                          0,
                                          0,
                                          0,
                                          0,
                                          0};
    unsigned char buffer[64];
    unsigned int length = 0;
    auto received = [&]
    {
        pump(30);
        std::vector<std::vector<unsigned char>> packets;
        while (joining.receive(buffer, sizeof(buffer), length))
            packets.emplace_back(buffer, buffer + length);
        return packets;
    };

    stranger.send(forward);
    EXPECT_TRUE(received().empty());
    std::vector<unsigned char> longer = forward;
    longer.push_back(0);
    matchMaker.send(longer);
    matchMaker.send({120, 1, 2});
    EXPECT_TRUE(received().empty());
    matchMaker.send(forward);
    EXPECT_EQ(received(), (std::vector<std::vector<unsigned char>>{forward}));
}

namespace
{
struct Announcement
{
    unsigned int at;
    unsigned short gameId;
    unsigned short hash;
    unsigned char matchId;
    std::string name;
    std::string info;
    unsigned int flags;
    unsigned int value;
    unsigned int code;
};

// Announcements a match maker received, with the time since start in ms.
void collect(UDPSocket& matchMaker, unsigned int start, std::vector<Announcement>& out)
{
    unsigned char buffer[1024];
    unsigned int length = 0;
    while (matchMaker.receive(buffer, sizeof(buffer), length))
    {
        brix::NetworkDecodeStream in(buffer, length);
        if (in.decodeUInt8() != NetworkServer::PACKET_ANNOUNCEMENT)
            continue;
        Announcement a;
        a.at = Thread::timer() - start;
        a.gameId = in.decodeUInt16();
        a.hash = in.decodeUInt16();
        a.matchId = in.decodeUInt8();
        a.name = in.decodeString();
        a.info = in.decodeString();
        a.flags = in.decodeUInt32();
        a.value = in.decodeUInt32();
        a.code = in.decodeUInt32();
        if (in.getResult() == brix::NetworkStream::SUCCESS && in.getRemaining() == 0)
            out.push_back(a);
    }
}
} // namespace

// Runs about 21 seconds: the schedule is in whole seconds.
TEST(NetworkServerAnnouncing, AnnouncesOnScheduleUntilVerifiedOrGivenUp)
{
    unsigned short makerPort = test::freeUdpPort();
    UDPSocket maker, stranger;
    ASSERT_TRUE(maker.open(makerPort));
    ASSERT_TRUE(stranger.open(0));

    Host verifiedHost, ignoredHost;
    NetworkServer verified(77), ignored(77);
    std::string makerAddress = "127.0.0.1:" + std::to_string(makerPort);
    ASSERT_TRUE(verified.setAnnounceServer(makerAddress));
    ASSERT_TRUE(ignored.setAnnounceServer(makerAddress));
    EXPECT_FALSE(verified.setAnnounceServer("127.0.0.1:70000"));
    ASSERT_TRUE(verified.setAnnounceServer(makerAddress));
    unsigned short verifiedPort = test::freeUdpPort();
    unsigned short ignoredPort = test::freeUdpPort();
    ignored.setInitialMatchId(7);
    // Taken before either schedule starts, however long starting takes.
    unsigned int start = Thread::timer();
    ASSERT_TRUE(verified.start(verifiedPort, &verifiedHost, "Verified", "ctf", 3, 9));
    ASSERT_TRUE(ignored.start(ignoredPort, &ignoredHost, "Ignored", "", 0, 0));

    const unsigned char code[] = {NetworkServer::PACKET_VERIFICATION, 0x78, 0x56, 0x34, 0x12};
    NetworkAddress verifiedAt(test::LOOPBACK, verifiedPort);
    // A stranger cannot verify, a short packet is not read, the match maker can; once. Code 0,
    // the announcement's "no code yet", neither verifies nor takes the code back.
    const unsigned char noCode[] = {NetworkServer::PACKET_VERIFICATION, 0, 0, 0, 0};
    stranger.transmit(code, sizeof(code), verifiedAt);
    maker.transmit(code, 3, verifiedAt);
    maker.transmit(code, sizeof(code), verifiedAt);
    maker.transmit(code, sizeof(code), verifiedAt);
    maker.transmit(noCode, sizeof(noCode), verifiedAt);

    std::vector<Announcement> fromVerified, fromIgnored;
    bool restarted = false;
    test::pollFor(
        [&]
        {
            verified.update();
            ignored.update();
            std::vector<Announcement> received;
            collect(maker, start, received);
            for (const Announcement& a : received)
                (a.name == "Verified" ? fromVerified : fromIgnored).push_back(a);
            // Given up on: start it again, with the next match id.
            if (!restarted && !ignoredHost.mVerifications.empty())
            {
                ignored.stop(0);
                ASSERT_TRUE(ignored.start(ignoredPort, &ignoredHost, "Ignored", "", 0, 0));
                restarted = true;
            }
        },
        25600, 5);

    // Four announcements 5 s apart, and no fifth until 20 s after the fourth.
    EXPECT_EQ(verifiedHost.mVerifications, (std::vector<bool>{true}));
    ASSERT_EQ(fromVerified.size(), 4u);
    for (unsigned int i = 0; i < 4; ++i)
    {
        EXPECT_GE(fromVerified[i].at, 5000 * (i + 1)) << i;
        EXPECT_LT(fromVerified[i].at, 5000 * (i + 1) + 400) << i;
        EXPECT_EQ(fromVerified[i].code, 0x12345678u) << i;
    }
    EXPECT_EQ(fromVerified[0].gameId, 77);
    EXPECT_EQ(fromVerified[0].name, "Verified");
    EXPECT_EQ(fromVerified[0].info, "ctf");
    EXPECT_EQ(fromVerified[0].flags, 3u);
    EXPECT_EQ(fromVerified[0].value, 9u);

    // Unverified: announced at 5 s (and at 10 s when that falls just before the check), given
    // up on at 10 s, then after the restart announced again 5 s later with the next match id.
    ASSERT_FALSE(ignoredHost.mVerifications.empty());
    EXPECT_FALSE(ignoredHost.mVerifications[0]);
    ASSERT_GE(fromIgnored.size(), 2u);
    EXPECT_EQ(fromIgnored[0].code, 0u);
    unsigned int restartedAt = 0;
    for (const Announcement& a : fromIgnored)
    {
        if (a.matchId == 7)
            EXPECT_LT(a.at, 10400u);
        else if (restartedAt == 0)
            restartedAt = a.at;
        EXPECT_TRUE(a.matchId == 7 || a.matchId == 8);
    }
    EXPECT_GT(restartedAt, 15000u);
    verified.stop(0);
    ignored.stop(0);
}
