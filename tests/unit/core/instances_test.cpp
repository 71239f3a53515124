#include "core/instances.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "object_fixtures.h"
#include "script/errors.h"
#include "script/memory_manager.h"

namespace {

using fixture::AddObject;

// Sprites the tests give instances: 0 is 32 × 32 with its origin in the
// middle and 3 frames, 1 has 6 frames and is precise, 2 is a 10 × 4 mask.
bool TestSprites(int32_t sprite, SpriteShape* out) {
  switch (sprite) {
    case 0: *out = {3, 0, 0, 31, 31, 16, 16, false}; return true;
    case 1: *out = {6, 0, 0, 31, 31, 16, 16, true}; return true;
    case 2: *out = {1, 0, 0, 9, 3, 0, 0, false}; return true;
    default: return false;
  }
}

class Instances : public fixture::Loaded {
 protected:
  void SetUp() override {
    fixture::Loaded::SetUp();
    Instance_SetSpriteLookup(TestSprites);
  }
  void TearDown() override {
    fixture::Loaded::TearDown();
    EXPECT_EQ(Instance_LiveCount(), 0);
  }

  // An instance made the way a room makes one: listed, mapped.
  CObjInstance* Make(InstanceList& list, int32_t object, float depth, int32_t id = 0) {
    auto* i = new CObjInstance(0, 0, id ? id : nextId_++, object, true);
    i->depth = depth;
    list.Insert(i);
    g_InstanceIdMap.Add(i);
    return i;
  }

  static std::vector<int32_t> Ids(const InstanceList& list) {
    std::vector<int32_t> out;
    for (CObjInstance* i : list) out.push_back(i->id);
    return out;
  }

  int32_t nextId_ = 100001;
};

TEST_F(Instances, ANewInstanceTakesItsObjectsDefinition) {
  const int32_t o = AddObject(-1, 35);
  CObject* obj = Object_Find(o);
  obj->flags = kObjectFlagSolid | kObjectFlagPersistent;
  obj->sprite_index = 1;
  obj->mask_index = 2;
  g_DispatchStamp = 41;
  CObjInstance i(10, 20, 100007, o, true);
  EXPECT_EQ(i.creation_stamp, 41u);
  EXPECT_EQ(i.id, 100007);
  EXPECT_EQ(i.object, obj);
  EXPECT_FLOAT_EQ(i.xstart, 10);
  EXPECT_FLOAT_EQ(i.xprevious, 10);
  EXPECT_FLOAT_EQ(i.ystart, 20);
  EXPECT_FLOAT_EQ(i.yprevious, 20);
  EXPECT_FLOAT_EQ(i.image_speed, 1);
  EXPECT_FLOAT_EQ(i.image_xscale, 1);
  EXPECT_FLOAT_EQ(i.image_alpha, 1);
  EXPECT_EQ(i.image_blend, 0xFFFFFFu);
  EXPECT_FLOAT_EQ(i.gravity_direction, 270);
  EXPECT_FLOAT_EQ(i.timeline_speed, 1);
  EXPECT_FLOAT_EQ(i.path_scale, 1);
  for (int a = 0; a < kAlarmCount; ++a) EXPECT_EQ(i.alarm[a], -1);
  EXPECT_EQ(i.path_index, -1);
  EXPECT_EQ(i.timeline_index, -1);
  EXPECT_TRUE(i.solid);
  EXPECT_FALSE(i.visible);
  EXPECT_TRUE(i.persistent);
  EXPECT_FLOAT_EQ(i.depth, 35);
  EXPECT_EQ(i.sprite_index, 1);
  EXPECT_EQ(i.mask_index, 2);
  EXPECT_TRUE(i.bbox_dirty);
  EXPECT_TRUE(i.variables);
  EXPECT_FALSE(i.slots);
  EXPECT_EQ(obj->OwnInstances().First(), &i);
  g_DispatchStamp = 0;
}

TEST_F(Instances, ObjectIndicesThatNameNothing) {
  CObjInstance none(0, 0, 100001, -1, true);
  EXPECT_EQ(none.object_index, 0);
  EXPECT_EQ(none.object, nullptr);
  EXPECT_TRUE(none.visible == false && none.sprite_index == -1 && none.depth == 0);
  CObjInstance missing(0, 0, 100002, 7, true);
  EXPECT_EQ(missing.object_index, 7);
  EXPECT_EQ(missing.object, nullptr);
}

// The machine reaches an instance's variables at the instance's own address.
TEST_F(Instances, TheScriptRuntimeSeesTheVariablesAtTheInstancesAddress) {
  CObjInstance one(0, 0, 100001, -1, true);
  ScriptInstance* part = Script_Instance(&one);
  EXPECT_EQ(static_cast<void*>(part), static_cast<void*>(static_cast<ScriptInstance*>(&one)));
  EXPECT_EQ(&part->variables, &one.variables);
}

TEST_F(Instances, CompiledSlotsInsteadOfAVariableList) {
  Instance_OverrideSlotCount(3);
  const uint32_t blocks = MemoryManager::LiveBlocks();
  {
    CObjInstance i(0, 0, 100001, -1, false);
    EXPECT_FALSE(i.variables);
    ASSERT_TRUE(i.slots);
    EXPECT_EQ(i.SlotCount(), 3);
    EXPECT_TRUE(i.slots[2].IsReal());
    EXPECT_EQ(i.slots[2].real, 0);
    ScriptValue_SetText(&i.slots[1], "a text that takes a block");
  }
  EXPECT_EQ(MemoryManager::LiveBlocks(), blocks);
}

struct BoxCase {
  const char* what;
  int32_t sprite, mask;
  float x, y, xscale, yscale, angle;
  int32_t left, top, right, bottom;
  bool precise;
};

class BoundingBoxes : public Instances, public testing::WithParamInterface<BoxCase> {};

TEST_P(BoundingBoxes, Computed) {
  const BoxCase& c = GetParam();
  CObjInstance i(c.x, c.y, 100001, -1, false);
  i.sprite_index = c.sprite;
  i.mask_index = c.mask;
  i.image_xscale = c.xscale;
  i.image_yscale = c.yscale;
  i.image_angle = c.angle;
  i.precise = !c.precise;
  i.EnsureBoundingBox();
  EXPECT_FALSE(i.bbox_dirty);
  EXPECT_EQ((std::vector<int32_t>{i.bbox_left, i.bbox_top, i.bbox_right, i.bbox_bottom}),
            (std::vector<int32_t>{c.left, c.top, c.right, c.bottom}));
  EXPECT_EQ(i.precise, c.precise);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BoundingBoxes,
    testing::Values(BoxCase{"no sprite", -1, -1, 3.7f, -2.5f, 1, 1, 0, 3, -2, 3, -2, false},
                    BoxCase{"plain", 0, -1, 100, 100, 1, 1, 0, 84, 84, 115, 115, false},
                    BoxCase{"mirrored", 0, -1, 100, 100, -1, 1, 0, 83, 84, 116, 115, false},
                    BoxCase{"flipped and doubled", 1, -1, 100, 100, 1, -2, 0, 84, 67, 115, 132, true},
                    BoxCase{"mask before sprite", 0, 2, 50, 60, 1, 1, 0, 50, 60, 59, 63, false},
                    BoxCase{"quarter turn", 0, -1, 100, 100, 1, 1, 90, 84, 85, 115, 116, false},
                    BoxCase{"halves to even", 2, -1, 0.5f, 1.5f, 1, 1, 0, 0, 2, 9, 5, false}),
    [](const testing::TestParamInfo<BoxCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name)
        if (ch == ' ') ch = '_';
      return name;
    });

TEST_F(Instances, SettersMarkTheBoxOnlyWhenTheValueChanges) {
  CObjInstance i(5, 5, 100001, -1, false);
  i.ComputeBoundingBox();
  i.SetPosition(5, 5);
  i.SetMaskIndex(-1);
  i.SetImageXScale(1);
  i.SetImageYScale(1);
  i.SetImageAngle(0);
  EXPECT_FALSE(i.bbox_dirty);
  i.SetPosition(5, 6);
  EXPECT_TRUE(i.bbox_dirty);
  i.ComputeBoundingBox();
  i.SetImageAngle(45);
  EXPECT_TRUE(i.bbox_dirty);

  EXPECT_EQ(i.GetAlarm(12), -1);
  i.SetAlarm(12, 5);
  i.SetAlarm(-1, 5);
  i.SetAlarm(11, 5);
  EXPECT_EQ(i.GetAlarm(11), 5);
  i.SetPathPosition(1.5f);
  EXPECT_FLOAT_EQ(i.path_position, 1);
  i.SetPathPositionPrevious(-0.5f);
  EXPECT_FLOAT_EQ(i.path_positionprevious, 0);
}

TEST_F(Instances, ChangingSpriteKeepsTheFrameOnlyWhenItExists) {
  CObjInstance i(0, 0, 100001, -1, false);
  i.image_index = 5;
  i.SetSpriteIndex(1);  // six frames
  EXPECT_FLOAT_EQ(i.image_index, 5);
  EXPECT_EQ(i.GetImageNumber(), 6);
  i.SetSpriteIndex(0);  // three frames
  EXPECT_FLOAT_EQ(i.image_index, 0);
  i.image_index = 2.9f;
  i.SetSpriteIndex(0);
  EXPECT_FLOAT_EQ(i.image_index, 2.9f);
  i.SetSpriteIndex(42);
  EXPECT_FLOAT_EQ(i.image_index, 0);
  EXPECT_EQ(i.GetImageNumber(), 0);
}

TEST_F(Instances, ObjectChangesReachTheListsWhenApplied) {
  const int32_t a = AddObject(-1, 5);
  const int32_t b = AddObject(-1, -7);
  const int32_t c = AddObject(-1, 9);
  Object_Find(c)->sprite_index = 1;
  InstanceList active;
  CObjInstance* i = Make(active, a, 5);
  i->ChangeObject(b);
  i->ChangeObject(c);
  EXPECT_EQ(i->previous_object, Object_Find(a));
  EXPECT_EQ(i->object_index, c);
  EXPECT_EQ(i->sprite_index, 1);
  EXPECT_FLOAT_EQ(i->depth, 9);
  EXPECT_EQ(Object_Find(a)->OwnInstances().Count(), 1);
  EXPECT_EQ(Object_Find(c)->OwnInstances().Count(), 0);
  EXPECT_EQ(PendingObjectChanges.Count(), 1);
  EXPECT_TRUE(PendingDepthChanges.Contains(i));

  Instance_ApplyObjectChanges();
  EXPECT_TRUE(PendingObjectChanges.Empty());
  EXPECT_EQ(i->previous_object, nullptr);
  EXPECT_EQ(Object_Find(a)->OwnInstances().Count(), 0);
  EXPECT_EQ(Object_Find(b)->OwnInstances().Count(), 0);
  EXPECT_EQ(Object_Find(c)->OwnInstances().First(), i);
  EXPECT_FLOAT_EQ(i->sort_key, 9);

  // A change into an object that does not exist leaves the instance without one.
  i->ChangeObject(99);
  EXPECT_EQ(i->object, nullptr);
  Instance_ApplyObjectChanges();
  EXPECT_EQ(Object_Find(c)->OwnInstances().Count(), 0);
}

TEST_F(Instances, CopiesTakeStateAndDeepVariablesButNotIdentityOfPlace) {
  const int32_t o = AddObject();
  InstanceList active;
  CObjInstance* source = Make(active, o, 3);
  source->path_index = 4;
  source->path_xstart = 12;
  source->path_ystart = -8;
  source->timeline_running = true;
  source->alarm[3] = 17;
  source->creation_stamp = 99;
  ScriptValue element = ScriptValue::FromReal(5);
  source->variables->Write(100000, 2, &element);
  PendingDepthChanges.AddUnique(source);

  CObjInstance copy(0, 0, 1, -1, false);
  copy.CopyFrom(*source, true);
  EXPECT_EQ(copy.id, source->id);
  EXPECT_EQ(copy.path_index, 4);
  EXPECT_FLOAT_EQ(copy.path_xstart, 12);
  EXPECT_FLOAT_EQ(copy.path_ystart, -8);
  EXPECT_TRUE(copy.timeline_running);
  EXPECT_EQ(copy.alarm[3], 17);
  EXPECT_EQ(copy.creation_stamp, 0u);
  EXPECT_EQ(copy.List(), nullptr);
  EXPECT_FALSE(PendingDepthChanges.Contains(&copy));
  EXPECT_EQ(Object_Find(o)->OwnInstances().Count(), 2);

  ScriptValue changed = ScriptValue::FromReal(6);
  copy.variables->Write(100000, 2, &changed);
  ScriptValue out;
  source->variables->Read(100000, 2, &out);
  EXPECT_EQ(out.real, 5);
  ScriptValue_Free(&out);
}

// ---- Physics bodies ---------------------------------------------------------------

std::vector<PhysicsFixtureRequest> g_bound;

void UsePhysicsHooks() {
  g_bound.clear();
  InstancePhysicsHooks hooks;
  hooks.world_scale = [](CGameRoom*) { return 0.5f; };
  hooks.bind_fixture = [](CGameRoom*, CObjInstance*, const PhysicsFixtureRequest& f) { g_bound.push_back(f); };
  Instance_SetPhysicsHooks(hooks);
}

TEST_F(Instances, PhysicsFixturesFollowTheShapeAndTheImageScale) {
  UsePhysicsHooks();
  const int32_t o = AddObject();
  CObject* obj = Object_Find(o);
  obj->SetName("obj_ball");
  obj->sprite_index = 0;
  obj->uses_physics = true;
  obj->physics_shape = 2;
  obj->density = 0.75f;
  obj->physics_points = {{0, 0}, {4, 0}, {4, 2}};
  CObjInstance mirrored(0, 0, 100001, o, false);
  mirrored.image_xscale = -1;
  mirrored.CreatePhysicsBody(nullptr);
  ASSERT_EQ(g_bound.size(), 1u);
  ASSERT_EQ(g_bound[0].points.size(), 3u);
  EXPECT_FLOAT_EQ(g_bound[0].points[0].x, -2);  // reversed: (4, 2) comes first
  EXPECT_FLOAT_EQ(g_bound[0].points[0].y, 1);
  EXPECT_FLOAT_EQ(g_bound[0].points[2].x, 0);
  EXPECT_FLOAT_EQ(g_bound[0].density, 0.75f);

  obj->physics_shape = 0;
  CObjInstance circle(0, 0, 100002, o, false);
  circle.image_xscale = circle.image_yscale = -3;
  circle.CreatePhysicsBody(nullptr);
  EXPECT_FLOAT_EQ(g_bound.back().radius, 4 * 0.5f * 3);

  const bool showErrors = g_ShowErrors;
  g_ShowErrors = false;
  testing::internal::CaptureStdout();
  circle.image_yscale = 2;
  circle.CreatePhysicsBody(nullptr);
  EXPECT_FLOAT_EQ(g_bound.back().radius, 2);
  EXPECT_EQ(Error_LastText(),
            "Image scale for physics object using circle collision should not vary across axes: obj_ball\n");
  obj->physics_points.resize(1);
  circle.CreatePhysicsBody(nullptr);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(g_bound.size(), 4u);
  EXPECT_FLOAT_EQ(g_bound.back().radius, 0);
  g_ShowErrors = showErrors;
  Error_ResetForTests();

  // No sprite, or no physics: no body.
  circle.sprite_index = 9;
  circle.CreatePhysicsBody(nullptr);
  obj->uses_physics = false;
  mirrored.CreatePhysicsBody(nullptr);
  EXPECT_EQ(g_bound.size(), 4u);
}

// ---- Instance lists ---------------------------------------------------------------------

TEST_F(Instances, InsertionKeepsDepthOrderAndInsertionOrderForTies) {
  InstanceList list;
  for (float d : {0.0f, 10.0f, 0.0f, -5.0f}) Make(list, -1, d);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{100004, 100001, 100003, 100002}));
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.First()->id, 100004);
  EXPECT_EQ(list.Last()->id, 100002);
  EXPECT_EQ(list.Last()->Prev()->id, 100003);
}

TEST_F(Instances, NaNDepthsSortLast) {
  InstanceList list;
  Make(list, -1, std::nanf(""));
  Make(list, -1, 3);
  Make(list, -1, std::nanf(""));
  Make(list, -1, 1);
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{100004, 100002, 100001, 100003}));
}

TEST_F(Instances, DepthChangesWaitForTheFlush) {
  InstanceList list;
  Make(list, -1, 0);
  CObjInstance* mover = Make(list, -1, 10);
  mover->SetDepth(-100);
  mover->SetDepth(-100);
  EXPECT_EQ(PendingDepthChanges.Count(), 1);
  EXPECT_EQ(list.Last(), mover);
  Instance_ApplyDepthChanges(list);
  EXPECT_EQ(list.First(), mover);
  EXPECT_FLOAT_EQ(mover->sort_key, -100);
  EXPECT_TRUE(PendingDepthChanges.Empty());
  // Deactivated instances and instances of other lists are not moved.
  InstanceList other;
  CObjInstance* elsewhere = Make(other, -1, 1);
  mover->deactivated = true;
  mover->SetDepth(50);
  elsewhere->SetDepth(-50);
  Instance_ApplyDepthChanges(list);
  EXPECT_EQ(list.First(), mover);
  EXPECT_EQ(elsewhere->List(), &other);
  EXPECT_TRUE(PendingDepthChanges.Empty());
}

// Reference: remove every moved instance, then insert each in pending order
// before the first instance of greater depth.
std::vector<int32_t> ReinsertedOneByOne(std::vector<std::pair<float, int32_t>> list,
                                        const std::vector<std::pair<float, int32_t>>& moved) {
  for (const auto& m : moved)
    std::erase_if(list, [&](const std::pair<float, int32_t>& e) { return e.second == m.second; });
  for (const auto& m : moved) {
    auto at = std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.first > m.first; });
    list.insert(at, m);
  }
  std::vector<int32_t> ids;
  for (const auto& e : list) ids.push_back(e.second);
  return ids;
}

TEST_F(Instances, BatchedDepthChangesMatchInsertingOneByOne) {
  std::mt19937 random(7);
  for (size_t movedCount : {3u, 8u, 9u, 60u, 200u}) {
    InstanceList list;
    std::vector<CObjInstance*> all;
    for (int n = 0; n < 200; ++n) all.push_back(Make(list, -1, float(random() % 12)));
    std::vector<std::pair<float, int32_t>> before;
    for (CObjInstance* i : list) before.push_back({i->sort_key, i->id});
    std::shuffle(all.begin(), all.end(), random);
    std::vector<std::pair<float, int32_t>> moved;
    for (size_t k = 0; k < movedCount; ++k) {
      float d = float(random() % 12);
      if (d == all[k]->depth) d += 12;  // an unchanged depth is not a change
      all[k]->SetDepth(d);
      moved.push_back({all[k]->depth, all[k]->id});
    }
    Instance_ApplyDepthChanges(list);
    EXPECT_EQ(Ids(list), ReinsertedOneByOne(before, moved)) << movedCount << " moved";
    EXPECT_EQ(list.Count(), 200);
    list.DeleteAll();
  }
}

TEST_F(Instances, DeletingTheOnlyInstanceEmptiesTheList) {
  InstanceList list;
  delete Make(list, -1, 0);
  EXPECT_EQ(list.First(), nullptr);
  EXPECT_EQ(list.Last(), nullptr);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(g_InstanceIdMap.Count(), 0);
}

TEST_F(Instances, DeadInstancesStayUntilRemovedAndLeaveEveryList) {
  const int32_t o = AddObject();
  InstanceList list;
  CObjInstance* first = Make(list, o, 0);
  CObjInstance* doomed = Make(list, o, 0);
  Make(list, o, 0);
  int walked = 0;
  for (CObjInstance* i : list) {
    ++walked;
    if (i == first) doomed->SetMarkedDead(true);
  }
  EXPECT_EQ(walked, 3);
  doomed->SetDepth(4);
  doomed->ChangeObject(o);
  PendingActivationChanges.AddUnique(doomed);
  const int32_t id = doomed->id;
  list.DeleteMarkedDead();
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(Instance_FindByID(id), nullptr);
  EXPECT_TRUE(PendingDepthChanges.Empty());
  EXPECT_TRUE(PendingObjectChanges.Empty());
  EXPECT_TRUE(PendingActivationChanges.Empty());
  EXPECT_TRUE(PendingDepthChanges.Take().empty());
  EXPECT_EQ(Object_Find(o)->OwnInstances().Count(), 2);
}

TEST_F(Instances, ListsCountTheirDeadSoThatRemovalFindsEveryOne) {
  // Removing the dead walks a list only while it holds some, so its count
  // must follow every mark, move between lists, copy and deletion.
  const int32_t o = AddObject();
  InstanceList active, other;
  CObjInstance* first = Make(active, o, 0);
  CObjInstance* middle = Make(active, o, 1);
  CObjInstance* last = Make(active, o, 2);
  EXPECT_EQ(active.DeadCount(), 0);
  active.DeleteMarkedDead();
  EXPECT_EQ(active.Count(), 3);

  last->SetMarkedDead(true);
  last->SetMarkedDead(true);  // marked twice, counted once
  EXPECT_EQ(active.DeadCount(), 1);
  // A dead instance moved to another list is counted there.
  other.Append(last);
  EXPECT_EQ(active.DeadCount(), 0);
  EXPECT_EQ(other.DeadCount(), 1);
  active.Insert(last);
  EXPECT_EQ(other.DeadCount(), 0);
  EXPECT_EQ(active.DeadCount(), 1);
  // A copy takes the source's mark, either way.
  first->CopyFrom(*last, false);
  EXPECT_EQ(active.DeadCount(), 2);
  first->CopyFrom(*middle, false);
  EXPECT_EQ(active.DeadCount(), 1);
  // Not listed: nothing to count; listed later: counted then.
  auto* loose = new CObjInstance(0, 0, 100050, o, true);
  loose->SetMarkedDead(true);
  EXPECT_EQ(active.DeadCount(), 1);
  active.Insert(loose);
  EXPECT_EQ(active.DeadCount(), 2);

  // The last instance of the list is dead too: the walk reaches it.
  const int32_t lastId = last->id;
  active.DeleteMarkedDead();
  EXPECT_EQ(Ids(active), (std::vector<int32_t>{first->id, middle->id}));
  EXPECT_EQ(active.DeadCount(), 0);
  EXPECT_EQ(Instance_FindByID(lastId), nullptr);
  middle->SetMarkedDead(true);
  middle->SetMarkedDead(false);
  active.DeleteMarkedDead();
  EXPECT_EQ(active.Count(), 2);
  active.DeleteAll();
}

TEST_F(Instances, ActivationMovesBetweenTheListsAndTheObjectLists) {
  const int32_t o = AddObject();
  InstanceList active, deactivated;
  CObjInstance* a = Make(active, o, 1);
  CObjInstance* b = Make(active, o, 2);
  // Deactivated and reactivated in one step: nothing moves.
  b->deactivated = true;
  b->deactivated = false;
  a->deactivated = true;
  Instance_ApplyActivationChanges(active, deactivated);
  EXPECT_EQ(Ids(active), std::vector<int32_t>{b->id});
  EXPECT_EQ(deactivated.First(), a);
  EXPECT_EQ(Object_Find(o)->OwnInstances().Count(), 1);
  EXPECT_EQ(Instance_FindByID(a->id), a);

  a->deactivated = false;
  a->depth = 5;
  Instance_ApplyActivationChanges(active, deactivated);
  EXPECT_EQ(Ids(active), (std::vector<int32_t>{b->id, a->id}));
  EXPECT_EQ(deactivated.Count(), 0);
  EXPECT_EQ(Object_Find(o)->OwnInstances().Count(), 2);
}

// ---- The instance-id map -------------------------------------------------------------

TEST_F(Instances, SharedIdsFindTheOlderAndRemoveOnlyTheOneAsked) {
  InstanceList list;
  CObjInstance* older = Make(list, -1, 0, 100050);
  CObjInstance* newer = Make(list, -1, 0, 100050);
  CObjInstance* neighbour = Make(list, -1, 0, 100050 + 512);
  EXPECT_EQ(Instance_FindByID(100050), older);
  delete newer;
  EXPECT_EQ(Instance_FindByID(100050), older);
  newer = Make(list, -1, 0, 100050);
  delete older;
  EXPECT_EQ(Instance_FindByID(100050), newer);
  EXPECT_EQ(Instance_FindByID(100050 + 512), neighbour);
  EXPECT_EQ(g_InstanceIdMap.Count(), 2);
  g_InstanceIdMap.Add(newer);  // already there
  EXPECT_EQ(g_InstanceIdMap.Count(), 2);
  EXPECT_EQ(Instance_FindByID(-4), nullptr);
}

TEST_F(Instances, TheMapGrowsAndKeepsEveryInstance) {
  InstanceList list;
  std::vector<CObjInstance*> made;
  for (int n = 0; n < 5000; ++n) made.push_back(Make(list, -1, 0, 100000 + (n * 7919) % 20011));
  made.push_back(Make(list, -1, 0, made[0]->id));  // a second holder of one id
  for (size_t n = 0; n < made.size(); n += 2) delete made[n];
  EXPECT_EQ(g_InstanceIdMap.Count(), 2500);
  for (size_t n = 1; n < made.size(); n += 2) EXPECT_EQ(Instance_FindByID(made[n]->id), made[n]);
  Instance_DestroyAll();
  EXPECT_EQ(g_InstanceIdMap.Count(), 0);
  EXPECT_EQ(list.Count(), 0);
  Instance_DestroyAll();
  EXPECT_EQ(g_InstanceIdMap.Count(), 0);
}

}  // namespace
