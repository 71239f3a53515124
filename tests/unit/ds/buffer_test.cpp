#include "ds/buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "script/memory_manager.h"

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

}  // namespace
