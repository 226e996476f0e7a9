// Fuzz target for the trace log loader: the input is a whole trace log file.
// Every loaded record is read through every accessor of the CTraceLog, its
// hex dump made and its decode tree built. The file is loaded a second time
// in steps of a few records, as a window loads a large log, and must give
// the same answer and the same records.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz/ScratchFile.h"
#include "platform/MessageBox.h"
#include "trace/DecodeTree.h"
#include "trace/TraceLog.h"

// Keeps the formatted texts observable, so none of the work is dropped.
volatile std::size_t g_sink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        // Loader messages are expected for most inputs; keep them off the terminal.
        platform::SetMessageBoxHandler([](const platform::MessageBoxRequest&) { return platform::MbResult::Ok; });
        return true;
    }();
    (void)quiet;

    const std::filesystem::path& path = fuzz::ScratchFile(data, size);

    trace::CTraceLog log;
    const int whole = log.LoadFile(path);
    std::size_t total = 0;
    for (int i = 0; i <= log.GetRecordCount(); ++i) {  // one past the end on purpose
        std::string dump;
        log.FormatHexDump(dump, i);
        total += dump.size() + log.GetMnemonic(i).size() + log.GetSource(i).size() + log.GetAddress(i).size();
        total += log.GetFrameType(i).size() + log.GetPollFinal(i).size() + log.GetNS(i).size();
        total += log.GetNR(i).size() + log.GetCallReference(i).size() + log.GetMessage(i).size();
        const int count = log.GetItemCount(i);
        if (count > 0 && !log.HasLayer3(i)) std::abort();
        if (log.GetItem(i, count)) std::abort();
        trace::VisitPreOrder(trace::BuildDecodeTree(log, i),
                             [&](const trace::DecodeNode& node, int) { total += node.label.size(); });
    }
    g_sink = total;

    // Steps of 1 to 8 records, chosen by the input's size.
    const int step = static_cast<int>(size % 8) + 1;
    trace::CTraceLog stepped;
    int answer = stepped.BeginLoad(path, nullptr, step);
    while (answer == trace::CTraceLog::kLoadGoesOn) answer = stepped.LoadMore(step);
    if (answer != whole || stepped.GetRecordCount() != log.GetRecordCount() || stepped.IsLoading()) std::abort();
    for (int i = 0; i < log.GetRecordCount(); ++i) {
        const auto a = log.GetRecord(i);
        const auto b = stepped.GetRecord(i);
        const auto da = a->GetData();
        const auto db = b->GetData();
        if (a->GetSequence() != b->GetSequence() || da.size() != db.size() ||
            !std::equal(da.begin(), da.end(), db.begin()))
            std::abort();
    }
    return 0;
}
