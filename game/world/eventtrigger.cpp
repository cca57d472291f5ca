#include "game/world/eventtrigger.h"

#include "network/networkstatecodec.h"

namespace game
{
EventTrigger::EventTrigger() = default;

EventTrigger::~EventTrigger() = default;

void EventTrigger::bind(brix::NetworkStateCodec& codec, unsigned int bits)
{
    codec.bind(&mCount, bits);
}

void EventTrigger::reset()
{
    mSeen = mCount;
}

void EventTrigger::trigger()
{
    ++mCount;
}

bool EventTrigger::poll()
{
    if (mCount == mSeen)
        return false;
    mSeen = mCount;
    return true;
}
} // namespace game
