#pragma once
// Files as the trace application uses them. "Deny other writers" is an
// advisory exclusive flock() held by the writer; readers take no lock.
// Functions that can fail return the errno value (0 on success).

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>
#include <sys/types.h>

#include "platform/UniqueFd.h"

namespace platform {

// open(2) with O_CLOEXEC whose descriptor is never 0, 1 or 2: a standard
// stream the process was started without keeps its meaning. -1 and errno on
// failure. Every file the project opens goes through it.
int OpenAboveStandardStreams(const char* path, int flags, mode_t mode = 0);

// Opens an existing file read-only. Returns an empty fd and sets *error.
UniqueFd OpenForReading(const std::filesystem::path& path, int* error = nullptr);

// Creates a new file for writing (fails with EEXIST if the name exists) and
// takes the writer's lock, so no other process that honours it writes too.
UniqueFd CreateExclusiveWriter(const std::filesystem::path& path, int* error = nullptr);

// True when the name exists in any form (a file another process holds open
// or locked exists too): such a name is not free for a new file.
bool NameIsTaken(const std::filesystem::path& path);

// Writes all bytes, retrying short writes and EINTR. Returns 0 or errno.
int WriteAll(int fd, std::span<const std::uint8_t> bytes);

// WriteAll for an output that may stop taking bytes (a full pipe whose
// reader does not read, a stopped terminal): while it waits, and every
// kGiveUpCheckMs while the bytes trickle out, giveUp is asked whether to
// stop waiting; when it says yes the write ends with ECANCELED, and what
// went out before stays written. Regular files are written as WriteAll does.
inline constexpr int kGiveUpCheckMs = 100;
// *written (when given) says how many octets went out.
int WriteAllUnless(int fd, std::span<const std::uint8_t> bytes, const std::function<bool()>& giveUp,
                   std::size_t* written = nullptr);

// Reads until n bytes or end of file; returns the count read (short only at
// end of file or on an error, which is left in *error).
std::size_t ReadUpTo(int fd, std::uint8_t* buffer, std::size_t n, int* error = nullptr);

// Reads a file sequentially through a 64 KiB buffer, so a load costs one
// system call per buffer rather than one per field. Does not own the fd.
class BufferedReader {
public:
    explicit BufferedReader(int fd) : m_fd(fd) {}
    // Copies up to n bytes; fewer only at the end of the file.
    std::size_t Read(std::uint8_t* out, std::size_t n);

private:
    int m_fd;
    std::array<std::uint8_t, 1 << 16> m_buffer{};
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
};

// Opens a regular file of at most maxSize bytes for reading, for a reader
// that takes it in pieces. Never blocks on a special file: the name is opened
// non-blocking and anything but a regular file (a folder, a FIFO, a device)
// is refused before a byte is read. An empty fd when the file cannot be
// read, with the reason in *problem, as ReadRegularFile gives it.
UniqueFd OpenRegularFile(const std::filesystem::path& path, std::int64_t maxSize, std::string* problem = nullptr);

// The whole content of a regular file of at most maxSize bytes. Never blocks
// on a special file: the name is opened non-blocking and anything but a
// regular file (a folder, a FIFO, a device) is refused before a byte is read.
// nullopt when the file cannot be read, with the reason in *problem ("No
// such file or directory", "it is a folder", ...).
std::optional<std::vector<std::uint8_t>> ReadRegularFile(const std::filesystem::path& path, std::int64_t maxSize,
                                                         std::string* problem = nullptr);

// Copies the whole of a file to an open descriptor. Returns 0 or errno.
int CopyFileInto(const std::filesystem::path& from, int out);

// Size of an open file, or -1.
std::int64_t FileSize(int fd);

// Moves a file. With kKeepExisting an existing target makes it fail with
// EEXIST; with kReplaceExisting (the user agreed) the target is replaced in
// one step. Across file systems it copies, syncs and then removes the source;
// a failed copy removes the partial copy and leaves both files as they were.
enum class MoveMode { kKeepExisting, kReplaceExisting };
int MoveFile(const std::filesystem::path& from, const std::filesystem::path& to, MoveMode mode);
inline int MoveFileNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFile(from, to, MoveMode::kKeepExisting);
}

// The system's text for an errno value.
std::string ErrorText(int error);

}  // namespace platform
