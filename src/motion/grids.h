// Motion-planning grids: a rectangle of the room cut into equal cells, each
// free or blocked, and the shortest way of cells between two points written
// into a path. Grids are numbered by slot; a destroyed grid's slot is taken
// by the next one created. They outlive rooms and are freed at shutdown.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class CMotionPath;
class CObjInstance;

class CGrid {
 public:
  static constexpr int32_t kFree = 0;
  static constexpr int32_t kBlocked = -1;

  // Sizes are checked by MotionGrid_Create; every cell starts free.
  CGrid(int32_t left, int32_t top, int32_t columns, int32_t rows, int32_t cellWidth, int32_t cellHeight);

  void ClearAll();
  // Cells outside the grid are left alone.
  void ClearCell(int32_t h, int32_t v) { SetCell(h, v, kFree); }
  void AddCell(int32_t h, int32_t v) { SetCell(h, v, kBlocked); }
  // Every cell the rectangle's corners fall in or between, cut to the grid.
  void ClearRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) { SetRectangle(x1, y1, x2, y2, kFree); }
  void AddRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) { SetRectangle(x1, y1, x2, y2, kBlocked); }
  // Blocks the cells under the instance's bounding box; with precise only
  // those its shape overlaps.
  void AddInstance(CObjInstance* instance, bool precise);
  // The shortest way of cells from the start point to the goal point (a
  // diagonal step only where neither cell beside it is blocked), written
  // into the path as the start, the centres of the cells between and the
  // goal. False, the path untouched, when either point is off the grid or
  // blocked or no way joins them.
  bool FindPath(CMotionPath* path, int32_t xstart, int32_t ystart, int32_t xgoal, int32_t ygoal, bool allowdiag);
  // Every cell as a filled rectangle: red when blocked, dark green when free.
  void Draw() const;

  int32_t Columns() const { return columns_; }
  int32_t Rows() const { return rows_; }
  // kFree or kBlocked; kBlocked outside the grid.
  int32_t Cell(int32_t h, int32_t v) const;

 private:
  bool Inside(int64_t h, int64_t v) const { return h >= 0 && h < columns_ && v >= 0 && v < rows_; }
  size_t Index(int64_t h, int64_t v) const { return size_t(h) * size_t(rows_) + size_t(v); }
  void SetCell(int32_t h, int32_t v, int32_t value);
  void SetRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t value);
  struct Range {
    int64_t firstColumn, lastColumn, firstRow, lastRow;
  };
  Range CellRange(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const;
  // The cell holding the point; false off the grid.
  bool CellOf(int32_t x, int32_t y, int64_t* h, int64_t* v) const;
  // One step of a way: orthogonal, or diagonal with neither side cell
  // blocked.
  bool CanStep(int64_t h, int64_t v, int dh, int dv) const;

  int32_t left_, top_, cellWidth_, cellHeight_, columns_, rows_;
  // Column by column; above 0 only during a search (the wave number).
  std::vector<int32_t> cells_;
};

// The most cells one grid may have (a 8192 x 8192 grid, 256 MB).
constexpr int64_t kMotionGridMaxCells = int64_t(1) << 26;

// A new grid's id, or -1 (reported) when the cell size is below 1, a count is
// negative or the cells would not fit in memory.
int MotionGrid_Create(int32_t left, int32_t top, int32_t columns, int32_t rows, int32_t cellWidth,
                      int32_t cellHeight);
void MotionGrid_Destroy(int id);
// Null for an id naming no grid.
CGrid* MotionGrid_Get(int id);
void MotionGrid_FreeAll();
