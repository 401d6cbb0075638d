// Memory for a whole package. Touching hundreds of megabytes of fresh memory
// page by page costs a fault per 4 KiB; where the system offers transparent
// large pages on request, the buffer is aligned to them and asks for them, so
// that a fault maps 2 MiB at once. Where it does not, it is plain memory.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

#include "platform/backend.h"

namespace plat::backend {

namespace {

constexpr std::size_t kLargePage = 2u << 20;

}  // namespace

std::uint8_t* AllocateLarge(std::size_t bytes) {
    if (bytes < kLargePage) return static_cast<std::uint8_t*>(std::malloc(bytes ? bytes : 1));
    void* memory = nullptr;
    if (posix_memalign(&memory, kLargePage, bytes) != 0) return nullptr;
#ifdef MADV_HUGEPAGE
    // Advice only: a system without large pages leaves the memory as it is.
    madvise(memory, bytes, MADV_HUGEPAGE);
#endif
    return static_cast<std::uint8_t*>(memory);
}

void FreeLarge(std::uint8_t* bytes) { std::free(bytes); }

// Only whole large pages inside the range go back: a partial one would be
// split, and memory the allocator keeps its own records in is never touched.
void ForgetLarge(std::uint8_t* buffer, std::size_t below) {
    constexpr std::uintptr_t kMask = ~(std::uintptr_t{kLargePage} - 1);
    auto first = reinterpret_cast<std::uintptr_t>(buffer);
    std::uintptr_t from = (first + kLargePage - 1) & kMask;
    std::uintptr_t to = (first + below) & kMask;
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

}  // namespace plat::backend
