// Drawing particles: the depth queries the room's depth pass walks, and the
// vertices a shape particle writes.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "graphics/textures.h"
#include "particles/particles.h"
#include "unit/particles/particle_fixture.h"

namespace {

using ParticleDraw = ParticleTest;

int32_t SystemAt(float depth, bool automatic = true) {
  const int32_t s = PartSystem_Create();
  PartSystem_Depth(s, depth);
  PartSystem_AutomaticDraw(s, automatic);
  return s;
}

TEST_F(ParticleDraw, TheDepthQueriesWalkTheAutomaticSystemsDownwards) {
  EXPECT_EQ(PartSystem_MaxDepth(), -1.0e9f) << "no system";
  SystemAt(5.0f);
  SystemAt(5.005f);
  SystemAt(-20.0f);
  SystemAt(50.0f, false);  // drawn on demand only
  const int32_t destroyed = SystemAt(80.0f);
  PartSystem_Destroy(destroyed);
  EXPECT_FLOAT_EQ(PartSystem_MaxDepth(), 5.005f);
  EXPECT_FLOAT_EQ(PartSystem_NextDepthBelow(5.005f), 5.0f);
  EXPECT_FLOAT_EQ(PartSystem_NextDepthBelow(5.0f), -20.0f);
  EXPECT_EQ(PartSystem_NextDepthBelow(-20.0f), -1.0e9f);
  EXPECT_FLOAT_EQ(PartSystem_NextDepthBelow(1000.0f), 5.005f);
}

TEST_F(ParticleDraw, AShapeParticleWritesTwoTrianglesAroundItsWholePixel) {
  TexturedVertex v[6];
  // Size 0.5, x scale 2: 64 wide and 32 high around (10, 20).
  Part_WriteShapeVertices(v, 10.9f, 20.7f, 2.0f, 1.0f, 0.5f, 0.0f, 7.0f, 0x112233, 0.5f);
  const float want[6][4] = {{-22, 4, 0, 0}, {42, 4, 1, 0},   {42, 36, 1, 1},
                            {42, 36, 1, 1}, {-22, 36, 0, 1}, {-22, 4, 0, 0}};
  for (int k = 0; k < 6; ++k) {
    EXPECT_FLOAT_EQ(v[k].x, want[k][0]) << k;
    EXPECT_FLOAT_EQ(v[k].y, want[k][1]) << k;
    EXPECT_FLOAT_EQ(v[k].u, want[k][2]) << k;
    EXPECT_FLOAT_EQ(v[k].v, want[k][3]) << k;
    EXPECT_FLOAT_EQ(v[k].z, 7.0f);
    EXPECT_EQ(v[k].colour, 0x7F332211u) << "red and blue exchanged, alpha 127";
  }
}

TEST_F(ParticleDraw, AlphaIsClampedAndAnAngleTurnsTheSquareCounterClockwise) {
  const struct {
    float alpha;
    uint32_t byte;
  } alphas[] = {{1.5f, 0xFF}, {1.0f, 0xFF}, {-0.2f, 0}, {0.999f, 254}};
  TexturedVertex v[6];
  for (auto [alpha, byte] : alphas) {
    Part_WriteShapeVertices(v, 0, 0, 1, 1, 1, 0, 0, 0xFFFFFF, alpha);
    EXPECT_EQ(v[0].colour >> 24, byte) << alpha;
  }
  // 90 degrees: the top-left corner (-32, -32) goes to the bottom-left.
  Part_WriteShapeVertices(v, 100, 100, 1, 1, 1, 90, 0, 0, 1);
  EXPECT_NEAR(v[0].x, 68, 1e-3);
  EXPECT_NEAR(v[0].y, 132, 1e-3);
  EXPECT_NEAR(v[1].x, 68, 1e-3);  // top-right (32, -32) to top-left
  EXPECT_NEAR(v[1].y, 68, 1e-3);
  // Below 0.01 degrees the square stays as it is.
  Part_WriteShapeVertices(v, 100, 100, 1, 1, 1, 0.009f, 0, 0, 1);
  EXPECT_FLOAT_EQ(v[0].x, 68);
  EXPECT_FLOAT_EQ(v[0].y, 68);
}

// The alpha bytes of built-in image n, a 64 x 64 "RAW " block.
std::vector<uint8_t> ShapeAlphas(int n) {
  const std::vector<uint8_t>& table = Texture_BuiltinTable();
  uint32_t size, offset, header[3];
  std::memcpy(&size, table.data() + 4 + size_t(n) * 8, 4);
  std::memcpy(&offset, table.data() + 8 + size_t(n) * 8, 4);
  EXPECT_EQ(size, 16u + 64 * 64 * 4) << n;
  EXPECT_EQ(std::memcmp(table.data() + offset, "RAW ", 4), 0) << n;
  std::memcpy(header, table.data() + offset + 4, sizeof header);
  EXPECT_EQ(header[0], 64u);
  EXPECT_EQ(header[1], 64u);
  std::vector<uint8_t> alphas;
  for (size_t i = 0; i < 64 * 64; ++i) alphas.push_back(table[offset + 16 + i * 4 + 3]);
  return alphas;
}

TEST_F(ParticleDraw, TheFourteenShapesAreBuiltInImagesOneToFourteen) {
  std::set<std::vector<uint8_t>> distinct;
  for (int s = 0; s < kPtShapeCount; ++s) {
    const std::vector<uint8_t> a = ShapeAlphas(1 + s);
    if (a.size() != 64 * 64) continue;
    distinct.insert(a);
    size_t shown = 0;
    for (uint8_t v : a) shown += v > 0;
    EXPECT_GT(shown, 0u) << "shape " << s << " shows something";
    if (s != kPtShapeSquare) {
      EXPECT_EQ(a[0], 0) << "shape " << s << " leaves its corner clear";
    }
  }
  EXPECT_EQ(distinct.size(), size_t(kPtShapeCount));
  const std::vector<uint8_t> disk = ShapeAlphas(1 + kPtShapeDisk);
  EXPECT_EQ(disk[32 * 64 + 32], 255);
}

}  // namespace
