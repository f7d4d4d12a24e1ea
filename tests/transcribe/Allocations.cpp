#include "Allocations.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::int64_t> live{0};
std::atomic<std::int64_t> most{0};

void* counted(std::size_t size)
{
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p)
        throw std::bad_alloc();
    const std::int64_t now = live += static_cast<std::int64_t>(malloc_usable_size(p));
    for (std::int64_t seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
    }
    return p;
}

void uncounted(void* p) noexcept
{
    if (p) {
        live -= static_cast<std::int64_t>(malloc_usable_size(p));
        std::free(p);
    }
}
} // namespace

namespace quorlin::transcribe::allocations {

std::int64_t startPeak()
{
    most = live.load();
    return most;
}

std::int64_t peak()
{
    return most;
}

} // namespace quorlin::transcribe::allocations

void* operator new(std::size_t size)
{
    return counted(size);
}
void* operator new[](std::size_t size)
{
    return counted(size);
}
void operator delete(void* p) noexcept
{
    uncounted(p);
}
void operator delete[](void* p) noexcept
{
    uncounted(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    uncounted(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    uncounted(p);
}
