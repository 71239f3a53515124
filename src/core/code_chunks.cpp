#include "core/code_chunks.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <vector>

#include "core/events.h"
#include "core/native_game.h"
#include "script/function_registry.h"
#include "script/scripts.h"
#include "script/value.h"
#include "script/variable_names.h"
#include "script/vm_verify.h"

namespace {

// Which reference chunk a chain belongs to.
enum class Chain { kVari, kFunc };

// Who bound an instruction's operand: the container offset of the reference
// record (never 0), and the walk that did it.
struct Binding {
  uint32_t owner = 0;
  uint32_t walk = 0;
};

// One distinct instruction stream of the container. Code-table entries that
// name the same record share it, so a binding reaches every copy.
struct Stream {
  uint32_t start = 0;  // container offset of the first instruction
  uint32_t length = 0;
  std::vector<int> records;
  std::vector<uint32_t> starts;  // instruction offsets within the stream, ascending
  std::vector<Binding> vari, func;  // one per instruction
};

struct CodeTable {
  const GameDataFile* file = nullptr;  // the container the table was read from
  std::vector<CodeRecord> records;
  std::vector<Stream> streams;  // ascending by start, none overlapping
  uint32_t walks = 0;
};
CodeTable g_code;

std::vector<uint32_t> g_strings;  // offsets of the string records
const GameDataFile* g_stringFile = nullptr;
std::vector<ScriptValue> g_globalSlots;  // the compiled code's global variables

constexpr uint32_t kReferenceRecordSize = 12;
// The aborting error display formats into a buffer of this size.
constexpr size_t kLoadErrorMax = 1024;

[[gnu::format(printf, 1, 2)]] std::string Format(const char* fmt, ...) {
  va_list ap, ap2;
  va_start(ap, fmt);
  va_copy(ap2, ap);
  const int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string out(n > 0 ? size_t(n) : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), out.size() + 1, fmt, ap2);
  va_end(ap2);
  return out;
}

// Container offset `off + add`, kept from wrapping: a result past the
// container fails its bounds check like any other.
uint32_t Advance(uint32_t off, uint32_t add) { return uint32_t(std::min<uint64_t>(uint64_t(off) + add, UINT32_MAX)); }

// Names inside messages: quoted, shortened, control characters shown as '?'.
std::string Shown(std::string_view name) {
  std::string out = "\"";
  for (size_t i = 0; i < name.size() && i < 80; ++i) {
    const unsigned char c = name[i];
    out += c < 0x20 || c == 0x7F ? '?' : char(c);
  }
  if (name.size() > 80) out += "...";
  return out + "\"";
}

// The two texts shown when a name cannot be bound. Like the display's buffer,
// the text ends after 1,023 bytes, never inside a UTF-8 character.
std::string UnresolvedText(Chain chain, std::string_view name) {
  std::string text = chain == Chain::kVari ? "Error on load\nUnable to find variable "
                                           : "Error on load\nUnable to find function ";
  text.append(name);
  text += '\n';
  if (text.size() > kLoadErrorMax - 1) {
    size_t cut = kLoadErrorMax - 1;
    while (cut > 0 && (uint8_t(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  return text;
}

std::string RecordLabel(size_t index, std::string_view name) {
  return Format("CODE record %zu %s", index, Shown(name).c_str());
}

std::string StreamLabel(const CodeTable& table, const Stream& s) {
  const CodeRecord& r = table.records[size_t(s.records.front())];
  return RecordLabel(size_t(s.records.front()), r.name);
}

bool TableBelongsTo(const GameDataFile& file) { return g_code.file == &file; }

// Splits a stream into instructions; DataError when one runs past its end.
void Decode(const GameDataFile& file, const CodeTable& table, Stream& s) {
  uint32_t pos = 0;
  while (pos < s.length) {
    const uint32_t word = file.U32(s.start + pos);
    const uint32_t len = VM_InstructionLength(word);
    if (len > s.length - pos) {
      throw DataError(Format("%s: the %s instruction at +0x%X needs %u bytes, but its code ends %u bytes later",
                             StreamLabel(table, s).c_str(), VM_InstructionName(word).c_str(), pos, len,
                             s.length - pos));
    }
    s.starts.push_back(pos);
    pos += len;
  }
  s.vari.assign(s.starts.size(), Binding());
  s.func.assign(s.starts.size(), Binding());
}

// The stream and instruction at a container offset.
struct Site {
  Stream* stream;
  size_t index;  // of the instruction in the stream
};

std::optional<Site> Locate(int64_t off, std::string& why) {
  if (g_code.streams.empty()) {
    why = "lies outside every CODE record (no code was loaded)";
    return std::nullopt;
  }
  auto it = std::upper_bound(g_code.streams.begin(), g_code.streams.end(), off,
                             [](int64_t o, const Stream& s) { return o < int64_t(s.start); });
  if (it == g_code.streams.begin() || off >= int64_t((it - 1)->start) + (it - 1)->length) {
    why = "lies outside every CODE record's instructions";
    return std::nullopt;
  }
  Stream& s = *(it - 1);
  const uint32_t rel = uint32_t(off - s.start);
  auto at = std::lower_bound(s.starts.begin(), s.starts.end(), rel);
  if (at == s.starts.end() || *at != rel) {
    why = Format("falls between two instructions of %s", StreamLabel(g_code, s).c_str());
    return std::nullopt;
  }
  return Site{&s, size_t(at - s.starts.begin())};
}

bool RightForm(Chain chain, uint32_t word) {
  const uint8_t op = VM_Opcode(word), t1 = VM_Type1(word);
  if (chain == Chain::kFunc) return op == kOpCall && t1 == kVMInt;
  // Both pop forms (value below or on top of the target) carry a VariableRef.
  return (op == kOpPush && t1 == kVMVariable) || (op == kOpPop && (t1 == kVMVariable || t1 == kVMInt));
}

// Walks the chain of the reference record at container offset `at` and
// returns its occurrences; DataError for anything that is not a clean chain
// of instructions of the right form. Nothing is bound yet.
std::vector<Site> WalkChain(Chain chain, const GameDataFile& file, uint32_t at, size_t entry, std::string_view name,
                            uint32_t count, uint32_t first) {
  const char* tag = chain == Chain::kVari ? "VARI" : "FUNC";
  const uint32_t walk = ++g_code.walks;
  std::vector<Site> sites;
  int64_t off = first;
  for (uint32_t i = 0; i < count; ++i) {
    auto fail = [&](const std::string& what) {
      return DataError(Format("%s entry %zu %s: occurrence %u of %u at offset %lld %s", tag, entry,
                              Shown(name).c_str(), i + 1, count, static_cast<long long>(off), what.c_str()));
    };
    std::string why;
    std::optional<Site> site = Locate(off, why);
    if (!site) throw fail(why);
    const uint32_t word = file.U32(uint32_t(off));
    if (!RightForm(chain, word)) {
      throw fail(Format("is a %s instruction, not %s", VM_InstructionName(word).c_str(),
                        chain == Chain::kVari ? "a push or pop of a variable" : "a call.i"));
    }
    Binding& b = (chain == Chain::kVari ? site->stream->vari : site->stream->func)[site->index];
    if (b.walk == walk) throw fail("was reached before: the chain loops");
    if (b.owner != 0 && b.owner != at) {
      throw fail(Format("already belongs to the chain of %s", Shown(file.String(file.U32(b.owner))).c_str()));
    }
    b = {at, walk};
    sites.push_back(*site);
    if (i + 1 == count) break;
    const uint32_t operand = file.U32(uint32_t(off) + 4);
    // A VARI operand keeps the instruction's flags in its top 3 bits.
    const int64_t distance = chain == Chain::kVari ? int64_t(int32_t(operand << 3) >> 3) : int64_t(int32_t(operand));
    off += distance;
  }
  return sites;
}

struct Reference {
  uint32_t at;  // container offset of the record
  std::string_view name;
  uint32_t count;
  uint32_t first;
};

Reference ReadReference(const ChunkBody& body, size_t entry) {
  const GameDataFile& f = body.File();
  const uint32_t at = body.Start() + uint32_t(entry) * kReferenceRecordSize;
  try {
    return {at, f.String(f.U32(at)), f.U32(at + 4), f.U32(at + 8)};
  } catch (const DataError& e) {
    throw DataError(Format("%s entry %zu: %s", body.Ref().tag, entry, e.what()));
  }
}

// Writes `value` into the operand of every occurrence, in every copy; a VARI
// operand keeps its top 3 bits.
void Bind(Chain chain, const GameDataFile& file, const std::vector<Site>& sites, uint32_t value) {
  for (const Site& site : sites) {
    const uint32_t operandAt = site.stream->starts[site.index] + 4;
    uint32_t operand = value;
    if (chain == Chain::kVari) {
      const uint32_t old = file.U32(site.stream->start + operandAt);
      operand = (old & VariableRef::kFlagMask) | (value & VariableRef::kIdMask);
    }
    for (int r : site.stream->records) g_code.records[size_t(r)].code->SetWordAt(operandAt, operand);
  }
}

void LoadReferences(Chain chain, const ChunkBody& body) {
  const GameDataFile& f = body.File();
  const size_t n = body.Length() / kReferenceRecordSize;
  for (size_t entry = 0; entry < n; ++entry) {
    const Reference ref = ReadReference(body, entry);
    int id;
    if (chain == Chain::kVari) {
      id = VariableName_ToID(ref.name);
      if (id < 0) throw LoadError(UnresolvedText(chain, ref.name));
      if (uint32_t(id) > VariableRef::kIdMask) {
        throw DataError(Format("VARI entry %zu %s: variable id %d does not fit an operand", entry,
                               Shown(ref.name).c_str(), id));
      }
    } else {
      id = FunctionRegistry_Find(ref.name);
      if (id < 0) throw LoadError(UnresolvedText(chain, ref.name));
    }
    if (!TableBelongsTo(f)) {
      // Without code from this container every chain points nowhere.
      g_code = CodeTable();
      g_code.file = &f;
    }
    Bind(chain, f, WalkChain(chain, f, ref.at, entry, ref.name, ref.count, ref.first), uint32_t(id));
  }
}

}  // namespace

// ---- Header pass -------------------------------------------------------------

void Code_Clear() {
  g_code = CodeTable();
  g_strings.clear();
  g_stringFile = nullptr;
}

void Code_Load(const ChunkBody& body) {
  // Built aside and kept only when whole: a refused chunk leaves no table.
  g_code = CodeTable();
  CodeTable table;
  const GameDataFile& f = body.File();
  const std::vector<uint32_t> list = body.OffsetList();
  table.file = &f;
  table.records.resize(list.size());

  std::vector<Stream> streams;
  for (size_t i = 0; i < list.size(); ++i) {
    const uint32_t rec = list[i];
    if (!rec) continue;
    std::string name;
    uint32_t length;
    try {
      name = std::string(f.String(f.U32(rec)));
      length = f.U32(Advance(rec, 4));
    } catch (const DataError& e) {
      throw DataError(Format("CODE record %zu at offset %u: %s", i, rec, e.what()));
    }
    const uint64_t start = uint64_t(rec) + 8;
    if (start + length > f.Size()) {
      throw DataError(Format("%s at offset %u: its %u bytes of code run past the end of the container",
                             RecordLabel(i, name).c_str(), rec, length));
    }
    if (length % 4) {
      throw DataError(Format("%s: its length %u is not a whole number of instruction words",
                             RecordLabel(i, name).c_str(), length));
    }
    CodeRecord& r = table.records[i];
    r.name = std::move(name);
    r.offset = rec;
    r.code = std::make_unique<VMBuffer>(f.Bytes(uint32_t(start), length));
    if (length == 0) continue;
    Stream s;
    s.start = uint32_t(start);
    s.length = length;
    s.records.push_back(int(i));
    streams.push_back(std::move(s));
  }

  // Entries naming one record share its stream; any other overlap would give
  // one instruction two different copies to bind.
  std::stable_sort(streams.begin(), streams.end(), [](const Stream& a, const Stream& b) { return a.start < b.start; });
  for (Stream& s : streams) {
    if (!table.streams.empty()) {
      Stream& last = table.streams.back();
      if (s.start == last.start && s.length == last.length) {
        last.records.push_back(s.records.front());
        continue;
      }
      if (uint64_t(last.start) + last.length > s.start) {
        throw DataError(
            Format("%s and %s overlap", StreamLabel(table, last).c_str(), StreamLabel(table, s).c_str()));
      }
    }
    table.streams.push_back(std::move(s));
  }
  for (Stream& s : table.streams) Decode(f, table, s);
  // The machine trusts checked code; damaged code is refused here, once.
  for (const Stream& s : table.streams) {
    std::string why;
    auto info = VM_Verify(*table.records[size_t(s.records.front())].code, &why);
    if (!info) throw DataError(Format("%s: %s", StreamLabel(table, s).c_str(), why.c_str()));
    for (int r : s.records) table.records[size_t(r)].code->SetInfo(info);
  }
  g_code = std::move(table);
}

void Strings_Load(const ChunkBody& body) {
  g_strings = body.OffsetList();
  g_stringFile = &body.File();
  // Every record is checked once here, so later look-ups cannot go astray.
  for (uint32_t rec : g_strings)
    if (rec) body.File().String(Advance(rec, 4));
}

void VARI_Load(const ChunkBody& body) { LoadReferences(Chain::kVari, body); }

size_t Strings_Count() { return g_strings.size(); }

std::string_view Strings_Get(size_t n) {
  if (n >= g_strings.size() || !g_stringFile) throw DataError("string index " + std::to_string(n) + " is out of range");
  uint32_t rec = g_strings[n];
  return rec ? g_stringFile->String(Advance(rec, 4)) : std::string_view();
}

size_t Code_Count() { return g_code.records.size(); }

const CodeRecord* Code_GetRecord(int n) {
  if (n < 0 || size_t(n) >= g_code.records.size()) return nullptr;
  const CodeRecord& r = g_code.records[size_t(n)];
  return r.code ? &r : nullptr;
}

// ---- Main pass ------------------------------------------------------------------

void Code_AllocateGlobalSlots() {
  const NativeGameHeader& h = NativeGame_Get();
  if (g_globalSlots.empty() && h.global_slots > 0) g_globalSlots.resize(size_t(h.global_slots));
}

ScriptValue* Code_GlobalSlots() { return g_globalSlots.empty() ? nullptr : g_globalSlots.data(); }

bool Code_PatchAllStrings(const ChunkBody& body) {
  if (!TableBelongsTo(body.File())) throw DataError("the CODE chunk was not read before the chunk walk");
  // The machine looks strings up by index, so the operands stay as they are;
  // an index the table does not have would be read past its end.
  for (const Stream& s : g_code.streams) {
    const VMBuffer& code = *g_code.records[size_t(s.records.front())].code;
    for (uint32_t pos : s.starts) {
      const uint32_t word = code.WordAt(pos);
      if (!(VM_Opcode(word) & kOpClassOperand) || VM_Type1(word) != kVMString) continue;
      const uint32_t index = code.WordAt(pos + 4);
      if (index >= Strings_Count()) {
        throw DataError(Format("%s: the %s instruction at +0x%X names string %u, but there are only %zu strings",
                               StreamLabel(g_code, s).c_str(), VM_InstructionName(word).c_str(), pos, index,
                               Strings_Count()));
      }
    }
  }
  return true;
}

bool FUNC_Load(const ChunkBody& body) {
  LoadReferences(Chain::kFunc, body);
  return true;
}


// The compiled code reaches variables and built-ins through ids bound here,
// once the chunks are read (a game's own variable names are created then).
// An unregistered function keeps id -1, which the registry's call refuses.
void Code_ResolveNativeReferences() {
  const NativeGameHeader& h = NativeGame_Get();
  if (h.var_refs)
    for (NativeVarRef* const* r = h.var_refs; *r; ++r) (*r)->id = VariableName_ToID((*r)->name ? (*r)->name : "");
  if (h.func_refs)
    for (NativeFuncRef* const* r = h.func_refs; *r; ++r)
      (*r)->id = FunctionRegistry_Find((*r)->name ? (*r)->name : "");
}

bool Script_Load(const ChunkBody& body) {
  const GameDataFile& file = body.File();
  const std::vector<uint32_t> records = body.OffsetList();
  const bool fromTable = Event_CodeFromTable();
  const NativeGameHeader& native = NativeGame_Get();
  const int64_t codeCount = native.code_table ? native.code_count : int64_t(Code_Count());
  std::vector<std::unique_ptr<CScript>> scripts(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (!records[i]) continue;
    try {
      auto script = std::make_unique<CScript>(std::string(file.String(file.U32(records[i]))));
      const uint32_t second = file.U32(records[i] + 4);
      if (fromTable) {
        if (int64_t(int32_t(second)) < 0 || int64_t(second) >= codeCount) {
          throw DataError("it names code entry " + std::to_string(int32_t(second)) + ", but the code table has " +
                          std::to_string(codeCount) + " entries");
        }
        script->SetCodeIndex(int32_t(second));
      } else {
        script->SetText(std::string(file.String(second)));
      }
      scripts[i] = std::move(script);
    } catch (const DataError& e) {
      throw DataError("SCPT script " + std::to_string(i) + " at " + GameData_Hex(records[i]) + ": " + e.what());
    }
  }
  Script_SetTable(std::move(scripts));
  return true;
}
