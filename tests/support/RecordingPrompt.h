#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/Prompt.h"

namespace lanscope::test {

// Records what the program wanted to tell the user and answers questions
// from a script (the question's default once the script runs out).
class RecordingPrompt : public Prompt {
  public:
    struct Shown {
        std::string text;
        std::string caption;
        PromptIcon icon;
    };

    void message(const std::string& text, const std::string& caption, PromptIcon icon) override {
        shown.push_back({text, caption, icon});
        if (whileShown) {
            whileShown();  // what arrives while a message box is up
        }
    }
    bool askYesNo(const std::string& text, const std::string& caption, bool defaultYes) override {
        shown.push_back({text, caption, PromptIcon::Question});
        if (answers.empty()) {
            return defaultYes;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<Shown> shown;
    std::function<void()> whileShown;
    std::deque<bool> answers;
};

}  // namespace lanscope::test
