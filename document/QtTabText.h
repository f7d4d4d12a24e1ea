#pragma once

#include "engine/LineJournal.h"
#include "engine/TabText.h"

#include <QMetaObject>
#include <QTextBlock>
#include <QTextCursor>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QTextDocument;

namespace quorlin::document {

// The tab area seen as the engine's lines. Each line of the tab ends with a line break,
// so the document's last block is empty unless the user typed an unfinished line there.
// The area's own undo is off: every change, the user's typing too, goes into one journal
// of what it changed, read against a copy of the blocks kept here as bytes.
class QtTabText final : public engine::TabText, private engine::JournalLines {
public:
    explicit QtTabText(QTextDocument& text);
    ~QtTabText() override;
    QtTabText(const QtTabText&) = delete;
    QtTabText& operator=(const QtTabText&) = delete;

    int count() const override;
    std::string line(int index) const override;
    std::string_view view(int index, std::string& buffer) const override;
    void replace(int index, const std::string& text) override;
    void extend(int index, std::string_view tail) override;
    void append(const std::string& text) override;
    void appendLines(const std::vector<std::string>& lines) override;
    void eraseAll() override;
    void eraseFrom(int from) override;
    // Counts only what the user and the area's own undo changed: our own edits are known.
    std::uint64_t revision() const override { return m_foreignChanges; }
    void beginGroup(bool joinPrevious) override;
    void endGroup() override;
    void addEmptyLevel() override;
    int undoLevels() const override { return m_journal.undoLevels(); }
    void undoLevel() override;
    void redoLevel() override;

    // What the area holds now is saved: typing after it starts an undo level of its own.
    void markSaved();

    // Called on each such change, as it happens.
    void setForeignChangeHandler(std::function<void()> handler)
    {
        m_onForeign = std::move(handler);
    }

    // Every line at once, as views valid until the text changes.
    class Snapshot {
    public:
        const std::vector<std::string_view>& lines() const& { return m_lines; }
        void lines() && = delete;

    private:
        friend class QtTabText;
        std::vector<std::string_view> m_lines;
    };
    // The journal's bytes, for the benchmarks.
    std::size_t journalBytes() const { return m_journal.bytes(); }
    Snapshot snapshot() const;

    // Groups the edits of one user action into a single undo level, and makes them cheap.
    class Action {
    public:
        explicit Action(QtTabText& text) : m_text(text) { m_text.beginGroup(false); }
        ~Action() { m_text.endGroup(); }
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

    private:
        QtTabText& m_text;
    };

private:
    // Marks the edits made through this class while it lives: the document reports the
    // edits of a grouped action only when the group closes.
    class Own {
    public:
        explicit Own(const QtTabText& text) : m_text(text) { ++m_text.m_ownDepth; }
        ~Own() { --m_text.m_ownDepth; }
        Own(const Own&) = delete;
        Own& operator=(const Own&) = delete;

    private:
        const QtTabText& m_text;
    };

    QTextDocument& document() const;
    int blocks() const { return static_cast<int>(m_blocks.size()); }
    // Blocks index .. index + count - 1 made `joined` (blocks split at '\n'), journaled.
    void put(int index, int count, std::string_view joined);
    // A change the user made: the blocks it touched read again, and journaled.
    void takeForeign(int position, int removed, int added);

    std::string_view text(int index, std::string& buffer) const override;
    void extendLine(int index, std::string_view tail) override;
    void cutLine(int index, std::size_t bytes) override;
    void spliceLines(int index, int count, std::string_view joined, int lines) override;

    QTextDocument& m_document;
    QMetaObject::Connection m_watch;
    QTextCursor m_group;
    int m_groupDepth = 0;
    // Every block of the document as UTF-8, the empty one after the last break too.
    std::vector<std::string> m_blocks;
    engine::LineJournal m_journal;
    // The user's last change, which the next may join as one level of typing.
    struct Typing {
        bool open = false;
        bool inserting = false;
        int position = 0; // where it began, in the document's characters
        int end = 0;      // where an insertion ended
    } m_typing;
    std::uint64_t m_wholeWrites = 0;
    mutable int m_ownDepth = 0;
    std::uint64_t m_foreignChanges = 0;
    std::function<void()> m_onForeign;
};

} // namespace quorlin::document
