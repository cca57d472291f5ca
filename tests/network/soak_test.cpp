#include "network/networkclient.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkmessagequeue.h"
#include "network/networkobject.h"
#include "network/networkserver.h"
#include "network/networkstatecodec.h"

#include "support/badnetwork.h"
#include "support/loopback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using brix::Thread;

namespace
{
// Numbered messages of varying length; the receiver checks that each comes once and in order.
class Traffic : public brix::NetworkMessageQueue::Listener
{
public:
    static constexpr unsigned int COUNT = 2000;

    void feed(brix::NetworkMessageQueue& queue)
    {
        while (mSent < COUNT)
        {
            unsigned char message[64];
            unsigned short length = static_cast<unsigned short>(4 + mSent % 50);
            for (unsigned int i = 0; i < length; ++i)
                message[i] = static_cast<unsigned char>(i < 4 ? mSent >> (8 * i) : mSent + i);
            if (!queue.transmit(message, length))
                return;
            ++mSent;
        }
    }
    void onMessage(unsigned short, const unsigned char* data, unsigned short length) override
    {
        unsigned int index =
            length < 4 ? ~0u : data[0] | data[1] << 8 | data[2] << 16 | static_cast<unsigned>(data[3]) << 24;
        bool intact = index == mReceived && length == 4 + index % 50;
        for (unsigned int i = 4; intact && i < length; ++i)
            intact = data[i] == static_cast<unsigned char>(index + i);
        if (!intact)
            ++mFaults;
        ++mReceived;
    }

    unsigned int mSent = 0;
    unsigned int mReceived = 0;
    unsigned int mFaults = 0;
};

// Replicated state: a counter, a position and a flag, the newest in every packet.
class Replica : public brix::NetworkObject
{
public:
    Replica()
    {
        mCodec.bind(&mTick, 20);
        mCodec.bind(&mPosition, -500.0f, 500.0f, 18);
        mCodec.bind(&mVisible);
    }
    void encodeNetworkData(unsigned short, brix::NetworkEncodeStream& stream, unsigned short) override
    {
        mCodec.encode(stream);
    }
    void decodeNetworkData(unsigned short, brix::NetworkDecodeStream& stream, unsigned short) override
    {
        mCodec.decode(stream);
    }
    std::vector<unsigned char> bytes() const
    {
        std::vector<unsigned char> out(mCodec.getSizeBytes());
        mCodec.encode(out.data(), static_cast<unsigned int>(out.size()));
        return out;
    }

    unsigned int mTick = 0;
    float mPosition = 0.0f;
    bool mVisible = false;
    brix::NetworkStateCodec mCodec;
};

class Host : public brix::NetworkServer::Listener
{
public:
    unsigned short onClientConnect(const std::string&, brix::NetworkDecodeStream&, unsigned int&) override
    {
        ++mConnects;
        return 1;
    }
    void onClientDisconnect(unsigned short, const std::string&, unsigned int reason) override
    {
        ++mDisconnects;
    }
    void onAnnounceVerification(bool) override {}
    int mConnects = 0;
    int mDisconnects = 0;
};

class Guest : public brix::NetworkClient::Listener
{
public:
    void onConnect() override { ++mConnects; }
    void onDisconnect(unsigned int) override { ++mDisconnects; }
    int mConnects = 0;
    int mDisconnects = 0;
};
} // namespace

// Runs a few seconds of real traffic.
TEST(NetworkSoak, ReliableMessagesAndStateSurviveABadNetwork)
{
    unsigned short serverPort = test::freeUdpPort();
    test::BadNetwork::Faults faults;
    faults.loss = 0.20;
    faults.duplication = 0.05;
    faults.reordering = 0.05;
    test::BadNetwork network(serverPort, faults);

    Host host;
    Guest guest;
    brix::NetworkServer server(0, 8, 5000, 10);
    brix::NetworkClient client(5000, 10);
    brix::NetworkMessageQueue serverQueue(1, 4096, 480), clientQueue(0, 4096, 480);
    Traffic up, down, upReceived, downReceived;
    Replica authority, copy;
    serverQueue.setListener(&upReceived);
    clientQueue.setListener(&downReceived);
    server.registerObject(&serverQueue, 1);
    server.registerObject(&authority, 2);
    client.registerObject(&clientQueue, 1);
    client.registerObject(&copy, 2);

    ASSERT_TRUE(server.start(serverPort, &host, "", "", 0, 0));
    ASSERT_TRUE(client.connect(network.address(), nullptr, 0, &guest));

    unsigned int step = 0;
    bool done = test::pollUntil(
        [&]
        {
            up.feed(clientQueue);
            down.feed(serverQueue);
            // The state moves while messages flow, then holds still to converge.
            if (upReceived.mReceived < Traffic::COUNT || downReceived.mReceived < Traffic::COUNT)
            {
                ++step;
                authority.mTick = step;
                authority.mPosition = static_cast<float>(step % 1000) - 499.5f;
                authority.mVisible = step % 3 == 0;
            }
            client.update();
            network.pump(Thread::timer());
            server.update();
            network.pump(Thread::timer());
        },
        [&]
        {
            return upReceived.mReceived >= Traffic::COUNT && downReceived.mReceived >= Traffic::COUNT &&
                   copy.bytes() == authority.bytes();
        },
        60000);

    EXPECT_TRUE(done);
    EXPECT_EQ(upReceived.mReceived, Traffic::COUNT);
    EXPECT_EQ(downReceived.mReceived, Traffic::COUNT);
    EXPECT_EQ(upReceived.mFaults, 0u);
    EXPECT_EQ(downReceived.mFaults, 0u);
    EXPECT_EQ(copy.mTick, authority.mTick);
    EXPECT_EQ(host.mConnects, 1);
    EXPECT_EQ(guest.mConnects, 1);
    EXPECT_EQ(host.mDisconnects, 0);
    EXPECT_EQ(guest.mDisconnects, 0);
    EXPECT_GT(network.mLost, 100u);
    EXPECT_GT(network.mDoubled, 10u);
    EXPECT_GT(network.mReordered, 10u);

    server.stop(0);
    client.disconnect(0, true);
}
