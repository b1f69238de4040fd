// The session panels for the tests of the sessions: sized as the main interface makes them
// (the header image 1024 x 64, the log 1024 x 256, the progress panel 256 x 128), and text
// images drawn apart from the sessions, from the places, faces and levels the panels use, to
// compare the panels' images with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gui/text_view.h"

namespace veskor::test {

// Gives the three text panels their text images, empty.
void ConfigureSessionPanels();

// One text run of a reference image: face, style bits, level, place, text with its markup
// (or, with `markup` false, a text drawn as written, every character a glyph).
struct TextRun {
  const char* face;
  std::uint32_t style;
  float level;
  std::uint32_t x, y;
  std::string text;
  bool markup = true;
};
// The first channel of a 2^log2Width x 2^log2Height text image with the runs drawn in order
// in 10-point type.
std::vector<std::uint8_t> DrawnImage(std::uint32_t log2Width, std::uint32_t log2Height,
                                     const std::vector<TextRun>& runs);
// The view's text image as it stands (what changed is copied into its texture first).
std::vector<std::uint8_t> ViewImage(GuiTextView& view);

// The log with these lines, from y 10, 16 pixels apart, in times new roman at level 0.7.
std::vector<std::uint8_t> ExpectedLog(const std::vector<std::string>& lines);
// The header: each word in arial bold at (20, 12), then the status text as written (a
// backslash is a glyph) in arial at (100, 12).
std::vector<std::uint8_t> ExpectedHeader(const std::vector<std::string>& words,
                                         const std::string& status = "");
// Bytes that differ (all when the sizes differ).
std::size_t Differing(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);

}  // namespace veskor::test
