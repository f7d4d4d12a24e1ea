#include "ui/shell/GuardedApplication.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <xcb/xcb.h>

#include <exception>

namespace quorlin::ui {

namespace {

// Qt drops the keys sent to a window a modal question blocks. Without a window manager
// that raises the question (or with one that lets a click focus the blocked window) the
// keyboard lands there and Return on the question does nothing, so the question takes the
// keyboard back. It takes it from the X server directly: Qt asks for the focus with the time
// of the last event it saw, and the server ignores a request older than the focus change that
// put the keyboard on the blocked window.
class ModalKeepsTheKeyboard : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_FOCUS_IN)
            return false;
        const auto* focus = static_cast<const xcb_focus_in_event_t*>(message);
        if (focus->detail == XCB_NOTIFY_DETAIL_POINTER)
            return false;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return false;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->internalWinId() != focus->event || window == modal ||
                !blocks(modal, window))
                continue;
            QTimer::singleShot(0, modal, [question = QPointer<QWidget>(modal)] {
                if (!question || !question->isVisible())
                    return;
                question->activateWindow();
                const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
                if (x11 == nullptr || x11->connection() == nullptr)
                    return;
                xcb_set_input_focus(x11->connection(), XCB_INPUT_FOCUS_PARENT,
                                    static_cast<xcb_window_t>(question->winId()),
                                    XCB_CURRENT_TIME);
                xcb_flush(x11->connection());
            });
            break;
        }
        return false;
    }

private:
    static bool blocks(const QWidget* modal, const QWidget* window)
    {
        if (modal->windowModality() == Qt::ApplicationModal)
            return true;
        for (const QWidget* w = modal->parentWidget(); w; w = w->parentWidget())
            if (w->window() == window)
                return true;
        return false;
    }
};

} // namespace

GuardedApplication::GuardedApplication(int& argc, char** argv) :
    QApplication(argc, argv), m_reporter(showUnhandledError)
{
    static ModalKeepsTheKeyboard keyboard;
    installNativeEventFilter(&keyboard);
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
