#pragma once

namespace corvane::testing {

// How many times this thread has called the global operator new so far (this test program
// replaces it with a counting one).
long allocations_on_this_thread();

}  // namespace corvane::testing
