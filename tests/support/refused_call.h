// Faults a test cannot bring about on a local file system (a close that fails, a file system
// without fallocate, a write that takes no byte), made by a seccomp filter in the test's own
// process, most often a forked child.
#pragma once

namespace veskor::test {

// Makes the system call `call` (a __NR_ number) answer -`error` (0: a success that did nothing,
// as a write of no byte) in this process from now on, on the descriptors from `first` to `last`
// (the low word of the first argument, as on little-endian machines). The process can never take
// it back. False when the filter cannot be put in.
bool RefuseCall(int call, int first, int last, int error);

// Makes the system call `call` answer -`error` in this process from now on whenever its
// argument number `argument` (0 to 5, its low word) is `value`: an lseek with one whence alone
// (SEEK_DATA), as a file system whose look-up of it fails. False when it cannot be put in.
bool RefuseCallWhere(int call, int argument, unsigned value, int error);

// Makes the system call `call` raise SIGSYS in the calling thread alone from now on, as the
// kernel raises it for a call that a seccomp filter traps (si_code SYS_SECCOMP). False when
// the filter cannot be put in.
bool TrapCall(int call);

}  // namespace veskor::test
