#pragma once
// What trctool's card commands share: the --adapter option, a UiServices that
// answers the document's questions from the command line, and opening the
// adapter document as the desktop program does.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "adapter/MarloTrcDoc.h"
#include "tools/Commands.h"
#include "tools/Options.h"
#include "trace/UiServices.h"

namespace tools {

// Answers from options: the adapter named or numbered by --adapter (its name,
// or its index with or without leading zeros), the file given by -o. With
// several adapters and no --adapter, or one that names none of them, the
// list the selection dialog would show goes to standard error and the choice
// is cancelled.
class CommandLineUi : public trace::UiServices {
public:
    std::optional<std::string> adapter;        // NAME or INDEX
    std::optional<std::filesystem::path> saveFile;
    bool selectionRefused = false;             // set when the choice could not be made

    std::optional<std::filesystem::path> AskSaveFileName(const trace::FileDialogRequest& request) override;
    std::optional<std::filesystem::path> AskOpenFileName(const trace::FileDialogRequest& request) override;
    std::optional<int> SelectAdapter(const std::vector<std::string>& entries) override;
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void SetTraceStatusText(const std::string& /*text*/) override {}
};

// One opened adapter document for the life of a command; closes it at the end.
struct AdapterSession {
    explicit AdapterSession(const CommandContext& context) : responseTimeout(context.responseTimeout) {}

    std::optional<std::chrono::milliseconds> responseTimeout;  // nullopt: the document's own wait
    bool tracing = false;  // capture traces; the card commands need no trace log file
    std::filesystem::path traceLogFolder;  // where the trace log file is made (empty: the current folder)
    CommandLineUi ui;
    std::unique_ptr<adapter::CMarloTrcDoc> doc;
};

// The arguments the card commands do not take are "unknown argument"s.
constexpr OperandRules kCardCommand{0, {}, "unknown argument "};

// --adapter NAME|INDEX (also "--adapter=X"): the adapter the session opens.
Option AdapterOption(AdapterSession& session);

// Reads the arguments of a command that takes nothing but --adapter (and
// --help) and opens the session: nullopt when it is open, else the exit
// status to end with (OpenSession's, or the parser's).
std::optional<int> OpenAdapterOnlySession(const Command& self, std::span<char* const> args, AdapterSession& session);

// Opens the adapter and reads its configuration. Returns 0, or the exit
// status: 1 when the card could not be opened (an absent card says so after
// the library's code), 2 when no adapter was chosen among several or the one
// asked for does not exist.
int OpenSession(AdapterSession& session);

// Ends a command on an opened session: prints the error text, closes the
// adapter and returns the exit status: 1 when the card did not answer or
// refused a command (the error text is set, or the document closed itself
// after a time-out) or did not close cleanly (GSM Close unanswered or
// refused, Close or Unregister not completed), else 0.
int EndSession(AdapterSession& session, const std::string& errorText);

}  // namespace tools
