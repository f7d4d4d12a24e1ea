#pragma once

#include <QWidget>

namespace quorlin::ui {

// One inlay dot of the neck drawing under the grid. Pure decoration: mouse events fall
// through, so the hint of the drawing underneath still shows over the dots.
class FretMarker : public QWidget {
    Q_OBJECT

public:
    explicit FretMarker(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quorlin::ui
