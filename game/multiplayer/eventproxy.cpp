#include "game/multiplayer/eventproxy.h"
#include "toolkit/peertext.h"
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "toolkit/log.h"

#include <vector>

namespace game
{
EventProxy::EventProxy(unsigned short node, EventDispatcher* dispatcher)
    : mNode(node), mDispatcher(dispatcher), mQueue(node, QUEUE_BUFFER_SIZE, QUEUE_BLOCK_SIZE),
      mSwitchNumber(dispatcher ? dispatcher->getPostedCount() : 0),
      mUndecodableLog(brix::Log::DEBUG, "undecodable events from node " + std::to_string(node)),
      mUnexpectedLog(brix::Log::DEBUG, "unexpected events from node " + std::to_string(node)),
      mUndecodableDataLog(brix::Log::DEBUG,
                          "system events of undecodable data from node " + std::to_string(node))
{
    mQueue.setListener(this);
    if (mDispatcher)
        mDispatcher->addListener(this);
}

EventProxy::~EventProxy()
{
    if (mDispatcher)
        mDispatcher->removeListener(this);
}

void EventProxy::setRelaying(bool relaying)
{
    if (relaying == mRelaying)
        return;
    // With nothing posted since the last change, that change's boundary still holds.
    const uint64_t now = mDispatcher ? mDispatcher->getPostedCount() : 0;
    if (now != mSwitchNumber)
    {
        mRelayingBefore = mRelaying;
        mSwitchNumber = now;
    }
    mRelaying = relaying;
}

bool EventProxy::isRelaying(uint64_t eventNumber) const
{
    return eventNumber >= mSwitchNumber ? mRelaying : mRelayingBefore;
}

bool EventProxy::isRelayed(unsigned int id)
{
    return id == EventDispatcher::MatchComplete ||
           (id >= EventDispatcher::VialsPickedUp && id <= EventDispatcher::ShieldEnergyPickedUp) ||
           (id >= EventDispatcher::PlayerEnteredMatch && id <= EventDispatcher::ChatMessage);
}

bool EventProxy::isAcceptedFrom(unsigned int id, unsigned short node)
{
    switch (id)
    {
    case ConnectionReady:
    case PrepareMatch:
    case BeginMatch:
    case LevelDownloadResponse:
        return node == 0;
    case ConfigurePlayer:
    case PrepareReady:
    case ChatRequest:
    case LevelDownloadRequest:
        return node != 0;
    default:
        return isRelayed(id) && node == 0;
    }
}

void EventProxy::sendEvent(unsigned int id, unsigned int a, unsigned int b, const std::string& text,
                           const void* data, unsigned int size)
{
    if (id < FIRST_SYSTEM_EVENT)
        sendGameEvent(id, a, b, text);
    else
        sendSystemEvent(id, a, b, text, data, size);
}

void EventProxy::sendGameEvent(unsigned int id, unsigned int a, unsigned int b, const std::string& text)
{
    unsigned char buffer[GAME_EVENT_SIZE];
    brix::NetworkEncodeStream stream(buffer, sizeof(buffer));
    stream.encodeUInt8(static_cast<unsigned char>(id));
    stream.encodeUIntVar(a);
    stream.encodeUIntVar(b);
    stream.encodeString(text);
    if (stream.getResult() != brix::NetworkStream::SUCCESS)
    {
        brix::Log::error("Event %u encoding for node %u failed: %s", id, static_cast<unsigned>(mNode),
                         stream.getResultText());
        return;
    }
    transmit(id, buffer, stream.getOffset());
}

void EventProxy::sendSystemEvent(unsigned int id, unsigned int a, unsigned int b, const std::string& text,
                                 const void* data, unsigned int size)
{
    std::vector<unsigned char> buffer(SYSTEM_EVENT_SIZE);
    brix::NetworkEncodeStream stream(buffer.data(), SYSTEM_EVENT_SIZE);
    stream.encodeUInt8(static_cast<unsigned char>(id));
    stream.encodeUIntVar(a);
    stream.encodeUIntVar(b);
    stream.encodeString(text);
    stream.encodeRaw(static_cast<const unsigned char*>(data), data ? size : 0);
    if (stream.getResult() != brix::NetworkStream::SUCCESS)
    {
        brix::Log::error("Event %u encoding for node %u failed: %s", id, static_cast<unsigned>(mNode),
                         stream.getResultText());
        return;
    }
    transmit(id, buffer.data(), stream.getOffset());
}

void EventProxy::transmit(unsigned int id, const unsigned char* data, unsigned int length)
{
    if (mQueue.transmit(data, static_cast<unsigned short>(length)))
        return;
    if (!mOverflowed)
        brix::Log::error("Event %u routing to node %u failed", id, static_cast<unsigned>(mNode));
    mOverflowed = true;
}

void EventProxy::receive()
{
    mQueue.receive(this);
    mUndecodableLog.report();
    mUnexpectedLog.report();
    mUndecodableDataLog.report();
}

void EventProxy::exchange(EventProxy& other)
{
    mQueue.exchange(&other.mQueue);
}

void EventProxy::reset()
{
    mQueue.reset();
    mOverflowed = false;
}

void EventProxy::onEvent(unsigned int id, int a, int b, const std::string& text)
{
    if (mNode != 0 && isRelayed(id) && isRelaying(mDispatcher ? mDispatcher->getDeliveringNumber() : 0))
        sendGameEvent(id, static_cast<unsigned int>(a), static_cast<unsigned int>(b), text);
}

void EventProxy::onMessage(unsigned short node, const unsigned char* data, unsigned short length)
{
    brix::NetworkDecodeStream stream(data, length);
    const unsigned int id = stream.decodeUInt8();
    const unsigned int a = stream.decodeUIntVar();
    const unsigned int b = stream.decodeUIntVar();
    const std::string text = stream.decodeString();
    if (stream.getResult() != brix::NetworkStream::SUCCESS)
    {
        if (mUndecodableLog.allow())
            brix::Log::debug("Event %u decoding from node %u failed: %s", id, static_cast<unsigned>(node),
                             stream.getResultText());
        return;
    }
    if (!isAcceptedFrom(id, node))
    {
        if (mUnexpectedLog.allow())
            brix::Log::debug("Unexpected event %u received from node %u", id, static_cast<unsigned>(node));
        return;
    }
    if (id < FIRST_SYSTEM_EVENT)
    {
        // A host's chat is cleaned here as the host cleans its clients': a hostile host's
        // garbles no screen.
        if (mDispatcher)
            mDispatcher->post(id, static_cast<int>(a), static_cast<int>(b),
                              id == EventDispatcher::ChatMessage ? brix::PeerText::clean(text, MAX_CHAT_SIZE)
                                                                 : text);
        return;
    }
    std::vector<unsigned char> buffer(SYSTEM_EVENT_DATA_SIZE);
    const unsigned int size = stream.decodeRaw(buffer.data(), SYSTEM_EVENT_DATA_SIZE);
    if (stream.getResult() != brix::NetworkStream::SUCCESS)
    {
        if (mUndecodableDataLog.allow())
            brix::Log::debug("System event %u data decoding from node %u failed: %s", id,
                             static_cast<unsigned>(node), stream.getResultText());
        return;
    }
    if (mListener)
        mListener->onSystemEvent(node, id, a, b, text, buffer.data(), size);
}

void EventProxy::acknowledgeNetworkData(unsigned short node, unsigned short sequence)
{
    mQueue.acknowledgeNetworkData(node, sequence);
}

void EventProxy::encodeNetworkData(unsigned short node, brix::NetworkEncodeStream& stream,
                                   unsigned short sequence)
{
    mQueue.encodeNetworkData(node, stream, sequence);
}

void EventProxy::decodeNetworkData(unsigned short node, brix::NetworkDecodeStream& stream,
                                   unsigned short sequence)
{
    mQueue.decodeNetworkData(node, stream, sequence);
}
} // namespace game
