#include "app/language_screen.h"

#include <string>

#include "app/info_panel.h"
#include "app/main_interface.h"
#include "app/main_plane.h"
#include "app/settings.h"
#include "app/text_resources.h"
#include "gfx/texture_format.h"
#include "gui/interface_images.h"
#include "gui/widget_textures.h"

namespace veskor {

GuiTextView LanguagePanel;
GuiImagePanel LanguagePanelBorder;
GuiDropList StartLanguageDropList;

namespace {

// Edges from the centre of the screen, in pixels.
constexpr WidgetEdge Centre(float pixels) { return {0.5f, 0.0f, pixels, 0.0f}; }

constexpr float Byte(int v) { return static_cast<float>(v) / 255.0f; }

// The language pictures of one widget: per state texture, its colour and mask files (without
// the language directory).
struct LanguageImages {
  GuiWidget* widget;
  const std::uint32_t* owns;  // the widget's has-images flag
  Texture2D** textures[3];
  const char* files[3][2];
  std::uint32_t count;
};

void ReloadImages(const LanguageImages& set) {
  if (*set.owns == 0) return;
  for (std::uint32_t i = 0; i < set.count; ++i) TextureFree(**set.textures[i]);
  const bool panel = set.widget == &FocalPanel;
  InterfaceImageFit fit{};
  for (std::uint32_t i = 0; i < set.count; ++i) {
    Texture2D& t = **set.textures[i];
    const std::string colour = std::string(LanguageDir) + set.files[i][0];
    const std::string mask = std::string(LanguageDir) + set.files[i][1];
    fit = LoadInterfaceImage(t, colour.c_str(), mask.c_str(), 4,
                             panel ? "Cannot find file" : "Cannot found file");
    Texture2DSetFilter(t, panel && FocalPanel.mipmapped != 0 ? kFilterTrilinear : kFilterNearest);
    Texture2DSetWrap(t, 0);
    Texture2DBind(t, 0, 0);
  }
  for (std::uint32_t i = 0; i < set.count; ++i) {
    Texture2DRenewName(**set.textures[i]);
    Texture2DBind(**set.textures[i], 0, 0);
  }
  // Buttons and check boxes keep the scales of their first load; the panel takes the new.
  if (panel) {
    FocalPanel.uScale = fit.uScale;
    FocalPanel.vScale = fit.vScale;
  }
}

LanguageImages Button(GuiImageButton& b, const char* hover, const char* hoverMask,
                      const char* normal, const char* normalMask) {
  return {&b, &b.ownsImages, {&b.hoverImage, &b.normalImage, nullptr},
          {{hover, hoverMask}, {normal, normalMask}, {}}, 2};
}

LanguageImages Check(GuiCheckBox& c, const char* normal, const char* mark, const char* mask) {
  return {&c, &c.ownsTextures, {&c.hoverTexture, &c.normalTexture, &c.markTexture},
          {{normal, mask}, {normal, mask}, {mark, mask}}, 3};
}

Texture2D* gFocalTexture = nullptr;  // FocalPanel.texture's address for the table

}  // namespace

std::uint32_t LanguageScreen() {
  GuiPlane* root = &gMainPlane;
  ConfigureWidget(LanguagePanel, kInterfaceStyle, Centre(-150), Centre(-30), Centre(150),
                  Centre(30));
  LanguagePanel.root = root;
  const float panel[4] = {Byte(113), Byte(118), Byte(143), 0.5f};
  for (int i = 0; i < 4; ++i) LanguagePanel.backgroundColor[i] = panel[i];
  for (float& c : LanguagePanel.textColor) c = 1.0f;
  AddChildPlane(gMainPlane, LanguagePanel);

  TextBitmap& b = LanguagePanel.textBitmap;
  MakeTextSurface(LanguagePanel, 8, 6, 0);
  ResetTextFont(b);
  SetTextFont(b, "arial");
  SetTextSize(b, 10);
  SetTextStyle(b, 0);
  std::uint32_t width = 0, height = 0;
  DrawTextRun(b, 20, 22, "choose your language", &width, &height);
  UploadBitmapTexture(b);

  for (std::uint32_t i = 0; i < 4; ++i) SetSharedLine(i, kLanguageNames[i]);
  GuiPickList& list = StartLanguagePickList;
  if (list.configured == 0) ConfigureWidget(list, kInterfaceStyle, {}, {}, {}, {});
  list.root = root;
  constexpr TextListColours kColours{
      {90 / 255.0f, 90 / 255.0f, 110 / 255.0f, 0.8f}, {1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}};
  constexpr float kHighlight[4] = {1.0f, 1.0f, 1.0f, 0.5f};
  SetupPickList(list, root, Centre(40), Centre(-10), SharedLineTable, 4, kColours, kHighlight,
                ChoiceSelected, ChoiceDone, nullptr);
  HidePlane(list);

  GuiDropList& drop = StartLanguageDropList;
  const float box[4] = {Byte(120), Byte(125), Byte(143), 1.0f};
  for (int i = 0; i < 4; ++i) drop.boxColor[i] = box[i];
  drop.onChoice = SelectLanguage;
  drop.selected = LanguageIndex;
  ChosenIndex = LanguageIndex;
  drop.attachPending = 1;
  ConfigureWidget(drop, kInterfaceStyle, Centre(40), Centre(-10),
                  Centre(40.0f + static_cast<float>(list.textWidth)), Centre(10));
  drop.root = root;
  AddChildPlane(gMainPlane, drop);

  // A 3-pixel line along the top of the panel.
  LoadPanelImageAlt(LanguagePanelBorder, root, {}, {0.0f, 0.0f, -3.0f, 0.0f},
                    {0.0f, 1.0f, 0.0f, 0.0f}, {}, "inter_border_0.png");
  AddChildPlane(LanguagePanel, LanguagePanelBorder);

  HidePlane(LanguagePanel);
  HidePlane(drop);
  LanguageScreenPending = 0;
  return 1;
}

void SelectLanguage(std::int32_t index) {
  const std::int32_t old = LanguageIndex;
  LanguageIndex = index >= 1 && index < kLanguageCount ? index : 0;
  ShowMainWidgets();
  HidePlane(LanguagePanel);
  HidePlane(StartLanguageDropList);
  FirstLaunch = 0;
  if (LanguageIndex == old) return;
  ChosenIndex = LanguageIndex;
  RebuildInterface();
}

void RebuildInterface() {
  LoadTextResources();

  gFocalTexture = FocalPanel.texture;
  const LanguageImages images[] = {
      Button(WorldButton, "inter_world_0.png", "inter_world_mask_0.png", "inter_world_1.png",
             "inter_world_mask_1.png"),
      Button(ViewButton, "inter_view_0.png", "inter_view_mask_0.png", "inter_view_1.png",
             "inter_view_mask_1.png"),
      Button(SetupButton, "inter_setup_0.png", "inter_setup_mask_0.png", "inter_setup_1.png",
             "inter_setup_mask_1.png"),
      Button(ProductButton, "inter_veskor_0.png", "inter_veskor_mask_0.png",
             "inter_veskor_1.png", "inter_veskor_mask_1.png"),
      Check(ExamineCheck, "inter_examine_0.png", "inter_examine_1.png",
            "inter_examine_mask.png"),
      Check(SaveViewCheck, "inter_saveview_0.png", "inter_saveview_1.png",
            "inter_saveview_mask.png"),
      {&FocalPanel, &FocalPanel.ownsTexture, {&gFocalTexture, nullptr, nullptr},
       {{"inter_yfocal_0.png", "inter_yfocal_mask.png"}, {}, {}}, 1},
      // Its textures are SetupCloseButton's too.
      Button(StatusCloseButton, "inter_close_1.png", "inter_close_mask.png", "inter_close_0.png",
             "inter_close_mask.png"),
  };
  for (const LanguageImages& set : images) ReloadImages(set);

  SetTextLinesTable(ProductMenuList, SharedLineTable,
                    SetSharedLinesFromTexts(kProductMenuTexts, kProductMenuLineCount));
  SetTextLinesTable(MainMenuList, SharedLineTable,
                    SetSharedLinesFromTexts(kMainMenuTexts, kMainMenuLineCount));
  DrawSetupPanelTexts();
  SetTextLinesTable(HintLine, SharedLineTable,
                    SetSharedLinesFromTexts(kHintTexts, kHintLineCount));
  for (std::uint32_t i = 0; i < kHintLineCount; ++i)
    HintLine.alignLeftOfAnchor[i] = kHintEndsAtAnchor[i];
  ShowInfoPanel();
}

}  // namespace veskor
