#include "ui/TextAreaTabText.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>

namespace quorlin::ui {

TextAreaTabText::TextAreaTabText(QPlainTextEdit& area) : m_area(area) {}

QTextDocument& TextAreaTabText::document() const
{
    return *m_area.document();
}

QTextCursor TextAreaTabText::endOfText() const
{
    QTextCursor cursor(&document());
    cursor.setPosition(document().characterCount() - 1);
    return cursor;
}

int TextAreaTabText::count() const
{
    const QTextDocument& doc = document();
    // A block's length counts its break too.
    const bool openLastLine = doc.lastBlock().length() > 1;
    return doc.blockCount() - (openLastLine ? 0 : 1);
}

std::string TextAreaTabText::line(int index) const
{
    if (index < 0 || index >= count())
        return {};
    return document().findBlockByNumber(index).text().toStdString();
}

void TextAreaTabText::replace(int index, const std::string& text)
{
    if (index < 0 || index >= count())
        return;
    // Positions, not cursor moves: a move lays the block out first, which costs more than
    // the edit itself.
    const QTextBlock block = document().findBlockByNumber(index);
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    cursor.insertText(QString::fromStdString(text));
}

void TextAreaTabText::extend(int index, std::string_view tail)
{
    if (index < 0 || index >= count())
        return;
    const QTextBlock block = document().findBlockByNumber(index);
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + block.length() - 1);
    cursor.insertText(QString::fromUtf8(tail.data(), static_cast<qsizetype>(tail.size())));
}

void TextAreaTabText::append(const std::string& text)
{
    QTextCursor cursor = endOfText();
    // A line typed by hand without a line break is finished first.
    const QString opening = cursor.block().text().isEmpty() ? QString() : QStringLiteral("\n");
    cursor.insertText(opening + QString::fromStdString(text) + QLatin1Char('\n'));
}

void TextAreaTabText::appendLines(const std::vector<std::string>& lines)
{
    if (lines.empty())
        return;
    QString text;
    {
        std::string joined;
        std::size_t size = 0;
        for (const std::string& line : lines)
            size += line.size() + 1;
        joined.reserve(size);
        for (const std::string& line : lines)
            joined.append(line).push_back('\n');
        text = QString::fromUtf8(joined.data(), static_cast<qsizetype>(joined.size()));
    }
    QTextCursor cursor = endOfText();
    if (!cursor.block().text().isEmpty())
        cursor.insertText(QStringLiteral("\n"));
    cursor.insertText(text);
}

TextAreaTabText::Snapshot TextAreaTabText::snapshot() const
{
    // Raw text keeps the blocks apart with a paragraph separator, which nothing typed holds.
    static constexpr std::string_view kSeparator = "\u2029";
    Snapshot result;
    result.utf8 = document().toRawText().toUtf8();
    std::string_view rest(result.utf8.constData(), static_cast<std::size_t>(result.utf8.size()));
    for (std::size_t end; (end = rest.find(kSeparator)) != std::string_view::npos;) {
        result.lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + kSeparator.size());
    }
    // The empty last block follows the last line's break: it is no line.
    if (!rest.empty())
        result.lines.push_back(rest);
    return result;
}

void TextAreaTabText::eraseAll()
{
    QTextCursor cursor(&document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
}

TextAreaTabText::Action::Action(TextAreaTabText& text) : m_cursor(&text.document())
{
    m_cursor.beginEditBlock();
}

TextAreaTabText::Action::~Action()
{
    m_cursor.endEditBlock();
}

} // namespace quorlin::ui
