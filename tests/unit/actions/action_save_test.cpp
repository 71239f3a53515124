#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "actions/actions.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "files/files.h"
#include "motion/game_save.h"
#include "script/console.h"
#include "unit/line_console.h"
#include "unit/files/temp_save_area.h"
#include "unit/script/builtins_call.h"

namespace fs = std::filesystem;

namespace {

// The save actions over a running room 0 and a save area of the test's own.
class ActionSave : public BuiltinsTest {
 protected:
  void SetUp() override {
    BuiltinsTest::SetUp();
    Objects_Reset();
    Rooms_Reset();
    InitActionFunctions();
    saved_ = g_DebugConsole;
    g_DebugConsole = &log_;
    RoomStateTable.Resize(1);
    RoomStateTable.Set(0, std::make_unique<CGameRoom>());
    g_Run.room = RoomStateTable.Get(0);
    g_Run.room_index = 0;
  }
  void TearDown() override {
    g_Run.room = nullptr;
    g_DebugConsole = saved_;
    Rooms_Reset();
    Objects_Reset();
    BuiltinsTest::TearDown();
  }
  TempSaveArea temp_;
  const std::string& root_ = temp_.area;
  LineConsole log_;
  tagIConsole* saved_ = nullptr;
};

TEST_F(ActionSave, SaveAndLoadByName) {
  g_Run.score = 17;
  EXPECT_FALSE(Call("action_save_game", {"game.sav"}).reported);
  ASSERT_TRUE(fs::exists(fs::path(root_) / "game.sav"));
  g_Run.score = 0;
  EXPECT_FALSE(Call("action_load_game", {"game.sav"}).reported);
  EXPECT_EQ(g_Run.score, 0);  // queued for the next step
  EXPECT_TRUE(GameSave_PerformQueuedLoad());
  EXPECT_EQ(g_Run.score, 17);
}

// A number names the file by its text form, for saving and loading alike.
TEST_F(ActionSave, ARealArgumentNamesTheFileByItsText) {
  g_Run.score = 5;
  EXPECT_FALSE(Call("action_save_game", {3}).reported);
  EXPECT_TRUE(fs::exists(fs::path(root_) / "3"));
  g_Run.score = 0;
  EXPECT_FALSE(Call("action_load_game", {3}).reported);
  EXPECT_TRUE(GameSave_PerformQueuedLoad());
  EXPECT_EQ(g_Run.score, 5);
}

TEST_F(ActionSave, LoadingAMissingFileWarnsAndQueuesNothing) {
  EXPECT_FALSE(Call("action_load_game", {"absent.sav"}).reported);
  EXPECT_NE(log_.text.find("WARNING: Game load failed, absent.sav not found"), std::string::npos);
  EXPECT_FALSE(GameSave_PerformQueuedLoad());
}

}  // namespace
