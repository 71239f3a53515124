#include "core/instance_vars.h"

#include <gtest/gtest.h>

#include "object_fixtures.h"

namespace {

using fixture::AddObject;

constexpr int32_t kVar = 100003;
// Built-in variable 5 reads the instance's x and writes its y; 6 is read-only;
// 8 refuses negative values and keeps the rest in y.
BuiltinVarAccess TestBuiltins(int32_t id) {
  BuiltinVarAccess a;
  if (id == 8) {
    a.set = [](CObjInstance* i, int32_t, ScriptValue* v) {
      if (v->Real() < 0) return false;
      i->y = float(v->Real());
      return true;
    };
  }
  if (id == 5 || id == 6) {
    a.get = [](CObjInstance* i, int32_t, ScriptValue* out) {
      *out = ScriptValue::FromReal(i->x);
      return true;
    };
  }
  if (id == 5) {
    a.set = [](CObjInstance* i, int32_t, ScriptValue* v) {
      i->y = float(v->Real());
      return true;
    };
  }
  return a;
}

InstanceList* g_current = nullptr;

// The tests install a small built-in table of their own.
class InstanceVars : public fixture::Loaded {
 protected:
  InstanceVars() : Loaded({.builtinVariables = false}) {}
  void TearDown() override {
    g_current = nullptr;
    fixture::Loaded::TearDown();
  }

  CObjInstance* Make(int32_t object, float x = 0) {
    auto* i = new CObjInstance(x, 0, nextId_++, object, true);
    active_.Insert(i);
    g_InstanceIdMap.Add(i);
    return i;
  }

  static double Read(CObjInstance* i) {
    ScriptValue out;
    EXPECT_TRUE(i->variables->Read(kVar, -1, &out));
    return out.Real();
  }

  InstanceList active_;
  int32_t nextId_ = 100001;
};

TEST_F(InstanceVars, UserVariablesAndBuiltins) {
  CObjInstance* i = Make(-1, 4);
  ScriptValue v = ScriptValue::FromReal(8);
  ScriptValue out;
  EXPECT_TRUE(Instance_SetVar(i, kVar, -1, &v));
  EXPECT_TRUE(Instance_GetVar(i, kVar, -1, &out));
  EXPECT_EQ(out.Real(), 8);
  // No built-in variable table yet: those ids name nothing.
  EXPECT_FALSE(Instance_GetVar(i, 5, -1, &out));
  EXPECT_FALSE(Instance_SetVar(i, 5, -1, &v));
  InstanceVar_SetBuiltinLookup(TestBuiltins);
  EXPECT_TRUE(Instance_GetVar(i, 5, -1, &out));
  EXPECT_EQ(out.Real(), 4);
  EXPECT_TRUE(Instance_SetVar(i, 5, -1, &v));
  EXPECT_FLOAT_EQ(i->y, 8);
  EXPECT_FALSE(Instance_SetVar(i, 6, -1, &v));  // read-only
  // A refused value is the setter's to report: the write itself went
  // through, so the code that made it goes on.
  ScriptValue negative = ScriptValue::FromReal(-1);
  EXPECT_TRUE(Instance_SetVar(i, 8, -1, &negative));
  EXPECT_FLOAT_EQ(i->y, 8);
  EXPECT_FALSE(Instance_SetVar(nullptr, 5, -1, &v));
  EXPECT_FALSE(Instance_GetVar(i, 7, -1, &out));
  EXPECT_FALSE(Instance_GetVar(nullptr, kVar, -1, &out));
}

TEST_F(InstanceVars, ByIdSkipsTheDeadButReadsTheDeactivated) {
  CObjInstance* i = Make(-1);
  ScriptValue v = ScriptValue::FromReal(3);
  i->variables->Write(kVar, -1, &v);
  ScriptValue out;
  EXPECT_FALSE(Instance_GetVarByID(100999, kVar, -1, &out));
  i->deactivated = true;
  EXPECT_TRUE(Instance_GetVarByID(i->id, kVar, -1, &out));
  EXPECT_EQ(out.Real(), 3);
  i->SetMarkedDead(true);
  EXPECT_FALSE(Instance_GetVarByID(i->id, kVar, -1, &out));
  EXPECT_FALSE(Target_SetVar(-4, kVar, -1, &v));
  EXPECT_FALSE(Target_GetVar(-1, kVar, -1, &out));
}

TEST_F(InstanceVars, FirstInstanceOfAnObjectThenThePendingOnes) {
  const int32_t parent = AddObject();
  const int32_t child = AddObject(parent);
  const int32_t other = AddObject();
  CObjInstance* dead = Make(child, 1);
  dead->SetMarkedDead(true);
  CObjInstance* childInstance = Make(child, 2);
  ScriptValue out;
  InstanceVar_SetBuiltinLookup(TestBuiltins);
  EXPECT_TRUE(Object_GetVarOfFirstInstance(parent, 5, -1, &out));
  EXPECT_EQ(out.Real(), 2);  // a descendant's instance; the dead one is skipped
  EXPECT_TRUE(Target_GetVar(parent, 5, -1, &out));

  // An instance changing into `other` this step is found through the
  // pending object changes, one waiting for activation after those.
  EXPECT_FALSE(Object_GetVarOfFirstInstance(other, 5, -1, &out));
  CObjInstance* waking = Make(-1, 7);
  waking->object_index = other;
  PendingActivationChanges.AddUnique(waking);
  EXPECT_TRUE(Object_GetVarOfFirstInstance(other, 5, -1, &out));
  EXPECT_EQ(out.Real(), 7);
  childInstance->ChangeObject(other);
  EXPECT_TRUE(Object_GetVarOfFirstInstance(other, 5, -1, &out));
  EXPECT_EQ(out.Real(), 2);
}

TEST_F(InstanceVars, WritesReachEveryLiveInstanceATargetNames) {
  const int32_t o = AddObject();
  const int32_t other = AddObject();
  CObjInstance* a = Make(o);
  CObjInstance* b = Make(o);
  CObjInstance* asleep = Make(o);
  asleep->deactivated = true;
  CObjInstance* changing = Make(other);
  changing->ChangeObject(o);
  ScriptValue v = ScriptValue::FromReal(9);
  EXPECT_TRUE(Target_SetVar(o, kVar, -1, &v));
  EXPECT_EQ(Read(a), 9);
  EXPECT_EQ(Read(b), 9);
  EXPECT_EQ(Read(changing), 9);
  EXPECT_EQ(Read(asleep), 0);

  // -3 is the current room's live instances, in list order.
  v = ScriptValue::FromReal(4);
  EXPECT_TRUE(Target_SetVar(kInstanceAll, kVar, -1, &v));  // no room yet: nothing written
  EXPECT_EQ(Read(a), 9);
  ScriptValue out;
  EXPECT_FALSE(Target_GetVar(kInstanceAll, kVar, -1, &out));
  g_current = &active_;
  InstanceVar_SetCurrentInstancesLookup([] { return g_current; });
  EXPECT_TRUE(Target_SetVar(kInstanceAll, kVar, -1, &v));
  EXPECT_EQ(Read(b), 4);
  EXPECT_EQ(Read(changing), 4);
  EXPECT_EQ(Read(asleep), 0);
  a->variables->Write(kVar, -1, &(v = ScriptValue::FromReal(1)));
  EXPECT_TRUE(Target_GetVar(kInstanceAll, kVar, -1, &out));
  EXPECT_EQ(out.Real(), 1);
  // The result is that of the last write.
  InstanceVar_SetBuiltinLookup(TestBuiltins);
  EXPECT_FALSE(Target_SetVar(kInstanceAll, 6, -1, &v));
}

TEST_F(InstanceVars, AnObjectWhoseOnlyInstanceIsDeactivated) {
  const int32_t o = AddObject();
  CObjInstance* i = Make(o);
  i->deactivated = true;
  ScriptValue v = ScriptValue::FromReal(5);
  EXPECT_TRUE(Target_SetVar(o, kVar, -1, &v));
  EXPECT_EQ(Read(i), 0);
  EXPECT_TRUE(Target_SetVar(i->id, kVar, -1, &v));
  EXPECT_EQ(Read(i), 5);
}

TEST_F(InstanceVars, SlotWritesSkipInstancesWithoutTheSlot) {
  const int32_t o = AddObject();
  Instance_OverrideSlotCount(2);
  CObjInstance* i = Make(o);
  Instance_OverrideSlotCount(-1);
  CObjInstance* listOnly = Make(o);
  ScriptValue v = ScriptValue::FromReal(6);
  EXPECT_TRUE(Target_SetSlotElement(o, 1, 3, &v));
  ASSERT_TRUE(i->slots[1].IsArray());
  ScriptValue element;
  EXPECT_TRUE(ScriptValue_GetElement(&element, &i->slots[1], 3));
  EXPECT_EQ(element.Real(), 6);
  EXPECT_TRUE(Target_SetSlotElement(o, 2, -1, &v));
  EXPECT_TRUE(Target_SetSlotElement(o, -1, -1, &v));
  EXPECT_FALSE(Target_SetSlotElement(-5, 0, -1, &v));
  EXPECT_FALSE(listOnly->slots);
}

}  // namespace
