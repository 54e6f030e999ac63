#include "Platform/Display/Window.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Platform/Loader/OnDemandLibrary.h"

namespace display {

namespace {

// How far one notch of a wheel moves a list: three rows' worth.
constexpr double kWheelPoints = 40;
// The letterbox around a picture in a window of another aspect.
constexpr Uint8 kLetterbox = 40;

bool connected = false;

// SDL is opened when a window is first wanted: a launch without one does
// not map it and the thirty-odd desktop libraries it pulls in. Its
// functions are reached through this table, filled once from the library.
#define DISPLAY_SDL_FUNCTIONS(X) X(SDL_, CreateRenderer) X(SDL_, CreateTexture) X(SDL_, CreateWindow) \
  X(SDL_, DestroyRenderer) X(SDL_, DestroyTexture) X(SDL_, DestroyWindow) X(SDL_, GetClipboardText) \
  X(SDL_, GetCurrentVideoDriver) X(SDL_, GetDisplayUsableBounds) X(SDL_, GetError) X(SDL_, GetWindowSize) \
  X(SDL_, InitSubSystem) X(SDL_, PollEvent) X(SDL_, Quit) X(SDL_, QuitSubSystem) X(SDL_, RenderClear) \
  X(SDL_, RenderCopy) X(SDL_, RenderPresent) X(SDL_, RenderSetLogicalSize) X(SDL_, SetHint) \
  X(SDL_, SetRenderDrawColor) X(SDL_, SetWindowMinimumSize) X(SDL_, SetWindowSize) X(SDL_, StartTextInput) \
  X(SDL_, StopTextInput) X(SDL_, UpdateTexture) X(SDL_, WaitEventTimeout) X(SDL_, free)

struct Sdl {
  DISPLAY_SDL_FUNCTIONS(LOADER_TABLE_MEMBER)
};

const Sdl* sdl = nullptr;  // set once loadSdl() has succeeded

bool loadSdl(std::string* why) {
  static loader::OnDemandLibrary library("libSDL2-2.0.so.0");
  static Sdl table;
  static std::string missing;
  static const bool loaded = [] {
    std::string* why = &missing;
    return true DISPLAY_SDL_FUNCTIONS(LOADER_TABLE_FIND);
  }();
  if (!loaded) {
    if (why) *why = "the display's library cannot be loaded: " + missing;
    return false;
  }
  sdl = &table;
  return true;
}

// A driver SDL falls back to without a desktop shows nobody anything.
bool showsAnything(const char* driver) {
  return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

std::string whyNoDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((!x11 || !*x11) && (!wayland || !*wayland)) return "there is no display to open a window on (DISPLAY is not set)";
  return std::string("the display cannot be opened: ") + sdl->GetError();
}

}  // namespace

struct Window::Parts {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;

  ~Parts() {
    if (texture) sdl->DestroyTexture(texture);
    if (renderer) sdl->DestroyRenderer(renderer);
    if (window) sdl->DestroyWindow(window);
  }
};

bool Window::connect(std::string* why) {
  if (connected) return true;
  // Nothing names a display: SDL would only find its offscreen one, after
  // its desktop drivers complained on standard error.
  auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("SDL_VIDEODRIVER")) {
    if (why) *why = whyNoDisplay();
    return false;
  }
  if (!loadSdl(why)) return false;
  // The program keeps its own signal handlers (the crash reporter's); the
  // desktop's screen saver is not the program's business; a click that
  // brings the window to the front also acts; a press held across the
  // window's edge keeps reporting.
  sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  sdl->SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  sdl->SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  sdl->SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "1");
  sdl->SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  sdl->SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  if (sdl->InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (why) *why = whyNoDisplay();
    return false;
  }
  if (!showsAnything(sdl->GetCurrentVideoDriver())) {
    sdl->QuitSubSystem(SDL_INIT_VIDEO);
    if (why) *why = whyNoDisplay();
    return false;
  }
  connected = true;
  return true;
}

std::unique_ptr<Window> Window::open(const std::string& title, cg::Size points, double scale, std::string* why) {
  if (!connect(why)) return nullptr;
  auto fail = [&](const char* what) -> std::unique_ptr<Window> {
    if (why) *why = std::string(what) + ": " + sdl->GetError();
    return nullptr;
  };
  PixelSize pixels{std::max(1, int(std::lround(points.width * scale))),
                   std::max(1, int(std::lround(points.height * scale)))};
  PixelSize room;
  if (SDL_Rect usable; sdl->GetDisplayUsableBounds(0, &usable) == 0) room = {usable.w, usable.h};
  PixelSize size = fittedSize(pixels, room);

  auto parts = std::make_unique<Parts>();
  parts->window = sdl->CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.width,
                                   size.height, SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
  if (!parts->window) return fail("cannot open a window");
  parts->renderer = sdl->CreateRenderer(parts->window, -1, SDL_RENDERER_ACCELERATED);
  if (!parts->renderer) parts->renderer = sdl->CreateRenderer(parts->window, -1, SDL_RENDERER_SOFTWARE);
  if (!parts->renderer) return fail("cannot draw in the window");
  // The renderer works in the picture's pixels: it letterboxes and scales
  // to the window, and reports pointer positions in those pixels.
  if (sdl->RenderSetLogicalSize(parts->renderer, pixels.width, pixels.height) != 0)
    return fail("cannot scale the picture to the window");
  parts->texture = sdl->CreateTexture(parts->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                     pixels.width, pixels.height);
  if (!parts->texture) return fail("cannot make the screen's texture");
  sdl->SetWindowMinimumSize(parts->window, std::max(1, pixels.width / 8), std::max(1, pixels.height / 8));
  sdl->StartTextInput();
  // The letterbox's colour until the first picture.
  sdl->SetRenderDrawColor(parts->renderer, kLetterbox, kLetterbox, kLetterbox, 255);
  sdl->RenderClear(parts->renderer);
  sdl->RenderPresent(parts->renderer);
  auto window = std::unique_ptr<Window>(new Window(std::move(parts), points, scale));
  window->pixels_ = pixels;
  window->lastSize_ = window->size();
  return window;
}

Window::Window(std::unique_ptr<Parts> parts, cg::Size points, double scale)
    : parts_(std::move(parts)), points_(points), scale_(scale) {}

Window::~Window() {
  sdl->StopTextInput();
  parts_.reset();
  sdl->QuitSubSystem(SDL_INIT_VIDEO);
  sdl->Quit();
  connected = false;
}

PixelSize Window::size() const {
  int w = 0, h = 0;
  sdl->GetWindowSize(parts_->window, &w, &h);
  return {w, h};
}

void Window::show(const cg::Image& picture) {
  // Cairo's pixels are 32-bit words of premultiplied ARGB, as the texture
  // takes them; a screen picture is opaque, so premultiplied is plain.
  if (picture.pixelWidth() != pixels_.width || picture.pixelHeight() != pixels_.height) {
    SDL_Texture* texture = sdl->CreateTexture(parts_->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                             picture.pixelWidth(), picture.pixelHeight());
    if (!texture) return;
    sdl->DestroyTexture(parts_->texture);
    parts_->texture = texture;
    pixels_ = {picture.pixelWidth(), picture.pixelHeight()};
    sdl->RenderSetLogicalSize(parts_->renderer, pixels_.width, pixels_.height);
  }
  sdl->UpdateTexture(parts_->texture, nullptr, picture.premultipliedPixels().data(), pixels_.width * 4);
  sdl->SetRenderDrawColor(parts_->renderer, kLetterbox, kLetterbox, kLetterbox, 255);
  sdl->RenderClear(parts_->renderer);
  sdl->RenderCopy(parts_->renderer, parts_->texture, nullptr, nullptr);
  sdl->RenderPresent(parts_->renderer);
  needsPicture_ = false;
}

std::vector<Event> Window::events(double seconds) {
  std::vector<Event> out;
  SDL_Event event;
  int waitMs = int(std::lround(std::max(0.0, seconds) * 1000));
  bool first = waitMs > 0 ? sdl->WaitEventTimeout(&event, waitMs) : sdl->PollEvent(&event);
  if (!first) return out;
  translate(&event, &out);
  while (sdl->PollEvent(&event)) translate(&event, &out);
  return out;
}

bool Window::toScreen(int x, int y, cg::Point* point) const {
  // Positions come in the picture's pixels; the middle of the pixel is
  // where the finger is.
  *point = {(x + 0.5) / scale_, (y + 0.5) / scale_};
  return x >= 0 && y >= 0 && x < pixels_.width && y < pixels_.height;
}

void Window::keepAspect(PixelSize now) {
  // The desktop's answer to the size asked for, whatever it made of it:
  // taken as it is, so that the window never argues with the desktop.
  if (askedSize_.width > 0) {
    askedSize_ = {};
    lastSize_ = now;
    return;
  }
  PixelSize wanted = aspectKept(pixels_, lastSize_, now);
  lastSize_ = now;
  if (std::abs(wanted.width - now.width) <= 1 && std::abs(wanted.height - now.height) <= 1) return;
  askedSize_ = wanted;
  sdl->SetWindowSize(parts_->window, wanted.width, wanted.height);
}

void Window::translate(const void* sdlEvent, std::vector<Event>* out) {
  const SDL_Event& e = *static_cast<const SDL_Event*>(sdlEvent);
  Event event{};
  switch (e.type) {
    case SDL_QUIT:
      out->push_back({Event::Kind::Close, {}});
      return;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          keepAspect({e.window.data1, e.window.data2});
          needsPicture_ = true;
          break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
          needsPicture_ = true;
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          if (pointerHeld_) out->push_back({Event::Kind::PointerLost, pointer_});
          pointerHeld_ = false;
          break;
        default:
          break;
      }
      return;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button != SDL_BUTTON_LEFT) return;
      if (!toScreen(e.button.x, e.button.y, &pointer_)) return;
      pointerHeld_ = true;
      out->push_back({Event::Kind::PointerDown, pointer_});
      return;
    case SDL_MOUSEMOTION:
      toScreen(e.motion.x, e.motion.y, &pointer_);
      if (pointerHeld_) out->push_back({Event::Kind::PointerMove, pointer_});
      return;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button != SDL_BUTTON_LEFT || !pointerHeld_) return;
      toScreen(e.button.x, e.button.y, &pointer_);
      pointerHeld_ = false;
      out->push_back({Event::Kind::PointerUp, pointer_});
      return;
    case SDL_MOUSEWHEEL: {
      double notches = e.wheel.preciseY;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      // Turning the wheel away from the person shows what lies above.
      event.kind = Event::Kind::Wheel;
      event.point = pointer_;
      event.wheel = -notches * kWheelPoints;
      out->push_back(event);
      return;
    }
    case SDL_TEXTINPUT:
      event.kind = Event::Kind::Text;
      event.text = e.text.text;
      out->push_back(event);
      return;
    case SDL_KEYDOWN: {
      SDL_Keycode key = e.key.keysym.sym;
      Uint16 mod = e.key.keysym.mod;
      if (e.key.repeat && key == SDLK_ESCAPE) return;  // one press, one step back
      if (((mod & KMOD_CTRL) && key == SDLK_v) || ((mod & KMOD_SHIFT) && key == SDLK_INSERT)) {
        event.kind = Event::Kind::Paste;
        if (char* text = sdl->GetClipboardText()) {
          event.text = text;
          sdl->free(text);
        }
        if (!event.text.empty()) out->push_back(event);
        return;
      }
      event.kind = Event::Kind::Key;
      switch (key) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER: event.key = Key::Return; break;
        case SDLK_BACKSPACE: event.key = Key::Backspace; break;
        case SDLK_ESCAPE: event.key = Key::Escape; break;
        case SDLK_LEFT: event.key = Key::Left; break;
        case SDLK_RIGHT: event.key = Key::Right; break;
        case SDLK_UP: event.key = Key::Up; break;
        case SDLK_DOWN: event.key = Key::Down; break;
        default: return;
      }
      out->push_back(event);
      return;
    }
    default:
      return;
  }
}

}  // namespace display
