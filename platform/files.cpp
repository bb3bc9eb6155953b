#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/descriptor_io.h"

namespace platform {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

struct OpenFile {
    int fd = -1;
    bool writable = false;
    // Created or truncated by create_file: the only kind of file discard_file may remove.
    bool replaced = false;
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t opened_length = 0;
    std::string name;
    // A write or flush failed; the file's content is no longer what the program wrote.
    bool failed = false;
    // Still in the non-blocking mode it was opened in (see descriptor_for_io).
    bool nonblocking = false;
    std::unique_ptr<std::uint8_t[]> buffer;
    // Bytes read ahead and not yet handed out are buffer[read_pos, read_end); bytes written
    // and not yet flushed are buffer[0, write_length). Only one of the two is ever in use.
    std::size_t read_pos = 0;
    std::size_t read_end = 0;
    std::size_t write_length = 0;
};

// The console-close handling flushes from its own thread, so every access to the table is
// made under this lock.
std::timed_mutex table_lock;

// How long the console-close handling waits for a file operation of the main thread to end. A
// write to a disk ends in far less; a write to a FIFO or pipe that nobody reads never does.
constexpr std::chrono::seconds kExitFlushWait{2};
std::array<OpenFile, kFileNumbers> table;

OpenFile* open_entry(int number) {
    if (number < 0 || number >= kFileNumbers || table[number].fd < 0) {
        return nullptr;
    }
    return &table[number];
}

// The descriptor, in blocking mode, for a read or a write. Files are opened without blocking,
// so that a FIFO without a writer cannot hold the open; the first read or write sets the usual
// blocking mode, so that a file opened only to be checked costs no more than its open.
int descriptor_for_io(OpenFile& file) {
    if (file.nonblocking) {
        // None of O_APPEND, O_DIRECT and O_NOATIME is ever asked for, so the status flags can
        // be set whole, without reading them first.
        fcntl(file.fd, F_SETFL, 0);
        file.nonblocking = false;
    }
    return file.fd;
}

bool flush_writes(OpenFile& file) {
    if (file.write_length > 0) {
        if (!write_all(descriptor_for_io(file), file.buffer.get(), file.write_length)) {
            file.failed = true;
        }
        file.write_length = 0;
    }
    return !file.failed;
}

// Gives back the bytes read ahead, so that the kernel's position is the logical one again.
void drop_read_ahead(OpenFile& file) {
    if (file.read_end > file.read_pos) {
        lseek(file.fd, -static_cast<off_t>(file.read_end - file.read_pos), SEEK_CUR);
    }
    file.read_pos = file.read_end = 0;
}

bool close_entry(OpenFile& file) {
    bool ok = flush_writes(file);
    if (::close(file.fd) != 0 && errno != EINTR) {
        ok = false;
    }
    file = OpenFile{};
    return ok;
}

// Opens name under number with the given flags; keeps the descriptor only when accept says so.
bool open_entry_with(int number, const std::string& name, int flags, bool must_be_regular) {
    if (number < 0 || number >= kFileNumbers || name.empty()) {
        return false;
    }
    if (table[number].fd >= 0) {
        close_entry(table[number]);
    }
    // Non-blocking open: a FIFO without a writer must not hold the program.
    int fd = ::open(name.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || (must_be_regular && !S_ISREG(status.st_mode))) {
        ::close(fd);
        return false;
    }
    OpenFile& file = table[number];
    file.fd = fd;
    file.nonblocking = true;
    file.writable = (flags & O_ACCMODE) != O_RDONLY;
    file.replaced = (flags & O_TRUNC) != 0;
    file.regular = S_ISREG(status.st_mode);
    file.device = status.st_dev;
    file.inode = status.st_ino;
    file.opened_length = status.st_size;
    file.name = name;
    // Not zero-filled: only bytes read or written are ever taken from it, and clearing 64 KiB
    // at each open was most of blockbind's work on many small inputs.
    file.buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
    return true;
}

}  // namespace

std::int64_t file_size(const std::string& name) {
    if (name.empty()) {
        return -1;
    }
    struct stat status {};
    if (::stat(name.c_str(), &status) != 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? -1 : -3;
    }
    if (!S_ISREG(status.st_mode)) {
        return -2;
    }
    return status.st_size;
}

bool create_file(int number, const std::string& name) {
    std::lock_guard guard(table_lock);
    return open_entry_with(number, name, O_RDWR | O_CREAT | O_TRUNC, false) ||
           open_entry_with(number, name, O_WRONLY | O_CREAT | O_TRUNC, false);
}

bool open_file(int number, const std::string& name) {
    std::lock_guard guard(table_lock);
    return open_entry_with(number, name, O_RDWR | O_CREAT, true);
}

bool open_existing_file(int number, const std::string& name) {
    std::lock_guard guard(table_lock);
    return open_entry_with(number, name, O_RDWR, true);
}

bool open_file_for_reading(int number, const std::string& name) {
    std::lock_guard guard(table_lock);
    return open_entry_with(number, name, O_RDONLY, true);
}

std::int64_t file_length(int number) {
    std::lock_guard guard(table_lock);
    OpenFile* file = open_entry(number);
    if (file == nullptr) {
        return -1;
    }
    flush_writes(*file);
    struct stat status {};
    return fstat(file->fd, &status) == 0 ? status.st_size : -1;
}

std::int64_t read_data(int number, void* memory, std::int64_t count) {
    std::lock_guard guard(table_lock);
    OpenFile* file = open_entry(number);
    if (file == nullptr || memory == nullptr || count <= 0) {
        return 0;
    }
    flush_writes(*file);
    auto* target = static_cast<std::uint8_t*>(memory);
    std::int64_t moved = 0;
    while (moved < count) {
        if (file->read_pos < file->read_end) {
            std::size_t take = std::min<std::size_t>(file->read_end - file->read_pos,
                                                     static_cast<std::size_t>(count - moved));
            std::memcpy(target + moved, file->buffer.get() + file->read_pos, take);
            file->read_pos += take;
            moved += static_cast<std::int64_t>(take);
            continue;
        }
        std::size_t wanted = static_cast<std::size_t>(count - moved);
        if (wanted >= kBufferSize) {
            // Large reads go straight to the caller's memory.
            ssize_t got = read_some(descriptor_for_io(*file), target + moved, wanted);
            if (got <= 0) {
                break;
            }
            moved += got;
        } else {
            ssize_t got = read_some(descriptor_for_io(*file), file->buffer.get(), kBufferSize);
            if (got <= 0) {
                break;
            }
            file->read_pos = 0;
            file->read_end = static_cast<std::size_t>(got);
        }
    }
    return moved;
}

std::int64_t write_data(int number, const void* memory, std::int64_t count) {
    std::lock_guard guard(table_lock);
    OpenFile* file = open_entry(number);
    if (file == nullptr || memory == nullptr || count <= 0 || !file->writable || file->failed) {
        return 0;
    }
    drop_read_ahead(*file);
    const auto* source = static_cast<const std::uint8_t*>(memory);
    std::size_t length = static_cast<std::size_t>(count);
    if (file->write_length + length > kBufferSize && !flush_writes(*file)) {
        return 0;
    }
    if (length >= kBufferSize) {
        if (!write_all(descriptor_for_io(*file), source, length)) {
            file->failed = true;
            return 0;
        }
        return count;
    }
    std::memcpy(file->buffer.get() + file->write_length, source, length);
    file->write_length += length;
    return count;
}

int read_byte(int number) {
    std::uint8_t byte = 0;
    read_data(number, &byte, 1);
    return byte;
}

std::uint32_t read_long(int number) {
    std::uint8_t bytes[4] = {0, 0, 0, 0};
    read_data(number, bytes, 4);
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

namespace {

bool write_little_endian(int number, std::uint32_t value, int count) {
    std::uint8_t bytes[4];
    for (int i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
    return write_data(number, bytes, count) == count;
}

}  // namespace

bool write_byte(int number, std::uint32_t value) {
    return write_little_endian(number, value, 1);
}
bool write_word(int number, std::uint32_t value) {
    return write_little_endian(number, value, 2);
}
bool write_long(int number, std::uint32_t value) {
    return write_little_endian(number, value, 4);
}

bool truncate_file(int number, std::int64_t length) {
    std::lock_guard guard(table_lock);
    OpenFile* file = open_entry(number);
    if (file == nullptr || !file->writable || length < 0) {
        return false;
    }
    flush_writes(*file);
    drop_read_ahead(*file);
    return ftruncate(file->fd, length) == 0;
}

bool close_file(int number) {
    std::lock_guard guard(table_lock);
    OpenFile* file = open_entry(number);
    return file == nullptr || close_entry(*file);
}

bool close_all_files() {
    std::lock_guard guard(table_lock);
    bool ok = true;
    for (OpenFile& file : table) {
        if (file.fd >= 0) {
            ok = close_entry(file) && ok;
        }
    }
    return ok;
}

namespace {

// Removes the file that was open as closed, if this run made it and its name still names it.
bool remove_replaced(const OpenFile& closed) {
    if (!closed.replaced || !closed.regular) {
        return false;
    }
    // lstat, not stat: a name that is now a link, or names another file, is left alone.
    struct stat status {};
    if (::lstat(closed.name.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_dev != closed.device || status.st_ino != closed.inode) {
        return false;
    }
    return ::unlink(closed.name.c_str()) == 0;
}

// Takes the entry out of the table, which is then free again; the caller closes its descriptor.
OpenFile take_entry(OpenFile& file) {
    OpenFile taken = std::move(file);
    file = OpenFile{};
    return taken;
}

// Closes an incomplete output and removes it. A file this run made or truncated that cannot be
// removed (a link leads to it) is emptied while still open, so that no part of it stays behind.
bool discard_taken(const OpenFile& taken) {
    if (taken.replaced && taken.regular) {
        ftruncate(taken.fd, 0);
    }
    ::close(taken.fd);
    return remove_replaced(taken);
}

}  // namespace

bool discard_file(int number) {
    std::lock_guard guard(table_lock);
    OpenFile* file = open_entry(number);
    return file != nullptr && discard_taken(take_entry(*file));
}

bool finish_output(int number) {
    std::lock_guard guard(table_lock);
    OpenFile* file = open_entry(number);
    if (file == nullptr) {
        return true;
    }
    bool flushed = flush_writes(*file);
    OpenFile taken = take_entry(*file);
    if (!flushed) {
        discard_taken(taken);
        return false;
    }
    if (::close(taken.fd) != 0 && errno != EINTR) {
        remove_replaced(taken);
        return false;
    }
    return true;
}

std::optional<FileIdentity> file_identity(const std::string& name) {
    struct stat status {};
    if (name.empty() || ::stat(name.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

bool same_file(const std::string& first, const std::string& second) {
    std::optional<FileIdentity> identity = file_identity(first);
    return identity.has_value() && identity == file_identity(second);
}

std::optional<FileIdentity> open_file_identity(int number) {
    std::lock_guard guard(table_lock);
    OpenFile* file = open_entry(number);
    if (file == nullptr) {
        return std::nullopt;
    }
    return FileIdentity{file->device, file->inode};
}

std::int64_t opened_length(int number) {
    std::lock_guard guard(table_lock);
    OpenFile* file = open_entry(number);
    return file == nullptr ? -1 : file->opened_length;
}

void flush_all_files_for_exit() {
    // The main thread is stuck in a write that does not end: nothing more can reach that file,
    // and flushing the others behind its back is unsafe. The process ends without the flush.
    if (!table_lock.try_lock_for(kExitFlushWait)) {
        return;
    }
    // The lock is never given back: the process ends right after, and the main thread must not
    // write anything more behind the flushed data.
    for (OpenFile& file : table) {
        if (file.fd >= 0) {
            flush_writes(file);
            ::close(file.fd);
            file.fd = -1;
        }
    }
}

}  // namespace platform
