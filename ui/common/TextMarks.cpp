#include "ui/common/TextMarks.h"

#include <QPlainTextEdit>

#include <algorithm>

namespace quorlin::ui {

void TextMarks::set(Layer layer, QList<QTextEdit::ExtraSelection> marks)
{
    QList<QTextEdit::ExtraSelection>& kept = m_layers.at(static_cast<std::size_t>(layer));
    // Appending notes clears an empty layer on every one of them: not worth a repaint.
    if (kept.isEmpty() && marks.isEmpty())
        return;
    // An edit in place leaves a column's marks where they were: the text area would repaint
    // them all the same.
    const auto same = [](const QTextEdit::ExtraSelection& a, const QTextEdit::ExtraSelection& b) {
        return a.cursor.position() == b.cursor.position() &&
               a.cursor.anchor() == b.cursor.anchor() && a.format == b.format;
    };
    if (std::equal(kept.begin(), kept.end(), marks.begin(), marks.end(), same))
        return;
    kept = std::move(marks);
    QList<QTextEdit::ExtraSelection> all;
    for (const QList<QTextEdit::ExtraSelection>& each : m_layers)
        all << each;
    m_text.setExtraSelections(all);
}

} // namespace quorlin::ui
