#pragma once
#include "network/udpsocket.h"

#include <string>
#include <vector>

namespace test
{
// A hostile joiner played by hand on loopback: one UDP socket that speaks just enough of the
// connection layer and of a client's event stream to do what the test says, and nothing else
// (it never acknowledges, never prepares, never leaves unless told).
class RawPeer
{
public:
    using Bytes = std::vector<unsigned char>;

    explicit RawPeer(unsigned short serverPort);

    // A connect packet carrying the game's connection request.
    void connect(const std::string& password, unsigned int protocolVersion);
    // A disconnect packet, as a client that shuts down says goodbye.
    void leave();
    // A data packet; with messages, one new block of the event stream (object 4) holding them.
    void send(const std::vector<Bytes>& messages = {});
    // An event message as a client sends it: id, a, b, text and, for system events, no data.
    static Bytes event(unsigned int id, unsigned int a, unsigned int b, const std::string& text);
    // Reads what has come: whether the server spoke to it, and the reason of its disconnect
    // packet (0 until one came).
    void receive();
    bool heard() const { return mHeard; }
    unsigned int reason() const { return mReason; }

private:
    brix::UDPSocket mSocket;
    unsigned short mSequence = 0;
    unsigned char mBlock = 0;
    bool mHeard = false;
    unsigned int mReason = 0;
};
} // namespace test
