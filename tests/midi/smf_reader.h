#pragma once

// A small Standard MIDI File reader for the tests, written apart from the library so that
// files written by the writer are checked by code that shares nothing with it.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane::testing {

struct SmfEvent {
    std::uint64_t tick = 0;
    std::vector<std::uint8_t> bytes;  // status and data; meta events as FF type data; sysex as F0 data
    bool operator==(const SmfEvent&) const = default;
};

struct SmfTrack {
    std::vector<SmfEvent> events;  // end-of-track included
};

struct SmfFile {
    int format = 0;
    int declared_tracks = 0;
    int division = 0;
    std::vector<SmfTrack> tracks;
};

inline std::vector<std::uint8_t> file_bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace smf_detail {

struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;

    std::uint8_t byte() {
        if (at >= bytes.size()) throw std::runtime_error("read past the end at " + std::to_string(at));
        return bytes[at++];
    }
    std::uint32_t fixed(int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = value << 8 | byte();
        return value;
    }
    std::uint32_t variable() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = byte();
            value = value << 7 | (b & 0x7F);
            if ((b & 0x80) == 0) return value;
        }
        throw std::runtime_error("variable-length quantity longer than 4 bytes");
    }
    std::string id() {
        std::string text;
        for (int i = 0; i < 4; ++i) text += static_cast<char>(byte());
        return text;
    }
    bool done() const { return at == bytes.size(); }
};

inline SmfTrack read_track(std::span<const std::uint8_t> body) {
    Reader r{body};
    SmfTrack track;
    std::uint64_t tick = 0;
    std::uint8_t running = 0;
    bool ended = false;
    while (!r.done()) {
        if (ended) throw std::runtime_error("bytes after end of track");
        tick += r.variable();
        SmfEvent event{tick, {}};
        std::uint8_t status = r.byte();
        if (status < 0x80) {
            if (running == 0) throw std::runtime_error("data byte without status");
            --r.at;
            status = running;
        }
        event.bytes.push_back(status);
        if (status == 0xFF) {
            const std::uint8_t type = r.byte();
            event.bytes.push_back(type);
            const std::uint32_t length = r.variable();
            for (std::uint32_t i = 0; i < length; ++i) event.bytes.push_back(r.byte());
            ended = type == 0x2F;
        } else if (status == 0xF0 || status == 0xF7) {
            const std::uint32_t length = r.variable();
            for (std::uint32_t i = 0; i < length; ++i) event.bytes.push_back(r.byte());
        } else if (status >= 0x80 && status < 0xF0) {
            running = status;
            const int count = (status >= 0xC0 && status < 0xE0) ? 1 : 2;
            for (int i = 0; i < count; ++i) {
                const std::uint8_t d = r.byte();
                if (d >= 0x80) throw std::runtime_error("status byte where data was due");
                event.bytes.push_back(d);
            }
        } else {
            throw std::runtime_error("system message in a file");
        }
        track.events.push_back(std::move(event));
    }
    if (!ended) throw std::runtime_error("track without end of track");
    return track;
}

}  // namespace smf_detail

// Reads a whole file and checks its structure: a 6-byte header, as many track chunks as
// the header says, each length equal to its body, one end-of-track closing each track, and
// nothing after the last chunk. Throws std::runtime_error saying what is wrong.
inline SmfFile read_smf(std::span<const std::uint8_t> bytes) {
    smf_detail::Reader r{bytes};
    if (r.id() != "MThd") throw std::runtime_error("no MThd");
    if (r.fixed(4) != 6) throw std::runtime_error("header length is not 6");
    SmfFile file;
    file.format = static_cast<int>(r.fixed(2));
    file.declared_tracks = static_cast<int>(r.fixed(2));
    file.division = static_cast<int>(r.fixed(2));
    while (!r.done()) {
        if (r.id() != "MTrk") throw std::runtime_error("chunk that is not MTrk");
        const std::uint32_t length = r.fixed(4);
        if (bytes.size() - r.at < length) throw std::runtime_error("track length beyond the file");
        file.tracks.push_back(smf_detail::read_track(bytes.subspan(r.at, length)));
        r.at += length;
    }
    if (static_cast<int>(file.tracks.size()) != file.declared_tracks) {
        throw std::runtime_error("header says " + std::to_string(file.declared_tracks) + " tracks, file has " +
                                 std::to_string(file.tracks.size()));
    }
    return file;
}

inline SmfFile read_smf(const std::filesystem::path& path) {
    const auto bytes = file_bytes(path);
    return read_smf(std::span<const std::uint8_t>(bytes));
}

}  // namespace corvane::testing
