#include "core/object_lists.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "core/events.h"
#include "core/objects.h"

namespace {
// Vectors keep their capacity between games; only the lengths are reset.
std::vector<int32_t> g_lists[kEventTypeCount][kObjectListSubtypes];
std::vector<CollisionPair> g_pairs;

void ClearType(int type) {
  for (auto& list : g_lists[type]) list.clear();
}

// Every object index that has a handler for (type, 0), in increasing order.
void BuildSingle(int type) {
  ClearType(type);
  const int32_t count = Object_Count();
  for (int32_t i = 0; i < count; ++i) {
    if (Object_Exists(i) && Object_FindEventInherited(i, type, 0)) g_lists[type][0].push_back(i);
  }
}
}  // namespace

void ObjectLists_BuildType(int type, int lastSubtype) {
  if (type < 0 || type >= kEventTypeCount) return;
  ClearType(type);
  lastSubtype = std::min(lastSubtype, kObjectListSubtypes - 1);
  const int32_t count = Object_Count();
  for (int32_t s = 0; s <= lastSubtype; ++s) {
    for (int32_t i = 0; i < count; ++i) {
      if (Object_Exists(i) && Object_FindEventInherited(i, type, s)) g_lists[type][s].push_back(i);
    }
  }
}

void ObjectLists_BuildCollisionPairs() {
  g_pairs.clear();
  std::unordered_set<uint64_t> stored;
  const int32_t count = Object_Count();
  std::vector<int32_t> handled;  // collision subtypes along i's chain
  for (int32_t i = 0; i < count; ++i) {
    CObject* object = Object_Find(i);
    if (!object) continue;
    handled.clear();
    for (CObject* c = object; c; c = c->Parent()) {
      c->ForEachEvent(kEventCollision, [&](int32_t subtype, CEvent* e) {
        if (e && e->HasCode()) handled.push_back(subtype);
      });
    }
    if (handled.empty()) continue;
    std::sort(handled.begin(), handled.end());
    auto handles = [&](int32_t j) { return std::binary_search(handled.begin(), handled.end(), j); };
    for (int32_t j = 0; j < count; ++j) {
      bool found = handles(j);
      if (!found) {
        // A handler written for an ancestor of the other object.
        CObject* other = Object_Find(j);
        for (CObject* a = other ? other->Parent() : nullptr; a && !found; a = a->Parent()) found = handles(a->index);
      }
      if (!found) continue;
      const uint64_t key = uint64_t(uint32_t(std::min(i, j))) << 32 | uint32_t(std::max(i, j));
      if (stored.insert(key).second) g_pairs.push_back({i, j});
    }
  }
}

void ObjectLists_Build() {
  BuildSingle(kEventCreate);
  BuildSingle(kEventDestroy);
  ObjectLists_BuildType(kEventAlarm, 12);
  ObjectLists_BuildType(kEventStep, 16);
  ClearType(kEventCollision);  // collisions go by pairs
  ObjectLists_BuildType(kEventKeyboard, 128);
  ObjectLists_BuildType(kEventMouse, 128);
  ObjectLists_BuildType(kEventOther, 128);
  BuildSingle(kEventDraw);
  ObjectLists_BuildType(kEventKeyPress, 128);
  ObjectLists_BuildType(kEventKeyRelease, 128);
  ObjectLists_BuildCollisionPairs();
}

void ObjectLists_Free() {
  for (auto& type : g_lists)
    for (auto& list : type) std::vector<int32_t>().swap(list);
  std::vector<CollisionPair>().swap(g_pairs);
}

std::span<const int32_t> ObjectLists_Get(int type, int32_t subtype) {
  if (type < 0 || type >= kEventTypeCount || subtype < 0 || subtype >= kObjectListSubtypes) return {};
  return g_lists[type][subtype];
}

std::span<const CollisionPair> ObjectLists_CollisionPairs() { return g_pairs; }
