#pragma once

// Text as the text area counts it: in characters, not in UTF-8 bytes. Text typed by hand may
// hold letters of several bytes, and columns line up on screen, not in memory, so every
// writer and reader of the tab measures and cuts with these. A byte that continues a
// character is no character of its own, also where no character starts before it.

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::tabtext {

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

// The longest line the text area takes, in characters. The engine's widest block is 4,096
// characters and a cell, and a hand edit adds a few; Qt lays a line out whole before it shows
// anything, and a line of megabytes held the window for minutes.
inline constexpr std::size_t kLongestLine = 10'000;

struct OverlongLine {
    std::size_t index = 0;
    std::size_t length = 0;
};

// The first of `lines` longer than kLongestLine, with its length in characters.
inline std::optional<OverlongLine> overlongLine(const std::vector<std::string>& lines)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // A line of no more bytes holds no more characters: only a long one is counted.
        if (lines[i].size() > kLongestLine) {
            if (const std::size_t length = characterCount(lines[i]); length > kLongestLine)
                return OverlongLine{i, length};
        }
    }
    return std::nullopt;
}

// Why such a line is refused, in words for the user.
inline std::string overlongLineText(const OverlongLine& line)
{
    return "line " + std::to_string(line.index + 1) + " of the tab is " +
           std::to_string(line.length) + " characters long, and a line of the text area " +
           "holds " + std::to_string(kLongestLine) + " at most";
}

} // namespace quorlin::tabtext
