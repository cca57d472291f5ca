// Answers a connecting client over loopback with arbitrary datagrams from its server's
// address and from a stranger's, and exercises every packet path of the client.
#include "network/networkclient.h"
#include "network/networkdecodestream.h"
#include "network/networkmessagequeue.h"
#include "network/networkobject.h"
#include "network/networkstatecodec.h"
#include "network/udpsocket.h"
#include "toolkit/log.h"

#include "tests/support/loopback.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
class Guest : public brix::NetworkClient::Listener
{
public:
    void onConnect() override {}
    void onDisconnect(unsigned int) override {}
};

class Replica : public brix::NetworkObject
{
public:
    Replica()
    {
        mCodec.bind(&mValue, 21);
        mCodec.bind(&mFlag);
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
    bool mFlag = false;
    brix::NetworkStateCodec mCodec;
};

class Inbox : public brix::NetworkMessageQueue::Listener
{
public:
    void onMessage(unsigned short, const unsigned char*, unsigned short) override {}
};

struct Rig
{
    Rig() : serverPort(test::freeUdpPort())
    {
        brix::Log::setLevel(brix::Log::NONE);
        server.open(serverPort);
        stranger.open(0);
    }
    unsigned short serverPort;
    brix::UDPSocket server;
    brix::UDPSocket stranger;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Rig rig;
    Guest guest;
    Inbox inbox;
    brix::NetworkClient client(5000, 50);
    brix::NetworkMessageQueue queue(0, 512, 100);
    Replica replica;
    queue.setListener(&inbox);
    client.registerObject(&queue, 1);
    client.registerObject(&replica, 2);
    if (!client.connect("127.0.0.1:" + std::to_string(rig.serverPort), nullptr, 0, &guest))
        return 0;
    unsigned char buffer[1024];
    unsigned int length = 0;
    brix::NetworkAddress clientAddress;
    while (rig.server.receive(buffer, sizeof(buffer), length))
        clientAddress = rig.server.getRemoteAddress();
    if (!clientAddress.isValid())
    {
        client.disconnect(0, true);
        return 0;
    }

    // Datagrams of a two-byte length and that many bytes; the top bit of the length sends it
    // from a stranger instead of the server.
    size_t at = 0;
    for (int count = 0; count < 64 && at + 2 <= size; ++count)
    {
        unsigned int header = data[at] | data[at + 1] << 8;
        at += 2;
        size_t datagram = (header & 0x7FFF) % 601;
        if (datagram > size - at)
            datagram = size - at;
        brix::UDPSocket& from = (header & 0x8000) ? rig.stranger : rig.server;
        from.transmit(data + at, static_cast<unsigned int>(datagram), clientAddress);
        at += datagram;
        client.update();
    }
    client.disconnect(0, true);
    while (rig.server.receive(buffer, sizeof(buffer), length))
    {
    }
    client.unregisterObject(&queue);
    client.unregisterObject(&replica);
    return 0;
}
