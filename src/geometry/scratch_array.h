// Work arrays of the geometry passes (strip tables, border lists, crossing lists): each is a
// VmArray that lives for the whole run and is sized from the input before the work starts, or
// grows as entries arrive, so no input can write past it. Statics of the passes that use them.
#pragma once

#include <cstdint>
#include <cstring>

#include "foundation/vm_array.h"

namespace veskor {

template <class T>
struct ScratchArray {
  VmArray array{};
  std::uint32_t room = 0;  // elements the block holds

  ScratchArray() = default;
  ScratchArray(const ScratchArray&) = delete;
  ScratchArray& operator=(const ScratchArray&) = delete;
  ~ScratchArray() { VmArrayRelease(array); }

  T* data() const { return VmArrayData<T>(array); }
  std::uint32_t size() const { return array.count; }
  T& operator[](std::uint32_t i) const { return data()[i]; }

  // Room for n elements (at least one), the array emptied.
  void Reserve(std::uint32_t n) {
    const std::uint64_t bytes = std::uint64_t{n < 1 ? 1 : n} * sizeof(T);
    VmArrayReserve(array, bytes > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(bytes));
    VmArrayClear(array);
    room = static_cast<std::uint32_t>((std::uint64_t{1} << array.block.sizeClass) / sizeof(T));
  }
  void Clear() { VmArrayClear(array); }
  // Appends one element; a full array moves to a block twice as large first (the value may be
  // an element of the array itself: it is copied before the move).
  T& Append(const T& value) {
    const T copy = value;
    if (array.count >= room) Grow();
    T* slot = static_cast<T*>(VmArrayAppend(array, 1, sizeof(T)));
    *slot = copy;
    return *slot;
  }
  // Drops every element from position n on.
  void Truncate(std::uint32_t n) {
    if (n < array.count) VmArrayPop(array, array.count - n, sizeof(T));
  }

 private:
  void Grow() {
    VmArray larger{};
    const std::uint32_t n = array.count;
    const std::uint64_t bytes = (std::uint64_t{room < 8 ? 8 : room} * 2) * sizeof(T);
    VmArrayReserve(larger, bytes > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(bytes));
    VmArrayClear(larger);
    if (n > 0) std::memcpy(VmArrayAppend(larger, n, sizeof(T)), data(), n * sizeof(T));
    VmArrayRelease(array);
    array = larger;
    room = static_cast<std::uint32_t>((std::uint64_t{1} << array.block.sizeClass) / sizeof(T));
  }
};

}  // namespace veskor
