#include "toolkit/stringutil.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>

using brix::StringUtil;

TEST(StringUtil, TrimsBlanksTabsAndLineEndsOnly)
{
    EXPECT_EQ(StringUtil::trim(" \t\r\n level 1 \n\r\t "), "level 1");
    EXPECT_EQ(StringUtil::trim(" \t\r\n"), "");
    EXPECT_EQ(StringUtil::trim(""), "");
    EXPECT_EQ(StringUtil::trim("\vx\f"), "\vx\f");
}

TEST(StringUtil, ReadsTheLeadingIntegerAndClampsAtTheTypeLimits)
{
    EXPECT_EQ(StringUtil::stringToInt(" \t42 players"), 42);
    EXPECT_EQ(StringUtil::stringToInt("-17"), -17);
    EXPECT_EQ(StringUtil::stringToInt("+5"), 5);
    EXPECT_EQ(StringUtil::stringToInt("3.9"), 3);
    EXPECT_EQ(StringUtil::stringToInt("- 5"), 0);
    EXPECT_EQ(StringUtil::stringToInt("players"), 0);
    EXPECT_EQ(StringUtil::stringToInt(""), 0);
    EXPECT_EQ(StringUtil::stringToInt("2147483647"), INT_MAX);
    EXPECT_EQ(StringUtil::stringToInt("2147483648"), INT_MAX);
    EXPECT_EQ(StringUtil::stringToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(StringUtil::stringToInt("-2147483649"), INT_MIN);
    EXPECT_EQ(StringUtil::stringToInt(std::string(100, '9')), INT_MAX);

    EXPECT_EQ(StringUtil::stringToUInt("4294967295"), UINT_MAX);
    EXPECT_EQ(StringUtil::stringToUInt("4294967296"), UINT_MAX);
    EXPECT_EQ(StringUtil::stringToUInt(std::string(100, '9')), UINT_MAX);
    EXPECT_EQ(StringUtil::stringToUInt("-1"), 0u);
    EXPECT_EQ(StringUtil::stringToUInt(" 8x"), 8u);
}

TEST(StringUtil, ReadsDecimalFloatsOnlyAndClampsToTheFloatRange)
{
    EXPECT_FLOAT_EQ(StringUtil::stringToFloat("  2.5e2 m"), 250.0f);
    EXPECT_FLOAT_EQ(StringUtil::stringToFloat("-.5"), -0.5f);
    EXPECT_FLOAT_EQ(StringUtil::stringToFloat("7."), 7.0f);
    EXPECT_FLOAT_EQ(StringUtil::stringToFloat("1e"), 1.0f);
    EXPECT_FLOAT_EQ(StringUtil::stringToFloat("1e+x"), 1.0f);
    EXPECT_FLOAT_EQ(StringUtil::stringToFloat("0x10"), 0.0f);
    EXPECT_EQ(StringUtil::stringToFloat("inf"), 0.0f);
    EXPECT_EQ(StringUtil::stringToFloat("nan"), 0.0f);
    EXPECT_EQ(StringUtil::stringToFloat("."), 0.0f);
    EXPECT_EQ(StringUtil::stringToFloat("1e39"), FLT_MAX);
    EXPECT_EQ(StringUtil::stringToFloat("-1e400"), -FLT_MAX);
    EXPECT_EQ(StringUtil::stringToFloat("1e-400"), 0.0f);
    EXPECT_EQ(StringUtil::stringToFloat(StringUtil::toString(FLT_MAX, 0)), FLT_MAX);
}

TEST(StringUtil, WritesNumbersWithExactlyTheAskedDecimals)
{
    EXPECT_EQ(StringUtil::toString(-42), "-42");
    EXPECT_EQ(StringUtil::toString(4294967295u), "4294967295");
    EXPECT_EQ(StringUtil::toString(2.5f, 3), "2.500");
    EXPECT_EQ(StringUtil::toString(0.75f, 1), "0.8");
    EXPECT_EQ(StringUtil::toString(-1.25f, 0), "-1");
    EXPECT_EQ(StringUtil::toString(3.0f, -2), "3");
    EXPECT_EQ(StringUtil::toString(-FLT_MAX, 1).size(), 42u);
}

TEST(StringUtil, ConvertsVersionsBothWays)
{
    EXPECT_EQ(StringUtil::versionStringToNumber("1.4.2"), 0x01040200u);
    EXPECT_EQ(StringUtil::versionStringToNumber("0.20.0"), 0x00140000u);
    EXPECT_EQ(StringUtil::versionStringToNumber("1.4.2-beta"), 0x01040200u);
    EXPECT_EQ(StringUtil::versionStringToNumber("1.4.300"), 0x01042C00u);
    EXPECT_EQ(StringUtil::versionStringToNumber(" 1. 4. 2"), 0x01040200u);
    EXPECT_EQ(StringUtil::versionStringToNumber("1.4"), 0u);
    EXPECT_EQ(StringUtil::versionStringToNumber("1.4."), 0u);
    EXPECT_EQ(StringUtil::versionStringToNumber("1 .4.2"), 0u);
    EXPECT_EQ(StringUtil::versionStringToNumber("v1.4.2"), 0u);
    EXPECT_EQ(StringUtil::versionStringToNumber(""), 0u);
    // An overlong major is clamped to INT_MAX first, whose low byte lands in bits 24-31.
    EXPECT_EQ(StringUtil::versionStringToNumber("99999999999999999999999.0.0"), 0xFF000000u);

    EXPECT_EQ(StringUtil::versionNumberToString(0x010402FFu), "1.4.2");
    EXPECT_EQ(StringUtil::versionNumberToString(0x00140000u), "0.20.0");
    EXPECT_EQ(StringUtil::versionNumberToString(0xFFFFFFFFu), "255.255.255");
}

TEST(StringUtil, FormatsTimeStampsInUtc)
{
    EXPECT_EQ(StringUtil::timeStampToString(0, true), "1970-01-01 00:00:00");
    EXPECT_EQ(StringUtil::timeStampToString(0, false), "00:00:00");
    EXPECT_EQ(StringUtil::timeStampToString(1453384987, true), "2016-01-21 14:03:07");
    EXPECT_EQ(StringUtil::timeStampToString(-1, true), "1969-12-31 23:59:59");
    EXPECT_EQ(StringUtil::timeStampToString(INT64_MAX, true), "");
}
