#include "network/networkmanager.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkobject.h"
#include "network/udpsocket.h"
#include "toolkit/log.h"
#include "toolkit/thread.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace brix
{
NetworkManager::TNodeState::TNodeState()
    : state(DISCONNECTED), received(false), transmitSequence(0), receiveSequence(0), acknowledgeSequence(0),
      acknowledgedSequence(0), objectIndex(0), transmitTime(0), receiveTime(0), probePending(false),
      probeSequence(0), probeTime(0), capacity(LATENCY_SAMPLES), samples(LATENCY_SAMPLES, 0), index(0),
      count(0), sum(0), sumOfSquares(0)
{
}

unsigned int NetworkManager::TNodeState::getLatencyEstimate() const
{
    if (count < 1)
        return 0;
    return static_cast<unsigned int>(sum / count);
}

unsigned int NetworkManager::TNodeState::getLatencyJitter() const
{
    if (count < 2)
        return 0;
    long long n = count;
    long long spread = n * sumOfSquares - sum * sum;
    if (spread <= 0)
        return 0;
    return static_cast<unsigned int>(
        std::sqrt(static_cast<double>(spread) / static_cast<double>(n * (n - 1))));
}

NetworkManager::NetworkManager(unsigned int timeout, unsigned int updateInterval)
    : mTimeout(timeout), mUpdateInterval(updateInterval), mPacketsThisUpdate(0),
      mStrayPacketLog(Log::DEBUG, "unexpected packets ignored", STRAY_PACKET_LOG_INTERVAL),
      mInvalidDataLog(Log::ERROR, "packets of invalid data from peers", STRAY_PACKET_LOG_INTERVAL), mWalks(0),
      mBlanked(false)
{
    std::memset(&mStatistics, 0, sizeof(mStatistics));
}

NetworkManager::~NetworkManager() = default;

void NetworkManager::registerObject(NetworkObject* object, unsigned char id)
{
    mObjects.emplace_back(id, object);
}

template <typename Match> void NetworkManager::removeObjects(Match match)
{
    if (mWalks > 0)
    {
        for (auto& entry : mObjects)
            if (entry.second && match(entry))
            {
                entry.second = nullptr;
                mBlanked = true;
            }
        return;
    }
    mObjects.erase(std::remove_if(mObjects.begin(), mObjects.end(), match), mObjects.end());
}

NetworkManager::RegistryWalk::~RegistryWalk()
{
    if (--mManager.mWalks > 0 || !mManager.mBlanked)
        return;
    mManager.mBlanked = false;
    mManager.removeObjects([](const std::pair<unsigned char, NetworkObject*>& entry)
                           { return !entry.second; });
}

void NetworkManager::unregisterObject(NetworkObject* object)
{
    removeObjects([object](const std::pair<unsigned char, NetworkObject*>& entry)
                  { return entry.second == object; });
}

void NetworkManager::unregisterObject(unsigned char id)
{
    removeObjects([id](const std::pair<unsigned char, NetworkObject*>& entry) { return entry.first == id; });
}

NetworkObject* NetworkManager::getNetworkObject(unsigned char id) const
{
    for (const auto& entry : mObjects)
        if (entry.first == id && entry.second)
            return entry.second;
    return nullptr;
}

bool NetworkManager::setPunchThroughServer(const std::string& text)
{
    return setServerAddress(text, "punch-through", mPunchThroughServer);
}

bool NetworkManager::setServerAddress(const std::string& text, const char* kind, NetworkAddress& address)
{
    if (text.empty())
    {
        address.setInvalid();
        return true;
    }
    address = NetworkAddress(text);
    if (!address.isValid())
    {
        Log::error("Invalid %s server address: %s", kind, text.c_str());
        return false;
    }
    return true;
}

void NetworkManager::resetStatistics()
{
    std::memset(&mStatistics, 0, sizeof(mStatistics));
}

void NetworkManager::resetNodeState(TNodeState& nodeState)
{
    nodeState.state = DISCONNECTED;
    nodeState.received = false;
    nodeState.transmitSequence = 0;
    nodeState.receiveSequence = 0;
    nodeState.acknowledgeSequence = 0;
    nodeState.acknowledgedSequence = 0;
    nodeState.objectIndex = 0;
    nodeState.transmitTime = 0;
    nodeState.receiveTime = 0;
    nodeState.probePending = false;
    nodeState.probeSequence = 0;
    nodeState.probeTime = 0;
    nodeState.index = 0;
    nodeState.count = 0;
    nodeState.sum = 0;
    nodeState.sumOfSquares = 0;
}

void NetworkManager::encodeDataPacket(unsigned short node, NetworkEncodeStream& stream, unsigned int now,
                                      TNodeState& nodeState)
{
    if (!stream.encodeTest(MIN_DATA_PACKET_ROOM))
        return;
    if (nodeState.objectIndex >= mObjects.size())
        nodeState.objectIndex = 0;

    unsigned int delay = now - nodeState.receiveTime;
    stream.encodeUInt16(nodeState.transmitSequence);
    stream.encodeUInt16(nodeState.acknowledgeSequence);
    stream.encodeUInt8(static_cast<unsigned char>(delay >= UNKNOWN_DELAY ? UNKNOWN_DELAY : delay));

    if (!mObjects.empty())
    {
        RegistryWalk walk(*this);
        unsigned short start = nodeState.objectIndex;
        bool packetEmpty = true;
        do
        {
            // A chunk needs its header and at least one byte; with less room left the object
            // waits for the next packet rather than failing this one.
            if (stream.getRemaining() < CHUNK_HEADER_SIZE + 1)
                break;
            unsigned char id = mObjects[nodeState.objectIndex].first;
            NetworkObject* object = mObjects[nodeState.objectIndex].second;
            NetworkEncodeStream chunk(stream, CHUNK_HEADER_SIZE, 0);
            if (object)
                object->encodeNetworkData(node, chunk, nodeState.transmitSequence);
            NetworkStream::Result result = chunk.getResult();
            if (result == NetworkStream::BUFFER_OVERFLOW && !packetEmpty)
                break;
            if (result == NetworkStream::BUFFER_OVERFLOW)
                Log::error("Network object %u data does not fit an empty packet: skipped",
                           static_cast<unsigned>(id));
            else if (result != NetworkStream::SUCCESS)
                Log::debug("Network object %u data encoding failed: %s", static_cast<unsigned>(id),
                           chunk.getResultText());
            else if (chunk.getOffset() > 0)
            {
                stream.encodeUInt8(id);
                stream.encodeUInt16(static_cast<unsigned short>(chunk.getOffset()));
                stream.skip(chunk.getOffset());
                packetEmpty = false;
            }
            nodeState.objectIndex =
                static_cast<unsigned short>((nodeState.objectIndex + 1) % mObjects.size());
        } while (nodeState.objectIndex != start);
    }

    if (!nodeState.probePending)
    {
        nodeState.probePending = true;
        nodeState.probeSequence = nodeState.transmitSequence;
        nodeState.probeTime = now;
    }
    ++nodeState.transmitSequence;
    nodeState.transmitTime = now;
}

void NetworkManager::transmitDataPacket(UDPSocket& socket, const NetworkAddress& address, unsigned short node,
                                        unsigned int now, TNodeState& nodeState)
{
    unsigned char packet[PACKET_SIZE];
    NetworkEncodeStream stream(packet, sizeof(packet));
    stream.encodeUInt8(PACKET_DATA);
    encodeDataPacket(node, stream, now, nodeState);
    if (stream.getResult() != NetworkStream::SUCCESS)
        Log::debug("Data packet encoding failed: %s", stream.getResultText());
    else if (socket.transmit(packet, stream.getOffset(), address))
        updateTransmitStatistics(1, stream.getOffset());
}

NetworkManager::PacketResult NetworkManager::decodeDataPacket(unsigned short node,
                                                              NetworkDecodeStream& stream, unsigned int now,
                                                              TNodeState& nodeState)
{
    // A header that does not decode changes nothing: a stray short datagram must not count
    // as a sign of life nor move the sequences.
    if (stream.getResult() != NetworkStream::SUCCESS || stream.getRemaining() < DATA_HEADER_SIZE)
        return PACKET_DROPPED;
    unsigned short sequence = stream.decodeUInt16();
    unsigned short acknowledged = stream.decodeUInt16();
    unsigned char delay = stream.decodeUInt8();

    updateLatencyEstimate(acknowledged, delay, now, nodeState);

    if (nodeState.received && !isSequenceNewer(sequence, nodeState.receiveSequence))
        return PACKET_DROPPED;
    nodeState.receiveSequence = sequence;
    nodeState.received = true;

    RegistryWalk walk(*this);
    if (isSequenceNewer(acknowledged, nodeState.acknowledgedSequence))
    {
        for (size_t i = 0; i < mObjects.size(); ++i)
            if (NetworkObject* object = mObjects[i].second)
                object->acknowledgeNetworkData(node, acknowledged);
        nodeState.acknowledgedSequence = acknowledged;
    }

    bool complete = true;
    while (stream.getRemaining() > CHUNK_HEADER_SIZE)
    {
        unsigned char id = stream.decodeUInt8();
        unsigned short length = stream.decodeUInt16();
        if (length > stream.getRemaining())
            return PACKET_UNACKNOWLEDGED;
        // Objects only ever send chunks of one byte or more.
        if (length == 0)
            continue;
        for (size_t i = 0; i < mObjects.size(); ++i)
        {
            NetworkObject* object = mObjects[i].second;
            if (mObjects[i].first != id || !object)
                continue;
            NetworkDecodeStream chunk(stream, 0, length);
            object->decodeNetworkData(node, chunk, sequence);
            if (chunk.getResult() == NetworkStream::INVALID_DATA)
            {
                if (mInvalidDataLog.allow())
                    Log::error("Invalid data for network object %u from node %u", static_cast<unsigned>(id),
                               static_cast<unsigned>(node));
                return PACKET_INVALID;
            }
            if (chunk.getResult() != NetworkStream::SUCCESS)
                complete = false;
        }
        stream.skip(length);
    }
    if (!complete)
        return PACKET_UNACKNOWLEDGED;
    nodeState.acknowledgeSequence = sequence;
    nodeState.receiveTime = now;
    return PACKET_ACCEPTED;
}

void NetworkManager::updateLatencyEstimate(unsigned short acknowledged, unsigned char delay, unsigned int now,
                                           TNodeState& nodeState)
{
    if (!nodeState.probePending)
        return;
    short distance = static_cast<short>(static_cast<unsigned short>(acknowledged - nodeState.probeSequence));
    if (distance == 0 && delay != UNKNOWN_DELAY)
    {
        long long sample = static_cast<long long>(now - nodeState.probeTime) - delay;
        // A peer that claims to have held our packet longer than it was away gives no negative time.
        if (sample < 0)
            sample = 0;
        if (sample > 0x7FFFFFFF)
            sample = 0x7FFFFFFF;
        addLatencySample(static_cast<int>(sample), nodeState);
    }
    if (distance >= 0)
        nodeState.probePending = false;
}

void NetworkManager::addLatencySample(int sample, TNodeState& nodeState)
{
    if (nodeState.capacity < 1 || nodeState.samples.size() < static_cast<size_t>(nodeState.capacity))
        return;
    nodeState.index = (nodeState.index + 1) % nodeState.capacity;
    if (nodeState.count >= nodeState.capacity)
    {
        long long old = nodeState.samples[nodeState.index];
        nodeState.sum -= old;
        nodeState.sumOfSquares -= old * old;
    }
    else
        ++nodeState.count;
    nodeState.samples[nodeState.index] = sample;
    // Squares in 64 bits: a probe answered after more than 46 s would overflow 32.
    nodeState.sum += sample;
    nodeState.sumOfSquares += static_cast<long long>(sample) * sample;
}

void NetworkManager::updateTransmitStatistics(unsigned int packets, unsigned int bytes)
{
    mStatistics.transmittedPackets += packets;
    mStatistics.transmittedBytes += bytes;
}

void NetworkManager::updateReceiveStatistics(unsigned int packets, unsigned int bytes)
{
    mStatistics.receivedPackets += packets;
    mStatistics.receivedBytes += bytes;
}

void NetworkManager::updateTimedStatistics(unsigned int now)
{
    unsigned int elapsed = now - mStatistics.lastUpdateTime;
    if (elapsed < 1000)
        return;
    auto rate = [elapsed](unsigned int total, unsigned int last)
    { return static_cast<unsigned int>(static_cast<unsigned long long>(total - last) * 1000 / elapsed); };
    mStatistics.transmittedBytesPerSecond =
        rate(mStatistics.transmittedBytes, mStatistics.lastTransmittedBytes);
    mStatistics.receivedBytesPerSecond = rate(mStatistics.receivedBytes, mStatistics.lastReceivedBytes);
    mStatistics.transmittedPacketsPerSecond =
        rate(mStatistics.transmittedPackets, mStatistics.lastTransmittedPackets);
    mStatistics.receivedPacketsPerSecond = rate(mStatistics.receivedPackets, mStatistics.lastReceivedPackets);
    mStatistics.lastTransmittedBytes = mStatistics.transmittedBytes;
    mStatistics.lastReceivedBytes = mStatistics.receivedBytes;
    mStatistics.lastTransmittedPackets = mStatistics.transmittedPackets;
    mStatistics.lastReceivedPackets = mStatistics.receivedPackets;
    mStatistics.lastUpdateTime = now;
}

bool NetworkManager::receivePacket(UDPSocket& socket, unsigned char* buffer, unsigned int& length)
{
    while (mPacketsThisUpdate < MAX_PACKETS_PER_UPDATE)
    {
        if (!socket.receive(buffer, RECEIVE_BUFFER_SIZE, length))
            return false;
        ++mPacketsThisUpdate;
        if (length == 0)
            continue;
        if (length > PACKET_SIZE)
        {
            if (logStrayPacket())
                Log::debug("Oversize packet of %u bytes from address: %s", length,
                           socket.getRemoteAddress().toString().c_str());
            continue;
        }
        return true;
    }
    return false;
}

} // namespace brix
