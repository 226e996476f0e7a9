#pragma once
// The trace log file of an adapter document: created under the first free
// name trc0000.log, trc0001.log, ... in the current directory, its 52-byte
// header written at once, then held open for writing (with the writer's lock
// that keeps other writers out) while the adapter library appends records
// through the same descriptor. Owned by the document; user-interface thread.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/UniqueFd.h"

namespace trace {

class CTraceLog;

class CLogFile {
public:
    CLogFile() = default;
    CLogFile(std::filesystem::path path, platform::UniqueFd fd, int openError = 0)
        : m_path(std::move(path)), m_fd(std::move(fd)), m_openError(openError) {}

    bool IsOpen() const { return static_cast<bool>(m_fd); }
    int GetFd() const { return m_fd.Get(); }
    const std::filesystem::path& GetFilePath() const { return m_path; }
    std::int64_t GetLength() const;
    void Close() { m_fd.Reset(); }
    // Why the file could not be made (an errno value); 0 when it was.
    int GetOpenError() const { return m_openError; }

private:
    std::filesystem::path m_path;
    platform::UniqueFd m_fd;
    int m_openError = 0;
};

// The name for a number: "trc" + "%04d" + ".log".
std::string TraceLogFileName(unsigned number);

// Creates the next free trace log file in dir and writes its header. The file
// object is always made and stored in `file`; on success the CTraceLog gets
// its reference and the result is 1. On failure: "Error opening trace log
// file" and 0. A name counts as taken when it exists in any form or another
// process holds it locked, and creation itself never replaces a file that
// appeared meanwhile: the search simply moves on.
int CreateTraceLogFile(std::unique_ptr<CLogFile>& file, CTraceLog& log,
                       const std::filesystem::path& dir = {});

}  // namespace trace
