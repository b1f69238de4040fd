// Feeds arbitrary bytes to the text-resource reader as a language's "txtres.txt". Any crash or
// sanitizer report is a fault of the reader; so is an entry without its terminating zero, a
// count past the table, or an entry past the count that is not empty.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/text_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (size == 0 || file == nullptr) {
    if (file != nullptr) std::fclose(file);
    return 0;
  }
  veskor::ReadTextResources(file);
  std::fclose(file);
  if (veskor::TextResourceCount > veskor::kTextResourceCapacity) std::abort();
  for (std::uint32_t i = 0; i < veskor::kTextResourceCapacity; ++i) {
    const char* text = veskor::TextResources[i].text;
    const std::size_t n = strnlen(text, veskor::kTextResourceBytes);
    if (n == veskor::kTextResourceBytes) std::abort();
    if (i >= veskor::TextResourceCount && n != 0) std::abort();
  }
  return 0;
}
