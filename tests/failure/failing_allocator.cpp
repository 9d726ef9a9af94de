#include "failing_allocator.hpp"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace failing_allocator {
namespace {

// Allocations left before the failing one; 0: disarmed. One thread runs the tests.
std::uint64_t countdown = 0;

void* allocate(std::size_t size, std::size_t alignment) {
    if (countdown != 0 && --countdown == 0) throw std::bad_alloc();
    if (size == 0) size = 1;
    void* p = alignment <= alignof(std::max_align_t)
                  ? std::malloc(size)
                  : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

FailingAllocation::FailingAllocation(std::uint64_t n) { countdown = n; }
FailingAllocation::~FailingAllocation() { countdown = 0; }

}  // namespace failing_allocator

// The replacements: every form of operator new goes through allocate(), every delete to free().
void* operator new(std::size_t size) { return failing_allocator::allocate(size, 0); }
void* operator new[](std::size_t size) { return failing_allocator::allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) {
    return failing_allocator::allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return failing_allocator::allocate(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return failing_allocator::allocate(size, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return failing_allocator::allocate(size, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
