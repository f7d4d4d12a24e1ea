#include "engine/LineJournal.h"

#include <iterator>

namespace quorlin::engine {

namespace {

std::size_t at(int index)
{
    return static_cast<std::size_t>(index);
}

} // namespace

void LineJournal::beginGroup(bool joinPrevious)
{
    if (m_depth++ == 0) {
        m_levelOpen = false;
        m_joining = joinPrevious && m_position > 0 && m_position == m_levels.size();
    }
}

void LineJournal::endGroup()
{
    if (m_depth > 0)
        --m_depth;
}

void LineJournal::openLevel()
{
    // A new level drops whatever undo had taken back.
    m_levels.resize(m_position);
    m_levels.emplace_back();
    ++m_position;
}

void LineJournal::addEmptyLevel()
{
    openLevel();
}

void LineJournal::record(Change change)
{
    if (m_depth == 0) {
        openLevel();
    } else if (!m_levelOpen) {
        if (!m_joining)
            openLevel();
        m_levelOpen = true;
    }
    m_levels[m_position - 1].push_back(std::move(change));
}

void LineJournal::replaced(int index, std::string before, std::string after)
{
    record({Change::Kind::Replace, index, std::move(after), std::move(before)});
}

void LineJournal::extended(int index, std::string tail)
{
    record({Change::Kind::Extend, index, std::move(tail), {}});
}

void LineJournal::inserted(int index, std::string text)
{
    record({Change::Kind::Insert, index, std::move(text), {}});
}

void LineJournal::erased(int index, std::string text)
{
    record({Change::Kind::Erase, index, std::move(text), {}});
}

void LineJournal::undo(std::vector<std::string>& lines)
{
    if (m_position == 0)
        return;
    const Level& level = m_levels[--m_position];
    for (auto change = level.rbegin(); change != level.rend(); ++change) {
        const auto where = lines.begin() + change->index;
        switch (change->kind) {
        case Change::Kind::Replace:
            lines[at(change->index)] = change->before;
            break;
        case Change::Kind::Extend:
            lines[at(change->index)].resize(lines[at(change->index)].size() - change->text.size());
            break;
        case Change::Kind::Insert:
            lines.erase(where);
            break;
        case Change::Kind::Erase:
            lines.insert(where, change->text);
            break;
        }
    }
}

void LineJournal::redo(std::vector<std::string>& lines)
{
    if (m_position == m_levels.size())
        return;
    for (const Change& change : m_levels[m_position++]) {
        const auto where = lines.begin() + change.index;
        switch (change.kind) {
        case Change::Kind::Replace:
            lines[at(change.index)] = change.text;
            break;
        case Change::Kind::Extend:
            lines[at(change.index)] += change.text;
            break;
        case Change::Kind::Insert:
            lines.insert(where, change.text);
            break;
        case Change::Kind::Erase:
            lines.erase(where);
            break;
        }
    }
}

} // namespace quorlin::engine
