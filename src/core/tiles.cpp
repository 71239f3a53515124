#include "core/tiles.h"

#include <climits>

#include "core/rooms.h"

namespace {
// Unsigned, so that running past the top wraps instead of overflowing.
uint32_t g_lastTileId = 0;
}  // namespace

void Room_SetLastTileId(uint32_t id) { g_lastTileId = id; }
int32_t Room_LastTileId() { return int32_t(g_lastTileId); }
int32_t Room_NewTileId() { return int32_t(++g_lastTileId); }

// ---- RoomTileArray --------------------------------------------------------------

int32_t RoomTileArray::Append(const RoomTile& tile) {
  if (Count() == capacity_) {
    if (capacity_ > INT32_MAX - kGrowth) return -1;
    capacity_ += kGrowth;
    tiles_.reserve(size_t(capacity_));
  }
  tiles_.push_back(tile);
  return Count() - 1;
}

void RoomTileArray::Assign(std::vector<RoomTile> tiles) {
  if (tiles.empty() || tiles.size() > size_t(INT32_MAX)) {
    Clear();
    return;
  }
  tiles_ = std::move(tiles);
  capacity_ = Count();
}

void RoomTileArray::Clear() {
  std::vector<RoomTile>().swap(tiles_);
  capacity_ = 0;
}

// ---- The room's tile operations -------------------------------------------------------

int32_t CGameRoom::AddTile(const RoomTile& tile) {
  const int32_t index = tiles_.Append(tile);
  if (index < 0) return -1;
  tiles_[index].id = Room_NewTileId();
  lastTileFound_ = index;
  return index;
}

int32_t CGameRoom::FindTileById(int32_t id) {
  // The cached position may hold another tile since a deletion.
  if (lastTileFound_ >= 0 && lastTileFound_ < tiles_.Count() && tiles_[lastTileFound_].id == id) {
    return lastTileFound_;
  }
  for (int32_t i = 0; i < tiles_.Count(); ++i) {
    if (tiles_[i].id == id) return lastTileFound_ = i;
  }
  return -1;
}

int32_t CGameRoom::FindTileAt(double x, double y, bool foreground) {
  lastTileFound_ = -1;
  for (int32_t i = 0; i < tiles_.Count(); ++i) {
    const RoomTile& t = tiles_[i];
    // Depth 0 counts as background here.
    if ((foreground ? t.depth < 0 : t.depth >= 0) && t.Holds(x, y)) return lastTileFound_ = i;
  }
  return -1;
}

int32_t CGameRoom::FindTileInLayer(double depth, double x, double y) {
  lastTileFound_ = -1;
  for (int32_t i = 0; i < tiles_.Count(); ++i) {
    if (tiles_[i].depth == depth && tiles_[i].Holds(x, y)) return lastTileFound_ = i;
  }
  return -1;
}

void CGameRoom::HideTileLayer(double depth) {
  for (RoomTile& t : tiles_)
    if (t.depth == depth) t.visible = false;
}

void CGameRoom::ShowTileLayer(double depth) {
  for (RoomTile& t : tiles_)
    if (t.depth == depth) t.visible = true;
}

void CGameRoom::ShiftTileLayer(double depth, double dx, double dy) {
  for (RoomTile& t : tiles_) {
    if (t.depth != depth) continue;
    t.x += dx;
    t.y += dy;
  }
}

void CGameRoom::SetTileLayerDepth(double from, double to) {
  for (RoomTile& t : tiles_)
    if (t.depth == from) t.depth = to;
}

void CGameRoom::DeleteTile(int32_t index) {
  if (index < 0 || index >= tiles_.Count()) return;
  int32_t at = 0;
  tiles_.RemoveIf([&](const RoomTile&) { return at++ == index; });
}

void CGameRoom::DeleteTilesAt(double x, double y, bool foreground) {
  // Unlike the finders, depth 0 belongs to both sides here.
  tiles_.RemoveIf([&](const RoomTile& t) { return (foreground ? t.depth <= 0 : t.depth >= 0) && t.Touches(x, y); });
}

void CGameRoom::DeleteTileLayer(double depth) {
  tiles_.RemoveIf([&](const RoomTile& t) { return t.depth == depth; });
}

void CGameRoom::DeleteTileLayerAt(double depth, double x, double y) {
  tiles_.RemoveIf([&](const RoomTile& t) { return t.depth == depth && t.Holds(x, y); });
}

void CGameRoom::ClearTiles() {
  tiles_.Clear();
  lastTileFound_ = -1;
}

void CGameRoom::SortTiles() {
  const int32_t n = tiles_.Count();
  int32_t j = 1;
  while (j < n && tiles_[j - 1].depth >= tiles_[j].depth) ++j;
  if (j >= n) return;  // already in order: the common case every frame
  // Insertion sort: stable, and safe with NaN depths, which a comparison
  // sort's ordering rules would not be.
  for (; j < n; ++j) {
    const RoomTile t = tiles_[j];
    int32_t i = j - 1;
    while (i >= 0 && tiles_[i].depth < t.depth) {
      tiles_[i + 1] = tiles_[i];
      --i;
    }
    tiles_[i + 1] = t;
  }
}
