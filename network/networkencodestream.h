#pragma once
#include "network/networkstream.h"

#include <string>

namespace brix
{
// Writes little-endian integers, LEB128 var-ints, raw blocks and strings into a bounded buffer.
class NetworkEncodeStream : public NetworkStream
{
public:
    // The longest var-int of a 32-bit value.
    static constexpr unsigned int MAX_VAR_INT_SIZE = 5;

    NetworkEncodeStream(unsigned char* buffer, unsigned int size);
    // A sub-stream from parent's offset + offset (at most size bytes when non-zero); the
    // parent's offset does not move, the caller skips it past what the sub-stream used.
    NetworkEncodeStream(NetworkEncodeStream& parent, unsigned int offset, unsigned int size);

    void encodeUInt8(unsigned char value);
    void encodeUInt16(unsigned short value);
    void encodeUInt32(unsigned int value);
    void encodeUIntVar(unsigned int value);
    // A var-int length, then the bytes.
    void encodeRaw(const unsigned char* data, unsigned int length);
    void encodeString(const std::string& text);
    // True if n more bytes fit; otherwise the result becomes BUFFER_OVERFLOW.
    bool encodeTest(unsigned int n) { return reserve(n); }

    unsigned char* getBuffer() const { return mBuffer; }
};
} // namespace brix
