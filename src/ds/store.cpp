#include "ds/store.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "script/errors.h"

namespace {

constexpr double kDefaultPrecision = 0.00000001;

struct DSTable {
  std::vector<DSContainer*> items;  // size() is the length; a null is free
  int capacity = 0;
  size_t noFreeBelow = 0;  // every slot below this one is in use
};

struct DSStore {
  DSTable tables[7];  // by DSKind; 0 unused
  double precision = kDefaultPrecision;
  uint64_t nextSerial = 1;
  // Containers detached from their slots and waiting to be deleted: deleting
  // one can detach more, so a chain of owned containers never recurses.
  std::vector<DSContainer*> doomed;
  bool deleting = false;
};

DSStore& Store() {
  static DSStore store;
  return store;
}

DSTable* Table(DSKind kind) {
  if (kind < eDS_Map || kind > eDS_Priority) return nullptr;
  return &Store().tables[kind];
}

void DeleteDoomed() {
  DSStore& s = Store();
  if (s.deleting) return;
  s.deleting = true;
  while (!s.doomed.empty()) {
    DSContainer* c = s.doomed.back();
    s.doomed.pop_back();
    delete c;
  }
  s.deleting = false;
}

}  // namespace

DSContainer::DSContainer() : serial_(Store().nextSerial++) {}
DSContainer::~DSContainer() = default;

int DS_Alloc(DSKind kind) {
  DSTable* t = Table(kind);
  if (!t) return -1;
  for (size_t i = t->noFreeBelow; i < t->items.size(); ++i)
    if (!t->items[i]) {
      t->noFreeBelow = i;
      return int(i);
    }
  t->noFreeBelow = t->items.size();
  int id = int(t->items.size());
  // The counted capacity grows by 16; the vector underneath grows as it likes.
  if (id >= t->capacity) t->capacity = id + 16;
  t->items.push_back(nullptr);
  return id;
}

void DS_Store(DSKind kind, int id, DSContainer* container) {
  DSTable* t = Table(kind);
  if (!t || id < 0 || size_t(id) >= t->items.size() || t->items[size_t(id)]) {
    delete container;  // a slot that was not reserved: never leak, never overwrite
    return;
  }
  t->items[size_t(id)] = container;
}

int DS_Add(DSKind kind, DSContainer* container) {
  int id = DS_Alloc(kind);
  DS_Store(kind, id, container);
  return id;
}

int DS_AllocListIndex() { return DS_Alloc(eDS_List); }
int DS_AllocMapIndex() { return DS_Alloc(eDS_Map); }

DSContainer* DS_Get(DSKind kind, int id) {
  DSTable* t = Table(kind);
  if (!t || id < 0 || size_t(id) >= t->items.size()) return nullptr;
  return t->items[size_t(id)];
}

void DS_Destroy(DSKind kind, int id) {
  DSContainer* c = DS_Get(kind, id);
  if (!c) return;
  DSTable* t = Table(kind);
  t->items[size_t(id)] = nullptr;
  t->noFreeBelow = std::min(t->noFreeBelow, size_t(id));
  Store().doomed.push_back(c);
  DeleteDoomed();
}

int DS_LiveCount(DSKind kind) {
  DSTable* t = Table(kind);
  if (!t) return 0;
  return int(std::count_if(t->items.begin(), t->items.end(), [](const DSContainer* c) { return c != nullptr; }));
}

DSDeferDeletes::DSDeferDeletes() : outermost_(!Store().deleting) { Store().deleting = true; }

DSDeferDeletes::~DSDeferDeletes() {
  if (!outermost_) return;
  Store().deleting = false;
  DeleteDoomed();
}

int DS_TableLength(DSKind kind) {
  DSTable* t = Table(kind);
  return t ? int(t->items.size()) : 0;
}

int DS_TableCapacity(DSKind kind) {
  DSTable* t = Table(kind);
  return t ? t->capacity : 0;
}

DSContainer* const* DS_Items(DSKind kind, int* length) {
  DSTable* t = Table(kind);
  if (length) *length = t ? int(t->items.size()) : 0;
  return t ? t->items.data() : nullptr;
}

void DS_ResetAll() {
  DSStore& s = Store();
  for (int k = eDS_Map; k <= eDS_Priority; ++k) {
    DSTable& t = s.tables[k];
    for (DSContainer*& c : t.items)
      if (c) {
        s.doomed.push_back(c);
        c = nullptr;
      }
  }
  DeleteDoomed();
  for (DSTable& t : s.tables) t = DSTable{};
  s.precision = kDefaultPrecision;
}

double DS_GetPrecision() { return Store().precision; }
void DS_SetPrecision(double precision) { Store().precision = std::fabs(precision); }

int DS_CompareValues(const ScriptValue* a, const ScriptValue* b) {
  if (a->kind == kKindReal && b->kind == kKindReal) {
    float d = float(float(a->real) - float(b->real));
    if (Store().precision > std::fabs(d)) return 0;
    return d < 0 ? -1 : 1;
  }
  if (a->kind == kKindString && b->kind == kKindString) {
    if (!a->text || !b->text) return 1;
    int c = std::strcmp(a->text, b->text);  // unsigned bytes, as strcmp compares
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  if (a->kind == kKindReal) return -1;
  return 1;
}

void DS_AdoptNested(const DSContainer* holder, const ScriptValue* value) {
  if (!holder || !DS_MarkCounts(value->kind)) return;
  DSContainer* nested = DS_Get(DS_MarkedKind(value->kind), Real_ToInt32(value->real));
  if (!nested || nested == holder) return;
  auto& owners = nested->owners_;
  if (std::find(owners.begin(), owners.end(), holder->Serial()) == owners.end())
    owners.push_back(holder->Serial());
}

void DS_ReleaseNested(const DSContainer* holder, ScriptValue* value) {
  if (holder && DS_MarkCounts(value->kind)) {
    DSKind kind = DS_MarkedKind(value->kind);
    int id = Real_ToInt32(value->real);
    DSContainer* nested = DS_Get(kind, id);
    if (nested && nested != holder) {
      const auto& owners = nested->owners_;
      if (std::find(owners.begin(), owners.end(), holder->Serial()) != owners.end()) DS_Destroy(kind, id);
    }
  }
  DS_DropValue(value);
}

void DS_ReportMissing() { Error_ReportRuntime(ErrorSeverity::kError, "Data structure with index does not exist."); }
