#include "posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "corvane/platform/temporary_name.h"

namespace corvane::midi::detail {
namespace {

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask

int error_or_zero(bool ok) { return ok ? 0 : errno; }

}  // namespace

int create_for_writing(const std::filesystem::path& path, int& fd) {
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode);
    } while (fd < 0 && errno == EINTR);
    return error_or_zero(fd >= 0);
}

int create_temporary_beside(const std::filesystem::path& target, std::filesystem::path& temporary, int& fd) {
    const std::string stem = platform::temporary_stem(target);
    for (int attempt = 0;; ++attempt) {
        temporary = target.parent_path() / (stem + std::to_string(attempt));
        do {
            fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST || attempt >= 1000) return error_or_zero(fd >= 0);
    }
}

int replace_with(const std::filesystem::path& temporary, int fd, const std::filesystem::path& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) return errno;
    if (::fsync(fd) != 0) return errno;
    return error_or_zero(::rename(temporary.c_str(), target.c_str()) == 0);
}

int remove_file(const std::filesystem::path& path) { return error_or_zero(::unlink(path.c_str()) == 0); }

bool replaceable_by_rename(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

int open_for_update(const std::filesystem::path& path, int& fd) {
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return error_or_zero(fd >= 0);
}

int open_for_reading(const std::filesystem::path& path, int& fd) {
    do {
        // A pipe with no writer opens at once (and then reads as empty) instead of waiting.
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return error_or_zero(fd >= 0);
}

int close_file(int& fd) {
    if (fd < 0) return 0;
    const int result = ::close(fd);
    fd = -1;
    // After EINTR the descriptor is gone on Linux; nothing to retry.
    return result == 0 || errno == EINTR ? 0 : errno;
}

int file_size(int fd, std::uint64_t& size) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return errno;
    size = static_cast<std::uint64_t>(info.st_size);
    return 0;
}

int current_position(int fd, std::uint64_t& position) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0) return errno;
    position = static_cast<std::uint64_t>(at);
    return 0;
}

int seek_to(int fd, std::uint64_t position) {
    return error_or_zero(::lseek(fd, static_cast<off_t>(position), SEEK_SET) >= 0);
}

int write_all(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return 0;
}

int read_at(int fd, std::uint64_t position, std::span<std::uint8_t> out) {
    while (!out.empty()) {
        const ssize_t got = ::pread(fd, out.data(), out.size(), static_cast<off_t>(position));
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return EIO;
        out = out.subspan(static_cast<std::size_t>(got));
        position += static_cast<std::uint64_t>(got);
    }
    return 0;
}

int truncate_at(int fd, std::uint64_t size) {
    int result = 0;
    do {
        result = ::ftruncate(fd, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return error_or_zero(result == 0);
}

std::string system_error_text(int error) { return std::generic_category().message(error); }

}  // namespace corvane::midi::detail
