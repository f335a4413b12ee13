#include "compose/random_source.h"

#include <stdexcept>

namespace vexora::compose {

std::uint32_t RandomSource::below(std::uint32_t n) {
    if (n == 0)
        throw std::invalid_argument("empty random range");
    ++draws_;
    // Rejects the lowest 2^32 mod n raw values so every residue is equally likely.
    const std::uint32_t threshold = static_cast<std::uint32_t>(-n) % n;
    for (;;) {
        const std::uint32_t x = static_cast<std::uint32_t>(engine_());
        if (x >= threshold)
            return x % n;
    }
}

int RandomSource::between(int lo, int hi) {
    if (hi < lo)
        throw std::invalid_argument("empty random range");
    const auto span = static_cast<std::uint32_t>(static_cast<std::int64_t>(hi) - lo + 1);
    return static_cast<int>(static_cast<std::int64_t>(lo) + below(span));
}

}  // namespace vexora::compose
