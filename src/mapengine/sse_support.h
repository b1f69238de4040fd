// Small helpers shared by the SSE kernel members (include only from SSE member files).
#pragma once

#include <xmmintrin.h>

#include <cstdint>
#include <initializer_list>

namespace veskor::sse {

// True when every pointer lies on a 32-byte boundary (the aligned path of the block loops).
inline bool AllAligned32(std::initializer_list<const void*> pointers) {
  std::uintptr_t bits = 0;
  for (const void* p : pointers) bits |= reinterpret_cast<std::uintptr_t>(p);
  return (bits & 31u) == 0;
}

template <bool Aligned>
inline __m128 Load(const float* p) {
  if constexpr (Aligned) return _mm_load_ps(p);
  else return _mm_loadu_ps(p);
}

template <bool Aligned>
inline void Store(float* p, __m128 v) {
  if constexpr (Aligned) _mm_store_ps(p, v);
  else _mm_storeu_ps(p, v);
}

inline void Prefetch(const float* p) {
  _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
}

}  // namespace veskor::sse
