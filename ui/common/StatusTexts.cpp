#include "ui/common/StatusTexts.h"

#include "instrument/NoteCycle.h"

#include <QFontMetrics>
#include <QStringList>

namespace quorlin::ui {

QString cursorText(const engine::EditingState& state, int fret, int string)
{
    if (string < 1 || string > state.stringCount.value())
        return {};
    const std::string& open = state.tuning.at(string);
    // Short, as a bass player says it: the whole status bar must fit the window's width.
    const QString name = QString::fromStdString(open).trimmed();
    QString text =
        name.isEmpty() ? QStringLiteral("String %1").arg(string) : name + QStringLiteral(" string");
    text += QStringLiteral(", fret %1").arg(fret);
    // A name from a hand-made file may be no note at all.
    if (const std::string note = instrument::noteAt(open, fret); !note.empty())
        text += QStringLiteral(": ") + QString::fromStdString(note);
    return text;
}

QString columnText(const engine::EditingState& state, std::span<const engine::Column> columns,
                   std::size_t at)
{
    return columnText(state, columns[at], engine::columnStarts(columns.first(at)).back());
}

QString columnText(const engine::EditingState& state, const engine::Column& column,
                   std::int64_t start)
{
    // The bar is what a bassist counts in; the block is where the text shows it.
    QString text = QString::fromStdString(model::barBeatText(start, state.time)) +
                   QStringLiteral(" (block %1, column %2): ")
                       .arg(column.block + 1)
                       .arg(column.indexInBlock + 1);
    text += QLatin1Char(column.symbol());
    if (column.dotted)
        text += u'.';
    if (column.rest())
        return text + QStringLiteral(" rest");
    QStringList notes;
    for (const engine::ColumnNote& note : column.notes) {
        const QString name = note.string >= 1 && note.string <= state.stringCount.value()
                                 ? QString::fromStdString(state.tuning.at(note.string)).trimmed()
                                 : QString();
        notes << (name.isEmpty() ? QStringLiteral("string %1").arg(note.string) : name) +
                     QStringLiteral(" fret %1").arg(note.fret);
    }
    return text + QStringLiteral(" on ") + notes.join(QStringLiteral(", "));
}

QString choiceText(char duration, bool dotted, const QString& technique)
{
    static const char* const kNames[] = {"sixteenth", "eighth", "quarter", "half", "whole"};
    // In the palette's order.
    const auto at = tabtext::kDurationSymbols.find(duration);
    QString text = QLatin1String(at < std::size(kNames) ? kNames[at] : "");
    if (dotted)
        text.prepend(QStringLiteral("dotted "));
    return text + QStringLiteral(", ") + technique;
}

QString textPlaceText(const engine::EditingState& state, int line)
{
    // Blocks are counted as they are written, one after another from the top.
    const int block = (line - 1) / tabtext::blockLineCount(state.stringCount.value()) + 1;
    return QStringLiteral("Line %1, block %2").arg(line).arg(block);
}

QString elideAtWord(const QString& text, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const QString ellipsis(QChar(0x2026));
    for (qsizetype end = text.lastIndexOf(u' '); end > 0; end = text.lastIndexOf(u' ', end - 1)) {
        QString head = text.left(end);
        // Punctuation before the cut reads badly before the ellipsis.
        while (!head.isEmpty() && QStringLiteral(" ,;:").contains(head.back()))
            head.chop(1);
        if (!head.isEmpty() && metrics.horizontalAdvance(head + ellipsis) <= width)
            return head + ellipsis;
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

} // namespace quorlin::ui
