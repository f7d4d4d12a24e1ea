#include "ui/shell/GuardedApplication.h"

#include <QMessageBox>

#include <exception>

namespace quorlin::ui {

GuardedApplication::GuardedApplication(int& argc, char** argv) :
    QApplication(argc, argv), m_reporter(showUnhandledError)
{
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        m_reporter(QString::fromUtf8(e.what()));
    } catch (...) {
        m_reporter(QStringLiteral("Unknown error"));
    }
    return false;
}

void showUnhandledError(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, message + QLatin1Char('.'),
                    QMessageBox::Ok);
    box.exec();
}

} // namespace quorlin::ui
