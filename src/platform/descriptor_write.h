// Writing a file in place through an open descriptor: the messages file's records, a save named
// through a descriptor the process was given (`> out.png`, `3<> registry`), and the tails of a
// replace by name (file_replace.h).
//
// A whole write (WriteWholeThrough) makes a regular file hold the text alone, whatever the
// descriptor's mode (`>`, `<>`, `>>`) or offset, as a replaced file would. The process holds the
// file with a POSIX write lock from the readying to the cut, so that two runs sharing one
// descriptor write in turn; it waits up to kReplaceHoldSeconds for another process's hold, then
// fails ("another process (pid <n>) has held the file for more than 3 seconds").
//
// The room for the whole text and the cut are known to be there before its first byte goes in,
// so that a write that cannot be done ("No space left on device"; "Operation not permitted" for
// a memfd sealed against the cut, or an append-only file; "File too large" past the file-size
// limit) leaves the old text as it was. Where the file system cannot reserve room, the holes of
// the old file that the text will cover are given their blocks, and the part of the text past
// the old end is written first, the file cut back to its old length when either does not go in.
// That holds where the file system overwrites a file in place; one that copies on write needs
// new room for the old text's blocks too, and may run out of it half-way.
//
// Once begun (from its first byte to its cut), a whole write ends whole whatever signal comes
// (SignalsDeferred, save_signals.h).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/save_signals.h"

namespace veskor {

// Writes all of `s` to `fd`, again after an interruption (EINTR); false with errno set when a
// write fails, EIO for one that takes no byte. Safe in a signal handler.
bool WriteWhole(int fd, std::string_view s);

// WriteWhole with SIGPIPE held for the thread during the write: a reader that has gone fails
// the write with EPIPE instead of ending the process, and the SIGPIPE that the write raised is
// taken before the signal is let go (one that was pending before stays pending). errno as
// WriteWhole leaves it.
bool WriteWholeHoldingPipe(int fd, std::string_view s);

// Writes `text` through `fd` as the shell's redirection opened it: from the descriptor's offset,
// or at the end when it appends (`>>`), so that what a script wrote before stays. A regular file
// is cut where the text ends, unless it is appended to, and flushed to the disk. A reader that
// has gone ends the write with its reason. False with `*failure` set to the system's reason.
bool WriteThrough(int fd, std::string_view text, int* failure);

// Writes `text` as the whole of the regular file that `fd` is open on (above). False with
// `*reason` set.
bool WriteWholeThrough(int fd, std::string_view text, std::string* reason);

// WriteWholeThrough for a save that has its turn and holds the signals already (SaveTurn,
// SignalsDeferred): the replace by name of a file that cannot be renamed over.
bool WriteWholeThroughWithinSave(int fd, std::string_view text, std::string* reason);

// Whether a file of `size` bytes may be written under the process's file-size limit
// (RLIMIT_FSIZE, `ulimit -f`): a write past it takes only the bytes below it, then fails (EFBIG),
// and raises SIGXFSZ, which ends the process by default.
bool WithinFileSizeLimit(std::size_t size);

// Holds off, until the process closes a descriptor of the file, the whole writes through a
// descriptor of other processes on the regular file that `fd` is open on for reading (a POSIX
// read lock), waiting up to kReplaceHoldSeconds for one under way to end: a reader of the file
// that takes it then never meets half of such a write. Nothing for a pipe or a device. False
// with `*reason` set when the wait runs out.
bool HoldFileForReading(int fd, std::string* reason);

// Flushes `fd`'s file to the disk through the call below (a temporary before its rename, a file
// written through a descriptor); -1 with errno set when it fails.
int SyncFile(int fd);

// The call that flushes a file to the disk (fsync); tests count it or make it fail. Returns the
// call it replaces.
using FileSyncCall = int (*)(int fd);
FileSyncCall SetReplaceSyncCall(FileSyncCall call);

// The call that cuts a file written through a descriptor where its text ends (ftruncate);
// tests make a signal come just before it. Returns the call it replaces.
using FileCutCall = int (*)(int fd, off_t length);
FileCutCall SetReplaceCutCall(FileCutCall call);

}  // namespace veskor
