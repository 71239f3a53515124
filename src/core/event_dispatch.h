// Event dispatch: every event raised for an instance goes through
// PerformEvent, which finds the handler in the object or its nearest
// ancestor, guards against runaway nesting and publishes the running event.
#pragma once
#include <cstdint>

class CEvent;
class CObjInstance;

constexpr int kMaxEventNesting = 32;

// Runs the handler for (type, subtype) of `objectIndex` or an ancestor with
// the given self and other. False when no handler ran.
bool PerformEvent(CObjInstance* self, CObjInstance* other, int32_t objectIndex, int type, int32_t subtype);
bool Instance_PerformEvent(CObjInstance* instance, CObjInstance* other, int type, int32_t subtype);
// For every live instance of the current room, in list order.
void Run_PerformEventAll(int type, int32_t subtype);
// The handler and the object whose table holds it, or null.
CEvent* Object_FindEvent(int32_t objectIndex, int type, int32_t subtype, int32_t* foundObject);
int Event_NestingDepth();
