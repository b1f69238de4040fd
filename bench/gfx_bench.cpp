// CPU side of texture uploads, without the GL upload: the colour analysis of the split modes,
// the conversion of every level and the mip chain, for square RGB images of bytes and floats,
// with the plain and the SSE kernel members side by side. Modes 0 and 1 do the same CPU work
// (the driver compresses in mode 1); modes 2 and 3 depend on the board's combiner extensions.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/gl_capabilities.h"
#include "gfx/texture_format.h"
#include "gfx/texture_upload.h"
#include "mapengine/kernel_table.h"

namespace veskor {
namespace {

void Discard(void* context, std::uint32_t, std::uint32_t, std::uint32_t, const void* texels) {
  benchmark::DoNotOptimize(texels);
  benchmark::DoNotOptimize(context);
}

// Arguments: log2 size, mode, combiner extension present, SSE members.
template <class Texel>
void TextureLevels(benchmark::State& state, std::uint32_t format) {
  const auto log2Size = static_cast<std::uint32_t>(state.range(0));
  const auto mode = static_cast<std::uint32_t>(state.range(1));
  const bool combiner = state.range(2) != 0;
  const bool sse = state.range(3) != 0;
  FillKernelTable(gKernelTable, sse);
  ExtensionMask = combiner ? std::uint32_t{kExtTextureEnvCombine4} : 0u;

  const std::size_t values = std::size_t{3} << (2 * log2Size);
  std::vector<Texel> texels(values);
  for (std::size_t i = 0; i < values; ++i) {
    const std::size_t spread = (i * 37) % 251;
    texels[i] = static_cast<Texel>(sizeof(Texel) == 1 ? spread : spread / 255.0);
  }
  const TextureUploadFormat upload = TextureUploadFormatFor(mode, format);
  float colour0[4] = {};
  float colour1[4] = {};
  float colour2[3] = {};
  const void* image = texels.data();
  for (auto _ : state) {
    PrepareTextureColours(mode, format, log2Size, log2Size, &image, 1, colour0, colour1,
                          colour2);
    std::uint32_t order[3];
    TextureColourOrder(colour2, order);
    const TextureSplit split{TextureSplitKindFor(mode), colour0, colour1, order};
    BuildTextureLevels(upload, &split, log2Size, log2Size, image, 1, Discard, nullptr);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * values * sizeof(Texel)));
  state.SetLabel(std::string(sse ? "sse" : "plain") + ", mode " + std::to_string(mode) +
                 (mode >= kModeSplit ? (combiner ? " with combiner" : " without combiner") : ""));
}

void RgbBytes(benchmark::State& state) {
  TextureLevels<std::uint8_t>(state, kFormatUnsignedBytes | kLayoutRgb);
}
void RgbFloats(benchmark::State& state) { TextureLevels<float>(state, kLayoutRgb); }

void Arguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"log2", "mode", "combiner", "sse"});
  for (const std::int64_t log2Size : {9, 10})
    for (const std::int64_t mode : {0, 1, 2, 3})
      for (const std::int64_t combiner : {0, 1}) {
        if (mode < 2 && combiner != 0) continue;
        for (const std::int64_t sse : {0, 1}) b->Args({log2Size, mode, combiner, sse});
      }
}

BENCHMARK(RgbBytes)->Apply(Arguments)->Unit(benchmark::kMicrosecond);
BENCHMARK(RgbFloats)->Apply(Arguments)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace veskor
