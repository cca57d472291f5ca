#include "network/networksocket.h"
#include "toolkit/log.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <poll.h>
#include <type_traits>
#include <unistd.h>

namespace brix
{
NetworkSocket::NetworkSocket() = default;

NetworkSocket::~NetworkSocket() = default;

void NetworkSocket::logSocketError(const char* text, int code)
{
    char buffer[MAX_ERROR_TEXT];
    // The GNU strerror_r returns its own text pointer, the XSI one fills the buffer.
    auto message = strerror_r(code, buffer, sizeof(buffer));
    std::string system;
    if constexpr (std::is_same<decltype(message), char*>::value)
        system = message;
    else
        system = buffer;
    if (system.size() >= MAX_ERROR_TEXT)
        system.resize(MAX_ERROR_TEXT - 1);
    Log::error("%s: %s (%d)", text, system.c_str(), code);
}

void NetworkSocket::logSocketError(const char* text)
{
    logSocketError(text, errno);
}

void NetworkSocket::closeHandle(int& handle)
{
    if (handle != INVALID_HANDLE)
        ::close(handle);
    handle = INVALID_HANDLE;
}

bool NetworkSocket::setNonBlocking(int handle)
{
    int flags = fcntl(handle, F_GETFL, 0);
    return flags >= 0 && fcntl(handle, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool NetworkSocket::wouldBlock(int code)
{
    return code == EAGAIN || code == EWOULDBLOCK || code == EINPROGRESS;
}

int NetworkSocket::selectHandle(int handle, bool forWriting, unsigned int milliseconds, bool waitForever)
{
    // poll() rather than select(): it has no limit on the handle's number.
    pollfd entry;
    entry.fd = handle;
    entry.events = forWriting ? POLLOUT : POLLIN;
    entry.revents = 0;
    int limit = waitForever ? -1 : static_cast<int>(milliseconds > 0x7FFFFFFFu ? 0x7FFFFFFFu : milliseconds);
    for (;;)
    {
        int ready = poll(&entry, 1, limit);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return -1;
        return ready > 0 ? 1 : 0;
    }
}
} // namespace brix
