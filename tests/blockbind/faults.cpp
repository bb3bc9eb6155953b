// Loaded into blockbind with LD_PRELOAD: makes a failed allocation and a short read, which a
// real system gives only rarely, happen on demand (see faults.h).
#include "tests/blockbind/faults.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

extern "C" {

void* __libc_calloc(std::size_t count, std::size_t size);

void* calloc(std::size_t count, std::size_t size) noexcept {
    if (count * size == blockbind_faults::kRefusedSize) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_calloc(count, size);
}

ssize_t read(int fd, void* memory, std::size_t count) {
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_size == blockbind_faults::kShrinkingSize) {
        const off_t end = blockbind_faults::kShrinkingSize / 2;
        const off_t position = lseek(fd, 0, SEEK_CUR);
        if (position >= end) {
            return 0;
        }
        if (static_cast<off_t>(count) > end - position) {
            count = static_cast<std::size_t>(end - position);
        }
    }
    return syscall(SYS_read, fd, memory, count);
}

}  // extern "C"
