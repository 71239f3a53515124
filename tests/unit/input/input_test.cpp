#include "input/input.h"

#include <gtest/gtest.h>

#include <string>

#include "unit/world_reset.h"

namespace {

class InputTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    IO_Init();
    IO_Update();  // consumes the start-up seed
  }
  void TearDown() override {
    IO_Shutdown();
    WorldTest::TearDown();
  }

  static void Type(const std::string& text) {
    for (unsigned char c : text) Input_OnChar(c);
  }
};

TEST_F(InputTest, HeldKeyPressesOnceAndStaysDown) {
  Input_OnKeyDown(65, 0, 0);
  IO_Update();
  EXPECT_TRUE(IO_KeyWasPressed(65));
  EXPECT_TRUE(IO_KeyIsDown(65));
  EXPECT_FALSE(IO_KeyWasReleased(65));
  EXPECT_EQ(IO_GetCurrentKey(), 65);
  EXPECT_EQ(IO_GetLastKey(), 65);

  for (int step = 0; step < 3; ++step) {
    Input_OnKeyDown(65, 0, 1);  // auto-repeat
    Input_OnKeyDown(65, 0, 0);  // a repeat without the flag: already down
    IO_Update();
    EXPECT_FALSE(IO_KeyWasPressed(65)) << step;
    EXPECT_TRUE(IO_KeyIsDown(65)) << step;
  }

  Input_OnKeyUp(65, 0);
  IO_Update();
  EXPECT_TRUE(IO_KeyWasReleased(65));
  EXPECT_FALSE(IO_KeyIsDown(65));
  EXPECT_EQ(IO_GetCurrentKey(), 0);
  EXPECT_EQ(IO_GetLastKey(), 65);
  IO_Update();
  EXPECT_FALSE(IO_KeyWasReleased(65));
}

TEST_F(InputTest, PressAndReleaseBetweenStepsLeavesOnlyRelease) {
  Input_OnKeyDown(32, 0, 0);
  Input_OnKeyUp(32, 0);
  IO_Update();
  EXPECT_FALSE(IO_KeyWasPressed(32));
  EXPECT_TRUE(IO_KeyWasReleased(32));
  EXPECT_FALSE(IO_KeyIsDown(32));
}

TEST_F(InputTest, ReleaseThenPressBetweenStepsShowsBothEdges) {
  Input_OnKeyDown(40, 0, 0);
  IO_Update();
  Input_OnKeyUp(40, 0);
  Input_OnKeyDown(40, 0, 0);
  IO_Update();
  EXPECT_TRUE(IO_KeyWasReleased(40));
  EXPECT_TRUE(IO_KeyWasPressed(40));
  EXPECT_TRUE(IO_KeyIsDown(40));
}

TEST_F(InputTest, KeysOutsideTheTableAreIgnored) {
  for (int key : {-1, 256, 100000}) {
    Input_OnKeyDown(key, 0, 0);
    Input_OnKeyUp(key, 0);
    EXPECT_FALSE(IO_KeyIsDown(key));
    EXPECT_FALSE(IO_KeyWasPressed(key));
    EXPECT_FALSE(IO_KeyWasReleased(key));
  }
  IO_Update();
  EXPECT_EQ(IO_GetLastKey(), 0);
}

TEST_F(InputTest, KeyMapRemapsAndCanHideKeys) {
  IO_SetKeyMap(65, 66);
  IO_SetKeyMap(67, 300);
  EXPECT_EQ(IO_GetKeyMap(65), 66);
  EXPECT_EQ(IO_GetKeyMap(-7), -7);
  EXPECT_EQ(IO_GetKeyMap(999), 999);
  Input_OnKeyDown(65, 0, 0);
  Input_OnKeyDown(67, 0, 0);
  IO_Update();
  EXPECT_FALSE(IO_KeyIsDown(65));
  EXPECT_TRUE(IO_KeyWasPressed(66));
  EXPECT_FALSE(IO_KeyIsDown(67));
  EXPECT_EQ(IO_GetLastKey(), 66);
  IO_ResetKeyMap();
  EXPECT_EQ(IO_GetKeyMap(65), 65);
}

TEST_F(InputTest, GenericAndSideModifierCodesBothTrack) {
  // The window reports right Control as 17, then 163.
  Input_OnKeyDown(17, 0, 0);
  Input_OnKeyDown(163, 0, 0);
  IO_Update();
  EXPECT_TRUE(IO_KeyIsDown(17));
  EXPECT_TRUE(IO_KeyIsDown(163));
  Input_OnKeyUp(17, 0);
  Input_OnKeyUp(163, 0);
  IO_Update();
  EXPECT_TRUE(IO_KeyWasReleased(17));
  EXPECT_TRUE(IO_KeyWasReleased(163));
  EXPECT_FALSE(IO_KeyIsDown(17) || IO_KeyIsDown(163));
}

TEST_F(InputTest, CurrentKeySetterLastsOneStep) {
  Input_OnKeyDown(70, 0, 0);
  IO_Update();
  IO_SetCurrentKey(65);
  EXPECT_EQ(IO_GetCurrentKey(), 65);
  IO_SetCurrentKey(256);  // ignored
  EXPECT_EQ(IO_GetCurrentKey(), 65);
  IO_Update();
  EXPECT_EQ(IO_GetCurrentKey(), 70);
  Input_OnKeyUp(70, 0);
  IO_Update();
  IO_SetCurrentKey(65);
  IO_Update();
  EXPECT_EQ(IO_GetCurrentKey(), 0);
}

TEST_F(InputTest, LastKeySetterReachesBothSets) {
  Input_OnKeyDown(70, 0, 0);
  IO_SetLastKey(90);
  IO_SetLastKey(-1);  // ignored
  EXPECT_EQ(IO_GetLastKey(), 90);
  IO_Update();
  EXPECT_EQ(IO_GetLastKey(), 90);
  EXPECT_EQ(IO_GetCurrentKey(), 0);
}

TEST_F(InputTest, LastCharFollowsTypingAndTheSignedSetter) {
  Type("ab");
  EXPECT_EQ(IO_GetLastChar(), 0);  // the frame set changes only at the step
  IO_Update();
  EXPECT_EQ(IO_GetLastChar(), 'b');
  Input_OnChar(13);
  IO_Update();
  EXPECT_EQ(IO_GetLastChar(), 13);
  EXPECT_STREQ(IO_GetKeyboardString(), "ab");
  IO_SetLastChar(65);
  EXPECT_EQ(IO_GetLastChar(), 65);
  IO_SetLastChar(200);
  EXPECT_EQ(IO_GetLastChar(), 0xFFC8);
  IO_Update();
  EXPECT_EQ(IO_GetLastChar(), 0xFFC8);
}

struct TypingCase {
  const char* name;
  std::string typed;  // \b is backspace
  const char* expected;
};

void PrintTo(const TypingCase& c, std::ostream* os) { *os << c.name; }

class KeyboardString : public InputTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(KeyboardString, Typing) {
  Type(GetParam().typed);
  IO_Update();
  EXPECT_STREQ(IO_GetKeyboardString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeyboardString,
    ::testing::Values(TypingCase{"plain", "hello", "hello"},
                      TypingCase{"backspace", "helz\blo", "hello"},
                      TypingCase{"backspace_past_start", "ab\b\b\b\bc", "c"},
                      TypingCase{"control_chars_add_nothing", "a\tb\rc\x1b", "abc"},
                      TypingCase{"space_counts", "a b", "a b"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputTest, BackspaceOnEmptyStringSetsLastChar) {
  Input_OnChar(8);
  IO_Update();
  EXPECT_STREQ(IO_GetKeyboardString(), "");
  EXPECT_EQ(IO_GetLastChar(), 8);
}

TEST_F(InputTest, FullStringRestartsFromItsLastCharacter) {
  std::string typed(1022, 'a');
  typed += 'z';
  Type(typed);
  IO_Update();
  EXPECT_EQ(std::string(IO_GetKeyboardString()), typed);
  Input_OnChar('q');
  IO_Update();
  EXPECT_STREQ(IO_GetKeyboardString(), "zq");
}

TEST_F(InputTest, SetterLimitsTo1024AndTypingStaysInBounds) {
  std::string longText(1500, 'x');
  IO_SetKeyboardString(longText.c_str());
  EXPECT_EQ(std::string(IO_GetKeyboardString()), std::string(1024, 'x'));
  // Typing on a full string restarts it rather than writing past the end.
  Input_OnChar('y');
  IO_Update();
  EXPECT_STREQ(IO_GetKeyboardString(), "xy");
}

TEST_F(InputTest, SetterDecodesUtf8AndFeedsTyping) {
  IO_SetKeyboardString("h\xc3\xa9\xe2\x82\xac");  // h, e acute, euro sign
  EXPECT_STREQ(IO_GetKeyboardString(), "h\xc3\xa9\xe2\x82\xac");
  Input_OnChar(8);
  Input_OnChar('!');
  IO_Update();
  EXPECT_STREQ(IO_GetKeyboardString(), "h\xc3\xa9!");
  IO_SetKeyboardString(nullptr);
  EXPECT_STREQ(IO_GetKeyboardString(), "");
  Input_OnChar('k');
  IO_Update();
  EXPECT_STREQ(IO_GetKeyboardString(), "k");
}

// Characters above U+FFFF are two 16-bit units in the table and four bytes
// of UTF-8 in the text; neither half is ever left alone.
TEST_F(InputTest, CharactersBeyondSixteenBitsStayWhole) {
  const char* grin = "\xF0\x9F\x98\x80";  // U+1F600
  IO_SetKeyboardString((std::string("a") + grin + "b").c_str());
  EXPECT_EQ(std::string(IO_GetKeyboardString()), std::string("a") + grin + "b");
  Input_OnChar(8);
  Input_OnChar(8);  // takes the whole pair
  IO_Update();
  EXPECT_STREQ(IO_GetKeyboardString(), "a");

  // Typed as the window delivers it: high then low unit.
  Input_OnChar(0xD83D);
  Input_OnChar(0xDE00);
  IO_Update();
  EXPECT_EQ(std::string(IO_GetKeyboardString()), std::string("a") + grin);
  EXPECT_EQ(IO_GetLastChar(), 0xDE00);

  // A lone half reads as U+FFFD, never as an invalid sequence.
  IO_SetKeyboardString("");
  Input_OnChar(0xDE00);
  IO_Update();
  EXPECT_STREQ(IO_GetKeyboardString(), "\xEF\xBF\xBD");

  // A pair that would not fit whole is left out; a full string restarts
  // from its last character, the whole pair.
  std::string full(1023, 'x');
  IO_SetKeyboardString((full + grin).c_str());
  EXPECT_EQ(std::string(IO_GetKeyboardString()), full);
  IO_SetKeyboardString((std::string(1022, 'x') + grin).c_str());
  Input_OnChar('q');
  IO_Update();
  EXPECT_EQ(std::string(IO_GetKeyboardString()), std::string(grin) + "q");
  // Bad four-byte sequences become U+FFFD.
  IO_SetKeyboardString("\xF0\x9F" "z");
  EXPECT_STREQ(IO_GetKeyboardString(), "\xEF\xBF\xBDz");
  IO_SetKeyboardString("\xF4\x90\x80\x80");  // above U+10FFFF
  EXPECT_STREQ(IO_GetKeyboardString(), "\xEF\xBF\xBD");
}

TEST_F(InputTest, SetterTruncatesAnUnfinishedSequence) {
  IO_SetKeyboardString("ab\xe2\x82");
  std::string s = IO_GetKeyboardString();
  EXPECT_EQ(s.substr(0, 2), "ab");
  EXPECT_LE(s.size(), 5u);
}

TEST_F(InputTest, MouseButtonEdgesAndLastButton) {
  Input_OnMouseDown(1, 0, 0);
  IO_Update();
  EXPECT_TRUE(IO_MouseWasPressed(1, 0));
  EXPECT_TRUE(IO_MouseIsDown(1, 0));
  EXPECT_EQ(IO_GetMouseButton(0), 1);
  EXPECT_EQ(IO_GetMouseLastButton(0), 1);
  Input_OnMouseDown(1, 0, 0);
  IO_Update();
  EXPECT_FALSE(IO_MouseWasPressed(1, 0));
  EXPECT_TRUE(IO_MouseIsDown(1, 0));
  Input_OnMouseUp(1, 0, 0);
  IO_Update();
  EXPECT_TRUE(IO_MouseWasReleased(1, 0));
  EXPECT_FALSE(IO_MouseIsDown(1, 0));
  EXPECT_EQ(IO_GetMouseButton(0), 0);
  EXPECT_EQ(IO_GetMouseLastButton(0), 1);
}

TEST_F(InputTest, RightClickWithinOneStepShowsOnlyRelease) {
  Input_OnMouseDown(2, 5, 5);
  Input_OnMouseUp(2, 5, 5);
  IO_Update();
  EXPECT_FALSE(IO_MouseWasPressed(2, 0));
  EXPECT_TRUE(IO_MouseWasReleased(2, 0));
  EXPECT_FALSE(IO_MouseIsDown(2, 0));
  EXPECT_EQ(IO_GetMouseButton(0), 0);
  EXPECT_EQ(IO_GetMouseLastButton(0), 2);
}

TEST_F(InputTest, MouseArgumentsOutOfRange) {
  for (int b : {0, 4, -1}) {
    Input_OnMouseDown(b, 0, 0);
    Input_OnMouseUp(b, 0, 0);
  }
  IO_Update();
  EXPECT_EQ(IO_GetMouseLastButton(0), 0);
  for (int b : {0, 4}) EXPECT_FALSE(IO_MouseIsDown(b, 0));
  for (int d : {-1, 5}) {
    EXPECT_FALSE(IO_MouseIsDown(1, d));
    EXPECT_FALSE(IO_WheelUp(d));
    EXPECT_EQ(IO_GetMouseButton(d), 0);
    IO_SetMouseButton(1, d);
    IO_MouseClear(1, d);
  }
  IO_SetMouseButton(4, 1);
  EXPECT_EQ(IO_GetMouseButton(1), 0);
  IO_SetMouseButton(3, 1);
  IO_SetMouseLastButton(2, 1);
  EXPECT_EQ(IO_GetMouseButton(1), 3);
  EXPECT_EQ(IO_GetMouseLastButton(1), 2);
}

TEST_F(InputTest, MouseClearForgetsHeldButton) {
  Input_OnMouseDown(3, 0, 0);
  IO_Update();
  IO_MouseClear(3, 0);
  EXPECT_FALSE(IO_MouseIsDown(3, 0));
  EXPECT_FALSE(IO_MouseWasPressed(3, 0));
  IO_Update();
  EXPECT_FALSE(IO_MouseIsDown(3, 0));
}

TEST_F(InputTest, WheelLastsOneStepAndBothDirectionsCanCoexist) {
  EXPECT_TRUE(Input_OnWheelUp());
  EXPECT_TRUE(Input_OnWheelDown());
  IO_Update();
  EXPECT_TRUE(IO_WheelUp(0));
  EXPECT_TRUE(IO_WheelDown(0));
  IO_Update();
  EXPECT_FALSE(IO_WheelUp(0));
  EXPECT_FALSE(IO_WheelDown(0));
}

TEST_F(InputTest, MousePositionReachesTheStep) {
  // The position outlives IO_Init (as it should): start from a known one.
  Input_OnMouseMove(7, 9);
  IO_Update();
  Input_OnMouseMove(120, 45);
  EXPECT_EQ(g_InputState.mouse_x, 7);
  IO_Update();
  EXPECT_EQ(g_InputState.mouse_x, 120);
  EXPECT_EQ(g_InputState.mouse_y, 45);
  EXPECT_EQ(g_InputState.device_x[0], 120);
  EXPECT_EQ(g_InputState.device_y[0], 45);
}

TEST_F(InputTest, ClearDropsEdgesHeldKeysAndText) {
  Type("abc");
  Input_OnKeyDown(65, 0, 0);
  Input_OnMouseDown(1, 0, 0);
  Input_OnWheelUp();
  IO_Update();
  IO_Clear();
  EXPECT_FALSE(IO_KeyIsDown(65));
  EXPECT_FALSE(IO_KeyWasPressed(65));
  EXPECT_FALSE(IO_MouseIsDown(1, 0));
  EXPECT_FALSE(IO_MouseWasPressed(1, 0));
  EXPECT_FALSE(IO_WheelUp(0));
  EXPECT_EQ(IO_GetLastKey(), 0);
  EXPECT_EQ(IO_GetLastChar(), 0);
  EXPECT_EQ(IO_GetMouseLastButton(0), 0);
  EXPECT_STREQ(IO_GetKeyboardString(), "");

  // Still physically held, but invisible until the next key-down message.
  Input_OnKeyDown(65, 0, 1);
  IO_Update();
  EXPECT_TRUE(IO_KeyIsDown(65));
  EXPECT_FALSE(IO_KeyWasPressed(65));
  IO_Clear();
  IO_Update();
  EXPECT_FALSE(IO_KeyIsDown(65));
  EXPECT_STREQ(IO_GetKeyboardString(), "");
}

TEST_F(InputTest, ClearLeavesKeyMapAndOtherDevices) {
  IO_SetKeyMap(10, 20);
  IO_SetMouseButton(2, 3);
  IO_Clear();
  EXPECT_EQ(IO_GetKeyMap(10), 20);
  EXPECT_EQ(IO_GetMouseButton(3), 2);
}

TEST_F(InputTest, KeyClearForgetsOneKey) {
  Input_OnKeyDown(65, 0, 0);
  Input_OnKeyDown(66, 0, 0);
  IO_Update();
  IO_KeyClear(65);
  IO_KeyClear(999);
  EXPECT_FALSE(IO_KeyIsDown(65));
  EXPECT_FALSE(IO_KeyWasPressed(65));
  EXPECT_TRUE(IO_KeyIsDown(66));
  IO_Update();
  EXPECT_FALSE(IO_KeyIsDown(65));
  EXPECT_TRUE(IO_KeyIsDown(66));
}

TEST(InputStartup, FirstStepKeepsWhatScriptsSetBeforeIt) {
  g_IORecord = g_IOPlayback = false;
  IO_Init();
  IO_SetCurrentKey(65);
  IO_Update();
  EXPECT_EQ(IO_GetCurrentKey(), 65);
  IO_Update();
  EXPECT_EQ(IO_GetCurrentKey(), 65);
  IO_Shutdown();
}

}  // namespace
