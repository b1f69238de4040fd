// Parses arbitrary bytes as a world file, through the compile session's order of calls, in a
// directory that holds a small fixed set of files to include (one in a sub-directory, one that
// includes itself, names the input may write in another case). Any crash, hang, sanitizer
// report or leak is a fault of the world parser.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "compile_driver.h"

namespace {

std::string gDir;

void RemoveDirectory() {
  std::error_code error;
  std::filesystem::remove_all(gDir, error);
}

void WriteFile(const std::string& relative, const std::string& text) {
  std::FILE* file = std::fopen((gDir + relative).c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(text.data(), 1, text.size(), file);
  std::fclose(file);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/veskor_world_fuzz_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  gDir = pattern + "/";
  std::atexit(RemoveDirectory);
  std::filesystem::create_directories(gDir + "Sub");
  WriteFile("a.wld", "#version \"1.2\" // a\n");
  WriteFile("Sub/b.wld", "/* b */ #include \"..\\a.wld\"\r\n#version \"3\"");
  WriteFile("c.wld", "#include \"c.wld\"\n");
  WriteFile("d.wld", "#include \"sub\\B.WLD\" #include \"A.wld\" Model");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WriteFile("root.wld", std::string(reinterpret_cast<const char*>(data), size));
  veskor::test::RunCompileSession(gDir + "root.wld");
  return 0;
}
