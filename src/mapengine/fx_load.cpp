#include "mapengine/fx_load.h"

#include <cmath>
#include <cstring>
#include <string>

#include "foundation/data_file_search.h"
#include "foundation/png_reader.h"
#include "foundation/search_dirs.h"
#include "mapengine/fx_executor_support.h"
#include "mapengine/fx_executors.h"

namespace veskor {

using namespace fx;

namespace {

// floor(log2 n) from the binary exponent of n as a float; 0 below 1.
std::uint32_t FloorLog2(std::uint32_t n) {
  if (n < 1) return 0;
  int exponent = 0;
  std::frexp(static_cast<float>(n), &exponent);
  return static_cast<std::uint32_t>(exponent - 1);
}

}  // namespace

std::uint32_t FxLoadImageFile(const char* path, FxFrame& result) {
  SetFxErrorText("Execution error : 'load image file'");
  PngPixels pixels;  // freed on every way out
  std::uint32_t width, height, channels, rowBytes;
  if (LoadPngFile(path, pixels, width, height, channels, rowBytes) == 0) return 0;
  const std::uint32_t w = FloorLog2(width), h = FloorLog2(height);
  if (channels >= 5) return 0;
  // Sizes as wide as 2^32 cannot come from the reader (its sides stop at 2^16 + 1).
  const std::uint64_t pw = std::uint64_t{1} << w, ph = std::uint64_t{1} << h;
  const bool raster = width == pw && height == ph;
  const bool grid = width == pw + 1 && height == ph + 1;
  if (!raster && !grid) return 0;

  MapList& list = Temporaries();
  FxMakeLive(result, static_cast<std::uint16_t>(channels));
  float* planes[4] = {};
  for (std::uint32_t c = 0; c < channels; ++c) {
    // The component's other pointer is cleared too: a frame reused between runs may still
    // hold a stale one, which would make the component read as the wrong kind.
    if (raster) {
      result.maps[c] = MapPoolAcquire(list, static_cast<std::uint16_t>(w),
                                      static_cast<std::uint16_t>(h));
      result.grids[c] = nullptr;
      planes[c] = result.maps[c]->data;
    } else {
      result.grids[c] = TakeVertexGridSlot(list, static_cast<std::uint16_t>(w),
                                           static_cast<std::uint16_t>(h));
      result.maps[c] = nullptr;
      planes[c] = result.grids[c]->data;
    }
  }
  std::size_t k = 0;
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels.get() + std::size_t{y} * rowBytes;
    for (std::uint32_t x = 0; x < width; ++x, ++k)
      for (std::uint32_t c = 0; c < channels; ++c)
        planes[c][k] = row[std::size_t{x} * channels + c] * kFxByteScale;
  }
  return 1;
}

std::uint32_t FxLoad() {
  SetFxExecutorError("load");
  // The argument is a text constant of the parse store, not a frame.
  const auto* constant = reinterpret_cast<const FxTextConstant*>(FxArgs[1]);
  char name[kFxTextBytes];
  const void* end = std::memchr(constant->text, 0, kFxTextBytes);
  if (end == nullptr) return 0;  // an unterminated text names no file
  std::memcpy(name, constant->text, static_cast<const char*>(end) - constant->text + 1);
  DataFileFailure failure;
  const std::uint32_t index = FindDataFile(name, &failure);
  if (!failure.path.empty()) {  // there, but it did not open: said with the reason
    SetFxErrorText(("Execution error : 'load' : " + DataFileFailureText(name, failure)).c_str());
    return 0;
  }
  if (index == 0) return 0;
  char path[kSearchDirBytes];
  if (!BuildDirPath(index, name, path)) return 0;
  return FxLoadImageFile(path, Result());
}

}  // namespace veskor
