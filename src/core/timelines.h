// Timelines: ordered moments, each a step number with the code that runs
// when an instance's timeline position passes it, and the timeline table.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/events.h"
#include "core/game_data.h"

class CObjInstance;

// What a moment runs: its own event, or a script (added at run time).
struct MomentCode {
  CEvent* event = nullptr;
  int32_t script = -1;
  bool IsScript() const { return script >= 0; }
  bool Empty() const { return !event && script < 0; }
};

class CTimeLine {
 public:
  CTimeLine();
  virtual ~CTimeLine();
  CTimeLine(const CTimeLine&) = delete;
  CTimeLine& operator=(const CTimeLine&) = delete;

  // Reads the record at container offset `record` (name, moment count, then
  // {step, action list} pairs in ascending step order); DataError on bad data.
  void LoadFromChunk(const GameDataFile& file, uint32_t record, LoadBudget& budget);
  bool Compile();

  int32_t MomentCount() const { return int32_t(moments_.size()); }
  // Empty code and step 0 for an index out of range.
  MomentCode GetMomentCode(int32_t i) const;
  int32_t GetMomentStep(int32_t i) const;
  // The moment with exactly this step, or -1.
  int32_t FindMoment(int32_t step) const;
  // First moment whose step is at or after the position; the moment count
  // when there is none.
  int32_t FirstMomentAtOrAfter(double position) const;
  // Last moment whose step is at or before the position; -1 when none.
  int32_t LastMomentAtOrBefore(double position) const;
  // A moment at `step` that calls the script; an existing moment at that
  // step is changed instead.
  void AddMomentScript(int32_t step, int32_t script);
  // The moment at `step`, if any, now calls the script.
  void SetMomentScript(int32_t step, int32_t script);
  void DeleteMoment(int32_t step);
  void Clear();

 private:
  struct Moment {
    int32_t step;
    std::unique_ptr<CEvent> event;
    int32_t script = -1;
  };
  std::vector<Moment> moments_;  // ascending step, no two equal
};

void TimeLine_Init();
// The TMLN chunk; DataError on bad data.
bool TimeLine_Load(const ChunkBody& body);
// Deletes every timeline; the table is left empty.
void TimeLine_Clear();
bool TimeLine_Prepare();

int32_t TimeLine_Count();
bool TimeLine_Exists(int32_t index);
CTimeLine* TimeLine_Get(int32_t index);
// The name of timeline `index`; "<undefined>" for a bad index or empty slot.
std::string TimeLine_GetName(int index);
int32_t TimeLine_FindByName(std::string_view name);
// Empties the slot; the other timelines keep their indices.
bool TimeLine_Delete(int32_t index);
// No timeline is made at run time: always -1.
int32_t TimeLine_Add();

// Runs moment `moment` of timeline `timeline` with the run globals showing
// the moment (type 100000, its step, the timeline). A script moment runs its
// script without arguments; a failure of either kind is reported as an
// event's is. Nothing runs while a room change is pending. The code's
// result, false when nothing ran.
bool TimeLine_PerformMoment(CObjInstance* self, CObjInstance* other, int32_t timeline, int32_t moment);
