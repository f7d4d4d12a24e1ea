#pragma once

#include "engine/TabText.h"

#include <QByteArray>
#include <QTextBlock>
#include <QTextCursor>

#include <string>
#include <string_view>
#include <vector>

class QPlainTextEdit;
class QTextDocument;

namespace quorlin::ui {

// The tab area seen as the engine's lines. Each line of the tab ends with a line break,
// so the document's last block is empty unless the user typed an unfinished line there.
class TextAreaTabText final : public engine::TabText {
public:
    explicit TextAreaTabText(QPlainTextEdit& area);

    int count() const override;
    std::string line(int index) const override;
    void replace(int index, const std::string& text) override;
    void extend(int index, std::string_view tail) override;
    void append(const std::string& text) override;
    void appendLines(const std::vector<std::string>& lines) override;
    void eraseAll() override;

    // Every line at once, taken from the document in one piece: reading line by line looks
    // each one up again, which a save of a long tab cannot afford.
    class Snapshot {
    public:
        // Views into the snapshot's own bytes: not to be taken from a temporary.
        const std::vector<std::string_view>& lines() const& { return m_lines; }
        void lines() && = delete;

    private:
        friend class TextAreaTabText;
        QByteArray m_utf8;
        std::vector<std::string_view> m_lines;
    };
    Snapshot snapshot() const;

    // Groups the edits of one user action into a single undo step, and makes them cheap.
    class Action {
    public:
        explicit Action(TextAreaTabText& text);
        ~Action();
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

    private:
        QTextCursor m_cursor;
    };

private:
    QTextDocument& document() const;
    QTextCursor endOfText() const;
    // The block holding the line, or an invalid block when there is no such line.
    QTextBlock lineBlock(int index) const;

    QPlainTextEdit& m_area;
};

} // namespace quorlin::ui
