// 2D primitives: points, lines, triangles, rectangles, ellipses, rounded
// rectangles, arrows, buttons, health bars, and the free-form primitives
// scripts build vertex by vertex. Each shape reserves its vertices in the
// vertex batch and writes them in place; nothing here talks to the device.
// Colours, alpha, depth, the 2D offset and the circle table come from the
// draw state. Colour arguments are script colours (0x00BBGGRR) and take the
// current alpha; shapes without them use the draw colour.
#pragma once
#include <cstdint>

class CMotionPath;

void Draw_Point(float x, float y);
void Draw_PointColour(float x, float y, uint32_t colour);
void Draw_Line(float x1, float y1, float x2, float y2);
void Draw_LineColour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2);
// Nothing for a line of length 0.
void Draw_LineWidth(float x1, float y1, float x2, float y2, float width);
void Draw_LineWidthColour(float x1, float y1, float x2, float y2, float width, uint32_t colour1, uint32_t colour2);
void Draw_Triangle(float x1, float y1, float x2, float y2, float x3, float y3, bool outline);
void Draw_TriangleColour(float x1, float y1, float x2, float y2, float x3, float y3, uint32_t colour1,
                         uint32_t colour2, uint32_t colour3, bool outline);
// Corners in either order.
void Draw_Rectangle(float x1, float y1, float x2, float y2, bool outline);
// Colours: top-left, top-right, bottom-right, bottom-left.
void Draw_RectangleColour(float x1, float y1, float x2, float y2, uint32_t colour1, uint32_t colour2,
                          uint32_t colour3, uint32_t colour4, bool outline);
// The ellipse inside a box; centre and edge are device colours.
void Draw_EllipseShape(float x1, float y1, float x2, float y2, uint32_t centre, uint32_t edge, bool outline);
void Draw_Ellipse(float x1, float y1, float x2, float y2, bool outline);
void Draw_EllipseColour(float x1, float y1, float x2, float y2, uint32_t centre, uint32_t edge, bool outline);
void Draw_Circle(float x, float y, float r, bool outline);
void Draw_CircleColour(float x, float y, float r, uint32_t centre, uint32_t edge, bool outline);
// Corners capped at the box; centre and edge are device colours.
void Draw_RoundRectShape(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                         uint32_t centre, uint32_t edge, bool outline);
void Draw_RoundRect(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight, bool outline);
void Draw_RoundRectColour(float x1, float y1, float x2, float y2, float cornerWidth, float cornerHeight,
                          uint32_t centre, uint32_t edge, bool outline);
// The head is at (x2, y2); its length is capped at the line's.
void Draw_Arrow(float x1, float y1, float x2, float y2, float size);
void Draw_Button(float x1, float y1, float x2, float y2, bool up);
// amount 0..100; direction 0 grows from the left, 1 from the right, 2 from
// the top, 3 from the bottom (anything else as 0).
void Draw_Healthbar(float x1, float y1, float x2, float y2, float amount, uint32_t back, uint32_t minColour,
                    uint32_t midColour, uint32_t maxColour, int32_t direction, bool showBack, bool showBorder);

// ---- Free-form primitives ----------------------------------------------------------

// At most this many vertices are kept; later ones are dropped silently.
constexpr int kPrimitiveMaxVertices = 1001;

// Empties the list. texture: -1 none, a texture index, or a page-entry
// handle (TPage_FromHandle); anything else is the fatal error "Illegal
// texture supplied.".
void Draw_PrimitiveBegin(int32_t kind, int32_t texture);
void Draw_Vertex(float x, float y);
void Draw_VertexColour(float x, float y, uint32_t colour, float alpha);
// With a page entry, u and v of 0..1 span the entry's image on its page.
void Draw_VertexTexture(float x, float y, float u, float v);
void Draw_VertexTextureColour(float x, float y, float u, float v, uint32_t colour, float alpha);
// Draws the list as one batch; the list stays, so a second end draws again.
void Draw_PrimitiveEnd();
// Vertices held by the list (tests).
int Draw_PrimitiveCount();

// A path as a line strip through the free-form list (which it replaces), a
// vertex every 4 pixels of its length, at most 1000 segments. absolute: at
// the path's own coordinates; else moved so that it starts at (x, y).
void Draw_Path(const CMotionPath& path, float x, float y, bool absolute);
