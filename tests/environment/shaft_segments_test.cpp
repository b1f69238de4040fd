// The light-shaft sources of a puff whose shape cube holds one scale (an ellipsoid of known
// size) and whose light cube is bright only where the test paints it, against the rim, the
// thinning and the segments worked out here in double precision with the program's random
// sequence.
#include "environment/shaft_segments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "environment/environment_reference.h"
#include "platform/random.h"
#include "puff_layer.h"

namespace veskor {
namespace {

using Colour = std::array<float, 3>;
// Colour of a light texel by face, texel and world direction.
using Paint = std::function<Colour(std::uint32_t face, std::uint32_t texel, const double* d)>;

struct Lcg {
  std::uint32_t state;
  double Next() {
    state = state * 214013u + 2531011u;
    return static_cast<double>((state >> 16) & 0x7FFF) / 32767.0;
  }
};

struct RimTexel {
  std::uint32_t face, texel;
  double position[3], normal[3];
  double cosine;  // |n . S|
};

double Dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(const double* a, const double* b, double* out) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

class ShaftSegmentTest : public ::testing::Test {
 protected:
  void TearDown() override { EnvironmentResetCloudLow(*state, 0.0f, kNoWind); }

  CloudPuff& MakePuff(float radius, float halfHeight, std::uint32_t level) {
    const float centre[3] = {1000, -500, 2000};
    return test::AddConstantPuff(state->cloudLow, centre, radius, halfHeight, kScale, level);
  }
  static void PaintLight(CloudPuff& puff, const Paint& paint) {
    TextureCube& cube = puff.cubes->lightCube;
    const std::uint32_t level = cube.faces[0].log2Width, n = 1u << level;
    for (std::uint32_t face = 0; face < 6; ++face)
      for (std::uint32_t t = 0; t < n * n; ++t) {
        double d[3];
        test::FaceDirectionRef(level, face, t % n, t / n, d);
        const Colour c = paint(face, t, d);
        std::copy(c.begin(), c.end(), static_cast<float*>(cube.faces[face].data) + 3 * t);
      }
  }
  // Every texel, face by face, with its surface point and normal and |n . S|.
  std::vector<RimTexel> Texels(const CloudPuff& puff) const {
    const PuffCubePair& pair = *puff.cubes;
    const std::uint32_t level = pair.shapeCube.faces[0].log2Width, n = 1u << level;
    const double scale[3] = {kScale * pair.radius, kScale * pair.radius, kScale * pair.halfHeight};
    std::vector<RimTexel> texels;
    for (std::uint32_t face = 0; face < 6; ++face)
      for (std::uint32_t t = 0; t < n * n; ++t) {
        const std::uint32_t i = t % n, j = t / n;
        double q[4][3];
        const std::uint32_t corners[4][2] = {{i, j}, {i + 1, j}, {i, j + 1}, {i + 1, j + 1}};
        for (int c = 0; c < 4; ++c) {
          test::FaceCornerRef(level, face, corners[c][0], corners[c][1], q[c]);
          for (int a = 0; a < 3; ++a) q[c][a] *= scale[a];
        }
        double e[3], f[3];
        for (int a = 0; a < 3; ++a) e[a] = q[2][a] - q[1][a], f[a] = q[3][a] - q[0][a];
        RimTexel texel{face, t, {}, {}, 0};
        Cross(e, f, texel.normal);
        const double length = std::sqrt(Dot(texel.normal, texel.normal));
        for (double& v : texel.normal) v /= length;
        texel.cosine = std::fabs(Dot(texel.normal, sun));
        double d[3];
        test::FaceDirectionRef(level, face, i, j, d);
        for (int a = 0; a < 3; ++a) texel.position[a] = puff.centre[a] + d[a] * scale[a];
        texels.push_back(texel);
      }
    return texels;
  }
  // Texels this close to the rim's bound are painted dark, so that rounding decides nothing.
  static bool OnRim(const RimTexel& t) { return t.cosine < 0.1 - kMargin; }
  static bool NearBound(const RimTexel& t) { return std::fabs(t.cosine - 0.1) <= kMargin; }
  static float Brightness(const CloudPuff& puff, const RimTexel& t) {
    const float* c =
        static_cast<const float*>(puff.cubes->lightCube.faces[t.face].data) + 3 * t.texel;
    return c[0] + c[1] + c[2];
  }

  static constexpr float kScale = 0.8f;
  static constexpr double kMargin = 1e-4;
  static constexpr float kNoWind[2] = {0, 0};
  std::unique_ptr<EnvironmentState> state = std::make_unique<EnvironmentState>();
  const double sun[3] = {0.3 / 0.99498744, -0.2 / 0.99498744, -0.9 / 0.99498744};
  const float sunF[3] = {float(sun[0]), float(sun[1]), float(sun[2])};
};

TEST_F(ShaftSegmentTest, ABrightBandOfTheRimBecomesSpacedSegments) {
  CloudPuff& puff = MakePuff(600, 400, 5);
  const std::vector<RimTexel> texels = Texels(puff);
  // Bright (red + green + blue above 1) only between the equator and z = 0.5.
  PaintLight(puff, [&](std::uint32_t face, std::uint32_t t, const double* d) {
    const bool band = d[2] > 0 && d[2] < 0.5 && !NearBound(texels[(face << 10) + t]);
    return band ? Colour{0.5f, 0.4f, 0.3f + 0.4f * float(d[2])} : Colour{0.3f, 0.3f, 0.3f};
  });
  std::vector<RimTexel> candidates;
  for (const RimTexel& t : texels)
    if (OnRim(t) && Brightness(puff, t) > 1.0f) candidates.push_back(t);
  RandomSeed(77);
  BuildShaftSegments(puff, sunF);

  ASSERT_EQ(ShaftCandidateCount, candidates.size());
  for (std::size_t c = 0; c < candidates.size(); ++c) {
    const RimTexel& t = candidates[c];
    for (int a = 0; a < 3; ++a) {
      ASSERT_NEAR(ShaftCandidates.positions[c][a], t.position[a], 0.01) << c;
      ASSERT_NEAR(ShaftCandidates.normals[c][a], t.normal[a], 5e-4) << c;
    }
    ASSERT_NEAR(ShaftCandidates.weights[c], (Brightness(puff, t) - 1.0) / 3, 1e-6) << c;
  }
  // Kept: further than 150 from every point kept before, first found first.
  std::vector<const RimTexel*> kept;
  for (const RimTexel& t : candidates) {
    bool spaced = true;
    for (const RimTexel* k : kept) {
      double d[3];
      for (int a = 0; a < 3; ++a) d[a] = t.position[a] - k->position[a];
      const double distance = std::sqrt(Dot(d, d));
      EXPECT_GT(std::fabs(distance - 150), 0.01);  // premise, as above
      spaced = spaced && distance > 150;
    }
    if (spaced) kept.push_back(&t);
  }
  ASSERT_GT(kept.size(), 3u);
  ASSERT_LT(kept.size(), candidates.size() / 4);
  ASSERT_EQ(ShaftKept.count, kept.size());
  ASSERT_EQ(puff.shaftSegments.count, 10 * kept.size());
  // Each segment runs from p - w l to p + w l, w = n x S, l = 40 + 60 u, with a second draw
  // after each length.
  Lcg random{77};
  const auto* segments = VmArrayData<ShaftSegment>(puff.shaftSegments);
  for (std::size_t k = 0; k < kept.size(); ++k) {
    const double length = 40 + 60 * random.Next();
    random.Next();
    double w[3];
    Cross(kept[k]->normal, sun, w);
    const ShaftSegment& s = segments[k];
    for (int a = 0; a < 3; ++a) {
      EXPECT_NEAR(s.start[a], kept[k]->position[a] - w[a] * length, 0.1) << k;
      EXPECT_NEAR(s.end[a], kept[k]->position[a] + w[a] * length, 0.1) << k;
      EXPECT_NEAR(s.normal[a], kept[k]->normal[a], 5e-4) << k;
    }
    EXPECT_NEAR(s.weight, (Brightness(puff, *kept[k]) - 1.0) / 3, 1e-6) << k;
  }
  random.Next();
  EXPECT_EQ(RandomNext(), static_cast<int>(random.state >> 16 & 0x7FFF));
}

TEST_F(ShaftSegmentTest, CandidatesStopAtTheCapacityInFaceAndTexelOrder) {
  CloudPuff& puff = MakePuff(300, 900, 6);  // tall: a wide rim
  std::vector<RimTexel> rim = Texels(puff);
  std::erase_if(rim, [](const RimTexel& t) { return !OnRim(t); });
  ASSERT_GT(rim.size(), kShaftListCapacity + 1);
  for (const std::uint32_t bright : {kShaftListCapacity, kShaftListCapacity + 1}) {
    std::vector<bool> lit(6 << 12);
    for (std::uint32_t k = 0; k < bright; ++k) lit[(rim[k].face << 12) + rim[k].texel] = true;
    PaintLight(puff, [&](std::uint32_t face, std::uint32_t t, const double*) {
      return lit[(face << 12) + t] ? Colour{0.5f, 0.5f, 0.5f} : Colour{0.5f, 0.5f, 0.0f};
    });
    BuildShaftSegments(puff, sunF);
    EXPECT_EQ(ShaftCandidateCount, kShaftListCapacity) << bright;
    for (const std::uint32_t c : {0u, kShaftListCapacity - 1})
      for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(ShaftCandidates.positions[c][a], rim[c].position[a], 0.01) << bright;
  }
}

TEST_F(ShaftSegmentTest, NoTexelBrighterThanOneLeavesTheSegmentsAsTheyAre) {
  CloudPuff& puff = MakePuff(600, 400, 4);
  const std::vector<RimTexel> texels = Texels(puff);
  const RimTexel first = *std::find_if(texels.begin(), texels.end(), OnRim);
  // Red + green + blue: exactly 1 everywhere, and one float above it on the first rim texel.
  const auto paint = [&](float above) {
    PaintLight(puff, [&](std::uint32_t face, std::uint32_t t, const double*) {
      return Colour{0.5f, 0.5f, face == first.face && t == first.texel ? above : 0.0f};
    });
  };
  paint(std::ldexp(1.0f, -23));
  // Two parked blocks of one segment's size: a block given back and taken anew would be the
  // other one.
  VmArray parked[2];
  for (VmArray& a : parked) VmArrayInit(a), VmArrayReserve(a, sizeof(ShaftSegment));
  for (VmArray& a : parked) VmArrayRelease(a);
  RandomSeed(5);
  BuildShaftSegments(puff, sunF);
  ASSERT_EQ(puff.shaftSegments.count, 10u);
  const void* block = puff.shaftSegments.elements;
  const ShaftSegment segment = *VmArrayData<ShaftSegment>(puff.shaftSegments);
  EXPECT_NEAR(segment.weight, std::ldexp(1.0, -23) / 3, 1e-12);
  // The same count again keeps the block.
  BuildShaftSegments(puff, sunF);
  EXPECT_EQ(puff.shaftSegments.elements, block);
  EXPECT_EQ(puff.shaftSegments.count, 10u);

  paint(0.0f);
  RandomSeed(5);
  BuildShaftSegments(puff, sunF);
  EXPECT_EQ(ShaftCandidateCount, 0u);
  EXPECT_EQ(ShaftKept.count, 0u);
  EXPECT_EQ(puff.shaftSegments.count, 10u);
  EXPECT_EQ(puff.shaftSegments.elements, block);
  EXPECT_EQ(RandomNext(), static_cast<int>(Lcg{5}.Next() * 32767 + 0.5));  // nothing drawn
}

}  // namespace
}  // namespace veskor
