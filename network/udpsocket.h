#pragma once
#include "network/networkaddress.h"
#include "network/networksocket.h"

namespace brix
{
// A non-blocking IPv4 datagram socket. remoteAddress is the sender of the last datagram
// received; the transmit address is the destination of the address-less transmit.
class UDPSocket : public NetworkSocket
{
public:
    static constexpr unsigned int DEFAULT_PACKET_SIZE = 512;

    UDPSocket();
    ~UDPSocket() override;

    // Binds to any local address; port 0 takes any free port.
    bool open(unsigned short port);
    void close();
    bool isOpen() const { return mHandle != INVALID_HANDLE; }

    bool transmit(const unsigned char* data, unsigned int length, const NetworkAddress& to) override;
    // False without a log line when no transmit address is set.
    bool transmit(const unsigned char* data, unsigned int length) override;
    // False when nothing is waiting. A datagram longer than size is cut to size: give a buffer
    // larger than the longest datagram expected to tell one that is too long.
    bool receive(unsigned char* buffer, unsigned int size, unsigned int& length) override;
    // 0 ms polls.
    bool wait(unsigned int milliseconds) override;

    void setPacketSize(unsigned int size) { mPacketSize = size; }
    unsigned int getPacketSize() const { return mPacketSize; }
    void setTransmitAddress(const NetworkAddress& address);
    const NetworkAddress& getTransmitAddress() const { return mTransmitAddress; }
    const NetworkAddress& getRemoteAddress() const { return mRemoteAddress; }

    // The local address the system would use to reach target; nothing is sent.
    static NetworkAddress getLocalAddressTo(const NetworkAddress& target);

private:
    int mHandle;
    unsigned int mPacketSize;
    NetworkAddress mTransmitAddress;
    NetworkAddress mRemoteAddress;
};
} // namespace brix
