#include "core/object_lists.h"

#include <gtest/gtest.h>

#include <vector>

#include "object_fixtures.h"

namespace {

using fixture::AddObject;
using fixture::Handler;

class ObjectLists : public fixture::Loaded {};

std::vector<int32_t> Listed(int type, int32_t subtype) {
  auto list = ObjectLists_Get(type, subtype);
  return {list.begin(), list.end()};
}

std::vector<std::pair<int32_t, int32_t>> Pairs() {
  std::vector<std::pair<int32_t, int32_t>> out;
  for (const CollisionPair& p : ObjectLists_CollisionPairs()) out.push_back({p.a, p.b});
  return out;
}

TEST_F(ObjectLists, InheritedHandlersListTheObjectUnderItsOwnIndex) {
  const int32_t parent = AddObject();
  const int32_t plain = AddObject();
  const int32_t child = AddObject(parent);
  Handler(Object_Find(parent), kEventStep, 0);
  Handler(Object_Find(plain), kEventCreate, 0);
  Handler(Object_Find(child), kEventDraw, 0);
  Handler(Object_Find(child), kEventDraw, 64);
  Handler(Object_Find(plain), kEventAlarm, 11);
  Object_Delete(plain);
  const int32_t later = AddObject();
  Handler(Object_Find(later), kEventAlarm, 11);
  ObjectLists_Build();
  EXPECT_EQ(Listed(kEventStep, 0), (std::vector<int32_t>{parent, child}));
  EXPECT_TRUE(Listed(kEventCreate, 0).empty());  // its object was deleted
  EXPECT_EQ(Listed(kEventDraw, 0), std::vector<int32_t>{child});
  EXPECT_TRUE(Listed(kEventDraw, 64).empty());  // only the normal draw event is listed
  EXPECT_EQ(Listed(kEventAlarm, 11), std::vector<int32_t>{later});
  EXPECT_TRUE(Listed(kEventStep, 256).empty());
  EXPECT_TRUE(Listed(12, 0).empty());

  // Rebuilding forgets what is gone.
  Object_Delete(parent);
  ObjectLists_Build();
  EXPECT_TRUE(Listed(kEventStep, 0).empty());
}

TEST_F(ObjectLists, KeyboardListsStopAtSubtype128) {
  const int32_t o = AddObject();
  Handler(Object_Find(o), kEventKeyboard, 200);
  Handler(Object_Find(o), kEventKeyboard, 128);
  Handler(Object_Find(o), kEventKeyPress, 65);
  Handler(Object_Find(o), kEventOther, 129);
  ObjectLists_Build();
  EXPECT_TRUE(Listed(kEventKeyboard, 200).empty());
  EXPECT_EQ(Listed(kEventKeyboard, 128), std::vector<int32_t>{o});
  EXPECT_EQ(Listed(kEventKeyPress, 65), std::vector<int32_t>{o});
  EXPECT_TRUE(Listed(kEventOther, 129).empty());
}

TEST_F(ObjectLists, CollisionPairsAreStoredOnce) {
  for (int i = 0; i < 8; ++i) AddObject();
  Handler(Object_Find(2), kEventCollision, 5);
  Handler(Object_Find(5), kEventCollision, 2);
  Handler(Object_Find(0), kEventCollision, 0);
  Handler(Object_Find(6), kEventCollision, 1);
  ObjectLists_Build();
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {2, 5}, {6, 1}}));
  EXPECT_TRUE(Listed(kEventCollision, 5).empty());
}

TEST_F(ObjectLists, CollisionHandlersReachDescendantsAndAreInherited) {
  const int32_t target = AddObject();             // 0
  const int32_t targetChild = AddObject(target);  // 1
  const int32_t hitter = AddObject();             // 2
  const int32_t hitterChild = AddObject(hitter);  // 3
  const int32_t gone = AddObject();               // 4
  Object_Delete(gone);
  Handler(Object_Find(hitter), kEventCollision, target);
  // A handler for an object that no longer exists still pairs.
  Handler(Object_Find(target), kEventCollision, gone);
  ObjectLists_Build();
  EXPECT_EQ(Pairs(), (std::vector<std::pair<int32_t, int32_t>>{{target, gone},
                                                               {targetChild, gone},
                                                               {hitter, target},
                                                               {hitter, targetChild},
                                                               {hitterChild, target},
                                                               {hitterChild, targetChild}}));
}

}  // namespace
