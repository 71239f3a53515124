#include "core/events.h"

#include <string>
#include <vector>

#include "core/code_chunks.h"
#include "core/event_names.h"
#include "core/objects.h"
#include "core/run_state.h"
#include "core/native_game.h"
#include "script/code.h"
#include "script/code_run.h"
#include "script/errors.h"

int32_t g_ArgumentRelative = 0;

namespace {
EventCompiler g_compiler = nullptr;
int g_running = 0;
std::vector<std::unique_ptr<CEvent>> g_retired;

// Word offsets inside an action record.
constexpr uint32_t kActionCodeIndex = 32;
constexpr uint32_t kActionCodeText = 60;

}  // namespace

void LoadBudget::Charge(uint64_t words) {
  if (words > left_) {
    throw DataError(std::string("the ") + chunk_ +
                    " records name more objects, events, moments and points than the container holds: "
                    "records or lists overlap");
  }
  left_ -= words;
}

bool Event_CodeFromTable() { return NativeGame_Get().code_table != nullptr || Code_Count() > 0; }

void Event_SetCompiler(EventCompiler compiler) { g_compiler = compiler; }

void Event_Retire(std::unique_ptr<CEvent> event) {
  // With nothing running the event simply goes now.
  if (event && g_running > 0) g_retired.push_back(std::move(event));
}

int Event_RunningCount() { return g_running; }

CEvent::CEvent() = default;
CEvent::~CEvent() = default;

void CEvent::SetCode(std::unique_ptr<CCode> code, std::string sourceText) {
  code_ = std::move(code);
  source_ = std::move(sourceText);
}

bool CEvent::LoadFromChunk(const GameDataFile& file, uint32_t actionList) {
  code_.reset();
  source_.clear();
  if (actionList == 0) return true;
  if (file.U32(actionList) == 0) return true;
  uint32_t action = file.U32(actionList + 4);
  if (action == 0) return true;
  if (action >= file.Size()) {
    throw DataError("action list at " + GameData_Hex(actionList) + " points to " + GameData_Hex(action) + ", outside the container");
  }
  if (Event_CodeFromTable()) {
    int32_t index = file.S32(action + kActionCodeIndex);
    const NativeGameHeader& native = NativeGame_Get();
    int64_t count = native.code_table ? native.code_count : int64_t(Code_Count());
    if (index < 0 || index >= count) {
      throw DataError("the action at " + GameData_Hex(action) + " names code entry " + std::to_string(index) +
                      ", but the code table has " + std::to_string(count) + " entries");
    }
    code_ = std::make_unique<CCode>(int(index), false);
  } else {
    source_ = std::string(file.String(file.U32(action + kActionCodeText)));
    code_ = std::make_unique<CCode>(source_, false);
  }
  return true;
}

bool CEvent::Compile() {
  if (!code_ || code_->Compiled()) return true;
  // Text code: only the run-time compiler can turn it into something to run.
  if (!g_compiler) return true;
  char name[1024];
  std::snprintf(name, sizeof name, "Object.%s.%s.%d", Object_GetName(g_Run.event_object).c_str(),
                Event_ShortName(g_Run.event_type, g_Run.event_number).c_str(), g_Run.event_action);
  if (g_compiler(code_.get(), name)) return true;
  std::string message = "COMPILATION ERROR in code action\n" + Code_PendingErrorText();
  Error_ReportRuntime(ErrorSeverity::kAbort, message.c_str());
  return false;
}

bool CEvent::Execute(CObjInstance* self, CObjInstance* other) {
  int32_t relative = g_ArgumentRelative;
  g_ArgumentRelative = 0;
  ScriptValue result;
  ++g_running;
  bool ok = Code_RunReportingErrors(self, other, code_.get(), &result);
  --g_running;
  ScriptValue_Free(&result);
  g_ArgumentRelative = relative;
  if (g_running == 0 && !g_retired.empty()) {
    // Freeing may not reenter this list: a retired event is never running.
    std::vector<std::unique_ptr<CEvent>> retired;
    retired.swap(g_retired);
  }
  return ok;
}
