// Stacks (last in, first out) and queues (first in, first out) of script
// values. A slot outside the live range holds real 0: popping or dequeuing
// releases the value at once.
#pragma once
#include <cstdint>
#include <string>

#include "ds/store.h"
#include "ds/value_slots.h"

class CDS_Stack : public DSContainer {
 public:
  static constexpr int32_t kTextHeader = 101;

  void Push(const ScriptValue* value);
  // Moves the top value into *out (a copy without marks); false when empty.
  bool Pop(ScriptValue* out);
  // Null when empty.
  const ScriptValue* Top() const;
  int32_t Size() const { return count_; }
  int32_t Capacity() const { return items_.Capacity(); }
  void Clear();
  void CopyFrom(const CDS_Stack& source);
  // Header, count, the values from the bottom.
  std::string WriteText() const;
  // False, with nothing changed, for another header or a damaged text.
  bool ReadText(const char* text);

 private:
  int32_t count_ = 0;
  DSValueSlots items_;  // items_[count_ - 1] is the top
};

class CDS_Queue : public DSContainer {
 public:
  static constexpr int32_t kTextHeader = 201;

  void Enqueue(const ScriptValue* value);
  // Moves the front value into *out (a copy without marks); false when empty.
  bool Dequeue(ScriptValue* out);
  // Null when empty.
  const ScriptValue* Head() const;
  const ScriptValue* Tail() const;
  int32_t Size() const { return tail_ - head_; }
  int32_t HeadIndex() const { return head_; }
  int32_t TailIndex() const { return tail_; }
  int32_t Capacity() const { return items_.Capacity(); }
  void Clear();
  void CopyFrom(const CDS_Queue& source);
  // Header, tail, head, capacity, then every slot, dead ones included.
  std::string WriteText() const;
  // False, with nothing changed, for another header or a damaged text.
  bool ReadText(const char* text);

 private:
  int32_t tail_ = 0;  // one past the last value
  int32_t head_ = 0;  // the front value
  DSValueSlots items_;
};
