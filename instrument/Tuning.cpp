#include "instrument/Tuning.h"

#include <algorithm>
#include <stdexcept>

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

} // namespace quorlin::instrument
