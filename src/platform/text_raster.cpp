#include "platform/text_raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

namespace veskor {

struct TextSurface {
  std::uint32_t width;
  std::uint32_t height;
  std::vector<std::uint8_t> pixels;
};

namespace {

constexpr const char* kLiberationDir = "/usr/share/fonts/truetype/liberation2";
constexpr const char* kFallbackRoot = "/usr/share/fonts";
// Sized faces kept open while no font refers to them, for the next font of the same file
// and size.
constexpr std::size_t kIdleFaceLimit = 32;

struct Glyph {
  bool loaded = false;
  std::int64_t advance = 0;
  std::int64_t left = 0;  // from the pen to the coverage's first column
  std::int64_t top = 0;   // from the baseline up to the coverage's first row
  std::uint32_t width = 0;
  std::uint32_t rows = 0;
  std::vector<std::uint8_t> coverage;
};

// One face file opened at one pixel size, with the glyphs of the 256 byte codes rendered on
// first use.
struct SizedFace {
  std::string path;
  std::uint32_t pixels = 0;
  FT_Face face = nullptr;
  std::int64_t ascent = 0;
  std::int64_t descent = 0;
  std::int64_t tabWidth = 0;
  std::uint32_t refs = 0;
  std::uint64_t lastUse = 0;
  Glyph glyphs[256];
};

struct Resolution {
  std::string path;
  std::string note;
};

struct FontSystem {
  FT_Library library = nullptr;
  std::string liberationDir = kLiberationDir;
  std::string fallbackRoot = kFallbackRoot;
  std::map<std::string, Resolution> resolutions;  // by face name (lower case) and style
  std::vector<std::unique_ptr<SizedFace>> faces;
  std::uint64_t clock = 0;
  std::string error;
};

// Never destroyed: fonts held by global objects are closed by their destructors at exit.
FontSystem& System() {
  static FontSystem* system = new FontSystem;
  return *system;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const char* StyleName(bool bold, bool italic) {
  return bold ? (italic ? "bold italic" : "bold") : (italic ? "italic" : "regular");
}

// Code page 1252 to Unicode: 0x80..0x9F differ from Latin-1 (unassigned codes stay as they are).
FT_ULong Unicode(std::uint8_t c) {
  static constexpr std::uint16_t k80[32] = {
      0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  return (c >= 0x80 && c < 0xA0) ? k80[c - 0x80] : c;
}

FT_Face OpenFace(FontSystem& sys, const std::string& path, std::string* why) {
  if (sys.library == nullptr && FT_Init_FreeType(&sys.library) != 0) {
    sys.library = nullptr;
    if (why) *why = "FreeType cannot start";
    return nullptr;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    if (why) *why = path + " not found";
    return nullptr;
  }
  FT_Face face = nullptr;
  const FT_Error e = FT_New_Face(sys.library, path.c_str(), 0, &face);
  if (e != 0) {
    if (why) *why = path + " is not a font FreeType can read (error " + std::to_string(e) + ")";
    return nullptr;
  }
  if (!FT_IS_SCALABLE(face) || FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
    FT_Done_Face(face);
    if (why) *why = path + " is not a scalable Unicode font";
    return nullptr;
  }
  return face;
}

// Sans faces under the fallback root, the requested style first, then shorter names.
std::vector<std::string> SansCandidates(const std::string& root, bool bold, bool italic) {
  struct Candidate {
    int score;
    std::string name, path;
  };
  std::vector<Candidate> found;
  std::error_code ec;
  namespace fs = std::filesystem;
  for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const std::string name = Lower(it->path().filename().string());
    const std::string ext = Lower(it->path().extension().string());
    if ((ext != ".ttf" && ext != ".otf") || name.find("sans") == std::string::npos ||
        name.find("mono") != std::string::npos)
      continue;
    const bool b = name.find("bold") != std::string::npos;
    const bool i =
        name.find("italic") != std::string::npos || name.find("oblique") != std::string::npos;
    found.push_back({(b == bold ? 2 : 0) + (i == italic ? 1 : 0), name, it->path().string()});
  }
  std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
    if (a.score != b.score) return a.score > b.score;
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return a.path < b.path;
  });
  std::vector<std::string> paths;
  for (const auto& c : found) paths.push_back(c.path);
  return paths;
}

// The file that serves a face name and style; false (with sys.error set) when none opens.
bool Resolve(FontSystem& sys, const std::string& face, bool bold, bool italic, Resolution& out) {
  const std::string lower = Lower(face);
  const std::string key = lower + '\n' + StyleName(bold, italic);
  if (auto it = sys.resolutions.find(key); it != sys.resolutions.end()) {
    out = it->second;
    return true;
  }
  std::string family;
  if (lower == "arial") family = "LiberationSans";
  if (lower == "times new roman") family = "LiberationSerif";
  std::string why = "no face file is known by that name";
  if (!family.empty()) {
    const char* suffix = bold ? (italic ? "BoldItalic" : "Bold") : (italic ? "Italic" : "Regular");
    const std::string path = sys.liberationDir + "/" + family + "-" + suffix + ".ttf";
    if (FT_Face f = OpenFace(sys, path, &why)) {
      FT_Done_Face(f);
      out = {path, ""};
      sys.resolutions[key] = out;
      return true;
    }
  }
  const std::string what = "font '" + face + "' " + StyleName(bold, italic) + ": " + why;
  for (const std::string& path : SansCandidates(sys.fallbackRoot, bold, italic)) {
    if (FT_Face f = OpenFace(sys, path, nullptr)) {
      FT_Done_Face(f);
      out = {path, what + "; using " + path};
      std::fprintf(stderr, "veskor: %s\n", out.note.c_str());
      sys.resolutions[key] = out;
      return true;
    }
  }
  sys.error = what + ", and no sans face opens under " + sys.fallbackRoot;
  return false;
}

void DropIdleFaces(FontSystem& sys) {
  for (;;) {
    std::size_t idle = 0;
    auto oldest = sys.faces.end();
    for (auto it = sys.faces.begin(); it != sys.faces.end(); ++it) {
      if ((*it)->refs != 0) continue;
      ++idle;
      if (oldest == sys.faces.end() || (*it)->lastUse < (*oldest)->lastUse) oldest = it;
    }
    if (idle <= kIdleFaceLimit) return;
    FT_Done_Face((*oldest)->face);
    sys.faces.erase(oldest);
  }
}

SizedFace* SizedFaceFor(FontSystem& sys, const std::string& path, std::uint32_t pixels) {
  for (auto& f : sys.faces)
    if (f->path == path && f->pixels == pixels) return f.get();
  std::string why;
  FT_Face face = OpenFace(sys, path, &why);
  if (face == nullptr || FT_Set_Pixel_Sizes(face, 0, pixels) != 0) {
    if (face != nullptr) FT_Done_Face(face);
    sys.error = face == nullptr ? why : path + ": no " + std::to_string(pixels) + " pixel size";
    return nullptr;
  }
  auto f = std::make_unique<SizedFace>();
  f->path = path;
  f->pixels = pixels;
  f->face = face;
  const FT_Size_Metrics& m = face->size->metrics;
  f->ascent = (m.ascender + 63) >> 6;
  f->descent = (-m.descender + 63) >> 6;
  // Tab stops every eight average character widths, as the system's tabbed text extents.
  std::int64_t average = 0;
  if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)))
    average =
        (std::int64_t{os2->xAvgCharWidth} * pixels + face->units_per_EM / 2) / face->units_per_EM;
  f->tabWidth = 8 * average;
  sys.faces.push_back(std::move(f));
  return sys.faces.back().get();
}

const Glyph& GlyphFor(SizedFace& f, std::uint8_t c) {
  Glyph& g = f.glyphs[c];
  if (g.loaded) return g;
  g.loaded = true;
  const FT_UInt index = FT_Get_Char_Index(f.face, Unicode(c));
  if (FT_Load_Glyph(f.face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0) return g;
  FT_GlyphSlot slot = f.face->glyph;
  g.advance = (slot->advance.x + 32) >> 6;
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return g;
  const FT_Bitmap& b = slot->bitmap;
  if (b.pixel_mode != FT_PIXEL_MODE_GRAY) return g;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = b.width;
  g.rows = b.rows;
  g.coverage.resize(std::size_t{b.width} * b.rows);
  for (std::uint32_t y = 0; y < b.rows; ++y) {
    const unsigned char* row = b.buffer + static_cast<std::ptrdiff_t>(y) * b.pitch;
    std::copy(row, row + b.width, g.coverage.begin() + std::ptrdiff_t{y} * b.width);
  }
  return g;
}

// Calls each(glyph, pen) for every glyph of the text and returns the width.
template <class Each>
std::int64_t WalkText(SizedFace& f, const char* text, Each each) {
  std::int64_t pen = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    const auto c = static_cast<std::uint8_t>(*p);
    if (c == '\t') {
      if (f.tabWidth > 0) pen = (pen / f.tabWidth + 1) * f.tabWidth;
      continue;
    }
    const Glyph& g = GlyphFor(f, c);
    each(g, pen);
    pen += g.advance;
  }
  return pen;
}

std::uint32_t ClampU32(std::int64_t v) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(v, 0, UINT32_MAX));
}

void Blend(TextSurface& s, const Glyph& g, std::int64_t x, std::int64_t y, std::uint8_t ink) {
  const std::int64_t x0 = std::max<std::int64_t>(x, 0);
  const std::int64_t y0 = std::max<std::int64_t>(y, 0);
  const std::int64_t x1 = std::min<std::int64_t>(x + g.width, s.width);
  const std::int64_t y1 = std::min<std::int64_t>(y + g.rows, s.height);
  for (std::int64_t py = y0; py < y1; ++py) {
    const std::uint8_t* cov = g.coverage.data() + (py - y) * g.width;
    std::uint8_t* dst = s.pixels.data() + py * s.width;
    for (std::int64_t px = x0; px < x1; ++px) {
      const int a = cov[px - x];
      const int d = dst[px];
      dst[px] = static_cast<std::uint8_t>(d + ((ink - d) * a + (ink >= d ? 127 : -127)) / 255);
    }
  }
}

}  // namespace

struct TextFont {
  SizedFace* sized;
  std::string note;
};

TextSurface* TextSurfaceCreate(std::uint32_t width, std::uint32_t height) {
  if (width == 0 || height == 0 || width > kTextSurfaceMaxSide || height > kTextSurfaceMaxSide)
    return nullptr;
  try {
    auto* s = new TextSurface{width, height, {}};
    try {
      s->pixels.assign(std::size_t{width} * height, 0);
    } catch (const std::bad_alloc&) {
      delete s;
      return nullptr;
    }
    return s;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void TextSurfaceDestroy(TextSurface* surface) { delete surface; }
std::uint32_t TextSurfaceWidth(const TextSurface* s) { return s ? s->width : 0; }
std::uint32_t TextSurfaceHeight(const TextSurface* s) { return s ? s->height : 0; }

std::uint8_t TextSurfacePixel(const TextSurface* s, std::int64_t x, std::int64_t y) {
  if (s == nullptr || x < 0 || y < 0 || x >= s->width || y >= s->height) return 0;
  return s->pixels[static_cast<std::size_t>(y * s->width + x)];
}

const std::uint8_t* TextSurfaceRow(const TextSurface* s, std::uint32_t y) {
  if (s == nullptr || y >= s->height) return nullptr;
  return s->pixels.data() + std::size_t{y} * s->width;
}

void TextSurfaceFill(TextSurface* s, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                     std::int64_t y1, std::uint8_t level) {
  if (s == nullptr) return;
  x0 = std::max<std::int64_t>(x0, 0);
  y0 = std::max<std::int64_t>(y0, 0);
  x1 = std::min<std::int64_t>(x1, s->width);
  y1 = std::min<std::int64_t>(y1, s->height);
  if (x0 >= x1) return;
  for (std::int64_t y = y0; y < y1; ++y)
    std::fill_n(s->pixels.begin() + (y * s->width + x0), x1 - x0, level);
}

void TextSurfacePolyline(TextSurface* s, const std::int64_t* points, std::uint32_t count,
                         std::uint32_t penWidth, std::uint8_t level) {
  if (s == nullptr) return;
  const std::int64_t w = std::max<std::uint32_t>(penWidth, 1);
  const std::int64_t lo = -(w - 1) / 2;
  auto stamp = [&](std::int64_t x, std::int64_t y) {
    TextSurfaceFill(s, x + lo, y + lo, x + lo + w, y + lo + w, level);
  };
  for (std::uint32_t i = 0; i + 1 < count; ++i) {
    const std::int64_t ax = points[2 * i], ay = points[2 * i + 1];
    const std::int64_t bx = points[2 * i + 2], by = points[2 * i + 3];
    const std::int64_t dx = bx - ax, dy = by - ay;
    if (dx == 0 && dy == 0) continue;
    if (dx == 0 || dy == 0) {  // straight: one fill, the end point left out
      const std::int64_t x0 = dx < 0 ? bx + 1 : ax, x1 = dx > 0 ? bx - 1 : ax;
      const std::int64_t y0 = dy < 0 ? by + 1 : ay, y1 = dy > 0 ? by - 1 : ay;
      TextSurfaceFill(s, x0 + lo, y0 + lo, x1 + lo + w, y1 + lo + w, level);
      continue;
    }
    // Step along the major axis, only over the part that can touch the surface.
    const bool alongX = std::abs(dx) >= std::abs(dy);
    const std::int64_t major = alongX ? dx : dy, minor = alongX ? dy : dx;
    const std::int64_t m0 = alongX ? ax : ay, n0 = alongX ? ay : ax;
    const std::int64_t limit = (alongX ? s->width : s->height) + w;
    const std::int64_t step = major > 0 ? 1 : -1;
    std::int64_t first = 0, last = std::abs(major) - 1;
    const std::int64_t enter = step > 0 ? -w - m0 : m0 - limit;
    const std::int64_t leave = step > 0 ? limit - m0 : m0 + w;
    first = std::max(first, enter);
    last = std::min(last, leave);
    for (std::int64_t k = first; k <= last; ++k) {
      const std::int64_t num = k * std::abs(minor) * 2 + std::abs(major);
      const std::int64_t off = (num / (2 * std::abs(major))) * (minor > 0 ? 1 : -1);
      const std::int64_t m = m0 + k * step, n = n0 + off;
      alongX ? stamp(m, n) : stamp(n, m);
    }
  }
}

TextFont* TextFontOpen(const char* face, std::uint32_t pixels, bool bold, bool italic) {
  FontSystem& sys = System();
  Resolution r;
  if (!Resolve(sys, face ? face : "", bold, italic, r)) return nullptr;
  pixels = std::clamp<std::uint32_t>(pixels, 1, kTextFontMaxPixels);
  SizedFace* sized = SizedFaceFor(sys, r.path, pixels);
  if (sized == nullptr) return nullptr;
  ++sized->refs;
  sized->lastUse = ++sys.clock;
  DropIdleFaces(sys);
  return new TextFont{sized, r.note};
}

void TextFontClose(TextFont* font) {
  if (font == nullptr) return;
  --font->sized->refs;
  delete font;
  DropIdleFaces(System());
}

const char* TextFontFile(const TextFont* font) { return font->sized->path.c_str(); }
const char* TextFontFallbackNote(const TextFont* font) { return font->note.c_str(); }
const char* TextRasterError() { return System().error.c_str(); }

TextExtent TextMeasure(TextFont* font, const char* text) {
  if (text == nullptr || text[0] == '\0') return {0, 0};
  SizedFace& f = *font->sized;
  const std::int64_t width = WalkText(f, text, [](const Glyph&, std::int64_t) {});
  return {ClampU32(width), ClampU32(f.ascent + f.descent)};
}

TextExtent TextDraw(TextSurface* surface, TextFont* font, std::int64_t x, std::int64_t y,
                    const char* text, std::uint8_t ink, std::uint8_t paper) {
  const TextExtent e = TextMeasure(font, text);
  if (surface == nullptr || e.width == 0) return e;
  TextSurfaceFill(surface, x, y, x + e.width, y + e.height, paper);
  SizedFace& f = *font->sized;
  WalkText(f, text, [&](const Glyph& g, std::int64_t pen) {
    Blend(*surface, g, x + pen + g.left, y + f.ascent - g.top, ink);
  });
  return e;
}

void TextRasterSetFontDirectories(const char* liberationDir, const char* fallbackRoot) {
  FontSystem& sys = System();
  sys.liberationDir = liberationDir ? liberationDir : kLiberationDir;
  sys.fallbackRoot = fallbackRoot ? fallbackRoot : kFallbackRoot;
  sys.resolutions.clear();
}

}  // namespace veskor
