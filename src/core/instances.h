// Instances: the record of one game instance and its life cycle, the
// depth-ordered instance lists rooms keep, the instance-id map and the
// pending lists that hold depth, object and activation changes until the
// game step applies them.
//
// Lists never change shape while something walks them: destroying only marks
// an instance dead, and depth, object and activation changes wait in the
// pending lists. An instance takes itself out of every list, map and pending
// list it is in when it is deleted, so nothing ever points at a freed one.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/objects.h"
#include "script/variables.h"
#include "script/world.h"

class CCode;
class CGameRoom;
class CInstancePhysics;
class InstanceIdMap;
class InstanceList;

// The dispatch stamp: a dispatcher takes its value as a snapshot and adds 1;
// instances made later carry a greater stamp and are skipped by it.
extern uint64_t g_DispatchStamp;

constexpr int kAlarmCount = 12;

// ---- What later subsystems provide ------------------------------------------------

// The shape a sprite gives an instance: its frame count, bounding box
// (inclusive) and origin.
struct SpriteShape {
  int32_t frames = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t origin_x = 0, origin_y = 0;
  bool precise = false;
  int32_t width = 0, height = 0;
};
// The sprite table installs its look-up; false for a sprite that does not
// exist. Until then no sprite exists.
using SpriteShapeLookup = bool (*)(int32_t sprite, SpriteShape* out);
void Instance_SetSpriteLookup(SpriteShapeLookup lookup);
bool Instance_LookUpSprite(int32_t sprite, SpriteShape* out);

// The fixture an instance's body is made from, in metres.
struct PhysicsFixtureRequest {
  int32_t shape = 0;  // 0 circle, 1 box, 2 polygon
  float radius = 0;   // circle
  std::vector<PhysicsPoint> points;  // box and polygon, in winding order
  float linear_damping = 0, angular_damping = 0, density = 0, restitution = 0, friction = 0;
  bool sensor = false, awake = false, kinematic = false;
  int32_t group = 0;
};
// The physics layer installs these. Until then no room has a world.
struct InstancePhysicsHooks {
  // The room's pixels-to-metres scale; 0 or below when it has no world.
  float (*world_scale)(CGameRoom* room) = nullptr;
  // Creates the body in the room's world and stores it in instance->physics.
  void (*bind_fixture)(CGameRoom* room, CObjInstance* instance, const PhysicsFixtureRequest& fixture) = nullptr;
  // Destroys the instance's body (room null: in whatever world holds it).
  void (*destroy_body)(CGameRoom* room, CObjInstance* instance) = nullptr;
  // The contact being dispatched as a collision event: the number of its
  // points that involve the instance, and point n's position or the normal
  // of the manifold holding it (false when there is no such point).
  int32_t (*collision_point_count)(CGameRoom* room, CObjInstance* instance) = nullptr;
  bool (*collision_point)(CGameRoom* room, CObjInstance* instance, int32_t n, float* x, float* y) = nullptr;
  bool (*collision_normal)(CGameRoom* room, CObjInstance* instance, int32_t n, float* x, float* y) = nullptr;
};
void Instance_SetPhysicsHooks(const InstancePhysicsHooks& hooks);
const InstancePhysicsHooks& Instance_PhysicsHooks();

// Value slots each new instance gets: the compiled code's instance slots.
int32_t Instance_SlotCount();
// For tests: slots for instances made from now on (-1: the compiled code's).
void Instance_OverrideSlotCount(int32_t slots);

// ---- The instance --------------------------------------------------------------

// The variable list, `variables`, sits in the base the script runtime reads
// (null when the instance keeps compiled slots).
class CObjInstance : public ScriptInstance {
 public:
  // At (x, y) with this id, made from the object; with joinLists it stands
  // in the object's instance lists at once.
  CObjInstance(float x, float y, int32_t id, int32_t objectIndex, bool joinLists);
  // Leaves every list, map and pending list, destroys the physics body and
  // frees the variables.
  ~CObjInstance();
  CObjInstance(const CObjInstance&) = delete;
  CObjInstance& operator=(const CObjInstance&) = delete;

  // Becomes an instance of the object: mask, depth, flags and sprite come
  // from it. An index naming no object leaves the instance without one (-1
  // is kept as 0).
  void SetObject(int32_t objectIndex, bool joinLists);
  // instance_change: the definition changes now, the object lists when the
  // pending object changes are applied.
  void ChangeObject(int32_t objectIndex);
  void ApplyObjectChange();
  // Copies another instance's state, variables deeply; not its stamp,
  // destroy/created flags, body, list places or pending changes.
  void CopyFrom(const CObjInstance& source, bool joinLists);
  void ComputeBoundingBox();
  // Readers of the box call this first.
  void EnsureBoundingBox() {
    if (bbox_dirty) ComputeBoundingBox();
  }
  void CreatePhysicsBody(CGameRoom* room);
  void RecreatePhysicsBody(CGameRoom* room);

  // Object instance lists of the current object.
  void JoinObjectLists();
  void LeaveObjectLists();
  ObjectMembership& ObjectLinks() { return objectLinks_; }

  void SetSpriteIndex(int32_t index);
  void SetMaskIndex(int32_t index);
  void SetImageXScale(float scale);
  void SetImageYScale(float scale);
  void SetImageAngle(float angle);
  void SetPosition(float newX, float newY);
  // Stores the depth and queues the instance in PendingDepthChanges when it
  // differs.
  void SetDepth(float newDepth);
  int32_t GetAlarm(int n) const { return n >= 0 && n < kAlarmCount ? alarm[n] : -1; }
  void SetAlarm(int n, int32_t value) {
    if (n >= 0 && n < kAlarmCount) alarm[n] = value;
  }
  int32_t GetImageNumber() const;
  void SetPathPosition(float position);
  void SetPathPositionPrevious(float position);
  void SetPathSpeed(float pathSpeed) { path_speed = pathSpeed; }

  // Motion: the polar (direction, speed) and Cartesian (hspeed, vspeed)
  // descriptions kept in step.
  void ComputeSpeedDirection();
  void ComputeHVSpeed();
  void SetDirection(float degrees);
  void SetSpeed(float value);
  void SetHSpeed(float value);
  void SetVSpeed(float value);
  void AddMotion(float degrees, float amount);
  // Once a step for every instance: the tests keep instances without
  // friction, gravity or a path from costing a call.
  void ApplyFrictionGravity() {
    if (friction != 0 || gravity != 0) ApplyFrictionGravityNow();
  }
  void StartPath(int32_t path, float speed, float scale, float orientation, bool relative, int32_t endAction);
  // True when an end of the path was reached while moving along it.
  bool AdvancePath() { return path_index >= 0 && AdvancePathNow(); }

  // Collision tests; precise asks the sprite's masks when it is precise.
  bool CollidesWithPoint(float px, float py, bool precise);
  bool CollidesWithRectangle(float x1, float y1, float x2, float y2, bool precise);
  bool CollidesWithEllipse(float x1, float y1, float x2, float y2, bool precise);
  bool CollidesWithLine(float x1, float y1, float x2, float y2, bool precise);
  bool CollidesWithInstance(CObjInstance* other, bool precise);

  bool IsLive() const { return !marked_dead_ && !deactivated; }
  // Destroyed and waiting for the end of the step; the list holding the
  // instance counts its dead, so that removing them costs nothing when none
  // died.
  bool MarkedDead() const { return marked_dead_; }
  void SetMarkedDead(bool dead);
  // Links of the InstanceList that holds the instance.
  CObjInstance* Next() const { return next_; }
  CObjInstance* Prev() const { return prev_; }
  InstanceList* List() const { return list_; }
  bool InIdMap() const { return map_ != nullptr; }
  int32_t SlotCount() const { return slotCount_; }

  // Compiled variable slots (null when the instance keeps a variable list).
  ScriptValue* slots = nullptr;
  bool bbox_dirty = true;
  bool visible = false;
  bool solid = false;
  bool persistent = false;
  bool deactivated = false;
  bool destroy_done = false;
  bool carried_over = false;
  bool created = false;
  uint64_t creation_stamp = 0;
  int32_t id = 0;
  int32_t object_index = 0;
  CObject* object = nullptr;
  CInstancePhysics* physics = nullptr;
  int32_t sprite_index = -1;
  float image_index = 0;
  float image_speed = 1;
  float image_xscale = 1;
  float image_yscale = 1;
  float image_angle = 0;
  float image_alpha = 1;
  uint32_t image_blend = 0xFFFFFF;
  int32_t mask_index = -1;
  bool precise = false;
  float x = 0, y = 0;
  float xstart = 0, ystart = 0;
  float xprevious = 0, yprevious = 0;
  float direction = 0;
  float speed = 0;
  float friction = 0;
  float gravity_direction = 270;
  float gravity = 0;
  float hspeed = 0, vspeed = 0;
  int32_t bbox_left = 0, bbox_top = 0, bbox_right = 0, bbox_bottom = 0;
  int32_t alarm[kAlarmCount];
  int32_t path_index = -1;
  float path_position = 0;
  float path_positionprevious = 0;
  float path_speed = 0;
  float path_scale = 1;
  float path_orientation = 0;
  int32_t path_endaction = 0;
  float path_xstart = 0, path_ystart = 0;
  int32_t timeline_index = -1;
  float timeline_position = 0;
  float timeline_speed = 1;
  bool timeline_running = false;
  bool timeline_loop = false;
  // Set once the outside-room event has fired, until the instance is back.
  bool outside_room = false;
  // The room definition's creation code; not owned.
  CCode* creation_code = nullptr;
  // The object before a change not yet applied to the object lists.
  CObject* previous_object = nullptr;
  float depth = 0;
  // The depth at which the instance was last put into its InstanceList.
  float sort_key = 0;

 private:
  friend class InstanceList;
  friend class InstanceIdMap;
  friend class PendingInstanceList;
  friend void Instance_ForgetObject(CObject* object);
  friend void Instance_ForgetAllObjects();
  void ReadShapeFromObject();
  void ApplyFrictionGravityNow();
  bool AdvancePathNow();

  bool marked_dead_ = false;
  ObjectMembership objectLinks_{this};
  int32_t slotCount_ = 0;
  // InstanceList links.
  CObjInstance* next_ = nullptr;
  CObjInstance* prev_ = nullptr;
  InstanceList* list_ = nullptr;
  // Instance-id map links; the key is the id the instance was added under.
  CObjInstance* mapNext_ = nullptr;
  CObjInstance* mapPrev_ = nullptr;
  int32_t mapKey_ = 0;
  InstanceIdMap* map_ = nullptr;
  // Place in each pending list, -1 when not listed.
  int32_t pendingSlot_[3] = {-1, -1, -1};
  // Every instance alive, so that a deleted object can be forgotten.
  CObjInstance* regNext_ = nullptr;
  CObjInstance* regPrev_ = nullptr;
};

// Instances whose object is being deleted lose the definition but keep the
// index; called by the object table.
void Instance_ForgetObject(CObject* object);
void Instance_ForgetAllObjects();
// Instances alive now.
int32_t Instance_LiveCount();

// ---- Instance lists ---------------------------------------------------------------

// Instances ordered by sort key (a NaN depth sorts after every number); equal
// keys keep insertion order.
class InstanceList {
 public:
  InstanceList() = default;
  // Instances still listed are let go, not deleted.
  ~InstanceList();
  InstanceList(const InstanceList&) = delete;
  InstanceList& operator=(const InstanceList&) = delete;

  // After every instance whose sort key is not greater than the instance's
  // depth; the sort key becomes the depth. An instance held by another list
  // leaves it first.
  void Insert(CObjInstance* instance);
  // At the end, sort key unchanged (the deactivated list keeps no order).
  void Append(CObjInstance* instance);
  // Nothing when the instance is not in this list.
  void Remove(CObjInstance* instance);
  // Takes the instances out and puts them back by their depths, as removing
  // all of them and then inserting each in turn would, in O(n + k log k).
  // Instances of other lists are left alone.
  void Reinsert(std::span<CObjInstance* const> moved);
  // Deletes every instance, first to last.
  void DeleteAll();
  // Deletes every instance marked dead; nothing to walk when none is.
  void DeleteMarkedDead();
  int32_t DeadCount() const { return dead_; }

  CObjInstance* First() const { return first_; }
  CObjInstance* Last() const { return last_; }
  int32_t Count() const { return count_; }
  bool Contains(const CObjInstance* instance) const { return instance && instance->list_ == this; }

  // Walks read the next instance before the current one is handed out.
  class Iterator {
   public:
    explicit Iterator(CObjInstance* i) : cur_(i), next_(i ? i->next_ : nullptr) {}
    CObjInstance* operator*() const { return cur_; }
    Iterator& operator++() {
      cur_ = next_;
      next_ = cur_ ? cur_->next_ : nullptr;
      return *this;
    }
    bool operator!=(const Iterator& o) const { return cur_ != o.cur_; }

   private:
    CObjInstance* cur_;
    CObjInstance* next_;
  };
  Iterator begin() const { return Iterator(first_); }
  Iterator end() const { return Iterator(nullptr); }

 private:
  friend class CObjInstance;  // keeps the dead count as it marks itself
  void LinkBefore(CObjInstance* instance, CObjInstance* before);
  CObjInstance* first_ = nullptr;
  CObjInstance* last_ = nullptr;
  int32_t count_ = 0;
  int32_t dead_ = 0;  // instances listed that are marked dead
};

// ---- The instance-id map ------------------------------------------------------------

// Instances by id. Two instances may share an id; a look-up finds the one
// added first, and removing an instance removes that instance only.
class InstanceIdMap {
 public:
  InstanceIdMap();
  // Instances still held are let go, not deleted.
  ~InstanceIdMap();
  InstanceIdMap(const InstanceIdMap&) = delete;
  InstanceIdMap& operator=(const InstanceIdMap&) = delete;

  // Under the instance's id; nothing when it is in the map already.
  void Add(CObjInstance* instance);
  CObjInstance* Find(int32_t id) const;
  bool Remove(CObjInstance* instance);
  // Deletes every instance held.
  void DeleteAll();
  int32_t Count() const { return count_; }

 private:
  struct Bucket {
    CObjInstance* first = nullptr;
    CObjInstance* last = nullptr;
  };
  void Grow();
  std::vector<Bucket> buckets_;
  uint32_t mask_;
  int32_t count_ = 0;
};

extern InstanceIdMap g_InstanceIdMap;
// The instance with that id, or null.
CObjInstance* Instance_FindByID(int32_t id);
// Shutdown: deletes every instance of the map.
void Instance_DestroyAll();

// ---- Pending changes -----------------------------------------------------------

// Instances waiting for a change to be applied, in the order they came; each
// at most once. Adding and removing cost O(1).
class PendingInstanceList {
 public:
  explicit PendingInstanceList(int which);
  ~PendingInstanceList();
  PendingInstanceList(const PendingInstanceList&) = delete;
  PendingInstanceList& operator=(const PendingInstanceList&) = delete;

  // False when the instance is listed already.
  bool AddUnique(CObjInstance* instance);
  bool Remove(CObjInstance* instance);
  bool Contains(const CObjInstance* instance) const;
  int32_t Count() const { return live_; }
  bool Empty() const { return live_ == 0; }
  void Clear();
  // The listed instances in order; the list is left empty.
  std::vector<CObjInstance*> Take();
  // fn(instance) for each listed instance in order while it returns true;
  // fn must not change the list.
  template <typename Fn>
  void ForEach(Fn&& fn) const {
    for (CObjInstance* i : items_)
      if (i && !fn(i)) return;
  }

 private:
  void Compact();
  std::vector<CObjInstance*> items_;  // null where an instance was removed
  int32_t live_ = 0;
  int which_;
};

extern PendingInstanceList PendingDepthChanges;
extern PendingInstanceList PendingObjectChanges;
extern PendingInstanceList PendingActivationChanges;

// The pending object changes, applied in order; the list is emptied.
void Instance_ApplyObjectChanges();
// The pending depth changes of instances in `active` that are not
// deactivated, as one batch; the list is emptied.
void Instance_ApplyDepthChanges(InstanceList& active);
// Reactivated instances move from `deactivated` into `active` (by depth) and
// back into their object lists; deactivated ones move to the end of
// `deactivated` and out of their object lists. PendingActivationChanges is
// left for the caller to empty.
void Instance_ApplyActivationChanges(InstanceList& active, InstanceList& deactivated);
