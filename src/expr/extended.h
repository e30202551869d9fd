// The 10-byte extended-precision float of every stream of the system and the
// text forms of numbers that variables convert through.
//
// Stream layout (little-endian): 8 bytes mantissa with the integer bit as its
// top bit, then 2 bytes holding the sign (bit 15) and the biased exponent
// (15 bits, bias 16383). The codec works on that bit pattern with portable
// arithmetic only, so the bytes written do not depend on how the compiler lays
// out `long double`.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orva {

// The float of the value kinds. Arithmetic uses long double (80-bit on x86).
using Float = long double;

using Extended10 = std::array<uint8_t, 10>;

Extended10 EncodeExtended(Float x);
Float DecodeExtended(const Extended10& bytes);

class TStream;
void WriteExtended(TStream& s, Float x);
Float ReadExtended(TStream& s);

// Integer text: optional leading blanks (control characters and spaces), an
// optional sign, then decimal digits, or hexadecimal digits after "$", "x" or
// "0x". Decimal text must fit 32 bits; hexadecimal text may use all 32 bits
// and wraps ("$FFFFFFFF" is -1). Nothing may follow the digits.
std::optional<int32_t> ParseIntText(std::string_view s);

// Decimal text: optional blanks, optional sign, digits with an optional
// fraction (at least one digit in all), optional exponent "E"/"e" with an
// optional sign, optional trailing blanks. The decimal point is always ".".
std::optional<Float> ParseFloatText(std::string_view s);

// Shortest general form with up to 15 significant digits. Fixed notation is
// used for decimal exponents -5 < e < 15, otherwise scientific notation with
// an upper-case "E", a "-" only for negative exponents and no leading zeros
// in the exponent: 1E20, 1.5E-7. Infinities and NaN read "INF", "-INF" and
// "NAN".
std::string FloatToText(Float x);

// Truncation toward zero; values outside the 32-bit range (and NaN) are
// refused with an OrvaError instead of being undefined.
int32_t FloatToInt(Float x);

}  // namespace orva
