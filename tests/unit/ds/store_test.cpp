#include "ds/store.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ds/ds.h"
#include "ds/ds_builtins.h"
#include "unit/ds/ds_call.h"
#include "unit/script/builtin_group_check.h"
#include "unit/world_reset.h"

namespace {

using dstest::Call;

// A container that counts its deletions and can hold marked values.
struct Holder : DSContainer {
  std::vector<ScriptValue> values;
  static int& Deleted() {
    static int n = 0;
    return n;
  }
  ~Holder() override {
    ++Deleted();
    for (ScriptValue& v : values) DS_ReleaseNested(this, &v);
  }
  void AddMarked(uint32_t mark, int id) {
    ScriptValue v = ScriptValue::FromReal(id);
    v.kind = mark;
    values.push_back(v);
    DS_AdoptNested(this, &values.back());
  }
};

class DSStore : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    InitDSFunctions();
    Holder::Deleted() = 0;
  }
};

TEST_F(DSStore, IdsAreSlotsReusedPerKind) {
  EXPECT_EQ(DS_Add(eDS_List, new Holder), 0);
  EXPECT_EQ(DS_Add(eDS_List, new Holder), 1);
  EXPECT_EQ(DS_Add(eDS_List, new Holder), 2);
  DS_Destroy(eDS_List, 1);
  EXPECT_EQ(Holder::Deleted(), 1);
  EXPECT_EQ(DS_Add(eDS_Map, new Holder), 0);  // ids are separate per kind
  EXPECT_EQ(DS_Add(eDS_List, new Holder), 1);
  EXPECT_EQ(DS_TableLength(eDS_List), 3);
}

TEST_F(DSStore, TablesGrowBySixteen) {
  DS_Add(eDS_Stack, new Holder);
  EXPECT_EQ(DS_TableCapacity(eDS_Stack), 16);
  for (int i = 1; i < 17; ++i) DS_Add(eDS_Stack, new Holder);
  EXPECT_EQ(DS_TableCapacity(eDS_Stack), 32);
  EXPECT_EQ(DS_TableLength(eDS_Stack), 17);
}

TEST_F(DSStore, ExistsRoundsItsArgumentsAndNeverReports) {
  DS_Add(eDS_List, new Holder);
  DS_Add(eDS_List, new Holder);
  DS_Add(eDS_List, new Holder);
  DS_Destroy(eDS_List, 1);
  struct Case {
    double id, type, expect;
  } cases[] = {
      {0.5, 2, 1}, {1.5, 2, 1}, {1, 2, 0}, {0, 7, 0}, {0, 0, 0}, {-1, 2, 0}, {3, 2, 0}, {0, 1, 0}, {2, 2.4, 1},
  };
  for (const Case& c : cases) {
    auto r = Call("ds_exists", {c.id, c.type});
    EXPECT_EQ(r.Real(), c.expect) << c.id << " " << c.type;
    EXPECT_EQ(r.error, "");
  }
}

TEST_F(DSStore, CompareValuesUnderThePrecision) {
  auto real = [](double r) { return ScriptValue::FromReal(r); };
  auto cmp = [](ScriptValue a, ScriptValue b) { return DS_CompareValues(&a, &b); };
  EXPECT_EQ(cmp(real(0.1), real(0.1 + 1e-12)), 0);
  EXPECT_EQ(cmp(real(1), real(1.00000005)), 0);
  EXPECT_EQ(cmp(real(1), real(1.0000001)), -1);
  EXPECT_EQ(cmp(real(100), real(100.000001)), 0);
  EXPECT_EQ(cmp(real(0.000000001), real(0.000000002)), 0);
  EXPECT_EQ(cmp(real(3), real(2)), 1);
  dstest::Value abc("abc"), abd("abd"), again("abc"), high("\xc3\xa9");
  EXPECT_EQ(DS_CompareValues(&abc.v, &abd.v), -1);
  EXPECT_EQ(DS_CompareValues(&abc.v, &again.v), 0);
  EXPECT_EQ(DS_CompareValues(&high.v, &abc.v), 1);  // bytes compare unsigned
  ScriptValue one = real(1);
  EXPECT_EQ(DS_CompareValues(&one, &abc.v), -1);
  EXPECT_EQ(DS_CompareValues(&abc.v, &one), 1);
  ScriptValue nullText;
  nullText.kind = kKindString;
  nullText.text = nullptr;
  EXPECT_EQ(DS_CompareValues(&nullText, &abc.v), 1);
  ScriptValue marked = real(1);
  marked.kind = DS_MARK_LIST;
  EXPECT_EQ(DS_CompareValues(&marked, &one), 1);  // a marked value is no plain real

  Call("ds_set_precision", {-0.5});
  EXPECT_EQ(DS_GetPrecision(), 0.5);
  EXPECT_EQ(cmp(real(2), real(2.4)), 0);
  EXPECT_EQ(cmp(real(2), real(2.5)), -1);
}

TEST_F(DSStore, AHolderDestroysWhatItOwnsAndSkipsWhatIsGone) {
  int outer = DS_Add(eDS_List, new Holder);
  int inner = DS_Add(eDS_List, new Holder);
  int innermost = DS_Add(eDS_Map, new Holder);
  int gone = DS_Add(eDS_List, new Holder);
  DS_GetAs<Holder>(eDS_List, inner)->AddMarked(DS_MARK_MAP, innermost);
  DS_GetAs<Holder>(eDS_List, outer)->AddMarked(DS_MARK_LIST, inner);
  DS_GetAs<Holder>(eDS_List, outer)->AddMarked(DS_MARK_LIST, gone);
  DS_Destroy(eDS_List, gone);
  DS_Destroy(eDS_List, outer);
  EXPECT_EQ(DS_Get(eDS_List, inner), nullptr);
  EXPECT_EQ(DS_Get(eDS_Map, innermost), nullptr);
  EXPECT_EQ(Holder::Deleted(), 4);
}

TEST_F(DSStore, ACopiedMarkNeverDestroysAReusedId) {
  int a = DS_Add(eDS_List, new Holder);
  int b = DS_Add(eDS_List, new Holder);
  int nested = DS_Add(eDS_List, new Holder);
  DS_GetAs<Holder>(eDS_List, a)->AddMarked(DS_MARK_LIST, nested);
  DS_GetAs<Holder>(eDS_List, b)->AddMarked(DS_MARK_LIST, nested);  // as a copy would
  DS_Destroy(eDS_List, a);
  EXPECT_EQ(DS_Get(eDS_List, nested), nullptr);
  int newcomer = DS_Add(eDS_List, new Holder);
  EXPECT_EQ(newcomer, std::min(a, nested));
  int again = DS_Add(eDS_List, new Holder);
  DS_Destroy(eDS_List, b);
  EXPECT_NE(DS_Get(eDS_List, newcomer), nullptr);
  EXPECT_NE(DS_Get(eDS_List, again), nullptr);
}

TEST_F(DSStore, CyclesAndLongChainsOfOwnershipEnd) {
  int a = DS_Add(eDS_List, new Holder);
  int b = DS_Add(eDS_List, new Holder);
  DS_GetAs<Holder>(eDS_List, a)->AddMarked(DS_MARK_LIST, b);
  DS_GetAs<Holder>(eDS_List, b)->AddMarked(DS_MARK_LIST, a);
  DS_Destroy(eDS_List, a);
  EXPECT_EQ(DS_Get(eDS_List, b), nullptr);

  int first = DS_Add(eDS_List, new Holder);
  int previous = first;
  for (int i = 0; i < 200000; ++i) {
    int next = DS_Add(eDS_List, new Holder);
    DS_GetAs<Holder>(eDS_List, previous)->AddMarked(DS_MARK_LIST, next);
    previous = next;
  }
  DS_Destroy(eDS_List, first);
  int length = 0;
  DSContainer* const* items = DS_Items(eDS_List, &length);
  for (int i = 0; i < length; ++i) EXPECT_EQ(items[i], nullptr);
}

TEST_F(DSStore, MarksCountOnlyOnReals) {
  EXPECT_TRUE(DS_MarkCounts(DS_MARK_LIST));
  EXPECT_TRUE(DS_MarkCounts(DS_MARK_MAP | DS_MARK_LIST));
  EXPECT_EQ(DS_MarkedKind(DS_MARK_MAP | DS_MARK_LIST), eDS_Map);
  EXPECT_FALSE(DS_MarkCounts(DS_MARK_LIST | kKindString));
  EXPECT_FALSE(DS_MarkCounts(kKindReal));
}

TEST_F(DSStore, TheGroupRegistersInItsOrder) {
  EXPECT_EQ(DS_Group().order.size(), 126u);
  ExpectGroupRegistered(DS_Group());
}

}  // namespace
