// Tiles: rectangles cut from a background image and placed in a room. Each
// room keeps its tiles in one array; the operations on it are CGameRoom
// methods (core/rooms.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct RoomTile {
  double x = 0, y = 0;  // top-left corner in the room
  int32_t background = 0;
  int32_t left = 0, top = 0, width = 0, height = 0;  // the part of the image shown
  double depth = 0;
  int32_t id = 0;
  double xscale = 1, yscale = 1;
  uint32_t blend = 0xFFFFFF;  // 0x00BBGGRR
  double alpha = 1;
  bool visible = true;

  // Half-open: the right and bottom edges are outside.
  bool Holds(double px, double py) const {
    return px >= x && px < x + width * xscale && py >= y && py < y + height * yscale;
  }
  // Closed: the right and bottom edges are inside.
  bool Touches(double px, double py) const {
    return px >= x && px <= x + width * xscale && py >= y && py <= y + height * yscale;
  }
};

// A room's tile storage. It grows by 10 entries when an append finds it
// full and is released whenever it becomes empty; saved games record the
// capacity, so it is kept exactly rather than left to the vector.
class RoomTileArray {
 public:
  static constexpr int32_t kGrowth = 10;

  int32_t Count() const { return int32_t(tiles_.size()); }
  int32_t Capacity() const { return capacity_; }
  bool Empty() const { return tiles_.empty(); }
  // Callers check the index first (0 to Count() - 1).
  RoomTile& operator[](int32_t i) { return tiles_[size_t(i)]; }
  const RoomTile& operator[](int32_t i) const { return tiles_[size_t(i)]; }
  auto begin() { return tiles_.begin(); }
  auto end() { return tiles_.end(); }
  auto begin() const { return tiles_.begin(); }
  auto end() const { return tiles_.end(); }

  // The new index, or -1 when the array cannot grow further.
  int32_t Append(const RoomTile& tile);
  // Replaces the contents; the capacity becomes the count.
  void Assign(std::vector<RoomTile> tiles);
  // Removes, in place and keeping the order of the rest, every tile `drop`
  // accepts; the number removed.
  template <class Pred>
  int32_t RemoveIf(Pred drop) {
    size_t kept = 0;
    for (size_t i = 0; i < tiles_.size(); ++i) {
      if (drop(tiles_[i])) continue;
      if (kept != i) tiles_[kept] = tiles_[i];
      ++kept;
    }
    const auto removed = int32_t(tiles_.size() - kept);
    tiles_.resize(kept);
    if (tiles_.empty()) Clear();
    return removed;
  }
  void Clear();

 private:
  std::vector<RoomTile> tiles_;
  int32_t capacity_ = 0;
};

// The last tile id given out; tiles appended at run time take the next one.
void Room_SetLastTileId(uint32_t id);
int32_t Room_LastTileId();
// Advances the counter and returns the new id.
int32_t Room_NewTileId();
