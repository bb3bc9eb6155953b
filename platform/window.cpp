#include "platform/window.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform {

struct Window::State {
    SDL_Window* window = nullptr;
    bool shown = false;  // the window shows what the surface holds
};

Window::Window(std::unique_ptr<State> state) : state_(std::move(state)) {}

Window::~Window() {
    if (state_->window != nullptr) {
        SDL_DestroyWindow(state_->window);
    }
    SDL_Quit();
}

namespace {

// SDL falls back to its offscreen driver when no display can be reached; a window there is
// seen by no one, so unless that driver was asked for, the window counts as not opened.
bool fell_back_to_offscreen() {
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    const char* current = SDL_GetCurrentVideoDriver();
    return (chosen == nullptr || *chosen == '\0') && current != nullptr &&
           std::strcmp(current, "offscreen") == 0;
}

OpenedWindow failed(std::string reason) {
    SDL_Quit();
    return {nullptr, std::move(reason)};
}

}  // namespace

OpenedWindow open_window(std::string_view caption, int client_width, int client_height) {
    // The window surface is shown by the window system directly; the default on X11 goes
    // through a software OpenGL renderer and costs several times more per picture.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Events are served only while the program waits for the close request, so a window
    // manager's ping would mark the busy window as hung.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_PING, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return failed(SDL_GetError());
    }
    if (fell_back_to_offscreen()) {
        return failed("no display");  // SDL's own message is left over from a failed probe
    }
    std::string title(caption);
    SDL_Window* window =
        SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                         client_width, client_height, SDL_WINDOW_SHOWN);
    if (window == nullptr) {
        return failed(SDL_GetError());
    }
    // Made now so that a window that could never show a picture fails here, not silently later.
    if (SDL_GetWindowSurface(window) == nullptr) {
        std::string reason = SDL_GetError();
        SDL_DestroyWindow(window);
        return failed(std::move(reason));
    }
    auto state = std::make_unique<Window::State>();
    state->window = window;
    return {std::make_unique<Window>(std::move(state)), {}};
}

namespace {

// The rows [first, last) in which the picture differs from what the surface holds, copied
// into it. Successive frames of an animation share most of their rows, and the rows that did
// not change need not travel to the window system again.
struct ChangedRows {
    int first;
    int last;
};

ChangedRows copy_changed_rows(SDL_Surface* surface, const Image& image) {
    const std::uint32_t* source = image.xrgb_pixels().data();
    auto* target = static_cast<std::uint8_t*>(surface->pixels);
    const std::size_t row_bytes = static_cast<std::size_t>(image.width()) * 4;
    auto same = [&](int row) {
        return std::memcmp(target + static_cast<std::size_t>(row) * surface->pitch,
                           source + static_cast<std::size_t>(row) * image.width(), row_bytes) == 0;
    };
    int first = 0;
    int last = image.height();
    while (first < last && same(first)) {
        ++first;
    }
    while (last > first && same(last - 1)) {
        --last;
    }
    for (int row = first; row < last; ++row) {
        std::memcpy(target + static_cast<std::size_t>(row) * surface->pitch,
                    source + static_cast<std::size_t>(row) * image.width(), row_bytes);
    }
    return {first, last};
}

}  // namespace

bool create_image_view(Window& window, const Image* image) {
    Window::State& state = window.state();
    SDL_Surface* surface = SDL_GetWindowSurface(state.window);
    if (surface == nullptr) {
        return false;
    }
    // The usual case: an image that fills the window, in the surface's own pixel layout.
    if (image != nullptr && image->width() == surface->w && image->height() == surface->h &&
        surface->format->format == SDL_PIXELFORMAT_RGB888 && !SDL_MUSTLOCK(surface)) {
        ChangedRows rows = copy_changed_rows(surface, *image);
        if (state.shown && rows.first == rows.last) {
            return true;  // the window already shows this very picture
        }
        SDL_Rect band{0, rows.first, surface->w, rows.last - rows.first};
        if (!state.shown) {
            band = {0, 0, surface->w, surface->h};
        }
        state.shown = SDL_UpdateWindowSurfaceRects(state.window, &band, 1) == 0;
        return state.shown;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        return false;
    }
    int shown_width = image != nullptr ? std::min(image->width(), surface->w) : 0;
    int shown_height = image != nullptr ? std::min(image->height(), surface->h) : 0;
    bool copied = true;
    if (shown_width > 0 && shown_height > 0) {
        copied = SDL_ConvertPixels(shown_width, shown_height, SDL_PIXELFORMAT_RGB888,
                                   image->xrgb_pixels().data(), image->width() * 4,
                                   surface->format->format, surface->pixels, surface->pitch) == 0;
    }
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
    Uint32 black = SDL_MapRGB(surface->format, 0, 0, 0);
    SDL_Rect right{shown_width, 0, surface->w - shown_width, surface->h};
    SDL_Rect below{0, shown_height, shown_width, surface->h - shown_height};
    if (right.w > 0) {
        SDL_FillRect(surface, &right, black);
    }
    if (below.h > 0 && below.w > 0) {
        SDL_FillRect(surface, &below, black);
    }
    state.shown = copied && SDL_UpdateWindowSurface(state.window) == 0;
    return state.shown;
}

int wait_window_event(Window& window) {
    SDL_Event event;
    if (SDL_WaitEvent(&event) == 0) {
        return kCloseRequest;
    }
    if (event.type != SDL_WINDOWEVENT) {
        return event.type == SDL_QUIT ? kCloseRequest : kOtherEvent;
    }
    if (event.window.event == SDL_WINDOWEVENT_EXPOSED && window.state().shown) {
        // The window system lost what it showed (the window was covered, say): the surface
        // still holds the picture, so it is shown again.
        SDL_UpdateWindowSurface(window.state().window);
    }
    return event.window.event == SDL_WINDOWEVENT_CLOSE ? kCloseRequest : kOtherEvent;
}

void close_window(std::unique_ptr<Window>& window) {
    window.reset();
}

}  // namespace platform
