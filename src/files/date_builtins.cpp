// Dates as reals: days since 1899-12-30 00:00 UTC, the time of day as the
// fraction. Calendar work is the system's, in local time or UTC.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "files/misc_group.h"
#include "platform/calendar.h"
#include "script/builtin_args.h"

namespace {

constexpr double kEpochDay = 25569;  // 1970-01-01 00:00 UTC
constexpr double kDaySeconds = 86400;

// Every value made from a moment sits half a second into its second, so that
// turning it back lands safely inside that second.
double ValueOf(int64_t moment) { return (double(moment) + 0.5) / kDaySeconds + kEpochDay; }

// Floor rather than truncation: with the half second, a moment before 1970
// would otherwise come back one second late.
int64_t MomentOf(double value) {
  const double t = std::floor((value - kEpochDay) * kDaySeconds);
  if (!(t >= -9.2e18 && t <= 9.2e18)) return INT64_MIN;
  return int64_t(t);
}

// The game's zone for creating, taking apart and writing values: local time
// unless the game chose UTC.
bool g_utc = false;

bool SplitInZone(double value, CalendarFields* f) { return Calendar_Split(MomentOf(value), g_utc, f); }

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int MonthLength(int64_t year, int64_t month) {
  static const int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeap(year)) return 29;
  return kLengths[month - 1];
}

bool ValidDate(int64_t y, int64_t m, int64_t d) { return y >= 0 && m >= 1 && m <= 12 && d >= 1 && d <= MonthLength(y, m); }
bool ValidTime(int64_t h, int64_t m, int64_t s) { return h >= 0 && h <= 23 && m >= 0 && m <= 59 && s >= 0 && s <= 59; }

// The integral value of each argument, when all `count` of them have one.
bool IntegralArgs(int argc, const ScriptValue* args, int count, int64_t* out) {
  if (argc != count) return false;
  for (int i = 0; i < count; ++i) {
    if (!args[i].IsReal()) return false;
    const double x = args[i].Real();
    if (!(x == std::floor(x)) || std::fabs(x) > 1e15) return false;
    out[i] = int64_t(x);
  }
  return true;
}

// Seconds since January 1, 00:00 of the fields' year, with `dayOffset` days more.
int64_t SecondsOfYear(const CalendarFields& f, int dayOffset) {
  int64_t days = 0;
  for (int64_t m = 1; m < f.month; ++m) days += MonthLength(f.year, m);
  return (((days + f.day + dayOffset) * 24 - 24 + f.hour) * 60 + f.minute) * 60 + f.second;
}

int64_t ComposeInZone(CalendarFields f) { return Calendar_Compose(f, g_utc); }

CalendarFields NowInZone() {
  CalendarFields f;
  Calendar_Split(Calendar_Now(), g_utc, &f);
  return f;
}

CalendarFields DateFields(int64_t year, int64_t month, int64_t day) {
  CalendarFields f;
  f.year = year;
  f.month = month;
  f.day = day;
  return f;
}

// The time of day alone: the fields of a day with no date of its own.
CalendarFields TimeFields(int64_t hour, int64_t minute, int64_t second) {
  CalendarFields f = DateFields(1900, 1, 0);
  f.hour = hour;
  f.minute = minute;
  f.second = second;
  return f;
}

TW_BUILTIN(date_current_datetime) { Return(result, ValueOf(Calendar_Now())); }

TW_BUILTIN(date_current_date) {
  const CalendarFields now = NowInZone();
  Return(result, ValueOf(ComposeInZone(DateFields(now.year, now.month, now.day))));
}

TW_BUILTIN(date_current_time) {
  const CalendarFields now = NowInZone();
  Return(result, ValueOf(ComposeInZone(TimeFields(now.hour, now.minute, now.second))));
}

TW_BUILTIN(date_create_datetime) {
  CalendarFields f = DateFields(std::max(RoundedArg(argc, args, 0), 1900), TruncatedArg(argc, args, 1), TruncatedArg(argc, args, 2));
  f.hour = TruncatedArg(argc, args, 3);
  f.minute = TruncatedArg(argc, args, 4);
  f.second = TruncatedArg(argc, args, 5);
  Return(result, ValueOf(ComposeInZone(f)));
}

TW_BUILTIN(date_create_date) {
  Return(result, ValueOf(ComposeInZone(DateFields(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1),
                                                 RoundedArg(argc, args, 2)))));
}

TW_BUILTIN(date_create_time) {
  Return(result, ValueOf(ComposeInZone(TimeFields(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1),
                                                 RoundedArg(argc, args, 2)))));
}

TW_BUILTIN(date_valid_datetime) {
  int64_t a[6];
  Return(result, IntegralArgs(argc, args, 6, a) && ValidDate(a[0], a[1], a[2]) && ValidTime(a[3], a[4], a[5]));
}

TW_BUILTIN(date_valid_date) {
  int64_t a[3];
  Return(result, IntegralArgs(argc, args, 3, a) && ValidDate(a[0], a[1], a[2]));
}

TW_BUILTIN(date_valid_time) {
  int64_t a[3];
  Return(result, IntegralArgs(argc, args, 3, a) && ValidTime(a[0], a[1], a[2]));
}

// Steps one UTC field of the value by n; fields out of range carry.
void Step(ScriptValue* result, double value, int64_t CalendarFields::*field, int64_t n) {
  CalendarFields f;
  int64_t moment = -1;
  if (Calendar_Split(MomentOf(value), true, &f)) {
    f.*field += n;
    moment = Calendar_Compose(f, true);
  }
  Return(result, ValueOf(moment));
}

TW_BUILTIN(date_inc_year) { Step(result, Arg(argc, args, 0), &CalendarFields::year, RoundedArg(argc, args, 1)); }
TW_BUILTIN(date_inc_month) { Step(result, Arg(argc, args, 0), &CalendarFields::month, RoundedArg(argc, args, 1)); }
TW_BUILTIN(date_inc_week) {
  Step(result, Arg(argc, args, 0), &CalendarFields::day, 7 * int64_t(RoundedArg(argc, args, 1)));
}
TW_BUILTIN(date_inc_day) { Step(result, Arg(argc, args, 0), &CalendarFields::day, TruncatedArg(argc, args, 1)); }
TW_BUILTIN(date_inc_hour) { Step(result, Arg(argc, args, 0), &CalendarFields::hour, RoundedArg(argc, args, 1)); }
TW_BUILTIN(date_inc_minute) { Step(result, Arg(argc, args, 0), &CalendarFields::minute, RoundedArg(argc, args, 1)); }
TW_BUILTIN(date_inc_second) { Step(result, Arg(argc, args, 0), &CalendarFields::second, RoundedArg(argc, args, 1)); }

// A getter of the value's fields in the game's zone; 0 when the moment cannot be split.
template <int64_t (*Get)(const CalendarFields&)>
TW_BUILTIN(ZoneGetter) {
  CalendarFields f;
  Return(result, SplitInZone(Arg(argc, args, 0), &f) ? double(Get(f)) : 0.0);
}

int64_t Year(const CalendarFields& f) { return f.year; }
int64_t Month(const CalendarFields& f) { return f.month; }
int64_t Week(const CalendarFields& f) { return f.dayOfYear / 7; }
int64_t Day(const CalendarFields& f) { return f.day; }
int64_t Hour(const CalendarFields& f) { return f.hour; }
int64_t Minute(const CalendarFields& f) { return f.minute; }
int64_t Second(const CalendarFields& f) { return f.second; }
int64_t Weekday(const CalendarFields& f) { return f.weekday; }
int64_t DayOfYear(const CalendarFields& f) { return SecondsOfYear(f, 1) / 86400; }
int64_t HourOfYear(const CalendarFields& f) { return SecondsOfYear(f, 0) / 3600; }
int64_t MinuteOfYear(const CalendarFields& f) { return SecondsOfYear(f, 0) / 60; }
int64_t SecondOfYear(const CalendarFields& f) { return SecondsOfYear(f, 0); }
int64_t DaysInMonth(const CalendarFields& f) { return MonthLength(f.year, f.month); }
int64_t DaysInYear(const CalendarFields& f) { return IsLeap(f.year) ? 366 : 365; }
int64_t LeapYear(const CalendarFields& f) { return IsLeap(f.year) ? 1 : 0; }
int64_t IsToday(const CalendarFields& f) {
  const CalendarFields now = NowInZone();
  return f.year == now.year && f.month == now.month && f.dayOfYear == now.dayOfYear;
}

// The span times kTimes over kOverHundredths / 100 (whole numbers: not every
// compiler takes a real as a template argument).
template <int kTimes, int kOverHundredths>
TW_BUILTIN(Span) {
  Return(result, std::fabs(Arg(argc, args, 0) - Arg(argc, args, 1)) * kTimes / (kOverHundredths / 100.0));
}

double Compare(double a, double b) { return a == b ? 0 : a > b ? 1 : -1; }
TW_BUILTIN(date_compare_datetime) { Return(result, Compare(Arg(argc, args, 0), Arg(argc, args, 1))); }
TW_BUILTIN(date_compare_date) {
  Return(result, Compare(std::trunc(Arg(argc, args, 0)), std::trunc(Arg(argc, args, 1))));
}
TW_BUILTIN(date_compare_time) {
  const double a = Arg(argc, args, 0), b = Arg(argc, args, 1);
  Return(result, Compare(a - std::trunc(a), b - std::trunc(b)));
}
TW_BUILTIN(date_date_of) { Return(result, std::trunc(Arg(argc, args, 0))); }
TW_BUILTIN(date_time_of) {
  const double v = Arg(argc, args, 0);
  Return(result, v - std::trunc(v));
}

template <const char* kFormat>
TW_BUILTIN(Text) {
  std::string text;
  if (!Calendar_Format(MomentOf(Arg(argc, args, 0)), g_utc, kFormat, &text)) text = "invalid time";
  ScriptValue_SetText(result, text.c_str());
}
constexpr char kDateTimeFormat[] = "%c";
constexpr char kDateFormat[] = "%x";
constexpr char kTimeFormat[] = "%X";

constexpr int kTimezoneUtc = 1;

TW_BUILTIN(date_set_timezone) { g_utc = RoundedArg(argc, args, 0) == kTimezoneUtc; }
TW_BUILTIN(date_get_timezone) { Return(result, g_utc ? kTimezoneUtc : 0); }

const NamedBuiltin kDateBuiltins[] = {
    {"date_current_datetime", date_current_datetime},
    {"date_current_date", date_current_date},
    {"date_current_time", date_current_time},
    {"date_create_datetime", date_create_datetime},
    {"date_create_date", date_create_date},
    {"date_create_time", date_create_time},
    {"date_valid_datetime", date_valid_datetime},
    {"date_valid_date", date_valid_date},
    {"date_valid_time", date_valid_time},
    {"date_inc_year", date_inc_year},
    {"date_inc_month", date_inc_month},
    {"date_inc_week", date_inc_week},
    {"date_inc_day", date_inc_day},
    {"date_inc_hour", date_inc_hour},
    {"date_inc_minute", date_inc_minute},
    {"date_inc_second", date_inc_second},
    {"date_get_year", ZoneGetter<Year>},
    {"date_get_month", ZoneGetter<Month>},
    {"date_get_week", ZoneGetter<Week>},
    {"date_get_day", ZoneGetter<Day>},
    {"date_get_hour", ZoneGetter<Hour>},
    {"date_get_minute", ZoneGetter<Minute>},
    {"date_get_second", ZoneGetter<Second>},
    {"date_get_weekday", ZoneGetter<Weekday>},
    {"date_get_day_of_year", ZoneGetter<DayOfYear>},
    {"date_get_hour_of_year", ZoneGetter<HourOfYear>},
    {"date_get_minute_of_year", ZoneGetter<MinuteOfYear>},
    {"date_get_second_of_year", ZoneGetter<SecondOfYear>},
    {"date_days_in_month", ZoneGetter<DaysInMonth>},
    {"date_days_in_year", ZoneGetter<DaysInYear>},
    {"date_leap_year", ZoneGetter<LeapYear>},
    {"date_is_today", ZoneGetter<IsToday>},
    {"date_year_span", Span<1, 36525>},
    {"date_month_span", Span<12, 36525>},
    {"date_week_span", Span<1, 700>},
    {"date_day_span", Span<1, 100>},
    {"date_hour_span", Span<24, 100>},
    {"date_minute_span", Span<1440, 100>},
    {"date_second_span", Span<86400, 100>},
    {"date_compare_datetime", date_compare_datetime},
    {"date_compare_date", date_compare_date},
    {"date_compare_time", date_compare_time},
    {"date_date_of", date_date_of},
    {"date_time_of", date_time_of},
    {"date_datetime_string", Text<kDateTimeFormat>},
    {"date_date_string", Text<kDateFormat>},
    {"date_time_string", Text<kTimeFormat>},
    {"date_set_timezone", date_set_timezone},
    {"date_get_timezone", date_get_timezone},
};

}  // namespace

std::span<const NamedBuiltin> Files_DateBuiltins() { return kDateBuiltins; }

void Dates_ResetTimezone() { g_utc = false; }
