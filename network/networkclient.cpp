#include "network/networkclient.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "toolkit/log.h"
#include "toolkit/thread.h"

namespace brix
{
NetworkClient::NetworkClient(unsigned int timeout, unsigned int updateInterval)
    : NetworkManager(timeout, updateInterval), mListener(nullptr), mTransmitClock(0), mConnectAttempts(0),
      mConnectTime(0), mReason(0)
{
}

NetworkClient::~NetworkClient() = default;

bool NetworkClient::connect(const std::string& server, const unsigned char* data, unsigned short length,
                            Listener* listener)
{
    if (mNodeState.state != DISCONNECTED)
    {
        Log::error("Can't reconnect while client is busy");
        return false;
    }
    resetStatistics();
    resetNodeState(mNodeState);

    NetworkAddress address(server);
    if (!address.isValid())
    {
        Log::error("Invalid server address: %s", server.c_str());
        return false;
    }
    if (length > MAX_CONNECT_DATA)
    {
        Log::error("Too much connect request data");
        return false;
    }
    if (!mSocket.open(0))
        return false;
    mSocket.setTransmitAddress(address);

    mConnectData.assign(data, data + length);
    if (!transmitConnectPacket())
    {
        mSocket.close();
        return false;
    }
    mListener = listener;
    mConnectAttempts = 0;
    mConnectTime = Thread::timer();
    mReason = 0;
    mNodeState.state = CONNECTING;
    return true;
}

void NetworkClient::disconnect(unsigned int reason, bool immediate)
{
    if (mNodeState.state == DISCONNECTED)
        return;
    mReason = reason;
    if (mNodeState.state == CONNECTING || mNodeState.state == CONNECTED)
    {
        transmitDisconnectPacket();
        mNodeState.state = DISCONNECTING;
        mTransmitClock = Thread::timer();
    }
    if (immediate)
        close(reason);
}

void NetworkClient::update()
{
    unsigned char buffer[RECEIVE_BUFFER_SIZE];
    unsigned int length = 0;
    beginReceiving();
    while (mSocket.isOpen() && receivePacket(mSocket, buffer, length))
        handlePacket(buffer, length, Thread::timer());

    unsigned int now = Thread::timer();
    switch (mNodeState.state)
    {
    case CONNECTING:
        if (mConnectAttempts > 0 && now - mConnectTime <= CONNECT_INTERVAL)
            break;
        if (mConnectAttempts < CONNECT_RETRIES)
        {
            if (mConnectAttempts > 1 && mPunchThroughServer.isValid())
                transmitNATPunchThroughPacket();
            transmitConnectPacket();
            ++mConnectAttempts;
            mConnectTime = now;
        }
        else
            close(REASON_TIMEOUT);
        break;
    case CONNECTED:
        if (now - mTransmitClock >= mUpdateInterval)
        {
            transmitDataPacket(mSocket, mSocket.getTransmitAddress(), 0, now, mNodeState);
            // A steady rate: after a stall one packet goes out and the schedule restarts.
            mTransmitClock += mUpdateInterval;
            if (now - mTransmitClock >= mUpdateInterval)
                mTransmitClock = now;
        }
        if (mNodeState.received && now - mNodeState.receiveTime > mTimeout)
            close(REASON_TIMEOUT);
        break;
    case DISCONNECTING:
        if (now - mTransmitClock >= DISCONNECT_LINGER)
            close(mReason);
        break;
    case DISCONNECTED:
        break;
    }
    updateTimedStatistics(now);
    reportThrottledLines();
}

void NetworkClient::handlePacket(const unsigned char* data, unsigned int length, unsigned int now)
{
    // Only the server may speak to us.
    if (mSocket.getRemoteAddress() != mSocket.getTransmitAddress())
    {
        if (logStrayPacket())
            Log::debug("Packet %d from unexpected address: %s", data[0],
                       mSocket.getRemoteAddress().toString().c_str());
        return;
    }
    switch (data[0])
    {
    case PACKET_DATA:
    {
        updateReceiveStatistics(1, length);
        if (length < 1 + DATA_HEADER_SIZE)
            return;
        if (mNodeState.state == CONNECTING)
        {
            mNodeState.state = CONNECTED;
            mTransmitClock = now;
            mNodeState.received = false;
            // The time-out counts from here even when this first packet cannot be used whole.
            mNodeState.receiveTime = now;
            if (mListener)
                mListener->onConnect();
        }
        if (mNodeState.state == CONNECTED)
        {
            NetworkDecodeStream stream(data + 1, length - 1);
            if (decodeDataPacket(0, stream, now, mNodeState) == PACKET_INVALID)
                disconnect(mInvalidDataReason, true);
        }
        else if (mNodeState.state == DISCONNECTING)
            transmitDisconnectPacket();
        break;
    }
    case PACKET_DISCONNECT:
    {
        if (mNodeState.state == DISCONNECTED)
            break;
        NetworkDecodeStream stream(data + 1, length - 1);
        unsigned int reason = stream.decodeUInt32();
        if (stream.getResult() != NetworkStream::SUCCESS)
            break;
        mReason = reason;
        close(reason);
        break;
    }
    default:
        break;
    }
}

void NetworkClient::close(unsigned int reason)
{
    mSocket.close();
    mNodeState.state = DISCONNECTED;
    Listener* listener = mListener;
    mListener = nullptr;
    if (listener)
        listener->onDisconnect(reason);
}

bool NetworkClient::transmitConnectPacket()
{
    unsigned char packet[PACKET_SIZE];
    NetworkEncodeStream stream(packet, sizeof(packet));
    stream.encodeUInt8(PACKET_CONNECT);
    if (!mConnectData.empty() && stream.encodeTest(static_cast<unsigned int>(mConnectData.size())))
    {
        for (unsigned char byte : mConnectData)
            stream.encodeUInt8(byte);
    }
    if (stream.getResult() != NetworkStream::SUCCESS)
        return false;
    return mSocket.transmit(packet, stream.getOffset());
}

void NetworkClient::transmitDisconnectPacket()
{
    unsigned char packet[DISCONNECT_PACKET_SIZE];
    NetworkEncodeStream stream(packet, sizeof(packet));
    stream.encodeUInt8(PACKET_DISCONNECT);
    stream.encodeUInt32(mReason);
    if (!mSocket.transmit(packet, stream.getOffset()))
        Log::debug("Disconnect packet sending failed");
}

void NetworkClient::transmitNATPunchThroughPacket()
{
    unsigned char packet[PUNCH_THROUGH_PACKET_SIZE];
    NetworkEncodeStream stream(packet, sizeof(packet));
    stream.encodeUInt8(PACKET_PUNCH_THROUGH);
    stream.encodeUInt32(0);
    stream.encodeUInt16(0);
    stream.encodeUInt32(mSocket.getTransmitAddress().getAddress());
    stream.encodeUInt16(mSocket.getTransmitAddress().getPort());
    if (!mSocket.transmit(packet, stream.getOffset(), mPunchThroughServer))
        Log::debug("NAT punch-through packet sending failed");
}
} // namespace brix
