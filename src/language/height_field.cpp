#include "language/height_field.h"

#include <bit>
#include <cmath>

#include "foundation/fatal_error.h"
#include "foundation/mem_block.h"
#include "foundation/png_reader.h"
#include "mapengine/clamp_float.h"
#include "mapengine/kernel_table.h"
#include "mapengine/noise_generator.h"

namespace veskor {
namespace {

constexpr std::uint32_t kMaxOctaves = 32;

using u8 = std::uint8_t;

std::uint32_t Side(std::uint32_t level) { return (std::uint32_t{1} << level) + 1; }

// A scratch array of n floats in `block`, which the caller releases.
float* TakeFloats(MemBlock& block, std::uint64_t n) {
  const std::uint64_t bytes = n * sizeof(float);
  if (bytes > 0xFFFFFFFFu) FatalError("Virtual Memory Error : Required Memory > Reserved Memory");
  MemBlockReserve(block, static_cast<std::uint32_t>(bytes));
  return static_cast<float*>(MemBlockAppend(block, static_cast<std::uint32_t>(bytes)));
}

// The 3-D noise of the program's generator at (x, y, 0), through its sampling transform.
float Noise(float x, float y) {
  const NoiseGenerator3D& g = gNoiseGenerator.noise3D;
  const float v = NoiseValue3D(x * g.scaleX + g.offsetX, y * g.scaleY + g.offsetY, g.offsetZ);
  return v * g.scaleValue + g.offsetValue;
}

void AddNoiseLayer(HeightFieldRecord& record, std::uint32_t octaves, float a, float b, float e,
                   float scale, bool turbulence) {
  if (record.grid.data == nullptr) return;
  if (octaves > kMaxOctaves) octaves = kMaxOctaves;
  float weights[kMaxOctaves];
  float f = 1.0f;
  for (std::uint32_t k = 0; k < octaves; ++k) {
    weights[k] = f == 0.0f ? 0.0f : std::pow(f, -e);
    f *= b;
  }
  const std::uint32_t side = Side(record.grid.log2Width);
  for (std::uint32_t j = 0; j < side; ++j) {
    const float y = record.box[2] + static_cast<float>(j) * record.cellSizeY;
    for (std::uint32_t i = 0; i < side; ++i) {
      const float x = record.box[0] + static_cast<float>(i) * record.cellSizeX;
      float* h = VertexGridCell(record.grid, i, j);
      float px = x * a, py = y * a;
      // The cascade starts from the height itself; on a grid that no layer has touched yet
      // that would make every octave 0, so it starts from full weight there.
      float sum = *h, prev = record.layered ? *h : 1.0f;
      for (std::uint32_t k = 0; k < octaves; ++k) {
        const float v = Noise(px, py) * 1.6f * weights[k] * ClampFloat(prev, -1.0f, 1.0f);
        sum += v;
        prev = v;
        px *= b;
        py *= b;
      }
      *h += scale * (turbulence ? std::fabs(sum) : sum);
    }
  }
  if (octaves > 0) record.layered = 1;
}

// Adds scale x (the image resampled to the raster) to the heights.
void AddResampled(HeightFieldRecord& record, std::uint32_t i, std::uint32_t j, const float* values,
                  float scale) {
  const std::uint32_t level = record.grid.log2Width;
  MemBlock netBlock{}, workBlock{};
  float* net = TakeFloats(netBlock, std::uint64_t{Side(i) + 2} * (Side(j) + 2));
  float* work = TakeFloats(workBlock, std::uint64_t{Side(level)} * Side(level));
  gKernelTable.GridToNet(static_cast<u8>(i), static_cast<u8>(j), 0, 0, values, net);
  gKernelTable.GridBSplineEval(static_cast<u8>(i), static_cast<u8>(j), static_cast<u8>(level - i),
                               static_cast<u8>(level - j), net, work);
  gKernelTable.GridScaleAdd(static_cast<u8>(level), static_cast<u8>(level), work, scale,
                            record.grid.data, record.grid.data);
  record.layered = 1;
  MemBlockRelease(netBlock);
  MemBlockRelease(workBlock);
}

bool Fits(const HeightFieldRecord& record, const VertexGrid& image) {
  return record.grid.data != nullptr && image.data != nullptr &&
         image.log2Width <= record.grid.log2Width && image.log2Height <= record.grid.log2Height;
}

// i with 2^i + 1 = n, or -1.
int ImageLevel(std::uint32_t n) {
  if (n < 2 || !std::has_single_bit(n - 1)) return -1;
  return std::countr_zero(n - 1);
}

}  // namespace

std::uint32_t HeightFieldLevel(float extent) {
  if (extent < 1000.0f) return 5;
  if (extent < 3000.0f) return 6;
  return kHeightFieldMaxLevel;
}

void HeightFieldSetup(HeightFieldRecord& record, std::uint32_t level, float xMin, float zMin,
                      float yMin, float xMax, float zMax, float yMax) {
  VertexGrid& grid = record.grid;
  VertexGridAlloc(grid, static_cast<std::uint16_t>(level), static_cast<std::uint16_t>(level));
  grid.scaleX = grid.scaleZ = grid.scaleValue = 1.0f;
  grid.offsetX = grid.offsetZ = grid.offsetValue = 0.0f;
  const float box[6] = {xMin, zMin, yMin, xMax, zMax, yMax};
  for (int k = 0; k < 6; ++k) record.box[k] = box[k];
  const float cells = static_cast<float>(std::uint32_t{1} << level);
  record.cellSizeX = (xMax - xMin) / cells;
  record.heightSpan = zMin - zMax;
  record.cellSizeY = (yMax - yMin) / cells;
}

void HeightFieldClear(HeightFieldRecord& record) {
  const std::uint32_t n = Side(record.grid.log2Width) * Side(record.grid.log2Height);
  for (std::uint32_t k = 0; k < n && record.grid.data != nullptr; ++k) record.grid.data[k] = 0.0f;
  record.layered = 0;
}

void HeightFieldClamp(HeightFieldRecord& record) {
  if (record.grid.data == nullptr) return;
  gKernelTable.GridClamp01(static_cast<u8>(record.grid.log2Width),
                           static_cast<u8>(record.grid.log2Height), record.grid.data);
}

void AddFractalLayer(HeightFieldRecord& record, std::uint32_t octaves, float a, float b, float e,
                     float scale) {
  AddNoiseLayer(record, octaves, a, b, e, scale, false);
}

void AddTurbulenceLayer(HeightFieldRecord& record, std::uint32_t octaves, float a, float b, float e,
                        float scale) {
  AddNoiseLayer(record, octaves, a, b, e, scale, true);
}

void AddImageLayer(HeightFieldRecord& record, const VertexGrid& image, float scale) {
  if (!Fits(record, image)) return;
  AddResampled(record, image.log2Width, image.log2Height, image.data, scale);
}

void AddCutImageLayer(HeightFieldRecord& record, const VertexGrid& image, float cut, float scale) {
  if (!Fits(record, image)) return;
  const u8 i = static_cast<u8>(image.log2Width), j = static_cast<u8>(image.log2Height);
  const std::uint32_t n = Side(i) * Side(j);
  MemBlock block{};
  float* values = TakeFloats(block, n);
  if (cut < 1.0f) {
    gKernelTable.GridSubScalar(i, j, image.data, cut, values);
    gKernelTable.GridClamp01(i, j, values);
    gKernelTable.GridMulScalar(i, j, values, 1.0f / (1.0f - cut), values);
  } else {
    for (std::uint32_t k = 0; k < n; ++k) values[k] = image.data[k] >= 1.0f ? 1.0f : 0.0f;
  }
  AddResampled(record, i, j, values, scale);
  MemBlockRelease(block);
}

int LoadLayerImage(const char* path, VertexGrid& grid, std::uint32_t channel,
                   std::uint32_t maxLevel) {
  PngPixels pixels;
  std::uint32_t width, height, channels, rowBytes;
  if (!LoadPngFile(path, pixels, width, height, channels, rowBytes)) return 0;
  const int i = ImageLevel(width), j = ImageLevel(height);
  if (i < 0 || j < 0 || channel >= channels) return 0;
  if (static_cast<std::uint32_t>(i) > maxLevel || static_cast<std::uint32_t>(j) > maxLevel) {
    VertexGridRelease(grid);
    grid.log2Width = static_cast<std::uint16_t>(i);
    grid.log2Height = static_cast<std::uint16_t>(j);
    return 1;
  }
  VertexGridAlloc(grid, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(j));
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels.get() + std::size_t{y} * rowBytes;
    for (std::uint32_t x = 0; x < width; ++x)
      *VertexGridCell(grid, x, y) = static_cast<float>(row[x * channels + channel]) / 255.0f;
  }
  return 1;
}

std::int32_t AddWaterPlane(World& world, float altitude, float bumpScale, float opacityP,
                           float opacityQ, float r, float g, float b) {
  if (world.waterPlaneCount >= kWorldWaterPlaneMax) return -1;
  const std::uint32_t index = world.waterPlaneCount++;
  WaterPlane& plane = world.waterPlanes[index];
  plane.altitude = altitude;
  plane.bumpScale = bumpScale;
  plane.colour[0] = r;
  plane.colour[1] = g;
  plane.colour[2] = b;
  plane.opacity[0] = opacityP;
  plane.opacity[1] = opacityQ;
  return static_cast<std::int32_t>(index);
}

bool AttachWaterPlane(World& world, std::int32_t index) {
  if (index < 0 || static_cast<std::uint32_t>(index) >= world.waterPlaneCount ||
      world.heightFieldCount == 0) {
    return true;
  }
  HeightFieldRecord& field = world.heightFields[world.heightFieldCount - 1];
  if (field.waterPlaneCount >= kHeightFieldWaterMax) return false;
  field.waterPlanes[field.waterPlaneCount++] = static_cast<std::uint32_t>(index);
  WaterPlane& plane = world.waterPlanes[index];
  const float* box = field.box;  // x min, z min, y min, x max, z max, y max
  plane.x0 = box[0] - kWaterPlaneMargin;
  plane.y0 = box[2] - kWaterPlaneMargin;
  plane.altitude = ClampFloat(plane.altitude, box[1], box[4]);
  plane.x1 = box[3] + kWaterPlaneMargin;
  plane.y1 = box[5] + kWaterPlaneMargin;
  return true;
}

}  // namespace veskor
