// A test array that starts a given number of elements after a 32-byte boundary and ends
// exactly at its last element, so that the sanitizers see any access past either end.
#pragma once

#include <cstddef>
#include <new>
#include <random>
#include <span>

namespace veskor::test {

template <typename T>
class TestBuffer {
 public:
  TestBuffer(std::size_t n, std::size_t offset = 0)
      : block_(static_cast<T*>(::operator new((n + offset) * sizeof(T), kAlign))),
        data_(block_ + offset),
        n_(n) {
    for (std::size_t i = 0; i < n + offset; ++i) block_[i] = T{};
  }
  ~TestBuffer() { ::operator delete(block_, kAlign); }
  TestBuffer(const TestBuffer&) = delete;
  TestBuffer& operator=(const TestBuffer&) = delete;

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return n_; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  std::span<T> span() { return {data_, n_}; }
  T* begin() { return data_; }
  T* end() { return data_ + n_; }

 private:
  static constexpr std::align_val_t kAlign{32};
  T* block_;
  T* data_;
  std::size_t n_;
};

// Fills with values uniform in [lo, hi).
inline void FillUniform(std::span<float> values, std::mt19937& rng, float lo, float hi) {
  std::uniform_real_distribution<float> d(lo, hi);
  for (float& v : values) v = d(rng);
}

}  // namespace veskor::test
