// Writes the PNG test images of tests/support into a directory, as the PNG fuzzer's seeds:
//   make_png_corpus fuzz/corpus/png
#include <cstdio>
#include <string>

#include "support/png_test_images.h"
#include "support/temp_dir.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_png_corpus <directory>\n");
    return 2;
  }
  for (const auto& image : veskor::test::PngTestImages()) {
    const std::string path = std::string(argv[1]) + "/" + image.name;
    if (!veskor::test::WriteFileBytes(path, image.bytes)) {
      std::fprintf(stderr, "make_png_corpus: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
