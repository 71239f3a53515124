// Events: the code one object runs for one event, or one timeline moment
// runs, and what loading them from the OBJT and TMLN chunks shares.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "core/game_data.h"

class CCode;
class CObjInstance;

// Event types of the object tables.
constexpr int kEventTypeCount = 12;
enum EventType : int {
  kEventCreate = 0,
  kEventDestroy = 1,
  kEventAlarm = 2,
  kEventStep = 3,
  kEventCollision = 4,
  kEventKeyboard = 5,
  kEventMouse = 6,
  kEventOther = 7,
  kEventDraw = 8,
  kEventKeyPress = 9,
  kEventKeyRelease = 10,
};
// Mouse subtypes (type 6). Each button group runs left, right, middle from
// its first subtype.
enum MouseEventSubtype : int32_t {
  kMouseButton = 0,  // held: 0 left, 1 right, 2 middle
  kMouseNoButton = 3,
  kMousePress = 4,
  kMouseRelease = 7,
  kMouseEnter = 10,
  kMouseLeave = 11,
  kMouseGlobalPress = 12,    // any button
  kMouseGlobalRelease = 13,  // any button
  kMouseGlobalButton = 50,
  kMouseGlobalButtonPress = 53,
  kMouseGlobalButtonRelease = 56,
  kMouseWheelUp = 60,
  kMouseWheelDown = 61,
};
// The event type the run globals show while a timeline moment runs.
constexpr int32_t kEventTimelineMoment = 100000;

// The relative flag of the running action (the built-in argument_relative).
// Event code always runs with it clear.
extern int32_t g_ArgumentRelative;

// Records and lists in the OBJT and TMLN chunks are found through offsets, so
// hostile data can make many records share or overlap one large block and
// have the loader build it again and again. Every object, event, moment and
// physics point is charged no more words than it occupies in honest data,
// and one chunk may not charge more words than the container holds.
class LoadBudget {
 public:
  LoadBudget(const GameDataFile& file, const char* chunk) : left_(file.Size() / 4), chunk_(chunk) {}
  // DataError once the chunk has asked for more than the container holds.
  void Charge(uint64_t words);

 private:
  uint64_t left_;
  const char* chunk_;
};

class CEvent {
 public:
  CEvent();
  virtual ~CEvent();
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;

  // Reads the first action of the action list {count, offsets of action
  // records} at container offset `actionList`: its code index (word 8) when
  // the game carries a code table, else its code text (word 15). A list
  // without actions leaves the event without code. DataError on bad data.
  bool LoadFromChunk(const GameDataFile& file, uint32_t actionList);
  // Text code is compiled here; code from the code table needs nothing.
  bool Compile();
  // Runs the code with the relative flag clear; the run's result.
  bool Execute(CObjInstance* self, CObjInstance* other);

  CCode* Code() const { return code_.get(); }
  bool HasCode() const { return code_ != nullptr; }
  const std::string& SourceText() const { return source_; }
  void SetCode(std::unique_ptr<CCode> code, std::string sourceText = {});

 private:
  std::unique_ptr<CCode> code_;
  std::string source_;  // empty when the code comes from the code table
};

// True when event code comes from the code table: the game has a CODE chunk
// or carries compiled code.
bool Event_CodeFromTable();

// The run-time compiler installs itself here. It compiles `code` from its
// text under `name`; on failure it leaves the error pending (Code_ReportError)
// and returns false. Until it exists, text code stays uncompiled.
using EventCompiler = bool (*)(CCode* code, const std::string& name);
void Event_SetCompiler(EventCompiler compiler);

// An event taken out of a table while event code runs may be the one
// running, so it is freed only once no event runs any more.
void Event_Retire(std::unique_ptr<CEvent> event);
// Events running now (nested runs count each).
int Event_RunningCount();
