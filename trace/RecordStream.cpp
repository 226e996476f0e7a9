#include "trace/RecordStream.h"

#include <algorithm>

#include "platform/File.h"
#include "trace/CaptureExport.h"
#include "trace/TraceRecord.h"

namespace trace {

std::optional<StreamFormat> StreamFormatNamed(std::string_view name) {
    if (name == "log") return StreamFormat::Log;
    if (name == "pcapng") return StreamFormat::PcapNg;
    if (name == "pcap") return StreamFormat::Pcap;
    return std::nullopt;
}

std::string_view StreamExtension(StreamFormat format) {
    switch (format) {
        case StreamFormat::Log: return ".log";
        case StreamFormat::PcapNg: return ".pcapng";
        case StreamFormat::Pcap: return ".pcap";
    }
    return {};
}

namespace {

// The data length the record's header gives: an ASCII record keeps its text
// without the terminating zero, which the file still holds.
std::size_t FileDataLength(std::span<const std::uint8_t> header, std::size_t kept) {
    return header.size() >= tracefile::kHeaderCopySize ? tracefile::DataLength(header) : kept;
}

}  // namespace

std::vector<std::uint8_t> RawRecordBytes(const CTraceRecord& record) {
    const auto header = record.GetHeaderCopy();
    const auto data = record.GetData();
    const std::size_t offset = tracefile::DataOffset(tracefile::RecordTypeOf(header));
    const std::size_t n = FileDataLength(header, data.size());
    const auto length = static_cast<std::uint32_t>(offset + n + 4);
    std::vector<std::uint8_t> raw(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(offset));
    raw.insert(raw.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(n, data.size())));
    raw.resize(length);  // zeros: the terminator an ASCII record did not keep
    tracefile::WriteU32(raw, 0, length);
    tracefile::WriteU32(raw, length - 4, length);
    return raw;
}

RecordStream::RecordStream(int fd, StreamFormat format, const TraceDate& start)
    : m_fd(fd), m_format(format), m_start(start), m_clock(start) {}

int RecordStream::Write(const std::vector<std::uint8_t>& bytes) {
    const int error = platform::WriteAllUnless(m_fd, bytes, m_giveUp);
    if (error == 0) m_written += bytes.size();
    return error;
}

int RecordStream::Begin() {
    m_buffer.clear();
    if (m_format == StreamFormat::Log) {
        std::tm local{};
        local.tm_year = m_start.year - 1900;
        local.tm_mon = m_start.month - 1;
        local.tm_mday = m_start.day;
        local.tm_hour = m_start.hour;
        local.tm_min = m_start.minute;
        local.tm_sec = m_start.second;
        const auto header = tracefile::BuildFileHeader(local);
        m_buffer.assign(header.begin(), header.end());
    } else {
        const bool pcap = m_format == StreamFormat::Pcap;
        CaptureWriter(pcap ? tracefile::CaptureFormat::Pcap : tracefile::CaptureFormat::PcapNg, m_buffer);
    }
    return Write(m_buffer);
}

std::size_t RecordStream::SizeOf(const CTraceRecord& record) const {
    const auto header = record.GetHeaderCopy();
    const std::size_t data = record.GetData().size();
    switch (m_format) {
        case StreamFormat::Log: return tracefile::DataOffset(tracefile::RecordTypeOf(header)) + FileDataLength(header, data) + 4;
        case StreamFormat::Pcap:
            if (tracefile::RecordTypeOf(header) != tracefile::kDChannelRecord) return 0;
            return tracefile::kPcapPacketHeaderSize + tracefile::kLapdPseudoHeaderSize + data;
        case StreamFormat::PcapNg: {
            if (tracefile::RecordTypeOf(header) != tracefile::kDChannelRecord) return 0;
            const bool flags = SideOfRecord(record) != tracefile::FrameSide::Unknown;
            return 32 + ((data + 3) & ~std::size_t{3}) + (flags ? 12 : 0);
        }
    }
    return 0;
}

int RecordStream::Add(const CTraceRecord& record) {
    const auto header = record.GetHeaderCopy();
    if (m_format == StreamFormat::Log) {
        const int error = Write(RawRecordBytes(record));
        if (error == 0) ++m_records;
        return error;
    }
    if (tracefile::RecordTypeOf(header) != tracefile::kDChannelRecord) {
        ++m_skipped;
        return 0;
    }
    m_buffer.clear();
    const auto stamp =
        m_clock.Next(record.GetHours(), record.GetMinutes(), record.GetSeconds(), record.GetHundredths());
    CaptureWriter(m_format == StreamFormat::Pcap ? tracefile::CaptureFormat::Pcap : tracefile::CaptureFormat::PcapNg, m_buffer,
                  /*withHeader=*/false)
        .AddFrame(stamp, SideOfRecord(record), record.GetData());
    const int error = Write(m_buffer);
    if (error == 0) ++m_records;
    return error;
}

}  // namespace trace
