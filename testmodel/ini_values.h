// Conversion of settings-file text into values, and the typed reads built on
// the platform's private-profile service.  Every function accepts any text
// (garbage, huge numbers, empty) and yields a defined value; none can fail.
#pragma once

#include <cstdint>

// Decimal integer: optional leading white space, optional sign, digits up to
// the first non-digit.  Text without digits gives 0.  Values beyond the int32
// range saturate at INT32_MIN / INT32_MAX (a huge count in a file should act
// as "very large", not wrap into a small or negative number).
int32_t IniToInt(const char* text);

// Decimal floating point: optional leading white space, sign, digits with an
// optional point and fraction, optional exponent; conversion stops at the first
// character that does not fit.  Text that does not start with a number gives
// 0.0.  "nan", "inf", "infinity" and hexadecimal forms are not decimal numbers
// and give 0.0, so no setting can become NaN or infinite.  A magnitude beyond
// the double range saturates at +-DBL_MAX.
double IniToReal(const char* text);

// Switch: on when the first character is 'Y' or 'y'.
bool IniToSwitch(const char* text);

// Narrowing that never leaves the target range: NaN gives 0, out-of-range
// values saturate.  Integer conversion truncates toward zero.
float RealToFloat(double value);
int32_t RealToInt32(double value);

// Copies src into dst of `size` bytes, cut to size-1 characters and terminated.
void CopyText(char* dst, uint32_t size, const char* src);

// Typed reads: the value is read as text (256-byte buffer) and converted; a
// missing key or file gives `def` converted the same way.
int32_t ReadProfileInt(const char* section, const char* key, const char* def, const char* file);
double ReadProfileReal(const char* section, const char* key, const char* def, const char* file);
bool ReadProfileSwitch(const char* section, const char* key, const char* def, const char* file);
// Text into buf of `size` bytes (cut to size-1).
void ReadProfileText(const char* section, const char* key, const char* def, char* buf,
                     uint32_t size, const char* file);
