// Dates and times on the day count from 30 December 1899.
#include <chrono>

#include "sysfuncs_fixture.h"

namespace orvatest {
namespace {

INSTANTIATE_TEST_SUITE_P(
    Dates, SysFuncValues,
    ::testing::Values(
        EvalCase{"EncodeDate(1899, 12, 30)", "2:0"}, EvalCase{"EncodeDate(1900, 1, 1)", "2:2"},
        EvalCase{"EncodeDate(1900, 3, 1)", "2:61"}, EvalCase{"EncodeDate(2000, 2, 29)", "2:36585"},
        EvalCase{"EncodeDate(2024, 1, 1)", "2:45292"}, EvalCase{"EncodeDate(1, 1, 1)", "2:-693593"},
        EvalCase{"EncodeDate(9999, 12, 31)", "2:2958465"}, EvalCase{"EncodeDate(1899, 12, 29)", "2:-1"},
        EvalCase{"EncodeTime(12, 0, 0)", "2:0.5"}, EvalCase{"EncodeTime(6, 0, 0)", "2:0.25"},
        EvalCase{"EncodeTime(0, 0, 0)", "2:0"}, EvalCase{"EncodeTime(23, 59, 59)", "2:0.999988425925926"},
        EvalCase{"GetYear(36585)", "1:2000"}, EvalCase{"GetMonth(36585.75)", "1:2"},
        EvalCase{"GetDay(36585.75)", "1:29"}, EvalCase{"GetHour(36585.75)", "1:18"},
        EvalCase{"GetMin(EncodeTime(10, 31, 45))", "1:31"}, EvalCase{"GetSec(EncodeTime(10, 31, 45))", "1:45"},
        EvalCase{"GetHour(EncodeDate(2020, 5, 6) + EncodeTime(23, 59, 59))", "1:23"},
        EvalCase{"GetSec(EncodeDate(2020, 5, 6) + EncodeTime(23, 59, 59))", "1:59"},
        EvalCase{"GetDay(-1.25)", "1:29"}, EvalCase{"GetHour(-1.25)", "1:6"}, EvalCase{"GetYear(-1.25)", "1:1899"},
        EvalCase{"GetWeek(0)", "1:7"}, EvalCase{"GetWeek(1)", "1:1"}, EvalCase{"GetWeek(-1)", "1:6"},
        EvalCase{"GetWeek(EncodeDate(2024, 12, 25))", "1:4"}, EvalCase{"GetWeekStr(0)", "4:Saturday"},
        EvalCase{"GetWeekStr(EncodeDate(2024, 12, 23))", "4:Monday"},
        EvalCase{"GetWeekJStr(EncodeDate(2023, 1, 1))", "4:日"}, EvalCase{"GetWeekJStr(2)", "4:月"},
        EvalCase{"GetYear(EncodeDate(9999, 12, 31) + 1)", "1:0"}, EvalCase{"GetYear(1e30)", "1:0"},
        EvalCase{"GetHour(0.99999999999)", "1:23"}));

// Invalid dates and times end the expression.
INSTANTIATE_TEST_SUITE_P(
    DateErrors, SysFuncValues,
    ::testing::Values(EvalCase{"EncodeDate(2001, 2, 29)", "none"}, EvalCase{"EncodeDate(1900, 2, 29)", "none"},
                      EvalCase{"EncodeDate(2000, 13, 1)", "none"}, EvalCase{"EncodeDate(2000, 4, 31)", "none"},
                      EvalCase{"EncodeDate(0, 1, 1)", "none"}, EvalCase{"EncodeDate(2000, 1, 0)", "none"},
                      EvalCase{"EncodeTime(24, 0, 0)", "none"}, EvalCase{"EncodeTime(0, 60, 0)", "none"},
                      EvalCase{"EncodeTime(0, 0, -1)", "none"}));

TEST_F(SysFuncs, DecodeStoresIntoItsVariablesAndLeavesTheResultAlone) {
  for (const char* n : {"y", "m", "d"}) Declare(n, orva::PT_INT);
  Declare("t", orva::PT_STR);
  EXPECT_EQ(Eval("DecodeDate(EncodeDate(2000, 2, 29) + 0.5, y, m, d)"), "1:0");
  EXPECT_EQ(Shape("y") + " " + Shape("m") + " " + Shape("d"), "2000 2 29");
  EXPECT_EQ(Eval("DecodeTime(EncodeTime(13, 14, 15), y, m, t)"), "1:0");
  EXPECT_EQ(Shape("y") + " " + Shape("m") + " " + Shape("t"), "13 14 15");
  // Literals in the variable places are written as throw-away copies.
  EXPECT_EQ(Eval("DecodeDate(36585, 1, 2, 3)"), "1:0");
  EXPECT_EQ(lastError, "");
}

TEST_F(SysFuncs, DatesMatchTheCalendar) {
  using namespace std::chrono;
  const sys_days day0 = sys_days{year{1899} / December / 30};
  Declare("x", orva::PT_FLOAT);
  // Days spread over the whole range, leap days and century years included.
  std::vector<int64_t> days = {-693593, -1, 0, 1, 59, 60, 61, 36584, 36585, 36586, 2958465};
  for (int64_t d = -693593; d <= 2958465; d += 9973) days.push_back(d);
  for (int64_t d : days) {
    year_month_day ymd{day0 + std::chrono::days{d}};
    weekday wd{sys_days{ymd}};
    Value("x").SetFloat(static_cast<orva::Float>(d));
    std::string want = std::to_string(static_cast<int>(ymd.year())) + "/" +
                       std::to_string(static_cast<unsigned>(ymd.month())) + "/" +
                       std::to_string(static_cast<unsigned>(ymd.day())) + " " +
                       std::to_string(wd.c_encoding() + 1);
    std::string got = Eval("GetYear(x) ++ \"/\" ++ GetMonth(x) ++ \"/\" ++ GetDay(x) ++ \" \" ++ GetWeek(x)");
    ASSERT_EQ(got, "4:" + want) << d;
    std::string back = "EncodeDate(" + std::to_string(static_cast<int>(ymd.year())) + ", " +
                       std::to_string(static_cast<unsigned>(ymd.month())) + ", " +
                       std::to_string(static_cast<unsigned>(ymd.day())) + ")";
    ASSERT_EQ(Eval(back), "2:" + std::to_string(d)) << back;
  }
}

}  // namespace
}  // namespace orvatest
