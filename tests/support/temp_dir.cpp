#include "support/temp_dir.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace veskor::test {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& path) {
  std::fprintf(stderr, "TempDir: cannot %s %s\n", what, path.c_str());
  std::abort();
}

}  // namespace

TempDir::TempDir(std::string_view prefix) {
  std::error_code error;
  std::string pattern = (std::filesystem::temp_directory_path(error) / prefix).string();
  pattern += "_XXXXXX";
  if (error || mkdtemp(pattern.data()) == nullptr) Fail("create", pattern);
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(std::string_view name, std::span<const std::uint8_t> bytes) const {
  std::string path = Path(name);
  if (!WriteFileBytes(path, bytes)) Fail("write", path);
  return path;
}

std::string TempDir::Write(std::string_view name, std::string_view text) const {
  return Write(name, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

bool WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

}  // namespace veskor::test
