#pragma once

// Files that a reader may be handed by mistake or by malice: things that cannot be read in
// its place, and readable files that hold nothing sensible.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "temp_folder.h"

namespace corvane::testing {

enum class Hostile {
    folder,          // a folder where the file should be
    through_file,    // a path that goes on through a regular file (ENOTDIR)
    dangling_link,   // a link to nothing
    no_permission,   // mode 000; only when not running as root, which reads it anyway
    fifo,            // a pipe with no writer: opening must not wait
    empty,           // 0 bytes
    binary,          // NULs, bytes 0x80 to 0xFF, broken UTF-8, CR-only line ends
    long_line,       // one line of 10 MB, no line end
    huge_sparse,     // several GB that take no disk space
};

inline constexpr std::uint64_t kHugeSparseSize = std::uint64_t{5} << 30;

inline bool cannot_be_read(Hostile kind) {
    return kind == Hostile::folder || kind == Hostile::through_file || kind == Hostile::dangling_link ||
           kind == Hostile::no_permission;
}

inline std::string_view name_of(Hostile kind) {
    switch (kind) {
        case Hostile::folder: return "folder";
        case Hostile::through_file: return "through_file";
        case Hostile::dangling_link: return "dangling_link";
        case Hostile::no_permission: return "no_permission";
        case Hostile::fifo: return "fifo";
        case Hostile::empty: return "empty";
        case Hostile::binary: return "binary";
        case Hostile::long_line: return "long_line";
        case Hostile::huge_sparse: return "huge_sparse";
    }
    return "?";
}

inline std::vector<Hostile> all_hostile_kinds() {
    std::vector<Hostile> kinds{Hostile::folder, Hostile::through_file, Hostile::dangling_link, Hostile::fifo,
                               Hostile::empty,  Hostile::binary,       Hostile::long_line,     Hostile::huge_sparse};
    if (::geteuid() != 0) kinds.push_back(Hostile::no_permission);
    return kinds;
}

inline std::string binary_bytes() {
    using namespace std::string_literals;
    return "1 2\0\0 3\x80\x81\xfe\xff\xc3\x28\xe2\x82\r\r!\r4/3\r\x9f\0"s;
}

// Makes `kind` at `path` (whose folder exists) and returns the path a reader is given.
inline std::filesystem::path make_hostile(Hostile kind, const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    switch (kind) {
        case Hostile::folder: fs::create_directory(path); break;
        case Hostile::through_file:
            write_bytes(path, "a regular file");
            return path / "inside.cv";
        case Hostile::dangling_link: fs::create_symlink(path.parent_path() / "nothing here", path); break;
        case Hostile::no_permission:
            write_bytes(path, "Levels 3\r\n");
            fs::permissions(path, fs::perms::none);
            break;
        case Hostile::fifo: ::mkfifo(path.c_str(), 0600); break;
        case Hostile::empty: write_bytes(path, ""); break;
        case Hostile::binary: write_bytes(path, binary_bytes()); break;
        case Hostile::long_line: {
            // More values than any list holds, then one word to the end.
            std::string line;
            while (line.size() < 8'000) line += "3/2 ";
            line.resize(10'000'000, 'x');
            write_bytes(path, line);
            break;
        }
        case Hostile::huge_sparse: {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                [[maybe_unused]] const int ignored = ::ftruncate(fd, static_cast<off_t>(kHugeSparseSize));
                ::close(fd);
            }
            break;
        }
    }
    return path;
}

// A file size limit makes a write fail part way, as a full disk would (EFBIG, no signal).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*old_handler_)(int) = nullptr;
};

// /dev/full is a device that every test leaves as it found it.
inline bool dev_full_is_intact() {
    struct stat info {};
    return ::lstat("/dev/full", &info) == 0 && S_ISCHR(info.st_mode);
}

}  // namespace corvane::testing
