#include "ds/json.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "ds/ds.h"
#include "ds/list.h"
#include "ds/map.h"
#include "files/file_group.h"
#include "files/files.h"
#include "unit/ds/ds_call.h"
#include "unit/script/builtin_group_check.h"
#include "unit/world_reset.h"

namespace {

using dstest::Call;
using dstest::Value;

class Json : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    // As start-up registers them: the File group, these two at its end,
    // then the data structures.
    InitFileFunctions();
    InitJsonFunctions();
    InitDSFunctions();
  }

  // A new map, in C++, for the encoder's cases that scripts cannot build
  // through the built-ins alone.
  static CDS_HashMap* NewMap(int* id) {
    auto* map = new CDS_HashMap();
    *id = DS_Add(eDS_Map, map);
    return map;
  }
};

std::string Number(double x) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, x).ptr);
}

// What a value holds, containers followed through their marks, map keys in
// sorted order: {a:1,b:[2,"x"]}.
std::string Describe(const ScriptValue& v, int depth = 0) {
  if (depth > 2000) return "<too deep>";
  if (DS_MarkCounts(v.kind)) {
    const int id = Real_ToInt32(v.real);
    if (DS_MarkedKind(v.kind) == eDS_Map) {
      const auto* map = DS_GetAs<CDS_HashMap>(eDS_Map, id);
      if (!map) return "<no map>";
      std::vector<std::pair<std::string, std::string>> pairs;
      for (const HashPair* p = map->FindFirst(); p; p = map->FindNext(&p->key))
        pairs.emplace_back(p->key.IsString() ? p->key.Text() : "#" + Number(p->key.real),
                           Describe(p->value, depth + 1));
      std::sort(pairs.begin(), pairs.end());
      std::string s = "{";
      for (const auto& [key, value] : pairs) s += (s.size() > 1 ? "," : "") + key + ":" + value;
      return s + "}";
    }
    const auto* list = DS_GetAs<CDS_List>(eDS_List, id);
    if (!list) return "<no list>";
    std::string s = "[";
    for (int32_t i = 0; i < list->Size(); ++i) s += (i ? "," : "") + Describe(*list->Item(i), depth + 1);
    return s + "]";
  }
  if (v.IsString()) return "\"" + std::string(v.Text()) + "\"";
  return Number(v.Real());
}

std::string DescribeMap(double id) {
  ScriptValue v = ScriptValue::FromReal(id);
  v.kind = DS_MARK_MAP;
  return Describe(v);
}

// Every container slot in use, of both kinds decoding makes.
int LiveContainers() { return DS_LiveCount(eDS_Map) + DS_LiveCount(eDS_List); }

std::string Nested(const char* open, const char* close, int depth, const char* inner = "") {
  std::string s;
  for (int i = 0; i < depth; ++i) s += open;
  s += inner;
  for (int i = 0; i < depth; ++i) s += close;
  return s;
}

TEST_F(Json, TheFileGroupEndsWithBothNamesInItsOrder) {
  ExpectGroupRegistered(Files_FileGroup());
  for (const char* name : {"json_encode", "json_decode"})
    EXPECT_EQ(FunctionRegistry_GetArgCount(FunctionRegistry_Find(name)), 1) << name;
}

TEST_F(Json, DecodesTextsToMapsAndLists) {
  struct Case {
    const char* text;
    const char* holds;
  };
  const Case cases[] = {
      {R"({"a": 1, "b": "x", "c": 2.5, "d": -3e-2})", R"({a:1,b:"x",c:2.5,d:-0.03})"},
      // Arrays and anything but an object go under "default".
      {R"( [1, "two", null, true, false] )", R"({default:[1,"two",0,1,0]})"},
      {"[]", "{default:[]}"},
      {"hello", R"({default:"hello"})"},
      {"  12  ", R"({default:"  12  "})"},
      {"{", R"({default:"{"})"},
      {"true", R"({default:"true"})"},
      {"", R"({default:""})"},
      {"[1,2", R"({default:"[1,2"})"},
      // A null member is left out; a member named twice keeps its last value.
      {R"({"gone": null, "kept": 0})", "{kept:0}"},
      {R"({"a": 1, "a": 2})", "{a:2}"},
      {R"({"n": {"m": {}}, "l": [[], {}, [{"k": "v"}]]})", R"({l:[[],{},[{k:"v"}]],n:{m:{}}})"},
      // Escapes, surrogate pairs among them, come out as UTF-8.
      {R"({"s": "\u00e9\ud83d\ude00 \"q\" \\ \/ \t"})", "{s:\"\xC3\xA9\xF0\x9F\x98\x80 \"q\" \\ / \t\"}"},
      {R"({"lone": "a\ud800b"})", "{lone:\"a\xEF\xBF\xBD" "b\"}"},
      // Bytes that are not UTF-8 are read as U+FFFD, in names too.
      {"{\"k\xFF\": \"\xC3(\"}", "{k\xEF\xBF\xBD:\"\xEF\xBF\xBD(\"}"},
      // Integers are read in 64 bits or more, to the nearest double.
      {R"({"i": 9007199254740993})", "{i:9007199254740992}"},
      {R"({"i": -9223372036854775808})", "{i:-9223372036854775808}"},
      {R"({"i": 2147483648, "j": -2147483649})", "{i:2147483648,j:-2147483649}"},
      {R"({"i": 18446744073709551615})", "{i:18446744073709551616}"},
      {R"({"i": 1180591620717411303424, "j": -100000000000000000000})",
       "{i:1180591620717411303424,j:-1e+20}"},
      {R"({"a": [123456789012345678901234], "b": "123456789012345678901234"})",
       R"({a:[1.2345678901234569e+23],b:"123456789012345678901234"})"},
      {R"({"f": 1e-300, "g": 1.7976931348623157e308, "h": 5e-324})",
       "{f:1e-300,g:1.7976931348623157e+308,h:5e-324}"},
  };
  for (const Case& c : cases) {
    const double id = Call("json_decode", {c.text}).Real();
    ASSERT_GE(id, 0) << c.text;
    EXPECT_EQ(DescribeMap(id), c.holds) << c.text;
    Call("ds_map_destroy", {id});
    EXPECT_EQ(LiveContainers(), 0) << c.text << ": the nested containers go with their map";
  }
}

TEST_F(Json, ARealIsReadAsItsTextWithTwoDecimals) {
  for (auto [real, holds] : {std::pair{3.0, R"({default:"3.00"})"}, {-0.125, R"({default:"-0.12"})"},
                             {1e20, R"({default:"100000000000000000000.00"})"}}) {
    const double id = Call("json_decode", {real}).Real();
    EXPECT_EQ(DescribeMap(id), holds);
    Call("ds_map_destroy", {id});
  }
}

TEST_F(Json, MalformedTextGivesMinusOneAndMakesNothing) {
  for (const char* text : {R"({"a":)", R"({"a" 1})", R"({"a":[1,2})", R"(["x")", "\"unterminated",
                           R"({"a":1}})", R"({"a":1} x})", R"(say "hi")", R"({"a": tru})", "[\"]"}) {
    EXPECT_EQ(Call("json_decode", {text}).Real(), -1) << text;
    EXPECT_EQ(LiveContainers(), 0) << text;
    EXPECT_EQ(DS_TableLength(eDS_Map), 0) << text;
  }
}

TEST_F(Json, DecodingGivesTheOuterMapTheFirstIdAndItOwnsWhatItHolds) {
  const double keep = Call("ds_list_create").Real();
  const double id = Call("json_decode", {R"({"a": {"b": [1, {"c": []}]}})"}).Real();
  EXPECT_EQ(id, 0);
  EXPECT_EQ(DS_TableLength(eDS_Map), 3);
  EXPECT_EQ(DS_TableLength(eDS_List), 3);
  const dstest::Called inner = Call("ds_map_find_value", {id, "a"});
  EXPECT_EQ(inner.Real(), 1) << "handed back without its mark";
  EXPECT_EQ(Call("ds_map_find_value", {1, "b"}).Real(), 1);
  Call("ds_map_destroy", {id});
  for (double m : {0, 1, 2}) EXPECT_EQ(Call("ds_exists", {m, double(eDS_Map)}).Real(), 0);
  for (double l : {1, 2}) EXPECT_EQ(Call("ds_exists", {l, double(eDS_List)}).Real(), 0);
  EXPECT_EQ(Call("ds_exists", {keep, double(eDS_List)}).Real(), 1) << "not decoded, not owned";
}

TEST_F(Json, DeepNestingIsReadUpToTheLimitAndRefusedPastIt) {
  // The wrapping object is one level of the limit.
  const std::string arrays = Nested("[", "]", kJsonMaxNesting - 1);
  double id = Call("json_decode", {arrays.c_str()}).Real();
  ASSERT_GE(id, 0);
  EXPECT_EQ(DS_TableLength(eDS_List), kJsonMaxNesting - 1);
  // What was read is written back whole and reads again.
  const std::string text = JSON_Encode(int(id));
  Call("ds_map_destroy", {id});
  EXPECT_EQ(LiveContainers(), 0);
  id = JSON_Decode(text.c_str());
  EXPECT_GE(id, 0);
  Call("ds_map_destroy", {id});

  const std::string objects = Nested("{\"a\":", "}", kJsonMaxNesting - 1, "{}");
  id = Call("json_decode", {objects.c_str()}).Real();
  EXPECT_GE(id, 0);
  Call("ds_map_destroy", {id});

  // One level more is too deep; far more neither crashes nor becomes a string.
  for (const std::string& deep :
       {Nested("[", "]", kJsonMaxNesting), Nested("{\"a\":", "}", kJsonMaxNesting, "{}"),
        Nested("[", "]", 100000)}) {
    EXPECT_EQ(Call("json_decode", {deep.c_str()}).Real(), -1) << deep.size();
    EXPECT_EQ(LiveContainers(), 0);
  }
}

TEST_F(Json, EncodesWithSixDecimalsAndRealKeysAsIntegers) {
  const double m = Call("ds_map_create").Real();
  Call("ds_map_add", {m, "a", 1});
  EXPECT_EQ(Call("json_encode", {m}).Text(), R"({ "a": 1.000000 })");
  Call("ds_map_clear", {m});
  Call("ds_map_add", {m, 2.7, -0.5});
  EXPECT_EQ(Call("json_encode", {m}).Text(), R"({ "2": -0.500000 })");
  Call("ds_map_clear", {m});
  Call("ds_map_add", {m, -2.7, 1e20});
  EXPECT_EQ(Call("json_encode", {m}).Text(), R"({ "-2": 100000000000000000000.000000 })");
  Call("ds_map_clear", {m});
  Call("ds_map_add", {m, 5e9, 0.0000004});
  EXPECT_EQ(Call("json_encode", {m}).Text(), R"({ "5000000000": 0.000000 })");
  // The id is truncated; an empty map is an empty object.
  Call("ds_map_clear", {m});
  EXPECT_EQ(Call("json_encode", {m + 0.9}).Text(), "{ }");
}

TEST_F(Json, EncodingAnIdThatNamesNoMapGivesAnEmptyString) {
  const double m = Call("ds_map_create").Real();
  Call("ds_map_destroy", {m});
  for (double id : {m, -1.0, 99.0, std::nan("")}) {
    const dstest::Called got = Call("json_encode", {id});
    EXPECT_TRUE(got.IsString());
    EXPECT_EQ(got.Text(), "") << id;
    EXPECT_EQ(got.error, "");
  }
}

TEST_F(Json, NumbersJsonCannotHoldBecomeNull) {
  const double m = Call("ds_map_create").Real();
  const double l = Call("ds_list_create").Real();
  for (double x : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()})
    Call("ds_list_add", {l, x});
  Call("ds_map_add_list", {m, "l", l});
  const std::string text = Call("json_encode", {m}).Text();
  EXPECT_EQ(text, R"({ "l": [ null, null, null ] })");
  const double back = JSON_Decode(text.c_str());
  EXPECT_EQ(DescribeMap(back), "{l:[0,0,0]}");
}

TEST_F(Json, StringsAreEscapedAndKeptValidUtf8) {
  const double m = Call("ds_map_create").Real();
  Call("ds_map_add", {m, "s", "q\"b\\s/c\x01n\nt\t\x7F\xC3\xA9\xF0\x9F\x98\x80"});
  EXPECT_EQ(Call("json_encode", {m}).Text(),
            "{ \"s\": \"q\\\"b\\\\s\\/c\\u0001n\\nt\\t\x7F\xC3\xA9\xF0\x9F\x98\x80\" }");
  // Bytes that are not UTF-8 (a stray continuation, a cut sequence, an
  // encoded surrogate, an overlong form) become U+FFFD, in keys too.
  Call("ds_map_clear", {m});
  Call("ds_map_add", {m, "k\xFF", "a\x80" "b\xE2\x82 \xED\xA0\x80 \xC0\xAF"});
  EXPECT_EQ(Call("json_encode", {m}).Text(),
            "{ \"k\xEF\xBF\xBD\": \"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD "
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\" }");
}

TEST_F(Json, ScriptArraysAreWrittenFlatRowAfterRow) {
  int id = 0;
  CDS_HashMap* map = NewMap(&id);
  ScriptValue array;
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col < 2; ++col) {
      ScriptValue element = ScriptValue::FromReal(row * 10 + col);
      ScriptValue_SetElement(&array, &element, row * kArrayRowStride + col);
    }
  ScriptValue text;
  ScriptValue_SetText(&text, "x");
  ScriptValue_SetElement(&array, &text, 2 * kArrayRowStride);
  ScriptValue key;
  ScriptValue_SetText(&key, "grid");
  map->Add(&key, &array);
  EXPECT_EQ(JSON_Encode(id), R"({ "grid": [ 0.000000, 1.000000, 10.000000, 11.000000, "x" ] })");
  // An array that holds itself is written once, the inner one as null.
  ScriptValue_SetElement(&array, &array, 2 * kArrayRowStride + 1);
  const std::string cyclic = JSON_Encode(id);
  EXPECT_EQ(cyclic, R"({ "grid": [ 0.000000, 1.000000, 10.000000, 11.000000, "x", null ] })");
  EXPECT_GE(JSON_Decode(cyclic.c_str()), 0);
  ScriptValue zero;
  ScriptValue_SetElement(&array, &zero, 2 * kArrayRowStride + 1);
  ScriptValue_Free(&key);
  ScriptValue_Free(&text);
  ScriptValue_Free(&array);
}

TEST_F(Json, ContainersInsideThemselvesAndMissingOnesBecomeNull) {
  const double a = Call("ds_map_create").Real();
  const double b = Call("ds_map_create").Real();
  const double l = Call("ds_list_create").Real();
  Call("ds_map_add_map", {a, "b", b});
  Call("ds_map_add_map", {b, "a", a});
  Call("ds_list_add", {l, l});
  Call("ds_list_mark_as_list", {l, 0.0});
  Call("ds_map_add_list", {b, "l", l});
  const double gone = Call("ds_list_create").Real();
  Call("ds_map_add_list", {a, "gone", gone});
  Call("ds_list_destroy", {gone});
  const std::string text = Call("json_encode", {a}).Text();
  EXPECT_EQ(DescribeMap(JSON_Decode(text.c_str())), "{b:{l:[0]}}") << text;
  EXPECT_NE(text.find(R"("a": null)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("gone": null)"), std::string::npos) << text;
}

TEST_F(Json, EncodingStopsAtTheNestingLimit) {
  // A chain of lists longer than the limit: the part past it is null, and
  // the text reads back.
  const double top = Call("ds_map_create").Real();
  double holder = Call("ds_list_create").Real();
  Call("ds_map_add_list", {top, "chain", holder});
  for (int i = 0; i < kJsonMaxNesting + 500; ++i) {
    const double next = Call("ds_list_create").Real();
    Call("ds_list_add", {holder, next});
    Call("ds_list_mark_as_list", {holder, 0.0});
    holder = next;
  }
  const std::string text = JSON_Encode(int(top));
  EXPECT_EQ(std::count(text.begin(), text.end(), '['), kJsonMaxNesting - 1);
  EXPECT_NE(text.find("[ null ]"), std::string::npos);
  EXPECT_GE(JSON_Decode(text.c_str()), 0);
}

TEST_F(Json, NestedMapsAndListsRoundTrip) {
  const char* text = R"({"name": "Ada", "scores": [1, 2.5, -3], "pos": {"x": 10, "y": -0.25},
      "tags": [], "meta": {}, "rows": [[1, "a"], {"k": [true]}], "9": "nine"})";
  const double first = Call("json_decode", {text}).Real();
  const std::string encoded = Call("json_encode", {first}).Text();
  const double second = Call("json_decode", {encoded.c_str()}).Real();
  EXPECT_EQ(DescribeMap(second), DescribeMap(first));
  EXPECT_EQ(DescribeMap(second),
            R"({9:"nine",meta:{},name:"Ada",pos:{x:10,y:-0.25},rows:[[1,"a"],{k:[1]}],scores:[1,2.5,-3],tags:[]})");
  EXPECT_EQ(Call("json_encode", {second}).Text(), encoded);
}

}  // namespace
