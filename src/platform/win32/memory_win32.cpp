// Memory for a whole package: the C runtime's heap, as the program has always
// taken it.
#include <cstdlib>

#include "platform/backend.h"

namespace plat::backend {

std::uint8_t* AllocateLarge(std::size_t bytes) {
    return static_cast<std::uint8_t*>(std::malloc(bytes ? bytes : 1));
}

void FreeLarge(std::uint8_t* bytes) { std::free(bytes); }

// The heap's memory is kept as it is until it is freed.
void ForgetLarge(std::uint8_t* /*buffer*/, std::size_t /*below*/) {}

}  // namespace plat::backend
