#include "allocation_counter.h"

#include <cstdlib>
#include <new>

// Kept in a file of its own: the replacements must not be inlined next to their callers.
namespace {
thread_local long allocations_here = 0;
}

void* operator new(std::size_t size) {
    ++allocations_here;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace corvane::testing {

long allocations_on_this_thread() { return allocations_here; }

}  // namespace corvane::testing
