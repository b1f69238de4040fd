#include "app/camera_bookmarks.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/error_boxes.h"
#include "foundation/search_dirs.h"
#include "language/world.h"

namespace veskor {

namespace {

constexpr float kDegreesPerRadian = 57.29578f;

// Two decimals with a point, whatever the locale.
void AppendNumber(std::string& text, float value) {
  char digits[64];
  const auto r = std::to_chars(digits, digits + sizeof digits, static_cast<double>(value),
                               std::chars_format::fixed, 2);
  text.append(digits, r.ec == std::errc{} ? r.ptr : digits);
}

void AppendVector(std::string& text, const char* field, const float* v) {
  text += "  ";
  text += field;
  text += " ( [";
  for (int i = 0; i < 3; ++i) {
    if (i != 0) text += ' ';
    AppendNumber(text, v[i]);
  }
  text += "] )\n";
}

void AppendValue(std::string& text, const char* field, float value) {
  text += "  ";
  text += field;
  text += " ( ";
  AppendNumber(text, value);
  text += " )\n";
}

std::string BookmarkText() {
  std::string text;
  for (std::uint32_t i = 0; i < gWorld.snapshotCount; ++i) {
    const Camera& c = gWorld.snapshots[i];
    text += "Camera CameraBookMark" + std::to_string(i) + "\n{\n";
    AppendVector(text, "position", c.position);
    AppendVector(text, "direction", c.direction);
    AppendValue(text, "depth", c.depth);
    AppendValue(text, "rollAngle", c.roll * kDegreesPerRadian);
    AppendValue(text, "focalAngle", c.focalAngle);
    text += "}\n\n";
  }
  return text;
}

// False with errno set when the file cannot be written whole.
bool WriteWhole(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                       std::fflush(file) == 0;
  const int failure = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written) errno = failure;
  return written && closed;
}

}  // namespace

std::uint32_t WriteCameraBookmarks() {
  if (gWorld.snapshotCount == 0) return 1;
  const std::string path = std::string(BinaryDir) + kBookmarkFileName;
  const std::string temporary = path + ".tmp";
  if (WriteWhole(temporary, BookmarkText()) && std::rename(temporary.c_str(), path.c_str()) == 0)
    return 1;
  const std::string message =
      "Bookmarks not saved !\n\nCannot write " + path + " :\n" + std::strerror(errno);
  std::remove(temporary.c_str());
  ReportWarning(kPlaceShutdown, message.c_str());
  return 0;
}

}  // namespace veskor
