// The program: its arguments, joined by single blanks, are the path of a world to open.
#include <string>

#include "app/program_entry.h"
#include "platform/display_loss.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  // A file size limit below a file of the run's (its store, log, messages, capture) fails that
  // write, which the run says, and the run goes on.
  veskor::FailWritesPastFileSizeLimit();
  // From the start, so that an end before the window (an Error box over an unreadable store,
  // its record) keeps the end's time too, and a quit signal closes a box shown before it.
  veskor::WatchQuitSignals();
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  // A normal exit: the static destructors save the settings.
  veskor::NormalExit(veskor::WinMain(commandLine.c_str(), veskor::DefaultShellPorts()));
}
