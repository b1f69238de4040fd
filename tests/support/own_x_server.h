// An X server of a test's own (Xvfb on the first free display number), which the test can stop
// answering, and the authority file that makes such a server ask for a cookie.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace veskor::test {

class OwnXServer {
 public:
  // One screen of 1280 x 1024 x 24, no TCP; with `authFile` named, the server takes only the
  // clients that give a cookie of that file (as a display manager's server does). `more`: further
  // arguments of the server's ("-nolisten", "unix": its abstract socket only).
  explicit OwnXServer(const std::string& authFile = "", const std::vector<std::string>& more = {});
  ~OwnXServer() { Stop(); }
  OwnXServer(const OwnXServer&) = delete;
  OwnXServer& operator=(const OwnXServer&) = delete;
  // ":<n>", or "" when the server did not start.
  const std::string& display() const { return display_; }
  // The server stops answering, its connections open (from any process).
  void Freeze() const;
  void Stop();

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Writes an authority file holding one MIT-MAGIC-COOKIE-1 cookie, for any display; false when it
// cannot be written.
bool WriteCookieFile(const std::string& path);

}  // namespace veskor::test
