#pragma once

// The tab is nothing but these lines: the window's text area in the program, a plain
// vector in tests and benchmarks. The engine reaches it only through these calls.

#include "tabtext/TabCodec.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorlin::engine {

class TabText : public tabtext::LineSource {
public:
    // Replacing a line that does not exist does nothing.
    virtual void replace(int index, const std::string& text) = 0;
    // Adds `tail` to the end of an existing line; a text area does so without touching the
    // rest of the line.
    virtual void extend(int index, std::string_view tail)
    {
        replace(index, line(index).append(tail));
    }
    virtual void append(const std::string& text) = 0;
    // As if appended one by one; a text area takes a whole loaded tab in one insert.
    virtual void appendLines(const std::vector<std::string>& lines)
    {
        for (const std::string& text : lines)
            append(text);
    }
    virtual void eraseAll() = 0;
    // Drops line `from` and every line after it; a text area does so in one edit, leaving the
    // lines before untouched. Nothing happens when there is no such line.
    virtual void eraseFrom(int from) = 0;

    // Grows with every change the engine may not have made itself (typing, pasting, the text
    // area's own undo). The engine compares it with what it saw after its last action and
    // takes its position from the text again when the two differ.
    virtual std::uint64_t revision() const = 0;

    // The text's own undo, in levels: one per step of the history, and one per burst of
    // typing as the text groups it. Changes between beginGroup and endGroup make one level;
    // joining adds them to the level before instead. A group that changes nothing adds none.
    virtual void beginGroup(bool joinPrevious = false) = 0;
    virtual void endGroup() = 0;
    // A level that changes nothing, for a step that changes only the editing state: typing
    // after it must not join the typing before it.
    virtual void addEmptyLevel() = 0;
    // Levels that undo can take back now.
    virtual int undoLevels() const = 0;
    // Both leave the revision alone when the history asks: it knows what the text holds.
    virtual void undoLevel() = 0;
    virtual void redoLevel() = 0;
};

} // namespace quorlin::engine
