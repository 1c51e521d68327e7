#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>

#include "../files/files_test_support.h"
#include "corvane/tools/mode_lists.h"
#include "corvane/tools/tool_protocol.h"

namespace corvane::tools::testing {

using files::testing::slurp;
using files::testing::TempFolder;
using files::testing::write_text;

// A tool run on the test's own thread, with a halt flag the test may set (also from the
// progress listener, to halt half-way).
struct DirectRun {
    std::atomic<bool> halt{false};
    std::atomic<bool> exit{false};
    PriorityChecks priority;
    ToolRun run;

    explicit DirectRun(ProgressListener progress = {}) : run(halt, exit, priority, std::move(progress)) {}
};

// Presses the halt button at the given checkpoint (from 1), as a user would half-way.
struct HaltAtCheckpoint final : PriorityChecks {
    std::atomic<bool>& halt;
    int checkpoint;
    int seen = 0;
    HaltAtCheckpoint(std::atomic<bool>& halt_flag, int at) : halt(halt_flag), checkpoint(at) {}
    void in_worker() override {
        if (++seen == checkpoint) halt = true;
    }
};

struct HaltingRun {
    std::atomic<bool> halt{false};
    std::atomic<bool> exit{false};
    HaltAtCheckpoint priority;
    ToolRun run;

    explicit HaltingRun(int at) : priority(halt, at), run(halt, exit, priority) {}
};

// Lists of modes made from "modename.htm" in the folder, into the folder.
inline ModeListsJob mode_lists_job(const TempFolder& folder) {
    ModeListsJob job;
    job.modes_file = folder / "modename.htm";
    job.output_folder = folder.path();
    return job;
}

// Lists of modes made into the folder from `modes_file`, written there as "modename.htm".
inline ModeListsResult mode_lists_from(const TempFolder& folder, std::string_view modes_file,
                                       platform::Reporter& reporter) {
    write_text(folder / "modename.htm", modes_file);
    DirectRun direct;
    return make_mode_lists_from_scala(mode_lists_job(folder), direct.run, reporter);
}

inline std::string shared_scala_folder() { return std::string(CORVANE_SHARED_DATA) + "/scl"; }

}  // namespace corvane::tools::testing
