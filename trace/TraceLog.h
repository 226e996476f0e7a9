#pragma once
// CTraceLog: a document's ordered record list, appended at the tail only and
// owning its records, and the live reader that follows a growing trace log
// file. Records are kept packed: their bytes (24 raw header bytes, the data
// length, the data) one after another in blocks of 2 MiB, and one 8-byte
// position per record, itself in blocks; nothing is ever moved or copied
// again once stored, and every text is decoded when asked. Every accessor takes a 0-based record index and answers a neutral
// value (0, empty text, nullopt) for an index outside the list. All of it is
// used on the user-interface thread; the reader thread shares only the
// TraceReaderParams block and its batch, under the event handshake.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "trace/TraceDate.h"
#include "trace/TraceReader.h"
#include "trace/TraceRecord.h"

namespace tracefile {
class ByteSource;
}

namespace trace {

class CLogFile;
struct CaptureRecordSink;

class CTraceLog {
public:
    CTraceLog();
    virtual ~CTraceLog();
    CTraceLog(const CTraceLog&) = delete;
    CTraceLog& operator=(const CTraceLog&) = delete;

    int GetRecordCount() const { return m_count; }
    std::uint16_t GetSequence(int index) const;
    std::uint8_t GetHours(int index) const;
    std::uint8_t GetMinutes(int index) const;
    std::uint8_t GetSeconds(int index) const;
    std::uint8_t GetHundredths(int index) const;
    std::uint32_t GetTimeOfDay(int index) const;  // hundredths of a second since midnight
    std::uint8_t GetBNumber(int index) const;
    std::uint8_t GetLNNumber(int index) const;
    std::string GetMnemonic(int index) const;
    std::string GetSource(int index) const;
    std::string GetAddress(int index) const;
    std::string GetFrameType(int index) const;
    std::string GetPollFinal(int index) const;
    std::string GetNS(int index) const;
    std::string GetNR(int index) const;
    std::string GetCallReference(int index) const;
    std::string GetMessage(int index) const;
    // 1 with the dump in out, or 0 (out untouched) for an index out of range.
    int FormatHexDump(std::string& out, int index) const;
    int HasLayer3(int index) const;
    int GetItemCount(int index) const;
    std::optional<DecodeItem> GetItem(int index, int position) const;
    // A view of the record, valid until DeleteRecords; nullopt out of range.
    std::optional<CTraceRecord> GetRecord(int index) const;

    void DeleteRecords();
    // How often the list was emptied: whoever follows the records by their
    // count tells a restarted trace from one that grew, however many
    // records the new trace has by the time it looks.
    unsigned TimesEmptied() const { return m_timesEmptied; }

    // Builds the record of a validated raw record and appends it. Returns its
    // index, or -1 when the raw type has no record class (nothing is added).
    int AddRawRecord(std::span<const std::uint8_t> raw);

    // Loads a whole binary trace log file (or a capture file of LAPD frames,
    // in any format packet analysers read). Returns 1 when every byte was
    // read, 0 otherwise; records read before a failure stay in the list. A
    // capture file that ends inside a packet gives 2: its frames before the
    // cut are loaded and worth showing. A failure to open the file (or a
    // folder: EISDIR) shows nothing and leaves errno's value in *openError.
    int LoadFile(const std::filesystem::path& path, int* openError = nullptr);

    // Loading in steps, so a window can show the first records of a large
    // log while the rest are read between events. BeginLoad answers as
    // LoadFile does once the file is done, having read at most `records`
    // records (or frames of a capture file); while records are left it
    // answers kLoadGoesOn, and each LoadMore reads up to
    // `records` more and answers the same way. The loader's messages about
    // damage come from the step that finds it. Records are only ever
    // appended, in file order, each once.
    static constexpr int kLoadGoesOn = 3;
    int BeginLoad(const std::filesystem::path& path, int* openError, int records);
    int LoadMore(int records);
    bool IsLoading() const { return m_load != nullptr; }
    // How much of the file the load has read, from 0 to 1 (1 when no load
    // is going on).
    double LoadedFraction() const;
    // Stops a load that is going on, keeping the records read so far.
    void CancelLoad();

    // Streaming instead of keeping, for a reader that looks at each record
    // once (trctool dump): from now on, whenever the log holds `batch`
    // records, and at the end of LoadFile, `consume` is called with the log
    // and the records are forgotten again (their storage is reused).
    // AddRawRecord's answer then names a record only until the next call.
    using RecordBatchConsumer = std::function<void(const CTraceLog&)>;
    void StreamRecords(RecordBatchConsumer consume, int batch);

    // When the trace began: the banner's date of a loaded trace log file, the
    // first frame's of a capture file; nullopt when not known.
    const std::optional<TraceDate>& GetTraceDate() const { return m_traceDate; }
    void SetTraceDate(const std::optional<TraceDate>& date) { m_traceDate = date; }
    // True when the loaded trace log file's banner held a date that is not one.
    bool HasInvalidBannerDate() const { return m_bannerDateInvalid; }

    // The open trace log file the adapter library appends to; not owned.
    void SetLogFile(const CLogFile* file) { m_logFile = file; }
    std::string GetLogPath() const;

    // Live reader. The target receives the complete records of the log file
    // in batches;
    // StartReader starts following the file from its beginning, StopReader
    // stops the thread and waits for its end. Both return 1.
    void SetTarget(RecordTarget* target) { m_target = target; }
    RecordTarget* GetTarget() const { return m_target; }
    int StartReader();
    // Without drain, the reader ends at once; a batch it posted and nobody
    // took yet stays for its message. With drain (the writer has stopped),
    // every record left in the file up to its end is handed to drain on the
    // calling thread, batch by batch in order, before the reader ends: what
    // the file holds is what the document gets. drain consumes the block as
    // the posted message would, ending with ReleaseDelivered (it may find a
    // batch posted before the drain began), and answers whether to go on:
    // false ends the reader at once, leaving the rest of the file untaken.
    int StopReader(const std::function<bool(TraceReaderParams&)>& drain = {});
    int IsRunning() const { return m_running; }
    // Builds the records of the batch the reader delivered and appends them
    // in order, calling added with each one's index as soon as it is stored
    // (a list that keeps only its newest record holds each only until the
    // next). Returns how many were added.
    int AddReaderRecords(const TraceReaderParams& params, const std::function<void(int)>& added = {});
    platform::EventHandle GetAckEvent() const { return m_ackEvent.Get(); }
    // The file offset just behind the last record AddReaderRecords took: the
    // length of a file that holds the records delivered so far.
    std::int64_t GetReaderRecordEnd() const { return m_readerRecordEnd; }

    // A list that keeps only its newest record (a terminal capture prints
    // each record and needs it no longer): every add replaces the one record
    // at index 0, so memory stays flat however long the trace runs.
    void SetKeepOnlyNewest(bool newestOnly) { m_keepOnlyNewest = newestOnly; }

private:
    // Blocks of 2 MiB, aligned so that the kernel may back each with one
    // huge page: a million records then cost a few dozen page faults
    // instead of ten thousand.
    static constexpr int kBlockShift = 21;
    static constexpr std::size_t kBlockBytes = std::size_t{1} << kBlockShift;
    static constexpr int kPositionsPerBlock = static_cast<int>(kBlockBytes / sizeof(std::uint64_t));
    struct BlockFree {
        void operator()(void* block) const;
    };
    template <class T>
    using Block = std::unique_ptr<T[], BlockFree>;
    template <class T>
    static Block<T> NewBlock();
    // Room for one record of size bytes at the tail of the last block.
    std::uint8_t* Allocate(std::size_t size);
    // Reads up to `records` records of the load going on; the load ends
    // (and the file is closed) when the answer is not kLoadGoesOn.
    int ReadRecords(int records);
    struct PendingLoad;
    // Goes on with a file that is no trace log as a capture file.
    int BeginCaptureLoad(std::unique_ptr<PendingLoad> load, int records);
    // Hands the records to the stream's consumer and forgets them.
    void ConsumeBatch();
    // Forgets every record; the blocks stay allocated for the next ones.
    void ForgetRecordsKeepingBlocks();
    friend int LoadCapture(CTraceLog& log, tracefile::ByteSource& source);
    // A capture file's records appended to this log; an empty log takes the
    // first frame's date as the trace's.
    CaptureRecordSink CaptureSink();

    std::unique_ptr<PendingLoad> m_load;
    std::vector<Block<std::uint8_t>> m_blocks;
    std::size_t m_blocksInUse = 0;
    std::size_t m_blockUsed = 0;  // bytes used in the last block in use
    std::vector<Block<std::uint64_t>> m_positions;  // block number << kBlockShift | offset
    int m_count = 0;
    unsigned m_timesEmptied = 0;
    RecordBatchConsumer m_consume;
    int m_batch = 0;
    const CLogFile* m_logFile = nullptr;

    RecordTarget* m_target = nullptr;
    platform::UniqueEvent m_ackEvent;
    platform::UniqueEvent m_stopEvent;
    platform::UniqueEvent m_stoppedEvent;
    platform::UniqueEvent m_postedEvent;  // set by the reader after each post (the drain waits on it)
    std::int64_t m_readerRecordEnd = 0;
    bool m_keepOnlyNewest = false;
    TraceReaderParams m_params;
    std::string m_logPath;  // copy of the path the last reader was started on
    int m_running = 0;
    std::thread m_reader;
    std::optional<TraceDate> m_traceDate;
    bool m_bannerDateInvalid = false;
};

// Loads a whole pcap or pcapng capture from a byte source into the log;
// answers as CaptureLoad::Step does at the end, and says its messages
// through platform::MessageBox.
int LoadCapture(CTraceLog& log, tracefile::ByteSource& source);

}  // namespace trace
