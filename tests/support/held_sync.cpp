#include "support/held_sync.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace veskor::test {

int gHeldSays = -1, gLetGo = -1;

bool Heard(int fd) {
  pollfd ready{fd, POLLIN, 0};
  int n;
  while ((n = ::poll(&ready, 1, kHeardSeconds * 1000)) < 0 && errno == EINTR) {
  }
  char byte;
  return n == 1 && ::read(fd, &byte, 1) == 1;
}

int HeldSync(int fd) {
  const char byte = 'h';
  if (::write(gHeldSays, &byte, 1) != 1 || !Heard(gLetGo)) return -1;
  return ::fsync(fd);
}

}  // namespace veskor::test
