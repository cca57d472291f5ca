#pragma once
#include "network/networkaddress.h"
#include "network/networksocket.h"

#include <string>

namespace brix
{
// A non-blocking IPv4 stream socket with time-outs, for the blocking HTTP, FTP and
// match-maker clients that run on their own threads.
class TCPSocket : public NetworkSocket
{
public:
    static constexpr unsigned int DEFAULT_TRANSMIT_TIMEOUT = 2000;
    // Bytes asked for per receive in receiveAll.
    static constexpr unsigned int RECEIVE_PIECE_SIZE = 1024;

    TCPSocket();
    ~TCPSocket() override;

    bool connect(const NetworkAddress& to, unsigned int timeoutMs);
    bool listen(unsigned short port);
    // A waiting connection, owned by the caller; null when none is waiting.
    TCPSocket* accept();
    void close();

    // The address is ignored: a stream goes to its peer.
    bool transmit(const unsigned char* data, unsigned int length, const NetworkAddress& to) override;
    // Sends everything, sleeping 10 ms whenever the system would block; gives up after the
    // transmit time-out of consecutive waits (0 waits without limit).
    bool transmit(const unsigned char* data, unsigned int length) override;
    // True with length 0 when nothing is waiting, and when the peer closed (isConnected turns false).
    bool receive(unsigned char* buffer, unsigned int size, unsigned int& length) override;
    // 0 ms waits without limit.
    bool wait(unsigned int milliseconds) override;
    // Appends to out until the peer closes. maxSize 0 has no limit; time-outs of 0 have no limit.
    // exceeded, when given, tells whether the data went past maxSize.
    bool receiveAll(std::string& out, unsigned int maxSize, unsigned int idleTimeoutMs,
                    unsigned int totalTimeoutMs, bool* exceeded = nullptr);

    bool isConnected() const { return mConnected; }
    const NetworkAddress& getRemoteAddress() const { return mRemoteAddress; }
    void setTransmitTimeout(unsigned int milliseconds) { mTransmitTimeout = milliseconds; }

private:
    // Milliseconds slept per would-block retry in transmit.
    static constexpr unsigned int TRANSMIT_RETRY_SLEEP = 10;

    bool open(unsigned short port);
    bool readLocalAddress();
    void fail();

    int mHandle;
    bool mConnected;
    NetworkAddress mLocalAddress;
    NetworkAddress mRemoteAddress;
    unsigned int mTransmitTimeout;
};
} // namespace brix
