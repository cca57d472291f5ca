#pragma once
#include "game/world/eventdispatcher.h"
#include "network/networkmessagequeue.h"
#include "network/networkobject.h"
#include "toolkit/logthrottle.h"

#include <cstdint>
#include <string>

namespace game
{
// Carries events between the server and one client, on the reliable ordered message queue of
// network object 4. A client holds one proxy for node 0 (its server); the server holds one per
// client slot, for node slot + 1. Game events that arrive are posted to the local dispatcher;
// system events (the match handshake, ids 201 to 208) go to the listener and never enter the
// dispatcher. Only a proxy of a client node with a dispatcher relays game events to its peer,
// and only those a client must see.
//
// An event message: UInt8 id, UIntVar a, UIntVar b, String text, and for system events Raw
// data (length 0 when there is none). Main thread only.
class EventProxy : public brix::NetworkObject,
                   public brix::NetworkMessageQueue::Listener,
                   public EventDispatcher::Listener
{
public:
    // The match handshake.
    enum SystemEventId : unsigned int
    {
        ConnectionReady = 201,      // server: a = the client's player index, b = slot count
        ConfigurePlayer = 202,      // client: a = appearance, text = name
        PrepareMatch = 203,         // server: a = score limit, b = level checksum, text = level
        PrepareReady = 204,         // client: a = the preparation it answers, the count of
                                    // PrepareMatch events the connection has had
        BeginMatch = 205,           // server: as PrepareMatch
        ChatRequest = 206,          // client: text = the message
        LevelDownloadRequest = 207, // client: text = level name
        LevelDownloadResponse = 208 // server: text = level name, data = the level, compressed
    };

    // Ids from here on are system events.
    static constexpr unsigned int FIRST_SYSTEM_EVENT = 200;
    static constexpr unsigned int QUEUE_BUFFER_SIZE = 18432;
    static constexpr unsigned short QUEUE_BLOCK_SIZE = 128;
    // The encoded message of a game event must fit this.
    static constexpr unsigned int GAME_EVENT_SIZE = 128;
    // The largest data a system event carries, and its whole encoded message.
    static constexpr unsigned int SYSTEM_EVENT_DATA_SIZE = 16384;
    static constexpr unsigned int SYSTEM_EVENT_SIZE = SYSTEM_EVENT_DATA_SIZE + 128;
    // The text of a chat line, cut to these many bytes and cleaned (PeerText) by whoever takes
    // it from a peer: the host from its clients, a client from its host.
    static constexpr unsigned int MAX_CHAT_SIZE = 100;
    // The longest level name the handshake's events name that a client asks for or writes.
    static constexpr unsigned int MAX_LEVEL_NAME_SIZE = 64;

    // The receiver of system events: the Server or the Client. Data over the largest size
    // arrives with size 0.
    class Listener
    {
    public:
        virtual void onSystemEvent(unsigned short node, unsigned int id, unsigned int a, unsigned int b,
                                   const std::string& text, const void* data, unsigned int size) = 0;

    protected:
        ~Listener() = default;
    };

    // Registers with the dispatcher when one is given; a null dispatcher posts and relays
    // nothing (the server's proxy of a client in this process).
    EventProxy(unsigned short node, EventDispatcher* dispatcher);
    ~EventProxy() override;
    EventProxy(const EventProxy&) = delete;
    EventProxy& operator=(const EventProxy&) = delete;

    unsigned short getNode() const { return mNode; }
    void setListener(Listener* listener) { mListener = listener; }
    // Whether the game events clients must see are relayed to the peer (on from the start, for
    // the events posted after the proxy was made); events sent directly are not affected. The
    // change holds for the events posted from now on: switched on, those posted before are not
    // relayed (the peer was just told what they did); switched off, those posted before still
    // are (what happened before the peer stopped hearing reaches it). Only the latest change
    // is kept: two changes with events posted between them before those events are delivered
    // (only ever within one tick) leave the events before the first to the setting between.
    void setRelaying(bool relaying);

    // Ids below 200 go as game events (data ignored), the others as system events. A message
    // that does not encode is logged and dropped; one that finds no room in the queue is
    // dropped and marks the stream overflowed (logged the first time).
    void sendEvent(unsigned int id, unsigned int a, unsigned int b, const std::string& text,
                   const void* data = nullptr, unsigned int size = 0);
    void sendGameEvent(unsigned int id, unsigned int a, unsigned int b, const std::string& text);
    void sendSystemEvent(unsigned int id, unsigned int a, unsigned int b, const std::string& text,
                         const void* data, unsigned int size);

    // Delivers every whole message that has arrived.
    void receive();
    // True once a message found no room since the last reset: the peer has missed an event
    // and its view of the match can no longer be trusted.
    bool hasOverflowed() const { return mOverflowed; }
    // Moves pending messages both ways between two proxies in this process; deliver them with
    // receive() on each side.
    void exchange(EventProxy& other);
    // Empties the queue, sent and received, and clears the overflow.
    void reset();

    // True when a game event with this id may cross from the given node (relayed events come
    // only from the server) or a system event travels in that direction.
    static bool isAcceptedFrom(unsigned int id, unsigned short node);
    // True for the game events the server relays to every remote client.
    static bool isRelayed(unsigned int id);

    void onEvent(unsigned int id, int a, int b, const std::string& text) override;
    void onMessage(unsigned short node, const unsigned char* data, unsigned short length) override;

    void acknowledgeNetworkData(unsigned short node, unsigned short sequence) override;
    void encodeNetworkData(unsigned short node, brix::NetworkEncodeStream& stream,
                           unsigned short sequence) override;
    void decodeNetworkData(unsigned short node, brix::NetworkDecodeStream& stream,
                           unsigned short sequence) override;

private:
    void transmit(unsigned int id, const unsigned char* data, unsigned int length);
    // Whether the event of that number, by when it was posted, goes to the peer.
    bool isRelaying(uint64_t eventNumber) const;

    unsigned short mNode;
    EventDispatcher* mDispatcher;
    brix::NetworkMessageQueue mQueue;
    Listener* mListener = nullptr;
    // The setting for events numbered from mSwitchNumber on, and the one for those before.
    bool mRelaying = true;
    bool mRelayingBefore = false;
    uint64_t mSwitchNumber = 0;
    bool mOverflowed = false;
    // Messages that do not decode, messages the peer should not have sent, and system events
    // whose data does not decode.
    brix::LogThrottle mUndecodableLog;
    brix::LogThrottle mUnexpectedLog;
    brix::LogThrottle mUndecodableDataLog;
};
} // namespace game
