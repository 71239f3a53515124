#include "ds/value_slots.h"

#include <cstring>

void DSValueSlots::Grow(int32_t capacity) {
  if (capacity > Capacity()) slots_.resize(size_t(capacity));
}

void DSValueSlots::Clear() {
  for (ScriptValue& v : slots_) ScriptValue_Free(&v);
  slots_.clear();
}

void DSValueSlots::Release(int32_t i) {
  ScriptValue_Free(&slots_[size_t(i)]);
  slots_[size_t(i)] = ScriptValue{};
}

void DSValueSlots::Move(int32_t from, int32_t to) {
  if (from == to) return;
  Release(to);
  slots_[size_t(to)] = slots_[size_t(from)];
  slots_[size_t(from)] = ScriptValue{};
}

void DSValueSlots::OpenGap(int32_t at, int32_t end) {
  ScriptValue* slot = slots_.data() + at;
  std::memmove(static_cast<void*>(slot + 1), slot, sizeof(ScriptValue) * size_t(end - at));
  slots_[size_t(at)] = ScriptValue{};
}

void DSValueSlots::CloseGap(int32_t at, int32_t end) {
  ScriptValue_Free(&slots_[size_t(at)]);
  ScriptValue* slot = slots_.data() + at;
  std::memmove(static_cast<void*>(slot), slot + 1, sizeof(ScriptValue) * size_t(end - at - 1));
  slots_[size_t(end) - 1] = ScriptValue{};
}

void DSValueSlots::CopyFrom(const DSValueSlots& source) {
  if (&source == this) return;
  Clear();
  slots_.resize(source.slots_.size());
  for (size_t i = 0; i < slots_.size(); ++i) ScriptValue_Copy(&slots_[i], &source.slots_[i]);
}

void DSValueSlots::Write(CMemoryStream* stream, int32_t from, int32_t to) const {
  for (int32_t i = from; i < to; ++i) DS_ValueWrite(stream, &slots_[size_t(i)]);
}

bool DSValueSlots::Read(CMemoryStream* stream, int32_t count) {
  // Every value takes at least its kind word: a count the text cannot hold
  // is refused before anything is allocated for it.
  if (!DS_StreamHolds(stream, count)) return false;
  DSValueSlots fresh;
  fresh.Grow(count);
  for (int32_t i = 0; i < count; ++i)
    if (!DS_ValueRead(&fresh[i], stream)) return false;
  Swap(fresh);
  return true;
}
