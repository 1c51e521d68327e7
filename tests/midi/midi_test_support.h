#pragma once

// Temporary folders and byte lists shared by the MIDI tests.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace corvane::testing {

using Bytes = std::vector<std::uint8_t>;

// Joins byte lists: cat({0x4D, 0x54}, other, ...).
inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A folder of its own for each test, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "test";
        path_ = std::filesystem::temp_directory_path() /
                ("corvane-midi-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace corvane::testing
