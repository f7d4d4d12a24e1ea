#pragma once

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

bool isValidUtf8(std::string_view bytes);
std::string windows1252ToUtf8(std::string_view bytes);
// Valid UTF-8 is kept as it is; anything else is taken as Windows-1252 and converted.
std::string toUtf8(std::string_view bytes);
// Lines end at CR LF, LF or a lone CR; a Ctrl-Z byte ends the text. A final line end
// opens no further line. The lines are views into `text`.
std::vector<std::string_view> splitLines(std::string_view text);

} // namespace quorlin::files
