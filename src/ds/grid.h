// Grids: two-dimensional arrays of script values addressed [x][y], with
// arithmetic on cells, rectangles, disks and regions of other grids,
// statistics and searches over those areas, row sorting, shuffling and the
// container text form.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

#include "ds/store.h"

// Cell operations of DS_ApplyOp.
enum DSGridOp : int {
  eGridOp_Set = 1,
  eGridOp_Add = 2,
  eGridOp_Multiply = 3,
};

// Most cells a grid may have: its cells stay within 2 GiB, so a script's
// mistyped size is refused rather than exhausting memory.
constexpr int64_t kMaxGridCells = int64_t(1) << 27;

// An area of a grid: the bounding box of cells clipped to the grid, and for
// a disk the circle that picks cells inside it. Empty when x0 > x1 or y0 > y1.
struct GridArea {
  int64_t x0 = 0, x1 = -1, y0 = 0, y1 = -1;
  bool disk = false;
  double xm = 0, ym = 0, rr = 0;  // disk centre and squared radius
};

// Cell storage. Zero bytes are a real 0, so it comes zeroed from calloc and
// the pages of a large grid are cleared by the system as they are touched.
// Releasing the values is the owner's work; this frees only the bytes.
class GridCells {
 public:
  GridCells() = default;
  explicit GridCells(size_t count);
  GridCells(GridCells&& other) noexcept { Swap(other); }
  GridCells& operator=(GridCells&& other) noexcept {
    Swap(other);
    return *this;
  }
  ~GridCells();
  ScriptValue* data() const { return data_; }
  size_t size() const { return size_; }
  ScriptValue* begin() const { return data_; }
  ScriptValue* end() const { return data_ + size_; }

 private:
  void Swap(GridCells& other) {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
  }
  ScriptValue* data_ = nullptr;
  size_t size_ = 0;
};

class CDS_Grid : public DSContainer {
 public:
  // Negative sizes count as 0; the caller keeps width x height within
  // kMaxGridCells.
  CDS_Grid(int32_t width, int32_t height);
  ~CDS_Grid() override;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  bool Inside(int64_t x, int64_t y) const { return x >= 0 && x < width_ && y >= 0 && y < height_; }
  // Column x holds its height cells one after another.
  ScriptValue* Column(int64_t x) { return cells_.data() + size_t(x) * size_t(height_); }
  const ScriptValue* Column(int64_t x) const { return cells_.data() + size_t(x) * size_t(height_); }
  ScriptValue* Cell(int64_t x, int64_t y) { return Column(x) + y; }

  // Every cell := a copy of the value.
  void Clear(const ScriptValue* value);
  // Takes the other grid's size and a copy of each of its cells.
  void CopyFrom(const CDS_Grid& source);
  // Keeps the cells that stay inside; new ones are real 0. The caller checks
  // that both sizes are above 0 and within kMaxGridCells.
  void Resize(int32_t width, int32_t height);
  // width x height x 8 swaps of two cells drawn with Random_Int.
  void Shuffle();
  // Reorders whole rows by the cells of one column: strings before reals
  // ascending, reals compared exactly; rows with equal keys keep their order.
  void Sort(int32_t column, bool ascending);
  // The text form: header 601, width, height, then the cells column by
  // column.
  std::string Write() const;
  // False, with nothing changed, for text that is not a whole grid.
  bool Read(const char* text);

  // The rectangle between two corners given in any order, clipped to the
  // grid.
  GridArea Region(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
  // The cells whose centre lies within r of (xm, ym).
  GridArea Disk(double xm, double ym, double r) const;

  // Calls f(x, y, cell) for each cell of the area, columns ascending and rows
  // ascending within a column, until f returns true. True when f stopped it.
  template <class F>
  bool Visit(const GridArea& area, F&& f) {
    for (int64_t x = area.x0; x <= area.x1; ++x) {
      ScriptValue* column = Column(x);
      if (!area.disk) {
        for (int64_t y = area.y0; y <= area.y1; ++y)
          if (f(x, y, column[y])) return true;
        continue;
      }
      const double dx = double(x) - area.xm, dx2 = dx * dx;
      for (int64_t y = area.y0; y <= area.y1; ++y) {
        const double dy = double(y) - area.ym;
        if (area.rr >= dx2 + dy * dy && f(x, y, column[y])) return true;
      }
    }
    return false;
  }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  GridCells cells_;  // [x][y] at x * height + y
};

// Reserves the first free grid slot and builds a grid of real 0 cells there.
// Negative sizes count as 0; -1 (nothing made) when the cells would number
// more than kMaxGridCells.
int DS_CreateGrid(int32_t width, int32_t height);
// One cell operation with a real or string value: set, add (reals sum,
// strings join, otherwise set) or multiply (reals only). An array is only
// ever set, never an operand.
void DS_ApplyOp(int operation, ScriptValue* cell, const ScriptValue* value);
// The operation from the region x1, y1, x2, y2 of the source onto the
// destination at (xpos, ypos). The two may be the same grid: every source
// cell is read before anything overwrites it.
void DS_GridRegionOp(CDS_Grid* destination, CDS_Grid* source, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                     int64_t xpos, int64_t ypos, int operation);
// Every grid, free slots as null.
inline DSContainer* const* DS_GetGrids(int* length) { return DS_Items(eDS_Grid, length); }
