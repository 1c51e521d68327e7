// corvane-cli tuning-export: one run per format, the files it says it wrote, and its errors.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "run_cli.h"

namespace corvane::testing {
namespace {

constexpr std::string_view kJustMajor = "1 9/8 5/4 4/3 3/2 5/3 15/8 2";

std::string first_line(const std::filesystem::path& path) {
    const std::string text = slurp(path);
    return text.substr(0, text.find_first_of("\r\n"));
}

CliResult export_tuning(const std::string& format, const std::filesystem::path& path,
                        std::vector<std::string> composition = {"--scale", std::string(kJustMajor)}) {
    std::vector<std::string> args{"tuning-export", "--no-config", "--format", format, "-o", path.string()};
    args.insert(args.end(), composition.begin(), composition.end());
    return run_cli(args);
}

TEST(CliTuningExport, WritesEachFormatAndSaysWhere) {
    const TempFolder folder;
    const CliResult scl = export_tuning("scl", folder / "just.scl");
    EXPECT_EQ(scl.status, 0) << scl.err;
    EXPECT_EQ(scl.err, "corvane-cli: wrote the tuning to " + (folder / "just.scl").string() +
                           " and its keyboard mapping to " + (folder / "just.kbm").string() + "\n");
    EXPECT_EQ(first_line(folder / "just.scl"), "! just.scl");
    EXPECT_EQ(first_line(folder / "just.kbm"), "! just.kbm");

    const CliResult kbm = export_tuning("kbm", folder / "alone.kbm");
    EXPECT_EQ(kbm.err, "corvane-cli: wrote the tuning to " + (folder / "alone.kbm").string() + "\n");
    EXPECT_EQ(first_line(folder / "alone.kbm"), "! alone.kbm");
    EXPECT_FALSE(std::filesystem::exists(folder / "alone.scl"));

    const CliResult tun = export_tuning("tun", folder / "just.tun");
    EXPECT_EQ(tun.status, 0) << tun.err;
    EXPECT_TRUE(first_line(folder / "just.tun").starts_with("; Corvane: "));  // its notes: files.TuningExport

    // Five equal steps from middle C reach beyond MIDI's pitches; the composition file names the dump.
    const std::string composition = std::string(CORVANE_SOURCE_DIR) + "/tests/files/expected/every_field.cv";
    const CliResult syx =
        export_tuning("syx", folder / "five.syx", {composition, "--scale", "e5", "--frequency", "261.6255653005986"});
    EXPECT_EQ(syx.status, 0) << syx.err;
    EXPECT_EQ(syx.err, "corvane-cli: wrote the tuning to " + (folder / "five.syx").string() +
                           " (74 keys lie beyond what the tuning standard can say, held at its edge)\n");
    EXPECT_EQ(slurp(folder / "five.syx").substr(6, 16), "every_field     ");  // its keys: files.TuningExportDump
}

TEST(CliTuningExport, AnUnknownFormatOrAnUnreadableScaleWritesNothing) {
    const TempFolder folder;
    const CliResult wav = export_tuning("wav", folder / "x.wav");
    EXPECT_EQ(wav.status, 2);
    EXPECT_EQ(wav.err, "corvane-cli: --format: \"wav\" is no tuning format; give one of scl, kbm, tun or syx\n");

    const CliResult unreadable = export_tuning("tun", folder / "x.tun", {"--scale", "1 9/8 abc"});
    EXPECT_EQ(unreadable.status, 2);
    EXPECT_EQ(unreadable.err, "corvane-cli: --scale: \"abc\" is not a pitch, so the scale is left as it was.\n");
    EXPECT_EQ(files_in(folder.path()), 0u);
}

}  // namespace
}  // namespace corvane::testing
