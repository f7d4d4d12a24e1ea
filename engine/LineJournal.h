#pragma once

// Undo levels for lines kept in a vector: each level holds the changes that made it, so
// its memory follows what changed, never the whole text.

#include <cstdint>
#include <string>
#include <vector>

namespace quorlin::engine {

class LineJournal {
public:
    void beginGroup(bool joinPrevious);
    void endGroup();
    void addEmptyLevel();
    int undoLevels() const { return static_cast<int>(m_position); }

    // Each change as it is made to the lines.
    void replaced(int index, std::string before, std::string after);
    void extended(int index, std::string tail);
    void inserted(int index, std::string text);
    void erased(int index, std::string text);

    // Nothing happens without a level to take back or put back.
    void undo(std::vector<std::string>& lines);
    void redo(std::vector<std::string>& lines);

private:
    struct Change {
        enum class Kind : std::uint8_t { Replace, Extend, Insert, Erase } kind;
        int index;
        std::string text;   // the line after a replace; the tail, the inserted or erased line
        std::string before; // the line before a replace
    };
    using Level = std::vector<Change>;

    void record(Change change);
    void openLevel();

    std::vector<Level> m_levels;
    std::size_t m_position = 0;
    int m_depth = 0;
    bool m_joining = false;
    // The open group has its level already.
    bool m_levelOpen = false;
};

} // namespace quorlin::engine
