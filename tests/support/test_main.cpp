// Test main for every suite: message boxes go to stderr in headless mode (they would block
// forever under Xvfb), and death tests re-run the binary so the global objects start fresh.
//
// Before any test runs, the process gets a private scratch folder under $TMPDIR and its HOME,
// XDG_CONFIG_HOME, XDG_DATA_HOME, VESKOR_REGISTRY and TMPDIR all point into it, so that no test
// reaches a user's settings store, bookmarks or files, whatever it forgets to set. The folder
// goes when the process ends; a death test's child re-runs this main and inherits the folder,
// so what such a child leaves (it ends without running destructors) goes with it too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kScratchVariable = "VESKOR_TEST_SCRATCH";

std::string gScratch;  // made by this process: removed at its end
pid_t gScratchOwner = 0;

void RemoveScratch() {
  if (gScratch.empty() || ::getpid() != gScratchOwner) return;
  std::error_code ignored;
  std::filesystem::remove_all(gScratch, ignored);
}

void EnterScratch() {
  if (const char* inherited = std::getenv(kScratchVariable); inherited != nullptr) return;
  std::error_code error;
  std::string pattern = (std::filesystem::temp_directory_path(error) / "veskor-test_").string();
  pattern += "XXXXXX";
  if (error || ::mkdtemp(pattern.data()) == nullptr) {
    std::fprintf(stderr, "test main: cannot create a scratch folder %s\n", pattern.c_str());
    std::exit(1);
  }
  gScratch = pattern;
  gScratchOwner = ::getpid();
  std::atexit(RemoveScratch);
  for (const char* sub : {"/home", "/config", "/data", "/tmp"})
    std::filesystem::create_directory(gScratch + sub, error);
  setenv(kScratchVariable, gScratch.c_str(), 1);
  setenv("HOME", (gScratch + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (gScratch + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (gScratch + "/data").c_str(), 1);
  setenv("VESKOR_REGISTRY", (gScratch + "/config/veskor/registry").c_str(), 1);
  setenv("TMPDIR", (gScratch + "/tmp").c_str(), 1);
}

}  // namespace

// The leak checker of sanitizer builds: SDL's video start opens a bus connection whose
// buffer libdbus keeps for the whole process, and Mesa keeps a buffer of every multisampled
// window it has drawn for. Here, in every binary's main object, rather than beside the GL
// fixture: a binary whose tests open windows only in child processes uses no fixture.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\nleak:swrast_dri.so\n";
}

int main(int argc, char** argv) {
  EnterScratch();
  setenv("VESKOR_MESSAGES", "-", 1);
  setenv("VESKOR_ANSWER", "yes", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  return RUN_ALL_TESTS();
}
