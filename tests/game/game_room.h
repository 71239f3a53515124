// What every hand-made world of the game's event tests shares: the room the
// events run in (640 x 480 at 60 steps, made current among the game's fifteen
// rooms), its instances, and the compiled game's global and instance slots.
#pragma once
#include <vector>

#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "game/game_runtime.h"

class GameRoom {
 protected:
  // The game's fifteen rooms in the table, and the test room current as `index`.
  void EnterRoom(int32_t index) {
    for (int i = 0; i < 15; ++i) Room_Add();
    room_.width = 640;
    room_.height = 480;
    room_.speed = 60;
    g_Run.room = &room_;
    g_Run.room_index = index;
    g_Run.new_room = kNewRoomNone;
  }
  void LeaveRoom() {
    room_.DeleteAllInstances();
    room_.DeleteAllDeactivated();
    g_Run.room = nullptr;
    g_Run.new_room = kNewRoomNone;
    ClearGlobals();
  }

  static void ClearGlobals() {
    for (int s = 0; s < game::kGlobalSlotCount; ++s) game::Assign(game::Global(game::GlobalSlot(s)), 0);
  }

  CObjInstance* At(int32_t object, float x, float y) { return room_.CreateInstance(x, y, object); }

  // The live instances of an object, in the room's order.
  std::vector<CObjInstance*> Live(int32_t object) {
    std::vector<CObjInstance*> out;
    for (CObjInstance* i : room_.active)
      if (i->object_index == object && !i->MarkedDead()) out.push_back(i);
    return out;
  }

  static ScriptValue& Global(game::GlobalSlot slot) { return game::Global(slot); }
  static ScriptValue& Local(CObjInstance* self, game::InstanceSlot slot) { return game::Local(self, slot); }
  static void SetGlobal(game::GlobalSlot slot, double value) { game::Assign(Global(slot), value); }
  static void SetGlobalText(game::GlobalSlot slot, const char* text) { game::Assign(Global(slot), text); }

  CGameRoom room_;
};
