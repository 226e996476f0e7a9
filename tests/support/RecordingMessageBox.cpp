#include "tests/support/RecordingMessageBox.h"

#include <utility>

namespace testsupport {

using platform::MbButtons;
using platform::MbResult;
using platform::MessageBoxRequest;

RecordingMessageBox::RecordingMessageBox() {
    m_previous = platform::SetMessageBoxHandler([this](const MessageBoxRequest& r) { return Handle(r); });
}

RecordingMessageBox::~RecordingMessageBox() { platform::SetMessageBoxHandler(std::move(m_previous)); }

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

}  // namespace testsupport
