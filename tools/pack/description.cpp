// The text description read by tw-pack and by tests (format in pack.h).
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

#include "code.h"
#include "core/events.h"
#include "numbers.h"
#include "pack.h"
#include "paths.h"
#include "sounds.h"
#include "resources.h"
#include "scripts.h"
#include "script/constants.h"
#include "textures.h"

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
  int64_t n = 0;
  if (t.quoted || !ParseInteger(t.value, &n) || n < -int64_t(0x80000000) || n > int64_t(0xFFFFFFFF)) {
    throw PackError("bad number '" + t.value + "' for '" + t.key + "'");
  }
  return uint32_t(n);
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

// One GEN8 (GEN7, GENL) line. Its chunk is written last, so that the room
// order and the id counters it leaves out can follow the rooms.
struct HeaderLine {
  ChunkBuilder* chunk = nullptr;
  Gen8 g;
  bool rooms = false, last_instance = false, last_tile = false;  // given
};

void ParseGen8(const std::vector<Tok>& args, HeaderLine& h) {
  Gen8& g = h.g;
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
    else if (k == "last_instance") g.last_instance_id = Num(t), h.last_instance = true;
    else if (k == "last_tile") g.last_tile_id = Num(t), h.last_tile = true;
    else if (k == "steam") g.steam_app_id = Num(t);
    else if (k == "word25") g.word25 = Text(t);
    else if (k == "word26") g.word26 = Num(t);
    else if (k == "word27") g.word27 = Num(t);
    else if (k == "feature_lo") g.feature_lo = Num(t);
    else if (k == "feature_hi") g.feature_hi = Num(t);
    else if (k == "rooms") g.room_order = Rooms(t), h.rooms = true;
    else if (k == "room_count") g.room_count_override = Num(t), h.rooms = true;
    else throw PackError("unknown key '" + k + "'");
  }
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

// ---- Resource blocks: OBJECT, TIMELINE, ROOM ---------------------------------

enum class Block { kNone, kObject, kTimeline, kRoom };

struct Resources {
  ChunkBuilder* objt = nullptr;  // each placed where its first block starts
  ChunkBuilder* tmln = nullptr;
  ChunkBuilder* room = nullptr;
  std::vector<std::optional<Object>> objects;
  std::vector<std::optional<Timeline>> timelines;
  std::vector<std::optional<Room>> rooms;
  Block block = Block::kNone;
  const char* block_name = "";
  std::vector<Action>* actions = nullptr;  // of the last EVENT or MOMENT
  ChunkBuilder* scpt = nullptr;  // where the first SCRIPT line is
  std::vector<std::optional<Script>> scripts;
  ChunkBuilder* path = nullptr;  // where the first PATH line is
  std::vector<std::optional<Path>> paths;
  ChunkBuilder* sond = nullptr;  // where the first SOUND line is
  std::vector<std::optional<Sound>> sounds;
  ChunkBuilder* audo = nullptr;  // where the first AUDIO line is
  std::vector<std::optional<AudioEntry>> audio;
};

struct State {
  Writer w;
  CodeSet code{w};
  CodeRecord* record = nullptr;  // inside a CODE block
  uint8_t version = Gen8().version;  // of the last GEN8 line
  std::map<std::string, int32_t, std::less<>> code_index;  // the first record of each name
  Resources res;
  ImageSet images{w};
  std::string base_dir;
  ImageReader image_reader{images, {}};
  std::vector<HeaderLine> headers;
  bool raw_code = false;  // a RAW CODE chunk with a body
};

int32_t Int(const Tok& t) { return int32_t(Num(t)); }

std::vector<DescriptionWord> Words(const std::vector<Tok>& toks) {
  std::vector<DescriptionWord> words;
  for (const Tok& t : toks) words.push_back({t.key, t.has_key, t.value, t.quoted});
  return words;
}

float Real32(const Tok& t) {
  char* end = nullptr;
  const float v = std::strtof(t.value.c_str(), &end);
  if (t.quoted || t.value.empty() || *end != '\0') throw PackError("bad real number '" + t.value + "' for '" + t.key + "'");
  return v;
}

// "code" is a quoted code record name or an index.
CodeRef Code(const Tok& t) {
  CodeRef ref;
  if (t.quoted) ref.name = t.value;
  else ref.index = Int(t);
  ref.given = true;
  return ref;
}

// A comma list of reals taken N at a time ("x,y" pairs, "x,y,speed"
// triples).
template <size_t N>
std::vector<std::array<float, N>> RealGroups(const Tok& t, const char* what) {
  std::vector<float> v;
  if (t.quoted) throw PackError("'" + t.key + "' needs a comma list of numbers");
  for (size_t start = 0; !t.value.empty();) {
    const size_t comma = t.value.find(',', start);
    v.push_back(Real32(Tok{t.key, true, t.value.substr(start, comma - start), false}));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (v.size() % N) throw PackError("'" + t.key + "' needs " + what);
  std::vector<std::array<float, N>> groups(v.size() / N);
  for (size_t i = 0; i < v.size(); ++i) groups[i / N][i % N] = v[i];
  return groups;
}

std::vector<std::array<float, 2>> Points(const Tok& t) { return RealGroups<2>(t, "x,y pairs"); }

// The keys of an action line: code and text.
Action ParseAction(const std::vector<Tok>& args, size_t from) {
  Action a;
  for (size_t i = from; i < args.size(); ++i) {
    const Tok& t = args[i];
    CheckKeyed(t);
    if (t.key == "code") a.code = Code(t);
    else if (t.key == "text") a.text = Text(t);
    else throw PackError("unknown key '" + t.key + "'");
  }
  return a;
}

void ParseObjectKey(Object& o, const Tok& t) {
  CheckKeyed(t);
  const std::string& k = t.key;
  if (k == "sprite") o.sprite = Num(t);
  else if (k == "visible") o.visible = Int(t);
  else if (k == "solid") o.solid = Int(t);
  else if (k == "depth") o.depth = Int(t);
  else if (k == "persistent") o.persistent = Int(t);
  else if (k == "parent") o.parent = Int(t);
  else if (k == "mask") o.mask = Int(t);
  else if (k == "physics") o.uses_physics = Int(t);
  else if (k == "sensor") o.sensor = Int(t);
  else if (k == "shape") o.shape = Int(t);
  else if (k == "group") o.group = Int(t);
  else if (k == "density") o.density = Real32(t);
  else if (k == "restitution") o.restitution = Real32(t);
  else if (k == "linear_damping") o.linear_damping = Real32(t);
  else if (k == "angular_damping") o.angular_damping = Real32(t);
  else if (k == "friction") o.friction = Real32(t);
  else if (k == "awake") o.awake = Int(t);
  else if (k == "kinematic") o.kinematic = Int(t);
  else if (k == "points") o.points = Points(t);
  else throw PackError("unknown key '" + k + "'");
}

void ParseCreationCode(CreationCode& c, const Tok& t) {
  if (t.key == "code") c.code = Code(t);
  else c.text = Text(t);
}

void ParseRoomKey(Room& r, const Tok& t) {
  CheckKeyed(t);
  const std::string& k = t.key;
  if (k == "caption") r.caption = Text(t);
  else if (k == "width") r.width = Int(t);
  else if (k == "height") r.height = Int(t);
  else if (k == "speed") r.speed = Int(t);
  else if (k == "persistent") r.persistent = Int(t);
  else if (k == "colour") r.colour = Num(t);
  else if (k == "show_colour") r.show_colour = Int(t);
  else if (k == "code" || k == "text") ParseCreationCode(r.code, t);
  else if (k == "flags") r.flags = Num(t);
  else if (k == "physics") r.physics_world = Int(t);
  else if (k == "gravity_x") r.gravity_x = Real32(t);
  else if (k == "gravity_y") r.gravity_y = Real32(t);
  else if (k == "scale") r.pixels_to_metres = Real32(t);
  else throw PackError("unknown key '" + k + "'");
}

// A layer number 0 to 7 for BACKGROUND and VIEW.
size_t Layer(const std::vector<Tok>& toks) {
  const std::string n = BareArg(toks, 1, "a layer number 0 to 7");
  if (n.size() != 1 || n[0] < '0' || n[0] > '7') throw PackError("layer must be 0 to 7, got '" + n + "'");
  return size_t(n[0] - '0');
}

void ParseBackgroundKey(RoomBackground& b, const Tok& t) {
  CheckKeyed(t);
  const std::string& k = t.key;
  int32_t* field = k == "visible" ? &b.visible : k == "foreground" ? &b.foreground : k == "index" ? &b.index
                 : k == "x" ? &b.x : k == "y" ? &b.y : k == "tile_h" ? &b.tile_h : k == "tile_v" ? &b.tile_v
                 : k == "hspeed" ? &b.hspeed : k == "vspeed" ? &b.vspeed : k == "stretch" ? &b.stretch : nullptr;
  if (!field) throw PackError("unknown key '" + k + "'");
  *field = Int(t);
}

void ParseViewKey(RoomView& v, const Tok& t) {
  CheckKeyed(t);
  static const char* const kKeys[] = {"visible", "xview", "yview", "wview", "hview", "xport", "yport",
                                      "wport", "hport", "hborder", "vborder", "hspeed", "vspeed", "object"};
  int32_t* const fields[] = {&v.visible, &v.xview, &v.yview, &v.wview, &v.hview, &v.xport, &v.yport,
                             &v.wport, &v.hport, &v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object};
  for (size_t i = 0; i < std::size(kKeys); ++i) {
    if (t.key == kKeys[i]) {
      *fields[i] = Int(t);
      return;
    }
  }
  throw PackError("unknown key '" + t.key + "'");
}

void ParseInstanceKey(RoomInstance& e, const Tok& t) {
  CheckKeyed(t);
  const std::string& k = t.key;
  if (k == "x") e.x = Int(t);
  else if (k == "y") e.y = Int(t);
  else if (k == "object") e.object = Int(t);
  else if (k == "id") e.id = Int(t);
  else if (k == "code" || k == "text") ParseCreationCode(e.code, t);
  else if (k == "xscale") e.xscale = Real32(t);
  else if (k == "yscale") e.yscale = Real32(t);
  else if (k == "colour") e.colour = Num(t);
  else if (k == "angle") e.angle = Real32(t);
  else throw PackError("unknown key '" + k + "'");
}

void ParseTileKey(RoomTile& r, const Tok& t) {
  CheckKeyed(t);
  const std::string& k = t.key;
  if (k == "xscale") r.xscale = Real32(t);
  else if (k == "yscale") r.yscale = Real32(t);
  else if (k == "colour") r.colour = Num(t);
  else {
    static const char* const kKeys[] = {"x", "y", "background", "left", "top", "width", "height", "depth", "id"};
    int32_t* const fields[] = {&r.x, &r.y, &r.background, &r.left, &r.top, &r.width, &r.height, &r.depth, &r.id};
    for (size_t i = 0; i < std::size(kKeys); ++i) {
      if (k == kKeys[i]) {
        *fields[i] = Int(t);
        return;
      }
    }
    throw PackError("unknown key '" + k + "'");
  }
}

// ---- Event names -------------------------------------------------------------------
//
// Event types and subtypes are numbers or the script's own constant names;
// the values come from the engine's constant table.

// The names that are event types (each name's value is its type).
constexpr std::string_view kEventTypeNames[] = {"ev_create",    "ev_destroy", "ev_alarm", "ev_step",
                                                "ev_collision", "ev_keyboard", "ev_mouse", "ev_other",
                                                "ev_draw",      "ev_keypress", "ev_keyrelease"};
// The subtypes of "other" events apart from ev_user0 to ev_user15.
constexpr std::string_view kOtherEventNames[] = {
    "ev_outside",       "ev_boundary",     "ev_game_start",     "ev_game_end",       "ev_room_start",
    "ev_room_end",      "ev_no_more_lives", "ev_animation_end", "ev_end_of_path",    "ev_no_more_health",
    "ev_close_button"};

bool Listed(std::string_view name, const std::string_view* names, size_t n) {
  return std::find(names, names + n, name) != names + n;
}

std::optional<int32_t> BuiltinConstant(std::string_view name) {
  double v = 0;
  if (!Constant_BuiltinValue(name, &v)) return std::nullopt;
  return int32_t(v);
}

bool IsNumber(const Tok& t) {
  int64_t n = 0;
  return !t.quoted && ParseInteger(t.value, &n);
}

uint32_t EventType(const Tok& t) {
  if (t.has_key || t.quoted) throw PackError("expected an event type, got '" + t.Show() + "'");
  if (IsNumber(t)) return Num(Tok{"type", true, t.value, false});
  const std::optional<int32_t> v = BuiltinConstant(t.value);
  if (!v || !Listed(t.value, kEventTypeNames, std::size(kEventTypeNames))) {
    throw PackError("unknown event type '" + t.value + "' (a number 0 to 11, or ev_create ... ev_keyrelease)");
  }
  return uint32_t(*v);
}

// Whether `name` names a subtype of events of `type`.
bool SubtypeFits(uint32_t type, std::string_view name) {
  const bool user = name.starts_with("ev_user");
  const bool other = user || Listed(name, kOtherEventNames, std::size(kOtherEventNames));
  switch (type) {
    case kEventKeyboard:
    case kEventKeyPress:
    case kEventKeyRelease: return name.starts_with("vk_");
    case kEventStep: return name.starts_with("ev_step_");
    case kEventDraw: return name == "ev_gui";
    case kEventOther: return other;
    case kEventMouse:
      return name.starts_with("ev_") && !other && !name.starts_with("ev_step_") && name != "ev_gui" &&
             !Listed(name, kEventTypeNames, std::size(kEventTypeNames));
    default: return false;
  }
}

// A number, the constant name of a subtype of `type`, or for the key events
// a quoted letter or digit (its upper-case character code).
int32_t EventSubtype(uint32_t type, const Tok& t) {
  if (t.has_key) throw PackError("expected an event subtype, got '" + t.Show() + "'");
  const bool keys = type == kEventKeyboard || type == kEventKeyPress || type == kEventKeyRelease;
  if (t.quoted) {
    const unsigned char c = t.value.size() == 1 ? static_cast<unsigned char>(t.value[0]) : 0;
    if (!keys || !std::isalnum(c)) {
      throw PackError("a quoted subtype is one letter or digit of a key event, got \"" + t.value + "\"");
    }
    return std::toupper(c);
  }
  if (IsNumber(t)) return Int(Tok{"subtype", true, t.value, false});
  const std::optional<int32_t> v = BuiltinConstant(t.value);
  if (!v || !SubtypeFits(type, t.value)) {
    throw PackError("'" + t.value + "' is not a subtype of event type " + std::to_string(type));
  }
  return *v;
}

// OBJECT, TIMELINE or ROOM: a block up to END, or "none" for an empty slot.
// A resource line's first word: a quoted name, or none for an empty slot
// (then nothing may follow). True for none.
bool EmptySlot(const std::string& name, const std::vector<Tok>& args) {
  const bool empty = !args.empty() && !args[0].has_key && !args[0].quoted && args[0].value == "none";
  if (!empty && (args.empty() || args[0].has_key || !args[0].quoted)) {
    throw PackError(name + " takes a quoted name, or none");
  }
  if (empty) NoMoreArgs(args, 1);
  return empty;
}

void ResourceDirective(State& st, const std::string& name, const std::vector<Tok>& args) {
  Resources& r = st.res;
  const bool empty = EmptySlot(name, args);
  const std::vector<Tok> keys(args.begin() + 1, args.end());
  if (name == "OBJECT") {
    if (!r.objt) r.objt = &st.w.AddChunk("OBJT");
    r.objects.emplace_back();
    if (empty) return;
    Object& o = r.objects.back().emplace();
    o.name = args[0].value;
    for (const Tok& t : keys) ParseObjectKey(o, t);
    r.block = Block::kObject;
  } else if (name == "TIMELINE") {
    if (!r.tmln) r.tmln = &st.w.AddChunk("TMLN");
    r.timelines.emplace_back();
    if (empty) return;
    NoMoreArgs(args, 1);
    r.timelines.back().emplace().name = args[0].value;
    r.block = Block::kTimeline;
  } else {
    if (!r.room) r.room = &st.w.AddChunk("ROOM");
    r.rooms.emplace_back();
    if (empty) return;
    Room& room = r.rooms.back().emplace();
    room.name = args[0].value;
    for (const Tok& t : keys) ParseRoomKey(room, t);
    r.block = Block::kRoom;
  }
  r.block_name = name == "OBJECT" ? "OBJECT" : name == "TIMELINE" ? "TIMELINE" : "ROOM";
  r.actions = nullptr;
}

// A line inside a resource block.
void ResourceLine(State& st, const std::vector<Tok>& toks) {
  Resources& r = st.res;
  const std::string what = BareArg(toks, 0, "a block line");
  if (what == "END") {
    NoMoreArgs(toks, 1);
    r.block = Block::kNone;
    r.actions = nullptr;
    return;
  }
  if (what == "ACTION") {
    if (!r.actions) throw PackError("ACTION needs an EVENT or MOMENT before it");
    r.actions->push_back(ParseAction(toks, 1));
    return;
  }
  if (r.block == Block::kObject && what == "EVENT") {
    if (toks.size() < 3) throw PackError("EVENT needs a type and a subtype");
    const uint32_t n = EventType(toks[1]);
    Object& o = *r.objects.back();
    if (n >= o.events.size()) throw PackError("event type must be 0 to 11, got '" + toks[1].value + "'");
    ObjectEvent& e = o.events[n].emplace_back();
    e.subtype = EventSubtype(n, toks[2]);
    e.actions.push_back(ParseAction(toks, 3));
    r.actions = &e.actions;
  } else if (r.block == Block::kTimeline && what == "MOMENT") {
    Moment& m = r.timelines.back()->moments.emplace_back();
    m.step = Int(Tok{"step", true, BareArg(toks, 1, "a moment step"), false});
    m.actions.push_back(ParseAction(toks, 2));
    r.actions = &m.actions;
  } else if (r.block == Block::kRoom && (what == "BACKGROUND" || what == "VIEW")) {
    Room& room = *r.rooms.back();
    const size_t layer = Layer(toks);
    for (size_t i = 2; i < toks.size(); ++i) {
      if (what == "VIEW") ParseViewKey(room.views[layer], toks[i]);
      else ParseBackgroundKey(room.backgrounds[layer], toks[i]);
    }
  } else if (r.block == Block::kRoom && what == "INSTANCE") {
    RoomInstance& e = r.rooms.back()->instances.emplace_back();
    for (size_t i = 1; i < toks.size(); ++i) ParseInstanceKey(e, toks[i]);
  } else if (r.block == Block::kRoom && what == "TILE") {
    RoomTile& t = r.rooms.back()->tiles.emplace_back();
    for (size_t i = 1; i < toks.size(); ++i) ParseTileKey(t, toks[i]);
  } else {
    throw PackError("unexpected '" + what + "' in a " + r.block_name + " block");
  }
}

// ---- What the description leaves out ---------------------------------------------

// Whether the game's code fields are CODE indices (compiled) rather than
// source text. The runner decides by its CODE chunk (or compiled events of
// its own); the writer sees the CODE records, and takes a numbered code=
// (other than -1 none, and 0 where it may mean none) as naming compiled events.
bool CodeIsCompiled(const State& st) {
  if (st.code.RecordCount() > 0 || st.raw_code) return true;
  const Resources& r = st.res;
  auto names = [](const CodeRef& c, bool zero_names) {
    return c.given && (!c.name.empty() || (c.index != -1 && (zero_names || c.index != 0)));
  };
  auto actions = [&](const std::vector<Action>& list) {
    return std::any_of(list.begin(), list.end(), [&](const Action& a) { return names(a.code, true); });
  };
  for (const auto& o : r.objects) {
    if (!o) continue;
    for (const auto& type : o->events)
      for (const ObjectEvent& e : type)
        if (actions(e.actions)) return true;
  }
  for (const auto& t : r.timelines) {
    if (!t) continue;
    for (const Moment& m : t->moments)
      if (actions(m.actions)) return true;
  }
  for (const auto& room : r.rooms) {
    if (!room) continue;
    if (names(room->code.code, false)) return true;
    for (const RoomInstance& e : room->instances)
      if (names(e.code.code, false)) return true;
  }
  for (const auto& sc : r.scripts)
    if (sc && names(sc->code, false)) return true;
  return false;
}

// Code fields left out get the "none" of the game's code form: -1 where the
// runner reads a CODE index, the null text where it reads source text.
// Where a left-out field has no "none" (a compiled script or action) or a
// field holds the other form, the container would be refused: so is the
// description.
void SettleCode(State& st) {
  const bool compiled = CodeIsCompiled(st);
  const std::string form = " (this game's code is compiled: it has CODE records or names compiled events)";
  auto creation = [&](CreationCode& c, const std::string& who) {
    if (compiled && c.text) throw PackError(who + " has text=, but needs code=" + form);
    if (!compiled && !c.code.given) c.code.index = 0;
  };
  auto actions = [&](std::vector<Action>& list, const std::string& who) {
    for (const Action& a : list)
      if (compiled && !a.code.given) throw PackError(who + " has an action without code=" + form);
  };
  Resources& r = st.res;
  for (auto& o : r.objects) {
    if (!o) continue;
    for (size_t type = 0; type < o->events.size(); ++type)
      for (ObjectEvent& e : o->events[type])
        actions(e.actions, "event " + std::to_string(type) + " " + std::to_string(e.subtype) + " of object \"" +
                               o->name + "\"");
  }
  for (auto& t : r.timelines) {
    if (!t) continue;
    for (Moment& m : t->moments)
      actions(m.actions, "moment " + std::to_string(m.step) + " of timeline \"" + t->name + "\"");
  }
  for (auto& room : r.rooms) {
    if (!room) continue;
    creation(room->code, "room \"" + room->name + "\"");
    for (size_t i = 0; i < room->instances.size(); ++i) {
      creation(room->instances[i].code, "instance " + std::to_string(i) + " of room \"" + room->name + "\"");
    }
  }
  for (auto& sc : r.scripts) {
    if (!sc) continue;
    const std::string who = "script \"" + sc->name + "\"";
    if (compiled && sc->text) throw PackError(who + " has text=, but needs code=" + form);
    if (compiled && !sc->code.given) throw PackError(who + " has no code=" + form);
    if (!compiled && !sc->text && !sc->code.given) sc->code.index = 0;
  }
}

// Room instances and tiles without an id (0) get fresh ones above every id
// the description uses; a header that does not set the id counters or the
// room order gets counters past every id and the rooms in index order, so
// that new instances never take a room instance's id and the game has a room
// to start in.
void SettleHeaders(State& st) {
  const Gen8 defaults;
  const HeaderLine* last = st.headers.empty() ? nullptr : &st.headers.back();
  int64_t instance_top = last ? last->g.last_instance_id : defaults.last_instance_id;
  int64_t tile_top = last ? last->g.last_tile_id : defaults.last_tile_id;
  std::vector<int32_t> order;
  for (size_t i = 0; i < st.res.rooms.size(); ++i) {
    const auto& room = st.res.rooms[i];
    if (!room) continue;
    order.push_back(int32_t(i));
    for (const RoomInstance& e : room->instances) instance_top = std::max<int64_t>(instance_top, e.id);
    for (const RoomTile& t : room->tiles) tile_top = std::max<int64_t>(tile_top, t.id);
  }
  for (auto& room : st.res.rooms) {
    if (!room) continue;
    for (RoomInstance& e : room->instances)
      if (e.id == 0) e.id = int32_t(++instance_top);
    for (RoomTile& t : room->tiles)
      if (t.id == 0) t.id = int32_t(++tile_top);
  }
  for (HeaderLine& h : st.headers) {
    if (!h.rooms) h.g.room_order = order;
    if (!h.last_instance) h.g.last_instance_id = uint32_t(std::max<int64_t>(h.g.last_instance_id, instance_top));
    if (!h.last_tile) h.g.last_tile_id = uint32_t(std::max<int64_t>(h.g.last_tile_id, tile_top));
    WriteGen8(*h.chunk, h.g);
  }
}

void FinishResources(State& st) {
  SettleCode(st);
  SettleHeaders(st);
  const CodeResolver resolve = [&](std::string_view name) {
    auto it = st.code_index.find(name);
    if (it == st.code_index.end()) throw PackError("no code record named '" + std::string(name) + "'");
    return it->second;
  };
  Resources& r = st.res;
  if (r.objt) WriteObjects(*r.objt, r.objects, st.version, resolve);
  if (r.tmln) WriteTimelines(*r.tmln, r.timelines, resolve);
  if (r.room) WriteRooms(*r.room, r.rooms, st.version, resolve);
  if (r.scpt) WriteScripts(*r.scpt, r.scripts, resolve);
  if (r.path) WritePaths(*r.path, r.paths);
  if (r.sond) WriteSounds(*r.sond, r.sounds);
  if (r.audo) WriteAudio(*r.audo, r.audio);
  const bool rooms = std::any_of(r.rooms.begin(), r.rooms.end(), [](const auto& room) { return room.has_value(); });
  if (rooms && st.headers.empty()) {
    throw PackError("the rooms need a GEN8 line: without the header the game has no room order to start from");
  }
}

// SCRIPT "name" [code=C] [text="t"], or SCRIPT none.
void ScriptDirective(State& st, const std::vector<Tok>& args) {
  Resources& r = st.res;
  if (!r.scpt) r.scpt = &st.w.AddChunk("SCPT");
  r.scripts.emplace_back();
  if (EmptySlot("SCRIPT", args)) return;
  Script& s = r.scripts.back().emplace();
  s.name = args[0].value;
  for (size_t i = 1; i < args.size(); ++i) {
    const Tok& t = args[i];
    CheckKeyed(t);
    if (t.key == "code") s.code = Code(t);
    else if (t.key == "text") s.text = Text(t);
    else throw PackError("unknown key '" + t.key + "'");
  }
}

// PATH "name" k=v ..., or PATH none.
void PathDirective(State& st, const std::vector<Tok>& args) {
  Resources& r = st.res;
  if (!r.path) r.path = &st.w.AddChunk("PATH");
  r.paths.emplace_back();
  if (EmptySlot("PATH", args)) return;
  Path& p = r.paths.back().emplace();
  p.name = args[0].value;
  for (size_t i = 1; i < args.size(); ++i) {
    const Tok& t = args[i];
    CheckKeyed(t);
    if (t.key == "kind") p.kind = Int(t);
    else if (t.key == "closed") p.closed = Num(t);
    else if (t.key == "precision") p.precision = Int(t);
    else if (t.key == "points") p.points = RealGroups<3>(t, "x,y,speed triples");
    else if (t.key == "point_count") p.point_count = Num(t);
    else throw PackError("unknown key '" + t.key + "'");
  }
}

// SOUND "name" k=v ..., or SOUND none.
void SoundDirective(State& st, const std::vector<Tok>& args) {
  Resources& r = st.res;
  if (!r.sond) r.sond = &st.w.AddChunk("SOND");
  r.sounds.emplace_back();
  if (EmptySlot("SOUND", args)) return;
  Sound& s = r.sounds.back().emplace();
  s.name = args[0].value;
  s.audio = uint32_t(r.sounds.size() - 1);
  bool extension = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const Tok& t = args[i];
    CheckKeyed(t);
    if (t.key == "kind") s.kind = Int(t);
    else if (t.key == "file") s.file = Text(t);
    else if (t.key == "extension") s.extension = Text(t), extension = true;
    else if (t.key == "volume") s.volume = Real32(t);
    else if (t.key == "pan") s.pan = Real32(t);
    else if (t.key == "effects") s.effects = Num(t);
    else if (t.key == "preload") s.preload = Num(t);
    else if (t.key == "audio") s.audio = Num(t);
    else throw PackError("unknown key '" + t.key + "'");
  }
  if (s.file.empty()) s.file = s.name + ".wav";
  const size_t dot = s.file.rfind('.');
  if (!extension && dot != std::string::npos) s.extension = s.file.substr(dot);
}

// AUDIO file="f" | bytes=hex [length=N], or AUDIO none.
void AudioDirective(State& st, const std::vector<Tok>& args) {
  Resources& r = st.res;
  if (!r.audo) r.audo = &st.w.AddChunk("AUDO");
  r.audio.emplace_back();
  if (args.size() == 1 && !args[0].has_key && !args[0].quoted && args[0].value == "none") return;
  AudioEntry& e = r.audio.back().emplace();
  bool given = false;
  for (const Tok& t : args) {
    CheckKeyed(t);
    if (t.key == "file") e.bytes = ReadFile(Text(t), st.base_dir), given = true;
    else if (t.key == "bytes") e.bytes = Hex(t.value), given = true;
    else if (t.key == "length") e.length = Num(t);
    else throw PackError("unknown key '" + t.key + "'");
  }
  if (!given) throw PackError("AUDIO needs file=\"name\" or bytes=hex, or none");
}

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
    HeaderLine h;
    h.chunk = &w.AddChunk(name);
    ParseGen8(args, h);
    // The chunk is written at the end; its texts join the pool now, in the
    // order the description gives them.
    const Gen8& g = h.g;
    for (const std::string* text : {&g.name, &g.config, &g.display_name, &g.word25}) {
      if (text == &g.display_name && g.version < 8) continue;
      if (text == &g.word25 && (g.version < 10 || g.version > 13 || g.word25.empty())) continue;
      w.AddString(*text);
    }
    st.version = h.g.version;
    st.headers.push_back(std::move(h));
  } else if (name == "ORDER") {
    const std::string order = BareArg(args, 0, "container or written");
    NoMoreArgs(args, 1);
    if (order == "container") w.SetOrder(Writer::Order::kContainer);
    else if (order == "written") w.SetOrder(Writer::Order::kAsAdded);
    else throw PackError("ORDER takes container or written, got '" + order + "'");
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
    st.code_index.emplace(args[0].value, int32_t(st.code.RecordCount()));
    st.record = &st.code.AddRecord(args[0].value);
  } else if (name == "VARI" || name == "FUNC") {
    NoMoreArgs(args, 0);
    if (name == "VARI") st.code.PlaceVari();
    else st.code.PlaceFunc();
  } else if (name == "OBJECT" || name == "TIMELINE" || name == "ROOM") {
    ResourceDirective(st, name, args);
  } else if (name == "SCRIPT") {
    ScriptDirective(st, args);
  } else if (name == "PATH") {
    PathDirective(st, args);
  } else if (name == "SOUND") {
    SoundDirective(st, args);
  } else if (name == "AUDIO") {
    AudioDirective(st, args);
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
    if (tag == "CODE" && !hex.empty()) st.raw_code = true;
  } else {
    if (!st.image_reader.Directive(name, Words(args))) throw PackError("unknown directive '" + name + "'");
  }
}

}  // namespace

std::vector<uint8_t> BuildFromDescription(std::string_view text, const std::string& base_dir) {
  State st;
  st.base_dir = base_dir;
  st.image_reader.SetBaseDir(base_dir);
  st.w.SetOrder(Writer::Order::kContainer);
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
      } else if (st.res.block != Block::kNone) {
        ResourceLine(st, toks);
      } else if (st.image_reader.InBlock()) {
        st.image_reader.BlockLine(Words(toks));
      } else {
        Directive(st, toks);
        if (st.record || st.res.block != Block::kNone || st.image_reader.InBlock()) code_line = line_no;
      }
    } catch (const PackError& e) {
      throw PackError("line " + std::to_string(line_no) + ": " + e.what());
    }
  }
  if (st.record) throw PackError("line " + std::to_string(code_line) + ": CODE block without END");
  if (st.res.block != Block::kNone) {
    throw PackError("line " + std::to_string(code_line) + ": " + st.res.block_name + " block without END");
  }
  if (st.image_reader.InBlock()) throw PackError("line " + std::to_string(code_line) + ": FONT block without END");
  FinishResources(st);
  st.images.Finish();
  st.code.Finish();
  return st.w.Build();
}

}  // namespace twpack
