#include "motion/motion.h"

void MotionGrid_FreeAll() {}
void InitGameFunctions() {}
void InitActionFunctions() {}
