// The extcap capture: the fifo is opened first (the analyser waits on it,
// and shows our message only once it was opened), then the adapter is
// checked and the terminal capture's session runs with a pcapng stream into
// the fifo as its output. SIGTERM from the analyser or a closed fifo ends
// the capture; the session then stops the trace and closes the adapter.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#include "platform/File.h"
#include "tools/AdapterSession.h"
#include "tools/CaptureSession.h"
#include "tools/Extcap.h"
#include "trace/RecordStream.h"
#include "trace/TraceLog.h"

namespace tools {

std::filesystem::path TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? std::filesystem::path(tmp) : std::filesystem::path("/tmp");
}

int RunExtcapCapture(const ExtcapRequest& request, const CommandContext& context) {
    // The analyser's SIGTERM must reach the capture loop, not end the
    // process: block it before the adapter listing starts the library's
    // threads, which inherit the mask (the session blocks the same set).
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    platform::UniqueFd fifo(::open(request.fifo.c_str(), O_WRONLY | O_CLOEXEC));
    if (!fifo) {
        std::fprintf(stderr, "trctool: cannot open %s: %s\n", request.fifo.c_str(), platform::ErrorText(errno).c_str());
        return 1;
    }
    const std::vector<std::string> adapters = ListAdapters();
    if (std::find(adapters.begin(), adapters.end(), request.interface) == adapters.end()) {
        std::string known;
        for (const std::string& a : adapters) known += (known.empty() ? "" : ", ") + a;
        std::fprintf(stderr, "trctool: the card has no adapter %s (%s)\n", request.interface.c_str(),
                     known.empty() ? "no card answers" : ("it has " + known).c_str());
        return 1;
    }
    trace::RecordStream stream(fifo.Get(), trace::StreamFormat::PcapNg, trace::LocalTraceDate(std::time(nullptr)));
    if (const int error = stream.Begin()) {
        std::fprintf(stderr, "trctool: cannot write to %s: %s\n", request.fifo.c_str(), platform::ErrorText(error).c_str());
        return 1;
    }
    AdapterSession adapter(context);
    adapter.ui.adapter = request.interface;
    adapter.traceLogFolder = TemporaryFolder();
    CaptureOptions options;
    options.count = request.count;
    options.quiet = true;
    CaptureSession session(std::move(options), adapter, [&stream](const trace::CTraceLog& log, int index) {
        return stream.Add(*log.GetRecord(index)) == 0;  // EPIPE: the analyser closed the fifo
    });
    return session.Run();
}

}  // namespace tools
