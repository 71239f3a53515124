#include "motion/game_save.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/game_info.h"
#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "draw/room_draw.h"
#include "ds/buffer.h"
#include "ds/save_stream.h"
#include "files/files.h"
#include "input/input.h"
#include "script/console.h"
#include "script/errors.h"
#include "script/variables.h"

namespace {

constexpr int32_t kSaveTag = 851;
constexpr int kSaveBufferSize = 0x20000;
// The fixed part of each record, so that a count can be checked against the
// bytes left before anything is made for it.
constexpr int64_t kInstanceRecordBytes = 62 * 4;
constexpr int64_t kTileRecordBytes = 14 * 4;

int g_queuedBuffer = -1;      // the buffer a load will read, -1 none
int g_queuedFileBuffer = -1;  // the buffer made for a file load, -1 none

// ---- Writing ------------------------------------------------------------------------

void WriteGlobals(SaveWriter& w) {
  w.S32(kSaveTag);
  w.S32(GameInfo_Get().game_id);
  w.S32(g_Run.room_index);
  w.S32(g_Run.new_room);
  w.S32(g_Run.transition_kind);
  w.S32(g_Run.score);
  w.Flag(g_Run.show_score);
  w.Flag(g_Run.caption_changed);
  w.Text(g_Run.caption_score);
  w.S32(g_Run.lives);
  w.Flag(g_Run.show_lives);
  w.Text(g_Run.caption_lives);
  w.F64(g_Run.health);
  w.Flag(g_Run.show_health);
  w.Text(g_Run.caption_health);
  w.S32(g_Run.cursor_sprite);
  w.S32(g_Run.step_counter);
  w.Flag(g_Run.draw_enabled);
}

void WriteInstance(SaveWriter& w, CObjInstance& i) {
  i.EnsureBoundingBox();
  w.S32(i.id);
  w.Flag(i.deactivated);
  w.S32(i.object_index);
  w.S32(i.sprite_index);
  for (float f : {i.image_index, i.image_speed, i.image_xscale, i.image_yscale, i.image_angle, i.image_alpha}) w.F32(f);
  w.U32(i.image_blend);
  w.S32(i.mask_index);
  w.F32(i.depth);
  w.Flag(i.precise);
  for (float f : {i.x, i.y, i.xstart, i.ystart, i.xprevious, i.yprevious, i.direction, i.speed, i.friction,
                  i.gravity_direction, i.gravity, i.hspeed, i.vspeed})
    w.F32(f);
  for (int32_t b : {i.bbox_left, i.bbox_right, i.bbox_top, i.bbox_bottom}) w.S32(b);
  w.Flag(i.visible);
  w.Flag(i.solid);
  w.Flag(i.persistent);
  for (int32_t a : i.alarm) w.S32(a);
  w.Flag(i.MarkedDead());
  w.S32(i.path_index);
  for (float f : {i.path_position, i.path_positionprevious, i.path_speed, i.path_scale, i.path_orientation}) w.F32(f);
  w.S32(i.path_endaction);
  w.F32(i.path_xstart);
  w.F32(i.path_ystart);
  w.S32(i.timeline_index);
  w.F32(i.timeline_position);
  w.F32(i.timeline_speed);
  w.Flag(i.timeline_running);
  w.Flag(i.timeline_loop);
  w.Flag(i.outside_room);
  if (i.variables) {
    if (!i.variables->Save(w.Stream())) w.Fail();
  } else {
    w.S32(i.SlotCount());
    for (int32_t s = 0; s < i.SlotCount(); ++s)
      if (!ScriptValue_Save(&i.slots[s], w.Stream())) w.Fail();
  }
}

void WriteRoom(SaveWriter& w, CGameRoom& room) {
  if (room.physics_world) Error_Report(ErrorSeverity::kAbort, "ERROR: game_save unavailable for rooms using physics");
  w.Text(room.caption);
  w.S32(room.width);
  w.S32(room.height);
  w.S32(room.speed);
  w.Flag(room.persistent);
  w.U32(room.colour);
  w.Flag(room.show_colour);
  w.Text(room.creation_code_text);
  for (const RoomBackground& b : room.backgrounds) {
    w.Flag(b.visible);
    w.Flag(b.foreground);
    w.S32(b.index);
    w.F32(b.x);
    w.F32(b.y);
    w.Flag(b.tile_h);
    w.Flag(b.tile_v);
    for (double f : {b.hspeed, b.vspeed, b.xscale, b.yscale}) w.F32(f);
    w.S32(int32_t(b.blend));
    w.F32(b.alpha);
  }
  w.Flag(room.views_enabled);
  for (const RoomView& v : room.views) {
    w.Flag(v.visible);
    for (int32_t n : {v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport}) w.S32(n);
    w.F32(v.angle);
    for (int32_t n : {v.hborder, v.vborder, v.hspeed, v.vspeed, v.object, v.surface}) w.S32(n);
  }
  w.S32(room.TileCount());
  for (const RoomTile& t : room.Tiles()) {
    w.F32(t.x);
    w.F32(t.y);
    for (int32_t n : {t.background, t.left, t.top, t.width, t.height}) w.S32(n);
    w.F32(t.depth);
    w.S32(t.id);
    w.F32(t.xscale);
    w.F32(t.yscale);
    w.S32(int32_t(t.blend));
    w.F32(t.alpha);
    w.Flag(t.visible);
  }
  for (InstanceList* list : {&room.active, &room.deactivated}) {
    w.S32(list->Count());
    for (CObjInstance* i : *list) WriteInstance(w, *i);
  }
}

void WriteRooms(SaveWriter& w) {
  w.S32(RoomStateTable.Count());
  w.S32(Room_LastInstanceId());
  w.S32(Room_LastTileId());
  for (int32_t n = 0; n < RoomStateTable.Count(); ++n) {
    CGameRoom* room = RoomStateTable.Get(n);
    w.Flag(room != nullptr);
    if (room) WriteRoom(w, *room);
  }
}

// ---- Reading ------------------------------------------------------------------------
// Everything is read into a staged copy first and applied only when the whole
// stream has been read, so a damaged save leaves the running game as it was.

struct SavedGlobals {
  int32_t game_id = 0, room_index = 0, new_room = 0, transition_kind = 0, score = 0;
  bool show_score = false, caption_changed = false;
  std::string caption_score;
  int32_t lives = 0;
  bool show_lives = false;
  std::string caption_lives;
  double health = 0;
  bool show_health = false;
  std::string caption_health;
  int32_t cursor_sprite = -1, step_counter = 0;
  bool draw_enabled = true;
};

bool ReadGlobals(SaveReader& r, SavedGlobals& g) {
  if (r.S32() != kSaveTag || !r.Ok()) return false;
  g.game_id = r.S32();
  g.room_index = r.S32();
  g.new_room = r.S32();
  g.transition_kind = r.S32();
  g.score = r.S32();
  g.show_score = r.Flag();
  g.caption_changed = r.Flag();
  g.caption_score = r.Text();
  g.lives = r.S32();
  g.show_lives = r.Flag();
  g.caption_lives = r.Text();
  g.health = r.F64();
  g.show_health = r.Flag();
  g.caption_health = r.Text();
  g.cursor_sprite = r.S32();
  g.step_counter = r.S32();
  g.draw_enabled = r.Flag();
  return r.Ok();
}

void ApplyGlobals(const SavedGlobals& g) {
  g_Run.new_room = g.new_room;
  g_Run.transition_kind = g.transition_kind;
  g_Run.score = g.score;
  g_Run.show_score = g.show_score;
  g_Run.caption_changed = g.caption_changed;
  g_Run.caption_score = g.caption_score;
  g_Run.lives = g.lives;
  g_Run.show_lives = g.show_lives;
  g_Run.caption_lives = g.caption_lives;
  g_Run.health = g.health;
  g_Run.show_health = g.show_health;
  g_Run.caption_health = g.caption_health;
  g_Run.cursor_sprite = g.cursor_sprite;
  g_Run.step_counter = g.step_counter;
  g_Run.draw_enabled = g.draw_enabled;
}

// Made as an empty instance and read; it joins no list, map or object list
// until the load is applied.
std::unique_ptr<CObjInstance> ReadInstance(SaveReader& r) {
  auto i = std::make_unique<CObjInstance>(0.0f, 0.0f, 0, 0, false);
  i->id = r.S32();
  i->deactivated = r.Flag();
  // The object first, so the saved mask, depth, flags and sprite override
  // what it gives.
  i->SetObject(r.S32(), false);
  i->sprite_index = r.S32();
  for (float* f : {&i->image_index, &i->image_speed, &i->image_xscale, &i->image_yscale, &i->image_angle,
                   &i->image_alpha})
    *f = r.F32();
  i->image_blend = r.U32();
  i->mask_index = r.S32();
  i->depth = r.F32();
  i->precise = r.Flag();
  for (float* f : {&i->x, &i->y, &i->xstart, &i->ystart, &i->xprevious, &i->yprevious, &i->direction, &i->speed,
                   &i->friction, &i->gravity_direction, &i->gravity, &i->hspeed, &i->vspeed})
    *f = r.F32();
  for (int32_t* b : {&i->bbox_left, &i->bbox_right, &i->bbox_top, &i->bbox_bottom}) *b = r.S32();
  i->bbox_dirty = true;
  i->visible = r.Flag();
  i->solid = r.Flag();
  i->persistent = r.Flag();
  for (int32_t& a : i->alarm) a = r.S32();
  i->SetMarkedDead(r.Flag());
  i->path_index = r.S32();
  for (float* f : {&i->path_position, &i->path_positionprevious, &i->path_speed, &i->path_scale,
                   &i->path_orientation})
    *f = r.F32();
  i->path_endaction = r.S32();
  i->path_xstart = r.F32();
  i->path_ystart = r.F32();
  i->timeline_index = r.S32();
  i->timeline_position = r.F32();
  i->timeline_speed = r.F32();
  i->timeline_running = r.Flag();
  i->timeline_loop = r.Flag();
  i->outside_room = r.Flag();
  if (!r.Ok()) return nullptr;
  if (i->variables) {
    if (!i->variables->Load(r.Stream())) r.Fail();
  } else {
    const int32_t stored = r.S32();
    if (!r.CountFits(stored, 4)) return nullptr;
    if (stored != i->SlotCount())
      g_DebugConsole->Output("WARNING! game_load variable mismatch - unpredictable results!\n");
    // Values past the instance's own slots are read and dropped.
    for (int32_t s = 0; s < stored && r.Ok(); ++s) {
      ScriptValue spare;
      ScriptValue* target = s < i->SlotCount() ? &i->slots[s] : &spare;
      if (!ScriptValue_Load(target, r.Stream())) r.Fail();
      ScriptValue_Free(&spare);
    }
  }
  if (!r.Ok()) return nullptr;
  return i;
}

bool ReadInstances(SaveReader& r, InstanceList& list, bool deactivatedList) {
  const int32_t count = r.S32();
  if (!r.CountFits(count, kInstanceRecordBytes)) return false;
  for (int32_t n = 0; n < count; ++n) {
    std::unique_ptr<CObjInstance> i = ReadInstance(r);
    if (!i) return false;
    // The list owns it from here; deleting the staged room deletes it.
    if (deactivatedList) list.Append(i.release());
    else list.Insert(i.release());
  }
  return true;
}

bool ReadTiles(SaveReader& r, CGameRoom& room) {
  const int32_t count = r.S32();
  if (!r.CountFits(count, kTileRecordBytes)) return false;
  room.ClearTiles();
  for (int32_t n = 0; n < count; ++n) {
    RoomTile t;
    t.x = r.F32();
    t.y = r.F32();
    for (int32_t* f : {&t.background, &t.left, &t.top, &t.width, &t.height}) *f = r.S32();
    t.depth = r.F32();
    t.id = r.S32();
    t.xscale = r.F32();
    t.yscale = r.F32();
    t.blend = uint32_t(r.S32());
    t.alpha = r.F32();
    t.visible = r.Flag();
    if (!r.Ok()) return false;
    // Tiles keep their saved ids; the id counter is restored with the rooms.
    const int32_t index = room.AddTile(t);
    if (index < 0) return false;
    room.TileAt(index).id = t.id;
  }
  return true;
}

bool SumFits(int32_t a, int32_t b) {
  const int64_t sum = int64_t(a) + b;
  return sum >= INT32_MIN && sum <= INT32_MAX;
}

// A room of the saved game, started from its definition (when the game has
// one) for what the save does not carry: the name, record and creation code.
std::unique_ptr<CGameRoom> ReadRoom(SaveReader& r, int32_t index) {
  auto room = std::make_unique<CGameRoom>();
  if (const CGameRoom* definition = Room_Get(index)) {
    room->CopyFrom(*definition, false);
    room->SetName(definition->Name());
  }
  room->caption = r.Text();
  room->width = r.S32();
  room->height = r.S32();
  room->speed = r.S32();
  room->persistent = r.Flag();
  room->colour = r.U32();
  room->show_colour = r.Flag();
  room->creation_code_text = r.Text();
  for (RoomBackground& b : room->backgrounds) {
    b.visible = r.Flag();
    b.foreground = r.Flag();
    b.index = r.S32();
    b.x = r.F32();
    b.y = r.F32();
    b.tile_h = r.Flag();
    b.tile_v = r.Flag();
    for (double* f : {&b.hspeed, &b.vspeed, &b.xscale, &b.yscale}) *f = r.F32();
    b.blend = uint32_t(r.S32());
    b.alpha = r.F32();
  }
  room->views_enabled = r.Flag();
  for (RoomView& v : room->views) {
    v.visible = r.Flag();
    for (int32_t* n : {&v.xview, &v.yview, &v.wview, &v.hview, &v.xport, &v.yport, &v.wport, &v.hport}) *n = r.S32();
    v.angle = r.F32();
    for (int32_t* n : {&v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object, &v.surface}) *n = r.S32();
  }
  // The view and port edges are computed in 32 bits wherever views are used.
  for (const RoomView& v : room->views)
    if (!SumFits(v.xview, v.wview) || !SumFits(v.yview, v.hview) || !SumFits(v.xport, v.wport) ||
        !SumFits(v.yport, v.hport))
      r.Fail();
  if (!r.Ok() || !ReadTiles(r, *room)) return nullptr;
  if (!ReadInstances(r, room->active, false) || !ReadInstances(r, room->deactivated, true)) return nullptr;
  return room;
}

struct SavedRooms {
  int32_t last_instance_id = 0, last_tile_id = 0;
  std::vector<std::unique_ptr<CGameRoom>> slots;
};

bool ReadRooms(SaveReader& r, SavedRooms& rooms) {
  const int32_t count = r.S32();
  rooms.last_instance_id = r.S32();
  rooms.last_tile_id = r.S32();
  if (!r.CountFits(count, 4)) return false;
  // Reading tiles steps the tile counter; it is set from the save anyway,
  // but a failed load must leave it as it was.
  const int32_t tileCounter = Room_LastTileId();
  for (int32_t n = 0; n < count && r.Ok(); ++n) {
    std::unique_ptr<CGameRoom> room;
    if (r.Flag() && !(room = ReadRoom(r, n))) r.Fail();
    rooms.slots.push_back(std::move(room));
  }
  Room_SetLastTileId(uint32_t(tileCounter));
  return r.Ok();
}

void ApplyRooms(SavedRooms& rooms, int32_t current) {
  if (CGameRoom* room = g_Run.room) {
    room->DeleteAllInstances();
    room->DeleteAllDeactivated();
  }
  g_Run.room = nullptr;
  Room_SetLastInstanceId(uint32_t(rooms.last_instance_id));
  Room_SetLastTileId(uint32_t(rooms.last_tile_id));
  RoomStateTable.Clear();
  RoomStateTable.Resize(int32_t(rooms.slots.size()));
  for (size_t n = 0; n < rooms.slots.size(); ++n) RoomStateTable.Set(int32_t(n), std::move(rooms.slots[n]));

  CGameRoom* room = RoomStateTable.Get(current);
  g_Run.room_index = current;
  g_Run.room = room;
  Graphics_FitWindowToRoom();
  // Only the current room's instances are in play; those of the other
  // (persistent) rooms wait out of the object lists and the id map until
  // their room is entered, as when it was left.
  for (CObjInstance* i : room->active) {
    if (!i->deactivated) i->JoinObjectLists();
    else PendingActivationChanges.AddUnique(i);  // deactivated during the saving step
    g_InstanceIdMap.Add(i);
  }
  for (CObjInstance* i : room->deactivated) {
    if (!i->deactivated) PendingActivationChanges.AddUnique(i);
    g_InstanceIdMap.Add(i);
  }
}

// The global variables are loaded in place (their loader is all or nothing);
// a copy taken first puts them back when a later part fails.
class GlobalsSnapshot {
 public:
  GlobalsSnapshot() : copy_(0, eBuffer_Grow, 1) { GlobalVar_Save(&copy_); }
  void Restore() {
    copy_.Seek(eBuffer_SeekStart, 0);
    GlobalVar_Load(&copy_);
  }

 private:
  IBuffer copy_;
};

}  // namespace

bool GameSave_WriteStream(ValueStream* stream) {
  SaveWriter w(stream);
  WriteGlobals(w);
  if (!GlobalVar_Save(stream)) w.Fail();
  WriteRooms(w);
  IO_VirtualButtonsSave(stream);
  return w.Ok();
}

bool GameSave_ReadStream(ValueStream* stream) {
  SaveReader r(stream);
  SavedGlobals globals;
  if (!ReadGlobals(r, globals)) return false;
  if (globals.game_id != GameInfo_Get().game_id) {
    g_DebugConsole->Output("WARNING: Game load failed, the save is of another game (id %d)\n", globals.game_id);
    return false;
  }
  GlobalsSnapshot before;
  if (!GlobalVar_Load(stream)) return false;
  SavedRooms rooms;
  if (!ReadRooms(r, rooms)) {
    before.Restore();
    return false;
  }
  const int32_t current = globals.room_index;
  if (current < 0 || size_t(current) >= rooms.slots.size() || !rooms.slots[size_t(current)]) {
    // The game cannot run without a room: refused rather than left roomless.
    g_DebugConsole->Output("WARNING: Game load failed, the saved room %d is not in the save\n", current);
    before.Restore();
    return false;
  }
  if (!IO_VirtualButtonsLoad(stream)) {
    before.Restore();
    return false;
  }
  ApplyGlobals(globals);
  ApplyRooms(rooms, globals.room_index);
  return true;
}

bool GameSave_SaveToBuffer(int bufferId) {
  IBuffer* buffer = Buffer_Get(bufferId);
  if (!buffer) return false;
  if (GameSave_WriteStream(buffer)) return true;
  g_DebugConsole->Output("WARNING: Game save failed, buffer %d cannot hold it\n", bufferId);
  return false;
}

bool GameSave_SaveFile(const std::string& name) {
  IBuffer buffer(kSaveBufferSize, eBuffer_Grow, 1);
  if (!GameSave_WriteStream(&buffer)) {
    g_DebugConsole->Output("WARNING: Game save failed, %s not written\n", name.c_str());
    return false;
  }
  return LoadSave_WriteFile(name, buffer.Data(), size_t(buffer.Position()));
}

bool GameSave_QueueLoad(int bufferId) {
  if (g_queuedFileBuffer >= 0) {
    g_DebugConsole->Output("WARNING: Load game being ignored due to load game already queued\n");
    return false;
  }
  if (!Buffer_Get(bufferId)) {
    g_DebugConsole->Output("WARNING: No buffer available for %d\n", bufferId);
    return false;
  }
  g_queuedBuffer = bufferId;
  return true;
}

void GameSave_LoadFile(const std::string& name) {
  std::optional<std::vector<uint8_t>> bytes = LoadSave_ReadGameFile(name);
  if (!bytes) {
    g_DebugConsole->Output("WARNING: Game load failed, %s not found\n", name.c_str());
    return;
  }
  if (bytes->size() > size_t(kBufferMaxSize)) {
    g_DebugConsole->Output("WARNING: Game load failed, %s is too large\n", name.c_str());
    return;
  }
  const int id = Buffer_Create(int(bytes->size()), eBuffer_Grow, 1);
  IBuffer* buffer = Buffer_Get(id);
  if (!buffer) {
    g_DebugConsole->Output("WARNING: Game load failed, no buffer for %s\n", name.c_str());
    return;
  }
  if (!bytes->empty()) buffer->CopyFromMemory(bytes->data(), int(bytes->size()), 0, -1, 0);
  if (GameSave_QueueLoad(id)) {
    g_queuedFileBuffer = id;
  } else {
    Buffer_Delete(id);
  }
}

bool GameSave_PerformQueuedLoad() {
  if (g_queuedBuffer < 0) return false;
  const int id = g_queuedBuffer;
  g_queuedBuffer = -1;
  bool loaded = false;
  // The script may have deleted a queued buffer since it queued it.
  if (IBuffer* buffer = Buffer_Get(id)) {
    loaded = GameSave_ReadStream(buffer);
  } else {
    g_DebugConsole->Output("WARNING: No buffer available for %d\n", id);
  }
  if (g_queuedFileBuffer >= 0) {
    Buffer_Delete(g_queuedFileBuffer);
    g_queuedFileBuffer = -1;
  }
  return loaded;
}

void GameSave_Reset() {
  if (g_queuedFileBuffer >= 0) Buffer_Delete(g_queuedFileBuffer);
  g_queuedFileBuffer = -1;
  g_queuedBuffer = -1;
}
