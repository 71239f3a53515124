// The view, projection and world transforms, their builders (left-handed,
// depth 0 to 1, row vectors), the 2D view camera, the projection and
// transform back ends, the matrix stack, the 3D mode and the drawing depth.
#pragma once

#include "platform/gfx/device.h"

using Matrix = gfx::Matrix4;

struct Vec3 {
  float x, y, z;
};

// Transform indices; 3 and 4 are the products world × view and
// world × view × projection, kept for shaders.
enum MatrixIndex : int {
  MATRIX_VIEW = 0,
  MATRIX_PROJECTION = 1,
  MATRIX_WORLD = 2,
  MATRIX_WORLD_VIEW = 3,
  MATRIX_WORLD_VIEW_PROJECTION = 4
};

constexpr int kMatrixStackSlots = 51;

void Matrix_Identity(Matrix* out);
// Copies transform 0 to 4; any other index gives the identity.
void Matrix_Get(int index, Matrix* out);
// Flushes the batch, stores the transform and sends it; nothing without a
// device. Pixel centres need no projection shift on this platform (points
// and lines get their bias in the device).
void Matrix_Set(int index, const Matrix& matrix);
void Matrix_Multiply(Matrix* out, const Matrix& a, const Matrix& b);

void Matrix_BuildOrtho(Matrix* out, float width, float height, float zNear, float zFar);
void Matrix_BuildPerspective(Matrix* out, float width, float height, float zNear, float zFar);
void Matrix_BuildPerspectiveFov(Matrix* out, float fovRadians, float aspect, float zNear, float zFar);
void Matrix_BuildLookAt(Matrix* out, const Vec3& eye, const Vec3& at, const Vec3& up);
void Matrix_BuildRotationX(Matrix* out, float degrees);
void Matrix_BuildRotationY(Matrix* out, float degrees);
void Matrix_BuildRotationZ(Matrix* out, float degrees);
// The axis is normalised in place first.
void Matrix_BuildRotationAxis(Matrix* out, Vec3* axis, float degrees);
void Vec3_Normalize(Vec3* v);
void Vec3_Normalized(const Vec3& v, Vec3* out);

// Projection bookkeeping.
bool Projection_IsOrthographic();
float Projection_Near();
float Projection_Far();
bool Projection_IsCustomOrthographic();
struct ViewProjectionArgs {
  float x = 0, y = 0, width = 0, height = 0, angle = 0;
};
ViewProjectionArgs Graphics_LastViewProjection();

void Graphics_SetViewProjection(float x, float y, float width, float height, float angle);
void Projection_SetLookAt(float fromX, float fromY, float fromZ, float toX, float toY, float toZ, float upX,
                          float upY, float upZ);
void Projection_SetExt(float fromX, float fromY, float fromZ, float toX, float toY, float toZ, float upX,
                       float upY, float upZ, float angle, float aspect, float zNear, float zFar);
void Projection_SetOrtho(float x, float y, float width, float height, float angle);
void Projection_SetPerspective(float x, float y, float width, float height, float angle);

void Transform_SetIdentity();
void Transform_SetTranslation(float x, float y, float z);
void Transform_SetScaling(float x, float y, float z);
void Transform_SetRotationX(float degrees);
void Transform_SetRotationY(float degrees);
void Transform_SetRotationZ(float degrees);
void Transform_SetRotationAxis(float x, float y, float z, float degrees);
void Transform_AddTranslation(float x, float y, float z);
void Transform_AddScaling(float x, float y, float z);
void Transform_AddRotationX(float degrees);
void Transform_AddRotationY(float degrees);
void Transform_AddRotationZ(float degrees);
void Transform_AddRotationAxis(float x, float y, float z, float degrees);
void Transform_Vertex(float* x, float* y, float* z);

void MatrixStack_Clear();
bool MatrixStack_IsEmpty();
bool MatrixStack_Push();
bool MatrixStack_Pop();
bool MatrixStack_Top();
bool MatrixStack_Discard();

void Graphics_Set3DMode(bool flag);
bool Graphics_Is3DMode();
void Graphics_SetDepth(float depth);
float Graphics_GetDepth();

// Identity transforms, empty stack, 2D mode; for tests.
void Matrix_ResetForTests();
