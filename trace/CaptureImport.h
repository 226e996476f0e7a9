#pragma once
// Capture files made by other tools shown in MarloTrc as D-channel records.
// Runs on the thread that loads the file.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "tracefile/CaptureReader.h"
#include "trace/TraceDate.h"

namespace trace {

// Where a capture's records go, in file order: each raw D-channel record (its
// bytes valid during the call), and the first frame's date, given before its
// record.
struct CaptureRecordSink {
    std::function<void(std::span<const std::uint8_t> raw)> addRecord;
    std::function<void(const TraceDate& date)> firstFrameDate;
};

// CaptureLoad::Step's answer while frames are left (CTraceLog's kLoadGoesOn).
inline constexpr int kCaptureLoadGoesOn = 3;

// What a file that is neither a trace log nor a capture gets.
inline constexpr const char* kNotLogFileMessage = "This file is not a valid log file.";

// A capture file being loaded into a log as D-channel records, a few at a
// time: sequence numbers from 1, the local time of day of each frame, the
// side into the frame flags (byte 17 bit 0 set for the network side), frames
// cut to the 280 octets a record holds. Frames without a side are shown as
// from the user side and keep the side-unknown bit. What the user should
// know (cut frames, no sides, packets that are not D-channel LAPD skipped, a
// damaged or truncated file, a file without LAPD) is said once each when
// the load ends.
class CaptureLoad {
public:
    // source (may be null) is what reader reads from; size is the file's
    // length in octets, for the progress.
    CaptureLoad(std::unique_ptr<tracefile::ByteSource> source, std::unique_ptr<tracefile::CaptureReader> reader,
                std::int64_t size);
    ~CaptureLoad();
    CaptureLoad(const CaptureLoad&) = delete;
    CaptureLoad& operator=(const CaptureLoad&) = delete;

    // Hands up to `records` records to the sink. Answers kCaptureLoadGoesOn
    // while frames are left; otherwise 1 when every frame was
    // loaded, 2 when the file ends inside a packet (the frames before it are
    // loaded), 0 when the file could not be read as a LAPD capture. When
    // the load has ended, `messages` holds what to tell the user.
    int Step(const CaptureRecordSink& sink, int records, std::vector<std::string>& messages);
    // How much of the file has been read, from 0 to 1.
    double Fraction() const;

private:
    std::unique_ptr<tracefile::ByteSource> m_source;
    std::unique_ptr<tracefile::CaptureReader> m_reader;
    std::int64_t m_size;
    std::uint16_t m_sequence = 0;
    bool m_first = true;
    bool m_cut = false;
    bool m_sideless = false;
    std::vector<std::uint8_t> m_raw;
    class LocalClock;
    std::unique_ptr<LocalClock> m_clock;
};

// Opens the capture file behind fd for loading: pcap and pcapng by their
// magic, every other format libwiretap knows through it. nullptr when it
// cannot be opened: *failure says why, with the message for the user.
std::unique_ptr<CaptureLoad> OpenCaptureLoad(int fd, tracefile::CaptureReadResult* failure);


// True when the file behind fd starts with a capture magic; reads at offset 0
// without moving the file position.
bool IsCaptureFile(int fd);

}  // namespace trace
