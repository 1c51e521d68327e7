#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "../cli/run_cli.h"

namespace corvane::platform {
namespace {

// Points JACK clients at a server that does not exist for as long as it lives.
class NoJackServer {
public:
    NoJackServer() {
        if (const char* value = std::getenv("JACK_DEFAULT_SERVER")) saved_ = value;
        ::setenv("JACK_DEFAULT_SERVER", "corvane-no-such-server", 1);
    }
    ~NoJackServer() {
        if (saved_) ::setenv("JACK_DEFAULT_SERVER", saved_->c_str(), 1);
        else ::unsetenv("JACK_DEFAULT_SERVER");
    }

private:
    std::optional<std::string> saved_;
};

TEST(DevicesCommand, WithoutAMidiSystemListsTheSynthesizerAndSaysSo) {
    const NoJackServer no_jack;
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
    EXPECT_EQ(listing["devices"][0]["soundfont_found"], false);
    EXPECT_TRUE(listing["midi_system"].is_null());
}

TEST(DevicesCommand, RefusesAnUnknownMidiSystem) {
    const auto result = testing::run_cli({"devices", "--api", "coreaudio"});
    EXPECT_EQ(result.status, 2);
}

}  // namespace
}  // namespace corvane::platform
