// The configuration file "Corvane.ini": every key of the settings survives a write and a
// read, the special items, the auto-save stop rule, the trailing composition, the reset file.
#include "corvane/files/configuration_file.h"

#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "composition_test_support.h"
#include "../expected_output.h"
#include "corvane/files/setting_items.h"
#include "corvane/files/whole_file.h"

namespace corvane::files {
namespace {

using engine::Composition;

// Moves every setting away from its default, to values the file keeps exactly.
struct AwayFromDefaults {
    int counter = 0;

    void text(std::string_view, std::string& value, const std::string&, TextForm form) {
        value = (form == TextForm::token ? "x(" : "a file name ") + std::to_string(++counter);
    }
    void flag(std::string_view, bool& value, bool fallback) { value = !fallback; }
    void flag_written_when_off(std::string_view, bool& value) { value = !value; }
    template <class T>
    void whole(std::string_view, T& value, T fallback, Written, std::string_view) {
        value = static_cast<T>(fallback + 3 + (++counter % 5));
    }
    void real(std::string_view, double& value, double fallback, RealForm, Written) { value = fallback + 0.5; }
    void list_of_modes_file() {}
    void list_of_scales_file(std::string& name) { name = "some lists/my scales.lsc"; }
    void timer_resolution(std::uint32_t& value, bool& set_explicitly) {
        value = 5;
        set_explicitly = true;
    }
    void labels_font(LabelsFont& f) { f = LabelsFont{-13, 0, 0, 0, 700, 1, 0, 1, 0, 3, 2, 1, 34, "DejaVu Sans Mono"}; }
    void composition_optionals() {}
    void priority(int& level, bool& save) {
        level = 3;
        save = true;
    }
    template <class Values>
    void number_list(std::string_view, Values values, std::span<const int> fallback) {
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = fallback[i] + static_cast<int>(i % 3) - 1;
    }
    void gallery_minutes(std::array<double, kGalleryMinutes>& minutes) {
        for (std::size_t i = 0; i < minutes.size(); ++i) minutes[i] = 0.25 * static_cast<double>(i + 1);
    }
    void keyboard_rows(std::string_view, KeyboardRows& rows, const KeyboardRows& fallback, int) {
        for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = fallback[i] + 1;
    }
    void replace_or_append(int& value) { value = 1; }
    void tuning_output(engine::TuningOutput& value, engine::TuningOutput) { value = engine::TuningOutput::mpe; }
};

// Every setting as the reset file's writer puts it: the settings compared item by item.
std::string settings_text(const Settings& s) {
    SaveBuffer out;
    write_settings(out, s, Composition{});
    return out.take();
}

std::string written(const Settings& s, const Composition& c = Composition{},
                    const Colours& colours = default_colours()) {
    SaveBuffer out;
    write_configuration(out, s, c, colours);
    return out.take();
}

struct Read {
    Settings settings;
    Composition composition;
    Colours colours = default_colours();
    ConfigurationReading reading;
};

// Starts from `start` when given, else from the built-in settings.
Read read(std::string_view text, ConfigurationReadOptions options = {}, const Settings* start = nullptr) {
    Read r;
    if (start != nullptr) r.settings = *start;
    r.reading = read_configuration(text, options, r.settings, r.composition, r.colours);
    return r;
}

Settings every_setting_changed() {
    Settings s;
    AwayFromDefaults away;
    const Settings defaults;
    for_each_setting(s, defaults, away);
    s.File = "/home/someone/tunes/first tune.cv";
    s.Directory = "/home/someone/tunes";
    return s;
}

std::string shipped_reset_file() {
    return read_whole_file(std::string(CORVANE_SOURCE_DIR) + "/data/CRV_reset.ini").value_or("(missing)");
}

// ---- Every key

TEST(ConfigurationRoundTrip, EverySettingAwayFromItsDefaultComesBackTheSame) {
    const Settings s = every_setting_changed();
    Composition c = testing::composition_with_every_field_set();
    const std::string text = written(s, c);
    const Read back = read(text);
    EXPECT_EQ(settings_text(back.settings), settings_text(s));
    EXPECT_TRUE(back.reading.composition_read);
    testing::expect_same_composition(back.composition, c, 1e-13);
}

// Every key is written when away from its default, by its name and in its form: the whole
// text compared with the file kept beside the tests, so a key renamed, dropped or written in
// another form is caught (the round trip above would not see it).
TEST(ConfigurationRoundTrip, EveryKeyIsWrittenByItsNameInItsForm) {
    corvane::testing::expect_output_as_kept(written(every_setting_changed()), "files/expected/every_setting.ini");
}

// ---- The written forms

// What every_setting.ini cannot show: a token with blanks, and the items left out by a rule
// of their own. Each change is written in its form, leaves out what it names, and reads back.
TEST(ConfigurationForms, ItemsAreWrittenInTheirFormsAndReadBack) {
    struct Case {
        std::function<void(Settings&)> change;
        std::vector<std::string_view> written;
        std::vector<std::string_view> absent;
    };
    const std::vector<Case> cases{
        {[](Settings& s) { s.szSortTokenTemplate = "n+~-i (most notes first)"; },  // blanks kept as "_"
         {"szSortTokenTemplate n+~-i_(most_notes_first)\r\n"},
         {}},
        // The priority is kept only when priority saving is on, and then only away from 1.
        {[](Settings& s) { s.player.set_high_priority_for_crv = 3; }, {}, {"priority"}},
        {[](Settings& s) { s.save_priority_for_next_session = true; },
         {"save_priority_for_next_session=1\r\n"},
         {"set_high_priority_for_crv"}},
        // The timer resolution is written only when set in this run and not 2.
        {[](Settings& s) { s.player.uTimerRes = 5; }, {}, {"uTimerRes"}},
        {[](Settings& s) {
             s.player.uTimerRes = 2;
             s.uTimerRes_set_explicitly = true;
         },
         {},
         {"uTimerRes"}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        Settings s;
        cases[i].change(s);
        const std::string text = written(s);
        for (const auto piece : cases[i].written) EXPECT_NE(text.find(piece), std::string::npos) << piece;
        for (const auto piece : cases[i].absent) EXPECT_EQ(text.find(piece), std::string::npos) << piece;
        const Read back = read(text);
        EXPECT_EQ(settings_text(back.settings), settings_text(s));
    }
}

// ---- Reading rules

// Each text, read over settings that are all away from their defaults, gives the defaults
// with what it names and nothing else; short lists keep the rest of their defaults. A star
// for File or Directory leaves it as it was.
TEST(ConfigurationReading, ItemsSetTheirSettingsAndNothingElse) {
    struct Case {
        std::string_view text;
        std::function<void(Settings&)> expect;
    };
    const std::vector<Case> cases{
        {"vols_for_pc_keyboard_rows 100 90\r\nvoices_for_pc_keyboard_rows 5\r\n7 7\r\n", [](Settings& s) {
             s.play_along.vols_for_pc_keyboard_rows = {100, 90, 127, 127};
             s.play_along.voices_for_pc_keyboard_rows = {5, 0, 0, 0};  // a list is read from its own line
         }},
        {"OkMidiInChannel 0 1 0 //\r\nCRV_Gallery_mins 2 8 //\r\niScalePosForMidiInNote 5 //\r\n", [](Settings& s) {
             s.play_along.OkMidiInChannel[0] = 0;
             s.play_along.OkMidiInChannel[2] = 0;
             s.CRV_Gallery_mins[0] = 2;
             s.CRV_Gallery_mins[1] = 8;
             s.play_along.iScalePosForMidiInNote[0] = 5;
         }},
        // An older key, an expression and a decimal comma.
        {"bFGShowAsScore 0 fine_tune_step 1/8 sps_nnotes 6,7", [](Settings& s) {
             s.iFGShowAsScore = 0;
             s.fine_tune_step = 0.125;
             s.sps_nnotes = 6;
         }},
        // The timer resolution read is one set explicitly; the item after it still reads.
        {"cShowMouseInScore=0\r\nuTimerRes 4 ns_show_nbeats=1\r\nbeats_sig_figs 7\r\n", [](Settings& s) {
             s.cShowMouseInScore = false;
             s.player.uTimerRes = 4;
             s.uTimerRes_set_explicitly = true;
             s.ns_show_nbeats = true;
             s.beats_sig_figs = 7;
         }},
        // A flag reads in either form, the last one standing.
        {"replace_old_warning=1 enable_sel_sound=0", [](Settings& s) { s.play_along.enable_sel_sound = false; }},
        {"replace_old_warning=0 replace_old_warning=1", [](Settings&) {}},
        // Auto-save is on only with the header or its older key.
        {"Auto_save_to_CM.INI_on_exit=1", [](Settings& s) { s.Auto_save_to_Corvane_ini_on_exit = true; }},
        // File and Directory take their lines, unless a star.
        {"File= *\r\nDirectory= *\r\n", [](Settings&) {}},
        {"File= /tunes/my tune.cv\r\nDirectory= /tunes\r\n", [](Settings& s) {
             s.File = "/tunes/my tune.cv";
             s.Directory = "/tunes";
         }},
    };
    const Settings changed = every_setting_changed();
    for (const Case& k : cases) {
        SCOPED_TRACE(std::string(k.text));
        Settings expected;
        expected.Auto_save_to_Corvane_ini_on_exit = false;  // none of the texts starts with the header
        expected.player.uTimerRes = 5;  // the timer resolution chosen in this run and the current folder stay
        expected.uTimerRes_set_explicitly = true;
        expected.Directory = "/home/someone/tunes";
        k.expect(expected);
        const Read back = read(k.text, {}, &changed);
        EXPECT_EQ(settings_text(back.settings), settings_text(expected));
    }
}

// The composition's optional values among the settings, and the change the main window acts on.
TEST(ConfigurationReading, CompositionKeysAndTheDialogSpaceChangeAreTakenFromTheSettings) {
    const Read r = read("Note_timing_shift 1/4 Top_note_volume 0.25 need_extra_dialog_space=1");
    EXPECT_TRUE(r.composition.has_Note_timing_shift);
    EXPECT_EQ(r.composition.Note_timing_shift, 0.25);
    EXPECT_TRUE(r.composition.has_Top_note_volume);
    EXPECT_EQ(r.composition.Top_note_volume, 0.25);
    EXPECT_FALSE(r.composition.has_Top_note_length);
    EXPECT_TRUE(r.reading.extra_dialog_space_changed);
    EXPECT_FALSE(read("hex_dump=1").reading.extra_dialog_space_changed);
}

// ---- The defaults and the reset file

// Also pins the written form of every default: number formats, flags, what is left out.
TEST(ResetFile, TheShippedFileIsTheBuiltInSettingsWithoutAComposition) {
    const Settings defaults;
    EXPECT_EQ(shipped_reset_file(), settings_text(defaults));
    EXPECT_EQ(shipped_reset_file().find("Composition_and_Colours"), std::string::npos);
}

// The defaults clear the lists and the optional values; the reset file keeps the files in use.
// Both keep the timer resolution chosen in this run, and the current folder.
TEST(DefaultConfiguration, ClearsTheListsWhereTheResetFileKeepsTheFilesInUse) {
    Settings defaulted = every_setting_changed();
    Settings reset = defaulted;
    Composition c;
    c.ListOfModesFile = "modes.lmd";
    c.Top_note_length = 3;
    c.Levels = 4;
    Composition reset_c = c;
    set_default_configuration(defaulted, c);
    Colours colours;
    read_configuration(shipped_reset_file(), {.reset_file = true}, reset, reset_c, colours);
    Settings expected;
    expected.player.uTimerRes = 5;
    expected.uTimerRes_set_explicitly = true;
    expected.Directory = "/home/someone/tunes";
    EXPECT_EQ(settings_text(defaulted), settings_text(expected));
    EXPECT_EQ(c.ListOfModesFile, "");
    EXPECT_EQ(c.Top_note_length, 0.0625);
    expected.ListOfScalesFile = "some lists/my scales.lsc";
    expected.File = "/home/someone/tunes/first tune.cv";
    EXPECT_EQ(settings_text(reset), settings_text(expected));
    EXPECT_EQ(reset_c.ListOfModesFile, "modes.lmd");
    EXPECT_EQ(reset_c.Levels, 4);

    // A file named on the command line stays, whatever is read.
    defaulted.File = "given.cv";
    defaulted.file_named_on_command_line = true;
    set_default_configuration(defaulted, c);
    EXPECT_EQ(defaulted.File, "given.cv");
    EXPECT_EQ(read("File= /tunes/my tune.cv\r\n", {}, &defaulted).settings.File, "given.cv");
}

}  // namespace
}  // namespace corvane::files
