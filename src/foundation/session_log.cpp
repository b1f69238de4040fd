#include "foundation/session_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <new>

#include "platform/file_links.h"
#include "platform/file_open.h"
#include "platform/save_signals.h"

namespace veskor {

namespace {

// The opens tried where the file is taken away between the look that found it and its open.
constexpr int kOpenAttempts = 3;

// What the log's writes are named as (SaveUnderWay), for a run's end that one of them holds.
constexpr const char* kWritten = "the session log";

}  // namespace

std::streamsize SessionLogFile::DescriptorBuffer::xsputn(const char* chars, std::streamsize n) {
  std::streamsize done = 0;
  while (done < n) {
    const ssize_t written = ::write(fd, chars + done, static_cast<std::size_t>(n - done));
    if (written > 0) {
      done += written;
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else {
      // A regular file takes at least a byte unless it fails; a device that takes none is
      // out of room as well.
      if (failure == 0) failure = written < 0 ? errno : ENOSPC;
      break;
    }
  }
  return done;
}

SessionLogFile::DescriptorBuffer::int_type SessionLogFile::DescriptorBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char one = traits_type::to_char_type(c);
  return xsputn(&one, 1) == 1 ? c : traits_type::eof();
}

SessionLogFile::SessionLogFile() : std::ostream(nullptr) {
  rdbuf(&buffer_);
  setstate(std::ios::failbit);  // until a file is open
}

SessionLogFile::~SessionLogFile() { Close(); }

int SessionLogFile::Open(const char* path) {
  Close();
  path_ = path;
  buffer_.failure = 0;
  refused_ = nullptr;
  linksRefused_.clear();
  const SaveUnderWay underWay(path_, kWritten);
  OwnLinksPath own;
  if (!own.Follow(path_, &linksRefused_)) {
    setstate(std::ios::failbit);
    return -1;
  }
  // A FIFO without a reader would hold the open, and one with a reader each write: refused. The
  // file is made when missing (and then given to its folder's owner where that is another
  // user's); an existing one is emptied only once it is known to be one the run may write.
  FileOpenFailure failure;
  struct stat opened {};
  bool made = false;
  int fd = -1;
  for (int attempt = 0; attempt < kOpenAttempts && fd < 0; ++attempt) {
    made = true;
    fd = OpenWithoutWaiting(own.held().c_str(), O_WRONLY | O_CREAT | O_EXCL | own.NoFollow(), 0666,
                            &opened, &failure);
    if (fd >= 0 || failure.error != EEXIST) break;
    made = false;
    fd = OpenWithoutWaiting(own.held().c_str(), O_WRONLY | own.NoFollow(), 0, &opened, &failure);
    if (fd < 0 && failure.error != ENOENT) break;  // ENOENT: taken away meanwhile
  }
  if (fd >= 0 && (S_ISFIFO(opened.st_mode) || S_ISSOCK(opened.st_mode))) {
    failure = {0, OpenedFileKind(fd, opened)};
    ::close(fd);
    fd = -1;
  }
  if (fd >= 0 &&
      (!own.MayWrite(fd, &linksRefused_) || (made && !own.GiveMade(fd, &linksRefused_)))) {
    if (made) RemoveIfStill(own.held(), opened);
    ::close(fd);
    setstate(std::ios::failbit);
    return -1;
  }
  if (fd >= 0 && !made && S_ISREG(opened.st_mode) && ::ftruncate(fd, 0) != 0) {
    failure = {errno, nullptr};
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) {
    buffer_.failure = failure.error;
    refused_ = failure.kind;
    setstate(std::ios::failbit);
    return refused_ != nullptr ? -1 : buffer_.failure;
  }
  buffer_.fd = fd;
  clear();
  return 0;
}

std::string SessionLogFile::reason() const {
  if (!linksRefused_.empty()) return linksRefused_;
  if (refused_ != nullptr) return NotRegularFileReason(refused_);
  return buffer_.failure != 0 ? std::strerror(buffer_.failure) : "";
}

int SessionLogFile::Close() {
  if (buffer_.fd < 0) return 0;
  int reason;
  {
    const SaveUnderWay underWay(path_, kWritten);
    reason = ::close(buffer_.fd) != 0 ? errno : 0;
  }
  buffer_.fd = -1;
  // Linux frees the descriptor whatever close says: it is never closed twice.
  if (reason != 0 && buffer_.failure == 0) buffer_.failure = reason;
  setstate(std::ios::failbit);
  return reason;
}

namespace {

constinit SessionLog gSessionLog{nullptr, nullptr, nullptr, false};

// Tells the owned file's first failure, once.
void TellFailure(SessionLog& log) {
  if (log.file == nullptr || log.failureTold) return;
  const std::string reason = log.file->reason();
  if (reason.empty()) return;
  log.failureTold = true;
  if (log.onFailure != nullptr) log.onFailure(log.file->path().c_str(), reason.c_str());
}

// Numbers are formatted here, not by the stream, so that no locale can change them.
SessionLog& WriteChars(SessionLog& log, const char* chars, std::size_t n) {
  if (log.target == log.file.get() && log.file != nullptr) {
    {
      const SaveUnderWay underWay(log.file->path(), kWritten);
      log.file->write(chars, static_cast<std::streamsize>(n));
      log.file->flush();
    }
    TellFailure(log);
  } else if (log.target != nullptr) {
    log.target->write(chars, static_cast<std::streamsize>(n));
    log.target->flush();
  }
  return log;
}

}  // namespace

void SessionLogInit() {
  gSessionLog.target = nullptr;
  gSessionLog.file.reset();
  gSessionLog.onFailure = nullptr;
  gSessionLog.failureTold = false;
}

void SessionLogClose() {
  if (gSessionLog.file != nullptr) {
    gSessionLog.file->flush();
    gSessionLog.file->Close();
    TellFailure(gSessionLog);
  }
  SessionLogInit();
}

int SessionLogOpen(const char* path, SessionLogFailureCall onFailure) {
  SessionLogClose();
  std::unique_ptr<SessionLogFile> file(new (std::nothrow) SessionLogFile);
  if (file == nullptr) return ENOMEM;
  const int failure = path != nullptr ? file->Open(path) : EINVAL;
  gSessionLog.target = file.get();
  gSessionLog.file = std::move(file);
  gSessionLog.onFailure = onFailure;
  if (failure != 0 && onFailure != nullptr) {
    gSessionLog.failureTold = true;
    const std::string reason =
        path != nullptr ? gSessionLog.file->reason() : std::string(std::strerror(failure));
    onFailure(path != nullptr ? path : "", reason.c_str());
  }
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
