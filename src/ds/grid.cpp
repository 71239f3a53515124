#include "ds/grid.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

#include "ds/memory_stream.h"
#include "script/memory_manager.h"
#include "script/random.h"

namespace {

constexpr int32_t kGridHeader = 601;

// A value read back from the text form owns its array through the cell's
// address; when cells move, the ownership moves with them.
bool OwnsArray(const ScriptValue& v) { return v.IsArray() && v.array && v.array->owner == &v; }

void SwapCells(ScriptValue* a, ScriptValue* b) {
  if (a == b) return;
  const bool aOwns = OwnsArray(*a), bOwns = OwnsArray(*b);
  std::swap(*a, *b);
  if (aOwns) b->array->owner = b;
  if (bOwns) a->array->owner = a;
}

// Bitwise move of a cell into fresh storage.
void MoveCell(ScriptValue* to, ScriptValue* from) {
  const bool owns = OwnsArray(*from);
  *to = *from;
  *from = ScriptValue{};
  if (owns) to->array->owner = to;
}

void FreeCells(GridCells& cells) {
  for (ScriptValue& v : cells) ScriptValue_Free(&v);
  cells = GridCells();
}

// The cell's text followed by the value's, without a length limit. The
// value's text may be the cell's own.
void JoinText(ScriptValue* cell, const ScriptValue* value) {
  const char* head = cell->Text();
  const char* tail = value->Text();
  const size_t headLength = std::strlen(head), tailLength = std::strlen(tail);
  const size_t n = headLength + tailLength + 1;
  if (tailLength == 0) return;
  if (n > 0x7FFFFFFFu) return;  // no engine block holds it: the cell stays as it was
  if (cell->text && MemoryManager::BlockSize(cell->text) >= n) {
    std::memmove(cell->text + headLength, tail, tailLength);
    cell->text[n - 1] = '\0';
    return;
  }
  auto* joined = static_cast<char*>(TW_ALLOC(uint32_t(n), false));
  std::memcpy(joined, head, headLength);
  std::memcpy(joined + headLength, tail, tailLength);
  joined[n - 1] = '\0';
  MemoryManager::Release(cell->text);
  cell->text = joined;
}

// The sort key order, ascending: strings, then any other non-real kind, then
// reals; strings by their bytes (a null text as the empty one), reals by
// value with NaN last. A strict weak order, whatever the cells hold.
int KindRank(const ScriptValue& v) {
  if (v.IsString()) return 0;
  if (v.IsReal()) return 2;
  return 1;
}

int SortCompare(const ScriptValue& a, const ScriptValue& b) {
  const int ra = KindRank(a), rb = KindRank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  if (ra == 0) {
    const int c = std::strcmp(a.Text(), b.Text());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  if (ra == 2) {
    const bool na = std::isnan(a.real), nb = std::isnan(b.real);
    if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
    return a.real < b.real ? -1 : (a.real > b.real ? 1 : 0);
  }
  return 0;
}

}  // namespace

GridCells::GridCells(size_t count) : size_(count) {
  if (count == 0) return;
  data_ = static_cast<ScriptValue*>(std::calloc(count, sizeof(ScriptValue)));
  if (!data_) MemoryManager::OutOfMemory();
}

GridCells::~GridCells() { std::free(data_); }

CDS_Grid::CDS_Grid(int32_t width, int32_t height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), cells_(size_t(width_) * size_t(height_)) {}

CDS_Grid::~CDS_Grid() { FreeCells(cells_); }

void CDS_Grid::Clear(const ScriptValue* value) {
  for (ScriptValue& cell : cells_) ScriptValue_Copy(&cell, value);
}

void CDS_Grid::CopyFrom(const CDS_Grid& source) {
  if (&source == this) return;
  GridCells fresh(source.cells_.size());
  for (size_t i = 0; i < fresh.size(); ++i) ScriptValue_Copy(&fresh.data()[i], &source.cells_.data()[i]);
  FreeCells(cells_);
  cells_ = std::move(fresh);
  width_ = source.width_;
  height_ = source.height_;
}

void CDS_Grid::Resize(int32_t width, int32_t height) {
  GridCells fresh(size_t(width) * size_t(height));
  const int32_t keepColumns = std::min(width, width_), keepRows = std::min(height, height_);
  for (int32_t x = 0; x < keepColumns; ++x) {
    ScriptValue* from = Column(x);
    ScriptValue* to = fresh.data() + size_t(x) * size_t(height);
    for (int32_t y = 0; y < keepRows; ++y) MoveCell(&to[y], &from[y]);
  }
  FreeCells(cells_);
  cells_ = std::move(fresh);
  width_ = width;
  height_ = height;
}

void CDS_Grid::Shuffle() {
  const int64_t swaps = int64_t(width_) * height_ * 8;
  for (int64_t i = 0; i < swaps; ++i) {
    const int32_t xa = Random_Int(width_);
    const int32_t xb = Random_Int(width_);
    const int32_t ya = Random_Int(height_);
    const int32_t yb = Random_Int(height_);
    SwapCells(Cell(xa, ya), Cell(xb, yb));
  }
}

void CDS_Grid::Sort(int32_t column, bool ascending) {
  if (column < 0 || column >= width_ || height_ < 2) return;
  const ScriptValue* keys = Column(column);
  std::vector<int32_t> order(static_cast<size_t>(height_));
  std::iota(order.begin(), order.end(), 0);
  if (ascending)
    std::stable_sort(order.begin(), order.end(),
                     [keys](int32_t a, int32_t b) { return SortCompare(keys[a], keys[b]) < 0; });
  else
    std::stable_sort(order.begin(), order.end(),
                     [keys](int32_t a, int32_t b) { return SortCompare(keys[a], keys[b]) > 0; });
  std::vector<ScriptValue> rows(static_cast<size_t>(height_));
  for (int32_t x = 0; x < width_; ++x) {
    ScriptValue* cells = Column(x);
    for (int32_t k = 0; k < height_; ++k) MoveCell(&rows[size_t(k)], &cells[order[size_t(k)]]);
    for (int32_t k = 0; k < height_; ++k) MoveCell(&cells[k], &rows[size_t(k)]);
  }
}

std::string CDS_Grid::Write() const {
  CMemoryStream stream;
  stream.WriteInt32(kGridHeader);
  stream.WriteInt32(width_);
  stream.WriteInt32(height_);
  for (const ScriptValue& cell : cells_) DS_ValueWrite(&stream, &cell);
  return stream.ToHexText();
}

bool CDS_Grid::Read(const char* text) {
  CMemoryStream stream;
  if (!DS_OpenText(&stream, text, kGridHeader) || !DS_StreamHolds(&stream, 2)) return false;
  const int32_t width = stream.ReadInt32();
  const int32_t height = stream.ReadInt32();
  const int64_t count = int64_t(width) * height;
  // Every value takes at least its kind word: a count the bytes cannot hold
  // is damage, refused before anything is allocated for it.
  if (width < 0 || height < 0 || count > kMaxGridCells || !DS_StreamHolds(&stream, count)) return false;
  GridCells fresh(static_cast<size_t>(count));
  for (ScriptValue& cell : fresh)
    if (!DS_ValueRead(&cell, &stream)) {
      FreeCells(fresh);
      return false;
    }
  FreeCells(cells_);
  cells_ = std::move(fresh);  // the storage moves whole, so read arrays keep their owners
  width_ = width;
  height_ = height;
  return true;
}

GridArea CDS_Grid::Region(int64_t x1, int64_t y1, int64_t x2, int64_t y2) const {
  GridArea a;
  a.x0 = std::max<int64_t>(std::min(x1, x2), 0);
  a.x1 = std::min<int64_t>(std::max(x1, x2), int64_t(width_) - 1);
  a.y0 = std::max<int64_t>(std::min(y1, y2), 0);
  a.y1 = std::min<int64_t>(std::max(y1, y2), int64_t(height_) - 1);
  return a;
}

namespace {
// [floor(m - r), ceil(m + r)] clipped to [0, size - 1]; false when empty.
bool DiskSpan(double m, double r, int32_t size, int64_t* lo, int64_t* hi) {
  double a = std::floor(m - r), b = std::ceil(m + r);
  if (std::isnan(a) || std::isnan(b)) return false;
  a = std::clamp(a, 0.0, double(size));
  b = std::clamp(b, -1.0, double(size) - 1);
  *lo = int64_t(a);
  *hi = int64_t(b);
  return *lo <= *hi;
}
}  // namespace

GridArea CDS_Grid::Disk(double xm, double ym, double r) const {
  GridArea a;
  a.disk = true;
  a.xm = xm;
  a.ym = ym;
  a.rr = r * r;
  if (!DiskSpan(xm, r, width_, &a.x0, &a.x1) || !DiskSpan(ym, r, height_, &a.y0, &a.y1)) return GridArea{};
  return a;
}

int DS_CreateGrid(int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (int64_t(width) * height > kMaxGridCells) return -1;
  return DS_Add(eDS_Grid, new CDS_Grid(width, height));
}

void DS_ApplyOp(int operation, ScriptValue* cell, const ScriptValue* value) {
  switch (operation) {
    case eGridOp_Set:
      ScriptValue_Copy(cell, value);
      break;
    case eGridOp_Add:
      if (cell->IsReal() && value->IsReal()) {
        cell->real += value->real;
      } else if (cell->IsString() && value->IsString()) {
        JoinText(cell, value);
      } else if (!cell->IsArray() && !value->IsArray()) {
        ScriptValue_Copy(cell, value);
      }
      break;
    case eGridOp_Multiply:
      if (cell->IsReal() && value->IsReal()) cell->real *= value->real;
      break;
    default:
      break;
  }
}

void DS_GridRegionOp(CDS_Grid* destination, CDS_Grid* source, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                     int64_t xpos, int64_t ypos, int operation) {
  int64_t xa = std::max<int64_t>(std::min(x1, x2), 0), xb = std::min<int64_t>(std::max(x1, x2), source->Width() - 1);
  int64_t ya = std::max<int64_t>(std::min(y1, y2), 0), yb = std::min<int64_t>(std::max(y1, y2), source->Height() - 1);
  // Source columns and rows that would land before the destination's first
  // are skipped, and those past its last are cut.
  if (xpos < 0) xa -= xpos, xpos = 0;
  if (ypos < 0) ya -= ypos, ypos = 0;
  if (xb - xa + xpos > destination->Width() - 1) xb = destination->Width() - 1 + xa - xpos;
  if (yb - ya + ypos > destination->Height() - 1) yb = destination->Height() - 1 + ya - ypos;
  if (xa > xb || ya > yb) return;
  const int64_t dx = xpos - xa, dy = ypos - ya;
  // Walking away from the destination reads each source cell of a shared
  // grid before the operation overwrites it.
  const int64_t xStep = xa < xpos ? -1 : 1, yStep = ya < ypos ? -1 : 1;
  const int64_t xFirst = xStep > 0 ? xa : xb, yFirst = yStep > 0 ? ya : yb;
  for (int64_t i = 0, x = xFirst; i <= xb - xa; ++i, x += xStep) {
    if (x < 0 || x >= source->Width() || x + dx < 0 || x + dx >= destination->Width()) continue;
    ScriptValue* from = source->Column(x);
    ScriptValue* to = destination->Column(x + dx);
    for (int64_t j = 0, y = yFirst; j <= yb - ya; ++j, y += yStep) {
      if (y < 0 || y >= source->Height() || y + dy < 0 || y + dy >= destination->Height()) continue;
      DS_ApplyOp(operation, &to[y + dy], &from[y]);
    }
  }
}
