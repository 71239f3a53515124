#include "core/rooms.h"

#include <gtest/gtest.h>

#include "unit/container_bytes.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "core/code_chunks.h"
#include "core/game_info.h"
#include "runner/load_game.h"
#include "core/run_state.h"
#include "pack.h"
#include "resources.h"
#include "script/code.h"
#include "script/errors.h"
#include "unit/world_reset.h"

namespace {

using Bytes = std::vector<uint8_t>;

using testbytes::Body;
using testbytes::Put32;
using testbytes::Rd32;

// Container offsets of room record n, of its lists and of their entries.
size_t RoomAt(const Bytes& b, int n) { return Rd32(b, Body(b, "ROOM") + 4 + 4 * size_t(n)); }
size_t ListAt(const Bytes& b, int room, size_t field) { return Rd32(b, RoomAt(b, room) + field); }
size_t EntryAt(const Bytes& b, int room, size_t field, int n) { return Rd32(b, ListAt(b, room, field) + 4 + 4 * n); }
constexpr size_t kBackgrounds = 40, kViews = 44, kInstances = 48, kTiles = 52;

// The container outlives the load: the code table refers to it.
GameDataFile g_file;

// As the two passes do it: the header and the code first, then the rooms.
// Throws the loader's DataError.
void LoadRooms(const Bytes& bytes) {
  Code_Clear();
  g_file = GameDataFile(bytes);
  for (const ChunkRef& c : g_file.Chunks()) {
    ChunkBody body(g_file, c);
    if (!std::memcmp(c.tag, "GEN8", 4)) GameData_ReadGEN8(body);
    if (!std::memcmp(c.tag, "CODE", 4)) Code_Load(body);
  }
  for (const ChunkRef& c : g_file.Chunks()) {
    ChunkBody body(g_file, c);
    if (!std::memcmp(c.tag, "ROOM", 4)) {
      body.OffsetList();
      Room_Load(body);
    }
  }
}

std::string LoadError(const Bytes& bytes) {
  try {
    LoadRooms(bytes);
  } catch (const DataError& e) {
    return e.what();
  }
  return "(loaded)";
}

// A room of a game whose code is source text: no creation code is offset 0.
twpack::Room TextRoom() {
  twpack::Room room;
  room.code.code.index = 0;
  return room;
}

// Rooms load with no code compiler unless a test installs one.
class Rooms : public RoomWorldTest {
 protected:
  void SetUp() override {
    RoomWorldTest::SetUp();
    Room_SetCompiler(nullptr);
  }
};

// A compiled game with a room that sets every field, an empty slot and a
// room of defaults.
const char* const kCompiledGame = R"(
GEN8 version=13 rooms=0,2
CODE "room_create"
  push.e 1
  popz.e
END
CODE "inst_create"
  push.e 2
  popz.e
END
ROOM "rm_menu" caption="Menu" width=320 height=240 speed=60 persistent=1 colour=0x102030 show_colour=0 code="room_create" flags=3 physics=1 gravity_x=0.5 gravity_y=9.8 scale=0.05
  BACKGROUND 0 visible=1 index=4 x=-4 y=8 tile_h=0 hspeed=1 vspeed=-2
  BACKGROUND 7 visible=1 foreground=1 index=1 tile_v=0
  VIEW 0 visible=1 xview=1 yview=2 wview=160 hview=120 xport=3 yport=4 wport=320 hport=240 hborder=5 vborder=6 hspeed=7 vspeed=8 object=9
  INSTANCE x=16 y=-32 object=3 id=100001 code="inst_create" xscale=2 yscale=-1 colour=0x80FF0000 angle=45
  INSTANCE x=48 y=32 object=-1 id=100002
  TILE x=10 y=20 background=1 left=2 top=3 width=16 height=8 depth=-10 id=10000002 xscale=0.5 yscale=3 colour=0x7F00FF00
END
ROOM none
ROOM "rm_play"
END
)";

TEST_F(Rooms, DefinitionHoldsEveryFieldOfItsRecord) {
  LoadRooms(twpack::BuildFromDescription(kCompiledGame));
  ASSERT_EQ(Room_Count(), 3);
  const CGameRoom* r = Room_Get(0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Name(), "rm_menu");
  EXPECT_EQ(r->caption, "Menu");
  EXPECT_EQ(r->width, 320);
  EXPECT_EQ(r->height, 240);
  EXPECT_EQ(r->speed, 60);
  EXPECT_TRUE(r->persistent);
  EXPECT_EQ(r->colour, 0x102030u);
  EXPECT_FALSE(r->show_colour);
  EXPECT_TRUE(r->views_enabled);
  EXPECT_TRUE(r->clear_with_window_colour);
  ASSERT_NE(r->creation_code, nullptr);
  EXPECT_EQ(r->creation_code->Index(), 0);
  EXPECT_EQ(r->creation_code->Name(), "room_create");
  EXPECT_EQ(r->creation_code_text, "");
  EXPECT_TRUE(r->physics_world);
  EXPECT_EQ(r->gravity_x, 0);
  EXPECT_EQ(r->gravity_y, 9);
  EXPECT_FLOAT_EQ(r->pixels_to_metres, 0.05f);

  const RoomBackground& b0 = r->backgrounds[0];
  EXPECT_TRUE(b0.visible);
  EXPECT_FALSE(b0.foreground);
  EXPECT_EQ(b0.index, 4);
  EXPECT_EQ(b0.x, -4.0);
  EXPECT_EQ(b0.y, 8.0);
  EXPECT_FALSE(b0.tile_h);
  EXPECT_TRUE(b0.tile_v);
  EXPECT_EQ(b0.hspeed, 1.0);
  EXPECT_EQ(b0.vspeed, -2.0);
  EXPECT_EQ(b0.xscale, 1.0);
  EXPECT_EQ(b0.blend, 0xFFFFFFu);
  EXPECT_EQ(b0.alpha, 1.0);
  EXPECT_TRUE(r->backgrounds[7].foreground);
  EXPECT_FALSE(r->backgrounds[7].tile_v);
  EXPECT_FALSE(r->backgrounds[3].visible);
  EXPECT_EQ(r->backgrounds[3].index, -1);

  const RoomView& v = r->views[0];
  EXPECT_TRUE(v.visible);
  EXPECT_EQ((std::vector<int32_t>{v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport,
                                  v.hborder, v.vborder, v.hspeed, v.vspeed, v.object}),
            (std::vector<int32_t>{1, 2, 160, 120, 3, 4, 320, 240, 5, 6, 7, 8, 9}));
  EXPECT_EQ(v.angle, 0.0);
  EXPECT_EQ(v.surface, -1);
  EXPECT_EQ(r->views[5].wview, 640);
  EXPECT_EQ(r->views[5].object, -1);

  const RoomRecord* rec = r->Record();
  ASSERT_NE(rec, nullptr);
  ASSERT_EQ(rec->instances.size(), 2u);
  const RoomRecordInstance& i0 = rec->instances[0];
  EXPECT_EQ(i0.x, 16);
  EXPECT_EQ(i0.y, -32);
  EXPECT_EQ(i0.object, 3);
  EXPECT_EQ(i0.id, 100001);
  ASSERT_NE(i0.code, nullptr);
  EXPECT_EQ(i0.code->Index(), 1);
  EXPECT_EQ(i0.xscale, 2.0f);
  EXPECT_EQ(i0.yscale, -1.0f);
  EXPECT_EQ(i0.colour, 0x80FF0000u);
  EXPECT_EQ(i0.angle, 45.0f);
  EXPECT_EQ(rec->instances[1].object, -1);
  EXPECT_EQ(rec->instances[1].code, nullptr);

  // The definition's own tiles, made from the record.
  ASSERT_EQ(r->TileCount(), 1);
  const RoomTile& t = r->Tiles()[0];
  EXPECT_EQ(t.x, 10.0);
  EXPECT_EQ(t.y, 20.0);
  EXPECT_EQ(t.background, 1);
  EXPECT_EQ((std::vector<int32_t>{t.left, t.top, t.width, t.height}), (std::vector<int32_t>{2, 3, 16, 8}));
  EXPECT_EQ(t.depth, -10.0);
  EXPECT_EQ(t.id, 10000002);
  EXPECT_EQ(t.xscale, 0.5);
  EXPECT_EQ(t.yscale, 3.0);
  EXPECT_EQ(t.blend, 0x00FF00u);
  EXPECT_DOUBLE_EQ(t.alpha, 127.0 / 255.0);
  EXPECT_TRUE(t.visible);

  const CGameRoom* plain = Room_Get(2);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->caption, "");
  EXPECT_EQ(plain->creation_code, nullptr);
  EXPECT_FALSE(plain->views_enabled);
  EXPECT_EQ(plain->TileCount(), 0);
  EXPECT_EQ(RoomStateTable.Count(), 3);
}

TEST_F(Rooms, LookupsNeverIndexOutsideTheTable) {
  LoadRooms(twpack::BuildFromDescription(kCompiledGame));
  EXPECT_TRUE(Room_Exists(0));
  EXPECT_FALSE(Room_Exists(1));  // the empty slot
  EXPECT_EQ(Room_Get(1), nullptr);
  EXPECT_EQ(Room_GetName(1), "<undefined>");
  EXPECT_EQ(Room_GetName(2), "rm_play");
  for (int32_t bad : {-1, 3, INT32_MIN, INT32_MAX}) {
    EXPECT_FALSE(Room_Exists(bad)) << bad;
    EXPECT_EQ(Room_Get(bad), nullptr) << bad;
    EXPECT_EQ(Room_GetName(bad), "<undefined>") << bad;
    EXPECT_EQ(RoomStateTable.Get(bad), nullptr) << bad;
    EXPECT_FALSE(RoomStateTable.Set(bad, std::make_unique<CGameRoom>())) << bad;
    EXPECT_EQ(Room_Duplicate(bad), -1) << bad;
  }
  EXPECT_EQ(Room_Duplicate(1), -1);
  EXPECT_EQ(Room_FindByName("rm_play"), 2);
  EXPECT_EQ(Room_FindByName("RM_PLAY"), -1);
  EXPECT_EQ(Room_FindByName(""), -1);  // the empty slot's name does not match
  EXPECT_EQ(Room_GetOrder(), (std::vector<int32_t>{0, 2}));
}

TEST_F(Rooms, FlagsGiveViewsAndWindowClear) {
  const struct {
    uint32_t flags;
    bool views, clear;
  } cases[] = {{0, false, false}, {1, true, false}, {2, false, true}, {3, true, true}, {0xFFFFFFFC, false, false}};
  for (const auto& c : cases) {
    twpack::Writer w;
    twpack::AddGen8(w, {});
    twpack::Room room = TextRoom();
    room.flags = c.flags;
    twpack::AddRooms(w, {room}, 13);
    LoadRooms(w.Build());
    ASSERT_NE(Room_Get(0), nullptr);
    EXPECT_EQ(Room_Get(0)->views_enabled, c.views) << c.flags;
    EXPECT_EQ(Room_Get(0)->clear_with_window_colour, c.clear) << c.flags;
  }
}

TEST_F(Rooms, GravityIsTruncatedTowardZero) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    float in;
    int32_t out;
  } cases[] = {{9.8f, 9}, {-9.8f, -9}, {0.99f, 0}, {nan, 0}, {1e20f, INT32_MAX}, {-1e20f, INT32_MIN}};
  for (const auto& c : cases) {
    twpack::Writer w;
    twpack::AddGen8(w, {});
    twpack::Room room = TextRoom();
    room.gravity_x = c.in;
    room.gravity_y = c.in;
    twpack::AddRooms(w, {room}, 13);
    LoadRooms(w.Build());
    EXPECT_EQ(Room_Get(0)->gravity_x, c.out) << c.in;
    EXPECT_EQ(Room_Get(0)->gravity_y, c.out) << c.in;
  }
}

TEST_F(Rooms, PhysicsFieldsAreReadFromVersion6On) {
  for (uint8_t version : {5, 6}) {
    twpack::Writer w;
    twpack::Gen8 g;
    g.version = version;
    twpack::AddGen8(w, g);
    twpack::Room room = TextRoom();
    room.physics_world = 1;
    room.gravity_y = 4.5f;
    room.pixels_to_metres = 0.25f;
    twpack::AddRooms(w, {room}, 13);  // the fields are present either way
    LoadRooms(w.Build());
    const CGameRoom* r = Room_Get(0);
    EXPECT_EQ(r->physics_world, version >= 6) << int(version);
    EXPECT_EQ(r->gravity_y, version >= 6 ? 4 : 0) << int(version);
    EXPECT_EQ(r->pixels_to_metres, version >= 6 ? 0.25f : 0.0f) << int(version);
  }
}

const char* const kTextGame = R"(
GEN8 version=5 rooms=0
ROOM "rm_old" caption="Old" text="x = 1;"
  INSTANCE x=1 y=2 object=0 id=100001 text="hp = 3;"
  INSTANCE x=3 y=4 object=0 id=100002 code=0
END
ROOM "rm_two" text=""
  INSTANCE object=0 code=0
END
)";

TEST_F(Rooms, TextModeCopiesSourceAndGivesEveryInstanceCode) {
  LoadRooms(twpack::BuildFromDescription(kTextGame));
  const CGameRoom* r = Room_Get(0);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->creation_code_text, "x = 1;");
  ASSERT_NE(r->creation_code, nullptr);
  EXPECT_STREQ(r->creation_code->GetText(), "x = 1;");
  EXPECT_FALSE(r->creation_code->Compiled());
  ASSERT_EQ(r->Record()->instances.size(), 2u);
  EXPECT_STREQ(r->Record()->instances[0].code->GetText(), "hp = 3;");
  // A null text reference still gets code, with no text.
  ASSERT_NE(r->Record()->instances[1].code, nullptr);
  EXPECT_STREQ(r->Record()->instances[1].code->GetText(), "");
  EXPECT_NE(Room_Get(1)->creation_code, nullptr);
  EXPECT_EQ(Room_Get(1)->creation_code_text, "");
}

TEST_F(Rooms, StretchedBackgroundScalesToTheRoom) {
  struct Image {
    bool exists;
    int32_t w, h;
  };
  static Image image;
  Room_SetBackgroundSizeLookup([](int32_t index, int32_t* w, int32_t* h) {
    if (index != 5 || !image.exists) return false;
    *w = image.w;
    *h = image.h;
    return true;
  });
  const struct {
    Image image;
    int32_t stretch;
    double xscale, yscale;
  } cases[] = {
      {{true, 320, 240}, 1, 2.0, 2.0},
      {{true, 1280, 960}, 1, 0.5, 0.5},
      {{true, 0, 240}, 1, 1.0, 2.0},  // a zero width leaves that scale alone
      {{true, 320, -1}, 1, 2.0, 1.0},
      {{false, 320, 240}, 1, 1.0, 1.0},
      {{true, 320, 240}, 0, 1.0, 1.0},
  };
  for (const auto& c : cases) {
    image = c.image;
    twpack::Writer w;
    twpack::AddGen8(w, {});
    twpack::Room room = TextRoom();
    room.backgrounds[2].index = 5;
    room.backgrounds[2].stretch = c.stretch;
    twpack::AddRooms(w, {room}, 13);
    LoadRooms(w.Build());
    EXPECT_EQ(Room_Get(0)->backgrounds[2].xscale, c.xscale) << c.image.w << "x" << c.image.h;
    EXPECT_EQ(Room_Get(0)->backgrounds[2].yscale, c.yscale) << c.image.w << "x" << c.image.h;
  }
}

TEST_F(Rooms, CopiesShareRecordAndCodeAndTakeTilesByMode) {
  LoadRooms(twpack::BuildFromDescription(kCompiledGame));
  CGameRoom* def = Room_Get(0);
  def->views[0].surface = 7;
  def->ClearTiles();  // the record still holds its tile

  CGameRoom running;
  running.views[0].surface = 3;
  running.CopyFrom(*def, true);
  EXPECT_EQ(running.Record(), def->Record());
  EXPECT_EQ(running.creation_code, def->creation_code);
  EXPECT_EQ(running.caption, "Menu");
  EXPECT_EQ(running.views[0].wview, 160);
  EXPECT_EQ(running.views[0].surface, 3);  // its own, not the source's
  EXPECT_EQ(running.backgrounds[0].index, 4);
  EXPECT_EQ(running.gravity_y, 9);
  ASSERT_EQ(running.TileCount(), 1);
  EXPECT_EQ(running.Tiles()[0].id, 10000002);

  RoomTile extra;
  extra.depth = 3;
  running.AddTile(extra);
  CGameRoom copy;
  copy.CopyFrom(running, false);
  ASSERT_EQ(copy.TileCount(), 2);  // the source's array, not the record's one tile
  EXPECT_EQ(copy.Tiles()[1].depth, 3.0);

  copy.CopyFrom(copy, false);  // onto itself: nothing lost
  EXPECT_EQ(copy.TileCount(), 2);
  EXPECT_EQ(copy.caption, "Menu");
}

TEST_F(Rooms, DuplicateAndAddAppendNamedRooms) {
  LoadRooms(twpack::BuildFromDescription(kCompiledGame));
  EXPECT_EQ(Room_Duplicate(0), 3);
  EXPECT_EQ(Room_GetName(3), "__newroom3");
  EXPECT_EQ(Room_Get(3)->Record(), Room_Get(0)->Record());
  EXPECT_EQ(Room_Get(3)->TileCount(), 1);  // the definition's tiles
  EXPECT_EQ(Room_Add(), 4);
  EXPECT_EQ(Room_GetName(4), "__newroom4");
  const RoomRecord* rec = Room_Get(4)->Record();
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->name, "NewRoom");
  EXPECT_EQ(rec->speed, 30);
  EXPECT_EQ(rec->backgrounds.size(), 8u);
  EXPECT_TRUE(rec->views.empty() && rec->instances.empty() && rec->tiles.empty());
  EXPECT_EQ(Room_Get(4)->width, 640);
  EXPECT_EQ(Room_Count(), 5);
  EXPECT_EQ(RoomStateTable.Count(), 5);
  EXPECT_EQ(Room_FindByName("__newroom4"), 4);
}

TEST_F(Rooms, DefinitionAdditionsTakeTheNextIds) {
  Room_SetLastInstanceId(100007);
  Room_SetLastTileId(10000003);
  CGameRoom bare;
  EXPECT_EQ(bare.AddDefinitionInstance(1, 2, 0), -1);  // no record to add to
  CGameRoom r;
  r.CreateDefaultRecord();
  EXPECT_EQ(r.AddDefinitionInstance(10.9, -3.7, 4), 100008);
  EXPECT_EQ(Room_LastInstanceId(), 100008);
  const RoomRecordInstance& e = r.Record()->instances.back();
  EXPECT_EQ(e.x, 10);
  EXPECT_EQ(e.y, -3);
  EXPECT_EQ(e.object, 4);
  EXPECT_EQ(e.colour, 0xFFFFFFFFu);
  EXPECT_EQ(e.code, nullptr);
  EXPECT_EQ(r.AddDefinitionTile(2, 0, 0, 16, 16, 5.5, 6.5, 100.9, 2, 3, 0x123456), 10000004);
  EXPECT_EQ(r.Record()->tiles.back().depth, 100);
  EXPECT_EQ(r.Record()->tiles.back().colour, 0x123456u);
  r.ClearDefinitionInstances();
  EXPECT_TRUE(r.Record()->instances.empty());
  // The counters wrap instead of overflowing.
  Room_SetLastInstanceId(uint32_t(INT32_MAX));
  EXPECT_EQ(Room_NewInstanceId(), INT32_MIN);
}

TEST_F(Rooms, ClearKeepsNameAndViewSurfaces) {
  CGameRoom r;
  r.SetName("kept");
  r.views[2].surface = 4;
  r.views[2].wview = 1;
  r.width = 1;
  r.AddTile(RoomTile());
  r.Clear();
  EXPECT_EQ(r.Name(), "kept");
  EXPECT_EQ(r.views[2].surface, 4);
  EXPECT_EQ(r.views[2].wview, 640);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.TileCount(), 0);
  EXPECT_EQ(r.Tiles().Capacity(), 0);
  EXPECT_EQ(r.LastTileFound(), -1);
}

TEST_F(Rooms, ScrollingMovesEveryLayerBySpeed) {
  CGameRoom r;
  r.backgrounds[0].hspeed = 1.5;
  r.backgrounds[7].vspeed = -2;
  r.ScrollBackgrounds();
  r.ScrollBackgrounds();
  EXPECT_EQ(r.backgrounds[0].x, 3.0);
  EXPECT_EQ(r.backgrounds[7].y, -4.0);
  EXPECT_EQ(r.backgrounds[3].x, 0.0);
}

// ---- Damaged rooms ------------------------------------------------------------------

TEST_F(Rooms, DamagedRecordsAreRefusedWithTheReason) {
  const Bytes good = twpack::BuildFromDescription(kCompiledGame);
  const auto size = uint32_t(good.size());
  const struct {
    const char* what;
    std::function<void(Bytes&)> damage;
    const char* message;
  } cases[] = {
      {"record cut off", [&](Bytes& b) { Put32(b, Body(b, "ROOM") + 4, size - 60); }, "run past the end"},
      {"name", [](Bytes& b) { Put32(b, RoomAt(b, 0), 2); }, "its name"},
      {"caption", [&](Bytes& b) { Put32(b, RoomAt(b, 0) + 4, size + 8); }, "room \"rm_menu\": its caption"},
      {"creation code index", [](Bytes& b) { Put32(b, RoomAt(b, 0) + 32, 2); },
       "its creation code names code entry 2, which does not exist"},
      {"creation code below -1", [](Bytes& b) { Put32(b, RoomAt(b, 0) + 32, uint32_t(-2)); },
       "names code entry -2"},
      {"instance code", [](Bytes& b) { Put32(b, EntryAt(b, 0, kInstances, 0) + 16, 99); },
       "the creation code of its instance entry 0 names code entry 99"},
      {"list outside", [&](Bytes& b) { Put32(b, RoomAt(b, 0) + kViews, size - 2); },
       "its view list at 0x"},
      {"tile count", [](Bytes& b) { Put32(b, ListAt(b, 0, kTiles), 0x40000000); },
       "counts 1073741824 entries, more than the container holds"},
      {"nine backgrounds", [](Bytes& b) { Put32(b, ListAt(b, 0, kBackgrounds), 9); },
       "its background list counts 9 entries; a room has 8"},
      {"null instance entry", [](Bytes& b) { Put32(b, ListAt(b, 0, kInstances) + 8, 0); },
       "its instance entry 1 has no offset"},
      {"tile entry past end", [&](Bytes& b) { Put32(b, ListAt(b, 0, kTiles) + 4, size - 20); },
       "its tile entry 0 at 0x"},
      {"view entry wraps", [](Bytes& b) { Put32(b, ListAt(b, 0, kViews) + 4, 0xFFFFFFF0u); },
       "its view entry 0 at 0xFFFFFFF0 runs past the end"},
  };
  for (const auto& c : cases) {
    LoadRooms(good);
    ASSERT_EQ(Room_Count(), 3);
    Bytes bad = good;
    c.damage(bad);
    const std::string error = LoadError(bad);
    EXPECT_NE(error.find("ROOM entry 0"), std::string::npos) << c.what << ": " << error;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    // Nothing of the refused chunk, nor of the rooms before it, remains.
    EXPECT_EQ(Room_Count(), 0) << c.what;
    EXPECT_EQ(RoomStateTable.Count(), 0) << c.what;
  }
}

TEST_F(Rooms, TextModeCodeReferenceIsChecked) {
  Bytes bad = twpack::BuildFromDescription(kTextGame);
  Put32(bad, EntryAt(bad, 0, kInstances, 0) + 16, 0xFFFFFFFFu);
  EXPECT_NE(LoadError(bad).find("the creation code of its instance entry 0: string reference 0xFFFFFFFF"),
            std::string::npos)
      << LoadError(bad);
}

TEST_F(Rooms, ChunkWalkReportsDamagedRoomAndGoesNoFurther) {
  Bytes bad = twpack::BuildFromDescription(kTextGame);
  Put32(bad, ListAt(bad, 0, kTiles), 0x40000000);
  GameDataFile file(bad);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const bool ok = GameData_ProcessChunks(file);
  const std::string err = testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(ok);
  EXPECT_NE(err.find("ROOM entry 0: room \"rm_old\": its tile list"), std::string::npos) << err;
  EXPECT_EQ(Room_Count(), 0);
}

// ---- Preparation ------------------------------------------------------------------------

class RoomPrepare : public Rooms {
 protected:
  void SetUp() override {
    Rooms::SetUp();
    compiled.clear();
    failing.clear();
    Room_SetCompiler([](CCode& code, const std::string& name, std::string& error) {
      compiled.push_back(name + "=" + code.GetText());
      if (name != code.Name()) compiled.back() += " (misnamed " + code.Name() + ")";
      for (const std::string& f : failing) {
        if (f == name) {
          error = "bad code in " + name;
          return false;
        }
      }
      return true;
    });
  }
  // Prepares; the result and what went to the output console.
  std::pair<bool, std::string> Prepare() {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const bool ok = Room_Prepare();
    testing::internal::GetCapturedStderr();
    return {ok, testing::internal::GetCapturedStdout()};
  }
  static inline std::vector<std::string> compiled;
  static inline std::vector<std::string> failing;
};

const char* const kTextRooms = R"(
GEN8 version=8 rooms=0,1,2
ROOM "a" text="ra"
  INSTANCE text="i0"
  INSTANCE text="i1"
END
ROOM "b" code=0
  INSTANCE text="j0"
END
ROOM "c" text="rc"
END
)";

TEST_F(RoomPrepare, CompilesRoomThenInstanceCodeUnderTheirNames) {
  LoadRooms(twpack::BuildFromDescription(kTextRooms));
  const auto [ok, out] = Prepare();
  EXPECT_TRUE(ok);
  EXPECT_EQ(compiled, (std::vector<std::string>{"Room.a=ra", "Instance.a.0=i0", "Instance.a.1=i1",
                                                "Instance.b.0=j0", "Room.c=rc"}));
  EXPECT_EQ(out, "");
}

TEST_F(RoomPrepare, FailuresStopTheRoomOrThePreparation) {
  const struct {
    std::vector<std::string> failing;
    bool result;
    std::vector<std::string> compiled;
  } cases[] = {
      // A failed room code ends everything at once.
      {{"Room.a"}, false, {"Room.a=ra"}},
      // A failed instance code ends its room; the next rooms still compile,
      // and the last compilation decides.
      {{"Instance.a.0"}, true, {"Room.a=ra", "Instance.a.0=i0", "Instance.b.0=j0", "Room.c=rc"}},
      {{"Room.c"}, false, {"Room.a=ra", "Instance.a.0=i0", "Instance.a.1=i1", "Instance.b.0=j0", "Room.c=rc"}},
  };
  LoadRooms(twpack::BuildFromDescription(kTextRooms));
  for (const auto& c : cases) {
    Error_ResetForTests();
    compiled.clear();
    failing = c.failing;
    const auto [ok, out] = Prepare();
    EXPECT_EQ(ok, c.result) << c.failing[0];
    EXPECT_EQ(compiled, c.compiled) << c.failing[0];
    EXPECT_EQ(out, "ERROR!!! :: COMPILATION ERROR in room script\nbad code in " + c.failing[0] + "\n");
  }
}

TEST_F(RoomPrepare, LongRoomNamesAreCutToWholeCharacters) {
  const std::string name = std::string(254, 'r') + "\xC3\xA9" + "tail";
  twpack::Writer w;
  twpack::Gen8 g;
  g.version = 8;
  twpack::AddGen8(w, g);
  twpack::Room room;
  room.name = name;
  room.code.text = "x";
  twpack::AddRooms(w, {room}, 8);
  LoadRooms(w.Build());
  Prepare();
  EXPECT_EQ(compiled, (std::vector<std::string>{"Room." + std::string(254, 'r') + "=x"}));
}

TEST_F(RoomPrepare, CompiledGamesNeedNothing) {
  LoadRooms(twpack::BuildFromDescription(kCompiledGame));
  EXPECT_TRUE(Prepare().first);
  EXPECT_TRUE(compiled.empty());
}

TEST_F(RoomPrepare, WithoutACompilerTextCodeFails) {
  LoadRooms(twpack::BuildFromDescription(kTextRooms));
  Room_SetCompiler(nullptr);
  const auto [ok, out] = Prepare();
  EXPECT_FALSE(ok);
  EXPECT_NE(out.find("COMPILATION ERROR in room script\nno compiler"), std::string::npos) << out;
}

// ---- The room order ---------------------------------------------------------------------

TEST_F(Rooms, PreviousAndNextFollowTheOrder) {
  const struct {
    std::vector<int32_t> order;
    int32_t room, previous, next;
  } cases[] = {
      {{0, 1, 2}, 2, 1, 1},
      {{0, 1, 2}, 0, 1, 1},  // not found from position 1 on: the entry at n - 2
      {{0, 1, 2}, 1, 0, 2},
      {{4, 7, 4, 9}, 4, 7, 9},  // the first position from each end
      {{0, 1, 2}, 99, 1, 1},
      {{5}, 5, -1, -1},
      {{}, 0, -1, -1},
  };
  for (const auto& c : cases) {
    Room_SetOrder(c.order);
    EXPECT_EQ(Room_Previous(c.room), c.previous) << c.room;
    EXPECT_EQ(Room_Next(c.room), c.next) << c.room;
  }
  Room_SetOrder({3, 1, 2});
  EXPECT_EQ(Room_First(), 3);
  EXPECT_EQ(Room_Last(), 2);
}

TEST_F(Rooms, EmptyOrMissingFirstRoomIsReported) {
  LoadRooms(twpack::BuildFromDescription(kCompiledGame));
  EXPECT_EQ(Room_OrderProblem(), "");
  Room_SetOrder({});
  EXPECT_EQ(Room_First(), -1);
  EXPECT_EQ(Room_Last(), -1);
  EXPECT_EQ(Room_OrderProblem(), "The game has no room to start in: its room order is empty");
  Room_SetOrder({1, 0});
  EXPECT_EQ(Room_OrderProblem(), "The game cannot start: the first room of its room order, 1, does not exist");
  Room_SetOrder({-5});
  EXPECT_NE(Room_OrderProblem().find("-5, does not exist"), std::string::npos);
}

TEST_F(Rooms, FreeAllDropsTheCurrentRoom) {
  LoadRooms(twpack::BuildFromDescription(kCompiledGame));
  RoomStateTable.Set(0, std::make_unique<CGameRoom>());
  g_Run.room = RoomStateTable.Get(0);
  Room_FreeAll();
  EXPECT_EQ(g_Run.room, nullptr);
  EXPECT_EQ(Room_Count(), 0);
  EXPECT_EQ(RoomStateTable.Count(), 0);
  EXPECT_TRUE(Room_GetOrder().empty());
}

// ---- Tiles --------------------------------------------------------------------------------

RoomTile Tile(double x, double y, double depth, int32_t w = 16, int32_t h = 16) {
  RoomTile t;
  t.x = x;
  t.y = y;
  t.depth = depth;
  t.width = w;
  t.height = h;
  return t;
}

std::vector<double> Depths(const CGameRoom& r) {
  std::vector<double> d;
  for (const RoomTile& t : r.Tiles()) d.push_back(t.depth);
  return d;
}

std::vector<int32_t> Ids(const CGameRoom& r) {
  std::vector<int32_t> ids;
  for (const RoomTile& t : r.Tiles()) ids.push_back(t.id);
  return ids;
}

TEST_F(Rooms, TilesFoundInsideHalfOpenAndDeletedInsideClosedRectangle) {
  const struct {
    double x, y;
    bool found, deleted;
  } cases[] = {
      {10, 10, true, true}, {25, 25, true, true}, {26, 10, false, true},
      {26, 26, false, true}, {26.01, 10, false, false}, {9.99, 10, false, false},
  };
  for (const auto& c : cases) {
    CGameRoom r;
    r.AddTile(Tile(10, 10, 5));
    EXPECT_EQ(r.FindTileAt(c.x, c.y, false), c.found ? 0 : -1) << c.x << "," << c.y;
    r.DeleteTilesAt(c.x, c.y, false);
    EXPECT_EQ(r.TileCount(), c.deleted ? 0 : 1) << c.x << "," << c.y;
  }
  // Scale widens the rectangle.
  CGameRoom r;
  RoomTile wide = Tile(0, 0, 5);
  wide.xscale = 2;
  r.AddTile(wide);
  EXPECT_EQ(r.FindTileAt(31, 0, false), 0);
  EXPECT_EQ(r.FindTileAt(32, 0, false), -1);
}

TEST_F(Rooms, DepthZeroIsBackgroundToFindButBothToDelete) {
  CGameRoom r;
  r.AddTile(Tile(0, 0, 0));
  EXPECT_EQ(r.FindTileAt(1, 1, false), 0);
  EXPECT_EQ(r.FindTileAt(1, 1, true), -1);
  EXPECT_EQ(r.LastTileFound(), -1);
  r.DeleteTilesAt(1, 1, true);
  EXPECT_EQ(r.TileCount(), 0);
  r.AddTile(Tile(0, 0, 0));
  r.AddTile(Tile(0, 0, -1));
  r.AddTile(Tile(0, 0, 1));
  r.DeleteTilesAt(1, 1, false);
  EXPECT_EQ(Depths(r), (std::vector<double>{-1}));
}

TEST_F(Rooms, SortIsStableLargestDepthFirst) {
  CGameRoom r;
  for (double d : {100.0, 50.0, 100.0}) r.AddTile(Tile(0, 0, d));
  const std::vector<int32_t> ids = Ids(r);
  r.SortTiles();
  EXPECT_EQ(Depths(r), (std::vector<double>{100, 100, 50}));
  EXPECT_EQ(Ids(r), (std::vector<int32_t>{ids[0], ids[2], ids[1]}));

  CGameRoom two;
  two.AddTile(Tile(0, 0, 5));
  two.AddTile(Tile(0, 0, 10));
  two.SortTiles();
  EXPECT_EQ(Depths(two), (std::vector<double>{10, 5}));

  // NaN depths neither crash the sort nor lose tiles.
  CGameRoom odd;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double d : {1.0, nan, 3.0, nan, 2.0, 7.0}) odd.AddTile(Tile(0, 0, d));
  odd.SortTiles();
  ASSERT_EQ(odd.TileCount(), 6);
  std::vector<int32_t> sorted = Ids(odd);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted.front() + 5, sorted.back());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST_F(Rooms, TileArrayGrowsByTenAndIsFreedWhenEmpty) {
  Room_SetLastTileId(50);
  CGameRoom r;
  EXPECT_EQ(r.AddTile(Tile(0, 0, 1)), 0);
  EXPECT_EQ(r.Tiles()[0].id, 51);
  EXPECT_EQ(r.Tiles().Capacity(), 10);
  for (int i = 1; i < 11; ++i) r.AddTile(Tile(i, 0, 1));
  EXPECT_EQ(r.TileCount(), 11);
  EXPECT_EQ(r.Tiles().Capacity(), 20);
  EXPECT_EQ(r.Tiles()[10].id, 61);
  r.DeleteTileLayer(1);
  EXPECT_EQ(r.TileCount(), 0);
  EXPECT_EQ(r.Tiles().Capacity(), 0);
  r.AddTile(Tile(0, 0, 1));
  EXPECT_EQ(r.Tiles().Capacity(), 10);
}

TEST_F(Rooms, FindByIdRechecksItsCacheAfterDeletion) {
  CGameRoom r;
  for (int i = 0; i < 3; ++i) r.AddTile(Tile(i * 20, 0, 1));
  const std::vector<int32_t> ids = Ids(r);
  EXPECT_EQ(r.FindTileById(ids[2]), 2);
  EXPECT_EQ(r.LastTileFound(), 2);
  r.DeleteTile(2);
  EXPECT_EQ(r.LastTileFound(), 2);  // deletion leaves the cache alone
  EXPECT_EQ(r.FindTileById(ids[2]), -1);
  r.DeleteTile(0);
  EXPECT_EQ(r.FindTileById(ids[1]), 0);
  EXPECT_EQ(r.FindTileById(ids[1]), 0);
  for (int32_t bad : {-1, 1, INT32_MIN}) {
    r.DeleteTile(bad);
    EXPECT_EQ(r.TileCount(), 1) << bad;
  }
  CGameRoom empty;
  EXPECT_EQ(empty.FindTileById(0), -1);
  EXPECT_EQ(empty.FindTileAt(0, 0, false), -1);
  empty.SortTiles();
  empty.DeleteTilesAt(0, 0, true);
  EXPECT_EQ(empty.TileCount(), 0);
}

TEST_F(Rooms, LayerOperationsTouchOnlyTheirDepth) {
  CGameRoom r;
  r.AddTile(Tile(0, 0, 10));
  r.AddTile(Tile(0, 0, 20));
  r.AddTile(Tile(40, 0, 10));
  r.HideTileLayer(10);
  EXPECT_EQ((std::vector<bool>{r.Tiles()[0].visible, r.Tiles()[1].visible, r.Tiles()[2].visible}),
            (std::vector<bool>{false, true, false}));
  r.ShowTileLayer(10);
  EXPECT_TRUE(r.Tiles()[0].visible && r.Tiles()[2].visible);
  r.ShiftTileLayer(10, 5, -5);
  EXPECT_EQ(r.Tiles()[2].x, 45.0);
  EXPECT_EQ(r.Tiles()[0].y, -5.0);
  EXPECT_EQ(r.Tiles()[1].x, 0.0);
  EXPECT_EQ(r.FindTileInLayer(10, 46, 0), 2);
  EXPECT_EQ(r.FindTileInLayer(20, 46, 0), -1);
  r.SetTileLayerDepth(20, 10);
  EXPECT_EQ(Depths(r), (std::vector<double>{10, 10, 10}));
  r.DeleteTileLayerAt(10, 46, 0);
  EXPECT_EQ(r.TileCount(), 2);
  EXPECT_EQ(r.Tiles()[0].x, 5.0);
  EXPECT_EQ(r.Tiles()[1].x, 0.0);
}

}  // namespace
