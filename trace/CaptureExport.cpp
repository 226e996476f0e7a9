#include "trace/CaptureExport.h"

#include "platform/MessageBox.h"
#include "trace/UiServices.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/File.h"
#include "trace/TraceLog.h"

namespace trace {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSnapLength = 65535;
constexpr std::string_view kUserApplication = "MarloTrc";
constexpr std::size_t kFlushAt = 1 << 16;

// Capture files are written little-endian, the pcap magic's native order on
// the machines this runs on; readers take either.
wire::Appender Le(Bytes& b) { return {b, wire::ByteOrder::Little}; }
wire::Appender Be(Bytes& b) { return {b, wire::ByteOrder::Big}; }
void PadTo4(Bytes& b, std::size_t from) {
    while ((b.size() - from) % 4 != 0) b.push_back(0);
}
// Patches a pcapng block's two length fields once its body is complete.
void CloseBlock(Bytes& b, std::size_t start) {
    const auto length = static_cast<std::uint32_t>(b.size() - start + 4);
    Le(b).U32(length);
    wire::LittleOut(b).U32(start + 4, length);
}
std::size_t OpenBlock(Bytes& b, std::uint32_t type) {
    const std::size_t start = b.size();
    Le(b).U32(type);
    Le(b).U32(0);  // total length, patched by CloseBlock
    return start;
}

int Flush(int fd, Bytes& buffer) {
    const int error = platform::WriteAll(fd, buffer);
    buffer.clear();
    return error;
}

}  // namespace

CaptureWriter::CaptureWriter(tracefile::CaptureFormat format, Bytes& out, bool withHeader) : m_format(format), m_out(out) {
    if (!withHeader) return;
    if (m_format == tracefile::CaptureFormat::Pcap) {
        Le(m_out).U32(tracefile::kPcapMagicMicro);
        Le(m_out).U16(2);  // version 2.4
        Le(m_out).U16(4);
        Le(m_out).U32(0);  // time zone offset: stamps are UTC
        Le(m_out).U32(0);  // accuracy
        Le(m_out).U32(kSnapLength);
        Le(m_out).U32(tracefile::kLinkTypeLinuxLapd);
        return;
    }
    std::size_t start = OpenBlock(m_out, tracefile::kBlockSectionHeader);
    Le(m_out).U32(tracefile::kByteOrderMagic);
    Le(m_out).U16(1);  // version 1.0
    Le(m_out).U16(0);
    Le(m_out).U32(0xFFFFFFFF);  // section length not given
    Le(m_out).U32(0xFFFFFFFF);
    Le(m_out).U16(tracefile::kOptShbUserAppl);
    Le(m_out).U16(static_cast<std::uint16_t>(kUserApplication.size()));
    const std::size_t value = m_out.size();
    m_out.insert(m_out.end(), kUserApplication.begin(), kUserApplication.end());
    PadTo4(m_out, value);
    Le(m_out).U32(tracefile::kOptEnd);
    CloseBlock(m_out, start);

    // One interface; its time stamps keep the default resolution, microseconds.
    start = OpenBlock(m_out, tracefile::kBlockInterface);
    Le(m_out).U16(tracefile::kLinkTypeLapd);
    Le(m_out).U16(0);
    Le(m_out).U32(kSnapLength);
    CloseBlock(m_out, start);
}

void CaptureWriter::AddFrame(const RecordClock::Stamp& stamp, tracefile::FrameSide side, std::span<const std::uint8_t> frame) {
    const bool fromNetwork = side == tracefile::FrameSide::Network;
    const auto length = static_cast<std::uint32_t>(frame.size());
    if (m_format == tracefile::CaptureFormat::Pcap) {
        Le(m_out).U32(static_cast<std::uint32_t>(stamp.seconds));
        Le(m_out).U32(stamp.microseconds);
        Le(m_out).U32(length + static_cast<std::uint32_t>(tracefile::kLapdPseudoHeaderSize));
        Le(m_out).U32(length + static_cast<std::uint32_t>(tracefile::kLapdPseudoHeaderSize));
        Be(m_out).U16(fromNetwork ? tracefile::kPacketReceived : tracefile::kPacketSent);
        Be(m_out).U16(tracefile::kHardwareTypeLapd);
        Be(m_out).U16(1);                        // address length: the side octet
        m_out.insert(m_out.end(), 8, std::uint8_t{0});  // address octet 0 = 0: we are the user side
        Be(m_out).U16(tracefile::kProtocolLapd);
        m_out.insert(m_out.end(), frame.begin(), frame.end());
        return;
    }
    const std::size_t start = OpenBlock(m_out, tracefile::kBlockEnhancedPacket);
    const auto units = static_cast<std::uint64_t>(stamp.seconds) * 1000000 + stamp.microseconds;
    Le(m_out).U32(0);  // interface 0
    Le(m_out).U32(static_cast<std::uint32_t>(units >> 32));
    Le(m_out).U32(static_cast<std::uint32_t>(units));
    Le(m_out).U32(length);
    Le(m_out).U32(length);
    const std::size_t data = m_out.size();
    m_out.insert(m_out.end(), frame.begin(), frame.end());
    PadTo4(m_out, data);
    if (side != tracefile::FrameSide::Unknown) {
        Le(m_out).U16(tracefile::kOptPacketFlags);
        Le(m_out).U16(4);
        Le(m_out).U32(fromNetwork ? tracefile::kFlagsInbound : tracefile::kFlagsOutbound);
        Le(m_out).U32(tracefile::kOptEnd);
    }
    CloseBlock(m_out, start);
}

tracefile::FrameSide SideOfRecord(const CTraceRecord& record) {
    if (record.IsSideUnknown()) return tracefile::FrameSide::Unknown;
    return record.IsFromNetworkSide() ? tracefile::FrameSide::Network : tracefile::FrameSide::User;
}

TraceDate ExportDate(const CTraceLog& log, std::string* note) {
    if (log.GetTraceDate()) return *log.GetTraceDate();
    bool invalid = log.HasInvalidBannerDate();
    const std::string path = log.GetLogPath();
    if (!path.empty()) {
        if (platform::UniqueFd fd = platform::OpenForReading(path)) {
            std::uint8_t header[tracefile::kFileHeaderSize];
            const std::size_t got = platform::ReadUpTo(fd.Get(), header, sizeof header);
            if (tracefile::HasBanner({header, got})) {
                if (auto date = ParseBannerDate({header, got})) return *date;
                invalid = true;
            }
        }
    }
    const TraceDate today = LocalTraceDate(std::time(nullptr));
    if (note) {
        char day[16];
        std::snprintf(day, sizeof day, "%04d-%02d-%02d", today.year % 10000, today.month % 100, today.day % 100);
        *note = std::string(invalid ? "the trace log's banner has no valid date" : "the trace has no date") +
                "; its frames are dated today, " + day;
    }
    return today;
}

ExportResult ExportTraceToFd(const CTraceLog& log, int fd, tracefile::CaptureFormat format, const std::vector<int>* records) {
    ExportResult result;
    RecordClock clock(ExportDate(log, &result.dateNote));
    Bytes buffer;
    buffer.reserve(kFlushAt + 512);
    CaptureWriter writer(format, buffer);
    int error = 0;
    const int count = records != nullptr ? static_cast<int>(records->size()) : log.GetRecordCount();
    for (int n = 0; n < count && error == 0; ++n) {
        const std::optional<CTraceRecord> record = log.GetRecord(records != nullptr ? (*records)[static_cast<std::size_t>(n)] : n);
        if (!record) continue;
        if (!record->IsDChannel()) {
            ++result.recordsSkipped;
            continue;
        }
        const auto stamp = clock.Next(record->GetHours(), record->GetMinutes(), record->GetSeconds(),
                                      record->GetHundredths());
        const tracefile::FrameSide side = SideOfRecord(*record);
        if (side == tracefile::FrameSide::Unknown && format == tracefile::CaptureFormat::Pcap) ++result.sidelessInPcap;
        writer.AddFrame(stamp, side, record->GetData());
        ++result.framesWritten;
        if (buffer.size() >= kFlushAt) error = Flush(fd, buffer);
    }
    if (error == 0) error = Flush(fd, buffer);
    if (error != 0) {
        result.error = platform::ErrorText(error);
        return result;
    }
    result.ok = true;
    return result;
}

ExportResult ExportTrace(const CTraceLog& log, const std::filesystem::path& out, const ExportOptions& options) {
    return WriteFileBeside(out, options.replaceExisting,
                           [&](int fd) { return ExportTraceToFd(log, fd, options.format, options.records); });
}

ExportResult WriteFileBeside(const std::filesystem::path& out, bool replaceExisting,
                             const std::function<ExportResult(int fd)>& write) {
    ExportResult result;
    if (!replaceExisting && platform::NameIsTaken(out)) {
        result.error = out.string() + " already exists";
        return result;
    }
    // The temporary file sits beside the output so the final rename stays on
    // one file system and is atomic.
    const std::filesystem::path dir = out.has_parent_path() ? out.parent_path() : std::filesystem::path(".");
    std::string temp = (dir / ("." + out.filename().string() + ".XXXXXX")).string();
    platform::UniqueFd fd(::mkstemp(temp.data()));
    if (!fd) {
        result.error = "cannot create a file in " + dir.string() + ": " + platform::ErrorText(errno);
        return result;
    }
    result = write(fd.Get());
    int error = 0;
    if (result.ok && ::fsync(fd.Get()) != 0) error = errno;
    if (result.ok && error == 0 && ::fchmod(fd.Get(), 0644) != 0) error = errno;
    fd.Reset();
    if (result.ok && error == 0) {
        if (replaceExisting) {
            if (::rename(temp.c_str(), out.c_str()) != 0) error = errno;
        } else {
            error = platform::MoveFileNoReplace(temp, out);
        }
    }
    if (!result.ok || error != 0) {
        ::unlink(temp.c_str());
        result.ok = false;
        result.error = error == EEXIST ? out.string() + " already exists"
                                       : "cannot write " + out.string() + ": " +
                                             (error != 0 ? platform::ErrorText(error) : result.error);
    }
    return result;
}

ExportResult ExportTrace(const std::filesystem::path& in, const std::filesystem::path& out,
                         const ExportOptions& options) {
    CTraceLog log;
    int openError = 0;
    if (const int loaded = log.LoadFile(in, &openError); loaded != 1) {
        ExportResult result;
        result.error = openError != 0 ? "cannot open " + in.string() + ": " + platform::ErrorText(openError)
                       : loaded == 2  ? in.string() + " ends in the middle of a packet; nothing was exported"
                                      : in.string() + " could not be read";
        return result;
    }
    return ExportTrace(log, out, options);
}

ExportResult ExportWithDialog(const CTraceLog& log, UiServices& ui, const std::string& baseName,
                              const TextExport& textExport) {
    FileDialogRequest request;
    request.defaultExtension = "pcapng";
    request.initialName = std::filesystem::path(baseName).replace_extension(".pcapng").string();
    request.filter = std::string("pcapng captures (*.pcapng)|*.pcapng|pcap captures (*.pcap)|*.pcap|") +
                     (textExport.write ? "Text (*.txt)|*.txt|CSV (*.csv)|*.csv|" : "") + "All files (*.*)|*.*||";
    request.confirmOverwrite = true;
    const auto chosen = ui.AskSaveFileName(request);
    if (!chosen) return {};
    if (textExport.write && (chosen->extension() == ".txt" || chosen->extension() == ".csv")) {
        const bool csv = chosen->extension() == ".csv";
        ExportResult result = WriteFileBeside(*chosen, /*replaceExisting=*/true, [&](int fd) {
            ExportResult written;
            if (const int error = textExport.write(fd, csv); error != 0) {
                written.error = platform::ErrorText(error);
            } else {
                written.ok = true;
            }
            return written;
        });
        if (!result.ok) {
            platform::MessageBox("The records could not be exported:\n" + result.error + ".");
            return result;
        }
        platform::InformationBox(std::to_string(textExport.records) + (textExport.records == 1 ? " record" : " records") +
                                 " exported to " + chosen->string() + ".");
        return result;
    }
    const tracefile::CaptureFormat format =
        chosen->extension() == ".pcap" ? tracefile::CaptureFormat::Pcap : tracefile::CaptureFormat::PcapNg;
    const ExportResult result = ExportTrace(log, *chosen, {format, /*replaceExisting=*/true, textExport.shown});
    if (!result.ok) {
        platform::MessageBox("The capture could not be exported:\n" + result.error + ".");
        return result;
    }
    std::string text = std::to_string(result.framesWritten) + " D-channel frames exported to " + chosen->string() + ".";
    if (result.recordsSkipped > 0)
        text += "\n" + std::to_string(result.recordsSkipped) + " ASCII and hex records were skipped: they are not frames.";
    if (result.sidelessInPcap > 0)
        text += "\n" + std::to_string(result.sidelessInPcap) +
                " frames of unknown side were written as the user side's: pcap must name a side.";
    if (!result.dateNote.empty()) {
        std::string note = result.dateNote;
        note[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(note[0])));
        text += "\n" + note + ".";
    }
    platform::InformationBox(text);
    return result;
}

}  // namespace trace
