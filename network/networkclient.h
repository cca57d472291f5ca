#pragma once
#include "network/networkmanager.h"
#include "network/udpsocket.h"

#include <string>
#include <vector>

namespace brix
{
// The joining side of the UDP connection layer. It sends connect packets until the server's
// first data packet arrives, then exchanges data packets at a steady rate, and ends on a
// disconnect packet, a time-out or its own disconnect. Objects are called with node 0 for the
// server. The game calls update() every tick; the listener is called from inside update() and
// disconnect().
//
// Other packets: connect (1, the connect data), disconnect (3, uint32 reason) and, to the
// punch-through server, the request 120: uint32 0, uint16 0, uint32 server address,
// uint16 server port.
class NetworkClient : public NetworkManager
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        // The server's first data packet arrived.
        virtual void onConnect() = 0;
        // Called once per connection that connect started: REASON_TIMEOUT when the server
        // stopped answering or never did, else the server's reason. The listener is then forgotten.
        virtual void onDisconnect(unsigned int reason) = 0;
    };

    // The most connect data a connect packet carries.
    static constexpr unsigned int MAX_CONNECT_DATA = PACKET_SIZE - 3;
    // Connect packets after the first, one second apart; the last three go with punch-through requests.
    static constexpr unsigned int CONNECT_RETRIES = 5;
    static constexpr unsigned int CONNECT_INTERVAL = 1000;
    // A disconnecting client closes this long after it began.
    static constexpr unsigned int DISCONNECT_LINGER = 1001;

    NetworkClient(unsigned int timeout = 5000, unsigned int updateInterval = 50);
    ~NetworkClient() override;

    // server is "host:port" or "a.b.c.d:port"; may block on a name look-up. False while busy,
    // and for a bad address or more than MAX_CONNECT_DATA bytes.
    bool connect(const std::string& server, const unsigned char* data, unsigned short length,
                 Listener* listener);
    // Tells the server and closes about a second later, or at once when immediate.
    void disconnect(unsigned int reason, bool immediate);
    void update() override;

    ConnectionState getConnectionState() const { return mNodeState.state; }
    unsigned int getLatencyEstimate() const { return mNodeState.getLatencyEstimate(); }
    unsigned int getLatencyJitter() const { return mNodeState.getLatencyJitter(); }

private:
    void handlePacket(const unsigned char* data, unsigned int length, unsigned int now);
    void close(unsigned int reason);
    bool transmitConnectPacket();
    void transmitDisconnectPacket();
    void transmitNATPunchThroughPacket();

    UDPSocket mSocket;
    Listener* mListener;
    unsigned int mTransmitClock;
    TNodeState mNodeState;
    unsigned int mConnectAttempts;
    unsigned int mConnectTime;
    unsigned int mReason;
    std::vector<unsigned char> mConnectData;
};
} // namespace brix
