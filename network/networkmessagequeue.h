#pragma once
#include "network/networkmanager.h"
#include "network/networkobject.h"
#include "network/ringbuffer.h"

#include <vector>

namespace brix
{
// A reliable, ordered stream of messages to and from one node, on top of the unreliable data
// packets. Queued bytes travel as one block at a time, repeated in every packet until a
// packet that carried it is acknowledged; a one-byte block counter lets the receiver ignore
// repeats. A message is a uint16 little-endian length and that many bytes, and may span
// several blocks. Both ends must use the same buffer size.
class NetworkMessageQueue : public NetworkObject
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void onMessage(unsigned short node, const unsigned char* data, unsigned short length) = 0;
    };

    // The length before every message.
    static constexpr unsigned int MESSAGE_HEADER_SIZE = 2;
    // The largest block a data packet can carry beside its headers and the block counter.
    static constexpr unsigned short MAX_BLOCK_SIZE = NetworkManager::PACKET_SIZE - 1 -
                                                     NetworkManager::DATA_HEADER_SIZE -
                                                     NetworkManager::CHUNK_HEADER_SIZE - 1;
    // Bytes moved at a time by exchange.
    static constexpr unsigned int EXCHANGE_PIECE_SIZE = 256;

    // maxBlockSize is kept between 1 and MAX_BLOCK_SIZE.
    NetworkMessageQueue(unsigned short node, unsigned int bufferSize, unsigned short maxBlockSize);
    ~NetworkMessageQueue() override;

    // False, and nothing queued, when the message and its length do not fit the free room;
    // a message can be at most bufferSize - 2 bytes.
    bool transmit(const unsigned char* data, unsigned short length);
    // Delivers every complete message received so far; returns how many. A length that no
    // message can have is logged and drops what is left, as the stream is lost from there.
    int receive(Listener* listener);
    // When set, every block taken in is followed by receive(listener).
    void setListener(Listener* listener) { mListener = listener; }
    void reset();
    // Moves the bytes between two queues in memory, without blocks or counters, as far as the
    // receiving rings have room. Listeners are not called.
    void exchange(NetworkMessageQueue* other);

    void acknowledgeNetworkData(unsigned short node, unsigned short sequence) override;
    void encodeNetworkData(unsigned short node, NetworkEncodeStream& stream,
                           unsigned short sequence) override;
    // A block the receive ring cannot take leaves the stream at BUFFER_OVERFLOW, so the packet
    // is not acknowledged and the block comes again; a message length that can never fit the
    // queue leaves it at INVALID_DATA.
    void decodeNetworkData(unsigned short node, NetworkDecodeStream& stream,
                           unsigned short sequence) override;

private:
    // Packets remembered as carriers of the current block.
    static constexpr unsigned int CARRIER_WINDOW = 32;

    static unsigned short clampBlockSize(unsigned short size);
    // False when a length in the receive ring can never be assembled.
    bool receivedLengthsValid() const;
    unsigned int peekLength(unsigned int position) const;
    // True when packet sequence carried the current block.
    bool carriedBlock(unsigned short sequence) const;
    static void move(RingBuffer<unsigned char>& from, RingBuffer<unsigned char>& to);

    RingBuffer<unsigned char> mTransmitRing;
    // One block larger than the buffer: once every whole message is delivered, what is left is
    // part of one message, and the next block always fits beside it.
    RingBuffer<unsigned char> mReceiveRing;
    std::vector<unsigned char> mMessageBuffer;
    unsigned int mBufferSize;
    unsigned short mMaxBlockSize;
    unsigned short mNode;
    Listener* mListener;
    unsigned short mBlockSequence;
    unsigned short mBlockSize;
    unsigned char mTransmitCounter;
    unsigned char mReceiveCounter;
    bool mBlockInFlight;
    // The newest packet that carried the block, and bit k set when packet newest - k did.
    unsigned short mCarrierSequence;
    unsigned int mCarriers;
    // The first of the unbroken run of packets up to the newest that all carried the block,
    // for acknowledgements that lag behind it by more than the window.
    unsigned short mCarrierRunStart;
};
} // namespace brix
