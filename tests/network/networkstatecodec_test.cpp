#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkstatecodec.h"

#include <gtest/gtest.h>

using brix::NetworkStateCodec;
using brix::NetworkStream;

TEST(NetworkStateCodec, PacksFieldsLeastSignificantBitFirst)
{
    unsigned int three = 5;
    unsigned int six = 33;
    NetworkStateCodec codec;
    codec.bind(&three, 3);
    codec.bind(&six, 6);
    EXPECT_EQ(codec.getSizeBits(), 9u);
    EXPECT_EQ(codec.getSizeBytes(), 2u);

    unsigned char buffer[2] = {0xFF, 0xFF};
    ASSERT_TRUE(codec.encode(buffer, sizeof(buffer)));
    EXPECT_EQ(buffer[0], 0x0D);
    EXPECT_EQ(buffer[1], 0x01);

    // Too small: refused, nothing written.
    unsigned char one[1] = {0x77};
    EXPECT_FALSE(codec.encode(one, sizeof(one)));
    EXPECT_EQ(one[0], 0x77);

    three = 0;
    six = 0;
    ASSERT_TRUE(codec.decode(buffer, sizeof(buffer)));
    EXPECT_EQ(three, 5u);
    EXPECT_EQ(six, 33u);

    // Wider than the binding: the high bits are lost.
    three = 13;
    codec.encode(buffer, sizeof(buffer));
    codec.decode(buffer, sizeof(buffer));
    EXPECT_EQ(three, 5u);
}

TEST(NetworkStateCodec, QuantisesFloatsOnStepsBetweenTheLimits)
{
    float value = 0.0f;
    NetworkStateCodec codec;
    codec.bind(&value, 0.0f, 1.0f, 8);
    unsigned char code = 0;
    auto encoded = [&](float v)
    {
        value = v;
        codec.encode(&code, 1);
        return static_cast<int>(code);
    };
    EXPECT_EQ(encoded(1.0f), 254);
    EXPECT_EQ(encoded(7.0f), 254);
    EXPECT_EQ(encoded(0.5f), 127);
    // Rounded to the nearest step, not truncated, next to either limit.
    EXPECT_EQ(encoded(0.999f), 254);
    EXPECT_EQ(encoded(0.003f), 1);
    EXPECT_EQ(encoded(0.0f), 0);
    EXPECT_EQ(encoded(-3.0f), 0);

    code = 254;
    codec.decode(&code, 1);
    EXPECT_FLOAT_EQ(value, 1.0f);
    code = 127;
    codec.decode(&code, 1);
    EXPECT_FLOAT_EQ(value, 0.5f);
    // The top code is never sent; from a peer it still stays within the limits.
    code = 255;
    codec.decode(&code, 1);
    EXPECT_FLOAT_EQ(value, 1.0f);
}

TEST(NetworkStateCodec, RoundTripsMixedStateThroughStreams)
{
    unsigned int id = 1234;
    float x = -12.5f;
    bool alive = true;
    float angle = 90.0f;
    NetworkStateCodec codec;
    codec.bind(&id, 11);
    codec.bind(&x, -100.0f, 100.0f, 16);
    codec.bind(&alive);
    codec.bind(&angle, -180.0f, 180.0f, 10);
    EXPECT_EQ(codec.getSizeBytes(), 5u);

    unsigned char buffer[8];
    brix::NetworkEncodeStream out(buffer, sizeof(buffer));
    out.encodeUInt8(0xEE);
    codec.encode(out);
    EXPECT_EQ(out.getOffset(), 6u);
    codec.encode(out);
    EXPECT_EQ(out.getResult(), NetworkStream::BUFFER_OVERFLOW);

    NetworkStateCodec copy(codec);
    id = 0;
    x = 0.0f;
    alive = false;
    angle = 0.0f;
    brix::NetworkDecodeStream in(buffer, 6);
    EXPECT_EQ(in.decodeUInt8(), 0xEE);
    copy.decode(in);
    EXPECT_EQ(in.getResult(), NetworkStream::SUCCESS);
    EXPECT_EQ(id, 1234u);
    EXPECT_NEAR(x, -12.5f, 200.0f / 65534);
    EXPECT_TRUE(alive);
    EXPECT_NEAR(angle, 90.0f, 360.0f / 1022);
    copy.decode(in);
    EXPECT_EQ(in.getResult(), NetworkStream::BUFFER_OVERFLOW);

    codec.clearBindings();
    EXPECT_EQ(codec.getSizeBits(), 0u);
}
