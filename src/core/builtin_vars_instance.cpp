// The instance built-in variables: x, speed, alarm, sprite_index and the
// others through which scripts read and change the calling instance's engine
// state, with the readings of its physics body.
#include <cmath>

#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "graphics/display.h"
#include "physics/physics.h"
#include "core/builtin_vars.h"
#include "script/convert.h"
#include "script/value.h"

namespace {

constexpr float kPi = 3.1415927f;

bool SetReal(ScriptValue* out, double x) {
  ScriptValue_Free(out);
  out->kind = kKindReal;
  out->real = x;
  return true;
}

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

// ---- Physics ----------------------------------------------------------------------------

CInstancePhysics* Body(CObjInstance* self) { return self ? self->physics : nullptr; }

// The current room's pixels-to-metres scale; 0 when it has no world.
float WorldScale() {
  const InstancePhysicsHooks& hooks = Instance_PhysicsHooks();
  if (!g_Run.room || !hooks.world_scale) return 0;
  const float s = hooks.world_scale(g_Run.room);
  return s > 0 ? s : 0;
}
float RoomSpeed() { return g_Run.room ? float(g_Run.room->speed) : 0.0f; }

// A reading of the body alone; nothing without a body.
#define BODY_GETTER(name, expr)                 \
  GETTER(name) {                                \
    CInstancePhysics* p = Body(self);           \
    if (!p) return false;                       \
    const PhysicsBodyState b = p->Body();       \
    return SetReal(out, double(expr));          \
  }
// A reading that also needs the room's world, whose scale s it divides by.
#define SCALED_GETTER(name, expr)               \
  GETTER(name) {                                \
    CInstancePhysics* p = Body(self);           \
    const float s = WorldScale();               \
    if (!p || !(s > 0)) return false;           \
    [[maybe_unused]] const PhysicsBodyState b = p->Body(); \
    return SetReal(out, double(expr));          \
  }
#define BODY_SETTER(name, call)                 \
  SETTER(name) {                                \
    CInstancePhysics* p = Body(self);           \
    if (!p) return false;                       \
    const float v = Single(value);              \
    [[maybe_unused]] const PhysicsBodyState b = p->Body(); \
    call;                                       \
    return true;                                \
  }
#define SCALED_SETTER(name, call)               \
  SETTER(name) {                                \
    CInstancePhysics* p = Body(self);           \
    const float s = WorldScale();               \
    if (!p || !(s > 0)) return false;           \
    const float v = Single(value);              \
    const PhysicsBodyState b = p->Body();       \
    call;                                       \
    return true;                                \
  }

float SpeedX(const PhysicsBodyState& b, float s) { return b.vx / s / RoomSpeed(); }
float SpeedY(const PhysicsBodyState& b, float s) { return b.vy / s / RoomSpeed(); }

BODY_GETTER(GetPhyRotation, b.angle * 180.0f / kPi)
BODY_SETTER(SetPhyRotation, p->SetRotation(v))
SCALED_GETTER(GetPhyPositionX, b.x / s)
SCALED_SETTER(SetPhyPositionX, p->SetPosition(v * s, b.y))
SCALED_GETTER(GetPhyPositionY, b.y / s)
SCALED_SETTER(SetPhyPositionY, p->SetPosition(b.x, v * s))
BODY_GETTER(GetPhyAngularVelocity, b.angular_velocity * 180.0f / kPi)
BODY_SETTER(SetPhyAngularVelocity, p->SetAngularVelocity(v))
SCALED_GETTER(GetPhyLinearVelocityX, b.vx / s)
SCALED_SETTER(SetPhyLinearVelocityX, p->SetLinearVelocity(v * s, b.vy))
SCALED_GETTER(GetPhyLinearVelocityY, b.vy / s)
SCALED_SETTER(SetPhyLinearVelocityY, p->SetLinearVelocity(b.vx, v * s))
SCALED_GETTER(GetPhySpeedX, SpeedX(b, s))
SCALED_SETTER(SetPhySpeedX, p->SetLinearVelocity(v * s * RoomSpeed(), b.vy))
SCALED_GETTER(GetPhySpeedY, SpeedY(b, s))
SCALED_SETTER(SetPhySpeedY, p->SetLinearVelocity(b.vx, v * s * RoomSpeed()))
BODY_GETTER(GetPhyAngularDamping, b.angular_damping)
BODY_SETTER(SetPhyAngularDamping, p->SetDamping(b.linear_damping, v))
BODY_GETTER(GetPhyLinearDamping, b.linear_damping)
BODY_SETTER(SetPhyLinearDamping, p->SetDamping(v, b.angular_damping))
BODY_GETTER(GetPhyBullet, (b.flags & kBodyBullet) ? 1 : 0)
BODY_SETTER(SetPhyBullet, p->SetFlag(kBodyBullet, v > 0.5f))
BODY_GETTER(GetPhyFixedRotation, (b.flags & kBodyFixedRotation) ? 1 : 0)
BODY_SETTER(SetPhyFixedRotation, p->SetFlag(kBodyFixedRotation, v > 0.5f))
BODY_GETTER(GetPhyActive, (b.flags & kBodyActive) ? 1 : 0)
BODY_SETTER(SetPhyActive, p->SetFlag(kBodyActive, v > 0.5f))
BODY_GETTER(GetPhyMass, b.mass)
BODY_GETTER(GetPhyInertia, b.inertia + b.mass * (b.local_cx * b.local_cx + b.local_cy * b.local_cy))
SCALED_GETTER(GetPhyComX, b.world_cx / s)
SCALED_GETTER(GetPhyComY, b.world_cy / s)
SCALED_GETTER(GetPhySpeed, std::sqrt(SpeedX(b, s) * SpeedX(b, s) + SpeedY(b, s) * SpeedY(b, s)))
BODY_GETTER(GetPhyDynamic, b.type == 2 ? 1 : 0)
BODY_GETTER(GetPhyKinematic, b.type == 1 ? 1 : 0)
BODY_GETTER(GetPhySleeping, (b.flags & kBodyAwake) ? 0 : 1)
SCALED_GETTER(GetPhyPositionXPrevious, p->previous_x / s)
SCALED_GETTER(GetPhyPositionYPrevious, p->previous_y / s)

// The contact being dispatched: these need the world but not a body.
GETTER(GetPhyCollisionPoints) {
  const InstancePhysicsHooks& hooks = Instance_PhysicsHooks();
  if (!self || !(WorldScale() > 0)) return false;
  return SetReal(out, hooks.collision_point_count ? hooks.collision_point_count(g_Run.room, self) : 0);
}
using ContactRead = bool (*)(CGameRoom*, CObjInstance*, int32_t, float*, float*);
bool ContactValue(CObjInstance* self, int32_t n, ContactRead read, bool wantY, ScriptValue* out) {
  float x = 0, y = 0;
  if (!self || !read || !(WorldScale() > 0) || !read(g_Run.room, self, n, &x, &y)) return false;
  return SetReal(out, wantY ? y : x);
}
GETTER(GetPhyCollisionX) { return ContactValue(self, index, Instance_PhysicsHooks().collision_point, false, out); }
GETTER(GetPhyCollisionY) { return ContactValue(self, index, Instance_PhysicsHooks().collision_point, true, out); }
GETTER(GetPhyColNormalX) { return ContactValue(self, index, Instance_PhysicsHooks().collision_normal, false, out); }
GETTER(GetPhyColNormalY) { return ContactValue(self, index, Instance_PhysicsHooks().collision_normal, true, out); }

// ---- Others ----------------------------------------------------------------------------

GETTER(GetDisplayAA) { return SetReal(out, Display_MultisampleMask()); }
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
  BuiltinVar_Register("phy_rotation", GetPhyRotation, SetPhyRotation);
  BuiltinVar_Register("phy_position_x", GetPhyPositionX, SetPhyPositionX);
  BuiltinVar_Register("phy_position_y", GetPhyPositionY, SetPhyPositionY);
  BuiltinVar_Register("phy_angular_velocity", GetPhyAngularVelocity, SetPhyAngularVelocity);
  BuiltinVar_Register("phy_linear_velocity_x", GetPhyLinearVelocityX, SetPhyLinearVelocityX);
  BuiltinVar_Register("phy_linear_velocity_y", GetPhyLinearVelocityY, SetPhyLinearVelocityY);
  BuiltinVar_Register("phy_speed_x", GetPhySpeedX, SetPhySpeedX);
  BuiltinVar_Register("phy_speed_y", GetPhySpeedY, SetPhySpeedY);
  BuiltinVar_Register("phy_angular_damping", GetPhyAngularDamping, SetPhyAngularDamping);
  BuiltinVar_Register("phy_linear_damping", GetPhyLinearDamping, SetPhyLinearDamping);
  BuiltinVar_Register("phy_bullet", GetPhyBullet, SetPhyBullet);
  BuiltinVar_Register("phy_fixed_rotation", GetPhyFixedRotation, SetPhyFixedRotation);
  BuiltinVar_Register("phy_active", GetPhyActive, SetPhyActive);
  BuiltinVar_Register("phy_mass", GetPhyMass, nullptr);
  BuiltinVar_Register("phy_inertia", GetPhyInertia, nullptr);
  BuiltinVar_Register("phy_com_x", GetPhyComX, nullptr);
  BuiltinVar_Register("phy_com_y", GetPhyComY, nullptr);
  BuiltinVar_Register("phy_speed", GetPhySpeed, nullptr);
  BuiltinVar_Register("phy_dynamic", GetPhyDynamic, nullptr);
  BuiltinVar_Register("phy_kinematic", GetPhyKinematic, nullptr);
  BuiltinVar_Register("phy_sleeping", GetPhySleeping, nullptr);
  BuiltinVar_Register("phy_position_xprevious", GetPhyPositionXPrevious, nullptr);
  BuiltinVar_Register("phy_position_yprevious", GetPhyPositionYPrevious, nullptr);
  BuiltinVar_Register("phy_collision_points", GetPhyCollisionPoints, nullptr);
  BuiltinVar_Register("phy_collision_x", GetPhyCollisionX, nullptr);
  BuiltinVar_Register("phy_collision_y", GetPhyCollisionY, nullptr);
  BuiltinVar_Register("phy_col_normal_x", GetPhyColNormalX, nullptr);
  BuiltinVar_Register("phy_col_normal_y", GetPhyColNormalY, nullptr);
  BuiltinVar_Register("display_aa", GetDisplayAA, nullptr);
  BuiltinVar_Register("delta_time", GetDeltaTime, nullptr);
  BuiltinVar_Register("webgl_enabled", GetWebGLEnabled, nullptr);
}
