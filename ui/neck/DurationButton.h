#pragma once

#include <QPushButton>

namespace quorlin::ui {

// A palette button that only starts drags: press and move, and its caption is the
// duration that travels.
class DurationButton : public QPushButton {
    Q_OBJECT

public:
    explicit DurationButton(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPoint m_pressedAt;
};

} // namespace quorlin::ui
