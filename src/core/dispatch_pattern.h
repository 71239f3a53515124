// The common pattern of the step's dispatchers: take a snapshot of the
// dispatch stamp, then for the listed objects of (type, subtype) walk each
// object's own instances, skipping dead, deactivated and newer ones, with
// self and other the same instance.
#pragma once
#include <cstdint>

#include "core/event_dispatch.h"
#include "core/instances.h"
#include "core/object_lists.h"
#include "core/objects.h"

inline uint64_t Dispatch_Snapshot() { return g_DispatchStamp++; }

inline bool Dispatch_Eligible(const CObjInstance* i, uint64_t snapshot) {
  return i->IsLive() && i->creation_stamp <= snapshot;
}

enum class Snapshots { kOnePerDispatch, kOnePerObject };

// With a snapshot per object, an instance made by an earlier object's event
// gets a later object's event of the same dispatch. `accept` picks instances.
template <typename Accept>
void Dispatch_Listed(int type, int32_t subtype, Snapshots snapshots, Accept&& accept) {
  uint64_t snapshot = snapshots == Snapshots::kOnePerDispatch ? Dispatch_Snapshot() : 0;
  for (int32_t index : ObjectLists_Get(type, subtype)) {
    if (snapshots == Snapshots::kOnePerObject) snapshot = Dispatch_Snapshot();
    CObject* object = Object_Find(index);
    if (!object) continue;
    for (CObjInstance* i : object->OwnInstances())
      if (Dispatch_Eligible(i, snapshot) && accept(i)) Instance_PerformEvent(i, i, type, subtype);
  }
}

inline void Dispatch_All(int type, int32_t subtype) {
  Dispatch_Listed(type, subtype, Snapshots::kOnePerDispatch, [](CObjInstance*) { return true; });
}
