#include "corvane/midi/hex_dump.h"

#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

#include "../expected_output.h"
#include "../hostile_files.h"
#include "corvane/midi/general_midi.h"
#include "corvane/platform/midi_message.h"
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

// Every text an event can have, each once, in one file dumped beside it: the whole dump is
// kept (a registered parameter names the data entry after it; a long system exclusive is
// split into lines of 32 bytes), and its data lines are the file's bytes again.
TEST(HexDump, AFileWithEveryKindOfEventDumpsBesideItAsKept) {
    Bytes sysex{0x00, 0xF0, 0x81, 0x00};
    for (int i = 0; i < 128; ++i) sysex.push_back(static_cast<std::uint8_t>(i));
    const Bytes body = cat({
        {0x00, 0xFF, 0x59, 0x02, 0x03, 0x00}, {0x00, 0xC0, 0}, {0x00, 0xB0, 7, 100}, {0x00, 0xE0, 0x00, 0x40},
        {0x83, 0x74, 0x80, 60, 0},
        {0x00, 0xE0, 0x00, 0x00}, {0x00, 0xE1, 0x7F, 0x7F}, {0x00, 0xE2, 0x00, 0x50}, {0x00, 0xB3, 6, 64},
        {0x00, 0xB3, 101, 0}, {0x00, 0xB3, 100, 0}, {0x00, 0xB3, 6, 12}, {0x00, 0xB3, 38, 50}, {0x00, 0xB2, 38, 50},
        {0x00, 0xB3, 100, 1}, {0x00, 0xB3, 6, 64}, {0x00, 0xB3, 100, 2}, {0x00, 0xB3, 100, 3}, {0x00, 0xB3, 100, 4},
        {0x00, 0xB3, 100, 5}, {0x00, 0xB0, 64, 127}, {0x00, 0xB0, 67, 63}, {0x00, 0xB0, 75, 10}, {0x00, 0xB0, 79, 10},
        {0x00, 0xB0, 81, 10}, {0x00, 0xB0, 17, 10}, {0x00, 0xB0, 96, 0},
        {0x00, 0xB4, 99, 0}, {0x00, 0xB4, 98, 5}, {0x00, 0xB4, 100, 0}, {0x00, 0xB4, 6, 7},  // NRPN 0/5, then RPN LSB
        {0x00, 0xB0, 5, 127}, {0x00, 0xB0, 122, 0}, {0x00, 0xB0, 122, 64}, {0x00, 0xB0, 123, 0}, {0x00, 0xB0, 126, 2},
        {0x00, 0xB0, 3, 9}, {0x00, 0xB0, 0x7F, 0}, {0x00, 0xD5, 127}, {0x00, 0xA0, 60, 30}, {0x00, 0xCF, 127},
        {0x00, 0x90, 60, 100}, {0x00, 62, 100}, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
        {0x00, 0xFF, 0x51, 0x01, 0x07}, {0x00, 0xFF, 0x58, 0x04, 6, 3, 36, 8}, {0x00, 0xFF, 0x59, 0x02, 0xFF, 0x01},
        {0x00, 0xFF, 0x59, 0x02, 0x00, 0x00}, {0x00, 0xFF, 0x59, 0x02, 0x01, 0x00},
        {0x00, 0xFF, 0x54, 0x05, 0x61, 2, 3, 4, 5},
        {0x00, 0xFF, 0x05, 0x04, 'l', 'a', '\n', 'a'}, {0x00, 0xFF, 0x0A, 0x01, 0x7F}, {0x00, 0xFF, 0x21, 0x01, 0x02},
        {0x00, 0xFF, 0x20, 0x01, 0x02}, {0x00, 0xFF, 0x00, 0x02, 0x01, 0x02}, {0x00, 0xFF, 0x60, 0x01, 0x02},
        {0x00, 0xFF, 0x7F, 0x00}, {0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7}, {0x00, 0xF7, 0x01, 0xF7}, sysex,
        {0x60, 64, 0}, kEndOfTrack});
    const Bytes file = cat({smf_header(0, 1, 250), track_chunk(body)});
    TempFolder folder;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    const auto path = folder / "every_event.mid";
    write_bytes(path, as_text(file));
    const auto result = hex_dump_midi_file(path, reporter, abort);
    EXPECT_EQ(result.status, HexDumpStatus::written);
    EXPECT_EQ(result.output, folder / "every_event.mid.hex");
    EXPECT_TRUE(reporter.entries().empty());
    const std::string text = slurp(result.output);
    EXPECT_EQ(form_problem(text), "");
    EXPECT_EQ(data_of(text), file);
    // The first line names the file where it was; the rest is kept.
    EXPECT_EQ(text.substr(0, text.find('\n')), ";" + path.string());
    // The dump of every_event.mid after its first line, as b2hedit reads it.
    expect_output_as_kept(text.substr(text.find('\n') + 1), "midi/expected/every_event.mid.hex");
    EXPECT_EQ(general_midi_instrument(40), "Violin");
    for (int program = 0; program < 128; ++program) EXPECT_FALSE(general_midi_instrument(program).empty()) << program;
    EXPECT_TRUE(general_midi_instrument(128).empty());
    EXPECT_TRUE(general_midi_instrument(-1).empty());
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

// Each malformed file is commented where it goes wrong, its every byte is still in the data
// lines, and nothing past its end is read.
TEST(HexDump, MalformedFilesAreCommentedAndNeverReadPastTheirEnd) {
    const Bytes body = cat({{0x00, 0x90, 60, 1}, kEndOfTrack});
    const Bytes header = smf_header(0, 1, 96);
    const std::vector<std::pair<std::string, Bytes>> cases{
        {"empty", {}},
        {"other header", cat({{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, track_chunk(body)})},
        {"unknown chunk", cat({header, {'J', 'u', 'n', 'k', 0, 0, 0, 2, 1, 2}, track_chunk(body)})},
        {"length beyond the file", cat({header, {'M', 'T', 'r', 'k', 1, 0, 0, 0x3B, 0x00, 0x90, 60}})},
        {"cut inside an event", cat({header, {'M', 'T', 'r', 'k', 0, 0, 0, 3, 0x00, 0x90, 60}})},
        {"cut inside a delta", cat({header, {'M', 'T', 'r', 'k', 0, 0, 0, 2, 0x81, 0x82}})},
        {"meta length too long", cat({header, track_chunk({0x00, 0xFF, 0x01, 0x7F, 'a'})})},
        {"data byte with no status", cat({header, track_chunk(cat({{0x00, 0x3C}, kEndOfTrack}))})},
        {"status among data", cat({header, track_chunk(cat({{0x00, 0x90, 0x80, 0x3C, 0x00}, kEndOfTrack}))})},
        {"system message", cat({header, track_chunk(cat({{0x00, 0xF2, 1, 2}, kEndOfTrack}))})},
        {"no end of track", cat({header, track_chunk({0x00, 0x90, 60, 1})})},
        {"bytes after end of track", cat({header, track_chunk(cat({kEndOfTrack, {1, 2}}))})},
        {"cut chunk header", cat({header, {'M', 'T'}})},
    };
    std::string dumps;
    for (const auto& [what, file] : cases) {
        SCOPED_TRACE(what);
        const std::string text = dump(file);
        EXPECT_EQ(form_problem(text), "");
        EXPECT_EQ(data_of(text), file);
        dumps += "==== " + what + "\n" + text;
    }
    // The dump of each malformed file, under a line naming what is wrong with it.
    expect_output_as_kept(dumps, "midi/expected/malformed_files.hex");
}

// The tuning standard's messages read as what they do; the registered parameters that select
// a tuning and configure MPE are named. Any other system exclusive message is told by length.
TEST(HexDump, TuningMessagesAndTheirParametersAreReadAsKept) {
    std::array<platform::TuningBytes, platform::kMidiKeys> quarter_sharp{};
    for (int key = 0; key < platform::kMidiKeys; ++key) quarter_sharp[key] = {static_cast<std::uint8_t>(key), 0x20, 0};
    const auto dump_of = platform::bulk_tuning_dump(2, "Quarter sharp", quarter_sharp);
    Bytes good_dump{0x00, 0xF0, 0x83, 0x17};  // delta, F0, 407 bytes follow
    good_dump.insert(good_dump.end(), dump_of.begin() + 1, dump_of.end());
    Bytes bad_dump = good_dump;
    bad_dump[bad_dump.size() - 3] ^= 0x01;  // the last key's fraction, which the checksum covers
    const auto change = platform::single_note_tuning_change(2, 60, {60, 0x40, 0x00});
    Bytes one_key{0x00, 0xF0, 11};
    one_key.insert(one_key.end(), change.view().begin() + 1, change.view().end());
    const Bytes body = cat({
        {0x00, 0xB0, 101, 0}, {0x00, 0xB0, 100, 4}, {0x00, 0xB0, 6, 1},
        {0x00, 0xB0, 100, 3}, {0x00, 0xB0, 6, 2},
        {0x00, 0xB0, 100, 6}, {0x00, 0xB0, 6, 15}, {0x00, 0xB0, 38, 0},
        good_dump, bad_dump, one_key,
        {0x00, 0xF0, 15, 0x7F, 0x7F, 0x08, 0x02, 0x02, 0x02, 60, 60, 0x7F, 0x7F, 61, 0x7F, 0x7F, 0x7F, 0xF7},
        {0x00, 0xF0, 11, 0x7F, 0x7F, 0x08, 0x02, 0x02, 0x02, 60, 60, 0x40, 0x00, 0xF7},  // says two keys, has one
        {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7},
        {0x00, 0x90, 60, 100}, kEndOfTrack});
    const Bytes file = cat({smf_header(0, 1, 96), track_chunk(body)});
    const std::string text = dump(file);
    EXPECT_EQ(form_problem(text), "");
    EXPECT_EQ(data_of(text), file);
    expect_output_as_kept(text, "midi/expected/tuning_messages.hex");
}

// Files from elsewhere with system exclusive events (scale tunings, resets, running status
// after one) still dump whole, each such event told by its length.
TEST(HexDump, SystemExclusiveOfFilesFromElsewhere) {
    const std::filesystem::path data = std::filesystem::path(CORVANE_SHARED_DATA) / "midi";
    const std::vector<std::pair<std::string, std::size_t>> files{
        {"jazzsoft__test-sysex-7x-08-0x-scale-tuning.mid", 8},
        {"tonejs__tchaikovsky_seasons.mid", 5},
        {"edge/jazzsoft__test-running-status-sysex.mid", 1},
        {"edge/midly__SysExTest.mid", 3}};
    for (const auto& [name, sysex_events] : files) {
        if (!std::filesystem::exists(data / name)) GTEST_SKIP() << "no " << (data / name);
        SCOPED_TRACE(name);
        const Bytes file = testing::file_bytes(data / name);
        const std::string text = dump(file);
        EXPECT_EQ(form_problem(text), "");
        EXPECT_EQ(data_of(text), file);
        const auto lines = lines_of(text);
        const auto told_by_length = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.find(";system exclusive ") != std::string::npos;
        });
        EXPECT_EQ(static_cast<std::size_t>(told_by_length), sysex_events) << text;
        EXPECT_EQ(text.find("MIDI tuning"), std::string::npos);
    }
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
