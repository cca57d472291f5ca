#pragma once

namespace brix
{
class NetworkEncodeStream;
class NetworkDecodeStream;

// An object replicated over a connection. A manager calls it with the peer's node id (0 for
// the server on a client) for every data packet it builds and every chunk it receives.
class NetworkObject
{
public:
    virtual ~NetworkObject();

    // The peer has received our data packet sequence, and will never process an older one.
    virtual void acknowledgeNetworkData(unsigned short node, unsigned short sequence);
    // Writes this object's chunk after the chunk header; writing nothing sends no chunk. A
    // stream left at BUFFER_OVERFLOW discards what was written and retries this object first
    // in the next packet.
    virtual void encodeNetworkData(unsigned short node, NetworkEncodeStream& stream, unsigned short sequence);
    // Reads this object's chunk: the stream holds exactly its bytes; sequence is the peer's.
    // Leaving the stream failed keeps the packet from being acknowledged, so the peer sends
    // the data again; INVALID_DATA means the peer sent what can never be right and ends its
    // connection.
    virtual void decodeNetworkData(unsigned short node, NetworkDecodeStream& stream, unsigned short sequence);
};
} // namespace brix
