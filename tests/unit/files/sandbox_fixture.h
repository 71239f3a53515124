// A private tree for the files tests: a save area, the game's own directory
// and a place outside both that nothing may reach; the output console's
// lines are kept; the File group is registered.
#pragma once
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "files/file_group.h"
#include "files/files.h"
#include "platform/files.h"
#include "script/console.h"
#include "unit/line_console.h"
#include "unit/world_reset.h"

namespace filetest {

namespace fs = std::filesystem;

inline void Put(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string Got(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every file below `dir`, relative to it, sorted.
inline std::vector<std::string> FilesBelow(const std::string& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_directory()) out.push_back(it->path().lexically_relative(dir).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Runs `write` while the system lets no file grow past `bytes`, so that a
// write is cut short as on a full disk.
template <typename Write>
void WithFilesCutAt(rlim_t bytes, Write write) {
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = bytes;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  write();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
}

// The console's text without the lines that say where a name was redirected.
inline std::string WithoutRedirections(const std::string& text) {
  std::istringstream in(text);
  std::string line, out;
  while (std::getline(in, line))
    if (line.rfind("Invalid Save location(", 0) != 0) out += line + "\n";
  return out;
}

class Sandbox : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    std::string pattern = (fs::path(::testing::TempDir()) / "tw-files-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = fs::canonical(pattern).string();
    area_ = root_ + "/area";
    game_ = root_ + "/game";
    outside_ = root_ + "/outside";
    for (const std::string& d : {area_, game_, outside_}) fs::create_directories(d);
    LoadSave_SetSaveArea(area_);
    LoadSave_SetBundleDirectory(game_);
    saved_ = g_OutputConsole;
    g_OutputConsole = &console_;
    InitFileFunctions();
    Registry_Forget();
  }
  void TearDown() override {
    File_ClearTables();
    Registry_Forget();
    LoadSave_ForgetAllowedPaths();
    g_OutputConsole = saved_;
    LoadSave_SetSaveArea("");
    LoadSave_SetBundleDirectory("");
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    Support_DeleteTree(root_);
    WorldTest::TearDown();
  }
  std::string Area(const std::string& name) const { return area_ + "/" + name; }
  std::string Game(const std::string& name) const { return game_ + "/" + name; }
  // The console's lines so far, which are then forgotten.
  std::string Said() {
    std::string text = console_.text;
    console_.text.clear();
    return text;
  }

  std::string root_, area_, game_, outside_;
  LineConsole console_;
  tagIConsole* saved_ = nullptr;
};

}  // namespace filetest
