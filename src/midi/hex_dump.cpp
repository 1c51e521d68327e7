#include "corvane/midi/hex_dump.h"

#include <cerrno>
#include <memory>
#include <new>

#include "corvane/platform/file_save.h"
#include "hex_dump_writer.h"
#include "posix_file.h"

namespace corvane::midi {
namespace {

constexpr std::size_t kLongPath = 256;
constexpr std::uint64_t kLargestDumpedFile = std::uint64_t{1} << 31;  // more than any MIDI file

struct FileInMemory {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
};

HexDumpStatus read_whole_file(const std::filesystem::path& path, platform::Reporter& reporter, FileInMemory& file) {
    const auto report_read_error = [&](int error) {
        reporter.report(platform::system_error_text(error), "Error reading from " + path.string());
        return HexDumpStatus::read_failed;
    };
    int fd = platform::open_for_reading(path);
    if (fd < 0) return report_read_error(errno);
    std::uint64_t size = 0;
    int error = detail::file_size(fd, size);
    if (error == 0 && size <= kLargestDumpedFile) {
        file.bytes.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
    }
    if (error == 0 && !file.bytes) {
        detail::close_file(fd);
        reporter.report("Couldn't read midi file into memory in preparation for Hex dump\n\nInsufficient memory available",
                        "Hex dump");
        return HexDumpStatus::no_memory;
    }
    file.size = static_cast<std::size_t>(size);
    if (error == 0) error = detail::read_at(fd, 0, std::span(file.bytes.get(), file.size));
    detail::close_file(fd);
    return error == 0 ? HexDumpStatus::written : report_read_error(error);
}

}  // namespace

std::filesystem::path hex_dump_path(const std::filesystem::path& midi_path) {
    const std::string text = midi_path.string();
    if (text.size() >= kLongPath) return "midi hex dump for file";
    return text + ".hex";
}

HexDumpResult hex_dump_midi_file(const std::filesystem::path& midi_path, platform::Reporter& reporter,
                                 const std::atomic<bool>& abort, std::optional<double> ticks_per_second) {
    return hex_dump_midi_file_to(midi_path, hex_dump_path(midi_path), reporter, abort, ticks_per_second);
}

HexDumpResult hex_dump_midi_file_to(const std::filesystem::path& midi_path, const std::filesystem::path& output,
                                    platform::Reporter& reporter, const std::atomic<bool>& abort,
                                    std::optional<double> ticks_per_second) {
    HexDumpResult result{HexDumpStatus::written, output, 0};
    FileInMemory file;
    result.status = read_whole_file(midi_path, reporter, file);
    if (result.status != HexDumpStatus::written) return result;

    platform::FileSave save;
    if (const int error = save.open(output)) return {HexDumpStatus::output_failed, output, error};
    detail::DumpOutput out(&save);
    const bool complete = detail::write_hex_dump(std::span(file.bytes.get(), file.size), midi_path.string(),
                                                 ticks_per_second, &abort, out);
    if (!out.finish()) return {HexDumpStatus::output_failed, output, out.error()};
    if (const int error = save.commit()) return {HexDumpStatus::output_failed, output, error};
    if (!complete) result.status = HexDumpStatus::interrupted;
    return result;
}

std::string hex_dump_text(std::span<const std::uint8_t> file, std::string_view shown_path,
                          std::optional<double> ticks_per_second) {
    detail::DumpOutput out;
    detail::write_hex_dump(file, shown_path, ticks_per_second, nullptr, out);
    return std::move(out.text());
}

}  // namespace corvane::midi
