// Helpers for kernel tests: the plain and SSE tables side by side, the table's entries as
// words, and float comparisons in units in the last place.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "mapengine/kernel_table.h"

namespace veskor::test {

// A plain and an SSE table filled once for the whole test binary.
struct KernelTables {
  KernelTable plain{};
  KernelTable sse{};
  KernelTables() {
    FillKernelTable(plain, false);
    FillKernelTable(sse, true);
  }
};
inline const KernelTables& Tables() {
  static const KernelTables tables;
  return tables;
}

inline std::array<std::uintptr_t, kKernelTableEntries> Entries(const KernelTable& table) {
  std::array<std::uintptr_t, kKernelTableEntries> words;
  std::memcpy(words.data(), &table, sizeof table);
  return words;
}

// The size of one unit in the last place of a float of magnitude |x| (the smallest subnormal
// step for 0).
inline double Ulp(double x) {
  const float f = static_cast<float>(std::fabs(x));
  if (!std::isfinite(f)) return INFINITY;
  return double{std::nextafter(f, INFINITY)} - double{f};
}

}  // namespace veskor::test

#include <algorithm>
#include <random>
#include <vector>

namespace veskor::test {

// A float array that starts on a 32-byte boundary, or one float past it (unaligned).
class KernelBuffer {
 public:
  explicit KernelBuffer(std::size_t n, bool aligned = true)
      : storage_(n + 16), size_(n), aligned_(aligned) {
    const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
    const std::size_t skip = ((32 - address % 32) % 32) / sizeof(float);
    data_ = storage_.data() + skip + (aligned ? 0 : 1);
  }
  KernelBuffer(const KernelBuffer& other) : KernelBuffer(other.size_, other.aligned_) {
    std::copy(other.data_, other.data_ + size_, data_);
  }
  KernelBuffer& operator=(const KernelBuffer&) = delete;
  float* data() { return data_; }
  const float* data() const { return data_; }
  std::size_t size() const { return size_; }
  float& operator[](std::size_t i) { return data_[i]; }
  float operator[](std::size_t i) const { return data_[i]; }

 private:
  std::vector<float> storage_;
  std::size_t size_;
  bool aligned_;
  float* data_;
};

// Random values in [-range, range], with a sprinkling of zeros and repeated values so that
// ties and sign changes occur.
inline void FillRandom(KernelBuffer& buffer, std::mt19937& rng, float range = 100.0f) {
  std::uniform_real_distribution<float> value(-range, range);
  std::uniform_int_distribution<int> pick(0, 15);
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    const int k = pick(rng);
    buffer[i] = k == 0 ? 0.0f : (k == 1 && i > 0 ? buffer[i - 1] : value(rng));
  }
}

// Both NaN, equal (infinities included), or within `tolerance`.
inline bool SameValue(float a, float b, double tolerance) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  if (a == b) return true;
  return std::fabs(double{a} - double{b}) <= tolerance;
}

}  // namespace veskor::test
