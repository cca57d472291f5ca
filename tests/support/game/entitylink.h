#pragma once
#include "support/game/gameworld.h"

#include <OgreVector.h>

#include <array>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

namespace test
{
// One record of an entity update message as it travels: the slot it starts at, the
// definition id, the control byte and, for a full record, the length of its data.
struct UpdateRecord
{
    unsigned index;
    unsigned id;
    unsigned control;
    unsigned length;
};

// The header and records of an entity update message; false when it cannot be read whole.
bool parseUpdateMessage(const std::vector<unsigned char>& message, uint16_t& tick, uint16_t& start,
                        uint16_t& focus, std::vector<UpdateRecord>& records);

// A server and a client entity manager, each with its own physics world and scene, joined by
// an in-memory link: every tick the server writes its update for the client's node into a
// packet-sized buffer, and the client reads it lagTicks later, unless the link drops it (a
// share of loss, drawn from a seeded generator so runs repeat). The client's node is 1 and
// focuses on the server's entity given to focus().
class EntityLink
{
public:
    // A data packet less its header and one chunk header.
    static constexpr unsigned MESSAGE_ROOM = 512 - 6 - 3;
    static constexpr uint16_t CLIENT_NODE = 1;
    // Server ticks whose entity positions are kept for comparison.
    static constexpr unsigned HISTORY = 64;

    EntityLink(GameOgre& ogre, unsigned lagTicks, double loss, unsigned seed = 1);

    GameWorld server;
    GameWorld client;

    // Loads the same definitions on both sides.
    void loadEntities(const std::string& definitions = GameWorld::DEFINITIONS);
    // The server entity the client's player looks through.
    void focus(const game::Entity* entity);
    // One tick on both sides, as the application runs them: the client reads what has arrived,
    // both simulate, the server writes its update.
    void tick(int count = 1);

    const std::vector<unsigned char>& lastMessage() const { return mLastMessage; }
    unsigned sentMessages() const { return mSent; }
    unsigned deliveredMessages() const { return mDelivered; }
    // Full records the client applied, and the largest distance between an applied state and the
    // server's state at the message's tick.
    unsigned appliedRecords() const { return mApplied; }
    float worstAppliedError() const { return mWorstError; }

private:
    struct TPacket
    {
        unsigned deliverAt;
        std::vector<unsigned char> bytes;
    };

    void deliver(const std::vector<unsigned char>& message);

    unsigned mLag;
    double mLoss;
    std::mt19937 mRandom;
    std::uniform_real_distribution<double> mChance{0.0, 1.0};
    unsigned mTickCount = 0;
    std::deque<TPacket> mInFlight;
    std::vector<unsigned char> mLastMessage;
    unsigned mSent = 0;
    unsigned mDelivered = 0;
    unsigned mApplied = 0;
    float mWorstError = 0.0f;
    std::array<std::array<Ogre::Vector3, 200>, HISTORY> mHistory;
};
} // namespace test
