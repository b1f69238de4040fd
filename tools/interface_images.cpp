// Draws every image of the program's interface as PNG files: under <image dir>/<language>/ the
// menu bar's buttons, toggles, focal-angle label and close button of each language, labelled
// with words of that language; under <image dir>/ the shared borders, progress tiles, slider
// and check-box pictures, the welcome pictures and the help page.
//
//   make_interface_images <image dir>
//
// Buttons, check boxes, slider pictures, progress tiles and the border strip are drawn through
// their whole power-of-two texture, so their sides are powers of two (a padded texture would
// show texels the picture never set); panels show just their picture and take any size.
// A mask is black where its picture is opaque, except the slider thumb's, which the slider
// blends the other way round (white is opaque).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "canvas.h"

namespace veskor::tools {
namespace {

constexpr Rgb kBar = Rgb8(113, 118, 143);  // the menu bar's colour
constexpr Rgb kPlate = Rgb8(74, 80, 108);
constexpr Rgb kPlateTop = Rgb8(98, 104, 136);
constexpr Rgb kLitPlate = Rgb8(112, 120, 160);
constexpr Rgb kLitPlateTop = Rgb8(150, 158, 198);
constexpr Rgb kInk = Rgb8(238, 240, 248);
constexpr Rgb kWarm = Rgb8(255, 192, 110);
constexpr Rgb kDark = Rgb8(30, 33, 46);
constexpr Rgb kEdge = Rgb8(168, 174, 206);
constexpr float kPlateOpacity = 0.72f;  // the plates let the bar show through a little

// The words of one language's images.
struct Language {
  const char* dir;
  const char* world;
  const char* view;
  const char* setup;
  const char* more;  // the product button: the product menu
  const char* examine;
  const char* saveView;
  const char* focal;
  const char* close;
};

const Language kLanguages[] = {
    {"en", "World", "View", "Setup", "More", "Examine", "Save view", "Focal", "Close"},
    {"es", "Mundo", "Vista", "Ajustes", "Más", "Examinar", "Guardar", "Ángulo", "Cerrar"},
    {"fr", "Monde", "Vue", "Réglages", "Plus", "Examiner", "Mémoriser", "Focale", "Fermer"},
    {"du", "Welt", "Ansicht", "Optionen", "Mehr", "Umkreisen", "Merken", "Winkel", "Schließen"},
};

ColourAt Vertical(Rgb top, Rgb bottom, float y0, float y1) {
  return
      [=](float, float y) { return Mix(top, bottom, std::clamp((y - y0) / (y1 - y0), 0.f, 1.f)); };
}

// An outline of `width` pixels just inside the shape.
Sdf Rim(const Sdf& shape, float width) {
  return [=](float x, float y) {
    const float d = shape(x, y);
    return std::max(d, -d - width);
  };
}

// Ellipse outline (approximate distance) for the globe's meridian.
Sdf EllipseRing(float cx, float cy, float a, float b, float width) {
  return [=](float x, float y) {
    // The level k of the ellipse through (x, y) over its gradient: the distance near the curve.
    const float k = std::hypot((x - cx) / a, (y - cy) / b);
    const float gradient = std::hypot((x - cx) / (a * a), (y - cy) / (b * b)) / std::max(k, 1e-6f);
    return std::fabs(k - 1.0f) / std::max(gradient, 1e-6f) - width * 0.5f;
  };
}

// ---- menu-bar buttons: 64 x 64, the top 10 rows above the screen ----

using Icon = Sdf (*)(float cx, float cy);

Sdf GlobeIcon(float cx, float cy) {
  const float r = 10;
  const Sdf inside = Disc(cx, cy, r - 0.5f);
  Sdf lines = Ring(cx, cy, r, 2.0f);
  lines = Union(lines, EllipseRing(cx, cy, 4.5f, r, 1.6f));
  lines = Union(lines, Intersect(Segment(cx - r, cy, cx + r, cy, 1.6f), inside));
  lines = Union(lines, Intersect(Segment(cx - r, cy - 5, cx + r, cy - 5, 1.4f), inside));
  return Union(lines, Intersect(Segment(cx - r, cy + 5, cx + r, cy + 5, 1.4f), inside));
}

Sdf EyeIcon(float cx, float cy) {
  const Sdf almond = Intersect(Disc(cx, cy + 8, 14), Disc(cx, cy - 8, 14));
  return Union(Union(Rim(almond, 1.8f), Ring(cx, cy, 4.6f, 1.8f)), Disc(cx, cy, 2.2f));
}

Sdf GearIcon(float cx, float cy) {
  Sdf gear = Disc(cx, cy, 7.5f);
  for (int i = 0; i < 8; ++i) {
    const float a = i * 3.14159265f / 4;
    gear = Union(gear, Segment(cx + 7 * std::cos(a), cy + 7 * std::sin(a), cx + 10.5f * std::cos(a),
                               cy + 10.5f * std::sin(a), 3.4f));
  }
  return Subtract(gear, Disc(cx, cy, 3.2f));
}

Sdf MountainIcon(float cx, float cy) {
  const Sdf peaks =
      Polygon({cx - 12, cy + 9, cx - 3, cy - 8, cx + 2, cy, cx + 5, cy - 4, cx + 13, cy + 9});
  return Union(peaks, Disc(cx + 8, cy - 9, 3.2f));
}

void MenuButton(const std::string& dir, const std::string& name, Icon icon, const char* word) {
  const std::string text = Cp1252(word);
  const std::uint32_t pixels = FitTextPixels(text, 54, 13, 8, true);
  const Sdf plate = RoundRect(3, 13, 61, 61, 9);
  // "_0" is the lit (hover) picture, "_1" the one shown otherwise.
  for (int lit = 0; lit < 2; ++lit) {
    const bool hover = lit == 0;
    Canvas c(64, 64, kBar);
    c.Paint(plate, Vertical(hover ? kLitPlateTop : kPlateTop, hover ? kLitPlate : kPlate, 13, 61),
            1, kPlateOpacity);
    c.Paint(Rim(plate, 1), hover ? kWarm : kEdge, 0.8f, kPlateOpacity);
    const Rgb ink = hover ? kWarm : kInk;
    c.Paint(icon(32, 30), ink);
    c.PaintTextCentred(text, pixels, true, 32, 51, ink);
    const std::string n = std::to_string(lit);
    c.WriteColour(dir + "inter_" + name + "_" + n + ".png");
    c.WriteMask(dir + "inter_" + name + "_mask_" + n + ".png");
  }
}

// ---- toggles (examine, save view), focal label, close button ----

// A plate of w x h with a word; `mark` draws the lit (checked or hovered) look.
Canvas LabelPlate(std::uint32_t w, std::uint32_t h, float textLeft, const std::string& text,
                  std::uint32_t maxPixels, bool mark) {
  Canvas c(w, h, kBar);
  const Sdf plate = RoundRect(0.5f, 0.5f, w - 0.5f, h - 0.5f, h * 0.3f);
  c.Paint(plate, Vertical(mark ? kLitPlateTop : kPlateTop, mark ? kLitPlate : kPlate, 0, h), 1,
          kPlateOpacity);
  c.Paint(Rim(plate, 1), mark ? kWarm : kEdge, 0.7f, kPlateOpacity);
  const float room = w - textLeft - 3;
  const std::uint32_t pixels =
      FitTextPixels(text, static_cast<std::uint32_t>(room), maxPixels, 8, true);
  c.PaintTextCentred(text, pixels, true, textLeft + room * 0.5f, h * 0.5f, mark ? kWarm : kInk);
  return c;
}

void Toggle(const std::string& dir, const std::string& name, const char* word) {
  const std::string text = Cp1252(word);
  for (int mark = 0; mark < 2; ++mark) {
    Canvas c = LabelPlate(64, 16, 13, text, 11, mark != 0);
    c.Paint(Disc(7.5f, 8, 3.2f), mark ? kWarm : kDark, 1, 1);
    if (mark == 0) c.Paint(Ring(7.5f, 8, 3.2f, 1.2f), kEdge);
    c.WriteColour(dir + "inter_" + name + "_" + std::to_string(mark) + ".png");
    if (mark == 0) c.WriteMask(dir + "inter_" + name + "_mask.png");
  }
}

void FocalLabel(const std::string& dir, const char* word) {
  Canvas c = LabelPlate(80, 24, 4, Cp1252(word) + ":", 13, false);
  c.WriteColour(dir + "inter_yfocal_0.png");
  c.WriteMask(dir + "inter_yfocal_mask.png");
}

void CloseButton(const std::string& dir, const char* word) {
  const std::string text = Cp1252(word);
  // "_1" is the lit (hover) picture here.
  for (int lit = 0; lit < 2; ++lit) {
    Canvas c = LabelPlate(64, 16, 14, text, 11, lit != 0);
    const Rgb ink = lit ? kWarm : kInk;
    c.Paint(Union(Segment(5, 5, 11, 11, 1.6f), Segment(5, 11, 11, 5, 1.6f)), ink);
    c.WriteColour(dir + "inter_close_" + std::to_string(lit) + ".png");
    if (lit == 0) c.WriteMask(dir + "inter_close_mask.png");
  }
}

void LanguageImages(const std::string& root, const Language& l) {
  const std::string dir = root + l.dir + "/";
  MakeDirectories(dir);
  MenuButton(dir, "world", GlobeIcon, l.world);
  MenuButton(dir, "view", EyeIcon, l.view);
  MenuButton(dir, "setup", GearIcon, l.setup);
  MenuButton(dir, "veskor", MountainIcon, l.more);
  Toggle(dir, "examine", l.examine);
  Toggle(dir, "saveview", l.saveView);
  FocalLabel(dir, l.focal);
  CloseButton(dir, l.close);
}

// ---- shared pictures ----

void Borders(const std::string& dir) {
  Canvas c(256, 4, kBar);
  const Rgb rows[4] = {Rgb8(236, 239, 250), Rgb8(196, 202, 226), Rgb8(156, 162, 192),
                       Rgb8(124, 130, 162)};
  c.Fill([&](float, float y) { return rows[static_cast<int>(y)]; }, 0);
  c.WriteColour(dir + "inter_border_0.png");
  // The status panel's border fades out towards both ends.
  Canvas mask(256, 4, kBar);
  mask.Paint([](float x, float) { return -std::min(x, 256 - x) / 48.0f + 0.5f; }, kBar, 1, 1);
  mask.WriteMask(dir + "inter_border_1.png");
}

void ProgressTiles(const std::string& dir) {
  const Rgb tops[2] = {Rgb8(176, 196, 246), Rgb8(255, 214, 140)};
  const Rgb bottoms[2] = {Rgb8(70, 92, 168), Rgb8(196, 104, 44)};
  for (int i = 0; i < 2; ++i) {
    Canvas c(8, 16, kBar);
    c.Fill(Vertical(tops[i], bottoms[i], 0, 16), 1);
    c.Paint(Segment(7.5f, 0, 7.5f, 16, 1), kDark, 0.45f);
    c.WriteColour(dir + "inter_progress_" + std::to_string(i) + ".png");
  }
}

void SliderPictures(const std::string& dir) {
  Canvas track(128, 32, kBar);
  const Sdf groove = RoundRect(1, 13.5f, 127, 18.5f, 2.5f);
  track.Paint(groove, kDark);
  track.Paint(Segment(3, 18.5f, 125, 18.5f, 1), kEdge, 0.5f);
  for (int i = 0; i <= 8; ++i) {  // the steps of 0.125 the sliders snap to
    const float x = std::clamp(i * 16.0f, 1.5f, 126.5f);
    track.Paint(Segment(x, 22, x, 26, 1.2f), kInk, i % 4 == 0 ? 0.9f : 0.5f);
  }
  track.WriteColour(dir + "inter_set_1.png");

  Canvas thumb(16, 32, kBar);
  const Sdf body = RoundRect(2.5f, 0, 13.5f, 32, 4);  // the full height: the hit column
  thumb.Paint(body, Vertical(Rgb8(236, 238, 246), Rgb8(150, 156, 186), 0, 32));
  thumb.Paint(Rim(body, 1), kDark, 0.8f);
  for (float y : {12.5f, 15.5f, 18.5f}) thumb.Paint(Segment(5.5f, y, 10.5f, y, 1), kDark, 0.6f);
  thumb.WriteColour(dir + "inter_set_2.png");
  thumb.WriteMask(dir + "inter_set_2_mask.png", true);
}

void CheckPictures(const std::string& dir) {
  const Sdf box = RoundRect(1.5f, 1.5f, 14.5f, 14.5f, 3);
  for (int hover = 0; hover < 2; ++hover) {
    Canvas c(16, 16, kBar);
    c.Paint(box, Vertical(kPlate, kDark, 0, 16));
    c.Paint(Rim(box, 1.2f), hover ? kWarm : kEdge);
    c.WriteColour(dir + "inter_check_" + std::to_string(hover) + ".png");
    if (hover == 0) c.WriteMask(dir + "inter_check_mask_0.png");
  }
  Canvas mark(16, 16, kBar);
  mark.Paint(Union(Segment(4, 8.5f, 7, 11.5f, 2.4f), Segment(7, 11.5f, 12.5f, 4.5f, 2.4f)), kWarm);
  mark.WriteColour(dir + "inter_check_2.png");
  mark.WriteMask(dir + "inter_check_mask_2.png");
}

// ---- welcome ----

// A small deterministic value noise for the ridges.
float Hash(int i) {
  std::uint32_t h = static_cast<std::uint32_t>(i) * 2654435761u;
  h ^= h >> 15;
  h *= 2246822519u;
  h ^= h >> 13;
  return (h & 0xFFFF) / 65535.0f;
}
float Noise1(float x) {
  const int i = static_cast<int>(std::floor(x));
  const float f = x - i, s = f * f * (3 - 2 * f);
  return Hash(i) + (Hash(i + 1) - Hash(i)) * s;
}
float Ridge(float x, float base, float scale, int seed) {
  float h = 0, amplitude = scale, frequency = 0.02f;
  for (int octave = 0; octave < 4; ++octave) {
    h += (Noise1(x * frequency + seed * 17.0f) - 0.5f) * amplitude;
    amplitude *= 0.5f;
    frequency *= 2.1f;
  }
  return base + h;
}

// The landscape of the welcome picture: sky, sun, two ranges of hills and a lake.
Rgb Landscape(float x, float y) {
  const float horizon = 128, sunX = 150, sunY = 80;
  if (y >= horizon) {  // the lake mirrors the sky darker, with the sun's streak
    const float depth = (y - horizon) / 52;
    Rgb water = Mix(Rgb8(92, 96, 132), Rgb8(26, 34, 62), depth);
    const float streak = std::exp(-std::pow((x - sunX) / (6 + 22 * depth), 2.0f)) *
                         (0.5f + 0.5f * std::sin(y * 1.7f));
    return Mix(water, Rgb8(255, 214, 150), 0.6f * streak * (1 - depth));
  }
  Rgb sky = Mix(Rgb8(34, 52, 112), Rgb8(238, 170, 116), std::pow(y / horizon, 1.6f));
  const float sun = std::hypot(x - sunX, y - sunY);
  sky = Mix(sky, Rgb8(255, 226, 170), std::exp(-sun / 30) * 0.7f);
  if (sun < 15) sky = Mix(sky, Rgb8(255, 244, 210), std::clamp(15 - sun, 0.f, 1.f));
  if (y > Ridge(x, 98, 44, 1)) sky = Mix(Rgb8(102, 96, 138), sky, 0.35f);
  if (y > Ridge(x, 114, 46, 2)) sky = Mix(Rgb8(46, 50, 76), Rgb8(70, 64, 90), (y - 100) / 28);
  return sky;
}

// A pictogram of the page strip: 0 terrain, 1 water, 2 sky, centred at x.
void Pictogram(Canvas& c, int which, float cx) {
  const float cy = 35;
  if (which == 0) {
    c.Paint(Polygon({cx - 50, cy + 22, cx - 18, cy - 20, cx - 4, cy - 2, cx + 12, cy - 24, cx + 50,
                     cy + 22}),
            Vertical(Rgb8(236, 238, 248), Rgb8(84, 112, 92), cy - 24, cy + 22));
  } else if (which == 1) {
    for (int i = 0; i < 3; ++i) {
      const float y = cy - 12 + i * 12;
      c.Paint(
          [=](float x, float py) {
            if (std::fabs(x - cx) > 46) return std::fabs(x - cx) - 46;
            return std::fabs(py - (y + 5 * std::sin((x - cx) * 0.16f))) - 2.2f;
          },
          Mix(Rgb8(120, 170, 236), Rgb8(60, 100, 180), i / 2.0f));
    }
  } else {
    c.Paint(Disc(cx + 18, cy - 10, 11), Rgb8(255, 206, 120));
    const Sdf cloud =
        Union(Union(Disc(cx - 14, cy + 6, 13), Disc(cx + 4, cy, 16)),
              Union(Disc(cx + 22, cy + 8, 11), RoundRect(cx - 26, cy + 6, cx + 32, cy + 19, 6)));
    c.Paint(cloud, Vertical(Rgb8(250, 250, 255), Rgb8(176, 184, 214), cy - 16, cy + 19));
  }
}

void WelcomePictures(const std::string& dir) {
  const std::string w = dir + "inter_welcome_";
  Canvas panel(500, 340, kBar);  // shown at 500 x 340, the other pictures inside it
  panel.Fill(Vertical(Rgb8(26, 30, 46), Rgb8(56, 62, 90), 0, 340), 1);
  panel.Paint([](float x, float y) { return std::fabs(std::fmod(x + y, 14.0f) - 7) - 0.4f; }, kInk,
              0.035f);
  panel.Paint(Rim(RoundRect(8, 8, 492, 332, 10), 1), kEdge, 0.5f);
  panel.WriteColour(w + "0.png");

  // 1, at (30, 40): the landscape.
  Canvas land(340, 180, kBar);
  land.Paint(RoundRect(0.5f, 0.5f, 339.5f, 179.5f, 10), Landscape);
  land.WriteColour(w + "1.png");
  land.WriteMask(w + "mask_1.png");

  // 5, at (415, 30): a column of the colours a world is made of.
  Canvas column(56, 190, kBar);
  const Rgb swatches[6] = {Rgb8(70, 110, 200), Rgb8(236, 238, 248), Rgb8(152, 150, 160),
                           Rgb8(116, 96, 72),  Rgb8(84, 136, 76),   Rgb8(44, 84, 150)};
  for (int i = 0; i < 6; ++i) {
    const float y = 4 + i * 31.0f;
    const Sdf s = RoundRect(8, y, 48, y + 26, 6);
    column.Paint(s, Vertical(Mix(swatches[i], kInk, 0.25f), swatches[i], y, y + 26));
    column.Paint(Rim(s, 1), kDark, 0.6f);
  }
  column.WriteColour(w + "5.png");
  column.WriteMask(w + "mask_5.png");

  // 40 and 41, at (30, 30): the name, and its glow under it.
  const Coverage name = TextCoverage("veskor", 46, true);
  const auto nx = static_cast<std::int64_t>(130 - name.width / 2.0f);
  const auto ny = static_cast<std::int64_t>(32 - name.height / 2.0f);
  Canvas word(260, 64, kBar);
  word.Paint(Dilate(name, 2), nx - 2, ny - 2, kDark, 1, 1);
  word.Paint(name, nx, ny, kInk);
  word.WriteColour(w + "40.png");
  word.WriteMask(w + "mask_40.png");
  Canvas glow(260, 64, kWarm);
  glow.Paint(Blur(Dilate(name, 6), 3, 2), nx - 6, ny - 6, kWarm, 1, 1);
  glow.WriteColour(w + "41.png");
  glow.WriteMask(w + "mask_41.png");

  // 3, at (220, 35): a ringed planet, shown half transparent over the sky.
  Canvas planet(180, 180, kBar);
  const Sdf ball = Disc(90, 56, 34);
  const Sdf ring = EllipseRing(90, 58, 58, 14, 5);
  planet.Paint(Intersect(ring, [](float, float y) { return 58 - y; }), Rgb8(214, 190, 150));
  planet.Paint(ball, [](float x, float y) {
    const float light = std::clamp(1.1f - std::hypot(x - 74, y - 40) / 54, 0.f, 1.f);
    const float band = 0.5f + 0.5f * std::sin(y * 0.3f);
    return Mix(Rgb8(60, 52, 70), Mix(Rgb8(230, 196, 150), Rgb8(246, 226, 190), band), light);
  });
  planet.Paint(Intersect(ring, [](float, float y) { return y - 58; }), Rgb8(226, 204, 166));
  planet.WriteColour(w + "3.png");
  planet.WriteMask(w + "mask_3.png");

  // 2, at (30, 240): the first page, the name spelt out.
  Canvas page(440, 70, kBar);
  const std::string spelt = "v . e . s . k . o . r";
  const Coverage letters = TextCoverage(spelt, 26, false);
  const auto lx = static_cast<std::int64_t>(220 - letters.width / 2.0f);
  const auto ly = static_cast<std::int64_t>(35 - letters.height / 2.0f);
  page.Paint(Dilate(letters, 1), lx - 1, ly - 1, kDark, 1, 1);
  page.Paint(letters, lx, ly, kInk);
  page.Paint(Segment(20, 35, static_cast<float>(lx - 16), 35, 1.4f), kEdge);
  page.Paint(Segment(static_cast<float>(lx + letters.width + 16), 35, 420, 35, 1.4f), kEdge);
  page.WriteColour(w + "2.png");
  page.WriteMask(w + "mask_2.png");

  // 61 with the masks 60, 61, 62: three pictures, each mask shows one of them.
  const float centres[3] = {73, 220, 367};
  Canvas strip(440, 70, kBar);
  for (int i = 0; i < 3; ++i) Pictogram(strip, i, centres[i]);
  strip.WriteColour(w + "61.png");
  for (int i = 0; i < 3; ++i) {
    Canvas one(440, 70, kBar);
    Pictogram(one, i, centres[i]);
    one.WriteMask(w + "mask_" + std::to_string(60 + i) + ".png");
  }
}

// ---- help ----

struct HelpRow {
  std::vector<const char*> keys;
  const char* what;
};

// Keycaps from x; returns the x after them.
float Keys(Canvas& c, float x, float y, const std::vector<const char*>& keys) {
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const std::string k = Cp1252(keys[i]);
    const Coverage t = TextCoverage(k, 13, true);
    const float w = std::max(26.0f, t.width + 16.0f);
    const Sdf cap = RoundRect(x, y, x + w, y + 26, 5);
    c.Paint(cap, Vertical(Rgb8(96, 104, 138), Rgb8(62, 68, 94), y, y + 26));
    c.Paint(Rim(cap, 1), kEdge, 0.8f);
    c.PaintTextCentred(k, 13, true, x + w / 2, y + 13, kInk);
    x += w + 6;
  }
  return x;
}

void HelpColumn(Canvas& c, float x, float y, const char* title, const std::vector<HelpRow>& rows,
                float step) {
  const Coverage t = TextCoverage(Cp1252(title), 17, true);
  c.Paint(t, static_cast<std::int64_t>(x), static_cast<std::int64_t>(y), kWarm);
  c.Paint(Segment(x, y + 27, x + 400, y + 27, 1), kWarm, 0.5f);
  y += 42;
  for (const HelpRow& r : rows) {
    Keys(c, x, y, r.keys);
    const Coverage d = TextCoverage(Cp1252(r.what), 15, false);
    c.Paint(d, static_cast<std::int64_t>(x + 176),
            static_cast<std::int64_t>(y + 13 - d.height / 2.0f), kInk);
    y += step;
  }
}

void HelpPictures(const std::string& dir) {
  // Shown at 937 x 514; the online-help button covers (597, 414)-(853, 446).
  Canvas help(937, 514, kBar);
  help.Fill(Vertical(Rgb8(30, 34, 50), Rgb8(46, 52, 76), 0, 514), 1);
  help.Paint(Rim(RoundRect(6, 6, 931, 508, 10), 1), kEdge, 0.5f);
  help.Paint(TextCoverage("veskor", 30, true), 40, 26, kInk);
  help.Paint(TextCoverage("keys and mouse", 20, false), 160, 34, kEdge);
  HelpColumn(help, 40, 84, "Flying",
             {{{"Left drag"}, "fly forward, steer and bank"},
              {{"Right drag"}, "fly backward and steer"},
              {{"Both buttons drag"}, "steer without moving"},
              {{"Up"}, "faster (while dragging)"},
              {{"Down"}, "slower, then backward (dragging)"},
              {{"Left", "Right"}, "turn (arrow keys)"},
              {{"Page Up", "Page Down"}, "look down, look up"},
              {{"Home", "End"}, "rise, sink"},
              {{"Esc"}, "skip the welcome, close this page"}},
             42);
  HelpColumn(help, 500, 84, "Views and display",
             {{{"Space"}, "examine: orbit the nearest point"},
              {{"0", "...", "9"}, "fly to a camera or saved view"},
              {{"W", "X"}, "zoom in, zoom out"},
              {{"Ctrl", "C"}, "clouds on and off"},
              {{"Ctrl", "F"}, "sun flare on and off"},
              {{"Ctrl", "L"}, "next drawing mode"},
              {{"Ctrl", "B"}, "the pixel format in use"}},
             42);
  help.WriteColour(dir + "inter_help_0.png");

  // The online-help button: "_0" shown, "_1" hovered, "_2" their mask.
  for (int lit = 0; lit < 2; ++lit) {
    Canvas c(256, 32, kBar);
    const Sdf plate = RoundRect(0.5f, 0.5f, 255.5f, 31.5f, 9);
    c.Paint(plate, Vertical(lit ? kLitPlateTop : kPlateTop, lit ? kLitPlate : kPlate, 0, 32), 1,
            0.9f);
    c.Paint(Rim(plate, 1), lit ? kWarm : kEdge, 0.8f, 0.9f);
    c.PaintTextCentred(Cp1252("Online documentation  »"), 15, true, 128, 16, lit ? kWarm : kInk);
    c.WriteColour(dir + "inter_help_online_" + std::to_string(lit) + ".png");
    if (lit == 0) c.WriteMask(dir + "inter_help_online_2.png");
  }
}

}  // namespace
}  // namespace veskor::tools

int main(int argc, char** argv) {
  using namespace veskor::tools;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_interface_images <image dir>\n");
    return 2;
  }
  std::string dir = argv[1];
  if (dir.back() != '/') dir += '/';
  MakeDirectories(dir);
  for (const Language& l : kLanguages) LanguageImages(dir, l);
  Borders(dir);
  ProgressTiles(dir);
  SliderPictures(dir);
  CheckPictures(dir);
  WelcomePictures(dir);
  HelpPictures(dir);
  return 0;
}
