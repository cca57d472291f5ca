#include "game/world/eventtrigger.h"

#include "network/networkstatecodec.h"

#include <gtest/gtest.h>

TEST(EventTrigger, ShowsEachChangeOnceHoweverManyTriggersItHolds)
{
    game::EventTrigger trigger;
    EXPECT_FALSE(trigger.poll());
    trigger.trigger();
    trigger.trigger();
    EXPECT_TRUE(trigger.poll());
    EXPECT_FALSE(trigger.poll());
    trigger.trigger();
    EXPECT_TRUE(trigger.poll());
    trigger.trigger();
    trigger.reset();
    EXPECT_FALSE(trigger.poll()) << "reset forgets a pending change";
}

TEST(EventTrigger, ClientPlaysEachReplicatedShotOncePerChangeOfTheCount)
{
    // A drone's shot trigger: the server counts, the client sees the low two bits.
    game::EventTrigger server, client;
    brix::NetworkStateCodec serverCodec, clientCodec;
    server.bind(serverCodec);
    client.bind(clientCodec);
    ASSERT_EQ(serverCodec.getSizeBits(), game::EventTrigger::DEFAULT_BITS);

    // Shots fired on ticks 1, 2, 3 (two), 5 and 9; the state travels every tick.
    const unsigned shotsPerTick[10] = {0, 1, 1, 2, 0, 1, 0, 0, 0, 1};
    int serverPlays = 0, clientPlays = 0;
    for (unsigned shots : shotsPerTick)
    {
        for (unsigned i = 0; i < shots; ++i)
            server.trigger();
        unsigned char state[4] = {};
        ASSERT_TRUE(serverCodec.encode(state, sizeof(state)));
        ASSERT_TRUE(clientCodec.decode(state, sizeof(state)));
        serverPlays += server.poll();
        clientPlays += client.poll();
    }
    EXPECT_EQ(serverPlays, 5);
    EXPECT_EQ(clientPlays, 5);

    // A client entity spawns after its first state came: the count it brought plays nothing,
    // neither at the spawn nor when the same state comes again.
    game::EventTrigger seen;
    brix::NetworkStateCodec seenCodec;
    seen.bind(seenCodec);
    unsigned char first[4] = {};
    ASSERT_TRUE(serverCodec.encode(first, sizeof(first)));
    ASSERT_TRUE(seenCodec.decode(first, sizeof(first)));
    seen.reset();
    EXPECT_FALSE(seen.poll());
    ASSERT_TRUE(seenCodec.decode(first, sizeof(first)));
    EXPECT_FALSE(seen.poll());

    // Four shots between two updates wrap two bits back to the last value seen: no effect.
    for (int i = 0; i < 4; ++i)
        server.trigger();
    unsigned char state[4] = {};
    serverCodec.encode(state, sizeof(state));
    clientCodec.decode(state, sizeof(state));
    EXPECT_FALSE(client.poll());
    EXPECT_TRUE(server.poll());
}
