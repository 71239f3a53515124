#include "core/objects.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <string>

#include "script/console.h"
#include "core/game_info.h"
#include "core/instances.h"
#include "core/run_state.h"

namespace {
std::vector<std::unique_ptr<CObject>> g_objects;
bool g_spriteMark = false;

// The table's hash had 512 buckets keyed by index & 511; walks "in table
// order" still go bucket by bucket, so preparation order and name look-ups
// with duplicate names stay as they were.
constexpr size_t kTableBuckets = 512;

template <typename Fn>
void ForEachInTableOrder(Fn&& fn) {
  const size_t n = g_objects.size();
  for (size_t b = 0; b < kTableBuckets && b < n; ++b) {
    for (size_t i = b; i < n; i += kTableBuckets) {
      if (g_objects[i] && !fn(*g_objects[i])) return;
    }
  }
}

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

// Container offset `base` + 4 * `word`; DataError past 4 GB.
uint32_t WordAt(uint32_t base, uint64_t word) {
  uint64_t at = uint64_t(base) + 4 * word;
  if (at > UINT32_MAX) throw DataError("a record at " + Hex(base) + " runs past the end of the container");
  return uint32_t(at);
}

float AsFloat(uint32_t word) { return std::bit_cast<float>(word); }

bool SubtypeFits(int type, int32_t subtype) {
  if (subtype < 0) return false;
  return type == kEventCollision ? subtype < kObjectIndexLimit : subtype <= kMaxEventSubtype;
}
}  // namespace

// ---- Instance lists ----------------------------------------------------------

ObjectInstanceList::~ObjectInstanceList() { Clear(); }

void ObjectInstanceList::Clear() {
  for (ObjectLink* l = first_; l;) {
    ObjectLink* next = l->next;
    l->next = l->prev = nullptr;
    l->list = nullptr;
    l = next;
  }
  first_ = last_ = nullptr;
  count_ = 0;
}

void ObjectInstanceList::Append(ObjectLink* link) {
  link->list = this;
  link->next = nullptr;
  link->prev = last_;
  if (last_) {
    last_->next = link;
  } else {
    first_ = link;
  }
  last_ = link;
  ++count_;
}

void ObjectInstanceList::Remove(ObjectLink* link) {
  if (link->list != this) return;
  if (link->prev) {
    link->prev->next = link->next;
  } else {
    first_ = link->next;
  }
  if (link->next) {
    link->next->prev = link->prev;
  } else {
    last_ = link->prev;
  }
  link->next = link->prev = nullptr;
  link->list = nullptr;
  --count_;
}

void ObjectMembership::Join(CObject* object) {
  Leave();
  if (!object) return;
  int32_t n = 0;
  for (CObject* c = object; c; c = c->parent_) ++n;
  if (!all_ || n > allCapacity_) {
    all_ = std::make_unique<ObjectLink[]>(size_t(n));
    allCapacity_ = n;
  }
  own_.instance = owner_;
  object->own_.Append(&own_);
  int32_t i = 0;
  for (CObject* c = object; c; c = c->parent_, ++i) {
    all_[i].instance = owner_;
    c->all_.Append(&all_[i]);
  }
  allCount_ = n;
}

void ObjectMembership::Leave() {
  if (own_.list) own_.list->Remove(&own_);
  for (int32_t i = 0; i < allCount_; ++i) {
    if (all_[i].list) all_[i].list->Remove(&all_[i]);
  }
  allCount_ = 0;
}

// ---- CObject ---------------------------------------------------------------------

CObject::CObject(int32_t index) : index(index) {}

CObject::~CObject() { ClearEvents(); }

void CObject::ClearEvents() {
  for (int t = 0; t < kEventTypeCount; ++t) {
    for (EventSlot& s : events_[t]) Event_Retire(std::move(s.event));
    events_[t].clear();
    eventCount_[t] = 0;
  }
}

void CObject::Reset() {
  sprite_index = -1;
  parent_index = -1;
  mask_index = -1;
  flags = kObjectFlagVisible;
  depth = 0;
  name_.clear();
  parent_ = nullptr;
  ClearEvents();
  own_.Clear();
  all_.Clear();
}

void CObject::LoadFromChunk(const GameDataFile& file, uint32_t record, LoadBudget& budget) {
  Reset();
  budget.Charge(8);
  auto word = [&](uint32_t n) { return file.U32(WordAt(record, n)); };
  name_ = std::string(file.String(word(0)));
  uint32_t spriteWord = word(1);
  // The mark bit only counts when the bits below it say the word is no
  // negative number.
  if ((spriteWord & 0x70000000u) == 0 && (spriteWord & 0x80000000u)) {
    spriteWord &= 0x7FFFFFFFu;
    g_spriteMark = true;
  }
  sprite_index = int32_t(spriteWord);
  flags = (word(2) ? kObjectFlagVisible : 0) | (word(3) ? kObjectFlagSolid : 0) |
          (word(5) ? kObjectFlagPersistent : 0);
  depth = int32_t(word(4));
  parent_index = int32_t(word(6));
  mask_index = int32_t(word(7));

  uint32_t next = 8;
  uint64_t eventsWord = 8;
  const uint8_t version = GameInfo_Get().version;
  if (version >= 6) {
    uses_physics = word(8) != 0;
    physics_sensor = word(9) != 0;
    physics_shape = int32_t(word(10));
    density = AsFloat(word(11));
    restitution = AsFloat(word(12));
    physics_group = int32_t(word(13));
    linear_damping = AsFloat(word(14));
    angular_damping = AsFloat(word(15));
    const uint32_t points = word(16);
    if (version >= 9) {
      friction = AsFloat(word(17));
      physics_awake = word(18) != 0;
      physics_kinematic = word(19) != 0;
      next = 20;
    } else {
      friction = 0.2f;
      physics_awake = true;
      physics_kinematic = false;
      next = 17;
    }
    const uint32_t at = WordAt(record, next);
    if (uint64_t(points) * 8 > file.Size() - std::min(at, file.Size())) {
      throw DataError("its " + std::to_string(points) + " physics points run past the end of the container");
    }
    budget.Charge(uint64_t(points) * 2);
    physics_points.resize(points);
    for (uint32_t i = 0; i < points; ++i) {
      physics_points[i] = {AsFloat(file.U32(at + 8 * i)), AsFloat(file.U32(at + 8 * i + 4))};
    }
    eventsWord = next + uint64_t(points) * 2;
  } else {
    uses_physics = physics_sensor = physics_awake = physics_kinematic = false;
    physics_shape = physics_group = 0;
    density = restitution = linear_damping = angular_damping = friction = 0;
    physics_points.clear();
  }
  LoadEvents(file, WordAt(record, eventsWord), budget);
}

void CObject::LoadEvents(const GameDataFile& file, uint32_t at, LoadBudget& budget) {
  const uint32_t types = file.U32(at);
  if (types > uint32_t(kEventTypeCount)) {
    throw DataError("it lists " + std::to_string(types) + " event types; there are " +
                    std::to_string(kEventTypeCount));
  }
  for (uint32_t t = 0; t < types; ++t) {
    const uint32_t list = file.U32(WordAt(at, 1 + t));
    if (list == 0) continue;
    const uint32_t count = file.U32(list);
    if (uint64_t(count) * 4 > file.Size() - std::min<uint64_t>(uint64_t(list) + 4, file.Size())) {
      throw DataError("its list of event type " + std::to_string(t) + " at " + Hex(list) + " counts " +
                      std::to_string(count) + " entries, more than the container holds");
    }
    std::vector<EventSlot> loaded;
    for (uint32_t j = 0; j < count; ++j) {
      const uint32_t entry = file.U32(list + 4 + 4 * j);
      if (entry == 0) continue;
      budget.Charge(2);
      const int32_t subtype = file.S32(entry);
      if (!SubtypeFits(int(t), subtype)) {
        throw DataError("event type " + std::to_string(t) + " has subtype " + std::to_string(subtype) +
                        ", outside 0.." +
                        std::to_string(t == kEventCollision ? kObjectIndexLimit - 1 : kMaxEventSubtype));
      }
      auto event = std::make_unique<CEvent>();
      event->LoadFromChunk(file, WordAt(entry, 1));
      loaded.push_back({subtype, std::move(event)});
    }
    // A subtype listed twice keeps the later entry's code.
    std::stable_sort(loaded.begin(), loaded.end(),
                     [](const EventSlot& a, const EventSlot& b) { return a.subtype < b.subtype; });
    std::vector<EventSlot>& table = events_[t];
    for (EventSlot& s : loaded) {
      if (!table.empty() && table.back().subtype == s.subtype) {
        table.back().event = std::move(s.event);
      } else {
        table.push_back(std::move(s));
      }
    }
    eventCount_[t] = table.empty() ? 0 : table.back().subtype + 1;
  }
}

bool CObject::Compile() {
  for (int t = 0; t < kEventTypeCount; ++t) {
    for (EventSlot& s : events_[t]) {
      if (!s.event) continue;
      g_Run.event_type = t;
      g_Run.event_number = s.subtype;
      if (!s.event->Compile()) return false;
    }
  }
  return true;
}

CEvent* CObject::GetEvent(int type, int32_t subtype) const {
  if (type < 0 || type >= kEventTypeCount) return nullptr;
  const std::vector<EventSlot>& table = events_[type];
  auto it = std::lower_bound(table.begin(), table.end(), subtype,
                             [](const EventSlot& s, int32_t v) { return s.subtype < v; });
  if (it == table.end() || it->subtype != subtype || !it->event || !it->event->HasCode()) return nullptr;
  return it->event.get();
}

CEvent* CObject::AddEvent(int type, int32_t subtype) {
  if (type < 0 || type >= kEventTypeCount || !SubtypeFits(type, subtype)) return nullptr;
  std::vector<EventSlot>& table = events_[type];
  auto it = std::lower_bound(table.begin(), table.end(), subtype,
                             [](const EventSlot& s, int32_t v) { return s.subtype < v; });
  if (it == table.end() || it->subtype != subtype) it = table.insert(it, EventSlot{subtype, nullptr});
  if (!it->event) it->event = std::make_unique<CEvent>();
  eventCount_[type] = std::max(eventCount_[type], subtype + 1);
  return it->event.get();
}

int32_t CObject::EventCount(int type) const {
  return type >= 0 && type < kEventTypeCount ? eventCount_[type] : 0;
}

bool CObject::HasAncestor(int32_t ancestor) const {
  for (const CObject* p = parent_; p; p = p->parent_) {
    if (p->index == ancestor) return true;
  }
  return false;
}

void CObject::AddInstance(CObjInstance* instance) { instance->ObjectLinks().Join(this); }

void CObject::RemoveInstance(CObjInstance* instance) { instance->ObjectLinks().Leave(); }

// ---- The table -------------------------------------------------------------------

void Object_Init() { Object_Clear(); }

void Object_Clear() {
  Instance_ForgetAllObjects();
  g_objects.clear();
}

void Object_FreeAll() { Object_Clear(); }

bool Object_Load(const ChunkBody& body) {
  Object_Clear();
  const GameDataFile& file = body.File();
  const std::vector<uint32_t> records = body.OffsetList();
  if (records.size() > size_t(kObjectIndexLimit)) {
    throw DataError("OBJT lists " + std::to_string(records.size()) + " objects; object indices stop at " +
                    std::to_string(kObjectIndexLimit - 1));
  }
  LoadBudget budget(file, "OBJT");
  std::vector<std::unique_ptr<CObject>> table(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (!records[i]) continue;
    auto object = std::make_unique<CObject>(int32_t(i));
    try {
      object->LoadFromChunk(file, records[i], budget);
    } catch (const DataError& e) {
      throw DataError("OBJT object " + std::to_string(i) + " at " + Hex(records[i]) + ": " + e.what());
    }
    table[i] = std::move(object);
  }
  g_objects = std::move(table);
  Object_LinkParents();
  return true;
}

void Object_LinkParents() {
  for (auto& o : g_objects)
    if (o) o->parent_ = nullptr;
  for (auto& o : g_objects) {
    if (!o) continue;
    CObject* parent = o->parent_index < kObjectIndexLimit ? Object_Find(o->parent_index) : nullptr;
    if (!parent) continue;
    bool closesLoop = false;
    for (CObject* c = parent; c && !closesLoop; c = c->parent_) closesLoop = c == o.get();
    if (!closesLoop) o->parent_ = parent;
  }
}

bool Object_Prepare() {
  g_DebugConsole->Output("Preparing %d objects:\n", Object_Count());
  bool ok = true;
  ForEachInTableOrder([&](CObject& o) {
    g_DebugConsole->Output("\tObjects %d: %s\n", o.index, o.Name().c_str());
    g_Run.event_object = o.index;
    ok = o.Compile();
    return ok;
  });
  Object_LinkParents();
  return ok;
}

CObject* Object_Find(int32_t index) {
  if (index < 0 || size_t(index) >= g_objects.size()) return nullptr;
  return g_objects[size_t(index)].get();
}

bool Object_Exists(int32_t index) { return Object_Find(index) != nullptr; }

std::string Object_GetName(int index) {
  CObject* o = Object_Find(index);
  return o ? o->Name() : "<undefined>";
}

int32_t Object_FindByName(std::string_view name) {
  int32_t found = -1;
  ForEachInTableOrder([&](CObject& o) {
    if (o.Name() == name) found = o.index;
    return found < 0;
  });
  return found;
}

int32_t Object_Count() { return int32_t(g_objects.size()); }

int32_t Object_Add() {
  // Indices from here on would read as instance ids.
  if (g_objects.size() >= size_t(kObjectIndexLimit)) return -1;
  const int32_t index = int32_t(g_objects.size());
  auto object = std::make_unique<CObject>(index);
  object->SetName("__newobject" + std::to_string(index));
  g_objects.push_back(std::move(object));
  return index;
}

bool Object_Delete(int32_t index) {
  CObject* object = Object_Find(index);
  if (!object) return false;
  std::unique_ptr<CObject> dead = std::move(g_objects[size_t(index)]);
  Instance_ForgetObject(dead.get());
  dead.reset();
  Object_LinkParents();
  return true;
}

CEvent* Object_FindEventInherited(int32_t object, int type, int32_t subtype, int32_t* foundObject) {
  if (foundObject) *foundObject = object;
  CObject* start = Object_Find(object);
  for (CObject* c = start; c; c = c->Parent()) {
    if (CEvent* e = c->GetEvent(type, subtype)) {
      if (foundObject) *foundObject = c->index;
      return e;
    }
  }
  if (type != kEventCollision) return nullptr;
  CObject* other = Object_Find(subtype);
  if (!other) return nullptr;
  for (CObject* a = other->Parent(); a; a = a->Parent()) {
    for (CObject* c = start; c; c = c->Parent()) {
      if (CEvent* e = c->GetEvent(kEventCollision, a->index)) {
        if (foundObject) *foundObject = c->index;
        return e;
      }
    }
  }
  if (foundObject) *foundObject = object;
  return nullptr;
}

bool Object_HasEventInherited(int32_t object, int type, int32_t subtype) {
  for (CObject* c = Object_Find(object); c; c = c->Parent())
    if (c->GetEvent(type, subtype)) return true;
  return false;
}

bool Object_SpriteMarkSeen() { return g_spriteMark; }
