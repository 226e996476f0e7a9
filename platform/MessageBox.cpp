#include "platform/MessageBox.h"

#include <cstdio>
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
    return request.buttons == MbButtons::Ok ? MbResult::Ok : MbResult::No;
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

RecordingMessageBox::RecordingMessageBox() {
    m_previous = SetMessageBoxHandler([this](const MessageBoxRequest& r) { return Handle(r); });
}

RecordingMessageBox::~RecordingMessageBox() { SetMessageBoxHandler(std::move(m_previous)); }

void RecordingMessageBox::ScriptAnswers(std::vector<MbResult> answers) {
    std::lock_guard lock(m_mutex);
    m_answers = std::move(answers);
}

std::vector<MessageBoxRequest> RecordingMessageBox::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> RecordingMessageBox::Texts() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& r : m_requests) texts.push_back(r.text);
    return texts;
}

void RecordingMessageBox::Clear() {
    std::lock_guard lock(m_mutex);
    m_requests.clear();
}

MbResult RecordingMessageBox::Handle(const MessageBoxRequest& request) {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
    if (request.buttons == MbButtons::Ok) return MbResult::Ok;
    if (m_answers.empty()) return MbResult::No;
    MbResult answer = m_answers.front();
    m_answers.erase(m_answers.begin());
    return answer;
}

}  // namespace platform
