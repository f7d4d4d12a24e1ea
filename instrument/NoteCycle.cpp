#include "instrument/NoteCycle.h"

namespace quorlin::instrument {

namespace {

constexpr std::size_t kNames = kNoteCycle.size() / 2;

// Index of the name on the cycle, or kNames when it is not one of the twelve.
std::size_t indexOf(std::string_view name)
{
    if (name.size() != 2)
        return kNames;
    for (std::size_t i = 0; i < kNames; ++i) {
        if (kNoteCycle.substr(2 * i, 2) == name)
            return i;
    }
    return kNames;
}

std::string nameAt(std::size_t index)
{
    return std::string(kNoteCycle.substr(2 * index, 2));
}

} // namespace

bool isNoteName(std::string_view name)
{
    return indexOf(name) < kNames;
}

std::string noteAbove(std::string_view name)
{
    const std::size_t i = indexOf(name);
    return i == kNames ? nameAt(0) : nameAt((i + 1) % kNames);
}

std::string noteBelow(std::string_view name)
{
    const std::size_t i = indexOf(name);
    return i == kNames ? nameAt(0) : nameAt((i + kNames - 1) % kNames);
}

std::string noteAt(std::string_view open, int fret)
{
    const std::size_t i = indexOf(open);
    if (i == kNames || fret < 0)
        return {};
    std::string name = nameAt((i + static_cast<std::size_t>(fret)) % kNames);
    if (name.back() == ' ')
        name.pop_back();
    return name;
}

} // namespace quorlin::instrument
