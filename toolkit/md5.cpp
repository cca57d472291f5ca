#include "toolkit/md5.h"

#include <cstring>

namespace brix
{
namespace
{
// Per-step shift amounts, four per round.
const unsigned SHIFTS[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// floor(abs(sin(i + 1)) * 2^32), written out so the digest never depends on the maths library.
const uint32_t SINES[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

inline uint32_t rotateLeft(uint32_t value, unsigned bits)
{
    return (value << bits) | (value >> (32 - bits));
}

inline uint32_t readLittleEndian(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

inline void writeLittleEndian(uint32_t value, unsigned char* bytes)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}
} // namespace

MD5::MD5()
{
    std::memset(mBuffer, 0, sizeof(mBuffer));
    reset();
}

void MD5::reset()
{
    mState[0] = 0x67452301;
    mState[1] = 0xefcdab89;
    mState[2] = 0x98badcfe;
    mState[3] = 0x10325476;
    mCount[0] = 0;
    mCount[1] = 0;
}

void MD5::addRaw(const unsigned char* data, unsigned length)
{
    if (length == 0)
        return;
    unsigned used = (mCount[0] >> 3) % BLOCK_SIZE;

    uint32_t bits = length << 3;
    mCount[0] += bits;
    if (mCount[0] < bits)
        ++mCount[1];
    mCount[1] += length >> 29;

    if (used > 0)
    {
        unsigned free = BLOCK_SIZE - used;
        if (length < free)
        {
            std::memcpy(mBuffer + used, data, length);
            return;
        }
        std::memcpy(mBuffer + used, data, free);
        transform(mBuffer);
        data += free;
        length -= free;
    }
    while (length >= BLOCK_SIZE)
    {
        transform(data);
        data += BLOCK_SIZE;
        length -= BLOCK_SIZE;
    }
    if (length > 0)
        std::memcpy(mBuffer, data, length);
}

void MD5::finalize()
{
    unsigned char bitCount[8];
    writeLittleEndian(mCount[0], bitCount);
    writeLittleEndian(mCount[1], bitCount + 4);

    // 0x80, then zeros up to 56 bytes into a block, then the 64-bit length.
    static const unsigned char PADDING[BLOCK_SIZE] = {0x80};
    unsigned used = (mCount[0] >> 3) % BLOCK_SIZE;
    unsigned padding = used < 56 ? 56 - used : 120 - used;
    addRaw(PADDING, padding);
    addRaw(bitCount, 8);
}

void MD5::getChecksumRaw(unsigned char* out) const
{
    for (int i = 0; i < 4; ++i)
        writeLittleEndian(mState[i], out + 4 * i);
}

void MD5::transform(const unsigned char* block)
{
    uint32_t words[16];
    for (int i = 0; i < 16; ++i)
        words[i] = readLittleEndian(block + 4 * i);

    uint32_t a = mState[0], b = mState[1], c = mState[2], d = mState[3];
    // Unrolled so each step has its function, word and shift fixed at compile time.
#pragma GCC unroll 64
    for (unsigned i = 0; i < 64; ++i)
    {
        uint32_t f;
        unsigned word;
        switch (i / 16)
        {
        case 0:
            f = (b & c) | (~b & d);
            word = i;
            break;
        case 1:
            f = (d & b) | (~d & c);
            word = (5 * i + 1) % 16;
            break;
        case 2:
            f = b ^ c ^ d;
            word = (3 * i + 5) % 16;
            break;
        default:
            f = c ^ (b | ~d);
            word = (7 * i) % 16;
            break;
        }
        uint32_t next = b + rotateLeft(a + f + SINES[i] + words[word], SHIFTS[i / 16][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    mState[0] += a;
    mState[1] += b;
    mState[2] += c;
    mState[3] += d;
}
} // namespace brix
