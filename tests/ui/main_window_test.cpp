// The main window on the offscreen platform: start-up, fields, arrows, Ctrl+S, the menus,
// play into a recording device, a MIDI file saved from its dialog, and the exit.

#include <map>

#include <QCheckBox>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>

#include "expected_output.h"
#include "main_window_fixture.h"
#include "corvane/tuning/temperament.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;
using corvane::testing::slurp;
using platform::Answer;

TEST_F(MainWindowTest, StartsWithTheNewCompositionAndItsFieldsKeepTheirLimits) {
    start();
    EXPECT_EQ(window->windowTitle(), "Corvane - first tune (new file)");
    EXPECT_EQ(find<QComboBox>("seed")->currentText(), "0 1 0");
    const std::pair<const char*, const char*> fields[] = {
        {"levels", "10"},         {"note_length", "0.125"},         {"sustain", "1"},
        {"channels_in_play", "1"}, {"arpeggio", "0 2 4 7 9 12"},     {"arpeggio_title", "Pentatonic"},
        {"scale_title", "Equal Temperament (M)"}, {"lowest_frequency", "261.6255653"}};
    for (const auto& [name, shown] : fields) EXPECT_EQ(text(name), shown) << name;
    EXPECT_EQ(find<QComboBox>("order_of_play")->currentText(), "By Level");

    // The arrows step the fields, and a field keeps within its limits.
    click("note_length_arrows_up");
    EXPECT_EQ(text("note_length"), "0.1767766953");
    click("note_length_arrows_down");
    click("note_length_arrows_down");
    EXPECT_EQ(text("note_length"), "0.08838834765");
    click("channels_arrows_down");
    EXPECT_EQ(text("channels_in_play"), "1");
    for (int i = 0; i < 17; ++i) click("channels_arrows_up");
    EXPECT_EQ(text("channels_in_play"), "16");
    EXPECT_TRUE(reporter.entries().empty());
    type_into("levels", "35");
    EXPECT_EQ(text("levels"), "29");
    EXPECT_TRUE(reporter.said("Maximum of 30 levels"));
    type_into("note_length", "1/4");
    EXPECT_EQ(text("note_length"), "1/4");  // what was typed stays as typed
    EXPECT_EQ(context->composition().Note_length, 0.25);
}

TEST_F(MainWindowTest, WindowsOfTheStartUpOccasionOpenOnlyWithoutAFile) {
    StoredValues values;
    values.window_codes.occasions[kStartUpOccasion] = read_window_codes("Mzq");
    values.window_codes.occasions[0] = read_window_codes("N");  // on opening a composition
    write_stored_values(store, values);
    start({.started_with_file = true});
    QCoreApplication::processEvents();
    EXPECT_EQ(window->midi_file_dialog(), nullptr);
    TearDown();
    start();
    QCoreApplication::processEvents();
    ASSERT_NE(window->midi_file_dialog(), nullptr);
    EXPECT_TRUE(window->midi_file_dialog()->isVisible());
    EXPECT_EQ(window->findChild<QWidget*>("channels_dialog"), nullptr);
    window->open_file(saved_composition("0 1", 2));
    QCoreApplication::processEvents();
    EXPECT_TRUE(find<QWidget>("channels_dialog")->isVisible());
}

// Tabbing through every field, and opening and closing a menu, changes nothing: no field is
// read back unless it was typed in. Tab goes from field to field, never to the spin arrows,
// which are clicked.
TEST_F(MainWindowTest, TabbingThroughTheFieldsChangesNothing) {
    files::Workspace ws;
    engine::set_intervals(ws.composition, tuning::make_equal_temperament(19).entries);
    const auto path = folder / "nineteen.cv";
    platform::RecordingReporter quiet;
    ASSERT_TRUE(files::save_file(ws, path, files::SaveCommand::save_as, quiet));
    start({.started_with_file = true});
    window->open_file(path);
    ASSERT_FALSE(context->settings().needs_save);
    const auto intervals = context->composition().Intervals;
    find<QLineEdit>("levels")->setFocus();
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(qobject_cast<QToolButton*>(QApplication::focusWidget()), nullptr) << i;
    }
    QTest::keyClick(window.get(), Qt::Key_F, Qt::AltModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_FALSE(context->settings().needs_save);
    EXPECT_FALSE(window->windowTitle().contains('*')) << window->windowTitle().toStdString();
    EXPECT_EQ(context->composition().Intervals, intervals);
}

// The lists show the entry holding the composition's scale and arpeggio, or none, whatever
// was chosen in them before. A typo is refused whole: the scale stays, the field keeps the
// text, marked, and the message names what could not be read.
TEST_F(MainWindowTest, TheListsFollowTheScaleAndATypoLeavesTheScale) {
    start();
    auto* scales = find<QComboBox>("scales");
    auto* modes = find<QComboBox>("modes");
    EXPECT_EQ(scales->currentText(), "Equal Temperament (M)");
    EXPECT_EQ(modes->currentText(), "Pentatonic");
    type_into("arpeggio", "0 1 5");
    EXPECT_EQ(modes->currentIndex(), -1);
    type_into("arpeggio", "0 4 7 12");
    EXPECT_EQ(modes->currentText(), "Major chord");

    const int nineteen = scales->findText("19-tone equal temperament (M)");
    ASSERT_GE(nineteen, 0);
    scales->activated(nineteen);
    EXPECT_EQ(scales->currentText(), "19-tone equal temperament (M)");
    reporter.save_choice = platform::SaveChoice::discard;
    item("&File", "new")->trigger();  // the twelve-tone scale again
    EXPECT_EQ(scales->currentText(), "Equal Temperament (M)");
    type_into("scale", "1 9/8 5/4");
    EXPECT_EQ(scales->currentIndex(), -1);

    // A scale saved and read back keeps its entry, though its numbers lost their last digits.
    type_into("scale", "1 n(1/19)");
    EXPECT_EQ(scales->currentText(), "19-tone equal temperament (M)");

    type_into("scale", "1 9/8 5/4 4/3 3/2 5/3 15/8 2");
    const auto just = context->composition().Intervals;
    type_into("scale", "1 9/8 5/4 4/e 3/2 5/3 15/8 2");
    EXPECT_EQ(context->composition().Intervals, just);
    EXPECT_EQ(text("scale"), "1 9/8 5/4 4/e 3/2 5/3 15/8 2");
    EXPECT_TRUE(find<QLineEdit>("scale")->property("refused").toBool());
    EXPECT_TRUE(reporter.said("\"4/e\" is not a pitch, so the scale is left as it was."));
    type_into("scale", "1 9/8 5/4 4/3 3/2 5/3 15/8 2");
    EXPECT_FALSE(find<QLineEdit>("scale")->property("refused").toBool());
    type_into("lowest_frequency", "1e300");
    EXPECT_NEAR(context->composition().Frequency_of_lowest_note, 261.6256, 1e-3);
}

// A file opened at start fills the fields and the title; Ctrl+S asks before replacing it.
TEST_F(MainWindowTest, CtrlSAsksBeforeReplacingAndNewOpenAndExitBeforeChangesGo) {
    const auto path = saved_composition("0 2 1", 5);
    start({.started_with_file = true});
    window->open_file(path);
    EXPECT_EQ(window->windowTitle(), "my tune - Corvane");
    EXPECT_EQ(find<QComboBox>("seed")->currentText(), "0 2 1");
    EXPECT_EQ(text("levels"), "5");
    type_into("levels", "6");
    reporter.answer = Answer::no;  // the file stays as it was (SaveFile.SavingOntoAnExistingFileAsksFirst)
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_TRUE(reporter.entries()[0].message.starts_with("Replace old version of \"my tune.cv\"?"));
    EXPECT_EQ(window->windowTitle(), "my tune* - Corvane");
    reporter.answer = Answer::yes;
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_NE(slurp(path).find("Levels 6"), std::string::npos);
    EXPECT_EQ(window->windowTitle(), "my tune - Corvane");

    // New, Open and Exit ask before unsaved changes go.
    type_into("levels", "4");
    reporter.save_choice = platform::SaveChoice::cancel;
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(reporter.said("The composition \"my tune\" has changes that are not saved.\n\nSave them first?"));
    EXPECT_EQ(context->composition().Levels, 4);
    window->open_file(path);
    EXPECT_EQ(context->composition().Levels, 4);
    EXPECT_FALSE(window->exit_program());
    EXPECT_EQ(context->composition().Levels, 4);

    reporter.save_choice = platform::SaveChoice::save;  // saved to its file, then opened again
    window->open_file(path);
    EXPECT_NE(slurp(path).find("Levels 4"), std::string::npos);
    EXPECT_EQ(context->composition().Levels, 4);
    EXPECT_FALSE(context->settings().needs_save);

    type_into("levels", "3");
    reporter.save_choice = platform::SaveChoice::discard;
    item("&File", "new")->trigger();
    EXPECT_EQ(context->composition().Levels, engine::Composition{}.Levels);
    EXPECT_NE(slurp(path).find("Levels 4"), std::string::npos);
}

// Every item of the given menus, one a line: its text or "-", its shortcuts, "[x]" or "[ ]"
// when it can be ticked, and "(disabled)"; a submenu's items indented under it.
QString menu_text(const QList<QAction*>& actions, int depth = 0) {
    QString out;
    for (const QAction* action : actions) {
        QString line = QString(2 * depth, QLatin1Char(' '));
        line += action->isSeparator() ? QStringLiteral("-") : action->text();
        for (const QKeySequence& keys : action->shortcuts()) line += QLatin1Char('\t') + keys.toString();
        if (action->isCheckable()) line += action->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]");
        if (!action->isEnabled()) line += QStringLiteral(" (disabled)");
        out += line + QLatin1Char('\n');
        if (action->menu() != nullptr) out += menu_text(action->menu()->actions(), depth + 1);
    }
    return out;
}

// The items of a choice are in an exclusive group: the one ticked is checked here, that the
// others lose their ticks is Qt's.
TEST_F(MainWindowTest, MenusAsTheTableHasThemWithTicksMirroringSettings) {
    start();
    // menus.txt: the whole menu bar as the program starts, the Voice menu ticking the flute
    // (73), the standard shortcuts and each window's Alt letter in the Windows menu.
    corvane::testing::expect_output_as_kept(menu_text(window->menuBar()->actions()).toStdString(),
                                            "ui/expected/menus.txt");
    item("&File", "scales_options")->trigger();
    EXPECT_TRUE(find<QDialog>("scales_options")->isVisible());

    QAction* replace = item("&File", "replace_old_warning");
    replace->trigger();
    EXPECT_FALSE(context->settings().replace_old_warning);
    EXPECT_FALSE(replace->isChecked());

    item("&Out", "device_0")->trigger();
    EXPECT_EQ(context->playback().port().device(), 0);
    EXPECT_TRUE(item("&Out", "device_0")->isChecked());
    item("&Out", "open_midi_out_now")->trigger();
    EXPECT_TRUE(context->playback().port().is_open());
    EXPECT_EQ(item("&Out", "open_midi_out_now")->text(), "&Close MIDI out now");
    item("&Out", "tuning_output_mts")->trigger();
    EXPECT_EQ(context->settings().voices.tuning_output, engine::TuningOutput::mts);
    EXPECT_TRUE(item("&Out", "tuning_output_mts")->isChecked());
    item("&Out", "device_0")->trigger();  // a device chosen keeps the tuning output's tick
    EXPECT_TRUE(item("&Out", "tuning_output_mts")->isChecked());
    item("&Out", "latency_3")->trigger();  // two periods at start (menus.txt)
    EXPECT_EQ(context->settings().output_latency_periods, 3);
    EXPECT_EQ(context->playback().port().latency_periods(), 3);
    EXPECT_TRUE(item("&Out", "latency_3")->isChecked());
    EXPECT_EQ(item("&Out", "output_latency")->text(), "Output &latency: 3 periods");

    // Every window the program has is in the Windows menu, opened by its code.
    item("&Windows", "scale")->trigger();
    EXPECT_TRUE(window->findChild<QWidget*>("scale_editor")->isVisible());
    item("&Windows", "windows_to_open")->trigger();  // the windows of each occasion
    auto* ticks = window->findChild<QTableWidget*>("window_ticks");
    ASSERT_NE(ticks, nullptr);
    EXPECT_EQ(ticks->verticalHeaderItem(17)->text(), "Note timing (E)");
    ticks->item(1, 4)->setCheckState(Qt::Checked);  // the tune at start-up
    EXPECT_TRUE(context->stored().window_codes.occasions[kStartUpOccasion].test(1));
    EXPECT_EQ(stored("STARTUP"), "T");
}

// Any change to the composition, from a field, a list or another window, is one step back
// with Ctrl+Z and forward again with Ctrl+Shift+Z; back at the saved state nothing is unsaved.
TEST_F(MainWindowTest, UndoAndRedoTakeBackEveryChange) {
    const auto path = saved_composition("0 1 2", 6);
    start({.started_with_file = true});
    window->open_file(path);
    ASSERT_FALSE(context->settings().needs_save);
    type_into("levels", "4");
    type_into("scale", "1 n(1/19)");
    const auto nineteen = context->composition().Intervals;
    EXPECT_EQ(context->composition().Levels, 4);
    EXPECT_TRUE(context->settings().needs_save);

    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, Qt::Key_Z, Qt::ControlModifier);  // the field's text is taken: the composition's undo
    EXPECT_EQ(context->composition().Intervals, engine::Composition{}.Intervals);
    EXPECT_EQ(text("scale"), "1 100 cents");
    EXPECT_EQ(context->composition().Levels, 4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(context->composition().Levels, 6);
    EXPECT_EQ(text("levels"), "6");
    EXPECT_FALSE(context->settings().needs_save);
    EXPECT_FALSE(window->windowTitle().contains('*'));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(context->composition().Levels, 4);
    EXPECT_EQ(context->composition().Intervals, nineteen);
    EXPECT_TRUE(context->settings().needs_save);
    EXPECT_EQ(window->history().stack().undoText(), "Scale");

    // Typing in a field keeps Ctrl+Z for the text being typed.
    auto* levels = find<QLineEdit>("levels");
    levels->setFocus();
    QTest::keyClicks(levels, "7");
    QTest::keyClick(levels, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(context->composition().Levels, 4);
    EXPECT_EQ(context->composition().Intervals, nineteen);

    // A change from another window is a step too; opening a composition starts afresh.
    context->composition().Voices_for_channels[0] = 12;
    window->show_composition();
    EXPECT_EQ(window->history().stack().undoText(), "Voices");
    reporter.save_choice = platform::SaveChoice::discard;
    window->open_file(path);
    EXPECT_FALSE(window->history().stack().canUndo());
}

// file_menu_with_more.txt: the File menu with its options moved into a More submenu.
TEST_F(MainWindowTest, ExtraDialogSpacePutsTheOptionsInAMoreSubmenu) {
    start_configured("need_extra_dialog_space=1");
    corvane::testing::expect_output_as_kept(menu_text(menu("&File")->actions()).toStdString(),
                                            "ui/expected/file_menu_with_more.txt");
}

// The keys the recording devices still sound, from what they were sent.
int keys_left_sounding(const std::vector<platform::RecordedMessage>& messages) {
    std::map<std::pair<int, int>, int> sounding;
    for (const auto& m : messages) {
        const int kind = static_cast<int>(m.message & 0xF0);
        const int channel = static_cast<int>(m.message & 0x0F);
        const int key = static_cast<int>((m.message >> 8) & 0x7F);
        const int velocity = static_cast<int>((m.message >> 16) & 0x7F);
        if (kind == 0x90 && velocity > 0) ++sounding[{channel, key}];
        if (kind == 0x80 || (kind == 0x90 && velocity == 0)) sounding[{channel, key}] = 0;
        if (kind == 0xB0 && key == 120) {
            for (auto& [where, count] : sounding) count = where.first == channel ? 0 : count;
        }
    }
    int left = 0;
    for (const auto& [where, count] : sounding) left += count > 0 ? 1 : 0;
    return left;
}

// Notes held by Sustain in a 19-tone scale, on three channels and their spares: closing MIDI
// out, changing the device, Stop and Exit each leave nothing sounding, and after Stop no
// note starts. A device that goes away mid-play stops play with one message, and Play works
// on the same device once it is back.
TEST_F(MainWindowTest, CloseOutDeviceChangeStopAndExitLeaveNothingSounding) {
    start();
    type_into("note_length", "0.02");
    type_into("sustain", "4");
    type_into("channels_in_play", "3");
    type_into("scale", "e19");
    const auto played_some = [this] {
        const std::size_t before = outputs.messages().size();
        return QTest::qWaitFor([&] { return outputs.messages().size() > before + 40; }, 5000);
    };
    click("play");
    EXPECT_EQ(find<QPushButton>("play")->text(), "Sto&p");
    ASSERT_TRUE(played_some());
    EXPECT_TRUE(QTest::qWaitFor([&] { return find<QLabel>("status")->text().startsWith("Note "); }, 5000));
    item("&Out", "open_midi_out_now")->trigger();  // "Close MIDI out now", with play going on
    EXPECT_FALSE(context->playback().port().is_open());
    EXPECT_EQ(keys_left_sounding(outputs.messages()), 0) << "closing MIDI out";
    click("play");  // stopped once the port had gone; Play again opens it
    EXPECT_TRUE(QTest::qWaitFor([&] { return find<QPushButton>("play")->text() == "&Play"; }, 5000));
    click("play");
    ASSERT_TRUE(played_some());
    item("&Out", "device_-1")->trigger();  // another device (the built-in one) mid-play
    const auto sent = outputs.messages();  // the new device may already sound the next notes
    const auto closed_at = static_cast<std::ptrdiff_t>(outputs.messages_at_last_close());
    const auto sent_before_the_change = std::vector(sent.begin(), sent.begin() + closed_at);
    EXPECT_EQ(keys_left_sounding(sent_before_the_change), 0) << "changing the device";
    ASSERT_TRUE(played_some());
    click("play");
    EXPECT_TRUE(QTest::qWaitFor([&] { return context->playback().player().stopped(); }, 5000));
    EXPECT_EQ(keys_left_sounding(outputs.messages()), 0) << "Stop";
    EXPECT_TRUE(QTest::qWaitFor([&] { return find<QPushButton>("play")->text() == "&Play"; }, 5000));
    const int after_stop = note_ons();
    QTest::qWait(200);
    EXPECT_EQ(note_ons(), after_stop);
    click("play");
    ASSERT_TRUE(played_some());
    outputs.lose_open_outputs();
    EXPECT_TRUE(QTest::qWaitFor([&] { return find<QPushButton>("play")->text() == "&Play"; }, 5000));
    const auto said = reporter.entries();
    const auto lost = std::count_if(said.begin(), said.end(), [](const auto& e) {
        return e.message.find("stopped working, so play has stopped.") != std::string::npos;
    });
    EXPECT_EQ(lost, 1);
    click("play");
    ASSERT_TRUE(played_some());
    window->close();  // Exit
    window.reset();
    context.reset();
    EXPECT_EQ(keys_left_sounding(outputs.messages()), 0) << "Exit";
}

// While a MIDI file save runs, edits wait and the title says so; Exit asks first.
TEST_F(MainWindowTest, ASaveRunningOrAConfigurationThatCannotBeSavedMakesExitAskAndNoStays) {
    start();
    start_long_midi_save();
    click("note_length_arrows_up");
    EXPECT_EQ(text("note_length"), "0.125");
    EXPECT_EQ(window->windowTitle(), "Saving Midi file (click Stop to interrrupt) - first tune (new file) - Corvane");
    reporter.answer = Answer::no;
    EXPECT_FALSE(window->exit_program());
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, "Midi file save in progress.\n\nExit anyway?");
    EXPECT_TRUE(context->midi_save().running());
    EXPECT_FALSE(std::filesystem::exists(folder / "Corvane.ini"));

    reporter.answer = Answer::yes;
    EXPECT_TRUE(window->exit_program());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !context->midi_save().running(); }, 5000));
    EXPECT_NE(slurp(folder / "Corvane.ini").find("Levels"), std::string::npos);
    EXPECT_EQ(stored("MidiDevice"), "-1");

    // A configuration that cannot be saved asks too, and No stays.
    std::filesystem::remove(folder / "Corvane.ini");
    std::filesystem::create_directory(folder / "Corvane.ini");  // a folder where the file should go
    reporter.answer = Answer::no;
    EXPECT_FALSE(window->exit_program());
    EXPECT_TRUE(reporter.entries().back().message.starts_with("Couldn't save to Corvane.ini in folder"));
    reporter.answer = Answer::yes;
    EXPECT_TRUE(window->exit_program());
}

TEST_F(MainWindowTest, MeanToneMakesTheQuarterCommaScaleAndBeatsShowInColumns) {
    start();
    click("open_mean_tone");
    auto* dialog = find<MeanToneDialog>("mean_tone");
    EXPECT_EQ(dialog->findChild<QLabel*>("wolf_end")->text(), "to E Flat");
    QTest::mouseClick(dialog->findChild<QPushButton*>("apply"), Qt::LeftButton);
    const auto& c = context->composition();
    ASSERT_EQ(c.Intervals.size(), 13u);
    EXPECT_NEAR(c.Intervals[4], 0.25, 1e-12);  // a pure major third
    EXPECT_EQ(text("scale_title"), "1/4 comma Mean-tone");
    EXPECT_EQ(window->windowTitle(), "Corvane - first tune (new file)*");

    // The Beats window: its table in columns, each number with its unit, and the "Show
    // difference tone" box.
    context->composition().Intervals = {0.0, 0.5, 1.0};  // 1, 3/2, 2
    context->composition().Frequency_of_lowest_note = 261.6;
    context->settings().beats_max_harmonic = 6;
    click("open_beats");
    auto* beats = find<BeatsDialog>("beats");
    beats->findChild<QSpinBox*>("second_degree")->setValue(1);
    auto* shown = beats->findChild<QPlainTextEdit*>("beats_text");
    // beats.txt: the frequencies, the difference tone and the table of beats for 1 and 3/2.
    corvane::testing::expect_output_as_kept(shown->toPlainText().toStdString(), "ui/expected/beats.txt");
    EXPECT_EQ(shown->lineWrapMode(), QPlainTextEdit::NoWrap);
    const QFontMetrics font(shown->font());  // a fixed-pitch font, whatever it reports of itself
    EXPECT_EQ(font.horizontalAdvance(QLatin1Char('i')), font.horizontalAdvance(QLatin1Char('M')));

    QString without_tone = shown->toPlainText();
    without_tone.remove(QRegularExpression(QStringLiteral("Difference tone[^\n]*\n")));
    beats->findChild<QCheckBox*>("show_difference_tone")->click();  // ticked at first
    EXPECT_EQ(shown->toPlainText(), without_tone);
}

}  // namespace
}  // namespace corvane::ui
