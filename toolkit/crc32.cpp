#include "toolkit/crc32.h"

#include <array>

namespace brix
{
namespace
{
const uint32_t POLYNOMIAL = 0xEDB88320u;

// TABLES[0] is the classic byte table; TABLES[k][i] advances TABLES[0][i] by k more zero
// bytes, which lets addRaw consume eight bytes per step with the same result.
using CRCTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr CRCTables makeTables()
{
    CRCTables tables{};
    for (uint32_t i = 0; i < 256; ++i)
    {
        uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ POLYNOMIAL : value >> 1;
        tables[0][i] = value;
    }
    for (int k = 1; k < 8; ++k)
        for (uint32_t i = 0; i < 256; ++i)
            tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
    return tables;
}

constexpr CRCTables TABLES = makeTables();
} // namespace

CRC32::CRC32(unsigned initial) : mInitial(initial), mRegister(initial) {}

void CRC32::addRaw(const unsigned char* data, unsigned length)
{
    uint32_t crc = mRegister;
    while (length >= 8)
    {
        uint32_t low = crc ^ (uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                              uint32_t(data[3]) << 24);
        crc = TABLES[7][low & 0xFF] ^ TABLES[6][(low >> 8) & 0xFF] ^ TABLES[5][(low >> 16) & 0xFF] ^
              TABLES[4][low >> 24] ^ TABLES[3][data[4]] ^ TABLES[2][data[5]] ^ TABLES[1][data[6]] ^
              TABLES[0][data[7]];
        data += 8;
        length -= 8;
    }
    while (length--)
        crc = (crc >> 8) ^ TABLES[0][(crc ^ *data++) & 0xFF];
    mRegister = crc;
}

void CRC32::getChecksumRaw(unsigned char* out) const
{
    for (unsigned i = 0; i < CHECKSUM_LENGTH; ++i)
        out[i] = static_cast<unsigned char>(mRegister >> (8 * i));
}
} // namespace brix
