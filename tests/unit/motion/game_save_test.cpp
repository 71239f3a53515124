// The saved game: its stream read back field by field, what a load brings
// back, the queue in front of the next step, and damaged saves.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "ds/buffer.h"
#include "ds/save_stream.h"
#include "files/files.h"
#include "input/input.h"
#include "motion/game_save.h"
#include "script/console.h"
#include "script/errors.h"
#include "script/variable_names.h"
#include "script/variables.h"
#include "unit/line_console.h"
#include "unit/files/temp_save_area.h"
#include "unit/motion/motion_world.h"

namespace fs = std::filesystem;

namespace {

using motion_world::GameGroupTest;

int32_t Var(const char* name) { return VariableName_FindOrAdd(name); }

double ReadVar(CObjInstance* i, const char* name) {
  VariableNode* n = i->variables ? i->variables->Find(Var(name)) : nullptr;
  return n ? n->value.Real() : -999;
}

void SetVar(CVariableList* list, const char* name, double value) {
  VariableNode* n = list->FindOrInsert(Var(name));
  ScriptValue_Free(&n->value);
  n->value = ScriptValue{};
  n->value.real = value;
}

class GameSave : public GameGroupTest {
 protected:
  void SetUp() override {
    GameGroupTest::SetUp();
    Rooms_Reset();
    saved_ = g_DebugConsole;
    g_DebugConsole = &log_;
    Instance_SetSpriteLookup(motion_world::Sprites);
  }
  void TearDown() override {
    g_Run.room = nullptr;
    RoomStateTable.Clear();
    g_DebugConsole = saved_;
    Rooms_Reset();
    GameGroupTest::TearDown();
  }

  // Room 0 running with two instances and two tiles, room 1 never visited,
  // room 2 a persistent room left earlier with one instance waiting in it.
  void BuildWorld() {
    plain_ = Motion_AddObject(0, -1, false);
    solid_ = Motion_AddObject(0, -1, true);
    RoomStateTable.Resize(3);
    RoomStateTable.Set(0, std::make_unique<CGameRoom>());
    RoomStateTable.Set(2, std::make_unique<CGameRoom>());
    room0_ = RoomStateTable.Get(0);
    room0_->caption = "Level one";
    room0_->width = 320;
    room0_->height = 200;
    g_Run.room = room0_;
    g_Run.room_index = 0;

    a_ = room0_->CreateInstance(10, 20, plain_);
    a_->alarm[3] = 7;
    a_->depth = -5;
    a_->path_index = 2;
    a_->path_position = 0.25f;
    a_->path_speed = 3;
    a_->speed = 4;
    a_->direction = 90;
    if (a_->variables) SetVar(a_->variables.get(), "hp", 12);
    b_ = room0_->CreateInstance(50, 60, solid_);
    b_->depth = 10;
    room0_->active.Reinsert(std::vector<CObjInstance*>{a_, b_});

    RoomTile t;
    t.x = 4;
    t.width = 16;
    t.height = 16;
    t.depth = 100;
    room0_->AddTile(t);
    room0_->AddTile(t);
    room0_->DeleteTile(0);  // the tile left keeps the second id

    CGameRoom* room2 = RoomStateTable.Get(2);
    room2->persistent = true;
    waiting_ = new CObjInstance(5, 5, Room_NewInstanceId(), plain_, false);
    room2->active.Insert(waiting_);

    g_Run.score = 42;
    g_Run.lives = 3;
    g_Run.health = 55.5;
    g_Run.caption_score = "S:";
    g_Run.step_counter = 99;
    SetVar(GlobalVar_List(), "gold", 8);
  }

  // What a player (or a test) could tell apart in the world.
  static std::string Describe() {
    std::ostringstream o;
    o << "room " << g_Run.room_index << " score " << g_Run.score << " lives " << g_Run.lives << " health "
      << g_Run.health << " steps " << g_Run.step_counter << " ids " << Room_LastInstanceId() << "/"
      << Room_LastTileId();
    VariableNode* gold = GlobalVar_List()->Find(Var("gold"));
    o << " gold " << (gold ? gold->value.Real() : -1) << "\n";
    for (int32_t n = 0; n < RoomStateTable.Count(); ++n) {
      CGameRoom* r = RoomStateTable.Get(n);
      if (!r) {
        o << n << ": none\n";
        continue;
      }
      o << n << ": " << r->caption << " " << r->width << "x" << r->height << (r == g_Run.room ? " current" : "")
        << " tiles";
      for (const RoomTile& t : r->Tiles()) o << " " << t.id << "@" << t.x;
      o << "\n";
      for (CObjInstance* i : r->active) {
        o << "  " << i->id << " obj " << i->object_index << " at " << i->x << "," << i->y << " depth " << i->depth
          << " alarm3 " << i->alarm[3] << " path " << i->path_index << "/" << i->path_position << "/"
          << i->path_speed << " speed " << i->speed << " dir " << i->direction << " hp " << ReadVar(i, "hp")
          << (Instance_FindByID(i->id) == i ? " mapped" : "") << (i->ObjectLinks().Joined() ? " listed" : "")
          << "\n";
      }
    }
    return o.str();
  }

  int NewBuffer() { return Buffer_Create(0, eBuffer_Grow, 1); }
  // A buffer holding the game saved now, positioned at its start.
  int Saved() {
    const int id = NewBuffer();
    EXPECT_TRUE(GameSave_SaveToBuffer(id));
    Buffer_Get(id)->Seek(eBuffer_SeekStart, 0);
    return id;
  }
  // Changes every kind of thing a load must put back.
  void Disturb() {
    a_->SetPosition(300, 300);
    a_->alarm[3] = -1;
    if (a_->variables) SetVar(a_->variables.get(), "hp", 1);
    room0_->DeleteInstance(b_);
    room0_->CreateInstance(1, 1, solid_);
    RoomTile t;
    room0_->AddTile(t);
    room0_->caption = "changed";
    g_Run.score = 0;
    g_Run.step_counter = 5;
    SetVar(GlobalVar_List(), "gold", 0);
  }
  bool Load(int id) {
    EXPECT_TRUE(GameSave_QueueLoad(id));
    return GameSave_PerformQueuedLoad();
  }

  LineConsole log_;
  tagIConsole* saved_ = nullptr;
  int32_t plain_ = 0, solid_ = 0;
  CGameRoom* room0_ = nullptr;
  CObjInstance *a_ = nullptr, *b_ = nullptr, *waiting_ = nullptr;
};

// ---- The stream ---------------------------------------------------------------------

struct ViewRecord {
  int32_t n[9];
  float angle;
  int32_t m[6];
};

TEST_F(GameSave, StreamHoldsEveryPartInOrder) {
  BuildWorld();
  g_Run.show_lives = true;
  g_Run.caption_changed = true;
  g_Run.transition_kind = 5;
  g_Run.cursor_sprite = 7;
  g_Run.draw_enabled = false;
  g_Run.new_room = 2;
  room0_->backgrounds[1].visible = true;
  room0_->backgrounds[1].index = 4;
  room0_->backgrounds[1].x = 1.5;
  room0_->backgrounds[1].alpha = 0.5;
  room0_->views[0].visible = true;
  room0_->views[0].wport = 333;
  room0_->views[0].object = a_->id;
  room0_->views_enabled = true;
  VirtualButton* button = IO_VirtualButton(5);
  button->flags = 3;
  button->x = 11;
  button->key = 32;
  const int id = Saved();
  const int again = NewBuffer();  // the same stream again, for its length
  ASSERT_TRUE(GameSave_SaveToBuffer(again));
  IBuffer* buffer = Buffer_Get(id);
  SaveReader r(buffer);

  // Run globals.
  EXPECT_EQ(r.S32(), 851);
  EXPECT_EQ(r.S32(), 0);  // game id
  EXPECT_EQ(r.S32(), 0);  // room
  EXPECT_EQ(r.S32(), 2);  // new-room request
  EXPECT_EQ(r.S32(), 5);
  EXPECT_EQ(r.S32(), 42);
  EXPECT_EQ(r.S32(), 1);  // show score
  EXPECT_EQ(r.S32(), 1);  // caption set
  EXPECT_EQ(r.Text(), "S:");
  EXPECT_EQ(r.S32(), 3);
  EXPECT_EQ(r.S32(), 1);  // show lives
  EXPECT_EQ(r.Text(), "Lives: ");
  EXPECT_EQ(r.F64(), 55.5);
  EXPECT_EQ(r.S32(), 0);  // show health
  EXPECT_EQ(r.Text(), "Health: ");
  EXPECT_EQ(r.S32(), 7);
  EXPECT_EQ(r.S32(), 99);
  EXPECT_EQ(r.S32(), 0);  // draw events
  ASSERT_TRUE(r.Ok());

  // Global variables.
  CVariableList globals;
  ASSERT_TRUE(globals.Load(buffer));
  ASSERT_NE(globals.Find(Var("gold")), nullptr);
  EXPECT_EQ(globals.Find(Var("gold"))->value.Real(), 8);
  const int32_t table = r.S32();
  EXPECT_EQ(table, GlobalVar_TableSize());
  for (int32_t n = 0; n < table; ++n) r.S32();

  // Rooms.
  EXPECT_EQ(r.S32(), 3);
  EXPECT_EQ(r.S32(), Room_LastInstanceId());
  EXPECT_EQ(r.S32(), Room_LastTileId());
  EXPECT_EQ(r.S32(), 1);  // slot 0 present
  EXPECT_EQ(r.Text(), "Level one");
  EXPECT_EQ(r.S32(), 320);
  EXPECT_EQ(r.S32(), 200);
  EXPECT_EQ(r.S32(), 30);  // speed
  EXPECT_EQ(r.S32(), 0);   // persistent
  EXPECT_EQ(r.U32(), 0xC0C0C0u);
  EXPECT_EQ(r.S32(), 1);  // show colour
  EXPECT_EQ(r.Text(), "");
  for (int layer = 0; layer < 8; ++layer) {
    const int32_t visible = r.S32(), foreground = r.S32(), index = r.S32();
    const float x = r.F32(), y = r.F32();
    const int32_t tileH = r.S32(), tileV = r.S32();
    const float hs = r.F32(), vs = r.F32(), xs = r.F32(), ys = r.F32();
    const int32_t blend = r.S32();
    const float alpha = r.F32();
    (void)foreground, (void)y, (void)tileH, (void)tileV, (void)hs, (void)vs, (void)xs, (void)ys;
    EXPECT_EQ(visible, layer == 1 ? 1 : 0) << layer;
    EXPECT_EQ(index, layer == 1 ? 4 : -1) << layer;
    EXPECT_EQ(x, layer == 1 ? 1.5f : 0.0f) << layer;
    EXPECT_EQ(blend, 0xFFFFFF) << layer;
    EXPECT_EQ(alpha, layer == 1 ? 0.5f : 1.0f) << layer;
  }
  EXPECT_EQ(r.S32(), 1);  // views enabled
  for (int v = 0; v < 8; ++v) {
    ViewRecord rec;
    for (int32_t& n : rec.n) n = r.S32();
    rec.angle = r.F32();
    for (int32_t& m : rec.m) m = r.S32();
    EXPECT_EQ(rec.n[0], v == 0 ? 1 : 0);
    EXPECT_EQ(rec.n[7], v == 0 ? 333 : 640);  // wport
    EXPECT_EQ(rec.m[4], v == 0 ? a_->id : -1);  // object
    EXPECT_EQ(rec.m[5], -1);                      // surface
  }
  EXPECT_EQ(r.S32(), 1);  // tiles
  EXPECT_EQ(r.F32(), 4.0f);
  EXPECT_EQ(r.F32(), 0.0f);
  for (int32_t expected : {0, 0, 0, 16, 16}) EXPECT_EQ(r.S32(), expected);
  EXPECT_EQ(r.F32(), 100.0f);
  EXPECT_EQ(r.S32(), room0_->TileAt(0).id);
  EXPECT_EQ(r.F32(), 1.0f);
  EXPECT_EQ(r.F32(), 1.0f);
  EXPECT_EQ(r.S32(), 0xFFFFFF);
  EXPECT_EQ(r.F32(), 1.0f);
  EXPECT_EQ(r.S32(), 1);

  EXPECT_EQ(r.S32(), 2);  // active instances, in list order
  ASSERT_EQ(room0_->active.First(), a_);
  for (CObjInstance* expected : {a_, b_}) {
    EXPECT_EQ(r.S32(), expected->id);
    EXPECT_EQ(r.S32(), 0);  // deactivated
    EXPECT_EQ(r.S32(), expected->object_index);
    EXPECT_EQ(r.S32(), 0);  // sprite
    for (int n = 0; n < 6; ++n) r.F32();
    EXPECT_EQ(r.U32(), 0xFFFFFFu);
    EXPECT_EQ(r.S32(), -1);  // mask
    EXPECT_EQ(r.F32(), expected->depth);
    EXPECT_EQ(r.S32(), 0);  // precise
    EXPECT_EQ(r.F32(), expected->x);
    EXPECT_EQ(r.F32(), expected->y);
    for (int n = 0; n < 5; ++n) r.F32();
    EXPECT_EQ(r.F32(), expected->speed);
    for (int n = 0; n < 5; ++n) r.F32();
    EXPECT_EQ(r.S32(), int32_t(expected->x));  // bbox_left
    EXPECT_EQ(r.S32(), int32_t(expected->x) + 9);  // bbox_right
    EXPECT_EQ(r.S32(), int32_t(expected->y));  // bbox_top
    r.S32();
    EXPECT_EQ(r.S32(), 1);  // visible
    EXPECT_EQ(r.S32(), expected == b_ ? 1 : 0);  // solid
    EXPECT_EQ(r.S32(), 0);
    for (int n = 0; n < 12; ++n) EXPECT_EQ(r.S32(), expected->alarm[n]);
    EXPECT_EQ(r.S32(), 0);  // marked dead
    EXPECT_EQ(r.S32(), expected->path_index);
    EXPECT_EQ(r.F32(), expected->path_position);
    r.F32();
    EXPECT_EQ(r.F32(), expected->path_speed);
    for (int n = 0; n < 2; ++n) r.F32();
    r.S32();
    for (int n = 0; n < 2; ++n) r.F32();
    EXPECT_EQ(r.S32(), -1);  // timeline
    for (int n = 0; n < 2; ++n) r.F32();
    for (int n = 0; n < 3; ++n) r.S32();
    CVariableList vars;
    ASSERT_TRUE(vars.Load(buffer));
    EXPECT_EQ(vars.Count(), expected == a_ ? 1 : 0);
  }
  EXPECT_EQ(r.S32(), 0);  // deactivated instances
  EXPECT_EQ(r.S32(), 0);  // slot 1 absent
  EXPECT_EQ(r.S32(), 1);  // slot 2 present
  r.Text();
  for (int n = 0; n < 3; ++n) r.S32();
  EXPECT_EQ(r.S32(), 1);  // persistent
  r.U32();
  r.S32();
  r.Text();
  for (int n = 0; n < 8 * 13 + 1 + 8 * 16; ++n) r.S32();  // backgrounds and views: 4 bytes each
  EXPECT_EQ(r.S32(), 0);  // tiles
  EXPECT_EQ(r.S32(), 1);  // the instance waiting there
  EXPECT_EQ(r.S32(), waiting_->id);
  for (int n = 0; n < 61; ++n) r.S32();
  CVariableList vars;
  ASSERT_TRUE(vars.Load(buffer));
  EXPECT_EQ(r.S32(), 0);

  // Virtual buttons, with their own tag.
  EXPECT_EQ(r.S32(), 851);
  EXPECT_EQ(r.S32(), kVirtualButtonCount);
  for (int n = 0; n < kVirtualButtonCount; ++n) {
    const int32_t flags = r.S16();
    r.S16();
    const int32_t x = r.S32();
    for (int k = 0; k < 7; ++k) r.S32();
    const int32_t key = r.S32();
    r.S32();
    EXPECT_EQ(flags, n == 5 ? 3 : 0);
    EXPECT_EQ(x, n == 5 ? 11 : 0);
    EXPECT_EQ(key, n == 5 ? 32 : 0);
  }
  ASSERT_TRUE(r.Ok());
  // Nothing follows: the second save of the same game is exactly as long.
  EXPECT_EQ(buffer->Position(), Buffer_Get(again)->Position());
}

TEST_F(GameSave, SaveOfARoomWithAPhysicsWorldReportsItAndStillWrites) {
  BuildWorld();
  room0_->physics_world = true;
  testing::internal::CaptureStdout();
  const int id = NewBuffer();
  EXPECT_TRUE(GameSave_SaveToBuffer(id));
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(Error_Occurred());
  EXPECT_NE(Error_LastText().find("ERROR: game_save unavailable for rooms using physics"), std::string::npos);
  EXPECT_GT(Buffer_Get(id)->Position(), 0);
}

TEST_F(GameSave, AFixedBufferTooSmallForTheSaveIsAFailureNotASuccess) {
  BuildWorld();
  const int id = Buffer_Create(64, eBuffer_Fixed, 1);
  EXPECT_FALSE(GameSave_SaveToBuffer(id));
  EXPECT_NE(log_.text.find("Game save failed"), std::string::npos);
  EXPECT_FALSE(GameSave_SaveToBuffer(id + 7));  // no such buffer
}

// ---- Loading ----------------------------------------------------------------------

TEST_F(GameSave, LoadBringsBackInstancesTilesGlobalsAndVariables) {
  BuildWorld();
  const std::string before = Describe();
  const int32_t bId = b_->id;
  const int id = Saved();
  Disturb();
  const int32_t newcomer = Room_LastInstanceId();
  ASSERT_NE(Describe(), before);

  ASSERT_TRUE(Load(id));
  EXPECT_EQ(Describe(), before);
  EXPECT_EQ(Instance_FindByID(newcomer), nullptr);
  CObjInstance* b = Instance_FindByID(bId);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->solid);
  // Back in its object's list, so events and with-loops reach it.
  bool listed = false;
  for (CObjInstance* i : Object_Find(solid_)->OwnInstances()) listed |= i == b;
  EXPECT_TRUE(listed);
  // The persistent room's instance waits out of play, as when it was left.
  CObjInstance* waiting = RoomStateTable.Get(2)->active.First();
  ASSERT_NE(waiting, nullptr);
  EXPECT_EQ(Instance_FindByID(waiting->id), nullptr);
  EXPECT_FALSE(waiting->ObjectLinks().Joined());
  // New instances and tiles go on numbering from the saved counters.
  EXPECT_EQ(g_Run.room->CreateInstance(0, 0, plain_)->id, newcomer);
}

TEST_F(GameSave, CompiledSlotsComeBackAndACountMismatchWarns) {
  Instance_OverrideSlotCount(3);
  BuildWorld();
  ScriptValue_SetText(&a_->slots[0], "name");
  a_->slots[2].real = 6.5;
  const int32_t aId = a_->id;
  const int id = Saved();
  ScriptValue_Free(&a_->slots[0]);
  a_->slots[0] = ScriptValue{};
  a_->slots[2].real = 0;
  ASSERT_TRUE(Load(id));
  CObjInstance* a = Instance_FindByID(aId);
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a->slots[0].Text(), "name");
  EXPECT_EQ(a->slots[2].Real(), 6.5);
  EXPECT_EQ(log_.text.find("mismatch"), std::string::npos);

  struct Case {
    int32_t slots;
    double third;  // slot 2 after the load
  };
  for (const Case c : {Case{2, -1}, Case{5, 6.5}}) {
    SCOPED_TRACE(c.slots);
    log_.text.clear();
    Instance_OverrideSlotCount(c.slots);
    Buffer_Get(id)->Seek(eBuffer_SeekStart, 0);
    ASSERT_TRUE(Load(id));
    EXPECT_NE(log_.text.find("WARNING! game_load variable mismatch - unpredictable results!"), std::string::npos);
    a = Instance_FindByID(aId);
    ASSERT_EQ(a->SlotCount(), c.slots);
    EXPECT_STREQ(a->slots[0].Text(), "name");
    if (c.slots > 2) {
      EXPECT_EQ(a->slots[2].Real(), c.third);
    }
    if (c.slots > 3) {
      EXPECT_EQ(a->slots[4].Real(), 0);
    }
  }
}

TEST_F(GameSave, ActivationStateComesBack) {
  BuildWorld();
  b_->deactivated = true;
  room0_->ApplyActivationChanges();
  PendingActivationChanges.Clear();
  const int32_t bId = b_->id;
  const int id = Saved();
  b_->deactivated = false;
  room0_->ApplyActivationChanges();
  ASSERT_TRUE(Load(id));
  CObjInstance* b = Instance_FindByID(bId);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->deactivated);
  EXPECT_TRUE(g_Run.room->deactivated.Contains(b));
  EXPECT_FALSE(b->ObjectLinks().Joined());
  EXPECT_EQ(g_Run.room->active.Count(), 1);
}

// A stream that is wrong anywhere changes nothing.
TEST_F(GameSave, DamagedStreamsLoadNothing) {
  // No globalvar table (a game that declares none), so that the stream is
  // short enough for every cut to be tried.
  IBuffer empty(0, eBuffer_Grow, 1);
  SaveWriter(&empty).S32(0);
  SaveWriter(&empty).S32(0);
  empty.Seek(eBuffer_SeekStart, 0);
  ASSERT_TRUE(GlobalVar_Load(&empty));
  BuildWorld();
  const std::string before = Describe();
  // The stream's length: where a second save ends.
  const int second = NewBuffer();
  GameSave_SaveToBuffer(second);
  const int size = Buffer_Get(second)->Position();

  struct Poke {
    const char* what;
    int offset;
    int32_t value;
  };
  for (const Poke p : {Poke{"first value not 851", 0, 852}, Poke{"another game", 4, 77},
                       Poke{"room index past the rooms", 8, 3}, Poke{"room index negative", 8, -1},
                       Poke{"room index of an absent slot", 8, 1}}) {
    SCOPED_TRACE(p.what);
    const int bad = NewBuffer();
    IBuffer* b = Buffer_Get(bad);
    b->CopyFromMemory(Buffer_Get(second)->Data(), size, 0, size, 0);
    ScriptValue v;
    v.real = p.value;
    b->Poke(p.offset, eBuffer_S32, &v);
    b->Seek(eBuffer_SeekStart, 0);
    EXPECT_FALSE(Load(bad));
    EXPECT_EQ(Describe(), before);
  }

  // Every truncation: the reads stop at the end and nothing is applied.
  // The button records after the first two are like them, so sampled.
  const int buttonsAt = size - 8 - kVirtualButtonCount * 44;
  std::vector<int> cuts;
  for (int cut = 0; cut < size; ++cut)
    if (cut < buttonsAt + 8 + 2 * 44 || cut % 37 == 0 || cut == size - 1) cuts.push_back(cut);
  for (int cut : cuts) {
    const int bad = NewBuffer();
    Buffer_Get(bad)->CopyFromMemory(Buffer_Get(second)->Data(), size, 0, cut, 0);
    Buffer_Get(bad)->Resize(cut);
    Buffer_Get(bad)->Seek(eBuffer_SeekStart, 0);
    ASSERT_FALSE(Load(bad)) << "cut at " << cut;
    Buffer_Delete(bad);
  }
  EXPECT_EQ(Describe(), before);
  Buffer_Get(second)->Seek(eBuffer_SeekStart, 0);
  EXPECT_TRUE(Load(second));  // the undamaged stream still loads
  EXPECT_EQ(Describe(), before);
}

// Views are used with their edges computed in 32 bits; a saved view whose
// edge does not fit is refused rather than overflowing there.
TEST_F(GameSave, AViewWhoseEdgeOverflowsIsRefused) {
  BuildWorld();
  const std::string before = Describe();
  for (int side = 0; side < 4; ++side) {
    SCOPED_TRACE(side);
    RoomView& v = room0_->views[3];
    const RoomView kept = v;
    int32_t* edge[] = {&v.xview, &v.yview, &v.xport, &v.yport};
    *edge[side] = 2;
    v.wview = v.hview = v.wport = v.hport = INT32_MAX - 1;
    const int id = Saved();
    v = kept;
    EXPECT_FALSE(Load(id));
    EXPECT_EQ(Describe(), before);
  }
}

TEST_F(GameSave, HostileCountsAreRefusedBeforeAnythingIsMade) {
  BuildWorld();
  const std::string before = Describe();
  struct Case {
    const char* what;
    // After the globals and an empty global scope: the numbers written as
    // they stand, except -1 (a blank room record, then a huge tile count)
    // and -2 (a blank room record, no tiles, then a huge instance count).
    std::vector<int32_t> tail;
  };
  const Case cases[] = {
      {"room slots", {0x7FFFFFFF, 0, 0}},
      {"negative room slots", {-5, 0, 0}},
      {"tiles", {1, 0, 0, 1, -1}},
      {"instances", {1, 0, 0, 1, -2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int id = NewBuffer();
    IBuffer* b = Buffer_Get(id);
    SaveWriter w(b);
    w.S32(851);
    w.S32(0);  // game id
    for (int n = 0; n < 4; ++n) w.S32(0);
    w.S32(1);
    w.S32(0);
    w.Text("");
    w.S32(0);
    w.S32(0);
    w.Text("");
    w.F64(0);
    w.S32(0);
    w.Text("");
    w.S32(-1);
    w.S32(0);
    w.S32(1);
    w.S32(0);  // global variables
    w.S32(0);  // globalvar table
    for (int32_t v : c.tail) {
      if (v != -1 && v != -2) {
        w.S32(v);
        continue;
      }
      w.Text("");
      for (int n = 0; n < 4; ++n) w.S32(0);
      w.U32(0);
      w.S32(0);
      w.Text("");
      for (int n = 0; n < 8 * 13 + 1 + 8 * 16; ++n) w.S32(0);
      if (v == -1) {
        w.S32(1000000000);
      } else {
        w.S32(0);
        w.S32(1000000000);
      }
    }
    b->Seek(eBuffer_SeekStart, 0);
    EXPECT_FALSE(Load(id));
    EXPECT_EQ(Describe(), before);
  }
}

// ---- The queue ----------------------------------------------------------------------

class GameSaveFiles : public GameSave {
 protected:
  static int BuffersInUse() {
    int n = 0;
    for (int i = 0; i < Buffer_TableLength(); ++i) n += Buffer_Get(i) != nullptr;
    return n;
  }
  TempSaveArea temp_;
  const std::string& root_ = temp_.area;
};

TEST_F(GameSaveFiles, GameSaveAndGameLoadGoThroughTheSaveArea) {
  BuildWorld();
  const std::string before = Describe();
  EXPECT_EQ(Real("game_save", {"slot1.sav"}), -1);
  ASSERT_TRUE(fs::exists(fs::path(root_) / "slot1.sav"));
  Disturb();
  EXPECT_EQ(Real("game_load", {"slot1.sav"}), -1);
  // Queued, not loaded, until the next step begins.
  EXPECT_NE(Describe(), before);
  EXPECT_TRUE(GameSave_PerformQueuedLoad());
  EXPECT_EQ(Describe(), before);
  EXPECT_EQ(BuffersInUse(), 0);  // the file's buffer is gone with the load
  EXPECT_FALSE(GameSave_PerformQueuedLoad());
}

TEST_F(GameSaveFiles, OnlyOneArgumentOfTheRightKindActs) {
  BuildWorld();
  EXPECT_EQ(Real("game_save", {3}), -1);
  EXPECT_EQ(Real("game_save", {"a.sav", "b.sav"}), -1);
  EXPECT_FALSE(fs::exists(root_));  // nothing was written
  const int id = NewBuffer();
  EXPECT_EQ(Real("game_save_buffer", {"0"}), -1);
  EXPECT_EQ(Buffer_Get(id)->Position(), 0);
  EXPECT_EQ(Real("game_save_buffer", {id}), -1);
  EXPECT_GT(Buffer_Get(id)->Position(), 0);
  EXPECT_EQ(Real("game_load_buffer", {"0"}), -1);
  EXPECT_FALSE(GameSave_PerformQueuedLoad());
}

TEST_F(GameSaveFiles, AMissingFileWarnsAndChangesNothing) {
  BuildWorld();
  const std::string before = Describe();
  GameSave_LoadFile("nothing.sav");
  EXPECT_NE(log_.text.find("WARNING: Game load failed, nothing.sav not found\n"), std::string::npos);
  EXPECT_FALSE(GameSave_PerformQueuedLoad());
  EXPECT_EQ(Describe(), before);
  EXPECT_EQ(BuffersInUse(), 0);
}

TEST_F(GameSaveFiles, TheFirstOfTwoFileLoadsInAStepWins) {
  BuildWorld();
  ASSERT_TRUE(GameSave_SaveFile("first.sav"));
  const std::string first = Describe();
  g_Run.score = 1000;
  ASSERT_TRUE(GameSave_SaveFile("second.sav"));
  GameSave_LoadFile("first.sav");
  GameSave_LoadFile("second.sav");
  EXPECT_NE(log_.text.find("WARNING: Load game being ignored due to load game already queued\n"), std::string::npos);
  // A buffer queued after a file load is ignored too.
  const int id = Saved();
  EXPECT_FALSE(GameSave_QueueLoad(id));
  EXPECT_TRUE(GameSave_PerformQueuedLoad());
  EXPECT_EQ(Describe(), first);
  EXPECT_EQ(BuffersInUse(), 1);  // only the script's own buffer is left
}

TEST_F(GameSave, TheLastOfTwoBufferLoadsInAStepWins) {
  BuildWorld();
  const int first = Saved();
  g_Run.score = 1000;
  const int second = Saved();
  g_Run.score = 0;
  EXPECT_EQ(Real("game_load_buffer", {first}), -1);
  EXPECT_EQ(Real("game_load_buffer", {second}), -1);
  EXPECT_TRUE(GameSave_PerformQueuedLoad());
  EXPECT_EQ(g_Run.score, 1000);
  // The script's buffers stay with it.
  EXPECT_NE(Buffer_Get(first), nullptr);
  EXPECT_NE(Buffer_Get(second), nullptr);
}

TEST_F(GameSave, AQueuedBufferDeletedBeforeTheStepIsNotRead) {
  BuildWorld();
  const int id = Saved();
  Disturb();
  const std::string disturbed = Describe();
  EXPECT_FALSE(GameSave_QueueLoad(id + 5));
  EXPECT_NE(log_.text.find("WARNING: No buffer available for " + std::to_string(id + 5)), std::string::npos);
  ASSERT_TRUE(GameSave_QueueLoad(id));
  Buffer_Delete(id);
  log_.text.clear();
  EXPECT_FALSE(GameSave_PerformQueuedLoad());
  EXPECT_NE(log_.text.find("WARNING: No buffer available for " + std::to_string(id)), std::string::npos);
  EXPECT_EQ(Describe(), disturbed);
}

// ---- Virtual buttons ----------------------------------------------------------------

TEST(VirtualButtonsSave, RecordsComeBackAndOnlyAWholeTableWithItsTagLoads) {
  IO_VirtualButtonsClear();
  const int a = IO_VirtualButtonAlloc();
  ASSERT_EQ(a, 0);
  *IO_VirtualButton(a) = VirtualButton{1, 0, 10, 20, 30, 40, 20, 20, 0, 0, 32, 0};
  const int b = IO_VirtualButtonAlloc();
  ASSERT_EQ(b, 1);
  *IO_VirtualButton(b) = VirtualButton{3, 1, 0, 0, 5, 5, 5, 5, 1, 2, 0, 1};
  IBuffer saved(0, eBuffer_Grow, 1);
  IO_VirtualButtonsSave(&saved);
  const int end = saved.Position();
  IO_VirtualButtonsClear();
  EXPECT_EQ(IO_VirtualButtonAlloc(), 0);

  saved.Seek(eBuffer_SeekStart, 0);
  ASSERT_TRUE(IO_VirtualButtonsLoad(&saved));
  EXPECT_EQ(saved.Position(), end);
  EXPECT_EQ(IO_VirtualButton(0)->x2, 30);
  EXPECT_EQ(IO_VirtualButton(0)->key, 32);
  EXPECT_EQ(IO_VirtualButton(1)->flags, 3);
  EXPECT_EQ(IO_VirtualButton(1)->button, 1);
  EXPECT_EQ(IO_VirtualButtonAlloc(), 2);

  // Wrong tag, a count past the table, a cut record: false and unchanged.
  struct Case {
    int offset;
    int32_t value;
    int size;
  };
  for (const Case c : {Case{0, 850, end}, Case{4, kVirtualButtonCount + 1, end}, Case{4, 2, 4 + 4 + 44 + 10}}) {
    IBuffer bad(0, eBuffer_Grow, 1);
    bad.CopyFromMemory(saved.Data(), end, 0, c.size, 0);
    bad.Resize(c.size);
    ScriptValue v;
    v.real = c.value;
    bad.Poke(c.offset, eBuffer_S32, &v);
    bad.Seek(eBuffer_SeekStart, 0);
    EXPECT_FALSE(IO_VirtualButtonsLoad(&bad)) << c.offset << " " << c.value;
    EXPECT_EQ(IO_VirtualButton(1)->flags, 3);
  }
  // A count of 0 holds no records and frees them all.
  IBuffer none(0, eBuffer_Grow, 1);
  SaveWriter w(&none);
  w.S32(851);
  w.S32(0);
  none.Seek(eBuffer_SeekStart, 0);
  EXPECT_TRUE(IO_VirtualButtonsLoad(&none));
  EXPECT_EQ(IO_VirtualButtonAlloc(), 0);
  IO_VirtualButtonsClear();
}

}  // namespace
