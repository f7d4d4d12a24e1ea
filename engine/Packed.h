#pragma once

// Numbers packed as bytes for the history and the text's journal: 7 bits a byte, the high
// bit saying more follow, and signed ones folded so that small changes stay one byte.

#include <cstddef>
#include <cstdint>
#include <deque>

namespace quorlin::engine::packed {

inline std::uint64_t zigzag(std::int64_t value)
{
    return value < 0 ? (static_cast<std::uint64_t>(-(value + 1)) << 1) | 1
                     : static_cast<std::uint64_t>(value) << 1;
}

inline std::int64_t unzigzag(std::uint64_t value)
{
    return (value & 1) != 0 ? -static_cast<std::int64_t>(value >> 1) - 1
                            : static_cast<std::int64_t>(value >> 1);
}

inline void put(std::deque<char>& bytes, std::uint64_t value)
{
    for (; value >= 0x80; value >>= 7)
        bytes.push_back(static_cast<char>((value & 0x7f) | 0x80));
    bytes.push_back(static_cast<char>(value));
}

inline std::uint64_t take(const std::deque<char>& bytes, std::size_t& at)
{
    std::uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        value |= std::uint64_t{byte & 0x7fu} << shift;
        if ((byte & 0x80u) == 0)
            return value;
    }
}

} // namespace quorlin::engine::packed
