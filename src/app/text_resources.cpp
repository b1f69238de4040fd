#include "app/text_resources.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/fatal_error.h"
#include "foundation/search_dirs.h"
#include "platform/file_open.h"

namespace veskor {

TextResourceEntry TextResources[kTextResourceCapacity];
std::uint32_t TextResourceCount = 0;
std::int32_t LanguageIndex = 0;
char LanguageDir[4] = "en/";

void ReadTextResources(std::FILE* file) {
  TextResourceCount = 0;
  std::size_t length = 0;  // characters of the current line
  for (;;) {
    int c = std::getc(file);
    if (c == '\r') {
      const int next = std::getc(file);
      if (next == '\n') {
        c = next;
      } else {
        std::ungetc(next, file);
      }
    }
    if (c == '\n' || c == EOF) {
      if (length > 0 && TextResourceCount < kTextResourceCapacity) {
        TextResources[TextResourceCount].text[std::min(length, kTextResourceBytes - 1)] = '\0';
        ++TextResourceCount;
      }
      length = 0;
      if (c == EOF) break;
      continue;
    }
    if (TextResourceCount < kTextResourceCapacity && length < kTextResourceBytes - 1)
      TextResources[TextResourceCount].text[length] = static_cast<char>(c);
    ++length;
  }
  // A shorter file than the last one leaves none of the last one's texts behind.
  for (std::uint32_t i = TextResourceCount; i < kTextResourceCapacity; ++i)
    std::memset(TextResources[i].text, 0, kTextResourceBytes);
}

void LoadTextResources() {
  if (LanguageIndex < 0 || LanguageIndex >= kLanguageCount) LanguageIndex = 0;
  std::strcpy(LanguageDir, kLanguageDirs[LanguageIndex]);
  const std::string path = std::string(ResourceDir) + "Txt/" + LanguageDir + "txtres.txt";
  // Opened without waiting: a FIFO in the file's place is refused at once, as what it is.
  FileOpenFailure failure;
  std::FILE* file = OpenRegularStreamForReading(path.c_str(), &failure);
  if (file == nullptr) {
    FatalError(failure.Missing() ? path.c_str() : (path + ": " + failure.Reason()).c_str());
  }
  ReadTextResources(file);
  std::fclose(file);
}

}  // namespace veskor
