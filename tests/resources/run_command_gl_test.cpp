// The whole program end to end, started as the README's run command starts it: the start step
// of scripts/run pointed at the tree under test, under the X server with headless message
// boxes, on a fresh store, quitting by itself a few frames after its first world is shown.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/png_reader.h"
#include "resources/resource_test_support.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

const std::string kStoreKey = "Software\\Dovek software\\veskor";

// An X server of the test's own, on the first free display number, that the test can stop.
class OwnXServer {
 public:
  OwnXServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const int null = open("/dev/null", O_WRONLY);
      if (null < 0 || dup2(null, 1) != 1 || dup2(null, 2) != 2) _exit(95);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", nullptr);
      _exit(96);
    }
    close(fds[1]);
    // The server writes its display number once it takes connections.
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    char c = 0;
    while (pid_ > 0 && poll(&ready, 1, 20000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
      number += c;
    close(fds[0]);
    if (c == '\n' && !number.empty()) display_ = ":" + number;
  }
  ~OwnXServer() { Stop(); }
  OwnXServer(const OwnXServer&) = delete;
  OwnXServer& operator=(const OwnXServer&) = delete;
  // ":<n>", or "" when the server did not start.
  const std::string& display() const { return display_; }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

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
  // `scripts/run --start <product> <world>` with the automation variables (`env` last), its
  // stderr to `errors` when one is named, its descriptor 3 on `third` when one is named (as
  // `3> third` opens it); the child's pid, or -1.
  pid_t Launch(const std::string& world,
               const std::vector<std::pair<const char*, const char*>>& env,
               const std::string& errors = "", const std::string& third = "") {
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
      if (!errors.empty()) {
        const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, 2) != 2) _exit(95);
      }
      if (!third.empty()) {
        const int fd = open(third.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, 3) != 3) _exit(95);
      }
      execl("/bin/bash", "bash", script.c_str(), "--start", test::kProductDir.c_str(),
            world.c_str(), nullptr);
      _exit(96);
    }
    return pid;
  }
  // Waits up to `tenths` tenths of a second for the child to end: its wait status, or nothing
  // when it was still running (it is then killed and reaped).
  static std::optional<int> AwaitEnd(pid_t pid, int tenths) {
    int status = 0;
    for (int i = 0; i < tenths; ++i) {
      if (waitpid(pid, &status, WNOHANG) == pid) return status;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (waitpid(pid, &status, WNOHANG) == pid) return status;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return std::nullopt;
  }
  // A run with the automation variables that quits by itself; a minute at most.
  RunOutcome Start(const std::string& world,
                   const std::vector<std::pair<const char*, const char*>>& env,
                   const std::string& third = "") {
    RunOutcome run;
    std::filesystem::remove(dir_.Path("messages"));
    const pid_t pid = Launch(world, env, "", third);
    if (pid <= 0) return run;
    const std::optional<int> status = AwaitEnd(pid, 600);
    if (!status) {
      ADD_FAILURE() << "the run did not quit by itself";
    } else if (WIFEXITED(*status)) {
      run.exitCode = WEXITSTATUS(*status);
    }
    run.records = test::ReadFileText(dir_.Path("messages"));
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

// Captured through a descriptor, as `VESKOR_CAPTURE=/dev/fd/3 veskor w.wld 3> shot.png` does:
// the file the shell opened holds exactly the image.
TEST_F(RunCommand, ShowsTheSmallSampleWorldThenQuits) {
  struct stat opened {}, written {};
  ASSERT_EQ(stat(dir_.Write("shot.png", "").c_str(), &opened), 0);
  ExpectWorldShown(Start(test::kSourceDir + "examples/lagoon.wld",
                         {{"VESKOR_CAPTURE", "/dev/fd/3"}}, dir_.Path("shot.png")));
  ASSERT_EQ(stat(dir_.Path("shot.png").c_str(), &written), 0);
  EXPECT_EQ(written.st_ino, opened.st_ino);
  const std::string png = test::ReadFileText(dir_.Path("shot.png"));
  const std::string signature("\x89PNG\r\n\x1a\n", 8);
  const std::string end("\0\0\0\0IEND\xae\x42\x60\x82", 12);  // an empty IEND chunk
  EXPECT_TRUE(png.starts_with(signature) && png.ends_with(end)) << png.size();
}

TEST_F(RunCommand, ShowsTheSmallSampleWorldWithoutTheCompatibilityLayer) {
  ExpectWorldShown(Start(test::kSourceDir + "examples/lagoon.wld", {{"VESKOR_GL_COMPAT", "0"}}));
}

TEST_F(RunCommand, ABrokenWorldIsNamedWhereItIsWrongAndNotRendered) {
  const std::string world = dir_.Write("broken.wld",
                                       "#version \"1.0\"\nInfo { title(\"Broken\") }\n"
                                       "Model m { Edge { [0 0 0] [0 0 1] }\n"
                                       "HeightField h { BBox { [0 0 0] [1 1 1] } }\n");
  // An unattended run tells of the failure by its status, and of a capture missing by its own,
  // which comes first.
  // the capture, the status, what the capture's record says after "cannot write <capture>: "
  const struct {
    std::string capture;
    int status;
    std::string reason;
  } cases[] = {{dir_.Path("shot.png"), 2, ""},
               {"/dev/full", 5, "No space left on device"},
               {dir_.Path("none/shot.png"), 5,
                "cannot make a file in " + dir_.Path("none") + ": No such file or directory"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.capture);
    const RunOutcome run = Start(world, {{"VESKOR_CAPTURE", c.capture.c_str()}});
    EXPECT_EQ(run.exitCode, c.status);
    EXPECT_NE(run.records.find("Syntax error file (broken.wld) line (4) : Edge expected"),
              std::string::npos)
        << run.records;
    EXPECT_EQ(run.records.find("> begin 'render' session"), std::string::npos);
    EXPECT_EQ(run.records.find("\nError"), std::string::npos);
    const std::string failed =
        "\nCapture [none] cannot write " + c.capture + ": " + c.reason + "\n";
    EXPECT_EQ(run.records.find(failed) != std::string::npos, !c.reason.empty()) << run.records;
  }
  EXPECT_EQ(test::ReadFileText(dir_.Path("shot.png")).substr(1, 3), "PNG");  // status 2's image
}

// The display goes away once the world is shown (its X server stopped): the run ends by
// itself, saying why, with the settings saved as at a window close and the store's other
// values kept.
TEST_F(RunCommand, LosingTheDisplayEndsTheRunWithTheStoreSaved) {
  std::string store = test::ReadFileText(dir_.Path("registry"));
  for (const auto& [from, to] :
       {std::pair{"\"TerrainTex\"=\"0.125\"", "\"TerrainTex\"=\"0.375\""},
        {"\"MultiSampleQuality\"=\"FASTEST\"", "\"MultiSampleQuality\"=\"NICEST\""}}) {
    const std::size_t at = store.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    store.replace(at, std::string(from).size(), to);
  }
  dir_.Write("registry", store);
  OwnXServer server;
  ASSERT_NE(server.display(), "") << "no X server of the test's own";
  const pid_t pid = Launch(
      test::kSourceDir + "examples/lagoon.wld",
      {{"DISPLAY", server.display().c_str()}, {"VESKOR_AUTOQUIT", ""}, {"VESKOR_CAPTURE", ""}},
      dir_.Path("stderr"));
  ASSERT_GT(pid, 0);
  // Shown: its first frame is timed. A run that ends before is not waited for.
  bool shown = false;
  for (int i = 0; i < 600 && !shown; ++i) {
    shown = test::ReadFileText(dir_.Path("messages")).find("Timing [none] first frame") !=
            std::string::npos;
    siginfo_t ended{};
    if (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        ended.si_pid == pid)
      break;
    if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  server.Stop();
  const std::optional<int> status = AwaitEnd(pid, 200);
  ASSERT_TRUE(shown) << test::ReadFileText(dir_.Path("messages"))
                     << test::ReadFileText(dir_.Path("stderr"));
  ASSERT_TRUE(status.has_value()) << "still running 20 s after the display went";
  ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
  EXPECT_EQ(WEXITSTATUS(*status), 3);  // the status README gives a lost display
  EXPECT_NE(test::ReadFileText(dir_.Path("stderr"))
                .find("veskor: the display was lost; the program ends\n"),
            std::string::npos)
      << test::ReadFileText(dir_.Path("stderr"));
  // Saved: Mesa has no multisample filter hint, so the quality goes back to FASTEST.
  const auto saved = test::ReadStore(test::ReadFileText(dir_.Path("registry")));
  const auto value = [&](const std::string& name) {
    const auto found = saved.find(kStoreKey + name);
    return found == saved.end() ? std::string("(none)") : found->second;
  };
  EXPECT_EQ(value("\\Settings|MultiSampleQuality"), "FASTEST");
  EXPECT_EQ(value("\\Settings|XSize") + " " + value("\\Settings|YSize"), "1024 768");
  EXPECT_EQ(value("|FirstLaunch"), "FALSE");
  EXPECT_EQ(value("\\RenderLOD|TerrainTex"), "0.375");
  EXPECT_EQ(value("\\RenderLOD|Overall"), "0.500");
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
    EXPECT_EQ(entry.path().filename().string().find(".veskor-tmp-"), std::string::npos)
        << entry.path();
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
  EXPECT_EQ(run.exitCode, 5);  // ended before its capture: the image asked for is missing
  EXPECT_EQ(run.records.rfind("Warning, Errors or visual failures can occur !", 0), 0u)
      << run.records;
  EXPECT_EQ(run.records.find("> begin 'parse' session"), std::string::npos);
  EXPECT_EQ(Store("FirstLaunch"), "FALSE");
}

}  // namespace
}  // namespace veskor
