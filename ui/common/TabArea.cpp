#include "ui/common/TabArea.h"

#include "tabtext/TextWidth.h"

#include <QMimeData>
#include <QTextBlock>

#include <algorithm>

namespace quorlin::ui {

TabArea::TabArea(QWidget* parent) : QPlainTextEdit(parent) {}

void TabArea::insertFromMimeData(const QMimeData* source)
{
    if (source == nullptr || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    const QString text = source->text();
    // The first and last pasted lines join the line around the selection they replace.
    const QTextCursor at = textCursor();
    const QTextBlock first = document()->findBlock(at.selectionStart());
    const QTextBlock last = document()->findBlock(at.selectionEnd());
    qsizetype line = at.selectionStart() - first.position();
    qsizetype longest = 0;
    for (const QChar c : text) {
        if (c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator) {
            longest = std::max(longest, line);
            line = 0;
        } else {
            ++line;
        }
    }
    line += last.position() + last.length() - 1 - at.selectionEnd();
    longest = std::max(longest, line);
    if (static_cast<std::size_t>(longest) <= tabtext::kLongestLine) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    const QString why = QStringLiteral("Nothing was put in the tab: the text would make a line "
                                       "of %1 characters, and a line of the text area holds %2 "
                                       "at most.")
                            .arg(longest)
                            .arg(tabtext::kLongestLine);
    // A box must not open inside a drop.
    QMetaObject::invokeMethod(
        this, [this, why] { emit refused(why); }, Qt::QueuedConnection);
}

} // namespace quorlin::ui
