#include "toolkit/stringutil.h"

#include <cfloat>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <locale.h>

namespace brix
{
namespace
{
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads whitespace, an optional sign and decimal digits from text[position], clamping the
// magnitude at ULLONG_MAX. False, with position unchanged, when no digit follows.
bool readInteger(const std::string& text, std::string::size_type& position, bool& negative,
                 unsigned long long& magnitude)
{
    std::string::size_type at = position;
    while (at < text.size() && isSpace(text[at]))
        ++at;
    negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    if (at >= text.size() || !isDigit(text[at]))
        return false;
    magnitude = 0;
    for (; at < text.size() && isDigit(text[at]); ++at)
    {
        unsigned digit = text[at] - '0';
        magnitude = magnitude > (ULLONG_MAX - digit) / 10 ? ULLONG_MAX : magnitude * 10 + digit;
    }
    position = at;
    return true;
}

int clampToInt(bool negative, unsigned long long magnitude)
{
    if (negative)
        return magnitude >= static_cast<unsigned long long>(INT_MAX) + 1 ? INT_MIN
                                                                         : -static_cast<int>(magnitude);
    return magnitude > static_cast<unsigned long long>(INT_MAX) ? INT_MAX : static_cast<int>(magnitude);
}

// The "C" locale, so that a decimal point is a point wherever the game runs.
locale_t classicLocale()
{
    static locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}
} // namespace

std::string StringUtil::trim(const std::string& text)
{
    static const char* const BLANKS = " \t\n\r";
    std::string::size_type first = text.find_first_not_of(BLANKS);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(BLANKS) - first + 1);
}

int StringUtil::stringToInt(const std::string& text)
{
    std::string::size_type position = 0;
    bool negative;
    unsigned long long magnitude;
    if (!readInteger(text, position, negative, magnitude))
        return 0;
    return clampToInt(negative, magnitude);
}

unsigned StringUtil::stringToUInt(const std::string& text)
{
    std::string::size_type position = 0;
    bool negative;
    unsigned long long magnitude;
    if (!readInteger(text, position, negative, magnitude) || negative)
        return 0;
    return magnitude > UINT_MAX ? UINT_MAX : static_cast<unsigned>(magnitude);
}

float StringUtil::stringToFloat(const std::string& text)
{
    // Find the decimal number first, so that strtod never sees more than that.
    std::string::size_type start = 0;
    while (start < text.size() && isSpace(text[start]))
        ++start;
    std::string::size_type at = start;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
    std::string::size_type digits = 0;
    for (; at < text.size() && isDigit(text[at]); ++at)
        ++digits;
    if (at < text.size() && text[at] == '.')
        for (++at; at < text.size() && isDigit(text[at]); ++at)
            ++digits;
    if (digits == 0)
        return 0.0f;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E'))
    {
        std::string::size_type exponent = at + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        if (exponent < text.size() && isDigit(text[exponent]))
            for (at = exponent; at < text.size() && isDigit(text[at]); ++at)
                ;
    }

    std::string number = text.substr(start, at - start);
    double value = strtod_l(number.c_str(), nullptr, classicLocale());
    if (value > FLT_MAX)
        return FLT_MAX;
    if (value < -FLT_MAX)
        return -FLT_MAX;
    return static_cast<float>(value);
}

std::string StringUtil::toString(int value)
{
    return std::to_string(value);
}

std::string StringUtil::toString(unsigned value)
{
    return std::to_string(value);
}

std::string StringUtil::toString(float value, int decimals)
{
    if (decimals < 0)
        decimals = 0;
    // Sign, the 39 digits of FLT_MAX, the point and the decimals.
    std::string text(48 + static_cast<std::string::size_type>(decimals), '\0');
    auto result = std::to_chars(&text[0], &text[0] + text.size(), value, std::chars_format::fixed, decimals);
    text.resize(result.ptr - &text[0]);
    return text;
}

unsigned StringUtil::versionStringToNumber(const std::string& text)
{
    // Three numbers, each directly followed by a dot except the last.
    int parts[3];
    std::string::size_type position = 0;
    for (int i = 0; i < 3; ++i)
    {
        if (i > 0)
        {
            if (position >= text.size() || text[position] != '.')
                return 0;
            ++position;
        }
        bool negative;
        unsigned long long magnitude;
        if (!readInteger(text, position, negative, magnitude))
            return 0;
        parts[i] = clampToInt(negative, magnitude);
    }
    return static_cast<unsigned>(parts[0]) << 24 | (static_cast<unsigned>(parts[1]) & 255) << 16 |
           (static_cast<unsigned>(parts[2]) & 255) << 8;
}

std::string StringUtil::versionNumberToString(unsigned version)
{
    return std::to_string(version >> 24) + "." + std::to_string((version >> 16) & 255) + "." +
           std::to_string((version >> 8) & 255);
}

std::string StringUtil::timeStampToString(int64_t seconds, bool withDate)
{
    time_t time = static_cast<time_t>(seconds);
    tm calendar;
    if (static_cast<int64_t>(time) != seconds || !gmtime_r(&time, &calendar))
        return std::string();
    char text[64];
    size_t length = std::strftime(text, sizeof(text), withDate ? "%Y-%m-%d %H:%M:%S" : "%H:%M:%S", &calendar);
    return std::string(text, length);
}
} // namespace brix
