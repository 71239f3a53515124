#include "ds/stack_queue.h"

#include "ds/builtin_helpers.h"
#include "ds/ds_builtins.h"
#include "ds/memory_stream.h"
#include "ds/queue.h"

namespace {

// Storage grows by this many slots at a time.
constexpr int32_t kGrowth = 16;
// Dequeuing moves the live values down once more than this many slots at the
// front are dead and they outnumber the live ones.
constexpr int32_t kCompactAfter = 16;

}  // namespace

void CDS_Stack::Push(const ScriptValue* value) {
  if (count_ == items_.Capacity()) items_.Grow(count_ + kGrowth);
  ScriptValue_Copy(&items_[count_], value);
  ++count_;
}

bool CDS_Stack::Pop(ScriptValue* out) {
  if (count_ == 0) return false;
  --count_;
  DS_ReturnCopy(out, &items_[count_]);
  items_.Release(count_);
  return true;
}

const ScriptValue* CDS_Stack::Top() const { return count_ > 0 ? &items_[count_ - 1] : nullptr; }

void CDS_Stack::Clear() {
  items_.Clear();
  count_ = 0;
}

void CDS_Stack::CopyFrom(const CDS_Stack& source) {
  if (&source == this) return;
  items_.CopyFrom(source.items_);
  count_ = source.count_;
}

std::string CDS_Stack::WriteText() const {
  return DS_TextForm(kTextHeader, {count_}, [&](CMemoryStream* s) { items_.Write(s, 0, count_); });
}

bool CDS_Stack::ReadText(const char* text) {
  CMemoryStream stream;
  if (!DS_OpenText(&stream, text, kTextHeader)) return false;
  int32_t count = stream.ReadInt32();
  if (!items_.Read(&stream, count)) return false;
  count_ = count;
  return true;
}

void CDS_Queue::Enqueue(const ScriptValue* value) {
  if (tail_ == items_.Capacity()) items_.Grow(tail_ + kGrowth);
  ScriptValue_Copy(&items_[tail_], value);
  ++tail_;
}

bool CDS_Queue::Dequeue(ScriptValue* out) {
  if (head_ == tail_) return false;
  DS_ReturnCopy(out, &items_[head_]);
  items_.Release(head_);
  ++head_;
  if (head_ > kCompactAfter && head_ > tail_ / 2) {
    for (int32_t i = head_; i < tail_; ++i) items_.Move(i, i - head_);
    tail_ -= head_;
    head_ = 0;
  }
  return true;
}

const ScriptValue* CDS_Queue::Head() const { return head_ < tail_ ? &items_[head_] : nullptr; }
const ScriptValue* CDS_Queue::Tail() const { return head_ < tail_ ? &items_[tail_ - 1] : nullptr; }

void CDS_Queue::Clear() {
  items_.Clear();
  tail_ = head_ = 0;
}

void CDS_Queue::CopyFrom(const CDS_Queue& source) {
  if (&source == this) return;
  items_.CopyFrom(source.items_);
  tail_ = source.tail_;
  head_ = source.head_;
}

std::string CDS_Queue::WriteText() const {
  const int32_t capacity = items_.Capacity();
  return DS_TextForm(kTextHeader, {tail_, head_, capacity}, [&](CMemoryStream* s) { items_.Write(s, 0, capacity); });
}

bool CDS_Queue::ReadText(const char* text) {
  CMemoryStream stream;
  if (!DS_OpenText(&stream, text, kTextHeader)) return false;
  int32_t tail = stream.ReadInt32();
  int32_t head = stream.ReadInt32();
  int32_t capacity = stream.ReadInt32();
  if (head < 0 || head > tail || tail > capacity) return false;
  DSValueSlots slots;
  if (!slots.Read(&stream, capacity)) return false;
  // Dead slots hold nothing, as they do after a dequeue; ours are written as
  // real 0 and read back the same.
  for (int32_t i = 0; i < head; ++i) slots.Release(i);
  for (int32_t i = tail; i < capacity; ++i) slots.Release(i);
  items_.Swap(slots);
  tail_ = tail;
  head_ = head;
  return true;
}

namespace {

// Pop and dequeue: the removed value, or real 0 when there is none.
void ReturnTaken(ScriptValue* result, bool taken) {
  if (!taken) Return(result, 0);
}

TW_BUILTIN(ds_stack_create) { Return(result, DS_Add(eDS_Stack, new CDS_Stack)); }

TW_BUILTIN(ds_stack_destroy) { DS_DestroyBuiltin<CDS_Stack>(eDS_Stack, argc, args); }

TW_BUILTIN(ds_stack_clear) {
  if (auto* s = DS_FirstArg<CDS_Stack>(eDS_Stack, argc, args)) s->Clear();
}

TW_BUILTIN(ds_stack_copy) { DS_CopyBuiltin<CDS_Stack>(eDS_Stack, argc, args); }

TW_BUILTIN(ds_stack_size) {
  if (auto* s = DS_FirstArg<CDS_Stack>(eDS_Stack, argc, args)) Return(result, s->Size());
}

TW_BUILTIN(ds_stack_empty) {
  if (auto* s = DS_FirstArg<CDS_Stack>(eDS_Stack, argc, args)) Return(result, s->Size() == 0 ? 1 : 0);
}

TW_BUILTIN(ds_stack_push) {
  if (auto* s = DS_FirstArg<CDS_Stack>(eDS_Stack, argc, args)) s->Push(DS_ValueArg(argc, args, 1));
}

TW_BUILTIN(ds_stack_pop) {
  if (auto* s = DS_FirstArg<CDS_Stack>(eDS_Stack, argc, args)) ReturnTaken(result, s->Pop(result));
}

TW_BUILTIN(ds_stack_top) {
  if (auto* s = DS_FirstArg<CDS_Stack>(eDS_Stack, argc, args)) DS_ReturnStored(result, s->Top());
}

TW_BUILTIN(ds_stack_write) {
  if (auto* s = DS_FirstArg<CDS_Stack>(eDS_Stack, argc, args)) DS_ReturnText(result, s->WriteText());
}

TW_BUILTIN(ds_stack_read) {
  if (auto* s = DS_FirstArg<CDS_Stack>(eDS_Stack, argc, args)) s->ReadText(TextArg(argc, args, 1));
}

TW_BUILTIN(ds_queue_create) { Return(result, DS_Add(eDS_Queue, new CDS_Queue)); }

TW_BUILTIN(ds_queue_destroy) { DS_DestroyBuiltin<CDS_Queue>(eDS_Queue, argc, args); }

TW_BUILTIN(ds_queue_clear) {
  if (auto* q = DS_FirstArg<CDS_Queue>(eDS_Queue, argc, args)) q->Clear();
}

TW_BUILTIN(ds_queue_copy) { DS_CopyBuiltin<CDS_Queue>(eDS_Queue, argc, args); }

TW_BUILTIN(ds_queue_size) {
  if (auto* q = DS_FirstArg<CDS_Queue>(eDS_Queue, argc, args)) Return(result, q->Size());
}

TW_BUILTIN(ds_queue_empty) {
  if (auto* q = DS_FirstArg<CDS_Queue>(eDS_Queue, argc, args)) Return(result, q->Size() == 0 ? 1 : 0);
}

TW_BUILTIN(ds_queue_enqueue) {
  if (auto* q = DS_FirstArg<CDS_Queue>(eDS_Queue, argc, args)) q->Enqueue(DS_ValueArg(argc, args, 1));
}

TW_BUILTIN(ds_queue_dequeue) {
  if (auto* q = DS_FirstArg<CDS_Queue>(eDS_Queue, argc, args)) ReturnTaken(result, q->Dequeue(result));
}

TW_BUILTIN(ds_queue_head) {
  if (auto* q = DS_FirstArg<CDS_Queue>(eDS_Queue, argc, args)) DS_ReturnStored(result, q->Head());
}

TW_BUILTIN(ds_queue_tail) {
  if (auto* q = DS_FirstArg<CDS_Queue>(eDS_Queue, argc, args)) DS_ReturnStored(result, q->Tail());
}

TW_BUILTIN(ds_queue_write) {
  if (auto* q = DS_FirstArg<CDS_Queue>(eDS_Queue, argc, args)) DS_ReturnText(result, q->WriteText());
}

TW_BUILTIN(ds_queue_read) {
  if (auto* q = DS_FirstArg<CDS_Queue>(eDS_Queue, argc, args)) q->ReadText(TextArg(argc, args, 1));
}

const NamedBuiltin kStackBuiltins[] = {
    {"ds_stack_create", ds_stack_create}, {"ds_stack_destroy", ds_stack_destroy}, {"ds_stack_clear", ds_stack_clear},
    {"ds_stack_copy", ds_stack_copy},     {"ds_stack_size", ds_stack_size},       {"ds_stack_empty", ds_stack_empty},
    {"ds_stack_push", ds_stack_push},     {"ds_stack_pop", ds_stack_pop},         {"ds_stack_top", ds_stack_top},
    {"ds_stack_write", ds_stack_write},   {"ds_stack_read", ds_stack_read},
};

const NamedBuiltin kQueueBuiltins[] = {
    {"ds_queue_create", ds_queue_create},   {"ds_queue_destroy", ds_queue_destroy}, {"ds_queue_clear", ds_queue_clear},
    {"ds_queue_copy", ds_queue_copy},       {"ds_queue_size", ds_queue_size},       {"ds_queue_empty", ds_queue_empty},
    {"ds_queue_enqueue", ds_queue_enqueue}, {"ds_queue_dequeue", ds_queue_dequeue}, {"ds_queue_head", ds_queue_head},
    {"ds_queue_tail", ds_queue_tail},       {"ds_queue_write", ds_queue_write},     {"ds_queue_read", ds_queue_read},
};

}  // namespace

std::span<const NamedBuiltin> DS_StackBuiltins() { return kStackBuiltins; }
std::span<const NamedBuiltin> DS_QueueBuiltins() { return kQueueBuiltins; }

void DS_QueueDequeue(int id, ScriptValue* out) {
  if (id < 0) return;
  ScriptValue arg = ScriptValue::FromReal(id);
  ds_queue_dequeue(out, nullptr, nullptr, 1, &arg);
}

int DS_QueueSize(int id) {
  if (id < 0) return 0;
  ScriptValue arg = ScriptValue::FromReal(id);
  ScriptValue size;
  ds_queue_size(&size, nullptr, nullptr, 1, &arg);
  return RoundedArg(1, &size, 0);
}

void DS_QueueClear(int id) {
  if (id < 0) return;
  ScriptValue arg = ScriptValue::FromReal(id);
  ScriptValue none;
  ds_queue_clear(&none, nullptr, nullptr, 1, &arg);
}
