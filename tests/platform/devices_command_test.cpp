#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "../cli/run_cli.h"

namespace corvane::platform {
namespace {

// Without a MIDI system only the synthesizer is listed, in text and JSON; an unknown one is refused.
TEST(DevicesCommand, WithoutAMidiSystemListsTheSynthesizerAndSaysSo) {
    // JACK clients look for a server that does not exist. Each test runs in a process of its own.
    ::setenv("JACK_DEFAULT_SERVER", "corvane-no-such-server", 1);
    const auto text = testing::run_cli({"devices", "--api", "jack"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("  -1  Built-in synthesizer (FluidSynth)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("No MIDI output devices found. No JACK server is running"), std::string::npos) << text.out;
    EXPECT_EQ(text.err, "");

    const auto json = testing::run_cli({"devices", "--api", "jack", "--json", "--soundfont", "/nonexistent.sf2"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto listing = nlohmann::json::parse(json.out);
    ASSERT_EQ(listing["devices"].size(), 1u);
    EXPECT_EQ(listing["devices"][0]["device"], -1);
    EXPECT_EQ(listing["devices"][0]["kind"], "built-in synthesizer");
    EXPECT_EQ(listing["devices"][0]["soundfont_found"], false);
    EXPECT_TRUE(listing["midi_system"].is_null());
    EXPECT_EQ(testing::run_cli({"devices", "--api", "coreaudio"}).status, 2);
}

}  // namespace
}  // namespace corvane::platform
