#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane::platform {

enum class Answer { yes, no };
// What to do with unsaved work before it would be replaced.
enum class SaveChoice { save, discard, cancel };

// Where the system tells the user about failures and asks its questions:
// dialogs in the desktop program, the terminal in the CLI, a recorder in tests.
class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void report(std::string_view message, std::string_view caption) = 0;
    virtual Answer ask_yes_no(std::string_view question, std::string_view caption) = 0;
    // Save, Discard or Cancel; where only yes and no can be answered, yes saves.
    virtual SaveChoice ask_save_discard_cancel(std::string_view question, std::string_view caption) {
        return ask_yes_no(question, caption) == Answer::yes ? SaveChoice::save : SaveChoice::discard;
    }
};

// Keeps every message and answers every question with a fixed answer.
class RecordingReporter final : public Reporter {
public:
    struct Entry {
        std::string message;
        std::string caption;
        bool was_question = false;
    };

    explicit RecordingReporter(Answer answer = Answer::yes) : answer_(answer) {}

    void report(std::string_view message, std::string_view caption) override {
        entries_.push_back({std::string(message), std::string(caption), false});
    }
    Answer ask_yes_no(std::string_view question, std::string_view caption) override {
        entries_.push_back({std::string(question), std::string(caption), true});
        return answer_;
    }

    const std::vector<Entry>& entries() const { return entries_; }
    void clear() { entries_.clear(); }

private:
    Answer answer_;
    std::vector<Entry> entries_;
};

}  // namespace corvane::platform
