#include "corvane/midi/hex_dump.h"

#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

#include "../hostile_files.h"
#include "corvane/midi/general_midi.h"
#include "midi_test_support.h"
#include "smf_reader.h"

namespace corvane::midi {
namespace {

using namespace corvane::testing;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
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

TEST(HexDump, AFileDumpsLineByLineBesideIt) {
    TempFolder folder;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    const auto path = folder / "small.mid";
    write_bytes(path, as_text(cat({smf_header(0, 1, 250),
                                   track_chunk(cat({{0x00, 0xFF, 0x59, 0x02, 0x03, 0x00}, {0x00, 0xC0, 0},
                                                    {0x00, 0xB0, 7, 100}, {0x00, 0xE0, 0x00, 0x40},
                                                    {0x00, 0x90, 60, 100}, {0x83, 0x74, 0x80, 60, 0}, kEndOfTrack}))})));
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
    EXPECT_EQ(lines_of(slurp(result.output)), expected);
    EXPECT_TRUE(reporter.entries().empty());
}

// Every text an event can have, each once: the events make one track, in this order (a
// registered parameter names the data entry after it), and each is dumped as one line.
TEST(HexDump, EachEventIsDescribedOnItsLine) {
    const std::vector<std::pair<Bytes, std::string>> events{
        {{0x00, 0xE0, 0x00, 0x00}, "ch. 1 pitch bend -8192 (-200 cents)"},
        {{0x00, 0xE1, 0x7F, 0x7F}, "ch. 2 pitch bend 8191 (199.976 cents)"},
        {{0x00, 0xE2, 0x00, 0x50}, "ch. 3 pitch bend 2048 (50 cents)"},
        {{0x00, 0xB3, 6, 64}, "channel 4 controller - Data Entry, MSB 64"},
        {{0x00, 0xB3, 101, 0}, "channel 4 controller  - coarse registered parameter number 0"},
        {{0x00, 0xB3, 100, 0}, "channel 4 controller  - fine rpn 0 (pitch bend sensitivity)"},
        {{0x00, 0xB3, 6, 12}, "channel 4 controller Data Entry - coarse pitch bend range 12 semitones"},
        {{0x00, 0xB3, 38, 50}, "channel 4 controller Data Entry - fine pitch bend range 50 cents"},
        {{0x00, 0xB2, 38, 50}, "channel 3 controller - Data Entry, LSB 50"},
        {{0x00, 0xB3, 100, 1}, "channel 4 controller  - fine rpn 1 (fine tuning)"},
        {{0x00, 0xB3, 6, 64}, "channel 4 controller - Data Entry, MSB 64"},
        {{0x00, 0xB3, 100, 2}, "channel 4 controller  - fine rpn 2 (coarse tuning)"},
        {{0x00, 0xB3, 100, 3}, "channel 4 controller  - fine rpn 3 (tuning program select)"},
        {{0x00, 0xB3, 100, 4}, "channel 4 controller  - fine rpn 4 (tuning bank select)"},
        {{0x00, 0xB3, 100, 5}, "channel 4 controller  - fine rpn 5 (not recognised)"},
        {{0x00, 0xB0, 64, 127}, "channel 1 controller - Damper Pedal (sustain) on"},
        {{0x00, 0xB0, 67, 63}, "channel 1 controller - Soft Pedal off"},
        {{0x00, 0xB0, 75, 10}, "channel 1 controller - Sound controller 6  10 (7.87402% of range)"},
        {{0x00, 0xB0, 79, 10}, "channel 1 controller - Sound controller 10 10 (7.87402% of range)"},
        {{0x00, 0xB0, 5, 127}, "channel 1 controller  - portamento time (100% of range)"},
        {{0x00, 0xB0, 122, 0}, "channel 1 controller  - disconnect\tsynthesizer keyboard from its sound generator"},
        {{0x00, 0xB0, 122, 64}, "channel 1 controller  - reconnect\tsynthesizer keyboard from its sound generator"},
        {{0x00, 0xB0, 123, 0}, "channel 1 controller  - All notes off"},
        {{0x00, 0xB0, 126, 2}, "channel 1 controller  - Mono mode on data 2"},
        {{0x00, 0xB0, 3, 9}, "channel 1 controller - undefined controller 3 value 9"},
        {{0x00, 0xB0, 0x7F, 0}, "channel 1 controller  - Poly mode on"},
        {{0x00, 0xD5, 127}, "ch. 6 Overall channel aftertouch pressure 127 (100% of range)"},
        {{0x00, 0xA0, 60, 30}, "ch. 1 Aftertouch note 60 pressure. 30"},
        {{0x00, 0xCF, 127}, "voice - set patch ch. 16 change voice to 127 - Gunshot"},
        {{0x00, 0x90, 60, 100}, "ch. 1 note on 60 vel. 100"},
        {{0x00, 62, 100}, "ch. 1 note on 62 vel. 100 (running status)"},
        {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, "tempo 500000 microseconds per quarter note (120 quarter notes per minute)"},
        {{0x00, 0xFF, 0x51, 0x01, 0x07}, "tempo (length 1, should be 3)"},
        {{0x00, 0xFF, 0x58, 0x04, 6, 3, 36, 8}, "time signature 6/8, 36 clocks per metronome click, 8 32nd notes per quarter note"},
        {{0x00, 0xFF, 0x59, 0x02, 0xFF, 0x01}, "key signature 1 flat minor"},
        {{0x00, 0xFF, 0x59, 0x02, 0x00, 0x00}, "key signature no sharps or flats major"},
        {{0x00, 0xFF, 0x54, 0x05, 0x61, 2, 3, 4, 5}, "SMPTE offset hour 1 minute 2 second 3 frame 4 hundredths 5"},
        {{0x00, 0xFF, 0x05, 0x04, 'l', 'a', '\n', 'a'}, "lyric \"la.a\""},
        {{0x00, 0xFF, 0x0A, 0x01, 0x7F}, "meta event type 10 \".\""},
        {{0x00, 0xFF, 0x21, 0x01, 0x02}, "port 2"},
        {{0x00, 0xFF, 0x20, 0x01, 0x02}, "channel prefix ch. 3"},
        {{0x00, 0xFF, 0x00, 0x02, 0x01, 0x02}, "sequence number 258"},
        {{0x00, 0xFF, 0x60, 0x01, 0x02}, "meta event type 96 1 byte"},
        {{0x00, 0xFF, 0x7F, 0x00}, "sequencer specific 0 bytes"},
        {{0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7}, "system exclusive 3 bytes"},
        {{0x00, 0xF7, 0x01, 0xF7}, "system exclusive continuation or escape 1 byte"},
        {{0x60, 64, 0}, "ch. 1 note on 64 vel. 0 (running status) ...time 0.5 delta time 0.5"},
        {kEndOfTrack, "end of track"},
    };
    Bytes body;
    std::vector<std::string> expected;
    for (const auto& [bytes, text] : events) {
        body.insert(body.end(), bytes.begin(), bytes.end());
        std::string line = ":";
        for (const std::uint8_t b : bytes) line += "0123456789abcdef"[b >> 4], line += "0123456789abcdef"[b & 15];
        expected.push_back(line + ";" + text);
    }
    const auto lines = lines_of(dump(cat({smf_header(0, 1, 96), track_chunk(body)})));
    ASSERT_GE(lines.size(), 12 + expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[12 + i], expected[i]);
    EXPECT_EQ(general_midi_instrument(40), "Violin");
    for (int program = 0; program < 128; ++program) EXPECT_FALSE(general_midi_instrument(program).empty()) << program;
    EXPECT_TRUE(general_midi_instrument(128).empty());
}

TEST(HexDump, TimesFollowTheGivenRateOrTheFilesTempo) {
    const Bytes plain = cat({smf_header(0, 1, 100), track_chunk(cat({{0x64, 0x90, 60, 1}, {0x64, 0x80, 60, 0}, kEndOfTrack}))});
    // 2 x division ticks per second, as this system writes format 0 files.
    EXPECT_TRUE(has_line(dump(plain), ":64903c01;ch. 1 note on 60 vel. 1 ...time 0.5 delta time 0.5"));
    EXPECT_TRUE(has_line(dump(plain, 100.0), ":64803c00;ch. 1 note off 60 vel. 0 ...time 2 delta time 1"));

    // A format 1 file: the first track's tempo changes time every track.
    const Bytes tempo_track = track_chunk(cat({{0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40},   // 1 s a quarter
                                                {0x81, 0x48, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},  // at 200: 0.5 s
                                                kEndOfTrack}));
    const Bytes music = track_chunk(cat({{0x81, 0x48, 0x90, 60, 1}, {0x81, 0x48, 0x80, 60, 0}, kEndOfTrack}));
    const std::string text = dump(cat({smf_header(1, 2, 100), tempo_track, music}));
    EXPECT_TRUE(has_line(text, ":8148903c01;ch. 1 note on 60 vel. 1 ...time 2 delta time 2")) << text;
    EXPECT_TRUE(has_line(text, ":8148803c00;ch. 1 note off 60 vel. 0 ...time 3 delta time 1")) << text;

    // The smallest division, one tick a quarter note: two ticks a second.
    const Bytes slowest = cat({smf_header(0, 1, 1), track_chunk(cat({{0x01, 0x90, 60, 1}, kEndOfTrack}))});
    EXPECT_TRUE(has_line(dump(slowest), ":01903c01;ch. 1 note on 60 vel. 1 ...time 0.5 delta time 0.5"));

    // A header too short to give the division: 1000 ticks a second.
    const std::string short_header =
        dump(cat({{'M', 'T', 'h', 'd', 0, 0, 0, 4, 0, 0, 0, 1}, track_chunk(cat({{0x87, 0x68, 0x90, 60, 1}, kEndOfTrack}))}));
    EXPECT_TRUE(has_line(short_header, ":8768903c01;ch. 1 note on 60 vel. 1 ...time 1 delta time 1")) << short_header;
}

TEST(HexDump, MalformedFilesAreCommentedAndNeverReadPastTheirEnd) {
    struct Case {
        const char* what;
        Bytes file;
        const char* line;
    };
    const Bytes body = cat({{0x00, 0x90, 60, 1}, kEndOfTrack});
    const Bytes header = smf_header(0, 1, 96);
    const std::vector<Case> cases{
        {"empty", {}, ";cut off: the file ends inside the header"},
        {"other header", cat({{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, track_chunk(body)}),
         ":52494646;RIFF should be..MThd - unrecognised header"},
        {"unknown chunk", cat({header, {'J', 'u', 'n', 'k', 0, 0, 0, 2, 1, 2}, track_chunk(body)}), ":0102;unrecognised chunk data"},
        {"unknown chunk name", cat({header, {'J', 'u', 'n', 'k', 0, 0, 0, 2, 1, 2}, track_chunk(body)}),
         ":4a756e6b;Junk - unrecognised header - continuing to parse for incorrect track header"},
        {"length beyond the file", cat({header, {'M', 'T', 'r', 'k', 1, 0, 0, 0x3B, 0x00, 0x90, 60}}),
         ";cut off: only 3 bytes of this chunk are in the file"},
        {"cut inside an event", cat({header, {'M', 'T', 'r', 'k', 0, 0, 0, 3, 0x00, 0x90, 60}}),
         ":00903c;cut off: the track ends inside this event"},
        {"cut inside a delta", cat({header, {'M', 'T', 'r', 'k', 0, 0, 0, 2, 0x81, 0x82}}),
         ":8182;cut off: the track ends inside a delta time"},
        {"meta length too long", cat({header, track_chunk({0x00, 0xFF, 0x01, 0x7F, 'a'})}),
         ":00ff017f61;cut off: the track ends inside this event"},
        {"data byte with no status", cat({header, track_chunk(cat({{0x00, 0x3C}, kEndOfTrack}))}),
         ":003c;unrecognised data byte: no status byte before it"},
        {"status among data", cat({header, track_chunk(cat({{0x00, 0x90, 0x80, 0x3C, 0x00}, kEndOfTrack}))}),
         ":0090;incomplete event: a status byte comes before its data"},
        {"system message", cat({header, track_chunk(cat({{0x00, 0xF2, 1, 2}, kEndOfTrack}))}),
         ":00f20102;unrecognised system message 242"},
        {"no end of track", cat({header, track_chunk({0x00, 0x90, 60, 1})}), ";the track has no end of track event"},
        {"bytes after end of track", cat({header, track_chunk(cat({kEndOfTrack, {1, 2}}))}), ":0102;bytes after the end of track"},
        {"cut chunk header", cat({header, {'M', 'T'}}), ":4d54;cut off: the file ends inside the chunk header"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string text = dump(c.file);
        EXPECT_EQ(form_problem(text), "");
        EXPECT_EQ(data_of(text), c.file);
        EXPECT_TRUE(has_line(text, c.line)) << text;
    }
}

TEST(HexDump, LongEventsAreSplitIntoLinesOfThirtyTwoBytes) {
    Bytes sysex{0x00, 0xF0, 0x81, 0x00};
    for (int i = 0; i < 128; ++i) sysex.push_back(static_cast<std::uint8_t>(i));
    const Bytes file = cat({smf_header(0, 1, 96), track_chunk(cat({sysex, kEndOfTrack}))});
    const std::string text = dump(file);
    EXPECT_EQ(data_of(text), file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4 + 6 + 2 + 5 + 1 + 3);
    EXPECT_NE(text.find(";system exclusive 128 bytes\n"), std::string::npos);
    EXPECT_NE(text.find(";(continued)\n"), std::string::npos);
}

TEST(HexDump, OutputNamesAndAnAbort) {
    EXPECT_EQ(hex_dump_path("folder/tune.mid"), std::filesystem::path("folder/tune.mid.hex"));
    EXPECT_EQ(hex_dump_path(std::string(255, 'a')), std::filesystem::path(std::string(255, 'a') + ".hex"));
    EXPECT_EQ(hex_dump_path(std::string(256, 'a')), std::filesystem::path("midi hex dump for file"));

    TempFolder folder;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{true};
    write_bytes(folder / "tune.mid", as_text(cat({smf_header(0, 1, 96), track_chunk(cat({{0x00, 0x90, 60, 1}, kEndOfTrack}))})));
    const auto result = hex_dump_midi_file(folder / "tune.mid", reporter, abort);
    EXPECT_EQ(result.status, HexDumpStatus::interrupted);
    const std::string text = slurp(result.output);
    EXPECT_EQ(form_problem(text), "");
    EXPECT_TRUE(has_line(text, ";(dump interrupted)"));
}

// A file that cannot be read, or is too large for memory, is reported and leaves no dump.
// (That corvane-cli dumps every sort of hostile file without harm is checked in the CLI tests.)
TEST(HexDumpOfHostileFiles, WhatCannotBeReadOrIsTooLargeIsReportedAndNothingHangs) {
    for (const Hostile kind : {Hostile::dangling_link, Hostile::huge_sparse}) {
        SCOPED_TRACE(std::string(name_of(kind)));
        TempFolder folder;
        platform::RecordingReporter reporter;
        const std::atomic<bool> abort{false};
        const std::filesystem::path path = make_hostile(kind, folder / "file.mid");
        const HexDumpResult result = hex_dump_midi_file_to(path, folder / "dump.hex", reporter, abort);
        ASSERT_EQ(reporter.entries().size(), 1U);
        if (kind == Hostile::huge_sparse) {
            EXPECT_EQ(result.status, HexDumpStatus::no_memory);
            EXPECT_EQ(reporter.entries()[0].caption.rfind("Hex dump", 0), 0U);
            EXPECT_EQ(reporter.entries()[0].message,
                      "Couldn't read midi file into memory in preparation for Hex dump\n\n"
                      "Insufficient memory available");
        } else {
            EXPECT_EQ(result.status, HexDumpStatus::read_failed);
            EXPECT_EQ(reporter.entries()[0].caption.rfind("Error reading from ", 0), 0U);
        }
        EXPECT_FALSE(std::filesystem::exists(folder / "dump.hex"));
    }
}

}  // namespace
}  // namespace corvane::midi
