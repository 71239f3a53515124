// The instance built-in variables: x, speed, alarm, sprite_index and the
// others through which scripts read and change the calling instance's engine
// state. The readings of its physics body are bound by the physics subsystem.
#include <cmath>

#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "core/builtin_vars.h"
#include "script/convert.h"
#include "script/value.h"

namespace {

constexpr auto& SetReal = BuiltinVar_SetReal;

// Integers are taken from the value narrowed to single precision.
int32_t Near(const ScriptValue* v) { return Real_RoundToInt32(double(float(v->Real()))); }
float Single(const ScriptValue* v) { return float(v->Real()); }
int AlarmSlot(int32_t index) { return index >= 0 && index < kAlarmCount ? index : 0; }

#define GETTER(name) bool name([[maybe_unused]] CObjInstance* self, [[maybe_unused]] int32_t index, ScriptValue* out)
#define SETTER(name) \
  bool name([[maybe_unused]] CObjInstance* self, [[maybe_unused]] int32_t index, ScriptValue* value)

// Reads and writes of an instance variable with no instance to act on
// produce nothing.
#define FIELD_GETTER(name, expr) \
  GETTER(name) { return self && SetReal(out, double(expr)); }
#define STORE_SETTER(name, field, from) \
  SETTER(name) {                         \
    if (!self) return false;             \
    self->field = from(value);           \
    return true;                         \
  }
#define CALL_SETTER(name, call) \
  SETTER(name) {                \
    if (!self) return false;    \
    call;                       \
    return true;                \
  }

bool NonZero(const ScriptValue* v) { return Near(v) != 0; }

// ---- Position and motion ---------------------------------------------------------

FIELD_GETTER(GetX, self->x)
CALL_SETTER(SetX, self->SetPosition(Single(value), self->y))
FIELD_GETTER(GetY, self->y)
CALL_SETTER(SetY, self->SetPosition(self->x, Single(value)))
FIELD_GETTER(GetXPrevious, self->xprevious)
STORE_SETTER(SetXPrevious, xprevious, Single)
FIELD_GETTER(GetYPrevious, self->yprevious)
STORE_SETTER(SetYPrevious, yprevious, Single)
FIELD_GETTER(GetXStart, self->xstart)
STORE_SETTER(SetXStart, xstart, Single)
FIELD_GETTER(GetYStart, self->ystart)
STORE_SETTER(SetYStart, ystart, Single)
FIELD_GETTER(GetHSpeed, self->hspeed)
CALL_SETTER(SetHSpeed, self->SetHSpeed(Single(value)))
FIELD_GETTER(GetVSpeed, self->vspeed)
CALL_SETTER(SetVSpeed, self->SetVSpeed(Single(value)))
FIELD_GETTER(GetDirection, self->direction)
CALL_SETTER(SetDirection, self->SetDirection(Single(value)))
FIELD_GETTER(GetSpeed, self->speed)
CALL_SETTER(SetSpeed, self->SetSpeed(Single(value)))
FIELD_GETTER(GetFriction, self->friction)
STORE_SETTER(SetFriction, friction, Single)
FIELD_GETTER(GetGravity, self->gravity)
STORE_SETTER(SetGravity, gravity, Single)
FIELD_GETTER(GetGravityDirection, self->gravity_direction)
STORE_SETTER(SetGravityDirection, gravity_direction, Single)

// ---- Identity, alarms, flags and depth ----------------------------------------------

FIELD_GETTER(GetObjectIndex, self->object_index)
FIELD_GETTER(GetId, self->id)
FIELD_GETTER(GetAlarm, self->GetAlarm(AlarmSlot(index)))
CALL_SETTER(SetAlarm, self->SetAlarm(AlarmSlot(index), Near(value)))
FIELD_GETTER(GetSolid, self->solid ? 1 : 0)
STORE_SETTER(SetSolid, solid, NonZero)
FIELD_GETTER(GetVisible, self->visible ? 1 : 0)
STORE_SETTER(SetVisible, visible, NonZero)
FIELD_GETTER(GetPersistent, self->persistent ? 1 : 0)
STORE_SETTER(SetPersistent, persistent, NonZero)
FIELD_GETTER(GetDepth, self->depth)
CALL_SETTER(SetDepth, self->SetDepth(Single(value)))

#define BBOX_GETTER(name, field)      \
  GETTER(name) {                      \
    if (!self) return false;          \
    self->EnsureBoundingBox();        \
    return SetReal(out, self->field); \
  }
BBOX_GETTER(GetBBoxLeft, bbox_left)
BBOX_GETTER(GetBBoxRight, bbox_right)
BBOX_GETTER(GetBBoxTop, bbox_top)
BBOX_GETTER(GetBBoxBottom, bbox_bottom)

// ---- Sprite and image --------------------------------------------------------------

FIELD_GETTER(GetSpriteIndex, self->sprite_index)
CALL_SETTER(SetSpriteIndex, self->SetSpriteIndex(Near(value)))
FIELD_GETTER(GetImageIndex, self->image_index)
STORE_SETTER(SetImageIndex, image_index, Single)
FIELD_GETTER(GetImageSingle, self->image_speed != 0 ? -1.0f : self->image_index)
SETTER(SetImageSingle) {
  if (!self) return false;
  const float v = Single(value);
  if (v < 0) {
    self->image_speed = 1;
  } else {
    self->image_index = v;
    self->image_speed = 0;
  }
  return true;
}
FIELD_GETTER(GetImageNumber, self->GetImageNumber())

// The sprite of sprite_index (not the mask's); false when it does not exist.
bool OwnSprite(const CObjInstance* self, SpriteShape* shape) {
  return Instance_LookUpSprite(self->sprite_index, shape);
}
#define SPRITE_GETTER(name, expr)                           \
  GETTER(name) {                                            \
    if (!self) return false;                                \
    SpriteShape s;                                          \
    return SetReal(out, OwnSprite(self, &s) ? double(expr) : 0.0); \
  }
SPRITE_GETTER(GetSpriteWidth, float(s.width) * self->image_xscale)
SPRITE_GETTER(GetSpriteHeight, float(s.height) * self->image_yscale)
SPRITE_GETTER(GetSpriteXOffset, float(s.origin_x) * self->image_xscale)
SPRITE_GETTER(GetSpriteYOffset, float(s.origin_y) * self->image_yscale)

FIELD_GETTER(GetImageXScale, self->image_xscale)
CALL_SETTER(SetImageXScale, self->SetImageXScale(Single(value)))
FIELD_GETTER(GetImageYScale, self->image_yscale)
CALL_SETTER(SetImageYScale, self->SetImageYScale(Single(value)))
FIELD_GETTER(GetImageAngle, self->image_angle)
CALL_SETTER(SetImageAngle, self->SetImageAngle(Single(value)))
FIELD_GETTER(GetImageAlpha, self->image_alpha)
STORE_SETTER(SetImageAlpha, image_alpha, Single)
FIELD_GETTER(GetImageBlend, self->image_blend)
CALL_SETTER(SetImageBlend, self->image_blend = uint32_t(Near(value)))
FIELD_GETTER(GetImageSpeed, self->image_speed)
STORE_SETTER(SetImageSpeed, image_speed, Single)
FIELD_GETTER(GetMaskIndex, self->mask_index)
CALL_SETTER(SetMaskIndex, self->SetMaskIndex(Near(value)))

// ---- Paths and timelines ------------------------------------------------------------

// A position that is no number would be no place on the path.
float PathFraction(const ScriptValue* v) {
  const float f = Single(v);
  return std::isnan(f) ? 0.0f : f;
}

FIELD_GETTER(GetPathIndex, self->path_index)
FIELD_GETTER(GetPathPosition, self->path_position)
CALL_SETTER(SetPathPosition, self->SetPathPosition(PathFraction(value)))
FIELD_GETTER(GetPathPositionPrevious, self->path_positionprevious)
CALL_SETTER(SetPathPositionPrevious, self->SetPathPositionPrevious(PathFraction(value)))
FIELD_GETTER(GetPathSpeed, self->path_speed)
CALL_SETTER(SetPathSpeed, self->SetPathSpeed(Single(value)))
FIELD_GETTER(GetPathScale, self->path_scale)
STORE_SETTER(SetPathScale, path_scale, Single)
FIELD_GETTER(GetPathOrientation, self->path_orientation)
STORE_SETTER(SetPathOrientation, path_orientation, Single)
FIELD_GETTER(GetPathEndAction, self->path_endaction)
STORE_SETTER(SetPathEndAction, path_endaction, Near)
FIELD_GETTER(GetTimelineIndex, self->timeline_index)
STORE_SETTER(SetTimelineIndex, timeline_index, Near)
FIELD_GETTER(GetTimelinePosition, self->timeline_position)
STORE_SETTER(SetTimelinePosition, timeline_position, Single)
FIELD_GETTER(GetTimelineSpeed, self->timeline_speed)
STORE_SETTER(SetTimelineSpeed, timeline_speed, Single)

// These two round the value as it is, without narrowing it first.
bool AtLeastOne(const ScriptValue* v) { return Real_RoundToInt32(v->Real()) >= 1; }
FIELD_GETTER(GetTimelineRunning, self->timeline_running ? 1 : 0)
STORE_SETTER(SetTimelineRunning, timeline_running, AtLeastOne)
FIELD_GETTER(GetTimelineLoop, self->timeline_loop ? 1 : 0)
STORE_SETTER(SetTimelineLoop, timeline_loop, AtLeastOne)

GETTER(GetAsyncLoad) { return SetReal(out, g_Run.async_load); }

// ---- Others ----------------------------------------------------------------------------

GETTER(GetDeltaTime) { return SetReal(out, double(Run_DeltaTime())); }
GETTER(GetWebGLEnabled) { return SetReal(out, 1); }

}  // namespace

void BuiltinVar_RegisterInstance() {
  BuiltinVar_Register("x", GetX, SetX);
  BuiltinVar_Register("y", GetY, SetY);
  BuiltinVar_Register("xprevious", GetXPrevious, SetXPrevious);
  BuiltinVar_Register("yprevious", GetYPrevious, SetYPrevious);
  BuiltinVar_Register("xstart", GetXStart, SetXStart);
  BuiltinVar_Register("ystart", GetYStart, SetYStart);
  BuiltinVar_Register("hspeed", GetHSpeed, SetHSpeed);
  BuiltinVar_Register("vspeed", GetVSpeed, SetVSpeed);
  BuiltinVar_Register("direction", GetDirection, SetDirection);
  BuiltinVar_Register("speed", GetSpeed, SetSpeed);
  BuiltinVar_Register("friction", GetFriction, SetFriction);
  BuiltinVar_Register("gravity", GetGravity, SetGravity);
  BuiltinVar_Register("gravity_direction", GetGravityDirection, SetGravityDirection);
  BuiltinVar_Register("object_index", GetObjectIndex, nullptr);
  BuiltinVar_Register("id", GetId, nullptr);
  BuiltinVar_Register("alarm", GetAlarm, SetAlarm);
  BuiltinVar_Register("solid", GetSolid, SetSolid);
  BuiltinVar_Register("visible", GetVisible, SetVisible);
  BuiltinVar_Register("persistent", GetPersistent, SetPersistent);
  BuiltinVar_Register("depth", GetDepth, SetDepth);
  BuiltinVar_Register("bbox_left", GetBBoxLeft, nullptr);
  BuiltinVar_Register("bbox_right", GetBBoxRight, nullptr);
  BuiltinVar_Register("bbox_top", GetBBoxTop, nullptr);
  BuiltinVar_Register("bbox_bottom", GetBBoxBottom, nullptr);
  BuiltinVar_Register("sprite_index", GetSpriteIndex, SetSpriteIndex);
  BuiltinVar_Register("image_index", GetImageIndex, SetImageIndex);
  BuiltinVar_Register("image_single", GetImageSingle, SetImageSingle);
  BuiltinVar_Register("image_number", GetImageNumber, nullptr);
  BuiltinVar_Register("sprite_width", GetSpriteWidth, nullptr);
  BuiltinVar_Register("sprite_height", GetSpriteHeight, nullptr);
  BuiltinVar_Register("sprite_xoffset", GetSpriteXOffset, nullptr);
  BuiltinVar_Register("sprite_yoffset", GetSpriteYOffset, nullptr);
  BuiltinVar_Register("image_xscale", GetImageXScale, SetImageXScale);
  BuiltinVar_Register("image_yscale", GetImageYScale, SetImageYScale);
  BuiltinVar_Register("image_angle", GetImageAngle, SetImageAngle);
  BuiltinVar_Register("image_alpha", GetImageAlpha, SetImageAlpha);
  BuiltinVar_Register("image_blend", GetImageBlend, SetImageBlend);
  BuiltinVar_Register("image_speed", GetImageSpeed, SetImageSpeed);
  BuiltinVar_Register("mask_index", GetMaskIndex, SetMaskIndex);
  BuiltinVar_Register("path_index", GetPathIndex, nullptr);
  BuiltinVar_Register("path_position", GetPathPosition, SetPathPosition);
  BuiltinVar_Register("path_positionprevious", GetPathPositionPrevious, SetPathPositionPrevious);
  BuiltinVar_Register("path_speed", GetPathSpeed, SetPathSpeed);
  BuiltinVar_Register("path_scale", GetPathScale, SetPathScale);
  BuiltinVar_Register("path_orientation", GetPathOrientation, SetPathOrientation);
  BuiltinVar_Register("path_endaction", GetPathEndAction, SetPathEndAction);
  BuiltinVar_Register("timeline_index", GetTimelineIndex, SetTimelineIndex);
  BuiltinVar_Register("timeline_position", GetTimelinePosition, SetTimelinePosition);
  BuiltinVar_Register("timeline_speed", GetTimelineSpeed, SetTimelineSpeed);
  BuiltinVar_Register("timeline_running", GetTimelineRunning, SetTimelineRunning);
  BuiltinVar_Register("timeline_loop", GetTimelineLoop, SetTimelineLoop);
  BuiltinVar_Register("async_load", GetAsyncLoad, nullptr);
  // The physics subsystem binds these.
  BuiltinVar_Register("phy_rotation", nullptr, nullptr);
  BuiltinVar_Register("phy_position_x", nullptr, nullptr);
  BuiltinVar_Register("phy_position_y", nullptr, nullptr);
  BuiltinVar_Register("phy_angular_velocity", nullptr, nullptr);
  BuiltinVar_Register("phy_linear_velocity_x", nullptr, nullptr);
  BuiltinVar_Register("phy_linear_velocity_y", nullptr, nullptr);
  BuiltinVar_Register("phy_speed_x", nullptr, nullptr);
  BuiltinVar_Register("phy_speed_y", nullptr, nullptr);
  BuiltinVar_Register("phy_angular_damping", nullptr, nullptr);
  BuiltinVar_Register("phy_linear_damping", nullptr, nullptr);
  BuiltinVar_Register("phy_bullet", nullptr, nullptr);
  BuiltinVar_Register("phy_fixed_rotation", nullptr, nullptr);
  BuiltinVar_Register("phy_active", nullptr, nullptr);
  BuiltinVar_Register("phy_mass", nullptr, nullptr);
  BuiltinVar_Register("phy_inertia", nullptr, nullptr);
  BuiltinVar_Register("phy_com_x", nullptr, nullptr);
  BuiltinVar_Register("phy_com_y", nullptr, nullptr);
  BuiltinVar_Register("phy_speed", nullptr, nullptr);
  BuiltinVar_Register("phy_dynamic", nullptr, nullptr);
  BuiltinVar_Register("phy_kinematic", nullptr, nullptr);
  BuiltinVar_Register("phy_sleeping", nullptr, nullptr);
  BuiltinVar_Register("phy_position_xprevious", nullptr, nullptr);
  BuiltinVar_Register("phy_position_yprevious", nullptr, nullptr);
  BuiltinVar_Register("phy_collision_points", nullptr, nullptr);
  BuiltinVar_Register("phy_collision_x", nullptr, nullptr);
  BuiltinVar_Register("phy_collision_y", nullptr, nullptr);
  BuiltinVar_Register("phy_col_normal_x", nullptr, nullptr);
  BuiltinVar_Register("phy_col_normal_y", nullptr, nullptr);
  BuiltinVar_Register("display_aa", nullptr, nullptr);  // bound by graphics
  BuiltinVar_Register("delta_time", GetDeltaTime, nullptr);
  BuiltinVar_Register("webgl_enabled", GetWebGLEnabled, nullptr);
}
