#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "audio/audio.h"
#include "audio/legacy_sound.h"
#include "core/event_dispatch.h"
#include "core/events.h"
#include "core/options.h"
#include "core/run_state.h"
#include "files/high_score.h"
#include "graphics/window.h"
#include "input/input.h"
#include "script/builtin_args.h"
#include "script/code.h"
#include "script/scripts.h"
#include "script/native_code.h"
#include "unit/motion/game_builtins_fixture.h"

namespace {

using gamefix::GameRoom;

// What the handlers of the fixture objects saw: one entry per run, the
// event's subtype and the instance it ran for.
struct Hit {
  int32_t type, subtype;
  CObjInstance* self;
};
std::vector<Hit> g_hits;

// hit(): records the running event; the handlers below call it.
TW_BUILTIN(TestHit) { g_hits.push_back({g_Run.event_type, g_Run.event_number, self}); }

ScriptValue T(const char* text) {
  ScriptValue v;
  ScriptValue_SetText(&v, text);
  return v;
}

class GameActions : public GameRoom {
 protected:
  void SetUp() override {
    GameRoom::SetUp();
    InitActionFunctions();
    FunctionRegistry_Add("hit", TestHit, 0);
    g_hits.clear();
    Action_Reset();
    LegacySound_Clear();
  }
  void TearDown() override {
    Action_Reset();
    LegacySound_Clear();
    g_hits.clear();
    GameRoom::TearDown();
  }

  // Gives `object` a handler for (type, subtype) running `code`.
  static void Handler(int32_t object, int type, int32_t subtype, const char* code) {
    CEvent* e = Object_Find(object)->AddEvent(type, subtype);
    e->SetCode(std::make_unique<CCode>(code, false), code);
    ASSERT_TRUE(e->Compile()) << code;
  }

  static int32_t AddScript(const char* name, const char* text) {
    auto script = std::make_unique<CScript>(name);
    script->SetText(text);
    const int32_t index = Script_AddForTests(std::move(script));
    EXPECT_TRUE(Script_Get(index)->Compile()) << text;
    return index;
  }
};

// ---- Score, lives and health -------------------------------------------------

TEST_F(GameActions, ScoreAndLivesAreRoundedSaturatingCountsAbsoluteOrAdded) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    bool relative;
    int32_t start;
    double value;
    int32_t want;
  } cases[] = {
      {false, 7, 2.5, 2},          {false, 7, 3.5, 4},           {false, 7, -2.5, -2},
      {false, 7, 1e20, INT32_MAX}, {false, 7, -1e20, INT32_MIN}, {false, 7, nan, 0},
      {false, 7, inf, INT32_MAX},  {false, 7, -inf, INT32_MIN},  {true, 10, 2.5, 12},
      {true, 10, -3, 7},           {true, INT32_MAX, 1, INT32_MAX}, {true, INT32_MIN, -inf, INT32_MIN},
      {true, 10, nan, 10},         {true, -5, 1e20, INT32_MAX},
  };
  for (const auto& c : cases) {
    Action_SetRelative(c.relative);
    g_Run.score = c.start;
    EXPECT_FALSE(Call(nullptr, "action_set_score", {R(c.value)}).reported);
    EXPECT_EQ(g_Run.score, c.want) << "score " << c.start << (c.relative ? " + " : " = ") << c.value;
    g_Run.lives = c.start;
    Call(nullptr, "action_set_life", {R(c.value)});
    EXPECT_EQ(g_Run.lives, c.want) << "lives " << c.start << (c.relative ? " + " : " = ") << c.value;
  }
}

TEST_F(GameActions, LivesOrHealthReachingZeroRunTheirEventOnceForEveryInstanceInTheCall) {
  const struct {
    const char* action;
    int32_t subtype;
  } cases[] = {{"action_set_life", 6}, {"action_set_health", 9}};
  Handler(box_, kEventOther, 6, "hit()");
  Handler(box_, kEventOther, 9, "hit()");
  CObjInstance* a = At(box_, 0, 0);
  CObjInstance* b = At(box_, 50, 0);
  for (const auto& c : cases) {
    g_hits.clear();
    g_Run.lives = 3;
    g_Run.health = 3;
    Call(nullptr, c.action, {R(0)});
    ASSERT_EQ(g_hits.size(), 2u) << c.action << " runs the event within the call";
    EXPECT_EQ(g_hits[0].type, kEventOther);
    EXPECT_EQ(g_hits[0].subtype, c.subtype);
    EXPECT_EQ(g_hits[0].self, a);
    EXPECT_EQ(g_hits[1].self, b);
    Call(nullptr, c.action, {R(0)});
    Call(nullptr, c.action, {R(-4)});
    EXPECT_EQ(g_hits.size(), 2u) << c.action << " already at 0: no second event";
    Call(nullptr, c.action, {R(0.4)});  // rounds to 0 for lives, stays above 0 for health
    Call(nullptr, c.action, {R(0)});
    const size_t more = c.subtype == 9 ? 2 : 0;
    EXPECT_EQ(g_hits.size(), 2u + more) << c.action << " from above 0 again";
    // Relative: 2 - 2 reaches 0.
    g_hits.clear();
    g_Run.lives = 2;
    g_Run.health = 2;
    Action_SetRelative(1);
    Call(nullptr, c.action, {R(-2)});
    Action_SetRelative(0);
    EXPECT_EQ(g_hits.size(), 2u) << c.action << " relative";
  }
  EXPECT_EQ(g_Run.health, 0);
}

TEST_F(GameActions, HealthIsARealAndAddsUnderTheRelativeFlag) {
  Call(nullptr, "action_set_health", {R(42.25)});
  EXPECT_EQ(g_Run.health, 42.25);
  Action_SetRelative(1);
  Call(nullptr, "action_set_health", {R(0.5)});
  EXPECT_EQ(g_Run.health, 42.75);
}

TEST_F(GameActions, TheCaptionActionSetsTheShowFlagsAtExactlyOneAndCopiesOnlyTexts) {
  g_Run.caption_changed = false;
  g_Run.show_health = true;
  const std::string windowCaption = Window_GetCaption();
  Call(nullptr, "action_set_caption", {R(1.4), T("Points: "), R(0.6), R(5), R(2), T("HP ")});
  EXPECT_TRUE(g_Run.show_score);
  EXPECT_EQ(g_Run.caption_score, "Points: ");
  EXPECT_TRUE(g_Run.show_lives) << "0.6 rounds to 1";
  EXPECT_EQ(g_Run.caption_lives, "") << "a real clears the caption";
  EXPECT_FALSE(g_Run.show_health) << "2 is not 1";
  EXPECT_EQ(g_Run.caption_health, "HP ");
  EXPECT_TRUE(g_Run.caption_changed);
  Call(nullptr, "action_set_caption", {R(0.5), T("x"), R(0.4)});
  EXPECT_FALSE(g_Run.show_score) << "0.5 rounds to 0";
  EXPECT_FALSE(g_Run.show_lives);
  EXPECT_EQ(g_Run.caption_health, "") << "a missing argument clears the caption";
  // The window caption is the game's own: the score never reaches it.
  g_Run.score = 0;
  Call(nullptr, "action_set_score", {R(1e20)});
  EXPECT_EQ(Window_GetCaption(), windowCaption);
}

// ---- The parent's event and scripts -----------------------------------------

TEST_F(GameActions, InheritedRunsTheParentsHandlerOfTheRunningEventForSelfAndOther) {
  const int32_t grand = Object(0, false);
  const int32_t parent = Object(0, false, grand);
  const int32_t child = Object(0, false, parent);
  const int32_t orphan = Object(0, false);
  Handler(grand, kEventStep, 2, "hit()");
  Handler(parent, kEventStep, 2, "hit(); action_inherited()");
  Handler(child, kEventStep, 2, "action_inherited()");
  Handler(orphan, kEventStep, 2, "action_inherited(); hit()");
  CObjInstance* kid = At(child, 0, 0);
  CObjInstance* other = At(orphan, 0, 0);
  ASSERT_TRUE(PerformEvent(kid, other, child, kEventStep, 2));
  ASSERT_EQ(g_hits.size(), 2u) << "the parent's handler, then through it the grandparent's";
  for (const Hit& h : g_hits) {
    EXPECT_EQ(h.self, kid);
    EXPECT_EQ(h.type, kEventStep);
    EXPECT_EQ(h.subtype, 2);
  }
  g_hits.clear();
  ASSERT_TRUE(PerformEvent(other, kid, orphan, kEventStep, 2));
  EXPECT_EQ(g_hits.size(), 1u) << "no parent: nothing more runs";
  g_hits.clear();
  EXPECT_FALSE(Call(kid, "action_inherited").reported) << "outside an event";
  EXPECT_TRUE(g_hits.empty());
}

// scr_args: its arguments as text ("1 2 abc 4 5 "), which it also returns.
std::string g_scriptArgs;
const NativeCodeEntry kArgsScript{"tws_Script_scr_args", nullptr,
                                  [](CObjInstance*, CObjInstance*, ScriptValue* result, int argc, ScriptValue** argv) {
                                    g_scriptArgs.clear();
                                    for (int i = 0; i < argc; ++i)
                                      g_scriptArgs += (argv[i]->IsString() ? std::string(argv[i]->Text())
                                                                           : std::to_string(int(argv[i]->Real()))) +
                                                      " ";
                                    ScriptValue_SetText(result, g_scriptArgs.c_str());
                                  }};

TEST_F(GameActions, ExecuteScriptPassesFiveArgumentsAndGivesTheScriptsResult) {
  auto native = std::make_unique<CScript>("scr_args");
  native->BindNative(&kArgsScript);
  const int32_t args = Script_AddForTests(std::move(native));
  const int32_t broken = AddScript("scr_broken", "return undefined_name_here;");

  std::vector<ScriptValue> values = {R(args), R(1), R(2), T("abc"), R(4), R(5)};
  ScriptValue result;
  FunctionRegistry_Call(FunctionRegistry_Find("action_execute_script"), nullptr, nullptr, &result, 6, values.data());
  EXPECT_EQ(g_scriptArgs, "1 2 abc 4 5 ");
  EXPECT_STREQ(result.Text(), "1 2 abc 4 5 ") << "the script's result is the action's";
  ScriptValue_Free(&result);
  for (ScriptValue& v : values) ScriptValue_Free(&v);

  Call(nullptr, "action_execute_script", {R(args + 0.4), R(7)});
  EXPECT_EQ(g_scriptArgs, "7 0 0 0 0 ") << "always five: missing ones are 0";

  const gamefix::Called failed = Call(nullptr, "action_execute_script", {R(broken), R(1), R(2), R(3), R(4), R(5)});
  EXPECT_TRUE(failed.reported);
  EXPECT_NE(failed.report.find("scr_broken"), std::string::npos) << failed.report;
  EXPECT_FALSE(Call(nullptr, "action_execute_script", {R(99), R(1)}).reported) << "no such script: nothing runs";
}

// ---- Sound ------------------------------------------------------------------

TEST_F(GameActions, WithNoAudioTheSoundActionsAndEntriesStaySilentInEitherSystem) {
  g_NoAudio = true;
  for (bool newAudio : {false, true}) {
    Options_Mutable().new_audio = newAudio;
    for (int step = 0; step < 3; ++step) {
      for (const char* action : {"action_sound", "action_end_sound", "action_if_sound"}) {
        const gamefix::Called c = Call(nullptr, action, {R(77), R(1)});
        EXPECT_FALSE(c.reported) << action << " new audio " << newAudio << ": " << c.report;
        if (std::string(action) == "action_if_sound") {
          EXPECT_EQ(c.real, 0);
        }
      }
      Error_ResetForTests();
      testing::internal::CaptureStdout();
      Action_PlaySound(77, true);
      Action_StopSound(77);
      testing::internal::GetCapturedStdout();
      EXPECT_FALSE(Error_Occurred()) << "direct entries, new audio " << newAudio;
    }
  }
}

TEST_F(GameActions, ALegacyGameIsToldOfAMissingSoundAndANewAudioOneIsNot) {
  Options_Mutable().new_audio = false;
  const gamefix::Called play = Call(nullptr, "action_sound", {R(77), R(0)});
  EXPECT_TRUE(play.reported);
  EXPECT_NE(play.report.find("Trying to play non-existing sound."), std::string::npos) << play.report;
  const gamefix::Called stop = Call(nullptr, "action_end_sound", {R(77)});
  EXPECT_NE(stop.report.find("Trying to stop non-existing sound."), std::string::npos) << stop.report;
  EXPECT_EQ(Call(nullptr, "action_if_sound", {R(77)}).real, 0);

  Options_Mutable().new_audio = true;  // with no device, the system is off
  for (const char* action : {"action_sound", "action_end_sound", "action_if_sound"})
    EXPECT_FALSE(Call(nullptr, action, {R(78), R(0)}).reported) << action;
}

// ---- Rooms and the game -----------------------------------------------------

TEST_F(GameActions, EndAndRestartAskForTheirRoomRequests) {
  Call(nullptr, "action_end_game");
  EXPECT_EQ(g_Run.new_room, kNewRoomEnd);
  g_Run.new_room = kNewRoomNone;
  Action_EndGame();
  EXPECT_EQ(g_Run.new_room, kNewRoomEnd);
  g_Run.new_room = kNewRoomNone;
  Call(nullptr, "action_restart_game");
  EXPECT_EQ(g_Run.new_room, kNewRoomRestart);
  g_Run.new_room = kNewRoomNone;
}

// ---- Web pages --------------------------------------------------------------

TEST_F(GameActions, OnlyWebAddressesAreOpened) {
  std::vector<ScriptValue> refused = {T(""),
                                      T("file:///etc/passwd"),
                                      T("touch pwned"),
                                      T("javascript:alert(1)"),
                                      T("httpx://example.com"),
                                      T(" http://example.com"),
                                      T("-e http://example.com"),
                                      R(3)};
  for (ScriptValue& address : refused) {
    const gamefix::Called c = Call(nullptr, "action_webpage", {address});
    EXPECT_TRUE(c.reported);
    EXPECT_NE(c.report.find("Failed to open the webpage."), std::string::npos) << c.report;
  }
}

// ---- Messages, the window and the rest ---------------------------------------

TEST_F(GameActions, MessagesAnswerOneAndClearTheInput) {
  for (ScriptValue message : {T("one#two"), R(1e300), R(std::nan(""))}) {
    g_InputState.keys_down[65] = 1;
    const gamefix::Called c = Call(nullptr, "action_message", {message});
    EXPECT_EQ(c.real, 1);
    EXPECT_FALSE(c.reported);
    EXPECT_EQ(g_InputState.keys_down[65], 0);
  }
  for (const char* action : {"action_show_info", "action_show_video"}) {
    g_InputState.keys_down[65] = 1;
    EXPECT_FALSE(Call(nullptr, action, {T("intro.avi"), R(1), R(1)}).reported) << action;
    EXPECT_EQ(g_InputState.keys_down[65], 0) << action;
  }
}

TEST_F(GameActions, CursorFullScreenAndHighScoresFollowTheirArguments) {
  Call(nullptr, "action_set_cursor", {R(2.5), R(0.5)});
  EXPECT_EQ(g_Run.cursor_sprite, 2);
  EXPECT_EQ(Window_GetCursor(), 0);
  Call(nullptr, "action_set_cursor", {R(-1), R(0.49)});
  EXPECT_EQ(g_Run.cursor_sprite, -1);
  EXPECT_EQ(Window_GetCursor(), -1);

  Window_SetFullscreenFlag(false);
  const struct {
    double mode;
    bool want;
  } modes[] = {{2, true}, {2, true}, {1, false}, {0, true}, {3, false}, {1.4, false}, {1.6, true}};
  for (const auto& m : modes) {
    Call(nullptr, "action_fullscreen", {R(m.mode)});
    EXPECT_EQ(Window_GetFullscreen(), m.want) << m.mode;
  }
  Window_SetFullscreenFlag(false);

  HighScore_Set(1, "ann", 500);
  Call(nullptr, "action_highscore_clear");
  EXPECT_EQ(HighScore_At(1)->score, 0);
  EXPECT_EQ(HighScore_At(1)->name, "<nobody>");
}

TEST_F(GameActions, TheCdPlayerAnswersAsAMachineWithoutADrive) {
  EXPECT_EQ(Call(nullptr, "action_cd_present").real, 0);
  EXPECT_EQ(Call(nullptr, "action_cd_playing").real, 0);
  for (const char* action : {"action_cd_play", "action_cd_stop", "action_cd_pause", "action_cd_resume"})
    EXPECT_FALSE(Call(nullptr, action, {R(1), R(3)}).reported) << action;
  EXPECT_EQ(Call(nullptr, "action_cd_playing").real, 0);
}

}  // namespace
