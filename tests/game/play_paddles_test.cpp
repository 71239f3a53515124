// The play field's events on a hand-made level room: the player's keys, the
// ball's serve and bounces, the computer paddle following the ball and the
// two goals.
#include <cmath>

#include "game/game_code.h"
#include "game/play_world.h"

namespace {

using play::PlayRoom;

class Paddles : public PlayRoom {};

TEST_F(Paddles, TheKeysAndTheWallsStartAndStopThePaddles) {
  const struct {
    NativeEventFn event;
    const char* name;
    float direction, speed;
  } cases[] = {
      {tws_Object_plr_1_KeyPress_40, "down", 270, 4},
      {tws_Object_plr_1_KeyPress_38, "up", 90, 4},
      {tws_Object_plr_1_KeyPress_32, "space", 0, 0},
      {tws_Object_plr_1_Collision_1, "player at a wall", 0, 0},
      {tws_Object_plr_2_Collision_1, "computer at a wall", 0, 0},
  };
  for (const auto& c : cases) {
    CObjInstance* paddle = At(play::kPlr1, 64, 224);
    paddle->SetDirection(180);
    paddle->SetSpeed(3);
    c.event(paddle, nullptr);
    EXPECT_FLOAT_EQ(paddle->speed, c.speed) << c.name;
    EXPECT_FLOAT_EQ(paddle->direction, c.direction) << c.name;
  }
  // Down then Up turns the paddle at once.
  CObjInstance* paddle = At(play::kPlr1, 64, 224);
  tws_Object_plr_1_KeyPress_40(paddle, nullptr);
  tws_Object_plr_1_KeyPress_38(paddle, nullptr);
  EXPECT_FLOAT_EQ(paddle->direction, 90);
  EXPECT_FLOAT_EQ(paddle->speed, 4);
}

TEST_F(Paddles, ANewBallLeavesDiagonallyAtSpeedFive) {
  std::set<float> seen;
  for (int i = 0; i < 64; ++i) {
    CObjInstance* ball = At(play::kBall, 320, 205);
    tws_Object_ball_1_Create_0(ball, nullptr);
    EXPECT_FLOAT_EQ(ball->speed, 5);
    seen.insert(ball->direction);
  }
  for (float d : seen) EXPECT_TRUE(d == 45 || d == 135 || d == 225 || d == 315) << d;
  EXPECT_GT(seen.size(), 1u) << "the direction is drawn at random";
}

TEST_F(Paddles, TheBallTurnsByWhereItHitAPaddleAndClicksWhileSoundIsOn) {
  const struct {
    NativeEventFn event;
    int32_t paddleObject;
    double precise;
  } cases[] = {
      {tws_Object_ball_1_Collision_0, play::kPlr1, 1},
      {tws_Object_ball_1_Collision_3, play::kPlr2, 0},
  };
  for (const auto& c : cases) {
    for (double sound : {1.0, 0.0}) {
      SetGlobal(game::kSoundPlay, sound);
      play::Seen() = {};
      CObjInstance* paddle = At(c.paddleObject, 64, 224);
      CObjInstance* ball = At(play::kBall, 70, 200);
      ball->SetDirection(170);
      c.event(ball, paddle);
      ASSERT_EQ(play::Seen().bounces.size(), 1u);
      EXPECT_EQ(play::Seen().bounces[0], (std::vector<double>{c.precise, 1}));
      // Mirrored to 10 by the bounce, then turned by 70 - 64.
      EXPECT_FLOAT_EQ(ball->direction, 16) << c.paddleObject;
      const auto sounds = Asked();
      EXPECT_EQ(sounds.played, sound == 1 ? std::set<int>{2} : std::set<int>{}) << c.paddleObject;
      EXPECT_TRUE(sounds.stopped.empty());
    }
  }
}

TEST_F(Paddles, TheBallBouncesOffAWallWithoutTurnOrClick) {
  SetGlobal(game::kSoundPlay, 1);
  CObjInstance* wall = At(play::kBlock, 0, 0);
  CObjInstance* ball = At(play::kBall, 70, 200);
  ball->SetDirection(170);
  tws_Object_ball_1_Collision_1(ball, wall);
  ASSERT_EQ(play::Seen().bounces.size(), 1u);
  EXPECT_EQ(play::Seen().bounces[0], (std::vector<double>{0, 1}));
  EXPECT_FLOAT_EQ(ball->direction, 10);
  EXPECT_TRUE(Asked().played.empty());
}

TEST_F(Paddles, TheComputerStandsStillWhileNoBallIsInPlay) {
  SetGlobal(game::kDifficultySelector, 3);
  CObjInstance* computer = At(play::kPlr2, 576, 224);
  tws_Object_plr_2_Step_0(computer, nullptr);
  EXPECT_FLOAT_EQ(computer->y, 224);
  EXPECT_EQ(Local(computer, game::kSp).Real(), 0) << "nothing is worked out without a ball";
  // Two balls are not one either.
  At(play::kBall, 320, 100);
  At(play::kBall, 320, 300);
  tws_Object_plr_2_Step_0(computer, nullptr);
  EXPECT_FLOAT_EQ(computer->y, 224);
}

TEST_F(Paddles, TheComputerFollowsTheBallAtTheDifficultysSpeed) {
  const struct {
    double difficulty, ballY, y;
  } cases[] = {
      {1, 100, 224 - 1.5}, {2, 100, 224 - 2.5}, {3, 100, 224 - 3.5},
      {1, 400, 224 + 1.5}, {3, 400, 224 + 3.5},
      // Any other difficulty keeps the speed the paddle had (7 here).
      {4, 100, 224 - 7},   {2.5, 400, 224 + 7},
  };
  for (const auto& c : cases) {
    SetGlobal(game::kDifficultySelector, c.difficulty);
    CObjInstance* computer = At(play::kPlr2, 576, 224);
    game::Assign(Local(computer, game::kSp), 7);
    CObjInstance* ball = At(play::kBall, 320, float(c.ballY));
    tws_Object_plr_2_Step_0(computer, nullptr);
    EXPECT_FLOAT_EQ(computer->y, float(c.y)) << c.difficulty << " " << c.ballY;
    EXPECT_FLOAT_EQ(computer->x, 576) << "the paddle never moves sideways";
    EXPECT_EQ(Local(computer, game::kObj).Real(), play::kBall);
    EXPECT_FLOAT_EQ(float(Local(computer, game::kTy).Real()), float(c.ballY));
    room_.DeleteInstance(ball);
    room_.DeleteInstance(computer);
  }
}

TEST_F(Paddles, WithinOneStepOfTheBallTheComputerStopsOnItsHeight) {
  SetGlobal(game::kDifficultySelector, 2);
  for (float ballY : {225.25f, 226.5f, 221.5f, 224.0f}) {
    CObjInstance* computer = At(play::kPlr2, 576, 224);
    CObjInstance* ball = At(play::kBall, 320, ballY);
    tws_Object_plr_2_Step_0(computer, nullptr);
    EXPECT_EQ(computer->y, ballY) << "exactly the ball's y";
    room_.DeleteInstance(ball);
    room_.DeleteInstance(computer);
  }
}

// ---- Goals -------------------------------------------------------------------

struct GoalCase {
  NativeEventFn event;
  int32_t goal;
  float goalX;
  game::GlobalSlot scorer, loser;
};
const GoalCase kGoals[] = {
    {tws_Object_goal_plr1_Collision_2, play::kGoal1, -32, game::kScorePlayer2, game::kScorePlayer1},
    {tws_Object_goal_plr2_Collision_2, play::kGoal2, 640, game::kScorePlayer1, game::kScorePlayer2},
};

class Goals : public PlayRoom {};

TEST_F(Goals, AGoalScoresOnceRemovesTheBallResetsThePaddlesAndPreparesTheServe) {
  for (const GoalCase& c : kGoals) {
    SetGlobal(c.scorer, 4);
    SetGlobal(c.loser, 6);
    CObjInstance* goal = At(c.goal, c.goalX, 224);
    CObjInstance* ball = At(play::kBall, c.goalX + 4, 230);
    CObjInstance* elsewhere = At(play::kBall, 320, 100);
    CObjInstance* player = At(play::kPlr1, 64, 100);
    CObjInstance* computer = At(play::kPlr2, 576, 400);
    // A relative flag left on must not move the countdown or the paddles.
    Action_SetRelative(1);
    c.event(goal, ball);
    EXPECT_EQ(Global(c.scorer).Real(), 5) << c.goal;
    EXPECT_EQ(Global(c.loser).Real(), 6) << c.goal;
    EXPECT_TRUE(ball->MarkedDead()) << c.goal;
    EXPECT_FALSE(elsewhere->MarkedDead()) << "only the ball in the goal goes";
    EXPECT_EQ(player->x, 64);
    EXPECT_EQ(player->y, 224);
    EXPECT_EQ(computer->x, 576);
    EXPECT_EQ(computer->y, 224);
    const auto countdowns = Live(play::kCountdown);
    ASSERT_EQ(countdowns.size(), 1u) << c.goal;
    EXPECT_EQ(countdowns[0]->x, 0);
    EXPECT_EQ(countdowns[0]->y, 0);
    EXPECT_FALSE(Action_GetRelative());
    EXPECT_FALSE(Error_Occurred()) << Error_LastText();
    room_.DeleteAllInstances();
  }
}

TEST_F(Goals, TheGoalSoundPlaysOnlyWhileSoundIsOnAndNoClick) {
  for (const GoalCase& c : kGoals) {
    for (double sound : {1.0, 0.0}) {
      SetGlobal(game::kSoundPlay, sound);
      CObjInstance* goal = At(c.goal, c.goalX, 224);
      CObjInstance* ball = At(play::kBall, c.goalX, 224);
      c.event(goal, ball);
      const auto sounds = Asked();
      EXPECT_EQ(sounds.played, sound == 1 ? std::set<int>{4} : std::set<int>{}) << c.goal << " " << sound;
      EXPECT_TRUE(sounds.stopped.empty());
      room_.DeleteAllInstances();
    }
  }
}

TEST_F(Goals, AScoreHoldingATextIsTheFatalError) {
  for (const GoalCase& c : kGoals) {
    SetGlobalText(c.scorer, "4");
    CObjInstance* goal = At(c.goal, c.goalX, 224);
    CObjInstance* ball = At(play::kBall, c.goalX, 224);
    Error_ClearOccurred();
    c.event(goal, ball);
    EXPECT_TRUE(Error_Aborting()) << "fatal";
    EXPECT_NE(Error_LastText().find("unable to add a number to string"), std::string::npos) << Error_LastText();
    EXPECT_STREQ(Global(c.scorer).Text(), "4") << "the text is left as it was";
    Error_ResetForTests();
    room_.DeleteAllInstances();
  }
}

}  // namespace
