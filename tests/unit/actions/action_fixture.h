// The "Game.." room of box-shaped instances with the action group
// registered too, for calling actions by name on a calling instance.
#pragma once
#include "actions/actions.h"
#include "core/paths.h"
#include "unit/motion/game_builtins_fixture.h"

namespace actionfix {

using gamefix::Called;

class ActionRoom : public gamefix::GameRoom {
 protected:
  void SetUp() override {
    GameRoom::SetUp();
    InitActionFunctions();
    Path_FreeAll();
  }
  void TearDown() override {
    Path_FreeAll();
    GameRoom::TearDown();
  }
  static ScriptValue S(const char* text) {
    ScriptValue v;
    ScriptValue_SetText(&v, text);
    return v;
  }
};

}  // namespace actionfix
