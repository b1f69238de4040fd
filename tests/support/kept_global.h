// A global of the program put back as it was at the end of a scope, for tests that set it (or
// run code that does): a test leaves the process as it found it, so that the tests after it in
// the same process start where they would alone.
#pragma once

#include <cstring>
#include <type_traits>

namespace veskor::test {

// Any global of plain data: a number, a pointer, a struct of them, an array (a directory).
template <typename T>
class Kept {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  explicit Kept(T& global) : global_(global) { std::memcpy(&saved_, &global, sizeof(T)); }
  ~Kept() { std::memcpy(&global_, &saved_, sizeof(T)); }
  Kept(const Kept&) = delete;
  Kept& operator=(const Kept&) = delete;

 private:
  T& global_;
  T saved_;
};

}  // namespace veskor::test
