#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "corvane/midi/smf_settings.h"
#include "corvane/platform/file_save.h"
#include "corvane/platform/reporter.h"

namespace corvane::midi {

inline constexpr std::size_t kDefaultBlockSize = 10240;  // the block a save or a recording gets
inline constexpr int kTempoTrack = -1;                   // the format 1 tempo track, as a track number
inline constexpr int kMaxTrackBuffers = 16;              // per-track buffers of single-pass mode
inline constexpr std::uint32_t kMaxDelta = 0x0FFFFFFF;   // larger deltas are written as this

// What the file is for: decides which size limit applies.
enum class SmfTarget {
    save,          // a plain save: no limit
    playalong,     // a play-along recording: max_midi_file_size_for_playalong, told to the owner once
    gallery_clip,  // a gallery clip: max_midi_file_size_for_gallery
};

// Told to the owner of a play-along recording, once, when the file reaches its size limit.
struct PlayalongLimitNotice {
    std::filesystem::path path;
    double size_kb = 0;   // existing size + bytes written, in kB of 1024 bytes
    double limit_kb = 0;  // max_midi_file_size_for_playalong
};

// The text the main window shows for the notice.
std::string playalong_limit_message(const PlayalongLimitNotice& notice);

// Writes `value` (capped at kMaxDelta) as a variable-length quantity; returns its length, 1 to 4.
std::size_t encode_variable_length(std::uint32_t value, std::span<std::uint8_t, 4> out);

// Writes Standard MIDI Files of format 0, 1 or 2.
//
// The owner opens the file (create or open_to_append), runs write_file, and closes it.
// write_file writes the header, in format 1 the tempo track, then one track chunk per music
// track: in formats 0 and 2 the tempo when it is not 500000 microseconds per quarter note,
// the key signature (when mf_add_key_signature is set), whatever the track callback
// writes, end-of-track, and the chunk length patched in. The music comes from channel events,
// which the owner's send operation passes to write_channel_event while a track callback runs:
//
// - Multi-pass (format 0, or mf_single_pass_recording off): the callback renders the whole
//   tune once per music track; only the events for that pass's track are written (others
//   return 0), through the one block, flushed whenever it is within 10 bytes of full.
// - Single-pass (formats 1 and 2 with mf_single_pass_recording on): the callback is called
//   only for the first music track and renders everything once; each event goes into its
//   track's share of the block ((block size - 1) / tracks bytes, track number modulo
//   min(tracks, 16)). An event that does not fit sets the overflow flag and fails (-1),
//   and so does every later one: the block bounds the file in this mode.
// - Append (a play-along recording continuing a format 0 file): the header is written over
//   the old one and the events continue the old track where its end-of-track stood (no
//   second key signature).
//
// Write failures are reported once through the Reporter, set the write-error flag and the
// owner's abort flag; from then on nothing more reaches the file, which keeps what was
// written. A cut track still ends with end-of-track: the size limit and the overflow rule
// drop whole events, never the closing bytes. Channel events allocate nothing.
//
// Not thread-safe: the owner serialises every call (its MIDI out port lock). A track
// callback of a recording may block while other threads send; it must return only after
// the last send of the recording.
class SmfWriter {
public:
    using TrackWriter = std::function<void(int track)>;
    using LimitListener = std::function<void(const PlayalongLimitNotice&)>;

    SmfWriter(platform::Reporter& reporter, std::atomic<bool>& abort, const SmfSettings& settings = {},
              std::size_t block_size = kDefaultBlockSize);
    ~SmfWriter();
    SmfWriter(const SmfWriter&) = delete;
    SmfWriter& operator=(const SmfWriter&) = delete;

    // Creates the file and resets the flags and counters. On failure reports the system's
    // text, captioned "Error saving to " + path, sets the abort flag, false. A save (not a
    // recording) of a regular file is written beside it and renamed over it by close(), so an
    // earlier file survives a save that fails.
    bool create(const std::filesystem::path& path, SmfTarget target = SmfTarget::save);
    // A play-along recording that continues the file: opens it for reading and writing and
    // takes its size; a missing or empty file is created anew instead. A file that is not a
    // format 0 MIDI file with its track at offset 14 is refused (reported, abort set).
    bool open_to_append(const std::filesystem::path& path);
    // Flushes what is pending and closes the file; false when any write failed (an earlier
    // file written through a temporary is then left as it was; with none, what was written
    // stays).
    bool close();
    // Who to tell when a play-along recording reaches its size limit.
    void set_limit_listener(LimitListener listener) { limit_listener_ = std::move(listener); }

    // mf_write_file: format 0 needs exactly one track; format 1 adds the tempo track to the
    // header count. False when the arguments do not make a file or something failed.
    bool write_file(int format, int tracks, int division, const TrackWriter& write_track);

    // mf_write_channel_event: delta, then status | channel, then the data bytes (1 for a
    // program change, 2 for the others). Returns the data length when written (or dropped
    // past the size limit), 0 when the event belongs to another pass's track, -1 on failure
    // (write error, single-pass overflow, a channel above 15, more than 2 data bytes).
    int write_channel_event(std::uint32_t delta, std::uint8_t status, int channel,
                            std::span<const std::uint8_t> data, int track);
    // The same, in the shape of the port's send request.
    int write_channel_event(std::uint32_t delta, std::uint8_t status, std::uint8_t channel, std::uint8_t data1,
                            std::uint8_t data2, int length, int track);

    // A system exclusive event: delta, F0, the length of the rest as a variable-length
    // quantity, then the message's bytes after F0, its F7 included. `message` is the whole
    // message, F0 to F7. Returns its size when written (or dropped past the size limit), 0
    // when it belongs to another pass's track, -1 on failure (write error, single-pass
    // overflow, not a whole system exclusive message). An event longer than a multi-pass
    // block goes out in parts.
    int write_sysex_event(std::uint32_t delta, std::span<const std::uint8_t> message, int track);

    // The delta of a music track's end-of-track event (0 unless set), so that a track lasts
    // to the end time of its music rather than to its last event. Cleared by write_file.
    void set_end_of_track_delta(int track, std::uint32_t delta);

    // mf_write_tempo, mf_write_time_signature, mf_write_key_signature: meta events with
    // delta 0. False when the event could not be written.
    bool write_tempo(std::uint32_t microseconds_per_quarter);
    bool write_time_signature(int numerator, int denominator_power, int clocks_per_click,
                              int thirty_seconds_per_quarter);
    bool write_key_signature(KeySignature key);

    // mf_put_byte: the raw byte sink (dropped past the size limit or a single-pass overflow).
    // True unless the write-error flag is set.
    bool put_byte(std::uint8_t c);
    // mf_flush: writes the pending bytes of the current buffer; true unless a write failed.
    bool flush();

    bool write_error() const { return write_error_; }
    bool overflow() const { return overflow_; }
    bool size_limit_reached() const { return size_limit_; }
    std::uint64_t file_bytes() const { return file_bytes_; }  // bytes put since the file was opened
    std::uint64_t existing_size() const { return existing_size_; }
    bool appending() const { return append_; }
    bool single_pass() const { return single_pass_; }
    int track() const { return track_; }
    const std::filesystem::path& path() const { return path_; }
    const SmfSettings& settings() const { return settings_; }

private:
    struct Buffer {
        std::uint8_t* data = nullptr;
        std::size_t capacity = 0;
        std::size_t fill = 0;
    };

    bool open_fresh(const std::filesystem::path& path, SmfTarget target);
    void finish_file();
    void reset_state(const std::filesystem::path& path, SmfTarget target);
    bool existing_file_continues(std::uint64_t size);
    bool write_header(int format, int header_tracks, int division);
    bool write_track_chunk(int track, const TrackWriter* write_track);
    bool continue_old_track(std::uint64_t chunk_start, std::uint64_t& body_start);
    void write_track_body(int track, const TrackWriter* write_track);
    bool patch_chunk_length(std::uint64_t chunk_start, std::uint64_t length, std::uint64_t end);
    void split_block_between_tracks();
    void write_music_track_start();
    void select_track_buffer(int track);
    bool takes_event_of(int track);
    bool put_event(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> more = {});
    void store_flushing(std::span<const std::uint8_t> bytes);
    void put_closing(std::span<const std::uint8_t> bytes);
    void put_end_of_track(int track);
    void store(std::span<const std::uint8_t> bytes);
    void check_size_limits();
    bool flush_buffer(Buffer& buffer);
    bool write_raw(std::span<const std::uint8_t> bytes);
    bool seek(std::uint64_t position);
    void fail_write(int error);
    void fail_read(int error);
    bool dropping() const { return size_limit_ || (single_pass_ && overflow_); }

    platform::Reporter& reporter_;
    std::atomic<bool>& abort_;
    SmfSettings settings_;
    std::vector<std::uint8_t> block_;

    platform::FileSave file_;
    std::filesystem::path path_;
    SmfTarget target_ = SmfTarget::save;
    std::uint64_t existing_size_ = 0;
    bool append_ = false;
    bool single_pass_ = false;
    bool accepting_events_ = false;  // a music track's callback is running
    int format_ = 0;
    int tracks_ = 1;
    int track_ = 0;

    Buffer shared_;
    std::array<Buffer, kMaxTrackBuffers> track_buffers_{};
    int track_buffer_count_ = 0;
    Buffer* active_ = &shared_;

    std::uint64_t bytes_in_track_ = 0;         // bytes put since the current chunk header
    std::uint64_t bytes_flushed_in_track_ = 0;  // bytes of the current body that reached the file
    std::uint64_t file_bytes_ = 0;
    std::array<std::uint8_t, 2> last_two_bytes_{};
    bool write_error_ = false;
    bool read_error_ = false;
    bool overflow_ = false;
    bool size_limit_ = false;
    LimitListener limit_listener_;
    std::array<std::uint32_t, kMaxTrackBuffers> end_of_track_delta_{};
};

}  // namespace corvane::midi
