// No descriptor to spare, as a `ulimit -n` just too low leaves a process: for the tests of a
// file that is there but cannot be opened.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>

#include <cerrno>

namespace veskor::test {

// While it lives, the process's soft limit of descriptors is the lowest one not open, so that
// an open finds none free, whatever the process holds; then it is put back, errno left as the
// open set it.
class NoDescriptorLeft {
 public:
  NoDescriptorLeft() {
    int lowest = 0;
    while (::fcntl(lowest, F_GETFD) >= 0) ++lowest;
    ::getrlimit(RLIMIT_NOFILE, &before_);  // a failure leaves the hard limit 0: none lowered
    const rlimit none{static_cast<rlim_t>(lowest), before_.rlim_max};
    lowered_ = ::setrlimit(RLIMIT_NOFILE, &none) == 0;
  }
  ~NoDescriptorLeft() {
    const int error = errno;
    if (lowered_) ::setrlimit(RLIMIT_NOFILE, &before_);
    errno = error;
  }

 private:
  rlimit before_{};
  bool lowered_ = false;
};

}  // namespace veskor::test
