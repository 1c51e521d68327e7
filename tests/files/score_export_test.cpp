// The MusicXML score: a tiny tune kept whole, and the layout of notes checked on tunes made
// by hand (bars, ties, the grid, pitches with their fraction of a semitone).
#include <string>

#include <gtest/gtest.h>

#include "../expected_output.h"
#include "../temp_folder.h"
#include "corvane/files/score_export.h"
#include "corvane/platform/file_save.h"
#include "corvane/tuning/pitch_list.h"

namespace corvane::files {
namespace {

using corvane::testing::TempFolder;

// What a MIDI file save of `secs` seconds would render, from the built-in settings.
midi::MidiSaveSettings lasting(double secs) {
    midi::MidiSaveSettings settings;
    settings.midi_file_play_mins = 0;
    settings.midi_file_play_secs = secs;
    return settings;
}

ScoreExportResult export_to(const std::filesystem::path& path, const engine::Composition& c, double secs,
                            ScorePitch pitch = ScorePitch::exact) {
    platform::RecordingReporter reporter;
    return export_score(path, c, lasting(secs), {}, {}, reporter, {"Tiny tune", pitch});
}

// One channel of piano notes, a level-0 note an eighth of a second (a sixteenth in the score).
RenderedTune tune_of(std::vector<RenderedNote> notes, tuning::KeySignature key = {}) {
    RenderedTune tune;
    tune.channels.push_back({0, 0, std::move(notes)});
    tune.end_secs = 4;
    tune.key = key;
    return tune;
}

// Three notes of the seed on each of two channels, in 19 equal steps to the octave, for
// two seconds: one bar of 4/4 with rests, notes of two lengths and fractional alters.
TEST(ScoreExport, WritesATinyTuneAsKept) {
    engine::Composition c;
    c.Note_heights = {0, 3, 1};
    c.Levels = 1;
    c.Channels_in_Play = 2;
    c.Choose_channels_by = 1;
    c.Voices_for_channels[1] = 0;
    c.Intervals = tuning::read_pitch_list("1 n(1/19)", tuning::PitchForm::ratio, tuning::ListNotation::absolute,
                                          tuning::kMiddleCFrequency)
                      .entries;
    const TempFolder folder;
    const auto path = folder / "tiny.musicxml";
    const ScoreExportResult result = export_to(path, c, 2);
    ASSERT_TRUE(result.written()) << result.error;
    EXPECT_EQ(result.parts, 2u);
    corvane::testing::expect_output_as_kept(corvane::testing::slurp(path), "files/expected/tiny_tune.musicxml");
}

// tied_note.musicxml: a note across the barline is written as two tied notes, its pitch bend
// the fraction of its alter, on the flat the key of one flat spells; without fractions only
// the flat is left.
TEST(ScoreExport, TiesANoteAcrossTheBarlineAndWritesItsBendInTheAlter) {
    const RenderedTune tune =
        tune_of({{1.75, 2.25, 63, -0.42}}, tuning::KeySignature{1, tuning::Accidentals::flats});
    corvane::testing::expect_output_as_kept(musicxml_text(tune, {}), "files/expected/tied_note.musicxml");
    const std::string whole = musicxml_text(tune, {"", ScorePitch::semitones});
    EXPECT_NE(whole.find("<pitch><step>E</step><alter>-1</alter><octave>4</octave></pitch>"), std::string::npos);
    EXPECT_EQ(whole.find("-1.42"), std::string::npos);
    // In C major a C sharp is written with its sharp.
    EXPECT_NE(musicxml_text(tune_of({{0, 0.5, 61, 0}}), {}).find("<accidental>sharp</accidental>"), std::string::npos);
}

// overlapping_notes.musicxml: half a level-0 note needs a grid of 32nds (8 divisions), a note of
// one and a half sixteenths is a dotted sixteenth, and two notes that sound together stand in
// voices of their own, the second after a backup.
TEST(ScoreExport, ChoosesTheGridThatHoldsTheTimesAndGivesOverlappingNotesAVoice) {
    const RenderedTune tune = tune_of({{0, 0.1875, 60, 0}, {0.125, 0.25, 64, 0}});
    corvane::testing::expect_output_as_kept(musicxml_text(tune, {}), "files/expected/overlapping_notes.musicxml");
}

// Four voices at most: with C D E F held from the start, a G that starts with them joins C's
// chord (the voice that ends first); a G that starts later cuts C short to an eighth instead.
TEST(ScoreExport, AFifthNoteJoinsTheChordThatEndsFirstOrCutsItShort) {
    const auto count_of = [](const std::string& text, const std::string& part) {
        std::size_t count = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
        return count;
    };
    const std::string joined = musicxml_text(
        tune_of({{0, 0.25, 60, 0}, {0, 0.375, 62, 0}, {0, 0.5, 64, 0}, {0, 0.625, 65, 0}, {0, 0.75, 67, 0}}), {});
    EXPECT_EQ(count_of(joined, "<chord/>"), 1u);
    EXPECT_EQ(count_of(joined, "<pitch><step>C</step>"), 1u);
    const std::string cut = musicxml_text(
        tune_of({{0, 0.5, 60, 0}, {0, 0.625, 62, 0}, {0, 0.75, 64, 0}, {0, 0.875, 65, 0}, {0.25, 0.5, 67, 0}}), {});
    EXPECT_EQ(count_of(cut, "<chord/>"), 0u);
    const std::string eighth = "<duration>2</duration>\n        <voice>1</voice>\n        <type>eighth</type>";
    EXPECT_NE(cut.find("<step>C</step><octave>4</octave></pitch>\n        " + eighth), std::string::npos) << cut;
    EXPECT_NE(cut.find("<step>G</step><octave>4</octave></pitch>\n        " + eighth), std::string::npos) << cut;
}

// A score needs a length and a place to go; the errors say which is missing.
TEST(ScoreExport, RefusesANoLengthAndAFolderThatIsNotThere) {
    const engine::Composition c;
    EXPECT_EQ(export_to("/tmp/never.musicxml", c, 0).error, "a score must last more than 0 s");
    const TempFolder folder;
    const auto path = folder / "gone" / "tune.musicxml";
    EXPECT_EQ(export_to(path, c, 1).error,
              "cannot write " + path.string() + ": " + platform::system_error_text(ENOENT));
}

}  // namespace
}  // namespace corvane::files
