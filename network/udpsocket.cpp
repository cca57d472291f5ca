#include "network/udpsocket.h"
#include "toolkit/log.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace brix
{
UDPSocket::UDPSocket() : mHandle(INVALID_HANDLE), mPacketSize(DEFAULT_PACKET_SIZE) {}

UDPSocket::~UDPSocket()
{
    close();
}

bool UDPSocket::open(unsigned short port)
{
    close();
    mHandle = socket(AF_INET, SOCK_DGRAM, 0);
    if (mHandle < 0)
    {
        mHandle = INVALID_HANDLE;
        logSocketError("Unable to open UDP socket");
        return false;
    }
    if (!setNonBlocking(mHandle))
    {
        logSocketError("Unable to set UDP socket in non-blocking mode");
        close();
        return false;
    }
    sockaddr_in local;
    NetworkAddress(INADDR_ANY, port).toSocketAddress(&local);
    if (bind(mHandle, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0)
    {
        logSocketError("Unable to bind UDP socket");
        close();
        return false;
    }
    return true;
}

void UDPSocket::close()
{
    closeHandle(mHandle);
}

bool UDPSocket::transmit(const unsigned char* data, unsigned int length, const NetworkAddress& to)
{
    if (mHandle == INVALID_HANDLE || !to.isValid())
        return false;
    sockaddr_in target;
    to.toSocketAddress(&target);
    ssize_t sent =
        sendto(mHandle, data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&target), sizeof(target));
    if (sent < 0)
    {
        logSocketError("Could not transmit UDP packet");
        return false;
    }
    return true;
}

bool UDPSocket::transmit(const unsigned char* data, unsigned int length)
{
    if (!mTransmitAddress.isValid())
        return false;
    return transmit(data, length, mTransmitAddress);
}

bool UDPSocket::receive(unsigned char* buffer, unsigned int size, unsigned int& length)
{
    if (mHandle == INVALID_HANDLE)
        return false;
    sockaddr_in sender;
    socklen_t senderSize = sizeof(sender);
    ssize_t received = recvfrom(mHandle, buffer, size, 0, reinterpret_cast<sockaddr*>(&sender), &senderSize);
    if (received < 0)
    {
        int code = errno;
        if (!wouldBlock(code) && code != EINTR)
            logSocketError("Could not receive UDP packet", code);
        return false;
    }
    mRemoteAddress.fromSocketAddress(&sender);
    length = static_cast<unsigned int>(received);
    return true;
}

bool UDPSocket::wait(unsigned int milliseconds)
{
    if (mHandle == INVALID_HANDLE)
        return false;
    int ready = selectHandle(mHandle, false, milliseconds, false);
    if (ready < 0)
        logSocketError("Select on UDP socket failed", errno);
    return ready > 0;
}

void UDPSocket::setTransmitAddress(const NetworkAddress& address)
{
    if (!address.isValid())
    {
        Log::error("Attempt to set invalid UDP socket transmit address");
        return;
    }
    mTransmitAddress = address;
}

NetworkAddress UDPSocket::getLocalAddressTo(const NetworkAddress& target)
{
    NetworkAddress result;
    if (!target.isValid())
    {
        Log::error("Attempt to get UDP socket local address with invalid target address");
        return result;
    }
    UDPSocket probe;
    if (!probe.open(0))
        return result;
    sockaddr_in remote;
    target.toSocketAddress(&remote);
    if (connect(probe.mHandle, reinterpret_cast<sockaddr*>(&remote), sizeof(remote)) != 0)
    {
        probe.logSocketError("UDP socket connect failed (in an attempt to resolve local address)");
        return result;
    }
    sockaddr_in local;
    socklen_t localSize = sizeof(local);
    if (getsockname(probe.mHandle, reinterpret_cast<sockaddr*>(&local), &localSize) != 0)
    {
        probe.logSocketError("Unable to retrieve UDP socket address");
        return result;
    }
    result.fromSocketAddress(&local);
    return result;
}
} // namespace brix
