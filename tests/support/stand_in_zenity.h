// A stand-in for zenity, for the tests of the boxes and dialogs that the platform layer shows
// through it (and of the program's runs that meet them): a script named "zenity", first on
// PATH for the life of the object, with VESKOR_MESSAGES unset so that boxes are shown.
#pragma once

#include <sys/types.h>

#include <string>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace veskor::test {

class StandInZenity {
 public:
  // Each start records its arguments (one a line), then its pid, then does what `does` says:
  // exits with that status ("0", "1", "5"), stays open until Answer ("wait"; or until the
  // object goes, so that a box left open by a broken run does not stay) or ends itself by
  // SIGKILL ("kill"). As zenity does, its OK (0) and Cancel (1) end with the codes that its
  // environment asks for (ZENITY_OK, ZENITY_CANCEL), and so do Escape ("esc") and its window
  // closed by the window manager ("closed"), both with ZENITY_ESC; "=<n>" ends with n whatever
  // it asks for, as zenity ends 1 when it cannot open its display. "press:<label>" answers as
  // the zenity of SDL's box does, with the label of the button pressed on its output. A signal
  // that ends it leaves no core file.
  explicit StandInZenity(const std::string& does);
  StandInZenity(const StandInZenity&) = delete;
  StandInZenity& operator=(const StandInZenity&) = delete;

  void Does(const std::string& does) const;
  // A start that waits exits with `status` (0 and 1 as above).
  void Answer(int status) const;
  // The arguments of the last start, "" before any.
  std::string Args() const;
  // The environment of the last start, as `env` prints it.
  std::string Env() const;
  // The pid of the last start, waiting up to 20 s for one; 0 when none came.
  pid_t WaitForStart() const;
  // Forgets the last start (its arguments, pid and answer).
  void Forget() const;
  const std::string& folder() const { return dir_.path(); }

 private:
  TempDir dir_{"veskor_zenity"};
  std::string script_;
  ScopedEnv path_;
  ScopedEnv messages_{"VESKOR_MESSAGES", nullptr};
};

// Whether the process `pid` has ended and been reaped (no such process, not even a zombie).
bool ProcessGone(pid_t pid);

}  // namespace veskor::test
