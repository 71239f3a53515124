#include "script/console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "unit/world_reset.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class Consoles : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    dir_ = fs::temp_directory_path() / ("tw-console-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::remove_all(dir_);
    WorldTest::TearDown();
  }
  fs::path dir_;
};

TEST_F(Consoles, EachConsoleAppendsToItsOwnFileInOrder) {
  Console_SetOutputFile((dir_ / "out.txt").string());
  Console_SetDebugOutputFile((dir_ / "debug.txt").string());
  testing::internal::CaptureStdout();
  g_DebugConsole->Output("one %d\n", 1);
  g_OutputConsole->Output("%s\n", "100% sure");
  g_DebugConsole->Output("two\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "one 1\n100% sure\ntwo\n");
  EXPECT_EQ(ReadFile(dir_ / "debug.txt"), "one 1\ntwo\n");
  EXPECT_EQ(ReadFile(dir_ / "out.txt"), "100% sure\n");
}

TEST_F(Consoles, LongLinesReachTheFileWhole) {
  Console_SetOutputFile((dir_ / "out.txt").string());
  std::string big(10000, 'z');
  testing::internal::CaptureStdout();
  g_OutputConsole->Output("%s\n", big.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), big + "\n");
  EXPECT_EQ(ReadFile(dir_ / "out.txt"), big + "\n");
}

TEST_F(Consoles, NoFileWithoutTheSwitches) {
  fs::path old = fs::current_path();
  fs::current_path(dir_);
  testing::internal::CaptureStdout();
  g_OutputConsole->Output("x\n");
  g_DebugConsole->Output("y\n");
  g_DebugConsole->Output(nullptr);
  testing::internal::GetCapturedStdout();
  fs::current_path(old);
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(Consoles, UnopenableFileIsSkipped) {
  Console_SetOutputFile((dir_ / "missing-dir" / "out.txt").string());
  testing::internal::CaptureStdout();
  g_OutputConsole->Output("still printed\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "still printed\n");
}

TEST(ErrStreamConsole, HoldsEverythingItReceives) {
  TErrStreamConsole c;
  EXPECT_EQ(c.Capacity(), 102400);
  EXPECT_STREQ(c.Text(), "");
  std::string piece(1000, 'a');
  std::string expected;
  for (int i = 0; i < 200; ++i) {
    piece[0] = char('A' + i % 26);
    c.Output("%s", piece.c_str());
    expected += piece;
  }
  EXPECT_EQ(std::string(c.Text()), expected);
  EXPECT_GT(c.Capacity(), 200000);
}

TEST(ErrStreamConsole, PiecesLongerThanItsBufferAreCut) {
  TErrStreamConsole c;
  std::string big(20000, 'q');
  c.Output("%s", big.c_str());
  EXPECT_EQ(std::string(c.Text()), std::string(16383, 'q'));
}

}  // namespace
