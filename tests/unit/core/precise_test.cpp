// Precise collision tests against masks: the mapping of room pixels into the
// frame, and rectangle and ellipse tests against a brute-force walk of the
// point test over random cases.
#include "core/precise.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "graphics/image_codecs.h"

namespace {

// A w x h frame whose only solid cells are those listed.
struct Sprite {
  std::vector<std::vector<uint8_t>> masks;
  MaskView view;
  Sprite(int w, int h, std::initializer_list<std::pair<int, int>> cells, int frames = 1) {
    masks.assign(size_t(frames), std::vector<uint8_t>(size_t(w * h), 0));
    for (auto& m : masks)
      for (auto [x, y] : cells) m[size_t(y * w + x)] = 1;
    view = MaskView{w, h, 0, 0, frames, true, &masks};
  }
};

MaskPlacement At(int x, int y, int w, int h, float scale = 1, float angle = 0) {
  MaskPlacement p;
  p.x = x;
  p.y = y;
  p.left = x - int(w * scale);
  p.top = y - int(h * scale);
  p.right = x + int(w * scale);
  p.bottom = y + int(h * scale);
  p.xscale = p.yscale = scale;
  p.angle = angle;
  return p;
}

TEST(PreciseMasks, PointMapping) {
  Sprite s(4, 4, {{0, 0}});
  struct Case {
    float scale, angle;
    int px, py;
    bool hit;
  };
  const Case cases[] = {
      {1, 0, 10, 10, true},  {1, 0, 11, 10, false}, {1, 90, 10, 10, true},
      {2, 0, 11, 10, true},  {2, 0, 12, 10, false}, {1, 0, 9, 10, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "scale " << c.scale << " angle " << c.angle << " at " << c.px);
    EXPECT_EQ(Precise_Point(s.view, At(10, 10, 4, 4, c.scale, c.angle), c.px, c.py), c.hit);
  }
  // Without masks everything in the box counts; without frames nothing.
  MaskView solid{4, 4, 0, 0, 1, false, nullptr};
  EXPECT_TRUE(Precise_Point(solid, At(10, 10, 4, 4), 99, 99));
  MaskView none{4, 4, 0, 0, 0, true, &s.masks};
  EXPECT_FALSE(Precise_Point(none, At(10, 10, 4, 4), 10, 10));
}

TEST(PreciseMasks, FramesWrapOverTheMasks) {
  Sprite three(2, 1, {}, 3);
  three.masks[2][1] = 1;  // frame -1 is mask 2
  MaskPlacement p = At(0, 0, 2, 1);
  p.frame = -1;
  EXPECT_TRUE(Precise_Point(three.view, p, 1, 0));
  Sprite shared(2, 1, {{1, 0}});
  shared.view.frames = 3;
  EXPECT_TRUE(Precise_Point(shared.view, p, 1, 0));
}

TEST(PreciseMasks, SpritesTruncateAndShapesRoundDown) {
  Sprite a(4, 4, {{0, 0}}), b(4, 4, {{0, 0}});
  MaskPlacement pa = At(10, 10, 4, 4), pb = At(10, 10, 4, 4);
  EXPECT_TRUE(Precise_Sprite(a.view, pa, b.view, pb));
  pb = At(11, 10, 4, 4);
  EXPECT_FALSE(Precise_Sprite(a.view, pa, b.view, pb));
  // Scaled by 2 from x 11: room x 10 maps to local x -0.5, which truncates
  // to column 0 in the sprite test but rounds down to -1 in the shape tests.
  Sprite one(1, 1, {{0, 0}});
  MaskPlacement half = At(11, 10, 1, 1, 2.0f);
  MaskView solid{1, 1, 0, 0, 1, false, nullptr};
  EXPECT_TRUE(Precise_Sprite(one.view, half, solid, At(10, 10, 1, 1)));
  EXPECT_FALSE(Precise_Point(one.view, half, 10, 10));
}

TEST(PreciseMasks, LinesAndDegenerateEllipses) {
  Sprite s(8, 1, {{7, 0}});
  MaskPlacement p = At(0, 0, 8, 1);
  EXPECT_TRUE(Precise_Line(s.view, p, 10, 0, 0, 0)) << "right to left covers the same span";
  EXPECT_TRUE(Precise_Line(s.view, p, 0, 0, 7, 0));
  EXPECT_FALSE(Precise_Line(s.view, p, 0, 0, 6, 0));
  Sprite slant(4, 4, {{2, 2}});
  EXPECT_TRUE(Precise_Line(slant.view, At(0, 0, 4, 4), 0, 0, 3, 3));
  EXPECT_FALSE(Precise_Line(slant.view, At(0, 0, 4, 4), 0, 1, 3, 4));
  // A rectangle two pixels wide: rx is 0, the left column counts as inside.
  Sprite col(2, 3, {{0, 1}}), right(2, 3, {{1, 1}});
  EXPECT_TRUE(Precise_Ellipse(col.view, At(0, 0, 2, 3), {0, 0, 1, 2}));
  EXPECT_FALSE(Precise_Ellipse(right.view, At(0, 0, 2, 3), {0, 0, 1, 2}));
}

// The rectangle and ellipse tests equal a walk of the point test over the
// shape, for random masks, placements and shapes.
TEST(PreciseMasks, ShapesAgreeWithAPointByPointWalk) {
  std::mt19937 rng(12345);
  auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 2000; ++round) {
    int w = uni(1, 9), h = uni(1, 9);
    Sprite s(w, h, {});
    for (auto& cell : s.masks[0]) cell = uni(0, 3) == 0;
    s.view.originX = uni(0, w - 1);
    s.view.originY = uni(0, h - 1);
    float scale = std::array<float, 4>{1, 2, 0.5f, 1.5f}[size_t(uni(0, 3))];
    float angle = std::array<float, 4>{0, 90, 30, 200}[size_t(uni(0, 3))];
    MaskPlacement p = At(uni(-5, 5), uni(-5, 5), w + h, w + h, scale, angle);
    MaskRect r{uni(-25, 10), uni(-25, 10), 0, 0};
    r.right = r.left + uni(0, 15);
    r.bottom = r.top + uni(0, 15);
    bool rect = false, ellipse = false;
    float cx = float((r.left + r.right) / 2), cy = float((r.top + r.bottom) / 2);
    float rx = float((r.right - r.left) / 2), ry = float((r.bottom - r.top) / 2);
    for (int px = std::max(p.left, r.left); px <= std::min(p.right, r.right); ++px)
      for (int py = std::max(p.top, r.top); py <= std::min(p.bottom, r.bottom); ++py) {
        bool hit = Precise_Point(s.view, p, px, py);
        rect = rect || hit;
        // The oracle divides as floats do: 0 / 0 is NaN and counts as inside.
        float ex = (float(px) - cx) / rx, ey = (float(py) - cy) / ry;
        if (!(ex * ex + ey * ey > 1.0f)) ellipse = ellipse || hit;
      }
    SCOPED_TRACE(testing::Message() << "round " << round);
    EXPECT_EQ(Precise_Rectangle(s.view, p, r), rect);
    EXPECT_EQ(Precise_Ellipse(s.view, p, r), ellipse);
  }
}

TEST(PreciseMasks, NonFiniteScalesAndAnglesHitNothing) {
  Sprite s(4, 4, {{0, 0}, {1, 1}});
  for (float bad : {0.0f, NAN, INFINITY}) {
    MaskPlacement p = At(0, 0, 4, 4, 1, 0);
    p.xscale = bad;
    EXPECT_FALSE(Precise_Rectangle(s.view, p, {-2, -2, 2, 2}) && std::isnan(bad));
    p.xscale = 1;
    p.angle = bad;
    Precise_Point(s.view, p, 0, 0);  // no crash, no undefined conversion
  }
}

}  // namespace

namespace {

// ImageMagick's circle: the point test at every pixel equals its alpha map,
// and at scale 2 the map of its 200% scale.
std::vector<uint8_t> AlphaMap(const std::string& args, const std::string& path, int* w, int* h) {
  std::string cmd = "convert " + args + " PNG32:" + path + " 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return {};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  std::vector<uint8_t> bytes;
  uint8_t buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.insert(bytes.end(), buf, buf + n);
  std::fclose(f);
  uint32_t* pixels = PNG_Load(bytes.data(), bytes.size(), w, h);
  if (!pixels) return {};
  std::vector<uint8_t> alpha(size_t(*w) * size_t(*h));
  for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = (pixels[i] >> 24) != 0;
  PNG_Free(pixels);
  return alpha;
}

TEST(PreciseMasks, ACircleFromImageMagickAtScaleOneAndTwo) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "needs ImageMagick";
  std::string dir = testing::TempDir();
  int w = 0, h = 0, w2 = 0, h2 = 0;
  const std::string circle = "-size 21x21 xc:none -fill white -draw 'circle 10,10 10,2'";
  std::vector<uint8_t> mask = AlphaMap(circle, dir + "/circle.png", &w, &h);
  std::vector<uint8_t> big = AlphaMap(circle + " -filter point -scale 200%", dir + "/circle2.png", &w2, &h2);
  ASSERT_FALSE(mask.empty());
  ASSERT_EQ(w2, 2 * w);
  std::vector<std::vector<uint8_t>> masks{mask};
  MaskView view{w, h, 0, 0, 1, true, &masks};
  int wrong = 0;
  for (int scale = 1; scale <= 2; ++scale) {
    MaskPlacement p = At(30, 40, w, h, float(scale));
    const std::vector<uint8_t>& want = scale == 1 ? mask : big;
    int ww = scale == 1 ? w : w2, hh = scale == 1 ? h : h2;
    for (int y = 0; y < hh; ++y)
      for (int x = 0; x < ww; ++x)
        if (Precise_Point(view, p, 30 + x, 40 + y) != (want[size_t(y * ww + x)] != 0) && ++wrong < 5)
          ADD_FAILURE() << "scale " << scale << " at " << x << "," << y;
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
