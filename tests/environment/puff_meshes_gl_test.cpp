// The puff meshes built into a batch buffer of their own and checked slice by slice against
// the disc rules worked out here in double precision: slice positions, ring counts and radii,
// ring levels by the sagitta rule, vertices and normals, winding, coverage and range counts.
// Also the stream append of every vertex format. (The buffer's format switch disables GL client
// arrays, hence the GL context.)
#include "environment/puff_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "mapengine/kernel_table.h"
#include "support/fatal_test.h"
#include "support/gl_test_fixture.h"

namespace veskor {
namespace {

struct RefSlice {
  double pos;
  std::vector<double> radius;
  std::vector<int> level;
};

int LevelOfSegments(double n) {
  const int e = std::max(static_cast<int>(std::floor(std::log2(n))), 0);
  return e + (0.85 * n > std::ldexp(1.0, e) ? 1 : 0);
}

RefSlice Reference(int lod, int i) {
  const int n = 16 - 2 * lod;
  const double a = 0.65 * 16 / n, s = 0.02 * 16 / n;
  const bool middle = i == n / 2 - 1 || i == n / 2;
  const double step = middle ? a / 16 : a;
  RefSlice ref{-1.0 + (2.0 * i + 1) / n, {}, {}};
  const double angle = std::acos(std::fabs(ref.pos)), x = angle / step;
  int rings = static_cast<int>(std::floor(x));
  if (x - rings > 0.5) ++rings;
  rings = std::max(rings, 1);
  for (int k = 0; k < rings; ++k) {
    const double r = std::fabs(ref.pos) * std::tan((k + 1) * angle / rings);
    ref.radius.push_back(r);
    ref.level.push_back(r <= s ? 2 : LevelOfSegments(2 * M_PI / std::acos(1 - s / r)));
  }
  for (int k = rings - 2; k >= 0; --k) ref.level[k] = std::max(ref.level[k], ref.level[k + 1] - 1);
  return ref;
}

// The segments of each ring of a range, from the runs of vertices of one radius.
std::vector<std::uint32_t> RingSizes(const float* vertices, const PuffSliceRange& r) {
  std::vector<std::uint32_t> sizes;
  for (std::uint32_t k = 1; k < r.floatCount / 6; ++k) {
    const float* p = vertices + r.floatStart + 6 * k;
    if (std::fabs(std::hypot(p[0], p[1]) - std::hypot(p[-6], p[-5])) > 1e-5) sizes.push_back(0);
    ++sizes.back();
  }
  return sizes;
}

class PuffMeshTest : public test::GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    GeometryBatchBufferInit(buffer);
    GeometryBatchBufferStartSession(buffer, &extensionWord);
  }
  void TearDown() override {
    GeometryBatchBufferRelease(buffer);
    GlTest::TearDown();
  }
  std::uint32_t extensionWord = 0;
  GeometryBatchBuffer buffer;
  PuffMeshSet set{};
};

TEST_F(PuffMeshTest, SlicesFollowTheDiscRules) {
  BuildPuffMeshes(set, buffer);
  std::uint32_t nextFloat = 0, nextIndex = 0;
  for (int lod = 0; lod < 8; ++lod) {
    ASSERT_EQ(set.sliceCount[lod], 16u - 2 * lod);
    for (int i = 0; i < 16 - 2 * lod; ++i) {
      SCOPED_TRACE(testing::Message() << "level " << lod << " slice " << i);
      const RefSlice ref = Reference(lod, i);
      const PuffSliceRange& range = set.slices[lod][i];
      const float pos = set.slicePos[lod][i];
      EXPECT_NEAR(pos, ref.pos, 1e-6);
      // Slices follow each other from the start of the buffer.
      EXPECT_EQ(range.floatStart, nextFloat);
      EXPECT_EQ(range.indexStart, nextIndex);
      nextFloat += range.floatCount, nextIndex += range.indexCount;

      const float* v = buffer.vertices + range.floatStart;
      const std::uint32_t count = range.floatCount / 6;
      EXPECT_EQ(std::vector<float>(v, v + 6),
                (std::vector<float>{0, 0, pos, 0, 0, pos > 0 ? 1.0f : -1.0f}));
      const std::vector<std::uint32_t> rings = RingSizes(buffer.vertices, range);
      ASSERT_EQ(rings.size(), ref.radius.size());
      std::uint32_t triangles = 0;
      for (std::uint32_t k = 0, first = 1; k < rings.size(); first += rings[k++]) {
        ASSERT_EQ(rings[k], 1u << ref.level[k]) << "ring " << k;
        triangles += k == 0 ? rings[k] : rings[k] == rings[k - 1] ? 2 * rings[k] : 3 * rings[k] / 2;
        for (std::uint32_t j = 0; j < rings[k]; ++j) {
          const float* p = v + 6 * (first + j);
          const double phi = 2 * M_PI * j / rings[k];
          ASSERT_NEAR(p[0], ref.radius[k] * std::cos(phi), 1e-5) << "ring " << k << " " << j;
          ASSERT_NEAR(p[1], ref.radius[k] * std::sin(phi), 1e-5) << "ring " << k << " " << j;
          ASSERT_EQ(p[2], pos);
          // The unit normal, its length within the kernels' error, its direction within a few
          // float roundings of the ring's points.
          const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + double(pos) * pos);
          for (int a = 0; a < 3; ++a)
            ASSERT_NEAR(p[3 + a], p[a] / length,
                        kUnitLengthError * std::fabs(p[a] / length) + 1e-6);
        }
      }
      ASSERT_EQ(range.indexCount, 3 * triangles);

      // Every triangle within the slice and clockwise seen from +z; together they cover the
      // rim polygon once.
      const std::uint16_t* idx = buffer.indices + range.indexStart;
      double area = 0;
      for (std::uint32_t t = 0; t < triangles; ++t) {
        const float* c[3];
        for (int e = 0; e < 3; ++e) {
          ASSERT_LT(idx[3 * t + e], count);
          c[e] = v + 6 * idx[3 * t + e];
        }
        const double cross = (double(c[1][0]) - c[0][0]) * (double(c[2][1]) - c[0][1]) -
                             (double(c[2][0]) - c[0][0]) * (double(c[1][1]) - c[0][1]);
        ASSERT_LT(cross, 0.0) << "triangle " << t;
        area -= cross / 2;
      }
      const double rimSegments = 1 << ref.level.back(), rimRadius = ref.radius.back();
      EXPECT_NEAR(
          area, 0.5 * rimSegments * rimRadius * rimRadius * std::sin(2 * M_PI / rimSegments), 1e-5);
    }
  }
  // One vertex of zeros closes the meshes: the coordinate read from byte 20 of the last vertex
  // stays in the block.
  EXPECT_EQ(buffer.floatCount, nextFloat + 6);
  EXPECT_EQ(std::vector<float>(buffer.vertices + nextFloat, buffer.vertices + nextFloat + 6),
            std::vector<float>(6, 0.0f));
  EXPECT_EQ(buffer.indexCount, nextIndex);
  EXPECT_EQ(buffer.vertexCount, buffer.floatCount / 6);
  EXPECT_EQ(buffer.triangleCount, buffer.indexCount / 3);
}

TEST_F(PuffMeshTest, RingsOfTheExamples) {
  BuildPuffMeshes(set, buffer);
  struct Case {
    int lod, slice;
    std::size_t rings;
  } cases[] = {{0, 7, 37},
               {0, 8, 37},
               {5, 2, 13},
               {5, 3, 13},
               {7, 0, 3},
               {7, 1, 3},
               // Outermost slices whose ring count rounds to 0 keep the rim.
               {5, 0, 1},
               {5, 5, 1},
               {2, 0, 1},
               {6, 3, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(RingSizes(buffer.vertices, set.slices[c.lod][c.slice]).size(), c.rings)
        << c.lod << " " << c.slice;
  // The slices of level 5.
  const float want[6] = {-5.0f / 6, -0.5f, -1.0f / 6, 1.0f / 6, 0.5f, 5.0f / 6};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(set.slicePos[5][i], want[i], 1e-6);

  const auto emit = [&](float pos, float step, float sagitta) {
    const std::uint32_t first = buffer.floatCount, index = buffer.indexCount;
    set.vertexCounter = 0;
    EmitPuffMesh(set, buffer, pos, step, sagitta);
    return PuffSliceRange{first, buffer.floatCount - first, index, buffer.indexCount - index};
  };
  // A ring count of exactly 2.5 rounds down; a float more rounds up.
  const float angle = std::acos(0.5f);
  float step = angle / 2.5f;
  while (angle / step != 2.5f) step = std::nextafter(step, 1.0f);
  EXPECT_EQ(RingSizes(buffer.vertices, emit(0.5f, step, 0.02f)).size(), 2u);
  EXPECT_EQ(RingSizes(buffer.vertices, emit(0.5f, std::nextafter(step, 0.0f), 0.02f)).size(), 3u);
  // Two rings whose own levels, 5 and 7, lie two apart: the inner one rises to 6, and the outer
  // ring's 128 segments pair with its 64 (3 triangles each).
  const PuffSliceRange jump = emit(0.05f, std::acos(0.05f) / 2, 0.001f);
  EXPECT_EQ(RingSizes(buffer.vertices, jump), (std::vector<std::uint32_t>{64, 128}));
  EXPECT_EQ(jump.indexCount, 3u * (64 + 3 * 64));
}

TEST_F(PuffMeshTest, StreamVertexWritesTheRowOfEachFormat) {
  const float p[3] = {1, 2, 3}, a1[4] = {4, 5, 6, 7}, a2[3] = {8, 9, 10}, a3[3] = {11, 12, 13},
              a4[3] = {14, 15, 16};
  const std::vector<float> rows[8] = {{},
                                      {},
                                      {},
                                      {1, 2, 3, 4, 5},
                                      {1, 2, 3, 4, 5, 6},
                                      {1, 2, 3, 4, 5, 6, 7},
                                      {1, 2, 3, 4, 5, 8, 9, 10},
                                      {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
  for (std::uint32_t format = 1; format <= 8; ++format) {
    SetVertexFormat(buffer, format);
    const std::uint32_t floats = buffer.floatCount, vertices = buffer.vertexCount;
    AppendStreamVertex(buffer, p, a1, a2, a3, a4);
    EXPECT_EQ(std::vector<float>(buffer.vertices + floats, buffer.vertices + buffer.floatCount),
              rows[format - 1])
        << format;
    EXPECT_EQ(buffer.vertexCount - vertices, rows[format - 1].empty() ? 0u : 1u) << format;
  }
  SetVertexFormat(buffer, 8);
  buffer.floatCount = kBatchStagingVertexBytes / 4 - 15;  // room for one vertex, not two
  AppendStreamVertex(buffer, p, a1, a2, a3, a4);
  EXPECT_FATAL(AppendStreamVertex(buffer, p, a1, a2, a3, a4),
               "Geometry Buffer Overflow : Too Many Vertices !");
}

}  // namespace
}  // namespace veskor
