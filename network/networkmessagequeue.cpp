#include "network/networkmessagequeue.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkmanager.h"
#include "toolkit/log.h"

namespace brix
{
NetworkMessageQueue::NetworkMessageQueue(unsigned short node, unsigned int bufferSize,
                                         unsigned short maxBlockSize)
    : mTransmitRing(bufferSize), mReceiveRing(bufferSize + clampBlockSize(maxBlockSize)),
      mMessageBuffer(bufferSize > 0 ? bufferSize : 1), mBufferSize(bufferSize),
      mMaxBlockSize(clampBlockSize(maxBlockSize)), mNode(node), mListener(nullptr)
{
    reset();
}

unsigned short NetworkMessageQueue::clampBlockSize(unsigned short size)
{
    return size < 1 ? 1 : (size > MAX_BLOCK_SIZE ? MAX_BLOCK_SIZE : size);
}

NetworkMessageQueue::~NetworkMessageQueue() = default;

void NetworkMessageQueue::reset()
{
    mTransmitRing.clear();
    mReceiveRing.clear();
    mBlockSequence = 0;
    mBlockSize = 0;
    mTransmitCounter = 1;
    mReceiveCounter = 0;
    mBlockInFlight = false;
    mCarrierSequence = 0;
    mCarriers = 0;
    mCarrierRunStart = 0;
}

bool NetworkMessageQueue::transmit(const unsigned char* data, unsigned short length)
{
    if (length + MESSAGE_HEADER_SIZE > mTransmitRing.space())
        return false;
    unsigned char header[MESSAGE_HEADER_SIZE] = {static_cast<unsigned char>(length),
                                                 static_cast<unsigned char>(length >> 8)};
    mTransmitRing.write(header, MESSAGE_HEADER_SIZE);
    mTransmitRing.write(data, length);
    return true;
}

unsigned int NetworkMessageQueue::peekLength(unsigned int position) const
{
    return mReceiveRing.peek(position) | static_cast<unsigned int>(mReceiveRing.peek(position + 1)) << 8;
}

int NetworkMessageQueue::receive(Listener* listener)
{
    if (!listener)
        return 0;
    int delivered = 0;
    while (mReceiveRing.size() >= MESSAGE_HEADER_SIZE)
    {
        unsigned int length = peekLength(0);
        if (length + MESSAGE_HEADER_SIZE > mBufferSize)
        {
            // The manager that carried the stream has said so already, one line a second.
            Log::debug("Message of %u bytes from node %u can never fit its queue: dropping %u bytes", length,
                       static_cast<unsigned>(mNode), mReceiveRing.size());
            mReceiveRing.clear();
            break;
        }
        if (mReceiveRing.size() < length + MESSAGE_HEADER_SIZE)
            break;
        mReceiveRing.read(nullptr, MESSAGE_HEADER_SIZE, true);
        mReceiveRing.read(mMessageBuffer.data(), length, true);
        ++delivered;
        listener->onMessage(mNode, mMessageBuffer.data(), static_cast<unsigned short>(length));
    }
    return delivered;
}

bool NetworkMessageQueue::carriedBlock(unsigned short sequence) const
{
    if (NetworkManager::isSequenceNewer(sequence, mCarrierSequence))
        return false;
    unsigned short age = static_cast<unsigned short>(mCarrierSequence - sequence);
    if (age < CARRIER_WINDOW)
        return (mCarriers >> age & 1u) != 0;
    return !NetworkManager::isSequenceNewer(mCarrierRunStart, sequence);
}

void NetworkMessageQueue::acknowledgeNetworkData(unsigned short node, unsigned short sequence)
{
    if (node != mNode)
        return;
    // Only a packet that carried the block proves it arrived: one acknowledged after it may
    // have left the block out for want of room while the carrier itself was lost.
    if (mBlockSize > 0 && mBlockInFlight && NetworkManager::isSequenceNewer(sequence, mBlockSequence) &&
        carriedBlock(sequence))
    {
        mTransmitRing.read(nullptr, mBlockSize, true);
        mBlockSize = 0;
        mBlockInFlight = false;
    }
    if (mBlockSize == 0 && mTransmitRing.size() > 0)
    {
        ++mTransmitCounter;
        unsigned int held = mTransmitRing.size();
        mBlockSize = static_cast<unsigned short>(held < mMaxBlockSize ? held : mMaxBlockSize);
    }
}

void NetworkMessageQueue::encodeNetworkData(unsigned short node, NetworkEncodeStream& stream,
                                            unsigned short sequence)
{
    if (node != mNode || mBlockSize == 0 || !stream.encodeTest(mBlockSize + 1u))
        return;
    if (!mBlockInFlight)
    {
        mBlockSequence = sequence;
        mBlockInFlight = true;
        mCarrierSequence = sequence;
        mCarriers = 0;
        mCarrierRunStart = sequence;
    }
    unsigned short advance = static_cast<unsigned short>(sequence - mCarrierSequence);
    if (advance > 1)
        mCarrierRunStart = sequence;
    mCarriers = advance >= CARRIER_WINDOW ? 0 : mCarriers << advance;
    mCarriers |= 1u;
    mCarrierSequence = sequence;

    stream.encodeUInt8(mTransmitCounter);
    mTransmitRing.read(stream.getBuffer() + stream.getOffset(), mBlockSize, false);
    stream.skip(mBlockSize);
}

bool NetworkMessageQueue::receivedLengthsValid() const
{
    unsigned int position = 0;
    unsigned int held = mReceiveRing.size();
    while (held - position >= MESSAGE_HEADER_SIZE)
    {
        unsigned int length = peekLength(position);
        if (length + MESSAGE_HEADER_SIZE > mBufferSize)
            return false;
        position += MESSAGE_HEADER_SIZE + length;
        if (position >= held)
            break;
    }
    return true;
}

void NetworkMessageQueue::decodeNetworkData(unsigned short node, NetworkDecodeStream& stream, unsigned short)
{
    if (node != mNode || stream.getRemaining() < 2)
        return;
    unsigned char counter = stream.decodeUInt8();
    if (counter == mReceiveCounter)
        return;
    unsigned int length = stream.getRemaining();
    if (length > mReceiveRing.space())
    {
        // Not taken: the packet stays unacknowledged and the sender repeats the block.
        stream.fail(NetworkStream::BUFFER_OVERFLOW);
        return;
    }
    mReceiveRing.write(stream.getBuffer() + stream.getOffset(), length);
    stream.skip(length);
    mReceiveCounter = counter;
    if (!receivedLengthsValid())
    {
        // An error for the manager to log, throttled: a stranger can send this at will.
        Log::debug("Invalid message length from node %u", static_cast<unsigned>(mNode));
        stream.fail(NetworkStream::INVALID_DATA);
    }
    if (mListener)
        receive(mListener);
}

void NetworkMessageQueue::move(RingBuffer<unsigned char>& from, RingBuffer<unsigned char>& to)
{
    unsigned char piece[EXCHANGE_PIECE_SIZE];
    for (;;)
    {
        unsigned int n = from.size();
        if (n > EXCHANGE_PIECE_SIZE)
            n = EXCHANGE_PIECE_SIZE;
        if (n > to.space())
            n = to.space();
        if (n == 0)
            return;
        from.read(piece, n, true);
        to.write(piece, n);
    }
}

void NetworkMessageQueue::exchange(NetworkMessageQueue* other)
{
    if (!other || other == this)
        return;
    move(other->mTransmitRing, mReceiveRing);
    move(mTransmitRing, other->mReceiveRing);
}
} // namespace brix
