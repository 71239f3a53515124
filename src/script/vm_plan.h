// What the machine works out once per checked code record so that common
// instruction runs need no decoding: a step per word of code. A step either
// sends its instruction to the generic handlers or runs a whole run of
// instructions at once: a variable read or write, an array element read or
// write, an arithmetic or comparison with the pushes before it and the
// store or branch after it, a loop's step and test, a script call, a return.
//
// A step only takes its fast way in the plain case (operands that are reals,
// variables that exist and hold reals, elements inside their rows);
// otherwise the machine runs the step's first instruction on the generic
// handlers, so results, errors and the stack at every instruction stay
// exactly those of the generic path.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "script/bytecode.h"

class VMBuffer;
class VMCodeInfo;

// Where an operand comes from or a result goes.
enum VMPlace : uint8_t {
  kPlaceStack,   // an item on the stack, of the step's type code
  kPlaceConst,   // a number pushed by the run itself
  kPlaceLocal,   // a local variable, by slot
  kPlaceSelf,    // a user variable of self, by id
  kPlacePlain,   // global when declared with globalvar, else self
  kPlaceGlobal,  // a global variable, by id
  kPlaceArgument,  // argument0 ... argument15 of self (reads only), by id
  kPlaceBuiltin,   // a built-in variable of self, by id, through its getter and setter
  kPlaceBranch,  // the result decides a conditional branch
};

// Kinds past kStepForLoop and kStepArith name their specialised handlers.
enum VMStepKind : uint16_t {
  kStepGeneric,
  kStepEnd,     // the word past the code
  kStepPush,    // push.v of a variable: `left`
  kStepPop,     // pop.v.<rightType> into a variable: `dest`
  kStepBranch,  // b
  // An element of an array variable `dest` at row `left`, column `right`
  // (places: a constant in the ref, or a variable converted to an int); a
  // one-index access has row 0.
  // A store's value is on the stack, or comes from the push before the run:
  // a variable (`source`, `sourceRef`) or the constant `leftConst`.
  kStepElementPop,   // [value push,] push.e instance, index, pop.v.<rightType> [indexed]
  kStepElementPush,  // push.e instance, index, push.v [indexed]
  kStepCall,         // call.i of script `destRef` with `rightRef` arguments
  kStepReturn,       // ret.v with the value alone on the code's stack
  // A loop's step and test (see VMStep); + VMForLoopShape(...).
  kStepForLoop,
  kStepArith = kStepForLoop + 12,  // left op right into dest; + VMArithShape(...)
};

// Classes of places an arithmetic step's handler is specialised for.
enum VMPlaceClass : uint8_t { kClassStack, kClassConst, kClassLocal, kClassVariable };
enum VMDestClass : uint8_t { kDestStack, kDestBranch, kDestLocal, kDestVariable };
// add sub mul div, then slt sle seq sne sge sgt.
constexpr int VMOpIndex(uint8_t op) {
  return op == kOpAdd ? 0 : op == kOpSub ? 1 : op == kOpMul ? 2 : op == kOpDiv ? 3 : op - kOpSlt + 4;
}
constexpr int VMArithShape(int left, int right, int dest, int opIndex) {
  return ((left * 4 + right) * 4 + dest) * 10 + opIndex;
}
constexpr int VMForLoopShape(int compareIndex, bool limitIsLocal) { return (compareIndex - 4) * 2 + limitIsLocal; }
constexpr int kVMStepKinds = kStepArith + VMArithShape(3, 3, 3, 9) + 1;

// A loop step (kStepForLoop) keeps the local in destRef and the increment
// in rightConst; its test's limit is leftConst or the local in slot
// rightRef, its branch goes to target2 and its fall-through to next.
struct alignas(64) VMStep {
  VMStepKind kind = kStepGeneric;
  uint8_t op = 0;
  VMPlace left = kPlaceStack, right = kPlaceStack, dest = kPlaceStack;
  VMPlace source = kPlaceStack;         // of an element store's value
  uint8_t leftType = 0, rightType = 0;  // of stack operands, and of the item a pop takes
  uint8_t resultType = 0;               // of the item pushed when dest is the stack
  bool branchIf = false;                // kPlaceBranch: taken when the comparison gives this
  bool thenBranch = false;              // a store followed by b: go on at `target`
  int32_t leftRef = 0, rightRef = 0, destRef = 0;  // a local's slot, else a variable id
  int32_t sourceRef = 0;
  int32_t next = 0;                     // byte offset past the run
  int32_t target = 0;                   // of the branch
  int32_t target2 = 0;
  double leftConst = 0, rightConst = 0;
};
// One cache line, and an index the machine finds with a shift.
static_assert(sizeof(VMStep) == 64);

class VMPlan {
 public:
  const VMStep* Steps() const { return steps_.data(); }
  // Variable ids of the local slots.
  const std::vector<int32_t>& LocalIds() const { return localIds_; }
  int32_t LocalCount() const { return int32_t(localIds_.size()); }

 private:
  friend std::shared_ptr<const VMPlan> VMPlan_Build(const VMBuffer& code, const VMCodeInfo& info);
  std::vector<VMStep> steps_;  // per word, and one for the end
  std::vector<int32_t> localIds_;
};

// For code that has passed the check.
std::shared_ptr<const VMPlan> VMPlan_Build(const VMBuffer& code, const VMCodeInfo& info);
// With planning off, code checked from then on runs on the generic handlers
// alone (tests compare the two ways).
void VMPlan_SetEnabled(bool enabled);
