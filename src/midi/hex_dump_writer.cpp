#include "hex_dump_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "midi_event_text.h"
#include "number_text.h"

namespace corvane::midi::detail {
namespace {

constexpr std::size_t kPassOnSize = std::size_t{1} << 16;
constexpr std::size_t kBytesPerLine = 32;        // long events and raw data are split into lines this long
constexpr std::size_t kLongestSingleLine = 48;   // an event up to this many bytes keeps to one line
constexpr std::size_t kMaxVariableLength = 4;    // a longer quantity ends after its fourth byte
constexpr double kDefaultTicksPerSecond = 1000;  // a division of 0 says nothing about time
constexpr std::array<std::uint8_t, 4> kHeaderId{'M', 'T', 'h', 'd'};
constexpr std::array<std::uint8_t, 4> kTrackId{'M', 'T', 'r', 'k'};

bool is_id(std::span<const std::uint8_t> bytes, const std::array<std::uint8_t, 4>& id) {
    return bytes.size() == id.size() && std::equal(id.begin(), id.end(), bytes.begin());
}

std::uint32_t big_endian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::uint8_t b : bytes) value = value << 8 | b;
    return value;
}

// A chunk id as characters, with anything unprintable as '.'.
std::string shown_id(std::span<const std::uint8_t> id) {
    std::string text;
    for (std::uint8_t c : id) text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
    return text;
}

// Reads a variable-length quantity at `i` within `bytes`; false when they end inside it.
bool read_variable_length(std::span<const std::uint8_t> bytes, std::size_t& i, std::uint32_t& value) {
    value = 0;
    for (std::size_t n = 0; n < kMaxVariableLength; ++n) {
        if (i >= bytes.size()) return false;
        const std::uint8_t b = bytes[i++];
        value = value << 7 | (b & 0x7Fu);
        if ((b & 0x80) == 0) return true;
    }
    return true;
}

// Seconds at each tick, from the tempo changes seen so far.
class TempoMap {
public:
    void reset(double ticks_per_second) { segments_.assign(1, {0, 0.0, ticks_per_second}); }

    double seconds_at(std::uint64_t tick) const {
        const Segment& s = segments_[segment_at(tick)];
        return s.seconds + static_cast<double>(tick - s.tick) / s.ticks_per_second;
    }

    void change_at(std::uint64_t tick, double ticks_per_second) {
        std::size_t at = segment_at(tick);
        if (segments_[at].tick == tick) {
            segments_[at].ticks_per_second = ticks_per_second;
        } else {
            const double seconds = seconds_at(tick);
            ++at;
            segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(at), {tick, seconds, ticks_per_second});
        }
        for (std::size_t i = at + 1; i < segments_.size(); ++i) {
            const Segment& before = segments_[i - 1];
            segments_[i].seconds =
                before.seconds + static_cast<double>(segments_[i].tick - before.tick) / before.ticks_per_second;
        }
    }

private:
    struct Segment {
        std::uint64_t tick;
        double seconds;
        double ticks_per_second;
    };

    // The last segment starting at or before `tick` (the first starts at 0).
    std::size_t segment_at(std::uint64_t tick) const {
        if (segments_.back().tick <= tick) return segments_.size() - 1;
        const auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                            [](std::uint64_t t, const Segment& s) { return t < s.tick; });
        return static_cast<std::size_t>(after - segments_.begin()) - 1;
    }

    std::vector<Segment> segments_{{0, 0.0, kDefaultTicksPerSecond}};
};

enum class Parsed { event, unrecognised, cut_off };

class HexDumper {
public:
    HexDumper(std::span<const std::uint8_t> file, std::optional<double> ticks_per_second,
              const std::atomic<bool>* abort, DumpOutput& out)
        : file_(file), abort_(abort), out_(out), text_(out.text()), fixed_rate_(ticks_per_second) {}

    bool run(std::string_view shown_path) {
        banner(shown_path);
        header_chunk();
        while (pos_ < file_.size()) {
            if (aborted() || !next_chunk()) {
                comment_line("(dump interrupted)");
                return false;
            }
        }
        return true;
    }

private:
    // ---- lines ----

    void hex(std::span<const std::uint8_t> bytes) {
        static constexpr std::string_view kDigits = "0123456789abcdef";
        if (bytes.empty()) return;
        if (at_line_start_) text_ += ':';
        at_line_start_ = false;
        for (std::uint8_t b : bytes) {
            text_ += kDigits[b >> 4];
            text_ += kDigits[b & 0x0F];
        }
    }

    // The comment that closes the current data line.
    void end_line(std::string_view comment) {
        text_ += ';';
        text_ += comment;
        text_ += '\n';
        at_line_start_ = true;
    }

    // A comment on a line of its own.
    void comment_line(std::string_view comment) {
        if (!at_line_start_) text_ += '\n';
        at_line_start_ = true;
        end_line(comment);
    }

    // Bytes that may be long: the first line carries `first`, later ones `next`.
    void data_lines(std::span<const std::uint8_t> bytes, std::string_view first, std::string_view next) {
        if (bytes.size() <= kLongestSingleLine) {
            hex(bytes);
            end_line(first);
            return;
        }
        for (std::size_t i = 0; i < bytes.size(); i += kBytesPerLine) {
            hex(bytes.subspan(i, std::min(kBytesPerLine, bytes.size() - i)));
            end_line(i == 0 ? first : next);
        }
    }

    std::span<const std::uint8_t> take(std::size_t count) {
        const std::size_t n = std::min(count, file_.size() - pos_);
        const auto bytes = file_.subspan(pos_, n);
        pos_ += n;
        return bytes;
    }

    bool aborted() const { return abort_ != nullptr && abort_->load(std::memory_order_relaxed); }

    // ---- the file ----

    void banner(std::string_view shown_path) {
        std::string path_line;
        append_shown_text(path_line, std::span(reinterpret_cast<const std::uint8_t*>(shown_path.data()),
                                               shown_path.size()),
                          shown_path.size());
        comment_line(path_line);
        comment_line("This is a hex dump in the text format recognised by the freeware program b2hedit.");
        comment_line("b2hedit is a freeware hex editor: it can edit this text and turn it back into the MIDI file.");
        comment_line("");
    }

    // A chunk id and length; false (after saying so) when the file ends inside them.
    bool chunk_id_and_length(std::span<const std::uint8_t>& id, std::uint32_t& length, std::string_view what) {
        id = take(4);
        if (id.size() < 4) {
            hex(id);
            end_line("cut off: the file ends inside the " + std::string(what));
            return false;
        }
        hex(id);
        if (is_id(id, kHeaderId) && what == "header") {
            end_line("MThd - header");
        } else if (is_id(id, kTrackId) && what != "header") {
            std::string comment = "MTrk - track ";
            append_integer(comment, track_number_ + 1);
            end_line(comment + " header");
        } else if (what == "header") {
            end_line(shown_id(id) + " should be..MThd - unrecognised header");
        } else {
            end_line(shown_id(id) + " - unrecognised header - continuing to parse for incorrect track header");
        }
        const auto length_bytes = take(4);
        hex(length_bytes);
        if (length_bytes.size() < 4) {
            end_line("cut off: the file ends inside the chunk length");
            return false;
        }
        length = big_endian(length_bytes);
        std::string comment = "chunk length ";
        append_integer(comment, length);
        end_line(comment);
        return true;
    }

    // The chunk's body, clamped to the end of the file (and said so).
    std::span<const std::uint8_t> chunk_body(std::uint32_t length) {
        const auto body = take(length);
        if (body.size() < length) {
            std::string note = "cut off: only ";
            append_integer(note, body.size());
            note += " bytes of this chunk are in the file";
            comment_line(note);
        }
        return body;
    }

    void header_chunk() {
        std::span<const std::uint8_t> id;
        std::uint32_t length = 0;
        if (!chunk_id_and_length(id, length, "header")) return;
        const auto body = chunk_body(length);
        format_ = header_field(body, 0, " midi file format").value_or(0);
        header_field(body, 2, " tracks");
        const auto division = header_field(body, 4, " tempo in microseconds per quarter note");
        if (body.size() > 6) data_lines(body.subspan(6), "more header bytes than the 6 expected", "(continued)");
        comment_line("#####");
        base_ticks_per_second_ = ticks_per_second_of(division.value_or(0));
    }

    // A 16-bit field of the header: its bytes, then "%d<label>".
    std::optional<int> header_field(std::span<const std::uint8_t> body, std::size_t at, std::string_view label) {
        if (at >= body.size()) return std::nullopt;
        const auto bytes = body.subspan(at, std::min<std::size_t>(2, body.size() - at));
        hex(bytes);
        if (bytes.size() < 2) {
            end_line("cut off: the header ends inside this field");
            return std::nullopt;
        }
        const int value = static_cast<int>(big_endian(bytes));
        std::string comment;
        append_integer(comment, value);
        end_line(comment + std::string(label));
        return value;
    }

    double ticks_per_second_of(int division) {
        if (fixed_rate_ && std::isfinite(*fixed_rate_) && *fixed_rate_ > 0) return *fixed_rate_;
        if ((division & 0x8000) != 0) {
            smpte_ = true;
            const int frames = 256 - (division >> 8);
            const double rate = frames == 29 ? 29.97 : frames;
            const int ticks_per_frame = division & 0xFF;
            return rate * ticks_per_frame > 0 ? rate * ticks_per_frame : kDefaultTicksPerSecond;
        }
        division_ = division;
        return division > 0 ? 2.0 * division : kDefaultTicksPerSecond;
    }

    bool follows_tempo() const { return !fixed_rate_ && !smpte_ && division_ > 0; }

    bool next_chunk() {
        std::span<const std::uint8_t> id;
        std::uint32_t length = 0;
        if (!chunk_id_and_length(id, length, "chunk header")) return true;
        const bool is_track = is_id(id, kTrackId);
        if (is_track) ++track_number_;
        const auto body = chunk_body(length);
        if (is_track) {
            if (!track_events(body)) return false;
        } else {
            data_lines(body, "unrecognised chunk data", "(continued)");
        }
        comment_line("#####");
        std::string trailer = "(bytes in track ";
        append_integer(trailer, body.size());
        comment_line(trailer + ")");
        comment_line("");
        return true;
    }

    // ---- events ----

    bool track_events(std::span<const std::uint8_t> body) {
        // Tempo changes of a format 1 file hold for all its tracks; otherwise per track.
        if (format_ != 1 || track_number_ == 1) tempo_.reset(base_ticks_per_second_);
        running_status_ = 0;
        ticks_ = 0;
        selections_ = {};
        ended_ = false;
        std::size_t i = 0;
        while (i < body.size()) {
            if (aborted()) return false;
            if (ended_) {
                data_lines(body.subspan(i), "bytes after the end of track", "(continued)");
                return true;
            }
            const std::size_t start = i;
            std::uint32_t delta = 0;
            if (!read_variable_length(body, i, delta)) {
                data_lines(body.subspan(start), "cut off: the track ends inside a delta time", "(continued)");
                return true;
            }
            ticks_ += delta;
            words_.clear();
            bool running = false;
            const Parsed parsed = parse_event(body, i, running);
            if (parsed == Parsed::cut_off) {
                data_lines(body.subspan(start), "cut off: the track ends inside this event", "(continued)");
                return true;
            }
            event_comment(delta, running);
            data_lines(body.subspan(start, i - start), comment_, "(continued)");
            out_.pass_on_if_large();
        }
        if (!ended_) comment_line("the track has no end of track event");
        return true;
    }

    void event_comment(std::uint32_t delta, bool running) {
        comment_ = words_.what;
        if (!words_.detail.empty()) {
            comment_ += ' ';
            comment_ += words_.detail;
        }
        if (running) comment_ += " (running status)";
        if (delta > 0) {
            const double seconds = tempo_.seconds_at(ticks_);
            comment_ += " ...time ";
            append_general(comment_, seconds);
            comment_ += " delta time ";
            append_general(comment_, seconds - tempo_.seconds_at(ticks_ - delta));
        }
    }

    // One event after its delta time. Running status carries on past meta and system
    // exclusive events, as lenient readers do, so that such files still decode.
    Parsed parse_event(std::span<const std::uint8_t> body, std::size_t& i, bool& running) {
        if (i >= body.size()) return Parsed::cut_off;
        std::uint8_t status = body[i];
        if ((status & 0x80) != 0) {
            ++i;
        } else if (running_status_ != 0) {
            status = running_status_;
            running = true;
        } else {
            ++i;
            words_.what = "unrecognised data byte: no status byte before it";
            return Parsed::unrecognised;
        }
        if (status < 0xF0) return channel_event(body, i, status);
        if (status == 0xFF) return meta_event(body, i);
        if (status == 0xF0 || status == 0xF7) return sysex_event(body, i, status);
        return system_message(body, i, status);
    }

    Parsed channel_event(std::span<const std::uint8_t> body, std::size_t& i, std::uint8_t status) {
        const std::size_t count = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change, channel pressure: 1
        if (body.size() - i < count) return Parsed::cut_off;
        for (std::size_t k = 0; k < count; ++k) {
            if ((body[i + k] & 0x80) != 0) {
                i += k;
                words_.what = "incomplete event: a status byte comes before its data";
                return Parsed::unrecognised;
            }
        }
        const std::uint8_t data1 = body[i];
        const std::uint8_t data2 = count == 2 ? body[i + 1] : 0;
        i += count;
        running_status_ = status;
        describe_channel_event(status, data1, data2, selections_, words_);
        return Parsed::event;
    }

    // Reads a length and the data it covers; false when the track ends first.
    static bool length_and_data(std::span<const std::uint8_t> body, std::size_t& i,
                                std::span<const std::uint8_t>& data) {
        std::uint32_t length = 0;
        if (!read_variable_length(body, i, length) || body.size() - i < length) return false;
        data = body.subspan(i, length);
        i += length;
        return true;
    }

    Parsed meta_event(std::span<const std::uint8_t> body, std::size_t& i) {
        if (i >= body.size()) return Parsed::cut_off;
        const std::uint8_t type = body[i++];
        std::span<const std::uint8_t> data;
        if (!length_and_data(body, i, data)) return Parsed::cut_off;
        describe_meta_event(type, data, words_);
        if (type == 0x2F) ended_ = true;
        if (type == 0x51 && data.size() == 3 && follows_tempo()) {
            const double microseconds = big_endian(data);
            if (microseconds > 0) tempo_.change_at(ticks_, division_ * 1e6 / microseconds);
        }
        return Parsed::event;
    }

    Parsed sysex_event(std::span<const std::uint8_t> body, std::size_t& i, std::uint8_t status) {
        std::span<const std::uint8_t> data;
        if (!length_and_data(body, i, data)) return Parsed::cut_off;
        describe_sysex(status, data, words_);
        return Parsed::event;
    }

    // Status bytes that have no place in a file (system common and real-time messages).
    Parsed system_message(std::span<const std::uint8_t> body, std::size_t& i, std::uint8_t status) {
        const std::size_t count = status == 0xF2 ? 2 : (status == 0xF1 || status == 0xF3) ? 1 : 0;
        if (body.size() - i < count) return Parsed::cut_off;
        i += count;
        words_.what = "unrecognised system message ";
        append_integer(words_.what, static_cast<int>(status));
        return Parsed::unrecognised;
    }

    std::span<const std::uint8_t> file_;
    std::size_t pos_ = 0;
    const std::atomic<bool>* abort_;
    DumpOutput& out_;
    std::string& text_;
    bool at_line_start_ = true;

    std::optional<double> fixed_rate_;
    int format_ = 0;
    int division_ = 0;
    bool smpte_ = false;
    double base_ticks_per_second_ = kDefaultTicksPerSecond;
    TempoMap tempo_;

    int track_number_ = 0;
    std::uint8_t running_status_ = 0;
    std::uint64_t ticks_ = 0;
    bool ended_ = false;
    ChannelSelections selections_{};
    EventText words_;
    std::string comment_;
};

}  // namespace

void DumpOutput::pass_on_if_large() {
    if (file_ != nullptr && text_.size() >= kPassOnSize) pass_on();
}

bool DumpOutput::finish() {
    if (file_ != nullptr) pass_on();
    return error_ == 0;
}

void DumpOutput::pass_on() {
    if (error_ == 0) {
        error_ = file_->write(text_);
    }
    text_.clear();
}

bool write_hex_dump(std::span<const std::uint8_t> file, std::string_view shown_path,
                    std::optional<double> ticks_per_second, const std::atomic<bool>* abort, DumpOutput& out) {
    HexDumper dumper(file, ticks_per_second, abort, out);
    return dumper.run(shown_path);
}

}  // namespace corvane::midi::detail
