#include "ds/priority.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ds/ds.h"
#include "script/memory_manager.h"
#include "unit/ds/ds_call.h"
#include "unit/world_reset.h"

namespace {

using dstest::Call;
using dstest::Value;

class DSPriority : public dstest::DSWorld {
 protected:
  void SetUp() override {
    DSWorld::SetUp();
    id_ = Call("ds_priority_create").Real();
  }
  void Add(const Value& value, const Value& priority) { Call("ds_priority_add", {id_, value, priority}); }
  CDS_Priority* Queue() const { return DS_GetAs<CDS_Priority>(eDS_Priority, int(id_)); }
  // The values in storage order, as text.
  std::vector<std::string> Order() const {
    std::vector<std::string> out;
    for (int i = 0; i < Queue()->Size(); ++i) {
      const ScriptValue* v = Queue()->ValueAt(i);
      out.push_back(v->IsString() ? v->Text() : std::to_string(int(v->real)));
    }
    return out;
  }
  double id_ = 0;
};

TEST_F(DSPriority, TiesKeepTheEarliestAndRemovalMovesTheLastEntryIn) {
  Add("a", 5);
  Add("b", 3);
  Add("c", 3);
  Add("d", 4);
  EXPECT_EQ(Call("ds_priority_find_min", {id_}).Text(), "b");
  EXPECT_EQ(Call("ds_priority_find_max", {id_}).Text(), "a");
  EXPECT_EQ(Call("ds_priority_delete_min", {id_}).Text(), "b");
  EXPECT_EQ(Order(), (std::vector<std::string>{"a", "d", "c"}));
  EXPECT_EQ(Call("ds_priority_find_min", {id_}).Text(), "c");
  EXPECT_EQ(Call("ds_priority_delete_max", {id_}).Text(), "a");
  EXPECT_EQ(Order(), (std::vector<std::string>{"c", "d"}));
  EXPECT_EQ(Call("ds_priority_delete_max", {id_}).Text(), "d");  // the last entry just goes
  EXPECT_EQ(Order(), (std::vector<std::string>{"c"}));
  EXPECT_EQ(Call("ds_priority_size", {id_}).Real(), 1);
}

TEST_F(DSPriority, PrioritiesCompareUnderThePrecisionAndRealsComeBeforeStrings) {
  Add("x", 1);
  Add("y", 1.000000001);
  EXPECT_EQ(Call("ds_priority_find_max", {id_}).Text(), "x");
  EXPECT_EQ(Call("ds_priority_find_min", {id_}).Text(), "x");
  Add("text", "10");
  Add("z", 1e9);
  EXPECT_EQ(Call("ds_priority_find_min", {id_}).Text(), "x");
  EXPECT_EQ(Call("ds_priority_find_max", {id_}).Text(), "text");
  Call("ds_set_precision", {0.5});
  Add("w", 0.6);
  EXPECT_EQ(Call("ds_priority_find_min", {id_}).Text(), "x");  // 0.6 ties with 1
}

TEST_F(DSPriority, EmptyQueuesGiveRealZeroWithoutAReport) {
  for (const char* name : {"ds_priority_delete_min", "ds_priority_delete_max", "ds_priority_find_min",
                           "ds_priority_find_max"}) {
    auto r = Call(name, {id_});
    EXPECT_EQ(r.Real(), 0) << name;
    EXPECT_FALSE(r.IsString()) << name;
    EXPECT_EQ(r.error, "") << name;
  }
  EXPECT_EQ(Call("ds_priority_empty", {id_}).Real(), 1);
  EXPECT_EQ(Call("ds_priority_find_priority", {id_, "a"}).Real(), 0);
}

TEST_F(DSPriority, ValueSearchFindsTheFirstEqualEntry) {
  Add("a", 1);
  Add("b", 2);
  Add("c", 3);
  Add(7, "seven");
  Add("b", 9);
  EXPECT_EQ(Call("ds_priority_find_priority", {id_, "b"}).Real(), 2);
  EXPECT_EQ(Call("ds_priority_find_priority", {id_, 7.0000000001}).Text(), "seven");
  EXPECT_EQ(Call("ds_priority_find_priority", {id_, "nothing"}).Real(), 0);
  Call("ds_priority_change_priority", {id_, "b", 0.0});
  EXPECT_EQ(Call("ds_priority_find_min", {id_}).Text(), "b");
  EXPECT_EQ(Queue()->PriorityAt(4)->real, 9);  // only the first "b" changed
  const std::string before = Call("ds_priority_write", {id_}).Text();
  Call("ds_priority_change_priority", {id_, "absent", 100});
  Call("ds_priority_delete_value", {id_, "absent"});
  EXPECT_EQ(Call("ds_priority_write", {id_}).Text(), before);

  Call("ds_priority_delete_value", {id_, "a"});
  EXPECT_EQ(Order(), (std::vector<std::string>{"b", "b", "c", "7"}));
}

TEST_F(DSPriority, DeletingTheFirstOfThreeLeavesCThenB) {
  Add("a", 1);
  Add("b", 2);
  Add("c", 3);
  Call("ds_priority_delete_value", {id_, "a"});
  EXPECT_EQ(Order(), (std::vector<std::string>{"c", "b"}));
}

TEST_F(DSPriority, BothArraysGrowBySixteenAndClearEmptiesThem) {
  for (int i = 0; i < 17; ++i) Add(i, -i);
  EXPECT_EQ(Queue()->ValueCapacity(), 32);
  EXPECT_EQ(Queue()->PriorityCapacity(), 32);
  EXPECT_EQ(Call("ds_priority_find_min", {id_}).Real(), 16);
  Call("ds_priority_clear", {id_});
  EXPECT_EQ(Queue()->ValueCapacity(), 0);
  EXPECT_EQ(Queue()->PriorityCapacity(), 0);
  EXPECT_EQ(Call("ds_priority_size", {id_}).Real(), 0);
  Add("again", 1);
  EXPECT_EQ(Call("ds_priority_find_max", {id_}).Text(), "again");
}

// A removed entry's value and priority are released at once, not left behind
// the count until the queue is cleared.
TEST_F(DSPriority, RemovedEntriesReleaseTheirValues) {
  const uint32_t before = MemoryManager::LiveBlocks();
  Add("one", "p1");
  Add("two", "p2");
  Add("three", "p3");
  Call("ds_priority_delete_min", {id_});
  Call("ds_priority_delete_max", {id_});
  Call("ds_priority_delete_value", {id_, "two"});
  EXPECT_EQ(MemoryManager::LiveBlocks(), before);
}

TEST_F(DSPriority, CopyIsIndependentAndOntoItselfChangesNothing) {
  Add("a", 2);
  Add("b", "high");
  double other = Call("ds_priority_create").Real();
  Call("ds_priority_add", {other, "old", 1});
  Call("ds_priority_copy", {other, id_});
  const std::string text = Call("ds_priority_write", {id_}).Text();
  EXPECT_EQ(Call("ds_priority_write", {other}).Text(), text);
  EXPECT_EQ(DS_GetAs<CDS_Priority>(eDS_Priority, int(other))->ValueCapacity(), 16);
  Call("ds_priority_delete_max", {other});
  EXPECT_EQ(Call("ds_priority_write", {id_}).Text(), text);
  Call("ds_priority_copy", {id_, id_});
  EXPECT_EQ(Call("ds_priority_write", {id_}).Text(), text);
}

}  // namespace
