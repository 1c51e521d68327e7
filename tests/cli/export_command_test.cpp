// corvane-cli export: its errors, and its scores as MuseScore 3 reads them. A score played
// back by MuseScore must hold the notes of Corvane's own MIDI file of the same tune, and
// Corvane's MIDI files must open in MuseScore with every note of every track.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "../midi/music_audit.h"
#include "run_cli.h"

namespace corvane::testing {
namespace {

// A note of a MIDI file: when it starts and which key.
struct FileNote {
    double secs = 0;
    int key = 0;
};

// Seconds per tick from the file's first tempo (half a second a quarter note without one).
double seconds_per_tick(const SmfFile& file) {
    for (const SmfTrack& track : file.tracks) {
        for (const SmfEvent& e : track.events) {
            if (e.bytes.size() == 5 && e.bytes[0] == 0xFF && e.bytes[1] == 0x51) {  // the reader drops the length
                const double tempo = (e.bytes[2] << 16) | (e.bytes[3] << 8) | e.bytes[4];
                return tempo / 1e6 / file.division;
            }
        }
    }
    return 0.5 / file.division;
}

bool is_pitched_note_on(const ChannelEvent& e) { return is_note_on(e) && e.channel != 9; }

// The keys of every pitched note (the percussion channel left out), in the order they start;
// notes that start within a few milliseconds of each other count as together and go lowest
// first, since two files may round times and order chords differently.
std::vector<int> keys_in_order(const SmfFile& file) {
    const double secs_per_tick = seconds_per_tick(file);
    std::vector<FileNote> notes;  // in time order, as channel_events gives them
    for (const ChannelEvent& e : channel_events(file)) {
        if (is_pitched_note_on(e)) notes.push_back({static_cast<double>(e.tick) * secs_per_tick, e.data1});
    }
    std::vector<int> keys;
    for (std::size_t first = 0; first < notes.size();) {
        std::size_t end = first;
        while (end < notes.size() && notes[end].secs - notes[first].secs < 0.005) ++end;
        std::vector<int> together;
        for (std::size_t i = first; i < end; ++i) together.push_back(notes[i].key);
        std::ranges::sort(together);
        keys.insert(keys.end(), together.begin(), together.end());
        first = end;
    }
    return keys;
}

// How many pitched notes each track holds, tracks without notes left out.
std::vector<std::size_t> notes_per_track(const SmfFile& file) {
    std::vector<std::size_t> counts(file.tracks.size());
    for (const ChannelEvent& e : channel_events(file)) {
        if (is_pitched_note_on(e)) ++counts[static_cast<std::size_t>(e.track)];
    }
    std::erase(counts, 0u);
    return counts;
}

bool musescore_installed() { return std::system("command -v mscore3 >/dev/null 2>&1") == 0; }

// Converts a file with MuseScore 3, headless, and gives what it printed beyond its usual
// lines (and those starting with `tolerated`): an import warning or error, or a failed
// conversion.
std::string musescore_complaints(const TempFolder& home, const std::filesystem::path& from,
                                 const std::filesystem::path& to, std::string_view tolerated = {}) {
    const std::string dir = shell_quoted(home.path().string());
    const auto log = home / "mscore.log";
    const std::string command = "QT_QPA_PLATFORM=offscreen HOME=" + dir + " XDG_CONFIG_HOME=" + dir +
                                " XDG_DATA_HOME=" + dir + " XDG_RUNTIME_DIR=" + dir + " mscore3 -o " +
                                shell_quoted(to.string()) + " " + shell_quoted(from.string()) + " >" +
                                shell_quoted(log.string()) + " 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    std::istringstream lines(slurp(log));
    std::string complaints;
    for (std::string line; std::getline(lines, line);) {
        const bool usual = line.starts_with("convert <") || line.starts_with("\tto <") || line == "... success!" ||
                           (!tolerated.empty() && line.starts_with(tolerated));
        if (!usual) complaints += line + '\n';
    }
    if (status != 0) complaints += "exit status " + std::to_string(status) + '\n';
    if (!std::filesystem::exists(to)) complaints += "nothing written\n";
    return complaints;
}

struct RoundTrip {
    std::vector<std::string> composition;  // the composition options
    std::vector<std::string> score_options;
};

// The tune saved by Corvane as MIDI and exported as a score: MuseScore opens the score
// without a complaint and plays the same keys in the same order as Corvane's file, and
// opens Corvane's file with every note of every track.
void expect_musescore_agrees(const RoundTrip& trip) {
    if (!musescore_installed()) GTEST_SKIP() << "mscore3 is not installed (Debian package musescore3)";
    const TempFolder folder;
    const std::vector<std::string> length{"--no-config", "--minutes", "0", "--seconds", "20"};
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.end(), length.begin(), length.end());
        args.insert(args.end(), trip.composition.begin(), trip.composition.end());
        const CliResult r = run_cli(args);
        ASSERT_EQ(r.status, 0) << r.err;
    };
    const auto corvane_mid = folder / "corvane.mid";
    const auto score = folder / "tune.musicxml";
    run({"save", "-o", corvane_mid.string(), "--format", "1"});
    std::vector<std::string> export_args{"export", "-o", score.string()};
    export_args.insert(export_args.end(), trip.score_options.begin(), trip.score_options.end());
    run(export_args);

    const auto played = folder / "played.mid";
    EXPECT_EQ(musescore_complaints(folder, score, played), "");
    const SmfFile corvane = read_smf(corvane_mid);
    const std::vector<int> keys = keys_in_order(corvane);
    ASSERT_GT(keys.size(), 40u);
    EXPECT_EQ(keys_in_order(read_smf(played)), keys);

    const auto reread = folder / "reread.mid";
    // Corvane gives every track its key signature; MuseScore takes each as the whole score's
    // and says so when the key is not C major.
    EXPECT_EQ(musescore_complaints(folder, corvane_mid, reread, "add(KeySig): there is already a KeySig at track"),
              "");
    EXPECT_EQ(notes_per_track(read_smf(reread)), notes_per_track(corvane));
}

// A twelve-tone tune; the MIDI notes of 19 steps to the octave, their bends left out (MuseScore
// 3 reads no fraction of a semitone); every channel of a tune on three; and uneven times from
// a composition file (a 1.25 times longer note, a shift by a quarter note, three channels by
// formula, a just scale): its times are rounded to 256ths, and the notes still agree.
TEST(CliExport, MuseScorePlaysTheNotesOfEachTune) {
    const std::string composition = std::string(CORVANE_SOURCE_DIR) + "/tests/files/expected/every_field.cv";
    const RoundTrip trips[] = {
        {{"--seed", "0 2 1 3", "--levels", "4"}, {}},
        {{"--seed", "0 4 -2 7", "--levels", "3", "--scale", "1 n(1/19)"}, {"--semitones"}},
        {{"--seed", "0 3 1 5", "--levels", "4", "--channels-in-play", "3", "--choose-channels-by", "1", "--voices",
          "0 40 73"},
         {}},
        {{composition}, {"--semitones"}},
    };
    for (const RoundTrip& trip : trips) {
        SCOPED_TRACE(trip.composition[0] + " " + trip.composition.back());
        expect_musescore_agrees(trip);
    }
}

TEST(CliExport, SaysWhatIsWrongWithTheLengthOrThePlace) {
    const TempFolder folder;
    const auto path = folder / "tune.musicxml";
    const CliResult no_length = run_cli({"export", "--no-config", "-o", path.string(), "--minutes", "0"});
    EXPECT_EQ(no_length.status, 2);
    EXPECT_EQ(no_length.err, "corvane-cli: --minutes and --seconds: the piece must last more than 0 s\n");

    const auto nowhere = folder / "no folder" / "tune.musicxml";
    const CliResult no_place = run_cli({"export", "--no-config", "-o", nowhere.string(), "--seconds", "5"});
    EXPECT_EQ(no_place.status, 1);
    EXPECT_EQ(no_place.err, "corvane-cli: cannot write " + nowhere.string() + ": No such file or directory\n");

    const CliResult written = run_cli({"export", "--no-config", "-o", path.string(), "--seconds", "5"});
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.err, "corvane-cli: exported 1 minute 5.00 secs to " + path.string() + " (1 part, 520 notes)\n");
}

}  // namespace
}  // namespace corvane::testing
