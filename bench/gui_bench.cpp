// The interface toolkit per frame: laying out a tree of 100 widgets (CPU only) and laying it
// out and drawing it as coloured quads; a page of marked-up text rendered into a 512 x 512
// text bitmap and copied into its texture; a text list of 32 lines set up (laid out, drawn
// into its two textures and uploaded); one frame of each widget class over a 512 x 512 window;
// number labels formatted into glyphs, and one frame of each choice widget.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gfx/gl_capabilities.h"
#include "gfx/texture_names.h"
#include "gui/check_box.h"
#include "gui/clip_panel.h"
#include "gui/gui_globals.h"
#include "gui/gui_widget.h"
#include "gui/image_button.h"
#include "gui/image_panel.h"
#include "gui/interface_frame.h"
#include "gui/number_label.h"
#include "gui/pick_list.h"
#include "gui/progress_bar.h"
#include "gui/slider.h"
#include "gui/text_bitmap.h"
#include "gui/text_choice.h"
#include "gui/text_list.h"
#include "gui/text_view.h"
#include "gui/view_list.h"
#include "gui/widget_drawing.h"
#include "gui/widget_textures.h"
#include "mapengine/kernel_table.h"
#include "platform/gl.h"
#include "platform/gl_context.h"

namespace veskor {
namespace {

constexpr int kWindow = 512;

struct Quad : GuiWidget {
  void Draw() override {
    const WidgetRect r = WidgetSnappedRect(*this);
    glColor3f(r.left, r.top, 0.5f);
    DrawPlainQuad(r);
  }
};

void MakeRoot(GuiPlane& root) {
  root.root = &root;
  root.enabled = 1;
}

// A four-channel picture 2^log2Side texels square, byte k holding k x step.
void FillPicture(Texture2D& picture, std::uint32_t log2Side, std::uint32_t step) {
  ResizeImageBuffer(picture, 4, log2Side, log2Side, 4);
  auto* texels = static_cast<std::uint8_t*>(picture.pixels.data);
  for (std::uint32_t i = 0; i < 4u << (2 * log2Side); ++i)
    texels[i] = static_cast<std::uint8_t>(i * step);
}

// Ten panels across the window, each with nine children in a row (the last one in front).
struct WidgetTree {
  WidgetTree() : widgets(100) {
    MakeRoot(root);
    for (int p = 0; p < 10; ++p) {
      Quad& panel = widgets[p * 10];
      ConfigureWidget(panel, 8, {0.1f * p, 0, 2, 0}, {0, 0, 2, 0}, {0.1f * p + 0.1f, 0, -2, 0},
                      {1, 0, -2, 0});
      AddChildPlane(root, panel);
      for (int c = 1; c < 10; ++c) {
        Quad& w = widgets[p * 10 + c];
        ConfigureWidget(w, c == 9 ? 4u : 0u, {0, 0, 1, 0}, {0.1f * c, 0, 0, 0}, {0, 1, -1, 0},
                        {0.1f * c + 0.08f, 0, 0, 0});
        AddChildPlane(panel, w);
      }
    }
  }
  GuiPlane root;
  std::vector<Quad> widgets;
};

void LayOut100Widgets(benchmark::State& state) {
  PixelSize = {1.0f / kWindow, 1.0f / kWindow};
  WidgetTree tree;
  for (auto _ : state) {
    LayoutDirty = 1;
    LayOutInterface(tree.root);
    benchmark::DoNotOptimize(tree.widgets[99].sizeX);
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(LayOut100Widgets);

// A window of kWindow x kWindow pixels with a current context, texture names and the
// driver's extensions, for the benchmarks that draw.
struct BenchWindow {
  BenchWindow() {
    setenv("LP_NUM_THREADS", "2", 0);
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') setenv("SDL_VIDEODRIVER", "offscreen", 0);
    GlWindowDesc desc;
    desc.width = kWindow;
    desc.height = kWindow;
    window = GlWindowCreate(desc);
    context = window != nullptr ? GlContextCreate(window, nullptr) : nullptr;
    if (context == nullptr) return;
    glViewport(0, 0, kWindow, kWindow);
    PixelSize = {1.0f / kWindow, 1.0f / kWindow};
    InitKernelTable();
    LoadWglExtensions();
    LoadGlExtensions();
    if (TextureNameTableCount == 0) InitTextureNames();
  }
  ~BenchWindow() {
    if (context != nullptr) GlContextDestroy(context);
    if (window != nullptr) GlWindowDestroy(window);
  }
  // False, with the benchmark skipped, when there is no context.
  bool Ready(benchmark::State& state) const {
    if (context == nullptr) state.SkipWithError(GlLastError());
    return context != nullptr;
  }
  GlWindow* window = nullptr;
  GlContext* context = nullptr;
};

void LayOutAndDraw100Widgets(benchmark::State& state) {
  BenchWindow gl;
  if (!gl.Ready(state)) return;
  WidgetTree tree;
  for (auto _ : state) {
    LayoutDirty = 1;
    LayOutInterface(tree.root);
    DrawInterface(tree.root);
    glFinish();
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(LayOutAndDraw100Widgets)->Unit(benchmark::kMicrosecond);

std::string MarkupPage() {
  std::string page;
  for (int line = 0; line < 24; ++line) {
    page += "\\bItem " + std::to_string(line) + "\\3value \\i" + std::to_string(line * 37) +
            "\\5\\gnote\\0";
    page += line % 4 == 0 ? "\\>larger\\<" : "plain text of the line";
    page += "\\n";
  }
  return page;
}

void RenderMarkupPage512(benchmark::State& state) {
  InitKernelTable();
  Texture2D texture;
  Texture2DResizeWH(texture, 1, 9, 9);
  TextBitmap bitmap;
  if (CreateTextBitmap(bitmap, &texture) == 0) {
    state.SkipWithError("no text bitmap");
    return;
  }
  SetTextFont(bitmap, "arial");
  SetTextSize(bitmap, 10);
  const std::string page = MarkupPage();
  for (auto _ : state) {
    EraseTextBitmap(bitmap);
    DrawMarkupTextAt(bitmap, 4, 4, page.c_str());
    FlushTextBitmap(bitmap);
  }
  state.SetLabel(std::to_string(page.size()) + " characters, 24 lines");
}
BENCHMARK(RenderMarkupPage512)->Unit(benchmark::kMicrosecond);

void SetUpTextList32Lines(benchmark::State& state) {
  BenchWindow gl;
  if (!gl.Ready(state)) return;
  std::vector<std::string> lines;
  for (int i = 0; i < 32; ++i)
    lines.push_back(i % 8 == 0
                        ? "\\tSection " + std::to_string(i / 8)
                        : "Line " + std::to_string(i) + "\\3\\bvalue\\g " + std::to_string(i * 37));
  std::vector<const char*> table;
  for (const std::string& line : lines) table.push_back(line.c_str());
  GuiTextList list;
  const TextListColours colours{{0, 0, 0, 0.5f}, {1, 1, 1}, {1, 1, 0}};
  for (auto _ : state) {
    SetTextLines(list, nullptr, {}, {}, table.data(), 32, colours);
    glFinish();
  }
  state.SetLabel(std::to_string(list.textWidth) + " x " + std::to_string(list.textHeight));
}
BENCHMARK(SetUpTextList32Lines)->Unit(benchmark::kMicrosecond);

// One each of button, panel, clip panel (holding the others), text view, text list and
// progress bar, drawn from their 256 x 256 textures.
void DrawOneFrameOfEachWidgetClass(benchmark::State& state) {
  BenchWindow gl;
  if (!gl.Ready(state)) return;
  Texture2D picture;
  FillPicture(picture, 8, 7);
  GuiPlane root;
  MakeRoot(root);
  GuiClipPanel clip;
  GuiImagePanel panel;
  GuiImageButton owner, button;
  GuiTextView view;
  GuiTextList list;
  GuiProgressBar bar;
  ConfigurePanel(clip, &root, {0.05f, 0, 0, 0}, {0.05f, 0, 0, 0}, {0.95f, 0, 0, 0},
                 {0.95f, 0, 0, 0}, &picture, 1, 1);
  ConfigurePanel(panel, &root, {0.1f, 0, 0, 0}, {0.1f, 0, 0, 0}, {0.5f, 0, 0, 0}, {0.5f, 0, 0, 0},
                 &picture, 0.5f, 0.5f);
  owner.hoverImage = owner.normalImage = &picture;
  PlaceButton(button, &root, {0.6f, 0, 0, 0}, {0.1f, 0, 0, 0}, owner, {});
  ResizeImageBuffer(view.textTexture, 1, 8, 8, 2);
  CreateTextBitmap(view.textBitmap, &view.textTexture);
  FillTextRect(view.textBitmap, 0, 0, 255, 255);
  ConfigureWidget(view, 0, {0.1f, 0, 0, 0}, {0.55f, 0, 0, 0}, {0.5f, 0, 0, 0}, {0.9f, 0, 0, 0});
  const char* lines[] = {"\\tTitle", "First line", "Second line"};
  SetTextLines(list, &root, {0.55f, 0, 0, 0}, {0.55f, 0, 0, 0}, lines, 3,
               {{0, 0, 0, 0.5f}, {1, 1, 1}, {1, 1, 0}});
  ResizeImageBuffer(bar.pattern, 3, 2, 0, 3);
  Texture2DSetWrap(bar.pattern, kWrapRepeatS | kWrapRepeatT);
  ConfigureWidget(bar, 0, {0.1f, 0, 0, 0}, {0.92f, 0, 0, 0}, {0.9f, 0, 0, 0}, {0.94f, 0, 0, 0});
  bar.fraction = 0.6f;
  AddChildPlane(root, clip);
  for (GuiPlane* p :
       {static_cast<GuiPlane*>(&panel), static_cast<GuiPlane*>(&button),
        static_cast<GuiPlane*>(&view), static_cast<GuiPlane*>(&list), static_cast<GuiPlane*>(&bar)})
    AddChildPlane(clip, *p);
  LayOutInterface(root);
  for (auto _ : state) {
    DrawInterface(root);
    glFinish();
  }
  state.SetItemsProcessed(state.iterations() * 6);
}
BENCHMARK(DrawOneFrameOfEachWidgetClass)->Unit(benchmark::kMicrosecond);

// What a frame-rate label does per frame before drawing: 1000 values with one decimal.
void FormatNumberGlyphs1000(benchmark::State& state) {
  std::vector<float> values(1000);
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i] = static_cast<float>(i) * 7.31f - 900.0f;
  std::uint8_t glyphs[kNumberGlyphCapacity];
  for (auto _ : state)
    for (const float v : values) benchmark::DoNotOptimize(NumberGlyphs(v, 1, glyphs));
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(FormatNumberGlyphs1000);

// One each of pick list (a line lit), drop list, text choice tag, slider and check box, a view
// list of three groups of ten 128 x 128 thumbnails and three 8-cell number labels.
void DrawOneFrameOfEachChoiceWidget(benchmark::State& state) {
  BenchWindow gl;
  if (!gl.Ready(state)) return;
  Texture2D picture;
  FillPicture(picture, 7, 5);
  GuiPlane root;
  MakeRoot(root);
  const char* lines[] = {"\\tChoices", "First line", "Second line", "Third line"};
  const TextListColours colours{{0, 0, 0, 0.5f}, {1, 1, 1}, {1, 1, 0}};
  GuiPickList pick;
  SetupPickList(pick, &root, {0.05f, 0, 0, 0}, {0.05f, 0, 0, 0}, lines, 4, colours, {1, 1, 1, 0.5f},
                nullptr, nullptr, &picture);
  pick.hoveredLine = 2;
  GuiDropList drop;
  SetupPickList(drop.list, &root, {0.5f, 0, 0, 0}, {0.05f, 0, 0, 0}, lines, 4, colours,
                {1, 1, 1, 1}, ChoiceSelected, ChoiceDone, nullptr);
  HidePlane(drop.list);
  ConfigureWidget(drop, 24, {0.5f, 0, 0, 0}, {0.05f, 0, 0, 0}, {0.8f, 0, 0, 0}, {0.05f, 0, 20, 0});
  drop.selected = 1;
  GuiTextChoice tag;
  SetupTextChoice(tag, &root, lines, nullptr, 4, {0, 0, 0.2f, 1}, {1, 1, 0.6f});
  SetLeftEdge(tag, {0.5f, 0, 0, 0});
  SetTopEdge(tag, {0.5f, 0, 0, 0});
  std::uint16_t ten = 10;
  std::vector<Texture2D> thumbnails(30);
  for (Texture2D& t : thumbnails) {
    ResizeImageBuffer(t, 3, 7, 7, 3);
    std::fill_n(static_cast<std::uint8_t*>(t.pixels.data), 3u << 14, 100);
  }
  ViewGroup viewGroups[3];
  for (int g = 0; g < 3; ++g) viewGroups[g] = {&thumbnails[g * 10], &ten, {1, 1, 1, 0.7f}, 10};
  GuiViewList view;
  SetupViewList(view, &root, {}, {0.7f, 0, 0, 0}, {1, 0, 0, 0}, {0.8f, 0, 0, 0}, {0.4f, 0.4f, 0.5f},
                viewGroups, 3, {});
  float level = 0.4f;
  GuiSlider owner, slider;
  owner.thumbTexture = owner.trackTexture = &picture;
  ShareSliderImages(slider, &root, {0.1f, 0, 0, 0}, {0.6f, 0, 0, 0}, {0.4f, 0, 0, 0},
                    {0.6f, 0, 31, 0}, owner, {&level, 0, 1, 0.125f, nullptr});
  GuiCheckBox box;
  box.hoverTexture = box.normalTexture = box.markTexture = &picture;
  box.checked = 1;
  ConfigureWidget(box, 24, {0.5f, 0, 0, 0}, {0.6f, 0, 0, 0}, {0.5f, 0, 32, 0}, {0.6f, 0, 32, 0});
  GdiTextImage digits;
  RenderTextImage(digits, "arial", 10, "\\b", 0);
  float rate = 59.94f;
  GuiTextLabel labels[3];
  for (int i = 0; i < 3; ++i)
    SetupTextLabel(labels[i], &root, digits, {0.05f, 0, 0, 0}, {0.85f + 0.04f * i, 0, 0, 0},
                   {8, 2, {1, 1, 1, 1}, 1}, &rate);
  for (GuiPlane* p :
       {static_cast<GuiPlane*>(&pick), static_cast<GuiPlane*>(&drop), static_cast<GuiPlane*>(&tag),
        static_cast<GuiPlane*>(&view), static_cast<GuiPlane*>(&slider),
        static_cast<GuiPlane*>(&box), static_cast<GuiPlane*>(&labels[0]),
        static_cast<GuiPlane*>(&labels[1]), static_cast<GuiPlane*>(&labels[2])})
    AddChildPlane(root, *p);
  LayOutInterface(root);
  for (auto _ : state) {
    ShowPlane(tag);  // the tag hides itself after every frame
    DrawInterface(root);
    glFinish();
  }
  state.SetItemsProcessed(state.iterations() * 9);
}
BENCHMARK(DrawOneFrameOfEachChoiceWidget)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace veskor
