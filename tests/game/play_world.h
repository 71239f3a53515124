// A level room made by hand for the play field's events: the game's objects
// at their indices (no sprites, no events), the rooms the match goes to, the
// compiled game's slots and name lists bound, and seams that show what the
// events asked for: texts drawn, ring effects, bounces and sounds.
#pragma once
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "audio/legacy_sound.h"
#include "core/code_chunks.h"
#include "core/instances.h"
#include "core/native_game.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "draw/draw.h"
#include "game/game_code.h"
#include "game/game_runtime.h"
#include "motion/motion.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "unit/motion/motion_objects.h"
#include "game_room.h"
#include "unit/world_reset.h"

namespace play {

enum Obj : int32_t {
  kPlr1 = 0,
  kBlock = 1,
  kBall = 2,
  kPlr2 = 3,
  kGoal1 = 4,
  kGoal2 = 5,
  kGameRunning = 8,
  kCountdown = 9,
  kObjectCount = 16
};

// A call of a drawing built-in with the colour in force when it came.
struct Drawn {
  std::string fn;
  std::vector<double> numbers;  // the real arguments, in order
  std::string text;
  uint32_t colour;
  bool operator==(const Drawn&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Drawn& d) {
  os << d.fn << "(";
  for (double n : d.numbers) os << n << ",";
  return os << "\"" << d.text << "\") colour " << d.colour;
}

struct Recorded {
  std::vector<Drawn> draws;
  std::vector<std::vector<double>> effects;
  std::vector<std::vector<double>> bounces;
};

inline Recorded& Seen() {
  static Recorded r;
  return r;
}

inline void Record(const char* fn, int argc, ScriptValue* args) {
  Drawn d{fn, {}, "", Draw_GetColour() & 0xFFFFFFu};  // without the alpha byte
  for (int i = 0; i < argc; ++i) {
    if (args[i].IsString()) d.text = args[i].Text();
    else d.numbers.push_back(args[i].Real());
  }
  Seen().draws.push_back(d);
}

inline std::vector<double> Reals(int argc, ScriptValue* args) {
  std::vector<double> out;
  for (int i = 0; i < argc; ++i) out.push_back(args[i].Real());
  return out;
}

inline void FakeDrawText(ScriptValue*, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  Record("draw_text", argc, args);
}
inline void FakeDrawTextTransformed(ScriptValue*, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  Record("draw_text_transformed", argc, args);
}
inline void FakeEffect(ScriptValue*, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  Seen().effects.push_back(Reals(argc, args));
}
// A bounce off a vertical side: the direction mirrors.
inline void FakeBounce(ScriptValue*, CObjInstance* self, CObjInstance*, int argc, ScriptValue* args) {
  Seen().bounces.push_back(Reals(argc, args));
  self->SetDirection(180 - self->direction);
}

inline void Use(const char* name, BuiltinHandler handler, int argc) {
  if (FunctionRegistry_Find(name) >= 0) FunctionRegistry_Replace(name, handler);
  else FunctionRegistry_Add(name, handler, argc);
}

class PlayRoom : public RoomWorldTest, public GameRoom {
 protected:
  PlayRoom() : RoomWorldTest({.noDialogs = true}) {}

  void SetUp() override {
    RoomWorldTest::SetUp();
    saved_ = &NativeGame_Get();
    NativeGame_Install(NativeGame_Header());
    Code_AllocateGlobalSlots();
    ClearGlobals();
    InitGameFunctions();
    InitMathFunctions();
    InitActionFunctions();
    Action_Reset();
    Use("draw_text", FakeDrawText, 3);
    Use("draw_text_transformed", FakeDrawTextTransformed, 6);
    Use("action_effect", FakeEffect, 6);
    Use("action_bounce", FakeBounce, 2);
    Code_ResolveNativeReferences();
    Seen() = {};
    LegacySound_Clear();
    for (int i = 0; i < kObjectCount; ++i) Motion_AddObject(-1, -1, i == kPlr1 || i == kBall || i == kPlr2);
    EnterRoom(3);
    Error_ClearOccurred();
  }
  void TearDown() override {
    LeaveRoom();
    LegacySound_Clear();
    Action_Reset();
    NativeGame_Install(*saved_);
    RoomWorldTest::TearDown();
  }


  // The sounds asked to play and to stop since the last look. No sound is
  // loaded, so the sound system reports an index only the first time it is
  // missed: a probe that stays silent shows that index was asked before.
  struct Sounds {
    std::set<int> played, stopped;
  };
  static Sounds Asked() {
    Sounds out;
    for (int sound = 0; sound <= 4; ++sound) {
      Error_ClearOccurred();
      Sound_ActionPlay(sound, false);
      if (!Error_Occurred()) out.played.insert(sound);
      Error_ClearOccurred();
      Sound_ActionStop(sound);
      if (!Error_Occurred()) out.stopped.insert(sound);
    }
    LegacySound_Clear();
    Error_ClearOccurred();
    return out;
  }

  const NativeGameHeader* saved_ = nullptr;
};

}  // namespace play
