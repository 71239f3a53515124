// Priority queues: values paired with priorities in two unsorted arrays,
// searched linearly with the data-structure comparison, so priorities may be
// reals or strings and priorities closer than the precision tie.
#pragma once
#include <cstdint>
#include <string>

#include "ds/store.h"
#include "ds/value_slots.h"

class CDS_Priority : public DSContainer {
 public:
  static constexpr int32_t kTextHeader = 501;

  void Add(const ScriptValue* value, const ScriptValue* priority);
  // The first entry whose value compares equal gets the priority.
  void ChangePriority(const ScriptValue* value, const ScriptValue* priority);
  // The priority of the first entry whose value compares equal; null when none.
  const ScriptValue* FindPriority(const ScriptValue* value) const;
  void DeleteValue(const ScriptValue* value);
  // The entry of the smallest (largest) priority, the earliest of those that
  // tie; -1 when empty.
  int32_t MinIndex() const;
  int32_t MaxIndex() const;
  // Moves the value of entry i into *out (a copy without marks) and removes
  // the entry: the last entry takes its place.
  void Take(int32_t i, ScriptValue* out);
  const ScriptValue* ValueAt(int32_t i) const { return &values_[i]; }
  const ScriptValue* PriorityAt(int32_t i) const { return &priorities_[i]; }
  int32_t Size() const { return count_; }
  int32_t ValueCapacity() const { return values_.Capacity(); }
  int32_t PriorityCapacity() const { return priorities_.Capacity(); }
  void Clear();
  void CopyFrom(const CDS_Priority& source);
  // Header, count, the priorities, then the values.
  std::string WriteText() const;
  // False, with nothing changed, for another header or a damaged text.
  bool ReadText(const char* text);

 private:
  int32_t Find(const ScriptValue* value) const;
  // The entry whose priority wins every comparison that gives `sign`.
  int32_t Extreme(int sign) const;
  void Remove(int32_t i);

  int32_t count_ = 0;
  DSValueSlots values_;
  DSValueSlots priorities_;
};
