// Feeds arbitrary event messages to an event proxy on both sides of a connection: a client's
// proxy of the server and a server's proxy of client node 1. Whatever arrives, only the events
// that side may take reach its dispatcher or its listener, and delivery never crashes.
#include "game/multiplayer/eventproxy.h"
#include "game/world/eventdispatcher.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
class Sink : public game::EventDispatcher::Listener, public game::EventProxy::Listener
{
public:
    explicit Sink(unsigned short node) : mNode(node) {}

    void onEvent(unsigned int id, int, int, const std::string& text) override
    {
        if (!game::EventProxy::isAcceptedFrom(id, mNode) || id >= game::EventProxy::FIRST_SYSTEM_EVENT)
            __builtin_trap();
        mSum += text.size();
    }
    void onSystemEvent(unsigned short node, unsigned int id, unsigned int, unsigned int,
                       const std::string& text, const void* data, unsigned int size) override
    {
        if (node != mNode || !game::EventProxy::isAcceptedFrom(id, node) ||
            size > game::EventProxy::SYSTEM_EVENT_DATA_SIZE)
            __builtin_trap();
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        for (unsigned int i = 0; i < size; ++i)
            mSum += bytes[i];
        mSum += text.size();
    }

private:
    unsigned short mNode;
    unsigned long mSum = 0;
};

void deliver(unsigned short node, const uint8_t* data, size_t size)
{
    game::EventDispatcher events;
    Sink sink(node);
    events.addListener(&sink);
    {
        game::EventProxy proxy(node, &events);
        proxy.setListener(&sink);
        proxy.onMessage(node, data, static_cast<unsigned short>(size));
        events.dispatch();
    }
    events.removeListener(&sink);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > game::EventProxy::SYSTEM_EVENT_SIZE)
        return 0;
    deliver(0, data, size);
    deliver(1, data, size);
    return 0;
}
