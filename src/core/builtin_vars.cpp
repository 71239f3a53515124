#include "core/builtin_vars.h"

#include <cstdio>
#include <ctime>
#include <vector>

#include "script/console.h"
#include "script/world.h"
#include "core/event_dispatch.h"
#include "core/events.h"
#include "core/game_info.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "script/convert.h"
#include "script/errors.h"
#include "script/targets.h"
#include "script/value.h"
#include "script/variable_names.h"

namespace {

struct BuiltinVarEntry {
  std::string name;
  BuiltinVarGetter getter = nullptr;
  BuiltinVarSetter setter = nullptr;
  uint8_t canSet = 0;
};

std::vector<BuiltinVarEntry> g_table;
std::vector<BuiltinVarBinder> g_binders;
std::string g_workingDirectory;

ScriptArgumentSlots g_arguments{g_ArgumentSlots, &g_ArgumentCount, &g_ArgumentRelative};

// Room transitions are not drawn yet; the step count is only kept.
int32_t g_transitionSteps = 80;

constexpr int kOtherEventType = 7;
constexpr int kNoMoreLives = 6;
constexpr int kNoMoreHealth = 9;

constexpr auto& SetReal = BuiltinVar_SetReal;

bool SetText(ScriptValue* out, const std::string& text) {
  ScriptValue_SetText(out, text.c_str());
  return true;
}

int32_t Rounded(const ScriptValue* v) { return Real_RoundToInt32(v->Real()); }
bool Flag(const ScriptValue* v) { return Rounded(v) > 0.5; }

CGameRoom* Room() { return g_Run.room; }

// An index outside the room's 8 layers or views addresses the first.
int Layer(int32_t index) { return index >= 0 && index < kRoomLayers ? index : 0; }

#define GETTER(name) TW_VAR_GETTER(name)
#define SETTER_SIG(name) TW_VAR_SETTER(name)

// ---- Script arguments ----------------------------------------------------------

GETTER(GetArgumentRelative) { return SetReal(out, *g_arguments.relative ? 1 : 0); }
GETTER(GetArgumentCount) { return SetReal(out, *g_arguments.count); }

GETTER(GetArgument) {
  if (index < 0 || index >= *g_arguments.count)
    Error_ReportRuntime(ErrorSeverity::kAbort, "illegal access of argument, argument is not provided to script");
  if (index < 0 || index >= kScriptArgumentSlots) return SetReal(out, 0);
  ScriptValue_Copy(out, &g_arguments.slots[index]);
  return true;
}

// A slot written may hold anything from now on.
void SlotWritten(int slot) {
  if (g_ArgumentSlotsUsed <= slot) g_ArgumentSlotsUsed = slot + 1;
}

SETTER_SIG(SetArgument) {
  int slot = index >= 0 && index < kScriptArgumentSlots ? index : 0;
  SlotWritten(slot);
  ScriptValue_Copy(&g_arguments.slots[slot], value);
  return true;
}

template <int N>
GETTER(GetArgumentN) {
  // A bad element reads as 0; the access itself is not refused.
  ScriptValue_GetElement(out, &g_arguments.slots[N], index);
  return true;
}

template <int N>
SETTER_SIG(SetArgumentN) {
  SlotWritten(N);
  return ScriptValue_SetElement(&g_arguments.slots[N], value, index);
}

template <int N>
void RegisterArgumentN() {
  if constexpr (N < kScriptArgumentSlots) {
    BuiltinVar_Register("argument" + std::to_string(N), GetArgumentN<N>, SetArgumentN<N>);
    RegisterArgumentN<N + 1>();
  }
}

// ---- Game state ----------------------------------------------------------------

GETTER(GetDebugMode) { return SetReal(out, (GameInfo_Get().debug_byte & 1) == 0 ? 1 : 0); }
GETTER(GetRoom) { return SetReal(out, g_Run.room_index); }
SETTER_SIG(SetRoom) {
  Room_Goto(Rounded(value));
  return true;
}
GETTER(GetRoomFirst) { return SetReal(out, Room_First()); }
GETTER(GetRoomLast) { return SetReal(out, Room_Last()); }
GETTER(GetTransitionKind) { return SetReal(out, g_Run.transition_kind); }
SETTER_SIG(SetTransitionKind) {
  g_Run.transition_kind = Rounded(value);
  g_DebugConsole->Output(
      "BUG: Room transitions don't function well - setting to 0 - look at Variable_BuiltIn SV_TransitionKind() .\n");
  g_Run.transition_kind = 0;
  return true;
}
GETTER(GetTransitionSteps) { return SetReal(out, g_transitionSteps); }
SETTER_SIG(SetTransitionSteps) {
  g_transitionSteps = Rounded(value);
  return true;
}
GETTER(GetScore) { return SetReal(out, g_Run.score); }
SETTER_SIG(SetScore) {
  g_Run.score = Rounded(value);
  return true;
}
GETTER(GetLives) { return SetReal(out, g_Run.lives); }
SETTER_SIG(SetLives) {
  int32_t before = g_Run.lives;
  g_Run.lives = Rounded(value);
  if (before > 0 && g_Run.lives < 1) Run_PerformEventAll(kOtherEventType, kNoMoreLives);
  return true;
}
GETTER(GetHealth) { return SetReal(out, g_Run.health); }
SETTER_SIG(SetHealth) {
  double before = g_Run.health;
  g_Run.health = value->Real();
  if (before > 0 && g_Run.health <= 0) Run_PerformEventAll(kOtherEventType, kNoMoreHealth);
  return true;
}
GETTER(GetGameId) { return SetReal(out, GameInfo_Get().game_id); }
GETTER(GetGameGuid) { return SetText(out, ""); }
GETTER(GetEventType) { return SetReal(out, g_Run.event_type); }
GETTER(GetEventNumber) { return SetReal(out, g_Run.event_number); }
GETTER(GetEventObject) { return SetReal(out, g_Run.event_object); }
GETTER(GetEventAction) { return SetReal(out, g_Run.event_action); }
GETTER(GetSecureMode) { return SetReal(out, 0); }
GETTER(GetErrorOccurred) { return SetReal(out, Error_Occurred() ? 1 : 0); }
SETTER_SIG(SetErrorOccurred) {
  Error_SetOccurred(value->Real() >= 0.5);
  return true;
}
GETTER(GetErrorLast) { return SetText(out, Error_LastText()); }
SETTER_SIG(SetErrorLast) {
  Error_SetLastText(value->Text());
  return true;
}

// ---- Directories -----------------------------------------------------------------

GETTER(GetWorkingDirectory) { return SetText(out, g_workingDirectory); }
GETTER(GetProgramDirectory) {
  std::string dir = Path_ExecutableDirectory();
  if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
  return SetText(out, dir);
}

// ---- Instances of the room -------------------------------------------------------

// Instances destroyed this step and not yet removed still count.
GETTER(GetInstanceCount) { return SetReal(out, Room() ? Room()->active.Count() : 0); }
GETTER(GetInstanceId) {
  CGameRoom* room = Room();
  if (!room || index < 0 || index >= room->active.Count()) return SetReal(out, kInstanceNoone);
  int32_t n = 0;
  for (CObjInstance* i : room->active)
    if (n++ == index) return SetReal(out, i->id);
  return SetReal(out, kInstanceNoone);
}

// ---- Room ------------------------------------------------------------------------

// Without a room, reads give 0 and writes change nothing.
#define ROOM_GETTER(name, expr)                  \
  GETTER(name) {                                 \
    CGameRoom* room = Room();                    \
    return SetReal(out, room ? double(expr) : 0); \
  }

ROOM_GETTER(GetRoomWidth, room->width)
ROOM_GETTER(GetRoomHeight, room->height)
ROOM_GETTER(GetRoomSpeed, room->speed)
ROOM_GETTER(GetRoomPersistent, room->persistent ? 1 : 0)
ROOM_GETTER(GetBackgroundShowColour, room->show_colour ? 1 : 0)
ROOM_GETTER(GetViewEnabled, room->views_enabled ? 1 : 0)
ROOM_GETTER(GetBackgroundColour, room->colour)

GETTER(GetRoomCaption) { return SetText(out, Room() ? Room()->caption : std::string()); }
SETTER_SIG(SetRoomCaption) {
  if (Room()) Room()->caption = value->Text();
  return true;
}
SETTER_SIG(SetRoomSpeed) {
  int32_t speed = Rounded(value);
  if (speed < 1) {
    Error_ReportRuntime(ErrorSeverity::kError, "Trying to set the room speed to a value <= 0.");
    return false;
  }
  if (Room()) Room()->speed = speed;
  return true;
}
SETTER_SIG(SetRoomPersistent) {
  if (Room()) Room()->persistent = Flag(value);
  return true;
}
SETTER_SIG(SetBackgroundShowColour) {
  if (Room()) Room()->show_colour = Flag(value);
  return true;
}
SETTER_SIG(SetViewEnabled) {
  if (Room()) Room()->views_enabled = Flag(value);
  return true;
}
SETTER_SIG(SetBackgroundColour) {
  if (Room()) Room()->colour = uint32_t(Rounded(value));
  return true;
}

// ---- Background layers and views ---------------------------------------------------

#define LAYER_FIELD(getter, setter, field, toValue, fromValue) \
  GETTER(getter) {                                             \
    CGameRoom* room = Room();                                  \
    if (!room) return SetReal(out, 0);                         \
    auto& layer = room->backgrounds[Layer(index)];             \
    return SetReal(out, toValue(layer.field));                 \
  }                                                            \
  SETTER_SIG(setter) {                                         \
    CGameRoom* room = Room();                                  \
    if (room) room->backgrounds[Layer(index)].field = fromValue(value); \
    return true;                                               \
  }

#define VIEW_FIELD(getter, setter, field, toValue, fromValue) \
  GETTER(getter) {                                            \
    CGameRoom* room = Room();                                 \
    if (!room) return SetReal(out, 0);                        \
    return SetReal(out, toValue(room->views[Layer(index)].field)); \
  }                                                           \
  SETTER_SIG(setter) {                                        \
    CGameRoom* room = Room();                                 \
    if (room) room->views[Layer(index)].field = fromValue(value); \
    return true;                                              \
  }

double FlagValue(bool b) { return b ? 1 : 0; }
double IntValue(int32_t v) { return v; }
double UnsignedValue(uint32_t v) { return v; }
// Layer and view reals are kept in single precision.
double SingleValue(double v) { return double(float(v)); }
double SingleFrom(const ScriptValue* v) { return double(float(v->Real())); }
uint32_t UnsignedFrom(const ScriptValue* v) { return uint32_t(Rounded(v)); }
int32_t NearSingle(const ScriptValue* v) { return Real_RoundToInt32(double(float(v->Real()))); }

LAYER_FIELD(GetBgVisible, SetBgVisible, visible, FlagValue, Flag)
LAYER_FIELD(GetBgForeground, SetBgForeground, foreground, FlagValue, Flag)
LAYER_FIELD(GetBgIndex, SetBgIndex, index, IntValue, Rounded)
LAYER_FIELD(GetBgX, SetBgX, x, SingleValue, SingleFrom)
LAYER_FIELD(GetBgY, SetBgY, y, SingleValue, SingleFrom)
LAYER_FIELD(GetBgHTiled, SetBgHTiled, tile_h, FlagValue, Flag)
LAYER_FIELD(GetBgVTiled, SetBgVTiled, tile_v, FlagValue, Flag)
LAYER_FIELD(GetBgXScale, SetBgXScale, xscale, SingleValue, SingleFrom)
LAYER_FIELD(GetBgYScale, SetBgYScale, yscale, SingleValue, SingleFrom)
LAYER_FIELD(GetBgHSpeed, SetBgHSpeed, hspeed, SingleValue, SingleFrom)
LAYER_FIELD(GetBgVSpeed, SetBgVSpeed, vspeed, SingleValue, SingleFrom)
LAYER_FIELD(GetBgBlend, SetBgBlend, blend, UnsignedValue, UnsignedFrom)
LAYER_FIELD(GetBgAlpha, SetBgAlpha, alpha, SingleValue, SingleFrom)

bool BackgroundSize(int32_t index, int32_t* width, int32_t* height) {
  *width = *height = 0;
  CGameRoom* room = Room();
  return room && Room_BackgroundSize(room->backgrounds[Layer(index)].index, width, height);
}
GETTER(GetBgWidth) {
  int32_t w, h;
  BackgroundSize(index, &w, &h);
  return SetReal(out, w);
}
GETTER(GetBgHeight) {
  int32_t w, h;
  BackgroundSize(index, &w, &h);
  return SetReal(out, h);
}

VIEW_FIELD(GetViewVisible, SetViewVisible, visible, FlagValue, Flag)
VIEW_FIELD(GetViewXView, SetViewXView, xview, IntValue, Rounded)
VIEW_FIELD(GetViewYView, SetViewYView, yview, IntValue, Rounded)
VIEW_FIELD(GetViewWView, SetViewWView, wview, IntValue, Rounded)
VIEW_FIELD(GetViewHView, SetViewHView, hview, IntValue, Rounded)
VIEW_FIELD(GetViewXPort, SetViewXPort, xport, IntValue, Rounded)
VIEW_FIELD(GetViewYPort, SetViewYPort, yport, IntValue, Rounded)
VIEW_FIELD(GetViewWPort, SetViewWPort, wport, IntValue, Rounded)
VIEW_FIELD(GetViewHPort, SetViewHPort, hport, IntValue, Rounded)
VIEW_FIELD(GetViewAngle, SetViewAngle, angle, SingleValue, SingleFrom)
VIEW_FIELD(GetViewHBorder, SetViewHBorder, hborder, IntValue, Rounded)
VIEW_FIELD(GetViewVBorder, SetViewVBorder, vborder, IntValue, Rounded)
VIEW_FIELD(GetViewHSpeed, SetViewHSpeed, hspeed, IntValue, Rounded)
VIEW_FIELD(GetViewVSpeed, SetViewVSpeed, vspeed, IntValue, Rounded)
VIEW_FIELD(GetViewObject, SetViewObject, object, IntValue, Rounded)
VIEW_FIELD(GetViewSurfaceId, SetViewSurfaceId, surface, IntValue, NearSingle)

// ---- Display state ------------------------------------------------------------------

GETTER(GetCursorSprite) { return SetReal(out, g_Run.cursor_sprite); }
SETTER_SIG(SetCursorSprite) {
  g_Run.cursor_sprite = Rounded(value);
  return true;
}
GETTER(GetShowScore) { return SetReal(out, g_Run.show_score ? 1 : 0); }
SETTER_SIG(SetShowScore) {
  g_Run.show_score = Flag(value);
  g_Run.caption_changed = true;
  return true;
}
GETTER(GetShowLives) { return SetReal(out, g_Run.show_lives ? 1 : 0); }
SETTER_SIG(SetShowLives) {
  g_Run.show_lives = Flag(value);
  return true;
}
GETTER(GetShowHealth) { return SetReal(out, g_Run.show_health ? 1 : 0); }
SETTER_SIG(SetShowHealth) {
  g_Run.show_health = Flag(value);
  return true;
}
GETTER(GetCaptionScore) { return SetText(out, g_Run.caption_score); }
SETTER_SIG(SetCaptionScore) {
  g_Run.caption_score = value->Text();
  return true;
}
GETTER(GetCaptionLives) { return SetText(out, g_Run.caption_lives); }
SETTER_SIG(SetCaptionLives) {
  g_Run.caption_lives = value->Text();
  return true;
}
GETTER(GetCaptionHealth) { return SetText(out, g_Run.caption_health); }
SETTER_SIG(SetCaptionHealth) {
  g_Run.caption_health = value->Text();
  return true;
}
GETTER(GetFps) { return SetReal(out, g_Run.fps); }
// The frame profiler does not time single frames yet: the counted rate
// stands in.
GETTER(GetFpsReal) { return SetReal(out, float(g_Run.fps)); }

// ---- Time ------------------------------------------------------------------------

GETTER(GetCurrentTime) { return SetReal(out, double(Time_Microseconds() / 1000)); }

std::tm LocalNow() { return Clock_LocalTime(); }
GETTER(GetCurrentYear) { return SetReal(out, LocalNow().tm_year + 1900); }
GETTER(GetCurrentMonth) { return SetReal(out, LocalNow().tm_mon + 1); }
GETTER(GetCurrentDay) { return SetReal(out, LocalNow().tm_mday); }
GETTER(GetCurrentWeekday) { return SetReal(out, LocalNow().tm_wday); }
GETTER(GetCurrentHour) { return SetReal(out, LocalNow().tm_hour); }
GETTER(GetCurrentMinute) { return SetReal(out, LocalNow().tm_min); }
GETTER(GetCurrentSecond) { return SetReal(out, LocalNow().tm_sec); }

// ---- Platform --------------------------------------------------------------------

GETTER(GetOsType) { return SetReal(out, 0); }
GETTER(GetOsDevice) { return SetReal(out, -1); }
GETTER(GetOsVersion) {
  int major = 0, minor = 0;
  if (!System_KernelVersion(&major, &minor)) return SetReal(out, -1);
  return SetReal(out, double(major) * 65536 + minor);
}
GETTER(GetOsBrowser) { return SetReal(out, -1); }

void Platform_RegisterVariables() {
  BuiltinVar_Register("os_type", GetOsType, nullptr);
  BuiltinVar_Register("os_device", GetOsDevice, nullptr);
  BuiltinVar_Register("os_version", GetOsVersion, nullptr);
  BuiltinVar_Register("os_browser", GetOsBrowser, nullptr);
  BuiltinVar_Register("browser_width", nullptr, nullptr);
  BuiltinVar_Register("browser_height", nullptr, nullptr);
}

BuiltinVarAccess Access(int32_t id) { return BuiltinVar_Access(id); }
int Find(std::string_view name) { return BuiltinVar_Find(name); }
const char* Name(int id) { return BuiltinVar_GetName(id); }

// Entries registered with null accessors hold their place for the subsystem
// that binds them (files, graphics, input).
void RegisterGeneral() {
  BuiltinVar_Register("argument_relative", GetArgumentRelative, nullptr);
  BuiltinVar_Register("argument", GetArgument, SetArgument);
  const int first = BuiltinVar_Count();
  RegisterArgumentN<0>();
  g_BuiltinArgumentDoor.firstId = BuiltinVar_Count() - first == kScriptArgumentSlots ? first : -1;
  BuiltinVar_Register("argument_count", GetArgumentCount, nullptr);

  BuiltinVar_Register("debug_mode", GetDebugMode, nullptr);
  BuiltinVar_Register("room", GetRoom, SetRoom);
  BuiltinVar_Register("room_first", GetRoomFirst, nullptr);
  BuiltinVar_Register("room_last", GetRoomLast, nullptr);
  BuiltinVar_Register("transition_kind", GetTransitionKind, SetTransitionKind);
  BuiltinVar_Register("transition_steps", GetTransitionSteps, SetTransitionSteps);
  BuiltinVar_Register("score", GetScore, SetScore);
  BuiltinVar_Register("lives", GetLives, SetLives);
  BuiltinVar_Register("health", GetHealth, SetHealth);
  BuiltinVar_Register("game_id", GetGameId, nullptr);
  BuiltinVar_Register("game_guid", GetGameGuid, nullptr);
  BuiltinVar_Register("event_type", GetEventType, nullptr);
  BuiltinVar_Register("event_number", GetEventNumber, nullptr);
  BuiltinVar_Register("event_object", GetEventObject, nullptr);
  BuiltinVar_Register("event_action", GetEventAction, nullptr);
  BuiltinVar_Register("secure_mode", GetSecureMode, nullptr);
  BuiltinVar_Register("error_occurred", GetErrorOccurred, SetErrorOccurred);
  BuiltinVar_Register("error_last", GetErrorLast, SetErrorLast);

  BuiltinVar_Register("working_directory", GetWorkingDirectory, nullptr);
  BuiltinVar_Register("temp_directory", nullptr, nullptr);
  BuiltinVar_Register("program_directory", GetProgramDirectory, nullptr);
  BuiltinVar_Register("instance_count", GetInstanceCount, nullptr);
  BuiltinVar_Register("instance_id", GetInstanceId, nullptr);

  BuiltinVar_Register("room_width", GetRoomWidth, nullptr);
  BuiltinVar_Register("room_height", GetRoomHeight, nullptr);
  BuiltinVar_Register("room_caption", GetRoomCaption, SetRoomCaption);
  BuiltinVar_Register("room_speed", GetRoomSpeed, SetRoomSpeed);
  BuiltinVar_Register("room_persistent", GetRoomPersistent, SetRoomPersistent);
  BuiltinVar_Register("background_color", GetBackgroundColour, SetBackgroundColour);
  BuiltinVar_Register("background_showcolor", GetBackgroundShowColour, SetBackgroundShowColour);
  BuiltinVar_Register("view_enabled", GetViewEnabled, SetViewEnabled);
  BuiltinVar_Register("view_current", nullptr, nullptr);

  BuiltinVar_Register("background_visible", GetBgVisible, SetBgVisible);
  BuiltinVar_Register("background_foreground", GetBgForeground, SetBgForeground);
  BuiltinVar_Register("background_index", GetBgIndex, SetBgIndex);
  BuiltinVar_Register("background_x", GetBgX, SetBgX);
  BuiltinVar_Register("background_y", GetBgY, SetBgY);
  BuiltinVar_Register("background_width", GetBgWidth, nullptr);
  BuiltinVar_Register("background_height", GetBgHeight, nullptr);
  BuiltinVar_Register("background_htiled", GetBgHTiled, SetBgHTiled);
  BuiltinVar_Register("background_vtiled", GetBgVTiled, SetBgVTiled);
  BuiltinVar_Register("background_xscale", GetBgXScale, SetBgXScale);
  BuiltinVar_Register("background_yscale", GetBgYScale, SetBgYScale);
  BuiltinVar_Register("background_hspeed", GetBgHSpeed, SetBgHSpeed);
  BuiltinVar_Register("background_vspeed", GetBgVSpeed, SetBgVSpeed);
  BuiltinVar_Register("background_blend", GetBgBlend, SetBgBlend);
  BuiltinVar_Register("background_alpha", GetBgAlpha, SetBgAlpha);

  BuiltinVar_Register("view_visible", GetViewVisible, SetViewVisible);
  BuiltinVar_Register("view_xview", GetViewXView, SetViewXView);
  BuiltinVar_Register("view_yview", GetViewYView, SetViewYView);
  BuiltinVar_Register("view_wview", GetViewWView, SetViewWView);
  BuiltinVar_Register("view_hview", GetViewHView, SetViewHView);
  BuiltinVar_Register("view_xport", GetViewXPort, SetViewXPort);
  BuiltinVar_Register("view_yport", GetViewYPort, SetViewYPort);
  BuiltinVar_Register("view_wport", GetViewWPort, SetViewWPort);
  BuiltinVar_Register("view_hport", GetViewHPort, SetViewHPort);
  BuiltinVar_Register("view_angle", GetViewAngle, SetViewAngle);
  BuiltinVar_Register("view_hborder", GetViewHBorder, SetViewHBorder);
  BuiltinVar_Register("view_vborder", GetViewVBorder, SetViewVBorder);
  BuiltinVar_Register("view_hspeed", GetViewHSpeed, SetViewHSpeed);
  BuiltinVar_Register("view_vspeed", GetViewVSpeed, SetViewVSpeed);
  BuiltinVar_Register("view_object", GetViewObject, SetViewObject);
  BuiltinVar_Register("view_surface_id", GetViewSurfaceId, SetViewSurfaceId);

  // The graphics (mouse_x, mouse_y) and input subsystems bind these.
  BuiltinVar_Register("mouse_x", nullptr, nullptr);
  BuiltinVar_Register("mouse_y", nullptr, nullptr);
  BuiltinVar_Register("mouse_button", nullptr, nullptr);
  BuiltinVar_Register("mouse_lastbutton", nullptr, nullptr);
  BuiltinVar_Register("keyboard_key", nullptr, nullptr);
  BuiltinVar_Register("keyboard_lastkey", nullptr, nullptr);
  BuiltinVar_Register("keyboard_lastchar", nullptr, nullptr);
  BuiltinVar_Register("keyboard_string", nullptr, nullptr);

  BuiltinVar_Register("cursor_sprite", GetCursorSprite, SetCursorSprite);
  BuiltinVar_Register("show_score", GetShowScore, SetShowScore);
  BuiltinVar_Register("show_lives", GetShowLives, SetShowLives);
  BuiltinVar_Register("show_health", GetShowHealth, SetShowHealth);
  BuiltinVar_Register("caption_score", GetCaptionScore, SetCaptionScore);
  BuiltinVar_Register("caption_lives", GetCaptionLives, SetCaptionLives);
  BuiltinVar_Register("caption_health", GetCaptionHealth, SetCaptionHealth);
  BuiltinVar_Register("fps", GetFps, nullptr);
  BuiltinVar_Register("fps_real", GetFpsReal, nullptr);

  BuiltinVar_Register("current_time", GetCurrentTime, nullptr);
  BuiltinVar_Register("current_year", GetCurrentYear, nullptr);
  BuiltinVar_Register("current_month", GetCurrentMonth, nullptr);
  BuiltinVar_Register("current_day", GetCurrentDay, nullptr);
  BuiltinVar_Register("current_weekday", GetCurrentWeekday, nullptr);
  BuiltinVar_Register("current_hour", GetCurrentHour, nullptr);
  BuiltinVar_Register("current_minute", GetCurrentMinute, nullptr);
  BuiltinVar_Register("current_second", GetCurrentSecond, nullptr);
}

}  // namespace

void BuiltinVar_Register(std::string_view name, BuiltinVarGetter getter, BuiltinVarSetter setter) {
  if (g_table.size() >= size_t(kBuiltinVarCapacity)) {
    MessageBox_Show(MessageBox_GameCaption(), "INTERNAL ERROR: Adding too many variables");
    return;
  }
  g_table.push_back(BuiltinVarEntry{std::string(name), getter, setter, uint8_t(setter ? 1 : 0)});
}

bool BuiltinVar_Bind(std::string_view name, BuiltinVarGetter getter, BuiltinVarSetter setter) {
  const int id = BuiltinVar_Find(name);
  if (id < 0) return false;
  g_table[size_t(id)] = BuiltinVarEntry{std::string(name), getter, setter, uint8_t(setter ? 1 : 0)};
  return true;
}

void BuiltinVar_SetBinders(std::initializer_list<BuiltinVarBinder> binders) { g_binders.assign(binders); }

bool BuiltinVar_SetText(ScriptValue* out, const std::string& text) { return SetText(out, text); }
int32_t BuiltinVar_Rounded(const ScriptValue* v) { return Rounded(v); }

int BuiltinVar_Find(std::string_view name) {
  for (size_t i = 0; i < g_table.size(); ++i)
    if (g_table[i].name == name) return int(i);
  return -1;
}

const char* BuiltinVar_GetName(int id) {
  if (id < 0 || size_t(id) >= g_table.size()) return "<unknown built-in variable>";
  return g_table[size_t(id)].name.c_str();
}

int BuiltinVar_Count() { return int(g_table.size()); }

BuiltinVarAccess BuiltinVar_Access(int id) {
  if (id < 0 || size_t(id) >= g_table.size()) return {};
  const BuiltinVarEntry& e = g_table[size_t(id)];
  return BuiltinVarAccess{e.getter, e.canSet ? e.setter : nullptr};
}

void BuiltinVar_Clear() {
  g_table.clear();
  g_BuiltinArgumentDoor.firstId = -1;
}

void BuiltinVar_RegisterAll() {
  BuiltinVar_Clear();
  g_table.reserve(kBuiltinVarCapacity);
  BuiltinVar_RegisterInstance();
  g_ScriptWorld.instanceBuiltins = BuiltinVar_Count();
  RegisterGeneral();
  Platform_RegisterVariables();
  for (BuiltinVarBinder bind : g_binders) bind();
  InstanceVar_SetBuiltinLookup(Access);
  VariableName_SetBuiltinLookups(BuiltinVarLookups{Find, Name});
}

void BuiltinVar_SetArgumentSlots(const ScriptArgumentSlots& slots) {
  if (slots.slots && slots.count && slots.relative) {
    g_arguments = slots;
  } else {
    g_arguments = ScriptArgumentSlots{g_ArgumentSlots, &g_ArgumentCount, &g_ArgumentRelative};
  }
  g_BuiltinArgumentDoor.slots = g_arguments.slots;
}

void WorkingDirectory_Init(const std::string& gamePath) {
  if (!g_workingDirectory.empty()) return;
  size_t slash = gamePath.find_last_of('/');
  if (slash == std::string::npos) slash = gamePath.find_last_of('\\');
  g_workingDirectory = slash == std::string::npos ? std::string("./") : gamePath.substr(0, slash + 1);
  std::string rule(73, '#');
  g_DebugConsole->Output("%s\n####!!!!$$$$$$ pwd - %s\n%s\n", rule.c_str(), g_workingDirectory.c_str(), rule.c_str());
}
const std::string& WorkingDirectory_Get() { return g_workingDirectory; }
