// Writes the PNG reader's test images into a directory, as the fuzzer's seed corpus.
#include <cstdio>
#include <string>

#include "png_test_images.h"

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
