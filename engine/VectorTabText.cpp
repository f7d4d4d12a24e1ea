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
    std::string joined;
    for (auto line = m_lines.begin() + from; line != m_lines.end(); ++line) {
        if (line != m_lines.begin() + from)
            joined.push_back('\n');
        joined.append(*line);
    }
    m_journal.spliced(from, count() - from, joined, 0, {});
    m_lines.resize(static_cast<std::size_t>(from));
    ++m_revision;
}

void VectorTabText::extendLine(int index, std::string_view tail)
{
    m_lines[static_cast<std::size_t>(index)] += tail;
}

void VectorTabText::cutLine(int index, std::size_t bytes)
{
    std::string& line = m_lines[static_cast<std::size_t>(index)];
    line.resize(line.size() - bytes);
}

void VectorTabText::spliceLines(int index, int count, std::string_view joined, int lines)
{
    spliceInto(m_lines, index, count, joined, lines);
}

} // namespace quorlin::engine
