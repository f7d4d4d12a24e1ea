#include "instrument/Tuning.h"

#include "instrument/NoteCycle.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace quorlin::instrument {

namespace {

std::size_t indexOf(int string)
{
    if (string < 1 || string > kMaxStrings)
        throw std::out_of_range("String " + std::to_string(string) + " does not exist");
    return static_cast<std::size_t>(string - 1);
}

} // namespace

Tuning::Tuning() : m_names{"G ", "D ", "A ", "E ", "B ", "C "} {}

const std::string& Tuning::at(int string) const
{
    return m_names[indexOf(string)];
}

void Tuning::set(int string, std::string name)
{
    m_names[indexOf(string)] = std::move(name);
}

void Tuning::followStringCount(int from, int to)
{
    if (to == kMaxStrings && from != kMaxStrings) {
        std::shift_right(m_names.begin(), m_names.end(), 1);
        m_names[0] = "C ";
    } else if (from == kMaxStrings && to != kMaxStrings) {
        // The last entry keeps its name, so five strings show what they showed before six.
        std::shift_left(m_names.begin(), m_names.end(), 1);
        m_names[kMaxStrings - 1] = m_names[kMaxStrings - 2];
    }
}

Tuning standardTuning(StringCount strings)
{
    Tuning tuning;
    tuning.followStringCount(kMinStrings, strings.value());
    return tuning;
}

std::string tuningText(StringCount strings, const Tuning& tuning)
{
    std::string text;
    for (int s = strings.value(); s >= 1; --s) {
        const std::string& name = tuning.at(s);
        text.append(text.empty() ? "" : " ").append(name.substr(0, name.find_last_not_of(' ') + 1));
    }
    return text;
}

std::optional<std::pair<StringCount, Tuning>> readTuningText(std::string_view text)
{
    std::vector<std::string> names;
    std::size_t at = 0;
    while ((at = text.find_first_not_of(" ,\t", at)) != std::string_view::npos) {
        const std::size_t end = std::min(text.find_first_of(" ,\t", at), text.size());
        std::string name(text.substr(at, end - at));
        at = end;
        if (name.size() == 2 && name[1] == 'b' && name[0] >= 'A' && name[0] <= 'G')
            name = noteBelow(std::string(1, name[0]) + ' ');
        else if (name.size() == 1)
            name += ' ';
        if (!isNoteName(name))
            return std::nullopt;
        names.push_back(std::move(name));
    }
    const int count = static_cast<int>(names.size());
    if (count < kMinStrings || count > kMaxStrings)
        return std::nullopt;
    const StringCount strings(count);
    Tuning tuning = standardTuning(strings);
    for (int s = 1; s <= count; ++s)
        tuning.set(s, names[static_cast<std::size_t>(count - s)]);
    return std::pair{strings, tuning};
}

int openPitch(int string, instrument::StringCount strings, std::string_view name)
{
    // The usual tuning of each place: G D A E B, and a high C above them on six strings.
    static constexpr std::array<int, 6> kFourOrFive = {43, 38, 33, 28, 23, 23};
    static constexpr std::array<int, 6> kSix = {48, 43, 38, 33, 28, 23};
    if (string < 1 || string > strings.value() || name.size() != 2)
        return -1;
    int index = -1;
    for (int i = 0; i < 12; ++i) {
        if (instrument::kNoteCycle.substr(static_cast<std::size_t>(2 * i), 2) == name)
            index = i;
    }
    if (index < 0)
        return -1;
    const int place = (strings.value() == instrument::kMaxStrings
                           ? kSix
                           : kFourOrFive)[static_cast<std::size_t>(string - 1)];
    // The cycle starts at A, MIDI's pitch classes at C: A is 9.
    const int pitchClass = (index + 9) % 12;
    const int up = (pitchClass - place % 12 + 12) % 12;
    return up < 6 ? place + up : place + up - 12;
}

} // namespace quorlin::instrument
