#include "script/tree_interp.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/system.h"
#include "script/bytecode.h"
#include "script/code.h"
#include "script/code_run.h"
#include "script/convert.h"
#include "script/function_registry.h"
#include "script/lexer.h"
#include "script/operators.h"
#include "script/parse_tree.h"
#include "script/scripts.h"
#include "script/variable_names.h"
#include "script/variables.h"
#include "script/vm.h"
#include "script/world.h"

namespace {

// Statement results. A quit request seen by a loop's pump ends the code as
// exit does; code that ran it stops at its own next pump.
constexpr int kNormal = 0;
constexpr int kError = -1;
constexpr int kExit = -2;
constexpr int kBreak = -3;
constexpr int kContinue = -4;

constexpr int kArgumentLimit = 16;

// Where the outermost run started and how far down the walk may go.
const char* g_stackLimit = nullptr;
int g_nestedRuns = 0;

size_t StackBudget() {
  size_t size = System_StackLimit();
  if (size == 0) size = 8u << 20;
  if (size > (64u << 20)) size = 64u << 20;
  // Half the stack: what ran before the outermost run, and the built-ins
  // called from the deepest level, need the rest.
  return size / 2;
}

inline void Empty(ScriptValue* v) {
  if (v->kind != kKindReal) ScriptValue_Free(v);
  v->kind = kKindReal;
  v->real = 0;
}

inline void SetReal(ScriptValue* v, double d) {
  if (v->kind != kKindReal) ScriptValue_Free(v);
  v->kind = kKindReal;
  v->real = d;
}

// Values on the walker's own stack, released however the walk unwinds.
struct Temp {
  ScriptValue v;
  Temp() = default;
  Temp(const Temp&) = delete;
  Temp& operator=(const Temp&) = delete;
  ~Temp() {
    if (v.kind != kKindReal) ScriptValue_Free(&v);
  }
};

int AssignOperator(int op) {
  switch (op) {
    case kTokPlusAssign: return kTokPlus;
    case kTokMinusAssign: return kTokMinus;
    case kTokTimesAssign: return kTokTimes;
    case kTokDivideAssign: return kTokDivide;
    case kTokOrAssign: return kTokBitOr;
    case kTokAndAssign: return kTokBitAnd;
    case kTokXorAssign: return kTokBitXor;
  }
  return 0;
}

// The instances a with statement visits, taken before the body runs, so
// instances the body creates are not visited and nothing loops for ever.
void WithTargets(int32_t target, CObjInstance* self, CObjInstance* other, std::vector<CObjInstance*>& out) {
  out.clear();
  switch (target) {
    case kInstanceNoone: return;
    case kInstanceOther:
      if (other) out.push_back(other);
      return;
    case kInstanceSelf:
    case kInstancePlain:
      if (self) out.push_back(self);
      return;
    default: break;
  }
  if (target >= kFirstInstanceId) {
    if (CObjInstance* one = g_ScriptWorld.findLive(target)) out.push_back(one);
    return;
  }
  g_ScriptWorld.gather(target, PendingTargets::kNone, out);
}

class Walker {
 public:
  Walker(CObjInstance* self, CObjInstance* other, const CCode* code) : self_(self), other_(other), code_(code) {}
  ~Walker() { delete locals_; }
  Walker(const Walker&) = delete;
  Walker& operator=(const Walker&) = delete;

  int Program(const ParseNode& root, ScriptValue* result) {
    if (root.kind == kNodeNothing) return kNormal;
    if (root.kind != kNodeBlock) return Fail(root.position, "This is not a program.");
    return Block(root, result);
  }

  int Expression(const ParseNode& n, ScriptValue* out) {
    switch (n.kind) {
      case kNodeConstant:
        if (n.value.kind == kKindReal) {
          SetReal(out, n.value.real);
        } else {
          ScriptValue_Copy(out, &n.value);
        }
        return kNormal;
      case kNodeSimpleVariable: return Read(n.instance, n.operand, -1, n.position, out);
      case kNodeVariable: {
        int32_t instance, index;
        if (Target(n, &instance, &index) != kNormal) return kError;
        return Read(instance, n.operand, index, n.position, out);
      }
      case kNodeCall:
        if (!StackLeft()) return Fail(n.position, "Stack overflow: code nests too deeply.");
        return Call(n, out);
      case kNodeUnary: {
        const ParseNode& operand = n.children[0];
        if (Expression(operand, out) != kNormal) return kError;
        if (out->kind == kKindReal) {
          // The common operators on a real, without the general routine.
          if (n.operand == kTokMinus) {
            out->real = -out->real;
            return kNormal;
          }
          if (n.operand == kTokNot) {
            out->real = out->real >= 0.5 ? 0 : 1;
            return kNormal;
          }
        }
        return Code_OperatorUnary(code_, operand.position, n.operand, out) ? kNormal : kError;
      }
      case kNodeBinary: {
        const ParseNode& right = n.children[1];
        if (Expression(n.children[0], out) != kNormal) return kError;
        Temp r;
        if (Expression(right, &r.v) != kNormal) return kError;
        if (out->kind == kKindReal && r.v.kind == kKindReal && Arithmetic(n.operand, out, r.v.real)) return kNormal;
        if (!Code_OperatorBinary(code_, right.position, n.operand, out, &r.v)) return kError;
        // "^^" on a string reports and still answers: the report ends the run.
        return Code_HasPendingError() ? kError : kNormal;
      }
      default: return Fail(n.position, "(Sub-)expression expected.");
    }
  }

 private:
  int Fail(int position, const char* message) {
    Code_ReportError(code_, position, message);
    return kError;
  }

  static bool StackLeft() {
    char here;
    return &here > g_stackLimit;
  }

  // The operators whose real results need no error check.
  static bool Arithmetic(int op, ScriptValue* left, double right) {
    double& l = left->real;
    switch (op) {
      case kTokPlus: l += right; return true;
      case kTokMinus: l -= right; return true;
      case kTokTimes: l *= right; return true;
      case kTokLess: l = l - right < 0; return true;
      case kTokLessEqual: l = l - right <= 0; return true;
      case kTokGreater: l = l - right > 0; return true;
      case kTokGreaterEqual: l = l - right >= 0; return true;
      case kTokAssign:
      case kTokEqual: l = l - right == 0; return true;
      case kTokNotEqual: l = l - right != 0; return true;
      case kTokAnd: l = l >= 0.5 && right >= 0.5; return true;
      case kTokOr: l = l >= 0.5 || right >= 0.5; return true;
    }
    return false;
  }

  int Block(const ParseNode& block, ScriptValue* result) {
    for (const ParseNode& child : block.children) {
      Empty(result);
      if (const int r = Statement(child, result)) return r;
    }
    return kNormal;
  }

  // A condition's truth for if (above 0.5) or for the loops (0.5 or more in
  // single precision); a string reports `message`.
  int Condition(const ParseNode& n, const char* message, bool* truth, bool loop) {
    Temp c;
    if (Expression(n, &c.v) != kNormal) return kError;
    if (c.v.IsString()) return Fail(n.position, message);
    const double d = c.v.Real();
    *truth = loop ? !(float(d) < 0.5f) : d > 0.5;
    return kNormal;
  }

  int Statement(const ParseNode& n, ScriptValue* result) {
    if (!StackLeft()) return Fail(n.position, "Stack overflow: code nests too deeply.");
    switch (n.kind) {
      case kNodeCall: {
        // A call's value is dropped: only return gives code a result.
        Temp discard;
        return Call(n, &discard.v);
      }
      case kNodeAssign: return Assign(n);
      case kNodeBlock: return Block(n, result);
      case kNodeIf: {
        bool truth;
        if (Condition(n.children[0], "Expression expected", &truth, false) != kNormal) return kError;
        if (truth) return Statement(n.children[1], result);
        if (n.children.size() > 2) return Statement(n.children[2], result);
        return kNormal;
      }
      case kNodeWhile:
        for (;;) {
          if (!Code_CountBranch()) return kExit;
          bool truth;
          if (Condition(n.children[0], "bool expression expected", &truth, true) != kNormal) return kError;
          if (!truth) return kNormal;
          Empty(result);
          const int r = Statement(n.children[1], result);
          if (r == kBreak) return kNormal;
          if (r != kNormal && r != kContinue) return r;
        }
      case kNodeDo:
        for (;;) {
          if (!Code_CountBranch()) return kExit;
          const int r = Statement(n.children[0], result);
          if (r == kBreak) return kNormal;
          if (r != kNormal && r != kContinue) return r;
          bool truth;
          if (Condition(n.children[1], "bool expression expected", &truth, true) != kNormal) return kError;
          if (truth) return kNormal;
        }
      case kNodeFor: {
        if (const int r = Statement(n.children[0], result)) return r;
        for (;;) {
          if (!Code_CountBranch()) return kExit;
          bool truth;
          if (Condition(n.children[1], "Expression expected", &truth, true) != kNormal) return kError;
          if (!truth) return kNormal;
          const int r = Statement(n.children[3], result);
          if (r == kBreak) return kNormal;
          if (r != kNormal && r != kContinue) return r;
          if (const int s = Statement(n.children[2], result)) return s;
        }
      }
      case kNodeRepeat: {
        Temp count;
        if (Expression(n.children[0], &count.v) != kNormal) return kError;
        if (count.v.IsString()) return Fail(n.children[0].position, "Repeat count must be a number");
        const int32_t times = Real_RoundToInt32(count.v.Real());
        for (int32_t i = 0; i < times; ++i) {
          if (!Code_CountBranch()) return kExit;
          const int r = Statement(n.children[1], result);
          if (r == kBreak) return kNormal;
          if (r != kNormal && r != kContinue) return r;
        }
        return kNormal;
      }
      case kNodeExit: return kExit;
      case kNodeBreak: return kBreak;
      case kNodeContinue: return kContinue;
      case kNodeWith: return With(n, result);
      case kNodeReturn:
        if (!n.children.empty() && Expression(n.children[0], result) != kNormal) return kError;
        return kExit;
      case kNodeSwitch: return Switch(n, result);
      case kNodeCase:
      case kNodeConstantCase: return Fail(n.position, "Case statement only allowed inside switch statement.");
      case kNodeDefault: return Fail(n.position, "Default statement only allowed inside switch statement.");
      case kNodeVar: return kNormal;
      case kNodeGlobalVar:
        for (const ParseNode& name : n.children) GlobalVar_Declare(name.operand);
        return kNormal;
      default: return Fail(n.position, "Statement expected.");
    }
  }

  static bool SameCase(const ScriptValue& a, const ScriptValue& b) {
    if (a.Kind() != b.Kind()) return false;
    if (a.IsReal()) return a.real == b.real;
    if (a.IsString()) {
      if (a.text == b.text) return true;
      if (!a.text || !b.text) return false;
      return std::strcmp(a.text, b.text) == 0;
    }
    return false;
  }

  int Switch(const ParseNode& n, ScriptValue* result) {
    Temp value;
    if (Expression(n.children[0], &value.v) != kNormal) return kError;
    size_t start = 0;
    for (size_t i = 1; i < n.children.size() && !start; ++i) {
      const ParseNode& label = n.children[i];
      switch (label.kind) {
        case kNodeDefault: start = i + 1; break;
        case kNodeConstantCase:
          if (SameCase(value.v, label.children[0].value)) start = i + 1;
          break;
        case kNodeCase: {
          // An error in a case's value only makes that case miss.
          const bool pending = Code_HasPendingError();
          Temp c;
          const bool ok = Expression(label.children[0], &c.v) == kNormal;
          if (!pending) Code_ClearPendingError();
          if (ok && SameCase(value.v, c.v)) start = i + 1;
          break;
        }
        default: break;
      }
    }
    if (!start) return kNormal;
    for (size_t i = start; i < n.children.size(); ++i) {
      const ParseNode& s = n.children[i];
      if (s.kind == kNodeCase || s.kind == kNodeConstantCase || s.kind == kNodeDefault) continue;
      const int r = Statement(s, result);
      if (r == kBreak) return kNormal;
      if (r != kNormal) return r;
    }
    return kNormal;
  }

  int With(const ParseNode& n, ScriptValue* result) {
    Temp target;
    if (Expression(n.children[0], &target.v) != kNormal) return kError;
    if (target.v.IsString()) return Fail(n.children[0].position, "Object id expected");
    const int32_t t = Real_RoundToInt32(target.v.Real());
    if (t == kInstanceLocal) return Fail(n.children[0].position, "Cannot use local in with statement.");
    if (t == kInstanceGlobal) return Fail(n.children[0].position, "Cannot use global in with statement.");
    std::vector<CObjInstance*> visit;
    WithTargets(t, self_, other_, visit);
    CObjInstance* const savedSelf = self_;
    CObjInstance* const savedOther = other_;
    int outcome = kNormal;
    const bool many = t != kInstanceSelf && t != kInstanceOther && t != kInstancePlain;
    for (CObjInstance* i : visit) {
      // Destroyed or deactivated by an earlier visit: skipped.
      if (many && !g_ScriptWorld.isLive(i)) continue;
      self_ = i;
      other_ = savedSelf;
      const int r = Statement(n.children[1], result);
      if (r == kNormal || r == kContinue) continue;
      outcome = r == kBreak ? kNormal : r;
      break;
    }
    self_ = savedSelf;
    other_ = savedOther;
    return outcome;
  }

  // The instance and flat index of a variable node with children.
  int Target(const ParseNode& n, int32_t* instance, int32_t* index) {
    Temp v;
    const ParseNode& which = n.children[0];
    if (Expression(which, &v.v) != kNormal) return kError;
    if (v.v.IsString()) return Fail(which.position, "Wrong type of variable index");
    *instance = Real_RoundToInt32(v.v.Real());
    *index = -1;
    for (size_t k = 1; k < n.children.size() && k <= 2; ++k) {
      const ParseNode& at = n.children[k];
      if (Expression(at, &v.v) != kNormal) return kError;
      if (v.v.IsString()) return Fail(at.position, "Wrong type of array index");
      const double d = v.v.Real();
      if (d < 0) return Fail(at.position, "Negative array index");
      if (!(d < kArrayRowStride)) return Fail(at.position, "Array index >= 32000");
      const int32_t i = Real_ToInt32(d);
      *index = k == 1 ? i : *index * kArrayRowStride + i;
    }
    return kNormal;
  }

  [[gnu::always_inline]] bool ReadAt(int32_t instance, int32_t id, int32_t index, ScriptValue* out) {
    switch (instance) {
      case kInstanceLocal: return locals_ && locals_->Read(id, index, out);
      case kInstancePlain:
        if (GlobalVar_IsDeclared(id)) return GlobalVar_List()->Read(id, index, out);
        return g_ScriptWorld.getVar(self_, id, index, out);
      case kInstanceSelf: return g_ScriptWorld.getVar(self_, id, index, out);
      case kInstanceOther: return g_ScriptWorld.getVar(other_, id, index, out);
      case kInstanceGlobal: return GlobalVar_List()->Read(id, index, out);
      case kInstanceNoone: return false;
      default: return g_ScriptWorld.getTargetVar(instance, id, index, out);
    }
  }

  int UnknownVariable(int32_t id, int32_t index, int position) {
    std::string text = std::string("Unknown variable ") + VariableName_FromID(id);
    if (index != -1) text += " or array index out of bounds";
    Code_ReportError(code_, position, text.c_str());
    return kError;
  }

  [[gnu::always_inline]] int Read(int32_t instance, int32_t id, int32_t index, int position, ScriptValue* out) {
    if (ReadAt(instance, id, index, out)) return kNormal;
    if (Variables_UnsetIsError()) {
      SetReal(out, 0);
      return kNormal;
    }
    return UnknownVariable(id, index, position);
  }

  [[gnu::always_inline]] bool Write(int32_t instance, int32_t id, int32_t index, ScriptValue* value) {
    switch (instance) {
      case kInstanceLocal:
        if (!locals_) locals_ = new CVariableList;
        locals_->Write(id, index, value);
        return true;
      case kInstancePlain:
        if (GlobalVar_IsDeclared(id)) return GlobalVar_List()->Write(id, index, value);
        return g_ScriptWorld.setVar(self_, id, index, value);
      case kInstanceGlobal: return GlobalVar_List()->Write(id, index, value);
      case kInstanceNoone: return false;
      case kInstanceSelf: return g_ScriptWorld.setVar(self_, id, index, value);
      case kInstanceOther: return g_ScriptWorld.setVar(other_, id, index, value);
      default: return g_ScriptWorld.setTargetVar(instance, id, index, value);
    }
  }

  int Assign(const ParseNode& n) {
    const ParseNode& target = n.children[0];
    int32_t instance, index = -1;
    if (target.kind == kNodeSimpleVariable) {
      instance = target.instance;
    } else if (Target(target, &instance, &index) != kNormal) {
      return kError;
    }
    Temp value;
    if (Expression(n.children[1], &value.v) != kNormal) return kError;
    ScriptValue* written = &value.v;
    Temp current;
    if (n.operand != kTokAssign) {
      if (!ReadAt(instance, target.operand, index, &current.v)) {
        if (Variables_UnsetIsError()) return kNormal;
        return UnknownVariable(target.operand, index, target.position);
      }
      const int op = AssignOperator(n.operand);
      if (!Code_OperatorBinary(code_, n.children[1].position, op, &current.v, &value.v)) return kError;
      written = &current.v;
    }
    if (!Write(instance, target.operand, index, written)) return Fail(target.position, "Cannot assign to the variable");
    return kNormal;
  }

  int Call(const ParseNode& n, ScriptValue* out) {
    ScriptValue args[kArgumentLimit];
    struct Release {
      ScriptValue* a;
      ~Release() {
        for (int i = 0; i < kArgumentLimit; ++i)
          if (a[i].kind != kKindReal) ScriptValue_Free(&a[i]);
      }
    } release{args};
    const int argc = int(n.children.size() < size_t(kArgumentLimit) ? n.children.size() : size_t(kArgumentLimit));
    for (int i = 0; i < argc; ++i)
      if (const int r = Expression(n.children[size_t(i)], &args[i])) return r;
    const int f = n.operand;
    Empty(out);
    if (f >= 0 && f < kFirstScriptFunction) {
      FunctionEntry* entry = FunctionRegistry_Get(f);
      if (!entry) return Fail(n.position, "Unknown function.");
      ++entry->callCount;
      if (entry->handler) entry->handler(out, self_, other_, argc, args);
      return kNormal;
    }
    if (f >= kFirstScriptFunction && f < kFirstExtensionFunction) {
      if (Script_Run(f - kFirstScriptFunction, self_, other_, argc, out, args)) return kNormal;
      if (!Code_HasPendingError()) Code_ReportError(code_, n.position, "Unknown script.");
      return kError;
    }
    if (f >= kFirstExtensionFunction) {
      // Nothing ran (no package loaded): the value stays 0, as on the machine.
      if (!g_ScriptWorld.callExternal(f - kFirstExtensionFunction, argc, args, out)) Empty(out);
      return kNormal;
    }
    return Fail(n.position, "Unknown function.");
  }

  CObjInstance* self_;
  CObjInstance* other_;
  const CCode* code_;
  CVariableList* locals_ = nullptr;
};

}  // namespace

bool TreeInterp_Run(CObjInstance* self, CObjInstance* other, const CCode* code, ScriptValue* result) {
  const ParseNode* root = code ? code->Tree() : nullptr;
  if (!root) return true;
  if (!self || !other) {
    Code_ReportError(code, 0, "Internal Error: Executing code for nil instance.");
    return false;
  }
  char here;
  if (g_nestedRuns == 0) g_stackLimit = &here - StackBudget();
  if (g_nestedRuns >= kTreeMaxNestedRuns || &here <= g_stackLimit) {
    Code_ReportError(code, 0, "Stack overflow: code nests too deeply.");
    return false;
  }
  ++g_nestedRuns;
  Empty(result);
  int outcome;
  {
    Walker walker(self, other, code);
    outcome = code->Kind() == CCode::kExpression ? walker.Expression(*root, result) : walker.Program(*root, result);
  }
  --g_nestedRuns;
  return outcome != kError;
}
