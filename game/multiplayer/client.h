#pragma once
#include "game/multiplayer/eventproxy.h"
#include "game/multiplayer/newcomerlines.h"
#include "game/world/eventdispatcher.h"
#include "network/networkclient.h"

#include <memory>
#include <string>

namespace brix
{
class MessageDisplay;
}

namespace game
{
class Controller;
class EntityManager;
class PlayerManager;
class Server;

// One local player's seat in a match: its connection to a server (remote over UDP, or the
// game::Server of this process), its input controller, its view of the match and the client
// side of the match handshake. Two exist, one per local player (index 0 and 1); only the
// first shows match messages. A client joined to a remote host also keeps this process's
// player manager and entity manager in step with the server: they are network objects 2 and 3
// of its connection, its event proxy 4 and its controller 5.
//
// Connection states: 0 idle or waiting for PrepareMatch, 1 preparing (level check and
// download), 2 prepared (PrepareReady sent), 3 in the match. A level is downloaded only when
// the server names it, its name is plain (letters, digits, blank, "_", ".", "-", 1 to 64
// characters, not starting with "."), no file of that name exists, and it unpacks to at most
// the size a level file may have (Level::MAX_FILE_SIZE); a level the cache then refuses (one
// the game would not load and play, Level::loadPlayableTree) is removed again. A download that does not come
// within LEVEL_DOWNLOAD_TIMEOUT ticks ends the connection with a message. A server that never
// answers is told apart from a connection lost. The lines of other players entering and leaving
// the match are shown as the screen's NewcomerLines allow (a host's are its server's). Main
// thread only: the network client is polled by update().
class Client : public brix::NetworkClient::Listener,
               public EventDispatcher::Listener,
               public EventProxy::Listener
{
public:
    // What the client needs of the camera that shows its player; the application's camera
    // implements it. Without one the client runs headless.
    class View
    {
    public:
        // The player (index 1 to 8, 0 none) whose human the view follows.
        virtual void setPlayer(unsigned int playerIndex) = 0;
        virtual void shake(float strength) = 0;
        // Once per fixed tick, and once per frame with the frame time.
        virtual void tick() = 0;
        virtual void update(float frameSeconds) = 0;

    protected:
        ~View() = default;
    };

    enum ConnectionState : unsigned int
    {
        STATE_IDLE = 0,
        STATE_PREPARING = 1,
        STATE_PREPARED = 2,
        STATE_IN_MATCH = 3
    };

    // The embedded network client.
    static constexpr unsigned int TIMEOUT_MS = 5000;
    static constexpr unsigned int UPDATE_INTERVAL_MS = 50;
    // A requested level that has not come after this many ticks (30 s) ends the connection.
    static constexpr unsigned int LEVEL_DOWNLOAD_TIMEOUT = 1200;
    // How hard the view shakes when this client's player dies.
    static constexpr float DEATH_SHAKE = 2.4f;
    // Input advance: ticks of 25 ms, a jump when off by more than ADVANCE_JUMP ticks, else a
    // step of one after ADVANCE_PATIENCE ticks of steady drift.
    static constexpr int TICK_MS = 25;
    static constexpr int ADVANCE_JUMP = 4;
    static constexpr int ADVANCE_PATIENCE = 40;

    Client(unsigned int clientIndex, const std::string& userDataDirectory);
    ~Client() override;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // The services are not owned and must outlive the client; the message display and the
    // view may be null. Makes the event proxy and a plain controller (which samples nothing
    // until setController gives a real one) and registers the network objects.
    void initialize(EventDispatcher* events, PlayerManager* players, EntityManager* entities,
                    brix::MessageDisplay* messages, View* view = nullptr);

    // Joins a remote server ("host:port"). False, logged, when the request could not be made
    // or sent.
    bool connect(const std::string& serverAddress, const std::string& password);
    // Takes a slot of a server in this process; false when it has none free.
    bool connectLocal(Server* server);
    // Leaves the server; nothing happens in state 0.
    void disconnect();

    // Takes over the controller (null leaves none), registers it as network object 5 and hands
    // it to this client's human when it has one. Which kind of controller a configured type
    // makes is the application's to decide.
    void setController(std::unique_ptr<Controller> controller);
    // The name ("Unknown" when empty) and appearance announced to the server, sent at once
    // while connected.
    void configurePlayer(const std::string& name, unsigned int appearance);
    // Sent to the server while in the match; it comes back as a ChatMessage.
    void sendChatMessage(const std::string& text);

    // Once per frame before the ticks: the network client's traffic, or the local server's
    // message exchange.
    void update();
    // Once per fixed tick: delivered system events, the input advance, the controller's
    // sample for the tick it will run at, and the handshake.
    void tick(unsigned short tick);
    void updateCamera(float frameSeconds);

    void setUpdateInterval(unsigned int milliseconds);
    bool setPunchThroughServer(const std::string& address);
    const brix::NetworkManager::Statistics& getStatistics() const;
    unsigned int getLatencyEstimate() const;
    unsigned int getLatencyJitter() const;

    unsigned int getClientIndex() const { return mClientIndex; }
    ConnectionState getConnectionState() const { return mState; }
    // 0 until the server's ConnectionReady.
    unsigned int getPlayerIndex() const { return mPlayerIndex; }
    unsigned int getSlotCount() const { return mSlotCount; }
    int getInputAdvance() const { return mInputAdvance; }
    Controller* getController() const { return mController.get(); }
    View* getView() const { return mView; }
    bool isLocal() const { return mServer != nullptr; }
    // The network client's own state (connecting, connected, disconnecting, disconnected).
    brix::NetworkManager::ConnectionState getNetworkState() const;

    // True for a level name the client may write a file for.
    static bool isPlainLevelName(const std::string& name);
    // "Timeout", "Server full" and the rest; "Unknown" for a reason no peer sends.
    static const char* getReasonText(unsigned int reason);
    // The input advance target for a connection of that latency and jitter (ms).
    static int getInputAdvanceTarget(unsigned int latency, unsigned int jitter);

    void onConnect() override;
    void onDisconnect(unsigned int reason) override;
    void onEvent(unsigned int id, int a, int b, const std::string& text) override;
    void onSystemEvent(unsigned short node, unsigned int id, unsigned int a, unsigned int b,
                       const std::string& text, const void* data, unsigned int size) override;

private:
    bool isConnected() const;
    // Whether an entry or a death of the player of that index is news here. A joiner is told
    // the others' states before its own player enters: what they tell happened before it came.
    bool isNews(int index) const;
    void updateInputAdvance();
    void beginMatch(unsigned int scoreLimit, unsigned int checksum, const std::string& level);
    void storeLevel(const std::string& level, const void* data, unsigned int size);
    // Ends a connection that cannot go on, with the message shown first.
    void abandon(const std::string& message);
    // Shows a line about the player of that index entering or leaving the match when it is one
    // of this screen's players, or the screen may show his lines.
    void showSeatLine(int index, const std::string& text);
    void show(const std::string& text);

    unsigned int mClientIndex;
    brix::NetworkClient mNetwork;
    std::string mUserDataDirectory;
    EventDispatcher* mEvents = nullptr;
    PlayerManager* mPlayers = nullptr;
    EntityManager* mEntities = nullptr;
    brix::MessageDisplay* mMessages = nullptr;
    View* mView = nullptr;
    Server* mServer = nullptr;
    unsigned short mNode = 0;
    std::string mName = "Unknown";
    unsigned int mAppearance = 0;
    unsigned int mPlayerIndex = 0;
    unsigned int mSlotCount = 1;
    std::unique_ptr<EventProxy> mProxy;
    std::unique_ptr<Controller> mController;
    ConnectionState mState = STATE_IDLE;
    // The PrepareMatch events of this connection, which a readiness names.
    unsigned int mPreparations = 0;
    int mInputAdvance = 0;
    int mAdvanceCounter = 0;
    bool mDownloadPending = false;
    // The level asked for, and the ticks spent waiting for it.
    std::string mRequestedLevel;
    unsigned int mDownloadTicks = 0;
    bool mHumanBound = false;
    bool mInfoHeld = false;
    // The connection was given up with its reason shown.
    bool mReasonShown = false;
    NewcomerLines mNewcomerLines;
    // The server's address as messages quote it, and whether it has answered since connect.
    std::string mShownAddress;
    bool mAnswered = false;
};
} // namespace game
