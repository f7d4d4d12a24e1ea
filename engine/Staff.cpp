#include "engine/Staff.h"

namespace quorlin::engine {

void Staff::appendBlock(std::string_view articulationPrefix)
{
    m_text.append(std::string(kRhythmPrefix));
    for (int k = 1; k <= stringCount(); ++k)
        m_text.append(m_state.tuning.at(k));
    m_text.append(std::string(articulationPrefix));
}

void Staff::extendLine(int index, std::string_view tail)
{
    // A line the user deleted by hand reads empty and cannot be replaced: it stays gone.
    m_text.replace(index, m_text.line(index).append(tail));
}

void Staff::firstBlock(std::string_view articulationPrefix)
{
    appendBlock(articulationPrefix);
    m_state.blockStart = 0;
}

void Staff::newBlock()
{
    appendBlock(kArticulationPrefix);
    m_state.blockStart += stringCount() + 2;
}

void Staff::jumpLine()
{
    const auto length = static_cast<long long>(m_text.line(m_state.blockStart).size());
    if (m_state.tabWidth < length)
        return;
    const auto fill = static_cast<std::size_t>(m_state.tabWidth - length + 1);
    const std::string blanks(fill, ' ');
    const std::string dashes(fill, '-');
    extendLine(m_state.blockStart, blanks);
    for (int k = 1; k <= stringCount(); ++k)
        extendLine(m_state.blockStart + k, dashes);
    extendLine(m_state.blockStart + stringCount() + 1, blanks);
}

void Staff::clear()
{
    m_text.eraseAll();
    m_state.lastFret = 0;
    m_state.lastString = 0;
    m_state.tabWidth = kDefaultTabWidth;
    m_state.blockStart = 0;
    m_state.setupUnlocked = true;
    m_state.chordAvailable = false;
}

void Staff::setStringCount(int count)
{
    const instrument::StringCount next(count);
    m_state.tuning.followStringCount(stringCount(), next.value());
    m_state.stringCount = next;
}

void Staff::setTabWidth(int width)
{
    m_state.tabWidth = width > kMaxTabWidth ? kMaxTabWidth : width;
}

} // namespace quorlin::engine
