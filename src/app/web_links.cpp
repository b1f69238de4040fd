#include "app/web_links.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/help_page.h"
#include "app/main_interface.h"
#include "app/welcome_screen.h"
#include "foundation/search_dirs.h"
#include "platform/browser.h"

namespace veskor {

std::uint32_t (*WebPageOpener)(const char* address) = OpenInBrowser;

namespace {

bool Unreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::strchr("-._~/", c) != nullptr;
}

}  // namespace

bool ProductPageAddress(const char* page, char* address, std::size_t bytes) {
  if (bytes == 0) return false;
  address[0] = '\0';
  std::error_code error;
  const std::filesystem::path dir = std::filesystem::absolute(ProductDir, error);
  if (error) return false;
  std::string path = dir.string();
  if (path.empty() || path.back() != '/') path += '/';
  path += kDocsDir;
  path += page;
  std::string text = "file://";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const unsigned char c : path) {
    if (Unreserved(c)) {
      text += static_cast<char>(c);
    } else {
      text += '%';
      text += kHex[c >> 4];
      text += kHex[c & 15];
    }
  }
  if (text.size() >= bytes) return false;
  std::memcpy(address, text.c_str(), text.size() + 1);
  return true;
}

std::uint32_t OpenUrl(const char* address) { return WebPageOpener(address); }

std::uint32_t OpenProductPage(const char* page) {
  char address[kWebAddressBytes];
  if (!ProductPageAddress(page, address, sizeof address)) return 0;
  return OpenUrl(address);
}

void OpenDocsLink() { OpenProductPage(kManualPage); }

void OpenWebLink(std::int32_t choice) {
  if (choice != -1) {
    HidePlane(ProductMenuList);
    switch (choice) {
      case kProductMenuInfo: ShowPlane(InfoPanel); break;
      case kProductMenuStatus: ShowPlane(StatusPanel); break;
      case kProductMenuWelcome:
        if (WelcomeRunning == 0) {
          if (WelcomePanel.ownerCallback != nullptr) WelcomePanel.ownerCallback();
          ShowPlane(WelcomePanel);
        }
        break;
      case kProductMenuVersion: OpenProductPage(kVersionPage); break;
      case kProductMenuHelp: ShowHelpPage(); break;
      case kProductMenuManual: OpenProductPage(kManualPage); break;
      case kProductMenuProduct: OpenProductPage(kProductPage); break;
      case kProductMenuMaker: OpenProductPage(kMakerPage); break;
      default: break;
    }
  }
  ProductButton.muted = 0;  // the flag the product menu's opening set
}

}  // namespace veskor
