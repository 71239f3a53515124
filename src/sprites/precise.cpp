#include "sprites/precise.h"

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
    if (!std::isfinite(lx) || !std::isfinite(ly)) return false;
    return Cell(s, mask, long(std::floor(lx)), long(std::floor(ly)));
  }

  // Truncation towards zero, as the sprite-against-sprite test does.
  bool HitTrunc(int px, int py) const {
    if (integer) return Cell(s, mask, long(px) - p.x + s.originX, long(py) - p.y + s.originY);
    float lx, ly;
    Local(float(px), float(py), &lx, &ly);
    if (!std::isfinite(lx) || !std::isfinite(ly)) return false;
    // Far outside the frame: no cell, whatever the truncation.
    if (std::fabs(lx) > 1e9f || std::fabs(ly) > 1e9f) return false;
    return Cell(s, mask, long(std::trunc(lx)), long(std::trunc(ly)));
  }
};

bool Plain(const MaskPlacement& p) { return p.xscale == 1 && p.yscale == 1 && std::fabs(p.angle) < 0.0001f; }

}  // namespace

bool Precise_Sprite(const MaskView& a, const MaskPlacement& pa, const MaskView& b, const MaskPlacement& pb) {
  if (a.frames < 1 || b.frames < 1) return false;
  bool integer = pa.xscale == 1 && pa.yscale == 1 && pa.angle == 0 && pb.xscale == 1 && pb.yscale == 1 &&
                 pb.angle == 0;
  Mapper ma(a, pa, integer), mb(b, pb, integer);
  int x0 = std::max(pa.left, pb.left), x1 = std::min(pa.right, pb.right);
  int y0 = std::max(pa.top, pb.top), y1 = std::min(pa.bottom, pb.bottom);
  for (int px = x0; px <= x1; ++px)
    for (int py = y0; py <= y1; ++py)
      if (ma.HitTrunc(px, py) && mb.HitTrunc(px, py)) return true;
  return false;
}

bool Precise_Point(const MaskView& s, const MaskPlacement& p, int px, int py) {
  if (!s.hasMasks) return true;
  if (s.frames < 1) return false;
  const std::vector<uint8_t>* mask = MaskOf(s, p.frame);
  if (std::fabs(p.angle) < 0.0001f) {
    float lx = float(px - p.x) / p.xscale + float(s.originX);
    float ly = float(py - p.y) / p.yscale + float(s.originY);
    if (!std::isfinite(lx) || !std::isfinite(ly)) return false;
    return Cell(s, mask, long(std::floor(lx)), long(std::floor(ly)));
  }
  return Mapper(s, p, false).HitFloor(float(px), float(py));
}

bool Precise_Rectangle(const MaskView& s, const MaskPlacement& p, const MaskRect& r) {
  if (!s.hasMasks) return true;
  if (s.frames < 1) return false;
  Mapper m(s, p, Plain(p));
  int x0 = std::max(p.left, r.left), x1 = std::min(p.right, r.right);
  int y0 = std::max(p.top, r.top), y1 = std::min(p.bottom, r.bottom);
  for (int px = x0; px <= x1; ++px)
    for (int py = y0; py <= y1; ++py)
      if (m.HitFloor(float(px), float(py))) return true;
  return false;
}

bool Precise_Ellipse(const MaskView& s, const MaskPlacement& p, const MaskRect& r) {
  if (!s.hasMasks) return true;
  if (s.frames < 1) return false;
  float cx = float((r.left + r.right) / 2), cy = float((r.top + r.bottom) / 2);
  float rx = float((r.right - r.left) / 2), ry = float((r.bottom - r.top) / 2);
  Mapper m(s, p, Plain(p));
  int x0 = std::max(p.left, r.left), x1 = std::min(p.right, r.right);
  int y0 = std::max(p.top, r.top), y1 = std::min(p.bottom, r.bottom);
  for (int px = x0; px <= x1; ++px)
    for (int py = y0; py <= y1; ++py) {
      float ex = (float(px) - cx) / rx, ey = (float(py) - cy) / ry;
      // 0 / 0 is NaN, which compares as inside.
      if (ex * ex + ey * ey > 1.0f) continue;
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
    float slope = float(xb - xa) / float(yb - ya);
    for (int py = std::max(p.top, ya); py <= std::min(p.bottom, yb); ++py)
      if (m.HitFloor(float(py - ya) * slope + float(xa), float(py))) return true;
  } else {
    if (x1 > x2) {
      std::swap(x1, x2);
      std::swap(y1, y2);
    }
    float slope = float(y2 - y1) / float(x2 - x1);
    for (int px = std::max(p.left, x1); px <= std::min(p.right, x2); ++px)
      if (m.HitFloor(float(px), float(px - x1) * slope + float(y1))) return true;
  }
  return false;
}

void Precise_SetMaskLookup(MaskLookup lookup) { g_lookup = lookup; }

bool Precise_LookUpMask(int32_t sprite, MaskView* out) { return g_lookup && sprite >= 0 && g_lookup(sprite, out); }
