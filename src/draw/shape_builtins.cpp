// The shape family of the drawing group: the shapes, draw_path and the
// free-form primitives. Coordinates, sizes and amounts stay reals, colours
// are rounded, and outline, up, showback, showborder and absolute hold from
// 0.5 up.
#include <span>

#include "core/paths.h"
#include "draw/colour.h"
#include "draw/draw_builtins.h"
#include "draw/primitives.h"
#include "script/builtin_args.h"
#include "script/errors.h"

namespace {

// Corners of the rounded rectangles the built-ins draw.
constexpr float kRoundCorner = 10;

TW_BUILTIN(F_DrawPoint) { Draw_Point(FloatArg(argc, args, 0), FloatArg(argc, args, 1)); }
TW_BUILTIN(F_DrawPointColour) {
  Draw_PointColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), ColourArg(argc, args, 2));
}
TW_BUILTIN(F_DrawLine) {
  Draw_Line(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3));
}

TW_BUILTIN(F_DrawLineColour) {
  Draw_LineColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                  ColourArg(argc, args, 4), ColourArg(argc, args, 5));
}

TW_BUILTIN(F_DrawLineWidth) {
  Draw_LineWidth(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                 FloatArg(argc, args, 4));
}

TW_BUILTIN(F_DrawLineWidthColour) {
  Draw_LineWidthColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2),
                       FloatArg(argc, args, 3), FloatArg(argc, args, 4), ColourArg(argc, args, 5),
                       ColourArg(argc, args, 6));
}

TW_BUILTIN(F_DrawRectangle) {
  Draw_Rectangle(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                 HalfFlagArg(argc, args, 4));
}

TW_BUILTIN(F_DrawRectangleColour) {
  Draw_RectangleColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2),
                       FloatArg(argc, args, 3), ColourArg(argc, args, 4), ColourArg(argc, args, 5),
                       ColourArg(argc, args, 6), ColourArg(argc, args, 7), HalfFlagArg(argc, args, 8));
}

TW_BUILTIN(F_DrawRoundRect) {
  Draw_RoundRect(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                 kRoundCorner, kRoundCorner, HalfFlagArg(argc, args, 4));
}

TW_BUILTIN(F_DrawRoundRectColour) {
  Draw_RoundRectColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2),
                       FloatArg(argc, args, 3), kRoundCorner, kRoundCorner, ColourArg(argc, args, 4),
                       ColourArg(argc, args, 5), HalfFlagArg(argc, args, 6));
}

TW_BUILTIN(F_DrawTriangle) {
  Draw_Triangle(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                FloatArg(argc, args, 4), FloatArg(argc, args, 5), HalfFlagArg(argc, args, 6));
}

TW_BUILTIN(F_DrawTriangleColour) {
  Draw_TriangleColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2),
                      FloatArg(argc, args, 3), FloatArg(argc, args, 4), FloatArg(argc, args, 5),
                      ColourArg(argc, args, 6), ColourArg(argc, args, 7), ColourArg(argc, args, 8),
                      HalfFlagArg(argc, args, 9));
}

TW_BUILTIN(F_DrawCircle) {
  Draw_Circle(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), HalfFlagArg(argc, args, 3));
}

TW_BUILTIN(F_DrawCircleColour) {
  Draw_CircleColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2),
                    ColourArg(argc, args, 3), ColourArg(argc, args, 4), HalfFlagArg(argc, args, 5));
}

TW_BUILTIN(F_DrawEllipse) {
  Draw_Ellipse(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
               HalfFlagArg(argc, args, 4));
}

TW_BUILTIN(F_DrawEllipseColour) {
  Draw_EllipseColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2),
                     FloatArg(argc, args, 3), ColourArg(argc, args, 4), ColourArg(argc, args, 5),
                     HalfFlagArg(argc, args, 6));
}

TW_BUILTIN(F_DrawArrow) {
  Draw_Arrow(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
             FloatArg(argc, args, 4));
}

TW_BUILTIN(F_DrawButton) {
  Draw_Button(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
              HalfFlagArg(argc, args, 4));
}

TW_BUILTIN(F_DrawHealthbar) {
  const uint32_t minColour = ColourArg(argc, args, 6), maxColour = ColourArg(argc, args, 7);
  Draw_Healthbar(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2), FloatArg(argc, args, 3),
                 FloatArg(argc, args, 4), ColourArg(argc, args, 5), minColour,
                 Colour_Merge(minColour, maxColour, 0.5), maxColour, RoundedArg(argc, args, 8),
                 HalfFlagArg(argc, args, 9), HalfFlagArg(argc, args, 10));
}

TW_BUILTIN(F_DrawPath) {
  const CMotionPath* path = Path_Get(RoundedArg(argc, args, 0));
  if (!path) {
    Error_ReportRuntime(ErrorSeverity::kError, "Trying to drawn non-existing path.");
    return;
  }
  Draw_Path(*path, FloatArg(argc, args, 1), FloatArg(argc, args, 2), HalfFlagArg(argc, args, 3));
}

TW_BUILTIN(F_DrawPrimitiveBegin) { Draw_PrimitiveBegin(RoundedArg(argc, args, 0), -1); }
TW_BUILTIN(F_DrawPrimitiveBeginTexture) {
  Draw_PrimitiveBegin(RoundedArg(argc, args, 0), RoundedArg(argc, args, 1));
}
TW_BUILTIN(F_DrawPrimitiveEnd) { Draw_PrimitiveEnd(); }
TW_BUILTIN(F_DrawVertex) { Draw_Vertex(FloatArg(argc, args, 0), FloatArg(argc, args, 1)); }

TW_BUILTIN(F_DrawVertexColour) {
  Draw_VertexColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), ColourArg(argc, args, 2),
                    FloatArg(argc, args, 3));
}

TW_BUILTIN(F_DrawVertexTexture) {
  Draw_VertexTexture(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2),
                     FloatArg(argc, args, 3));
}

TW_BUILTIN(F_DrawVertexTextureColour) {
  Draw_VertexTextureColour(FloatArg(argc, args, 0), FloatArg(argc, args, 1), FloatArg(argc, args, 2),
                           FloatArg(argc, args, 3), ColourArg(argc, args, 4), FloatArg(argc, args, 5));
}

}  // namespace

std::span<const NamedBuiltin> Draw_ShapeBuiltins() {
  static const NamedBuiltin kEntries[] = {
      {"draw_point", F_DrawPoint},
      {"draw_line", F_DrawLine},
      {"draw_line_width", F_DrawLineWidth},
      {"draw_rectangle", F_DrawRectangle},
      {"draw_roundrect", F_DrawRoundRect},
      {"draw_triangle", F_DrawTriangle},
      {"draw_circle", F_DrawCircle},
      {"draw_ellipse", F_DrawEllipse},
      {"draw_arrow", F_DrawArrow},
      {"draw_button", F_DrawButton},
      {"draw_healthbar", F_DrawHealthbar},
      {"draw_path", F_DrawPath},
      {"draw_point_color", F_DrawPointColour},
      {"draw_point_colour", F_DrawPointColour},
      {"draw_line_color", F_DrawLineColour},
      {"draw_line_colour", F_DrawLineColour},
      {"draw_line_width_color", F_DrawLineWidthColour},
      {"draw_line_width_colour", F_DrawLineWidthColour},
      {"draw_rectangle_color", F_DrawRectangleColour},
      {"draw_rectangle_colour", F_DrawRectangleColour},
      {"draw_roundrect_color", F_DrawRoundRectColour},
      {"draw_roundrect_colour", F_DrawRoundRectColour},
      {"draw_triangle_color", F_DrawTriangleColour},
      {"draw_triangle_colour", F_DrawTriangleColour},
      {"draw_circle_color", F_DrawCircleColour},
      {"draw_circle_colour", F_DrawCircleColour},
      {"draw_ellipse_color", F_DrawEllipseColour},
      {"draw_ellipse_colour", F_DrawEllipseColour},
      {"draw_primitive_begin", F_DrawPrimitiveBegin},
      {"draw_primitive_begin_texture", F_DrawPrimitiveBeginTexture},
      {"draw_primitive_end", F_DrawPrimitiveEnd},
      {"draw_vertex", F_DrawVertex},
      {"draw_vertex_color", F_DrawVertexColour},
      {"draw_vertex_colour", F_DrawVertexColour},
      {"draw_vertex_texture", F_DrawVertexTexture},
      {"draw_vertex_texture_color", F_DrawVertexTextureColour},
  };
  return kEntries;
}
