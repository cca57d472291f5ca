#include "support/game/eventlink.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkmanager.h"
#include "network/networkmessagequeue.h"

namespace test
{
void EventJournal::onEvent(unsigned int id, int a, int b, const std::string& text)
{
    events.push_back(std::to_string(id) + "," + std::to_string(a) + "," + std::to_string(b) + "," + text);
}

void SystemJournal::onSystemEvent(unsigned short node, unsigned int id, unsigned int a, unsigned int b,
                                  const std::string& text, const void* data, unsigned int size)
{
    events.push_back(std::to_string(node) + ":" + std::to_string(id) + "," + std::to_string(a) + "," +
                     std::to_string(b) + "," + text + "," + std::to_string(size));
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    lastData.assign(bytes, bytes + size);
}

void carryPacket(brix::NetworkObject& from, unsigned short fromNode, brix::NetworkObject& to,
                 unsigned short toNode, unsigned short sequence)
{
    unsigned char packet[brix::NetworkManager::PACKET_SIZE];
    const unsigned room = brix::NetworkManager::PACKET_SIZE - brix::NetworkManager::DATA_HEADER_SIZE -
                          brix::NetworkManager::CHUNK_HEADER_SIZE;
    brix::NetworkEncodeStream out(packet, room);
    // The receiver names the sender by its node, the sender the receiver by its.
    from.encodeNetworkData(toNode, out, sequence);
    if (out.getResult() != brix::NetworkStream::SUCCESS)
        return;
    if (out.getOffset() > 0)
    {
        brix::NetworkDecodeStream in(packet, out.getOffset());
        to.decodeNetworkData(fromNode, in, sequence);
        if (in.getResult() != brix::NetworkStream::SUCCESS)
            return;
    }
    // Every packet that arrives is acknowledged, with a chunk of this object or not.
    from.acknowledgeNetworkData(toNode, sequence);
}

EventLink::EventLink()
    : serverProxy(new game::EventProxy(CLIENT_NODE, &serverEvents)),
      clientProxy(new game::EventProxy(0, &clientEvents))
{
    serverEvents.addListener(&serverJournal);
    clientEvents.addListener(&clientJournal);
    serverProxy->setListener(&serverSystem);
    clientProxy->setListener(&clientSystem);
}

EventLink::~EventLink()
{
    serverEvents.removeListener(&serverJournal);
    clientEvents.removeListener(&clientJournal);
}

void EventLink::step()
{
    ++mSequence;
    carryPacket(*serverProxy, 0, *clientProxy, CLIENT_NODE, mSequence);
    carryPacket(*clientProxy, CLIENT_NODE, *serverProxy, 0, mSequence);
    serverProxy->receive();
    clientProxy->receive();
}

void EventLink::flush(unsigned maxSteps)
{
    for (unsigned i = 0; i < maxSteps; ++i)
        step();
}

namespace
{
class MessageCollector : public brix::NetworkMessageQueue::Listener
{
public:
    void onMessage(unsigned short, const unsigned char* data, unsigned short length) override
    {
        messages.emplace_back(data, data + length);
    }
    std::vector<std::vector<unsigned char>> messages;
};
} // namespace

std::vector<std::vector<unsigned char>> sentMessages(game::EventProxy& proxy, unsigned maxPackets)
{
    brix::NetworkMessageQueue peer(0, game::EventProxy::QUEUE_BUFFER_SIZE,
                                   game::EventProxy::QUEUE_BLOCK_SIZE);
    MessageCollector collector;
    for (unsigned short sequence = 1; sequence <= maxPackets; ++sequence)
    {
        carryPacket(proxy, 0, peer, proxy.getNode(), sequence);
        peer.receive(&collector);
    }
    return collector.messages;
}
} // namespace test
