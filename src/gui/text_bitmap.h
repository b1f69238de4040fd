// TextBitmap: the off-screen surface every interface text is drawn into, bound to the
// one-channel Texture2D the widgets draw. It keeps the font state (face, size, bold and
// italic), the ink and paper levels, a pen position, and the rectangle that changed since the
// bitmap was created, which is all that is copied into the texture.
//
// Levels are 0..1; the texture's first byte of each texel receives level x 255. Sizes are in
// points, drawn at 96 pixels per inch.
#pragma once

#include <cstdint>

#include "gfx/texture_object.h"

namespace veskor {

struct TextSurface;
struct TextFont;

enum : std::uint32_t { kTextItalic = 1, kTextBold = 2 };
inline constexpr std::uint32_t kTextFaceNameCapacity = 32;  // with the terminating zero
inline constexpr std::uint32_t kTextColumnPixels = 64;      // a column escape's step
inline constexpr std::uint32_t kTextLineGap = 4;            // pixels between lines
inline constexpr std::uint8_t kTextGreyInk = 127;

struct TextBitmap {
  TextBitmap();
  ~TextBitmap();
  TextBitmap(const TextBitmap&) = delete;
  TextBitmap& operator=(const TextBitmap&) = delete;

  Texture2D* texture = nullptr;               // its log2 sizes give the surface's size
  TextSurface* surface = nullptr;             // null until created, and with no texture
  TextFont* font = nullptr;                   // null when it has to be (re)created
  std::uint32_t style = 0;                    // kTextItalic, kTextBold
  std::uint32_t size = 0;                     // points
  std::uint32_t savedSize = 0;                // the size a markup text started at
  std::uint32_t grey = 0;                     // draw with kTextGreyInk instead of the text level
  char faceName[kTextFaceNameCapacity] = {};  // empty: the default font, none created
  float textLevel = 1.0f;
  float backgroundLevel = 0.0f;
  std::uint32_t changed = 0;                                   // the changed rectangle is valid
  std::uint32_t firstX = 0, firstY = 0, lastX = 0, lastY = 0;  // inclusive, in the surface
  std::uint32_t penX = 0, penY = 0;
  std::uint32_t margin = 0;  // x at which a new line starts
  std::uint32_t lastWidth = 0, lastHeight = 0;
};

// Binds the bitmap to `texture` with a surface of its size, all black, and zeroes the
// texture's first 2^(log2 width + log2 height) bytes; levels 1 and 0, nothing changed. A null
// texture gives a bitmap without surface (1). 0 when the surface cannot be made.
std::uint32_t CreateTextBitmap(TextBitmap& bitmap, Texture2D* texture);
// With `erase`: the changed rectangle is erased to the background and copied into the
// texture, which is bound (uploading it; needs GL). Then the surface is released and the
// texture, changed rectangle, size, style and grey cleared. The font survives.
void ClearTextBitmap(TextBitmap& bitmap, std::uint32_t erase);
// Releases the font and zeroes pen, margin and last extent.
void ResetTextFont(TextBitmap& bitmap);

// Each drops the font when the value changes; the next run creates the new one. Face names
// are cut to 31 characters.
void SetTextSize(TextBitmap& bitmap, std::uint32_t points);
void SetTextStyle(TextBitmap& bitmap, std::uint32_t bits);
void SetTextFont(TextBitmap& bitmap, const char* face);
// Creates the font when there is none and the face name is not empty. A font that cannot be
// had at all ends the program with "Font Error !", the face and the cause.
void SelectTextFont(TextBitmap& bitmap);

// One run without markup at (x, y): drawn, its extent added to the changed rectangle and
// returned, the texture marked dirty.
void DrawTextRun(TextBitmap& bitmap, std::uint32_t x, std::uint32_t y, const char* text,
                 std::uint32_t* width, std::uint32_t* height);
// The run's extent without drawing; also returned as width | height << 16 (each cut to 16
// bits).
std::uint32_t MeasureTextRun(TextBitmap& bitmap, std::uint32_t x, std::uint32_t y, const char* text,
                             std::uint32_t* width, std::uint32_t* height);

// Applies markup codes to the bitmap's state as the drawing does.
void ApplyMarkupCodes(TextBitmap& bitmap, const std::uint8_t* codes, const std::uint8_t* digits,
                      std::uint32_t count);
// Splits the text into TextMarkup, drawing nothing.
void MeasureMarkupText(TextBitmap& bitmap, const char* text);
// Draws a marked-up text with its top-left at (x, y) and returns its extent. Every markup
// text starts plain at the bitmap's size; the size is restored at the end.
void DrawMarkupText(TextBitmap& bitmap, std::uint32_t x, std::uint32_t y, const char* text,
                    std::uint32_t* width, std::uint32_t* height);
// The extent DrawMarkupText would return, with the same pen and size changes, drawing nothing.
void MeasureText(TextBitmap& bitmap, std::uint32_t x, std::uint32_t y, const char* text,
                 std::uint32_t* width, std::uint32_t* height);
void DrawMarkupTextAt(TextBitmap& bitmap, std::uint32_t x, std::uint32_t y, const char* text);

// The outline of the rectangle (x0, y0)-(x1, y1), corners included, with a pen of that width
// in the text level.
void DrawTextPolyline(TextBitmap& bitmap, std::uint32_t penWidth, std::uint32_t x0,
                      std::uint32_t y0, std::uint32_t x1, std::uint32_t y1);
// x0..x1 x y0..y1 inclusive in the text level, added to the changed rectangle.
void FillTextRect(TextBitmap& bitmap, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                  std::uint32_t y1);
// Only while something changed: x0..x1 x y0..y1 inclusive in the background level.
void EraseTextRect(TextBitmap& bitmap, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                   std::uint32_t y1);
// The changed rectangle (inclusive) in the background level; pen, margin and extent zeroed.
void EraseTextBitmap(TextBitmap& bitmap);
// The whole surface black, marking nothing.
void BlackenTextBitmap(TextBitmap& bitmap);
void AddDirtyRect(TextBitmap& bitmap, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1,
                  std::uint32_t y1);
// The changed rectangle into the texture's pixels (first byte of each texel).
void FlushTextBitmap(TextBitmap& bitmap);
// When the texture is dirty, FlushTextBitmap; then the texture is bound (uploading it when it
// is dirty or its names were renewed). Needs GL.
void UploadBitmapTexture(TextBitmap& bitmap);

}  // namespace veskor
