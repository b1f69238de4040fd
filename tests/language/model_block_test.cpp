#include "language/model_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compile_driver.h"
#include "fx_test_support.h"
#include "language/world.h"

namespace veskor {
namespace {

using test::CompileText;
using test::WorldDir;

// The points of one Edge: x, y, height, fourth and fifth component.
using Points = std::vector<std::vector<float>>;

void ExpectEdge(const EdgeCurve& c, const Points& points) {
  ASSERT_EQ(c.count, points.size());
  for (std::uint32_t i = 0; i < c.count; ++i) {
    SCOPED_TRACE("point " + std::to_string(i));
    const std::vector<float> got = {c.x[i], c.y[i], c.height[i], c.edgeSharpness[i],
                                    c.sectionSharpness[i]};
    EXPECT_EQ(got, points[i]);
    EXPECT_EQ(c.param[i], static_cast<float>(i));
    EXPECT_EQ(c.levels[i], 28.0f);
    EXPECT_EQ(c.skipDepth[i], 0);
    EXPECT_EQ(c.flag[i], 0);
  }
}

TEST(ModelBlock, EdgesKeepTheirPointsUnderTheModelsName) {
  ASSERT_EQ(test::RunCompileSession(VESKOR_LANGUAGE_DATA "model_forms.wld").status, "");
  const World& w = gWorld;
  ASSERT_EQ(w.modelCount, 7u);  // after the five built-in models
  std::uint32_t position;
  ASSERT_TRUE(NameTableFind(w.modelNames, "full", position));
  EXPECT_EQ(w.modelNames.entries[position].value, 6u);

  const EdgeCurveList& plain = w.models[5];
  EXPECT_EQ(plain.kind, kEdgeCurveListModel);
  ASSERT_EQ(plain.count, 3u);
  ExpectEdge(plain.curves[0], {{1, 0, 0, 0, 0}, {2, 0, 0, 0, 0}, {3, 0, 0, 0, 0}});
  for (std::uint32_t e : {1u, 2u}) ExpectEdge(plain.curves[e], {{1, 2, 3, 0, 0}, {4, 5, 6, 0, 0}});
  // Components past the fifth are not used; the fifth is kept in [0, 31].
  const EdgeCurveList& full = w.models[6];
  ASSERT_EQ(full.count, 2u);
  ExpectEdge(full.curves[0], {{1, 2, 3, 4, 5}, {0, 0, 0, 0, 0}, {0.5f, 0.25f, 0, 0, 0}});
  ExpectEdge(full.curves[1], {{0, 0, 0, 0, 31}, {0, 0, 1, 0, 0}, {0, 0, 2, 0, 31}});
  // The metrics were computed: the list box spans every point (x, y, height pairs).
  EXPECT_EQ(std::vector<float>(full.box, full.box + 6), (std::vector<float>{0, 1, 0, 2, 0, 3}));
  EXPECT_FLOAT_EQ(full.curves[1].arcLength[2], 2.0f);
}

std::string Repeat(const std::string& text, std::uint32_t n) {
  std::string all;
  for (std::uint32_t i = 0; i < n; ++i) all += text;
  return all;
}

std::string Edges(std::uint32_t edges, std::uint32_t points) {
  std::string text;
  for (std::uint32_t e = 0; e < edges; ++e) {
    text += "Edge {";
    for (std::uint32_t p = 0; p < points; ++p) text += " [0 0 " + std::to_string(p) + "]";
    text += " }\n";
  }
  return text;
}

TEST(ModelBlock, CapacitiesAreReachedAndRefused) {
  WorldDir dir;
  const struct {
    std::string text;
    std::string status;  // "" when accepted
  } cases[] = {
      {"Model m {\n" + Edges(16, 32) + "}", ""},  // 16 Edges of 32 points: 512 points
      {"Model m {\n" + Edges(17, 2) + "}", "line (18) : Too many Edges in Model"},
      {"Model m {\n" + Edges(15, 32) + Edges(1, 33) + "}", "line (17) : Too many points in Model"},
      // The five built-in models and 507 others fill the table.
      {Repeat("Model m { Edge { 0 1 } }\n", 507), ""},
      {Repeat("Model m { Edge { 0 1 } }\n", 508), "line (509) : Too many models"},
  };
  for (const auto& c : cases) {
    const auto outcome = CompileText(dir, c.text);
    EXPECT_EQ(outcome.status, c.status.empty() ? "" : "Syntax error file (fx.wld) " + c.status);
  }
}

}  // namespace
}  // namespace veskor
