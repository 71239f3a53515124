#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files.h"

namespace {
std::string MakeTempDir() {
  char pattern[] = "/tmp/tw-dir-XXXXXX";
  const char* made = mkdtemp(pattern);
  return made ? made : "";
}

void Touch(const std::string& path) {
  if (FILE* f = std::fopen(path.c_str(), "w")) std::fclose(f);
}
}  // namespace

TEST(Directory, ListTellsPlainWritableFilesFromTheRest) {
  const std::string dir = MakeTempDir();
  ASSERT_FALSE(dir.empty());
  Touch(dir + "/plain");
  Touch(dir + "/readonly");
  chmod((dir + "/readonly").c_str(), 0444);
  ASSERT_TRUE(Directory_Create(dir + "/sub"));
  EXPECT_FALSE(Directory_Create(dir + "/sub"));  // already there
  ASSERT_EQ(symlink("plain", (dir + "/link").c_str()), 0);

  auto entries = Directory_List(dir);
  std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
  struct Case {
    const char* name;
    bool plain, writable;
  } expected[] = {{"link", false, true}, {"plain", true, true}, {"readonly", true, false}, {"sub", false, true}};
  ASSERT_EQ(entries.size(), std::size(expected));
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, expected[i].name);
    EXPECT_EQ(entries[i].plainFile, expected[i].plain) << entries[i].name;
    if (expected[i].plain) {
      EXPECT_EQ(entries[i].ownerWritable, expected[i].writable) << entries[i].name;
    }
  }
  EXPECT_TRUE(File_IsSymlink(dir + "/link"));
  EXPECT_FALSE(File_IsSymlink(dir + "/plain"));
  EXPECT_TRUE(Directory_List(dir + "/missing").empty());
  File_RemoveTree(dir);
}
