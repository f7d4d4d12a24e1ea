#include "ui/common/TextMarks.h"

#include <QPlainTextEdit>

namespace quorlin::ui {

void TextMarks::set(Layer layer, QList<QTextEdit::ExtraSelection> marks)
{
    QList<QTextEdit::ExtraSelection>& kept = m_layers.at(static_cast<std::size_t>(layer));
    // Appending notes clears an empty layer on every one of them: not worth a repaint.
    if (kept.isEmpty() && marks.isEmpty())
        return;
    kept = std::move(marks);
    QList<QTextEdit::ExtraSelection> all;
    for (const QList<QTextEdit::ExtraSelection>& each : m_layers)
        all << each;
    m_text.setExtraSelections(all);
}

} // namespace quorlin::ui
