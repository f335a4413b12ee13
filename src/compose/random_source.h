#pragma once

#include <cstdint>
#include <random>

namespace vexora::compose {

// The one random generator of composition, shared by the picker and shuffling. Seeded
// once; its draws are the same on every standard library (mt19937's output is fixed by
// the standard, and the reduction to a range is done here, not by a distribution).
class RandomSource {
public:
    explicit RandomSource(std::uint32_t seed) : engine_(seed) {}

    // Uniform integer in 0 .. n - 1; n must be at least 1 (n = 1 still draws once).
    std::uint32_t below(std::uint32_t n);
    // Uniform integer in lo .. hi (lo <= hi).
    int between(int lo, int hi);
    // Number of values drawn so far.
    std::uint64_t draws() const { return draws_; }

private:
    std::mt19937 engine_;
    std::uint64_t draws_ = 0;
};

}  // namespace vexora::compose
