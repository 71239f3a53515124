#include "graphics/matrices.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/batching.h"
#include "graphics/render_states.h"

namespace {

constexpr float kDegToRad = 0.017453292f;

struct TransformState {
  Matrix m[5];  // view, projection, world, world × view, world × view × projection
  bool orthographic = true;
  float zNear = 1.0f, zFar = 32000.0f;
  bool customOrthographic = false;
  ViewProjectionArgs lastView;
  Matrix stack[kMatrixStackSlots];
  int top = -1;
  bool mode3D = false;
  float depth = 0.0f;
};

TransformState MakeInitial() {
  TransformState s;
  for (Matrix& m : s.m) Matrix_Identity(&m);
  for (Matrix& m : s.stack) Matrix_Identity(&m);
  return s;
}

TransformState g_tf = MakeInitial();

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void Zero(Matrix* out) { std::memset(out, 0, sizeof *out); }

Vec3 UpForAngle(float angle) {
  float a = -angle * kDegToRad;
  return {std::sin(a), std::cos(a), 0.0f};
}

void SetWorld(const Matrix& m) { Matrix_Set(MATRIX_WORLD, m); }

void AddWorld(const Matrix& m) {
  Matrix product;
  Matrix_Multiply(&product, g_tf.m[MATRIX_WORLD], m);
  Matrix_Set(MATRIX_WORLD, product);
}

void BuildTranslation(Matrix* out, float x, float y, float z) {
  Matrix_Identity(out);
  out->m[3][0] = x;
  out->m[3][1] = y;
  out->m[3][2] = z;
}

void BuildScaling(Matrix* out, float x, float y, float z) {
  Zero(out);
  out->m[0][0] = x;
  out->m[1][1] = y;
  out->m[2][2] = z;
  out->m[3][3] = 1.0f;
}

void BuildAxis(Matrix* out, float x, float y, float z, float degrees) {
  Vec3 axis{x, y, z};
  // The transform built-ins turn the other way round the axis.
  Matrix_BuildRotationAxis(out, &axis, -degrees);
}

}  // namespace

void Matrix_Identity(Matrix* out) {
  Zero(out);
  for (int i = 0; i < 4; ++i) out->m[i][i] = 1.0f;
}

void Matrix_Get(int index, Matrix* out) {
  if (index >= 0 && index < 5)
    *out = g_tf.m[index];
  else
    Matrix_Identity(out);
}

void Matrix_Multiply(Matrix* out, const Matrix& a, const Matrix& b) {
  Matrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  *out = r;
}

void Matrix_Set(int index, const Matrix& matrix) {
  gfx::Device* device = Graphics_Device();
  if (!device || index < 0 || index > 2) return;
  VertexBatch_Flush();
  Matrix& stored = g_tf.m[index];
  stored = matrix;
  Matrix_Multiply(&g_tf.m[MATRIX_WORLD_VIEW], g_tf.m[MATRIX_WORLD], g_tf.m[MATRIX_VIEW]);
  Matrix_Multiply(&g_tf.m[MATRIX_WORLD_VIEW_PROJECTION], g_tf.m[MATRIX_WORLD_VIEW], g_tf.m[MATRIX_PROJECTION]);
  static constexpr gfx::Transform kKinds[3] = {gfx::Transform::View, gfx::Transform::Projection,
                                               gfx::Transform::World};
  device->SetTransform(kKinds[index], stored);
  if (index == MATRIX_PROJECTION) RenderState_UpdateFogRange();
}

void Matrix_BuildOrtho(Matrix* out, float width, float height, float zNear, float zFar) {
  Zero(out);
  out->m[0][0] = 2.0f / width;
  out->m[1][1] = 2.0f / height;
  out->m[2][2] = 1.0f / (zFar - zNear);
  out->m[3][2] = zNear / (zNear - zFar);
  out->m[3][3] = 1.0f;
}

void Matrix_BuildPerspective(Matrix* out, float width, float height, float zNear, float zFar) {
  Zero(out);
  out->m[0][0] = 2.0f * zNear / width;
  out->m[1][1] = 2.0f * zNear / height;
  out->m[2][2] = zFar / (zFar - zNear);
  out->m[2][3] = 1.0f;
  out->m[3][2] = -zNear * zFar / (zFar - zNear);
}

void Matrix_BuildPerspectiveFov(Matrix* out, float fovRadians, float aspect, float zNear, float zFar) {
  Zero(out);
  float s = 1.0f / std::tan(fovRadians / 2.0f);
  out->m[0][0] = s / aspect;
  out->m[1][1] = s;
  out->m[2][2] = zFar / (zFar - zNear);
  out->m[2][3] = 1.0f;
  out->m[3][2] = -zNear * zFar / (zFar - zNear);
}

void Matrix_BuildLookAt(Matrix* out, const Vec3& eye, const Vec3& at, const Vec3& up) {
  Vec3 z, x;
  Vec3_Normalized(Sub(at, eye), &z);
  Vec3_Normalized(Cross(up, z), &x);
  Vec3 y = Cross(z, x);
  *out = Matrix{{{x.x, y.x, z.x, 0.0f},
                 {x.y, y.y, z.y, 0.0f},
                 {x.z, y.z, z.z, 0.0f},
                 {-Dot(x, eye), -Dot(y, eye), -Dot(z, eye), 1.0f}}};
}

void Matrix_BuildRotationZ(Matrix* out, float degrees) {
  float a = degrees * kDegToRad, c = std::cos(a), s = std::sin(a);
  Zero(out);
  out->m[0][0] = c;
  out->m[0][1] = -s;
  out->m[1][0] = s;
  out->m[1][1] = c;
  out->m[2][2] = out->m[3][3] = 1.0f;
}

void Matrix_BuildRotationY(Matrix* out, float degrees) {
  float a = degrees * kDegToRad, c = std::cos(a), s = std::sin(a);
  Zero(out);
  out->m[0][0] = c;
  out->m[0][2] = s;
  out->m[2][0] = -s;
  out->m[2][2] = c;
  out->m[1][1] = out->m[3][3] = 1.0f;
}

void Matrix_BuildRotationX(Matrix* out, float degrees) {
  float a = degrees * kDegToRad, c = std::cos(a), s = std::sin(a);
  Zero(out);
  out->m[1][1] = c;
  out->m[1][2] = -s;
  out->m[2][1] = s;
  out->m[2][2] = c;
  out->m[0][0] = out->m[3][3] = 1.0f;
}

void Matrix_BuildRotationAxis(Matrix* out, Vec3* axis, float degrees) {
  Vec3_Normalize(axis);
  float a = degrees * kDegToRad, c = std::cos(a), s = std::sin(a), t = 1.0f - c;
  float x = axis->x, y = axis->y, z = axis->z;
  Zero(out);
  out->m[0][0] = c + t * x * x;
  out->m[0][1] = t * x * y + s * z;
  out->m[0][2] = t * x * z - s * y;
  out->m[1][0] = t * x * y - s * z;
  out->m[1][1] = c + t * y * y;
  out->m[1][2] = t * y * z + s * x;
  out->m[2][0] = t * x * z + s * y;
  out->m[2][1] = t * y * z - s * x;
  out->m[2][2] = c + t * z * z;
  out->m[3][3] = 1.0f;
}

void Vec3_Normalize(Vec3* v) { Vec3_Normalized(*v, v); }

void Vec3_Normalized(const Vec3& v, Vec3* out) {
  float length = std::sqrt(Dot(v, v));
  // A zero vector has no direction; it stays zero rather than turning NaN.
  if (length == 0.0f) {
    *out = v;
    return;
  }
  *out = {v.x / length, v.y / length, v.z / length};
}

bool Projection_IsOrthographic() { return g_tf.orthographic; }
float Projection_Near() { return g_tf.zNear; }
float Projection_Far() { return g_tf.zFar; }
bool Projection_IsCustomOrthographic() { return g_tf.customOrthographic; }
ViewProjectionArgs Graphics_LastViewProjection() { return g_tf.lastView; }

void Graphics_SetViewProjection(float x, float y, float width, float height, float angle) {
  g_tf.lastView = {x, y, width, height, angle};
  float cx = x + width / 2.0f, cy = y + height / 2.0f;
  Vec3 up = UpForAngle(angle);
  Matrix view, projection;
  if (g_tf.mode3D && RenderState_GetPerspectiveFlag()) {
    Matrix_BuildLookAt(&view, {cx, cy, -width}, {cx, cy, 0.0f}, up);
    g_tf.orthographic = false;
    Matrix_BuildPerspective(&projection, 1.0f, height / width, 1.0f, 32000.0f);
  } else {
    Matrix_BuildLookAt(&view, {cx, cy, -16000.0f}, {cx, cy, 0.0f}, up);
    g_tf.orthographic = true;
    // The negative height makes y grow downwards.
    Matrix_BuildOrtho(&projection, width, -height, 1.0f, 32000.0f);
  }
  g_tf.zNear = 1.0f;
  g_tf.zFar = 32000.0f;
  Matrix_Set(MATRIX_VIEW, view);
  Matrix_Set(MATRIX_PROJECTION, projection);
}

void Projection_SetLookAt(float fromX, float fromY, float fromZ, float toX, float toY, float toZ, float upX,
                          float upY, float upZ) {
  Matrix view;
  Matrix_BuildLookAt(&view, {fromX, fromY, fromZ}, {toX, toY, toZ}, {upX, upY, upZ});
  Matrix_Set(MATRIX_VIEW, view);
}

void Projection_SetExt(float fromX, float fromY, float fromZ, float toX, float toY, float toZ, float upX,
                       float upY, float upZ, float angle, float aspect, float zNear, float zFar) {
  Projection_SetLookAt(fromX, fromY, fromZ, toX, toY, toZ, upX, upY, upZ);
  g_tf.zNear = zNear;
  g_tf.zFar = zFar;
  g_tf.orthographic = false;
  Matrix projection;
  Matrix_BuildPerspectiveFov(&projection, static_cast<float>(angle * 0.01745329238474369), aspect, zNear, zFar);
  Matrix_Set(MATRIX_PROJECTION, projection);
  g_tf.customOrthographic = false;
}

void Projection_SetOrtho(float x, float y, float width, float height, float angle) {
  float cx = x + width / 2.0f, cy = y + height / 2.0f;
  Matrix view, projection;
  Matrix_BuildLookAt(&view, {cx, cy, -16000.0f}, {cx, cy, 0.0f}, UpForAngle(angle));
  Matrix_Set(MATRIX_VIEW, view);
  g_tf.zNear = 1.0f;
  g_tf.zFar = 32000.0f;
  g_tf.orthographic = true;
  Matrix_BuildOrtho(&projection, width, -height, 1.0f, 32000.0f);
  Matrix_Set(MATRIX_PROJECTION, projection);
  g_tf.customOrthographic = true;
}

void Projection_SetPerspective(float x, float y, float width, float height, float angle) {
  float cx = x + width / 2.0f, cy = y + height / 2.0f;
  Matrix view, projection;
  Matrix_BuildLookAt(&view, {cx, cy, -width}, {cx, cy, 0.0f}, UpForAngle(angle));
  Matrix_Set(MATRIX_VIEW, view);
  g_tf.zNear = 1.0f;
  g_tf.zFar = 32000.0f;
  g_tf.orthographic = false;
  Matrix_BuildPerspective(&projection, 1.0f, height / width, 1.0f, 32000.0f);
  Matrix_Set(MATRIX_PROJECTION, projection);
  g_tf.customOrthographic = false;
}

namespace {
// The builders as values, so each world-transform entry is one line.
template <typename Build, typename... Args>
Matrix Built(Build build, Args... args) {
  Matrix m;
  build(&m, args...);
  return m;
}
}  // namespace

void Transform_SetIdentity() { SetWorld(Built(Matrix_Identity)); }
void Transform_SetTranslation(float x, float y, float z) { SetWorld(Built(BuildTranslation, x, y, z)); }
void Transform_SetScaling(float x, float y, float z) { SetWorld(Built(BuildScaling, x, y, z)); }
void Transform_SetRotationX(float degrees) { SetWorld(Built(Matrix_BuildRotationX, degrees)); }
void Transform_SetRotationY(float degrees) { SetWorld(Built(Matrix_BuildRotationY, degrees)); }
void Transform_SetRotationZ(float degrees) { SetWorld(Built(Matrix_BuildRotationZ, degrees)); }
void Transform_SetRotationAxis(float x, float y, float z, float degrees) {
  SetWorld(Built(BuildAxis, x, y, z, degrees));
}
void Transform_AddTranslation(float x, float y, float z) { AddWorld(Built(BuildTranslation, x, y, z)); }
void Transform_AddScaling(float x, float y, float z) { AddWorld(Built(BuildScaling, x, y, z)); }
void Transform_AddRotationX(float degrees) { AddWorld(Built(Matrix_BuildRotationX, degrees)); }
void Transform_AddRotationY(float degrees) { AddWorld(Built(Matrix_BuildRotationY, degrees)); }
void Transform_AddRotationZ(float degrees) { AddWorld(Built(Matrix_BuildRotationZ, degrees)); }
void Transform_AddRotationAxis(float x, float y, float z, float degrees) {
  AddWorld(Built(BuildAxis, x, y, z, degrees));
}

void Transform_Vertex(float* x, float* y, float* z) {
  const Matrix& w = g_tf.m[MATRIX_WORLD];
  float px = *x, py = *y, pz = *z;
  *x = px * w.m[0][0] + py * w.m[1][0] + pz * w.m[2][0] + w.m[3][0];
  *y = px * w.m[0][1] + py * w.m[1][1] + pz * w.m[2][1] + w.m[3][1];
  *z = px * w.m[0][2] + py * w.m[1][2] + pz * w.m[2][2] + w.m[3][2];
}

void MatrixStack_Clear() { g_tf.top = -1; }
bool MatrixStack_IsEmpty() { return g_tf.top < 0; }

bool MatrixStack_Push() {
  if (g_tf.top >= kMatrixStackSlots - 1) return false;
  g_tf.stack[++g_tf.top] = g_tf.m[MATRIX_WORLD];
  return true;
}

bool MatrixStack_Pop() {
  if (g_tf.top < 0) return false;
  Matrix m = g_tf.stack[g_tf.top--];
  SetWorld(m);
  return true;
}

bool MatrixStack_Top() {
  if (g_tf.top < 0) return false;
  SetWorld(g_tf.stack[g_tf.top]);
  return true;
}

bool MatrixStack_Discard() {
  if (g_tf.top < 0) return false;
  --g_tf.top;
  return true;
}

void Graphics_Set3DMode(bool flag) {
  if (flag == g_tf.mode3D) return;
  VertexBatch_Flush();
  g_tf.mode3D = flag;
  RenderState_SetPerspectiveFlag(flag);
  // The depth test follows the 3D mode.
  RenderState_SetZTest(flag);
}

bool Graphics_Is3DMode() { return g_tf.mode3D; }

void Graphics_SetDepth(float depth) {
  g_tf.depth = g_tf.mode3D ? std::clamp(depth, -16000.0f, 16000.0f) : 0.0f;
}

float Graphics_GetDepth() { return g_tf.depth; }

void Matrix_ResetForTests() { g_tf = MakeInitial(); }
