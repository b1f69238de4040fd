// The welcome sequence on the product tree's pictures, frame by frame through the root plane's
// frame and the animation tracks with a fixed frame time of 1/64 s: its start, its closing by
// itself or at a skip, what its end shows and asks for, a compile that stops it, and the long
// replay with its music and pages. A segment of a track ends in the first frame after its
// duration, so each key may take up to one frame more than its time.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app/automation.h"
#include "app/language_screen.h"
#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/program_entry.h"
#include "app/settings.h"
#include "app/web_links.h"
#include "app/welcome_screen.h"
#include "app/window_proc.h"
#include "foundation/frame_clock.h"
#include "foundation/png_reader.h"
#include "foundation/search_dirs.h"
#include "gui/gui_globals.h"
#include "gui/interface_frame.h"
#include "platform/sound_device.h"
#include "sound/sample_loader.h"
#include "sound/sound_output.h"
#include "support/gl_test_fixture.h"
#include "support/sound_files.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

constexpr double kDt = 1.0 / 64;
constexpr std::uint64_t kDtNs = 15'625'000;

std::string gCompiles;

class WelcomeTest : public test::GlTest {
 protected:
  void SetUp() override {
    test::GlTest::SetUp();
    const std::string product = VESKOR_PRODUCT_DIR;
    ASSERT_TRUE(SetSearchDirs(product.c_str(), product.c_str(), product.c_str(),
                              (product + "resources/").c_str(), product.c_str()));
    PixelSize = {1.0f / 1024, 1.0f / 768};
    FullScreenMode = 0;
    WindowedWidth = 1024;
    WindowedHeight = 768;
    gFrameServices = DefaultFrameServices();
    gFrameServices.compileSession = [](const char* path) -> std::uint32_t {
      gCompiles += std::string("compile(") + path + ") ";
      StopWelcomeAnimations();  // as the compile session does before it parses
      CompileRequest = 0;
      return 0;
    };
    gCompiles.clear();
    MainPlaneActivate(gMainPlane);  // enabled, so that its children take presses
    StopWelcomeAnimations();
    WorldReady = CompileRequest = 0;
    LanguageScreenPending = MainInterfacePending = 0;
    FirstWelcome = 1;
    FirstLaunch = 0;
    SetWorldPath("");
    // The screen is built once a process: later tests start from its countdown.
    WelcomeScreenPending = WelcomePanel.parent == nullptr ? 1 : 0;
    WelcomeCountdown = WelcomeScreenPending != 0 ? 0 : 1;
    for (GuiPlane* p : {static_cast<GuiPlane*>(&MenuBar), static_cast<GuiPlane*>(&FocalLabel),
                        static_cast<GuiPlane*>(&LanguagePanel),
                        static_cast<GuiPlane*>(&StartLanguageDropList)})
      HidePlane(*p);
    // A clock whose whole ring holds the frame time: every smoothed frame time is 1/64 s.
    FrameClockStartAt(0);
    for (int i = 0; i < 128; ++i) Tick();
  }
  void TearDown() override {
    StopWelcomeAnimations();
    SetWorldPath("");
    gFrameServices = DefaultFrameServices();
    test::GlTest::TearDown();
  }
  void Tick() { FrameClockTickAt(++ticks_ * kDtNs); }
  // One pass of the loop as far as the welcome sees it.
  void Frame() {
    MainPlaneFrame(gMainPlane);
    AnimationUpdateAll();
    Tick();
    ++frame_;
  }
  // Frames until `done` holds (at most `limit`); the seconds of track time they took.
  template <class Done>
  double FramesUntil(Done done, int limit = 20000) {
    const int start = frame_;
    while (!done() && frame_ - start < limit) Frame();
    return (frame_ - start) * kDt;
  }
  // The build and the countdown: the frame in which the sequence started.
  int RunToStart() {
    const int start = frame_;
    while (WelcomeRunning == 0 && frame_ - start < 40) Frame();
    return frame_ - start;
  }
  std::uint64_t ticks_ = 0;
  int frame_ = 0;
};

// A command line too long to be kept is compiled all the same, with no path: the compile
// session says why it opens nothing.
TEST_F(WelcomeTest, TheFirstShowingStartsAfterSixteenFramesAndClosesByItself) {
  const std::string longest(511, 'w'), tooLong(512, 'w');
  const struct {
    std::uint32_t firstLaunch;
    std::string world;
    bool mainWidgets;
    std::string compiles;
  } cases[] = {
      {0, "", true, ""},
      {0, "small world.wld", true, "compile(small world.wld) "},
      {1, "", false, ""},
      {0, longest, true, "compile(" + longest + ") "},
      {0, tooLong, true, "compile() "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.world.substr(0, 20) + " " + std::to_string(c.world.size()));
    SetUp();
    FirstLaunch = c.firstLaunch;
    SetWorldPath(c.world.c_str());
    const bool built = WelcomeScreenPending != 0;
    const int startFrame = RunToStart();
    // The building frame, then 16 more: the sequence starts in the sixteenth after it.
    EXPECT_EQ(startFrame, built ? 17 : 16);
    EXPECT_EQ(WelcomePanel.hidden, 0u);
    EXPECT_EQ(WelcomeImage5.color[3], 0.0f);
    // The images' fade-in ends 2.5 s after the start; the fade-out then takes 2.1 s of track
    // time (and the 0.1 s wait).
    const double autoClose = FramesUntil([] { return FirstWelcome == 0; }) + kDt;
    EXPECT_GE(autoClose, 2.5);
    EXPECT_LE(autoClose, 2.5 + 2 * kDt);
    EXPECT_EQ(WelcomeRunning, 1u);
    const double close = FramesUntil([] { return WelcomeRunning == 0; });
    EXPECT_GE(close, 2.1 - kDt);
    EXPECT_LE(close, 2.1 + 2 * kDt);
    EXPECT_EQ(WelcomePanel.hidden, 1u);
    EXPECT_EQ(WelcomeImage1.texture, nullptr);
    EXPECT_EQ(WelcomeImage2.color[3], 1.0f);  // released: opaque white again
    EXPECT_EQ(MenuBar.hidden + FocalLabel.hidden, c.mainWidgets ? 0u : 2u);
    EXPECT_EQ(LanguagePanel.hidden + StartLanguageDropList.hidden, c.mainWidgets ? 2u : 0u);
    Frame();
    EXPECT_EQ(gCompiles, c.compiles);
    EXPECT_EQ(Automation.armed, 1u);  // after the compile attempt, or at once without a world
    Automation.armed = 0;
  }
}

TEST_F(WelcomeTest, EscapeOrAClickSkipsOnceAndTheNextShowingIsShortAgain) {
  for (const bool click : {false, true}) {
    SCOPED_TRACE(click ? "click" : "Escape");
    SetUp();
    RunToStart();
    FramesUntil([] { return false; }, 64);  // 1 s in: the panel has slid into place
    const auto skip = [click] {
      if (click) {  // on the panel's top strip, where no image lies
        const float x = (512 + 0) / 1024.0f, y = (214 + 10) / 768.0f;
        DispatchInput(gMainPlane, 1, kButtonLeft, 0, x, y, 0);
        DispatchInput(gMainPlane, 1, 0, 0, x, y, 0);
      } else {
        KeyCodeMap[27] = kVkEscape;
        KeyDownTable[kVkEscape] = 1;
        MainPlaneOnKey(KeyDownTable);
        KeyDownTable[kVkEscape] = 0;
      }
    };
    FramesUntil([] { return false; }, 32);  // 1.5 s: image 2 fades in
    skip();
    EXPECT_EQ(WelcomeFadeHandles[kWelcomeFadeCount - 1].active, 1);
    const float alpha = WelcomeImage2.color[3];
    EXPECT_GT(alpha, 0.0f);
    FramesUntil([] { return false; }, 32);
    skip();  // again during the fade-out: nothing new
    EXPECT_EQ(AnimationPool.count, kWelcomeFadeCount);
    EXPECT_EQ(WelcomeImage2.color[3], alpha);  // image 2 has no fade-out
    const double close = FramesUntil([] { return WelcomeRunning == 0; }) + 0.5;
    EXPECT_GE(close, 2.1 - kDt);
    EXPECT_LE(close, 2.1 + 2 * kDt);
    EXPECT_EQ(WelcomeImage2.color[3], 1.0f);
    EXPECT_EQ(FirstWelcome, 1u);
    // The replay is the short one again, and clears FirstWelcome at its end.
    OpenWebLink(kProductMenuWelcome);
    EXPECT_EQ(WelcomeRunning, 1u);
    FramesUntil([] { return WelcomeRunning == 0; });
    EXPECT_EQ(FirstWelcome, 0u);
    EXPECT_EQ(AnimationPool.count, 0u);
  }
}

TEST_F(WelcomeTest, ACompileStopsTheSequenceAndRaisesNoRequest) {
  RunToStart();
  FramesUntil([] { return WelcomeRunning == 0; });  // the short showing
  SetWorldPath("w.wld");
  for (const bool fading : {false, true}) {
    SCOPED_TRACE(fading ? "during the fade-out" : "during the long showing");
    gCompiles.clear();
    HidePlane(MenuBar);
    OpenWebLink(kProductMenuWelcome);  // the long one
    FramesUntil([] { return false; }, 300);
    if (fading) SkipWelcomeSequence();
    FramesUntil([] { return false; }, 10);
    CompileRequest = 1;
    Frame();
    EXPECT_EQ(gCompiles, "compile(w.wld) ");
    EXPECT_EQ(WelcomeRunning + WelcomePanel.hidden, 1u);
    EXPECT_EQ(WelcomeImage3.texture, nullptr);
    EXPECT_EQ(AnimationPool.count, 0u);
    FramesUntil([] { return false; }, 400);
    EXPECT_EQ(gCompiles, "compile(w.wld) ");
    EXPECT_EQ(MenuBar.hidden, 1u);  // the screen's end never came
  }
}

// What tells WelcomeImage2's pages apart: a hash of a sample of its texels (their masks
// differ).
std::uint64_t PageSignature() {
  const TexturePixels& t = WelcomeImage2.texture->pixels;
  const std::size_t bytes = (std::size_t{1} << (t.log2Width + t.log2Height)) * t.channels;
  std::uint64_t h = 14695981039346656037u;
  for (std::size_t i = 0; i < bytes; i += 13)
    h = (h ^ static_cast<const std::uint8_t*>(t.data)[i]) * 1099511628211u;
  return h;
}

// The colour file WelcomeImage2 shows: its texels against page 2's and the other pages'
// colour file at the first pixel where the two differ.
std::string PageShown() {
  PngPixels png[2];
  std::uint32_t w[2], h[2], channels[2], rowBytes[2];
  const char* names[2] = {"inter_welcome_2.png", "inter_welcome_61.png"};
  for (int i = 0; i < 2; ++i)
    if (LoadPngFile((std::string(VESKOR_PRODUCT_DIR) + "resources/Img/" + names[i]).c_str(),
                    png[i], w[i], h[i], channels[i], rowBytes[i]) == 0)
      return "unreadable";
  const TexturePixels& t = WelcomeImage2.texture->pixels;
  for (std::uint32_t y = 0; y < std::min(h[0], h[1]); ++y) {
    for (std::uint32_t x = 0; x < std::min(w[0], w[1]); ++x) {
      const std::uint8_t* a = png[0].get() + y * rowBytes[0] + x * channels[0];
      const std::uint8_t* b = png[1].get() + y * rowBytes[1] + x * channels[1];
      if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) continue;
      const auto* texel = static_cast<const std::uint8_t*>(t.data) +
                          ((std::size_t{y} << t.log2Width) + x) * t.channels;
      for (int i = 0; i < 2; ++i) {
        const std::uint8_t* p = i == 0 ? a : b;
        if (p[0] == texel[0] && p[1] == texel[1] && p[2] == texel[2]) return names[i];
      }
      return "neither";
    }
  }
  return "the same";
}

TEST_F(WelcomeTest, TheLongReplayPlaysTheMusicOnceAndCyclesThePages) {
  for (const bool sound : {true, false}) {
    SCOPED_TRACE(sound ? "sound" : "silence");
    SetUp();
    test::TempDir dir("veskor_welcome");
    if (sound) {
      SoundDeviceSelect(SoundDeviceKind::kLoopback);
      ASSERT_EQ(InitDirectSound(), 1u);
      const std::string music = dir.Write(
          "intro.ogg", test::EncodeOgg({1, 22050, test::Sine(22050, 1, 22050, 440, 0.5)}));
      ASSERT_EQ(LoadOggSound(music.c_str(), IntroMusicSlot), 1u);
    }
    RunToStart();
    FramesUntil([] { return WelcomeRunning == 0; });
    OpenWebLink(kProductMenuWelcome);
    OpenWebLink(kProductMenuWelcome);  // while it runs: nothing
    EXPECT_EQ(AnimationPool.count, 11u);
    const double music = FramesUntil([] { return WelcomeHandles[kWelcomePages].active != 0; });
    EXPECT_GE(music, 2.2);
    EXPECT_LE(music, 2.2 + 2 * kDt);
    if (sound) {
      const SoundBufferStatus s = SoundBufferQuery(IntroMusicSlot.buffer);
      EXPECT_TRUE(s.playing);
      EXPECT_FALSE(s.looping);
    }
    // Each pass starts on page 60 and lasts 14.6 s (and a frame a key at most).
    const float* alpha = &WelcomeImage2.color[3];
    std::uint64_t page = PageSignature();
    double passStart = -1, previous = 0;
    int pageChanges = 0;
    const double cycle = FramesUntil([&] {
      if (PageSignature() != page) {
        page = PageSignature();
        if (pageChanges++ % 4 == 0) {
          const double now = frame_ * kDt;
          if (passStart >= 0) {
            EXPECT_GE(now - passStart, 14.6);
            EXPECT_LE(now - passStart, 14.6 + 12 * kDt);
          }
          previous = passStart;
          passStart = now;
        }
      }
      return WelcomeHandles[kWelcomePages].active == 0;
    });
    EXPECT_GT(passStart, previous);
    EXPECT_EQ(pageChanges, 24);
    EXPECT_GE(cycle, 87.6);
    EXPECT_LE(cycle, 87.6 + 72 * kDt);
    EXPECT_EQ(*alpha, 0.6f);
    EXPECT_EQ(PageShown(), "inter_welcome_2.png");
    EXPECT_EQ(WelcomeRunning, 1u);  // it stays until closed
    StopWelcomeAnimations();
    if (sound) {
      ReleaseSoundBuffer(IntroMusicSlot);
      ReleaseSoundDevice();
    }
  }
}

}  // namespace
}  // namespace veskor
