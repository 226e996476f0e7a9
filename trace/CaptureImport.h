#pragma once
// Capture files made by other tools shown in MarloTrc as D-channel records.
// Runs on the thread that loads the file.

#include <cstdint>
#include <functional>
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

// Reads a capture file as D-channel records into the sink: sequence numbers
// from 1, the local time of day of each frame, the side into the frame flags
// (byte 17 bit 0 set for the network side), frames cut to the 280 octets a
// record holds. Frames without a side are shown as from the user side and
// keep the side-unknown bit. What the user should know (cut frames, no
// sides, packets of other link types skipped, a damaged or truncated file,
// another link type) is said once each through platform::MessageBox. Returns
// 1 when every frame was loaded, 2 when the file ends inside a packet (the
// frames before it are loaded), 0 when the file could not be read as a LAPD
// capture. (CTraceLog::LoadFile and trace::LoadCapture of TraceLog.h put
// them in a log.)
int ReadCaptureRecords(ByteSource& source, const CaptureRecordSink& sink);

// The same for an open file read from its current position.
int ReadCaptureFile(int fd, const CaptureRecordSink& sink);

// True when the file behind fd starts with a capture magic; reads at offset 0
// without moving the file position.
bool IsCaptureFile(int fd);

}  // namespace trace
