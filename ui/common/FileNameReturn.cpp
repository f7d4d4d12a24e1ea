#include "ui/common/FileNameReturn.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>

#include <stdexcept>

namespace quorlin::ui {

namespace {

bool isReturn(const QKeyEvent& key)
{
    return (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
           (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

void FileNameReturn::install(QFileDialog& dialog)
{
    auto* field = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (field == nullptr)
        throw std::logic_error("a file dialog without its name field");
    new FileNameReturn(dialog, *field);
}

FileNameReturn::FileNameReturn(QFileDialog& dialog, QLineEdit& field) :
    QObject(&dialog), m_dialog(dialog)
{
    field.installEventFilter(this);
    if (QCompleter* completer = field.completer(); completer != nullptr) {
        // Installed after the completer's own filter, so it sees the list's keys first.
        m_list = completer->popup();
        m_list->installEventFilter(this);
    }
}

bool FileNameReturn::eventFilter(QObject* /*watched*/, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || m_list.isNull() || !m_list->isVisible() ||
        !isReturn(*static_cast<QKeyEvent*>(event)))
        return false;
    // An entry highlighted with the arrow keys is in the field already.
    m_list->hide();
    // Public in QDialog only; the call still reaches the dialog's own accept.
    static_cast<QDialog&>(m_dialog).accept();
    return true;
}

} // namespace quorlin::ui
