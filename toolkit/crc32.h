#pragma once
#include "toolkit/checksum.h"

#include <cstdint>

namespace brix
{
// Table-driven CRC over the reflected polynomial 0xEDB88320. The register is not inverted
// at the start or the end, so with the usual initial value 0 this is not zlib's CRC-32:
// no data and runs of zero bytes both leave 0. Level checksums depend on this form.
class CRC32 : public Checksum
{
public:
    static const unsigned CHECKSUM_LENGTH = 4;

    explicit CRC32(unsigned initial = 0);

    void addRaw(const unsigned char* data, unsigned length) override;
    // Nothing to do: the register is the checksum at every moment.
    void finalize() override {}
    unsigned getChecksumLength() const override { return CHECKSUM_LENGTH; }
    // The register, least significant byte first.
    void getChecksumRaw(unsigned char* out) const override;
    // The register itself.
    unsigned getChecksumInteger() const override { return mRegister; }
    // Back to the initial value given to the constructor.
    void reset() override { mRegister = mInitial; }

private:
    uint32_t mInitial;
    uint32_t mRegister;
};
} // namespace brix
