#pragma once
// A test-only replacement of the global operator new that can make one allocation fail: while a
// FailingAllocation is alive, the n-th allocation from its start throws std::bad_alloc (once).
// The executable that links it replaces operator new for everything it runs, so it holds nothing
// but the tests that use it.
#include <cstdint>

namespace failing_allocator {

class FailingAllocation {
public:
    // Arms the allocator: allocation number `n` (1 for the next one) fails.
    explicit FailingAllocation(std::uint64_t n);
    // Disarms it, whether or not the allocation came.
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
};

}  // namespace failing_allocator
