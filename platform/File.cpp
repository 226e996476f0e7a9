#include "platform/File.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

void UniqueFd::Reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

namespace {

void SetError(int* error, int value) {
    if (error) *error = value;
}

}  // namespace

int OpenAboveStandardStreams(const char* path, int flags, mode_t mode) {
    const int fd = ::open(path, flags | O_CLOEXEC, mode);
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    // A closed standard stream would lend its number to the file; 0 then
    // means "no capture file" to the record writer, and a stray printf would
    // land in the trace. Move it up and leave the low number closed.
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = errno;
    ::close(fd);
    errno = error;
    return moved;
}

UniqueFd OpenForReading(const std::filesystem::path& path, int* error) {
    UniqueFd fd(OpenAboveStandardStreams(path.c_str(), O_RDONLY));
    SetError(error, fd ? 0 : errno);
    return fd;
}

UniqueFd CreateExclusiveWriter(const std::filesystem::path& path, int* error) {
    UniqueFd fd(OpenAboveStandardStreams(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644));
    if (!fd) {
        SetError(error, errno);
        return fd;
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        // Someone locked the name between our create and our lock: treat as taken.
        SetError(error, errno);
        ::unlink(path.c_str());
        return UniqueFd();
    }
    SetError(error, 0);
    return fd;
}

bool NameIsTaken(const std::filesystem::path& path) {
    struct stat st {};
    // Any failure to look (normally: no such file) leaves the name to the
    // creation, which then reports a directory we may not write to.
    return ::lstat(path.c_str(), &st) == 0;
}

int WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int WriteAllUnless(int fd, std::span<const std::uint8_t> bytes, const std::function<bool()>& giveUp,
                   std::size_t* written) {
    std::size_t done = 0;
    const auto result = [&](int error) {
        if (written) *written = done;
        return error;
    };
    struct stat st {};
    if (!giveUp || (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))) {
        const int error = WriteAll(fd, bytes);
        if (error == 0) done = bytes.size();
        return result(error);
    }
    using Clock = std::chrono::steady_clock;
    auto nextCheck = Clock::now() + std::chrono::milliseconds(kGiveUpCheckMs);
    while (done < bytes.size()) {
        pollfd out{fd, POLLOUT, 0};
        const int ready = ::poll(&out, 1, kGiveUpCheckMs);
        if (ready < 0 && errno != EINTR) return result(errno);
        if (ready > 0) {
            // Room for PIPE_BUF octets at least: a write of no more than that
            // does not block.
            const ssize_t n = ::write(fd, bytes.data() + done, std::min<std::size_t>(bytes.size() - done, PIPE_BUF));
            if (n < 0 && errno != EINTR && errno != EAGAIN) return result(errno);
            if (n > 0) done += static_cast<std::size_t>(n);
        }
        if (done < bytes.size() && (ready == 0 || Clock::now() >= nextCheck)) {
            if (giveUp()) return result(ECANCELED);
            nextCheck = Clock::now() + std::chrono::milliseconds(kGiveUpCheckMs);
        }
    }
    return result(0);
}

std::size_t ReadUpTo(int fd, std::uint8_t* buffer, std::size_t n, int* error) {
    std::size_t done = 0;
    SetError(error, 0);
    while (done < n) {
        const ssize_t got = ::read(fd, buffer + done, n - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            SetError(error, errno);
            break;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::size_t BufferedReader::Read(std::uint8_t* out, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        if (m_pos == m_end) {
            m_pos = 0;
            m_end = ReadUpTo(m_fd, m_buffer.data(), m_buffer.size());
            if (m_end == 0) break;
        }
        const std::size_t take = std::min(n - done, m_end - m_pos);
        std::memcpy(out + done, m_buffer.data() + m_pos, take);
        m_pos += take;
        done += take;
    }
    return done;
}

UniqueFd OpenRegularFile(const std::filesystem::path& path, std::int64_t maxSize, std::string* problem) {
    const auto fail = [problem](std::string why) {
        if (problem) *problem = std::move(why);
        return UniqueFd();
    };
    // Non-blocking, so that opening a FIFO with no writer returns at once.
    UniqueFd fd(OpenAboveStandardStreams(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY));
    if (!fd) return fail(ErrorText(errno));
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return fail(ErrorText(errno));
    if (S_ISDIR(st.st_mode)) return fail("it is a folder");
    if (!S_ISREG(st.st_mode)) return fail("it is not a regular file");
    if (st.st_size > maxSize) return fail("it is larger than " + std::to_string(maxSize) + " bytes");
    return fd;
}

std::optional<std::vector<std::uint8_t>> ReadRegularFile(const std::filesystem::path& path, std::int64_t maxSize,
                                                         std::string* problem) {
    const UniqueFd fd = OpenRegularFile(path, maxSize, problem);
    if (!fd) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<std::int64_t>(FileSize(fd.Get()), 0)));
    int error = 0;
    bytes.resize(ReadUpTo(fd.Get(), bytes.data(), bytes.size(), &error));
    if (error != 0) {
        if (problem) *problem = ErrorText(error);
        return std::nullopt;
    }
    return bytes;
}

std::int64_t FileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return -1;
    return st.st_size;
}

int CopyFileInto(const std::filesystem::path& from, int out) {
    int error = 0;
    UniqueFd in = OpenForReading(from, &error);
    if (!in) return error;
    std::vector<std::uint8_t> buffer(1 << 16);
    for (;;) {
        const std::size_t got = ReadUpTo(in.Get(), buffer.data(), buffer.size(), &error);
        if (error == 0 && got > 0) error = WriteAll(out, {buffer.data(), got});
        if (error != 0 || got < buffer.size()) break;
    }
    return error;
}

namespace {

// Copies from into a new file at to (which must not exist), synced to disk.
int CopyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    UniqueFd out(OpenAboveStandardStreams(to.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644));
    if (!out) return errno;
    int error = CopyFileInto(from, out.Get());
    if (error == 0 && ::fsync(out.Get()) != 0) error = errno;
    out.Reset();
    if (error != 0) ::unlink(to.c_str());
    return error;
}

}  // namespace

int MoveFile(const std::filesystem::path& from, const std::filesystem::path& to, MoveMode mode) {
    if (mode == MoveMode::kKeepExisting) {
        if (NameIsTaken(to)) return EEXIST;
        if (::link(from.c_str(), to.c_str()) == 0) {  // atomic, and never replaces
            ::unlink(from.c_str());
            return 0;
        }
        if (errno != EXDEV && errno != EPERM && errno != ENOTSUP) return errno;
        const int error = CopyToNewFile(from, to);
        if (error == 0) ::unlink(from.c_str());
        return error;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return 0;
    if (errno != EXDEV) return errno;
    // Another file system: copy beside the target, then replace it in one step.
    std::filesystem::path temporary = to;
    temporary += ".partial";
    ::unlink(temporary.c_str());
    int error = CopyToNewFile(from, temporary);
    if (error == 0 && ::rename(temporary.c_str(), to.c_str()) != 0) {
        error = errno;
        ::unlink(temporary.c_str());
    }
    if (error == 0) ::unlink(from.c_str());
    return error;
}

std::string ErrorText(int error) { return std::strerror(error); }

}  // namespace platform
