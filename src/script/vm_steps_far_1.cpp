// Arithmetic shapes run out of line (vm_steps.h), part 1.
#include "script/vm_steps.h"

namespace vm {
TW_ARITH_FAR_1(TW_FAR_DEFINE)
}  // namespace vm
