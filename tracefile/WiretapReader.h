#pragma once
// Capture files of every other format packet analysers read (i4btrace,
// EyeSDN, Toshiba, DCT2000, ERF, K12, Ascend and the rest, each also
// compressed with gzip, zstd or lz4), read through libwiretap. The D-channel
// frames are those of the LAPD encapsulations: LINUX_LAPD (side from its
// pseudo-header), LAPD (side from the packet's direction flags, when it has
// them), and ISDN on channel 0 (side from the pseudo-header's direction),
// also inside DCT2000 records. B-channel frames and every other packet are
// passed over and counted.

#include <memory>
#include <string>

#include "tracefile/CaptureReader.h"

namespace tracefile {

// Opens the file at path. nullptr when it cannot be read as a capture:
// *failure then says why, with status NotCapture when no format libwiretap
// knows fits the file (a text file, a trace log file).
std::unique_ptr<CaptureReader> OpenWiretapCapture(const std::string& path, CaptureReadResult* failure);

}  // namespace tracefile
