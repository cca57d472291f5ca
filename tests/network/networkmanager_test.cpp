#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkmanager.h"
#include "network/networkobject.h"

#include <gtest/gtest.h>

#include <vector>

using brix::NetworkDecodeStream;
using brix::NetworkEncodeStream;
using brix::NetworkManager;
using brix::NetworkStream;

namespace
{
class Manager : public NetworkManager
{
public:
    Manager() : NetworkManager(5000, 50) {}
    void update() override {}
    using NetworkManager::decodeDataPacket;
    using NetworkManager::encodeDataPacket;
    using NetworkManager::PACKET_ACCEPTED;
    using NetworkManager::PACKET_DROPPED;
    using NetworkManager::PACKET_INVALID;
    using NetworkManager::PACKET_UNACKNOWLEDGED;
    using NetworkManager::PacketResult;
    using NetworkManager::updateLatencyEstimate;
    using NetworkManager::updateReceiveStatistics;
    using NetworkManager::updateTimedStatistics;
    using NetworkManager::updateTransmitStatistics;
};

// Writes a fixed number of bytes of its id, and records what it is told.
class Filler : public brix::NetworkObject
{
public:
    Filler(unsigned char mark, unsigned int size) : mMark(mark), mSize(size) {}
    void acknowledgeNetworkData(unsigned short, unsigned short sequence) override
    {
        mAcks.push_back(sequence);
    }
    void encodeNetworkData(unsigned short, NetworkEncodeStream& stream, unsigned short) override
    {
        for (unsigned int i = 0; i < mSize; ++i)
            stream.encodeUInt8(mMark);
    }
    void decodeNetworkData(unsigned short, NetworkDecodeStream& stream, unsigned short sequence) override
    {
        mChunks.push_back(stream.getBufferSize());
        if (mRefuse != NetworkStream::SUCCESS)
            stream.fail(mRefuse);
    }
    unsigned char mMark;
    unsigned int mSize;
    NetworkStream::Result mRefuse = NetworkStream::SUCCESS;
    std::vector<unsigned short> mAcks;
    std::vector<unsigned int> mChunks;
};

// The chunks of an encoded data packet (after the type byte): (id, length) pairs.
std::vector<std::pair<int, int>> chunksOf(const unsigned char* packet, unsigned int length)
{
    std::vector<std::pair<int, int>> chunks;
    unsigned int at = NetworkManager::DATA_HEADER_SIZE;
    while (at + 3 <= length)
    {
        int size = packet[at + 1] | packet[at + 2] << 8;
        chunks.emplace_back(packet[at], size);
        at += 3 + size;
    }
    return chunks;
}

struct Packet
{
    unsigned char bytes[NetworkManager::PACKET_SIZE];
    unsigned int length = 0;
    NetworkStream::Result result = NetworkStream::SUCCESS;
};

Packet encode(Manager& manager, NetworkManager::TNodeState& state, unsigned int now, unsigned int room = 511)
{
    Packet packet;
    NetworkEncodeStream stream(packet.bytes, room);
    manager.encodeDataPacket(1, stream, now, state);
    packet.length = stream.getOffset();
    packet.result = stream.getResult();
    return packet;
}

std::vector<unsigned char> header(unsigned short sequence, unsigned short ack, unsigned char delay)
{
    return {static_cast<unsigned char>(sequence), static_cast<unsigned char>(sequence >> 8),
            static_cast<unsigned char>(ack), static_cast<unsigned char>(ack >> 8), delay};
}

Manager::PacketResult decode(Manager& manager, NetworkManager::TNodeState& state,
                             std::vector<unsigned char> data, unsigned int now)
{
    NetworkDecodeStream stream(data.data(), static_cast<unsigned int>(data.size()));
    return manager.decodeDataPacket(1, stream, now, state);
}
} // namespace

TEST(NetworkManager, ChunkThatOverflowsStartsTheNextPacket)
{
    Manager manager;
    Filler first(1, 300), second(2, 300), third(3, 10);
    manager.registerObject(&first, 1);
    manager.registerObject(&second, 2);
    manager.registerObject(&third, 3);
    NetworkManager::TNodeState state;

    Packet one = encode(manager, state, 1000);
    ASSERT_EQ(one.result, NetworkStream::SUCCESS);
    EXPECT_EQ(chunksOf(one.bytes, one.length), (std::vector<std::pair<int, int>>{{1, 300}}));
    Packet two = encode(manager, state, 1050);
    EXPECT_EQ(chunksOf(two.bytes, two.length), (std::vector<std::pair<int, int>>{{2, 300}, {3, 10}}));
    Packet three = encode(manager, state, 1100);
    EXPECT_EQ(chunksOf(three.bytes, three.length), (std::vector<std::pair<int, int>>{{1, 300}}));
    EXPECT_EQ(state.transmitSequence, 3);
    // The sequence, the acknowledgement and the delay lead every packet.
    EXPECT_EQ(two.bytes[0], 1);
    EXPECT_EQ(two.bytes[1], 0);
}

TEST(NetworkManager, FillingAPacketToItsEndNeverFailsIt)
{
    Manager manager;
    // 511 bytes of room: header 5, chunk 3 + 500 leaves 3, too few for another chunk.
    Filler big(1, 500), small(2, 1);
    manager.registerObject(&big, 1);
    manager.registerObject(&small, 2);
    NetworkManager::TNodeState state;
    Packet packet = encode(manager, state, 0);
    EXPECT_EQ(packet.result, NetworkStream::SUCCESS);
    EXPECT_EQ(packet.length, 508u);
    EXPECT_EQ(chunksOf(packet.bytes, packet.length), (std::vector<std::pair<int, int>>{{1, 500}}));
    EXPECT_EQ(state.objectIndex, 1);

    // An object that fits no packet at all is skipped, the others still travel.
    Filler huge(3, 600);
    manager.unregisterObject(&big);
    manager.registerObject(&huge, 3);
    Packet next = encode(manager, state, 0);
    EXPECT_EQ(next.result, NetworkStream::SUCCESS);
    EXPECT_EQ(chunksOf(next.bytes, next.length), (std::vector<std::pair<int, int>>{{2, 1}}));
    Packet after = encode(manager, state, 0);
    EXPECT_EQ(chunksOf(after.bytes, after.length), (std::vector<std::pair<int, int>>{{2, 1}}));

    // Nothing to say: a bare header.
    Manager quiet;
    Filler silent(4, 0);
    quiet.registerObject(&silent, 4);
    NetworkManager::TNodeState quietState;
    Packet bare = encode(quiet, quietState, 0);
    EXPECT_EQ(bare.length, NetworkManager::DATA_HEADER_SIZE);

    Packet cramped = encode(quiet, quietState, 0, 7);
    EXPECT_EQ(cramped.result, NetworkStream::BUFFER_OVERFLOW);
}

TEST(NetworkManager, AcceptsOnlyNewerPacketsAndAcknowledgesOnce)
{
    Manager manager;
    Filler object(1, 0);
    manager.registerObject(&object, 7);
    manager.registerObject(&object, 7);
    NetworkManager::TNodeState state;

    auto packet = header(65535, 3, 0);
    EXPECT_EQ(decode(manager, state, packet, 100), Manager::PACKET_ACCEPTED);
    EXPECT_EQ(object.mAcks, (std::vector<unsigned short>{3, 3}));
    EXPECT_EQ(decode(manager, state, header(65535, 5, 0), 110), Manager::PACKET_DROPPED);
    EXPECT_EQ(decode(manager, state, header(2, 5, 0), 120), Manager::PACKET_ACCEPTED);
    EXPECT_EQ(object.mAcks, (std::vector<unsigned short>{3, 3, 5, 5}));
    EXPECT_EQ(state.receiveSequence, 2);
    EXPECT_EQ(state.acknowledgeSequence, 2);
    EXPECT_EQ(state.receiveTime, 120u);
    // An older acknowledgement in a newer packet calls nobody.
    EXPECT_EQ(decode(manager, state, header(3, 4, 0), 130), Manager::PACKET_ACCEPTED);
    EXPECT_EQ(object.mAcks.size(), 4u);
    // Half the sequence space ahead still counts as newer; from there, 4 is 32767 behind.
    EXPECT_EQ(decode(manager, state, header(3 + 32768, 4, 0), 140), Manager::PACKET_ACCEPTED);
    EXPECT_EQ(decode(manager, state, header(4, 4, 0), 150), Manager::PACKET_DROPPED);
}

TEST(NetworkManager, HeaderThatDoesNotDecodeChangesNothing)
{
    Manager manager;
    NetworkManager::TNodeState state;
    ASSERT_EQ(decode(manager, state, header(10, 0, 0), 500), Manager::PACKET_ACCEPTED);
    EXPECT_EQ(decode(manager, state, {0xFF, 0xFF}, 900), Manager::PACKET_DROPPED);
    EXPECT_EQ(decode(manager, state, {}, 900), Manager::PACKET_DROPPED);
    EXPECT_EQ(state.receiveSequence, 10);
    EXPECT_EQ(state.acknowledgeSequence, 10);
    EXPECT_EQ(state.receiveTime, 500u);
}

TEST(NetworkManager, ChunksAreBoundedAndBadOnesLeaveThePacketUnacknowledged)
{
    Manager manager;
    Filler object(1, 0);
    manager.registerObject(&object, 9);
    NetworkManager::TNodeState state;

    // A chunk of 4 bytes, an empty chunk that is ignored, then one that claims more than is left.
    auto packet = header(1, 0, 0);
    packet.insert(packet.end(), {9, 4, 0, 'a', 'b', 'c', 'd', 9, 0, 0, 9, 200, 0, 'x'});
    EXPECT_EQ(decode(manager, state, packet, 10), Manager::PACKET_UNACKNOWLEDGED);
    EXPECT_EQ(object.mChunks, (std::vector<unsigned int>{4}));
    EXPECT_EQ(state.acknowledgeSequence, 0);
    EXPECT_EQ(state.receiveTime, 0u);

    // An object that cannot take its chunk keeps the packet from being acknowledged.
    object.mRefuse = NetworkStream::BUFFER_OVERFLOW;
    auto refused = header(2, 0, 0);
    refused.insert(refused.end(), {9, 1, 0, 'z'});
    EXPECT_EQ(decode(manager, state, refused, 20), Manager::PACKET_UNACKNOWLEDGED);
    EXPECT_EQ(state.acknowledgeSequence, 0);

    object.mRefuse = NetworkStream::INVALID_DATA;
    auto invalid = header(3, 0, 0);
    invalid.insert(invalid.end(), {9, 1, 0, 'z'});
    EXPECT_EQ(decode(manager, state, invalid, 30), Manager::PACKET_INVALID);

    object.mRefuse = NetworkStream::SUCCESS;
    auto good = header(4, 0, 0);
    good.insert(good.end(), {9, 1, 0, 'z', 1, 2});
    EXPECT_EQ(decode(manager, state, good, 40), Manager::PACKET_ACCEPTED);
    EXPECT_EQ(state.acknowledgeSequence, 4);
}

TEST(NetworkManager, EstimatesLatencyFromProbesLessThePeersDelay)
{
    Manager manager;
    NetworkManager::TNodeState state;
    // Twenty probes answered after 100 ms of which the peer held them 20.
    unsigned int now = 1000;
    for (int i = 0; i < 20; ++i)
    {
        encode(manager, state, now);
        ASSERT_TRUE(state.probePending);
        manager.updateLatencyEstimate(state.probeSequence, 20, now + 120, state);
        EXPECT_FALSE(state.probePending);
        now += 200;
    }
    EXPECT_EQ(state.getLatencyEstimate(), 100u);
    EXPECT_EQ(state.getLatencyJitter(), 0u);
    encode(manager, state, now);
    manager.updateLatencyEstimate(state.probeSequence, 0, now + 120, state);
    EXPECT_EQ(state.getLatencyEstimate(), 101u);
    EXPECT_EQ(state.sum, 2020);
    EXPECT_EQ(state.getLatencyJitter(), 4u);

    // An older acknowledgement keeps the probe; a delay of 255 ends it without a sample.
    encode(manager, state, now);
    unsigned short probe = state.probeSequence;
    manager.updateLatencyEstimate(static_cast<unsigned short>(probe - 1), 0, now + 50, state);
    EXPECT_TRUE(state.probePending);
    manager.updateLatencyEstimate(probe, 255, now + 50, state);
    EXPECT_FALSE(state.probePending);
    EXPECT_EQ(state.sum, 2020);

    // A peer that held our packet 300 ms says 255.
    NetworkManager::TNodeState late;
    late.receiveTime = 0;
    Packet packet = encode(manager, late, 300);
    EXPECT_EQ(packet.bytes[4], 255);
    Packet prompt = encode(manager, late, 40);
    EXPECT_EQ(prompt.bytes[4], 40);
}

TEST(NetworkManager, RegistryAndStatisticsRates)
{
    Manager manager;
    Filler a(1, 0), b(2, 0);
    manager.registerObject(&a, 5);
    manager.registerObject(&b, 5);
    manager.registerObject(&b, 6);
    EXPECT_EQ(manager.getNetworkObject(5), &a);
    manager.unregisterObject(&a);
    EXPECT_EQ(manager.getNetworkObject(5), &b);
    manager.unregisterObject(static_cast<unsigned char>(5));
    EXPECT_EQ(manager.getNetworkObject(5), nullptr);
    EXPECT_EQ(manager.getNetworkObject(6), &b);

    manager.updateTimedStatistics(10000);
    manager.updateTransmitStatistics(4, 2000);
    manager.updateReceiveStatistics(2, 100);
    manager.updateTimedStatistics(10999);
    EXPECT_EQ(manager.getStatistics().transmittedBytesPerSecond, 0u);
    manager.updateTimedStatistics(12000);
    EXPECT_EQ(manager.getStatistics().transmittedBytesPerSecond, 1000u);
    EXPECT_EQ(manager.getStatistics().transmittedPacketsPerSecond, 2u);
    EXPECT_EQ(manager.getStatistics().receivedBytesPerSecond, 50u);
    EXPECT_EQ(manager.getStatistics().transmittedBytes, 2000u);
    manager.resetStatistics();
    EXPECT_EQ(manager.getStatistics().transmittedBytes, 0u);

    EXPECT_TRUE(manager.setPunchThroughServer(""));
    EXPECT_TRUE(manager.setPunchThroughServer("127.0.0.1:9000"));
    EXPECT_FALSE(manager.setPunchThroughServer("127.0.0.1:99999"));
}

// An object may unregister another, or itself, from inside its own call: the other is called
// no more, even within the same packet.
TEST(NetworkManager, ObjectsMayLeaveFromInsideTheirCalls)
{
    Manager walked;
    class Leaver : public Filler
    {
    public:
        Leaver(Manager& manager, brix::NetworkObject& other) : Filler(3, 0), mManager(manager), mOther(other)
        {
        }
        void acknowledgeNetworkData(unsigned short node, unsigned short sequence) override
        {
            Filler::acknowledgeNetworkData(node, sequence);
            mManager.unregisterObject(&mOther);
            mManager.unregisterObject(this);
        }
        Manager& mManager;
        brix::NetworkObject& mOther;
    };
    Filler gone(4, 0);
    Leaver leaver(walked, gone);
    walked.registerObject(&leaver, 5);
    walked.registerObject(&gone, 5);
    NetworkManager::TNodeState state;
    auto packet = header(1, 1, 0);
    packet.insert(packet.end(), {5, 1, 0, 9});
    EXPECT_EQ(decode(walked, state, packet, 100), Manager::PACKET_ACCEPTED);
    EXPECT_EQ(leaver.mAcks, (std::vector<unsigned short>{1}));
    EXPECT_TRUE(gone.mAcks.empty());
    EXPECT_TRUE(gone.mChunks.empty());
    EXPECT_TRUE(leaver.mChunks.empty());
    EXPECT_EQ(walked.getNetworkObject(5), nullptr);
}
