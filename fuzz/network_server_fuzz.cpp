// Sends arbitrary datagrams over loopback to a running server from a client it has accepted,
// from the match maker's address, and exercises every packet path. Nothing leaves 127.0.0.1:
// no punch-through server is set, so forwarding requests are refused.
#include "network/networkdecodestream.h"
#include "network/networkmessagequeue.h"
#include "network/networkobject.h"
#include "network/networkserver.h"
#include "network/networkstatecodec.h"
#include "network/udpsocket.h"
#include "toolkit/log.h"

#include "tests/support/loopback.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
class Host : public brix::NetworkServer::Listener
{
public:
    unsigned short onClientConnect(const std::string&, brix::NetworkDecodeStream& data,
                                   unsigned int& reason) override
    {
        std::string text = data.decodeString();
        if (!text.empty() && text[0] == 'x')
        {
            reason = 9;
            return brix::NetworkServer::NO_NODE;
        }
        return 1;
    }
    void onClientDisconnect(unsigned short, const std::string&, unsigned int) override {}
    void onAnnounceVerification(bool) override {}
};

class Replica : public brix::NetworkObject
{
public:
    Replica()
    {
        mCodec.bind(&mValue, 13);
        mCodec.bind(&mPosition, -10.0f, 10.0f, 9);
    }
    void encodeNetworkData(unsigned short, brix::NetworkEncodeStream& stream, unsigned short) override
    {
        mCodec.encode(stream);
    }
    void decodeNetworkData(unsigned short, brix::NetworkDecodeStream& stream, unsigned short) override
    {
        mCodec.decode(stream);
    }
    unsigned int mValue = 0;
    float mPosition = 0.0f;
    brix::NetworkStateCodec mCodec;
};

class Inbox : public brix::NetworkMessageQueue::Listener
{
public:
    void onMessage(unsigned short, const unsigned char*, unsigned short) override {}
};

struct Rig
{
    Rig() : peerPort(test::freeUdpPort()), serverPort(test::freeUdpPort())
    {
        brix::Log::setLevel(brix::Log::NONE);
        peer.open(peerPort);
    }
    unsigned short peerPort;
    unsigned short serverPort;
    brix::UDPSocket peer;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Rig rig;
    Host host;
    Inbox inbox;
    brix::NetworkServer server(1, 2, 5000, 50);
    brix::NetworkMessageQueue queue(1, 512, 100);
    Replica replica;
    queue.setListener(&inbox);
    server.registerObject(&queue, 1);
    server.registerObject(&replica, 2);
    server.setAnnounceServer("127.0.0.1:" + std::to_string(rig.peerPort));
    if (!server.start(rig.serverPort, &host, "fuzz", "", 0, 0))
        return 0;
    brix::NetworkAddress target(test::LOOPBACK, rig.serverPort);
    const unsigned char hello[] = {1, 0};
    rig.peer.transmit(hello, sizeof(hello), target);
    server.update();

    // Datagrams of a two-byte length and that many bytes (up to 600, so oversize ones come too).
    size_t at = 0;
    for (int count = 0; count < 64 && at + 2 <= size; ++count)
    {
        size_t length = (data[at] | data[at + 1] << 8) % 601;
        at += 2;
        if (length > size - at)
            length = size - at;
        rig.peer.transmit(data + at, static_cast<unsigned int>(length), target);
        at += length;
        server.update();
    }
    server.stop(0);
    unsigned char buffer[1024];
    unsigned int length = 0;
    while (rig.peer.receive(buffer, sizeof(buffer), length))
    {
    }
    server.unregisterObject(&queue);
    server.unregisterObject(&replica);
    return 0;
}
