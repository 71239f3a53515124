#include "runner/game_start.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "draw/room_draw.h"
#include "script/console.h"
#include "runner/entry.h"
#include "core/event_dispatch.h"
#include "core/events.h"
#include "core/instances.h"
#include "core/object_lists.h"
#include "core/options.h"
#include "core/rooms.h"
#include "runner/run_loop.h"
#include "ext/extensions.h"
#include "files/misc_group.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "particles/particles.h"
#include "script/code.h"
#include "script/code_run.h"
#include "script/errors.h"
#include "script/memory_manager.h"
#include "script/value.h"

namespace {
// Copies of the persistent instances of the room being left, until the next
// room is entered.
std::vector<std::unique_ptr<CObjInstance>> g_persistentCarry;
bool g_startFailed = false;

void RemoveDead() {
  if (g_Run.room) g_Run.room->RemoveDeadInstances();
}
}  // namespace

bool Game_StartFailed() { return g_startFailed; }

void StartGame() {
  g_startFailed = false;
  g_DebugConsole->Output("StartGame()\n");
  Time_Init();
  Dates_ResetTimezone();
  ObjectLists_Build();
  g_Run.score = 0;
  g_Run.lives = -1;
  g_Run.cursor_sprite = -1;
  g_Run.step_counter = 0;
  g_Run.transition_kind = 0;
  if (!Extension_RunInitFunctions()) return;
  Window_SetCursor(Options_Get().show_cursor ? 0 : -1);
  RoomStateTable.Clear();
  RoomStateTable.Resize(Room_Count());
  g_persistentCarry.clear();
  int32_t first = Room_First();
  if (first < 0 || !Room_Exists(first)) {
    // Nothing to play: end the run with the reason rather than index nothing.
    Console_Error("%s\n", Room_OrderProblem().c_str());
    g_startFailed = true;
    return;
  }
  Run_EnterRoom(first, true);
  g_DebugConsole->Output("StartGame() - DONE\n");
  MemoryManager::ReportUsage();
}

void EndGame() {
  Run_LeaveRoom(true);
  RoomStateTable.Clear();
  if (Extension_RunFinalFunctions()) Window_SetCursor(0);
}

void Run_SwitchRoom(int32_t room) {
  Run_LeaveRoom(false);
  Run_EnterRoom(room, false);
}

void Run_LeaveRoom(bool gameEnd) {
  CGameRoom* room = g_Run.room;
  if (!room) return;
  room->RemoveDeadInstances();
  int32_t request = g_Run.new_room;
  g_Run.new_room = kNewRoomNone;
  Run_PerformEventAll(kEventOther, 5);
  room->RemoveDeadInstances();
  if (gameEnd) {
    Run_PerformEventAll(kEventOther, 3);
    room->RemoveDeadInstances();
  }
  g_Run.new_room = request;
  IO_VirtualButtonsClear();
  g_persistentCarry.clear();
  for (CObjInstance* i : room->active) {
    if (!i->IsLive() || !i->persistent) continue;
    auto copy = std::make_unique<CObjInstance>(i->x, i->y, i->id, i->object_index, false);
    copy->CopyFrom(*i, false);
    g_persistentCarry.push_back(std::move(copy));
    i->SetMarkedDead(true);
  }
  room->RemoveDeadInstances();
  if (room->persistent) {
    // The room keeps its instances, out of sight until it is entered again.
    for (CObjInstance* i : room->active) {
      i->LeaveObjectLists();
      g_InstanceIdMap.Remove(i);
    }
  } else {
    RoomStateTable.Set(g_Run.room_index, nullptr);
  }
  g_Run.room = nullptr;
}

void Run_EnterRoom(int32_t n, bool gameStart) {
  g_Run.new_room = kNewRoomNone;
  IO_Clear();
  Effect_Clear();
  CGameRoom* definition = Room_Get(n);
  if (!definition) {
    // A request for a room that does not exist ends the game with the reason
    // rather than reaching into the room tables.
    std::string message = "Cannot go to room " + std::to_string(n) + ": there is no such room";
    std::fprintf(stderr, "%s\n", message.c_str());
    Error_Report(ErrorSeverity::kAbort, message.c_str());
    return;
  }
  if (RoomStateTable.Count() <= n) RoomStateTable.Resize(n + 1);
  g_Run.room_index = n;
  CGameRoom* room = RoomStateTable.Get(n);
  bool fresh = room == nullptr;
  if (room) {
    for (CObjInstance* i : room->active) {
      i->JoinObjectLists();
      g_InstanceIdMap.Add(i);
    }
  } else {
    auto copy = std::make_unique<CGameRoom>();
    room = copy.get();
    RoomStateTable.Set(n, std::move(copy));
    room->CopyFrom(*definition, true);
  }
  g_Run.room = room;
  Graphics_FitWindowToRoom();

  for (auto& carried : g_persistentCarry) {
    CObjInstance* target = nullptr;
    for (CObjInstance* i : room->active)
      if (i->id == carried->id) {
        target = i;
        break;
      }
    if (target) {
      target->CopyFrom(*carried, true);
      target->RecreatePhysicsBody(room);
    } else {
      target = new CObjInstance(carried->x, carried->y, carried->id, carried->object_index, false);
      target->CopyFrom(*carried, true);
      target->RecreatePhysicsBody(room);
      room->active.Insert(target);
      g_InstanceIdMap.Add(target);
    }
    target->carried_over = true;
  }
  g_persistentCarry.clear();

  if (fresh) {
    std::vector<int32_t> ids = std::move(room->defined_ids);
    room->defined_ids.clear();
    for (int32_t id : ids) {
      CObjInstance* i = Instance_FindByID(id);
      if (!i) continue;
      if (i->carried_over) {
        i->carried_over = false;
        continue;
      }
      if (i->MarkedDead()) continue;
      Instance_PerformEvent(i, i, kEventCreate, 0);
      if (i->creation_code) {
        ScriptValue result;
        Code_RunReportingErrors(i, i, i->creation_code, &result);
        ScriptValue_Free(&result);
      }
      i->created = true;
    }
  }
  RemoveDead();
  if (gameStart) {
    Run_PerformEventAll(kEventOther, 2);
    RemoveDead();
  }
  if (fresh && room->creation_code) {
    CObjInstance temp(0, 0, 0, 0, false);
    ScriptValue result;
    Code_RunReportingErrors(&temp, &temp, room->creation_code.get(), &result);
    ScriptValue_Free(&result);
  }
  Run_PerformEventAll(kEventOther, 4);
  RemoveDead();
  if (g_Run.new_room == kNewRoomNone && g_Run.draw_enabled) Graphics_DrawScreen();
}

void Run_FreePersistentCarry() { g_persistentCarry.clear(); }
