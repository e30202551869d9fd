// Dates and times. A date-time is a float counting days since 30 December
// 1899 (day 0); its fraction is the time of day. For days before day 0 the
// fraction still counts forward from midnight: -1.25 is 29 December 1899,
// 06:00.
#include <cmath>

#include "common/cp932.h"
#include "common/errors.h"
#include "expr/sysfuncs_args.h"

namespace orva::sysfuncs {

namespace {

constexpr int64_t kUnixEpochDay = 25569;  // 1 January 1970
constexpr int64_t kMsPerDay = 86400000;

// Days since 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int64_t y, int64_t m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

const int64_t kFirstDay = DaysFromCivil(1, 1, 1) + kUnixEpochDay;
const int64_t kLastDay = DaysFromCivil(9999, 12, 31) + kUnixEpochDay;

// The parts of a date-time. A day outside years 1-9999 has year, month and
// day 0; a value that is not finite has every part 0.
struct Parts {
  int year = 0, month = 0, day = 0;
  int week = 0;  // 1 = Sunday ... 7 = Saturday
  int hour = 0, min = 0, sec = 0;
};

Parts Decode(Float x) {
  Parts p;
  if (!std::isfinite(x)) return p;
  Float whole = std::trunc(x);
  if (whole >= kFirstDay && whole <= kLastDay) {
    int64_t day = static_cast<int64_t>(whole);
    CivilFromDays(day - kUnixEpochDay, p.year, p.month, p.day);
    // Day 0 was a Saturday.
    p.week = static_cast<int>(((day % 7) + 13) % 7) + 1;
  } else if (std::fabs(whole) < 1e18L) {
    p.week = static_cast<int>(((static_cast<int64_t>(whole) % 7) + 13) % 7) + 1;
  }
  int64_t ms = std::llround(std::fabs(x - whole) * kMsPerDay);
  if (ms >= kMsPerDay) ms = kMsPerDay - 1;
  p.hour = static_cast<int>(ms / 3600000);
  p.min = static_cast<int>(ms / 60000 % 60);
  p.sec = static_cast<int>(ms / 1000 % 60);
  return p;
}

Float EncodeDate(int64_t y, int64_t m, int64_t d) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
    throw OrvaError::Utf8("Invalid argument to date encode");
  return static_cast<Float>(DaysFromCivil(y, m, d) + kUnixEpochDay);
}

Float EncodeTime(int64_t h, int64_t m, int64_t s) {
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) throw OrvaError::Utf8("Invalid argument to time encode");
  return static_cast<Float>(h * 3600 + m * 60 + s) / 86400;
}

void StoreInts(const TSysFuncCall& c, int a, int b, int d) {
  ArgTarget(c, 1)->SetInt(a);
  ArgTarget(c, 2)->SetInt(b);
  ArgTarget(c, 3)->SetInt(d);
}

}  // namespace

void RegisterDateFunctions(TSysFuncMan& man) {
  man.Register("EncodeDate", [](TSysFuncCall& c) { c.result.SetFloat(EncodeDate(IntArg(c, 0), IntArg(c, 1), IntArg(c, 2))); });
  man.Register("EncodeTime", [](TSysFuncCall& c) { c.result.SetFloat(EncodeTime(IntArg(c, 0), IntArg(c, 1), IntArg(c, 2))); });
  man.Register("DecodeDate", [](TSysFuncCall& c) {
    Parts p = Decode(FloatArg(c, 0));
    StoreInts(c, p.year, p.month, p.day);
  });
  man.Register("DecodeTime", [](TSysFuncCall& c) {
    Parts p = Decode(FloatArg(c, 0));
    StoreInts(c, p.hour, p.min, p.sec);
  });
  struct Part {
    const char* name;
    int Parts::*field;
  };
  static const Part kParts[] = {{"GetYear", &Parts::year}, {"GetMonth", &Parts::month}, {"GetDay", &Parts::day},
                                {"GetHour", &Parts::hour}, {"GetMin", &Parts::min},     {"GetSec", &Parts::sec},
                                {"GetWeek", &Parts::week}};
  for (const Part& part : kParts) {
    int Parts::*field = part.field;
    man.Register(part.name, [field](TSysFuncCall& c) { c.result.SetInt(Decode(FloatArg(c, 0)).*field); });
  }
  man.Register("GetWeekStr", [](TSysFuncCall& c) {
    static const char* const kNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    int w = Decode(FloatArg(c, 0)).week;
    c.result.SetStr(w ? kNames[w - 1] : "");
  });
  man.Register("GetWeekJStr", [](TSysFuncCall& c) {
    static const std::string kNames[7] = {Sys("日"), Sys("月"), Sys("火"), Sys("水"), Sys("木"), Sys("金"), Sys("土")};
    int w = Decode(FloatArg(c, 0)).week;
    c.result.SetStr(w ? kNames[w - 1] : std::string());
  });
}

}  // namespace orva::sysfuncs
