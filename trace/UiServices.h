#pragma once
// What the documents ask of the user interface: file dialogs, the adapter
// choice, the wait cursor and the trace status text. The desktop program
// implements it with Qt, trctool with its command-line options, tests with a
// script. Messages themselves go through platform::MessageBox. Called on the
// user-interface thread only.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace trace {

struct FileDialogRequest {
    std::string defaultExtension;   // "log", "txt"
    std::string initialName;        // proposed file name or path
    std::string filter;             // "Log files (*.log)|*.log|All files (*.*)|*.*||"
    bool confirmOverwrite = false;  // ask before replacing an existing file
};

class UiServices {
public:
    virtual ~UiServices() = default;

    // A name to save under, or nullopt when the user cancelled.
    virtual std::optional<std::filesystem::path> AskSaveFileName(const FileDialogRequest& request) = 0;
    // An existing file to open, or nullopt when the user cancelled.
    virtual std::optional<std::filesystem::path> AskOpenFileName(const FileDialogRequest& request) = 0;
    // The entry chosen among several adapters ("OrinBri2 - Inactive"), or
    // nullopt when the user cancelled.
    virtual std::optional<int> SelectAdapter(const std::vector<std::string>& entries) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // The trace status pane of the main window.
    virtual void SetTraceStatusText(const std::string& text) = 0;
    // A document opened under this name: the recent-file list may keep it.
    virtual void AddToRecentFiles(const std::string& /*name*/) {}
};

// The same filter text the program's dialogs use, in the pipe-separated form.
inline constexpr const char* kLogFileFilter = "Log files (*.log)|*.log|All files (*.*)|*.*||";
// What File > Open Log File offers: the program's own logs and the packet
// captures it reads as well, in the names their formats usually carry
// (pcap, pcapng, EyeSDN, i4btrace, DCT2000, ERF, K12, text traces of
// routers and testers), also compressed.
inline constexpr const char* kOpenFileFilter =
    "Trace logs (*.log)|*.log|"
    "Captures (*.pcap *.pcapng *.cap *.trc *.trace *.out *.erf *.rf5 *.txt *.gz *.zst *.lz4)|"
    "*.pcap;*.pcapng;*.cap;*.trc;*.trace;*.out;*.erf;*.rf5;*.txt;*.gz;*.zst;*.lz4|All files (*)|*||";

}  // namespace trace
