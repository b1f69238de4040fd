#include "support/stand_in_zenity.h"

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace veskor::test {
namespace {

constexpr const char* kScript =
    "#!/bin/sh\n"
    "ulimit -c 0\n"  // killed by SIGSEGV or SIGABRT, it leaves no core file
    "printf '%s\\n' \"$@\" > \"$0.args\"\n"
    "env > \"$0.env\"\n"
    "echo $$ > \"$0.pid.new\" && mv \"$0.pid.new\" \"$0.pid\"\n"
    "answer() {\n"
    "  case $1 in\n"
    "    0) exit ${ZENITY_OK:-0} ;;\n"
    "    1) exit ${ZENITY_CANCEL:-1} ;;\n"
    "    esc|closed) exit ${ZENITY_ESC:-1} ;;\n"
    "    =*) exit ${1#=} ;;\n"
    "    *) exit $1 ;;\n"
    "  esac\n"
    "}\n"
    "does=$(cat \"$0.does\")\n"
    "case $does in\n"
    "  wait) while [ ! -e \"$0.answer\" ]; do [ -e \"$0\" ] || exit 99; sleep 0.05; done\n"
    "        answer $(cat \"$0.answer\") ;;\n"
    "  kill) kill -KILL $$ ;;\n"
    "  press:*) echo \"${does#press:}\"; exit 1 ;;\n"
    "  *) answer $does ;;\n"
    "esac\n";

std::string PathWith(const std::string& folder) {
  const char* path = std::getenv("PATH");
  return folder + ":" + (path != nullptr ? path : "/usr/bin:/bin");
}

}  // namespace

StandInZenity::StandInZenity(const std::string& does)
    : script_(dir_.Write("zenity", kScript)), path_("PATH", PathWith(dir_.path()).c_str()) {
  chmod(script_.c_str(), 0755);
  Does(does);
}

void StandInZenity::Does(const std::string& does) const { dir_.Write("zenity.does", does); }

void StandInZenity::Answer(int status) const {
  dir_.Write("zenity.answer.new", std::to_string(status));
  std::rename((script_ + ".answer.new").c_str(), (script_ + ".answer").c_str());
}

std::string StandInZenity::Args() const { return ReadFileText(script_ + ".args"); }

std::string StandInZenity::Env() const { return ReadFileText(script_ + ".env"); }

pid_t StandInZenity::WaitForStart() const {
  for (int i = 0; i < 2000; ++i) {
    const std::string pid = ReadFileText(script_ + ".pid");
    if (!pid.empty()) return static_cast<pid_t>(std::atol(pid.c_str()));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

void StandInZenity::Forget() const {
  for (const char* record : {".args", ".env", ".pid", ".answer"}) std::remove((script_ + record).c_str());
}

bool ProcessGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace veskor::test
