// Script calls, extension calls and with-statements of the bytecode machine,
// on containers assembled with tw-pack, and the script table they call into.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "code_fixture.h"
#include "core/code_chunks.h"
#include "core/game_data.h"
#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "core/native_game.h"
#include "pack.h"
#include "core/builtin_vars.h"
#include "script/code.h"
#include "script/code_run.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/memory_manager.h"
#include "script/scripts.h"
#include "script/value.h"
#include "unit/world_reset.h"
#include "script/variables.h"
#include "script/vm.h"

namespace {

std::vector<int32_t> g_log;

// tw_log (): self's id; tw_log_other (): other's id (0 for none).
void TestLog(ScriptValue*, CObjInstance* self, CObjInstance*, int, ScriptValue*) { g_log.push_back(self ? self->id : 0); }
void TestLogOther(ScriptValue*, CObjInstance*, CObjInstance* other, int, ScriptValue*) {
  g_log.push_back(other ? other->id : 0);
}
// tw_arg (n): a copy of argument slot n; tw_argc (): argument_count.
void TestArg(ScriptValue* result, CObjInstance*, CObjInstance*, int, ScriptValue* args) {
  ScriptValue_Copy(result, &g_ArgumentSlots[int(args[0].Real())]);
}
void TestArgc(ScriptValue* result, CObjInstance*, CObjInstance*, int, ScriptValue*) { result->real = g_ArgumentCount; }
// tw_slots (): logs argument_count and every slot but those holding real 0,
// as "n=1 0=4 5='five' 6=array".
std::vector<std::string> g_slots;
void TestSlots(ScriptValue*, CObjInstance*, CObjInstance*, int, ScriptValue*) {
  std::string text = "n=" + std::to_string(g_ArgumentCount);
  for (int i = 0; i < kScriptArgumentSlots; ++i) {
    const ScriptValue& v = g_ArgumentSlots[i];
    if (v.IsReal() && v.real == 0.0) continue;
    text += " " + std::to_string(i) + "=";
    if (v.IsReal()) text += std::to_string(int(v.real));
    else if (v.IsString()) text += "'" + std::string(v.Text()) + "'";
    else text += "array";
  }
  g_slots.push_back(text);
}
// tw_destroy (id), tw_create (object) -> id, tw_change (id, object).
void TestDestroy(ScriptValue*, CObjInstance*, CObjInstance*, int, ScriptValue* args) {
  Instance_Destroy(Instance_FindByID(int32_t(args[0].Real())));
}
void TestCreate(ScriptValue* result, CObjInstance*, CObjInstance*, int, ScriptValue* args) {
  CObjInstance* i = Instance_Create(int32_t(args[0].Real()), 0, 0);
  result->real = i ? i->id : -1;
}

// A new object at the end of the table, under `parent`.
int32_t AddObject(int32_t parent) {
  const int32_t i = Object_Add();
  Object_Find(i)->parent_index = parent;
  Object_LinkParents();
  return i;
}

class VMCalls : public RoomWorldTest {
 protected:
  void SetUp() override {
    RoomWorldTest::SetUp();
    FunctionRegistry_Add("tw_log", TestLog, 0);
    FunctionRegistry_Add("tw_log_other", TestLogOther, 0);
    FunctionRegistry_Add("tw_arg", TestArg, 1);
    FunctionRegistry_Add("tw_argc", TestArgc, 0);
    FunctionRegistry_Add("tw_destroy", TestDestroy, 1);
    FunctionRegistry_Add("tw_create", TestCreate, 1);
    FunctionRegistry_Add("tw_slots", TestSlots, 0);
    g_log.clear();
    g_slots.clear();
    g_Run.room = &room_;
  }
  void TearDown() override {
    ScriptValue_Free(&result_);
    room_.DeleteAllInstances();
    RoomWorldTest::TearDown();
  }

  // Loads the description's code and scripts as the chunk walk does; "" or the error.
  std::string Load(const std::string& description) {
    std::string error;
    file_ = fixture::LoadCode(description, &error);
    if (!file_) return error;
    return Script_Prepare() ? "" : "prepare failed";
  }

  // Runs record 0 ("main") for self and other; the error message or "".
  std::string Run(CObjInstance* self = nullptr, CObjInstance* other = nullptr) {
    Error_ResetForTests();
    const uint32_t before = MemoryManager::LiveBlocks();
    ScriptValue_Free(&result_);
    VM_Execute("main", self, other, Code_GetRecord(0)->code.get(), &result_, nullptr, nullptr);
    leaked_ = int(MemoryManager::LiveBlocks()) - int(before) - (result_.IsString() && result_.text ? 1 : 0);
    return Error_Occurred() ? Error_LastText() : "";
  }

  // "main" with these lines, the scripts' records and SCRIPT lines, then run.
  std::string LoadAndRun(const std::string& main, const std::string& more, CObjInstance* self = nullptr,
                         CObjInstance* other = nullptr) {
    const std::string error = Load("CODE \"main\"\n" + main + "\nEND\n" + more + "VARI\nFUNC\nSTRG\n");
    if (!error.empty()) return "load: " + error;
    return Run(self, other);
  }

  CObjInstance* Make(int32_t object) { return room_.CreateInstance(0, 0, object); }

  CGameRoom room_;
  std::unique_ptr<GameDataFile> file_;
  ScriptValue result_;
  int leaked_ = 0;
};

// Reads argument n as a value.
std::string Arg(int n) { return "push.d " + std::to_string(n) + "\nconv.d.v\ncall.i tw_arg 1\n"; }
std::string Real(double d) { return "push.d " + std::to_string(d) + "\nconv.d.v\n"; }

// ---- The script table ----------------------------------------------------------

TEST_F(VMCalls, TheTableFindsScriptsByNameAndIndexAndSkipsAbsentOnes) {
  ASSERT_EQ(Load("CODE \"main\"\nEND\nCODE \"b\"\nEND\n"
                 "SCRIPT \"first\" code=\"b\"\nSCRIPT none\nSCRIPT \"third\" code=1\nSCRIPT \"first\" code=1\n"
                 "VARI\nFUNC\nSTRG\n"),
            "");
  EXPECT_EQ(Script_Count(), 4);
  EXPECT_TRUE(Script_Exists(0));
  EXPECT_FALSE(Script_Exists(1));
  EXPECT_FALSE(Script_Exists(4));
  EXPECT_FALSE(Script_Exists(-1));
  EXPECT_EQ(Script_GetName(2), "third");
  EXPECT_EQ(Script_GetName(1), "<undefined>");
  EXPECT_EQ(Script_GetName(99), "<undefined>");
  EXPECT_EQ(Script_Find("first"), 0) << "the first of two with one name";
  EXPECT_EQ(Script_Find("third"), 2);
  EXPECT_EQ(Script_Find("Third"), -1) << "names compare exactly";
  EXPECT_EQ(Script_Find(""), -1);
  EXPECT_EQ(Script_Get(2)->CodeIndex(), 1);
  EXPECT_EQ(Script_Get(2)->Code()->Bytecode(), Code_GetRecord(1)->code.get());
  EXPECT_EQ(FunctionRegistry_Find("third"), kFirstScriptFunction + 2) << "scripts are found by function name";
}

TEST_F(VMCalls, AnEmptyChunkLeavesAnEmptyTableAndBadRecordsAreRefused) {
  ASSERT_EQ(Load("RAW SCPT 00000000\n"), "");
  EXPECT_EQ(Script_Count(), 0);
  EXPECT_EQ(Script_Find("any"), -1);
  EXPECT_EQ(Script_GetName(0), "<undefined>");
  EXPECT_NE(Load("CODE \"main\"\nEND\nSCRIPT \"s\" code=5\n").find("names code entry 5, but the code table has 1"),
            std::string::npos);
  EXPECT_EQ(Script_Count(), 0) << "a refused chunk leaves no table";
  // A record offset outside the container.
  EXPECT_NE(Load("RAW SCPT 01000000FFFFFF00\n"), "");
  EXPECT_EQ(Script_Count(), 0);
}

TEST_F(VMCalls, ScriptsOfTextKeepTheirTextAndCompileUnderTheirName) {
  ASSERT_EQ(Load("SCRIPT \"my script\" text=\"return 1\"\n"), "");
  CScript* s = Script_Get(0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Text(), "return 1");
  ASSERT_NE(s->Code(), nullptr);
  EXPECT_EQ(s->Code()->Name(), "Script.my_script");
  EXPECT_STREQ(s->Code()->GetText(), "return 1");
}

TEST_F(VMCalls, ScriptRunSavesTheCallersArgumentsAndNamesTheScriptOnFailure) {
  ASSERT_EQ(Load("CODE \"main\"\nEND\nCODE \"inner\"\n" + Arg(2) + "call.i tw_argc 0\nadd.v.v\nEND\n"
                 "SCRIPT \"inner\" code=\"inner\"\nVARI\nFUNC\nSTRG\n"),
            "");
  g_ArgumentSlots[0] = ScriptValue::FromReal(11);
  g_ArgumentSlots[4] = ScriptValue::FromReal(44);
  g_ArgumentCount = 5;
  ScriptValue args[2] = {ScriptValue::FromReal(1), ScriptValue::FromReal(2)};
  ScriptValue result;
  ASSERT_TRUE(Script_Run(0, nullptr, nullptr, 2, &result, args));
  EXPECT_EQ(result.real, 2.0) << "argument2 reads 0; argument_count is the script's own";
  EXPECT_EQ(g_ArgumentSlots[0].real, 11.0);
  EXPECT_EQ(g_ArgumentSlots[4].real, 44.0);
  EXPECT_EQ(g_ArgumentCount, 5);
  EXPECT_FALSE(Script_Run(1, nullptr, nullptr, 0, &result, nullptr));

  // A failing text script: the pending text names it.
  Script_DeleteAll();
  auto failing = std::make_unique<CScript>("broken");
  failing->SetText("x");
  Script_SetCompiler([](CCode* code, const std::string&) {
    Code_ReportError(code, 0, "bad");
    return true;
  });
  ASSERT_TRUE(failing->Compile());
  Script_SetCompiler(nullptr);
  const int32_t index = Script_AddForTests(std::move(failing));
  // Interpreting the unbound text fails the run once the VM is off.
  g_UseVM = false;
  EXPECT_FALSE(Script_Run(index, nullptr, nullptr, 0, &result, nullptr));
  g_UseVM = true;
  EXPECT_EQ(Code_PendingErrorText().rfind("In script broken:\n", 0), 0u) << Code_PendingErrorText();
  Code_ClearPendingError();
  ScriptValue_Free(&result);
  g_ArgumentSlots[0] = ScriptValue();
  g_ArgumentSlots[4] = ScriptValue();
  g_ArgumentCount = 0;
}

// A compiled script: (a, b [, text]) gives argc * 10000 + a * 100 + b, or
// the text doubled when there is a third argument; it checks that its
// arguments are the slots themselves and that argument_count agrees.
int g_nativeMismatches = 0;
void NativeScript(CObjInstance*, CObjInstance*, ScriptValue* result, int argc, ScriptValue** args) {
  for (int i = 0; i < kScriptArgumentSlots; ++i)
    if (args[i] != &g_ArgumentSlots[i]) ++g_nativeMismatches;
  if (argc != g_ArgumentCount) ++g_nativeMismatches;
  if (argc >= 3 && args[2]->IsString()) {
    ScriptValue_SetText(result, (std::string(args[2]->Text()) + args[2]->Text()).c_str());
    return;
  }
  result->real = argc * 10000 + args[0]->Real() * 100 + args[1]->Real();
}
const NativeCodeEntry kNativeScript{"tws_Script_native", nullptr, NativeScript};

TEST_F(VMCalls, CompiledScriptsTakeArgumentsAndGiveTheirResult) {
  g_nativeMismatches = 0;
  const std::string scripts = "CODE \"stub\"\nEND\nSCRIPT \"native\" code=\"stub\"\n";
  ASSERT_EQ(Load("CODE \"main\"\nEND\n" + scripts + "VARI\nFUNC\nSTRG\n"), "");
  Script_Get(0)->BindNative(&kNativeScript);

  // Called by the table, as the tree interpreter and compiled code call it.
  g_ArgumentSlots[0] = ScriptValue::FromReal(11);
  g_ArgumentCount = 1;
  ScriptValue args[3] = {ScriptValue::FromReal(4), ScriptValue::FromReal(2), ScriptValue()};
  ScriptValue_SetText(&args[2], "ab");
  ScriptValue result;
  ASSERT_TRUE(Script_Run(0, nullptr, nullptr, 2, &result, args));
  EXPECT_EQ(result.Real(), 20402.0);
  ASSERT_TRUE(Script_Run(0, nullptr, nullptr, 3, &result, args));
  ASSERT_TRUE(result.IsString());
  EXPECT_STREQ(result.Text(), "abab");
  ScriptValue_Free(&result);
  ScriptValue_Free(&args[2]);
  EXPECT_EQ(g_ArgumentSlots[0].Real(), 11.0) << "the caller's slots are back";
  EXPECT_EQ(g_ArgumentCount, 1);
  g_ArgumentSlots[0] = ScriptValue();
  g_ArgumentCount = 0;

  // Called by the machine, which uses the result: native (7, 5) + 1.
  ASSERT_EQ(LoadAndRun(Real(5) + Real(7) + "call.i native 2\npush.d 1\nadd.d.v\nret.v", scripts), "");
  Script_Get(0)->BindNative(&kNativeScript);
  ASSERT_EQ(Run(), "");
  EXPECT_EQ(result_.Real(), 20000.0 + 700 + 5 + 1);
  EXPECT_EQ(leaked_, 0);
  EXPECT_EQ(g_nativeMismatches, 0);
  for (const ScriptValue& v : g_ArgumentSlots) EXPECT_TRUE(v.IsReal() && v.real == 0.0);
}

// ---- Script calls ----------------------------------------------------------------

TEST_F(VMCalls, ArgumentsAndReturnValuesTravelThroughTheCall) {
  // add2 (3, "x" * 2) with strings and reals mixed: "xx" + "!" and 3 + 4.
  const std::string scripts =
      "CODE \"add2\"\n" + Arg(0) + Arg(1) + "add.v.v\nret.v\nEND\n"
      "CODE \"count\"\ncall.i tw_argc 0\n" + Arg(2) + "add.v.v\n" + Arg(3) + "add.v.v\nret.v\nEND\n"
      "SCRIPT \"add2\" code=\"add2\"\nSCRIPT \"count\" code=\"count\"\n";
  ASSERT_EQ(LoadAndRun(Real(4) + Real(3) + "call.i add2 2", scripts), "");
  EXPECT_EQ(result_.real, 7.0);
  EXPECT_EQ(leaked_, 0);
  ASSERT_EQ(LoadAndRun("push.s \"!\"\nconv.s.v\npush.s \"xx\"\nconv.s.v\ncall.i add2 2", scripts), "");
  EXPECT_STREQ(result_.Text(), "xx!");
  EXPECT_EQ(leaked_, 0);
  // count (1, 2, 7): argument_count 3 + argument2 7 + argument3 (zero).
  ASSERT_EQ(LoadAndRun(Real(7) + Real(2) + Real(1) + "call.i count 3", scripts), "");
  EXPECT_EQ(result_.real, 10.0);
  EXPECT_EQ(g_ArgumentCount, 0) << "the run's argument_count is back";
  for (const ScriptValue& v : g_ArgumentSlots) EXPECT_TRUE(v.IsReal() && v.real == 0.0);
}

TEST_F(VMCalls, NestedCallsGiveTheCallerItsArgumentsBack) {
  // outer (a0..a4) calls inner (10, 20), then returns its result * 1000 +
  // a4 * 100 + argument_count, with a4 read after the inner call.
  const std::string scripts =
      "CODE \"inner\"\n" + Arg(0) + Arg(1) + "add.v.v\n" + Arg(2) + "add.v.v\ncall.i tw_argc 0\nadd.v.v\nret.v\nEND\n"
      "CODE \"outer\"\n" + Real(20) + Real(10) + "call.i inner 2\npush.d 1000\nmul.d.v\n" + Arg(4) +
      "push.d 100\nmul.d.v\nadd.v.v\ncall.i tw_argc 0\nadd.v.v\nret.v\nEND\n"
      "SCRIPT \"inner\" code=\"inner\"\nSCRIPT \"outer\" code=\"outer\"\n";
  std::string call;
  for (int i = 5; i >= 1; --i) call += Real(i);
  ASSERT_EQ(LoadAndRun(call + "call.i outer 5", scripts), "");
  EXPECT_EQ(result_.real, 32.0 * 1000 + 500 + 5);
  EXPECT_EQ(VM_LocalsInUse(), 0);
}

TEST_F(VMCalls, SlotsWrittenByACalleeAreReleasedAndTheCallersComeBack) {
  BuiltinVar_RegisterAll();
  const char* const slots = "call.i tw_slots 0\npopz.v\n";
  // writer (4) writes argument5 and argument0, then calls reader (), which
  // writes argument3 and an element of argument6, all past their counts.
  const std::string scripts =
      std::string("CODE \"reader\"\n") + slots +
      "push.s \"three\"\nconv.s.v\npop.v.v -6.argument3\n"
      "push.d 9\nconv.d.v\npush.i 2\npop.v.v -6.argument6[]\n" + slots +
      "push.v -6.argument5\nret.v\nEND\n"
      "CODE \"writer\"\n" + slots +
      "push.s \"five\"\nconv.s.v\npop.v.v -6.argument5\n"
      "push.d 6\nconv.d.v\npop.v.v -6.argument0\n" + slots +
      "call.i reader 0\n" + slots +
      "push.v -6.argument0\nadd.v.v\nret.v\nEND\n"
      "SCRIPT \"reader\" code=\"reader\"\nSCRIPT \"writer\" code=\"writer\"\n";
  CObjInstance* self = Make(0);
  // The run's own slots, written directly: a string and a real past the count.
  ScriptValue_SetText(&g_ArgumentSlots[2], "outer");
  g_ArgumentSlots[7] = ScriptValue::FromReal(77);
  g_ArgumentCount = 8;
  const std::string error = LoadAndRun(Real(4) + "call.i writer 1\n" + slots, scripts, self);
  BuiltinVar_Clear();
  ASSERT_EQ(error, "");
  EXPECT_EQ(result_.real, 6.0) << "reader's argument5 reads 0; writer's argument0 is its own";
  const std::vector<std::string> expected = {
      "n=1 0=4",                   // writer, called
      "n=1 0=6 5='five'",          // writer, after its writes
      "n=0",                       // reader, called: writer's slots are not seen
      "n=0 3='three' 6=array",     // reader, after its writes
      "n=1 0=6 5='five'",          // writer again: reader's slots are gone
      "n=8 2='outer' 7=77",        // the run's slots are back
  };
  EXPECT_EQ(g_slots, expected);
  EXPECT_EQ(leaked_, 0) << "what the callees wrote is released once";
  EXPECT_EQ(VM_LocalsInUse(), 0);
  EXPECT_EQ(g_ArgumentCount, 8);
  Arguments_FreeAll();
  g_ArgumentSlots[2] = ScriptValue();
  g_ArgumentSlots[7] = ScriptValue();
  g_ArgumentCount = 0;
}

TEST_F(VMCalls, ArgumentVariablesReadTheRunningCallsSlots) {
  BuiltinVar_RegisterAll();
  // sum (a0, a1, a2): a0 + 10 * a1 + 100 * argument5 + 1000 * argument_count,
  // read as variables; text (a0, a1): a0 + a1 of strings.
  const std::string scripts =
      "CODE \"sum\"\npush.v -6.argument0\npush.v self.argument1\npush.d 10\nmul.d.v\nadd.v.v\n"
      "push.v -6.argument5\npush.d 100\nmul.d.v\nadd.v.v\n"
      "push.v -6.argument_count\npush.d 1000\nmul.d.v\nadd.v.v\nret.v\nEND\n"
      "CODE \"text\"\npush.v -6.argument0\npush.v -6.argument1\nadd.v.v\nret.v\nEND\n"
      "SCRIPT \"sum\" code=\"sum\"\nSCRIPT \"text\" code=\"text\"\n";
  CObjInstance* self = Make(0);
  g_ArgumentSlots[5] = ScriptValue::FromReal(5);
  g_ArgumentCount = 6;
  EXPECT_EQ(LoadAndRun(Real(3) + Real(2) + Real(1) + "call.i sum 3", scripts, self), "");
  EXPECT_EQ(result_.real, 3021.0) << "argument5 past the count reads 0";
  EXPECT_EQ(LoadAndRun("push.s \"b\"\nconv.s.v\npush.s \"a\"\nconv.s.v\ncall.i text 2", scripts, self), "");
  EXPECT_STREQ(result_.Text(), "ab");
  EXPECT_EQ(leaked_, 0);
  // At depth 0 the variables read the run's slots.
  EXPECT_EQ(LoadAndRun("push.v -6.argument5\npush.v -6.argument_count\nadd.v.v", "", self), "");
  EXPECT_EQ(result_.real, 11.0);
  // Slots put in place by BuiltinVar_SetArgumentSlots are the ones read.
  ScriptValue own[kScriptArgumentSlots];
  own[0] = ScriptValue::FromReal(42);
  const int32_t count = 1, relative = 0;
  BuiltinVar_SetArgumentSlots({own, &count, &relative});
  EXPECT_EQ(LoadAndRun("push.v -6.argument0", "", self), "");
  BuiltinVar_SetArgumentSlots({});
  EXPECT_EQ(result_.real, 42.0);
  // Without an instance the read fails as any built-in read does.
  const std::string error = LoadAndRun("push.v -6.argument0", "");
  BuiltinVar_Clear();
  EXPECT_NE(error.find("Push :: Execution Error - Variable Get -6.argument0"), std::string::npos) << error;
  g_ArgumentSlots[5] = ScriptValue();
  g_ArgumentCount = 0;
}

TEST_F(VMCalls, RecursionComputesAFactorial) {
  const std::string scripts =
      "CODE \"fact\"\n" + Arg(0) + "push.d 1\nsle.d.v\nbf deeper\n" + Real(1) + "ret.v\ndeeper:\n" + Arg(0) + Arg(0) +
      "push.d 1\nsub.d.v\ncall.i fact 1\nmul.v.v\nret.v\nEND\n"
      "SCRIPT \"fact\" code=\"fact\"\n";
  ASSERT_EQ(LoadAndRun(Real(10) + "call.i fact 1", scripts), "");
  EXPECT_EQ(result_.real, 3628800.0);
  // Deep enough that the stack area grows under the call records.
  ASSERT_EQ(LoadAndRun(Real(170) + "call.i fact 1", scripts), "");
  EXPECT_GT(result_.real, 7e306);
  EXPECT_EQ(leaked_, 0);
}

TEST_F(VMCalls, ExitRunningOffTheEndAndEmptyScriptsReturnZeroAndBalanceTheStack) {
  const std::string scripts =
      "CODE \"quits\"\npush.s \"left\"\nconv.s.v\nexit.e\nEND\n"
      "CODE \"runs_off\"\npush.s \"kept\"\nEND\n"
      "CODE \"typed\"\npush.i 42\nret.i\nEND\n"
      "CODE \"empty\"\nEND\n"
      "SCRIPT \"quits\" code=\"quits\"\nSCRIPT \"runs_off\" code=\"runs_off\"\nSCRIPT \"empty\" code=\"empty\"\n"
      "SCRIPT \"typed\" code=\"typed\"\n";
  for (const char* name : {"quits", "runs_off", "empty"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(LoadAndRun(Real(9) + Real(8) + "call.i " + name + " 2\npush.d 5\nadd.d.v", scripts), "");
    EXPECT_EQ(result_.real, 5.0);
    EXPECT_EQ(leaked_, 0) << "what the callee left is released";
  }
  ASSERT_EQ(LoadAndRun("call.i typed 0", scripts), "");
  EXPECT_EQ(result_.real, 42.0) << "a returned integer arrives as a real value";
}

TEST_F(VMCalls, EndlessRecursionTakesTheStackOverflowPathAndTheGameGoesOn) {
  const std::string scripts = "CODE \"forever\"\npush.s \"held\"\nconv.s.v\ncall.i forever 0\nret.v\nEND\n"
                              "SCRIPT \"forever\" code=\"forever\"\n";
  g_ArgumentSlots[3] = ScriptValue::FromReal(3);
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadAndRun("push.s \"mine\"\nconv.s.v\ncall.i forever 0\nadd.v.v\npush.d 1\nconv.d.v", scripts), "");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Stack overflow..."), std::string::npos) << err;
  EXPECT_NE(err.find("main"), std::string::npos) << "the box names the code that was started";
  EXPECT_TRUE(result_.IsReal() && result_.real == 0.0) << "the run ended where it overflowed";
  EXPECT_EQ(leaked_, 0) << "every level's strings are released";
  EXPECT_EQ(VM_LocalsInUse(), 0);
  EXPECT_EQ(g_ArgumentSlots[3].real, 3.0) << "the slots are back as before the run";
  g_ArgumentSlots[3] = ScriptValue();
  // The next run is unaffected.
  ASSERT_EQ(Run(), "");
}

TEST_F(VMCalls, AnErrorInsideAScriptShowsTheCallStack) {
  const std::string scripts = "CODE \"bad\"\npush.i 1\npush.i 0\ndiv.i.i\nconv.i.v\nret.v\nEND\n"
                              "CODE \"mid\"\ncall.i bad 0\nret.v\nEND\n"
                              "SCRIPT \"bad\" code=\"bad\"\nSCRIPT \"mid\" code=\"mid\"\n";
  const std::string text = LoadAndRun("call.i mid 0", scripts);
  EXPECT_NE(text.find("DoDiv :: Divide by zero"), std::string::npos) << text;
  const std::string stack = std::string(92, '-') + "\nstack frame is\nbad (line -1)\n" +
                            "called from - mid (line -1) - <unknown source line>\n" +
                            "called from - main (line -1) - <unknown source line>\n";
  EXPECT_NE(text.find(stack), std::string::npos) << text;
  EXPECT_NE(text.find(" at bad (line -1)"), std::string::npos) << text;
  EXPECT_EQ(leaked_, 0);
  EXPECT_EQ(VM_LocalsInUse(), 0);
  // At depth 0 there is no call-stack text.
  EXPECT_EQ(LoadAndRun("push.i 1\npush.i 0\ndiv.i.i\nconv.i.v", "").find("stack frame is"), std::string::npos);
}

TEST_F(VMCalls, ExtensionFunctionsWithoutAPackageYieldZero) {
  // call.i with function 500000 and two arguments, written as raw words.
  ASSERT_EQ(LoadAndRun("push.s \"a\"\nconv.s.v\n" + Real(2) + "word 0xDA020002 500000\npush.d 1\nadd.d.v", ""), "");
  EXPECT_EQ(result_.real, 1.0);
  EXPECT_EQ(leaked_, 0);
}

// ---- With-statements --------------------------------------------------------------

std::string With(const std::string& target, const std::string& body, const std::string& label) {
  return target + "pushenv e" + label + "\nb" + label + ":\n" + body + "e" + label + ":\npopenv b" + label + "\n";
}
const char* const kLog = "call.i tw_log 0\npopz.v\n";
const char* const kLogOther = "call.i tw_log_other 0\npopz.v\n";

TEST_F(VMCalls, WithOverAllVisitsInTheSpecifiedOrder) {
  CObjInstance* a = Make(-1);
  CObjInstance* runner = nullptr;
  const std::string program = With("push.e -3\n", kLog, "1") + kLog;
  // One, two (in list order), then three or more (last to first).
  ASSERT_EQ(LoadAndRun(program, ""), "");
  EXPECT_EQ(g_log, (std::vector<int32_t>{a->id, 0}));
  CObjInstance* b = Make(-1);
  g_log.clear();
  ASSERT_EQ(Run(runner), "");
  EXPECT_EQ(g_log, (std::vector<int32_t>{a->id, b->id, 0}));
  CObjInstance* c = Make(-1);
  CObjInstance* d = Make(-1);
  g_log.clear();
  ASSERT_EQ(Run(), "");
  EXPECT_EQ(g_log, (std::vector<int32_t>{d->id, c->id, b->id, a->id, 0}));
  EXPECT_EQ(leaked_, 0) << "the instance array is released";
  // Dead and deactivated instances are not visited.
  b->SetMarkedDead(true);
  c->deactivated = true;
  g_log.clear();
  ASSERT_EQ(Run(), "");
  EXPECT_EQ(g_log, (std::vector<int32_t>{a->id, d->id, 0}));
}

TEST_F(VMCalls, WithOverAnObjectTakesItsDescendantsAndPendingChanges) {
  Object_Init();
  const int32_t parent = AddObject(-1);
  const int32_t child = AddObject(parent);
  const int32_t stranger = AddObject(-1);
  CObjInstance* p1 = Make(parent);
  CObjInstance* c1 = Make(child);
  Make(stranger);
  CObjInstance* p2 = Make(parent);
  const std::string program = With("push.i " + std::to_string(parent) + "\n", kLog, "1") +
                              With("push.i " + std::to_string(child) + "\n", kLog, "2") +
                              With("push.i 77\n", kLog, "3");
  ASSERT_EQ(LoadAndRun(program, ""), "");
  EXPECT_EQ(g_log, (std::vector<int32_t>{p2->id, c1->id, p1->id, c1->id}))
      << "the parent's three from last to first, the child's one; object 77 has none";
  // An instance changing into the child this step counts for it, once.
  CObjInstance* s = Make(stranger);
  s->ChangeObject(child);
  g_log.clear();
  ASSERT_EQ(Run(), "");
  EXPECT_EQ(g_log, (std::vector<int32_t>{p2->id, c1->id, p1->id, c1->id, s->id}));
}

TEST_F(VMCalls, WithOverAnIdOtherAndNoone) {
  CObjInstance* me = Make(-1);
  CObjInstance* you = Make(-1);
  CObjInstance* third = Make(-1);
  const std::string program = With("push.i " + std::to_string(third->id) + "\n", std::string(kLog) + kLogOther, "1") +
                              With("push.e -2\n", std::string(kLog) + kLogOther, "2") +
                              With("push.e -4\n", kLog, "3") + With("push.i 199999\n", kLog, "4") + kLog + kLogOther;
  ASSERT_EQ(LoadAndRun(program, "", me, you), "");
  EXPECT_EQ(g_log, (std::vector<int32_t>{third->id, me->id, you->id, me->id, me->id, you->id}));
  third->SetMarkedDead(true);
  g_log.clear();
  ASSERT_EQ(Run(me, you), "");
  EXPECT_EQ(g_log, (std::vector<int32_t>{you->id, me->id, me->id, you->id})) << "a dead id is skipped";
}

TEST_F(VMCalls, InstancesCreatedOrDestroyedInsideTheLoop) {
  Object_Init();
  const int32_t obj = AddObject(-1);
  CObjInstance* a = Make(obj);
  CObjInstance* b = Make(obj);
  CObjInstance* c = Make(obj);
  // Each visit creates another instance of the object: the new ones wait.
  const std::string creating = With("push.i " + std::to_string(obj) + "\n",
                                    std::string(kLog) + Real(obj) + "call.i tw_create 1\npopz.v\n", "1");
  ASSERT_EQ(LoadAndRun(creating, ""), "");
  EXPECT_EQ(g_log, (std::vector<int32_t>{c->id, b->id, a->id}));
  EXPECT_EQ(room_.active.Count(), 6);
  // Visiting c destroys b, which is then passed over.
  room_.DeleteAllInstances();
  a = Make(obj);
  b = Make(obj);
  c = Make(obj);
  const std::string destroying =
      With("push.e -3\n", std::string(kLog) + Real(b->id) + "call.i tw_destroy 1\npopz.v\n", "1");
  g_log.clear();
  ASSERT_EQ(LoadAndRun(destroying, ""), "");
  EXPECT_EQ(g_log, (std::vector<int32_t>{c->id, a->id}));
  EXPECT_EQ(leaked_, 0);
}

TEST_F(VMCalls, BreakAndReturnInsideAWithRestoreSelfAndOther) {
  CObjInstance* me = Make(-1);
  CObjInstance* you = Make(-1);
  for (int i = 0; i < 4; ++i) Make(-1);
  // break after the first visit, then log self and other.
  const std::string breaking = "push.e -3\npushenv e1\nb1:\n" + std::string(kLog) + "popenv exit\nb done\n" +
                               "e1:\npopenv b1\ndone:\n" + kLog + kLogOther;
  ASSERT_EQ(LoadAndRun(breaking, "", me, you), "");
  EXPECT_EQ(g_log.size(), 3u);
  EXPECT_EQ(g_log[1], me->id);
  EXPECT_EQ(g_log[2], you->id);
  EXPECT_EQ(leaked_, 0);
  // A script that returns from inside a with over all.
  const std::string scripts = "CODE \"inside\"\n" +
                              With("push.e -3\n", std::string(kLog) + Real(6) + "ret.v\n", "1") + Real(0) +
                              "ret.v\nEND\nSCRIPT \"inside\" code=\"inside\"\n";
  g_log.clear();
  ASSERT_EQ(LoadAndRun("call.i inside 0\n" + std::string(kLog) + kLogOther, scripts, me, you), "");
  EXPECT_EQ(result_.real, 6.0) << "the value returned from inside the with";
  EXPECT_EQ(g_log.size(), 3u);
  EXPECT_EQ(g_log[1], me->id);
  EXPECT_EQ(g_log[2], you->id);
  EXPECT_EQ(leaked_, 0);
}

TEST_F(VMCalls, WithLoopOfCompiledCodeVisitsLikeTheMachine) {
  CObjInstance* me = Make(-1);
  CObjInstance* b = Make(-1);
  CObjInstance* c = Make(-1);
  CObjInstance* self = me;
  CObjInstance* other = nullptr;
  WithLoop loop;
  ASSERT_EQ(WithLoop_Begin(&loop, &self, &other, kInstanceAll), 3);
  std::vector<int32_t> seen = {self->id};
  while (WithLoop_Next(&loop, &self)) seen.push_back(self->id);
  EXPECT_EQ(seen, (std::vector<int32_t>{c->id, b->id, me->id}));
  EXPECT_EQ(other, me);
  WithLoop_End(&loop, &self, &other);
  EXPECT_EQ(self, me);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(WithLoop_Begin(&loop, &self, &other, kInstanceNoone), -1);
  EXPECT_EQ(WithLoop_Begin(&loop, &self, &other, -8), 0);
  EXPECT_EQ(WithLoop_Begin(&loop, &self, &other, 199999), 0);
  ASSERT_EQ(WithLoop_Begin(&loop, &self, &other, b->id), 1);
  EXPECT_EQ(self, b);
  EXPECT_FALSE(WithLoop_Next(&loop, &self));
  WithLoop_End(&loop, &self, &other);
  EXPECT_EQ(self, me);
}

int g_quitPumps = 0;
// The player asks to quit while the second pump runs.
bool QuitAtSecondPump() { return ++g_quitPumps < 2; }

}  // namespace

TEST_F(VMCalls, AQuitSeenInsideACalledScriptEndsTheWholeRun) {
  VM_SetMessagePump(QuitAtSecondPump);
  const std::string spin = "CODE \"spin\"\npush.s \"held\"\nconv.s.v\ntop:\nb top\nEND\nSCRIPT \"spin\" code=\"spin\"\n";
  const std::string result =
      LoadAndRun("push.s \"kept\"\nconv.s.v\ncall.i spin 0\ncall.i tw_log 0\npush.d 1\nconv.d.v", spin);
  VM_SetMessagePump(nullptr);
  EXPECT_EQ(result, "") << "a quit is no error";
  EXPECT_EQ(g_quitPumps, 2);
  EXPECT_TRUE(g_log.empty()) << "the caller ends with the script";
  EXPECT_TRUE(result_.IsReal() && result_.real == 0) << "a stopped run has no value";
  EXPECT_EQ(leaked_, 0);
  EXPECT_EQ(VM_LocalsInUse(), 0);
}

// ---- Instance built-in variables through the machine ------------------------------

TEST_F(VMCalls, InstanceVariablesAreWrittenThroughTheirSettersAndReadOnlyOnesRefused) {
  BuiltinVar_RegisterAll();
  CObjInstance* self = Make(0);
  EXPECT_EQ(LoadAndRun("push.d 3\nconv.d.v\npop.v.v self.speed\npush.d 90\nconv.d.v\npop.v.v self.direction\n"
                       "push.v self.vspeed",
                       "", self),
            "");
  EXPECT_EQ(result_.Real(), -3);
  EXPECT_EQ(self->hspeed, 0);
  const std::string error = LoadAndRun("push.d 3\nconv.d.v\npop.v.v self.id\npush.d 7\nconv.d.v\npop.v.v self.x", "",
                                       self);
  BuiltinVar_Clear();
  EXPECT_NE(error.find("Pop :: Execution Error - Variable set failed id - read only variable?"), std::string::npos)
      << error;
  EXPECT_EQ(self->x, 0) << "the run stops at the refused write";
}
