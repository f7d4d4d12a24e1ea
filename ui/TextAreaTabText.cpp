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

int TextAreaTabText::count() const
{
    const QTextDocument& doc = document();
    const bool openLastLine = !doc.lastBlock().text().isEmpty();
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
    QTextCursor cursor(document().findBlockByNumber(index));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(QString::fromStdString(text));
}

void TextAreaTabText::append(const std::string& text)
{
    QTextCursor cursor(&document());
    cursor.movePosition(QTextCursor::End);
    // A line typed by hand without a line break is finished first.
    const QString opening = cursor.block().text().isEmpty() ? QString() : QStringLiteral("\n");
    cursor.insertText(opening + QString::fromStdString(text) + QLatin1Char('\n'));
}

std::vector<std::string> TextAreaTabText::lines() const
{
    std::vector<std::string> result;
    const int total = count();
    result.reserve(static_cast<std::size_t>(total));
    QTextBlock block = document().firstBlock();
    for (int i = 0; i < total && block.isValid(); ++i, block = block.next())
        result.push_back(block.text().toStdString());
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
