#pragma once
#include "network/networkstream.h"

#include <string>

namespace brix
{
// Reads what NetworkEncodeStream writes. Every read gives 0 (or an empty string) once the
// result is set. Reading past the end is BUFFER_OVERFLOW; a length or var-int that cannot be
// right is INVALID_DATA. Nothing is ever read outside the buffer.
class NetworkDecodeStream : public NetworkStream
{
public:
    static constexpr unsigned int MAX_VAR_INT_SIZE = 5;

    NetworkDecodeStream(const unsigned char* buffer, unsigned int size);
    NetworkDecodeStream(NetworkDecodeStream& parent, unsigned int offset, unsigned int size);

    unsigned char decodeUInt8();
    unsigned short decodeUInt16();
    unsigned int decodeUInt32();
    // More than five bytes, or a fifth byte above 0x0F, is INVALID_DATA.
    unsigned int decodeUIntVar();
    // The length copied; a block longer than capacity is skipped and gives 0 with no failure.
    unsigned int decodeRaw(unsigned char* out, unsigned int capacity);
    std::string decodeString();
    bool decodeTest(unsigned int n) { return reserve(n); }

    const unsigned char* getBuffer() const { return mBuffer; }

private:
    // Reads a length prefix and checks that many bytes remain (INVALID_DATA if not).
    bool decodeLength(unsigned int& length);
};
} // namespace brix
