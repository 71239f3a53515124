#include "motion/placement.h"

#include <algorithm>
#include <cmath>

#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "script/convert.h"
#include "script/random.h"

namespace {

bool HasShape(const CObjInstance* i) {
  SpriteShape shape;
  return Instance_LookUpSprite(i->mask_index >= 0 ? i->mask_index : i->sprite_index, &shape);
}

bool Snapped(double v, double snap) {
  if (!(snap > 0)) return true;
  return std::fabs(v - std::nearbyint(v / snap) * snap) < 0.001;
}

// A whole number of at most the int32 range.
int64_t Whole(double v) { return Real_RoundToInt32(v); }

// low + a random integer below the span (below its size when the span is
// negative; low itself when it is 0).
int64_t Pick(int64_t low, int64_t high) {
  const int64_t span = std::clamp<int64_t>(high - low, -INT32_MAX, INT32_MAX);
  return low + Random_Int(int32_t(span));
}

// snap times the floor of v / snap.
int64_t SnapDown(int64_t v, int32_t snap) {
  if (snap <= 0) return v;
  return int64_t(std::floor(double(v) / snap)) * snap;
}

}  // namespace

void Instance_MoveRandom(CObjInstance* self, int32_t hsnap, int32_t vsnap, int tries) {
  const CGameRoom* room = g_Run.room;
  const int64_t w = room ? room->width : 0, h = room ? room->height : 0;
  int64_t xlow = 0, xhigh = w, ylow = 0, yhigh = h;
  if (HasShape(self)) {
    self->EnsureBoundingBox();
    xlow = Whole(double(self->x) - self->bbox_left);
    xhigh = Whole(double(w) + self->x - self->bbox_right);
    ylow = Whole(double(self->y) - self->bbox_top);
    yhigh = Whole(double(h) + self->y - self->bbox_bottom);
  }
  for (int i = 0; i < tries; ++i) {
    const float nx = float(SnapDown(Pick(xlow, xhigh), hsnap));
    const float ny = float(SnapDown(Pick(ylow, yhigh), vsnap));
    if (Instance_PlaceFree(self, nx, ny)) {
      self->SetPosition(nx, ny);
      return;
    }
  }
}

bool Instance_PlaceSnapped(const CObjInstance* self, double hsnap, double vsnap) {
  return Snapped(self->x, hsnap) && Snapped(self->y, vsnap);
}
