// The leak check at the end of a process of the GL layer, in sanitizer builds, over the dynamic
// TLS of a module opened after the start (as the driver's libraries are): run on the TLS block
// probe (tls_block_probe.cpp).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/temp_dir.h"

namespace veskor {
namespace {

// The probe's exit status (-1 when it did not exit) and its stderr.
struct ProbeEnd {
  int status = -1;
  std::string errors;
};

ProbeEnd RunProbe(const char* mode) {
  test::TempDir dir("veskor_tls_probe");
  const std::string errors = dir.Path("errors");
  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || dup2(fd, 2) != 2) _exit(95);
    // Whatever the suite's run gives: the check on, and no quarantine (a freed block is the
    // next one handed out).
    setenv("ASAN_OPTIONS", "detect_leaks=1:quarantine_size_mb=0:thread_local_quarantine_size_kb=0",
           1);
    unsetenv("LSAN_OPTIONS");
    execl(VESKOR_TLS_BLOCK_PROBE, "tls_block_probe", VESKOR_TLS_BLOCK_MODULE, mode, nullptr);
    _exit(96);
  }
  ProbeEnd end;
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    end.status = WEXITSTATUS(status);
  end.errors = test::ReadFileText(errors);
  return end;
}

TEST(GlProcessEnd, TheLeakCheckReadsDynamicTlsWhereverItsBlockLies) {
#if !defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the leak check of sanitizer builds";
#endif
  // The block starting 16 bytes into a page once failed the check ("Tracer caught signal 11":
  // it read the 16 bytes before the block as a start and size). What the block holds stays
  // reachable; blocks with no pointer to them are still leaks (the check's status is 1).
  const struct {
    const char* mode;
    int status;
    const char* told;  // on stderr; "" for nothing
  } cases[] = {{"page-start", 0, ""}, {"holding", 0, ""}, {"leak", 1, "detected memory leaks"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    const ProbeEnd end = RunProbe(c.mode);
    EXPECT_EQ(end.status, c.status) << end.errors;
    if (c.told[0] == '\0') {
      EXPECT_EQ(end.errors, "");
    } else {
      EXPECT_NE(end.errors.find(c.told), std::string::npos) << end.errors;
    }
  }
}

}  // namespace
}  // namespace veskor
