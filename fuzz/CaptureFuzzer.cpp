// Fuzz target for the capture readers: the input is a whole capture file.
// It is read twice: by the pcap and pcapng reader from memory, and as
// File > Open reads a file, a few frames a step, from an in-memory file
// (libwiretap then reads every format but pcap and pcapng). Every frame
// becomes a D-channel record (built and decoded), and a pcap or pcapng file
// gives the same records both ways.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/ScratchFile.h"
#include "platform/MessageBox.h"
#include "trace/CaptureImport.h"
#include "trace/TraceLog.h"

namespace {

void ReadEveryRecord(const trace::CTraceLog& log) {
    for (int i = 0; i < log.GetRecordCount(); ++i) {
        (void)log.GetSource(i);
        (void)log.GetMessage(i);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        // Messages about damaged files are expected for most inputs.
        platform::SetMessageBoxHandler([](const platform::MessageBoxRequest&) { return platform::MbResult::Ok; });
        return true;
    }();
    (void)quiet;

    tracefile::MemorySource source({data, size});
    trace::CTraceLog whole;
    const int loaded = trace::LoadCapture(whole, source);
    ReadEveryRecord(whole);

    const std::filesystem::path& path = fuzz::ScratchFile(data, size);
    trace::CTraceLog stepped;
    int answer = stepped.BeginLoad(path, nullptr, 3);
    while (answer == trace::CTraceLog::kLoadGoesOn) answer = stepped.LoadMore(3);
    ReadEveryRecord(stepped);
    const bool capture = size >= 4 && tracefile::IsCaptureMagic({data, 4});
    if (capture && (answer != loaded || stepped.GetRecordCount() != whole.GetRecordCount()))
        std::abort();
    return 0;
}
