#include "platform/MessageBox.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace platform {
namespace {

std::mutex g_handlerMutex;
MessageBoxHandler g_handler;  // empty: standard error

}  // namespace

MbResult StderrMessageBox(const MessageBoxRequest& request) {
    std::string line = request.text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    switch (request.buttons) {
    case MbButtons::Ok: return MbResult::Ok;
    case MbButtons::YesNo: return MbResult::No;
    case MbButtons::YesNoCancel:
    case MbButtons::SaveDiscardCancel: return MbResult::Cancel;
    }
    return MbResult::Cancel;
}

MbResult MessageBox(std::string_view text, std::string_view caption, MbButtons buttons) {
    MessageBoxHandler handler;
    {
        std::lock_guard lock(g_handlerMutex);
        handler = g_handler;  // called outside the lock: a handler may block for long
    }
    MessageBoxRequest request{std::string(text), std::string(caption), buttons, MbIcon::Warning};
    return handler ? handler(request) : StderrMessageBox(request);
}

void InformationBox(std::string_view text) {
    MessageBoxHandler handler;
    {
        std::lock_guard lock(g_handlerMutex);
        handler = g_handler;
    }
    const MessageBoxRequest request{std::string(text), {}, MbButtons::Ok, MbIcon::Information};
    handler ? handler(request) : StderrMessageBox(request);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lock(g_handlerMutex);
    return std::exchange(g_handler, std::move(handler));
}

}  // namespace platform
