#include "ds/map.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ds/ds.h"
#include "ds/hash.h"
#include "ds/list.h"
#include "unit/ds/ds_call.h"
#include "unit/world_reset.h"

namespace {

using dstest::Call;
using dstest::CallArgs;
using dstest::Value;
using ::testing::HasSubstr;

using dstest::kMissing;

double Bits(uint64_t bits) { return std::bit_cast<double>(bits); }
uint64_t BitsOf(double d) { return std::bit_cast<uint64_t>(d); }

uint32_t HashOf(const Value& key) { return DS_KeyHash(&key.v); }

// Two texts and two reals whose engine CRC-32 is one and the same.
const char* const kTextA = "uejgtcuo";
const char* const kTextB = "iiwucoup";
const double kRealA = Bits(0x408431FD112FD1ABull);  // 646.2485679374562
const double kRealB = Bits(0x40843BAFD7EA6918ull);  // 647.4608610452005

class DSMap : public dstest::DSWorld {
 protected:
  static double NewMap() { return Call("ds_map_create").Real(); }
  // The keys in walking order, through the find built-ins.
  static std::vector<std::string> Walk(double map) {
    std::vector<std::string> keys;
    Value key(0.0);
    {
      auto first = Call("ds_map_find_first", {map});
      ScriptValue_Copy(&key.v, &first.result);
    }
    const int size = int(Call("ds_map_size", {map}).Real());
    for (int n = 0; n < size; ++n) {
      keys.push_back(key.v.IsString() ? key.v.Text() : std::to_string(key.v.Real()));
      auto next = Call("ds_map_find_next", {map, key});
      ScriptValue_Copy(&key.v, &next.result);
    }
    EXPECT_FALSE(key.v.IsString()) << "the walk goes on past the size";
    EXPECT_EQ(key.v.Real(), 0);
    return keys;
  }
};

// Each step is a call on map 0 (created first) with what it returns; none reports.
struct Step {
  const char* name;
  std::vector<Value> args;
  Value expect;
};

void RunSteps(const std::vector<Step>& steps) {
  for (size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    dstest::Called out = CallArgs(s.name, s.args);
    EXPECT_EQ(out.error, "") << "step " << i << " " << s.name;
    EXPECT_EQ(out.result.kind, s.expect.v.kind) << "step " << i << " " << s.name;
    if (s.expect.v.IsString()) {
      EXPECT_EQ(out.Text(), s.expect.v.Text()) << "step " << i << " " << s.name;
    } else {
      EXPECT_EQ(out.Real(), s.expect.v.Real()) << "step " << i << " " << s.name;
    }
  }
}

TEST_F(DSMap, BuiltinsOnOneMap) {
  ASSERT_EQ(NewMap(), 0);
  RunSteps({
      {"ds_map_empty", {0.0}, 1},
      {"ds_map_add", {0.0, "k", 1}, 1},
      {"ds_map_add", {0.0, "k", 2}, 0.0},
      {"ds_map_find_value", {0.0, "k"}, 1},
      {"ds_map_set", {0.0, "k", 2}, -12345},
      {"ds_map_find_value", {0.0, "k"}, 2},
      {"ds_map_replace", {0.0, "new", 5}, 0.0},
      {"ds_map_replace", {0.0, "new", 6}, 1},
      {"ds_map_find_value", {0.0, "new"}, 6},
      {"ds_map_set_post", {0.0, "k", 3}, 2},
      {"ds_map_set_post", {0.0, "fresh", 3}, 3},
      {"ds_map_set_pre", {0.0, "k", "text"}, "text"},
      {"ds_map_find_value", {0.0, "k"}, "text"},
      {"ds_map_size", {0.0}, 3},
      {"ds_map_empty", {0.0}, 0.0},
      {"ds_map_exists", {0.0, "fresh"}, 1},
      {"ds_map_exists", {0.0, "absent"}, 0.0},
      {"ds_map_find_value", {0.0, "absent"}, 0.0},
      {"ds_map_delete", {0.0, "fresh"}, -12345},
      {"ds_map_delete", {0.0, "fresh"}, -12345},
      {"ds_map_exists", {0.0, "fresh"}, 0.0},
      // The real 1 and the text 1 are two keys.
      {"ds_map_add", {0.0, 1, "real"}, 1},
      {"ds_map_add", {0.0, "1", "text"}, 1},
      {"ds_map_find_value", {0.0, 1}, "real"},
      {"ds_map_find_value", {0.0, "1"}, "text"},
      // So are 0 and -0, as their hashes are.
      {"ds_map_add", {0.0, 0.0, "zero"}, 1},
      {"ds_map_add", {0.0, -0.0, "minus zero"}, 1},
      {"ds_map_find_value", {0.0, -0.0}, "minus zero"},
      {"ds_map_clear", {0.0}, -12345},
      {"ds_map_size", {0.0}, 0.0},
      {"ds_map_find_first", {0.0}, 0.0},
      {"ds_map_find_last", {0.0}, 0.0},
      {"ds_map_write", {0.0}, ""},
      // An id is rounded, halves to even.
      {"ds_map_add", {0.5, "r", 1}, 1},
      {"ds_map_size", {0.4}, 1},
  });
}

TEST_F(DSMap, BadIdsReportAndChangeNothing) {
  NewMap();
  NewMap();
  Call("ds_map_destroy", {1});
  struct Case {
    const char* name;
    std::vector<Value> args;
    double result;  // -12345: left as the caller set it
  } cases[] = {
      {"ds_map_clear", {1}, -12345},
      {"ds_map_copy", {0.0, 1}, -12345},
      {"ds_map_copy", {1, 0.0}, -12345},
      {"ds_map_size", {-1}, 0.0},
      {"ds_map_empty", {7}, 0.0},
      {"ds_map_add", {1, "k", 1}, 0.0},
      {"ds_map_set", {1, "k", 1}, -12345},
      {"ds_map_set_post", {1, "k", 1}, -12345},
      {"ds_map_add_list", {1, "k", 0.0}, 0.0},
      {"ds_map_replace", {1, "k", 1}, -12345},
      {"ds_map_delete", {1, "k"}, -12345},
      {"ds_map_exists", {1, "k"}, 0.0},
      {"ds_map_find_value", {1, "k"}, 0.0},
      {"ds_map_find_next", {1, "k"}, 0.0},
      {"ds_map_find_previous", {1, "k"}, 0.0},
      {"ds_map_find_first", {1}, 0.0},
      {"ds_map_find_last", {1}, 0.0},
      {"ds_map_write", {1}, -12345},
      {"ds_map_read", {1, ""}, -12345},
      {"ds_map_destroy", {2}, -12345},
      {"ds_map_destroy", {-1}, -12345},
  };
  for (const Case& c : cases) {
    dstest::Called out = CallArgs(c.name, c.args);
    EXPECT_THAT(out.error, HasSubstr(kMissing)) << c.name;
    EXPECT_EQ(out.Real(), c.result) << c.name;
  }
  // set_pre writes its result whatever the id.
  auto pre = Call("ds_map_set_pre", {1, "k", 4});
  EXPECT_THAT(pre.error, HasSubstr(kMissing));
  EXPECT_EQ(pre.Real(), 4);
  // Destroying a free slot inside the table is silent.
  EXPECT_EQ(Call("ds_map_destroy", {1}).error, "");
  EXPECT_EQ(Call("ds_map_size", {0.0}).Real(), 0);
}

TEST_F(DSMap, KeysWithOneChecksumStayApart) {
  ASSERT_EQ(HashOf(kTextA), HashOf(kTextB));
  ASSERT_EQ(HashOf(kRealA), HashOf(kRealB));
  const double m = NewMap();
  for (const auto& [a, b] : {std::pair<Value, Value>{kTextA, kTextB}, std::pair<Value, Value>{kRealA, kRealB}}) {
    EXPECT_EQ(Call("ds_map_add", {m, a, "first"}).Real(), 1);
    EXPECT_EQ(Call("ds_map_add", {m, b, "second"}).Real(), 1);
    EXPECT_EQ(Call("ds_map_find_value", {m, a}).Text(), "first");
    EXPECT_EQ(Call("ds_map_find_value", {m, b}).Text(), "second");
    Call("ds_map_set", {m, b, "set"});
    EXPECT_EQ(Call("ds_map_find_value", {m, a}).Text(), "first");
    EXPECT_EQ(Call("ds_map_replace", {m, a, "replaced"}).Real(), 1);
    EXPECT_EQ(Call("ds_map_find_value", {m, b}).Text(), "set");
    // Walking from either key reaches the other: they share a bucket.
    auto next = Call("ds_map_find_next", {m, a});
    EXPECT_EQ(DS_CompareValues(&next.result, &b.v), 0);
    auto previous = Call("ds_map_find_previous", {m, b});
    EXPECT_EQ(DS_CompareValues(&previous.result, &a.v), 0);
    Call("ds_map_delete", {m, a});
    EXPECT_EQ(Call("ds_map_exists", {m, a}).Real(), 0);
    EXPECT_EQ(Call("ds_map_find_value", {m, b}).Text(), "set");
    Call("ds_map_delete", {m, b});
    EXPECT_EQ(Call("ds_map_size", {m}).Real(), 0);
  }
}

TEST_F(DSMap, WalksBucketsInOrderAndEachBucketInInsertionOrder) {
  const double m = NewMap();
  std::vector<std::string> keys = {"a", "b", "c"};
  // Two more keys that land in the bucket of "a", found here.
  const uint32_t bucketA = HashOf("a") & 4095;
  for (int i = 0; keys.size() < 5; ++i) {
    std::string k = "k" + std::to_string(i);
    if ((HashOf(k.c_str()) & 4095) == bucketA) keys.push_back(k);
  }
  std::vector<Value> keyValues;
  for (const std::string& k : keys) Call("ds_map_add", {m, k.c_str(), 1});
  std::vector<std::string> expect = keys;
  std::stable_sort(expect.begin(), expect.end(), [](const std::string& x, const std::string& y) {
    return (HashOf(x.c_str()) & 4095) < (HashOf(y.c_str()) & 4095);
  });
  EXPECT_EQ(Walk(m), expect);
  EXPECT_EQ(Call("ds_map_find_last", {m}).Text(), expect.back());
  EXPECT_EQ(Call("ds_map_find_previous", {m, expect.back().c_str()}).Text(), expect[expect.size() - 2]);
  EXPECT_EQ(Call("ds_map_find_previous", {m, expect.front().c_str()}).Real(), 0);
  EXPECT_EQ(Call("ds_map_find_next", {m, "absent"}).Real(), 0);
  // Replacing a value keeps the pair's place.
  Call("ds_map_replace", {m, keys[2].c_str(), 9});
  Call("ds_map_set", {m, keys[3].c_str(), 9});
  EXPECT_EQ(Walk(m), expect);

  // With one bucket the walk is the order of insertion.
  const double m1 = Call("ds_map_create", {1}).Real();
  for (const char* k : {"z", "y", "x", "w"}) Call("ds_map_add", {m1, k, 0.0});
  Call("ds_map_delete", {m1, "y"});
  Call("ds_map_add", {m1, "y", 0.0});
  EXPECT_EQ(Walk(m1), (std::vector<std::string>{"z", "x", "w", "y"}));
  EXPECT_EQ(DS_GetAs<CDS_HashMap>(eDS_Map, int(m1))->BucketCount(), 1);
}

TEST_F(DSMap, FindNextComparesKindAndValue) {
  const double m = Call("ds_map_create", {1}).Real();
  Call("ds_map_add", {m, "1", "text"});
  Call("ds_map_add", {m, 1, "real"});
  Call("ds_map_add", {m, "end", 0.0});
  auto afterReal = Call("ds_map_find_next", {m, 1});
  EXPECT_EQ(afterReal.Text(), "end");
  auto afterText = Call("ds_map_find_next", {m, "1"});
  EXPECT_FALSE(afterText.IsString());
  EXPECT_EQ(afterText.Real(), 1);
}

TEST_F(DSMap, BucketCountsOutsideTheModelAreTakenIntoRange) {
  struct Case {
    double asked;
    int32_t buckets;
  } cases[] = {{1, 1}, {64, 64}, {3.9, 3}, {0, 1}, {-5, 1}, {NAN, 1}, {1e12, CDS_HashMap::kMaxBuckets}};
  for (const Case& c : cases) {
    const double m = Call("ds_map_create", {c.asked}).Real();
    auto* map = DS_GetAs<CDS_HashMap>(eDS_Map, int(m));
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->BucketCount(), c.buckets) << c.asked;
    for (double i = 0; i < 50; ++i) Call("ds_map_add", {m, i, i});
    EXPECT_EQ(Walk(m).size(), 50u) << c.asked;
    EXPECT_EQ(Call("ds_map_find_value", {m, 49}).Real(), 49);
    Call("ds_map_destroy", {m});
  }
  // Any other count of arguments makes the usual map.
  EXPECT_EQ(DS_GetAs<CDS_HashMap>(eDS_Map, int(NewMap()))->BucketCount(), 4096);
}

// A model of the map: pairs in walking order, found by key equality.
TEST_F(DSMap, AgreesWithAModelUnderRandomOperations) {
  std::mt19937 rng(7);
  for (int buckets : {8, 4096}) {
    CDS_HashMap map(buckets);
    struct Entry {
      std::string key;
      int value;
      uint64_t seq;
    };
    std::vector<Entry> model;
    uint64_t seq = 0;
    auto bucketOf = [&](const std::string& k) { return HashOf(k.c_str()) & uint32_t(buckets - 1); };
    auto findModel = [&](const std::string& k) {
      return std::find_if(model.begin(), model.end(), [&](const Entry& e) { return e.key == k; });
    };
    // Colliding texts join the key set so the index meets them too.
    std::vector<std::string> universe = {kTextA, kTextB};
    for (int i = 0; i < 300; ++i) universe.push_back("key" + std::to_string(i));
    for (int step = 0; step < 20000; ++step) {
      const std::string& k = universe[rng() % universe.size()];
      Value key(k.c_str());
      const int v = int(rng() % 1000);
      Value value(double{1.0 * v});
      auto it = findModel(k);
      switch (rng() % 4) {
        case 0:
          EXPECT_EQ(map.Add(&key.v, &value.v), it == model.end());
          if (it == model.end()) model.push_back({k, v, seq++});
          break;
        case 1:
          map.Set(&key.v, &value.v);
          if (it == model.end()) model.push_back({k, v, seq++});
          else it->value = v;
          break;
        case 2:
          EXPECT_EQ(map.Delete(&key.v), it != model.end());
          if (it != model.end()) model.erase(it);
          break;
        default: {
          const HashPair* p = map.Find(&key.v);
          ASSERT_EQ(p != nullptr, it != model.end()) << k;
          if (p) {
            EXPECT_EQ(p->value.real, it->value);
          }
        }
      }
    }
    std::vector<Entry> order = model;
    std::stable_sort(order.begin(), order.end(), [&](const Entry& a, const Entry& b) {
      return bucketOf(a.key) != bucketOf(b.key) ? bucketOf(a.key) < bucketOf(b.key) : a.seq < b.seq;
    });
    ASSERT_EQ(map.Size(), int32_t(order.size()));
    const HashPair* p = map.FindFirst();
    for (const Entry& e : order) {
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(p->key.Text(), e.key);
      EXPECT_EQ(p->value.real, e.value);
      p = map.FindNext(&p->key);
    }
    EXPECT_EQ(p, nullptr);
    p = map.FindLast();
    for (auto e = order.rbegin(); e != order.rend(); ++e) {
      ASSERT_NE(p, nullptr);
      EXPECT_EQ(p->key.Text(), e->key);
      p = map.FindPrevious(&p->key);
    }
    EXPECT_EQ(p, nullptr);
  }
}

TEST_F(DSMap, TextFormOfThePairs) {
  struct Case {
    std::vector<std::pair<Value, Value>> pairs;
    const char* text;
  } cases[] = {
      {{{"a", 1}}, "1:61:3FF0"}, {{{2, "hi"}}, "2:40:6869"}, {{{0.0, -1}}, "0::BFF0"},
      {{{100, 0.0}}, "0:4059:"}, {{{-0.0, ""}}, "2:80:"},    {{{"", "x"}}, "3::78"},
  };
  for (const Case& c : cases) {
    const double m = NewMap();
    for (const auto& [k, v] : c.pairs) Call("ds_map_add", {m, k, v});
    EXPECT_EQ(Call("ds_map_write", {m}).Text(), c.text);
    const double back = NewMap();
    Call("ds_map_read", {back, c.text});
    EXPECT_EQ(Call("ds_map_write", {back}).Text(), c.text);
  }
}

// Written here from the format alone: flags, then each field as hex.
std::string Field(const Value& v) {
  char buffer[40];
  std::string out;
  if (v.v.IsString()) {
    for (const char* c = v.v.Text(); *c; ++c) {
      std::snprintf(buffer, sizeof buffer, "%02X", unsigned(uint8_t(*c)));
      out += buffer;
    }
    return out;
  }
  std::snprintf(buffer, sizeof buffer, "%016llX", static_cast<unsigned long long>(BitsOf(v.v.real)));
  out = buffer;
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "00") == 0) out.resize(out.size() - 2);
  return out;
}

TEST_F(DSMap, ReadsATextWrittenFromTheFormatAndWritesItBack) {
  const std::vector<std::pair<Value, Value>> pairs = {
      {"name", "Ada"},  {"score", 1234.5}, {7, "seven"},
      {-3.25, 1e300},   {"tiny", 5e-324},  {"neg", -0.0},
      {"é", "ünïcode"}, {1e-310, 0.1},     {"nan", Bits(0x7FF8000000000001ull)},
      {"x", ""},        {kTextA, 1},       {kTextB, 2},
      {kRealA, 3},      {kRealB, 4},
  };
  std::string text;
  for (const auto& [k, v] : pairs) {
    if (!text.empty()) text += ",";
    text += std::to_string((k.v.IsString() ? 1 : 0) + (v.v.IsString() ? 2 : 0)) + ":" + Field(k) + ":" + Field(v);
  }
  const double m = NewMap();
  Call("ds_map_add", {m, "old", 1});
  Call("ds_map_read", {m, text.c_str()});
  EXPECT_EQ(Call("ds_map_size", {m}).Real(), double(pairs.size()));
  EXPECT_EQ(Call("ds_map_exists", {m, "old"}).Real(), 0);
  for (const auto& [k, v] : pairs) {
    auto found = Call("ds_map_find_value", {m, k});
    ASSERT_EQ(found.result.kind, v.v.kind) << Field(k);
    if (v.v.IsString()) {
      EXPECT_EQ(found.Text(), v.v.Text());
    } else {
      EXPECT_EQ(BitsOf(found.result.real), BitsOf(v.v.real)) << Field(k);
    }
  }
  // Written back and read into another map: the same text again.
  const std::string written = Call("ds_map_write", {m}).Text();
  const double copy = NewMap();
  Call("ds_map_read", {copy, written.c_str()});
  EXPECT_EQ(Call("ds_map_write", {copy}).Text(), written);
  // Lower-case digits read as well.
  std::string lower = written;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return char(std::tolower(c)); });
  const double fromLower = NewMap();
  Call("ds_map_read", {fromLower, lower.c_str()});
  EXPECT_EQ(Call("ds_map_write", {fromLower}).Text(), written);
}

TEST_F(DSMap, ReadingTheEmptyTextEmptiesAndARepeatedKeyKeepsTheFirst) {
  const double m = NewMap();
  Call("ds_map_add", {m, "k", 1});
  Call("ds_map_read", {m, ""});
  EXPECT_EQ(Call("ds_map_size", {m}).Real(), 0);
  Call("ds_map_read", {m, "1:61:3FF0,1:61:40,"});
  EXPECT_EQ(Call("ds_map_size", {m}).Real(), 2);
  EXPECT_EQ(Call("ds_map_find_value", {m, "a"}).Real(), 1);
  Call("ds_map_delete", {m, "a"});
  EXPECT_EQ(Call("ds_map_find_value", {m, "a"}).Real(), 2);
}

TEST_F(DSMap, DamagedTextChangesNothing) {
  const double m = NewMap();
  Call("ds_map_add", {m, "keep", "me"});
  dstest::ExpectTextsRefused("ds_map_read", "ds_map_write", m,
                             {
                                 "1:61",                       // no value
                                 "1:61:3FF",                   // odd digits
                                 "1:6:3FF0",                   // odd digits in a text
                                 "4:61:3FF0",                  // no such flags
                                 "1;61:3FF0",                  // no ":" after the flags
                                 "1:61:3FF0,,",                // an empty entry
                                 "0:0102030405060708090A:00",  // more than 8 bytes in a real
                                 "1:6G:00",                    // not a digit
                                 "1:61:3F:F0",                 // a third field
                                 "1:61:3FF0;0:40:40",          // the wrong separator
                                 ":",                          // no flags
                                 "1",                          // flags alone
                             });
}

TEST_F(DSMap, NestedListsAndMaps) {
  const double m = NewMap();
  const double list = Call("ds_list_create").Real();
  const double inner = NewMap();
  EXPECT_EQ(Call("ds_map_add_list", {m, "l", list}).Real(), 1);
  EXPECT_EQ(Call("ds_map_add_list", {m, "l", list}).Real(), 0);
  EXPECT_EQ(Call("ds_map_add_map", {m, "m", inner}).Real(), 1);
  auto found = Call("ds_map_find_value", {m, "l"});
  EXPECT_EQ(found.result.kind, kKindReal);  // no mark reaches the script
  EXPECT_EQ(found.Real(), list);
  // The value is written as the id it holds.
  EXPECT_NE(Call("ds_map_write", {m}).Text().find("1:6C:" + Field(double(list))), std::string::npos);

  struct Bad {
    const char* name;
    Value value;
    const char* error;
  } bad[] = {
      {"ds_map_add_list", 99, "Invalid list index for value"},
      {"ds_map_add_list", "0", "Invalid list index for value"},
      {"ds_map_add_list", -1, "Invalid list index for value"},
      {"ds_map_replace_list", 99, "Invalid list index for value"},
      {"ds_map_add_map", 99, "Invalid map index for value"},
      {"ds_map_replace_map", "1", "Invalid map index for value"},
  };
  for (const Bad& b : bad) {
    auto r = Call(b.name, {m, "bad", b.value});
    EXPECT_THAT(r.error, HasSubstr(b.error)) << b.name;
    EXPECT_EQ(r.Real(), 0) << b.name;
    EXPECT_EQ(Call("ds_map_exists", {m, "bad"}).Real(), 0) << b.name;
  }

  // Deleting the key leaves the list alive; destroying the map takes what it owns.
  Call("ds_map_delete", {m, "l"});
  EXPECT_EQ(Call("ds_exists", {list, 2}).Real(), 1);
  EXPECT_EQ(Call("ds_map_replace_list", {m, "l", list}).Real(), 0);
  Call("ds_map_destroy", {m});
  EXPECT_EQ(Call("ds_exists", {list, 2}).Real(), 0);
  EXPECT_EQ(Call("ds_exists", {inner, 1}).Real(), 0);
}

TEST_F(DSMap, OverwritingANestedValueLeavesItsContainerAlive) {
  const double m = NewMap();
  const double a = Call("ds_list_create").Real();
  const double b = Call("ds_list_create").Real();
  const double c = Call("ds_list_create").Real();
  Call("ds_map_add_list", {m, "a", a});
  Call("ds_map_add_list", {m, "b", b});
  Call("ds_map_add_list", {m, "c", c});
  EXPECT_EQ(Call("ds_map_replace", {m, "a", 0.0}).Real(), 1);
  Call("ds_map_set", {m, "b", 0.0});
  EXPECT_EQ(Call("ds_map_replace_list", {m, "c", a}).Real(), 1);  // c now owns a
  Call("ds_map_clear", {m});
  EXPECT_EQ(Call("ds_exists", {a, 2}).Real(), 0);
  EXPECT_EQ(Call("ds_exists", {b, 2}).Real(), 1);
  EXPECT_EQ(Call("ds_exists", {c, 2}).Real(), 1);
  EXPECT_EQ(Call("ds_map_size", {m}).Real(), 0);
}

TEST_F(DSMap, ACopyOwnsTheMarksToo) {
  const double a = NewMap();
  const double b = NewMap();
  const double nested = Call("ds_list_create").Real();
  Call("ds_map_add_list", {a, "l", nested});
  Call("ds_map_add", {a, "n", 1});
  Call("ds_map_copy", {b, a});
  EXPECT_EQ(Call("ds_map_write", {b}).Text(), Call("ds_map_write", {a}).Text());
  // Whichever holder goes first takes the nested list with it ...
  Call("ds_map_destroy", {b});
  EXPECT_EQ(Call("ds_exists", {nested, 2}).Real(), 0);
  // ... and the other never destroys a newcomer that took over its id.
  const double newcomer = Call("ds_list_create").Real();
  EXPECT_EQ(newcomer, nested);
  Call("ds_map_destroy", {a});
  EXPECT_EQ(Call("ds_exists", {newcomer, 2}).Real(), 1);
  // The map ids come back too, and a new map holds nothing of the old.
  EXPECT_EQ(NewMap(), std::min(a, b));
  EXPECT_EQ(Call("ds_map_size", {std::min(a, b)}).Real(), 0);
}

TEST_F(DSMap, CopyingOntoItselfKeepsThePairs) {
  const double m = NewMap();
  Call("ds_map_add", {m, "k", "v"});
  Call("ds_map_copy", {m, m});
  EXPECT_EQ(Call("ds_map_find_value", {m, "k"}).Text(), "v");
  // Copying over a map drops its pairs, not the containers they named.
  const double other = NewMap();
  const double list = Call("ds_list_create").Real();
  Call("ds_map_add_list", {other, "l", list});
  Call("ds_map_copy", {other, m});
  EXPECT_EQ(Call("ds_map_write", {other}).Text(), Call("ds_map_write", {m}).Text());
  EXPECT_EQ(Call("ds_exists", {list, 2}).Real(), 1);
}

TEST_F(DSMap, ReadTextNeverOwnsWhatItNames) {
  const double m = NewMap();
  const double list = Call("ds_list_create").Real();
  Call("ds_map_add_list", {m, "l", list});
  const std::string text = Call("ds_map_write", {m}).Text();
  const double back = NewMap();
  Call("ds_map_read", {back, text.c_str()});
  EXPECT_EQ(Call("ds_map_find_value", {back, "l"}).Real(), list);
  Call("ds_map_destroy", {back});
  EXPECT_EQ(Call("ds_exists", {list, 2}).Real(), 1);
  // Reading over the first map drops its mark without destroying the list.
  Call("ds_map_read", {m, text.c_str()});
  Call("ds_map_destroy", {m});
  EXPECT_EQ(Call("ds_exists", {list, 2}).Real(), 1);
}

TEST_F(DSMap, ContainersOwningEachOtherEnd) {
  // A map owning a list that owns the map back, each owning one more list
  // after that: clearing or destroying either takes all four, and neither is
  // used after it is gone while the rest of its values are let go.
  for (const char* how : {"ds_map_clear", "ds_map_destroy", "ds_list_clear", "ds_list_destroy"}) {
    const double m = Call("ds_map_create", {1.0}).Real();  // one bucket: the order of insertion
    const double l = Call("ds_list_create").Real();
    const double afterL = Call("ds_list_create").Real();
    const double afterM = Call("ds_list_create").Real();
    Call("ds_map_add_map", {m, "self", m});
    Call("ds_map_add_list", {m, "l", l});
    Call("ds_map_add_list", {m, "after", afterL});
    Call("ds_list_add", {l, m});
    Call("ds_list_mark_as_map", {l, 0.0});
    Call("ds_list_add", {l, afterM});
    Call("ds_list_mark_as_list", {l, 1.0});
    const bool onMap = std::strncmp(how, "ds_map", 6) == 0;
    Call(how, {onMap ? m : l});
    EXPECT_EQ(Call("ds_exists", {m, 1.0}).Real(), 0) << how;
    for (double list : {l, afterL, afterM}) EXPECT_EQ(Call("ds_exists", {list, 2.0}).Real(), 0) << how;
  }
}

TEST_F(DSMap, EngineEntryPoints) {
  const DSMapPair pairs[] = {{"id", 7}, {"result", 0, "the text"}, {"id", 8}, {"status", -1}};
  const int id = DS_MapCreateFromPairs(pairs);
  const double mapId = id;
  EXPECT_EQ(Call("ds_map_size", {mapId}).Real(), 3);
  EXPECT_EQ(Call("ds_map_find_value", {mapId, "id"}).Real(), 7);
  EXPECT_EQ(Call("ds_map_find_value", {mapId, "result"}).Text(), "the text");
  EXPECT_EQ(Call("ds_map_find_value", {mapId, "status"}).Real(), -1);
  EXPECT_EQ(DS_GetAs<CDS_HashMap>(eDS_Map, id)->BucketCount(), 4096);
  EXPECT_EQ(DS_MapAddReal(id, "value", 2.5), 1);
  EXPECT_EQ(DS_MapAddReal(id, "value", 3.5), 0);
  EXPECT_EQ(DS_MapAddString(id, "url", "http://x"), 1);
  EXPECT_EQ(Call("ds_map_find_value", {mapId, "value"}).Real(), 2.5);
  EXPECT_EQ(Call("ds_map_find_value", {mapId, "url"}).Text(), "http://x");
  // The next map takes the first free slot.
  EXPECT_EQ(DS_MapCreateFromPairs({}), id + 1);
  DS_MapDestroy(id);
  EXPECT_EQ(DS_Get(eDS_Map, id), nullptr);
  EXPECT_EQ(DS_MapAddReal(id, "k", 1), 0);
  EXPECT_EQ(DS_MapAddString(-1, "k", "v"), 0);
  EXPECT_EQ(DS_MapCreateFromPairs(pairs), id);
  // Written in place, as a completion routine does.
  const double listed = DS_MapCreateFromPairs({{"status", 200}, {"result", 0, "body"}});
  EXPECT_EQ(Call("ds_map_find_value", {listed, "status"}).Real(), 200);
  EXPECT_EQ(Call("ds_map_find_value", {listed, "result"}).Text(), "body");
}

}  // namespace
