#include "ui/common/ExportName.h"

#include "storage/AtomicFile.h"
#include "ui/common/FileNameReturn.h"
#include "ui/common/Prompter.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace quorlin::ui {

QString ExportName::ask(const QString& title, const QString& filter, const QString& suffix,
                        const QString& suggested)
{
    if (m_dialog == nullptr) {
        m_dialog = new QFileDialog(&m_window);
        m_dialog->setObjectName(QStringLiteral("ExportFile"));
        m_dialog->setOption(QFileDialog::DontUseNativeDialog);
        m_dialog->setAcceptMode(QFileDialog::AcceptSave);
        m_dialog->setFileMode(QFileDialog::AnyFile);
        FileNameReturn::install(*m_dialog);
    }
    m_dialog->setWindowTitle(title);
    m_dialog->setNameFilters({filter, QStringLiteral("All files (*)")});
    m_dialog->setDefaultSuffix(suffix);
    m_dialog->selectFile(suggested);
    if (m_dialog->exec() != QDialog::Accepted || m_dialog->selectedFiles().isEmpty())
        return {};
    return m_dialog->selectedFiles().constFirst();
}

QString besideTab(const QString& tab, const QString& suffix)
{
    if (tab.isEmpty())
        return {};
    const QFileInfo file(tab);
    return file.dir().filePath(file.completeBaseName() + u'.' + suffix);
}

bool refuseTabsOwnFile(Prompter& prompter, const QString& tab, const QString& path)
{
    if (tab.isEmpty() || !storage::sameFile(QFile::encodeName(tab).toStdString(),
                                            QFile::encodeName(path).toStdString()))
        return false;
    prompter.error(QStringLiteral("%1 is the tab's own file: exporting there would replace the "
                                  "tab. Choose another name.")
                       .arg(QDir::toNativeSeparators(path)),
                   kCaption);
    return true;
}

QString exportOutcome(Prompter& prompter, bool written, const QString& what, const QString& skipped,
                      const QString& problem)
{
    if (written)
        return skipped.isEmpty() ? QStringLiteral("Exported %1").arg(what)
                                 : QStringLiteral("Exported %1; %2").arg(what, skipped);
    if (problem.isEmpty())
        return QStringLiteral("Export cancelled: nothing was written.");
    prompter.error(problem, kCaption);
    return {};
}

} // namespace quorlin::ui
