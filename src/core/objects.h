// Objects: the definitions instances are made from, the object table, the
// parent relation and the instance lists every object keeps.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/events.h"
#include "core/game_data.h"
#include "core/object_lists.h"

class CObject;
class CObjInstance;
class ObjectInstanceList;

constexpr int32_t kObjectFlagSolid = 1;
constexpr int32_t kObjectFlagVisible = 2;
constexpr int32_t kObjectFlagPersistent = 4;
// Object indices lie below this; larger targets name instance ids.
constexpr int32_t kObjectIndexLimit = 100000;
// Subtypes other than collisions (whose subtype is an object index) lie in 0..255.
constexpr int32_t kMaxEventSubtype = 255;

// One place of an instance in one object's instance list. The instance owns
// its links, so taking it out never searches and never misses.
struct ObjectLink {
  ObjectLink* next = nullptr;
  ObjectLink* prev = nullptr;
  CObjInstance* instance = nullptr;
  ObjectInstanceList* list = nullptr;  // null: not in a list
};

// Instances of an object in the order they joined.
class ObjectInstanceList {
 public:
  ObjectInstanceList() = default;
  ~ObjectInstanceList();
  ObjectInstanceList(const ObjectInstanceList&) = delete;
  ObjectInstanceList& operator=(const ObjectInstanceList&) = delete;

  void Append(ObjectLink* link);
  void Remove(ObjectLink* link);
  // Detaches every link; their instances stay in their other lists.
  void Clear();
  CObjInstance* First() const { return first_ ? first_->instance : nullptr; }
  int32_t Count() const { return count_; }

  // Walks read the next link before the current instance is handed out, so
  // taking the current instance out of the list does not end the walk.
  class Iterator {
   public:
    explicit Iterator(ObjectLink* link) : link_(link), next_(link ? link->next : nullptr) {}
    CObjInstance* operator*() const { return link_->instance; }
    Iterator& operator++() {
      link_ = next_;
      next_ = link_ ? link_->next : nullptr;
      return *this;
    }
    bool operator!=(const Iterator& o) const { return link_ != o.link_; }

   private:
    ObjectLink* link_;
    ObjectLink* next_;
  };
  Iterator begin() const { return Iterator(first_); }
  Iterator end() const { return Iterator(nullptr); }

 private:
  ObjectLink* first_ = nullptr;
  ObjectLink* last_ = nullptr;
  int32_t count_ = 0;
};

// The links by which one instance stands in object lists: the own list of
// its object and the all-instances lists of that object and its ancestors.
// Leaving takes out exactly what joining put in, whatever became of the
// parent relation in between.
class ObjectMembership {
 public:
  explicit ObjectMembership(CObjInstance* owner) : owner_(owner) {}
  ~ObjectMembership() { Leave(); }
  ObjectMembership(const ObjectMembership&) = delete;
  ObjectMembership& operator=(const ObjectMembership&) = delete;

  // Leaves any lists first, so joining twice never lists the instance twice.
  void Join(CObject* object);
  void Leave();
  bool Joined() const { return own_.list != nullptr; }

 private:
  CObjInstance* owner_;
  ObjectLink own_;
  std::unique_ptr<ObjectLink[]> all_;
  int32_t allCount_ = 0;
  int32_t allCapacity_ = 0;
};

// A physics shape point as stored in the object record.
struct PhysicsPoint {
  float x;
  float y;
};

class CObject {
 public:
  explicit CObject(int32_t index);
  ~CObject();
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;

  // Back to a definition with no sprite, parent, mask or events.
  void Reset();
  // Reads the record at container offset `record`; DataError on bad data.
  void LoadFromChunk(const GameDataFile& file, uint32_t record, LoadBudget& budget);
  void SetName(std::string_view name) { name_.assign(name); }
  const std::string& Name() const { return name_; }
  bool Compile();

  // The event of this object's own table, when it has code.
  CEvent* GetEvent(int type, int32_t subtype) const;
  // The event at (type, subtype), made empty when there is none yet; null
  // for a type or subtype the tables cannot hold.
  CEvent* AddEvent(int type, int32_t subtype);
  // Table size of a type: the highest subtype with an event, plus 1.
  int32_t EventCount(int type) const;
  // Every event of one type, by ascending subtype: fn(subtype, event).
  template <typename Fn>
  void ForEachEvent(int type, Fn&& fn) const {
    if (type < 0 || type >= kEventTypeCount) return;
    for (const EventSlot& s : events_[type]) fn(s.subtype, s.event.get());
  }

  // Through the parent chain (the object itself does not count).
  bool HasAncestor(int32_t index) const;
  CObject* Parent() const { return parent_; }

  void AddInstance(CObjInstance* instance);
  void RemoveInstance(CObjInstance* instance);
  const ObjectInstanceList& OwnInstances() const { return own_; }
  const ObjectInstanceList& AllInstances() const { return all_; }

  int32_t flags = kObjectFlagVisible;
  int32_t sprite_index = -1;
  int32_t depth = 0;
  // After changing it, Object_LinkParents makes the chain follow.
  int32_t parent_index = -1;
  int32_t mask_index = -1;
  const int32_t index;
  bool uses_physics = false;
  bool physics_sensor = false;
  int32_t physics_shape = 0;
  int32_t physics_group = 0;
  float density = 0, restitution = 0, linear_damping = 0, angular_damping = 0, friction = 0;
  bool physics_awake = false;
  bool physics_kinematic = false;
  std::vector<PhysicsPoint> physics_points;

 private:
  friend class ObjectMembership;
  friend void Object_LinkParents();
  struct EventSlot {
    int32_t subtype;
    std::unique_ptr<CEvent> event;
  };
  void ClearEvents();
  void LoadEvents(const GameDataFile& file, uint32_t at, LoadBudget& budget);

  std::string name_;
  CObject* parent_ = nullptr;
  std::vector<EventSlot> events_[kEventTypeCount];  // ascending subtype
  int32_t eventCount_[kEventTypeCount] = {};
  ObjectInstanceList own_;
  ObjectInstanceList all_;
};

// ---- The object table ----------------------------------------------------

void Object_Init();
// The OBJT chunk; DataError on bad data.
bool Object_Load(const ChunkBody& body);
// Deletes every object; the table is left empty.
void Object_Clear();
// Points every object at its parent. A parent index outside 0..99999 or
// naming no object ends the chain; so does a parent that would close a loop
// (the chain is cut where the loop closes, in index order).
void Object_LinkParents();
bool Object_Prepare();
void Object_FreeAll();

CObject* Object_Find(int32_t index);
bool Object_Exists(int32_t index);
// The name of object `index`; "<undefined>" for a bad index or empty slot.
std::string Object_GetName(int index);
// First in table order with exactly this name, or -1.
int32_t Object_FindByName(std::string_view name);
// Number of slots, including empty ones.
int32_t Object_Count();
// A new empty object "__newobject<index>" at index = count.
int32_t Object_Add();
// Instances of a deleted object keep its index but lose the definition.
bool Object_Delete(int32_t index);

// The handler an instance of `object` runs for (type, subtype): its own or
// its nearest ancestor's; for collisions also one written for an ancestor of
// the other object. `foundObject` gets the object whose table holds it.
CEvent* Object_FindEventInherited(int32_t object, int type, int32_t subtype, int32_t* foundObject = nullptr);
// Own table, then the parent chain; no collision rule.
bool Object_HasEventInherited(int32_t object, int type, int32_t subtype);

// Set when an object record carried the mark bit in its sprite word; the
// frame-timing overlay shows it.
bool Object_SpriteMarkSeen();
