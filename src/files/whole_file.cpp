#include "corvane/files/whole_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>

#include "corvane/platform/file_save.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxCaptionLength = 260;

// Closes the descriptor when it goes out of scope.
class ReadDescriptor {
public:
    explicit ReadDescriptor(int fd) : fd_(fd) {}
    ~ReadDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

bool is_device_full(int error) { return error == ENOSPC || error == EDQUOT; }

void report_failure(int error, const std::string& path, platform::Reporter& reporter) {
    if (is_device_full(error)) {
        reporter.report(incomplete_save_message(path), kErrorWritingCaption);
    } else {
        reporter.report(platform::system_error_text(error), error_saving_caption(path));
    }
}

int save(const fs::path& path, std::string_view text) {
    platform::FileSave file;
    if (const int error = file.open(path)) return error;
    if (const int error = file.write(text)) return error;
    return file.commit();
}

}  // namespace

std::string incomplete_save_message(std::string_view path) {
    std::string message = "Couldn't complete save to ";
    message += path;
    message += "\n\nLikely cause, not enough space available on device";
    return message;
}

std::string error_saving_caption(std::string_view path) {
    std::string caption = "Error saving to ";
    caption += path;
    if (caption.size() > kMaxCaptionLength) caption.resize(kMaxCaptionLength);
    return caption;
}

WholeFileRead read_whole_file_or_error(const fs::path& path, std::size_t capacity) {
    ReadDescriptor fd(platform::open_for_reading(path));
    if (!fd.valid()) return {std::nullopt, errno};
    const bool bounded_by_caller = capacity != kNoCapacity;
    const std::size_t limit = bounded_by_caller ? (capacity < 2 ? 0 : capacity - 2) : kLargestWholeFile;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return {std::nullopt, errno};
    const auto size = static_cast<std::uint64_t>(std::max<off_t>(info.st_size, 0));
    if (!bounded_by_caller && size > limit) return {std::nullopt, EFBIG};
    std::string text;
    text.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(size, limit)));
    std::array<char, 8192> chunk{};
    // One byte past the limit tells a file that only claims to be small (a device, a pipe).
    const std::size_t wanted_in_all = bounded_by_caller ? limit : limit + 1;
    while (text.size() < wanted_in_all) {
        const std::size_t wanted = std::min(chunk.size(), wanted_in_all - text.size());
        const ssize_t got = ::read(fd.get(), chunk.data(), wanted);
        if (got < 0) {
            if (errno == EINTR) continue;
            return {std::nullopt, errno};
        }
        if (got == 0) break;
        text.append(chunk.data(), static_cast<std::size_t>(got));
    }
    if (text.size() > limit) return {std::nullopt, EFBIG};
    return {std::move(text), 0};
}

std::optional<std::string> read_whole_file(const fs::path& path, std::size_t capacity) {
    return read_whole_file_or_error(path, capacity).text;
}

bool write_whole_file(const fs::path& path, std::string_view text, platform::Reporter& reporter) {
    const int error = save(path, text);
    if (error != 0) report_failure(error, path.string(), reporter);
    return error == 0;
}

}  // namespace corvane::files
