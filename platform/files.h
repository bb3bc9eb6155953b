// Files named by small numbers, buffered, as the programs use them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// File numbers 0 .. kFileNumbers - 1 are valid; any other number fails every operation.
inline constexpr int kFileNumbers = 8;

// Size of a named file without opening it. -1: no such file (a dangling link included) or an
// empty name. -2: a folder or anything else that is not a regular file (FIFO, device, socket).
// -3: the name cannot be examined (no permission on a folder on the way, name too long, ...).
std::int64_t file_size(const std::string& name);

// Creates the file empty for reading and writing, replacing an existing file of that name (an
// existing file is truncated); position 0. A device such as /dev/full may be opened this way
// too. Opening under a number that holds an open file first closes it. False on failure.
bool create_file(int number, const std::string& name);

// Opens a regular file for reading and writing at position 0 without truncation, creating it
// empty when it does not exist. False when it cannot be opened (read-only, a folder, not a
// regular file).
bool open_file(int number, const std::string& name);

// Opens an existing regular file for reading and writing at position 0 without truncation.
// Never creates, never blocks on a FIFO. False on failure (missing, read-only, no permission,
// not a regular file).
bool open_existing_file(int number, const std::string& name);

// Opens an existing regular file for reading only at position 0. Never creates, never blocks
// on a FIFO. False on failure (missing, not a regular file, no permission).
bool open_file_for_reading(int number, const std::string& name);

// Length of the open file, pending writes flushed first; -1 when the number is not open.
std::int64_t file_length(int number);

// Move up to count bytes at the current position; the count moved. 0 for absent memory, a
// count of 0 or less, or a number that is not open. read_data reads until count or end of file.
std::int64_t read_data(int number, void* memory, std::int64_t count);
std::int64_t write_data(int number, const void* memory, std::int64_t count);

// 0..255; 0 when nothing can be read.
int read_byte(int number);

// 32-bit little-endian value; bytes that cannot be read count as 0.
std::uint32_t read_long(int number);

// Write the low 8, 16 or 32 bits, low byte first. False when the bytes could not be written
// (the file is not open for writing, or an earlier write of it failed).
bool write_byte(int number, std::uint32_t value);
bool write_word(int number, std::uint32_t value);
bool write_long(int number, std::uint32_t value);

// Sets the length of the open file (pending writes flushed first). False on failure.
bool truncate_file(int number, std::int64_t length);

// Flushes and closes. True when every write to the file since it was opened succeeded, the
// flush included; also true when the number is not open.
bool close_file(int number);

// close_file for every open file. True when all of them succeeded.
bool close_all_files();

// Closes the file and removes it, but only when this run created or truncated it with
// create_file, it is a regular file, and its name still names that very file (never a device,
// never through a symbolic link). Such a file that cannot be removed because a link leads to it
// is emptied instead. True when it was removed.
bool discard_file(int number);

// Ends an output: flushes and closes it; when any write to it or the flush failed, discards it
// as discard_file does, and when only the close failed, removes it as discard_file would.
// True when the file is complete on disk (also when the number is not open).
bool finish_output(int number);

// True when both names name the same existing file (same device and inode).
bool same_file(const std::string& first, const std::string& second);

// What tells one file from another: two names or open files with the same identity are the
// same file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file a name gives (symbolic links followed); nothing when there is no
// such file or it cannot be examined.
std::optional<FileIdentity> file_identity(const std::string& name);

// The identity of the open file, as it was opened; nothing when the number is not open.
std::optional<FileIdentity> open_file_identity(int number);

// The length the open file had when it was opened; -1 when the number is not open. Unlike
// file_length it asks the system nothing, which is what a check of many inputs wants.
std::int64_t opened_length(int number);

// Used by the console-close handling: flushes and closes every open file from another thread.
// Safe against the main thread's file operations: waits up to 2 seconds for one in progress to
// end, and flushes nothing when it does not (a write to a FIFO that nobody reads), so that the
// process can still end.
void flush_all_files_for_exit();

}  // namespace platform
