#include "toolkit/checksum.h"

#include <cstring>

namespace brix
{
void Checksum::add(const std::string& text)
{
    addRaw(reinterpret_cast<const unsigned char*>(text.data()), static_cast<unsigned>(text.size()));
}

void Checksum::add(const char* text)
{
    if (text)
        addRaw(reinterpret_cast<const unsigned char*>(text), static_cast<unsigned>(std::strlen(text)));
}

std::string Checksum::getChecksumHex() const
{
    static const char DIGITS[] = "0123456789abcdef";
    unsigned char raw[MAX_CHECKSUM_LENGTH];
    unsigned length = getChecksumLength();
    getChecksumRaw(raw);
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned i = 0; i < length; ++i)
    {
        hex += DIGITS[raw[i] >> 4];
        hex += DIGITS[raw[i] & 0x0F];
    }
    return hex;
}

unsigned Checksum::getChecksumInteger() const
{
    unsigned char raw[MAX_CHECKSUM_LENGTH];
    unsigned length = getChecksumLength();
    getChecksumRaw(raw);
    unsigned first = length > 4 ? length - 4 : 0;
    unsigned value = 0;
    for (unsigned i = first; i < length; ++i)
        value = (value << 8) | raw[i];
    return value;
}
} // namespace brix
