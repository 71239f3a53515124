#include "ds/list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ds/ds.h"
#include "ds/memory_stream.h"
#include "script/random.h"
#include "unit/ds/ds_call.h"
#include "unit/ds/text_builder.h"
#include "unit/world_reset.h"

namespace {

using dstest::Call;
using dstest::CallArgs;
using dstest::HexText;
using dstest::Value;
using ::testing::HasSubstr;

using dstest::kMissing;

class DSList : public dstest::DSWorld {
 protected:
  static double NewList() { return Call("ds_list_create").Real(); }
  static CDS_List* List(double id) { return DS_GetAs<CDS_List>(eDS_List, int(id)); }
  // The list as text: reals as numbers, strings quoted.
  static std::string Show(double id) {
    std::string out;
    const int n = int(Call("ds_list_size", {id}).Real());
    for (int i = 0; i < n; ++i) {
      auto v = Call("ds_list_find_value", {id, double(i)});
      if (!out.empty()) out += " ";
      if (v.IsString()) {
        out += "'" + v.Text() + "'";
      } else {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.9g", v.Real());
        out += buffer;
      }
    }
    return out;
  }
  static double Filled(const std::vector<Value>& values) {
    const double id = NewList();
    for (const Value& v : values) Call("ds_list_add", {id, v});
    return id;
  }
};

TEST_F(DSList, CapacityGrowsBySixteenThenByAnEighth) {
  const double l = NewList();
  std::vector<int32_t> seen;
  for (int i = 0; i < 183; ++i) {
    Call("ds_list_add", {l, double(i)});
    if (seen.empty() || seen.back() != List(l)->Capacity()) seen.push_back(List(l)->Capacity());
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{16, 32, 48, 64, 80, 96, 112, 128, 144, 162, 182, 204}));
  EXPECT_EQ(Call("ds_list_size", {l}).Real(), 183);
  EXPECT_EQ(Call("ds_list_find_value", {l, 182.0}).Real(), 182);
}

TEST_F(DSList, PositionsAndValues) {
  struct Case {
    const char* what;
    std::vector<const char*> calls;  // applied to a list of 10 20 30
    const char* after;
  } cases[] = {
      {"insert at the end appends", {"insert 3 40"}, "10 20 30 40"},
      {"insert past the end does nothing", {"insert 4 40"}, "10 20 30"},
      {"insert at the front", {"insert 0 5"}, "5 10 20 30"},
      {"insert below 0 does nothing", {"insert -1 5"}, "10 20 30"},
      {"positions round halves to even", {"insert 0.5 5", "insert 2.5 7"}, "5 10 7 20 30"},
      {"replace inside", {"replace 1 21"}, "10 21 30"},
      {"replace at the end does nothing", {"replace 3 1"}, "10 20 30"},
      {"delete moves the rest down", {"delete 0"}, "20 30"},
      {"delete outside does nothing", {"delete 3", "delete -1"}, "10 20 30"},
      {"set past the end grows with zeros", {"set 5 60"}, "10 20 30 0 0 60"},
      {"set below 0 does nothing", {"set -1 60"}, "10 20 30"},
      {"set inside overwrites", {"set 2 31"}, "10 20 31"},
      {"a deleted slot reads as 0 when set grows over it", {"delete 2", "set 3 1"}, "10 20 0 1"},
      {"clear keeps the list", {"clear", "add 1"}, "1"},
  };
  for (const Case& c : cases) {
    const double l = Filled({10.0, 20.0, 30.0});
    for (const char* call : c.calls) {
      char op[16] = {};
      double pos = 0, value = 0;
      std::sscanf(call, "%15s %lf %lf", op, &pos, &value);
      const std::string name = std::string("ds_list_") + op;
      if (name == "ds_list_clear") Call("ds_list_clear", {l});
      else if (name == "ds_list_add") Call("ds_list_add", {l, pos});
      else if (name == "ds_list_delete") Call("ds_list_delete", {l, pos});
      else Call(name.c_str(), {l, pos, value});
    }
    EXPECT_EQ(Show(l), c.after) << c.what;
  }
  const double empty = NewList();
  Call("ds_list_set", {empty, 5.0, "x"});
  EXPECT_EQ(Show(empty), "0 0 0 0 0 'x'");
  // A position far past anything a list can hold is ignored.
  Call("ds_list_set", {empty, 3e9, 1.0});
  Call("ds_list_set", {empty, double(CDS_List::kMaxSetPosition) + 1, 1.0});
  EXPECT_EQ(Call("ds_list_size", {empty}).Real(), 6);
}

TEST_F(DSList, ResultsOfTheBuiltins) {
  const double l = Filled({0.1000000001, 1.0, "1", "b"});
  struct Case {
    const char* name;
    std::vector<Value> args;  // after the list id
    Value expect;
  } cases[] = {
      {"ds_list_size", {}, 4.0},
      {"ds_list_empty", {}, 0.0},
      {"ds_list_find_index", {0.1}, 0.0},  // the comparison is single precision
      {"ds_list_find_index", {"1"}, 2.0},  // the text 1 is not the real 1
      {"ds_list_find_index", {"c"}, -1.0},
      {"ds_list_find_value", {3.0}, "b"},
      {"ds_list_find_value", {4.0}, 0.0},
      {"ds_list_find_value", {-1.0}, 0.0},
      {"ds_list_set_post", {1.0, 5.0}, 1.0},
      {"ds_list_set_post", {6.0, 7.0}, 0.0},  // what the new slot held
      {"ds_list_set_post", {-1.0, 7.0}, -12345.0},
      {"ds_list_set_pre", {2.0, "pre"}, "pre"},
      {"ds_list_set_pre", {-1.0, "pre"}, "pre"},
      {"ds_list_mark_as_list", {9.0}, 0.0},
      {"ds_list_write", {}, "2D01000007000000"},  // the values are checked below
  };
  for (const Case& c : cases) {
    std::vector<Value> args = {l};
    for (const Value& a : c.args) args.push_back(a);
    dstest::Called r = CallArgs(c.name, args);
    ASSERT_EQ(r.result.kind, c.expect.v.kind) << c.name;
    if (c.expect.v.IsString()) {
      EXPECT_EQ(r.Text().substr(0, std::strlen(c.expect.v.Text())), c.expect.v.Text()) << c.name;
    } else {
      EXPECT_EQ(r.Real(), c.expect.v.Real()) << c.name;
    }
  }
  EXPECT_EQ(Show(l), "0.1 5 'pre' 'b' 0 0 7");
  // The list id of ds_list_find_index is truncated, the others rounded.
  const double second = Filled({"only"});
  EXPECT_EQ(second, 1);
  EXPECT_EQ(Call("ds_list_find_index", {1.7, "only"}).Real(), 0);
  EXPECT_THAT(Call("ds_list_size", {1.7}).error, HasSubstr(kMissing));
}

TEST_F(DSList, BadIdsReportAndLeaveTheResult) {
  NewList();
  NewList();
  Call("ds_list_destroy", {1.0});
  for (const char* name : {"ds_list_clear", "ds_list_size", "ds_list_empty", "ds_list_add", "ds_list_insert",
                           "ds_list_replace", "ds_list_delete", "ds_list_find_index", "ds_list_find_value",
                           "ds_list_mark_as_list", "ds_list_mark_as_map", "ds_list_sort", "ds_list_shuffle",
                           "ds_list_write", "ds_list_read", "ds_list_set", "ds_list_set_post", "ds_list_set_pre"}) {
    for (double id : {1.0, -1.0, 2.0}) {
      auto r = Call(name, {id, 0.0, 0.0});
      EXPECT_THAT(r.error, HasSubstr(kMissing)) << name << " " << id;
      EXPECT_EQ(r.Real(), -12345) << name << " " << id;
    }
  }
  EXPECT_THAT(Call("ds_list_copy", {0.0, 1.0}).error, HasSubstr(kMissing));
  EXPECT_THAT(Call("ds_list_copy", {1.0, 0.0}).error, HasSubstr(kMissing));
  // Destroying a free slot inside the table is silent; outside it, not.
  EXPECT_EQ(Call("ds_list_destroy", {1.0}).error, "");
  EXPECT_THAT(Call("ds_list_destroy", {2.0}).error, HasSubstr(kMissing));
  EXPECT_THAT(Call("ds_list_destroy", {-1.0}).error, HasSubstr(kMissing));
}

TEST_F(DSList, SortsAscendingAndDescending) {
  struct Case {
    std::vector<Value> values;
    double ascending;
    const char* after;
  } cases[] = {
      {{3.0, "b", 1.0, "a", 2.0}, 1, "1 2 3 'a' 'b'"},
      {{3.0, "b", 1.0, "a", 2.0}, 0, "'b' 'a' 3 2 1"},
      {{3.0, "b", 1.0, "a", 2.0}, 0.5, "1 2 3 'a' 'b'"},  // from 0.5 up
      {{3.0, "b", 1.0, "a", 2.0}, 0.49, "'b' 'a' 3 2 1"},
      // Equal under the comparison: kept ascending, reversed descending.
      {{1.0, 1.00000001}, 1, "1 1.00000001"},
      {{1.0, 1.00000001}, 0, "1.00000001 1"},
      {{"ab", "a", "", "b", "\xc3\xa9", "B"}, 1, "'' 'B' 'a' 'ab' 'b' '\xc3\xa9'"},
      {{}, 1, ""},
      {{-INFINITY, 5.0, INFINITY, -1e300, 1e300}, 1, "-1e+300 -inf 5 1e+300 inf"},
  };
  for (const Case& c : cases) {
    const double l = Filled(c.values);
    Call("ds_list_sort", {l, c.ascending});
    EXPECT_EQ(Show(l), c.after);
  }
}

// Values of every sort the comparison meets: ties, near ties within the
// precision, reals beyond single precision, infinities, NaN, texts, missing
// texts, marked values and arrays.
std::vector<ScriptValue> RandomValues(std::mt19937& rng, int n, int flavour) {
  std::vector<ScriptValue> values(static_cast<size_t>(n));
  const char* const texts[] = {"a", "b", "ab", "", "B", "\xc3\xa9"};
  for (ScriptValue& v : values) {
    const unsigned pick = rng() % 100;
    if (pick < 45) {
      v = ScriptValue::FromReal(double(int(rng() % 7) - 3));
    } else if (pick < 55) {
      v = ScriptValue::FromReal(double(rng() % 3) + (rng() % 5) * 3e-9);  // near ties
    } else if (pick < 60) {
      v = ScriptValue::FromReal(1.0 + double(rng() % 4) * 1e-8);  // one float, several doubles
    } else if (pick < 90) {
      ScriptValue_SetText(&v, texts[rng() % 6]);
    } else if (flavour == 0) {
      v = ScriptValue::FromReal(double(rng() % 3));
    } else {
      switch (rng() % 6) {
        case 0: v = ScriptValue::FromReal(NAN); break;
        case 1: v = ScriptValue::FromReal(rng() % 2 ? INFINITY : -INFINITY); break;
        case 2: v = ScriptValue::FromReal(1e300); break;
        case 3:
          v.kind = kKindString;
          v.text = nullptr;
          break;
        case 4:
          v = ScriptValue::FromReal(double(rng() % 3));
          v.kind = rng() % 2 ? DS_MARK_LIST : DS_MARK_MAP;
          break;
        default: {
          v.kind = kKindArray;
          v.array = ScriptArray_Create(&v);
        }
      }
    }
  }
  return values;
}

TEST_F(DSList, SortEqualsTheInsertionSort) {
  std::mt19937 rng(11);
  const double precisions[] = {1e-8, 0, 0.5, 1e-12, 1e-3, 1e6, INFINITY, NAN, -0.25};
  for (int trial = 0; trial < 3000; ++trial) {
    DS_SetPrecision(precisions[trial % std::size(precisions)]);
    std::vector<ScriptValue> values = RandomValues(rng, int(rng() % 60), trial % 3 == 0 ? 1 : 0);
    for (bool ascending : {true, false}) {
      const auto expect = DS_InsertionSortOrder(values.data(), int32_t(values.size()), ascending);
      const auto got = DS_SortOrder(values.data(), int32_t(values.size()), ascending);
      ASSERT_EQ(got, expect) << "trial " << trial << (ascending ? " ascending" : " descending");
    }
    for (ScriptValue& v : values) {
      v.kind &= 0xFFFF;
      ScriptValue_Free(&v);
    }
  }
}

TEST_F(DSList, SortOfALongListKeepsEqualValuesInOrder) {
  // Many values share each 32-bit float; their doubles tell them apart and
  // give their order of insertion.
  const double l = NewList();
  std::mt19937 rng(3);
  const int n = 50000;
  for (int i = 0; i < n; ++i) Call("ds_list_add", {l, double(rng() % 1000 + 1) + i * 1e-12});
  Call("ds_list_sort", {l, 1.0});
  for (int i = 1; i < n; ++i) {
    const double a = List(l)->Item(i - 1)->real, b = List(l)->Item(i)->real;
    ASSERT_TRUE(float(a) < float(b) || (float(a) == float(b) && a < b)) << i;
  }
  Call("ds_list_sort", {l, 0.0});
  for (int i = 1; i < n; ++i) {
    const double a = List(l)->Item(i - 1)->real, b = List(l)->Item(i)->real;
    ASSERT_TRUE(float(a) > float(b) || (float(a) == float(b) && a > b)) << i;  // ties reversed
  }
}

TEST_F(DSList, ShuffleDrawsTwicePerRoundFromTheGame) {
  Random_SetSeed(1234);
  const double l = NewList();
  for (int i = 0; i < 10; ++i) Call("ds_list_add", {l, double(i)});
  Call("ds_list_shuffle", {l});
  const std::string shuffled = Show(l);
  // The same draws, done here: 80 rounds of a then b.
  Random_SetSeed(1234);
  std::vector<int> expect(10);
  for (int i = 0; i < 10; ++i) expect[size_t(i)] = i;
  for (int round = 0; round < 80; ++round) {
    const int a = Random_Int(10);
    const int b = Random_Int(10);
    std::swap(expect[size_t(a)], expect[size_t(b)]);
  }
  std::string manual;
  for (int v : expect) manual += (manual.empty() ? "" : " ") + std::to_string(v);
  EXPECT_EQ(shuffled, manual);
  EXPECT_NE(shuffled, "0 1 2 3 4 5 6 7 8 9");

  // One value: 16 draws, nothing moves. No value: no draw.
  Random_SetSeed(99);
  for (int i = 0; i < 16; ++i) Random_Int(1);
  const uint32_t after16 = Random_Next32();
  Random_SetSeed(99);
  const double one = Filled({"x"});
  Call("ds_list_shuffle", {one});
  EXPECT_EQ(Random_Next32(), after16);
  EXPECT_EQ(Show(one), "'x'");
  Random_SetSeed(99);
  const uint32_t first = Random_Next32();
  Random_SetSeed(99);
  Call("ds_list_shuffle", {NewList()});
  EXPECT_EQ(Random_Next32(), first);
}

TEST_F(DSList, TextFormWritesAndReadsBack) {
  EXPECT_EQ(Call("ds_list_write", {Filled({"ab"})}).Text(), "2D0100000100000001000000020000006162");
  EXPECT_EQ(Call("ds_list_write", {NewList()}).Text(), "2D01000000000000");

  // Reals bit for bit, texts, and an array with one row of two reals.
  const double l = Filled({1.0, -0.0, 5e-324, "ab", "", 1e300});
  ScriptValue array;
  array.kind = kKindArray;
  array.array = ScriptArray_Create(&array);
  ScriptValue element = ScriptValue::FromReal(2.5);
  ScriptValue_SetElement(&array, &element, 0);
  element.real = -7;
  ScriptValue_SetElement(&array, &element, 1);
  List(l)->Add(&array);
  ScriptValue_Free(&array);
  const std::string text = Call("ds_list_write", {l}).Text();
  const double back = Filled({"old", 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0});
  Call("ds_list_read", {back, text.c_str()});
  EXPECT_EQ(Call("ds_list_write", {back}).Text(), text);
  ASSERT_EQ(List(back)->Size(), 7);
  EXPECT_TRUE(std::signbit(List(back)->Item(1)->real));
  const ScriptValue* readArray = List(back)->Item(6);
  ASSERT_TRUE(readArray->IsArray());
  ASSERT_EQ(readArray->array->rowCount, 1);
  ASSERT_EQ(readArray->array->rows[0].length, 2);
  EXPECT_EQ(readArray->array->rows[0].elements[1].real, -7);
  // Adding after a read grows from the count read.
  Call("ds_list_add", {back, "more"});
  EXPECT_EQ(Call("ds_list_find_value", {back, 7.0}).Text(), "more");
}

TEST_F(DSList, ReadsATextWrittenFromTheFormat) {
  HexText w;
  w.Int(301).Int(4).Real(-2.5).String("hello").Kind(0x40000000).String("");
  const double l = Filled({"before"});
  Call("ds_list_read", {l, w.c_str()});
  // The marked value was written without its id: it reads as a plain 0.
  EXPECT_EQ(Show(l), "-2.5 'hello' 0 ''");
  EXPECT_EQ(List(l)->Item(2)->kind, kKindReal);
  // Lower-case digits read too.
  std::string lower = w.str();
  for (char& c : lower) c = char(std::tolower(c));
  const double m = NewList();
  Call("ds_list_read", {m, lower.c_str()});
  EXPECT_EQ(Show(m), "-2.5 'hello' 0 ''");
}

TEST_F(DSList, DamagedTextChangesNothing) {
  const double l = Filled({1.0, "keep"});
  dstest::ExpectTextsRefused(
      "ds_list_read", "ds_list_write", l,
      {
          "",
          "2D01",                                      // no count
          "650000000100000000000000000000000000F03F",  // a stack's text
          "C90000000000000000000000",                  // a queue's header
          HexText().Int(301).Int(-1).str(),
          HexText().Int(301).Int(0x7FFFFFFF).Real(1).str(),
          HexText().Int(301).Int(2).Real(1).str(),                  // one value short
          HexText().Int(301).Int(1).Kind(0).str() + "000000",       // a real cut short
          HexText().Int(301).Int(1).Kind(2).Int(0x7FFFFFFF).str(),  // an array of too many rows
          "zz2D0100000000000000",
      });
}

TEST_F(DSList, MarkedValuesOwnTheirContainers) {
  const double outer = NewList();
  const double nested = NewList();
  const double deeper = Call("ds_map_create").Real();
  const double kept = NewList();
  Call("ds_list_add", {nested, deeper});
  Call("ds_list_mark_as_map", {nested, 0.0});
  Call("ds_list_add", {outer, nested});
  Call("ds_list_add", {outer, kept});
  Call("ds_list_add", {outer, "text"});
  auto marked = Call("ds_list_mark_as_list", {outer, 0.0});
  EXPECT_EQ(marked.result.kind, kKindReal);  // handed back without its mark
  EXPECT_EQ(marked.Real(), nested);
  Call("ds_list_mark_as_list", {outer, 1.0});
  // A marked text never counts as a nested list.
  auto text = Call("ds_list_mark_as_list", {outer, 2.0});
  EXPECT_EQ(text.Text(), "text");
  EXPECT_EQ(List(outer)->Item(2)->kind, kKindString | DS_MARK_LIST);
  EXPECT_EQ(Call("ds_list_find_value", {outer, 1.0}).result.kind, kKindReal);
  // Deleting a marked value leaves its list alive.
  Call("ds_list_delete", {outer, 1.0});
  EXPECT_EQ(Call("ds_exists", {kept, 2.0}).Real(), 1);
  Call("ds_list_destroy", {outer});
  EXPECT_EQ(Call("ds_exists", {nested, 2.0}).Real(), 0);
  EXPECT_EQ(Call("ds_exists", {deeper, 1.0}).Real(), 0);
  EXPECT_EQ(Call("ds_exists", {kept, 2.0}).Real(), 1);
}

TEST_F(DSList, OverwritingOrClearing) {
  struct Case {
    const char* how;
    bool destroys;
  } cases[] = {
      {"ds_list_replace", false}, {"ds_list_set", false},  {"ds_list_set_pre", false}, {"ds_list_set_post", false},
      {"ds_list_delete", false},  {"ds_list_clear", true}, {"ds_list_destroy", true},
  };
  for (const Case& c : cases) {
    const double l = NewList();
    const double nested = NewList();
    Call("ds_list_add", {l, nested});
    Call("ds_list_mark_as_list", {l, 0.0});
    Call(c.how, {l, 0.0, 0.0});
    EXPECT_EQ(Call("ds_exists", {nested, 2.0}).Real(), c.destroys ? 0 : 1) << c.how;
    // Nothing is destroyed twice, nor anything else later.
    Call("ds_list_destroy", {l});
    EXPECT_EQ(Call("ds_exists", {nested, 2.0}).Real(), c.destroys ? 0 : 1) << c.how;
    Call("ds_list_destroy", {nested});
  }
  // A mark naming a list that is already gone is skipped without a word.
  const double l = NewList();
  const double gone = NewList();
  Call("ds_list_add", {l, gone});
  Call("ds_list_mark_as_list", {l, 0.0});
  Call("ds_list_destroy", {gone});
  EXPECT_EQ(Call("ds_list_destroy", {l}).error, "");
}

TEST_F(DSList, CopiesShareTheMarksAndNeverDestroyANewcomer) {
  const double a = NewList();
  const double b = NewList();
  const double nested = NewList();
  Call("ds_list_add", {a, nested});
  Call("ds_list_mark_as_list", {a, 0.0});
  for (int i = 0; i < 20; ++i) Call("ds_list_add", {a, double(i)});
  Call("ds_list_add", {b, "dropped"});
  Call("ds_list_copy", {b, a});
  EXPECT_EQ(Show(b), Show(a));
  EXPECT_EQ(List(b)->Capacity(), List(a)->Capacity());
  EXPECT_EQ(List(b)->Item(0)->kind, DS_MARK_LIST);
  Call("ds_list_destroy", {a});
  EXPECT_EQ(Call("ds_exists", {nested, 2.0}).Real(), 0);
  // Both freed ids come back; the second holder leaves the newcomers alone.
  const double first = NewList();
  const double second = NewList();
  EXPECT_EQ(std::min(first, second), std::min(a, nested));
  Call("ds_list_destroy", {b});
  EXPECT_EQ(Call("ds_exists", {first, 2.0}).Real(), 1);
  EXPECT_EQ(Call("ds_exists", {second, 2.0}).Real(), 1);
  // Copying onto itself keeps the values.
  Call("ds_list_add", {first, "x"});
  Call("ds_list_copy", {first, first});
  EXPECT_EQ(Show(first), "'x'");
}

TEST_F(DSList, MapsAndListsNestedBothWays) {
  const double l = NewList();
  const double m = Call("ds_map_create").Real();
  Call("ds_list_add", {l, m});
  Call("ds_list_mark_as_map", {l, 0.0});
  const double inner = NewList();
  Call("ds_map_add_list", {m, "inner", inner});
  Call("ds_list_clear", {l});
  EXPECT_EQ(Call("ds_exists", {m, 1.0}).Real(), 0);
  EXPECT_EQ(Call("ds_exists", {inner, 2.0}).Real(), 0);
  EXPECT_EQ(Call("ds_list_size", {l}).Real(), 0);
  // A list holding itself marked is no trouble either.
  Call("ds_list_add", {l, l});
  Call("ds_list_mark_as_list", {l, 0.0});
  Call("ds_list_destroy", {l});
  EXPECT_EQ(Call("ds_exists", {l, 2.0}).Real(), 0);
}

}  // namespace
