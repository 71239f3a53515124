#include "ds/memory_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ds/hash.h"
#include "script/memory_manager.h"

namespace {

TEST(MemoryStream, WritersGrowToTwiceOrWhatTheyNeed) {
  CMemoryStream s;
  s.WriteInt32(1);
  EXPECT_EQ(s.GetSize(), 4);
  s.WriteInt32(2);
  EXPECT_EQ(s.GetSize(), 8);
  s.WriteReal(1.0);
  EXPECT_EQ(s.GetSize(), 16);
  EXPECT_EQ(s.ToHexText(), "0100000002000000000000000000F03F");
}

TEST(MemoryStream, ReadersStopAtTheEnd) {
  CMemoryStream s;
  EXPECT_EQ(s.ToHexText(), "");
  s.WriteInt32(-2);
  s.SetPosition(0);
  EXPECT_EQ(s.ReadInt32(), -2);
  EXPECT_EQ(s.ReadInt32(), 0);
  EXPECT_EQ(s.GetPosition(), 4);
  EXPECT_EQ(s.ReadReal(), 0.0);
  EXPECT_EQ(s.ReadString(), nullptr);
  char byte;
  EXPECT_EQ(s.Read(&byte, 1), 0);
}

TEST(MemoryStream, HexTextReadsEitherCaseAndOnlyTheLeadingPairs) {
  CMemoryStream s;
  s.FromHexText("0aFF");
  ASSERT_EQ(s.GetSize(), 2);
  EXPECT_EQ(s.GetBuffer()[0], 0x0A);
  EXPECT_EQ(s.GetBuffer()[1], 0xFF);
  s.FromHexText("01020");  // the odd digit is not a byte
  EXPECT_EQ(s.GetSize(), 2);
  s.FromHexText("41zz42");
  EXPECT_EQ(s.GetSize(), 1);
  s.FromHexText("");
  EXPECT_EQ(s.GetSize(), 1);  // an empty text changes nothing
}

TEST(MemoryStream, StringsCarryTheirLength) {
  CMemoryStream s;
  s.WriteString("ab");
  s.WriteString(nullptr);
  s.WriteInt32(1000);  // a length the stream does not hold
  s.WriteString("c");
  s.SetPosition(0);
  char* ab = s.ReadString();
  EXPECT_STREQ(ab, "ab");
  MemoryManager::Release(ab);
  EXPECT_EQ(s.ReadString(), nullptr);
  char* cut = s.ReadString();
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(s.GetPosition(), s.GetSize());  // cut at the end of the stream, never past it
  MemoryManager::Release(cut);
}

TEST(MemoryStream, CopyAppendsOrBorrowsAWindow) {
  CMemoryStream source;
  source.WriteInt32(0x04030201);
  source.WriteInt32(0x08070605);
  CMemoryStream whole;
  whole.CopyFrom(&source, 0, false);
  EXPECT_EQ(whole.ToHexText(), "0102030405060708");
  EXPECT_EQ(source.GetPosition(), 8);

  source.SetPosition(2);
  CMemoryStream window;
  window.CopyFrom(&source, 3, true);
  EXPECT_EQ(window.GetSize(), 3);
  EXPECT_EQ(window.GetPosition(), 3);
  EXPECT_EQ(source.GetPosition(), 5);
  EXPECT_EQ(window.ToHexText(), "030405");
  window.WriteInt32(0);  // writing past a window copies it out first
  EXPECT_EQ(source.GetBuffer()[5], 0x06);

  source.SetPosition(6);
  CMemoryStream part;
  part.CopyFrom(&source, 100, false);
  EXPECT_EQ(part.ToHexText(), "0708");
}

TEST(MemoryStream, UnscrambleUndoesTheSeededSubstitution) {
  // The substitution the routine undoes, built independently.
  auto table = [](int seed) {
    int q = seed / 250, r = seed - 250 * q, step = r + 6;
    if (step < 0) step += 256;
    if (q < 0) q += 256;
    std::vector<int> t(256);
    for (int i = 0; i < 256; ++i) t[size_t(i)] = i;
    int c = q + step;
    for (int i = 0; i < 10000; ++i, c += step) std::swap(t[size_t(c % 254 + 1)], t[size_t(c % 254 + 2)]);
    return t;
  };
  for (int seed : {0, 1, 249, 250, 12345, -7, -60000}) {
    std::vector<int> t = table(seed);
    CMemoryStream s;
    for (int b = 0; b < 256; ++b) {
      uint8_t byte = uint8_t(t[size_t(b)]);
      s.Write(&byte, 1);
    }
    s.Unscramble(seed, 0, 0);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(s.GetBuffer()[b], b) << seed;
  }
  CMemoryStream s;
  s.WriteInt32(0x01010101);
  s.Unscramble(-100000000, 1, 2);  // far outside the seeds the routine knows: no crash
  EXPECT_EQ(s.GetBuffer()[0], 1);
  EXPECT_EQ(s.GetBuffer()[3], 1);
}

TEST(Crc32, IsTheComplementOfTheCommonCrc) {
  Crc32_InitTable();
  EXPECT_EQ(Crc32_String(""), 0xFFFFFFFFu);
  EXPECT_EQ(Crc32_String(nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(Crc32_String("abc"), 0xCADBBE3Du);
  EXPECT_EQ(Crc32_Bytes("abc", 0), 0xFFFFFFFFu);
  double one = 1.0;
  EXPECT_EQ(Crc32_Bytes(&one, 8), ~0xC7F813E9u);  // zlib.crc32 of 00 00 00 00 00 00 F0 3F
}

}  // namespace

namespace {

TEST(ContainerValues, RoundTripRealsTextsArraysAndDropMarks) {
  CMemoryStream s;
  ScriptValue real = ScriptValue::FromReal(-0.0);
  ScriptValue text;
  ScriptValue_SetText(&text, "ab");
  ScriptValue array;
  ScriptValue one = ScriptValue::FromReal(1), two = ScriptValue::FromReal(2);
  ScriptValue_SetElement(&array, &one, 0);
  ScriptValue_SetElement(&array, &two, 1);
  ScriptValue_SetElement(&array, &text, kArrayRowStride);
  ScriptValue marked = ScriptValue::FromReal(7);
  marked.kind = 0x40000000u;
  for (ScriptValue* v : {&real, &text, &array, &marked}) DS_ValueWrite(&s, v);
  EXPECT_EQ(s.ToHexText().substr(0, 48), "000000000000000000000080" "010000000200000061620200");

  s.SetPosition(0);
  ScriptValue back[4];
  for (ScriptValue& v : back) EXPECT_TRUE(DS_ValueRead(&v, &s));
  EXPECT_TRUE(std::signbit(back[0].real));
  EXPECT_STREQ(back[1].text, "ab");
  ASSERT_TRUE(back[2].IsArray());
  EXPECT_EQ(back[2].array->rowCount, 2);
  EXPECT_EQ(back[2].array->rows[0].elements[1].real, 2);
  EXPECT_STREQ(back[2].array->rows[1].elements[0].text, "ab");
  EXPECT_EQ(back[3].kind, kKindReal);  // the id was never written
  EXPECT_EQ(back[3].real, 0);
  for (ScriptValue* v : {&text, &array, &back[0], &back[1], &back[2], &back[3]}) ScriptValue_Free(v);
}

TEST(ContainerValues, DamagedBytesGiveSoundValues) {
  const char* damaged[] = {
      "00000000" "0000",                  // a real cut short
      "02000000" "FFFFFF7F",              // an array with more rows than bytes
      "02000000" "01000000" "FFFFFFFF",   // a row of negative length
      "01000000",                         // a text with no length
  };
  for (const char* hex : damaged) {
    CMemoryStream s;
    s.FromHexText(hex);
    ScriptValue v;
    ScriptValue_SetText(&v, "old");
    EXPECT_FALSE(DS_ValueRead(&v, &s)) << hex;
    ScriptValue_Free(&v);
  }
}

}  // namespace
