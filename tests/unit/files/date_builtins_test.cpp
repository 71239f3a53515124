// The date built-ins in fixed zones, so every run sees the same calendar.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "files/files.h"
#include "files/misc_group.h"
#include "script/constants.h"
#include "unit/ds/ds_call.h"
#include "unit/script/builtin_group_check.h"

using dstest::Call;

namespace {

class Dates : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    InitMiscFunctions();
  }
  void Zone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  void TearDown() override {
    unsetenv("TZ");
    tzset();
    WorldTest::TearDown();
  }
};

// The value of a UTC moment, as every built-in makes it.
double At(int64_t t) { return (double(t) + 0.5) / 86400 + 25569; }

TEST_F(Dates, GroupRegistersInItsOrder) { ExpectGroupRegistered(Files_MiscGroup()); }

TEST_F(Dates, CreateAndTakeApartInLocalTime) {
  Zone("Europe/Berlin");
  // 2024-07-15 13:45:30 CEST = 11:45:30 UTC = 1721043930.
  const double v = Call("date_create_datetime", {2024, 7, 15, 13.9, 45, 30}).Real();
  EXPECT_EQ(v, At(1721043930));
  EXPECT_EQ(Call("date_get_hour", {v}).Real(), 13);
  EXPECT_EQ(Call("date_get_weekday", {v}).Real(), 1);
  EXPECT_EQ(Call("date_get_day_of_year", {v}).Real(), 197);
  EXPECT_EQ(Call("date_time_string", {v}).Text(), "13:45:30");
  EXPECT_EQ(Call("date_date_string", {v}).Text(), "07/15/24");
  EXPECT_EQ(Call("date_datetime_string", {v}).Text(), "Mon Jul 15 13:45:30 2024");
  // Day overflow carries; a year before 1900 is taken as 1900.
  EXPECT_EQ(Call("date_create_date", {2023, 2, 29}).Real(), Call("date_create_date", {2023, 3, 1}).Real());
  EXPECT_EQ(Call("date_create_datetime", {1850, 6, 1, 12, 0.0, 0.0}).Real(),
            Call("date_create_datetime", {1900, 6, 1, 12, 0.0, 0.0}).Real());
  Zone("UTC");
  EXPECT_EQ(Call("date_create_datetime", {2024, 7, 15, 13, 45, 30}).Real(), At(1721051130));
  EXPECT_EQ(Call("date_get_hour", {At(1721043930)}).Real(), 11);
}

TEST_F(Dates, SteppingIsInUtcAndCarries) {
  Zone("Europe/Berlin");
  const int64_t jan31_2023 = 1675123200, jan31_2024 = 1706659200;
  EXPECT_EQ(Call("date_inc_month", {At(jan31_2023), 1}).Real(), At(jan31_2023 + 31 * 86400));  // March 3
  EXPECT_EQ(Call("date_inc_month", {At(jan31_2024), 1}).Real(), At(jan31_2024 + 31 * 86400));  // March 2
  EXPECT_EQ(Call("date_inc_day", {At(jan31_2023), 1.9}).Real(), At(jan31_2023 + 86400));
  EXPECT_EQ(Call("date_inc_week", {At(jan31_2023), -1}).Real(), At(jan31_2023 - 7 * 86400));
  EXPECT_EQ(Call("date_inc_second", {At(0), -1.0}).Real(), At(-1));
  // Feb 29 plus a year is March 1.
  EXPECT_EQ(Call("date_inc_year", {At(1709164800), 1}).Real(), At(1709164800 + 366 * 86400));
}

TEST_F(Dates, CurrentDateAndTimeAreTheirPartsOfNow) {
  Zone("Europe/Berlin");
  const double now = Call("date_current_datetime").Real();
  const double date = Call("date_current_date").Real();
  const double time = Call("date_current_time").Real();
  EXPECT_EQ(Call("date_get_hour", {date}).Real(), 0);
  EXPECT_EQ(Call("date_get_minute", {date}).Real(), 0);
  EXPECT_EQ(Call("date_is_today", {date}).Real(), 1);
  EXPECT_EQ(Call("date_get_hour", {time}).Real(), Call("date_get_hour", {now}).Real());
  EXPECT_LT(time, 2.0);
  EXPECT_EQ(time, Call("date_create_time", {Call("date_get_hour", {time}).Real(), Call("date_get_minute", {time}).Real(),
                                            Call("date_get_second", {time}).Real()}).Real());
}

TEST_F(Dates, TableOfPureCases) {
  struct Case {
    const char* name;
    std::vector<dstest::Value> args;
    double expected;
  } cases[] = {
      {"date_date_of", {25569.75}, 25569}, {"date_time_of", {25569.75}, 0.75},
      {"date_date_of", {-1.5}, -1},        {"date_time_of", {-1.5}, -0.5},
      {"date_valid_date", {2000, 2, 29}, 1}, {"date_valid_date", {1900, 2, 29}, 0},
      {"date_valid_date", {2001, 2, 28.5}, 0}, {"date_valid_date", {2001, 2, "28"}, 0},
      {"date_valid_time", {24, 0.0, 0.0}, 0},  {"date_valid_datetime", {2001, 12, 31, 23, 59, 59}, 1},
      {"date_compare_date", {3.9, 3.1}, 0}, {"date_compare_time", {3.9, 4.1}, 1},
      {"date_compare_datetime", {1, 2}, -1}, {"date_year_span", {25569, 25934.25}, 1},
      {"date_year_span", {25934.25, 25569}, 1}, {"date_hour_span", {2, 1.5}, 12},
  };
  for (const Case& c : cases) EXPECT_EQ(dstest::CallArgs(c.name, c.args).Real(), c.expected) << c.name;
}

TEST_F(Dates, TimezoneChoiceAppliesUntilTheGameStartsAgain) {
  Zone("Asia/Kolkata");  // +05:30 all year
  ScriptValue localConstant, utcConstant;
  ASSERT_TRUE(Constant_Resolve("timezone_local", &localConstant));
  ASSERT_TRUE(Constant_Resolve("timezone_utc", &utcConstant));
  const double local = localConstant.Real(), utc = utcConstant.Real();
  EXPECT_EQ(local, 0);
  EXPECT_EQ(utc, 1);
  EXPECT_EQ(Call("date_get_timezone").Real(), 0);
  const int64_t t = 1721043930;  // 2024-07-15 11:45:30 UTC
  EXPECT_EQ(Call("date_get_hour", {At(t)}).Real(), 17);
  Call("date_set_timezone", {utc});
  EXPECT_EQ(Call("date_get_timezone").Real(), 1);
  EXPECT_EQ(Call("date_get_hour", {At(t)}).Real(), 11);
  EXPECT_EQ(Call("date_time_string", {At(t)}).Text(), "11:45:30");
  EXPECT_EQ(Call("date_create_datetime", {2024, 7, 15, 11, 45, 30}).Real(), At(t));
  EXPECT_EQ(Call("date_is_today", {Call("date_current_datetime").Real()}).Real(), 1);
  // Today at 00:00 UTC, and the time of day alone on the day before day 1.
  const double date = Call("date_current_date").Real();
  EXPECT_EQ(date, std::floor(date) + 0.5 / 86400);
  EXPECT_EQ(std::floor(Call("date_current_time").Real()), 1);
  // Stepping is in UTC whichever zone is chosen.
  EXPECT_EQ(Call("date_inc_hour", {At(t), 1}).Real(), At(t + 3600));
  Call("date_set_timezone", {local});
  EXPECT_EQ(Call("date_get_hour", {At(t)}).Real(), 17);
  Call("date_set_timezone", {utc});
  Dates_ResetTimezone();
  EXPECT_EQ(Call("date_get_timezone").Real(), 0);
}

TEST_F(Dates, MomentsBefore1970ReadBackInTheirOwnSecond) {
  Zone("UTC");
  // 1969-12-31 23:59:59 and 1900-01-01 00:00:00: truncation would give the next second.
  EXPECT_EQ(Call("date_get_second", {At(-1)}).Real(), 59);
  EXPECT_EQ(Call("date_get_year", {At(-1)}).Real(), 1969);
  EXPECT_EQ(Call("date_datetime_string", {At(-2208988800)}).Text(), "Mon Jan  1 00:00:00 1900");
  EXPECT_EQ(Call("date_inc_second", {At(-2), 1}).Real(), At(-1));
}

TEST_F(Dates, HugeStepsAndUnsplittableValuesFailCleanly) {
  Zone("UTC");
  const double failed = At(-1);
  // Steps too large for the system's fields, and values outside four-digit years.
  EXPECT_EQ(Call("date_inc_year", {At(0), 1e12}).Real(), failed);
  // A count beyond 32 bits saturates, and that many seconds still compose.
  EXPECT_EQ(Call("date_inc_second", {At(0), -1e300}).Real(), At(INT32_MIN));
  EXPECT_EQ(Call("date_inc_week", {At(0), 2147483647.0}).Real(), failed);
  EXPECT_EQ(Call("date_inc_day", {1e300, 1}).Real(), failed);
  EXPECT_EQ(Call("date_get_year", {1e300}).Real(), 0);
  EXPECT_EQ(Call("date_get_year", {std::nan("")}).Real(), 0);
  EXPECT_EQ(Call("date_time_string", {std::nan("")}).Text(), "invalid time");
  EXPECT_EQ(Call("date_date_string", {-1e9}).Text(), "invalid time");
}

TEST_F(Dates, YearCountsAndWeeks) {
  Zone("UTC");
  EXPECT_EQ(Call("date_get_week", {At(1704585600)}).Real(), 0);  // 2024-01-07
  EXPECT_EQ(Call("date_get_week", {At(1704672000)}).Real(), 1);  // 2024-01-08
  EXPECT_EQ(Call("date_get_day_of_year", {At(1704067200)}).Real(), 1);
  EXPECT_EQ(Call("date_get_hour_of_year", {At(1704067200 + 5 * 3600 + 1800)}).Real(), 5);
  EXPECT_EQ(Call("date_days_in_month", {At(1706745600)}).Real(), 29);  // February 2024
  EXPECT_EQ(Call("date_leap_year", {At(1706745600)}).Real(), 1);
}

}  // namespace
