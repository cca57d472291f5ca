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
      mAnnounceStartTime(0), mListener(nullptr), mClients(maxClients), mRunning(false)
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
        transmitDisconnectPacket(client);
        client.nodeState.state = DISCONNECTING;
    }
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
    reportStrayPackets();
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
        if (type != PACKET_CONNECT)
        {
            if (logStrayPacket())
                Log::debug("Unexpected packet %d from address: %s", type, sender.toString().c_str());
            return;
        }
        // A full server drops the request silently; the client gives up after its tries.
        index = setUpClient(sender, now);
        if (index < 0)
            return;
        TClient& client = mClients[index];
        NetworkDecodeStream connectData(data + 1, length - 1);
        unsigned short node = NO_NODE;
        if (mListener)
            node = mListener->onClientConnect(client.address.toString(), connectData, client.reason);
        if (node == NO_NODE)
        {
            // A refused client keeps no node, so nothing it sends later reaches the listener.
            client.node = NO_NODE;
            transmitDisconnectPacket(client);
            client.nodeState.state = DISCONNECTING;
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
                dropClient(client, REASON_INVALID_DATA);
        }
        else if (client.nodeState.state == DISCONNECTING)
            transmitDisconnectPacket(client);
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
    for (size_t i = 0; i < mClients.size(); ++i)
    {
        TClient& client = mClients[i];
        if (client.nodeState.state != DISCONNECTED)
            continue;
        client.address = address;
        client.node = 0;
        client.reason = 0;
        resetNodeState(client.nodeState);
        client.nodeState.state = CONNECTING;
        client.nodeState.transmitTime = now;
        client.nodeState.receiveTime = now;
        return static_cast<int>(i);
    }
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
    transmitDisconnectPacket(client);
    client.nodeState.state = DISCONNECTING;
    client.node = NO_NODE;
    if (mListener)
        mListener->onClientDisconnect(node, client.address.toString(), reason);
}

void NetworkServer::transmitDisconnectPacket(TClient& client)
{
    unsigned char buffer[DISCONNECT_PACKET_SIZE];
    NetworkEncodeStream stream(buffer, sizeof(buffer));
    stream.encodeUInt8(PACKET_DISCONNECT);
    stream.encodeUInt32(client.reason);
    if (stream.getResult() != NetworkStream::SUCCESS)
    {
        Log::debug("Disconnect packet encoding failed: %s", stream.getResultText());
        return;
    }
    if (!mSocket.transmit(buffer, stream.getOffset(), client.address))
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
