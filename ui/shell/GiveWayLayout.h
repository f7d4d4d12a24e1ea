#pragma once

// A row of widgets that each get the width they ask for while there is room. When there is
// not, they give way one after another in a set order, each down to its minimum before the
// next one is touched, so that the fields that matter most stay whole longest.

#include <QLayout>
#include <QList>

namespace quorlin::ui {

class GiveWayLayout : public QLayout {
    Q_OBJECT

public:
    explicit GiveWayLayout(QWidget* parent = nullptr);
    ~GiveWayLayout() override;

    // Lower ranks give way first; equal ranks in the order they were added.
    void addWidget(QWidget* widget, int rank);

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        QLayoutItem* item;
        int rank;
    };
    QSize total(QSize (QLayoutItem::*measure)() const) const;
    int gap() const;

    QList<Entry> m_entries;
};

} // namespace quorlin::ui
