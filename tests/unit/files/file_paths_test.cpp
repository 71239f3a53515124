#include <gtest/gtest.h>
#include <sys/stat.h>

#include "unit/files/sandbox_fixture.h"

namespace {

using filetest::Got;
using filetest::Put;
namespace fs = std::filesystem;

TEST(FilePaths, PiecesOfNames) {
  const struct {
    const char* path;
    const char* directory;
    const char* name;
    const char* extension;
  } cases[] = {
      {"a/b\\c", "a/b", "c", ""},
      {"a\\b/c.txt", "a\\b", "c.txt", ".txt"},
      {"D:\\games\\save.dat", "D:\\games", "save.dat", ".dat"},
      {"\\x", "", "x", ""},
      {"x", "", "x", ""},
      {"dir.old/save", "dir.old", "save", ""},
      {"dir/.hidden", "dir", ".hidden", ".hidden"},
      {"a/b.tar.gz", "a", "b.tar.gz", ".gz"},
      {"a/", "a", "", ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(File_GetDirectory(c.path), c.directory) << c.path;
    EXPECT_EQ(File_GetName(c.path), c.name) << c.path;
    EXPECT_EQ(File_GetExtension(c.path), c.extension) << c.path;
    EXPECT_EQ(File_GetDrive(c.path), "") << c.path;
  }
}

TEST(FilePaths, ChangeExtension) {
  const struct {
    const char* path;
    const char* extension;
    const char* result;
  } cases[] = {
      {"save.dat", ".bak", "save.bak"},
      {"save", ".bak", "save.bak"},
      {"save", "bak", "save.bak"},
      {"save.dat", "", "save"},
      {"dir.old\\save", ".bak", "dir.old\\save.bak"},  // a directory's dot is no extension
      {"a.b/c.d", ".e", "a.b/c.e"},
  };
  for (const auto& c : cases) EXPECT_EQ(File_ChangeExtension(c.path, c.extension), c.result) << c.path;
}

class Directories : public filetest::Sandbox {};

TEST_F(Directories, CreateDirectoryTree) {
  EXPECT_TRUE(File_CreateDirectoryTree(area_ + "/a/b/"));
  EXPECT_TRUE(fs::is_directory(area_ + "/a/b"));
  EXPECT_TRUE(File_CreateDirectoryTree(area_ + "\\a\\b\\c"));  // either separator
  EXPECT_TRUE(fs::is_directory(area_ + "/a/b/c"));
  EXPECT_TRUE(File_CreateDirectoryTree(area_ + "/a"));  // already there
  EXPECT_FALSE(File_CreateDirectoryTree("abc"));        // no parent to make it in
  EXPECT_FALSE(File_CreateDirectoryTree(""));
  Put(area_ + "/file", "x");
  EXPECT_FALSE(File_CreateDirectoryTree(area_ + "/file/sub"));
  EXPECT_TRUE(Directory_Exists(area_ + "/a"));
  EXPECT_FALSE(Directory_Exists(area_ + "/file"));
  EXPECT_TRUE(File_Exists(area_ + "/file"));
  EXPECT_FALSE(File_Exists(area_ + "/a"));
  EXPECT_FALSE(File_Exists("/dev/null")) << "a device is no file";
}

TEST_F(Directories, DeleteTreeDeletesEveryEntryAndNeverFollowsALinkOut) {
  const std::string tree = area_ + "/tree";
  Put(tree + "/a.txt", "a");
  Put(tree + "/.hidden", "h");
  Put(tree + "/deep/er/b.txt", "b");
  Put(tree + "/locked/c.txt", "c");
  chmod((tree + "/deep/er/b.txt").c_str(), 0444);
  chmod((tree + "/locked").c_str(), 0500);  // its entries cannot be removed as it is
  Put(outside_ + "/keep/k.txt", "k");
  fs::create_directory_symlink(outside_ + "/keep", tree + "/link-dir");
  fs::create_symlink(outside_ + "/keep/k.txt", tree + "/deep/link-file");
  fs::create_symlink(outside_ + "/nowhere", tree + "/dangling");

  EXPECT_TRUE(Support_DeleteTree(tree));
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
  EXPECT_EQ(Got(outside_ + "/keep/k.txt"), "k");
  EXPECT_TRUE(fs::is_directory(outside_ + "/keep"));

  // A link itself is no tree to delete: what it leads to stays.
  fs::create_directory_symlink(outside_ + "/keep", area_ + "/link");
  EXPECT_FALSE(Support_DeleteTree(area_ + "/link"));
  EXPECT_EQ(Got(outside_ + "/keep/k.txt"), "k");
  EXPECT_FALSE(Support_DeleteTree(area_ + "/missing"));
  EXPECT_FALSE(Support_DeleteTree(""));
}

}  // namespace
