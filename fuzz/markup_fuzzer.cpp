// Feeds arbitrary text to the interface markup parser, then draws every piece it made onto a
// small surface with a font of the piece's size, at pen positions that may leave the surface.
// Any crash or sanitizer report is a fault of the parser, the tables' bounds or the clipping.
// Then the text, quoted as outside text is, must come back whole as one literal piece.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui/text_markup.h"
#include "platform/text_raster.h"

namespace {

veskor::TextSurface* gSurface = nullptr;
veskor::TextFont* gFonts[4] = {};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gSurface = veskor::TextSurfaceCreate(64, 32);
  for (int style = 0; style < 4; ++style) {
    gFonts[style] = veskor::TextFontOpen("arial", 6 + 9 * style, style & 2, style & 1);
    if (gFonts[style] == nullptr) std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // up to the first zero
  veskor::SplitMarkupText(text.c_str());
  const veskor::TextMarkupTables& t = veskor::TextMarkup;
  if (t.pieceCount > veskor::kMarkupPieceCapacity) std::abort();
  std::int64_t x = -20, y = -10;
  int style = 0;
  for (std::uint32_t i = 0; i < t.pieceCount; ++i) {
    if (t.codeCount[i] > veskor::kMarkupCodeCapacity) std::abort();
    for (std::uint32_t k = 0; k < t.codeCount[i]; ++k) {
      if (t.codes[i][k] == veskor::kMarkupColumn) x = t.digits[i][k] * 64 - 300;
      if (t.codes[i][k] == veskor::kMarkupNewLine) y += 9;
      style = (style + t.codes[i][k]) & 3;
    }
    x += veskor::TextDraw(gSurface, gFonts[style], x, y, t.text[i], 255, 0).width;
  }

  // The same text quoted after a run of the program's: one literal piece, as written (cut to
  // a piece's length), whatever escapes it holds.
  char quoted[1024] = "\\b\\n";
  veskor::AppendMarkupLiteral(quoted, sizeof quoted, text.c_str());
  veskor::SplitMarkupText(quoted);
  const std::string literal = text.substr(0, std::strlen(text.c_str()));
  if (t.pieceCount != 3 || t.codeCount[2] != 0 ||
      literal.compare(0, veskor::kMarkupPieceChars, t.text[2]) != 0)
    std::abort();
  return 0;
}
