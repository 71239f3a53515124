#include "ds/priority.h"

#include "ds/builtin_helpers.h"
#include "ds/ds_builtins.h"
#include "ds/memory_stream.h"

namespace {

constexpr int32_t kGrowth = 16;

}  // namespace

void CDS_Priority::Add(const ScriptValue* value, const ScriptValue* priority) {
  if (count_ >= values_.Capacity()) {
    values_.Grow(count_ + kGrowth);
    priorities_.Grow(count_ + kGrowth);
  }
  ScriptValue_Copy(&values_[count_], value);
  ScriptValue_Copy(&priorities_[count_], priority);
  ++count_;
}

int32_t CDS_Priority::Find(const ScriptValue* value) const {
  for (int32_t i = 0; i < count_; ++i)
    if (DS_CompareValues(&values_[i], value) == 0) return i;
  return -1;
}

void CDS_Priority::ChangePriority(const ScriptValue* value, const ScriptValue* priority) {
  int32_t i = Find(value);
  if (i >= 0) ScriptValue_Copy(&priorities_[i], priority);
}

const ScriptValue* CDS_Priority::FindPriority(const ScriptValue* value) const {
  int32_t i = Find(value);
  return i >= 0 ? &priorities_[i] : nullptr;
}

void CDS_Priority::DeleteValue(const ScriptValue* value) {
  int32_t i = Find(value);
  if (i >= 0) Remove(i);
}

int32_t CDS_Priority::Extreme(int sign) const {
  if (count_ == 0) return -1;
  int32_t best = 0;
  for (int32_t i = 1; i < count_; ++i)
    if (DS_CompareValues(&priorities_[i], &priorities_[best]) == sign) best = i;
  return best;
}

int32_t CDS_Priority::MinIndex() const { return Extreme(-1); }
int32_t CDS_Priority::MaxIndex() const { return Extreme(1); }

void CDS_Priority::Take(int32_t i, ScriptValue* out) {
  DS_ReturnCopy(out, &values_[i]);
  Remove(i);
}

void CDS_Priority::Remove(int32_t i) {
  --count_;
  // The removed entry's values are released, not left behind the count.
  values_.Release(i);
  priorities_.Release(i);
  values_.Move(count_, i);
  priorities_.Move(count_, i);
}

void CDS_Priority::Clear() {
  values_.Clear();
  priorities_.Clear();
  count_ = 0;
}

void CDS_Priority::CopyFrom(const CDS_Priority& source) {
  if (&source == this) return;
  values_.CopyFrom(source.values_);
  priorities_.CopyFrom(source.priorities_);
  count_ = source.count_;
}

std::string CDS_Priority::WriteText() const {
  return DS_TextForm(kTextHeader, {count_}, [&](CMemoryStream* s) {
    priorities_.Write(s, 0, count_);
    values_.Write(s, 0, count_);
  });
}

bool CDS_Priority::ReadText(const char* text) {
  CMemoryStream stream;
  if (!DS_OpenText(&stream, text, kTextHeader)) return false;
  int32_t count = stream.ReadInt32();
  // Both arrays must fit the text before either is allocated.
  if (!DS_StreamHolds(&stream, int64_t(count) * 2)) return false;
  DSValueSlots priorities, values;
  if (!priorities.Read(&stream, count) || !values.Read(&stream, count)) return false;
  priorities_.Swap(priorities);
  values_.Swap(values);
  count_ = count;
  return true;
}

namespace {

CDS_Priority* First(int argc, const ScriptValue* args) {
  return DS_FirstArg<CDS_Priority>(eDS_Priority, argc, args);
}

// Delete min and max: the value of the winning entry, removed; real 0 when empty.
void TakeEntry(ScriptValue* result, CDS_Priority* p, int32_t i) {
  if (i >= 0) p->Take(i, result);
  else Return(result, 0);
}

void ReturnValueAt(ScriptValue* result, CDS_Priority* p, int32_t i) {
  DS_ReturnStored(result, i >= 0 ? p->ValueAt(i) : nullptr);
}

TW_BUILTIN(ds_priority_create) { Return(result, DS_Add(eDS_Priority, new CDS_Priority)); }

TW_BUILTIN(ds_priority_destroy) { DS_DestroyBuiltin<CDS_Priority>(eDS_Priority, argc, args); }

TW_BUILTIN(ds_priority_clear) {
  if (auto* p = First(argc, args)) p->Clear();
}

TW_BUILTIN(ds_priority_copy) { DS_CopyBuiltin<CDS_Priority>(eDS_Priority, argc, args); }

TW_BUILTIN(ds_priority_size) {
  if (auto* p = First(argc, args)) Return(result, p->Size());
}

TW_BUILTIN(ds_priority_empty) {
  if (auto* p = First(argc, args)) Return(result, p->Size() == 0 ? 1 : 0);
}

TW_BUILTIN(ds_priority_add) {
  if (auto* p = First(argc, args)) p->Add(DS_ValueArg(argc, args, 1), DS_ValueArg(argc, args, 2));
}

TW_BUILTIN(ds_priority_change_priority) {
  if (auto* p = First(argc, args)) p->ChangePriority(DS_ValueArg(argc, args, 1), DS_ValueArg(argc, args, 2));
}

TW_BUILTIN(ds_priority_find_priority) {
  if (auto* p = First(argc, args)) DS_ReturnStored(result, p->FindPriority(DS_ValueArg(argc, args, 1)));
}

TW_BUILTIN(ds_priority_delete_value) {
  if (auto* p = First(argc, args)) p->DeleteValue(DS_ValueArg(argc, args, 1));
}

TW_BUILTIN(ds_priority_delete_min) {
  if (auto* p = First(argc, args)) TakeEntry(result, p, p->MinIndex());
}

TW_BUILTIN(ds_priority_find_min) {
  if (auto* p = First(argc, args)) ReturnValueAt(result, p, p->MinIndex());
}

TW_BUILTIN(ds_priority_delete_max) {
  if (auto* p = First(argc, args)) TakeEntry(result, p, p->MaxIndex());
}

TW_BUILTIN(ds_priority_find_max) {
  if (auto* p = First(argc, args)) ReturnValueAt(result, p, p->MaxIndex());
}

TW_BUILTIN(ds_priority_write) {
  if (auto* p = First(argc, args)) DS_ReturnText(result, p->WriteText());
}

TW_BUILTIN(ds_priority_read) {
  if (auto* p = First(argc, args)) p->ReadText(TextArg(argc, args, 1));
}

const NamedBuiltin kPriorityBuiltins[] = {
    {"ds_priority_create", ds_priority_create},
    {"ds_priority_destroy", ds_priority_destroy},
    {"ds_priority_clear", ds_priority_clear},
    {"ds_priority_copy", ds_priority_copy},
    {"ds_priority_size", ds_priority_size},
    {"ds_priority_empty", ds_priority_empty},
    {"ds_priority_add", ds_priority_add},
    {"ds_priority_change_priority", ds_priority_change_priority},
    {"ds_priority_find_priority", ds_priority_find_priority},
    {"ds_priority_delete_value", ds_priority_delete_value},
    {"ds_priority_delete_min", ds_priority_delete_min},
    {"ds_priority_find_min", ds_priority_find_min},
    {"ds_priority_delete_max", ds_priority_delete_max},
    {"ds_priority_find_max", ds_priority_find_max},
    {"ds_priority_write", ds_priority_write},
    {"ds_priority_read", ds_priority_read},
};

}  // namespace

std::span<const NamedBuiltin> DS_PriorityBuiltins() { return kPriorityBuiltins; }
