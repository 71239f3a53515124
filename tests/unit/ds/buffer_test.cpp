#include "ds/buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "script/memory_manager.h"
#include "unit/world_reset.h"

namespace {

int WriteReal(IBuffer& b, int type, double r) {
  ScriptValue v = ScriptValue::FromReal(r);
  return b.Write(type, &v);
}

double ReadReal(IBuffer& b, int type, int* status = nullptr) {
  ScriptValue v;
  int s = b.Read(type, &v);
  if (status) *status = s;
  return v.real;
}

std::vector<uint8_t> Bytes(const IBuffer& b, int from, int count) {
  return std::vector<uint8_t>(b.Data() + from, b.Data() + from + count);
}

TEST(IBuffer, TypedEncodings) {
  struct Case {
    int type;
    double written;
    std::vector<uint8_t> bytes;
    double read;
  } cases[] = {
      {eBuffer_U8, 300, {0x2C}, 44},
      {eBuffer_U8, -1, {0xFF}, 255},
      {eBuffer_U8, NAN, {0x00}, 0},
      {eBuffer_S8, -1.9, {0xFF}, -1},
      {eBuffer_U16, 65537, {0x01, 0x00}, 1},
      {eBuffer_S16, -2, {0xFE, 0xFF}, -2},
      {eBuffer_U32, 4294967295.0, {0xFF, 0xFF, 0xFF, 0xFF}, 4294967295.0},
      {eBuffer_U32, -1, {0xFF, 0xFF, 0xFF, 0xFF}, 4294967295.0},
      {eBuffer_U32, 1e300, {0xFF, 0xFF, 0xFF, 0xFF}, 4294967295.0},  // saturates first
      {eBuffer_S32, -7.9, {0xF9, 0xFF, 0xFF, 0xFF}, -7},
      {eBuffer_S32, 4294967295.0, {0x00, 0x00, 0x00, 0x80}, -2147483648.0},
      {eBuffer_S32, -INFINITY, {0x00, 0x00, 0x00, 0x80}, -2147483648.0},
      {eBuffer_S32, NAN, {0x00, 0x00, 0x00, 0x00}, 0},
      {eBuffer_F32, 1.5, {0x00, 0x00, 0xC0, 0x3F}, 1.5},
      {eBuffer_F64, -2, {0, 0, 0, 0, 0, 0, 0, 0xC0}, -2},
      {eBuffer_Bool, 0.5, {0x00}, 0},
      {eBuffer_Bool, 0.6, {0x01}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " value " << c.written);
    IBuffer b(16, eBuffer_Fixed, 1);
    ASSERT_EQ(WriteReal(b, c.type, c.written), 0);
    EXPECT_EQ(b.Position(), int(c.bytes.size()));
    EXPECT_EQ(Bytes(b, 0, int(c.bytes.size())), c.bytes);
    b.Seek(0, 0);
    int status = -9;
    EXPECT_EQ(ReadReal(b, c.type, &status), c.read);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(b.Position(), int(c.bytes.size()));
  }
}

TEST(IBuffer, FixedBufferRefusesAtItsEndAndReadsMinusThreePastIt) {
  IBuffer b(4, eBuffer_Fixed, 1);
  EXPECT_EQ(WriteReal(b, eBuffer_S32, 123456), 0);
  EXPECT_EQ(WriteReal(b, eBuffer_U8, 1), -2);
  b.Seek(0, 3);
  EXPECT_EQ(WriteReal(b, eBuffer_U16, 1), -2);  // one byte left: nothing written
  EXPECT_EQ(Bytes(b, 0, 4), (std::vector<uint8_t>{0x40, 0xE2, 0x01, 0x00}));
  b.Seek(0, 0);
  EXPECT_EQ(ReadReal(b, eBuffer_S32), 123456);
  EXPECT_EQ(ReadReal(b, eBuffer_U8), -3);
  // Three bytes left are not enough for a 32-bit read, which leaves the
  // position alone.
  b.Seek(0, 1);
  EXPECT_EQ(ReadReal(b, eBuffer_U32), -3);
  EXPECT_EQ(b.Position(), 1);
  EXPECT_EQ(b.Size(), 4);
}

TEST(IBuffer, GrowBufferDoublesUntilTheWriteFits) {
  IBuffer b(1, eBuffer_Grow, 1);
  EXPECT_EQ(WriteReal(b, eBuffer_U8, 7), 0);
  EXPECT_EQ(b.Size(), 2);  // the position reached the end
  EXPECT_EQ(WriteReal(b, eBuffer_F64, 1.25), 0);
  EXPECT_EQ(b.Size(), 16);
  b.Seek(0, 0);
  EXPECT_EQ(ReadReal(b, eBuffer_U8), 7);
  EXPECT_EQ(ReadReal(b, eBuffer_F64), 1.25);

  IBuffer empty(0, eBuffer_Grow, 1);
  EXPECT_EQ(WriteReal(empty, eBuffer_F64, 3), 0);
  EXPECT_EQ(empty.Size(), 8);
}

TEST(IBuffer, AlignmentPlacesItemsOnMultiples) {
  IBuffer b(16, eBuffer_Fixed, 4);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.Data()) % 4, 0u);
  WriteReal(b, eBuffer_U8, 1);
  WriteReal(b, eBuffer_U16, 0x0203);
  EXPECT_EQ(Bytes(b, 0, 6), (std::vector<uint8_t>{1, 0, 0, 0, 3, 2}));
  b.Seek(0, 0);
  EXPECT_EQ(ReadReal(b, eBuffer_U8), 1);
  EXPECT_EQ(ReadReal(b, eBuffer_U16), 0x0203);

  // A grow buffer whose position alignment pushed past its end still takes
  // a byte inside it.
  IBuffer g(5, eBuffer_Grow, 8);
  g.Seek(0, 4);
  EXPECT_EQ(WriteReal(g, eBuffer_U8, 9), 0);
  EXPECT_EQ(g.Data()[8], 9);
  EXPECT_GE(g.Size(), 9);
}

TEST(IBuffer, AlignmentIsAPowerOfTwoUpTo1024) {
  struct Case {
    int requested, alignment;
  } cases[] = {{-3, 1}, {0, 1}, {1, 1}, {2, 2}, {3, 4}, {64, 64}, {100, 128}, {5000, 1024}};
  for (const auto& c : cases) {
    IBuffer b(8, eBuffer_Fixed, c.requested);
    EXPECT_EQ(b.Alignment(), c.alignment) << c.requested;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.Data()) % uintptr_t(c.alignment), 0u);
  }
}

TEST(IBuffer, BadTypesAreRefused) {
  IBuffer b(8, eBuffer_Grow, 1);
  for (int type : {0, 7, 12, -1}) EXPECT_EQ(WriteReal(b, type, 1), -1) << type;
  EXPECT_EQ(b.Position(), 0);
  int status = 0;
  EXPECT_EQ(ReadReal(b, 7, &status), 0);  // the two-byte type moves past its bytes
  EXPECT_EQ(status, -1);
  EXPECT_EQ(b.Position(), 2);
  EXPECT_EQ(ReadReal(b, 99, &status), 0);
  EXPECT_EQ(status, -1);
  EXPECT_EQ(b.Position(), 2);
}

TEST(IBuffer, StringsAndTheNullText) {
  IBuffer b(4, eBuffer_Grow, 1);
  EXPECT_EQ(b.WriteString(nullptr), 0);
  EXPECT_EQ(b.WriteString(""), 0);
  EXPECT_EQ(b.WriteString("h\xC3\xA9"), 0);
  EXPECT_EQ(Bytes(b, 0, b.Position()), (std::vector<uint8_t>{4, 0, 0, 'h', 0xC3, 0xA9, 0}));
  b.Seek(0, 0);
  EXPECT_EQ(b.ReadString(), nullptr);
  char* empty = b.ReadString();
  ASSERT_NE(empty, nullptr);
  EXPECT_STREQ(empty, "");
  char* text = b.ReadString();
  EXPECT_STREQ(text, "h\xC3\xA9");
  MemoryManager::Release(empty);
  MemoryManager::Release(text);
}

TEST(IBuffer, AnUnterminatedStringEndsAtTheBuffer) {
  IBuffer b(3, eBuffer_Fixed, 1);
  std::memcpy(b.Data(), "abc", 3);
  EXPECT_FALSE(b.HasTerminatedString());
  EXPECT_EQ(b.BytesLeft(), 3);
  ScriptValue v;
  EXPECT_EQ(b.Read(eBuffer_String, &v), 0);
  EXPECT_STREQ(v.Text(), "abc");
  EXPECT_EQ(b.Position(), 3);
  EXPECT_EQ(b.ReadString(), nullptr);  // nothing left
  ScriptValue_Free(&v);
}

TEST(IBuffer, Seek) {
  struct Case {
    int start, base, offset, position;
  } cases[] = {
      {5, 0, 3, 3},   {5, 0, -4, 0},  {5, 0, 50, 9},   {5, 1, 2, 7},         {5, 1, -20, 0},
      {5, 1, 99, 9},  {5, 2, 0, 9},   {5, 2, 100, 1},  {5, 2, -3, 9},        {5, 7, 1, 5},
      {9, 1, 2147483647, 9},  // no overflow
  };
  for (const auto& c : cases) {
    IBuffer b(10, eBuffer_Fixed, 1);
    b.Seek(0, c.start);
    EXPECT_EQ(b.Seek(c.base, c.offset), c.position) << c.base << " " << c.offset;
    EXPECT_EQ(b.Position(), c.position);
  }
}

TEST(IBuffer, ResizeKeepsTheBytesAndResetsAPositionPastTheEnd) {
  IBuffer b(8, eBuffer_Fixed, 1);
  WriteReal(b, eBuffer_F64, 2.5);
  b.Resize(16);
  EXPECT_EQ(b.Position(), 8);
  std::vector<uint8_t> zeros(8, 0);
  EXPECT_EQ(Bytes(b, 8, 8), zeros);
  b.Seek(0, 0);
  EXPECT_EQ(ReadReal(b, eBuffer_F64), 2.5);
  b.Seek(0, 6);
  b.Resize(4);
  EXPECT_EQ(b.Position(), 0);
  EXPECT_EQ(b.Size(), 4);
}

TEST(IBuffer, ReleasesEverythingItHeld) {
  uint32_t blocks = MemoryManager::LiveBlocks();
  {
    IBuffer b(2, eBuffer_Grow, 16);
    for (int i = 0; i < 100; ++i) b.WriteString("grow and keep the scratch text");
    b.Seek(0, 0);
    ScriptValue v = ScriptValue::FromReal(1);
    b.Read(eBuffer_String, &v);
    b.Read(eBuffer_String, &v);  // reading over a string releases it
    ScriptValue_Free(&v);
  }
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

// Every type after a byte at alignments 1, 2, 4 and 8: it lands on the next
// multiple and reads back the same way.
TEST(IBuffer, EveryTypeAtEveryAlignment) {
  struct Item {
    int type;
    double value;
  } items[] = {{eBuffer_U8, 250},     {eBuffer_S8, -100},   {eBuffer_U16, 65000}, {eBuffer_S16, -30000},
               {eBuffer_U32, 4e9},    {eBuffer_S32, -2e9},  {eBuffer_F32, -0.25}, {eBuffer_F64, 1e-300},
               {eBuffer_Bool, 1}};
  for (int alignment : {1, 2, 4, 8}) {
    for (const Item& item : items) {
      for (int kind : {eBuffer_Fixed, eBuffer_Grow, eBuffer_Wrap}) {
        SCOPED_TRACE(testing::Message() << "alignment " << alignment << " type " << item.type << " kind " << kind);
        IBuffer b(32, kind, alignment);
        ASSERT_EQ(WriteReal(b, eBuffer_U8, 7), 0);
        ASSERT_EQ(WriteReal(b, item.type, item.value), 0);
        const int at = alignment;  // the first multiple after the byte
        EXPECT_EQ(b.Position(), at + Buffer_SizeOfType(item.type));
        ScriptValue peeked;
        b.Peek(at, item.type, &peeked);
        EXPECT_EQ(peeked.real, item.value);
        for (int gap = 1; gap < at; ++gap) EXPECT_EQ(b.Data()[gap], 0);
        b.Seek(eBuffer_SeekStart, 0);
        EXPECT_EQ(ReadReal(b, eBuffer_U8), 7);
        EXPECT_EQ(ReadReal(b, item.type), item.value);
      }
    }
    // A string too: its bytes and NUL on the multiple.
    IBuffer b(32, eBuffer_Fixed, alignment);
    WriteReal(b, eBuffer_U8, 1);
    ScriptValue text;
    ScriptValue_SetText(&text, "hi");
    ASSERT_EQ(b.Write(eBuffer_String, &text), 0);
    EXPECT_EQ(Bytes(b, alignment, 3), (std::vector<uint8_t>{'h', 'i', 0}));
    b.Seek(eBuffer_SeekStart, 0);
    ReadReal(b, eBuffer_U8);
    ScriptValue back;
    b.Read(eBuffer_String, &back);
    EXPECT_STREQ(back.Text(), "hi");
    ScriptValue_Free(&text);
    ScriptValue_Free(&back);
  }
}

TEST(IBuffer, WrapBufferRunsRoundItsEnd) {
  // Three 16-bit values in five bytes: the third is split over bytes 4 and 0.
  IBuffer b(5, eBuffer_Wrap, 1);
  for (double v : {0x0201, 0x0403, 0x0605}) ASSERT_EQ(WriteReal(b, eBuffer_U16, v), 0);
  EXPECT_EQ(Bytes(b, 0, 5), (std::vector<uint8_t>{0x06, 0x02, 0x03, 0x04, 0x05}));
  EXPECT_EQ(b.Position(), 1);
  b.Seek(eBuffer_SeekStart, 4);
  EXPECT_EQ(ReadReal(b, eBuffer_U16), 0x0605);
  EXPECT_EQ(b.Position(), 1);
  ScriptValue v;
  b.Peek(9, eBuffer_U16, &v);  // offsets are taken modulo the size
  EXPECT_EQ(v.real, 0x0605);
  // A byte write at the last byte wraps the position to 0.
  b.Seek(eBuffer_SeekStart, 4);
  WriteReal(b, eBuffer_U8, 9);
  EXPECT_EQ(b.Position(), 0);
}

TEST(IBuffer, WrapPhaseKeepsAlignmentAcrossTurns) {
  // Six bytes, alignment 4: after one turn the phase is 2, so the next
  // aligned write from position 0 lands at 2.
  IBuffer six(6, eBuffer_Wrap, 4);
  six.Seek(eBuffer_SeekStart, 4);
  WriteReal(six, eBuffer_U16, 0x0202);  // bytes 4 and 5: the position reaches the end and wraps
  EXPECT_EQ(six.Position(), 0);
  EXPECT_EQ(six.WrapPhase(), 2);
  WriteReal(six, eBuffer_U16, 0x0303);
  EXPECT_EQ(Bytes(six, 0, 6), (std::vector<uint8_t>{0, 0, 3, 3, 2, 2}));
  WriteReal(six, eBuffer_U8, 4);  // position 4: 4 + 2 is no multiple, so 6, which wraps to 0
  EXPECT_EQ(six.Data()[0], 4);
  EXPECT_EQ(six.WrapPhase(), 0);

  // Ten bytes, alignment 4: the third 32-bit value wraps (bytes 8, 9, 0, 1),
  // then the phase puts the fourth at 2; reading from the start finds all four.
  IBuffer b(10, eBuffer_Wrap, 4);
  for (double v : {0x11111111, 0x22222222, 0x33333333}) WriteReal(b, eBuffer_U32, v);
  EXPECT_EQ(b.Position(), 2);
  EXPECT_EQ(b.WrapPhase(), 2);
  WriteReal(b, eBuffer_U16, 0x4444);
  EXPECT_EQ(Bytes(b, 0, 10), (std::vector<uint8_t>{0x33, 0x33, 0x44, 0x44, 0x22, 0x22, 0x22, 0x22, 0x33, 0x33}));
  b.Seek(eBuffer_SeekStart, 0);
  EXPECT_EQ(b.WrapPhase(), 0);
  ReadReal(b, eBuffer_U32);
  EXPECT_EQ(ReadReal(b, eBuffer_U32), 0x22222222);
  EXPECT_EQ(ReadReal(b, eBuffer_U32), 0x33333333);
  EXPECT_EQ(ReadReal(b, eBuffer_U16), 0x4444);
}

TEST(IBuffer, WrapSeekTurnsInOneStep) {
  struct Case {
    int start, offset, position, phase;
  } cases[] = {
      {0, 7, 1, 2},            // one turn forward adds the size (6) to the phase
      {0, -1, 5, 2},           // one turn back adds 4 - 6 mod 4
      {0, -7, 5, 0},           // two turns back
      {3, 2, 5, 0},            // no turn
      {0, 2147483647, 1, 2},   // 357913941 turns, at once
      {5, -2147483647 - 1 + 5, 2, 0},
  };
  for (const auto& c : cases) {
    IBuffer b(6, eBuffer_Wrap, 4);
    b.Seek(eBuffer_SeekStart, c.start);
    EXPECT_EQ(b.Seek(eBuffer_SeekRelative, c.offset), c.position) << c.start << " " << c.offset;
    EXPECT_EQ(b.WrapPhase(), c.phase) << c.start << " " << c.offset;
  }
}

TEST(IBuffer, PeekAndPokeNeitherMoveNorGrow) {
  IBuffer b(4, eBuffer_Grow, 4);
  ScriptValue v = ScriptValue::FromReal(0x01020304);
  b.Poke(1, eBuffer_U32, &v);  // unaligned, and it would not fit: nothing
  EXPECT_EQ(Bytes(b, 0, 4), (std::vector<uint8_t>(4, 0)));
  b.Poke(0, eBuffer_U32, &v);
  EXPECT_EQ(Bytes(b, 0, 4), (std::vector<uint8_t>{4, 3, 2, 1}));
  b.Poke(-1, eBuffer_U8, &v);
  b.Poke(3, eBuffer_F16, &v);
  EXPECT_EQ(b.Size(), 4);
  EXPECT_EQ(b.Position(), 0);
  ScriptValue out = ScriptValue::FromReal(5);
  struct Case {
    int offset, type;
    double value;
  } cases[] = {{1, eBuffer_U8, 3},      {1, eBuffer_S16, 0x0203}, {0, eBuffer_String, 0}, {0, eBuffer_F16, 0},
               {-1, eBuffer_U8, 0},     {3, eBuffer_U16, 0},      {0, 99, 0},            {4, eBuffer_U8, 0}};
  for (const auto& c : cases) {
    b.Peek(c.offset, c.type, &out);
    EXPECT_TRUE(out.IsReal());
    EXPECT_EQ(out.real, c.value) << c.offset << " " << c.type;
  }
  // Strings poke their NUL too; a wrap buffer takes them round its end.
  IBuffer w(4, eBuffer_Wrap, 1);
  ScriptValue text;
  ScriptValue_SetText(&text, "abc");
  w.Poke(6, eBuffer_String, &text);
  EXPECT_EQ(Bytes(w, 0, 4), (std::vector<uint8_t>{'c', 0, 'a', 'b'}));
  ScriptValue_Free(&text);
}

TEST(IBuffer, FastBufferTakesUnsignedBytesOnly) {
  Buffer_Fast b(2, 8);
  EXPECT_EQ(b.Kind(), eBuffer_Fast);
  EXPECT_EQ(WriteReal(b, eBuffer_S8, 1), -4);
  EXPECT_EQ(WriteReal(b, eBuffer_U8, 257.9), 0);
  EXPECT_EQ(WriteReal(b, eBuffer_U8, 2), 0);  // no alignment: lands at 1
  EXPECT_EQ(WriteReal(b, eBuffer_U8, 3), -2);
  EXPECT_EQ(b.Position(), 2);
  EXPECT_EQ(Bytes(b, 0, 2), (std::vector<uint8_t>{1, 2}));
  b.Seek(eBuffer_SeekStart, 0);
  int status = 0;
  EXPECT_EQ(ReadReal(b, eBuffer_U16, &status), 0);
  EXPECT_EQ(status, -4);
  EXPECT_EQ(ReadReal(b, eBuffer_U8), 1);
  EXPECT_EQ(ReadReal(b, eBuffer_U8), 2);
  EXPECT_EQ(ReadReal(b, eBuffer_U8, &status), 0);
  EXPECT_EQ(status, -2);
  ScriptValue v = ScriptValue::FromReal(9);
  b.Poke(2, eBuffer_U8, &v);
  b.Poke(0, eBuffer_U16, &v);
  b.Poke(1, eBuffer_U8, &v);
  EXPECT_EQ(Bytes(b, 0, 2), (std::vector<uint8_t>{1, 9}));
  b.Peek(1, eBuffer_U8, &v);
  EXPECT_EQ(v.real, 9);
  b.Peek(1, eBuffer_S8, &v);
  EXPECT_EQ(v.real, 0);
}

TEST(IBuffer, FillPlacesValuesOnAlignedOffsetsAndZeroesTheGaps) {
  struct Case {
    const char* what;
    int size, kind, alignment, offset, fillSize, type;
    double value;
    std::vector<uint8_t> bytes;  // the whole buffer after, which starts as 0xEE
  } cases[] = {
      {"one byte, alignment 4", 10, eBuffer_Fixed, 4, 0, -1, eBuffer_U8, 7, {7, 0, 0, 0, 7, 0, 0, 0, 7, 0}},
      {"alignment 1: every byte", 5, eBuffer_Fixed, 1, 1, 3, eBuffer_U8, 7, {0xEE, 7, 7, 7, 0xEE}},
      {"starts in a gap", 8, eBuffer_Fixed, 4, 1, -1, eBuffer_U16, 0x0102, {0xEE, 0, 0, 0, 2, 1, 0, 0}},
      // A 10-byte range of 32-bit values: the 2-byte tail is left alone.
      {"short tail, alignment 1", 10, eBuffer_Fixed, 1, 0, 10, eBuffer_U32, 0x01010101,
       {1, 1, 1, 1, 1, 1, 1, 1, 0xEE, 0xEE}},
      {"short tail, alignment 4", 10, eBuffer_Fixed, 4, 0, 10, eBuffer_U32, 0x01010101,
       {1, 1, 1, 1, 1, 1, 1, 1, 0xEE, 0xEE}},
      {"size clamped to the end", 6, eBuffer_Fixed, 1, 4, 1000000000, eBuffer_U8, 5, {0xEE, 0xEE, 0xEE, 0xEE, 5, 5}},
      {"offset outside", 4, eBuffer_Fixed, 1, 4, 2, eBuffer_U8, 5, {0xEE, 0xEE, 0xEE, 0xEE}},
      {"negative offset", 4, eBuffer_Fixed, 1, -1, 2, eBuffer_U8, 5, {0xEE, 0xEE, 0xEE, 0xEE}},
      {"bad type", 4, eBuffer_Fixed, 1, 0, -1, eBuffer_F16, 5, {0xEE, 0xEE, 0xEE, 0xEE}},
      {"wrap round the end", 6, eBuffer_Wrap, 2, 4, 4, eBuffer_U8, 5, {5, 0, 0xEE, 0xEE, 5, 0}},
      {"wrap, offset modulo", 6, eBuffer_Wrap, 1, 13, 2, eBuffer_U8, 5, {0xEE, 5, 5, 0xEE, 0xEE, 0xEE}},
      // Filling more than once round gives what one turn gives, at once.
      {"wrap, huge size", 4, eBuffer_Wrap, 1, 0, 2000000000, eBuffer_U16, 0x0102, {2, 1, 2, 1}},
      {"strings", 8, eBuffer_Fixed, 1, 0, -1, eBuffer_String, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    IBuffer b(c.size, c.kind, c.alignment);
    std::memset(b.Data(), 0xEE, size_t(c.size));
    ScriptValue v = ScriptValue::FromReal(c.value);
    b.Fill(c.offset, c.fillSize, c.type, &v);
    EXPECT_EQ(Bytes(b, 0, c.size), c.bytes) << c.what;
    EXPECT_EQ(b.Size(), c.size) << c.what;
  }
  IBuffer b(7, eBuffer_Fixed, 1);
  ScriptValue text;
  ScriptValue_SetText(&text, "ab");
  b.Fill(0, -1, eBuffer_String, &text);
  EXPECT_EQ(Bytes(b, 0, 7), (std::vector<uint8_t>{'a', 'b', 0, 'a', 'b', 0, 0}));
  ScriptValue_Free(&text);
}

TEST(IBuffer, ResizeIsBounded) {
  IBuffer b(8, eBuffer_Grow, 1);
  b.Data()[7] = 9;
  uint32_t bytes = MemoryManager::LiveBytes();
  for (int size : {-1, -2147483647 - 1, kBufferMaxSize + 1, 2147483647}) {
    EXPECT_FALSE(b.Resize(size)) << size;
    EXPECT_EQ(b.Size(), 8);
    EXPECT_EQ(b.Data()[7], 9);
  }
  EXPECT_EQ(MemoryManager::LiveBytes(), bytes);
  EXPECT_TRUE(b.Resize(0));
  EXPECT_EQ(b.Size(), 0);
  EXPECT_NE(b.Data(), nullptr);
  // A grow buffer stops at the limit instead of doubling past it.
  IBuffer g(kBufferMaxSize / 2 + 1, eBuffer_Grow, 1);
  g.Seek(eBuffer_SeekStart, kBufferMaxSize / 2);
  EXPECT_EQ(WriteReal(g, eBuffer_F64, 1), 0);
  EXPECT_EQ(g.Size(), kBufferMaxSize);
  g.Seek(eBuffer_SeekStart, kBufferMaxSize - 4);
  EXPECT_EQ(WriteReal(g, eBuffer_F64, 1), -2);
}

TEST(IBuffer, AnEmptyBufferIsSafeEverywhere) {
  for (int kind : {eBuffer_Fixed, eBuffer_Grow, eBuffer_Wrap, eBuffer_Fast}) {
    IBuffer b(8, kind, 4);
    ASSERT_TRUE(b.Resize(0));
    SCOPED_TRACE(kind);
    EXPECT_EQ(ReadReal(b, eBuffer_U32), -3);
    ScriptValue v = ScriptValue::FromReal(1);
    b.Peek(0, eBuffer_U8, &v);
    EXPECT_EQ(v.real, 0);
    b.Poke(0, eBuffer_U8, &v);
    b.Fill(0, -1, eBuffer_U8, &v);
    for (int base : {0, 1, 2}) EXPECT_EQ(b.Seek(base, 5), 0);
    ScriptValue digest = ScriptValue::FromReal(-1);
    b.MD5(&digest, 0, -1);
    b.SHA1(&digest, 0, -1);
    EXPECT_EQ(digest.real, -1);  // left alone
    EXPECT_TRUE(b.ExtractBlock(0, -1).empty());
    EXPECT_EQ(WriteReal(b, eBuffer_U16, 0x0102), kind == eBuffer_Grow ? 0 : -2);
  }
  IBuffer grow;
  EXPECT_EQ(grow.Size(), 0);
  EXPECT_EQ(grow.Kind(), eBuffer_Grow);
  EXPECT_EQ(WriteReal(grow, eBuffer_U8, 3), 0);
  EXPECT_EQ(grow.Data()[0], 3);
}

TEST(IBuffer, CopyMemoryClampsGrowsOrWraps) {
  const uint8_t src[] = {1, 2, 3, 4, 5, 6};
  struct Case {
    const char* what;
    int size, kind;
    int sourceOffset, count, destinationOffset;
    bool sourceWraps;
    std::vector<uint8_t> bytes;  // the destination after; it starts as zeros
  } cases[] = {
      {"plain", 6, eBuffer_Fixed, 1, 3, 2, false, {0, 0, 2, 3, 4, 0}},
      {"count cut at the destination's end", 4, eBuffer_Fixed, 0, -1, 2, false, {0, 0, 1, 2}},
      {"count cut at the source's end", 6, eBuffer_Fixed, 4, 9, 0, false, {5, 6, 0, 0, 0, 0}},
      {"offsets clamped", 3, eBuffer_Fixed, -5, 2, 99, false, {0, 0, 1}},
      {"grows to exactly the end", 2, eBuffer_Grow, 0, 3, 4, false, {0, 0, 0, 0, 1, 2, 3}},
      {"negative destination in a grow buffer", 2, eBuffer_Grow, 0, 3, -4, false, {1, 2, 3}},
      {"destination wraps", 4, eBuffer_Wrap, 0, 3, 6, false, {3, 0, 1, 2}},
      {"source wraps", 4, eBuffer_Fixed, 5, 3, 0, true, {6, 1, 2, 0}},
      {"source offset modulo", 4, eBuffer_Fixed, -1, 2, 0, true, {6, 1, 0, 0}},
      // Round both ends many times: only the last turn stays.
      {"both wrap, a huge count", 4, eBuffer_Wrap, 0, 2000000001, 0, true, {3, 6, 1, 2}},
  };
  for (const auto& c : cases) {
    IBuffer b(c.size, c.kind, 1);
    const bool grows = c.kind == eBuffer_Grow;
    EXPECT_EQ(Buffer_CopyMemory(&b, src, 6, c.sourceOffset, c.count, c.destinationOffset, grows,
                                c.kind == eBuffer_Wrap, c.sourceWraps),
              1)
        << c.what;
    EXPECT_EQ(Bytes(b, 0, b.Size()), c.bytes) << c.what;
  }
  IBuffer b(4, eBuffer_Fixed, 1);
  EXPECT_EQ(Buffer_CopyMemory(&b, src, 0, 0, 1, 0, false, false, false), 0);
  EXPECT_EQ(Buffer_CopyMemory(nullptr, src, 6, 0, 1, 0, false, false, false), 0);
  EXPECT_EQ(Buffer_CopyMemory(&b, src, 6, 0, 1, kBufferMaxSize, true, false, false), 0);
  EXPECT_EQ(b.Size(), 4);
  // An empty fixed buffer grows to take a copy.
  IBuffer empty(0, eBuffer_Fixed, 1);
  empty.CopyFromMemory(src, 6, 0, -1, 0);
  EXPECT_EQ(empty.Size(), 6);
}

TEST(IBuffer, CopyIntoItselfKeepsTheBytes) {
  IBuffer b(4, eBuffer_Grow, 1);
  for (int i = 0; i < 4; ++i) b.Data()[i] = uint8_t(i + 1);
  b.Copy(0, 4, &b, 3);  // grows, which moves the bytes being copied
  EXPECT_EQ(Bytes(b, 0, b.Size()), (std::vector<uint8_t>{1, 2, 3, 1, 2, 3, 4}));
}

TEST(IBuffer, Base64DecodeWritesExactlyTheDecodedBytes) {
  IBuffer b(8, eBuffer_Fixed, 1);
  std::memset(b.Data(), 0xEE, 8);
  EXPECT_TRUE(b.Base64Decode("YWJj", 2, -1));
  EXPECT_EQ(Bytes(b, 0, 8), (std::vector<uint8_t>{0xEE, 0xEE, 'a', 'b', 'c', 0xEE, 0xEE, 0xEE}));
  EXPECT_TRUE(b.Base64Decode("eHl6", 0, 2));  // the first two bytes only
  EXPECT_EQ(Bytes(b, 0, 3), (std::vector<uint8_t>{'x', 'y', 'a'}));
  EXPECT_FALSE(b.Base64Decode("YW*j", 0, -1));
  EXPECT_FALSE(b.Base64Decode(nullptr, 0, -1));
  EXPECT_EQ(Bytes(b, 0, 3), (std::vector<uint8_t>{'x', 'y', 'a'}));
  IBuffer grow;
  EXPECT_TRUE(grow.Base64Decode("YWI=", 0, -1));
  EXPECT_EQ(grow.Size(), 2);
}

TEST(IBuffer, ExtractBlockClampsItsRange) {
  IBuffer b(5, eBuffer_Fixed, 1);
  for (int i = 0; i < 5; ++i) b.Data()[i] = uint8_t(i);
  struct Case {
    int offset, size;
    std::vector<uint8_t> bytes;
  } cases[] = {{0, -1, {0, 1, 2, 3, 4}}, {3, -1, {3, 4}}, {-2, 2, {0, 1}}, {9, 5, {4}}, {1, 0, {}}, {2, 99, {2, 3, 4}}};
  for (const auto& c : cases) EXPECT_EQ(b.ExtractBlock(c.offset, c.size), c.bytes) << c.offset << " " << c.size;
}

class BufferTable : public WorldTest {};

TEST_F(BufferTable, FirstFreeSlotAndDoublingFrom32) {
  EXPECT_EQ(Buffer_TableLength(), 0);
  EXPECT_EQ(Buffer_Create(4, eBuffer_Fixed, 1), 0);
  EXPECT_EQ(Buffer_TableLength(), 32);
  for (int i = 1; i < 32; ++i) ASSERT_EQ(Buffer_Create(1, eBuffer_Grow, 1), i);
  EXPECT_EQ(Buffer_Create(1, eBuffer_Wrap, 1), 32);
  EXPECT_EQ(Buffer_TableLength(), 64);
  Buffer_Delete(5);
  Buffer_Delete(-1);
  Buffer_Delete(1000);
  EXPECT_EQ(Buffer_Get(5), nullptr);
  EXPECT_EQ(Buffer_Create(1, eBuffer_Fast, 1), 5);
  EXPECT_NE(dynamic_cast<Buffer_Fast*>(Buffer_Get(5)), nullptr);
  EXPECT_EQ(Buffer_Get(64), nullptr);
  EXPECT_EQ(Buffer_Get(-1), nullptr);
  EXPECT_EQ(Buffer_Create(-1, eBuffer_Grow, 1), -1);
  EXPECT_EQ(Buffer_Create(kBufferMaxSize + 1, eBuffer_Grow, 1), -1);
}

TEST_F(BufferTable, CreateFromDataIsAFixedBufferOverTheBytes) {
  auto* block = static_cast<uint8_t*>(MemoryManager::Allocate(3, __FILE__, __LINE__, true));
  block[1] = 7;
  const int id = Buffer_CreateFromData(block, 3, true);
  IBuffer* b = Buffer_Get(id);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Data(), block);
  EXPECT_EQ(b->Kind(), eBuffer_Fixed);
  EXPECT_EQ(b->Alignment(), 1);
  Buffer_Delete(id);  // releases the block it owns (the leak checks would tell)

  uint8_t outside[2] = {1, 2};
  const int view = Buffer_CreateFromData(outside, 2, false);
  Buffer_Get(view)->Resize(4);  // takes a copy of its own
  EXPECT_EQ(Buffer_Get(view)->Data()[1], 2);
  Buffer_Delete(view);
}

TEST_F(BufferTable, AddressHandlesNameOneBufferAndNeverAnAddress) {
  const int id = Buffer_Create(16, eBuffer_Grow, 1);
  const double handle = Buffer_AddressHandle(id);
  EXPECT_GT(handle, 4294967295.0);  // not a truncated pointer
  EXPECT_LT(handle, 0x1p53);        // exact in a script number
  EXPECT_EQ(handle, std::floor(handle));
  int size = 0;
  EXPECT_EQ(Buffer_ResolveAddress(handle, &size), Buffer_Get(id)->Data());
  EXPECT_EQ(size, 16);
  Buffer_Get(id)->Resize(64);  // the data moves; the handle follows
  EXPECT_EQ(Buffer_ResolveAddress(handle, &size), Buffer_Get(id)->Data());
  EXPECT_EQ(size, 64);

  const double pointer = double(reinterpret_cast<uintptr_t>(Buffer_Get(id)->Data()));
  for (double bad : {pointer, handle + 1, handle + 0.5, -handle, double(id), 0.0, -1.0, double(NAN), double(INFINITY), 0x1p60})
    EXPECT_EQ(Buffer_ResolveAddress(bad, &size), nullptr) << bad;
  EXPECT_EQ(size, 0);

  // A deleted buffer's handle stays dead, even once its slot is taken again.
  Buffer_Delete(id);
  EXPECT_EQ(Buffer_ResolveAddress(handle, &size), nullptr);
  const int again = Buffer_Create(16, eBuffer_Grow, 1);
  ASSERT_EQ(again, id);
  EXPECT_EQ(Buffer_ResolveAddress(handle, &size), nullptr);
  EXPECT_NE(Buffer_ResolveAddress(Buffer_AddressHandle(again), &size), nullptr);
  EXPECT_EQ(Buffer_AddressHandle(999), -1);
}

}  // namespace
