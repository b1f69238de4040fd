// The window's place on an X server of the test's own, with and without a window manager that
// frames it (openbox, started here), each run in a child process of its own.
#include "platform/window_display.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/gl_window_internal.h"
#include "platform/window.h"
#include "support/own_x_server.h"

// Xlib's names (None, Bool) come after gtest's own.
#include <SDL_syswm.h>

namespace veskor {
namespace {

bool OnPath(const char* program) {
  std::istringstream dirs(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
  for (std::string dir; std::getline(dirs, dir, ':');)
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

// Openbox managing `display`, as a child of the test's, ended with the object.
class OwnWindowManager {
 public:
  explicit OwnWindowManager(const std::string& display) {
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_WRONLY);
      if (null < 0 || dup2(null, 1) != 1 || dup2(null, 2) != 2) _exit(95);
      setenv("DISPLAY", display.c_str(), 1);
      execlp("openbox", "openbox", "--sm-disable", nullptr);
      _exit(96);
    }
    // It manages once the root names its check window: within 10 s.
    xcb_connection_t* x = xcb_connect(display.c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const char name[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, sizeof name - 1, name), nullptr);
    for (int i = 0; i < 1000 && atom != nullptr && !managing_; ++i) {
      xcb_get_property_reply_t* check = xcb_get_property_reply(
          x, xcb_get_property(x, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr);
      managing_ = check != nullptr && xcb_get_property_value_length(check) == 4;
      std::free(check);
      if (!managing_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::free(atom);
    xcb_disconnect(x);
  }
  ~OwnWindowManager() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  OwnWindowManager(const OwnWindowManager&) = delete;
  OwnWindowManager& operator=(const OwnWindowManager&) = delete;
  bool managing() const { return managing_; }

 private:
  pid_t pid_ = -1;
  bool managing_ = false;
};

// Where one run's window stood, as the X server has it, and the position the run read back
// from its move messages (the stored one as the program keeps it: the last move, if any).
struct Placement {
  int clientX = 0, clientY = 0;  // the client area's top left on the screen
  int frameX = 0, frameY = 0;    // the top left of the top-level window holding it
  int readX = 0, readY = 0;
  bool operator==(const Placement&) const = default;
};
void PrintTo(const Placement& p, std::ostream* os) {
  *os << "client " << p.clientX << "," << p.clientY << " in a frame at " << p.frameX << ","
      << p.frameY << ", read back " << p.readX << "," << p.readY;
}

// In a child on `display`: a window opened at x, y (hidden, then shown) or, `placed`, opened
// bare elsewhere and placed at x, y with a frame, as full screen gives way to the window; its
// move messages are read for 300 ms. Exits 0 with its Placement written to `fd`.
[[noreturn]] void OpenAndRead(const std::string& display, int x, int y, bool placed, int fd) {
  setenv("DISPLAY", display.c_str(), 1);
  unsetenv("SDL_VIDEODRIVER");
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) _exit(80);  // this process's video ran elsewhere
  GlWindowDesc desc;
  desc.title = "placed";
  desc.x = placed ? 0 : x;
  desc.y = placed ? 0 : y;
  desc.width = 320;
  desc.height = 240;
  desc.borderless = placed;
  GlWindow* window = GlWindowCreate(desc);
  if (window == nullptr) _exit(81);
  WindowShowAndFocus(window);
  if (placed) WindowPlace(window, x, y, 320, 240, true);
  Placement p{0, 0, 0, 0, x, y};
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  for (WindowMessage m; std::chrono::steady_clock::now() < end;) {
    while (PeekWindowMessage(&m)) {
      if (m.message == kWmMove) {
        p.readX = SignedLowWord(m.lParam);
        p.readY = SignedHighWord(m.lParam);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window->sdl, &info) != SDL_TRUE) _exit(82);
  xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  auto xwindow = static_cast<xcb_window_t>(info.info.x11.window);
  xcb_translate_coordinates_reply_t* at = xcb_translate_coordinates_reply(
      c, xcb_translate_coordinates(c, xwindow, root, 0, 0), nullptr);
  if (at == nullptr) _exit(83);
  p.clientX = at->dst_x;
  p.clientY = at->dst_y;
  std::free(at);
  for (;;) {  // up to the window that the root holds
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, xwindow), nullptr);
    if (tree == nullptr) _exit(84);
    const xcb_window_t parent = tree->parent;
    std::free(tree);
    if (parent == root) break;
    xwindow = parent;
  }
  xcb_get_geometry_reply_t* frame =
      xcb_get_geometry_reply(c, xcb_get_geometry(c, xwindow), nullptr);
  if (frame == nullptr) _exit(85);
  p.frameX = frame->x;
  p.frameY = frame->y;
  std::free(frame);
  xcb_disconnect(c);
  if (write(fd, &p, sizeof p) != sizeof p) _exit(86);
  GlWindowDestroy(window);
  _exit(0);
}

Placement OpenAndReadInAChild(const std::string& display, int x, int y, bool placed) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(30);
    close(fds[0]);
    OpenAndRead(display, x, y, placed, fds[1]);
  }
  close(fds[1]);
  Placement p{};
  const bool got = read(fds[0], &p, sizeof p) == sizeof p;
  close(fds[0]);
  int status = -1;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(got && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  return p;
}

// The client area comes back where the store holds it, a frame or none around it, and the
// position read back is that same one: two runs, the second opening where the first was read,
// stand at one place. Openbox frames a window 1 pixel wide at the sides and with a 20-pixel
// title bar above; a frame placed at the stored position would put the client area 1, 20
// further at every run.
TEST(WindowPlacement, TheClientAreaComesBackWhereItWasRead) {
  const struct {
    bool managed;
    bool placed;  // else opened there
  } cases[] = {{false, false}, {false, true}, {true, false}, {true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.managed ? "openbox" : "no window manager") +
                 (c.placed ? ", placed framed" : ", opened"));
    if (c.managed && !OnPath("openbox"))
      GTEST_SKIP() << "openbox, the window manager to frame the window, is missing";
    // Kept up between the runs: a server that starts afresh as its last client leaves refuses
    // the connections that come meanwhile.
    const test::OwnXServer server("", {"-noreset"});
    ASSERT_NE(server.display(), "") << "no X server of the test's own";
    std::optional<OwnWindowManager> manager;
    if (c.managed) {
      manager.emplace(server.display());
      ASSERT_TRUE(manager->managing()) << "openbox did not start";
    }
    const int frameX = c.managed ? 100 : 101, frameY = c.managed ? 150 : 170;
    const Placement expected{101, 170, frameX, frameY, 101, 170};
    const Placement first = OpenAndReadInAChild(server.display(), 101, 170, c.placed);
    EXPECT_EQ(first, expected);
    const Placement second =
        OpenAndReadInAChild(server.display(), first.readX, first.readY, c.placed);
    EXPECT_EQ(second, expected);
  }
}

}  // namespace
}  // namespace veskor
