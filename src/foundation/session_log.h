// The session log: one global text stream into which a compile session lists what it reads
// (the world parser, the block and fx parsers, the fx value listing). Writers chain and flush
// every write; while no log is open they do nothing, so callers never test for it.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

namespace veskor {

// Told when the log's file cannot be written: its path and the reason, the system's of the call
// that failed (the open, a write or the close: "No space left on device"), or that the file is
// one the log refuses ("it is a FIFO, not a regular file"). At most once for each open.
using SessionLogFailureCall = void (*)(const char* path, const char* reason);

// The log's own file: text goes straight to its descriptor, without a buffer, so that a flushed
// write is in the file; the first call that fails keeps its errno, which a file stream loses.
class SessionLogFile : public std::ostream {
 public:
  SessionLogFile();
  ~SessionLogFile() override;
  SessionLogFile(const SessionLogFile&) = delete;
  SessionLogFile& operator=(const SessionLogFile&) = delete;

  // Opens `path` for writing (truncated, or created) without waiting on it; 0, or the open's
  // errno, or -1 for a FIFO or a socket, which the log refuses (refused() says which): its
  // writes could wait for a reader. -1 too for a path whose links cannot be followed: another
  // user's link on the way to the file (OwnLinksPath, file_links.h), or a loop of links; the
  // reason says which. The stream then failed. A device is written as a file is.
  int Open(const char* path);
  // The path of the last Open.
  const std::string& path() const { return path_; }
  // Closes the descriptor; 0, or the close's errno.
  int Close();
  // The open descriptor, -1 when none.
  int descriptor() const { return buffer_.fd; }
  // The errno of the first call on the file that failed; 0 while none has, or when the open
  // refused the file.
  int failure() const { return buffer_.failure; }
  // What the open refused the file as ("a FIFO"), or nullptr.
  const char* refused() const { return refused_; }
  // Why the file failed: the refusal or the system's reason of failure(); empty while it has
  // not.
  std::string reason() const;

 private:
  struct DescriptorBuffer : std::streambuf {
    int fd = -1;
    int failure = 0;
    std::streamsize xsputn(const char* chars, std::streamsize n) override;
    int_type overflow(int_type c) override;
  };
  DescriptorBuffer buffer_;
  const char* refused_ = nullptr;
  std::string linksRefused_;  // why the path's links were not followed
  std::string path_;
};

struct SessionLog {
  std::ostream* target;  // where the writers write; null while the log is closed
  std::unique_ptr<SessionLogFile> file;  // the file the log owns, or null
  SessionLogFailureCall onFailure;       // told of the owned file's failure, or null
  bool failureTold;                      // the owned file's failure was told
};

// All fields null.
void SessionLogInit();
// Closes the current log, then opens `path` for text output (truncated, or created) and makes
// it the target; returns 0. A path that does not open (an empty or null one included) returns
// the system's reason (an errno value, EINVAL for null), or -1 for a FIFO or a socket, refused
// without waiting on it (SessionLogFile::Open): the failed stream stays the target and every
// write to it is dropped until the log is closed. `onFailure`, when given, is told of the
// open's failure, or of the first write or the close that fails; after a failed write every
// write is dropped too.
int SessionLogOpen(const char* path, SessionLogFailureCall onFailure = nullptr);
// Flushes, closes and destroys the owned file, if any (a failed close is told as above); then
// the fields are null.
void SessionLogClose();
// Closes the current log, then writes into `stream`, which the log does not own.
void SessionLogSetStream(std::ostream* stream);

SessionLog& LogStream();

// Each writes its value (no separator, no line end) and flushes; each returns `log`.
SessionLog& LogWriteText(SessionLog& log, const char* text);
// printf's %g: six significant digits, exponent form below 1e-4 and from 1e6 on.
SessionLog& LogWriteFloat(SessionLog& log, float value);
SessionLog& LogWriteUnsigned(SessionLog& log, std::uint32_t value);
// "0x" and the value in upper-case hexadecimal, at least 8 digits (an address above 4 GB
// gets as many as it needs).
SessionLog& LogWritePointer(SessionLog& log, std::uint64_t value);

}  // namespace veskor
