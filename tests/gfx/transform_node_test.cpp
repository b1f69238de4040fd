#include "gfx/transform_node.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace veskor {
namespace {

std::vector<float> Matrix(const float* m) { return std::vector<float>(m, m + 16); }
const std::vector<float> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

TransformNode Rotated(float x, float y, float z, float degrees) {
  TransformNode node;
  TransformNodeInit(node);
  TransformNodeSetRotation(node, x, y, z, degrees);
  return node;
}

TEST(TransformNode, AConstructedNodeIsTheCleanIdentity) {
  for (auto init : {TransformNodeInit, TransformNodeInitUnit}) {
    TransformNode node;
    init(node);
    EXPECT_EQ(TransformNodeFlag(node), 1);
    EXPECT_EQ(node.dirty, 0);
    EXPECT_EQ(Matrix(TransformNodeMatrix(node)), kIdentity);
    EXPECT_EQ(TransformNodeFlag(node), 1);  // nothing was recomputed
    TransformNodeUpdate(node);              // (1, 1, 1) at angle 0 is the identity too
    EXPECT_EQ(Matrix(TransformNodeMatrix2(node)), kIdentity);
    EXPECT_EQ(TransformNodeFlag(node), 0);
  }
}

TEST(TransformNode, RightAnglesAreExact) {
  TransformNode quarter = Rotated(0, 0, 2, 90);  // the axis is normalised
  EXPECT_EQ(quarter.axis[2], 1.0f);
  const float* m = TransformNodeMatrix(quarter);
  EXPECT_EQ(quarter.dirty, 0);
  EXPECT_EQ(std::vector<float>(m, m + 3), (std::vector<float>{0, 1, 0}));  // x -> y exactly
  TransformNode minus = Rotated(0, 0, 1, -90);
  TransformNode near = Rotated(0, 0, 1, -90.00049f);
  TransformNode turn = Rotated(0, 0, 1, 270);
  TransformNode past = Rotated(0, 0, 1, -90.00052f);
  EXPECT_EQ(Matrix(TransformNodeMatrix(near)), Matrix(TransformNodeMatrix(minus)));
  EXPECT_EQ(Matrix(TransformNodeMatrix(turn)), Matrix(TransformNodeMatrix(minus)));
  EXPECT_NE(TransformNodeMatrix(past)[0], 0.0f);  // the general cosine
  EXPECT_NEAR(TransformNodeMatrix(past)[0], 0.0f, 2e-5f);
}

TEST(TransformNode, TranslationAndItsInverse) {
  TransformNode node;
  TransformNodeInit(node);
  TransformNodeSetTranslation(node, 1, 2, 3);
  EXPECT_EQ(node.dirty, 1);
  EXPECT_EQ(TransformNodeFlag(node), 0);
  const float* m = TransformNodeMatrix(node);
  const float* n = TransformNodeMatrix2(node);
  EXPECT_EQ(std::vector<float>(m + 12, m + 15), (std::vector<float>{1, 2, 3}));
  EXPECT_EQ(std::vector<float>(n + 12, n + 15), (std::vector<float>{-1, -2, -3}));
  TransformNodeSetRotation(node, 0, 0, 0, 30);  // no direction: the axis stays
  EXPECT_EQ(node.axis[2], 1.0f);
}

TEST(TransformNode, TheInverseUndoesTheMatrixForAnyAxis) {
  for (int k = 0; k < 20; ++k) {
    TransformNode node = Rotated(std::sin(k * 1.3f), std::cos(k * 0.7f), 0.5f - k % 3, k * 37.0f);
    TransformNodeSetTranslation(node, k * 3.0f, -k * 1.5f, 100.0f);
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) {
        float e;
        MatrixProductElementF(i, j, &e, TransformNodeMatrix(node), TransformNodeMatrix2(node));
        EXPECT_NEAR(e, i == j ? 1.0f : 0.0f, 2e-5f) << k << " " << i << j;
      }
    }
  }
}

TEST(TransformNode, ProductElementsAndDot) {
  double a[16], b[16];
  float af[16], bf[16];
  for (int k = 0; k < 16; ++k) a[k] = af[k] = 2 * kIdentity[k], b[k] = bf[k] = k * 1.5f - 3;
  for (int k = 0; k < 16; ++k) {
    double e;
    float ef;
    MatrixProductElement(k % 4, k / 4, &e, a, b);
    MatrixProductElementF(k % 4, k / 4, &ef, af, bf);
    EXPECT_EQ(e, 2 * b[k]);
    EXPECT_EQ(ef, 2 * bf[k]);
  }
  const float u[3] = {1, 2, 3}, v[3] = {4, -5, 6};
  float out;
  EXPECT_EQ(*Dot3(&out, u, v), 12.0f);
}

}  // namespace
}  // namespace veskor
