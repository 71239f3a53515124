#include "platform/calendar.h"

#include <time.h>

#include <climits>

namespace {

bool SplitTm(int64_t moment, bool utc, tm* out) {
  const time_t t = time_t(moment);
  if (int64_t(t) != moment) return false;
  if (utc ? gmtime_r(&t, out) == nullptr : localtime_r(&t, out) == nullptr) return false;
  // Four-digit years only: the texts and the year-based counts assume them.
  const int64_t year = int64_t(out->tm_year) + 1900;
  return year >= 0 && year <= 9999;
}

}  // namespace

int64_t Calendar_Now() { return int64_t(time(nullptr)); }

bool Calendar_Split(int64_t moment, bool utc, CalendarFields* out) {
  tm t{};
  if (!SplitTm(moment, utc, &t)) return false;
  out->year = int64_t(t.tm_year) + 1900;
  out->month = t.tm_mon + 1;
  out->day = t.tm_mday;
  out->hour = t.tm_hour;
  out->minute = t.tm_min;
  out->second = t.tm_sec;
  out->weekday = t.tm_wday;
  out->dayOfYear = t.tm_yday;
  return true;
}

int64_t Calendar_Compose(const CalendarFields& f, bool utc) {
  const int64_t fields[] = {f.year - 1900, f.month - 1, f.day, f.hour, f.minute, f.second};
  for (int64_t v : fields)
    if (v < INT_MIN || v > INT_MAX) return -1;
  tm t{};
  t.tm_year = int(fields[0]);
  t.tm_mon = int(fields[1]);
  t.tm_mday = int(fields[2]);
  t.tm_hour = int(fields[3]);
  t.tm_min = int(fields[4]);
  t.tm_sec = int(fields[5]);
  t.tm_isdst = -1;
  // A moment of -1 is also a failure; it reads the same either way.
  const time_t moment = utc ? timegm(&t) : mktime(&t);
  return int64_t(moment);
}

bool Calendar_Format(int64_t moment, bool utc, const char* format, std::string* out) {
  tm t{};
  if (!SplitTm(moment, utc, &t)) return false;
  char buffer[1024];
  const size_t n = strftime(buffer, sizeof buffer, format, &t);
  out->assign(buffer, n);
  return true;
}
