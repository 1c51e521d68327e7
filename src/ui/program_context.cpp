#include "corvane/ui/program_context.h"

#include <chrono>
#include <thread>

#include "corvane/files/scala_file.h"
#include "corvane/platform/priority.h"

namespace corvane::ui {

PlayerNotices::Taken PlayerNotices::take() {
    return {display_.exchange(false), priority_reset_.exchange(false), stopped_.exchange(false)};
}

ProgramContext::ProgramContext(std::filesystem::path program_folder, platform::MidiOutputSystem& outputs,
                               platform::MidiInputSystem& inputs, platform::Reporter& reporter)
    : reporter_(reporter), timer_resolution_(platform::timer_resolution_ms(timers_.caps())) {
    workspace_.program_folder = std::move(program_folder);
    apply_configured_devices();
    playback_ = std::make_unique<midi::Playback>(
        workspace_.composition, workspace_.settings.player, workspace_.settings.voices,
        midi::PlaybackMachine{outputs, timers_, clock_, keys_, reporter_}, &notices_);
    // Recordings go into the current folder until the main window puts them beside the composition.
    play_along_ = std::make_unique<midi::PlayAlong>(*playback_, workspace_.composition, workspace_.settings.play_along,
                                                    workspace_.settings.smf,
                                                    midi::PlayAlongMachine{inputs, clock_, reporter_},
                                                    std::filesystem::current_path());
    play_along_events_ = std::make_unique<PlayAlongEvents>(*play_along_);
    scale_tools_ = std::make_unique<ScaleToolRunner>(stop_flag_, keys_, reporter_);
}

ProgramContext::~ProgramContext() {
    scale_tools_.reset();
    play_along_->midi_in().close();
    play_along_.reset();  // the recording's worker ends here, before its listener goes
    midi_save_.stop();
    stop_play_and_wait();
}

void ProgramContext::stop_play_and_wait() {
    auto& player = playback_->player();
    playback_->stop();
    for (int waited = 0; waited < 200 && !player.stopped(); ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    timers_.cancel_all(player);
}

void ProgramContext::apply_configured_devices() {
    if (!workspace_.settings.uTimerRes_set_explicitly) workspace_.settings.player.uTimerRes = timer_resolution_;
    if (playback_) playback_->port().set_latency_periods(workspace_.settings.output_latency_periods);
}

std::optional<std::string> ProgramContext::choose_keyboard_mapping(const std::string& path) {
    std::optional<tuning::KeyboardMapping> mapping;
    if (!path.empty()) {
        auto read = files::read_keyboard_mapping_file(path);
        if (auto* error = std::get_if<tuning::KeyboardMappingError>(&read)) return std::move(error->message);
        mapping = std::get<tuning::KeyboardMapping>(std::move(read));
    }
    play_along_->set_keyboard_mapping(mapping);
    workspace_.settings.play_along.midi_in_keyboard_mapping = path;
    keyboard_mapping_in_use_ = path;
    return std::nullopt;
}

void ProgramContext::apply_keyboard_mapping() {
    const std::string path = workspace_.settings.play_along.midi_in_keyboard_mapping;
    if (path == keyboard_mapping_in_use_) return;
    if (const auto refused = choose_keyboard_mapping(path)) {
        play_along_->set_keyboard_mapping(std::nullopt);
        keyboard_mapping_in_use_ = path;  // said once, not again at the next read
        reporter_.report(*refused, kKeyboardMappingCaption);
    }
}

void ProgramContext::rebuild_tune() {
    engine::build_fractal_tune(*tune_, workspace_.composition.Note_heights, workspace_.composition.Levels, clock_);
}

engine::Composition ProgramContext::composition_copy() {
    const auto group = playback().port().hold_group();
    return workspace_.composition;
}

bool ProgramContext::start_midi_save(const std::filesystem::path& path) {
    if (midi_save_.running()) return false;
    // A save never runs at real-time priority.
    if (platform::current_process_priority() == platform::ProcessPriority::real_time) {
        platform::set_process_priority(platform::ProcessPriority::high);
    }
    save_watch_.track.store(0);
    save_watch_.saved_secs.store(0);
    save_watch_.file_bytes.store(0);
    const files::Settings& s = workspace_.settings;
    return midi_save_.start([this, path, composition = composition_copy(), save = files::midi_save_settings(s),
                             player = s.player, voices = s.voices](std::atomic<bool>& abort) {
        return midi::render_midi_file(path, composition, save, player, voices, reporter_, abort,
                                      [this](const midi::SaveProgress& p) {
                                          save_watch_.track.store(p.track);
                                          save_watch_.saved_secs.store(p.saved_secs);
                                          save_watch_.file_bytes.store(p.file_bytes);
                                      });
    });
}

ProgramContext::PlayHold::PlayHold(ProgramContext& context) : context_(context) {
    auto& player = context_.playback().player();
    player.hold();
    if (player.playing()) std::this_thread::sleep_for(std::chrono::milliseconds(15));
}

ProgramContext::PlayHold::~PlayHold() { context_.playback().player().release(); }

}  // namespace corvane::ui
