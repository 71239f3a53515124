// The physics layer, as far as start-up and the phy_ variables need it so far.
#pragma once
#include <cstdint>

void Physics_InstallAssertHook();
void InitPhysicsFunctions();

// What an instance's body holds, in the physics library's units (metres,
// radians, seconds).
struct PhysicsBodyState {
  int32_t type = 0;  // 0 static, 1 kinematic, 2 dynamic
  float angle = 0;
  float x = 0, y = 0;
  float vx = 0, vy = 0;
  float angular_velocity = 0;
  float linear_damping = 0, angular_damping = 0;
  uint32_t flags = 0;  // kBody... bits
  float mass = 0;
  float inertia = 0;  // about the centre of mass
  float local_cx = 0, local_cy = 0;
  float world_cx = 0, world_cy = 0;
};
constexpr uint32_t kBodyAwake = 1u << 1;
constexpr uint32_t kBodyBullet = 1u << 3;
constexpr uint32_t kBodyFixedRotation = 1u << 4;
constexpr uint32_t kBodyActive = 1u << 5;

// An instance's body as the instance holds it. The layer over the physics
// library derives from this; every change wakes the body.
class CInstancePhysics {
 public:
  virtual ~CInstancePhysics() = default;
  virtual PhysicsBodyState Body() const = 0;
  virtual void SetRotation(float degrees) = 0;
  virtual void SetPosition(float x, float y) = 0;
  virtual void SetAngularVelocity(float degreesPerSecond) = 0;
  // A static body becomes kinematic first.
  virtual void SetLinearVelocity(float x, float y) = 0;
  virtual void SetDamping(float linear, float angular) = 0;
  // Setting fixed rotation recomputes the body's mass data.
  virtual void SetFlag(uint32_t flag, bool on) = 0;

  // The body's position before the last world step, in metres.
  float previous_x = 0, previous_y = 0;
};
