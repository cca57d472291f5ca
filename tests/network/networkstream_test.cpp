#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"

#include <gtest/gtest.h>

#include <vector>

using brix::NetworkDecodeStream;
using brix::NetworkEncodeStream;
using brix::NetworkStream;

namespace
{
std::vector<unsigned char> bytes(const NetworkEncodeStream& stream)
{
    return std::vector<unsigned char>(stream.getBuffer(), stream.getBuffer() + stream.getOffset());
}
} // namespace

TEST(NetworkStream, WritesLittleEndianIntegersAndVarInts)
{
    unsigned char buffer[32];
    NetworkEncodeStream out(buffer, sizeof(buffer));
    out.encodeUInt16(0x1234);
    out.encodeUInt32(0xA1B2C3D4);
    out.encodeUIntVar(300);
    out.encodeUIntVar(0);
    out.encodeUIntVar(0xFFFFFFFF);
    EXPECT_EQ(bytes(out), (std::vector<unsigned char>{0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0xAC, 0x02, 0x00,
                                                      0xFF, 0xFF, 0xFF, 0xFF, 0x0F}));

    NetworkDecodeStream in(buffer, out.getOffset());
    EXPECT_EQ(in.decodeUInt16(), 0x1234);
    EXPECT_EQ(in.decodeUInt32(), 0xA1B2C3D4u);
    EXPECT_EQ(in.decodeUIntVar(), 300u);
    EXPECT_EQ(in.decodeUIntVar(), 0u);
    EXPECT_EQ(in.decodeUIntVar(), 0xFFFFFFFFu);
    EXPECT_EQ(in.getResult(), NetworkStream::SUCCESS);
    EXPECT_EQ(in.getRemaining(), 0u);
}

TEST(NetworkStream, OverflowIsStickyAndWritesNothing)
{
    unsigned char buffer[3] = {7, 7, 7};
    NetworkEncodeStream out(buffer, sizeof(buffer));
    out.encodeUInt32(1);
    EXPECT_EQ(out.getResult(), NetworkStream::BUFFER_OVERFLOW);
    EXPECT_STREQ(out.getResultText(), "Buffer overflow");
    out.encodeUInt8(9);
    EXPECT_EQ(out.getOffset(), 0u);
    EXPECT_EQ(buffer[0], 7);

    NetworkDecodeStream in(buffer, 1);
    EXPECT_EQ(in.decodeUInt16(), 0);
    EXPECT_EQ(in.getResult(), NetworkStream::BUFFER_OVERFLOW);
    EXPECT_EQ(in.decodeUInt8(), 0);

    NetworkDecodeStream back(buffer, sizeof(buffer));
    back.skip(2);
    back.reverse(3);
    EXPECT_EQ(back.getResult(), NetworkStream::BUFFER_UNDERFLOW);
    EXPECT_EQ(back.getOffset(), 2u);
    EXPECT_STREQ(NetworkStream::getResultText(9), "Unknown");
}

TEST(NetworkStream, RejectsOverlongVarInts)
{
    // Six bytes, and five whose last carries more than the four bits a 32-bit value has left.
    const unsigned char sixBytes[] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x00};
    NetworkDecodeStream six(sixBytes, sizeof(sixBytes));
    EXPECT_EQ(six.decodeUIntVar(), 0u);
    EXPECT_EQ(six.getResult(), NetworkStream::INVALID_DATA);

    const unsigned char wideFifth[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x10};
    NetworkDecodeStream wide(wideFifth, sizeof(wideFifth));
    wide.decodeUIntVar();
    EXPECT_EQ(wide.getResult(), NetworkStream::INVALID_DATA);

    const unsigned char cut[] = {0x80, 0x80};
    NetworkDecodeStream truncated(cut, sizeof(cut));
    truncated.decodeUIntVar();
    EXPECT_EQ(truncated.getResult(), NetworkStream::BUFFER_OVERFLOW);
}

TEST(NetworkStream, LengthsPastTheEndAreInvalidData)
{
    unsigned char buffer[16];
    NetworkEncodeStream out(buffer, sizeof(buffer));
    out.encodeString("abc");
    const unsigned char raw[] = {1, 2, 3, 4, 5};
    out.encodeRaw(raw, sizeof(raw));
    out.encodeRaw(raw, 4);
    ASSERT_EQ(out.getResult(), NetworkStream::SUCCESS);

    NetworkDecodeStream in(buffer, out.getOffset());
    EXPECT_EQ(in.decodeString(), "abc");
    unsigned char small[4];
    EXPECT_EQ(in.decodeRaw(small, sizeof(small)), 0u);
    EXPECT_EQ(in.getResult(), NetworkStream::SUCCESS);
    // A block exactly as long as the room is taken whole.
    EXPECT_EQ(in.decodeRaw(small, sizeof(small)), 4u);
    EXPECT_EQ(small[3], 4);
    EXPECT_EQ(in.getRemaining(), 0u);

    // A length claiming up to 4 GB must neither wrap the bounds test nor read past the end.
    const unsigned char huge[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 'x'};
    NetworkDecodeStream lie(huge, sizeof(huge));
    EXPECT_EQ(lie.decodeString(), "");
    EXPECT_EQ(lie.getResult(), NetworkStream::INVALID_DATA);
    const unsigned char one[] = {2, 'x'};
    NetworkDecodeStream shortRaw(one, sizeof(one));
    EXPECT_EQ(shortRaw.decodeRaw(small, sizeof(small)), 0u);
    EXPECT_EQ(shortRaw.getResult(), NetworkStream::INVALID_DATA);
}

TEST(NetworkStream, SubStreamsAreBoundedAndFailTheParentWhenStartedPastItsEnd)
{
    unsigned char buffer[8] = {};
    NetworkEncodeStream parent(buffer, sizeof(buffer));
    parent.skip(2);
    NetworkEncodeStream bounded(parent, 1, 3);
    EXPECT_EQ(bounded.getBufferSize(), 3u);
    bounded.encodeUInt16(0xBBAA);
    bounded.encodeUInt16(1);
    EXPECT_EQ(bounded.getResult(), NetworkStream::BUFFER_OVERFLOW);
    EXPECT_EQ(buffer[3], 0xAA);
    EXPECT_EQ(parent.getOffset(), 2u);
    EXPECT_EQ(parent.getResult(), NetworkStream::SUCCESS);

    NetworkEncodeStream rest(parent, 0, 0);
    EXPECT_EQ(rest.getBufferSize(), 6u);
    NetworkEncodeStream past(parent, 7, 0);
    EXPECT_EQ(past.getBufferSize(), 0u);
    EXPECT_EQ(parent.getResult(), NetworkStream::BUFFER_OVERFLOW);
    NetworkEncodeStream inherited(parent, 0, 0);
    EXPECT_EQ(inherited.getResult(), NetworkStream::BUFFER_OVERFLOW);
    EXPECT_EQ(inherited.getBufferSize(), 0u);
}
