#pragma once

// Hand-offs that ThreadSanitizer cannot see, told to it. JACK passes a port buffer from the
// client that fills it to the clients that read it, and back at the next cycle, through
// futexes in shared memory that the sanitizer does not know; with a writer and a reader in
// one process (as in the JACK tests) their accesses would look unsynchronised. Each client
// takes the buffer over at the start of its cycle and hands it over at the end. Outside a
// ThreadSanitizer build these do nothing.

#if defined(__SANITIZE_THREAD__)
#define CORVANE_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CORVANE_TSAN 1
#endif
#endif

#ifdef CORVANE_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace corvane::platform {

// This client is done with `buffer` for this cycle.
inline void hand_over(void* buffer) {
#ifdef CORVANE_TSAN
    __tsan_release(buffer);
#else
    (void)buffer;
#endif
}

// This client takes `buffer` for this cycle, after the client before it handed it over.
inline void take_over(void* buffer) {
#ifdef CORVANE_TSAN
    __tsan_acquire(buffer);
#else
    (void)buffer;
#endif
}

}  // namespace corvane::platform
