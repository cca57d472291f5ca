#include "game/multiplayer/client.h"
#include "engine/core/zlibcompressor.h"
#include "engine/presentation/messagedisplay.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "toolkit/peertext.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/multiplayer/server.h"
#include "game/world/controller.h"
#include "game/world/entitymanager.h"
#include "game/world/human.h"
#include "network/networkaddress.h"
#include "network/networkencodestream.h"
#include "toolkit/log.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace game
{
static_assert(Server::HANDSHAKE_TIMEOUT > Client::LEVEL_DOWNLOAD_TIMEOUT,
              "a client must have time to download the level before it loses its seat");

namespace
{
// Of a server address, what a message quotes: more than the join page's address and port.
const unsigned int MAX_SHOWN_ADDRESS_SIZE = 64;
// The observer record a joined client keeps for its own view of the world.
const unsigned short OWN_NODE = 1;

bool fileExists(const std::string& path)
{
    if (FILE* file = std::fopen(path.c_str(), "rb"))
    {
        std::fclose(file);
        return true;
    }
    return false;
}
} // namespace

Client::Client(unsigned int clientIndex, const std::string& userDataDirectory)
    : mClientIndex(clientIndex), mNetwork(TIMEOUT_MS, UPDATE_INTERVAL_MS),
      mUserDataDirectory(userDataDirectory)
{
    mNetwork.setInvalidDataReason(Server::REASON_INVALID_DATA);
}

Client::~Client()
{
    disconnect();
    mNetwork.disconnect(Server::REASON_CLIENT_SHUTDOWN, true);
    if (mController)
        mNetwork.unregisterObject(mController.get());
    if (mProxy)
        mNetwork.unregisterObject(mProxy.get());
    if (mPlayers)
        mNetwork.unregisterObject(mPlayers);
    if (mEntities)
        mNetwork.unregisterObject(mEntities);
    mController.reset();
    mProxy.reset();
    if (mEvents)
        mEvents->removeListener(this);
}

void Client::initialize(EventDispatcher* events, PlayerManager* players, EntityManager* entities,
                        brix::MessageDisplay* messages, View* view)
{
    mEvents = events;
    mPlayers = players;
    mEntities = entities;
    mMessages = messages;
    mView = view;
    if (mView)
        mView->setPlayer(0);
    mProxy.reset(new EventProxy(0, events));
    mProxy->setListener(this);
    mNetwork.registerObject(mPlayers, Server::OBJECT_PLAYERS);
    mNetwork.registerObject(mEntities, Server::OBJECT_ENTITIES);
    mNetwork.registerObject(mProxy.get(), Server::OBJECT_EVENTS);
    setController(std::unique_ptr<Controller>(new Controller(0)));
    if (mEvents)
        mEvents->addListener(this);
}

bool Client::connect(const std::string& serverAddress, const std::string& password)
{
    disconnect();
    mNetwork.disconnect(Server::REASON_CLIENT_SHUTDOWN, true);
    mReasonShown = false;
    mAnswered = false;
    // Every seat is news to a new connection.
    mNewcomerLines.reset(mMessages ? mMessages->getLifetime() : 0);
    mPreparations = 0;

    // The player typed the address, or a match browser took it from the match maker.
    const std::string shown = brix::PeerText::clean(serverAddress, MAX_SHOWN_ADDRESS_SIZE);
    mShownAddress = shown;
    // Looked up once, here, so that a bad address is told apart from a request that went nowhere.
    const brix::NetworkAddress server(serverAddress);
    if (!server.isValid())
    {
        brix::Log::error("Invalid server address: %s", shown.c_str());
        show("Invalid server address: " + shown);
        return false;
    }
    unsigned char request[Server::REQUEST_SIZE];
    brix::NetworkEncodeStream stream(request, sizeof(request));
    stream.encodeUInt32(Server::APPLICATION_VERSION);
    stream.encodeUInt32(Server::PROTOCOL_VERSION);
    stream.encodeString(password);
    if (stream.getResult() != brix::NetworkStream::SUCCESS)
        brix::Log::error("Connection request data encoding failed: %s", stream.getResultText());
    else if (!mNetwork.connect(server.toString(), request, static_cast<unsigned short>(stream.getOffset()),
                               this))
        brix::Log::error("Connection request sending failed");
    else
    {
        brix::Log::info("Connection attempt: %s", shown.c_str());
        show("Connecting to " + shown + "..");
        mInputAdvance = 0;
        mAdvanceCounter = 0;
        return true;
    }
    show("Unable to connect to " + shown + ", see application.log for details");
    return false;
}

bool Client::connectLocal(Server* server)
{
    disconnect();
    const unsigned short node = server ? server->connectLocalClient(mController.get()) : 0;
    if (node == 0)
        return false;
    mPreparations = 0;
    brix::Log::info("Connected to local server (client node id %d)", node);
    mServer = server;
    mNode = node;
    mInputAdvance = 0;
    mAdvanceCounter = 0;
    return true;
}

void Client::disconnect()
{
    // A seat is held from the connection on, also while waiting for a match in state 0.
    const bool remote = mNetwork.getConnectionState() == brix::NetworkManager::CONNECTING ||
                        mNetwork.getConnectionState() == brix::NetworkManager::CONNECTED;
    if (mState == STATE_IDLE && !mServer && !remote)
        return;
    if (mServer)
    {
        // The human stays in the level until the server's next tick; it must not keep
        // reading this client's controller.
        if (Player* player = mPlayers ? mPlayers->getPlayer(mPlayerIndex) : nullptr)
            if (Entity* human = player->getHuman())
                static_cast<Human*>(human)->setController(nullptr);
        mServer->disconnectLocalClient(mNode);
        mServer = nullptr;
    }
    else
    {
        if (mEntities)
            mEntities->removeObserver(OWN_NODE);
        mNetwork.disconnect(Server::REASON_CLIENT_SHUTDOWN, false);
        if (mPlayers)
        {
            mPlayers->endMatch();
            mPlayers->deleteAllPlayers();
        }
    }
    if (mView)
        mView->setPlayer(0);
    if (mProxy)
        mProxy->reset();
    mNode = 0;
    mPlayerIndex = 0;
    mSlotCount = 1;
    mDownloadPending = false;
    mRequestedLevel.clear();
    mState = STATE_IDLE;
}

void Client::setController(std::unique_ptr<Controller> controller)
{
    if (mController)
        mNetwork.unregisterObject(mController.get());
    Player* player = mPlayers ? mPlayers->getPlayer(mPlayerIndex) : nullptr;
    Human* human = player ? static_cast<Human*>(player->getHuman()) : nullptr;
    // The human lets go of the old one before it is deleted.
    if (human && human->getController() == mController.get())
        human->setController(controller.get());
    mController = std::move(controller);
    // The local server keeps the old one for the next match's human otherwise.
    if (mServer)
        mServer->setLocalController(mNode, mController.get());
    if (mController)
        mNetwork.registerObject(mController.get(), Server::OBJECT_CONTROLLER);
}

void Client::configurePlayer(const std::string& name, unsigned int appearance)
{
    brix::Log::debug("Client::configurePlayer(%s, %d)", name.c_str(), appearance);
    mName = name.empty() ? Player::UNKNOWN_NAME : name;
    mAppearance = appearance;
    if (mState != STATE_IDLE)
        mProxy->sendSystemEvent(EventProxy::ConfigurePlayer, mAppearance, 0, mName, nullptr, 0);
}

void Client::sendChatMessage(const std::string& text)
{
    if (mState == STATE_IN_MATCH)
        mProxy->sendSystemEvent(EventProxy::ChatRequest, mPlayerIndex, 0, text, nullptr, 0);
}

bool Client::isConnected() const
{
    return mServer || mNetwork.getConnectionState() == brix::NetworkManager::CONNECTED;
}

void Client::update()
{
    if (mServer)
        mServer->exchangeLocalMessages(mNode, mProxy.get());
    else
        mNetwork.update();
}

void Client::tick(unsigned short tick)
{
    if (isConnected())
    {
        mProxy->receive();
        if (!mServer)
            updateInputAdvance();
        if (mController && mEntities)
            mController->update(static_cast<unsigned short>(mEntities->getTick() + mInputAdvance));
    }

    Player* player = mPlayers ? mPlayers->getPlayer(mPlayerIndex) : nullptr;
    if (mState == STATE_IN_MATCH)
    {
        if (!mServer && !mHumanBound && player)
            if (Human* human = static_cast<Human*>(player->getHuman()))
            {
                brix::Log::debug("Client controlled human entity %d is now valid", human->getId());
                human->setController(mController.get());
                mHumanBound = true;
            }
        const bool held = mController && mController->isInfoRequested();
        if (held && !mInfoHeld && mEvents)
            mEvents->post(EventDispatcher::ToggleControllerInfo, static_cast<int>(mClientIndex), 0, "");
        mInfoHeld = held;
    }
    if (mState == STATE_PREPARING && mDownloadPending && ++mDownloadTicks >= LEVEL_DOWNLOAD_TIMEOUT)
    {
        brix::Log::error("Match level '%s' download timed out", mRequestedLevel.c_str());
        abandon("Match level '" + mRequestedLevel + "' download timed out");
    }
    else if (mState == STATE_PREPARING && !mDownloadPending && player)
    {
        brix::Log::debug("Match preparation complete");
        player->setLocal(true);
        mState = STATE_PREPARED;
        mProxy->sendSystemEvent(EventProxy::PrepareReady, mPreparations, 0, "", nullptr, 0);
    }
    if (mView)
        mView->tick();
    mNewcomerLines.report();
}

void Client::updateCamera(float frameSeconds)
{
    if (mView)
        mView->update(frameSeconds);
}

int Client::getInputAdvanceTarget(unsigned int latency, unsigned int jitter)
{
    return static_cast<int>((2 * jitter + latency + TICK_MS - 1) / TICK_MS) + 1;
}

void Client::updateInputAdvance()
{
    const int target = getInputAdvanceTarget(mNetwork.getLatencyEstimate(), mNetwork.getLatencyJitter());
    const int drift = target - mInputAdvance;
    if (drift >= 2)
        mAdvanceCounter = (mAdvanceCounter > 0 ? mAdvanceCounter : 0) + 1;
    else if (drift < -1)
        mAdvanceCounter = (mAdvanceCounter < 0 ? mAdvanceCounter : 0) - 1;
    if (std::abs(drift) > ADVANCE_JUMP)
    {
        mInputAdvance = target;
        mAdvanceCounter = 0;
        brix::Log::debug("Client input advance set to %d ticks", mInputAdvance);
    }
    else if (std::abs(mAdvanceCounter) > ADVANCE_PATIENCE)
    {
        mInputAdvance += mAdvanceCounter < 1 ? -1 : 1;
        mAdvanceCounter = 0;
        brix::Log::debug("Client input advance adjusted to %d ticks", mInputAdvance);
    }
}

void Client::onSystemEvent(unsigned short, unsigned int id, unsigned int a, unsigned int b,
                           const std::string& text, const void* data, unsigned int size)
{
    const unsigned int state = mState;
    switch (id)
    {
    case EventProxy::ConnectionReady:
        if (state != STATE_IDLE)
            break;
        brix::Log::debug("Received connection ready (player index %d) event from server", a);
        if (a < 1 || a > PlayerManager::MAX_PLAYERS || b < 1 || b > PlayerManager::MAX_PLAYERS)
        {
            brix::Log::error("Invalid connection ready event (player index %d, %d slots)", a, b);
            abandon("Disconnected from server (" + std::string(getReasonText(Server::REASON_INVALID_DATA)) +
                    ")");
            return;
        }
        if (!mServer && mEntities)
            mEntities->addObserver(OWN_NODE, 1);
        mPlayerIndex = a;
        mSlotCount = b;
        mProxy->sendSystemEvent(EventProxy::ConfigurePlayer, mAppearance, 0, mName, nullptr, 0);
        return;
    case EventProxy::PrepareMatch:
    {
        brix::Log::debug("Received prepare match (level '%s') event from server",
                         brix::PeerText::forLog(text).c_str());
        ++mPreparations;
        // A new preparation ends the wait for a level asked for in an earlier one.
        mDownloadPending = false;
        mRequestedLevel.clear();
        if (!mServer)
        {
            mPlayers->endMatch();
            const LevelCache* cache = mPlayers->getLevel()->getLevelCache();
            if (!cache->hasLevel(text))
            {
                if (!isPlainLevelName(text))
                {
                    const std::string shown = brix::PeerText::clean(text, EventProxy::MAX_LEVEL_NAME_SIZE);
                    brix::Log::error("Match level '%s' name contains invalid character(s)", shown.c_str());
                    abandon("Match level '" + shown + "' not found!");
                    return;
                }
                brix::Log::info("Match level '%s' not found, requesting download", text.c_str());
                show("Match level '" + text + "' not found, requesting download from server");
                mProxy->sendSystemEvent(EventProxy::LevelDownloadRequest, 0, 0, text, nullptr, 0);
                mDownloadPending = true;
                mRequestedLevel = text;
                mDownloadTicks = 0;
            }
        }
        mState = STATE_PREPARING;
        return;
    }
    case EventProxy::BeginMatch:
        if (state != STATE_PREPARED)
            break;
        brix::Log::debug("Received begin match (level '%s') event from server",
                         brix::PeerText::forLog(text).c_str());
        beginMatch(a, b, text);
        return;
    case EventProxy::LevelDownloadResponse:
        if (state != STATE_PREPARING || !mDownloadPending)
            break;
        brix::Log::debug("Received level download response (level '%s') event from server",
                         brix::PeerText::forLog(text).c_str());
        mDownloadPending = false;
        storeLevel(text, data, size);
        return;
    default:
        break;
    }
    brix::Log::debug("Received unexpected system event %d in state %d", id, state);
}

void Client::beginMatch(unsigned int scoreLimit, unsigned int checksum, const std::string& level)
{
    // A client of this process plays the server's own level, which may be one in the editor
    // that no file holds yet: only a remote client checks its copy.
    if (!mServer)
    {
        // The host names the level: what of it is shown or logged is cleaned.
        const std::string shown = brix::PeerText::clean(level, EventProxy::MAX_LEVEL_NAME_SIZE);
        const LevelCache* cache = mPlayers->getLevel()->getLevelCache();
        if (!cache->hasLevel(level))
        {
            abandon("Match level '" + shown + "' not found!");
            return;
        }
        // Checked against the lists, and again against what was loaded, as the file may have
        // changed since the lists read it (a connection given up ends the match).
        auto differs = [&](unsigned int held)
        {
            if (held == checksum)
                return false;
            brix::Log::info("Match level '%s' checksum mismatch: server %08X vs. client %08X", shown.c_str(),
                            checksum, held);
            abandon("Match level '" + shown + "' checksum mismatch!");
            return true;
        };
        if (differs(cache->getChecksum(level)))
            return;
        mPlayers->endMatch();
        if (!mPlayers->startMatch(level, scoreLimit, false, false))
        {
            abandon("Unable to start match with level '" + shown + "', see application.log for details");
            return;
        }
        if (differs(mPlayers->getLevel()->getChecksum()))
            return;
    }
    mHumanBound = false;
    if (mView)
        mView->setPlayer(mPlayerIndex);
    mState = STATE_IN_MATCH;
}

void Client::storeLevel(const std::string& level, const void* data, unsigned int size)
{
    if (level != mRequestedLevel)
    {
        brix::Log::error("Downloaded level '%s' was not requested", brix::PeerText::forLog(level).c_str());
        abandon("Match level '" + mRequestedLevel + "' download failed");
        return;
    }
    if (!isPlainLevelName(level))
    {
        const std::string shown = brix::PeerText::clean(level, EventProxy::MAX_LEVEL_NAME_SIZE);
        brix::Log::error("Downloaded level '%s' name contains invalid character(s)", shown.c_str());
        abandon("Match level '" + shown + "' download failed");
        return;
    }
    Level* running = mPlayers->getLevel();
    const std::string path = running->getUserLevelFile(level);
    if (running->getLevelCache()->hasLevel(level) || fileExists(path))
    {
        brix::Log::error("Downloaded level '%s' already exists", level.c_str());
        abandon("Match level '" + level + "' download failed");
        return;
    }
    brix::ZLibCompressor compressor;
    const unsigned int written = size > 0 ? compressor.decompressFile(static_cast<const unsigned char*>(data),
                                                                      size, path, Level::MAX_FILE_SIZE)
                                          : 0;
    if (written == 0)
    {
        brix::Log::error("Downloaded level '%s' data decompression failed", level.c_str());
        std::remove(path.c_str());
        abandon("Match level '" + level + "' download failed");
        return;
    }
    brix::Log::info("Level '%s' (%d bytes) downloaded from server", level.c_str(), written);
    running->updateLevelCache();
    // The cache takes only levels the game will load and play; one it refused is not kept.
    if (!running->getLevelCache()->hasLevel(level))
    {
        brix::Log::error("Downloaded level '%s' is not a level the game plays", level.c_str());
        std::remove(path.c_str());
        abandon("Match level '" + level + "' download failed");
    }
}

void Client::abandon(const std::string& message)
{
    show(message);
    mReasonShown = true;
    disconnect();
}

void Client::onEvent(unsigned int id, int a, int b, const std::string& text)
{
    brix::Log::debug("Client %d received event %d: %d, %d, '%s'", mClientIndex, id, a, b,
                     brix::PeerText::forLog(text).c_str());
    if (id >= EventProxy::FIRST_SYSTEM_EVENT)
    {
        onSystemEvent(0, id, static_cast<unsigned int>(a), static_cast<unsigned int>(b), text, nullptr, 0);
        return;
    }
    const Player* player = mPlayers ? mPlayers->getPlayer(static_cast<unsigned int>(a)) : nullptr;
    const bool first = mClientIndex == 0;
    switch (id)
    {
    case EventDispatcher::ChatMessage:
    {
        // Player 0 is the host telling this client something (its chat was dropped). A stranger
        // who never named himself speaks under the name the host gives a player who names none.
        const std::string name = player ? player->getName() : "";
        if (first)
            show(a == 0 ? text : (name.empty() ? std::string(Player::UNKNOWN_NAME) : name) + ": " + text);
        break;
    }
    case EventDispatcher::PlayerEnteredMatch:
        // A player whose name has not come yet was in the match before this client.
        if (first && player && !player->getName().empty() && isNews(a))
            showSeatLine(a, "Player " + player->getName() + " entered match");
        break;
    case EventDispatcher::PlayerLeftMatch:
    {
        // The slot block of the same packet may have taken the player away already.
        const std::string left = player     ? player->getName()
                                 : mPlayers ? mPlayers->getDepartedName(static_cast<unsigned int>(a))
                                            : "";
        if (first && !left.empty())
            showSeatLine(a, "Player " + left + " left match");
        break;
    }
    case EventDispatcher::PlayerRenamed:
    {
        // As the record takes it: a host's name for a player is cleaned like any peer's. Only a
        // player in the match is told renamed: a seat out of it may have been given to a newcomer
        // before a slot block showed it free, and the old name is not the newcomer's.
        const std::string name = brix::PeerText::clean(text, Player::MAX_NAME_SIZE);
        if (first && player && player->getState() != Player::NotInMatch && !player->getName().empty() &&
            !name.empty() && player->getName() != name)
            show("Player " + player->getName() + " is now known as " + name);
        break;
    }
    case EventDispatcher::PlayerKilled:
    {
        if (!player)
            break;
        if (first && isNews(a))
        {
            const Player* killer = mPlayers->getPlayer(static_cast<unsigned int>(b));
            if (a == b)
                show("Player " + player->getName() + " committed suicide");
            else if (killer)
                show("Player " + player->getName() + " was killed by " + killer->getName());
            else
                show("Player " + player->getName() + " died");
        }
        if (mView && mPlayerIndex != 0 && static_cast<unsigned int>(a) == mPlayerIndex)
            mView->shake(DEATH_SHAKE);
        break;
    }
    case EventDispatcher::MatchComplete:
        if (first)
            show(player ? "Match complete, player " + player->getName() + " wins" : "Match complete");
        break;
    default:
        break;
    }
}

bool Client::isNews(int index) const
{
    if (mServer || static_cast<unsigned int>(index) == mPlayerIndex)
        return true;
    const Player* own = mPlayers ? mPlayers->getPlayer(mPlayerIndex) : nullptr;
    return own && own->getState() != Player::NotInMatch;
}

void Client::showSeatLine(int index, const std::string& text)
{
    // The players of this screen are always told their own comings and goings.
    const Player* player = mPlayers ? mPlayers->getPlayer(static_cast<unsigned int>(index)) : nullptr;
    const unsigned int visit = mPlayers ? mPlayers->getSeatVisit(static_cast<unsigned int>(index)) : 0;
    NewcomerLines& lines = mServer ? mServer->getNewcomerLines() : mNewcomerLines;
    if ((player && player->isLocal()) || lines.allow(static_cast<unsigned int>(index), visit, text))
        show(text);
}

void Client::onConnect()
{
    mAnswered = true;
    brix::Log::info("Connected to server");
    show("Connected to server");
}

void Client::onDisconnect(unsigned int reason)
{
    // No connection was made to lose.
    if (reason == Server::REASON_TIMEOUT && !mAnswered)
    {
        brix::Log::info("Connection attempt to %s not answered", mShownAddress.c_str());
        show("Unable to connect to " + mShownAddress + " (host did not answer)");
        return;
    }
    brix::Log::info("Disconnected from server (%s)", getReasonText(reason));
    // A client that gave up has said why; its own shutdown, a second later, would only push
    // that reason up the display.
    if (reason != Server::REASON_CLIENT_SHUTDOWN || !mReasonShown)
        show("Disconnected from server (" + std::string(getReasonText(reason)) + ")");
}

const char* Client::getReasonText(unsigned int reason)
{
    switch (reason)
    {
    case Server::REASON_TIMEOUT:
        return "Timeout";
    case Server::REASON_SERVER_SHUTDOWN:
        return "Server shutdown";
    case Server::REASON_CLIENT_SHUTDOWN:
        return "Client shutdown";
    case Server::REASON_INVALID_DATA:
        return "Invalid data";
    case Server::REASON_INCOMPATIBLE_VERSION:
        return "Incompatible version";
    case Server::REASON_WRONG_PASSWORD:
        return "Wrong password";
    case Server::REASON_SERVER_FULL:
        return "Server full";
    default:
        return "Unknown";
    }
}

bool Client::isPlainLevelName(const std::string& name)
{
    if (name.empty() || name.size() > EventProxy::MAX_LEVEL_NAME_SIZE || name[0] == '.')
        return false;
    for (unsigned char character : name)
        if (!std::isalnum(character) && character != ' ' && character != '_' && character != '.' &&
            character != '-')
            return false;
    return true;
}

brix::NetworkManager::ConnectionState Client::getNetworkState() const
{
    return mNetwork.getConnectionState();
}

void Client::setUpdateInterval(unsigned int milliseconds)
{
    brix::Log::info("Client::setUpdateInterval(%d)", milliseconds);
    mNetwork.setUpdateInterval(milliseconds);
}

bool Client::setPunchThroughServer(const std::string& address)
{
    return mNetwork.setPunchThroughServer(address);
}

const brix::NetworkManager::Statistics& Client::getStatistics() const
{
    return mNetwork.getStatistics();
}

unsigned int Client::getLatencyEstimate() const
{
    return mNetwork.getLatencyEstimate();
}

unsigned int Client::getLatencyJitter() const
{
    return mNetwork.getLatencyJitter();
}

void Client::show(const std::string& text)
{
    if (mMessages)
        mMessages->writeMessage(text, true);
}
} // namespace game
