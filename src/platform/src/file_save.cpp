#include "corvane/platform/file_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "corvane/platform/temporary_name.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask
constexpr int kMostTemporaryAttempts = 1000;

int open_retrying(const char* path, int flags, mode_t mode = 0) {
    int fd = -1;
    do {
        fd = ::open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int close_reporting(int fd) {
    // After EINTR the descriptor is gone on Linux; nothing to retry.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

// A regular file, or none yet: what a rename can replace.
bool replaceable_by_rename(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

// The file a link names, so that it is replaced and the link stays.
fs::path followed_link(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
    const fs::path target = fs::canonical(path, ec);
    return ec ? path : target;
}

// /dev/stdout, /dev/fd/3 and the like name a file already open, perhaps a regular file the
// shell redirected to: replacing what they lead to would leave the open file behind.
bool names_an_open_file(const fs::path& path) {
    const std::string text = path.lexically_normal().string();
    return text.rfind("/dev/", 0) == 0 || text.rfind("/proc/", 0) == 0;
}

// A new file beside `target` under a name no one else uses.
int create_temporary_beside(const fs::path& target, fs::path& temporary) {
    const std::string stem = temporary_stem(target);
    for (int attempt = 0;; ++attempt) {
        temporary = target.parent_path() / (stem + std::to_string(attempt));
        const int fd = open_retrying(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL, kNewFileMode);
        if (fd >= 0 || errno != EEXIST || attempt >= kMostTemporaryAttempts) return fd;
    }
}

int keep_permissions_of(const fs::path& target, int fd) {
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) return 0;  // nothing to keep
    return ::fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
}

}  // namespace

FileSave::~FileSave() { abandon(); }

int FileSave::open(const fs::path& target, SaveWay way) {
    abandon();
    const bool open_elsewhere = names_an_open_file(target);
    if (open_elsewhere && way == SaveWay::replace) way = SaveWay::in_place_emptied;
    target_ = open_elsewhere ? target : followed_link(target);
    temporary_.clear();
    if (way == SaveWay::replace && replaceable_by_rename(target_)) {
        fd_ = create_temporary_beside(target_, temporary_);
        if (fd_ < 0) temporary_.clear();
    } else {
        const int emptied = way == SaveWay::in_place_kept ? 0 : O_CREAT | O_TRUNC;
        fd_ = open_retrying(target_.c_str(), O_RDWR | emptied, kNewFileMode);
        if (fd_ < 0 && errno == EACCES && way == SaveWay::replace) {
            fd_ = open_retrying(target_.c_str(), O_WRONLY | O_TRUNC);  // a pipe or a device open only for writing
        }
    }
    return fd_ >= 0 ? 0 : errno;
}

int FileSave::write(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return 0;
}

int FileSave::write(std::string_view text) {
    return write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

int FileSave::commit() {
    if (fd_ < 0) return EBADF;
    const int fd = fd_;
    fd_ = -1;
    if (temporary_.empty()) return close_reporting(fd);
    int error = keep_permissions_of(target_, fd);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (const int close_error = close_reporting(fd); error == 0) error = close_error;
    if (error == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(temporary_.c_str());
    temporary_.clear();
    return error;
}

void FileSave::abandon() {
    close_quietly();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

void FileSave::close_quietly() {
    if (fd_ >= 0) close_reporting(fd_);
    fd_ = -1;
}

int open_for_reading(const fs::path& path) {
    const int fd = open_retrying(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return fd;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

std::string system_error_text(int error) { return std::generic_category().message(error); }

}  // namespace corvane::platform
