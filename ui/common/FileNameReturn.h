#pragma once

// Return in a file dialog's name field takes the name in the field, also while the
// completion list shows: left to the list, the key could end in the list alone, closing it,
// and the dialog stayed open for a second Return. An entry highlighted with the arrow keys
// is copied into the field as it is reached, so it is still the one taken.

#include <QObject>
#include <QPointer>

class QAbstractItemView;
class QFileDialog;
class QLineEdit;

namespace quorlin::ui {

class FileNameReturn : public QObject {
    Q_OBJECT

public:
    // Watches the name field of `dialog`, one of Qt's own dialogs, and its completion list.
    static void install(QFileDialog& dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FileNameReturn(QFileDialog& dialog, QLineEdit& field);

    QFileDialog& m_dialog;
    QPointer<QAbstractItemView> m_list;
};

} // namespace quorlin::ui
