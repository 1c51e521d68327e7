// Real copies of the program on one data folder: a launch with a file hands it to the copy
// running there and ends; a copy started beside it never takes the first copy's place.

#include <QProcess>
#include <QTest>
#include <string>

#include <gtest/gtest.h>

#include "corvane/files/workspace.h"
#include "corvane/ui/single_instance.h"
#include "temp_folder.h"

namespace corvane::ui {
namespace {

using corvane::testing::slurp;
using corvane::testing::TempFolder;

class HandOffTest : public ::testing::Test {
protected:
    HandOffTest() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CORVANE_DATA_FOLDER", QString::fromStdString(data.path().string()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        for (QProcess* p : {&first, &second}) {
            p->setProcessEnvironment(env);
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        }
    }
    ~HandOffTest() override {
        for (QProcess* p : {&first, &second}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(5000)) p->kill();
        }
    }

    std::filesystem::path composition_file(const char* name) {
        files::Workspace ws;
        ws.composition.Levels = 4;
        platform::RecordingReporter quiet;
        const auto path = home / name;
        EXPECT_TRUE(files::save_file(ws, path, files::SaveCommand::save_as, quiet));
        return path;
    }

    void start_first(const QStringList& arguments) {
        first.start(CORVANE_DESKTOP, arguments);
        ASSERT_TRUE(first.waitForStarted());
        const QString name = instance_server_name(data.path());
        ASSERT_TRUE(QTest::qWaitFor([&] { return running_copy_found(name); }, 15000));
        QTest::qWait(300);  // the start file is opened once the window runs
    }

    // Ends the first copy as a close would, and gives the configuration it saved.
    std::string first_configuration_at_exit() {
        first.terminate();
        EXPECT_TRUE(first.waitForFinished(10000));
        return slurp(data / "Corvane.ini");
    }

    TempFolder data;
    TempFolder home;
    QProcess first;
    QProcess second;
};

TEST_F(HandOffTest, SecondCopyEndsAtOnceWhenTheFirstTakesTheFile) {
    const auto tune = composition_file("handed.cv");
    start_first({});
    second.start(CORVANE_DESKTOP, {QString::fromStdString(tune.string())});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(slurp(data / "association.ini"), tune.string() + "\r\n");
    EXPECT_EQ(first.state(), QProcess::Running);
    QTest::qWait(300);
    EXPECT_NE(first_configuration_at_exit().find("File= " + tune.string()), std::string::npos);
}

// A copy started beside the first, with no file, never takes its place; a file launched
// later still goes to the first copy, though it has unsaved changes (opening a Scala scale
// changes the composition without saving it) and asks about them before it opens the file.
TEST_F(HandOffTest, ACopyStartedBesideTheFirstLeavesItReachableEvenWithUnsavedChanges) {
    std::ofstream(home / "fifths.scl") << "! fifths.scl\r\nFifths\r\n 2\r\n 3/2\r\n 2/1\r\n";
    start_first({QString::fromStdString((home / "fifths.scl").string())});
    second.start(CORVANE_DESKTOP, {});  // no file: a copy of its own
    ASSERT_TRUE(second.waitForStarted());
    QTest::qWait(1500);
    second.terminate();
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_TRUE(running_copy_found(instance_server_name(data.path())));

    const auto tune = composition_file("later.cv");
    QProcess third;
    third.setProcessEnvironment(first.processEnvironment());
    third.start(CORVANE_DESKTOP, {QString::fromStdString(tune.string())});
    ASSERT_TRUE(third.waitForFinished(10000));  // taken by the first copy
    EXPECT_EQ(third.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();  // it asks about its unsaved changes now
}

}  // namespace
}  // namespace corvane::ui
