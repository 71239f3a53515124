#include "script/variables.h"

#include <gtest/gtest.h>

#include <cstring>

#include "script/console.h"
#include "core/options.h"
#include "ds/buffer.h"
#include "unit/world_reset.h"

namespace {

ScriptValue Real(double r) { return ScriptValue::FromReal(r); }

ScriptValue Text(const char* t) {
  ScriptValue v;
  ScriptValue_SetText(&v, t);
  return v;
}

class VariableList : public WorldTest {};

TEST_F(VariableList, UnsetVariablesReadAsZeroOrAsAnError) {
  CVariableList list;
  ScriptValue out = Real(5);
  EXPECT_TRUE(list.Read(100003, -1, &out));
  EXPECT_EQ(out.Real(), 0.0);
  Variables_SetUnsetIsError(true);
  EXPECT_FALSE(list.Read(100003, -1, &out));
  EXPECT_DOUBLE_EQ(out.Real(), 12345678.9);
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(VariableList, IdsSharingABucketKeepTheirOwnValues) {
  CVariableList list;
  ScriptValue a = Real(1), b = Text("two");
  list.Write(100064, -1, &a);
  list.Write(100000, -1, &b);
  ScriptValue out;
  ASSERT_TRUE(list.Read(100064, -1, &out));
  EXPECT_EQ(out.Real(), 1.0);
  ASSERT_TRUE(list.Read(100000, -1, &out));
  EXPECT_STREQ(out.Text(), "two");
  EXPECT_EQ(list.Count(), 2);
  ScriptValue_Free(&out);
  ScriptValue_Free(&b);
}

TEST_F(VariableList, WritingAnElementOfAnUnsetVariableMakesAnArray) {
  CVariableList list;
  ScriptValue v = Real(7);
  list.Write(100001, 2, &v);
  ScriptValue out;
  ASSERT_TRUE(list.Read(100001, -1, &out));
  ASSERT_TRUE(out.IsArray());
  EXPECT_EQ(out.array->rowCount, 1);
  EXPECT_EQ(out.array->rows[0].length, 3);
  ASSERT_TRUE(list.Read(100001, 0, &out));
  EXPECT_EQ(out.Real(), 0.0);
  ASSERT_TRUE(list.Read(100001, 2, &out));
  EXPECT_EQ(out.Real(), 7.0);
}

TEST_F(VariableList, ClearRecyclesAndCopyFromClonesArrays) {
  CVariableList a;
  ScriptValue v = Real(3);
  a.Write(100002, 1, &v);
  CVariableList b;
  b.CopyFrom(a);
  ScriptValue nine = Real(9);
  a.Write(100002, 1, &nine);
  ScriptValue out;
  ASSERT_TRUE(b.Read(100002, 1, &out));
  EXPECT_EQ(out.Real(), 3.0);  // the copy has its own array
  a.Clear();
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Find(100002), nullptr);
}

TEST_F(VariableList, SaveAndLoadByName) {
  int x = VariableName_FindOrAdd("vt_x");
  int s = VariableName_FindOrAdd("vt_s");
  int arr = VariableName_FindOrAdd("vt_arr");
  CVariableList list;
  ScriptValue r = Real(2.5), t = Text("hello");
  list.Write(x, -1, &r);
  list.Write(s, -1, &t);
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col < 3; ++col) {
      ScriptValue e = Real(row * 10 + col);
      list.Write(arr, row * 32000 + col, &e);
    }
  IBuffer buf(64, eBuffer_Grow, 1);
  ASSERT_TRUE(list.Save(&buf));
  int size = buf.Position();
  buf.Seek(0, 0);
  CVariableList back;
  ASSERT_TRUE(back.Load(&buf));
  EXPECT_EQ(buf.Position(), size);
  ScriptValue out;
  ASSERT_TRUE(back.Read(x, -1, &out));
  EXPECT_EQ(out.Real(), 2.5);
  ASSERT_TRUE(back.Read(s, -1, &out));
  EXPECT_STREQ(out.Text(), "hello");
  ASSERT_TRUE(back.Read(arr, 32000 + 2, &out));
  EXPECT_EQ(out.Real(), 12.0);
  ScriptValue_Free(&out);
  ScriptValue_Free(&t);
}

TEST_F(VariableList, UnknownSavedNameIsWarnedAboutAndSkipped) {
  IBuffer buf(64, eBuffer_Grow, 1);
  ScriptValue two = Real(2);
  buf.Write(eBuffer_S32, &two);
  buf.WriteString("vt_never_declared_anywhere");
  ScriptValue v = Real(1);
  ScriptValue_Save(&v, &buf);
  buf.WriteString("vt_known");
  int known = VariableName_FindOrAdd("vt_known");
  ScriptValue w = Real(4);
  ScriptValue_Save(&w, &buf);
  buf.Seek(0, 0);
  CVariableList list;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(list.Load(&buf));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "WARNING: Load game failed to find variable \"vt_never_declared_anywhere\"\n");
  EXPECT_EQ(list.Count(), 1);
  ScriptValue out;
  ASSERT_TRUE(list.Read(known, -1, &out));
  EXPECT_EQ(out.Real(), 4.0);
}

TEST_F(VariableList, DamagedSavesLoadNothing) {
  int x = VariableName_FindOrAdd("vt_dmg");
  CVariableList list;
  ScriptValue t = Text("some text");
  list.Write(x, -1, &t);
  IBuffer buf(64, eBuffer_Grow, 1);
  ASSERT_TRUE(list.Save(&buf));
  int size = buf.Position();
  // Every cut of the record fails cleanly and leaves the list empty.
  for (int cut = 0; cut < size; ++cut) {
    IBuffer part(size, eBuffer_Fixed, 1);
    std::memcpy(part.Data(), buf.Data(), size_t(size));
    part.Resize(cut);
    CVariableList back;
    ScriptValue keep = Real(1);
    back.Write(x, -1, &keep);
    EXPECT_FALSE(back.Load(&part)) << cut;
    EXPECT_EQ(back.Count(), 0) << cut;
  }
  // A count far beyond the bytes.
  IBuffer big(8, eBuffer_Grow, 1);
  ScriptValue huge = Real(2147483647.0);
  big.Write(eBuffer_S32, &huge);
  big.Seek(0, 0);
  CVariableList back;
  EXPECT_FALSE(back.Load(&big));
  ScriptValue_Free(&t);
}

TEST_F(VariableList, DumpShowsNamesIdsAndDebugText) {
  int id = VariableName_FindOrAdd("vt_dump");
  CVariableList list;
  ScriptValue a = Real(1.5);
  list.Write(id, 32000, &a);  // [1,0]
  ScriptValue b = Text("q");
  list.Write(id, 1, &b);
  TErrStreamConsole c;
  list.Dump(&c);
  EXPECT_EQ(std::string(c.Text()),
            "vt_dump(" + std::to_string(id) + ") = { { 0 ,\"q\"},  { 1.500000},   }\n");
  ScriptValue_Free(&b);
}

TEST(GlobalScope, DeclareGrowsTheTableInSteps) {
  GlobalVar_Init();
  EXPECT_EQ(GlobalVar_TableSize(), 10000);
  EXPECT_EQ(GlobalVar_Declare(99999), nullptr);
  EXPECT_FALSE(GlobalVar_IsDeclared(100000 + 12500));
  ASSERT_NE(GlobalVar_Declare(100000 + 12500), nullptr);
  EXPECT_EQ(GlobalVar_TableSize(), 13000);
  EXPECT_TRUE(GlobalVar_IsDeclared(100000 + 12500));
  EXPECT_FALSE(GlobalVar_IsDeclared(100000 + 12499));
  EXPECT_FALSE(GlobalVar_IsDeclared(100000 + 50000));
  EXPECT_NE(GlobalVar_List()->Find(100000 + 12500), nullptr);
}

TEST(GlobalScope, SaveAndLoadKeepTheGlobalvarTable) {
  GlobalVar_Init();
  int id = VariableName_FindOrAdd("vt_global");
  GlobalVar_Declare(id);
  ScriptValue v = Real(8);
  GlobalVar_List()->Write(id, -1, &v);
  IBuffer buf(64, eBuffer_Grow, 1);
  ASSERT_TRUE(GlobalVar_Save(&buf));
  GlobalVar_Init();
  buf.Seek(0, 0);
  ASSERT_TRUE(GlobalVar_Load(&buf));
  EXPECT_TRUE(GlobalVar_IsDeclared(id));
  ScriptValue out;
  ASSERT_TRUE(GlobalVar_List()->Read(id, -1, &out));
  EXPECT_EQ(out.Real(), 8.0);
  Variable_FreeAll();
}

}  // namespace
