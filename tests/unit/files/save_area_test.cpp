#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "files/files.h"
#include "files/memory_file.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "unit/files/sandbox_fixture.h"

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

// ---- Both mappings on one table, with the whole-file operations on top ----------

namespace {

using filetest::FilesBelow;
using filetest::Got;
using filetest::Put;

class Sandbox : public filetest::Sandbox {
 protected:
  void SetUp() override {
    filetest::Sandbox::SetUp();
    fs::create_directory_symlink(outside_, area_ + "/out");
    fs::create_directory_symlink(outside_, game_ + "/out");
    fs::create_directories(area_ + "/sub");
    fs::create_directory_symlink(area_ + "/sub", area_ + "/in");
    Put(outside_ + "/secret", "secret");
    fs::create_symlink(outside_ + "/secret", area_ + "/file-out");
    fs::create_symlink(outside_ + "/secret", game_ + "/file-out");
  }
};

TEST_F(Sandbox, EveryNameMapsInsideOrIsRefused) {
  const std::string cwd = Path_WorkingDirectory();
  const struct {
    std::string name;
    std::string save;    // below the save area; "-" refused
    std::string bundle;  // below the game's directory; "-" refused
    const char* said;    // why the save-area mapping redirected it
  } cases[] = {
      {"a.txt", "a.txt", "a.txt", "currdir"},
      {"dir\\b.dat", "dir/b.dat", "dir/b.dat", "currdir"},
      {"a@b.txt", "a@b.txt", "a@b.txt", "currdir"},  // '@' is a plain character here
      {"a/../x", "x", "x", "currdir"},
      {"in/x", "in/x", "in/x", "currdir"},  // a link that stays inside the save area
      {area_ + "/x", "x", "-", nullptr},
      {game_ + "/x", "x", "x", "workdir"},
      {cwd + "/x", "x", "x", "currdir"},
      {"../x", "-", "-", nullptr},
      {"a/../../x", "-", "-", nullptr},
      {"..\\..\\x", "-", "-", nullptr},
      {"/etc/passwd", "-", "-", nullptr},
      {outside_ + "/x", "-", "-", nullptr},
      {area_ + "/../outside/x", "-", "-", nullptr},
      {"C:\\x.txt", "-", "-", nullptr},
      {"out/x", "-", "-", nullptr},      // a link leading out
      {"file-out", "-", "-", nullptr},   // a link to a file outside
      {"", "-", "-", nullptr},
      {".", "-", "-", nullptr},
      {"nl\nx", "-", "-", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string save = LoadSave_MapToSaveArea(c.name);
    EXPECT_EQ(save, c.save == "-" ? "" : Area(c.save));
    if (c.said) {
      EXPECT_EQ(Said(), std::string("Invalid Save location(") + c.said + ") - redirected to: '" + save + "'\n");
    } else {
      EXPECT_EQ(Said(), "");
    }
    EXPECT_EQ(LoadSave_MapToBundle(c.name), c.bundle == "-" ? "" : Game(c.bundle));
  }
}

TEST_F(Sandbox, AWriteNeverLandsOutsideTheSaveArea) {
  const std::vector<std::string> before = FilesBelow(root_);
  const std::string names[] = {"../escape", "a/../../escape", "/tmp/escape-tw-files", outside_ + "/escape",
                               "out/escape", "file-out", game_ + "/moved.txt", "deep/er/name.txt"};
  for (const std::string& name : names) LoadSave_WriteFile(name, "x", 1);
  std::vector<std::string> added;
  for (const std::string& f : FilesBelow(root_))
    if (std::find(before.begin(), before.end(), f) == before.end()) added.push_back(f);
  EXPECT_EQ(added, (std::vector<std::string>{"area/deep/er/name.txt", "area/moved.txt"}));
  EXPECT_EQ(Got(outside_ + "/secret"), "secret");
  EXPECT_FALSE(fs::exists("/tmp/escape-tw-files"));
}

TEST_F(Sandbox, ReadsTryTheSaveAreaFirstAndFOpenTheBundleFirst) {
  Put(Game("both.txt"), "game");
  Put(Area("both.txt"), "saved");
  Put(Game("game-only.txt"), "game only");
  auto text = [](const std::optional<std::vector<uint8_t>>& b) { return b ? std::string(b->begin(), b->end()) : "-"; };
  EXPECT_EQ(text(LoadSave_ReadGameFile("both.txt")), "saved");
  EXPECT_EQ(text(LoadSave_ReadGameFile("game-only.txt")), "game only");
  bool refused = true;
  EXPECT_EQ(text(LoadSave_ReadGameFile("missing.txt", &refused)), "-");
  EXPECT_FALSE(refused);
  EXPECT_EQ(text(LoadSave_ReadGameFile("../outside/secret", &refused)), "-");
  EXPECT_TRUE(refused);
  EXPECT_EQ(text(LoadSave_ReadSaveFile("both.txt")), "saved");
  EXPECT_EQ(text(LoadSave_ReadBundleFile("both.txt")), "game");
  EXPECT_EQ(text(LoadSave_ReadSaveFile("game-only.txt")), "-");
  EXPECT_TRUE(LoadSave_BundleFileExists("game-only.txt"));
  EXPECT_FALSE(LoadSave_SaveFileExists("game-only.txt"));
  EXPECT_FALSE(LoadSave_SaveFileExists("sub"));  // a directory is no file

  auto file = LoadSave_FOpen("both.txt", "rb");
  ASSERT_TRUE(file);
  EXPECT_EQ(std::string(file->data.begin(), file->data.end()), "game");
  Put(Area("saved-only.txt"), "s");
  ASSERT_TRUE(LoadSave_FOpen("saved-only.txt", "rb"));
  EXPECT_FALSE(LoadSave_FOpen("../outside/secret", "rb"));
}

TEST_F(Sandbox, PickedPathsAreAllowedAsTheyStand) {
  const std::string picked = outside_ + "/picked.txt";
  EXPECT_EQ(LoadSave_MapToBundle(picked), "");
  EXPECT_EQ(LoadSave_MapToSaveArea(picked), "");
  LoadSave_AllowRead(picked);
  EXPECT_EQ(LoadSave_MapToBundle(outside_ + "/./picked.txt"), picked);
  EXPECT_EQ(LoadSave_MapToSaveArea(picked), "") << "picked for reading only";
  LoadSave_AllowWrite(picked);
  EXPECT_EQ(LoadSave_MapToSaveArea(picked), picked);
  EXPECT_EQ(Said(), "");
  // Names differing in letter case are other files here.
  EXPECT_EQ(LoadSave_MapToBundle(outside_ + "/PICKED.txt"), "");
  EXPECT_EQ(LoadSave_MapToBundle(outside_ + "/other.txt"), "");
}

TEST_F(Sandbox, TheTemporaryDirectoryIsTheGamesOwn) {
  ASSERT_EQ(Support_GetTempDirectory(), "");
  Support_CreateTempDirectory();
  const std::string temp = Support_GetTempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_NE(temp.back(), '/');
  EXPECT_TRUE(Directory_Exists(temp));
  EXPECT_EQ(LoadSave_MapToSaveArea(temp + "/t.txt"), temp + "/t.txt");
  EXPECT_EQ(LoadSave_MapToBundle(temp + "\\t.txt"), temp + "/t.txt");
  EXPECT_EQ(LoadSave_MapToSaveArea(temp + "/../t.txt"), "");
  ASSERT_TRUE(LoadSave_WriteFile(temp + "/deep/t.txt", "t", 1));
  Support_DeleteTempDirectory();
  EXPECT_FALSE(fs::exists(temp));
  EXPECT_EQ(Support_GetTempDirectory(), "");
}

TEST_F(Sandbox, WriteFileMakesItsDirectoriesAndReplacesWhole) {
  ASSERT_TRUE(LoadSave_WriteFile("sub\\b.dat", "first", 5));
  EXPECT_EQ(Got(Area("sub/b.dat")), "first");
  ASSERT_TRUE(LoadSave_WriteFile("sub/b.dat", "2", 1));
  EXPECT_EQ(Got(Area("sub/b.dat")), "2");
  std::string why;
  EXPECT_FALSE(LoadSave_WriteFile("../b.dat", "x", 1, &why));
  EXPECT_EQ(why, "file name refused");
  EXPECT_FALSE(LoadSave_WriteFile("", "x", 1));
  Put(Area("plain"), "");
  EXPECT_FALSE(LoadSave_WriteFile("plain/b.dat", "x", 1, &why));
  EXPECT_EQ(why, "cannot make the directory of " + Area("plain/b.dat"));
}

TEST_F(Sandbox, AFailedWriteKeepsTheOldFile) {
  Put(Area("save.dat"), "old");
  Put(Area("plain"), "a file");
  // A file where a directory should be, and a directory where the file should be.
  EXPECT_FALSE(LoadSave_WriteFile("plain/save.dat", "new", 3));
  EXPECT_FALSE(LoadSave_WriteFile("sub", "new", 3));
  EXPECT_TRUE(fs::is_directory(Area("sub")));

  // A write cut short: the system refuses to let files grow past 16 bytes.
  const std::string big(1000, 'n');
  bool written = true;
  filetest::WithFilesCutAt(16, [&] { written = LoadSave_WriteFile("save.dat", big.data(), big.size()); });
  EXPECT_FALSE(written);
  EXPECT_EQ(Got(Area("save.dat")), "old");
  EXPECT_EQ(FilesBelow(area_), (std::vector<std::string>{"file-out", "plain", "save.dat"}))
      << "no temporary file is left behind";
}

}  // namespace
