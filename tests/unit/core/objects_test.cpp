#include "core/objects.h"

#include <gtest/gtest.h>

#include <cctype>

#include "core/run_state.h"
#include "object_fixtures.h"
#include "runner/error_hooks.h"
#include "script/errors.h"

namespace {

using fixture::AddObject;
using fixture::Handler;

class ObjectLoad : public fixture::Loaded {};

TEST_F(ObjectLoad, RecordFieldsEventsAndEmptySlots) {
  fixture::Game g;
  g.objt = true;
  g.code_records = 4;
  fixture::Object a;
  a.name = "obj_player";
  a.sprite = 7;
  a.visible = false;
  a.solid = true;
  a.persistent = true;
  a.depth = -20;
  a.parent = 2;
  a.mask = 9;
  a.physics = true;
  a.sensor = true;
  a.shape = 2;
  a.group = -3;
  a.points = {{1.5f, 2.5f}, {-3, 4}};
  a.events = {{kEventStep, 0, fixture::Action{3}}, {kEventOther, 70, fixture::Action{1}}};
  fixture::Object parent;
  parent.name = "obj_base";
  g.objects = {a, std::nullopt, parent};
  Load(g);

  ASSERT_EQ(Object_Count(), 3);
  EXPECT_FALSE(Object_Exists(1));
  EXPECT_EQ(Object_GetName(1), "<undefined>");
  EXPECT_EQ(Object_GetName(3), "<undefined>");
  EXPECT_EQ(Object_FindByName("obj_base"), 2);
  EXPECT_EQ(Object_FindByName("obj_missing"), -1);

  CObject* o = Object_Find(0);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->index, 0);
  EXPECT_EQ(o->Name(), "obj_player");
  EXPECT_EQ(o->sprite_index, 7);
  EXPECT_EQ(o->flags, kObjectFlagSolid | kObjectFlagPersistent);
  EXPECT_EQ(o->depth, -20);
  EXPECT_EQ(o->parent_index, 2);
  EXPECT_EQ(o->Parent(), Object_Find(2));
  EXPECT_EQ(o->mask_index, 9);
  EXPECT_TRUE(o->uses_physics);
  EXPECT_TRUE(o->physics_sensor);
  EXPECT_EQ(o->physics_shape, 2);
  EXPECT_EQ(o->physics_group, -3);
  EXPECT_FLOAT_EQ(o->density, 0.5f);
  EXPECT_FLOAT_EQ(o->restitution, 0.1f);
  EXPECT_FLOAT_EQ(o->linear_damping, 0.2f);
  EXPECT_FLOAT_EQ(o->angular_damping, 0.3f);
  EXPECT_FLOAT_EQ(o->friction, 0.4f);
  EXPECT_TRUE(o->physics_awake);
  EXPECT_FALSE(o->physics_kinematic);
  ASSERT_EQ(o->physics_points.size(), 2u);
  EXPECT_FLOAT_EQ(o->physics_points[1].x, -3);
  EXPECT_FLOAT_EQ(o->physics_points[1].y, 4);

  // Events read after the points: code from the code table, by index.
  ASSERT_TRUE(o->GetEvent(kEventStep, 0));
  EXPECT_EQ(o->GetEvent(kEventStep, 0)->Code()->Index(), 3);
  EXPECT_TRUE(o->GetEvent(kEventStep, 0)->SourceText().empty());
  EXPECT_EQ(o->EventCount(kEventOther), 71);
  EXPECT_EQ(o->GetEvent(kEventOther, 70)->Code()->Index(), 1);
  EXPECT_FALSE(o->GetEvent(kEventOther, 69));
  EXPECT_EQ(Object_Find(2)->EventCount(kEventStep), 0);
}

struct VersionCase {
  uint8_t version;
  bool physics;
  float friction;
  bool awake;
};

class ObjectVersions : public fixture::Loaded, public testing::WithParamInterface<VersionCase> {};

// The physics block arrives with version 6 and its last three words with
// version 9; the events follow wherever the record ends.
TEST_P(ObjectVersions, PhysicsBlockByVersion) {
  const VersionCase& c = GetParam();
  fixture::Game g;
  g.version = c.version;
  g.objt = true;
  fixture::Object o;
  o.physics = true;
  o.kinematic = true;
  o.points = {{1, 2}};
  o.events = {{kEventCreate, 0, fixture::Action{0, "x = 1"}}};
  g.objects = {o};
  Load(g);
  CObject* obj = Object_Find(0);
  ASSERT_TRUE(obj);
  EXPECT_EQ(obj->uses_physics, c.physics);
  EXPECT_FLOAT_EQ(obj->friction, c.friction);
  EXPECT_EQ(obj->physics_awake, c.awake);
  EXPECT_EQ(obj->physics_kinematic, c.version >= 9);
  EXPECT_EQ(obj->physics_points.size(), c.physics ? 1u : 0u);
  ASSERT_TRUE(obj->GetEvent(kEventCreate, 0));
  EXPECT_EQ(obj->GetEvent(kEventCreate, 0)->SourceText(), "x = 1");
}

INSTANTIATE_TEST_SUITE_P(Table, ObjectVersions,
                         testing::Values(VersionCase{5, false, 0.0f, false}, VersionCase{6, true, 0.2f, true},
                                         VersionCase{8, true, 0.2f, true}, VersionCase{9, true, 0.4f, true},
                                         VersionCase{13, true, 0.4f, true}));

TEST_F(ObjectLoad, SpriteWordMarkBit) {
  struct Case {
    uint32_t word;
    int32_t sprite;
  };
  for (const Case c : {Case{0xFFFFFFFFu, -1}, Case{0x90000001u, int32_t(0x90000001u)}, Case{5, 5},
                       Case{0x80000003u, 3}}) {
    fixture::Game g;
    g.objt = true;
    fixture::Object o;
    o.sprite = c.word;
    g.objects = {o};
    Load(g);
    EXPECT_EQ(Object_Find(0)->sprite_index, c.sprite) << std::hex << c.word;
  }
  EXPECT_TRUE(Object_SpriteMarkSeen());
}

TEST_F(ObjectLoad, EventWithoutActionsHasNoCodeAndRepeatedSubtypeKeepsTheLater) {
  fixture::Game g;
  g.objt = true;
  g.code_records = 3;
  fixture::Object o;
  o.events = {{kEventAlarm, 4, std::nullopt}, {kEventDraw, 0, fixture::Action{1}}, {kEventDraw, 0, fixture::Action{2}}};
  g.objects = {o};
  Load(g);
  CObject* obj = Object_Find(0);
  EXPECT_EQ(obj->EventCount(kEventAlarm), 5);
  EXPECT_FALSE(obj->GetEvent(kEventAlarm, 4));
  EXPECT_FALSE(Object_HasEventInherited(0, kEventAlarm, 4));
  EXPECT_EQ(obj->GetEvent(kEventDraw, 0)->Code()->Index(), 2);
}

struct BadCase {
  const char* what;
  void (*spoil)(fixture::Game&);
  const char* message;
};

class ObjectBadData : public fixture::Loaded, public testing::WithParamInterface<BadCase> {};

TEST_P(ObjectBadData, RefusedWithoutAnyObjectLeft) {
  fixture::Game g;
  g.objt = true;
  g.code_records = 2;
  fixture::Object first;
  first.name = "first";
  fixture::Object second;
  second.name = "second";
  second.events = {{kEventStep, 0, fixture::Action{1}}};
  g.objects = {first, second};
  GetParam().spoil(g);
  std::string error = LoadError(g);
  EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
  EXPECT_EQ(Object_Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ObjectBadData,
    testing::Values(
        BadCase{"thirteen types", [](fixture::Game& g) { g.objects[1]->type_count = 13; }, "13 event types"},
        BadCase{"huge subtype",
                [](fixture::Game& g) { g.objects[1]->events[0] = {kEventOther, 0x7FFFFFFF, fixture::Action{0}}; },
                "subtype 2147483647, outside 0..255"},
        BadCase{"negative subtype",
                [](fixture::Game& g) { g.objects[1]->events[0] = {kEventKeyPress, -1, fixture::Action{0}}; },
                "subtype -1"},
        BadCase{"collision beyond object indices",
                [](fixture::Game& g) { g.objects[1]->events[0] = {kEventCollision, 100000, fixture::Action{0}}; },
                "outside 0..99999"},
        BadCase{"code index past the table", [](fixture::Game& g) { g.objects[1]->events[0].action->code = 2; },
                "names code entry 2, but the code table has 2 entries"},
        BadCase{"negative code index", [](fixture::Game& g) { g.objects[1]->events[0].action->code = -1; },
                "names code entry -1"},
        BadCase{"physics points past the end", [](fixture::Game& g) { g.objects[1]->point_count = 0x20000000; },
                "physics points run past the end"},
        BadCase{"event list count past the end", [](fixture::Game& g) { g.objects[1]->list_count = 0x40000000; },
                "more than the container holds"},
        BadCase{"shared record with many events",
                [](fixture::Game& g) {
                  g.objects.resize(1);
                  for (int32_t s = 0; s < 300; ++s) g.objects[0]->events.push_back({kEventCollision, s, fixture::Action{0}});
                  g.shared_object_slots = 4000;
                },
                "overlap"}),
    [](const testing::TestParamInfo<BadCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST_F(ObjectLoad, ObjectNamesOfTheRecordsInTheMessage) {
  fixture::Game g;
  g.objt = true;
  fixture::Object o;
  o.type_count = 99;
  g.objects = {std::nullopt, o};
  EXPECT_EQ(LoadError(g).rfind("OBJT object 1 at 0x", 0), 0u);
}

// ---- The parent relation ------------------------------------------------------

class ObjectTable : public fixture::Loaded {};

TEST_F(ObjectTable, ParentsAncestorsAndBrokenRelations) {
  const int32_t root = AddObject();
  const int32_t mid = AddObject(root);
  const int32_t leaf = AddObject(mid);
  const int32_t outside = AddObject(100000);
  const int32_t missing = AddObject(999);
  EXPECT_EQ(Object_Find(leaf)->Parent(), Object_Find(mid));
  EXPECT_TRUE(Object_Find(leaf)->HasAncestor(root));
  EXPECT_TRUE(Object_Find(leaf)->HasAncestor(mid));
  EXPECT_FALSE(Object_Find(leaf)->HasAncestor(leaf));
  EXPECT_FALSE(Object_Find(root)->HasAncestor(leaf));
  EXPECT_FALSE(Object_Find(outside)->Parent());
  EXPECT_FALSE(Object_Find(missing)->Parent());
}

TEST_F(ObjectTable, ParentLoopsAreCutWhereTheyClose) {
  const int32_t a = AddObject();
  const int32_t b = AddObject(a);
  const int32_t self = AddObject();
  Object_Find(a)->parent_index = b;  // a <-> b
  Object_Find(self)->parent_index = self;
  Object_LinkParents();
  // a comes first in index order, so b's link back to a closes the loop.
  EXPECT_EQ(Object_Find(a)->Parent(), Object_Find(b));
  EXPECT_FALSE(Object_Find(b)->Parent());
  EXPECT_FALSE(Object_Find(self)->Parent());
  EXPECT_FALSE(Object_Find(self)->HasAncestor(self));
  EXPECT_FALSE(Object_Find(a)->HasAncestor(a));
  // Look-ups along the cut chain end.
  Handler(Object_Find(b), kEventStep, 0);
  EXPECT_TRUE(Object_FindEventInherited(a, kEventStep, 0));
  EXPECT_FALSE(Object_FindEventInherited(self, kEventStep, 1));
}

TEST_F(ObjectTable, InheritedHandlersAndTheCollisionRule) {
  const int32_t grand = AddObject();
  const int32_t parent = AddObject(grand);
  const int32_t child = AddObject(parent);
  const int32_t a = AddObject();
  const int32_t aChild = AddObject(a);
  CEvent* step = Handler(Object_Find(parent), kEventStep, 0);
  CEvent* forGrand = Handler(Object_Find(a), kEventCollision, grand);
  CEvent* forParent = Handler(Object_Find(a), kEventCollision, parent);

  int32_t found = -7;
  EXPECT_EQ(Object_FindEventInherited(child, kEventStep, 0, &found), step);
  EXPECT_EQ(found, parent);
  EXPECT_FALSE(Object_FindEventInherited(child, kEventStep, 1, &found));
  EXPECT_EQ(found, child);
  EXPECT_TRUE(Object_HasEventInherited(child, kEventStep, 0));
  EXPECT_FALSE(Object_FindEventInherited(999, kEventStep, 0));

  // The nearest ancestor of the other object wins, searched through the
  // whole chain of the object with the handler.
  EXPECT_EQ(Object_FindEventInherited(aChild, kEventCollision, child, &found), forParent);
  EXPECT_EQ(found, a);
  EXPECT_EQ(Object_FindEventInherited(a, kEventCollision, parent), forParent);
  EXPECT_EQ(Object_FindEventInherited(a, kEventCollision, grand), forGrand);
  // No collision rule for the plain question.
  EXPECT_FALSE(Object_HasEventInherited(a, kEventCollision, child));
  EXPECT_FALSE(Object_FindEventInherited(child, kEventCollision, a));
}

TEST_F(ObjectTable, InstancesJoinTheirObjectAndEveryAncestor) {
  const int32_t root = AddObject();
  const int32_t mid = AddObject(root);
  const int32_t leaf = AddObject(mid);
  CObjInstance rootInstance(0, 0, 100001, root, true);
  auto leafInstance = std::make_unique<CObjInstance>(0, 0, 100002, leaf, true);
  EXPECT_EQ(Object_Find(root)->OwnInstances().Count(), 1);
  EXPECT_EQ(Object_Find(root)->AllInstances().Count(), 2);
  EXPECT_EQ(Object_Find(mid)->OwnInstances().Count(), 0);
  EXPECT_EQ(Object_Find(mid)->AllInstances().First(), leafInstance.get());
  EXPECT_EQ(Object_Find(leaf)->OwnInstances().First(), leafInstance.get());

  // Joining again never lists the instance twice.
  Object_Find(leaf)->AddInstance(leafInstance.get());
  EXPECT_EQ(Object_Find(root)->AllInstances().Count(), 2);

  // The relation changes under the instance; leaving still takes it out of
  // exactly the lists it joined.
  Object_Find(leaf)->parent_index = -1;
  Object_LinkParents();
  Object_Find(leaf)->RemoveInstance(leafInstance.get());
  EXPECT_EQ(Object_Find(root)->AllInstances().Count(), 1);
  EXPECT_EQ(Object_Find(mid)->AllInstances().Count(), 0);
  EXPECT_EQ(Object_Find(leaf)->OwnInstances().Count(), 0);
  Object_Find(leaf)->AddInstance(leafInstance.get());
  leafInstance.reset();
  EXPECT_EQ(Object_Find(leaf)->AllInstances().Count(), 0);
  EXPECT_EQ(Object_Find(root)->AllInstances().First(), &rootInstance);
}

TEST_F(ObjectTable, AddDeleteAndTableOrder) {
  for (int i = 0; i < 600; ++i) AddObject();
  EXPECT_EQ(Object_GetName(599), "__newobject599");
  Object_Find(2)->SetName("dup");
  Object_Find(513)->SetName("dup");
  // Table order goes by index modulo 512 first: 513 comes before 2.
  EXPECT_EQ(Object_FindByName("dup"), 513);

  const int32_t parent = 3, child = 4;
  Object_Find(child)->parent_index = parent;
  Object_LinkParents();
  auto orphan = std::make_unique<CObjInstance>(0, 0, 100001, parent, true);
  CObjInstance childInstance(0, 0, 100002, child, true);
  EXPECT_TRUE(Object_Delete(parent));
  EXPECT_FALSE(Object_Delete(parent));
  EXPECT_FALSE(Object_Exists(parent));
  EXPECT_EQ(Object_Count(), 600);
  EXPECT_FALSE(Object_Find(child)->Parent());
  EXPECT_EQ(orphan->object, nullptr);
  EXPECT_EQ(orphan->object_index, parent);
  orphan.reset();  // must not reach the deleted definition
  EXPECT_EQ(Object_Find(child)->AllInstances().Count(), 1);
  EXPECT_EQ(Object_Add(), 600);
}

TEST_F(ObjectTable, PrepareCompilesTextCodeUnderItsEventName) {
  static std::vector<std::string> names;
  names.clear();
  Event_SetCompiler([](CCode*, const std::string& name) {
    names.push_back(name);
    return name != "Object.bad.Step.0";
  });
  const int32_t good = AddObject();
  Object_Find(good)->SetName("good");
  Object_Find(good)->AddEvent(kEventCreate, 0)->SetCode(std::make_unique<CCode>("x = 1", false), "x = 1");
  testing::internal::CaptureStdout();
  EXPECT_TRUE(Object_Prepare());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Preparing 1 objects:\n\tObjects 0: good\n");
  EXPECT_EQ(names, std::vector<std::string>{"Object.good.Create.0"});

  const bool showErrors = g_ShowErrors;
  g_ShowErrors = false;
  Runner_InstallErrorHooks();  // the header names the object
  const int32_t bad = AddObject();
  Object_Find(bad)->SetName("bad");
  Object_Find(bad)->AddEvent(kEventStep, 0)->SetCode(std::make_unique<CCode>("x =", false), "x =");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(Object_Prepare());
  testing::internal::GetCapturedStdout();
  EXPECT_NE(Error_LastText().find("COMPILATION ERROR in code action\n"), std::string::npos);
  EXPECT_NE(Error_LastText().find("for object bad"), std::string::npos);
  g_ShowErrors = showErrors;
  Runner_RemoveErrorHooks();
  Error_ResetForTests();
  g_Run.new_room = kNewRoomNone;
  Event_SetCompiler(nullptr);
}

}  // namespace
