#include "script/variable_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A built-in table of three names, standing in for the real one.
const char* const kBuiltins[] = {"x", "y", "score"};

int FakeFind(std::string_view name) {
  for (int i = 0; i < 3; ++i)
    if (name == kBuiltins[i]) return i;
  return -1;
}
const char* FakeName(int id) {
  return id >= 0 && id < 3 ? kBuiltins[id] : "<unknown built-in variable>";
}

// The table lives for the whole process and never forgets a name, so tests
// take names no earlier test (or earlier repeat) has entered.
std::string Fresh(const char* base) {
  static int serial = 0;
  return std::string(base) + "_" + std::to_string(serial++);
}

class VariableNames : public testing::Test {
 protected:
  void SetUp() override { VariableName_SetBuiltinLookups({FakeFind, FakeName}); }
  void TearDown() override { VariableName_SetBuiltinLookups({nullptr, nullptr}); }
};

TEST_F(VariableNames, BuiltinNamesKeepTheirIdsAndAddNothing) {
  int count = VariableName_Count();
  EXPECT_EQ(VariableName_ToID("score"), 2);
  EXPECT_EQ(VariableName_ToID("x"), 0);
  EXPECT_EQ(VariableName_Count(), count);
  // Only the built-in's exact name is built in.
  int id = VariableName_ToID("Score");
  EXPECT_GE(id, 100000);
  EXPECT_STREQ(VariableName_FromID(id), "Score");
}

TEST_F(VariableNames, NewNamesGetTheNextIdOnce) {
  int count = VariableName_Count();
  std::string name = Fresh("vn_alpha") + "x";
  std::string upper = "VN" + name.substr(2);
  int a = VariableName_ToID(name);
  EXPECT_EQ(a, 100000 + count);
  EXPECT_EQ(VariableName_ToID(name), a);
  EXPECT_EQ(VariableName_FindOrAdd(name), a);
  EXPECT_EQ(VariableName_ToID(upper), a + 1);  // case matters
  EXPECT_EQ(VariableName_Count(), count + 2);
  // A name that is a prefix of an entry, or extends one, is a name of its own.
  EXPECT_EQ(VariableName_FindOrAdd(name.substr(0, name.size() - 1)), a + 2);
  EXPECT_EQ(VariableName_FindOrAdd(name + "a"), a + 3);
  EXPECT_EQ(VariableName_FromID(a), name);
  EXPECT_EQ(VariableName_FromID(a + 1), upper);
  EXPECT_EQ(VariableName_FromID(a + 3), name + "a");
}

TEST_F(VariableNames, LookupNeverAdds) {
  int count = VariableName_Count();
  std::string name = Fresh("vn_seen");
  EXPECT_EQ(VariableName_Lookup(name), -1);
  EXPECT_EQ(VariableName_Count(), count);
  int id = VariableName_FindOrAdd(name);
  EXPECT_EQ(VariableName_Lookup(name), id);
}

TEST_F(VariableNames, IdsStayValidAsTheTableGrows) {
  // Enough names to make the table move many times over.
  std::string base = Fresh("vn_grow") + "_";
  int first = VariableName_FindOrAdd(base + "0");
  for (int i = 1; i < 300; ++i)
    ASSERT_EQ(VariableName_FindOrAdd(base + std::to_string(i)), first + i);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(VariableName_FromID(first + i), base + std::to_string(i));
  EXPECT_EQ(VariableName_Lookup(base + "0"), first);
}

TEST_F(VariableNames, NamesOfIdsOutsideTheTables) {
  const std::pair<int, const char*> cases[] = {
      {1, "y"},
      {9999, "<unknown built-in variable>"},
      {-1, "<unknown built-in variable>"},
      {99999, "<unknown built-in variable>"},
      {100000 + VariableName_Count(), "<unknown variable>"},
      {2147483647, "<unknown variable>"},
  };
  for (auto [id, name] : cases) EXPECT_STREQ(VariableName_FromID(id), name) << id;
}

TEST_F(VariableNames, TheEmptyNameIsANameLikeAnyOther) {
  int id = VariableName_FindOrAdd(std::string_view());
  EXPECT_GE(id, 100000);
  EXPECT_EQ(VariableName_FindOrAdd(""), id);
  EXPECT_STREQ(VariableName_FromID(id), "");
}

TEST_F(VariableNames, FreeKeepsTheTable) {
  std::string name = Fresh("vn_after_free");
  int id = VariableName_FindOrAdd(name);
  VariableName_Free();
  EXPECT_EQ(VariableName_FromID(id), name);
  EXPECT_EQ(VariableName_Lookup(name), id);
}

TEST(VariableNamesWithoutBuiltins, EveryNameIsAUserVariable) {
  int count = VariableName_Count();
  EXPECT_EQ(VariableName_ToID(Fresh("vn_plain")), 100000 + count);
  EXPECT_STREQ(VariableName_FromID(0), "<unknown built-in variable>");
}

}  // namespace
