#include "foundation/session_log.h"

#include <cerrno>
#include <charconv>
#include <fstream>
#include <new>
#include <ostream>

namespace veskor {
namespace {

constinit SessionLog gSessionLog{nullptr, nullptr};

// Numbers are formatted here, not by the stream, so that no locale can change them.
SessionLog& WriteChars(SessionLog& log, const char* chars, std::size_t n) {
  if (log.target != nullptr) {
    log.target->write(chars, static_cast<std::streamsize>(n));
    log.target->flush();
  }
  return log;
}

}  // namespace

void SessionLogInit() {
  gSessionLog.target = nullptr;
  gSessionLog.file.reset();
}

void SessionLogClose() {
  if (gSessionLog.file != nullptr) {
    gSessionLog.file->flush();
    gSessionLog.file->close();
  }
  SessionLogInit();
}

int SessionLogOpen(const char* path) {
  SessionLogClose();
  std::unique_ptr<std::ofstream> file(new (std::nothrow) std::ofstream);
  if (file == nullptr) return ENOMEM;
  int failure = 0;
  if (path != nullptr) {
    errno = 0;
    file->open(path, std::ios::out | std::ios::trunc);
    // The stream keeps no reason of its own: the failed open's errno is it.
    if (!file->is_open()) failure = errno != 0 ? errno : EIO;
  } else {
    file->setstate(std::ios::failbit);
    failure = EINVAL;
  }
  gSessionLog.target = file.get();
  gSessionLog.file = std::move(file);
  return failure;
}

void SessionLogSetStream(std::ostream* stream) {
  SessionLogClose();
  gSessionLog.target = stream;
}

SessionLog& LogStream() { return gSessionLog; }

SessionLog& LogWriteText(SessionLog& log, const char* text) {
  if (text == nullptr) return log;
  return WriteChars(log, text, std::char_traits<char>::length(text));
}

SessionLog& LogWriteFloat(SessionLog& log, float value) {
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  return WriteChars(log, buffer, static_cast<std::size_t>(result.ptr - buffer));
}

SessionLog& LogWriteUnsigned(SessionLog& log, std::uint32_t value) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return WriteChars(log, buffer, static_cast<std::size_t>(result.ptr - buffer));
}

SessionLog& LogWritePointer(SessionLog& log, std::uint64_t value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
  const std::size_t n = static_cast<std::size_t>(result.ptr - digits);
  char buffer[2 + 16] = {'0', 'x'};
  std::size_t at = 2;
  for (std::size_t pad = n; pad < 8; ++pad) buffer[at++] = '0';
  for (std::size_t i = 0; i < n; ++i) {
    const char c = digits[i];
    buffer[at++] = (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return WriteChars(log, buffer, at);
}

}  // namespace veskor
