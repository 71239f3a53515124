// Lists: the script-visible growable arrays of values, with search by value,
// sorting, shuffling and the marks by which a list owns nested lists and maps.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ds/store.h"
#include "ds/value_slots.h"

class CDS_List : public DSContainer {
 public:
  // A position this far out is a script's mistake, not a list anybody can
  // hold: ds_list_set ignores it rather than asking for gigabytes.
  static constexpr int32_t kMaxSetPosition = 1 << 26;

  CDS_List() = default;
  ~CDS_List() override;

  int32_t Size() const { return count_; }
  // Slots the storage has room for, grown by the steps scripts rely on.
  int32_t Capacity() const { return items_.Capacity(); }
  // The value at pos, or null outside 0 .. Size() - 1.
  const ScriptValue* Item(int32_t pos) const;

  void Add(const ScriptValue* value);
  // pos in 0 .. Size(); false (nothing done) otherwise.
  bool Insert(int32_t pos, const ScriptValue* value);
  // Grows the list to reach pos first. `old` gets what stood there. False
  // (nothing done) for a negative position or one past kMaxSetPosition.
  bool Set(int32_t pos, const ScriptValue* value, ScriptValue* old = nullptr);
  // The three below keep a marked nested container alive.
  bool Replace(int32_t pos, const ScriptValue* value);
  bool Delete(int32_t pos);
  // The first position whose value compares equal (DS_CompareValues), or -1.
  int32_t FindIndex(const ScriptValue* value) const;
  // ORs a nesting mark into the value at pos; false outside the list.
  bool Mark(int32_t pos, uint32_t mark);
  void Sort(bool ascending);
  // 8 x Size() swaps of two positions drawn from the game's generator.
  void Shuffle();
  // Destroys the nested containers this list owns. When one of them owned
  // this list back, this list is destroyed too: the caller must not touch it
  // afterwards.
  void Clear();
  // This list's values dropped (nested containers stay) for copies of the
  // source's, marks included and owned by both.
  void CopyFrom(const CDS_List& source);

  // The text form (header 301), and reading one over the contents (nested
  // containers stay). A text that is not a whole list changes nothing and
  // gives false.
  std::string Write() const;
  bool Read(const char* text);

 private:
  // Takes every value out, leaving the list empty with its capacity.
  std::vector<ScriptValue> TakeAll();

  DSValueSlots items_;  // past count_, real 0
  int32_t count_ = 0;
};

// The order ds_list_sort leaves values in, as their positions before it:
// that of an insertion sort by DS_CompareValues, where ascending keeps equal
// values in their order and descending reverses them. Found in O(n log n)
// whenever the comparison orders the values consistently; values it cannot
// (NaN, marked values, arrays, texts missing, reals chained by the precision)
// are left to the insertion sort itself.
std::vector<int32_t> DS_SortOrder(const ScriptValue* items, int32_t count, bool ascending);
// The insertion sort, step by step.
std::vector<int32_t> DS_InsertionSortOrder(const ScriptValue* items, int32_t count, bool ascending);
