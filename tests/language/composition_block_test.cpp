#include "language/composition_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compile_driver.h"
#include "fx_test_support.h"

namespace veskor {
namespace {

using test::CompileText;
using test::WorldDir;

std::vector<int> Fields(const ItemReference& r) { return {r.kind, r.index, r.third, r.transform}; }
std::vector<int> Fields(const SceneBuildRecord& r) {
  return {r.kind, r.index, r.third, r.transform, r.first, r.end};
}

// The transform's vector, angle and translation.
std::vector<float> Transform(std::uint32_t t) {
  const TransformNode& n = gWorld.compositionTransforms[t];
  return {n.axis[0],        n.axis[1],        n.axis[2],       n.angle,
          n.translation[0], n.translation[1], n.translation[2]};
}

TEST(CompositionBlock, ExpressionsBecomeOperationRecordsNamedByElements) {
  ASSERT_EQ(test::RunCompileSession(VESKOR_LANGUAGE_DATA "comp_forms.wld").status, "");
  const World& w = gWorld;
  constexpr int kNone = kNoTransform;
  // Height fields: ground 0, Cone 1; models: Cube 1, Cone 4 (the built-in one), spike 5.
  ASSERT_EQ(w.compositionOperationCount, 4);
  const CompositionOperation* op = w.compositionOperations;
  EXPECT_EQ(Fields(op[0].header), (std::vector<int>{2, 0, 0, kNone}));  // min
  EXPECT_EQ(Fields(op[0].first), (std::vector<int>{4, 0, 0, kNone}));
  EXPECT_EQ(Fields(op[0].second), (std::vector<int>{4, 1, 0, kNone}));
  EXPECT_EQ(Fields(op[1].header), (std::vector<int>{2, 1, 0, kNone}));  // max
  EXPECT_EQ(Fields(op[1].first), (std::vector<int>{4, 0, 0, 0}));
  EXPECT_EQ(Fields(op[1].second), (std::vector<int>{2, 0, 0, kNone}));
  EXPECT_EQ(Fields(op[2].header), (std::vector<int>{1, 0, 0, kNone}));  // +
  EXPECT_EQ(Fields(op[2].first), (std::vector<int>{3, 1, 0, 2}));
  EXPECT_EQ(Fields(op[2].second), (std::vector<int>{3, 5, 0, kNone}));
  EXPECT_EQ(Fields(op[3].header), (std::vector<int>{1, 1, 0, kNone}));  // -
  EXPECT_EQ(Fields(op[3].first), (std::vector<int>{1, 2, 0, kNone}));
  EXPECT_EQ(Fields(op[3].second), (std::vector<int>{3, 4, 0, kNone}));  // Cone is a model here

  ASSERT_EQ(w.compositionElementCount, 4);
  EXPECT_EQ(Fields(w.compositionElements[0]), (std::vector<int>{2, 0, 0, kNone, 0, 2}));
  EXPECT_EQ(Fields(w.compositionElements[1]), (std::vector<int>{3, 5, 0, 1, 2, 2}));
  EXPECT_EQ(Fields(w.compositionElements[2]), (std::vector<int>{1, 2, 0, kNone, 2, 4}));
  EXPECT_EQ(Fields(w.compositionElements[3]), (std::vector<int>{4, 0, 0, kNone, 4, 4}));
  ASSERT_EQ(w.compositionCount, 2);
  EXPECT_EQ(Fields(w.compositions[0]), (std::vector<int>{0, 0, 0, kNone, 0, 4}));
  EXPECT_EQ(Fields(w.compositions[1]), (std::vector<int>{0, 1, 0, kNone, 4, 4}));
  std::uint32_t position;
  ASSERT_TRUE(NameTableFind(w.compositionNames, "empty", position));
  EXPECT_EQ(w.compositionNames.entries[position].value, 1u);

  // A height field's transform is kept in its (x, height, y) order; a model's angle is set
  // by a value of one component only.
  ASSERT_EQ(w.compositionTransformCount, 3);
  EXPECT_EQ(Transform(0), (std::vector<float>{1, 3, 2, 0, 4, 6, 5}));
  EXPECT_EQ(Transform(1), (std::vector<float>{2, 1, 1, 45, 0, 0, 0}));
  EXPECT_EQ(Transform(2), (std::vector<float>{1, 2, 3, 0, 7, 8, 9}));
  for (std::uint32_t t = 0; t < 3; ++t) {
    EXPECT_EQ(w.compositionTransforms[t].dirty, 1);
    EXPECT_EQ(w.compositionTransforms[t].identity, 0);
  }
  EXPECT_EQ(w.compositionTransforms[3].identity, 1);
}

std::string Nested(const char* op, const char* leaf, std::uint32_t leaves) {
  std::string text;
  for (std::uint32_t i = 1; i < leaves; ++i) text += std::string(op) + " ( " + leaf + " ";
  text += leaf;
  for (std::uint32_t i = 1; i < leaves; ++i) text += " )";
  return text;
}

std::string Repeat(const std::string& text, std::uint32_t n) {
  std::string all;
  for (std::uint32_t i = 0; i < n; ++i) all += text;
  return all;
}

TEST(CompositionBlock, CapacitiesAreReachedAndRefused) {
  WorldDir dir;
  const std::string field = "HeightField h { BBox { [0 0 0] [1 1 1] } }\n";
  const std::string pair = "+ ( Cube ( [1] 0 [] ) Cube ( [2] 0 [] ) )\n";
  const std::string eight = "Composition c {\n" + Repeat(Nested("+", "Cube", 64) + "\n", 8);
  const struct {
    std::string text;
    std::string status;
  } cases[] = {
      // 64 leaves an expression, of either kind.
      {"Composition c { " + Nested("-", "Cube", 64) + " " + Nested("+", "Cube", 64) + " }", ""},
      {field + "Composition c { " + Nested("max", "h", 64) + " }", ""},
      {"Composition c {\n" + Nested("+", "Cube", 65) + " }",
       "line (2) : Too many operands in composition"},
      {field + "Composition c {\n" + Nested("min", "h", 65) + " }",
       "line (3) : Too many operands in composition"},
      // 512 operation records: eight expressions of 63 and one of 8.
      {eight + Nested("+", "Cube", 9) + " }", ""},
      {eight + Nested("+", "Cube", 10) + " }", "line (10) : Too many composition operations"},
      {"Composition c {\n" + Repeat(pair, 256) + "}", ""},
      {"Composition c {\n" + Repeat(pair, 256) + "Cube ( [1] 0 [] ) }",
       "line (258) : Too many composition transforms"},
      {"Composition c {\n" + Repeat("Cube\n", 512) + "}", ""},
      {"Composition c {\n" + Repeat("Cube\n", 513) + "}",
       "line (515) : Too many composition elements"},
      {Repeat("Composition c { }\n", 512), ""},
      {Repeat("Composition c { }\n", 513), "line (513) : Too many compositions"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompileText(dir, c.text).status,
              c.status.empty() ? "" : "Syntax error file (fx.wld) " + c.status);
  }
}

}  // namespace
}  // namespace veskor
