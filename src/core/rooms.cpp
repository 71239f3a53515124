#include "core/rooms.h"

#include <cstring>

#include "core/code_chunks.h"
#include "core/game_info.h"
#include "core/run_state.h"
#include "core/native_game.h"
#include "script/code.h"
#include "script/convert.h"
#include "script/errors.h"

RoomSlotTable RoomTable;
RoomSlotTable RoomStateTable;

namespace {

std::vector<std::string> g_names;  // beside RoomTable, "" for an empty slot
std::vector<int32_t> g_order;
// Unsigned, so that running past the top wraps instead of overflowing.
uint32_t g_lastInstanceId = 0;
RoomLoadContext g_context;
RoomCompileFn g_compile = nullptr;
RoomBackgroundSizeFn g_backgroundSize = nullptr;

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

float F32(const GameDataFile& f, uint32_t off) {
  const uint32_t bits = f.U32(off);
  float v;
  std::memcpy(&v, &bits, 4);
  return v;
}

// Reads one room record; every complaint names the room and the field.
class RecordReader {
 public:
  RecordReader(const GameDataFile& f, uint32_t rec, const RoomLoadContext& ctx) : f_(f), rec_(rec), ctx_(ctx) {
    what_ = "the room record at offset " + std::to_string(rec);
  }

  void Named(std::string_view name) { what_ = "room \"" + std::string(name) + "\""; }
  [[noreturn]] void Fail(const std::string& why) const { throw DataError(what_ + ": " + why); }

  uint32_t U32(uint32_t field) const { return f_.U32(rec_ + field); }
  int32_t S32(uint32_t field) const { return int32_t(U32(field)); }
  float Float(uint32_t field) const { return F32(f_, rec_ + field); }

  std::string Text(uint32_t ref, const char* field) const {
    try {
      return std::string(f_.String(ref));
    } catch (const DataError& e) {
      Fail(std::string(field) + ": " + e.what());
    }
  }

  // The entry offsets of the counted list at `list` (0: no list). Each
  // entry must lie whole inside the container.
  std::vector<uint32_t> List(uint32_t list, uint32_t entrySize, const char* what, uint32_t maxCount) const {
    if (list == 0) return {};
    const uint32_t size = f_.Size();
    if (list > size || size - list < 4) Fail(std::string("its ") + what + " list at " + Hex(list) + " lies outside the container");
    const uint32_t count = f_.U32(list);
    if (count > (size - list - 4) / 4) {
      Fail(std::string("its ") + what + " list at " + Hex(list) + " counts " + std::to_string(count) +
           " entries, more than the container holds");
    }
    if (count > maxCount) {
      Fail(std::string("its ") + what + " list counts " + std::to_string(count) + " entries; a room has " +
           std::to_string(maxCount));
    }
    std::vector<uint32_t> entries(count);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t at = f_.U32(list + 4 + 4 * i);
      if (at == 0) Fail(std::string("its ") + what + " entry " + std::to_string(i) + " has no offset");
      if (at > size || size - at < entrySize) {
        Fail(std::string("its ") + what + " entry " + std::to_string(i) + " at " + Hex(at) +
             " runs past the end of the container");
      }
      entries[i] = at;
    }
    return entries;
  }

  // A creation code field: a CODE index (-1 none) for precompiled games,
  // else a string reference to source text. `text` receives the source.
  std::shared_ptr<CCode> Code(int32_t field, const std::string& what, std::string* text) const {
    if (ctx_.precompiled) {
      if (field == -1) return nullptr;
      if (!CodeIndexExists(field)) {
        Fail(what + " names code entry " + std::to_string(field) + ", which does not exist");
      }
      return std::make_shared<CCode>(int(field), false);
    }
    std::string source = Text(uint32_t(field), what.c_str());
    if (text) *text = source;
    return std::make_shared<CCode>(std::move(source), false);
  }

  const GameDataFile& File() const { return f_; }

 private:
  static bool CodeIndexExists(int32_t index) {
    if (index < 0) return false;
    const NativeGameHeader& native = NativeGame_Get();
    if (native.code_table) return index < native.code_count;
    return Code_GetRecord(index) != nullptr;
  }

  const GameDataFile& f_;
  uint32_t rec_;
  const RoomLoadContext& ctx_;
  std::string what_;
};

double Alpha(uint32_t colour) { return double(colour >> 24) / 255.0; }

// A code name's room part: at most 255 bytes, not cut inside a character.
std::string NamePart(const std::string& name) {
  if (name.size() <= 255) return name;
  size_t n = 255;
  while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  return name.substr(0, n);
}

bool Compile(CCode& code, const std::string& name) {
  code.SetName(name);
  std::string error;
  const bool ok = g_compile ? g_compile(code, name, error) : false;
  if (!g_compile) error = "no compiler is available for the creation code \"" + name + "\"";
  if (!ok) Error_Report(ErrorSeverity::kError, ("COMPILATION ERROR in room script\n" + error).c_str());
  return ok;
}

void ForgetCurrentRoom() {
  g_Run.room = nullptr;
}

}  // namespace

// ---- CGameRoom ------------------------------------------------------------------------

CGameRoom::CGameRoom() { Clear(); }

CGameRoom::~CGameRoom() {
  DeleteAllInstances();
  DeleteAllDeactivated();
}

void CGameRoom::Clear() {
  record_.reset();
  caption.clear();
  width = 640;
  height = 480;
  speed = 30;
  persistent = false;
  colour = 0xC0C0C0;
  show_colour = true;
  creation_code_text.clear();
  creation_code.reset();
  physics_world = false;
  gravity_x = gravity_y = 0;
  pixels_to_metres = 0;
  backgrounds.fill(RoomBackground());
  views_enabled = false;
  clear_with_window_colour = false;
  for (RoomView& v : views) {
    const int32_t surface = v.surface;
    v = RoomView();
    v.surface = surface;
  }
  DeleteAllInstances();
  DeleteAllDeactivated();
  defined_ids.clear();
  defined_ids.shrink_to_fit();
  tiles_.Clear();
  lastTileFound_ = -1;
}

void CGameRoom::LoadFromChunk(const GameDataFile& f, uint32_t rec, const RoomLoadContext& ctx) {
  RecordReader r(f, rec, ctx);
  const bool physics = ctx.version >= 6;
  const uint32_t need = physics ? kRoomRecordPhysicsSize : kRoomRecordSize;
  if (rec > f.Size() || f.Size() - rec < need) {
    r.Fail("its " + std::to_string(need) + " bytes run past the end of the container");
  }

  // The whole record is read before the room changes.
  auto record = std::make_shared<RoomRecord>();
  RoomRecord& d = *record;
  d.name = r.Text(r.U32(0), "its name");
  r.Named(d.name);
  d.caption = r.Text(r.U32(4), "its caption");
  d.width = r.S32(8);
  d.height = r.S32(12);
  d.speed = r.S32(16);
  d.persistent = r.S32(20);
  d.colour = r.U32(24);
  d.show_colour = r.S32(28);
  std::string codeText;
  std::shared_ptr<CCode> code = r.Code(r.S32(32), "its creation code", &codeText);
  d.flags = r.U32(36);
  if (physics) {
    d.physics_world = r.S32(56);
    d.gravity_x = r.Float(76);
    d.gravity_y = r.Float(80);
    d.pixels_to_metres = r.Float(84);
  }

  for (uint32_t at : r.List(r.U32(40), kRoomRecordBackgroundSize, "background", kRoomLayers)) {
    RoomRecordBackground b;
    b.visible = f.S32(at);
    b.foreground = f.S32(at + 4);
    b.index = f.S32(at + 8);
    b.x = f.S32(at + 12);
    b.y = f.S32(at + 16);
    b.tile_h = f.S32(at + 20);
    b.tile_v = f.S32(at + 24);
    b.hspeed = f.S32(at + 28);
    b.vspeed = f.S32(at + 32);
    b.stretch = f.S32(at + 36);
    d.backgrounds.push_back(b);
  }
  for (uint32_t at : r.List(r.U32(44), kRoomRecordViewSize, "view", kRoomLayers)) {
    int32_t w[14];
    for (uint32_t i = 0; i < 14; ++i) w[i] = f.S32(at + 4 * i);
    d.views.push_back({w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8], w[9], w[10], w[11], w[12], w[13]});
  }
  const std::vector<uint32_t> instances = r.List(r.U32(48), kRoomRecordInstanceSize, "instance", UINT32_MAX);
  d.instances.reserve(instances.size());
  for (size_t i = 0; i < instances.size(); ++i) {
    const uint32_t at = instances[i];
    RoomRecordInstance e;
    e.x = f.S32(at);
    e.y = f.S32(at + 4);
    e.object = f.S32(at + 8);
    e.id = f.S32(at + 12);
    e.code = r.Code(f.S32(at + 16), "the creation code of its instance entry " + std::to_string(i), nullptr);
    e.xscale = F32(f, at + 20);
    e.yscale = F32(f, at + 24);
    e.colour = f.U32(at + 28);
    e.angle = F32(f, at + 32);
    d.instances.push_back(std::move(e));
  }
  const std::vector<uint32_t> tiles = r.List(r.U32(52), kRoomRecordTileSize, "tile", UINT32_MAX);
  d.tiles.reserve(tiles.size());
  for (uint32_t at : tiles) {
    RoomRecordTile t;
    int32_t* words[9] = {&t.x, &t.y, &t.background, &t.left, &t.top, &t.width, &t.height, &t.depth, &t.id};
    for (uint32_t i = 0; i < 9; ++i) *words[i] = f.S32(at + 4 * i);
    t.xscale = F32(f, at + 36);
    t.yscale = F32(f, at + 40);
    t.colour = f.U32(at + 44);
    d.tiles.push_back(t);
  }

  Clear();
  record_ = std::move(record);
  name_ = d.name;
  caption = d.caption;
  width = d.width;
  height = d.height;
  speed = d.speed;
  persistent = d.persistent != 0;
  colour = d.colour;
  show_colour = d.show_colour != 0;
  creation_code_text = ctx.precompiled ? std::string() : std::move(codeText);
  creation_code = std::move(code);
  views_enabled = (d.flags & 1) != 0;
  clear_with_window_colour = (d.flags & 2) != 0;
  if (physics) {
    physics_world = d.physics_world != 0;
    gravity_x = Real_ToInt32(d.gravity_x);
    gravity_y = Real_ToInt32(d.gravity_y);
    pixels_to_metres = d.pixels_to_metres;
  }
  for (size_t i = 0; i < d.backgrounds.size(); ++i) {
    const RoomRecordBackground& s = d.backgrounds[i];
    RoomBackground& b = backgrounds[i];
    b.visible = s.visible != 0;
    b.foreground = s.foreground != 0;
    b.index = s.index;
    b.x = s.x;
    b.y = s.y;
    b.tile_h = s.tile_h != 0;
    b.tile_v = s.tile_v != 0;
    b.hspeed = s.hspeed;
    b.vspeed = s.vspeed;
    b.blend = 0xFFFFFF;
    b.alpha = 1;
    int32_t w = 0, h = 0;
    if (s.stretch && g_backgroundSize && g_backgroundSize(s.index, &w, &h)) {
      if (w > 0) b.xscale = double(width) / w;
      if (h > 0) b.yscale = double(height) / h;
    }
  }
  for (size_t i = 0; i < d.views.size(); ++i) {
    const RoomRecordView& s = d.views[i];
    RoomView& v = views[i];
    v.visible = s.visible != 0;
    v.xview = s.xview;
    v.yview = s.yview;
    v.wview = s.wview;
    v.hview = s.hview;
    v.xport = s.xport;
    v.yport = s.yport;
    v.wport = s.wport;
    v.hport = s.hport;
    v.angle = 0;
    v.hborder = s.hborder;
    v.vborder = s.vborder;
    v.hspeed = s.hspeed;
    v.vspeed = s.vspeed;
    v.object = s.object;
  }
  // A definition keeps the record's tiles as its own, so a duplicate of it
  // has tiles to copy.
  TilesFromRecord();
}

void CGameRoom::CopyFrom(const CGameRoom& s, bool withDefinitionInstances) {
  if (&s == this) return;  // clearing first would lose the source
  Clear();
  caption = s.caption;
  creation_code_text = s.creation_code_text;
  width = s.width;
  height = s.height;
  speed = s.speed;
  persistent = s.persistent;
  colour = s.colour;
  show_colour = s.show_colour;
  creation_code = s.creation_code;
  physics_world = s.physics_world;
  gravity_x = s.gravity_x;
  gravity_y = s.gravity_y;
  pixels_to_metres = s.pixels_to_metres;
  backgrounds = s.backgrounds;
  views_enabled = s.views_enabled;
  clear_with_window_colour = s.clear_with_window_colour;
  for (int i = 0; i < kRoomLayers; ++i) {
    const int32_t surface = views[i].surface;
    views[i] = s.views[i];
    views[i].surface = surface;
  }
  record_ = s.record_;
  if (withDefinitionInstances) {
    if (record_) {
      defined_ids.reserve(record_->instances.size());
      for (const RoomRecordInstance& e : record_->instances) {
        if (e.object < 0) continue;
        auto* instance = new CObjInstance(float(e.x), float(e.y), e.id, e.object, true);
        instance->creation_code = e.code.get();
        instance->SetImageXScale(e.xscale);
        instance->SetImageYScale(e.yscale);
        instance->image_blend = e.colour & 0xFFFFFF;
        instance->image_alpha = float(e.colour >> 24) / 255.0f;
        instance->SetImageAngle(e.angle);
        instance->CreatePhysicsBody(this);
        active.Insert(instance);
        g_InstanceIdMap.Add(instance);
        defined_ids.push_back(e.id);
      }
    }
    TilesFromRecord();
  } else {
    // The source's own tiles, however many: its record may have gained
    // tiles since, and those are not in its array.
    tiles_.Assign(std::vector<RoomTile>(s.tiles_.begin(), s.tiles_.end()));
  }
  for (CObjInstance* from : s.active) {
    auto* copy = new CObjInstance(0, 0, 0, 0, false);
    copy->CopyFrom(*from, true);
    active.Insert(copy);
    g_InstanceIdMap.Add(copy);
  }
  for (CObjInstance* from : s.deactivated) {
    auto* copy = new CObjInstance(0, 0, 0, 0, false);
    copy->CopyFrom(*from, false);
    deactivated.Append(copy);
    g_InstanceIdMap.Add(copy);
  }
}

void CGameRoom::ScrollBackgrounds() {
  for (RoomBackground& b : backgrounds) {
    b.x += b.hspeed;
    b.y += b.vspeed;
  }
}

void CGameRoom::CreateDefaultRecord() {
  record_ = std::make_shared<RoomRecord>();
  record_->name = "NewRoom";
  record_->speed = 30;
  record_->backgrounds.resize(kRoomLayers);
}

int32_t CGameRoom::AddDefinitionInstance(double x, double y, int32_t object) {
  if (!record_) return -1;
  RoomRecordInstance e;
  e.x = Real_ToInt32(x);
  e.y = Real_ToInt32(y);
  e.object = object;
  e.id = Room_NewInstanceId();
  record_->instances.push_back(std::move(e));
  return record_->instances.back().id;
}

int32_t CGameRoom::AddDefinitionTile(int32_t background, int32_t left, int32_t top, int32_t w, int32_t h, double x,
                                     double y, double depth, double xscale, double yscale, uint32_t blend) {
  if (!record_) return -1;
  RoomRecordTile t;
  t.x = Real_ToInt32(x);
  t.y = Real_ToInt32(y);
  t.background = background;
  t.left = left;
  t.top = top;
  t.width = w;
  t.height = h;
  t.depth = Real_ToInt32(depth);
  t.id = Room_NewTileId();
  t.xscale = float(xscale);
  t.yscale = float(yscale);
  t.colour = blend;
  record_->tiles.push_back(t);
  return t.id;
}

void CGameRoom::ClearDefinitionInstances() {
  if (record_) record_->instances.clear();
}

void CGameRoom::TilesFromRecord() {
  std::vector<RoomTile> tiles;
  if (record_) {
    tiles.reserve(record_->tiles.size());
    for (const RoomRecordTile& s : record_->tiles) {
      RoomTile t;
      t.x = s.x;
      t.y = s.y;
      t.background = s.background;
      t.left = s.left;
      t.top = s.top;
      t.width = s.width;
      t.height = s.height;
      t.depth = s.depth;
      t.id = s.id;
      t.xscale = s.xscale;
      t.yscale = s.yscale;
      t.blend = s.colour & 0xFFFFFF;
      t.alpha = Alpha(s.colour);
      t.visible = true;
      tiles.push_back(t);
    }
  }
  tiles_.Assign(std::move(tiles));
  lastTileFound_ = -1;
}

// ---- RoomSlotTable ----------------------------------------------------------------------

bool RoomSlotTable::Set(int32_t index, std::unique_ptr<CGameRoom> room) {
  if (!InRange(index)) return false;
  slots_[size_t(index)] = std::move(room);
  return true;
}

std::unique_ptr<CGameRoom> RoomSlotTable::Take(int32_t index) {
  if (!InRange(index)) return nullptr;
  return std::move(slots_[size_t(index)]);
}

void RoomSlotTable::Resize(int32_t count) { slots_.resize(count > 0 ? size_t(count) : 0); }

int32_t RoomSlotTable::Append(std::unique_ptr<CGameRoom> room) {
  slots_.push_back(std::move(room));
  return int32_t(slots_.size() - 1);
}

// ---- Loading and preparation --------------------------------------------------------------

RoomLoadContext Room_ContextOf(const GameDataFile& file) {
  RoomLoadContext ctx;
  ctx.version = GameInfo_Get().version;
  ctx.precompiled = NativeGame_Get().code_table != nullptr;
  for (const ChunkRef& c : file.Chunks()) {
    if (std::memcmp(c.tag, "CODE", 4) == 0 && c.length > 0) ctx.precompiled = true;
  }
  return ctx;
}

bool Room_Load(const ChunkBody& body) {
  Room_LoadChunk(body, Room_ContextOf(body.File()));
  return true;
}

void Room_LoadChunk(const ChunkBody& body, const RoomLoadContext& ctx) {
  // Built aside and kept only when whole: a refused chunk leaves no rooms.
  ForgetCurrentRoom();
  RoomStateTable.Clear();
  RoomTable.Clear();
  g_names.clear();
  g_context = ctx;
  const std::vector<uint32_t> list = body.OffsetList();
  RoomSlotTable table;
  std::vector<std::string> names(list.size());
  table.Resize(int32_t(list.size()));
  for (size_t i = 0; i < list.size(); ++i) {
    if (!list[i]) continue;
    auto room = std::make_unique<CGameRoom>();
    try {
      room->LoadFromChunk(body.File(), list[i], ctx);
    } catch (const DataError& e) {
      throw DataError("ROOM entry " + std::to_string(i) + ": " + e.what());
    }
    names[i] = room->Name();
    table.Set(int32_t(i), std::move(room));
  }
  RoomStateTable.Resize(table.Count());
  RoomTable = std::move(table);
  g_names = std::move(names);
}

void Room_Clear() {
  ForgetCurrentRoom();
  RoomStateTable.Clear();
  RoomTable.Clear();
  g_names.clear();
  g_order.clear();
  g_context = RoomLoadContext();
}

bool Room_Prepare() {
  if (g_context.precompiled) return true;
  bool result = true;
  for (int32_t i = 0; i < RoomTable.Count(); ++i) {
    CGameRoom* room = RoomTable.Get(i);
    if (!room) continue;
    const std::string name = NamePart(room->Name());
    if (!room->creation_code_text.empty() && room->creation_code) {
      result = Compile(*room->creation_code, "Room." + name);
      if (!result) return false;
    }
    const RoomRecord* record = room->Record();
    if (!record) continue;
    for (size_t n = 0; n < record->instances.size(); ++n) {
      const std::shared_ptr<CCode>& code = record->instances[n].code;
      if (!code) continue;
      result = Compile(*code, "Instance." + name + "." + std::to_string(n));
      if (!result) break;
    }
  }
  return result;
}

void Room_FreeAll() {
  ForgetCurrentRoom();
  RoomStateTable.Clear();
  RoomTable.Clear();
  g_names.clear();
  g_order.clear();
}

void Room_SetCompiler(RoomCompileFn compile) { g_compile = compile; }
void Room_SetBackgroundSizeLookup(RoomBackgroundSizeFn lookup) { g_backgroundSize = lookup; }
bool Room_BackgroundSize(int32_t index, int32_t* width, int32_t* height) {
  *width = *height = 0;
  if (g_backgroundSize && g_backgroundSize(index, width, height)) return true;
  *width = *height = 0;
  return false;
}

// ---- Id counters -----------------------------------------------------------------------------

void Room_SetLastInstanceId(uint32_t id) { g_lastInstanceId = id; }
int32_t Room_LastInstanceId() { return int32_t(g_lastInstanceId); }
int32_t Room_NewInstanceId() { return int32_t(++g_lastInstanceId); }

// ---- Lookups ----------------------------------------------------------------------------------

int32_t Room_Count() { return RoomTable.Count(); }
bool Room_Exists(int32_t index) { return RoomTable.Get(index) != nullptr; }
CGameRoom* Room_Get(int32_t index) { return RoomTable.Get(index); }

std::string Room_GetName(int32_t index) {
  if (!Room_Exists(index) || size_t(index) >= g_names.size()) return "<undefined>";
  return g_names[size_t(index)];
}

int32_t Room_FindByName(std::string_view name) {
  for (int32_t i = 0; i < RoomTable.Count() && size_t(i) < g_names.size(); ++i) {
    if (RoomTable.Get(i) && g_names[size_t(i)] == name) return i;
  }
  return -1;
}

// ---- The room order --------------------------------------------------------------------------

void Room_SetOrder(const std::vector<int32_t>& order) { g_order = order; }
const std::vector<int32_t>& Room_GetOrder() { return g_order; }

int32_t Room_First() { return g_order.empty() ? -1 : g_order.front(); }
int32_t Room_Last() { return g_order.empty() ? -1 : g_order.back(); }

int32_t Room_Previous(int32_t room) {
  const size_t n = g_order.size();
  if (n < 2) return -1;
  for (size_t i = 1; i < n; ++i) {
    if (g_order[i] == room) return g_order[i - 1];
  }
  return g_order[n - 2];
}

int32_t Room_Next(int32_t room) {
  const size_t n = g_order.size();
  if (n < 2) return -1;
  for (size_t i = n - 1; i-- > 0;) {
    if (g_order[i] == room) return g_order[i + 1];
  }
  return g_order[1];
}

std::string Room_OrderProblem() {
  if (g_order.empty()) return "The game has no room to start in: its room order is empty";
  if (!Room_Exists(g_order.front())) {
    return "The game cannot start: the first room of its room order, " + std::to_string(g_order.front()) +
           ", does not exist";
  }
  return {};
}

// ---- Run-time additions ----------------------------------------------------------------------

namespace {
int32_t AppendRoom(std::unique_ptr<CGameRoom> room) {
  const auto index = int32_t(g_names.size());
  const std::string name = "__newroom" + std::to_string(index);
  room->SetName(name);
  g_names.push_back(name);
  RoomTable.Append(std::move(room));
  RoomStateTable.Append(nullptr);
  return index;
}
}  // namespace

int32_t Room_Add() {
  auto room = std::make_unique<CGameRoom>();
  room->CreateDefaultRecord();
  return AppendRoom(std::move(room));
}

int32_t Room_Duplicate(int32_t index) {
  const CGameRoom* source = Room_Get(index);
  if (!source) return -1;
  auto room = std::make_unique<CGameRoom>();
  room->CopyFrom(*source, false);
  return AppendRoom(std::move(room));
}

bool Room_Assign(int32_t index, int32_t source) {
  const CGameRoom* from = Room_Get(source);
  if (!from || !Room_Exists(index)) return false;
  auto room = std::make_unique<CGameRoom>();
  room->CopyFrom(*from, false);
  room->SetName(Room_Get(index)->Name());
  // The definition it replaces is deleted: running copies hold the shared
  // record and code themselves.
  RoomTable.Set(index, std::move(room));
  return true;
}

// ---- Room changes ------------------------------------------------------------------------------

void Room_Goto(int32_t room) {
  g_Run.new_room = room;
  g_Run.transition_kind = 0;
  if (!Room_Exists(room)) {
    Error_ReportRuntime(ErrorSeverity::kAbort, Message_WithNumber("Unexisting room number: ", room).c_str());
    g_Run.new_room = kNewRoomAbort;
  }
}

void Room_GotoPrevious() {
  if (g_Run.room_index == Room_First()) {
    Error_ReportRuntime(ErrorSeverity::kAbort, "Moving to previous room before the first room.");
    g_Run.new_room = kNewRoomAbort;
    return;
  }
  Room_Goto(Room_Previous(g_Run.room_index));
}

void Room_GotoNext() {
  if (g_Run.room_index == Room_Last()) {
    Error_ReportRuntime(ErrorSeverity::kAbort, "Moving to next room after the last room.");
    g_Run.new_room = kNewRoomAbort;
    return;
  }
  Room_Goto(Room_Next(g_Run.room_index));
}

void Room_Restart() { Room_Goto(g_Run.room_index); }

void Game_Restart() { g_Run.new_room = kNewRoomRestart; }

int32_t Room_PreviousOfExisting(int32_t room) {
  return Room_Exists(room) && room != Room_First() ? Room_Previous(room) : -1;
}

int32_t Room_NextOfExisting(int32_t room) {
  return Room_Exists(room) && room != Room_Last() ? Room_Next(room) : -1;
}

// ---- Instances of a running copy ---------------------------------------------

CObjInstance* CGameRoom::CreateInstance(float x, float y, int32_t objectIndex) {
  auto* instance = new CObjInstance(x, y, Room_NewInstanceId(), objectIndex, true);
  instance->CreatePhysicsBody(this);
  active.Insert(instance);
  g_InstanceIdMap.Add(instance);
  return instance;
}

void CGameRoom::DeleteInstance(CObjInstance* instance) {
  // The instance leaves the id map, its list and every pending list itself.
  delete instance;
}

void CGameRoom::RemoveDeadInstances() { active.DeleteMarkedDead(); }

void CGameRoom::ApplyActivationChanges() { Instance_ApplyActivationChanges(active, deactivated); }

void CGameRoom::DeleteAllInstances() { active.DeleteAll(); }

void CGameRoom::DeleteAllDeactivated() { deactivated.DeleteAll(); }
