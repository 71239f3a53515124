#include "motion/motion.h"

void InitActionFunctions() {}
