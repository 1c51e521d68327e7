// The one safe save every writer goes through: what is on disk before, during and after.
// What every writer shows through it (a link followed, a full device written in place, a
// file grown too large, a missing folder) the files suite checks once for all writers.
#include "corvane/platform/file_save.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "../hostile_files.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;
using corvane::testing::files_in;
using corvane::testing::slurp;
using corvane::testing::TempFolder;
using corvane::testing::write_bytes;

// An abandoned save, or one gone without a commit, leaves the earlier file and nothing beside it.
TEST(FileSave, TheEarlierFileStaysUntilTheCommitThenTheNewOneTakesItsPlaceAndPermissions) {
    TempFolder folder;
    const fs::path path = folder / "tune.mid";
    write_bytes(path, "earlier");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        FileSave unfinished;
        ASSERT_EQ(unfinished.open(path), 0);
        ASSERT_EQ(unfinished.write("half"), 0);
    }
    FileSave save;
    ASSERT_EQ(save.open(path), 0);
    ASSERT_EQ(save.write("half"), 0);
    save.abandon();
    EXPECT_FALSE(save.is_open());
    EXPECT_EQ(files_in(folder.path()), 1U);
    ASSERT_EQ(save.open(path), 0);
    ASSERT_EQ(save.write("new"), 0);
    EXPECT_EQ(slurp(path), "earlier");
    EXPECT_EQ(files_in(folder.path()), 2U);  // the temporary beside it
    ASSERT_EQ(save.commit(), 0);
    EXPECT_FALSE(save.is_open());
    EXPECT_EQ(slurp(path), "new");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(files_in(folder.path()), 1U);
}

// A recording is written in place, continued or emptied; so is a file already open through its
// device name, as "-o /dev/stdout" with the output redirected to a file writes into that file.
TEST(FileSave, ARecordingOrAnOpenFileIsWrittenInPlace) {
    TempFolder folder;
    const fs::path path = folder / "take.mid";
    write_bytes(path, "earlier take");
    FileSave save;
    ASSERT_EQ(save.open(path, SaveWay::in_place_kept), 0);
    EXPECT_EQ(slurp(path), "earlier take");
    ASSERT_EQ(::lseek(save.descriptor(), 0, SEEK_END), 12);
    ASSERT_EQ(save.write(" and more"), 0);
    EXPECT_EQ(slurp(path), "earlier take and more");  // visible while it grows
    ASSERT_EQ(save.commit(), 0);
    ASSERT_EQ(save.open(path, SaveWay::in_place_emptied), 0);
    EXPECT_EQ(slurp(path), "");
    save.abandon();

    const int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(save.open("/dev/fd/" + std::to_string(fd)), 0);
    ASSERT_EQ(save.write("new"), 0);
    ASSERT_EQ(save.commit(), 0);
    std::string seen(3, ' ');
    EXPECT_EQ(::pread(fd, seen.data(), seen.size(), 0), 3);
    ::close(fd);
    EXPECT_EQ(seen, "new");  // the open file itself, not one put in its place
    EXPECT_EQ(files_in(folder.path()), 1U);
    // What is not there is an error at open, either way, and leaves nothing to commit.
    EXPECT_EQ(save.open(folder / "none.mid", SaveWay::in_place_kept), ENOENT);
    EXPECT_EQ(save.open(folder / "gone" / "tune.cv"), ENOENT);
    EXPECT_FALSE(save.is_open());
    EXPECT_EQ(save.commit(), EBADF);
}

}  // namespace
}  // namespace corvane::platform
