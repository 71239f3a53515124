// The machine's set-up: start, the strings of compiled code, and the check
// and plan of code at its first run.
#include <memory>
#include <string>
#include <vector>

#include "script/compiler.h"
#include "script/errors.h"
#include "script/vm_internal.h"
#include "script/vm_plan.h"
#include "script/world.h"

bool g_UseVM = true;

namespace {
std::vector<std::string> g_compiledStrings;
}  // namespace

namespace vm {

const VMCodeInfo* CheckNow(const VMBuffer* code, const char* name) {
  std::string why;
  std::shared_ptr<const VMCodeInfo> checked = VM_Verify(*code, &why);
  if (!checked) {
    Error_ReportRuntime(ErrorSeverity::kError,
                        ("Code " + std::string(name ? name : "") + " cannot run: " + why).c_str());
    return nullptr;
  }
  code->SetInfo(checked);
  return checked.get();
}

void PlanNow(const VMBuffer* code, const VMCodeInfo* info) { info->SetPlan(VMPlan_Build(*code, *info)); }

}  // namespace vm

void VM_Init() { Compiler_Install(); }
void Compiler_Free() {}

const char* VM_StringOperand(uint32_t index) {
  if (index >= kVMCompiledStringBase) {
    const size_t n = index - kVMCompiledStringBase;
    return n < g_compiledStrings.size() ? g_compiledStrings[n].c_str() : "";
  }
  if (index >= g_ScriptWorld.stringCount()) return "";
  // The table's records are terminated in the container.
  return g_ScriptWorld.string(index).data();
}

uint32_t VM_AddCompiledString(const char* text) {
  g_compiledStrings.emplace_back(text ? text : "");
  return kVMCompiledStringBase + uint32_t(g_compiledStrings.size() - 1);
}

int64_t VM_DataStringCount() { return int64_t(g_ScriptWorld.stringCount()); }

