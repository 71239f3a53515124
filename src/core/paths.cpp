#include "core/paths.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "core/events.h"
#include "script/errors.h"

namespace {

constexpr float kPi = 3.1415927f;

struct PathSlot {
  std::unique_ptr<CMotionPath> path;
  std::string name;
  bool named = false;
};

std::vector<PathSlot> g_paths;

float BitsToFloat(uint32_t bits) {
  float f;
  static_assert(sizeof f == sizeof bits);
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

PathPoint Mid(const PathPoint& a, const PathPoint& b) {
  return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.speed + b.speed) / 2};
}

float Sq(float v) { return v * v; }

}  // namespace

void CMotionPath::Clear() {
  control_.clear();
  computed_.clear();
  length_ = 0;
}

void CMotionPath::LoadFromChunk(const GameDataFile& file, uint32_t record) {
  kind_ = file.S32(record + 4);
  closed_ = file.U32(record + 8) != 0;
  // The subdivision doubles its points at every level a long edge allows;
  // a file's precision beyond the setter's range would never end.
  precision_ = std::clamp(file.S32(record + 12), 0, 8);
  uint32_t count = file.U32(record + 16);
  // Twelve bytes a point, all inside the container.
  file.Bytes(record + 20, static_cast<uint32_t>(std::min<uint64_t>(uint64_t(count) * 12, UINT32_MAX)));
  control_.clear();
  control_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t at = record + 20 + i * 12;
    control_.push_back({BitsToFloat(file.U32(at)), BitsToFloat(file.U32(at + 4)), BitsToFloat(file.U32(at + 8))});
  }
  Recompute();
}

void CMotionPath::Assign(const CMotionPath& source) {
  if (&source == this) return;
  kind_ = source.kind_;
  closed_ = source.closed_;
  precision_ = source.precision_;
  control_ = source.control_;
  Recompute();
}

void CMotionPath::SetPoints(std::vector<PathPoint> points) {
  control_ = std::move(points);
  Recompute();
}

int CMotionPath::AddPoint(float x, float y, float speed) {
  int index = GetNumber();
  InsertPoint(index, x, y, speed);
  return index;
}

void CMotionPath::InsertPoint(int index, float x, float y, float speed) {
  if (index < 0 || index > GetNumber()) return;
  control_.insert(control_.begin() + index, PathPoint{x, y, speed});
  // Planners add thousands of points one by one: the end of a straight open
  // path grows by one segment, as a whole recompute would give it.
  if (kind_ == 0 && !closed_ && index > 0 && index + 1 == GetNumber() && !computed_.empty()) {
    const PathComputedPoint& last = computed_.back();
    const float distance = last.distance + std::sqrt(Sq(x - last.x) + Sq(y - last.y));
    computed_.push_back({x, y, speed, distance});
    length_ = distance;
    return;
  }
  Recompute();
}

void CMotionPath::ChangePoint(int index, float x, float y, float speed) {
  if (index < 0 || index >= GetNumber()) return;
  control_[static_cast<size_t>(index)] = {x, y, speed};
  Recompute();
}

void CMotionPath::DeletePoint(int index) {
  if (index < 0 || index >= GetNumber()) return;
  control_.erase(control_.begin() + index);
  Recompute();
}

const PathPoint& CMotionPath::GetPoint(int index) const {
  static const PathPoint kNone{};
  if (index < 0 || index >= GetNumber()) return kNone;
  return control_[static_cast<size_t>(index)];
}

void CMotionPath::SetKind(int32_t kind) {
  kind_ = static_cast<uint32_t>(kind) <= 1 ? kind : 0;
  Recompute();
}

void CMotionPath::SetClosed(bool closed) {
  closed_ = closed;
  Recompute();
}

void CMotionPath::SetPrecision(int32_t precision) {
  precision_ = std::clamp(precision, 0, 8);
  Recompute();
}

void CMotionPath::AddComputed(const PathPoint& p) { computed_.push_back({p.x, p.y, p.speed, 0}); }

void CMotionPath::Subdivide(const PathPoint& p0, const PathPoint& p1, const PathPoint& p2, int depth) {
  if (depth <= 0) return;
  PathPoint m{static_cast<float>((double(p0.x) + 2.0 * p1.x + p2.x) / 4.0),
              static_cast<float>((double(p0.y) + 2.0 * p1.y + p2.y) / 4.0),
              static_cast<float>((double(p0.speed) + 2.0 * p1.speed + p2.speed) / 4.0)};
  if (Sq(p0.x - p1.x) + Sq(p0.y - p1.y) > 16.0f) Subdivide(p0, Mid(p0, p1), m, depth - 1);
  AddComputed(m);
  if (Sq(p1.x - p2.x) + Sq(p1.y - p2.y) > 16.0f) Subdivide(m, Mid(p1, p2), p2, depth - 1);
}

void CMotionPath::Recompute() {
  computed_.clear();
  length_ = 0;
  const int n = GetNumber();
  if (n == 0) return;
  if (kind_ == 1) {
    if (!closed_) AddComputed(control_[0]);
    int last = closed_ ? n : n - 2;
    for (int i = 1; i <= last; ++i) {
      const PathPoint& before = control_[static_cast<size_t>((i - 1) % n)];
      const PathPoint& at = control_[static_cast<size_t>(i % n)];
      const PathPoint& after = control_[static_cast<size_t>((i + 1) % n)];
      Subdivide(Mid(before, at), at, Mid(at, after), precision_);
    }
    if (!closed_) {
      AddComputed(control_[static_cast<size_t>(n - 1)]);
    } else if (!computed_.empty()) {
      computed_.push_back(computed_.front());
    } else {
      // A closed curve with nothing computed: its first point stands alone.
      AddComputed(control_[0]);
    }
  } else {
    for (const PathPoint& p : control_) AddComputed(p);
    if (closed_) AddComputed(control_[0]);
  }
  computed_[0].distance = 0;
  for (size_t i = 1; i < computed_.size(); ++i)
    computed_[i].distance =
        computed_[i - 1].distance +
        std::sqrt(Sq(computed_[i].x - computed_[i - 1].x) + Sq(computed_[i].y - computed_[i - 1].y));
  length_ = computed_.back().distance;
}

void CMotionPath::GetPosition(float t, float* x, float* y, float* speed) const {
  const size_t c = computed_.size();
  if (c == 0) {
    *x = *y = 0;
    *speed = 100;
    return;
  }
  const PathComputedPoint* p = nullptr;
  // A fraction that is not a number stays at the start, not at NaN.
  if (c == 1 || length_ == 0 || t <= 0 || std::isnan(t)) {
    p = &computed_.front();
  } else if (t >= 1) {
    p = &computed_.back();
  }
  if (p) {
    *x = p->x;
    *y = p->y;
    *speed = p->speed;
    return;
  }
  float d = length_ * t;
  size_t i = 0;
  while (i < c - 2 && d >= computed_[i + 1].distance) ++i;
  const PathComputedPoint& a = computed_[i];
  const PathComputedPoint& b = computed_[i + 1];
  if (a.distance == b.distance) {
    *x = a.x;
    *y = a.y;
    *speed = a.speed;
    return;
  }
  float f = (d - a.distance) / (b.distance - a.distance);
  *x = a.x + (b.x - a.x) * f;
  *y = a.y + (b.y - a.y) * f;
  *speed = a.speed + (b.speed - a.speed) * f;
}

float CMotionPath::XPosition(float t) const {
  float x, y, s;
  GetPosition(t, &x, &y, &s);
  return x;
}

float CMotionPath::YPosition(float t) const {
  float x, y, s;
  GetPosition(t, &x, &y, &s);
  return y;
}

float CMotionPath::SpeedAt(float t) const {
  float x, y, s;
  GetPosition(t, &x, &y, &s);
  return s;
}

void CMotionPath::Center(float* x, float* y) const {
  float minX = 1e8f, maxX = -1e8f, minY = 1e8f, maxY = -1e8f;
  for (const PathPoint& p : control_) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  if (control_.empty()) {
    *x = *y = 0;
    return;
  }
  *x = (minX + maxX) / 2;
  *y = (minY + maxY) / 2;
}

void CMotionPath::Shift(float dx, float dy) {
  for (PathPoint& p : control_) {
    p.x += dx;
    p.y += dy;
  }
  Recompute();
}

void CMotionPath::Reverse() {
  if (control_.size() < 2) return;
  std::reverse(control_.begin(), control_.end());
  Recompute();
}

void CMotionPath::Append(const CMotionPath* other) {
  if (!other || other->control_.empty()) return;
  std::vector<PathPoint> copy = other->control_;  // the other path may be this one
  control_.insert(control_.end(), copy.begin(), copy.end());
  Recompute();
}

void CMotionPath::Mirror() {
  float cx, cy;
  Center(&cx, &cy);
  for (PathPoint& p : control_) p.x = 2 * cx - p.x;
  Recompute();
}

void CMotionPath::Flip() {
  float cx, cy;
  Center(&cx, &cy);
  for (PathPoint& p : control_) p.y = 2 * cy - p.y;
  Recompute();
}

void CMotionPath::Rotate(float degrees) {
  float cx, cy;
  Center(&cx, &cy);
  float a = degrees * kPi / 180.0f;
  float c = std::cos(a), s = std::sin(a);
  for (PathPoint& p : control_) {
    float dx = p.x - cx, dy = p.y - cy;
    p.x = cx + dx * c + dy * s;
    p.y = cy + dy * c - dx * s;
  }
  Recompute();
}

void CMotionPath::Rescale(float sx, float sy) {
  float cx, cy;
  Center(&cx, &cy);
  for (PathPoint& p : control_) {
    p.x = cx + sx * (p.x - cx);
    p.y = cy + sy * (p.y - cy);
  }
  Recompute();
}

void Path_Init() { g_paths.clear(); }
void Path_FreeAll() { g_paths.clear(); }

bool Path_Load(const ChunkBody& body) {
  const GameDataFile& file = body.File();
  const std::vector<uint32_t> records = body.OffsetList();
  LoadBudget budget(file, "PATH");
  std::vector<PathSlot> slots(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (!records[i]) continue;
    try {
      budget.Charge(5 + uint64_t(file.U32(records[i] + 16)) * 3);
      auto path = std::make_unique<CMotionPath>();
      path->LoadFromChunk(file, records[i]);
      slots[i].name = std::string(file.String(file.U32(records[i])));
      slots[i].named = true;
      slots[i].path = std::move(path);
    } catch (const DataError& e) {
      throw DataError("PATH path " + std::to_string(i) + ": " + e.what());
    }
  }
  g_paths = std::move(slots);
  return true;
}

int Path_Count() { return static_cast<int>(g_paths.size()); }
bool Path_Exists(int index) { return Path_Get(index) != nullptr; }

CMotionPath* Path_Get(int index) {
  if (index < 0 || index >= Path_Count()) return nullptr;
  return g_paths[static_cast<size_t>(index)].path.get();
}

std::string Path_GetName(int index) {
  if (!Path_Exists(index)) return "<undefined>";
  const PathSlot& slot = g_paths[static_cast<size_t>(index)];
  return slot.named ? slot.name : "";
}

int Path_FindByName(const std::string& name) {
  for (size_t i = 0; i < g_paths.size(); ++i)
    if (g_paths[i].path && g_paths[i].named && g_paths[i].name == name) return static_cast<int>(i);
  return -1;
}

int Path_Add() {
  PathSlot slot;
  slot.path = std::make_unique<CMotionPath>();
  slot.name = "__newpath" + std::to_string(g_paths.size());
  slot.named = true;
  g_paths.push_back(std::move(slot));
  return Path_Count() - 1;
}

int Path_Duplicate(int index) {
  CMotionPath* source = Path_Get(index);
  if (!source) return -1;
  int added = Path_Add();
  g_paths[static_cast<size_t>(added)].path->Assign(*g_paths[static_cast<size_t>(index)].path);
  return added;
}

bool Path_Assign(int destination, int source) {
  if (!Path_Exists(source) || destination < 0 || destination >= Path_Count()) return false;
  if (destination == source) {
    Error_ReportRuntime(ErrorSeverity::kError, "ERROR: Can not assign a path to itself!");
    return false;
  }
  PathSlot& slot = g_paths[static_cast<size_t>(destination)];
  // A path put into an emptied slot has no name: lookups pass over it.
  if (!slot.path) slot.path = std::make_unique<CMotionPath>();
  slot.path->Assign(*g_paths[static_cast<size_t>(source)].path);
  return true;
}

bool Path_Delete(int index) {
  if (!Path_Exists(index)) return false;
  PathSlot& slot = g_paths[static_cast<size_t>(index)];
  slot.path.reset();
  slot.name.clear();
  slot.named = false;
  return true;
}
