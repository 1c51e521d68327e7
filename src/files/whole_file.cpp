#include "corvane/files/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "corvane/platform/temporary_name.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxCaptionLength = 260;

// Closes the descriptor when it goes out of scope unless it was closed on purpose.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now; returns 0 or the errno of the failure.
    int close_now() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

int open_retrying(const char* path, int flags, mode_t mode = 0) {
    int fd = -1;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The outcome of writing: 0 success, an errno value, or kShortWrite when a write call
// reported success but wrote nothing more.
constexpr int kShortWrite = -1;

int write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return kShortWrite;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

bool is_device_full(int error) { return error == ENOSPC || error == EDQUOT; }

void report_failure(int error, const std::string& path, platform::Reporter& reporter) {
    if (is_device_full(error)) {
        reporter.report(incomplete_save_message(path), kErrorWritingCaption);
    } else {
        reporter.report(std::generic_category().message(error), error_saving_caption(path));
    }
}

// A file that is not a regular file (a device, a pipe) cannot be replaced by renaming.
bool is_special_file(const fs::path& path) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    return !ec && fs::exists(status) && !fs::is_regular_file(status);
}

// A link is followed, so that the file it names is replaced and the link stays.
fs::path followed_link(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
    const fs::path target = fs::canonical(path, ec);
    return ec ? path : target;
}

// Opened without waiting for a writer when the path is a pipe; reads then block as usual.
int open_for_reading(const fs::path& path) {
    const int fd = open_retrying(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return fd;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

int write_in_place(const fs::path& path, std::string_view text) {
    FileDescriptor fd(open_retrying(path.c_str(), O_WRONLY | O_TRUNC));
    if (!fd.valid()) return errno;
    if (const int error = write_all(fd.get(), text)) return error;
    return fd.close_now();
}

// Creates a temporary file beside `target` that no one else uses; -1 and errno on failure.
int create_temporary_beside(const fs::path& target, fs::path& temporary) {
    const std::string stem = platform::temporary_stem(target);
    for (int attempt = 0;; ++attempt) {
        temporary = target.parent_path() / (stem + std::to_string(attempt));
        const int fd = open_retrying(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST || attempt >= 1000) return fd;
    }
}

int write_and_replace(const fs::path& target, std::string_view text) {
    fs::path temporary;
    FileDescriptor fd(create_temporary_beside(target, temporary));
    if (!fd.valid()) return errno;
    struct stat old {};
    int error = 0;
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(fd.get(), old.st_mode & 07777) != 0) error = errno;
    if (error == 0) error = write_all(fd.get(), text);
    if (error == 0 && ::fsync(fd.get()) != 0) error = errno;
    if (const int close_error = fd.close_now(); error == 0) error = close_error;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temporary.c_str());
    return error;
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
    FileDescriptor fd(open_for_reading(path));
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
    const fs::path target = followed_link(path);
    const int error = is_special_file(target) ? write_in_place(target, text) : write_and_replace(target, text);
    if (error == 0) return true;
    if (error != kShortWrite) report_failure(error, path.string(), reporter);
    return false;
}

}  // namespace corvane::files
