#include "gfx/transform_node.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace veskor {
namespace {

std::vector<float> Matrix(const float* m) { return std::vector<float>(m, m + 16); }
const std::vector<float> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

TransformNode Node(float x, float y, float z, float degrees, float shift = 0) {
  TransformNode node;
  TransformNodeInit(node);
  TransformNodeSetRotation(node, x, y, z, degrees);
  if (shift != 0) TransformNodeSetTranslation(node, shift, -shift / 2, 100);
  return node;
}

TEST(TransformNode, AConstructedNodeIsTheCleanIdentity) {
  for (auto init : {TransformNodeInit, TransformNodeInitUnit}) {
    TransformNode node;
    init(node);
    EXPECT_EQ(Matrix(TransformNodeMatrix(node)), kIdentity);
    EXPECT_EQ(TransformNodeFlag(node) * 10 + node.dirty, 10);  // nothing was recomputed
    TransformNodeUpdate(node);  // (1, 1, 1) at angle 0 is the identity too
    EXPECT_EQ(Matrix(TransformNodeMatrix2(node)), kIdentity);
    EXPECT_EQ(TransformNodeFlag(node), 0);
  }
}

TEST(TransformNode, RightAnglesAreExactAndTranslationsInvert) {
  TransformNode quarter = Node(0, 0, 2, 90);  // the axis is normalised
  EXPECT_EQ(quarter.dirty * 10 + TransformNodeFlag(quarter), 10);
  const float* m = TransformNodeMatrix(quarter);
  EXPECT_EQ(std::vector<float>(m, m + 3), (std::vector<float>{0, 1, 0}));  // x -> y exactly
  TransformNode minus = Node(0, 0, 1, -90), near = Node(0, 0, 1, -90.00049f);
  TransformNode turn = Node(0, 0, 1, 270), past = Node(0, 0, 1, -90.00052f);
  EXPECT_EQ(Matrix(TransformNodeMatrix(near)), Matrix(TransformNodeMatrix(minus)));
  EXPECT_EQ(Matrix(TransformNodeMatrix(turn)), Matrix(TransformNodeMatrix(minus)));
  EXPECT_NE(TransformNodeMatrix(past)[0], 0.0f);  // the general cosine
  EXPECT_NEAR(TransformNodeMatrix(past)[0], 0.0f, 2e-5f);

  TransformNode node;
  TransformNodeInit(node);
  TransformNodeSetTranslation(node, 1, 2, 3);
  EXPECT_EQ(Matrix(TransformNodeMatrix(node)),
            (std::vector<float>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}));
  EXPECT_EQ(Matrix(TransformNodeMatrix2(node)),
            (std::vector<float>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, -2, -3, 1}));
  TransformNodeSetRotation(node, 0, 0, 0, 30);  // no direction: the axis stays
  EXPECT_EQ(node.axis[2], 1.0f);
}

TEST(TransformNode, TheInverseUndoesTheMatrixForAnyAxis) {
  for (int k = 0; k < 20; ++k) {
    TransformNode node = Node(std::sin(k * 1.3f), std::cos(k * 0.7f), 0.5f - k % 3, k * 37.0f, k);
    for (int e = 0; e < 16; ++e) {
      float p;
      MatrixProductElementF(e % 4, e / 4, &p, TransformNodeMatrix(node),
                            TransformNodeMatrix2(node));
      EXPECT_NEAR(p, kIdentity[e], 2e-5f) << k << " " << e;
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
    EXPECT_EQ(e * 100 + ef, 2 * b[k] * 100 + 2 * bf[k]);
  }
  const float u[3] = {1, 2, 3}, v[3] = {4, -5, 6};
  float out;
  EXPECT_EQ(*Dot3(&out, u, v), 12.0f);
}

}  // namespace
}  // namespace veskor
