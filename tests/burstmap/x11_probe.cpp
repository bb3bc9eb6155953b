#include "tests/burstmap/x11_probe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/process.h"

namespace burstmap_test {

namespace {

// A window that vanished while it was looked at must not end the test through Xlib's default
// handler, which exits the process.
int ignore_x_error(Display*, XErrorEvent*) {
    return 0;
}

bool has_caption(Display* display, Window window, const std::string& caption) {
    char* name = nullptr;
    bool matches = XFetchName(display, window, &name) != 0 && name != nullptr && caption == name;
    if (name != nullptr) {
        XFree(name);
    }
    return matches;
}

Window search(Display* display, Window parent, const std::string& caption) {
    Window root_return, parent_return;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, parent, &root_return, &parent_return, &children, &count) == 0) {
        return 0;
    }
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        found = has_caption(display, children[i], caption) ? children[i]
                                                           : search(display, children[i], caption);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

}  // namespace

X11Probe::X11Probe(const std::string& display) {
    display_ = XOpenDisplay(display.c_str());
    XSetErrorHandler(ignore_x_error);
}

X11Probe::~X11Probe() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

unsigned long X11Probe::find_window(const std::string& caption, double timeout_seconds) {
    double deadline = test_support::monotonic_seconds() + timeout_seconds;
    while (display_ != nullptr) {
        Window found = search(display_, DefaultRootWindow(display_), caption);
        if (found != 0 || test_support::monotonic_seconds() > deadline) {
            return found;
        }
        test_support::sleep_milliseconds(20);
    }
    return 0;
}

std::optional<WindowPlace> X11Probe::place(unsigned long window) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display_, window, &attributes) == 0) {
        return std::nullopt;
    }
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    return WindowPlace{x, y, attributes.width, attributes.height};
}

std::optional<Screenshot> X11Probe::capture(unsigned long window) {
    std::optional<WindowPlace> where = place(window);
    if (!where) {
        return std::nullopt;
    }
    XImage* image =
        XGetImage(display_, window, 0, 0, where->width, where->height, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return std::nullopt;
    }
    Screenshot shot;
    shot.width = where->width;
    shot.height = where->height;
    shot.pixels.reserve(static_cast<std::size_t>(shot.width) * shot.height);
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            // The server's 24-bit TrueColor visual: red, green and blue in the low three bytes.
            shot.pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF);
        }
    }
    XDestroyImage(image);
    return shot;
}

bool X11Probe::cover_and_uncover(unsigned long window) {
    std::optional<WindowPlace> where = place(window);
    if (!where) {
        return false;
    }
    Window root = DefaultRootWindow(display_);
    unsigned long white = WhitePixel(display_, DefaultScreen(display_));
    Window cover =
        XCreateSimpleWindow(display_, root, where->x, where->y, static_cast<unsigned>(where->width),
                            static_cast<unsigned>(where->height), 0, white, white);
    XMapRaised(display_, cover);
    XSync(display_, False);
    test_support::sleep_milliseconds(100);
    XDestroyWindow(display_, cover);
    XSync(display_, False);
    return true;
}

bool X11Probe::request_close(unsigned long window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    bool sent = XSendEvent(display_, window, False, NoEventMask, &event) != 0;
    XSync(display_, False);
    return sent;
}

}  // namespace burstmap_test
