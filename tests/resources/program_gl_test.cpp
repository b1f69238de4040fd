// The program on the product tree: its window icon as the window reads it, and a whole run
// under the X server on a store from the store writer, ended by closing the window once its
// world is shown.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/window_icon.h"
#include "resources/resource_test_support.h"
#include "support/own_x_server.h"
#include "support/stand_in_zenity.h"
#include "support/temp_dir.h"

namespace veskor {
namespace {

TEST(Program, ReadsTheProductsWindowIcon) {
  WindowIcon icon{};
  ASSERT_EQ(ReadWindowIcon((test::kProductDir + "wld Final.ico").c_str(), &icon), 1u);
  auto pixel = [&](int x, int y) {
    const std::uint8_t* p = icon.rgba + (y * 16 + x) * 4;
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," +
           std::to_string(p[3]);
  };
  // The tool's picture: a sun at (10.5, 5.5), a hill below, rounded transparent corners.
  EXPECT_EQ(pixel(10, 5), "255,236,180,255");
  EXPECT_EQ(pixel(8, 12), "46,58,84,255");
  EXPECT_EQ(icon.rgba[3], 0);
}

TEST(Program, RunsOnTheResourceKitUntilItsWindowIsClosed) {
  test::TempDir dir("veskor_program");
  const std::string world = test::kSourceDir + "examples/lagoon.wld";
  ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
  const std::string messages = dir.Path("messages");
  // In sanitizer builds: what the GL tests' leak checker also leaves to the system libraries
  // (the bus connection of SDL's video start, Mesa's buffers of multisampled windows).
  const std::string suppressions =
      "suppressions=" + dir.Write("leaks.supp", "leak:libdbus-1.so\nleak:swrast_dri.so\n");
  const pid_t pid = fork();
  if (pid == 0) {
    // From the product directory, whose icon the window takes, as an installation runs.
    if (chdir(test::kProductDir.c_str()) != 0) _exit(97);
    setenv("VESKOR_REGISTRY", dir.Path("registry").c_str(), 1);
    setenv("VESKOR_MESSAGES", messages.c_str(), 1);
    setenv("VESKOR_ANSWER", "yes", 1);
    setenv("LSAN_OPTIONS", suppressions.c_str(), 1);
    execl("./veskor", "veskor", world.c_str(), nullptr);
    _exit(96);
  }
  ASSERT_GT(pid, 0);
  // The first launch's board warning comes once the window is up; then the world is prepared,
  // which a quit signal would find busy (docs/signals.md), and frames run: the window closes
  // once the first frame's time is recorded. A run that neither gets there nor ends within
  // the guard's time (well within the test's own) is killed.
  int status = 0;
  pid_t ended = 0;
  for (int i = 0; i < 2000 && ended == 0; ++i) {
    if (test::ReadFileText(messages).find("Timing [none] first frame") != std::string::npos) break;
    ended = waitpid(pid, &status, WNOHANG);
    if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (ended == 0 &&
      test::ReadFileText(messages).find("Timing [none] first frame") == std::string::npos) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "no first frame within 200 s\n" << test::ReadFileText(messages);
  }
  ASSERT_EQ(ended, 0) << "the run ended before its window was closed, with status " << status
                      << "\n" << test::ReadFileText(messages);
  kill(pid, SIGTERM);  // the window system's close: a quit event
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(test::ReadFileText(messages).rfind("Warning, Errors or visual failures can occur !", 0),
            0u);
  // Saved at the exit: the first launch is over, the window was centred on the 1280 x 1024
  // screen, whose size became the full-screen size.
  const auto store = test::ReadStore(test::ReadBytes(dir.Path("registry")).value_or(""));
  const std::string key = "Software\\Dovek software\\veskor";
  EXPECT_EQ(store.at(key + "|FirstLaunch") + " " + store.at(key + "\\Settings|XPos") + " " +
                store.at(key + "\\Settings|YPos") + " " +
                store.at(key + "\\Settings|FullScreenSize"),
            "FALSE 128 128 1280x1024");
}

// Unattended: the first launch's warning answered, the welcome run to its end, then the quit
// choice 20 frames later with that frame captured; the settings saved on the way out.
TEST(Program, AnAutomaticRunQuitsAfterTheWelcomeWithItsLastFrame) {
  test::TempDir dir("veskor_program");
  ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
  const std::string messages = dir.Path("messages"), shot = dir.Path("shot.png");
  const std::string suppressions =
      "suppressions=" + dir.Write("leaks.supp", "leak:libdbus-1.so\nleak:swrast_dri.so\n");
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(test::kProductDir.c_str()) != 0) _exit(97);
    setenv("VESKOR_REGISTRY", dir.Path("registry").c_str(), 1);
    setenv("VESKOR_MESSAGES", messages.c_str(), 1);
    setenv("VESKOR_ANSWER", "yes", 1);
    setenv("VESKOR_AUTOQUIT", "20", 1);
    setenv("VESKOR_CAPTURE", shot.c_str(), 1);
    setenv("LSAN_OPTIONS", suppressions.c_str(), 1);
    execl("./veskor", "veskor", nullptr);
    _exit(96);
  }
  ASSERT_GT(pid, 0);
  int status = 0;
  pid_t ended = 0;
  for (int i = 0; i < 600 && ended == 0; ++i) {  // a minute at most
    ended = waitpid(pid, &status, WNOHANG);
    if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (ended == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the run did not quit by itself";
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string records = test::ReadFileText(messages);
  EXPECT_EQ(records.rfind("Warning, Errors or visual failures can occur !", 0), 0u);
  EXPECT_EQ(records.find("\nError"), std::string::npos) << records;  // no "Error" box
  // The window's size, as the store gives it.
  const auto png = test::ReadBytes(shot).value_or("");
  ASSERT_GE(png.size(), 24u);
  const auto be32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<std::uint8_t>(png[at + i]);
    return v;
  };
  EXPECT_EQ(be32(16) * 10000 + be32(20), 1024u * 10000 + 768);
  const auto store = test::ReadStore(test::ReadBytes(dir.Path("registry")).value_or(""));
  EXPECT_EQ(store.at("Software\\Dovek software\\veskor|FirstLaunch"), "FALSE");
}

// A first launch with its boxes shown (a zenity stand-in, no VESKOR_MESSAGES): SIGTERM while
// the board warning is open closes the box with the run, which ends as a close and asks again
// at the next launch; a warning answered Yes ends the first launch, whatever ends the run. A
// warning that zenity itself cannot show (told to show it on a Wayland display that is not
// there, it ends 1, as its No would) is no answer: the run ends at once with status 6, the
// warning's text and the reason on stderr, and asks again at the next launch. So does one that
// the run on SDL's offscreen video driver cannot show: with no display named, SDL's box, which
// has none to be shown on either and is not started; with a display where no server is, our
// zenity. (Such a run's end in a sanitizer build is not leak-checked: the start-up's probe
// loads Mesa's EGL and unloads it, and what that leaves allocated comes from a library no
// longer there, which no suppression can name; the checker would end the run with its own
// status, 1, in place of the run's 6.) The start's Error box, before the window (no store),
// closes at SIGTERM too: its text on stderr, the run ends as the box's OK ends it, with 1.
TEST(Program, AFirstLaunchQuestionClosedByAQuitSignalIsAskedAgain) {
  const std::string path = std::getenv("PATH");
  const std::string caption = "Warning, Errors or visual failures can occur !";
  const struct {
    const char* name;
    bool answered;
    bool noStore;  // the box open is the start's Error box
  } cases[] = {{"not answered", false, false},
               {"answered Yes", true, false},
               {"no store: the start's Error box", false, true}};
  for (const auto& [what, answered, noStore] : cases) {
    SCOPED_TRACE(what);
    test::TempDir dir("veskor_program");
    ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
    if (noStore) {
      ASSERT_EQ(std::remove(dir.Path("registry").c_str()), 0);
    }
    const std::string suppressions =
        "suppressions=" + dir.Write("leaks.supp", "leak:libdbus-1.so\nleak:swrast_dri.so\n");
    const test::StandInZenity zenity(answered ? "0" : "wait");
    // First, the same question unshown: zenity's own, then on SDL's offscreen video.
    const char* const zenitys = "zenity ended with status 1, which is none of its answers";
    const struct {
      std::vector<std::pair<const char*, const char*>> env;  // a null value unsets
      const char* why;
    } unshown[] = {
        {{{"GDK_BACKEND", "wayland"}, {"WAYLAND_DISPLAY", "veskor-no-such-display"}}, zenitys},
        {{{"SDL_VIDEODRIVER", "offscreen"},
          {"DISPLAY", nullptr},
          {"WAYLAND_DISPLAY", nullptr},
          {"ASAN_OPTIONS", "detect_leaks=0"}},
         "no display is named (DISPLAY, WAYLAND_DISPLAY), and SDL's box gave no answer"},
        {{{"SDL_VIDEODRIVER", "offscreen"},
          {"DISPLAY", ":4242"},
          {"WAYLAND_DISPLAY", nullptr},
          {"ASAN_OPTIONS", "detect_leaks=0"}},
         zenitys}};
    for (const auto& u : answered || noStore ? std::span(unshown, 0) : std::span(unshown)) {
      SCOPED_TRACE(std::string(u.env.front().second) + " " +
                   (u.env[1].second != nullptr ? u.env[1].second : "(unset)"));
      const pid_t pid = fork();
      if (pid == 0) {
        const int err = open(dir.Path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err < 0 || dup2(err, STDERR_FILENO) < 0 || chdir(test::kProductDir.c_str()) != 0)
          _exit(97);
        setenv("VESKOR_REGISTRY", dir.Path("registry").c_str(), 1);
        setenv("LSAN_OPTIONS", suppressions.c_str(), 1);
        setenv("PATH", path.c_str(), 1);
        for (const auto& [name, value] : u.env) {
          if (value != nullptr) {
            setenv(name, value, 1);
          } else {
            unsetenv(name);
          }
        }
        execl("./veskor", "veskor", nullptr);
        _exit(96);
      }
      int status = 0;
      pid_t ended = 0;
      for (int i = 0; i < 600 && ended == 0; ++i) {  // a minute at most: a run that asks nothing
        ended = waitpid(pid, &status, WNOHANG);       // goes on to its frames
        if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "still running after a minute";
      }
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 6) << status;
      const std::string said = test::ReadBytes(dir.Path("stderr")).value_or("");
      EXPECT_NE(said.find("veskor: cannot show the box \"" + caption + "\": " + u.why + "\n" +
                          caption + " [exclamation] veskor was not tested on your 3D board:\n"),
                std::string::npos)
          << said;
      const auto store = test::ReadStore(test::ReadBytes(dir.Path("registry")).value_or(""));
      EXPECT_EQ(store.at("Software\\Dovek software\\veskor|FirstLaunch"), "TRUE");
    }
    const pid_t pid = fork();
    if (pid == 0) {
      const int err = open(dir.Path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (err < 0 || dup2(err, STDERR_FILENO) < 0 || chdir(test::kProductDir.c_str()) != 0)
        _exit(97);
      setenv("VESKOR_REGISTRY", dir.Path("registry").c_str(), 1);
      setenv("LSAN_OPTIONS", suppressions.c_str(), 1);
      execl("./veskor", "veskor", nullptr);
      _exit(96);
    }
    ASSERT_GT(pid, 0);
    const pid_t box = zenity.WaitForStart();
    // Answered, the run goes on to its frames; not, the box stays open.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_NE(box, 0);
    EXPECT_TRUE(test::ProcessGone(box));
    if (!test::ProcessGone(box)) kill(box, SIGKILL);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), noStore ? 1 : 0);
    const std::string said = test::ReadFileText(dir.Path("stderr"));
    EXPECT_EQ(said.find("Error : Init. Main Plane [stop] Registry -> Directories !\n") !=
                  std::string::npos,
              noStore)
        << said;
    if (noStore) continue;  // no window: no first launch to end
    EXPECT_EQ(zenity.Args().rfind("--question\n--title=Warning, Errors or visual failures", 0),
              0u);
    const auto store = test::ReadStore(test::ReadBytes(dir.Path("registry")).value_or(""));
    EXPECT_EQ(store.at("Software\\Dovek software\\veskor|FirstLaunch"),
              answered ? "FALSE" : "TRUE");
  }
}

// As a user whose limit of processes (`ulimit -u`, which counts threads too) leaves the run
// fewer threads than it starts: each thread that cannot be started (the quit signals' watch,
// the software renderer's drawing threads, one a processor of the three given it or as many as
// LP_NUM_THREADS asks for, the sound's) is said with the reason, and the run goes on to its
// usual end, its frame captured and its store saved; each bound from both sides, and under the
// suite's own limit nothing is said. The user is the test process's own (its pid in a range no
// account takes), whose processes no other test starts, nor a run of the suite at the same
// time. What the run reads is in the user's folder, reached by relative names: a copy of the
// product tree and the sample worlds, the user's own installation (the way down to the folder,
// the build or the checkout may be closed to the user, as in root's home). The X server is the
// test's own, which takes any local client. The alarm ends a run that hangs.
TEST(Program, AThreadThatCannotStartIsSaidAndTheRunGoesOn) {
  if (geteuid() != 0) GTEST_SKIP() << "no user of the test's own to limit: not root";
  const uid_t kUser = 0x7F000000 + static_cast<uid_t>(getpid());
  const test::OwnXServer server;
  ASSERT_NE(server.display(), "") << "no X server of the test's own";
  test::TempDir dir("veskor_program");
  namespace fs = std::filesystem;
  fs::copy(test::kProductDir, dir.Path("product"), fs::copy_options::recursive);
  fs::copy(test::kSourceDir + "examples", dir.Path("examples"), fs::copy_options::recursive);
  ASSERT_EQ(test::RunProgram({VESKOR_WRITE_SETTINGS_STORE, "--product", dir.Path("product"),
                              "--working", dir.Path("examples"), "--store", dir.Path("registry"),
                              "--binary", dir.Path("user")}),
            0);
  // The store's directories named from the folder.
  std::string store = test::ReadFileText(dir.Path("registry"));
  for (const char* name : {"VeskorDir", "BinaryDir", "SystemDir", "ResourceDir", "WorkingDir"}) {
    const std::string value = "\"" + std::string(name) + "\"=\"" + dir.path();
    ASSERT_NE(store.find(value), std::string::npos) << store;
    store.erase(store.find(value) + value.size() - dir.path().size(), dir.path().size());
  }
  dir.Write("registry", store);
  dir.Write("still.wld", "#version \"1.0\"\nInfo { title(\"Still\") }\n");
  ASSERT_EQ(chown(dir.path().c_str(), kUser, kUser), 0);
  for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
    ASSERT_EQ(lchown(entry.path().c_str(), kUser, kUser), 0) << entry.path();
  cpu_set_t usable, given;
  ASSERT_EQ(sched_getaffinity(0, sizeof usable, &usable), 0);
  CPU_ZERO(&given);
  for (int cpu = 0; cpu < CPU_SETSIZE && CPU_COUNT(&given) < 3; ++cpu)
    if (CPU_ISSET(cpu, &usable)) CPU_SET(cpu, &given);
  const rlim_t drawing = CPU_COUNT(&given) > 1 ? CPU_COUNT(&given) : 0;
  for (const rlim_t limit : {rlim_t{1}, rlim_t{2}, 1 + drawing, 2 + drawing, RLIM_INFINITY}) {
    SCOPED_TRACE("a limit of " + std::to_string(limit));
    const rlim_t threads = limit == 1 ? 5 : drawing;  // the first asks for 5 (LP_NUM_THREADS)
    std::filesystem::remove(dir.Path("shot.png"));
    std::filesystem::remove(dir.Path("messages"));
    const utimbuf old{946684800, 946684800};  // 2000-01-01: a save at the exit shows
    ASSERT_EQ(utime(dir.Path("registry").c_str(), &old), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      const int err = open(dir.Path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const rlimit processes{limit, limit};
      if (err < 0 || dup2(err, STDERR_FILENO) < 0 || chdir(dir.path().c_str()) != 0 ||
          sched_setaffinity(0, sizeof given, &given) != 0 ||
          (limit != RLIM_INFINITY && setrlimit(RLIMIT_NPROC, &processes) != 0) ||
          setgroups(0, nullptr) != 0 || setresgid(kUser, kUser, kUser) != 0 ||
          setresuid(kUser, kUser, kUser) != 0)
        _exit(97);
      setenv("DISPLAY", server.display().c_str(), 1);
      // ASAN_OPTIONS: the leak check's own thread would not start.
      for (const char* set : {"VESKOR_REGISTRY=registry", "VESKOR_MESSAGES=messages",
                              "VESKOR_ANSWER=yes", "VESKOR_AUTOQUIT=5", "VESKOR_CAPTURE=shot.png",
                              "ALSOFT_DRIVERS=null", "ASAN_OPTIONS=detect_leaks=0"})
        putenv(const_cast<char*>(set));
      if (threads == drawing) unsetenv("LP_NUM_THREADS");
      if (threads != drawing) setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
      alarm(120);
      execl("product/veskor", "veskor", "still.wld", nullptr);
      _exit(96);
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    const std::string said = test::ReadFileText(dir.Path("stderr"));
    const std::string records = test::ReadFileText(dir.Path("messages"));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << said;
    std::string lines;  // what the run said of its threads
    for (auto at = said.find("veskor: cannot start "); at != std::string::npos;
         at = said.find("veskor: cannot start ", at + 1))
      lines += said.substr(at, said.find('\n', at) + 1 - at);
    // What it should have said, in the order it starts them. The sound's thread, started after
    // the renderer's others, may find no room left as well.
    const std::string reason = ": Resource temporarily unavailable\n";
    const rlim_t room = limit == RLIM_INFINITY ? 1000 : limit - 1;  // threads beside the run's
    const rlim_t started = std::min(threads, room - std::min<rlim_t>(room, 1));
    std::string expected =
        room == 0 ? "veskor: cannot start the watch of the quit signals" + reason : "";
    if (started < threads)
      expected += "veskor: cannot start " + std::to_string(threads - started) + " of the " +
                  std::to_string(threads) + " drawing threads of the software renderer" + reason;
    if (room == 0 || records.find("Sound will be disable") != std::string::npos)
      expected += "veskor: cannot start the sound's mixing thread" + reason;
    EXPECT_EQ(lines, expected) << said;
    EXPECT_NE(records.find("> end 'render' session\n"), std::string::npos) << records;
    EXPECT_TRUE(test::ReadFileText(dir.Path("shot.png")).starts_with("\x89PNG\r\n\x1a\n"));
    struct stat st {};
    EXPECT_TRUE(stat(dir.Path("registry").c_str(), &st) == 0 && st.st_mtime > 946684800);
  }
}

// The store is looked at by stat before it is opened; a FIFO that takes its place between the
// two (put there by the shim as the open comes) must not hold the start for ever, waiting for a
// writer: the open does not wait, the start ends as without a store (status 1), and stderr
// names the store a FIFO. One that is there for that open only (the file put back as soon as
// the open returns) is refused all the same, as what the read opened, in the same words; so is
// a pipe that the store's descriptor is on for that open only (VESKOR_REGISTRY=/dev/fd/7).
TEST(Program, AFifoOrAPipeInTheStoresPlaceAtItsOpenEndsTheStart) {
  const struct {
    const char* race;  // the shim's variable
    bool back;         // the file back in its place after the open
    const char* kind;
  } cases[] = {{"VESKOR_TEST_RACE_FIFO", false, "a FIFO"},
               {"VESKOR_TEST_RACE_FIFO", true, "a FIFO"},
               {"VESKOR_TEST_RACE_PIPE", true, "a pipe"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.race) + (c.back ? ", the file put back after the open" : ""));
    const bool fifo = std::string(c.race) == "VESKOR_TEST_RACE_FIFO";
    test::TempDir dir("veskor_program");
    ASSERT_EQ(test::RunProgram(test::StoreWriterArgs(dir.path())), 0);
    const std::string file = dir.Path("registry"), messages = dir.Path("messages");
    const std::string store = fifo ? file : "/dev/fd/7";
    const std::string written = test::ReadFileText(file);
    const std::string suppressions =
        "suppressions=" + dir.Write("leaks.supp", "leak:libdbus-1.so\nleak:swrast_dri.so\n");
    const char* options = std::getenv("ASAN_OPTIONS");
    const std::string checked =
        std::string(options != nullptr ? options : "") + ":verify_asan_link_order=0";
    const pid_t pid = fork();
    if (pid == 0) {
      const int err = open(dir.Path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (err < 0 || dup2(err, STDERR_FILENO) < 0 || chdir(test::kProductDir.c_str()) != 0)
        _exit(97);
      if (!fifo && dup2(open(file.c_str(), O_RDWR), 7) != 7) _exit(98);  // `7<> registry`
      setenv("VESKOR_REGISTRY", store.c_str(), 1);
      setenv("VESKOR_MESSAGES", messages.c_str(), 1);
      setenv("LSAN_OPTIONS", suppressions.c_str(), 1);
      setenv("ASAN_OPTIONS", checked.c_str(), 1);  // the shim comes first
      setenv("LD_PRELOAD", VESKOR_STORE_RACE_SHIM, 1);
      setenv(c.race, store.c_str(), 1);
      if (c.back) setenv("VESKOR_TEST_RACE_BACK", "1", 1);
      execl("./veskor", "veskor", nullptr);
      _exit(96);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 300 && ended == 0; ++i) {  // half a minute at most
      ended = waitpid(pid, &status, WNOHANG);
      if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (ended == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "the start waits on the FIFO";
      continue;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    const std::string said = test::ReadFileText(dir.Path("stderr"));
    EXPECT_EQ(said.substr(0, said.find('\n') + 1),
              c.back ? "veskor: cannot read the settings store " + store + ": it is " + c.kind +
                           ", not a regular file\n"
                     : "veskor: the settings store " + store + " is " + c.kind +
                           ", not a regular file\n");
    EXPECT_EQ(test::ReadFileText(messages),
              "Error : Init. Main Plane [stop] Registry -> Directories !\n");
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(S_ISFIFO(st.st_mode), !c.back);
    EXPECT_EQ(test::ReadFileText(c.back ? file : file + ".aside"), written);  // read, not changed
  }
}

}  // namespace
}  // namespace veskor
