#include "files/ini_file.h"

#include <gtest/gtest.h>

#include "runner/entry.h"
#include "core/game_data.h"
#include "runner/load_game.h"
#include "runner/profiler.h"
#include "script/vm.h"

namespace {

TEST(IniFile, SectionsKeysAndComments) {
  IniFile ini = IniFile::FromText(
      "\xEF\xBB\xBF; comment\n[DEFAULT]\r\nDebug = 1\r\n# another\nName=  a b  \n[Other]\nDebug=0\nnoequals\n");
  EXPECT_EQ(ini.GetInt("DEFAULT", "Debug"), 1);
  EXPECT_EQ(ini.GetInt("default", "DEBUG"), 1);  // letter case does not matter
  EXPECT_EQ(ini.Get("DEFAULT", "Name"), "a b");
  EXPECT_EQ(ini.GetInt("Other", "Debug"), 0);
  EXPECT_FALSE(ini.Get("DEFAULT", "noequals").has_value());
  EXPECT_FALSE(ini.Get("Missing", "Debug").has_value());
  EXPECT_EQ(IniFile::FromText("[A]\nn=12abc\n").GetInt("A", "n"), 12);
}

TEST(IniFile, MissingFileIsEmpty) {
  IniFile ini("/nonexistent/options.ini");
  EXPECT_FALSE(ini.Loaded());
  EXPECT_FALSE(ini.Get("DEFAULT", "Debug").has_value());
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

  // Absent keys leave the flags as they were.
  Options_ReadIni(IniFile::FromText("[DEFAULT]\n"));
  EXPECT_TRUE(g_DebugMode);
  EXPECT_TRUE(g_TraceVM);

  g_DebugMode = false;
  g_TraceVM = false;
  g_ProfilerOverlayFlags = 0;
}

}  // namespace
