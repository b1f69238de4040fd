// The session log: one global text stream into which a compile session lists what it reads
// (the world parser, the block and fx parsers, the fx value listing). Writers chain and flush
// every write; while no log is open they do nothing, so callers never test for it.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>

namespace veskor {

struct SessionLog {
  std::ostream* target;  // where the writers write; null while the log is closed
  std::unique_ptr<std::ofstream> file;  // the file stream the log owns, or null
};

// Both fields null.
void SessionLogInit();
// Closes the current log, then opens `path` for text output (truncated, or created) and makes
// it the target; returns 0. A path that does not open (an empty or null one included) returns
// the system's reason (an errno value, EINVAL for null) and is not reported here: the failed
// stream stays the target and every write to it is dropped until the log is closed.
int SessionLogOpen(const char* path);
// Flushes, closes and destroys the owned file stream, if any; then both fields are null.
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
