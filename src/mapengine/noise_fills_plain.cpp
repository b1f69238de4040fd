// Plain members of the 3-D plain and fractal fills: every vertex through NoiseValue3D.
#include "mapengine/noise_fills.h"
#include "mapengine/noise_fills_scalar.h"

namespace veskor::plain {

std::uint32_t NoiseVertexCount(const VertexGrid& grid) {
  return ((1u << grid.log2Width) + 1u) * ((1u << grid.log2Height) + 1u);
}

void NoiseFill3DRange(const NoiseGenerator3D& g, const float* x, const float* y, const float* z,
                      float* destination, std::uint32_t first, std::uint32_t count) {
  for (std::uint32_t v = first; v < count; ++v) {
    const float value = NoiseValue3D(x[v] * g.scaleX + g.offsetX, y[v] * g.scaleY + g.offsetY,
                                     z[v] * g.scaleZ + g.offsetZ);
    destination[v] = value * g.scaleValue + g.offsetValue;
  }
}

void NoiseFractal3DRange(const NoiseGenerator3D& g, const NoiseOctaves& o, const float* x,
                         const float* y, const float* z, float* destination,
                         std::uint32_t first, std::uint32_t count) {
  for (std::uint32_t v = first; v < count; ++v) {
    float sum = 0.0f;
    for (std::uint32_t i = 0; i < o.count; ++i) {
      const float f = o.frequency[i];
      const float value = NoiseValue3D((f * g.scaleX) * x[v] + g.offsetX,
                                       (f * g.scaleY) * y[v] + g.offsetY,
                                       (f * g.scaleZ) * z[v] + g.offsetZ);
      const float term = value * (o.amplitude[i] * g.scaleValue) + g.offsetValue;
      sum = i == 0 ? term : sum + term;
    }
    destination[v] = sum;
  }
}

void NoiseFill3D(const NoiseGenerator3D& g, const VertexGrid& sourceX, const VertexGrid& sourceY,
                 const VertexGrid& sourceZ, VertexGrid& destination) {
  VertexGridAlloc(destination, sourceX.log2Width, sourceX.log2Height);
  NoiseFill3DRange(g, sourceX.data, sourceY.data, sourceZ.data, destination.data, 0,
                   NoiseVertexCount(sourceX));
}

void NoiseFractal3D(const NoiseGenerator3D& g, const NoiseOctaves& o, const VertexGrid& sourceX,
                    const VertexGrid& sourceY, const VertexGrid& sourceZ,
                    VertexGrid& destination) {
  VertexGridAlloc(destination, sourceX.log2Width, sourceX.log2Height);
  NoiseFractal3DRange(g, o, sourceX.data, sourceY.data, sourceZ.data, destination.data, 0,
                      NoiseVertexCount(sourceX));
}

}  // namespace veskor::plain
