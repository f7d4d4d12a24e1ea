#pragma once

// Undo levels for lines: each level holds the changes that made it, packed as bytes, so its
// memory follows what changed (a typed note costs a few bytes a line), never the whole text.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::engine {

// The lines a journal replays its changes on.
class JournalLines {
public:
    virtual ~JournalLines() = default;
    virtual std::string_view text(int index, std::string& buffer) const = 0;
    virtual void extendLine(int index, std::string_view tail) = 0;
    // Drops the last `bytes` of the line.
    virtual void cutLine(int index, std::size_t bytes) = 0;
    // Lines index .. index + count - 1 become `lines` lines: `joined` is their text, each
    // line break a '\n'. Either count may be 0.
    virtual void spliceLines(int index, int count, std::string_view joined, int lines) = 0;
};

// A level keeps only what takes it back (the lengths of the tails a note added, the text a
// change took out); undo swaps it for what puts it forward again, read off the text it
// leaves, so a level never holds both.
// Lines index .. index + count - 1 of `into` replaced by the `lines` lines of `joined`.
void spliceInto(std::vector<std::string>& into, int index, int count, std::string_view joined,
                int lines);

class LineJournal {
public:
    void beginGroup(bool joinPrevious);
    void endGroup();
    void addEmptyLevel();
    int undoLevels() const { return static_cast<int>(m_done.starts.size()); }

    // Each change as it is made to the lines.
    void extended(int index, std::string_view tail);
    // Lines index .. index + oldCount - 1, joined by '\n' in `before`, became newCount
    // lines joined in `after`.
    void spliced(int index, int oldCount, std::string_view before, int newCount,
                 std::string_view after);
    void replaced(int index, std::string_view before, std::string_view after)
    {
        spliced(index, 1, before, 1, after);
    }
    void inserted(int index, std::string_view text) { spliced(index, 0, {}, 1, text); }
    void erased(int index, std::string_view text) { spliced(index, 1, text, 0, {}); }

    // A change made outside any group joins the level before instead of opening one.
    void joinNextChange() { m_joinNext = true; }

    // Nothing happens without a level to take back or put back.
    void undo(JournalLines& lines);
    void redo(JournalLines& lines);

    // Bytes held, for the benchmarks.
    std::size_t bytes() const { return m_done.bytes.size() + m_undone.bytes.size(); }

    // Levels, each its changes one after another, the last level last; a deque grows
    // without copying them.
    struct Levels {
        std::deque<char> bytes;
        std::deque<std::uint64_t> starts;
    };

private:
    // Where the next change goes: opens a level unless the group has one or joins.
    void aboutToRecord();
    void openLevel();

    Levels m_done;   // undo takes the last back
    Levels m_undone; // redo puts the last forward
    // The open run of cut lengths, which the next extension may join: its count's byte.
    std::size_t m_runCount = kNoRun;
    int m_runLast = 0;
    static constexpr std::size_t kNoRun = static_cast<std::size_t>(-1);
    int m_depth = 0;
    bool m_joining = false;
    bool m_joinNext = false;
    // The open group has its level already.
    bool m_levelOpen = false;
};

} // namespace quorlin::engine
