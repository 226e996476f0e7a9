#include "trace/LogFile.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/File.h"
#include "platform/MessageBox.h"
#include "tracefile/RawRecord.h"
#include "trace/TraceLog.h"

namespace trace {

std::int64_t CLogFile::GetLength() const {
    if (IsOpen()) return platform::FileSize(m_fd.Get());
    std::error_code ec;
    const auto size = std::filesystem::file_size(m_path, ec);
    return ec ? -1 : static_cast<std::int64_t>(size);
}

std::string TraceLogFileName(unsigned number) {
    char name[32];
    std::snprintf(name, sizeof name, "trc%04u.log", number);
    return name;
}

int CreateTraceLogFile(std::unique_ptr<CLogFile>& file, CTraceLog& log, const std::filesystem::path& dir) {
    file = std::make_unique<CLogFile>();
    const std::filesystem::path base = dir.empty() ? std::filesystem::path(".") : dir;

    std::error_code ec;
    const std::filesystem::path absoluteBase = std::filesystem::absolute(base, ec).lexically_normal();
    for (unsigned number = 0;; ++number) {
        const std::filesystem::path path = (ec ? base : absoluteBase) / TraceLogFileName(number);
        if (platform::NameIsTaken(path)) continue;

        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        const auto header = tracefile::BuildFileHeader(local);

        int error = 0;
        platform::UniqueFd fd = platform::CreateExclusiveWriter(path, &error);
        if (!fd && (error == EEXIST || error == EWOULDBLOCK)) continue;  // another process won the name
        if (fd) error = platform::WriteAll(fd.Get(), header);
        if (!fd || error != 0) {
            if (fd) std::filesystem::remove(path, ec);
            *file = CLogFile(path, platform::UniqueFd(), error);
            platform::MessageBox("Error opening trace log file");
            return 0;
        }
        *file = CLogFile(path, std::move(fd));
        log.SetLogFile(file.get());
        return 1;
    }
}

}  // namespace trace
