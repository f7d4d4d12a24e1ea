#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorlin::files {

bool isValidUtf8(std::string_view bytes);
// Valid UTF-8 is kept as it is; anything else is taken as Windows-1252 and converted.
std::string toUtf8(std::string_view bytes);
// Lines end at CR LF, LF or a lone CR; a Ctrl-Z byte ends the text. A final line end
// opens no further line. The lines are views into `text`.
std::vector<std::string_view> splitLines(std::string_view text);

} // namespace quorlin::files
