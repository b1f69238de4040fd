// The window's place on an X server of the test's own, with and without a window manager that
// frames it (openbox, fluxbox, twm, which tells no frame extents, weston's over Xwayland, which
// tells the window nothing, or one of the test's own, whose frame is told late, drawn late,
// shown late or told never), each run in a child process of its own.
#include "platform/window_display.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>
#include <thread>

#include "platform/display_loss.h"
#include "platform/gl.h"
#include "platform/gl_context.h"
#include "platform/gl_window_internal.h"
#include "platform/window.h"
#include "support/own_x_server.h"
#include "support/temp_dir.h"

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

xcb_atom_t AtomNamed(xcb_connection_t* x, const std::string& name) {
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      x, xcb_intern_atom(x, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
  const xcb_atom_t named = atom != nullptr ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(atom);
  return named;
}

// How the test's own manager below frames a window: the frame's edges (left, right, top,
// bottom, as _NET_FRAME_EXTENTS lists them), whether the frame has them from the start or only
// once it is drawn, when it tells them, and whether it tells them at all.
struct OwnFrame {
  uint32_t edges[4];
  bool drawnLate;  // else the edges are there as the window is framed
  bool told;       // and listed among those the manager supports (_NET_SUPPORTED)
  int16_t cascade = 0;  // else 0: each move asked moves the frame that far right of where it is
  bool kept = false;    // each move asked leaves the frame where it is, as it tells
  bool shownLate = false;  // the frame is mapped kExtentsLate after the window, not before it
  bool movedLate = false;  // each move asked is told at once where the frame still stands, and
                           // made kMoveMadeLate after
  bool silent = false;  // tells the window nothing, and frames it at the screen's top left, then
                        // moves the frame where the window asked once it has been looked at
  bool hinted = false;  // the edges only while the window asks for decorations (the Motif
                        // hints), told as they are drawn once a move is asked after a look
  bool toldAtRaise = false;  // silent, but tells the window where it stands as it asks to be
                             // raised (a request of the window's own, after its placement)
  bool movedPastSettle = false;  // as movedLate, the move made kMoveMadePastSettle after
};
// Told kExtentsLate after the window is framed, as a manager busy elsewhere may.
constexpr OwnFrame kFrameToldLate{{4, 4, 24, 4}, false, true};
// Drawn only as the extents are told, kExtentsLate after the window is framed (as a manager
// whose decorations come from another process): until then the frame is the client area's
// size, and then it grows by its edges about its top left, which stays where it is, so that
// the client area moves down and to the right.
constexpr OwnFrame kFrameDrawnLate{{4, 4, 24, 4}, true, true};
// Side edges only, no title bar, told never: the client area stands off only sideways.
constexpr OwnFrame kFrameSidesUntold{{4, 4, 0, 0}, false, false};
// A title bar only, told at once: the client area stands off only downwards.
constexpr OwnFrame kFrameTitleOnly{{0, 0, 24, 0}, false, true};
// A left edge only, told at once: the client area stands off only to the right.
constexpr OwnFrame kFrameLeftOnly{{4, 0, 0, 0}, false, true};
// Side edges only, told never, and a frame that never goes where a move asks it to but 16 pixels
// further right at each: the client area is never where it was asked to be.
constexpr int16_t kCascade = 16;
constexpr OwnFrame kFrameCascading{{4, 4, 0, 0}, false, false, kCascade};
// Side edges only, told never, and a frame that stays where it was put at each move asked.
constexpr OwnFrame kFrameKept{{4, 4, 0, 0}, false, false, 0, true};
// Edges and a title bar, told kExtentsLate after the window is framed, and a frame mapped only
// kFrameMappedLate after it (as fluxbox's may be on a loaded machine): until then the window is
// mapped but not viewable, and the X server refuses it the keyboard.
constexpr OwnFrame kFrameShownLate{{4, 4, 24, 4}, false, true, 0, false, true};
// Edges and a title bar, told kExtentsLate after the window is framed, and each move made a
// while after the manager has told the window that it stands where it was (as fluxbox tells it
// again a while after it acted, and, on a loaded machine, acts on the move asked after that).
constexpr OwnFrame kFrameMovedLate{{4, 4, 24, 4}, false, true, 0, false, false, true};
// Side edges only, told never, a frame that the window is told nothing of, placed where the
// window asked a while after framing it and kept there at each move asked (as weston's X window
// manager does).
constexpr OwnFrame kFramePlacedUntold{{4, 4, 0, 0}, false, false, 0, true, false, false, true};
// As kFrameMovedLate, each move made only past the placement's wait, once it has gone on (as a
// manager that answers late on a loaded machine).
constexpr OwnFrame kFrameMovedPastSettle{.edges = {4, 4, 24, 4},
                                         .drawnLate = false,
                                         .told = true,
                                         .movedLate = true,
                                         .movedPastSettle = true};
// As kFramePlacedUntold, but telling the window where it stands as it asks to be raised, once it
// has been placed (as weston's X window manager tells it at a request of the window's own).
constexpr OwnFrame kFramePlacedToldAtRaise{{4, 4, 0, 0}, false, false, 0,     true,
                                           false,        false, true,  false, true};
// A left edge only, told, but none for a window that asks to be bare (as openbox honours the
// Motif hints); drawn as the window asks for decorations, its extents told only after the next
// move asked once the frame has been looked at: what SDL knows of the frame lags the frame.
constexpr OwnFrame kFrameLeftWhenDecorated{{4, 0, 0, 0}, false, true, 0,    false,
                                           false,        false, false, true};
constexpr auto kExtentsLate = std::chrono::milliseconds(100);
constexpr auto kFrameMappedLate = 3 * kExtentsLate;
// Past SDL's own wait for a move that it asks.
constexpr auto kMoveMadeLate = 2 * kExtentsLate;
// Past the placement's wait for a manager that has answered and done nothing more since (half a
// second): the window is told nothing of that move.
constexpr auto kMoveMadePastSettle = std::chrono::milliseconds(1000);
// How long the placement waits at most for the manager's answer to a window shown.
constexpr std::chrono::milliseconds kManagerAnswer{5000};

// The root's property in which the manager below counts the moves asked of framed windows.
constexpr const char* kMovesAsked = "VESKOR_TEST_MOVES_ASKED";
// The root's property in which it counts the windows whose move asked it has not made yet.
constexpr const char* kMovesPending = "VESKOR_TEST_MOVES_PENDING";
// The root's property that the window's placement changes as it first looks at the frame.
constexpr const char* kFrameLooked = "VESKOR_TEST_FRAME_LOOKED";
uint32_t MovesAsked(const std::string& display, const char* counted = kMovesAsked) {
  xcb_connection_t* x = xcb_connect(display.c_str(), nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
  xcb_get_property_reply_t* count = xcb_get_property_reply(
      x, xcb_get_property(x, 0, root, AtomNamed(x, counted), XCB_ATOM_CARDINAL, 0, 1), nullptr);
  uint32_t moves = 0;
  if (count != nullptr && xcb_get_property_value_length(count) == 4)
    std::memcpy(&moves, xcb_get_property_value(count), 4);
  std::free(count);
  xcb_disconnect(x);
  return moves;
}

// A window manager of the test's own on `display`, until it is killed: it frames each window
// that is mapped where the window asked to be, as openbox does, in a frame as `frame` says. A
// window framed is placed by its frame: a move asked for moves the frame there, and is told to
// the window as a synthetic ConfigureNotify.
[[noreturn]] void ManageOwnFrames(const std::string& display, const OwnFrame& frame) {
  xcb_connection_t* x = xcb_connect(display.c_str(), nullptr);
  if (xcb_connection_has_error(x) != 0) _exit(90);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
  const uint32_t redirect =
      XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_generic_error_t* refused =
      xcb_request_check(x, xcb_change_window_attributes_checked(x, root, XCB_CW_EVENT_MASK,
                                                                 &redirect));
  if (refused != nullptr) _exit(91);  // another manager holds the root
  const uint32_t rootEvents = redirect | XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &rootEvents);
  const xcb_atom_t looked = AtomNamed(x, kFrameLooked);
  const xcb_atom_t hints = AtomNamed(x, "_MOTIF_WM_HINTS");
  const xcb_atom_t extents = AtomNamed(x, "_NET_FRAME_EXTENTS");
  const xcb_atom_t movesAtom = AtomNamed(x, kMovesAsked);
  const xcb_atom_t pendingAtom = AtomNamed(x, kMovesPending);
  uint32_t moves = 0;
  const auto CountPending = [&](const auto& all) {
    uint32_t pending = 0;
    for (const auto& [window, f] : all) pending += f.move ? 1 : 0;
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, root, pendingAtom, XCB_ATOM_CARDINAL, 32, 1,
                        &pending);
  };
  const xcb_atom_t check = AtomNamed(x, "_NET_SUPPORTING_WM_CHECK");
  const xcb_window_t own = xcb_generate_id(x);
  xcb_create_window(x, 0, own, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_change_property(x, XCB_PROP_MODE_REPLACE, own, check, XCB_ATOM_WINDOW, 32, 1, &own);
  xcb_change_property(x, XCB_PROP_MODE_REPLACE, root, check, XCB_ATOM_WINDOW, 32, 1, &own);
  if (frame.told) {
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, root, AtomNamed(x, "_NET_SUPPORTED"),
                        XCB_ATOM_ATOM, 32, 1, &extents);
  }
  struct Framed {
    xcb_window_t frame;
    int16_t x, y;  // the frame's
    uint16_t width, height;  // the window's
    uint32_t left, right, top, bottom;  // the frame's edges, as drawn now
    std::optional<std::chrono::steady_clock::time_point> tell;  // none once told, or never
    std::optional<std::chrono::steady_clock::time_point> show;  // the frame's late mapping
    std::optional<std::chrono::steady_clock::time_point> move;  // the late move, to toX, toY
    int16_t toX = 0, toY = 0;
    bool placeWhenLooked = false;  // silent: the frame goes to toX, toY at the next look
    bool tellAtMove = false, looked = false;  // hinted: the edges drawn, not told yet
  };
  std::map<xcb_window_t, Framed> framed;
  // Whether `window` asks for decorations: not where its Motif hints list them, and none.
  const auto Decorated = [&](xcb_window_t window) {
    xcb_get_property_reply_t* asked = xcb_get_property_reply(
        x, xcb_get_property(x, 0, window, hints, XCB_GET_PROPERTY_TYPE_ANY, 0, 5), nullptr);
    bool decorated = true;
    if (asked != nullptr && asked->format == 32 && xcb_get_property_value_length(asked) >= 12) {
      const auto* items = static_cast<const uint32_t*>(xcb_get_property_value(asked));
      decorated = (items[0] & 2) == 0 || items[2] != 0;
    }
    std::free(asked);
    return decorated;
  };
  const auto TellEdges = [&](xcb_window_t window, const Framed& f) {
    const uint32_t edges[4] = {f.left, f.right, f.top, f.bottom};
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, window, extents, XCB_ATOM_CARDINAL, 32, 4,
                        edges);
  };
  const auto Edge = [&](Framed& f) {
    f.left = frame.edges[0];
    f.right = frame.edges[1];
    f.top = frame.edges[2];
    f.bottom = frame.edges[3];
  };
  // The frame's place and size, and the window's place in it, from f.
  const auto Lay = [&](xcb_window_t window, const Framed& f) {
    const uint32_t outer[] = {static_cast<uint32_t>(f.x), static_cast<uint32_t>(f.y),
                              f.width + f.left + f.right, f.height + f.top + f.bottom};
    xcb_configure_window(x, f.frame,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         outer);
    const uint32_t inner[] = {f.left, f.top, f.width, f.height};
    xcb_configure_window(x, window,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         inner);
  };
  // Where a window framed stands on the screen, told to it as the frame moves it (and as it is
  // framed: the move into the frame tells it nothing of the screen).
  const auto TellPlace = [&](xcb_window_t window, const Framed& f) {
    xcb_configure_notify_event_t told{};
    told.response_type = XCB_CONFIGURE_NOTIFY;
    told.event = told.window = window;
    told.x = static_cast<int16_t>(f.x + static_cast<int>(f.left));
    told.y = static_cast<int16_t>(f.y + static_cast<int>(f.top));
    told.width = f.width;
    told.height = f.height;
    xcb_send_event(x, 0, window, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&told));
  };
  for (;;) {
    int waitMs = -1;
    for (auto& [window, f] : framed) {
      if (f.show && *f.show <= std::chrono::steady_clock::now()) {
        xcb_map_window(x, f.frame);
        f.show.reset();
      } else if (f.show) {
        waitMs = 1;
      }
      if (f.move && *f.move <= std::chrono::steady_clock::now()) {
        f.x = f.toX;
        f.y = f.toY;
        Lay(window, f);
        TellPlace(window, f);
        f.move.reset();
        CountPending(framed);
      } else if (f.move) {
        waitMs = 1;
      }
      if (!f.tell) continue;
      const auto remaining = *f.tell - std::chrono::steady_clock::now();
      if (remaining <= remaining.zero()) {
        if (frame.drawnLate) {  // the window moves in its frame before the extents are told
          Edge(f);
          Lay(window, f);
          TellPlace(window, f);
        }
        TellEdges(window, f);
        f.tell.reset();
      } else {
        const auto ms =
            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(remaining).count());
        waitMs = waitMs < 0 ? ms : std::min(waitMs, ms);
      }
    }
    xcb_flush(x);
    pollfd in{xcb_get_file_descriptor(x), POLLIN, 0};
    poll(&in, 1, waitMs);
    while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
      const auto type = event->response_type & 0x7f;
      if (type == XCB_MAP_REQUEST) {
        const xcb_window_t window = reinterpret_cast<xcb_map_request_event_t*>(event)->window;
        if (framed.count(window) == 0) {
          xcb_get_geometry_reply_t* at =
              xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr);
          if (at == nullptr) _exit(92);
          Framed f{xcb_generate_id(x), at->x,        at->y,       at->width, at->height, 0, 0, 0, 0,
                   std::nullopt,       std::nullopt, std::nullopt};
          std::free(at);
          if (frame.hinted) {
            const uint32_t properties = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(x, window, XCB_CW_EVENT_MASK, &properties);
          }
          if (!frame.drawnLate && (!frame.hinted || Decorated(window))) Edge(f);
          if (frame.told) f.tell = std::chrono::steady_clock::now() + kExtentsLate;
          if (frame.silent) {
            f.toX = f.x;
            f.toY = f.y;
            f.x = f.y = 0;
            f.placeWhenLooked = true;
          }
          xcb_create_window(x, XCB_COPY_FROM_PARENT, f.frame, root, f.x, f.y,
                            static_cast<uint16_t>(f.width + f.left + f.right),
                            static_cast<uint16_t>(f.height + f.top + f.bottom), 0,
                            XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                            &redirect);
          xcb_change_save_set(x, XCB_SET_MODE_INSERT, window);
          xcb_reparent_window(x, window, f.frame, static_cast<int16_t>(f.left),
                              static_cast<int16_t>(f.top));
          if (frame.shownLate)
            f.show = std::chrono::steady_clock::now() + kFrameMappedLate;
          else
            xcb_map_window(x, f.frame);
          if (!frame.silent) TellPlace(window, f);
          framed.emplace(window, f);
        }
        xcb_map_window(x, window);
      } else if (type == XCB_CONFIGURE_REQUEST) {
        const auto* asked = reinterpret_cast<xcb_configure_request_event_t*>(event);
        const auto it = framed.find(asked->window);
        if (it == framed.end()) {  // not framed yet: as asked
          uint32_t values[7];
          int n = 0;
          const uint16_t m = asked->value_mask;
          if (m & XCB_CONFIG_WINDOW_X) values[n++] = static_cast<uint32_t>(asked->x);
          if (m & XCB_CONFIG_WINDOW_Y) values[n++] = static_cast<uint32_t>(asked->y);
          if (m & XCB_CONFIG_WINDOW_WIDTH) values[n++] = asked->width;
          if (m & XCB_CONFIG_WINDOW_HEIGHT) values[n++] = asked->height;
          if (m & XCB_CONFIG_WINDOW_BORDER_WIDTH) values[n++] = asked->border_width;
          if (m & XCB_CONFIG_WINDOW_SIBLING) values[n++] = asked->sibling;
          if (m & XCB_CONFIG_WINDOW_STACK_MODE) values[n++] = asked->stack_mode;
          xcb_configure_window(x, asked->window, m, values);
        } else {
          Framed& f = it->second;
          const bool moved = asked->value_mask & (XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y);
          if (moved) {
            ++moves;
            xcb_change_property(x, XCB_PROP_MODE_REPLACE, root, movesAtom, XCB_ATOM_CARDINAL, 32, 1,
                                &moves);
          }
          if (frame.cascade != 0 && moved) {
            f.x = static_cast<int16_t>(f.x + frame.cascade);
          } else if (frame.movedLate && moved) {
            f.toX = asked->value_mask & XCB_CONFIG_WINDOW_X ? asked->x : f.x;
            f.toY = asked->value_mask & XCB_CONFIG_WINDOW_Y ? asked->y : f.y;
            f.move = std::chrono::steady_clock::now() +
                     (frame.movedPastSettle ? kMoveMadePastSettle : kMoveMadeLate);
            CountPending(framed);
          } else if (!frame.kept) {
            if (asked->value_mask & XCB_CONFIG_WINDOW_X) f.x = asked->x;
            if (asked->value_mask & XCB_CONFIG_WINDOW_Y) f.y = asked->y;
          }
          const bool sized =
              asked->value_mask & (XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT);
          if (asked->value_mask & XCB_CONFIG_WINDOW_WIDTH) f.width = asked->width;
          if (asked->value_mask & XCB_CONFIG_WINDOW_HEIGHT) f.height = asked->height;
          if (!frame.silent || sized) Lay(asked->window, f);
          if (!frame.silent ||
              (frame.toldAtRaise && (asked->value_mask & XCB_CONFIG_WINDOW_STACK_MODE) != 0))
            TellPlace(asked->window, f);
          if (moved && f.tellAtMove && f.looked) {
            TellEdges(asked->window, f);
            f.tellAtMove = false;
          }
        }
      } else if (type == XCB_PROPERTY_NOTIFY) {
        const auto* changed = reinterpret_cast<xcb_property_notify_event_t*>(event);
        for (auto& [window, f] : framed) {
          if (changed->window == root && changed->atom == looked) {
            if (f.placeWhenLooked) {  // the frame alone: the window is told nothing
              f.x = f.toX;
              f.y = f.toY;
              const uint32_t place[] = {static_cast<uint32_t>(f.x), static_cast<uint32_t>(f.y)};
              xcb_configure_window(x, f.frame, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
              f.placeWhenLooked = false;
            }
            f.looked = f.tellAtMove;
          } else if (changed->window == window && changed->atom == hints && f.left == 0 &&
                     Decorated(window)) {
            if (f.tell) {  // the bare frame's, due
              TellEdges(window, f);
              f.tell.reset();
            }
            Edge(f);
            Lay(window, f);
            TellPlace(window, f);
            f.tellAtMove = true;
            f.looked = false;
          }
        }
      } else if (type == XCB_DESTROY_NOTIFY) {
        const auto it = framed.find(reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window);
        if (it != framed.end()) {
          xcb_destroy_window(x, it->second.frame);
          framed.erase(it);
        }
      }
      std::free(event);
    }
    if (xcb_connection_has_error(x) != 0) _exit(0);  // the server is gone
  }
}

// The test's own managers frame as their OwnFrame names.
enum class Manager {
  kNone,
  kOpenbox,
  kTwm,
  kToldLate,
  kDrawnLate,
  kSidesUntold,
  kTitleOnly,
  kLeftOnly,
  kCascading,
  kKept,
  kShownLate,
  kMovedLate,
  kMovedPastSettle,
  kPlacedUntold,
  kPlacedToldAtRaise,
  kLeftWhenDecorated,
  kFluxbox,
  kWeston  // its X window manager, over Xwayland
};

// Whether a client of `x` redirects the root's substructure: a window manager holds it.
bool RootRedirected(xcb_connection_t* x, xcb_window_t root) {
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, root), nullptr);
  const bool held = attributes != nullptr &&
                    (attributes->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT) != 0;
  std::free(attributes);
  return held;
}

// Whether the root names a window manager's check window.
bool CheckWindowNamed(xcb_connection_t* x, xcb_window_t root) {
  const xcb_atom_t check = AtomNamed(x, "_NET_SUPPORTING_WM_CHECK");
  if (check == XCB_ATOM_NONE) return false;
  xcb_get_property_reply_t* named = xcb_get_property_reply(
      x, xcb_get_property(x, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
  const bool managing = named != nullptr && xcb_get_property_value_length(named) == 4;
  std::free(named);
  return managing;
}

// A window manager managing `display` (openbox, twm with its default configuration, the
// scratch HOME holding no .twmrc, or one of the test's own above), as a child of the test's,
// ended with the object.
class OwnWindowManager {
 public:
  OwnWindowManager(const std::string& display, Manager manager) {
    pid_ = fork();
    if (pid_ == 0) {
      const int null = open("/dev/null", O_WRONLY);
      if (null < 0 || dup2(null, 1) != 1 || dup2(null, 2) != 2) _exit(95);
      if (manager == Manager::kToldLate) ManageOwnFrames(display, kFrameToldLate);
      if (manager == Manager::kDrawnLate) ManageOwnFrames(display, kFrameDrawnLate);
      if (manager == Manager::kSidesUntold) ManageOwnFrames(display, kFrameSidesUntold);
      if (manager == Manager::kTitleOnly) ManageOwnFrames(display, kFrameTitleOnly);
      if (manager == Manager::kLeftOnly) ManageOwnFrames(display, kFrameLeftOnly);
      if (manager == Manager::kCascading) ManageOwnFrames(display, kFrameCascading);
      if (manager == Manager::kKept) ManageOwnFrames(display, kFrameKept);
      if (manager == Manager::kShownLate) ManageOwnFrames(display, kFrameShownLate);
      if (manager == Manager::kMovedLate) ManageOwnFrames(display, kFrameMovedLate);
      if (manager == Manager::kMovedPastSettle) ManageOwnFrames(display, kFrameMovedPastSettle);
      if (manager == Manager::kPlacedUntold) ManageOwnFrames(display, kFramePlacedUntold);
      if (manager == Manager::kPlacedToldAtRaise) ManageOwnFrames(display, kFramePlacedToldAtRaise);
      if (manager == Manager::kLeftWhenDecorated)
        ManageOwnFrames(display, kFrameLeftWhenDecorated);
      setenv("DISPLAY", display.c_str(), 1);
      if (manager == Manager::kTwm)
        execlp("twm", "twm", nullptr);
      else if (manager == Manager::kFluxbox)
        execlp("fluxbox", "fluxbox", nullptr);
      else
        execlp("openbox", "openbox", "--sm-disable", nullptr);
      _exit(96);
    }
    // It manages once the root names its check window, or for twm, which names none, once it
    // redirects the root: within 10 s.
    xcb_connection_t* x = xcb_connect(display.c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    for (int i = 0; i < 1000 && !managing_; ++i) {
      managing_ = manager == Manager::kTwm ? RootRedirected(x, root) : CheckWindowNamed(x, root);
      if (!managing_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    xcb_disconnect(x);
  }
  ~OwnWindowManager() {
    if (pid_ <= 0) return;
    // Killed: a SIGTERM that reaches twm as it goes back to waiting for the server is taken only
    // at its next event, which may never come (seen on a loaded machine); none of them keeps
    // anything.
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  OwnWindowManager(const OwnWindowManager&) = delete;
  OwnWindowManager& operator=(const OwnWindowManager&) = delete;
  bool managing() const { return managing_; }

 private:
  pid_t pid_ = -1;
  bool managing_ = false;
};

// A Wayland compositor of the test's own: weston, its output a window of `width` x `height` at
// the top left of the X server `xDisplay` (its headless backend offers no seat, and SDL 2.26's
// wayland driver faults as it starts without one), listening on the socket `name` in the
// scratch `runtimeDir`. It and the clients it starts (its shell's panel, its keyboard, `xwayland`:
// the X server of its X window manager) run under a keeper child in a process group of their
// own, and all end with the object.
class OwnWeston {
 public:
  OwnWeston(const std::string& xDisplay, const std::string& runtimeDir, const std::string& name,
            int width, int height, bool xwayland = false)
      : log_(runtimeDir + "/weston.log") {
    std::fflush(nullptr);
    const pid_t test = getpid();
    keeper_ = fork();
    if (keeper_ == 0) Keep(test, xDisplay, runtimeDir, name, width, height, xwayland, log_);
    // It listens once its socket takes a connection: within 10 s.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (runtimeDir + name).c_str());
    for (int i = 0; i < 1000 && !listening_; ++i) {
      const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      listening_ = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
      close(probe);
      if (!listening_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~OwnWeston() {
    if (keeper_ <= 0) return;
    kill(keeper_, SIGTERM);
    waitpid(keeper_, nullptr, 0);
  }
  OwnWeston(const OwnWeston&) = delete;
  OwnWeston& operator=(const OwnWeston&) = delete;
  bool listening() const { return listening_; }
  // The display of its X server, as weston's log names it once it listens (within 10 s; weston
  // starts the server at its first client): "" when it names none.
  std::string XDisplay() const {
    const std::string named = "xserver listening on display ";
    for (int i = 0; i < 1000; ++i) {
      const std::string log = test::ReadFileText(log_);
      if (const std::size_t at = log.find(named); at != std::string::npos) {
        const std::size_t end = log.find_first_not_of(":0123456789", at + named.size());
        return log.substr(at + named.size(), end - at - named.size());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
  }

 private:
  // The keeper: weston's parent, and that of the clients it starts once they are orphaned. Told
  // to end, or once the test's process has ended, it ends the group and reaps all of it (what
  // outlasts 10 s after SIGTERM is killed).
  [[noreturn]] static void Keep(pid_t test, const std::string& xDisplay,
                                const std::string& runtimeDir, const std::string& name, int width,
                                int height, bool xwayland, const std::string& log) {
    setpgid(0, 0);
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != test) _exit(0);  // ended before the line above
    if (fork() == 0) {
      sigprocmask(SIG_UNBLOCK, &term, nullptr);
      const int null = open("/dev/null", O_WRONLY);
      if (null < 0 || dup2(null, 1) != 1 || dup2(null, 2) != 2) _exit(95);
      setenv("DISPLAY", xDisplay.c_str(), 1);
      setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
      execlp("weston", "weston", "--backend=x11-backend.so", ("--socket=" + name).c_str(),
             "--idle-time=0", "--no-config", ("--width=" + std::to_string(width)).c_str(),
             ("--height=" + std::to_string(height)).c_str(), ("--log=" + log).c_str(),
             xwayland ? "--xwayland" : nullptr, nullptr);
      _exit(96);
    }
    int signal = 0;
    sigwait(&term, &signal);
    kill(-getpgrp(), SIGTERM);  // not the keeper: it holds SIGTERM back
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(-1, nullptr, WNOHANG) >= 0) {
      if (std::chrono::steady_clock::now() >= end) {
        kill(-getpgrp(), SIGKILL);
        while (waitpid(-1, nullptr, 0) >= 0) {
        }
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    _exit(0);
  }

  std::string log_;
  pid_t keeper_ = -1;
  bool listening_ = false;
};

// Where one run's window stood, as the X server has it, and the position the run read back
// for it as it does for its save at the end (the stored one).
struct Placement {
  int clientX = 0, clientY = 0;  // the client area's top left on the screen
  int frameX = 0, frameY = 0;    // the top left of the top-level window holding it
  int readX = 0, readY = 0;
  bool focused = false;  // the client area has the keyboard
  int desktopWidth = 0, desktopHeight = 0;  // DisplayDesktopSize's
  bool operator==(const Placement&) const = default;
};
void PrintTo(const Placement& p, std::ostream* os) {
  *os << "client " << p.clientX << "," << p.clientY << " in a frame at " << p.frameX << ","
      << p.frameY << ", read back " << p.readX << "," << p.readY
      << (p.focused ? ", focused" : ", not focused") << ", on a desktop of " << p.desktopWidth
      << "x" << p.desktopHeight;
}

// Tells the test's own manager that the frame has been looked at: kFrameLooked changed on a
// connection of its own, then a round trip, so that it comes before what the window asks next.
void TellFrameLooked() {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const uint32_t once = 1;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, AtomNamed(c, kFrameLooked),
                      XCB_ATOM_CARDINAL, 32, 1, &once);
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  xcb_disconnect(c);
}

// In a child on `display`: a window opened at x, y (hidden, then shown `shownAfter` later) or,
// `placed`, opened bare elsewhere and placed at x, y with a frame, as full screen gives way to the
// window; its move messages are read for 300 ms at least (below). Exits 0 with its Placement
// written to `fd`.
[[noreturn]] void OpenAndRead(const std::string& display, int x, int y, bool placed,
                              std::chrono::milliseconds shownAfter, int fd) {
  setenv("DISPLAY", display.c_str(), 1);
  unsetenv("SDL_VIDEODRIVER");
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) _exit(80);  // this process's video ran elsewhere
  SetPlacementLookCall(TellFrameLooked);
  GlWindowDesc desc;
  desc.title = "placed";
  desc.x = placed ? 0 : x;
  desc.y = placed ? 0 : y;
  desc.width = 320;
  desc.height = 240;
  desc.borderless = placed;
  GlWindow* window = GlWindowCreate(desc);
  if (window == nullptr) _exit(81);
  // Shown a while after the video started, as the program's window is (its probe window and
  // context come first): how long the frame is waited for must not hang on how long the run
  // has gone on.
  std::this_thread::sleep_for(shownAfter);
  WindowShowAndFocus(window);
  if (placed) WindowPlace(window, x, y, 320, 240, true);
  Placement p{0, 0, 0, 0, x, y};
  if (!DisplayDesktopSize(&p.desktopWidth, &p.desktopHeight)) _exit(87);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window->sdl, &info) != SDL_TRUE) _exit(82);
  // Its move messages are read for 300 ms, and on until the test's own manager has made every
  // move asked of it (one that makes them late may do so later on a loaded machine), and what
  // that move sent the window has reached it (a round trip).
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  for (bool settled = false;;) {
    for (WindowMessage m; PeekWindowMessage(&m);) {
      if (m.message == kWmMove) {
        p.readX = SignedLowWord(m.lParam);
        p.readY = SignedHighWord(m.lParam);
      }
    }
    if (settled) break;
    if (std::chrono::steady_clock::now() >= end && MovesAsked(display, kMovesPending) == 0) {
      XSync(info.info.x11.display, False);
      settled = true;
      continue;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  int screen = 0;  // the one that `display` names, whose root the window's must be
  xcb_connection_t* c = xcb_connect(display.c_str(), &screen);
  xcb_screen_iterator_t roots = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screen && roots.rem > 0; ++i) xcb_screen_next(&roots);
  const xcb_window_t root = roots.data->root;
  auto xwindow = static_cast<xcb_window_t>(info.info.x11.window);
  xcb_translate_coordinates_reply_t* at = xcb_translate_coordinates_reply(
      c, xcb_translate_coordinates(c, xwindow, root, 0, 0), nullptr);
  if (at == nullptr || at->same_screen == 0) _exit(83);
  xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
  p.focused = focus != nullptr && focus->focus == xwindow;
  std::free(focus);
  // The position read back, as the run reads it for its save at the end.
  if (!WindowReadBackPlace(window, &p.readX, &p.readY)) _exit(88);
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

Placement OpenAndReadInAChild(const std::string& display, int x, int y, bool placed,
                              std::chrono::milliseconds shownAfter) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(30);
    close(fds[0]);
    OpenAndRead(display, x, y, placed, shownAfter, fds[1]);
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

// A frame top of twm's: above the client area by a 2-pixel border and a title bar as high as
// the font that twm finds.
constexpr int kTwmTitled = -1;
// A frame of weston's X window manager, as the first run finds it: its top-level window holds
// a margin for a shadow beyond the edges that are seen, whose top left stands where the window
// asked; none of its sizes is told.
constexpr int kAsWestonPutIt = -2;

// The client area comes back where the store holds it, a frame or none around it, and the
// position read back is that same one: two runs, the second opening where the first was read,
// stand at one place. Openbox frames a window 1 pixel wide at the sides and with a 20-pixel
// title bar above; a frame placed at the stored position would put the client area 1, 20
// further at every run. The frames of the test's own managers are 4 at the sides and below and
// 24 above: one is known only 100 ms after the window is framed, and is waited for; one is
// drawn only then, and the client area that stood where it was asked to moves as it is (what
// stands right before the manager has told its frame may not stay). twm frames the window with
// a 2-pixel border and a title bar and tells no extents at all: where the client area stands
// is measured instead, and so it is in a frame 4 wide at the sides with no title bar, that
// puts it off its place sideways only. A frame of a title bar alone, told at once, puts it off
// downwards only, and one of a left edge alone sideways only: each is put right with a single
// move, the frame's edges told not measured. A manager that moves the frame elsewhere at each
// move asked is left after two: the run goes on with the client area where they put it; one
// that keeps it where it is at the move asked is asked once, and the position read back is the
// one asked (asked again, the manager puts it there again), as under weston's X window manager,
// which tells the window nothing of where it is and moves it no more once it has placed it (and
// as under one of the test's own that moves its frame there, untold, once it has been looked
// at: that move is the answer, and no move is asked; where it tells the window that it stands
// there after, as it is raised, the position read back stays the one asked). A manager that draws a
// frame only for a window that asks for decorations, and tells its extents only after a move asked
// once it has been looked at, is asked again once it has told them: placed framed, the window first
// stands off by the edge that SDL did not know of. A manager that maps its frame only after the
// window (fluxbox on a loaded machine, and one of the test's own that does so 300 ms after telling
// its extents) is waited for: the window is given the keyboard only once it is viewable (the X
// server would refuse it), and the run goes on, the window then holding the keyboard, a bare one
// too (its frame not waited for to be placed), shown past half that wait's bound after the video
// started. One that tells the window at once that it stands where it was and makes each move 200 ms
// later (as fluxbox may seem to on a loaded machine, telling a window again a while after it acted)
// is waited for too: the move's answer is the window standing where it was asked to. One that
// makes it only 1 s after telling, past that wait, tells the window nothing of the move: the
// position read back at the end is read from the window as it stands, where it was asked to.
// fluxbox frames it 1 pixel wide at the sides and with a 20-pixel title bar, as openbox does.
// A run on the second of two screens (1280 x 1024, then 1024 x 768) is on that screen: its
// window stands there, and the desktop that the stored place is fitted to is that screen's. A
// manager missing skips the test after the other rows ran.
TEST(WindowPlacement, TheClientAreaComesBackWhereItWasRead) {
  const struct {
    Manager manager;
    bool placed;  // else opened there
    int frameX, frameY;
    int moves = -1;  // the moves of the frame that the first run asks for, where they are counted
    std::chrono::milliseconds shownAfter{300};  // the window shown that long after it was made
    bool secondScreen = false;  // the run on the second of two screens, the first larger
  } cases[] = {{Manager::kNone, false, 101, 170},
               {Manager::kNone, true, 101, 170},
               {Manager::kNone, false, 101, 170, -1, std::chrono::milliseconds{300}, true},
               {Manager::kNone, true, 101, 170, -1, std::chrono::milliseconds{300}, true},
               {Manager::kToldLate, false, 97, 146},
               {Manager::kToldLate, true, 97, 146},
               {Manager::kDrawnLate, false, 97, 146},
               {Manager::kDrawnLate, true, 97, 146},
               {Manager::kSidesUntold, false, 97, 170},
               {Manager::kSidesUntold, true, 97, 170},
               {Manager::kTitleOnly, false, 101, 146, 1},
               {Manager::kTitleOnly, true, 101, 146},
               {Manager::kLeftOnly, false, 97, 170, 1},
               {Manager::kOpenbox, false, 100, 150},
               {Manager::kOpenbox, true, 100, 150},
               {Manager::kTwm, false, 99, kTwmTitled},
               {Manager::kTwm, true, 99, kTwmTitled},
               {Manager::kCascading, false, 101 + 2 * kCascade, 170},
               {Manager::kKept, false, 101, 170, 1},
               {Manager::kShownLate, false, 97, 146, 1},
               {Manager::kShownLate, true, 97, 146, -1, 3 * kManagerAnswer / 5},
               {Manager::kMovedLate, false, 97, 146, 1},
               {Manager::kMovedLate, true, 97, 146},
               {Manager::kMovedPastSettle, false, 97, 146, 1},
               {Manager::kMovedPastSettle, true, 97, 146},
               {Manager::kPlacedUntold, false, 101, 170, 0},
               {Manager::kPlacedToldAtRaise, false, 101, 170, 0},
               {Manager::kLeftWhenDecorated, true, 97, 170},
               {Manager::kFluxbox, false, 100, 150},
               {Manager::kFluxbox, true, 100, 150},
               {Manager::kWeston, false, kAsWestonPutIt, kAsWestonPutIt}};
  std::string missing;
  for (const auto& c : cases) {
    const char* managerName =
        c.manager == Manager::kNone                ? "no window manager"
        : c.manager == Manager::kOpenbox           ? "openbox"
        : c.manager == Manager::kTwm               ? "twm"
        : c.manager == Manager::kToldLate          ? "frame told late"
        : c.manager == Manager::kDrawnLate         ? "frame drawn late"
        : c.manager == Manager::kTitleOnly         ? "title bar only, told"
        : c.manager == Manager::kLeftOnly          ? "left edge only, told"
        : c.manager == Manager::kCascading         ? "cascading, untold"
        : c.manager == Manager::kKept              ? "kept where it is, untold"
        : c.manager == Manager::kShownLate         ? "frame shown late"
        : c.manager == Manager::kMovedLate         ? "moved late"
        : c.manager == Manager::kMovedPastSettle   ? "moved past the wait"
        : c.manager == Manager::kPlacedUntold      ? "placed late, untold"
        : c.manager == Manager::kPlacedToldAtRaise ? "placed late, told at the raise"
        : c.manager == Manager::kLeftWhenDecorated ? "left edge when decorated, told late"
        : c.manager == Manager::kFluxbox           ? "fluxbox"
        : c.manager == Manager::kWeston            ? "weston"
                                                   : "side edges, untold";
    SCOPED_TRACE(std::string(managerName) + (c.placed ? ", placed framed" : ", opened") +
                 (c.secondScreen ? ", on the second screen" : ""));
    const bool others = c.manager == Manager::kOpenbox || c.manager == Manager::kTwm ||
                        c.manager == Manager::kFluxbox || c.manager == Manager::kWeston;
    if (others &&
        (!OnPath(managerName) || (c.manager == Manager::kWeston && !OnPath("Xwayland")))) {
      if (missing.find(managerName) == std::string::npos)
        missing += std::string(missing.empty() ? "" : ", ") + managerName;
      continue;
    }
    // Kept up between the runs: a server that starts afresh as its last client leaves refuses
    // the connections that come meanwhile.
    std::vector<std::string> arguments{"-noreset"};
    if (c.secondScreen) arguments.insert(arguments.end(), {"-screen", "1", "1024x768x24"});
    const test::OwnXServer server("", arguments);
    ASSERT_NE(server.display(), "") << "no X server of the test's own";
    std::optional<OwnWindowManager> manager;
    const test::TempDir runtime("wayland");
    std::optional<OwnWeston> weston;
    std::string display = server.display() + (c.secondScreen ? ".1" : "");
    if (c.manager == Manager::kWeston) {
      weston.emplace(server.display(), runtime.path(), "veskor-test", 800, 600, true);
      ASSERT_TRUE(weston->listening()) << "weston did not start";
      display = weston->XDisplay();
      ASSERT_NE(display, "") << "weston started no X server";
    } else if (c.manager != Manager::kNone) {
      manager.emplace(server.display(), c.manager);
      ASSERT_TRUE(manager->managing()) << managerName << " did not start";
    }
    Placement expected{101, 170, c.frameX, c.frameY, 101, 170, true, 1280, 1024};
    if (c.secondScreen) {
      expected.desktopWidth = 1024;
      expected.desktopHeight = 768;
    }
    if (c.manager == Manager::kCascading) {  // two moves, each 16 further right than the last
      expected.clientX = expected.readX = c.frameX + 4;
    }
    if (c.manager == Manager::kKept || c.manager == Manager::kPlacedUntold ||
        c.manager == Manager::kPlacedToldAtRaise)
      expected.clientX = 105;
    Placement first = OpenAndReadInAChild(display, 101, 170, c.placed, c.shownAfter);
    if (others) first.focused = true;  // the keyboard is the manager's to give
    if (c.frameY == kTwmTitled) {
      EXPECT_LT(first.frameY, 170) << "no title bar above the client area";
      expected.frameY = first.frameY;
    }
    if (c.frameX == kAsWestonPutIt) {  // its frame's seen edges and title bar around it
      EXPECT_GT(first.clientX, 101);
      EXPECT_GT(first.clientY - 170, first.clientX - 101);
      EXPECT_LT(first.frameX, 101);
      expected = {first.clientX, first.clientY, first.frameX, first.frameY, 101, 170, true, 800,
                  600};  // weston's output
    }
    EXPECT_EQ(first, expected);
    if (c.moves >= 0) {
      EXPECT_EQ(MovesAsked(display), static_cast<uint32_t>(c.moves));
    }
    if (c.manager == Manager::kCascading) continue;
    Placement second =
        OpenAndReadInAChild(display, first.readX, first.readY, c.placed, c.shownAfter);
    if (others) second.focused = true;
    EXPECT_EQ(second, expected);
  }
  if (!missing.empty())
    GTEST_SKIP() << "the window managers to frame the window are missing, their rows not run: "
                 << missing;
}

// The colour the window below clears its client area to.
constexpr uint32_t kWaylandClear = 0x20c060;

// In a child on the compositor of the socket `name` in `runtimeDir`, through SDL's wayland driver:
// the window of OpenAndRead, shown and cleared to kWaylandClear; once it has drawn, it writes a
// byte to `drawn` and is kept until `done` is closed. Exits 0 after.
[[noreturn]] void OpenOnWayland(const std::string& runtimeDir, const std::string& name, bool placed,
                                int drawn, int done) {
  unsetenv("DISPLAY");
  setenv("SDL_VIDEODRIVER", "wayland", 1);
  setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
  setenv("WAYLAND_DISPLAY", name.c_str(), 1);
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) _exit(80);  // this process's video ran elsewhere
  GlWindowDesc desc;
  desc.title = "placed";
  desc.x = placed ? 0 : 101;
  desc.y = placed ? 0 : 170;
  desc.width = 320;
  desc.height = 240;
  desc.borderless = placed;
  GlWindow* window = GlWindowCreate(desc);
  if (window == nullptr) _exit(81);
  GlContext* context = GlContextCreate(window, nullptr);
  if (context == nullptr) _exit(82);
  WindowShowAndFocus(window);
  if (placed) WindowPlace(window, 101, 170, 320, 240, true);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  for (WindowMessage m; std::chrono::steady_clock::now() < end;) {
    while (PeekWindowMessage(&m)) {
    }
    glClearColor(((kWaylandClear >> 16) & 0xff) / 255.0f, ((kWaylandClear >> 8) & 0xff) / 255.0f,
                 (kWaylandClear & 0xff) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    GlSwapBuffers(window);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  char byte = 1;
  if (write(drawn, &byte, 1) != 1 || read(done, &byte, 1) != 0) _exit(83);
  GlContextDestroy(context);
  GlWindowDestroy(window);
  _exit(0);
}

// How many pixels of `rgb` the screen of `display` shows, and the box around them.
struct ColourSeen {
  long count = 0;
  int left = 0, top = 0, right = -1, bottom = -1;  // inclusive
};
ColourSeen SeenOnScreen(const std::string& display, uint32_t rgb) {
  ColourSeen seen;
  xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const int width = screen->width_in_pixels, height = screen->height_in_pixels;
  xcb_get_image_reply_t* image = xcb_get_image_reply(
      c,
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0, static_cast<uint16_t>(width),
                    static_cast<uint16_t>(height), ~0u),
      nullptr);
  // 24 bits a pixel stand in 32 on the test's server (its screen's only depth).
  if (image != nullptr && xcb_get_image_data_length(image) == width * height * 4) {
    const uint8_t* data = xcb_get_image_data(image);
    for (int i = 0; i < width * height; ++i) {
      uint32_t pixel = 0;
      std::memcpy(&pixel, data + 4 * i, 4);
      if ((pixel & 0xffffff) != rgb) continue;
      const int x = i % width, y = i / width;
      if (seen.count++ == 0) {
        seen.left = seen.right = x;
        seen.top = seen.bottom = y;
      }
      seen.left = std::min(seen.left, x);
      seen.right = std::max(seen.right, x);
      seen.top = std::min(seen.top, y);
      seen.bottom = std::max(seen.bottom, y);
    }
  }
  std::free(image);
  xcb_disconnect(c);
  return seen;
}

// On a Wayland compositor the window is shown, opened or placed with a frame, and nothing in
// its placing faults: it has no X11 side, and where it stands is the compositor's to say. Its
// client area, cleared to a colour, stands whole (320 x 240) on the compositor's output. With
// weston missing the test is skipped.
TEST(WindowPlacement, TheWindowIsShownUnderAWaylandCompositor) {
  if (!OnPath("weston")) GTEST_SKIP() << "weston is missing: no Wayland compositor to show on";
  for (const bool placed : {false, true}) {
    SCOPED_TRACE(placed ? "placed framed" : "opened");
    const test::OwnXServer server("", {"-noreset"});
    ASSERT_NE(server.display(), "") << "no X server of the test's own";
    // The pointer off the compositor's output, on which it would draw over the window.
    xcb_connection_t* x = xcb_connect(server.display().c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    xcb_warp_pointer(x, XCB_NONE, root, 0, 0, 0, 0, 1200, 1000);
    xcb_disconnect(x);
    const test::TempDir runtime("wayland");
    const OwnWeston weston(server.display(), runtime.path(), "veskor-test", 800, 600);
    ASSERT_TRUE(weston.listening()) << "weston did not start";
    int drawn[2], done[2];
    ASSERT_EQ(pipe(drawn), 0);
    ASSERT_EQ(pipe(done), 0);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      alarm(30);
      close(drawn[0]);
      close(done[1]);
      OpenOnWayland(runtime.path(), "veskor-test", placed, drawn[1], done[0]);
    }
    close(drawn[1]);
    close(done[0]);
    char byte = 0;
    const bool hasDrawn = read(drawn[0], &byte, 1) == 1;
    EXPECT_TRUE(hasDrawn) << "the window was not drawn";
    if (hasDrawn) {
      // The compositor shows what was drawn at its next repaint: within 10 s.
      ColourSeen seen;
      for (int i = 0; i < 1000 && seen.count != 320 * 240; ++i) {
        seen = SeenOnScreen(server.display(), kWaylandClear);
        if (seen.count != 320 * 240) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      EXPECT_EQ(seen.count, 320 * 240);
      EXPECT_EQ(seen.right - seen.left + 1, 320);
      EXPECT_EQ(seen.bottom - seen.top + 1, 240);
    }
    close(done[1]);  // the child goes on
    close(drawn[0]);
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (WIFSIGNALED(status) ? "ended by signal " : "wait status ")
        << (WIFSIGNALED(status) ? WTERMSIG(status) : status);
  }
}

// A window destroyed by another client, and what the child below tells of it.
std::string gSavedFile;
void SaveAsTheRunDoes() {  // the run's hook saves its store as the display is lost
  const int fd = open(gSavedFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0 && write(fd, "saved\n", 6) == 6) close(fd);
}

// In a child on `display`, its stderr into `errors`: a window with a context, shown and drawn
// (cleared and swapped) until `done` is closed, with a hook that writes `saved` as the run saves
// its store at the display's loss; its X window's id written to `told` once made, then a byte
// after each frame (as many as the pipe holds). Exits 0 once `done` is closed.
[[noreturn]] void DrawUntilDone(const std::string& display, const std::string& errors,
                                const std::string& saved, int told, int done) {
  setenv("DISPLAY", display.c_str(), 1);
  unsetenv("SDL_VIDEODRIVER");
  const int fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || dup2(fd, 2) != 2) _exit(79);
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) _exit(80);  // this process's video ran elsewhere
  gSavedFile = saved;
  SetDisplayLostHook(SaveAsTheRunDoes);
  GlWindowDesc desc;
  desc.title = "drawn";
  desc.x = 101;
  desc.y = 170;
  desc.width = 320;
  desc.height = 240;
  GlWindow* window = GlWindowCreate(desc);
  if (window == nullptr) _exit(81);
  GlContext* context = GlContextCreate(window, nullptr);
  if (context == nullptr) _exit(82);
  const auto xwindow = static_cast<uint32_t>(window->xwindow);
  if (write(told, &xwindow, sizeof xwindow) != sizeof xwindow) _exit(83);
  fcntl(told, F_SETFL, O_NONBLOCK);
  WindowShowAndFocus(window);
  for (pollfd ended{done, POLLIN, 0}; poll(&ended, 1, 10) == 0;) {
    for (WindowMessage m; PeekWindowMessage(&m);) {
    }
    glClearColor(0.125f, 0.75f, 0.375f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    GlSwapBuffers(window);
    const char frame = 1;
    static_cast<void>(write(told, &frame, 1));
  }
  GlContextDestroy(context);
  GlWindowDestroy(window);
  _exit(0);
}

// The top-level window that holds `xwindow` once a manager has framed it (its frame): within
// 10 s; 0 when it is not framed by then, or is gone.
xcb_window_t FrameOf(xcb_connection_t* c, xcb_window_t xwindow) {
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  for (int i = 0; i < 1000; ++i) {
    xcb_window_t top = xwindow;
    for (;;) {
      xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, top), nullptr);
      if (tree == nullptr) return 0;
      const xcb_window_t parent = tree->parent;
      std::free(tree);
      if (parent == root) break;
      top = parent;
    }
    if (top != xwindow) return top;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 0;
}

// Whether `count` more frames are told on `told` within 20 s.
bool FramesDrawn(int told, int count) {
  for (char frame; count > 0; --count) {
    pollfd drawn{told, POLLIN, 0};
    if (poll(&drawn, 1, 20000) != 1 || read(told, &frame, 1) != 1) return false;
  }
  return true;
}

// Another client destroys the manager's frame around the run's window, and so the window in it
// (as a person's tool may, or the manager's own client): as soon as the frame is there, or once
// the window has drawn. The run ends by itself at once, as a lost display ends it: its hook
// saves, kWindowLostMessage is its one line, its status 3; nothing is drawn into the window
// gone (the software renderer's threads read it, and the heap was corrupted: a crash then).
// The frame unmapped and mapped again leaves a run that goes on drawing, and ends as it is told
// to, unsaved. A server that stops destroys every window before it drops its connections:
// that is the display's loss, said so. Under openbox, fluxbox, twm and weston's X window
// manager; a manager missing skips the test after the other rows ran.
TEST(WindowPlacement, AWindowDestroyedByAnotherClientEndsTheRunSaved) {
  enum Act { kDestroyedEarly, kDestroyedLate, kUnmappedAndMapped, kServerStopped };
  const struct {
    Manager manager;
    const char* name;
    Act act;
  } cases[] = {{Manager::kOpenbox, "openbox", kDestroyedEarly},
               {Manager::kOpenbox, "openbox", kDestroyedLate},
               {Manager::kOpenbox, "openbox", kUnmappedAndMapped},
               {Manager::kFluxbox, "fluxbox", kDestroyedEarly},
               {Manager::kFluxbox, "fluxbox", kDestroyedLate},
               {Manager::kFluxbox, "fluxbox", kUnmappedAndMapped},
               {Manager::kTwm, "twm", kDestroyedEarly},
               {Manager::kTwm, "twm", kDestroyedLate},
               {Manager::kTwm, "twm", kUnmappedAndMapped},
               {Manager::kTwm, "twm", kServerStopped},
               {Manager::kWeston, "weston", kDestroyedEarly},
               {Manager::kWeston, "weston", kDestroyedLate},
               {Manager::kWeston, "weston", kUnmappedAndMapped}};
  std::string missing;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.act == kDestroyedEarly    ? ", destroyed early"
                                        : c.act == kDestroyedLate   ? ", destroyed late"
                                        : c.act == kServerStopped   ? ", its server stopped"
                                                                    : ", unmapped and mapped"));
    if (!OnPath(c.name) || (c.manager == Manager::kWeston && !OnPath("Xwayland"))) {
      if (missing.find(c.name) == std::string::npos)
        missing += std::string(missing.empty() ? "" : ", ") + c.name;
      continue;
    }
    test::OwnXServer server("", {"-noreset"});
    ASSERT_NE(server.display(), "") << "no X server of the test's own";
    const test::TempDir runtime("wayland");
    std::optional<OwnWindowManager> manager;
    std::optional<OwnWeston> weston;
    std::string display = server.display();
    if (c.manager == Manager::kWeston) {
      weston.emplace(server.display(), runtime.path(), "veskor-test", 800, 600, true);
      ASSERT_TRUE(weston->listening()) << "weston did not start";
      display = weston->XDisplay();
      ASSERT_NE(display, "") << "weston started no X server";
    } else {
      manager.emplace(server.display(), c.manager);
      ASSERT_TRUE(manager->managing()) << c.name << " did not start";
    }
    const test::TempDir dir("window_gone");
    int told[2], done[2];
    ASSERT_EQ(pipe(told), 0);
    ASSERT_EQ(pipe(done), 0);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      alarm(30);
      close(told[0]);
      close(done[1]);
      DrawUntilDone(display, dir.Path("stderr"), dir.Path("saved"), told[1], done[0]);
    }
    close(told[1]);
    close(done[0]);
    uint32_t xwindow = 0;
    const bool made = read(told[0], &xwindow, sizeof xwindow) == sizeof xwindow;
    EXPECT_TRUE(made) << "no window made";
    if (made && c.act != kDestroyedEarly) {
      EXPECT_TRUE(FramesDrawn(told[0], 1)) << "none drawn";
    }
    xcb_connection_t* x = xcb_connect(display.c_str(), nullptr);
    const xcb_window_t frame = made ? FrameOf(x, xwindow) : 0;
    EXPECT_NE(frame, 0u) << "the window was not framed";
    if (frame != 0 && c.act == kServerStopped) {
      server.Stop();  // as soon as framed: every window destroyed, then every connection dropped
    } else if (frame != 0 && c.act != kUnmappedAndMapped) {
      xcb_destroy_window(x, frame);
      std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
    }
    if (frame != 0 && c.act == kUnmappedAndMapped) {
      xcb_unmap_window(x, frame);
      std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
      xcb_map_window(x, frame);
      std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
      EXPECT_TRUE(FramesDrawn(told[0], 2)) << "no frame drawn after it was mapped again";
    }
    xcb_disconnect(x);
    if (c.act == kUnmappedAndMapped) close(done[1]);
    // The end within 20 s (the child's own alarm ends it past 30).
    int status = -1;
    for (int i = 0; i < 2000 && waitpid(pid, &status, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (status == -1) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    if (c.act != kUnmappedAndMapped) close(done[1]);
    close(told[0]);
    const std::string errors = test::ReadFileText(dir.Path("stderr"));
    const int expected = c.act == kUnmappedAndMapped ? 0 : kDisplayLostExitStatus;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == expected)
        << (WIFSIGNALED(status) ? "ended by signal " : "wait status ")
        << (WIFSIGNALED(status) ? WTERMSIG(status) : status) << "\n"
        << errors;
    if (c.act == kUnmappedAndMapped) {
      EXPECT_EQ(errors.find(kWindowLostMessage), std::string::npos) << errors;
      EXPECT_EQ(test::ReadFileText(dir.Path("saved")), "");
    } else {
      EXPECT_EQ(errors, std::string(c.act == kServerStopped ? kDisplayLostMessage
                                                            : kWindowLostMessage) +
                            "\n");
      EXPECT_EQ(test::ReadFileText(dir.Path("saved")), "saved\n");
    }
  }
  if (!missing.empty())
    GTEST_SKIP() << "the window managers to frame the window are missing, their rows not run: "
                 << missing;
}

}  // namespace
}  // namespace veskor
