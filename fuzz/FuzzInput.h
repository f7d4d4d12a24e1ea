#pragma once

// Shared by the fuzz targets: a reader that takes the input front to back, so seeds can be
// written by hand, and the check that turns a broken invariant into a crash libFuzzer keeps.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::fuzz {

// A message first: the stack alone does not say which invariant broke.
[[noreturn]] inline void fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

#define QUORLIN_REQUIRE(condition)                                                                 \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::quorlin::fuzz::fail(#condition, __FILE__, __LINE__);                                 \
    } while (false)

// The text's lines as the editor has them, split at each '\n'.
inline std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return lines;
}

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_next >= m_size; }
    // Zero once the input is used up, so every input is a complete run.
    std::uint8_t byte() { return empty() ? 0 : m_data[m_next++]; }
    int pick(int choices) { return byte() % choices; }
    // One element of a short list, such as the palette's duration letters.
    template <typename List> auto pickFrom(const List& list)
    {
        return list[static_cast<std::size_t>(pick(static_cast<int>(std::size(list))))];
    }
    bool flag() { return (byte() & 1) != 0; }
    int int32()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | byte();
        return static_cast<int>(value);
    }
    // A length byte, then that many bytes (fewer at the end of the input).
    std::string text(int maxLength)
    {
        const int length = pick(maxLength + 1);
        std::string out;
        for (int i = 0; i < length && !empty(); ++i)
            out += static_cast<char>(byte());
        return out;
    }
    std::string rest()
    {
        std::string out(reinterpret_cast<const char*>(m_data) + m_next, m_size - m_next);
        m_next = m_size;
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_next = 0;
};

} // namespace quorlin::fuzz
