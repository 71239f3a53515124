#include "ds/stack_queue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ds/ds.h"
#include "ds/ds_builtins.h"
#include "ds/queue.h"
#include "script/memory_manager.h"
#include "unit/ds/ds_call.h"
#include "unit/world_reset.h"

namespace {

using dstest::Call;
using ::testing::HasSubstr;

using dstest::kMissing;

class DSStacks : public dstest::DSWorld {
 protected:
  static double Create(const char* name) { return Call(name).Real(); }
  static CDS_Queue* Queue(double id) { return DS_GetAs<CDS_Queue>(eDS_Queue, int(id)); }
  static CDS_Stack* Stack(double id) { return DS_GetAs<CDS_Stack>(eDS_Stack, int(id)); }
};

TEST_F(DSStacks, StackPopsLastInFirstOut) {
  double s = Create("ds_stack_create");
  EXPECT_EQ(Call("ds_stack_empty", {s}).Real(), 1);
  EXPECT_EQ(Call("ds_stack_top", {s}).Real(), 0);
  Call("ds_stack_push", {s, 1.0});
  Call("ds_stack_push", {s, "two"});
  Call("ds_stack_push", {s, 3.0});
  EXPECT_EQ(Call("ds_stack_size", {s}).Real(), 3);
  EXPECT_EQ(Call("ds_stack_empty", {s}).Real(), 0);
  EXPECT_EQ(Call("ds_stack_top", {s}).Real(), 3);
  EXPECT_EQ(Call("ds_stack_pop", {s}).Real(), 3);
  auto two = Call("ds_stack_pop", {s});
  EXPECT_TRUE(two.IsString());
  EXPECT_EQ(two.Text(), "two");
  EXPECT_EQ(Call("ds_stack_pop", {s}).Real(), 1);
  auto fourth = Call("ds_stack_pop", {s});
  EXPECT_FALSE(fourth.IsString());
  EXPECT_EQ(fourth.Real(), 0);
  EXPECT_EQ(fourth.error, "");
  EXPECT_EQ(Call("ds_stack_size", {s}).Real(), 0);
}

TEST_F(DSStacks, StorageGrowsBySixteenAndClearEmptiesIt) {
  double s = Create("ds_stack_create");
  double q = Create("ds_queue_create");
  for (int i = 0; i < 17; ++i) {
    Call("ds_stack_push", {s, double(i)});
    Call("ds_queue_enqueue", {q, double(i)});
  }
  EXPECT_EQ(Stack(s)->Capacity(), 32);
  EXPECT_EQ(Queue(q)->Capacity(), 32);
  Call("ds_stack_clear", {s});
  Call("ds_queue_clear", {q});
  EXPECT_EQ(Stack(s)->Capacity(), 0);
  EXPECT_EQ(Call("ds_stack_size", {s}).Real(), 0);
  EXPECT_EQ(Queue(q)->Capacity(), 0);
  EXPECT_EQ(Queue(q)->HeadIndex(), 0);
  EXPECT_EQ(Queue(q)->TailIndex(), 0);
  // Cleared containers work as new ones.
  Call("ds_stack_push", {s, 5.0});
  Call("ds_queue_enqueue", {q, 6.0});
  EXPECT_EQ(Call("ds_stack_pop", {s}).Real(), 5);
  EXPECT_EQ(Call("ds_queue_dequeue", {q}).Real(), 6);
}

TEST_F(DSStacks, QueueDequeuesFirstInFirstOut) {
  double q = Create("ds_queue_create");
  EXPECT_EQ(Call("ds_queue_head", {q}).Real(), 0);
  EXPECT_EQ(Call("ds_queue_tail", {q}).Real(), 0);
  Call("ds_queue_enqueue", {q, 1.0});
  Call("ds_queue_enqueue", {q, "two"});
  Call("ds_queue_enqueue", {q, 3.0});
  EXPECT_EQ(Call("ds_queue_head", {q}).Real(), 1);
  EXPECT_EQ(Call("ds_queue_tail", {q}).Real(), 3);
  EXPECT_EQ(Call("ds_queue_size", {q}).Real(), 3);
  EXPECT_EQ(Call("ds_queue_dequeue", {q}).Real(), 1);
  EXPECT_EQ(Call("ds_queue_size", {q}).Real(), 2);
  EXPECT_EQ(Call("ds_queue_head", {q}).Text(), "two");
  EXPECT_EQ(Call("ds_queue_dequeue", {q}).Text(), "two");
  EXPECT_EQ(Call("ds_queue_dequeue", {q}).Real(), 3);
  EXPECT_EQ(Call("ds_queue_empty", {q}).Real(), 1);
  auto none = Call("ds_queue_dequeue", {q});
  EXPECT_EQ(none.Real(), 0);
  EXPECT_EQ(none.error, "");
}

TEST_F(DSStacks, DequeueMovesTheLiveValuesDownOnceTheDeadOutnumberThem) {
  double q = Create("ds_queue_create");
  const uint32_t blocks = MemoryManager::LiveBlocks();
  auto text = [](int i) { return "v" + std::to_string(i); };
  for (int i = 0; i < 40; ++i) Call("ds_queue_enqueue", {q, text(i).c_str()});
  std::vector<std::string> out;
  for (int i = 0; i < 20; ++i) out.push_back(Call("ds_queue_dequeue", {q}).Text());
  EXPECT_EQ(Queue(q)->HeadIndex(), 20);  // 20 is not more than 40 / 2
  EXPECT_EQ(Queue(q)->TailIndex(), 40);
  out.push_back(Call("ds_queue_dequeue", {q}).Text());
  EXPECT_EQ(Queue(q)->HeadIndex(), 0);
  EXPECT_EQ(Queue(q)->TailIndex(), 19);
  EXPECT_EQ(Queue(q)->Capacity(), 48);
  // The slots the values left hold nothing: enqueuing over them frees nothing twice.
  for (int i = 40; i < 70; ++i) Call("ds_queue_enqueue", {q, text(i).c_str()});
  while (Call("ds_queue_size", {q}).Real() > 0) out.push_back(Call("ds_queue_dequeue", {q}).Text());
  ASSERT_EQ(out.size(), 70u);
  for (int i = 0; i < 70; ++i) EXPECT_EQ(out[size_t(i)], text(i));
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

TEST_F(DSStacks, ShortQueuesNeverCompact) {
  // Sixteen dead slots at the front are not enough, however few stay live.
  double q = Create("ds_queue_create");
  for (int i = 0; i < 17; ++i) Call("ds_queue_enqueue", {q, double(i)});
  for (int i = 0; i < 16; ++i) Call("ds_queue_dequeue", {q});
  EXPECT_EQ(Queue(q)->HeadIndex(), 16);
  EXPECT_EQ(Call("ds_queue_dequeue", {q}).Real(), 16);
  EXPECT_EQ(Queue(q)->HeadIndex(), 0);  // 17 > 16 and 17 > 17 / 2
  EXPECT_EQ(Queue(q)->TailIndex(), 0);
}

TEST_F(DSStacks, FillingAndDrainingKeepsTheQueueBounded) {
  double q = Create("ds_queue_create");
  for (int i = 0; i < 10000; ++i) {
    Call("ds_queue_enqueue", {q, double(i)});
    Call("ds_queue_enqueue", {q, "x"});
    EXPECT_EQ(Call("ds_queue_dequeue", {q}).Real(), i);
    Call("ds_queue_dequeue", {q});
  }
  EXPECT_LE(Queue(q)->Capacity(), 48);
}

// A popped or dequeued string must not stay allocated in its dead slot until
// the container is cleared.
TEST_F(DSStacks, TakingAValueReleasesItsSlot) {
  double s = Create("ds_stack_create");
  double q = Create("ds_queue_create");
  const uint32_t before = MemoryManager::LiveBlocks();
  for (int i = 0; i < 3; ++i) {
    Call("ds_stack_push", {s, "a string held for a while"});
    Call("ds_queue_enqueue", {q, "a string held for a while"});
  }
  for (int i = 0; i < 3; ++i) {
    Call("ds_stack_pop", {s});
    Call("ds_queue_dequeue", {q});
  }
  EXPECT_EQ(MemoryManager::LiveBlocks(), before);
  // The dead slots write as real 0.
  EXPECT_EQ(Call("ds_queue_write", {q}).Text(),
            "C9000000030000000300000010000000" + std::string(16 * 24, '0'));
}

TEST_F(DSStacks, CopyTakesEverySlotAndOntoItselfChangesNothing) {
  double s = Create("ds_stack_create");
  double q = Create("ds_queue_create");
  for (int i = 1; i <= 16; ++i) {
    Call("ds_stack_push", {s, i == 16 ? dstest::Value("sixteen") : dstest::Value(double(i))});
    Call("ds_queue_enqueue", {q, i == 16 ? dstest::Value("sixteen") : dstest::Value(double(i))});
  }
  Call("ds_queue_dequeue", {q});
  const std::string stackText = Call("ds_stack_write", {s}).Text();
  const std::string queueText = Call("ds_queue_write", {q}).Text();

  double s2 = Create("ds_stack_create");
  double q2 = Create("ds_queue_create");
  for (int i = 0; i < 40; ++i) Call("ds_queue_enqueue", {q2, "old"});  // larger storage than the source
  Call("ds_stack_copy", {s2, s});
  Call("ds_queue_copy", {q2, q});
  EXPECT_EQ(Call("ds_stack_write", {s2}).Text(), stackText);
  EXPECT_EQ(Call("ds_queue_write", {q2}).Text(), queueText);
  EXPECT_EQ(Call("ds_stack_top", {s2}).Text(), "sixteen");
  EXPECT_EQ(Call("ds_queue_tail", {q2}).Text(), "sixteen");
  EXPECT_EQ(Queue(q2)->Capacity(), 16);
  EXPECT_EQ(Queue(q2)->HeadIndex(), 1);

  // The copy is its own: taking from it leaves the source whole.
  Call("ds_stack_pop", {s2});
  Call("ds_queue_dequeue", {q2});
  EXPECT_EQ(Call("ds_stack_write", {s}).Text(), stackText);
  EXPECT_EQ(Call("ds_queue_write", {q}).Text(), queueText);

  Call("ds_stack_copy", {s, s});
  Call("ds_queue_copy", {q, q});
  EXPECT_EQ(Call("ds_stack_write", {s}).Text(), stackText);
  EXPECT_EQ(Call("ds_queue_write", {q}).Text(), queueText);
}

TEST_F(DSStacks, IdsRoundHalvesToEven) {
  for (int i = 0; i < 5; ++i) Create("ds_stack_create");
  Call("ds_stack_push", {2, 1.0});
  EXPECT_EQ(Call("ds_stack_size", {2.5}).Real(), 1);
  EXPECT_EQ(Call("ds_stack_size", {3.5}).Real(), 0);
  EXPECT_EQ(Call("ds_stack_size", {1.6}).Real(), 1);
}

TEST_F(DSStacks, DestroyFreesTheSlotForTheNextCreate) {
  double a = Create("ds_queue_create");
  double b = Create("ds_queue_create");
  Call("ds_queue_enqueue", {a, "left behind"});
  Call("ds_queue_destroy", {a});
  EXPECT_EQ(Call("ds_exists", {a, 4.0}).Real(), 0);
  EXPECT_THAT(Call("ds_queue_destroy", {a}).error, HasSubstr(kMissing));  // a free slot reports
  EXPECT_EQ(Create("ds_queue_create"), a);
  EXPECT_EQ(Call("ds_queue_size", {a}).Real(), 0);
  EXPECT_EQ(Call("ds_exists", {b, 4.0}).Real(), 1);
}

// Every built-in of the three families but create, on ids that name nothing
// of its kind: each reports and leaves the result as it found it.
TEST_F(DSStacks, BadIdsReportAndLeaveTheResult) {
  struct Family {
    std::span<const NamedBuiltin> builtins;
    const char* create;
    const char* destroy;
    const char* copy;
    std::vector<const char*> others;  // the other kinds' creators
  } families[] = {
      {DS_StackBuiltins(), "ds_stack_create", "ds_stack_destroy", "ds_stack_copy", {"ds_queue_create", "ds_priority_create"}},
      {DS_QueueBuiltins(), "ds_queue_create", "ds_queue_destroy", "ds_queue_copy", {"ds_stack_create", "ds_priority_create"}},
      {DS_PriorityBuiltins(), "ds_priority_create", "ds_priority_destroy", "ds_priority_copy", {"ds_stack_create", "ds_queue_create"}},
  };
  for (const Family& f : families) {
    World_Reset({});
    InitDSFunctions();
    // Ids 0 to 5 exist in the other kinds; of this kind 0 lives and 1 is destroyed.
    for (const char* other : f.others)
      for (int i = 0; i < 6; ++i) Create(other);
    Create(f.create);
    Call(f.destroy, {Create(f.create)});
    for (const NamedBuiltin& b : f.builtins) {
      if (std::string(b.name) == f.create) continue;
      for (double id : {1.0, 1.4, 2.0, 5.0, -1.0, 1e12}) {
        auto r = Call(b.name, {id, 0.0, 0.0});
        EXPECT_THAT(r.error, HasSubstr(kMissing)) << b.name << " " << id;
        EXPECT_EQ(r.Real(), -12345) << b.name << " " << id;
      }
    }
    // A copy with one good id reports once, either way round.
    for (auto ids : {std::pair{0.0, 1.0}, std::pair{1.0, 0.0}})
      EXPECT_THAT(Call(f.copy, {ids.first, ids.second}).error, HasSubstr(kMissing));
  }
}

TEST_F(DSStacks, EngineWrappersRunTheQueueBuiltins) {
  double q = Create("ds_queue_create");
  Call("ds_queue_enqueue", {q, "first"});
  Call("ds_queue_enqueue", {q, 2.0});
  EXPECT_EQ(DS_QueueSize(int(q)), 2);
  ScriptValue out;
  DS_QueueDequeue(int(q), &out);
  EXPECT_STREQ(out.Text(), "first");
  DS_QueueDequeue(int(q), &out);  // a string result is replaced, not leaked
  EXPECT_EQ(out.Real(), 2);
  DS_QueueDequeue(int(q), &out);
  EXPECT_EQ(out.Real(), 0);
  Call("ds_queue_enqueue", {q, 3.0});
  DS_QueueClear(int(q));
  EXPECT_EQ(DS_QueueSize(int(q)), 0);
  ScriptValue_Free(&out);

  Error_ResetForTests();
  EXPECT_EQ(DS_QueueSize(-1), 0);
  DS_QueueClear(-1);
  out = ScriptValue::FromReal(7);
  DS_QueueDequeue(-1, &out);
  EXPECT_EQ(out.Real(), 7);
  EXPECT_FALSE(Error_Occurred());  // below 0 nothing runs
  EXPECT_EQ(DS_QueueSize(int(q) + 1), 0);
  EXPECT_THAT(Error_LastText(), HasSubstr(kMissing));  // a bad id is reported by the built-in
}

}  // namespace
