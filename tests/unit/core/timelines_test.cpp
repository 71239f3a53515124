#include "core/timelines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/run_loop.h"
#include "object_fixtures.h"

namespace {

class TimeLines : public fixture::Loaded {
 protected:
  void TearDown() override {
    TimeLine_SetScriptRunner(nullptr);
    Event_SetCompiler(nullptr);
    g_Run = RunGlobals();
    fixture::Loaded::TearDown();
  }

  // One timeline with moments at these steps, every moment with code entry i.
  CTimeLine* LoadSteps(std::vector<int32_t> steps) {
    fixture::Game g;
    g.tmln = true;
    g.code_records = int(steps.size()) + 1;
    fixture::TimeLine t;
    for (size_t i = 0; i < steps.size(); ++i) t.moments.push_back({steps[i], fixture::Action{int32_t(i)}});
    g.timelines = {t};
    Load(g);
    return TimeLine_Get(0);
  }

  static std::vector<int32_t> Steps(const CTimeLine* t) {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < t->MomentCount(); ++i) out.push_back(t->GetMomentStep(i));
    return out;
  }
};

TEST_F(TimeLines, LoadsNamesSlotsAndMoments) {
  fixture::Game g;
  g.tmln = true;
  g.code_records = 3;
  fixture::TimeLine a;
  a.name = "tl_intro";
  a.moments = {{0, fixture::Action{2}}, {30, std::nullopt}};
  fixture::TimeLine b;
  b.name = "tl_empty";
  g.timelines = {a, std::nullopt, b};
  Load(g);
  EXPECT_EQ(TimeLine_Count(), 3);
  EXPECT_EQ(TimeLine_GetName(0), "tl_intro");
  EXPECT_EQ(TimeLine_GetName(1), "<undefined>");
  EXPECT_EQ(TimeLine_GetName(-1), "<undefined>");
  EXPECT_FALSE(TimeLine_Exists(1));
  EXPECT_EQ(TimeLine_FindByName("tl_empty"), 2);
  EXPECT_EQ(TimeLine_FindByName("nothing"), -1);
  const CTimeLine* t = TimeLine_Get(0);
  ASSERT_TRUE(t);
  EXPECT_EQ(Steps(t), (std::vector<int32_t>{0, 30}));
  ASSERT_TRUE(t->GetMomentCode(0).event);
  EXPECT_EQ(t->GetMomentCode(0).event->Code()->Index(), 2);
  EXPECT_FALSE(t->GetMomentCode(1).event->HasCode());
  EXPECT_TRUE(t->GetMomentCode(2).Empty());
  EXPECT_EQ(t->GetMomentStep(-1), 0);
  EXPECT_EQ(TimeLine_Get(2)->MomentCount(), 0);
  EXPECT_EQ(TimeLine_Add(), -1);
}

TEST_F(TimeLines, MomentSearches) {
  const CTimeLine* t = LoadSteps({0, 10, 20});
  struct Case {
    double position;
    int32_t first, last;
  };
  const double nan = std::nan("");
  for (const Case c : {Case{10, 1, 1}, Case{25, 3, 2}, Case{-1, 0, -1}, Case{9.5, 1, 0}, Case{0, 0, 0},
                       Case{20, 2, 2}, Case{nan, 3, -1}}) {
    EXPECT_EQ(t->FirstMomentAtOrAfter(c.position), c.first) << c.position;
    EXPECT_EQ(t->LastMomentAtOrBefore(c.position), c.last) << c.position;
  }
  EXPECT_EQ(t->FindMoment(10), 1);
  EXPECT_EQ(t->FindMoment(11), -1);
  CTimeLine empty;
  EXPECT_EQ(empty.FirstMomentAtOrAfter(5), 0);
  EXPECT_EQ(empty.LastMomentAtOrBefore(5), -1);
}

TEST_F(TimeLines, EditingMoments) {
  CTimeLine* t = LoadSteps({0, 10, 20});
  t->AddMomentScript(15, 4);
  EXPECT_EQ(Steps(t), (std::vector<int32_t>{0, 10, 15, 20}));
  EXPECT_EQ(t->GetMomentCode(2).script, 4);
  t->AddMomentScript(10, 5);  // changes the moment at 10
  EXPECT_EQ(Steps(t), (std::vector<int32_t>{0, 10, 15, 20}));
  EXPECT_TRUE(t->GetMomentCode(1).IsScript());
  EXPECT_EQ(t->GetMomentCode(1).script, 5);
  EXPECT_FALSE(t->GetMomentCode(1).event);
  t->SetMomentScript(12, 6);  // no moment there
  EXPECT_EQ(t->MomentCount(), 4);
  t->DeleteMoment(0);
  t->DeleteMoment(3);
  EXPECT_EQ(Steps(t), (std::vector<int32_t>{10, 15, 20}));
  EXPECT_EQ(t->GetMomentCode(2).event->Code()->Index(), 2);
  t->Clear();
  EXPECT_EQ(t->MomentCount(), 0);
  t->AddMomentScript(-5, 1);
  t->AddMomentScript(-10, 2);
  EXPECT_EQ(Steps(t), (std::vector<int32_t>{-10, -5}));
}

TEST_F(TimeLines, DeletingKeepsTheOtherIndices) {
  fixture::Game g;
  g.tmln = true;
  g.timelines = {fixture::TimeLine{"a"}, fixture::TimeLine{"b"}};
  Load(g);
  EXPECT_TRUE(TimeLine_Delete(0));
  EXPECT_FALSE(TimeLine_Delete(0));
  EXPECT_FALSE(TimeLine_Delete(7));
  EXPECT_EQ(TimeLine_GetName(0), "<undefined>");
  EXPECT_EQ(TimeLine_FindByName("a"), -1);
  EXPECT_EQ(TimeLine_FindByName("b"), 1);
}

struct Seen {
  int32_t type, number, object, script;
};
std::vector<Seen> g_seen;

bool RecordScript(CObjInstance*, CObjInstance*, int32_t script) {
  g_seen.push_back({g_Run.event_type, g_Run.event_number, g_Run.event_object, script});
  return true;
}

TEST_F(TimeLines, AMomentRunsWithItsOwnEventGlobals) {
  g_seen.clear();
  TimeLine_SetScriptRunner(RecordScript);
  fixture::Game g;
  g.tmln = true;
  g.timelines = {fixture::TimeLine{"a"}, fixture::TimeLine{"b"}};
  Load(g);
  TimeLine_Get(1)->AddMomentScript(25, 9);
  TimeLine_Get(1)->AddMomentScript(40, 3);
  g_Run.event_type = kEventStep;
  g_Run.event_number = 2;
  g_Run.event_object = 6;
  EXPECT_TRUE(TimeLine_PerformMoment(nullptr, nullptr, 1, 0));
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].type, kEventTimelineMoment);
  EXPECT_EQ(g_seen[0].number, 25);
  EXPECT_EQ(g_seen[0].object, 1);
  EXPECT_EQ(g_seen[0].script, 9);
  EXPECT_EQ(g_Run.event_type, kEventStep);
  EXPECT_EQ(g_Run.event_number, 2);
  EXPECT_EQ(g_Run.event_object, 6);

  // Out of range, missing timelines and pending room changes run nothing.
  EXPECT_FALSE(TimeLine_PerformMoment(nullptr, nullptr, 1, 2));
  EXPECT_FALSE(TimeLine_PerformMoment(nullptr, nullptr, 5, 0));
  g_Run.new_room = 3;
  EXPECT_FALSE(TimeLine_PerformMoment(nullptr, nullptr, 1, 1));
  EXPECT_EQ(g_seen.size(), 1u);
}

TEST_F(TimeLines, PrepareCompilesEachMomentUnderItsStep) {
  static std::vector<std::pair<int32_t, int32_t>> seen;
  seen.clear();
  Event_SetCompiler([](CCode*, const std::string&) {
    seen.push_back({g_Run.event_type, g_Run.event_number});
    return true;
  });
  fixture::Game g;
  g.tmln = true;
  fixture::TimeLine t;
  t.moments = {{5, fixture::Action{0, "a = 1"}}, {9, fixture::Action{0, "b = 2"}}};
  g.timelines = {std::nullopt, t};
  Load(g);
  EXPECT_EQ(TimeLine_Get(1)->GetMomentCode(1).event->SourceText(), "b = 2");
  EXPECT_TRUE(TimeLine_Prepare());
  EXPECT_EQ(seen, (std::vector<std::pair<int32_t, int32_t>>{{kEventTimelineMoment, 5}, {kEventTimelineMoment, 9}}));
  EXPECT_EQ(g_Run.event_object, 1);
}

struct BadCase {
  const char* what;
  void (*spoil)(fixture::Game&);
  const char* message;
};

class TimeLineBadData : public TimeLines, public testing::WithParamInterface<BadCase> {};

TEST_P(TimeLineBadData, RefusedWithoutAnyTimelineLeft) {
  fixture::Game g;
  g.tmln = true;
  g.code_records = 2;
  fixture::TimeLine t;
  t.moments = {{0, fixture::Action{0}}, {10, fixture::Action{1}}};
  g.timelines = {fixture::TimeLine{}, t};
  GetParam().spoil(g);
  std::string error = LoadError(g);
  EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
  EXPECT_EQ(TimeLine_Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TimeLineBadData,
    testing::Values(
        BadCase{"steps out of order", [](fixture::Game& g) { g.timelines[1]->moments[1].step = -4; },
                "moment 1 at step -4 does not come after step 0"},
        BadCase{"repeated step", [](fixture::Game& g) { g.timelines[1]->moments[1].step = 0; },
                "does not come after"},
        BadCase{"moment count past the end", [](fixture::Game& g) { g.timelines[1]->moment_count = 0x10000000; },
                "moments run past the end"},
        BadCase{"code index past the table", [](fixture::Game& g) { g.timelines[1]->moments[0].action->code = 7; },
                "names code entry 7"},
        BadCase{"shared record with many moments",
                [](fixture::Game& g) {
                  g.timelines.resize(1);
                  for (int32_t s = 0; s < 400; ++s) g.timelines[0]->moments.push_back({s, fixture::Action{0}});
                  g.shared_timeline_slots = 3000;
                },
                "overlap"}),
    [](const testing::TestParamInfo<BadCase>& info) {
      std::string name = info.param.what;
      for (char& ch : name)
        if (ch == ' ') ch = '_';
      return name;
    });

}  // namespace
