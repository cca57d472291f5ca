#pragma once
#include "game/multiplayer/eventproxy.h"
#include "game/world/eventdispatcher.h"
#include "network/networkobject.h"

#include <memory>
#include <string>
#include <vector>

namespace test
{
// Writes every game event it hears as "<id>,<a>,<b>,<text>".
class EventJournal : public game::EventDispatcher::Listener
{
public:
    void onEvent(unsigned int id, int a, int b, const std::string& text) override;
    std::vector<std::string> events;
};

// Writes every system event it is handed as "<node>:<id>,<a>,<b>,<text>,<size>", and keeps the
// last data.
class SystemJournal : public game::EventProxy::Listener
{
public:
    void onSystemEvent(unsigned short node, unsigned int id, unsigned int a, unsigned int b,
                       const std::string& text, const void* data, unsigned int size) override;
    std::vector<std::string> events;
    std::vector<unsigned char> lastData;
};

// The chunks that one network object writes for a node, moved into another object's decoder as
// whole data packets would carry them, with acknowledgements; nothing lost. Every step is one
// packet each way, so a test bounds its loops by step count.
void carryPacket(brix::NetworkObject& from, unsigned short fromNode, brix::NetworkObject& to,
                 unsigned short toNode, unsigned short sequence);

// A server and a client in two processes, as their event proxies see each other: the server's
// proxy of client node 1 on the server's dispatcher, and the client's proxy of node 0 on the
// client's dispatcher, joined by data packets in memory. Each side's journals hear what it
// receives.
class EventLink
{
public:
    static constexpr unsigned short CLIENT_NODE = 1;

    EventLink();
    ~EventLink();

    // One packet each way, then both proxies deliver what has arrived.
    void step();
    // Steps until nothing is left in flight, at most maxSteps; dispatches neither side.
    void flush(unsigned maxSteps = 200);

    game::EventDispatcher serverEvents;
    game::EventDispatcher clientEvents;
    std::unique_ptr<game::EventProxy> serverProxy;
    std::unique_ptr<game::EventProxy> clientProxy;
    EventJournal serverJournal;
    EventJournal clientJournal;
    SystemJournal serverSystem;
    SystemJournal clientSystem;

private:
    unsigned short mSequence = 0;
};

// The bytes of every whole message a server's event proxy sends to its client, read off the
// wire.
std::vector<std::vector<unsigned char>> sentMessages(game::EventProxy& proxy, unsigned maxPackets = 200);
} // namespace test
