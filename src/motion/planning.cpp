#include "motion/planning.h"

#include <cmath>

#include "core/instance_collision.h"
#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/paths.h"
#include "script/convert.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kPathPointSpeed = 100;

MotionPotentialSettings g_settings;

float AtLeastOne(float v) { return v >= 1 ? v : 1; }

float Radians(float degrees) { return degrees * kPi / 180.0f; }

float Distance(float x1, float y1, float x2, float y2) {
  const float dx = x2 - x1, dy = y2 - y1;
  return std::sqrt(dx * dx + dy * dy);
}

// A goal off every map, or a step that is no number, leads nowhere; an
// endless step still reaches any goal.
bool Reachable(float xgoal, float ygoal, float step) {
  return std::isfinite(xgoal) && std::isfinite(ygoal) && !std::isnan(step);
}

// Into 0 <= a < 360; not finite: 0.
float Wrapped(float a) {
  if (!std::isfinite(a)) return 0;
  a = std::fmod(a, 360.0f);
  if (a < 0) a += 360.0f;
  // A tiny negative angle plus 360 rounds to 360.
  return a >= 360.0f ? a - 360.0f : a;
}

void MoveTowards(CObjInstance* instance, float x, float y) {
  instance->SetDirection(Motion_PointDirection(instance->x, instance->y, x, y));
  instance->SetPosition(x, y);
}

// What a path walk changes of the instance, put back when it ends.
class Remembered {
 public:
  explicit Remembered(CObjInstance* i)
      : i_(i), x_(i->x), y_(i->y), direction_(i->direction), hspeed_(i->hspeed), vspeed_(i->vspeed) {}
  ~Remembered() {
    i_->direction = direction_;
    i_->hspeed = hspeed_;
    i_->vspeed = vspeed_;
    i_->SetPosition(x_, y_);
  }
  Remembered(const Remembered&) = delete;
  Remembered& operator=(const Remembered&) = delete;

 private:
  CObjInstance* i_;
  float x_, y_, direction_, hspeed_, vspeed_;
};

void StartPlan(CMotionPath* path) {
  path->Clear();
  path->SetKind(0);
  path->SetClosed(false);
}

}  // namespace

const MotionPotentialSettings& Motion_PotentialSettings() { return g_settings; }

void Motion_SetPotentialSettings(float maxrot, float rotstep, float ahead, bool onspot) {
  g_settings.maxrot = AtLeastOne(maxrot);
  g_settings.rotstep = AtLeastOne(rotstep);
  g_settings.ahead = AtLeastOne(ahead);
  g_settings.onspot = onspot;
}

void Motion_ResetPotentialSettings() { g_settings = MotionPotentialSettings{}; }

bool Motion_IsFreeAt(CObjInstance* instance, float x, float y, int32_t target, bool checkAll) {
  if (target == kInstanceAll)
    return checkAll ? Instance_PlaceEmpty(instance, x, y) : Instance_PlaceFree(instance, x, y);
  return !Instance_PlaceMeeting(instance, target, x, y);
}

float Motion_PointDirection(float x1, float y1, float x2, float y2) {
  const float dx = x2 - x1, dy = y2 - y1;
  if (dx == 0) return dy > 0 ? 270.0f : dy < 0 ? 90.0f : 0.0f;
  const float d = float(std::atan2(double(dy), double(dx))) * 180.0f / kPi;
  return Wrapped(d <= 0 ? -d : 360.0f - d);
}

float Motion_AngleDifference(float a, float b) {
  const float d = std::fabs(Wrapped(b) - Wrapped(a));
  return d > 180.0f ? 360.0f - d : d;
}

bool Motion_LinearStep(CObjInstance* instance, float xgoal, float ygoal, float step, int32_t target, bool checkAll) {
  if (instance->x == xgoal && instance->y == ygoal) return true;
  if (!Reachable(xgoal, ygoal, step)) return false;
  const float d = Distance(instance->x, instance->y, xgoal, ygoal);
  const bool reached = step >= d;
  float tx = xgoal, ty = ygoal;
  if (!reached) {
    if (!std::isfinite(step)) return false;
    tx = instance->x + (xgoal - instance->x) * step / d;
    ty = instance->y + (ygoal - instance->y) * step / d;
  }
  if (Motion_IsFreeAt(instance, tx, ty, target, checkAll)) MoveTowards(instance, tx, ty);
  return reached;
}

bool Motion_PotentialTryDirection(float d, CObjInstance* instance, float step, int32_t target, bool checkAll) {
  if (Motion_AngleDifference(d, instance->direction) > g_settings.maxrot) return false;
  const float dx = std::cos(Radians(d)), dy = -std::sin(Radians(d));
  const float reach = step * g_settings.ahead;
  if (!Motion_IsFreeAt(instance, instance->x + dx * reach, instance->y + dy * reach, target, checkAll)) return false;
  const float bx = instance->x + dx * step, by = instance->y + dy * step;
  if (!Motion_IsFreeAt(instance, bx, by, target, checkAll)) return false;
  instance->SetDirection(d);
  instance->SetPosition(bx, by);
  return true;
}

bool Motion_PotentialStep(CObjInstance* instance, float xgoal, float ygoal, float step, int32_t target,
                          bool checkAll) {
  if (instance->x == xgoal && instance->y == ygoal) return true;
  if (!Reachable(xgoal, ygoal, step)) return false;
  if (step >= Distance(instance->x, instance->y, xgoal, ygoal)) {
    if (Motion_IsFreeAt(instance, xgoal, ygoal, target, checkAll)) MoveTowards(instance, xgoal, ygoal);
    return true;
  }
  if (!std::isfinite(step)) return false;
  const float g = Motion_PointDirection(instance->x, instance->y, xgoal, ygoal);
  // The rotation step is at least 1, so at most 180 turns each way.
  for (float m = 0; m < 180.0f; m += g_settings.rotstep) {
    if (Motion_PotentialTryDirection(g - m, instance, step, target, checkAll)) return false;
    if (m > 0 && Motion_PotentialTryDirection(g + m, instance, step, target, checkAll)) return false;
  }
  if (g_settings.onspot) instance->SetDirection(instance->direction + g_settings.maxrot);
  return false;
}

bool Motion_LinearPath(CObjInstance* instance, CMotionPath* path, float xgoal, float ygoal, float step,
                       int32_t target, bool checkAll) {
  if (!instance || !path || !(step > 0)) return false;
  Remembered start(instance);
  StartPlan(path);
  for (int32_t n = 0; n < kMotionPlanMaxSteps; ++n) {
    const float px = instance->x, py = instance->y;
    path->AddPoint(px, py, kPathPointSpeed);
    if (Motion_LinearStep(instance, xgoal, ygoal, step, target, checkAll)) {
      path->AddPoint(xgoal, ygoal, kPathPointSpeed);
      return true;
    }
    if (instance->x == px && instance->y == py) return false;
  }
  return false;
}

bool Motion_PotentialPath(CObjInstance* instance, CMotionPath* path, float xgoal, float ygoal, float step,
                          float factor, int32_t target, bool checkAll) {
  if (!instance || !path || !(factor >= 1) || !(step > 0)) return false;
  Remembered start(instance);
  StartPlan(path);
  path->AddPoint(instance->x, instance->y, kPathPointSpeed);
  const float limit = factor * Distance(instance->x, instance->y, xgoal, ygoal);
  // Standing still while turning a whole circle on the spot (or once, when
  // it does not turn) means no direction will ever open: the walk would
  // repeat its last point for ever.
  const float turns = std::ceil(360.0f / g_settings.maxrot);
  const int32_t stillLimit = g_settings.onspot ? Real_ToInt32(turns) + 1 : 1;
  int32_t still = 0;
  for (int32_t n = 0; n < kMotionPlanMaxSteps; ++n) {
    const float px = instance->x, py = instance->y;
    if (Motion_PotentialStep(instance, xgoal, ygoal, step, target, checkAll)) {
      path->AddPoint(xgoal, ygoal, kPathPointSpeed);
      return true;
    }
    path->AddPoint(instance->x, instance->y, kPathPointSpeed);
    if (path->GetLength() > limit) return false;
    still = instance->x == px && instance->y == py ? still + 1 : 0;
    if (still >= stillLimit) return false;
  }
  return false;
}
