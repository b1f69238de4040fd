#include "language/fx_keywords.h"

#include <gtest/gtest.h>

#include <string>

namespace veskor {
namespace {

TEST(FxKeywords, FixedDictionariesOnceAndTheNameResolutionOrder) {
  InitFxKeywords();
  InitFxKeywords();
  const FxKeywords& k = gFxKeywords;
  EXPECT_EQ(k.globals.count, 1u);
  EXPECT_EQ(k.outputs.count, 7u);
  ASSERT_EQ(k.operators.count, 25u);
  const struct {
    const char* name;
    std::uint32_t index;
  } operators[] = {{"=", 0},  {"select", 1}, {"load", 6},   {"+", 7},
                   {"/", 10}, {"dot", 11},   {"noise", 21}, {"transform", 24}};
  for (const auto& o : operators) {
    std::uint32_t position = 0;
    EXPECT_TRUE(NameTableFind(k.operators, o.name, position)) << o.name;
    EXPECT_EQ(position, o.index) << o.name;
    EXPECT_EQ(k.operators.entries[o.index].value, o.index);
  }
  EXPECT_STREQ(k.outputs.entries[6].name, "emissive");
  EXPECT_STREQ(k.globals.entries[0].name, "viewPoint");

  ASSERT_TRUE(AddSurfaceName("noise"));
  ASSERT_TRUE(AddSurfaceName("bump"));
  ASSERT_TRUE(AddSurfaceName("noise"));
  ASSERT_TRUE(AddLocalName("normal"));
  ASSERT_TRUE(AddLocalName("height"));
  using K = FxNameKind;
  const struct {
    FxName (*resolve)(const FxKeywords&, const char*);
    const char* name;
    K kind;
    std::uint32_t index;
  } cases[] = {
      {FxResolveCallName, "noise", K::kUserFx, 0},  // a Surface hides the function, first wins
      {FxResolveCallName, "noiseTurb", K::kOperator, 23},
      {FxResolveCallName, "Noise", K::kNone, 0},     // case matters
      {FxResolvePlainName, "normal", K::kLocal, 0},  // a parameter hides the output
      {FxResolvePlainName, "point", K::kOutput, 0},
      {FxResolvePlainName, "viewPoint", K::kGlobal, 0},
      {FxResolveValueName, "normal", K::kOutput, 1},  // with a selection: the output
      {FxResolveValueName, "height", K::kLocal, 1},
      {FxResolveValueName, "bump", K::kNone, 0},
  };
  for (const auto& c : cases) {
    const FxName found = c.resolve(k, c.name);
    EXPECT_EQ(found.kind, c.kind) << c.name;
    EXPECT_EQ(found.index, c.index) << c.name;
  }

  InitFxKeywords();  // every session starts without user fx and parameters
  EXPECT_EQ(k.userFx.count + k.locals.count, 0u);
  EXPECT_EQ(FxResolvePlainName(k, "normal").kind, K::kOutput);
  for (std::uint32_t i = 0; i < kFxLocalSlots; ++i) {
    ASSERT_TRUE(AddLocalName(("p" + std::to_string(i)).c_str())) << i;
  }
  EXPECT_FALSE(AddLocalName("one more"));
  EXPECT_EQ(k.locals.entries[kFxLocalSlots - 1].value, kFxLocalSlots - 1);
  InitFxKeywords();
}

}  // namespace
}  // namespace veskor
