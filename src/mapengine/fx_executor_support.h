// Small helpers shared by the fx executor files: operand access, size tests and the kernel
// arguments of a raster or grid component.
#pragma once

#include <cstdint>

#include "mapengine/fx_frame.h"

namespace veskor::fx {

using u8 = std::uint8_t;

inline FxFrame& Result() { return *FxArgs[0]; }
inline FxFrame& Arg(std::uint32_t i) { return *FxArgs[i]; }
inline MapList& Temporaries() { return *CurrentMapList; }

inline u8 LogW(const Map* m) { return static_cast<u8>(m->log2Width); }
inline u8 LogH(const Map* m) { return static_cast<u8>(m->log2Height); }
inline u8 LogW(const VertexGrid* g) { return static_cast<u8>(g->log2Width); }
inline u8 LogH(const VertexGrid* g) { return static_cast<u8>(g->log2Height); }

template <class T>
bool SameSize(const T* a, const T* b) {
  return a->log2Width == b->log2Width && a->log2Height == b->log2Height;
}

// Components 0..n-1 of `frame` are all grids of one size (n >= 1).
inline bool GridsOfOneSize(const FxFrame& frame, std::uint32_t n) {
  const VertexGrid* first = FxGridAt(frame, 0);
  if (first == nullptr) return false;
  for (std::uint32_t i = 1; i < n; ++i) {
    const VertexGrid* g = FxGridAt(frame, i);
    if (g == nullptr || !SameSize(g, first)) return false;
  }
  return true;
}

inline bool AllFloats(const FxFrame& frame, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i)
    if (!FxIsFloat(frame, i)) return false;
  return true;
}

// A float truncated toward zero and taken as an unsigned 32-bit word, as the processor's
// truncating conversion does: values outside the 32-bit signed range and NaNs give
// 0x80000000.
inline std::uint32_t TruncatedWord(float x) {
  if (!(x > -2147483904.0f && x < 2147483648.0f)) return 0x80000000u;
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(x));
}

}  // namespace veskor::fx
