#include "ui/common/LinesInView.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

namespace quorlin::ui {

void showLines(QPlainTextEdit& area, int first, int last)
{
    QTextDocument& document = *area.document();
    const QTextBlock top = document.findBlockByNumber(first);
    if (!top.isValid())
        return;
    QTextBlock bottom = document.findBlockByNumber(last);
    if (!bottom.isValid())
        bottom = document.lastBlock();

    // The scroll bar counts the rows the layout shows, and a line not laid out yet counts as
    // one row however long it is: the lines to show are laid out first.
    QAbstractTextDocumentLayout& layout = *document.documentLayout();
    for (QTextBlock block = top; block.isValid(); block = block.next()) {
        layout.blockBoundingRect(block);
        if (block == bottom)
            break;
    }
    const qreal rowHeight = layout.blockBoundingRect(top).height() / std::max(1, top.lineCount());
    if (rowHeight <= 0)
        return;
    const int firstRow = top.firstLineNumber();
    const int lastRow = bottom.firstLineNumber() + std::max(1, bottom.lineCount()) - 1;
    const int rowsShown = std::max(
        1, static_cast<int>((area.viewport()->height() - document.documentMargin()) / rowHeight));

    QScrollBar& bar = *area.verticalScrollBar();
    int topRow = bar.value();
    if (lastRow >= topRow + rowsShown)
        topRow = lastRow - rowsShown + 1;
    topRow = std::min(topRow, firstRow);
    bar.setValue(topRow);
}

} // namespace quorlin::ui
