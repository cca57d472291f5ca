#pragma once
#include "network/networkaddress.h"
#include "toolkit/logthrottle.h"

#include <string>
#include <utility>
#include <vector>

namespace brix
{
class NetworkObject;
class NetworkEncodeStream;
class NetworkDecodeStream;
class UDPSocket;

// One side of the UDP connection layer: a registry of replicated objects under one-byte chunk
// ids, and the data packets that carry their chunks. Polled by the game through update(); no
// thread, no lock. The objects are not owned and must be unregistered before they die.
//
// Data packet: uint8 type 2, uint16 sequence, uint16 acknowledged sequence, uint8 delay in ms
// (255 = 255 or more, or unknown), then chunks of uint8 object id, uint16 length, the bytes.
class NetworkManager
{
public:
    // Packet types, the first byte of every datagram.
    static constexpr unsigned char PACKET_CONNECT = 1;
    static constexpr unsigned char PACKET_DATA = 2;
    static constexpr unsigned char PACKET_DISCONNECT = 3;
    static constexpr unsigned char PACKET_ANNOUNCEMENT = 100;
    static constexpr unsigned char PACKET_VERIFICATION = 101;
    static constexpr unsigned char PACKET_PUNCH_THROUGH = 120;

    // The largest datagram sent or accepted.
    static constexpr unsigned int PACKET_SIZE = 512;
    // Bytes after the type byte: sequence, acknowledged sequence, delay.
    static constexpr unsigned int DATA_HEADER_SIZE = 5;
    // Object id and length before every chunk.
    static constexpr unsigned int CHUNK_HEADER_SIZE = 3;
    // No packet is started with less room than a header and one chunk header.
    static constexpr unsigned int MIN_DATA_PACKET_ROOM = DATA_HEADER_SIZE + CHUNK_HEADER_SIZE;
    // The delay byte's largest value, which also means unknown.
    static constexpr unsigned int UNKNOWN_DELAY = 255;
    // The bytes of a disconnect packet: type and reason.
    static constexpr unsigned int DISCONNECT_PACKET_SIZE = 5;
    // The bytes of a punch-through request or forward.
    static constexpr unsigned int PUNCH_THROUGH_PACKET_SIZE = 13;
    // The node id that means no node.
    static constexpr unsigned short NO_NODE = 65535;
    // Latency samples kept per peer.
    static constexpr int LATENCY_SAMPLES = 20;
    // The one disconnect reason the layer has of its own: a peer that stopped answering. Every
    // other reason is the game's to number; the layer sends the ones the game names for what
    // it finds itself (setInvalidDataReason, NetworkServer::setServerFullReason).
    static constexpr unsigned int REASON_TIMEOUT = 1;

    enum ConnectionState
    {
        CONNECTING = 0,
        CONNECTED = 1,
        DISCONNECTING = 2,
        DISCONNECTED = 3
    };

    // Totals since the last reset, rates per second over the last whole second or more.
    struct Statistics
    {
        unsigned int transmittedBytes;
        unsigned int receivedBytes;
        unsigned int transmittedPackets;
        unsigned int receivedPackets;
        unsigned int transmittedBytesPerSecond;
        unsigned int receivedBytesPerSecond;
        unsigned int transmittedPacketsPerSecond;
        unsigned int receivedPacketsPerSecond;
        unsigned int lastTransmittedBytes;
        unsigned int lastReceivedBytes;
        unsigned int lastTransmittedPackets;
        unsigned int lastReceivedPackets;
        unsigned int lastUpdateTime;
    };

    // The connection state of one peer.
    struct TNodeState
    {
        TNodeState();

        // Round-trip time in ms: the mean of the kept samples, 0 without any.
        unsigned int getLatencyEstimate() const;
        // The samples' standard deviation in ms, 0 with fewer than two.
        unsigned int getLatencyJitter() const;

        ConnectionState state;
        bool received;
        unsigned short transmitSequence;
        unsigned short receiveSequence;
        unsigned short acknowledgeSequence;
        unsigned short acknowledgedSequence;
        unsigned short objectIndex;
        unsigned int transmitTime;
        unsigned int receiveTime;
        bool probePending;
        unsigned short probeSequence;
        unsigned int probeTime;
        int capacity;
        std::vector<int> samples;
        int index;
        int count;
        long long sum;
        long long sumOfSquares;
    };

    NetworkManager(unsigned int timeout, unsigned int updateInterval);
    virtual ~NetworkManager();
    NetworkManager(const NetworkManager&) = delete;
    NetworkManager& operator=(const NetworkManager&) = delete;

    // Appends; the same id may be registered more than once.
    virtual void registerObject(NetworkObject* object, unsigned char id);
    // Also safe from inside an object's call (a message listener that removes a player): the
    // object is called no more from then on, and may be deleted once this returns.
    virtual void unregisterObject(NetworkObject* object);
    virtual void unregisterObject(unsigned char id);
    virtual void update() = 0;
    virtual void resetStatistics();
    virtual const Statistics& getStatistics() const { return mStatistics; }

    // True when sequence a is newer than b; sequences wrap at 65536.
    static bool isSequenceNewer(unsigned short a, unsigned short b)
    {
        return static_cast<unsigned short>(b - a) >= 32768;
    }

    // The first object registered under id, or null.
    NetworkObject* getNetworkObject(unsigned char id) const;
    void setUpdateInterval(unsigned int milliseconds) { mUpdateInterval = milliseconds; }
    // The reason a peer is disconnected with when it sent data that can never be right: the
    // game's number for it, so that the peer shows the game's text. REASON_TIMEOUT until set.
    void setInvalidDataReason(unsigned int reason) { mInvalidDataReason = reason; }
    unsigned int getUpdateInterval() const { return mUpdateInterval; }
    // Empty text clears it. May block on a name look-up.
    bool setPunchThroughServer(const std::string& text);

protected:
    // What became of a received data packet.
    enum PacketResult
    {
        PACKET_ACCEPTED,
        // A header that does not decode, or not newer than the last accepted: nothing changed.
        PACKET_DROPPED,
        // Truncated inside a chunk, or a chunk its object could not take: not acknowledged.
        PACKET_UNACKNOWLEDGED,
        // An object found data that can never be right: the peer is to be disconnected.
        PACKET_INVALID
    };

    // The caller has written the type byte. Leaves the stream failed when no packet fits.
    void encodeDataPacket(unsigned short node, NetworkEncodeStream& stream, unsigned int now,
                          TNodeState& nodeState);
    // Builds the next data packet for a peer and sends it to address; a packet that cannot be
    // built is logged and not sent.
    void transmitDataPacket(UDPSocket& socket, const NetworkAddress& address, unsigned short node,
                            unsigned int now, TNodeState& nodeState);
    // The caller has read the type byte.
    PacketResult decodeDataPacket(unsigned short node, NetworkDecodeStream& stream, unsigned int now,
                                  TNodeState& nodeState);
    void updateLatencyEstimate(unsigned short acknowledged, unsigned char delay, unsigned int now,
                               TNodeState& nodeState);
    void resetNodeState(TNodeState& nodeState);
    void updateTransmitStatistics(unsigned int packets, unsigned int bytes);
    void updateReceiveStatistics(unsigned int packets, unsigned int bytes);
    void updateTimedStatistics(unsigned int now);
    // The next datagram waiting on the socket, into a buffer of RECEIVE_BUFFER_SIZE bytes.
    // Empty and oversize datagrams are dropped here; false when nothing is left, or after
    // MAX_PACKETS_PER_UPDATE calls in one update so that a flood cannot hold the game.
    bool receivePacket(UDPSocket& socket, unsigned char* buffer, unsigned int& length);
    void beginReceiving() { mPacketsThisUpdate = 0; }
    // Datagrams nobody expects (a stranger's, an unexpected type, an oversize one) are logged
    // one line a second at most, so that a flood of them neither fills the log nor slows the
    // game: the first after a quiet second gets its own line, the rest are counted. True
    // when the caller is to log this one.
    bool logStrayPacket() { return mStrayPacketLog.allow(); }
    // Logs the counts of the throttled lines when one is due ("<count> more unexpected packets
    // ignored", "<count> more packets of invalid data from peers"); once per update.
    void reportThrottledLines()
    {
        mStrayPacketLog.report();
        mInvalidDataLog.report();
    }
    // Sets address from "host[:port]", or clears it for empty text; an address that does not
    // parse logs "Invalid <kind> server address: <text>" and gives false.
    static bool setServerAddress(const std::string& text, const char* kind, NetworkAddress& address);

    // Larger than a packet, so that a datagram too long is seen whole and dropped.
    static constexpr unsigned int RECEIVE_BUFFER_SIZE = 2 * PACKET_SIZE;
    static constexpr unsigned int MAX_PACKETS_PER_UPDATE = 512;
    // The shortest time between two log lines about unexpected datagrams, in ms.
    static constexpr unsigned int STRAY_PACKET_LOG_INTERVAL = 1000;

    std::vector<std::pair<unsigned char, NetworkObject*>> mObjects;
    unsigned int mTimeout;
    unsigned int mUpdateInterval;
    NetworkAddress mPunchThroughServer;
    Statistics mStatistics;
    unsigned int mInvalidDataReason = REASON_TIMEOUT;

private:
    // Marks a walk over the registry: entries unregistered meanwhile are blanked, and removed
    // when the outermost walk ends, so that no index or reference of the walk goes stale.
    class RegistryWalk
    {
    public:
        explicit RegistryWalk(NetworkManager& manager) : mManager(manager) { ++mManager.mWalks; }
        ~RegistryWalk();
        RegistryWalk(const RegistryWalk&) = delete;
        RegistryWalk& operator=(const RegistryWalk&) = delete;

    private:
        NetworkManager& mManager;
    };

    template <typename Match> void removeObjects(Match match);
    void addLatencySample(int sample, TNodeState& nodeState);

    unsigned int mPacketsThisUpdate;
    LogThrottle mStrayPacketLog;
    // Peers let in at will that send data no object can take: one line a second, the rest
    // counted, however many connections the data comes over.
    LogThrottle mInvalidDataLog;
    unsigned int mWalks;
    bool mBlanked;
};
} // namespace brix
