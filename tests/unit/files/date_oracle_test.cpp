// The date built-ins against the table date_oracle.py writes at build time
// from Python's datetime and zoneinfo: creating in several zones and in UTC,
// stepping across month ends and leap years, spans, the year-based counts,
// the C locale's text forms and the daylight-saving changes.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/files.h"
#include "files/misc_group.h"
#include "unit/ds/ds_call.h"
#include "unit/oracle_hex.h"

#ifndef TW_DATE_CASES
#error "TW_DATE_CASES names the generated table"
#endif

namespace {

using oracle::FromHex;

// r<hex float> or s<hex bytes>.
dstest::Value Decode(const std::string& token) {
  if (token[0] == 'r') return dstest::Value(std::strtod(token.c_str() + 1, nullptr));
  return dstest::Value(FromHex(token.substr(1)).c_str());
}

bool Same(const dstest::Called& got, const dstest::Value& want) {
  if (want.v.IsString()) return got.IsString() && got.Text() == want.v.Text();
  return !got.IsString() && got.Real() == want.v.Real();
}

std::string Show(const ScriptValue& v) {
  std::ostringstream s;
  s.precision(17);
  if (v.IsString()) {
    s << '"' << v.Text() << '"';
  } else {
    s << v.Real();
  }
  return s.str();
}

class DateOracle : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    InitMiscFunctions();
    std::setlocale(LC_TIME, "C");
  }
  void TearDown() override {
    unsetenv("TZ");
    tzset();
    WorldTest::TearDown();
  }
};

TEST_F(DateOracle, EveryGeneratedCaseMatches) {
  std::ifstream in(TW_DATE_CASES);
  std::string line, zone;
  std::vector<std::string> failures;
  int count = 0;
  for (int number = 1; std::getline(in, line); ++number) {
    std::istringstream words(line);
    std::string caseZone, name, w;
    int mode = 0;
    words >> caseZone >> mode >> name;
    if (caseZone != zone) {
      zone = caseZone;
      setenv("TZ", zone.c_str(), 1);
      tzset();
    }
    std::vector<dstest::Value> args;
    while (words >> w && w != "=") args.push_back(Decode(w));
    std::vector<dstest::Value> expected;
    while (words >> w) expected.push_back(Decode(w));
    dstest::Call("date_set_timezone", {double(mode)});
    const dstest::Called got = dstest::CallArgs(name.c_str(), args);
    ++count;
    bool matched = false;
    for (const dstest::Value& e : expected) matched = matched || Same(got, e);
    if (!matched && failures.size() < 30) {
      std::string want;
      for (const dstest::Value& e : expected) want += " " + Show(e.v);
      failures.push_back("line " + std::to_string(number) + ": " + zone + " " + std::to_string(mode) + " " + name +
                         " gave " + Show(got.result) + ", want" + want);
    }
  }
  ASSERT_GT(count, 10000) << "no table at " << TW_DATE_CASES;
  for (const std::string& f : failures) ADD_FAILURE() << f;
}

}  // namespace
