// Objects for the "Game.." group's test rooms.
#pragma once
#include <cstdint>

#include "core/objects.h"

// A new object with this sprite, parent and solidity, the parents relinked.
inline int32_t Motion_AddObject(int32_t sprite, int32_t parent, bool solid) {
  const int32_t i = Object_Add();
  CObject* o = Object_Find(i);
  o->sprite_index = sprite;
  o->parent_index = parent;
  if (solid) o->flags |= kObjectFlagSolid;
  Object_LinkParents();
  return i;
}
