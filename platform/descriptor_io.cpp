#include "platform/descriptor_io.h"

#include <unistd.h>

#include <cerrno>

namespace platform {

bool write_all(int fd, const void* data, std::size_t count) {
    const auto* next = static_cast<const char*>(data);
    while (count > 0) {
        ssize_t written = ::write(fd, next, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        next += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

ssize_t read_some(int fd, void* memory, std::size_t count) {
    ssize_t got;
    do {
        got = ::read(fd, memory, count);
    } while (got < 0 && errno == EINTR);
    return got;
}

}  // namespace platform
