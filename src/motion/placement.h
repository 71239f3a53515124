// Placement shared by the motion built-ins and the actions: a random free
// spot on a grid, and whether an instance stands on a grid.
#pragma once
#include <cstdint>

class CObjInstance;

// Puts the instance at a random free place in the room (its box kept inside
// the room when it has a shape), snapped down to each positive grid size;
// after `tries` places that are not free it stays where it is.
void Instance_MoveRandom(CObjInstance* instance, int32_t hsnap, int32_t vsnap, int tries);
// Whether x and y lie within a thousandth of a multiple of each grid size
// (an axis whose size is not above 0 always does).
bool Instance_PlaceSnapped(const CObjInstance* instance, double hsnap, double vsnap);
