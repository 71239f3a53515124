// Containers with OBJT and TMLN chunks for the object, timeline and instance
// tests, and the objects those tests build by hand.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "code.h"
#include "core/code_chunks.h"
#include "core/game_data.h"
#include "core/game_info.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/timelines.h"
#include "pack.h"
#include "script/code.h"
#include "unit/world_reset.h"

namespace fixture {

// The first action of an event or moment: a code index (with a code table)
// or code text (without one). No action: an empty action list.
struct Action {
  Action() = default;
  explicit Action(int32_t c, std::string t = {}) : code(c), text(std::move(t)) {}
  int32_t code = 0;
  std::string text;
};

struct Event {
  int type = 0;
  int32_t subtype = 0;
  std::optional<Action> action = Action{};
};

struct Object {
  std::string name = "obj";
  uint32_t sprite = 0xFFFFFFFFu;
  bool visible = true, solid = false, persistent = false;
  int32_t depth = 0, parent = -1, mask = -1;
  bool physics = false, sensor = false;
  int32_t shape = 0, group = 0;
  float density = 0.5f, restitution = 0.1f, linear_damping = 0.2f, angular_damping = 0.3f, friction = 0.4f;
  bool awake = true, kinematic = false;
  std::vector<PhysicsPoint> points;
  std::optional<uint32_t> point_count;  // written instead of points.size()
  uint32_t type_count = 12;
  std::vector<Event> events;
  std::optional<uint32_t> list_count;  // written as every list's count
};

struct Moment {
  int32_t step = 0;
  std::optional<Action> action = Action{};
};

struct TimeLine {
  explicit TimeLine(std::string n = "tl") : name(std::move(n)) {}
  std::string name;
  std::vector<Moment> moments;
  std::optional<uint32_t> moment_count;
};

struct Game {
  uint8_t version = 13;
  int code_records = 0;  // 0: no CODE chunk, so event code is text
  std::vector<std::optional<Object>> objects;
  bool objt = false;
  std::vector<std::optional<TimeLine>> timelines;
  bool tmln = false;
  // Every slot of each chunk points at its first record.
  int shared_object_slots = 0;
  int shared_timeline_slots = 0;
};

inline void ActionList(twpack::ChunkBuilder& c, const std::optional<Action>& a,
                       std::vector<std::pair<twpack::Label, Action>>& actions) {
  if (!a) {
    c.U32(0);
    return;
  }
  twpack::Label l = c.NewLabel();
  c.U32(1).OffsetOf(l);
  actions.push_back({l, *a});
}

inline void ActionRecords(twpack::ChunkBuilder& c, std::vector<std::pair<twpack::Label, Action>>& actions) {
  for (auto& [label, a] : actions) {
    c.Bind(label);
    for (int w = 0; w < 16; ++w) {
      if (w == 8) {
        c.S32(a.code);
      } else if (w == 15) {
        if (a.text.empty()) {
          c.Null();
        } else {
          c.StringRef(a.text);
        }
      } else {
        c.U32(0);
      }
    }
  }
  actions.clear();
}

inline void WriteObjt(twpack::Writer& w, const Game& g) {
  twpack::ChunkBuilder& c = w.AddChunk("OBJT");
  const size_t slots = g.shared_object_slots ? size_t(g.shared_object_slots) : g.objects.size();
  std::vector<twpack::Label> records;
  for (size_t i = 0; i < g.objects.size(); ++i) records.push_back(c.NewLabel());
  c.U32(uint32_t(slots));
  for (size_t i = 0; i < slots; ++i) {
    size_t r = g.shared_object_slots ? 0 : i;
    if (g.objects[r]) {
      c.OffsetOf(records[r]);
    } else {
      c.U32(0);
    }
  }
  std::vector<std::pair<twpack::Label, Action>> actions;
  for (size_t i = 0; i < g.objects.size(); ++i) {
    if (!g.objects[i]) continue;
    const Object& o = *g.objects[i];
    c.Bind(records[i]);
    c.StringRef(o.name).U32(o.sprite).U32(o.visible).U32(o.solid).S32(o.depth).U32(o.persistent).S32(o.parent).S32(
        o.mask);
    if (g.version >= 6) {
      c.U32(o.physics).U32(o.sensor).S32(o.shape).F32(o.density).F32(o.restitution).S32(o.group);
      c.F32(o.linear_damping).F32(o.angular_damping).U32(o.point_count.value_or(uint32_t(o.points.size())));
      if (g.version >= 9) c.F32(o.friction).U32(o.awake).U32(o.kinematic);
      for (const PhysicsPoint& p : o.points) c.F32(p.x).F32(p.y);
    }
    std::vector<twpack::Label> lists;
    c.U32(o.type_count);
    for (uint32_t t = 0; t < o.type_count; ++t) {
      lists.push_back(c.NewLabel());
      c.OffsetOf(lists.back());
    }
    for (uint32_t t = 0; t < o.type_count; ++t) {
      c.Bind(lists[t]);
      std::vector<const Event*> mine;
      for (const Event& e : o.events)
        if (uint32_t(e.type) == t) mine.push_back(&e);
      std::vector<twpack::Label> entries;
      c.U32(o.list_count.value_or(uint32_t(mine.size())));
      for (size_t k = 0; k < mine.size(); ++k) {
        entries.push_back(c.NewLabel());
        c.OffsetOf(entries.back());
      }
      for (size_t k = 0; k < mine.size(); ++k) {
        c.Bind(entries[k]);
        c.S32(mine[k]->subtype);
        ActionList(c, mine[k]->action, actions);
      }
    }
    ActionRecords(c, actions);
  }
}

inline void WriteTmln(twpack::Writer& w, const Game& g) {
  twpack::ChunkBuilder& c = w.AddChunk("TMLN");
  const size_t slots = g.shared_timeline_slots ? size_t(g.shared_timeline_slots) : g.timelines.size();
  std::vector<twpack::Label> records;
  for (size_t i = 0; i < g.timelines.size(); ++i) records.push_back(c.NewLabel());
  c.U32(uint32_t(slots));
  for (size_t i = 0; i < slots; ++i) {
    size_t r = g.shared_timeline_slots ? 0 : i;
    if (g.timelines[r]) {
      c.OffsetOf(records[r]);
    } else {
      c.U32(0);
    }
  }
  std::vector<std::pair<twpack::Label, Action>> actions;
  for (size_t i = 0; i < g.timelines.size(); ++i) {
    if (!g.timelines[i]) continue;
    const TimeLine& t = *g.timelines[i];
    c.Bind(records[i]);
    c.StringRef(t.name).U32(t.moment_count.value_or(uint32_t(t.moments.size())));
    std::vector<twpack::Label> lists;
    for (const Moment& m : t.moments) {
      lists.push_back(c.NewLabel());
      c.S32(m.step).OffsetOf(lists.back());
    }
    for (size_t k = 0; k < t.moments.size(); ++k) {
      c.Bind(lists[k]);
      ActionList(c, t.moments[k].action, actions);
    }
    ActionRecords(c, actions);
  }
}

inline std::vector<uint8_t> Build(const Game& g) {
  twpack::Writer w;
  twpack::Gen8 gen;
  gen.version = g.version;
  twpack::AddGen8(w, gen);
  twpack::CodeSet code(w);
  if (g.code_records > 0) {
    code.PlaceCode();
    for (int i = 0; i < g.code_records; ++i) code.AddRecord("code" + std::to_string(i)).PushD(i);
  }
  if (g.objt) WriteObjt(w, g);
  if (g.tmln) WriteTmln(w, g);
  w.PlaceStringPool();
  code.Finish();
  return w.Build();
}

// Loads a container's header pass, then its OBJT and TMLN chunks through
// their loaders. Every test leaves the tables, code and instances empty.
class Loaded : public ObjectWorldTest {
 protected:
  using ObjectWorldTest::ObjectWorldTest;

  // Throws what the loaders throw.
  void Load(const Game& g) {
    file_ = std::make_unique<GameDataFile>(Build(g));
    testing::internal::CaptureStdout();
    try {
      GameData_LoadHeader(*file_);
      for (const ChunkRef& c : file_->Chunks()) {
        ChunkBody body(*file_, c);
        if (!std::memcmp(c.tag, "OBJT", 4)) Object_Load(body);
        if (!std::memcmp(c.tag, "TMLN", 4)) TimeLine_Load(body);
      }
    } catch (...) {
      testing::internal::GetCapturedStdout();
      throw;
    }
    testing::internal::GetCapturedStdout();
  }

  std::string LoadError(const Game& g) {
    try {
      Load(g);
    } catch (const DataError& e) {
      return e.what();
    }
    return "(loaded)";
  }

  std::unique_ptr<GameDataFile> file_;
};

// A handler with code for (type, subtype) of the object.
inline CEvent* Handler(CObject* o, int type, int32_t subtype) {
  CEvent* e = o->AddEvent(type, subtype);
  e->SetCode(std::make_unique<CCode>(-1, false));
  return e;
}

// New objects at the end of the table: their indices.
inline int32_t AddObject(int32_t parent = -1, int32_t depth = 0) {
  int32_t i = Object_Add();
  Object_Find(i)->parent_index = parent;
  Object_Find(i)->depth = depth;
  Object_LinkParents();
  return i;
}

}  // namespace fixture
