// Fuzz target for the capture readers: the input is a whole capture file.
// It is read twice: by the pcap and pcapng reader from memory, and as
// File > Open reads a file, a few frames a step, from an in-memory file
// (libwiretap then reads every format but pcap and pcapng). Every frame
// becomes a D-channel record (built and decoded), and a pcap or pcapng file
// gives the same records both ways.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/MessageBox.h"
#include "trace/CaptureImport.h"
#include "trace/TraceLog.h"

namespace {

// One in-memory file per fuzzing process, rewritten for every input and
// opened through its /proc name, so libwiretap reads it as a file without
// touching the disk.
const std::filesystem::path& ScratchPath(int& fd) {
    static int memfd = ::memfd_create("marlo-fuzz-capture", 0);
    static const std::filesystem::path path = "/proc/self/fd/" + std::to_string(memfd);
    fd = memfd;
    return path;
}

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

    trace::MemorySource source({data, size});
    trace::CTraceLog whole;
    const int loaded = trace::LoadCapture(whole, source);
    ReadEveryRecord(whole);

    int fd = -1;
    const std::filesystem::path& path = ScratchPath(fd);
    if (fd < 0 || ::ftruncate(fd, 0) != 0) std::abort();
    if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    trace::CTraceLog stepped;
    int answer = stepped.BeginLoad(path, nullptr, 3);
    while (answer == trace::CTraceLog::kLoadGoesOn) answer = stepped.LoadMore(3);
    ReadEveryRecord(stepped);
    if (size >= 4 && trace::IsCaptureMagic({data, 4}) && (answer != loaded || stepped.GetRecordCount() != whole.GetRecordCount()))
        std::abort();
    return 0;
}
