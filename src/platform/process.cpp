#include "platform/process.h"

#include <cstdlib>
#include <unistd.h>

namespace veskor {

void QuickExit(int code) { _exit(code); }

void NormalExit(int code) { std::exit(code); }

}  // namespace veskor
