#pragma once

// Measures of a sampled sine taken from its definition, apart from the code under test.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace quorlin::transcribe::checks {

inline std::vector<float> sine(double frequency, double amplitude, int rate, std::size_t count)
{
    std::vector<float> s(count);
    for (std::size_t i = 0; i < count; ++i)
        s[i] = static_cast<float>(amplitude * std::sin(2 * M_PI * frequency * i / rate));
    return s;
}

inline double rms(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

// From the rising zero crossings, each placed between its two samples.
inline double frequency(const std::vector<float>& s, std::size_t from, std::size_t to, int rate)
{
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) {
        if (s[i - 1] < 0 && s[i] >= 0) {
            const double at = double(i - 1) + s[i - 1] / double(s[i - 1] - s[i]);
            if (first < 0)
                first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * double(rate) / (last - first);
}

inline std::size_t loudest(const std::vector<float>& s, std::size_t from, std::size_t to)
{
    std::size_t best = from;
    for (std::size_t i = from; i < to; ++i)
        if (std::abs(s[i]) > std::abs(s[best]))
            best = i;
    return best;
}

} // namespace quorlin::transcribe::checks
