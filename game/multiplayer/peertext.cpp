#include "game/multiplayer/peertext.h"
#include "engine/presentation/utf8.h"

namespace game
{
namespace
{
const char32_t C0_END = 0x20;
const char32_t DELETE = 0x7F;
const char32_t C1_END = 0xA0;
// Bidirectional controls: the Arabic letter mark, the left-to-right and right-to-left marks,
// the embeddings and overrides, and the isolates.
const char32_t ARABIC_LETTER_MARK = 0x061C;
const char32_t MARKS_BEGIN = 0x200E, MARKS_END = 0x200F;
const char32_t EMBEDDINGS_BEGIN = 0x202A, EMBEDDINGS_END = 0x202E;
const char32_t ISOLATES_BEGIN = 0x2066, ISOLATES_END = 0x2069;

// Appends the code point's UTF-8 bytes when they fit within maxBytes; false when they do not.
bool append(std::string& text, char32_t codePoint, unsigned int maxBytes)
{
    char bytes[4];
    unsigned int length;
    if (codePoint < 0x80)
    {
        bytes[0] = static_cast<char>(codePoint);
        length = 1;
    }
    else if (codePoint < 0x800)
    {
        bytes[0] = static_cast<char>(0xC0 | codePoint >> 6);
        bytes[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
        length = 2;
    }
    else if (codePoint < 0x10000)
    {
        bytes[0] = static_cast<char>(0xE0 | codePoint >> 12);
        bytes[1] = static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
        length = 3;
    }
    else
    {
        bytes[0] = static_cast<char>(0xF0 | codePoint >> 18);
        bytes[1] = static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        bytes[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
        length = 4;
    }
    if (text.size() + length > maxBytes)
        return false;
    text.append(bytes, length);
    return true;
}
} // namespace

bool PeerText::isUnwanted(char32_t codePoint)
{
    return codePoint < C0_END || (codePoint >= DELETE && codePoint < C1_END) ||
           codePoint == ARABIC_LETTER_MARK || (codePoint >= MARKS_BEGIN && codePoint <= MARKS_END) ||
           (codePoint >= EMBEDDINGS_BEGIN && codePoint <= EMBEDDINGS_END) ||
           (codePoint >= ISOLATES_BEGIN && codePoint <= ISOLATES_END) ||
           codePoint == brix::UTF8::REPLACEMENT_CHARACTER;
}

std::string PeerText::clean(const std::string& text, unsigned int maxBytes)
{
    std::string clean;
    clean.reserve(text.size() < maxBytes ? text.size() : maxBytes);
    for (char32_t codePoint : brix::UTF8::decode(text))
        if (!isUnwanted(codePoint) && !append(clean, codePoint, maxBytes))
            break;
    return clean;
}
} // namespace game
