#pragma once

// A label that gives up room when its place is short: what does not fit is elided and the
// whole text shows as its tool tip. text() stays the whole text, which is plain text.

#include <QLabel>

namespace quorlin::ui {

class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    // ElideRight cuts between words; ElideMiddle suits a name, which has none. The label
    // keeps room for `leastLetters` letters however short its place.
    ElidedLabel(Qt::TextElideMode mode, int leastLetters, QWidget* parent = nullptr);

    // What the label shows at its present width.
    QString shownText() const;
    // Room for the frame and the least letters or an ellipsis: the layout decides how much
    // more it gets.
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int effectiveIndent() const;
    QRect textRect() const;

    Qt::TextElideMode m_mode;
    int m_leastLetters;
};

} // namespace quorlin::ui
