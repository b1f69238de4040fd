// The whole program on each sample world through its automation mode, as the run command
// starts it: from the product directory, on a fresh store (first launch over). Reported, per
// world: the time from the process start to the world's first frame and the render session's
// time (both from the program's own timing records), and the frame rate over 100 frames,
// from the difference of the wall times of a run that quits 101 frames after the world is
// ready and one that quits after 1. Needs a display (run it under xvfb-run); LP_NUM_THREADS is
// pinned to 2 unless set.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

const char* const kWorlds[] = {"lagoon.wld", "highlands.wld", "ruins.wld"};

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

double Record(const std::string& records, const char* what) {
  std::smatch m;
  const std::regex re(std::string("Timing \\[none\\] ") + what + " ([0-9.]+) s");
  return std::regex_search(records, m, re) ? std::stod(m[1]) : -1;
}

// One run quitting `frames` frames after the world is ready; its wall time in seconds, -1 on
// failure.
double RunProgram(const std::string& dir, const std::string& world, int frames) {
  const std::string quit = std::to_string(frames);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(VESKOR_PRODUCT_DIR) != 0) _exit(97);
    setenv("VESKOR_REGISTRY", (dir + "/registry").c_str(), 1);
    setenv("VESKOR_MESSAGES", (dir + "/messages").c_str(), 1);
    setenv("VESKOR_ANSWER", "yes", 1);
    setenv("VESKOR_AUTOQUIT", quit.c_str(), 1);
    setenv("ALSOFT_DRIVERS", "null", 1);
    setenv("LP_NUM_THREADS", "2", 0);
    execl("./veskor", "veskor", world.c_str(), nullptr);
    _exit(96);
  }
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0)
    return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void ProgramOnASampleWorld(benchmark::State& state) {
  if (std::getenv("DISPLAY") == nullptr) {
    state.SkipWithError("needs a display");
    return;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") +
                        "/veskor_program_bench_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  const std::string dir = pattern;
  const std::string world = std::string(VESKOR_EXAMPLES) + kWorlds[state.range(0)];
  const std::string writer = std::string(VESKOR_WRITE_SETTINGS_STORE) + " --product " +
                             VESKOR_PRODUCT_DIR + " --working " + VESKOR_EXAMPLES + " --store " +
                             dir + "/registry --binary " + dir + "/user >/dev/null";
  if (std::system(writer.c_str()) != 0) {
    state.SkipWithError("the store writer failed");
    return;
  }
  // The first launch over, as after an earlier run.
  std::string store = ReadText(dir + "/registry");
  store.replace(store.find("\"FirstLaunch\"=\"TRUE\""), 20, "\"FirstLaunch\"=\"FALSE\"");
  std::ofstream(dir + "/registry") << store;
  double firstFrame = 0, session = 0, fps = 0;
  for (auto _ : state) {
    const double one = RunProgram(dir, world, 1);
    const std::string records = ReadText(dir + "/messages");
    std::remove((dir + "/messages").c_str());
    const double hundredOne = RunProgram(dir, world, 101);
    if (one < 0 || hundredOne < 0) {
      state.SkipWithError("the program failed");
      break;
    }
    state.SetIterationTime(one);
    firstFrame = Record(records, "first frame");
    session = Record(records, "render session");
    fps = hundredOne > one ? 100 / (hundredOne - one) : 0;
  }
  state.counters["first_frame_s"] = firstFrame;
  state.counters["render_session_s"] = session;
  state.counters["fps_1024x768"] = fps;
  state.SetLabel(kWorlds[state.range(0)]);
  std::system(("rm -rf " + dir).c_str());
}
BENCHMARK(ProgramOnASampleWorld)
    ->DenseRange(0, 2)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
