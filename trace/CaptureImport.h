#pragma once
// Capture files made by other tools shown in MarloTrc as D-channel records.
// Runs on the thread that loads the file.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "tracefile/CaptureReader.h"

namespace trace {

class CTraceLog;

// Loads a capture file into the log as D-channel records: sequence numbers
// from 1, the local time of day of each frame, the side into the frame flags
// (byte 17 bit 0 set for the network side), frames cut to the 280 octets a
// record holds. Frames without a side are shown as from the user side and
// keep the side-unknown bit. What the user should know (cut frames, no
// sides, packets of other link types skipped, a damaged or truncated file,
// another link type) is said once each through platform::MessageBox. Returns
// 1 when every frame was loaded, 2 when the file ends inside a packet (the
// frames before it are loaded), 0 when the file could not be read as a LAPD
// capture.
int LoadCapture(CTraceLog& log, ByteSource& source);

// The same for an open file read from its current position.
int LoadCaptureFile(CTraceLog& log, int fd);

// True when the file behind fd starts with a capture magic; reads at offset 0
// without moving the file position.
bool IsCaptureFile(int fd);

// The raw D-channel record a frame becomes (28 + at most 280 octets).
std::vector<std::uint8_t> CaptureRecord(std::uint16_t sequence, const CaptureFrame& frame);

}  // namespace trace
