// Questions that worker threads ask: shown on the window thread while the worker waits,
// and answered No once the windows have closed.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "corvane/ui/qt_reporter.h"

namespace corvane::ui {
namespace {

using platform::Answer;

TEST(QtReporterTest, AWorkersQuestionIsAskedOnTheWindowThreadAndWaitsForTheAnswer) {
    QtReporter reporter;
    QString asked;
    QString caption;
    QTimer::singleShot(200, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        asked = box->text();
        caption = box->windowTitle();
        box->button(QMessageBox::Yes)->click();
    });
    std::atomic<int> answered{-1};
    std::thread worker([&] { answered = reporter.ask_yes_no("Replace the list?", "List of Scales") == Answer::yes; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answered.load() != -1; }, 5000));
    worker.join();
    EXPECT_EQ(answered.load(), 1);
    EXPECT_EQ(asked, "Replace the list?");
    EXPECT_EQ(caption, "List of Scales");
}

TEST(QtReporterTest, OnceTheWindowsHaveClosedAWorkersQuestionIsAnsweredNo) {
    QtReporter reporter;
    reporter.close_questions();
    Answer answer = Answer::yes;
    std::thread worker([&] { answer = reporter.ask_yes_no("Replace the list?", "List of Scales"); });
    worker.join();  // no event is processed meanwhile
    EXPECT_EQ(answer, Answer::no);
    QCoreApplication::processEvents();  // the posted question shows nothing now
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace corvane::ui
