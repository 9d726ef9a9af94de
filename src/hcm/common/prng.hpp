#pragma once
// The seeded pseudo-random generator of the reliability chapters (HCM Chapters 11 and 17): an
// xorshift64* stream, so that the same inputs and seed give the same scenarios on every machine.
// Every draw is specified to the bit: the uniform value carries 53 random bits, integer draws
// truncate it, and a shuffle is Fisher-Yates from the back.
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace hcm::common {

class Prng {
public:
    // An all-zero state would stay zero for ever; seed 0 starts from this word instead.
    static constexpr std::uint64_t ZERO_SEED_REPLACEMENT = 0x9E3779B97F4A7C15ULL;

    explicit Prng(std::uint64_t seed) : state_(seed == 0 ? ZERO_SEED_REPLACEMENT : seed) {}

    // One xorshift64* step: the state advances, the scrambled word comes back.
    std::uint64_t next_u64() {
        std::uint64_t x = state_;
        x ^= x >> 12;
        x ^= x << 25;
        x ^= x >> 27;
        state_ = x;
        return x * SCRAMBLE;
    }

    // A uniform double in [0, 1): the top 53 bits of one step times 2^-53.
    double next_f64() { return static_cast<double>(next_u64() >> 11) * TWO_POW_MINUS_53; }

    // An index in [0, n) from one uniform draw: trunc(u n) mod n. `n` must be at least 1.
    std::size_t index_below(std::size_t n);

    // An index drawn with probability proportional to its weight (weights summed left to right):
    // the first index at which the remaining share of u x total is used up, the last index when
    // rounding leaves some over. No draw, and index 0, when the weights sum to 0 or less.
    // `weights` must not be empty.
    std::size_t weighted_index(std::span<const double> weights);

    // Fisher-Yates from the back: for i = n .. 2, swap element i - 1 with index_below(i).
    // n - 1 draws for n >= 2 elements, none for shorter lists.
    template <class T>
    void shuffle(std::vector<T>& items) {
        for (std::size_t i = items.size(); i >= 2; --i) {
            using std::swap;
            swap(items[i - 1], items[index_below(i)]);
        }
    }

    std::uint64_t state() const { return state_; }

private:
    static constexpr std::uint64_t SCRAMBLE = 0x2545F4914F6CDD1DULL;
    static constexpr double TWO_POW_MINUS_53 = 1.0 / 9007199254740992.0;

    std::uint64_t state_;
};

}  // namespace hcm::common
