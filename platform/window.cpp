#include "platform/window.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform {

struct Window::State {
    SDL_Window* window = nullptr;
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

bool create_image_view(Window& window, const Image* image) {
    SDL_Surface* surface = SDL_GetWindowSurface(window.state().window);
    if (surface == nullptr) {
        return false;
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
        return false;
    }
    int shown_width = image != nullptr ? std::min(image->width(), surface->w) : 0;
    int shown_height = image != nullptr ? std::min(image->height(), surface->h) : 0;
    bool copied = true;
    if (shown_width > 0 && shown_height > 0) {
        const std::uint32_t* source = image->xrgb_pixels().data();
        int source_pitch = image->width() * 4;
        if (surface->format->format == SDL_PIXELFORMAT_RGB888 && surface->pitch == source_pitch &&
            shown_width == image->width()) {
            std::memcpy(surface->pixels, source,
                        static_cast<std::size_t>(source_pitch) * shown_height);
        } else {
            copied = SDL_ConvertPixels(shown_width, shown_height, SDL_PIXELFORMAT_RGB888, source,
                                       source_pitch, surface->format->format, surface->pixels,
                                       surface->pitch) == 0;
        }
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
    return copied && SDL_UpdateWindowSurface(window.state().window) == 0;
}

int wait_window_event(Window& /*window*/) {
    SDL_Event event;
    if (SDL_WaitEvent(&event) == 0) {
        return kCloseRequest;
    }
    bool close_button =
        event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE;
    return close_button || event.type == SDL_QUIT ? kCloseRequest : kOtherEvent;
}

void close_window(std::unique_ptr<Window>& window) {
    window.reset();
}

}  // namespace platform
