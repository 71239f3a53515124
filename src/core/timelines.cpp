#include "core/timelines.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/run_state.h"
#include "script/code_run.h"
#include "script/scripts.h"

namespace {
std::vector<std::unique_ptr<CTimeLine>> g_timelines;
std::vector<std::string> g_names;

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}
}  // namespace

CTimeLine::CTimeLine() = default;

CTimeLine::~CTimeLine() { Clear(); }

void CTimeLine::Clear() {
  for (Moment& m : moments_) Event_Retire(std::move(m.event));
  moments_.clear();
}

void CTimeLine::LoadFromChunk(const GameDataFile& file, uint32_t record, LoadBudget& budget) {
  Clear();
  budget.Charge(2);
  const uint32_t count = file.U32(record + 4);
  const uint64_t pairs = uint64_t(record) + 8;
  if (uint64_t(count) * 8 > file.Size() - std::min<uint64_t>(pairs, file.Size())) {
    throw DataError("its " + std::to_string(count) + " moments run past the end of the container");
  }
  budget.Charge(uint64_t(count) * 2);
  moments_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t at = uint32_t(pairs + 8 * uint64_t(i));
    const int32_t step = file.S32(at);
    // Moment searches rely on the order.
    if (!moments_.empty() && step <= moments_.back().step) {
      throw DataError("moment " + std::to_string(i) + " at step " + std::to_string(step) +
                      " does not come after step " + std::to_string(moments_.back().step));
    }
    auto event = std::make_unique<CEvent>();
    event->LoadFromChunk(file, file.U32(at + 4));
    moments_.push_back({step, std::move(event)});
  }
}

bool CTimeLine::Compile() {
  g_Run.event_type = kEventTimelineMoment;
  for (Moment& m : moments_) {
    g_Run.event_number = m.step;
    if (m.event && !m.event->Compile()) return false;
  }
  return true;
}

MomentCode CTimeLine::GetMomentCode(int32_t i) const {
  if (i < 0 || i >= MomentCount()) return {};
  const Moment& m = moments_[size_t(i)];
  return {m.script >= 0 ? nullptr : m.event.get(), m.script};
}

int32_t CTimeLine::GetMomentStep(int32_t i) const {
  return i >= 0 && i < MomentCount() ? moments_[size_t(i)].step : 0;
}

int32_t CTimeLine::FindMoment(int32_t step) const {
  auto it = std::lower_bound(moments_.begin(), moments_.end(), step,
                             [](const Moment& m, int32_t s) { return m.step < s; });
  return it != moments_.end() && it->step == step ? int32_t(it - moments_.begin()) : -1;
}

int32_t CTimeLine::FirstMomentAtOrAfter(double position) const {
  // No step lies at or after NaN.
  if (std::isnan(position)) return MomentCount();
  auto it = std::partition_point(moments_.begin(), moments_.end(),
                                 [&](const Moment& m) { return double(m.step) < position; });
  return int32_t(it - moments_.begin());
}

int32_t CTimeLine::LastMomentAtOrBefore(double position) const {
  if (std::isnan(position)) return -1;
  auto it = std::partition_point(moments_.begin(), moments_.end(),
                                 [&](const Moment& m) { return double(m.step) <= position; });
  return int32_t(it - moments_.begin()) - 1;
}

void CTimeLine::AddMomentScript(int32_t step, int32_t script) {
  if (FindMoment(step) >= 0) {
    SetMomentScript(step, script);
    return;
  }
  auto it = std::lower_bound(moments_.begin(), moments_.end(), step,
                             [](const Moment& m, int32_t s) { return m.step < s; });
  moments_.insert(it, Moment{step, nullptr, script});
}

void CTimeLine::SetMomentScript(int32_t step, int32_t script) {
  int32_t i = FindMoment(step);
  if (i < 0) return;
  Moment& m = moments_[size_t(i)];
  // The moment's own code is no longer reachable; it may be running now.
  Event_Retire(std::move(m.event));
  m.script = script;
}

void CTimeLine::DeleteMoment(int32_t step) {
  int32_t i = FindMoment(step);
  if (i < 0) return;
  Event_Retire(std::move(moments_[size_t(i)].event));
  moments_.erase(moments_.begin() + i);
}

// ---- The table -------------------------------------------------------------------

void TimeLine_Init() { TimeLine_Clear(); }

void TimeLine_Clear() {
  g_timelines.clear();
  g_names.clear();
}

bool TimeLine_Load(const ChunkBody& body) {
  TimeLine_Clear();
  const GameDataFile& file = body.File();
  const std::vector<uint32_t> records = body.OffsetList();
  LoadBudget budget(file, "TMLN");
  std::vector<std::unique_ptr<CTimeLine>> timelines(records.size());
  std::vector<std::string> names(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    if (!records[i]) continue;
    auto timeline = std::make_unique<CTimeLine>();
    try {
      names[i] = std::string(file.String(file.U32(records[i])));
      timeline->LoadFromChunk(file, records[i], budget);
    } catch (const DataError& e) {
      throw DataError("TMLN timeline " + std::to_string(i) + " at " + Hex(records[i]) + ": " + e.what());
    }
    timelines[i] = std::move(timeline);
  }
  g_timelines = std::move(timelines);
  g_names = std::move(names);
  return true;
}

bool TimeLine_Prepare() {
  for (size_t i = 0; i < g_timelines.size(); ++i) {
    if (!g_timelines[i]) continue;
    g_Run.event_object = int32_t(i);
    if (!g_timelines[i]->Compile()) return false;
  }
  return true;
}

int32_t TimeLine_Count() { return int32_t(g_timelines.size()); }

CTimeLine* TimeLine_Get(int32_t index) {
  if (index < 0 || size_t(index) >= g_timelines.size()) return nullptr;
  return g_timelines[size_t(index)].get();
}

bool TimeLine_Exists(int32_t index) { return TimeLine_Get(index) != nullptr; }

std::string TimeLine_GetName(int index) {
  return TimeLine_Exists(index) ? g_names[size_t(index)] : "<undefined>";
}

int32_t TimeLine_FindByName(std::string_view name) {
  for (size_t i = 0; i < g_timelines.size(); ++i) {
    if (g_timelines[i] && g_names[i] == name) return int32_t(i);
  }
  return -1;
}

bool TimeLine_Delete(int32_t index) {
  if (!TimeLine_Exists(index)) return false;
  g_timelines[size_t(index)].reset();
  g_names[size_t(index)].clear();
  return true;
}

int32_t TimeLine_Add() { return -1; }

bool TimeLine_PerformMoment(CObjInstance* self, CObjInstance* other, int32_t timeline, int32_t moment) {
  if (g_Run.new_room != kNewRoomNone) return false;
  CTimeLine* t = TimeLine_Get(timeline);
  if (!t) return false;
  const MomentCode code = t->GetMomentCode(moment);
  if (code.Empty()) return false;
  const int32_t type = g_Run.event_type, number = g_Run.event_number, object = g_Run.event_object;
  g_Run.event_type = kEventTimelineMoment;
  g_Run.event_number = t->GetMomentStep(moment);
  g_Run.event_object = timeline;
  bool result = false;
  if (code.IsScript()) {
    ScriptValue value;
    result = Script_Run(code.script, self, other, 0, &value, nullptr);
    ScriptValue_Free(&value);
    if (!result) Code_ReportPendingError();
  } else {
    result = code.event->Execute(self, other);
  }
  g_Run.event_type = type;
  g_Run.event_number = number;
  g_Run.event_object = object;
  return result;
}
