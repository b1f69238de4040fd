// The Environment block on world files: every key into its parameter, the cloud layers'
// presence, partial values, the words of the string keys, colour corrections, every bound from
// both sides, a binding left null, and the messages of each sub-block.
#include "language/environment_block.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "compile_driver.h"
#include "environment/environment_params.h"
#include "language/directive_loop.h"
#include "language/parse_store.h"
#include "language/world.h"
#include "world_text.h"

namespace veskor {
namespace {

using test::RunCompileSession;

class EnvironmentBlockTest : public ::testing::Test {
 protected:
  // The status of parsing `text` as "w.wld" ("" when it parsed).
  std::string Parse(const std::string& text) {
    return RunCompileSession(dir_.Write("w.wld", text)).status;
  }
  // The message of a failed parse, without its place.
  std::string Message(const std::string& text) {
    const std::string status = Parse(text);
    const std::size_t at = status.find(") : ");
    return at == std::string::npos ? "(parsed)" : status.substr(at + 4);
  }
  test::WorldDir dir_;
};

std::vector<float> V(const float* p, int n) { return std::vector<float>(p, p + n); }

TEST_F(EnvironmentBlockTest, EveryKeyWritesItsParameter) {
  ASSERT_EQ(Parse(R"(Environment {
    Sun { direction([0.1 -0.2 -1]) }
    Sky { turbidity(0.7) horizon([-4 4]) sunSpot([1.5 -2]) }
    Fog { exp(3) intensity(0.4) distance(2) zstart(-10) zdistance(50) zintensity(0) }
    Haze { exp(0) intensity(0.25) distance(7) color([0 0.5 2]) }
    Water { class("sea") aspect("very long") velocity([-1 2]) fresnel(0.5) }
    CloudHigh { class("cirrus") aspect("long") altitude(-3) velocity([5 6]) coverage(1)
                opacity(0) colorLight([3 2 1]) }
    CloudLow { class("stratus") aspect("iso") altitude(900) velocity([7 8]) coverage(0.1)
               opacity(0.9) granularity(0.3) colorLight([0.1 0.2 0.3]) colorDark([4 5 6]) }
    LightShaft { intensity(0.6) horizonCoverage(0.8) length(0) }
  })"),
            "");
  EXPECT_EQ(V(SunDirection, 3), (std::vector<float>{0.1f, -0.2f, -1}));
  EXPECT_EQ(V(&SkyParams.turbidity, 5), (std::vector<float>{0.7f, -4, 4, 1.5f, -2}));
  EXPECT_EQ(V(&FogParams.exp, 6), (std::vector<float>{3, 0.4f, 2, -10, 50, 0}));
  EXPECT_EQ(V(&HazeParams.exp, 6), (std::vector<float>{0, 0.25f, 7, 0, 0.5f, 2}));
  EXPECT_EQ(WaterParams.waterClass, kWaterSea);
  EXPECT_EQ(WaterParams.aspect, kAspectVeryLong);
  EXPECT_EQ(V(WaterParams.velocity, 3), (std::vector<float>{-1, 2, 0.5f}));
  const CloudHighParameters& h = CloudHighParams;
  EXPECT_EQ((std::vector<int>{h.present, h.cloudClass, h.aspect}), (std::vector<int>{1, 2, 2}));
  EXPECT_EQ(V(&h.altitude, 8), (std::vector<float>{-3, 5, 6, 1, 0, 3, 2, 1}));
  const CloudLowParameters& l = CloudLowParams;
  EXPECT_EQ((std::vector<int>{l.present, l.cloudClass, l.aspect}), (std::vector<int>{1, 4, 1}));
  EXPECT_EQ(V(&l.altitude, 12),
            (std::vector<float>{900, 7, 8, 0.1f, 0.9f, 0.3f, 0.1f, 0.2f, 0.3f, 4, 5, 6}));
  EXPECT_EQ(V(&LightShaftParams.intensity, 3), (std::vector<float>{0.6f, 0.8f, 0}));

  // The next parse starts from the defaults again.
  ASSERT_EQ(Parse(""), "");
  EXPECT_EQ(V(SkyParams.horizon, 2), (std::vector<float>{0, 0}));
  EXPECT_EQ(FogParams.zintensity, 0.8f);
}

TEST_F(EnvironmentBlockTest, CloudLayersArePresentOnlyWhereTheBlockNamesThem) {
  const struct {
    const char* text;
    int high, low;
  } cases[] = {
      {"", 1, 1},
      {"Environment { }", 0, 0},
      {"Environment { Sun { } }", 0, 0},
      {"Environment { CloudLow { } }", 0, 1},
      {"Environment { CloudHigh { } } Environment { Sky { } }", 0, 0},
      {"Environment { CloudHigh { } } Environment { CloudLow { } CloudHigh { } }", 1, 1},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Parse(c.text), "") << c.text;
    EXPECT_EQ(CloudHighParams.present, c.high) << c.text;
    EXPECT_EQ(CloudLowParams.present, c.low) << c.text;
  }
}

TEST_F(EnvironmentBlockTest, ValuesWriteOnlyTheComponentsGiven) {
  ASSERT_EQ(Parse("Environment { Sun { direction([0.25 0.75]) } Haze { color(3) color([]) }"
                  " Fog { exp([1 2 3]) } }"),
            "");
  EXPECT_EQ(V(SunDirection, 3), (std::vector<float>{0.25f, 0.75f, -0.5f}));
  EXPECT_EQ(V(HazeParams.color, 3), (std::vector<float>{3, 0.05f, 0.5f}));
  EXPECT_EQ(V(&FogParams.exp, 2), (std::vector<float>{1, 1}));  // extra components ignored
}

// The refused words are the broken worlds of the test data (env_*.wld).
TEST_F(EnvironmentBlockTest, WordsSelectTheirCodes) {
  const struct {
    const char* entry;
    const std::int32_t* value;
    std::int32_t code;
  } cases[] = {
      {"Water { class(\"sea\")", &WaterParams.waterClass, 2},
      {"Water { aspect(\"iso\")", &WaterParams.aspect, 1},
      {"CloudHigh { aspect(\"long\")", &CloudHighParams.aspect, 2},
      {"CloudLow { aspect(\"very long\")", &CloudLowParams.aspect, 3},
      {"CloudLow { class(\"stratocumulus\")", &CloudLowParams.cloudClass, 1},
      {"CloudLow { class(\"cirrostratus\")", &CloudLowParams.cloudClass, 2},
      {"CloudHigh { class(\"altostratus\")", &CloudHighParams.cloudClass, 4},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Parse(std::string("Environment { ") + c.entry + " } }"), "") << c.entry;
    EXPECT_EQ(*c.value, c.code) << c.entry;
  }
  // A refused cloud kind has set the class to 0 first.
  EXPECT_EQ(Message("Environment { CloudHigh { class(\"Cirrus\") } }"), kCloudClassExpected);
  EXPECT_EQ(CloudHighParams.cloudClass, 0);
}

TEST_F(EnvironmentBlockTest, ColourCorrectionsStoreOnlyWhatDiffersFromIdentity) {
  ASSERT_EQ(
      Parse("Environment { Sun { IlluColorCorrection([1 1 1] [0 0 0]) }"
            " Sky { DomeColorCorrection([2] [0 0 0.5]) IlluColorCorrection([1 1 0.5] [-1]) } }"),
      "");
  const TransformRecord& sun = SunIlluColorCorrection;
  TransformRecord& dome = SkyParams.domeColorCorrection;
  const TransformRecord& illu = SkyParams.illuColorCorrection;
  // The identity flag and the dirty flag.
  EXPECT_EQ((std::vector<std::uint32_t>{sun.changed, sun.dirty, dome.changed, dome.dirty,
                                        illu.changed, illu.dirty}),
            (std::vector<std::uint32_t>{1, 0, 0, 1, 0, 1}));
  const float* m = RotationCacheGet(dome);  // scale, then the offset in the last column
  EXPECT_EQ(V(m, 16), (std::vector<float>{2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0.5f, 1}));
  EXPECT_EQ(V(illu.scale, 3), (std::vector<float>{1, 1, 0.5f}));
  EXPECT_EQ(V(illu.translation, 3), (std::vector<float>{-1, 0, 0}));
}

std::string Number(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
  return text;
}

// The bounds of every checked key, written from the block's table (sub-block, key, component
// count, lower bound, upper bound or -1 for a minimum only): a value on each bound passes, one
// just beyond fails with the bound's message, in any component the key takes.
TEST_F(EnvironmentBlockTest, EveryBoundHoldsFromBothSides) {
  std::istringstream bounds(R"(Sun direction 3 -1 1  Sky turbidity 1 0 1  Sky horizon 2 -4 4
    Sky sunSpot 2 -4 4  Fog exp 1 0 -1  Fog intensity 1 0 1  Fog distance 1 0 -1
    Fog zintensity 1 0 1  Haze exp 1 0 -1  Haze intensity 1 0 1  Haze distance 1 0 -1
    Haze color 3 0 -1  Water fresnel 1 0 1  CloudHigh coverage 1 0 1  CloudHigh opacity 1 0 1
    CloudHigh colorLight 3 0 -1  CloudLow coverage 1 0 1  CloudLow opacity 1 0 1
    CloudLow granularity 1 0 1  CloudLow colorLight 3 0 -1  CloudLow colorDark 3 0 -1
    LightShaft intensity 1 0 1  LightShaft horizonCoverage 1 0 1  LightShaft length 1 0 -1)");
  std::string block, key;
  int count, keys = 0;
  float lo, hi;
  while (bounds >> block >> key >> count >> lo >> hi) {
    ++keys;
    const bool range = hi >= lo;
    char message[64];
    std::snprintf(message, sizeof message,
                  range ? "value must be in [%.1f,%.1f]" : "value must be >= %.1f",
                  static_cast<double>(lo), static_cast<double>(hi));
    const float inside = range ? hi : lo;
    for (int c = 0; c < 3; ++c) {
      // Components before c on the bound, component c just beyond one of its bounds.
      std::string good, bad;
      for (int i = 0; i <= c; ++i) {
        good += Number(i == c ? lo : inside) + " ";
        bad += Number(i < c ? inside : c % 2 == 1 && range ? hi + 0.001f : lo - 0.001f) + " ";
      }
      auto entry = [&](const std::string& value) {
        return "Environment { " + block + " { " + key + "([" + value + "]) } }";
      };
      EXPECT_EQ(Message(entry(good)), "(parsed)") << entry(good);
      EXPECT_EQ(Message(entry(bad)), c < count ? message : "(parsed)") << entry(bad);
    }
  }
  EXPECT_EQ(keys, 24);
  // The sun's direction must not be zero; any other gives its direction, however short (its
  // squared length below the normal floats from 1.1e-19 down), after the render session's
  // normalisation as well.
  const struct {
    const char* value;
    std::vector<float> unit;
  } suns[] = {{"[2e-19 0 0]", {1, 0, 0}},
              {"[1e-19 0 0]", {1, 0, 0}},
              {"[0 1e-30 -2e-31]", {0, 0.98058f, -0.19612f}},
              {"[-1e-45 0 1e-45]", {-0.70711f, 0, 0.70711f}}};
  for (const auto& sun : suns) {
    const std::string text = std::string("Environment { Sun { direction(") + sun.value + ") } }";
    ASSERT_EQ(Message(text), "(parsed)") << text;
    NormalizeSunDirection();
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(SunDirection[i], sun.unit[i], 1e-3f) << text << i;
  }
  EXPECT_EQ(Message("Environment { Sun { direction([0 -0 0]) } }"), "direction must not be zero");
  // Keys without bounds take any number.
  EXPECT_EQ(Message("Environment { Fog { zstart(-1e30) zdistance(-5) } Water { velocity([-9 9]) }"
                    " CloudHigh { altitude(-1) velocity(-1) } CloudLow { altitude(-1) } }"),
            "(parsed)");
}

TEST_F(EnvironmentBlockTest, ANullBindingIsReadButNeitherWrittenNorChecked) {
  // The bindings are refilled before each parse: clear one slot through a world-less parse.
  ASSERT_EQ(Parse(""), "");
  const float before = FogParams.exp;
  gWorld.environment.slots[kSlotFogExp] = nullptr;
  gWorld.environment.slots[kSlotWaterClass] = nullptr;
  gWorld.environment.slots[kSlotSunDirection] = nullptr;
  // Run the directive loop only, without the defaults that would refill the slot.
  test::OpenText(dir_, "Environment { Fog { exp(-5) } Water { class(\"x\") }"
                       " Sun { direction([0 0 0]) } }");
  EXPECT_EQ(ParseSceneDirectives(gSceneParser, gParseStore), 1);
  CloseSceneFiles(gSceneParser);
  EXPECT_EQ(FogParams.exp, before);
  EXPECT_EQ(WaterParams.waterClass, kWaterLake);
}

TEST_F(EnvironmentBlockTest, UnknownNamesGiveTheirBlocksSyntaxError) {
  for (const char* sub :
       {"Sun", "Sky", "Fog", "Haze", "Water", "CloudHigh", "CloudLow", "LightShaft"}) {
    EXPECT_EQ(Message(std::string("Environment { ") + sub + " { shade(1) } }"),
              std::string(sub) + " syntax error");
  }
  EXPECT_EQ(Message("Environment { Moon { } }"), kEnvironmentSyntaxError);
  // A key of another sub-block is unknown here.
  EXPECT_EQ(Message("Environment { Sun { turbidity(0.5) } }"), "Sun syntax error");
}

}  // namespace
}  // namespace veskor
