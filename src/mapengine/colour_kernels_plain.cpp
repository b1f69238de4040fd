// Plain members of the colour entries, the members both paths share (colour splits, the byte
// sum reductions) and the principal-axes analysis, which runs over the reductions of its own
// path. Intermediate results are kept in double, as the x87 unit kept them in extended
// precision, and rounded to float on store.
#include <cmath>
#include <cstdint>

#include "mapengine/colour_kernels.h"

namespace veskor {

namespace {

// 1 / key_q, or 0 when the key has (almost) nothing in channel q.
float KeyFactor(const float* key, const std::uint32_t* channel) {
  const float kq = key[*channel];
  return std::fabs(kq) > 1e-5f ? 1.0f / kq : 0.0f;
}

// d = p - trunc(origin * 255) (modulo 256) or d = p; a = trunc(d_q / 255 * f * 255) as a byte;
// out = (d - trunc(a * key) modulo 256, a).
void SplitBytes(std::uint32_t n, const std::uint8_t* source, const std::uint8_t* offset,
                const float* key, std::uint32_t q, float f, std::uint8_t* destination) {
  for (std::uint32_t i = 0; i < n; ++i, source += 3, destination += 4) {
    std::uint8_t d[3];
    for (int j = 0; j < 3; ++j) d[j] = static_cast<std::uint8_t>(source[j] - offset[j]);
    const std::uint8_t a =
        TruncToByte(static_cast<double>(d[q]) * double{kByteToUnit} * double{f} * 255.0);
    for (int j = 0; j < 3; ++j)
      destination[j] =
          static_cast<std::uint8_t>(d[j] - TruncToByte(static_cast<double>(a) * key[j]));
    destination[3] = a;
  }
}

// d = p - origin (or p); a = f d_q; out = (d - a key, a).
void SplitFloats(std::uint32_t n, const float* source, const float* origin, const float* key,
                 std::uint32_t q, float f, float* destination) {
  for (std::uint32_t i = 0; i < n; ++i, source += 3, destination += 4) {
    double d[3];
    for (int j = 0; j < 3; ++j) d[j] = double{source[j]} - origin[j];
    const double a = f * d[q];
    for (int j = 0; j < 3; ++j) destination[j] = static_cast<float>(d[j] - a * key[j]);
    destination[3] = static_cast<float>(a);
  }
}

// out = (m - p, m) with m the largest of the three channels.
template <typename Pixel>
void MaxChannelSplit(std::uint32_t n, const Pixel* source, Pixel* destination) {
  for (std::uint32_t i = 0; i < n; ++i, source += 3, destination += 4) {
    Pixel m = source[0];
    if (source[1] > m) m = source[1];
    if (source[2] > m) m = source[2];
    for (int j = 0; j < 3; ++j) destination[j] = static_cast<Pixel>(m - source[j]);
    destination[3] = m;
  }
}

double Unit(std::uint8_t p) { return p * double{kByteToUnit}; }
double Unit(float p) { return p; }

template <typename Pixel>
void MinOver(std::uint32_t n, const Pixel* points, float* out) {
  for (std::uint32_t i = 0; i < n; ++i, points += 3)
    for (int j = 0; j < 3; ++j) {
      const double v = Unit(points[j]);
      if (!(out[j] < v)) out[j] = static_cast<float>(v);
    }
}

template <typename Pixel>
void SumOffsets(std::uint32_t n, const Pixel* points, const float* base, float* out) {
  double sum[3] = {out[0], out[1], out[2]};
  for (std::uint32_t i = 0; i < n; ++i, points += 3)
    for (int j = 0; j < 3; ++j) sum[j] += Unit(points[j]) - base[j];
  for (int j = 0; j < 3; ++j) out[j] = static_cast<float>(sum[j]);
}

template <typename Pixel>
void SumDeviations(std::uint32_t n, const Pixel* points, const float* base, const float* mean,
                   float* out) {
  double sum[3] = {out[0], out[1], out[2]};
  for (std::uint32_t i = 0; i < n; ++i, points += 3)
    for (int j = 0; j < 3; ++j) sum[j] += std::fabs(Unit(points[j]) - base[j] - mean[j]);
  for (int j = 0; j < 3; ++j) out[j] = static_cast<float>(sum[j]);
}

// ratios_0 = max(ratios_0, e_0); where e_0 > 1e-5 also ratios_k = min(ratios_k, e_k / e_0).
template <typename Pixel>
void AxisRatios(std::uint32_t n, const Pixel* points, const float* base, const std::uint32_t* order,
                float* ratios) {
  const std::uint32_t o0 = order[0], o1 = order[1], o2 = order[2];
  for (std::uint32_t i = 0; i < n; ++i, points += 3) {
    const double e0 = Unit(points[o0]) - base[o0];
    const double e1 = Unit(points[o1]) - base[o1];
    const double e2 = Unit(points[o2]) - base[o2];
    if (!(ratios[0] > e0)) ratios[0] = static_cast<float>(e0);
    if (e0 > 1e-5f) {
      const double r1 = e1 / e0, r2 = e2 / e0;
      if (!(ratios[1] < r1)) ratios[1] = static_cast<float>(r1);
      if (!(ratios[2] < r2)) ratios[2] = static_cast<float>(r2);
    }
  }
}

// The three reductions the analysis runs, of one path.
template <typename Pixel>
struct AxisReductions {
  void (*sumOffsets)(std::uint32_t, const Pixel*, const float*, float*);
  void (*sumDeviations)(std::uint32_t, const Pixel*, const float*, const float*, float*);
  void (*axisRatios)(std::uint32_t, const Pixel*, const float*, const std::uint32_t*, float*);
};

// The channels by weighted spread, largest first, with exactly these comparisons (ties keep
// the lower channel first).
void OrderBySpread(const float* spread, std::uint32_t* order) {
  const float s0 = spread[0] * 0.8f, s1 = spread[1], s2 = spread[2] * 0.7f;
  auto set = [order](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    order[0] = a;
    order[1] = b;
    order[2] = c;
  };
  if (s0 >= s1) {
    if (s1 >= s2)
      set(0, 1, 2);
    else if (s0 >= s2)
      set(0, 2, 1);
    else
      set(2, 0, 1);
  } else {
    if (s0 >= s2)
      set(1, 0, 2);
    else if (s2 >= s1)
      set(2, 1, 0);
    else
      set(1, 2, 0);
  }
}

// Principal axes of the `count` sources of n pixels each, taken as one set.
template <typename Pixel>
void PrincipalAxes(const AxisReductions<Pixel>& r, std::uint32_t n, const Pixel* const* sources,
                   std::uint32_t count, const float* base, float* key, std::uint32_t* order) {
  const std::uint64_t total = std::uint64_t{n} * count;
  if (total == 0) {
    // An empty set has no spread: key 0 and the channels in their own order (1/N would be
    // infinite and turn everything into NaN).
    key[0] = key[1] = key[2] = 0.0f;
    order[0] = 0;
    order[1] = 1;
    order[2] = 2;
    return;
  }
  float mean[3] = {0, 0, 0};
  for (std::uint32_t s = 0; s < count; ++s) r.sumOffsets(n, sources[s], base, mean);
  const float inverse = 1.0f / static_cast<float>(total);
  for (float& m : mean) m *= inverse;

  float spread[3] = {0, 0, 0};
  for (std::uint32_t s = 0; s < count; ++s) r.sumDeviations(n, sources[s], base, mean, spread);
  OrderBySpread(spread, order);

  float ratios[3] = {0, 1, 1};
  for (std::uint32_t s = 0; s < count; ++s) r.axisRatios(n, sources[s], base, order, ratios);
  key[order[0]] = ratios[0];
  key[order[1]] = ratios[1] * ratios[0];
  key[order[2]] = ratios[2] * ratios[0];
}

// The four entries of the analysis over the reductions `bytes` and `floats` of one path:
// one source or the six faces of a cube map, of bytes or floats.
#define VESKOR_PRINCIPAL_AXES_ENTRIES(bytes, floats)                                             \
  void MapPrincipalAxes(std::uint32_t n, const std::uint8_t* source, const float* base,          \
                        float* key, std::uint32_t* order) {                                      \
    PrincipalAxes(bytes, n, &source, 1, base, key, order);                                       \
  }                                                                                              \
  void MapPrincipalAxes2(std::uint32_t n, const float* source, const float* base, float* key,    \
                         std::uint32_t* order) {                                                 \
    PrincipalAxes(floats, n, &source, 1, base, key, order);                                      \
  }                                                                                              \
  void MapPrincipalAxes3(std::uint32_t n, const std::uint8_t* const* sources, const float* base, \
                         float* key, std::uint32_t* order) {                                     \
    PrincipalAxes(bytes, n, sources, 6, base, key, order);                                       \
  }                                                                                              \
  void MapPrincipalAxes4(std::uint32_t n, const float* const* sources, const float* base,        \
                         float* key, std::uint32_t* order) {                                     \
    PrincipalAxes(floats, n, sources, 6, base, key, order);                                      \
  }

}  // namespace

namespace plain {

void MapKeyColourSplit(std::uint32_t n, const std::uint8_t* source, const float* origin,
                       const float* key, const std::uint32_t* channel, std::uint8_t* destination) {
  std::uint8_t offset[3];
  for (int j = 0; j < 3; ++j) offset[j] = TruncToByte(double{origin[j]} * 255.0);
  SplitBytes(n, source, offset, key, *channel, KeyFactor(key, channel), destination);
}

void MapKeyColourSplit2(std::uint32_t n, const float* source, const float* origin, const float* key,
                        const std::uint32_t* channel, float* destination) {
  SplitFloats(n, source, origin, key, *channel, KeyFactor(key, channel), destination);
}

void MapKeyColourSplit3(std::uint32_t n, const std::uint8_t* source, const float* key,
                        const std::uint32_t* channel, std::uint8_t* destination) {
  const std::uint8_t none[3] = {0, 0, 0};
  SplitBytes(n, source, none, key, *channel, KeyFactor(key, channel), destination);
}

void MapKeyColourSplit4(std::uint32_t n, const float* source, const float* key,
                        const std::uint32_t* channel, float* destination) {
  const float none[3] = {0, 0, 0};
  SplitFloats(n, source, none, key, *channel, KeyFactor(key, channel), destination);
}

void MapMaxChannelSplit(std::uint32_t n, const std::uint8_t* source, std::uint8_t* destination) {
  MaxChannelSplit(n, source, destination);
}

void MapMaxChannelSplit2(std::uint32_t n, const float* source, float* destination) {
  MaxChannelSplit(n, source, destination);
}

void PointArrayMinMax(std::uint32_t n, const std::uint8_t* points, float* out) {
  MinOver(n, points, out);
}
void PointArrayMinMax2(std::uint32_t n, const float* points, float* out) {
  MinOver(n, points, out);
}
void PointArrayMinMax3(std::uint32_t n, const std::uint8_t* points, const float* base, float* out) {
  SumOffsets(n, points, base, out);
}
void PointArrayMinMax4(std::uint32_t n, const float* points, const float* base, float* out) {
  SumOffsets(n, points, base, out);
}
void PointArrayMinMax5(std::uint32_t n, const std::uint8_t* points, const float* base,
                       const float* mean, float* out) {
  SumDeviations(n, points, base, mean, out);
}
void PointArrayMinMax6(std::uint32_t n, const float* points, const float* base, const float* mean,
                       float* out) {
  SumDeviations(n, points, base, mean, out);
}
void PointArrayMinMax7(std::uint32_t n, const std::uint8_t* points, const float* base,
                       const std::uint32_t* order, float* ratios) {
  AxisRatios(n, points, base, order, ratios);
}
void PointArrayMinMax8(std::uint32_t n, const float* points, const float* base,
                       const std::uint32_t* order, float* ratios) {
  AxisRatios(n, points, base, order, ratios);
}

namespace {
constexpr AxisReductions<std::uint8_t> kByteReductions{PointArrayMinMax3, PointArrayMinMax5,
                                                       PointArrayMinMax7};
constexpr AxisReductions<float> kFloatReductions{PointArrayMinMax4, PointArrayMinMax6,
                                                 PointArrayMinMax8};
}  // namespace

VESKOR_PRINCIPAL_AXES_ENTRIES(kByteReductions, kFloatReductions)

}  // namespace plain

// The same analysis over the SSE reductions (the byte sums have one member on both paths).
namespace sse {

namespace {
constexpr AxisReductions<std::uint8_t> kByteReductions{plain::PointArrayMinMax3,
                                                       plain::PointArrayMinMax5, PointArrayMinMax7};
constexpr AxisReductions<float> kFloatReductions{PointArrayMinMax4, PointArrayMinMax6,
                                                 PointArrayMinMax8};
}  // namespace

VESKOR_PRINCIPAL_AXES_ENTRIES(kByteReductions, kFloatReductions)

}  // namespace sse

#undef VESKOR_PRINCIPAL_AXES_ENTRIES

}  // namespace veskor
