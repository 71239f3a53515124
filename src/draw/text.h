// Text layout and drawing: a script text laid out into lines ("#" breaks a
// line, "\#" is a plain "#"), wrapped at spaces to a width, aligned by the
// draw state and drawn line by line in the current font.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ScriptValue;

// The lines of one layout: each a zero-terminated run of 16-bit characters
// inside the list's own block.
struct TStringList {
  std::vector<uint16_t> block;
  std::vector<const uint16_t*> lines;
  int Count() const { return int(lines.size()); }
};

// A negative width means no wrapping.
constexpr int kTextNoWrap = 10000000;

// The text as 16-bit characters with "#" turned into a carriage return (13)
// and "\#" into "#". The caller's text is never changed: a value drawn
// twice lays out the same both times.
std::vector<uint16_t> Support_ConvertHashNewlines(const char* text);

// Lays the text out into the list (emptied first), wrapping at `width`
// pixels of the measuring font (negative: no wrapping).
void Text_SplitLines(const char* text, int width, TStringList* list);
void Text_ClearLines(TStringList* list);

// The font text calls measure and draw with: the current font when it
// exists, else the built-in font (made now if need be).
class CFontTW;
CFontTW* Text_MeasuringFont();

// The widest line (unscaled advances); the separation is not used.
int Text_Width(const char* text, int separation, int width);
// Line height + separation x (lines - 1); a negative separation is the line
// height. 0 without lines.
int Text_Height(const char* text, int separation, int width);

// In the draw colour and alpha, aligned by the draw state.
void Text_Draw(float x, float y, const char* text, int separation, int width);
void Text_DrawTransformed(float x, float y, const char* text, int separation, int width, float xScale, float yScale,
                          float angle);
// c1..c4: script colours of each line's top-left, top-right, bottom-right
// and bottom-left; alpha 0..1.
void Text_DrawColour(float x, float y, const char* text, int separation, int width, uint32_t c1, uint32_t c2,
                     uint32_t c3, uint32_t c4, float alpha);
void Text_DrawTransformedColour(float x, float y, const char* text, int separation, int width, float xScale,
                                float yScale, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                                float alpha);

// What the draw built-ins show for a value that is not a string: the value
// in single precision, as a whole number when it is one, else with two
// decimals.
std::string Text_FormatValue(const ScriptValue& value);
// Characters before the terminating 0.
int Text_WideLength(const uint16_t* text);
