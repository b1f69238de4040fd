// A reversible character shift that keeps a text (such as a vertex program) unreadable on
// disk and restores it into memory. For texts of 7-bit characters and shifts of 0 to 127 the
// two routines are inverse: the shift works modulo 128.
#pragma once

#include <cstdint>

namespace veskor {

// Reads the input as text (a carriage return before a line feed is dropped) and writes each
// character x as the byte x - shift, plus 128 when that is negative. 1 on success, 0 when a
// file cannot be opened or the output cannot be written.
std::uint32_t ScrambleTextFile(const char* inputPath, std::uint32_t shift, const char* outputPath);

// Reads the file and stores each byte x as x + shift, minus 128 when that is above 127,
// followed by a zero byte. 1 on success; 0 when the file cannot be opened or the text and its
// zero do not fit in `capacity` bytes (the buffer then holds an empty text, when it has room).
std::uint32_t UnscrambleTextFile(const char* path, std::uint32_t shift, char* buffer,
                                 std::uint32_t capacity);

}  // namespace veskor
