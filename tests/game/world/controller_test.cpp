#include "game/world/controller.h"

#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using game::Controller;
using Bytes = std::vector<unsigned char>;

Controller::TInput input(unsigned short tick, float move = 0, float aimX = 0, float aimY = 0,
                         unsigned buttons = 0)
{
    Controller::TInput record;
    record.tick = tick;
    record.move = move;
    record.aimX = aimX;
    record.aimY = aimY;
    record.buttons = buttons;
    return record;
}

Bytes encode(Controller& controller, unsigned short node, unsigned size = 64)
{
    Bytes buffer(size);
    brix::NetworkEncodeStream stream(buffer.data(), size);
    controller.encodeNetworkData(node, stream, 0);
    buffer.resize(stream.getOffset());
    return buffer;
}

void decode(Controller& controller, unsigned short node, const Bytes& bytes)
{
    brix::NetworkDecodeStream stream(bytes.data(), static_cast<unsigned>(bytes.size()));
    controller.decodeNetworkData(node, stream, 0);
}
} // namespace

TEST(Controller, RingKeepsOnlyNewerRecordsAcrossTheTickWrap)
{
    Controller controller(0);
    Controller::TInput out;
    EXPECT_FALSE(controller.getInput(0, out)) << "an empty ring holds no input, not even for tick 0";
    EXPECT_EQ(out.buttons, 0u);

    // The first record of a fresh ring is taken whatever its tick, even 0 or just below the wrap.
    controller.addInput(input(65500, 0.5f));
    EXPECT_EQ(controller.getLatestTick(), 65500);
    EXPECT_TRUE(controller.getInput(65500, out));
    Controller fromZero(0);
    fromZero.addInput(input(0, 1.0f));
    EXPECT_TRUE(fromZero.getInput(0, out));
    EXPECT_EQ(out.move, 1.0f);

    // A repeat, or one up to 99 ticks older, is dropped; 100 back counts as newer (wrapped).
    controller.addInput(input(65500, -1.0f));
    controller.addInput(input(65401, -1.0f));
    controller.getLatestInput(out);
    EXPECT_EQ(out.move, 0.5f);
    controller.addInput(input(65400, -1.0f));
    EXPECT_EQ(controller.getLatestTick(), 65400);

    // Ticks run on across the wrap; the ring keeps the newest 50.
    Controller ring(0);
    for (unsigned i = 0; i < 60; ++i)
        ring.addInput(input(static_cast<unsigned short>(65530 + i), 0, 0, 0, i));
    EXPECT_EQ(ring.getLatestTick(), 53);
    EXPECT_TRUE(ring.getInput(4, out));
    EXPECT_EQ(out.buttons, 10u);
    EXPECT_FALSE(ring.getInput(3, out)) << "overwritten";
}

TEST(Controller, LookupGivesTheNewestInputNotLaterThanTheTick)
{
    Controller controller(0);
    controller.addInput(input(1000, 0, 0, 0, Controller::BUTTON_JUMP));
    controller.addInput(input(1004, 0, 0, 0, Controller::BUTTON_SHOOT));
    controller.addInput(input(1010, 0, 0, 0, Controller::BUTTON_CROUCH));

    Controller::TInput out;
    EXPECT_TRUE(controller.getInput(1004, out));
    EXPECT_EQ(out.buttons, unsigned(Controller::BUTTON_SHOOT));
    EXPECT_FALSE(controller.getInput(1007, out)) << "a missing tick takes the earlier input";
    EXPECT_EQ(out.tick, 1004);
    EXPECT_FALSE(controller.getInput(2000, out));
    EXPECT_EQ(out.tick, 1010);
    // Only later records held: the newest stands in, never an unused slot of the ring.
    EXPECT_FALSE(controller.getInput(999, out));
    EXPECT_EQ(out.tick, 1010);
    EXPECT_EQ(out.buttons, unsigned(Controller::BUTTON_CROUCH));
}

TEST(Controller, BlockCarriesTheFiveNewestRecordsOldestFirstInThirtyBytes)
{
    Controller client(0);
    for (unsigned short tick = 95; tick <= 100; ++tick)
        client.addInput(input(tick, 0, 0, 0, tick));
    client.addInput(input(0x1234, -1.0f, 0.5f, 1.0f, 0x1FF));

    EXPECT_TRUE(encode(client, 1).empty()) << "input goes to the server only";
    const Bytes block = encode(client, 0);
    EXPECT_EQ(block, (Bytes{97,   0,    127, 127, 127, 97,  //
                            98,   0,    127, 127, 127, 98,  //
                            99,   0,    127, 127, 127, 99,  //
                            100,  0,    127, 127, 127, 100, //
                            0x34, 0x12, 0,   190, 254, 0xFF}));
    EXPECT_TRUE(encode(client, 0, Controller::BLOCK_SIZE - 1).empty()) << "no room: no partial block";

    // A fresh controller sends nothing, then repeats its oldest record where it has none: a
    // server must never take an empty slot for input at tick 0.
    Controller fresh(0);
    EXPECT_TRUE(encode(fresh, 0).empty());
    fresh.addInput(input(65500, 1.0f));
    fresh.addInput(input(65501, -1.0f));
    EXPECT_EQ(encode(fresh, 0),
              (Bytes{0xDC, 0xFF, 254, 127,  127,  0,   0xDC, 0xFF, 254, 127,  127,  0, 0xDC, 0xFF, 254,
                     127,  127,  0,   0xDC, 0xFF, 254, 127,  127,  0,   0xDD, 0xFF, 0, 127,  127,  0}));

    // The server's controller of node 3 reads it back, and ignores node 2.
    Controller server(3);
    decode(server, 2, block);
    Controller::TInput out;
    EXPECT_FALSE(server.getInput(0x1234, out));
    decode(server, 3, block);
    ASSERT_TRUE(server.getInput(0x1234, out));
    EXPECT_EQ(out.move, -1.0f);
    EXPECT_FLOAT_EQ(out.aimX, 63.0f / 127.0f);
    EXPECT_EQ(out.aimY, 1.0f);
    EXPECT_EQ(out.buttons, 0xFFu);
    EXPECT_TRUE(server.getInput(97, out));
    EXPECT_FALSE(server.getInput(96, out)) << "not sent";

    // The same block again (a packet repeats the last five ticks) changes nothing.
    decode(server, 3, block);
    server.getLatestInput(out);
    EXPECT_EQ(out.tick, 0x1234);
}

TEST(Controller, DecodedAxesStayWithinTheirRangeAndShortBlocksAreRefused)
{
    // Byte 255 is never written, but a peer may send it: it reads as 1, not 1.008.
    Bytes block(Controller::BLOCK_SIZE, 255);
    for (unsigned i = 0; i < Controller::BLOCK_RECORDS; ++i)
    {
        block[i * Controller::RECORD_SIZE] = static_cast<unsigned char>(10 + i);
        block[i * Controller::RECORD_SIZE + 1] = 0;
    }
    Controller server(1);
    decode(server, 1, block);
    Controller::TInput out;
    ASSERT_TRUE(server.getInput(14, out));
    EXPECT_EQ(out.move, 1.0f);
    EXPECT_EQ(out.aimX, 1.0f);
    EXPECT_EQ(out.aimY, 1.0f);

    // Values out of range are clamped before they are packed, so they cannot wrap round.
    Controller client(0);
    client.addInput(input(20, 1.5f, -3.0f, 0.0f));
    const Bytes sent = encode(client, 0);
    ASSERT_EQ(sent.size(), Controller::BLOCK_SIZE);
    EXPECT_EQ(sent[26], 254);
    EXPECT_EQ(sent[27], 0);

    Controller other(1);
    Bytes shortBlock(block.begin(), block.end() - 1);
    brix::NetworkDecodeStream stream(shortBlock.data(), static_cast<unsigned>(shortBlock.size()));
    other.decodeNetworkData(1, stream, 0);
    EXPECT_EQ(stream.getResult(), brix::NetworkStream::BUFFER_OVERFLOW);
    EXPECT_FALSE(other.getInput(10, out));
}
