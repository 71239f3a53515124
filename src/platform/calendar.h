// Calendar fields of moments (seconds since 1970-01-01 00:00 UTC), split and
// composed in the process's local zone or in UTC, and formatted as text.
#pragma once
#include <cstdint>
#include <string>

struct CalendarFields {
  int64_t year = 1900;
  int64_t month = 1;  // 1 to 12 when split; any value when composed (it carries)
  int64_t day = 1;
  int64_t hour = 0;
  int64_t minute = 0;
  int64_t second = 0;
  int weekday = 0;    // 0 = Sunday
  int dayOfYear = 0;  // 0-based
};

// The current moment.
int64_t Calendar_Now();
// False when the system cannot split the moment.
bool Calendar_Split(int64_t moment, bool utc, CalendarFields* out);
// Fields out of range carry into the next larger unit; local compositions let
// the system decide daylight saving. -1 when the moment cannot be represented.
int64_t Calendar_Compose(const CalendarFields& fields, bool utc);
// The moment in local time or UTC through the system's formatting; false when
// it cannot be split.
bool Calendar_Format(int64_t moment, bool utc, const char* format, std::string* out);
