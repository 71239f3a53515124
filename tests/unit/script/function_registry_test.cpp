#include "script/function_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "script/scripts.h"
#include "unit/world_reset.h"

namespace {

// What the fake built-ins saw.
struct CallRecord {
  int calls = 0;
  ScriptValue* result = nullptr;
  CObjInstance* self = nullptr;
  CObjInstance* other = nullptr;
  int argc = -1;
  ScriptValue* args = nullptr;
};
CallRecord g_a, g_b;

void HandlerA(ScriptValue* result, CObjInstance* self, CObjInstance* other, int argc,
              ScriptValue* args) {
  g_a = {g_a.calls + 1, result, self, other, argc, args};
}
void HandlerB(ScriptValue* result, CObjInstance* self, CObjInstance* other, int argc,
              ScriptValue* args) {
  g_b = {g_b.calls + 1, result, self, other, argc, args};
}

// The handlers only pass values through, so opaque storage stands in for them.
ScriptValue* FakeValues(unsigned char* storage) { return reinterpret_cast<ScriptValue*>(storage); }
CObjInstance* FakeInstance(uintptr_t tag) { return reinterpret_cast<CObjInstance*>(tag); }

// Each test starts from an empty registry and leaves one behind.
class FunctionRegistryTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    g_a = g_b = {};
  }
};

TEST_F(FunctionRegistryTest, RegisteredBuiltinsAreFoundWithTheirArgumentCounts) {
  struct Case {
    const char* name;
    int argCount;
  };
  const Case cases[] = {{"fr_any", -1}, {"fr_two", 2}, {"fr_none", 0}, {"fr_sixteen", 16}};
  int base = FunctionRegistry_Count();
  for (const Case& c : cases) FunctionRegistry_Add(c.name, HandlerA, c.argCount);
  ASSERT_EQ(FunctionRegistry_Count(), base + 4);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(FunctionRegistry_Find(cases[i].name), base + i);
    EXPECT_EQ(FunctionRegistry_GetArgCount(base + i), cases[i].argCount);
    const FunctionEntry* e = FunctionRegistry_Get(base + i);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->name, cases[i].name);
    EXPECT_EQ(e->handler, &HandlerA);
    EXPECT_EQ(e->callCount, -1);
  }
}

TEST_F(FunctionRegistryTest, NamesMatchExactly) {
  int pos = FunctionRegistry_Count();
  FunctionRegistry_Add("fr_exact", HandlerA, 1);
  const char* misses[] = {"", "FR_EXACT", "fr_exac", "fr_exactly", "fr_exact "};
  for (const char* name : misses) EXPECT_EQ(FunctionRegistry_Find(name), -1) << name;
  EXPECT_EQ(FunctionRegistry_Find("fr_exact"), pos);
}

TEST_F(FunctionRegistryTest, OverlongNamesAreCutTo63Characters) {
  std::string longName = "fr_" + std::string(80, 'q');
  int pos = FunctionRegistry_Count();
  FunctionRegistry_Add(longName, HandlerA, 0);
  const FunctionEntry* e = FunctionRegistry_Get(pos);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(std::strlen(e->name), 63u);
  EXPECT_EQ(std::string(e->name), longName.substr(0, 63));
  EXPECT_EQ(e->argCount, 0);
  EXPECT_EQ(FunctionRegistry_Find(longName), -1);
}

TEST_F(FunctionRegistryTest, DuplicatesResolveToTheFirstAndReplaceTouchesOnlyIt) {
  int first = FunctionRegistry_Count();
  FunctionRegistry_Add("fr_twice", HandlerA, 1);
  FunctionRegistry_Add("fr_twice", HandlerA, 3);
  EXPECT_EQ(FunctionRegistry_Find("fr_twice"), first);

  FunctionRegistry_Replace("fr_twice", HandlerB);
  EXPECT_EQ(FunctionRegistry_Get(first)->handler, &HandlerB);
  EXPECT_EQ(FunctionRegistry_Get(first + 1)->handler, &HandlerA);
  EXPECT_EQ(FunctionRegistry_Get(first)->argCount, 1);

  int count = FunctionRegistry_Count();
  FunctionRegistry_Replace("fr_nobody", HandlerB);
  EXPECT_EQ(FunctionRegistry_Count(), count);
  EXPECT_EQ(FunctionRegistry_Get(first + 1)->handler, &HandlerA);
}

TEST_F(FunctionRegistryTest, CallRunsTheHandlerAtTheIndex) {
  int pos = FunctionRegistry_Count();
  FunctionRegistry_Add("fr_call_a", HandlerA, 2);
  FunctionRegistry_Add("fr_call_b", HandlerB, -1);
  alignas(16) unsigned char result[32] = {}, args[64] = {};
  ScriptValue* r = FakeValues(result);

  EXPECT_EQ(FunctionRegistry_Call(pos + 1, FakeInstance(0x100), FakeInstance(0x200), r, 2,
                                  FakeValues(args)),
            r);
  EXPECT_EQ(g_a.calls, 0);
  EXPECT_EQ(g_b.calls, 1);
  EXPECT_EQ(g_b.result, r);
  EXPECT_EQ(g_b.self, FakeInstance(0x100));
  EXPECT_EQ(g_b.other, FakeInstance(0x200));
  EXPECT_EQ(g_b.argc, 2);
  EXPECT_EQ(g_b.args, FakeValues(args));
  // Calls go through the index, not the count the entry declares.
  FunctionRegistry_Call(pos, nullptr, nullptr, r, 0, nullptr);
  EXPECT_EQ(g_a.calls, 1);
  EXPECT_EQ(g_a.argc, 0);
  EXPECT_EQ(FunctionRegistry_Get(pos)->callCount, -1);
}

TEST_F(FunctionRegistryTest, IndexesThatNameNoBuiltinRunNothing) {
  int pos = FunctionRegistry_Count();
  FunctionRegistry_Add("fr_no_handler", nullptr, 0);
  FunctionRegistry_Add("fr_handled", HandlerA, 0);
  int count = FunctionRegistry_Count();
  alignas(16) unsigned char result[32];
  std::memset(result, 0x5A, sizeof result);
  ScriptValue* r = FakeValues(result);
  for (int index : {-1, -3, INT32_MIN, count, 99999, 100000, 100001, 500000, pos}) {
    SCOPED_TRACE(index);
    EXPECT_EQ(FunctionRegistry_Call(index, nullptr, nullptr, r, 0, nullptr), r);
    if (index != pos) {
      EXPECT_EQ(FunctionRegistry_Get(index), nullptr);
    }
  }
  EXPECT_EQ(g_a.calls, 0);
  for (unsigned char byte : result) ASSERT_EQ(byte, 0x5A);
}

TEST_F(FunctionRegistryTest, ArgumentCountsOfTheIndexBands) {
  FunctionRegistry_Add("fr_band", HandlerA, 4);
  int count = FunctionRegistry_Count();
  const std::pair<int, int> cases[] = {
      {count - 1, 4}, {count, -100}, {-3, -100},   {-1, -100},     {INT32_MIN, -100},
      {100000, -1},   {100001, -1},  {499999, -1}, {500000, -100}, {INT32_MAX, -100},
  };
  for (auto [index, expected] : cases)
    EXPECT_EQ(FunctionRegistry_GetArgCount(index), expected) << index;
}

// Stand-ins for the script table (script 7 is "fr_abs", script 2 is
// "fr_shared") and the extension packages (function 3 is "fr_ext" taking 2
// arguments, function 4 is "fr_shared" taking any number).
int FakeScriptFind(std::string_view name) {
  return name == "fr_abs" ? 7 : name == "fr_shared" ? 2 : -1;
}
int FakeExtensionFind(std::string_view name) {
  return name == "fr_ext" ? 3 : name == "fr_shared" ? 4 : -1;
}
int FakeExtensionArgCount(int id) { return id == 3 ? 2 : id == 4 ? -1 : -100; }

TEST_F(FunctionRegistryTest, ScriptsThenExtensionsHideBuiltins) {
  int pos = FunctionRegistry_Count();
  FunctionRegistry_Add("fr_abs", HandlerA, 1);
  FunctionRegistry_Add("fr_ext", HandlerA, 1);
  EXPECT_EQ(FunctionRegistry_Find("fr_abs"), pos);

  FunctionRegistry_SetScriptLookup(FakeScriptFind);
  FunctionRegistry_SetExtensionLookups(FakeExtensionFind, FakeExtensionArgCount);
  EXPECT_EQ(FunctionRegistry_Find("fr_abs"), 100007);
  EXPECT_EQ(FunctionRegistry_Find("fr_ext"), 500003);
  EXPECT_EQ(FunctionRegistry_Find("fr_shared"), 100002);
  EXPECT_EQ(FunctionRegistry_Find(""), -1);
  EXPECT_EQ(FunctionRegistry_GetArgCount(500003), 2);
  EXPECT_EQ(FunctionRegistry_GetArgCount(500004), -1);
  EXPECT_EQ(FunctionRegistry_GetArgCount(500005), -100);
  EXPECT_EQ(FunctionRegistry_GetArgCount(100007), -1);
  // The built-ins stay reachable by index.
  EXPECT_EQ(FunctionRegistry_GetArgCount(pos), 1);
}

TEST_F(FunctionRegistryTest, LoadingScriptsKeepsTheExtensionLookups) {
  Script_DeleteAll();
  FunctionRegistry_SetExtensionLookups(FakeExtensionFind, FakeExtensionArgCount);
  Script_AddForTests(std::make_unique<CScript>("fr_loaded"));
  EXPECT_EQ(FunctionRegistry_Find("fr_loaded"), 100000) << "the script band is the table's";
  EXPECT_EQ(FunctionRegistry_Find("fr_ext"), 500003) << "the extension band survives the script load";
  EXPECT_EQ(FunctionRegistry_GetArgCount(500003), 2);
  Script_DeleteAll();
  EXPECT_EQ(FunctionRegistry_Find("fr_loaded"), -1);
  EXPECT_EQ(FunctionRegistry_Find("fr_ext"), 500003);
}

TEST_F(FunctionRegistryTest, GrowsBy500KeepingEveryEntry) {
  EXPECT_EQ(FunctionRegistry_Capacity(), 0);
  const int capacity = 500;
  for (int i = 0; i < capacity; ++i) {
    FunctionRegistry_Add("fr_grow_" + std::to_string(i), (i & 1) ? HandlerA : HandlerB, i % 17);
    ASSERT_EQ(FunctionRegistry_Capacity(), capacity);
  }

  std::vector<FunctionEntry> before(FunctionRegistry_Get(0), FunctionRegistry_Get(0) + capacity);
  FunctionRegistry_Add("fr_grow_last", HandlerB, 5);
  EXPECT_EQ(FunctionRegistry_Capacity(), 1000);
  for (int i = 0; i < capacity; ++i) {
    SCOPED_TRACE(i);
    const FunctionEntry* e = FunctionRegistry_Get(i);
    ASSERT_STREQ(e->name, before[i].name);
    ASSERT_EQ(e->handler, before[i].handler);
    ASSERT_EQ(e->argCount, before[i].argCount);
    ASSERT_EQ(e->callCount, before[i].callCount);
  }
  EXPECT_EQ(FunctionRegistry_Find("fr_grow_last"), capacity);
  EXPECT_EQ(FunctionRegistry_GetArgCount(capacity), 5);
  EXPECT_EQ(FunctionRegistry_Find("fr_grow_499"), 499);
}

TEST_F(FunctionRegistryTest, FreeEmptiesTheRegistryForANewStart) {
  FunctionRegistry_Add("fr_gone", HandlerA, 1);
  FunctionRegistry_Free();
  EXPECT_EQ(FunctionRegistry_Count(), 0);
  EXPECT_EQ(FunctionRegistry_Capacity(), 0);
  EXPECT_EQ(FunctionRegistry_Find("fr_gone"), -1);
  EXPECT_EQ(FunctionRegistry_Get(0), nullptr);
  FunctionRegistry_Add("fr_again", HandlerB, 2);
  EXPECT_EQ(FunctionRegistry_Find("fr_again"), 0);
  EXPECT_EQ(FunctionRegistry_Capacity(), 500);
}

}  // namespace
