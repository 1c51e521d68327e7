#include "corvane/tools/superparticular.h"

#include <chrono>
#include <cmath>
#include <numeric>
#include <optional>

#include "corvane/tuning/number_text.h"
#include "ratio_text.h"

namespace corvane::tools {
namespace {

constexpr long long kLargestN = 1000000;
constexpr double kTolerance = 1e-12;
constexpr double kLowestTop = 1.0000000001;
constexpr double kBytesPerCachedStep = 9;  // one flag byte and one double
constexpr unsigned kChecksEvery = 4096;    // inner polls between full priority checks

double step_of(long long n) { return static_cast<double>(n + 1) / static_cast<double>(n); }

// 128-bit whole numbers (a GNU extension of g++ and clang) for products of several steps.
__extension__ typedef __int128 Wide;

// A whole-number ratio in lowest terms.
struct WideRatio {
    Wide p = 1;
    Wide q = 1;
};

Wide gcd_of(Wide a, Wide b) {
    while (b != 0) {
        const Wide r = a % b;
        a = b;
        b = r;
    }
    return a < 0 ? -a : a;
}

// The top note as a fraction p/q with q at most a million, when it is one (5/4, 2, 3/2).
std::optional<WideRatio> exact_top(double top) {
    for (long long q = 1; q <= 1000000; ++q) {
        const double p = std::round(top * static_cast<double>(q));
        if (std::fabs(p / static_cast<double>(q) - top) <= 1e-15 * top) {
            return WideRatio{static_cast<Wide>(p), q};
        }
    }
    return std::nullopt;
}

// The product of the steps (n+1)/n, exactly; nothing when it outgrows 128 bits.
std::optional<WideRatio> product_of_steps(const std::vector<long long>& ns) {
    WideRatio product;
    constexpr Wide kLimit = static_cast<Wide>(1) << 100;
    for (const long long n : ns) {
        product.p *= n + 1;
        product.q *= n;
        const Wide g = gcd_of(product.p, product.q);
        product.p /= g;
        product.q /= g;
        if (product.p > kLimit || product.q > kLimit) return std::nullopt;
    }
    return product;
}

// ln((n+1)/n) for each n up to its size, filled as the search reaches it.
class StepLogCache {
public:
    explicit StepLogCache(double kilobytes) {
        const double wanted = std::max(0.0, kilobytes) * 1024.0 / kBytesPerCachedStep;
        const auto entries = static_cast<std::size_t>(std::min(wanted, static_cast<double>(kLargestN)));
        try {
            logs_.resize(entries);
            filled_.resize(entries);
        } catch (const std::exception&) {  // no memory for it: the search runs without cache
            logs_.clear();
            filled_.clear();
        }
    }

    double log_step(long long n) {
        const auto index = static_cast<std::size_t>(n);
        if (index >= logs_.size()) return std::log1p(1.0 / static_cast<double>(n));
        if (filled_[index] == 0) {
            logs_[index] = std::log1p(1.0 / static_cast<double>(n));
            filled_[index] = 1;
            largest_filled_ = std::max(largest_filled_, n);
        }
        return logs_[index];
    }
    std::size_t entries() const { return logs_.size(); }
    long long largest_filled() const { return largest_filled_; }

private:
    std::vector<double> logs_;
    std::vector<unsigned char> filled_;
    long long largest_filled_ = 0;
};

class Finder {
public:
    Finder(const SuperparticularSearch& search, const tuning::PitchFormat& format, ToolRun& run)
        : search_(search), format_(format), run_(run), cache_(search.dsps_max_memory),
          largest_applies_(search.largest_step > search.smallest_step), exact_top_(exact_top(search.dsps_topnote)) {}

    SuperparticularResult run() {
        if (search_.dsps_topnote > kLowestTop && search_.sps_nnotes > 0) superparticular_search(1.0, 0, 1);
        result_.cache_entries = cache_.entries();
        result_.largest_n_cached = cache_.largest_filled();
        return std::move(result_);
    }

private:
    bool must_stop() {
        if (result_.halted) return true;
        const bool full_check = ++polls_ % kChecksEvery == 0;
        if (full_check) show_progress();
        const bool stop = full_check ? run_.checkpoint() : run_.stop_requested();
        result_.halted = stop;
        return stop;
    }

    // Steps are taken from the largest (n = `n_from`) down, each size as often as it fits,
    // so that every set of steps is met once, in order.
    void superparticular_search(double pitch, int depth, long long n_from) {
        const int steps_left = search_.sps_nnotes - depth;
        const double top = search_.dsps_topnote;
        const double log_to_top = std::log(top / pitch);
        for (long long n = n_from; n <= kLargestN; ++n) {
            if (result_.reached_limit || must_stop()) return;
            if (depth == 0) largest_step_n_ = n;
            const double step = step_of(n);
            if (step < search_.smallest_step - kTolerance) return;
            if (largest_applies_ && step > search_.largest_step + kTolerance) continue;
            if (static_cast<double>(steps_left) * cache_.log_step(n) < log_to_top - kTolerance) return;
            const double next = pitch * step;
            if (next > top + kTolerance) continue;
            path_.push_back(n);
            if (std::fabs(next - top) <= kTolerance) {
                if (depth + 1 >= search_.sps_min_nnotes && reaches_top_exactly()) found();
            } else if (steps_left > 1) {
                superparticular_search(next, depth + 1, n);
            }
            path_.pop_back();
        }
    }

    // Near is not there: the steps are exact ratios, and so is a top note such as 5/4.
    bool reaches_top_exactly() const {
        if (!exact_top_) return true;  // a top note of no small ratio: within the tolerance is all there is
        const auto product = product_of_steps(path_);
        return !product || (product->p == exact_top_->p && product->q == exact_top_->q);
    }

    // Where the search is (its largest step) and what it has found, a few times a second.
    void show_progress() {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_progress_ < std::chrono::milliseconds(350)) return;
        last_progress_ = now;
        const long long n = largest_step_n_;
        run_.progress({result_.scales.size(), 0,
                       "largest step " + std::to_string(n + 1) + "/" + std::to_string(n) + ", " +
                           std::to_string(result_.scales.size()) + " scales found"});
    }

    void found() {
        result_.scales.push_back(superparticular_entry(path_));
        result_.smallest_step_n = std::max(result_.smallest_step_n, path_.back());
        if (static_cast<int>(result_.scales.size()) >= search_.sps_maxscales) result_.reached_limit = true;
    }

    files::ListEntry superparticular_entry(const std::vector<long long>& ns) const {
        std::string definition = "1 ";
        std::string steps;
        ExactRatio pitch{1, 1};
        double value = 1.0;
        for (const long long n : ns) {
            const ExactRatio step{n + 1, n};
            value *= step_of(n);
            pitch = pitch.times(step);
            definition += pitch.exact ? pitch.text() : ratio_text(value, format_);
            definition += ' ';
            steps += step.text() + ' ';
        }
        files::ListEntry entry;
        entry.definition = definition;
        entry.description = search_.sps_show_as_steps_in_description ? steps : definition;
        entry.modes_file = ":";
        return entry;
    }

    const SuperparticularSearch& search_;
    const tuning::PitchFormat& format_;
    ToolRun& run_;
    StepLogCache cache_;
    bool largest_applies_;
    std::vector<long long> path_;
    SuperparticularResult result_;
    unsigned polls_ = 0;
    std::optional<WideRatio> exact_top_;
    long long largest_step_n_ = 1;
    std::chrono::steady_clock::time_point last_progress_ = std::chrono::steady_clock::now();
};

std::string memory_text(const SuperparticularResult& r) {
    const auto size = [](auto steps) {
        return tuning::format_size(static_cast<std::uint64_t>(static_cast<double>(steps) * kBytesPerCachedStep));
    };
    return "\nExtra memory allocated to speed search: " + size(r.cache_entries) + ", actually used " +
           size(r.largest_n_cached);
}

std::string bounds_text(const SuperparticularSearch& s, const tuning::PitchFormat& format) {
    if (s.largest_step > s.smallest_step) {
        return ", range of intervals for search " + ratio_text(s.smallest_step, format) + " - " +
               ratio_text(s.largest_step, format);
    }
    if (s.smallest_step > 1) return ", min interval for search " + ratio_text(s.smallest_step, format);
    return {};
}

}  // namespace

SuperparticularResult find_superparticular_scales(const SuperparticularSearch& search,
                                                  const tuning::PitchFormat& format, ToolRun& run) {
    return Finder(search, format, run).run();
}

std::string superparticular_report(const SuperparticularSearch& search, const SuperparticularResult& result,
                                   const tuning::PitchFormat& format, double seconds) {
    const std::string notes_and_top = std::to_string(search.sps_nnotes) + " notes, top note " +
                                      ratio_text(search.dsps_topnote, format) + bounds_text(search, format);
    const std::string time = "\nTime taken: " + tuning::format_duration(seconds);
    if (result.halted) {
        return "Search for superparticular scales halted: " + std::to_string(result.scales.size()) +
               " found before it was halted\n\n" + notes_and_top + memory_text(result) + time;
    }
    if (result.scales.empty()) {
        return "No superparticular scales found for these values:\n\n" + notes_and_top + memory_text(result) + time;
    }
    const long long n = result.smallest_step_n;
    return "List of " + std::to_string(result.scales.size()) + " superparticular scales completed\n\n" +
           notes_and_top + ", min interval found " + std::to_string(n + 1) + "/" + std::to_string(n) +
           "\n\nPlaced in scales drop down list\n" +
           (result.reached_limit ? "\nStopped search at this point - reached max number of scales to find\n" : "") +
           memory_text(result) + time;
}

SuperparticularResult superparticular_tool(files::ScaleList& list, const SuperparticularSearch& search,
                                           const tuning::PitchFormat& format, ToolRun& run,
                                           platform::Reporter& reporter) {
    SuperparticularResult result = find_superparticular_scales(search, format, run);
    if (!result.scales.empty()) {
        list.entries = files::fixed_first_entries(list.kind);
        list.entries.insert(list.entries.end(), result.scales.begin(), result.scales.end());
        list.selected = list.entries.size() - result.scales.size();
    }
    reporter.report(superparticular_report(search, result, format, run.elapsed_seconds()), kSuperparticularCaption);
    return result;
}

}  // namespace corvane::tools
