// Instance motion: conversions between the two descriptions of motion,
// friction and gravity, path following and the small positioning commands.
#include <cmath>

#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "core/paths.h"

namespace {

constexpr float kPi = 3.1415927f;

// Values within a ten-thousandth of a whole number become that number, so
// that sums of sines and cosines land on whole pixels.
float Snap(float v) {
  float n = std::nearbyint(v);
  return std::fabs(v - n) < 0.0001f ? n : v;
}

}  // namespace

void CObjInstance::ComputeSpeedDirection() {
  if (hspeed == 0) {
    direction = vspeed > 0 ? 270.0f : vspeed < 0 ? 90.0f : 0.0f;
  } else {
    float a = static_cast<float>(std::atan2(vspeed, hspeed) * 180.0 / kPi);
    direction = a <= 0 ? -a : 360.0f - a;
  }
  direction = std::fmod(Snap(direction), 360.0f);
  speed = Snap(static_cast<float>(std::sqrt(double(vspeed) * vspeed + double(hspeed) * hspeed)));
  bbox_dirty = true;
}

void CObjInstance::ComputeHVSpeed() {
  float r = direction * kPi / 180.0f;
  hspeed = Snap(std::cos(r) * speed);
  vspeed = Snap(-speed * std::sin(r));
  bbox_dirty = true;
}

void CObjInstance::SetDirection(float degrees) {
  // A non-finite angle has no place on the circle; NaN loops would not end.
  if (!std::isfinite(degrees)) degrees = 0;
  degrees = std::fmod(degrees, 360.0f);
  if (degrees < 0) degrees += 360.0f;
  if (degrees == 0) degrees = 0;  // no negative zero
  direction = std::fmod(degrees, 360.0f);
  ComputeHVSpeed();
}

void CObjInstance::SetSpeed(float value) {
  if (value == speed) return;
  speed = value;
  ComputeHVSpeed();
}

void CObjInstance::SetHSpeed(float value) {
  if (value == hspeed) return;
  hspeed = value;
  ComputeSpeedDirection();
}

void CObjInstance::SetVSpeed(float value) {
  if (value == vspeed) return;
  vspeed = value;
  ComputeSpeedDirection();
}

void CObjInstance::AddMotion(float degrees, float amount) {
  float r = degrees * kPi / 180.0f;
  hspeed += std::cos(r) * amount;
  vspeed -= std::sin(r) * amount;
  ComputeSpeedDirection();
}

void CObjInstance::ApplyFrictionGravityNow() {
  if (friction != 0 && speed != 0) {
    float next = speed > 0 ? speed - friction : speed + friction;
    if ((speed > 0 && next < 0) || (speed < 0 && next > 0)) {
      speed = 0;
    } else if (next != speed) {
      speed = next;
    }
    ComputeHVSpeed();
  }
  if (gravity != 0) AddMotion(gravity_direction, gravity);
}

void CObjInstance::StartPath(int32_t path, float pathSpeed, float scale, float orientation, bool relative,
                             int32_t endAction) {
  path_index = path;
  if (path < 0) return;
  CMotionPath* p = Path_Get(path);
  if (!p || !(p->GetLength() > 0)) {
    path_index = -1;
    return;
  }
  path_speed = pathSpeed;
  path_position = pathSpeed >= 0 ? 0.0f : 1.0f;
  path_positionprevious = path_position;
  path_scale = scale;
  if (scale < 0) {
    path_index = -1;
    return;
  }
  path_orientation = orientation;
  path_endaction = endAction;
  if (!relative) SetPosition(p->XPosition(path_position), p->YPosition(path_position));
  path_xstart = x;
  path_ystart = y;
}

bool CObjInstance::AdvancePathNow() {
  CMotionPath* p = Path_Get(path_index);
  if (!p) return false;
  float length = p->GetLength();
  if (!(length > 0)) return false;
  float a = path_orientation * kPi / 180.0f;
  float c = std::cos(a), s = std::sin(a);
  float px, py, ps;
  p->GetPosition(path_position, &px, &py, &ps);
  // A scale of 0 would divide by zero: such a path does not move on.
  if (path_scale != 0) path_position += path_speed * (ps / (100.0f * path_scale)) / length;
  bool ended = false;
  if (path_position >= 1 || path_position <= 0) {
    ended = path_speed != 0;
    // Which end was reached: going backwards, a position of exactly 0 is the
    // start, not the far end (which would jump the instance across the path).
    const bool farEnd = path_position >= 0 && !(path_position == 0 && path_speed < 0);
    switch (path_endaction) {
      case 0:
        if (path_speed != 0) {
          path_position = 1;
          path_index = -1;
        }
        break;
      case 1: path_position = farEnd ? path_position - 1 : path_position + 1; break;
      case 2: {
        const PathComputedPoint& first = p->Computed().front();
        const PathComputedPoint& last = p->Computed().back();
        float dx = last.x - first.x, dy = last.y - first.y;
        float mx = (c * dx + s * dy) * path_scale, my = (c * dy - s * dx) * path_scale;
        if (farEnd) {
          path_xstart += mx;
          path_ystart += my;
          path_position -= 1;
        } else {
          path_xstart -= mx;
          path_ystart -= my;
          path_position += 1;
        }
        break;
      }
      case 3:
        if (farEnd) {
          path_position = 2 - path_position;
          path_speed = -std::fabs(path_speed);
        } else {
          path_position = -path_position;
          path_speed = std::fabs(path_speed);
        }
        break;
      default:
        path_position = 1;
        path_index = -1;
        break;
    }
  }
  const PathComputedPoint& first = p->Computed().front();
  p->GetPosition(path_position, &px, &py, &ps);
  float qx = px - first.x, qy = py - first.y;
  float nx = path_xstart + (c * qx + s * qy) * path_scale;
  float ny = path_ystart + (c * qy - s * qx) * path_scale;
  if (nx - x != hspeed) SetHSpeed(nx - x);
  if (ny - y != vspeed) SetVSpeed(ny - y);
  if (speed != 0) {
    speed = 0;
    ComputeHVSpeed();
  }
  if (nx != x || ny != y) SetPosition(nx, ny);
  return ended;
}

void Instance_SnapToGrid(CObjInstance* instance, float hsnap, float vsnap) {
  float nx = instance->x, ny = instance->y;
  if (hsnap > 0) nx = std::nearbyint(nx / hsnap) * hsnap;
  if (vsnap > 0) ny = std::nearbyint(ny / vsnap) * vsnap;
  instance->SetPosition(nx, ny);
}

void Instance_Wrap(CObjInstance* instance, bool horizontal, bool vertical) {
  SpriteShape shape;
  float w = 0, h = 0;
  if (Instance_LookUpSprite(instance->sprite_index, &shape)) {
    w = shape.width * instance->image_xscale;
    h = shape.height * instance->image_yscale;
  }
  const CGameRoom* room = g_Run.room;
  float roomW = room ? float(room->width) : 0, roomH = room ? float(room->height) : 0;
  if (horizontal) {
    if (instance->hspeed < 0 && instance->x < 0) {
      instance->SetPosition(roomW + instance->x + w, instance->y);
    } else if (instance->hspeed > 0 && instance->x >= roomW) {
      instance->SetPosition(instance->x - roomW - w, instance->y);
    }
  }
  if (vertical) {
    if (instance->vspeed < 0 && instance->y < 0) {
      instance->SetPosition(instance->x, roomH + instance->y + h);
    } else if (instance->vspeed > 0 && instance->y >= roomH) {
      instance->SetPosition(instance->x, instance->y - roomH - h);
    }
  }
}

void Instance_MoveTowardsPoint(CObjInstance* instance, float x, float y, float speed) {
  instance->SetHSpeed(x - instance->x);
  instance->SetVSpeed(y - instance->y);
  instance->SetSpeed(speed);
}
