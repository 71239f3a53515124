// Programs generated from the input bytes by a small grammar (bounded loops
// only, so every program ends) run on the machine and on the tree
// interpreter: neither may crash, hang or leak, whatever the values. Where
// a program keeps to whole numbers below 2^20, no comparisons of reals and no
// errors, both paths must print the same. The machine also runs each program
// a second time on its generic handlers alone, which must agree with its
// planned steps on everything: lines printed, errors and their texts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/instances.h"
#include "script/code.h"
#include "script/code_run.h"
#include "script/constants.h"
#include "script/builtins_string.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/variables.h"
#include "script/vm.h"
#include "script/vm_plan.h"
#include "runner/startup.h"

namespace {

std::vector<std::string>* g_out = new std::vector<std::string>;

void Out(ScriptValue*, CObjInstance*, CObjInstance*, int argc, ScriptValue* args) {
  if (argc < 1) return;
  char buf[64];
  if (args[0].IsString()) {
    g_out->push_back(std::string("s:") + args[0].Text());
  } else {
    // -0 and 0 print alike: folding and the machine's integers keep the sign differently.
    std::snprintf(buf, sizeof buf, "r:%.17g", args[0].Real() + 0.0);
    g_out->push_back(buf);
  }
}

class Gen {
 public:
  Gen(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  std::string Program() {
    std::string s = "var a, b, c, d, e, t, i0, i1, i2, i3;\na = 1; b = 2; c = 3; d[1] = 4; e[2, 1] = 5; t = \"\";\n";
    for (int i = 0; i < 8 && p_ < end_; ++i) s += Statement(0, false);
    return s;
  }
  bool exact = true;  // stays true while both paths are meant to agree

 private:
  int Byte() { return p_ < end_ ? *p_++ : 0; }
  std::string Var() {
    // Arrays only ever through their elements: a whole array written into
    // itself would make a cycle of references that is never freed.
    static const char* names[] = {"a", "b", "c", "global.g", "self.h", "d[1]", "e[2, 1]"};
    return names[Byte() % 7];
  }
  // Numbers. Strings appear only where they cannot grow without bound (a
  // string doubled in a loop, or repeated by "*", would end the run out of
  // memory): in t, built afresh from short pieces, and as operands that make
  // "-" fail.
  std::string Expr(int depth) {
    const int k = depth > 4 ? Byte() % 3 : Byte() % 9;
    switch (k) {
      case 0: return std::to_string(Byte() % 10);
      case 1: return Var();
      case 2: {
        static const char* odd[] = {"0.5", "2.6", "-1", "100"};
        const int i = Byte() % 4;
        if (i < 3) exact = false;
        return odd[i];
      }
      case 3:
      case 4:
      case 5: {
        static const char* ops[] = {"+", "-", "*", "/", "div", "mod", "<", "==", "!=", "&&", "||",
                                    "^^", "&", "|", "^", "<<", ">>", "="};
        const int op = Byte() % 18;
        // Reals, negatives (the machine's truth of a negative differs) and
        // comparisons, whose epsilon differs, leave the comparison out.
        if (op == 1 || op == 3 || op == 6 || op == 7 || op == 8 || op == 15 || op == 16 || op == 17) exact = false;
        return "(" + Expr(depth + 1) + " " + ops[op] + " " + Expr(depth + 1) + ")";
      }
      case 6: {
        static const char* un[] = {"-", "!", "~"};
        const int u = Byte() % 3;
        if (u != 1) exact = false;
        return std::string(un[u]) + Expr(depth + 1);
      }
      case 7: return "string_length(" + Text(depth + 1, true) + ")";
      default: return "(" + Text(depth + 1, true) + " - " + Expr(depth + 1) + ")";
    }
  }
  std::string Text(int depth, bool withT) {
    const int k = depth > 4 ? Byte() % 2 : Byte() % 5;
    switch (k) {
      case 0: return "\"s\"";
      case 1: return withT ? "t" : "\"\"";
      case 2: return "string(" + Expr(depth + 1) + ")";
      default: return "(" + Text(depth + 1, withT) + " + " + Text(depth + 1, withT) + ")";
    }
  }
  // Break and continue only inside loops: outside them the machine ignores
  // them while the interpreter ends the code.
  std::string Statement(int depth, bool loop) {
    const int k = depth > 3 ? Byte() % 3 : Byte() % 9;
    switch (k) {
      case 0: return Byte() % 4 ? Var() + " = " + Expr(0) + ";\n" : "t = " + Text(0, false) + ";\n";
      case 1: {
        static const char* ops[] = {" += ", " -= ", " *= ", " |= "};
        return Var() + ops[Byte() % 4] + Expr(0) + ";\n";
      }
      case 2: return Byte() % 2 ? "out(" + Expr(0) + ");\n" : "out(" + Text(0, true) + ");\n";
      case 3: return "if (" + Expr(0) + ") {\n" + Statement(depth + 1, loop) + "} else {\n" + Statement(depth + 1, loop) + "}\n";
      case 4: return "repeat (" + std::to_string(Byte() % 5) + ") {\n" + Statement(depth + 1, true) + Statement(depth + 1, true) + "}\n";
      case 5:
        return "switch (" + Expr(0) + ") {\ncase " + std::to_string(Byte() % 4) + ": " + Statement(depth + 1, loop) +
               "default: " + Statement(depth + 1, loop) + "case \"s\": " + Statement(depth + 1, loop) + "break;\n}\n";
      case 6: return "with (self) {\n" + Statement(depth + 1, true) + "}\n";
      case 7: return "for (i" + std::to_string(depth) + " = 0; i" + std::to_string(depth) + " < " + std::to_string(Byte() % 4) + "; i" + std::to_string(depth) + " += 1) {\n" + Statement(depth + 1, true) + "}\n";
      default:
        if (!loop) return "out(" + Expr(0) + ");\n";
        return Byte() % 2 ? "break;\n" : "continue;\n";
    }
  }
  const uint8_t* p_;
  const uint8_t* end_;
};

bool Init() {
  VM_SetFatalErrorsEndProcess(false);
  // A fatal report asks the game to end, which a pump would apply to every
  // later input: runs here are compared, never pumped.
  VM_SetMessagePump(nullptr);
  g_ShowErrors = false;
  GlobalVar_Init();
  Constant_RegisterBuiltins();
  InitStringFunctions();
  FunctionRegistry_Add("out", Out, 1);
  return true;
}

// The lines printed, or empty with `failed` set when the run reported an error.
std::vector<std::string> Run(const std::string& text, bool machine, bool* failed, std::string* error = nullptr) {
  g_UseVM = machine;
  g_out->clear();
  Error_ResetForTests();
  GlobalVar_Init();
  CObjInstance self(0, 0, 100001, -1, false);
  CCode code(text, false);
  *failed = !code.Compile("fuzz");
  if (!*failed) {
    ScriptValue result;
    *failed = !Code_Run(&self, &self, &code, &result) || Error_Occurred();
    ScriptValue_Free(&result);
  }
  if (error) *error = Error_Occurred() ? Error_LastText() : std::string();
  Code_ClearPendingError();
  g_UseVM = true;
  return *g_out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool kWorld = (Runner_InstallWorld(), VM_Init(), true);
  (void)kWorld;
  static const bool ready = Init();
  (void)ready;
  Gen gen(data, size);
  const std::string text = gen.Program();
  bool machineFailed, treeFailed, genericFailed;
  std::string machineError, genericError;
  const std::vector<std::string> machine = Run(text, true, &machineFailed, &machineError);
  const std::vector<std::string> tree = Run(text, false, &treeFailed);
  VMPlan_SetEnabled(false);
  const std::vector<std::string> generic = Run(text, true, &genericFailed, &genericError);
  VMPlan_SetEnabled(true);
  if (machine != generic || machineFailed != genericFailed || machineError != genericError) {
    std::fprintf(stderr, "planned steps and generic handlers disagree on:\n%s\nerrors:\n%s\n%s\n", text.c_str(),
                 machineError.c_str(), genericError.c_str());
    for (size_t i = 0; i < machine.size() || i < generic.size(); ++i) {
      std::fprintf(stderr, "  %s | %s\n", i < machine.size() ? machine[i].c_str() : "-",
                   i < generic.size() ? generic[i].c_str() : "-");
    }
    std::abort();
  }
  if (gen.exact && !machineFailed && !treeFailed && machine != tree) {
    std::fprintf(stderr, "the paths disagree on:\n%s\n", text.c_str());
    for (size_t i = 0; i < machine.size() || i < tree.size(); ++i) {
      std::fprintf(stderr, "  %s | %s\n", i < machine.size() ? machine[i].c_str() : "-",
                   i < tree.size() ? tree[i].c_str() : "-");
    }
    std::abort();
  }
  return 0;
}
