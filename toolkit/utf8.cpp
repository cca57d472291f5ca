#include "toolkit/utf8.h"

namespace brix
{
std::u32string UTF8::decode(const std::string& text)
{
    std::u32string codePoints;
    decode(text, codePoints);
    return codePoints;
}

void UTF8::append(char32_t codePoint, std::string& text)
{
    if (codePoint < 0x80)
        text += static_cast<char>(codePoint);
    else if (codePoint < 0x800)
    {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    else if (codePoint < 0x10000)
    {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    else
    {
        text += static_cast<char>(0xF0 | (codePoint >> 18));
        text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void UTF8::decode(const std::string& text, std::u32string& codePoints)
{
    const size_t size = text.size();
    size_t i = 0;
    while (i < size)
    {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80)
        {
            codePoints.push_back(lead);
            ++i;
            continue;
        }
        // Length of the sequence and the range its second byte must lie in, which rules out
        // overlong forms, surrogates and values beyond U+10FFFF in one test.
        unsigned length = 0;
        unsigned char low = 0x80, high = 0xBF;
        char32_t value = 0;
        if (lead >= 0xC2 && lead <= 0xDF)
        {
            length = 2;
            value = lead & 0x1F;
        }
        else if (lead >= 0xE0 && lead <= 0xEF)
        {
            length = 3;
            value = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        }
        else if (lead >= 0xF0 && lead <= 0xF4)
        {
            length = 4;
            value = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        }
        else
        {
            codePoints.push_back(REPLACEMENT_CHARACTER);
            ++i;
            continue;
        }

        size_t next = i + 1;
        bool complete = true;
        for (unsigned k = 1; k < length; ++k, ++next)
        {
            if (next >= size)
            {
                complete = false;
                break;
            }
            const unsigned char byte = static_cast<unsigned char>(text[next]);
            const unsigned char min = k == 1 ? low : 0x80;
            const unsigned char max = k == 1 ? high : 0xBF;
            if (byte < min || byte > max)
            {
                complete = false;
                break;
            }
            value = (value << 6) | (byte & 0x3F);
        }
        codePoints.push_back(complete ? value : REPLACEMENT_CHARACTER);
        i = next;
    }
}
} // namespace brix
