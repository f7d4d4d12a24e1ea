#include "model/TimeSignature.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace quorlin::model {

namespace {

TimeSignature counted(TimeSignature time)
{
    return isValid(time) ? time : TimeSignature{};
}

} // namespace

std::int64_t ticksPerBeat(TimeSignature time)
{
    // A whole note is four quarter-note beats; every valid beat type divides it.
    return std::int64_t{4} * kTicksPerBeat / counted(time).beatType;
}

std::int64_t ticksPerBar(TimeSignature time)
{
    return counted(time).beats * ticksPerBeat(time);
}

BarBeat barBeatAt(std::int64_t tick, TimeSignature time)
{
    tick = std::max<std::int64_t>(tick, 0);
    const std::int64_t bar = ticksPerBar(time);
    const std::int64_t beat = ticksPerBeat(time);
    const std::int64_t inBar = tick % bar;
    return {tick / bar + 1, static_cast<int>(inBar / beat) + 1, inBar % beat};
}

std::int64_t barStart(std::int64_t bar, TimeSignature time)
{
    return (std::max<std::int64_t>(bar, 1) - 1) * ticksPerBar(time);
}

std::string barBeatText(std::int64_t tick, TimeSignature time)
{
    const BarBeat at = barBeatAt(tick, time);
    std::string text = "bar " + std::to_string(at.bar) + ", beat " + std::to_string(at.beat);
    if (at.past == 0)
        return text;
    // Hundredths of the beat, never rounded onto a beat: a triplet's notes are 1.33, 1.67.
    const std::int64_t beat = ticksPerBeat(time);
    const std::int64_t hundredths =
        std::clamp<std::int64_t>((at.past * 100 + beat / 2) / beat, 1, 99);
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02d", static_cast<int>(hundredths));
    std::string fraction(digits);
    while (fraction.back() == '0')
        fraction.pop_back();
    return text + "." + fraction;
}

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

} // namespace quorlin::model
