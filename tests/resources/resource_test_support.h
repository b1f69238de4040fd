// What the tests of the product tree share: where the build laid the tree and its tools, the
// names of the files the program loads (written from the interface's placements, not taken
// from the tools), a runner for the tools and a reader of settings stores.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veskor::test {

inline const std::string kProductDir = VESKOR_PRODUCT_DIR;  // ends with '/'
inline const std::string kImgDir = kProductDir + "resources/Img/";
inline const std::string kSourceDir = VESKOR_SOURCE_DIR;
inline const char* const kLanguageDirs[4] = {"en", "es", "fr", "du"};

// An interface image and where the interface shows it: its size must stay within maxWidth x
// maxHeight; `power2` when the widget draws its whole texture, whose sides are powers of two;
// `mask` the grey image paired with it, if any.
struct ImagePlace {
  const char* name;
  std::uint32_t maxWidth, maxHeight;
  bool power2;
  const char* mask;
};
// The 27 images of each language's directory and the 33 shared ones, each colour image once,
// with masks named by their colour image only.
const std::vector<ImagePlace>& LanguageImagePlaces();
const std::vector<ImagePlace>& SharedImagePlaces();
// Every file name of a table: its colour images and their masks, each once.
std::vector<std::string> ImageNames(const std::vector<ImagePlace>& places);

// Runs the program with its arguments and waits; the exit code, or -1 when it did not run or
// end normally. `env` replaces the environment when given.
int RunProgram(const std::vector<std::string>& argv,
               const std::optional<std::vector<std::string>>& env = std::nullopt);

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadBytes(const std::string& path);

// The string values of a settings store's text, keyed "<key>|<name>", escapes resolved.
std::map<std::string, std::string> ReadStore(const std::string& text);

// write_settings_store's arguments for the product tree, with the store and the user's
// directory under `dir`.
std::vector<std::string> StoreWriterArgs(const std::string& dir);

// Writes a store under `dir` with the store writer and takes its directories as the search
// directories (no world directories added); false when either step fails.
bool UseWrittenStoreDirs(const std::string& dir);

}  // namespace veskor::test
