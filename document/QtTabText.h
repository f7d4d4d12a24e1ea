#pragma once

#include "engine/TabText.h"

#include <QByteArray>
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
class QtTabText final : public engine::TabText {
public:
    explicit QtTabText(QTextDocument& text);
    ~QtTabText() override;
    QtTabText(const QtTabText&) = delete;
    QtTabText& operator=(const QtTabText&) = delete;

    int count() const override;
    std::string line(int index) const override;
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
    int undoLevels() const override { return m_levels; }
    void undoLevel() override;
    void redoLevel() override;

    // What the area holds now is saved: typing after it starts an undo level of its own.
    void markSaved();

    // Called on each such change, as it happens.
    void setForeignChangeHandler(std::function<void()> handler)
    {
        m_onForeign = std::move(handler);
    }

    // Every line at once, taken from the document in one piece: reading line by line looks
    // each one up again, which a save of a long tab cannot afford.
    class Snapshot {
    public:
        // Views into the snapshot's own bytes: not to be taken from a temporary.
        const std::vector<std::string_view>& lines() const& { return m_lines; }
        void lines() && = delete;

    private:
        friend class QtTabText;
        QByteArray m_utf8;
        std::vector<std::string_view> m_lines;
    };
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
    QTextCursor endOfText() const;
    // The block holding the line, or an invalid block when there is no such line.
    QTextBlock lineBlock(int index) const;

    QTextDocument& m_document;
    QMetaObject::Connection m_watch;
    QMetaObject::Connection m_levelWatch;
    QMetaObject::Connection m_emptyWatch;
    QTextCursor m_group;
    int m_groupDepth = 0;
    bool m_joining = false;
    // The document's undo levels below its present state, as it announced them.
    int m_levels = 0;
    mutable int m_ownDepth = 0;
    std::uint64_t m_foreignChanges = 0;
    std::function<void()> m_onForeign;
};

} // namespace quorlin::document
