#pragma once

#include "engine/LineJournal.h"
#include "engine/TabText.h"

#include <string>
#include <vector>

namespace quorlin::engine {

class VectorTabText : public TabText, private JournalLines {
public:
    VectorTabText() = default;
    explicit VectorTabText(std::vector<std::string> lines) : m_lines(std::move(lines)) {}

    int count() const override;
    std::string line(int index) const override;
    std::string_view view(int index, std::string& buffer) const override;
    void replace(int index, const std::string& text) override;
    void extend(int index, std::string_view tail) override;
    void append(const std::string& text) override;
    void eraseAll() override;
    void eraseFrom(int from) override;
    // Every change counts: a plain vector cannot tell who made it.
    std::uint64_t revision() const override { return m_revision; }

    void beginGroup(bool joinPrevious) override { m_journal.beginGroup(joinPrevious); }
    void endGroup() override { m_journal.endGroup(); }
    void addEmptyLevel() override { m_journal.addEmptyLevel(); }
    int undoLevels() const override { return m_journal.undoLevels(); }
    void undoLevel() override { m_journal.undo(*this); }
    void redoLevel() override { m_journal.redo(*this); }

    // What only the user does in a text area: a line put in or taken out anywhere.
    void insertLine(int index, const std::string& text);
    void eraseLine(int index);

    const std::vector<std::string>& lines() const { return m_lines; }

protected:
    bool holds(int index) const;

private:
    std::string_view text(int index, std::string& buffer) const override
    {
        return view(index, buffer);
    }
    void extendLine(int index, std::string_view tail) override;
    void cutLine(int index, std::size_t bytes) override;
    void spliceLines(int index, int count, std::string_view joined, int lines) override;

    std::vector<std::string> m_lines;
    std::uint64_t m_revision = 0;
    LineJournal m_journal;
};

} // namespace quorlin::engine
