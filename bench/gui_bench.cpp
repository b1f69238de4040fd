// The interface toolkit per frame: laying out a tree of 100 widgets (CPU only) and laying it
// out and drawing it as coloured quads; a page of marked-up text rendered into a 512 x 512
// text bitmap and copied into its texture.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gui/gui_globals.h"
#include "gui/gui_widget.h"
#include "gui/interface_frame.h"
#include "gui/text_bitmap.h"
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
    glBegin(GL_QUADS);
    glVertex2f(r.left, r.top);
    glVertex2f(r.right, r.top);
    glVertex2f(r.right, r.bottom);
    glVertex2f(r.left, r.bottom);
    glEnd();
  }
};

// Ten panels across the window, each with nine children in a row (the last one in front).
struct WidgetTree {
  WidgetTree() : widgets(100) {
    root.root = &root;
    root.enabled = 1;
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

void LayOutAndDraw100Widgets(benchmark::State& state) {
  setenv("LP_NUM_THREADS", "2", 0);
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') setenv("SDL_VIDEODRIVER", "offscreen", 0);
  GlWindowDesc desc;
  desc.width = kWindow;
  desc.height = kWindow;
  GlWindow* window = GlWindowCreate(desc);
  GlContext* context = window != nullptr ? GlContextCreate(window, nullptr) : nullptr;
  if (context == nullptr) {
    state.SkipWithError(GlLastError());
    if (window != nullptr) GlWindowDestroy(window);
    return;
  }
  glViewport(0, 0, kWindow, kWindow);
  PixelSize = {1.0f / kWindow, 1.0f / kWindow};
  {
    WidgetTree tree;
    for (auto _ : state) {
      LayoutDirty = 1;
      LayOutInterface(tree.root);
      DrawInterface(tree.root);
      glFinish();
    }
    state.SetItemsProcessed(state.iterations() * 100);
  }
  GlContextDestroy(context);
  GlWindowDestroy(window);
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

}  // namespace
}  // namespace veskor
