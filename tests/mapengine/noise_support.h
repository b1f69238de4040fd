// For the noise tests and benchmarks: a scope that fills the program's kernel table and puts
// it back afterwards.
#pragma once

#include "mapengine/kernel_table.h"

namespace veskor::test {

// Fills gKernelTable as the program does (the noise tables and 1-D fills call the layout and
// raster entries through it); puts the table back as it was at the end of the scope.
class ScopedNoiseKernels {
 public:
  ScopedNoiseKernels() : saved_(gKernelTable) { InitKernelTable(); }
  ~ScopedNoiseKernels() { gKernelTable = saved_; }
  ScopedNoiseKernels(const ScopedNoiseKernels&) = delete;
  ScopedNoiseKernels& operator=(const ScopedNoiseKernels&) = delete;

 private:
  KernelTable saved_;
};

}  // namespace veskor::test
