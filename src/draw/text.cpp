#include "draw/text.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "draw/draw.h"
#include "draw/draw_state.h"
#include "draw/fonts.h"
#include "files/files.h"
#include "script/value.h"

namespace {

constexpr uint16_t kReturn = 13, kLineFeed = 10, kSpace = 32;
constexpr float kPi = 3.1415927f;

// One line of a layout, [start, end) of the characters.
struct Span {
  size_t start, end;
};

// The lines of `chars` as Text_SplitLines cuts them.
std::vector<Span> Cut(const std::vector<uint16_t>& chars, int width, CFontTW* font) {
  std::vector<Span> lines;
  const size_t n = chars.size();
  if (width < 0) width = kTextNoWrap;
  size_t s = 0;
  while (s < n) {
    size_t e;
    if (width == kTextNoWrap) {
      e = s;
      while (e < n && chars[e] != kReturn && chars[e] != kLineFeed) ++e;
    } else {
      size_t i = s;
      // Leading spaces stay in the line but are not measured.
      while (i < n && chars[i] == kSpace) ++i;
      int64_t sum = 0;
      while (i < n && sum < width && chars[i] != kReturn) {
        sum += font ? font->GetAdvance(chars[i]) : 0;
        ++i;
      }
      if (sum > width) --i;
      bool trim = false;
      if (i < n && chars[i] == kReturn) {
        e = i;
      } else if (i == s) {
        break;  // not one character fits: the layout ends here
      } else if (i == n || chars[i] == kSpace) {
        trim = true;
      } else {
        size_t j = i;
        while (j > s && chars[j] != kSpace) --j;
        if (chars[j] == kSpace) {
          i = j;
          trim = true;
        } else {
          // A word longer than the width is not broken; a line break still
          // ends it.
          i = s;
          while (i < n && chars[i] != kSpace && chars[i] != kReturn) ++i;
          e = i;
        }
      }
      if (trim) {
        while (i > s && chars[i - 1] == kSpace) --i;
        if (i == s) {
          ++s;  // only spaces: no line
          continue;
        }
        e = i;
      }
    }
    lines.push_back({s, e});
    s = e + 1;
  }
  return lines;
}

int Separation(int separation, CFontTW* font) { return separation < 0 ? font->TextHeight(nullptr) : separation; }

// Where a layout's lines go, and what draws one of them.
template <typename DrawLine>
void DrawLines(float x, float y, const char* text, int separation, int width, DrawLine draw) {
  CFontTW* font = Text_MeasuringFont();
  if (!font || !text) return;
  TStringList list;
  Text_SplitLines(text, width, &list);
  const int sep = Separation(separation, font);
  const int lines = list.Count();
  const int valign = Draw_State().valign;
  if (valign == 1) y -= float(int64_t(sep) * lines / 2);
  if (valign == 2) y -= float(int64_t(sep) * lines);
  const int halign = Draw_State().halign;
  for (const uint16_t* line : list.lines) {
    if (*line) {
      const int lineWidth = font->TextWidth(line);
      const float shift = halign == 1 ? float(-(lineWidth / 2)) : halign == 2 ? float(-lineWidth) : 0.0f;
      draw(font, x + shift, y, line);
    }
    y += float(sep);
  }
}

template <typename DrawLine>
void DrawLinesTransformed(float x, float y, const char* text, int separation, int width, float xScale, float yScale,
                          float angle, DrawLine draw) {
  CFontTW* font = Text_MeasuringFont();
  if (!font || !text) return;
  TStringList list;
  Text_SplitLines(text, width, &list);
  const int sep = Separation(separation, font);
  const float theta = angle * kPi / 180.0f;
  const float c = std::cos(theta), s = std::sin(theta);
  const float dx = s * yScale * float(sep), dy = c * yScale * float(sep);
  const float lines = float(list.Count());
  const int valign = Draw_State().valign;
  if (valign == 1) {
    x -= lines * dx * 0.5f;
    y -= lines * dy * 0.5f;
  } else if (valign == 2) {
    x -= lines * dx;
    y -= lines * dy;
  }
  const int halign = Draw_State().halign;
  for (const uint16_t* line : list.lines) {
    if (*line) {
      const float lineWidth = float(font->TextWidth(line));
      const float h = halign == 1 ? -lineWidth * xScale * 0.5f : halign == 2 ? -lineWidth * xScale : 0.0f;
      draw(font, x + h * c, y - h * s, line);
    }
    x += dx;
    y += dy;
  }
}

}  // namespace

std::vector<uint16_t> Support_ConvertHashNewlines(const char* text) {
  std::vector<uint16_t> chars;
  if (!text) return chars;
  std::string converted = text;
  Support_ConvertHashNewlines(&converted);
  for (const char* p = converted.c_str(); *p;) chars.push_back(uint16_t(UTF8_DecodeChar(&p)));
  return chars;
}

CFontTW* Text_MeasuringFont() {
  if (CFontTW* f = Font_Get(Draw_State().font)) return f;
  Text_CreateDefaultFont();
  return Text_DefaultFont();
}

void Text_SplitLines(const char* text, int width, TStringList* list) {
  Text_ClearLines(list);
  if (!text) return;
  const std::vector<uint16_t> chars = Support_ConvertHashNewlines(text);
  const std::vector<Span> spans = Cut(chars, width, Text_MeasuringFont());
  // Each line is its characters and a 0, one after another in the block.
  size_t size = 0;
  for (const Span& l : spans) size += l.end - l.start + 1;
  list->block.reserve(size);
  std::vector<size_t> starts;
  for (const Span& l : spans) {
    starts.push_back(list->block.size());
    list->block.insert(list->block.end(), chars.begin() + ptrdiff_t(l.start), chars.begin() + ptrdiff_t(l.end));
    list->block.push_back(0);
  }
  for (size_t at : starts) list->lines.push_back(list->block.data() + at);
}

void Text_ClearLines(TStringList* list) {
  list->lines.clear();
  list->block.clear();
}

int Text_Width(const char* text, int separation, int width) {
  CFontTW* font = Text_MeasuringFont();
  TStringList list;
  Text_SplitLines(text, width, &list);
  int widest = 0;
  if (font)
    for (const uint16_t* line : list.lines) widest = std::max(widest, font->TextWidth(line));
  return widest;
}

int Text_Height(const char* text, int separation, int width) {
  CFontTW* font = Text_MeasuringFont();
  TStringList list;
  Text_SplitLines(text, width, &list);
  if (!font || list.Count() == 0) return 0;
  const int64_t height = font->TextHeight(nullptr) + int64_t(Separation(separation, font)) * (list.Count() - 1);
  return int(std::clamp<int64_t>(height, INT32_MIN, INT32_MAX));
}

void Text_Draw(float x, float y, const char* text, int separation, int width) {
  const uint32_t colour = Draw_GetColour();
  const float alpha = float(Draw_GetAlpha());
  DrawLines(x, y, text, separation, width,
            [&](CFontTW* font, float lx, float ly, const uint16_t* line) { font->Draw(lx, ly, line, colour, alpha); });
}

void Text_DrawTransformed(float x, float y, const char* text, int separation, int width, float xScale, float yScale,
                          float angle) {
  const uint32_t colour = Draw_GetColour();
  const float alpha = float(Draw_GetAlpha());
  DrawLinesTransformed(x, y, text, separation, width, xScale, yScale, angle,
                       [&](CFontTW* font, float lx, float ly, const uint16_t* line) {
                         font->DrawTransformed(lx, ly, line, xScale, yScale, angle, colour, alpha);
                       });
}

void Text_DrawColour(float x, float y, const char* text, int separation, int width, uint32_t c1, uint32_t c2,
                     uint32_t c3, uint32_t c4, float alpha) {
  DrawLines(x, y, text, separation, width, [&](CFontTW* font, float lx, float ly, const uint16_t* line) {
    font->DrawColour(lx, ly, line, c1, c2, c3, c4, alpha);
  });
}

void Text_DrawTransformedColour(float x, float y, const char* text, int separation, int width, float xScale,
                                float yScale, float angle, uint32_t c1, uint32_t c2, uint32_t c3, uint32_t c4,
                                float alpha) {
  DrawLinesTransformed(x, y, text, separation, width, xScale, yScale, angle,
                       [&](CFontTW* font, float lx, float ly, const uint16_t* line) {
                         font->DrawTransformedColour(lx, ly, line, xScale, yScale, angle, c1, c2, c3, c4, alpha);
                       });
}

std::string Text_FormatValue(const ScriptValue& value) {
  const float f = float(value.Real());
  char buffer[64];
  if (f == std::nearbyint(f)) {
    // Whole numbers beyond 64 bits print in full without a fraction.
    if (std::fabs(f) < 9.2e18f) std::snprintf(buffer, sizeof buffer, "%" PRId64, int64_t(f));
    else std::snprintf(buffer, sizeof buffer, "%.0f", double(f));
  } else {
    std::snprintf(buffer, sizeof buffer, "%.2f", double(f));
  }
  return buffer;
}

int Text_WideLength(const uint16_t* text) {
  int n = 0;
  if (text)
    while (text[n]) ++n;
  return n;
}
