#pragma once
#include <string>

namespace brix
{
// An IPv4 address and port, both in host byte order (a.b.c.d is a<<24 | b<<16 | c<<8 | d).
// A default-constructed address is all zero and invalid.
class NetworkAddress
{
public:
    NetworkAddress();
    NetworkAddress(unsigned int address, unsigned short port);
    // Dotted "a.b.c.d[:port]" or "host[:port]"; a missing port is 0. A host name is looked up
    // (blocking); a failed look-up is logged and leaves the address invalid.
    explicit NetworkAddress(const std::string& text);
    virtual ~NetworkAddress();

    bool isValid() const { return mValid; }
    void setInvalid();
    unsigned short getPort() const { return mPort; }
    unsigned int getAddress() const { return mAddress; }

    // Both equal only when both are valid; two invalid addresses are unequal under both.
    bool operator==(const NetworkAddress& other) const;
    bool operator!=(const NetworkAddress& other) const;

    // "a.b.c.d:port", also for an invalid address.
    std::string toString() const;
    // Fills a sockaddr_in.
    void toSocketAddress(void* sockaddr) const;
    // Reads a sockaddr_in; any other family leaves the address invalid.
    void fromSocketAddress(const void* sockaddr);

private:
    unsigned int mAddress;
    unsigned short mPort;
    bool mValid;
};
} // namespace brix
