#include "corvane/midi/hex_dump.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "corvane/midi/general_midi.h"
#include "corvane/midi/smf_writer.h"
#include "midi_test_support.h"
#include "smf_reader.h"

namespace corvane::midi {
namespace {

using testing::Bytes;
using testing::cat;
using testing::file_bytes;
using testing::TempFolder;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string text_of(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every line is a data line (":" and lowercase hex pairs, then perhaps a comment) or a
// comment (";"), and the text ends with a line break. Returns what is wrong, or "".
std::string form_problem(const std::string& text) {
    if (!text.empty() && text.back() != '\n') return "no line break at the end";
    for (const auto& line : lines_of(text)) {
        if (line.empty() || (line[0] != ':' && line[0] != ';')) return "line \"" + line + "\"";
        if (line[0] == ';') continue;
        const auto hex = std::string_view(line).substr(1, line.find(';') - 1);
        if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdef") != std::string_view::npos) {
            return "data line \"" + line + "\"";
        }
    }
    return {};
}

// The bytes of all data lines, in order: what b2hedit would turn the text back into.
Bytes data_of(const std::string& text) {
    Bytes bytes;
    for (const auto& line : lines_of(text)) {
        if (line.empty() || line[0] != ':') continue;
        const auto hex = line.substr(1, line.find(';') - 1);
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
    }
    return bytes;
}

std::string dump(const Bytes& file, std::optional<double> ticks_per_second = std::nullopt) {
    return hex_dump_text(std::span<const std::uint8_t>(file), "test.mid", ticks_per_second);
}

bool has_line(const std::string& text, const std::string& line) {
    const auto lines = lines_of(text);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

Bytes track_chunk(const Bytes& body) {
    const auto n = static_cast<std::uint32_t>(body.size());
    return cat({{'M', 'T', 'r', 'k', static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                 static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)},
                body});
}

Bytes header(int format, int tracks, int division) {
    return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<std::uint8_t>(format), 0, static_cast<std::uint8_t>(tracks),
            static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)};
}

const Bytes kEndOfTrack{0x00, 0xFF, 0x2F, 0x00};

// ---- a file of this system's own ------------------------------------------------------

TEST(HexDump, FileWrittenByTheWriterDumpsLineByLine) {
    TempFolder folder;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    const auto path = folder / "small.mid";
    {
        SmfWriter writer(reporter, abort);
        ASSERT_TRUE(writer.create(path));
        ASSERT_TRUE(writer.write_file(0, 1, 250, [&](int track) {
            writer.write_channel_event(0, 0xC0, 0, Bytes{0}, track);
            writer.write_channel_event(0, 0xB0, 0, Bytes{7, 100}, track);
            writer.write_channel_event(0, 0xE0, 0, Bytes{0x00, 0x40}, track);
            writer.write_channel_event(0, 0x90, 0, Bytes{60, 100}, track);
            writer.write_channel_event(500, 0x80, 0, Bytes{60, 0}, track);
        }));
        ASSERT_TRUE(writer.close());
    }
    const auto result = hex_dump_midi_file(path, reporter, abort, 500.0);
    EXPECT_EQ(result.status, HexDumpStatus::written);
    EXPECT_EQ(result.output, folder / "small.mid.hex");
    const std::vector<std::string> expected{
        ";" + path.string(),
        ";This is a hex dump in the text format recognised by the freeware program b2hedit.",
        ";b2hedit is a freeware hex editor: it can edit this text and turn it back into the MIDI file.",
        ";",
        ":4d546864;MThd - header",
        ":00000006;chunk length 6",
        ":0000;0 midi file format",
        ":0001;1 tracks",
        ":00fa;250 tempo in microseconds per quarter note",
        ";#####",
        ":4d54726b;MTrk - track 1 header",
        ":0000001e;chunk length 30",
        ":00ff59020300;key signature 3 sharps major",
        ":00c000;voice - set patch ch. 1 change voice to 0 - Acoustic Grand Piano",
        ":00b00764;channel 1 controller - Channel Volume 100 (78.7402% of range)",
        ":00e00040;ch. 1 pitch bend 0 (0 cents)",
        ":00903c64;ch. 1 note on 60 vel. 100",
        ":8374803c00;ch. 1 note off 60 vel. 0 ...time 1 delta time 1",
        ":00ff2f00;end of track",
        ";#####",
        ";(bytes in track 30)",
        ";",
    };
    EXPECT_EQ(lines_of(text_of(result.output)), expected);
    EXPECT_TRUE(reporter.entries().empty());
}

// ---- event descriptions ---------------------------------------------------------------

TEST(HexDump, PitchBendsReadInCentsOverTheFullRange) {
    const std::string text = dump(cat({header(0, 1, 96), track_chunk(cat({{0x00, 0xE0, 0x00, 0x00},
                                                                          {0x00, 0xE1, 0x7F, 0x7F},
                                                                          {0x00, 0xE2, 0x00, 0x50},
                                                                          kEndOfTrack}))}));
    EXPECT_TRUE(has_line(text, ":00e00000;ch. 1 pitch bend -8192 (-200 cents)")) << text;
    EXPECT_TRUE(has_line(text, ":00e17f7f;ch. 2 pitch bend 8191 (199.976 cents)")) << text;
    EXPECT_TRUE(has_line(text, ":00e20050;ch. 3 pitch bend 2048 (50 cents)")) << text;
}

TEST(HexDump, RegisteredParametersNameTheDataEntryThatFollows) {
    const std::string text = dump(cat({header(0, 1, 96),
                                       track_chunk(cat({{0x00, 0xB3, 101, 0}, {0x00, 0xB3, 100, 0},
                                                        {0x00, 0xB3, 6, 12}, {0x00, 0xB3, 38, 50},
                                                        {0x00, 0xB3, 100, 1}, {0x00, 0xB3, 6, 64},
                                                        {0x00, 0xB3, 100, 9}, kEndOfTrack}))}));
    EXPECT_TRUE(has_line(text, ":00b36500;channel 4 controller  - coarse registered parameter number 0")) << text;
    EXPECT_TRUE(has_line(text, ":00b36400;channel 4 controller  - fine rpn 0 (pitch bend sensitivity)"));
    EXPECT_TRUE(has_line(text, ":00b3060c;channel 4 controller Data Entry - coarse pitch bend range 12 semitones"));
    EXPECT_TRUE(has_line(text, ":00b32632;channel 4 controller Data Entry - fine pitch bend range 50 cents"));
    EXPECT_TRUE(has_line(text, ":00b36401;channel 4 controller  - fine rpn 1 (fine tuning)"));
    EXPECT_TRUE(has_line(text, ":00b30640;channel 4 controller - Data Entry, MSB 64"));
    EXPECT_TRUE(has_line(text, ":00b36409;channel 4 controller  - fine rpn 9 (not recognised)"));
    const std::string names = dump(cat({header(0, 1, 96), track_chunk(cat({{0x00, 0xB0, 100, 2}, {0x00, 0xB0, 100, 3},
                                                                           {0x00, 0xB0, 100, 4}, {0x00, 0xB0, 100, 5},
                                                                           {0x00, 0xB0, 123, 0}, kEndOfTrack}))}));
    for (const char* line : {":00b06402;channel 1 controller  - fine rpn 2 (coarse tuning)",
                             ":00b06403;channel 1 controller  - fine rpn 3 (tuning program select)",
                             ":00b06404;channel 1 controller  - fine rpn 4 (tuning bank select)",
                             ":00b06405;channel 1 controller  - fine rpn 5 (not recognised)",
                             ":00b07b00;channel 1 controller  - All notes off"}) {
        EXPECT_TRUE(has_line(names, line)) << line << "\n" << names;
    }
}

TEST(HexDump, ControllersChannelMessagesAndMetaEvents) {
    const std::string text = dump(cat({header(0, 1, 96),
                                       track_chunk(cat({{0x00, 0xB0, 64, 127},
                                                        {0x00, 0xB0, 75, 10},
                                                        {0x00, 0xB0, 79, 10},
                                                        {0x00, 0xB0, 122, 0},
                                                        {0x00, 0xB0, 3, 9},
                                                        {0x00, 0xD5, 127},
                                                        {0x00, 0xA0, 60, 30},
                                                        {0x00, 0xCF, 127},
                                                        {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
                                                        {0x00, 0xFF, 0x58, 0x04, 6, 3, 36, 8},
                                                        {0x00, 0xFF, 0x59, 0x02, 0xFF, 0x01},
                                                        {0x00, 0xFF, 0x05, 0x04, 'l', 'a', '\n', 'a'},
                                                        {0x00, 0xFF, 0x21, 0x01, 0x02},
                                                        {0x00, 0xFF, 0x60, 0x01, 0x02},
                                                        {0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7},
                                                        kEndOfTrack}))}));
    for (const char* line : {
             ":00b0407f;channel 1 controller - Damper Pedal (sustain) on",
             ":00b04b0a;channel 1 controller - Sound controller 6  10 (7.87402% of range)",
             ":00b04f0a;channel 1 controller - Sound controller 10 10 (7.87402% of range)",
             ":00b07a00;channel 1 controller  - disconnect\tsynthesizer keyboard from its sound generator",
             ":00b00309;channel 1 controller - undefined controller 3 value 9",
             ":00d57f;ch. 6 Overall channel aftertouch pressure 127 (100% of range)",
             ":00a03c1e;ch. 1 Aftertouch note 60 pressure. 30",
             ":00cf7f;voice - set patch ch. 16 change voice to 127 - Gunshot",
             ":00ff510307a120;tempo 500000 microseconds per quarter note (120 quarter notes per minute)",
             ":00ff580406032408;time signature 6/8, 36 clocks per metronome click, 8 32nd notes per quarter note",
             ":00ff5902ff01;key signature 1 flat minor",
             ":00ff05046c610a61;lyric \"la.a\"",
             ":00ff210102;port 2",
             ":00ff600102;meta event type 96 1 byte",
             ":00f0037e7ff7;system exclusive 3 bytes",
         }) {
        EXPECT_TRUE(has_line(text, line)) << line << "\n" << text;
    }
}

TEST(HexDump, EveryGeneralMidiProgramHasAName) {
    for (int program = 0; program < 128; ++program) EXPECT_FALSE(general_midi_instrument(program).empty()) << program;
    EXPECT_EQ(general_midi_instrument(40), "Violin");
    EXPECT_TRUE(general_midi_instrument(128).empty());
}

// ---- timing ---------------------------------------------------------------------------

TEST(HexDump, TimesFollowTheGivenRateOrTheFilesTempo) {
    const Bytes plain = cat({header(0, 1, 100), track_chunk(cat({{0x64, 0x90, 60, 1}, {0x64, 0x80, 60, 0}, kEndOfTrack}))});
    // 2 x division ticks per second, as this system writes format 0 files.
    EXPECT_TRUE(has_line(dump(plain), ":64903c01;ch. 1 note on 60 vel. 1 ...time 0.5 delta time 0.5"));
    EXPECT_TRUE(has_line(dump(plain, 100.0), ":64803c00;ch. 1 note off 60 vel. 0 ...time 2 delta time 1"));

    // A format 1 file: the first track's tempo changes time every track.
    const Bytes tempo_track = track_chunk(cat({{0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40},   // 1 s a quarter
                                                {0x81, 0x48, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},  // at 200: 0.5 s
                                                kEndOfTrack}));
    const Bytes music = track_chunk(cat({{0x81, 0x48, 0x90, 60, 1}, {0x81, 0x48, 0x80, 60, 0}, kEndOfTrack}));
    const std::string text = dump(cat({header(1, 2, 100), tempo_track, music}));
    EXPECT_TRUE(has_line(text, ":8148903c01;ch. 1 note on 60 vel. 1 ...time 2 delta time 2")) << text;
    EXPECT_TRUE(has_line(text, ":8148803c00;ch. 1 note off 60 vel. 0 ...time 3 delta time 1")) << text;

    // A header too short to give the division: 1000 ticks a second.
    const std::string short_header =
        dump(cat({{'M', 'T', 'h', 'd', 0, 0, 0, 4, 0, 0, 0, 1}, track_chunk(cat({{0x87, 0x68, 0x90, 60, 1}, kEndOfTrack}))}));
    EXPECT_TRUE(has_line(short_header, ":8768903c01;ch. 1 note on 60 vel. 1 ...time 1 delta time 1")) << short_header;
}

// ---- files that are not well formed ---------------------------------------------------

TEST(HexDump, MalformedFilesAreCommentedAndNeverReadPastTheirEnd) {
    struct Case {
        const char* what;
        Bytes file;
        const char* line;
    };
    const Bytes body = cat({{0x00, 0x90, 60, 1}, kEndOfTrack});
    const std::vector<Case> cases{
        {"empty", {}, ";cut off: the file ends inside the header"},
        {"other header", cat({{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, track_chunk(body)}),
         ":52494646;RIFF should be..MThd - unrecognised header"},
        {"unknown chunk", cat({header(0, 1, 96), {'J', 'u', 'n', 'k', 0, 0, 0, 2, 1, 2}, track_chunk(body)}),
         ":0102;unrecognised chunk data"},
        {"length beyond the file", cat({header(0, 1, 96), {'M', 'T', 'r', 'k', 1, 0, 0, 0x3B, 0x00, 0x90, 60}}),
         ";cut off: only 3 bytes of this chunk are in the file"},
        {"cut inside an event", cat({header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 3, 0x00, 0x90, 60}}),
         ":00903c;cut off: the track ends inside this event"},
        {"cut inside a delta", cat({header(0, 1, 96), {'M', 'T', 'r', 'k', 0, 0, 0, 2, 0x81, 0x82}}),
         ":8182;cut off: the track ends inside a delta time"},
        {"meta length too long", cat({header(0, 1, 96), track_chunk({0x00, 0xFF, 0x01, 0x7F, 'a'})}),
         ":00ff017f61;cut off: the track ends inside this event"},
        {"data byte with no status", cat({header(0, 1, 96), track_chunk(cat({{0x00, 0x3C}, kEndOfTrack}))}),
         ":003c;unrecognised data byte: no status byte before it"},
        {"status among data", cat({header(0, 1, 96), track_chunk(cat({{0x00, 0x90, 0x80, 0x3C, 0x00}, kEndOfTrack}))}),
         ":0090;incomplete event: a status byte comes before its data"},
        {"no end of track", cat({header(0, 1, 96), track_chunk({0x00, 0x90, 60, 1})}),
         ";the track has no end of track event"},
        {"bytes after end of track", cat({header(0, 1, 96), track_chunk(cat({kEndOfTrack, {1, 2}}))}),
         ":0102;bytes after the end of track"},
        {"cut chunk header", cat({header(0, 1, 96), {'M', 'T'}}), ":4d54;cut off: the file ends inside the chunk header"},
        {"tempo of the wrong length", cat({header(0, 1, 96), track_chunk(cat({{0x00, 0xFF, 0x51, 0x01, 0x07}, kEndOfTrack}))}),
         ":00ff510107;tempo (length 1, should be 3)"},
    };
    for (const auto& c : cases) {
        const std::string text = dump(c.file);
        EXPECT_EQ(form_problem(text), "") << c.what;
        EXPECT_EQ(data_of(text), c.file) << c.what;
        EXPECT_TRUE(has_line(text, c.line)) << c.what << "\n" << text;
    }
}

TEST(HexDump, RunningStatusIsShownAndCarriesOverMetaEvents) {
    const std::string text = dump(cat({header(0, 1, 96), track_chunk(cat({{0x00, 0x90, 60, 100},
                                                                          {0x00, 62, 100},
                                                                          {0x00, 0xFF, 0x01, 0x01, 'x'},
                                                                          {0x60, 64, 0},
                                                                          kEndOfTrack}))}));
    EXPECT_TRUE(has_line(text, ":003e64;ch. 1 note on 62 vel. 100 (running status)")) << text;
    EXPECT_TRUE(has_line(text, ":604000;ch. 1 note on 64 vel. 0 (running status) ...time 0.5 delta time 0.5")) << text;
}

TEST(HexDump, LongEventsAreSplitIntoLinesOfThirtyTwoBytes) {
    Bytes sysex{0x00, 0xF0, 0x81, 0x00};
    for (int i = 0; i < 128; ++i) sysex.push_back(static_cast<std::uint8_t>(i));
    const Bytes file = cat({header(0, 1, 96), track_chunk(cat({sysex, kEndOfTrack}))});
    const std::string text = dump(file);
    EXPECT_EQ(data_of(text), file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4 + 6 + 2 + 5 + 1 + 3);
    EXPECT_NE(text.find(";system exclusive 128 bytes\n"), std::string::npos);
    EXPECT_NE(text.find(";(continued)\n"), std::string::npos);
}

// ---- files -----------------------------------------------------------------------------

TEST(HexDump, OutputNameAndReadFailures) {
    EXPECT_EQ(hex_dump_path("folder/tune.mid"), std::filesystem::path("folder/tune.mid.hex"));
    EXPECT_EQ(hex_dump_path(std::string(255, 'a')), std::filesystem::path(std::string(255, 'a') + ".hex"));
    EXPECT_EQ(hex_dump_path(std::string(256, 'a')), std::filesystem::path("midi hex dump for file"));

    TempFolder folder;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    const auto missing = folder / "missing.mid";
    EXPECT_EQ(hex_dump_midi_file(missing, reporter, abort).status, HexDumpStatus::read_failed);
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, "No such file or directory");
    EXPECT_EQ(reporter.entries()[0].caption, "Error reading from " + missing.string());
    EXPECT_FALSE(std::filesystem::exists(folder / "missing.mid.hex"));

    {
        std::ofstream(folder / "tune.mid", std::ios::binary) << "MThd";
    }
    const auto unwritable = hex_dump_midi_file_to(folder / "tune.mid", folder / "no folder" / "x.hex", reporter, abort);
    EXPECT_EQ(unwritable.status, HexDumpStatus::output_failed);
    EXPECT_EQ(reporter.entries().size(), 1u);  // an output failure is the caller's to tell
}

TEST(HexDump, AnAbortStopsTheDump) {
    TempFolder folder;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{true};
    {
        const Bytes file = cat({header(0, 1, 96), track_chunk(cat({{0x00, 0x90, 60, 1}, kEndOfTrack}))});
        std::ofstream(folder / "tune.mid", std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                                   static_cast<std::streamsize>(file.size()));
    }
    const auto result = hex_dump_midi_file(folder / "tune.mid", reporter, abort);
    EXPECT_EQ(result.status, HexDumpStatus::interrupted);
    const std::string text = text_of(result.output);
    EXPECT_EQ(form_problem(text), "");
    EXPECT_TRUE(has_line(text, ";(dump interrupted)"));
}

// Files written by other programs, and malformed ones: each is dumped whole, in form, and
// its data lines give back exactly its bytes.
TEST(HexDump, FilesFromOtherProgramsDumpCompletely) {
    const std::filesystem::path shared = std::filesystem::path(CORVANE_SHARED_DATA) / "midi";
    if (!std::filesystem::is_directory(shared)) GTEST_SKIP() << "no " << shared;
    TempFolder folder;
    platform::RecordingReporter reporter;
    const std::atomic<bool> abort{false};
    int dumped = 0;
    for (const auto& dir : {shared, shared / "edge"}) {
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.path().extension() != ".mid") continue;
            const auto name = entry.path().filename().string();
            const auto out = folder / (name + ".hex");
            const auto result = hex_dump_midi_file_to(entry.path(), out, reporter, abort);
            ASSERT_EQ(result.status, HexDumpStatus::written) << name;
            const std::string text = text_of(out);
            EXPECT_EQ(form_problem(text), "") << name;
            EXPECT_EQ(data_of(text), file_bytes(entry.path())) << name;
            EXPECT_NE(text.find(";(bytes in track "), std::string::npos) << name;
            ++dumped;
        }
    }
    EXPECT_GE(dumped, 1);
    EXPECT_TRUE(reporter.entries().empty());
}

TEST(HexDump, MalformedFilesFromOtherProgramsSayWhatIsWrong) {
    const std::filesystem::path edge = std::filesystem::path(CORVANE_SHARED_DATA) / "midi" / "edge";
    if (!std::filesystem::is_directory(edge)) GTEST_SKIP() << "no " << edge;
    const std::vector<std::pair<std::string, std::string>> expected{
        {"midifile__MIDIBadTrackLength.mid", "cut off: only 59 bytes of this chunk are in the file"},
        {"midly__PiDamaged.mid", "cut off: only 65461 bytes of this chunk are in the file"},
        {"jazzsoft__test-corrupt-file-missing-byte.mid", "cut off: the track ends inside this event"},
        {"jazzsoft__test-non-midi-track.mid", "Junk - unrecognised header - continuing to parse for incorrect track header"},
        {"midifile__MIDIBadHeaderFormat.mid", "3 midi file format"},
        {"midly__SysExTest.mid", "the track has no end of track event"},
    };
    for (const auto& [name, comment] : expected) {
        const auto path = edge / name;
        if (!std::filesystem::exists(path)) continue;
        const auto bytes = file_bytes(path);
        const std::string text = hex_dump_text(std::span<const std::uint8_t>(bytes), name);
        EXPECT_NE(text.find(";" + comment + "\n"), std::string::npos) << name << "\n" << text.substr(0, 3000);
    }
}

}  // namespace
}  // namespace corvane::midi
