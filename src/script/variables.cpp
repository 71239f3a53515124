#include "script/variables.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "script/console.h"
#include "script/memory_manager.h"
#include "script/value_stream.h"

namespace {
bool g_unsetIsError = false;
// Nodes are recycled through one pool shared by every list; they are never
// given back to the heap.
VariableNode* g_nodePool = nullptr;

VariableNode* TakeNode() {
  VariableNode* n = g_nodePool;
  if (n) {
    g_nodePool = n->next;
  } else {
    n = new VariableNode;
  }
  n->next = n->nextAll = nullptr;
  n->value = ScriptValue();
  n->id = 0;
  return n;
}

constexpr double kUnsetVariableReading = 12345678.9;

std::unique_ptr<CVariableList> g_globals;
std::vector<uint8_t> g_globalvarTable;
constexpr int32_t kGlobalvarInitial = 10000;
constexpr int32_t kGlobalvarStep = 1000;

void Append(std::vector<char>& out, const char* s) { out.insert(out.end(), s, s + std::strlen(s)); }

void DebugText(std::vector<char>& out, const ScriptValue* v, int depth) {
  char num[64];
  switch (v->kind) {
    case kKindReal: {
      double r = v->real;
      double n = std::nearbyint(r);
      if (r != n || std::isnan(r) || std::fabs(r) > 2147483647.0) {
        std::snprintf(num, sizeof num, "%f", r);
      } else {
        std::snprintf(num, sizeof num, "%d", int(n));
      }
      Append(out, num);
      return;
    }
    case kKindString:
      out.push_back('"');
      Append(out, v->Text());
      out.push_back('"');
      return;
    case kKindArray: {
      Append(out, "{ ");
      const ScriptArray* a = v->array;
      if (a && depth < kMaxValueNesting) {
        int32_t rows = a->rowCount < 30 ? a->rowCount : 30;
        for (int32_t r = 0; r < rows; ++r) {
          const ScriptArrayRow& row = a->rows[r];
          Append(out, "{ ");
          int32_t len = row.length < 30 ? row.length : 30;
          for (int32_t c = 0; c < len; ++c) {
            if (c) Append(out, " ,");
            DebugText(out, &row.elements[c], depth + 1);
          }
          if (row.length > 30) Append(out, " ... ");
          Append(out, "},  ");
        }
        if (a->rowCount > 30) Append(out, " ... ");
      }
      Append(out, " }");
      return;
    }
    default:
      return;
  }
}

bool WriteS32(ValueStream* b, int32_t v) {
  ScriptValue s = ScriptValue::FromReal(v);
  return b->Write(eBuffer_S32, &s) >= 0;
}

bool ReadS32(ValueStream* b, int32_t* out) {
  // Past the end a read gives a value instead of failing: check first.
  if (b->BytesLeft() < 4) return false;
  ScriptValue s;
  if (b->Read(eBuffer_S32, &s) < 0 || !s.IsReal()) return false;
  *out = int32_t(s.real);
  return true;
}
}  // namespace

void ScriptValue_DebugText(std::vector<char>& out, const ScriptValue* value) { DebugText(out, value, 0); }

CVariableList::~CVariableList() { Clear(); }

void CVariableList::Clear() {
  if (!all_) return;  // no nodes: the buckets are empty already
  for (VariableNode* n = all_; n;) {
    VariableNode* nextAll = n->nextAll;
    if (!n->value.IsReal()) ScriptValue_Free(&n->value);
    n->next = g_nodePool;
    g_nodePool = n;
    n = nextAll;
  }
  std::memset(buckets_, 0, sizeof buckets_);
  all_ = nullptr;
  count_ = 0;
}

VariableNode* CVariableList::Find(int32_t id) const {
  for (VariableNode* n = buckets_[id & (kBuckets - 1)]; n; n = n->next)
    if (n->id == id) return n;
  return nullptr;
}

VariableNode* CVariableList::Insert(int32_t id) {
  VariableNode* n = TakeNode();
  n->id = id;
  VariableNode*& bucket = buckets_[id & (kBuckets - 1)];
  n->next = bucket;
  bucket = n;
  n->nextAll = all_;
  all_ = n;
  ++count_;
  return n;
}

VariableNode* CVariableList::FindOrInsert(int32_t id) {
  VariableNode* n = Find(id);
  return n ? n : Insert(id);
}

bool CVariableList::Read(int32_t id, int32_t arrayIndex, ScriptValue* out) {
  ArrayIndexError.error = 0;
  if (VariableNode* n = Find(id)) return ScriptValue_GetElement(out, &n->value, arrayIndex);
  ScriptValue_Free(out);
  if (g_unsetIsError) {
    *out = ScriptValue::FromReal(kUnsetVariableReading);
    return false;
  }
  *out = ScriptValue::FromReal(0);
  return true;
}

bool CVariableList::Write(int32_t id, int32_t arrayIndex, ScriptValue* value) {
  ArrayIndexError.error = 0;
  return ScriptValue_SetElement(&FindOrInsert(id)->value, value, arrayIndex);
}

void CVariableList::CopyFrom(const CVariableList& other) {
  if (&other == this) return;
  Clear();
  for (int b = 0; b < kBuckets; ++b) {
    for (VariableNode* n = other.buckets_[b]; n; n = n->next) {
      VariableNode* copy = Insert(n->id);
      ScriptValue_DeepCopy(&copy->value, &n->value);
    }
  }
}

bool CVariableList::Save(ValueStream* buffer) const {
  bool ok = WriteS32(buffer, count_);
  for (int b = 0; b < kBuckets; ++b) {
    for (VariableNode* n = buckets_[b]; n; n = n->next) {
      ok = buffer->WriteString(VariableName_FromID(n->id)) >= 0 && ok;
      ok = ScriptValue_Save(&n->value, buffer) && ok;
    }
  }
  return ok;
}

bool CVariableList::Load(ValueStream* buffer) {
  Clear();
  int32_t count = 0;
  if (!ReadS32(buffer, &count)) return false;
  // Read into a scratch list first, so damaged bytes leave nothing half-loaded.
  CVariableList loaded;
  for (int32_t i = 0; i < count; ++i) {
    char* name = buffer->ReadString();
    if (!name) return false;
    int id = VariableName_Lookup(name);
    ScriptValue scratch;
    ScriptValue* target = &scratch;
    if (id < 0) {
      g_DebugConsole->Output("WARNING: Load game failed to find variable \"%s\"\n", name);
    } else if (!loaded.Find(id)) {
      target = &loaded.Insert(id)->value;
    }
    MemoryManager::Release(name);
    bool ok = ScriptValue_Load(target, buffer);
    ScriptValue_Free(&scratch);
    if (!ok) return false;
  }
  std::swap(buckets_, loaded.buckets_);
  std::swap(all_, loaded.all_);
  std::swap(count_, loaded.count_);
  return true;
}

void CVariableList::Dump(tagIConsole* console) const {
  for (int b = 0; b < kBuckets; ++b) {
    for (VariableNode* n = buckets_[b]; n; n = n->next) {
      std::vector<char> text;
      DebugText(text, &n->value, 0);
      text.push_back('\0');
      console->Output("%s(%d) = %s\n", VariableName_FromID(n->id), n->id, text.data());
    }
  }
}

// ---- The global scope -------------------------------------------------------

CVariableList* GlobalVar_List() {
  if (!g_globals) g_globals = std::make_unique<CVariableList>();
  return g_globals.get();
}

void GlobalVar_Init() {
  g_globals = std::make_unique<CVariableList>();
  g_globalvarTable.assign(kGlobalvarInitial, 0);
}

VariableNode* GlobalVar_Declare(int32_t id) {
  if (id < kFirstUserVariableId) return nullptr;
  size_t entry = size_t(id - kFirstUserVariableId);
  while (g_globalvarTable.size() <= entry) g_globalvarTable.resize(g_globalvarTable.size() + kGlobalvarStep, 0);
  g_globalvarTable[entry] = 1;
  return GlobalVar_List()->FindOrInsert(id);
}

bool GlobalVar_IsDeclared(int32_t id) {
  if (id < kFirstUserVariableId) return false;
  size_t entry = size_t(id - kFirstUserVariableId);
  return entry < g_globalvarTable.size() && g_globalvarTable[entry];
}

int32_t GlobalVar_TableSize() { return int32_t(g_globalvarTable.size()); }

bool GlobalVar_Save(ValueStream* buffer) {
  bool ok = GlobalVar_List()->Save(buffer);
  ok = WriteS32(buffer, int32_t(g_globalvarTable.size())) && ok;
  for (uint8_t e : g_globalvarTable) ok = WriteS32(buffer, e) && ok;
  return ok;
}

bool GlobalVar_Load(ValueStream* buffer) {
  auto list = std::make_unique<CVariableList>();
  if (!list->Load(buffer)) return false;
  int32_t count = 0;
  if (!ReadS32(buffer, &count) || count < 0) return false;
  std::vector<uint8_t> table;
  for (int32_t i = 0; i < count; ++i) {
    int32_t e = 0;
    if (!ReadS32(buffer, &e)) return false;
    table.push_back(e != 0);
  }
  g_globals = std::move(list);
  g_globalvarTable = std::move(table);
  return true;
}

void Variable_FreeAll() {
  g_globals.reset();
  g_globalvarTable.clear();
  g_globalvarTable.shrink_to_fit();
}

void Variables_SetUnsetIsError(bool on) { g_unsetIsError = on; }

bool Variables_UnsetIsError() { return g_unsetIsError; }
