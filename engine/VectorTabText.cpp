#include "engine/VectorTabText.h"

namespace quorlin::engine {

bool VectorTabText::holds(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < m_lines.size();
}

int VectorTabText::count() const
{
    return static_cast<int>(m_lines.size());
}

std::string VectorTabText::line(int index) const
{
    return holds(index) ? m_lines[static_cast<std::size_t>(index)] : std::string();
}

std::string_view VectorTabText::view(int index, std::string&) const
{
    return holds(index) ? std::string_view(m_lines[static_cast<std::size_t>(index)])
                        : std::string_view();
}

void VectorTabText::replace(int index, const std::string& text)
{
    if (!holds(index))
        return;
    std::string& line = m_lines[static_cast<std::size_t>(index)];
    m_journal.replaced(index, line, text);
    line = text;
    ++m_revision;
}

void VectorTabText::extend(int index, std::string_view tail)
{
    if (!holds(index))
        return;
    m_journal.extended(index, std::string(tail));
    m_lines[static_cast<std::size_t>(index)] += tail;
    ++m_revision;
}

void VectorTabText::append(const std::string& text)
{
    m_journal.inserted(count(), text);
    m_lines.push_back(text);
    ++m_revision;
}

void VectorTabText::insertLine(int index, const std::string& text)
{
    m_journal.inserted(index, text);
    m_lines.insert(m_lines.begin() + index, text);
    ++m_revision;
}

void VectorTabText::eraseLine(int index)
{
    m_journal.erased(index, m_lines[static_cast<std::size_t>(index)]);
    m_lines.erase(m_lines.begin() + index);
    ++m_revision;
}

void VectorTabText::eraseAll()
{
    eraseFrom(0);
}

void VectorTabText::eraseFrom(int from)
{
    if (!holds(from))
        return;
    // Last line first, so that undo puts each back at the end.
    m_journal.beginGroup(false);
    while (count() > from) {
        m_journal.erased(count() - 1, std::move(m_lines.back()));
        m_lines.pop_back();
    }
    m_journal.endGroup();
    ++m_revision;
}

} // namespace quorlin::engine
