// The title menu, the level selection and the help screen, their events
// called as the runner would on a hand-made room: the values they keep, the
// rooms they ask for, the clicks and music, and the texts they draw.
#include <gtest/gtest.h>

#include "game/menus_world.h"

namespace {

using namespace menus;
using game::kDifficultySelector;
using game::kLevelSelector;
using game::kSoundPlay;

class LevelSelect : public MenusWorld {
 protected:
  void SetUp() override {
    MenusWorld::SetUp();
    SetGlobal(kSoundPlay, 1);
    preview_ = At(kChangeLevel, 320, 160);
    select_ = At(kLevelSelect, 64, 416);
  }
  CObjInstance* preview_ = nullptr;
  CObjInstance* select_ = nullptr;
};

TEST_F(LevelSelect, OpensAtLevelOneOnEasyWhateverWasChosenBefore) {
  SetGlobal(kDifficultySelector, 3);
  SetLocal(select_, kLevelSelector, 7);
  tws_Object_level_select_Create_0(select_, select_);
  EXPECT_EQ(Local(select_, kLevelSelector).Real(), 1);
  EXPECT_EQ(Global(kDifficultySelector).Real(), 1);
  EXPECT_TRUE(Playing(kMenuMusic)) << "the menu music starts with sound on";
  EXPECT_FALSE(Error_Occurred());

  Text_SetVAlign(1);  // as the splash screen leaves it
  const std::vector<Recorded> drawn = DrawsOf([&] { tws_Object_level_select_Draw_64(select_, select_); });
  const std::vector<Recorded> want = DrawsOf([] {
    DrawLines({{kBlack, 180, 0, "Levelauswahl: 1", 1.5f},
               {kWhite, 80, 320, "Auf / Ab - Level wechseln ", 1.5f},
               {kWhite, 64, 340, "Links / Rechts - Schwierigkeit", 1.5f},
               {kWhite, 160, 360, "Enter: Bestaetigen", 1.5f},
               {kWhite, 140, 380, "ESC: Zum Menu zurueck", 1.5f},
               {kBlack, 140, 448, "Schwierigkeit: Leicht", 1.5f}});
  });
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(drawn, want);
}

TEST_F(LevelSelect, TheTitleShowsTheWholeLevelAndTheDifficultyOnlyForOneToThree) {
  const struct {
    double level, difficulty;
    const char* title;
    const char* difficultyText;  // null: none drawn
  } cases[] = {
      {7.9, 2, "Levelauswahl: 7", "Schwierigkeit: Normal"},
      {9, 3, "Levelauswahl: 9", "Schwierigkeit: Schwer"},
      {123456, 3 + 1e-17, "Levelauswahl: 123456", "Schwierigkeit: Schwer"},
      {1, 4, "Levelauswahl: 1", nullptr},
      {1, 0, "Levelauswahl: 1", nullptr},
      {1, 1.5, "Levelauswahl: 1", nullptr},
  };
  for (const auto& c : cases) {
    SetLocal(select_, kLevelSelector, c.level);
    SetGlobal(kDifficultySelector, c.difficulty);
    const std::vector<Recorded> drawn = DrawsOf([&] { tws_Object_level_select_Draw_64(select_, select_); });
    const std::vector<Recorded> want = DrawsOf([&] {
      DrawLines({{kBlack, 180, 0, c.title, 1.5f},
                 {kWhite, 80, 320, "Auf / Ab - Level wechseln ", 1.5f},
                 {kWhite, 64, 340, "Links / Rechts - Schwierigkeit", 1.5f},
                 {kWhite, 160, 360, "Enter: Bestaetigen", 1.5f},
                 {kWhite, 140, 380, "ESC: Zum Menu zurueck", 1.5f}});
      if (c.difficultyText) DrawLines({{kBlack, 140, 448, c.difficultyText, 1.5f}});
    });
    EXPECT_EQ(drawn, want) << c.title << " / " << c.difficulty;
  }
}

TEST_F(LevelSelect, ArrowsStepLevelAndDifficultyWithAClickAndStopAtTheirBounds) {
  using Event = void (*)(CObjInstance*, CObjInstance*);
  const struct {
    const char* key;
    Event event;
    game::InstanceSlot local;  // kInstanceSlotCount: the difficulty, a global
    double from, to;
  } cases[] = {
      {"Up", tws_Object_level_select_KeyPress_38, kLevelSelector, 1, 2},
      {"Up", tws_Object_level_select_KeyPress_38, kLevelSelector, 8, 9},
      {"Up", tws_Object_level_select_KeyPress_38, kLevelSelector, 9, 9},
      {"Up", tws_Object_level_select_KeyPress_38, kLevelSelector, 8.5, 9.5},
      {"Down", tws_Object_level_select_KeyPress_40, kLevelSelector, 9, 8},
      {"Down", tws_Object_level_select_KeyPress_40, kLevelSelector, 2, 1},
      {"Down", tws_Object_level_select_KeyPress_40, kLevelSelector, 1, 1},
      {"Right", tws_Object_level_select_KeyPress_39, game::kInstanceSlotCount, 1, 2},
      {"Right", tws_Object_level_select_KeyPress_39, game::kInstanceSlotCount, 2, 3},
      {"Right", tws_Object_level_select_KeyPress_39, game::kInstanceSlotCount, 3, 3},
      {"Left", tws_Object_level_select_KeyPress_37, game::kInstanceSlotCount, 3, 2},
      {"Left", tws_Object_level_select_KeyPress_37, game::kInstanceSlotCount, 2, 1},
      {"Left", tws_Object_level_select_KeyPress_37, game::kInstanceSlotCount, 1, 1},
  };
  for (bool relativeBefore : {false, true}) {
    for (const auto& c : cases) {
      ScriptValue& value = c.local == game::kInstanceSlotCount ? Global(kDifficultySelector) : Local(select_, c.local);
      game::Assign(value, c.from);
      Action_SetRelative(relativeBefore);
      const bool clicked = Clicked([&] { c.event(select_, select_); });
      EXPECT_EQ(value.Real(), c.to) << c.key << " from " << c.from;
      EXPECT_EQ(clicked, c.from != c.to) << c.key << " from " << c.from;
      EXPECT_FALSE(Action_GetRelative()) << c.key << " leaves the relative flag off";
    }
  }
  // The other selector is left alone.
  SetGlobal(kDifficultySelector, 2);
  SetLocal(select_, kLevelSelector, 5);
  tws_Object_level_select_KeyPress_38(select_, select_);
  tws_Object_level_select_KeyPress_39(select_, select_);
  EXPECT_EQ(Local(select_, kLevelSelector).Real(), 6);
  EXPECT_EQ(Global(kDifficultySelector).Real(), 3);
  EXPECT_FALSE(Error_Occurred());

  // With sound off the level still changes, silently.
  SetGlobal(kSoundPlay, 0);
  EXPECT_FALSE(Clicked([&] { tws_Object_level_select_KeyPress_40(select_, select_); }));
  EXPECT_EQ(Local(select_, kLevelSelector).Real(), 5);
}

TEST_F(LevelSelect, TheStepShowsEachLevelsPreviewPicture) {
  CObjInstance* second = At(kChangeLevel, 0, 0);
  const struct {
    double level;
    int32_t sprite;  // -1: the picture stays as it was
  } cases[] = {{1, 6}, {2, 5}, {3, 7}, {4, 8}, {8, 12}, {9, 13}, {0, -1}, {10, -1}, {2.5, -1}, {1 + 1e-12, -1}};
  for (const auto& c : cases) {
    preview_->SetSpriteIndex(0);
    second->SetSpriteIndex(0);
    preview_->image_index = 3;
    preview_->image_speed = 0.25f;
    SetLocal(select_, kLevelSelector, c.level);
    tws_Object_level_select_Step_0(select_, select_);
    const int32_t want = c.sprite < 0 ? 0 : c.sprite;
    EXPECT_EQ(preview_->sprite_index, want) << "level " << c.level;
    EXPECT_EQ(second->sprite_index, want) << "every preview instance, level " << c.level;
    if (c.sprite >= 0) {
      EXPECT_EQ(preview_->image_index, 0) << "level " << c.level;
      EXPECT_EQ(preview_->image_speed, 1) << "level " << c.level;
    }
  }
  EXPECT_EQ(select_->sprite_index, -1) << "the controller keeps no picture";
  EXPECT_FALSE(Error_Occurred());
}

TEST_F(LevelSelect, EnterStartsTheChosenLevelsRoomWithTheMenuMusicPlayingOn) {
  tws_Object_level_select_Create_0(select_, select_);
  for (int level = 1; level <= 9; ++level) {
    g_Run.new_room = kNewRoomNone;
    SetLocal(select_, kLevelSelector, level);
    EXPECT_TRUE(Clicked([&] { tws_Object_level_select_KeyPress_13(select_, select_); })) << level;
    EXPECT_EQ(g_Run.new_room, level + 2) << "level " << level;
  }
  EXPECT_TRUE(Playing(kMenuMusic)) << "the level's match controller stops it";
  for (double level : {0.0, 10.0, 2.5, -1.0}) {
    g_Run.new_room = kNewRoomNone;
    SetLocal(select_, kLevelSelector, level);
    EXPECT_FALSE(Clicked([&] { tws_Object_level_select_KeyPress_13(select_, select_); })) << level;
    EXPECT_EQ(g_Run.new_room, kNewRoomNone) << "level " << level;
  }
  EXPECT_FALSE(Error_Occurred());
}

TEST_F(LevelSelect, EscapeGoesBackToTheMenu) {
  EXPECT_TRUE(Clicked([&] { tws_Object_level_select_KeyPress_27(select_, select_); }));
  EXPECT_EQ(g_Run.new_room, 1);
}

// ---- Title menu and help -----------------------------------------------------

class TitleMenu : public MenusWorld {
 protected:
  void SetUp() override {
    MenusWorld::SetUp();
    SetGlobal(kSoundPlay, 1);
    menu_ = At(kGameStart, 64, 384);
    help_ = At(kHelp, 64, 64);
  }
  CObjInstance* menu_ = nullptr;
  CObjInstance* help_ = nullptr;
};

TEST_F(TitleMenu, DrawsItsKeysTopLeftAlignedInWhiteWhateverTheSplashLeft) {
  tws_Object_game_start_Create_0(menu_, menu_);
  Text_SetHAlign(1);
  Text_SetVAlign(1);
  const std::vector<Recorded> drawn = DrawsOf([&] { tws_Object_game_start_Draw_64(menu_, menu_); });
  Text_SetHAlign(0);
  Text_SetVAlign(0);
  const std::vector<Recorded> want = DrawsOf([] {
    DrawLines({{kWhite, 124, 300, "Enter - Spiel starten ", 1.5f},
               {kWhite, 124, 320, "F1 - Hilfe anzeigen", 1.5f},
               {kWhite, 124, 340, "F2 - Sound ab-/anstellen", 1.5f},
               {kWhite, 124, 360, "ESC  - Spiel beenden", 1.5f},
               {kWhite, 40, 405, "Tarnwicke Pong", 0.7f},
               {kWhite, 40, 420, "Ein Spiel der Tarnwicke-Engine", 0.7f}});
  });
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(drawn, want);
  EXPECT_FALSE(Error_Occurred());
}

TEST_F(TitleMenu, KeysGoToHelpTheLevelSelectionOrEndTheGameAfterAClick) {
  const struct {
    const char* key;
    void (*event)(CObjInstance*, CObjInstance*);
    int32_t room;
  } cases[] = {
      {"F1", tws_Object_game_start_KeyPress_112, 14},
      {"Enter", tws_Object_game_start_KeyPress_13, 2},
      {"Escape", tws_Object_game_start_KeyPress_27, kNewRoomEnd},
  };
  for (const auto& c : cases) {
    g_Run.new_room = kNewRoomNone;
    EXPECT_TRUE(Clicked([&] { c.event(menu_, menu_); })) << c.key;
    EXPECT_EQ(g_Run.new_room, c.room) << c.key;
  }
  SetGlobal(kSoundPlay, 0);
  g_Run.new_room = kNewRoomNone;
  EXPECT_FALSE(Clicked([&] { tws_Object_game_start_KeyPress_13(menu_, menu_); }));
  EXPECT_EQ(g_Run.new_room, 2);
  EXPECT_FALSE(Error_Occurred());
}

TEST_F(TitleMenu, TheMenuMusicStartsOnceAndOnlyWithSoundOn) {
  using Event = void (*)(CObjInstance*, CObjInstance*);
  for (Event create : {tws_Object_game_start_Create_0, tws_Object_obj_Help_Create_0,
                       static_cast<Event>(tws_Object_level_select_Create_0)}) {
    Sound_StopAll();
    SetGlobal(kSoundPlay, 0);
    create(menu_, menu_);
    EXPECT_FALSE(Playing(kMenuMusic)) << "sound off";
    SetGlobal(kSoundPlay, 1);
    create(menu_, menu_);
    EXPECT_TRUE(Playing(kMenuMusic));
    const int starts = Starts(kMenuMusic);
    create(help_, help_);
    EXPECT_EQ(Starts(kMenuMusic), starts) << "coming back from help does not restart it";
    EXPECT_TRUE(Playing(kMenuMusic));
  }
}

TEST_F(TitleMenu, HelpDrawsItsTextsAndEnterGoesBackToTheMenu) {
  tws_Object_obj_Help_Create_0(help_, help_);
  const std::vector<Recorded> drawn = DrawsOf([&] { tws_Object_obj_Help_Draw_64(help_, help_); });
  const std::vector<Recorded> want = DrawsOf([] {
    DrawLines({{kWhite, 140, 300, "Pfeiltasten - Paddel bewegen ", 1},
               {kWhite, 140, 320, "Leertaste - Paddel stoppen", 1},
               {kWhite, 140, 340, "F2 - Sound ab-/anstellen", 1},
               {kWhite, 96, 360, "Sieger ist wer zuerst 10 Punkte hat.", 1},
               {kWhite, 40, 420, "Enter - Zurueck zum Menu", 0.7f}});
  });
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(drawn, want);
  EXPECT_TRUE(Clicked([&] { tws_Object_obj_Help_KeyPress_13(help_, help_); }));
  EXPECT_EQ(g_Run.new_room, 1);
  EXPECT_FALSE(Error_Occurred());
}

}  // namespace
