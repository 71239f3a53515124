// The object, timeline and room chunks of the data-file writer, decoded here
// with readers of the test's own.
#include "resources.h"

#include <gtest/gtest.h>

#include <cstring>

#include "unit/container_bytes.h"
#include "pack.h"

namespace {

using twpack::PackError;
using Bytes = std::vector<uint8_t>;

using testbytes::Rd32;
using testbytes::F32;
int32_t S32(const Bytes& b, size_t at) { return int32_t(Rd32(b, at)); }

using testbytes::Str;

struct Chunk {
  size_t body = 0;
  uint32_t size = 0;
  size_t end() const { return body + size; }
};

Chunk Find(const Bytes& b, const char* tag) {
  for (size_t at = 8; at + 8 <= b.size(); at += 8 + Rd32(b, at + 4)) {
    if (std::memcmp(&b[at], tag, 4) == 0) return {at + 8, Rd32(b, at + 4)};
  }
  throw std::runtime_error(std::string("no chunk ") + tag);
}

std::vector<std::string> Tags(const Bytes& b) {
  std::vector<std::string> tags;
  for (size_t at = 8; at + 8 <= b.size(); at += 8 + Rd32(b, at + 4)) tags.emplace_back(b.begin() + at, b.begin() + at + 4);
  return tags;
}

// A counted offset list; every offset must lie inside `within`.
std::vector<uint32_t> List(const Bytes& b, size_t at, const Chunk& within) {
  std::vector<uint32_t> out(Rd32(b, at));
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = Rd32(b, at + 4 + 4 * i);
    if (out[i]) {
      EXPECT_GE(out[i], within.body);
      EXPECT_LT(out[i], within.end());
    }
  }
  return out;
}

struct DecodedAction {
  int32_t code;
  std::string text;
  bool operator==(const DecodedAction&) const = default;
};

// A 16-word action record: every word zero but the code index and the text.
DecodedAction Action(const Bytes& b, uint32_t at) {
  for (int w = 0; w < 15; ++w) {
    if (w == 8) continue;
    EXPECT_EQ(Rd32(b, at + 4 * w), 0u) << "action word " << w;
  }
  return {S32(b, at + 32), Str(b, Rd32(b, at + 60))};
}

std::vector<DecodedAction> Actions(const Bytes& b, uint32_t list, const Chunk& c) {
  std::vector<DecodedAction> out;
  for (uint32_t a : List(b, list, c)) out.push_back(Action(b, a));
  return out;
}

// ---- Objects -----------------------------------------------------------------------

TEST(ObjectChunk, PhysicsBlockFollowsTheVersion) {
  twpack::Object o;
  o.name = "obj";
  o.sprite = 0x80000003u;
  o.visible = 0;
  o.solid = 1;
  o.depth = -7;
  o.persistent = 1;
  o.parent = 2;
  o.mask = 4;
  o.uses_physics = 1;
  o.sensor = 1;
  o.shape = 2;
  o.density = 0.75f;
  o.restitution = 0.5f;
  o.group = -3;
  o.linear_damping = 0.25f;
  o.angular_damping = 0.125f;
  o.friction = 0.9f;
  o.awake = 0;
  o.kinematic = 1;
  o.points = {{1.5f, 2}, {-3, 4}};
  const struct {
    uint8_t version;
    size_t events_word;  // where the event-list count stands
  } cases[] = {{5, 8}, {6, 17 + 4}, {8, 17 + 4}, {9, 20 + 4}, {13, 20 + 4}};
  for (const auto& c : cases) {
    twpack::Writer w;
    twpack::AddObjects(w, {o}, c.version);
    const Bytes b = w.Build();
    const Chunk objt = Find(b, "OBJT");
    const std::vector<uint32_t> slots = List(b, objt.body, objt);
    ASSERT_EQ(slots.size(), 1u);
    const uint32_t r = slots[0];
    EXPECT_EQ(Str(b, Rd32(b, r)), "obj");
    EXPECT_EQ((std::vector<uint32_t>{Rd32(b, r + 4), Rd32(b, r + 8), Rd32(b, r + 12), Rd32(b, r + 16),
                                     Rd32(b, r + 20), Rd32(b, r + 24), Rd32(b, r + 28)}),
              (std::vector<uint32_t>{0x80000003u, 0, 1, uint32_t(-7), 1, 2, 4}))
        << int(c.version);
    if (c.version >= 6) {
      EXPECT_EQ(S32(b, r + 32), 1);
      EXPECT_EQ(S32(b, r + 36), 1);
      EXPECT_EQ(S32(b, r + 40), 2);
      EXPECT_EQ(F32(b, r + 44), 0.75f);
      EXPECT_EQ(F32(b, r + 48), 0.5f);
      EXPECT_EQ(S32(b, r + 52), -3);
      EXPECT_EQ(F32(b, r + 56), 0.25f);
      EXPECT_EQ(F32(b, r + 60), 0.125f);
      EXPECT_EQ(Rd32(b, r + 64), 2u);
      size_t points = r + 68;
      if (c.version >= 9) {
        EXPECT_EQ(F32(b, r + 68), 0.9f);
        EXPECT_EQ(S32(b, r + 72), 0);
        EXPECT_EQ(S32(b, r + 76), 1);
        points = r + 80;
      }
      EXPECT_EQ((std::vector<float>{F32(b, points), F32(b, points + 4), F32(b, points + 8), F32(b, points + 12)}),
                (std::vector<float>{1.5f, 2, -3, 4}));
    }
    EXPECT_EQ(Rd32(b, r + 4 * c.events_word), 12u) << int(c.version);
  }
}

TEST(ObjectChunk, EventListsHoldSubtypesAndActions) {
  twpack::Object o;
  o.name = "player";
  o.events[0].push_back({0, {{{5, ""}, "create()"}}});
  o.events[3].push_back({2, {{{-1, ""}, std::nullopt}, {{7, ""}, "second"}}});
  o.events[7].push_back({70, {{{0, "named"}, std::nullopt}}});
  o.events[7].push_back({4, {}});
  twpack::Writer w;
  twpack::AddObjects(w, {std::nullopt, o}, 13, [](std::string_view name) {
    if (name != "named") throw PackError("unknown");
    return 42;
  });
  const Bytes b = w.Build();
  const Chunk objt = Find(b, "OBJT");
  const std::vector<uint32_t> slots = List(b, objt.body, objt);
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots[0], 0u);
  const uint32_t r = slots[1];
  const std::vector<uint32_t> types = List(b, r + 80, objt);
  ASSERT_EQ(types.size(), 12u);
  std::vector<std::vector<int32_t>> subtypes(12);
  std::vector<std::vector<std::vector<DecodedAction>>> actions(12);
  for (size_t t = 0; t < 12; ++t) {
    for (uint32_t e : List(b, types[t], objt)) {
      subtypes[t].push_back(S32(b, e));
      actions[t].push_back(Actions(b, e + 4, objt));
    }
  }
  EXPECT_EQ(subtypes[0], (std::vector<int32_t>{0}));
  EXPECT_EQ(subtypes[3], (std::vector<int32_t>{2}));
  EXPECT_EQ(subtypes[7], (std::vector<int32_t>{70, 4}));
  EXPECT_TRUE(subtypes[1].empty() && subtypes[11].empty());
  EXPECT_EQ(actions[0][0], (std::vector<DecodedAction>{{5, "create()"}}));
  EXPECT_EQ(actions[3][0], (std::vector<DecodedAction>{{-1, "(null)"}, {7, "second"}}));
  EXPECT_EQ(actions[7][0], (std::vector<DecodedAction>{{42, "(null)"}}));
  EXPECT_TRUE(actions[7][1].empty());
}

TEST(ObjectChunk, CodeNamesNeedAResolver) {
  twpack::Object o;
  o.events[0].push_back({0, {{{0, "somewhere"}, std::nullopt}}});
  twpack::Writer w;
  EXPECT_THROW(twpack::AddObjects(w, {o}, 13), PackError);
}

// ---- Timelines ----------------------------------------------------------------------

TEST(TimelineChunk, MomentsPointAtTheirActionLists) {
  twpack::Timeline t;
  t.name = "intro";
  t.moments.push_back({0, {{{3, ""}, std::nullopt}}});
  t.moments.push_back({30, {{{4, ""}, "late"}, {{5, ""}, std::nullopt}}});
  twpack::Writer w;
  twpack::AddTimelines(w, {t, std::nullopt, twpack::Timeline{"empty", {}}});
  const Bytes b = w.Build();
  const Chunk tmln = Find(b, "TMLN");
  const std::vector<uint32_t> slots = List(b, tmln.body, tmln);
  ASSERT_EQ(slots.size(), 3u);
  EXPECT_EQ(slots[1], 0u);
  const uint32_t r = slots[0];
  EXPECT_EQ(Str(b, Rd32(b, r)), "intro");
  ASSERT_EQ(Rd32(b, r + 4), 2u);
  EXPECT_EQ(S32(b, r + 8), 0);
  EXPECT_EQ(Actions(b, Rd32(b, r + 12), tmln), (std::vector<DecodedAction>{{3, "(null)"}}));
  EXPECT_EQ(S32(b, r + 16), 30);
  EXPECT_EQ(Actions(b, Rd32(b, r + 20), tmln), (std::vector<DecodedAction>{{4, "late"}, {5, "(null)"}}));
  EXPECT_EQ(Str(b, Rd32(b, slots[2])), "empty");
  EXPECT_EQ(Rd32(b, slots[2] + 4), 0u);
}

// ---- Rooms ---------------------------------------------------------------------------

std::vector<int32_t> Words(const Bytes& b, uint32_t at, int n) {
  std::vector<int32_t> out;
  for (int i = 0; i < n; ++i) out.push_back(S32(b, at + 4 * i));
  return out;
}

TEST(RoomChunk, RecordListsAndEntriesHoldEveryField) {
  twpack::Room r;
  r.name = "rm";
  r.caption = "Cap";
  r.width = 320;
  r.height = 200;
  r.speed = 60;
  r.persistent = 1;
  r.colour = 0x123456;
  r.show_colour = 0;
  r.code.code.index = 9;
  r.flags = 3;
  r.physics_world = 1;
  r.gravity_x = 1.5f;
  r.gravity_y = -2.5f;
  r.pixels_to_metres = 0.5f;
  r.backgrounds[6] = {1, 1, 2, 3, 4, 0, 0, 5, 6, 1};
  r.views[1] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
  twpack::RoomInstance i;
  i.x = -1;
  i.y = 2;
  i.object = 3;
  i.id = 100004;
  i.code.text = "a = 1;";
  i.xscale = 2;
  i.yscale = 0.5f;
  i.colour = 0x80112233;
  i.angle = 90;
  r.instances = {i};
  r.tiles = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 1.5f, 2.5f, 0x7F010203}};
  twpack::Writer w;
  twpack::AddRooms(w, {std::nullopt, r}, 13);
  const Bytes b = w.Build();
  const Chunk room = Find(b, "ROOM");
  const std::vector<uint32_t> slots = List(b, room.body, room);
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots[0], 0u);
  const uint32_t at = slots[1];
  EXPECT_EQ(Str(b, Rd32(b, at)), "rm");
  EXPECT_EQ(Str(b, Rd32(b, at + 4)), "Cap");
  EXPECT_EQ(Words(b, at + 8, 8), (std::vector<int32_t>{320, 200, 60, 1, 0x123456, 0, 9, 3}));
  EXPECT_EQ(Words(b, at + 56, 5), (std::vector<int32_t>{1, 0, 0, 320, 200}));
  EXPECT_EQ(F32(b, at + 76), 1.5f);
  EXPECT_EQ(F32(b, at + 80), -2.5f);
  EXPECT_EQ(F32(b, at + 84), 0.5f);

  const std::vector<uint32_t> backgrounds = List(b, Rd32(b, at + 40), room);
  ASSERT_EQ(backgrounds.size(), 8u);
  EXPECT_EQ(Words(b, backgrounds[6], 10), (std::vector<int32_t>{1, 1, 2, 3, 4, 0, 0, 5, 6, 1}));
  EXPECT_EQ(Words(b, backgrounds[0], 10), (std::vector<int32_t>{0, 0, -1, 0, 0, 1, 1, 0, 0, 0}));
  const std::vector<uint32_t> views = List(b, Rd32(b, at + 44), room);
  ASSERT_EQ(views.size(), 8u);
  EXPECT_EQ(Words(b, views[1], 14), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
  EXPECT_EQ(Words(b, views[7], 14), (std::vector<int32_t>{0, 0, 0, 640, 480, 0, 0, 640, 480, 32, 32, -1, -1, -1}));
  // Entries are whole and apart.
  for (size_t n = 1; n < 8; ++n) EXPECT_GE(views[n], views[n - 1] + 56);

  const std::vector<uint32_t> instances = List(b, Rd32(b, at + 48), room);
  ASSERT_EQ(instances.size(), 1u);
  const uint32_t e = instances[0];
  EXPECT_EQ(Words(b, e, 4), (std::vector<int32_t>{-1, 2, 3, 100004}));
  EXPECT_EQ(Str(b, Rd32(b, e + 16)), "a = 1;");
  EXPECT_EQ(F32(b, e + 20), 2.0f);
  EXPECT_EQ(F32(b, e + 24), 0.5f);
  EXPECT_EQ(Rd32(b, e + 28), 0x80112233u);
  EXPECT_EQ(F32(b, e + 32), 90.0f);
  const std::vector<uint32_t> tiles = List(b, Rd32(b, at + 52), room);
  ASSERT_EQ(tiles.size(), 1u);
  EXPECT_EQ(Words(b, tiles[0], 9), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(F32(b, tiles[0] + 36), 1.5f);
  EXPECT_EQ(F32(b, tiles[0] + 40), 2.5f);
  EXPECT_EQ(Rd32(b, tiles[0] + 44), 0x7F010203u);
  EXPECT_LE(tiles[0] + 48, room.end());
}

TEST(RoomChunk, OldVersionsHaveNoPhysicsFields) {
  twpack::Writer w;
  twpack::AddRooms(w, {twpack::Room{}}, 5);
  const Bytes b = w.Build();
  const Chunk room = Find(b, "ROOM");
  const uint32_t at = List(b, room.body, room)[0];
  // The background list starts right after the 56-byte record.
  EXPECT_EQ(Rd32(b, at + 40), at + 56);
  EXPECT_EQ(Rd32(b, at + 56), 8u);
  EXPECT_EQ(Rd32(b, at + 32), uint32_t(-1));  // no creation code
}

// ---- The text description -----------------------------------------------------------

TEST(ResourceDescription, BlocksBuildChunksInContainerOrderWithCodeByName) {
  const Bytes b = twpack::BuildFromDescription(R"(
GEN8 version=8
ROOM "first" caption="C" width=100 code="late" flags=2 physics=1 gravity_y=2.5 scale=0.25
  BACKGROUND 3 visible=1 index=2 stretch=1
  VIEW 7 visible=1 object=5
  INSTANCE x=1 y=2 object=3 id=100001 code="early" xscale=-1 colour=0x80FFFFFF angle=30
  INSTANCE object=4 id=100002
  TILE x=5 depth=-20 id=10000001 xscale=2
END
ROOM none
OBJECT "o" sprite=0x80000002 depth=-5 parent=1 physics=1 friction=0.5 points=0,0,8,0.5
  EVENT 3 1 code="early"
  ACTION code=7 text="t"
  EVENT 11 12 code=-1
END
OBJECT none
TIMELINE "tl"
  MOMENT 10 code="late"
END
CODE "early"
  push.e 1
  popz.e
END
CODE "late"
  push.e 2
  popz.e
END
)");
  EXPECT_EQ(Tags(b), (std::vector<std::string>{"GEN8", "TMLN", "OBJT", "ROOM", "CODE", "STRG"}));

  const Chunk room = Find(b, "ROOM");
  const std::vector<uint32_t> rooms = List(b, room.body, room);
  ASSERT_EQ(rooms.size(), 2u);
  EXPECT_EQ(rooms[1], 0u);
  const uint32_t r = rooms[0];
  EXPECT_EQ(Str(b, Rd32(b, r + 4)), "C");
  EXPECT_EQ(S32(b, r + 8), 100);
  EXPECT_EQ(S32(b, r + 12), 480);  // unset: the default
  EXPECT_EQ(S32(b, r + 32), 1);    // "late" is code record 1
  EXPECT_EQ(Rd32(b, r + 36), 2u);
  EXPECT_EQ(S32(b, r + 56), 1);
  EXPECT_EQ(F32(b, r + 80), 2.5f);
  EXPECT_EQ(F32(b, r + 84), 0.25f);
  EXPECT_EQ(Words(b, List(b, Rd32(b, r + 40), room)[3], 10), (std::vector<int32_t>{1, 0, 2, 0, 0, 1, 1, 0, 0, 1}));
  EXPECT_EQ(S32(b, List(b, Rd32(b, r + 44), room)[7] + 52), 5);
  const std::vector<uint32_t> inst = List(b, Rd32(b, r + 48), room);
  ASSERT_EQ(inst.size(), 2u);
  EXPECT_EQ(Words(b, inst[0], 5), (std::vector<int32_t>{1, 2, 3, 100001, 0}));
  EXPECT_EQ(F32(b, inst[0] + 20), -1.0f);
  EXPECT_EQ(Rd32(b, inst[0] + 28), 0x80FFFFFFu);
  EXPECT_EQ(F32(b, inst[0] + 32), 30.0f);
  EXPECT_EQ(S32(b, inst[1] + 16), -1);  // unset: none in a compiled game
  const uint32_t tile = List(b, Rd32(b, r + 52), room)[0];
  EXPECT_EQ(S32(b, tile), 5);
  EXPECT_EQ(S32(b, tile + 28), -20);
  EXPECT_EQ(F32(b, tile + 36), 2.0f);
  EXPECT_EQ(F32(b, tile + 40), 1.0f);

  const Chunk objt = Find(b, "OBJT");
  const std::vector<uint32_t> objects = List(b, objt.body, objt);
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_EQ(objects[1], 0u);
  const uint32_t o = objects[0];
  EXPECT_EQ(Rd32(b, o + 4), 0x80000002u);
  EXPECT_EQ(S32(b, o + 16), -5);
  EXPECT_EQ(S32(b, o + 24), 1);
  EXPECT_EQ(S32(b, o + 32), 1);
  EXPECT_EQ(Rd32(b, o + 64), 2u);  // points; version 8 has no friction words
  EXPECT_EQ(F32(b, o + 68 + 12), 0.5f);
  const std::vector<uint32_t> types = List(b, o + 68 + 16, objt);
  ASSERT_EQ(types.size(), 12u);
  const uint32_t step = List(b, types[3], objt)[0];
  EXPECT_EQ(S32(b, step), 1);
  EXPECT_EQ(Actions(b, step + 4, objt), (std::vector<DecodedAction>{{0, "(null)"}, {7, "t"}}));
  const uint32_t last = List(b, types[11], objt)[0];
  EXPECT_EQ(S32(b, last), 12);
  EXPECT_EQ(Actions(b, last + 4, objt), (std::vector<DecodedAction>{{-1, "(null)"}}));

  const Chunk tmln = Find(b, "TMLN");
  const uint32_t t = List(b, tmln.body, tmln)[0];
  EXPECT_EQ(Str(b, Rd32(b, t)), "tl");
  EXPECT_EQ(S32(b, t + 8), 10);
  EXPECT_EQ(Actions(b, Rd32(b, t + 12), tmln), (std::vector<DecodedAction>{{1, "(null)"}}));
}

TEST(ResourceDescription, MistakesNameTheLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"ROOM \"r\"\n  TILE x=1\n", "line 1: ROOM block without END"},
      {"OBJECT \"o\"\nEND\nOBJECT \"p\" colour=1\n", "line 3: unknown key 'colour'"},
      {"ROOM \"r\" code=\"nowhere\"\nEND\n", "no code record named 'nowhere'"},
      {"ROOM \"r\"\n  VIEW 8 visible=1\nEND\n", "line 2: layer must be 0 to 7, got '8'"},
      {"ROOM \"r\"\n  EVENT 0 0\nEND\n", "line 2: unexpected 'EVENT' in a ROOM block"},
      {"OBJECT \"o\"\n  EVENT 12 0\nEND\n", "line 2: event type must be 0 to 11, got '12'"},
      {"OBJECT \"o\"\n  ACTION code=1\nEND\n", "line 2: ACTION needs an EVENT or MOMENT before it"},
      {"OBJECT \"o\" density=fast\nEND\n", "line 1: bad real number 'fast' for 'density'"},
      {"OBJECT \"o\" points=1,2,3\nEND\n", "line 1: 'points' needs x,y pairs"},
      {"TIMELINE \"t\" speed=1\nEND\n", "line 1: unexpected 'speed=1'"},
      {"ROOM r\nEND\n", "line 1: ROOM takes a quoted name, or none"},
      {"ROOM none extra\n", "line 1: unexpected 'extra'"},
      {"PATH \"p\" points=1,2\n", "line 1: 'points' needs x,y,speed triples"},
      {"PATH \"p\" speed=3\n", "line 1: unknown key 'speed'"},
      {"PATH p\n", "line 1: PATH takes a quoted name, or none"},
      {"PATH none extra\n", "line 1: unexpected 'extra'"},
      {"PATH \"p\" kind=smooth\n", "line 1: bad number 'smooth' for 'kind'"},
  };
  for (const auto& c : cases) {
    try {
      twpack::BuildFromDescription(c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const PackError& e) {
      EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << c.text << "\n -> " << e.what();
    }
  }
}

}  // namespace
