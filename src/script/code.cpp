#include "script/code.h"

#include <cctype>
#include <cstring>

#include "script/bytecode.h"
#include "script/native_code.h"
#include "script/parse_tree.h"

namespace {
CCode* g_codeList = nullptr;
int g_codeCount = 0;
CodeRecordLookup g_recordLookup = nullptr;
const NativeCodeEntry* g_nativeTable = nullptr;
int32_t g_nativeCount = 0;
}  // namespace

void Code_SetRecordLookup(CodeRecordLookup lookup) { g_recordLookup = lookup; }

void Code_SetNativeTable(const NativeCodeEntry* table, int32_t count) {
  g_nativeTable = table;
  g_nativeCount = table ? count : 0;
}

bool Code_HasNativeTable() { return g_nativeTable != nullptr; }

const NativeCodeEntry* Code_NativeEntry(int index) {
  return g_nativeTable && index >= 0 && index < g_nativeCount ? &g_nativeTable[index] : nullptr;
}

CCode* Code_ListHead() { return g_codeList; }
int Code_ListCount() { return g_codeCount; }

CCode::CCode(std::string text, bool asExpression) : kind_(asExpression ? kExpression : kProgram), source_(std::move(text)) {}

CCode::CCode(int index, bool asExpression) : kind_(asExpression ? kExpression : kProgram), index_(index) {
  unlisted_ = false;
  if (g_nativeTable) {
    if ((native_ = Code_NativeEntry(index))) name_ = native_->name ? native_->name : "";
  } else if (IndexedCode record; g_recordLookup && g_recordLookup(index, &record)) {
    bytecode_ = record.bytecode;
    name_ = std::move(record.name);
    source_ = std::move(record.source);
    lineTable_ = std::move(record.lineTable);
  }
  compiled_ = true;
  if (index >= 0) {
    next_ = g_codeList;
    g_codeList = this;
    ++g_codeCount;
  } else {
    unlisted_ = true;
  }
}

CCode::~CCode() {
  if (!unlisted_) {
    for (CCode** p = &g_codeList; *p; p = &(*p)->next_) {
      if (*p == this) {
        *p = next_;
        --g_codeCount;
        break;
      }
    }
  }
  ScriptValue_Free(&constant_);
}

void CCode::SetName(std::string_view name) {
  name_.assign(name);
  for (char& c : name_)
    if (std::isspace(static_cast<unsigned char>(c))) c = '_';
}

const VMLineRecord* VMDebugInfo_Find(const VMBuffer* lineTable, int32_t offset) {
  if (!lineTable || !lineTable->Data()) return nullptr;
  const auto* records = reinterpret_cast<const VMLineRecord*>(lineTable->Data());
  size_t count = size_t(lineTable->Size()) / sizeof(VMLineRecord);
  const VMLineRecord* found = nullptr;
  for (size_t i = 0; i < count && offset >= records[i].offset; ++i) found = &records[i];
  return found;
}

std::string SourceText_LineText(const VMLineRecord* record, const char* text) {
  if (!record || !text) return "<unknown source line>";
  // A byte offset, as for the line number: counted in characters, text
  // before the line that holds more than ASCII would show a later line.
  const int len = int(std::strlen(text));
  int p = record->position;
  if (p > len) p = len - 1;
  const char* lineStart = text;
  for (int i = 0; i < p; ++i)
    if (text[i] == '\n') lineStart = text + i + 1;
  std::string line;
  for (const char* c = lineStart; *c && *c != '\r' && *c != '\n' && line.size() < 254; ++c) line += *c;
  return line;
}

int SourceText_LineNumber(const VMLineRecord* record, const char* text, std::string* fileName) {
  if (!record || !text) return -1;
  int len = int(std::strlen(text));
  int p = record->position;
  if (p >= len) p = len - 1;
  if (p < 0) return -1;
  int count = 0;
  for (int i = p; i > 0;) {
    --i;
    while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
    if (text[i] != '\n') continue;
    if (std::strncmp(text + i + 1, "#line ", 6) == 0) {
      const char* name = text + i + 7;
      const char* nameEnd = name;
      while (*nameEnd && !std::isspace(static_cast<unsigned char>(*nameEnd))) ++nameEnd;
      const char* num = nameEnd;
      while (*num == ' ' || *num == '\t') ++num;
      if (fileName) fileName->assign(name, nameEnd);
      return std::atoi(num) + count - 1;
    }
    ++count;
  }
  return count + 1;
}
