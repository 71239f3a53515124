#include "core/precise.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

MaskLookup g_lookup = nullptr;

constexpr float kPi = 3.1415927410125732f;

// The mask of a frame: frame modulo the mask count, negative frames wrapped.
const std::vector<uint8_t>* MaskOf(const MaskView& s, int frame) {
  if (!s.masks || s.masks->empty()) return nullptr;
  int n = static_cast<int>(s.masks->size());
  int m = frame % n;
  if (m < 0) m += n;
  return &(*s.masks)[static_cast<size_t>(m)];
}

// Whether a frame cell is solid; cells outside the frame never are. A mask
// shorter than the frame (damaged data) reads as empty past its end.
bool Cell(const MaskView& s, const std::vector<uint8_t>* mask, long lx, long ly) {
  if (lx < 0 || ly < 0 || lx >= s.width || ly >= s.height) return false;
  if (!s.hasMasks) return true;
  if (!mask) return false;
  size_t at = static_cast<size_t>(ly) * static_cast<size_t>(s.width) + static_cast<size_t>(lx);
  return at < mask->size() && (*mask)[at] != 0;
}

// The same for whole-valued local coordinates still held as floats: the
// range is checked before any conversion.
bool CellAt(const MaskView& s, const std::vector<uint8_t>* mask, float lx, float ly) {
  if (!(lx >= 0 && ly >= 0 && lx < float(s.width) && ly < float(s.height))) return false;
  return Cell(s, mask, long(lx), long(ly));
}

struct Mapper {
  const MaskView& s;
  const MaskPlacement& p;
  const std::vector<uint8_t>* mask;
  float c, sn;
  bool integer;  // unscaled and unrotated: plain offsets

  Mapper(const MaskView& sprite, const MaskPlacement& placement, bool integerForm)
      : s(sprite), p(placement), mask(MaskOf(sprite, placement.frame)), integer(integerForm) {
    float r = -placement.angle * kPi / 180.0f;
    c = std::cos(r);
    sn = std::sin(r);
  }

  void Local(float px, float py, float* lx, float* ly) const {
    float dx = px - float(p.x), dy = py - float(p.y);
    *lx = (dx * c + dy * sn) / p.xscale + float(s.originX);
    *ly = (dy * c - dx * sn) / p.yscale + float(s.originY);
  }

  // Rounding down, as the shape tests do.
  bool HitFloor(float px, float py) const {
    if (integer) return Cell(s, mask, long(px) - p.x + s.originX, long(py) - p.y + s.originY);
    float lx, ly;
    Local(px, py, &lx, &ly);
    return CellAt(s, mask, std::floor(lx), std::floor(ly));
  }

  // Truncation towards zero, as the sprite-against-sprite test does.
  bool HitTrunc(int px, int py) const {
    if (integer) return Cell(s, mask, long(px) - p.x + s.originX, long(py) - p.y + s.originY);
    float lx, ly;
    Local(float(px), float(py), &lx, &ly);
    return CellAt(s, mask, std::trunc(lx), std::trunc(ly));
  }
};

// ((d / r) squared) without dividing by a zero radius, keeping what the
// division would give: 0 / 0 is not a number (a sum holding it never
// compares greater than 1, so counts as inside), anything else infinite.
float EllipseTerm(float d, float r) {
  if (r != 0) return (d / r) * (d / r);
  return d == 0 ? NAN : INFINITY;
}

// The room rectangle the frame covers as placed (its four corners mapped
// out of the frame), so walks skip positions no cell can be at.
void FrameExtent(const MaskView& s, const MaskPlacement& p, double* x0, double* y0, double* x1, double* y1) {
  // The same turn as the mapping (by minus the angle), undone.
  double r = -double(p.angle) * double(kPi) / 180.0;
  double c = std::cos(r), sn = std::sin(r);
  *x0 = *y0 = INFINITY;
  *x1 = *y1 = -INFINITY;
  const double corners[4][2] = {{0, 0}, {double(s.width), 0}, {0, double(s.height)}, {double(s.width), double(s.height)}};
  for (const auto& k : corners) {
    double lx = (k[0] - s.originX) * p.xscale, ly = (k[1] - s.originY) * p.yscale;
    // Local axes turned back by the angle: the inverse of the mapping.
    double rx = lx * c - ly * sn + p.x, ry = lx * sn + ly * c + p.y;
    *x0 = std::min(*x0, rx);
    *x1 = std::max(*x1, rx);
    *y0 = std::min(*y0, ry);
    *y1 = std::max(*y1, ry);
  }
}

// Positions walked by one test at most: a huge scale makes a huge box, and
// a collision test must not stall the game.
constexpr int64_t kWalkBudget = int64_t(1) << 24;

// Narrows [lo, hi] to the frame's extent (one pixel of margin for rounding).
void Narrow(int* lo, int* hi, double extentLo, double extentHi) {
  if (!std::isfinite(extentLo) || !std::isfinite(extentHi)) return;
  if (extentLo - 1 > *lo) *lo = extentLo - 1 > double(INT32_MAX) ? INT32_MAX : int(std::floor(extentLo - 1));
  if (extentHi + 1 < *hi) *hi = extentHi + 1 < double(INT32_MIN) ? INT32_MIN : int(std::ceil(extentHi + 1));
}

struct Range {
  int x0, x1, y0, y1;
  bool Empty() const { return x0 > x1 || y0 > y1; }
};

Range Walk(const MaskView& s, const MaskPlacement& p, int x0, int x1, int y0, int y1) {
  Range r{x0, x1, y0, y1};
  if (!s.hasMasks) return r;
  double ex0, ey0, ex1, ey1;
  FrameExtent(s, p, &ex0, &ey0, &ex1, &ey1);
  Narrow(&r.x0, &r.x1, ex0, ex1);
  Narrow(&r.y0, &r.y1, ey0, ey1);
  return r;
}

bool Plain(const MaskPlacement& p) { return p.xscale == 1 && p.yscale == 1 && std::fabs(p.angle) < 0.0001f; }

}  // namespace

bool Precise_Sprite(const MaskView& a, const MaskPlacement& pa, const MaskView& b, const MaskPlacement& pb) {
  if (a.frames < 1 || b.frames < 1) return false;
  bool integer = pa.xscale == 1 && pa.yscale == 1 && pa.angle == 0 && pb.xscale == 1 && pb.yscale == 1 &&
                 pb.angle == 0;
  Mapper ma(a, pa, integer), mb(b, pb, integer);
  Range r = Walk(a, pa, std::max(pa.left, pb.left), std::min(pa.right, pb.right), std::max(pa.top, pb.top),
               std::min(pa.bottom, pb.bottom));
  r = Walk(b, pb, r.x0, r.x1, r.y0, r.y1);
  int64_t budget = kWalkBudget;
  for (int64_t px = r.x0; px <= r.x1; ++px)
    for (int64_t py = r.y0; py <= r.y1; ++py) {
      if (--budget < 0) return false;
      if (ma.HitTrunc(int(px), int(py)) && mb.HitTrunc(int(px), int(py))) return true;
    }
  return false;
}

bool Precise_Point(const MaskView& s, const MaskPlacement& p, int px, int py) {
  if (!s.hasMasks) return true;
  if (s.frames < 1) return false;
  const std::vector<uint8_t>* mask = MaskOf(s, p.frame);
  if (std::fabs(p.angle) < 0.0001f) {
    float lx = float(int64_t(px) - p.x) / p.xscale + float(s.originX);
    float ly = float(int64_t(py) - p.y) / p.yscale + float(s.originY);
    return CellAt(s, mask, std::floor(lx), std::floor(ly));
  }
  return Mapper(s, p, false).HitFloor(float(px), float(py));
}

bool Precise_Rectangle(const MaskView& s, const MaskPlacement& p, const MaskRect& r) {
  if (!s.hasMasks) return true;
  if (s.frames < 1) return false;
  Mapper m(s, p, Plain(p));
  Range w = Walk(s, p, std::max(p.left, r.left), std::min(p.right, r.right), std::max(p.top, r.top),
                 std::min(p.bottom, r.bottom));
  int64_t budget = kWalkBudget;
  for (int64_t px = w.x0; px <= w.x1; ++px)
    for (int64_t py = w.y0; py <= w.y1; ++py) {
      if (--budget < 0) return false;
      if (m.HitFloor(float(px), float(py))) return true;
    }
  return false;
}

bool Precise_Ellipse(const MaskView& s, const MaskPlacement& p, const MaskRect& r) {
  if (!s.hasMasks) return true;
  if (s.frames < 1) return false;
  // In 64 bits: the rectangle's edges may lie anywhere in 32.
  float cx = float((int64_t(r.left) + r.right) / 2), cy = float((int64_t(r.top) + r.bottom) / 2);
  float rx = float((int64_t(r.right) - r.left) / 2), ry = float((int64_t(r.bottom) - r.top) / 2);
  Mapper m(s, p, Plain(p));
  Range w = Walk(s, p, std::max(p.left, r.left), std::min(p.right, r.right), std::max(p.top, r.top),
                 std::min(p.bottom, r.bottom));
  int64_t budget = kWalkBudget;
  for (int64_t px = w.x0; px <= w.x1; ++px)
    for (int64_t py = w.y0; py <= w.y1; ++py) {
      if (--budget < 0) return false;
      if (EllipseTerm(float(px) - cx, rx) + EllipseTerm(float(py) - cy, ry) > 1.0f) continue;
      if (m.HitFloor(float(px), float(py))) return true;
    }
  return false;
}

bool Precise_Line(const MaskView& s, const MaskPlacement& p, int x1, int y1, int x2, int y2) {
  if (x1 == x2 || y1 == y2)
    return Precise_Rectangle(s, p, {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)});
  if (!s.hasMasks) return true;
  if (s.frames < 1) return false;
  Mapper m(s, p, false);
  if (std::abs(int64_t(x2) - x1) < std::abs(int64_t(y2) - y1)) {
    int xa = x1, ya = y1, xb = x2, yb = y2;
    if (ya > yb) {
      std::swap(xa, xb);
      std::swap(ya, yb);
    }
    float slope = float(int64_t(xb) - xa) / float(int64_t(yb) - ya);
    int64_t budget = kWalkBudget;
    for (int64_t py = std::max(p.top, ya); py <= std::min(p.bottom, yb); ++py) {
      if (--budget < 0) return false;
      if (m.HitFloor(float(py - ya) * slope + float(xa), float(py))) return true;
    }
  } else {
    if (x1 > x2) {
      std::swap(x1, x2);
      std::swap(y1, y2);
    }
    float slope = float(int64_t(y2) - y1) / float(int64_t(x2) - x1);
    int64_t budget = kWalkBudget;
    for (int64_t px = std::max(p.left, x1); px <= std::min(p.right, x2); ++px) {
      if (--budget < 0) return false;
      if (m.HitFloor(float(px), float(px - x1) * slope + float(y1))) return true;
    }
  }
  return false;
}

void Precise_SetMaskLookup(MaskLookup lookup) { g_lookup = lookup; }

bool Precise_LookUpMask(int32_t sprite, MaskView* out) { return g_lookup && sprite >= 0 && g_lookup(sprite, out); }
