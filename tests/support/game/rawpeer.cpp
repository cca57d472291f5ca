#include "support/game/rawpeer.h"
#include "support/loopback.h"

#include "game/multiplayer/eventproxy.h"
#include "game/multiplayer/server.h"
#include "network/networkencodestream.h"
#include "network/networkmanager.h"

namespace test
{
namespace
{
const unsigned int STREAM_ROOM = 1024;
} // namespace

RawPeer::RawPeer(unsigned short serverPort)
{
    mSocket.open(0);
    mSocket.setTransmitAddress(brix::NetworkAddress(LOOPBACK, serverPort));
}

void RawPeer::connect(const std::string& password, unsigned int protocolVersion)
{
    unsigned char buffer[STREAM_ROOM];
    brix::NetworkEncodeStream stream(buffer, sizeof(buffer));
    stream.encodeUInt8(brix::NetworkManager::PACKET_CONNECT);
    stream.encodeUInt32(game::Server::APPLICATION_VERSION);
    stream.encodeUInt32(protocolVersion);
    stream.encodeString(password);
    mSocket.transmit(buffer, stream.getOffset());
}

void RawPeer::leave()
{
    unsigned char buffer[brix::NetworkManager::DISCONNECT_PACKET_SIZE];
    brix::NetworkEncodeStream stream(buffer, sizeof(buffer));
    stream.encodeUInt8(brix::NetworkManager::PACKET_DISCONNECT);
    stream.encodeUInt32(game::Server::REASON_CLIENT_SHUTDOWN);
    mSocket.transmit(buffer, stream.getOffset());
}

RawPeer::Bytes RawPeer::event(unsigned int id, unsigned int a, unsigned int b, const std::string& text)
{
    unsigned char buffer[STREAM_ROOM];
    brix::NetworkEncodeStream stream(buffer + 2, sizeof(buffer) - 2);
    stream.encodeUInt8(static_cast<unsigned char>(id));
    stream.encodeUIntVar(a);
    stream.encodeUIntVar(b);
    stream.encodeString(text);
    if (id >= game::EventProxy::FIRST_SYSTEM_EVENT)
        stream.encodeRaw(nullptr, 0);
    const unsigned int length = stream.getOffset();
    buffer[0] = static_cast<unsigned char>(length);
    buffer[1] = static_cast<unsigned char>(length >> 8);
    return Bytes(buffer, buffer + length + 2);
}

void RawPeer::send(const std::vector<Bytes>& messages)
{
    Bytes block;
    for (const Bytes& message : messages)
        block.insert(block.end(), message.begin(), message.end());
    ++mSequence;
    Bytes packet = {brix::NetworkManager::PACKET_DATA,
                    static_cast<unsigned char>(mSequence),
                    static_cast<unsigned char>(mSequence >> 8),
                    0,
                    0,
                    brix::NetworkManager::UNKNOWN_DELAY};
    if (!block.empty())
    {
        const unsigned int length = static_cast<unsigned int>(block.size()) + 1;
        packet.push_back(game::Server::OBJECT_EVENTS);
        packet.push_back(static_cast<unsigned char>(length));
        packet.push_back(static_cast<unsigned char>(length >> 8));
        packet.push_back(++mBlock);
        packet.insert(packet.end(), block.begin(), block.end());
    }
    mSocket.transmit(packet.data(), static_cast<unsigned int>(packet.size()));
}

void RawPeer::receive()
{
    unsigned char buffer[STREAM_ROOM];
    unsigned int length = 0;
    while (mSocket.receive(buffer, sizeof(buffer), length))
    {
        if (length == 0)
            continue;
        mHeard = true;
        if (buffer[0] == brix::NetworkManager::PACKET_DISCONNECT && length >= 5)
            mReason =
                buffer[1] | buffer[2] << 8 | buffer[3] << 16 | static_cast<unsigned int>(buffer[4]) << 24;
    }
}
} // namespace test
