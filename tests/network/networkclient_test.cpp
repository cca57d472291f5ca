#include "network/networkclient.h"
#include "network/udpsocket.h"

#include "support/loopback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using brix::NetworkAddress;
using brix::NetworkClient;
using brix::Thread;
using brix::UDPSocket;

namespace
{
class Joiner : public NetworkClient::Listener
{
public:
    void onConnect() override { ++mConnects; }
    void onDisconnect(unsigned int reason) override { mReasons.push_back(reason); }
    int mConnects = 0;
    std::vector<unsigned int> mReasons;
};

struct Datagram
{
    unsigned int at;
    std::vector<unsigned char> bytes;
};

// A server played by hand on a socket of its own.
class ClientTest : public testing::Test
{
protected:
    void SetUp() override
    {
        mPort = test::freeUdpPort();
        ASSERT_TRUE(mServer.open(mPort));
        mAddress = "127.0.0.1:" + std::to_string(mPort);
    }
    void TearDown() override { mClient.disconnect(0, true); }

    std::vector<Datagram> drain(UDPSocket& socket, unsigned int start)
    {
        std::vector<Datagram> packets;
        unsigned char buffer[1024];
        unsigned int length = 0;
        while (socket.receive(buffer, sizeof(buffer), length))
            packets.push_back(
                Datagram{Thread::timer() - start, std::vector<unsigned char>(buffer, buffer + length)});
        return packets;
    }
    bool connect(unsigned short length = 0)
    {
        std::vector<unsigned char> data(length, 0x5A);
        return mClient.connect(mAddress, data.data(), length, &mJoiner);
    }
    void reply(std::vector<unsigned char> bytes, UDPSocket* from = nullptr)
    {
        (from ? *from : mServer)
            .transmit(bytes.data(), static_cast<unsigned int>(bytes.size()), mClientAddress);
    }
    // Connects and answers with a first data packet.
    void establish(unsigned short sequence = 100)
    {
        ASSERT_TRUE(connect());
        unsigned int start = Thread::timer();
        ASSERT_TRUE(mServer.wait(1000));
        drain(mServer, start);
        mClientAddress = mServer.getRemoteAddress();
        reply(data(sequence, 0));
        test::pollUntil([&] { mClient.update(); }, [&] { return mJoiner.mConnects == 1; }, 1000);
        ASSERT_EQ(mClient.getConnectionState(), NetworkClient::CONNECTED);
    }
    static std::vector<unsigned char> data(unsigned short sequence, unsigned short ack,
                                           unsigned char delay = 0)
    {
        return {2,
                static_cast<unsigned char>(sequence),
                static_cast<unsigned char>(sequence >> 8),
                static_cast<unsigned char>(ack),
                static_cast<unsigned char>(ack >> 8),
                delay};
    }

    unsigned short mPort = 0;
    std::string mAddress;
    UDPSocket mServer;
    NetworkAddress mClientAddress;
    Joiner mJoiner;
    NetworkClient mClient{600, 50};
};
} // namespace

TEST_F(ClientTest, ConnectDataUpToTheLastByteOfAPacket)
{
    EXPECT_FALSE(connect(510));
    EXPECT_EQ(mClient.getConnectionState(), NetworkClient::DISCONNECTED);
    EXPECT_FALSE(mClient.connect("127.0.0.1:70000", nullptr, 0, &mJoiner));
    ASSERT_TRUE(connect(509));
    EXPECT_FALSE(connect(1));
    ASSERT_TRUE(mServer.wait(1000));
    auto packets = drain(mServer, 0);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].bytes.size(), 510u);
    EXPECT_EQ(packets[0].bytes[0], NetworkClient::PACKET_CONNECT);
    EXPECT_EQ(packets[0].bytes[509], 0x5A);
}

// Runs about five seconds: the retries are a second apart.
TEST_F(ClientTest, GivesUpAfterSixConnectPacketsWithPunchThroughBesideTheLastThree)
{
    UDPSocket punch;
    unsigned short punchPort = test::freeUdpPort();
    ASSERT_TRUE(punch.open(punchPort));
    ASSERT_TRUE(mClient.setPunchThroughServer("127.0.0.1:" + std::to_string(punchPort)));
    ASSERT_TRUE(connect(3));
    unsigned int start = Thread::timer();
    std::vector<Datagram> connects, requests;
    unsigned int gaveUp = 0;
    test::pollUntil(
        [&]
        {
            mClient.update();
            for (auto& packet : drain(mServer, start))
                connects.push_back(packet);
            for (auto& packet : drain(punch, start))
                requests.push_back(packet);
            if (!mJoiner.mReasons.empty() && gaveUp == 0)
                gaveUp = Thread::timer() - start;
        },
        [&] { return !mJoiner.mReasons.empty(); }, 8000, 5);

    ASSERT_EQ(connects.size(), 6u);
    EXPECT_LT(connects[1].at, 200u);
    for (unsigned int i = 2; i < 6; ++i)
    {
        EXPECT_GT(connects[i].at, 1000 * (i - 1)) << i;
        EXPECT_LT(connects[i].at, 1000 * (i - 1) + 300) << i;
        EXPECT_EQ(connects[i].bytes, (std::vector<unsigned char>{1, 0x5A, 0x5A, 0x5A}));
    }
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_GT(requests[0].at, 2000u);
    std::vector<unsigned char> request = {120,
                                          0,
                                          0,
                                          0,
                                          0,
                                          0,
                                          0,
                                          1,
                                          0,
                                          0,
                                          127,
                                          static_cast<unsigned char>(mPort),
                                          static_cast<unsigned char>(mPort >> 8)};
    EXPECT_EQ(requests[0].bytes, request);
    EXPECT_EQ(mJoiner.mReasons, (std::vector<unsigned int>{1}));
    EXPECT_GT(gaveUp, 5000u);
    EXPECT_EQ(mJoiner.mConnects, 0);
    EXPECT_EQ(mClient.getConnectionState(), NetworkClient::DISCONNECTED);
}

TEST_F(ClientTest, HearsOnlyItsServer)
{
    ASSERT_TRUE(connect());
    ASSERT_TRUE(mServer.wait(1000));
    drain(mServer, 0);
    mClientAddress = mServer.getRemoteAddress();
    UDPSocket stranger;
    ASSERT_TRUE(stranger.open(0));
    reply(data(1, 0), &stranger);
    reply({3, 9, 0, 0, 0}, &stranger);
    test::pollFor([&] { mClient.update(); }, 50);
    EXPECT_EQ(mJoiner.mConnects, 0);
    EXPECT_TRUE(mJoiner.mReasons.empty());
    // Nor is a header-less packet from the server a sign of it.
    reply({2, 1});
    test::pollFor([&] { mClient.update(); }, 50);
    EXPECT_EQ(mClient.getConnectionState(), NetworkClient::CONNECTING);
}

TEST_F(ClientTest, StrayDatagramsDoNotBreakTheConnection)
{
    // A two-byte datagram read as sequence 0 would make every sequence from 32769 on look old.
    establish(32800);
    reply({2, 0});
    test::pollFor([&] { mClient.update(); }, 20);
    for (unsigned short sequence = 32801; sequence < 32830; ++sequence)
    {
        reply(data(sequence, 0));
        test::pollFor([&] { mClient.update(); }, 30);
    }
    EXPECT_TRUE(mJoiner.mReasons.empty());
    EXPECT_EQ(mClient.getConnectionState(), NetworkClient::CONNECTED);

    // A short disconnect is ignored; a whole one ends the connection with its reason, once.
    reply({3, 7, 0});
    test::pollFor([&] { mClient.update(); }, 20);
    EXPECT_TRUE(mJoiner.mReasons.empty());
    reply({3, 7, 0, 0, 0});
    reply({3, 8, 0, 0, 0});
    test::pollFor([&] { mClient.update(); }, 20);
    EXPECT_EQ(mJoiner.mReasons, (std::vector<unsigned int>{7}));
}

TEST_F(ClientTest, FirstPacketCutInsideAChunkStillConnects)
{
    ASSERT_TRUE(connect());
    ASSERT_TRUE(mServer.wait(1000));
    drain(mServer, 0);
    mClientAddress = mServer.getRemoteAddress();
    auto cut = data(100, 0);
    cut.insert(cut.end(), {7, 10, 0, 1, 2});
    reply(cut);
    test::pollFor([&] { mClient.update(); }, 100);
    EXPECT_EQ(mJoiner.mConnects, 1);
    EXPECT_TRUE(mJoiner.mReasons.empty());
    EXPECT_EQ(mClient.getConnectionState(), NetworkClient::CONNECTED);
}

TEST_F(ClientTest, KeepsASteadyPacketRateAndTimesOut)
{
    establish();
    // One packet an interval, whenever an update comes an interval after the last one went: the
    // bounds follow from when the updates really came, so that a machine holding the test back
    // loosens them instead of failing it. The server answers every packet meanwhile.
    const unsigned int interval = 50;
    std::vector<unsigned int> updates;
    unsigned short sequence = 101;
    auto update = [&]
    {
        updates.push_back(Thread::timer());
        mClient.update();
    };
    unsigned int start = Thread::timer();
    drain(mServer, start);
    size_t packets = 0;
    test::pollFor(
        [&]
        {
            update();
            for (size_t sent = drain(mServer, start).size(); sent > 0; --sent, ++packets)
                reply(data(sequence++, 0));
        },
        500, 10);
    unsigned int longest = 0;
    for (size_t i = 1; i < updates.size(); ++i)
        longest = std::max(longest, updates[i] - updates[i - 1]);
    const unsigned int elapsed = updates.back() - updates.front();
    EXPECT_GE(packets, elapsed / (interval + longest));
    EXPECT_LE(packets, elapsed / interval + 2);

    // After a stall one packet goes out, and the schedule restarts from then.
    Thread::sleep(300);
    unsigned int resumed = Thread::timer();
    mClient.update();
    EXPECT_EQ(drain(mServer, resumed).size(), 1u);
    updates.clear();
    test::pollFor(update, 30, 5);
    EXPECT_LE(drain(mServer, resumed).size(), (updates.back() - resumed) / interval);

    // The server falls silent for longer than the time-out.
    test::pollUntil([&] { mClient.update(); }, [&] { return !mJoiner.mReasons.empty(); }, 2000);
    EXPECT_EQ(mJoiner.mReasons, (std::vector<unsigned int>{1}));
    EXPECT_EQ(mClient.getConnectionState(), NetworkClient::DISCONNECTED);
}

TEST_F(ClientTest, MeasuresRoundTripLessTheServersDelay)
{
    establish();
    // Answer each client packet 80 ms later, saying we held it 30: 50 ms each way in all.
    unsigned int start = Thread::timer();
    std::vector<std::pair<unsigned int, unsigned short>> pending;
    unsigned short sequence = 200;
    test::pollFor(
        [&]
        {
            mClient.update();
            for (auto& packet : drain(mServer, start))
                pending.emplace_back(packet.at,
                                     static_cast<unsigned short>(packet.bytes[1] | packet.bytes[2] << 8));
            unsigned int now = Thread::timer() - start;
            while (!pending.empty() && now - pending.front().first >= 80)
            {
                reply(data(++sequence, pending.front().second, 30));
                pending.erase(pending.begin());
            }
        },
        1500);
    EXPECT_GE(mClient.getLatencyEstimate(), 50u);
    EXPECT_LT(mClient.getLatencyEstimate(), 80u);
}

TEST_F(ClientTest, DisconnectTellsTheServerAndClosesLater)
{
    establish();
    unsigned int start = Thread::timer();
    drain(mServer, start);
    mClient.disconnect(12, false);
    EXPECT_EQ(mClient.getConnectionState(), NetworkClient::DISCONNECTING);
    auto told = drain(mServer, start);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].bytes, (std::vector<unsigned char>{3, 12, 0, 0, 0}));
    // Still answering a server that did not hear it.
    reply(data(300, 0));
    test::pollFor([&] { mClient.update(); }, 20);
    EXPECT_EQ(drain(mServer, start).size(), 1u);
    test::pollUntil([&] { mClient.update(); }, [&] { return !mJoiner.mReasons.empty(); }, 2000);
    EXPECT_GE(Thread::timer() - start, 1000u);
    EXPECT_EQ(mJoiner.mReasons, (std::vector<unsigned int>{12}));
}
