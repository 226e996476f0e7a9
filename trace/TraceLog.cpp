#include "trace/TraceLog.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/File.h"
#include "platform/MessageBox.h"
#include "trace/CaptureImport.h"
#include "trace/LogFile.h"

namespace trace {
CTraceLog::CTraceLog()
    : m_ackEvent(platform::CreateEvent({}, false)),
      m_stopEvent(platform::CreateEvent({}, false)),
      m_stoppedEvent(platform::CreateEvent({}, false)),
      m_recordBuffer(std::make_unique<std::uint8_t[]>(kMaxRecordLength)) {}

CTraceLog::~CTraceLog() {
    StopReader();
    DeleteRecords();
    platform::CloseEvent(m_ackEvent);
    platform::CloseEvent(m_stopEvent);
    platform::CloseEvent(m_stoppedEvent);
}

const CTraceRecord* CTraceLog::GetRecord(int index) const {
    if (index < 0 || index >= GetRecordCount()) return nullptr;
    return m_records[static_cast<std::size_t>(index)].get();
}

#define MARLO_RECORD_ACCESSOR(Type, Name, Neutral)          \
    Type CTraceLog::Name(int index) const {                 \
        const CTraceRecord* r = GetRecord(index);           \
        return r ? Type(r->Name()) : Type(Neutral);         \
    }
MARLO_RECORD_ACCESSOR(std::uint16_t, GetSequence, 0)
MARLO_RECORD_ACCESSOR(std::uint8_t, GetHours, 0)
MARLO_RECORD_ACCESSOR(std::uint8_t, GetMinutes, 0)
MARLO_RECORD_ACCESSOR(std::uint8_t, GetSeconds, 0)
MARLO_RECORD_ACCESSOR(std::uint8_t, GetHundredths, 0)
MARLO_RECORD_ACCESSOR(std::uint8_t, GetBNumber, 0)
MARLO_RECORD_ACCESSOR(std::uint8_t, GetLNNumber, 0)
MARLO_RECORD_ACCESSOR(std::string, GetMnemonic, "")
MARLO_RECORD_ACCESSOR(std::string, GetSource, "")
MARLO_RECORD_ACCESSOR(std::string, GetAddress, "")
MARLO_RECORD_ACCESSOR(std::string, GetFrameType, "")
MARLO_RECORD_ACCESSOR(std::string, GetPollFinal, "")
MARLO_RECORD_ACCESSOR(std::string, GetNS, "")
MARLO_RECORD_ACCESSOR(std::string, GetNR, "")
MARLO_RECORD_ACCESSOR(std::string, GetCallReference, "")
MARLO_RECORD_ACCESSOR(std::string, GetMessage, "")
MARLO_RECORD_ACCESSOR(int, HasLayer3, 0)
MARLO_RECORD_ACCESSOR(int, GetItemCount, 0)
#undef MARLO_RECORD_ACCESSOR

int CTraceLog::FormatHexDump(std::string& out, int index) const {
    const CTraceRecord* r = GetRecord(index);
    return r ? r->FormatHexDump(out) : 0;
}

std::optional<DecodeItem> CTraceLog::GetItem(int index, int position) const {
    const CTraceRecord* r = GetRecord(index);
    return r ? r->GetItem(position) : std::nullopt;
}

void CTraceLog::DeleteRecords() { m_records.clear(); }

int CTraceLog::AddRawRecord(std::span<const std::uint8_t> raw) {
    std::unique_ptr<CTraceRecord> record = BuildRecord(raw);
    if (!record) return -1;
    m_records.push_back(std::move(record));
    return GetRecordCount() - 1;
}

std::string CTraceLog::GetLogPath() const { return m_logFile ? m_logFile->GetFilePath().string() : std::string(); }

int CTraceLog::LoadFile(const std::filesystem::path& path, int* openError) {
    int error = 0;
    platform::UniqueFd fd = platform::OpenForReading(path, &error);
    if (openError) *openError = error;
    if (!fd) return 0;
    // pcap and pcapng files are known by their magic number, whatever their name.
    if (IsCaptureFile(fd.Get())) return LoadCaptureFile(*this, fd.Get());
    platform::BufferedReader in(fd.Get());

    std::array<std::uint8_t, kMaxRecordLength> buffer{};
    const std::size_t headerBytes = in.Read(buffer.data(), kFileHeaderSize);
    if (!HasBanner({buffer.data(), headerBytes})) {
        platform::MessageBox("This file is not a valid log file.");
        return 0;
    }
    m_traceDate = ParseBannerDate({buffer.data(), headerBytes});
    m_bannerDateInvalid = !m_traceDate;
    // Large files grow the list once per doubling; reserve a guess from the size.
    const std::int64_t size = platform::FileSize(fd.Get());
    if (size > 0) m_records.reserve(m_records.size() + static_cast<std::size_t>(size / 48));

    for (;;) {
        if (in.Read(buffer.data(), kRecordHeaderSize) < kRecordHeaderSize) return 1;  // partial header: the end
        switch (CheckRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize>(buffer.data(), kRecordHeaderSize))) {
            case HeaderCheck::BadType:
                platform::MessageBox("Unknown Data Record Type");
                return 0;
            case HeaderCheck::BadLength:
                platform::MessageBox("Unuseable Data Record length");
                return 0;
            case HeaderCheck::Ok:
                break;
        }
        const std::uint32_t length = RecordLength(buffer);
        const std::size_t rest = length - kRecordHeaderSize;
        if (in.Read(buffer.data() + kRecordHeaderSize, rest) < rest) {
            platform::MessageBox("Could not read data portion of record!");
            return 0;
        }
        const std::span<const std::uint8_t> record(buffer.data(), length);
        switch (CheckRecordBody(record)) {
            case BodyCheck::BadTrailer:
                platform::MessageBox("Inconsistent record contents!");
                return 0;
            case BodyCheck::InconsistentAscii:
                std::fputs("Inconsistent ASCII Record!\n", stderr);
                return 0;
            case BodyCheck::InconsistentHex:
                platform::MessageBox("Inconsistent Hex Record!");
                return 0;
            case BodyCheck::InconsistentDChannel:
                platform::MessageBox("Inconsistent D-Channel Record!");
                return 0;
            case BodyCheck::NoBody:
                continue;  // types 4 to 6: framed by their length, skipped
            case BodyCheck::Ok:
                break;
        }
        AddRawRecord(record);
    }
}

}  // namespace trace
