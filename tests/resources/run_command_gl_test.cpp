// The whole program end to end, started as the README's run command starts it: the start step
// of scripts/run pointed at the tree under test, under the X server with headless message
// boxes, on a fresh store, quitting by itself a few frames after its first world is shown.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "foundation/png_reader.h"
#include "resources/resource_test_support.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

const std::string kStoreKey = "Software\\Dovek software\\veskor";

struct RunOutcome {
  int exitCode = -1;
  std::string records;
};

class RunCommand : public ::testing::Test {
 protected:
  // A fresh store from the store writer; `firstLaunch` false as after an earlier run. Its time
  // is set far back, so that a save at the exit shows.
  void SetUp() override {
    ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir_.path())), 0);
    if (!firstLaunch_) {
      std::string store = test::ReadFileText(dir_.Path("registry"));
      const std::string fresh = "\"FirstLaunch\"=\"TRUE\"";
      const std::size_t at = store.find(fresh);
      ASSERT_NE(at, std::string::npos);
      store.replace(at, fresh.size(), "\"FirstLaunch\"=\"FALSE\"");
      dir_.Write("registry", store);
    }
    const utimbuf old{946684800, 946684800};  // 2000-01-01
    ASSERT_EQ(utime(dir_.Path("registry").c_str(), &old), 0);
  }
  // `scripts/run --start <product> <world>` with the automation variables; a minute at most.
  RunOutcome Start(const std::string& world, const std::vector<std::pair<const char*, const char*>>& env) {
    const std::string messages = dir_.Path("messages"), shot = dir_.Path("shot.png");
    const std::string script = test::kSourceDir + "scripts/run";
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("VESKOR_REGISTRY", dir_.Path("registry").c_str(), 1);
      setenv("XDG_DATA_HOME", dir_.Path("data").c_str(), 1);
      setenv("VESKOR_MESSAGES", messages.c_str(), 1);
      setenv("VESKOR_ANSWER", "yes", 1);
      setenv("VESKOR_AUTOQUIT", "5", 1);
      setenv("VESKOR_CAPTURE", shot.c_str(), 1);
      setenv("ALSOFT_DRIVERS", "null", 1);
      // In sanitizer builds the leak check of a whole run is the Program tests'; here it would
      // only add the leak checker's own failures to stop a loaded machine's threads.
      setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
      for (const auto& [name, value] : env) setenv(name, value, 1);
      execl("/bin/bash", "bash", script.c_str(), "--start", test::kProductDir.c_str(),
            world.c_str(), nullptr);
      _exit(96);
    }
    RunOutcome run;
    if (pid <= 0) return run;
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 600 && ended == 0; ++i) {
      ended = waitpid(pid, &status, WNOHANG);
      if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (ended == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "the run did not quit by itself";
    } else if (WIFEXITED(status)) {
      run.exitCode = WEXITSTATUS(status);
    }
    run.records = test::ReadFileText(messages);
    return run;
  }
  bool StoreSavedAtExit() {
    struct stat s {};
    return stat(dir_.Path("registry").c_str(), &s) == 0 && s.st_mtime > 946684800;
  }
  std::string Store(const char* name) {
    const auto store = test::ReadStore(test::ReadBytes(dir_.Path("registry")).value_or(""));
    const auto found = store.find(kStoreKey + "|" + name);
    return found == store.end() ? "" : found->second;
  }
  // Checks the records and the capture of a run on the small sample world.
  void ExpectWorldShown(const RunOutcome& run) {
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.records.find("\nError"), std::string::npos) << run.records;
    std::size_t at = 0;
    for (const char* line : {"> begin 'parse' session", "> end 'parse' session",
                             "> begin 'compile' session", "> end 'compile' session",
                             "> begin 'render' session", "> end 'render' session"}) {
      at = run.records.find(line, at);
      ASSERT_NE(at, std::string::npos) << line << "\n" << run.records;
    }
    PngPixels pixels;
    std::uint32_t w = 0, h = 0, channels = 0, rowBytes = 0;
    ASSERT_EQ(LoadPngFile(dir_.Path("shot.png").c_str(), pixels, w, h, channels, rowBytes), 1u);
    ASSERT_EQ(w * 10000 + h, 1024u * 10000 + 768);
    // Rows from the top: the menu bar holds the top 112.
    const auto pixel = [&](std::uint32_t x, std::uint32_t y) {
      const std::uint8_t* p = pixels.get() + y * rowBytes + x * channels;
      return std::vector<int>{p[0], p[1], p[2]};
    };
    // The menu bar's grey-blue where no button lies (between "Setup" and "More").
    for (const auto& [x, y] : {std::pair{600u, 60u}, {700u, 30u}, {800u, 90u}}) {
      const std::vector<int> p = pixel(x, y);
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], (std::vector<int>{113, 118, 143})[c], 6);
    }
    // The world: not one colour; its top (sky) differs from its bottom (ground or water).
    const std::vector<int> top = pixel(512, 130), bottom = pixel(512, 740);
    int difference = 0;
    for (int c = 0; c < 3; ++c) difference += std::abs(top[c] - bottom[c]);
    EXPECT_GT(difference, 60) << top[0] << "," << top[1] << "," << top[2];
    EXPECT_GT(top[2], top[0] + 50);  // a blue sky
    EXPECT_TRUE(StoreSavedAtExit());
  }
  test::TempDir dir_{"veskor_run"};
  bool firstLaunch_ = false;
};

TEST_F(RunCommand, ShowsTheSmallSampleWorldThenQuits) {
  ExpectWorldShown(Start(test::kSourceDir + "examples/lagoon.wld", {}));
}

TEST_F(RunCommand, ShowsTheSmallSampleWorldWithoutTheCompatibilityLayer) {
  ExpectWorldShown(Start(test::kSourceDir + "examples/lagoon.wld", {{"VESKOR_GL_COMPAT", "0"}}));
}

TEST_F(RunCommand, ABrokenWorldIsNamedWhereItIsWrongAndNotRendered) {
  const std::string world = dir_.Write("broken.wld",
                                       "#version \"1.0\"\nInfo { title(\"Broken\") }\n"
                                       "Model m { Edge { [0 0 0] [0 0 1] }\n"
                                       "HeightField h { BBox { [0 0 0] [1 1 1] } }\n");
  const RunOutcome run = Start(world, {});
  EXPECT_EQ(run.exitCode, 2);  // an unattended run tells of the failure by its status
  EXPECT_NE(run.records.find("Syntax error file (broken.wld) line (4) : Edge expected"),
            std::string::npos)
      << run.records;
  EXPECT_EQ(run.records.find("> begin 'render' session"), std::string::npos);
  EXPECT_EQ(run.records.find("\nError"), std::string::npos);
}

class FirstLaunch : public RunCommand {
 protected:
  void SetUp() override {
    firstLaunch_ = true;
    RunCommand::SetUp();
  }
};

TEST_F(FirstLaunch, AnsweredNoEndsAfterTheBoardWarningAndIsOver) {
  const RunOutcome run = Start(test::kSourceDir + "examples/lagoon.wld", {{"VESKOR_ANSWER", "no"}});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.records.rfind("Warning, Errors or visual failures can occur !", 0), 0u)
      << run.records;
  EXPECT_EQ(run.records.find("> begin 'parse' session"), std::string::npos);
  EXPECT_EQ(Store("FirstLaunch"), "FALSE");
}

}  // namespace
}  // namespace veskor
