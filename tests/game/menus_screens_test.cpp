// The splash screen, the fade to black and the result screens, with the
// alarms counted down step by step as the runner does, and the F2 sound
// toggle of every controller.
#include <gtest/gtest.h>

#include "game/menus_world.h"

namespace {

using namespace menus;
using game::kBlink;
using game::kFadeAlpha;
using game::kFadeSpeed;
using game::kNewRoom;
using game::kSoundPlay;

class Screens : public MenusWorld {};

TEST_F(Screens, TheSplashSwitchesSoundOnStartsTheMenuMusicAndWaitsOneSecond) {
  room_.speed = 45;
  CObjInstance* splash = At(kSplash, 32, 416);
  tws_Object_splash_screen_Create_0(splash, splash);
  EXPECT_EQ(Global(kSoundPlay).Real(), 1);
  EXPECT_TRUE(Playing(kMenuMusic));
  EXPECT_EQ(splash->GetAlarm(0), 45);
  EXPECT_EQ(Local(splash, kBlink).Real(), 0);

  // A second splash (the game restarted) does not start the music again.
  const int starts = Starts(kMenuMusic);
  CObjInstance* again = At(kSplash, 32, 416);
  tws_Object_splash_screen_Create_0(again, again);
  EXPECT_EQ(Starts(kMenuMusic), starts);
  EXPECT_FALSE(Error_Occurred());
}

TEST_F(Screens, PressEnterIsAbsentForTheFirstSecondThenBlinksEverySecond) {
  CObjInstance* splash = At(kSplash, 32, 416);
  tws_Object_splash_screen_Create_0(splash, splash);
  const std::vector<Recorded> shown = DrawsOf([] {
    Text_SetHAlign(1);
    Text_SetVAlign(1);
    DrawLines({{kBlack, 320, 380, "- Press Enter -", 1.5f}});
  });
  ASSERT_FALSE(shown.empty());
  for (int step = 1; step <= 250; ++step) {
    Step();
    Text_SetHAlign(0);
    Text_SetVAlign(0);
    const std::vector<Recorded> drawn = DrawsOf([&] { tws_Object_splash_screen_Draw_64(splash, splash); });
    const bool on = (step / 60) % 2 == 1;
    EXPECT_EQ(drawn, on ? shown : std::vector<Recorded>{}) << "step " << step;
    if (drawn != (on ? shown : std::vector<Recorded>{})) break;
  }
  // The centred alignment stays for what is drawn later.
  EXPECT_EQ(DrawsOf([] { Text_Draw(5, 5, "x", -1, -1); }), DrawsOf([] {
              Text_SetHAlign(1);
              Text_SetVAlign(1);
              Text_Draw(5, 5, "x", -1, -1);
            }));
}

TEST_F(Screens, ABlinkValueOtherThanZeroOrOneStopsTheBlinking) {
  CObjInstance* splash = At(kSplash, 32, 416);
  splash->SetAlarm(0, -1);
  SetLocal(splash, kBlink, 0.5);
  tws_Object_splash_screen_Alarm_0(splash, splash);
  EXPECT_EQ(splash->GetAlarm(0), -1);
  EXPECT_EQ(Local(splash, kBlink).Real(), 0.5);
}

TEST_F(Screens, EnterOnTheSplashStartsAFadeThatGoesToTheMenu) {
  SetGlobal(kSoundPlay, 1);
  CObjInstance* splash = At(kSplash, 32, 416);
  EXPECT_TRUE(Clicked([&] { tws_Object_splash_screen_KeyPress_13(splash, splash); }));
  const std::vector<CObjInstance*> fades = Live(kFade);
  ASSERT_EQ(fades.size(), 1u);
  CObjInstance* fade = fades[0];
  EXPECT_EQ(fade->x, 0);
  EXPECT_EQ(fade->y, 0);
  EXPECT_EQ(Local(fade, kNewRoom).Real(), 1) << "set after its create event ran";
  EXPECT_EQ(Local(fade, kFadeAlpha).Real(), 0.5);
  EXPECT_EQ(Local(fade, kFadeSpeed).Real(), 5);
  EXPECT_EQ(fade->GetAlarm(0), 5);
  EXPECT_EQ(Local(splash, kNewRoom).Real(), 0) << "only the new instance gets the room";
  EXPECT_FALSE(Error_Occurred());
}

TEST_F(Screens, TheFadeChangesTheRoomOnItsTenthAlarmFiftyStepsAfterCreation) {
  CObjInstance* splash = At(kSplash, 32, 416);
  tws_Object_splash_screen_KeyPress_13(splash, splash);
  CObjInstance* fade = Live(kFade).at(0);
  splash->SetAlarm(0, -1);
  int alarms = 0;
  double alpha = 0.5;
  for (int step = 1; step < 50; ++step) {
    Step();
    if (step % 5 == 0) {
      ++alarms;
      alpha += 0.05;
      EXPECT_EQ(fade->GetAlarm(0), 5) << "step " << step;
    }
    EXPECT_EQ(Local(fade, kFadeAlpha).Real(), alpha) << "step " << step;
    ASSERT_EQ(g_Run.new_room, kNewRoomNone) << "step " << step;
  }
  EXPECT_EQ(alarms, 9);
  Step();
  EXPECT_EQ(g_Run.new_room, 1);
  EXPECT_TRUE(fade->MarkedDead());
  EXPECT_FALSE(Error_Occurred());
}

TEST_F(Screens, TheFadeStepTakesItsNextAlarmFromFadeSpeed) {
  const int32_t id = Instance_CreateAt(0, 0, kFade);
  CObjInstance* fade = Live(kFade).at(0);
  ASSERT_EQ(fade->id, id);
  SetLocal(fade, kFadeSpeed, 2);
  SetLocal(fade, kNewRoom, 14);
  SetLocal(fade, kFadeAlpha, 0.9);
  tws_Object_obj_fadetoblack_Alarm_0(fade, fade);
  EXPECT_EQ(fade->GetAlarm(0), 2);
  EXPECT_EQ(g_Run.new_room, kNewRoomNone) << "0.95 is not yet 1";
  tws_Object_obj_fadetoblack_Alarm_0(fade, fade);
  EXPECT_EQ(g_Run.new_room, 14);
  EXPECT_TRUE(fade->MarkedDead());
}

TEST_F(Screens, OfTwoFadesTheFirstToFinishChangesTheRoom) {
  CObjInstance* splash = At(kSplash, 32, 416);
  splash->SetAlarm(0, -1);
  tws_Object_splash_screen_KeyPress_13(splash, splash);
  for (int step = 0; step < 3; ++step) Step();
  tws_Object_splash_screen_KeyPress_13(splash, splash);
  const std::vector<CObjInstance*> fades = Live(kFade);
  ASSERT_EQ(fades.size(), 2u);
  SetLocal(fades[1], kNewRoom, 14);  // tells the two apart
  for (int step = 3; step < 50; ++step) Step();
  EXPECT_EQ(g_Run.new_room, 1);
  EXPECT_TRUE(fades[0]->MarkedDead());
  EXPECT_FALSE(fades[1]->MarkedDead());
  EXPECT_LT(Local(fades[1], kFadeAlpha).Real(), 1);
}

TEST_F(Screens, TheFadeDrawsABlackRoomAtItsAlphaAndPutsFullAlphaBack) {
  const int32_t id = Instance_CreateAt(0, 0, kFade);
  ASSERT_GE(id, 100000);
  CObjInstance* fade = Live(kFade).at(0);
  Draw_SetColour(0x123456);
  const auto rectangle = [](float alpha) {
    return [alpha] {
      Draw_SetAlpha(alpha);
      Draw_RectangleColour(0, 0, 640, 480, 0, 0, 0, 0, false);
      Draw_SetAlpha(1);
    };
  };
  ASSERT_NE(DrawsOf(rectangle(0.5f)), DrawsOf(rectangle(0.55f))) << "the alpha shows in the vertices";
  const std::vector<Recorded> drawn = DrawsOf([&] { tws_Object_obj_fadetoblack_Draw_64(fade, fade); });
  EXPECT_EQ(drawn, DrawsOf(rectangle(0.5f)));
  EXPECT_EQ(Draw_GetAlpha(), 1);
  tws_Object_obj_fadetoblack_Alarm_0(fade, fade);
  EXPECT_EQ(DrawsOf([&] { tws_Object_obj_fadetoblack_Draw_64(fade, fade); }), DrawsOf(rectangle(0.55f)));
  EXPECT_FALSE(Error_Occurred());
}

TEST_F(Screens, ResultScreensPlayTheirMusicAndReturnToTheLevelSelection) {
  SetGlobal(kSoundPlay, 0);
  CObjInstance* result = At(kGotoLevel, 64, 416);
  tws_Object_gotolevel_Create_0(result, result);
  EXPECT_FALSE(Playing(kResultMusic)) << "sound off";
  SetGlobal(kSoundPlay, 1);
  tws_Object_gotolevel_Create_0(result, result);
  EXPECT_TRUE(Playing(kResultMusic));

  EXPECT_TRUE(Clicked([&] { tws_Object_gotolevel_Keyboard_27(result, result); }));
  EXPECT_EQ(g_Run.new_room, 2);
  EXPECT_TRUE(Playing(kResultMusic)) << "Escape leaves the music on";

  g_Run.new_room = kNewRoomNone;
  EXPECT_TRUE(Clicked([&] { tws_Object_gotolevel_Keyboard_13(result, result); }));
  EXPECT_EQ(g_Run.new_room, 2);
  EXPECT_FALSE(Playing(kResultMusic)) << "Enter stops it";
  EXPECT_FALSE(Error_Occurred());
}

TEST_F(Screens, F2TogglesSoundAndEachControllersMusic) {
  const struct {
    const char* controller;
    void (*toggle)(CObjInstance*, CObjInstance*);
    int32_t music;
  } cases[] = {
      {"splash_screen", tws_Object_splash_screen_KeyPress_113, kMenuMusic},
      {"game_start", tws_Object_game_start_KeyPress_113, kMenuMusic},
      {"level_select", tws_Object_level_select_KeyPress_113, kMenuMusic},
      {"obj_Help", tws_Object_obj_Help_KeyPress_113, kMenuMusic},
      {"gotolevel", tws_Object_gotolevel_KeyPress_113, kResultMusic},
  };
  CObjInstance* self = At(kGameStart, 0, 0);
  for (const auto& c : cases) {
    Sound_StopAll();
    SetGlobal(kSoundPlay, 1);
    Action_PlaySound(c.music, true);
    ASSERT_TRUE(Playing(c.music)) << c.controller;
    c.toggle(self, self);
    EXPECT_EQ(Global(kSoundPlay).Real(), 0) << c.controller;
    EXPECT_FALSE(Playing(c.music)) << c.controller;
    c.toggle(self, self);
    EXPECT_EQ(Global(kSoundPlay).Real(), 1) << c.controller;
    EXPECT_TRUE(Playing(c.music)) << c.controller;
    for (int32_t other = 0; other < kSoundCount; ++other) {
      if (other == c.music) continue;
      EXPECT_FALSE(Playing(other)) << c.controller << " sound " << other;
    }
    // A value that is neither 0 nor 1 changes nothing.
    SetGlobal(kSoundPlay, 0.5);
    c.toggle(self, self);
    EXPECT_EQ(Global(kSoundPlay).Real(), 0.5) << c.controller;
    EXPECT_TRUE(Playing(c.music)) << c.controller;
  }
}

TEST_F(Screens, SoundSwitchedOffOnTheSplashKeepsTheTitleMenuSilent) {
  CObjInstance* splash = At(kSplash, 32, 416);
  tws_Object_splash_screen_Create_0(splash, splash);
  tws_Object_splash_screen_KeyPress_113(splash, splash);
  ASSERT_FALSE(Playing(kMenuMusic));
  CObjInstance* menu = At(kGameStart, 64, 384);
  tws_Object_game_start_Create_0(menu, menu);
  EXPECT_EQ(Global(kSoundPlay).Real(), 0);
  EXPECT_FALSE(Playing(kMenuMusic));
  EXPECT_FALSE(Clicked([&] { tws_Object_game_start_KeyPress_13(menu, menu); }));
}

}  // namespace
