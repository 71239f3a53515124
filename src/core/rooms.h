// Rooms: the definitions built from the ROOM chunk, the running copies made
// from them, the room table, the room order and the instance and tile id
// counters.
//
// The container is never patched, so a room record is read once into a
// RoomRecord of our own. A definition and every copy made from it share that
// record, as they share the room's creation code.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/game_data.h"
#include "core/instances.h"
#include "core/tiles.h"

class CCode;

// ---- The room record ----------------------------------------------------------

// One background layer as stored: the flags are non-zero for true.
struct RoomRecordBackground {
  int32_t visible = 0, foreground = 0, index = 0, x = 0, y = 0;
  int32_t tile_h = 0, tile_v = 0, hspeed = 0, vspeed = 0, stretch = 0;
};
constexpr uint32_t kRoomRecordBackgroundSize = 40;

struct RoomRecordView {
  int32_t visible = 0, xview = 0, yview = 0, wview = 0, hview = 0;
  int32_t xport = 0, yport = 0, wport = 0, hport = 0;
  int32_t hborder = 0, vborder = 0, hspeed = 0, vspeed = 0, object = 0;
};
constexpr uint32_t kRoomRecordViewSize = 56;

// An instance the room places when it is entered.
struct RoomRecordInstance {
  int32_t x = 0, y = 0;
  int32_t object = 0;  // negative: the entry places nothing
  int32_t id = 0;
  std::shared_ptr<CCode> code;  // creation code; null for none
  float xscale = 1, yscale = 1;
  uint32_t colour = 0xFFFFFFFF;  // 0xAABBGGRR: blend below, alpha in the top byte
  float angle = 0;
};
constexpr uint32_t kRoomRecordInstanceSize = 36;

struct RoomRecordTile {
  int32_t x = 0, y = 0, background = 0, left = 0, top = 0, width = 0, height = 0, depth = 0, id = 0;
  float xscale = 1, yscale = 1;
  uint32_t colour = 0xFFFFFFFF;  // as for instances
};
constexpr uint32_t kRoomRecordTileSize = 48;

// Size of a room record up to the tile-list offset, and with the physics
// fields that format version 6 added.
constexpr uint32_t kRoomRecordSize = 56;
constexpr uint32_t kRoomRecordPhysicsSize = 88;

struct RoomRecord {
  std::string name, caption;
  int32_t width = 0, height = 0, speed = 0, persistent = 0;
  uint32_t colour = 0;
  int32_t show_colour = 0;
  uint32_t flags = 0;  // bit 0 views enabled, bit 1 clear with the window colour
  int32_t physics_world = 0;
  float gravity_x = 0, gravity_y = 0, pixels_to_metres = 0;
  std::vector<RoomRecordBackground> backgrounds;
  std::vector<RoomRecordView> views;
  std::vector<RoomRecordInstance> instances;
  std::vector<RoomRecordTile> tiles;
};

// ---- The room -----------------------------------------------------------------------

struct RoomBackground {
  bool visible = false, foreground = false;
  int32_t index = -1;  // background resource, -1 none
  double x = 0, y = 0;
  bool tile_h = true, tile_v = true;
  double hspeed = 0, vspeed = 0;
  double xscale = 1, yscale = 1;
  uint32_t blend = 0xFFFFFF;
  double alpha = 1;
};

struct RoomView {
  bool visible = false;
  int32_t xview = 0, yview = 0, wview = 640, hview = 480;
  int32_t xport = 0, yport = 0, wport = 640, hport = 480;
  double angle = 0;
  int32_t hborder = 32, vborder = 32, hspeed = -1, vspeed = -1;
  int32_t object = -1;      // object to follow
  int32_t surface = -1;     // kept by Clear and not copied
};

constexpr int kRoomLayers = 8;  // background layers, and views

// What loading needs to know of the game as a whole.
struct RoomLoadContext {
  uint8_t version = 0;       // of the game information header
  bool precompiled = false;  // creation code fields are CODE indices, not text
};

// The size of background image `index`; false when there is no such image.
using RoomBackgroundSizeFn = bool (*)(int32_t index, int32_t* width, int32_t* height);

class CGameRoom {
 public:
  CGameRoom();
  ~CGameRoom();
  CGameRoom(const CGameRoom&) = delete;
  CGameRoom& operator=(const CGameRoom&) = delete;

  // Back to the defaults of a new room; the name and the views' surface ids
  // are kept.
  void Clear();
  void SetName(std::string_view name) { name_ = name; }
  const std::string& Name() const { return name_; }

  // A definition from the room record at container offset `record`;
  // DataError when the record or anything it points at is damaged.
  void LoadFromChunk(const GameDataFile& file, uint32_t record, const RoomLoadContext& context);
  // A copy of `source`. With definition instances the tiles come from the
  // shared record; the instances themselves are made by the caller, which
  // owns instance creation. Without, the source's own tiles are copied.
  void CopyFrom(const CGameRoom& source, bool withDefinitionInstances);
  void ScrollBackgrounds();

  // A record of its own for a room made at run time.
  void CreateDefaultRecord();
  const RoomRecord* Record() const { return record_.get(); }
  std::shared_ptr<RoomRecord> SharedRecord() const { return record_; }
  // Append to the shared record; the new id, or -1 when the room has no record.
  int32_t AddDefinitionInstance(double x, double y, int32_t object);
  int32_t AddDefinitionTile(int32_t background, int32_t left, int32_t top, int32_t width, int32_t height, double x,
                            double y, double depth, double xscale, double yscale, uint32_t colour);
  void ClearDefinitionInstances();

  // ---- Tiles (core/tiles.cpp). Indices are array positions. ----
  const RoomTileArray& Tiles() const { return tiles_; }
  RoomTile& TileAt(int32_t index) { return tiles_[index]; }  // caller checks the index
  int32_t TileCount() const { return tiles_.Count(); }
  int32_t LastTileFound() const { return lastTileFound_; }
  // The new index (its tile takes a new id), or -1 when the array is full.
  int32_t AddTile(const RoomTile& tile);
  int32_t FindTileById(int32_t id);
  int32_t FindTileAt(double x, double y, bool foreground);
  int32_t FindTileInLayer(double depth, double x, double y);
  void HideTileLayer(double depth);
  void ShowTileLayer(double depth);
  void ShiftTileLayer(double depth, double dx, double dy);
  void SetTileLayerDepth(double from, double to);
  void DeleteTile(int32_t index);
  void DeleteTilesAt(double x, double y, bool foreground);
  void DeleteTileLayer(double depth);
  void DeleteTileLayerAt(double depth, double x, double y);
  void ClearTiles();
  // Largest depth first; tiles of equal depth keep their order.
  void SortTiles();
  // Replaces the tiles with those of the record (ids kept).
  void TilesFromRecord();

  std::string caption;
  int32_t speed = 30;
  int32_t width = 640, height = 480;
  bool persistent = false;
  uint32_t colour = 0xC0C0C0;  // 0x00BBGGRR
  bool show_colour = true;
  std::array<RoomBackground, kRoomLayers> backgrounds;
  bool views_enabled = false;
  bool clear_with_window_colour = false;
  std::array<RoomView, kRoomLayers> views;
  std::string creation_code_text;
  std::shared_ptr<CCode> creation_code;  // shared with copies; null for none
  bool physics_world = false;
  int32_t gravity_x = 0, gravity_y = 0;
  float pixels_to_metres = 0;
  // Ids of the instances a running copy made from its definition, in
  // definition order, waiting for their create events.
  std::vector<int32_t> defined_ids;

  // The running copy's instances, in depth order; deactivated ones apart.
  InstanceList active;
  InstanceList deactivated;
  // A new instance with the next id, in its object's lists, the active list
  // and the id map. No event runs.
  CObjInstance* CreateInstance(float x, float y, int32_t objectIndex);
  // Out of the id map and its list, then deleted.
  void DeleteInstance(CObjInstance* instance);
  void RemoveDeadInstances();
  void ApplyActivationChanges();
  void DeleteAllInstances();
  void DeleteAllDeactivated();

 private:
  std::shared_ptr<RoomRecord> record_;
  RoomTileArray tiles_;
  int32_t lastTileFound_ = -1;
  std::string name_;
};

// ---- The room table -------------------------------------------------------------

// Rooms by room index; a slot may be empty. Indices outside the table read
// as empty and are never used to index it.
class RoomSlotTable {
 public:
  int32_t Count() const { return int32_t(slots_.size()); }
  CGameRoom* Get(int32_t index) const { return InRange(index) ? slots_[size_t(index)].get() : nullptr; }
  // Replaces the room in a slot; false for an index outside the table.
  bool Set(int32_t index, std::unique_ptr<CGameRoom> room);
  std::unique_ptr<CGameRoom> Take(int32_t index);
  void Resize(int32_t count);
  int32_t Append(std::unique_ptr<CGameRoom> room);
  void Clear() { slots_.clear(); }

 private:
  bool InRange(int32_t index) const { return index >= 0 && size_t(index) < slots_.size(); }
  std::vector<std::unique_ptr<CGameRoom>> slots_;
};

// The definitions, and the running copies (one slot per room index).
extern RoomSlotTable RoomTable;
extern RoomSlotTable RoomStateTable;

// Loading and preparation. Room_Load builds the definitions and names from
// the ROOM chunk and, when the chunk is damaged, throws DataError and leaves
// the table empty.
bool Room_Load(const ChunkBody& body);
void Room_LoadChunk(const ChunkBody& body, const RoomLoadContext& context);
// The context of the loaded game: its header version, and whether its code
// is precompiled (compiled game code present, or a CODE chunk with a body).
RoomLoadContext Room_ContextOf(const GameDataFile& file);
// Forgets the definitions, the names, the running copies and the order.
void Room_Clear();
bool Room_Prepare();
void Room_FreeAll();

// Compiles text-mode creation code under `name`; false with the compiler's
// text in `error`. Supplied by the run-time compiler; without one, text-mode
// creation code fails to prepare.
using RoomCompileFn = bool (*)(CCode& code, const std::string& name, std::string& error);
void Room_SetCompiler(RoomCompileFn compile);
// Supplied by the background table, for stretched layers; without one no
// background image exists and the layers keep a scale of 1.
void Room_SetBackgroundSizeLookup(RoomBackgroundSizeFn lookup);
// The size of background image `index` through that look-up; false (and
// 0 by 0) when there is no such image.
bool Room_BackgroundSize(int32_t index, int32_t* width, int32_t* height);

// Id counters.
void Room_SetLastInstanceId(uint32_t id);
int32_t Room_LastInstanceId();
int32_t Room_NewInstanceId();

// Lookups.
int32_t Room_Count();
bool Room_Exists(int32_t index);
CGameRoom* Room_Get(int32_t index);
std::string Room_GetName(int32_t index);  // "<undefined>" for no room
int32_t Room_FindByName(std::string_view name);

// The room order.
void Room_SetOrder(const std::vector<int32_t>& order);
const std::vector<int32_t>& Room_GetOrder();
// The first and last rooms of the order; -1 when the order is empty.
int32_t Room_First();
int32_t Room_Last();
int32_t Room_Previous(int32_t room);
int32_t Room_Next(int32_t room);
// Why the game cannot start in the first room of its order, or "" when it can.
std::string Room_OrderProblem();

// Run-time additions; the new index, or -1 when `index` holds no room.
int32_t Room_Add();
int32_t Room_Duplicate(int32_t index);
// Slot `index` becomes a copy of room `source` and keeps its name; false
// unless both hold rooms. Like a duplicate, the copy shares the source's
// record and makes no instances: those come when the room is entered.
bool Room_Assign(int32_t index, int32_t source);

// Room changes. Each sets the new-room request, acted on after the step; a
// room that does not exist is a fatal error and asks for the abort.
void Room_Goto(int32_t room);
void Room_GotoPrevious();
void Room_GotoNext();
void Room_Restart();
void Game_Restart();
// The rooms before and after `room` in the order, for room_previous and
// room_next: -1 unless the room exists and is not the first (last).
int32_t Room_PreviousOfExisting(int32_t room);
int32_t Room_NextOfExisting(int32_t room);
