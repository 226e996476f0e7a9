#pragma once
// Test support: UiServices answered from a script, recording every request.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "trace/UiServices.h"

namespace testsupport {

class ScriptedUi : public trace::UiServices {
public:
    // Answers for the next file dialogs (nullopt: the user cancels).
    std::deque<std::optional<std::filesystem::path>> fileAnswers;
    // Answers for the next adapter choices (nullopt: the user cancels).
    std::deque<std::optional<int>> adapterAnswers;

    std::vector<trace::FileDialogRequest> saveRequests;
    std::vector<trace::FileDialogRequest> openRequests;
    std::vector<std::vector<std::string>> adapterRequests;
    std::vector<std::string> statusTexts;
    std::vector<std::string> recentFiles;
    int waitCursorDepth = 0;
    int waitCursorShown = 0;

    std::optional<std::filesystem::path> AskSaveFileName(const trace::FileDialogRequest& request) override {
        saveRequests.push_back(request);
        return NextFile();
    }
    std::optional<std::filesystem::path> AskOpenFileName(const trace::FileDialogRequest& request) override {
        openRequests.push_back(request);
        return NextFile();
    }
    std::optional<int> SelectAdapter(const std::vector<std::string>& entries) override {
        adapterRequests.push_back(entries);
        if (adapterAnswers.empty()) return std::nullopt;
        const auto answer = adapterAnswers.front();
        adapterAnswers.pop_front();
        return answer;
    }
    void BeginWaitCursor() override {
        ++waitCursorDepth;
        ++waitCursorShown;
    }
    void EndWaitCursor() override { --waitCursorDepth; }
    void SetTraceStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void AddToRecentFiles(const std::string& name) override { recentFiles.push_back(name); }

private:
    std::optional<std::filesystem::path> NextFile() {
        if (fileAnswers.empty()) return std::nullopt;
        const auto answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
};

}  // namespace testsupport
