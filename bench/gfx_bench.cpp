// CPU side of texture uploads: the mip chains of square RGB images, without the GL upload.
// Modes 0 and 1 do the same CPU work (the driver compresses in mode 1).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "gfx/texture_format.h"
#include "gfx/texture_upload.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

void Discard(void* context, std::uint32_t, std::uint32_t, std::uint32_t, const void* texels) {
  benchmark::DoNotOptimize(texels);
  benchmark::DoNotOptimize(context);
}

template <class Texel>
void MipChain(benchmark::State& state, std::uint32_t format) {
  const auto log2Size = static_cast<std::uint32_t>(state.range(0));
  const std::size_t values = std::size_t{3} << (2 * log2Size);
  std::vector<Texel> texels(values);
  for (std::size_t i = 0; i < values; ++i) texels[i] = static_cast<Texel>((i * 37) % 251);
  InitKernelTable();
  const TextureUploadFormat upload = TextureUploadFormatFor(kModePlain, format);
  for (auto _ : state)
    BuildTextureLevels(upload, log2Size, log2Size, texels.data(), 1, Discard, nullptr);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * values * sizeof(Texel)));
}

void MipChainRgbBytes(benchmark::State& state) {
  MipChain<std::uint8_t>(state, kFormatUnsignedBytes | kLayoutRgb);
}
void MipChainRgbFloats(benchmark::State& state) { MipChain<float>(state, kLayoutRgb); }

BENCHMARK(MipChainRgbBytes)->Arg(9)->Arg(10);
BENCHMARK(MipChainRgbFloats)->Arg(9)->Arg(10);

}  // namespace
}  // namespace veskor
