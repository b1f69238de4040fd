// Replacing a file whole, so that no reader ever sees half of it: the text goes into a fresh
// temporary beside the file, is flushed, then renamed over it. The settings store, the camera
// bookmarks and the captured frames write through it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace veskor {

// The tag of the temporaries' names: ".<file name>.veskor-tmp-XXXXXX" (six letters or digits),
// hidden and of a form nobody else uses, so that the sweep of stale ones never meets a file the
// program did not make.
inline constexpr std::string_view kReplaceTemporaryTag = ".veskor-tmp-";
inline constexpr std::size_t kReplaceTemporaryLetters = 6;

// Replaces the file at `path` by `text`, or makes it. A symbolic link is followed to the file it
// names, which is replaced (or made) in its own folder: the link stays a link. An existing file
// keeps its owner, its group, its permission bits, its access ACL and its extended attributes
// (`user.*`, and those of other namespaces that the process may read): the temporary is given them
// all before it takes the file's place, and where the folder has a default ACL, the file keeps its
// own access ACL, or stays without one. A new one gets 0666 less the umask (or the folder's default
// ACL), as any new file does. A file the process may not write is left as it is (Permission
// denied), however writable its folder; root may write any but an immutable one. So is one whose
// owner, group, ACL or an attribute the process may not give a file ("Operation not permitted":
// another user's file that it may write, its own of a group it is not in, a `security.*` attribute
// that root gave it): a replace that cannot keep them is not done. Where the file system keeps no
// attributes, there are none to keep. A file in an append-only folder, where a temporary could be
// made and never removed, is refused before one is made ("Operation not permitted"), and so is a
// text longer than the process's file-size limit (RLIMIT_FSIZE, `ulimit -f`: "File too large"),
// which no write could put in whole. From the temporary's making to its rename or removal, a signal
// that would end the process by its default action waits for it, then ends the process as it would
// have (as for a write through a descriptor, below): the file then holds its old text or its new
// one, and no temporary is left. `notRegular` says what becomes of a name that exists and is not a
// regular file (a FIFO, a socket, a device, or a pipe named through a descriptor): kRefused refuses
// it at once with "it is a FIFO, not a regular file" (NotRegularFileReason, file_open.h), never opening it for
// writing, so that it is never waited on; kWrittenInPlace writes a FIFO or a device in place, in
// one pass, a FIFO waiting for its reader. A directory is refused either way ("Is a directory"). A
// name that reaches a file through one of the process's own descriptors (/dev/stdout, /dev/stderr,
// /dev/stdin, /dev/fd/N, /proc/self/fd/N, /proc/<its pid>/fd/N, or a link to one) is written
// through that descriptor, whatever the file's folder allows. `through` says how a regular file is
// written there: kWholeFile makes it hold the text alone, whatever the descriptor's mode (`>`,
// `<>`, `>>`) or offset, as a replaced file would. The process then holds the file with a POSIX
// write lock from the readying to the cut, so that two runs sharing one descriptor write in turn;
// it waits up to kReplaceHoldSeconds for another process's hold, then fails ("another process (pid
// <n>) has held the file for more than 3 seconds"). The room for the whole text and the cut are
// known to be there before its first byte goes in, so that a write that cannot be done ("No space
// left on device"; "Operation not permitted" for a memfd sealed against the cut, or an append-only
// file; "File too large" for a text longer than the file-size limit) leaves the old text as it was:
// where the file system cannot reserve room, the holes of the old file that the text will cover are
// given their blocks, and the part of the text past the old end is written first, the file cut back
// to its old length when either does not go in. That holds where the file system overwrites a file
// in place; one that copies on write needs new room for the old text's blocks too, and may run out
// of it half-way. Once begun (from its first byte to its cut), such a write ends whole whatever
// signal comes: one that would end the process by its default action (SIGHUP, SIGQUIT, SIGUSR1,
// SIGALRM, a SIGSEGV sent by kill, ...) waits for it, then ends the process as it would have; a
// signal with a handler of the program's own, or ignored, is left as it is, and a fault that the
// kernel raises ends the process at once, as SIGKILL does. kWhereItStands writes as the shell's
// redirection opened it, from the descriptor's offset and then cut where the text ends, or at the
// file's end when the descriptor appends (`>>`), so that what a script wrote before stays.
// Only a descriptor that the process was given open at its start, still on the same file, is
// written so: any other (one the process opened itself, one its starter left closed, a number past
// INT_MAX) fails as a shell's redirection does, with "Bad file descriptor".
// False with `*reason` set when it cannot be done: the system's reason, or "cannot make a file in
// <folder>: <the system's reason>" when the temporary cannot be made; the temporary is then gone
// and the file as it was. A success also removes the temporaries of the file that writes killed
// before their rename left, once they have been unchanged for a minute (a younger one may be
// another writer's, at work now). Saves by name and whole writes through a descriptor take their
// turns between the threads of a run, each waiting up to kReplaceHoldSeconds.
enum class ThroughDescriptor { kWholeFile, kWhereItStands };
enum class NotRegularFile { kRefused, kWrittenInPlace };
inline constexpr int kReplaceHoldSeconds = 3;
bool ReplaceFileWhole(const std::string& path, std::string_view text, std::string* reason,
                      ThroughDescriptor through = ThroughDescriptor::kWholeFile,
                      NotRegularFile notRegular = NotRegularFile::kRefused);


// Holds off, until the process closes a descriptor of the file, the kWholeFile writes through a
// descriptor of other processes on the regular file that `fd` is open on for reading (a POSIX
// read lock), waiting up to kReplaceHoldSeconds for one under way to end: a reader of the file
// that takes it then never meets half of such a write. Nothing for a pipe or a device. False
// with `*reason` set when the wait runs out.
bool HoldFileForReading(int fd, std::string* reason);

// For a handler of the program's own that would end the process at a signal sent to it (si_code
// 0 or below), such as the display watch's at SIGSEGV or SIGABRT: true when a save is under way
// (a whole write through a descriptor, or a replace by name between its temporary's making and
// its rename), the signal then noted and sent to the process again once the save is whole, so
// that the handler returns at once; false otherwise. Safe in a signal handler.
bool DeferSentSignalDuringSave(int signal);

// Writes all of `s` to `fd`, again after an interruption (EINTR); false with errno set when a
// write fails, EIO for one that takes no byte. Safe in a signal handler.
bool WriteWhole(int fd, std::string_view s);

// WriteWhole with SIGPIPE held for the thread during the write: a reader that has gone fails
// the write with EPIPE instead of ending the process, and the SIGPIPE that the write raised is
// taken before the signal is let go (one that was pending before stays pending). errno as
// WriteWhole leaves it.
bool WriteWholeHoldingPipe(int fd, std::string_view s);

// Takes the descriptors open now, and the files they are on, as those the process was given
// at its start. It runs as the process starts; tests call it again to stand for a start with
// the redirections they made.
void NoteGivenDescriptors();

// The call that flushes a temporary to the disk before its rename (fsync); tests count it or
// make it fail. Returns the call it replaces.
using FileSyncCall = int (*)(int fd);
FileSyncCall SetReplaceSyncCall(FileSyncCall call);

// The call that cuts a file written through a descriptor where its text ends (ftruncate);
// tests make a signal come just before it. Returns the call it replaces.
using FileCutCall = int (*)(int fd, off_t length);
FileCutCall SetReplaceCutCall(FileCutCall call);

// The steps of a replace by name, each told to the step call just before it is taken: the text
// written into the temporary, its mode set, its ACL and extended attributes given, its flush,
// its rename over the file. Tests have a signal come at one of them. Returns the call it
// replaces.
enum class ReplaceStep { kWrite, kMode, kAttributes, kSync, kRename };
using ReplaceStepCall = void (*)(ReplaceStep step);
ReplaceStepCall SetReplaceStepCall(ReplaceStepCall call);

// The call that draws the kReplaceTemporaryLetters letters or digits of a temporary's name
// into `letters`; tests make two writers' names meet. Returns the call it replaces.
using TemporaryLettersCall = void (*)(char* letters);
TemporaryLettersCall SetReplaceLettersCall(TemporaryLettersCall call);

}  // namespace veskor
