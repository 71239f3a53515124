#include "script/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ds/buffer.h"
#include "script/errors.h"
#include "script/memory_manager.h"
#include "script/vm.h"

namespace {

// Text form of a value, as the string built-in shows it.
std::string TextOf(const ScriptValue& v) {
  char* buffer = nullptr;
  char* cursor = nullptr;
  int32_t capacity = 0;
  ScriptValue_AppendText(&cursor, &buffer, &capacity, &v);
  std::string s = buffer ? buffer : "";
  MemoryManager::Release(buffer);
  return s;
}

ScriptValue Str(const char* text) {
  ScriptValue v;
  ScriptValue_SetText(&v, text);
  return v;
}

void Put(ScriptValue& array, int32_t index, double r) {
  ScriptValue v = ScriptValue::FromReal(r);
  EXPECT_TRUE(ScriptValue_SetElement(&array, &v, index));
}

void PutText(ScriptValue& array, int32_t index, const char* text) {
  ScriptValue v = Str(text);
  EXPECT_TRUE(ScriptValue_SetElement(&array, &v, index));
  ScriptValue_Free(&v);
}

void Assign(ScriptValue& destination, ScriptValue& source) {
  EXPECT_TRUE(ScriptValue_SetElement(&destination, &source, -1));
}

// Counts engine blocks across a test body, so every case also proves that
// freeing releases texts and references.
struct BlockCount {
  uint32_t blocks = MemoryManager::LiveBlocks();
  uint32_t bytes = MemoryManager::LiveBytes();
  void ExpectUnchanged() const {
    EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
    EXPECT_EQ(MemoryManager::LiveBytes(), bytes);
  }
};

std::vector<uint8_t> Saved(const ScriptValue& v, bool* ok = nullptr) {
  IBuffer buffer(16, eBuffer_Grow, 1);
  bool done = ScriptValue_Save(&v, &buffer);
  if (ok) *ok = done;
  return std::vector<uint8_t>(buffer.Data(), buffer.Data() + buffer.Position());
}

bool LoadFrom(const std::vector<uint8_t>& bytes, ScriptValue* v) {
  IBuffer buffer(int(bytes.size()), eBuffer_Fixed, 1);
  if (!bytes.empty()) std::memcpy(buffer.Data(), bytes.data(), bytes.size());
  return ScriptValue_Load(v, &buffer);
}

ScriptValue Nested(int depth) {
  ScriptValue v = ScriptValue::FromReal(1);
  for (int i = 0; i < depth; ++i) {
    ScriptValue outer;
    ScriptValue_SetElement(&outer, &v, 0);
    ScriptValue_Free(&v);
    ScriptValue_SetElement(&v, &outer, -1);
    ScriptValue_Free(&outer);
  }
  return v;
}

TEST(ScriptValue, IsSixteenBytesAndReadsStringsAsRealZero) {
  EXPECT_EQ(sizeof(ScriptValue), 16u);
  ScriptValue s = Str("abc");
  EXPECT_EQ(s.Real(), 0.0);
  EXPECT_STREQ(s.Text(), "abc");
  ScriptValue_Free(&s);
  EXPECT_EQ(s.kind, kKindString);  // freed text is the empty string
  EXPECT_EQ(s.text, nullptr);
  EXPECT_STREQ(s.Text(), "");
}

struct Vars {
  ScriptValue a, b;
};

struct OwnershipCase {
  const char* name;
  void (*run)(Vars&);
  const char* a;  // text forms afterwards
  const char* b;
  bool shared;  // a and b hold one array
};

void OneTwo(Vars& v) {
  Put(v.a, 0, 1);
  Put(v.a, 1, 2);
}

const OwnershipCase kOwnershipCases[] = {
    {"assignment shares", [](Vars& v) { OneTwo(v); Assign(v.b, v.a); }, "{ 1,2 }", "{ 1,2 }", true},
    {"owner writes in place while shared",
     [](Vars& v) { OneTwo(v); Assign(v.b, v.a); Put(v.a, 0, 9); }, "{ 9,2 }", "{ 9,2 }", true},
    {"other holder copies before writing",
     [](Vars& v) { OneTwo(v); Assign(v.b, v.a); Put(v.b, 0, 7); }, "{ 1,2 }", "{ 7,2 }", false},
    {"the copy belongs to its writer",
     [](Vars& v) { OneTwo(v); Assign(v.b, v.a); Put(v.b, 0, 7); Put(v.b, 1, 8); Put(v.a, 1, 5); },
     "{ 1,5 }", "{ 7,8 }", false},
    {"string elements are duplicated",
     [](Vars& v) { PutText(v.a, 0, "hi"); Assign(v.b, v.a); PutText(v.b, 0, "yo"); }, "{ hi }", "{ yo }", false},
    {"a real written by index becomes an array",
     [](Vars& v) { v.a = ScriptValue::FromReal(5); Put(v.a, 3, 1); }, "{ 0,0,0,1 }", "0", false},
    {"a string written by index becomes an array",
     [](Vars& v) { v.a = Str("abc"); Put(v.a, 1, 2); }, "{ 0,2 }", "0", false},
    {"assigning over the owner leaves the other holder",
     [](Vars& v) { OneTwo(v); Assign(v.b, v.a); ScriptValue four = ScriptValue::FromReal(4); Assign(v.a, four); },
     "4", "{ 1,2 }", false},
    {"freeing the owner leaves the array to the sharer",
     [](Vars& v) { OneTwo(v); Assign(v.b, v.a); ScriptValue_Free(&v.a); Put(v.b, 0, 3); }, "0", "{ 3,2 }", false},
    {"deep copy clones",
     [](Vars& v) { OneTwo(v); ScriptValue_DeepCopy(&v.b, &v.a); Put(v.a, 0, 9); }, "{ 9,2 }", "{ 1,2 }", false},
    {"nested arrays are shared",
     [](Vars& v) { Put(v.a, 0, 1); ScriptValue_SetElement(&v.b, &v.a, 0); Put(v.a, 0, 2); }, "{ 2 }", "{ { 2 } }",
     false},
    {"a value written into its own element",
     [](Vars& v) { v.a = Str("s"); ScriptValue_SetElement(&v.a, &v.a, 1); }, "{ 0,s }", "0", false},
    {"a source inside the row that moves",
     [](Vars& v) { PutText(v.a, 0, "keep"); ScriptValue_SetElement(&v.a, &v.a.array->rows[0].elements[0], 3); },
     "{ keep,0,0,keep }", "0", false},
    {"self assignment keeps the array",
     [](Vars& v) { OneTwo(v); Assign(v.a, v.a); }, "{ 1,2 }", "0", false},
    {"an element read into the array's own value",
     [](Vars& v) { Put(v.a, 0, 1); PutText(v.a, 1, "x"); EXPECT_TRUE(ScriptValue_GetElement(&v.a, &v.a, 1)); },
     "x", "0", false},
};

TEST(ScriptValue, OwnershipAndCopyOnWrite) {
  for (const auto& c : kOwnershipCases) {
    SCOPED_TRACE(c.name);
    BlockCount before;
    {
      Vars v;
      c.run(v);
      EXPECT_EQ(TextOf(v.a), c.a);
      EXPECT_EQ(TextOf(v.b), c.b);
      EXPECT_EQ(v.a.IsArray() && v.b.IsArray() && v.a.array == v.b.array, c.shared);
      ScriptValue_Free(&v.a);
      ScriptValue_Free(&v.b);
    }
    before.ExpectUnchanged();
  }
}

TEST(ScriptValue, CopyReusesALargeEnoughStringBlock) {
  ScriptValue big = Str("a text of twenty b.");  // 20 bytes with the NUL
  ScriptValue small = Str("abc");
  ScriptValue five = Str("hello");
  char* bigBlock = big.text;
  char* smallBlock = small.text;
  ScriptValue_Copy(&big, &five);
  ScriptValue_Copy(&small, &five);
  EXPECT_EQ(big.text, bigBlock);
  EXPECT_NE(small.text, smallBlock);
  EXPECT_STREQ(big.text, "hello");
  EXPECT_STREQ(small.text, "hello");
  // A non-string source releases the block instead of leaking it.
  BlockCount count;
  ScriptValue one = ScriptValue::FromReal(1);
  ScriptValue_Copy(&big, &one);
  EXPECT_EQ(MemoryManager::LiveBlocks(), count.blocks - 1);
  EXPECT_EQ(big.Real(), 1.0);
  for (ScriptValue* v : {&big, &small, &five}) ScriptValue_Free(v);
}

TEST(ScriptValue, WritingTwoFiveGrowsThreeRows) {
  ScriptValue a;
  Put(a, 2 * kArrayRowStride + 5, 1);
  ASSERT_TRUE(a.IsArray());
  ASSERT_EQ(a.array->rowCount, 3);
  EXPECT_EQ(a.array->rows[0].length, 0);
  EXPECT_EQ(a.array->rows[1].length, 0);
  EXPECT_EQ(a.array->rows[2].length, 6);
  for (int c = 0; c < 5; ++c) EXPECT_EQ(a.array->rows[2].elements[c].kind, kKindReal);
  EXPECT_EQ(a.array->owner, &a);
  ScriptValue_Free(&a);
}

TEST(ScriptValue, BadIndexesFillTheErrorRecord) {
  // Two rows: row 0 of three elements, row 1 of one.
  ScriptValue a;
  for (int i = 0; i < 3; ++i) Put(a, i, i);
  Put(a, kArrayRowStride, 7);
  struct Case {
    int32_t index;
    ArrayIndexErrorRecord error;
  } cases[] = {
      {5, {1, 0, 5, 2, 3}},
      {4 * kArrayRowStride, {1, 4, 0, 2, -1}},
      {-kArrayRowStride, {1, -1, 0, 2, -1}},
      {-5, {1, 0, -5, 2, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    ArrayIndexError = {};
    ScriptValue out = Str("held");  // a bad read replaces it with real 0
    EXPECT_FALSE(ScriptValue_GetElement(&out, &a, c.index));
    EXPECT_EQ(out.kind, kKindReal);
    EXPECT_EQ(out.real, 0.0);
    EXPECT_EQ(ArrayIndexError.error, 1);
    EXPECT_EQ(ArrayIndexError.row, c.error.row);
    EXPECT_EQ(ArrayIndexError.column, c.error.column);
    EXPECT_EQ(ArrayIndexError.rowCount, c.error.rowCount);
    EXPECT_EQ(ArrayIndexError.rowLength, c.error.rowLength);
  }
  ScriptValue out;
  EXPECT_TRUE(ScriptValue_GetElement(&out, &a, kArrayRowStride));
  EXPECT_EQ(out.real, 7.0);

  // Negative rows and columns write nothing.
  ScriptValue nine = ScriptValue::FromReal(9);
  ArrayIndexError = {};
  EXPECT_FALSE(ScriptValue_SetElement(&a, &nine, -kArrayRowStride));
  EXPECT_EQ(ArrayIndexError.row, -1);
  EXPECT_EQ(ArrayIndexError.rowLength, -1);
  EXPECT_FALSE(ScriptValue_SetElement(&a, &nine, -3));
  EXPECT_EQ(ArrayIndexError.rowLength, 3);
  EXPECT_EQ(TextOf(a), "{ 0,1,27 }");  // rows follow each other without a comma
  ScriptValue_Free(&a);
}

TEST(ScriptValue, ReadingAnOwnerlessArrayAdoptsIt) {
  ScriptValue a, b;
  Put(a, 0, 1);
  Assign(b, a);
  ScriptValue_Free(&a);
  ASSERT_EQ(b.array->owner, nullptr);
  ScriptValue out;
  EXPECT_TRUE(ScriptValue_GetElement(&out, &b, 0));
  EXPECT_EQ(b.array->owner, &b);
  ScriptValue_Free(&b);
}

TEST(ScriptValue, IndexingANonArrayIsFatalAndWhereTheReportReturnsReadsTheValue) {
  ScriptValue five = ScriptValue::FromReal(5), out;
  g_ShowErrors = false;
  VM_SetFatalErrorsEndProcess(false);
  Error_ResetForTests();
  testing::internal::CaptureStdout();
  EXPECT_TRUE(ScriptValue_GetElement(&out, &five, 3));
  testing::internal::GetCapturedStdout();
  const std::string report = Error_LastText();
  VM_SetFatalErrorsEndProcess(true);
  Error_ResetForTests();
  g_ShowErrors = true;
  EXPECT_NE(report.find("FATAL ERROR in"), std::string::npos) << report;
  EXPECT_NE(report.find("trying to index variable that is not an array"), std::string::npos) << report;
  EXPECT_EQ(out.real, 5.0);
}

TEST(ScriptValueDeathTest, IndexingANonArrayEndsTheProgramWith255) {
  ScriptValue five = ScriptValue::FromReal(5), out;
  EXPECT_EXIT(
      {
        g_ShowErrors = false;
        ScriptValue_GetElement(&out, &five, 3);
      },
      testing::ExitedWithCode(255), "");
}

TEST(ScriptValue, NestedOwnerFollowsItsElementWhenTheRowMoves) {
  ScriptValue a, inner;
  Put(inner, 0, 1);
  Put(a, 0, 0);
  ScriptValue_SetElement(&a, &inner, 0);
  ScriptValue_Free(&inner);  // the nested array is now ownerless
  ScriptValue out;
  ScriptValue_GetElement(&out, &a.array->rows[0].elements[0], 0);  // the element adopts it
  ScriptArray* nested = a.array->rows[0].elements[0].array;
  ASSERT_EQ(nested->owner, &a.array->rows[0].elements[0]);
  Put(a, 1000, 1);  // moves the row
  EXPECT_EQ(nested->owner, &a.array->rows[0].elements[0]);
  ScriptValue_Free(&a);
}

TEST(ScriptValue, FreeingAVeryDeepChainDoesNotRecurse) {
  BlockCount before;
  ScriptValue chain;
  for (int i = 0; i < 100000; ++i) {
    ScriptValue next;
    ScriptValue_SetElement(&next, &chain, 0);
    Assign(chain, next);
    ScriptValue_Free(&next);
  }
  ScriptValue_Free(&chain);
  before.ExpectUnchanged();
}

TEST(ScriptValue, TextForm) {
  struct Case {
    ScriptValue value;
    const char* text;
  } cases[] = {
      {ScriptValue::FromReal(0), "0"},
      {ScriptValue::FromReal(-0.0), "0"},
      {ScriptValue::FromReal(2), "2"},
      {ScriptValue::FromReal(-7), "-7"},
      {ScriptValue::FromReal(0.5), "0.50"},
      {ScriptValue::FromReal(2.5), "2.50"},
      {ScriptValue::FromReal(-1.25), "-1.25"},
      {ScriptValue::FromReal(1e10), "10000000000.00"},
      {ScriptValue::FromReal(2147483647), "2147483647"},
      {ScriptValue::FromReal(-2147483648.0), "-2147483648"},
      {ScriptValue::FromReal(2147483648.0), "2147483648.00"},
      {ScriptValue::FromReal(NAN), "NaN"},
      {ScriptValue::FromReal(INFINITY), "inf"},
      {Str("abc"), "abc"},
      {Str(""), ""},
      {Str(nullptr), ""},
  };
  for (auto& c : cases) {
    EXPECT_EQ(TextOf(c.value), c.text);
    ScriptValue_Free(&c.value);
  }
  // Flagged reals belong to their container and have no text of their own.
  ScriptValue marked = ScriptValue::FromReal(3);
  marked.kind |= 0x40000000u;
  EXPECT_EQ(TextOf(marked), "");
}

TEST(ScriptValue, TextFormOfArrays) {
  ScriptValue a, empty, nested;
  Put(a, 0, 1);
  Put(a, 1, 2.5);
  PutText(a, kArrayRowStride, "a");
  Put(a, kArrayRowStride + 1, 4);
  EXPECT_EQ(TextOf(a), "{ 1,2.50a,4 }");

  empty.kind = kKindArray;
  empty.array = ScriptArray_Create(&empty);
  EXPECT_EQ(TextOf(empty), "{  }");

  ScriptValue_SetElement(&nested, &empty, 1);
  Put(nested, 2, 3);
  EXPECT_EQ(TextOf(nested), "{ 0,{  },3 }");
  for (ScriptValue* v : {&a, &empty, &nested}) ScriptValue_Free(v);
}

TEST(ScriptValue, TextBufferGrowsByDoublingOrToTheNeed) {
  char* buffer = nullptr;
  char* cursor = nullptr;
  int32_t capacity = 0;
  TextBuffer_Append(&cursor, &buffer, &capacity, "abc");
  EXPECT_EQ(capacity, 5);  // doubling 0 is not enough: need + 1
  TextBuffer_Append(&cursor, &buffer, &capacity, "de");
  EXPECT_EQ(capacity, 10);
  TextBuffer_Append(&cursor, &buffer, &capacity, buffer);  // its own text
  EXPECT_STREQ(buffer, "abcdeabcde");
  EXPECT_EQ(cursor, buffer + 10);
  EXPECT_EQ(*cursor, '\0');
  MemoryManager::Release(buffer);
}

// An array that holds itself must neither hang nor overflow the text form
// or the save; both stop at the nesting bound.
TEST(ScriptValue, AnArrayHoldingItselfIsBounded) {
  BlockCount before;
  ScriptValue a;
  Put(a, 0, 1);
  ScriptValue_SetElement(&a, &a, 1);
  std::string expected;
  for (int i = 0; i < kMaxValueNesting; ++i) expected += "{ 1,";
  expected += "{ ... }";
  for (int i = 0; i < kMaxValueNesting; ++i) expected += " }";
  EXPECT_EQ(TextOf(a), expected);
  bool saved = true;
  Saved(a, &saved);
  EXPECT_FALSE(saved);
  ScriptValue_Free(&a.array->rows[0].elements[1]);  // break the cycle
  ScriptValue_Free(&a);
  before.ExpectUnchanged();
}

TEST(ScriptValue, SavedRealCarriesTheNullText) {
  ScriptValue r = ScriptValue::FromReal(1);
  std::vector<uint8_t> expected = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 4, 0};
  EXPECT_EQ(Saved(r), expected);
}

TEST(ScriptValue, SaveLoadSaveGivesTheSameBytes) {
  std::vector<ScriptValue> values;
  values.push_back(ScriptValue::FromReal(3.25));
  values.push_back(ScriptValue::FromReal(NAN));
  ScriptValue marked = ScriptValue::FromReal(12);
  marked.kind |= 0x80000000u;  // a container flag keeps its number
  values.push_back(marked);
  values.push_back(Str("h\xC3\xA9llo"));
  values.push_back(Str(""));
  values.push_back(Str(nullptr));
  ScriptValue grid;
  Put(grid, 0, 1);
  PutText(grid, 1, "two");
  Put(grid, 2 * kArrayRowStride + 1, -4);
  ScriptValue inner;
  PutText(inner, 0, "in");
  ScriptValue_SetElement(&grid, &inner, kArrayRowStride);
  ScriptValue_Free(&inner);
  values.push_back(grid);
  ScriptValue odd;
  odd.kind = 5;  // an unknown kind has no payload
  values.push_back(odd);
  values.push_back(Nested(kMaxValueNesting));

  for (auto& v : values) {
    SCOPED_TRACE(TextOf(v));
    BlockCount before;
    std::vector<uint8_t> first = Saved(v);
    ScriptValue loaded = Str("replaced");
    ASSERT_TRUE(LoadFrom(first, &loaded));
    EXPECT_EQ(loaded.kind, v.kind);
    EXPECT_EQ(TextOf(loaded), TextOf(v));
    if (v.IsReal()) {
      EXPECT_EQ(std::memcmp(&loaded.real, &v.real, 8), 0);
    } else if (v.IsString()) {
      EXPECT_EQ(loaded.text == nullptr, v.text == nullptr);
    } else if (v.IsArray()) {
      EXPECT_EQ(loaded.array->owner, &loaded);
    }
    EXPECT_EQ(Saved(loaded), first);
    ScriptValue_Free(&loaded);
    before.ExpectUnchanged();
    ScriptValue_Free(&v);
  }
}

TEST(ScriptValue, TooDeepArraysAreSavedLoadably) {
  ScriptValue deep = Nested(kMaxValueNesting + 6);
  bool ok = true;
  std::vector<uint8_t> first = Saved(deep, &ok);
  EXPECT_FALSE(ok);
  ScriptValue loaded;
  ASSERT_TRUE(LoadFrom(first, &loaded));
  // The outermost kMaxValueNesting levels survive; a real 0 ends them.
  const ScriptValue* v = &loaded;
  int levels = 0;
  while (v->IsArray()) {
    v = &v->array->rows[0].elements[0];
    ++levels;
  }
  EXPECT_EQ(levels, kMaxValueNesting);
  EXPECT_EQ(v->real, 0.0);
  EXPECT_EQ(Saved(loaded, &ok), first);
  EXPECT_TRUE(ok);
  ScriptValue_Free(&loaded);
  ScriptValue_Free(&deep);
}

// Builds a record from little-endian words and raw bytes.
struct Bytes {
  std::vector<uint8_t> b;
  Bytes& I32(int32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(uint32_t(v) >> (8 * i)));
    return *this;
  }
  Bytes& F64(double d) {
    uint8_t raw[8];
    std::memcpy(raw, &d, 8);
    b.insert(b.end(), raw, raw + 8);
    return *this;
  }
  Bytes& Raw(const char* s, size_t n) {
    b.insert(b.end(), s, s + n);
    return *this;
  }
  Bytes& Real(double d) { return I32(0).F64(d).Raw("\x04", 2); }
};

std::vector<uint8_t> NestedArrays(int depth) {
  Bytes r;
  for (int i = 0; i < depth; ++i) r.I32(kKindArray).I32(1).I32(1);
  r.Real(1);
  return r.b;
}

constexpr int kRowsReachable = INT32_MAX / kArrayRowStride + 1;

// Well-formed apart from their size: more rows or columns than an index
// can address.
std::vector<uint8_t> ManyRows(int rows) {
  Bytes r;
  r.I32(kKindArray).I32(rows);
  for (int i = 0; i < rows; ++i) r.I32(0);
  return r.b;
}

std::vector<uint8_t> LongRow(int length) {
  Bytes r;
  r.I32(kKindArray).I32(1).I32(length);
  for (int i = 0; i < length; ++i) r.Real(0);
  return r.b;
}

TEST(ScriptValue, DamagedRecordsLoadAsRealZeroWithoutLeaks) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"nothing", {}},
      {"short kind word", {1, 0}},
      {"real without its number", Bytes().I32(0).Raw("\0\0\0", 3).b},
      {"real without its text", Bytes().I32(0).F64(1).b},
      {"unterminated text", Bytes().I32(1).F64(0).Raw("abc", 3).b},
      {"row count beyond the bytes", Bytes().I32(2).I32(100).I32(0).b},
      {"more rows than an index reaches", ManyRows(kRowsReachable + 1)},
      {"negative row count", Bytes().I32(2).I32(-1).b},
      {"negative row length", Bytes().I32(2).I32(1).I32(-2).b},
      {"row length beyond the bytes", Bytes().I32(2).I32(1).I32(10).Real(1).Real(2).b},
      {"row longer than a row can be", LongRow(kArrayRowStride + 1)},
      {"second element cut short", Bytes().I32(2).I32(1).I32(2).I32(1).F64(0).Raw("text", 5).I32(1).F64(0).b},
      {"missing second row", Bytes().I32(2).I32(2).I32(1).Real(1).b},
      {"nested too deep", NestedArrays(kMaxValueNesting + 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptValue v = Str("previous");
    BlockCount before;  // counts the previous text, which the load releases
    EXPECT_FALSE(LoadFrom(c.bytes, &v));
    EXPECT_EQ(v.kind, kKindReal);
    EXPECT_EQ(v.real, 0.0);
    EXPECT_EQ(MemoryManager::LiveBlocks(), before.blocks - 1);
  }
  ScriptValue v;
  EXPECT_TRUE(LoadFrom(NestedArrays(kMaxValueNesting), &v));
  ScriptValue_Free(&v);
  EXPECT_TRUE(LoadFrom(ManyRows(kRowsReachable), &v));
  ScriptValue_Free(&v);
  EXPECT_TRUE(LoadFrom(LongRow(kArrayRowStride), &v));
  ScriptValue_Free(&v);
}

TEST(ScriptValue, LoadReadsRealTextsAsNothing) {
  // Untrusted bytes may give a real a text; it is dropped, not leaked.
  BlockCount before;
  ScriptValue v;
  ASSERT_TRUE(LoadFrom(Bytes().I32(0).F64(2).Raw("junk", 5).b, &v));
  EXPECT_EQ(v.real, 2.0);
  before.ExpectUnchanged();
}

TEST(Utf8, DecodeStopsAtATerminatorInsideASequence) {
  struct Case {
    const char* bytes;
    int codePoint;
    int advance;
  } cases[] = {
      {"a", 'a', 1},
      {"\xC3\xA9", 0xE9, 2},
      {"\xE2\x82\xAC", 0x20AC, 3},
      {"\xF0\x9F\x98", 0x07D8, 3},  // four-byte leads read as three
      {"\xC3", 0xC0, 1},
      {"\xE2", 0x2000, 1},
      {"\xE2\x82", 0x2080, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    const char* p = c.bytes;
    EXPECT_EQ(UTF8_DecodeChar(&p), c.codePoint);
    EXPECT_EQ(p - c.bytes, c.advance);
  }
  EXPECT_EQ(UTF8_Length("\xC3\xA9"
                        "a"),
            2);
  EXPECT_EQ(UTF8_Length("\xE2\x82"), 1);
  EXPECT_EQ(UTF8_Length(nullptr), 0);
}

TEST(Utf8, EncodeUsesOneToThreeBytes) {
  struct Case {
    int codePoint;
    const char* bytes;
  } cases[] = {
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xE0\x80\x80"},  // kept to 16 bits, never a terminator
  };
  for (const auto& c : cases) {
    char out[4] = {};
    char* p = out;
    UTF8_EncodeChar(&p, c.codePoint);
    EXPECT_STREQ(out, c.bytes) << c.codePoint;
    EXPECT_EQ(size_t(p - out), std::strlen(c.bytes));
  }
}

TEST(Utf8, CompareN) {
  struct Case {
    const char* a;
    const char* b;
    int n;
    int result;
  } cases[] = {
      {"abc", "abd", 2, 0},
      {"abc", "abd", 3, 'c' - 'd'},
      {"ab", "abc", 3, -'c'},
      {"ab", "ab", 10, 0},
      {"\xE2\x82\xAC", "\xC3\xA9", 1, 0x20AC - 0xE9},
      {nullptr, "", 5, 0},
      {"x", "y", 0, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(UTF8_CompareN(c.a, c.b, c.n), c.result) << c.a << " " << c.b;
}

TEST(StringBuilder, ChainedAppendsGrowByHalf) {
  StringBuilder sb;
  StringBuilder_Append(StringBuilder_Append(&sb, "abc"), nullptr);
  EXPECT_EQ(sb.capacity, 6);
  StringBuilder_Append(&sb, "defg");
  EXPECT_EQ(sb.capacity, 9);
  EXPECT_EQ(sb.used, 7);
  StringBuilder_Append(&sb, sb.data);  // its own text
  EXPECT_STREQ(sb.data, "abcdefgabcdefg");
  sb.used = 0;  // reused as compiled code does
  StringBuilder_Append(&sb, "z");
  EXPECT_STREQ(sb.data, "z");
  CodeMem_Free(sb.data);
}

}  // namespace
