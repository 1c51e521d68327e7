// The data folder: beside the executable when it can be written to, per user otherwise,
// created and filled from the installed data.
#include "corvane/platform/data_folder.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "../temp_folder.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;
using corvane::testing::slurp;
using corvane::testing::TempFolder;
using corvane::testing::write_bytes;

// A folder this process cannot create files in, even when it runs as root.
fs::path unwritable_folder(const TempFolder& scratch) {
    if (::geteuid() == 0) return "/proc";
    const fs::path folder = scratch / "read-only";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    return folder;
}

// Beside the executable when that folder can be written to and is no installed program's;
// otherwise per user, under the XDG configuration folder or the home folder's ".config".
TEST(DataFolder, IsBesideAWritableExecutableAndPerUserOtherwise) {
    TempFolder folder;
    fs::create_directories(folder / "portable");
    fs::create_directories(folder / "prefix" / "bin");
    fs::create_directories(folder / "prefix" / "share" / "corvane");
    const fs::path unwritable = unwritable_folder(folder);
    const fs::path config_home = folder / "config";
    const fs::path user_home = folder / "home";
    struct Case {
        fs::path executable;
        fs::path xdg_config_home;
        fs::path home;
        std::optional<fs::path> chosen;
        DataFolderKind kind = DataFolderKind::per_user;
    };
    const Case cases[] = {
        {folder / "portable", {}, user_home, folder / "portable", DataFolderKind::beside_executable},
        {unwritable, config_home, user_home, config_home / "corvane"},
        {unwritable, {}, user_home, user_home / ".config" / "corvane"},
        {unwritable, {}, {}, std::nullopt},
        {folder / "prefix" / "bin", config_home, {}, config_home / "corvane"},  // an installed program
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.executable.string() + " " + c.xdg_config_home.string() + " " + c.home.string());
        DataFolderPlaces places;
        places.executable_folder = c.executable;
        places.xdg_config_home = c.xdg_config_home;
        places.home = c.home;
        const auto chosen = choose_data_folder(places);
        ASSERT_EQ(chosen.has_value(), c.chosen.has_value());
        if (!chosen) continue;
        EXPECT_EQ(chosen->folder, *c.chosen);
        EXPECT_EQ(chosen->kind, c.kind);
    }
    EXPECT_TRUE(folder_is_writable(folder / "portable"));
    EXPECT_TRUE(fs::is_empty(folder / "portable"));  // the probe is gone
    EXPECT_FALSE(folder_is_writable(unwritable));
    EXPECT_NE(prepare_data_folder(unwritable / "corvane", std::nullopt), "");  // a folder that cannot be made
    if (::geteuid() != 0) fs::permissions(unwritable, fs::perms::owner_all);
}

TEST(DataFolder, IsCreatedAndFilledWithTheFilesItLacksFromTheInstalledData) {
    TempFolder folder;
    const fs::path installed = folder / "share";
    fs::create_directories(installed);
    write_bytes(installed / "CRV_reset.ini", "shipped settings");
    write_bytes(installed / "index.lsc", "shipped index");
    const fs::path data = folder / "config" / "corvane";
    EXPECT_EQ(prepare_data_folder(data, installed), "");
    EXPECT_EQ(slurp(data / "CRV_reset.ini"), "shipped settings");

    write_bytes(data / "index.lsc", "the user's own index");
    fs::remove(data / "CRV_reset.ini");
    EXPECT_EQ(prepare_data_folder(data, installed), "");
    EXPECT_EQ(slurp(data / "index.lsc"), "the user's own index");
    EXPECT_EQ(slurp(data / "CRV_reset.ini"), "shipped settings");
    EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 2);

    // The installed data is the first candidate that exists.
    fs::create_directories(folder / "b");
    DataFolderPlaces places;
    places.installed_data_candidates = {folder / "a", folder / "b", folder.path()};
    EXPECT_EQ(installed_data_folder(places), folder / "b");
    places.installed_data_candidates = {folder / "a"};
    EXPECT_FALSE(installed_data_folder(places).has_value());
}

}  // namespace
}  // namespace corvane::platform
