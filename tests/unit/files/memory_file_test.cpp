#include "files/memory_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

std::unique_ptr<MemoryFile> Over(const std::string& bytes, bool text = true) {
  return MemoryFile_FromBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()), text);
}

TEST(MemoryFile, TextModeSkipsAByteOrderMark) {
  const struct {
    std::string bytes;
    bool text;
    int64_t start;
  } cases[] = {
      {"\xEF\xBB\xBFhi", true, 3},
      {"\xEF\xBB\xBFhi", false, 0},  // binary mode keeps every byte
      {"\xEF\xBB\xBF", true, 3},     // the mark alone is empty text
      {"\xEF\xBB", true, 0},
      {"hi", true, 0},
      {"", true, 0},
  };
  for (const auto& c : cases) {
    auto file = Over(c.bytes, c.text);
    EXPECT_EQ(LoadSave_FTell(*file), c.start) << c.bytes.size() << " bytes, text " << c.text;
  }
  EXPECT_TRUE(LoadSave_FEof(*Over("\xEF\xBB\xBF")));
}

TEST(MemoryFile, GetCPastTheEndGivesFFAndStillMoves) {
  auto file = Over("ab");
  EXPECT_EQ(LoadSave_FGetC(*file), 'a');
  EXPECT_EQ(LoadSave_FGetC(*file), 'b');
  EXPECT_TRUE(LoadSave_FEof(*file));
  EXPECT_EQ(LoadSave_FGetC(*file), 0xFF);
  EXPECT_EQ(LoadSave_FTell(*file), 3);
  EXPECT_TRUE(LoadSave_FEof(*file));
  EXPECT_TRUE(LoadSave_FEoln(*file));
}

TEST(MemoryFile, SeekOrigins) {
  auto file = Over("0123456789");
  const struct {
    int64_t offset;
    int origin;
    int64_t before, after;
  } steps[] = {
      {4, 0, 0, 4},   {2, 1, 4, 6},  {0, 2, 6, 10}, {3, 2, 10, 7}, {5, 9, 7, 7},
      {-1, 0, 7, 7},  // below 0: unchanged
      {-8, 1, 7, 7},  {20, 0, 7, 20},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(LoadSave_FSeek(*file, s.offset, s.origin), s.before) << s.offset << " from " << s.origin;
    EXPECT_EQ(LoadSave_FTell(*file), s.after);
  }
  EXPECT_EQ(LoadSave_FGetC(*file), 0xFF) << "far past the end";
}

TEST(MemoryFile, EndOfLine) {
  auto file = Over("a\r\nb");
  EXPECT_FALSE(LoadSave_FEoln(*file));
  LoadSave_FGetC(*file);
  EXPECT_TRUE(LoadSave_FEoln(*file));  // CR
  LoadSave_FGetC(*file);
  EXPECT_TRUE(LoadSave_FEoln(*file));  // LF
  LoadSave_FGetC(*file);
  EXPECT_FALSE(LoadSave_FEoln(*file));
  LoadSave_FGetC(*file);
  EXPECT_TRUE(LoadSave_FEoln(*file));  // the end
}

TEST(MemoryFile, ReadRealSkipsBlanksAndTakesWhatStrtodTakes) {
  const struct {
    std::string text;
    double value;
    int used;
    int64_t after;
  } cases[] = {
      {"12.5", 12.5, 4, 4},
      {" \t\r\n\v\f-3e2,7", -300, 4, 10},
      {"  .5x", 0.5, 2, 4},
      {"0x10", 16, 4, 4},
      {"abc", 0, 0, 0},
      {"   ", 0, 0, 3},
      {"", 0, 0, 0},
      {"1e", 1, 1, 1},
      {"+7)", 7, 2, 2},
  };
  for (const auto& c : cases) {
    auto file = Over(c.text, false);
    double v = 99;
    EXPECT_EQ(LoadSave_FReadReal(*file, &v), c.used) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
    EXPECT_EQ(LoadSave_FTell(*file), c.after) << c.text;
  }
  // The number is never read past the data, which holds no terminator.
  std::vector<uint8_t> digits = {'4', '2', '5'};
  auto file = MemoryFile_FromBytes(std::vector<uint8_t>(digits.begin(), digits.begin() + 2), false);
  double v = 0;
  LoadSave_FReadReal(*file, &v);
  EXPECT_EQ(v, 42);
  auto special = Over("inf nan", false);
  LoadSave_FReadReal(*special, &v);
  EXPECT_TRUE(std::isinf(v));
  LoadSave_FReadReal(*special, &v);
  EXPECT_TRUE(std::isnan(v));
}

TEST(MemoryFile, ReadCopiesUpToTheEnd) {
  auto file = Over("abcdef", false);
  char out[8] = {};
  EXPECT_EQ(LoadSave_FRead(out, 2, 2, *file), 4u);
  EXPECT_EQ(std::string(out, 4), "abcd");
  EXPECT_EQ(LoadSave_FRead(out, 1, 8, *file), 2u);
  EXPECT_EQ(std::string(out, 2), "ef");
  EXPECT_EQ(LoadSave_FRead(out, 1, 8, *file), 0u);
  EXPECT_EQ(LoadSave_FTell(*file), 6);
  EXPECT_EQ(LoadSave_FRead(out, SIZE_MAX, 2, *Over("xy", false)), 2u) << "a huge request is cut, not wrapped";
}

}  // namespace
