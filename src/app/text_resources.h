// The interface texts of the chosen language: "txtres.txt" under the resource directory's
// "Txt/<language>/", one text per non-empty line, addressed by line number. Read at start and
// again at each change of language.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace veskor {

inline constexpr std::uint32_t kTextResourceCapacity = 128;
inline constexpr std::size_t kTextResourceBytes = 64;  // up to 63 characters and a zero

struct TextResourceEntry {
  char text[kTextResourceBytes];
};
extern TextResourceEntry TextResources[kTextResourceCapacity];
extern std::uint32_t TextResourceCount;

// 0 English, 1 Spanish, 2 French, 3 German (the setting IDL); any other value counts as 0.
extern std::int32_t LanguageIndex;
inline constexpr std::int32_t kLanguageCount = 4;
inline constexpr const char* kLanguageDirs[kLanguageCount] = {"en/", "es/", "fr/", "du/"};
// The current language's directory: the subdirectory under "Txt/" and the prefix of the
// language's interface images.
extern char LanguageDir[4];

// Sets LanguageDir from LanguageIndex (a value outside 0..3 becomes 0) and reads the language's
// file. A file that cannot be opened shows its full path in the "Error" box, followed by the
// reason when the file is there (": it is a FIFO, not a regular file", ": Permission denied"),
// and ends the process at once with exit code 1.
void LoadTextResources();

// Fills the table from an open file: entry k is the k-th non-empty line (a CR before LF
// dropped); a longer line is cut at 63 characters, lines past the 128th are ignored, and the
// entries past the new count are emptied.
void ReadTextResources(std::FILE* file);

}  // namespace veskor
