#pragma once

// The ports the engine writes through, with what the real window allows on top: a text the
// user can also edit by hand, and a neck that refuses cells off its grid.

#include "engine/LineJournal.h"
#include "engine/TabText.h"
#include "fuzz/FuzzInput.h"
#include "instrument/NeckLabels.h"

#include <string>
#include <vector>

namespace quorlin::fuzz {

// Lines as in a vector, counting what the engine did to them since the last reset.
class HandTabText final : public engine::TabText {
public:
    int count() const override { return static_cast<int>(m_lines.size()); }
    std::string line(int index) const override { return holds(index) ? m_lines[at(index)] : ""; }
    void replace(int index, const std::string& text) override
    {
        if (!holds(index)) {
            ++outsideReplaces;
            return;
        }
        replaced.push_back(index);
        ++m_revision;
        m_journal.replaced(index, m_lines[at(index)], text);
        m_lines[at(index)] = text;
    }
    void append(const std::string& text) override
    {
        ++appends;
        ++m_revision;
        m_journal.inserted(count(), text);
        m_lines.push_back(text);
    }
    void eraseAll() override
    {
        ++m_revision;
        m_journal.beginGroup(false);
        while (!m_lines.empty()) {
            m_journal.erased(count() - 1, std::move(m_lines.back()));
            m_lines.pop_back();
        }
        m_journal.endGroup();
    }
    std::uint64_t revision() const override { return m_revision; }
    void beginGroup(bool joinPrevious) override { m_journal.beginGroup(joinPrevious); }
    void endGroup() override { m_journal.endGroup(); }
    void addEmptyLevel() override { m_journal.addEmptyLevel(); }
    int undoLevels() const override { return m_journal.undoLevels(); }
    void undoLevel() override { m_journal.undo(m_lines); }
    void redoLevel() override { m_journal.redo(m_lines); }

    void resetCounts()
    {
        outsideReplaces = appends = 0;
        replaced.clear();
    }

    // What the user can do in the text area; none of it is counted, each is a level of undo.
    void editLine(int index, const std::string& text)
    {
        ++m_revision;
        m_journal.replaced(index, m_lines[at(index)], text);
        m_lines[at(index)] = text;
    }
    void eraseLine(int index)
    {
        ++m_revision;
        m_journal.erased(index, m_lines[at(index)]);
        m_lines.erase(m_lines.begin() + index);
    }
    void insertLine(int index, const std::string& text)
    {
        ++m_revision;
        m_journal.inserted(index, text);
        m_lines.insert(m_lines.begin() + index, text);
    }

    const std::vector<std::string>& lines() const { return m_lines; }

    int outsideReplaces = 0;
    int appends = 0;
    std::vector<int> replaced;

private:
    bool holds(int index) const { return index >= 0 && index < count(); }
    static std::size_t at(int index) { return static_cast<std::size_t>(index); }

    std::vector<std::string> m_lines;
    std::uint64_t m_revision = 0;
    engine::LineJournal m_journal;
};

// The grid widget has kNeckColumns columns and the rows it was last given.
class FuzzNeck final : public instrument::NeckGrid {
public:
    void setRowCount(int count) override
    {
        QUORLIN_REQUIRE(count > 0);
        rows = count;
    }
    void setCell(int column, int row, const std::string&) override
    {
        QUORLIN_REQUIRE(column >= 0 && column < instrument::kNeckColumns);
        QUORLIN_REQUIRE(row >= 0 && row < rows);
    }

    int rows = 0;
};

} // namespace quorlin::fuzz
