#include "runner/command_line.h"

#include <gtest/gtest.h>

#include "unit/world_reset.h"

#include "audio/audio.h"
#include "script/console.h"
#include "runner/entry.h"
#include "runner/profiler.h"
#include "ext/extensions.h"
#include "input/input.h"
#include "script/errors.h"
#include "script/vm.h"

namespace {

struct TokenCase {
  const char* text;
  std::vector<std::string> tokens;
};

class Tokens : public ::testing::TestWithParam<TokenCase> {};

TEST_P(Tokens, SplitAsTheParserSeesThem) {
  EXPECT_EQ(CommandLine_Tokens(GetParam().text), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Tokens,
    ::testing::Values(
        TokenCase{"runner -game f.win", {"runner", "-game", "f.win"}},
        TokenCase{"  runner\t\t-debug  ", {"runner", "-debug"}},
        // Quotes group blanks and are not copied; they may open mid-token.
        TokenCase{"runner -game \"my game.win\"", {"runner", "-game", "my game.win"}},
        TokenCase{"a\"b c\"d e", {"ab cd", "e"}},
        TokenCase{"x \"\" y", {"x", "", "y"}},
        // An unclosed quote runs to the end.
        TokenCase{"x \"a b", {"x", "a b"}},
        // Control characters separate like blanks.
        TokenCase{"a\x01" "b\nc", {"a", "b", "c"}},
        TokenCase{"", {}}));

TEST(CommandLine, OverlongTokenIsCutButConsumed) {
  std::string text = std::string(5000, 'a') + " next";
  auto tokens = CommandLine_Tokens(text);
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].size(), kCommandTokenMax);
  EXPECT_EQ(tokens[1], "next");
}

TEST(CommandLine, FromArgsQuotesBlanksAndCutsTheLine) {
  const char* argv[] = {"runner", "-game", "my game.win", ""};
  EXPECT_EQ(CommandLine_FromArgs(4, argv), "runner -game \"my game.win\" \"\"");
  std::string longArg(9000, 'x');
  const char* argv2[] = {"runner", longArg.c_str()};
  EXPECT_EQ(CommandLine_FromArgs(2, argv2).size(), kCommandLineMax);
}

// "-noerrors" must be seen to turn the error display off.
class ParseCommandLine : public WorldTest {
 protected:
  ParseCommandLine() : WorldTest({.showErrors = true}) {}
};

TEST_F(ParseCommandLine, SwitchesSetTheirFlags) {
  Runner_ParseCommandLine(
      "runner -trace -ext -noerrors -oldexec -noaudio -inawindow -steam -record rec.bin unknown -debug");
  EXPECT_TRUE(g_TraceVM);
  EXPECT_TRUE(g_NoExternalCalls);
  EXPECT_FALSE(g_ShowErrors);
  EXPECT_FALSE(g_UseVM);
  EXPECT_TRUE(g_NoAudio);
  EXPECT_TRUE(g_InAWindow);
  EXPECT_TRUE(g_SteamMode);
  EXPECT_TRUE(g_IORecord);
  EXPECT_EQ(g_IOFileName, "rec.bin");
  EXPECT_TRUE(g_DebugMode);
  EXPECT_EQ(g_ProfilerOverlayFlags, 2);
}

TEST_F(ParseCommandLine, ResetsWhatItOwnsOnEveryParse) {
  Runner_ParseCommandLine("runner -oldexec -noaudio -debug");
  Runner_ParseCommandLine("runner");
  EXPECT_TRUE(g_UseVM);
  EXPECT_FALSE(g_NoAudio);
  EXPECT_FALSE(g_DebugMode);
  EXPECT_EQ(g_ProfilerOverlayFlags, 0);
}

TEST_F(ParseCommandLine, GameTakesQuotedPathWithBlank) {
  Runner_ParseCommandLine("runner -game \"my games/a b.win\"");
  ASSERT_TRUE(g_GameDataPath.has_value());
  EXPECT_EQ(*g_GameDataPath, "my games/a b.win");
}

TEST_F(ParseCommandLine, DebugCountsOnlyBeforeTheGameIsKnown) {
  Runner_ParseCommandLine("runner -debug -game f.win");
  EXPECT_TRUE(g_DebugMode);
  g_GameDataPath.reset();
  Runner_ParseCommandLine("runner -game f.win -debug");
  EXPECT_FALSE(g_DebugMode);
}

TEST_F(ParseCommandLine, AGameAlreadyKnownWinsOverGame) {
  g_GameDataPath = "/somewhere/data.win";
  Runner_ParseCommandLine("runner -game other.win -trace");
  EXPECT_EQ(*g_GameDataPath, "/somewhere/data.win");
  // The file argument is consumed all the same: "-trace" is still a switch.
  EXPECT_TRUE(g_TraceVM);
}

TEST_F(ParseCommandLine, FileSwitchAsLastTokenGetsAnEmptyName) {
  Runner_ParseCommandLine("runner -playback");
  EXPECT_TRUE(g_IOPlayback);
  EXPECT_EQ(g_IOFileName, "");
  Runner_ParseCommandLine("runner -game");
  ASSERT_TRUE(g_GameDataPath.has_value());
  EXPECT_EQ(*g_GameDataPath, "");
}

TEST_F(ParseCommandLine, SwitchesAreWholeCaseSensitiveTokens) {
  Runner_ParseCommandLine("runner -Trace -tracex --trace");
  EXPECT_FALSE(g_TraceVM);
}

}  // namespace
