// Arithmetic shapes run out of line (vm_steps.h), part 2.
#include "script/vm_steps.h"

namespace vm {
TW_ARITH_FAR_2(TW_FAR_DEFINE)
}  // namespace vm
