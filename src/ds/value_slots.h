// The storage of the array-backed containers (stacks, queues, priority
// queues): owned script values whose counted capacity grows in the steps the
// text forms and copies show, while the memory underneath grows
// geometrically, so appending stays O(1) amortised. A slot that holds
// nothing is real 0.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "ds/memory_stream.h"
#include "script/value.h"

class DSValueSlots {
 public:
  DSValueSlots() = default;
  ~DSValueSlots() { Clear(); }
  DSValueSlots(const DSValueSlots&) = delete;
  DSValueSlots& operator=(const DSValueSlots&) = delete;

  int32_t Capacity() const { return int32_t(slots_.size()); }
  ScriptValue& operator[](int32_t i) { return slots_[size_t(i)]; }
  const ScriptValue& operator[](int32_t i) const { return slots_[size_t(i)]; }

  // To `capacity` slots when that is more; the new ones are real 0.
  void Grow(int32_t capacity);
  // Frees every slot; the capacity becomes 0 and the memory stays for reuse.
  void Clear();
  // Frees what slot i holds, leaving real 0.
  void Release(int32_t i);
  // Slot `to` gives up its value and takes slot `from`'s; `from` is left real 0.
  void Move(int32_t from, int32_t to);
  // Slots [at, end) move up one place, leaving slot `at` real 0; slot `end`
  // (below the capacity) must hold nothing.
  void OpenGap(int32_t at, int32_t end);
  // Frees slot `at`; slots (at, end) move down one place, leaving slot
  // end - 1 real 0.
  void CloseGap(int32_t at, int32_t end);
  // The source's capacity and a copy of every slot; nothing onto itself.
  void CopyFrom(const DSValueSlots& source);
  void Swap(DSValueSlots& other) { slots_.swap(other.slots_); }

  // Slots [from, to) in the text form's value encoding.
  void Write(CMemoryStream* stream, int32_t from, int32_t to) const;
  // Replaces the slots by `count` values read from the stream (capacity
  // `count`). False, with nothing changed, when the count is negative or the
  // stream runs out before the last value.
  bool Read(CMemoryStream* stream, int32_t count);

 private:
  std::vector<ScriptValue> slots_;
};

// A container's text form: the header, its int32 fields, then what `values`
// writes, as hex.
template <class WriteValues>
std::string DS_TextForm(int32_t header, std::initializer_list<int32_t> fields, WriteValues values) {
  CMemoryStream stream;
  stream.WriteInt32(header);
  for (int32_t field : fields) stream.WriteInt32(field);
  values(&stream);
  return stream.ToHexText();
}
