// Fuzz target for the pcap and pcapng readers: the input is a whole capture
// file. Every frame read becomes a D-channel record (built and decoded) as
// when the log document opens a capture.

#include <cstddef>
#include <cstdint>

#include "platform/MessageBox.h"
#include "trace/CaptureImport.h"
#include "trace/TraceLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        // Messages about damaged files are expected for most inputs.
        platform::SetMessageBoxHandler([](const platform::MessageBoxRequest&) { return platform::MbResult::Ok; });
        return true;
    }();
    (void)quiet;

    trace::MemorySource source({data, size});
    trace::CTraceLog log;
    trace::LoadCapture(log, source);
    for (int i = 0; i < log.GetRecordCount(); ++i) {
        (void)log.GetSource(i);
        (void)log.GetMessage(i);
    }
    return 0;
}
