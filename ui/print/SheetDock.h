#pragma once

// The "Sheet" panel: the pages as they will print, and below them, when the tab holds any,
// which columns the score could not read.

#include <QDockWidget>

class QLabel;

namespace quorlin::ui {

class SheetView;

class SheetDock : public QDockWidget {
    Q_OBJECT

public:
    // Docked the first time: a page at about nine tenths of its printed size.
    static constexpr int kFirstWidth = 560;

    explicit SheetDock(QWidget* parent = nullptr);

    SheetView& view() const { return *m_view; }
    QLabel& skipped() const { return *m_skipped; }

signals:
    // By its own close button, docked or floating.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    SheetView* m_view;
    QLabel* m_skipped;
};

} // namespace quorlin::ui
