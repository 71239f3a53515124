// The match controller and the serve countdown on a hand-made level room:
// the match's start and end, its keys, the score line, the countdown's words
// and the serve.
#include "game/game_code.h"
#include "game/play_world.h"

namespace {

using play::Drawn;
using play::PlayRoom;

class Match : public PlayRoom {};

TEST_F(Match, AMatchStartsAtNilStopsTheMenuMusicAndPlaysItsOwnWhileSoundIsOn) {
  for (double sound : {1.0, 0.0}) {
    SetGlobal(game::kSoundPlay, sound);
    SetGlobal(game::kScorePlayer1, 7);
    SetGlobalText(game::kScorePlayer2, "left from before");
    CObjInstance* match = At(play::kGameRunning, 320, 192);
    tws_Object_GameRunning_Create_0(match, nullptr);
    EXPECT_TRUE(Global(game::kScorePlayer1).IsReal());
    EXPECT_TRUE(Global(game::kScorePlayer2).IsReal());
    EXPECT_EQ(Global(game::kScorePlayer1).Real(), 0);
    EXPECT_EQ(Global(game::kScorePlayer2).Real(), 0);
    const auto sounds = Asked();
    EXPECT_EQ(sounds.stopped, std::set<int>{0}) << "the menu music stops in any case";
    EXPECT_EQ(sounds.played, sound == 1 ? std::set<int>{3} : std::set<int>{}) << sound;
  }
}

TEST_F(Match, TenPointsEndTheMatchOnTheWinOrTheLoseScreen) {
  const struct {
    double player, computer;
    int32_t room;
  } cases[] = {
      {10, 3, 12},
      {2, 10, 13},
      {10, 10, 12},  // the player's ten is looked at first
      {9, 9, kNewRoomNone},
      {9.999999999, 0, kNewRoomNone},  // exactly ten, no nearness
      {11, 11, kNewRoomNone},
  };
  for (const auto& c : cases) {
    SetGlobal(game::kScorePlayer1, c.player);
    SetGlobal(game::kScorePlayer2, c.computer);
    g_Run.new_room = kNewRoomNone;
    CObjInstance* match = At(play::kGameRunning, 320, 192);
    tws_Object_GameRunning_Step_0(match, nullptr);
    EXPECT_EQ(g_Run.new_room, c.room) << c.player << " : " << c.computer;
    const auto sounds = Asked();
    EXPECT_EQ(sounds.stopped, c.room == kNewRoomNone ? std::set<int>{} : std::set<int>{3});
    EXPECT_TRUE(sounds.played.empty());
  }
}

TEST_F(Match, EscapeClicksStopsTheMatchMusicAndGoesBackToTheLevelSelection) {
  for (double sound : {1.0, 0.0}) {
    SetGlobal(game::kSoundPlay, sound);
    g_Run.new_room = kNewRoomNone;
    CObjInstance* match = At(play::kGameRunning, 320, 192);
    tws_Object_GameRunning_KeyPress_27(match, nullptr);
    EXPECT_EQ(g_Run.new_room, 2);
    const auto sounds = Asked();
    EXPECT_EQ(sounds.played, sound == 1 ? std::set<int>{2} : std::set<int>{});
    EXPECT_EQ(sounds.stopped, std::set<int>{3});
  }
}

TEST_F(Match, F2TogglesTheMatchMusic) {
  SetGlobal(game::kSoundPlay, 1);
  CObjInstance* match = At(play::kGameRunning, 320, 192);
  tws_Object_GameRunning_KeyPress_113(match, nullptr);
  EXPECT_EQ(Global(game::kSoundPlay).Real(), 0);
  auto sounds = Asked();
  EXPECT_EQ(sounds.stopped, std::set<int>{3});
  EXPECT_TRUE(sounds.played.empty());
  tws_Object_GameRunning_KeyPress_113(match, nullptr);
  EXPECT_EQ(Global(game::kSoundPlay).Real(), 1);
  sounds = Asked();
  EXPECT_EQ(sounds.played, std::set<int>{3});
  EXPECT_TRUE(sounds.stopped.empty());
}

TEST_F(Match, TheScoreLineShowsWholePointsInBlack) {
  const struct {
    double player, computer;
    const char* line;
  } cases[] = {
      {0, 0, "0 : 0"},
      {3, 7.6, "3 : 7"},
      {10, 9, "10 : 9"},
      {-1.5, 123456789, "-2 : 123456789"},
  };
  CObjInstance* match = At(play::kGameRunning, 320, 192);
  for (const auto& c : cases) {
    SetGlobal(game::kScorePlayer1, c.player);
    SetGlobal(game::kScorePlayer2, c.computer);
    Draw_SetColour(0x123456);
    play::Seen() = {};
    tws_Object_GameRunning_Draw_64(match, nullptr);
    EXPECT_EQ(play::Seen().draws,
              (std::vector<Drawn>{{"draw_text_transformed", {280, 0, 1.5, 1.5, 0}, c.line, 0}}));
  }
}

// ---- Countdown -----------------------------------------------------------------

class Countdown : public PlayRoom {};

TEST_F(Countdown, ItServesABallWithAWhiteRingThreeSecondsAfterItsCreation) {
  for (int speed : {60, 30}) {
    room_.speed = speed;
    play::Seen() = {};
    CObjInstance* countdown = At(play::kCountdown, 288, 192);
    tws_Object_countdown_Create_0(countdown, nullptr);
    EXPECT_EQ(Local(countdown, game::kTime).Real(), speed * 3);
    int steps = 0;
    while (!countdown->MarkedDead() && steps < 1000) {
      EXPECT_TRUE(Live(play::kBall).empty()) << "step " << steps;
      Action_SetRelative(1);  // left on by someone else: the serve is absolute
      tws_Object_countdown_Step_0(countdown, nullptr);
      ++steps;
    }
    EXPECT_EQ(steps, speed * 3);
    EXPECT_EQ(Local(countdown, game::kTime).Real(), 0);
    const auto balls = Live(play::kBall);
    ASSERT_EQ(balls.size(), 1u);
    EXPECT_EQ(balls[0]->x, 320);
    EXPECT_EQ(balls[0]->y, 205);
    EXPECT_EQ(play::Seen().effects, (std::vector<std::vector<double>>{{1, 320, 205, 1, 16777215, 1}}));
    EXPECT_FALSE(Action_GetRelative());
    room_.DeleteAllInstances();
  }
}

TEST_F(Countdown, ItsWordsAreReadySetAndGoInTheirColoursAndSizes) {
  const Drawn ready{"draw_text", {288, 192}, "Ready", 255};
  const Drawn set{"draw_text_transformed", {288, 184, 2, 2, 0}, "Set", 65535};
  const Drawn go{"draw_text_transformed", {288, 178, 3, 3, 0}, "GO", 32768};
  const struct {
    double time;
    std::vector<Drawn> drawn;
  } cases[] = {
      {180, {}}, {179, {}},      {178.5, {ready}}, {120, {ready}}, {119.5, {set}},
      {60, {set}}, {59, {go}},   {0, {go}},        {-3, {go}},
  };
  CObjInstance* countdown = At(play::kCountdown, 288, 192);
  for (const auto& c : cases) {
    game::Assign(Local(countdown, game::kTime), c.time);
    Draw_SetColour(0x123456);
    play::Seen() = {};
    tws_Object_countdown_Draw_0(countdown, nullptr);
    EXPECT_EQ(play::Seen().draws, c.drawn) << c.time;
  }
}

TEST_F(Countdown, ATimeHoldingATextIsTheFatalError) {
  CObjInstance* countdown = At(play::kCountdown, 288, 192);
  game::Assign(Local(countdown, game::kTime), "3");
  Error_ClearOccurred();
  tws_Object_countdown_Step_0(countdown, nullptr);
  EXPECT_TRUE(Error_Aborting()) << "fatal";
  EXPECT_NE(Error_LastText().find("unable to add a number to string"), std::string::npos) << Error_LastText();
  EXPECT_TRUE(Live(play::kBall).empty());
  Error_ResetForTests();
}

}  // namespace
