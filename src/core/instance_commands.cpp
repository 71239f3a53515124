#include "core/instance_commands.h"

#include <string>

#include "core/event_dispatch.h"
#include "core/events.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_loop.h"
#include "script/errors.h"

CObjInstance* Instance_Create(int32_t objectIndex, float x, float y) {
  if (!Object_Exists(objectIndex)) {
    Error_ReportRuntime(("Creating instance for non-existing object: " + std::to_string(objectIndex)).c_str(), false);
    return nullptr;
  }
  if (!g_Run.room) return nullptr;
  CObjInstance* instance = g_Run.room->CreateInstance(x, y, objectIndex);
  Instance_PerformEvent(instance, instance, kEventCreate, 0);
  instance->created = true;
  return instance;
}

void Instance_Destroy(CObjInstance* instance) {
  if (!instance || instance->destroy_done) return;
  instance->destroy_done = true;
  Instance_PerformEvent(instance, instance, kEventDestroy, 0);
  instance->marked_dead = true;
}
