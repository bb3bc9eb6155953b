// A top-level window that shows images, and the wait for its close request.
//
// The window keeps its own copy of the picture it shows: create_image_view copies the image
// into the window and presents it at once, so the image may be released or redrawn right after,
// and the window never shows a released image. No call here serves the window's event queue
// except wait_window_event, so requests made while a program draws stay queued until it waits.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/image.h"

namespace platform {

// The event code of a close request: the window's close button or window-menu Close, or a
// request to end the program (SIGTERM, a session ending).
inline constexpr int kCloseRequest = 16;
// The event code for every other event.
inline constexpr int kOtherEvent = 0;

class Window {
  public:
    struct State;  // the window system's objects
    explicit Window(std::unique_ptr<State> state);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    State& state() { return *state_; }

  private:
    std::unique_ptr<State> state_;
};

struct OpenedWindow {
    std::unique_ptr<Window> window;  // none when the window could not be opened
    std::string failure;             // then why: the window system's message, or "no display"
};

// Opens a window with a title bar carrying the caption and a close button, a client area of the
// given size that the user cannot resize, centred on the screen and shown at once. One window
// at a time. A fallback that would show nothing to anyone (no display, and no video driver
// chosen with SDL_VIDEODRIVER) counts as a failure with the reason "no display".
OpenedWindow open_window(std::string_view caption, int client_width, int client_height);

// Shows the image in the client area from its top-left corner, pixel for pixel; what the image
// does not cover is black, and no image (a none handle) shows an empty black view. The picture
// appears at once, without serving the event queue; only the rows that differ from the picture
// shown before are sent to the window system. False when it could not be shown; the previous
// picture then stays.
bool create_image_view(Window& window, const Image* image);

// Blocks until the window has an event and returns its code: kCloseRequest or kOtherEvent.
// Also kCloseRequest when events can no longer be had, since nothing else could end the wait.
// A window that was uncovered shows its picture again.
int wait_window_event(Window& window);

// Destroys the window; it disappears from the screen.
void close_window(std::unique_ptr<Window>& window);

}  // namespace platform
