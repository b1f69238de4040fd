#include "session_panels.h"

#include <algorithm>
#include <functional>
#include <numeric>

#include "app/main_interface.h"
#include "gui/text_bitmap.h"
#include "gui/widget_textures.h"

namespace veskor::test {
namespace {

void MakeImage(GuiTextView& view, std::uint32_t log2Width, std::uint32_t log2Height) {
  ClearTextBitmap(view.textBitmap, 0);
  ResizeImageBuffer(view.textTexture, 1, log2Width, log2Height, 2);
  CreateTextBitmap(view.textBitmap, &view.textTexture);
}

std::vector<std::uint8_t> Pixels(const Texture2D& texture) {
  const auto* p = static_cast<const std::uint8_t*>(texture.pixels.data);
  const std::size_t n = std::size_t{1} << (texture.pixels.log2Width + texture.pixels.log2Height);
  return p != nullptr ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>{};
}

}  // namespace

void ConfigureSessionPanels() {
  MakeImage(StatusPanel, 10, 6);
  MakeImage(StatusText, 10, 8);
  MakeImage(ProgressPanel, 8, 7);
}

std::vector<std::uint8_t> DrawnImage(std::uint32_t log2Width, std::uint32_t log2Height,
                                     const std::vector<TextRun>& runs) {
  Texture2D texture;
  ResizeImageBuffer(texture, 1, log2Width, log2Height, 2);
  TextBitmap bitmap;
  CreateTextBitmap(bitmap, &texture);
  for (const TextRun& run : runs) {
    SetTextSize(bitmap, 10);
    SetTextFont(bitmap, run.face);
    SetTextStyle(bitmap, run.style);
    bitmap.textLevel = run.level;
    if (run.markup) {
      DrawMarkupTextAt(bitmap, run.x, run.y, run.text.c_str());
    } else {
      std::uint32_t width = 0, height = 0;
      DrawTextRun(bitmap, run.x, run.y, run.text.c_str(), &width, &height);
    }
  }
  FlushTextBitmap(bitmap);
  return Pixels(texture);
}

std::vector<std::uint8_t> ViewImage(GuiTextView& view) {
  FlushTextBitmap(view.textBitmap);
  return Pixels(view.textTexture);
}

std::vector<std::uint8_t> ExpectedLog(const std::vector<std::string>& lines) {
  std::vector<TextRun> runs;
  for (std::uint32_t i = 0; i < lines.size(); ++i)
    runs.push_back({"times new roman", 0, 0.7f, 10, 10 + 16 * i, lines[i]});
  return DrawnImage(10, 8, runs);
}

std::vector<std::uint8_t> ExpectedHeader(const std::vector<std::string>& words,
                                         const std::string& status) {
  std::vector<TextRun> runs;
  for (const std::string& word : words) runs.push_back({"arial", kTextBold, 1.0f, 20, 12, word});
  if (!status.empty()) runs.push_back({"arial", 0, 1.0f, 100, 12, status, false});
  return DrawnImage(10, 6, runs);
}

std::size_t Differing(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size()) return std::max(a.size(), b.size());
  return std::inner_product(a.begin(), a.end(), b.begin(), std::size_t{0}, std::plus<>(),
                            std::not_equal_to<>());
}

}  // namespace veskor::test
