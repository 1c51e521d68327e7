#include "corvane/midi/smf_writer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "number_text.h"
#include "posix_file.h"
#include "corvane/platform/midi_message.h"

namespace corvane::midi {
namespace {

constexpr std::size_t kFlushMargin = 10;          // a buffer counts as full within 10 bytes of its end
constexpr std::size_t kMinBlockSize = 64;
constexpr std::size_t kMinTrackBufferSize = 32;   // single pass: key signature, an event, end-of-track, margin
constexpr std::size_t kMaxChannelData = 2;
constexpr std::uint64_t kChunkHeaderSize = 8;
constexpr std::uint64_t kAppendableSize = 22;     // header chunk plus a track chunk header
constexpr std::uint64_t kEndOfTrackSize = 4;
constexpr int kMaxDivision = 0x7FFF;               // bit 15 would mean SMPTE timing
constexpr int kMaxHeaderTracks = 0xFFFF;
using platform::kMidiChannels;
constexpr double kNoLimit = 1e-10;
constexpr std::size_t kPlayalongMinBytes = 30;     // limits apply once more than this is written

constexpr std::array<std::uint8_t, 4> kHeaderId{'M', 'T', 'h', 'd'};
constexpr std::array<std::uint8_t, 4> kTrackId{'M', 'T', 'r', 'k'};
constexpr std::array<std::uint8_t, 4> kEndOfTrack{0x00, 0xFF, 0x2F, 0x00};

void put_big_endian(std::uint8_t* out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out[i] = static_cast<std::uint8_t>(value & 0xFF);
        value >>= 8;
    }
}

std::uint32_t big_endian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::uint8_t b : bytes) value = value << 8 | b;
    return value;
}

std::array<std::uint8_t, 8> track_chunk_header(std::uint32_t length) {
    std::array<std::uint8_t, 8> header{};
    std::copy(kTrackId.begin(), kTrackId.end(), header.begin());
    put_big_endian(header.data() + 4, length, 4);
    return header;
}

std::uint8_t byte_of(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

// "kB × 1024, truncated", compared in doubles so that huge limits cannot overflow.
bool exceeds_kb(std::uint64_t bytes, double limit_kb) {
    return static_cast<double>(bytes) > std::trunc(limit_kb * 1024.0);
}

std::string folder_text(const std::filesystem::path& path) {
    if (path.has_parent_path()) return path.parent_path().string();
    std::error_code ignored;
    return std::filesystem::current_path(ignored).string();
}

}  // namespace

std::string playalong_limit_message(const PlayalongLimitNotice& notice) {
    return "File size for:\n" + notice.path.string() + "\n\n" + detail::general_text(notice.size_kb) +
           " kB\n\nExceeds max set of " + detail::general_text(notice.limit_kb) +
           " kB.\n\nStopping recording.\n\nYou can change the max. file size from In | Options | Record Play Along";
}

std::size_t encode_variable_length(std::uint32_t value, std::span<std::uint8_t, 4> out) {
    value = std::min(value, kMaxDelta);
    std::array<std::uint8_t, 4> groups{};  // least significant first
    std::size_t count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t more = i + 1 < count ? 0x80 : 0x00;
        out[i] = static_cast<std::uint8_t>(groups[count - 1 - i] | more);
    }
    return count;
}

SmfWriter::SmfWriter(platform::Reporter& reporter, std::atomic<bool>& abort, const SmfSettings& settings,
                     std::size_t block_size)
    : reporter_(reporter), abort_(abort), settings_(settings), block_(std::max(block_size, kMinBlockSize)) {
    shared_ = {block_.data(), block_.size(), 0};
}

SmfWriter::~SmfWriter() { close(); }

// ---- opening and closing --------------------------------------------------------------

void SmfWriter::reset_state(const std::filesystem::path& path, SmfTarget target) {
    path_ = path;
    target_ = target;
    existing_size_ = 0;
    append_ = false;
    single_pass_ = false;
    accepting_events_ = false;
    format_ = 0;
    tracks_ = 1;
    track_ = 0;
    shared_.fill = 0;
    track_buffers_ = {};
    track_buffer_count_ = 0;
    active_ = &shared_;
    bytes_in_track_ = 0;
    bytes_flushed_in_track_ = 0;
    file_bytes_ = 0;
    last_two_bytes_ = {};
    write_error_ = false;
    read_error_ = false;
    overflow_ = false;
    size_limit_ = false;
}

bool SmfWriter::create(const std::filesystem::path& path, SmfTarget target) {
    close();
    return open_fresh(path, target);
}

bool SmfWriter::open_fresh(const std::filesystem::path& path, SmfTarget target) {
    reset_state(path, target);
    // A recording is written in place, so that it can be continued while it grows.
    const auto way = target == SmfTarget::playalong ? platform::SaveWay::in_place_emptied : platform::SaveWay::replace;
    if (const int error = file_.open(path, way)) {
        reporter_.report(platform::system_error_text(error), "Error saving to " + path.string());
        abort_.store(true);
        return false;
    }
    return true;
}

bool SmfWriter::open_to_append(const std::filesystem::path& path) {
    close();
    std::uint64_t size = 0;
    if (file_.open(path, platform::SaveWay::in_place_kept) != 0) return open_fresh(path, SmfTarget::playalong);
    if (detail::file_size(file_.descriptor(), size) != 0 || size == 0) {
        file_.abandon();
        return open_fresh(path, SmfTarget::playalong);
    }
    reset_state(path, SmfTarget::playalong);
    if (!existing_file_continues(size)) {
        reporter_.report("Can't continue recording to " + path.string() +
                             ".\n\nIt is not a MIDI file of format 0 with its track at the start.",
                         "Error writing MIDI file");
        abort_.store(true);
        file_.abandon();
        return false;
    }
    existing_size_ = size;
    append_ = true;
    return true;
}

// A recording continues only a format 0 file whose single track starts at offset 14.
bool SmfWriter::existing_file_continues(std::uint64_t size) {
    std::array<std::uint8_t, kAppendableSize> start{};
    if (size < kAppendableSize || detail::read_at(file_.descriptor(), 0, start) != 0) return false;
    const auto bytes = std::span<const std::uint8_t>(start);
    return std::equal(kHeaderId.begin(), kHeaderId.end(), start.begin()) && big_endian(bytes.subspan(4, 4)) == 6 &&
           big_endian(bytes.subspan(8, 2)) == 0 && std::equal(kTrackId.begin(), kTrackId.end(), start.begin() + 14);
}

bool SmfWriter::close() {
    if (!file_.is_open()) return !write_error_;
    flush_buffer(*active_);
    finish_file();
    return !write_error_ && !read_error_;
}

// The finished file takes the place of the old one. A failed one leaves an earlier file as it
// was; with none, what was written stays under the file's name.
void SmfWriter::finish_file() {
    if (write_error_ && std::filesystem::exists(path_)) {
        file_.abandon();
    } else if (const int error = file_.commit(); error != 0 && !write_error_) {
        fail_write(error);
    }
}

// ---- the file -------------------------------------------------------------------------

bool SmfWriter::write_file(int format, int tracks, int division, const TrackWriter& write_track) {
    const int header_tracks = tracks + (format == 1 ? 1 : 0);
    const bool arguments_fit = format >= 0 && format <= 2 && tracks >= 1 && header_tracks <= kMaxHeaderTracks &&
                               (format != 0 || tracks == 1) && division >= 1 && division <= kMaxDivision &&
                               (!append_ || format == 0);
    if (!file_.is_open() || !arguments_fit) return false;
    end_of_track_delta_ = {};
    format_ = format;
    tracks_ = tracks;
    single_pass_ = format > 0 && settings_.mf_single_pass_recording;
    if (single_pass_ && (tracks > kMaxTrackBuffers ||
                         (block_.size() - 1) / static_cast<std::size_t>(tracks) < kMinTrackBufferSize)) {
        single_pass_ = false;
        return false;
    }
    active_ = &shared_;
    write_header(format, header_tracks, division);
    if (format == 1) write_track_chunk(kTempoTrack, nullptr);
    if (single_pass_) split_block_between_tracks();
    for (int t = 0; t < tracks && !write_error_ && !read_error_; ++t) write_track_chunk(t, &write_track);
    active_ = &shared_;
    track_ = 0;
    if (append_ && !write_error_ && !read_error_) {
        // A continued track may end before the old file did: nothing old may follow it.
        std::uint64_t end = 0;
        const int error = detail::current_position(file_.descriptor(), end);
        if (const int e = error != 0 ? error : detail::truncate_at(file_.descriptor(), end)) fail_write(e);
    }
    return !write_error_ && !read_error_;
}

bool SmfWriter::write_header(int format, int header_tracks, int division) {
    std::array<std::uint8_t, 14> header{};
    std::copy(kHeaderId.begin(), kHeaderId.end(), header.begin());
    put_big_endian(header.data() + 4, 6, 4);
    put_big_endian(header.data() + 8, static_cast<std::uint32_t>(format), 2);
    put_big_endian(header.data() + 10, static_cast<std::uint32_t>(header_tracks), 2);
    put_big_endian(header.data() + 12, static_cast<std::uint32_t>(division), 2);
    put_closing(header);
    return flush_buffer(shared_);
}

bool SmfWriter::write_track_chunk(int track, const TrackWriter* write_track) {
    track_ = track;
    active_ = &shared_;
    flush_buffer(shared_);
    std::uint64_t chunk_start = 0;
    if (write_error_ || read_error_) return false;
    if (const int error = detail::current_position(file_.descriptor(), chunk_start)) {
        fail_write(error);
        return false;
    }
    std::uint64_t body_start = chunk_start + kChunkHeaderSize;
    if (append_ && !continue_old_track(chunk_start, body_start)) return false;
    if (!append_) write_raw(track_chunk_header(0));
    bytes_in_track_ = 0;
    bytes_flushed_in_track_ = 0;
    write_track_body(track, write_track);
    put_end_of_track(track);
    flush_buffer(*active_);
    active_ = &shared_;
    if (write_error_) return false;
    const std::uint64_t end = body_start + bytes_flushed_in_track_;
    return patch_chunk_length(chunk_start, end - chunk_start - kChunkHeaderSize, end);
}

void SmfWriter::set_end_of_track_delta(int track, std::uint32_t delta) {
    if (track >= 0 && track < kMaxTrackBuffers) end_of_track_delta_[static_cast<std::size_t>(track)] = delta;
}

void SmfWriter::put_end_of_track(int track) {
    const bool music = track >= 0 && track < kMaxTrackBuffers;
    std::array<std::uint8_t, 7> bytes{};
    const std::size_t length =
        encode_variable_length(music ? end_of_track_delta_[static_cast<std::size_t>(track)] : 0,
                               std::span<std::uint8_t, 4>(bytes.data(), 4));
    std::copy(kEndOfTrack.begin() + 1, kEndOfTrack.end(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
    put_closing(std::span<const std::uint8_t>(bytes.data(), length + 3));
}

// Append mode: reads the old chunk's length, then moves to where its end-of-track stood
// (never past the file's last 4 bytes, never before the body), so that the new events
// overwrite it and follow the old ones.
bool SmfWriter::continue_old_track(std::uint64_t chunk_start, std::uint64_t& body_start) {
    std::array<std::uint8_t, 4> length_bytes{};
    if (const int error = detail::read_at(file_.descriptor(), chunk_start + 4, length_bytes)) {
        fail_read(error);
        return false;
    }
    const std::uint64_t old_length = big_endian(length_bytes);
    const std::uint64_t kept = old_length >= kEndOfTrackSize ? old_length - kEndOfTrackSize : 0;
    const std::uint64_t first_body_byte = chunk_start + kChunkHeaderSize;
    const std::uint64_t old_end_of_track = existing_size_ - kEndOfTrackSize;
    write_raw(track_chunk_header(0));
    body_start = std::max(first_body_byte, std::min(first_body_byte + kept, old_end_of_track));
    return seek(body_start);
}

void SmfWriter::write_track_body(int track, const TrackWriter* write_track) {
    if (track == kTempoTrack) {
        write_tempo(file_tempo(settings_));
        if (settings_.mf_add_time_signature) {
            write_time_signature(settings_.midi_time_sig_numerator, settings_.midi_time_sig_denominator,
                                 settings_.midi_clocks_per_metronome, settings_.midi_32nd_notes_per_quarter_note);
        }
        return;
    }
    if (single_pass_) {
        // The first track's pass renders every track; the key signatures are already in place.
        if (track == 0 && write_track != nullptr && *write_track) {
            accepting_events_ = true;
            (*write_track)(track);
            accepting_events_ = false;
        }
        select_track_buffer(track);
        return;
    }
    // A continued track already begins with its key signature.
    if (!append_) write_music_track_start();
    if (write_track != nullptr && *write_track) {
        accepting_events_ = true;
        (*write_track)(track);
        accepting_events_ = false;
    }
}

bool SmfWriter::patch_chunk_length(std::uint64_t chunk_start, std::uint64_t length, std::uint64_t end) {
    const auto length32 = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, 0xFFFFFFFF));
    if (!seek(chunk_start)) return false;
    const auto header = track_chunk_header(length32);
    if (const int error = file_.write(header)) {
        fail_write(error);
        return false;
    }
    return seek(end);
}

// Single pass: each music track gets (block size - 1) / tracks bytes of the block, and
// its key signature first.
void SmfWriter::split_block_between_tracks() {
    track_buffer_count_ = std::min(tracks_, kMaxTrackBuffers);
    const std::size_t share = (block_.size() - 1) / static_cast<std::size_t>(tracks_);
    for (int i = 0; i < track_buffer_count_; ++i) {
        track_buffers_[static_cast<std::size_t>(i)] = {block_.data() + static_cast<std::size_t>(i) * share, share, 0};
    }
    for (int i = 0; i < track_buffer_count_; ++i) {
        select_track_buffer(i);
        write_music_track_start();
    }
}

// What a music track begins with: its tempo when no tempo track holds it and it is not the
// tempo every reader assumes, then the key signature.
void SmfWriter::write_music_track_start() {
    if (format_ != 1 && file_tempo(settings_) != kDefaultTempo) write_tempo(file_tempo(settings_));
    if (settings_.mf_add_key_signature) write_key_signature(configured_key_signature(settings_));
}

void SmfWriter::select_track_buffer(int track) {
    active_ = &track_buffers_[static_cast<std::size_t>(track % track_buffer_count_)];
}

// ---- events ---------------------------------------------------------------------------

// True when this pass writes the events of `track`, whose buffer is then the active one.
bool SmfWriter::takes_event_of(int track) {
    if (!accepting_events_ || track < 0) return false;
    if (single_pass_) {
        select_track_buffer(track);
        return true;
    }
    return track == track_;
}

int SmfWriter::write_channel_event(std::uint32_t delta, std::uint8_t status, int channel,
                                   std::span<const std::uint8_t> data, int track) {
    if (!takes_event_of(track)) return 0;
    if (channel < 0 || channel >= kMidiChannels) {
        reporter_.report("error: MIDI channel greater than 16\r\n", "Error writing MIDI file");
        abort_.store(true);
        return -1;
    }
    if (data.size() > kMaxChannelData || status < 0x80 || status >= 0xF0) return -1;
    std::array<std::uint8_t, 4 + 1 + kMaxChannelData> bytes{};
    std::size_t count = encode_variable_length(delta, std::span<std::uint8_t, 4>(bytes.data(), 4));
    bytes[count++] = static_cast<std::uint8_t>(status | channel);
    for (std::uint8_t d : data) bytes[count++] = d;
    put_event(std::span<const std::uint8_t>(bytes.data(), count));
    if (write_error_ || (single_pass_ && overflow_)) return -1;
    return static_cast<int>(data.size());
}

int SmfWriter::write_channel_event(std::uint32_t delta, std::uint8_t status, std::uint8_t channel,
                                   std::uint8_t data1, std::uint8_t data2, int length, int track) {
    const std::array<std::uint8_t, kMaxChannelData> data{data1, data2};
    if (length < 0 || static_cast<std::size_t>(length) > data.size()) return -1;
    return write_channel_event(delta, status, static_cast<int>(channel),
                               std::span<const std::uint8_t>(data.data(), static_cast<std::size_t>(length)), track);
}

int SmfWriter::write_sysex_event(std::uint32_t delta, std::span<const std::uint8_t> message, int track) {
    if (!takes_event_of(track)) return 0;
    if (!platform::is_sysex_message(message) || message.size() - 1 > kMaxDelta) return -1;
    std::array<std::uint8_t, 4 + 1 + 4> head{};
    std::size_t count = encode_variable_length(delta, std::span<std::uint8_t, 4>(head.data(), 4));
    head[count++] = platform::kSysexStart;
    const auto rest = message.subspan(1);
    count += encode_variable_length(static_cast<std::uint32_t>(rest.size()),
                                    std::span<std::uint8_t, 4>(head.data() + count, 4));
    put_event(std::span<const std::uint8_t>(head.data(), count), rest);
    if (write_error_ || (single_pass_ && overflow_)) return -1;
    return static_cast<int>(message.size());
}

bool SmfWriter::write_tempo(std::uint32_t microseconds_per_quarter) {
    const std::uint32_t tempo = std::min<std::uint32_t>(microseconds_per_quarter, 0xFFFFFF);
    std::array<std::uint8_t, 7> bytes{0x00, 0xFF, 0x51, 0x03, 0, 0, 0};
    put_big_endian(bytes.data() + 4, tempo, 3);
    return put_event(bytes) && !write_error_;
}

bool SmfWriter::write_time_signature(int numerator, int denominator_power, int clocks_per_click,
                                     int thirty_seconds_per_quarter) {
    const std::array<std::uint8_t, 8> bytes{0x00, 0xFF, 0x58, 0x04, byte_of(numerator), byte_of(denominator_power),
                                            byte_of(clocks_per_click), byte_of(thirty_seconds_per_quarter)};
    return put_event(bytes) && !write_error_;
}

bool SmfWriter::write_key_signature(KeySignature key) {
    const auto sf = static_cast<std::int8_t>(std::clamp(key.sharps_or_flats, -7, 7));
    const std::array<std::uint8_t, 6> bytes{0x00, 0xFF, 0x59, 0x02, static_cast<std::uint8_t>(sf),
                                            static_cast<std::uint8_t>(key.minor ? 1 : 0)};
    return put_event(bytes) && !write_error_;
}

// ---- bytes ----------------------------------------------------------------------------

bool SmfWriter::put_byte(std::uint8_t c) {
    if (write_error_) abort_.store(true);
    if (dropping()) return !write_error_;
    store(std::span<const std::uint8_t>(&c, 1));
    if (active_->fill + kFlushMargin > active_->capacity) {
        if (single_pass_) {
            overflow_ = true;
        } else {
            flush_buffer(*active_);
        }
    }
    return !write_error_;
}

// Stores a whole event, `bytes` then `more`, or drops it whole: a file cut by a limit still
// parses.
bool SmfWriter::put_event(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> more) {
    if (write_error_) abort_.store(true);
    if (dropping()) return false;
    if (active_->fill + bytes.size() + more.size() + kFlushMargin > active_->capacity) {
        if (single_pass_) {
            overflow_ = true;
            return false;
        }
        flush_buffer(*active_);
    }
    store_flushing(bytes);
    store_flushing(more);
    return true;
}

// Stores the bytes, flushing the buffer whenever they fill it: only an event longer than a
// whole multi-pass buffer needs that.
void SmfWriter::store_flushing(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    while (bytes.size() > active_->capacity - active_->fill) {
        const std::size_t room = active_->capacity - active_->fill;
        store(bytes.first(room));
        bytes = bytes.subspan(room);
        flush_buffer(*active_);
    }
    store(bytes);
}

// The bytes that keep the file well formed (header, end-of-track) are never dropped.
void SmfWriter::put_closing(std::span<const std::uint8_t> bytes) {
    if (active_->fill + bytes.size() > active_->capacity) flush_buffer(*active_);
    store(bytes);
}

void SmfWriter::store(std::span<const std::uint8_t> bytes) {
    std::memcpy(active_->data + active_->fill, bytes.data(), bytes.size());
    active_->fill += bytes.size();
    bytes_in_track_ += bytes.size();
    file_bytes_ += bytes.size();
    if (bytes.size() >= 2) {
        last_two_bytes_ = {bytes[bytes.size() - 2], bytes.back()};
    } else if (!bytes.empty()) {
        last_two_bytes_ = {last_two_bytes_[1], bytes.back()};
    }
    check_size_limits();
}

void SmfWriter::check_size_limits() {
    if (target_ == SmfTarget::playalong && settings_.max_midi_file_size_for_playalong > kNoLimit &&
        file_bytes_ > kPlayalongMinBytes &&
        exceeds_kb(existing_size_ + file_bytes_, settings_.max_midi_file_size_for_playalong) && !size_limit_) {
        size_limit_ = true;
        if (limit_listener_) {
            limit_listener_({path_, static_cast<double>(existing_size_ + file_bytes_) / 1024.0,
                             settings_.max_midi_file_size_for_playalong});
        }
    }
    if (target_ == SmfTarget::gallery_clip && settings_.max_midi_file_size_for_gallery > kNoLimit &&
        file_bytes_ > kPlayalongMinBytes &&
        exceeds_kb(file_bytes_, settings_.max_midi_file_size_for_gallery)) {
        size_limit_ = true;
    }
}

bool SmfWriter::flush() { return flush_buffer(*active_); }

// mf_flush: once a write has failed, pending bytes are dropped and nothing reaches the file.
bool SmfWriter::flush_buffer(Buffer& buffer) {
    const std::size_t pending = buffer.fill;
    buffer.fill = 0;
    if (write_error_ || !file_.is_open()) return !write_error_;
    if (pending == 0) return true;
    if (const int error = file_.write(std::span<const std::uint8_t>(buffer.data, pending))) {
        fail_write(error);
        return false;
    }
    bytes_flushed_in_track_ += pending;
    return true;
}

bool SmfWriter::write_raw(std::span<const std::uint8_t> bytes) {
    if (write_error_) return false;
    if (const int error = file_.write(bytes)) {
        fail_write(error);
        return false;
    }
    file_bytes_ += bytes.size();
    return true;
}

bool SmfWriter::seek(std::uint64_t position) {
    if (write_error_) return false;
    if (const int error = detail::seek_to(file_.descriptor(), position)) {
        fail_write(error);
        return false;
    }
    return true;
}

void SmfWriter::fail_write(int error) {
    const bool first = !write_error_;
    write_error_ = true;
    abort_.store(true);
    if (first) {
        reporter_.report(platform::system_error_text(error),
                         "Error saving to " + path_.filename().string() + "in Folder " + folder_text(path_));
    }
}

void SmfWriter::fail_read(int error) {
    read_error_ = true;
    abort_.store(true);
    reporter_.report(platform::system_error_text(error), "Error reading from " + path_.string());
}

}  // namespace corvane::midi
