#include "network/networkserver.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "toolkit/crc32.h"
#include "toolkit/log.h"
#include "toolkit/thread.h"

namespace brix
{
NetworkServer::TClient::TClient() : node(NO_NODE), reason(0) {}

NetworkServer::NetworkServer(unsigned short gameId, unsigned int maxClients, unsigned int timeout,
                             unsigned int updateInterval)
    : NetworkManager(timeout, updateInterval), mGameId(gameId), mLocalAddressHash(0), mMatchId(0),
      mAnnounceFlags(0), mAnnounceValue(0), mLastAnnounceTime(0), mVerificationCode(0), mAnnounceCount(0),
      mAnnounceStartTime(0), mListener(nullptr), mClients(maxClients), mRefusals(MAX_REFUSALS),
      mFullLog(Log::DEBUG, "connection requests refused: every slot taken"), mRunning(false)
{
}

NetworkServer::~NetworkServer() = default;

bool NetworkServer::setAnnounceServer(const std::string& text)
{
    return setServerAddress(text, "announce", mAnnounceServer);
}

bool NetworkServer::start(unsigned short port, Listener* listener, const std::string& matchName,
                          const std::string& matchInfo, unsigned int announceFlags,
                          unsigned int announceValue)
{
    if (mRunning)
        return false;
    resetStatistics();
    if (!mSocket.open(port))
        return false;

    mLocalAddressHash = 0;
    if (mAnnounceServer.isValid())
    {
        unsigned int local = UDPSocket::getLocalAddressTo(mAnnounceServer).getAddress();
        unsigned char bytes[4] = {static_cast<unsigned char>(local), static_cast<unsigned char>(local >> 8),
                                  static_cast<unsigned char>(local >> 16),
                                  static_cast<unsigned char>(local >> 24)};
        CRC32 crc(0);
        crc.addRaw(bytes, sizeof(bytes));
        mLocalAddressHash = static_cast<unsigned short>(crc.getChecksumInteger() & 0xFFFF);
    }

    unsigned int now = Thread::timer();
    mMatchName = matchName;
    mMatchInfo = matchInfo;
    mAnnounceFlags = announceFlags;
    mAnnounceValue = announceValue;
    mVerificationCode = 0;
    mAnnounceCount = 0;
    // The first announcement goes out one interval after the start.
    mLastAnnounceTime = now;
    mAnnounceStartTime = now;
    mListener = listener;
    mRunning = true;
    return true;
}

void NetworkServer::stop(unsigned int reason)
{
    if (!mRunning)
        return;
    for (TClient& client : mClients)
        disconnect(client.node, reason, false);
    // The listener goes with this match: a lingering slot must not report its node, which the
    // next match may give to someone else, to the listener of a later start.
    for (TClient& client : mClients)
        client.node = NO_NODE;
    for (TRefusal& refusal : mRefusals)
        refusal.live = false;
    mSocket.close();
    ++mMatchId;
    mListener = nullptr;
    mMatchName.clear();
    mRunning = false;
}

void NetworkServer::disconnect(unsigned short node, unsigned int reason, bool immediate)
{
    if (node == NO_NODE)
        return;
    int index = getClient(node);
    if (index < 0)
        return;
    TClient& client = mClients[index];
    if (client.nodeState.state == CONNECTING || client.nodeState.state == CONNECTED)
    {
        client.reason = reason;
        transmitDisconnectPacket(client.address, reason);
        client.nodeState.state = DISCONNECTING;
    }
    // The listener may seat someone else on this node at once: the client's goodbye must not
    // reach it as that one's.
    client.node = NO_NODE;
    if (immediate)
    {
        freeClient(client);
        if (mListener)
            mListener->onClientDisconnect(node, client.address.toString(), reason);
    }
}

void NetworkServer::update()
{
    unsigned int now = Thread::timer();
    unsigned char buffer[RECEIVE_BUFFER_SIZE];
    unsigned int length = 0;
    beginReceiving();
    while (receivePacket(mSocket, buffer, length))
        handlePacket(buffer, length, now);

    for (TClient& client : mClients)
        updateClient(client, now);

    if (!mMatchName.empty() && mAnnounceServer.isValid())
    {
        unsigned int since = now - mLastAnnounceTime;
        bool due = mAnnounceCount < FIRST_ANNOUNCE_COUNT ? since > FIRST_ANNOUNCE_INTERVAL
                                                         : since > ANNOUNCE_INTERVAL;
        if (due)
        {
            transmitAnnouncement();
            ++mAnnounceCount;
            mLastAnnounceTime = now;
        }
        else if (mVerificationCode == 0 && now - mAnnounceStartTime > VERIFICATION_TIMEOUT)
        {
            mMatchName.clear();
            if (mListener)
                mListener->onAnnounceVerification(false);
        }
    }
    updateTimedStatistics(Thread::timer());
    reportThrottledLines();
    mFullLog.report();
}

void NetworkServer::handlePacket(const unsigned char* data, unsigned int length, unsigned int now)
{
    const NetworkAddress& sender = mSocket.getRemoteAddress();
    unsigned char type = data[0];

    if (type == PACKET_VERIFICATION)
    {
        if (sender != mAnnounceServer)
        {
            if (logStrayPacket())
                Log::debug("Match verification packet from unexpected address: %s",
                           sender.toString().c_str());
            return;
        }
        NetworkDecodeStream stream(data + 1, length - 1);
        unsigned int code = stream.decodeUInt32();
        if (stream.getResult() != NetworkStream::SUCCESS)
        {
            Log::debug("Too small verification packet from address: %s", sender.toString().c_str());
            return;
        }
        // 0 is the announcement's "no code yet": it can never verify a match.
        if (code == mVerificationCode || code == 0)
            return;
        mVerificationCode = code;
        Log::info("Match verification code updated: %08X", code);
        if (mListener)
            mListener->onAnnounceVerification(true);
        return;
    }
    if (type == PACKET_PUNCH_THROUGH)
    {
        forwardNATPunchThrough(data, length);
        return;
    }

    int index = getClient(sender);
    if (index < 0)
    {
        const int refusal = getRefusal(sender, now);
        if (refusal >= 0)
        {
            // As a disconnecting client: told again when it sends data, never asked about again.
            if (type == PACKET_DATA)
                transmitDisconnectPacket(sender, mRefusals[refusal].reason);
            else if (type != PACKET_DISCONNECT && logStrayPacket())
                Log::debug("Unexpected packet %d for connected client from address: %s", type,
                           sender.toString().c_str());
            return;
        }
        if (type != PACKET_CONNECT)
        {
            if (logStrayPacket())
                Log::debug("Unexpected packet %d from address: %s", type, sender.toString().c_str());
            return;
        }
        index = setUpClient(sender, now);
        if (index < 0)
        {
            if (mFullLog.allow())
                Log::debug("Connection request from address %s refused: every slot taken",
                           sender.toString().c_str());
            refuse(sender, mServerFullReason, now);
            return;
        }
        TClient& client = mClients[index];
        NetworkDecodeStream connectData(data + 1, length - 1);
        unsigned short node = NO_NODE;
        if (mListener)
            node = mListener->onClientConnect(client.address.toString(), connectData, client.reason);
        if (node == NO_NODE)
        {
            // A refusal holds no slot, so that bad requests cannot keep good ones out.
            refuse(sender, client.reason, now);
            freeClient(client);
            return;
        }
        client.node = node;
        client.nodeState.state = CONNECTED;
        return;
    }

    TClient& client = mClients[index];
    if (type == PACKET_DATA)
    {
        if (client.nodeState.state == CONNECTED)
        {
            updateReceiveStatistics(1, length);
            NetworkDecodeStream stream(data + 1, length - 1);
            if (decodeDataPacket(client.node, stream, now, client.nodeState) == PACKET_INVALID)
                dropClient(client, mInvalidDataReason);
        }
        else if (client.nodeState.state == DISCONNECTING)
            transmitDisconnectPacket(client.address, client.reason);
        return;
    }
    if (type == PACKET_DISCONNECT)
    {
        NetworkDecodeStream stream(data + 1, length - 1);
        unsigned int reason = stream.decodeUInt32();
        if (stream.getResult() != NetworkStream::SUCCESS)
            return;
        client.reason = reason;
        unsigned short node = client.node;
        freeClient(client);
        if (node != NO_NODE && mListener)
            mListener->onClientDisconnect(node, client.address.toString(), reason);
        return;
    }
    if (logStrayPacket())
        Log::debug("Unexpected packet %d for connected client from address: %s", type,
                   sender.toString().c_str());
}

void NetworkServer::updateClient(TClient& client, unsigned int now)
{
    TNodeState& state = client.nodeState;
    if (state.state == CONNECTED)
    {
        unsigned int answered = state.receiveTime - state.transmitTime;
        unsigned int quiet = now - state.transmitTime;
        if ((answered >= 1 && answered <= RECENT_TRAFFIC && quiet >= mUpdateInterval) ||
            quiet >= MAX_PACKET_INTERVAL)
            transmitDataPacket(mSocket, client.address, client.node, now, state);
        if (now - state.receiveTime > mTimeout)
        {
            unsigned short node = client.node;
            freeClient(client);
            if (mListener)
                mListener->onClientDisconnect(node, client.address.toString(), REASON_TIMEOUT);
        }
    }
    else if (state.state == DISCONNECTING)
    {
        if (now - state.receiveTime >= DISCONNECT_LINGER)
            freeClient(client);
    }
}

int NetworkServer::setUpClient(const NetworkAddress& address, unsigned int now)
{
    int chosen = -1;
    for (size_t i = 0; i < mClients.size(); ++i)
    {
        const TNodeState& state = mClients[i].nodeState;
        if (state.state == DISCONNECTED)
        {
            chosen = static_cast<int>(i);
            break;
        }
        // Lingering only repeats a goodbye: a newcomer may have the slot.
        if (state.state == DISCONNECTING &&
            (chosen < 0 || now - state.receiveTime > now - mClients[chosen].nodeState.receiveTime))
            chosen = static_cast<int>(i);
    }
    if (chosen < 0)
        return -1;
    TClient& client = mClients[chosen];
    client.address = address;
    client.node = 0;
    client.reason = 0;
    resetNodeState(client.nodeState);
    client.nodeState.state = CONNECTING;
    client.nodeState.transmitTime = now;
    client.nodeState.receiveTime = now;
    return chosen;
}

void NetworkServer::refuse(const NetworkAddress& address, unsigned int reason, unsigned int now)
{
    TRefusal* chosen = &mRefusals[0];
    for (TRefusal& refusal : mRefusals)
    {
        if (!refusal.live || now - refusal.time >= DISCONNECT_LINGER)
        {
            chosen = &refusal;
            break;
        }
        if (now - refusal.time > now - chosen->time)
            chosen = &refusal;
    }
    chosen->address = address;
    chosen->reason = reason;
    chosen->time = now;
    chosen->live = true;
    transmitDisconnectPacket(address, reason);
}

int NetworkServer::getRefusal(const NetworkAddress& address, unsigned int now) const
{
    for (size_t i = 0; i < mRefusals.size(); ++i)
        if (mRefusals[i].live && now - mRefusals[i].time < DISCONNECT_LINGER &&
            mRefusals[i].address == address)
            return static_cast<int>(i);
    return -1;
}

int NetworkServer::getClient(const NetworkAddress& address) const
{
    for (size_t i = 0; i < mClients.size(); ++i)
        if (mClients[i].nodeState.state != DISCONNECTED && mClients[i].address == address)
            return static_cast<int>(i);
    return -1;
}

int NetworkServer::getClient(unsigned short node) const
{
    for (size_t i = 0; i < mClients.size(); ++i)
        if (mClients[i].nodeState.state != DISCONNECTED && mClients[i].node == node)
            return static_cast<int>(i);
    return -1;
}

void NetworkServer::freeClient(TClient& client)
{
    client.nodeState.state = DISCONNECTED;
    client.node = NO_NODE;
}

void NetworkServer::dropClient(TClient& client, unsigned int reason)
{
    unsigned short node = client.node;
    client.reason = reason;
    transmitDisconnectPacket(client.address, reason);
    client.nodeState.state = DISCONNECTING;
    client.node = NO_NODE;
    if (mListener)
        mListener->onClientDisconnect(node, client.address.toString(), reason);
}

void NetworkServer::transmitDisconnectPacket(const NetworkAddress& address, unsigned int reason)
{
    unsigned char buffer[DISCONNECT_PACKET_SIZE];
    NetworkEncodeStream stream(buffer, sizeof(buffer));
    stream.encodeUInt8(PACKET_DISCONNECT);
    stream.encodeUInt32(reason);
    if (stream.getResult() != NetworkStream::SUCCESS)
    {
        Log::debug("Disconnect packet encoding failed: %s", stream.getResultText());
        return;
    }
    if (!mSocket.transmit(buffer, stream.getOffset(), address))
        Log::debug("Disconnect packet sending failed");
}

void NetworkServer::transmitAnnouncement()
{
    unsigned char buffer[PACKET_SIZE];
    NetworkEncodeStream stream(buffer, sizeof(buffer));
    stream.encodeUInt8(PACKET_ANNOUNCEMENT);
    stream.encodeUInt16(mGameId);
    stream.encodeUInt16(mLocalAddressHash);
    stream.encodeUInt8(mMatchId);
    stream.encodeString(mMatchName);
    stream.encodeString(mMatchInfo);
    stream.encodeUInt32(mAnnounceFlags);
    stream.encodeUInt32(mAnnounceValue);
    stream.encodeUInt32(mVerificationCode);
    if (stream.getResult() != NetworkStream::SUCCESS)
    {
        Log::debug("Announcement packet encoding failed: %s", stream.getResultText());
        return;
    }
    if (!mSocket.transmit(buffer, stream.getOffset(), mAnnounceServer))
        Log::debug("Announcement packet sending failed");
}

void NetworkServer::forwardNATPunchThrough(const unsigned char* data, unsigned int length)
{
    if (!mPunchThroughServer.isValid() || mSocket.getRemoteAddress() != mPunchThroughServer)
    {
        if (logStrayPacket())
            Log::debug("Ignoring NAT punch-through packet from unexpected address");
        return;
    }
    NetworkDecodeStream stream(data + 1, length - 1);
    unsigned short portA = stream.decodeUInt16();
    unsigned int addressA = stream.decodeUInt32();
    stream.decodeUInt16();
    stream.decodeUInt32();
    if (stream.getResult() != NetworkStream::SUCCESS)
    {
        Log::debug("NAT punch-through packet decoding failed: %s", stream.getResultText());
        return;
    }
    if (stream.getRemaining() > 0)
    {
        Log::debug("Excess data in received NAT punch-through packet");
        return;
    }
    mSocket.transmit(data, length, NetworkAddress(addressA, portA));
}
} // namespace brix
