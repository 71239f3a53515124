// Arithmetic shapes run out of line (vm_steps.h), part 3.
#include "script/vm_steps.h"

namespace vm {
TW_ARITH_FAR_3(TW_FAR_DEFINE)
}  // namespace vm
