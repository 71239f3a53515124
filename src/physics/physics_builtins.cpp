// The readings of an instance's physics body as built-in variables
// (phy_rotation, phy_speed_x ...).
#include "physics/physics_builtins.h"

#include <cmath>

#include "core/builtin_vars.h"
#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "physics/physics.h"
#include "script/value.h"

namespace {

constexpr float kPi = 3.1415927f;

float Single(const ScriptValue* v) { return float(v->Real()); }

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
  TW_VAR_GETTER(name) {                                \
    CInstancePhysics* p = Body(self);           \
    if (!p) return false;                       \
    const PhysicsBodyState b = p->Body();       \
    return BuiltinVar_SetReal(out, double(expr));          \
  }
// A reading that also needs the room's world, whose scale s it divides by.
#define SCALED_GETTER(name, expr)               \
  TW_VAR_GETTER(name) {                                \
    CInstancePhysics* p = Body(self);           \
    const float s = WorldScale();               \
    if (!p || !(s > 0)) return false;           \
    [[maybe_unused]] const PhysicsBodyState b = p->Body(); \
    return BuiltinVar_SetReal(out, double(expr));          \
  }
#define BODY_SETTER(name, call)                 \
  TW_VAR_SETTER(name) {                                \
    CInstancePhysics* p = Body(self);           \
    if (!p) return false;                       \
    const float v = Single(value);              \
    [[maybe_unused]] const PhysicsBodyState b = p->Body(); \
    call;                                       \
    return true;                                \
  }
#define SCALED_SETTER(name, call)               \
  TW_VAR_SETTER(name) {                                \
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
TW_VAR_GETTER(GetPhyCollisionPoints) {
  const InstancePhysicsHooks& hooks = Instance_PhysicsHooks();
  if (!self || !(WorldScale() > 0)) return false;
  return BuiltinVar_SetReal(out, hooks.collision_point_count ? hooks.collision_point_count(g_Run.room, self) : 0);
}
using ContactRead = bool (*)(CGameRoom*, CObjInstance*, int32_t, float*, float*);
bool ContactValue(CObjInstance* self, int32_t n, ContactRead read, bool wantY, ScriptValue* out) {
  float x = 0, y = 0;
  if (!self || !read || !(WorldScale() > 0) || !read(g_Run.room, self, n, &x, &y)) return false;
  return BuiltinVar_SetReal(out, wantY ? y : x);
}
TW_VAR_GETTER(GetPhyCollisionX) { return ContactValue(self, index, Instance_PhysicsHooks().collision_point, false, out); }
TW_VAR_GETTER(GetPhyCollisionY) { return ContactValue(self, index, Instance_PhysicsHooks().collision_point, true, out); }
TW_VAR_GETTER(GetPhyColNormalX) { return ContactValue(self, index, Instance_PhysicsHooks().collision_normal, false, out); }
TW_VAR_GETTER(GetPhyColNormalY) { return ContactValue(self, index, Instance_PhysicsHooks().collision_normal, true, out); }

}  // namespace

void Physics_BindVariables() {
  BuiltinVar_Bind("phy_rotation", GetPhyRotation, SetPhyRotation);
  BuiltinVar_Bind("phy_position_x", GetPhyPositionX, SetPhyPositionX);
  BuiltinVar_Bind("phy_position_y", GetPhyPositionY, SetPhyPositionY);
  BuiltinVar_Bind("phy_angular_velocity", GetPhyAngularVelocity, SetPhyAngularVelocity);
  BuiltinVar_Bind("phy_linear_velocity_x", GetPhyLinearVelocityX, SetPhyLinearVelocityX);
  BuiltinVar_Bind("phy_linear_velocity_y", GetPhyLinearVelocityY, SetPhyLinearVelocityY);
  BuiltinVar_Bind("phy_speed_x", GetPhySpeedX, SetPhySpeedX);
  BuiltinVar_Bind("phy_speed_y", GetPhySpeedY, SetPhySpeedY);
  BuiltinVar_Bind("phy_angular_damping", GetPhyAngularDamping, SetPhyAngularDamping);
  BuiltinVar_Bind("phy_linear_damping", GetPhyLinearDamping, SetPhyLinearDamping);
  BuiltinVar_Bind("phy_bullet", GetPhyBullet, SetPhyBullet);
  BuiltinVar_Bind("phy_fixed_rotation", GetPhyFixedRotation, SetPhyFixedRotation);
  BuiltinVar_Bind("phy_active", GetPhyActive, SetPhyActive);
  BuiltinVar_Bind("phy_mass", GetPhyMass, nullptr);
  BuiltinVar_Bind("phy_inertia", GetPhyInertia, nullptr);
  BuiltinVar_Bind("phy_com_x", GetPhyComX, nullptr);
  BuiltinVar_Bind("phy_com_y", GetPhyComY, nullptr);
  BuiltinVar_Bind("phy_speed", GetPhySpeed, nullptr);
  BuiltinVar_Bind("phy_dynamic", GetPhyDynamic, nullptr);
  BuiltinVar_Bind("phy_kinematic", GetPhyKinematic, nullptr);
  BuiltinVar_Bind("phy_sleeping", GetPhySleeping, nullptr);
  BuiltinVar_Bind("phy_position_xprevious", GetPhyPositionXPrevious, nullptr);
  BuiltinVar_Bind("phy_position_yprevious", GetPhyPositionYPrevious, nullptr);
  BuiltinVar_Bind("phy_collision_points", GetPhyCollisionPoints, nullptr);
  BuiltinVar_Bind("phy_collision_x", GetPhyCollisionX, nullptr);
  BuiltinVar_Bind("phy_collision_y", GetPhyCollisionY, nullptr);
  BuiltinVar_Bind("phy_col_normal_x", GetPhyColNormalX, nullptr);
  BuiltinVar_Bind("phy_col_normal_y", GetPhyColNormalY, nullptr);
}
