// The product menu's choices with a recording opener, the pages' addresses and files, and the
// opener's result and headless record.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/help_page.h"
#include "app/main_interface.h"
#include "app/web_links.h"
#include "app/welcome_screen.h"
#include "foundation/search_dirs.h"
#include "support/message_capture.h"

namespace veskor {
namespace {

std::string gOpened;
std::uint32_t gOpenResult = 1;
int gWelcomeStarts = 0;

class WebLinksTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetSearchDirs("/opt/ves kor", "/b", "/s", "/r", "/w"));
    WebPageOpener = [](const char* address) {
      gOpened += std::string(address) + " ";
      return gOpenResult;
    };
    gOpened.clear();
    gOpenResult = 1;
    gWelcomeStarts = 0;
    WelcomePanel.ownerCallback = [] { ++gWelcomeStarts; };
  }
  void TearDown() override {
    WebPageOpener = kDefaultOpener;
    WelcomePanel.ownerCallback = nullptr;
    WelcomeRunning = HelpShown = 0;
  }
  static std::uint32_t (*const kDefaultOpener)(const char*);
};
std::uint32_t (*const WebLinksTest::kDefaultOpener)(const char*) = WebPageOpener;

TEST_F(WebLinksTest, EachChoiceActsAndTheButtonAnswersAgain) {
  const std::string docs = "file:///opt/ves%20kor/docs/";
  const struct {
    std::int32_t choice;
    std::string opened;
    std::uint32_t infoShown, statusShown, welcomeStarts, menuShown;
  } cases[] = {
      {-1, "", 0, 0, 0, 1},  // nothing chosen: the menu stays
      {0, "", 1, 0, 0, 0},
      {1, "", 0, 1, 0, 0},
      {2, "", 0, 0, 1, 0},
      {3, "", 0, 0, 0, 0},
      {4, docs + "version.html ", 0, 0, 0, 0},
      {5, "", 0, 0, 0, 0},
      {7, docs + "manual.html ", 0, 0, 0, 0},
      {8, "", 0, 0, 0, 0},
      {9, docs + "product.html ", 0, 0, 0, 0},
      {10, docs + "maker.html ", 0, 0, 0, 0},
      {11, "", 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.choice);
    gOpened.clear();
    gWelcomeStarts = 0;
    for (GuiPlane* p : {static_cast<GuiPlane*>(&InfoPanel), static_cast<GuiPlane*>(&StatusPanel),
                        static_cast<GuiPlane*>(&WelcomePanel)})
      HidePlane(*p);
    ShowPlane(ProductMenuList);
    ProductButton.muted = 1;
    OpenWebLink(c.choice);
    EXPECT_EQ(gOpened, c.opened);
    EXPECT_EQ(1 - InfoPanel.hidden, c.infoShown);
    EXPECT_EQ(1 - StatusPanel.hidden, c.statusShown);
    EXPECT_EQ(gWelcomeStarts + (1 - WelcomePanel.hidden), 2 * c.welcomeStarts);
    EXPECT_EQ(1 - ProductMenuList.hidden, c.menuShown);
    EXPECT_EQ(ProductButton.muted, 0u);
  }
  // The welcome is not started again while it runs, nor the help page shown again.
  WelcomeRunning = HelpShown = 1;
  OpenWebLink(kProductMenuWelcome);
  OpenWebLink(kProductMenuHelp);
  EXPECT_EQ(gWelcomeStarts, 0);
  // A panel already shown stays as it is.
  ShowPlane(InfoPanel);
  OpenWebLink(kProductMenuInfo);
  EXPECT_EQ(InfoPanel.hidden, 0u);
}

TEST_F(WebLinksTest, AddressesAreAbsoluteEncodedAndBounded) {
  char address[kWebAddressBytes];
  ASSERT_TRUE(ProductPageAddress(kManualPage, address, sizeof address));
  EXPECT_STREQ(address, "file:///opt/ves%20kor/docs/manual.html");
  // A relative product directory is taken from the current directory.
  ASSERT_TRUE(SetSearchDirs("prod#1", "/b", "/s", "/r", "/w"));
  ASSERT_TRUE(ProductPageAddress(kMakerPage, address, sizeof address));
  const std::string cwd = std::filesystem::current_path().string();
  std::string encoded;
  for (char ch : cwd) encoded += ch == ' ' ? std::string("%20") : std::string(1, ch);
  EXPECT_EQ(std::string(address), "file://" + encoded + "/prod%231/docs/maker.html");
  // Just too long: nothing is opened.
  const std::size_t length = std::strlen(address);
  EXPECT_FALSE(ProductPageAddress(kMakerPage, address, length));
  EXPECT_STREQ(address, "");
  EXPECT_TRUE(ProductPageAddress(kMakerPage, address, length + 1));
  gOpenResult = 0;  // an opener that starts no browser
  EXPECT_EQ(OpenProductPage(kManualPage), 0u);
  EXPECT_EQ(OpenUrl("http://example.org/"), 0u);
  gOpenResult = 1;
  EXPECT_EQ(OpenUrl("http://example.org/"), 1u);
}

TEST_F(WebLinksTest, EachPageIsInTheProductTree) {
  ASSERT_TRUE(SetSearchDirs(VESKOR_PRODUCT_DIR, "/b", "/s", "/r", "/w"));
  for (const char* page : {kVersionPage, kManualPage, kProductPage, kMakerPage}) {
    char address[kWebAddressBytes];
    ASSERT_TRUE(ProductPageAddress(page, address, sizeof address));
    ASSERT_EQ(std::string(address, 7), "file://");
    std::string path;  // undone percent-encoding
    for (const char* p = address + 7; *p != '\0'; ++p) {
      if (*p == '%') {
        path += static_cast<char>(std::stoi(std::string(p + 1, 2), nullptr, 16));
        p += 2;
      } else {
        path += *p;
      }
    }
    const std::string text = test::ReadFileText(path);
    EXPECT_NE(text.find("<html"), std::string::npos) << path;
    EXPECT_NE(text.find("</html>"), std::string::npos) << path;
  }
}

TEST_F(WebLinksTest, HeadlessRunsRecordTheManualsAddress) {
  WebPageOpener = kDefaultOpener;
  test::MessageCapture capture;
  OpenDocsLink();
  EXPECT_EQ(capture.Text(), "Web page [none] file:///opt/ves%20kor/docs/manual.html\n");
}

}  // namespace
}  // namespace veskor
