// The data-structure store: one id table per container kind, the value
// comparison every container searches and sorts with, and the nesting marks
// by which a list or map owns other lists and maps.
#pragma once
#include <cstdint>
#include <vector>

#include "script/builtin_args.h"
#include "script/value.h"

// The second argument of ds_exists.
enum DSKind : int {
  eDS_Map = 1,
  eDS_List = 2,
  eDS_Stack = 3,
  eDS_Queue = 4,
  eDS_Grid = 5,
  eDS_Priority = 6,
};

// Flags in the top bits of a stored real's kind word: its integer part is the
// id of a list (or map) that the holding list or map owns.
constexpr uint32_t DS_MARK_LIST = 0x40000000u;
constexpr uint32_t DS_MARK_MAP = 0x80000000u;

// Every container. Holders record themselves on the containers they own
// through a mark, so a holder never destroys a container that took over a
// freed id after it was marked.
class DSContainer {
 public:
  DSContainer();
  virtual ~DSContainer();
  DSContainer(const DSContainer&) = delete;
  DSContainer& operator=(const DSContainer&) = delete;

  // Unique for the run; never reused.
  uint64_t Serial() const { return serial_; }

 private:
  friend void DS_AdoptNested(const DSContainer* holder, const ScriptValue* value);
  friend void DS_ReleaseNested(const DSContainer* holder, ScriptValue* value);
  uint64_t serial_;
  std::vector<uint64_t> owners_;
};

// Slot allocation: the first free slot, else a new one at the end (the table
// grows by 16). DS_Alloc only reserves it; DS_Store fills it.
int DS_Alloc(DSKind kind);
void DS_Store(DSKind kind, int id, DSContainer* container);
int DS_Add(DSKind kind, DSContainer* container);
int DS_AllocListIndex();
int DS_AllocMapIndex();
// Null for an id outside the table or a free slot.
DSContainer* DS_Get(DSKind kind, int id);
template <class T>
T* DS_GetAs(DSKind kind, int id) {
  return static_cast<T*>(DS_Get(kind, id));
}
// Deletes the container (what it owns through marks with it) and frees the
// slot; nothing for a bad id. Safe on cycles and deep chains of ownership.
void DS_Destroy(DSKind kind, int id);
// Slots in use (free ones included) and slots allocated.
int DS_TableLength(DSKind kind);
int DS_TableCapacity(DSKind kind);
// Every container of the kind, empty slots as null.
DSContainer* const* DS_Items(DSKind kind, int* length);
// The containers of the kind that exist (free slots not counted).
int DS_LiveCount(DSKind kind);
// While one lives, destroyed containers leave their slots at once but are
// deleted only when the outermost guard ends. A list or map that is being
// cleared may be owned back by a container it owns; the guard keeps it alive
// until it has walked all its values.
class DSDeferDeletes {
 public:
  DSDeferDeletes();
  ~DSDeferDeletes();
  DSDeferDeletes(const DSDeferDeletes&) = delete;
  DSDeferDeletes& operator=(const DSDeferDeletes&) = delete;

 private:
  bool outermost_;
};
// Destroys every container of every kind and empties the tables; the
// precision goes back to 1e-8.
void DS_ResetAll();

// The comparison tolerance of DS_CompareValues.
double DS_GetPrecision();
void DS_SetPrecision(double precision);
// -1, 0 or 1: reals before strings; reals compared as 32-bit floats within
// the precision; strings byte by byte. Kind words compare whole, so a
// marked value is neither a real nor a string.
int DS_CompareValues(const ScriptValue* a, const ScriptValue* b);

// Whether a kind word carries a mark that counts (only on a real), and which
// table it names.
inline bool DS_MarkCounts(uint32_t kind) {
  return (kind & 0xFFFFu) == 0 && (kind & (DS_MARK_LIST | DS_MARK_MAP)) != 0;
}
inline DSKind DS_MarkedKind(uint32_t kind) { return (kind & DS_MARK_MAP) ? eDS_Map : eDS_List; }
// What a built-in hands back to a script: no marks.
inline void DS_StripMarks(ScriptValue* value) { value->kind &= 0x00FFFFFFu; }
// Called when a holder puts a marked value into itself (marking, adding a
// nested list or map, copying): the named container, when it exists, counts
// the holder among its owners.
void DS_AdoptNested(const DSContainer* holder, const ScriptValue* value);
// Called when a holder is cleared or destroyed, once per stored value:
// destroys the nested container when the mark counts and the holder owns
// it, then clears the marks and frees the value.
void DS_ReleaseNested(const DSContainer* holder, ScriptValue* value);

// Deleting or overwriting a stored value: its marks go, the container it
// named stays.
inline void DS_DropValue(ScriptValue* value) {
  value->kind &= 0x0000FFFFu;
  ScriptValue_Free(value);
}

// An id argument: nearest integer, halves to even.
inline int32_t DS_IdArg(int argc, const ScriptValue* args, int i) { return RoundedArg(argc, args, i); }
// "Data structure with index does not exist." as a non-fatal error.
void DS_ReportMissing();
// The container an id argument names, or null after reporting.
template <class T>
T* DS_ArgContainer(DSKind kind, int argc, const ScriptValue* args, int i) {
  T* c = DS_GetAs<T>(kind, DS_IdArg(argc, args, i));
  if (!c) DS_ReportMissing();
  return c;
}
