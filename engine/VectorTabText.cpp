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

void VectorTabText::replace(int index, const std::string& text)
{
    if (holds(index)) {
        m_lines[static_cast<std::size_t>(index)] = text;
        ++m_revision;
    }
}

void VectorTabText::append(const std::string& text)
{
    m_lines.push_back(text);
    ++m_revision;
}

void VectorTabText::eraseAll()
{
    m_lines.clear();
    ++m_revision;
}

} // namespace quorlin::engine
