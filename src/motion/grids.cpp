#include "motion/grids.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>

#include "core/instances.h"
#include "core/paths.h"
#include "draw/primitives.h"
#include "script/errors.h"

namespace {

constexpr uint32_t kBlockedColour = 255;    // red
constexpr uint32_t kFreeColour = 32768;     // dark green
constexpr float kPointSpeed = 100;

// Rounds toward minus infinity, so that points left of or above the grid fall
// in negative cells rather than in cell 0. b > 0.
int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}

// The search's first-in first-out ring of cell indices, kept between searches.
class MotionGridQueue {
 public:
  void Reset() { read_ = write_ = count_ = 0; }
  void Push(int64_t cell) {
    if (buffer_.empty() || ((write_ + 1) & Mask()) == read_) Grow();
    buffer_[write_] = cell;
    write_ = (write_ + 1) & Mask();
    ++count_;
  }
  // -1 when empty.
  int64_t Pop() {
    if (count_ == 0) return -1;
    int64_t cell = buffer_[read_];
    read_ = (read_ + 1) & Mask();
    --count_;
    return cell;
  }

 private:
  size_t Mask() const { return buffer_.size() - 1; }
  // Twice the room, the queued cells moved in order to the start.
  void Grow() {
    std::vector<int64_t> bigger(buffer_.empty() ? 4096 : buffer_.size() * 2);
    for (size_t i = 0; i < count_; ++i) bigger[i] = buffer_[(read_ + i) & Mask()];
    buffer_ = std::move(bigger);
    read_ = 0;
    write_ = count_;
  }

  std::vector<int64_t> buffer_;
  size_t read_ = 0, write_ = 0, count_ = 0;
};

MotionGridQueue g_queue;
std::vector<std::unique_ptr<CGrid>> g_grids;

struct Step {
  int dh, dv;
};
constexpr Step kOrthogonal[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
// The wave's diagonal order, and the trace's.
constexpr Step kWaveDiagonal[] = {{-1, 1}, {-1, -1}, {1, 1}, {1, -1}};
constexpr Step kTraceDiagonal[] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};

}  // namespace

CGrid::CGrid(int32_t left, int32_t top, int32_t columns, int32_t rows, int32_t cellWidth, int32_t cellHeight)
    : left_(left),
      top_(top),
      cellWidth_(cellWidth),
      cellHeight_(cellHeight),
      columns_(columns),
      rows_(rows),
      cells_(size_t(columns) * size_t(rows), kFree) {}

void CGrid::ClearAll() { std::fill(cells_.begin(), cells_.end(), kFree); }

int32_t CGrid::Cell(int32_t h, int32_t v) const { return Inside(h, v) ? cells_[Index(h, v)] : kBlocked; }

void CGrid::SetCell(int32_t h, int32_t v, int32_t value) {
  if (Inside(h, v)) cells_[Index(h, v)] = value;
}

CGrid::Range CGrid::CellRange(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
  Range r;
  r.firstColumn = std::max<int64_t>(FloorDiv(std::min(x1, x2) - left_, cellWidth_), 0);
  r.lastColumn = std::min<int64_t>(FloorDiv(std::max(x1, x2) - left_, cellWidth_), columns_ - 1);
  r.firstRow = std::max<int64_t>(FloorDiv(std::min(y1, y2) - top_, cellHeight_), 0);
  r.lastRow = std::min<int64_t>(FloorDiv(std::max(y1, y2) - top_, cellHeight_), rows_ - 1);
  return r;
}

void CGrid::SetRectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t value) {
  const Range r = CellRange(x1, y1, x2, y2);
  for (int64_t h = r.firstColumn; h <= r.lastColumn; ++h)
    for (int64_t v = r.firstRow; v <= r.lastRow; ++v) cells_[Index(h, v)] = value;
}

void CGrid::AddInstance(CObjInstance* instance, bool precise) {
  instance->EnsureBoundingBox();
  const Range r = CellRange(instance->bbox_left, instance->bbox_top, instance->bbox_right, instance->bbox_bottom);
  for (int64_t h = r.firstColumn; h <= r.lastColumn; ++h) {
    for (int64_t v = r.firstRow; v <= r.lastRow; ++v) {
      int32_t& cell = cells_[Index(h, v)];
      if (cell == kBlocked) continue;
      if (!precise) {
        cell = kBlocked;
        continue;
      }
      const float x1 = float(left_ + h * cellWidth_), y1 = float(top_ + v * cellHeight_);
      const float x2 = float(left_ + (h + 1) * cellWidth_ - 1), y2 = float(top_ + (v + 1) * cellHeight_ - 1);
      if (instance->CollidesWithRectangle(x1, y1, x2, y2, true)) cell = kBlocked;
    }
  }
}

bool CGrid::CellOf(int32_t x, int32_t y, int64_t* h, int64_t* v) const {
  const int64_t dx = int64_t(x) - left_, dy = int64_t(y) - top_;
  if (dx < 0 || dy < 0 || dx >= int64_t(cellWidth_) * columns_ || dy >= int64_t(cellHeight_) * rows_) return false;
  *h = dx / cellWidth_;
  *v = dy / cellHeight_;
  return true;
}

bool CGrid::CanStep(int64_t h, int64_t v, int dh, int dv) const {
  if (!Inside(h + dh, v + dv)) return false;
  if (dh == 0 || dv == 0) return true;
  // Not past the corner of a blocked cell.
  return cells_[Index(h + dh, v)] != kBlocked && cells_[Index(h, v + dv)] != kBlocked;
}

bool CGrid::FindPath(CMotionPath* path, int32_t xstart, int32_t ystart, int32_t xgoal, int32_t ygoal,
                     bool allowdiag) {
  if (!path) return false;
  g_queue.Reset();
  int64_t sh, sv, gh, gv;
  if (!CellOf(xstart, ystart, &sh, &sv) || cells_[Index(sh, sv)] == kBlocked) return false;
  if (!CellOf(xgoal, ygoal, &gh, &gv) || cells_[Index(gh, gv)] == kBlocked) return false;

  // Breadth first: a cell's value is one more than its distance from the
  // start in steps.
  const int64_t start = int64_t(Index(sh, sv)), goal = int64_t(Index(gh, gv));
  cells_[size_t(start)] = 1;
  g_queue.Push(start);
  bool found = false;
  for (int64_t at; (at = g_queue.Pop()) >= 0;) {
    if (at == goal) {
      found = true;
      break;
    }
    const int64_t h = at / rows_, v = at % rows_;
    const int32_t wave = cells_[size_t(at)] + 1;
    auto visit = [&](const Step& s) {
      if (!CanStep(h, v, s.dh, s.dv)) return;
      int32_t& next = cells_[Index(h + s.dh, v + s.dv)];
      if (next != kFree) return;
      next = wave;
      g_queue.Push(int64_t(Index(h + s.dh, v + s.dv)));
    };
    for (const Step& s : kOrthogonal) visit(s);
    if (allowdiag)
      for (const Step& s : kWaveDiagonal) visit(s);
  }

  if (found) {
    // Gathered from the goal back, then set in one go: a recompute per
    // point would cost the square of a long way's length.
    std::vector<PathPoint> way{{float(xgoal), float(ygoal), kPointSpeed}};
    int64_t h = gh, v = gv;
    while (h != sh || v != sv) {
      const int32_t want = cells_[Index(h, v)] - 1;
      auto down = [&](const Step& s) {
        if (!CanStep(h, v, s.dh, s.dv) || cells_[Index(h + s.dh, v + s.dv)] != want) return false;
        h += s.dh;
        v += s.dv;
        return true;
      };
      bool moved = std::any_of(std::begin(kOrthogonal), std::end(kOrthogonal), down);
      if (!moved && allowdiag) moved = std::any_of(std::begin(kTraceDiagonal), std::end(kTraceDiagonal), down);
      if (!moved) break;  // cannot happen: every reached cell has a way back
      if (h == sh && v == sv) break;
      way.push_back({float(left_ + h * cellWidth_ + cellWidth_ / 2), float(top_ + v * cellHeight_ + cellHeight_ / 2),
                     kPointSpeed});
    }
    way.push_back({float(xstart), float(ystart), kPointSpeed});
    std::reverse(way.begin(), way.end());
    path->Clear();
    path->SetKind(0);
    path->SetClosed(false);
    path->SetPoints(std::move(way));
  }
  for (int32_t& cell : cells_)
    if (cell > 0) cell = kFree;
  return found;
}

void CGrid::Draw() const {
  for (int64_t h = 0; h < columns_; ++h) {
    for (int64_t v = 0; v < rows_; ++v) {
      const uint32_t colour = cells_[Index(h, v)] == kBlocked ? kBlockedColour : kFreeColour;
      Draw_RectangleColour(float(left_ + h * cellWidth_), float(top_ + v * cellHeight_),
                           float(left_ + (h + 1) * cellWidth_), float(top_ + (v + 1) * cellHeight_), colour, colour,
                           colour, colour, false);
    }
  }
}

int MotionGrid_Create(int32_t left, int32_t top, int32_t columns, int32_t rows, int32_t cellWidth,
                      int32_t cellHeight) {
  auto refuse = [](const std::string& why) {
    Error_ReportRuntime(ErrorSeverity::kError, ("mp_grid_create: " + why).c_str());
    return -1;
  };
  if (cellWidth < 1 || cellHeight < 1) return refuse("the cell width and height must be at least 1");
  if (columns < 0 || rows < 0) return refuse("the numbers of cells must not be negative");
  const int64_t cells = int64_t(columns) * rows;
  if (cells > kMotionGridMaxCells) {
    return refuse("a grid of " + std::to_string(columns) + " x " + std::to_string(rows) + " cells is too large");
  }
  std::unique_ptr<CGrid> grid;
  try {
    grid = std::make_unique<CGrid>(left, top, columns, rows, cellWidth, cellHeight);
  } catch (const std::bad_alloc&) {
    return refuse("no memory for a grid of " + std::to_string(columns) + " x " + std::to_string(rows) + " cells");
  }
  auto empty = std::find(g_grids.begin(), g_grids.end(), nullptr);
  if (empty == g_grids.end()) empty = g_grids.insert(g_grids.end(), nullptr);
  *empty = std::move(grid);
  return int(empty - g_grids.begin());
}

CGrid* MotionGrid_Get(int id) {
  if (id < 0 || size_t(id) >= g_grids.size()) return nullptr;
  return g_grids[size_t(id)].get();
}

void MotionGrid_Destroy(int id) {
  if (MotionGrid_Get(id)) g_grids[size_t(id)].reset();
}

void MotionGrid_FreeAll() { g_grids.clear(); }
