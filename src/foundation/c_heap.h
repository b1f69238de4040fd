// Owning pointers to blocks of the C heap: what std::malloc gives (and the PNG reader's pixel
// blocks) goes back with std::free when the owner goes, on every path.
#pragma once

#include <cstdlib>
#include <memory>

namespace veskor {

struct CHeapFree {
  void operator()(void* p) const noexcept { std::free(p); }
};

template <class T>
using CHeapPtr = std::unique_ptr<T, CHeapFree>;

}  // namespace veskor
