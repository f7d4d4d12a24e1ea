#include "ui/shell/ElidedLabel.h"

#include "ui/common/StatusTexts.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace quorlin::ui {

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, int leastLetters, QWidget* parent) :
    QLabel(parent), m_mode(mode), m_leastLetters(leastLetters)
{
    // A file may be named "<img src=...>": such text is shown as it is, never as markup.
    setTextFormat(Qt::PlainText);
}

int ElidedLabel::effectiveIndent() const
{
    // A framed label without an indent of its own is indented by half an "x".
    if (indent() >= 0)
        return indent();
    return frameWidth() > 0 ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 : 0;
}

QRect ElidedLabel::textRect() const
{
    QRect rect = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    if (alignment() & Qt::AlignRight)
        rect.setRight(rect.right() - effectiveIndent());
    else if (alignment() & Qt::AlignLeft)
        rect.setLeft(rect.left() + effectiveIndent());
    return rect;
}

QString ElidedLabel::shownText() const
{
    const int width = textRect().width();
    if (m_mode == Qt::ElideRight)
        return elideAtWord(text(), fontMetrics(), width);
    return fontMetrics().elidedText(text(), m_mode, width);
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QSize whole = QLabel::minimumSizeHint();
    // A pixel over: letters are not whole pixels wide, and an ellipsis that does not fit
    // leaves the label blank.
    const int least = std::max(fontMetrics().horizontalAdvance(QChar(0x2026)),
                               fontMetrics().horizontalAdvance(QString(m_leastLetters, u'x')));
    const int room = size().width() - textRect().width() + least + 1;
    return {std::min(whole.width(), room), whole.height()};
}

bool ElidedLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (const QString shown = shownText(); shown != text())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                               Qt::convertFromPlainText(text(), Qt::WhiteSpaceNoWrap), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

void ElidedLabel::paintEvent(QPaintEvent* event)
{
    const QString shown = shownText();
    if (shown == text()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(textRect(), static_cast<int>(alignment()), shown);
}

} // namespace quorlin::ui
