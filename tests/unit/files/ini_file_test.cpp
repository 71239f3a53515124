#include "files/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/game_data.h"
#include "files/files.h"
#include "platform/files.h"
#include "runner/entry.h"
#include "runner/load_game.h"
#include "runner/profiler.h"
#include "script/vm.h"
#include "unit/files/temp_save_area.h"

namespace {

namespace fs = std::filesystem;

// Every section and key in order, values in <> so blanks show.
std::string Dump(const IniFile& ini) {
  std::string out;
  for (const IniSection& s : ini.Sections()) {
    out += "[" + s.name + "]";
    for (const IniKey& k : s.keys) out += k.name + "=<" + k.value + ">";
  }
  return out;
}

TEST(IniFile, ScannerRules) {
  const struct {
    const char* text;
    const char* want;
  } cases[] = {
      {"[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n", "[a]x=<1>y=<2>[b]z=<3>"},
      {"[s]\nk = value   ; note\nj\t=\t2 # more", "[s]k=<value>j=<2>"},
      {"[s]\nk=\"#not;comment\"  ignored\nn=2", "[s]k=<#not;comment>n=<2>"},
      {"[s]\nk='single \"inner\"'", "[s]k=<single \"inner\">"},
      // Blanks inside closed quotes are the value's own.
      {"[s]\nk=\"  padded  \"\r\n", "[s]k=<  padded  >"},
      // The last quote closes when only blanks follow it on the line ...
      {"[s]\nk=\"say \"hi\"\"  \nj=1", "[s]k=<say \"hi\">j=<1>"},
      // ... else the first one does, and the rest of the line is ignored.
      {"[s]\nk=\"a\" or \"b\" x\nj=1", "[s]k=<a>j=<1>"},
      {"[s]\nk=\"open  \nj=1", "[s]k=<open>j=<1>"},
      {"[s]\nk=\"\nj=1", "[s]k=<>j=<1>"},
      // '=' at a line end, or before a comment, gives no key; at the very end
      // of the text, an empty value.
      {"[s]\r\nk=\r\nj=1", "[s]j=<1>"},
      {"[s]\nk=#c\nj=1", "[s]j=<1>"},
      {"[s]\nk=", "[s]k=<>"},
      {"[s]\n=v\nk=a=b", "[s]=<v>k=<a=b>"},
      {"\xEF\xBB\xBF[s]\nk=1", "[s]k=<1>"},
      {"[s]\n;c\nk=1\n#c\r\nj=2", "[s]k=<1>j=<2>"},
      {"a=1\njunk\n[s]\nb=2", "[s]b=<2>"},
      {"a=1\nb=2", ""},
      {"", ""},
      // A line without '=' runs on into the next key's name.
      {"[s]\nword\nk=1", "[s]word\nk=<1>"},
      {"[s]\nk=1\n[broken\nj=2", "[s]k=<1>"},
      {"[ a b ]\nk=1\n[]\n[a b]", "[ a b ]k=<1>[][a b]"},
      {"[s]k=1", "[s]k=<1>"},
      {"[s]\nk=v\r x=1", "[s]k=<v>x=<1>"},
  };
  for (const auto& c : cases) EXPECT_EQ(Dump(IniFile::FromText(c.text)), c.want) << c.text;
}

TEST(IniFile, LaterDuplicatesHideEarlierOnesAndNamesKeepTheirCase) {
  IniFile ini = IniFile::FromText("[s]\nk=1\nold=x\nk=2\n[t]\nk=t\n[s]\nk=3\n[s]\nk=4\nk=5\n");
  EXPECT_EQ(ini.ReadString("s", "k", "-"), "5");
  EXPECT_EQ(ini.ReadString("s", "old", "-"), "-");  // only in an earlier [s]
  EXPECT_EQ(ini.ReadString("t", "k", "-"), "t");
  EXPECT_EQ(ini.ReadString("S", "k", "-"), "-");
  EXPECT_EQ(ini.ReadString("s", "K", "-"), "-");
  EXPECT_EQ(ini.FindSection("x"), nullptr);

  // Writing changes what is found; deleting takes what is found.
  ASSERT_TRUE(ini.WriteString("s", "k", "6"));
  EXPECT_TRUE(ini.DeleteKey("s", "k"));
  EXPECT_EQ(ini.ReadString("s", "k", "-"), "4");
  EXPECT_TRUE(ini.DeleteSection("s"));
  EXPECT_EQ(ini.ReadString("s", "k", "-"), "3");
  EXPECT_FALSE(ini.DeleteKey("s", "gone"));
  EXPECT_FALSE(ini.DeleteKey("none", "k"));
  EXPECT_FALSE(ini.DeleteSection("none"));
  EXPECT_EQ(ini.Text(), "[s]\r\nk=1\r\nold=x\r\nk=2\r\n[t]\r\nk=t\r\n[s]\r\nk=3\r\n");
}

TEST(IniFile, OrderKeptAcrossLoadAndSave) {
  const std::string text = "[b]\r\nz=3\r\ny=2\r\n[a]\r\nx=1\r\nw=0\r\nx=again\r\n";
  IniFile ini = IniFile::FromText(text);
  EXPECT_EQ(ini.Text(), text);
  EXPECT_EQ(IniFile::FromText(ini.Text()).Text(), text);

  // New keys and sections go at the end; a key written again stays in place.
  ini.WriteString("b", "new", "n");
  ini.WriteString("c", "k", "v");
  ini.WriteString("b", "z", "4");
  EXPECT_EQ(ini.Text(), "[b]\r\nz=4\r\ny=2\r\nnew=n\r\n[a]\r\nx=1\r\nw=0\r\nx=again\r\n[c]\r\nk=v\r\n");
}

TEST(IniFile, ValuesRoundTrip) {
  const struct {
    const char* value;
    const char* line;  // how it is written
  } cases[] = {
      {"plain", "k=plain"},
      {"a=b", "k=a=b"},
      {"in \"side\"", "k=in \"side\""},
      {"", "k=\"\""},
      {"  lead", "k=\"  lead\""},
      {"trail \t", "k=\"trail \t\""},
      {"x ; y", "k=\"x ; y\""},
      {"#hash", "k=\"#hash\""},
      {";semi", "k=\";semi\""},
      {"\"quoted\"", "k='\"quoted\"'"},
      {"'single'", "k=\"'single'\""},
      {"\"both' ", "k=\"\"both' \""},
      {"'both\" ; ", "k=\"'both\" ; \""},
      {"C:\\dir\\", "k=C:\\dir\\"},
      {"caf\xC3\xA9", "k=caf\xC3\xA9"},
  };
  for (const auto& c : cases) {
    IniFile ini;
    ASSERT_TRUE(ini.WriteString("s", "k", c.value));
    const std::string text = ini.Text();
    EXPECT_EQ(text, std::string("[s]\r\n") + c.line + "\r\n") << c.value;
    EXPECT_EQ(IniFile::FromText(text).ReadString("s", "k", "(missing)"), c.value) << text;
  }
  // A value is one line: its line breaks become blanks.
  IniFile ini;
  ini.WriteString("s", "k", "two\r\nlines\n");
  EXPECT_EQ(ini.ReadString("s", "k", ""), "two  lines ");
  EXPECT_EQ(IniFile::FromText(ini.Text()).ReadString("s", "k", ""), "two  lines ");
}

TEST(IniFile, NamesThatWouldNotReadBackAreRefused) {
  const struct {
    const char* section;
    const char* key;
    bool stored;
  } cases[] = {
      {"s", "k", true},       {"s", "", true},         {"", "k", true},          {"a b", "in ner", true},
      {"s", "a;b#c[d", true}, {"s]x", "k", false},     {"s", "a=b", false},      {"s", " k", false},
      {"s", "k ", false},     {"s", "[k", false},      {"s", ";k", false},       {"s", "k#", false},
      {"s", "\nk", false},    {"s", "k\t", false},
  };
  for (const auto& c : cases) {
    IniFile ini;
    EXPECT_EQ(ini.WriteString(c.section, c.key, "v"), c.stored) << c.section << "/" << c.key;
    if (!c.stored) {
      EXPECT_EQ(ini.Sections().size(), 0u);
      continue;
    }
    IniFile back = IniFile::FromText(ini.Text());
    EXPECT_EQ(back.ReadString(c.section, c.key, "-"), "v") << c.section << "/" << c.key;
  }
}

TEST(IniFile, SystemCommandStoresNothingButMarksModified) {
  IniFile ini = IniFile::FromText("[s]\nk=1\n");
  EXPECT_FALSE(ini.Modified());
  EXPECT_TRUE(ini.WriteString("SYSTEM_COMMAND", "OTHER", "x"));
  EXPECT_TRUE(ini.Modified());
  EXPECT_TRUE(ini.WriteString("SYSTEM_COMMAND", "INI_FILE_FLUSH", "NOW"));  // nameless: nothing to write
  EXPECT_EQ(ini.FindSection("SYSTEM_COMMAND"), nullptr);
  EXPECT_EQ(Dump(ini), "[s]k=<1>");
}

TEST(IniFile, ReadIntIsAtoi) {
  IniFile ini = IniFile::FromText("[A]\nn=12abc\nneg= -7\nbig=99999999999\nword=x\n");
  EXPECT_EQ(ini.ReadInt("A", "n", 0), 12);
  EXPECT_EQ(ini.ReadInt("A", "neg", 0), -7);
  EXPECT_EQ(ini.ReadInt("A", "big", 0), INT_MAX);
  EXPECT_EQ(ini.ReadInt("A", "word", 5), 0);
  EXPECT_EQ(ini.ReadInt("A", "missing", 5), 5);
}

TEST(IniFile, ConfigParserText) {
  // What Python's configparser writes: blanks around '=', a blank line after
  // each section, keys folded to lower case.
  IniFile ini = IniFile::FromText(
      "[DEFAULT]\nvolume = 0.75\n\n[player one]\nname = Ann Lee\npath = C:\\games\\save\nmotto = a=b; c\n\n");
  EXPECT_EQ(Dump(ini), "[DEFAULT]volume=<0.75>[player one]name=<Ann Lee>path=<C:\\games\\save>motto=<a=b>");
}

TEST(IniFile, MissingFileIsEmpty) {
  IniFile ini("no/such/options.ini");
  EXPECT_FALSE(ini.Loaded());
  EXPECT_EQ(ini.FindKey("DEFAULT", "Debug"), nullptr);
}

class IniFileOnDisk : public ::testing::Test {
 protected:
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  TempSaveArea temp_;
  const std::string& root_ = temp_.root;
  const std::string& area_ = temp_.area;
};

TEST_F(IniFileOnDisk, SavesIntoTheSaveAreaOnlyWhenChanged) {
  IniFile ini("sub/cfg.ini");
  EXPECT_FALSE(ini.Loaded());
  std::string why;
  EXPECT_TRUE(ini.Save(&why));  // nothing changed: nothing written
  EXPECT_FALSE(fs::exists(area_ + "/sub/cfg.ini"));
  ini.WriteString("s", "k", " v ");
  ASSERT_TRUE(ini.Save(&why)) << why;
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(Read(area_ + "/sub/cfg.ini"), "[s]\r\nk=\" v \"\r\n");

  IniFile again("sub/cfg.ini");
  EXPECT_TRUE(again.Loaded());
  EXPECT_EQ(again.ReadString("s", "k", ""), " v ");
}

TEST_F(IniFileOnDisk, FlushSavesAtOnce) {
  IniFile ini("cfg.ini");
  ini.WriteString("s", "k", "1");
  EXPECT_TRUE(ini.WriteString("SYSTEM_COMMAND", "INI_FILE_FLUSH", "NOW"));
  EXPECT_EQ(Read(area_ + "/cfg.ini"), "[s]\r\nk=1\r\n");
  EXPECT_FALSE(ini.Modified());
}

TEST_F(IniFileOnDisk, AFailedSaveKeepsTheChangesMarked) {
  // A directory where the file should go: the write cannot replace it.
  ASSERT_TRUE(File_MakeDirectories(area_ + "/cfg.ini"));
  IniFile ini("cfg.ini");
  ini.WriteString("s", "k", "1");
  std::string why;
  EXPECT_FALSE(ini.Save(&why));
  EXPECT_NE(why, "");
  EXPECT_TRUE(ini.Modified());
  std::string flushWhy;
  EXPECT_FALSE(ini.WriteString("SYSTEM_COMMAND", "INI_FILE_FLUSH", "NOW", &flushWhy));
  EXPECT_NE(flushWhy, "");

  fs::remove(area_ + "/cfg.ini");
  EXPECT_TRUE(ini.Save(&why)) << why;
  EXPECT_FALSE(ini.Modified());
  EXPECT_EQ(Read(area_ + "/cfg.ini"), "[s]\r\nk=1\r\n");

  // A name that leads out of the save area is never written.
  IniFile outside("../escape.ini");
  outside.WriteString("s", "k", "1");
  EXPECT_FALSE(outside.Save(&why));
  EXPECT_TRUE(outside.Modified());
  EXPECT_FALSE(fs::exists(root_ + "/escape.ini"));
}

TEST(OptionsIni, DebugAndTraceKeys) {
  g_DebugMode = true;  // as "-debug" left it
  g_ProfilerOverlayFlags = 2;
  Options_ReadIni(IniFile::FromText("[DEFAULT]\nDebug=0\n"));
  EXPECT_FALSE(g_DebugMode);

  Options_ReadIni(IniFile::FromText("[DEFAULT]\nDebug=3\nTrace=1\n"));
  EXPECT_TRUE(g_DebugMode);
  EXPECT_EQ(g_ProfilerOverlayFlags, 2);
  EXPECT_TRUE(g_TraceVM);

  // Absent keys leave the flags as they were; names keep their letter case.
  Options_ReadIni(IniFile::FromText("[DEFAULT]\ndebug=0\ntrace=0\n"));
  EXPECT_TRUE(g_DebugMode);
  EXPECT_TRUE(g_TraceVM);

  g_DebugMode = false;
  g_TraceVM = false;
  g_ProfilerOverlayFlags = 0;
}

}  // namespace
