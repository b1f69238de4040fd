// Helpers for kernel tests: test arrays that end exactly at their last element, float
// comparisons in units in the last place, and one parity harness that runs a kernel entry on
// the plain and SSE tables (support/kernel_tables.h) over random arrays and compares the
// results.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <span>
#include <vector>

#include "mapengine/kernel_table.h"
#include "support/kernel_tables.h"

namespace veskor::test {

// The size of one unit in the last place of a float of magnitude |x| (the smallest subnormal
// step for 0).
inline double Ulp(double x) {
  const float f = static_cast<float>(std::fabs(x));
  if (!std::isfinite(f)) return INFINITY;
  return double{std::nextafter(f, INFINITY)} - double{f};
}

// Both NaN, equal (infinities included), or within `tolerance`.
inline bool SameValue(float a, float b, double tolerance) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return a == b || std::fabs(double{a} - double{b}) <= tolerance;
}

// An array that starts `offset` elements after a 32-byte boundary and ends exactly at its last
// element, so that the sanitizers see any access past either end. Starts zeroed.
template <typename T>
class TestBuffer {
 public:
  explicit TestBuffer(std::size_t n, std::size_t offset = 0)
      : block_(static_cast<T*>(::operator new((n + offset) * sizeof(T), kAlign))),
        data_(block_ + offset), n_(n) {
    std::fill(block_, block_ + n + offset, T{});
  }
  ~TestBuffer() { ::operator delete(block_, kAlign); }
  TestBuffer(const TestBuffer&) = delete;
  TestBuffer& operator=(const TestBuffer&) = delete;
  T* data() { return data_; }
  T& operator[](std::size_t i) { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + n_; }

 private:
  static constexpr std::align_val_t kAlign{32};
  T* block_;
  T* data_;
  std::size_t n_;
};

// Random values in [-range, range], with a sprinkling of zeros and repeated values so that
// ties and sign changes occur.
inline void FillRandom(std::span<float> values, std::mt19937& rng, float range = 100.0f) {
  std::uniform_real_distribution<float> value(-range, range);
  std::uniform_int_distribution<int> pick(0, 15);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int k = pick(rng);
    values[i] = k == 0 ? 0.0f : (k == 1 && i > 0 ? values[i - 1] : value(rng));
  }
}

// --- Plain against SSE ------------------------------------------------------------------------

using Shape = std::array<int, 4>;  // the size arguments of one call, as the kernel reads them
using Arrays = std::vector<std::vector<float>>;

// Value i of output o, and what it was computed from (`largest`: the largest input magnitude).
struct ParityValue {
  const Shape& shape;
  const Arrays& in;
  double largest;
  std::size_t o, i;
  float plain;
};

// One kernel entry for the parity harness. Its arrays are the inputs, then the outputs.
struct ParityCase {
  const char* name;
  std::vector<Shape> shapes;
  int inputs;
  std::function<std::vector<std::size_t>(const Shape&)> sizes;  // of every array
  std::function<void(const KernelTable&, const Shape&, float* const* arrays)> call;
  std::function<double(const ParityValue&)> tolerance;  // the allowed difference; none: exact
  std::vector<int> inPlaceOver = {};  // inputs that output 0 may also be written over
  float range = 100.0f;              // of the random inputs
  std::function<void(const Shape&, Arrays& in, std::mt19937&)> fill = {};  // after the random
};

// Runs the entry on both tables for every shape, with the arrays aligned, all one float past
// the boundary, and staggered, each output also over each allowed input. Outputs start as
// different values on the two paths, so a value one member leaves unwritten shows, and end
// with a canary that neither may touch.
inline void ExpectParity(const ParityCase& c, std::mt19937& rng) {
  constexpr float kCanary = 12345.0f;
  for (const Shape& s : c.shapes) {
    const std::vector<std::size_t> sizes = c.sizes(s);
    Arrays in(c.inputs);
    for (int k = 0; k < c.inputs; ++k) {
      in[k].resize(sizes[k]);
      FillRandom(in[k], rng, c.range);
    }
    if (c.fill) c.fill(s, in, rng);
    double largest = 0;
    for (const auto& values : in)
      for (float v : values) largest = std::fmax(largest, std::fabs(v));
    std::vector<int> over = {-1};
    over.insert(over.end(), c.inPlaceOver.begin(), c.inPlaceOver.end());
    for (int layout = 0; layout < 3; ++layout)
      for (int target : over) {
        SCOPED_TRACE(::testing::Message() << c.name << " shape " << s[0] << "," << s[1] << ","
                                          << s[2] << "," << s[3] << " layout " << layout
                                          << " over " << target);
        Arrays out[2];
        for (int path = 0; path < 2; ++path) {
          std::vector<std::unique_ptr<TestBuffer<float>>> buffers;
          std::vector<float*> args;
          for (std::size_t k = 0; k < sizes.size(); ++k) {
            const bool input = k < in.size();
            const std::size_t offset = layout == 0 ? 0 : layout == 1 ? 1 : (3 * k + 1) % 5;
            buffers.push_back(std::make_unique<TestBuffer<float>>(sizes[k] + !input, offset));
            TestBuffer<float>& b = *buffers.back();
            if (input) {
              std::copy(in[k].begin(), in[k].end(), b.begin());
            } else {
              std::fill(b.begin(), b.end(), path ? 7777.0f : -7777.0f);
              b[sizes[k]] = kCanary;
            }
            args.push_back(b.data());
          }
          if (target >= 0) args[in.size()] = args[target];
          c.call(path ? Tables().sse : Tables().plain, s, args.data());
          for (std::size_t k = in.size(); k < sizes.size(); ++k) {
            out[path].emplace_back(args[k], args[k] + sizes[k]);
            EXPECT_EQ((*buffers[k])[sizes[k]], kCanary) << "output " << k << " overrun";
          }
        }
        for (std::size_t o = 0; o < out[0].size(); ++o)
          for (std::size_t i = 0; i < out[0][o].size(); ++i) {
            const float plain = out[0][o][i];
            const double tolerance = c.tolerance ? c.tolerance({s, in, largest, o, i, plain}) : 0;
            ASSERT_TRUE(SameValue(plain, out[1][o][i], tolerance))
                << "output " << o << " at " << i << ": " << plain << " vs "
                << out[1][o][i];
          }
      }
  }
}

}  // namespace veskor::test
