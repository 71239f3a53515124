#include "core/event_dispatch.h"

#include "core/events.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "script/errors.h"

namespace {
int g_nesting = 0;
}  // namespace

int Event_NestingDepth() { return g_nesting; }

CEvent* Object_FindEvent(int32_t objectIndex, int type, int32_t subtype, int32_t* foundObject) {
  return Object_FindEventInherited(objectIndex, type, subtype, foundObject);
}

bool PerformEvent(CObjInstance* self, CObjInstance* other, int32_t objectIndex, int type, int32_t subtype) {
  // While a room change is pending only persistent instances are created.
  if (g_Run.new_room != kNewRoomNone && !(type == 0 && self && self->persistent)) return false;
  int32_t found = objectIndex;
  CEvent* event = Object_FindEvent(objectIndex, type, subtype, &found);
  if (!event) return false;
  if (++g_nesting > kMaxEventNesting) {
    Error_ReportRuntime(ErrorSeverity::kAbort,
                        "PerformEvent recursion depth failure - check for infinite loops, check objects for parenting");
    --g_nesting;
    return false;
  }
  int32_t savedObject = g_Run.event_object, savedNumber = g_Run.event_number, savedType = g_Run.event_type;
  g_Run.event_object = found;
  g_Run.event_number = subtype;
  g_Run.event_type = type;
  event->Execute(self, other);
  --g_nesting;
  g_Run.event_object = savedObject;
  g_Run.event_number = savedNumber;
  g_Run.event_type = savedType;
  return true;
}

bool Instance_PerformEvent(CObjInstance* instance, CObjInstance* other, int type, int32_t subtype) {
  if (!instance) return false;
  return PerformEvent(instance, other, instance->object_index, type, subtype);
}

void Run_PerformEventAll(int type, int32_t subtype) {
  if (g_Run.new_room != kNewRoomNone || !g_Run.room) return;
  for (CObjInstance* i : g_Run.room->active) {
    if (!i->IsLive()) continue;
    PerformEvent(i, i, i->object_index, type, subtype);
  }
}
