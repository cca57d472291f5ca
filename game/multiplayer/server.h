#pragma once
#include "game/level/version.h"
#include "game/multiplayer/eventproxy.h"
#include "game/multiplayer/newcomerlines.h"
#include "network/networkserver.h"
#include "toolkit/logthrottle.h"

#include <string>
#include <vector>

namespace brix
{
class MessageDisplay;
}

namespace game
{
class Controller;
class EntityManager;
class EventDispatcher;
class Player;
class PlayerManager;

// Hosts every match, whatever the game mode: single player and the editor's preview take one
// slot and open no socket; a hosted match opens a UDP port for remote clients. Each accepted
// client gets a slot with a player record, an event proxy and, for a remote client, a
// controller fed from the network; the server drives the match handshake over system events,
// sends the level to clients that lack it and adds their players to the running match.
// Clients in this process (game::Client::connectLocal) take slots too and trade their event
// messages in memory.
//
// Connection request (the connect data of the network layer): UInt32 application version,
// UInt32 network protocol version, String password. Only the protocol version must match.
// Refusals carry a reason that the client shows (see REASON_*).
//
// Slot states: 0 free -> 1 connected -> 2 PrepareMatch sent -> 3 client prepared -> 4 in the
// match; 5 removal pending (the next tick takes a player in the match out of it, and the slot
// is freed on the tick after, so that the others hear who left).
//
// A stranger cannot hold the match up: a remote client that is not in the match
// HANDSHAKE_TIMEOUT ticks after a match was there for it to prepare loses its seat; chat and
// renames are taken at the pace a person types (REQUEST_BURST, then one a REQUEST_INTERVAL):
// a chat line past that is dropped and its sender told (a ChatMessage of player 0 to it
// alone), a rename waits and the latest applies as soon as the pace allows; the level is sent
// once per preparation, and a client whose event stream overflowed (so it missed events) is
// disconnected. Both leave with "Timeout". Clients in this process are not limited.
// A remote client hears the match's game events only once it is in the match, so that its
// level download and the events after it always fit its event stream; what happened before
// reaches it as the other players' states, and one entering a complete match is told who won.
// A seat given is told as new to the clients in the match (an empty name, which no player is
// ever given), and a seat freed is shown free to those out of it before it shows taken again,
// so that no client holds a newcomer as whoever had the seat before.
// Lines about what clients send, and about clients coming and going, are logged one a second
// at most, the rest counted; the messages shown about clients coming and going are shown as
// the host's screen shows its newcomers (NewcomerLines, shared with a client in this process).
// Network objects on every connection: 2 player manager, 3 entity manager, 4 event proxy,
// 5 controller. Node 0 is the server, a slot's node its index + 1. Main thread only: the
// embedded network server is polled by update() and runs no thread.
class Server : public brix::NetworkServer::Listener, public EventProxy::Listener
{
public:
    static constexpr unsigned int APPLICATION_VERSION = game::APPLICATION_VERSION;
    static constexpr unsigned int PROTOCOL_VERSION = game::PROTOCOL_VERSION;

    // Disconnect reasons, sent to the client and shown by it.
    enum Reason : unsigned int
    {
        REASON_TIMEOUT = 1,
        REASON_SERVER_SHUTDOWN = 2,
        REASON_CLIENT_SHUTDOWN = 3,
        REASON_INVALID_DATA = 100,         // the connection request does not decode
        REASON_INCOMPATIBLE_VERSION = 101, // another network protocol version
        REASON_WRONG_PASSWORD = 102,
        REASON_SERVER_FULL = 103 // no free slot or player record
    };

    enum SlotState : unsigned int
    {
        SLOT_FREE = 0,
        SLOT_CONNECTED = 1,
        SLOT_PREPARING = 2, // PrepareMatch sent, the client checks or downloads the level
        SLOT_PREPARED = 3,
        SLOT_IN_MATCH = 4,
        SLOT_REMOVING = 5
    };

    // One seat of a client, local or remote.
    struct ClientSlot
    {
        bool local = false;
        SlotState state = SLOT_FREE;
        EventProxy* proxy = nullptr;      // owned
        Player* player = nullptr;         // made and deleted through the player manager
        Controller* controller = nullptr; // owned for a remote client, lent by a local one
        // "a.b.c.d:port" of a remote client.
        std::string address;
        // The other players' states went to this client once.
        bool playersSent = false;
        // The level went to this client in this preparation.
        bool levelSent = false;
        // Ticks spent preparing for a match that is there.
        unsigned int handshakeTicks = 0;
        // The PrepareMatch events sent on this connection: a readiness names the one it answers,
        // and one that answers an earlier preparation (it crossed a restart) counts for nothing.
        unsigned int preparations = 0;
        // A remote client that entered a match already complete is told so on the next tick,
        // after its own entry.
        bool completionDue = false;
        // Chat and configuration requests the client may still send, and the ticks towards
        // the next one.
        unsigned int requests = REQUEST_BURST;
        unsigned int requestTicks = 0;
        // The sender was told its chat was dropped, and no request has come back since.
        bool dropTold = false;
        // The latest configuration that found no request left: applied as soon as one is.
        bool configurationPending = false;
        std::string pendingName;
        unsigned int pendingAppearance = 0;
    };

    // The embedded network server.
    static constexpr unsigned short GAME_ID = 1;
    static constexpr unsigned int MAX_CLIENTS = 8;
    static constexpr unsigned int TIMEOUT_MS = 5000;
    static constexpr unsigned int UPDATE_INTERVAL_MS = 50;
    // Network object ids on every connection.
    static constexpr unsigned char OBJECT_PLAYERS = 2;
    static constexpr unsigned char OBJECT_ENTITIES = 3;
    static constexpr unsigned char OBJECT_EVENTS = 4;
    static constexpr unsigned char OBJECT_CONTROLLER = 5;
    // A connection request is encoded into this many bytes.
    static constexpr unsigned int REQUEST_SIZE = 256;
    // The compressed level sent to a client must fit one system event.
    static constexpr unsigned int MAX_LEVEL_DATA = EventProxy::SYSTEM_EVENT_DATA_SIZE;
    // Ticks (45 s) a remote client has to join a match once one is there to prepare: longer
    // than a client waits for its level download.
    static constexpr unsigned int HANDSHAKE_TIMEOUT = 1800;
    // Chat and configuration requests a client may send at once, and the ticks (1 s) after
    // which it may send one more; the rest are dropped.
    static constexpr unsigned int REQUEST_BURST = 5;
    static constexpr unsigned int REQUEST_INTERVAL = 40;
    // What the sender of a dropped chat line is shown.
    static constexpr const char* CHAT_DROPPED = "Chat message dropped: too many";
    // Announcement flags word: slots in bits 28-31, connected clients in 24-27, bit 23 for a
    // password, the match flags in bits 0-19.
    static constexpr unsigned int ANNOUNCE_PASSWORD = 0x00800000;
    static constexpr unsigned int ANNOUNCE_MATCH_FLAGS = 0x000FFFFF;

    Server();
    ~Server() override;
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // The services are not owned and must outlive the server; the message display may be
    // null. Registers the player manager and the entity manager with the network server.
    void initialize(EventDispatcher* events, PlayerManager* players, EntityManager* entities,
                    brix::MessageDisplay* messages);

    // Makes the slots and, with more than one slot, opens the UDP port (0: any free port) and
    // announces the match when an announcement server is set. True when the server runs;
    // false, logged and shown, when the port could not be opened (nothing is left started).
    bool start(unsigned int slots, unsigned short port, const std::string& password,
               const std::string& announceName, const std::string& announceInfo, unsigned int matchFlags);
    // Tells remote clients the server shut down and frees every slot.
    void stop();
    bool isStarted() const { return mStarted; }

    // A slot for a client in this process using the controller (not owned); returns its node,
    // or 0 when no slot or player record is free.
    unsigned short connectLocalClient(Controller* controller);
    // The local client of that node now plays with another controller (not owned, may be null);
    // the slot never keeps one that is about to be deleted.
    void setLocalController(unsigned short node, Controller* controller);
    // The slot is freed from the next tick on (see SLOT_REMOVING).
    void disconnectLocalClient(unsigned short node);
    // Trades the pending event messages of a local client's slot and the client's proxy.
    void exchangeLocalMessages(unsigned short node, EventProxy* clientProxy);

    // Once per fixed tick: the handshake of every slot, adding prepared players to the match
    // and freeing slots of clients that left.
    void tick();
    // Once per frame after the ticks: sockets and data packets.
    void update();

    // New announcement info and match flags, and every connected client is prepared again for
    // the match now running.
    void updateMatch(const std::string& announceInfo, unsigned int matchFlags);
    // The host's restart: the match ends, the level starts with the score limit and every
    // connected client prepares it (the level names the match). The players leave the old match
    // while the joiners still hear it, so that each is told who left. False, with no match, when
    // the level does not start.
    bool restartMatch(const std::string& level, unsigned int scoreLimit);
    unsigned int getAnnounceFlags() const;

    void setUpdateInterval(unsigned int milliseconds);
    bool setAnnounceServer(const std::string& address);
    bool setPunchThroughServer(const std::string& address);
    const brix::NetworkManager::Statistics& getStatistics() const;
    // What the host's screen shows of players coming and going; a client in this process
    // shows its lines through it too.
    NewcomerLines& getNewcomerLines() { return mNewcomerLines; }

    unsigned int getSlotCount() const { return static_cast<unsigned int>(mSlots.size()); }
    // The slot's state, SLOT_FREE for an index past the table.
    SlotState getSlotState(unsigned int slot) const;
    const ClientSlot* getSlot(unsigned int slot) const;

    unsigned short onClientConnect(const std::string& address, brix::NetworkDecodeStream& request,
                                   unsigned int& reason) override;
    void onClientDisconnect(unsigned short node, const std::string& address, unsigned int reason) override;
    void onAnnounceVerification(bool verified) override;
    void onSystemEvent(unsigned short node, unsigned int id, unsigned int a, unsigned int b,
                       const std::string& text, const void* data, unsigned int size) override;

private:
    int findFreeSlot() const;
    ClientSlot* getSlotOfNode(unsigned short node);
    // Gives the slot its player, proxy and observer record and sends ConnectionReady.
    void openSlot(unsigned int slot, Player* player, Controller* controller, bool local);
    void freeSlot(unsigned int slot);
    // The remote clients out of the match hear nothing of who holds the seat of that player
    // index: their blocks show it free first, whether it was freed or given while they were out.
    void showSeatFreedOutOfMatch(unsigned int index);
    // The states of the players of every seat, its own included, to a remote slot.
    void sendPlayersTo(unsigned int slot);
    void sendLevel(unsigned int slot, const std::string& level);
    // Ends a remote client's connection from this side; its seat goes as after a disconnection.
    void dropClient(unsigned int slot, unsigned int reason);
    // Takes one of the slot's chat and configuration requests; false when it has none left.
    // A local slot always has one.
    bool takeRequest(ClientSlot& seat);
    // Posts the player's new name and appearance.
    void configure(ClientSlot& seat, const std::string& name, unsigned int appearance);
    // Game events reach a remote seat only in the match; entering it, the seat is sent the
    // others' states.
    void enterMatch(unsigned int slot);
    void leaveMatch(ClientSlot& seat);
    // A line about the remote client of the seat connecting or going, shown as the screen's
    // newcomer lines allow.
    void showNewcomerLine(const ClientSlot& seat, const std::string& text);
    void show(const std::string& text);

    brix::NetworkServer mNetwork;
    EventDispatcher* mEvents = nullptr;
    PlayerManager* mPlayers = nullptr;
    EntityManager* mEntities = nullptr;
    brix::MessageDisplay* mMessages = nullptr;
    NewcomerLines mNewcomerLines;
    std::vector<ClientSlot> mSlots;
    bool mStarted = false;
    std::string mPassword;
    unsigned int mMatchFlags = 0;
    // The running level compressed for download, made on the first request, and the name
    // and checksum it was made for.
    std::vector<unsigned char> mLevelData;
    std::string mLevelDataName;
    unsigned int mLevelDataChecksum = 0;
    // A name or appearance was posted that the player record has not taken yet (it does when
    // the tick's events are delivered): until then no seat enters and is told the players.
    bool mConfigured = false;
    // Refused connection requests; remote clients let in, gone and added to the match; levels
    // sent, and levels that could not be; the configure, prepare-ready and download-request
    // events from clients; chat lines dropped.
    brix::LogThrottle mRefusalLog;
    brix::LogThrottle mArrivalLog;
    brix::LogThrottle mDepartureLog;
    brix::LogThrottle mEntryLog;
    brix::LogThrottle mDownloadLog;
    brix::LogThrottle mLevelDataLog;
    brix::LogThrottle mConfigureLog;
    brix::LogThrottle mPrepareReadyLog;
    brix::LogThrottle mDownloadRequestLog;
    brix::LogThrottle mDroppedChatLog;
};
} // namespace game
