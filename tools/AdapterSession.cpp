#include "tools/AdapterSession.h"

#include <cstdio>

namespace tools {

namespace {

bool IsIndex(const std::string& text) {
    if (text.empty() || text.size() > 3) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

constexpr std::string_view kEntrySuffix = " - Inactive";

}  // namespace

std::optional<std::filesystem::path> CommandLineUi::AskSaveFileName(const trace::FileDialogRequest&) {
    return saveFile;
}

std::optional<std::filesystem::path> CommandLineUi::AskOpenFileName(const trace::FileDialogRequest&) {
    return std::nullopt;
}

std::optional<int> CommandLineUi::SelectAdapter(const std::vector<std::string>& entries) {
    if (adapter) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::string& entry = entries[i];
            const std::string name = entry.ends_with(kEntrySuffix)
                ? entry.substr(0, entry.size() - kEntrySuffix.size()) : entry;
            if (name == *adapter) return static_cast<int>(i);
        }
        // Entries list the adapters in index order (none is in use in trctool).
        if (IsIndex(*adapter) && std::stoul(*adapter) < entries.size()) return std::stoi(*adapter);
        std::fprintf(stderr, "trctool: no adapter %s; the adapters are:\n", adapter->c_str());
    } else {
        std::fprintf(stderr, "trctool: several adapters; choose one with --adapter NAME|INDEX:\n");
    }
    for (std::size_t i = 0; i < entries.size(); ++i) std::fprintf(stderr, "%zu %s\n", i, entries[i].c_str());
    selectionRefused = true;
    return std::nullopt;
}

bool TakeAdapterOption(std::vector<std::string>& args, std::optional<std::string>& adapter, std::string& problem) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--adapter") {
            if (i + 1 >= args.size()) {
                problem = "--adapter needs NAME or INDEX";
                return false;
            }
            adapter = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            --i;
        } else if (args[i].starts_with("--adapter=")) {
            adapter = args[i].substr(10);
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            --i;
        }
    }
    return true;
}

std::optional<int> TakeAdapterOnlyArguments(const Command& self, std::span<char* const> args, AdapterSession& session) {
    std::vector<std::string> rest(args.begin(), args.end());
    std::string problem;
    if (!TakeAdapterOption(rest, session.ui.adapter, problem)) return UsageError(self, problem);
    for (const std::string& arg : rest) {
        if (arg == "--help" || arg == "-h") return PrintCommandHelp(self);
        return UsageError(self, "unknown argument " + arg);
    }
    return std::nullopt;
}

int OpenSession(AdapterSession& session) {
    session.doc = std::make_unique<adapter::CMarloTrcDoc>(session.ui);
    session.doc->SetTraceLogFileWanted(session.tracing);
    std::string errorText;
    if (!session.doc->OpenAdapter(errorText)) {
        if (session.ui.selectionRefused) return 2;
        if (!errorText.empty()) std::fprintf(stderr, "trctool: %s\n", errorText.c_str());
        return 1;
    }
    // With a single adapter nothing is asked, so check a requested one here.
    if (session.ui.adapter && session.doc->AdapterCount() < 2) {
        const std::string name = session.doc->AdapterNames().empty() ? std::string() : session.doc->AdapterNames()[0];
        if (*session.ui.adapter != name && *session.ui.adapter != "0") {
            std::fprintf(stderr, "trctool: no adapter %s; the adapters are:\n0 %s - Inactive\n",
                         session.ui.adapter->c_str(), name.c_str());
            session.doc.reset();
            return 2;
        }
    }
    session.doc->ReadAdapterConfiguration();
    return 0;
}

int CommandStatus(const AdapterSession& session, bool wasOpen, const std::string& errorText) {
    if (!errorText.empty()) std::fprintf(stderr, "trctool: %s\n", errorText.c_str());
    if (!errorText.empty() || (wasOpen && !session.doc->IsOpened())) return 1;
    return 0;
}

}  // namespace tools
