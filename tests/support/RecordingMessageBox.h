#pragma once
// Test support: a message box handler that installs itself for its lifetime,
// records every request and answers questions from a script (No when the
// script runs out, as the standard error handler does).

#include <mutex>
#include <string>
#include <vector>

#include "platform/MessageBox.h"

namespace testsupport {

class RecordingMessageBox {
public:
    RecordingMessageBox();
    ~RecordingMessageBox();
    RecordingMessageBox(const RecordingMessageBox&) = delete;
    RecordingMessageBox& operator=(const RecordingMessageBox&) = delete;

    void ScriptAnswers(std::vector<platform::MbResult> answers);
    std::vector<platform::MessageBoxRequest> Requests() const;
    std::vector<std::string> Texts() const;
    void Clear();

private:
    platform::MbResult Handle(const platform::MessageBoxRequest& request);

    mutable std::mutex m_mutex;
    std::vector<platform::MessageBoxRequest> m_requests;
    std::vector<platform::MbResult> m_answers;
    platform::MessageBoxHandler m_previous;
};

}  // namespace testsupport
