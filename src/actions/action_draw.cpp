// The drawing actions: sprites, backgrounds, text, shapes, the score, lives
// and health displays, the high-score table, the drawing colour and font,
// and the one-call effects. Under the relative flag every coordinate given
// is taken from self's position.
#include <algorithm>
#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "actions/action_args.h"
#include "actions/action_group.h"
#include "actions/actions.h"
#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "draw/draw.h"
#include "draw/draw_builtins.h"
#include "draw/primitives.h"
#include "draw/text.h"
#include "particles/particle_effects.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "sprites/backgrounds.h"
#include "sprites/sprites.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
// The longest text the value, score and lives displays draw, in bytes.
constexpr size_t kShownTextMax = 1023;
// Enough life images to cross any screen; a huge lives count must not stall
// the draw event.
constexpr int32_t kLifeImagesMax = 65536;

float X(const CObjInstance* self, int argc, const ScriptValue* args, int i) {
  const double x = Arg(argc, args, i);
  return float(Action_GetRelative() && self ? x + self->x : x);
}

float Y(const CObjInstance* self, int argc, const ScriptValue* args, int i) {
  const double y = Arg(argc, args, i);
  return float(Action_GetRelative() && self ? y + self->y : y);
}

// A string argument as it is, anything else as the text built-ins show it.
std::string Shown(int argc, const ScriptValue* args, int i) {
  if (i >= argc) return "";
  return args[i].IsString() ? std::string(args[i].Text()) : Text_FormatValue(args[i]);
}

// At most `max` bytes, cut before a character, never inside one.
std::string_view CutAt(std::string_view text, size_t max) {
  if (text.size() <= max) return text;
  size_t end = max;
  while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// The value display's number: whole values as integers, others with two
// decimals in ten places. A whole value past 32 bits prints all its digits
// (and infinities as "inf"), NaN as "nan", so no value reaches an integer
// conversion it does not fit.
std::string VariableText(double value) {
  char buffer[400];  // the widest double printed in full is 309 digits
  if (std::isnan(value)) {
    std::snprintf(buffer, sizeof buffer, "%10s", "nan");
  } else if (value == std::nearbyint(value)) {
    if (value >= INT32_MIN && value <= INT32_MAX) std::snprintf(buffer, sizeof buffer, "%d", int32_t(value));
    else std::snprintf(buffer, sizeof buffer, "%.0f", value);
  } else {
    std::snprintf(buffer, sizeof buffer, "%10.2f", value);
  }
  return buffer;
}

// A caption and a count; a long caption is cut so the count stays whole.
std::string CaptionedCount(const char* caption, int32_t count) {
  const std::string number = std::to_string(count);
  return std::string(CutAt(caption, kShownTextMax - number.size())) + number;
}

void DrawShown(const CObjInstance* self, int argc, const ScriptValue* args, int xAt, const std::string& text) {
  Text_Draw(X(self, argc, args, xAt), Y(self, argc, args, xAt + 1), std::string(CutAt(text, kShownTextMax)).c_str(), -1, -1);
}

TW_BUILTIN(action_draw_sprite) {
  CSprite* sprite = Sprite_Get(RoundedArg(argc, args, 0));
  if (!sprite) return Action_Report("Trying to draw a non-existing sprite.");
  double subimage = Arg(argc, args, 3);
  if (subimage < 0) subimage = self ? self->image_index : 0;
  sprite->DrawExt(Real_ToInt32(std::floor(subimage)), X(self, argc, args, 1), Y(self, argc, args, 2), 1, 1, 0,
                  kWhite, 1);
}

TW_BUILTIN(action_draw_background) {
  CBackgroundImage* background = Background_Get(RoundedArg(argc, args, 0));
  if (!background) return Action_Report("Trying to draw a non-existing background.");
  const bool tiled = HalfFlagArg(argc, args, 3);
  const float width = g_Run.room ? float(g_Run.room->width) : 0.0f;
  const float height = g_Run.room ? float(g_Run.room->height) : 0.0f;
  background->DrawTiled(X(self, argc, args, 1), Y(self, argc, args, 2), 1, 1, tiled, tiled, 0, 0, width, height,
                        kWhite, 1);
}

TW_BUILTIN(action_draw_text) {
  Text_Draw(X(self, argc, args, 1), Y(self, argc, args, 2), Shown(argc, args, 0).c_str(), -1, -1);
}

TW_BUILTIN(action_draw_text_transformed) {
  Text_DrawTransformed(X(self, argc, args, 1), Y(self, argc, args, 2), Shown(argc, args, 0).c_str(), -1, -1,
                       FloatArg(argc, args, 3), FloatArg(argc, args, 4), FloatArg(argc, args, 5));
}

// The four corners of the shape actions, relative when the flag says so.
struct Box {
  float x1, y1, x2, y2;
};

Box BoxArgs(const CObjInstance* self, int argc, const ScriptValue* args) {
  return {X(self, argc, args, 0), Y(self, argc, args, 1), X(self, argc, args, 2), Y(self, argc, args, 3)};
}

TW_BUILTIN(action_draw_rectangle) {
  const Box b = BoxArgs(self, argc, args);
  Draw_Rectangle(b.x1, b.y1, b.x2, b.y2, HalfFlagArg(argc, args, 4));
}

TW_BUILTIN(action_draw_gradient_hor) {
  const Box b = BoxArgs(self, argc, args);
  const uint32_t c1 = ColourArg(argc, args, 4), c2 = ColourArg(argc, args, 5);
  Draw_RectangleColour(b.x1, b.y1, b.x2, b.y2, c1, c2, c2, c1, false);
}

TW_BUILTIN(action_draw_gradient_vert) {
  const Box b = BoxArgs(self, argc, args);
  const uint32_t c1 = ColourArg(argc, args, 4), c2 = ColourArg(argc, args, 5);
  Draw_RectangleColour(b.x1, b.y1, b.x2, b.y2, c1, c1, c2, c2, false);
}

TW_BUILTIN(action_draw_ellipse) {
  const Box b = BoxArgs(self, argc, args);
  Draw_Ellipse(b.x1, b.y1, b.x2, b.y2, HalfFlagArg(argc, args, 4));
}

TW_BUILTIN(action_draw_ellipse_gradient) {
  const Box b = BoxArgs(self, argc, args);
  Draw_EllipseColour(b.x1, b.y1, b.x2, b.y2, ColourArg(argc, args, 4), ColourArg(argc, args, 5), false);
}

TW_BUILTIN(action_draw_line) {
  const Box b = BoxArgs(self, argc, args);
  Draw_Line(b.x1, b.y1, b.x2, b.y2);
}

TW_BUILTIN(action_draw_arrow) {
  const Box b = BoxArgs(self, argc, args);
  Draw_Arrow(b.x1, b.y1, b.x2, b.y2, FloatArg(argc, args, 4));
}

TW_BUILTIN(action_draw_variable) {
  const std::string text =
      IsStringArg(argc, args, 0) ? std::string(TextArg(argc, args, 0)) : VariableText(Arg(argc, args, 0));
  DrawShown(self, argc, args, 1, text);
}

TW_BUILTIN(action_draw_score) { DrawShown(self, argc, args, 0, CaptionedCount(TextArg(argc, args, 2), g_Run.score)); }

TW_BUILTIN(action_draw_life) { DrawShown(self, argc, args, 0, CaptionedCount(TextArg(argc, args, 2), g_Run.lives)); }

TW_BUILTIN(action_draw_life_images) {
  CSprite* sprite = Sprite_Get(RoundedArg(argc, args, 2));
  if (!sprite) return;
  const float x = X(self, argc, args, 0), y = Y(self, argc, args, 1);
  const int32_t count = std::min(g_Run.lives, kLifeImagesMax);
  for (int32_t i = 0; i < count; ++i)
    sprite->DrawExt(0, x + float(i) * float(sprite->width), y, 1, 1, 0, kWhite, 1);
}

struct HealthColours {
  uint32_t back, minimum, middle, maximum;
};

// By index: the back and the bar's colours at 0, 50 and 100.
constexpr std::array<HealthColours, 18> kHealthColours = {{
    {0x000000, 0x0000FF, 0x00FFFF, 0x00FF00},
    {0x000000, 0x000000, 0x808080, 0xFFFFFF},
    {0x808080, 0x000000, 0x000000, 0x000000},
    {0xC0C0C0, 0x808080, 0x808080, 0x808080},
    {0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0xC0C0C0},
    {0x000080, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF},
    {0x008000, 0x000080, 0x000080, 0x000080},
    {0x008080, 0x008000, 0x008000, 0x008000},
    {0x800000, 0x008080, 0x008080, 0x008080},
    {0x800080, 0x800000, 0x800000, 0x800000},
    {0x808000, 0x800080, 0x800080, 0x800080},
    {0x0000FF, 0x808000, 0x808000, 0x808000},
    {0x00FF00, 0x0000FF, 0x0000FF, 0x0000FF},
    {0x00FFFF, 0x00FF00, 0x00FF00, 0x00FF00},
    {0xFF0000, 0x00FFFF, 0x00FFFF, 0x00FFFF},
    {0xFF00FF, 0xFF0000, 0xFF0000, 0xFF0000},
    {0xFFFF00, 0xFF00FF, 0xFF00FF, 0xFF00FF},
    {0x000000, 0xFFFF00, 0xFFFF00, 0xFFFF00},
}};

HealthColours HealthEntry(int32_t index) {
  if (index < 0 || index >= int32_t(kHealthColours.size())) return {};
  return kHealthColours[size_t(index)];
}

TW_BUILTIN(action_draw_health) {
  const Box b = BoxArgs(self, argc, args);
  const uint32_t back = HealthEntry(RoundedArg(argc, args, 4)).back;
  const HealthColours bar = HealthEntry(RoundedArg(argc, args, 5));
  Draw_Healthbar(b.x1, b.y1, b.x2, b.y2, float(g_Run.health), back, bar.minimum, bar.middle, bar.maximum, 0,
                 HalfFlagArg(argc, args, 4), true);
}

TW_BUILTIN(action_highscore_show) {
  static const BuiltinHandler draw = BuiltinFamily_Find(Draw_HighScoreBuiltins(), "draw_highscore");
  if (!draw) return;
  const int32_t halfW = g_Run.room ? g_Run.room->width / 2 : 0;
  const int32_t halfH = g_Run.room ? g_Run.room->height / 2 : 0;
  ScriptValue box[4] = {ScriptValue::FromReal(halfW - 100), ScriptValue::FromReal(halfH - 100),
                        ScriptValue::FromReal(halfW + 100), ScriptValue::FromReal(halfH + 100)};
  ScriptValue ignored;
  draw(&ignored, self, other, 4, box);
}

TW_BUILTIN(action_color) { Draw_SetColour(ColourArg(argc, args, 0)); }

TW_BUILTIN(action_font) {
  Text_SetFont(RoundedArg(argc, args, 0));
  Text_SetHAlign(RoundedArg(argc, args, 1));
}

TW_BUILTIN(action_effect) {
  Effect_Create(!HalfFlagArg(argc, args, 5), RoundedArg(argc, args, 0), X(self, argc, args, 1),
                Y(self, argc, args, 2), RoundedArg(argc, args, 3), ColourArg(argc, args, 4));
}

const NamedBuiltin kDraw[] = {
    {"action_draw_variable", action_draw_variable},
    {"action_draw_score", action_draw_score},
    {"action_highscore_show", action_highscore_show},
    {"action_draw_life", action_draw_life},
    {"action_draw_life_images", action_draw_life_images},
    {"action_draw_health", action_draw_health},
    {"action_draw_sprite", action_draw_sprite},
    {"action_draw_background", action_draw_background},
    {"action_draw_text", action_draw_text},
    {"action_draw_text_transformed", action_draw_text_transformed},
    {"action_draw_rectangle", action_draw_rectangle},
    {"action_draw_gradient_hor", action_draw_gradient_hor},
    {"action_draw_gradient_vert", action_draw_gradient_vert},
    {"action_draw_ellipse", action_draw_ellipse},
    {"action_draw_ellipse_gradient", action_draw_ellipse_gradient},
    {"action_draw_line", action_draw_line},
    {"action_draw_arrow", action_draw_arrow},
    {"action_color", action_color},
    {"action_colour", action_color},
    {"action_font", action_font},
    {"action_effect", action_effect},
};

}  // namespace

std::span<const NamedBuiltin> Action_DrawBuiltins() { return kDraw; }
