// The drawing group's sprite and background built-ins and the screen-pixel
// reads: each checks its resource, converts its arguments and hands over to
// the sprite's or background's own drawing.
#include <cmath>

#include "core/instances.h"
#include "core/rooms.h"
#include "core/run_state.h"
#include "draw/draw.h"
#include "draw/draw_builtins.h"
#include "graphics/frame.h"
#include "graphics/view_mapping.h"
#include "graphics/viewport.h"
#include "script/builtin_args.h"
#include "script/errors.h"
#include "sprites/backgrounds.h"
#include "sprites/sprites.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// The sprite index truncates, unlike most indices.
CSprite* NamedSprite(int32_t index) {
  CSprite* s = Sprite_Get(index);
  if (!s) Error_ReportRuntime(ErrorSeverity::kError, "Trying to draw non-existing sprite.");
  return s;
}

CSprite* SpriteArg(int argc, const ScriptValue* args) { return NamedSprite(TruncatedArg(argc, args, 0)); }

int32_t FloorToInt(double x) { return Real_ToInt32(std::floor(x)); }

// The frame a subimage argument asks for: floored after narrowing to single
// precision; a negative one means the frame the caller shows now.
int32_t Subimage(const CObjInstance* self, int argc, const ScriptValue* args) {
  const double wanted = std::floor(double(float(Arg(argc, args, 1))));
  if (wanted < 0) return self ? FloorToInt(self->image_index) : 0;
  return Real_ToInt32(wanted);
}

CBackgroundImage* BackgroundArg(int argc, const ScriptValue* args) {
  CBackgroundImage* b = Background_Get(RoundedArg(argc, args, 0));
  if (!b) Error_ReportRuntime(ErrorSeverity::kError, "Trying to draw non-existing background.");
  return b;
}

float DrawAlpha() { return float(Draw_GetAlpha()); }

// Tiling covers the running room.
float RoomWidth() { return g_Run.room ? float(g_Run.room->width) : 0.0f; }
float RoomHeight() { return g_Run.room ? float(g_Run.room->height) : 0.0f; }

TW_BUILTIN(F_DrawSelf) {
  if (!self) return;
  CSprite* s = NamedSprite(self->sprite_index);
  if (!s) return;
  s->DrawExt(FloorToInt(self->image_index), self->x, self->y, self->image_xscale, self->image_yscale,
             self->image_angle, self->image_blend, self->image_alpha);
}

TW_BUILTIN(F_DrawSprite) {
  if (CSprite* s = SpriteArg(argc, args))
    s->Draw(Subimage(self, argc, args), FloatArg(argc, args, 2), FloatArg(argc, args, 3));
}

TW_BUILTIN(F_DrawSpriteExt) {
  if (CSprite* s = SpriteArg(argc, args)) {
    s->DrawExt(Subimage(self, argc, args), FloatArg(argc, args, 2), FloatArg(argc, args, 3), FloatArg(argc, args, 4),
               FloatArg(argc, args, 5), FloatArg(argc, args, 6), ColourArg(argc, args, 7), FloatArg(argc, args, 8));
  }
}

TW_BUILTIN(F_DrawSpritePos) {
  // The subimage only truncates here: -1 wraps to the last frame.
  if (CSprite* s = SpriteArg(argc, args)) {
    s->DrawPos(TruncatedArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
               FloatArg(argc, args, 4), FloatArg(argc, args, 5), FloatArg(argc, args, 6), FloatArg(argc, args, 7),
               FloatArg(argc, args, 8), FloatArg(argc, args, 9), 0xFFFFFFFFu, FloatArg(argc, args, 10));
  }
}

TW_BUILTIN(F_DrawSpriteStretched) {
  if (CSprite* s = SpriteArg(argc, args)) {
    s->DrawStretched(Subimage(self, argc, args), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                     FloatArg(argc, args, 4), FloatArg(argc, args, 5), kWhite, DrawAlpha());
  }
}

TW_BUILTIN(F_DrawSpriteStretchedExt) {
  if (CSprite* s = SpriteArg(argc, args)) {
    s->DrawStretched(Subimage(self, argc, args), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                     FloatArg(argc, args, 4), FloatArg(argc, args, 5), ColourArg(argc, args, 6),
                     FloatArg(argc, args, 7));
  }
}

TW_BUILTIN(F_DrawSpritePart) {
  if (CSprite* s = SpriteArg(argc, args)) {
    s->DrawPart(Subimage(self, argc, args), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                FloatArg(argc, args, 4), FloatArg(argc, args, 5), FloatArg(argc, args, 6), FloatArg(argc, args, 7),
                1, 1, kWhite, DrawAlpha());
  }
}

TW_BUILTIN(F_DrawSpritePartExt) {
  if (CSprite* s = SpriteArg(argc, args)) {
    s->DrawPart(Subimage(self, argc, args), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                FloatArg(argc, args, 4), FloatArg(argc, args, 5), FloatArg(argc, args, 6), FloatArg(argc, args, 7),
                FloatArg(argc, args, 8), FloatArg(argc, args, 9), ColourArg(argc, args, 10),
                FloatArg(argc, args, 11));
  }
}

TW_BUILTIN(F_DrawSpriteGeneral) {
  if (CSprite* s = SpriteArg(argc, args)) {
    s->DrawGeneral(Subimage(self, argc, args), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                   FloatArg(argc, args, 4), FloatArg(argc, args, 5), FloatArg(argc, args, 6),
                   FloatArg(argc, args, 7), FloatArg(argc, args, 8), FloatArg(argc, args, 9),
                   FloatArg(argc, args, 10), ColourArg(argc, args, 11), ColourArg(argc, args, 12),
                   ColourArg(argc, args, 13), ColourArg(argc, args, 14), FloatArg(argc, args, 15));
  }
}

TW_BUILTIN(F_DrawSpriteTiled) {
  if (CSprite* s = SpriteArg(argc, args)) {
    s->DrawTiled(Subimage(self, argc, args), FloatArg(argc, args, 2), FloatArg(argc, args, 3), 1, 1, true, true, 0,
                 0, RoomWidth(), RoomHeight(), kWhite, DrawAlpha());
  }
}

TW_BUILTIN(F_DrawSpriteTiledExt) {
  if (CSprite* s = SpriteArg(argc, args)) {
    s->DrawTiled(Subimage(self, argc, args), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                 FloatArg(argc, args, 4), FloatArg(argc, args, 5), true, true, 0, 0, RoomWidth(), RoomHeight(),
                 ColourArg(argc, args, 6), FloatArg(argc, args, 7));
  }
}

TW_BUILTIN(F_DrawBackground) {
  if (CBackgroundImage* b = BackgroundArg(argc, args)) b->Draw(FloatArg(argc, args, 1), FloatArg(argc, args, 2));
}

TW_BUILTIN(F_DrawBackgroundExt) {
  if (CBackgroundImage* b = BackgroundArg(argc, args)) {
    b->DrawExt(FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3), FloatArg(argc, args, 4),
               FloatArg(argc, args, 5), ColourArg(argc, args, 6), FloatArg(argc, args, 7));
  }
}

TW_BUILTIN(F_DrawBackgroundStretched) {
  if (CBackgroundImage* b = BackgroundArg(argc, args)) {
    b->DrawStretched(FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                     FloatArg(argc, args, 4), kWhite, DrawAlpha());
  }
}

TW_BUILTIN(F_DrawBackgroundStretchedExt) {
  if (CBackgroundImage* b = BackgroundArg(argc, args)) {
    b->DrawStretched(FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                     FloatArg(argc, args, 4), ColourArg(argc, args, 5), FloatArg(argc, args, 6));
  }
}

TW_BUILTIN(F_DrawBackgroundPart) {
  if (CBackgroundImage* b = BackgroundArg(argc, args)) {
    b->DrawPart(FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3), FloatArg(argc, args, 4),
                FloatArg(argc, args, 5), FloatArg(argc, args, 6), 1, 1, kWhite, DrawAlpha());
  }
}

TW_BUILTIN(F_DrawBackgroundPartExt) {
  if (CBackgroundImage* b = BackgroundArg(argc, args)) {
    b->DrawPart(FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3), FloatArg(argc, args, 4),
                FloatArg(argc, args, 5), FloatArg(argc, args, 6), FloatArg(argc, args, 7), FloatArg(argc, args, 8),
                ColourArg(argc, args, 9), FloatArg(argc, args, 10));
  }
}

TW_BUILTIN(F_DrawBackgroundGeneral) {
  if (CBackgroundImage* b = BackgroundArg(argc, args)) {
    b->DrawGeneral(FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                   FloatArg(argc, args, 4), FloatArg(argc, args, 5), FloatArg(argc, args, 6),
                   FloatArg(argc, args, 7), FloatArg(argc, args, 8), FloatArg(argc, args, 9),
                   ColourArg(argc, args, 10), ColourArg(argc, args, 11), ColourArg(argc, args, 12),
                   ColourArg(argc, args, 13), FloatArg(argc, args, 14));
  }
}

TW_BUILTIN(F_DrawBackgroundTiled) {
  if (CBackgroundImage* b = BackgroundArg(argc, args)) {
    b->DrawTiled(FloatArg(argc, args, 1), FloatArg(argc, args, 2), 1, 1, true, true, 0, 0, RoomWidth(), RoomHeight(),
                 kWhite, DrawAlpha());
  }
}

TW_BUILTIN(F_DrawBackgroundTiledExt) {
  if (CBackgroundImage* b = BackgroundArg(argc, args)) {
    b->DrawTiled(FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3), FloatArg(argc, args, 4),
                 true, true, 0, 0, RoomWidth(), RoomHeight(), ColourArg(argc, args, 5), FloatArg(argc, args, 6));
  }
}

// The screen pixel under a room point of the view being drawn, 0xAABBGGRR.
// The mapping gives a port pixel; the ports are scaled into the screen
// texture, so a window larger than the ports' extent would otherwise read
// the wrong pixel.
uint32_t PixelAt(int argc, const ScriptValue* args) {
  int x = 0, y = 0;
  Window_RoomToWindow(Graphics_ViewCurrent(), FloatArg(argc, args, 0), FloatArg(argc, args, 1), &x, &y);
  float scaleX = 1, scaleY = 1;
  Graphics_GetPortScale(&scaleX, &scaleY);
  return Graphics_GetScreenPixel(FloorToInt((x + 0.5) * scaleX), FloorToInt((y + 0.5) * scaleY));
}

TW_BUILTIN(F_DrawGetPixelExt) { Return(result, double(PixelAt(argc, args))); }
TW_BUILTIN(F_DrawGetPixel) { Return(result, double(PixelAt(argc, args) & 0xFFFFFFu)); }

}  // namespace

std::span<const NamedBuiltin> Draw_ImageBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"draw_getpixel", F_DrawGetPixel},
      {"draw_getpixel_ext", F_DrawGetPixelExt},
      {"draw_self", F_DrawSelf},
      {"draw_sprite", F_DrawSprite},
      {"draw_sprite_ext", F_DrawSpriteExt},
      {"draw_sprite_pos", F_DrawSpritePos},
      {"draw_sprite_stretched", F_DrawSpriteStretched},
      {"draw_sprite_stretched_ext", F_DrawSpriteStretchedExt},
      {"draw_sprite_part", F_DrawSpritePart},
      {"draw_sprite_part_ext", F_DrawSpritePartExt},
      {"draw_sprite_general", F_DrawSpriteGeneral},
      {"draw_sprite_tiled", F_DrawSpriteTiled},
      {"draw_sprite_tiled_ext", F_DrawSpriteTiledExt},
      {"draw_background", F_DrawBackground},
      {"draw_background_ext", F_DrawBackgroundExt},
      {"draw_background_stretched", F_DrawBackgroundStretched},
      {"draw_background_stretched_ext", F_DrawBackgroundStretchedExt},
      {"draw_background_part", F_DrawBackgroundPart},
      {"draw_background_part_ext", F_DrawBackgroundPartExt},
      {"draw_background_general", F_DrawBackgroundGeneral},
      {"draw_background_tiled", F_DrawBackgroundTiled},
      {"draw_background_tiled_ext", F_DrawBackgroundTiledExt},
  };
  return kEntries;
}
