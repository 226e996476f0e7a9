#pragma once
// Modal messages to the user. Core code calls MessageBox(); what the user sees
// depends on the handler the program installed: a Qt dialog in the desktop
// program, a line on standard error in trctool, a recording in tests.
// Handlers may be called from any thread that calls MessageBox().

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// SaveDiscardCancel asks the same as YesNoCancel with buttons that name
// what they do: Save answers Yes, Discard No.
enum class MbButtons { Ok, YesNo, YesNoCancel, SaveDiscardCancel };
enum class MbResult { Ok, Yes, No, Cancel };
// A report of something done shows the information icon; a problem the warning.
enum class MbIcon { Warning, Information };

struct MessageBoxRequest {
    std::string text;
    std::string caption;  // empty: the program's own title
    MbButtons buttons = MbButtons::Ok;
    MbIcon icon = MbIcon::Warning;
};

using MessageBoxHandler = std::function<MbResult(const MessageBoxRequest&)>;

// Shows a message and returns the button chosen (Ok for an OK box).
MbResult MessageBox(std::string_view text, std::string_view caption = {},
                    MbButtons buttons = MbButtons::Ok);

// Tells the user that something was done (an OK box with the information icon).
void InformationBox(std::string_view text);

// Installs a handler and returns the one it replaces. An empty handler
// restores the standard error handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Writes the text to standard error, one message per line; answers No to a
// question, so nothing is kept or overwritten without a person saying so,
// and Cancel where the question offers it, so nothing is discarded either.
MbResult StderrMessageBox(const MessageBoxRequest& request);

}  // namespace platform
