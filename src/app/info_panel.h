// The information panel: 24 text lines over the scene about the loaded world (title, file,
// author, date, comment, version), the processor, the last render session's timings, the
// OpenGL driver with the optional extensions found, and the memory the world takes. Each line
// starts with its label from the interface texts; before a world is ready most lines hold the
// label alone. The lines go to InfoPanel, the main interface's text list.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veskor {

inline constexpr std::uint32_t kInfoLineCount = 24;
inline constexpr std::size_t kInfoLineBytes = 256;  // 255 characters and the zero
// The label of line i is text resource kInfoLabelFirst + i.
inline constexpr std::uint32_t kInfoLabelFirst = 23;

extern char InfoLines[kInfoLineCount][kInfoLineBytes];
extern const char* const InfoLineTable[kInfoLineCount];
extern std::uint32_t InfoLineCount;

// Writes the 24 lines and hands them to InfoPanel: with a world ready as new texts of the
// list as it is placed; otherwise with the list's full set-up (40 and 150 pixels from the
// root's corner, its background and text colours).
void ShowInfoPanel();

// The version text: the first number, the markup for smaller grey text, then " . " and each
// further number, every number in decimal; empty without numbers. Cut to fit `bytes`.
void FormatVersionText(char* out, std::size_t bytes, const std::uint32_t* numbers,
                       std::uint32_t count);

// The optional extensions of `mask` (ExtensionMask bits) by name, ", " between entries and a
// new visual line at tab column 3 before the fifth, the ninth and so on; appended to `out`
// within `bytes`.
void AppendExtensionList(char* out, std::size_t bytes, std::uint32_t mask);

}  // namespace veskor
