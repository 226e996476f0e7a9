#include "tools/AdapterSession.h"

#include <cstdio>

#include "trace/RecordPrinter.h"

namespace tools {

namespace {

constexpr std::string_view kEntrySuffix = " - Inactive";

// The adapter --adapter names: its name as registration reports it, or its
// index in decimal (leading zeros allowed), whatever the number of adapters.
std::optional<std::size_t> MatchAdapter(const std::string& wanted, const std::vector<std::string>& names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == wanted) return i;
    }
    if (wanted.empty() || wanted.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    const std::size_t digits = wanted.find_first_not_of('0');
    const std::string number = digits == std::string::npos ? "0" : wanted.substr(digits);
    if (number.size() > 3) return std::nullopt;  // no card has a thousand adapters
    const std::size_t index = std::stoul(number);
    if (index >= names.size()) return std::nullopt;
    return index;
}

std::string EntryName(const std::string& entry) {
    return entry.ends_with(kEntrySuffix) ? entry.substr(0, entry.size() - kEntrySuffix.size()) : entry;
}

void PrintAdapterList(const std::vector<std::string>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) std::fprintf(stderr, "%zu %s\n", i, entries[i].c_str());
}

void PrintNoSuchAdapter(const std::string& adapter, const std::vector<std::string>& entries) {
    std::fprintf(stderr,
                 "trctool: no adapter \"%s\": --adapter takes an adapter's name or its index "
                 "(0, 1, ...; leading zeros allowed); the adapters are:\n",
                 trace::EscapeCell(adapter).c_str());
    PrintAdapterList(entries);
}

}  // namespace

std::optional<std::filesystem::path> CommandLineUi::AskSaveFileName(const trace::FileDialogRequest&) {
    return saveFile;
}

std::optional<std::filesystem::path> CommandLineUi::AskOpenFileName(const trace::FileDialogRequest&) {
    return std::nullopt;
}

std::optional<int> CommandLineUi::SelectAdapter(const std::vector<std::string>& entries) {
    if (adapter) {
        // Entries list the adapters in index order (none is in use in trctool).
        std::vector<std::string> names;
        for (const std::string& entry : entries) names.push_back(EntryName(entry));
        if (const auto index = MatchAdapter(*adapter, names)) return static_cast<int>(*index);
        PrintNoSuchAdapter(*adapter, entries);
    } else {
        std::fprintf(stderr, "trctool: several adapters; choose one with --adapter NAME|INDEX:\n");
        PrintAdapterList(entries);
    }
    selectionRefused = true;
    return std::nullopt;
}

Option AdapterOption(AdapterSession& session) {
    return {"--adapter", {}, "NAME|INDEX", "the adapter, by its name or its index (0, 1, ...)",
            SetText(session.ui.adapter), "--adapter needs NAME or INDEX"};
}

std::optional<int> OpenAdapterOnlySession(const Command& self, std::span<char* const> args, AdapterSession& session) {
    const Option table[] = {AdapterOption(session)};
    if (const auto done = ParseArguments(self, table, kCardCommand, args).exitStatus) return done;
    if (const int status = OpenSession(session)) return status;
    return std::nullopt;
}

int OpenSession(AdapterSession& session) {
    session.doc = std::make_unique<adapter::CMarloTrcDoc>(
        session.ui, session.responseTimeout.value_or(adapter::kResponseTimeout));
    session.doc->SetTraceLogFileWanted(session.tracing);
    session.doc->SetTraceLogFolder(session.traceLogFolder);
    std::string errorText;
    if (!session.doc->OpenAdapter(errorText)) {
        if (session.ui.selectionRefused) return 2;
        if (!errorText.empty()) std::fprintf(stderr, "trctool: %s\n", adapter::ExplainOpenFailure(errorText).c_str());
        return 1;
    }
    // With a single adapter nothing is asked, so check a requested one here.
    const std::vector<std::string> names = session.doc->AdapterNames();
    if (session.ui.adapter && session.doc->AdapterCount() < 2 && !MatchAdapter(*session.ui.adapter, names)) {
        std::vector<std::string> entries;
        for (const std::string& name : names) entries.push_back(name + std::string(kEntrySuffix));
        PrintNoSuchAdapter(*session.ui.adapter, entries);
        session.doc.reset();
        return 2;
    }
    session.doc->ReadAdapterConfiguration();
    return 0;
}

int EndSession(AdapterSession& session, const std::string& errorText) {
    if (!errorText.empty()) std::fprintf(stderr, "trctool: %s\n", errorText.c_str());
    // A command whose answer did not come has closed the adapter already.
    bool failed = !errorText.empty() || !session.doc->IsOpened();
    if (session.doc->IsOpened()) {
        std::string ignored;
        if (!session.doc->CloseAdapter(ignored)) {
            std::fprintf(stderr, "trctool: the adapter did not close cleanly\n");
            failed = true;
        }
    }
    return failed ? 1 : 0;
}

}  // namespace tools
