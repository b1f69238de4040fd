// A fresh temporary directory for tests, benchmarks and fuzz targets: made under the system's
// temporary directory ($TMPDIR, else /tmp), removed with everything in it when the object goes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace veskor::test {

class TempDir {
 public:
  // A directory named "<prefix>_XXXXXX". Ends the process with a message when none can be made:
  // nothing that writes files could run.
  explicit TempDir(std::string_view prefix = "veskor");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, ending with '/'.
  const std::string& path() const { return path_; }
  std::string Path(std::string_view name) const { return path_ + std::string(name); }
  // Writes the file `name` (its directory must exist) and returns its path; a failure to write
  // ends the process with a message.
  std::string Write(std::string_view name, std::span<const std::uint8_t> bytes) const;
  std::string Write(std::string_view name, std::string_view text) const;

 private:
  std::string path_;
};

// Writes `bytes` to `path`, replacing the file; false when it cannot be written completely.
bool WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes);
// The whole file, "" when it cannot be read.
std::string ReadFileText(const std::string& path);

}  // namespace veskor::test
