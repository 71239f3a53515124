// Per-event object lists: for each event type and subtype, the objects whose
// instances can receive it (through a handler of their own or an ancestor's),
// and the pairs of objects that can raise collision events. Built at every
// game start; the step dispatchers walk them.
#pragma once
#include <cstdint>
#include <span>

// Lists exist for subtypes 0..255 of every type.
constexpr int32_t kObjectListSubtypes = 256;

struct CollisionPair {
  int32_t a;
  int32_t b;
};

void ObjectLists_Build();
// Lists of subtypes 0..lastSubtype of one type; the other subtypes of the
// type are left empty.
void ObjectLists_BuildType(int type, int lastSubtype);
void ObjectLists_BuildCollisionPairs();
void ObjectLists_Free();

// The object indices listed for (type, subtype), in increasing order; empty
// outside the tables.
std::span<const int32_t> ObjectLists_Get(int type, int32_t subtype);
// Each pair once, whichever of the two has the handler.
std::span<const CollisionPair> ObjectLists_CollisionPairs();
