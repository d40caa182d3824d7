#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include "testmodel/ini_values.h"

namespace {

TEST(SettingsIniValues, IntegerConversionOfGarbageAndExtremes) {
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {
        {"42", 42},
        {"   -17", -17},
        {"\t+8", 8},
        {"12abc", 12},
        {"3.9", 3},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"- 5", 0},
        {"0x1F", 0},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", INT32_MAX},                      // saturates, no wrap
        {"-2147483649", INT32_MIN},
        {"99999999999999999999999999999999999", INT32_MAX},
        {"-000000000000000000000000000000000007", -7},  // leading zeros are not "huge"
    };
    for (const Case& c : cases) EXPECT_EQ(IniToInt(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(IniToInt(nullptr), 0);
}

TEST(SettingsIniValues, RealConversionAcceptsOnlyDecimalNumbers) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"2000000.0", 2000000.0},
        {"  -1.5e3", -1500.0},
        {".5", 0.5},
        {"5.", 5.0},
        {"1e", 1.0},        // an exponent without digits is not part of the number
        {"1e+x", 1.0},
        {"10000.0 mV", 10000.0},
        {"abc", 0.0},
        {"", 0.0},
        {".", 0.0},
        {"-.e5", 0.0},
        {"nan", 0.0},
        {"-NaN(123)", 0.0},
        {"inf", 0.0},
        {"Infinity", 0.0},
        {"0x10", 0.0},      // hexadecimal is not read: "0" then garbage
        {"1e999", DBL_MAX},
        {"-1e999", -DBL_MAX},
        {"1e-999", 0.0},
    };
    for (const Case& c : cases) EXPECT_EQ(IniToReal(c.text), c.value) << '"' << c.text << '"';
    std::string huge(400, '9');
    EXPECT_EQ(IniToReal(huge.c_str()), DBL_MAX);
    EXPECT_EQ(IniToReal(nullptr), 0.0);
}

TEST(SettingsIniValues, SwitchLooksAtTheFirstCharacterOnly) {
    EXPECT_TRUE(IniToSwitch("yes"));
    EXPECT_TRUE(IniToSwitch("Y"));
    EXPECT_TRUE(IniToSwitch("Yabba"));
    EXPECT_FALSE(IniToSwitch("1"));
    EXPECT_FALSE(IniToSwitch("NO"));
    EXPECT_FALSE(IniToSwitch(" yes"));
    EXPECT_FALSE(IniToSwitch(""));
    EXPECT_FALSE(IniToSwitch(nullptr));
}

TEST(SettingsIniValues, NarrowingNeverLeavesTheTargetRange) {
    EXPECT_EQ(RealToInt32(2.9), 2);
    EXPECT_EQ(RealToInt32(-2.9), -2);
    EXPECT_EQ(RealToInt32(1e12), INT32_MAX);
    EXPECT_EQ(RealToInt32(-1e12), INT32_MIN);
    EXPECT_EQ(RealToInt32(std::nan("")), 0);
    EXPECT_EQ(RealToFloat(1e300), FLT_MAX);
    EXPECT_EQ(RealToFloat(-1e300), -FLT_MAX);
    EXPECT_EQ(RealToFloat(std::nan("")), 0.0f);
    EXPECT_EQ(RealToFloat(2000000.0), 2000000.0f);
}

TEST(SettingsIniValues, CopyTextCutsAndTerminates) {
    char dst[6];
    memset(dst, 'x', sizeof dst);
    CopyText(dst, sizeof dst, "M17-B-LONG");
    EXPECT_STREQ(dst, "M17-B");
    CopyText(dst, sizeof dst, nullptr);
    EXPECT_STREQ(dst, "");
}

}  // namespace
