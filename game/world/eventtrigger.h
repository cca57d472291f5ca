#pragma once

namespace brix
{
class NetworkStateCodec;
}

namespace game
{
// A one-shot event (a shot fired, a hit taken) carried in an entity's replicated state: the
// authoritative side counts the event, the count's low bits travel in the entity's state
// codec, and every side that sees the count change plays the effect once. Several triggers
// between two polls show as one change; so a count that wraps its bits back to the last
// polled value between two polls shows as none.
class EventTrigger
{
public:
    // The width humans, drones and crawlers replicate their triggers with.
    static constexpr unsigned int DEFAULT_BITS = 2;

    EventTrigger();
    virtual ~EventTrigger();

    // Binds the count to the codec as an unsigned value of that many bits; the trigger must
    // outlive the codec's use.
    void bind(brix::NetworkStateCodec& codec, unsigned int bits = DEFAULT_BITS);
    // Forgets a change not polled yet, as the owning entity spawns: whatever was counted
    // before (on a client, the count its first state brought) never plays. The count itself
    // stays, so that a peer that saw it sees no change.
    void reset();
    // Counts one event (authoritative side).
    void trigger();
    // True once after each change of the count; each side polls once per tick.
    bool poll();

private:
    unsigned int mCount = 0;
    unsigned int mSeen = 0;
};
} // namespace game
