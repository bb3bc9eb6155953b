#include "tests/faults/fault_support.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "cellweave/screen.h"

namespace fault_test {

test_support::RunOptions in_folder(const std::string& folder) {
    test_support::RunOptions options = test_support::in_folder(folder);
    options.timeout_seconds = 30;
    return options;
}

namespace {

std::string little_endian_sum(const std::string& bytes) {
    std::uint32_t sum = 0;
    for (char byte : bytes) {
        sum += static_cast<unsigned char>(byte);
    }
    return {static_cast<char>(sum), static_cast<char>(sum >> 8), static_cast<char>(sum >> 16),
            static_cast<char>(sum >> 24)};
}

}  // namespace

std::string valid_screen_image() {
    std::string body = test_support::pattern(6908, 77);
    return body + little_endian_sum(body);
}

std::string repaired(const std::string& image) {
    return image + little_endian_sum(image);
}

std::string rewoven(const std::string& screen) {
    std::string result(screen.size(), '\0');
    for (std::size_t k = 0; k < screen.size(); ++k) {
        result[k] = screen[cellweave::source_index(k)];
    }
    return result;
}

std::string tap_block(const std::string& data) {
    const std::size_t length = data.size() + 1;
    std::string block{static_cast<char>(length & 0xFF), static_cast<char>(length >> 8)};
    char check = 0;
    for (char byte : data) {
        check = static_cast<char>(check ^ byte);
    }
    return block + data + check;
}

SmallFileSystem::SmallFileSystem(const std::string& folder, long long bytes) : folder_(folder) {
    std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    mounted_ =
        ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
    if (!mounted_) {
        why_not_ = std::strerror(errno);
    }
}

SmallFileSystem::~SmallFileSystem() {
    if (mounted_) {
        ::umount2(folder_.c_str(), MNT_DETACH);
    }
}

bool SmallFileSystem::leave_free(long long free_bytes) const {
    struct statvfs status {};
    if (statvfs(folder_.c_str(), &status) != 0) {
        return false;
    }
    long long available = static_cast<long long>(status.f_bavail * status.f_frsize);
    if (available < free_bytes) {
        return false;
    }
    std::string filler(static_cast<std::size_t>(available - free_bytes), '\0');
    int fd = ::open((folder_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool written =
        fd >= 0 && ::write(fd, filler.data(), filler.size()) == static_cast<ssize_t>(filler.size());
    if (fd >= 0) {
        ::close(fd);
    }
    return written && statvfs(folder_.c_str(), &status) == 0 &&
           static_cast<long long>(status.f_bavail * status.f_frsize) == free_bytes;
}

}  // namespace fault_test
