#pragma once
// A folder of the benchmark process's own for the files it generates,
// removed with everything in it when the object goes.

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace bench {

class TempFolder {
public:
    // <temporary folder>/<prefix>-<process id>
    explicit TempFolder(const std::string& prefix)
        : m_dir(std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(m_dir);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    const std::filesystem::path& Path() const { return m_dir; }

private:
    std::filesystem::path m_dir;
};

}  // namespace bench
