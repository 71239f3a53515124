#include "runner/game_step.h"

#include <cmath>
#include <span>

#include "draw/room_draw.h"
#include "runner/entry.h"
#include "core/async_requests.h"
#include "core/dispatch_pattern.h"
#include "core/event_dispatch.h"
#include "core/events.h"
#include "core/instances.h"
#include "core/object_lists.h"
#include "core/objects.h"
#include "core/options.h"
#include "core/rooms.h"
#include "runner/run_loop.h"
#include "core/timelines.h"
#include "files/files.h"
#include "graphics/graphics.h"
#include "ds/map.h"
#include "input/input.h"
#include "motion/game_save.h"
#include "services/dialogs.h"
#include "services/http.h"
#include "services/platform_events.h"
#include "net/debugger.h"
#include "particles/particles.h"
#include "steam/steam.h"

namespace {
int64_t g_previousStepTime = 0;

// Subtypes the asynchronous pump fires; the purchase (66) and networking (68)
// events are fired by their own services.
bool IsPumpedAsyncSubtype(int subtype) {
  return (subtype >= 60 && subtype <= 64) || subtype == 67 || (subtype >= 69 && subtype <= 71);
}

void DispatchAlarms() {
  uint64_t snapshot = Dispatch_Snapshot();
  for (int a = 0; a < kAlarmCount; ++a) {
    for (int32_t index : ObjectLists_Get(kEventAlarm, a)) {
      CObject* object = Object_Find(index);
      if (!object) continue;
      for (CObjInstance* i : object->OwnInstances()) {
        if (!Dispatch_Eligible(i, snapshot) || i->alarm[a] < 0) continue;
        if (--i->alarm[a] == 0) Instance_PerformEvent(i, i, kEventAlarm, a);
      }
    }
  }
}

void DispatchTimelines() {
  uint64_t snapshot = Dispatch_Snapshot();
  for (CObjInstance* i : g_Run.room->active) {
    if (!Dispatch_Eligible(i, snapshot) || !i->timeline_running || i->timeline_speed == 0 || i->timeline_index < 0) continue;
    CTimeLine* t = TimeLine_Get(i->timeline_index);
    if (!t || t->MomentCount() == 0) continue;
    int32_t index = i->timeline_index;
    if (i->timeline_speed > 0) {
      int32_t from = t->FirstMomentAtOrAfter(i->timeline_position);
      i->timeline_position += i->timeline_speed;
      int32_t to = t->FirstMomentAtOrAfter(i->timeline_position);
      for (int32_t m = from; m < to; ++m) TimeLine_PerformMoment(i, i, index, m);
      if (i->timeline_loop && i->timeline_position > t->GetMomentStep(t->MomentCount() - 1)) i->timeline_position = 0;
    } else {
      int32_t from = t->LastMomentAtOrBefore(i->timeline_position);
      i->timeline_position += i->timeline_speed;
      int32_t to = t->LastMomentAtOrBefore(i->timeline_position);
      for (int32_t m = from; m > to; --m) TimeLine_PerformMoment(i, i, index, m);
      if (i->timeline_loop && i->timeline_position < 0)
        i->timeline_position = float(t->GetMomentStep(t->MomentCount() - 1));
    }
  }
}

void DispatchKeys() {
  bool anyHeld = false, anyPressed = false, anyReleased = false;
  for (int key = 8; key <= 255; ++key) {
    bool down = IO_KeyIsDown(key), pressed = IO_KeyWasPressed(key), released = IO_KeyWasReleased(key);
    if (down || pressed) {
      anyHeld = true;
      Dispatch_All(kEventKeyboard, key);
    }
    if (pressed) {
      anyPressed = true;
      Dispatch_All(kEventKeyPress, key);
    }
    if (released) {
      anyReleased = true;
      Dispatch_All(kEventKeyRelease, key);
    }
  }
  Dispatch_All(kEventKeyboard, anyHeld ? 1 : 0);
  Dispatch_All(kEventKeyPress, anyPressed ? 1 : 0);
  Dispatch_All(kEventKeyRelease, anyReleased ? 1 : 0);
}

// The mouse in room coordinates at this step's mouse dispatch and at the
// one before. Until the first dispatch there is no earlier point: it lies
// in no instance, so nothing is left at the first sight of the mouse.
struct MousePoint {
  bool known = false;
  int32_t x = 0, y = 0;
};
MousePoint g_mouse, g_previousMouse;

bool Contains(CObjInstance* i, const MousePoint& p) {
  return p.known && i->CollidesWithPoint(float(p.x), float(p.y), true);
}

// Instances under the mouse.
void Run_DispatchMouseLocal(int32_t subtype) {
  Dispatch_Listed(kEventMouse, subtype, Snapshots::kOnePerObject,
                 [](CObjInstance* i) { return Contains(i, g_mouse); });
}

// Every instance, wherever the mouse is.
void Run_DispatchMouseGlobal(int32_t subtype) {
  Dispatch_Listed(kEventMouse, subtype, Snapshots::kOnePerObject, [](CObjInstance*) { return true; });
}

void Run_DispatchMouseEnterLeave() {
  Dispatch_Listed(kEventMouse, kMouseEnter, Snapshots::kOnePerObject,
                 [](CObjInstance* i) { return Contains(i, g_mouse) && !Contains(i, g_previousMouse); });
  Dispatch_Listed(kEventMouse, kMouseLeave, Snapshots::kOnePerObject,
                 [](CObjInstance* i) { return Contains(i, g_previousMouse) && !Contains(i, g_mouse); });
}

void Run_DispatchMouse(int32_t roomX, int32_t roomY) {
  g_previousMouse = g_mouse;
  g_mouse = {true, roomX, roomY};
  bool anyHeld = false;
  for (int b = 0; b < kMouseButtons; ++b) {
    if (!IO_MouseIsDown(b + 1, 0) && !IO_MouseWasPressed(b + 1, 0)) continue;
    anyHeld = true;
    Run_DispatchMouseLocal(kMouseButton + b);
    Run_DispatchMouseGlobal(kMouseGlobalButton + b);
  }
  if (!anyHeld) Run_DispatchMouseLocal(kMouseNoButton);
  for (int b = 0; b < kMouseButtons; ++b) {
    if (!IO_MouseWasPressed(b + 1, 0)) continue;
    Run_DispatchMouseLocal(kMousePress + b);
    Run_DispatchMouseGlobal(kMouseGlobalPress);
    Run_DispatchMouseGlobal(kMouseGlobalButtonPress + b);
  }
  for (int b = 0; b < kMouseButtons; ++b) {
    if (!IO_MouseWasReleased(b + 1, 0)) continue;
    Run_DispatchMouseLocal(kMouseRelease + b);
    Run_DispatchMouseGlobal(kMouseGlobalRelease);
    Run_DispatchMouseGlobal(kMouseGlobalButtonRelease + b);
  }
  Run_DispatchMouseEnterLeave();
  if (IO_WheelUp(0)) Run_DispatchMouseGlobal(kMouseWheelUp);
  if (IO_WheelDown(0)) Run_DispatchMouseGlobal(kMouseWheelDown);
}

bool HasExtent(const CObjInstance* i) {
  SpriteShape shape;
  return Instance_LookUpSprite(i->sprite_index, &shape) || Instance_LookUpSprite(i->mask_index, &shape);
}

struct Area {
  double left, top, right, bottom;
};

bool PositionInside(const CObjInstance* i, const Area& a) {
  return i->x >= a.left && i->x <= a.right && i->y >= a.top && i->y <= a.bottom;
}

// Whether the instance touches `a` or lies fully within it; without an
// extent both ask for its position.
bool Touches(CObjInstance* i, const Area& a) {
  if (!HasExtent(i)) return PositionInside(i, a);
  i->EnsureBoundingBox();
  return i->bbox_right >= a.left && i->bbox_left <= a.right && i->bbox_bottom >= a.top && i->bbox_top <= a.bottom;
}

bool Within(CObjInstance* i, const Area& a) {
  if (!HasExtent(i)) return PositionInside(i, a);
  i->EnsureBoundingBox();
  return i->bbox_left >= a.left && i->bbox_right <= a.right && i->bbox_top >= a.top && i->bbox_bottom <= a.bottom;
}

Area ViewArea(const RoomView& v) {
  return {double(v.xview), double(v.yview), double(v.xview + v.wview), double(v.yview + v.hview)};
}

template <typename Test>
void DispatchBoundary(int32_t subtype, Test&& test) {
  Dispatch_Listed(kEventOther, subtype, Snapshots::kOnePerDispatch, test);
}

void DispatchOutsideBoundary() {
  CGameRoom* room = g_Run.room;
  Area whole{0, 0, double(room->width), double(room->height)};
  {
    uint64_t snapshot = Dispatch_Snapshot();
    for (int32_t index : ObjectLists_Get(kEventOther, 0)) {
      CObject* object = Object_Find(index);
      if (!object) continue;
      for (CObjInstance* i : object->OwnInstances()) {
        if (!Dispatch_Eligible(i, snapshot)) continue;
        if (Touches(i, whole)) {
          i->outside_room = false;
          continue;
        }
        // Once per excursion.
        if (!i->outside_room) Instance_PerformEvent(i, i, kEventOther, 0);
        i->outside_room = true;
      }
    }
  }
  DispatchBoundary(1, [&](CObjInstance* i) { return !Within(i, whole); });
  if (!room->views_enabled) return;
  // Every view's outside events, then every view's boundary events.
  for (int v = 0; v < kRoomLayers; ++v) {
    if (!room->views[v].visible) continue;
    Area a = ViewArea(room->views[v]);
    DispatchBoundary(40 + v, [&](CObjInstance* i) { return !Touches(i, a); });
  }
  for (int v = 0; v < kRoomLayers; ++v) {
    if (!room->views[v].visible) continue;
    Area a = ViewArea(room->views[v]);
    DispatchBoundary(50 + v, [&](CObjInstance* i) { return !Within(i, a); });
  }
}

bool Collide(CObjInstance* a, CObjInstance* b) { return a->CollidesWithInstance(b, true); }

void StepBack(CObjInstance* i) {
  i->SetPosition(i->xprevious, i->yprevious);
  i->SetPathPosition(i->path_positionprevious);
}

void DispatchCollisions() {
  for (const CollisionPair& pair : ObjectLists_CollisionPairs()) {
    uint64_t snapshot = Dispatch_Snapshot();
    CObject* a = Object_Find(pair.a);
    CObject* b = Object_Find(pair.b);
    if (!a || !b) continue;
    for (CObjInstance* s : a->OwnInstances()) {
      for (CObjInstance* t : b->OwnInstances()) {
        if (!Dispatch_Eligible(s, snapshot) || !Dispatch_Eligible(t, snapshot) || !Collide(s, t)) continue;
        bool solid = s->solid || t->solid;
        if (solid) {
          StepBack(s);
          StepBack(t);
        }
        PerformEvent(s, t, s->object_index, kEventCollision, t->object_index);
        PerformEvent(t, s, t->object_index, kEventCollision, s->object_index);
        if (solid) {
          s->SetPosition(s->x + s->hspeed, s->y + s->vspeed);
          t->SetPosition(t->x + t->hspeed, t->y + t->vspeed);
          if (Collide(s, t)) {
            StepBack(s);
            StepBack(t);
          }
        }
      }
    }
  }
}

// Friction and gravity, the path step (with its end-of-path event), then the
// speeds.
void MoveInstances() {
  uint64_t snapshot = Dispatch_Snapshot();
  for (CObjInstance* i : g_Run.room->active) {
    if (!i->IsLive()) continue;
    i->ApplyFrictionGravity();
    if (i->AdvancePath() && Dispatch_Eligible(i, snapshot)) Instance_PerformEvent(i, i, kEventOther, 8);  // end of path
    if (i->hspeed != 0 || i->vspeed != 0) i->SetPosition(i->x + i->hspeed, i->y + i->vspeed);
  }
}

// Runs the flush and tells whether the step must stop (a room change is due).
bool FlushAndCheck() {
  Run_FlushPendingChanges();
  return g_Run.new_room != kNewRoomNone;
}
}  // namespace

void Run_ApplyObjectChanges() { Instance_ApplyObjectChanges(); }

void Run_ApplyDepthChanges() {
  if (g_Run.room) {
    Instance_ApplyDepthChanges(g_Run.room->active);
  } else {
    PendingDepthChanges.Clear();
  }
}

void Run_FlushPendingChanges() {
  if (!PendingObjectChanges.Empty()) Run_ApplyObjectChanges();
  if (!PendingDepthChanges.Empty()) Run_ApplyDepthChanges();
  if (!PendingActivationChanges.Empty()) {
    if (g_Run.room) g_Run.room->ApplyActivationChanges();
    PendingActivationChanges.Clear();
  }
}

void Run_ClearPendingChanges() {
  PendingObjectChanges.Clear();
  PendingDepthChanges.Clear();
}

void Run_DispatchAsyncEvent(int subtype) {
  if (IsPumpedAsyncSubtype(subtype)) Dispatch_All(kEventOther, subtype);
}

void Run_ProcessAsyncQueue() {
  Platform_DispatchIAPEvent();
  Platform_RunQueuedCallbacks();
  Http_Poll();
  AsyncDialog_Poll();
  // Each completion may run events that add records, so the walk starts
  // again from the head after every one.
  HTTP_REQ_CONTEXT* r = AsyncRequests_Head();
  while (r) {
    if (r->state != kAsyncFinished) {
      r = r->next;
      continue;
    }
    AsyncRequest_Unlink(r);
    g_Run.async_load = -1;
    if (r->completion) {
      int subtype = r->completion(r, r->user_buffer, &g_Run.async_load);
      if (subtype >= 60) Run_DispatchAsyncEvent(subtype);
    }
    if (g_Run.async_load >= 0) DS_MapDestroy(g_Run.async_load);
    g_Run.async_load = -1;
    if (r->cleanup) r->cleanup(r);
    delete r;
    r = AsyncRequests_Head();
  }
}

void Run_GameStep() {
  int64_t now = Time_Microseconds();
  Run_SetDeltaTime(now - g_previousStepTime);
  g_previousStepTime = now;
  // A load queued by the last step comes before anything else; keys held
  // when it was asked for mean nothing in the loaded game.
  if (GameSave_PerformQueuedLoad()) IO_Clear();
  CGameRoom* room = g_Run.room;
  if (!room) return;
  IO_Update();
  Platform_Tick();
  if (Options_Get().freeze_inactive && !Window_IsActive()) return;

  bool anyTimeline = false;
  for (CObjInstance* i : room->active) {
    if (!i->IsLive()) continue;
    i->xprevious = i->x;
    i->yprevious = i->y;
    i->SetPathPositionPrevious(i->path_position);
    i->image_index += i->image_speed;
    float frames = float(i->GetImageNumber());
    if (std::trunc(i->image_index) >= frames) {
      i->image_index -= frames;
      Instance_PerformEvent(i, i, kEventOther, 7);
    } else if (i->image_index < 0) {
      i->image_index += frames;
      Instance_PerformEvent(i, i, kEventOther, 7);
    }
    if (i->timeline_running) anyTimeline = true;
  }

  Dispatch_All(kEventStep, 1);
  if (FlushAndCheck()) return;
  Network_Poll();
  Steam_Process();
  if (FlushAndCheck()) return;
  if (anyTimeline) DispatchTimelines();
  if (FlushAndCheck()) return;
  DispatchAlarms();
  if (FlushAndCheck()) return;
  DispatchKeys();
  if (FlushAndCheck()) return;
  // Joysticks dispatch once the gamepad layer exists; their flush point
  // stays in place.
  if (FlushAndCheck()) return;
  if (Window_IsVisible()) Run_DispatchMouse(Window_ViewsMouseGetX(0), Window_ViewsMouseGetY(0));
  if (FlushAndCheck()) return;
  Dispatch_All(kEventStep, 0);
  if (FlushAndCheck()) return;
  MoveInstances();
  if (FlushAndCheck()) return;
  DispatchOutsideBoundary();
  if (FlushAndCheck()) return;
  Run_ProcessAsyncQueue();
  if (FlushAndCheck()) return;
  DispatchCollisions();
  if (FlushAndCheck()) return;
  Dispatch_All(kEventStep, 2);
  if (FlushAndCheck()) return;
  PartSystem_UpdateAll();

  room->RemoveDeadInstances();
  if (g_Run.draw_enabled) {
    Graphics_DrawScreen();
    Run_FlushPendingChanges();
  }
  room->ScrollBackgrounds();
  Run_FlushPendingChanges();
  ++g_Run.step_counter;
  if (g_DebugMode && Debug_WindowExists()) Debug_RefreshWindow();
}
