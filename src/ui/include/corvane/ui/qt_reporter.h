#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>

#include "corvane/platform/reporter.h"

namespace corvane::ui {

// Message boxes over the main window. Questions have Yes and No, No the default, and stay
// on top of every window. From a worker thread a report is posted to the window's thread,
// and a question is asked there while the worker waits for the answer; once the windows
// have closed, a worker's question is answered No. Unsaved work is asked about with Save,
// Discard and Cancel.
class QtReporter final : public platform::Reporter {
public:
    void set_parent(QWidget* parent) { parent_ = parent; }
    // The message loop has ended: nobody is left to answer.
    void close_questions() { closed_.store(true); }

    void report(std::string_view message, std::string_view caption) override;
    platform::Answer ask_yes_no(std::string_view question, std::string_view caption) override;
    // Asked on the window's thread only: Save is the default, Escape cancels.
    platform::SaveChoice ask_save_discard_cancel(std::string_view question, std::string_view caption) override;

private:
    platform::Answer ask_from_worker(std::string_view question, std::string_view caption);

    QPointer<QWidget> parent_;
    std::atomic<bool> closed_{false};
};

}  // namespace corvane::ui
