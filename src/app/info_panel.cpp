#include "app/info_panel.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/render_session.h"
#include "app/text_resources.h"
#include "gfx/gl_capabilities.h"
#include "gfx/texture_memory.h"
#include "gui/text_markup.h"
#include "language/world.h"
#include "mapengine/kernel_table.h"

namespace veskor {

char InfoLines[kInfoLineCount][kInfoLineBytes];
const char* const InfoLineTable[kInfoLineCount] = {
    InfoLines[0],  InfoLines[1],  InfoLines[2],  InfoLines[3],  InfoLines[4],  InfoLines[5],
    InfoLines[6],  InfoLines[7],  InfoLines[8],  InfoLines[9],  InfoLines[10], InfoLines[11],
    InfoLines[12], InfoLines[13], InfoLines[14], InfoLines[15], InfoLines[16], InfoLines[17],
    InfoLines[18], InfoLines[19], InfoLines[20], InfoLines[21], InfoLines[22], InfoLines[23]};
std::uint32_t InfoLineCount = 0;

namespace {

constexpr double kPerMega = 9.5367432e-07;  // 1 / 1048576
constexpr int kLabelChars = static_cast<int>(kTextResourceBytes - 1);

// The extension list's entries in their order; "compiled vertex array" stands only without
// "vertex array range".
struct ExtensionEntry {
  std::uint32_t bit;
  const char* name;
};
constexpr ExtensionEntry kExtensionEntries[] = {
    {kExtTextureCubeMap, "cube map"},
    {kExtTextureCompressionS3tc, "s3tc"},
    {kExtRegisterCombiners, "register combiners"},
    {kExtSecondaryColor, "2nd color"},
    {kExtTextureShader, "texture shader"},
    {kExtVertexArrayRange, "vertex array range"},
    {kExtCompiledVertexArray, "compiled vertex array"},
    {kExtPbuffer, "pbuffer"},
    {kExtMultisample, "FSAA"},
};

// Appends to a zero-terminated buffer, cutting what does not fit.
[[gnu::format(printf, 3, 4)]] void Append(char* out, std::size_t bytes, const char* format, ...) {
  const std::size_t used = std::strlen(out);
  if (used + 1 >= bytes) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(out + used, bytes - used, format, args);
  va_end(args);
}

const char* Label(std::uint32_t line) { return TextResources[kInfoLabelFirst + line].text; }

// Line `line`: its label, then the formatted value, cut to the line.
[[gnu::format(printf, 2, 3)]] void Line(std::uint32_t line, const char* format, ...) {
  char* out = InfoLines[line];
  std::snprintf(out, kInfoLineBytes, "%.*s", kLabelChars, Label(line));
  const std::size_t used = std::strlen(out);
  va_list args;
  va_start(args, format);
  std::vsnprintf(out + used, kInfoLineBytes - used, format, args);
  va_end(args);
  InfoLineCount = line + 1;
}

// A line of the label alone.
void LabelLine(std::uint32_t line) {
  std::snprintf(InfoLines[line], kInfoLineBytes, "%.*s", kLabelChars, Label(line));
  InfoLineCount = line + 1;
}

// Line `line`: its label, the markup `style`, then `text` from the world or the driver as
// written, cut to the line.
void LiteralLine(std::uint32_t line, const char* style, const char* text) {
  Line(line, "%s", style);
  AppendMarkupLiteral(InfoLines[line], kInfoLineBytes, text);
}

void FillLines() {
  const bool ready = WorldReady != 0;
  const InfoRecord& info = gWorld.infos[0];
  LabelLine(0);
  if (ready) {
    char version[kInfoLineBytes] = "";
    FormatVersionText(version, sizeof version, gWorld.versionNumbers, gWorld.versionCount);
    LiteralLine(1, "\\3\\g\\b\\i", info.title);
    LiteralLine(2, "\\3\\g", info.fileName);
    LiteralLine(3, "\\3\\g", info.author);
    LiteralLine(4, "\\3\\g", info.date);
    LiteralLine(5, "\\3\\g", info.comment);
    Line(6, "\\3\\g\\b%s", version);
  } else {
    for (std::uint32_t i = 1; i <= 6; ++i) LabelLine(i);
  }
  LabelLine(7);
  Line(8, HasSse() != 0 ? "\\3\\gyes" : "\\3\\gno");
  LabelLine(9);
  if (ready) {
    const double session = RenderSessionTime;
    const double environment = EnvironmentStageTime;
    const double shaders = ShaderStageTime;
    Line(10, "\\5\\g%.3f s", session - shaders - environment);
    Line(11, "\\5\\g%.3f s", environment);
    Line(12, "\\5\\g%.3f s", shaders);
    Line(13, "\\5\\g%.3f s", session);
  } else {
    for (std::uint32_t i = 10; i <= 13; ++i) Line(i, "\\5\\g0.0 s");
  }
  LabelLine(14);
  LiteralLine(15, "\\3\\g", gMainPlane.version);
  LiteralLine(16, "\\3\\g", gMainPlane.vendor);
  LiteralLine(17, "\\3\\g", gMainPlane.renderer);
  Line(18, "\\3\\g\\i");
  AppendExtensionList(InfoLines[18], kInfoLineBytes, gMainPlane.extensionMask);
  Line(19, "\\3\\g%u", TextureUnitCount);
  if (ready) {
    const TextureMemoryCounters& m = TextureMemory;
    Line(20, "\\3\\g%u\\5%.2f Mb", GeometryCount, m.varBytes * kPerMega);
    Line(21, "\\3\\g%.2f MTexels\\5%.2f Mb", m.texels * kPerMega, m.bytes * kPerMega);
    Line(22, "\\5\\g%.2f Mb", m.vertexBytes * kPerMega);
    Line(23, "\\b\\5\\g%.2f Mb",
         (static_cast<double>(m.vertexBytes) + m.bytes + m.varBytes) * kPerMega);
  } else {
    for (std::uint32_t i = 20; i <= 23; ++i) LabelLine(i);
  }
}

}  // namespace

void FormatVersionText(char* out, std::size_t bytes, const std::uint32_t* numbers,
                       std::uint32_t count) {
  if (bytes == 0) return;
  out[0] = '\0';
  for (std::uint32_t i = 0; i < count; ++i) {
    if (i == 0) {
      Append(out, bytes, "%u\\<\\g", numbers[0]);
    } else {
      Append(out, bytes, " . %u", numbers[i]);
    }
  }
}

void AppendExtensionList(char* out, std::size_t bytes, std::uint32_t mask) {
  std::uint32_t written = 0;
  for (const ExtensionEntry& e : kExtensionEntries) {
    if ((mask & e.bit) == 0) continue;
    if (e.bit == kExtCompiledVertexArray && (mask & kExtVertexArrayRange) != 0) continue;
    if (written != 0) Append(out, bytes, "%s", written % 4 == 0 ? "\\n\\3" : ", ");
    Append(out, bytes, "%s", e.name);
    ++written;
  }
}

void ShowInfoPanel() {
  FillLines();
  if (WorldReady != 0) {
    SetTextLinesTable(InfoPanel, InfoLineTable, InfoLineCount);
    return;
  }
  const TextListColours colours{{90 / 255.0f, 90 / 255.0f, 110 / 255.0f, 0.8f},
                                {1.0f, 1.0f, 1.0f},
                                {1.0f, 0.6f, 0.05f}};
  SetTextLines(InfoPanel, &gMainPlane, {0, 0, 40, 0}, {0, 0, 150, 0}, InfoLineTable,
               InfoLineCount, colours);
}

}  // namespace veskor
