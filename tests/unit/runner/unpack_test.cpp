#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runner/entry.h"

namespace fs = std::filesystem;

namespace {

class UnpackAtFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("tw-unpack-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "work");
    fs::current_path(dir_ / "work");
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  static void Touch(const std::string& name) { std::ofstream(name) << "x"; }
  fs::path old_, dir_;
};

TEST_F(UnpackAtFiles, NamesSpellDirectories) {
  Touch("a@b@c.txt");
  Main_UnpackAtFiles();
  EXPECT_TRUE(fs::is_regular_file("a/b/c.txt"));
  EXPECT_FALSE(fs::exists("a@b@c.txt"));
}

TEST_F(UnpackAtFiles, ReadOnlyAndHiddenFilesStay) {
  Touch("r@x.txt");
  chmod("r@x.txt", 0444);
  Touch(".h@x.txt");
  Main_UnpackAtFiles();
  EXPECT_TRUE(fs::exists("r@x.txt"));
  EXPECT_TRUE(fs::exists(".h@x.txt"));
  EXPECT_FALSE(fs::exists("r"));
}

TEST_F(UnpackAtFiles, NamesThatWouldClimbOutStay) {
  for (const char* name : {"..@escaped.txt", "a@..@..@escaped2.txt", "@abs.txt", "a@@b.txt", "a@.@b.txt", "trail@"})
    Touch(name);
  Main_UnpackAtFiles();
  EXPECT_FALSE(fs::exists(dir_ / "escaped.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "escaped2.txt"));
  for (const char* name : {"..@escaped.txt", "a@..@..@escaped2.txt", "@abs.txt", "a@@b.txt", "a@.@b.txt", "trail@"})
    EXPECT_TRUE(fs::exists(name)) << name;
}

TEST_F(UnpackAtFiles, DirectoriesAndLinksStay) {
  fs::create_directory("d@e");
  Touch("target");
  fs::create_symlink("target", "l@m");
  Main_UnpackAtFiles();
  EXPECT_TRUE(fs::is_directory("d@e"));
  EXPECT_TRUE(fs::is_symlink("l@m"));
  EXPECT_FALSE(fs::exists("l"));
}

}  // namespace
