// Decodes arbitrary bytes with every decode-stream operation and the state codec, and checks
// that whatever the codec reads it writes back to the same bytes.
#include "network/networkdecodestream.h"
#include "network/networkencodestream.h"
#include "network/networkstatecodec.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte picks operations, the rest is the data they read.
    unsigned char plan = data[0];
    brix::NetworkDecodeStream stream(data + 1, static_cast<unsigned int>(size - 1));
    unsigned char raw[64];
    for (int round = 0; round < 16 && stream.getResult() == brix::NetworkStream::SUCCESS; ++round)
    {
        switch ((plan >> (round % 4 * 2)) & 3)
        {
        case 0:
            stream.decodeUIntVar();
            break;
        case 1:
            stream.decodeString();
            break;
        case 2:
            stream.decodeRaw(raw, sizeof(raw));
            break;
        case 3:
        {
            brix::NetworkDecodeStream sub(stream, stream.decodeUInt8() % 8, stream.decodeUInt16() % 64);
            sub.decodeUInt32();
            sub.decodeString();
            stream.skip(sub.getOffset());
            break;
        }
        }
        if (stream.getOffset() > stream.getBufferSize())
            __builtin_trap();
    }

    // A codec shaped by the input, decoding the whole input and writing it back.
    unsigned int values[8] = {};
    float floats[8] = {};
    bool flags[8] = {};
    brix::NetworkStateCodec codec;
    for (unsigned int i = 0; i < 8; ++i)
    {
        unsigned char shape = data[(i + 1) % size];
        unsigned int bits = 1 + shape % 31;
        if (shape & 0x40)
            codec.bind(&floats[i], -100.0f, 100.0f, bits < 2 ? 2 : bits);
        else if (shape & 0x80)
            codec.bind(&flags[i]);
        else
            codec.bind(&values[i], bits);
    }
    brix::NetworkDecodeStream state(data, static_cast<unsigned int>(size));
    codec.decode(state);
    if (state.getResult() != brix::NetworkStream::SUCCESS)
        return 0;
    unsigned char first[64] = {}, second[64] = {};
    unsigned int bytes = codec.getSizeBytes();
    if (!codec.encode(first, sizeof(first)) || !codec.decode(first, bytes) ||
        !codec.encode(second, sizeof(second)))
        __builtin_trap();
    if (std::memcmp(first, second, bytes) != 0)
        __builtin_trap();
    return 0;
}
