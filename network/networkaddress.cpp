#include "network/networkaddress.h"
#include "toolkit/log.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>

namespace brix
{
namespace
{
// Reads a decimal number; false when there is none. A number too long for any field reads
// as OUT_OF_RANGE, so that it is refused like any other value that is too large.
const unsigned long OUT_OF_RANGE = 0xFFFFFFFFul + 1;

bool readNumber(const char*& text, unsigned long& value)
{
    if (*text < '0' || *text > '9')
        return false;
    value = 0;
    while (*text >= '0' && *text <= '9')
    {
        value = value * 10 + static_cast<unsigned long>(*text - '0');
        if (value > OUT_OF_RANGE)
            value = OUT_OF_RANGE;
        ++text;
    }
    return true;
}
} // namespace

NetworkAddress::NetworkAddress() : mAddress(0), mPort(0), mValid(false) {}

NetworkAddress::NetworkAddress(unsigned int address, unsigned short port)
    : mAddress(address), mPort(port), mValid(true)
{
}

NetworkAddress::NetworkAddress(const std::string& text) : mAddress(0), mPort(0), mValid(false)
{
    // Dotted form first: four numbers, optionally a colon and a port.
    const char* p = text.c_str();
    unsigned long parts[4];
    int count = 0;
    while (count < 4 && readNumber(p, parts[count]))
    {
        ++count;
        if (count < 4)
        {
            if (*p != '.')
                break;
            ++p;
        }
    }
    if (count == 4)
    {
        unsigned long port = 0;
        bool portRead = false;
        if (*p == ':')
        {
            const char* q = p + 1;
            portRead = readNumber(q, port);
        }
        if (parts[0] > 255 || parts[1] > 255 || parts[2] > 255 || parts[3] > 255 ||
            (portRead && port > 65535))
            return;
        mAddress = static_cast<unsigned int>(parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3]);
        mPort = static_cast<unsigned short>(port);
        mValid = true;
        return;
    }

    // A host name, optionally followed by a port.
    std::string host = text;
    unsigned long port = 0;
    std::string::size_type colon = text.find(':');
    if (colon != std::string::npos)
    {
        host = text.substr(0, colon);
        const char* q = text.c_str() + colon + 1;
        if (!readNumber(q, port) || port > 65535)
            return;
    }

    addrinfo hints;
    std::memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
    {
        if (found)
            freeaddrinfo(found);
        Log::error("Host name '%s' resolving failed", host.c_str());
        return;
    }
    const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    mAddress = ntohl(in->sin_addr.s_addr);
    mPort = static_cast<unsigned short>(port);
    mValid = true;
    freeaddrinfo(found);
}

NetworkAddress::~NetworkAddress() = default;

void NetworkAddress::setInvalid()
{
    mAddress = 0;
    mPort = 0;
    mValid = false;
}

bool NetworkAddress::operator==(const NetworkAddress& other) const
{
    return mValid && other.mValid && mAddress == other.mAddress && mPort == other.mPort;
}

bool NetworkAddress::operator!=(const NetworkAddress& other) const
{
    return !mValid || !other.mValid || mAddress != other.mAddress || mPort != other.mPort;
}

std::string NetworkAddress::toString() const
{
    char text[32];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u:%u", mAddress >> 24, (mAddress >> 16) & 0xFF,
                  (mAddress >> 8) & 0xFF, mAddress & 0xFF, static_cast<unsigned>(mPort));
    return text;
}

void NetworkAddress::toSocketAddress(void* sockaddr) const
{
    if (!mValid)
        Log::error("Converting invalid network address to sockaddr");
    sockaddr_in* in = static_cast<sockaddr_in*>(sockaddr);
    std::memset(in, 0, sizeof(*in));
    in->sin_family = AF_INET;
    in->sin_port = htons(mPort);
    in->sin_addr.s_addr = htonl(mAddress);
}

void NetworkAddress::fromSocketAddress(const void* sockaddr)
{
    const sockaddr_in* in = static_cast<const sockaddr_in*>(sockaddr);
    if (in->sin_family != AF_INET)
    {
        Log::error("Converting non-internet sockaddr to network address");
        setInvalid();
        return;
    }
    mAddress = ntohl(in->sin_addr.s_addr);
    mPort = ntohs(in->sin_port);
    mValid = true;
}
} // namespace brix
