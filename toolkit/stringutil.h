#pragma once
#include <cstdint>
#include <string>

namespace brix
{
// Text helpers shared by the file readers, the configuration and the network services.
// Numbers are read and written the same way whatever the process locale, so files stay
// portable between machines.
class StringUtil
{
public:
    // Removes " \t\n\r" from both ends.
    static std::string trim(const std::string& text);

    // Read the longest decimal number after leading whitespace and ignore the rest; 0 when
    // there is none. Values beyond the type's range are clamped to it (a negative text
    // gives 0 as unsigned). Floats take a point and an exponent, but no "inf", "nan" or hex.
    static int stringToInt(const std::string& text);
    static unsigned stringToUInt(const std::string& text);
    static float stringToFloat(const std::string& text);

    static std::string toString(int value);
    static std::string toString(unsigned value);
    // Fixed point with exactly that many decimals (negative counts as 0): 2.5, 3 gives 2.500.
    static std::string toString(float value, int decimals);

    // "major.minor.patch" as major << 24 | (minor & 255) << 16 | (patch & 255) << 8; 0 when
    // the text does not start with three numbers. Text after the third is ignored.
    static unsigned versionStringToNumber(const std::string& text);
    // "major.minor.patch" from bits 24-31, 16-23 and 8-15.
    static std::string versionNumberToString(unsigned version);

    // Seconds since 1970-01-01 UTC as UTC "YYYY-MM-DD hh:mm:ss", or "hh:mm:ss" without the
    // date; empty for a time the calendar cannot hold.
    static std::string timeStampToString(int64_t seconds, bool withDate);

private:
    StringUtil() = delete;
};
} // namespace brix
