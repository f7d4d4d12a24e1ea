#include "ui/file/DropAndRecent.h"

#include "ui/common/Prompter.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace quorlin::ui {

DropAndRecent::DropAndRecent(QMenu& recentMenu, QWidget& window, QWidget& viewport,
                             Prompter& prompter, Open open) :
    QObject(&window),
    m_menu(recentMenu), m_prompter(prompter), m_open(std::move(open))
{
    connect(&m_menu, &QMenu::aboutToShow, this, &DropAndRecent::fillMenu);
    window.setAcceptDrops(true);
    window.installEventFilter(this);
    viewport.installEventFilter(this);
}

QString DropAndRecent::droppedFile(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QUrl url = data->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

bool DropAndRecent::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    const QString path = droppedFile(drop->mimeData());
    if (path.isEmpty())
        return QObject::eventFilter(watched, event);
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        // After the drop has ended: questions and boxes must not run inside it.
        QMetaObject::invokeMethod(
            this, [this, path] { m_open(path); }, Qt::QueuedConnection);
    }
    return true;
}

void DropAndRecent::fillMenu()
{
    m_menu.clear();
    const QStringList paths = m_recent.paths();
    for (int i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        QAction* item = m_menu.addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            QDir::toNativeSeparators(path).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        connect(item, &QAction::triggered, this, [this, path] {
            if (QFileInfo::exists(path)) {
                m_open(path);
                return;
            }
            m_recent.remove(path);
            m_prompter.inform(QStringLiteral("%1 is no longer there: it is taken off the list of "
                                             "recent files.")
                                  .arg(QDir::toNativeSeparators(path)),
                              QStringLiteral("Open Recent"));
        });
    }
    if (paths.isEmpty())
        m_menu.addAction(QStringLiteral("No recent files"))->setEnabled(false);
    m_menu.addSeparator();
    QAction* clear = m_menu.addAction(QStringLiteral("&Clear list"));
    clear->setEnabled(!paths.isEmpty());
    connect(clear, &QAction::triggered, this, [this] { m_recent.clear(); });
}

} // namespace quorlin::ui
