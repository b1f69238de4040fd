// What an ordinary user meets, seen when the suite runs as root: checks run in a forked child
// that drops to "nobody" first. For the tests of files and folders a user may not reach.
#pragma once

#include <string>

namespace veskor::test {

// Runs `checks` in a forked child in folder `dir`, as "nobody" (root's groups dropped too)
// when the suite runs as root, else as the suite's own user; `dir` is given to that user and
// reached by relative names, the way down to it may be closed to the user. The child's exit
// status, `checks`' answer (a failed check a bit of it, as a rule); 100 when the child could
// not enter `dir`, 101 when it could not become the user, -1 when it did not end normally.
int RunAsUser(const std::string& dir, int (*checks)());

}  // namespace veskor::test
