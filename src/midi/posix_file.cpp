#include "posix_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace corvane::midi::detail {
namespace {

int error_or_zero(bool ok) { return ok ? 0 : errno; }

}  // namespace

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

}  // namespace corvane::midi::detail
