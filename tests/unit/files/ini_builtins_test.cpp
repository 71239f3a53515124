#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>

#include "files/file_group.h"
#include "files/files.h"
#include "platform/files.h"
#include "unit/ds/ds_call.h"
#include "unit/files/temp_save_area.h"
#include "unit/script/builtin_group_check.h"
#include "unit/world_reset.h"

namespace {

namespace fs = std::filesystem;
using dstest::Call;

bool Says(const dstest::Called& c, const std::string& text) { return c.error.find(text) != std::string::npos; }

class IniBuiltins : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    InitFileFunctions();
  }
  TempSaveArea temp_;
  const std::string& root_ = temp_.root;
};

TEST_F(IniBuiltins, RegisteredInTheGroupsOrder) {
  auto names = ExpectGroupRegistered(Files_FileGroup());
  for (const char* n : {"ini_open", "ini_close", "ini_write_real", "ini_section_delete"})
    EXPECT_GE(FunctionRegistry_Find(n), 0) << n;
  EXPECT_EQ(names.size(), 80u);
}

TEST_F(IniBuiltins, WithoutAnOpenFile) {
  const struct {
    const char* name;
    std::initializer_list<dstest::Value> args;
    const char* error;
  } cases[] = {
      {"ini_read_string", {"s", "k", "d"}, "Trying to read from undefined INI file"},
      {"ini_write_string", {"s", "k", "v"}, "Trying to read from undefined INI file"},
      {"ini_write_real", {"s", "k", 1.0}, "Trying to read from undefined INI file"},
      {"ini_key_exists", {"s", "k"}, "Trying to read from undefined INI file"},
      {"ini_section_exists", {"s"}, "Trying to read from undefined INI file"},
      {"ini_key_delete", {"s", "k"}, "Trying to change undefined INI file"},
      {"ini_section_delete", {"s"}, "Trying to change undefined INI file"},
  };
  for (const auto& c : cases) {
    auto r = Call(c.name, c.args);
    EXPECT_TRUE(Says(r, c.error)) << c.name << ": " << r.error;
    EXPECT_EQ(r.Real(), -12345) << c.name;  // the caller's default stays
  }
  // ini_read_real checks its types first, then gives its default.
  auto real = Call("ini_read_real", {"s", "k", 2.5});
  EXPECT_TRUE(Says(real, "Trying to read from undefined INI file"));
  EXPECT_EQ(real.Real(), 2.5);
  auto close = Call("ini_close");
  EXPECT_EQ(close.error, "");
  EXPECT_TRUE(close.IsString());
  EXPECT_EQ(close.Text(), "");
}

TEST_F(IniBuiltins, ArgumentTypes) {
  Call("ini_open_from_string", {"[s]\nk=3\n"});
  const struct {
    const char* name;
    std::initializer_list<dstest::Value> args;
    const char* error;
  } cases[] = {
      {"ini_read_string", {"s", "k", 1.0}, "ini_read_string wrong type of arguments"},
      {"ini_read_real", {"s", 1.0, 0.0}, "ini_read_real wrong type of arguments"},
      {"ini_read_real", {"s", "k", "0"}, "ini_read_real wrong type of arguments"},
      {"ini_write_string", {"s", "k", 1.0}, "Wrong argument types for ini_write_string"},
      {"ini_write_real", {"s", "k", "1"}, "Wrong argument types for ini_write_real"},
      {"ini_write_string", {"s]", "k", "v"}, "Cannot keep the key \"k\" of the section \"s]\""},
      {"ini_write_real", {"s", "a=b", 1.0}, "Cannot keep the key \"a=b\" of the section \"s\""},
  };
  for (const auto& c : cases) {
    auto r = Call(c.name, c.args);
    EXPECT_TRUE(Says(r, c.error)) << c.name << ": " << r.error;
    EXPECT_EQ(r.Real(), -12345) << c.name;
  }
  EXPECT_EQ(Call("ini_close").Text(), "[s]\r\nk=3\r\n");

  // Opening needs exactly one string, and a wrong call is fatal.
  for (auto args : {std::initializer_list<dstest::Value>{}, {1.0}, {"a", "b"}}) {
    auto r = Call("ini_open", args);
    EXPECT_TRUE(Says(r, "invalid parameter")) << r.error;
    EXPECT_TRUE(Says(r, "FATAL ERROR")) << r.error;
    EXPECT_EQ(Call("ini_close").Text(), "");  // nothing was opened
  }
}

TEST_F(IniBuiltins, ReadsWritesAndDeletes) {
  Call("ini_open_from_string", {"[a]\nx = 1.5e2\nname=\"Ann \" ;c\n[b]\ny=z\n"});
  EXPECT_EQ(Call("ini_read_real", {"a", "x", 0.0}).Real(), 150);
  EXPECT_EQ(Call("ini_read_real", {"a", "missing", 7.0}).Real(), 7);
  EXPECT_EQ(Call("ini_read_real", {"b", "y", 7.0}).Real(), 0);  // atof of a word
  EXPECT_EQ(Call("ini_read_string", {"a", "name", ""}).Text(), "Ann ");
  EXPECT_EQ(Call("ini_read_string", {"a", "none", "dflt"}).Text(), "dflt");
  EXPECT_EQ(Call("ini_key_exists", {"a", "x"}).Real(), 1);
  EXPECT_EQ(Call("ini_key_exists", {"b", "x"}).Real(), 0);
  EXPECT_EQ(Call("ini_section_exists", {"b"}).Real(), 1);
  EXPECT_EQ(Call("ini_section_exists", {"B"}).Real(), 0);

  Call("ini_write_string", {"b", "y", "a=b;c"});
  Call("ini_write_real", {"c", "r", 2.0});
  Call("ini_key_delete", {"a", "x"});
  Call("ini_section_delete", {"nothing"});
  auto text = Call("ini_close");
  EXPECT_EQ(text.error, "");
  EXPECT_EQ(text.Text(), "[a]\r\nname=\"Ann \"\r\n[b]\r\ny=\"a=b;c\"\r\n[c]\r\nr=2.000000\r\n");
}

TEST_F(IniBuiltins, RealsReadBackAsTheSameNumber) {
  const double values[] = {0.5,     1e-7,     -3.25e-12, 1.0 / 3.0, 123456789.123456789, 1e300,
                           -1e-300, 0.1,      2.0,       -0.0,      std::numeric_limits<double>::infinity(),
                           5e-324,  1e15 + 1, 0.000001};
  Call("ini_open_from_string", {""});
  for (double v : values) {
    Call("ini_write_real", {"s", "k", v});
    auto text = Call("ini_close").Text();
    Call("ini_open_from_string", {text.c_str()});
    EXPECT_EQ(Call("ini_read_real", {"s", "k", 99.0}).Real(), v) << text;
  }
  Call("ini_write_real", {"s", "k", std::nan("")});
  EXPECT_TRUE(std::isnan(Call("ini_read_real", {"s", "k", 99.0}).Real()));
  // Values that "%f" keeps are written as it writes them.
  Call("ini_write_real", {"s", "k", 0.25});
  EXPECT_EQ(Call("ini_read_string", {"s", "k", ""}).Text(), "0.250000");
  Call("ini_write_real", {"s", "k", 1e-7});
  EXPECT_EQ(Call("ini_read_string", {"s", "k", ""}).Text(), "1e-07");
}

TEST_F(IniBuiltins, OpeningAnotherSavesTheFirst) {
  Call("ini_open", {"one.ini"});
  Call("ini_write_string", {"s", "k", "1"});
  Call("ini_open", {"two.ini"});  // saves one.ini
  EXPECT_EQ(Call("ini_read_string", {"s", "k", "none"}).Text(), "none");
  Call("ini_open_from_string", {"[t]\nk=2"});  // two.ini had no changes: not written
  Call("ini_write_string", {"t", "k", "3"});
  Call("ini_open", {"one.ini"});  // text from a string is never written
  EXPECT_EQ(Call("ini_read_string", {"s", "k", "none"}).Text(), "1");
  Call("ini_close");
  EXPECT_TRUE(fs::exists(root_ + "/area/one.ini"));
  EXPECT_FALSE(fs::exists(root_ + "/area/two.ini"));
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ + "/area"), fs::directory_iterator()), 1);
}

TEST_F(IniBuiltins, AFailedSaveIsReported) {
  ASSERT_TRUE(File_MakeDirectories(root_ + "/area/cfg.ini"));
  Call("ini_open", {"cfg.ini"});
  Call("ini_write_string", {"s", "k", "1"});
  auto flush = Call("ini_write_string", {"SYSTEM_COMMAND", "INI_FILE_FLUSH", "NOW"});
  EXPECT_TRUE(Says(flush, "Cannot save the INI file cfg.ini")) << flush.error;
  auto close = Call("ini_close");
  EXPECT_TRUE(Says(close, "Cannot save the INI file cfg.ini")) << close.error;
  EXPECT_EQ(close.Text(), "[s]\r\nk=1\r\n");  // the text is still given back

  auto outside = Call("ini_open", {"../../x.ini"});
  EXPECT_EQ(outside.error, "");  // reads as empty
  Call("ini_write_string", {"s", "k", "1"});
  EXPECT_TRUE(Says(Call("ini_close"), "Cannot save the INI file ../../x.ini"));
  EXPECT_FALSE(fs::exists(root_ + "/x.ini"));
}

}  // namespace
