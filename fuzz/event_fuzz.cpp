// Feeds arbitrary event messages to an event proxy on both sides of a connection: a client's
// proxy of the server and a server's proxy of client node 1. Whatever arrives, only the events
// that side may take reach its dispatcher or its listener, and delivery never crashes. The
// same bytes then go to the game server as a connection request, and as the name and chat of
// the client it may have let in: a request is refused with one of the game's reasons or takes
// the free slot, and what the server passes on of a peer's text is short and clean.
#include "game/multiplayer/eventproxy.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/eventdispatcher.h"
#include "network/networkdecodestream.h"

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
// Trusts nothing a peer's text may hold after the server cleaned it.
class TextCheck : public game::EventDispatcher::Listener
{
public:
    void onEvent(unsigned int id, int, int, const std::string& text) override
    {
        const size_t limit = id == game::EventDispatcher::ChatMessage ? game::EventProxy::MAX_CHAT_SIZE
                                                                      : game::Player::MAX_NAME_SIZE;
        if (text.size() > limit)
            __builtin_trap();
        for (unsigned char character : text)
            if (character < 0x20 || character == 0x7F)
                __builtin_trap();
    }
};

void connect(const uint8_t* data, size_t size)
{
    game::EventDispatcher events;
    TextCheck check;
    game::PlayerManager players;
    players.initialize(&events, nullptr, nullptr, nullptr, nullptr);
    {
        game::Server server;
        server.initialize(&events, &players, nullptr, nullptr);
        server.start(1, 0, "pw", "", "", 0);
        brix::NetworkDecodeStream request(data, static_cast<unsigned int>(size));
        unsigned int reason = 0;
        const unsigned short node = server.onClientConnect("127.0.0.1:1", request, reason);
        if (node == brix::NetworkManager::NO_NODE)
        {
            if (reason < game::Server::REASON_INVALID_DATA || reason > game::Server::REASON_SERVER_FULL ||
                server.getSlotState(0) != game::Server::SLOT_FREE)
                __builtin_trap();
            return;
        }
        if (node != 1 || server.getSlotState(0) != game::Server::SLOT_CONNECTED)
            __builtin_trap();
        events.addListener(&check);
        const std::string text(reinterpret_cast<const char*>(data), size);
        server.onSystemEvent(node, game::EventProxy::ConfigurePlayer, 0, 0, text, nullptr, 0);
        server.onSystemEvent(node, game::EventProxy::ChatRequest, 0, 0, text, nullptr, 0);
        server.onSystemEvent(node, game::EventProxy::LevelDownloadRequest, 0, 0, text, nullptr, 0);
        events.dispatch();
        events.removeListener(&check);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > game::EventProxy::SYSTEM_EVENT_SIZE)
        return 0;
    deliver(0, data, size);
    deliver(1, data, size);
    connect(data, size);
    return 0;
}
