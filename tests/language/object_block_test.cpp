#include "language/object_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compile_driver.h"
#include "fx_test_support.h"

namespace veskor {
namespace {

using test::CompileText;
using test::WorldDir;

std::vector<int> Fields(const ObjectCall& c) { return {c.kind, c.index, c.third, c.transform}; }
std::vector<int> Fields(const ObjectRecord& o) {
  return {o.kind, o.fxIndex, o.third, o.fourth, o.firstCall, o.endCall};
}

// The transform's axis, angle and translation.
std::vector<float> Transform(std::uint32_t t) {
  const TransformNode& n = gWorld.objectTransforms[t];
  return {n.axis[0],        n.axis[1],        n.axis[2],       n.angle,
          n.translation[0], n.translation[1], n.translation[2]};
}

TEST(ObjectBlock, CallsFillTheObjectTablesAndFxCallsTheBlocksDefinition) {
  ASSERT_EQ(test::RunCompileSession(VESKOR_LANGUAGE_DATA "object_forms.wld").status, "");
  const World& w = gWorld;
  constexpr int kNone = kNoTransform;
  ASSERT_EQ(w.objectCallCount, 7);
  const std::vector<std::vector<int>> calls = {{3, 1, 0, 0},    {3, 1, 0, 1}, {3, 1, 0, 2},
                                               {3, 1, 0, 3},    {4, 0, 0, 4}, {0, 0, 0, 5},
                                               {3, 0, 0, kNone}};
  for (std::uint32_t c = 0; c < 7; ++c) EXPECT_EQ(Fields(w.objectCalls[c]), calls[c]) << c;
  // The rotation needs four components; its axis is kept at unit length.
  ASSERT_EQ(w.objectTransformCount, 6);
  EXPECT_EQ(Transform(0), (std::vector<float>{0, 0, 1, 90, 10, 0, 0}));
  EXPECT_EQ(Transform(1), (std::vector<float>{0, 0, 1, 90, 10, 0, 0}));
  EXPECT_EQ(Transform(2), (std::vector<float>{0, 0, 1, 0, 1, 2, 3}));
  EXPECT_EQ(Transform(3), (std::vector<float>{0, 0, 1, 0, 4, 5, 6}));
  EXPECT_EQ(Transform(4), (std::vector<float>{0, 0, 1, 0, 7, 8, 0}));
  EXPECT_EQ(Transform(5), (std::vector<float>{1, 0, 0, 45, 0, 0, 0}));
  for (std::uint32_t t = 0; t < 6; ++t) EXPECT_EQ(w.objectTransforms[t].dirty, 1);
  EXPECT_EQ(w.objectTransforms[6].identity, 1);

  // Definitions 0 and 1 are the Surfaces paint and tint (none records nothing); the first
  // object's is 2, the empty object has none and the third object's takes 3.
  ASSERT_EQ(w.objectCount, 3);
  EXPECT_EQ(Fields(w.objects[0]), (std::vector<int>{5, 2, 0, 0xFFFF, 0, 7}));
  EXPECT_EQ(Fields(w.objects[1]), (std::vector<int>{5, 0xFFFF, 0, 0xFFFF, 7, 7}));
  EXPECT_EQ(Fields(w.objects[2]), (std::vector<int>{5, 3, 0, 0xFFFF, 7, 7}));
  ASSERT_EQ(gParseStore.fxRecords.count, 4u);
  // Float constants: tint's default [1 0 0] is 0, the object's [0.5 0.5 0.5] 1.
  EXPECT_EQ(test::DefinitionCalls(2), "=(2:3 5:1); =(2:3 5:0); =(2:4 5:0); ");
  EXPECT_EQ(test::DefinitionCalls(3), "=(2:3 2:0); =(2:4 2:0); =(2:3 2:1); ");
  // paint's default and the first object's argument share one string.
  ASSERT_EQ(gParseStore.stringConstantCount, 2u);
  EXPECT_STREQ(gParseStore.stringConstants[0].text, "rock.png");
  EXPECT_STREQ(gParseStore.stringConstants[1].text, "sand.png");
}

std::string Repeat(const std::string& text, std::uint32_t n) {
  std::string all;
  for (std::uint32_t i = 0; i < n; ++i) all += text;
  return all;
}

TEST(ObjectBlock, CapacitiesAreReachedAndRefused) {
  WorldDir dir;
  const struct {
    std::string text;
    std::string status;
  } cases[] = {
      {"Object {\n" + Repeat("Cube ( [1] )\n", 256) + "}", ""},
      {"Object {\n" + Repeat("Cube ( [1] )\n", 257) + "}",
       "line (258) : Too many object transforms"},
      {"Object {\n" + Repeat("Cube\n", 10000) + "}", ""},
      {"Object {\n" + Repeat("Cube\n", 10001) + "}", "line (10003) : Too many object calls"},
      // Objects without fx calls take no room of the parse store.
      {Repeat("Object { Cube }\n", 10000), ""},
      {Repeat("Object { }\n", 10001), "line (10002) : Too many objects"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompileText(dir, c.text).status,
              c.status.empty() ? "" : "Syntax error file (fx.wld) " + c.status);
  }
}

}  // namespace
}  // namespace veskor
