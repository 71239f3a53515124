#include "draw/draw_state.h"

#include "graphics/textures.h"

#include <cmath>

#include "draw/colour.h"
#include "draw/draw.h"
#include "draw/draw_builtins.h"
#include "graphics/frame.h"
#include "graphics/render_states.h"
#include "script/builtin_args.h"
#include "script/convert.h"
#include "script/function_registry.h"
#include "script/value.h"

namespace {

DrawState g_state;

constexpr float kPi = 3.1415927f;


TW_BUILTIN(F_DrawSetColour) { Draw_SetColour(uint32_t(RoundedArg(argc, args, 0))); }
TW_BUILTIN(F_DrawGetColour) { Return(result, Draw_GetColour() & 0xFFFFFFu); }
TW_BUILTIN(F_DrawSetAlpha) { Draw_SetAlpha(float(Arg(argc, args, 0))); }
TW_BUILTIN(F_DrawGetAlpha) { Return(result, Draw_GetAlpha()); }

TW_BUILTIN(F_MakeColourRGB) {
  // Truncated and unmasked, so a channel above 255 spills into the next.
  int64_t red = Real_ToInt32(Arg(argc, args, 0));
  int64_t green = Real_ToInt32(Arg(argc, args, 1));
  int64_t blue = Real_ToInt32(Arg(argc, args, 2));
  Return(result, double((blue * 256 + green) * 256 + red));
}

TW_BUILTIN(F_MakeColourHSV) {
  HSVTriple hsv = Colour_SetHSVBytes(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1), RoundedArg(argc, args, 2));
  Return(result, Colour_HSVToInt(hsv));
}

TW_BUILTIN(F_ColourGetRed) { Return(result, RoundedArg(argc, args, 0) % 256); }
TW_BUILTIN(F_ColourGetGreen) { Return(result, RoundedArg(argc, args, 0) / 256 % 256); }
TW_BUILTIN(F_ColourGetBlue) { Return(result, RoundedArg(argc, args, 0) / 65536 % 256); }
TW_BUILTIN(F_ColourGetHue) { Return(result, Colour_GetHSV(uint32_t(RoundedArg(argc, args, 0))).hue); }
TW_BUILTIN(F_ColourGetSaturation) { Return(result, Colour_GetHSV(uint32_t(RoundedArg(argc, args, 0))).saturation); }
TW_BUILTIN(F_ColourGetValue) { Return(result, Colour_GetHSV(uint32_t(RoundedArg(argc, args, 0))).value); }

TW_BUILTIN(F_MergeColour) {
  Return(result, Colour_Merge(uint32_t(RoundedArg(argc, args, 0)), uint32_t(RoundedArg(argc, args, 1)),
                              Arg(argc, args, 2)));
}

TW_BUILTIN(F_DrawClear) { Draw_Clear(uint32_t(RoundedArg(argc, args, 0)) | 0xFF000000u); }
TW_BUILTIN(F_DrawClearAlpha) { Draw_ClearAlpha(uint32_t(RoundedArg(argc, args, 0)), float(Arg(argc, args, 1))); }
TW_BUILTIN(F_DrawSetCirclePrecision) { Draw_SetCirclePrecision(RoundedArg(argc, args, 0)); }
TW_BUILTIN(F_DrawSetFont) { Text_SetFont(RoundedArg(argc, args, 0)); }
TW_BUILTIN(F_DrawSetHAlign) { Text_SetHAlign(RoundedArg(argc, args, 0)); }
TW_BUILTIN(F_DrawSetVAlign) { Text_SetVAlign(RoundedArg(argc, args, 0)); }
TW_BUILTIN(F_DrawSetBlendMode) { RenderState_SetBlendMode(RoundedArg(argc, args, 0)); }
TW_BUILTIN(F_DrawSetBlendModeExt) {
  RenderState_SetBlendModeExt(uint32_t(RoundedArg(argc, args, 0)), uint32_t(RoundedArg(argc, args, 1)));
}
TW_BUILTIN(F_DrawSetColourWriteEnable) {
  RenderState_SetColorWriteEnable(FlagArg(argc, args, 0), FlagArg(argc, args, 1), FlagArg(argc, args, 2),
                                  FlagArg(argc, args, 3));
}
TW_BUILTIN(F_DrawSetAlphaTest) { RenderState_SetAlphaTest(FlagArg(argc, args, 0)); }
TW_BUILTIN(F_DrawGetAlphaTest) { Return(result, RenderState_GetAlphaTest() ? 1 : 0); }
TW_BUILTIN(F_DrawSetAlphaTestRef) { RenderState_SetAlphaTestRef(uint32_t(RoundedArg(argc, args, 0))); }
TW_BUILTIN(F_DrawGetAlphaTestRef) { Return(result, RenderState_GetAlphaTestRef()); }

}  // namespace

DrawState& Draw_State() { return g_state; }

void DrawState_ResetForTests() {
  g_state = DrawState{};
  Draw_ResetCirclePrecision();
}

void Draw_SetColour(uint32_t colour) { g_state.colour = Colour_ToARGB(colour, g_state.alpha); }

void Draw_SetAlpha(float alpha) {
  if (!(alpha >= 0.0f)) alpha = 0.0f;  // NaN too
  if (alpha > 1.0f) alpha = 1.0f;
  g_state.alpha = uint32_t(Real_ToInt32(alpha * 255.0f));
  g_state.colour = Colour_SetAlphaByte(g_state.colour, g_state.alpha);
}

uint32_t Draw_GetColour() {
  uint32_t c = g_state.colour;
  return (c & 0xFF00FF00u) | (c >> 16 & 0xFFu) | (c & 0xFFu) << 16;
}

double Draw_GetAlpha() { return g_state.alpha / 255.0; }

void Draw_Clear(uint32_t colour) { Graphics_Clear(colour, 1.0f, 0, 7); }

void Draw_ClearAlpha(uint32_t colour, float alpha) {
  // Bits above the colour would otherwise spill into the alpha byte.
  Draw_Clear((colour & 0xFFFFFFu) | Colour_AlphaToByte(alpha) << 24);
}

void Text_SetFont(int32_t font) {
  if (Font_Exists(font)) {
    g_state.font = font;
  } else {
    g_state.font = -1;
    Text_CreateDefaultFont();
  }
}

void Text_SetHAlign(int32_t align) { g_state.halign = align == 1 || align == 2 ? align : 0; }
void Text_SetVAlign(int32_t align) { g_state.valign = align == 1 || align == 2 ? align : 0; }

void Draw_SetCirclePrecision(int precision) {
  if (precision < 4) precision = 4;
  if (precision > CircleTable::kMaxPrecision) precision = CircleTable::kMaxPrecision;
  precision &= ~3;
  CircleTable& c = g_state.circle;
  c.precision = precision;
  for (int i = 0; i <= precision; ++i) {
    float a = float(2 * i) * kPi / float(precision);
    c.cos[i] = std::cos(a);
    c.sin[i] = std::sin(a);
  }
}

int Draw_GetCirclePrecision() { return g_state.circle.precision; }
void Draw_ResetCirclePrecision() { Draw_SetCirclePrecision(24); }

void Direct_DrawSetColour(int32_t colour) { Draw_SetColour(uint32_t(colour)); }
void Direct_DrawSetAlpha(float alpha) { Draw_SetAlpha(alpha); }
void Direct_DrawSetHAlign(int32_t align) { Text_SetHAlign(align); }
void Direct_DrawSetVAlign(int32_t align) { Text_SetVAlign(align); }

void Draw_InstallTextureHooks() {
  // Quads drawn from texture pages read the draw alpha and corner-id switch.
  Texture_SetDrawHooks({[] { return float(Draw_GetAlpha()); }, [] { return Draw_State().cornerId; }});
}

std::span<const NamedBuiltin> Draw_StateBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"draw_set_color", F_DrawSetColour},
      {"draw_set_colour", F_DrawSetColour},
      {"draw_get_color", F_DrawGetColour},
      {"draw_get_colour", F_DrawGetColour},
      {"draw_set_alpha", F_DrawSetAlpha},
      {"draw_get_alpha", F_DrawGetAlpha},
      {"make_color", F_MakeColourRGB},
      {"make_colour", F_MakeColourRGB},
      {"make_color_rgb", F_MakeColourRGB},
      {"make_colour_rgb", F_MakeColourRGB},
      {"make_color_hsv", F_MakeColourHSV},
      {"make_colour_hsv", F_MakeColourHSV},
      {"color_get_red", F_ColourGetRed},
      {"colour_get_red", F_ColourGetRed},
      {"color_get_green", F_ColourGetGreen},
      {"colour_get_green", F_ColourGetGreen},
      {"color_get_blue", F_ColourGetBlue},
      {"colour_get_blue", F_ColourGetBlue},
      {"color_get_hue", F_ColourGetHue},
      {"colour_get_hue", F_ColourGetHue},
      {"color_get_saturation", F_ColourGetSaturation},
      {"colour_get_saturation", F_ColourGetSaturation},
      {"color_get_value", F_ColourGetValue},
      {"colour_get_value", F_ColourGetValue},
      {"merge_color", F_MergeColour},
      {"merge_colour", F_MergeColour},
      {"draw_clear", F_DrawClear},
      {"draw_clear_alpha", F_DrawClearAlpha},
      {"draw_set_circle_precision", F_DrawSetCirclePrecision},
      {"draw_set_font", F_DrawSetFont},
      {"draw_set_halign", F_DrawSetHAlign},
      {"draw_set_valign", F_DrawSetVAlign},
      {"draw_set_blend_mode", F_DrawSetBlendMode},
      {"draw_set_blend_mode_ext", F_DrawSetBlendModeExt},
      {"draw_set_color_write_enable", F_DrawSetColourWriteEnable},
      {"draw_set_alpha_test", F_DrawSetAlphaTest},
      {"draw_get_alpha_test", F_DrawGetAlphaTest},
      {"draw_set_alpha_test_ref_value", F_DrawSetAlphaTestRef},
      {"draw_get_alpha_test_ref_value", F_DrawGetAlphaTestRef},
  };
  return kEntries;
}
