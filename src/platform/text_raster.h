// Text drawn into bitmaps: 8-bit coverage surfaces, fonts by face name over FreeType with the
// Liberation faces, text extents with tab stops, fills and pen lines. The interface's text
// bitmaps draw through it. No FreeType type leaves this module.
//
// Surfaces hold one level (0..255) a pixel, rows from the top. Every drawing operation is
// clipped to its surface; coordinates outside it are allowed.
#pragma once

#include <cstdint>

namespace veskor {

struct TextSurface;
struct TextFont;

// The largest surface side and the largest font, in pixels: a larger surface is refused, a
// larger font is made at this size.
inline constexpr std::uint32_t kTextSurfaceMaxSide = 16384;
inline constexpr std::uint32_t kTextFontMaxPixels = 1024;

// A surface of width x height pixels, all 0. Null for a side of 0 or above kTextSurfaceMaxSide,
// or when the memory cannot be had.
TextSurface* TextSurfaceCreate(std::uint32_t width, std::uint32_t height);
void TextSurfaceDestroy(TextSurface* surface);
std::uint32_t TextSurfaceWidth(const TextSurface* surface);
std::uint32_t TextSurfaceHeight(const TextSurface* surface);
// The level at (x, y); 0 outside the surface.
std::uint8_t TextSurfacePixel(const TextSurface* surface, std::int64_t x, std::int64_t y);

// Row y of the surface (width levels); null outside it.
const std::uint8_t* TextSurfaceRow(const TextSurface* surface, std::uint32_t y);

// Fills the pixels x0 <= x < x1, y0 <= y < y1 with `level`.
void TextSurfaceFill(TextSurface* surface, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                     std::int64_t y1, std::uint8_t level);

// Lines through `count` points (x, y pairs) with a square pen of `penWidth` pixels (0 counts
// as 1); each segment leaves out its last point, so a closed outline must repeat its start.
void TextSurfacePolyline(TextSurface* surface, const std::int64_t* points, std::uint32_t count,
                         std::uint32_t penWidth, std::uint8_t level);

// Face names are matched without case: "arial" is Liberation Sans, "times new roman"
// Liberation Serif. A face whose file cannot be had falls back to an installed sans face;
// the cause is written to stderr once and kept in TextFontFallbackNote. `pixels` is the
// character (em) height, clamped to 1..kTextFontMaxPixels. Null when no face at all can be
// opened; TextRasterError then says which file and why.
TextFont* TextFontOpen(const char* face, std::uint32_t pixels, bool bold, bool italic);
void TextFontClose(TextFont* font);
const char* TextFontFile(const TextFont* font);
// Why a fallback face serves this font; empty when the requested face does.
const char* TextFontFallbackNote(const TextFont* font);
const char* TextRasterError();

struct TextExtent {
  std::uint32_t width;
  std::uint32_t height;  // the font's ascent + descent
};

// Width and height of a line of text (bytes in code page 1252, up to its terminating zero).
// A tab moves to the next multiple of eight average character widths from the text's start.
// An empty text measures 0 x 0.
TextExtent TextMeasure(TextFont* font, const char* text);

// Draws the text with its top-left at (x, y): the extent's box is filled with `paper`, then
// the glyphs are blended in `ink` by their coverage. Returns the extent. A null surface
// draws nothing.
TextExtent TextDraw(TextSurface* surface, TextFont* font, std::int64_t x, std::int64_t y,
                    const char* text, std::uint8_t ink, std::uint8_t paper);

// Where faces are looked for: the directory of the Liberation files, and the directory tree
// searched for a sans face when one of them cannot be opened. Null restores the system's.
// Faces already opened stay as they are.
void TextRasterSetFontDirectories(const char* liberationDir, const char* fallbackRoot);

}  // namespace veskor
