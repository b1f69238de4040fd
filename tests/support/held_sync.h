// A sync call that a test holds inside a whole write (SetReplaceSyncCall): it says it has come
// and waits to be let go, each through a pipe, and never waits for ever, so that a write that
// went wrong fails its test instead of leaving it (and the processes it forked) waiting.
#pragma once

namespace veskor::test {

// The longest wait for a byte on one of the pipes.
inline constexpr int kHeardSeconds = 20;

// Waits up to kHeardSeconds for a byte on `fd` and takes it: false when none came (the pipe
// ended, or the time ran out).
bool Heard(int fd);

// The pipes' ends that HeldSync writes its arrival to and reads its release from; set by the test.
extern int gHeldSays, gLetGo;

// Says it has come (a byte on gHeldSays), waits to be let go (a byte on gLetGo), then syncs
// `fd`; -1 when either fails.
int HeldSync(int fd);

}  // namespace veskor::test
