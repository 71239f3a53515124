#include <cmath>

#include "graphics_fixture.h"

namespace {

using M = float[4][4];

void ExpectMatrix(const Matrix& actual, const M& expected, float tolerance = 1e-6f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(actual.m[r][c], expected[r][c], tolerance) << "element [" << r << "][" << c << "]";
}

class Matrices : public GraphicsTest {};

TEST(MatrixBuilders, Orthographic) {
  Matrix m;
  Matrix_BuildOrtho(&m, 640, -480, 1, 32000);
  const M expected = {{2.0f / 640, 0, 0, 0},
                      {0, -2.0f / 480, 0, 0},
                      {0, 0, 1.0f / 31999, 0},
                      {0, 0, -1.0f / 31999, 1}};
  ExpectMatrix(m, expected);
}

TEST(MatrixBuilders, Perspective) {
  Matrix m;
  Matrix_BuildPerspective(&m, 1, 0.75f, 1, 32000);
  const M expected = {{2, 0, 0, 0}, {0, 2 / 0.75f, 0, 0}, {0, 0, 32000.0f / 31999, 1}, {0, 0, -32000.0f / 31999, 0}};
  ExpectMatrix(m, expected, 1e-5f);
}

TEST(MatrixBuilders, PerspectiveFromFieldOfView) {
  Matrix m;
  Matrix_BuildPerspectiveFov(&m, 3.14159265f / 2, 2, 1, 101);  // tan 45° = 1
  const M expected = {{0.5f, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1.01f, 1}, {0, 0, -1.01f, 0}};
  ExpectMatrix(m, expected, 1e-6f);
}

TEST(MatrixBuilders, LookAtIsLeftHanded) {
  // Looking along +x from (2, 3, 4): z = (1, 0, 0), x = up × z = (0, 0, -1),
  // y = z × x = (0, 1, 0).
  Matrix m;
  Matrix_BuildLookAt(&m, {2, 3, 4}, {3, 3, 4}, {0, 1, 0});
  const M expected = {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {4, -3, -2, 1}};
  ExpectMatrix(m, expected);
  // The target lands one unit straight ahead.
  Matrix t;
  Matrix_Identity(&t);
  t.m[3][0] = 3, t.m[3][1] = 3, t.m[3][2] = 4;
  Matrix p;
  Matrix_Multiply(&p, t, m);
  EXPECT_NEAR(p.m[3][0], 0, 1e-6f);
  EXPECT_NEAR(p.m[3][1], 0, 1e-6f);
  EXPECT_NEAR(p.m[3][2], 1, 1e-6f);
}

TEST(MatrixBuilders, Rotations) {
  const float c = std::cos(30 * 0.017453292f), s = std::sin(30 * 0.017453292f);
  Matrix m;
  Matrix_BuildRotationX(&m, 30);
  const M x = {{1, 0, 0, 0}, {0, c, -s, 0}, {0, s, c, 0}, {0, 0, 0, 1}};
  ExpectMatrix(m, x);
  Matrix_BuildRotationY(&m, 30);
  const M y = {{c, 0, s, 0}, {0, 1, 0, 0}, {-s, 0, c, 0}, {0, 0, 0, 1}};
  ExpectMatrix(m, y);
  Matrix_BuildRotationZ(&m, 30);
  const M z = {{c, -s, 0, 0}, {s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  ExpectMatrix(m, z);
}

TEST(MatrixBuilders, RotationAboutAnAxisNormalisesTheAxisInPlace) {
  // 180° about (1, 1, 0): x = y = 1/√2, c = -1, s = 0, t = 2.
  Vec3 axis{3, 3, 0};
  Matrix m;
  Matrix_BuildRotationAxis(&m, &axis, 180);
  const M expected = {{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, -1, 0}, {0, 0, 0, 1}};
  ExpectMatrix(m, expected, 1e-6f);
  EXPECT_NEAR(axis.x, 0.70710678f, 1e-6f);
  EXPECT_NEAR(axis.y, 0.70710678f, 1e-6f);
  // 90° about z: s = 1 sits in [0][1], -s in [1][0].
  Vec3 zAxis{0, 0, 5};
  Matrix_BuildRotationAxis(&m, &zAxis, 90);
  const M aboutZ = {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  ExpectMatrix(m, aboutZ, 1e-6f);
}

TEST(MatrixBuilders, NormalisingAZeroVectorGivesNoNaN) {
  Vec3 v{0, 0, 0};
  Vec3_Normalize(&v);
  EXPECT_EQ(v.x, 0.0f);
  EXPECT_EQ(v.z, 0.0f);
}

TEST_F(Matrices, SetSendsTheTransformAndKeepsTheProducts) {
  Transform_SetTranslation(1, 2, 3);
  Matrix view;
  Matrix_BuildRotationZ(&view, 90);
  Matrix_Set(MATRIX_VIEW, view);
  const Matrix& sent = device.TransformValue(gfx::Transform::World);
  EXPECT_EQ(sent.m[3][1], 2.0f);
  Matrix world, worldView, expected;
  Matrix_Get(MATRIX_WORLD, &world);
  Matrix_Get(MATRIX_WORLD_VIEW, &worldView);
  Matrix_Multiply(&expected, world, view);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(worldView.m[r][c], expected.m[r][c]);
}

TEST_F(Matrices, WithoutADeviceNothingIsStored) {
  Graphics_SetDevice(nullptr);
  Transform_SetTranslation(5, 5, 5);
  Graphics_SetDevice(&device);
  Matrix world;
  Matrix_Get(MATRIX_WORLD, &world);
  EXPECT_EQ(world.m[3][0], 0.0f);
}

TEST_F(Matrices, TheProjectionGetsNoHalfPixelShift) {
  device.SetViewport({0, 0, 640, 480, 0, 1});
  Graphics_SetViewProjection(0, 0, 640, 480, 0);
  const Matrix& sent = device.TransformValue(gfx::Transform::Projection);
  EXPECT_EQ(sent.m[3][0], 0.0f);
  EXPECT_EQ(sent.m[3][1], 0.0f);
  EXPECT_FLOAT_EQ(sent.m[1][1], -2.0f / 480);  // y grows downwards
}

TEST_F(Matrices, AViewportWithoutSizeGetsNoShift) {
  Graphics_SetViewProjection(0, 0, 640, 480, 0);
  const Matrix& sent = device.TransformValue(gfx::Transform::Projection);
  EXPECT_EQ(sent.m[3][0], 0.0f);
  EXPECT_EQ(sent.m[3][1], 0.0f);
}

TEST_F(Matrices, TheViewCameraTurnsWithItsAngle) {
  // Angle 90: up = (-1, 0, 0), so x = up × z = (0, 1, 0) and y = (-1, 0, 0).
  Graphics_SetViewProjection(100, 50, 640, 480, 90);
  Matrix view;
  Matrix_Get(MATRIX_VIEW, &view);
  const M expected = {{0, -1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {-290, 420, 16000, 1}};
  ExpectMatrix(view, expected, 2e-3f);
  EXPECT_TRUE(Projection_IsOrthographic());
  ViewProjectionArgs args = Graphics_LastViewProjection();
  EXPECT_EQ(args.x, 100);
  EXPECT_EQ(args.angle, 90);
}

TEST_F(Matrices, ThreeDModeWithPerspectiveGivesAPerspectiveCamera) {
  Graphics_Set3DMode(true);
  Graphics_SetViewProjection(0, 0, 640, 480, 0);
  EXPECT_FALSE(Projection_IsOrthographic());
  Matrix projection, expected;
  Matrix_Get(MATRIX_PROJECTION, &projection);
  Matrix_BuildPerspective(&expected, 1, 0.75f, 1, 32000);
  EXPECT_FLOAT_EQ(projection.m[1][1], expected.m[1][1]);
  EXPECT_FLOAT_EQ(projection.m[2][3], 1.0f);
  Matrix view;
  Matrix_Get(MATRIX_VIEW, &view);
  EXPECT_FLOAT_EQ(view.m[3][2], 640.0f);  // eye at z = -width
}

TEST_F(Matrices, ProjectionBackEndsKeepTheirBookkeeping) {
  Projection_SetExt(0, 0, -10, 0, 0, 0, 0, 1, 0, 90, 2, 5, 500);
  EXPECT_FALSE(Projection_IsOrthographic());
  EXPECT_FALSE(Projection_IsCustomOrthographic());
  EXPECT_EQ(Projection_Near(), 5.0f);
  EXPECT_EQ(Projection_Far(), 500.0f);
  Matrix projection;
  Matrix_Get(MATRIX_PROJECTION, &projection);
  EXPECT_NEAR(projection.m[0][0], 0.5f, 1e-6f);

  Projection_SetOrtho(0, 0, 320, 240, 0);
  EXPECT_TRUE(Projection_IsOrthographic());
  EXPECT_TRUE(Projection_IsCustomOrthographic());
  EXPECT_EQ(Projection_Near(), 1.0f);
  EXPECT_EQ(Projection_Far(), 32000.0f);
}

TEST_F(Matrices, AddMultipliesOnTheRight) {
  Transform_SetTranslation(1, 2, 3);
  Transform_AddScaling(2, 3, 4);
  float x = 1, y = 1, z = 1;
  Transform_Vertex(&x, &y, &z);
  EXPECT_FLOAT_EQ(x, 4);
  EXPECT_FLOAT_EQ(y, 9);
  EXPECT_FLOAT_EQ(z, 16);
}

TEST_F(Matrices, AxisRotationTurnsTheOtherWay) {
  // About +z with -degrees, the axis builder gives the z rotation's matrix.
  Transform_SetRotationAxis(0, 0, 1, 30);
  Matrix axis, z;
  Matrix_Get(MATRIX_WORLD, &axis);
  Matrix_BuildRotationZ(&z, 30);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(axis.m[r][c], z.m[r][c], 1e-6f);
}

TEST_F(Matrices, TheStackHoldsFiftyOneMatrices) {
  EXPECT_TRUE(MatrixStack_IsEmpty());
  for (int i = 0; i < 51; ++i) {
    Transform_SetTranslation(static_cast<float>(i), 0, 0);
    ASSERT_TRUE(MatrixStack_Push()) << i;
  }
  EXPECT_FALSE(MatrixStack_Push());
  Transform_SetIdentity();
  EXPECT_TRUE(MatrixStack_Top());
  Matrix world;
  Matrix_Get(MATRIX_WORLD, &world);
  EXPECT_EQ(world.m[3][0], 50.0f);
  EXPECT_TRUE(MatrixStack_Discard());
  EXPECT_TRUE(MatrixStack_Pop());
  Matrix_Get(MATRIX_WORLD, &world);
  EXPECT_EQ(world.m[3][0], 49.0f);
  MatrixStack_Clear();
  EXPECT_TRUE(MatrixStack_IsEmpty());
}

TEST_F(Matrices, AnEmptyStackRefusesAndLeavesTheWorld) {
  Transform_SetTranslation(7, 0, 0);
  device.ClearLog();
  EXPECT_FALSE(MatrixStack_Pop());
  EXPECT_FALSE(MatrixStack_Top());
  EXPECT_FALSE(MatrixStack_Discard());
  Matrix world;
  Matrix_Get(MATRIX_WORLD, &world);
  EXPECT_EQ(world.m[3][0], 7.0f);
  EXPECT_TRUE(device.Calls().empty());
}

TEST_F(Matrices, DrawingDepth) {
  struct Case {
    bool mode3D;
    float depth, stored;
  };
  const Case cases[] = {{false, 500, 0}, {true, 500, 500}, {true, 20000, 16000}, {true, -20000, -16000}};
  for (const Case& c : cases) {
    Graphics_Set3DMode(c.mode3D);
    Graphics_SetDepth(c.depth);
    EXPECT_EQ(Graphics_GetDepth(), c.stored) << c.mode3D << " " << c.depth;
  }
}

}  // namespace
