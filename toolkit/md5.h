#pragma once
#include "toolkit/checksum.h"

#include <cstdint>

namespace brix
{
// The MD5 message digest (RFC 1321). finalize pads the message and leaves the digest in
// the state; it does not reset, so reset before feeding the object again.
class MD5 : public Checksum
{
public:
    static const unsigned CHECKSUM_LENGTH = 16;
    static const unsigned BLOCK_SIZE = 64;

    MD5();

    void addRaw(const unsigned char* data, unsigned length) override;
    void finalize() override;
    unsigned getChecksumLength() const override { return CHECKSUM_LENGTH; }
    // The digest in its usual byte order: each state word least significant byte first.
    void getChecksumRaw(unsigned char* out) const override;
    void reset() override;

private:
    void transform(const unsigned char* block);

    uint32_t mState[4];
    // Message length in bits, low word first.
    uint32_t mCount[2];
    unsigned char mBuffer[BLOCK_SIZE];
};
} // namespace brix
