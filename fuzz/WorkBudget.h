#pragma once

// What one run of a reader may spend, in proportion to its input: bytes allocated (counted
// through the sanitizer's allocator hooks, the moment they pass) and processor time (when the
// reader returns). A small input that asks for a long walk or a large heap then fails at
// once, where libFuzzer's timeout and memory limit would only see it grown large.

#include <sanitizer/allocator_interface.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <unistd.h>

namespace quorlin::fuzz {

namespace budget {
inline std::size_t allocated = 0;
inline std::size_t limit = 0; // 0 while no run is measured

inline void onAllocation(const volatile void*, std::size_t size)
{
    allocated += size;
    if (limit != 0 && allocated > limit) {
        // No stdio here: printing may allocate again.
        static const char kWhat[] = "work budget: more memory allocated than the input allows\n";
        (void)!write(2, kWhat, sizeof kWhat - 1);
        std::abort();
    }
}

inline void onFree(const volatile void*) {}
} // namespace budget

class WorkBudget {
public:
    // At most `bytes` plus `bytesPerByte` for each byte of input allocated, and `seconds` plus
    // `secondsPerByte` of processor time.
    WorkBudget(std::size_t inputSize, std::size_t bytes, std::size_t bytesPerByte, double seconds,
               double secondsPerByte) :
        m_seconds(seconds + secondsPerByte * static_cast<double>(inputSize))
    {
        static const bool installed =
            __sanitizer_install_malloc_and_free_hooks(budget::onAllocation, budget::onFree) != 0;
        (void)installed;
        budget::allocated = 0;
        budget::limit = bytes + bytesPerByte * inputSize;
        m_start = std::clock();
    }

    ~WorkBudget()
    {
        budget::limit = 0;
        const double spent = static_cast<double>(std::clock() - m_start) / CLOCKS_PER_SEC;
        if (spent > m_seconds) {
            std::fprintf(stderr, "work budget: %.3f s spent, %.3f s allowed for the input\n", spent,
                         m_seconds);
            std::abort();
        }
    }

    WorkBudget(const WorkBudget&) = delete;
    WorkBudget& operator=(const WorkBudget&) = delete;

private:
    double m_seconds;
    std::clock_t m_start;
};

} // namespace quorlin::fuzz
