#include "motion/motion.h"

void Path_Init() {}
void Path_FreeAll() {}
bool Path_Load(const ChunkBody&) { return true; }
void MotionGrid_FreeAll() {}
void InitGameFunctions() {}
void InitActionFunctions() {}
