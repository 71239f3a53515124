// The title menu, the level selection and the help screen.
#include <cstring>
#include <span>

#include "actions/actions.h"
#include "draw/draw.h"
#include "game/game_code.h"
#include "game/game_ids.h"
#include "game/game_runtime.h"
#include "script/value.h"
#include "script/vm.h"

using namespace game;

namespace {

constexpr int32_t kLevelCount = 9;
constexpr int32_t kDifficultyCount = 3;

struct Line {
  double x, y;
  const char* text;
  double scale;
};

void DrawLines(CObjInstance* self, CObjInstance* other, std::span<const Line> lines) {
  for (const Line& l : lines) Call(fn_draw_text_transformed, self, other, {l.x, l.y, l.text, l.scale, l.scale, 0});
}

// An arrow key: while the test holds, a click and a step of `by`, made as a
// relative assignment.
void Arrow(CObjInstance* self, CObjInstance* other, ScriptValue& variable, double bound, IfOperation operation,
           double by) {
  Action_SetRelative(1);
  if (IfVariable(self, other, variable, bound, operation)) {
    Click();
    AddInPlace(variable, by);
  }
  Action_SetRelative(0);
}

// The preview picture of a level; -1 for a value that names none. Level 2's
// picture comes before level 1's in the sprite table.
int32_t PreviewSprite(const ScriptValue& level) {
  if (IsExactly(level, 1)) return 6;
  if (IsExactly(level, 2)) return 5;
  for (int32_t l = 3; l <= kLevelCount; ++l)
    if (IsExactly(level, l)) return l + 4;
  return -1;
}

const Line kTitleLines[] = {
    {124, 300, "Enter - Spiel starten ", 1.5},
    {124, 320, "F1 - Hilfe anzeigen", 1.5},
    {124, 340, "F2 - Sound ab-/anstellen", 1.5},
    {124, 360, "ESC  - Spiel beenden", 1.5},
    {40, 405, "Tarnwicke Pong", 0.7},
    {40, 420, "Ein Spiel der Tarnwicke-Engine", 0.7},
};

const Line kLevelHelpLines[] = {
    {80, 320, "Auf / Ab - Level wechseln ", 1.5},
    {64, 340, "Links / Rechts - Schwierigkeit", 1.5},
    {160, 360, "Enter: Bestaetigen", 1.5},
    {140, 380, "ESC: Zum Menu zurueck", 1.5},
};

const char* const kDifficultyNames[kDifficultyCount] = {
    "Schwierigkeit: Leicht",
    "Schwierigkeit: Normal",
    "Schwierigkeit: Schwer",
};

const Line kHelpLines[] = {
    {140, 300, "Pfeiltasten - Paddel bewegen ", 1},
    {140, 320, "Leertaste - Paddel stoppen", 1},
    {140, 340, "F2 - Sound ab-/anstellen", 1},
    {96, 360, "Sieger ist wer zuerst 10 Punkte hat.", 1},
    {40, 420, "Enter - Zurueck zum Menu", 0.7},
};

}  // namespace

// ---- Level selection --------------------------------------------------------

void tws_Object_level_select_Create_0(CObjInstance* self, CObjInstance* other) {
  Call(fn_action_font, self, other, {0, 0});
  Assign(Global(kDifficultySelector), 1);
  Assign(Local(self, kLevelSelector), 1);
  MenuMusic(self, other);
}

void tws_Object_level_select_Step_0(CObjInstance* self, CObjInstance* other) {
  const int32_t sprite = PreviewSprite(Local(self, kLevelSelector));
  if (sprite < 0) return;
  With(self, other, kObjChangeLevel,
       [&](CObjInstance* s, CObjInstance* o) { Call(fn_action_sprite_set, s, o, {sprite, 0, 1}); });
}

void tws_Object_level_select_Draw_64(CObjInstance* self, CObjInstance* other) {
  Direct_DrawSetColour(kBlack);
  const Value whole = Call(fn_floor, self, other, {Value(Local(self, kLevelSelector))});
  const Value number = Call(fn_string, self, other, {whole});
  static const char kPrefix[] = "Levelauswahl: ";
  const size_t prefix = sizeof kPrefix - 1, digits = std::strlen(number.v.Text());
  const size_t need = prefix + digits + 1;
  char* block = static_cast<char*>(CodeMem_Alloc(uint32_t(need + need / 2)));
  std::memcpy(block, kPrefix, prefix);
  std::memcpy(block + prefix, number.v.Text(), digits + 1);
  const Value title(block);
  CodeMem_Free(block);
  Call(fn_draw_text_transformed, self, other, {180, 0, title, 1.5, 1.5, 0});

  Direct_DrawSetColour(kWhite);
  DrawLines(self, other, kLevelHelpLines);

  Direct_DrawSetColour(kBlack);
  const double difficulty = Global(kDifficultySelector).Real();
  for (int32_t d = 1; d <= kDifficultyCount; ++d)
    if (Eq(difficulty, d)) Call(fn_draw_text_transformed, self, other, {140, 448, kDifficultyNames[d - 1], 1.5, 1.5, 0});
}

void tws_Object_level_select_KeyPress_113(CObjInstance*, CObjInstance*) { SoundToggle(kSoundMenuMusic); }

void tws_Object_level_select_KeyPress_40(CObjInstance* self, CObjInstance* other) {
  Arrow(self, other, Local(self, kLevelSelector), 1, kLarger, -1);
}

void tws_Object_level_select_KeyPress_39(CObjInstance* self, CObjInstance* other) {
  Arrow(self, other, Global(kDifficultySelector), kDifficultyCount, kSmaller, 1);
}

void tws_Object_level_select_KeyPress_38(CObjInstance* self, CObjInstance* other) {
  Arrow(self, other, Local(self, kLevelSelector), kLevelCount, kSmaller, 1);
}

void tws_Object_level_select_KeyPress_37(CObjInstance* self, CObjInstance* other) {
  Arrow(self, other, Global(kDifficultySelector), 1, kLarger, -1);
}

void tws_Object_level_select_KeyPress_27(CObjInstance* self, CObjInstance* other) {
  Click();
  Call(fn_action_another_room, self, other, {kRoomMenu});
}

void tws_Object_level_select_KeyPress_13(CObjInstance* self, CObjInstance* other) {
  const ScriptValue& level = Local(self, kLevelSelector);
  for (int32_t l = 1; l <= kLevelCount; ++l) {
    if (!IsExactly(level, l)) continue;
    Click();
    Call(fn_action_another_room, self, other, {kRoomFirstLevel + l - 1});
    return;
  }
}

// ---- Title menu -------------------------------------------------------------

void tws_Object_game_start_Create_0(CObjInstance* self, CObjInstance* other) {
  Call(fn_action_font, self, other, {0, 0});
  MenuMusic(self, other);
}

void tws_Object_game_start_Draw_64(CObjInstance* self, CObjInstance* other) {
  // The splash screen leaves its centred alignment behind.
  Direct_DrawSetHAlign(0);
  Direct_DrawSetVAlign(0);
  Direct_DrawSetColour(kWhite);
  DrawLines(self, other, kTitleLines);
}

void tws_Object_game_start_KeyPress_113(CObjInstance*, CObjInstance*) { SoundToggle(kSoundMenuMusic); }

void tws_Object_game_start_KeyPress_112(CObjInstance* self, CObjInstance* other) {
  Click();
  Call(fn_action_another_room, self, other, {kRoomHelp});
}

void tws_Object_game_start_KeyPress_27(CObjInstance*, CObjInstance*) {
  Click();
  Action_EndGame();
}

void tws_Object_game_start_KeyPress_13(CObjInstance* self, CObjInstance* other) {
  Click();
  Call(fn_action_another_room, self, other, {kRoomChooseLevel});
}

// ---- Help -------------------------------------------------------------------

void tws_Object_obj_Help_Create_0(CObjInstance* self, CObjInstance* other) {
  Call(fn_action_font, self, other, {0, 0});
  MenuMusic(self, other);
}

void tws_Object_obj_Help_Draw_64(CObjInstance* self, CObjInstance* other) {
  Direct_DrawSetColour(kWhite);
  DrawLines(self, other, kHelpLines);
}

void tws_Object_obj_Help_KeyPress_113(CObjInstance*, CObjInstance*) { SoundToggle(kSoundMenuMusic); }

void tws_Object_obj_Help_KeyPress_13(CObjInstance* self, CObjInstance* other) {
  Click();
  Call(fn_action_another_room, self, other, {kRoomMenu});
}
