// The projection and camera builders against GLM's left-handed, zero-to-one
// depth builders, element by element over a table of arguments. GLM is
// column-major with column vectors and the engine row-major with row
// vectors: the same numbers sit at the same [i][j].
#define GLM_FORCE_DEPTH_ZERO_TO_ONE
#define GLM_FORCE_LEFT_HANDED
#include <gtest/gtest.h>

#include <cmath>
#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>

#include "graphics/matrices.h"

namespace {

void ExpectSame(const Matrix& m, const glm::mat4& g) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float want = g[i][j];
      EXPECT_NEAR(m.m[i][j], want, 1e-6f * std::max(1.0f, std::fabs(want))) << "[" << i << "][" << j << "]";
    }
}

TEST(MatricesAgainstGlm, Orthographic) {
  const float sizes[][4] = {{640, 480, 1, 32000}, {640, -480, 1, 32000}, {1, 1, 0.1f, 10}, {1920, 1080, -100, 100}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(testing::Message() << s[0] << " " << s[1] << " " << s[2] << " " << s[3]);
    Matrix m;
    Matrix_BuildOrtho(&m, s[0], s[1], s[2], s[3]);
    ExpectSame(m, glm::orthoLH_ZO(-s[0] / 2, s[0] / 2, -s[1] / 2, s[1] / 2, s[2], s[3]));
  }
}

TEST(MatricesAgainstGlm, Perspective) {
  const float sizes[][4] = {{1, 0.75f, 1, 32000}, {2, 2, 0.5f, 100}, {640, -480, 1, 32000}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(testing::Message() << s[0] << " " << s[1]);
    Matrix m;
    Matrix_BuildPerspective(&m, s[0], s[1], s[2], s[3]);
    ExpectSame(m, glm::frustumLH_ZO(-s[0] / 2, s[0] / 2, -s[1] / 2, s[1] / 2, s[2], s[3]));
  }
  const float fovs[][4] = {{1.5707963f, 2, 1, 101}, {0.5f, 1.3333f, 0.1f, 1000}, {1, 0.5f, 2, 3}};
  for (const auto& f : fovs) {
    SCOPED_TRACE(testing::Message() << "fov " << f[0]);
    Matrix m;
    Matrix_BuildPerspectiveFov(&m, f[0], f[1], f[2], f[3]);
    ExpectSame(m, glm::perspectiveLH_ZO(f[0], f[1], f[2], f[3]));
  }
}

TEST(MatricesAgainstGlm, LookAt) {
  const float cases[][9] = {{2, 3, 4, 3, 3, 4, 0, 1, 0},
                            {0, 0, -10, 0, 0, 0, 0, 1, 0},
                            {5, -2, 1, -1, 4, 2, 0, 0, 1},
                            {320, 240, -16000, 320, 240, 0, 0, -1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c[0] << " " << c[1] << " " << c[2]);
    Matrix m;
    Matrix_BuildLookAt(&m, {c[0], c[1], c[2]}, {c[3], c[4], c[5]}, {c[6], c[7], c[8]});
    ExpectSame(m, glm::lookAtLH(glm::vec3(c[0], c[1], c[2]), glm::vec3(c[3], c[4], c[5]),
                                glm::vec3(c[6], c[7], c[8])));
  }
}

}  // namespace
