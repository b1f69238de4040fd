// Plain members of the Map raster entries, and the members both paths share (copies, fills,
// byte downsampling, the filters, minimum and maximum). Intermediate results are kept in
// double, as the x87 unit kept them in extended precision, and rounded to float on store.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mapengine/clamp_float.h"
#include "mapengine/map_raster_kernels.h"

namespace veskor {

namespace {

using Index = std::ptrdiff_t;

// Averages of two and four values, by element type.
struct FloatAverage {
  static float Two(float a, float b) { return static_cast<float>((double{a} + b) * 0.5); }
  static float Four(float a, float b, float c, float d) {
    return static_cast<float>((double{a} + b + c + d) * 0.25);
  }
};
struct UnsignedByteAverage {
  static std::uint8_t Two(std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>((a + b) >> 1);
  }
  static std::uint8_t Four(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return static_cast<std::uint8_t>((a + b + c + d) >> 2);
  }
};
struct SignedByteAverage {  // the sums divided with truncation toward zero
  static std::int8_t Two(std::int8_t a, std::int8_t b) {
    return static_cast<std::int8_t>((a + b) / 2);
  }
  static std::int8_t Four(std::int8_t a, std::int8_t b, std::int8_t c, std::int8_t d) {
    return static_cast<std::int8_t>((a + b + c + d) / 4);
  }
};

template <typename Average, typename T>
void Downsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint32_t halveWidth,
                std::uint32_t halveHeight, const T* source, T* destination) {
  const DownsampleAxes axes = DownsampleAxesFor(w, h, halveWidth, halveHeight);
  if (!axes.width && !axes.height) {
    std::memmove(destination, source, RasterValues(ch, w, h) * sizeof(T));
    return;
  }
  const Index row = Index{ch} << w;  // values per source row
  const Index outWidth = Index{1} << (w - axes.width);
  const Index outHeight = Index{1} << (h - axes.height);
  T* out = destination;
  for (Index j = 0; j < outHeight; ++j) {
    const T* r0 = source + (axes.height ? 2 * j : j) * row;
    const T* r1 = r0 + row;
    for (Index i = 0; i < outWidth; ++i) {
      const Index x0 = (axes.width ? 2 * i : i) * ch, x1 = x0 + ch;
      for (Index k = 0; k < ch; ++k) {
        if (axes.width && axes.height)
          *out++ = Average::Four(r0[x0 + k], r0[x1 + k], r1[x0 + k], r1[x1 + k]);
        else if (axes.width)
          *out++ = Average::Two(r0[x0 + k], r0[x1 + k]);
        else
          *out++ = Average::Two(r0[x0 + k], r1[x0 + k]);
      }
    }
  }
}

// A texel and its eight neighbours: the edge ones left, right, above, below, the diagonal ones
// above left, above right, below left, below right.
struct Neighbourhood {
  double centre;
  double edge[4];
  double diagonal[4];
  double Edges() const { return edge[0] + edge[1] + edge[2] + edge[3]; }
  double Diagonals() const { return diagonal[0] + diagonal[1] + diagonal[2] + diagonal[3]; }
};

// destination(x, y) = value(neighbourhood of (x, y)) on a single-channel raster whose
// neighbours wrap around its edges.
template <typename Value>
void ForEachWrappedTexel(std::uint8_t w, std::uint8_t h, const float* source, float* destination,
                         Value value) {
  const Index width = Index{1} << w, height = Index{1} << h;
  for (Index y = 0; y < height; ++y) {
    const float* up = source + ((y - 1) & (height - 1)) * width;
    const float* mid = source + y * width;
    const float* down = source + ((y + 1) & (height - 1)) * width;
    for (Index x = 0; x < width; ++x) {
      const Index l = (x - 1) & (width - 1), r = (x + 1) & (width - 1);
      const Neighbourhood n{
          mid[x], {mid[l], mid[r], up[x], down[x]}, {up[l], up[r], down[l], down[r]}};
      destination[y * width + x] = value(n);
    }
  }
}

// 0.10736987 (2 centre + edge sum + 0.8284 diagonal sum).
double Smooth(double centre, double edges, double diagonals) {
  return kPropagateScale * (2.0 * centre + edges + kPropagateDiagonal * diagonals);
}

template <typename Op>
void Binary(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination, Op op) {
  const std::size_t n = RasterValues(ch, w, h);
  for (std::size_t i = 0; i < n; ++i) destination[i] = op(a[i], b[i]);
}

template <typename Op>
void WithScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                float* destination, Op op) {
  const std::size_t n = RasterValues(ch, w, h);
  for (std::size_t i = 0; i < n; ++i) destination[i] = op(a[i], s);
}

}  // namespace

namespace plain {

void MapPrefixSum(std::uint8_t n, const float* source, float* destination) {
  // Each source value is read before its slot is written, so the sum may run in place.
  const std::size_t count = std::size_t{1} << n;
  double sum = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const float v = source[i];
    destination[i] = static_cast<float>(sum);
    sum += v;
  }
  destination[count] = static_cast<float>(sum);
}

void MapFillBytesVector(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint8_t* destination,
                        const std::uint8_t* vector) {
  const std::size_t texels = std::size_t{1} << (w + h);
  for (std::size_t i = 0; i < texels; ++i, destination += ch) std::memcpy(destination, vector, ch);
}

void MapCopyBytes(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const std::uint8_t* source,
                  std::uint8_t* destination) {
  std::memmove(destination, source, RasterValues(ch, w, h));
}

void MapCopyBytes2(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const std::uint8_t* source,
                   std::uint8_t* destination) {
  std::memmove(destination, source, RasterValues(ch, w, h));
}

void MapBytesDownsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint32_t halveWidth,
                        std::uint32_t halveHeight, const std::uint8_t* source,
                        std::uint8_t* destination) {
  Downsample<UnsignedByteAverage>(ch, w, h, halveWidth, halveHeight, source, destination);
}

void MapBytesDownsample2(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint32_t halveWidth,
                         std::uint32_t halveHeight, const std::int8_t* source,
                         std::int8_t* destination) {
  Downsample<SignedByteAverage>(ch, w, h, halveWidth, halveHeight, source, destination);
}

void GridCopyBytes(std::uint8_t a, std::uint8_t b, const std::uint8_t* source,
                   std::uint8_t* destination) {
  std::memmove(destination, source, ((std::size_t{1} << a) + 1) * ((std::size_t{1} << b) + 1));
}

void MapCopy(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* source,
             float* destination) {
  std::memmove(destination, source, RasterValues(ch, w, h) * sizeof(float));
}

void MapWriteChannel(std::uint8_t ch, std::uint8_t k, std::uint8_t w, std::uint8_t h,
                     const float* source, float* destination) {
  const std::size_t texels = std::size_t{1} << (w + h);
  for (std::size_t i = 0; i < texels; ++i) destination[i * ch + k] = source[i];
}

void MapWriteChannelFromBordered(std::uint8_t ch, std::uint8_t k, std::uint8_t w, std::uint8_t h,
                                 const float* source, float* destination) {
  const std::size_t width = std::size_t{1} << w, height = std::size_t{1} << h;
  const std::size_t stride = width + 2;
  for (std::size_t y = 0; y < height; ++y) {
    const float* row = source + (y + 1) * stride + 1;
    float* out = destination + y * width * ch + k;
    for (std::size_t x = 0; x < width; ++x) out[x * ch] = row[x];
  }
}

void MapFill(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* destination, float value) {
  const std::size_t n = RasterValues(ch, w, h);
  for (std::size_t i = 0; i < n; ++i) destination[i] = value;
}

void MapFillVector(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* destination,
                   const float* vector) {
  const std::size_t texels = std::size_t{1} << (w + h);
  for (std::size_t i = 0; i < texels; ++i, destination += ch)
    for (std::size_t k = 0; k < ch; ++k) destination[k] = vector[k];
}

void MapToBordered(std::uint8_t w, std::uint8_t h, const float* source, std::uint8_t sourceStep,
                   float* destination) {
  // Texel (x, y) lies sourceStep values after texel (x - 1, y); rows are 2^w texels apart.
  const Index width = Index{1} << w, height = Index{1} << h;
  const Index out = width + 1;
  auto t = [&](Index x, Index y) -> double { return source[(y * width + x) * sourceStep]; };
  auto put = [&](Index x, Index y, double v) { destination[y * out + x] = static_cast<float>(v); };
  for (Index y = 1; y < height; ++y)
    for (Index x = 1; x < width; ++x)
      put(x, y, 0.25 * (t(x - 1, y - 1) + t(x, y - 1) + t(x - 1, y) + t(x, y)));
  // The edges take half the texels of an interior vertex at the same 0.25 weight.
  for (Index y = 1; y < height; ++y) {
    put(0, y, 0.25 * (t(0, y - 1) + t(0, y)));
    put(width, y, 0.25 * (t(width - 1, y - 1) + t(width - 1, y)));
  }
  for (Index x = 1; x < width; ++x) {
    put(x, 0, 0.25 * (t(x - 1, 0) + t(x, 0)));
    put(x, height, 0.25 * (t(x - 1, height - 1) + t(x, height - 1)));
  }
  put(0, 0, t(0, 0));
  put(width, 0, t(width - 1, 0));
  put(0, height, t(0, height - 1));
  put(width, height, t(width - 1, height - 1));
}

void MapClamp01(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float* data) {
  const std::size_t n = RasterValues(ch, w, h);
  for (std::size_t i = 0; i < n; ++i) data[i] = Saturate(data[i]);
}

void MapDownsample(std::uint8_t ch, std::uint8_t w, std::uint8_t h, std::uint32_t halveWidth,
                   std::uint32_t halveHeight, const float* source, float* destination) {
  Downsample<FloatAverage>(ch, w, h, halveWidth, halveHeight, source, destination);
}

void MapNeighbourTest(std::uint8_t, std::uint8_t w, std::uint8_t h, const float* source,
                      float level, float* destination) {
  ForEachWrappedTexel(w, h, source, destination, [level](const Neighbourhood& n) {
    bool flat = true;
    for (int e = 0; e < 4; ++e) {
      flat &= n.edge[e] - n.centre <= level;
      flat &= n.diagonal[e] - n.centre <= level;
    }
    return flat ? 1.0f : 0.0f;
  });
}

void MapScalarMinusTimes(std::uint8_t ch, std::uint8_t w, std::uint8_t h, float lo, float hi,
                         const float* a, float* destination) {
  const float range = hi - lo;
  const std::size_t n = RasterValues(ch, w, h);
  for (std::size_t i = 0; i < n; ++i)
    destination[i] = static_cast<float>(double{range} * a[i] + lo);
}

void MapCentreWeight(std::uint8_t w, std::uint8_t h, const float* source, float* destination) {
  ForEachWrappedTexel(w, h, source, destination, [](const Neighbourhood& n) {
    return static_cast<float>(n.centre * (0.5 + 0.0625 * (n.Edges() + n.Diagonals())));
  });
}

void MapPropagate(std::uint32_t count, std::uint8_t length, std::uint32_t startA,
                  std::uint32_t startB, std::int32_t stepA, std::int32_t stepB,
                  const float* sourceA, const float* sourceB, float* destinationA,
                  float* destinationB) {
  const Index last = (Index{1} << length) - 1;
  // Adds to element k of line D the terms of the other raster's line S.
  auto add = [](float* d, Index dk, const float* s, Index sk, Index sStep, Index k, Index end) {
    double term;
    if (end == 0) {
      term = kPropagateCorner * double{s[sk]};  // a line of one element: no neighbours along it
    } else if (k == 0) {
      term = kPropagateCorner * double{s[sk]} + kPropagateDiagonal * double{s[sk + sStep]};
    } else if (k == end) {
      term = kPropagateCorner * double{s[sk]} + kPropagateDiagonal * double{s[sk - sStep]};
    } else {
      term = s[sk] + kPropagateDiagonal * (double{s[sk - sStep]} + s[sk + sStep]);
    }
    d[dk] = static_cast<float>(d[dk] + kPropagateScale * term);
  };
  for (Index i = 0; i < Index{count}; ++i) {
    for (Index k = 0; k <= last; ++k) {
      const Index a = Index{startA} + i + k * stepA, b = Index{startB} + i + k * stepB;
      add(destinationA, a, sourceB, b, stepB, k, last);
      add(destinationB, b, sourceA, a, stepA, k, last);
    }
  }
}

void MapPropagate2(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* source,
                   float* destination) {
  // No wrap-around: neighbours outside the raster add nothing, and the weights stay as they are.
  const Index width = Index{1} << w, height = Index{1} << h;
  const Index across = ch, down = width * ch;
  auto at = [&](Index x, Index y, Index k) -> double {
    if (x < 0 || x >= width || y < 0 || y >= height) return 0.0;
    return source[(y * width + x) * ch + k];
  };
  for (Index y = 0; y < height; ++y)
    for (Index x = 0; x < width; ++x) {
      const bool inside = x > 0 && x < width - 1 && y > 0 && y < height - 1;
      for (Index k = 0; k < ch; ++k) {
        const Index i = (y * width + x) * ch + k;
        Neighbourhood n;
        if (inside) {
          const float* p = source + i;
          n = {p[0],
               {p[-across], p[across], p[-down], p[down]},
               {p[-down - across], p[-down + across], p[down - across], p[down + across]}};
        } else {
          n = {
              at(x, y, k),
              {at(x - 1, y, k), at(x + 1, y, k), at(x, y - 1, k), at(x, y + 1, k)},
              {at(x - 1, y - 1, k), at(x + 1, y - 1, k), at(x - 1, y + 1, k), at(x + 1, y + 1, k)}};
        }
        destination[i] = static_cast<float>(Smooth(n.centre, n.Edges(), n.Diagonals()));
      }
    }
}

void MapPropagate3(std::uint8_t w, std::uint8_t h, const float* source, float* destination) {
  ForEachWrappedTexel(w, h, source, destination, [](const Neighbourhood& n) {
    return static_cast<float>(Smooth(n.centre, n.Edges(), n.Diagonals()));
  });
}

// Single operations round the same in float as in double then float, so these stay in float.
void MapMul(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination) {
  Binary(ch, w, h, a, b, destination, [](float x, float y) { return x * y; });
}
void MapMulScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination) {
  WithScalar(ch, w, h, a, s, destination, [](float x, float k) { return k * x; });
}
void MapDiv(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination) {
  Binary(ch, w, h, a, b, destination, [](float x, float y) { return x / y; });
}
void MapDivScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination) {
  const double reciprocal = 1.0 / s;  // taken once
  const std::size_t n = RasterValues(ch, w, h);
  for (std::size_t i = 0; i < n; ++i) destination[i] = static_cast<float>(a[i] * reciprocal);
}
void MapAdd(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination) {
  Binary(ch, w, h, a, b, destination, [](float x, float y) { return x + y; });
}
void MapAddScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination) {
  WithScalar(ch, w, h, a, s, destination, [](float x, float k) { return x + k; });
}
void MapSub(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination) {
  Binary(ch, w, h, a, b, destination, [](float x, float y) { return x - y; });
}
void MapSubScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination) {
  WithScalar(ch, w, h, a, s, destination, [](float x, float k) { return x - k; });
}
void MapMin(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination) {
  Binary(ch, w, h, a, b, destination, [](float x, float y) { return x < y ? x : y; });
}
void MapMax(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, const float* b,
            float* destination) {
  Binary(ch, w, h, a, b, destination, [](float x, float y) { return x > y ? x : y; });
}
void MapMinScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination) {
  WithScalar(ch, w, h, a, s, destination, [](float x, float k) { return x < k ? x : k; });
}
void MapMaxScalar(std::uint8_t ch, std::uint8_t w, std::uint8_t h, const float* a, float s,
                  float* destination) {
  WithScalar(ch, w, h, a, s, destination, [](float x, float k) { return x > k ? x : k; });
}

}  // namespace plain

}  // namespace veskor
