// Looks at and acts on a program's window from outside, as a user and a window manager would.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;  // Xlib's Display

namespace burstmap_test {

struct WindowPlace {
    int x, y;           // the client area's top-left corner on the screen
    int width, height;  // the client area's size
};

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0xRRGGBB, row after row from the top

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

class X11Probe {
  public:
    // Connects to the display (":N"); connected() tells whether it worked.
    explicit X11Probe(const std::string& display);
    ~X11Probe();
    X11Probe(const X11Probe&) = delete;
    X11Probe& operator=(const X11Probe&) = delete;

    bool connected() const { return display_ != nullptr; }

    // The top-level window with the caption, waiting for it to appear; 0 when it did not.
    unsigned long find_window(const std::string& caption, double timeout_seconds);

    std::optional<WindowPlace> place(unsigned long window);

    // The client area's pixels; nothing when they cannot be read (the window is gone).
    std::optional<Screenshot> capture(unsigned long window);

    // Covers the window with another one for a moment and takes it away again, as when the
    // user drags something across it; the window system then asks the program to repaint.
    bool cover_and_uncover(unsigned long window);

    // Sends WM_DELETE_WINDOW, as a window manager does for the close button.
    bool request_close(unsigned long window);

  private:
    ::_XDisplay* display_ = nullptr;
};

}  // namespace burstmap_test
