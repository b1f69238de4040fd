// The product menu's choices and the web pages: the version, manual, product and maker pages
// are the product tree's own documentation, opened in the user's browser by their file://
// addresses. The online-help button of the help page opens the manual.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veskor {

// The pages, in the product directory's "docs/".
inline constexpr const char* kDocsDir = "docs/";
inline constexpr const char* kVersionPage = "version.html";
inline constexpr const char* kManualPage = "manual.html";
inline constexpr const char* kProductPage = "product.html";
inline constexpr const char* kMakerPage = "maker.html";
inline constexpr std::size_t kWebAddressBytes = 1024;

// The product menu's lines that do something.
enum : std::int32_t {
  kProductMenuInfo = 0,
  kProductMenuStatus = 1,
  kProductMenuWelcome = 2,
  kProductMenuVersion = 4,
  kProductMenuHelp = 6,
  kProductMenuManual = 7,
  kProductMenuProduct = 9,
  kProductMenuMaker = 10,
};

// What opens an address: the platform's browser; tests put a recording opener in.
extern std::uint32_t (*WebPageOpener)(const char* address);

// "file://" and the absolute path of `page` in the product directory's docs/, with every byte
// but letters, digits and "-._~/" percent-encoded. False, with `address` empty, when it does
// not fit in `bytes`.
bool ProductPageAddress(const char* page, char* address, std::size_t bytes);

// Opens the address: 1 when a browser was started, else 0.
std::uint32_t OpenUrl(const char* address);
// Opens a page of the product tree by its address; 0 also when the address does not fit.
std::uint32_t OpenProductPage(const char* page);
// The online-help button's release action: the manual.
void OpenDocsLink();

// The product menu's choice callback: unless the choice is -1, the menu closes and the line
// acts (0 information panel, 1 status panel, 2 the welcome when it is not running, 4 the
// version page, 6 the help page, 7 the manual, 9 the product page, 10 the maker's page); in
// every case the product button answers again.
void OpenWebLink(std::int32_t choice);

}  // namespace veskor
