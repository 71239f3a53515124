#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "unit/ds/ds_call.h"
#include "unit/files/sandbox_fixture.h"

namespace {

using dstest::Call;
using filetest::Got;
using filetest::Put;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

class FileSystem : public filetest::Sandbox {
 protected:
  // Every name a search finds, in order.
  std::vector<std::string> Find(const char* mask, double attributes) {
    std::vector<std::string> names;
    for (std::string n = Call("file_find_first", {mask, attributes}).Text(); !n.empty();
         n = Call("file_find_next").Text())
      names.push_back(n);
    Call("file_find_close");
    return names;
  }
};

TEST_F(FileSystem, ExistsDeleteAndRenameChangeOnlyTheSaveArea) {
  Put(Game("game.txt"), "g");
  Put(Area("saved.txt"), "s");
  Put(Area("taken.txt"), "t");
  EXPECT_EQ(Call("file_exists", {"game.txt"}).Real(), 1);
  EXPECT_EQ(Call("file_exists", {"saved.txt"}).Real(), 1);
  EXPECT_EQ(Call("file_exists", {"missing.txt"}).Real(), 0);
  EXPECT_EQ(Call("file_exists", {"../outside"}).Real(), 0);
  fs::create_directories(Area("dir"));
  EXPECT_EQ(Call("file_exists", {"dir"}).Real(), 0) << "a directory is no file";

  EXPECT_EQ(Call("file_delete", {"game.txt"}).Real(), 0);
  EXPECT_TRUE(fs::exists(Game("game.txt")));
  EXPECT_EQ(Call("file_rename", {"game.txt", "moved.txt"}).Real(), 0);
  EXPECT_TRUE(fs::exists(Game("game.txt")));
  EXPECT_FALSE(fs::exists(Area("moved.txt")));

  EXPECT_EQ(Call("file_rename", {"saved.txt", "taken.txt"}).Real(), 0) << "an existing file is never replaced";
  EXPECT_EQ(Got(Area("taken.txt")), "t");
  EXPECT_EQ(Call("file_rename", {"saved.txt", "../outside/x.txt"}).Real(), 0);
  EXPECT_EQ(Call("file_rename", {"saved.txt", "renamed.txt"}).Real(), 1);
  EXPECT_EQ(Got(Area("renamed.txt")), "s");
  EXPECT_FALSE(fs::exists(Area("saved.txt")));
  EXPECT_EQ(Call("file_delete", {"renamed.txt"}).Real(), 1);
  EXPECT_FALSE(fs::exists(Area("renamed.txt")));
  EXPECT_EQ(Call("file_delete", {"dir"}).Real(), 0);
  EXPECT_TRUE(fs::is_directory(Area("dir")));
}

TEST_F(FileSystem, CopyFindsItsSourceAndWritesOnlyIntoTheSaveArea) {
  Put(Game("level.dat"), "game level");
  fs::remove(area_);  // a game's first run: no save area yet
  Said();
  EXPECT_EQ(Call("file_copy", {"level.dat", "copy.dat"}).Real(), 0);
  EXPECT_EQ(Got(Area("copy.dat")), "game level");
  Put(Area("level.dat"), "saved level");
  EXPECT_EQ(Call("file_copy", {"level.dat", "copy.dat"}).Real(), 0);
  EXPECT_EQ(Got(Area("copy.dat")), "saved level");
  EXPECT_EQ(Call("file_copy", {"missing.dat", "x.dat"}).Real(), -1);
  EXPECT_EQ(Call("file_copy", {"level.dat", "newdir/x.dat"}).Real(), -1) << "no directories are made";
  EXPECT_EQ(Call("file_copy", {"level.dat", "../outside/x.dat"}).Real(), -1);
  EXPECT_EQ(filetest::WithoutRedirections(Said()),
            "Unable to open source file missing.dat\n"
            "Unable to open destination file newdir/x.dat\n"
            "Unable to open destination file ../outside/x.dat\n");
  EXPECT_FALSE(fs::exists(Area("newdir")));
  EXPECT_EQ(filetest::FilesBelow(outside_), std::vector<std::string>{});
}

TEST_F(FileSystem, Directories) {
  fs::create_directories(Game("levels"));
  EXPECT_EQ(Call("directory_exists", {"levels"}).Real(), 1);
  EXPECT_EQ(Call("directory_exists", {"levels\\"}).Real(), 1);
  EXPECT_EQ(Call("directory_exists", {"saves"}).Real(), 0);
  Call("directory_create", {"saves\\slot1\\"});
  EXPECT_TRUE(fs::is_directory(Area("saves/slot1")));
  EXPECT_EQ(Call("directory_exists", {"saves/slot1"}).Real(), 1);
  Call("directory_create", {"../escape"});
  EXPECT_FALSE(fs::exists(root_ + "/escape"));
}

TEST_F(FileSystem, FindListsTheSaveAreaThenTheGamesOwnOnce) {
  Put(Area("b.txt"), "");
  Put(Area("a.txt"), "");
  Put(Area(".hidden.txt"), "");
  Put(Area("readonly.txt"), "");
  chmod(Area("readonly.txt").c_str(), 0444);
  Put(Area("other.dat"), "");
  fs::create_directories(Area("dir.txt"));
  Put(Game("a.txt"), "");
  Put(Game("c.TXT"), "");
  Put(Game("sub/d.txt"), "");
  EXPECT_EQ(Find("*.txt", 0), (std::vector<std::string>{".hidden.txt", "a.txt", "b.txt", "readonly.txt", "c.TXT"}));
  EXPECT_EQ(Find("*.txt", 0x10),
            (std::vector<std::string>{".hidden.txt", "a.txt", "b.txt", "dir.txt", "readonly.txt", "c.TXT"}));
  EXPECT_EQ(Find("*.txt", 1), std::vector<std::string>{"readonly.txt"});
  EXPECT_EQ(Find("*.txt", 2), std::vector<std::string>{".hidden.txt"});
  EXPECT_EQ(Find("*.*", 0).size(), 6u) << "every file of both places, each once";
  EXPECT_EQ(Find("sub/?.txt", 0), std::vector<std::string>{"d.txt"});
  EXPECT_EQ(Find("nothing*", 0), std::vector<std::string>{});
  EXPECT_EQ(Find("../outside/*", 0x37), std::vector<std::string>{});

  // Past the end the search gives empty names until it is closed.
  EXPECT_EQ(Call("file_find_first", {"b.*", 0.0}).Text(), "b.txt");
  EXPECT_EQ(Call("file_find_next").Text(), "");
  EXPECT_EQ(Call("file_find_next").Text(), "");
  Call("file_find_close");
  EXPECT_EQ(Call("file_find_next").Text(), "");
}

TEST_F(FileSystem, Attributes) {
  Put(Area("plain.txt"), "");
  Put(Area("readonly.txt"), "");
  chmod(Area("readonly.txt").c_str(), 0444);
  Put(Area(".hidden"), "");
  fs::create_directories(Game("dir"));
  const struct {
    const char* name;
    double bits;
  } cases[] = {
      {"plain.txt", 0x20}, {"readonly.txt", 0x21}, {".hidden", 0x22}, {"dir", 0x10}, {"missing", 0}, {"../outside", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Call("file_attributes", {c.name, 0.0}).Real(), c.bits) << c.name;
}

TEST_F(FileSystem, PiecesOfNames) {
  const struct {
    const char* function;
    const char* path;
    const char* result;
  } cases[] = {
      {"filename_name", "C:\\games\\save.dat", "save.dat"},
      {"filename_path", "D:\\games\\save.dat", "D:\\games"},
      {"filename_dir", "D:\\games\\save.dat", "D:\\games"},
      {"filename_dir", "a//b", "a"},
      {"filename_path", "a//b", "a/"},
      {"filename_drive", "C:\\x", ""},
      {"filename_ext", "a/b.c.txt", ".txt"},
      {"filename_ext", "a.b/c", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Call(c.function, {c.path}).Text(), c.result) << c.function << " " << c.path;
  EXPECT_EQ(Call("filename_change_ext", {"save.dat", ".bak"}).Text(), "save.bak");
  EXPECT_EQ(Call("filename_change_ext", {"dir.old\\save", ".bak"}).Text(), "dir.old\\save.bak");
  EXPECT_EQ(Call("filename_change_ext", {"save.dat", 3}).Text(), "");
  EXPECT_EQ(Call("filename_name", {3}).Text(), "");
}

TEST_F(FileSystem, ProgramsStartAndAreWaitedFor) {
  const std::string out = root_ + "/ran.txt";
  const std::string line = "-c \"printf '%s' \\\"$0\\\" > '" + out + "'\" \"two words\"";
  EXPECT_EQ(Call("execute_program", {"/bin/sh", line.c_str(), 1}).Real(), 0);
  EXPECT_EQ(Got(out), "two words") << "waited for, with its arguments split as a command line";

  const std::string later = root_ + "/later.txt";
  const std::string touch = "-c \"echo x > '" + later + "'\"";
  EXPECT_EQ(Call("execute_shell", {"/bin/sh", touch.c_str()}).Real(), 0);
  for (int i = 0; i < 500 && !fs::exists(later); ++i) usleep(10000);
  EXPECT_TRUE(fs::exists(later));

  Said();
  EXPECT_EQ(Call("execute_program", {"/nonexistent/program", "", 0.0}).Real(), -1);
  EXPECT_EQ(Call("execute_program", {"", "", 1}).Real(), -1);
  EXPECT_EQ(Said(), "Cannot execute /nonexistent/program\nCannot execute \n");
}

TEST(SplitArguments, CommandLineRules) {
  const struct {
    const char* text;
    std::vector<std::string> words;
  } cases[] = {
      {"", {}},
      {"  a  b\tc ", {"a", "b", "c"}},
      {"\"two words\" x", {"two words", "x"}},
      {"a\"b c\"d", {"ab cd"}},
      {"\"\"", {""}},
      {"a\\\"b", {"a\"b"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"C:\\dir\\file", {"C:\\dir\\file"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Support_SplitArguments(c.text), c.words) << c.text;
}

TEST_F(FileSystem, CommandLineAndEnvironment) {
  Files_SetProgramArguments({"/games/runner"});
  EXPECT_EQ(Call("parameter_count").Real(), 1);
  EXPECT_EQ(Call("parameter_string", {0.0}).Text(), "/games/runner");
  EXPECT_EQ(Call("parameter_string", {1}).Text(), "");
  Files_SetProgramArguments({"/games/runner", "-game", "a b.win"});
  EXPECT_EQ(Call("parameter_count").Real(), 3);
  EXPECT_EQ(Call("parameter_string", {2}).Text(), "a b.win");
  EXPECT_EQ(Call("parameter_string", {-1}).Text(), "");
  Files_SetProgramArguments({});

  setenv("TW_FILES_TEST_VARIABLE", "value=1", 1);
  EXPECT_EQ(Call("environment_get_variable", {"TW_FILES_TEST_VARIABLE"}).Text(), "value=1");
  unsetenv("TW_FILES_TEST_VARIABLE");
  EXPECT_EQ(Call("environment_get_variable", {"TW_FILES_TEST_VARIABLE"}).Text(), "");
}

TEST_F(FileSystem, RegistryKeepsTextUnderCaseBlindKeysAcrossRuns) {
  Call("registry_write_string", {"a", "1"});
  Call("registry_write_string", {"B", "two\tlines\nand \\ more"});
  Call("registry_write_real", {"c", 1.5});
  Call("registry_write_string", {"A", "again"});
  Call("registry_write_string", {"word", "not a number"});
  EXPECT_EQ(Call("registry_read_string", {"a"}).Text(), "again");
  EXPECT_EQ(Call("registry_read_string", {"b"}).Text(), "two\tlines\nand \\ more");
  EXPECT_EQ(Call("registry_read_string", {"C"}).Text(), "1.500000");
  EXPECT_EQ(Call("registry_read_real", {"c"}).Real(), 1.5);
  EXPECT_EQ(Call("registry_read_real", {"word"}).Real(), 0);
  EXPECT_EQ(Call("registry_read_real", {"missing"}).Real(), 0);
  EXPECT_EQ(Call("registry_read_string", {"missing"}).Text(), "");
  EXPECT_EQ(Call("registry_exists", {"WORD"}).Real(), 1);
  EXPECT_EQ(Call("registry_exists", {"missing"}).Real(), 0);

  // The next run reads what this one wrote.
  EXPECT_FALSE(fs::exists(Area(".registry"))) << "written once a step at most";
  Platform_Tick();
  Registry_Forget();
  EXPECT_EQ(Call("registry_read_string", {"b"}).Text(), "two\tlines\nand \\ more");
  EXPECT_EQ(Call("registry_read_string", {"A"}).Text(), "again");
  EXPECT_EQ(Got(Area(".registry")), "a\tagain\nB\ttwo\\tlines\\nand \\\\ more\nc\t1.500000\nword\tnot a number\n");

  // The forms with a key path keep and find nothing.
  Call("registry_set_root", {1});
  Call("registry_write_string_ext", {"Software\\x", "k", "v"});
  EXPECT_EQ(Call("registry_read_string_ext", {"Software\\x", "k"}).Text(), "");
  EXPECT_EQ(Call("registry_read_real_ext", {"Software\\x", "k"}).Real(), 0);
  EXPECT_EQ(Call("registry_exists_ext", {"Software\\x", "k"}).Real(), 0);
  EXPECT_EQ(Call("registry_read_string", {"k"}).Text(), "");
}

TEST_F(FileSystem, ADamagedRegistryFileReadsAsWhatItHolds) {
  Put(Area(".registry"), "good\tvalue\nno-value\n\n\tempty name\nGOOD\tlater\ntrailing\\");
  EXPECT_EQ(Call("registry_read_string", {"good"}).Text(), "value") << "the first of a name wins";
  EXPECT_EQ(Call("registry_exists", {"no-value"}).Real(), 1);
  EXPECT_EQ(Call("registry_read_string", {"no-value"}).Text(), "");
  EXPECT_EQ(Call("registry_read_string", {""}).Text(), "empty name");
  EXPECT_EQ(Call("registry_exists", {"trailing\\"}).Real(), 1);
}

}  // namespace
