#pragma once

// The Load and Save dialogs: Qt's own file dialog rather than the desktop's, the same on
// every system and scriptable, made to behave as a tab program's dialogs should.

#include <QFileDialog>
#include <QPointer>

class QCompleter;
class QLineEdit;

namespace quorlin::ui {

class TabFileDialog final : public QFileDialog {
    Q_OBJECT

public:
    TabFileDialog(QWidget* parent, const QString& objectName, const QString& title,
                  AcceptMode mode);

    // A name holding a wildcard filters the list instead of being taken.
    void accept() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* nameField() const;
    void filterBy(const QString& typed);

    // Held apart from the name field while the dialog is closed.
    QPointer<QCompleter> m_completer;
};

} // namespace quorlin::ui
