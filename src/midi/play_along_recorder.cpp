#include "corvane/midi/play_along_recorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "corvane/midi/midi_file_save.h"
#include "corvane/midi/smf_writer_sink.h"
#include "corvane/platform/priority.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::midi {
namespace {

constexpr int kAppend = 1;
constexpr auto kWaitStep = std::chrono::milliseconds(100);
constexpr std::int64_t kNotesOffDelayMs = 10;

std::string overwrite_question(const std::filesystem::path& path) {
    return "Overwrite previous version of " + path.string() +
           "?\n\nUntick: \"Warn about replacing old version of file\"\n\nfrom \"Record play along\" if you don't "
           "want to see this message again.";
}

// Whether a new file can be made at the path; it is not left behind.
bool can_create(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(path.c_str());
    return true;
}

std::string create_failure_message(const std::filesystem::path& path) {
    const std::filesystem::path folder = path.parent_path();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
        return "Can't open " + path.string() + " for writing.\n\nFolder " + folder.string() + " not found.";
    }
    return "Unable to open file " + path.string() + " for writing.\n\nIt may be in use by another application, or not "
           "accessible.";
}

}  // namespace

std::string control_note_caption(int note) { return "Midi note " + std::to_string(note) + " to start recording to MIDI"; }

PlayAlongRecorder::PlayAlongRecorder(RecorderMachine machine, const PlayAlongSettings& settings,
                                     const SmfSettings& smf, std::filesystem::path folder)
    : machine_(machine), settings_(settings), smf_(smf), folder_(std::move(folder)) {}

PlayAlongRecorder::~PlayAlongRecorder() {
    requested_.store(false);
    wake_.notify_all();
    wait();
}

void PlayAlongRecorder::set_folder(std::filesystem::path folder) {
    const std::lock_guard lock(wake_mutex_);
    folder_ = std::move(folder);
}

std::filesystem::path PlayAlongRecorder::folder() const {
    const std::lock_guard lock(wake_mutex_);
    return folder_;
}

std::filesystem::path PlayAlongRecorder::path() const {
    const std::lock_guard lock(wake_mutex_);
    return folder_ / settings_.szPlayAlong;
}

bool PlayAlongRecorder::start(std::string_view caption) {
    if (requested_.load()) return false;
    if (machine_.port.rendering()) {
        machine_.reporter.report(kRecordingSaveRunningMessage, caption);
        return false;
    }
    // MIDI in's control note and the window's button can both start a recording.
    const std::lock_guard lock(worker_mutex_);
    if (requested_.load()) return false;
    if (worker_.joinable()) worker_.join();  // the last recording has closed its file
    if (platform::current_process_priority() == platform::ProcessPriority::real_time) {
        platform::set_process_priority(platform::ProcessPriority::high);
    }
    abort_.store(false);
    requested_.store(true);
    worker_ = std::thread([this] { run(); });
    return true;
}

void PlayAlongRecorder::stop() {
    if (!recording_now_.load()) return;
    if (machine_.clock.now_ms() - start_ms_.load() <= kStopGuardMs) return;
    requested_.store(false);
    wake_.notify_all();
}

void PlayAlongRecorder::wait() {
    const std::lock_guard lock(worker_mutex_);
    if (worker_.joinable()) worker_.join();
}

bool PlayAlongRecorder::refuse_save(platform::Reporter& reporter) const {
    if (!requested()) return false;
    reporter.report(recording_in_progress_message(settings_.szPlayAlong), kSaveMidiFileCaption);
    return true;
}

// What is played along is in no key the settings could know: a recording carries no key
// signature (the configured one, A major by default, would mislabel a tune in C).
void PlayAlongRecorder::run() {
    const std::filesystem::path file = path();
    SmfSettings recording = smf_;
    recording.mf_add_key_signature = false;
    SmfWriter writer(machine_.reporter, abort_, recording);
    writer.set_limit_listener([this](const PlayalongLimitNotice& notice) { limit_reached(notice); });
    if (set_up_file(writer, file, settings_.wReplaceOrAppendPlayAlong == kAppend)) {
        writer.write_file(0, 1, smf_.midi_ticks_per_quarter_note, [&](int) { record_track(writer); });
        writer.close();
    }
    requested_.store(false);
    notify();
}

bool PlayAlongRecorder::set_up_file(SmfWriter& writer, const std::filesystem::path& file, bool append) {
    std::error_code error;
    const bool exists = std::filesystem::exists(file, error);
    if (exists && settings_.warn_replace_old_play_along_file && !append &&
        machine_.reporter.ask_yes_no(overwrite_question(file), kRecordQuestionCaption) == platform::Answer::no) {
        return false;
    }
    new_file_.store(!exists);
    if (!exists && !can_create(file)) {
        machine_.reporter.report(create_failure_message(file), kRecordErrorCaption);
        return false;
    }
    return append ? writer.open_to_append(file) : writer.create(file, SmfTarget::playalong);
}

void PlayAlongRecorder::record_track(SmfWriter& writer) {
    SmfWriterSink sink(writer);
    start_ms_.store(machine_.clock.now_ms());
    {
        auto group = machine_.port.hold_group();
        writer_ = &writer;
        machine_.port.begin_recording({.sink = &sink,
                                       .clock = &machine_.clock,
                                       .start_ms = start_ms_.load(),
                                       .abort = &abort_,
                                       .ticks_per_second = ticks_per_second(smf_)});
        machine_.voices.start_voices();  // the first events of the recording
    }
    mode_in_use_.store(settings_.wReplaceOrAppendPlayAlong);
    recording_now_.store(true);
    notify();
    {
        std::unique_lock lock(wake_mutex_);
        while (requested_.load() && !abort_.load()) wake_.wait_for(lock, kWaitStep);
    }
    recording_now_.store(false);
    notify();
    machine_.clock.sleep_ms(kNotesOffDelayMs);
    auto group = machine_.port.hold_group();
    machine_.port.end_recording();
    writer_ = nullptr;
    machine_.voices.all_notes_off();  // after the recording: these note-offs stay out of the file
}

// Runs on the thread whose message crossed the limit, under the port lock.
void PlayAlongRecorder::limit_reached(const PlayalongLimitNotice& notice) {
    requested_.store(false);
    wake_.notify_all();
    if (listener_ != nullptr) listener_->recording_limit_reached(playalong_limit_message(notice));
}

void PlayAlongRecorder::notify() {
    if (listener_ != nullptr) listener_->recording_changed();
}

std::string PlayAlongRecorder::title(std::string_view window) const {
    std::string text(window);
    if (!recording_now()) return text;
    const std::string name = "\"" + settings_.szPlayAlong + "\"";
    const bool append_now = settings_.wReplaceOrAppendPlayAlong == kAppend;
    if (new_file_.load()) {
        return text + " - recording to new file " + name +
               (append_now ? " (next recording = from end)" : " (next recording = over)");
    }
    const bool appending = mode_in_use_.load() == kAppend;
    std::string next;
    if (append_now != appending) next = append_now ? " (next recording = from end)" : " (next = over)";
    return text + (appending ? " - continuing to record from end of " : " - recording over ") + name + next;
}

std::string PlayAlongRecorder::status_text() const {
    std::uint64_t written = 0;
    std::uint64_t existing = 0;
    {
        auto group = machine_.port.hold_group();
        if (writer_ != nullptr) {
            written = writer_->file_bytes();
            existing = writer_->existing_size();
        }
    }
    const double secs = static_cast<double>(machine_.clock.now_ms() - start_ms_.load()) / 1000.0;
    std::string text = "Saved: " + tuning::format_size(written) + "\n";
    if (existing > 0) text += "Total: " + tuning::format_size(existing + written) + "\n";
    return text + "Time: " + tuning::format_duration(secs);
}

}  // namespace corvane::midi
