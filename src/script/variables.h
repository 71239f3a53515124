// Variable lists (the global scope, each instance, each script call's
// locals) and the global scope with its globalvar table.
#pragma once
#include <cstdint>
#include <vector>

#include "script/value.h"
#include "script/variable_names.h"

class ValueStream;
class tagIConsole;

struct VariableNode {
  VariableNode* next;     // in the same bucket
  VariableNode* nextAll;  // newest first, through every node of the list
  ScriptValue value;
  int32_t id;
};

class CVariableList {
 public:
  static constexpr int kBuckets = 64;

  CVariableList() = default;
  virtual ~CVariableList();
  CVariableList(const CVariableList&) = delete;
  CVariableList& operator=(const CVariableList&) = delete;

  // Frees every value; the nodes go back to the shared pool.
  void Clear();
  // An unset variable reads as real 0 (true), or real 12345678.9 (false)
  // when the game makes reading unset variables an error.
  bool Read(int32_t id, int32_t arrayIndex, ScriptValue* out);
  bool Write(int32_t id, int32_t arrayIndex, ScriptValue* value);
  VariableNode* FindOrInsert(int32_t id);
  VariableNode* Find(int32_t id) const;
  // Deep copy of every variable (arrays cloned).
  void CopyFrom(const CVariableList& other);
  // Variables are saved by name, so a saved game survives a change in the
  // order of ids. Load is all or nothing: on damaged bytes the list is left
  // empty and the result is false.
  bool Save(ValueStream* buffer) const;
  bool Load(ValueStream* buffer);
  void Dump(tagIConsole* console) const;
  int32_t Count() const { return count_; }

 private:
  VariableNode* Insert(int32_t id);
  VariableNode* buckets_[kBuckets] = {};
  VariableNode* all_ = nullptr;
  int32_t count_ = 0;
};

// The debug text of a value, as variable dumps show it.
void ScriptValue_DebugText(std::vector<char>& out, const ScriptValue* value);

// ---- The global scope -------------------------------------------------------

CVariableList* GlobalVar_List();
// A fresh global list and a globalvar table of 10000 entries, all 0.
void GlobalVar_Init();
// Marks the id as declared with globalvar and makes sure the global list has
// it; null below 100000.
VariableNode* GlobalVar_Declare(int32_t id);
bool GlobalVar_IsDeclared(int32_t id);
int32_t GlobalVar_TableSize();
bool GlobalVar_Save(ValueStream* buffer);
bool GlobalVar_Load(ValueStream* buffer);
void Variable_FreeAll();

// The game's option that makes unset variables errors: a read of one then
// fails (and gives a marker value) instead of giving 0.
void Variables_SetUnsetIsError(bool on);
bool Variables_UnsetIsError();
