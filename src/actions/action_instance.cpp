// The instance, image, alarm, timeline and test actions. Actions that change
// an instance do nothing without one; test actions answer 1 or 0.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "actions/action_group.h"
#include "actions/actions.h"
#include "core/event_dispatch.h"
#include "core/events.h"
#include "core/instance_commands.h"
#include "core/instances.h"
#include "core/objects.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "draw/room_draw.h"
#include "files/files.h"
#include "graphics/frame.h"
#include "input/input.h"
#include "motion/placement.h"
#include "actions/action_args.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "script/random.h"
#include "services/dialogs.h"

namespace {

void ReturnFlag(ScriptValue* result, bool value) { Return(result, value ? 1.0 : 0.0); }

// ---- Instances and images -------------------------------------------------------

// The point relative to self while the relative flag is set.
void Place(const CObjInstance* self, double* x, double* y) {
  if (!Action_GetRelative() || !self) return;
  *x += self->x;
  *y += self->y;
}

// A new instance at (x, y), relative to self under the relative flag; the
// motion, when given, is set before its create event runs.
CObjInstance* Create(CObjInstance* self, int32_t object, double x, double y, const float* speedDirection) {
  if (!Object_Exists(object)) {
    Action_Report(("Creating instance for non-existing object: " + std::to_string(object)).c_str());
    return nullptr;
  }
  if (!g_Run.room) return nullptr;
  Place(self, &x, &y);
  CObjInstance* made = g_Run.room->CreateInstance(float(x), float(y), object);
  if (speedDirection) {
    made->SetSpeed(speedDirection[0]);
    made->SetDirection(speedDirection[1]);
  }
  Instance_PerformEvent(made, made, kEventCreate, 0);
  made->created = true;
  return made;
}

TW_BUILTIN(action_create_object) {
  Action_CreateObject(self, RoundedArg(argc, args, 0), Arg(argc, args, 1), Arg(argc, args, 2));
}

TW_BUILTIN(action_create_object_motion) {
  const float motion[2] = {FloatArg(argc, args, 3), FloatArg(argc, args, 4)};
  Create(self, RoundedArg(argc, args, 0), Arg(argc, args, 1), Arg(argc, args, 2), motion);
}

// Draws among the four objects until one exists; none existing is no error.
TW_BUILTIN(action_create_object_random) {
  int32_t objects[4];
  bool any = false;
  for (int i = 0; i < 4; ++i) {
    objects[i] = RoundedArg(argc, args, i);
    any = any || Object_Exists(objects[i]);
  }
  if (!any) return;
  int32_t object = 0;
  do {
    object = objects[Random_Int(4)];
  } while (!Object_Exists(object));
  Action_CreateObject(self, object, Arg(argc, args, 4), Arg(argc, args, 5));
}

TW_BUILTIN(action_change_object) {
  const int32_t object = RoundedArg(argc, args, 0);
  if (self || !Object_Exists(object)) Instance_ChangeObject(self, object, HalfFlagArg(argc, args, 1));
}

TW_BUILTIN(action_kill_object) { Action_KillObject(self); }

TW_BUILTIN(action_kill_position) {
  double x = Arg(argc, args, 0), y = Arg(argc, args, 1);
  Place(self, &x, &y);
  Position_Destroy(float(x), float(y));
}

// The sprite, when it exists (a missing one is reported and changes
// nothing more).
bool SetSprite(CObjInstance* self, int32_t sprite) {
  SpriteShape shape;
  const bool exists = Instance_LookUpSprite(sprite, &shape);
  if (self || !exists) Instance_SetSprite(self, sprite);
  return exists && self;
}

TW_BUILTIN(action_set_sprite) {
  if (!SetSprite(self, RoundedArg(argc, args, 0))) return;
  const float scale = FloatArg(argc, args, 1);
  if (scale > 0) {
    self->SetImageXScale(scale);
    self->SetImageYScale(scale);
  }
}

TW_BUILTIN(action_sprite_set) {
  if (!SetSprite(self, RoundedArg(argc, args, 0))) return;
  const float subimage = FloatArg(argc, args, 1);
  if (subimage >= 0) self->image_index = subimage;
  self->image_speed = FloatArg(argc, args, 2);
}

TW_BUILTIN(action_sprite_transform) {
  if (!self) return;
  const int32_t mirror = RoundedArg(argc, args, 3);
  const float xs = FloatArg(argc, args, 0), ys = FloatArg(argc, args, 1);
  self->SetImageXScale(mirror == 1 || mirror == 3 ? -xs : xs);
  self->SetImageYScale(mirror == 2 || mirror == 3 ? -ys : ys);
  self->SetImageAngle(FloatArg(argc, args, 2));
}

TW_BUILTIN(action_sprite_color) {
  if (!self) return;
  self->image_blend = ColourArg(argc, args, 0);
  self->image_alpha = FloatArg(argc, args, 1);
}

// ---- Alarms, timelines and time ----------------------------------------------------

TW_BUILTIN(action_set_alarm) { Action_SetAlarm(self, Arg(argc, args, 0), Arg(argc, args, 1)); }

TW_BUILTIN(action_set_timeline) {
  if (!self) return;
  self->timeline_index = RoundedArg(argc, args, 0);
  self->timeline_position = float(RoundedArg(argc, args, 1));
  self->timeline_running = true;
}

TW_BUILTIN(action_set_timeline_position) {
  if (!self) return;
  const float position = float(RoundedArg(argc, args, 0));
  self->timeline_position = Action_GetRelative() ? self->timeline_position + position : position;
}

TW_BUILTIN(action_set_timeline_speed) {
  if (self) self->timeline_speed = RelativeArg(argc, args, 0, self->timeline_speed);
}

// A start argument of 0 starts at once; only a loop argument of 1 loops.
TW_BUILTIN(action_timeline_set) {
  if (!self) return;
  self->timeline_index = RoundedArg(argc, args, 0);
  self->timeline_position = float(RoundedArg(argc, args, 1));
  self->timeline_running = RoundedArg(argc, args, 2) == 0;
  self->timeline_loop = RoundedArg(argc, args, 3) == 1;
}

TW_BUILTIN(action_timeline_start) {
  if (self) self->timeline_running = true;
}

TW_BUILTIN(action_timeline_pause) {
  if (self) self->timeline_running = false;
}

TW_BUILTIN(action_timeline_stop) {
  if (!self) return;
  self->timeline_position = 0;
  self->timeline_running = false;
}

// The wait is held to 3 seconds by Time_Wait.
TW_BUILTIN(action_sleep) {
  if (HalfFlagArg(argc, args, 1)) {
    Graphics_DrawScreen();
    Graphics_EndFrame(true);
    Graphics_BeginFrame();
  }
  Time_Wait(Real_ToInt64(Arg(argc, args, 0) * 1000.0));
}

// ---- Tests ----------------------------------------------------------------------

// d's sign against a comparison code: 1 smaller, 2 larger, 3 and 4 (where
// allowed) at most and at least, anything else equal.
bool Compared(int d, int32_t operation, bool orEqual) {
  switch (operation) {
    case 1: return d < 0;
    case 2: return d > 0;
    case 3: return orEqual ? d <= 0 : d == 0;
    case 4: return orEqual ? d >= 0 : d == 0;
    default: return d == 0;
  }
}

// The sign of a - b, 0 for equal values (infinities included) and for NaN.
int Sign(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Reals by value, strings byte by byte as unsigned bytes; values of
// different kinds are reported and answer false.
bool Action_Compare(const ScriptValue& a, const ScriptValue& b, int32_t operation) {
  if (a.IsString() != b.IsString()) {
    Action_Report("Cannot compare arguments.");
    return false;
  }
  const int d = a.IsString() ? Sign(std::strcmp(a.Text(), b.Text()), 0) : Sign(a.Real(), b.Real());
  return Compared(d, operation, true);
}

// The game-state value against the first argument with the comparison
// code of the second.
bool CompareState(double value, int argc, const ScriptValue* args) {
  return Compared(Sign(value, Arg(argc, args, 0)), RoundedArg(argc, args, 1), false);
}

TW_BUILTIN(action_if) {
  if (argc > 0) ScriptValue_Copy(result, &args[0]);
}

// objects rounding to 0: free of solid instances; otherwise of any.
bool Empty(CObjInstance* self, int argc, const ScriptValue* args) {
  double x = Arg(argc, args, 0), y = Arg(argc, args, 1);
  Place(self, &x, &y);
  return RoundedArg(argc, args, 2) == 0 ? Instance_PlaceFree(self, float(x), float(y))
                                        : Instance_PlaceEmpty(self, float(x), float(y));
}

TW_BUILTIN(action_if_empty) {
  if (self) ReturnFlag(result, Empty(self, argc, args));
}

TW_BUILTIN(action_if_collision) {
  if (self) ReturnFlag(result, !Empty(self, argc, args));
}

TW_BUILTIN(action_if_object) {
  if (!self) return;
  double x = Arg(argc, args, 1), y = Arg(argc, args, 2);
  Place(self, &x, &y);
  ReturnFlag(result, Instance_PlaceMeeting(self, RoundedArg(argc, args, 0), float(x), float(y)));
}

TW_BUILTIN(action_if_number) {
  const double count = Instance_Number(RoundedArg(argc, args, 0));
  ReturnFlag(result, Compared(Sign(count, Arg(argc, args, 1)), RoundedArg(argc, args, 2), false));
}

// One chance in `sides` (a thousandth more): sides * 1000 drawn against 1001.
TW_BUILTIN(action_if_dice) {
  const double sides = Arg(argc, args, 0);
  ReturnFlag(result, sides <= 1 || Random_Int(Real_RoundToInt32(sides * 1000)) < 1001);
}

TW_BUILTIN(action_if_question) {
  std::string text = TextArg(argc, args, 0);
  Support_ConvertHashNewlines(&text);
  const bool yes = Question_Show("", text);
  IO_Clear();
  ReturnFlag(result, yes);
}

// Buttons 1 to 3: held or released this step; anything else: no button down.
TW_BUILTIN(action_if_mouse) {
  const int32_t button = RoundedArg(argc, args, 0);
  if (button >= 1 && button <= 3) {
    ReturnFlag(result, IO_MouseIsDown(button, 0) || IO_MouseWasReleased(button, 0));
  } else {
    ReturnFlag(result, IO_GetMouseButton(0) == 0);
  }
}

TW_BUILTIN(action_if_aligned) {
  if (self) ReturnFlag(result, Instance_PlaceSnapped(self, Arg(argc, args, 0), Arg(argc, args, 1)));
}

TW_BUILTIN(action_if_variable) {
  const ScriptValue none{};
  const ScriptValue& a = argc > 0 ? args[0] : none;
  const ScriptValue& b = argc > 1 ? args[1] : none;
  ReturnFlag(result, Action_Compare(a, b, RoundedArg(argc, args, 2)));
}

TW_BUILTIN(action_if_score) { ReturnFlag(result, CompareState(g_Run.score, argc, args)); }
TW_BUILTIN(action_if_life) { ReturnFlag(result, CompareState(g_Run.lives, argc, args)); }
TW_BUILTIN(action_if_health) { ReturnFlag(result, CompareState(g_Run.health, argc, args)); }

TW_BUILTIN(action_if_previous_room) { ReturnFlag(result, g_Run.room_index != Room_First()); }
TW_BUILTIN(action_if_next_room) { ReturnFlag(result, g_Run.room_index != Room_Last()); }

const NamedBuiltin kInstance[] = {
    {"action_kill_object", action_kill_object},
    {"action_create_object", action_create_object},
    {"action_create_object_motion", action_create_object_motion},
    {"action_create_object_random", action_create_object_random},
    {"action_change_object", action_change_object},
    {"action_kill_position", action_kill_position},
    {"action_set_sprite", action_set_sprite},
    {"action_sprite_set", action_sprite_set},
    {"action_sprite_transform", action_sprite_transform},
    {"action_sprite_color", action_sprite_color},
    {"action_sprite_colour", action_sprite_color},
    {"action_set_alarm", action_set_alarm},
    {"action_sleep", action_sleep},
    {"action_set_timeline", action_set_timeline},
    {"action_set_timeline_position", action_set_timeline_position},
    {"action_set_timeline_speed", action_set_timeline_speed},
    {"action_timeline_set", action_timeline_set},
    {"action_timeline_start", action_timeline_start},
    {"action_timeline_pause", action_timeline_pause},
    {"action_timeline_stop", action_timeline_stop},
    {"action_if", action_if},
    {"action_if_empty", action_if_empty},
    {"action_if_collision", action_if_collision},
    {"action_if_object", action_if_object},
    {"action_if_number", action_if_number},
    {"action_if_dice", action_if_dice},
    {"action_if_question", action_if_question},
    {"action_if_mouse", action_if_mouse},
    {"action_if_aligned", action_if_aligned},
    {"action_if_variable", action_if_variable},
    {"action_if_score", action_if_score},
    {"action_if_life", action_if_life},
    {"action_if_health", action_if_health},
    {"action_if_previous_room", action_if_previous_room},
    {"action_if_next_room", action_if_next_room},
};

}  // namespace

std::span<const NamedBuiltin> Action_InstanceBuiltins() { return kInstance; }

CObjInstance* Action_CreateObject(CObjInstance* self, int32_t object, double x, double y) {
  return Create(self, object, x, y, nullptr);
}

void Action_KillObject(CObjInstance* self) { Instance_Destroy(self); }

// Under the relative flag the steps add to an alarm that is running.
void Action_SetAlarm(CObjInstance* self, double steps, double alarm) {
  if (!self) return;
  const int n = Real_RoundToInt32(alarm);
  int64_t value = Real_RoundToInt32(steps);
  if (Action_GetRelative() && self->GetAlarm(n) >= 0) value += self->GetAlarm(n);
  self->SetAlarm(n, int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX)));
}
