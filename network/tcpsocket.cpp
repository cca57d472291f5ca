#include "network/tcpsocket.h"
#include "toolkit/log.h"
#include "toolkit/thread.h"

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace brix
{
TCPSocket::TCPSocket()
    : mHandle(INVALID_HANDLE), mConnected(false), mTransmitTimeout(DEFAULT_TRANSMIT_TIMEOUT)
{
}

TCPSocket::~TCPSocket()
{
    close();
}

void TCPSocket::close()
{
    closeHandle(mHandle);
    mConnected = false;
}

void TCPSocket::fail()
{
    close();
    mRemoteAddress.setInvalid();
}

bool TCPSocket::readLocalAddress()
{
    sockaddr_in local;
    socklen_t localSize = sizeof(local);
    if (getsockname(mHandle, reinterpret_cast<sockaddr*>(&local), &localSize) != 0)
    {
        logSocketError("Unable to retrieve TCP socket address");
        return false;
    }
    mLocalAddress.fromSocketAddress(&local);
    return true;
}

bool TCPSocket::open(unsigned short port)
{
    fail();
    mHandle = socket(AF_INET, SOCK_STREAM, 0);
    if (mHandle < 0)
    {
        mHandle = INVALID_HANDLE;
        logSocketError("Unable to open TCP socket");
        return false;
    }
    if (!setNonBlocking(mHandle))
    {
        logSocketError("Unable to set TCP socket in non-blocking mode");
        fail();
        return false;
    }
    if (port != 0)
    {
        int reuse = 1;
        setsockopt(mHandle, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
    }
    sockaddr_in local;
    NetworkAddress(INADDR_ANY, port).toSocketAddress(&local);
    if (bind(mHandle, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0)
    {
        logSocketError("Unable to bind TCP socket");
        fail();
        return false;
    }
    if (!readLocalAddress())
    {
        fail();
        return false;
    }
    return true;
}

bool TCPSocket::connect(const NetworkAddress& to, unsigned int timeoutMs)
{
    if (!to.isValid())
    {
        Log::error("TCP socket connect attempt with invalid address");
        return false;
    }
    if (!open(0))
        return false;
    mRemoteAddress = to;
    sockaddr_in remote;
    to.toSocketAddress(&remote);
    if (::connect(mHandle, reinterpret_cast<sockaddr*>(&remote), sizeof(remote)) == 0)
    {
        mConnected = true;
        readLocalAddress();
        return true;
    }
    if (!wouldBlock(errno))
    {
        logSocketError("TCP socket connect failed (immediate)");
        fail();
        return false;
    }
    int ready = selectHandle(mHandle, true, timeoutMs, timeoutMs == 0);
    if (ready <= 0)
    {
        if (ready == 0)
            Log::error("TCP socket connect timeout");
        else
            logSocketError("TCP socket connect failed");
        fail();
        return false;
    }
    int pending = 0;
    socklen_t pendingSize = sizeof(pending);
    if (getsockopt(mHandle, SOL_SOCKET, SO_ERROR, &pending, &pendingSize) != 0)
    {
        logSocketError("Unable to get socket option SO_ERROR");
        fail();
        return false;
    }
    if (pending != 0)
    {
        logSocketError("TCP socket connect failed", pending);
        fail();
        return false;
    }
    if (!readLocalAddress())
    {
        fail();
        return false;
    }
    mConnected = true;
    return true;
}

bool TCPSocket::listen(unsigned short port)
{
    if (!open(port))
        return false;
    if (::listen(mHandle, 0) != 0)
    {
        logSocketError("Unable to listen on TCP socket");
        fail();
        return false;
    }
    return true;
}

TCPSocket* TCPSocket::accept()
{
    if (mHandle == INVALID_HANDLE)
        return nullptr;
    sockaddr_in peer;
    socklen_t peerSize = sizeof(peer);
    int handle = ::accept(mHandle, reinterpret_cast<sockaddr*>(&peer), &peerSize);
    if (handle < 0)
    {
        int code = errno;
        if (!wouldBlock(code) && code != EINTR && code != ECONNABORTED)
            logSocketError("TCP socket accept failed", code);
        return nullptr;
    }
    if (!setNonBlocking(handle))
    {
        logSocketError("Unable to set TCP socket in non-blocking mode");
        ::close(handle);
        return nullptr;
    }
    TCPSocket* accepted = new TCPSocket();
    accepted->mHandle = handle;
    accepted->mConnected = true;
    accepted->mRemoteAddress.fromSocketAddress(&peer);
    accepted->readLocalAddress();
    return accepted;
}

bool TCPSocket::transmit(const unsigned char* data, unsigned int length, const NetworkAddress&)
{
    return transmit(data, length);
}

bool TCPSocket::transmit(const unsigned char* data, unsigned int length)
{
    if (mHandle == INVALID_HANDLE)
        return false;
    unsigned int sent = 0;
    unsigned int retries = 0;
    while (sent < length)
    {
        ssize_t result = send(mHandle, data + sent, length - sent, MSG_NOSIGNAL);
        if (result > 0)
        {
            sent += static_cast<unsigned int>(result);
            retries = 0;
            continue;
        }
        int code = errno;
        if (result < 0 && code == EINTR)
            continue;
        if (result < 0 && wouldBlock(code))
        {
            if (mTransmitTimeout != 0 && ++retries > mTransmitTimeout / TRANSMIT_RETRY_SLEEP)
            {
                Log::error("TCP socket transmit timeout");
                return false;
            }
            Thread::sleep(TRANSMIT_RETRY_SLEEP);
            continue;
        }
        logSocketError("Could not send to TCP socket", code);
        return false;
    }
    return true;
}

bool TCPSocket::receive(unsigned char* buffer, unsigned int size, unsigned int& length)
{
    length = 0;
    if (mHandle == INVALID_HANDLE)
        return false;
    ssize_t result = recv(mHandle, buffer, size, 0);
    if (result > 0)
    {
        length = static_cast<unsigned int>(result);
        return true;
    }
    if (result == 0)
    {
        if (size > 0)
            mConnected = false;
        return true;
    }
    int code = errno;
    if (wouldBlock(code) || code == EINTR)
        return true;
    logSocketError("Could not receive from TCP socket", code);
    return false;
}

bool TCPSocket::wait(unsigned int milliseconds)
{
    if (mHandle == INVALID_HANDLE)
        return false;
    int ready = selectHandle(mHandle, false, milliseconds, milliseconds == 0);
    if (ready < 0)
        logSocketError("Select on TCP socket failed", errno);
    return ready > 0;
}

bool TCPSocket::receiveAll(std::string& out, unsigned int maxSize, unsigned int idleTimeoutMs,
                           unsigned int totalTimeoutMs, bool* exceeded)
{
    if (exceeded)
        *exceeded = false;
    if (totalTimeoutMs != 0 && (idleTimeoutMs == 0 || idleTimeoutMs > totalTimeoutMs))
        idleTimeoutMs = totalTimeoutMs;
    if (!mConnected)
        return true;
    unsigned int start = Thread::timer();
    unsigned int total = 0;
    unsigned char piece[RECEIVE_PIECE_SIZE];
    for (;;)
    {
        if (totalTimeoutMs != 0 && Thread::timer() - start > totalTimeoutMs)
        {
            Log::error("TCP socket receive timeout (total time)");
            return false;
        }
        unsigned int length = 0;
        if (!receive(piece, sizeof(piece), length))
            return false;
        if (length == 0)
        {
            if (!mConnected)
                return true;
            if (!wait(idleTimeoutMs))
            {
                Log::error("TCP socket receive timeout (receive idle time)");
                return false;
            }
            continue;
        }
        if (maxSize != 0 && length > maxSize - total)
        {
            Log::error("TCP socket receive size exceeded");
            if (exceeded)
                *exceeded = true;
            return false;
        }
        out.append(reinterpret_cast<const char*>(piece), length);
        total += length;
        if (!mConnected)
            return true;
    }
}
} // namespace brix
