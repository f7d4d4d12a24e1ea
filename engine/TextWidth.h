#pragma once

// Text as the text area counts it: in characters, not in UTF-8 bytes. Text typed by hand may
// hold letters of several bytes, and columns line up on screen, not in memory, so every
// writer and reader of the tab measures and cuts with these. A byte that continues a
// character is no character of its own, also where no character starts before it.

#include <algorithm>
#include <string>
#include <string_view>

namespace quorlin::engine {

constexpr bool continuesCharacter(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

constexpr bool isAscii(char c)
{
    return (static_cast<unsigned char>(c) & 0x80) == 0;
}

// One pass with no branch a byte: the score asks this of every line it reads.
constexpr bool isAscii(std::string_view text)
{
    unsigned char any = 0;
    for (const char c : text)
        any |= static_cast<unsigned char>(c);
    return isAscii(static_cast<char>(any));
}

inline std::size_t characterCount(std::string_view text)
{
    return static_cast<std::size_t>(
        std::ranges::count_if(text, [](char c) { return !continuesCharacter(c); }));
}

// Whether a cut at byte `at` would fall inside a character.
constexpr bool splitsCharacter(std::string_view text, std::size_t at)
{
    return at < text.size() && continuesCharacter(text[at]);
}

// The byte after the character whose first byte is at `from`.
constexpr std::size_t nextCharacter(std::string_view text, std::size_t from)
{
    ++from;
    while (splitsCharacter(text, from))
        ++from;
    return from;
}

// One byte per character, so that character p is byte p: the first byte of each. The text
// itself when it is plain ASCII, else a copy held in `buffer`.
inline std::string_view narrowed(std::string_view text, std::string& buffer)
{
    if (isAscii(text))
        return text;
    buffer.clear();
    for (const char c : text) {
        if (!continuesCharacter(c))
            buffer += c;
    }
    return buffer;
}

} // namespace quorlin::engine
