#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "files/files.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;

class SaveArea : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "tw-save-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    area_ = root_ + "/area";
    ASSERT_TRUE(File_MakeDirectories(area_));
    LoadSave_SetSaveArea(area_);
  }
  void TearDown() override {
    LoadSave_SetSaveArea("");
    File_RemoveTree(root_);
  }
  std::string root_, area_;
};

TEST_F(SaveArea, TableOfNames) {
  const std::string cwd = Path_WorkingDirectory();
  const struct {
    std::string name;
    std::string want;  // relative to the area; "-" for refused
  } cases[] = {
      {"shot.png", "shot.png"},
      {"dir/shot.png", "dir/shot.png"},
      {"dir\\sub\\shot.png", "dir/sub/shot.png"},
      {"./a//b/./c.png", "a/b/c.png"},
      {"a/../b.png", "b.png"},
      {area_ + "/x/y.png", "x/y.png"},     // already in the save area
      {cwd + "/from_cwd.png", "from_cwd.png"},  // under the working directory
      {"", "-"},
      {".", "-"},
      {"dir/", "-"},
      {"..", "-"},
      {"../up.png", "-"},
      {"a/../../up.png", "-"},
      {"..\\up.png", "-"},
      {"/etc/passwd", "-"},
      {area_ + "/../outside.png", "-"},
      {area_ + "x/near.png", "-"},  // a sibling whose name starts the same
      {"tab\there.png", "-"},
      {std::string("new\nline"), "-"},
  };
  for (const auto& c : cases) {
    std::string got = LoadSave_MapToSaveArea(c.name);
    if (c.want == "-") EXPECT_EQ(got, "") << c.name;
    else EXPECT_EQ(got, area_ + "/" + c.want) << c.name;
  }
}

TEST_F(SaveArea, SymbolicLinksAreNotFollowed) {
  ASSERT_TRUE(File_MakeDirectories(root_ + "/elsewhere"));
  fs::create_directory_symlink(root_ + "/elsewhere", area_ + "/link");
  fs::create_symlink(root_ + "/elsewhere/file", area_ + "/file.png");
  EXPECT_EQ(LoadSave_MapToSaveArea("link/x.png"), "");
  EXPECT_EQ(LoadSave_MapToSaveArea("file.png"), "");
  EXPECT_EQ(LoadSave_MapToSaveArea("plain.png"), area_ + "/plain.png");
}

TEST_F(SaveArea, FixedBufferForm) {
  char out[2048];
  EXPECT_TRUE(LoadSave_MapToSaveArea(out, sizeof out, "a.png"));
  EXPECT_EQ(std::string(out), area_ + "/a.png");
  EXPECT_FALSE(LoadSave_MapToSaveArea(out, sizeof out, "../a.png"));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(LoadSave_MapToSaveArea(out, sizeof out, nullptr));
  char small[8];
  EXPECT_FALSE(LoadSave_MapToSaveArea(small, sizeof small, "a.png"));  // too long for the buffer
  EXPECT_STREQ(small, "");
  EXPECT_FALSE(LoadSave_MapToSaveArea(nullptr, 0, "a.png"));
}

TEST_F(SaveArea, CreateDirectoryFor) {
  EXPECT_TRUE(File_CreateDirectoryFor(area_ + "/one/two/file.png"));
  EXPECT_TRUE(fs::is_directory(area_ + "/one/two"));
  EXPECT_FALSE(fs::exists(area_ + "/one/two/file.png"));
  EXPECT_TRUE(File_CreateDirectoryFor(area_ + "/one/two/other.png"));  // already there
  EXPECT_TRUE(File_CreateDirectoryFor("file.png"));                   // no directory part
}

TEST_F(SaveArea, AreaEndsInSlash) {
  EXPECT_EQ(LoadSave_GetSaveArea(), area_ + "/");
  LoadSave_SetSaveArea(area_ + "/");
  EXPECT_EQ(LoadSave_GetSaveArea(), area_ + "/");
}

}  // namespace
