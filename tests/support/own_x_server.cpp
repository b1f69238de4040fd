#include "support/own_x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "support/temp_dir.h"

namespace veskor::test {

OwnXServer::OwnXServer(const std::string& authFile, const std::vector<std::string>& more) {
  int fds[2];
  if (pipe(fds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, 1) != 1 || dup2(null, 2) != 2) _exit(95);
    const std::string fd = std::to_string(fds[1]);
    std::vector<const char*> args = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0",
                                     "1280x1024x24", "-nolisten", "tcp"};
    if (!authFile.empty()) args.insert(args.end(), {"-auth", authFile.c_str()});
    for (const std::string& arg : more) args.push_back(arg.c_str());
    args.push_back(nullptr);
    execvp("Xvfb", const_cast<char* const*>(args.data()));
    _exit(96);
  }
  close(fds[1]);
  // The server writes its display number once it takes connections.
  std::string number;
  pollfd ready{fds[0], POLLIN, 0};
  char c = 0;
  while (pid_ > 0 && poll(&ready, 1, 20000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n')
    number += c;
  close(fds[0]);
  if (c == '\n' && !number.empty()) display_ = ":" + number;
}

void OwnXServer::Freeze() const {
  if (pid_ > 0) kill(pid_, SIGSTOP);
}

void OwnXServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGCONT);
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

bool WriteCookieFile(const std::string& path) {
  // Xau's records: a family, then address, display number, name and data, each with its
  // length in two bytes, most significant first. FamilyWild (0xFFFF) matches every address.
  std::vector<std::uint8_t> bytes = {0xFF, 0xFF};
  const auto field = [&bytes](const std::string& text) {
    bytes.push_back(static_cast<std::uint8_t>(text.size() >> 8));
    bytes.push_back(static_cast<std::uint8_t>(text.size() & 0xFF));
    bytes.insert(bytes.end(), text.begin(), text.end());
  };
  field("");
  field("");
  field("MIT-MAGIC-COOKIE-1");
  field("0123456789abcdef");
  return WriteFileBytes(path, bytes);
}

}  // namespace veskor::test
