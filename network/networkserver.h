#pragma once
#include "network/networkaddress.h"
#include "network/networkmanager.h"
#include "network/udpsocket.h"

#include <string>
#include <vector>

namespace brix
{
class NetworkDecodeStream;

// The hosting side of the UDP connection layer: client slots, data packets paced per client,
// time-outs, disconnects with a reason, and the announcement of the match to a match maker,
// with the relay of its NAT punch-through requests. The game calls update() once per tick.
//
// Other packets: connect (1, the client's connect data), disconnect (3, uint32 reason),
// announcement (100: uint16 game id, uint16 local address hash, uint8 match id, string name,
// string info, uint32 flags, uint32 value, uint32 verification code), verification (101,
// uint32 code) and punch-through forward (120: uint16 port A, uint32 address A, uint16 port B,
// uint32 address B).
class NetworkServer : public NetworkManager
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        // address is "a.b.c.d:port"; connectData follows the type byte. Returns the new
        // client's node id, or NO_NODE to refuse it with reason set (it starts at 0).
        virtual unsigned short onClientConnect(const std::string& address, NetworkDecodeStream& connectData,
                                               unsigned int& reason) = 0;
        virtual void onClientDisconnect(unsigned short node, const std::string& address,
                                        unsigned int reason) = 0;
        virtual void onAnnounceVerification(bool verified) = 0;
    };

    struct TClient
    {
        TClient();

        NetworkAddress address;
        unsigned short node;
        TNodeState nodeState;
        unsigned int reason;
    };

    // A client is sent at least one packet in this many ms.
    static constexpr unsigned int MAX_PACKET_INTERVAL = 200;
    // The client has sent something since our last packet when its newest packet came less
    // than this many ms after ours (a larger difference is a wrapped, older one).
    static constexpr unsigned int RECENT_TRAFFIC = 9999;
    // A disconnecting slot is freed this long after the last packet it processed, and a
    // refused request is remembered this long.
    static constexpr unsigned int DISCONNECT_LINGER = 1001;
    // Refused requests remembered at a time, apart from the client slots so that no flood of
    // bad requests can take a slot from a good one; past this the oldest is forgotten.
    static constexpr unsigned int MAX_REFUSALS = 16;
    // The first announcements go out this often, then at the longer interval.
    static constexpr unsigned int FIRST_ANNOUNCE_INTERVAL = 5000;
    static constexpr unsigned int FIRST_ANNOUNCE_COUNT = 4;
    static constexpr unsigned int ANNOUNCE_INTERVAL = 20000;
    // Announcing stops when no verification code has come this long after the start.
    static constexpr unsigned int VERIFICATION_TIMEOUT = 10000;

    NetworkServer(unsigned short gameId = 0, unsigned int maxClients = 8, unsigned int timeout = 5000,
                  unsigned int updateInterval = 50);
    ~NetworkServer() override;

    // Port 0 takes any free port. The listener must stay until stop.
    bool start(unsigned short port, Listener* listener, const std::string& matchName,
               const std::string& matchInfo, unsigned int announceFlags, unsigned int announceValue);
    // Connected clients are sent the reason and linger as disconnecting for a while.
    void stop(unsigned int reason);
    // The listener hears of it only when immediate; either way the node is the listener's to
    // give again, and nothing the client still sends reaches the listener.
    void disconnect(unsigned short node, unsigned int reason, bool immediate);
    void update() override;

    bool isRunning() const { return mRunning; }
    // Empty text clears it. May block on a name look-up.
    bool setAnnounceServer(const std::string& text);
    void updateAnnounceInfo(const std::string& info) { mMatchInfo = info; }
    void updateAnnounceFlags(unsigned int flags) { mAnnounceFlags = flags; }
    void setInitialMatchId(unsigned char id) { mMatchId = id; }
    // The reason a client is refused with when every slot holds a connection: the game's
    // number for it, so that the client shows the game's text. REASON_TIMEOUT until set.
    void setServerFullReason(unsigned int reason) { mServerFullReason = reason; }

private:
    // A refused request: repeated connect packets from its address are not asked about again,
    // and its data packets are answered with the refusal.
    struct TRefusal
    {
        NetworkAddress address;
        unsigned int reason = 0;
        unsigned int time = 0;
        bool live = false;
    };

    void handlePacket(const unsigned char* data, unsigned int length, unsigned int now);
    void updateClient(TClient& client, unsigned int now);
    // A free slot, or else the one that has lingered longest as disconnecting; -1 when every
    // slot holds a connection.
    int setUpClient(const NetworkAddress& address, unsigned int now);
    // Sends the refusal and remembers it for a while.
    void refuse(const NetworkAddress& address, unsigned int reason, unsigned int now);
    int getRefusal(const NetworkAddress& address, unsigned int now) const;
    int getClient(const NetworkAddress& address) const;
    int getClient(unsigned short node) const;
    void freeClient(TClient& client);
    // Ends a connection the layer itself gave up on: the client is told and the listener hears of it.
    void dropClient(TClient& client, unsigned int reason);
    void transmitDisconnectPacket(const NetworkAddress& address, unsigned int reason);
    void transmitAnnouncement();
    void forwardNATPunchThrough(const unsigned char* data, unsigned int length);

    UDPSocket mSocket;
    NetworkAddress mAnnounceServer;
    unsigned short mGameId;
    unsigned short mLocalAddressHash;
    unsigned char mMatchId;
    std::string mMatchName;
    std::string mMatchInfo;
    unsigned int mAnnounceFlags;
    unsigned int mAnnounceValue;
    unsigned int mLastAnnounceTime;
    unsigned int mVerificationCode;
    unsigned int mAnnounceCount;
    unsigned int mAnnounceStartTime;
    Listener* mListener;
    std::vector<TClient> mClients;
    std::vector<TRefusal> mRefusals;
    // Requests refused because every slot holds a connection.
    LogThrottle mFullLog;
    unsigned int mServerFullReason = REASON_TIMEOUT;
    bool mRunning;
};
} // namespace brix
