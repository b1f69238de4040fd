#include "geometry/scaled_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

const std::vector<float> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

TransformNode Scaled(float sx, float sy, float sz, float degrees, float tx, float ty, float tz) {
  TransformNode node;
  TransformNodeInit(node);
  node.axis[0] = sx, node.axis[1] = sy, node.axis[2] = sz;
  node.angle = degrees;
  node.translation[0] = tx, node.translation[1] = ty, node.translation[2] = tz;
  node.identity = 0;
  node.dirty = 1;
  return node;
}

std::vector<float> Apply(const float* m, std::vector<float> p) {
  float out[3];
  gKernelTable.KernelTransformPoint(out, m, p.data());
  return {out[0], out[1], out[2]};
}

// A point is scaled, rotated in the x-y plane, then moved; matrix 2 undoes it.
TEST(ScaledTransform, ScalesRotatesAndMovesAndTheSecondMatrixUndoesIt) {
  TransformNode node = Scaled(2, 4, 0.5f, 90, 1, 2, 3);
  const float* m1 = TransformNodeScaledMatrix(node);
  EXPECT_TRUE(node.identity == 0 && node.dirty == 0);
  // (1, 1, 1) -> (2, 4, 0.5) -> (-4, 2, 0.5) -> (-3, 4, 3.5)
  EXPECT_EQ(Apply(m1, {1, 1, 1}), (std::vector<float>{-3, 4, 3.5f}));
  EXPECT_EQ(Apply(TransformNodeScaledMatrix2(node), {-3, 4, 3.5f}), (std::vector<float>{1, 1, 1}));
  float product[16];
  MatrixProduct4(product, node.inverse, node.matrix);  // matrix 1, then matrix 2
  EXPECT_EQ(std::vector<float>(product, product + 16), kIdentity);
  MatrixProduct4(product, node.matrix, node.inverse);  // matrix 2, then matrix 1
  EXPECT_EQ(std::vector<float>(product, product + 16), kIdentity);

  // Any angle: the identity within float rounding.
  node = Scaled(1.5f, 0.25f, 3, 37, -7, 11, 0.5f);
  TransformNodeScaledUpdate(node);
  MatrixProduct4(product, node.matrix, node.inverse);
  for (int k = 0; k < 16; ++k) EXPECT_NEAR(product[k], kIdentity[k], 2e-6f) << k;

  // Angle 0, unit scale, no offset: both matrices are the identity.
  node = Scaled(1, 1, 1, 0, 0, 0, 0);
  TransformNodeScaledUpdate(node);
  EXPECT_EQ(std::vector<float>(node.matrix, node.matrix + 16), kIdentity);
  EXPECT_EQ(std::vector<float>(node.inverse, node.inverse + 16), kIdentity);
}

// Within 1e-5 degrees of a right angle sine and cosine are exact; further off, the functions.
TEST(ScaledTransform, RightAnglesAreExact) {
  const struct {
    float degrees, sine, cosine;
  } cases[] = {{0.000009f, 0, 1}, {90.000001f, 1, 0}, {180, 0, -1}, {270.000005f, -1, 0}};
  for (const auto& c : cases) {
    TransformNode node = Scaled(1, 1, 1, c.degrees, 0, 0, 0);
    const float* m = TransformNodeScaledMatrix(node);
    EXPECT_TRUE(m[0] == c.cosine && m[1] == c.sine && m[4] == -c.sine) << c.degrees;
  }
  TransformNode node = Scaled(1, 1, 1, 90.0001f, 0, 0, 0);
  EXPECT_NE(TransformNodeScaledMatrix(node)[0], 0.0f);
  EXPECT_NEAR(node.matrix[0], -1.7e-6f, 3e-7f);  // cos(90.0001 degrees)
}

// A clean node keeps its matrices until it is marked dirty.
TEST(ScaledTransform, MatricesAreRecomputedOnlyWhenDirty) {
  TransformNode node = Scaled(2, 2, 2, 0, 0, 0, 0);
  TransformNodeScaledMatrix(node);
  node.axis[0] = 4;
  EXPECT_EQ(TransformNodeScaledMatrix2(node)[0], 0.5f);
  node.dirty = 1;
  EXPECT_EQ(TransformNodeScaledMatrix2(node)[0], 0.25f);
}

TEST(MatrixProducts, CrossAndRowMajorProducts) {
  float v[3] = {1, 0, 0};
  const float y[3] = {0, 1, 0};
  CrossProduct(v, v, y);  // the output may be an input
  EXPECT_EQ(std::vector<float>(v, v + 3), (std::vector<float>{0, 0, 1}));
  const float a[3] = {1, 2, 3}, b[3] = {4, 5, 6};
  CrossProduct(v, a, b);
  EXPECT_EQ(std::vector<float>(v, v + 3), (std::vector<float>{-3, 6, -3}));

  // out = b x a: element (i, j) = sum of b(i, k) a(k, j); a translation a after a scale b.
  const float scale[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1};
  const float move[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
  float m[16];
  MatrixProduct4(m, move, scale);
  EXPECT_EQ(Apply(m, {1, 1, 1}), (std::vector<float>{7, 9, 11}));
  MatrixProduct4(m, scale, move);
  EXPECT_EQ(Apply(m, {1, 1, 1}), (std::vector<float>{12, 21, 32}));
  const float r[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  MatrixProduct4(m, r, r);
  EXPECT_EQ(m[0], 1 * 1 + 2 * 5 + 3 * 9 + 4 * 13);
  EXPECT_EQ(m[6], 5 * 3 + 6 * 7 + 7 * 11 + 8 * 15);  // row 1 of b, column 2 of a
}

TEST(MatrixProducts, AssignWordCopiesOneWord) {
  const float source = 2.5f;
  std::uint32_t word[2] = {0, 7};
  EXPECT_EQ(AssignWord(word, &source), static_cast<void*>(word));
  EXPECT_TRUE(word[0] == 0x40200000u && word[1] == 7);
}

}  // namespace
}  // namespace veskor
