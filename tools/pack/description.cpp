// The text description read by tw-pack and by tests (format in pack.h).
#include <charconv>

#include "code.h"
#include "pack.h"

namespace twpack {
namespace {

// One word of a line: `bare`, `"text"`, `key=bare` or `key="text"`.
struct Tok {
  std::string key;  // empty without '='
  bool has_key = false;
  std::string value;
  bool quoted = false;
  std::string Show() const { return has_key ? key + "=" + value : value; }
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Quoted(std::string_view s, size_t& i) {
  std::string out;
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      ++i;
      return out;
    }
    if (c == '\\') {
      if (++i == s.size()) break;
      switch (s[i]) {
        case '"': c = '"'; break;
        case '\\': c = '\\'; break;
        case 'n': c = '\n'; break;
        case 't': c = '\t'; break;
        default: throw PackError(std::string("bad escape '\\") + s[i] + "'");
      }
    }
    out += c;
  }
  throw PackError("missing closing quote");
}

std::vector<Tok> Tokenize(std::string_view line) {
  std::vector<Tok> toks;
  size_t i = 0;
  auto bare = [&] {
    const size_t start = i;
    while (i < line.size() && !IsSpace(line[i]) && line[i] != '=' && line[i] != '"' && line[i] != '#') ++i;
    return std::string(line.substr(start, i - start));
  };
  while (true) {
    while (i < line.size() && IsSpace(line[i])) ++i;
    if (i == line.size() || line[i] == '#') return toks;
    Tok t;
    t.value = bare();
    if (i < line.size() && line[i] == '=') {
      t.key = std::move(t.value);
      t.has_key = true;
      ++i;
      t.value = i < line.size() && line[i] == '"' ? "" : bare();
    }
    if (i < line.size() && line[i] == '"') {
      if (!t.value.empty()) throw PackError("unexpected quote after '" + t.value + "'");
      t.value = Quoted(line, i);
      t.quoted = true;
    }
    if (i < line.size() && !IsSpace(line[i]) && line[i] != '#') {
      throw PackError(std::string("unexpected '") + line[i] + "' in '" + std::string(line) + "'");
    }
    toks.push_back(std::move(t));
  }
}

// Decimal or 0x-hex, optionally negative; negative values are stored as
// their 32-bit two's complement.
uint32_t Num(const Tok& t) {
  std::string_view s = t.value;
  const bool neg = !s.empty() && s[0] == '-';
  if (neg) s.remove_prefix(1);
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  uint64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  const uint64_t limit = neg ? 0x80000000u : 0xFFFFFFFFu;
  if (t.quoted || s.empty() || ec != std::errc() || end != s.data() + s.size() || v > limit) {
    throw PackError("bad number '" + t.value + "' for '" + t.key + "'");
  }
  return neg ? uint32_t(0u - uint32_t(v)) : uint32_t(v);
}

uint8_t Byte(const Tok& t) {
  const uint32_t v = Num(t);
  if (v > 255) throw PackError("'" + t.key + "' must be 0 to 255, got '" + t.value + "'");
  return uint8_t(v);
}

const std::string& Text(const Tok& t) {
  if (!t.quoted) throw PackError("'" + t.key + "' needs a quoted text");
  return t.value;
}

std::vector<int32_t> Rooms(const Tok& t) {
  std::vector<int32_t> rooms;
  if (t.quoted) throw PackError("'rooms' needs a comma list of numbers");
  for (size_t start = 0; !t.value.empty();) {
    const size_t comma = t.value.find(',', start);
    Tok one{t.key, true, t.value.substr(start, comma - start), false};
    rooms.push_back(int32_t(Num(one)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return rooms;
}

void CheckKeyed(const Tok& t) {
  if (!t.has_key) throw PackError("expected key=value, got '" + t.Show() + "'");
}

Gen8 ParseGen8(const std::vector<Tok>& args) {
  Gen8 g;
  for (const Tok& t : args) {
    CheckKeyed(t);
    const std::string& k = t.key;
    if (k == "debug") g.debug = Byte(t);
    else if (k == "version") g.version = Byte(t);
    else if (k == "name") g.name = Text(t);
    else if (k == "config") g.config = Text(t);
    else if (k == "display") g.display_name = Text(t);
    else if (k == "width") g.width = Num(t);
    else if (k == "height") g.height = Num(t);
    else if (k == "flags") g.flags = Num(t);
    else if (k == "game_id") g.game_id = Num(t);
    else if (k == "last_instance") g.last_instance_id = Num(t);
    else if (k == "last_tile") g.last_tile_id = Num(t);
    else if (k == "steam") g.steam_app_id = Num(t);
    else if (k == "word25") g.word25 = Text(t);
    else if (k == "word26") g.word26 = Num(t);
    else if (k == "word27") g.word27 = Num(t);
    else if (k == "feature_lo") g.feature_lo = Num(t);
    else if (k == "feature_hi") g.feature_hi = Num(t);
    else if (k == "rooms") g.room_order = Rooms(t);
    else if (k == "room_count") g.room_count_override = Num(t);
    else throw PackError("unknown key '" + k + "'");
  }
  return g;
}

Optn ParseOptn(const std::vector<Tok>& args) {
  Optn o;
  for (const Tok& t : args) {
    CheckKeyed(t);
    const std::string& k = t.key;
    if (k.starts_with("const.")) {
      o.constants.emplace_back(k.substr(6), Text(t));
    } else if (k == "const_count") {
      o.constant_count_override = Num(t);
    } else if (k == "word26") {
      o.word26 = Text(t);
    } else {
      int n = -1;
      for (int i = 0; i < 35 && n < 0; ++i) {
        if (k == "word" + std::to_string(i)) n = i;
      }
      if (n < 0) throw PackError("unknown key '" + k + "'");
      o.words[n] = Num(t);
    }
  }
  return o;
}

std::string BareArg(const std::vector<Tok>& args, size_t i, const char* what) {
  if (i >= args.size() || args[i].has_key || args[i].quoted) throw PackError(std::string("expected ") + what);
  return args[i].value;
}

void NoMoreArgs(const std::vector<Tok>& args, size_t n) {
  if (args.size() > n) throw PackError("unexpected '" + args[n].Show() + "'");
}

std::vector<uint8_t> Hex(std::string_view s) {
  auto digit = [&](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw PackError("bad hex digit '" + std::string(1, c) + "'");
  };
  if (s.size() % 2) throw PackError("odd number of hex digits");
  std::vector<uint8_t> out;
  for (size_t i = 0; i < s.size(); i += 2) out.push_back(uint8_t(digit(s[i]) << 4 | digit(s[i + 1])));
  return out;
}

struct State {
  Writer w;
  CodeSet code{w};
  CodeRecord* record = nullptr;  // inside a CODE block
};

// A line inside a CODE block: an instruction, a label, or END.
void CodeLine(State& st, const std::vector<Tok>& toks) {
  if (toks[0].has_key || toks[0].quoted) throw PackError("expected an instruction, got '" + toks[0].Show() + "'");
  if (toks[0].value == "END") {
    NoMoreArgs(toks, 1);
    st.record = nullptr;
    return;
  }
  std::vector<CodeRecord::Arg> args;
  for (size_t i = 1; i < toks.size(); ++i) {
    if (toks[i].has_key) throw PackError("unexpected '" + toks[i].Show() + "'");
    args.push_back({toks[i].value, toks[i].quoted});
  }
  st.record->Assemble(toks[0].value, args);
}

void Directive(State& st, const std::vector<Tok>& toks) {
  Writer& w = st.w;
  const std::string name = BareArg(toks, 0, "a directive");
  const std::vector<Tok> args(toks.begin() + 1, toks.end());
  if (name == "GEN8" || name == "GEN7" || name == "GENL") {
    AddGen8(w, ParseGen8(args), name);
  } else if (name == "OPTN") {
    AddOptn(w, ParseOptn(args));
  } else if (name == "STRINGS") {
    for (const Tok& t : args) {
      if (t.has_key || !t.quoted) throw PackError("STRINGS takes quoted texts, got '" + t.Show() + "'");
      w.AddString(t.value);
    }
  } else if (name == "STRG") {
    NoMoreArgs(args, 0);
    w.PlaceStringPool();
  } else if (name == "CODE") {
    if (args.size() != 1 || args[0].has_key || !args[0].quoted) throw PackError("CODE takes a quoted record name");
    if (!st.code.CodePlaced()) st.code.PlaceCode();
    st.record = &st.code.AddRecord(args[0].value);
  } else if (name == "VARI" || name == "FUNC") {
    NoMoreArgs(args, 0);
    if (name == "VARI") st.code.PlaceVari();
    else st.code.PlaceFunc();
  } else if (name == "EMPTY") {
    const std::string tag = BareArg(args, 0, "a chunk tag");
    NoMoreArgs(args, 1);
    w.AddEmptyChunk(tag);
  } else if (name == "RAW") {
    const std::string tag = BareArg(args, 0, "a chunk tag");
    std::string hex;
    if (args.size() > 1) hex = BareArg(args, 1, "hex bytes");
    NoMoreArgs(args, 2);
    w.AddRawChunk(tag, Hex(hex));
  } else {
    throw PackError("unknown directive '" + name + "'");
  }
}

}  // namespace

std::vector<uint8_t> BuildFromDescription(std::string_view text) {
  State st;
  int line_no = 0, code_line = 0;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    const std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    ++line_no;
    try {
      const std::vector<Tok> toks = Tokenize(line);
      if (toks.empty()) continue;
      if (st.record) {
        CodeLine(st, toks);
      } else {
        Directive(st, toks);
        if (st.record) code_line = line_no;
      }
    } catch (const PackError& e) {
      throw PackError("line " + std::to_string(line_no) + ": " + e.what());
    }
  }
  if (st.record) throw PackError("line " + std::to_string(code_line) + ": CODE block without END");
  st.code.Finish();
  return st.w.Build();
}

}  // namespace twpack
