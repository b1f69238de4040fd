// Loaded into the store writer by its test (LD_PRELOAD): once the directory that
// VESKOR_TEST_RACE_DIR names is made, "x\n" is added to the file that VESKOR_TEST_RACE_STORE
// names (made when missing), as another program writing the store at that moment would; and
// VESKOR_TEST_RACE_LINK is made a link whose text is VESKOR_TEST_RACE_LINK_TO.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

std::string WithoutEndSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

extern "C" int mkdir(const char* path, mode_t mode) {
  using Mkdir = int (*)(const char*, mode_t);
  static const Mkdir real = reinterpret_cast<Mkdir>(dlsym(RTLD_NEXT, "mkdir"));
  const int made = real(path, mode);
  const char* dir = std::getenv("VESKOR_TEST_RACE_DIR");
  if (made != 0 || dir == nullptr || WithoutEndSlashes(path) != WithoutEndSlashes(dir)) return made;
  if (const char* store = std::getenv("VESKOR_TEST_RACE_STORE"); store != nullptr) {
    const int fd = open(store, O_WRONLY | O_APPEND | O_CREAT, 0600);
    if (fd >= 0) {
      [[maybe_unused]] const ssize_t n = write(fd, "x\n", 2);
      close(fd);
    }
  }
  const char* link = std::getenv("VESKOR_TEST_RACE_LINK");
  const char* to = std::getenv("VESKOR_TEST_RACE_LINK_TO");
  if (link != nullptr && to != nullptr) {
    [[maybe_unused]] const int linked = symlink(to, link);
  }
  return made;
}
