// Helpers for tests of fatal errors and of the memory manager.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "foundation/heap_areas.h"

namespace veskor::test {

// A regular expression matching the headless record of the "Error" box showing exactly `text`.
std::string FatalRecordRegex(std::string_view text);

// Runs the code below on a fresh memory manager of its own, and gives its address space back
// at the end of the scope. Lets tests see exact list and page counts.
class ScopedHeapAreas {
 public:
  ScopedHeapAreas();
  ~ScopedHeapAreas();
  ScopedHeapAreas(const ScopedHeapAreas&) = delete;
  ScopedHeapAreas& operator=(const ScopedHeapAreas&) = delete;
  HeapAreas& heap() { return heap_; }

 private:
  HeapAreas heap_{};
  HeapAreas* saved_;
};

}  // namespace veskor::test

// The statement ends the process through FatalError with exactly `text` and exit code 1.
#define EXPECT_FATAL(statement, text) \
  EXPECT_EXIT(statement, ::testing::ExitedWithCode(1), ::veskor::test::FatalRecordRegex(text))
