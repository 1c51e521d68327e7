#include "corvane/platform/data_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "corvane/platform/file_save.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProgramName = "corvane";

fs::path environment_path(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return {};
    fs::path path(value);
    return path.is_absolute() ? path : fs::path();
}

fs::path per_user_folder(const DataFolderPlaces& places) {
    if (!places.xdg_config_home.empty()) return places.xdg_config_home / kProgramName;
    if (!places.home.empty()) return places.home / ".config" / kProgramName;
    return {};
}

// An installed program finds its data at <prefix>/share/corvane beside <prefix>/bin.
bool is_installed_layout(const fs::path& executable_folder) {
    std::error_code ec;
    return fs::is_directory(executable_folder.parent_path() / "share" / kProgramName, ec);
}

// Saved as every file is, through a temporary name, so that a second copy of the program
// starting at the same moment never reads a half-copied file.
std::string copy_missing_file(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::exists(to, ec)) return {};
    std::ifstream in(from, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const bool read = in.is_open() && !in.bad();
    FileSave save;
    if (!read || save.open(to) != 0 || save.write(bytes) != 0 || save.commit() != 0) {
        return "cannot copy " + from.string() + " to " + to.string();
    }
    return {};
}

}  // namespace

DataFolderPlaces places_of_this_process() {
    DataFolderPlaces places;
    std::error_code ec;
    const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) places.executable_folder = executable.parent_path();
    places.xdg_config_home = environment_path("XDG_CONFIG_HOME");
    places.home = environment_path("HOME");
    if (!places.executable_folder.empty()) {
        places.installed_data_candidates.push_back(places.executable_folder.parent_path() / "share" / kProgramName);
    }
    // A build tree takes the data from its source tree rather than from an older install.
#ifdef CORVANE_SOURCE_DATA_DIR
    places.installed_data_candidates.emplace_back(CORVANE_SOURCE_DATA_DIR);
#endif
#ifdef CORVANE_INSTALLED_DATA_DIR
    places.installed_data_candidates.emplace_back(CORVANE_INSTALLED_DATA_DIR);
#endif
    return places;
}

std::optional<fs::path> installed_data_folder(const DataFolderPlaces& places) {
    std::error_code ec;
    for (const auto& candidate : places.installed_data_candidates) {
        if (fs::is_directory(candidate, ec)) return candidate;
    }
    return std::nullopt;
}

bool folder_is_writable(const fs::path& folder) {
    const fs::path probe = folder / (".corvane-write-test-" + std::to_string(::getpid()));
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

std::optional<DataFolder> choose_data_folder(const DataFolderPlaces& places) {
    const fs::path& beside = places.executable_folder;
    if (!beside.empty() && !is_installed_layout(beside) && folder_is_writable(beside)) {
        return DataFolder{beside, DataFolderKind::beside_executable};
    }
    const fs::path per_user = per_user_folder(places);
    if (per_user.empty()) return std::nullopt;
    return DataFolder{per_user, DataFolderKind::per_user};
}

std::string prepare_data_folder(const fs::path& folder, const std::optional<fs::path>& installed) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return "cannot create the folder " + folder.string() + ": " + ec.message();
    if (!installed || fs::equivalent(folder, *installed, ec)) return {};
    for (const auto& entry : fs::directory_iterator(*installed, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        if (std::string failure = copy_missing_file(entry.path(), folder / entry.path().filename()); !failure.empty()) {
            return failure;
        }
    }
    return {};
}

std::optional<DataFolder> open_data_folder(std::string& error) {
    const DataFolderPlaces places = places_of_this_process();
    auto chosen = choose_data_folder(places);
    if (!chosen) {
        error = "no folder for the program's data: neither the executable's folder nor $HOME can be used";
        return std::nullopt;
    }
    error = prepare_data_folder(chosen->folder, installed_data_folder(places));
    if (!error.empty()) return std::nullopt;
    return chosen;
}

}  // namespace corvane::platform
