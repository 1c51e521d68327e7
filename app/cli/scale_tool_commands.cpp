#include "scale_tool_commands.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "cli_support.h"
#include "composition_options.h"
#include "corvane/files/scale_list.h"
#include "corvane/files/whole_file.h"
#include "corvane/platform/terminal_key_state.h"
#include "corvane/platform/terminal_reporter.h"
#include "corvane/tools/mode_lists.h"
#include "corvane/tools/rearrangements.h"
#include "corvane/tools/scale_list_maker.h"
#include "corvane/tools/search_sort.h"
#include "corvane/tools/superparticular.h"
#include "corvane/tools/tool_protocol.h"

namespace corvane::cli {
namespace {

namespace fs = std::filesystem;

// Messages and questions of a tool on standard error, never in the middle of the progress
// line: the line is cleared first. Questions are answered by --yes or taken as No.
class ToolReporter final : public platform::Reporter {
public:
    ToolReporter(bool answer_yes, bool on_terminal)
        : terminal_(std::cerr, std::cin, false, answer_yes ? platform::Answer::yes : platform::Answer::no),
          on_terminal_(on_terminal) {}

    void report(std::string_view message, std::string_view caption) override {
        const std::lock_guard lock(lock_);
        clear_line();
        terminal_.report(message, caption);
    }
    platform::Answer ask_yes_no(std::string_view question, std::string_view caption) override {
        const std::lock_guard lock(lock_);
        clear_line();
        return terminal_.ask_yes_no(question, caption);
    }
    void show_progress(const tools::ToolProgress& p) {
        if (!on_terminal_) return;
        const std::lock_guard lock(lock_);
        std::cerr << '\r' << p.done;
        if (p.total > 0) std::cerr << '/' << p.total;
        std::cerr << "  " << p.item.substr(0, 60) << "\x1b[K" << std::flush;
        line_shown_ = true;
    }
    void clear_line() {
        if (line_shown_) std::cerr << "\r\x1b[K" << std::flush;
        line_shown_ = false;
    }

private:
    platform::TerminalReporter terminal_;
    bool on_terminal_;
    bool line_shown_ = false;
    std::mutex lock_;
};

using ToolWork = std::function<void(tools::ToolRun&, platform::Reporter&)>;

// Runs one tool as the desktop's dialog does: on the tool board's worker thread. Ctrl-C
// (and Escape at a terminal) presses the halt button: the tool stops at its next check,
// keeps what it has and gives its closing message.
void run_tool(tools::ToolKind kind, bool answer_yes, const ToolWork& work) {
    const bool on_terminal = ::isatty(2) != 0;
    ToolReporter reporter(answer_yes, on_terminal);
    platform::TerminalKeyState keys;
    const std::atomic<bool> exit_flag{false};
    tools::PriorityChecks no_priority_changes;
    tools::ToolBoard board(exit_flag, no_priority_changes);
    std::mutex progress_lock;
    tools::ToolProgress latest;
    bool progress_new = false;
    board.press(
        kind, [&](tools::ToolRun& run) { work(run, reporter); }, reporter,
        [&](const tools::ToolProgress& p) {
            const std::lock_guard lock(progress_lock);
            latest = p;
            progress_new = true;
        });
    constexpr auto kPoll = std::chrono::milliseconds(50);
    while (board.is_running()) {
        std::this_thread::sleep_for(kPoll);
        if (keys.escape_down()) board.halt();
        const std::lock_guard lock(progress_lock);
        if (progress_new) reporter.show_progress(latest);
        progress_new = false;
    }
    board.wait();
    reporter.clear_line();
}

files::ListKind kind_of(const std::string& path) {
    const std::string ext = fs::path(path).extension().string();
    return ext == ".lmd" || ext == ".LMD" ? files::ListKind::modes : files::ListKind::scales;
}

files::ScaleList read_list(const std::string& path) {
    return files::read_scale_list(read_text_file(path), kind_of(path)).list;
}

// The list to a file with -o, else to standard output.
void put_list(const files::ScaleList& list, std::string_view header, const std::string& output) {
    files::SaveBuffer out = files::unbounded_buffer();
    files::write_scale_list(out, list, header, false);
    if (output.empty()) {
        std::cout << out.text();
        return;
    }
    if (!files::write_whole_file(output, out.text(), terminal_reporter())) throw Failure("cannot write " + output);
    std::cerr << "corvane-cli: wrote " << output << '\n';
}

tools::ListPart list_part(const std::string& name) {
    return name == "descriptions" ? tools::ListPart::descriptions : tools::ListPart::definitions;
}

// ---- the commands ----

struct MakeListCommand {
    std::string folder;
    std::string output;
    bool yes = false;
    bool show_file_names = false;
    bool note_non_octave = false;

    void run() const {
        tools::ScaleListJob job;
        job.folder = fs::absolute(folder);
        job.list_name = output.empty() ? job.settings.szLSC : fs::absolute(output).string();
        job.settings.scala_show_original_filename = show_file_names;
        job.settings.scala_show_if_last_note_is_other_than_octave = note_non_octave;
        tools::ScaleListResult result;
        run_tool(tools::ToolKind::scale_list, yes, [&](tools::ToolRun& r, platform::Reporter& reporter) {
            result = tools::make_scale_list_from_folder(job, r, reporter);
        });
        if (!result.written) throw Failure("no list of scales was written");
    }
};

struct ModeListsCommand {
    std::string modes_file;
    std::string output_folder = ".";
    bool yes = false;
    bool auto_sort = false;
    bool sort_descriptions = false;
    std::string sort_template;

    void run() const {
        tools::ModeListsJob job;
        job.modes_file = fs::absolute(modes_file);
        job.output_folder = fs::absolute(output_folder);
        job.settings.scala_auto_sort_lmds = auto_sort;
        job.settings.sort_defs_for_scala_auto_sort_lmds = !sort_descriptions;
        if (!sort_template.empty()) job.settings.szLMDSortTokenTemplate = sort_template;
        std::error_code ec;
        fs::create_directories(output_folder, ec);
        tools::ModeListsResult result;
        run_tool(tools::ToolKind::mode_lists, yes, [&](tools::ToolRun& r, platform::Reporter& reporter) {
            result = tools::make_mode_lists_from_scala(job, r, reporter);
        });
        if (result.files_written == 0 || result.failed || result.lsc_path.empty()) {
            throw Failure(result.files_written == 0 ? "no lists of modes were made from " + modes_file
                                                    : std::to_string(result.files_written) +
                                                          " lists of modes were made, but not the list of scales for "
                                                          "them");
        }
        if (result.files_failed > 0) {
            throw Failure(std::to_string(result.files_written) + " lists of modes were made; " +
                          std::to_string(result.files_failed) + " could not be written");
        }
    }
};

struct SearchCommand {
    std::string list_file;
    std::string words;
    std::string part = "descriptions";
    bool exact = false;
    std::string output;

    void run() const {
        files::ScaleList list = read_list(list_file);
        tools::SearchJob job{words, exact, list_part(part), list_file};
        tools::SearchResult result;
        run_tool(tools::ToolKind::search, false, [&](tools::ToolRun& r, platform::Reporter& reporter) {
            result = tools::search_list(list, job, r, reporter);
        });
        if (!result.searched) throw UsageError("--words: nothing to look for");
        put_list(list, list.header, output);
    }
};

struct SortCommand {
    std::string list_file;
    std::string sort_template;
    std::string part = "definitions";
    bool keep_duplicates = false;
    std::string output;

    void run() const {
        files::ScaleList list = read_list(list_file);
        const files::Settings defaults;
        const std::string& chosen = !sort_template.empty()             ? sort_template
                                    : list.kind == files::ListKind::modes ? defaults.szLMDSortTokenTemplate
                                                                          : defaults.szSortTokenTemplate;
        tools::SortResult result;
        run_tool(tools::ToolKind::sort, false, [&](tools::ToolRun& r, platform::Reporter& reporter) {
            result = tools::sort_list(list, chosen, list_part(part), !keep_duplicates, r, reporter);
        });
        if (result.refused) throw UsageError("--template: \"" + chosen + "\" holds a letter that is no sort letter");
        std::cerr << "corvane-cli: " << (result.halted ? "sort halted, list kept as it was" : "sorted " +
                                                          std::to_string(result.entries) + " entries")
                  << '\n';
        put_list(list, list.header, output);
    }
};

struct SuperparticularCommand {
    int notes = 5;
    int min_notes = 0;
    std::string top = "2";
    int max_scales = 1000;
    std::string smallest = "81/80";
    std::string largest = "5/4";
    double memory_kb = 100;
    bool steps_in_description = true;
    std::string output;

    void run() const {
        tools::SuperparticularSearch search;
        search.sps_nnotes = notes;
        search.sps_min_nnotes = min_notes > 0 ? min_notes : notes;
        search.sps_maxscales = max_scales;
        search.dsps_topnote = expression_argument(top, "--top");
        search.smallest_step = expression_argument(smallest, "--smallest");
        search.largest_step = expression_argument(largest, "--largest");
        search.dsps_max_memory = memory_kb;
        search.sps_show_as_steps_in_description = steps_in_description;
        const auto format = tuning::PitchFormat::configuration_defaults();
        files::ScaleList list;
        list.entries = files::fixed_first_entries(list.kind);
        run_tool(tools::ToolKind::superparticular, false, [&](tools::ToolRun& r, platform::Reporter& reporter) {
            tools::superparticular_tool(list, search, format, r, reporter);
        });
        put_list(list, "Superparticular scales of " + std::to_string(notes) + " notes, top note " + top, output);
    }
};

struct RearrangeCommand {
    std::string list_file;
    int entry = 0;
    bool all = false;
    bool yes = false;
    std::size_t max_scales = tools::kDefaultMaxRearrangements;
    std::string output;

    void run() const {
        files::ScaleList list = read_list(list_file);
        std::optional<std::size_t> chosen;
        if (!all) {
            std::size_t first = 0;
            while (first < list.entries.size() && files::is_fixed_entry(list.entries[first])) ++first;
            chosen = entry > 0 ? first + static_cast<std::size_t>(entry) - 1 : std::max(list.selected, first);
            if (*chosen >= list.entries.size()) throw UsageError("--entry: the list has no entry " + std::to_string(entry));
        }
        const auto format = tuning::PitchFormat::configuration_defaults();
        tools::RearrangementsResult result;
        run_tool(tools::ToolKind::rearrangements, yes, [&](tools::ToolRun& r, platform::Reporter& reporter) {
            result = tools::rearrangements_tool(list, chosen, format, r, reporter, max_scales);
        });
        if (result.scales.empty()) throw Failure("no re-arrangements were made");
        put_list(list, list.header, output);
    }
};

constexpr std::string_view kHaltNote = "; Ctrl-C halts it and keeps what it has";

void add_make_list(CLI::App& scales) {
    auto command = std::make_shared<MakeListCommand>();
    auto* sub = scales.add_subcommand("make-list", "Make a list of scales (.lsc) from every Scala file (.scl) in a "
                                                   "folder" + std::string(kHaltNote));
    sub->add_option("folder", command->folder, "the folder of Scala files")->required()->check(CLI::ExistingDirectory);
    sub->add_option("-o,--output", command->output, "the list to write (default: \"SCALA Scales.lsc\" in the folder)");
    sub->add_flag("--yes", command->yes, "replace an existing list without asking");
    sub->add_flag("--show-file-names", command->show_file_names, "put each file's name in front of its description");
    sub->add_flag("--note-non-octave", command->note_non_octave, "mark scales whose last pitch is not 2/1 with \"~\"");
    sub->callback([command] { command->run(); });
}

void add_make_mode_lists(CLI::App& scales) {
    auto command = std::make_shared<ModeListsCommand>();
    auto* sub = scales.add_subcommand("make-mode-lists", "Make lists of modes (.lmd) and the list of scales for them "
                                                         "from Scala's mode names file" + std::string(kHaltNote));
    sub->add_option("modes-file", command->modes_file, "the mode names file (\"modename.htm\")")->required();
    sub->add_option("-o,--output-folder", command->output_folder, "folder to write into (default: the current folder)");
    sub->add_flag("--yes", command->yes, "replace existing files, and read a file of another layout, without asking");
    sub->add_flag("--auto-sort", command->auto_sort, "sort every list of modes made");
    sub->add_option("--sort-template", command->sort_template, "the template for --auto-sort (default \"n+~-i\")");
    sub->add_flag("--sort-descriptions", command->sort_descriptions, "--auto-sort by the names, not the degrees");
    sub->callback([command] { command->run(); });
}

void add_search(CLI::App& scales) {
    auto command = std::make_shared<SearchCommand>();
    auto* sub = scales.add_subcommand("search", "Keep only the entries of a list that match the words: \"!\" "
                                                "excludes, \"#\" whole word, \"*\" begins, \"~\" anywhere" +
                                                    std::string(kHaltNote));
    sub->add_option("list", command->list_file, "the list of scales (.lsc) or modes (.lmd)")->required();
    sub->add_option("--words", command->words, "the words to find")->required();
    sub->add_option("--in", command->part, "which texts to search")
        ->check(CLI::IsMember({"descriptions", "definitions"}))
        ->capture_default_str();
    sub->add_flag("--exact", command->exact, "unmarked words must match whole words");
    sub->add_option("-o,--output", command->output, "the list to write (default: standard output)");
    sub->callback([command] { command->run(); });
}

void add_sort(CLI::App& scales) {
    auto command = std::make_shared<SortCommand>();
    auto* sub = scales.add_subcommand("sort", "Sort a list by a template of key letters (a n r i c s t o k + - ~ < >)" +
                                                  std::string(kHaltNote));
    sub->add_option("list", command->list_file, "the list of scales (.lsc) or modes (.lmd)")->required();
    sub->add_option("--template", command->sort_template,
                    "the sort template (default \"n+~-i\"); text from \"(\" on is a comment");
    sub->add_option("--by", command->part, "which texts the \"a\" and \"r\" letters read")
        ->check(CLI::IsMember({"descriptions", "definitions"}))
        ->capture_default_str();
    sub->add_flag("--keep-duplicates", command->keep_duplicates, "keep entries that repeat an earlier one");
    sub->add_option("-o,--output", command->output, "the list to write (default: standard output)");
    sub->callback([command] { command->run(); });
}

// A number of at least `lowest`, refused in plain words otherwise ("0" is not a whole number of
// 1 or more): CLI11's own number checks name the range of a double.
template <typename Number>
CLI::Validator number_from(Number lowest, const std::string& what, const std::string& name) {
    return CLI::Validator(
        [lowest, what](const std::string& text) -> std::string {
            Number value{};
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            const bool read = error == std::errc{} && stop == end && std::isfinite(static_cast<double>(value));
            return read && value >= lowest ? "" : "\"" + text + "\" is not " + what;
        },
        name);
}

CLI::Validator count_from_one() { return number_from<long long>(1, "a whole number of 1 or more", "1 OR MORE"); }

// Kilobytes, a fraction allowed.
CLI::Validator kilobytes() { return number_from<double>(0, "a number of kilobytes (0 or more)", "KILOBYTES"); }

void add_superparticular(CLI::App& scales) {
    auto command = std::make_shared<SuperparticularCommand>();
    auto* sub = scales.add_subcommand("superparticular", "Find every scale of superparticular steps (n+1)/n up to a "
                                                         "top note" + std::string(kHaltNote));
    sub->add_option("--notes", command->notes, "most steps in a scale")->required()->check(CLI::Range(1, 1000));
    sub->add_option("--min-notes", command->min_notes, "fewest steps (default: --notes)")->check(CLI::Range(1, 1000));
    sub->add_option("--top", command->top, "the top note, a ratio such as 2 or 3/2")->required();
    sub->add_option("--max-scales", command->max_scales, "most scales to find")->capture_default_str()
        ->check(count_from_one());
    sub->add_option("--smallest", command->smallest, "the smallest step allowed")->capture_default_str();
    sub->add_option("--largest", command->largest, "the largest step allowed; only when above --smallest")
        ->capture_default_str();
    sub->add_option("--memory", command->memory_kb, "kilobytes for the step cache")->capture_default_str()
        ->check(kilobytes());
    sub->add_flag("!--pitches-as-description", command->steps_in_description,
                  "describe each scale by its pitches, not its steps");
    sub->add_option("-o,--output", command->output, "the list to write (default: standard output)");
    sub->callback([command] { command->run(); });
}

void add_rearrange(CLI::App& scales) {
    auto command = std::make_shared<RearrangeCommand>();
    auto* sub = scales.add_subcommand("rearrange", "List every distinct re-arrangement of a scale's steps" +
                                                       std::string(kHaltNote));
    sub->add_option("list", command->list_file, "the list of scales (.lsc)")->required();
    auto* entry = sub->add_option("--entry", command->entry, "the entry to use, from 1 (default: the selected one)")
                      ->check(count_from_one());
    sub->add_flag("--all", command->all, "re-arrange every scale of the list")->excludes(entry);
    sub->add_option("--max-scales", command->max_scales,
                    "the most re-arrangements to make (default " +
                        std::to_string(tools::kDefaultMaxRearrangements) + "); a run that would make more asks first")
        ->check(count_from_one());
    sub->add_flag("--yes", command->yes, "answer Yes: make as many as --max-scales allows");
    sub->add_option("-o,--output", command->output, "the list to write (default: standard output)");
    sub->callback([command] { command->run(); });
}

}  // namespace

void add_scale_tool_commands(CLI::App& scales) {
    add_make_list(scales);
    add_make_mode_lists(scales);
    add_search(scales);
    add_sort(scales);
    add_superparticular(scales);
    add_rearrange(scales);
}

}  // namespace corvane::cli
