#include "app/window_icon.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/png_reader.h"
#include "platform/file_open.h"

namespace veskor {

namespace {

constexpr std::size_t kDirectoryBytes = 6;
constexpr std::size_t kEntryBytes = 16;
constexpr std::size_t kBitmapHeaderBytes = 40;
constexpr std::uint32_t kSide = kWindowIconSide;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t U16(const std::uint8_t* p) { return p[0] | std::uint32_t{p[1]} << 8; }
std::uint32_t U32(const std::uint8_t* p) { return U16(p) | U16(p + 2) << 16; }

// A bitmap image: the header, a palette for 1, 4 and 8 bits a pixel, the colour rows and the
// 1-bit transparency mask, rows bottom up, each padded to 4 bytes. The header's height counts
// the colour and the mask rows.
bool ReadBitmap(const std::uint8_t* data, std::size_t size, WindowIcon* icon) {
  if (size < kBitmapHeaderBytes) return false;
  const std::uint32_t headerBytes = U32(data);
  const std::uint32_t width = U32(data + 4), height = U32(data + 8);
  const std::uint32_t planes = U16(data + 12), bits = U16(data + 14);
  const std::uint32_t compression = U32(data + 16), coloursUsed = U32(data + 32);
  if (headerBytes < kBitmapHeaderBytes || headerBytes > size || width != kSide ||
      height != 2 * kSide || planes != 1 || compression != 0)
    return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  std::uint64_t colours = 0;
  if (bits <= 8) {
    colours = coloursUsed != 0 ? coloursUsed : 1u << bits;
    if (colours > (1u << bits)) return false;
  }
  const std::uint64_t rowBytes = (kSide * bits + 31) / 32 * 4;
  const std::uint64_t maskRowBytes = (kSide + 31) / 32 * 4;
  const std::uint64_t palette = headerBytes;
  const std::uint64_t pixels = palette + colours * 4;
  const std::uint64_t mask = pixels + rowBytes * kSide;
  if (mask + maskRowBytes * kSide > size) return false;

  bool anyAlpha = false;
  for (std::uint32_t y = 0; y < kSide; ++y) {
    const std::uint8_t* row = data + pixels + rowBytes * (kSide - 1 - y);
    for (std::uint32_t x = 0; x < kSide; ++x) {
      std::uint8_t* out = icon->rgba + (y * kSide + x) * 4;
      if (bits >= 24) {
        const std::uint8_t* p = row + x * (bits / 8);
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        out[3] = bits == 32 ? p[3] : 255;
        anyAlpha = anyAlpha || (bits == 32 && p[3] != 0);
        continue;
      }
      const std::uint32_t bit = x * bits;
      const std::uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
      if (index >= colours) return false;
      const std::uint8_t* p = data + palette + index * 4;
      out[0] = p[2];
      out[1] = p[1];
      out[2] = p[0];
      out[3] = 255;
    }
  }
  // The mask makes pixels transparent unless the image has an alpha channel of its own.
  if (!anyAlpha) {
    for (std::uint32_t y = 0; y < kSide; ++y) {
      const std::uint8_t* row = data + mask + maskRowBytes * (kSide - 1 - y);
      for (std::uint32_t x = 0; x < kSide; ++x)
        icon->rgba[(y * kSide + x) * 4 + 3] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
    }
  }
  return true;
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool ReadPng(const std::uint8_t* data, std::size_t size, WindowIcon* icon) {
  // The size from the header chunk first: a 16 x 16 entry must not decode a large image.
  constexpr std::size_t kSizeAt = 16;
  if (size < kSizeAt + 8 || BigEndian32(data + kSizeAt) != kSide ||
      BigEndian32(data + kSizeAt + 4) != kSide)
    return false;
  std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (file == nullptr) return false;
  PngPixels pixels;
  std::uint32_t width = 0, height = 0, channels = 0, rowBytes = 0;
  const bool read = LoadPngStream(file, pixels, width, height, channels, rowBytes) != 0;
  std::fclose(file);
  if (!read || width != kSide || height != kSide || channels < 3) return false;
  for (std::uint32_t y = 0; y < kSide; ++y)
    for (std::uint32_t x = 0; x < kSide; ++x) {
      const std::uint8_t* p = pixels.get() + y * rowBytes + x * channels;
      std::uint8_t* out = icon->rgba + (y * kSide + x) * 4;
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
      out[3] = channels == 4 ? p[3] : 255;
    }
  return true;
}

}  // namespace

std::uint32_t ParseWindowIcon(const std::uint8_t* data, std::size_t size, WindowIcon* icon) {
  if (size < kDirectoryBytes || U16(data) != 0 || U16(data + 2) != 1) return 0;
  const std::uint32_t count = U16(data + 4);
  if (kDirectoryBytes + std::uint64_t{count} * kEntryBytes > size) return 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = data + kDirectoryBytes + i * kEntryBytes;
    if (entry[0] != kSide || entry[1] != kSide) continue;  // 0 would mean 256
    const std::uint64_t bytes = U32(entry + 8), offset = U32(entry + 12);
    if (bytes == 0 || offset > size || bytes > size - offset) return 0;
    const std::uint8_t* image = data + offset;
    WindowIcon read;
    const bool png = bytes >= sizeof kPngSignature &&
                     std::memcmp(image, kPngSignature, sizeof kPngSignature) == 0;
    if (!(png ? ReadPng(image, bytes, &read) : ReadBitmap(image, bytes, &read))) return 0;
    *icon = read;
    return 1;
  }
  return 0;
}

std::uint32_t ReadWindowIcon(const char* path, WindowIcon* icon) {
  // A FIFO or a device in the icon's place is no icon, and is never waited on.
  std::FILE* file = OpenRegularStreamForReading(path);
  if (file == nullptr) return 0;
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0 &&
         bytes.size() + n <= kWindowIconFileMax)
    bytes.insert(bytes.end(), chunk, chunk + n);
  const bool whole = n == 0 && std::feof(file) != 0;
  std::fclose(file);
  return whole ? ParseWindowIcon(bytes.data(), bytes.size(), icon) : 0;
}

}  // namespace veskor
