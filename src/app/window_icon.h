// The window icon file ("wld Final.ico" beside the program): an icon directory whose images are
// bitmaps or PNG files; the 16 x 16 image is the window's icon. Nothing in the file is trusted:
// every count, size and offset is checked against the file's length before use, and a file
// that does not hold a readable 16 x 16 image gives no icon (which is not an error).
#pragma once

#include <cstddef>
#include <cstdint>

namespace veskor {

inline constexpr std::uint32_t kWindowIconSide = 16;
// A larger file is not read.
inline constexpr std::size_t kWindowIconFileMax = std::size_t{1} << 24;

// RGBA pixels, rows from the top.
struct WindowIcon {
  std::uint8_t rgba[kWindowIconSide * kWindowIconSide * 4];
};

// 1 with `icon` filled when the bytes of an icon file hold a readable 16 x 16 image, else 0.
std::uint32_t ParseWindowIcon(const std::uint8_t* data, std::size_t size, WindowIcon* icon);
// The same for the file at `path`; 0 when it cannot be read or is not a regular file.
std::uint32_t ReadWindowIcon(const char* path, WindowIcon* icon);

}  // namespace veskor
