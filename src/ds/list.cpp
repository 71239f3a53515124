#include "ds/list.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "ds/memory_stream.h"
#include "script/random.h"

namespace {

constexpr int32_t kListHeader = 301;

}  // namespace

CDS_List::~CDS_List() { Clear(); }

const ScriptValue* CDS_List::Item(int32_t pos) const { return pos >= 0 && pos < count_ ? &items_[pos] : nullptr; }

void CDS_List::Add(const ScriptValue* value) {
  const int32_t capacity = items_.Capacity();
  if (count_ == capacity) {
    if (capacity == INT32_MAX) return;  // the list cannot count any further
    const int64_t step = capacity < 128 ? 16 : capacity / 8;
    items_.Grow(int32_t(std::min<int64_t>(int64_t(capacity) + step, INT32_MAX)));
  }
  ScriptValue_Copy(&items_[count_], value);
  ++count_;
}

bool CDS_List::Insert(int32_t pos, const ScriptValue* value) {
  if (pos < 0 || pos > count_ || count_ == INT32_MAX) return false;
  ScriptValue copy;
  ScriptValue_Copy(&copy, value);
  if (count_ >= items_.Capacity()) items_.Grow(int32_t(std::min<int64_t>(int64_t(count_) + 16, INT32_MAX)));
  items_.OpenGap(pos, count_);
  items_[pos] = copy;
  ++count_;
  return true;
}

bool CDS_List::Set(int32_t pos, const ScriptValue* value, ScriptValue* old) {
  if (pos < 0 || pos > kMaxSetPosition) return false;
  ScriptValue copy;
  ScriptValue_Copy(&copy, value);
  if (pos >= count_) {
    if (pos >= items_.Capacity()) items_.Grow(pos + 1 + 16);
    count_ = pos + 1;
  }
  ScriptValue& slot = items_[pos];
  if (old) ScriptValue_Copy(old, &slot);
  DS_DropValue(&slot);
  slot = copy;
  return true;
}

bool CDS_List::Replace(int32_t pos, const ScriptValue* value) {
  if (pos < 0 || pos >= count_) return false;
  return Set(pos, value);
}

bool CDS_List::Delete(int32_t pos) {
  if (pos < 0 || pos >= count_) return false;
  items_.CloseGap(pos, count_);
  --count_;
  return true;
}

int32_t CDS_List::FindIndex(const ScriptValue* value) const {
  for (int32_t i = 0; i < count_; ++i)
    if (DS_CompareValues(&items_[i], value) == 0) return i;
  return -1;
}

bool CDS_List::Mark(int32_t pos, uint32_t mark) {
  if (pos < 0 || pos >= count_) return false;
  items_[pos].kind |= mark;
  DS_AdoptNested(this, &items_[pos]);
  return true;
}

void CDS_List::Sort(bool ascending) {
  if (count_ < 2) return;
  const std::vector<int32_t> order = DS_SortOrder(&items_[0], count_, ascending);
  std::vector<ScriptValue> sorted(static_cast<size_t>(count_));
  for (size_t i = 0; i < order.size(); ++i) sorted[i] = items_[order[i]];
  for (int32_t i = 0; i < count_; ++i) items_[i] = sorted[size_t(i)];
}

void CDS_List::Shuffle() {
  if (count_ == 0) return;
  for (int64_t round = 0; round < 8 * int64_t(count_); ++round) {
    const int32_t a = Random_Int(count_);
    const int32_t b = Random_Int(count_);
    std::swap(items_[a], items_[b]);
  }
}

std::vector<ScriptValue> CDS_List::TakeAll() {
  std::vector<ScriptValue> values(static_cast<size_t>(count_));
  for (int32_t i = 0; i < count_; ++i) {
    values[size_t(i)] = items_[i];
    items_[i] = ScriptValue{};
  }
  count_ = 0;
  return values;
}

void CDS_List::Clear() {
  DSDeferDeletes guard;
  for (ScriptValue& v : TakeAll()) DS_ReleaseNested(this, &v);
}

void CDS_List::CopyFrom(const CDS_List& source) {
  if (&source == this) return;  // dropping first would lose every value
  items_.CopyFrom(source.items_);
  count_ = source.count_;
  for (int32_t i = 0; i < count_; ++i) DS_AdoptNested(this, &items_[i]);
}

std::string CDS_List::Write() const {
  return DS_TextForm(kListHeader, {count_}, [&](CMemoryStream* s) { items_.Write(s, 0, count_); });
}

bool CDS_List::Read(const char* text) {
  CMemoryStream stream;
  if (!DS_OpenText(&stream, text, kListHeader)) return false;
  const int32_t count = stream.ReadInt32();
  if (!items_.Read(&stream, count)) return false;
  count_ = count;
  return true;
}

// ---------------------------------------------------------------------------
// Sorting
//
// The insertion sort lets the value being placed pass a value before it
// while the two compare as "greater" (ascending) or not (descending). When
// that decision agrees, for every such pair, with one strict total order of
// the values, the insertion sort ends in that order, and any sort reaches it.
// Reals always come before everything else when ascending and after it when
// descending, and each side is placed among its own kind alone, so the two
// sides are sorted apart.

namespace {

void InsertionSort(const ScriptValue* items, int32_t* order, size_t n, bool ascending) {
  for (size_t i = 1; i < n; ++i)
    for (size_t j = i; j >= 1; --j) {
      const int c = DS_CompareValues(&items[order[j - 1]], &items[order[j]]);
      if (ascending ? c <= 0 : c > 0) break;
      std::swap(order[j - 1], order[j]);
    }
}

// Values that compare equal keep their order when the insertion sort does
// not pass equals (ascending with equal comparing as 0, descending with it
// comparing as 1), else they come out reversed.
bool LaterFirst(bool ascending, bool equalComparesGreater) { return ascending == equalComparesGreater; }

// Reals compare as 32-bit floats within the precision. Floats within the
// precision of their neighbour form a run; every value of a run compares
// below every value of a later run, so runs are placed by their order, and
// the values of a run among themselves. When the whole run lies within the
// precision its values are one value for the comparison; otherwise (a within
// b, b within c, a not within c) they have no order, and the insertion sort
// places them, from their first order, within the run alone. NaN compares as
// "greater" with everything both ways: the insertion sort takes all reals.
bool SortReals(const ScriptValue* items, std::vector<int32_t>& part, bool ascending) {
  const double precision = DS_GetPrecision();
  auto within = [precision](float a, float b) { return precision > std::fabs(float(a - b)); };
  struct Keyed {
    float key;
    int32_t index;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(part.size());
  for (int32_t i : part) {
    const float f = float(items[i].real);
    if (std::isnan(f)) return false;
    keyed.push_back({f, i});
  }
  // By float first; equal floats as the insertion sort leaves them (an
  // infinity minus itself is NaN, so equal infinities compare as 1).
  std::sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
    if (a.key != b.key) return ascending ? a.key < b.key : a.key > b.key;
    return LaterFirst(ascending, !within(a.key, a.key)) ? a.index > b.index : a.index < b.index;
  });
  for (size_t k = 0; k < keyed.size(); ++k) part[k] = keyed[k].index;
  // Runs of more than one float: one value when the run lies within the
  // precision (equal values, which compare as 0), else left to the
  // insertion sort in their first order.
  for (size_t start = 0; start < keyed.size();) {
    size_t end = start + 1;
    bool severalFloats = false;
    while (end < keyed.size() &&
           (keyed[end].key == keyed[end - 1].key || within(keyed[end].key, keyed[end - 1].key))) {
      severalFloats |= keyed[end].key != keyed[end - 1].key;
      ++end;
    }
    if (severalFloats) {
      int32_t* run = part.data() + start;
      std::sort(run, run + (end - start));
      if (!within(keyed[start].key, keyed[end - 1].key)) InsertionSort(items, run, end - start, ascending);
      else if (LaterFirst(ascending, false)) std::reverse(run, run + (end - start));
    }
    start = end;
  }
  return true;
}

// Strings compare by their bytes; equal texts compare as 0.
bool SortStrings(const ScriptValue* items, std::vector<int32_t>& part, bool ascending) {
  for (int32_t i : part)
    if (items[i].kind != kKindString || !items[i].text) return false;
  const bool laterFirst = LaterFirst(ascending, false);
  std::sort(part.begin(), part.end(), [&](int32_t a, int32_t b) {
    const int c = std::strcmp(items[a].text, items[b].text);
    if (c != 0) return ascending ? c < 0 : c > 0;
    return laterFirst ? a > b : a < b;
  });
  return true;
}

}  // namespace

std::vector<int32_t> DS_SortOrder(const ScriptValue* items, int32_t count, bool ascending) {
  std::vector<int32_t> reals, others;
  for (int32_t i = 0; i < count; ++i) (items[i].kind == kKindReal ? reals : others).push_back(i);
  if (!SortReals(items, reals, ascending)) InsertionSort(items, reals.data(), reals.size(), ascending);
  if (!SortStrings(items, others, ascending)) InsertionSort(items, others.data(), others.size(), ascending);
  std::vector<int32_t>& first = ascending ? reals : others;
  const std::vector<int32_t>& second = ascending ? others : reals;
  first.insert(first.end(), second.begin(), second.end());
  return std::move(first);
}

std::vector<int32_t> DS_InsertionSortOrder(const ScriptValue* items, int32_t count, bool ascending) {
  std::vector<int32_t> order(size_t(std::max(count, 0)));
  std::iota(order.begin(), order.end(), 0);
  InsertionSort(items, order.data(), order.size(), ascending);
  return order;
}
