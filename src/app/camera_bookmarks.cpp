#include "app/camera_bookmarks.h"

#include <charconv>
#include <string>

#include "app/error_boxes.h"
#include "foundation/search_dirs.h"
#include "language/world.h"
#include "platform/file_replace.h"
#include "platform/save_signals.h"

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

}  // namespace

std::string CameraBookmarksPath() { return std::string(BinaryDir) + kBookmarkFileName; }

bool WriteCameraBookmarksFile(std::string* reason) {
  if (gWorld.snapshotCount == 0) return true;
  // A FIFO where the file goes is refused, never waited on: the write comes as the window
  // closes, which nothing would end then. A file that does not answer is named by the run's end.
  const std::string path = CameraBookmarksPath();
  const SaveUnderWay underWay(path, "the bookmarks");
  return ReplaceFileWhole(path, BookmarkText(), reason, ThroughDescriptor::kWholeFile,
                          NotRegularFile::kRefused);
}

std::uint32_t WriteCameraBookmarks() {
  std::string reason;
  if (WriteCameraBookmarksFile(&reason)) return 1;
  const std::string message =
      "Bookmarks not saved !\n\nCannot write " + CameraBookmarksPath() + " :\n" + reason;
  ReportWarning(kPlaceShutdown, message.c_str());
  return 0;
}

}  // namespace veskor
