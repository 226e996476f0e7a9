#include "trace/TraceLog.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>

#include "platform/File.h"
#include "platform/MessageBox.h"
#include "trace/CaptureImport.h"
#include "trace/LogFile.h"

namespace trace {
CTraceLog::CTraceLog()
    : m_ackEvent(platform::CreateEvent({}, false)),
      m_stopEvent(platform::CreateEvent({}, false)),
      m_stoppedEvent(platform::CreateEvent({}, false)),
      m_postedEvent(platform::CreateEvent({}, false)) {}

CTraceLog::~CTraceLog() {
    StopReader();
    DeleteRecords();
}

namespace {
// Each stored record: the header copy, its data length (2 bytes), its data.
constexpr std::size_t kStoredLengthAt = tracefile::kHeaderCopySize;
constexpr std::size_t kStoredDataAt = tracefile::kHeaderCopySize + 2;
}  // namespace

std::optional<CTraceRecord> CTraceLog::GetRecord(int index) const {
    if (index < 0 || index >= m_count) return std::nullopt;
    const std::uint64_t position = m_positions[static_cast<std::size_t>(index / kPositionsPerBlock)]
                                              [static_cast<std::size_t>(index % kPositionsPerBlock)];
    const std::uint8_t* stored = m_blocks[position >> kBlockShift].get() + (position & (kBlockBytes - 1));
    const std::size_t length = tracefile::ReadU16({stored, kStoredDataAt}, kStoredLengthAt);
    return CTraceRecord(stored, {stored + kStoredDataAt, length});
}

#define MARLO_RECORD_ACCESSOR(Type, Name, Neutral)          \
    Type CTraceLog::Name(int index) const {                 \
        const std::optional<CTraceRecord> r = GetRecord(index); \
        return r ? Type(r->Name()) : Type(Neutral);             \
    }
MARLO_RECORD_ACCESSOR(std::uint16_t, GetSequence, 0)
MARLO_RECORD_ACCESSOR(std::uint8_t, GetHours, 0)
MARLO_RECORD_ACCESSOR(std::uint8_t, GetMinutes, 0)
MARLO_RECORD_ACCESSOR(std::uint8_t, GetSeconds, 0)
MARLO_RECORD_ACCESSOR(std::uint8_t, GetHundredths, 0)
MARLO_RECORD_ACCESSOR(std::uint32_t, GetTimeOfDay, 0)
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
    const std::optional<CTraceRecord> r = GetRecord(index);
    return r ? r->FormatHexDump(out) : 0;
}

std::optional<DecodeItem> CTraceLog::GetItem(int index, int position) const {
    const std::optional<CTraceRecord> r = GetRecord(index);
    return r ? r->GetItem(position) : std::nullopt;
}

void CTraceLog::BlockFree::operator()(void* block) const { std::free(block); }

template <class T>
CTraceLog::Block<T> CTraceLog::NewBlock() {
    void* block = std::aligned_alloc(kBlockBytes, kBlockBytes);
    if (block == nullptr) throw std::bad_alloc();
    // Only a hint: without huge pages the block is faulted in page by page.
    ::madvise(block, kBlockBytes, MADV_HUGEPAGE);
    return Block<T>(static_cast<T*>(block));
}

void CTraceLog::DeleteRecords() {
    ++m_timesEmptied;
    m_blocks.clear();
    m_positions.clear();
    m_blocksInUse = 0;
    m_blockUsed = 0;
    m_count = 0;
}

void CTraceLog::StreamRecords(RecordBatchConsumer consume, int batch) {
    m_consume = std::move(consume);
    m_batch = m_consume ? std::max(batch, 1) : 0;
}

void CTraceLog::ConsumeBatch() {
    if (m_count > 0) m_consume(*this);
    ForgetRecordsKeepingBlocks();
}

void CTraceLog::ForgetRecordsKeepingBlocks() {
    m_blocksInUse = 0;
    m_blockUsed = 0;
    m_count = 0;
}

std::uint8_t* CTraceLog::Allocate(std::size_t size) {
    if (m_blocksInUse == 0 || kBlockBytes - m_blockUsed < size) {
        // A fresh block becomes resident as records fill it.
        if (m_blocksInUse == m_blocks.size())
            m_blocks.push_back(NewBlock<std::uint8_t>());
        ++m_blocksInUse;
        m_blockUsed = 0;
    }
    if (m_count % kPositionsPerBlock == 0 &&
        m_positions.size() == static_cast<std::size_t>(m_count / kPositionsPerBlock))
        m_positions.push_back(NewBlock<std::uint64_t>());
    const std::uint64_t position = (std::uint64_t{m_blocksInUse - 1} << kBlockShift) | m_blockUsed;
    m_positions[static_cast<std::size_t>(m_count / kPositionsPerBlock)]
               [static_cast<std::size_t>(m_count % kPositionsPerBlock)] = position;
    std::uint8_t* stored = m_blocks[m_blocksInUse - 1].get() + m_blockUsed;
    m_blockUsed += size;
    return stored;
}

int CTraceLog::AddRawRecord(std::span<const std::uint8_t> raw) {
    if (raw.size() < tracefile::kMinRecordLength) return -1;
    const std::uint16_t type = tracefile::RecordTypeOf(raw);
    const bool withBody = type == tracefile::kAsciiRecord || type == tracefile::kHexRecord || type == tracefile::kDChannelRecord;
    if (!withBody) return -1;  // 4 to 6: no record
    // The data as the length field says, but never past the raw bytes given.
    const std::size_t offset = tracefile::DataOffset(type);
    std::size_t length = raw.size() > offset ? raw.size() - offset : 0;
    if (raw.size() >= tracefile::kHeaderCopySize) length = std::min<std::size_t>(length, tracefile::DataLength(raw));
    length = std::min<std::size_t>(length, tracefile::kMaxRecordLength);
    const std::uint8_t* data = raw.data() + std::min(offset, raw.size());
    // An ASCII record's terminating zero is not part of its text.
    if (type == tracefile::kAsciiRecord && length > 0 && data[length - 1] == 0) --length;

    // A terminal capture keeps only the record it is printing.
    if (m_keepOnlyNewest) ForgetRecordsKeepingBlocks();
    std::uint8_t* stored = Allocate(kStoredDataAt + length);
    const std::size_t header = std::min(raw.size(), tracefile::kHeaderCopySize);
    std::memcpy(stored, raw.data(), header);
    std::memset(stored + header, 0, tracefile::kHeaderCopySize - header);
    tracefile::WriteU16({stored, kStoredDataAt}, kStoredLengthAt, static_cast<std::uint16_t>(length));
    if (length > 0) std::memcpy(stored + kStoredDataAt, data, length);
    const int index = m_count++;
    if (m_batch > 0 && m_count >= m_batch) ConsumeBatch();
    return index;
}

std::string CTraceLog::GetLogPath() const { return m_logFile ? m_logFile->GetFilePath().string() : std::string(); }

namespace {
// Reads a file in large chunks and lends out runs of contiguous bytes that
// stay valid until the next call: a record that straddles two chunks is
// moved to the front before the next chunk is read behind it, so no record
// is copied on its way to the store unless it lies across a chunk's end.
class ChunkReader {
public:
    explicit ChunkReader(int fd) : m_fd(fd), m_buffer(std::make_unique<std::uint8_t[]>(kChunk)) {}

    // n contiguous bytes without consuming them, or nullptr when the file
    // ends before n bytes (n is at most one record's largest length).
    const std::uint8_t* Peek(std::size_t n) {
        if (m_end - m_pos < n && !Fill(n)) return nullptr;
        return m_buffer.get() + m_pos;
    }
    // As Peek, and consumes them; on a short file *got (if given) says how
    // many bytes were left, and those are consumed and returned too.
    const std::uint8_t* Take(std::size_t n, std::size_t* got = nullptr) {
        const std::uint8_t* bytes = Peek(n);
        const std::size_t taken = bytes != nullptr ? n : m_end - m_pos;
        if (got != nullptr) *got = taken;
        else if (bytes == nullptr) return nullptr;
        bytes = m_buffer.get() + m_pos;
        m_pos += taken;
        m_taken += taken;
        return bytes;
    }
    // Bytes consumed so far.
    std::uint64_t Taken() const { return m_taken; }

private:
    static constexpr std::size_t kChunk = std::size_t{1} << 18;

    bool Fill(std::size_t n) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_pos, m_end - m_pos);
        m_end -= m_pos;
        m_pos = 0;
        while (m_end < n && !m_atEnd) {
            const std::size_t got = platform::ReadUpTo(m_fd, m_buffer.get() + m_end, kChunk - m_end);
            if (got < kChunk - m_end) m_atEnd = true;
            m_end += got;
        }
        return m_end >= n;
    }

    int m_fd;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::uint64_t m_taken = 0;
    bool m_atEnd = false;
};
static_assert(tracefile::kMaxRecordLength < std::size_t{1} << 18 && tracefile::kFileHeaderSize < std::size_t{1} << 18);
}  // namespace

struct CTraceLog::PendingLoad {
    explicit PendingLoad(platform::UniqueFd file) : fd(std::move(file)), in(fd.Get()), size(platform::FileSize(fd.Get())) {}
    platform::UniqueFd fd;
    ChunkReader in;
    std::int64_t size;
    std::unique_ptr<CaptureLoad> capture;  // set when the file is a capture file
};

CaptureRecordSink CTraceLog::CaptureSink() {
    CaptureRecordSink sink;
    sink.addRecord = [this](std::span<const std::uint8_t> raw) { AddRawRecord(raw); };
    if (m_count == 0) sink.firstFrameDate = [this](const TraceDate& date) { SetTraceDate(date); };
    return sink;
}

static_assert(CTraceLog::kLoadGoesOn == kCaptureLoadGoesOn);

int LoadCapture(CTraceLog& log, tracefile::ByteSource& source) {
    CaptureLoad load(nullptr, tracefile::NewPcapReader(source), 0);
    std::vector<std::string> messages;
    int loaded = CTraceLog::kLoadGoesOn;
    while (loaded == CTraceLog::kLoadGoesOn) loaded = load.Step(log.CaptureSink(), 1 << 16, messages);
    for (const std::string& message : messages) platform::MessageBox(message);
    return loaded;
}

int CTraceLog::LoadFile(const std::filesystem::path& path, int* openError) {
    const int loaded = BeginLoad(path, openError, std::numeric_limits<int>::max());
    if (m_batch > 0) ConsumeBatch();
    return loaded;
}

int CTraceLog::BeginLoad(const std::filesystem::path& path, int* openError, int records) {
    m_load.reset();
    int error = 0;
    platform::UniqueFd fd = platform::OpenForReading(path, &error);
    if (struct stat st {}; fd && ::fstat(fd.Get(), &st) == 0 && S_ISDIR(st.st_mode)) {
        // A folder opens, but holds no records: say what it is.
        error = EISDIR;
        fd.Reset();
    }
    if (openError) *openError = error;
    if (!fd) return 0;
    auto load = std::make_unique<PendingLoad>(std::move(fd));
    // Capture files are known by their content, whatever their name: pcap
    // and pcapng by their magic number, the other formats packet analysers
    // read by libwiretap, once the file is no trace log.
    if (IsCaptureFile(load->fd.Get())) return BeginCaptureLoad(std::move(load), records);

    std::size_t headerBytes = 0;
    const std::uint8_t* head = load->in.Take(tracefile::kFileHeaderSize, &headerBytes);
    if (!tracefile::HasBanner({head, headerBytes})) return BeginCaptureLoad(std::move(load), records);
    m_traceDate = ParseBannerDate({head, headerBytes});
    m_bannerDateInvalid = !m_traceDate;
    m_load = std::move(load);
    return ReadRecords(records);
}

int CTraceLog::BeginCaptureLoad(std::unique_ptr<PendingLoad> load, int records) {
    tracefile::CaptureReadResult failure;
    load->capture = OpenCaptureLoad(load->fd.Get(), &failure);
    if (!load->capture) {
        platform::MessageBox(failure.message);
        return 0;
    }
    m_load = std::move(load);
    return ReadRecords(records);
}

int CTraceLog::LoadMore(int records) { return m_load ? ReadRecords(records) : 0; }

double CTraceLog::LoadedFraction() const {
    if (m_load && m_load->capture) return m_load->capture->Fraction();
    if (!m_load || m_load->size <= 0) return 1.0;
    return std::min(1.0, static_cast<double>(m_load->in.Taken()) / static_cast<double>(m_load->size));
}

void CTraceLog::CancelLoad() { m_load.reset(); }

int CTraceLog::ReadRecords(int records) {
    if (m_load->capture) {
        std::vector<std::string> messages;
        const int loaded = m_load->capture->Step(CaptureSink(), records, messages);
        // As for a trace log: the load is over before its messages are said.
        if (loaded != kLoadGoesOn) m_load.reset();
        for (const std::string& message : messages) platform::MessageBox(message);
        return loaded;
    }
    ChunkReader& in = m_load->in;
    const char* damage = nullptr;  // what the message about the damage says
    bool damageToStderr = false;
    int read = 0;
    while (damage == nullptr) {
        if (read == records) return kLoadGoesOn;
        // Each record is looked at where it lies in the chunk and copied
        // once, into the store.
        const std::uint8_t* header = in.Peek(tracefile::kRecordHeaderSize);
        if (header == nullptr) {  // partial header: the end
            m_load.reset();
            return 1;
        }
        using HeaderBytes = std::span<const std::uint8_t, tracefile::kRecordHeaderSize>;
        switch (tracefile::CheckRecordHeader(HeaderBytes(header, tracefile::kRecordHeaderSize))) {
            case tracefile::HeaderCheck::BadType: damage = "Unknown Data Record Type"; continue;
            case tracefile::HeaderCheck::BadLength: damage = "Unuseable Data Record length"; continue;
            case tracefile::HeaderCheck::Ok: break;
        }
        const std::uint32_t length = tracefile::RecordLength({header, tracefile::kRecordHeaderSize});
        const std::uint8_t* bytes = in.Take(length);
        if (bytes == nullptr) {
            damage = "Could not read data portion of record!";
            continue;
        }
        const std::span<const std::uint8_t> record(bytes, length);
        switch (tracefile::CheckRecordBody(record)) {
            case tracefile::BodyCheck::BadTrailer: damage = "Inconsistent record contents!"; continue;
            case tracefile::BodyCheck::InconsistentAscii:
                damage = "Inconsistent ASCII Record!\n";
                damageToStderr = true;
                continue;
            case tracefile::BodyCheck::InconsistentHex: damage = "Inconsistent Hex Record!"; continue;
            case tracefile::BodyCheck::InconsistentDChannel: damage = "Inconsistent D-Channel Record!"; continue;
            case tracefile::BodyCheck::NoBody: continue;  // types 4 to 6: framed by their length, skipped
            case tracefile::BodyCheck::Ok: break;
        }
        AddRawRecord(record);
        ++read;
    }
    // The load is over before anyone hears of the damage, so nothing that
    // runs while the message is up can read on.
    m_load.reset();
    if (damageToStderr)
        std::fputs(damage, stderr);
    else
        platform::MessageBox(damage);
    return 0;
}

}  // namespace trace
