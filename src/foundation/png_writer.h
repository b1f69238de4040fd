// The PNG writer: one image of 8-bit RGB or RGBA rows into a file. The unattended runs write
// the captured last frame with it.
#pragma once

#include <cstdint>
#include <string>

namespace veskor {

// Writes `pixels` (rows from the top of the image down, `width` x `channels` bytes each;
// channels 3 or 4) to `path`. Returns 1 on success; 0 for a null argument, an empty image,
// another channel count, an image that PNG cannot hold, or a file that cannot be written, with
// the reason in `*reason` when it is given. The file is replaced whole, or a FIFO or device
// written in place (ReplaceFileWhole): one that cannot be written stays as it was.
std::uint32_t SavePngFile(const char* path, const std::uint8_t* pixels, std::uint32_t width,
                          std::uint32_t height, std::uint32_t channels,
                          std::string* reason = nullptr);

// The zlib compression level of the images written (-1, zlib's default, unless changed); a
// test sets one that zlib refuses (10) to make an encoding fail after its header. Returns the
// level it replaces.
int SetPngCompressionLevel(int level);

}  // namespace veskor
