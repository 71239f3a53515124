// The text forms of stacks (101), queues (201) and priority queues (501).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ds/ds.h"
#include "ds/priority.h"
#include "ds/stack_queue.h"
#include "script/memory_manager.h"
#include "unit/ds/ds_call.h"
#include "unit/ds/text_builder.h"
#include "unit/world_reset.h"

namespace {

using dstest::Call;
using dstest::HexText;

struct Kind {
  const char* prefix;  // "ds_stack" ...
  int32_t header;
  std::string Name(const char* op) const { return std::string(prefix) + "_" + op; }
  double Create() const { return Call(Name("create").c_str()).Real(); }
  std::string Write(double id) const { return Call(Name("write").c_str(), {id}).Text(); }
  void Read(double id, const std::string& text) const { Call(Name("read").c_str(), {id, text.c_str()}); }
};
const Kind kStack{"ds_stack", 101}, kQueue{"ds_queue", 201}, kPriority{"ds_priority", 501};

class DSStackText : public dstest::DSWorld {
 protected:
  // One of each kind holding reals, strings (an empty one among them) and,
  // for the queue, dead slots at the front.
  void Fill(double stack, double queue, double priority) {
    const dstest::Value values[] = {1.0, "ab", "", -0.0, 1e300, "\xc3\xa9t\xc3\xa9", NAN, 42.0};
    for (const dstest::Value& v : values) {
      Call("ds_stack_push", {stack, v});
      Call("ds_queue_enqueue", {queue, v});
      Call("ds_priority_add", {priority, v, v});
    }
    for (int i = 0; i < 3; ++i) Call("ds_queue_dequeue", {queue});
  }
};

TEST_F(DSStackText, TheWrittenTextsMatchTheFormat) {
  double s = kStack.Create();
  Call("ds_stack_push", {s, 1.0});
  EXPECT_EQ(kStack.Write(s), "650000000100000000000000000000000000F03F");
  EXPECT_EQ(kStack.Write(s), HexText().Int(101).Int(1).Real(1).str());

  double q = kQueue.Create();
  Call("ds_queue_enqueue", {q, "ab"});
  Call("ds_queue_enqueue", {q, 2.0});
  Call("ds_queue_dequeue", {q});
  HexText queue;
  queue.Int(201).Int(2).Int(1).Int(16).Real(0).Real(2);
  for (int i = 2; i < 16; ++i) queue.Real(0);
  EXPECT_EQ(kQueue.Write(q), queue.str());

  double p = kPriority.Create();
  Call("ds_priority_add", {p, "v", 3.0});
  Call("ds_priority_add", {p, 4.0, "pri"});
  EXPECT_EQ(kPriority.Write(p), HexText().Int(501).Int(2).Real(3).String("pri").String("v").Real(4).str());

  EXPECT_EQ(kStack.Write(kStack.Create()), "6500000000000000");
}

TEST_F(DSStackText, WhatIsWrittenReadsBackEqual) {
  double s = kStack.Create(), q = kQueue.Create(), p = kPriority.Create();
  Fill(s, q, p);
  for (const Kind* k : {&kStack, &kQueue, &kPriority}) {
    const double from = k == &kStack ? s : k == &kQueue ? q : p;
    const std::string text = k->Write(from);
    double to = k->Create();
    k->Read(to, text);
    EXPECT_EQ(k->Write(to), text) << k->prefix;
  }
  double q2 = kQueue.Create();
  kQueue.Read(q2, kQueue.Write(q));
  const CDS_Queue* a = DS_GetAs<CDS_Queue>(eDS_Queue, int(q));
  const CDS_Queue* b = DS_GetAs<CDS_Queue>(eDS_Queue, int(q2));
  EXPECT_EQ(b->HeadIndex(), a->HeadIndex());
  EXPECT_EQ(b->TailIndex(), a->TailIndex());
  EXPECT_EQ(b->Capacity(), a->Capacity());
  EXPECT_EQ(Call("ds_queue_head", {q2}).Real(), -0.0);
  EXPECT_TRUE(std::signbit(Call("ds_queue_head", {q2}).Real()));
  EXPECT_EQ(Call("ds_queue_tail", {q2}).Real(), 42);

  // Read sizes the storage to the text: capacity becomes the count.
  double s2 = kStack.Create();
  kStack.Read(s2, kStack.Write(s));
  EXPECT_EQ(DS_GetAs<CDS_Stack>(eDS_Stack, int(s2))->Capacity(), 8);
  EXPECT_EQ(Call("ds_stack_pop", {s2}).Real(), 42);
  EXPECT_TRUE(std::isnan(Call("ds_stack_pop", {s2}).Real()));
  double p2 = kPriority.Create();
  kPriority.Read(p2, kPriority.Write(p));
  EXPECT_EQ(DS_GetAs<CDS_Priority>(eDS_Priority, int(p2))->ValueCapacity(), 8);
  EXPECT_EQ(DS_GetAs<CDS_Priority>(eDS_Priority, int(p2))->PriorityCapacity(), 8);
  EXPECT_EQ(Call("ds_priority_find_max", {p2}).Text(), "\xc3\xa9t\xc3\xa9");
}

// Texts put together from the format alone, with what our writer never
// produces: live values in dead queue slots, a marked kind word, an unknown
// kind word, arrays and lower-case digits.
TEST_F(DSStackText, IndependentlyBuiltTextsReadIn) {
  HexText stack;
  stack.Int(101).Int(5).Real(2.5).String("hi").Kind(0x40000000).Kind(7);
  stack.Kind(2).Int(1).Int(2).Real(10).String("cell");  // an array: one row of two values
  double s = kStack.Create();
  Call("ds_stack_push", {s, "replaced"});
  std::string lower = stack.str();
  for (char& c : lower) c = char(std::tolower(c));
  kStack.Read(s, lower);
  EXPECT_EQ(Call("ds_stack_size", {s}).Real(), 5);
  auto array = Call("ds_stack_pop", {s});
  ASSERT_TRUE(array.result.IsArray());
  ScriptValue cell;
  ASSERT_TRUE(ScriptValue_GetElement(&cell, &array.result, 1));
  EXPECT_STREQ(cell.Text(), "cell");
  ScriptValue_Free(&cell);
  for (int i = 0; i < 2; ++i) {  // the marked and the unknown kind word: real 0, no mark
    auto r = Call("ds_stack_pop", {s});
    EXPECT_EQ(r.result.kind, kKindReal);
    EXPECT_EQ(r.Real(), 0);
  }
  EXPECT_EQ(Call("ds_stack_pop", {s}).Text(), "hi");
  EXPECT_EQ(Call("ds_stack_pop", {s}).Real(), 2.5);

  HexText queue;
  queue.Int(201).Int(3).Int(1).Int(4).String("dead").String("front").Real(-7).String("dead too");
  double q = kQueue.Create();
  kQueue.Read(q, queue.str());
  EXPECT_EQ(Call("ds_queue_size", {q}).Real(), 2);
  EXPECT_EQ(Call("ds_queue_head", {q}).Text(), "front");
  EXPECT_EQ(Call("ds_queue_tail", {q}).Real(), -7);
  // Dead slots hold nothing once read, as after a dequeue.
  EXPECT_EQ(kQueue.Write(q), HexText().Int(201).Int(3).Int(1).Int(4).Real(0).String("front").Real(-7).Real(0).str());

  HexText priority;
  priority.Int(501).Int(3).Real(5).String("p").Real(-1).String("five").Real(9).String("minus one");
  double p = kPriority.Create();
  kPriority.Read(p, priority.str());
  EXPECT_EQ(Call("ds_priority_find_min", {p}).Text(), "minus one");
  EXPECT_EQ(Call("ds_priority_find_max", {p}).Real(), 9);
  EXPECT_EQ(Call("ds_priority_find_priority", {p, "five"}).Real(), 5);
}

// Damaged texts are refused whole: the container keeps what it held, nothing
// is reported, nothing leaks and no count the text cannot hold is allocated.
TEST_F(DSStackText, DamagedTextsChangeNothing) {
  struct Case {
    const Kind* kind;
    std::string text;
    const char* what;
  };
  const std::string stack = HexText().Int(101).Int(2).String("ab").Real(1).str();
  const std::string queue = HexText().Int(201).Int(2).Int(0).Int(2).Real(1).String("ab").str();
  const std::string priority = HexText().Int(501).Int(1).String("ab").Real(1).str();
  const Case cases[] = {
      {&kStack, stack.substr(0, stack.size() - 1), "odd length"},
      {&kStack, stack.substr(0, 16 + 16 + 2), "truncated string"},
      {&kStack, stack.substr(0, stack.size() - 4), "truncated real"},
      {&kStack, HexText().Int(101).Int(0x7FFFFFFF).Real(1).str(), "huge count"},
      {&kStack, HexText().Int(101).Int(-1).str(), "negative count"},
      {&kStack, queue, "a queue's header"},
      {&kStack, "", "empty"},
      {&kStack, "650", "header cut"},
      {&kStack, "zz" + stack, "not hex"},
      {&kStack, HexText().Int(101).Int(1).Kind(2).Int(0x7FFFFFFF).str(), "huge array"},
      {&kQueue, queue.substr(0, queue.size() - 21), "truncated"},
      {&kQueue, stack, "a stack's header"},
      {&kQueue, HexText().Int(201).Int(1).Int(2).Int(2).Real(1).Real(2).str(), "head past tail"},
      {&kQueue, HexText().Int(201).Int(3).Int(0).Int(2).Real(1).Real(2).str(), "tail past capacity"},
      {&kQueue, HexText().Int(201).Int(1).Int(-1).Int(2).Real(1).Real(2).str(), "negative head"},
      {&kQueue, HexText().Int(201).Int(0).Int(0).Int(0x40000000).str(), "huge capacity"},
      {&kPriority, priority.substr(0, priority.size() - 2), "truncated"},
      {&kPriority, HexText().Int(501).Int(2).Real(1).Real(2).Real(3).str(), "values missing"},
      {&kPriority, HexText().Int(501).Int(0x10000000).str(), "huge count"},
      {&kPriority, HexText().Int(501).Int(-3).str(), "negative count"},
      {&kPriority, stack, "a stack's header"},
  };
  for (const Case& c : cases) {
    double id = c.kind->Create();
    const std::string name = c.kind->Name(c.kind == &kPriority ? "add" : c.kind == &kQueue ? "enqueue" : "push");
    Call(name.c_str(), {id, "kept", 1.0});
    const std::string before = c.kind->Write(id);
    const uint32_t blocks = MemoryManager::LiveBlocks();
    auto r = Call(c.kind->Name("read").c_str(), {id, c.text.c_str()});
    EXPECT_EQ(r.error, "") << c.kind->prefix << ": " << c.what;
    EXPECT_EQ(MemoryManager::LiveBlocks(), blocks) << c.kind->prefix << ": " << c.what;
    EXPECT_EQ(c.kind->Write(id), before) << c.kind->prefix << ": " << c.what;
  }
}

TEST_F(DSStackText, ExtraBytesAndAnOddDigitAfterTheTextAreIgnored) {
  const std::string stack = HexText().Int(101).Int(1).String("x").str();
  double s = kStack.Create();
  kStack.Read(s, stack + "0");
  EXPECT_EQ(Call("ds_stack_top", {s}).Text(), "x");
  double s2 = kStack.Create();
  kStack.Read(s2, stack + "DEADBEEF");
  EXPECT_EQ(kStack.Write(s2), stack);
}

// A last string cut short keeps the bytes that are there, as the stream
// reads every string.
TEST_F(DSStackText, AStringCutShortReadsAsFarAsItGoes) {
  const std::string stack = HexText().Int(101).Int(1).String("abc").str();
  double s = kStack.Create();
  kStack.Read(s, stack.substr(0, stack.size() - 2));
  EXPECT_EQ(Call("ds_stack_top", {s}).Text(), "ab");
  EXPECT_EQ(kStack.Write(s), HexText().Int(101).Int(1).String("ab").str());
}

}  // namespace
