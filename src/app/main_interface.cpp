#include "app/main_interface.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "app/display_modes.h"
#include "app/info_panel.h"
#include "app/language_screen.h"
#include "app/main_interface_callbacks.h"
#include "app/main_plane.h"
#include "app/settings.h"
#include "app/text_resources.h"
#include "app/web_links.h"
#include "gfx/texture_format.h"
#include "gui/interface_images.h"
#include "gui/screen_planes.h"
#include "gui/widget_textures.h"

namespace veskor {

GuiImagePanel MenuBar;
GuiImageButton WorldButton;
GuiImageButton ViewButton;
GuiImageButton SetupButton;
GuiImageButton ProductButton;
GuiImagePanel MenuBarBorder;
GuiCheckBox ExamineCheck;
GuiCheckBox SaveViewCheck;
GuiImagePanel FocalPanel;
GuiPickList MainMenuList;
GuiPickList ProductMenuList;
GuiViewList ViewList;
GuiImagePanel ViewListBorder;
GuiTextList InfoPanel;
GuiImageButton InfoCloseButton;
GuiTextChoice HintLine;
GuiTextView ProgressPanel;
GuiImagePanel ProgressPanelBorder;
GuiProgressBar StageProgressBar;
GuiProgressBar TotalProgressBar;
GuiTextView StatusPanel;
GuiImagePanel StatusPanelBorder;
GuiTextView StatusText;
GuiImageButton StatusCloseButton;
GuiTextView SetupPanel;
GuiImagePanel SetupPanelBorder;
GuiDropList LanguageDropList;
GuiSlider OverallSlider;
GuiCheckBox LodControlCheck;
GuiSlider TerrainGeoSlider;
GuiSlider ObjectGeoSlider;
GuiSlider TerrainTexSlider;
GuiSlider ObjectTexSlider;
GuiSlider PortalSlider;
GuiSlider CloudLowSlider;
GuiDropList ResolutionDropList;
GuiSlider MultiSampleSlider;
GuiCheckBox MultiSampleCheck;
GuiCheckBox FullScreenCheck;
GuiCheckBox FpsCheck;
GuiCheckBox PpsCheck;
GuiImageButton SetupCloseButton;
GuiImagePanel LodCoverPanel;
GdiTextImage LargeDigits;
GdiTextImage SmallDigits;
GuiTextLabel FpsLabel;
GuiTextLabel FocalLabel;
GuiTextLabel PpsLabel;

float MultiSampleLevel = 2.0f;

char SharedLines[kSharedLineCount][kSharedLineBytes];
const char* const SharedLineTable[kSharedLineCount] = {
    SharedLines[0], SharedLines[1], SharedLines[2],  SharedLines[3],
    SharedLines[4], SharedLines[5], SharedLines[6],  SharedLines[7],
    SharedLines[8], SharedLines[9], SharedLines[10], SharedLines[11]};

void SetSharedLine(std::uint32_t line, const char* text) {
  if (line >= kSharedLineCount) return;
  const std::size_t n = text != nullptr ? strnlen(text, kSharedLineBytes - 1) : 0;
  std::memcpy(SharedLines[line], text != nullptr ? text : "", n);
  SharedLines[line][n] = '\0';
}

std::uint32_t SetSharedLinesFromTexts(const std::uint32_t* indices, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i)
    SetSharedLine(i, indices[i] < kTextResourceCapacity ? TextResources[indices[i]].text : "");
  return count;
}

namespace {

using Planes = std::initializer_list<GuiPlane*>;

// Edges: pixels from the parent's origin, the far side of the screen (offset 1) or of the
// parent (fraction 1) with pixels added.
constexpr WidgetEdge Px(float pixels) { return {0.0f, 0.0f, pixels, 0.0f}; }
constexpr WidgetEdge ScreenEnd(float pixels = 0.0f) { return {1.0f, 0.0f, pixels, 0.0f}; }
constexpr WidgetEdge ParentEnd(float pixels = 0.0f) { return {0.0f, 1.0f, pixels, 0.0f}; }
constexpr WidgetEdge kOrigin{};

constexpr float Byte(int v) { return static_cast<float>(v) / 255.0f; }

void SetColour(float* colour, int r, int g, int b, float a) {
  colour[0] = Byte(r);
  colour[1] = Byte(g);
  colour[2] = Byte(b);
  colour[3] = a;
}

// The menus' and lists' colours: background, lines and titles; the highlight.
constexpr TextListColours kListColours{
    {90 / 255.0f, 90 / 255.0f, 110 / 255.0f, 0.8f}, {1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}};
constexpr float kListHighlight[4] = {1.0f, 1.0f, 1.0f, 0.5f};

// Language pictures are looked up under the language's directory.
std::string Lang(const std::string& name) { return LanguageDir + name; }

GuiPlane* Root() { return &gMainPlane; }

// Links a configured widget under `parent`, with its hint when it has one.
void Attach(GuiPlane& parent, GuiWidget& widget, std::int32_t hint = -1) {
  if (hint >= 0) {
    widget.popupCallback = ShowHint;
    widget.popupArgument = hint;
  }
  AddChildPlane(parent, widget);
}

void Configure(GuiWidget& widget, const WidgetEdge& left, const WidgetEdge& top,
               const WidgetEdge& right, const WidgetEdge& bottom) {
  ConfigureWidget(widget, kInterfaceStyle, left, top, right, bottom);
  widget.root = Root();
}

// A panel of one plain colour.
void ColourPanel(GuiImagePanel& panel, const WidgetEdge& left, const WidgetEdge& top,
                 const WidgetEdge& right, const WidgetEdge& bottom, int r, int g, int b, float a) {
  ConfigurePanel(panel, Root(), left, top, right, bottom, nullptr, 1.0f, 1.0f);
  SetColour(panel.color, r, g, b, a);
}

// Text lists take the interface's style: the first configuration keeps its style.
void PrepareList(GuiTextList& list) {
  if (list.configured == 0) Configure(list, kOrigin, kOrigin, kOrigin, kOrigin);
}

void SetTextColour(GuiTextView& view, float r, float g, float b) {
  view.textColor[0] = r;
  view.textColor[1] = g;
  view.textColor[2] = b;
}

CheckBoxImages LangCheckImages(const std::string& normal, const std::string& mark,
                               const std::string& mask) {
  return {normal.c_str(), mask.c_str(), normal.c_str(), mask.c_str(), mark.c_str(), mask.c_str()};
}

constexpr CheckBoxImages kSetupCheckImages{"inter_check_0.png", "inter_check_mask_0.png",
                                           "inter_check_1.png", "inter_check_mask_0.png",
                                           "inter_check_2.png", "inter_check_mask_2.png"};

void MenuBarWidgets(MainPlane& main) {
  ColourPanel(MenuBar, kOrigin, kOrigin, ScreenEnd(), Px(113), 113, 118, 143, 1.0f);
  Attach(main, MenuBar);
  struct Button {
    GuiImageButton& button;
    const char* name;
    WidgetEdge left;
    ButtonCallbacks callbacks;
  };
  const Button buttons[] = {
      {WorldButton, "world", Px(-8), {nullptr, nullptr, OpenMainMenu, EmptyCallback}},
      {ViewButton, "view", Px(102), {OpenViewList, ReleaseViewList, nullptr, nullptr}},
      {SetupButton, "setup", Px(208), {nullptr, nullptr, OpenSetupPanel, EmptyCallback}},
      {ProductButton,
       "veskor",
       ScreenEnd(-124),
       {nullptr, nullptr, OpenProductMenu, EmptyCallback}},
  };
  std::int32_t hint = 0;
  for (const Button& b : buttons) {
    const std::string prefix = std::string("inter_") + b.name;
    SetButtonImages(b.button, Root(), b.left, Px(-10), Lang(prefix + "_0.png").c_str(),
                    Lang(prefix + "_mask_0.png").c_str(), Lang(prefix + "_1.png").c_str(),
                    Lang(prefix + "_mask_1.png").c_str(), b.callbacks);
    Attach(main, b.button, hint++);
  }
  LoadPanelImageAlt(MenuBarBorder, Root(), kOrigin, Px(110), ScreenEnd(), Px(113),
                    "inter_border_0.png");
  Attach(main, MenuBarBorder);

  const std::string examine = Lang("inter_examine_0.png"), examined = Lang("inter_examine_1.png"),
                    examineMask = Lang("inter_examine_mask.png");
  SetCheckBoxImages(ExamineCheck, Root(), Px(340), Px(12),
                    LangCheckImages(examine, examined, examineMask), ExamineMode, ToggleExamine,
                    ToggleExamine);
  Attach(main, ExamineCheck, 8);
  const std::string save = Lang("inter_saveview_0.png"), saved = Lang("inter_saveview_1.png"),
                    saveMask = Lang("inter_saveview_mask.png");
  SetCheckBoxImages(SaveViewCheck, Root(), Px(340), Px(40), LangCheckImages(save, saved, saveMask),
                    0, RequestSaveView, RequestSaveView);
  Attach(main, SaveViewCheck, 9);
}

void MenuList(GuiPickList& list, const std::uint32_t* texts, std::uint32_t count,
              std::int32_t (*onChoice)(std::int32_t), void (*onDone)()) {
  PrepareList(list);
  SetupPickList(list, Root(), Px(100), Px(150), SharedLineTable,
                SetSharedLinesFromTexts(texts, count), kListColours, kListHighlight, onChoice,
                onDone, MenuBarBorder.texture);
}

// A progress bar's repeating pattern: found along the search directories (a missing file ends
// the program with its name and the directories searched), three channels, bilinear, repeated.
void ProgressBar(GuiProgressBar& bar, const WidgetEdge& top, const WidgetEdge& bottom,
                 const char* pattern) {
  Configure(bar, Px(20), top, ParentEnd(-20), bottom);
  LoadInterfaceImage(bar.pattern, pattern, nullptr, 3, "Cannot find file");
  Texture2DSetFilter(bar.pattern, kFilterBilinear);
  Texture2DSetWrap(bar.pattern, kWrapRepeatS | kWrapRepeatT);
  Texture2DBind(bar.pattern, 0, 0);
  bar.color[0] = Byte(125);
  bar.color[1] = Byte(128);
  bar.color[2] = Byte(143);
  bar.fraction = 0.0f;
  Attach(ProgressPanel, bar);
}

void SessionPanels(MainPlane& main) {
  Configure(ProgressPanel, Px(20), ScreenEnd(-380), Px(764), ScreenEnd(-230));
  SetColour(ProgressPanel.backgroundColor, 113, 118, 143, 0.7f);
  MakeTextSurface(ProgressPanel, 8, 7, 0);
  SetTextColour(ProgressPanel, 0.96f, 0.96f, 1.0f);
  ColourPanel(ProgressPanelBorder, kOrigin, kOrigin, ParentEnd(), Px(3), 255, 255, 255, 1.0f);
  Attach(ProgressPanel, ProgressPanelBorder);
  ProgressBar(StageProgressBar, Px(102), Px(114), "inter_progress_0.png");
  ProgressBar(TotalProgressBar, Px(120), Px(132), "inter_progress_1.png");
  Attach(main, ProgressPanel);
  HidePlane(ProgressPanel);

  Configure(StatusPanel, Px(20), ScreenEnd(-220), Px(764), ScreenEnd(-20));
  SetColour(StatusPanel.backgroundColor, 60, 60, 70, 0.8f);
  MakeTextSurface(StatusPanel, 10, 6, 0);
  SetTextColour(StatusPanel, 1.0f, 0.6f, 0.05f);
  LoadPanelImageWithMaskAlt(StatusPanelBorder, Root(), kOrigin, kOrigin, ParentEnd(), Px(4),
                            "inter_border_0.png", "inter_border_1.png");
  Attach(StatusPanel, StatusPanelBorder);
  Configure(StatusText, Px(10), Px(40), ParentEnd(-10), ParentEnd(-40));
  SetColour(StatusText.backgroundColor, 200, 200, 200, 0.05f);
  MakeTextSurface(StatusText, 10, 8, 0);
  SetTextColour(StatusText, 1.0f, 1.0f, 1.0f);
  Attach(StatusPanel, StatusText);
  SetButtonImages(StatusCloseButton, Root(), ParentEnd(-75), ParentEnd(-35),
                  Lang("inter_close_1.png").c_str(), Lang("inter_close_mask.png").c_str(),
                  Lang("inter_close_0.png").c_str(), Lang("inter_close_mask.png").c_str(),
                  {nullptr, nullptr, nullptr, CloseStatusPanel});
  Attach(StatusPanel, StatusCloseButton);
  Attach(main, StatusPanel, 6);
  HidePlane(StatusPanel);
}

// A drop list holding `list` set up with `count` shared lines at (x, y) pixels of its parent,
// as wide as the list's text and 20 pixels high.
void DropList(GuiDropList& drop, float x, float y, std::uint32_t count, std::int32_t line,
              void (*onChoice)(std::int32_t)) {
  GuiPickList& list = drop.list;
  PrepareList(list);
  SetupPickList(list, Root(), Px(x), Px(y), SharedLineTable, count, kListColours, kListHighlight,
                ChoiceSelected, ChoiceDone, nullptr);
  HidePlane(list);
  Configure(drop, Px(x), Px(y), Px(x + static_cast<float>(list.textWidth)), Px(y + 20.0f));
  SetColour(drop.boxColor, 120, 125, 143, 1.0f);
  drop.onChoice = onChoice;
  drop.selected = line;
  drop.attachPending = 1;
  ChosenIndex = line;
  Attach(SetupPanel, drop);
}

void SetupWidgets(MainPlane& main) {
  Configure(SetupPanel, Px(20), Px(130), Px(764), Px(622));
  SetColour(SetupPanel.backgroundColor, 113, 118, 143, 1.0f);
  SetTextColour(SetupPanel, 1.0f, 1.0f, 1.0f);
  DrawSetupPanelTexts();
  ColourPanel(SetupPanelBorder, kOrigin, kOrigin, ParentEnd(), Px(3), 255, 255, 255, 1.0f);
  Attach(SetupPanel, SetupPanelBorder);

  for (std::uint32_t i = 0; i < 4; ++i) SetSharedLine(i, kLanguageNames[i]);
  DropList(LanguageDropList, 190.0f, 50.0f, 4, LanguageIndex, SelectLanguage);

  const auto slider = [](GuiSlider& s, float left, float top, float right, float* value) {
    const SliderBinding binding{value, 0.0f, 1.0f, 0.125f, nullptr};
    if (&s == &OverallSlider) {
      SetSliderImages(s, Root(), Px(left), Px(top), Px(right), Px(top + 31.0f), "inter_set_2.png",
                      "inter_set_2_mask.png", "inter_set_1.png", binding);
    } else {
      ShareSliderImages(s, Root(), Px(left), Px(top), Px(right), Px(top + 31.0f), OverallSlider,
                        binding);
    }
    Attach(SetupPanel, s);
  };
  slider(OverallSlider, 530.0f, 150.0f, 700.0f, &Overall);
  SetCheckBoxImages(LodControlCheck, Root(), Px(310), Px(148), kSetupCheckImages, IsLangCtrlLOD,
                    ShowLodCover, HideLodCover);
  Attach(SetupPanel, LodControlCheck);
  slider(TerrainGeoSlider, 150.0f, 218.0f, 320.0f, &TerrainGeo);
  slider(ObjectGeoSlider, 150.0f, 243.0f, 320.0f, &ObjectGeo);
  slider(TerrainTexSlider, 150.0f, 268.0f, 320.0f, &TerrainTex);
  slider(ObjectTexSlider, 150.0f, 293.0f, 320.0f, &ObjectTex);
  slider(PortalSlider, 530.0f, 218.0f, 700.0f, &Portal);
  slider(CloudLowSlider, 530.0f, 243.0f, 700.0f, &CloudLow);

  for (std::uint32_t i = 1; i <= kFullScreenSizeCount; ++i) {
    char size[32];
    std::snprintf(size, sizeof size, "%u x %u", FullScreenSizeTable[i].width,
                  FullScreenSizeTable[i].height);
    SetSharedLine(i - 1, size);
  }
  DropList(ResolutionDropList, 190.0f, 398.0f, kFullScreenSizeCount,
           static_cast<std::int32_t>(main.fullScreenSizeIndex) - 1, ChooseFullScreenSize);

  MultiSampleLevel = static_cast<float>(MultiSampleSize + MultiSampleQuality);
  // A step of half the range (1 in the level's units): the slider takes 2, 3 and 4 alone.
  ShareSliderImages(MultiSampleSlider, Root(), Px(570), Px(393), Px(700), Px(424), OverallSlider,
                    {&MultiSampleLevel, 2.0f, 4.0f, 1.0f, OnMultiSampleLevel});
  Attach(SetupPanel, MultiSampleSlider);
  const struct {
    GuiCheckBox& box;
    float left, top;
    std::uint32_t value;
    std::uint32_t (*on)();
    std::uint32_t (*off)();
  } boxes[] = {
      {MultiSampleCheck, 515.0f, 391.0f, MultiSampleMode, ToggleMultiSample, ToggleMultiSample},
      {FullScreenCheck, 145.0f, 391.0f, FullScreenMode, ToggleWindowMode, ToggleWindowModeBack},
      {FpsCheck, 145.0f, 416.0f, main.fpsFlag, ShowFps, HideFps},
      {PpsCheck, 515.0f, 416.0f, main.ppsFlag, ShowPps, HidePps},
  };
  for (const auto& b : boxes) {
    SetCheckBoxImages(b.box, Root(), Px(b.left), Px(b.top), kSetupCheckImages, b.value, b.on,
                      b.off);
    Attach(SetupPanel, b.box);
  }
  PlaceButton(SetupCloseButton, Root(), ParentEnd(-75), ParentEnd(-35), StatusCloseButton,
              {nullptr, nullptr, nullptr, SaveRenderLod});
  Attach(SetupPanel, SetupCloseButton);
  Attach(main, SetupPanel, 4);
  HidePlane(SetupPanel);

  // The cover over the six detail sliders while the worlds rule the detail.
  ColourPanel(LodCoverPanel, Px(15), Px(180), ParentEnd(-15), Px(325), 113, 118, 143, 0.8f);
  Attach(SetupPanel, LodCoverPanel);
  if (IsLangCtrlLOD != 0)
    ShowPlane(LodCoverPanel);
  else
    HidePlane(LodCoverPanel);
}

std::int32_t ProductMenuChoice(std::int32_t line) {
  OpenWebLink(line);
  return 0;
}

std::uint32_t ViewHover(std::uint32_t) {
  OpenViewList();
  return 0;
}

std::uint32_t ViewLeave(std::uint32_t) {
  ReleaseViewList();
  return 0;
}

std::uint32_t ViewChoice(std::uint32_t index) {
  return ChooseView(static_cast<std::int32_t>(index));
}

void ViewStrip(MainPlane& main) {
  // The world's cameras, its examine points and the view snapshots, with their thumbnails.
  const ViewGroup groups[] = {
      {gWorld.cameraThumbnails, &gWorld.cameraCount, {0.7f, 0.7f, 1.0f, 0.7f}, 10.0f},
      {gWorld.examineImages, &gWorld.examineCount, {1.0f, 0.7f, 0.7f, 0.7f}, 10.0f},
      {gWorld.snapshotImages, &gWorld.snapshotCount, {0.7f, 0.7f, 1.0f, 0.7f}, 10.0f},
  };
  SetupViewList(ViewList, Root(), kOrigin, Px(112), ScreenEnd(), Px(224),
                {Byte(113), Byte(118), Byte(143)}, groups, 3,
                {ViewHover, ViewLeave, ViewChoice, nullptr});
  ViewList.root = Root();
  Attach(main, ViewList);
  HidePlane(ViewList);
  ConfigurePanel(ViewListBorder, Root(), kOrigin, Px(111), ScreenEnd(), Px(113),
                 MenuBarBorder.texture, 1.0f, 1.0f);
  Attach(ViewList, ViewListBorder);
}

void Label(GuiTextLabel& label, GdiTextImage& digits, const WidgetEdge& left, const WidgetEdge& top,
           const TextLabelFormat& format, const float* value) {
  SetupTextLabel(label, Root(), digits, left, top, format, value);
  Attach(gMainPlane, label);
}

void ShowIf(GuiPlane& plane, std::uint32_t flag) {
  if (flag != 0)
    ShowPlane(plane);
  else
    HidePlane(plane);
}

}  // namespace

void MakeTextSurface(GuiTextView& view, std::uint32_t log2Width, std::uint32_t log2Height,
                     std::uint32_t erase) {
  ClearTextBitmap(view.textBitmap, erase);
  ResizeImageBuffer(view.textTexture, 1, log2Width, log2Height, kLayoutAlpha);
  Texture2DSetFilter(view.textTexture, kFilterNearest);
  Texture2DSetWrap(view.textTexture, 0);
  CreateTextBitmap(view.textBitmap, &view.textTexture);
}

void DrawSetupPanelTexts() {
  TextBitmap& b = SetupPanel.textBitmap;
  MakeTextSurface(SetupPanel, 10, 9, 1);
  ResetTextFont(b);
  struct Text {
    std::uint32_t index, x, y;
  };
  struct Group {
    Text texts[12];
    std::uint32_t count;
    std::uint32_t frame[4];  // x0, y0, x1, y1; none when x1 is 0
    std::uint32_t titleAt;   // the frame is drawn before text `titleAt`
  };
  // The language, the level of detail (two groups) and the display sections; each frame goes
  // under its title, which is written over the frame's top line.
  static const Group kGroups[] = {
      {{{78, 20, 50}, {77, 20, 20}}, 2, {10, 31, 730, 80}, 1},
      {{{59, 520, 130}, {60, 600, 130}, {61, 685, 130}, {6, 20, 155}, {7, 400, 155}, {5, 20, 100}},
       6,
       {10, 111, 730, 328},
       5},
      {{{59, 140, 198},
        {60, 220, 198},
        {61, 305, 198},
        {59, 520, 198},
        {60, 600, 198},
        {61, 685, 198},
        {8, 20, 223},
        {9, 20, 248},
        {10, 20, 273},
        {11, 20, 298},
        {12, 400, 223},
        {13, 400, 248}},
       12,
       {},
       0},
      {{{62, 190, 373},
        {15, 20, 398},
        {16, 20, 423},
        {63, 560, 373},
        {64, 620, 373},
        {65, 690, 373},
        {17, 400, 398},
        {76, 400, 423},
        {14, 20, 343}},
       9,
       {10, 354, 730, 453},
       8},
  };
  for (const Group& g : kGroups) {
    SetTextFont(b, "arial");
    SetTextSize(b, 10);
    SetTextStyle(b, 0);
    b.textLevel = 1.0f;
    for (std::uint32_t i = 0; i < g.count; ++i) {
      if (g.frame[2] != 0 && i == g.titleAt) {
        b.textLevel = 0.1f;
        DrawTextPolyline(b, 2, g.frame[0], g.frame[1], g.frame[2], g.frame[3]);
        b.textLevel = 1.0f;
      }
      DrawMarkupTextAt(b, g.texts[i].x, g.texts[i].y, TextResources[g.texts[i].index].text);
    }
    UploadBitmapTexture(b);
    ResetTextFont(b);
  }
}

void ShowMainWidgets() {
  for (GuiPlane* p : Planes{&MenuBar, &WorldButton, &ViewButton, &SetupButton, &ProductButton,
                            &MenuBarBorder, &ExamineCheck, &SaveViewCheck, &FocalPanel})
    ShowPlane(*p);
  if (gMainPlane.fpsFlag != 0) ShowPlane(FpsLabel);
  if (gMainPlane.ppsFlag != 0) ShowPlane(PpsLabel);
  ShowPlane(FocalLabel);
}

std::uint32_t BuildMainInterface() {
  MainPlane& main = gMainPlane;
  if (LanguageIndex < 0 || LanguageIndex >= kLanguageCount) LanguageIndex = 0;
  std::memcpy(LanguageDir, kLanguageDirs[LanguageIndex], sizeof LanguageDir);

  MenuBarWidgets(main);

  MenuList(MainMenuList, kMainMenuTexts, kMainMenuLineCount, OnMainMenuChoice, CloseMainMenu);
  Attach(main, MainMenuList);
  HidePlane(MainMenuList);

  SessionPanels(main);
  ReadRenderLod();
  SetupWidgets(main);

  MenuList(ProductMenuList, kProductMenuTexts, kProductMenuLineCount, ProductMenuChoice, CloseProductMenu);
  Attach(main, ProductMenuList);
  HidePlane(ProductMenuList);

  PrepareList(InfoPanel);
  ShowInfoPanel();
  Attach(main, InfoPanel, 5);
  HidePlane(InfoPanel);
  PlaceButton(InfoCloseButton, Root(), ParentEnd(-75), Px(5), StatusCloseButton,
              {nullptr, nullptr, nullptr, CloseInfoPanel});
  Attach(InfoPanel, InfoCloseButton);

  ViewStrip(main);

  LoadPanelImageWithMask(FocalPanel, Root(), Px(340), Px(68), Lang("inter_yfocal_0.png").c_str(),
                         Lang("inter_yfocal_mask.png").c_str());
  Attach(main, FocalPanel, 7);

  RenderTextImage(LargeDigits, "arial", 24, "\\b\\i", 2);
  RenderTextImage(SmallDigits, "arial", 10, "\\b", 0);
  Label(FpsLabel, LargeDigits, Px(10), ScreenEnd(-50),
        {5, 1, {Byte(232), Byte(141), Byte(72), 0.7f}, 1}, &FpsValue);
  Label(FocalLabel, SmallDigits, Px(425), Px(77), {8, 0, {Byte(85), Byte(87), Byte(95), 1.0f}, 0},
        &ViewFocalAngle);
  Label(PpsLabel, LargeDigits, ScreenEnd(-150), ScreenEnd(-50),
        {6, 2, {Byte(72), Byte(72), Byte(232), 0.7f}, 1}, &PpsValue);
  PpsValue = FpsValue = 0.0f;
  ShowIf(FpsLabel, main.fpsFlag);
  ShowIf(PpsLabel, main.ppsFlag);

  PrepareList(HintLine);
  SetupTextChoice(HintLine, Root(), SharedLineTable, kHintEndsAtAnchor,
                  SetSharedLinesFromTexts(kHintTexts, kHintLineCount), {0.0f, 0.0f, 0.2f, 1.0f},
                  {1.0f, 1.0f, Byte(150)});
  Attach(main, HintLine);
  // Shown by the hint callback alone: nothing of the interface shows after the build.
  HidePlane(HintLine);

  ClearScreenPlanes();
  for (GuiPlane* p : Planes{&MenuBar, &WorldButton, &ViewButton, &SetupButton, &ProductButton,
                            &MenuBarBorder, &FocalPanel, &ProgressPanel, &StatusPanel, &SetupPanel,
                            &ExamineCheck, &SaveViewCheck, &InfoPanel})
    AddScreenPlane(*p);

  for (GuiPlane* p :
       Planes{&MenuBar, &WorldButton, &ViewButton, &SetupButton, &ProductButton, &MenuBarBorder,
              &ExamineCheck, &SaveViewCheck, &FocalPanel, &FpsLabel, &FocalLabel, &PpsLabel})
    HidePlane(*p);

  MainInterfacePending = 0;
  return 1;
}

}  // namespace veskor
