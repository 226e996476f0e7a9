#pragma once
// One in-memory file per fuzzing process, rewritten for every input and
// opened by the loaders through its /proc name: a file on disk would be
// flushed on every rewrite, and libwiretap reads only files by name.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// Holds exactly the input's bytes; answers the name to open it by.
inline const std::filesystem::path& ScratchFile(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("marlo-fuzz", 0);
    static const std::filesystem::path path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ::ftruncate(fd, 0) != 0) std::abort();
    if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    return path;
}

}  // namespace fuzz
