#include "platform/window.h"

#include <SDL.h>

#include <algorithm>
#include <deque>

#include "platform/display_loss.h"
#include "platform/gl_window_internal.h"

namespace veskor {

namespace {

struct Translator {
  std::deque<WindowMessage> queue;
  std::uint32_t heldButtons = 0;  // kMk button bits, from the button events translated
  std::uint32_t shiftKeys = 0;    // bit 0 left, bit 1 right
  std::uint32_t controlKeys = 0;
};
Translator gTranslator;

void Post(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  gTranslator.queue.push_back({message, wParam, lParam});
}

std::int32_t ClampWord(std::int32_t v) { return std::clamp<std::int32_t>(v, -32768, 32767); }

std::intptr_t PositionLParam(std::int32_t x, std::int32_t y) {
  return MakeLParam(ClampWord(x), ClampWord(y));
}

std::uint32_t VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<std::uint32_t>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<std::uint32_t>(key);
  if (key >= SDLK_F1 && key <= SDLK_F12) return kVkF1 + static_cast<std::uint32_t>(key - SDLK_F1);
  switch (key) {
    case SDLK_BACKSPACE: return kVkBack;
    case SDLK_TAB: return kVkTab;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return kVkReturn;
    case SDLK_ESCAPE: return kVkEscape;
    case SDLK_SPACE: return kVkSpace;
    case SDLK_PAGEUP: return kVkPageUp;
    case SDLK_PAGEDOWN: return kVkPageDown;
    case SDLK_END: return kVkEnd;
    case SDLK_HOME: return kVkHome;
    case SDLK_LEFT: return kVkLeft;
    case SDLK_UP: return kVkUp;
    case SDLK_RIGHT: return kVkRight;
    case SDLK_DOWN: return kVkDown;
    case SDLK_INSERT: return kVkInsert;
    case SDLK_DELETE: return kVkDelete;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return kVkShift;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return kVkControl;
    case SDLK_LALT:
    case SDLK_RALT:
    case SDLK_MODE: return kVkAlt;
    default: return kVkOther;
  }
}

std::uint32_t ModifierFlags() {
  return (gTranslator.shiftKeys != 0 ? kMkShift : 0) |
         (gTranslator.controlKeys != 0 ? kMkControl : 0);
}

void TrackModifier(SDL_Keycode key, bool down) {
  std::uint32_t* keys = nullptr;
  std::uint32_t bit = 1;
  switch (key) {
    case SDLK_RSHIFT: bit = 2; [[fallthrough]];
    case SDLK_LSHIFT: keys = &gTranslator.shiftKeys; break;
    case SDLK_RCTRL: bit = 2; [[fallthrough]];
    case SDLK_LCTRL: keys = &gTranslator.controlKeys; break;
    default: return;
  }
  *keys = down ? (*keys | bit) : (*keys & ~bit);
}

void TranslateKey(const SDL_KeyboardEvent& key) {
  const bool down = key.type == SDL_KEYDOWN;
  TrackModifier(key.keysym.sym, down);
  const std::uint32_t vk = VirtualKey(key.keysym.sym);
  Post(down ? kWmKeyDown : kWmKeyUp, vk, 0);
  // These four keys type a character of their own, as on the system the program was made
  // for; SDL's text input has none for them. Control combinations type nothing.
  const bool typing = vk == kVkBack || vk == kVkTab || vk == kVkReturn || vk == kVkEscape;
  if (down && typing && gTranslator.controlKeys == 0) Post(kWmChar, vk, 0);
  // With Control held a letter key sends no text either: its own character (the key symbol,
  // lower case) comes in its place, so that the program's Control shortcuts know the key
  // from its first press.
  const SDL_Keycode sym = key.keysym.sym;
  if (down && gTranslator.controlKeys != 0 && sym >= SDLK_a && sym <= SDLK_z)
    Post(kWmChar, static_cast<std::uintptr_t>(sym), 0);
}

// Decodes one UTF-8 sequence at `text` and moves past it; kBadCodePoint for a malformed one.
constexpr std::uint32_t kBadCodePoint = 0xFFFFFFFF;
std::uint32_t NextCodePoint(const unsigned char*& text) {
  const unsigned char c = *text++;
  int extra;
  std::uint32_t cp;
  if (c < 0x80) return c;
  if (c < 0xC0) return kBadCodePoint;
  if (c < 0xE0) {
    extra = 1;
    cp = c & 0x1F;
  } else if (c < 0xF0) {
    extra = 2;
    cp = c & 0x0F;
  } else if (c < 0xF8) {
    extra = 3;
    cp = c & 0x07;
  } else {
    return kBadCodePoint;
  }
  for (int i = 0; i < extra; ++i) {
    if ((*text & 0xC0) != 0x80) return kBadCodePoint;  // the terminating zero stops here too
    cp = cp << 6 | (*text++ & 0x3F);
  }
  return cp;
}

void TranslateText(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    const int ch = CodePage1252(NextCodePoint(p));
    if (ch >= 0x20) Post(kWmChar, static_cast<std::uintptr_t>(ch), 0);
  }
}

std::uint32_t ButtonBit(std::uint8_t button) {
  switch (button) {
    case SDL_BUTTON_LEFT: return kMkLButton;
    case SDL_BUTTON_MIDDLE: return kMkMButton;
    case SDL_BUTTON_RIGHT: return kMkRButton;
    default: return 0;
  }
}

void TranslateButton(const SDL_MouseButtonEvent& button) {
  const std::uint32_t bit = ButtonBit(button.button);
  if (bit == 0) return;
  const bool down = button.type == SDL_MOUSEBUTTONDOWN;
  gTranslator.heldButtons =
      down ? (gTranslator.heldButtons | bit) : (gTranslator.heldButtons & ~bit);
  std::uint32_t message;
  switch (bit) {
    case kMkLButton: message = down ? kWmLButtonDown : kWmLButtonUp; break;
    case kMkMButton: message = down ? kWmMButtonDown : kWmMButtonUp; break;
    default: message = down ? kWmRButtonDown : kWmRButtonUp; break;
  }
  Post(message, gTranslator.heldButtons | ModifierFlags(), PositionLParam(button.x, button.y));
}

void TranslateMotion(const SDL_MouseMotionEvent& motion) {
  int wx = 0, wy = 0;
  if (SDL_Window* window = SDL_GetWindowFromID(motion.windowID))
    SDL_GetWindowPosition(window, &wx, &wy);
  Post(kWmNcHitTest, 0, PositionLParam(wx + motion.x, wy + motion.y));
  const std::uint32_t held = ((motion.state & SDL_BUTTON_LMASK) ? kMkLButton : 0) |
                             ((motion.state & SDL_BUTTON_MMASK) ? kMkMButton : 0) |
                             ((motion.state & SDL_BUTTON_RMASK) ? kMkRButton : 0);
  Post(kWmMouseMove, held | ModifierFlags(), PositionLParam(motion.x, motion.y));
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
  switch (event.event) {
    // Under Xvfb without a window manager no focus event comes: being shown counts too.
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_FOCUS_GAINED: Post(kWmActivate, 1, 0); break;
    case SDL_WINDOWEVENT_MINIMIZED: Post(kWmActivate, 1 | kActivateMinimised, 0); break;
    case SDL_WINDOWEVENT_MOVED: {
      int x = event.data1, y = event.data2;
      ReadBackPosition(event.windowID, &x, &y);
      Post(kWmMove, 0, PositionLParam(x, y));
      break;
    }
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      int w = event.data1, h = event.data2;
      if (SDL_Window* window = SDL_GetWindowFromID(event.windowID))
        SDL_GL_GetDrawableSize(window, &w, &h);
      Post(kWmSize, 0, MakeLParam(std::clamp(w, 0, 0xFFFF), std::clamp(h, 0, 0xFFFF)));
      break;
    }
    case SDL_WINDOWEVENT_RESIZED: break;  // SIZE_CHANGED comes with it
    case SDL_WINDOWEVENT_CLOSE: Post(kWmClose, 0, 0); break;
    case SDL_WINDOWEVENT_LEAVE: Post(kWmMouseLeave, 0, 0); break;
    default: Post(kWmNull, 0, 0); break;
  }
}

void Translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT: Post(kWmClose, 0, 0); break;
    case SDL_WINDOWEVENT: TranslateWindowEvent(event.window); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: TranslateKey(event.key); break;
    case SDL_TEXTINPUT: TranslateText(event.text.text); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: TranslateButton(event.button); break;
    case SDL_MOUSEMOTION: TranslateMotion(event.motion); break;
    default: break;
  }
}

// The characters 0x80-0x9F of code page 1252; 0 where it has none.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

int CodePage1252(std::uint32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
    return static_cast<int>(codePoint);
  for (int i = 0; i < 32; ++i)
    if (kHighControls[i] != 0 && kHighControls[i] == codePoint) return 0x80 + i;
  return -1;
}

void WindowMessagesStart() {
  SDL_StartTextInput();
  SDL_DisableScreenSaver();
}

bool PeekWindowMessage(WindowMessage* message) {
  if (TakeQuitSignal() != 0) Post(kWmClose, 0, 0);  // SIGTERM, SIGINT: as a window close
  SDL_Event event;
  while (gTranslator.queue.empty() && SDL_WasInit(SDL_INIT_EVENTS) != 0 &&
         SDL_PollEvent(&event) != 0)
    Translate(event);
  if (gTranslator.queue.empty()) return false;
  *message = gTranslator.queue.front();
  gTranslator.queue.pop_front();
  return true;
}

void PostWindowMessage(const WindowMessage& message) { gTranslator.queue.push_back(message); }

void PostQuitMessage(int exitCode) { Post(kWmQuit, static_cast<std::uintptr_t>(exitCode), 0); }

void ResetWindowMessages() { gTranslator = Translator{}; }

std::intptr_t DefaultWindowProc(const WindowMessage& /*message*/) { return 0; }

bool WindowHasMouseCapture() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
  SDL_Window* window = SDL_GetMouseFocus();
  return window != nullptr && (SDL_GetWindowFlags(window) & SDL_WINDOW_MOUSE_CAPTURE) != 0;
}

}  // namespace veskor
