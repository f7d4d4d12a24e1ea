#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::files {

// Ctrl-Z, which old editors leave after the text.
inline constexpr char kEndOfFile = '\x1A';

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Without the blanks and line ends around it, as XML text and header fields are read.
inline std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

bool isValidUtf8(std::string_view bytes);
std::string windows1252ToUtf8(std::string_view bytes);
// Valid UTF-8 is kept as it is; anything else is taken as Windows-1252 and converted.
std::string toUtf8(std::string_view bytes);
// Text some Windows editors save: UTF-16 with a byte-order mark, or without one but with a NUL
// in every other byte. Nothing when the bytes are not such text; otherwise UTF-8 with no mark,
// where a lone surrogate, a NUL or an odd last byte reads as U+FFFD.
std::optional<std::string> utf16ToUtf8(std::string_view bytes);
// U+2028, U+2029, U+FDD0 and U+FDD1 in UTF-8: characters that are not line ends in the
// file but start a new line in the text area, where one inside a tab line would move every
// line after it. Each is three bytes long, as long as U+FFFD.
inline constexpr std::string_view kLineBreakers[] = {"\xE2\x80\xA8", "\xE2\x80\xA9", "\xEF\xB7\x90",
                                                     "\xEF\xB7\x91"};
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
bool hasLineBreaker(std::string_view utf8);
// Each line breaker becomes U+FFFD, in place; returns how many there were.
std::size_t replaceLineBreakers(std::string& utf8);

// Lines end at CR LF, LF or a lone CR; a Ctrl-Z byte ends the text. A final line end
// opens no further line. The lines are views into `text`.
std::vector<std::string_view> splitLines(std::string_view text);

} // namespace quorlin::files
