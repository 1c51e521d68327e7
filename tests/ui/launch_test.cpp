#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "corvane/ui/commands.h"
#include "corvane/ui/launch.h"
#include "corvane/ui/stored_values.h"

namespace corvane::ui {
namespace {

TEST(Launch, QuotesAreRemovedAndOnlyAFileWithARunningCopyAndNoShiftHandsOff) {
    EXPECT_EQ(start_file_argument("\"/home/a b/tune.cv\""), "/home/a b/tune.cv");
    EXPECT_EQ(start_file_argument("tune.CMP"), "tune.CMP");
    EXPECT_EQ(start_file_argument("\"\""), std::nullopt);
    EXPECT_EQ(start_file_argument(std::string(300, 'x'))->size(), 260u);
    EXPECT_TRUE(is_composition_file("a/tune.Cv"));
    EXPECT_TRUE(is_composition_file("tune.cmp"));
    EXPECT_FALSE(is_composition_file("scale.scl"));
    EXPECT_FALSE(is_composition_file("cv"));
    // Only a file with a running copy and no Shift hands off.
    EXPECT_EQ(choose_launch(true, true, false), LaunchChoice::hand_off_to_running_copy);
    EXPECT_EQ(choose_launch(true, true, true), LaunchChoice::start_new_copy);    // Shift held
    EXPECT_EQ(choose_launch(false, true, false), LaunchChoice::start_new_copy);  // no file
    EXPECT_EQ(choose_launch(true, false, false), LaunchChoice::start_new_copy);  // nothing running
    EXPECT_EQ(hand_off_file_name("/tmp/x.cv\r\nmore"), "/tmp/x.cv");
}

// That codes match exactly ("dz3" is the note-played window only): RoundTripThroughTheSettingsStore.
TEST(StoredValues, WindowCodesAreWrittenInTheirOrderAndPlayOnStartUpTakesTwoBits) {
    EXPECT_EQ(write_window_codes(read_window_codes("4MDN")), "DNM4");
    EXPECT_EQ(write_window_codes(read_window_codes(std::string(kWindowCodes))), std::string(kWindowCodes));
    EXPECT_EQ(write_window_codes({}), "");
    // Play on start-up: bit 0 with a file, bit 1 without.
    EXPECT_TRUE(play_on_start_up_from_bits(1).with_file);
    EXPECT_FALSE(play_on_start_up_from_bits(1).without_file);
    EXPECT_TRUE(play_on_start_up_from_bits(2).without_file);
    EXPECT_EQ(play_on_start_up_bits({.with_file = true, .without_file = true}), 3);
}

TEST(StoredValues, RoundTripThroughTheSettingsStoreAndMissingValuesKeepDefaults) {
    QTemporaryDir folder;
    const QString path = folder.filePath("stored.ini");
    {
        QSettings empty(path, QSettings::IniFormat);
        const StoredValues defaults = read_stored_values(empty);
        EXPECT_EQ(defaults.ScalaLocation, QStandardPaths::findExecutable("scala").toStdString());  // on PATH, or none
        EXPECT_FALSE(defaults.MidiDevice.has_value());
        EXPECT_EQ(defaults.window_codes.occasions[kStartUpOccasion].count(), 0u);
    }
    StoredValues values;
    values.MidiDevice = 2;
    values.MidiInDevice = -1;
    values.ScalaLocation = "/usr/bin/scala";
    values.play_on_start_up = {.with_file = true, .without_file = false};
    values.window_codes.occasions[kStartUpOccasion] = read_window_codes("NM");
    values.recent_files = {"/b/new.cv", "/a/old.cv"};
    values.dialog_folders[std::string(kCompositionFolders)] = folder.path().toStdString();
    values.dialog_folders[std::string(kMidiFileFolders)] = folder.filePath("gone").toStdString();
    {
        QSettings store(path, QSettings::IniFormat);
        write_stored_values(store, values);
    }
    QSettings store(path, QSettings::IniFormat);
    store.beginGroup("Version " CORVANE_VERSION);
    EXPECT_EQ(store.value("STARTUP").toString(), "NM");
    EXPECT_EQ(store.value("PlayOnStartUp").toInt(), 1);
    store.setValue("MidiInDevice", "not a number");
    store.setValue("CV", "dz3");  // "d" and "z" are no codes: only the note-played window
    store.endGroup();
    const StoredValues read = read_stored_values(store);
    EXPECT_EQ(read.MidiDevice, 2);
    EXPECT_FALSE(read.MidiInDevice.has_value());
    EXPECT_EQ(read.ScalaLocation, "/usr/bin/scala");
    EXPECT_TRUE(read.play_on_start_up.with_file);
    EXPECT_EQ(write_window_codes(read.window_codes.occasions[0]), "3");
    EXPECT_EQ(read.recent_files, values.recent_files);
    EXPECT_EQ(remembered_folder(read, kCompositionFolders), folder.path().toStdString());
    EXPECT_EQ(remembered_folder(read, kMidiFileFolders), std::nullopt);  // a folder no longer there
    EXPECT_EQ(remembered_folder(read, kRecordingFolders), std::nullopt);
}

TEST(Commands, OnlyEditsWaitForAMidiFileSave) {
    EXPECT_FALSE(allowed_while_midi_save(CommandGroup::edit));
    for (const auto group : {CommandGroup::opens_window, CommandGroup::help, CommandGroup::exit,
                             CommandGroup::hand_off, CommandGroup::device, CommandGroup::options}) {
        EXPECT_TRUE(allowed_while_midi_save(group));
    }
}

}  // namespace
}  // namespace corvane::ui
