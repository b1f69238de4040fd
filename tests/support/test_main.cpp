// Test main for every suite: message boxes go to stderr in headless mode (they would block
// forever under Xvfb), and death tests re-run the binary so the global objects start fresh.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("VESKOR_MESSAGES", "-", 1);
  setenv("VESKOR_ANSWER", "yes", 0);
  setenv("ALSOFT_DRIVERS", "null", 0);
  testing::InitGoogleTest(&argc, argv);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  return RUN_ALL_TESTS();
}
