#include "tools/CaptureRing.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <unistd.h>

#include "platform/File.h"
#include "trace/TraceDate.h"

namespace tools {
namespace {

template <class T>
bool ParseNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool ParseSeconds(std::string_view text, double& value) {
    return ParseNumber(text, value) && std::isfinite(value) && value > 0 && value <= kMaxCaptureSeconds;
}

std::string TakeRingOption(std::string_view text, RingOptions& options) {
    const std::size_t colon = text.find(':');
    const std::string_view key = text.substr(0, colon);
    const std::string_view value = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    if (key == "filesize") {
        std::uint64_t kb = 0;
        if (!ParseNumber(value, kb) || kb == 0 || kb > 2'000'000'000)
            return "-b filesize needs a size in KB, 1 to 2000000000";
        options.fileSizeKB = kb;
    } else if (key == "duration") {
        double seconds = 0;
        if (!ParseSeconds(value, seconds))
            return "-b duration needs a number of seconds, at most a year";
        options.durationSeconds = seconds;
    } else if (key == "files") {
        int n = 0;
        if (!ParseNumber(value, n) || n < 1 || n > 100'000) return "-b files needs a number of files, 1 to 100000";
        options.files = n;
    } else {
        return "-b takes filesize:KB, duration:S or files:N";
    }
    return {};
}

CaptureRing::CaptureRing(std::filesystem::path base, trace::StreamFormat format, RingOptions options)
    : m_base(std::move(base)), m_format(format), m_options(options) {}

std::filesystem::path CaptureRing::FileName(const std::filesystem::path& base, trace::StreamFormat format, int n,
                                            std::time_t begun) {
    std::tm local{};
    ::localtime_r(&begun, &local);
    char middle[96];
    std::snprintf(middle, sizeof middle, "_%05d_%04d%02d%02d%02d%02d%02d", n, local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    // FILE's own extension when it has one, else the format's.
    const std::string extension =
        base.has_extension() ? base.extension().string() : std::string(trace::StreamExtension(format));
    std::filesystem::path name = base;
    name.replace_filename(base.stem().string() + middle + extension);
    return name;
}

bool CaptureRing::Full(std::size_t next) const {
    if (m_recordsInFile == 0) return false;  // a record bigger than the limit still gets a file of its own
    if (m_options.fileSizeKB && m_stream->BytesWritten() + next > *m_options.fileSizeKB * 1000) return true;
    if (m_options.durationSeconds &&
        std::chrono::steady_clock::now() - m_begun >= std::chrono::duration<double>(*m_options.durationSeconds))
        return true;
    return false;
}

int CaptureRing::BeginFile() {
    const std::time_t now = std::time(nullptr);
    const std::filesystem::path name = FileName(m_base, m_format, ++m_number, now);
    int error = 0;
    // Never replaces a file: a name that is taken is a failure to report.
    platform::UniqueFd fd = platform::CreateExclusiveWriter(name, &error);
    if (!fd) {
        m_failedFile = name;
        return error;
    }
    m_stream.reset();
    m_fd = std::move(fd);
    m_stream.emplace(m_fd.Get(), m_format, trace::LocalTraceDate(now));
    m_files.push_back(name);
    m_begun = std::chrono::steady_clock::now();
    m_recordsInFile = 0;
    if (const int begin = m_stream->Begin()) {
        m_failedFile = name;
        return begin;
    }
    // The file just begun is complete already, so the oldest may go.
    if (m_options.files && m_files.size() > static_cast<std::size_t>(*m_options.files)) {
        std::error_code ignored;
        std::filesystem::remove(m_files.front(), ignored);
        m_files.pop_front();
    }
    return 0;
}

int CaptureRing::Add(const trace::CTraceRecord& record) {
    if (m_error != 0) return m_error;
    const std::size_t size = m_stream ? m_stream->SizeOf(record) : 0;
    if (!m_stream || Full(size)) m_error = BeginFile();
    if (m_error == 0) {
        const long long before = m_stream->RecordsWritten();
        m_error = m_stream->Add(record);
        if (m_error != 0) {
            // A record cut short by a full disk is taken back: the file ends
            // on the last whole record and still opens.
            m_failedFile = m_files.back();
            if (::ftruncate(m_fd.Get(), static_cast<off_t>(m_stream->BytesWritten())) != 0) {
                // Nothing more to do: the failure is reported either way.
            }
        }
        if (m_stream->RecordsWritten() > before) {
            ++m_records;
            ++m_recordsInFile;
        }
    }
    return m_error;
}

}  // namespace tools
