#include "core/instances.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/native_game.h"
#include "script/convert.h"
#include "script/errors.h"

uint64_t g_DispatchStamp = 0;

InstanceIdMap g_InstanceIdMap;
PendingInstanceList PendingDepthChanges(0);
PendingInstanceList PendingObjectChanges(1);
PendingInstanceList PendingActivationChanges(2);

namespace {
SpriteShapeLookup g_spriteLookup = nullptr;
InstancePhysicsHooks g_physics;
int32_t g_slotOverride = -1;
CObjInstance* g_registry = nullptr;
int32_t g_liveCount = 0;

constexpr float kPi = 3.1415927f;
// Below this many moved instances, inserting each one is cheaper than a merge.
constexpr size_t kMergeThreshold = 8;

// A depth sorts after `depth` when it is greater; NaN sorts after every
// number (and NaNs keep their insertion order), so the list stays totally
// ordered whatever depths scripts set.
bool SortsAfter(float key, float depth) {
  if (std::isnan(depth)) return false;
  if (std::isnan(key)) return true;
  return key > depth;
}

int32_t Near(float v) { return Real_RoundToInt32(double(v)); }
}  // namespace

// ---- Hooks -----------------------------------------------------------------------

void Instance_SetSpriteLookup(SpriteShapeLookup lookup) { g_spriteLookup = lookup; }

bool Instance_LookUpSprite(int32_t sprite, SpriteShape* out) {
  return g_spriteLookup && sprite >= 0 && g_spriteLookup(sprite, out);
}

void Instance_SetPhysicsHooks(const InstancePhysicsHooks& hooks) { g_physics = hooks; }
const InstancePhysicsHooks& Instance_PhysicsHooks() { return g_physics; }

int32_t Instance_SlotCount() {
  if (g_slotOverride >= 0) return g_slotOverride;
  return std::max(0, NativeGame_Get().instance_slots);
}

void Instance_OverrideSlotCount(int32_t slots) { g_slotOverride = slots; }

// ---- Life cycle --------------------------------------------------------------------

CObjInstance::CObjInstance(float x0, float y0, int32_t id0, int32_t objectIndex, bool joinLists)
    : creation_stamp(g_DispatchStamp), id(id0), x(x0), y(y0), xstart(x0), ystart(y0), xprevious(x0), yprevious(y0) {
  std::fill(std::begin(alarm), std::end(alarm), -1);
  regNext_ = g_registry;
  if (g_registry) g_registry->regPrev_ = this;
  g_registry = this;
  ++g_liveCount;
  SetObject(objectIndex, joinLists);
  slotCount_ = Instance_SlotCount();
  if (slotCount_ > 0) {
    slots = new ScriptValue[size_t(slotCount_)];
  } else {
    variables = std::make_unique<CVariableList>();
  }
  bbox_dirty = true;
}

CObjInstance::~CObjInstance() {
  if (list_) list_->Remove(this);
  if (map_) map_->Remove(this);
  PendingDepthChanges.Remove(this);
  PendingObjectChanges.Remove(this);
  PendingActivationChanges.Remove(this);
  LeaveObjectLists();
  if (physics && g_physics.destroy_body) g_physics.destroy_body(nullptr, this);
  physics = nullptr;
  variables.reset();
  if (slots) {
    for (int32_t i = 0; i < slotCount_; ++i) ScriptValue_Free(&slots[i]);
    delete[] slots;
    slots = nullptr;
  }
  if (regPrev_) {
    regPrev_->regNext_ = regNext_;
  } else {
    g_registry = regNext_;
  }
  if (regNext_) regNext_->regPrev_ = regPrev_;
  --g_liveCount;
}

void Instance_ForgetObject(CObject* object) {
  for (CObjInstance* i = g_registry; i; i = i->regNext_) {
    if (i->object == object) i->object = nullptr;
    if (i->previous_object == object) i->previous_object = nullptr;
  }
}

void Instance_ForgetAllObjects() {
  for (CObjInstance* i = g_registry; i; i = i->regNext_) {
    i->LeaveObjectLists();
    i->object = nullptr;
    i->previous_object = nullptr;
  }
}

int32_t Instance_LiveCount() { return g_liveCount; }

void CObjInstance::JoinObjectLists() {
  if (object) {
    object->AddInstance(this);
  } else {
    objectLinks_.Leave();
  }
}

void CObjInstance::LeaveObjectLists() { objectLinks_.Leave(); }

void CObjInstance::ReadShapeFromObject() {
  mask_index = object->mask_index;
  depth = float(object->depth);
  solid = (object->flags & kObjectFlagSolid) != 0;
  visible = (object->flags & kObjectFlagVisible) != 0;
  persistent = (object->flags & kObjectFlagPersistent) != 0;
  SetSpriteIndex(object->sprite_index);
}

void CObjInstance::SetObject(int32_t objectIndex, bool joinLists) {
  object_index = objectIndex == -1 ? 0 : objectIndex;
  LeaveObjectLists();
  object = Object_Find(objectIndex);
  if (!object) return;
  if (joinLists) JoinObjectLists();
  ReadShapeFromObject();
}

void CObjInstance::ChangeObject(int32_t objectIndex) {
  PendingObjectChanges.AddUnique(this);
  if (!previous_object) previous_object = object;
  object_index = objectIndex;
  object = Object_Find(objectIndex);
  if (!object) return;
  ReadShapeFromObject();
  PendingDepthChanges.AddUnique(this);
}

void CObjInstance::ApplyObjectChange() {
  previous_object = nullptr;
  // Deactivated instances stay out of object lists until reactivated, which
  // joins the lists of the object they have by then.
  if (deactivated) {
    LeaveObjectLists();
    return;
  }
  JoinObjectLists();
  if (list_) list_->Insert(this);
}

void CObjInstance::CopyFrom(const CObjInstance& source, bool joinLists) {
  if (&source == this) return;
  LeaveObjectLists();
  carried_over = false;
  id = source.id;
  sprite_index = source.sprite_index;
  image_index = source.image_index;
  image_speed = source.image_speed;
  image_xscale = source.image_xscale;
  image_yscale = source.image_yscale;
  image_angle = source.image_angle;
  image_alpha = source.image_alpha;
  image_blend = source.image_blend;
  mask_index = source.mask_index;
  depth = source.depth;
  precise = source.precise;
  x = source.x;
  y = source.y;
  xstart = source.xstart;
  ystart = source.ystart;
  xprevious = source.xprevious;
  yprevious = source.yprevious;
  direction = source.direction;
  speed = source.speed;
  friction = source.friction;
  gravity_direction = source.gravity_direction;
  gravity = source.gravity;
  hspeed = source.hspeed;
  vspeed = source.vspeed;
  bbox_dirty = source.bbox_dirty;
  bbox_left = source.bbox_left;
  bbox_top = source.bbox_top;
  bbox_right = source.bbox_right;
  bbox_bottom = source.bbox_bottom;
  visible = source.visible;
  solid = source.solid;
  persistent = source.persistent;
  object_index = source.object_index;
  object = source.object;
  if (joinLists) JoinObjectLists();
  std::copy(std::begin(source.alarm), std::end(source.alarm), std::begin(alarm));
  if (variables && source.variables) variables->CopyFrom(*source.variables);
  for (int32_t i = 0; i < std::min(slotCount_, source.slotCount_); ++i) ScriptValue_DeepCopy(&slots[i], &source.slots[i]);
  SetMarkedDead(source.MarkedDead());
  deactivated = source.deactivated;
  path_index = source.path_index;
  path_position = source.path_position;
  path_positionprevious = source.path_positionprevious;
  path_speed = source.path_speed;
  path_scale = source.path_scale;
  path_orientation = source.path_orientation;
  path_endaction = source.path_endaction;
  path_xstart = source.path_xstart;
  path_ystart = source.path_ystart;
  timeline_index = source.timeline_index;
  timeline_position = source.timeline_position;
  timeline_speed = source.timeline_speed;
  timeline_running = source.timeline_running;
  timeline_loop = source.timeline_loop;
  creation_code = source.creation_code;
  outside_room = source.outside_room;
}

// ---- Shape -------------------------------------------------------------------------

void CObjInstance::ComputeBoundingBox() {
  SpriteShape s;
  if (!Instance_LookUpSprite(mask_index >= 0 ? mask_index : sprite_index, &s)) {
    precise = false;
    bbox_left = bbox_right = Real_ToInt32(x);
    bbox_top = bbox_bottom = Real_ToInt32(y);
    bbox_dirty = false;
    return;
  }
  const float L = float(s.left), T = float(s.top), R = float(s.right), B = float(s.bottom);
  const float ox = float(s.origin_x), oy = float(s.origin_y);
  if (image_angle == 0) {
    bbox_left = Near((L - ox) * image_xscale + x);
    bbox_right = Near((R - L + 1) * image_xscale + float(bbox_left) - 1);
    if (bbox_right < bbox_left) std::swap(bbox_left, bbox_right);
    bbox_top = Near((T - oy) * image_yscale + y);
    bbox_bottom = Near((B - T + 1) * image_yscale + float(bbox_top) - 1);
    if (bbox_bottom < bbox_top) std::swap(bbox_top, bbox_bottom);
  } else {
    const float a = image_angle * kPi / 180.0f;
    const float c = std::cos(a), sn = std::sin(a);
    const float x1 = std::min(L, R) - ox, x2 = std::max(L, R) - ox;
    const float y1 = std::min(T, B) - oy, y2 = std::max(T, B) - oy;
    const float xa = x1 * image_xscale, xb = (x2 + 1) * image_xscale - 1;
    const float ya = y1 * image_yscale, yb = (y2 + 1) * image_yscale - 1;
    bbox_left = Near(std::min(c * xa, c * xb) + x + std::min(sn * ya, sn * yb));
    bbox_right = Near(std::max(c * xa, c * xb) + x + std::max(sn * ya, sn * yb));
    bbox_top = Near(y + std::min(c * ya, c * yb) - std::max(sn * xa, sn * xb));
    bbox_bottom = Near(y + std::max(c * ya, c * yb) - std::min(sn * xa, sn * xb));
  }
  precise = s.precise;
  bbox_dirty = false;
}

int32_t CObjInstance::GetImageNumber() const {
  SpriteShape s;
  return Instance_LookUpSprite(sprite_index, &s) ? s.frames : 0;
}

void CObjInstance::SetSpriteIndex(int32_t index) {
  sprite_index = index;
  if (Real_ToInt32(image_index) >= GetImageNumber()) image_index = 0;
  bbox_dirty = true;
}

void CObjInstance::SetMaskIndex(int32_t index) {
  if (index == mask_index) return;
  mask_index = index;
  bbox_dirty = true;
}

void CObjInstance::SetImageXScale(float scale) {
  if (scale == image_xscale) return;
  image_xscale = scale;
  bbox_dirty = true;
}

void CObjInstance::SetImageYScale(float scale) {
  if (scale == image_yscale) return;
  image_yscale = scale;
  bbox_dirty = true;
}

void CObjInstance::SetImageAngle(float angle) {
  if (angle == image_angle) return;
  image_angle = angle;
  bbox_dirty = true;
}

void CObjInstance::SetMarkedDead(bool dead) {
  if (dead == marked_dead_) return;
  marked_dead_ = dead;
  if (list_) list_->dead_ += dead ? 1 : -1;
}

void CObjInstance::SetPosition(float newX, float newY) {
  if (newX == x && newY == y) return;
  x = newX;
  y = newY;
  bbox_dirty = true;
}

void CObjInstance::SetDepth(float newDepth) {
  if (newDepth == depth) return;
  depth = newDepth;
  PendingDepthChanges.AddUnique(this);
}

void CObjInstance::SetPathPosition(float position) { path_position = std::clamp(position, 0.0f, 1.0f); }

void CObjInstance::SetPathPositionPrevious(float position) {
  path_positionprevious = std::clamp(position, 0.0f, 1.0f);
}

// ---- Physics -----------------------------------------------------------------------

void CObjInstance::CreatePhysicsBody(CGameRoom* room) {
  if (!object || !object->uses_physics) return;
  SpriteShape sprite;
  if (!Instance_LookUpSprite(sprite_index, &sprite)) return;
  if (!g_physics.world_scale || !g_physics.bind_fixture) return;
  const float scale = g_physics.world_scale(room);
  if (!(scale > 0)) return;
  char message[1024];
  PhysicsFixtureRequest f;
  f.shape = object->physics_shape;
  const std::vector<PhysicsPoint>& points = object->physics_points;
  if (f.shape == 0) {
    if (points.size() < 2) {
      std::snprintf(message, sizeof message, "Corrupt shape data for %s\n", object->Name().c_str());
      Error_Report(ErrorSeverity::kError, message);
      // Without a second point there is no radius to read.
      f.radius = 0;
    } else {
      f.radius = points[1].x * scale;
    }
    if (std::fabs(image_xscale - image_yscale) < 0.0001f) {
      f.radius *= std::fabs(image_xscale);
    } else {
      std::snprintf(message, sizeof message,
                    "Image scale for physics object using circle collision should not vary across axes: %s\n",
                    object->Name().c_str());
      Error_Report(ErrorSeverity::kError, message);
    }
  } else if (f.shape == 1 || f.shape == 2) {
    for (const PhysicsPoint& p : points) f.points.push_back({p.x * scale * image_xscale, p.y * scale * image_yscale});
    // A mirrored instance keeps the winding.
    if (image_xscale * image_yscale < 0) std::reverse(f.points.begin(), f.points.end());
  }
  f.linear_damping = object->linear_damping;
  f.angular_damping = object->angular_damping;
  f.sensor = object->physics_sensor;
  f.density = object->density;
  f.restitution = object->restitution;
  f.friction = object->friction;
  f.group = object->physics_group;
  f.awake = object->physics_awake;
  f.kinematic = object->physics_kinematic;
  g_physics.bind_fixture(room, this, f);
}

void CObjInstance::RecreatePhysicsBody(CGameRoom* room) {
  if (physics && g_physics.destroy_body) g_physics.destroy_body(room, this);
  physics = nullptr;
  if (object && object->uses_physics) CreatePhysicsBody(room);
}

// ---- InstanceList ------------------------------------------------------------------

InstanceList::~InstanceList() {
  for (CObjInstance* i = first_; i;) {
    CObjInstance* next = i->next_;
    i->next_ = i->prev_ = nullptr;
    i->list_ = nullptr;
    i = next;
  }
}

void InstanceList::LinkBefore(CObjInstance* instance, CObjInstance* before) {
  instance->next_ = before;
  instance->prev_ = before ? before->prev_ : last_;
  if (instance->prev_) {
    instance->prev_->next_ = instance;
  } else {
    first_ = instance;
  }
  if (before) {
    before->prev_ = instance;
  } else {
    last_ = instance;
  }
  instance->list_ = this;
  ++count_;
  if (instance->marked_dead_) ++dead_;
}

void InstanceList::Insert(CObjInstance* instance) {
  if (instance->list_) instance->list_->Remove(instance);
  const float d = instance->depth;
  // The list is sorted, so the place can be sought from both ends at once:
  // new instances usually go at one end or the other.
  CObjInstance* before = nullptr;
  for (CObjInstance *f = first_, *b = last_; f; f = f->next_, b = b->prev_) {
    if (SortsAfter(f->sort_key, d)) {
      before = f;
      break;
    }
    if (!SortsAfter(b->sort_key, d)) {
      before = b->next_;
      break;
    }
  }
  LinkBefore(instance, before);
  instance->sort_key = d;
}

void InstanceList::Append(CObjInstance* instance) {
  if (instance->list_) instance->list_->Remove(instance);
  LinkBefore(instance, nullptr);
}

void InstanceList::Remove(CObjInstance* instance) {
  if (instance->list_ != this) return;
  if (instance->prev_) {
    instance->prev_->next_ = instance->next_;
  } else {
    first_ = instance->next_;
  }
  if (instance->next_) {
    instance->next_->prev_ = instance->prev_;
  } else {
    last_ = instance->prev_;
  }
  instance->next_ = instance->prev_ = nullptr;
  instance->list_ = nullptr;
  --count_;
  if (instance->marked_dead_) --dead_;
}

void InstanceList::Reinsert(std::span<CObjInstance* const> moved) {
  std::vector<CObjInstance*> mine;
  mine.reserve(moved.size());
  for (CObjInstance* i : moved) {
    if (!i || i->list_ != this) continue;
    Remove(i);
    mine.push_back(i);
  }
  if (mine.size() <= kMergeThreshold) {
    for (CObjInstance* i : mine) Insert(i);
    return;
  }
  // Inserting one by one puts each after every instance of its depth,
  // including the moved ones before it; a stable sort followed by one merge
  // pass gives the same order.
  std::stable_sort(mine.begin(), mine.end(),
                   [](const CObjInstance* a, const CObjInstance* b) { return SortsAfter(b->depth, a->depth); });
  CObjInstance* at = first_;
  for (CObjInstance* i : mine) {
    while (at && !SortsAfter(at->sort_key, i->depth)) at = at->next_;
    LinkBefore(i, at);
    i->sort_key = i->depth;
  }
}

void InstanceList::DeleteAll() {
  while (first_) delete first_;
}

void InstanceList::DeleteMarkedDead() {
  for (CObjInstance* i = first_; i && dead_ > 0;) {
    CObjInstance* next = i->next_;
    if (i->marked_dead_) delete i;
    i = next;
  }
}

// ---- InstanceIdMap -----------------------------------------------------------------

namespace {
// The map starts with 512 buckets and doubles past two instances a bucket.
constexpr uint32_t kInitialBuckets = 512;
}  // namespace

InstanceIdMap::InstanceIdMap() : buckets_(kInitialBuckets), mask_(kInitialBuckets - 1) {}

InstanceIdMap::~InstanceIdMap() {
  for (Bucket& b : buckets_) {
    for (CObjInstance* i = b.first; i;) {
      CObjInstance* next = i->mapNext_;
      i->mapNext_ = i->mapPrev_ = nullptr;
      i->map_ = nullptr;
      i = next;
    }
  }
}

void InstanceIdMap::Add(CObjInstance* instance) {
  if (instance->map_) return;
  instance->mapKey_ = instance->id;
  Bucket& b = buckets_[uint32_t(instance->id) & mask_];
  instance->mapNext_ = nullptr;
  instance->mapPrev_ = b.last;
  if (b.last) {
    b.last->mapNext_ = instance;
  } else {
    b.first = instance;
  }
  b.last = instance;
  instance->map_ = this;
  if (++count_ > int64_t(buckets_.size()) * 2) Grow();
}

void InstanceIdMap::Grow() {
  std::vector<Bucket> old(buckets_.size() * 2);
  old.swap(buckets_);
  mask_ = uint32_t(buckets_.size() - 1);
  // Bucket by bucket and in chain order, so instances sharing an id keep
  // their order in their new bucket.
  for (Bucket& ob : old) {
    for (CObjInstance* i = ob.first; i;) {
      CObjInstance* next = i->mapNext_;
      Bucket& b = buckets_[uint32_t(i->mapKey_) & mask_];
      i->mapNext_ = nullptr;
      i->mapPrev_ = b.last;
      if (b.last) {
        b.last->mapNext_ = i;
      } else {
        b.first = i;
      }
      b.last = i;
      i = next;
    }
  }
}

CObjInstance* InstanceIdMap::Find(int32_t id) const {
  for (CObjInstance* i = buckets_[uint32_t(id) & mask_].first; i; i = i->mapNext_)
    if (i->mapKey_ == id) return i;
  return nullptr;
}

bool InstanceIdMap::Remove(CObjInstance* instance) {
  if (instance->map_ != this) return false;
  Bucket& b = buckets_[uint32_t(instance->mapKey_) & mask_];
  if (instance->mapPrev_) {
    instance->mapPrev_->mapNext_ = instance->mapNext_;
  } else {
    b.first = instance->mapNext_;
  }
  if (instance->mapNext_) {
    instance->mapNext_->mapPrev_ = instance->mapPrev_;
  } else {
    b.last = instance->mapPrev_;
  }
  instance->mapNext_ = instance->mapPrev_ = nullptr;
  instance->map_ = nullptr;
  --count_;
  return true;
}

void InstanceIdMap::DeleteAll() {
  for (Bucket& b : buckets_)
    while (b.first) delete b.first;
}

CObjInstance* Instance_FindByID(int32_t id) { return g_InstanceIdMap.Find(id); }

void Instance_DestroyAll() { g_InstanceIdMap.DeleteAll(); }

// ---- Pending lists -----------------------------------------------------------------

PendingInstanceList::PendingInstanceList(int which) : which_(which) { items_.reserve(32); }

PendingInstanceList::~PendingInstanceList() { Clear(); }

bool PendingInstanceList::AddUnique(CObjInstance* instance) {
  int32_t& slot = instance->pendingSlot_[which_];
  if (slot >= 0) return false;
  slot = int32_t(items_.size());
  items_.push_back(instance);
  ++live_;
  return true;
}

bool PendingInstanceList::Remove(CObjInstance* instance) {
  int32_t& slot = instance->pendingSlot_[which_];
  if (slot < 0) return false;
  items_[size_t(slot)] = nullptr;
  slot = -1;
  if (--live_ == 0) {
    items_.clear();
  } else if (items_.size() > 64 && size_t(live_) < items_.size() / 2) {
    Compact();
  }
  return true;
}

void PendingInstanceList::Compact() {
  size_t n = 0;
  for (CObjInstance* i : items_) {
    if (!i) continue;
    i->pendingSlot_[which_] = int32_t(n);
    items_[n++] = i;
  }
  items_.resize(n);
}

bool PendingInstanceList::Contains(const CObjInstance* instance) const {
  return instance->pendingSlot_[which_] >= 0;
}

void PendingInstanceList::Clear() {
  for (CObjInstance* i : items_)
    if (i) i->pendingSlot_[which_] = -1;
  items_.clear();
  live_ = 0;
}

std::vector<CObjInstance*> PendingInstanceList::Take() {
  std::vector<CObjInstance*> taken;
  taken.reserve(size_t(live_));
  for (CObjInstance* i : items_)
    if (i) taken.push_back(i);
  Clear();
  return taken;
}

void Instance_ApplyObjectChanges() {
  for (CObjInstance* i : PendingObjectChanges.Take()) i->ApplyObjectChange();
}

void Instance_ApplyDepthChanges(InstanceList& active) {
  std::vector<CObjInstance*> moved = PendingDepthChanges.Take();
  std::erase_if(moved, [](const CObjInstance* i) { return i->deactivated; });
  active.Reinsert(moved);
}

void Instance_ApplyActivationChanges(InstanceList& active, InstanceList& deactivated) {
  for (CObjInstance* i : deactivated) {
    if (i->deactivated) continue;
    active.Insert(i);
    i->JoinObjectLists();
  }
  for (CObjInstance* i : active) {
    if (!i->deactivated) continue;
    deactivated.Append(i);
    i->LeaveObjectLists();
  }
}
