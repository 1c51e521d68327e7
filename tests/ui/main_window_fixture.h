#pragma once

// The main window on the offscreen platform, started on a temporary data folder with a
// recording output device and an injected MIDI input, for the window suites.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <fstream>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>
#include <mutex>

#include <gtest/gtest.h>

#include "corvane/platform/data_folder.h"
#include "corvane/platform/injected_input.h"
#include "corvane/platform/recording_output.h"
#include "corvane/ui/main_window.h"
#include "corvane/ui/stored_values.h"
#include "temp_folder.h"
#include "midi/smf_reader.h"

QT_BEGIN_NAMESPACE
// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace corvane::ui::window_testing {

using corvane::testing::slurp;
using corvane::testing::TempFolder;
using platform::Answer;

// A reporter whose answer the test can change; workers may report too.
class AnsweringReporter final : public platform::Reporter {
public:
    std::atomic<Answer> answer{Answer::yes};
    std::atomic<platform::SaveChoice> save_choice{platform::SaveChoice::cancel};

    void report(std::string_view message, std::string_view caption) override {
        const std::lock_guard lock(lock_);
        said_.report(message, caption);
    }
    Answer ask_yes_no(std::string_view question, std::string_view caption) override {
        const std::lock_guard lock(lock_);
        said_.ask_yes_no(question, caption);
        return answer.load();
    }
    platform::SaveChoice ask_save_discard_cancel(std::string_view question, std::string_view caption) override {
        const std::lock_guard lock(lock_);
        said_.ask_yes_no(question, caption);
        return save_choice.load();
    }
    std::vector<platform::RecordingReporter::Entry> entries() const {
        const std::lock_guard lock(lock_);
        return said_.entries();
    }
    bool said(std::string_view message) const {
        const auto all = entries();
        return std::any_of(all.begin(), all.end(), [&](const auto& e) { return e.message == message; });
    }

private:
    mutable std::mutex lock_;
    platform::RecordingReporter said_{Answer::yes};
};

// The home folder is the temporary folder while a test runs: recordings and MIDI files of a
// composition without a file go there.
class AtHome {
public:
    explicit AtHome(const std::filesystem::path& folder) : old_(qgetenv("HOME")) {
        qputenv("HOME", QByteArray::fromStdString(folder.string()));
    }
    ~AtHome() { qputenv("HOME", old_); }
    AtHome(const AtHome&) = delete;
    AtHome& operator=(const AtHome&) = delete;

private:
    QByteArray old_;
};

class MainWindowTest : public ::testing::Test {
protected:
    void start(StartUp start_up = {}) {
        prepare_data_folder();
        context = std::make_unique<ProgramContext>(folder.path(), outputs, inputs, reporter);
        window = std::make_unique<MainWindow>(*context, store);
        window->initialise(start_up);
        window->show();
        QCoreApplication::processEvents();
    }
    void prepare_data_folder() {
        ASSERT_EQ(platform::prepare_data_folder(folder.path(), std::filesystem::path(CORVANE_SOURCE_DIR) / "data"), "");
    }
    // Starts on a configuration file holding the one item given.
    void start_configured(const std::string& line) {
        prepare_data_folder();
        std::ofstream(folder / "Corvane.ini") << line << "\r\n";
        start();
    }
    void open_midi_in() {
        item("&In", "open_midi_in_now")->trigger();
        ASSERT_TRUE(inputs.is_open());
    }
    // A MIDI file save long enough to be running whatever the test does meanwhile.
    void start_long_midi_save() {
        context->settings().midi_file_play_mins = 600;
        ASSERT_TRUE(context->start_midi_save(folder / "long.mid"));
    }
    // Opens the window of a code and finds it by its object name.
    template <class T>
    T* open_window(char code, const char* name) {
        EXPECT_TRUE(window->open_window(code)) << code;
        T* opened = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(opened, nullptr) << name;
        return opened;
    }
    // A value the program keeps in its settings store, as written there.
    QString stored(const char* key) const {
        const QSettings written(QString::fromStdString((folder / "stored.ini").string()), QSettings::IniFormat);
        return written.value(QStringLiteral("Version " CORVANE_VERSION "/") + QLatin1String(key)).toString();
    }
    int note_ons() const {
        const auto all = outputs.messages();
        return static_cast<int>(std::count_if(all.begin(), all.end(), [](const platform::RecordedMessage& m) {
            return (m.message & 0xF0) == 0x90 && ((m.message >> 16) & 0x7F) > 0;
        }));
    }
    void TearDown() override {
        window.reset();
        context.reset();
    }

    template <class T>
    T* find(const char* name) const {
        T* widget = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text(const char* name) const { return find<QLineEdit>(name)->text(); }
    // Types over a field's (or a spin box's) text as the user does, and presses Return.
    template <class Field>
    static void type_into(Field* edit, const QString& typed) {
        edit->setFocus();
        edit->selectAll();
        if (typed.isEmpty()) QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    void type_into(const char* name, const QString& typed) { type_into(find<QLineEdit>(name), typed); }
    void click(const char* name) { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }

    // A composition of the seed's digits (the New one's seed when empty) to `levels`, saved in
    // the test folder under `name`.
    std::filesystem::path saved_composition(const std::string& seed, int levels,
                                            const std::string& name = "my tune.cv") {
        files::Workspace ws;
        if (!seed.empty()) ws.composition.Note_heights.clear();
        for (const char c : seed) {
            if (c != ' ') ws.composition.Note_heights.push_back(c - '0');
        }
        ws.composition.Levels = levels;
        const auto path = folder / name;
        platform::RecordingReporter quiet;
        EXPECT_TRUE(files::save_file(ws, path, files::SaveCommand::save_as, quiet));
        return path;
    }

    QMenu* menu(const QString& title) const {
        for (QAction* action : window->menuBar()->actions()) {
            if (action->text() == title) return action->menu();
        }
        return nullptr;
    }
    // A menu item by its object name (see item_name in menu_bar.cpp), in the menu or its submenus.
    QAction* item(const QString& title, const QString& name) const {
        QMenu* m = menu(title);
        QAction* found = m != nullptr ? m->findChild<QAction*>(name) : nullptr;
        EXPECT_NE(found, nullptr) << title.toStdString() << " > " << name.toStdString();
        return found;
    }

    TempFolder folder;
    AtHome at_home{folder.path()};
    platform::SteadyClock clock;
    platform::RecordingOutputSystem outputs{clock};
    platform::InjectedInputSystem inputs;
    AnsweringReporter reporter;
    QSettings store{QString::fromStdString((folder / "stored.ini").string()), QSettings::IniFormat};
    std::unique_ptr<ProgramContext> context;
    std::unique_ptr<MainWindow> window;
};

// A test's name for a window code: the code and the window's name, letters and digits only.
inline std::string window_code_test_name(const ::testing::TestParamInfo<char>& info) {
    std::string name(1, info.param);
    name += '_';
    for (const char c : kWindowNames[*window_code_index(info.param)]) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) name += c;
    }
    return name;
}

}  // namespace corvane::ui::window_testing
