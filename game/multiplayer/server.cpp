#include "game/multiplayer/server.h"
#include "engine/core/zlibcompressor.h"
#include "toolkit/peertext.h"
#include "engine/presentation/messagedisplay.h"
#include "game/level/level.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "game/world/controller.h"
#include "game/world/entitymanager.h"
#include "network/networkdecodestream.h"
#include "toolkit/log.h"

#include <OgreMath.h>

namespace game
{
namespace
{
const unsigned int SLOTS_SHIFT = 28;
const unsigned int CONNECTED_SHIFT = 24;
const unsigned int NIBBLE = 0xF;
} // namespace

Server::Server()
    : mNetwork(GAME_ID, MAX_CLIENTS, TIMEOUT_MS, UPDATE_INTERVAL_MS),
      mRefusalLog(brix::Log::INFO, "connection requests refused"),
      mArrivalLog(brix::Log::INFO, "remote clients connected"),
      mDepartureLog(brix::Log::INFO, "remote clients disconnected"),
      mEntryLog(brix::Log::INFO, "clients added to the match"),
      mDownloadLog(brix::Log::INFO, "level downloads sent"),
      mLevelDataLog(brix::Log::ERROR, "level downloads whose data compression failed"),
      mConfigureLog(brix::Log::DEBUG, "configure player events received from clients"),
      mPrepareReadyLog(brix::Log::DEBUG, "prepare ready events received from clients"),
      mDownloadRequestLog(brix::Log::DEBUG, "level download request events received from clients"),
      mDroppedChatLog(brix::Log::INFO, "chat requests from clients dropped: too many")
{
    mNetwork.setServerFullReason(REASON_SERVER_FULL);
    mNetwork.setInvalidDataReason(REASON_INVALID_DATA);
}

Server::~Server()
{
    stop();
    if (mPlayers)
        mNetwork.unregisterObject(mPlayers);
    if (mEntities)
        mNetwork.unregisterObject(mEntities);
}

void Server::initialize(EventDispatcher* events, PlayerManager* players, EntityManager* entities,
                        brix::MessageDisplay* messages)
{
    mEvents = events;
    mPlayers = players;
    mEntities = entities;
    mMessages = messages;
    mNewcomerLines.reset(mMessages ? mMessages->getLifetime() : 0);
    if (mPlayers)
        mNetwork.registerObject(mPlayers, OBJECT_PLAYERS);
    if (mEntities)
        mNetwork.registerObject(mEntities, OBJECT_ENTITIES);
    mNetwork.setInitialMatchId(static_cast<unsigned char>(Ogre::Math::UnitRandom() * 255.0f));
}

bool Server::start(unsigned int slots, unsigned short port, const std::string& password,
                   const std::string& announceName, const std::string& announceInfo, unsigned int matchFlags)
{
    stop();
    mSlots.assign(slots, ClientSlot());
    mPassword = password;
    mMatchFlags = matchFlags;
    if (slots > 1)
    {
        if (!mNetwork.start(port, this, announceName, announceInfo, getAnnounceFlags(), PROTOCOL_VERSION))
        {
            brix::Log::error("Server unable to listen on port %d", port);
            show("Unable to start server on port " + std::to_string(port) +
                 ", see application.log for details");
            mSlots.clear();
            return false;
        }
        show("Server listening on port " + std::to_string(port));
    }
    mStarted = true;
    return true;
}

void Server::stop()
{
    if (!mStarted)
        return;
    mNetwork.stop(REASON_SERVER_SHUTDOWN);
    for (unsigned int slot = 0; slot < mSlots.size(); ++slot)
        if (mSlots[slot].state != SLOT_FREE)
        {
            if (mSlots[slot].player && mPlayers)
                mPlayers->removePlayerFromMatch(mSlots[slot].player->getIndex());
            freeSlot(slot);
        }
    mSlots.clear();
    mLevelData.clear();
    mLevelDataName.clear();
    mStarted = false;
}

int Server::findFreeSlot() const
{
    for (unsigned int slot = 0; slot < mSlots.size(); ++slot)
        if (mSlots[slot].state == SLOT_FREE)
            return static_cast<int>(slot);
    return -1;
}

Server::ClientSlot* Server::getSlotOfNode(unsigned short node)
{
    if (node == 0 || node > mSlots.size() || mSlots[node - 1].state == SLOT_FREE)
        return nullptr;
    return &mSlots[node - 1];
}

Server::SlotState Server::getSlotState(unsigned int slot) const
{
    return slot < mSlots.size() ? mSlots[slot].state : SLOT_FREE;
}

const Server::ClientSlot* Server::getSlot(unsigned int slot) const
{
    return slot < mSlots.size() ? &mSlots[slot] : nullptr;
}

unsigned int Server::getAnnounceFlags() const
{
    unsigned int connected = 0;
    for (const ClientSlot& slot : mSlots)
        if (slot.state >= SLOT_CONNECTED && slot.state <= SLOT_IN_MATCH)
            ++connected;
    const unsigned int slots = static_cast<unsigned int>(mSlots.size());
    return (slots & NIBBLE) << SLOTS_SHIFT | (connected & NIBBLE) << CONNECTED_SHIFT |
           (mPassword.empty() ? 0u : ANNOUNCE_PASSWORD) | (mMatchFlags & ANNOUNCE_MATCH_FLAGS);
}

void Server::openSlot(unsigned int slot, Player* player, Controller* controller, bool local)
{
    const unsigned short node = static_cast<unsigned short>(slot + 1);
    ClientSlot& seat = mSlots[slot];
    seat = ClientSlot();
    seat.local = local;
    seat.player = player;
    seat.controller = controller;
    seat.proxy = new EventProxy(node, local ? nullptr : mEvents);
    seat.proxy->setListener(this);
    seat.proxy->setRelaying(false);
    seat.playersSent = false;
    if (!local)
    {
        mNetwork.registerObject(seat.proxy, OBJECT_EVENTS);
        mNetwork.registerObject(controller, OBJECT_CONTROLLER);
    }
    if (mEntities)
        mEntities->addObserver(node, local ? 1 : 0);
    if (mPlayers)
    {
        mPlayers->stopShowingFreedSeats(node);
        // A peer in the match when the seat was freed may be out of it now (a restart came
        // between): it was shown nothing then, and hears no name now.
        showSeatFreedOutOfMatch(player->getIndex());
    }
    // Whoever held the seat before may still hold it on the peers in the match, where no block
    // showed it free. An empty name, which no player is ever given, tells them the seat is new.
    if (mEvents)
        mEvents->post(EventDispatcher::PlayerRenamed, static_cast<int>(player->getIndex()), 0, "");
    seat.proxy->sendSystemEvent(EventProxy::ConnectionReady, player->getIndex(), getSlotCount(), "", nullptr,
                                0);
    seat.state = SLOT_CONNECTED;
    mNetwork.updateAnnounceFlags(getAnnounceFlags());
}

void Server::showSeatFreedOutOfMatch(unsigned int index)
{
    for (unsigned int other = 0; other < mSlots.size(); ++other)
        if (!mSlots[other].local && mSlots[other].state >= SLOT_CONNECTED &&
            mSlots[other].state < SLOT_IN_MATCH)
            mPlayers->showSeatFreed(static_cast<unsigned short>(other + 1), index);
}

void Server::freeSlot(unsigned int slot)
{
    ClientSlot& seat = mSlots[slot];
    const unsigned short node = static_cast<unsigned short>(slot + 1);
    if (!seat.local && seat.controller)
    {
        mNetwork.unregisterObject(seat.controller);
        delete seat.controller;
    }
    if (seat.player && mPlayers)
    {
        showSeatFreedOutOfMatch(seat.player->getIndex());
        mPlayers->deletePlayer(seat.player);
        mPlayers->stopShowingFreedSeats(node);
    }
    if (seat.proxy)
    {
        mNetwork.unregisterObject(seat.proxy);
        delete seat.proxy;
    }
    if (mEntities)
        mEntities->removeObserver(node);
    seat = ClientSlot();
}

unsigned short Server::onClientConnect(const std::string& address, brix::NetworkDecodeStream& request,
                                       unsigned int& reason)
{
    // The checks run first and the lines are written after: a refusal's lines, and those of a
    // client let in, go through their throttles, so that a flood of requests, bad or good,
    // writes about one line a second.
    reason = REASON_SERVER_FULL;
    const int slot = findFreeSlot();
    unsigned int applicationVersion = 0, protocolVersion = 0;
    bool decoded = false;
    Player* player = nullptr;
    if (slot >= 0)
    {
        applicationVersion = request.decodeUInt32();
        protocolVersion = request.decodeUInt32();
        const std::string password = request.decodeString();
        decoded = request.getResult() == brix::NetworkStream::SUCCESS;
        if (!decoded)
            reason = REASON_INVALID_DATA;
        else if (protocolVersion != PROTOCOL_VERSION)
            reason = REASON_INCOMPATIBLE_VERSION;
        else if (password != mPassword)
            reason = REASON_WRONG_PASSWORD;
        else
            player = mPlayers ? mPlayers->createPlayer() : nullptr;
    }
    const bool logged = player ? mArrivalLog.allow() : mRefusalLog.allow();
    if (!player && !logged)
        return brix::NetworkManager::NO_NODE;

    if (logged)
        brix::Log::info("Client connection request from '%s'", address.c_str());
    if (slot < 0)
        return brix::NetworkManager::NO_NODE;
    if (!decoded)
    {
        brix::Log::error("Client (%s) connection request data decoding failed: %s", address.c_str(),
                         request.getResultText());
        return brix::NetworkManager::NO_NODE;
    }
    if (logged)
        brix::Log::info("Client version %08X:%08X", applicationVersion, protocolVersion);
    if (reason == REASON_INCOMPATIBLE_VERSION)
        brix::Log::error("Incompatible network protocol versions: client %08X vs. server %08X",
                         protocolVersion, PROTOCOL_VERSION);
    else if (reason == REASON_WRONG_PASSWORD)
        brix::Log::error("Invalid client password");
    if (!player)
        return brix::NetworkManager::NO_NODE;

    const unsigned short node = static_cast<unsigned short>(slot + 1);
    openSlot(static_cast<unsigned int>(slot), player, new Controller(node), false);
    mSlots[slot].address = address;
    if (logged)
        brix::Log::info("Remote client %d from '%s' connected", node, address.c_str());
    showNewcomerLine(mSlots[slot], "Remote client from " + address + " connected");
    return node;
}

unsigned short Server::connectLocalClient(Controller* controller)
{
    const int slot = findFreeSlot();
    if (slot < 0)
        return 0;
    Player* player = mPlayers ? mPlayers->createPlayer() : nullptr;
    if (!player)
        return 0;
    openSlot(static_cast<unsigned int>(slot), player, controller, true);
    const unsigned short node = static_cast<unsigned short>(slot + 1);
    brix::Log::info("Local client %d connected", node);
    return node;
}

void Server::setLocalController(unsigned short node, Controller* controller)
{
    if (ClientSlot* seat = getSlotOfNode(node))
        if (seat->local)
            seat->controller = controller;
}

void Server::disconnectLocalClient(unsigned short node)
{
    ClientSlot* seat = getSlotOfNode(node);
    if (!seat || !seat->local)
        return;
    brix::Log::info("Local client %d disconnected", node);
    seat->state = SLOT_REMOVING;
}

void Server::exchangeLocalMessages(unsigned short node, EventProxy* clientProxy)
{
    ClientSlot* seat = getSlotOfNode(node);
    if (seat && seat->local && clientProxy)
        seat->proxy->exchange(*clientProxy);
}

void Server::onClientDisconnect(unsigned short node, const std::string& address, unsigned int reason)
{
    if (mDepartureLog.allow())
        brix::Log::info("Remote client %d from '%s' disconnected (reason %d)", node, address.c_str(), reason);
    if (ClientSlot* seat = getSlotOfNode(node))
    {
        showNewcomerLine(*seat, "Remote client from " + address + " disconnected");
        seat->state = SLOT_REMOVING;
    }
}

void Server::onAnnounceVerification(bool verified)
{
    if (verified)
    {
        brix::Log::info("Match maker announcement verification code received");
        show("Match announced online");
    }
    else
    {
        brix::Log::info("Match maker announcement timed out");
        show("Online match announcement timed out");
    }
}

void Server::tick()
{
    if (!mStarted)
        return;
    for (unsigned int slot = 0; slot < mSlots.size(); ++slot)
    {
        ClientSlot& seat = mSlots[slot];
        const unsigned short node = static_cast<unsigned short>(slot + 1);
        if (seat.state == SLOT_FREE)
            continue;
        if (seat.requests < REQUEST_BURST && ++seat.requestTicks >= REQUEST_INTERVAL)
        {
            ++seat.requests;
            seat.requestTicks = 0;
            seat.dropTold = false;
        }
        // A rename that waited goes before anything the client sent since.
        if (seat.configurationPending && seat.state >= SLOT_CONNECTED && seat.state <= SLOT_IN_MATCH &&
            takeRequest(seat))
        {
            seat.configurationPending = false;
            configure(seat, seat.pendingName, seat.pendingAppearance);
        }
        seat.proxy->receive();
        if (!seat.local && seat.state != SLOT_REMOVING)
        {
            if (seat.proxy->hasOverflowed())
            {
                brix::Log::error("Remote client %d missed events: its event stream overflowed", node);
                dropClient(slot, REASON_TIMEOUT);
            }
            else if (seat.state != SLOT_IN_MATCH && mPlayers->getMatchState() != PlayerManager::NoMatch &&
                     ++seat.handshakeTicks > HANDSHAKE_TIMEOUT)
            {
                brix::Log::info("Remote client %d did not join the match in time", node);
                dropClient(slot, REASON_TIMEOUT);
            }
        }
        if (seat.state == SLOT_IN_MATCH && seat.completionDue)
        {
            // Its own entry went out in the tick it entered: the result follows it.
            seat.completionDue = false;
            if (mPlayers->getMatchState() == PlayerManager::Complete)
                seat.proxy->sendGameEvent(EventDispatcher::MatchComplete, mPlayers->getWinner(), 0, "");
        }
        if (seat.state == SLOT_CONNECTED && mPlayers->getMatchState() != PlayerManager::NoMatch)
        {
            seat.proxy->sendSystemEvent(EventProxy::PrepareMatch, mPlayers->getScoreLimit(),
                                        mPlayers->getLevel()->getChecksum(), mPlayers->getLevelName(),
                                        nullptr, 0);
            ++seat.preparations;
            seat.levelSent = false;
            seat.state = SLOT_PREPARING;
        }
        else if (seat.state == SLOT_PREPARED && !mConfigured)
        {
            // A seat told the players now hears only the events posted from now on: a name
            // posted before in this tick, not yet in its record, would be told to it by neither.
            // It enters the tick after, and so a player joins the match named.
            if (mEntryLog.allow())
                brix::Log::info("Adding client %d to match", node);
            seat.proxy->sendSystemEvent(EventProxy::BeginMatch, mPlayers->getScoreLimit(),
                                        mPlayers->getLevel()->getChecksum(), mPlayers->getLevelName(),
                                        nullptr, 0);
            enterMatch(slot);
            mPlayers->addPlayerToMatch(seat.player->getIndex(), seat.controller);
            if (mEntities)
                mEntities->setObserverFocus(node, seat.player->getEntityId());
            seat.handshakeTicks = 0;
            seat.completionDue = !seat.local && mPlayers->getMatchState() == PlayerManager::Complete;
            seat.state = SLOT_IN_MATCH;
        }
        else if (seat.state == SLOT_REMOVING)
        {
            // Out of the level before its controller goes. The record stays one tick more, so
            // that the others hear who left before the occupancy block drops the player.
            if (seat.player && seat.player->getState() != Player::NotInMatch)
            {
                mPlayers->removePlayerFromMatch(seat.player->getIndex());
                continue;
            }
            freeSlot(slot);
            mNetwork.updateAnnounceFlags(getAnnounceFlags());
        }
    }
    if (mEntities)
        mEntities->updateEntityActivation(false);
    // Delivered last in this tick; what arrives from now until the next tick is not.
    mConfigured = false;
    for (brix::LogThrottle* lines :
         {&mRefusalLog, &mArrivalLog, &mDepartureLog, &mEntryLog, &mDownloadLog, &mLevelDataLog,
          &mConfigureLog, &mPrepareReadyLog, &mDownloadRequestLog, &mDroppedChatLog})
        lines->report();
    mNewcomerLines.report();
}

void Server::enterMatch(unsigned int slot)
{
    ClientSlot& seat = mSlots[slot];
    if (!seat.playersSent)
    {
        sendPlayersTo(slot);
        seat.playersSent = true;
    }
    // Told every seat, it hears from now on who takes one.
    if (!seat.local)
        mPlayers->stopShowingFreedSeats(static_cast<unsigned short>(slot + 1));
    seat.proxy->setRelaying(true);
}

void Server::leaveMatch(ClientSlot& seat)
{
    // What happens until it is back in the match reaches it as the others' states again.
    seat.proxy->setRelaying(false);
    seat.playersSent = false;
    seat.completionDue = false;
}

void Server::dropClient(unsigned int slot, unsigned int reason)
{
    const unsigned short node = static_cast<unsigned short>(slot + 1);
    mNetwork.disconnect(node, reason, false);
    onClientDisconnect(node, mSlots[slot].address, reason);
}

bool Server::takeRequest(ClientSlot& seat)
{
    if (seat.local)
        return true;
    if (seat.requests == 0)
        return false;
    --seat.requests;
    return true;
}

void Server::configure(ClientSlot& seat, const std::string& name, unsigned int appearance)
{
    const int index = static_cast<int>(seat.player->getIndex());
    mEvents->post(EventDispatcher::PlayerRenamed, index, 0, name);
    mEvents->post(EventDispatcher::PlayerConfigured, index, static_cast<int>(appearance), "");
    mConfigured = true;
}

void Server::update()
{
    if (mStarted)
        mNetwork.update();
}

void Server::sendPlayersTo(unsigned int slot)
{
    if (mSlots[slot].local)
        return;
    // Its own player too: its name came while it heard no game events. A player on its way out
    // and still in the match is told as well, since its departure will be relayed. A seat its
    // blocks may never have shown free (the packets were lost) may still hold whoever had it
    // before there: it is told new first, as the peers in the match were.
    const unsigned short node = static_cast<unsigned short>(slot + 1);
    for (unsigned int other = 0; other < mSlots.size(); ++other)
        if (mSlots[other].state != SLOT_FREE && mSlots[other].player)
        {
            Player& player = *mSlots[other].player;
            if (mPlayers->isSeatShownFree(node, player.getIndex()))
                mSlots[slot].proxy->sendGameEvent(EventDispatcher::PlayerRenamed, player.getIndex(), 0, "");
            player.sendStateTo(mSlots[slot].proxy);
        }
}

void Server::updateMatch(const std::string& announceInfo, unsigned int matchFlags)
{
    mMatchFlags = matchFlags;
    mNetwork.updateAnnounceInfo(announceInfo);
    mNetwork.updateAnnounceFlags(getAnnounceFlags());
    for (ClientSlot& seat : mSlots)
        if (seat.state >= SLOT_PREPARING && seat.state <= SLOT_IN_MATCH)
        {
            leaveMatch(seat);
            seat.state = SLOT_CONNECTED;
            seat.handshakeTicks = 0;
        }
}

bool Server::restartMatch(const std::string& level, unsigned int scoreLimit)
{
    // Ended before the seats stop hearing the match: their departures are posted now, and a
    // seat hears what was posted before it stopped.
    mPlayers->endMatch();
    if (!mPlayers->startMatch(level, scoreLimit, false, false))
        return false;
    updateMatch(level, 0);
    return true;
}

void Server::onSystemEvent(unsigned short node, unsigned int id, unsigned int a, unsigned int,
                           const std::string& text, const void*, unsigned int)
{
    ClientSlot* seat = getSlotOfNode(node);
    if (!seat || !seat->player)
        return;
    const int index = static_cast<int>(seat->player->getIndex());
    switch (id)
    {
    case EventProxy::ConfigurePlayer:
    {
        if (mConfigureLog.allow())
            brix::Log::debug("Received configure player event from client %d", node);
        if (seat->state < SLOT_CONNECTED || seat->state > SLOT_IN_MATCH)
            break;
        std::string name = brix::PeerText::clean(text, Player::MAX_NAME_SIZE);
        if (name.empty())
            name = Player::UNKNOWN_NAME;
        // One that must wait replaces any that waits already: only the latest counts.
        if (seat->configurationPending || !takeRequest(*seat))
        {
            seat->configurationPending = true;
            seat->pendingName = name;
            seat->pendingAppearance = a;
            break;
        }
        configure(*seat, name, a);
        break;
    }
    case EventProxy::PrepareReady:
        if (mPrepareReadyLog.allow())
            brix::Log::debug("Received prepare ready event from client %d", node);
        if (seat->state == SLOT_PREPARING && a == seat->preparations)
            seat->state = SLOT_PREPARED;
        break;
    case EventProxy::ChatRequest:
    {
        if (!takeRequest(*seat))
        {
            if (mDroppedChatLog.allow())
                brix::Log::info("Chat request from client %d dropped: too many", node);
            // Told once until it may send again, so that a flood is not answered in kind.
            if (!seat->dropTold)
                seat->proxy->sendGameEvent(EventDispatcher::ChatMessage, 0, 0, CHAT_DROPPED);
            seat->dropTold = true;
            break;
        }
        const std::string message = brix::PeerText::clean(text, EventProxy::MAX_CHAT_SIZE);
        if (!message.empty())
            mEvents->post(EventDispatcher::ChatMessage, index, 0, message);
        break;
    }
    case EventProxy::LevelDownloadRequest:
    {
        // One download per preparation: a client asking again is not served again.
        const bool due =
            seat->state == SLOT_PREPARING && !seat->levelSent && text == mPlayers->getLevelName();
        if (due || mDownloadRequestLog.allow())
            brix::Log::debug("Received level '%s' download request event from client %d",
                             brix::PeerText::clean(text, EventProxy::MAX_LEVEL_NAME_SIZE).c_str(), node);
        if (due)
        {
            seat->levelSent = true;
            sendLevel(node - 1u, text);
        }
        break;
    }
    default:
        break;
    }
}

void Server::sendLevel(unsigned int slot, const std::string& level)
{
    const unsigned short node = static_cast<unsigned short>(slot + 1);
    const bool logged = mDownloadLog.allow();
    if (logged)
        brix::Log::info("Level '%s' download request from client %d", level.c_str(), node);
    // Compressed once for every client that asks while the level runs, and so is a level too
    // large to send found too large once.
    const Level* running = mPlayers->getLevel();
    const unsigned int checksum = running->getChecksum();
    if (mLevelDataName != level || mLevelDataChecksum != checksum)
    {
        // The text this host read and plays, whatever its file holds by now: the bytes sent are
        // always those of the checksum announced.
        const std::string& text = running->getSource();
        mLevelData.resize(MAX_LEVEL_DATA);
        brix::ZLibCompressor compressor;
        const unsigned int size =
            text.empty() ? 0
                         : compressor.compress(text.data(), static_cast<unsigned int>(text.size()),
                                               mLevelData.data(), MAX_LEVEL_DATA);
        mLevelData.resize(size);
        mLevelDataName = level;
        mLevelDataChecksum = checksum;
    }
    // A level that does not fit one event goes out empty: the joiner says its download failed
    // at once instead of waiting out its limit.
    if (mLevelData.empty() && mLevelDataLog.allow())
        brix::Log::error("Level '%s' data compression failed", level.c_str());
    mSlots[slot].proxy->sendSystemEvent(EventProxy::LevelDownloadResponse, 0, 0, level, mLevelData.data(),
                                        static_cast<unsigned int>(mLevelData.size()));
}

void Server::setUpdateInterval(unsigned int milliseconds)
{
    mNetwork.setUpdateInterval(milliseconds);
}

bool Server::setAnnounceServer(const std::string& address)
{
    return mNetwork.setAnnounceServer(address);
}

bool Server::setPunchThroughServer(const std::string& address)
{
    return mNetwork.setPunchThroughServer(address);
}

const brix::NetworkManager::Statistics& Server::getStatistics() const
{
    return mNetwork.getStatistics();
}

void Server::showNewcomerLine(const ClientSlot& seat, const std::string& text)
{
    const unsigned int index = seat.player->getIndex();
    if (mNewcomerLines.allow(index, mPlayers->getSeatVisit(index), text))
        show(text);
}

void Server::show(const std::string& text)
{
    if (mMessages)
        mMessages->writeMessage(text, true);
}
} // namespace game
