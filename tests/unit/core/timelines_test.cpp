#include "core/timelines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/rooms.h"
#include "core/run_state.h"
#include "object_fixtures.h"
#include "script/code_run.h"
#include "script/compiler.h"
#include "script/errors.h"
#include "script/function_registry.h"
#include "script/scripts.h"
#include "script/vm.h"

namespace {

class TimeLines : public fixture::Loaded {
 protected:
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
  int32_t type, number, object, tag, argc;
};

// tl_record (tag): what a script moment saw of the run globals and of its
// arguments, with the tag its script gave.
std::vector<Seen> g_seen;
void RecordBuiltin(ScriptValue*, CObjInstance*, CObjInstance*, int, ScriptValue* args) {
  g_seen.push_back({g_Run.event_type, g_Run.event_number, g_Run.event_object, int32_t(args[0].Real()),
                    g_ArgumentCount});
}

// A script of the table compiled from text.
int32_t AddTextScript(const char* name, const char* text) {
  auto script = std::make_unique<CScript>(name);
  script->SetText(text);
  EXPECT_TRUE(script->Compile()) << Code_PendingErrorText();
  return Script_AddForTests(std::move(script));
}

class TimeLineScripts : public TimeLines {
 protected:
  void SetUp() override {
    TimeLines::SetUp();
    g_seen.clear();
    FunctionRegistry_Add("tl_record", RecordBuiltin, 1);
  }
};

TEST_F(TimeLineScripts, AScriptMomentRunsItsScriptWithTheMomentsEventGlobals) {
  AddTextScript("scr_pad", "");
  const int32_t first = AddTextScript("scr_first", "tl_record(7);");
  const int32_t second = AddTextScript("scr_second", "tl_record(8);");
  fixture::Game g;
  g.tmln = true;
  g.timelines = {fixture::TimeLine{"a"}, fixture::TimeLine{"b"}};
  Load(g);
  TimeLine_Get(1)->AddMomentScript(25, first);
  TimeLine_Get(1)->AddMomentScript(40, second);
  g_Run.event_type = kEventStep;
  g_Run.event_number = 2;
  g_Run.event_object = 6;
  EXPECT_TRUE(TimeLine_PerformMoment(nullptr, nullptr, 1, 0));
  ASSERT_EQ(g_seen.size(), 1u) << "the moment ran its script";
  EXPECT_EQ(g_seen[0].type, kEventTimelineMoment);
  EXPECT_EQ(g_seen[0].number, 25);
  EXPECT_EQ(g_seen[0].object, 1);
  EXPECT_EQ(g_seen[0].tag, 7);
  EXPECT_EQ(g_seen[0].argc, 0) << "the script got no arguments";
  EXPECT_EQ(g_Run.event_type, kEventStep);
  EXPECT_EQ(g_Run.event_number, 2);
  EXPECT_EQ(g_Run.event_object, 6);

  // Out of range, missing timelines and pending room changes run nothing.
  EXPECT_FALSE(TimeLine_PerformMoment(nullptr, nullptr, 1, 2));
  EXPECT_FALSE(TimeLine_PerformMoment(nullptr, nullptr, 5, 0));
  g_Run.new_room = 3;
  EXPECT_FALSE(TimeLine_PerformMoment(nullptr, nullptr, 1, 1));
  EXPECT_EQ(g_seen.size(), 1u);
  g_Run.new_room = kNewRoomNone;
  EXPECT_TRUE(TimeLine_PerformMoment(nullptr, nullptr, 1, 1));
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[1].number, 40);
  EXPECT_EQ(g_seen[1].tag, 8);
  EXPECT_FALSE(Error_Occurred());
}

TEST_F(TimeLineScripts, AFailingMomentScriptIsReportedAndAMissingOneSkipped) {
  // The machine reports its own errors; the tree interpreter leaves the
  // failure to whoever ran the script.
  for (const bool machine : {false, true}) {
    SCOPED_TRACE(machine ? "machine" : "tree");
    g_UseVM = machine;
    Error_ResetForTests();
    Script_DeleteAll();
    const int32_t failing = AddTextScript("scr_fails", "var n; n = 1; n.b.c = 3;");
    fixture::Game g;
    g.tmln = true;
    g.timelines = {fixture::TimeLine{"tl_fails"}};
    Load(g);
    TimeLine_Get(0)->AddMomentScript(30, failing);
    TimeLine_Get(0)->AddMomentScript(31, 99);
    EXPECT_FALSE(TimeLine_PerformMoment(nullptr, nullptr, 0, 1)) << "no script 99";
    EXPECT_FALSE(Error_Occurred());
    const bool ran = TimeLine_PerformMoment(nullptr, nullptr, 0, 0);
    ASSERT_TRUE(Error_Occurred()) << "the failure is reported, not dropped";
    if (!machine) {
      EXPECT_FALSE(ran);
      EXPECT_NE(Error_LastText().find("In script scr_fails"), std::string::npos) << Error_LastText();
    }
    EXPECT_FALSE(Code_HasPendingError());
  }
  g_UseVM = true;
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
