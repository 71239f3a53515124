// Code objects: one unit of executable script (an event, a script body,
// creation code, an expression) in whichever forms exist — the game's
// compiled native function, bytecode, or a parse tree — and the routines
// that turn a bytecode position into a source line.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "script/value.h"

class VMBuffer;
struct NativeCodeEntry;
struct ParseNode;

class CCode {
 public:
  enum Kind : int32_t { kProgram = 1, kExpression = 2, kConstantExpression = 3 };

  // Code made from text at run time; compiled by its owner later.
  CCode(std::string text, bool asExpression);
  // Code of entry `index` of the game's compiled-code table or CODE chunk.
  CCode(int index, bool asExpression);
  ~CCode();
  CCode(const CCode&) = delete;
  CCode& operator=(const CCode&) = delete;

  const char* GetText() const { return source_.c_str(); }
  const std::string& Name() const { return name_; }
  void SetName(std::string_view name);  // white space becomes '_'
  int32_t Kind() const { return kind_; }
  bool Compiled() const { return compiled_; }
  int32_t Index() const { return index_; }
  const NativeCodeEntry* Native() const { return native_; }
  const VMBuffer* Bytecode() const { return bytecode_; }
  const VMBuffer* LineTable() const { return lineTable_.get(); }
  const ScriptValue& Constant() const { return constant_; }
  // Compiles code made from text through every phase of the run-time
  // compiler (compiler.h); false after the first error, whose text is the
  // pending error (code_run.h). A code object compiles at most once.
  bool Compile(std::string_view name);
  // The rewritten parse tree of code compiled from text, or null.
  const ParseNode* Tree() const { return tree_.get(); }
  bool Listed() const { return !unlisted_; }
  CCode* NextListed() const { return next_; }

 private:
  CCode* next_ = nullptr;
  int32_t kind_ = kProgram;
  bool compiled_ = false;
  std::string source_;
  ScriptValue constant_;
  const VMBuffer* bytecode_ = nullptr;  // the code table's, or ownBytecode_
  std::unique_ptr<VMBuffer> ownBytecode_;  // compiled from text
  std::unique_ptr<ParseNode> tree_;
  std::unique_ptr<VMBuffer> lineTable_;
  std::string name_;
  int32_t index_ = -1;
  const NativeCodeEntry* native_ = nullptr;
  bool unlisted_ = true;
};

// Where code objects made from an index find their body. The world installs
// both when the game loads; until then such code objects have no body.
struct IndexedCode {
  const VMBuffer* bytecode = nullptr;  // borrowed from the world's code table
  std::string name;
  std::string source;  // from the debug information, "" when none
  std::unique_ptr<VMBuffer> lineTable;
};
// The container's code entry `index`; false when there is none.
using CodeRecordLookup = bool (*)(int index, IndexedCode* out);
void Code_SetRecordLookup(CodeRecordLookup lookup);
// The game's compiled code table, which, when present, holds every body.
void Code_SetNativeTable(const NativeCodeEntry* table, int32_t count);
bool Code_HasNativeTable();
// Entry `index` of the compiled table; null outside it.
const NativeCodeEntry* Code_NativeEntry(int index);

// Every code object made from an index, newest first.
CCode* Code_ListHead();
int Code_ListCount();

// One record of a line table: a bytecode offset and a source position.
struct VMLineRecord {
  int32_t offset;
  int32_t position;
};
// The last record whose offset is not above `offset`; null when none.
const VMLineRecord* VMDebugInfo_Find(const VMBuffer* lineTable, int32_t offset);
// The text of the line holding the record's position (at most 254 bytes);
// "<unknown source line>" for a null record.
std::string SourceText_LineText(const VMLineRecord* record, const char* text);
// 1-based line of the record's position, honouring "#line N name"
// directives; -1 for a null record. `fileName` receives a directive's name.
int SourceText_LineNumber(const VMLineRecord* record, const char* text, std::string* fileName);
