#include "engine/TimeSignature.h"

#include <charconv>

namespace quorlin::engine {

std::string timeSignatureText(TimeSignature time)
{
    return std::to_string(time.beats) + "/" + std::to_string(time.beatType);
}

std::optional<TimeSignature> readTimeSignature(std::string_view text)
{
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const auto number = [](std::string_view digits, int& value) {
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
    };
    TimeSignature time;
    if (!number(text.substr(0, slash), time.beats) ||
        !number(text.substr(slash + 1), time.beatType) || !isValid(time))
        return std::nullopt;
    return time;
}

} // namespace quorlin::engine
