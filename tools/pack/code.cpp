#include "code.h"

#include "numbers.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace twpack {
namespace {

constexpr uint32_t kNoIndex = 1u << 31;
constexpr uint32_t kInstanceId = 1u << 30;
constexpr uint32_t kImmediateInstance = 1u << 29;
constexpr uint32_t kIdBits = 0x1FFFFFFF;
constexpr int32_t kFirstInstanceId = 100000;

uint32_t Word(uint8_t op, T t1, T t2, int16_t immediate) {
  return uint32_t(op) << 24 | uint32_t(t2) << 20 | uint32_t(t1) << 16 | uint16_t(immediate);
}

// ---- Reading instruction lines -------------------------------------------------

int64_t Int(const CodeRecord::Arg& a, int64_t min, int64_t max, const char* what) {
  int64_t n = 0;
  const bool ok = !a.quoted && ParseInteger(a.text, &n);
  if (!ok || n < min || n > max) {
    throw PackError("bad " + std::string(what) + " '" + a.text + "' (" + std::to_string(min) + " to " +
                    std::to_string(max) + ")");
  }
  return n;
}

double Real(const CodeRecord::Arg& a) {
  char* end = nullptr;
  const double v = std::strtod(a.text.c_str(), &end);
  if (a.quoted || a.text.empty() || *end != '\0') throw PackError("bad real number '" + a.text + "'");
  return v;
}

T TypeOf(std::string_view suffix) {
  static const char kLetters[] = "dfilbvs";
  if (suffix.size() == 1) {
    if (suffix[0] == 'e') return T::E;
    if (const char* p = std::strchr(kLetters, suffix[0]); p && *p) return T(p - kLetters);
  }
  throw PackError("bad type '." + std::string(suffix) + "'");
}

bool IsName(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

// "self.score", "global.list[]", "-6.x", "3.speed", "100005.hp", "stack.x".
Var VarOf(const CodeRecord::Arg& a) {
  const size_t dot = a.text.find('.');
  if (a.quoted || dot == std::string::npos) throw PackError("expected INSTANCE.NAME, got '" + a.text + "'");
  const std::string inst = a.text.substr(0, dot);
  Var v;
  v.name = a.text.substr(dot + 1);
  if (v.name.size() > 2 && v.name.ends_with("[]")) {
    v.indexed = true;
    v.name.resize(v.name.size() - 2);
  }
  if (!IsName(v.name)) throw PackError("bad variable name in '" + a.text + "'");
  static const std::pair<const char*, int32_t> kNames[] = {{"self", kSelf},     {"other", kOther},
                                                           {"all", kAll},       {"noone", kNoone},
                                                           {"global", kGlobal}, {"local", kLocal}};
  if (inst == "stack") {
    v.on_stack = true;
    return v;
  }
  for (const auto& [name, number] : kNames) {
    if (inst == name) {
      v.instance = number;
      return v;
    }
  }
  v.instance = int32_t(Int({inst, false}, -32768, kFirstInstanceId + 32767, "instance"));
  return v;
}

void Count(const std::vector<CodeRecord::Arg>& args, size_t n, const std::string& mnemonic) {
  if (args.size() > n) throw PackError("unexpected '" + args[n].text + "' after '" + mnemonic + "'");
  if (args.size() < n) throw PackError("'" + mnemonic + "' needs " + std::to_string(n) + " argument(s)");
}

struct Named {
  const char* name;
  uint8_t op;
};
constexpr Named kTwoTypes[] = {{"conv", op::kConv}, {"mul", op::kMul}, {"div", op::kDiv}, {"rem", op::kRem},
                               {"mod", op::kMod},   {"add", op::kAdd}, {"sub", op::kSub}, {"and", op::kAnd},
                               {"or", op::kOr},     {"xor", op::kXor}, {"shl", op::kShl}, {"shr", op::kShr},
                               {"slt", op::kSlt},   {"sle", op::kSle}, {"seq", op::kSeq}, {"sne", op::kSne},
                               {"sge", op::kSge},   {"sgt", op::kSgt}};
constexpr Named kOneType[] = {{"neg", op::kNeg},   {"not", op::kNot},   {"ret", op::kRet},
                              {"exit", op::kExit}, {"popz", op::kPopz}, {"dup", op::kDup}};
constexpr Named kBranches[] = {
    {"b", op::kB}, {"bt", op::kBt}, {"bf", op::kBf}, {"pushenv", op::kPushEnv}, {"popenv", op::kPopEnv}};

template <size_t N>
const Named* Find(const Named (&table)[N], std::string_view name) {
  for (const Named& n : table)
    if (name == n.name) return &n;
  return nullptr;
}

}  // namespace

// ---- CodeRecord ------------------------------------------------------------------

CodeRecord& CodeRecord::Emit(uint32_t word, std::initializer_list<uint32_t> operands) {
  words_.push_back(word);
  words_.insert(words_.end(), operands.begin(), operands.end());
  return *this;
}

CodeRecord& CodeRecord::PushE(int16_t v) { return Emit(Word(op::kPush, T::E, T::D, v), {}); }
CodeRecord& CodeRecord::PushI(int32_t v) { return Emit(Word(op::kPush, T::I, T::D, 0), {uint32_t(v)}); }
CodeRecord& CodeRecord::PushB(bool v) { return Emit(Word(op::kPush, T::B, T::D, 0), {v ? 1u : 0u}); }

CodeRecord& CodeRecord::PushF(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return Emit(Word(op::kPush, T::F, T::D, 0), {bits});
}

CodeRecord& CodeRecord::PushD(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return Emit(Word(op::kPush, T::D, T::D, 0), {uint32_t(bits), uint32_t(bits >> 32)});
}

CodeRecord& CodeRecord::PushL(int64_t v) {
  const auto bits = uint64_t(v);
  return Emit(Word(op::kPush, T::L, T::D, 0), {uint32_t(bits), uint32_t(bits >> 32)});
}

CodeRecord& CodeRecord::PushS(std::string_view text) {
  return Emit(Word(op::kPush, T::S, T::D, 0), {w_->AddString(text)});
}

CodeRecord& CodeRecord::Variable(uint8_t op, T t1, T t2, const Var& v) {
  if (!IsName(v.name)) throw PackError("bad variable name '" + v.name + "'");
  uint32_t flags = v.indexed ? 0 : kNoIndex;
  int32_t immediate = 0;
  if (!v.on_stack) {
    flags |= kImmediateInstance;
    immediate = v.instance;
    if (v.instance >= kFirstInstanceId) {
      flags |= kInstanceId;
      immediate = v.instance - kFirstInstanceId;
    }
    if (immediate < -32768 || immediate > 32767) {
      throw PackError("instance " + std::to_string(v.instance) + " does not fit a variable operand");
    }
  }
  vars_.push_back({words_.size(), v.name});
  // The id bits are 0 until the chain distance is known.
  return Emit(Word(op, t1, t2, int16_t(immediate)), {flags});
}

CodeRecord& CodeRecord::PushV(const Var& v) { return Variable(op::kPush, T::V, T::D, v); }
CodeRecord& CodeRecord::PopV(T value, const Var& v) { return Variable(op::kPop, T::V, value, v); }
CodeRecord& CodeRecord::PopI(T value, const Var& v) { return Variable(op::kPop, T::I, value, v); }
CodeRecord& CodeRecord::PopE(T value, int16_t immediate) { return Emit(Word(op::kPop, T::E, value, immediate), {}); }

CodeRecord& CodeRecord::Call(std::string_view function, uint16_t argc) {
  if (function.empty()) throw PackError("call of a function without a name");
  funcs_.push_back({words_.size(), std::string(function)});
  return Emit(Word(op::kCall, T::I, T::D, int16_t(argc)), {0});
}

CodeRecord& CodeRecord::Op2(uint8_t op, T t1, T t2) { return Emit(Word(op, t1, t2, 0), {}); }

CodeRecord& CodeRecord::Op1(uint8_t op, T t, int16_t immediate) { return Emit(Word(op, t, T::D, immediate), {}); }

CodeRecord& CodeRecord::Place(std::string_view label) {
  if (!labels_.emplace(std::string(label), words_.size()).second) {
    throw PackError("label '" + std::string(label) + "' placed twice in " + name_);
  }
  return *this;
}

CodeRecord& CodeRecord::Branch(uint8_t op, std::string_view label) {
  branches_.emplace_back(words_.size(), std::string(label));
  return Emit(uint32_t(op) << 24, {});
}

CodeRecord& CodeRecord::PopEnvExit() { return Emit(0xBCF00000u, {}); }

CodeRecord& CodeRecord::Break(int16_t immediate) { return Emit(Word(op::kBreak, T::E, T::E, immediate), {}); }

CodeRecord& CodeRecord::Raw(uint32_t word, std::initializer_list<uint32_t> operands) { return Emit(word, operands); }

CodeRecord& CodeRecord::Assemble(std::string_view mnemonic, const std::vector<Arg>& args) {
  const std::string m(mnemonic);
  if (m.size() > 1 && m.back() == ':') {
    Count(args, 0, m);
    return Place(m.substr(0, m.size() - 1));
  }
  if (m == "word") {
    if (args.empty()) throw PackError("'word' needs at least one number");
    for (const Arg& a : args) {
      words_.push_back(uint32_t(Int(a, std::numeric_limits<int32_t>::min(), 0xFFFFFFFF, "word")));
    }
    return *this;
  }
  if (m == "break") {
    Count(args, 1, m);
    return Break(int16_t(Int(args[0], -32768, 0xFFFF, "immediate")));
  }
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    const size_t dot = m.find('.', start);
    parts.push_back(m.substr(start, dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  const std::string& base = parts[0];
  std::vector<T> types;
  for (size_t i = 1; i < parts.size(); ++i) types.push_back(TypeOf(parts[i]));
  auto typeCount = [&](size_t n) {
    if (types.size() != n) throw PackError("'" + base + "' takes " + std::to_string(n) + " type(s), got '" + m + "'");
  };

  if (const Named* b = Find(kBranches, base)) {
    typeCount(0);
    Count(args, 1, m);
    if (b->op == op::kPopEnv && args[0].text == "exit" && !args[0].quoted) return PopEnvExit();
    if (args[0].quoted || args[0].text.empty()) throw PackError("'" + m + "' needs a label");
    return Branch(b->op, args[0].text);
  }
  if (const Named* n = Find(kTwoTypes, base)) {
    typeCount(2);
    Count(args, 0, m);
    return Op2(n->op, types[0], types[1]);
  }
  if (const Named* n = Find(kOneType, base)) {
    typeCount(1);
    if (n->op == op::kDup && !args.empty()) {
      Count(args, 1, m);
      return Op1(n->op, types[0], int16_t(Int(args[0], 0, 0xFFFF, "count")));
    }
    Count(args, 0, m);
    return Op1(n->op, types[0]);
  }
  if (base == "push") {
    typeCount(1);
    Count(args, 1, m);
    const Arg& a = args[0];
    switch (types[0]) {
      case T::E: return PushE(int16_t(Int(a, -32768, 0xFFFF, "immediate")));
      case T::I: return PushI(int32_t(Int(a, std::numeric_limits<int32_t>::min(), 0xFFFFFFFF, "int")));
      case T::B: return PushB(Int(a, 0, 1, "bool") != 0);
      case T::L:
        return PushL(Int(a, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), "long"));
      case T::F: return PushF(float(Real(a)));
      case T::D: return PushD(Real(a));
      case T::S:
        if (!a.quoted) throw PackError("'push.s' needs a quoted text");
        return PushS(a.text);
      case T::V: return PushV(VarOf(a));
    }
  }
  if (base == "pop") {
    typeCount(2);
    Count(args, 1, m);
    if (types[0] == T::V) return PopV(types[1], VarOf(args[0]));
    if (types[0] == T::I) return PopI(types[1], VarOf(args[0]));
    if (types[0] == T::E) return PopE(types[1], int16_t(Int(args[0], -32768, 0xFFFF, "immediate")));
    throw PackError("'" + m + "': pop stores into a variable as .v or .i, or moves the stack as .e");
  }
  if (base == "call") {
    typeCount(1);
    if (types[0] != T::I) throw PackError("'" + m + "': a call is call.i");
    Count(args, 2, m);
    if (args[0].quoted || !IsName(args[0].text)) throw PackError("bad function name '" + args[0].text + "'");
    return Call(args[0].text, uint16_t(Int(args[1], 0, 0xFFFF, "argument count")));
  }
  throw PackError("unknown instruction '" + m + "'");
}

// ---- CodeSet ---------------------------------------------------------------------

CodeRecord& CodeSet::AddRecord(std::string_view name) {
  if (finished_) throw PackError("code record added after the code was finished");
  slots_.emplace_back(new CodeRecord(&w_, std::string(name)));
  return *slots_.back();
}

void CodeSet::AddEmptySlot() {
  if (finished_) throw PackError("code slot added after the code was finished");
  slots_.emplace_back();
}

void CodeSet::PlaceCode() {
  if (code_) throw PackError("CODE chunk placed twice");
  code_ = &w_.AddChunk("CODE");
}

void CodeSet::PlaceVari() {
  if (vari_) throw PackError("VARI chunk placed twice");
  vari_ = &w_.AddChunk("VARI");
}

void CodeSet::PlaceFunc() {
  if (func_) throw PackError("FUNC chunk placed twice");
  func_ = &w_.AddChunk("FUNC");
}

void CodeSet::Finish() {
  if (finished_) throw PackError("code finished twice");
  finished_ = true;
  if (!code_ && (vari_ || func_)) throw PackError("VARI and FUNC chains need the CODE chunk");

  // Branches to their labels.
  for (auto& slot : slots_) {
    if (!slot) continue;
    CodeRecord& r = *slot;
    for (const auto& [at, label] : r.branches_) {
      auto it = r.labels_.find(label);
      if (it == r.labels_.end()) throw PackError("branch to unknown label '" + label + "' in " + r.name_);
      const int64_t offset = int64_t(it->second) - int64_t(at);
      r.words_[at] = (r.words_[at] & 0xFF000000u) | (uint32_t(offset) & 0xFFFFFF);
    }
  }

  // Body positions: the counted list, then each record {name, length, code}.
  std::vector<size_t> stream_at(slots_.size());
  size_t pos = 4 + 4 * slots_.size();
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (!slots_[i]) continue;
    stream_at[i] = pos + 8;
    pos += 8 + slots_[i]->size();
  }

  // Each name's occurrences, in layout order; each operand gets the distance
  // to the next one.
  struct Chain {
    std::string name;
    std::vector<std::pair<size_t, size_t>> uses;  // slot, word index
    Label first;
  };
  auto chains = [&](bool vari) {
    std::vector<Chain> out;
    std::map<std::string, size_t, std::less<>> index;
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (!slots_[i]) continue;
      for (const CodeRecord::Use& u : vari ? slots_[i]->vars_ : slots_[i]->funcs_) {
        auto [it, added] = index.emplace(u.name, out.size());
        if (added) out.push_back({u.name, {}, w_.NewLabel()});
        out[it->second].uses.emplace_back(i, u.word);
      }
    }
    for (const Chain& c : out) {
      for (size_t k = 0; k < c.uses.size(); ++k) {
        const auto [slot, word] = c.uses[k];
        int64_t distance = 0;
        if (k + 1 < c.uses.size()) {
          const auto [next_slot, next_word] = c.uses[k + 1];
          distance = int64_t(stream_at[next_slot] + 4 * next_word) - int64_t(stream_at[slot] + 4 * word);
        }
        uint32_t& operand = slots_[slot]->words_[word + 1];
        if (vari) {
          if (distance < -(int64_t(1) << 28) || distance >= (int64_t(1) << 28)) {
            throw PackError("variable " + c.name + ": occurrences too far apart for a VARI chain");
          }
          operand = (operand & ~kIdBits) | (uint32_t(distance) & kIdBits);
        } else {
          operand = uint32_t(distance);
        }
      }
    }
    return out;
  };
  const std::vector<Chain> vars = chains(true), funcs = chains(false);

  if (code_) {
    // The first occurrence of each name gets a label for its reference record.
    std::map<std::pair<size_t, size_t>, Label> firsts;
    for (const auto* list : {&vars, &funcs})
      for (const Chain& c : *list) firsts[c.uses.front()] = c.first;
    std::vector<Label> records(slots_.size());
    code_->U32(uint32_t(slots_.size()));
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i]) records[i] = w_.NewLabel();
      code_->OffsetOf(records[i]);
    }
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (!slots_[i]) continue;
      const CodeRecord& r = *slots_[i];
      code_->Bind(records[i]).StringRef(r.name_).U32(uint32_t(r.size()));
      for (size_t k = 0; k < r.words_.size(); ++k) {
        if (auto it = firsts.find({i, k}); it != firsts.end()) code_->Bind(it->second);
        code_->U32(r.words_[k]);
      }
    }
  }
  for (auto [chunk, list] : {std::pair{vari_, &vars}, std::pair{func_, &funcs}}) {
    if (!chunk) continue;
    for (const Chain& c : *list) chunk->StringRef(c.name).U32(uint32_t(c.uses.size())).OffsetOf(c.first);
  }
}

}  // namespace twpack
