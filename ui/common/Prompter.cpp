#include "ui/common/Prompter.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace quorlin::ui {

namespace {

// Box texts break lines with a carriage return.
QString lines(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                 const QString& caption, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, caption, lines(text), buttons, parent);
    const auto answer = static_cast<QMessageBox::StandardButton>(box.exec());
    // The keys go back to the window that asked, where they were; without a window manager
    // nobody else would hand them back.
    if (parent != nullptr && parent->isVisible())
        parent->window()->activateWindow();
    return answer;
}

} // namespace

bool MessageBoxPrompter::askYesNo(const QString& text, const QString& caption)
{
    return show(m_parent, QMessageBox::NoIcon, text, caption, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

Prompter::Answer MessageBoxPrompter::askYesNoCancel(const QString& text, const QString& caption)
{
    switch (show(m_parent, QMessageBox::Question, text, caption,
                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void MessageBoxPrompter::inform(const QString& text, const QString& caption)
{
    show(m_parent, QMessageBox::NoIcon, text, caption, QMessageBox::Ok);
}

void MessageBoxPrompter::error(const QString& text, const QString& caption)
{
    show(m_parent, QMessageBox::Critical, text, caption, QMessageBox::Ok);
}

int MessageBoxPrompter::choose(const QString& text, const QString& caption,
                               const QStringList& buttons)
{
    QMessageBox box(QMessageBox::Question, caption, lines(text), QMessageBox::NoButton, m_parent);
    QList<QAbstractButton*> made;
    for (const QString& name : buttons)
        made << box.addButton(name, QMessageBox::AcceptRole);
    box.setDefaultButton(qobject_cast<QPushButton*>(made.constFirst()));
    box.setEscapeButton(made.constLast());
    box.exec();
    if (m_parent != nullptr && m_parent->isVisible())
        m_parent->window()->activateWindow();
    const auto pressed = made.indexOf(box.clickedButton());
    return pressed < 0 ? static_cast<int>(made.size()) - 1 : static_cast<int>(pressed);
}

std::optional<int> MessageBoxPrompter::askNumber(const QString& text, const QString& caption,
                                                 int value, int min, int max)
{
    bool ok = false;
    const int number = QInputDialog::getInt(m_parent, caption, text, value, min, max, 1, &ok);
    if (m_parent != nullptr && m_parent->isVisible())
        m_parent->window()->activateWindow();
    return ok ? std::optional(number) : std::nullopt;
}

} // namespace quorlin::ui
