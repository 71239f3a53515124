// The engine's pseudo-random generator, which every random built-in draws
// from: WELL512a over a state filled by a seeding rule of our own, so that a
// seed given by the game reproduces the same sequence on every machine. The
// generator starts seeded with 0.
#pragma once
#include <cstdint>

int32_t Random_SetSeed(int32_t seed);
// The seed last given to Random_SetSeed (0 until the game sets one).
int32_t Random_GetSeed();
uint32_t Random_Next32();
// A real in [0, x) (in (x, 0] for negative x).
double Random_Real(double x);
// An integer in [0, |n|). 0 gives 0.
int32_t Random_Int(int32_t n);
