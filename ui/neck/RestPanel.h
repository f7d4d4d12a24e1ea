#pragma once

#include <QLabel>

namespace quorlin::ui {

// The "Rest" panel: a duration dropped here is a rest.
class RestPanel : public QLabel {
    Q_OBJECT

public:
    explicit RestPanel(QWidget* parent = nullptr);

signals:
    void durationDropped(char symbol);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void DragInRest(QDragMoveEvent* event);
};

} // namespace quorlin::ui
