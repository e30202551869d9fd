#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>

#include "common/errors.h"
#include "common/streams.h"
#include "expr/extended.h"
#include "testsupport.h"

namespace orva {
namespace {

struct ExtCase {
  Float value;
  Extended10 bytes;
};

class ExtendedBits : public ::testing::TestWithParam<ExtCase> {};

TEST_P(ExtendedBits, EncodesAndDecodesTheExactPattern) {
  const ExtCase& c = GetParam();
  EXPECT_EQ(EncodeExtended(c.value), c.bytes);
  Float back = DecodeExtended(c.bytes);
  if (std::isnan(c.value)) {
    EXPECT_TRUE(std::isnan(back));
  } else {
    EXPECT_EQ(back, c.value);
    EXPECT_EQ(std::signbit(back), std::signbit(c.value));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ExtendedBits,
    ::testing::Values(ExtCase{1.0L, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
                      ExtCase{-2.5L, {0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}},
                      ExtCase{0.1L, {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F}},
                      ExtCase{0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                      ExtCase{-0.0L, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}},
                      ExtCase{HUGE_VALL, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F}},
                      ExtCase{-HUGE_VALL, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF}},
                      ExtCase{NAN, {0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F}},
                      // smallest denormal: exponent field 0, mantissa 1
                      ExtCase{std::ldexp(1.0L, -16445), {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                      ExtCase{LDBL_MAX, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x7F}}));

TEST(Extended, MatchesTheNativeLayoutWhereLongDoubleIsExtended) {
  if (LDBL_MANT_DIG != 64) GTEST_SKIP() << "long double is not the 80-bit format here";
  std::vector<uint8_t> noise = orvatest::SampleBytes(8 * 200, 7, false);
  for (int i = 0; i < 200; ++i) {
    uint64_t bits;
    std::memcpy(&bits, noise.data() + i * 8, 8);
    Float x = std::ldexp(static_cast<Float>(bits | 1), (i % 80) - 40) * ((i & 1) ? -1 : 1);
    uint8_t native[16] = {};
    std::memcpy(native, &x, 10);
    Extended10 ours = EncodeExtended(x);
    ASSERT_EQ(0, std::memcmp(native, ours.data(), 10)) << i;
    ASSERT_EQ(DecodeExtended(ours), x);
  }
}

TEST(Extended, StreamHelpersWriteTenBytes) {
  TMxMemoryStream ms;
  WriteExtended(ms, 3.5L);
  EXPECT_EQ(ms.GetSize(), 10);
  ms.SetPosition(0);
  EXPECT_EQ(ReadExtended(ms), 3.5L);
  EXPECT_THROW(ReadExtended(ms), OrvaError);
}

TEST(FloatText, GeneralFormUpToFifteenDigits) {
  const struct { Float x; const char* text; } cases[] = {
      {0, "0"}, {-0.0L, "0"}, {1, "1"}, {-3.5L, "-3.5"}, {0.1L, "0.1"}, {1.0L / 3, "0.333333333333333"},
      {2.0L / 3, "0.666666666666667"}, {123456789012345.0L, "123456789012345"},
      {1234567890123456.0L, "1.23456789012346E15"}, {1e20L, "1E20"}, {0.0001L, "0.0001"},
      {0.00001L, "1E-5"}, {-1.5e-7L, "-1.5E-7"}, {HUGE_VALL, "INF"}, {-HUGE_VALL, "-INF"}, {NAN, "NAN"}};
  for (const auto& c : cases) EXPECT_EQ(FloatToText(c.x), c.text) << c.text;
}

TEST(NumberText, IntegerText) {
  const struct { const char* text; std::optional<int32_t> value; } cases[] = {
      {"0", 0}, {"42", 42}, {"-42", -42}, {"+7", 7}, {"  12", 12}, {"\t-3", -3},
      {"$1F", 31}, {"x10", 16}, {"0x10", 16}, {"0X1f", 31}, {"-$10", -16}, {"$FFFFFFFF", -1},
      {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}, {"2147483648", std::nullopt},
      {"$100000000", std::nullopt}, {"12 ", std::nullopt}, {"", std::nullopt}, {"-", std::nullopt},
      {"$", std::nullopt}, {"1.5", std::nullopt}, {"abc", std::nullopt}, {"TRUE", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(ParseIntText(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumberText, DecimalText) {
  const struct { const char* text; std::optional<Float> value; } cases[] = {
      {"1.5", 1.5L}, {"-2", -2.0L}, {" 3.25 ", 3.25L}, {".5", 0.5L}, {"5.", 5.0L}, {"1e3", 1000.0L},
      {"1.5E-2", 0.015L}, {"+4", 4.0L}, {"abc", std::nullopt}, {"", std::nullopt}, {".", std::nullopt},
      {"1e", std::nullopt}, {"1,5", std::nullopt}, {"INF", std::nullopt}, {"0x10", std::nullopt},
      {"1e99999", HUGE_VALL}};
  for (const auto& c : cases) EXPECT_EQ(ParseFloatText(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumberText, FloatToIntTruncatesAndRefusesOutOfRange) {
  EXPECT_EQ(FloatToInt(3.9L), 3);
  EXPECT_EQ(FloatToInt(-3.9L), -3);
  EXPECT_EQ(FloatToInt(2147483647.9L), 2147483647);
  EXPECT_EQ(FloatToInt(-2147483648.5L), INT32_MIN);
  EXPECT_THROW(FloatToInt(2147483648.0L), OrvaError);
  EXPECT_THROW(FloatToInt(-1e20L), OrvaError);
  EXPECT_THROW(FloatToInt(NAN), OrvaError);
}

}  // namespace
}  // namespace orva
