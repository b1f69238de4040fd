#include "support/fatal_test.h"

#include <cstring>

#include "platform/virtual_memory.h"

namespace veskor::test {

std::string FatalRecordRegex(std::string_view text) {
  std::string re = "(^|\n)Error \\[stop\\] ";
  for (char c : text) {
    if (std::strchr(".[]{}()\\*+?^$|", c) != nullptr) re += '\\';
    re += c;
  }
  re += "\n";
  return re;
}

ScopedHeapAreas::ScopedHeapAreas() : saved_(gHeapAreas) {
  HeapAreasInit(heap_);
  gHeapAreas = &heap_;
}

ScopedHeapAreas::~ScopedHeapAreas() {
  gHeapAreas = saved_;
  for (const HeapArea* area : {&heap_.hole, &heap_.small, &heap_.large}) {
    if (area->base != nullptr)
      VirtualRelease(area->base, std::size_t{area->reservedUnits} * kAreaUnitBytes);
  }
}

}  // namespace veskor::test
